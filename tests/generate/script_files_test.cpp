// Script files: how a control's sessions and input files become one script
// function, and which script files a run rebuilds.
#include "generation_fixture.h"

namespace tw::testing {
namespace {

class ScriptFilesTest : public GenerationTest {
 protected:
  void SetUp() override {
    GenerationTest::SetUp();
    installGenerateMembers();  // the project's members that included templates use
    proj->setSetting("OtherGen", Variant(true));
    userCode = root / "usercode.vbs";
    write(userCode,
          "Function PageMark()\r\n"
          "  PageMark = \"*\"\r\n"
          "End Function\r\n");
    RegWrite("HKCU", engine().regGeneral, "USERCODE", kRegString, Variant(userCode.string()));
  }
  // Sets a file's time back so that it is older than any script file.
  static void age(const fs::path& p) { touch(p, -100); }
  std::vector<std::string> rebuilt() { return progress.infos("Loading "); }

  fs::path userCode;
};

TEST_F(ScriptFilesTest, SessionsCompileIntoOneFunctionInTheirOrder) {
  makeTemplate({
      {"control.xml",
       controlFile("<control id=\"page\" type=\"other\" ofile=\"page\" oext=\"php\" ifiles=\"page.php\" "
                   "space=\"false\">"
                   "<session type=\"key\" value=\"top\"/>"
                   "<session type=\"include\" value=\"menu.php\" parm=\"x\"/>"
                   "<session type=\"key\" value=\"shared\" ifile=\"shared.php\"/>"
                   "<session type=\"key\" value=\"skipped\" cond=\"ctrl/CtrlID/eq/other\"/>"
                   "<session type=\"note\" value=\"odd\"/>"
                   "<session type=\"key\" value=\"bottom\"/>"
                   "</control>")},
      {"lang.xml", languageFile("")},
      {"page.php",
       "<!--##session top##-->Top <!--##=PROJ.ProjName##-->|<!--##/session##-->\r\n"
       "<!--##session skipped##-->SKIPPED|<!--##/session##-->\r\n"
       "<!--##session bottom##-->Bottom|<!--##/session##-->\r\n"},
      {"shared.php", "<!--##session shared##-->Shared <!--##=CTRL.CtrlID##-->|<!--##/session##-->"},
      {"menu.php", "<!--##session x##-->Menu <!--##=PageMark()##-->|<!--##/session##-->"},
  });
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "page.php"), "Top Shop|Menu *|\r\nShared page|Bottom|");
  const std::string script = read(tempFolder() / "page.tmp");
  // One function whose errors do not stop the page.
  EXPECT_EQ(script.rfind("Function zbScriptEngine()\r\nOn Error Resume Next\r\n", 0), 0u) << script;
  EXPECT_EQ(script.find("Function zbScriptEngine()", 1), std::string::npos);
  EXPECT_EQ(script.find("SKIPPED"), std::string::npos);
  // Five sessions of six were converted.
  std::vector<int> positions;
  bool creating = false;
  for (const auto& e : progress.events) {
    if (e.kind == "open") creating = e.text == "Tarnwick - Creating Script Files...";
    if (creating && e.kind == "progress") positions.push_back(e.position);
  }
  EXPECT_EQ(positions, (std::vector<int>{17, 33, 50, 67, 83}));
}

