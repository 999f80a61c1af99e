// Conversions between Variant subtypes as VBScript's C... functions perform
// them under locale 1033. Numbers round half to even when they lose their
// fraction; text is read by parseNumber and parseDate.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "automation/date.h"
#include "automation/dispatch.h"
#include "automation/error.h"
#include "automation/text.h"
#include "automation/variant.h"

namespace tw {

namespace {

// ---------------------------------------------------------------------------
// Numeric text

enum class NumStatus { ok, notNumber, overflow };

// Numeric text split into its parts: either a decimal value
// ±0.digits × 10^exponent, or a hexadecimal / octal integer.
struct NumText {
  bool negative = false;
  bool radix = false;       // &H or &O
  uint32_t radixValue = 0;  // the bits of a &H / &O number
  int radixBits = 0;        // bits the digits span (4 per hex digit, 3 per octal)
  std::string digits;       // significant digits, no leading zeros
  int exponent = 0;         // decimal point position relative to digits
};

std::string_view trimAllBlanks(std::string_view s) noexcept {
  while (!s.empty() && isWhiteSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isWhiteSpace(s.back())) s.remove_suffix(1);
  return s;
}

NumStatus scanRadix(std::string_view s, NumText& out) {
  // s starts after "&H" or "&O".
  bool hex = out.radixBits == 4;
  uint64_t value = 0;
  int significant = 0;
  if (s.empty()) return NumStatus::notNumber;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return NumStatus::notNumber;
    }
    if (!hex && d > 7) return NumStatus::notNumber;
    value = value * (hex ? 16 : 8) + static_cast<uint64_t>(d);
    if (value != 0) ++significant;
    if (value > 0xFFFFFFFFull) return NumStatus::overflow;
  }
  out.radix = true;
  out.radixValue = static_cast<uint32_t>(value);
  out.radixBits = significant * out.radixBits;
  return NumStatus::ok;
}

// Reads numeric text the way the en-US number parser does: blanks around,
// a leading or trailing sign, parentheses for negative values, a "$" sign,
// "," thousands separators in the whole part, "." decimals, an exponent, and
// "&H" hexadecimal or "&O" octal integers.
NumStatus scanNumber(std::string_view text, NumText& out) {
  std::string_view s = trimAllBlanks(text);
  if (s.size() >= 2 && s[0] == '&') {
    char k = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
    if (k == 'H' || k == 'O') {
      out.radixBits = k == 'H' ? 4 : 3;
      return scanRadix(s.substr(2), out);
    }
    return NumStatus::notNumber;
  }
  bool parens = false;
  if (!s.empty() && s.front() == '(') {
    if (s.back() != ')') return NumStatus::notNumber;
    parens = true;
    s = trimAllBlanks(s.substr(1, s.size() - 2));
  }
  int signs = 0;
  bool negative = false;
  bool currency = false;
  size_t i = 0;
  // Leading sign and currency symbol in either order, blanks between.
  for (;;) {
    while (i < s.size() && isWhiteSpace(s[i])) ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
      negative = negative != (s[i] == '-');
      ++signs;
      ++i;
    } else if (i < s.size() && s[i] == '$' && !currency) {
      currency = true;
      ++i;
    } else {
      break;
    }
  }
  std::string digits;
  int exponent = 0;
  bool anyDigit = false;
  bool seenNonZero = false;
  // Whole part, with thousands separators after the first digit.
  while (i < s.size()) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      anyDigit = true;
      if (c != '0' || seenNonZero) {
        seenNonZero = true;
        digits.push_back(c);
        ++exponent;
      }
    } else if (c == ',' && anyDigit) {
      // thousands separator
    } else {
      break;
    }
    ++i;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      anyDigit = true;
      if (s[i] != '0' || seenNonZero) {
        seenNonZero = true;
        digits.push_back(s[i]);
      } else {
        --exponent;  // leading zero after the point
      }
      ++i;
    }
  }
  if (!anyDigit) return NumStatus::notNumber;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
      expNegative = s[i] == '-';
      ++i;
    }
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return NumStatus::notNumber;
    long e = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (e < 100000) e = e * 10 + (s[i] - '0');
      ++i;
    }
    exponent += static_cast<int>(expNegative ? -e : e);
  }
  // Trailing sign, with blanks before it.
  while (i < s.size() && isWhiteSpace(s[i])) ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (signs > 0) return NumStatus::notNumber;
    negative = s[i] == '-';
    ++signs;
    ++i;
    while (i < s.size() && isWhiteSpace(s[i])) ++i;
  }
  if (i != s.size()) return NumStatus::notNumber;
  if (parens) {
    if (signs > 0) return NumStatus::notNumber;
    negative = true;
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  out.negative = negative;
  out.digits = std::move(digits);
  out.exponent = out.digits.empty() ? 0 : exponent;
  return NumStatus::ok;
}

