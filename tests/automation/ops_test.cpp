// VBScript operators on Variants: result subtypes, overflow promotion, Null
// propagation, texts in arithmetic, comparison rules and the logical
// operators' three-valued logic.
#include "automation/variant_ops.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "automation/date.h"
#include "automation/dispatch.h"
#include "automation/variant.h"
#include "support/expect_error.h"

using namespace tw;

namespace {

Variant I(int16_t v) { return Variant::integer(v); }
Variant L(int32_t v) { return Variant::long_(v); }
Variant B(uint8_t v) { return Variant::byte(v); }
Variant S(float v) { return Variant::single(v); }
Variant D(double v) { return Variant(v); }
Variant C(int64_t scaled) { return Variant::currency(scaled); }
Variant T(double serial) { return Variant::date(serial); }
const Variant kNull = Variant::null();
const Variant kEmpty;

// Subtype and value in one check.
void expectInteger(const Variant& v, int16_t expected) {
  ASSERT_EQ(v.varType(), vtInteger);
  EXPECT_EQ(v.rawInteger(), expected);
}
void expectLong(const Variant& v, int32_t expected) {
  ASSERT_EQ(v.varType(), vtLong);
  EXPECT_EQ(v.rawLong(), expected);
}
void expectByte(const Variant& v, uint8_t expected) {
  ASSERT_EQ(v.varType(), vtByte);
  EXPECT_EQ(v.rawByte(), expected);
}
void expectDouble(const Variant& v, double expected) {
  ASSERT_EQ(v.varType(), vtDouble);
  EXPECT_DOUBLE_EQ(v.rawDouble(), expected);
}
void expectSingle(const Variant& v, float expected) {
  ASSERT_EQ(v.varType(), vtSingle);
  EXPECT_FLOAT_EQ(v.rawSingle(), expected);
}
void expectCurrency(const Variant& v, int64_t scaled) {
  ASSERT_EQ(v.varType(), vtCurrency);
  EXPECT_EQ(v.rawCurrency(), scaled);
}
void expectDate(const Variant& v, double serial) {
  ASSERT_EQ(v.varType(), vtDate);
  EXPECT_DOUBLE_EQ(v.rawDate(), serial);
}
void expectBool(const Variant& v, bool expected) {
  ASSERT_EQ(v.varType(), vtBoolean);
  EXPECT_EQ(v.rawBool(), expected);
}
void expectString(const Variant& v, std::string_view expected) {
  ASSERT_EQ(v.varType(), vtString);
  EXPECT_EQ(v.rawString(), expected);
}

class Holder : public Dispatch {
 public:
  explicit Holder(Variant v) : value_(std::move(v)) {}
  const ClassInfo* classInfo() const override {
    static const ClassInfo info = ClassBuilder<Holder>("Holder")
                                      .get("Value", [](Holder& h) { return h.value_; })
                                      .defaultMember("Value")
                                      .build();
    return &info;
  }

 private:
  Variant value_;
};

Variant holding(Variant v) { return Variant(makeRef<Holder>(std::move(v))); }

}  // namespace

// ---- + - *

TEST(Add, WholeNumbersKeepTheWiderSubtype) {
  expectLong(add(L(2), L(3)), 5);
  expectInteger(add(I(2), I(3)), 5);
  expectInteger(add(I(2), B(3)), 5);
  expectByte(add(B(2), B(3)), 5);
  expectLong(add(I(2), L(3)), 5);
  expectInteger(add(Variant(true), Variant(true)), -2);  // Booleans add as Integers
  expectInteger(add(Variant(true), B(1)), 0);
}

TEST(Add, OverflowMovesToTheNextSubtype) {
  expectInteger(add(B(200), B(100)), 300);
  expectLong(add(I(32767), I(1)), 32768);
  expectDouble(add(L(2147483647), L(1)), 2147483648.0);
  expectDouble(add(L(-2147483647 - 1), I(-1)), -2147483649.0);
  expectDouble(add(S(3e38f), S(3e38f)), static_cast<double>(3e38f) * 2);
  EXPECT_TW_ERROR(add(D(DBL_MAX), D(DBL_MAX)), kErrOverflow);
  EXPECT_TW_ERROR(add(C(INT64_MAX), C(1)), kErrOverflow);
}

