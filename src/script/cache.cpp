#include "script/cache.h"

#include <pugixml.hpp>

#include "automation/text.h"
#include "platform/files.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/registry.h"

namespace tw {

namespace {

// How the file's characters are stored for a charset name.
enum class CacheEncoding { Utf8, Utf16, Ascii };

CacheEncoding encodingFor(std::string_view charset) {
  if (charset.empty() || equalsNoCase(charset, "utf-8")) return CacheEncoding::Utf8;
  if (equalsNoCase(charset, "utf-16")) return CacheEncoding::Utf16;
  // Any other charset: plain ASCII with character references, which every
  // ASCII-based charset reads the same way.
  return CacheEncoding::Ascii;
}

// An attribute value in double quotes. Line breaks and tabs are written as
// references too, since a reader turns them into blanks otherwise.
void appendAttribute(std::string& out, std::string_view value, bool asciiOnly) {
  for (size_t pos = 0; pos < value.size();) {
    const size_t start = pos;
    char32_t c = decodeUtf8(value, pos);
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
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (asciiOnly && c >= 0x80)
          out += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
        else
          out.append(value.substr(start, pos - start));
    }
  }
}

// The charset named in the XML declaration: the user's XMLEncodeCharSet
// setting, else the machine's charset.
std::string declaredCharset() {
  Variant setting = RegRead("HKCU", engine().regGeneral, "XMLEncodeCharSet");
  std::string charset = setting.isString() ? std::string(trimBlanks(setting.rawString())) : std::string();
  if (!charset.empty()) return charset;
  SystemCharset();
  return engine().systemCharset;
}

}  // namespace

std::string AGPCache::CacheFilePath(std::string_view documentsFolder, std::string_view templateName) {
  std::string folder(trimBlanks(documentsFolder));
  folder = joinPath(folder, KeyName(engine().productKey));
  folder = joinPath(folder, "Templates");
  // The template's name is the part after the last backslash; "/" and blanks
  // are then removed, as for the work folder generation extracts it into.
  const size_t cut = templateName.rfind('\\');
  const std::string_view name = cut == std::string_view::npos ? templateName : templateName.substr(cut + 1);
  folder = joinPath(folder, KeyName(name));
  folder = joinPath(folder, "temp");
  return joinPath(folder, "cache.xml");
}

AGPCache::AGPCache(std::string_view templateName) {
  std::string documents = engine().documentsFolder;
  if (trimBlanks(documents).empty()) documents = SpecialFolderPath(0, kFolderDocuments);
  if (trimBlanks(documents).empty()) return;
  path_ = CacheFilePath(documents, templateName);
  const std::string folder = path_.substr(0, path_.size() - std::string_view("\\cache.xml").size());
  createFolders(folder);
  if (fileExists(path_)) {
    if (auto bytes = readFile(path_)) readFromBytes(*bytes);
  }
}

bool AGPCache::readFromBytes(std::string_view bytes) {
  entries_.clear();
  const std::string text = decodeText(bytes);
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) return false;
  const pugi::xml_node root = doc.document_element();
  if (std::string_view(root.name()) != "Cache") return false;
  for (const pugi::xml_node& child : root.children("CacheEntry")) {
    if (child.type() != pugi::node_element) continue;
    entries_.push_back({child.attribute("Group").value(), child.attribute("Key").value(),
                        child.attribute("DateTime").value(), child.attribute("Size").value(),
                        child.attribute("Sha256").value()});
  }
  return true;
}

std::string AGPCache::fileText(std::string_view charset) const {
  const bool asciiOnly = encodingFor(charset) == CacheEncoding::Ascii;
  std::string out;
  out.reserve(128 + entries_.size() * 128);
  out += "<?xml version=\"1.0\"";
  if (!charset.empty()) {
    out += " encoding=\"";
    out += charset;
    out += '"';
  }
  out += " standalone=\"yes\"?>\r\n";
  out += "<Cache Product=\"" + engine().productKey + "\" Version=\"" + engine().productVersion + "\" >\r\n";
  for (const Entry& e : entries_) {
    out += "<CacheEntry Group=\"";
    appendAttribute(out, e.group, asciiOnly);
    out += "\" Key=\"";
    appendAttribute(out, e.key, asciiOnly);
    out += "\" DateTime=\"";
    appendAttribute(out, e.date, asciiOnly);
    out += "\" Size=\"";
    appendAttribute(out, e.size, asciiOnly);
    if (!e.sha256.empty()) {
      out += "\" Sha256=\"";
      appendAttribute(out, e.sha256, asciiOnly);
    }
    out += "\" />\r\n";
  }
  out += "</Cache>\r\n";
  return out;
}

