// Date and time functions under the en-US calendar settings: Sunday starts
// the week, the week holding 1 January is the first of the year.
#include <cmath>

#include "automation/date.h"
#include "vbs/lib/common.h"
#include "vbs/lib/tables.h"

namespace tw::vbs::lib {

namespace {

constexpr std::string_view kMonthNames[12] = {"January",   "February", "March",    "April",
                                              "May",       "June",     "July",     "August",
                                              "September", "October",  "November", "December"};
constexpr std::string_view kDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};

// A date's parts, counted on the line of whole seconds.
struct Moment {
  int64_t day = 0;     // days since 30 December 1899
  int32_t second = 0;  // seconds into the day
  int year = 1899, month = 12, dayOfMonth = 30;
};

Moment momentOf(double serial) {
  int64_t seconds = serialToSeconds(serial);
  Moment m;
  m.day = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  m.second = static_cast<int32_t>(seconds - m.day * 86400);
  civilFromDays(m.day, m.year, m.month, m.dayOfMonth);
  return m;
}

double serialOf(int64_t day, int64_t second) { return secondsToSerial(day * 86400 + second); }

// The date argument of a function: Null is reported to the caller.
bool dateArg(const Variant& v, double& serial) {
  ArgValue value(v);
  if (value->isNull()) return false;
  serial = value->toDate();
  return true;
}

// Day of the week 1..7 counted from `firstDay` (1 = Sunday).
int weekdayFrom(int64_t day, int firstDay) {
  int sunday0 = static_cast<int>(((day % 7) + 7 + 6) % 7);  // 30 December 1899 was a Saturday
  return 1 + (sunday0 - (firstDay - 1) + 7) % 7;
}

// The firstdayofweek argument: 0 (system: Sunday) or 1..7.
int firstDayArg(Args a, size_t i) {
  int32_t d = longArg(a, i, 1);
  if (d < 0 || d > 7) raise(kErrInvalidCall);
  return d == 0 ? 1 : d;
}

// The firstweekofyear argument: 0 (system: the week of 1 January) or 1..3.
int firstWeekArg(Args a, size_t i) {
  int32_t w = longArg(a, i, 1);
  if (w < 0 || w > 3) raise(kErrInvalidCall);
  return w == 0 ? 1 : w;
}

// ---- Now, Date, Time, Timer and the parts of a date

Variant fnNow(RuntimeState&, Args) { return Variant::date(secondsToSerial(serialToSeconds(nowDate()))); }

Variant fnDate(RuntimeState&, Args) { return Variant::date(std::floor(nowDate())); }

Variant fnTime(RuntimeState&, Args) {
  Moment m = momentOf(nowDate());
  return Variant::date(serialOf(0, m.second));
}

Variant fnTimer(RuntimeState&, Args) {
  return Variant::single(static_cast<float>(std::floor(timerSeconds() * 100.0) / 100.0));
}

template <int Part>
Variant datePartOf(RuntimeState&, Args a) {
  double serial;
  if (!dateArg(a[0], serial)) return Variant::null();
  Moment m = momentOf(serial);
  int value = 0;
  switch (Part) {
    case 0:
      value = m.year;
      break;
    case 1:
      value = m.month;
      break;
    case 2:
      value = m.dayOfMonth;
      break;
    case 3:
      value = m.second / 3600;
      break;
    case 4:
      value = m.second / 60 % 60;
      break;
    case 5:
      value = m.second % 60;
      break;
  }
  return Variant::integer(static_cast<int16_t>(value));
}

Variant fnWeekday(RuntimeState&, Args a) {
  if (given(a, 1) && a[1].isNull()) raise(kErrInvalidNull);
  int firstDay = firstDayArg(a, 1);
  double serial;
  if (!dateArg(a[0], serial)) return Variant::null();
  return Variant::integer(static_cast<int16_t>(weekdayFrom(momentOf(serial).day, firstDay)));
}

// ---- Intervals

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval intervalArg(const Variant& v) {
  if (v.isNull()) raise(kErrInvalidNull);
  ArgText t(v);
  std::string name = toLower(t.require());
  if (name == "yyyy") return Interval::Year;
  if (name == "q") return Interval::Quarter;
  if (name == "m") return Interval::Month;
  if (name == "y") return Interval::DayOfYear;
  if (name == "d") return Interval::Day;
  if (name == "w") return Interval::Weekday;
  if (name == "ww") return Interval::Week;
  if (name == "h") return Interval::Hour;
  if (name == "n") return Interval::Minute;
  if (name == "s") return Interval::Second;
  raise(kErrInvalidCall);
}

Variant fnDateAdd(RuntimeState&, Args a) {
  Interval interval = intervalArg(a[0]);
  if (a[1].isNull()) raise(kErrInvalidNull);
  double number = std::trunc(a[1].toDouble());
  double serial;
  if (!dateArg(a[2], serial)) return Variant::null();
  if (std::fabs(number) > 1e10) raise(kErrInvalidCall);
  int64_t n = static_cast<int64_t>(number);
  Moment m = momentOf(serial);
  double result = 0;
  switch (interval) {
    case Interval::Year:
    case Interval::Quarter:
    case Interval::Month: {
      int64_t months = interval == Interval::Year ? n * 12 : interval == Interval::Quarter ? n * 3 : n;
      int64_t index = static_cast<int64_t>(m.year) * 12 + (m.month - 1) + months;
      int64_t year = index >= 0 ? index / 12 : -((-index + 11) / 12);
      int month = static_cast<int>(index - year * 12) + 1;
      if (year < 100 || year > 9999) raise(kErrInvalidCall);
      int day = std::min(m.dayOfMonth, daysInMonth(static_cast<int>(year), month));
      result = serialOf(daysFromCivil(year, month, day), m.second);
      break;
    }
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday:
      result = serialOf(m.day + n, m.second);
      break;
    case Interval::Week:
      result = serialOf(m.day + 7 * n, m.second);
      break;
    case Interval::Hour:
      result = serialOf(m.day, m.second + 3600 * n);
      break;
    case Interval::Minute:
      result = serialOf(m.day, m.second + 60 * n);
      break;
    case Interval::Second:
      result = serialOf(m.day, m.second + n);
      break;
  }
  checkDateRange(result);
  return Variant::date(result);
}

int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The first day of the week that holds `day`.
int64_t weekStart(int64_t day, int firstDay) { return day - (weekdayFrom(day, firstDay) - 1); }

Variant fnDateDiff(RuntimeState&, Args a) {
  Interval interval = intervalArg(a[0]);
  int firstDay = firstDayArg(a, 3);
  firstWeekArg(a, 4);
  double s1, s2;
  if (!dateArg(a[1], s1) || !dateArg(a[2], s2)) return Variant::null();
  Moment m1 = momentOf(s1), m2 = momentOf(s2);
  int64_t t1 = m1.day * 86400 + m1.second, t2 = m2.day * 86400 + m2.second;
  int64_t diff = 0;
  switch (interval) {
    case Interval::Year:
      diff = m2.year - m1.year;
      break;
    case Interval::Quarter:
      diff = (m2.year * 4 + (m2.month - 1) / 3) - (m1.year * 4 + (m1.month - 1) / 3);
      break;
    case Interval::Month:
      diff = (m2.year * 12 + m2.month) - (m1.year * 12 + m1.month);
      break;
    case Interval::DayOfYear:
    case Interval::Day:
      diff = m2.day - m1.day;
      break;
    case Interval::Weekday:
      diff = (m2.day - m1.day) / 7;
      break;
    case Interval::Week:
      diff = (weekStart(m2.day, firstDay) - weekStart(m1.day, firstDay)) / 7;
      break;
    case Interval::Hour:
      diff = floorDiv(t2, 3600) - floorDiv(t1, 3600);
      break;
    case Interval::Minute:
      diff = floorDiv(t2, 60) - floorDiv(t1, 60);
      break;
    case Interval::Second:
      diff = t2 - t1;
      break;
  }
  return Variant::long_(static_cast<int32_t>(diff));
}

// The week of the year (1..53) by the firstweekofyear rule.
int weekOfYear(int64_t day, int year, int firstDay, int firstWeek) {
  auto week1Start = [&](int y) -> int64_t {
    int64_t jan1 = daysFromCivil(y, 1, 1);
    switch (firstWeek) {
      case 2:
        return weekStart(jan1 + 3, firstDay);  // the week holding 4 January
      case 3: {                                // the first full week
        int64_t start = weekStart(jan1, firstDay);
        return start == jan1 ? start : start + 7;
      }
      default:
        return weekStart(jan1, firstDay);
    }
  };
  int64_t start = week1Start(year);
  if (day < start) {
    start = week1Start(year - 1);
  } else if (firstWeek != 1 && day >= week1Start(year + 1)) {
    return 1;
  }
  return static_cast<int>((day - start) / 7 + 1);
}

Variant fnDatePart(RuntimeState&, Args a) {
  Interval interval = intervalArg(a[0]);
  int firstDay = firstDayArg(a, 2);
  int firstWeek = firstWeekArg(a, 3);
  double serial;
  if (!dateArg(a[1], serial)) return Variant::null();
  Moment m = momentOf(serial);
  int value = 0;
  switch (interval) {
    case Interval::Year:
      value = m.year;
      break;
    case Interval::Quarter:
      value = (m.month - 1) / 3 + 1;
      break;
    case Interval::Month:
      value = m.month;
      break;
    case Interval::DayOfYear:
      value = static_cast<int>(m.day - daysFromCivil(m.year, 1, 1) + 1);
      break;
    case Interval::Day:
      value = m.dayOfMonth;
      break;
    case Interval::Weekday:
      value = weekdayFrom(m.day, firstDay);
      break;
    case Interval::Week:
      value = weekOfYear(m.day, m.year, firstDay, firstWeek);
      break;
    case Interval::Hour:
      value = m.second / 3600;
      break;
    case Interval::Minute:
      value = m.second / 60 % 60;
      break;
    case Interval::Second:
      value = m.second % 60;
      break;
  }
  return Variant::integer(static_cast<int16_t>(value));
}

// ---- Building and taking apart dates

Variant fnDateSerial(RuntimeState&, Args a) {
  for (size_t i = 0; i < 3; ++i)
    if (a[i].isNull()) raise(kErrInvalidNull);
  DateParts parts;
  parts.year = a[0].toLong();
  parts.month = a[1].toLong();
  parts.day = a[2].toLong();
  double serial;
  if (!partsToDate(parts, serial)) raise(kErrInvalidCall);
  return Variant::date(serial);
}

Variant fnTimeSerial(RuntimeState&, Args a) {
  for (size_t i = 0; i < 3; ++i)
    if (a[i].isNull()) raise(kErrInvalidNull);
  int64_t seconds = int64_t{a[0].toLong()} * 3600 + int64_t{a[1].toLong()} * 60 + a[2].toLong();
  double serial = secondsToSerial(seconds);
  checkDateRange(serial);
  return Variant::date(serial);
}

Variant fnDateValue(RuntimeState&, Args a) {
  double serial;
  if (!dateArg(a[0], serial)) return Variant::null();
  return Variant::date(static_cast<double>(momentOf(serial).day));
}

Variant fnTimeValue(RuntimeState&, Args a) {
  double serial;
  if (!dateArg(a[0], serial)) return Variant::null();
  return Variant::date(serialOf(0, momentOf(serial).second));
}

Variant fnMonthName(RuntimeState&, Args a) {
  if (a[0].isNull() || (given(a, 1) && a[1].isNull())) raise(kErrInvalidNull);
  int32_t month = a[0].toLong();
  bool abbreviate = boolArg(a, 1, false);
  if (month < 1 || month > 12) raise(kErrInvalidCall);
  std::string_view name = kMonthNames[month - 1];
  return Variant(abbreviate ? name.substr(0, 3) : name);
}

Variant fnWeekdayName(RuntimeState&, Args a) {
  if (a[0].isNull()) raise(kErrInvalidNull);
  int32_t weekday = a[0].toLong();
  bool abbreviate = boolArg(a, 1, false);
  int firstDay = firstDayArg(a, 2);
  if (weekday < 1 || weekday > 7) raise(kErrInvalidCall);
  std::string_view name = kDayNames[(weekday - 1 + firstDay - 1) % 7];
  return Variant(abbreviate ? name.substr(0, 3) : name);
}

// ---- FormatDateTime

std::string twoDigits(int v) {
  std::string s(2, '0');
  s[0] = static_cast<char>('0' + v / 10);
  s[1] = static_cast<char>('0' + v % 10);
  return s;
}

std::string longTime(int32_t second) {
  int hour = second / 3600, minute = second / 60 % 60, sec = second % 60;
  int h12 = hour % 12 == 0 ? 12 : hour % 12;
  return std::to_string(h12) + ":" + twoDigits(minute) + ":" + twoDigits(sec) + (hour < 12 ? " AM" : " PM");
}

Variant fnFormatDateTime(RuntimeState&, Args a) {
  if (given(a, 1) && a[1].isNull()) raise(kErrInvalidNull);
  int32_t format = longArg(a, 1, 0);
  ArgValue v(a[0]);
  if (v->isNull()) raise(kErrTypeMismatch);
  double serial = v->toDate();
  Moment m = momentOf(serial);
  switch (format) {
    case 0:
      return Variant(formatDate(serial));
    case 1:
      return Variant(std::string(kDayNames[weekdayFrom(m.day, 1) - 1]) + ", " +
                     std::string(kMonthNames[m.month - 1]) + " " + std::to_string(m.dayOfMonth) + ", " +
                     std::to_string(m.year));
    case 2:
      return Variant(std::to_string(m.month) + "/" + std::to_string(m.dayOfMonth) + "/" +
                     std::to_string(m.year));
    case 3:
      return Variant(longTime(m.second));
    case 4:
      return Variant(twoDigits(m.second / 3600) + ":" + twoDigits(m.second / 60 % 60));
    default:
      raise(kErrInvalidCall);
  }
}

constexpr BuiltinFunction kFunctions[] = {
    {"Date", 0, 0, fnDate},
    {"DateAdd", 3, 3, fnDateAdd},
    {"DateDiff", 3, 5, fnDateDiff},
    {"DatePart", 2, 4, fnDatePart},
    {"DateSerial", 3, 3, fnDateSerial},
    {"DateValue", 1, 1, fnDateValue},
    {"Day", 1, 1, datePartOf<2>},
    {"FormatDateTime", 1, 2, fnFormatDateTime},
    {"Hour", 1, 1, datePartOf<3>},
    {"Minute", 1, 1, datePartOf<4>},
    {"Month", 1, 1, datePartOf<1>},
    {"MonthName", 1, 2, fnMonthName},
    {"Now", 0, 0, fnNow},
    {"Second", 1, 1, datePartOf<5>},
    {"Time", 0, 0, fnTime},
    {"Timer", 0, 0, fnTimer},
    {"TimeSerial", 3, 3, fnTimeSerial},
    {"TimeValue", 1, 1, fnTimeValue},
    {"Weekday", 1, 2, fnWeekday},
    {"WeekdayName", 1, 3, fnWeekdayName},
    {"Year", 1, 1, datePartOf<0>},
};

}  // namespace

std::span<const BuiltinFunction> dateFunctions() { return kFunctions; }

}  // namespace tw::vbs::lib
