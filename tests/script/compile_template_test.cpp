// Template compilation: the zbScriptEngine function a template becomes, and
// templates compiled and run through BuildNewCode against a small project.
#include <gtest/gtest.h>

#include <string>

#include "agscript_fixture.h"
#include "script/compile_template.h"
#include "support/status.h"

namespace tw::testing {
namespace {

class CompileTemplateTest : public ScriptProject {};

// ---- The function text

TEST_F(CompileTemplateTest, LiteralOnlyTemplateIsOneArrayElement) {
  start();
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate("Hello, world"));
  EXPECT_EQ(c.FunctionText(false),
            "Function zbScriptEngine()\r\n"
            "'On Error Resume Next\r\n"
            "Dim zbAr(1)\r\n"
            "Dim zbOut\r\n"
            "zbAr(1) = \"Hello, world\"\r\n"
            "zbOut = zbOut & zbAr(1)\r\n"
            "zbScriptEngine = zbOut\r\n"
            "End Function\r\n");
  EXPECT_EQ(script->BuildNewCode(c.FunctionText(false), 0, 10000), "Hello, world");
  EXPECT_EQ(projErr(), "");
}

TEST_F(CompileTemplateTest, EmptyTemplateHasNoElementsAndYieldsNothing) {
  start();
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate(""));
  EXPECT_EQ(c.FunctionText(false),
            "Function zbScriptEngine()\r\n'On Error Resume Next\r\nDim zbAr(0)\r\nDim zbOut\r\n"
            "zbScriptEngine = zbOut\r\nEnd Function\r\n");
  EXPECT_EQ(script->BuildNewCode(c.FunctionText(false), 0, 10000), "");
  EXPECT_EQ(projErr(), "");
}

TEST_F(CompileTemplateTest, ExpressionsJoinLiteralsInOneOutputLine) {
  start();
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate("Hello <!--##=PROJ.ProjName##-->!"));
  EXPECT_EQ(c.arrayInit(), "zbAr(1) = \"Hello \"\r\nzbAr(2) = \"!\"\r\n");
  EXPECT_EQ(c.pending(), " & zbAr(1) & PROJ.ProjName & zbAr(2)");
  c.Flush();
  EXPECT_EQ(c.code(), "zbOut = zbOut & zbAr(1) & PROJ.ProjName & zbAr(2)\r\n");
  EXPECT_EQ(script->BuildNewCode(c.FunctionText(false), 0, 10000), "Hello Shop!");
}

TEST_F(CompileTemplateTest, ScriptBlocksFlushThePendingOutput) {
  start();
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate("<!--## x = 1 ##-->mid<!--##=x##--><!--## x = 2 ##-->end<!--##=x##-->"));
  c.Flush();
  EXPECT_EQ(c.code(),
            " x = 1 \r\n"
            "zbOut = zbOut & zbAr(1) & x\r\n"
            " x = 2 \r\n"
            "zbOut = zbOut & zbAr(2) & x\r\n");
  EXPECT_EQ(c.arrayCount(), 2);
  EXPECT_EQ(script->BuildNewCode(c.FunctionText(false), 0, 10000), "mid1end2");
}

TEST_F(CompileTemplateTest, StateCarriesOverUntilReset) {
  // The sessions of a control are compiled one after the other into one
  // function.
  start();
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate("<h1><!--##=PROJ.ProjName##-->"));
  ASSERT_TRUE(c.CompileTemplate("</h1>"));
  EXPECT_EQ(c.arrayCount(), 2);
  EXPECT_EQ(script->BuildNewCode(c.FunctionText(false), 0, 10000), "<h1>Shop</h1>");
  c.Reset();
  EXPECT_EQ(c.arrayCount(), 0);
  EXPECT_EQ(c.code(), "");
  ASSERT_TRUE(c.CompileTemplate("again"));
  EXPECT_EQ(script->BuildNewCode(c.FunctionText(false), 0, 10000), "again");
}

