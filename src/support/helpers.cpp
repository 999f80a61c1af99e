#include "support/helpers.h"

#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unordered_map>
#include <vector>

#include "automation/date.h"
#include "automation/error.h"
#include "automation/text.h"
#include "support/convert.h"
#include "support/engine_context.h"

namespace tw {

namespace fs = std::filesystem;

std::string KeyName(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '/' && c != ' ') out += c;
  return out;
}

// ---------------------------------------------------------------- folders

namespace {

std::string envValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string homeFolder() {
  std::string home = envValue("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir ? pw->pw_dir : "";
  return {};
}

std::string configHome() {
  std::string xdg = envValue("XDG_CONFIG_HOME");
  if (!xdg.empty() && xdg[0] == '/') return xdg;
  return (fs::path(homeFolder()) / ".config").string();
}

// A folder named in user-dirs.dirs: XDG_<NAME>_DIR="$HOME/Folder". Relative
// values are below the home folder.
std::string userDir(const std::string& variable) {
  std::string fromEnv = envValue(variable.c_str());
  if (!fromEnv.empty()) return fromEnv;
  std::ifstream in(fs::path(configHome()) / "user-dirs.dirs");
  std::string line;
  std::string home = homeFolder();
  while (std::getline(in, line)) {
    std::string_view l = trimBlanks(line);
    if (l.empty() || l[0] == '#') continue;
    if (l.substr(0, variable.size()) != variable) continue;
    l.remove_prefix(variable.size());
    l = trimBlanks(l);
    if (l.empty() || l[0] != '=') continue;
    l = trimBlanks(l.substr(1));
    if (l.size() >= 2 && l.front() == '"' && l.back() == '"') l = l.substr(1, l.size() - 2);
    std::string value;
    if (l.substr(0, 5) == "$HOME") {
      value = home + std::string(l.substr(5));
    } else if (!l.empty() && l[0] == '/') {
      value = std::string(l);
    } else if (!l.empty()) {
      value = (fs::path(home) / std::string(l)).string();
    }
    if (!value.empty()) return value;
  }
  return {};
}

std::string cleanFolder(std::string path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path)
    if (c != '\0') out += c;
  return std::string(trimBlanks(out));
}

}  // namespace

std::string SpecialFolderPath(int32_t /*ownerWindow*/, int32_t folderId) {
  std::string path;
  switch (folderId) {
    case kFolderDocuments:
      path = envValue("TARNWICK_DOCUMENTS");
      if (path.empty()) path = userDir("XDG_DOCUMENTS_DIR");
      if (path.empty()) path = (fs::path(homeFolder()) / "Documents").string();
      break;
    case kFolderDesktop:
      path = userDir("XDG_DESKTOP_DIR");
      if (path.empty()) path = (fs::path(homeFolder()) / "Desktop").string();
      break;
    case kFolderAppData:
      path = configHome();
      break;
    case kFolderLocalAppData: {
      path = envValue("XDG_DATA_HOME");
      if (path.empty() || path[0] != '/') path = (fs::path(homeFolder()) / ".local" / "share").string();
      break;
    }
    case kFolderProfile:
      path = homeFolder();
      break;
    default:
      return {};
  }
  return cleanFolder(std::move(path));
}

// ---------------------------------------------------------------- numbers and dates

int16_t PercentOf(int32_t part, int32_t total) {
  if (total == 0) total = 1;
  double share = static_cast<double>(part < total ? part : total) / total * 100.0;
  // The default rounding mode rounds halves to even.
  double rounded = std::nearbyint(share);
  if (rounded < -32768.0 || rounded > 32767.0) raise(kErrOverflow);
  return static_cast<int16_t>(rounded);
}

std::string PadZero(std::string_view numberText, int32_t width) {
  int64_t missing = static_cast<int64_t>(width) - static_cast<int64_t>(codePointCount(numberText));
  std::string out;
  if (missing > 0) out.assign(static_cast<size_t>(missing), '0');
  out += numberText;
  return out;
}

std::string PadZero(int64_t number, int32_t width) { return PadZero(std::to_string(number), width); }