TEST(Add, FloatingAndCurrencySubtypes) {
  expectSingle(add(S(1.5f), I(1)), 2.5f);
  expectDouble(add(S(1.5f), L(1)), 2.5);  // Single with Long gives Double
  expectDouble(add(D(1.5), L(1)), 2.5);
  expectCurrency(add(D(1.5), C(10000)), 25000);  // Currency ranks above Double
  expectCurrency(add(C(12345), C(1)), 12346);
  expectCurrency(add(C(0), D(0.00005)), 0);  // half a ten-thousandth rounds to even
}

TEST(Add, DatesStayDates) {
  expectDate(add(T(40000), L(1)), 40001);
  expectDate(add(D(0.5), T(40000)), 40000.5);
  expectDate(add(T(40000), C(10000)), 40001);
  expectDate(add(T(1), T(2)), 3);
  // Beyond 31 December 9999 the result is no longer a date.
  expectDouble(add(T(2958465), L(1000)), 2959465);
}

TEST(Add, TextConcatenatesOrAddsNumerically) {
  expectString(add(Variant("ab"), Variant("cd")), "abcd");
  expectDouble(add(Variant("1"), I(1)), 2);
  expectDouble(add(I(1), Variant(" 2.5 ")), 3.5);
  expectDouble(add(Variant("1"), Variant(true)), 0);
  EXPECT_TW_ERROR(add(Variant("a"), I(1)), kErrTypeMismatch);
  EXPECT_TW_ERROR(add(Variant(true), Variant("True")), kErrTypeMismatch);
}

TEST(Add, NullAndEmpty) {
  EXPECT_TRUE(add(kNull, I(1)).isNull());
  EXPECT_TRUE(add(I(1), kNull).isNull());
  EXPECT_TRUE(add(Variant("abc"), kNull).isNull());
  EXPECT_TRUE(add(kNull, kEmpty).isNull());
  expectInteger(add(kEmpty, kEmpty), 0);
  expectLong(add(kEmpty, L(5)), 5);
  expectByte(add(B(5), kEmpty), 5);
  expectDouble(add(kEmpty, D(2.5)), 2.5);
  expectString(add(kEmpty, Variant("5")), "5");
  expectString(add(Variant("a"), kEmpty), "a");
}

TEST(Add, ObjectsAddTheirDefaultValues) {
  expectLong(add(holding(L(2)), L(3)), 5);
  expectString(add(holding(Variant("a")), Variant("b")), "ab");
  EXPECT_TW_ERROR(add(Variant::nothing(), L(1)), kErrObjectNotSet);
  EXPECT_TW_ERROR(add(Variant::array(std::vector<Variant>{L(1)}), L(1)), kErrTypeMismatch);
}

TEST(Subtract, SubtypesAndOverflow) {
  expectLong(subtract(L(2), L(3)), -1);
  expectInteger(subtract(B(1), B(2)), -1);  // Byte overflows below zero
  expectInteger(subtract(kEmpty, B(1)), -1);
  expectLong(subtract(I(-32768), I(1)), -32769);
  expectDouble(subtract(L(-2147483647 - 1), L(1)), -2147483649.0);
  expectDouble(subtract(Variant("5"), Variant("3")), 2);  // texts are numbers for -
  EXPECT_TW_ERROR(subtract(Variant("a"), Variant("b")), kErrTypeMismatch);
  EXPECT_TRUE(subtract(kNull, L(1)).isNull());
}

TEST(Subtract, DateArithmetic) {
  expectDouble(subtract(T(40003), T(40001)), 2);  // two dates give a Double
  expectDate(subtract(T(40003), L(2)), 40001);
  expectDate(subtract(L(5), T(1)), 4);
  expectDate(subtract(T(40001), D(0.25)), 40000.75);
}

