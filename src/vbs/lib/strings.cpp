// String functions. Positions and lengths count characters (code points of the
// UTF-8 text); the ...B variants count bytes of the UTF-16 text VBScript keeps.
#include <algorithm>
#include <optional>

#include "vbs/lib/common.h"
#include "vbs/lib/tables.h"

namespace tw::vbs::lib {

namespace {

// Longest string the library builds on request (Space, String).
constexpr int64_t kMaxBuiltLength = int64_t{1} << 30;
// Longest result of Replace, as for texts joined with &.
constexpr uint64_t kMaxReplacedLength = uint64_t{1} << 27;

Variant fnLen(RuntimeState&, Args a) {
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  return Variant::long_(static_cast<int32_t>(cpCount(s.view())));
}

Variant fnLenB(RuntimeState&, Args a) {
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  size_t units = 0;
  for (size_t i = 0; i < s.view().size();) {
    char32_t c = decodeUtf8(s.view(), i);
    units += c >= 0x10000 ? 2 : 1;
  }
  return Variant::long_(static_cast<int32_t>(units * 2));
}

// The length argument of Left/Right: Null raises 94 even when the string is
// Null; negative lengths raise 5.
int32_t lengthArg(const Variant& v) {
  int32_t n = longArg(v);
  if (n < 0) raise(kErrInvalidCall);
  return n;
}

Variant fnLeft(RuntimeState&, Args a) {
  int32_t n = lengthArg(a[1]);
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  size_t end = cpAdvance(s.view(), 0, static_cast<size_t>(n));
  if (end == s.view().size()) return s.whole();
  return Variant(s.view().substr(0, end));
}

Variant fnRight(RuntimeState&, Args a) {
  int32_t n = lengthArg(a[1]);
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  std::string_view v = s.view();
  size_t count = cpCount(v);
  if (static_cast<size_t>(n) >= count) return s.whole();
  return Variant(v.substr(cpAdvance(v, 0, count - static_cast<size_t>(n))));
}

Variant fnMid(RuntimeState&, Args a) {
  bool hasLength = given(a, 2);
  if (a[1].isNull() || (hasLength && a[2].isNull())) raise(kErrInvalidNull);
  int32_t start = a[1].toLong();
  int32_t length = hasLength ? a[2].toLong() : -1;
  if (start < 1 || (hasLength && length < 0)) raise(kErrInvalidCall);
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  std::string_view v = s.view();
  size_t from = cpAdvance(v, 0, static_cast<size_t>(start - 1));
  if (from == 0 && !hasLength) return s.whole();
  size_t to = hasLength ? cpAdvance(v, from, static_cast<size_t>(length)) : v.size();
  if (from == 0 && to == v.size()) return s.whole();
  return Variant(v.substr(from, to - from));
}

// ---- Byte functions on the UTF-16 form

// Byte ranges map to whole UTF-16 units: a range that starts or ends inside a
// unit takes in the whole unit.
Variant bytesOf(std::u16string_view units, size_t firstByte, size_t byteCount) {
  size_t first = firstByte / 2;
  size_t last = std::min(units.size(), (firstByte + byteCount + 1) / 2);
  if (first >= last) return Variant("");
  return Variant(fromUtf16(units.substr(first, last - first)));
}

Variant fnLeftB(RuntimeState&, Args a) {
  int32_t n = lengthArg(a[1]);
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  return bytesOf(toUtf16(s.view()), 0, static_cast<size_t>(n));
}

Variant fnRightB(RuntimeState&, Args a) {
  int32_t n = lengthArg(a[1]);
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  std::u16string units = toUtf16(s.view());
  size_t bytes = units.size() * 2;
  size_t take = std::min(bytes, static_cast<size_t>(n));
  return bytesOf(units, bytes - take, take);
}

Variant fnMidB(RuntimeState&, Args a) {
  bool hasLength = given(a, 2);
  if (a[1].isNull() || (hasLength && a[2].isNull())) raise(kErrInvalidNull);
  int32_t start = a[1].toLong();
  int32_t length = hasLength ? a[2].toLong() : -1;
  if (start < 1 || (hasLength && length < 0)) raise(kErrInvalidCall);
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  std::u16string units = toUtf16(s.view());
  size_t bytes = units.size() * 2;
  size_t from = static_cast<size_t>(start - 1);
  if (from >= bytes) return Variant("");
  size_t count = hasLength ? std::min(bytes - from, static_cast<size_t>(length)) : bytes - from;
  return bytesOf(units, from, count);
}

// ---- Searching

// Searches one text for another, by bytes or without regard to case. A text
// compare with an ASCII needle compares in place; other needles search a
// case-folded copy, whose byte offsets match the original.
class Finder {
 public:
  Finder(std::string_view hay, std::string_view needle, int32_t mode) : hay_(hay), needle_(needle) {
    if (mode == 0) return;
    if (isAscii(needle)) {
      asciiFold_ = true;
      lowered_.assign(needle);
      for (char& c : lowered_) c = lowerAscii(c);
      needle_ = lowered_;
    } else {
      foldedHay_ = foldCase(hay);
      lowered_ = foldCase(needle);
      hay_ = foldedHay_;
      needle_ = lowered_;
    }
  }

