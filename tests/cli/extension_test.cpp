// tarnwick extension: the user's extensions added, listed, changed and
// removed, and what each generation run makes of them.
#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kControlHead =
    "<TarnwickTemplate date=\"2026-01-01\" version=\"1.0\" desc=\"test\" author=\"tests\">\r\n";
constexpr const char* kControlTail = "</TarnwickTemplate>\r\n";

// The template: a list page per table, the start page, and a header session
// that extensions may include.
std::map<std::string, std::string> templateFiles() {
  return {
      {"control.xml", std::string(kControlHead) +
                          "<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"list.php\">"
                          "<session type=\"key\" value=\"head\"/>"
                          "<session type=\"key\" value=\"body\" ifile=\"parts.php\"/></control>\r\n"
                          "<control id=\"index\" type=\"other\" ofile=\"*\" oext=\"php\" ifiles=\"index.php\"/>\r\n" +
                          kControlTail},
      {"lang.xml", "<tarnwick.language></tarnwick.language>"},
      {"list.php", "<!--##session head##-->List of <!--##=TABLE.TblName##-->|<!--##/session##-->"},
      {"parts.php", "<!--##session body##-->body<!--##/session##-->"
                    "<!--##session title##-->Shop<!--##/session##-->"},
      {"index.php", "Project <!--##=PROJ.ProjName##-->\r\n"},
  };
}

// An audit extension: its own page (that includes the template's title), a
// page that is the template's title alone (an include session),
// the list's body from a file of its own, and no start page.
std::map<std::string, std::string> auditFiles(const std::string& version) {
  return {
      {"control.xml",
       std::string(kControlHead) +
           "<control id=\"audit\" type=\"other\" ofile=\"audit\" oext=\"php\" ifiles=\"audit.php\" "
           "action=\"add\"><session type=\"key\" value=\"page\"/></control>\r\n"
           "<control id=\"title\" type=\"other\" ofile=\"title\" oext=\"php\" ifiles=\"audit.php\" action=\"add\">"
           "<session type=\"include\" value=\"parts.php\" parm=\"title\"/></control>\r\n"
           "<control id=\"list\" action=\"change\">"
           "<session type=\"key\" value=\"body\" ifile=\"rows.php\" action=\"change\"/></control>\r\n"
           "<control id=\"index\" action=\"delete\"/>\r\n" +
           kControlTail},
      {"audit.php", "<!--##session page##-->Audit " + version +
                        " of <!--##include parts.php/title##--> by <!--##=AuditBy()##--><!--##/session##-->"},
      {"rows.php", "<!--##session body##-->audited rows<!--##/session##-->"},
      {"usercode.vbs", "Function AuditBy()\r\n  AuditBy = \"the auditor\"\r\nEnd Function\r\n"},
  };
}

class ExtensionCommandTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    fs::path templ = makeTemplateZip("tpl", templateFiles());
    newShop("shop.xml", {"--template", templ.string(), "--dest", "site"});
    ASSERT_EQ(run({"set", "shop.xml", "OutputNameType=", "OutputNameExt=", "AutoSync=False"}).code, 0);
  }
  fs::path site() const { return work() / "site"; }
  RunResult generate() { return run({"generate", "shop.xml", "--overwrite", "all"}); }
};

