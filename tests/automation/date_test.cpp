// OLE dates: serials, their parts, DateSerial carry-over, weekdays and the
// date text CDate reads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "automation/date.h"
#include "automation/variant.h"

using namespace tw;

namespace {

double serialOf(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
  DateParts p{y, m, d, h, mi, s};
  double serial = 0;
  EXPECT_TRUE(partsToDate(p, serial)) << y << "-" << m << "-" << d;
  return serial;
}

DateParts partsOf(double serial) {
  DateParts p{0, 0, 0, -1, -1, -1};
  EXPECT_TRUE(dateToParts(serial, p)) << serial;
  return p;
}

void expectParts(double serial, int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
  DateParts p = partsOf(serial);
  EXPECT_EQ(p.year, y) << serial;
  EXPECT_EQ(p.month, m) << serial;
  EXPECT_EQ(p.day, d) << serial;
  EXPECT_EQ(p.hour, h) << serial;
  EXPECT_EQ(p.minute, mi) << serial;
  EXPECT_EQ(p.second, s) << serial;
}

double parsed(const char* text) {
  double serial = -1e9;
  EXPECT_TRUE(parseDate(text, serial)) << text;
  return serial;
}

}  // namespace

// The OLE date documentation's own table of serials.
TEST(DateSerials, DocumentedValues) {
  expectParts(0.0, 1899, 12, 30);
  expectParts(1.0, 1899, 12, 31);
  expectParts(2.0, 1900, 1, 1);
  expectParts(-1.25, 1899, 12, 29, 6, 0, 0);
  expectParts(5.25, 1900, 1, 4, 6, 0, 0);
  expectParts(5.5, 1900, 1, 4, 12, 0, 0);
  expectParts(5.875, 1900, 1, 4, 21, 0, 0);
  EXPECT_EQ(serialOf(1899, 12, 29, 6, 0, 0), -1.25);
  EXPECT_EQ(serialOf(1900, 1, 4, 21, 0, 0), 5.875);
  EXPECT_EQ(serialOf(2000, 1, 1), 36526);
  EXPECT_EQ(serialOf(100, 1, 1), kMinDateSerial);
  expectParts(kMinDateSerial, 100, 1, 1);
  expectParts(kMaxDateSerial, 9999, 12, 31, 23, 59, 59);
}

TEST(DateSerials, RoundTripAcrossTheRangeIncludingNegativeSerials) {
  // Every 997th day from 1 January 100 to 31 December 9999, at a time that
  // changes with the day.
  int checked = 0;
  for (double day = kMinDateSerial; day <= 2958465; day += 997) {
    int secs = static_cast<int>(std::fmod(day * 7919, 86400.0));
    if (secs < 0) secs += 86400;
    DateParts p = partsOf(day < 0 ? day - secs / 86400.0 : day + secs / 86400.0);
    EXPECT_EQ(p.hour * 3600 + p.minute * 60 + p.second, secs) << day;
    double back = 0;
    ASSERT_TRUE(partsToDate(p, back));
    double expected = day < 0 ? day - secs / 86400.0 : day + secs / 86400.0;
    EXPECT_NEAR(back, expected, 1e-9) << day;
    ++checked;
  }
  EXPECT_GT(checked, 3000);
}

TEST(DateSerials, DaysFollowEachOtherAcrossMonthsAndLeapYears) {
  EXPECT_EQ(serialOf(2012, 3, 1) - serialOf(2012, 2, 28), 2);  // 2012 is a leap year
  EXPECT_EQ(serialOf(2011, 3, 1) - serialOf(2011, 2, 28), 1);
  EXPECT_EQ(serialOf(1900, 3, 1) - serialOf(1900, 2, 28), 1);  // 1900 is not
  EXPECT_EQ(serialOf(2000, 3, 1) - serialOf(2000, 2, 28), 2);  // 2000 is
  EXPECT_EQ(serialOf(2001, 1, 1) - serialOf(2000, 1, 1), 366);
}

