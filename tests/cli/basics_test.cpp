// The program as a whole: version, help texts and the manual page, usage
// errors, colour and the --quiet and --verbose flags.
#include <gmock/gmock.h>

#include <regex>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::vector<std::string> kCommands = {"new",        "tables",     "show",     "set",    "add-view",
                                            "add-report", "add-chart",  "reorder",  "remove", "add",
                                            "check",      "sync",       "generate", "serve",  "demo",
                                            "config",     "completion", "help",     "man"};

class BasicsTest : public CliTest {};

TEST_F(BasicsTest, VersionIsTheEngineVersionWrittenIntoProjects) {
  RunResult r = run({"--version"});
  ASSERT_EQ(r.code, 0) << r;
  std::smatch m;
  ASSERT_TRUE(std::regex_match(r.out, m, std::regex(R"(tarnwick (\d+\.\d+\.\d+\.\d+)\n)"))) << r.out;
  // The same four numbers that a saved project carries as its Version.
  fs::path project = newShop();
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(project.c_str()));
  EXPECT_EQ(m[1].str(), doc.child("Project").attribute("Version").value());
}

TEST_F(BasicsTest, HelpListsEveryCommandTheExitCodesAndTheEnvironment) {
  RunResult r = run({"--help"});
  ASSERT_EQ(r.code, 0) << r;
  for (const std::string& c : kCommands) EXPECT_THAT(r.out, HasSubstr("\n  " + c + " ")) << c;
  EXPECT_THAT(r.out, HasSubstr("Exit codes:"));
  EXPECT_THAT(r.out, HasSubstr("130"));
  EXPECT_THAT(r.out, HasSubstr("TARNWICK_DB_PASSWORD"));
  EXPECT_THAT(r.out, HasSubstr("NO_COLOR"));
  EXPECT_EQ(r.err, "");
}

TEST_F(BasicsTest, EveryCommandHasHelpWithExamplesAndHelpCommandShowsTheSameText) {
  for (const std::string& c : kCommands) {
    RunResult viaFlag = run({c, "--help"});
    ASSERT_EQ(viaFlag.code, 0) << c << "\n" << viaFlag;
    EXPECT_THAT(viaFlag.out, HasSubstr("Usage: tarnwick " + c)) << c;
    EXPECT_THAT(viaFlag.out, HasSubstr("Example")) << c;
    RunResult viaHelp = run({"help", c});
    ASSERT_EQ(viaHelp.code, 0) << c << "\n" << viaHelp;
    EXPECT_EQ(viaHelp.out, viaFlag.out) << c;
  }
  RunResult nested = run({"help", "config", "set"});
  ASSERT_EQ(nested.code, 0) << nested;
  EXPECT_THAT(nested.out, HasSubstr("Usage: tarnwick config set"));
  EXPECT_EQ(nested.out, run({"config", "set", "--help"}).out);
}

TEST_F(BasicsTest, CheckHelpDocumentsItsOwnExitCodes) {
  RunResult r = run({"help", "check"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("0 in sync, 1 the project differs, 2 any error"));
}

TEST_F(BasicsTest, HelpForAnUnknownCommandSuggestsTheCloseOnes) {
  RunResult r = run({"help", "genrate"});
  EXPECT_EQ(r.code, 2) << r;
  EXPECT_THAT(r.err, HasSubstr("\"genrate\""));
  EXPECT_THAT(r.err, HasSubstr("did you mean generate?"));
}

TEST_F(BasicsTest, ManualPageIsMadeFromTheSameTexts) {
  RunResult r = run({"man"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, StartsWith(".TH TARNWICK 1 "));
  EXPECT_THAT(r.out, HasSubstr(".SH COMMANDS"));
  for (const std::string& c : kCommands)
    EXPECT_THAT(r.out, HasSubstr(".SS " + std::regex_replace(c, std::regex("-"), "\\-") + "\n")) << c;
  EXPECT_THAT(r.out, HasSubstr(".SS config set\n"));
  // A group's examples once, not again for each of its commands.
  size_t first = r.out.find("tarnwick config set Project RecPerPage 50");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(r.out.find("tarnwick config set Project RecPerPage 50", first + 1), std::string::npos);
  // Option texts and examples of the help appear in the page (with the
  // page's escaped dashes).
  EXPECT_THAT(r.out, HasSubstr("Replace an existing project file"));
  EXPECT_THAT(r.out, HasSubstr("tarnwick check shop.xml || tarnwick sync shop.xml"));
  EXPECT_THAT(r.out, HasSubstr("\\-\\-overwrite"));
  // No line of running text starts with a dot that troff would take for a
  // request.
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] == '.') {
      EXPECT_TRUE(std::regex_match(line, std::regex(R"(\.(TH|SH|SS|TP|PP|B|nf|fi)( .*)?)"))) << line;
    }
  }
}