TEST_F(ExtensionCommandTest, AddedChangedAndRemovedExtensionsShapeTheNextRun) {
  RunResult none = run({"extension", "list"});
  ASSERT_EQ(none.code, 0) << none;
  EXPECT_THAT(none.out, HasSubstr("No extensions"));

  fs::path audit = makeTemplateZip("audit", auditFiles("v1"));
  RunResult added = run({"extension", "add", "audit", audit.string()});
  ASSERT_EQ(added.code, 0) << added;
  EXPECT_EQ(added.out, "Added extension audit: " + audit.string() + "\n");
  RunResult listed = run({"extension", "list"});
  ASSERT_EQ(listed.code, 0) << listed;
  EXPECT_THAT(listed.out, ::testing::ContainsRegex("audit +" + audit.string() + "\n"));

  // The run uses it: its page with its user code and the template's include,
  // its session file in the template's list, and no start page.
  for (int round = 1; round <= 2; ++round) {  // the second run reuses what the first extracted
    RunResult r = generate();
    ASSERT_EQ(r.code, 0) << round << r;
    EXPECT_EQ(read(site() / "audit.php"), "Audit v1 of Shop by the auditor\r\n") << round;
    EXPECT_EQ(read(site() / "orderslist.php"), "List of orders|audited rows\r\n") << round;
    EXPECT_EQ(read(site() / "title.php"), "Shop\r\n") << round;  // that session of parts.php, not all of it
    EXPECT_FALSE(fs::exists(site() / "index.php")) << round;
  }

  // A new archive under the same name replaces the old one.
  fs::path audit2 = makeTemplateZip("audit2", auditFiles("v2.0"));
  RunResult changed = run({"extension", "add", "audit", audit2.string()});
  ASSERT_EQ(changed.code, 0) << changed;
  EXPECT_EQ(changed.out,
            "Extension audit now uses " + audit2.string() + " (was " + audit.string() + ")\n");
  ASSERT_EQ(generate().code, 0);
  EXPECT_EQ(read(site() / "audit.php"), "Audit v2.0 of Shop by the auditor\r\n");

  // Removed (any letter case): the template alone again.
  RunResult removed = run({"extension", "remove", "AUDIT"});
  ASSERT_EQ(removed.code, 0) << removed;
  EXPECT_EQ(removed.out, "Removed extension audit\n");
  ASSERT_EQ(generate().code, 0);
  EXPECT_EQ(read(site() / "orderslist.php"), "List of orders|body\r\n");
  EXPECT_EQ(read(site() / "index.php"), "Project shop\r\n");
  EXPECT_THAT(run({"extension", "list"}).out, HasSubstr("No extensions"));
}

TEST_F(ExtensionCommandTest, AnArchiveInTheExtensionFolderOrAFolderCanBeNamed) {
  // A file of the extension folder by its name alone.
  fs::path shared = makeTemplateZip("shared-src", auditFiles("shared"));
  fs::rename(shared, dir() / "extensions" / "audit.zip");
  ASSERT_EQ(run({"extension", "add", "audit", "audit.zip"}).code, 0);
  RunResult json = run({"extension", "list", "--json"});
  ASSERT_EQ(json.code, 0) << json;
  EXPECT_EQ(json.out, "[\n {\"name\": \"audit\", \"archive\": \"audit.zip\", \"path\": \"" +
                          (dir() / "extensions" / "audit.zip").string() + "\", \"found\": true}\n]\n");
  ASSERT_EQ(generate().code, 0);
  EXPECT_EQ(read(site() / "audit.php"), "Audit shared of Shop by the auditor\r\n");

  // A folder, packed for each run; an edit in it shows in the next run.
  ASSERT_EQ(run({"extension", "remove", "audit"}).code, 0);
  fs::path folder = makeTemplateFolder("audit-folder", auditFiles("from a folder"));
  ASSERT_EQ(run({"extension", "add", "audit", folder.string()}).code, 0);
  ASSERT_EQ(generate().code, 0);
  EXPECT_EQ(read(site() / "audit.php"), "Audit from a folder of Shop by the auditor\r\n");
  write(folder / "rows.php", "<!--##session body##-->edited rows<!--##/session##-->");
  ASSERT_EQ(generate().code, 0);
  EXPECT_EQ(read(site() / "orderslist.php"), "List of orders|edited rows\r\n");
}

