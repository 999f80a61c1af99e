// Number and date text as CStr writes it under locale 1033 (English, United
// States): general format with 15 significant digits for Double and 7 for
// Single, "E+nn" exponents, at most 4 decimals for Currency, and the short date
// plus long time ("1/2/2011 3:04:05 PM").
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "automation/date.h"
#include "automation/variant.h"

namespace tw {

namespace {

// Shortest general format with the given number of significant digits:
// fixed notation while the decimal exponent lies in -5 < e < digits, else
// "d.dddE+nn" with at least two exponent digits; trailing zeros dropped.
std::string formatGeneral(double v, int digits) {
  if (v == 0) return "0";  // also negative zero
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  std::array<char, 64> buf;
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::general, digits);
  std::string out(buf.data(), res.ptr);
  // to_chars writes "1e+15" / "1e-05": upper-case the exponent marker.
  if (auto e = out.find('e'); e != std::string::npos) out[e] = 'E';
  return out;
}

void appendTwoDigits(std::string& out, int v) {
  out.push_back(static_cast<char>('0' + v / 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

}  // namespace

std::string formatDouble(double v) { return formatGeneral(v, 15); }

std::string formatSingle(float v) { return formatGeneral(static_cast<double>(v), 7); }

std::string formatCurrency(int64_t scaled) {
  bool negative = scaled < 0;
  uint64_t mag = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  uint64_t whole = mag / 10000;
  uint64_t frac = mag % 10000;
  std::string out;
  if (negative) out.push_back('-');
  out += std::to_string(whole);
  if (frac != 0) {
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(frac));
    int len = 4;
    while (len > 0 && digits[len - 1] == '0') --len;
    out.push_back('.');
    out.append(digits, static_cast<size_t>(len));
  }
  return out;
}

std::string formatDate(double serial) {
  DateParts p;
  if (!dateToParts(serial, p)) return formatDouble(serial);
  std::string out;
  // Day 0 (30 December 1899) shows the time alone; midnight shows the date alone.
  bool hasDate = !(p.year == 1899 && p.month == 12 && p.day == 30);
  bool hasTime = p.hour != 0 || p.minute != 0 || p.second != 0;
  if (hasDate) {
    out += std::to_string(p.month);
    out.push_back('/');
    out += std::to_string(p.day);
    out.push_back('/');
    out += std::to_string(p.year);
  }
  if (hasTime || !hasDate) {
    if (hasDate) out.push_back(' ');
    int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
    out += std::to_string(h12);
    out.push_back(':');
    appendTwoDigits(out, p.minute);
    out.push_back(':');
    appendTwoDigits(out, p.second);
    out += p.hour < 12 ? " AM" : " PM";
  }
  return out;
}

}  // namespace tw