bool AGPCache::WriteCacheFile() const {
  if (path_.empty()) return false;
  const std::string charset = declaredCharset();
  const std::string text = fileText(charset);
  return writeTextFile(
      path_, text, encodingFor(charset) == CacheEncoding::Utf16 ? TextEncoding::Utf16LE : TextEncoding::Utf8);
}

std::string AGPCache::FormatCacheDate(const Variant& date) { return DateStamp(date); }

int32_t AGPCache::find(std::string_view group, std::string_view key) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (equalsNoCase(entries_[i].group, group) && equalsNoCase(entries_[i].key, key))
      return static_cast<int32_t>(i);
  return -1;
}

bool AGPCache::AddCache(const Variant& group, const Variant& key, const Variant& date, const Variant& size) {
  const std::string g = group.toString();
  const std::string k = key.toString();
  int32_t i = find(g, k);
  if (i >= 0) {
    Entry& e = entries_[i];
    std::string newDate = FormatCacheDate(date), newSize = size.toString();
    if (e.date != newDate || e.size != newSize) e.sha256.clear();
    e.date = std::move(newDate);
    e.size = std::move(newSize);
  } else {
    entries_.push_back({g, k, FormatCacheDate(date), size.toString(), {}});
  }
  return true;
}

std::string AGPCache::contentHash(std::string_view group, std::string_view key) const {
  int32_t i = find(group, key);
  return i < 0 ? std::string() : entries_[i].sha256;
}

bool AGPCache::setContentHash(std::string_view group, std::string_view key, std::string_view sha256) {
  int32_t i = find(group, key);
  if (i < 0) return false;
  entries_[i].sha256 = std::string(sha256);
  return true;
}

int16_t AGPCache::CheckCache(const Variant& group, const Variant& key, const Variant& date,
                             const Variant& size) const {
  int32_t i = find(group.toString(), key.toString());
  if (i < 0) return 2;
  const Entry& e = entries_[i];
  if (e.date != FormatCacheDate(date)) return 1;
  // Sizes compare as numbers when the caller's size is one ("10" and 10.0
  // are the same size), as text otherwise.
  const Variant value = size.valueOf();
  double wanted = 0;
  bool numeric = value.isNumeric() || (value.isString() && parseNumber(value.rawString(), wanted));
  if (numeric) {
    if (!value.isString()) wanted = value.toDouble();
    double stored = 0;
    return parseNumber(e.size, stored) && stored == wanted ? 0 : 1;
  }
  return e.size == value.toString() ? 0 : 1;
}

Variant AGPCache::GetCacheDate(const Variant& group, const Variant& key) const {
  int32_t i = find(group.toString(), key.toString());
  if (i < 0) return Variant::date(0.0);
  return Variant(entries_[i].date);
}

bool AGPCache::DeleteCache(const Variant& group, const Variant& key) {
  int32_t i = find(group.toString(), key.toString());
  if (i < 0) return false;
  entries_.erase(entries_.begin() + i);
  return true;
}

bool AGPCache::DeleteCacheGroup(const Variant& group) {
  const std::string g = group.toString();
  bool removed = false;
  for (size_t i = entries_.size(); i-- > 0;) {
    if (equalsNoCase(entries_[i].group, g)) {
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
    }
  }
  return removed;
}

bool AGPCache::DeleteAllCache() {
  entries_.clear();
  return false;
}

const ClassInfo* AGPCache::classInfo() const {
  using C = AGPCache;
  static const ClassInfo info =
      ClassBuilder<C>("AGPCache")
          .method("AddCache", [](C& c, const Variant& g, const Variant& k, const Variant& d,
                                 const Variant& s) { return c.AddCache(g, k, d, s); })
          .method("CheckCache", [](C& c, const Variant& g, const Variant& k, const Variant& d,
                                   const Variant& s) { return c.CheckCache(g, k, d, s); })
          .method("GetCacheDate",
                  [](C& c, const Variant& g, const Variant& k) { return c.GetCacheDate(g, k); })
          .method("DeleteCache", [](C& c, const Variant& g, const Variant& k) { return c.DeleteCache(g, k); })
          .method("DeleteCacheGroup", [](C& c, const Variant& g) { return c.DeleteCacheGroup(g); })
          .method("DeleteAllCache", [](C& c) { return c.DeleteAllCache(); })
          .method("WriteCacheFile", [](C& c) { c.WriteCacheFile(); })
          .build();
  return &info;
}

}  // namespace tw