TEST(Multiply, SubtypesAndOverflow) {
  expectLong(multiply(L(6), L(7)), 42);
  expectInteger(multiply(I(200), I(100)), 20000);
  expectLong(multiply(I(200), I(200)), 40000);
  expectLong(multiply(B(255), B(255)), 65025);
  expectDouble(multiply(L(65536), L(65536)), 4294967296.0);
  expectSingle(multiply(S(2), I(3)), 6);
  expectDouble(multiply(S(2), L(3)), 6);                // Single with Long gives Double
  expectDouble(multiply(T(1), I(2)), 2);                // Dates multiply as Doubles
  expectCurrency(multiply(C(15000), C(20000)), 30000);  // 1.5 * 2
  expectCurrency(multiply(C(1), C(5000)), 0);           // 0.0001 * 0.5 rounds to even
  expectCurrency(multiply(C(3), C(5000)), 2);           // 0.0003 * 0.5 = 0.00015
  expectCurrency(multiply(C(10000), D(2.5)), 25000);
  EXPECT_TW_ERROR(multiply(D(1e308), I(10)), kErrOverflow);
  EXPECT_TW_ERROR(multiply(C(INT64_MAX), I(2)), kErrOverflow);
  expectInteger(multiply(kEmpty, kEmpty), 0);
  EXPECT_TRUE(multiply(kNull, kEmpty).isNull());
}

// ---- / \ Mod ^

TEST(Divide, DoubleUnlessSingleMeetsSmallSubtypes) {
  expectDouble(divide(I(1), I(2)), 0.5);
  expectDouble(divide(L(1), L(4)), 0.25);
  expectSingle(divide(S(1), S(4)), 0.25f);
  expectSingle(divide(S(1), I(4)), 0.25f);
  expectDouble(divide(S(1), L(4)), 0.25);
  expectDouble(divide(C(10000), C(40000)), 0.25);
  expectDouble(divide(T(1), I(2)), 0.5);
  expectDouble(divide(Variant("3"), I(2)), 1.5);
  EXPECT_TRUE(divide(kNull, I(2)).isNull());
  EXPECT_TRUE(divide(I(2), kNull).isNull());
}

TEST(Divide, ByZero) {
  EXPECT_TW_ERROR(divide(I(1), I(0)), kErrDivByZero);
  EXPECT_TW_ERROR(divide(D(1.5), kEmpty), kErrDivByZero);
  EXPECT_TW_ERROR(divide(I(0), I(0)), kErrOverflow);  // 0 / 0 is an overflow
  EXPECT_TW_ERROR(divide(D(1e308), D(1e-308)), kErrOverflow);
}

TEST(IntDivide, OperandsRoundToWholeSubtypesFirst) {
  expectInteger(intDivide(I(11), I(4)), 2);
  expectInteger(intDivide(I(100), I(3)), 33);
  expectInteger(intDivide(I(-7), I(2)), -3);  // truncates toward zero
  expectLong(intDivide(D(7.5), I(2)), 4);     // 7.5 rounds to 8
  expectLong(intDivide(D(6.5), I(2)), 3);     // 6.5 rounds to 6
  expectByte(intDivide(B(7), B(2)), 3);
  expectLong(intDivide(L(7), I(2)), 3);
  expectLong(intDivide(Variant("9"), I(3)), 3);
  expectInteger(intDivide(Variant(true), I(1)), -1);
  expectLong(intDivide(I(-32768), I(-1)), 32768);
  EXPECT_TW_ERROR(intDivide(L(-2147483647 - 1), L(-1)), kErrOverflow);
  EXPECT_TW_ERROR(intDivide(I(1), I(0)), kErrDivByZero);
  EXPECT_TW_ERROR(intDivide(L(1), L(0)), kErrDivByZero);
  EXPECT_TW_ERROR(intDivide(I(1), D(0.4)), kErrDivByZero);  // 0.4 rounds to 0
  EXPECT_TW_ERROR(intDivide(D(3e9), I(1)), kErrOverflow);
  EXPECT_TRUE(intDivide(kNull, I(1)).isNull());
}

