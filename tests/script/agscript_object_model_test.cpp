// The object model as template code sees it: every member by name, default
// members, For Each, and the typed setting accessors of every class.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agscript_fixture.h"
#include "model/chart.h"
#include "script/cache.h"
#include "script/parser.h"
#include "support/status.h"

namespace tw::testing {
namespace {

// Finds members that a script cannot reach: each name is called with nine
// arguments, which no member takes; a member fails with "Wrong number of
// arguments" (450), a name that is not a member with "Object doesn't support
// this property or method" (438). The engine may still try a member without
// arguments, so objects whose members must not run (the project, the engine)
// are probed on copies made for the purpose. A member without arguments
// whose value is an object without a default member also gives 438; those
// are checked with TypeName instead.
constexpr const char* kProbeCode =
    "Dim zbProbe\r\n"
    "Function MissingMembers(names)\r\n"
    "  Dim n, list, v\r\n"
    "  list = \"\"\r\n"
    "  On Error Resume Next\r\n"
    "  For Each n In Split(names, \",\")\r\n"
    "    Err.Clear\r\n"
    "    v = Eval(\"zbProbe.\" & n & \"(1, 2, 3, 4, 5, 6, 7, 8, 9)\")\r\n"
    "    If Err.Number <> 450 Then list = list & n & \"(\" & Err.Number & \") \"\r\n"
    "  Next\r\n"
    "  MissingMembers = list\r\n"
    "End Function\r\n"
    // Settings whose accessor does not give the declared type.
    "Function WrongTypes(names, types)\r\n"
    "  Dim n, t, i, list, v\r\n"
    "  list = \"\"\r\n"
    "  n = Split(names, \",\")\r\n"
    "  t = Split(types, \",\")\r\n"
    "  On Error Resume Next\r\n"
    "  For i = 0 To UBound(n)\r\n"
    "    Err.Clear\r\n"
    "    v = Eval(\"zbProbe.\" & n(i))\r\n"
    "    If Err.Number <> 0 Then\r\n"
    "      list = list & n(i) & \"(\" & Err.Number & \") \"\r\n"
    "    ElseIf t(i) <> \"Variant\" And TypeName(v) <> t(i) Then\r\n"
    "      list = list & n(i) & \"=\" & TypeName(v) & \" \"\r\n"
    "    End If\r\n"
    "  Next\r\n"
    "  WrongTypes = list\r\n"
    "End Function\r\n";

class ObjectModelTest : public ScriptProject {
 protected:
  void SetUp() override {
    ScriptProject::SetUp();
    start();
    ASSERT_EQ(projErr(), "");
    system().addCode(kProbeCode);
    AGPTable* orders = proj->db()->tables().Item(Variant("Orders"));
    orders->Charts().Add("Sales");
    orders->Charts().Add("Trend");
    proj->AddExtension("Charts", "charts.zip");
    proj->AddExtension("Maps", "maps.zip");
    setCurrent("Orders", "total");
    controls->Item(1);
    script->BuildNewCode("Function zbScriptEngine()\r\nEnd Function\r\n", 2, 10000);
    ASSERT_EQ(projErr(), "");
  }
  vbs::ScriptHost::Module& system() { return script->host().module("System"); }
  std::string eval(std::string_view expression) { return system().eval(expression).toString(); }

