// Conversions between Variant subtypes: what CStr, CBool, CByte, CInt, CLng,
// CSng, CDbl, CCur and CDate give in VBScript under locale 1033.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/date.h"
#include "automation/dispatch.h"
#include "automation/variant.h"
#include "support/expect_error.h"

using namespace tw;

namespace {

double serialOf(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
  DateParts p;
  p.year = y;
  p.month = m;
  p.day = d;
  p.hour = h;
  p.minute = mi;
  p.second = s;
  double serial = 0;
  EXPECT_TRUE(partsToDate(p, serial));
  return serial;
}

// An object whose default member returns a fixed value.
class Holder : public Dispatch {
 public:
  explicit Holder(Variant v) : value_(std::move(v)) {}
  const ClassInfo* classInfo() const override {
    static const ClassInfo info = ClassBuilder<Holder>("Holder")
                                      .get("Value", [](Holder& h) { return h.value_; })
                                      .defaultMember("Value")
                                      .build();
    return &info;
  }

 private:
  Variant value_;
};

// An object without a default member.
class Plain : public Dispatch {
 public:
  const ClassInfo* classInfo() const override {
    static const ClassInfo info =
        ClassBuilder<Plain>("Plain").get("Name", [](Plain&) { return Variant("x"); }).build();
    return &info;
  }
};

}  // namespace

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(roundHalfEven(0.5), 0);
  EXPECT_EQ(roundHalfEven(1.5), 2);
  EXPECT_EQ(roundHalfEven(2.5), 2);
  EXPECT_EQ(roundHalfEven(3.5), 4);
  EXPECT_EQ(roundHalfEven(-0.5), 0);
  EXPECT_EQ(roundHalfEven(-1.5), -2);
  EXPECT_EQ(roundHalfEven(-2.5), -2);
  EXPECT_EQ(roundHalfEven(2.4999), 2);
  EXPECT_EQ(roundHalfEven(2.5001), 3);
  EXPECT_EQ(roundHalfEven(-2.6), -3);
  EXPECT_EQ(roundHalfEven(7), 7);
}

TEST(ConvertToInteger, RoundsHalvesToEven) {
  // CInt: "0.5 rounds to 0, 1.5 rounds to 2", 2.5 to 2 and 3.5 to 4.
  EXPECT_EQ(Variant(0.5).toInteger(), 0);
  EXPECT_EQ(Variant(1.5).toInteger(), 2);
  EXPECT_EQ(Variant(2.5).toInteger(), 2);
  EXPECT_EQ(Variant(3.5).toInteger(), 4);
  EXPECT_EQ(Variant(-2.5).toInteger(), -2);
  EXPECT_EQ(Variant(-3.5).toInteger(), -4);
  EXPECT_EQ(Variant(2.6).toInteger(), 3);
  EXPECT_EQ(Variant::single(2.5f).toInteger(), 2);
  EXPECT_EQ(Variant("2.5").toInteger(), 2);
  EXPECT_EQ(Variant(" 3.5 ").toInteger(), 4);
  EXPECT_EQ(Variant::currency(25000).toInteger(), 2);    // 2.5
  EXPECT_EQ(Variant::currency(35000).toInteger(), 4);    // 3.5
  EXPECT_EQ(Variant::currency(-25001).toInteger(), -3);  // -2.5001
}

TEST(ConvertToInteger, OverflowsOutsideSixteenBits) {
  EXPECT_EQ(Variant(32767).toInteger(), 32767);
  EXPECT_EQ(Variant(-32768).toInteger(), -32768);
  EXPECT_EQ(Variant(-32768.5).toInteger(), -32768);  // the even neighbour is in range
  EXPECT_TW_ERROR(Variant(32768).toInteger(), kErrOverflow);
  EXPECT_TW_ERROR(Variant(32767.5).toInteger(), kErrOverflow);  // rounds to 32768
  EXPECT_TW_ERROR(Variant(-32769).toInteger(), kErrOverflow);
  EXPECT_TW_ERROR(Variant("40000").toInteger(), kErrOverflow);
  EXPECT_TW_ERROR(Variant(1e300).toInteger(), kErrOverflow);
}