TEST_F(BasicsTest, NoArgumentsPrintTheCommandsAndWhereTheFullHelpIs) {
  RunResult none = run({});
  EXPECT_EQ(none.code, 0) << none;
  EXPECT_EQ(none.err, "");
  EXPECT_THAT(none.out, StartsWith("Usage: tarnwick "));
  for (const std::string& c : kCommands) EXPECT_THAT(none.out, HasSubstr("\n  " + c + " ")) << c;
  EXPECT_THAT(none.out, HasSubstr("tarnwick help COMMAND"));
  // Short: the exit codes and environment stay in --help.
  EXPECT_THAT(none.out, Not(HasSubstr("TARNWICK_DB_PASSWORD")));
}

TEST_F(BasicsTest, UsageErrorsExitWithTwoAndSayWhatIsWrong) {
  RunResult onlyFlags = run({"--quiet"});
  EXPECT_EQ(onlyFlags.code, 2) << onlyFlags;
  EXPECT_THAT(onlyFlags.err, HasSubstr("no command given"));
  EXPECT_EQ(onlyFlags.out, "");

  RunResult unknown = run({"tabels", "shop.xml"});
  EXPECT_EQ(unknown.code, 2) << unknown;
  EXPECT_THAT(unknown.err, HasSubstr("unknown command \"tabels\"; did you mean tables?"));

  RunResult option = run({"show", "shop.xml", "--frobnicate"});
  EXPECT_EQ(option.code, 2) << option;
  EXPECT_THAT(option.err, HasSubstr("--frobnicate"));
  EXPECT_THAT(option.err, HasSubstr("tarnwick help show"));

  RunResult missing = run({"new", "shop.xml"});
  EXPECT_EQ(missing.code, 2) << missing;
  EXPECT_THAT(missing.err, HasSubstr("--db"));
  EXPECT_FALSE(fs::exists(work() / "shop.xml"));

  RunResult both = run({"tables", "shop.xml", "--quiet", "--verbose"});
  EXPECT_EQ(both.code, 2) << both;
}

TEST_F(BasicsTest, ErrorsAreOneLineOnStderr) {
  RunResult r = run({"show", "nothere.xml"});
  EXPECT_EQ(r.code, 1) << r;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tarnwick: error: nothere.xml: no such project file\n");
}

TEST_F(BasicsTest, AFileThatIsNoProjectSaysWhatItIsAndWhatToRun) {
  shopDb();
  fs::path zip = makeTemplateZip("mine", {{"control.xml", "<control/>"}});
  fs::path folder = makeTemplateFolder("theirs", {{"control.xml", "<control/>"}});
  write(work() / "notes.txt", "not a project");
  struct Case {
    std::string file;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"shop.sqlite",
       "shop.sqlite: this is an SQLite database; create a project with tarnwick new PROJECT.xml --db "
       "sqlite:shop.sqlite\n"},
      {zip.string(),
       "archive (a template?), not a project file; a project names a template with --template " +
           zip.string()},
      {folder.string(),
       "is a template folder, not a project file; a project names it with --template " + folder.string()},
      {".", ".: is a folder, not a project file\n"},
  };
  for (const Case& c : cases)
    for (const char* command : {"tables", "check", "generate"}) {
      RunResult r = run({command, c.file});
      EXPECT_EQ(r.code == 0, false) << command << " " << c.file << "\n" << r;
      EXPECT_THAT(r.err, HasSubstr(c.says)) << command << " " << c.file;
    }
  // A file that may be a project is read as one and its own fault told.
  RunResult text = run({"tables", "notes.txt"});
  EXPECT_EQ(text.code, 1) << text;
  EXPECT_THAT(text.err, Not(HasSubstr("create a project")));
}