  // Names (comma separated) that `expression`'s object does not have.
  std::string missing(const std::string& expression, const std::string& names) {
    system().executeStatement("Set zbProbe = " + expression);
    return system().run("MissingMembers", {Variant(names)}).toString();
  }
  // Every setting of a registration table read through its accessor.
  std::string wrongTypes(const std::string& expression, const SettingTable& table,
                         std::string_view skip = {}) {
    std::string names, types;
    for (const SettingDef& d : table.defs()) {
      if (d.name == skip) continue;
      if (!names.empty()) {
        names += ",";
        types += ",";
      }
      names += d.name;
      types += d.dataType;
    }
    system().executeStatement("Set zbProbe = " + expression);
    return system().run("WrongTypes", {Variant(names), Variant(types)}).toString();
  }
};

TEST_F(ObjectModelTest, ProjectMembers) {
  Ref<AGP> copy = makeRef<AGP>();  // a new project also forgets the engine-wide engine
  engine().scriptEngine = script;
  script->host().addObject("PROJCOPY", copy);
  EXPECT_EQ(
      missing("PROJCOPY",
              "lhWnd,ProjInit,DBCnt,Properties,Extensions,hwnd,ProjErr,EngineVersion,AddProj,DeleteProj,"
              "AddExtension,DeleteExtension,Save,Load,LoadDefault,SaveDefault"),
      "");
  EXPECT_EQ(eval("TypeName(PROJ.db)"), "AGPDatabase");
  EXPECT_EQ(wrongTypes("PROJ", AGP::settings()), "");
  EXPECT_EQ(eval("PROJ.ProjName & \"/\" & PROJ.Properties(\"projname\").Value & \"/\" & PROJ.Properties(1)"),
            "Shop/Shop/Shop");
  EXPECT_EQ(eval("PROJ.db.DBName & PROJ.DBCnt & PROJ.ProjInit"), "shop1True");
  EXPECT_EQ(eval("PROJ.sqlquote = PROJ.SQLQuote"), "True");
  system().executeStatement("PROJ.ProjErr = \"set by a script\"");
  EXPECT_EQ(projErr(), "set by a script");
  projErr().clear();
  system().executeStatement("PROJ.BodyTitle = \"Title from a script\"");
  EXPECT_EQ(proj->str("BodyTitle"), "Title from a script");
}

TEST_F(ObjectModelTest, PropertyStores) {
  EXPECT_EQ(missing("FIELD.Properties", "Add,Count,Delete,PropertyExist,Item"), "");
  EXPECT_EQ(
      missing("FIELD.Properties(\"FldCaption\")", "Key,Name,DataType,Value,RegSave,RegFormat,FileSave,Sync"),
      "");
  EXPECT_EQ(eval("FIELD.Properties(\"FldCaption\").Value & FIELD.Properties(\"fldcaption\")"),
            "<total><total>");
  EXPECT_EQ(eval("FIELD.Properties(\"FldCaption\").DataType & FIELD.Properties(\"FldCaption\").Name"),
            "StringFldCaption");
  system().executeStatement(
      "Dim n, p\r\nn = 0\r\nFor Each p In FIELD.Properties\r\n If p.Name = \"FldName\" Then n = n + 100\r\n "
      "n = n + 1\r\nNext");
  EXPECT_EQ(eval("n"), "206") << "106 field settings, FldName among them";
  EXPECT_EQ(
      eval("PROJ.Properties.Count & \",\" & DB.Properties.Count & \",\" & TABLE.Properties.Count & \",\" & "
           "TABLE.Charts(1).Properties.Count"),
      "105,22,52,35");
}

TEST_F(ObjectModelTest, DatabaseAndTables) {
  EXPECT_EQ(missing("DB", "Properties,Key,tables"), "");
  EXPECT_EQ(wrongTypes("DB", AGPDatabase::settings(), "DBDatabaseNames"), "");
  // DBDatabaseNames is reached through Properties only.
  EXPECT_EQ(missing("DB", "DBDatabaseNames"), "DBDatabaseNames(438) ");
  EXPECT_EQ(eval("TypeName(DB.Properties(\"DBDatabaseNames\"))"), "AGProperty");
  EXPECT_EQ(missing("DB.Tables", "curName,curSeq,Add,Change,Count,Delete,TableExist,Item,Seq,SetItem,SetSeq"),
            "");
  EXPECT_EQ(eval("DB.Tables(\"Orders\").TblName & DB.Tables(2).TblName & DB.Tables.Item(1).TblName"),
            "OrdersCustomersOrders");
  EXPECT_EQ(eval("DB.Tables.Seq(2).TblVar & DB.Tables.Count & DB.Tables.TableExist(\"orders\")"),
            "Customers2False");
  EXPECT_EQ(eval("TypeName(DB.Tables(\"orders\"))"), "Nothing") << "names match exactly";
  system().executeStatement(
      "Dim names, t\r\nFor Each t In DB.Tables\r\n names = names & t.TblName & \";\"\r\nNext");
  EXPECT_EQ(eval("names"), "Orders;Customers;");
  system().executeStatement("DB.Tables.SetSeq 2");
  EXPECT_EQ(eval("DB.Tables.curName & DB.Tables.curSeq"), "Customers2");
}

TEST_F(ObjectModelTest, TablesFieldsAndCharts) {
  EXPECT_EQ(missing("TABLE", "Properties,Key,Fields,Charts"), "");
  EXPECT_EQ(wrongTypes("TABLE", AGPTable::settings()), "");
  EXPECT_EQ(
      missing("TABLE.Fields", "curName,curSeq,Add,Change,Count,Delete,FieldExist,Item,Seq,SetItem,SetSeq"),
      "");
  EXPECT_EQ(missing("FIELD", "Properties,Key"), "");
  EXPECT_EQ(wrongTypes("FIELD", AGPField::settings()), "");
  EXPECT_EQ(eval("TABLE.Fields(1).FldName & TABLE.Fields(\"total\").FldSeq & TABLE.Fields.Seq(2).FldVar & "
                 "FIELD.Key"),
            "id3x_customertotal");
  system().executeStatement(
      "Dim list, f\r\nFor Each f In TABLE.Fields\r\n list = list & f.FldName & \",\"\r\nNext");
  EXPECT_EQ(eval("list"), "id,customer,total,");
  EXPECT_EQ(missing("TABLE.Charts", "curName,curSeq,Add,Change,Count,Delete,ChartExist,Item,Seq"), "");
  EXPECT_EQ(missing("TABLE.Charts(1)", "Properties,Key"), "");
  EXPECT_EQ(wrongTypes("TABLE.Charts(1)", AGPChart::settings()), "");
  system().executeStatement(
      "Dim charts, c\r\nFor Each c In TABLE.Charts\r\n charts = charts & c.ChartName & c.ChartSeq\r\nNext");
  EXPECT_EQ(eval("charts & TABLE.Charts(\"Trend\").ChartVar & TypeName(TABLE.Charts.curSeq)"),
            "Sales1Trend2TrendString");
}

TEST_F(ObjectModelTest, Extensions) {
  EXPECT_EQ(missing("PROJ.Extensions", "curName,curSeq,Add,Count,Delete,ExtensionExist,Item,Seq"), "");
  EXPECT_EQ(missing("PROJ.Extensions(1)", "Properties,Seq,Key,Name,Template"), "");
  system().executeStatement(
      "Dim ext, e\r\nFor Each e In PROJ.Extensions\r\n ext = ext & e.Seq & e.Name & \"=\" & e.Template & \" "
      "\"\r\nNext");
  EXPECT_EQ(eval("ext & PROJ.Extensions(\"Maps\").Key"), "1Charts=charts.zip 2Maps=maps.zip Maps");
}

TEST_F(ObjectModelTest, ControlsAndSessions) {
  // The Load members of controls and sessions take an XML element, which no
  // script can make; the control file is loaded through LoadControls.
  EXPECT_EQ(missing("Controls",
                    "LoadControls,ProdDate,ProdVersion,ProdDesc,ProdAuthor,Count,Item,curIndex,ControlExist,"
                    "AddControl,DeleteControl"),
            "");
  EXPECT_EQ(
      missing("CTRL",
              "CtrlID,CtrlType,CtrlOFile,CtrlOFileCompat,CtrlOExt,CtrlOFolder,CtrlIFiles,CtrlIFolder,"
              "CtrlCond,CtrlTagExt,CtrlParm,CtrlSpace,CtrlGen,CtrlExt,CtrlAction,CtrlOverwrite,Sessions"),
      "");
  EXPECT_EQ(missing("CTRL.Sessions", "AddSession,ChangeSession,DeleteSession,SessionExist,Count,Item"), "");
  EXPECT_EQ(missing("CTRL.Sessions(1)",
                    "SessType,SessValue,SessParm,SessIFile,SessCond,SessExt,SessAction,"
                    "SessLocation,SessLocType"),
            "");
  EXPECT_EQ(
      eval("Controls(2).CtrlID & Controls.curIndex & CTRL.CtrlIFiles & CTRL.Sessions.Item(1).SessValue & "
           "Controls.ProdAuthor"),
      "edit2list.phpheadertests");
}

TEST_F(ObjectModelTest, LanguageFiltersAndUserScript) {
  EXPECT_EQ(missing("LANG", "Load,Phrase,Count,curIndex"), "");
  EXPECT_EQ(missing("FILTERS", "Load,GroupCount,GroupName,OptionCount,OptionName,Expression"), "");
  EXPECT_EQ(missing("SCRPT", "AddUserModule,UserModuleExist"), "");
  EXPECT_EQ(eval("LANG.Phrase(\"QUOTE\") & LANG.Count & LANG.curIndex"), "Say \"cheese\"20");
  system().executeStatement("SCRPT.AddUserModule \"USER_FromScript\"");
  EXPECT_TRUE(script->userScript().UserModuleExist("user_fromscript"));
}

TEST_F(ObjectModelTest, EngineServicesPublishedToAScript) {
  // Status, cache, parser and the engine itself are not published to
  // templates; a host that publishes them reaches every member by name.
  script->host().addObject("STATUS", Ref<Dispatch>(&engine().status()));
  script->host().addObject("CACHE", makeRef<AGPCache>("templ.zip"));
  script->host().addObject("PARSER", makeRef<AGParser>());
  script->host().addObject("ENGINE", makeRef<AGScript>());
  EXPECT_EQ(missing("STATUS",
                    "mj1,mj2,mn1,mn2,DispStatus,ShowStatus,ShowStatus2,ShowStatus3,StatusIsCancelled,"
                    "CloseStatus,SetStatus,GetVer,GetSysCode"),
            "");
  EXPECT_EQ(
      missing("CACHE",
              "AddCache,CheckCache,GetCacheDate,DeleteCache,DeleteCacheGroup,DeleteAllCache,WriteCacheFile"),
      "");
  EXPECT_EQ(missing("PARSER", "Parse,Count,BlockID,BlockType,BlockName,BlockValue,BlockIndent,GetSession"),
            "");
  EXPECT_EQ(missing("ENGINE",
                    "Initialize,IsInitialized,Reset,AddUserCode,ModuleExist,UserModuleExist,Validate,"
                    "BuildCode,BuildNewCode"),
            "");
  EXPECT_EQ(eval("Len(STATUS.GetSysCode(\"VB\")) > 0 And Not ENGINE.IsInitialized()"), "True");
  EXPECT_EQ(eval("CACHE.CheckCache(\"in\", \"k\", Now, 1)"), "2");
}

}  // namespace
}  // namespace tw::testing