TEST(ConvertToInteger, EmptyBooleanNullAndText) {
  EXPECT_EQ(Variant().toInteger(), 0);
  EXPECT_EQ(Variant(true).toInteger(), -1);
  EXPECT_EQ(Variant(false).toInteger(), 0);
  EXPECT_TW_ERROR(Variant::null().toInteger(), kErrInvalidNull);
  EXPECT_TW_ERROR(Variant("abc").toInteger(), kErrTypeMismatch);
  EXPECT_TW_ERROR(Variant("").toInteger(), kErrTypeMismatch);
  // Text "True" is a Boolean only for CBool.
  EXPECT_TW_ERROR(Variant("True").toInteger(), kErrTypeMismatch);
  EXPECT_EQ(Variant("&HFFFF").toInteger(), -1);  // sixteen bits read as an Integer
  EXPECT_EQ(Variant("&H7FFF").toInteger(), 32767);
}

TEST(ConvertToLong, RangeRoundingAndHexText) {
  EXPECT_EQ(Variant("&HFF").toLong(), 255);
  EXPECT_EQ(Variant("&hff").toLong(), 255);
  EXPECT_EQ(Variant("&O17").toLong(), 15);
  EXPECT_EQ(Variant("&HFFFFFFFF").toLong(), -1);
  EXPECT_EQ(Variant(2147483647.0).toLong(), 2147483647);
  EXPECT_EQ(Variant(-2147483648.5).toLong(), -2147483647 - 1);
  EXPECT_EQ(Variant(4.5).toLong(), 4);
  EXPECT_EQ(Variant(5.5).toLong(), 6);
  EXPECT_EQ(Variant::date(1.5).toLong(), 2);
  EXPECT_TW_ERROR(Variant(2147483647.5).toLong(), kErrOverflow);
  EXPECT_TW_ERROR(Variant(-2147483649.0).toLong(), kErrOverflow);
  EXPECT_TW_ERROR(Variant("&H100000000").toLong(), kErrOverflow);
  EXPECT_TW_ERROR(Variant::currency(int64_t{30000000000} * 10000).toLong(), kErrOverflow);
}

TEST(ConvertToByte, RangeIsZeroTo255) {
  EXPECT_EQ(Variant(255).toByte(), 255);
  EXPECT_EQ(Variant(-0.5).toByte(), 0);  // rounds to zero
  EXPECT_EQ(Variant(254.5).toByte(), 254);
  EXPECT_TW_ERROR(Variant(256).toByte(), kErrOverflow);
  EXPECT_TW_ERROR(Variant(255.5).toByte(), kErrOverflow);
  EXPECT_TW_ERROR(Variant(-1).toByte(), kErrOverflow);
  EXPECT_EQ(Variant(true).toByte(), 255);  // True has all bits set
}

TEST(ConvertToBool, NumbersTextAndSpecialValues) {
  EXPECT_TRUE(Variant("TRUE").toBool());
  EXPECT_TRUE(Variant("true").toBool());
  EXPECT_FALSE(Variant("False").toBool());
  EXPECT_FALSE(Variant("0").toBool());
  EXPECT_FALSE(Variant("0.0").toBool());
  EXPECT_TRUE(Variant("-2.5").toBool());
  EXPECT_TRUE(Variant(" 1 ").toBool());
  EXPECT_TRUE(Variant(0.001).toBool());
  EXPECT_FALSE(Variant(0.0).toBool());
  EXPECT_TRUE(Variant::currency(1).toBool());
  EXPECT_TRUE(Variant::byte(1).toBool());
  EXPECT_FALSE(Variant().toBool());
  EXPECT_TW_ERROR(Variant("yes").toBool(), kErrTypeMismatch);
  EXPECT_TW_ERROR(Variant("").toBool(), kErrTypeMismatch);
  EXPECT_TW_ERROR(Variant::null().toBool(), kErrInvalidNull);
}

TEST(ConvertToString, SubtypesAsCStrWritesThem) {
  EXPECT_EQ(Variant(true).toString(), "True");
  EXPECT_EQ(Variant(false).toString(), "False");
  EXPECT_EQ(Variant().toString(), "");
  EXPECT_EQ(Variant(-42).toString(), "-42");
  EXPECT_EQ(Variant::integer(-32768).toString(), "-32768");
  EXPECT_EQ(Variant::byte(255).toString(), "255");
  EXPECT_EQ(Variant(1e16).toString(), "1E+16");
  EXPECT_EQ(Variant(2.5).toString(), "2.5");
  EXPECT_EQ(Variant::single(0.1f).toString(), "0.1");
  EXPECT_EQ(Variant::currency(15000).toString(), "1.5");
  EXPECT_EQ(Variant::date(serialOf(2011, 1, 2, 15, 4, 5)).toString(), "1/2/2011 3:04:05 PM");
  EXPECT_EQ(Variant("abc").toString(), "abc");
  EXPECT_TW_ERROR(Variant::null().toString(), kErrInvalidNull);
  EXPECT_TW_ERROR(Variant::array(std::vector<Variant>{Variant(1)}).toString(), kErrTypeMismatch);
}

