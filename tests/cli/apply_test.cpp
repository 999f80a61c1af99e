// tarnwick apply: a project kept as a description file. Every line applies
// or nothing is saved; wrong lines are named by file and line; applying the
// same description again changes nothing.
#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;

constexpr const char* kDescription =
    "# the shop, as code\n"
    "name \"Corner Shop\"\n"
    "project BodyTitle='Corner Shop' RecPerPage=25 SecType=Static SecLoginID=admin SecPasswd=s3cret-pass\n"
    "table orders TblCaption=\"Orders placed\" TblRecPerPage=10   # fewer per page\n"
    "field orders total FldCaption=\"Total (EUR)\" FldNumDigits=2\n"
    "field customers email FldCaption=E-mail\n"
    "\n"
    "view big_spenders \"SELECT customer_id, SUM(total) AS spent FROM orders GROUP BY customer_id\"\n"
    "field big_spenders spent FldCaption=Spent\n"
    "report orders_report orders\n"
    "chart orders_report by_total ChartCaption=\"By total\" ChartWidth=400\n"
    "chart orders_report by_total ChartHeight=250\n";

class ApplyTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    project = newShop();
  }
  RunResult apply(const std::string& text, std::vector<std::string> extra = {}) {
    write(work() / "shop.txt", text);
    std::vector<std::string> args = {"apply", "shop.xml", "shop.txt"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run(args);
  }
  fs::path project;
};

TEST_F(ApplyTest, ADescriptionAppliesWholeAndAgainChangesNothing) {
  RunResult r = apply(kDescription);
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(r.out, "Applied 10 lines of shop.txt to shop.xml\n");
  EXPECT_EQ(attribute(project, "/Project", "ProjName"), "Corner Shop");
  EXPECT_EQ(attribute(project, "/Project", "BodyTitle"), "Corner Shop");
  EXPECT_EQ(attribute(project, "/Project", "RecPerPage"), "25");
  expectSettings(project, {
                              {"orders", "", "TblCaption", "Orders placed"},
                              {"orders", "", "TblRecPerPage", "10"},
                              {"orders", "total", "FldCaption", "Total (EUR)"},
                              {"orders", "total", "FldNumDigits", "2"},
                              {"customers", "email", "FldCaption", "E-mail"},
                              {"big_spenders", "", "TblType", "CUSTOMVIEW"},
                              {"big_spenders", "spent", "FldCaption", "Spent"},
                              {"orders_report", "", "TblType", "REPORT"},
                              {"orders_report", "", "TblRptSrc", "orders"},
                          });
  const std::string chart = tableXPath("orders_report") + "/Chart[@ChartName='by_total']";
  EXPECT_EQ(attribute(project, chart, "ChartCaption"), "By total");
  EXPECT_EQ(attribute(project, chart, "ChartWidth"), "400");
  EXPECT_EQ(attribute(project, chart, "ChartHeight"), "250");
  // The login password is kept as a hash only.
  const std::string hash = attribute(project, "/Project", "SecPasswd");
  EXPECT_EQ(hash.rfind("$5$", 0), 0u) << hash;

  // Applied again: the views, reports and charts are there as described,
  // the password is the same: the file stays as it was, byte for byte.
  const std::string before = read(project);
  RunResult again = apply(kDescription);
  ASSERT_EQ(again.code, 0) << again;
  EXPECT_TRUE(read(project) == before) << "the second apply changed the project file";

  // A changed line changes that setting alone.
  std::string changed = kDescription;
  changed.replace(changed.find("TblRecPerPage=10"), 16, "TblRecPerPage=15");
  ASSERT_EQ(apply(changed).code, 0);
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblRecPerPage"), "15");
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblCaption"), "Orders placed");
  EXPECT_EQ(attribute(project, "/Project", "SecPasswd"), hash);
}

