// tarnwick completion: the scripts load in their shell and, through the
// program, complete commands, options, setting names and the names in the
// project on the line.
#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class CompletionTest : public CliTest {
 protected:
  // What bash offers for a line whose last word is being completed.
  std::vector<std::string> bashOffers(const std::vector<std::string>& words) {
    std::string script = "source ./tarnwick.bash\nCOMP_WORDS=(";
    for (const std::string& w : words) script += "'" + w + "' ";
    script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) +
              "\n_tarnwick\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n";
    RunResult r = runProgram({"bash", "--norc", "-c", script});
    EXPECT_EQ(r.code, 0) << r;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) lines.push_back(line);
    return lines;
  }
};

TEST_F(CompletionTest, EachShellsScriptIsWrittenAndBashReadsItsWithoutFault) {
  struct Case {
    std::string shell, marker;
  };
  for (const Case& c : std::vector<Case>{{"bash", "complete -F _tarnwick tarnwick"},
                                         {"zsh", "#compdef tarnwick"},
                                         {"fish", "complete -c tarnwick"}}) {
    RunResult r = run({"completion", c.shell});
    ASSERT_EQ(r.code, 0) << c.shell << "\n" << r;
    EXPECT_THAT(r.out, HasSubstr(c.marker)) << c.shell;
    EXPECT_THAT(r.out, HasSubstr("tarnwick __complete --")) << c.shell;
  }
  ASSERT_EQ(run({"completion", "bash", "--output", "tarnwick.bash"}).code, 0);
  RunResult syntax = runProgram({"bash", "-n", "tarnwick.bash"});
  EXPECT_EQ(syntax.code, 0) << syntax;
  RunResult unknown = run({"completion", "tcsh"});
  EXPECT_EQ(unknown.code, 2) << unknown;
}

TEST_F(CompletionTest, BashCompletesFromTheCommandDefinitionsAndTheProject) {
  newShop();
  ASSERT_EQ(run({"completion", "bash", "--output", "tarnwick.bash"}).code, 0);
  for (const char* name : {"audit", "stats"}) {
    write(work() / name / "control.xml", "<TarnwickTemplate version=\"1.0\"/>\n");
    ASSERT_EQ(run({"extension", "add", name, name}).code, 0);
  }
  struct Case {
    std::vector<std::string> words;
    std::vector<std::string> offered;
    std::vector<std::string> notOffered;
  };
  const std::vector<Case> cases = {
      {{"tarnwick", "gen"}, {"generate"}, {"demo", "__complete"}},
      {{"tarnwick", ""}, {"serve", "completion", "check", "config"}, {"__complete"}},
      {{"tarnwick", "set", "shop.xml", "Proj"}, {"ProjName="}, {"orders"}},
      {{"tarnwick", "set", "shop.xml", ""},
       {"orders", "customers", "big_orders", "RecPerPage="},
       {"FldCaption="}},
      {{"tarnwick", "set", "shop.xml", "orders", ""}, {"total", "placed", "TblCaption="}, {"ProjName="}},
      {{"tarnwick", "set", "shop.xml", "orders", "total", "Fld"}, {"FldCaption="}, {"TblCaption="}},
      {{"tarnwick", "set", "shop.xml", "--database", "DB"}, {"DBPwd="}, {}},
      {{"tarnwick", "show", "shop.xml", "customers", ""}, {"id", "name", "email"}, {"total"}},
      {{"tarnwick", "remove", "shop.xml", "ord"}, {"orders"}, {"customers"}},
      {{"tarnwick", "generate", "shop.xml", "--over"}, {"--overwrite"}, {}},
      {{"tarnwick", "generate", "shop.xml", "--overwrite", ""}, {"ask", "all", "skip"}, {}},
      {{"tarnwick", "serve", "shop.xml", "--"}, {"--port", "--no-watch"}, {}},
      {{"tarnwick", "config", ""}, {"set", "get", "list"}, {}},
      {{"tarnwick", "config", "set", ""}, {"Project", "General"}, {}},
      {{"tarnwick", "config", "set", "Project", "RecP"}, {"RecPerPage"}, {}},
      {{"tarnwick", "completion", ""}, {"bash", "zsh", "fish"}, {}},
      {{"tarnwick", "help", "ser"}, {"serve"}, {}},
      {{"tarnwick", "extension", "remove", ""}, {"audit", "stats"}, {"orders", "--json"}},
      {{"tarnwick", "extension", "remove", "st"}, {"stats"}, {"audit"}},
      {{"tarnwick", "extension", "add", "au"}, {"audit"}, {"stats"}},
      {{"tarnwick", "template", "helpers", "PhpS"}, {"PhpString"}, {"HtmlEncode", "PhpBool"}},
      {{"tarnwick", "template", "helpers", ""}, {"Include_File", "StoredPassword"}, {"orders"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> offers = bashOffers(c.words);
    std::string line;
    for (const std::string& w : c.words) line += w + " ";
    for (const std::string& o : c.offered) EXPECT_THAT(offers, Contains(o)) << line;
    for (const std::string& o : c.notOffered) EXPECT_THAT(offers, Not(Contains(o))) << line;
  }
  // A project file is completed by the shell as a file name.
  RunResult files = run({"__complete", "--", "tables", "sh"});
  EXPECT_EQ(files.out, "__files__\n");
  // A value is the user's own.
  EXPECT_THAT(bashOffers({"tarnwick", "set", "shop.xml", "ProjName", "=", ""}), IsEmpty());
}

}  // namespace
}  // namespace tw::testing