TEST(Modulo, RemainderAfterRounding) {
  expectInteger(modulo(I(10), I(3)), 1);
  expectLong(modulo(I(19), D(6.7)), 5);  // 6.7 rounds to 7
  expectLong(modulo(I(12), D(4.3)), 0);
  expectInteger(modulo(I(-7), I(2)), -1);  // the dividend's sign
  expectInteger(modulo(I(7), I(-2)), 1);
  expectLong(modulo(L(-2147483647 - 1), L(-1)), 0);
  expectByte(modulo(B(7), B(4)), 3);
  EXPECT_TW_ERROR(modulo(I(5), I(0)), kErrDivByZero);
  EXPECT_TW_ERROR(modulo(L(5), L(0)), kErrDivByZero);
  EXPECT_TRUE(modulo(I(5), kNull).isNull());
}

TEST(Power, AlwaysDouble) {
  expectDouble(power(I(2), I(10)), 1024);
  expectDouble(power(D(2), D(0.5)), std::sqrt(2.0));
  expectDouble(power(I(-2), I(3)), -8);
  expectDouble(power(I(2), I(-1)), 0.5);
  expectDouble(power(Variant("3"), I(2)), 9);
  EXPECT_TW_ERROR(power(I(-8), D(1.0 / 3)), kErrInvalidCall);
  EXPECT_TW_ERROR(power(D(10), D(400)), kErrOverflow);
  EXPECT_TRUE(power(kNull, I(2)).isNull());
  EXPECT_TRUE(power(I(2), kNull).isNull());
}

TEST(Negate, Subtypes) {
  expectInteger(negate(Variant(true)), 1);
  expectInteger(negate(B(1)), -1);
  expectInteger(negate(kEmpty), 0);
  expectInteger(negate(I(5)), -5);
  expectLong(negate(I(-32768)), 32768);
  expectLong(negate(L(5)), -5);
  expectDouble(negate(L(-2147483647 - 1)), 2147483648.0);
  expectSingle(negate(S(1.5f)), -1.5f);
  expectDouble(negate(Variant("5")), -5);
  expectDate(negate(T(1)), -1);
  expectCurrency(negate(C(5)), -5);
  EXPECT_TW_ERROR(negate(C(INT64_MIN)), kErrOverflow);
  EXPECT_TW_ERROR(negate(Variant("x")), kErrTypeMismatch);
  EXPECT_TRUE(negate(kNull).isNull());
  expectLong(negate(holding(L(3))), -3);
}

// ---- &

TEST(Concat, EverythingAsText) {
  expectString(concat(Variant("a"), Variant("b")), "ab");
  expectString(concat(Variant("a"), kNull), "a");
  expectString(concat(kNull, Variant("a")), "a");
  expectString(concat(kEmpty, Variant("x")), "x");
  expectString(concat(kNull, kEmpty), "");
  expectString(concat(L(1), L(2)), "12");
  expectString(concat(Variant(true), Variant("")), "True");
  expectString(concat(D(1.5), D(0.1 + 0.2)), "1.50.3");
  expectString(concat(holding(L(7)), Variant("x")), "7x");
  EXPECT_TRUE(concat(kNull, kNull).isNull());
  EXPECT_TW_ERROR(concat(Variant::array(std::vector<Variant>{}), Variant("x")), kErrTypeMismatch);
}

TEST(ConcatInPlace, AppendsWithoutTouchingCopies) {
  Variant s("ab");
  Variant copy = s;
  concatInPlace(s, Variant("c"));
  expectString(s, "abc");
  expectString(copy, "ab");
  concatInPlace(s, L(1));
  concatInPlace(s, kNull);
  concatInPlace(s, kEmpty);
  concatInPlace(s, Variant(true));
  expectString(s, "abc1True");
}

TEST(ConcatInPlace, AppendsToTheSameTextWhenUnshared) {
  Variant s("start");
  const std::string* before = &s.mutableString();
  for (int i = 0; i < 100; ++i) concatInPlace(s, Variant("x"));
  EXPECT_EQ(&s.mutableString(), before);
  EXPECT_EQ(s.rawString().size(), 105u);
}

