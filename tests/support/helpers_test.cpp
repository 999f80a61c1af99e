#include "support/helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "automation/date.h"
#include "support/engine_context.h"
#include "support/expect_error.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

Variant dateOf(int y, int mo, int d, int h, int mi, int s) {
  DateParts p;
  p.year = y, p.month = mo, p.day = d, p.hour = h, p.minute = mi, p.second = s;
  double serial = 0;
  EXPECT_TRUE(partsToDate(p, serial));
  return Variant::date(serial);
}

TEST(KeyNameTest, RemovesSlashesAndBlanks) {
  EXPECT_EQ(KeyName("Tarnwick"), "Tarnwick");
  EXPECT_EQ(KeyName(" My / Product/Name "), "MyProductName");
  EXPECT_EQ(KeyName("a\tb\\c"), "a\tb\\c");  // only "/" and blanks go
  EXPECT_EQ(KeyName("/ /"), "");
}

TEST(SpecialFolderPathTest, DocumentsFromTheOverride) {
  ScopedEnv docs("TARNWICK_DOCUMENTS", "  /data/docs  ");
  EXPECT_EQ(SpecialFolderPath(0, kFolderDocuments), "/data/docs");
}

TEST(SpecialFolderPathTest, DocumentsFromTheXdgVariable) {
  ScopedEnv docs("TARNWICK_DOCUMENTS", nullptr);
  ScopedEnv xdg("XDG_DOCUMENTS_DIR", "/xdg/Docs");
  EXPECT_EQ(SpecialFolderPath(0, kFolderDocuments), "/xdg/Docs");
}

