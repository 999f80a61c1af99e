// Changing a project: set, add-view, add-report, add-chart, reorder and
// remove. Every failure leaves the project file as it was.
#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class EditTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    project = newShop();
  }
  // Runs a command that must fail and checks that the project is untouched.
  RunResult refused(const std::vector<std::string>& args, int code) {
    Snapshot before = snapshot(project);
    RunResult r = run(args);
    EXPECT_EQ(r.code, code) << r;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(snapshot(project) == before) << "the project file changed";
    return r;
  }
  std::string field(const std::string& table, const std::string& name, const std::string& setting) {
    return attribute(project, fieldXPath(table, name), setting);
  }

  fs::path project;
};

// ---------------------------------------------------------------- set

TEST_F(EditTest, SetWritesSettingsOfEachKindOfObjectIntoTheFile) {
  ASSERT_EQ(run({"set", "shop.xml", "BodyTitle=Shop back office", "RecPerPage=50"}).code, 0);
  EXPECT_EQ(attribute(project, "/Project", "BodyTitle"), "Shop back office");
  EXPECT_EQ(attribute(project, "/Project", "RecPerPage"), "50");
  ASSERT_EQ(run({"set", "shop.xml", "orders", "TblCaption=Orders"}).code, 0);
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblCaption"), "Orders");
  ASSERT_EQ(run({"set", "shop.xml", "orders", "total", "FldCaption=Total (net)", "FldTagSize=12"}).code, 0);
  EXPECT_EQ(field("orders", "total", "FldCaption"), "Total (net)");
  EXPECT_EQ(field("orders", "total", "FldTagSize"), "12");
  ASSERT_EQ(run({"set", "shop.xml", "--database", "DBPwd=x y"}).code, 0);
  EXPECT_EQ(attribute(project, "/Project/Database", "DBPwd"), "x y");
  ASSERT_EQ(run({"add-chart", "shop.xml", "orders", "by_day"}).code, 0);
  ASSERT_EQ(run({"set", "shop.xml", "orders", "--chart", "by_day", "ChartWidth=700"}).code, 0);
  EXPECT_EQ(attribute(project, tableXPath("orders") + "/Chart[@ChartName='by_day']", "ChartWidth"), "700");
  // Setting names are found in any letter case.
  ASSERT_EQ(run({"set", "shop.xml", "orders", "tblcaption=All orders"}).code, 0);
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblCaption"), "All orders");
}

TEST_F(EditTest, SetAndShowRoundTrip) {
  ASSERT_EQ(
      run({"set", "shop.xml", "customers", "email", "FldCaption=E-mail", "FldReq=True", "FldTagSize=-3"})
          .code,
      0);
  RunResult r = run({"show", "shop.xml", "customers", "email"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("\nFldCaption = E-mail\n"));
  EXPECT_THAT(r.out, HasSubstr("\nFldReq = True\n"));
  EXPECT_THAT(r.out, HasSubstr("\nFldTagSize = -3\n"));
  RunResult json = run({"show", "shop.xml", "customers", "email", "--json"});
  EXPECT_THAT(json.out, HasSubstr("\"FldReq\": true,"));
  EXPECT_THAT(json.out, HasSubstr("\"FldTagSize\": -3,"));
}

TEST_F(EditTest, SetConvertsValuesByTheSettingsType) {
  // Booleans are written as 1 and 0 whatever form they were given in.
  ASSERT_EQ(run({"set", "shop.xml", "orders", "TblAdd=False", "TblEdit=1", "TblDelete=0"}).code, 0);
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblAdd"), "0");
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblEdit"), "1");
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblDelete"), "0");
  // An empty value clears a setting.
  ASSERT_EQ(run({"set", "shop.xml", "orders", "TblCaption="}).code, 0);
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblCaption"), "");
  // Values that are no value of the type are refused.
  RunResult word = refused({"set", "shop.xml", "orders", "TblAdd=maybe"}, 2);
  EXPECT_THAT(word.err, HasSubstr("TblAdd takes True or False, not \"maybe\""));
  RunResult big = refused({"set", "shop.xml", "orders", "total", "FldTagSize=40000"}, 2);
  EXPECT_THAT(big.err, HasSubstr("FldTagSize takes a whole number from -32768 to 32767, not \"40000\""));
  // One bad value stops the whole command, also the good ones before it.
  refused({"set", "shop.xml", "orders", "TblCaption=X", "TblAdd=maybe"}, 2);
}

TEST_F(EditTest, ATypeSetOnAFieldBringsTheQuotesOfTheType) {
  // The file must read back as written: loading gives quotes by type.
  struct Case {
    std::vector<std::string> settings;
    const char* quote;
  };
  const Case cases[] = {
      {{"FldType=3"}, ""},                                 // text column typed as a number
      {{"FldType=131"}, ""},                               // decimal
      {{"FldType=135"}, "'"},                              // date and time
      {{"FldType=200"}, "'"},                              // text again
      {{"FldType=3", "FldQuoteS='"}, ""},                  // as loading would give them
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"set", "shop.xml", "customers", "email"};
    args.insert(args.end(), c.settings.begin(), c.settings.end());
    ASSERT_EQ(run(args).code, 0) << c.settings[0];
    EXPECT_EQ(field("customers", "email", "FldQuoteS"), c.quote) << c.settings[0];
    EXPECT_EQ(field("customers", "email", "FldQuoteE"), c.quote) << c.settings[0];
    // A later save keeps them.
    ASSERT_EQ(run({"set", "shop.xml", "BodyTitle=x"}).code, 0);
    EXPECT_EQ(field("customers", "email", "FldQuoteS"), c.quote) << c.settings[0];
  }
}