TEST(ConcatInPlace, SelfAndSharedOperands) {
  Variant s("ab");
  concatInPlace(s, s);
  expectString(s, "abab");
  Variant t("xy");
  Variant alias = t;  // shares the text
  concatInPlace(t, alias);
  expectString(t, "xyxy");
  expectString(alias, "xy");
}

TEST(ConcatInPlace, NonTextTargets) {
  Variant e;
  concatInPlace(e, Variant("a"));
  expectString(e, "a");
  Variant n = Variant::null();
  concatInPlace(n, kNull);
  EXPECT_TRUE(n.isNull());
  concatInPlace(n, Variant("b"));
  expectString(n, "b");
  Variant num = L(12);
  concatInPlace(num, D(0.5));
  expectString(num, "120.5");
  Variant s("a");
  EXPECT_TW_ERROR(concatInPlace(s, Variant::array(std::vector<Variant>{})), kErrTypeMismatch);
}

// ---- Comparison

TEST(Compare, NumbersAcrossSubtypes) {
  EXPECT_EQ(compare(I(1), D(1.0)), kCompareEqual);
  EXPECT_EQ(compare(L(2), D(2.5)), kCompareLess);
  EXPECT_EQ(compare(B(200), I(-1)), kCompareGreater);
  EXPECT_EQ(compare(Variant(true), I(-1)), kCompareEqual);  // True is -1
  EXPECT_EQ(compare(Variant(true), Variant(false)), kCompareLess);
  EXPECT_EQ(compare(C(15000), D(1.5)), kCompareEqual);
  EXPECT_EQ(compare(C(15001), L(1)), kCompareGreater);
  EXPECT_EQ(compare(T(2), D(2)), kCompareEqual);
  EXPECT_EQ(compare(S(0.5f), D(0.5)), kCompareEqual);
  EXPECT_EQ(compare(L(-5), L(3)), kCompareLess);
}

TEST(Compare, TextsBinaryOrIgnoringCase) {
  EXPECT_EQ(compare(Variant("a"), Variant("B")), kCompareGreater);  // by code unit
  EXPECT_EQ(compare(Variant("a"), Variant("B"), true), kCompareLess);
  EXPECT_EQ(compare(Variant("abc"), Variant("ABC")), kCompareGreater);
  EXPECT_EQ(compare(Variant("abc"), Variant("ABC"), true), kCompareEqual);
  EXPECT_EQ(compare(Variant("ab"), Variant("abc")), kCompareLess);
  EXPECT_EQ(compare(Variant("10"), Variant("9")), kCompareLess);  // texts compare as texts
  EXPECT_EQ(compare(Variant("\xC3\xA9"), Variant("\xC3\x89"), true), kCompareEqual);  // é É
}

TEST(Compare, BinaryOrderIsUtf16CodeUnitOrder) {
  // U+FF61 is a single code unit; U+1F600 is the surrogate pair D83D DE00.
  const char* halfwidthStop = "\xEF\xBD\xA1";
  const char* grinningFace = "\xF0\x9F\x98\x80";
  EXPECT_EQ(compareStrings(grinningFace, halfwidthStop, false), -1);
  EXPECT_EQ(compareStrings(halfwidthStop, grinningFace, false), 1);
  EXPECT_EQ(compareStrings("x\xC3\xA9", "x\xC3\xA9", false), 0);
  EXPECT_EQ(compareStrings("\xC3\xA9", "z", false), 1);  // U+00E9 after U+007A
}

TEST(Compare, NumberIsLessThanText) {
  EXPECT_EQ(compare(I(10), Variant("9")), kCompareLess);
  EXPECT_EQ(compare(Variant("1"), I(1)), kCompareGreater);
  expectBool(equals(I(1), Variant("1")), false);
  expectBool(lessThan(D(1e300), Variant("")), true);
  expectBool(greaterThan(Variant("a"), T(40000)), true);
  expectBool(lessThan(Variant(true), Variant("True")), true);
}

TEST(Compare, EmptyIsZeroOrEmptyText) {
  expectBool(equals(kEmpty, I(0)), true);
  expectBool(equals(kEmpty, Variant("")), true);
  expectBool(equals(kEmpty, kEmpty), true);
  expectBool(lessThan(kEmpty, I(1)), true);
  expectBool(greaterThan(kEmpty, I(-1)), true);
  expectBool(lessThan(kEmpty, Variant("a")), true);
  expectBool(greaterThan(Variant("a"), kEmpty), true);
  expectBool(equals(kEmpty, Variant(false)), true);
}