  // First match at or after byte `from`; npos when none.
  size_t find(size_t from) const {
    if (!asciiFold_) return hay_.find(needle_, from);
    const size_t n = needle_.size();
    if (n == 0) return from <= hay_.size() ? from : npos;
    // Candidates are the places of the first character in either case.
    const char lower = needle_[0];
    const char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 32) : lower;
    size_t nextLower = hay_.find(lower, from);
    size_t nextUpper = upper == lower ? npos : hay_.find(upper, from);
    for (;;) {
      size_t i = std::min(nextLower, nextUpper);
      if (i == npos || i + n > hay_.size()) return npos;
      if (matchesAt(i)) return i;
      if (i == nextLower) {
        nextLower = hay_.find(lower, i + 1);
      } else {
        nextUpper = hay_.find(upper, i + 1);
      }
    }
  }
  // Last match that ends at or before byte `end`.
  size_t rfind(size_t end) const {
    const size_t n = needle_.size();
    if (n > end) return npos;
    if (!asciiFold_) return hay_.rfind(needle_, end - n);
    for (size_t i = end - n + 1; i-- > 0;)
      if (matchesAt(i)) return i;
    return npos;
  }
  size_t needleSize() const noexcept { return needle_.size(); }

  static constexpr size_t npos = std::string_view::npos;

 private:
  static char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
  bool matchesAt(size_t i) const {
    for (size_t k = 0; k < needle_.size(); ++k)
      if (lowerAscii(hay_[i + k]) != needle_[k]) return false;
    return true;
  }

