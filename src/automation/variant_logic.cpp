// VBScript's operators on whole-number operands: \ and Mod, and the logical
// operators Not, And, Or, Xor, Eqv and Imp, which work bit by bit on Booleans,
// Bytes, Integers and Longs; and the truth of a Variant in a condition.
#include <cstdint>
#include <limits>
#include <string_view>

#include "automation/error.h"
#include "automation/text.h"
#include "automation/variant_ops.h"

namespace tw {

namespace {

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
  if (va.isNull() || vb.isNull()) return Variant::null();  // before any text is read
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
}  // namespace

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
