// Date and time functions. Dates are given as serials (days since 30 December
// 1899): 1 January 2011 is 40544.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "automation/error.h"
#include "vbs/builtins.h"

using namespace tw;
using namespace tw::vbs;

namespace {

Variant call(std::string_view name, std::vector<Variant> args = {}) {
  static RuntimeState state;
  const BuiltinFunction* f = findBuiltin(name);
  if (!f) throw std::runtime_error("no built-in " + std::string(name));
  return f->fn(state, args);
}

int32_t errorOf(std::string_view name, std::vector<Variant> args) {
  try {
    call(name, std::move(args));
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

Variant day(double serial) { return Variant::date(serial); }
Variant at(double serial, int h, int m, int s = 0) {
  return Variant::date(serial + (h * 3600 + m * 60 + s) / 86400.0);
}

int16_t integer(const Variant& v) {
  EXPECT_EQ(v.type(), vtInteger);
  return v.rawInteger();
}

int32_t lng(const Variant& v) {
  EXPECT_EQ(v.type(), vtLong);
  return v.rawLong();
}

double date(const Variant& v) {
  EXPECT_EQ(v.type(), vtDate);
  return v.rawDate();
}

std::string str(const Variant& v) {
  EXPECT_EQ(v.type(), vtString);
  return std::string(v.rawString());
}

const Variant kNull = Variant::null();
constexpr double kJan1st2011 = 40544;  // a Saturday
constexpr double kJan2nd2011 = 40545;  // a Sunday

TEST(LibDates, PartsOfADate) {
  EXPECT_EQ(integer(call("Year", {2})), 1900);
  EXPECT_EQ(integer(call("Month", {2})), 1);
  EXPECT_EQ(integer(call("Day", {2})), 1);
  EXPECT_EQ(integer(call("Hour", {2.75})), 18);
  EXPECT_EQ(integer(call("Minute", {2.02083})), 30);
  EXPECT_EQ(integer(call("Second", {at(0, 0, 0, 59)})), 59);
  EXPECT_EQ(integer(call("Day", {"October 19, 1962"})), 19);
  EXPECT_EQ(integer(call("Year", {day(22938)})), 1962);
  EXPECT_EQ(integer(call("Month", {day(22938)})), 10);
  EXPECT_TRUE(call("Year", {kNull}).isNull());
  EXPECT_TRUE(call("Hour", {kNull}).isNull());
  // Before 1900 the fraction still counts forward: -1.25 is 29 December 1899, 6 AM.
  EXPECT_EQ(integer(call("Day", {Variant::date(-1.25)})), 29);
  EXPECT_EQ(integer(call("Hour", {Variant::date(-1.25)})), 6);
}

TEST(LibDates, Weekday) {
  EXPECT_EQ(integer(call("Weekday", {day(kJan2nd2011)})), 1);
  EXPECT_EQ(integer(call("Weekday", {day(22938)})), 6);  // 19 October 1962, a Friday
  EXPECT_EQ(integer(call("Weekday", {day(36526), 1})), 7);
  EXPECT_EQ(integer(call("Weekday", {day(36526), 2})), 6);
  EXPECT_EQ(integer(call("Weekday", {day(36526), 7})), 1);
  EXPECT_EQ(integer(call("Weekday", {day(36526), 0})), 7);
  EXPECT_TRUE(call("Weekday", {kNull, 1}).isNull());
  EXPECT_EQ(errorOf("Weekday", {day(36526), 10}), 5);
  EXPECT_EQ(errorOf("Weekday", {kNull, -1}), 5);
  EXPECT_EQ(errorOf("Weekday", {day(36526), kNull}), 94);
  EXPECT_EQ(errorOf("Weekday", {day(36526), "a"}), 13);
}

TEST(LibDates, DateAddCalendarIntervals) {
  EXPECT_EQ(date(call("DateAdd", {"m", 1, day(40574)})), 40602);        // 31 January -> 28 February 2011
  EXPECT_EQ(date(call("DateAdd", {"m", 1, day(40574 + 365)})), 40968);  // 31 January 2012 -> 29 February
  EXPECT_EQ(date(call("DateAdd", {"yyyy", 1, day(40968)})), 41333);  // 29 February 2012 -> 28 February 2013
  EXPECT_EQ(date(call("DateAdd", {"yyyy", 1, day(36526)})), 36892);
  EXPECT_EQ(date(call("DateAdd", {"yYyy", 1, day(36526)})), 36892);
  EXPECT_EQ(date(call("DateAdd", {"q", 1, day(36526)})), 36617);
  EXPECT_EQ(date(call("DateAdd", {"M", -1, day(36526)})), 36495);
  EXPECT_EQ(date(call("DateAdd", {"y", 1, day(36525)})), 36526);
  EXPECT_EQ(date(call("DateAdd", {"d", -1, day(36526)})), 36525);
  EXPECT_EQ(date(call("DateAdd", {"w", 1, day(36525)})), 36526);
  EXPECT_EQ(date(call("DateAdd", {"ww", 1, day(36526)})), 36533);
  EXPECT_EQ(date(call("DateAdd", {"ww", -1, day(36526)})), 36519);
}

TEST(LibDates, DateAddTimeIntervals) {
  Variant r = call("DateAdd", {"h", 1, at(36526, 23, 30)});
  EXPECT_EQ(integer(call("Day", {r})), 2);
  EXPECT_EQ(integer(call("Hour", {r})), 0);
  EXPECT_EQ(integer(call("Minute", {r})), 30);
  Variant back = call("DateAdd", {"n", -90, at(36526, 0, 30)});
  EXPECT_EQ(integer(call("Day", {back})), 31);
  EXPECT_EQ(integer(call("Hour", {back})), 23);
  EXPECT_EQ(integer(call("Minute", {back})), 0);
  Variant s = call("DateAdd", {"s", 61, at(36526, 10, 0)});
  EXPECT_EQ(integer(call("Minute", {s})), 1);
  EXPECT_EQ(integer(call("Second", {s})), 1);
  // The time of day survives a month step.
  Variant m = call("DateAdd", {"m", 1, at(40574, 15, 4, 5)});
  EXPECT_EQ(integer(call("Day", {m})), 28);
  EXPECT_EQ(integer(call("Hour", {m})), 15);
}

TEST(LibDates, DateAddErrors) {
  EXPECT_EQ(errorOf("DateAdd", {"k", 1, day(36526)}), 5);
  EXPECT_EQ(errorOf("DateAdd", {kNull, 1, day(36526)}), 94);
  EXPECT_EQ(errorOf("DateAdd", {"q", kNull, day(36526)}), 94);
  EXPECT_TRUE(call("DateAdd", {"q", 1, kNull}).isNull());
  EXPECT_EQ(errorOf("DateAdd", {"yyyy", 9000, day(36526)}), 5);
}

TEST(LibDates, DateDiff) {
  EXPECT_EQ(lng(call("DateDiff", {"d", day(kJan1st2011), day(40603)})), 59);
  EXPECT_EQ(lng(call("DateDiff", {"d", day(40603), day(kJan1st2011)})), -59);
  EXPECT_EQ(lng(call("DateDiff", {"d", at(kJan1st2011, 23, 0), at(kJan2nd2011, 1, 0)})), 1);
  EXPECT_EQ(lng(call("DateDiff", {"yyyy", day(40543), day(kJan1st2011)})), 1);
  EXPECT_EQ(lng(call("DateDiff", {"m", day(40574), day(40603)})), 2);
  EXPECT_EQ(lng(call("DateDiff", {"q", day(40543), day(kJan1st2011)})), 1);
  EXPECT_EQ(lng(call("DateDiff", {"h", at(0, 10, 59), at(0, 11, 0)})), 1);
  EXPECT_EQ(lng(call("DateDiff", {"n", at(0, 10, 59, 59), at(0, 11, 0, 0)})), 1);
  EXPECT_EQ(lng(call("DateDiff", {"s", at(0, 10, 0), at(0, 11, 0)})), 3600);
  // "ww" counts the Sundays after the first date up to and including the second.
  EXPECT_EQ(lng(call("DateDiff", {"ww", day(kJan1st2011), day(kJan2nd2011)})), 1);
  EXPECT_EQ(lng(call("DateDiff", {"ww", day(kJan2nd2011), day(kJan2nd2011 + 6)})), 0);
  EXPECT_EQ(lng(call("DateDiff", {"ww", day(kJan1st2011), day(kJan2nd2011), 2})), 0);
  // "w" counts whole weeks.
  EXPECT_EQ(lng(call("DateDiff", {"w", day(kJan1st2011), day(kJan2nd2011)})), 0);
  EXPECT_EQ(lng(call("DateDiff", {"w", day(kJan1st2011), day(kJan1st2011 + 14)})), 2);
  EXPECT_TRUE(call("DateDiff", {"d", kNull, day(1)}).isNull());
  EXPECT_EQ(errorOf("DateDiff", {"x", day(1), day(2)}), 5);
}

TEST(LibDates, DatePart) {
  EXPECT_EQ(integer(call("DatePart", {"q", day(22938)})), 4);
  EXPECT_EQ(integer(call("DatePart", {"yyyy", day(22938)})), 1962);
  EXPECT_EQ(integer(call("DatePart", {"m", day(22938)})), 10);
  EXPECT_EQ(integer(call("DatePart", {"y", day(40603)})), 60);
  EXPECT_EQ(integer(call("DatePart", {"d", day(40603)})), 1);
  EXPECT_EQ(integer(call("DatePart", {"w", day(kJan2nd2011)})), 1);
  EXPECT_EQ(integer(call("DatePart", {"w", day(kJan2nd2011), 2})), 7);
  EXPECT_EQ(integer(call("DatePart", {"h", at(1, 13, 14, 15)})), 13);
  EXPECT_EQ(integer(call("DatePart", {"n", at(1, 13, 14, 15)})), 14);
  EXPECT_EQ(integer(call("DatePart", {"s", at(1, 13, 14, 15)})), 15);
}

TEST(LibDates, DatePartWeekOfYear) {
  // The week holding 1 January is the first; weeks start on Sunday.
  EXPECT_EQ(integer(call("DatePart", {"ww", day(kJan1st2011)})), 1);
  EXPECT_EQ(integer(call("DatePart", {"ww", day(kJan2nd2011)})), 2);
  // The first week with four days in the year (Monday weeks): 1 January 2011
  // is in the 52nd week of 2010, 3 January starts week 1.
  EXPECT_EQ(integer(call("DatePart", {"ww", day(kJan1st2011), 2, 2})), 52);
  EXPECT_EQ(integer(call("DatePart", {"ww", day(40546), 2, 2})), 1);
  // The first full week: Sunday 2 January 2011 starts week 1.
  EXPECT_EQ(integer(call("DatePart", {"ww", day(kJan2nd2011), 1, 3})), 1);
  EXPECT_EQ(integer(call("DatePart", {"ww", day(kJan1st2011), 1, 3})), 52);
  EXPECT_EQ(errorOf("DatePart", {"ww", day(1), 1, 4}), 5);
}

TEST(LibDates, DateSerialAndTimeSerial) {
  EXPECT_EQ(date(call("DateSerial", {1990 - 10, 8 - 2, 1 - 1})), 29372);  // 31 May 1980
  EXPECT_EQ(date(call("DateSerial", {2000, 14, 2})), 36924);
  EXPECT_EQ(date(call("DateSerial", {50, 2, 1})), 18295);
  EXPECT_EQ(date(call("DateSerial", {99, 2, 1})), 36192);
  EXPECT_EQ(date(call("DateSerial", {0, 2, 1})), 36557);
  EXPECT_EQ(errorOf("DateSerial", {10000, 1, 1}), 5);
  EXPECT_EQ(errorOf("DateSerial", {-10000, 1, 1}), 5);
  EXPECT_EQ(errorOf("DateSerial", {kNull, 1, 1}), 94);
  EXPECT_NEAR(date(call("TimeSerial", {12 - 6, -15, 0})), (5 * 60 + 45) / 1440.0, 1e-9);
  Variant t = call("TimeSerial", {24, 2, 1});
  EXPECT_EQ(integer(call("Day", {t})), 31);
  EXPECT_EQ(integer(call("Minute", {t})), 2);
  Variant u = call("TimeSerial", {10, 60, 2});
  EXPECT_EQ(integer(call("Hour", {u})), 11);
  EXPECT_EQ(integer(call("Second", {u})), 2);
  EXPECT_EQ(errorOf("TimeSerial", {10, kNull, 1}), 94);
}

TEST(LibDates, DateValueAndTimeValue) {
  EXPECT_EQ(date(call("DateValue", {at(kJan2nd2011, 15, 4)})), kJan2nd2011);
  EXPECT_EQ(date(call("DateValue", {"1/2/2011 3:04 PM"})), kJan2nd2011);
  EXPECT_NEAR(date(call("TimeValue", {"1/2/2011 3:04 PM"})), (15 * 60 + 4) / 1440.0, 1e-9);
  EXPECT_NEAR(date(call("TimeValue", {at(kJan2nd2011, 6, 0)})), 0.25, 1e-9);
  EXPECT_TRUE(call("DateValue", {kNull}).isNull());
  EXPECT_EQ(errorOf("DateValue", {"not a date"}), 13);
}

TEST(LibDates, Names) {
  EXPECT_EQ(str(call("MonthName", {10})), "October");
  EXPECT_EQ(str(call("MonthName", {12, true})), "Dec");
  EXPECT_EQ(str(call("MonthName", {1, 10})), "Jan");
  EXPECT_EQ(errorOf("MonthName", {13}), 5);
  EXPECT_EQ(errorOf("MonthName", {0}), 5);
  EXPECT_EQ(errorOf("MonthName", {kNull}), 94);
  EXPECT_EQ(errorOf("MonthName", {"a", kNull}), 94);
  EXPECT_EQ(str(call("WeekdayName", {1})), "Sunday");
  EXPECT_EQ(str(call("WeekdayName", {7})), "Saturday");
  EXPECT_EQ(str(call("WeekdayName", {1, true})), "Sun");
  EXPECT_EQ(str(call("WeekdayName", {1, true, 2})), "Mon");
  EXPECT_EQ(str(call("WeekdayName", {1, true, 7})), "Sat");
  EXPECT_EQ(str(call("WeekdayName", {7, false, 2})), "Sunday");
  EXPECT_EQ(errorOf("WeekdayName", {8}), 5);
}

TEST(LibDates, FormatDateTime) {
  Variant d = at(kJan2nd2011, 15, 4, 5);
  EXPECT_EQ(str(call("FormatDateTime", {d, 1})), "Sunday, January 2, 2011");
  EXPECT_EQ(str(call("FormatDateTime", {d, 2})), "1/2/2011");
  EXPECT_EQ(str(call("FormatDateTime", {d, 3})), "3:04:05 PM");
  EXPECT_EQ(str(call("FormatDateTime", {d, 4})), "15:04");
  EXPECT_EQ(str(call("FormatDateTime", {d})), "1/2/2011 3:04:05 PM");
  EXPECT_EQ(str(call("FormatDateTime", {day(kJan2nd2011), 0})), "1/2/2011");
  EXPECT_EQ(str(call("FormatDateTime", {at(0, 0, 5), 3})), "12:05:00 AM");
  EXPECT_EQ(str(call("FormatDateTime", {at(0, 9, 5), 4})), "09:05");
  EXPECT_EQ(errorOf("FormatDateTime", {kNull}), 13);
  EXPECT_EQ(errorOf("FormatDateTime", {0.1, kNull}), 94);
  EXPECT_EQ(errorOf("FormatDateTime", {d, 5}), 5);
}

TEST(LibDates, NowDateTimeAndTimer) {
  double today = date(call("Date"));
  double now = date(call("Now"));
  double time = date(call("Time"));
  EXPECT_EQ(today, static_cast<double>(static_cast<int64_t>(today)));
  EXPECT_GE(time, 0.0);
  EXPECT_LT(time, 1.0);
  if (date(call("Date")) == today) {  // not across midnight
    EXPECT_GE(now, today);
    EXPECT_LT(now, today + 1.0);
  }
  Variant timer = call("Timer");
  EXPECT_EQ(timer.type(), vtSingle);
  EXPECT_GE(timer.rawSingle(), 0.0f);
  EXPECT_LT(timer.rawSingle(), 86400.0f);
}

}  // namespace
