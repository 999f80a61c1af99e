// tarnwick generate and tarnwick demo: pages written, the answers for
// existing files, backups, the check, changed templates and databases.
#include <gmock/gmock.h>

#include <thread>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::map<std::string, std::string> templateFiles(const std::string& listText = "List of") {
  return {
      {"control.xml",
       "<TarnwickTemplate date=\"2026-01-01\" version=\"1.0\" desc=\"test\" author=\"tests\">\r\n"
       "<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"list.php\"/>\r\n"
       "<control id=\"index\" type=\"other\" ofile=\"*\" oext=\"php\" ifiles=\"index.php\"/>\r\n"
       "</TarnwickTemplate>\r\n"},
      {"lang.xml", "<tarnwick.language></tarnwick.language>"},
      {"list.php", listText + " <!--##=TABLE.TblName##-->\r\n"},
      {"index.php", "Project <!--##=PROJ.ProjName##-->\r\n"},
  };
}

class GenerateTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    templateZip = makeTemplateZip("tpl", templateFiles());
    project = newShop("shop.xml", {"--template", templateZip.string(), "--dest", "site"});
    // Plain page names: the table's name and the control's.
    ASSERT_EQ(run({"set", "shop.xml", "OutputNameType=", "OutputNameExt="}).code, 0);
  }
  fs::path site() const { return work() / "site"; }
  fs::path page(const std::string& table) const { return site() / (table + "list.php"); }

  fs::path templateZip;
  fs::path project;
};

using PagesTest = GenerateTest;

TEST_F(PagesTest, WritesThePagesAndSaysSo) {
  RunResult r = run({"generate", "shop.xml"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(page("orders")), "List of orders\r\n");
  EXPECT_EQ(read(site() / "index.php"), "Project shop\r\n");
  EXPECT_THAT(r.out,
              ::testing::MatchesRegex("Generated [0-9]+ pages into " + site().string() + " in [0-9.]+ s\n"));
  EXPECT_EQ(r.err, "");
}

TEST_F(PagesTest, RunsAtTheSameTimeWithTemplatesOfOneNameEachUseTheirOwn) {
  // Two templates called t.zip share the work folder that is named after
  // the file: the runs take turns, and each writes its own template's pages.
  // (Their sizes differ: the work folder's cache tells archives apart by
  // time and size.)
  const std::vector<std::string> texts = {"List A of", "List BB of"};
  std::vector<std::string> projects;
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string name = std::string(1, static_cast<char>('a' + i));
    fs::path folder = makeTemplateFolder("src-" + name, templateFiles(texts[i]));
    fs::create_directories(dir() / name);
    ArchiveResult made = createArchive((dir() / name / "t.zip").string(), folder.string());
    ASSERT_TRUE(made.ok) << made.error;
    newShop(name + ".xml", {"--template", (dir() / name / "t.zip").string(), "--dest", "site-" + name});
    ASSERT_EQ(run({"set", name + ".xml", "OutputNameType=", "OutputNameExt=", "AutoSync=False"}).code, 0);
    projects.push_back(name);
  }
  for (int round = 0; round < 3; ++round) {
    std::vector<RunResult> results(projects.size());
    std::vector<std::thread> runs;
    for (size_t i = 0; i < projects.size(); ++i)
      runs.emplace_back([&, i] {
        results[i] = run({"generate", projects[i] + ".xml", "--overwrite", "all", "--extract-template"});
      });
    for (std::thread& t : runs) t.join();
    for (size_t i = 0; i < projects.size(); ++i) {
      EXPECT_EQ(results[i].code, 0) << round << results[i];
      EXPECT_EQ(read(work() / ("site-" + projects[i]) / "orderslist.php"), texts[i] + " orders\r\n") << round;
    }
  }
}

