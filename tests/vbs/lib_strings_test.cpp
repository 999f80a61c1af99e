// String functions of the VBScript library, called as the engine calls them.
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

Variant missing() { return Variant::error(static_cast<int32_t>(0x80020004u)); }

std::string str(const Variant& v) {
  EXPECT_EQ(v.type(), vtString);
  return std::string(v.rawString());
}

int32_t lng(const Variant& v) {
  EXPECT_EQ(v.type(), vtLong);
  return v.rawLong();
}

std::vector<std::string> strings(const Variant& v) {
  EXPECT_TRUE(v.isArray());
  std::vector<std::string> out;
  if (!v.isArray()) return out;
  EXPECT_EQ(v.rawArray()->lbound(1), 0);
  for (const Variant& e : v.rawArray()->data) out.push_back(std::string(e.rawString()));
  return out;
}

const Variant kNull = Variant::null();

TEST(LibStrings, LenCountsCharactersAndPassesNullThrough) {
  EXPECT_EQ(lng(call("Len", {"VBSCRIPT"})), 8);
  EXPECT_EQ(lng(call("Len", {""})), 0);
  EXPECT_EQ(lng(call("Len", {Variant::integer(123)})), 3);
  EXPECT_EQ(lng(call("Len", {Variant()})), 0);
  EXPECT_EQ(lng(call("Len", {"h\xC3\xA9llo \xE2\x82\xAC"})), 7);  // héllo €
  EXPECT_TRUE(call("Len", {kNull}).isNull());
}

TEST(LibStrings, LenBCountsUtf16Bytes) {
  EXPECT_EQ(lng(call("LenB", {"abc"})), 6);
  EXPECT_EQ(lng(call("LenB", {"\xE2\x82\xAC"})), 2);
  EXPECT_EQ(lng(call("LenB", {"\xF0\x9F\x98\x80"})), 4);  // one character outside the BMP: a surrogate pair
  EXPECT_TRUE(call("LenB", {kNull}).isNull());
}

TEST(LibStrings, LeftRightMid) {
  EXPECT_EQ(str(call("Left", {"VBSCript", 3})), "VBS");
  EXPECT_EQ(str(call("Left", {"test", 5})), "test");
  EXPECT_EQ(str(call("Left", {Variant::integer(123), 2})), "12");
  EXPECT_EQ(str(call("Left", {"123456", 1.5})), "12");
  EXPECT_EQ(str(call("Left", {"123456", 2.5})), "12");
  EXPECT_EQ(str(call("Right", {"Hello World", 1})), "d");
  EXPECT_EQ(str(call("Right", {"Hello World", 6})), " World");
  EXPECT_EQ(str(call("Right", {"Hello World", 20})), "Hello World");
  EXPECT_EQ(str(call("Right", {Variant(), 1})), "");
  EXPECT_EQ(str(call("Mid", {"VB Script is fun!", 4, 6})), "Script");
  EXPECT_EQ(str(call("Mid", {"test", 2, 4})), "est");
  EXPECT_EQ(str(call("Mid", {"test", 5, 2})), "");
  EXPECT_EQ(str(call("Mid", {"test", 2})), "est");
  EXPECT_EQ(str(call("Mid", {Variant::integer(1234), 1, 2})), "12");
}

TEST(LibStrings, LeftRightMidCountCharactersNotBytes) {
  std::string s = "\xC3\xA4\xC3\xB6\xC3\xBC-\xE2\x82\xAC";  // äöü-€
  EXPECT_EQ(str(call("Left", {s, 2})), "\xC3\xA4\xC3\xB6");
  EXPECT_EQ(str(call("Right", {s, 2})), "-\xE2\x82\xAC");
  EXPECT_EQ(str(call("Mid", {s, 3, 2})), "\xC3\xBC-");
  std::string longAscii(40, 'x');
  longAscii += "\xC3\xA9yz";
  EXPECT_EQ(str(call("Mid", {longAscii, 41, 2})), "\xC3\xA9y");
}