TEST(SpecialFolderPathTest, DocumentsFromUserDirsFile) {
  fs::path root = fs::path(std::getenv("TARNWICK_TEST_ROOT")) / "userdirs";
  fs::create_directories(root / "config");
  std::ofstream(root / "config" / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                       "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                                       "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
  ScopedEnv docs("TARNWICK_DOCUMENTS", nullptr);
  ScopedEnv xdgDocs("XDG_DOCUMENTS_DIR", nullptr);
  ScopedEnv xdgDesk("XDG_DESKTOP_DIR", nullptr);
  ScopedEnv config("XDG_CONFIG_HOME", (root / "config").c_str());
  ScopedEnv home("HOME", "/home/someone");
  EXPECT_EQ(SpecialFolderPath(0, kFolderDocuments), "/home/someone/Dokumente");
  EXPECT_EQ(SpecialFolderPath(0, kFolderDesktop), "/home/someone/Schreibtisch");
}

TEST(SpecialFolderPathTest, DocumentsBelowHomeAsTheLastResort) {
  fs::path root = fs::path(std::getenv("TARNWICK_TEST_ROOT")) / "nouserdirs";
  fs::create_directories(root);
  ScopedEnv docs("TARNWICK_DOCUMENTS", nullptr);
  ScopedEnv xdgDocs("XDG_DOCUMENTS_DIR", nullptr);
  ScopedEnv config("XDG_CONFIG_HOME", root.c_str());
  ScopedEnv home("HOME", "/home/other");
  EXPECT_EQ(SpecialFolderPath(0, kFolderDocuments), "/home/other/Documents");
  EXPECT_EQ(SpecialFolderPath(0, kFolderProfile), "/home/other");
}

TEST(SpecialFolderPathTest, UnknownFolderIsEmpty) { EXPECT_EQ(SpecialFolderPath(0, 12345), ""); }

TEST(PercentOfTest, Examples) {
  EXPECT_EQ(PercentOf(7, 0), 100);  // a total of 0 counts as 1
  EXPECT_EQ(PercentOf(1, 8), 12);   // 12.5 rounds to even
  EXPECT_EQ(PercentOf(3, 8), 38);   // 37.5 rounds to even
  EXPECT_EQ(PercentOf(5, 8), 62);   // 62.5 rounds to even
  EXPECT_EQ(PercentOf(1, 3), 33);
  EXPECT_EQ(PercentOf(2, 3), 67);
  EXPECT_EQ(PercentOf(0, 5), 0);
  EXPECT_EQ(PercentOf(9, 8), 100);  // the part never exceeds the total
  EXPECT_EQ(PercentOf(0, 0), 0);
  EXPECT_EQ(PercentOf(2000000000, 2000000000), 100);
  EXPECT_EQ(PercentOf(-1, 8), -12);
  EXPECT_TW_ERROR(PercentOf(-2000000000, 1), kErrOverflow);
}

TEST(PadZeroTest, PadsToTheWidth) {
  EXPECT_EQ(PadZero(5, 3), "005");
  EXPECT_EQ(PadZero(2011, 4), "2011");
  EXPECT_EQ(PadZero(12345, 2), "12345");
  EXPECT_EQ(PadZero(7, 0), "7");
  EXPECT_EQ(PadZero(7, -2), "7");
  EXPECT_EQ(PadZero(-5, 3), "0-5");   // zeros go before the whole text
  EXPECT_EQ(PadZero("é", 3), "00é");  // characters, not bytes
}

TEST(DateStampTest, DatesAndOtherValues) {
  EXPECT_EQ(DateStamp(dateOf(2011, 1, 2, 3, 4, 5)), "2011/01/02 03:04:05");
  EXPECT_EQ(DateStamp(dateOf(999, 12, 31, 23, 59, 59)), "0999/12/31 23:59:59");
  EXPECT_EQ(DateStamp(dateOf(2024, 2, 29, 0, 0, 0)), "2024/02/29 00:00:00");
  EXPECT_EQ(DateStamp(Variant("1/2/2011 3:04:05 PM")), "2011/01/02 15:04:05");
  EXPECT_EQ(DateStamp(Variant("not a date")), "not a date");
  EXPECT_EQ(DateStamp(Variant(42)), "42");
  EXPECT_EQ(DateStamp(Variant()), "");
}

TEST(SortCommaListTest, SortsTrimmedItems) {
  EXPECT_EQ(SortCommaList(" b , a ,c "), "a,b,c");
  EXPECT_EQ(SortCommaList(""), "");
  EXPECT_EQ(SortCommaList("   "), "");
  EXPECT_EQ(SortCommaList(" only "), "only");
  EXPECT_EQ(SortCommaList("b,B,a"), "B,a,b");  // binary order: capitals first
  EXPECT_EQ(SortCommaList("id2,id10,id1"), "id1,id10,id2");
  EXPECT_EQ(SortCommaList("x,,a"), ",a,x");  // an empty item sorts first
  EXPECT_EQ(SortCommaList("c,b,a,c"), "a,b,c,c");
  EXPECT_EQ(SortCommaList(SortCommaList("k2, k1")), SortCommaList("k1,k2"));
}

TEST(QuoteTextTest, QuotesAndStrips) {
  EXPECT_EQ(QuoteText("say \"hi\"", 1), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(QuoteText("a\"b", 1), "\"a\"\"b\"");
  EXPECT_EQ(QuoteText("  'abc'  ", 0), "abc");
  EXPECT_EQ(QuoteText("\"abc\"", 2), "\"\"abc\"\"");
  EXPECT_EQ(QuoteText("", 1), "\"\"");
  EXPECT_EQ(QuoteText(" x ", -1), "x");
}

TEST(ToScriptLiteralTest, Lines) {
  EXPECT_EQ(ToScriptLiteral("abc"), "\"abc\"");
  EXPECT_EQ(ToScriptLiteral(""), "");
  EXPECT_EQ(ToScriptLiteral("A\r\nB", "J"), "\"A\"&vbCrLf&J&\"B\"");
  EXPECT_EQ(ToScriptLiteral("A\r\nB"), "\"A\"&vbCrLf&\"B\"");
  EXPECT_EQ(ToScriptLiteral("A\r\n", "ind"), "\"A\"&vbCrLf&ind&\"\"");
  EXPECT_EQ(ToScriptLiteral("\r\n"), "\"\"&vbCrLf&\"\"");
  EXPECT_EQ(ToScriptLiteral("say \"x\"\r\n\"y\"", "J"), "\"say \"\"x\"\"\"&vbCrLf&J&\"\"\"y\"\"\"");
  EXPECT_EQ(ToScriptLiteral("a\nb\rc"), "\"a\nb\rc\"");  // only CR LF splits
  EXPECT_EQ(ToScriptLiteral("1\r\n2\r\n3", "J"), "\"1\"&vbCrLf&J&\"2\"&vbCrLf&J&\"3\"");
}

TEST(FieldTypeCategoryTest, Groups) {
  for (int t : {20, 3, 2, 16, 4, 5, 131, 6}) EXPECT_EQ(FieldTypeCategory(t), 1) << t;
  for (int t : {7, 133, 134, 135}) EXPECT_EQ(FieldTypeCategory(t), 2) << t;
  for (int t : {201, 203, 129, 130, 200, 202}) EXPECT_EQ(FieldTypeCategory(t), 3) << t;
  EXPECT_EQ(FieldTypeCategory(11), 4);
  EXPECT_EQ(FieldTypeCategory(72), 5);
  for (int t : {0, 8, 14, 17, 18, 19, 21, 128, 132, 139, 204, 205, -1})
    EXPECT_EQ(FieldTypeCategory(t), 6) << t;
}

TEST(CharsetTest, CodePageTable) {
  EXPECT_EQ(codePageCharset("1252"), "iso-8859-1");
  EXPECT_EQ(codePageCharset("65001"), "utf-8");
  EXPECT_EQ(codePageCharset("57002"), "");
  EXPECT_EQ(codePageCharset("57011"), "");
  EXPECT_EQ(codePageCharset(std::string(" 1252\0", 6)), "iso-8859-1");
  EXPECT_EQ(codePageCharset(""), "");
  EXPECT_EQ(codePageCharset("12x"), "");
  EXPECT_EQ(codePageCharset("37"), "iso-8859-1");
  EXPECT_EQ(codePageCharset("870"), "iso-8859-2");
  EXPECT_EQ(codePageCharset("28593"), "iso-8859-3");
  EXPECT_EQ(codePageCharset("1257"), "iso-8859-4");
  EXPECT_EQ(codePageCharset("20866"), "iso-8859-5");
  EXPECT_EQ(codePageCharset("720"), "iso-8859-6");
  EXPECT_EQ(codePageCharset("875"), "iso-8859-7");
  EXPECT_EQ(codePageCharset("38598"), "iso-8859-8");
  EXPECT_EQ(codePageCharset("20905"), "iso-8859-9");
  EXPECT_EQ(codePageCharset("28605"), "iso-8859-15");
  EXPECT_EQ(codePageCharset("936"), "gb2312");
  EXPECT_EQ(codePageCharset("950"), "big5");
  EXPECT_EQ(codePageCharset("51932"), "shift_jis");
  EXPECT_EQ(codePageCharset("1361"), "euc-kr");
  EXPECT_EQ(codePageCharset("20838"), "windows-874");
  EXPECT_EQ(codePageCharset("1258"), "windows-1258");
  EXPECT_EQ(codePageCharset("1201"), "utf-16");
  EXPECT_EQ(codePageCharset("65000"), "utf-7");
  EXPECT_EQ(codePageCharset("28603"), "");  // ISO-8859-13 has no entry
}

TEST(CharsetTest, LocaleCodeSets) {
  EXPECT_EQ(codeSetCodePage("UTF-8"), 65001);
  EXPECT_EQ(codeSetCodePage("utf8"), 65001);
  EXPECT_EQ(codeSetCodePage("ISO-8859-1"), 28591);
  EXPECT_EQ(codeSetCodePage("ISO-8859-15"), 28605);
  EXPECT_EQ(codeSetCodePage("CP1252"), 1252);
  EXPECT_EQ(codeSetCodePage("windows-1251"), 1251);
  EXPECT_EQ(codeSetCodePage("ANSI_X3.4-1968"), 20127);
  EXPECT_EQ(codeSetCodePage("KOI8-R"), 20866);
  EXPECT_EQ(codeSetCodePage("EUC-JP"), 51932);
  EXPECT_EQ(codeSetCodePage("Shift_JIS"), 932);
  EXPECT_EQ(codeSetCodePage("no such set"), 0);
}

class SystemCharsetTest : public tw::testing::FreshEngine {};

TEST_F(SystemCharsetTest, FollowsTheLocale) {
  {
    ScopedEnv all("LC_ALL", "C.UTF-8");
    SystemCharset();
    EXPECT_EQ(engine().systemCodePage, "65001");
    EXPECT_EQ(engine().systemCharset, "utf-8");
  }
  {
    ScopedEnv all("LC_ALL", "C");
    SystemCharset();
    EXPECT_EQ(engine().systemCodePage, "20127");  // ASCII
    EXPECT_EQ(engine().systemCharset, "iso-8859-1");
  }
}

}  // namespace
}  // namespace tw
