#pragma once
// Helpers shared by the library functions: optional arguments, argument values
// and texts, character counting on UTF-8, UTF-16 views for the byte functions,
// the Windows-1252 code page behind Asc/Chr, and calendar arithmetic.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/error.h"
#include "automation/text.h"
#include "automation/variant.h"
#include "vbs/builtins.h"

namespace tw::vbs::lib {

// DISP_E_PARAMNOTFOUND: what a caller passes for an optional argument it leaves
// out in the middle of a list (FormatNumber(x, , , True)).
inline constexpr int32_t kMissingArg = static_cast<int32_t>(0x80020004u);

// True when optional argument `i` was given.
inline bool given(Args args, size_t i) noexcept {
  return i < args.size() && !(args[i].type() == vtError && args[i].rawError() == kMissingArg);
}

// An argument's value with an object replaced by its default member's value.
class ArgValue {
 public:
  explicit ArgValue(const Variant& v) : p_(&v) {
    if (v.isObject()) {
      held_ = v.valueOf();
      p_ = &held_;
    }
  }
  ArgValue(const ArgValue&) = delete;
  ArgValue& operator=(const ArgValue&) = delete;
  const Variant& operator*() const noexcept { return *p_; }
  const Variant* operator->() const noexcept { return p_; }

 private:
  const Variant* p_;
  Variant held_;
};

// An argument's text: a view of a string argument, or its CStr conversion.
// Null is noted rather than raised, so each function can decide.
class ArgText {
 public:
  explicit ArgText(const Variant& v);
  ArgText(const ArgText&) = delete;
  ArgText& operator=(const ArgText&) = delete;

  bool isNull() const noexcept { return null_; }
  std::string_view view() const noexcept { return view_; }
  // The text as a Variant; the original string is shared when it was one.
  Variant whole() const;
  // Raises 94 for Null.
  std::string_view require() const {
    if (null_) raise(kErrInvalidNull);
    return view_;
  }

 private:
  const Variant* source_ = nullptr;  // the string Variant the view points into
  Variant held_;
  std::string own_;
  std::string_view view_;
  bool null_ = false;
};

// Numeric arguments: Null raises 94, other values convert as CLng does.
int32_t longArg(const Variant& v);
// An optional numeric argument; `fallback` when left out.
int32_t longArg(Args args, size_t i, int32_t fallback);
// An optional Boolean argument.
bool boolArg(Args args, size_t i, bool fallback);
// The compare argument of InStr, Replace, Split...: 0 binary, 1 text; Null
// raises 94, other values 5.
int32_t compareArg(Args args, size_t i);

// A property that returns an object or an array, given arguments it does not
// take itself, passes them on to its result: m.SubMatches(0) reads
// m.SubMatches.Item(0), as COM dispatch does.
Variant applyArgs(Variant result, Args args);

// ---- Characters

// Number of code points.
size_t cpCount(std::string_view s) noexcept;
// Byte offset reached after stepping over `n` code points from byte `pos`
// (clamped to the end).
size_t cpAdvance(std::string_view s, size_t pos, size_t n) noexcept;
// Lower-cases code points for text comparison, keeping every byte offset: a
// code point whose lower case has another UTF-8 length stays as it is.
std::string foldCase(std::string_view s);

// UTF-16 code units of UTF-8 text, and back (lone surrogates are kept as
// three-byte sequences).
std::u16string toUtf16(std::string_view s);
std::string fromUtf16(std::u16string_view s);

// Windows-1252: the code of a character (63 "?" when it has none), and the
// character of a code.
int ansiCode(char32_t c) noexcept;
char32_t ansiChar(uint8_t code) noexcept;

// ---- Calendar (proleptic Gregorian, serials counted from 30 December 1899)

int64_t daysFromCivil(int64_t y, int m, int d) noexcept;
void civilFromDays(int64_t days, int& y, int& m, int& d) noexcept;
int daysInMonth(int y, int m) noexcept;
// Dates as a line: serial -1.25 (29 December 1899 06:00) is -0.75 on it.
double serialToLinear(double serial) noexcept;
double linearToSerial(double linear) noexcept;
// Whole seconds since 30 December 1899 00:00 (negative before).
int64_t serialToSeconds(double serial) noexcept;
double secondsToSerial(int64_t seconds) noexcept;
// Raises 5 when the serial lies outside years 100 to 9999.
void checkDateRange(double serial);
// Seconds since local midnight with their fraction (Timer, Randomize).
double timerSeconds();

}  // namespace tw::vbs::lib