TEST(LibStrings, LeftRightMidNullAndErrors) {
  EXPECT_TRUE(call("Left", {kNull, 1}).isNull());
  EXPECT_TRUE(call("Right", {kNull, 0}).isNull());
  EXPECT_TRUE(call("Mid", {kNull, 1, 1}).isNull());
  EXPECT_EQ(errorOf("Right", {"test", -1}), 5);
  EXPECT_EQ(errorOf("Right", {kNull, -1}), 5);
  EXPECT_EQ(errorOf("Right", {"test", kNull}), 94);
  EXPECT_EQ(errorOf("Left", {"test", -1}), 5);
  EXPECT_EQ(errorOf("Mid", {"test", "a", 1}), 13);
  EXPECT_EQ(errorOf("Mid", {"test", "a", kNull}), 94);
  EXPECT_EQ(errorOf("Mid", {"test", 0, -1}), 5);
  EXPECT_EQ(errorOf("Mid", {kNull, -1, -1}), 5);
  EXPECT_EQ(errorOf("Mid", {"test", kNull, 2}), 94);
  EXPECT_EQ(errorOf("Mid", {"test", Variant(), 1}), 5);
}

TEST(LibStrings, ByteFunctionsWorkOnUtf16Bytes) {
  EXPECT_EQ(str(call("LeftB", {"abc", 4})), "ab");
  EXPECT_EQ(str(call("RightB", {"abc", 2})), "c");
  EXPECT_EQ(str(call("MidB", {"abcd", 3, 4})), "bc");
  EXPECT_EQ(lng(call("InStrB", {"abcd", "c"})), 5);
  EXPECT_EQ(lng(call("InStrB", {"abcd", "x"})), 0);
}

TEST(LibStrings, InStr) {
  std::string s = "XXpXXpXXPXXP";
  EXPECT_EQ(lng(call("InStr", {4, s, "P", 1})), 6);
  EXPECT_EQ(lng(call("InStr", {1, s, "P", 0})), 9);
  EXPECT_EQ(lng(call("InStr", {s, "P"})), 9);
  EXPECT_EQ(lng(call("InStr", {1, s, "W"})), 0);
  EXPECT_EQ(lng(call("InStr", {3, "abcd", "bc"})), 0);
  EXPECT_EQ(lng(call("InStr", {5, "abcd", "bc"})), 0);
  EXPECT_EQ(lng(call("InStr", {2.6, "abcd", "bc"})), 0);
  EXPECT_EQ(lng(call("InStr", {1, Variant::integer(23456), Variant::integer(45), 0})), 3);
  EXPECT_EQ(lng(call("InStr", {4, "abcdef", "", 0})), 4);
  EXPECT_EQ(lng(call("InStr", {20, "abcdef", "", 0})), 0);
  EXPECT_EQ(lng(call("InStr", {4, "", "", 0})), 0);
  EXPECT_EQ(lng(call("InStr", {2, "abcABC", "aB", 1})), 4);
  EXPECT_EQ(lng(call("InStr", {"\xC3\xA4\xC3\xB6x", "x"})), 3);
  EXPECT_EQ(lng(call("InStr", {1, "\xC3\x84\xC3\xB6X", "\xC3\xA4\xC3\x96", 1})), 1);
}

TEST(LibStrings, InStrNullAndErrors) {
  EXPECT_TRUE(call("InStr", {"abcd", kNull}).isNull());
  EXPECT_TRUE(call("InStr", {kNull, "abcd"}).isNull());
  EXPECT_TRUE(call("InStr", {2, kNull, "abcd"}).isNull());
  EXPECT_EQ(errorOf("InStr", {kNull, "abcd", "abcd", 0}), 94);
  EXPECT_EQ(errorOf("InStr", {2, "abcd", "abcd", kNull}), 94);
  EXPECT_EQ(errorOf("InStr", {-20, "abcd", "abcd", 1}), 5);
  EXPECT_EQ(errorOf("InStr", {2, "abcd", "abcd", 10}), 5);
}