TEST(Compare, NullPropagates) {
  EXPECT_EQ(compare(kNull, I(1)), kCompareNull);
  EXPECT_EQ(compare(Variant("a"), kNull), kCompareNull);
  EXPECT_TRUE(equals(kNull, kNull).isNull());
  EXPECT_TRUE(notEquals(kNull, I(1)).isNull());
  EXPECT_TRUE(lessThan(kEmpty, kNull).isNull());
  EXPECT_TRUE(greaterOrEqual(kNull, kEmpty).isNull());
}

TEST(Compare, RelationalOperators) {
  expectBool(equals(L(3), I(3)), true);
  expectBool(notEquals(L(3), I(3)), false);
  expectBool(lessThan(L(2), L(3)), true);
  expectBool(lessThan(L(3), L(3)), false);
  expectBool(lessOrEqual(L(3), L(3)), true);
  expectBool(lessOrEqual(L(4), L(3)), false);
  expectBool(greaterThan(D(3.5), L(3)), true);
  expectBool(greaterOrEqual(D(2.5), L(3)), false);
  expectBool(greaterOrEqual(L(3), D(3)), true);
  expectBool(equals(Variant("Abc"), Variant("aBC"), true), true);
  expectBool(equals(Variant("Abc"), Variant("aBC")), false);
}

TEST(Compare, ObjectsByDefaultValueAndInvalidOperands) {
  expectBool(equals(holding(L(3)), D(3)), true);
  expectBool(equals(holding(Variant("x")), Variant("x")), true);
  EXPECT_TW_ERROR(compare(Variant::array(std::vector<Variant>{}), L(1)), kErrTypeMismatch);
  EXPECT_TW_ERROR(compare(Variant::error(5), L(1)), kErrTypeMismatch);
  EXPECT_TW_ERROR(compare(Variant::nothing(), L(1)), kErrObjectNotSet);
}

// ---- Logical and bitwise

TEST(Logical, BooleansGiveBooleans) {
  expectBool(logicalAnd(Variant(true), Variant(false)), false);
  expectBool(logicalAnd(Variant(true), Variant(true)), true);
  expectBool(logicalOr(Variant(false), Variant(true)), true);
  expectBool(logicalOr(Variant(false), Variant(false)), false);
  expectBool(logicalXor(Variant(true), Variant(true)), false);
  expectBool(logicalXor(Variant(true), Variant(false)), true);
  expectBool(eqv(Variant(false), Variant(false)), true);
  expectBool(eqv(Variant(true), Variant(false)), false);
  expectBool(imp(Variant(true), Variant(false)), false);
  expectBool(imp(Variant(false), Variant(false)), true);
  expectBool(logicalNot(Variant(true)), false);
  expectBool(logicalAnd(Variant("True"), Variant(true)), true);
  expectBool(logicalNot(Variant("false")), true);
}

TEST(Logical, NumbersWorkBitByBit) {
  expectInteger(logicalAnd(I(12), I(10)), 8);
  expectInteger(logicalOr(I(12), I(10)), 14);
  expectInteger(logicalXor(I(12), I(10)), 6);
  expectInteger(eqv(I(12), I(10)), -7);  // Not (12 Xor 10)
  expectInteger(imp(I(12), I(10)), -5);  // (Not 12) Or 10
  expectInteger(logicalNot(I(0)), -1);
  expectInteger(logicalNot(I(5)), -6);
  expectInteger(logicalNot(kEmpty), -1);
  expectByte(logicalNot(B(1)), 254);
  expectByte(logicalAnd(B(7), B(3)), 3);
  expectLong(logicalAnd(I(7), L(3)), 3);
  expectInteger(logicalAnd(Variant(true), B(3)), 3);
  expectInteger(logicalAnd(kEmpty, Variant(true)), 0);
  expectLong(logicalAnd(D(7.5), I(15)), 8);  // 7.5 rounds to 8
  expectLong(logicalNot(D(1.5)), -3);
  expectLong(logicalAnd(Variant("12"), I(10)), 8);
  expectLong(logicalNot(Variant("1")), -2);
  expectLong(logicalOr(L(0x10000), I(1)), 0x10001);
  EXPECT_TW_ERROR(logicalAnd(Variant("abc"), I(1)), kErrTypeMismatch);
  EXPECT_TW_ERROR(logicalNot(D(3e9)), kErrOverflow);
}