  std::string_view hay_;
  std::string_view needle_;
  std::string lowered_;
  std::string foldedHay_;
  bool asciiFold_ = false;
};

Variant fnInStr(RuntimeState&, Args a) {
  const Variant* startArg = nullptr;
  const Variant* s1;
  const Variant* s2;
  int32_t mode = 0;
  if (a.size() == 2) {
    s1 = &a[0];
    s2 = &a[1];
  } else {
    startArg = given(a, 0) ? &a[0] : nullptr;
    s1 = &a[1];
    s2 = &a[2];
    mode = compareArg(a, 3);
  }
  int32_t start = 1;
  if (startArg) {
    start = longArg(*startArg);
    if (start < 1) raise(kErrInvalidCall);
  }
  ArgText hay(*s1);
  ArgText needle(*s2);
  if (hay.isNull() || needle.isNull()) return Variant::null();
  std::string_view h = hay.view();
  size_t from = cpAdvance(h, 0, static_cast<size_t>(start - 1));
  if (from >= h.size()) return Variant::long_(0);
  if (needle.view().empty()) return Variant::long_(start);
  size_t pos = Finder(h, needle.view(), mode).find(from);
  if (pos == std::string_view::npos) return Variant::long_(0);
  return Variant::long_(start + static_cast<int32_t>(cpCount(h.substr(from, pos - from))));
}

Variant fnInStrRev(RuntimeState&, Args a) {
  int32_t start = longArg(a, 2, -1);
  if (start == 0 || start < -1) raise(kErrInvalidCall);
  int32_t mode = compareArg(a, 3);
  ArgText hay(a[0]);
  ArgText needle(a[1]);
  std::string_view h = hay.require();
  std::string_view n = needle.require();
  int32_t length = static_cast<int32_t>(cpCount(h));
  if (start == -1) start = length;
  if (start > length) return Variant::long_(0);
  if (n.empty()) return Variant::long_(start);
  size_t limit = cpAdvance(h, 0, static_cast<size_t>(start));
  size_t pos = Finder(h, n, mode).rfind(limit);
  if (pos == std::string_view::npos) return Variant::long_(0);
  return Variant::long_(static_cast<int32_t>(cpCount(h.substr(0, pos))) + 1);
}

// InStrB: positions in bytes of the UTF-16 text; matches start on whole units.
Variant fnInStrB(RuntimeState&, Args a) {
  const Variant* startArg = nullptr;
  const Variant* s1;
  const Variant* s2;
  int32_t mode = 0;
  if (a.size() == 2) {
    s1 = &a[0];
    s2 = &a[1];
  } else {
    startArg = given(a, 0) ? &a[0] : nullptr;
    s1 = &a[1];
    s2 = &a[2];
    mode = compareArg(a, 3);
  }
  int32_t start = 1;
  if (startArg) {
    start = longArg(*startArg);
    if (start < 1) raise(kErrInvalidCall);
  }
  ArgText hay(*s1);
  ArgText needle(*s2);
  if (hay.isNull() || needle.isNull()) return Variant::null();
  std::u16string h = toUtf16(mode ? foldCase(hay.view()) : std::string(hay.view()));
  std::u16string n = toUtf16(mode ? foldCase(needle.view()) : std::string(needle.view()));
  size_t fromByte = static_cast<size_t>(start - 1);
  if (fromByte >= h.size() * 2) return Variant::long_(0);
  if (n.empty()) return Variant::long_(start);
  size_t pos = h.find(n, (fromByte + 1) / 2);
  if (pos == std::u16string::npos) return Variant::long_(0);
  return Variant::long_(static_cast<int32_t>(pos * 2 + 1));
}

Variant fnReplace(RuntimeState&, Args a) {
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].isNull()) raise(kErrInvalidNull);
  int32_t start = longArg(a, 3, 1);
  int32_t count = longArg(a, 4, -1);
  int32_t mode = compareArg(a, 5);
  if (start < 1 || count < -1) raise(kErrInvalidCall);
  ArgText expr(a[0]);
  ArgText find(a[1]);
  ArgText with(a[2]);
  std::string_view s = expr.view();
  size_t from = cpAdvance(s, 0, static_cast<size_t>(start - 1));
  std::string_view tail = s.substr(from);
  std::string_view f = find.view();
  if (f.empty() || count == 0) return from == 0 ? expr.whole() : Variant(tail);
  Finder finder(tail, f, mode);
  std::string out;
  if (with.view().size() > finder.needleSize()) {
    // A growing result is measured first: one too long to build fails at
    // once instead of after gigabytes of work.
    uint64_t hits = 0;
    for (size_t p = finder.find(0); p != Finder::npos && (count < 0 || hits < static_cast<uint64_t>(count));
         p = finder.find(p + finder.needleSize()))
      ++hits;
    uint64_t size = tail.size() + hits * (with.view().size() - finder.needleSize());
    if (size > kMaxReplacedLength) raise(kErrOutOfMemory);
    out.reserve(static_cast<size_t>(size));
  }
  size_t pos = 0;
  int32_t done = 0;
  while (count < 0 || done < count) {
    size_t hit = finder.find(pos);
    if (hit == Finder::npos) break;
    if (done == 0 && out.capacity() == 0) out.reserve(tail.size());
    out.append(tail.substr(pos, hit - pos));
    out.append(with.view());
    pos = hit + finder.needleSize();
    ++done;
  }
  if (done == 0 && from == 0) return expr.whole();
  out.append(tail.substr(pos));
  return Variant(std::move(out));
}

Variant fnSplit(RuntimeState&, Args a) {
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].isNull()) raise(kErrInvalidNull);
  int32_t count = longArg(a, 2, -1);
  int32_t mode = compareArg(a, 3);
  if (count < -1) raise(kErrInvalidCall);
  ArgText expr(a[0]);
  std::string_view delimiter = " ";
  std::optional<ArgText> delimiterArg;
  if (given(a, 1)) {
    delimiterArg.emplace(a[1]);
    delimiter = delimiterArg->view();
  }
  std::string_view s = expr.view();
  std::vector<Variant> parts;
  if (s.empty() || count == 0) return Variant::array(std::move(parts));
  if (delimiter.empty()) {
    parts.push_back(expr.whole());
    return Variant::array(std::move(parts));
  }
  Finder finder(s, delimiter, mode);
  size_t pos = 0;
  while (count < 0 || static_cast<int32_t>(parts.size()) < count - 1) {
    size_t hit = finder.find(pos);
    if (hit == Finder::npos) break;
    parts.emplace_back(s.substr(pos, hit - pos));
    pos = hit + finder.needleSize();
  }
  parts.emplace_back(s.substr(pos));
  return Variant::array(std::move(parts));
}

