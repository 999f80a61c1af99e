// The system code helpers the default template writes PHP with: literals,
// value lists, output names, control conditions, master links, charts and
// password hashes. Where PHP decides what is right (how a literal reads
// back, whether a hash verifies) PHP is asked.
#include <gtest/gtest.h>

#include <string>

#include "template_default_fixture.h"

namespace tw::testing {
namespace {

class TemplateHelpers : public DefaultTemplate {
 protected:
  // The SHA-256 digest of a text's UTF-8 bytes in hexadecimal.
  std::string sha256Hex(const std::string& text);
};

// A VBScript string literal of a text.
std::string vbs(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"')
      out += "\"\"";
    else if (c == '\r')
      out += "\" & vbCr & \"";
    else if (c == '\n')
      out += "\" & vbLf & \"";
    else
      out += c;
  }
  return out + "\"";
}

std::string hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// ---------------------------------------------------------------- PHP literals

TEST_F(TemplateHelpers, PhpTextKeepsQuotesBackslashesAndLineBreaksOnOneLine) {
  EXPECT_EQ(eval("<!--##=PhpText(\"it's C:\\\")##-->"), "'it\\'s C:\\\\'");
  EXPECT_EQ(eval("<!--##=PhpText(\"a\" & vbCrLf & \"b\")##-->"), "'a' . \"\\r\\n\" . 'b'");
  EXPECT_EQ(eval("<!--##=PhpText(Null)##-->|<!--##=PhpText(12)##-->"), "''|'12'");
  EXPECT_EQ(eval("<!--##=PhpText(\"x\" & vbLf & vbLf)##-->").find('\n'), std::string::npos);
}

TEST_F(TemplateHelpers, PhpTextReadsBackAsTheSameBytesInPhp) {
  if (!phpInstalled()) GTEST_SKIP() << "php is not installed (Debian package php-cli)";
  const std::vector<std::string> texts = {"plain",
                                          "it's",
                                          "C:\\path\\",
                                          "\\'",
                                          "two\r\nlines\nand\rmore",
                                          "$var {$x} \\n",
                                          "?> <?php echo 1;",
                                          "Åse Øvrebø €",
                                          "",
                                          "\r\n"};
  for (const std::string& t : texts) {
    const std::string literal = eval("<!--##=PhpText(" + vbs(t) + ")##-->");
    EXPECT_EQ(runCommand("php -n -r " + shellQuote("echo bin2hex(" + literal + ");")), hex(t)) << literal;
  }
}

TEST_F(TemplateHelpers, PhpValuesByKind) {
  EXPECT_EQ(eval("<!--##=PhpValue(12)##--> <!--##=PhpValue(1.5)##--> <!--##=PhpValue(True)##--> "
                 "<!--##=PhpValue(Null)##--> <!--##=PhpValue(Empty)##--> <!--##=PhpValue(\"12\")##-->"),
            "12 1.5 true null null '12'");
  EXPECT_EQ(eval("<!--##=PhpNumberOrText(\"10\")##--> <!--##=PhpNumberOrText(\" -2.50 \")##--> "
                 "<!--##=PhpNumberOrText(\"1,000\")##--> <!--##=PhpNumberOrText(\"1e5\")##--> "
                 "<!--##=PhpNumberOrText(\"abc\")##--> <!--##=PhpNumberOrText(7)##-->"),
            "10 -2.50 '1,000' '1e5' 'abc' 7");
  EXPECT_EQ(eval("<!--##=PhpComment(\"a?>b\" & vbCrLf & \"c\")##-->"), "a? >b c");
}

TEST_F(TemplateHelpers, ListsAndValueLists) {
  EXPECT_EQ(
      eval("<!--##=PhpList(SplitList(\" a, ,b ,\", \",\"))##--> <!--##=PhpList(SplitList(\"\", \",\"))##-->"),
      "['a', 'b'] []");
  EXPECT_EQ(eval("<!--##=UBound(SplitList(\" , \", \",\"))##-->"), "-1");
  EXPECT_EQ(eval("<!--##=PhpRecPerPageList(\"10, 20,all,,50\")##-->"), "[10, 20, 'ALL', 50]");
  // Lines of "value","label" with quotes doubled inside; a line without the
  // quoted form is value and label; blank lines and LF-only breaks.
  EXPECT_EQ(eval("<!--##=PhpValueList(\"\"\"Y\"\",\"\"Yes \"\"\"\"sure\"\"\"\"\"\"\" & vbCrLf & vbCrLf & "
                 "\"  \"\"N\"\" , \"\"No\"\"\" & vbLf & \"maybe\")##-->"),
            "[['Y', 'Yes \"sure\"'], ['N', 'No'], ['maybe', 'maybe']]");
  EXPECT_EQ(eval("<!--##=PhpValueList(\"\")##-->"), "[]");
}

// ---------------------------------------------------------------- names

TEST_F(TemplateHelpers, FilePathsRelativeToTheDestination) {
  struct Case {
    const char* destination;
    const char* path;
    const char* expected;
  } cases[] = {
      {"/srv/shop/app", "/srv/shop/shop.sqlite", "../shop.sqlite"},
      {"/srv/shop/app", "/srv/shop/data/shop.sqlite", "../data/shop.sqlite"},
      {"/srv/shop/app", "/srv/shop/app/db/shop.sqlite", "db/shop.sqlite"},
      {"/srv/shop/app/", "/srv/other/x.sqlite", "../../other/x.sqlite"},
      {"/home/me/app", "/var/lib/shop.sqlite", "/var/lib/shop.sqlite"},  // only the root in common
      {"/srv/shop/app", "shop.sqlite", "shop.sqlite"},                      // not a whole path
      {"", "/srv/shop.sqlite", "/srv/shop.sqlite"},
      {"C:\\site\\app", "C:\\site\\shop.sqlite", "C:\\site\\shop.sqlite"},
  };
  for (const Case& c : cases) {
    proj->setSetting("Destination", Variant(c.destination));
    EXPECT_EQ(eval(std::string("<!--##=PathFromDestination(\"") + c.path + "\")##-->"), c.expected)
        << c.destination << " " << c.path;
  }
}

TEST_F(TemplateHelpers, OutputNamesFollowTheNamingSettings) {
  const std::string t = "<!--##=OutputFileName(\"Orders\", \"list\", \"php\")##-->";
  EXPECT_EQ(eval(t), "Orderslist.php");
  proj->setSetting("OutputNameType", Variant("Infix"));
  proj->setSetting("OutputNameExt", Variant("_"));
  EXPECT_EQ(eval(t), "Orders_list.php");
  EXPECT_EQ(eval("<!--##=OutputFileName(\"\", \"list\", \"php\")##-->"), "list.php");
  proj->setSetting("OutputNameType", Variant("prefix"));
  proj->setSetting("OutputNameExt", Variant("x"));
  EXPECT_EQ(eval(t), "xOrderslist.php");
  proj->setSetting("OutputNameType", Variant("SUFFIX"));
  EXPECT_EQ(eval(t), "Orderslistx.php");
  proj->setSetting("OutputNameType", Variant("infix"));
  proj->setSetting("OutputNameExt", Variant("_X"));
  proj->setSetting("OutputNameLCase", Variant(true));
  EXPECT_EQ(eval(t), "orders_xlist.php");
  proj->setSetting("P_Ext", Variant("php5"));
  EXPECT_EQ(eval("<!--##=OutputFileName(\"Orders\", \"list\", \"*\")##-->"), "orders_xlist.php5");
  proj->setSetting("P_Ext", Variant(""));
  EXPECT_EQ(eval("<!--##=OutputFileName(\"Orders\", \"list\", \"*\")##-->"), "orders_xlist.php");
  EXPECT_EQ(eval("<!--##=ProjectCssFile()##-->"), "shop_demo.css");
  proj->setSetting("OutputNameLCase", Variant(false));
  for (auto [folder, link] : std::initializer_list<std::pair<const char*, const char*>>{
           {"~\\css\\site", "css/site/Shop_Demo.css"},
           {"public", "Shop_Demo.css"},
           {"Public\\css", "css/Shop_Demo.css"}}) {
    proj->setSetting("AppCssFolder", Variant(folder));
    EXPECT_EQ(eval("<!--##=ProjectCssFile()##-->"), link) << "linked from the pages in public/: " << folder;
  }
}

TEST_F(TemplateHelpers, PagesOfControlsForTables) {
  auto page = [&](const std::string& t, const std::string& id) {
    return eval("<!--##=TablePageFile(FindTable(\"" + t + "\"), \"" + id + "\")##-->");
  };
  EXPECT_EQ(page("customers", "list"), "customerslist.php");
  EXPECT_EQ(page("customers", "search"), "customerssrch.php") << "TblSrchType BOTH";
  EXPECT_EQ(page("orders", "search"), "") << "TblSrchType BASIC";
  EXPECT_EQ(page("customers", "report"), "") << "a report control writes no page for a table";
  EXPECT_EQ(page("sales_report", "report"), "sales_reportreport.php");
  EXPECT_EQ(page("sales_report", "list"), "") << "nor a table control for a report";
  EXPECT_EQ(page("sales_report", "rptinfo"), "sales_reportinfo.php");
  EXPECT_EQ(page("order_totals", "view"), "");
  EXPECT_EQ(page("customers", "nosuchcontrol"), "");
  EXPECT_EQ(eval("<!--##=TablePageFile(FindTable(\"nosuchtable\"), \"list\")##-->"), "");
  table("customers")->setSetting("TblView", Variant(false));
  EXPECT_EQ(page("customers", "view"), "") << "the control's condition";
  table("customers")->setSetting("TblGen", Variant(false));
  table("customers")->setSetting("TblSysGenUnits", Variant("list,edit"));
  EXPECT_EQ(page("customers", "list"), "customerslist.php") << "named in TblSysGenUnits";
  EXPECT_EQ(page("customers", "delete"), "");
}

TEST_F(TemplateHelpers, ProjectPagesAndTheDefaultPage) {
  auto page = [&](const std::string& id) { return eval("<!--##=ProjectPageFile(\"" + id + "\")##-->"); };
  proj->setSetting("OutputNameType", Variant("prefix"));
  proj->setSetting("OutputNameExt", Variant("x"));
  EXPECT_EQ(page("config"), "config.php") << "simple pages keep their names";
  EXPECT_EQ(page("index"), "index.php");
  proj->setSetting("P_DefaultPage", Variant("start.php"));
  EXPECT_EQ(page("index"), "start.php");
  EXPECT_EQ(page("login"), "") << "SecType None";
  proj->setSetting("SecType", Variant("Static"));
  EXPECT_EQ(page("login"), "login.php");
  EXPECT_EQ(page("register"), "") << "registration needs a login table";
  proj->setSetting("SecType", Variant("Both"));
  proj->setSetting("SecRegisterPage", Variant(true));
  EXPECT_EQ(page("register"), "register.php");
  EXPECT_EQ(page("list"), "") << "not a project-wide control";
}

TEST_F(TemplateHelpers, LookingUpControlsAndTablesLeavesTheCurrentOnes) {
  controls->Item(3);
  table("orders")->Fields().SetItem(Variant("status"));
  table("sales_report")->Fields().SetItem(Variant("status"));
  proj->db()->tables().SetItem(Variant("orders"));  // table() makes the table it returns current
  EXPECT_EQ(eval("<!--##=TablePageFile(FindTable(\"customers\"), \"edit\")##-->"
                 "<!--##=TableInfoFile(FindTable(\"sales_report\"))##-->"
                 "<!--##=ChartAggregate(FindTable(\"sales_report\").Charts.Seq(2), "
                 "FindTable(\"sales_report\"))##-->"),
            "customersedit.phpsales_reportinfo.phpAVG");
  EXPECT_EQ(controls->curIndex(), 3);
  EXPECT_EQ(proj->db()->tables().curName(), "orders");
  EXPECT_EQ(table("orders")->Fields().curName(), "status");
  EXPECT_EQ(table("sales_report")->Fields().curName(), "status") << "a field looked up for a chart";
}

// ---------------------------------------------------------------- conditions

TEST_F(TemplateHelpers, ControlConditions) {
  auto holds = [&](const std::string& cond, const std::string& t = "customers") {
    return eval("<!--##=ConditionHolds(\"" + cond + "\", FindTable(\"" + t + "\"))##-->");
  };
  EXPECT_EQ(holds(""), "True");
  EXPECT_EQ(holds("table/TblType/eq/TABLE|VIEW"), "True");
  EXPECT_EQ(holds("table/TblType/eq/TABLE|VIEW", "order_totals"), "False");
  EXPECT_EQ(holds("table/TblName/in/CUST"), "True") << "in: contained, ignoring case";
  EXPECT_EQ(holds("table/TblName/ni/cust"), "False");
  EXPECT_EQ(holds("table/TblType/eq"), "True") << "an item of three parts holds";
  EXPECT_EQ(holds("table/NoSuchSetting/eq/x"), "True");
  EXPECT_EQ(holds("table/TblView/eq/true"), "True") << "Booleans compare as Booleans";
  EXPECT_EQ(holds("table/TblView/eq/false"), "False");
  EXPECT_EQ(holds("table/TblVar/eq/%TblName"), "True") << "%Name is another setting of the same object";
  EXPECT_EQ(holds("table/TblSeq/gt/1", "orders"), "True");
  EXPECT_EQ(holds("table/TblSeq/gt/1"), "False");
  EXPECT_EQ(holds("table/TblSeq/le/2", "orders"), "True");
  EXPECT_EQ(holds("table/TblSeq/ge/9", "orders"), "False");
  EXPECT_EQ(holds("table/TblSeq/lt/2"), "True");
  EXPECT_EQ(holds("table/TblSeq/ne/1"), "False");
  EXPECT_EQ(holds("proj/SecType/eq/None, table/TblType/eq/VIEW"), "False") << "every item must hold";
  EXPECT_EQ(holds("proj/SecType/eq/None, table/TblType/eq/TABLE"), "True");
  EXPECT_EQ(holds("db/DBType/eq/sqlite"), "True");
  EXPECT_EQ(holds("ctrl/CtrlID/eq/nothing,field/FldName/eq/nothing"), "True") << "other objects hold";
  EXPECT_EQ(eval("<!--##=ConditionHolds(\"table/TblType/eq/NONE\", Nothing)##-->"), "True")
      << "no table: table items hold";
}

TEST_F(TemplateHelpers, SettingTextsAndDefaults) {
  EXPECT_EQ(eval("<!--##=IsYes(\"True\")##--><!--##=IsYes(\" "
                 "yes\")##--><!--##=IsYes(\"1\")##--><!--##=IsYes(\"-1\")##-->"
                 "<!--##=IsYes(\"0\")##--><!--##=IsYes(\"\")##--><!--##=IsYes(\"False\")##--><!--##=IsYes("
                 "Null)##-->"),
            "TrueTrueTrueTrueFalseFalseFalseFalse");
  EXPECT_EQ(eval("<!--##=CssValue(\"#336699\")##-->|<!--##=CssValue(\"14px\")##-->|"
                 "<!--##=CssValue(\"Verdana, 'DejaVu Sans', sans-serif\")##-->|"
                 "<!--##=CssValue(\"red; } body { background: url(x)\")##-->|<!--##=CssValue(\"a<b\")##-->"),
            "#336699|14px|Verdana, 'DejaVu Sans', sans-serif||");
  EXPECT_EQ(eval("<!--##=IsEmpty(FormDefault(FindField(FindTable(\"customers\"), \"created_at\")))##--> "
                 "<!--##=FormDefault(FindField(FindTable(\"customers\"), \"credit_limit\"))##-->"),
            "True 1000");
  // a default the database computes is no form value, but the column may still be left empty
  struct DefaultCase {
    const char* value;
    const char* databaseFills;
  };
  for (const DefaultCase& c : {DefaultCase{"now()", "True"}, DefaultCase{"current_date", "True"},
                               DefaultCase{"NULL", "False"}, DefaultCase{"nextval('s')", "True"},
                               DefaultCase{"", "False"}}) {
    field("customers", "email")->setSetting("FldDefault", Variant(c.value));
    EXPECT_EQ(eval("<!--##=IsEmpty(FormDefault(FindField(FindTable(\"customers\"), \"email\")))##-->"
                   "<!--##=HasDatabaseDefault(FindField(FindTable(\"customers\"), \"email\"))##-->"),
              std::string("True") + c.databaseFills)
        << c.value;
  }
  EXPECT_EQ(eval("<!--##=HasDatabaseDefault(FindField(FindTable(\"customers\"), \"credit_limit\"))##-->"), "True");
  for (auto [bits, number] : {std::pair{"b'0'", "0"}, std::pair{"B'101'", "5"}}) {
    field("customers", "email")->setSetting("FldDefault", Variant(bits));
    EXPECT_EQ(eval("<!--##=FormDefault(FindField(FindTable(\"customers\"), \"email\"))##-->"), number) << bits;
  }
  field("customers", "email")->setSetting("FldDefault", Variant("'quoted'"));
  EXPECT_EQ(eval("<!--##=FormDefault(FindField(FindTable(\"customers\"), \"email\"))##-->"), "'quoted'");
  EXPECT_EQ(eval("<!--##=SearchOperator(FindField(FindTable(\"customers\"), \"email\"))##-->"
                 "<!--##=SearchOperator(FindField(FindTable(\"customers\"), \"credit_limit\"))##-->"),
            "LIKE=")
      << "without FldSrchOpr: LIKE for texts, = for the rest";
  field("customers", "credit_limit")->setSetting("FldSrchOpr", Variant(" between "));
  EXPECT_EQ(eval("<!--##=SearchOperator(FindField(FindTable(\"customers\"), \"credit_limit\"))##-->"),
            "BETWEEN");
}

// ---------------------------------------------------------------- links and charts

TEST_F(TemplateHelpers, MasterLinks) {
  const std::string dump =
      "<!--##For Each l In TableMasters(FindTable(\"orders\"))##--><!--##=l(0)##-->:<!--##=Join(l(1), "
      "\"+\")##-->="
      "<!--##=Join(l(2), \"+\")##-->;<!--##Next##-->";
  EXPECT_EQ(eval(dump), "customers:customer_id=customer_id;employees:employee_id=employee_id;")
      << "the third master has no fields";
  table("orders")->setSetting("TblMasterTbl", Variant("a,b,c"));
  table("orders")->setSetting("TblMasterFld", Variant("x + y,z,w"));
  table("orders")->setSetting("TblDetailFld", Variant("p+q,r+s,"));
  EXPECT_EQ(eval(dump), "a:x+y=p+q;") << "a link whose field lists differ in length is left out";
  table("orders")->setSetting("TblMasterTbl", Variant(""));
  EXPECT_EQ(eval(dump), "");
}

TEST_F(TemplateHelpers, ChartValues) {
  auto chart = [&](const std::string& y) {
    table("sales_report")->Charts().Item(Variant("amounts"))->setSetting("ChartYFldName", Variant(y));
    return eval(
        "<!--##Set c = FindTable(\"sales_report\").Charts.Seq(2)##--><!--##=ChartYField(c)##-->/"
        "<!--##=ChartAggregate(c, FindTable(\"sales_report\"))##-->");
  };
  EXPECT_EQ(chart("total"), "total/AVG") << "the field's FldAggregate";
  EXPECT_EQ(chart("max( total )"), "total/MAX");
  EXPECT_EQ(chart("COUNT(Line Count)"), "Line Count/COUNT");
  EXPECT_EQ(chart("status"), "status/SUM") << "a field without an aggregate";
  EXPECT_EQ(chart("median(total)"), "median(total)/SUM") << "not an aggregate the runtime knows";
}

// ---------------------------------------------------------------- password hashes

std::string TemplateHelpers::sha256Hex(const std::string& text) {
  return eval(
      "<!--##d = Sha256(Utf8Bytes(" + vbs(text) +
      "))##--><!--##For i = 0 To 31##--><!--##=LCase(Right(\"0\" & Hex(d(i)), 2))##--><!--##Next##-->");
}

TEST_F(TemplateHelpers, Sha256OfTheStandardTestMessages) {
  EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(eval("<!--##=Join(Utf8Bytes(\"aé€\"), \",\")##-->"), "97,195,169,226,130,172");
}

TEST_F(TemplateHelpers, PasswordHashesVerifyInPhp) {
  const std::string hash = eval("<!--##=Sha256Crypt(\"admin-secret-1\", \"saltstringsaltst\", 1000)##-->");
  EXPECT_EQ(hash.rfind("$5$rounds=1000$saltstringsaltst$", 0), 0u) << hash;
  const std::string stored = eval("<!--##=StoredPassword(\"Åse's pass\")##-->");
  EXPECT_EQ(stored.substr(0, 15), "$5$rounds=5000$");
  EXPECT_EQ(stored.size(), 15u + 16 + 1 + 43) << stored;
  EXPECT_NE(eval("<!--##=RandomSalt(16)##-->"), eval("<!--##=RandomSalt(16)##-->")) << "a new salt each time";
  const std::string bcrypt = "$2y$10$fq9rsPZBMRVoi3OX4hQM.eXiUc4l4s3ejMDXfMOJOZ2hIHqpzZhQS";
  EXPECT_EQ(eval("<!--##=StoredPassword(\"" + bcrypt + "\")##-->"), bcrypt) << "a hash is kept";
  EXPECT_EQ(eval("<!--##=StoredPassword(\"\")##-->"), "");
  if (!phpInstalled()) GTEST_SKIP() << "php is not installed (Debian package php-cli)";
  EXPECT_EQ(runCommand("php -n -r " +
                       shellQuote("echo crypt('admin-secret-1', '$5$rounds=1000$saltstringsaltst$');")),
            hash);
  const std::string verify =
      "var_export([password_verify($argv[1], $argv[2]), password_verify('wrong', $argv[2])]);";
  EXPECT_EQ(runCommand("php -n -r " + shellQuote(verify) + " " + shellQuote("Åse's pass") + " " +
                       shellQuote(stored)),
            "array (\n  0 => true,\n  1 => false,\n)");
}

}  // namespace
}  // namespace tw::testing