TEST_F(CompileTemplateTest, LiteralTextComesOutExactly) {
  start();
  for (const std::string text : {"He said \"hi\"\r\nBye\r\n", "\r\n\r\n", "unix\nline ends\n",
                                 "old mac\rline", "mixed\r\n\n\r\"\"end", "tabs\tand ünïcödé"}) {
    EXPECT_EQ(run(text), text) << lastFunction;
    EXPECT_EQ(projErr(), "");
  }
}

TEST_F(CompileTemplateTest, ScriptFileFormHasAnActiveOnErrorLine) {
  start();
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate("x"));
  std::string immediate = c.FunctionText(false);
  std::string file = c.FunctionText(true);
  EXPECT_NE(immediate.find("\r\n'On Error Resume Next\r\n"), std::string::npos);
  EXPECT_NE(file.find("\r\nOn Error Resume Next\r\n"), std::string::npos);
  EXPECT_EQ(file.find("'On Error"), std::string::npos);
}

TEST_F(CompileTemplateTest, TemplateSyntaxErrorLeavesTheParserMessage) {
  start();
  TemplateCompiler c(script.get());
  EXPECT_FALSE(c.CompileTemplate("x<!--##=a"));
  EXPECT_EQ(projErr(), "***Incomplete Block at line 1 column 2! Generation failed!");
  EXPECT_EQ(c.arrayCount(), 0) << "nothing of the failed text is kept";
}

// ---- Running against the project

TEST_F(CompileTemplateTest, ExpressionsOnTableAndField) {
  start();
  setCurrent("Orders", "total");
  EXPECT_EQ(run("<!--##=TABLE.TblName##-->.<!--##=FIELD.FldName##--> (<!--##=FIELD.FldVar##-->, "
                "<!--##=TABLE.Fields.Count##--> fields, <!--##=CTRL.CtrlID##-->)",
                2),
            "");
  // Level 2 loads the control at Controls.curIndex, which is 0 until
  // generation hands one out.
  EXPECT_NE(projErr(), "");
  projErr().clear();
  ASSERT_NE(controls->Item(2), nullptr);
  EXPECT_EQ(run("<!--##=TABLE.TblName##-->.<!--##=FIELD.FldName##--> (<!--##=FIELD.FldVar##-->, "
                "<!--##=TABLE.Fields.Count##--> fields, <!--##=CTRL.CtrlID##-->)",
                2),
            "Orders.total (x_total, 3 fields, edit)");
  EXPECT_EQ(projErr(), "");
  // Level 1 loads only the control; TABLE keeps what it held.
  setCurrent("Customers", "name");
  EXPECT_EQ(run("<!--##=CTRL.CtrlOFile##-->/<!--##=TABLE.TblName##-->", 1), "edit/Orders");
  EXPECT_EQ(run("<!--##=TABLE.TblName##-->/<!--##=FIELD.FldName##-->", 2), "Customers/name");
}

TEST_F(CompileTemplateTest, ForEachOverFieldsInAScriptBlock) {
  start();
  setCurrent("Orders");
  controls->Item(1);
  EXPECT_EQ(run("<!--## For Each f In TABLE.Fields ##-->[<!--##=f.FldName##-->:"
                "<!--##=f.Properties(\"FldCaption\").Value##-->]<!--## Next ##-->",
                2),
            "[id:<id>][customer:<customer>][total:<total>]");
  EXPECT_EQ(projErr(), "");
}

TEST_F(CompileTemplateTest, IndentedExpressionsSetTheIndentationFirst) {
  start();
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate(
      "<ul>\r\n    <!--##~IndentText(\"<li>a</li>\" & vbCrLf & \"<li>b</li>\")##-->\r\n</ul>"));
  c.Flush();
  EXPECT_EQ(c.code(),
            "zbOut = zbOut & zbAr(1)\r\n"
            "zbIndentWrk = \"    \"\r\n"
            "zbOut = zbOut & IndentText(\"<li>a</li>\" & vbCrLf & \"<li>b</li>\") & zbAr(2)\r\n");
  EXPECT_EQ(script->BuildNewCode(c.FunctionText(false), 0, 10000),
            "<ul>\r\n    <li>a</li>\r\n    <li>b</li>\r\n</ul>");
  // Right after another block there is no indentation.
  c.Reset();
  ASSERT_TRUE(c.CompileTemplate("<!--##=1##--><!--##~2##-->"));
  c.Flush();
  EXPECT_EQ(c.code(), "zbOut = zbOut & 1\r\nzbIndentWrk = \"\"\r\nzbOut = zbOut & 2\r\n");
}

