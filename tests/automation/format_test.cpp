// Number and date text as CStr writes it under locale 1033.
#include <gtest/gtest.h>

#include <cstdint>

#include "automation/date.h"
#include "automation/variant.h"

using namespace tw;

namespace {

double serialOf(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
  DateParts p{y, m, d, h, mi, s};
  double serial = 0;
  EXPECT_TRUE(partsToDate(p, serial));
  return serial;
}

}  // namespace

TEST(FormatDouble, FifteenSignificantDigits) {
  EXPECT_EQ(formatDouble(0.1 + 0.2), "0.3");
  EXPECT_EQ(formatDouble(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(formatDouble(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(formatDouble(-2.5), "-2.5");
  EXPECT_EQ(formatDouble(100), "100");
  EXPECT_EQ(formatDouble(123456789012345.0), "123456789012345");
  EXPECT_EQ(formatDouble(3.14159265358979), "3.14159265358979");
}

TEST(FormatDouble, ExponentFromFifteenDigitsUpAndBelowTenThousandth) {
  EXPECT_EQ(formatDouble(1e15), "1E+15");
  EXPECT_EQ(formatDouble(1e16), "1E+16");
  EXPECT_EQ(formatDouble(1234567890123456.0), "1.23456789012346E+15");
  EXPECT_EQ(formatDouble(123456789012345678.0), "1.23456789012346E+17");
  EXPECT_EQ(formatDouble(1e100), "1E+100");
  EXPECT_EQ(formatDouble(0.0001), "0.0001");
  EXPECT_EQ(formatDouble(0.000123), "0.000123");
  EXPECT_EQ(formatDouble(0.00001), "1E-05");
  EXPECT_EQ(formatDouble(-1.5e-20), "-1.5E-20");
  EXPECT_EQ(formatDouble(999999999999999.0), "999999999999999");
  // Rounding to 15 digits can carry into a new digit and so into E notation.
  EXPECT_EQ(formatDouble(999999999999999.9), "1E+15");
}

TEST(FormatDouble, ZeroHasNoSign) {
  EXPECT_EQ(formatDouble(0.0), "0");
  EXPECT_EQ(formatDouble(-0.0), "0");
}

TEST(FormatSingle, SevenSignificantDigits) {
  EXPECT_EQ(formatSingle(1.0f / 3), "0.3333333");
  EXPECT_EQ(formatSingle(1234567.0f), "1234567");
  EXPECT_EQ(formatSingle(12345678.0f), "1.234568E+07");
  EXPECT_EQ(formatSingle(0.1f), "0.1");
  EXPECT_EQ(formatSingle(0.00001f), "1E-05");
  EXPECT_EQ(formatSingle(-2.5f), "-2.5");
}

TEST(FormatCurrency, UpToFourDecimals) {
  EXPECT_EQ(formatCurrency(15000), "1.5");
  EXPECT_EQ(formatCurrency(50000), "5");
  EXPECT_EQ(formatCurrency(-1), "-0.0001");
  EXPECT_EQ(formatCurrency(12345), "1.2345");
  EXPECT_EQ(formatCurrency(10010), "1.001");
  EXPECT_EQ(formatCurrency(0), "0");
  EXPECT_EQ(formatCurrency(INT64_MAX), "922337203685477.5807");
  EXPECT_EQ(formatCurrency(INT64_MIN), "-922337203685477.5808");
}

TEST(FormatDate, ShortDateAndLongTime) {
  EXPECT_EQ(formatDate(serialOf(2011, 1, 2, 15, 4, 5)), "1/2/2011 3:04:05 PM");
  EXPECT_EQ(formatDate(serialOf(2011, 12, 25, 9, 30, 0)), "12/25/2011 9:30:00 AM");
  EXPECT_EQ(formatDate(serialOf(2011, 1, 2, 0, 0, 1)), "1/2/2011 12:00:01 AM");
  EXPECT_EQ(formatDate(serialOf(2011, 1, 2, 12, 0, 0)), "1/2/2011 12:00:00 PM");
}

TEST(FormatDate, DateAloneAtMidnightTimeAloneOnDayZero) {
  EXPECT_EQ(formatDate(serialOf(2011, 1, 2)), "1/2/2011");
  EXPECT_EQ(formatDate(2.0), "1/1/1900");
  EXPECT_EQ(formatDate(0.0), "12:00:00 AM");
  EXPECT_EQ(formatDate(0.5), "12:00:00 PM");
  EXPECT_EQ(formatDate(serialOf(1899, 12, 30, 15, 4, 5)), "3:04:05 PM");
  // -0.5 is also noon of day zero; -1.5 is noon of the day before.
  EXPECT_EQ(formatDate(-0.5), "12:00:00 PM");
  EXPECT_EQ(formatDate(-1.5), "12/29/1899 12:00:00 PM");
  EXPECT_EQ(formatDate(-1.0), "12/29/1899");
}

TEST(FormatDate, RoundsToTheNearestSecond) {
  double s = serialOf(2011, 1, 2, 15, 4, 5);
  EXPECT_EQ(formatDate(s + 0.4 / 86400), "1/2/2011 3:04:05 PM");
  EXPECT_EQ(formatDate(s + 0.6 / 86400), "1/2/2011 3:04:06 PM");
  EXPECT_EQ(formatDate(serialOf(2011, 1, 2) - 0.3 / 86400), "1/2/2011");
}

TEST(FormatDate, YearsBelowOneThousandAreNotPadded) {
  EXPECT_EQ(formatDate(kMinDateSerial), "1/1/100");
  EXPECT_EQ(formatDate(serialOf(9999, 12, 31, 23, 59, 59)), "12/31/9999 11:59:59 PM");
}