// The elements of a one-dimensional array argument; Null raises 94, anything
// else that is not such an array 13.
const SafeArray& listArg(const ArgValue& v) {
  if (v->isNull()) raise(kErrInvalidNull);
  if (!v->isArray()) raise(kErrTypeMismatch);
  const SafeArray& arr = *v->rawArray();
  if (arr.dims() != 1) raise(kErrTypeMismatch);
  return arr;
}

Variant fnJoin(RuntimeState&, Args a) {
  ArgValue list(a[0]);
  const SafeArray& arr = listArg(list);
  std::optional<ArgText> delimiterArg;
  std::string_view delimiter = " ";
  if (given(a, 1)) {
    delimiterArg.emplace(a[1]);
    delimiter = delimiterArg->require();
  }
  std::string out;
  for (size_t i = 0; i < arr.data.size(); ++i) {
    if (i > 0) out.append(delimiter);
    const Variant& e = arr.data[i];
    if (e.isString()) {
      out.append(e.rawString());
    } else {
      if (e.isNull()) raise(kErrTypeMismatch);
      out.append(e.toString());
    }
  }
  return Variant(std::move(out));
}

Variant fnFilter(RuntimeState&, Args a) {
  ArgValue list(a[0]);
  const SafeArray& arr = listArg(list);
  ArgText value(a[1]);
  std::string_view v = value.require();
  bool include = boolArg(a, 2, true);
  int32_t mode = compareArg(a, 3);
  std::vector<Variant> out;
  for (const Variant& e : arr.data) {
    ArgText text(e);
    std::string_view t = text.require();
    bool found = Finder(t, v, mode).find(0) != Finder::npos;
    if (found == include) out.push_back(text.whole());
  }
  return Variant::array(std::move(out));
}

// ---- Case, blanks, repetition

Variant fnLCase(RuntimeState&, Args a) {
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  return Variant(toLower(s.view()));
}

Variant fnUCase(RuntimeState&, Args a) {
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  return Variant(toUpper(s.view()));
}

template <std::string_view (*Trim)(std::string_view) noexcept>
Variant trimmed(Args a) {
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  std::string_view t = Trim(s.view());
  if (t.size() == s.view().size()) return s.whole();
  return Variant(t);
}

Variant fnLTrim(RuntimeState&, Args a) { return trimmed<trimLeftBlanks>(a); }
Variant fnRTrim(RuntimeState&, Args a) { return trimmed<trimRightBlanks>(a); }
Variant fnTrim(RuntimeState&, Args a) { return trimmed<trimBlanks>(a); }

Variant fnSpace(RuntimeState&, Args a) {
  int32_t n = longArg(a[0]);
  if (n < 0) raise(kErrInvalidCall);
  if (n > kMaxBuiltLength) raise(kErrOutOfStringSpace);
  return Variant(std::string(static_cast<size_t>(n), ' '));
}

Variant fnString(RuntimeState&, Args a) {
  if (a[0].isNull() || a[1].isNull()) return Variant::null();
  int32_t n = a[0].toLong();
  if (n < 0) raise(kErrInvalidCall);
  ArgValue ch(a[1]);
  std::string unit;
  if (ch->isString()) {
    std::string_view t = ch->rawString();
    if (t.empty()) raise(kErrInvalidCall);
    unit = t.substr(0, cpAdvance(t, 0, 1));
  } else {
    int32_t code = ch->toLong();
    appendUtf8(unit, ansiChar(static_cast<uint8_t>(((code % 256) + 256) % 256)));
  }
  if (static_cast<int64_t>(n) * static_cast<int64_t>(unit.size()) > kMaxBuiltLength)
    raise(kErrOutOfStringSpace);
  std::string out;
  out.reserve(static_cast<size_t>(n) * unit.size());
  for (int32_t i = 0; i < n; ++i) out.append(unit);
  return Variant(std::move(out));
}