TEST(LibStrings, InStrRev) {
  std::string s = "XXpXXpXXPXXP";
  EXPECT_EQ(lng(call("InStrRev", {s, "P", -1, 1})), 12);
  EXPECT_EQ(lng(call("InStrRev", {s, "P", -1, 0})), 12);
  EXPECT_EQ(lng(call("InStrRev", {s, "P", 8, 1})), 6);
  EXPECT_EQ(lng(call("InStrRev", {s, "P", 8})), 0);
  EXPECT_EQ(lng(call("InStrRev", {"abcabc", "b"})), 5);
  EXPECT_EQ(lng(call("InStrRev", {"bcabcd", "bc", 6})), 4);
  EXPECT_EQ(lng(call("InStrRev", {"abcd", "bc", 2})), 0);
  EXPECT_EQ(lng(call("InStrRev", {"abcd", "bc", 5})), 0);
  EXPECT_EQ(lng(call("InStrRev", {"abcd", "", 3, 1})), 3);
  EXPECT_EQ(lng(call("InStrRev", {"", "", 3, 0})), 0);
  EXPECT_EQ(lng(call("InStrRev", {"abcd", "Ab", -1, 1})), 1);
  EXPECT_EQ(errorOf("InStrRev", {"abcd", kNull, 2, 0}), 94);
  EXPECT_EQ(errorOf("InStrRev", {kNull, "abcd", 2, 0}), 94);
  EXPECT_EQ(errorOf("InStrRev", {"abcd", "abcd", -20, 1}), 5);
  EXPECT_EQ(errorOf("InStrRev", {"abcd", "abcd", 2, 10}), 5);
}

TEST(LibStrings, Replace) {
  EXPECT_EQ(str(call("Replace", {"XXpXXPXXp", "p", "Y"})), "XXYXXPXXY");
  EXPECT_EQ(str(call("Replace", {"XXpXXPXXp", "p", "Y", 3, -1, 1})), "YXXYXXY");
  EXPECT_EQ(str(call("Replace", {"xxxxx", "xx", "y"})), "yyx");
  EXPECT_EQ(str(call("Replace", {"yxxy", "x", ""})), "yy");
  EXPECT_EQ(str(call("Replace", {"xxx", "", "y"})), "xxx");
  EXPECT_EQ(str(call("Replace", {Variant::integer(123), Variant::integer(2), Variant::integer(6)})), "163");
  EXPECT_EQ(str(call("Replace", {"xx testxx(xx)", "xx", "!", 2})), "x test!(!)");
  EXPECT_EQ(str(call("Replace", {"xx testxx(xx)", "xx", "!", 2000})), "");
  EXPECT_EQ(str(call("Replace", {"xxx", "", "y", 2})), "xx");
  EXPECT_EQ(str(call("Replace", {"xx testxx(xx)", "xx", "!", 1, 2})), "! test!(xx)");
  EXPECT_EQ(str(call("Replace", {"xx testxx(xx)", "xx", "!", 1, 0})), "xx testxx(xx)");
  EXPECT_EQ(str(call("Replace", {"aa testAA(aA)", "Aa", "!", 1, -1, 1})), "! test!(!)");
  EXPECT_EQ(str(call("Replace", {"Aa testAAa(aa)", "aa", "!", 1, 2, 1})), "! test!a(aa)");
  EXPECT_EQ(str(call("Replace", {"x", "x", "y", missing(), missing(), 1})), "y");
  EXPECT_EQ(str(call("Replace", {"\xC3\xA4-\xC3\xA4", "\xC3\x84", "a", 1, -1, 1})), "a-a");
}

TEST(LibStrings, ReplaceErrors) {
  EXPECT_EQ(errorOf("Replace", {"xx", "x", "y", -1}), 5);
  EXPECT_EQ(errorOf("Replace", {"xx", "x", "y", 0}), 5);
  EXPECT_EQ(errorOf("Replace", {"xx", "x", "y", 1, -2}), 5);
  EXPECT_EQ(errorOf("Replace", {kNull, "x", "y"}), 94);
  EXPECT_EQ(errorOf("Replace", {"xx", kNull, "y"}), 94);
  EXPECT_EQ(errorOf("Replace", {"xx", "x", kNull}), 94);
  EXPECT_EQ(errorOf("Replace", {"xx", "x", "y", 1, 1, 8}), 5);
}