TEST_F(ApplyTest, AnyWrongLineLeavesTheProjectAsItWasAndIsNamed) {
  const Snapshot before = snapshot(project);
  struct Case {
    std::string text;
    int code;
    std::vector<std::string> messages;  // each on a line of its own
  };
  const std::string good = "project BodyTitle=Changed\ntable orders TblCaption=Changed\n";
  for (const Case& c : std::vector<Case>{
           {good + "tabel orders TblCaption=x\n", 2,
            {"shop.txt:3: unknown line \"tabel\" (name, project, database, table, field, view, report, chart)"}},
           {good + "table orders TblCaption='open\n", 2, {"shop.txt:3: a quote is not closed"}},
           {good + "field orders\n", 2, {"shop.txt:3: \"field\" needs more words: field TABLE FIELD NAME=VALUE..."}},
           {good + "table orders Caption\n", 2, {"shop.txt:3: expected NAME=VALUE, got \"Caption\""}},
           {good + "view cheap SELECT id FROM orders\n", 2,
            {"shop.txt:3: \"view\" takes 2 words (quote a value that holds blanks): view NAME SQL"}},
           {good + "table orders\n", 2, {"shop.txt:3: \"table\" changes nothing: table TABLE NAME=VALUE..."}},
           // What only the project can tell: every such line is named.
           {good + "table orders TblCaptoin=x\nfield orders nosuch FldCaption=x\n", 2,
            {"shop.txt:3: unknown table setting \"TblCaptoin\"; did you mean TblCaption?",
             "shop.txt:4: no field \"nosuch\" in orders"}},
           {good + "table orders TblRecPerPage=many\n", 2, {"shop.txt:3: TblRecPerPage"}},
           {good + "report orders_report nosuch\n", 1, {"shop.txt:3: ", "nosuch"}},
           {good + "view orders \"SELECT id FROM customers\"\n", 2,
            {"shop.txt:3: custom view orders is in the project already as another kind of table"}},
       }) {
    RunResult r = apply(c.text);
    EXPECT_EQ(r.code, c.code) << c.text << r;
    for (const std::string& m : c.messages) EXPECT_THAT(r.err, HasSubstr(m)) << c.text;
    EXPECT_THAT(r.err, HasSubstr("\nshop.xml was not changed\n")) << c.text;
    EXPECT_TRUE(snapshot(project) == before) << c.text;
  }
  // Lines the text alone shows to be wrong are all named, and nothing is
  // tried against the project.
  RunResult several = apply("tabel x\nproject BodyTitle=ok\nfield a\nproject x\n");
  EXPECT_EQ(several.code, 2);
  EXPECT_THAT(several.err, HasSubstr("shop.txt:1: unknown line"));
  EXPECT_THAT(several.err, HasSubstr("\nshop.txt:3: \"field\" needs more words"));
  EXPECT_THAT(several.err, HasSubstr("\nshop.txt:4: expected NAME=VALUE, got \"x\""));
  EXPECT_TRUE(snapshot(project) == before);
}

TEST_F(ApplyTest, CheckTriesEveryLineAndSavesNothing) {
  const Snapshot before = snapshot(project);
  RunResult ok = apply(kDescription, {"--check"});
  ASSERT_EQ(ok.code, 0) << ok;
  EXPECT_EQ(ok.out, "shop.txt: 10 lines, every one applies to shop.xml (nothing was saved)\n");
  EXPECT_TRUE(snapshot(project) == before);
  RunResult bad = apply("table nosuch TblCaption=x\n", {"--check"});
  EXPECT_EQ(bad.code, 2) << bad;
  EXPECT_THAT(bad.err, HasSubstr("shop.txt:1: no table or view \"nosuch\""));
  RunResult missing = run({"apply", "shop.xml", "nothere.txt"});
  EXPECT_EQ(missing.code, 1) << missing;
  EXPECT_THAT(missing.err, HasSubstr("nothere.txt: cannot read the project description"));
  EXPECT_TRUE(snapshot(project) == before);
}

}  // namespace
}  // namespace tw::testing