Variant fnStrComp(RuntimeState&, Args a) {
  int32_t mode = compareArg(a, 2);
  ArgText s1(a[0]);
  ArgText s2(a[1]);
  if (s1.isNull() || s2.isNull()) return Variant::null();
  int c;
  if (mode == 0) {
    c = s1.view().compare(s2.view());
  } else {
    c = compareNoCase(s1.view(), s2.view());
  }
  return Variant::integer(static_cast<int16_t>(c < 0 ? -1 : c > 0 ? 1 : 0));
}

Variant fnStrReverse(RuntimeState&, Args a) {
  ArgText s(a[0]);
  std::string_view v = s.require();
  std::string out(v.size(), '\0');
  size_t write = v.size();
  for (size_t i = 0; i < v.size();) {
    size_t start = i;
    i = cpAdvance(v, i, 1);
    write -= i - start;
    std::copy(v.begin() + static_cast<std::ptrdiff_t>(start), v.begin() + static_cast<std::ptrdiff_t>(i),
              out.begin() + static_cast<std::ptrdiff_t>(write));
  }
  return Variant(std::move(out));
}

// ---- Character codes

// The first UTF-16 unit of a non-empty text argument; Null raises 94, an empty
// text 5.
char16_t firstUnit(const Variant& v, char32_t* codePoint = nullptr) {
  if (v.isNull()) raise(kErrInvalidNull);
  ArgText s(v);
  std::string_view t = s.require();
  if (t.empty()) raise(kErrInvalidCall);
  size_t i = 0;
  char32_t c = decodeUtf8(t, i);
  if (codePoint) *codePoint = c;
  if (c >= 0x10000) return static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
  return static_cast<char16_t>(c);
}

Variant fnAsc(RuntimeState&, Args a) {
  char32_t c;
  char16_t unit = firstUnit(a[0], &c);
  if (unit != c) return Variant::integer('?');
  return Variant::integer(static_cast<int16_t>(ansiCode(c)));
}

Variant fnAscW(RuntimeState&, Args a) { return Variant::integer(static_cast<int16_t>(firstUnit(a[0]))); }

Variant fnAscB(RuntimeState&, Args a) {
  return Variant::integer(static_cast<int16_t>(firstUnit(a[0]) & 0xFF));
}

Variant fnChr(RuntimeState&, Args a) {
  int32_t code = longArg(a[0]);
  if (code < 0 || code > 255) raise(kErrInvalidCall);
  std::string out;
  appendUtf8(out, ansiChar(static_cast<uint8_t>(code)));
  return Variant(std::move(out));
}

Variant fnChrW(RuntimeState&, Args a) {
  int32_t code = longArg(a[0]);
  if (code < -32768 || code > 65535) raise(kErrInvalidCall);
  if (code < 0) code += 65536;
  std::string out;
  appendUtf8(out, static_cast<char32_t>(code));
  return Variant(std::move(out));
}

// A single byte has no character of its own in UTF-8 text; ChrB gives the
// character with that code, which is what the byte stands for in the common
// ChrB(n) & ChrB(0) idiom.
Variant fnChrB(RuntimeState&, Args a) {
  int32_t code = longArg(a[0]);
  if (code < 0 || code > 255) raise(kErrInvalidCall);
  std::string out;
  appendUtf8(out, static_cast<char32_t>(code));
  return Variant(std::move(out));
}

// ---- Hex, Oct

// The bits Hex and Oct print: Integer (and Boolean) values as 16 bits, every
// other value rounded to a Long.
uint32_t radixBits(const Variant& arg) {
  ArgValue v(arg);
  switch (v->type()) {
    case vtEmpty:
      return 0;
    case vtInteger:
      return static_cast<uint16_t>(v->rawInteger());
    case vtBoolean:
      return v->rawBool() ? 0xFFFFu : 0u;
    case vtByte:
      return v->rawByte();
    default:
      return static_cast<uint32_t>(v->toLong());
  }
}

