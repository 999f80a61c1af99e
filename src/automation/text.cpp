#include "automation/text.h"

namespace tw {

char32_t lowerCodePoint(char32_t c) noexcept {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  if (c == 0x178) return 0xFF;  // Ÿ lies among the Latin Extended-A pairs but is not one of them
  if (c >= 0x100 && c <= 0x17F) {
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

char32_t upperCodePoint(char32_t c) noexcept {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 0) ? c - 1 : c;
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c % 2 == 1) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

char32_t decodeUtf8(std::string_view s, size_t& pos) noexcept {
  unsigned char c = static_cast<unsigned char>(s[pos]);
  if (c < 0x80) {
    ++pos;
    return c;
  }
  int len = (c >= 0xF0 && c < 0xF8) ? 4 : (c >= 0xE0) ? 3 : (c >= 0xC0) ? 2 : 0;
  if (len == 0 || pos + len > s.size()) {
    ++pos;
    return c;
  }
  char32_t cp = c & (0x3F >> (len - 1));
  for (int i = 1; i < len; ++i) {
    unsigned char cc = static_cast<unsigned char>(s[pos + i]);
    if ((cc & 0xC0) != 0x80) {
      ++pos;
      return c;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  pos += len;
  return cp;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

size_t utf8SequenceLength(std::string_view s, size_t pos, char32_t* cp) noexcept {
  unsigned char c = static_cast<unsigned char>(s[pos]);
  if (c < 0x80) {
    if (cp) *cp = c;
    return 1;
  }
  size_t len;
  char32_t v;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    v = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    v = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    v = c & 0x07;
  } else {
    return 0;  // a continuation byte, an overlong two-byte lead, or past U+10FFFF
  }
  if (pos + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[pos + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    v = (v << 6) | (cc & 0x3F);
  }
  if ((len == 3 && v < 0x800) || (len == 4 && (v < 0x10000 || v > 0x10FFFF)) || (v >= 0xD800 && v <= 0xDFFF))
    return 0;
  if (cp) *cp = v;
  return len;
}

bool isValidUtf8(std::string_view s) noexcept {
  for (size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t len = utf8SequenceLength(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

namespace {
// Windows-1252 code points of the bytes 0x80..0x9F; the five unassigned bytes
// keep their own value, as Windows' conversion does.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

std::string decodeCp1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80)
      out += ch;
    else if (c < 0xA0)
      appendUtf8(out, kCp1252High[c - 0x80]);
    else
      appendUtf8(out, c);
  }
  return out;
}

namespace {
template <char32_t (*Map)(char32_t) noexcept>
std::string mapCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char>(Map(c));
      ++i;
      continue;
    }
    size_t start = i;
    char32_t cp = decodeUtf8(s, i);
    if (i - start == 1 && cp >= 0x80) {
      out += s[start];  // an invalid byte stays as it was
      continue;
    }
    appendUtf8(out, Map(cp));
  }
  return out;
}
}  // namespace

std::string toLower(std::string_view s) { return mapCase<lowerCodePoint>(s); }
std::string toUpper(std::string_view s) { return mapCase<upperCodePoint>(s); }

int compareNoCase(std::string_view a, std::string_view b) noexcept {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t ca, cb;
    unsigned char ua = static_cast<unsigned char>(a[i]), ub = static_cast<unsigned char>(b[j]);
    if (ua < 0x80 && ub < 0x80) {
      ca = lowerCodePoint(ua);
      cb = lowerCodePoint(ub);
      ++i;
      ++j;
    } else {
      ca = lowerCodePoint(decodeUtf8(a, i));
      cb = lowerCodePoint(decodeUtf8(b, j));
    }
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool equalsNoCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() == b.size()) {
    // ASCII byte by byte; the first other byte hands the rest (which starts
    // on a character boundary in both) to the full comparison.
    for (size_t i = 0; i < a.size(); ++i) {
      unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if ((x | y) >= 0x80) return compareNoCase(a.substr(i), b.substr(i)) == 0;
      if (x != y && ((x | 0x20) != (y | 0x20) || static_cast<unsigned char>((x | 0x20) - 'a') > 25)) return false;
    }
    return true;
  }
  if (isAscii(a) && isAscii(b)) return false;
  return compareNoCase(a, b) == 0;
}

size_t codePointCount(std::string_view s) noexcept {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

size_t codePointOffset(std::string_view s, size_t index) noexcept {
  size_t pos = 0;
  while (index > 0 && pos < s.size()) {
    decodeUtf8(s, pos);
    --index;
  }
  return pos;
}

std::string_view trimLeftBlanks(std::string_view s) noexcept {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

std::string_view trimRightBlanks(std::string_view s) noexcept {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

std::string_view trimBlanks(std::string_view s) noexcept { return trimRightBlanks(trimLeftBlanks(s)); }

size_t NoCaseHash::operator()(std::string_view s) const noexcept {
  // FNV-1a over lower-cased code points.
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp;
    if (c < 0x80) {
      cp = static_cast<unsigned char>(c - 'A') < 26 ? c + 32 : c;
      ++i;
    } else {
      cp = lowerCodePoint(decodeUtf8(s, i));
    }
    h = (h ^ cp) * 1099511628211ull;
  }
  return static_cast<size_t>(h);
}

}  // namespace tw
