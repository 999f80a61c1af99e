#pragma once
// VBScript's operators on Variants, for the script engine and for conditions
// evaluated elsewhere. Each function does what the operator does in a script:
// it picks the result subtype from the operands' subtypes, propagates Null,
// reads numeric text, and raises tw::Error with the script's error numbers
// (13 type mismatch, 6 overflow, 11 division by zero, 5 invalid argument).
// Objects take part through their default member.
//
// Result subtypes of + - *: the operand that ranks highest in Byte < Integer
// < Long < Single < Double < Currency < Date decides; Boolean counts as
// Integer and numeric text as Double; Single with Long gives Double. A result
// that overflows moves up: Byte to Integer, Integer to Long, Long, Single and
// Date to Double; Double and Currency overflow raises 6. Date - Date and any
// Date in * are Double.
#include <cstdint>
#include <string_view>

#include "automation/variant.h"

namespace tw {

// ---- Arithmetic

// +: numbers add; two texts concatenate; text with a number adds (13 when the
// text is not numeric). Null gives Null; with one Empty operand the other is
// the result (Empty + "a" is "a"), two Empties give Integer 0.
Variant add(const Variant& a, const Variant& b);
// -: Date - number is a Date, Date - Date a Double.
Variant subtract(const Variant& a, const Variant& b);
Variant multiply(const Variant& a, const Variant& b);
// /: Double, or Single when a Single meets only Byte, Integer, Boolean or
// Single. x / 0 raises 11, 0 / 0 raises 6.
Variant divide(const Variant& a, const Variant& b);
// \ and Mod: operands are first rounded (half to even) to Byte, Integer or
// Long; the result is Byte when both are Byte, Long when either is Long, else
// Integer. The quotient truncates; the remainder takes the dividend's sign.
Variant intDivide(const Variant& a, const Variant& b);
Variant modulo(const Variant& a, const Variant& b);
// ^: always Double; a negative base needs a whole exponent (else 5).
Variant power(const Variant& a, const Variant& b);
// Unary minus: Empty and Boolean give Integer, Byte gives Integer, and the
// most negative Integer / Long move up to Long / Double.
Variant negate(const Variant& a);

// &: both sides as text, Null and Empty as "". Null & Null is Null.
Variant concat(const Variant& a, const Variant& b);
// target = target & rhs, appending to target's text in place when it is a
// String (its text is unshared first, so copies of it are unaffected).
void concatInPlace(Variant& target, const Variant& rhs);

// ---- Comparison

enum CompareResult : int {
  kCompareLess = -1,
  kCompareEqual = 0,
  kCompareGreater = 1,
  kCompareNull = 2,  // an operand was Null
};

// Compares as the = < > operators do:
// - numbers (and Booleans and Dates) numerically;
// - texts by code unit (binary compare) or ignoring case (text compare);
// - a number with a text: the number is the smaller, whatever the text holds
//   ("10" > 9 and "1" <> 1). This is the rule for Variant operands; a script
//   engine that wants a numeric literal compared numerically with a text
//   converts the text itself before calling;
// - Empty is 0 against a number, "" against a text, equal to Empty;
// - Null against anything gives kCompareNull.
// Arrays and Error values raise 13.
CompareResult compare(const Variant& a, const Variant& b, bool textCompare = false);
// Text comparison alone (StrComp): -1, 0 or 1. Binary compare orders as the
// UTF-16 code units do; text compare ignores letter case.
int compareStrings(std::string_view a, std::string_view b, bool textCompare) noexcept;

// Relational operators: Boolean, or Null when an operand is Null.
Variant equals(const Variant& a, const Variant& b, bool textCompare = false);
Variant notEquals(const Variant& a, const Variant& b, bool textCompare = false);
Variant lessThan(const Variant& a, const Variant& b, bool textCompare = false);
Variant lessOrEqual(const Variant& a, const Variant& b, bool textCompare = false);
Variant greaterThan(const Variant& a, const Variant& b, bool textCompare = false);
Variant greaterOrEqual(const Variant& a, const Variant& b, bool textCompare = false);

// ---- Logical and bitwise operators
// Booleans give Booleans; numbers work bit by bit after rounding to Byte,
// Integer or Long (result Byte when both are Byte, Long when either is Long,
// else Integer; Empty is Integer 0). Texts "True"/"False" are Booleans, other
// numeric text is a Long. Null follows three-valued logic: Null And False is
// False, Null Or True is True, False Imp Null is True; otherwise Null.
Variant logicalNot(const Variant& a);
Variant logicalAnd(const Variant& a, const Variant& b);
Variant logicalOr(const Variant& a, const Variant& b);
Variant logicalXor(const Variant& a, const Variant& b);
Variant eqv(const Variant& a, const Variant& b);
Variant imp(const Variant& a, const Variant& b);

// The value as the condition of If, While or Until: Null and Empty are false,
// numbers are true when not zero, texts "True"/"False" or numeric text;
// other text raises 13.
bool isTrue(const Variant& v);

}  // namespace tw