TEST(Logical, NullFollowsThreeValuedLogic) {
  const Variant t(true), f(false);
  EXPECT_TRUE(logicalAnd(t, kNull).isNull());
  expectBool(logicalAnd(f, kNull), false);
  EXPECT_TRUE(logicalAnd(kNull, t).isNull());
  expectBool(logicalAnd(kNull, f), false);
  EXPECT_TRUE(logicalAnd(kNull, kNull).isNull());

  expectBool(logicalOr(t, kNull), true);
  EXPECT_TRUE(logicalOr(f, kNull).isNull());
  expectBool(logicalOr(kNull, t), true);
  EXPECT_TRUE(logicalOr(kNull, f).isNull());
  EXPECT_TRUE(logicalOr(kNull, kNull).isNull());

  EXPECT_TRUE(logicalXor(t, kNull).isNull());
  EXPECT_TRUE(logicalXor(kNull, f).isNull());
  EXPECT_TRUE(eqv(t, kNull).isNull());
  EXPECT_TRUE(eqv(kNull, f).isNull());

  EXPECT_TRUE(imp(t, kNull).isNull());
  expectBool(imp(f, kNull), true);
  expectBool(imp(kNull, t), true);
  EXPECT_TRUE(imp(kNull, f).isNull());
  EXPECT_TRUE(imp(kNull, kNull).isNull());

  EXPECT_TRUE(logicalNot(kNull).isNull());
}

TEST(Logical, NullWithNumbers) {
  // Bits known from the other operand decide: 0 And Null is 0, -1 Or Null is -1.
  expectInteger(logicalAnd(kNull, I(0)), 0);
  EXPECT_TRUE(logicalAnd(kNull, I(5)).isNull());
  expectInteger(logicalOr(I(-1), kNull), -1);
  EXPECT_TRUE(logicalOr(I(1), kNull).isNull());
  expectByte(logicalOr(kNull, B(255)), 255);
  expectLong(imp(L(0), kNull), -1);
}

// ---- Conditions

TEST(IsTrue, ConditionValues) {
  EXPECT_TRUE(isTrue(Variant(true)));
  EXPECT_FALSE(isTrue(Variant(false)));
  EXPECT_FALSE(isTrue(kNull));  // If Null Then takes the Else branch
  EXPECT_FALSE(isTrue(kEmpty));
  EXPECT_TRUE(isTrue(L(-3)));
  EXPECT_FALSE(isTrue(I(0)));
  EXPECT_TRUE(isTrue(D(0.1)));
  EXPECT_FALSE(isTrue(D(0.0)));
  EXPECT_TRUE(isTrue(C(1)));
  EXPECT_TRUE(isTrue(B(1)));
  EXPECT_TRUE(isTrue(T(1)));
  EXPECT_TRUE(isTrue(Variant("True")));
  EXPECT_TRUE(isTrue(Variant("true")));
  EXPECT_FALSE(isTrue(Variant("FALSE")));
  EXPECT_FALSE(isTrue(Variant("0")));
  EXPECT_TRUE(isTrue(Variant(" 2.5 ")));
  EXPECT_TRUE(isTrue(holding(Variant(true))));
  EXPECT_FALSE(isTrue(holding(kNull)));
  EXPECT_TW_ERROR(isTrue(Variant("abc")), kErrTypeMismatch);
  EXPECT_TW_ERROR(isTrue(Variant("")), kErrTypeMismatch);
  EXPECT_TW_ERROR(isTrue(Variant::array(std::vector<Variant>{})), kErrTypeMismatch);
}
