// Fuzzes NAME=VALUE words as `tarnwick set` and `tarnwick config set` read
// them. The first byte picks the command and object, the other bytes are the
// words, one a line. A command either changes what it was given or refuses
// with a usage error; a project it changed loads again with every text
// setting as it was given, and a user default it set reads back.
#include <cstdint>
#include <string>
#include <vector>

#include "automation/text.h"
#include "cli/objects.h"
#include "fuzz/cli_fixture.h"

namespace {

using fuzzcli::check;

std::string gBase;

// Settings whose text is rewritten on purpose when saved or loaded: paths
// (kept relative to the project file), the login password (kept as a hash),
// lists whose "|" are line breaks and names that rename.
bool rewritten(const std::string& name) {
  for (const char* n : {"Destination", "Template", "AppRootFolder", "DBName", "SecPasswd", "FldTagValues",
                        "TblName", "FldName", "ChartName", "P_Ext", "P_DefaultPage"})
    if (tw::equalsNoCase(name, n)) return true;
  return false;
}

std::vector<std::string> wordsOf(const uint8_t* data, size_t size) {
  std::vector<std::string> words(1);
  for (size_t i = 0; i < size && words.size() <= 6; ++i) {
    char c = static_cast<char>(data[i]);
    if (c == '\n')
      words.emplace_back();
    else if (c != '\0')  // (a command line cannot hold one)
      words.back() += c;
  }
  return words;
}

std::string unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 'n' ? std::string("\n") : c == 'r' ? std::string("\r") : c == 't' ? std::string("\t")
                                         : c == '\\' ? std::string("\\") : std::string("\\") + c;
  }
  return out;
}

void fuzzSet(uint8_t selector, const std::vector<std::string>& words) {
  const std::string project = fuzzcli::folder() + "/work.xml";
  fuzzcli::spill(project, gBase);
  tw::cli::ObjectPath path;
  std::vector<std::string> line{"set", project};
  switch (selector % 4) {
    case 1:
      path.database = true;
      line.push_back("--database");
      break;
    case 2:
      path.table = "products";
      break;
    case 3:
      path.table = "products";
      path.field = "product_name";
      break;
  }
  if (!path.table.empty()) line.push_back(path.table);
  if (!path.field.empty()) line.push_back(path.field);
  const bool escapes = selector & 0x10;
  if (escapes) line.push_back("--escapes");
  line.push_back("--");
  line.insert(line.end(), words.begin(), words.end());
  const int code = fuzzcli::runCli(line);
  check(code == tw::cli::kExitOk || code == tw::cli::kExitUsage);
  if (code != tw::cli::kExitOk) return;

  // The file loads again, holding each text as it was given (the last one
  // of a name given twice).
  tw::Ref<tw::AGP> proj = tw::cli::loadProject(project);
  tw::cli::unlockProject();
  for (const std::string& w : words) {
    const size_t eq = w.find('=');
    if (eq == std::string::npos || rewritten(w.substr(0, eq))) return;
  }
  tw::cli::Target target = tw::cli::resolveTarget(*proj, path);
  tw::AGProperties& store = target.owner->Properties();
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string name = words[i].substr(0, words[i].find('='));
    bool later = false;
    for (size_t j = i + 1; j < words.size(); ++j)
      later = later || tw::equalsNoCase(words[j].substr(0, words[j].find('=')), name);
    const int32_t at = store.findKey(name);
    check(at >= 0);
    if (later || store.meta(at).dataType != "String") continue;
    const std::string given = words[i].substr(words[i].find('=') + 1);
    check(store.valueAt(at).toString() == (escapes ? unescaped(given) : given));
  }
}

void fuzzConfig(uint8_t selector, const std::vector<std::string>& words) {
  const std::vector<std::string> sections = tw::cli::configNames("");
  if (sections.empty() || words.empty()) return;
  const std::string section = sections[selector % sections.size()];
  const int code = fuzzcli::runCli({"config", "set", section, "--", words[0]});
  check(code == tw::cli::kExitOk || code == tw::cli::kExitUsage);
  if (code != tw::cli::kExitOk) return;
  const std::string name = words[0].substr(0, words[0].find('='));
  check(fuzzcli::runCli({"config", "get", section, "--", name}) == tw::cli::kExitOk);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gBase = fuzzcli::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<std::string> words = wordsOf(data + 1, size - 1);
  if (data[0] & 0x80)
    fuzzConfig(data[0], words);
  else
    fuzzSet(data[0], words);
  return 0;
}