TEST_F(CompileTemplateTest, AtPhrasesAreLookedUpWhenCompiling) {
  start();
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate("<!--##@Title##--> / <!--##@ quote ##--> / [<!--##@Missing##-->]"));
  EXPECT_EQ(c.pending(), " & \"Order list\" & zbAr(1) & \"Say \"\"cheese\"\"\" & zbAr(2) & \"\" & zbAr(3)");
  std::string function = c.FunctionText(false);
  // A later change of the phrases does not reach the compiled page.
  ASSERT_TRUE(
      language->LoadFromBytes("<tarnwick.language><phrase id='Title' value='Changed'/></tarnwick.language>"));
  EXPECT_EQ(script->BuildNewCode(function, 0, 10000), "Order list / Say \"cheese\" / []");
}

TEST_F(CompileTemplateTest, DollarPhrasesAreLookedUpWhenRunning) {
  start();
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate("<!--## id = \"Ti\" & \"tle\" ##--><!--##$ id ##-->"));
  c.Flush();
  EXPECT_EQ(c.code(), " id = \"Ti\" & \"tle\" \r\nzbOut = zbOut & LANG.Phrase(id)\r\n");
  std::string function = c.FunctionText(false);
  ASSERT_TRUE(
      language->LoadFromBytes("<tarnwick.language><phrase id='TITLE' value='Changed'/></tarnwick.language>"));
  EXPECT_EQ(script->BuildNewCode(function, 0, 10000), "Changed");
}

TEST_F(CompileTemplateTest, UserFunctionsOverrideExpressions) {
  setDeveloperSetting("USERCODE", write("user.vbs",
                                        "Function USER_TABLE_TblName(v)\r\n"
                                        "  USER_TABLE_TblName = \"[\" & UCase(v) & \"]\"\r\n"
                                        "End Function\r\n"));
  start();
  ASSERT_EQ(projErr(), "");
  setCurrent("Orders");
  controls->Item(1);
  TemplateCompiler c(script.get());
  ASSERT_TRUE(
      c.CompileTemplate("<!--##=TABLE.TblName##-->|<!--##=TABLE.TblVar##-->|<!--##=table.tblname##-->"));
  c.Flush();
  EXPECT_EQ(c.code(),
            "zbOut = zbOut & USER_TABLE_TblName(TABLE.TblName) & zbAr(1) & TABLE.TblVar & zbAr(2) & "
            "USER_table_tblname(table.tblname)\r\n");
  EXPECT_EQ(script->BuildNewCode(c.FunctionText(false), 2, 10000), "[ORDERS]|Orders|[ORDERS]");
}

TEST_F(CompileTemplateTest, SystemProcedureOfTheSameNameBlocksTheOverride) {
  setDeveloperSetting(
      "USERCODE",
      write("user.vbs",
            "Function USER_TABLE_TblName(v)\r\nUSER_TABLE_TblName = \"user\"\r\nEnd Function\r\n"));
  script = makeRef<AGScript>();
  engine().scriptEngine = script;
  setSystemCode("VB", builtinSystemCode() +
                          "\r\nFunction TABLE_TblName()\r\nTABLE_TblName = \"system\"\r\nEnd Function\r\n");
  initialize();
  registerBuiltinScripts();
  ASSERT_EQ(projErr(), "");
  ASSERT_TRUE(script->ModuleExist("table_tblname"));
  TemplateCompiler c(script.get());
  ASSERT_TRUE(c.CompileTemplate("<!--##=TABLE.TblName##-->"));
  EXPECT_EQ(c.pending(), " & TABLE.TblName");
}