int32_t radixAsLong(const NumText& n) noexcept { return static_cast<int32_t>(n.radixValue); }

NumStatus numTextToDouble(const NumText& n, double& out) {
  if (n.radix) {
    out = radixAsLong(n);
    return NumStatus::ok;
  }
  if (n.digits.empty()) {
    out = 0;
    return NumStatus::ok;
  }
  if (n.exponent > 400) return NumStatus::overflow;
  if (n.exponent < -400) {
    out = 0;
    return NumStatus::ok;
  }
  std::string t = n.digits;
  t += 'e';
  t += std::to_string(n.exponent - static_cast<int>(n.digits.size()));
  double v = 0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // Either too large, or so small it is zero.
    if (n.exponent > 0) return NumStatus::overflow;
    v = 0;
  } else if (res.ec != std::errc()) {
    return NumStatus::notNumber;
  }
  if (std::isinf(v)) return NumStatus::overflow;
  out = n.negative ? -v : v;
  return NumStatus::ok;
}

// The text's value × 10,000 rounded half to even, computed on the decimal
// digits so the whole Currency range converts exactly.
NumStatus numTextToCurrency(const NumText& n, int64_t& out) {
  if (n.radix) {
    out = static_cast<int64_t>(radixAsLong(n)) * 10000;
    return NumStatus::ok;
  }
  if (n.digits.empty()) {
    out = 0;
    return NumStatus::ok;
  }
  int scaledExp = n.exponent + 4;  // digits before the point after scaling
  if (scaledExp > 20) return NumStatus::overflow;
  unsigned __int128 whole = 0;
  int count = static_cast<int>(n.digits.size());
  for (int k = 0; k < scaledExp; ++k)
    whole = whole * 10 + (k < count ? static_cast<unsigned>(n.digits[k] - '0') : 0u);
  // Rounding on the dropped digits.
  if (scaledExp >= 0 && scaledExp < count) {
    int first = n.digits[scaledExp] - '0';
    bool restNonZero = false;
    for (int k = scaledExp + 1; k < count; ++k)
      if (n.digits[k] != '0') restNonZero = true;
    if (first > 5 || (first == 5 && (restNonZero || (whole & 1)))) ++whole;
  }
  if (scaledExp < 0) whole = 0;  // below 0.00005: rounds to zero
  unsigned __int128 limit =
      n.negative ? (static_cast<unsigned __int128>(1) << 63) : (static_cast<unsigned __int128>(1) << 63) - 1;
  if (whole > limit) return NumStatus::overflow;
  out = n.negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(whole)) : static_cast<int64_t>(whole);
  return NumStatus::ok;
}

[[noreturn]] void raiseFor(NumStatus st) {
  raise(st == NumStatus::overflow ? kErrOverflow : kErrTypeMismatch);
}

double stringToDouble(std::string_view s) {
  NumText n;
  NumStatus st = scanNumber(s, n);
  if (st != NumStatus::ok) raiseFor(st);
  double v = 0;
  st = numTextToDouble(n, v);
  if (st != NumStatus::ok) raiseFor(st);
  return v;
}

bool boolWord(std::string_view s, bool& out) {
  if (equalsNoCase(s, "true") || equalsNoCase(s, "#true#")) {
    out = true;
    return true;
  }
  if (equalsNoCase(s, "false") || equalsNoCase(s, "#false#")) {
    out = false;
    return true;
  }
  return false;
}

// Whole number with banker's rounding, checked against [lo, hi].
int64_t roundedInRange(double v, double lo, double hi) {
  double r = roundHalfEven(v);
  if (!(r >= lo && r <= hi)) raise(kErrOverflow);
  return static_cast<int64_t>(r);
}

// Currency (scaled) to a whole number, halves to even.
int64_t currencyToWhole(int64_t scaled) noexcept {
  int64_t q = scaled / 10000;
  int64_t r = scaled % 10000;
  if (r > 5000 || (r == 5000 && (q & 1))) ++q;
  if (r < -5000 || (r == -5000 && (q & 1))) --q;
  return q;
}

