// Extensions: archives beside the program whose control files add, change
// and delete the template's controls, with their own user code and phrases.
#include "generation_fixture.h"
#include "script/session.h"

namespace tw::testing {
namespace {

class ExtensionTest : public GenerationTest {
 protected:
  void SetUp() override {
    GenerationTest::SetUp();
    proj->setSetting("OtherGen", Variant(true));
    makeTemplate({
        {"control.xml",
         controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"list.php\">"
                     "<session type=\"key\" value=\"head\"/><session type=\"key\" value=\"body\"/></control>"
                     "<control id=\"old\" type=\"other\" ofile=\"old\" oext=\"php\" ifiles=\"old.php\"/>")},
        {"lang.xml", languageFile("<phrase id=\"Ext\" value=\"from the template\"/>")},
        {"list.php",
         "<!--##session head##-->H|<!--##/session##--><!--##session body##-->B|<!--##/session##-->"},
        {"old.php", "old"},
    });
  }
  void makeExtension(const std::string& archive, const Files& files) {
    makeArchive(root / "extensions" / archive, files);
  }
  Files auditExtension() {
    return {
        {"control.xml",
         controlFile(
             "<control id=\"audit\" type=\"other\" ofile=\"audit\" oext=\"php\" ifiles=\"audit.php\" "
             "action=\"add\"/>"
             "<control id=\"list\" action=\"change\">"
             "<session type=\"key\" value=\"body\" ifile=\"body.php\" action=\"change\"/>"
             "<session type=\"key\" value=\"extra\" ifile=\"body.php\" action=\"add\" location=\"head\"/>"
             "</control>"
             "<control id=\"old\" action=\"delete\"/>"
             "<control id=\"list\" type=\"other\" ofile=\"dup\" action=\"add\"/>")},
        {"audit.php", "Audit <!--##=LANG.Phrase(\"Ext\")##--> <!--##=ExtHello()##-->"},
        {"body.php",
         "<!--##session body##-->ExtB|<!--##/session##--><!--##session extra##-->X|<!--##/session##-->"},
        {"usercode.vbs", "Function ExtHello()\r\n  ExtHello = \"hi\"\r\nEnd Function\r\n"},
        {"lang.xml", languageFile("<phrase id=\"Ext\" value=\"from the extension\"/>")},
    };
  }
};

TEST_F(ExtensionTest, AnExtensionAddsChangesAndDeletesControls) {
  makeExtension("audit.zip", auditExtension());
  ASSERT_TRUE(proj->AddExtension("audit", "audit.zip"));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "");
  // The extension's session replaced the template's body, its new session
  // went in at head's place, and its files came from the extension's folder.
  EXPECT_EQ(read(out() / "Orderslist.php"), "X|H|ExtB|\r\n");
  // Its user code and phrases are there for its pages.
  EXPECT_EQ(read(out() / "audit.php"), "Audit from the extension hi\r\n");
  EXPECT_FALSE(fs::exists(out() / "old.php"));
  // An added control whose id exists already is not added.
  EXPECT_FALSE(fs::exists(out() / "dup.php"));
  EXPECT_TRUE(fs::exists(workFolder() / "extensions" / "audit" / "body.php"));
}

TEST_F(ExtensionTest, MergingChangesOnlyTheRunsControlCollection) {
  makeExtension("audit.zip", auditExtension());
  proj->AddExtension("audit", "audit.zip");
  ASSERT_EQ(run(), "");
  Generator g(*proj);
  AGPControls& controls = g.controls();
  ASSERT_EQ(controls.Count(), 2);
  AGPControl* list = controls.Item(1);
  EXPECT_EQ(list->CtrlID, "list");
  ASSERT_EQ(list->Sessions().Count(), 3);
  EXPECT_EQ(list->Sessions().Item(1)->SessValue, "extra");
  EXPECT_EQ(list->Sessions().Item(1)->SessExt, "audit");
  EXPECT_EQ(list->Sessions().Item(2)->SessValue, "head");
  EXPECT_EQ(list->Sessions().Item(3)->SessValue, "body");
  EXPECT_EQ(list->Sessions().Item(3)->SessIFile, "body.php");
  EXPECT_EQ(controls.Item(2)->CtrlID, "audit");
  EXPECT_EQ(controls.Item(2)->CtrlExt, "audit");
  // Without the extension the next run starts from control.xml again, and
  // the script files the extension changed are built anew.
  proj->DeleteExtension("audit");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(g.controls().Count(), 2);
  EXPECT_EQ(g.controls().Item(2)->CtrlID, "old");
  EXPECT_EQ(read(out() / "Orderslist.php"), "H|B|\r\n");
}