TEST_F(CompileTemplateTest, SyntaxErrorInTheCompiledCodeNamesItsLine) {
  start();
  EXPECT_EQ(run("a<!--##=1 +##-->b"), "");
  EXPECT_EQ(projErr(),
            "Tarnwick: VBScript Syntax Error\r\nExpected expression\r\nIn line 7: \r\n"
            "zbOut = zbOut & zbAr(1) & 1 + & zbAr(2)");
}

TEST_F(CompileTemplateTest, RuntimeErrorStopsAnImmediatePage) {
  start();
  EXPECT_EQ(run("a<!--## x = 1 / 0 ##-->b"), "");
  EXPECT_EQ(projErr(), "VBScript Runtime error \r\nDivision by zero\r\n x = 1 / 0 \r\n");
}

TEST_F(CompileTemplateTest, ScriptFilePagesResumeAfterRuntimeErrors) {
  start();
  EXPECT_EQ(run("a<!--## x = 1 / 0 ##-->b<!--##=Err.Number##-->", 0, true), "ab11");
  EXPECT_EQ(projErr(), "");
}

TEST_F(CompileTemplateTest, TimeOutStopsEvenAResumingPage) {
  start();
  for (bool scriptFile : {false, true}) {
    projErr().clear();
    EXPECT_EQ(run("before<!--## Do : Loop ##-->after", 0, scriptFile, 100), "");
    ASSERT_EQ(projErr().rfind("VBScript Runtime error \r\n", 0), 0u) << projErr();
    EXPECT_NE(projErr().find("\r\n Do : Loop \r\n"), std::string::npos) << projErr();
  }
  // The engine runs again afterwards.
  projErr().clear();
  EXPECT_EQ(run("fine"), "fine");
}

// ---- Compiling and running at once

TEST_F(CompileTemplateTest, TemporaryEngineWhenNoneExists) {
  setDeveloperSetting(
      "USERCODE",
      write("user.vbs",
            "Function USER_PROJ_ProjName(v)\r\nUSER_PROJ_ProjName = \"<\" & v & \">\"\r\nEnd Function\r\n"));
  RegWrite("HKCU", engine().regGeneral, "ScriptEngineTimeout", kRegDword, Variant::long_(5000));
  ASSERT_EQ(currentScriptEngine(), nullptr);
  EXPECT_EQ(
      CompileAndRunTemplate(*proj, "body { title: '<!--##=PROJ.ProjName##-->' } /* <!--##@Title##--> */"),
      "body { title: '<Shop>' } /* Order list */");
  EXPECT_EQ(projErr(), "");
  EXPECT_EQ(currentScriptEngine(), nullptr) << "the temporary engine is released";
  EXPECT_NE(engine().filters.get(), nullptr) << "the filters it loaded stay engine-wide";
  EXPECT_EQ(engine().scriptTimeout, 5000) << "the time-out was read from the user's settings";
}

TEST_F(CompileTemplateTest, ExistingEngineIsUsedAndKept) {
  start();
  AGScript* before = currentScriptEngine();
  script->AddUserCode(
      write("helper.vbs", "Function Helper()\r\nHelper = \"from the engine\"\r\nEnd Function\r\n"));
  ASSERT_EQ(projErr(), "");
  EXPECT_EQ(CompileAndRunTemplate(*proj, "<!--##=Helper()##-->"), "from the engine");
  EXPECT_EQ(currentScriptEngine(), before);
  EXPECT_TRUE(script->IsInitialized());
}

TEST_F(CompileTemplateTest, TemplateThatDoesNotParseComesBackUnchanged) {
  EXPECT_EQ(CompileAndRunTemplate(*proj, "a <!--##=b"), "a <!--##=b");
  EXPECT_EQ(projErr(), "***Incomplete Block at line 1 column 3! Generation failed!");
  EXPECT_EQ(currentScriptEngine(), nullptr);
}

}  // namespace
}  // namespace tw::testing