TEST(LibStrings, Split) {
  using V = std::vector<std::string>;
  EXPECT_EQ(strings(call("Split", {"VBScriptXisXfun!", "x", -1, 1})), (V{"VBScript", "is", "fun!"}));
  EXPECT_EQ(strings(call("Split", {"a,b,,c", ","})), (V{"a", "b", "", "c"}));
  EXPECT_EQ(strings(call("Split", {"abc def"})), (V{"abc", "def"}));
  EXPECT_EQ(strings(call("Split", {"abc def", ""})), (V{"abc def"}));
  EXPECT_EQ(strings(call("Split", {"abcdefghi", "def"})), (V{"abc", "ghi"}));
  EXPECT_EQ(strings(call("Split", {"12345", 3})), (V{"12", "45"}));
  EXPECT_EQ(strings(call("Split", {"abc-def-ghi", "-", 2})), (V{"abc", "def-ghi"}));
  EXPECT_EQ(strings(call("Split", {"abcZdefZghi", "z", 3, 0})), (V{"abcZdefZghi"}));
  EXPECT_EQ(strings(call("Split", {"abcZdefZghi", "z", 3, 1})), (V{"abc", "def", "ghi"}));
  Variant empty = call("Split", {""});
  ASSERT_TRUE(empty.isArray());
  EXPECT_EQ(empty.rawArray()->ubound(1), -1);
  EXPECT_EQ(errorOf("Split", {"a-b", "-", -1, 2}), 5);
  EXPECT_EQ(errorOf("Split", {"a-b", "-", -42, 0}), 5);
  EXPECT_EQ(errorOf("Split", {kNull, "-"}), 94);
  EXPECT_EQ(errorOf("Split", {"a-b", kNull}), 94);
}

TEST(LibStrings, JoinAndFilter) {
  Variant names = Variant::array(std::vector<Variant>{"Mr.", "John", "Doe", "III"});
  EXPECT_EQ(str(call("Join", {names})), "Mr. John Doe III");
  EXPECT_EQ(str(call("Join", {names, ""})), "Mr.JohnDoeIII");
  EXPECT_EQ(str(call("Join", {Variant::array(std::vector<Variant>{1, "x", Variant()}), "-"})), "1-x-");
  EXPECT_EQ(errorOf("Join", {"not an array"}), 13);

  using V = std::vector<std::string>;
  Variant days = Variant::array(std::vector<Variant>{"Sunday", "Monday", "Tuesday"});
  EXPECT_EQ(strings(call("Filter", {days, "Mon"})), (V{"Monday"}));
  EXPECT_EQ(strings(call("Filter", {days, "mon", false})), (V{"Sunday", "Monday", "Tuesday"}));
  EXPECT_EQ(strings(call("Filter", {days, "mon", false, 1})), (V{"Sunday", "Tuesday"}));
  EXPECT_EQ(strings(call("Filter", {days, "x"})), (V{}));
  EXPECT_EQ(errorOf("Filter", {kNull, "x"}), 94);
  EXPECT_EQ(errorOf("Filter", {"abc", "x"}), 13);
}

TEST(LibStrings, CaseAndTrim) {
  EXPECT_EQ(str(call("UCase", {"123aBC?"})), "123ABC?");
  EXPECT_EQ(str(call("LCase", {"123aBC?"})), "123abc?");
  EXPECT_EQ(str(call("UCase", {"stra\xC3\x9F"
                               "e \xC3\xA4"})),
            "STRA\xC3\x9F"
            "E \xC3\x84");
  EXPECT_EQ(str(call("LCase", {Variant()})), "");
  EXPECT_EQ(str(call("UCase", {true})), "TRUE");
  EXPECT_TRUE(call("UCase", {kNull}).isNull());
  EXPECT_TRUE(call("LCase", {kNull}).isNull());
  EXPECT_EQ(str(call("LTrim", {"   vbscript "})), "vbscript ");
  EXPECT_EQ(str(call("RTrim", {"   vbscript "})), "   vbscript");
  EXPECT_EQ(str(call("Trim", {"   vbscript "})), "vbscript");
  EXPECT_EQ(str(call("Trim", {"\tx\t"})), "\tx\t");  // only spaces are trimmed
  EXPECT_TRUE(call("Trim", {kNull}).isNull());
}