TEST_F(ScriptFilesTest, AnIncludeSessionPutsTheFilesOutputBetweenTheTextAroundIt) {
  struct Case {
    const char* name;
    const char* parm;
    std::map<std::string, std::string> files;
    const char* page;
  };
  const std::vector<Case> cases = {
      {"the whole file, its blocks run in the page",
       "",
       {{"whole.php", "Inc <!--##=CTRL.CtrlID##--><!--## For i = 1 To 2 ##-->+<!--## Next ##-->"}},
       "Top|Inc page++\r\nBottom|"},
      {"one session of the file",
       "mid",
       {{"mid.php", "<!--##session mid##-->Mid <!--##=CTRL.CtrlID##--><!--##/session##-->Other"}},
       "Top|Mid page\r\nBottom|"},
      {"the file's own include directives expanded",
       "",
       {{"in.php", "In<!--##include more.php/m##-->"},
        {"more.php", "<!--##session m##-->[<!--##=2*3##-->]<!--##/session##-->"}},
       "Top|In[6]\r\nBottom|"},
      {"includes within the included file",
       "",
       {{"abc.php", "A<!--##=Include_File(\"b.php\", \"\")##-->C"}, {"b.php", "B"}},
       "Top|ABC\r\nBottom|"},
      {"a file that includes itself stops", "", {{"self.php", "x<!--##=Include_File(\"self.php\", \"\")##-->"}}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::map<std::string, std::string> files = {
        {"control.xml",
         controlFile(std::string("<control id=\"page\" type=\"other\" ofile=\"page\" oext=\"php\" "
                                 "ifiles=\"page.php\" space=\"false\">"
                                 "<session type=\"key\" value=\"top\"/>"
                                 "<session type=\"include\" value=\"") +
                     c.files.begin()->first + "\" parm=\"" + c.parm +
                     "\"/>"
                     "<session type=\"key\" value=\"bottom\"/>"
                     "</control>")},
        {"lang.xml", languageFile("")},
        {"page.php",
         "<!--##session top##-->Top|<!--##/session##-->\r\n"
         "<!--##session bottom##-->Bottom|<!--##/session##-->\r\n"},
    };
    files.insert(c.files.begin(), c.files.end());
    makeTemplate(files);
    ASSERT_EQ(run(), "");
    const std::string page = read(out() / "page.php");
    if (c.page) {
      EXPECT_EQ(page, c.page);
    } else {
      // A bounded number of levels, then the page goes on.
      EXPECT_EQ(page.rfind("Top|xxxxxxxxxx", 0), 0u) << page;
      EXPECT_EQ(page.substr(page.size() - 9), "\r\nBottom|") << page;
    }
  }
}

TEST_F(ScriptFilesTest, SeveralInputFilesAreCompiledAsOne) {
  makeTemplate({
      {"control.xml", controlFile("<control id=\"both\" type=\"other\" ofile=\"both\" oext=\"php\" "
                                  "ifiles=\"a.php,b.php\"/>")},
      {"lang.xml", languageFile("")},
      {"a.php", "A<!--##=1+1##-->"},
      {"b.php", "B\r\n"},
  });
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "both.php"), "A2B\r\n");
  EXPECT_EQ(read(tempFolder() / "~tmp.temp"), "A<!--##=1+1##-->B\r\n");
}

TEST_F(ScriptFilesTest, ASessionFileThatIsMissingCannotBeMerged) {
  makeTemplate({
      {"control.xml", controlFile("<control id=\"page\" type=\"other\" ofile=\"page\" oext=\"php\" "
                                  "ifiles=\"page.php\"><session type=\"key\" value=\"x\" ifile=\"gone.php\"/>"
                                  "</control>")},
      {"lang.xml", languageFile("")},
      {"page.php", ""},
  });
  EXPECT_EQ(run(), "raised: Error in merging gone.php. Generation aborted.");
}

class StaleTest : public ScriptFilesTest {
 protected:
  void SetUp() override {
    ScriptFilesTest::SetUp();
    makeTemplate({
        {"control.xml",
         controlFile(
             "<control id=\"direct\" type=\"other\" ofile=\"direct\" oext=\"php\" ifiles=\"a.php\"/>"
             "<control id=\"included\" type=\"other\" ofile=\"included\" oext=\"php\" ifiles=\"b.php\">"
             "<session type=\"key\" value=\"main\"/></control>"
             "<control id=\"session\" type=\"other\" ofile=\"session\" oext=\"php\" ifiles=\"c.php\">"
             "<session type=\"key\" value=\"main\" ifile=\"s.php\"/></control>"
             "<control id=\"other\" type=\"table\" ofile=\"other\" oext=\"php\" ifiles=\"d.php\" "
             "tagext=\"_x\"/>")},
        {"lang.xml", languageFile("<phrase id=\"Word\" value=\"one\"/>")},
        {"a.php", "a"},
        {"b.php", "<!--##session main##-->b<!--##include inc.php/part##--><!--##/session##-->"},
        {"inc.php", "<!--##session part##-->+inc<!--##/session##-->"},
        {"c.php", "unused"},
        {"s.php", "<!--##session main##-->s<!--##/session##-->"},
        {"d.php", "d <!--##@Word##-->"},
    });
    EXPECT_EQ(run(), "");
    EXPECT_EQ(rebuilt().size(), 4u);
  }
  // Edits a file of the extracted template, dated after the script files.
  void edit(const std::string& name, const std::string& text) {
    write(scriptFolder() / name, text);
    touch(scriptFolder() / name, 10);
  }
};

