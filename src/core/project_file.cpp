// Writing the project file, and the small routines the reader shares.
#include "core/project_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <vector>

#include "automation/text.h"
#include "core/agp.h"
#include "platform/files.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/registry.h"

namespace tw {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Project files hold the database password: new ones are private to the user.
constexpr unsigned kNewProjectFileMode = 0600;

// The text a value is written as: what CStr gives, with Empty and Null as
// the empty text and values that have no text (arrays) written empty too.
std::string_view valueText(const Variant& v, std::string& scratch) {
  switch (v.type()) {
    case vtEmpty:
    case vtNull:
      return {};
    case vtString:
      return v.rawString();
    case vtBoolean:
      return v.rawBool() ? "True" : "False";
    case vtInteger:
    case vtLong: {
      char buf[16];
      auto r = std::to_chars(buf, buf + sizeof buf, v.type() == vtInteger ? v.rawInteger() : v.rawLong());
      scratch.assign(buf, r.ptr);
      return scratch;
    }
    default:
      try {
        scratch = v.toString();
      } catch (const Error&) {
        scratch.clear();
      }
      return scratch;
  }
}

// Bytes that are written otherwise than as themselves.
constexpr std::array<bool, 256> kEscaped = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : {'&', '<', '>', '"', '\r', '\n', '\t'}) table[c] = true;
  return table;
}();

// Appends the escaped text. Besides the four entities of XmlEscape, tabs and
// line breaks become character references (a reader turns literal ones into
// blanks); `tagValues` first turns every CR LF into "|".
void appendEscaped(std::string& out, std::string_view text, bool tagValues = false) {
  size_t plain = 0;  // start of the text not yet appended
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!kEscaped[c]) continue;
    out.append(text.data() + plain, i - plain);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\r':
        if (tagValues && i + 1 < text.size() && text[i + 1] == '\n') {
          out += '|';
          ++i;
        } else {
          out += "&#13;";
        }
        break;
      case '\n':
        out += "&#10;";
        break;
      default:
        out += "&#9;";
        break;
    }
    plain = i + 1;
  }
  out.append(text.data() + plain, text.size() - plain);
}

bool isTagValuesName(std::string_view name) {
  return name.size() == 12 && equalsNoCase(name, "fldtagvalues");
}

// "1" when the text is not empty and reads as true.
bool booleanAttribute(const Variant& v, std::string& scratch) {
  if (v.type() == vtBoolean) return v.rawBool();
  std::string_view text = valueText(v, scratch);
  if (text.empty()) return false;
  try {
    return Variant(text).toBool();
  } catch (const Error&) {
    return false;
  }
}

// The length of the character at `pos` when it is well-formed UTF-8 and a
// character XML can carry (tabs and line breaks included); 0 otherwise.
size_t xmlCharLength(std::string_view text, size_t pos) {
  unsigned char c = static_cast<unsigned char>(text[pos]);
  if (c < 0x80) return c >= 0x20 || c == '\t' || c == '\n' || c == '\r' ? 1 : 0;
  char32_t cp = 0;
  size_t len = utf8SequenceLength(text, pos, &cp);
  return cp == 0xFFFE || cp == 0xFFFF ? 0 : len;
}

// True when the text cannot be written as it is: it holds bytes that are not
// UTF-8 or characters XML does not allow, or it is a tag value list holding
// "|" (which the file uses for its line breaks).
bool needsValueEscape(std::string_view text, bool tagValues) {
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x80) {
      if (c == '|' && tagValues) return true;
      ++i;
      continue;
    }
    size_t len = xmlCharLength(text, i);
    if (len == 0) return true;
    i += len;
  }
  return false;
}

void appendHexByte(std::string& out, unsigned char b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[b >> 4];
  out += kHex[b & 15];
}

void appendAttribute(std::string& out, std::string_view name, std::string_view dataType, const Variant& value,
                     std::string& scratch, std::string& escapedNames) {
  appendEscaped(out, name);
  out += "=\"";
  if (dataType == "Boolean") {
    out += booleanAttribute(value, scratch) ? '1' : '0';
  } else {
    std::string_view text = valueText(value, scratch);
    bool tagValues = isTagValuesName(name);
    if (needsValueEscape(text, tagValues)) {
      appendEscaped(out, EscapeSettingValue(text, tagValues), tagValues);
      if (!escapedNames.empty()) escapedNames += ' ';
      escapedNames += name;
    } else {
      appendEscaped(out, text, tagValues);
    }
  }
  out += "\" ";
}

void appendElement(std::string& out, std::string_view open, const AGProperties& store,
                   std::string_view close) {
  out += open;
  WriteXmlAttributes(out, store);
  out += close;
  out += kLineEnd;
}

// The file system's error as the error of the call.
[[noreturn]] void raiseFileError(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
      raise(kErrPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      raise(kErrPermissionDenied);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      raise(61, "Disk full");
    default:
      raise(kErrPathFileAccess);
  }
}

LoadSyncCheck gLoadSyncCheck = nullptr;

}  // namespace

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string XmlDeclaration(std::string_view charset) {
  if (charset.empty()) return "<?xml version=\"1.0\" standalone=\"yes\"?>";
  return "<?xml version=\"1.0\" encoding=\"" + std::string(charset) + "\" standalone=\"yes\"?>";
}

void WriteXmlAttributes(std::string& out, const AGProperties& store) {
  std::string scratch;
  std::string escapedNames;
  for (int32_t i = 0, n = store.Count(); i < n; ++i) {
    const PropertyMeta& m = store.meta(i);
    if (m.fileSave) appendAttribute(out, m.name, m.dataType, store.valueAt(i), scratch, escapedNames);
  }
  if (!escapedNames.empty()) {
    out += kEscapedSettingsAttribute;
    out += "=\"";
    appendEscaped(out, escapedNames);
    out += "\" ";
  }
}

