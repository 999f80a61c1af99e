#pragma once
// The settings catalogue: every setting of the project, its database,
// tables, fields and charts with its declared type and default (from the
// engine's registration tables), its purpose group, the kind of input that
// edits it and a one-line description (from the catalogue data file the
// program carries). `tarnwick settings` prints it; the studio builds its
// forms from it.
#include <unordered_set>
#include <string>
#include <string_view>
#include <vector>

#include "automation/text.h"
#include "automation/variant.h"

namespace tw::cli {

struct SettingInfo {
  std::string section;      // "Project", "Database", "Table", "Field", "Chart"
  std::string name;         // as registered
  std::string type;         // declared type: "String", "Boolean", "Integer", "Long", "Variant"
  std::string group;        // purpose: general, list, edit, search, view, security, appearance, ...
  std::string input;        // bool, int, text, lines, colour, password, path, choice, fixed
  std::vector<std::string> choices;  // the texts of a choice
  std::string description;  // empty when the catalogue has no line for it
  bool engineReads = false;  // the engine itself reads it (loading, synchronising, generating)
  bool fileSave = true;      // kept in the project file
  bool regSave = false;      // new objects take it from the user defaults
  Variant defaultValue;      // the user default (regSave) or a new project's value; else empty
};

// The five sections in the order they are listed.
const std::vector<std::string>& settingSections();

// The purpose groups in the order forms and listings show them.
const std::vector<std::string>& settingGroups();

// Every setting the engine registers, section by section in registration
// order. Defaults are read from the user's registry (the engine must be
// started).
const std::vector<SettingInfo>& settingsCatalogue();

// A setting of a section (letter case ignored); null when unknown.
const SettingInfo* findSettingInfo(std::string_view section, std::string_view name);

// Catalogue lines that name no registered setting (so a renamed setting is
// noticed).
std::vector<std::string> staleCatalogueLines();

// The words of a template's text (its files, with the built-in system code
// it runs with), letter case ignored: a setting is used by the template when
// its name is one of them. `templ` is a template archive or folder; throws
// CliError when it cannot be read.
using WordSet = std::unordered_set<std::string, NoCaseHash, NoCaseEqual>;
WordSet templateWords(const std::string& templ);

// How a setting is used: "template" (its name is among the template's
// words), "engine" (the engine itself reads it) or "unused"; without
// template words "engine" or empty.
std::string settingUse(const SettingInfo& s, const WordSet* words);
// One setting as a JSON object (section, name, type, default, group, input,
// choices, description, file, user_default, used).
std::string settingJson(const SettingInfo& s, const WordSet* words);

// The template a project names, made absolute (${TARNWICK_TEMPLATES}
// expanded); empty when none is named.
std::string resolveTemplatePath(const std::string& value);

}  // namespace tw::cli
