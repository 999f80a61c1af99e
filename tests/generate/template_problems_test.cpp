// What page scripts let pass is reported after the run: each problem with
// the template file, line and column it came from, the control, the tables
// and how often; and it is reported again by a run that reuses the script
// files without compiling them.
#include "generation_fixture.h"
#include "script/template_diagnostics.h"

namespace tw::testing {
namespace {

class TemplateProblemsTest : public GenerationTest {
 protected:
  void SetUp() override {
    GenerationTest::SetUp();
    installGenerateMembers();  // Include_File compiles through the project
  }
  // The run's problems as the report shows them.
  std::vector<std::string> problems() {
    std::vector<std::string> out;
    const TemplateDiagnostics& d = templateDiagnostics();
    for (const TemplateIssue& issue : d.issues()) out.push_back(d.describe(issue));
    return out;
  }
  std::string at(const std::string& file) const { return templatePath.string() + "/" + file; }
};

TEST_F(TemplateProblemsTest, EachProblemIsReportedWithItsPlaceInTheTemplate) {
  struct Case {
    const char* name;
    std::string controls;  // control elements
    Files files;
    std::vector<std::string> expected;  // with "@" for the template's folder
  };
  const std::string table = "<control id=\"card\" type=\"table\" ofile=\"card\" oext=\"php\" ifiles=\"card.php\"";
  const std::vector<Case> cases = {
      {"a run-time error, once for each table",
       table + "/>",
       {{"card.php", "Card\r\n<!--##\r\nDim x\r\nx = 1 / 0\r\n##-->\r\n"}},
       {"@/card.php:4:1: run-time error skipped: Division by zero (control card; tables Orders, Customers; 2 times)"}},
      {"a misspelt property",
       table + "/>",
       {{"card.php", "A\r\n  <!--##=TABLE.TblNmae##--> B"}},
       {"@/card.php:2:3: run-time error skipped: Object doesn't support this property or method: 'TblNmae' "
        "(control card; tables Orders, Customers; 2 times)"}},
      {"a phrase the language file lacks, and one it has",
       table + "/>",
       {{"card.php", "<h2><!--##@nosuch##--></h2><!--##@known##-->"}},
       {"@/card.php:1:5: unknown phrase \"nosuch\" (not in the language file) (control card)"}},
      {"a phrase asked for while the page runs",
       table + "/>",
       {{"card.php", "x<!--##$\"dyn\" & \"amic\"##-->"}},
       {"@/control.xml:2:1: unknown phrase \"dynamic\" (LANG.Phrase) (control card; tables Orders, Customers; 2 times)"}},
      {"a session the control names that is not there",
       "\r\n<control id=\"home\" type=\"other\" ofile=\"home\" oext=\"php\" ifiles=\"home.php\">\r\n"
       "  <session type=\"key\" value=\"top\"/>\r\n  <session type=\"key\" value=\"middle\"/>\r\n</control>",
       {{"home.php", "<!--##session top##-->Top<!--##/session##-->"}},
       {"@/control.xml:5:3: session \"middle\" of control \"home\" not found in home.php (control home)"}},
      {"an include directive that is malformed or names a missing session",
       "<control id=\"home\" type=\"other\" ofile=\"home\" oext=\"php\" ifiles=\"home.php\">"
       "<session type=\"key\" value=\"top\"/></control>",
       {{"home.php", "<!--##session top##-->Top\r\n <!--##include parts.php##-->\r\n"
                     "<!--##include parts.php/none##--><!--##/session##-->"},
        {"parts.php", "<!--##session some##-->s<!--##/session##-->"}},
       {"@/home.php:2:2: include \"parts.php\" is not of the form FILE/SESSION; it was left out (control home)",
        "@/home.php:3:1: session \"none\" not found in \"parts.php\"; the include was left out (control home)"}},
      {"a page that comes out empty",
       "\r\n<control id=\"nothing\" type=\"other\" ofile=\"n\" oext=\"php\" ifiles=\"n.php\"/>",
       {{"n.php", "<!--## x = 1 ##-->"}},
       {"@/control.xml:3:1: the page came out empty (control nothing)"}},
      {"an error in an included template file",
       "<control id=\"home\" type=\"other\" ofile=\"home\" oext=\"php\" ifiles=\"home.php\">"
       "<session type=\"key\" value=\"top\"/><session type=\"include\" value=\"inc.php\" parm=\"\"/></control>",
       {{"home.php", "<!--##session top##-->Top<!--##/session##-->"}, {"inc.php", "a\r\nb<!--##=CInt(\"x\")##-->"}},
       {"@/inc.php:2:2: run-time error skipped: Type mismatch (control home)"}},
      {"nothing wrong", table + "/>", {{"card.php", "<!--##=TABLE.TblName##-->"}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Files files = c.files;
    files["control.xml"] = controlFile(c.controls);
    files["lang.xml"] = languageFile("<phrase id=\"known\" value=\"K\"/>");
    makeTemplate(files);
    std::vector<std::string> expected;
    for (std::string e : c.expected) {
      if (e[0] == '@') e = templatePath.string() + e.substr(1);
      expected.push_back(e);
    }
    ASSERT_EQ(run(), "");
    ASSERT_EQ(projErr(), "");
    EXPECT_EQ(problems(), expected);
    // A second run uses the script files as they are and still knows.
    ASSERT_EQ(run(), "");
    EXPECT_EQ(summary().scriptFilesBuilt, 0);
    EXPECT_EQ(problems(), expected);
  }
}

TEST_F(TemplateProblemsTest, AFailingExpressionLosesOnlyItsOwnOutput) {
  // The text and the expressions beside a failing one stay on the page.
  struct Case {
    const char* name;
    const char* text;
    const char* page;
  };
  const std::vector<Case> cases = {
      {"text on both sides", "Top <!--##=1/0##--> end", "Top  end"},
      {"expressions on both sides", "<!--##=1+1##-->|<!--##=Foo.Bar##-->|<!--##=2+2##-->", "2||4"},
      {"a failing include between text",
       "Top <!--##=Include_File(\"missing.php\", \"\")##--> Bottom", "Top  Bottom"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    makeTemplate({{"control.xml", controlFile("<control id=\"p\" type=\"other\" ofile=\"p\" oext=\"php\" "
                                              "ifiles=\"p.php\" space=\"false\"/>")},
                  {"lang.xml", languageFile("")},
                  {"p.php", c.text}});
    ASSERT_EQ(run(), "");
    EXPECT_EQ(read(out() / "p.php"), c.page);
    EXPECT_EQ(templateDiagnostics().issues().size(), 1u);
  }
}

}  // namespace
}  // namespace tw::testing