TEST_F(StaleTest, OnlyTheControlsThatUseAnEditedFileAreRebuilt) {
  edit("a.php", "a2");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(rebuilt(), (std::vector<std::string>{"Loading direct script..."}));
  EXPECT_EQ(read(out() / "direct.php"), "a2\r\n");
  age(scriptFolder() / "a.php");

  edit("inc.php", "<!--##session part##-->+inc2<!--##/session##-->");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(rebuilt(), (std::vector<std::string>{"Loading included script..."}));
  EXPECT_EQ(read(out() / "included.php"), "b+inc2\r\n");
  age(scriptFolder() / "inc.php");

  edit("s.php", "<!--##session main##-->s2<!--##/session##-->");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(rebuilt(), (std::vector<std::string>{"Loading session script..."}));
  EXPECT_EQ(read(out() / "session.php"), "s2\r\n");
  age(scriptFolder() / "s.php");

  edit("d.php", "d2 <!--##@Word##-->");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(rebuilt(), (std::vector<std::string>{"Loading other(_x) script..."}));
  EXPECT_EQ(read(out() / "Ordersother.php"), "d2 one\r\n");
  EXPECT_TRUE(fs::exists(tempFolder() / "other_x.tmp"));
  age(scriptFolder() / "d.php");

  ASSERT_EQ(run(), "");
  EXPECT_TRUE(rebuilt().empty());
}

TEST_F(StaleTest, AMissingScriptFileIsRebuilt) {
  fs::remove(tempFolder() / "included.tmp");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(rebuilt(), (std::vector<std::string>{"Loading included script..."}));
}

TEST_F(StaleTest, AChangedControlFileRebuildsEveryScriptFile) {
  touch(scriptFolder() / "control.xml", 10);
  ASSERT_EQ(run(), "");
  EXPECT_EQ(rebuilt().size(), 4u);
}

TEST_F(StaleTest, AChangedLanguageFileRebuildsEveryScriptFile) {
  edit("lang.xml", languageFile("<phrase id=\"Word\" value=\"two\"/>"));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(rebuilt().size(), 4u);
  // "@" phrases are looked up when the script file is built.
  EXPECT_EQ(read(out() / "Ordersother.php"), "d two\r\n");
}

TEST_F(StaleTest, AChangedUserCodeFileRebuildsEveryScriptFile) {
  write(userCode, "' nothing here any more\r\n");
  touch(userCode, 10);
  ASSERT_EQ(run(), "");
  EXPECT_EQ(rebuilt().size(), 4u);
}

TEST_F(ScriptFilesTest, IncludeFilesAreListedByTheirFilePart) {
  EXPECT_EQ(Generator::GetIncludeFiles("x<!--##include a.php/one##-->y<!--##INCLUDE  sub/b.php / two ##-->"),
            "a.php,sub/b.php");
  EXPECT_EQ(Generator::GetIncludeFiles("<!--##include plain.php##-->"), "plain.php");
  EXPECT_EQ(Generator::GetIncludeFiles("<!--##include a.php/one##--><!--##include b.php/two"), "a.php");
  EXPECT_EQ(Generator::GetIncludeFiles("no includes"), "");
}

}  // namespace
}  // namespace tw::testing