TEST_F(ExtensionTest, ExtensionsAreExtractedWhenTheyChangeWithoutAsking) {
  makeExtension("audit.zip", auditExtension());
  proj->AddExtension("audit", "audit.zip");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(summary().archivesExtracted, 2);
  ASSERT_EQ(run(), "");
  EXPECT_EQ(summary().archivesExtracted, 0);
  EXPECT_TRUE(progress.infos("Loading ").empty());

  Files changed = auditExtension();
  changed["audit.php"] = "Audit v2";
  makeExtension("audit.zip", changed);
  touch(root / "extensions" / "audit.zip", 5);
  ASSERT_EQ(run(), "");
  EXPECT_TRUE(prompts->shown().empty());
  EXPECT_EQ(summary().archivesExtracted, 1);
  // A changed extension rebuilds every script file.
  EXPECT_EQ(progress.infos("Loading ").size(), 2u);
  EXPECT_EQ(read(out() / "audit.php"), "Audit v2\r\n");
}

TEST_F(ExtensionTest, AnExtensionFileIncludingATemplateFileRunsAgainUnchangedAndSeesItChange) {
  Files templ = {
      {"control.xml",
       controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"list.php\">"
                   "<session type=\"key\" value=\"head\"/><session type=\"key\" value=\"body\"/></control>")},
      {"lang.xml", languageFile("")},
      {"list.php", "<!--##session head##-->H|<!--##/session##--><!--##session body##-->B|<!--##/session##-->"},
      {"inc.php", "<!--##session part##-->I<!--##/session##-->"},
  };
  makeTemplate(templ);
  // The extension's session file and its own page both include a session of
  // the template's inc.php.
  makeExtension("incl.zip",
                {{"control.xml",
                  controlFile("<control id=\"list\" action=\"change\">"
                              "<session type=\"key\" value=\"body\" ifile=\"body.php\" action=\"change\"/>"
                              "</control>"
                              "<control id=\"page\" type=\"other\" ofile=\"page\" oext=\"php\" "
                              "ifiles=\"page.php\" action=\"add\"><session type=\"key\" value=\"p\"/>"
                              "</control>")},
                 {"body.php", "<!--##session body##-->E<!--##include inc.php/part##-->|<!--##/session##-->"},
                 {"page.php", "<!--##session p##-->P<!--##include inc.php/part##-->!<!--##/session##-->"}});
  proj->AddExtension("incl", "incl.zip");
  for (int round = 1; round <= 2; ++round) {
    ASSERT_EQ(run(), "") << round;
    EXPECT_EQ(projErr(), "") << round;
    EXPECT_EQ(read(out() / "Orderslist.php"), "H|EI|\r\n") << round;
    EXPECT_EQ(read(out() / "page.php"), "PI!\r\n") << round;
  }
  // The second run built nothing again.
  EXPECT_TRUE(progress.infos("Loading ").empty());
  // A newer included file rebuilds the two controls that include it.
  touch(scriptFolder() / "inc.php", 5);
  ASSERT_EQ(run(), "");
  EXPECT_EQ(progress.infos("Loading ").size(), 2u);
}

TEST_F(ExtensionTest, AnExtensionChangingOnlyASessionsConditionKeepsItsFile) {
  makeTemplate({
      {"control.xml",
       controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"list.php\">"
                   "<session type=\"key\" value=\"head\"/>"
                   "<session type=\"key\" value=\"part\" ifile=\"tparts.php\"/></control>")},
      {"lang.xml", languageFile("")},
      {"list.php", "<!--##session head##-->H|<!--##/session##-->"},
      {"tparts.php", "<!--##session part##-->P|<!--##/session##-->"},
  });
  struct Case {
    const char* extension;
    const char* cond;
    const char* page;  // the template's session file, under the extension's condition
  };
  for (const Case& c : {Case{"holds", "proj/AppCompat/eq/false", "H|P|\r\n"},
                        Case{"fails", "proj/AppCompat/eq/true", "H|\r\n"}}) {
    makeExtension(std::string(c.extension) + ".zip",
                  {{"control.xml", controlFile("<control id=\"list\" action=\"change\">"
                                               "<session type=\"key\" value=\"part\" cond=\"" +
                                               std::string(c.cond) + "\" action=\"change\"/></control>")}});
    proj->AddExtension(c.extension, std::string(c.extension) + ".zip");
    for (int round = 1; round <= 2; ++round) {
      ASSERT_EQ(run(), "") << c.extension << round;
      EXPECT_EQ(projErr(), "") << c.extension << round;
      EXPECT_EQ(read(out() / "Orderslist.php"), c.page) << c.extension << round;
    }
    proj->DeleteExtension(c.extension);
  }
}

