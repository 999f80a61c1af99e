// OLE date serials: splitting them into parts and building them from parts.
#include "automation/date.h"

#include <cmath>
#include <cstdint>
#include <ctime>

namespace tw {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Day 0 of the serials (30 December 1899) counted from 1 January 1970.
constexpr int64_t kSerialEpochFromUnix = -25569;
constexpr int64_t kMinDay = -657434;  // 1 January 100
constexpr int64_t kMaxDay = 2958465;  // 31 December 9999

int64_t floorDiv(int64_t a, int64_t b) noexcept {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Days from 1 January 1970 to the given proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) noexcept {
  y -= m <= 2;
  const int64_t era = floorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day) noexcept {
  z += 719468;
  const int64_t era = floorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int>(yoe + era * 400 + (m <= 2));
  month = static_cast<int>(m);
  day = static_cast<int>(d);
}

// A moment counted in whole days and seconds into the day, as a serial: for
// days before the epoch the time still counts forward, so it is subtracted.
double encodeSerial(int64_t day, int64_t seconds) noexcept {
  double frac = static_cast<double>(seconds) / kSecondsPerDay;
  return day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
}

}  // namespace

bool dateToParts(double serial, DateParts& out) noexcept {
  if (!(serial > static_cast<double>(kMinDay) - 1.0 && serial < static_cast<double>(kMaxDay) + 1.0))
    return false;
  double whole = std::trunc(serial);
  double frac = std::fabs(serial - whole);
  int64_t day = static_cast<int64_t>(whole);
  int64_t seconds = static_cast<int64_t>(std::floor(frac * kSecondsPerDay + 0.5));
  if (seconds >= kSecondsPerDay) {
    if (day < kMaxDay) {
      ++day;
      seconds = 0;
    } else {
      seconds = kSecondsPerDay - 1;
    }
  }
  if (day < kMinDay) return false;
  civilFromDays(day + kSerialEpochFromUnix, out.year, out.month, out.day);
  out.hour = static_cast<int>(seconds / 3600);
  out.minute = static_cast<int>(seconds / 60 % 60);
  out.second = static_cast<int>(seconds % 60);
  return true;
}

bool partsToDate(const DateParts& p, double& serial) noexcept {
  int64_t year = p.year;
  if (year >= 0 && year <= 29) {
    year += 2000;
  } else if (year >= 30 && year <= 99) {
    year += 1900;
  }
  const int64_t months = year * 12 + (static_cast<int64_t>(p.month) - 1);
  const int64_t y = floorDiv(months, 12);
  const int64_t m = months - y * 12 + 1;
  // Far outside the range; also keeps the arithmetic below from overflowing.
  if (y < -100000 || y > 100000) return false;
  const int64_t firstOfMonth = daysFromCivil(y, m, 1) - kSerialEpochFromUnix;
  const int64_t seconds = (firstOfMonth + (static_cast<int64_t>(p.day) - 1)) * kSecondsPerDay +
                          static_cast<int64_t>(p.hour) * 3600 + static_cast<int64_t>(p.minute) * 60 +
                          p.second;
  const int64_t day = floorDiv(seconds, kSecondsPerDay);
  if (day < kMinDay || day > kMaxDay) return false;
  serial = encodeSerial(day, seconds - day * kSecondsPerDay);
  return true;
}

int weekdayOf(double serial) noexcept {
  int64_t day = static_cast<int64_t>(std::trunc(serial));
  // Day 0 was a Saturday.
  return static_cast<int>(((day % 7) + 13) % 7) + 1;
}

double nowDate() noexcept {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  DateParts p;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  p.hour = local.tm_hour;
  p.minute = local.tm_min;
  p.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  double serial = 0;
  partsToDate(p, serial);
  return serial;
}

}  // namespace tw