TEST(DateSerials, OutOfRange) {
  DateParts p;
  EXPECT_FALSE(dateToParts(kMaxDateSerial + 1, p));
  EXPECT_FALSE(dateToParts(kMinDateSerial - 1, p));
  double s = 0;
  EXPECT_FALSE(partsToDate(DateParts{10000, 1, 1, 0, 0, 0}, s));
  EXPECT_FALSE(partsToDate(DateParts{9999, 12, 32, 0, 0, 0}, s));
  EXPECT_FALSE(partsToDate(DateParts{100, 1, 0, 0, 0, 0}, s));
  EXPECT_FALSE(partsToDate(DateParts{-1, 1, 1, 0, 0, 0}, s));
}

TEST(DateSerial, MonthsAndDaysCarryOver) {
  // DateSerial(2011, 13, 1) is 1/1/2012; DateSerial(2011, 3, 0) is 2/28/2011.
  EXPECT_EQ(serialOf(2011, 13, 1), serialOf(2012, 1, 1));
  EXPECT_EQ(serialOf(2011, 3, 0), serialOf(2011, 2, 28));
  EXPECT_EQ(serialOf(2012, 3, 0), serialOf(2012, 2, 29));
  EXPECT_EQ(serialOf(2011, 1, 32), serialOf(2011, 2, 1));
  EXPECT_EQ(serialOf(2011, 0, 1), serialOf(2010, 12, 1));
  EXPECT_EQ(serialOf(2011, -11, 1), serialOf(2010, 1, 1));
  EXPECT_EQ(serialOf(2011, 25, 1), serialOf(2013, 1, 1));
  EXPECT_EQ(serialOf(2011, 1, -30), serialOf(2010, 12, 1));
  EXPECT_EQ(serialOf(2011, 1, 365), serialOf(2011, 12, 31));
}

TEST(DateSerial, TwoDigitYears) {
  EXPECT_EQ(serialOf(5, 1, 1), serialOf(2005, 1, 1));
  EXPECT_EQ(serialOf(29, 1, 1), serialOf(2029, 1, 1));
  EXPECT_EQ(serialOf(30, 1, 1), serialOf(1930, 1, 1));
  EXPECT_EQ(serialOf(99, 1, 1), serialOf(1999, 1, 1));
  EXPECT_EQ(serialOf(0, 1, 1), serialOf(2000, 1, 1));
  // The year is read before months carry: month 13 of 99 is 2000.
  EXPECT_EQ(serialOf(99, 13, 1), serialOf(2000, 1, 1));
}

TEST(TimeSerial, HoursMinutesAndSecondsCarryIntoDays) {
  EXPECT_EQ(serialOf(1899, 12, 30, 25, 0, 0), serialOf(1899, 12, 31, 1, 0, 0));
  EXPECT_EQ(serialOf(2011, 1, 2, 0, 90, 0), serialOf(2011, 1, 2, 1, 30, 0));
  EXPECT_EQ(serialOf(2011, 1, 2, 0, 0, -1), serialOf(2011, 1, 1, 23, 59, 59));
  // One minute before day zero: 29 December 1899 11:59 PM.
  double s = serialOf(1899, 12, 30, 0, -1, 0);
  EXPECT_NEAR(s, -1 - 1439.0 / 1440, 1e-12);
  expectParts(s, 1899, 12, 29, 23, 59, 0);
}

TEST(Weekday, SundayIsOne) {
  EXPECT_EQ(weekdayOf(serialOf(2011, 1, 2)), 1);            // a Sunday
  EXPECT_EQ(weekdayOf(serialOf(2011, 1, 8)), 7);            // a Saturday
  EXPECT_EQ(weekdayOf(serialOf(2011, 1, 5, 18, 0, 0)), 4);  // a Wednesday evening
  EXPECT_EQ(weekdayOf(0.0), 7);                             // 30 December 1899 was a Saturday
  EXPECT_EQ(weekdayOf(-1.25), 6);                           // 29 December 1899, a Friday
  EXPECT_EQ(weekdayOf(-0.5), 7);                            // still 30 December
  EXPECT_EQ(weekdayOf(serialOf(2000, 1, 1)), 7);
}

TEST(NowDate, MatchesTheSystemClock) {
  // Under UTC the serial is the Unix time in days plus 25569 (1 January 1970).
  const char* oldTz = std::getenv("TZ");
  std::string saved = oldTz ? oldTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  double before = static_cast<double>(std::time(nullptr)) / 86400 + 25569;
  double now = nowDate();
  double after = static_cast<double>(std::time(nullptr)) / 86400 + 25569;
  if (oldTz) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  EXPECT_GE(now, before - 1.5 / 86400);
  EXPECT_LE(now, after + 1.5 / 86400);
}

