// FormatNumber, FormatCurrency and FormatPercent with the en-US settings: two
// decimals, a leading zero, "," grouping by threes, "-1.00", "($1.00)".
//
// The value is first written with 15 significant digits (as CStr does) and
// then rounded half away from zero on those decimal digits, so 2.675 formats
// as "2.68" although its binary value lies just below.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vbs/lib/common.h"
#include "vbs/lib/tables.h"

namespace tw::vbs::lib {

namespace {

enum class Style { Number, Currency, Percent };

constexpr int32_t kTristateDefault = -2;

struct Options {
  int digits = 2;
  bool leadingZero = true;
  bool parens = false;
  bool group = true;
};

// |value| rounded to `digits` decimals: integer digits and fraction digits.
void decimalDigits(double value, int digits, std::string& whole, std::string& fraction) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  // buf: d.dddddddddddddde[+-]xx
  std::string sig;
  sig += buf[0];
  sig.append(buf + 2, 14);
  int exponent = std::atoi(buf + 17);
  int point = exponent + 1;  // digits of sig before the decimal point
  auto digitAt = [&](int i) { return i >= 0 && i < 15 ? sig[static_cast<size_t>(i)] : '0'; };
  std::string all;  // whole digits then fraction digits
  int wholeCount = point > 0 ? point : 0;
  for (int i = 0; i < wholeCount; ++i) all += digitAt(i);
  for (int j = 0; j < digits; ++j) all += digitAt(point + j);
  if (digitAt(point + digits) >= '5') {
    int i = static_cast<int>(all.size()) - 1;
    while (i >= 0 && all[static_cast<size_t>(i)] == '9') all[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++all[static_cast<size_t>(i)];
    } else {
      all.insert(all.begin(), '1');
      ++wholeCount;
    }
  }
  whole = all.substr(0, static_cast<size_t>(wholeCount));
  fraction = all.substr(static_cast<size_t>(wholeCount));
  size_t nonZero = whole.find_first_not_of('0');
  whole = nonZero == std::string::npos ? std::string() : whole.substr(nonZero);
}

std::string format(double value, Style style, const Options& o) {
  if (style == Style::Percent) value *= 100.0;
  if (!std::isfinite(value)) raise(kErrOverflow);
  std::string whole, fraction;
  decimalDigits(value, o.digits, whole, fraction);
  bool zero = whole.empty() && fraction.find_first_not_of('0') == std::string::npos;
  std::string body;
  if (whole.empty()) {
    if (o.leadingZero || fraction.empty()) body = "0";
  } else if (o.group) {
    size_t lead = whole.size() % 3 == 0 ? 3 : whole.size() % 3;
    body = whole.substr(0, lead);
    for (size_t i = lead; i < whole.size(); i += 3) {
      body += ',';
      body.append(whole, i, 3);
    }
  } else {
    body = whole;
  }
  if (!fraction.empty()) {
    body += '.';
    body += fraction;
  }
  if (style == Style::Currency) body.insert(0, "$");
  if (style == Style::Percent) body += '%';
  if (value < 0 && !zero) {
    if (o.parens) return "(" + body + ")";
    return "-" + body;
  }
  return body;
}

// A tristate argument (-1 True, 0 False, -2 the locale's default).
bool tristateArg(Args a, size_t i, bool fallback) {
  int32_t t = longArg(a, i, kTristateDefault);
  if (t == kTristateDefault) return fallback;
  return t != 0;
}

Variant formatted(Args a, Style style) {
  for (size_t i = 1; i < a.size(); ++i)
    if (a[i].isNull()) raise(kErrInvalidNull);
  Options o;
  int32_t digits = longArg(a, 1, -1);
  if (digits < -1 || digits > 255) raise(kErrInvalidCall);
  o.digits = digits == -1 ? 2 : digits;
  o.leadingZero = tristateArg(a, 2, true);
  o.parens = tristateArg(a, 3, style == Style::Currency);
  o.group = tristateArg(a, 4, true);
  ArgValue v(a[0]);
  if (v->isNull()) raise(kErrTypeMismatch);
  return Variant(format(v->toDouble(), style, o));
}

Variant fnFormatNumber(RuntimeState&, Args a) { return formatted(a, Style::Number); }
Variant fnFormatCurrency(RuntimeState&, Args a) { return formatted(a, Style::Currency); }
Variant fnFormatPercent(RuntimeState&, Args a) { return formatted(a, Style::Percent); }

constexpr BuiltinFunction kFunctions[] = {
    {"FormatCurrency", 1, 5, fnFormatCurrency},
    {"FormatNumber", 1, 5, fnFormatNumber},
    {"FormatPercent", 1, 5, fnFormatPercent},
};

}  // namespace

std::span<const BuiltinFunction> formatFunctions() { return kFunctions; }

}  // namespace tw::vbs::lib