TEST_F(EditTest, SetTakesValueListsWithBarsBetweenTheLines) {
  ASSERT_EQ(run({"set", "shop.xml", "orders", "total", "FldTagValues=\"1\",\"One\"|\"2\",\"Two\""}).code, 0);
  // The file keeps bars; in memory the lines end with CR LF.
  EXPECT_EQ(field("orders", "total", "FldTagValues"), "\"1\",\"One\"|\"2\",\"Two\"");
  RunResult r = run({"show", "shop.xml", "orders", "total"});
  EXPECT_THAT(r.out, HasSubstr("\nFldTagValues = \"1\",\"One\"\\r\\n\"2\",\"Two\"\n"));
}

TEST_F(EditTest, SetWithEscapesReadsLineBreaks) {
  ASSERT_EQ(run({"set", "shop.xml", "-e", "CssStyles=a {}\\nb {}"}).code, 0);
  EXPECT_THAT(run({"show", "shop.xml"}).out, HasSubstr("\nCssStyles = a {}\\nb {}\n"));
  ASSERT_EQ(run({"set", "shop.xml", "CssStyles=a {}\\nb {}"}).code, 0);
  EXPECT_THAT(run({"show", "shop.xml"}).out, HasSubstr("\nCssStyles = a {}\\nb {}\n"));
  EXPECT_EQ(attribute(project, "/Project", "CssStyles"), "a {}\\nb {}");
}

TEST_F(EditTest, SetRefusesUnknownSettingsWithTheCloseNames) {
  RunResult field = refused({"set", "shop.xml", "orders", "total", "FldCaptoin=x"}, 2);
  EXPECT_EQ(field.err, "tarnwick: error: unknown field setting \"FldCaptoin\"; did you mean FldCaption?\n");
  RunResult table = refused({"set", "shop.xml", "orders", "TblRecPerPag=5"}, 2);
  EXPECT_THAT(table.err, HasSubstr("unknown table setting \"TblRecPerPag\"; did you mean TblRecPerPage"));
  RunResult nothing = refused({"set", "shop.xml", "Qwertyuiop=1"}, 2);
  EXPECT_EQ(nothing.err, "tarnwick: error: unknown project setting \"Qwertyuiop\"\n");
}

TEST_F(EditTest, SetRefusesWhatTheFileDoesNotKeepAndPositions) {
  RunResult registryOnly = refused({"set", "shop.xml", "AppCssFolder=css"}, 2);
  EXPECT_THAT(registryOnly.err, HasSubstr("AppCssFolder is not kept in the project file"));
  EXPECT_THAT(registryOnly.err, HasSubstr("tarnwick config set Project AppCssFolder VALUE"));
  RunResult seq = refused({"set", "shop.xml", "orders", "TblSeq=1"}, 2);
  EXPECT_THAT(seq.err, HasSubstr("use tarnwick reorder"));
  RunResult noValue = refused({"set", "shop.xml", "orders"}, 2);
  EXPECT_THAT(noValue.err, HasSubstr("NAME=VALUE"));
  RunResult stray = refused({"set", "shop.xml", "orders", "TblCaption=x", "total"}, 2);
  EXPECT_THAT(stray.err, HasSubstr("expected NAME=VALUE, got \"total\""));
  refused({"set", "shop.xml", "ordres", "TblCaption=x"}, 2);
}