Variant radix(Args a, unsigned shift) {
  if (a[0].isNull()) return Variant::null();
  ArgValue v(a[0]);
  if (v->isNull()) return Variant::null();
  uint32_t bits = radixBits(*v);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buf[16];
  char* end = buf + sizeof buf;
  char* p = end;
  uint32_t mask = (1u << shift) - 1;
  do {
    *--p = kDigits[bits & mask];
    bits >>= shift;
  } while (bits != 0);
  return Variant(std::string_view(p, static_cast<size_t>(end - p)));
}

Variant fnHex(RuntimeState&, Args a) { return radix(a, 4); }
Variant fnOct(RuntimeState&, Args a) { return radix(a, 3); }

// ---- Escape, Unescape (the %XX / %uXXXX encoding of JScript's escape)

bool keptByEscape(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '@':
    case '*':
    case '_':
    case '+':
    case '-':
    case '.':
    case '/':
      return true;
    default:
      return false;
  }
}

Variant fnEscape(RuntimeState&, Args a) {
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.view().size());
  for (char16_t u : toUtf16(s.view())) {
    if (u < 0x80 && keptByEscape(u)) {
      out += static_cast<char>(u);
    } else if (u < 0x100) {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += "%u";
      out += kHex[(u >> 12) & 15];
      out += kHex[(u >> 8) & 15];
      out += kHex[(u >> 4) & 15];
      out += kHex[u & 15];
    }
  }
  return Variant(std::move(out));
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Variant fnUnescape(RuntimeState&, Args a) {
  ArgText s(a[0]);
  if (s.isNull()) return Variant::null();
  std::u16string in = toUtf16(s.view());
  std::u16string out;
  out.reserve(in.size());
  auto hexAt = [&](size_t i) {
    return i < in.size() && in[i] < 0x80 ? hexValue(static_cast<char>(in[i])) : -1;
  };
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '%') {
      if (i + 1 < in.size() && in[i + 1] == 'u' && hexAt(i + 2) >= 0 && hexAt(i + 3) >= 0 &&
          hexAt(i + 4) >= 0 && hexAt(i + 5) >= 0) {
        out += static_cast<char16_t>((hexAt(i + 2) << 12) | (hexAt(i + 3) << 8) | (hexAt(i + 4) << 4) |
                                     hexAt(i + 5));
        i += 5;
        continue;
      }
      if (hexAt(i + 1) >= 0 && hexAt(i + 2) >= 0) {
        out += static_cast<char16_t>((hexAt(i + 1) << 4) | hexAt(i + 2));
        i += 2;
        continue;
      }
    }
    out += in[i];
  }
  return Variant(fromUtf16(out));
}

constexpr BuiltinFunction kFunctions[] = {
    {"Asc", 1, 1, fnAsc},
    {"AscB", 1, 1, fnAscB},
    {"AscW", 1, 1, fnAscW},
    {"Chr", 1, 1, fnChr},
    {"ChrB", 1, 1, fnChrB},
    {"ChrW", 1, 1, fnChrW},
    {"Escape", 1, 1, fnEscape},
    {"Filter", 2, 4, fnFilter},
    {"Hex", 1, 1, fnHex},
    {"InStr", 2, 4, fnInStr},
    {"InStrB", 2, 4, fnInStrB},
    {"InStrRev", 2, 4, fnInStrRev},
    {"Join", 1, 2, fnJoin},
    {"LCase", 1, 1, fnLCase},
    {"Left", 2, 2, fnLeft},
    {"LeftB", 2, 2, fnLeftB},
    {"Len", 1, 1, fnLen},
    {"LenB", 1, 1, fnLenB},
    {"LTrim", 1, 1, fnLTrim},
    {"Mid", 2, 3, fnMid},
    {"MidB", 2, 3, fnMidB},
    {"Oct", 1, 1, fnOct},
    {"Replace", 3, 6, fnReplace},
    {"Right", 2, 2, fnRight},
    {"RightB", 2, 2, fnRightB},
    {"RTrim", 1, 1, fnRTrim},
    {"Space", 1, 1, fnSpace},
    {"Split", 1, 4, fnSplit},
    {"StrComp", 2, 3, fnStrComp},
    {"String", 2, 2, fnString},
    {"StrReverse", 1, 1, fnStrReverse},
    {"Trim", 1, 1, fnTrim},
    {"UCase", 1, 1, fnUCase},
    {"Unescape", 1, 1, fnUnescape},
};

}  // namespace

std::span<const BuiltinFunction> stringFunctions() { return kFunctions; }

}  // namespace tw::vbs::lib