std::string DateStamp(const Variant& value) {
  double serial = 0;
  bool isDate = false;
  if (value.type() == vtDate) {
    serial = value.rawDate();
    isDate = true;
  } else if (value.isString()) {
    isDate = parseDate(value.rawString(), serial);
  }
  DateParts p;
  if (isDate && dateToParts(serial, p)) {
    return PadZero(p.year, 4) + "/" + PadZero(p.month, 2) + "/" + PadZero(p.day, 2) + " " +
           PadZero(p.hour, 2) + ":" + PadZero(p.minute, 2) + ":" + PadZero(p.second, 2);
  }
  if (value.isString()) return std::string(value.rawString());
  try {
    return value.toString();
  } catch (const Error&) {
    return {};
  }
}

// ---------------------------------------------------------------- texts

std::string SortCommaList(std::string_view text) {
  text = trimBlanks(text);
  if (text.empty()) return {};
  std::vector<std::string> items;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    std::string_view part =
        text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    items.emplace_back(trimBlanks(part));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  // Bubble sort: adjacent items swap while the earlier one is greater.
  for (size_t end = items.size(); end > 1; --end) {
    bool swapped = false;
    for (size_t i = 0; i + 1 < end; ++i) {
      if (items[i] > items[i + 1]) {
        std::swap(items[i], items[i + 1]);
        swapped = true;
      }
    }
    if (!swapped) break;
  }
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    out += items[i];
  }
  return out;
}

std::string QuoteText(std::string_view text, int32_t count) {
  std::string stripped = UnquoteString(text);
  if (count <= 0) return stripped;
  std::string quotes(static_cast<size_t>(count), '"');
  std::string out = quotes;
  for (char c : stripped) {
    out += c;
    if (c == '"') out += '"';
  }
  out += quotes;
  return out;
}

std::string ToScriptLiteral(std::string_view text, std::string_view joiner) {
  std::string out;
  if (text.empty()) return out;
  size_t start = 0;
  while (true) {
    size_t eol = text.find("\r\n", start);
    std::string_view line =
        text.substr(start, eol == std::string_view::npos ? std::string_view::npos : eol - start);
    if (!out.empty()) out += '&';
    out += '"';
    for (char c : line) {
      out += c;
      if (c == '"') out += '"';
    }
    out += '"';
    if (eol == std::string_view::npos) break;
    out += "&vbCrLf";
    if (!joiner.empty()) {
      out += '&';
      out += joiner;
    }
    start = eol + 2;
  }
  return out;
}

int16_t FieldTypeCategory(int32_t adoType) {
  switch (adoType) {
    case 20:
    case 3:
    case 2:
    case 16:
    case 4:
    case 5:
    case 131:
    case 6:
      return 1;
    case 7:
    case 133:
    case 134:
    case 135:
      return 2;
    case 201:
    case 203:
    case 129:
    case 130:
    case 200:
    case 202:
      return 3;
    case 11:
      return 4;
    case 72:
      return 5;
    default:
      return 6;
  }
}

// ---------------------------------------------------------------- charsets

std::string codePageCharset(std::string_view codePage) {
  static const std::unordered_map<int32_t, const char*> table = [] {
    std::unordered_map<int32_t, const char*> t;
    auto add = [&t](const char* name, std::initializer_list<int32_t> pages) {
      for (int32_t p : pages) t.emplace(p, name);
    };
    add("iso-8859-1", {29001, 20106, 20277, 1142,  20278, 1143,  1147,  20273, 1141, 20871, 1149,
                       1148,  20280, 1144,  20284, 1145,  20285, 1146,  37,    1140, 861,   10079,
                       20108, 437,   20107, 20127, 850,   20105, 28591, 10000, 1252});
    add("iso-8859-2", {852, 28592, 10029, 1250, 870});
    add("iso-8859-3", {28593});
    add("iso-8859-4", {775, 28594, 1257});
    add("iso-8859-5", {866, 28595, 20866, 21866, 10007, 1251, 20880, 21025, 1026});
    add("iso-8859-6", {708, 720, 28596, 10004, 1256, 20420});
    add("iso-8859-7", {737, 28597, 10006, 1253, 869, 875, 20423});
    add("iso-8859-8", {862, 38598, 28598, 10005, 1255, 20424});
    add("iso-8859-9", {20905, 857, 28599, 10081, 1254});
    add("iso-8859-15", {28605});
    add("gb2312", {51936, 936, 52936, 10008, 50935});
    add("big5", {950, 20000, 20002, 10002, 50937});
    add("shift_jis", {50930, 20290, 50931, 51932, 50220, 50222, 50221, 10001, 932, 50939});
    add("euc-kr", {50933, 20833, 949, 51949, 50225, 1361, 10003});
    add("windows-874", {20838, 874});
    add("windows-1258", {1258});
    add("utf-16", {1200, 1201});
    add("utf-7", {65000});
    add("utf-8", {65001});
    return t;
  }();
  // The code page as the system gives it: NULs and blanks removed.
  std::string digits;
  for (char c : codePage) {
    if (c == '\0' || c == ' ') continue;
    if (c < '0' || c > '9') return {};
    digits += c;
  }
  if (digits.empty() || digits.size() > 9) return {};
  auto it = table.find(std::stoi(digits));
  return it == table.end() ? std::string() : std::string(it->second);
}

