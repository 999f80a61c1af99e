// AGScript: initialisation, the three modules, user code, BuildCode,
// BuildNewCode messages, validation, and the script files it reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "agscript_fixture.h"
#include "support/status.h"

namespace tw::testing {
namespace {

using ::testing::ElementsAre;

class AGScriptTest : public ScriptProject {
 protected:
  // Evaluates an expression in a module of the engine.
  Variant eval(std::string_view module, std::string_view expression) {
    return script->host().module(module).eval(expression);
  }
  bool has(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  }
};

// ---- Initialize, modules and published objects

TEST_F(AGScriptTest, InitializeBuildsTheThreeModules) {
  AGScript& s = start();
  EXPECT_EQ(projErr(), "");
  EXPECT_TRUE(s.IsInitialized());
  std::vector<std::string> modules = s.host().moduleNames();
  EXPECT_TRUE(has(modules, "System"));
  EXPECT_TRUE(has(modules, "Validate"));
  EXPECT_TRUE(has(modules, "$User"));
  // System: the locale code ran, the common code and the system code are in.
  EXPECT_EQ(eval("System", "GetLocale()").toLong(), 1033);
  const std::vector<std::string>& sys = s.systemProcedures();
  ASSERT_GE(sys.size(), 3u);
  EXPECT_EQ(sys[0], "zbSetLocale");
  EXPECT_EQ(sys[1], "LoadCurrent");
  EXPECT_TRUE(has(sys, "PhpString"));
  EXPECT_TRUE(s.ModuleExist("loadcurrent")) << "names compare ignoring case";
  EXPECT_TRUE(s.ModuleExist("PHPSTRING"));
  EXPECT_FALSE(s.ModuleExist("zbScriptEngine"));
  // Validate: the built-in checks, in order.
  EXPECT_THAT(s.validateProcedures(),
              ElementsAre("CheckDestination", "CheckSecurityTable", "CheckGeneratedFields"));
  // $User: the default user code has no procedures.
  EXPECT_TRUE(s.userProcedures().empty());
  EXPECT_EQ(engine().status().GetSysCode("VB"), builtinSystemCode());
  EXPECT_EQ(engine().status().GetSysCode("VL"), builtinValidateCode());
}

TEST_F(AGScriptTest, BuiltInTexts) {
  EXPECT_EQ(
      AGScript::LocaleCode(),
      "Sub zbSetLocale()\r\nOn Error Resume Next\r\nSetLocale(1033)\r\nEnd Sub\r\nCall zbSetLocale()\r\n");
  EXPECT_EQ(AGScript::DefaultCommonCode(),
            "Dim TABLE, FIELD, CTRL\r\n"
            "Function LoadCurrent(bInitType)\r\n"
            " Dim tablename, fieldname, index\r\n"
            " If bInitType >= 1 Then\r\n"
            "  index = controls.curIndex\r\n"
            "  Set CTRL = controls(index)\r\n"
            " End If\r\n"
            " If bInitType >= 2 Then\r\n"
            "  tablename = db.Tables.curName\r\n"
            "  Set TABLE = db.Tables(tablename)\r\n"
            "  fieldname = TABLE.Fields.curName\r\n"
            "  Set FIELD = TABLE.Fields(fieldname)\r\n"
            "  LoadCurrent = tablename & \",\" & fieldname\r\n"
            " Else\r\n"
            "  LoadCurrent = \"\"\r\n"
            " End If\r\n"
            "End Function\r\n");
  EXPECT_EQ(AGScript::DefaultUserCode(), "'Please enter your script here\r\n");
}

TEST_F(AGScriptTest, LoadCurrentReportsTableAndField) {
  start();
  controls->Item(2);
  setCurrent("Customers", "name");
  vbs::ScriptHost::Module& sys = script->host().module("System");
  EXPECT_EQ(sys.run("LoadCurrent", {Variant::integer(2)}).toString(), "Customers,name");
  EXPECT_EQ(sys.eval("TABLE.TblName & FIELD.FldName & CTRL.CtrlID").toString(), "Customersnameedit");
  EXPECT_EQ(sys.run("LoadCurrent", {Variant::integer(1)}).toString(), "");
  EXPECT_EQ(sys.run("LoadCurrent", {Variant::integer(0)}).toString(), "");
}

TEST_F(AGScriptTest, PublishedObjectsAreQualifiedNotGlobal) {
  start();
  EXPECT_EQ(eval("System", "PROJ.ProjName").toString(), "Shop");
  EXPECT_EQ(eval("System", "DB.DBName").toString(), "shop");
  EXPECT_EQ(eval("System", "Controls.Count").toLong(), 2);
  EXPECT_EQ(eval("System", "LANG.Phrase(\"title\")").toString(), "Order list");
  EXPECT_EQ(eval("System", "FILTERS.GroupCount").toLong(), 0);
  EXPECT_EQ(eval("System", "TypeName(SCRPT)").toString(), "AGUserScript");
  // The objects' members are not names of their own.
  EXPECT_TRUE(eval("System", "IsEmpty(ProjName)").toBool());
  EXPECT_TRUE(eval("System", "IsEmpty(DBName)").toBool());
  // All modules see the objects.
  EXPECT_EQ(eval("Validate", "PROJ.ProjName").toString(), "Shop");
  EXPECT_EQ(eval("$User", "DB.Tables.Count").toLong(), 2);
}

TEST_F(AGScriptTest, ResetDropsModulesAndObjects) {
  AGScript& s = start();
  s.Reset();
  EXPECT_FALSE(s.IsInitialized());
  EXPECT_THAT(s.host().moduleNames(), ElementsAre("Global"));
  EXPECT_THROW(s.host().globalModule().eval("PROJ.ProjName"), Error);
  initialize();
  EXPECT_TRUE(s.IsInitialized());
  EXPECT_EQ(eval("System", "PROJ.ProjName").toString(), "Shop");
}

TEST_F(AGScriptTest, ComponentMembersByName) {
  AGScript& s = start();
  Ref<Dispatch> d(&s);
  EXPECT_TRUE(d->call("IsInitialized").toBool());
  EXPECT_TRUE(d->call("ModuleExist", {Variant("LoadCurrent")}).toBool());
  EXPECT_FALSE(d->call("UserModuleExist", {Variant("LoadCurrent")}).toBool());
  EXPECT_EQ(
      d->call("BuildNewCode", {Variant("Function zbScriptEngine()\r\nzbScriptEngine = 6 * 7\r\nEnd Function"),
                               Variant::integer(0), Variant::long_(1000)})
          .toString(),
      "42");
  EXPECT_TRUE(d->call("Validate").toBool());
  d->call("Reset");
  EXPECT_FALSE(s.IsInitialized());
}

// ---- User code

TEST_F(AGScriptTest, UserCodeFileFromTheSettings) {
  setDeveloperSetting("USERCODE",
                      write("user.vbs",
                            "Function USER_Caption(v)\r\n USER_Caption = \"*\" & v\r\nEnd Function\r\n"
                            "Sub USER_Nothing()\r\nEnd Sub\r\n"));
  AGScript& s = start();
  EXPECT_EQ(projErr(), "");
  EXPECT_THAT(s.userProcedures(), ElementsAre("USER_Caption", "USER_Nothing"));
  EXPECT_TRUE(s.UserModuleExist("user_caption"));
  EXPECT_TRUE(eval("System", "SCRPT.UserModuleExist(\"USER_CAPTION\")").toBool());
  // Callable from system code and templates too.
  EXPECT_EQ(eval("System", "USER_Caption(\"x\")").toString(), "*x");
}

TEST_F(AGScriptTest, MissingUserCodeFileIsReportedAndReadsAsEmpty) {
  const std::string missing = (dir() / "nowhere.vbs").string();
  setDeveloperSetting("USERCODE", missing);
  AGScript& s = start();
  EXPECT_EQ(projErr(), "");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Tarnwick: Script file " + missing + " not found! Content not loaded!");
  EXPECT_TRUE(s.userProcedures().empty());
}

TEST_F(AGScriptTest, SyntaxErrorInUserCodeNamesTheFile) {
  const std::string file = write("user.vbs", "Function A()\r\n  A = (1\r\nEnd Function\r\n");
  setDeveloperSetting("USERCODE", file);
  start();
  EXPECT_EQ(projErr(), "(" + file + ") : VBScript Syntax Error\r\nExpected ')'\r\nIn line 2: \r\n  A = (1");
}

TEST_F(AGScriptTest, AddUserCodeAppendsAllUserProcedures) {
  AGScript& s = start();
  s.AddUserCode(write("ext1.vbs", "Function USER_One(v)\r\nUSER_One = v & 1\r\nEnd Function\r\n"));
  s.AddUserCode(write("ext2.vbs", "Function USER_Two(v)\r\nUSER_Two = v & 2\r\nEnd Function\r\n"));
  EXPECT_EQ(projErr(), "");
  // Every addition lists all procedures of $User again.
  EXPECT_THAT(s.userProcedures(), ElementsAre("USER_One", "USER_One", "USER_Two"));
  EXPECT_THAT(s.userScript().names(), ElementsAre("USER_One", "USER_One", "USER_Two"));
  EXPECT_EQ(eval("System", "USER_One(\"a\") & USER_Two(\"b\")").toString(), "a1b2");
  const std::string bad = write("bad.vbs", "Sub X(\r\n");
  s.AddUserCode(bad);
  EXPECT_EQ(projErr().rfind("(" + bad + ") : VBScript Syntax Error\r\n", 0), 0u) << projErr();
  EXPECT_NE(projErr().find("\r\nIn line 1: \r\nSub X("), std::string::npos) << projErr();
}

TEST_F(AGScriptTest, CommonCodeFileReplacesTheBuiltInOne) {
  setDeveloperSetting(
      "COMMONCODE",
      write("common.vbs",
            "Dim TABLE, FIELD, CTRL, loads\r\n"
            "Function LoadCurrent()\r\n loads = loads + 1\r\n LoadCurrent = \"\"\r\nEnd Function\r\n"));
  AGScript& s = start();
  ASSERT_EQ(projErr(), "");
  // A LoadCurrent without a parameter is called without the level.
  EXPECT_EQ(
      s.BuildNewCode("Function zbScriptEngine()\r\nzbScriptEngine = loads\r\nEnd Function\r\n", 2, 1000),
      "1");
  EXPECT_EQ(projErr(), "");
}

TEST_F(AGScriptTest, SyntaxErrorInTheSystemCode) {
  script = makeRef<AGScript>();
  setSystemCode("VB", "Function Broken(\r\n");
  initialize();
  registerBuiltinScripts();
  EXPECT_EQ(projErr().rfind("Tarnwick : VBScript Syntax Error\r\n", 0), 0u) << projErr();
  EXPECT_NE(projErr().find("\r\nIn line 1: \r\nFunction Broken("), std::string::npos);
  // The later modules were not loaded, but the engine counts as initialised.
  EXPECT_EQ(script->host().findModule("Validate"), nullptr);
  EXPECT_TRUE(script->IsInitialized());
}

// ---- BuildNewCode

TEST_F(AGScriptTest, BuildNewCodeSyntaxErrorDoesNotRunLoadCurrent) {
  AGScript& s = start();
  setCurrent("Orders", "id");
  EXPECT_EQ(
      s.BuildNewCode("Function zbScriptEngine()\r\nzbScriptEngine = \"open\r\nEnd Function\r\n", 2, 1000),
      "");
  EXPECT_EQ(projErr(),
            "Tarnwick: VBScript Syntax Error\r\nUnterminated string constant\r\nIn line 2: \r\n"
            "zbScriptEngine = \"open");
  EXPECT_TRUE(eval("System", "IsEmpty(TABLE)").toBool());
}

TEST_F(AGScriptTest, EachBuildNewCodeReplacesThePageFunction) {
  AGScript& s = start();
  EXPECT_EQ(
      s.BuildNewCode("Function zbScriptEngine()\r\nzbScriptEngine = \"one\"\r\nEnd Function\r\n", 0, 1000),
      "one");
  EXPECT_EQ(
      s.BuildNewCode("Function zbScriptEngine()\r\nzbScriptEngine = \"two\"\r\nEnd Function\r\n", 0, 1000),
      "two");
  size_t pages = 0;
  for (const auto& p : s.host().module("System").procedures()) pages += p.name == "zbScriptEngine";
  EXPECT_EQ(pages, 1u);
}

// ---- BuildCode

TEST_F(AGScriptTest, BuildCodeRunsOnlySystemProcedures) {
  script = makeRef<AGScript>();
  setSystemCode(
      "VB",
      builtinSystemCode() +
          "\r\nFunction TableCond()\r\n TableCond = TABLE.TblName & \"/\" & FIELD.FldName\r\nEnd Function\r\n"
          "Function CtrlCond()\r\n CtrlCond = CTRL.CtrlID\r\nEnd Function\r\n");
  initialize();
  registerBuiltinScripts();
  ASSERT_EQ(projErr(), "");
  controls->Item(2);
  setCurrent("Customers", "name");
  // A current table: LoadCurrent runs at level 2.
  EXPECT_EQ(script->BuildCode(Variant("tablecond"), Variant("default")).toString(), "Customers/name");
  EXPECT_EQ(script->lastResult().toString(), "Customers/name");
  EXPECT_EQ(script->BuildCode(Variant("CtrlCond"), Variant("")).toString(), "edit");
  // Not a system procedure: the text comes back and nothing runs.
  EXPECT_EQ(script->BuildCode(Variant("zbScriptEngine"), Variant("kept")).toString(), "kept");
  EXPECT_EQ(script->BuildCode(Variant("USER_Anything"), Variant("kept")).toString(), "kept");
  // ProjErr set: nothing runs.
  projErr() = "earlier failure";
  EXPECT_EQ(script->BuildCode(Variant("TableCond"), Variant("kept")).toString(), "kept");
  EXPECT_EQ(projErr(), "earlier failure");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(AGScriptTest, BuildCodeWithoutCurrentTableLoadsTheControlOnly) {
  proj->db()->tables().Delete("Orders");
  proj->db()->tables().Delete("Customers");
  script = makeRef<AGScript>();
  setSystemCode("VB", builtinSystemCode() +
                          "\r\nFunction Cond()\r\n Cond = CTRL.CtrlID & TypeName(TABLE)\r\nEnd Function\r\n");
  initialize();
  registerBuiltinScripts();
  controls->Item(1);
  EXPECT_EQ(script->BuildCode(Variant("Cond"), Variant("")).toString(), "listEmpty");
  EXPECT_EQ(projErr(), "");
}

TEST_F(AGScriptTest, BuildCodeRuntimeErrorShowsTwoBoxesAndNamesTheSetting) {
  script = makeRef<AGScript>();
  const std::string code =
      builtinSystemCode() + "\r\nFunction Cond()\r\n Cond = Len(FIELD.FldName) / 0\r\nEnd Function\r\n";
  setSystemCode("VB", code);
  initialize();
  registerBuiltinScripts();
  controls->Item(1);
  setCurrent("Orders", "total");
  EXPECT_EQ(script->BuildCode(Variant("Cond"), Variant("fallback")).toString(), "fallback");
  // The failing line, counted in the text that was added.
  const std::string line =
      std::to_string(std::count(builtinSystemCode().begin(), builtinSystemCode().end(), '\n') + 3);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "RUNTIME ERROR");
  EXPECT_EQ(boxes[0].icon, MessageIcon::Critical);
  EXPECT_EQ(boxes[0].text, "Division by zeroIn line " + line + ": \r Cond = Len(FIELD.FldName) / 0");
  EXPECT_EQ(boxes[1].title, "RUNTIME ERROR");
  EXPECT_EQ(boxes[1].icon, MessageIcon::None);
  EXPECT_EQ(boxes[1].text, "Division by zero\r Cond = Len(FIELD.FldName) / 0");
  EXPECT_EQ(projErr(),
            "Tarnwick: VBScript Runtime error in module \"Cond\"\r\n"
            "Division by zero\r\n Cond = Len(FIELD.FldName) / 0\r\n"
            "Please check setting for Table \"Orders\" Field \"total\"");
}

TEST_F(AGScriptTest, BuildCodeErrorInLoadCurrentNamesNoSetting) {
  setDeveloperSetting("COMMONCODE", write("common.vbs",
                                          "Dim TABLE, FIELD, CTRL\r\n"
                                          "Function LoadCurrent(level)\r\n Err.Raise 5\r\nEnd Function\r\n"));
  script = makeRef<AGScript>();
  setSystemCode("VB", builtinSystemCode() + "\r\nFunction Cond()\r\n Cond = 1\r\nEnd Function\r\n");
  initialize();
  registerBuiltinScripts();
  ASSERT_EQ(projErr(), "");
  setCurrent("Orders", "id");
  EXPECT_EQ(script->BuildCode(Variant("Cond"), Variant("fallback")).toString(), "fallback");
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_EQ(projErr(),
            "Tarnwick: VBScript Runtime error in module \"Cond\"\r\nInvalid procedure call or argument\r\n"
            " Err.Raise 5\r\n");
}

// ---- Validate

class ValidateTest : public AGScriptTest {};

TEST_F(ValidateTest, ProjectThatCanBeGeneratedPasses) {
  start();
  EXPECT_TRUE(script->Validate());
  EXPECT_EQ(projErr(), "");
  proj->setSetting("SecType", Variant("Login"));
  proj->setSetting("SecTbl", Variant("Customers"));
  proj->setSetting("SecLoginIDFld", Variant("name"));
  proj->setSetting("SecPasswdFld", Variant("id"));
  EXPECT_TRUE(script->Validate());
  EXPECT_EQ(projErr(), "");
}

TEST_F(ValidateTest, MissingDestination) {
  proj->setSetting("Destination", Variant("  "));
  start();
  EXPECT_FALSE(script->Validate());
  EXPECT_EQ(projErr(),
            "Tarnwick: No destination folder set! Please choose the folder the generated files go to.");
}

TEST_F(ValidateTest, SecurityTableAndItsFieldsMustExist) {
  start();
  proj->setSetting("SecType", Variant("Login"));
  proj->setSetting("SecTbl", Variant("Users"));
  EXPECT_FALSE(script->Validate());
  EXPECT_EQ(
      projErr(),
      "Tarnwick: Security table \"Users\" not found in the project! Please choose the table that holds the "
      "user names and passwords.");
  projErr().clear();
  proj->setSetting("SecTbl", Variant("Customers"));
  proj->setSetting("SecLoginIDFld", Variant("login"));
  EXPECT_FALSE(script->Validate());
  EXPECT_EQ(projErr(), "Tarnwick: Login name field \"login\" not found in security table \"Customers\"!");
  projErr().clear();
  proj->setSetting("SecLoginIDFld", Variant("name"));
  proj->setSetting("SecPasswdFld", Variant("Password"));
  EXPECT_FALSE(script->Validate());
  EXPECT_EQ(projErr(), "Tarnwick: Password field \"Password\" not found in security table \"Customers\"!");
}

TEST_F(ValidateTest, StaticLoginNeedsItsAccountAndNoTable) {
  start();
  const std::string noLogin =
      "Tarnwick: No static login set! Please give the administrator's login name (SecLoginID) and password "
      "(SecPasswd).";
  const std::string noTable =
      "Tarnwick: Security table \"\" not found in the project! Please choose the table that holds the user "
      "names and passwords.";
  struct Case {
    const char* type;
    const char* login;
    const char* password;
    std::string error;
  } cases[] = {
      {"Static", "admin", "$5$rounds=5000$salt$hash", ""},
      {"static", "admin", "plain", ""},
      {"Static", "", "plain", noLogin},
      {"Static", "admin", " ", noLogin},
      {"Both", "admin", "plain", noTable},
      {"Both", "", "plain", noLogin},
      {"None", "", "", ""},
  };
  for (const Case& c : cases) {
    projErr().clear();
    proj->setSetting("SecType", Variant(c.type));
    proj->setSetting("SecLoginID", Variant(c.login));
    proj->setSetting("SecPasswd", Variant(c.password));
    proj->setSetting("SecTbl", Variant(""));
    EXPECT_EQ(script->Validate(), c.error.empty()) << c.type << " " << c.login;
    EXPECT_EQ(projErr(), c.error) << c.type << " " << c.login;
  }
}

TEST_F(ValidateTest, GeneratedTableNeedsAGeneratedField) {
  start();
  AGPTable* orders = proj->db()->tables().Item(Variant("Orders"));
  for (int32_t i = 0; i < orders->Fields().Count(); ++i)
    orders->Fields().at(i)->setSetting("FldGenerate", Variant(false));
  EXPECT_FALSE(script->Validate());
  EXPECT_EQ(projErr(),
            "Tarnwick: Table \"Orders\" is generated but none of its fields is! Please select at least one "
            "field to "
            "generate.");
  // A table that is not generated may have none.
  projErr().clear();
  orders->setSetting("TblGen", Variant(false));
  EXPECT_TRUE(script->Validate());
}

TEST_F(ValidateTest, EarlierErrorFailsWithoutRunning) {
  start();
  proj->setSetting("Destination", Variant(""));
  projErr() = "already failed";
  EXPECT_FALSE(script->Validate());
  EXPECT_EQ(projErr(), "already failed");
}

TEST_F(ValidateTest, DeveloperValidationCodeFromAListFile) {
  write("val/a.vbs", "Function First()\r\n First = True\r\nEnd Function\r\n");
  write("val/b.vbs",
        "Function Second()\r\n Second = PROJ.ProjName = \"Other\"\r\nEnd Function\r\n"
        "Function Third()\r\n Third = 1 / 0\r\nEnd Function\r\n");
  setDeveloperSetting("VALIDATECODE", write("val/list.xml",
                                            "<list><file value='a.vbs'/><other value='x'/>"
                                            "<FILE value='b.vbs'/><file value=''/></list>"));
  AGScript& s = start();
  ASSERT_EQ(projErr(), "");
  EXPECT_THAT(s.validateProcedures(), ElementsAre("First", "Second", "Third"));
  EXPECT_EQ(readOut("validatecode.txt"),
            "\r\nFunction First()\r\n First = True\r\nEnd Function\r\n"
            "\r\nFunction Second()\r\n Second = PROJ.ProjName = \"Other\"\r\nEnd Function\r\n"
            "Function Third()\r\n Third = 1 / 0\r\nEnd Function\r\n");
  // A check that returns False without a message of its own.
  EXPECT_FALSE(s.Validate());
  EXPECT_EQ(projErr(), "Tarnwick: Validation VBScript Runtime error in module \"Second\"\r\n\r\n\r\n");
  // A check that fails with a run-time error.
  projErr().clear();
  proj->setSetting("ProjName", Variant("Other"));
  EXPECT_FALSE(s.Validate());
  EXPECT_EQ(projErr(),
            "Tarnwick: Validation VBScript Runtime error in module \"Third\"\r\nDivision by zero\r\n Third = "
            "1 / 0\r\n");
}

TEST_F(ValidateTest, EmptyValidationListPasses) {
  setDeveloperSetting("VALIDATECODE", write("val/list.xml", "<list/>"));
  proj->setSetting("Destination", Variant(""));
  AGScript& s = start();
  EXPECT_TRUE(s.validateProcedures().empty());
  EXPECT_TRUE(s.Validate());
}

TEST_F(ValidateTest, ValidationListThatCannotBeLoaded) {
  const std::string list = write("val/list.xml", "<list><file value='a.vbs'>");
  setDeveloperSetting("VALIDATECODE", list);
  AGScript& s = start();
  EXPECT_EQ(projErr(), "Load validate file " + list + " failed!");
  EXPECT_EQ(s.host().findModule("$User"), nullptr) << "loading stops";
}

// ---- Script files

TEST_F(AGScriptTest, ScriptFilesRoundTrip) {
  start();
  const std::string path = (dir() / "written.vbs").string();
  script->WriteScriptFile(path, "' ünïcödé\r\nx = 1\r\n");
  EXPECT_EQ(script->ReadScriptFile(path), "' ünïcödé\r\nx = 1\r\n");
  script->WriteScriptFile(path, "short");
  EXPECT_EQ(script->ReadScriptFile(path), "short") << "writing replaces the file";
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(script->ReadScriptFile(path + ".missing"), "");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Tarnwick");
  EXPECT_EQ(boxes[0].text, "Tarnwick: Script file " + path + ".missing not found! Content not loaded!");
}

}  // namespace
}  // namespace tw::testing