TEST(ConvertToDouble, NumericText) {
  EXPECT_EQ(Variant("1,000.5").toDouble(), 1000.5);
  EXPECT_EQ(Variant(" -1.5E3 ").toDouble(), -1500);
  EXPECT_EQ(Variant(".5").toDouble(), 0.5);
  EXPECT_EQ(Variant("&O17").toDouble(), 15);
  EXPECT_EQ(Variant(true).toDouble(), -1);
  EXPECT_EQ(Variant::currency(-12345).toDouble(), -1.2345);
  EXPECT_EQ(Variant("0.1").toDouble(), 0.1);  // nearest double, as the literal
  EXPECT_TW_ERROR(Variant("1/2/2011").toDouble(), kErrTypeMismatch);
  EXPECT_TW_ERROR(Variant("abc").toDouble(), kErrTypeMismatch);
  EXPECT_TW_ERROR(Variant("1e400").toDouble(), kErrOverflow);
  EXPECT_TW_ERROR(Variant::null().toDouble(), kErrInvalidNull);
}

TEST(ConvertToSingle, RangeOfSingle) {
  EXPECT_EQ(Variant(0.5).toSingle(), 0.5f);
  EXPECT_EQ(Variant("1.5").toSingle(), 1.5f);
  EXPECT_TW_ERROR(Variant(1e39).toSingle(), kErrOverflow);
  EXPECT_TW_ERROR(Variant("-1e39").toSingle(), kErrOverflow);
}

TEST(ConvertToCurrency, FourDecimalsAndRange) {
  EXPECT_EQ(Variant(1.5).toCurrency(), 15000);
  EXPECT_EQ(Variant(-7).toCurrency(), -70000);
  EXPECT_EQ(Variant(true).toCurrency(), -10000);
  // The documented range: -922,337,203,685,477.5808 to 922,337,203,685,477.5807.
  EXPECT_EQ(Variant("922337203685477.5807").toCurrency(), INT64_MAX);
  EXPECT_EQ(Variant("-922337203685477.5808").toCurrency(), INT64_MIN);
  EXPECT_TW_ERROR(Variant("922337203685477.5808").toCurrency(), kErrOverflow);
  EXPECT_TW_ERROR(Variant(1e15).toCurrency(), kErrOverflow);
  // Text beyond four decimals rounds half to even.
  EXPECT_EQ(Variant("1.00005").toCurrency(), 10000);
  EXPECT_EQ(Variant("1.00015").toCurrency(), 10002);
  EXPECT_EQ(Variant("1.000151").toCurrency(), 10002);
  EXPECT_EQ(Variant("1.000149").toCurrency(), 10001);
  EXPECT_EQ(Variant("$1,234.5").toCurrency(), 12345000);
}

TEST(ConvertToDate, NumbersAreSerials) {
  EXPECT_EQ(Variant().toDate(), 0);
  EXPECT_EQ(Variant(true).toDate(), -1);  // 12/29/1899
  EXPECT_EQ(Variant(2).toDate(), 2);
  EXPECT_EQ(Variant(5.25).toDate(), 5.25);
  EXPECT_EQ(Variant::currency(52500).toDate(), 5.25);
  EXPECT_TW_ERROR(Variant(3e6).toDate(), kErrOverflow);
  EXPECT_TW_ERROR(Variant(-700000).toDate(), kErrOverflow);
  EXPECT_TW_ERROR(Variant::null().toDate(), kErrInvalidNull);
}

TEST(ConvertToDate, TextIsReadAsDateOrSerial) {
  EXPECT_EQ(Variant("1/2/2011").toDate(), serialOf(2011, 1, 2));
  EXPECT_EQ(Variant("January 2, 2011 3:04 PM").toDate(), serialOf(2011, 1, 2, 15, 4, 0));
  EXPECT_EQ(Variant("40000").toDate(), 40000);
  EXPECT_TW_ERROR(Variant("not a date").toDate(), kErrTypeMismatch);
  EXPECT_TW_ERROR(Variant("2/30/2011").toDate(), kErrTypeMismatch);
}

