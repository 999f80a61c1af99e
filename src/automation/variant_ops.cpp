// VBScript operators on Variants. Every binary operator first tries the
// common operand pairs (Long with Long, Integer with Integer, Double with
// Double) inline and falls back to the general rules, which classify each
// operand once and work on plain numbers; no numeric operation allocates.
#include "automation/variant_ops.h"

#include <cmath>
#include <limits>
#include <string>

#include "automation/date.h"
#include "automation/error.h"
#include "automation/text.h"

namespace tw {

namespace {

// ---------------------------------------------------------------------------
// Arithmetic operands

// Ranks of the numeric result subtypes, lowest first.
enum Kind : uint8_t { kByte, kInteger, kLong, kSingle, kDouble, kCurrency, kDate };

struct Num {
  Kind kind = kInteger;
  bool empty = false;
  int64_t i = 0;  // Byte, Integer, Long; Currency scaled by 10,000
  double d = 0;   // Single, Double, Date
};

constexpr double kFloatMax = static_cast<double>(std::numeric_limits<float>::max());
constexpr int64_t kCurrencyMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kCurrencyMax = std::numeric_limits<int64_t>::max();

double numAsDouble(const Num& n) noexcept {
  switch (n.kind) {
    case kByte:
    case kInteger:
    case kLong:
      return static_cast<double>(n.i);
    case kCurrency:
      return static_cast<double>(n.i) / 10000.0;
    default:
      return n.d;
  }
}

// Loads an operand; false for Null. Empty is a Byte 0 marked empty.
bool loadNum(const Variant& v, Num& n) {
  switch (v.type()) {
    case vtNull:
      return false;
    case vtEmpty:
      n.kind = kByte;
      n.empty = true;
      n.i = 0;
      return true;
    case vtBoolean:
      n.kind = kInteger;
      n.i = v.rawBool() ? -1 : 0;
      return true;
    case vtByte:
      n.kind = kByte;
      n.i = v.rawByte();
      return true;
    case vtInteger:
      n.kind = kInteger;
      n.i = v.rawInteger();
      return true;
    case vtLong:
      n.kind = kLong;
      n.i = v.rawLong();
      return true;
    case vtSingle:
      n.kind = kSingle;
      n.d = v.rawSingle();
      return true;
    case vtDouble:
      n.kind = kDouble;
      n.d = v.rawDouble();
      return true;
    case vtCurrency:
      n.kind = kCurrency;
      n.i = v.rawCurrency();
      return true;
    case vtDate:
      n.kind = kDate;
      n.d = v.rawDate();
      return true;
    case vtString:
      n.kind = kDouble;
      n.d = v.toDouble();  // 13 when not numeric, 6 when too large
      return true;
    case vtObject:
      return loadNum(v.valueOf(), n);
    default:
      raise(kErrTypeMismatch);
  }
}

int64_t toScaled(const Num& n) {
  switch (n.kind) {
    case kByte:
    case kInteger:
    case kLong:
      return n.i * 10000;
    case kCurrency:
      return n.i;
    default: {
      double r = roundHalfEven(n.d * 10000.0);
      if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) raise(kErrOverflow);
      return static_cast<int64_t>(r);
    }
  }
}

Variant currencyResult(__int128 scaled) {
  if (scaled < kCurrencyMin || scaled > kCurrencyMax) raise(kErrOverflow);
  return Variant::currency(static_cast<int64_t>(scaled));
}

// Whole-number result of the given kind, moving up on overflow.
Variant wholeResult(Kind kind, int64_t r) {
  if (kind == kByte) {
    if (r >= 0 && r <= 255) return Variant::byte(static_cast<uint8_t>(r));
    kind = kInteger;
  }
  if (kind == kInteger) {
    if (r >= -32768 && r <= 32767) return Variant::integer(static_cast<int16_t>(r));
    kind = kLong;
  }
  if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())
    return Variant(static_cast<int32_t>(r));
  return Variant(static_cast<double>(r));
}

Variant doubleResult(double r) {
  if (!std::isfinite(r)) raise(kErrOverflow);
  return Variant(r);
}

Variant singleResult(double r) {
  if (!std::isfinite(r)) raise(kErrOverflow);
  if (std::fabs(r) > kFloatMax) return Variant(r);
  return Variant::single(static_cast<float>(r));
}

Variant dateResult(double r) {
  if (!std::isfinite(r)) raise(kErrOverflow);
  if (r > kMinDateSerial - 1.0 && r <= kMaxDateSerial) return Variant::date(r);
  return Variant(r);
}

enum class Arith { add, subtract, multiply };

