#pragma once
// Which object of a project a command works on: the project itself, its
// database, a table, one of its fields or one of its charts.
#include <algorithm>
#include <string>
#include <type_traits>
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

// Moves a table, field or chart to a position (from 1) of its collection
// and numbers the collection again; unknown names and positions outside the
// collection end the command.
template <class Collection>
void moveTo(Collection& items, const std::string& name, long position, const std::string& what,
            const std::string& where = {}) {
  auto order = items.inSequence();
  std::vector<std::string> names;
  for (auto* e : order) names.push_back(e->Key());
  auto* element = items.Item(Variant(name));
  if (!element)
    throw usageError("no " + what + " \"" + name + "\"" + (where.empty() ? "" : " in " + where) +
                     suggestion(name, names));
  long count = static_cast<long>(order.size());
  if (position < 1 || position > count)
    throw usageError("position " + std::to_string(position) + " is outside 1.." + std::to_string(count));
  order.erase(std::find(order.begin(), order.end(), element));
  order.insert(order.begin() + (position - 1), element);
  using Element = std::remove_pointer_t<decltype(element)>;
  for (size_t i = 0; i < order.size(); ++i)
    order[i]->setSetting(Element::kSeqSetting, Variant::integer(static_cast<int16_t>(i + 1)));
}

// Applies a project description file (description.h) to a loaded project
// and returns the number of lines applied. When any line is wrong it throws
// one message naming every wrong line as FILE:LINE: reason; the project then
// holds the lines that did apply and must not be saved.
int applyDescription(AGP& proj, const std::string& file);

}  // namespace tw::cli
