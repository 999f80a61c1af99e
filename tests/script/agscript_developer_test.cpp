// The developer build of the system code (a list file of system-code
// templates wrapped into functions), CompileFunctionFile and QuotePhraseId.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "agscript_fixture.h"

namespace tw::testing {
namespace {

using ::testing::ElementsAre;

// ---- CompileFunctionFile and QuotePhraseId

class CompileFunctionFileTest : public FreshEngine {};

constexpr const char* kTemplate =
    "Hi <!--##=x##-->\r\nline2<!--##@ 'Title' ##--><!--##$id##--><!--##~skip##--><!--## y = 1 ##-->";

TEST_F(CompileFunctionFileTest, EachBlockBecomesOneLine) {
  EXPECT_EQ(AGScript::CompileFunctionFile(kTemplate, true, false, "F"),
            "F=F&\"Hi \"\r\n"
            "F=F&x\r\n"
            "F=F&\"\"&vbCrLf&\"line2\"\r\n"
            "F=F&LANG.Phrase(\"Title\")\r\n"
            "F=F&LANG.Phrase(id)\r\n"
            " y = 1 \r\n");
}

TEST_F(CompileFunctionFileTest, SingleLineTextDropsLineBreaks) {
  EXPECT_EQ(AGScript::CompileFunctionFile("a\r\nb<!--##=x##-->\r\n", false, false, "F"),
            "F=F&\"ab\"\r\nF=F&x\r\n");
}

TEST_F(CompileFunctionFileTest, IndentedTextContinuesLinesWithTheIndentation) {
  EXPECT_EQ(AGScript::CompileFunctionFile("a\r\nb", true, true, "F"),
            "F=F&\"a\"&vbCrLf&zbIndentWrk&\"b\"\r\n");
}

TEST_F(CompileFunctionFileTest, WithoutANameLiteralsStandAlone) {
  EXPECT_EQ(AGScript::CompileFunctionFile("<!--##\r\nDim a\r\n##-->text", true, false, ""),
            "\r\nDim a\r\n\r\n\"text\"\r\n");
}

TEST_F(CompileFunctionFileTest, TextThatDoesNotParseComesBackUnchanged) {
  EXPECT_EQ(AGScript::CompileFunctionFile("ab<!--##=x", true, false, "F"), "ab<!--##=x");
  EXPECT_EQ(engine().projErr, "***Incomplete Block at line 1 column 3! Generation failed!");
}

TEST_F(CompileFunctionFileTest, QuotePhraseId) {
  EXPECT_EQ(AGScript::QuotePhraseId("Title"), "\"Title\"");
  EXPECT_EQ(AGScript::QuotePhraseId("  \"Title\" "), "\"Title\"");
  EXPECT_EQ(AGScript::QuotePhraseId("'a\"b'"), "\"a\"\"b\"");
  EXPECT_EQ(AGScript::QuotePhraseId("\" 'x' \""), "\"x\"") << "quotes within quotes, trimmed each time";
  EXPECT_EQ(AGScript::QuotePhraseId("\""), "\"\"\"\"") << "a single quote character stays";
  EXPECT_EQ(AGScript::QuotePhraseId("\"abc'"), "\"\"\"abc'\"") << "different quotes stay";
  EXPECT_EQ(AGScript::QuotePhraseId("''"), "\"\"");
}

// ---- The developer build

class DeveloperBuildTest : public ScriptProject {
 protected:
  void SetUp() override {
    ScriptProject::SetUp();
    prefix = write("sys/prefix.txt", "' begin <name>(<parm>)\r\n<name> = \"\"\r\n");
    suffix = write("sys/suffix.txt", "' end <name>\r\n");
    setDeveloperSetting("SYSCODEPREFIX", prefix);
    setDeveloperSetting("SYSCODESUFFIX", suffix);
  }
  std::string list(const std::string& files) {
    std::string path = write("sys/list.xml", "<syscode>" + files + "</syscode>");
    setDeveloperSetting("SYSCODE", path);
    return path;
  }
  std::string prefix, suffix;
};

TEST_F(DeveloperBuildTest, FunctionsFromTemplateFiles) {
  write("sys/decl.vbs",
        "<!--##\r\nDim zbIndentWrk\r\nFunction Helper()\r\n Helper = \"h\"\r\nEnd Function\r\n##-->");
  write("sys/heading.txt", "<th><!--##=fld.FldCaption##--></th>\r\n");
  write("sys/block.txt", "<div>\r\n<!--##=PROJ.ProjName##-->\r\n</div>");
  list(
      "<file value='decl.vbs'/>"
      "<file value='heading.txt' function='true' id=' FieldHeading ' parm=' fld ' override='true' "
      "multiline='false'/>"
      "<other value='block.txt' function='true' id='Other'/>"
      "<FILE VALUE='block.txt' FUNCTION='1' ID='Block' override='no' multiline='True' indent='true'/>"
      "<file value='' function='true' id='Ignored' override='true'/>");
  AGScript& s = start();
  ASSERT_EQ(projErr(), "");
  // Only functions a user function may override are system procedure names.
  EXPECT_THAT(s.systemProcedures(), ElementsAre("FieldHeading"));
  EXPECT_FALSE(s.ModuleExist("LoadCurrent"));

  const std::string heading =
      "Function FieldHeading(fld)\r\n"
      "' begin FieldHeading(fld)\r\nFieldHeading = \"\"\r\n"
      "FieldHeading=FieldHeading&\"<th>\"\r\n"
      "FieldHeading=FieldHeading&fld.FldCaption\r\n"
      "FieldHeading=FieldHeading&\"</th>\"\r\n"
      "' end FieldHeading\r\n"
      "\r\nIf SCRPT.UserModuleExist(\"USER_FieldHeading\") Then "
      "FieldHeading=USER_FieldHeading(FieldHeading)\r\n"
      "End Function\r\n";
  const std::string block =
      "Function Block()\r\n"
      "' begin Block()\r\nBlock = \"\"\r\n"
      "Block=Block&\"<div>\"&vbCrLf&zbIndentWrk&\"\"\r\n"
      "Block=Block&PROJ.ProjName\r\n"
      "Block=Block&\"\"&vbCrLf&zbIndentWrk&\"</div>\"\r\n"
      "' end Block\r\n"
      "End Function\r\n";
  const std::string decl =
      "\r\nDim zbIndentWrk\r\nFunction Helper()\r\n Helper = \"h\"\r\nEnd Function\r\n\r\n";
  EXPECT_EQ(readOut("syscode.txt"), decl + heading + block);

  vbs::ScriptHost::Module& sys = s.host().module("System");
  EXPECT_EQ(sys.eval("FieldHeading(DB.Tables(\"Orders\").Fields(\"total\"))").toString(), "<th><total></th>");
  EXPECT_EQ(sys.eval("Helper()").toString(), "h");
  sys.executeStatement("zbIndentWrk = \"  \"");
  EXPECT_EQ(sys.eval("Block()").toString(), "<div>\r\n  Shop\r\n  </div>");
}

TEST_F(DeveloperBuildTest, OverrideLineHandsTheResultToTheUserFunction) {
  write("sys/heading.txt", "<!--##=fld.FldName##-->");
  list("<file value='heading.txt' function='true' id='Heading' parm='fld' override='true'/>");
  setDeveloperSetting(
      "USERCODE",
      write("user.vbs", "Function USER_Heading(v)\r\n USER_Heading = \"[\" & v & \"]\"\r\nEnd Function\r\n"));
  AGScript& s = start();
  ASSERT_EQ(projErr(), "");
  EXPECT_EQ(s.host().module("System").eval("Heading(DB.Tables(\"Orders\").Fields(1))").toString(), "[id]");
  // Templates keep the call: Heading is a system procedure.
  TemplateCompiler c(&s);
  ASSERT_TRUE(c.CompileTemplate("<!--##=Heading##-->"));
  EXPECT_EQ(c.pending(), " & Heading");
}

TEST_F(DeveloperBuildTest, MissingPrefixOrSuffixIsNotedInTheCollectedFile) {
  setDeveloperSetting("SYSCODESUFFIX", "");
  write("sys/f.txt", "x");
  list("<file value='f.txt' function='true' id='F'/>");
  start();
  EXPECT_EQ(projErr(), "");
  EXPECT_EQ(readOut("syscode.txt"), "'missing syscodeprefix or syscodesuffix\r\n");
  EXPECT_EQ(script->host().module("System").eval("F()").toString(), "x");
}

TEST_F(DeveloperBuildTest, TemplateThatDoesNotParseStopsLoading) {
  write("sys/good.txt", "ok");
  write("sys/bad.txt", "x<!--##=a");
  list("<file value='good.txt' function='true' id='Good'/><file value='bad.txt' function='true' id='Bad'/>");
  AGScript& s = start();
  const std::string message = "***Incomplete Block at line 1 column 2! Generation failed!: bad.txt";
  EXPECT_EQ(projErr(), message);
  EXPECT_EQ(readOut("bad.txt"),
            "Function Bad()\r\n' begin Bad()\r\nBad = \"\"\r\nx<!--##=a' end Bad\r\nEnd Function\r\n\r\n" +
                message);
  EXPECT_EQ(s.host().findModule("Validate"), nullptr);
  EXPECT_TRUE(s.host().module("System").hasProcedure("Good"));
}

TEST_F(DeveloperBuildTest, SyntaxErrorWritesTheFunctionAndTheCollectedCode) {
  write("sys/good.txt", "ok");
  write("sys/syn.txt", "<!--## If ##-->");
  list("<file value='good.txt' function='true' id='Good'/><file value='syn.txt' function='true' id='Syn'/>");
  start();
  EXPECT_EQ(projErr(), "(syn.txt) : VBScript Syntax Error\r\nExpected expression\r\nIn line 4: \r\n If ");
  const std::string syn =
      "Function Syn()\r\n' begin Syn()\r\nSyn = \"\"\r\n If \r\n' end Syn\r\nEnd Function\r\n";
  EXPECT_EQ(readOut("syn.txt"), syn);
  EXPECT_EQ(readOut("syscode.txt"),
            "Function Good()\r\n' begin Good()\r\nGood = \"\"\r\nGood=Good&\"ok\"\r\n' end Good\r\nEnd "
            "Function\r\n" +
                syn);
}

TEST_F(DeveloperBuildTest, ListFileThatCannotBeLoaded) {
  const std::string path = (dir() / "sys" / "missing.xml").string();
  setDeveloperSetting("SYSCODE", path);
  AGScript& s = start();
  EXPECT_EQ(projErr(), "Load syscode file " + path + " failed!");
  EXPECT_TRUE(s.systemProcedures().empty());
}

}  // namespace
}  // namespace tw::testing
