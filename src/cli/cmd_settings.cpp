// tarnwick settings: every setting a project, its database, tables, fields
// and charts have, with its type, default, purpose and description, and
// whether the template uses it.
#include <algorithm>
#include <iostream>
#include <map>

#include "cli/cli.h"
#include "cli/settings_catalogue.h"
#include "support/engine_context.h"
#include "support/registry.h"

namespace tw::cli {

namespace {

struct SettingsOptions {
  std::string section;
  std::string describe;
  std::string project;
  std::string templ;
  bool json = false;
  bool unusedOnly = false;
};

std::string inputText(const SettingInfo& s) {
  if (s.input == "choice") {
    std::string text = "one of";
    for (size_t i = 0; i < s.choices.size(); ++i)
      text += (i == 0                      ? " "
               : i + 1 == s.choices.size() ? " or "
                                           : ", ") +
              (s.choices[i].empty() ? std::string("(empty)") : s.choices[i]);
    return text;
  }
  if (s.input == "bool") return "True or False";
  if (s.input == "int") return "a whole number";
  if (s.input == "colour") return "a colour (#rrggbb or a name)";
  if (s.input == "lines") return "text of several lines";
  if (s.input == "password") return "a password";
  if (s.input == "path") return "a file or folder";
  if (s.input == "fixed") return "kept by the engine";
  return "text";
}

std::string sectionName(const std::string& given) {
  std::vector<std::string> names = settingSections();
  for (const std::string& s : names)
    if (equalsNoCase(s, given)) return s;
  throw usageError("unknown section \"" + given + "\"" + suggestion(given, names) +
                   " (sections: Project, Database, Table, Field, Chart)");
}

int describe(const SettingsOptions& o, const std::string& section, const WordSet* words,
             const std::string& templ) {
  std::vector<const SettingInfo*> found;
  std::vector<std::string> names;
  for (const SettingInfo& s : settingsCatalogue()) {
    if (!section.empty() && s.section != section) continue;
    names.push_back(s.name);
    if (equalsNoCase(s.name, o.describe)) found.push_back(&s);
  }
  if (found.empty())
    throw usageError("unknown setting \"" + o.describe + "\"" + (section.empty() ? "" : " in " + section) +
                     suggestion(o.describe, names));
  if (o.json) {
    std::cout << "[";
    for (size_t i = 0; i < found.size(); ++i) std::cout << (i ? ",\n " : "") << settingJson(*found[i], words);
    std::cout << "]\n";
    return kExitOk;
  }
  for (size_t i = 0; i < found.size(); ++i) {
    const SettingInfo& s = *found[i];
    if (i) std::cout << '\n';
    std::cout << bold(s.name) << " (" << s.section << " setting)\n";
    std::cout << "  " << (s.description.empty() ? "(no description)" : s.description) << '\n';
    std::cout << "  Type:     " << s.type << ", " << inputText(s) << '\n';
    std::string def =
        s.defaultValue.isEmpty() ? std::string("(none)") : "\"" + displayValue(s.defaultValue) + "\"";
    if (s.regSave) def += " (user default: tarnwick config set " + s.section + " " + s.name + " VALUE)";
    std::cout << "  Default:  " << def << '\n';
    std::cout << "  Group:    " << s.group << '\n';
    std::cout << "  Kept in:  " << (s.fileSave ? "the project file" : "nowhere: the engine sets it for a run")
              << '\n';
    std::string used = settingUse(s, words);
    std::string usedText = used == "template" ? "the template (" + templ + ")"
                           : used == "engine" ? "the engine itself"
                           : used == "unused" ? "nothing: the template (" + templ + ") does not read it"
                                              : "(no template to look in)";
    std::cout << "  Used by:  " << usedText << '\n';
    if (s.fileSave && s.input != "fixed") {
      std::string where = s.section == "Project"    ? ""
                          : s.section == "Database" ? " --database"
                          : s.section == "Table"    ? " TABLE"
                          : s.section == "Field"    ? " TABLE FIELD"
                                                    : " TABLE --chart CHART";
      std::cout << "  Change:   tarnwick set PROJECT" << where << " " << s.name << "=VALUE\n";
    }
  }
  return kExitOk;
}

int runSettings(const SettingsOptions& o) {
  startEngine();
  const std::string section = o.section.empty() ? std::string() : sectionName(o.section);
  // The template to look in: given, the project's, or the user's default.
  std::string templ = o.templ;
  if (templ.empty() && !o.project.empty()) {
    Ref<AGP> proj = loadProject(o.project);
    templ = proj->str("Template");
  }
  if (templ.empty())
    templ = resolveTemplatePath(RegRead("HKCU", engine().regProject, "Template").toString());
  else
    templ = resolveTemplatePath(templ);
  WordSet words;
  bool haveWords = false;
  if (!templ.empty()) {
    try {
      words = templateWords(templ);
      haveWords = true;
    } catch (const CliError& e) {
      if (!o.templ.empty() || !o.project.empty()) throw;
      warn(std::string(e.what()) + "; settings are listed without their use");
    }
  }
  const WordSet* w = haveWords ? &words : nullptr;
  if (!o.describe.empty()) return describe(o, section, w, templ);

  std::vector<const SettingInfo*> list;
  for (const SettingInfo& s : settingsCatalogue())
    if ((section.empty() || s.section == section) && (!o.unusedOnly || settingUse(s, w) == "unused"))
      list.push_back(&s);
  if (o.json) {
    std::cout << "[";
    for (size_t i = 0; i < list.size(); ++i) std::cout << (i ? ",\n " : "\n ") << settingJson(*list[i], w);
    std::cout << "\n]\n";
    return kExitOk;
  }
  if (w) info("Template: " + templ);
  std::string current;
  size_t unused = 0;
  for (size_t i = 0; i < list.size();) {
    const std::string& sec = list[i]->section;
    // One section, its settings by purpose group in catalogue order.
    std::vector<const SettingInfo*> ofSection;
    while (i < list.size() && list[i]->section == sec) ofSection.push_back(list[i++]);
    std::vector<std::string> groups;
    for (const std::string& g : settingGroups())
      for (const SettingInfo* s : ofSection)
        if (s->group == g && std::find(groups.begin(), groups.end(), g) == groups.end()) groups.push_back(g);
    std::cout << '\n' << bold(sec + " settings") << '\n';
    size_t width = 0, typeWidth = 0;
    for (const SettingInfo* s : ofSection) {
      width = std::max(width, s->name.size());
      typeWidth = std::max(typeWidth, s->type.size());
    }
    for (const std::string& g : groups) {
      std::cout << "  " << g << '\n';
      for (const SettingInfo* s : ofSection) {
        if (s->group != g) continue;
        std::string used = settingUse(*s, w);
        if (used == "unused") ++unused;
        std::string shown = s->defaultValue.isEmpty() ? "" : displayValue(s->defaultValue);
        std::string def = shown.empty() ? "" : " [" + shown + "]";
        std::cout << "    " << (used == "unused" ? "- " : "  ") << s->name
                  << std::string(width - s->name.size() + 2, ' ') << s->type
                  << std::string(typeWidth - s->type.size() + 2, ' ') << s->description << def << '\n';
      }
    }
  }
  if (w && unused)
    info("\n- marks the " + std::to_string(unused) +
         " settings that neither the template nor the engine reads.");
  return kExitOk;
}

}  // namespace

void addSettingsCommands(CLI::App& app, Commands& out) {
  auto o = std::make_shared<SettingsOptions>();
  CLI::App* sub =
      app.add_subcommand("settings", "List every setting with its type, default, purpose and use");
  sub->add_option("SECTION", o->section, "Project, Database, Table, Field or Chart");
  sub->add_option("--describe", o->describe, "Everything about one setting");
  sub->add_option("-p,--project", o->project, "Look for the settings in this project's template");
  sub->add_option("--template", o->templ, "Look for the settings in this template (archive or folder)");
  sub->add_flag("--json", o->json, "Print JSON");
  sub->add_flag("--unused", o->unusedOnly,
                "Only the settings that neither the template nor the engine reads");
  sub->footer(
      "Settings are listed by section and purpose group (list, edit, search, view, security,\n"
      "appearance, ...), each with its declared type, description and default in [brackets].\n"
      "A leading - marks a setting that neither the template nor the engine reads: the\n"
      "template is the project's (--project), the one given (--template) or the user's default.\n"
      "\n"
      "Examples:\n"
      "  tarnwick settings Field\n"
      "  tarnwick settings --describe FldHtmlTag\n"
      "  tarnwick settings Table --project shop.xml --unused");
  out.push_back({sub, [o] { return runSettings(*o); }});
}

}  // namespace tw::cli