int32_t codeSetCodePage(std::string_view codeSet) {
  // Names compared in upper case without "-", "_", "." and blanks, so that
  // "UTF-8", "utf8" and "UTF_8" all match.
  std::string key;
  for (char c : codeSet) {
    if (c == '-' || c == '_' || c == '.' || c == ' ') continue;
    key += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  static const std::unordered_map<std::string, int32_t> table = {
      {"UTF8", 65001},       {"UTF7", 65000},        {"UTF16", 1200},       {"UTF16LE", 1200},
      {"UTF16BE", 1201},     {"ANSIX341968", 20127}, {"ASCII", 20127},      {"USASCII", 20127},
      {"ISO88591", 28591},   {"ISO88592", 28592},    {"ISO88593", 28593},   {"ISO88594", 28594},
      {"ISO88595", 28595},   {"ISO88596", 28596},    {"ISO88597", 28597},   {"ISO88598", 28598},
      {"ISO88599", 28599},   {"ISO885913", 28603},   {"ISO885915", 28605},  {"LATIN1", 28591},
      {"LATIN2", 28592},     {"LATIN9", 28605},      {"CP1250", 1250},      {"CP1251", 1251},
      {"CP1252", 1252},      {"CP1253", 1253},       {"CP1254", 1254},      {"CP1255", 1255},
      {"CP1256", 1256},      {"CP1257", 1257},       {"CP1258", 1258},      {"WINDOWS1250", 1250},
      {"WINDOWS1251", 1251}, {"WINDOWS1252", 1252},  {"WINDOWS1253", 1253}, {"WINDOWS1254", 1254},
      {"WINDOWS1255", 1255}, {"WINDOWS1256", 1256},  {"WINDOWS1257", 1257}, {"WINDOWS1258", 1258},
      {"CP874", 874},        {"WINDOWS874", 874},    {"TIS620", 874},       {"CP437", 437},
      {"IBM437", 437},       {"CP850", 850},         {"IBM850", 850},       {"CP852", 852},
      {"IBM852", 852},       {"CP866", 866},         {"IBM866", 866},       {"KOI8R", 20866},
      {"KOI8U", 21866},      {"GB2312", 936},        {"EUCCN", 936},        {"GBK", 936},
      {"CP936", 936},        {"GB18030", 54936},     {"BIG5", 950},         {"BIG5HKSCS", 950},
      {"CP950", 950},        {"SHIFTJIS", 932},      {"SJIS", 932},         {"CP932", 932},
      {"WINDOWS31J", 932},   {"EUCJP", 51932},       {"EUCKR", 51949},      {"CP949", 949},
      {"UHC", 949},          {"JOHAB", 1361},        {"EUCTW", 51950},
  };
  auto it = table.find(key);
  return it == table.end() ? 0 : it->second;
}

std::string systemCodeSet() {
  locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (!loc) loc = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  if (!loc) return {};
  std::string name = nl_langinfo_l(CODESET, loc);
  freelocale(loc);
  return name;
}

void SystemCharset() {
  int32_t page = codeSetCodePage(systemCodeSet());
  EngineContext& e = engine();
  e.systemCodePage = page ? std::to_string(page) : std::string();
  e.systemCharset = codePageCharset(e.systemCodePage);
}

}  // namespace tw