Kind resultKind(const Num& a, const Num& b) {
  Kind k = a.kind > b.kind ? a.kind : b.kind;
  if (k == kSingle && (a.kind == kLong || b.kind == kLong)) k = kDouble;
  return k;
}

// True when the operator's result is Null: either operand is Null, before
// any text is read as a number ("abc" + Null is Null).
bool eitherNull(const Variant& a, const Variant& b) noexcept { return a.isNull() || b.isNull(); }

Variant arithmetic(Arith op, const Variant& va, const Variant& vb) {
  if (va.isObject() || vb.isObject()) {
    Variant x = va.valueOf(), y = vb.valueOf();
    return arithmetic(op, x, y);
  }
  if (eitherNull(va, vb)) return Variant::null();
  Num a, b;
  loadNum(va, a);
  loadNum(vb, b);
  if (a.empty && b.empty) return Variant::integer(0);
  Kind kind = resultKind(a, b);
  if (op == Arith::multiply && kind == kDate) kind = kDouble;
  if (op == Arith::subtract && a.kind == kDate && b.kind == kDate) kind = kDouble;
  switch (kind) {
    case kByte:
    case kInteger:
    case kLong: {
      int64_t r = op == Arith::add ? a.i + b.i : op == Arith::subtract ? a.i - b.i : a.i * b.i;
      return wholeResult(kind, r);
    }
    case kSingle: {
      double x = numAsDouble(a), y = numAsDouble(b);
      return singleResult(op == Arith::add ? x + y : op == Arith::subtract ? x - y : x * y);
    }
    case kDouble: {
      double x = numAsDouble(a), y = numAsDouble(b);
      return doubleResult(op == Arith::add ? x + y : op == Arith::subtract ? x - y : x * y);
    }
    case kCurrency: {
      __int128 x = toScaled(a), y = toScaled(b);
      if (op == Arith::add) return currencyResult(x + y);
      if (op == Arith::subtract) return currencyResult(x - y);
      // The product carries eight decimals; round back to four, halves to even.
      __int128 p = x * y;
      __int128 q = p / 10000, rem = p % 10000;
      if (rem > 5000 || (rem == 5000 && (q & 1))) ++q;
      if (rem < -5000 || (rem == -5000 && (q & 1))) --q;
      return currencyResult(q);
    }
    case kDate: {
      double x = numAsDouble(a), y = numAsDouble(b);
      return dateResult(op == Arith::add ? x + y : x - y);
    }
  }
  raise(kErrTypeMismatch);
}

// ---------------------------------------------------------------------------
// Whole-number operands of \, Mod and the logical operators

enum BitKind : uint8_t { kBitBool, kBitByte, kBitInteger, kBitLong };

struct Bits {
  BitKind kind = kBitInteger;
  int32_t v = 0;
};

bool boolWord(std::string_view s, bool& out) noexcept {
  if (equalsNoCase(s, "true")) {
    out = true;
    return true;
  }
  if (equalsNoCase(s, "false")) {
    out = false;
    return true;
  }
  return false;
}

// Loads an operand of \ and Mod (allowBool false: Booleans are Integers) or
// of a logical operator; false for Null.
bool loadBits(const Variant& v, Bits& out, bool allowBool) {
  switch (v.type()) {
    case vtNull:
      return false;
    case vtEmpty:
      out = {kBitInteger, 0};
      return true;
    case vtBoolean:
      out = {allowBool ? kBitBool : kBitInteger, v.rawBool() ? -1 : 0};
      return true;
    case vtByte:
      out = {kBitByte, v.rawByte()};
      return true;
    case vtInteger:
      out = {kBitInteger, v.rawInteger()};
      return true;
    case vtLong:
      out = {kBitLong, v.rawLong()};
      return true;
    case vtString:
      if (allowBool) {
        bool b;
        if (boolWord(v.rawString(), b)) {
          out = {kBitBool, b ? -1 : 0};
          return true;
        }
      }
      out = {kBitLong, v.toLong()};
      return true;
    case vtSingle:
    case vtDouble:
    case vtCurrency:
    case vtDate:
      out = {kBitLong, v.toLong()};  // rounds half to even; 6 when out of range
      return true;
    case vtObject:
      return loadBits(v.valueOf(), out, allowBool);
    default:
      raise(kErrTypeMismatch);
  }
}

BitKind bitResultKind(const Bits& a, const Bits& b) noexcept {
  if (a.kind == b.kind) return a.kind;
  if (a.kind == kBitLong || b.kind == kBitLong) return kBitLong;
  return kBitInteger;
}