std::string EscapeSettingValue(std::string_view text, bool tagValues) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\\') {
      out += "\\\\";
      ++i;
      continue;
    }
    if (c == '|' && tagValues) {
      appendHexByte(out, c);
      ++i;
      continue;
    }
    size_t len = xmlCharLength(text, i);
    if (len == 0) {
      appendHexByte(out, c);
      ++i;
      continue;
    }
    out.append(text, i, len);
    i += len;
  }
  return out;
}

std::string UnescapeSettingValue(std::string_view text, bool tagValues) {
  auto hexValue = [](char h) -> int {
    if (h >= '0' && h <= '9') return h - '0';
    if (h >= 'A' && h <= 'F') return h - 'A' + 10;
    if (h >= 'a' && h <= 'f') return h - 'a' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '|' && tagValues) {
      out += "\r\n";
    } else if (c == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (c == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hexValue(text[i + 2]) >= 0 &&
               hexValue(text[i + 3]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3]));
      i += 3;
    } else {
      out += c;  // a backslash that starts nothing stands for itself
    }
  }
  return out;
}

bool VersionIsGreater(std::string_view a, std::string_view b) {
  auto split = [](std::string_view v) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
      size_t dot = v.find('.', start);
      parts.push_back(v.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
      if (dot == std::string_view::npos) break;
      start = dot + 1;
    }
    return parts;
  };
  std::vector<std::string_view> pa = split(a), pb = split(b);
  size_t n = std::min({pa.size(), pb.size(), size_t{3}});
  for (size_t i = 0; i < n; ++i) {
    int16_t x = Variant(pa[i]).toInteger();
    int16_t y = Variant(pb[i]).toInteger();
    if (x != y) return x > y;
  }
  return false;
}

int16_t DBKindOf(std::string_view dbmsName) {
  if (dbmsName == "MS Jet" || dbmsName == "ACCESS") return 1;
  std::string lower = toLower(dbmsName);
  if (lower.find("microsoft") != std::string::npos && lower.find("sql") != std::string::npos) return 2;
  if (lower.find("mysql") != std::string::npos) return 3;
  if (lower.find("ora") != std::string::npos) return 4;
  return 5;
}

void RebuildTableKeys(AGP& proj) {
  AGPTables& tables = proj.db()->tables();
  for (int32_t i = 0, n = tables.Count(); i < n; ++i) {
    AGPTable* table = tables.at(i);
    std::string keys;
    if (table->hasFields()) {
      AGPFields& fields = table->Fields();
      for (int32_t j = 0, m = fields.Count(); j < m; ++j) {
        AGPField* field = fields.at(j);
        if (!field->flag("FldIsPrimaryKey")) continue;
        if (!keys.empty()) keys += ',';
        keys += field->FldName();
      }
    }
    table->setSetting("TblKey", Variant(SortCommaList(keys)));
  }
}

void setLoadSyncCheck(LoadSyncCheck check) { gLoadSyncCheck = check; }
LoadSyncCheck loadSyncCheck() { return gLoadSyncCheck; }

void AGP::Save(std::string_view projFile) {
  EngineContext& ctx = engine();
  SystemCharset();
  std::string charset = ctx.systemCharset;
  std::string chosen = RegRead("HKCU", ctx.regGeneral, "XMLEncodeCharSet").toString();
  if (!chosen.empty()) charset = chosen;

  // The file replaces the old one only once all of it is on disk; until
  // then the old file stays as it was.
  DurableFileWriter file(projFile, kNewProjectFileMode);
  if (file.error()) raiseFileError(file.error());
  // The first save records the machine's charset for later saves.
  RegWrite("HKCU", ctx.regGeneral, "XMLEncodeCharSet", kRegString, Variant(charset));

  // The text goes out in pieces of about this size.
  constexpr size_t kPiece = 1 << 20;
  XmlTextEncoder encoder(charset);
  std::string text;
  text.reserve(kPiece + (kPiece >> 2));
  auto flush = [&] {
    if (!file.write(encoder.encode(text))) raiseFileError(file.error());
    text.clear();
  };
  auto element = [&](std::string_view open, const AGProperties& store, std::string_view close) {
    appendElement(text, open, store, close);
    if (text.size() >= kPiece) flush();
  };

  std::string scratch;
  text += XmlDeclaration(charset);
  text += kLineEnd;
  text += "<Project ";
  std::string versionEscapes;  // the engine's own version never needs any
  appendAttribute(text, "Version", "String", Variant(engineVersion_), scratch, versionEscapes);
  WriteXmlAttributes(text, Properties());
  text += '>';
  text += kLineEnd;
  for (AGPExtension* ext : extensions_->inSequence()) element("<Extension ", ext->Properties(), "/>");
  if (DBCnt() > 0) {
    AGPDatabase* database = db();
    element("<Database ", database->Properties(), ">");
    if (database->hasTables()) {
      for (AGPTable* table : database->tables().inSequence()) {
        element("<Table ", table->Properties(), ">");
        if (table->hasCharts())
          for (AGPChart* chart : table->Charts().inSequence()) element("<Chart ", chart->Properties(), "/>");
        if (table->hasFields())
          for (AGPField* field : table->Fields().inSequence()) element("<Field ", field->Properties(), "/>");
        text += "</Table>";
        text += kLineEnd;
      }
    }
    text += "</Database>";
    text += kLineEnd;
  }
  text += "</Project>";
  text += kLineEnd;
  flush();
  if (!file.write(encoder.finish())) raiseFileError(file.error());
  if (int err = file.commit()) raiseFileError(err);
}

}  // namespace tw
