// The built-in system code's helpers, used from templates as page scripts
// use them.
#include <gtest/gtest.h>

#include <string>

#include "agscript_fixture.h"

namespace tw::testing {
namespace {

class SystemCodeTest : public ScriptProject {
 protected:
  void SetUp() override {
    ScriptProject::SetUp();
    start();
    ASSERT_EQ(projErr(), "");
    controls->Item(1);
    setCurrent("Orders", "total");
  }
  // Runs a template at the table and field level.
  std::string page(const std::string& templ) {
    std::string out = run(templ, 2);
    EXPECT_EQ(projErr(), "") << templ;
    return out;
  }
};

TEST_F(SystemCodeTest, PhpStringLiterals) {
  // PHP reads \\ as one backslash and \' as a quote inside '...'.
  EXPECT_EQ(page("<!--##=PhpString(\"it's C:\\\")##-->"), "'it\\'s C:\\\\'");
  EXPECT_EQ(page("<!--##=PhpString(\"\")##-->|<!--##=PhpString(Null)##-->|<!--##=PhpString(12)##-->"),
            "''|''|'12'");
  EXPECT_EQ(page("<!--##=PhpString(\"a\\'b\")##-->"), "'a\\\\\\'b'");
}

TEST_F(SystemCodeTest, PhpBool) {
  EXPECT_EQ(page("<!--##=PhpBool(TABLE.TblGen)##--> <!--##=PhpBool(FIELD.FldIsPrimaryKey)##--> "
                 "<!--##=PhpBool(\"True\")##-->"),
            "true false true");
}

TEST_F(SystemCodeTest, HtmlEncoding) {
  EXPECT_EQ(page("<!--##=HtmlEncode(\"<a href=\"\"x\"\">Tom & Jerry's</a>\")##-->"),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&#39;s&lt;/a&gt;");
  EXPECT_EQ(page("<!--##=HtmlEncode(\"&amp;\")##-->"), "&amp;amp;") << "an entity is text too";
  EXPECT_EQ(page("<!--##=FieldCaption(FIELD)##-->|<!--##=TableCaption(TABLE)##-->"),
            "&lt;total&gt;|Orders &amp; more");
  proj->db()
      ->tables()
      .Item(Variant("Orders"))
      ->Fields()
      .Item(Variant("total"))
      ->setSetting("FldCaption", Variant(""));
  proj->db()->tables().Item(Variant("Orders"))->setSetting("TblCaption", Variant(""));
  EXPECT_EQ(page("<!--##=FieldCaption(FIELD)##-->|<!--##=TableCaption(TABLE)##-->"), "total|Orders")
      << "without a caption the name is shown";
}

TEST_F(SystemCodeTest, SqlNamesUseTheDatabaseQuotes) {
  EXPECT_EQ(
      page("<!--##=SqlName(\"order\")##--> <!--##=FieldSqlName(FIELD)##--> <!--##=SqlName(\"a`b\")##-->"),
      "`order` `total` `a``b`");
  AGPDatabase* db = proj->db();
  db->setSetting("DBQuoteS", Variant("["));
  db->setSetting("DBQuoteE", Variant("]"));
  EXPECT_EQ(page("<!--##=SqlName(\"Order Details\")##--> <!--##=SqlName(\"x]y[z\")##-->"),
            "[Order Details] [x]]y[z]");
  db->setSetting("DBQuoteS", Variant("\""));
  db->setSetting("DBQuoteE", Variant("\""));
  EXPECT_EQ(page("<!--##=SqlName(\"ORDERS\")##-->"), "\"ORDERS\"");
  db->setSetting("DBQuoteS", Variant(""));
  db->setSetting("DBQuoteE", Variant(""));
  EXPECT_EQ(page("<!--##=SqlName(\"plain\")##-->"), "plain");
}

TEST_F(SystemCodeTest, KeyFieldLists) {
  EXPECT_EQ(page("<!--##=KeyFieldNames(TABLE, \",\")##-->"), "id");
  AGPFields& fields = proj->db()->tables().Item(Variant("Orders"))->Fields();
  fields.Item(Variant("total"))->setSetting("FldIsPrimaryKey", Variant(true));
  EXPECT_EQ(page("<!--##=KeyFieldNames(TABLE, \", \")##-->|<!--##=KeyFieldSqlNames(TABLE, \" AND \")##-->"),
            "id, total|`id` AND `total`");
  for (int32_t i = 0; i < fields.Count(); ++i) fields.at(i)->setSetting("FldIsPrimaryKey", Variant(false));
  EXPECT_EQ(page("[<!--##=KeyFieldNames(TABLE, \",\")##-->]"), "[]");
}

TEST_F(SystemCodeTest, IndentTextFollowsTheBlocksLine) {
  EXPECT_EQ(page("x<!--##=IndentText(\"1\" & vbCrLf & \"2\")##-->"), "x1\r\n2")
      << "no ~ block ran yet: no indentation";
  EXPECT_EQ(page("<?php\r\n\t  <!--##~IndentText(\"$a = 1;\" & vbCrLf & \"$b = 2;\" & vbCrLf & \"$c = "
                 "3;\")##-->\r\n?>"),
            "<?php\r\n\t  $a = 1;\r\n\t  $b = 2;\r\n\t  $c = 3;\r\n?>");
}

}  // namespace
}  // namespace tw::testing