TEST_F(ExtensionTest, ExtensionsMergeInSequenceOrder) {
  makeExtension("first.zip",
                {{"control.xml", controlFile("<control id=\"page\" type=\"other\" ofile=\"first\" "
                                             "oext=\"php\" ifiles=\"p.php\" action=\"add\"/>")},
                 {"p.php", "first"}});
  makeExtension("second.zip",
                {{"control.xml", controlFile("<control id=\"page\" type=\"other\" ofile=\"second\" "
                                             "oext=\"php\" ifiles=\"p.php\" action=\"add\"/>")},
                 {"p.php", "second"}});
  proj->AddExtension("one", "first.zip");
  proj->AddExtension("two", "second.zip");
  proj->Extensions().Item(Variant("one"))->setSetting("Seq", Variant::integer(2));
  proj->Extensions().Item(Variant("two"))->setSetting("Seq", Variant::integer(1));
  ASSERT_EQ(run(), "");
  // The extension with the lower sequence number added its page first.
  EXPECT_EQ(read(out() / "second.php"), "second\r\n");
  EXPECT_FALSE(fs::exists(out() / "first.php"));
}

TEST_F(ExtensionTest, AnExtensionWithoutAControlFileAddsNothing) {
  makeExtension("empty.zip", {{"readme.txt", "nothing to merge"}});
  proj->AddExtension("empty", "empty.zip");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "");
  EXPECT_TRUE(prompts->shown().empty());
  EXPECT_TRUE(fs::exists(out() / "old.php"));
}

TEST_F(ExtensionTest, AnExtensionControlFileThatDoesNotLoadIsReportedAndEndsTheRun) {
  makeExtension("bad.zip", {{"control.xml", "<Other/>"}});
  proj->AddExtension("bad", "bad.zip");
  run();
  const std::string path =
      (root / "Documents").string() + "\\Tarnwick\\Templates\\template.zip\\extensions\\bad\\control.xml";
  ASSERT_EQ(prompts->shown().size(), 1u);
  EXPECT_EQ(prompts->shown()[0].kind, "message");
  EXPECT_EQ(prompts->shown()[0].text,
            "Tarnwick: Load extension control file " + path + " failed. Processing skipped!");
  EXPECT_NE(projErr().find("Control file is invalid!"), std::string::npos) << projErr();
  EXPECT_FALSE(fs::exists(out() / "Orderslist.php"));
}

TEST_F(ExtensionTest, ChangeAndDeleteOfControlsOrSessionsThatDoNotExistChangeNothing) {
  makeExtension("noop.zip",
                {{"control.xml",
                  controlFile("<control id=\"nosuch\" action=\"change\"><session value=\"x\" action=\"add\"/>"
                              "</control>"
                              "<control id=\"gone\" action=\"delete\"/>"
                              "<control id=\"list\" action=\"change\">"
                              "<session value=\"nosuch\" ifile=\"x.php\" action=\"change\"/>"
                              "<session value=\"nosuch\" action=\"delete\"/>"
                              "<session value=\"head\" action=\"rename\"/></control>"
                              "<control id=\"x\" type=\"other\" ofile=\"x\" action=\"replace\"/>")}});
  proj->AddExtension("noop", "noop.zip");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "Orderslist.php"), "H|B|\r\n");
  EXPECT_TRUE(fs::exists(out() / "old.php"));
  EXPECT_FALSE(fs::exists(out() / "x.php"));
}

TEST_F(ExtensionTest, TheExtensionFolderIsBesideTheProgramUnlessTheEnvironmentSaysOtherwise) {
  EXPECT_EQ(extensionArchiveFolder(), (root / "extensions").string());
  unsetenv("TARNWICK_EXTENSIONS");
  const std::string installed = extensionArchiveFolder();
  EXPECT_EQ(installed.substr(installed.size() - std::string("/share/tarnwick/extensions").size()),
            "/share/tarnwick/extensions");
}

}  // namespace
}  // namespace tw::testing