TEST(ConvertObjects, DefaultMemberSuppliesTheValue) {
  Variant obj(makeRef<Holder>(Variant(42.5)));
  EXPECT_EQ(obj.toInteger(), 42);
  EXPECT_EQ(obj.toString(), "42.5");
  EXPECT_EQ(obj.toDouble(), 42.5);
  EXPECT_TRUE(obj.toBool());
  Variant text(makeRef<Holder>(Variant("true")));
  EXPECT_TRUE(text.toBool());
  EXPECT_EQ(obj.convertTo(vtLong).varType(), vtLong);
  EXPECT_TW_ERROR(Variant(makeRef<Plain>()).toString(), kErrNoSuchMember);
  EXPECT_TW_ERROR(Variant::nothing().toLong(), kErrObjectNotSet);
}

TEST(ConvertTo, GivesTheRequestedSubtype) {
  Variant v("12.5");
  Variant i = v.convertTo(vtInteger);
  EXPECT_EQ(i.varType(), vtInteger);
  EXPECT_EQ(i.rawInteger(), 12);
  Variant l = v.convertTo(vtLong);
  EXPECT_EQ(l.varType(), vtLong);
  EXPECT_EQ(l.rawLong(), 12);
  Variant d = v.convertTo(vtDouble);
  EXPECT_EQ(d.varType(), vtDouble);
  EXPECT_EQ(d.rawDouble(), 12.5);
  Variant s = Variant(12.5).convertTo(vtString);
  EXPECT_EQ(s.varType(), vtString);
  EXPECT_EQ(s.rawString(), "12.5");
  Variant c = v.convertTo(vtCurrency);
  EXPECT_EQ(c.varType(), vtCurrency);
  EXPECT_EQ(c.rawCurrency(), 125000);
  Variant b = Variant(0).convertTo(vtBoolean);
  EXPECT_EQ(b.varType(), vtBoolean);
  EXPECT_FALSE(b.rawBool());
  Variant y = Variant(200).convertTo(vtByte);
  EXPECT_EQ(y.varType(), vtByte);
  EXPECT_EQ(y.rawByte(), 200);
  Variant dt = Variant("1/2/2011").convertTo(vtDate);
  EXPECT_EQ(dt.varType(), vtDate);
  EXPECT_EQ(dt.rawDate(), serialOf(2011, 1, 2));
  Variant f = Variant(0.25).convertTo(vtSingle);
  EXPECT_EQ(f.varType(), vtSingle);
  EXPECT_EQ(f.rawSingle(), 0.25f);
  EXPECT_EQ(v.convertTo(vtEmpty).varType(), vtEmpty);
  EXPECT_EQ(v.convertTo(vtNull).varType(), vtNull);
  EXPECT_TW_ERROR(v.convertTo(vtObject), kErrObjectRequired);
  EXPECT_TW_ERROR(Variant("x").convertTo(vtInteger), kErrTypeMismatch);
}

TEST(ParseNumber, AcceptedForms) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"12", 12},
      {"  12  ", 12},
      {"\t5\t", 5},
      {"+7", 7},
      {"-7", -7},
      {"1.", 1},
      {".25", 0.25},
      {"1e3", 1000},
      {"1.5E-2", 0.015},
      {"2E+2", 200},
      {"1,000", 1000},
      {"1,000,000.25", 1000000.25},
      {"$1,000.5", 1000.5},
      {"-$5", -5},
      {"(5)", -5},
      {"5-", -5},
      {"&HFF", 255},
      {"&h1f", 31},
      {"&O17", 15},
      {"&H7FFFFFFF", 2147483647},
      {"0", 0},
      {"-0.0", 0},
      {"0.000", 0},
  };
  for (const Case& c : cases) {
    double v = -999;
    EXPECT_TRUE(parseNumber(c.text, v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(ParseNumber, RejectedForms) {
  for (const char* text : {"",    " ",     "abc", "1e", "e5", "1.5.2", ",5", "&17", "&H",       "&HG",
                           "&O8", "12abc", "1 2", "--", "+",  ".",     "(5", "-5-", "1/2/2011", "True"}) {
    double v = 123;
    EXPECT_FALSE(parseNumber(text, v)) << text;
    EXPECT_EQ(v, 123) << "output written for " << text;
  }
}