Variant bitsResult(BitKind kind, int32_t v) {
  switch (kind) {
    case kBitBool:
      return Variant(v != 0);
    case kBitByte:
      return Variant::byte(static_cast<uint8_t>(v & 0xFF));
    case kBitInteger:
      return Variant::integer(static_cast<int16_t>(v));
    default:
      return Variant(v);
  }
}

// All bits set for the operand's kind: True, 255, -1.
bool allOnes(const Bits& b) noexcept {
  switch (b.kind) {
    case kBitByte:
      return (b.v & 0xFF) == 0xFF;
    case kBitInteger:
      return static_cast<int16_t>(b.v) == -1;
    default:
      return b.v == -1;
  }
}

Variant allOnesOf(BitKind kind) { return bitsResult(kind, -1); }

enum class IntOp { divide, modulo };

Variant integerDivision(IntOp op, const Variant& va, const Variant& vb) {
  if (va.isObject() || vb.isObject()) {
    Variant x = va.valueOf(), y = vb.valueOf();
    return integerDivision(op, x, y);
  }
  if (eitherNull(va, vb)) return Variant::null();
  Bits a, b;
  loadBits(va, a, false);
  loadBits(vb, b, false);
  if (b.v == 0) raise(kErrDivByZero);
  BitKind kind = bitResultKind(a, b);
  int64_t x = a.v, y = b.v;
  int64_t r = op == IntOp::divide ? x / y : x % y;
  switch (kind) {
    case kBitByte:
      return Variant::byte(static_cast<uint8_t>(r));
    case kBitInteger:
      if (r >= -32768 && r <= 32767) return Variant::integer(static_cast<int16_t>(r));
      [[fallthrough]];
    default:
      if (r > std::numeric_limits<int32_t>::max()) raise(kErrOverflow);
      return Variant(static_cast<int32_t>(r));
  }
}

// ---------------------------------------------------------------------------
// Comparison

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

// ---------------------------------------------------------------------------

Variant add(const Variant& a, const Variant& b) {
  VarType ta = a.type(), tb = b.type();
  if (ta == vtLong && tb == vtLong) {
    int32_t r;
    if (!__builtin_add_overflow(a.rawLong(), b.rawLong(), &r)) return Variant(r);
    return Variant(static_cast<double>(a.rawLong()) + b.rawLong());
  }
  if (ta == vtInteger && tb == vtInteger)
    return wholeResult(kInteger, int64_t{a.rawInteger()} + b.rawInteger());
  if (ta == vtDouble && tb == vtDouble) return doubleResult(a.rawDouble() + b.rawDouble());
  if (ta == vtString && tb == vtString) return concat(a, b);
  // One Empty operand: the other is the result, texts included.
  if (ta == vtEmpty && tb == vtString) return b;
  if (tb == vtEmpty && ta == vtString) return a;
  if (ta == vtObject || tb == vtObject) {
    Variant x = a.valueOf(), y = b.valueOf();
    return add(x, y);
  }
  return arithmetic(Arith::add, a, b);
}

Variant subtract(const Variant& a, const Variant& b) {
  VarType ta = a.type(), tb = b.type();
  if (ta == vtLong && tb == vtLong) {
    int32_t r;
    if (!__builtin_sub_overflow(a.rawLong(), b.rawLong(), &r)) return Variant(r);
    return Variant(static_cast<double>(a.rawLong()) - b.rawLong());
  }
  if (ta == vtInteger && tb == vtInteger)
    return wholeResult(kInteger, int64_t{a.rawInteger()} - b.rawInteger());
  if (ta == vtDouble && tb == vtDouble) return doubleResult(a.rawDouble() - b.rawDouble());
  return arithmetic(Arith::subtract, a, b);
}

Variant multiply(const Variant& a, const Variant& b) {
  VarType ta = a.type(), tb = b.type();
  if (ta == vtLong && tb == vtLong) {
    int32_t r;
    if (!__builtin_mul_overflow(a.rawLong(), b.rawLong(), &r)) return Variant(r);
    return Variant(static_cast<double>(a.rawLong()) * b.rawLong());
  }
  if (ta == vtInteger && tb == vtInteger)
    return wholeResult(kInteger, int64_t{a.rawInteger()} * b.rawInteger());
  if (ta == vtDouble && tb == vtDouble) return doubleResult(a.rawDouble() * b.rawDouble());
  return arithmetic(Arith::multiply, a, b);
}

