#include "cli/settings_catalogue.h"

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "cli/embedded.h"
#include "core/agp.h"
#include "model/chart.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "platform/archive.h"
#include "script/agscript.h"
#include "support/engine_context.h"

namespace tw::cli {

namespace fs = std::filesystem;

std::string_view embeddedFile(std::string_view name) {
  for (const EmbeddedFile& f : embeddedFiles())
    if (f.name == name) return f.bytes;
  return {};
}

namespace {

struct Line {
  std::string group, input, reader, description;
};

std::vector<std::string> splitTabs(std::string_view line) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    cells.emplace_back(
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return cells;
    start = tab + 1;
  }
}

// The catalogue data file: "Section\tName" → its line.
std::unordered_map<std::string, Line, NoCaseHash, NoCaseEqual>& catalogueLines() {
  static std::unordered_map<std::string, Line, NoCaseHash, NoCaseEqual> lines = [] {
    std::unordered_map<std::string, Line, NoCaseHash, NoCaseEqual> out;
    std::istringstream in{std::string(embeddedFile("settings_catalogue.tsv"))};
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      std::vector<std::string> c = splitTabs(line);
      if (c.size() != 6) continue;
      out[c[0] + "\t" + c[1]] = {c[2], c[3], c[4], c[5]};
    }
    return out;
  }();
  return lines;
}

const SettingTable& tableOf(const std::string& section) {
  if (section == "Project") return AGP::settings();
  if (section == "Database") return AGPDatabase::settings();
  if (section == "Table") return AGPTable::settings();
  if (section == "Field") return AGPField::settings();
  return AGPChart::settings();
}

const std::string& registryPath(const std::string& section) {
  const EngineContext& ctx = engine();
  if (section == "Database") return ctx.regDatabase;
  if (section == "Table") return ctx.regTable;
  if (section == "Field") return ctx.regField;
  return ctx.regChart;
}

}  // namespace

const std::vector<std::string>& settingSections() {
  static const std::vector<std::string> sections = {"Project", "Database", "Table", "Field", "Chart"};
  return sections;
}

const std::vector<std::string>& settingGroups() {
  static const std::vector<std::string> groups = {
      "general", "list",       "view",     "edit",     "search", "lookup",   "validation",
      "format",  "appearance", "security", "export",   "report", "chart",    "upload",
      "output",  "php",        "email",    "database", "schema", "internal", "other"};
  return groups;
}