TEST_F(PagesTest, EveryTableMarkedForGenerationGetsItsPage) {
  ASSERT_EQ(run({"set", "shop.xml", "customers", "TblGen=False"}).code, 0);
  RunResult r = run({"generate", "shop.xml"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(page("orders")), "List of orders\r\n");
  EXPECT_EQ(read(page("big_orders")), "List of big_orders\r\n");
  EXPECT_FALSE(fs::exists(page("customers")));
}

TEST_F(PagesTest, WithoutATerminalExistingFilesNeedTheOverwriteFlag) {
  // Files in the destination before the first run: nothing says whose
  // they are, so the overwrite rules decide.
  write(page("orders"), "mine");
  RunResult r = run({"generate", "shop.xml"});
  EXPECT_EQ(r.code, 2) << r;
  EXPECT_THAT(r.err, HasSubstr("already exists!"));
  EXPECT_THAT(r.err, HasSubstr("decide with --overwrite all or --overwrite skip"));
  EXPECT_EQ(read(page("orders")), "mine");
}

TEST_F(PagesTest, OverwriteSkipKeepsExistingFiles) {
  ASSERT_EQ(run({"generate", "shop.xml"}).code, 0);
  write(page("orders"), "mine");
  fs::remove(page("customers"));
  RunResult r = run({"generate", "shop.xml", "--overwrite", "skip"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(page("orders")), "mine");
  EXPECT_EQ(read(page("customers")), "List of customers\r\n");  // not there, so written
  EXPECT_THAT(
      r.out, ::testing::MatchesRegex("Generated 1 page into .* \\([0-9]+ unchanged, [0-9]+ existing pages? skipped\\) in .*\n"));
  EXPECT_FALSE(fs::exists(page("orders").string() + ".bak"));
  // The same counts as JSON, alone on stdout.
  fs::remove(page("customers"));
  RunResult json = run({"generate", "shop.xml", "--overwrite", "skip", "--json"});
  ASSERT_EQ(json.code, 0) << json;
  EXPECT_THAT(json.out,
              ::testing::MatchesRegex("\\{\n  \"destination\": \"" + site().string() +
                                      "\",\n  \"pages_written\": 1,\n  \"pages_skipped\": [1-9][0-9]*,\n"
                                      "(.|\n)*  \"backups\": 0,\n  \"warnings\": \\[\"1 file changed by hand[^\"]*\"\\],\n"
                                      "  \"template_problems\": 0,\n  \"seconds\": [0-9.e-]+\n\\}\n"));
}

TEST_F(PagesTest, OverwriteAllReplacesFilesAndKeepsBackupsAsTheUserDefaultSays) {
  ASSERT_EQ(run({"config", "set", "General", "BackupFile", "True"}).code, 0);
  ASSERT_EQ(run({"generate", "shop.xml"}).code, 0);
  write(page("orders"), "mine");
  RunResult r = run({"generate", "shop.xml", "--overwrite", "all", "--force"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(page("orders")), "List of orders\r\n");
  EXPECT_EQ(read(page("orders").string() + ".bak"), "mine");
  EXPECT_THAT(r.out, HasSubstr(" unchanged, 1 backup)")) << "only the page that changed is backed up";
  write(page("orders"), "mine");
  RunResult json = run({"generate", "shop.xml", "--overwrite", "all", "--force", "--json"});
  EXPECT_THAT(json.out, HasSubstr("\"pages_skipped\": 0,"));
  EXPECT_THAT(json.out, ::testing::ContainsRegex("\"backups\": [1-9]"));

  write(page("orders"), "mine again");
  ASSERT_EQ(run({"generate", "shop.xml", "--overwrite", "all", "--no-backup", "--force"}).code, 0);
  EXPECT_EQ(read(page("orders").string() + ".bak"), "mine");  // no new backup
  // The user default is as it was.
  EXPECT_EQ(run({"config", "get", "General", "BackupFile"}).out, "True\n");
}

TEST_F(PagesTest, BackupFlagMakesBackupsWhenTheUserDefaultDoesNot) {
  ASSERT_EQ(run({"config", "set", "General", "BackupFile", "False"}).code, 0);
  ASSERT_EQ(run({"generate", "shop.xml"}).code, 0);
  write(page("orders"), "mine");
  ASSERT_EQ(run({"generate", "shop.xml", "--overwrite", "all", "--force"}).code, 0);
  EXPECT_FALSE(fs::exists(page("orders").string() + ".bak"));
  write(page("orders"), "mine");
  ASSERT_EQ(run({"generate", "shop.xml", "--overwrite", "all", "--backup", "--force"}).code, 0);
  EXPECT_EQ(read(page("orders").string() + ".bak"), "mine");
  EXPECT_EQ(run({"config", "get", "General", "BackupFile"}).out, "False\n");
}

TEST_F(PagesTest, AProjectThatDoesNotAskOverwritesWithoutTheFlag) {
  ASSERT_EQ(run({"set", "shop.xml", "PromptOnOverwrite=False"}).code, 0);
  write(page("orders"), "mine");
  ASSERT_EQ(run({"generate", "shop.xml", "--no-backup"}).code, 0);
  fs::remove(work() / "shop.manifest");  // files of unknown origin again
  write(page("orders"), "mine");
  RunResult r = run({"generate", "shop.xml", "--no-backup"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(page("orders")), "List of orders\r\n");
  // ... unless told to keep what is there.
  write(page("orders"), "mine");
  ASSERT_EQ(run({"generate", "shop.xml", "--overwrite", "skip"}).code, 0);
  EXPECT_EQ(read(page("orders")), "mine");
}

TEST_F(PagesTest, OnATerminalTheQuestionIsAsked) {
  write(page("orders"), "mine");
  write(page("customers"), "mine too");
  // Skip, for all the files that follow.
  RunResult r = runOnTerminal({"generate", "shop.xml"}, {{"Choice:", "2"}, {"All? [y/N]", "y"}});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("already exists!"));
  EXPECT_EQ(read(page("orders")), "mine");
  EXPECT_EQ(read(page("customers")), "mine too");
  // Cancel ends the run.
  fs::remove(work() / "shop.manifest");
  RunResult cancel = runOnTerminal({"generate", "shop.xml"}, {{"Choice:", "3"}, {"All? [y/N]", "n"}});
  EXPECT_EQ(cancel.code, 130) << cancel;
  EXPECT_THAT(cancel.out, HasSubstr("cancelled"));
}

// A page changed by hand after it was generated is kept unless --force says
// otherwise; the run lists it. A file of the user's that the template does
// not write is never touched, and the manifest lies beside the project.
TEST_F(PagesTest, HandEditsSurviveRegeneration) {
  struct Case {
    std::vector<std::string> args;
    bool overwritten;
  } cases[] = {
      {{"generate", "shop.xml"}, false},
      {{"generate", "shop.xml", "--overwrite", "all"}, false},
      {{"generate", "shop.xml", "--overwrite", "all", "--backup"}, false},
      {{"generate", "shop.xml", "--force"}, true},
      {{"generate", "shop.xml", "--overwrite", "all", "--force"}, true},
  };
  for (const Case& c : cases) {
    fs::remove_all(site());
    fs::remove(work() / "shop.manifest");
    ASSERT_EQ(run({"generate", "shop.xml"}).code, 0);
    EXPECT_TRUE(fs::exists(work() / "shop.manifest"));
    write(page("orders"), "mine");
    write(site() / "extra.php", "my own page");
    RunResult r = run(c.args);
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_EQ(read(page("orders")), c.overwritten ? "List of orders\r\n" : "mine") << r;
    EXPECT_EQ(read(site() / "extra.php"), "my own page");
    EXPECT_FALSE(fs::exists(page("orders").string() + ".bak")) << "nothing overwritten, nothing backed up";
    if (c.overwritten) {
      EXPECT_THAT(r.err, ::testing::Not(HasSubstr("changed by hand")));
    } else {
      EXPECT_THAT(r.err, HasSubstr("1 file changed by hand since it was generated was kept as it is"));
      EXPECT_THAT(r.err, HasSubstr("  orderslist.php\n"));
    }
    // Kept, it stays an edit for the next run too.
    if (!c.overwritten) {
      RunResult next = run({"generate", "shop.xml", "--overwrite", "all"});
      EXPECT_EQ(read(page("orders")), "mine");
      EXPECT_THAT(next.err, HasSubstr("  orderslist.php\n"));
    }
  }
}

TEST_F(PagesTest, UnchangedPagesAreNeitherRewrittenNorBackedUp) {
  ASSERT_EQ(run({"config", "set", "General", "BackupFile", "True"}).code, 0);
  ASSERT_EQ(run({"generate", "shop.xml"}).code, 0);
  Snapshot before = snapshot(page("orders"));
  RunResult again = run({"generate", "shop.xml", "--overwrite", "all"});
  ASSERT_EQ(again.code, 0) << again;
  EXPECT_TRUE(snapshot(page("orders")) == before);
  for (const auto& e : fs::recursive_directory_iterator(site()))
    EXPECT_NE(e.path().extension(), ".bak") << e.path();
  EXPECT_THAT(again.out, ::testing::Not(HasSubstr("backup")));
}

TEST_F(PagesTest, DryRunListsWhatWouldHappenAndWritesNothing) {
  // Into a destination that does not exist yet: not even the folder appears.
  RunResult fresh = run({"generate", "shop.xml", "--dry-run"});
  ASSERT_EQ(fresh.code, 0) << fresh;
  EXPECT_THAT(fresh.out, HasSubstr("Would create ("));
  EXPECT_THAT(fresh.out, HasSubstr("  orderslist.php\n"));
  EXPECT_FALSE(fs::exists(site()));
  EXPECT_FALSE(fs::exists(work() / "shop.manifest"));

  ASSERT_EQ(run({"generate", "shop.xml"}).code, 0);
  write(page("orders"), "mine\n");
  fs::remove(page("customers"));
  Snapshot edited = snapshot(page("orders"));
  const std::string manifest = read(work() / "shop.manifest");
  for (const char* flag : {"--dry-run", "--diff"}) {
    RunResult r = run({"generate", "shop.xml", flag});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_THAT(r.out, HasSubstr("Would create (1):\n  customerslist.php\n"));
    EXPECT_THAT(r.out, HasSubstr("Would skip, changed by hand (--force overwrites) (1):\n  orderslist.php\n"));
    EXPECT_THAT(r.out, HasSubstr("Unchanged ("));
    EXPECT_TRUE(snapshot(page("orders")) == edited);
    EXPECT_FALSE(fs::exists(page("customers")));
    EXPECT_EQ(read(work() / "shop.manifest"), manifest);
    const bool diff = std::string(flag) == "--diff";
    EXPECT_EQ(r.out.find("--- a/orderslist.php\n+++ b/orderslist.php\n@@ -1,1 +1,1 @@\n-mine\n+List of orders\r\n"),
              diff ? r.out.find("--- a/orderslist.php") : std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("--- /dev/null\n+++ b/customerslist.php\n@@ -0,0 +1,1 @@\n+List of customers\r\n") ==
                  std::string::npos,
              !diff)
        << r.out;
  }
  // With --force the edit would be overwritten: it shows as a change.
  RunResult forced = run({"generate", "shop.xml", "--dry-run", "--force"});
  EXPECT_THAT(forced.out, HasSubstr("Would change (1):\n  orderslist.php\n"));
  EXPECT_TRUE(snapshot(page("orders")) == edited);
}

TEST_F(PagesTest, OnATerminalAnEditedPageIsAskedAbout) {
  ASSERT_EQ(run({"generate", "shop.xml"}).code, 0);
  struct Case {
    std::vector<std::pair<std::string, std::string>> answers;
    int code;
    std::string content;
    std::string said;
  } cases[] = {
      // Diff first, then Skip.
      {{{"Choice:", "3"}, {"-mine", "2"}}, 0, "mine\n", "+List of orders"},
      {{{"Choice:", "1"}}, 0, "List of orders\r\n", "was changed since it was generated!"},
      {{{"Choice:", "4"}}, 130, "mine\n", "cancelled"},
  };
  for (const Case& c : cases) {
    write(page("orders"), "mine\n");
    RunResult r = runOnTerminal({"generate", "shop.xml"}, c.answers);
    EXPECT_EQ(r.code, c.code) << r;
    EXPECT_EQ(read(page("orders")), c.content) << r;
    EXPECT_THAT(r.out, HasSubstr(c.said));
    EXPECT_THAT(r.out, HasSubstr("Overwrite"));
  }
}

TEST_F(PagesTest, OnATerminalAProgressBarShowsTheRun) {
  RunResult r = runOnTerminal({"generate", "shop.xml"}, {});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("Tarnwick - Generating PHP Scripts..."));
  EXPECT_THAT(r.out, HasSubstr("100%"));
  EXPECT_THAT(r.out, HasSubstr("\r\033[K"));  // the line is cleared when done
  RunResult quiet = runOnTerminal({"generate", "shop.xml", "--overwrite", "all", "--quiet"}, {});
  ASSERT_EQ(quiet.code, 0) << quiet;
  EXPECT_THAT(quiet.out, ::testing::Not(HasSubstr("%")));
  EXPECT_THAT(quiet.out, ::testing::Not(HasSubstr("Generated")));
}

TEST_F(PagesTest, CtrlCCancelsTheRunCleanly) {
  // Enough tables that the run is still going when the key arrives.
  std::string sql;
  for (int i = 0; i < 400; ++i)
    sql += "CREATE TABLE t" + std::to_string(i) + " (id INTEGER PRIMARY KEY, v TEXT);";
  makeSqlite(work() / "many.sqlite", sql);
  ASSERT_EQ(run({"new", "many.xml", "--db", "sqlite:many.sqlite", "--template", templateZip.string(),
                 "--dest", "many-site"})
                .code,
            0);
  ASSERT_EQ(run({"set", "many.xml", "AutoSync=False"}).code, 0);
  Snapshot before = snapshot(work() / "many.xml");
  RunResult r = runOnTerminal({"generate", "many.xml"}, {{"Generating t", "\x03"}});
  EXPECT_EQ(r.code, 130) << r;
  EXPECT_THAT(r.out, HasSubstr("cancelled"));
  EXPECT_THAT(r.out, ::testing::Not(HasSubstr("Generated")));
  // The pages before the key stay (the folder comes with the first one);
  // not all were written, and the project is as it was.
  size_t pages = 0;
  if (fs::exists(work() / "many-site"))
    for (const auto& e : fs::directory_iterator(work() / "many-site"))
      if (e.path().filename().string().rfind("t", 0) == 0) ++pages;
  EXPECT_LT(pages, 400u);
  EXPECT_TRUE(snapshot(work() / "many.xml") == before);
}

TEST_F(PagesTest, CheckCountsExistingOutputsWithoutWriting) {
  RunResult none = run({"generate", "shop.xml", "--check"});
  ASSERT_EQ(none.code, 0) << none;
  EXPECT_EQ(none.out, "0\n");
  EXPECT_THAT(none.err, HasSubstr("No output exists yet in " + site().string()));
  EXPECT_FALSE(fs::exists(page("orders")));
  // The count stops after the first table that has outputs: its one page.
  write(page("orders"), "mine");
  RunResult some = run({"generate", "shop.xml", "--check"});
  ASSERT_EQ(some.code, 0) << some;
  EXPECT_EQ(some.out, "1\n");
  EXPECT_EQ(read(page("orders")), "mine");
  EXPECT_EQ(run({"generate", "shop.xml", "--check", "--quiet"}).err, "");
}

TEST_F(PagesTest, DestinationFromTheCommandLine) {
  RunResult r = run({"generate", "shop.xml", "--dest", "elsewhere"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(work() / "elsewhere" / "orderslist.php"), "List of orders\r\n");
  EXPECT_FALSE(fs::exists(page("orders")));
  // The project keeps its own destination.
  EXPECT_EQ(attribute(project, "/Project", "Destination"), "site");
}

TEST_F(PagesTest, AProjectWithoutTemplateOrDestinationIsRefused) {
  ASSERT_EQ(run({"set", "shop.xml", "Destination="}).code, 0);
  RunResult dest = run({"generate", "shop.xml"});
  EXPECT_EQ(dest.code, 1) << dest;
  EXPECT_THAT(dest.err, HasSubstr("--dest"));
  ASSERT_EQ(run({"set", "shop.xml", "Template=" + (dir() / "gone.zip").string()}).code, 0);
  RunResult templ = run({"generate", "shop.xml", "--dest", "x"});
  EXPECT_EQ(templ.code, 1) << templ;
  EXPECT_THAT(templ.err, HasSubstr("gone.zip: template not found. Name the template again with: tarnwick set "
                                   "shop.xml Template=FILE.zip"));
  EXPECT_FALSE(fs::exists(work() / "x"));
  // The form the message suggests for the shipped template works.
  write(dir() / "templates" / "default.zip", read(templateZip));
  setEnv("TARNWICK_TEMPLATES", (dir() / "templates").string());
  ASSERT_EQ(run({"set", "shop.xml", "Template=${TARNWICK_TEMPLATES}/default.zip"}).code, 0);
  EXPECT_EQ(attribute(project, "/Project", "Template"), "${TARNWICK_TEMPLATES}/default.zip");
  RunResult shipped = run({"generate", "shop.xml", "--dest", "x"});
  EXPECT_EQ(shipped.code, 0) << shipped;
  EXPECT_EQ(read(work() / "x" / "orderslist.php"), "List of orders\r\n");
}

TEST_F(PagesTest, AChangedTemplateArchiveNeedsADecision) {
  ASSERT_EQ(run({"generate", "shop.xml"}).code, 0);
  // A new archive of the same name, with another text (and time).
  fs::remove(templateZip);
  fs::path again = makeTemplateZip("tpl", templateFiles("Table"));
  ASSERT_EQ(again, templateZip);
  fs::last_write_time(templateZip, fs::file_time_type::clock::now() + std::chrono::seconds(5));

  RunResult undecided = run({"generate", "shop.xml", "--overwrite", "all"});
  EXPECT_EQ(undecided.code, 2) << undecided;
  EXPECT_THAT(undecided.err, HasSubstr("decide with --keep-template or --extract-template"));

  RunResult keep = run({"generate", "shop.xml", "--overwrite", "all", "--keep-template"});
  ASSERT_EQ(keep.code, 0) << keep;
  EXPECT_EQ(read(page("orders")), "List of orders\r\n");

  RunResult extract = run({"generate", "shop.xml", "--overwrite", "all", "--extract-template"});
  ASSERT_EQ(extract.code, 0) << extract;
  EXPECT_EQ(read(page("orders")), "Table orders\r\n");
}

TEST_F(PagesTest, ATemplateFolderIsUsedAsItIsNow) {
  fs::path folder = makeTemplateFolder("folder-template", templateFiles("From folder"));
  ASSERT_EQ(run({"set", "shop.xml", "Template=" + folder.string()}).code, 0);
  ASSERT_EQ(run({"generate", "shop.xml"}).code, 0);
  EXPECT_EQ(read(page("orders")), "From folder orders\r\n");
  write(folder / "list.php", "Changed <!--##=TABLE.TblName##-->\r\n");
  RunResult r = run({"generate", "shop.xml", "--overwrite", "all"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(page("orders")), "Changed orders\r\n");
}

TEST_F(PagesTest, ATemplateWithoutLanguageFileSpeaksTheShippedLanguage) {
  // A phrase of the shipped language file, which the template does not have.
  std::map<std::string, std::string> files = templateFiles("<!--##@app.add##-->");
  files.erase("lang.xml");
  fs::path folder = makeTemplateFolder("no-language", files);
  ASSERT_EQ(run({"set", "shop.xml", "Template=" + folder.string()}).code, 0);
  RunResult r = run({"generate", "shop.xml"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(page("orders")), "Add orders\r\n");
}

TEST_F(PagesTest, TemplateErrorsAreReportedAsTheEngineGivesThem) {
  fs::path folder = makeTemplateFolder("no-control", {{"list.php", "x"}});
  ASSERT_EQ(run({"set", "shop.xml", "Template=" + folder.string()}).code, 0);
  RunResult r = run({"generate", "shop.xml"});
  EXPECT_EQ(r.code, 1) << r;
  EXPECT_EQ(r.err, "tarnwick: error: control file not found! Generation aborted!\n");
}

// ---------------------------------------------------------------- the database changed

class ChangedDatabaseTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    ASSERT_EQ(run({"set", "shop.xml", "orders", "total", "FldCaption=Amount"}).code, 0);
    execSqlite(work() / "shop.sqlite", "ALTER TABLE orders ADD COLUMN note TEXT;");
  }
  std::vector<std::string> orderFields() {
    return childNames(project, tableXPath("orders"), "Field", "FldName");
  }
};

TEST_F(ChangedDatabaseTest, WithoutATerminalTheSyncFlagDecides) {
  Snapshot before = snapshot(project);
  RunResult undecided = run({"generate", "shop.xml"});
  EXPECT_EQ(undecided.code, 2) << undecided;
  EXPECT_THAT(undecided.err, HasSubstr("decide with --sync update, --sync keep or --sync off"));
  EXPECT_FALSE(fs::exists(page("orders")));
  EXPECT_TRUE(snapshot(project) == before);

  RunResult keep = run({"generate", "shop.xml", "--sync", "keep"});
  ASSERT_EQ(keep.code, 0) << keep;
  EXPECT_TRUE(fs::exists(page("orders")));
  EXPECT_TRUE(snapshot(project) == before);

  RunResult off = run({"generate", "shop.xml", "--sync", "off", "--overwrite", "all"});
  ASSERT_EQ(off.code, 0) << off;
  EXPECT_TRUE(snapshot(project) == before);
}

TEST_F(ChangedDatabaseTest, UpdateBringsTheProjectFileInLineFirst) {
  RunResult r = run({"generate", "shop.xml", "--sync", "update"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("Updated shop.xml from the database\n"));
  EXPECT_THAT(orderFields(), ::testing::ElementsAre("id", "customer_id", "total", "placed", "note"));
  EXPECT_EQ(attribute(project, fieldXPath("orders", "total"), "FldCaption"), "Amount");
  EXPECT_TRUE(fs::exists(page("orders")));
  // Now in line, the next run has nothing to decide.
  EXPECT_EQ(run({"generate", "shop.xml", "--overwrite", "all"}).code, 0);
}

TEST_F(ChangedDatabaseTest, AProjectWithoutAutoSyncIsNotCompared) {
  ASSERT_EQ(run({"set", "shop.xml", "AutoSync=False"}).code, 0);
  RunResult r = run({"generate", "shop.xml"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(orderFields().size(), 4u);
}

TEST_F(ChangedDatabaseTest, AnUnreachableDatabaseIsAWarning) {
  fs::rename(work() / "shop.sqlite", work() / "moved.sqlite");
  RunResult r = run({"generate", "shop.xml"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.err, HasSubstr("warning: cannot compare the project with its database"));
  EXPECT_TRUE(fs::exists(page("orders")));
}

// ---------------------------------------------------------------- demo

class DemoTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    data = dir() / "data";
    setEnv("TARNWICK_DATA_DIR", data.string());
    write(data / "samples" / "sample-sqlite.sql",
          "CREATE TABLE products (id INTEGER PRIMARY KEY, name TEXT, supplier_id INT REFERENCES suppliers);"
          "INSERT INTO products (name) VALUES ('tea');"
          "CREATE TABLE suppliers (id INTEGER PRIMARY KEY, name TEXT);");
  }
  fs::path data;
};

TEST_F(DemoTest, SaysSoWhenTheDefaultTemplateIsNotThereYet) {
  write(data / "templates" / "default" / "lib" / "app.php", "<?php\n");
  RunResult r = run({"demo", "app"});
  EXPECT_EQ(r.code, 1) << r;
  EXPECT_THAT(r.err, HasSubstr("the default template is not there yet"));
  EXPECT_THAT(r.err, HasSubstr("has no control.xml"));
  EXPECT_FALSE(fs::exists(work() / "app"));
}

TEST_F(DemoTest, GeneratesTheSampleIntoTheFolderAndSaysHowToServeIt) {
  for (const auto& [name, text] : templateFiles()) write(data / "templates" / "default" / name, text);
  RunResult r = run({"demo", "app"});
  ASSERT_EQ(r.code, 0) << r;
  fs::path app = work() / "app";
  // Named by the shipped defaults: the table's name and the control's.
  EXPECT_EQ(read(app / "productslist.php"), "List of products\r\n");
  EXPECT_THAT(r.out, HasSubstr("cd " + app.string() + " && php -S 127.0.0.1:8000 -t public router.php\n"));
  fs::path database = dir() / "Documents" / "Tarnwick" / "Demo" / "sample.sqlite";
  EXPECT_TRUE(fs::exists(database));
  EXPECT_THAT(r.out, HasSubstr(database.string()));
  // A second run replaces the pages without asking and without backups.
  write(app / "index.php", "old");
  RunResult again = run({"demo", "app"});
  ASSERT_EQ(again.code, 0) << again;
  EXPECT_EQ(read(app / "index.php"), "Project Tarnwick Demo\r\n");
  EXPECT_FALSE(fs::exists(app / "index.php.bak"));
}

TEST_F(DemoTest, TheSampleProjectDescriptionIsApplied) {
  for (const auto& [name, text] : templateFiles()) write(data / "templates" / "default" / name, text);
  write(data / "samples" / "sample-project.txt",
        "# comments and blank lines are skipped\n\n"
        "name \"Sample Shop\"\n"
        "table products TblCaption='Our goods' TblGen=False   # a comment after the words\n"
        "field products name FldCaption=\"Product \\\"name\\\"\"\n"
        "view cheap \"SELECT id, name FROM products WHERE id < 10\"\n"
        "report product_report products\n"
        "chart product_report by_name ChartCaption=\"By name\" ChartWidth=300\n"
        "chart product_report by_name ChartHeight=200\n");
  RunResult r = run({"demo", "app"});
  ASSERT_EQ(r.code, 0) << r;
  fs::path project = dir() / "Documents" / "Tarnwick" / "Demo" / "demo.xml";
  EXPECT_EQ(attribute(project, "/Project", "ProjName"), "Sample Shop");
  EXPECT_EQ(attribute(project, tableXPath("products"), "TblCaption"), "Our goods");
  EXPECT_EQ(attribute(project, fieldXPath("products", "name"), "FldCaption"), "Product \"name\"");
  // The schema's key, as `new` would take it, under the description's settings.
  EXPECT_EQ(attribute(project, fieldXPath("products", "supplier_id"), "FldTagLnkTbl"), "suppliers");
  EXPECT_EQ(attribute(project, fieldXPath("products", "supplier_id"), "FldCaption"), "Supplier");
  EXPECT_EQ(attribute(project, tableXPath("cheap"), "TblType"), "CUSTOMVIEW");
  EXPECT_EQ(attribute(project, tableXPath("product_report"), "TblRptSrc"), "products");
  std::string chart = tableXPath("product_report") + "/Chart[@ChartName='by_name']";
  EXPECT_EQ(attribute(project, chart, "ChartCaption"), "By name");
  EXPECT_EQ(attribute(project, chart, "ChartWidth"), "300");
  EXPECT_EQ(attribute(project, chart, "ChartHeight"), "200");
  // Pages follow the description: products is not generated, the view is.
  fs::path app = work() / "app";
  EXPECT_FALSE(fs::exists(app / "productslist.php"));
  EXPECT_EQ(read(app / "cheaplist.php"), "List of cheap\r\n");
  EXPECT_EQ(read(app / "index.php"), "Project Sample Shop\r\n");
  // The sample has no login: none is offered.
  EXPECT_THAT(r.out, ::testing::Not(HasSubstr("log in")));
}

TEST_F(DemoTest, AWrongDescriptionLineIsReportedWithItsPlace) {
  for (const auto& [name, text] : templateFiles()) write(data / "templates" / "default" / name, text);
  write(data / "samples" / "sample-project.txt", "name x\ntable products TblCaptoin=x\n");
  RunResult r = run({"demo", "app"});
  EXPECT_EQ(r.code, 2) << r;
  EXPECT_THAT(
      r.err,
      HasSubstr("sample-project.txt:2: unknown table setting \"TblCaptoin\"; did you mean TblCaption?"));
  write(data / "samples" / "sample-project.txt", "table products TblCaption='open\n");
  RunResult quote = run({"demo", "app"});
  EXPECT_EQ(quote.code, 2) << quote;
  EXPECT_THAT(quote.err, HasSubstr("sample-project.txt:1: a quote is not closed"));
}

TEST_F(DemoTest, ABrokenSampleScriptLeavesNoDatabase) {
  for (const auto& [name, text] : templateFiles()) write(data / "templates" / "default" / name, text);
  write(data / "samples" / "sample-sqlite.sql",
        "CREATE TABLE x (id INTEGER); INSERT INTO nothere VALUES (1);");
  RunResult r = run({"demo", "app"});
  EXPECT_EQ(r.code, 1) << r;
  EXPECT_THAT(r.err, HasSubstr("no such table: nothere"));
  EXPECT_FALSE(fs::exists(dir() / "Documents" / "Tarnwick" / "Demo" / "sample.sqlite"));
}

}  // namespace
}  // namespace tw::testing

namespace tw::testing {
namespace {

// What the template's scripts let pass is listed after the run, naming the
// author's files; --strict turns any of it into a failed run.
TEST_F(GenerateTest, TemplateProblemsAreWarnedAboutAndFailTheRunWithStrict) {
  struct Case {
    const char* name;
    std::vector<std::string> flags;
    int code;
    const char* lastLine;  // of stderr
  };
  std::map<std::string, std::string> files = templateFiles();
  files["list.php"] = "List <!--##=TABLE.TblNmae##-->\r\n<!--##@nosuch##-->\r\n<!--##$\"nosuch2\"##-->";
  for (const auto& [name, text] : files) write(work() / "mytemplate" / name, text);
  ASSERT_EQ(run({"set", "shop.xml", "Template=mytemplate"}).code, 0);
  const std::vector<Case> cases = {
      {"by default the run goes on", {}, 0, nullptr},
      {"strict", {"--strict"}, 1,
       "tarnwick: error: 3 template problems (see the warnings above); --strict fails the run on any\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"generate", "shop.xml", "--overwrite", "all"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    RunResult r = run(args);
    EXPECT_EQ(r.code, c.code) << r;
    EXPECT_THAT(r.err, HasSubstr("tarnwick: warning: mytemplate/list.php:1:6: run-time error skipped: Object "
                                 "doesn't support this property or method: 'TblNmae' (control list; tables "));
    EXPECT_THAT(r.err, HasSubstr("tarnwick: warning: mytemplate/list.php:2:1: unknown phrase \"nosuch\" (not in "
                                 "the language file) (control list)\n"));
    // Named by a literal, the dynamic phrase is placed where it is written,
    // once, not also at its control for every page.
    EXPECT_THAT(r.err, HasSubstr("tarnwick: warning: mytemplate/list.php:3:1: unknown phrase \"nosuch2\" (not in "
                                 "the language file) (control list)\n"));
    EXPECT_THAT(r.err, Not(HasSubstr("(LANG.Phrase)")));
    if (c.lastLine) {
      EXPECT_THAT(r.err, ::testing::EndsWith(c.lastLine));
    }
    // The pages are written either way.
    EXPECT_EQ(read(page("orders")), "List \r\n");
  }
}

// Counting outputs runs no page: --strict could not fail it, so the pair is
// refused with the command that does find template problems.
TEST_F(GenerateTest, CheckWithStrictIsRefusedNamingTemplateCheck) {
  RunResult r = run({"generate", "shop.xml", "--check", "--strict"});
  EXPECT_EQ(r.code, 2) << r;
  EXPECT_EQ(r.out, "");
  EXPECT_THAT(r.err, HasSubstr("--strict does not go with --check"));
  EXPECT_THAT(r.err, HasSubstr("tarnwick template check TEMPLATE shop.xml"));
  EXPECT_EQ(run({"generate", "shop.xml", "--check"}).code, 0);
}

}  // namespace
}  // namespace tw::testing
