#pragma once
// Which object of a project a command works on: the project itself, its
// database, a table, one of its fields or one of its charts.
#include <string>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "model/settings.h"

namespace tw::cli {

struct ObjectPath {
  std::string table;
  std::string field;
  std::string chart;
  bool database = false;
};

// TABLE and FIELD as optional positionals, --chart and --database.
void addObjectPath(CLI::App& sub, ObjectPath& path);
// --chart and --database only (for commands that read TABLE and FIELD
// themselves).
void addObjectFlags(CLI::App& sub, ObjectPath& path);

struct Target {
  SettingsOwner* owner = nullptr;
  std::string kind;   // "project", "database", "table", "field", "chart"
  std::string table;  // the table of a field or chart
  std::string name;   // the object's own name
};

// Finds the object; unknown names end the command with close matches.
Target resolveTarget(AGP& proj, const ObjectPath& path);

// Gives the object the NAME=VALUE pairs, converted by each setting's type as
// the project file reader converts them; a name setting renames the object.
// Everything is checked before anything changes.
Target applySettings(AGP& proj, const ObjectPath& path,
                     const std::vector<std::pair<std::string, std::string>>& assignments);

// Applies a project description file (see description.cpp) to a loaded
// project; a line that fails ends it with the file's name and line number.
void applyDescription(AGP& proj, const std::string& file);

}  // namespace tw::cli