const std::vector<SettingInfo>& settingsCatalogue() {
  static const std::vector<SettingInfo> catalogue = [] {
    std::vector<SettingInfo> out;
    // A new project holds the user defaults and its fixed initial values.
    Ref<AGP> fresh = makeRef<AGP>();
    for (const std::string& section : settingSections()) {
      const SettingTable& table = tableOf(section);
      Ref<AGProperties> defaults = makeRef<AGProperties>(table.layout());
      if (section != "Project") LoadRegistryDefaults(*defaults, registryPath(section));
      for (const SettingDef& d : table.defs()) {
        SettingInfo info;
        info.section = section;
        info.name = std::string(d.name);
        info.type = std::string(d.dataType);
        info.fileSave = d.fileSave;
        info.regSave = d.regSave;
        if (section == "Project")
          info.defaultValue = fresh->setting(d.name);
        else if (d.regSave)
          info.defaultValue = defaults->value(d.name);
        auto it = catalogueLines().find(section + "\t" + info.name);
        if (it != catalogueLines().end()) {
          const Line& l = it->second;
          info.group = l.group;
          info.description = l.description;
          info.engineReads = l.reader == "engine";
          info.input = l.input;
          if (l.input.rfind("choice:", 0) == 0) {
            info.input = "choice";
            std::string rest = l.input.substr(7);
            size_t start = 0;
            for (;;) {
              size_t bar = rest.find('|', start);
              info.choices.push_back(
                  rest.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
              if (bar == std::string::npos) break;
              start = bar + 1;
            }
          }
        } else {
          info.group = "other";
          info.input = d.dataType == "Boolean"                             ? "bool"
                       : d.dataType == "String" || d.dataType == "Variant" ? "text"
                                                                           : "int";
        }
        out.push_back(std::move(info));
      }
    }
    return out;
  }();
  return catalogue;
}

const SettingInfo* findSettingInfo(std::string_view section, std::string_view name) {
  for (const SettingInfo& s : settingsCatalogue())
    if (equalsNoCase(s.section, section) && equalsNoCase(s.name, name)) return &s;
  return nullptr;
}

std::vector<std::string> staleCatalogueLines() {
  std::vector<std::string> out;
  for (const auto& [key, line] : catalogueLines()) {
    size_t tab = key.find('\t');
    if (!findSettingInfo(key.substr(0, tab), key.substr(tab + 1)))
      out.push_back(key.substr(0, tab) + " " + key.substr(tab + 1));
  }
  return out;
}

// How a setting is used: by the template, by the engine itself, or by
// nothing at all. Empty when no template could be read.
std::string settingUse(const SettingInfo& s, const WordSet* words) {
  if (!words) return s.engineReads ? "engine" : "";
  if (words->count(s.name)) return "template";
  return s.engineReads ? "engine" : "unused";
}

std::string settingJson(const SettingInfo& s, const WordSet* words) {
  std::string out = "{\"section\": " + jsonString(s.section) + ", \"name\": " + jsonString(s.name) +
                    ", \"type\": " + jsonString(s.type) + ", \"default\": " + jsonValue(s.defaultValue) +
                    ", \"group\": " + jsonString(s.group) + ", \"input\": " + jsonString(s.input) +
                    ", \"choices\": " + jsonList(s.choices) +
                    ", \"description\": " + jsonString(s.description) +
                    ", \"file\": " + (s.fileSave ? "true" : "false") +
                    ", \"user_default\": " + (s.regSave ? "true" : "false");
  std::string used = settingUse(s, words);
  out += ", \"used\": " + (used.empty() ? std::string("null") : jsonString(used)) + "}";
  return out;
}

std::string resolveTemplatePath(const std::string& value) {
  constexpr std::string_view variable = "${TARNWICK_TEMPLATES}";
  if (value.rfind(variable, 0) == 0) {
    const char* templates = std::getenv("TARNWICK_TEMPLATES");
    if (!templates || !*templates) return value;
    return (fs::path(templates) / value.substr(variable.size() + 1)).lexically_normal().string();
  }
  return value.empty() ? value : absolutePath(value);
}

namespace {

void addWords(std::string_view text, WordSet& words) {
  size_t i = 0;
  while (i < text.size()) {
    auto wordChar = [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    };
    if (!wordChar(text[i])) {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < text.size() && wordChar(text[i])) ++i;
    if (i - start <= 40) words.emplace(text.substr(start, i - start));
  }
}

void addFolderWords(const fs::path& folder, WordSet& words) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec) || it->file_size(ec) > 4 * 1024 * 1024) continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    addWords(text.str(), words);
  }
}

}  // namespace

WordSet templateWords(const std::string& templ) {
  WordSet words;
  addWords(builtinSystemCode(), words);
  addWords(builtinValidateCode(), words);
  std::error_code ec;
  if (fs::is_directory(templ, ec)) {
    addFolderWords(templ, words);
    return words;
  }
  if (!fs::is_regular_file(templ, ec)) throw CliError(templ + ": no such template archive or folder");
  const fs::path scratch = fs::temp_directory_path() / ("tarnwick-words-" + std::to_string(::getpid()));
  fs::remove_all(scratch, ec);
  ArchiveResult unpacked = extractArchive(templ, scratch.string());
  if (!unpacked.ok) {
    fs::remove_all(scratch, ec);
    throw CliError(templ + ": cannot read the template: " + unpacked.error);
  }
  addFolderWords(scratch, words);
  fs::remove_all(scratch, ec);
  return words;
}

}  // namespace tw::cli