// An archive rewritten in place with other content of the same size within
// the same second looks unchanged by time and size; its content tells.
TEST_F(ExtensionCommandTest, AnArchiveRewrittenAtTheSameSizeAndTimeIsExtractedAgain) {
  fs::path first = makeTemplateZip("audit-v1", auditFiles("v1"));
  fs::path archive = work() / "audit.zip";
  fs::copy_file(first, archive);
  ASSERT_EQ(run({"extension", "add", "audit", archive.string()}).code, 0);
  ASSERT_EQ(generate().code, 0);
  EXPECT_EQ(read(site() / "audit.php"), "Audit v1 of Shop by the auditor\r\n");

  fs::path second;
  std::string version;
  for (char c = '2'; c <= '9' && second.empty(); ++c) {
    version = std::string("v") + c;
    fs::path made = makeTemplateZip("audit-" + version, auditFiles(version));
    if (fs::file_size(made) == fs::file_size(first)) second = made;
  }
  ASSERT_FALSE(second.empty()) << "no archive of the same size to rewrite with";
  const auto time = fs::last_write_time(archive);
  fs::copy_file(second, archive, fs::copy_options::overwrite_existing);
  fs::last_write_time(archive, time);
  ASSERT_EQ(fs::file_size(archive), fs::file_size(first));

  RunResult r = generate();
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(site() / "audit.php"), "Audit " + version + " of Shop by the auditor\r\n");
}

TEST_F(ExtensionCommandTest, WrongNamesAndArchivesAreRefused) {
  write(work() / "notes.zip", "not a zip archive");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  for (const Case& c : std::vector<Case>{
           {{"add", "../up", "x.zip"}, "extension name \"../up\": use letters, digits"},
           {{"add", "a b", "x.zip"}, "extension name \"a b\""},
           {{"add", "audit", "nosuch.zip"}, "nosuch.zip: no such extension archive"},
           {{"add", "audit", "notes.zip"}, "notes.zip: not a zip archive"},
           {{"remove", "audit"}, "no extension \"audit\" (none is registered)"},
       }) {
    std::vector<std::string> args = {"extension"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunResult r = run(args);
    EXPECT_EQ(r.code, 2) << c.args[1] << r;
    EXPECT_THAT(r.err, HasSubstr(c.message)) << r;
  }
  EXPECT_THAT(run({"extension", "list"}).out, HasSubstr("No extensions"));

  // A misspelt name is answered with the names there are.
  ASSERT_EQ(run({"extension", "add", "audit", makeTemplateZip("a", auditFiles("v1")).string()}).code, 0);
  RunResult typo = run({"extension", "remove", "audti"});
  EXPECT_EQ(typo.code, 2);
  EXPECT_THAT(typo.err, HasSubstr("did you mean audit"));
}

TEST_F(ExtensionCommandTest, AnArchiveThatWentMissingStopsTheRunSayingWhatToDo) {
  fs::path audit = makeTemplateZip("audit", auditFiles("v1"));
  ASSERT_EQ(run({"extension", "add", "audit", audit.string()}).code, 0);
  fs::remove(audit);
  RunResult r = generate();
  EXPECT_EQ(r.code, 1) << r;
  EXPECT_THAT(r.err, HasSubstr("extension audit: archive " + audit.string() + " not found"));
  EXPECT_THAT(r.err, HasSubstr("tarnwick extension remove audit"));
  EXPECT_FALSE(fs::exists(site() / "orderslist.php"));
}

TEST_F(ExtensionCommandTest, ExtensionLinesOfAProjectFileAreNotItsExtensionList) {
  // The list is the user's: a project file naming an extension that is not
  // registered generates without it, and saving writes the run's list.
  std::string text = read(work() / "shop.xml");
  const size_t database = text.find("<Database ");
  ASSERT_NE(database, std::string::npos);
  text.insert(database, "<Extension Seq=\"1\" Name=\"gone\" Template=\"gone.zip\" />\r\n");
  write(work() / "shop.xml", text);
  RunResult r = generate();
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(read(site() / "orderslist.php"), "List of orders|body\r\n");
  ASSERT_EQ(run({"set", "shop.xml", "ProjName=shop"}).code, 0);
  EXPECT_THAT(read(work() / "shop.xml"), Not(HasSubstr("<Extension ")));
}

}  // namespace
}  // namespace tw::testing