Variant divide(const Variant& a, const Variant& b) {
  Num x, y;
  if (a.type() == vtDouble && b.type() == vtDouble) {
    x.kind = y.kind = kDouble;
    x.d = a.rawDouble();
    y.d = b.rawDouble();
  } else {
    if (a.isObject() || b.isObject()) {
      Variant va = a.valueOf(), vb = b.valueOf();
      return divide(va, vb);
    }
    if (eitherNull(a, b)) return Variant::null();
    loadNum(a, x);
    loadNum(b, y);
  }
  double dx = numAsDouble(x), dy = numAsDouble(y);
  if (dy == 0) raise(dx == 0 ? kErrOverflow : kErrDivByZero);
  double r = dx / dy;
  auto small = [](Kind k) { return k == kByte || k == kInteger || k == kSingle; };
  if ((x.kind == kSingle || y.kind == kSingle) && small(x.kind) && small(y.kind)) return singleResult(r);
  return doubleResult(r);
}

Variant intDivide(const Variant& a, const Variant& b) {
  if (a.type() == vtLong && b.type() == vtLong) {
    int32_t y = b.rawLong();
    if (y == 0) raise(kErrDivByZero);
    if (y == -1) {
      if (a.rawLong() == std::numeric_limits<int32_t>::min()) raise(kErrOverflow);
      return Variant(-a.rawLong());
    }
    return Variant(a.rawLong() / y);
  }
  return integerDivision(IntOp::divide, a, b);
}

Variant modulo(const Variant& a, const Variant& b) {
  if (a.type() == vtLong && b.type() == vtLong) {
    int32_t y = b.rawLong();
    if (y == 0) raise(kErrDivByZero);
    if (y == -1) return Variant(0);
    return Variant(a.rawLong() % y);
  }
  return integerDivision(IntOp::modulo, a, b);
}

Variant power(const Variant& a, const Variant& b) {
  if (a.isObject() || b.isObject()) {
    Variant va = a.valueOf(), vb = b.valueOf();
    return power(va, vb);
  }
  if (eitherNull(a, b)) return Variant::null();
  Num x, y;
  loadNum(a, x);
  loadNum(b, y);
  double base = numAsDouble(x), exponent = numAsDouble(y);
  if (base < 0 && exponent != std::floor(exponent)) raise(kErrInvalidCall);
  double r = std::pow(base, exponent);
  if (std::isnan(r)) raise(kErrInvalidCall);
  return doubleResult(r);
}

Variant negate(const Variant& a) {
  switch (a.type()) {
    case vtNull:
      return Variant::null();
    case vtEmpty:
      return Variant::integer(0);
    case vtBoolean:
      return Variant::integer(a.rawBool() ? 1 : 0);
    case vtByte:
      return Variant::integer(static_cast<int16_t>(-static_cast<int>(a.rawByte())));
    case vtInteger:
      return wholeResult(kInteger, -int64_t{a.rawInteger()});
    case vtLong:
      return wholeResult(kLong, -int64_t{a.rawLong()});
    case vtSingle:
      return Variant::single(-a.rawSingle());
    case vtDouble:
      return Variant(-a.rawDouble());
    case vtCurrency:
      if (a.rawCurrency() == kCurrencyMin) raise(kErrOverflow);
      return Variant::currency(-a.rawCurrency());
    case vtDate:
      return dateResult(-a.rawDate());
    case vtString:
      return Variant(-a.toDouble());
    case vtObject:
      return negate(a.valueOf());
    default:
      raise(kErrTypeMismatch);
  }
}

// ---------------------------------------------------------------------------

namespace {

// Appends the text of a Variant as & sees it (Null and Empty add nothing).
void appendText(std::string& out, const Variant& v) {
  switch (v.type()) {
    case vtString:
      out.append(v.rawString());
      break;
    case vtNull:
    case vtEmpty:
      break;
    case vtObject:
      appendText(out, v.valueOf());
      break;
    default:
      out += v.toString();
      break;
  }
}

}  // namespace

Variant concat(const Variant& a, const Variant& b) {
  if (a.type() == vtNull && b.type() == vtNull) return Variant::null();
  if (a.type() == vtObject || b.type() == vtObject) {
    Variant x = a.valueOf(), y = b.valueOf();
    return concat(x, y);
  }
  // Arrays are not text, even next to Null.
  if (a.isArray() || b.isArray()) raise(kErrTypeMismatch);
  std::string out;
  if (a.type() == vtString && b.type() == vtString) {
    out.reserve(a.rawString().size() + b.rawString().size());
  }
  appendText(out, a);
  appendText(out, b);
  return Variant(std::move(out));
}