TEST_F(BasicsTest, EnginePathsInMessagesAreShownWithSlashes) {
  // A template folder, which the engine names with backslashes between its
  // pieces, is shown as a path of this system.
  fs::path folder = makeTemplateFolder(
      "tpl", {{"control.xml",
               "<TarnwickTemplate date=\"2026-01-01\" version=\"1.0\" desc=\"t\" author=\"t\">\r\n"
               "<control id=\"index\" type=\"other\" ofile=\"index\" oext=\"php\" ifiles=\"index.php\"/>\r\n"
               "</TarnwickTemplate>\r\n"},
              {"lang.xml", "<tarnwick.language></tarnwick.language>"},
              {"index.php", "x <!--##include nothere.php/part##-->\r\n"}});
  newShop("shop.xml", {"--template", folder.string(), "--dest", "site"});
  ASSERT_EQ(run({"generate", "shop.xml", "--overwrite", "all"}).code, 0);
  RunResult r = run({"generate", "shop.xml", "--overwrite", "all"});
  EXPECT_EQ(r.code, 1) << r;
  // The template is named as the project names it, not by its work copy.
  EXPECT_THAT(r.err, HasSubstr("Missing \"nothere.php\" in template folder \"" + folder.string() +
                               "\". Generation aborted."))
      << r;
}

TEST_F(BasicsTest, AWordAfterTheCommandIsAnArgumentEvenWhenItNamesACommand) {
  makeSqlite(work() / "odd.sqlite", "CREATE TABLE remove (id INTEGER PRIMARY KEY, new TEXT);");
  ASSERT_EQ(run({"new", "odd.xml", "--db", "sqlite:odd.sqlite"}).code, 0);
  RunResult r = run({"show", "odd.xml", "remove", "new"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("FldName = new\n"));
}

TEST_F(BasicsTest, ColourOnlyOnATerminalAndNeverWithNoColor) {
  RunResult piped = run({"show", "nothere.xml"});
  EXPECT_THAT(piped.err, Not(HasSubstr("\033[")));
  RunResult terminal = runOnTerminal({"show", "nothere.xml"}, {});
  EXPECT_EQ(terminal.code, 1) << terminal;
  EXPECT_THAT(terminal.out, HasSubstr("\033[1;31merror:\033[0m nothere.xml: no such project file"));
  setEnv("NO_COLOR", "1");
  RunResult plain = runOnTerminal({"show", "nothere.xml"}, {});
  EXPECT_EQ(plain.code, 1) << plain;
  EXPECT_THAT(plain.out, HasSubstr("tarnwick: error: nothere.xml"));
  EXPECT_THAT(plain.out, Not(HasSubstr("\033[")));
}

TEST_F(BasicsTest, QuietPrintsNothingButErrorsAndVerboseSaysWhatIsDone) {
  RunResult quiet = run({"new", "shop.xml", "--db", "sqlite:" + shopDb().string(), "--quiet"});
  ASSERT_EQ(quiet.code, 0) << quiet;
  // All but the generated login, which cannot be shown again.
  EXPECT_THAT(quiet.out, ::testing::MatchesRegex("Login of the application: admin / [a-zA-Z2-9]{16}\n"
                                                 "\\(shown only now;[^\n]*\n"));
  EXPECT_EQ(quiet.err, "");
  EXPECT_TRUE(fs::exists(work() / "shop.xml"));

  RunResult normal = run({"set", "shop.xml", "ProjName=Shop"});
  ASSERT_EQ(normal.code, 0) << normal;
  EXPECT_EQ(normal.out, "Set 1 setting of the project\n");
  EXPECT_EQ(normal.err, "");

  RunResult verbose = run({"-v", "set", "shop.xml", "ProjName=Shop"});
  ASSERT_EQ(verbose.code, 0) << verbose;
  EXPECT_THAT(verbose.err, HasSubstr("loaded shop.xml"));
  EXPECT_THAT(verbose.err, HasSubstr("saved shop.xml"));
}

}  // namespace
}  // namespace tw::testing
