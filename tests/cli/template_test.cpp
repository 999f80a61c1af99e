// tarnwick template init and check: the default template to start from, and
// each planted mistake found with its file, line and column.
#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class TemplateCommandTest : public CliTest {};

TEST_F(TemplateCommandTest, InitUnpacksTheDefaultTemplateWhichChecksClean) {
  RunResult r = run({"template", "init", "mine"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_TRUE(fs::exists(work() / "mine" / "control.xml"));
  EXPECT_EQ(run({"template", "init", "mine"}).code, 2);  // not over a folder with files
  RunResult check = run({"template", "check", "mine"});
  EXPECT_EQ(check.code, 0) << check;
  EXPECT_EQ(check.out, "");
}

TEST_F(TemplateCommandTest, CheckFindsEachPlantedMistakeWithItsPlace) {
  struct Case {
    const char* name;
    std::string file;
    std::string text;
    std::string expected;  // a line of stdout
  };
  const std::string control =
      "<TarnwickTemplate date=\"2026-01-01\" version=\"1.0\" desc=\"t\" author=\"t\">\r\n"
      "<control id=\"page\" type=\"other\" ofile=\"page\" oext=\"php\" ifiles=\"page.php\">\r\n"
      "<session type=\"key\" value=\"main\"/>\r\n</control>\r\n</TarnwickTemplate>\r\n";
  const std::vector<Case> cases = {
      {"a block left open", "page.php", "<!--##session main##-->\r\nx <!--##=a <!--##/session##-->",
       "t/page.php:2:3: ***Incomplete Block at line 2 column 3! Generation failed!"},
      {"an If without End If", "page.php", "<!--##session main##-->\r\n<!--##\r\nIf x Then\r\n##-->y<!--##/session##-->",
       "t/page.php:4:6: VBScript syntax error: Expected 'If' (at the end of the template: is a block such as If, For, "
       "Do, Select or While left open?) (control page)"},
      {"an expression that does not parse", "page.php", "<!--##session main##-->\r\n\r\n  <!--##=1 +##--><!--##/session##-->",
       "t/page.php:3:3: VBScript syntax error: Expected expression (control page)"},
      {"an unknown phrase", "page.php", "<!--##session main##--><!--##@nope##--><!--##/session##-->",
       "t/page.php:1:24: unknown phrase \"nope\" (not in the language file) (control page)"},
      {"an unknown phrase a script names", "page.php",
       "<!--##session main##-->\r\n<!--## x = 1 ' LANG.Phrase(\"commented\")\r\n  y = LANG.Phrase(\"nope\") ##-->"
       "<!--##/session##-->",
       "t/page.php:3:7: unknown phrase \"nope\" (not in the language file) (control page)"},
      {"an unknown phrase of a $ block", "page.php", "<!--##session main##-->\r\nab<!--##$ \"nope\" ##--><!--##/session##-->",
       "t/page.php:2:3: unknown phrase \"nope\" (not in the language file) (control page)"},
      {"a missing session", "page.php", "<!--##session other##-->x<!--##/session##-->",
       "t/control.xml:3:1: session \"main\" of control \"page\" not found in page.php (control page)"},
      {"a control file that is no XML", "control.xml", "<TarnwickTemplate>\r\n<control id=\"x\">\r\n</Tarnwick>",
       "t/control.xml:3:3: XML error: Start-end tags mismatch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(work() / "t");
    write(work() / "t" / "control.xml", control);
    write(work() / "t" / "lang.xml", "<tarnwick.language></tarnwick.language>");
    write(work() / "t" / "page.php", "<!--##session main##-->fine<!--##/session##-->");
    write(work() / "t" / c.file, c.text);
    RunResult r = run({"template", "check", "t"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_THAT(r.out, HasSubstr(c.expected + "\n")) << r;
    EXPECT_THAT(r.out, Not(HasSubstr("commented"))) << r;
  }
}

}  // namespace
}  // namespace tw::testing
