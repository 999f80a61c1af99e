#include "vbs/lib/common.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "automation/date.h"
#include "automation/dispatch.h"

namespace tw::vbs::lib {

ArgText::ArgText(const Variant& v) {
  const Variant* p = &v;
  if (v.isObject()) {
    held_ = v.valueOf();
    p = &held_;
  }
  if (p->isString()) {
    source_ = p;
    view_ = p->rawString();
  } else if (p->isNull()) {
    null_ = true;
  } else {
    own_ = p->toString();
    view_ = own_;
  }
}

Variant ArgText::whole() const {
  if (null_) return Variant::null();
  if (source_) return *source_;
  return Variant(view_);
}

int32_t longArg(const Variant& v) {
  if (v.isNull()) raise(kErrInvalidNull);
  return v.toLong();
}

int32_t longArg(Args args, size_t i, int32_t fallback) {
  if (!given(args, i)) return fallback;
  return longArg(args[i]);
}

bool boolArg(Args args, size_t i, bool fallback) {
  if (!given(args, i)) return fallback;
  if (args[i].isNull()) raise(kErrInvalidNull);
  return args[i].toBool();
}

int32_t compareArg(Args args, size_t i) {
  int32_t mode = longArg(args, i, 0);
  if (mode != 0 && mode != 1) raise(kErrInvalidCall);
  return mode;
}

Variant applyArgs(Variant result, Args args) {
  if (args.empty()) return result;
  if (result.isObject()) {
    Dispatch* obj = result.toObject();
    if (!obj) raise(kErrObjectNotSet);
    Ref<Dispatch> keep(obj);
    return keep->invoke(kDispIdValue, kInvokeGet | kInvokeMethod, args);
  }
  if (result.isArray()) {
    std::vector<int32_t> indexes;
    for (const Variant& a : args) indexes.push_back(longArg(a));
    return result.rawArray()->at(indexes);
  }
  raise(kErrWrongArgCount);
}

// ---- Characters

size_t cpCount(std::string_view s) noexcept {
  // Every byte but the continuation bytes (10xxxxxx) starts a character;
  // eight bytes at a time.
  const char* p = s.data();
  size_t n = s.size(), i = 0, continuations = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    uint64_t high = w & 0x8080808080808080ull;
    if (high == 0) continue;
    continuations += static_cast<size_t>(std::popcount(high & (~w << 1)));
  }
  for (; i < n; ++i) continuations += (static_cast<unsigned char>(p[i]) & 0xC0) == 0x80;
  return n - continuations;
}

size_t cpAdvance(std::string_view s, size_t pos, size_t n) noexcept {
  const char* p = s.data();
  const size_t size = s.size();
  while (n > 0 && pos < size) {
    if (n >= 32 && pos + 32 <= size) {
      uint64_t w[4];
      std::memcpy(w, p + pos, 32);
      if (((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ull) == 0) {
        pos += 32;
        n -= 32;
        continue;
      }
    }
    if (n >= 8 && pos + 8 <= size) {
      uint64_t w;
      std::memcpy(&w, p + pos, 8);
      if ((w & 0x8080808080808080ull) == 0) {
        pos += 8;
        n -= 8;
        continue;
      }
    }
    ++pos;
    while (pos < size && (static_cast<unsigned char>(p[pos]) & 0xC0) == 0x80) ++pos;
    --n;
  }
  return pos;
}

namespace {
size_t utf8Length(char32_t c) noexcept { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }
}  // namespace

std::string foldCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c);
      ++i;
      continue;
    }
    size_t start = i;
    char32_t cp = decodeUtf8(s, i);
    char32_t low = lowerCodePoint(cp);
    if (i - start == utf8Length(cp) && utf8Length(low) == i - start && low != cp) {
      appendUtf8(out, low);
    } else {
      out.append(s.substr(start, i - start));
    }
  }
  return out;
}

std::u16string toUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t c = decodeUtf8(s, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string fromUtf16(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    appendUtf8(out, c);
  }
  return out;
}

namespace {
// Windows-1252 characters of codes 0x80..0x9F; 0 marks the five unassigned
// codes, which map to the C1 control of the same number.
constexpr char16_t kAnsiHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
}  // namespace

int ansiCode(char32_t c) noexcept {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i) {
    if (kAnsiHigh[i] == c) return 0x80 + i;
    if (kAnsiHigh[i] == 0 && c == static_cast<char32_t>(0x80 + i)) return 0x80 + i;
  }
  return '?';
}

char32_t ansiChar(uint8_t code) noexcept {
  if (code < 0x80 || code >= 0xA0) return code;
  char16_t c = kAnsiHigh[code - 0x80];
  return c ? c : code;
}

// ---- Calendar

int64_t daysFromCivil(int64_t y, int m, int d) noexcept {
  // Days since 1 January 1970 by the usual era arithmetic, then moved to the
  // OLE epoch (25569 days earlier).
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25569;
}

void civilFromDays(int64_t days, int& y, int& m, int& d) noexcept {
  int64_t z = days - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

int daysInMonth(int y, int m) noexcept {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}

double serialToLinear(double serial) noexcept {
  if (serial >= 0) return serial;
  double whole = std::ceil(serial);
  return whole + (whole - serial);
}

double linearToSerial(double linear) noexcept {
  if (linear >= 0) return linear;
  double whole = std::floor(linear);
  double frac = linear - whole;
  return frac == 0 ? whole : whole - frac;
}

int64_t serialToSeconds(double serial) noexcept { return std::llround(serialToLinear(serial) * 86400.0); }

double secondsToSerial(int64_t seconds) noexcept {
  int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t rest = seconds - days * 86400;
  return linearToSerial(static_cast<double>(days) + static_cast<double>(rest) / 86400.0);
}

void checkDateRange(double serial) {
  // On the line the valid dates run from the start of 1 January 100 to the
  // end of 31 December 9999.
  double linear = serialToLinear(serial);
  if (!(linear >= kMinDateSerial && linear < 2958466.0)) raise(kErrInvalidCall);
}

}  // namespace tw::vbs::lib
