// VBScript's arithmetic and concatenation operators on Variants (comparison
// is in variant_compare.cpp; \, Mod and the logical operators are in
// variant_logic.cpp). Every binary operator first tries the common operand
// pairs (Long with Long, Integer with Integer, Double with Double) inline and
// falls back to the general rules, which classify each operand once and work
// on plain numbers; no numeric operation allocates.
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

}  // namespace tw