TEST_F(EditTest, SettingTheNameRenamesTheObject) {
  ASSERT_EQ(run({"set", "shop.xml", "orders", "total", "FldCaption=Sum"}).code, 0);
  RunResult r = run({"set", "shop.xml", "orders", "TblName=purchases"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(r.out, "Set 1 setting of table purchases\n");
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblName"), "<no element>");
  EXPECT_EQ(attribute(project, fieldXPath("purchases", "total"), "FldCaption"), "Sum");
  ASSERT_EQ(run({"set", "shop.xml", "purchases", "total", "FldName=amount", "FldCaption=Amount"}).code, 0);
  EXPECT_THAT(childNames(project, tableXPath("purchases"), "Field", "FldName"),
              ElementsAre("id", "customer_id", "amount", "placed"));
  EXPECT_EQ(attribute(project, fieldXPath("purchases", "amount"), "FldCaption"), "Amount");
  RunResult taken = refused({"set", "shop.xml", "purchases", "TblName=customers"}, 2);
  EXPECT_THAT(taken.err, HasSubstr("the name is taken"));
}

// ---------------------------------------------------------------- add-view

TEST_F(EditTest, AddViewMakesACustomViewFromTheStatementsColumns) {
  RunResult r = run({"add-view", "shop.xml", "rich", "--sql",
                     "SELECT c.name, o.total FROM customers c JOIN orders o "
                     "ON o.customer_id = c.id"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(r.out, "Added custom view rich with 2 fields\n");
  EXPECT_EQ(attribute(project, tableXPath("rich"), "TblType"), "CUSTOMVIEW");
  EXPECT_EQ(attribute(project, tableXPath("rich"), "TblGen"), "1");
  EXPECT_THAT(attribute(project, tableXPath("rich"), "TblCustomSQL"), HasSubstr("JOIN orders o"));
  EXPECT_THAT(childNames(project, tableXPath("rich"), "Field", "FldName"), ElementsAre("name", "total"));
  write(work() / "view.sql", "SELECT id FROM customers");
  ASSERT_EQ(run({"add-view", "shop.xml", "ids", "--sql-file", "view.sql", "--no-generate"}).code, 0);
  EXPECT_EQ(attribute(project, tableXPath("ids"), "TblCustomSQL"), "SELECT id FROM customers");
  EXPECT_EQ(attribute(project, tableXPath("ids"), "TblGen"), "0");
}

TEST_F(EditTest, AddViewCopiesFieldSettingsOnlyWhenAsked) {
  ASSERT_EQ(run({"set", "shop.xml", "orders", "total", "FldCaption=Amount"}).code, 0);
  ASSERT_EQ(run({"add-view", "shop.xml", "plain", "--sql", "SELECT id, total FROM orders"}).code, 0);
  ASSERT_EQ(
      run({"add-view", "shop.xml", "copied", "--sql", "SELECT id, total FROM orders", "--copy-fields"}).code,
      0);
  EXPECT_EQ(field("copied", "total", "FldCaption"), "Amount");
  EXPECT_NE(field("plain", "total", "FldCaption"), "Amount");
}

TEST_F(EditTest, AddViewFailuresChangeNothing) {
  RunResult bad = refused({"add-view", "shop.xml", "v", "--sql", "SELECT nope FROM orders"}, 1);
  EXPECT_THAT(bad.err, HasSubstr("no such column: nope"));
  RunResult twice = refused({"add-view", "shop.xml", "v", "--sql", "SELECT id, id FROM orders"}, 1);
  EXPECT_THAT(twice.err, HasSubstr("Columns with same field name: id. Please create Alias for the fields."));
  RunResult exists = refused({"add-view", "shop.xml", "orders", "--sql", "SELECT id FROM orders"}, 1);
  EXPECT_THAT(exists.err, HasSubstr("Table/View orders already exists!"));
  RunResult none = refused({"add-view", "shop.xml", "v"}, 2);
  EXPECT_THAT(none.err, HasSubstr("--sql"));
  refused({"add-view", "shop.xml", "v", "--sql-file", "missing.sql"}, 1);
  // The database is needed to find the columns.
  fs::rename(work() / "shop.sqlite", work() / "moved.sqlite");
  RunResult gone = refused({"add-view", "shop.xml", "v", "--sql", "SELECT id FROM orders"}, 1);
  EXPECT_THAT(gone.err, HasSubstr("shop.sqlite"));
}

// ---------------------------------------------------------------- add-report, add-chart

TEST_F(EditTest, AddReportCopiesTheSourcesFieldsHiddenFromForms) {
  ASSERT_EQ(run({"set", "shop.xml", "orders", "total", "FldCaption=Amount"}).code, 0);
  RunResult r = run({"add-report", "shop.xml", "sales", "--from", "orders"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(attribute(project, tableXPath("sales"), "TblType"), "REPORT");
  EXPECT_EQ(attribute(project, tableXPath("sales"), "TblRptSrc"), "orders");
  EXPECT_EQ(childNames(project, tableXPath("sales"), "Field", "FldName"),
            childNames(project, tableXPath("orders"), "Field", "FldName"));
  EXPECT_EQ(field("sales", "total", "FldCaption"), "Amount");
  for (const char* s : {"FldAdd", "FldView", "FldEdit", "FldSearch", "FldBasicSearch", "FldRegister"})
    EXPECT_EQ(field("sales", "total", s), "0") << s;
}

TEST_F(EditTest, AddReportFailures) {
  RunResult exists = refused({"add-report", "shop.xml", "orders", "--from", "customers"}, 1);
  EXPECT_THAT(exists.err, HasSubstr("Table/View orders already exists!"));
  RunResult missing = refused({"add-report", "shop.xml", "r", "--from", "nothere"}, 1);
  EXPECT_THAT(missing.err, HasSubstr("Table/View nothere not exist or loaded!"));
  // A listed table that was not loaded cannot be reported on.
  project = newShop("listed.xml", {"--tables", "orders"});
  RunResult listed = refused({"add-report", "listed.xml", "r", "--from", "customers"}, 1);
  EXPECT_THAT(listed.err, HasSubstr("not exist or loaded!"));
}

TEST_F(EditTest, AddChartAndCopyAChartsSettings) {
  ASSERT_EQ(run({"add-chart", "shop.xml", "orders", "by_day"}).code, 0);
  // A new chart is shown somewhere: above the list.
  EXPECT_EQ(attribute(project, tableXPath("orders") + "/Chart[@ChartName='by_day']", "ChartPosition"), "1");
  ASSERT_EQ(run({"set", "shop.xml", "orders", "--chart", "by_day", "ChartWidth=640", "ChartCaption=Per day",
                 "ChartPosition=2"})
                .code,
            0);
  RunResult r = run({"add-chart", "shop.xml", "orders", "by_week", "--copy-from", "by_day"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(r.out, "Added chart by_week to orders (copied from by_day)\n");
  std::string chart = tableXPath("orders") + "/Chart[@ChartName='by_week']";
  EXPECT_EQ(attribute(project, chart, "ChartWidth"), "640");
  EXPECT_EQ(attribute(project, chart, "ChartCaption"), "Per day");
  EXPECT_EQ(attribute(project, chart, "ChartPosition"), "2");
  EXPECT_THAT(childNames(project, tableXPath("orders"), "Chart", "ChartName"),
              ElementsAre("by_day", "by_week"));
  // The user's own default position is kept.
  ASSERT_EQ(run({"config", "set", "Chart", "ChartPosition", "2"}).code, 0);
  ASSERT_EQ(run({"add-chart", "shop.xml", "customers", "by_name"}).code, 0);
  EXPECT_EQ(attribute(project, tableXPath("customers") + "/Chart[@ChartName='by_name']", "ChartPosition"), "2");
}

TEST_F(EditTest, AddChartFailures) {
  ASSERT_EQ(run({"add-chart", "shop.xml", "orders", "by_day"}).code, 0);
  Snapshot before = snapshot(project);
  RunResult again = refused({"add-chart", "shop.xml", "orders", "by_day"}, 1);
  EXPECT_THAT(again.err, HasSubstr("Chart by_day already exists!"));
  RunResult table = refused({"add-chart", "shop.xml", "nothere", "c"}, 1);
  EXPECT_THAT(table.err, HasSubstr("Chart source nothere not exist!"));
  RunResult source = refused({"add-chart", "shop.xml", "orders", "c", "--copy-from", "zz"}, 1);
  EXPECT_THAT(source.err, HasSubstr("Chart zz does not exist!"));
  EXPECT_TRUE(snapshot(project) == before);
}

// ---------------------------------------------------------------- reorder, remove

TEST_F(EditTest, ReorderMovesTablesFieldsAndCharts) {
  std::vector<std::string> tables = childNames(project, "/Project/Database", "Table", "TblName");
  ASSERT_EQ(tables.size(), 3u);
  ASSERT_EQ(run({"reorder", "shop.xml", tables[2], "1"}).code, 0);
  EXPECT_THAT(childNames(project, "/Project/Database", "Table", "TblName"),
              ElementsAre(tables[2], tables[0], tables[1]));
  EXPECT_EQ(attribute(project, tableXPath(tables[2]), "TblSeq"), "1");
  EXPECT_EQ(attribute(project, tableXPath(tables[1]), "TblSeq"), "3");

  ASSERT_EQ(run({"reorder", "shop.xml", "orders", "placed", "2"}).code, 0);
  EXPECT_THAT(childNames(project, tableXPath("orders"), "Field", "FldName"),
              ElementsAre("id", "placed", "customer_id", "total"));
  ASSERT_EQ(run({"reorder", "shop.xml", "orders", "id", "4"}).code, 0);
  EXPECT_THAT(childNames(project, tableXPath("orders"), "Field", "FldName"),
              ElementsAre("placed", "customer_id", "total", "id"));

  ASSERT_EQ(run({"add-chart", "shop.xml", "orders", "a"}).code, 0);
  ASSERT_EQ(run({"add-chart", "shop.xml", "orders", "b"}).code, 0);
  ASSERT_EQ(run({"reorder", "shop.xml", "orders", "1", "--chart", "b"}).code, 0);
  EXPECT_THAT(childNames(project, tableXPath("orders"), "Chart", "ChartName"), ElementsAre("b", "a"));
}

TEST_F(EditTest, ReorderFailures) {
  RunResult range = refused({"reorder", "shop.xml", "orders", "4"}, 2);
  EXPECT_THAT(range.err, HasSubstr("position 4 is outside 1..3"));
  refused({"reorder", "shop.xml", "orders", "0"}, 2);
  RunResult word = refused({"reorder", "shop.xml", "orders", "first"}, 2);
  EXPECT_THAT(word.err, HasSubstr("POSITION must be a number"));
  RunResult field = refused({"reorder", "shop.xml", "orders", "totl", "1"}, 2);
  EXPECT_THAT(field.err, HasSubstr("no field \"totl\" in orders; did you mean total?"));
}

TEST_F(EditTest, RemoveForgetsTablesFieldsAndCharts) {
  ASSERT_EQ(run({"add-chart", "shop.xml", "orders", "a"}).code, 0);
  ASSERT_EQ(run({"remove", "shop.xml", "orders", "--chart", "a"}).code, 0);
  EXPECT_TRUE(childNames(project, tableXPath("orders"), "Chart", "ChartName").empty());
  ASSERT_EQ(run({"remove", "shop.xml", "orders", "customer_id"}).code, 0);
  EXPECT_THAT(childNames(project, tableXPath("orders"), "Field", "FldName"),
              ElementsAre("id", "total", "placed"));
  EXPECT_EQ(field("orders", "total", "FldSeq"), "2");
  ASSERT_EQ(run({"remove", "shop.xml", "customers"}).code, 0);
  EXPECT_EQ(childNames(project, "/Project/Database", "Table", "TblName").size(), 2u);
  EXPECT_EQ(attribute(project, tableXPath("customers"), "TblName"), "<no element>");
}

TEST_F(EditTest, RemovingAReportsSourceWarns) {
  ASSERT_EQ(run({"add-report", "shop.xml", "sales", "--from", "orders"}).code, 0);
  RunResult r = run({"remove", "shop.xml", "orders"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.err, HasSubstr("warning: report sales was made from orders"));
}

TEST_F(EditTest, RemoveFailures) {
  refused({"remove", "shop.xml", "nothere"}, 2);
  RunResult field = refused({"remove", "shop.xml", "orders", "nothere"}, 2);
  EXPECT_THAT(field.err, HasSubstr("no field \"nothere\" in orders"));
  refused({"remove", "shop.xml", "orders", "--chart", "nothere"}, 2);
}

}  // namespace
}  // namespace tw::testing