TEST(LibStrings, SpaceAndString) {
  EXPECT_EQ(str(call("Space", {10})), std::string(10, ' '));
  EXPECT_EQ(str(call("Space", {5.5})), std::string(6, ' '));
  EXPECT_EQ(str(call("Space", {4.5})), std::string(4, ' '));
  EXPECT_EQ(str(call("Space", {false})), "");
  EXPECT_EQ(errorOf("Space", {-1}), 5);
  EXPECT_EQ(errorOf("Space", {kNull}), 94);
  EXPECT_EQ(str(call("String", {5, "*"})), "*****");
  EXPECT_EQ(str(call("String", {5, 42})), "*****");
  EXPECT_EQ(str(call("String", {10, "ABC"})), "AAAAAAAAAA");
  EXPECT_EQ(str(call("String", {2, "\xE2\x82\xAC!"})), "\xE2\x82\xAC\xE2\x82\xAC");
  EXPECT_EQ(str(call("String", {3, 65 + 256})), "AAA");
  EXPECT_EQ(errorOf("String", {-2, "x"}), 5);
  EXPECT_EQ(errorOf("String", {3, ""}), 5);
  EXPECT_EQ(errorOf("String", {0, ""}), 5);
}

TEST(LibStrings, StrCompAndStrReverse) {
  auto cmp = [](Variant a, Variant b, Variant mode) {
    Variant r = call("StrComp", {a, b, mode});
    EXPECT_EQ(r.type(), vtInteger);
    return r.rawInteger();
  };
  EXPECT_EQ(cmp("ABCD", "abcd", 1), 0);
  EXPECT_EQ(cmp("ABCD", "abcd", 0), -1);
  EXPECT_EQ(cmp("abcd", "ABCD", 0), 1);
  EXPECT_EQ(cmp("a", "B", 1), -1);
  EXPECT_EQ(cmp("a", "B", 0), 1);
  EXPECT_EQ(cmp("ABC", "ABCD", 1), -1);
  EXPECT_EQ(cmp("ABC", "ABCD", "1"), -1);
  EXPECT_EQ(cmp(Variant(), "", 1), 0);
  EXPECT_EQ(cmp("1", 1.0, 1), 0);
  EXPECT_TRUE(call("StrComp", {"a", kNull}).isNull());
  EXPECT_EQ(str(call("StrReverse", {"VBScript"})), "tpircSBV");
  EXPECT_EQ(str(call("StrReverse", {"a\xC3\xA4\xE2\x82\xAC"})),
            "\xE2\x82\xAC\xC3\xA4"
            "a");
  EXPECT_EQ(errorOf("StrReverse", {kNull}), 94);
}

TEST(LibStrings, AscAndChr) {
  auto integer = [](const Variant& v) {
    EXPECT_EQ(v.type(), vtInteger);
    return v.rawInteger();
  };
  EXPECT_EQ(integer(call("Asc", {"A"})), 65);
  EXPECT_EQ(integer(call("Asc", {"Apple"})), 65);
  EXPECT_EQ(integer(call("Asc", {Variant::integer(3)})), 51);
  EXPECT_EQ(integer(call("Asc", {"\xE2\x82\xAC"})), 128);  // the euro sign is 128 in Windows-1252
  EXPECT_EQ(integer(call("Asc", {"\xC3\xBF"})), 255);
  EXPECT_EQ(integer(call("AscW", {"\xE2\x82\xAC"})), 8364);
  EXPECT_EQ(integer(call("AscW", {"\xEF\xBF\xBF"})), -1);
  EXPECT_EQ(integer(call("AscB", {"A"})), 65);
  EXPECT_EQ(errorOf("Asc", {kNull}), 94);
  EXPECT_EQ(errorOf("Asc", {Variant()}), 5);
  EXPECT_EQ(errorOf("Asc", {""}), 5);

  EXPECT_EQ(str(call("Chr", {65})), "A");
  EXPECT_EQ(str(call("Chr", {62})), ">");
  EXPECT_EQ(str(call("Chr", {120.5})), "x");
  EXPECT_EQ(str(call("Chr", {119.5})), "x");
  EXPECT_EQ(str(call("Chr", {"120"})), "x");
  EXPECT_EQ(str(call("Chr", {128})), "\xE2\x82\xAC");
  EXPECT_EQ(str(call("Chr", {0})), std::string(1, '\0'));
  EXPECT_EQ(errorOf("Chr", {-1}), 5);
  EXPECT_EQ(errorOf("Chr", {256}), 5);
  EXPECT_EQ(str(call("ChrW", {8364})), "\xE2\x82\xAC");
  EXPECT_EQ(str(call("ChrW", {-1})), "\xEF\xBF\xBF");
  EXPECT_EQ(errorOf("ChrW", {65536}), 5);
  EXPECT_EQ(errorOf("ChrW", {-32769}), 5);
}

