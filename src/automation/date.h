#pragma once
// OLE dates: a double counting days since 30 December 1899; the fraction is
// the time of day (for negative serials the fraction still counts forward).
#include <cstdint>

namespace tw {

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// Valid serials cover years 100 to 9999.
constexpr double kMinDateSerial = -657434.0;         // 1 January 100
constexpr double kMaxDateSerial = 2958465.99999999;  // 31 December 9999 23:59:59

// Splits a serial, rounding to the nearest second. False outside the range.
bool dateToParts(double serial, DateParts& out) noexcept;
// DateSerial + TimeSerial: months, days, hours... outside their range carry
// over as VBScript does (month 13 is January of the next year). Years 0–29 are
// 2000–2029 and 30–99 are 1930–1999. False when the result is out of range.
bool partsToDate(const DateParts& parts, double& serial) noexcept;
// Day of the week, 1 = Sunday.
int weekdayOf(double serial) noexcept;
// The current local date and time.
double nowDate() noexcept;

}  // namespace tw