// The value as a whole number in [lo, hi] with the rounding of CInt/CLng/CByte.
int64_t toWhole(const Variant& v, int64_t lo, int64_t hi, int radixBits16) {
  int64_t r = 0;
  switch (v.type()) {
    case vtEmpty:
      return 0;
    case vtNull:
      raise(kErrInvalidNull);
    case vtBoolean:
      // True is all bits set: -1, or 255 as a Byte.
      r = v.rawBool() ? (lo == 0 ? hi : -1) : 0;
      break;
    case vtByte:
      r = v.rawByte();
      break;
    case vtInteger:
      r = v.rawInteger();
      break;
    case vtLong:
      r = v.rawLong();
      break;
    case vtSingle:
      r = roundedInRange(v.rawSingle(), static_cast<double>(lo), static_cast<double>(hi));
      break;
    case vtDouble:
    case vtDate:
      r = roundedInRange(v.rawDouble(), static_cast<double>(lo), static_cast<double>(hi));
      break;
    case vtCurrency:
      r = currencyToWhole(v.rawCurrency());
      break;
    case vtString: {
      NumText n;
      NumStatus st = scanNumber(v.rawString(), n);
      if (st != NumStatus::ok) raiseFor(st);
      if (n.radix) {
        // Hexadecimal and octal text that fits the target's bits is read as
        // that type's two's complement ("&HFFFF" is -1 as an Integer).
        if (radixBits16 && n.radixValue <= 0xFFFF) {
          r = static_cast<int16_t>(n.radixValue);
        } else {
          r = static_cast<int32_t>(n.radixValue);
        }
        break;
      }
      double d = 0;
      st = numTextToDouble(n, d);
      if (st != NumStatus::ok) raiseFor(st);
      r = roundedInRange(d, static_cast<double>(lo), static_cast<double>(hi));
      break;
    }
    case vtObject:
      return toWhole(v.valueOf(), lo, hi, radixBits16);
    default:
      raise(kErrTypeMismatch);
  }
  if (r < lo || r > hi) raise(kErrOverflow);
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------

double roundHalfEven(double v) noexcept {
  double r = std::floor(v);
  double d = v - r;
  if (d > 0.5) return r + 1;
  if (d < 0.5) return r;
  return std::fmod(r, 2.0) == 0 ? r : r + 1;
}

bool parseNumber(std::string_view text, double& out) {
  NumText n;
  if (scanNumber(text, n) != NumStatus::ok) return false;
  double v = 0;
  if (numTextToDouble(n, v) != NumStatus::ok) return false;
  out = v;
  return true;
}

std::string Variant::toString() const {
  switch (type_) {
    case vtEmpty:
      return std::string();
    case vtNull:
      raise(kErrInvalidNull);
    case vtBoolean:
      return b_ ? "True" : "False";
    case vtByte:
      return std::to_string(u1_);
    case vtInteger:
      return std::to_string(i2_);
    case vtLong:
      return std::to_string(i4_);
    case vtSingle:
      return formatSingle(r4_);
    case vtDouble:
      return formatDouble(r8_);
    case vtCurrency:
      return formatCurrency(i64_);
    case vtDate:
      return formatDate(r8_);
    case vtString:
      return str_->text;
    case vtObject:
      return valueOf().toString();
    default:
      raise(kErrTypeMismatch);
  }
}

bool Variant::toBool() const {
  switch (type_) {
    case vtEmpty:
      return false;
    case vtNull:
      raise(kErrInvalidNull);
    case vtBoolean:
      return b_;
    case vtByte:
      return u1_ != 0;
    case vtInteger:
      return i2_ != 0;
    case vtLong:
      return i4_ != 0;
    case vtSingle:
      return r4_ != 0;
    case vtDouble:
    case vtDate:
      return r8_ != 0;
    case vtCurrency:
      return i64_ != 0;
    case vtString: {
      bool b;
      if (boolWord(str_->text, b)) return b;
      return stringToDouble(str_->text) != 0;
    }
    case vtObject:
      return valueOf().toBool();
    default:
      raise(kErrTypeMismatch);
  }
}

uint8_t Variant::toByte() const { return static_cast<uint8_t>(toWhole(*this, 0, 255, 0)); }

int16_t Variant::toInteger() const { return static_cast<int16_t>(toWhole(*this, -32768, 32767, 1)); }

int32_t Variant::toLong() const {
  return static_cast<int32_t>(
      toWhole(*this, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 0));
}

float Variant::toSingle() const {
  double d = type_ == vtSingle ? r4_ : toDouble();
  if (std::fabs(d) > std::numeric_limits<float>::max()) raise(kErrOverflow);
  return static_cast<float>(d);
}

double Variant::toDouble() const {
  switch (type_) {
    case vtEmpty:
      return 0;
    case vtNull:
      raise(kErrInvalidNull);
    case vtBoolean:
      return b_ ? -1 : 0;
    case vtByte:
      return u1_;
    case vtInteger:
      return i2_;
    case vtLong:
      return i4_;
    case vtSingle:
      return r4_;
    case vtDouble:
    case vtDate:
      return r8_;
    case vtCurrency:
      return static_cast<double>(i64_) / 10000.0;
    case vtString: {
      NumText n;
      NumStatus st = scanNumber(str_->text, n);
      if (st != NumStatus::ok) raiseFor(st);
      double v = 0;
      st = numTextToDouble(n, v);
      if (st != NumStatus::ok) raiseFor(st);
      return v;
    }
    case vtObject:
      return valueOf().toDouble();
    default:
      raise(kErrTypeMismatch);
  }
}

int64_t Variant::toCurrency() const {
  // Whole part and fraction apart: d * 10000 would lose the last digits of
  // large amounts (922337203685477).
  auto fromDouble = [](double d) -> int64_t {
    if (!(d > -922337203685477.5808 && d < 922337203685477.5808)) raise(kErrOverflow);
    double whole = std::trunc(d);
    double fraction = roundHalfEven((d - whole) * 10000.0);
    int64_t r = static_cast<int64_t>(whole) * 10000 + static_cast<int64_t>(fraction);
    return r;
  };
  switch (type_) {
    case vtEmpty:
      return 0;
    case vtNull:
      raise(kErrInvalidNull);
    case vtBoolean:
      return b_ ? -10000 : 0;
    case vtByte:
      return static_cast<int64_t>(u1_) * 10000;
    case vtInteger:
      return static_cast<int64_t>(i2_) * 10000;
    case vtLong:
      return static_cast<int64_t>(i4_) * 10000;
    case vtSingle:
      return fromDouble(r4_);
    case vtDouble:
    case vtDate:
      return fromDouble(r8_);
    case vtCurrency:
      return i64_;
    case vtString: {
      NumText n;
      NumStatus st = scanNumber(str_->text, n);
      if (st != NumStatus::ok) raiseFor(st);
      int64_t v = 0;
      st = numTextToCurrency(n, v);
      if (st != NumStatus::ok) raiseFor(st);
      return v;
    }
    case vtObject:
      return valueOf().toCurrency();
    default:
      raise(kErrTypeMismatch);
  }
}

double Variant::toDate() const {
  auto checked = [](double d) {
    if (!(d > kMinDateSerial - 1.0 && d <= kMaxDateSerial)) raise(kErrOverflow);
    return d;
  };
  switch (type_) {
    case vtEmpty:
      return 0;
    case vtNull:
      raise(kErrInvalidNull);
    case vtBoolean:
      return b_ ? -1 : 0;
    case vtByte:
      return u1_;
    case vtInteger:
      return i2_;
    case vtLong:
      return checked(i4_);
    case vtSingle:
      return checked(r4_);
    case vtDouble:
      return checked(r8_);
    case vtDate:
      return r8_;
    case vtCurrency:
      return checked(static_cast<double>(i64_) / 10000.0);
    case vtString: {
      double serial = 0;
      if (parseDate(str_->text, serial)) return serial;
      // Numeric text is a serial number.
      NumText n;
      NumStatus st = scanNumber(str_->text, n);
      if (st != NumStatus::ok) raiseFor(st);
      double v = 0;
      st = numTextToDouble(n, v);
      if (st != NumStatus::ok) raiseFor(st);
      return checked(v);
    }
    case vtObject:
      return valueOf().toDate();
    default:
      raise(kErrTypeMismatch);
  }
}

Variant Variant::convertTo(VarType t) const {
  if (type_ == vtObject && t != vtObject && t != vtVariant) return valueOf().convertTo(t);
  switch (t) {
    case vtEmpty:
      return Variant();
    case vtNull:
      return Variant::null();
    case vtInteger:
      return Variant::integer(toInteger());
    case vtLong:
      return Variant::long_(toLong());
    case vtSingle:
      return Variant::single(toSingle());
    case vtDouble:
      return Variant(toDouble());
    case vtCurrency:
      return Variant::currency(toCurrency());
    case vtDate:
      return Variant::date(toDate());
    case vtString:
      return type_ == vtString ? *this : Variant(toString());
    case vtBoolean:
      return Variant(toBool());
    case vtByte:
      return Variant::byte(toByte());
    case vtObject:
      if (type_ != vtObject) raise(kErrObjectRequired);
      return *this;
    case vtVariant:
      return *this;
    default:
      raise(kErrTypeMismatch);
  }
}

}  // namespace tw