TEST(ParseDate, CommonFormsUnderEnglishUnitedStates) {
  double jan2 = serialOf(2011, 1, 2);
  EXPECT_EQ(parsed("1/2/2011"), jan2);
  EXPECT_EQ(parsed(" 1/2/2011 "), jan2);
  EXPECT_EQ(parsed("1-2-2011"), jan2);
  EXPECT_EQ(parsed("2011-01-02"), jan2);
  EXPECT_EQ(parsed("2011/1/2"), jan2);
  EXPECT_EQ(parsed("January 2, 2011"), jan2);
  EXPECT_EQ(parsed("january 2 2011"), jan2);
  EXPECT_EQ(parsed("2 Jan 2011"), jan2);
  EXPECT_EQ(parsed("Jan 2 2011"), jan2);
  EXPECT_EQ(parsed("Jan. 2, 2011"), jan2);
  EXPECT_EQ(parsed("Sunday, January 2, 2011"), jan2);
  EXPECT_EQ(parsed("1/2/2011 3:04:05 PM"), serialOf(2011, 1, 2, 15, 4, 5));
  EXPECT_EQ(parsed("1/2/2011 3:04:05 pm"), serialOf(2011, 1, 2, 15, 4, 5));
  EXPECT_EQ(parsed("2011/01/02 13:04"), serialOf(2011, 1, 2, 13, 4, 0));
  EXPECT_EQ(parsed("1/2/2011 3PM"), serialOf(2011, 1, 2, 15, 0, 0));
  EXPECT_EQ(parsed("1/2/2011 12:00 AM"), jan2);
  EXPECT_EQ(parsed("1/2/2011 12:30 PM"), serialOf(2011, 1, 2, 12, 30, 0));
  EXPECT_EQ(parsed("3:04 PM 1/2/2011"), serialOf(2011, 1, 2, 15, 4, 0));
}

TEST(ParseDate, TimeAloneIsOnDayZero) {
  EXPECT_EQ(parsed("3:04 PM"), (15 * 60 + 4) / 1440.0);
  EXPECT_EQ(parsed("15:30:00"), (15 * 60 + 30) / 1440.0);
  EXPECT_EQ(parsed("12 AM"), 0.0);
  EXPECT_EQ(parsed("3 PM"), 15 / 24.0);
}

TEST(ParseDate, DayThatCannotBeAMonthSwapsWithTheMonth) {
  EXPECT_EQ(parsed("13/1/2011"), serialOf(2011, 1, 13));
  EXPECT_EQ(parsed("2011-13-01"), serialOf(2011, 1, 13));
}

TEST(ParseDate, YearsInShortForms) {
  EXPECT_EQ(parsed("1/2/11"), serialOf(2011, 1, 2));
  EXPECT_EQ(parsed("1/2/99"), serialOf(1999, 1, 2));
  EXPECT_EQ(parsed("1/2/29"), serialOf(2029, 1, 2));
  EXPECT_EQ(parsed("1/2/30"), serialOf(1930, 1, 2));
  EXPECT_EQ(parsed("Jan 2011"), serialOf(2011, 1, 1));
  EXPECT_EQ(parsed("1/2011"), serialOf(2011, 1, 1));
  DateParts today = partsOf(nowDate());
  DateParts p = partsOf(parsed("1/2"));
  EXPECT_EQ(p.year, today.year);
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 2);
  p = partsOf(parsed("2 January"));
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 2);
}

TEST(ParseDate, DatesBeforeDayZeroKeepTheTimeForward) { EXPECT_EQ(parsed("12/29/1899 6:00 AM"), -1.25); }

TEST(ParseDate, Rejected) {
  for (const char* text : {"", "   ", "hello", "2/30/2011", "2/29/2011", "13/13/2011", "0/1/2011",
                           "1/2/2011 25:00", "1/2/2011 3:60", "1/2/2011 10", "12345", "1/2/3/4",
                           "Jan Feb 2011", "2011-01-02T13:04:05", "1/2/10000", "3:"}) {
    double serial = 77;
    EXPECT_FALSE(parseDate(text, serial)) << text;
    EXPECT_EQ(serial, 77) << text;
  }
}