void concatInPlace(Variant& target, const Variant& rhs) {
  if (target.type() != vtString || rhs.isArray()) {
    target = concat(target, rhs);
    return;
  }
  if (&rhs == &target) {
    std::string copy(rhs.rawString());
    target.mutableString().append(copy);
    return;
  }
  switch (rhs.type()) {
    case vtString: {
      // rhs may share target's text; unsharing target leaves rhs's copy intact.
      std::string& s = target.mutableString();
      s.append(rhs.rawString());
      return;
    }
    case vtNull:
    case vtEmpty:
      return;
    case vtObject: {
      Variant v = rhs.valueOf();
      concatInPlace(target, v);
      return;
    }
    default: {
      std::string text = rhs.toString();
      target.mutableString().append(text);
      return;
    }
  }
}

// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------

Variant logicalNot(const Variant& a) {
  if (a.type() == vtBoolean) return Variant(!a.rawBool());
  Bits x;
  if (!loadBits(a, x, true)) return Variant::null();
  return bitsResult(x.kind, ~x.v);
}

Variant logicalAnd(const Variant& a, const Variant& b) {
  if (a.type() == vtBoolean && b.type() == vtBoolean) return Variant(a.rawBool() && b.rawBool());
  Bits x, y;
  bool xOk = loadBits(a, x, true);
  bool yOk = loadBits(b, y, true);
  if (xOk && yOk) return bitsResult(bitResultKind(x, y), x.v & y.v);
  if (!xOk && !yOk) return Variant::null();
  // Null And 0 is 0 whatever Null stands for.
  const Bits& known = xOk ? x : y;
  if (known.v == 0) return bitsResult(known.kind, 0);
  return Variant::null();
}

Variant logicalOr(const Variant& a, const Variant& b) {
  if (a.type() == vtBoolean && b.type() == vtBoolean) return Variant(a.rawBool() || b.rawBool());
  Bits x, y;
  bool xOk = loadBits(a, x, true);
  bool yOk = loadBits(b, y, true);
  if (xOk && yOk) return bitsResult(bitResultKind(x, y), x.v | y.v);
  if (!xOk && !yOk) return Variant::null();
  // Null Or True (all bits set) is True whatever Null stands for.
  const Bits& known = xOk ? x : y;
  if (allOnes(known)) return allOnesOf(known.kind);
  return Variant::null();
}

Variant logicalXor(const Variant& a, const Variant& b) {
  if (a.type() == vtBoolean && b.type() == vtBoolean) return Variant(a.rawBool() != b.rawBool());
  Bits x, y;
  bool xOk = loadBits(a, x, true);
  bool yOk = loadBits(b, y, true);
  if (!xOk || !yOk) return Variant::null();
  return bitsResult(bitResultKind(x, y), x.v ^ y.v);
}

Variant eqv(const Variant& a, const Variant& b) {
  if (a.type() == vtBoolean && b.type() == vtBoolean) return Variant(a.rawBool() == b.rawBool());
  Bits x, y;
  bool xOk = loadBits(a, x, true);
  bool yOk = loadBits(b, y, true);
  if (!xOk || !yOk) return Variant::null();
  return bitsResult(bitResultKind(x, y), ~(x.v ^ y.v));
}

Variant imp(const Variant& a, const Variant& b) {
  if (a.type() == vtBoolean && b.type() == vtBoolean) return Variant(!a.rawBool() || b.rawBool());
  Bits x, y;
  bool xOk = loadBits(a, x, true);
  bool yOk = loadBits(b, y, true);
  if (xOk && yOk) return bitsResult(bitResultKind(x, y), ~x.v | y.v);
  if (!xOk && !yOk) return Variant::null();
  if (yOk) {
    // Null Imp True is True.
    if (allOnes(y)) return allOnesOf(y.kind);
  } else {
    // False Imp Null is True.
    if (x.v == 0) return allOnesOf(x.kind);
  }
  return Variant::null();
}

bool isTrue(const Variant& v) {
  switch (v.type()) {
    case vtBoolean:
      return v.rawBool();
    case vtLong:
      return v.rawLong() != 0;
    case vtInteger:
      return v.rawInteger() != 0;
    case vtNull:
    case vtEmpty:
      return false;
    case vtByte:
      return v.rawByte() != 0;
    case vtSingle:
      return v.rawSingle() != 0;
    case vtDouble:
    case vtDate:
      return v.rawDouble() != 0;
    case vtCurrency:
      return v.rawCurrency() != 0;
    case vtString:
      return v.toBool();
    case vtObject:
      return isTrue(v.valueOf());
    default:
      raise(kErrTypeMismatch);
  }
}

}  // namespace tw
