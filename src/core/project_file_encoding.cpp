// Project file bytes: the text in the encoding its declaration names, and
// back. Nothing may get lost on the way: characters an encoding cannot hold
// are written as character references, and any encoding iconv knows can be
// read.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "automation/text.h"
#include "core/project_file.h"
#include "support/bulk_memory.h"

namespace tw {

namespace {

// pugixml takes all its memory through these, so that a project document
// can come from bulk memory while it is parsed.
const bool kDocumentMemoryInstalled = [] {
  pugi::set_memory_management_functions(bulkAllocate, bulkRelease);
  return true;
}();

enum class Family {
  Utf8,    // the text as it is
  Latin1,  // ISO-8859-1 and its aliases; read as Windows-1252
  Ascii,   // US-ASCII; read as Windows-1252
  Wide,    // UTF-16 and UTF-32: left to the parser's own detection
  Other,   // through iconv
};

std::string labelKey(std::string_view label) { return toLower(trimBlanks(label)); }

Family familyOf(std::string_view label) {
  std::string key = labelKey(label);
  if (key.empty() || key == "utf-8" || key == "utf8") return Family::Utf8;
  if (key == "iso-8859-1" || key == "iso8859-1" || key == "iso_8859-1" || key == "iso_8859-1:1987" ||
      key == "latin1" || key == "latin-1" || key == "l1" || key == "cp819" || key == "ibm819" ||
      key == "iso-ir-100" || key == "csisolatin1")
    return Family::Latin1;
  if (key == "us-ascii" || key == "ascii" || key == "ansi_x3.4-1968" || key == "iso646-us")
    return Family::Ascii;
  if (key.rfind("utf-16", 0) == 0 || key.rfind("utf-32", 0) == 0 || key == "ucs-2" || key == "unicode" ||
      key == "utf16" || key == "utf32")
    return Family::Wide;
  return Family::Other;
}

void appendReference(std::string& out, char32_t c) {
  out += "&#";
  out += std::to_string(static_cast<uint32_t>(c));
  out += ';';
}

// Single-byte output: code points up to `limit` are bytes, the rest
// references. C1 controls are references too: Latin-1 files are read as
// Windows-1252, which gives those bytes other characters.
void encodeSingleByte(const std::string& text, char32_t limit, std::string& out) {
  out.reserve(text.size() + text.size() / 16);
  for (size_t pos = 0; pos < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++pos;
      continue;
    }
    char32_t c = decodeUtf8(text, pos);
    if (c <= limit && (c < 0x80 || c > 0x9F))
      out += static_cast<char>(c);
    else
      appendReference(out, c);
  }
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts as much of [in, in + inLeft) as iconv can, appending to `out`;
// with no input it writes the return to the initial shift state. Returns 0
// when all was converted, else the errno that stopped it (with `in` and
// `inLeft` at the offending input).
int convertChunk(iconv_t cd, const char*& in, size_t& inLeft, std::string& out) {
  char buffer[16384];
  const bool flush = inLeft == 0;
  while (true) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    char* src = const_cast<char*>(in);
    size_t r = flush ? iconv(cd, nullptr, nullptr, &dst, &dstLeft) : iconv(cd, &src, &inLeft, &dst, &dstLeft);
    int err = r == static_cast<size_t>(-1) ? errno : 0;
    out.append(buffer, sizeof buffer - dstLeft);
    if (!flush) in = src;
    if (err == E2BIG) continue;
    return err;
  }
}

// Converts text through iconv, with references for what it cannot convert.
void encodeWithIconv(iconv_t cd, const std::string& text, std::string& out) {
  out.reserve(text.size() + 64);
  const char* in = text.data();
  size_t left = text.size();
  while (left > 0) {
    if (convertChunk(cd, in, left, out) == 0) break;
    // A character the charset cannot hold (or a byte that is not UTF-8):
    // a reference, itself converted so that stateful charsets stay right.
    size_t pos = static_cast<size_t>(in - text.data());
    size_t next = pos;
    char32_t c = decodeUtf8(text, next);
    std::string ref;
    appendReference(ref, c);
    const char* refIn = ref.data();
    size_t refLeft = ref.size();
    convertChunk(cd, refIn, refLeft, out);
    left -= next - pos;
    in = text.data() + next;
  }
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace

XmlTextEncoder::XmlTextEncoder(std::string_view charset) : kind_(static_cast<int>(familyOf(charset))) {
  switch (static_cast<Family>(kind_)) {
    case Family::Utf8:
      break;
    case Family::Latin1:
      limit_ = 0xFF;
      break;
    case Family::Ascii:
      limit_ = 0x7F;
      break;
    case Family::Wide:
    case Family::Other: {
      iconv_t cd = iconv_open(std::string(trimBlanks(charset)).c_str(), "UTF-8");
      if (cd != reinterpret_cast<iconv_t>(-1)) {
        iconv_ = cd;
      } else {
        // A charset this platform does not know: ASCII is what nearly every
        // charset agrees on, and references carry the rest.
        kind_ = static_cast<int>(Family::Ascii);
        limit_ = 0x7F;
      }
      break;
    }
  }
}

XmlTextEncoder::~XmlTextEncoder() {
  if (iconv_) iconv_close(static_cast<iconv_t>(iconv_));
}

std::string_view XmlTextEncoder::encode(const std::string& text) {
  out_.clear();
  if (iconv_) {
    encodeWithIconv(static_cast<iconv_t>(iconv_), text, out_);
    return out_;
  }
  if (static_cast<Family>(kind_) == Family::Utf8) return text;
  encodeSingleByte(text, limit_, out_);
  return out_;
}

std::string_view XmlTextEncoder::finish() {
  out_.clear();
  if (iconv_) {
    const char* none = nullptr;
    size_t zero = 0;
    convertChunk(static_cast<iconv_t>(iconv_), none, zero, out_);
  }
  return out_;
}

std::string EncodeXmlText(std::string text, std::string_view charset) {
  XmlTextEncoder encoder(charset);
  std::string bytes(encoder.encode(text));
  bytes += encoder.finish();
  return bytes;
}

std::string DeclaredEncoding(std::string_view bytes) {
  if (!startsWith(bytes, "<?xml")) return {};
  size_t end = bytes.find("?>");
  if (end == std::string_view::npos) return {};
  std::string_view decl = bytes.substr(0, end);
  size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return {};
  size_t pos = at + 8;
  while (pos < decl.size() &&
         (decl[pos] == ' ' || decl[pos] == '\t' || decl[pos] == '\r' || decl[pos] == '\n'))
    ++pos;
  if (pos >= decl.size() || decl[pos] != '=') return {};
  ++pos;
  while (pos < decl.size() &&
         (decl[pos] == ' ' || decl[pos] == '\t' || decl[pos] == '\r' || decl[pos] == '\n'))
    ++pos;
  if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) return {};
  char quote = decl[pos++];
  size_t close = decl.find(quote, pos);
  if (close == std::string_view::npos) return {};
  return std::string(decl.substr(pos, close - pos));
}

bool ParseProjectXml(pugi::xml_document& doc, std::string& bytes) {
  std::string_view head(bytes.data(), std::min<size_t>(bytes.size(), 4));
  bool marked = startsWith(head, "\xEF\xBB\xBF") || startsWith(head, "\xFF\xFE") ||
                startsWith(head, "\xFE\xFF") || startsWith(head, std::string_view("\0\0\xFE\xFF", 4)) ||
                startsWith(head, std::string_view("<\0", 2)) || startsWith(head, std::string_view("\0<", 2));
  pugi::xml_encoding encoding = pugi::encoding_utf8;
  if (marked) {
    encoding = pugi::encoding_auto;
  } else {
    std::string label = DeclaredEncoding(bytes);
    switch (familyOf(label)) {
      case Family::Utf8:
        break;
      case Family::Latin1:
      case Family::Ascii:
        bytes = decodeCp1252(bytes);
        break;
      case Family::Wide:
        encoding = pugi::encoding_auto;
        break;
      case Family::Other: {
        Iconv cd("UTF-8", trimBlanks(label).empty() ? "UTF-8" : std::string(trimBlanks(label)).c_str());
        if (cd.ok()) {
          std::string out;
          out.reserve(bytes.size() + bytes.size() / 4);
          const char* in = bytes.data();
          size_t left = bytes.size();
          if (convertChunk(cd.get(), in, left, out) != 0) return false;
          bytes = std::move(out);
        } else if (!isValidUtf8(bytes)) {
          // An encoding this platform does not know: what Windows editors
          // save is the best guess.
          bytes = decodeCp1252(bytes);
        }
        break;
      }
    }
  }
  pugi::xml_parse_result result =
      doc.load_buffer_inplace(bytes.data(), bytes.size(), pugi::parse_default, encoding);
  return result.status == pugi::status_ok;
}

}  // namespace tw