TEST(LibStrings, HexAndOct) {
  EXPECT_EQ(str(call("Hex", {5})), "5");
  EXPECT_EQ(str(call("Hex", {10})), "A");
  EXPECT_EQ(str(call("Hex", {459})), "1CB");
  EXPECT_EQ(str(call("Hex", {255})), "FF");
  EXPECT_EQ(str(call("Hex", {Variant::integer(-1)})), "FFFF");
  EXPECT_EQ(str(call("Hex", {Variant::long_(-1)})), "FFFFFFFF");
  EXPECT_EQ(str(call("Hex", {Variant::long_(-32768)})), "FFFF8000");
  EXPECT_EQ(str(call("Hex", {228.5})), "E4");
  EXPECT_EQ(str(call("Hex", {-2147483647.5})), "80000000");
  EXPECT_EQ(str(call("Hex", {"17"})), "11");
  EXPECT_EQ(str(call("Hex", {Variant()})), "0");
  EXPECT_TRUE(call("Hex", {kNull}).isNull());
  EXPECT_EQ(errorOf("Hex", {2147483647.5}), 6);
  EXPECT_EQ(errorOf("Hex", {"test"}), 13);
  EXPECT_EQ(str(call("Oct", {4})), "4");
  EXPECT_EQ(str(call("Oct", {8})), "10");
  EXPECT_EQ(str(call("Oct", {459})), "713");
  EXPECT_EQ(str(call("Oct", {Variant::integer(-1)})), "177777");
  EXPECT_EQ(str(call("Oct", {Variant::long_(-32768)})), "37777700000");
  EXPECT_EQ(str(call("Oct", {9.5})), "12");
  EXPECT_TRUE(call("Oct", {kNull}).isNull());
}

TEST(LibStrings, EscapeAndUnescape) {
  EXPECT_EQ(str(call("Escape", {"a b"})), "a%20b");
  EXPECT_EQ(str(call("Escape", {"A-z_0.9*@+/"})), "A-z_0.9*@+/");
  EXPECT_EQ(str(call("Escape", {"\xC3\xA4"})), "%E4");
  EXPECT_EQ(str(call("Escape", {"\xE2\x82\xAC"})), "%u20AC");
  EXPECT_EQ(str(call("Escape", {"100%"})), "100%25");
  EXPECT_EQ(str(call("Unescape", {"a%20b%E4%u20AC"})), "a b\xC3\xA4\xE2\x82\xAC");
  EXPECT_EQ(str(call("Unescape", {"100%"})), "100%");
  EXPECT_EQ(str(call("Unescape", {"%zz%u12"})), "%zz%u12");
  EXPECT_TRUE(call("Escape", {kNull}).isNull());
}

TEST(LibStrings, OptionalArgumentsMayBeMarkedMissing) {
  EXPECT_EQ(lng(call("InStrRev", {"abcabc", "c", missing(), 1})), 6);
  EXPECT_EQ(strings(call("Split", {"a b", missing(), missing(), 1})), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
