// VBScript's comparison operators on Variants: numbers by value, texts by
// UTF-16 code unit or without regard to case, Null giving Null.
#include <cstdint>
#include <string_view>

#include "automation/error.h"
#include "automation/text.h"
#include "automation/variant_ops.h"

namespace tw {

namespace {

bool isNumberLike(VarType t) noexcept {
  switch (t) {
    case vtBoolean:
    case vtByte:
    case vtInteger:
    case vtLong:
    case vtSingle:
    case vtDouble:
    case vtCurrency:
    case vtDate:
      return true;
    default:
      return false;
  }
}

bool isWhole(VarType t) noexcept { return t == vtBoolean || t == vtByte || t == vtInteger || t == vtLong; }

int64_t wholeOf(const Variant& v) noexcept {
  switch (v.type()) {
    case vtBoolean:
      return v.rawBool() ? -1 : 0;
    case vtByte:
      return v.rawByte();
    case vtInteger:
      return v.rawInteger();
    case vtLong:
      return v.rawLong();
    default:
      return 0;
  }
}

double doubleOf(const Variant& v) noexcept {
  switch (v.type()) {
    case vtSingle:
      return v.rawSingle();
    case vtDouble:
    case vtDate:
      return v.rawDouble();
    case vtCurrency:
      return static_cast<double>(v.rawCurrency()) / 10000.0;
    default:
      return static_cast<double>(wholeOf(v));
  }
}

template <class T>
CompareResult order(T x, T y) noexcept {
  return x < y ? kCompareLess : y < x ? kCompareGreater : kCompareEqual;
}

CompareResult compareNumbers(const Variant& a, const Variant& b) noexcept {
  VarType ta = a.type(), tb = b.type();
  if (isWhole(ta) && isWhole(tb)) return order(wholeOf(a), wholeOf(b));
  if ((ta == vtCurrency || isWhole(ta)) && (tb == vtCurrency || isWhole(tb))) {
    int64_t x = ta == vtCurrency ? a.rawCurrency() : wholeOf(a) * 10000;
    int64_t y = tb == vtCurrency ? b.rawCurrency() : wholeOf(b) * 10000;
    return order(x, y);
  }
  // A Single compared with a Double is compared as a Single: CSng(0.1) = 0.1.
  if ((ta == vtSingle && tb == vtDouble) || (ta == vtDouble && tb == vtSingle))
    return order(static_cast<float>(doubleOf(a)), static_cast<float>(doubleOf(b)));
  return order(doubleOf(a), doubleOf(b));
}

// Sort key of a code point in UTF-16 order: code points above U+FFFF become
// their surrogate pair, which sorts below U+E000..U+FFFF.
uint64_t utf16Key(char32_t c) noexcept {
  if (c < 0xD800) return static_cast<uint64_t>(c) << 16;
  if (c >= 0x10000 && c <= 0x10FFFF) {
    uint32_t v = static_cast<uint32_t>(c) - 0x10000;
    return (static_cast<uint64_t>(0xD800 + (v >> 10)) << 16) | (0xDC00 + (v & 0x3FF));
  }
  return static_cast<uint64_t>(c) << 16;
}

int compareBinary(std::string_view a, std::string_view b) noexcept {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  if (i == n) return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
  unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
  if (ca < 0x80 && cb < 0x80) return ca < cb ? -1 : 1;
  // Back up to the start of the code point the difference lies in.
  while (i > 0 && (static_cast<unsigned char>(a[i]) & 0xC0) == 0x80) --i;
  size_t pa = i, pb = i;
  uint64_t ka = utf16Key(decodeUtf8(a, pa)), kb = utf16Key(decodeUtf8(b, pb));
  if (ka != kb) return ka < kb ? -1 : 1;
  // Equal code points from different bytes (invalid sequences): by bytes.
  return ca < cb ? -1 : 1;
}

Variant relational(CompareResult r, bool (*test)(CompareResult)) {
  if (r == kCompareNull) return Variant::null();
  return Variant(test(r));
}

}  // namespace

int compareStrings(std::string_view a, std::string_view b, bool textCompare) noexcept {
  if (textCompare) {
    int r = compareNoCase(a, b);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
  }
  return compareBinary(a, b);
}

CompareResult compare(const Variant& a, const Variant& b, bool textCompare) {
  VarType ta = a.type(), tb = b.type();
  if (ta == vtLong && tb == vtLong) return order(a.rawLong(), b.rawLong());
  if (ta == vtDouble && tb == vtDouble) return order(a.rawDouble(), b.rawDouble());
  if (ta == vtString && tb == vtString) {
    return static_cast<CompareResult>(compareStrings(a.rawString(), b.rawString(), textCompare));
  }
  if (ta == vtObject || tb == vtObject) {
    Variant x = a.valueOf(), y = b.valueOf();
    return compare(x, y, textCompare);
  }
  if (ta == vtNull || tb == vtNull) {
    if (a.isArray() || b.isArray() || ta == vtError || tb == vtError) raise(kErrTypeMismatch);
    return kCompareNull;
  }
  bool na = isNumberLike(ta), nb = isNumberLike(tb);
  if (na && nb) return compareNumbers(a, b);
  if (ta == vtEmpty) {
    if (tb == vtEmpty) return kCompareEqual;
    if (tb == vtString) return b.rawString().empty() ? kCompareEqual : kCompareLess;
    if (nb) return compareNumbers(Variant::integer(0), b);
  } else if (tb == vtEmpty) {
    if (ta == vtString) return a.rawString().empty() ? kCompareEqual : kCompareGreater;
    if (na) return compareNumbers(a, Variant::integer(0));
  } else if (na && tb == vtString) {
    return kCompareLess;  // a number sorts before any text
  } else if (ta == vtString && nb) {
    return kCompareGreater;
  }
  raise(kErrTypeMismatch);
}

Variant equals(const Variant& a, const Variant& b, bool textCompare) {
  return relational(compare(a, b, textCompare), [](CompareResult r) { return r == kCompareEqual; });
}

Variant notEquals(const Variant& a, const Variant& b, bool textCompare) {
  return relational(compare(a, b, textCompare), [](CompareResult r) { return r != kCompareEqual; });
}

Variant lessThan(const Variant& a, const Variant& b, bool textCompare) {
  return relational(compare(a, b, textCompare), [](CompareResult r) { return r == kCompareLess; });
}

Variant lessOrEqual(const Variant& a, const Variant& b, bool textCompare) {
  return relational(compare(a, b, textCompare), [](CompareResult r) { return r != kCompareGreater; });
}

Variant greaterThan(const Variant& a, const Variant& b, bool textCompare) {
  return relational(compare(a, b, textCompare), [](CompareResult r) { return r == kCompareGreater; });
}

Variant greaterOrEqual(const Variant& a, const Variant& b, bool textCompare) {
  return relational(compare(a, b, textCompare), [](CompareResult r) { return r != kCompareLess; });
}

}  // namespace tw
