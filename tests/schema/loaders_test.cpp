// Loading a project's database, tables, custom views, reports and charts
// through AGP, against a stand-in bridge.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/agp.h"
#include "model/database.h"
#include "schema/fake_bridge.h"
#include "schema/loaders.h"
#include "schema/schema.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "support/status.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using testing::fakeBridge;
using testing::fakeColumn;
using testing::FakeObject;
using testing::fakeTable;

class LoadersTest : public testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    installSchemaMembers();
    proj_ = makeRef<AGP>();
    proj_->AddProj("shop");
  }
  AGP& proj() { return *proj_; }

  static std::vector<Ref<FakeObject>> shopTables() {
    auto id = fakeColumn("id", 3);
    id->set("AutoIncrement", Variant(true)).set("Required", Variant(true));
    auto name = fakeColumn("name", 200);
    name->set("size", Variant::long_(40));
    auto size = fakeColumn("size", 129);
    size->set("IsEnum", Variant(true))
        .set("NativeDataType", Variant::integer(247))
        .set("FieldTagValues", Variant("\"Y\",\"Y\"\r\n\"N\",\"N\""));
    return {fakeTable("customers", "TABLE", {id, name, size, fakeColumn("name", 3)}, "id"),
            fakeTable("sys", "SYSTEM TABLE", {fakeColumn("x", 3)}),
            fakeTable("orders", "TABLE",
                      {fakeColumn("order id", 3), fakeColumn("line", 2), fakeColumn("total", 131)},
                      " order id , line "),
            fakeTable("open orders", "VIEW", {fakeColumn("order id", 3)})};
  }
  void load(const char* type = "mysql", const char* name = "shop", const char* port = "3306",
            const char* method = "native") {
    LoadDB(proj(), Variant(name), Variant(type), Variant("db.example"), Variant(port), Variant("ann"),
           Variant("pw"), Variant("SID"), Variant(method), Variant("url"), Variant("utf-8"));
  }
  AGPTable* table(const char* name) { return proj().db()->tables().Item(Variant(name)); }

 private:
  Ref<AGP> proj_;
};

TEST_F(LoadersTest, AnEmptyDatabaseNameAddsNoDatabase) {
  engine().bridge = fakeBridge(shopTables());
  load("MySQL", "");
  EXPECT_EQ(AGP::ProjErr(), "Invalid DBName specified!");
  EXPECT_EQ(proj().DBCnt(), 0);
  load("sqlite", "");
  EXPECT_EQ(AGP::ProjErr(), "Invalid DBName specified!");
  EXPECT_EQ(engine().statusCaption, "Tarnwick - Loading Database...");
}

TEST_F(LoadersTest, AFullLoadCreatesTablesFieldsAndDefaults) {
  engine().bridge = fakeBridge(shopTables());
  proj().setSetting("SQLQuote", Variant("Square Bracket"));
  proj().setSetting("defaultDateFormat", Variant::integer(6));
  load();
  ASSERT_EQ(AGP::ProjErr(), "");
  ASSERT_EQ(proj().DBCnt(), 1);
  AGPDatabase* db = proj().db();
  EXPECT_EQ(db->str("DBName"), "shop");
  EXPECT_EQ(db->str("DBType"), "mysql");
  EXPECT_EQ(db->str("DBHost"), "db.example");
  EXPECT_EQ(db->str("DBSID"), "SID");
  EXPECT_EQ(db->str("DBDBMSName"), "Kestrova DB Driver");
  EXPECT_EQ(db->str("DBProviderVer"), "1.0");
  EXPECT_EQ(db->str("DBQuoteS"), "`");
  EXPECT_EQ(db->str("DBQuoteE"), "`");
  EXPECT_EQ(proj().str("XMLEncoding"), "utf-8");
  EXPECT_EQ(engine().dbmsName, "Kestrova DB Driver");
  EXPECT_EQ(engine().dateFormat, 6);
  ASSERT_EQ(db->tables().Count(), 3);  // the system table is left out
  AGPTable* customers = table("customers");
  EXPECT_TRUE(customers->flag("TblLoaded"));
  EXPECT_FALSE(customers->flag("TblGen"));  // table defaults reset it
  EXPECT_EQ(customers->str("TblKey"), "id");
  EXPECT_EQ(customers->str("TblCaption"), "customers");
  ASSERT_EQ(customers->Fields().Count(), 3);  // the second "name" is refused
  AGPField* id = customers->Fields().Item(Variant("id"));
  EXPECT_TRUE(id->flag("FldIsPrimaryKey"));
  EXPECT_EQ(id->str("FldHtmlTag"), "NO");
  EXPECT_TRUE(id->flag("FldReq"));
  AGPField* name = customers->Fields().Item(Variant("name"));
  EXPECT_EQ(name->int16("FldType"), 200);
  EXPECT_EQ(name->int32("FldTagMaxLength"), 40);
  EXPECT_EQ(name->str("FldTypeName"), "t200");
  AGPField* size = customers->Fields().Item(Variant("size"));
  EXPECT_EQ(size->int16("FldType"), 202);
  EXPECT_EQ(size->int16("NativeDataType"), 247);
  EXPECT_EQ(size->str("FldHtmlTag"), "CHECKBOX");
  EXPECT_EQ(size->str("FldQuoteS"), "'");
  AGPTable* orders = table("orders");
  EXPECT_EQ(orders->str("TblKey"), "line,order id");
  EXPECT_TRUE(orders->Fields().Item(Variant("order id"))->flag("FldIsPrimaryKey"));
  EXPECT_TRUE(orders->Fields().Item(Variant("line"))->flag("FldIsPrimaryKey"));
  EXPECT_FALSE(orders->Fields().Item(Variant("total"))->flag("FldIsPrimaryKey"));
  AGPTable* view = table("open orders");
  EXPECT_EQ(view->str("TblType"), "VIEW");
  EXPECT_FALSE(view->flag("TblView"));  // a MySQL view keeps the table defaults
  EXPECT_TRUE(view->flag("TblList"));

  load();
  EXPECT_EQ(AGP::ProjErr(), "database already loaded!");
}

TEST_F(LoadersTest, OracleViewsAreViewable) {
  engine().bridge = fakeBridge(shopTables());
  load("Oracle");
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_TRUE(table("open orders")->flag("TblView"));
  EXPECT_TRUE(table("orders")->flag("TblView"));  // a table has every page anyway
  EXPECT_EQ(proj().db()->str("DBQuoteS"), "");
}

TEST_F(LoadersTest, TheJdbcMethodTakesTheBridgesQuote) {
  auto bridge = fakeBridge(shopTables());
  bridge->on("GetQuoteChar", [](Args) { return Variant("\""); });
  engine().bridge = bridge;
  proj().setSetting("SQLQuote", Variant("Backquote"));
  load("mysql", "shop", "3306", "JDBC");
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(proj().db()->str("DBQuoteS"), "\"");
  EXPECT_EQ(bridge->callsOf("Connect")[0][8], "");  // no quote handed to the bridge
}

TEST_F(LoadersTest, DynamicLoadingListsTablesAndLoadTableFillsThemLater) {
  auto bridge = fakeBridge(shopTables());
  engine().bridge = bridge;
  proj().setSetting("DynamicLoadDB", Variant(true));
  load();
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPTable* orders = table("orders");
  EXPECT_FALSE(orders->flag("TblLoaded"));
  EXPECT_FALSE(orders->flag("TblGen"));
  EXPECT_EQ(orders->str("TblType"), "TABLE");
  EXPECT_EQ(orders->Fields().Count(), 0);
  EXPECT_EQ(orders->str("TblCaption"), "");  // no defaults until loaded

  LoadTable(proj(), Variant("orders"));
  EXPECT_EQ(AGP::ProjErr(), "");
  EXPECT_TRUE(orders->flag("TblLoaded"));
  EXPECT_EQ(orders->Fields().Count(), 3);
  EXPECT_EQ(orders->str("TblKey"), "line,order id");
  EXPECT_EQ(orders->str("TblCaption"), "orders");
  EXPECT_THAT(bridge->callsOf("GetTables").back(), ElementsAre("orders"));
  EXPECT_FALSE(table("customers")->flag("TblLoaded"));

  LoadTable(proj(), Variant("orders"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Table orders already loaded!");
  LoadTable(proj(), Variant("Orders"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Table Orders not found!");
}

TEST_F(LoadersTest, LoadTableNeedsADatabase) {
  LoadTable(proj(), Variant("orders"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Database not loaded!");
}

TEST_F(LoadersTest, AFailedConnectionRemovesTheDatabase) {
  engine().bridge = fakeBridge(shopTables(), nullptr, "Access denied for user 'ann'");
  load();
  EXPECT_EQ(AGP::ProjErr(), "Access denied for user 'ann'");
  EXPECT_EQ(proj().DBCnt(), 0);
}

TEST_F(LoadersTest, ErrorsOfTheBridgeReachTheCaller) {
  engine().bridge = fakeBridge(shopTables());
  EXPECT_THROW(load("mysql", "shop", "port"), Error);
  auto broken = fakeBridge({fakeTable("t", "TABLE", {fakeColumn("a", 3)})});
  broken->on("GetTables", [](Args) -> Variant { raise(kErrBridge, "lost connection", "DBBridge"); });
  engine().bridge = broken;
  proj().Databases().Clear();
  EXPECT_THROW(load(), Error);
}

TEST_F(LoadersTest, OtherDatabaseTypesAddAnEmptyDatabase) {
  auto bridge = fakeBridge(shopTables());
  engine().bridge = bridge;
  proj().setCurrentDbName("local");
  load("access", "ignored");
  EXPECT_EQ(AGP::ProjErr(), "");
  ASSERT_EQ(proj().DBCnt(), 1);
  EXPECT_EQ(proj().db()->str("DBName"), "local");
  EXPECT_EQ(proj().db()->str("DBType"), "access");
  EXPECT_EQ(proj().db()->tables().Count(), 0);
  EXPECT_TRUE(bridge->calls().empty());
}

TEST_F(LoadersTest, TheUsersExtensionsAreAddedAfterALoad) {
  RegWrite("HKCU", engine().regExtensions, "charts", kRegString, Variant("charts.zip"));
  RegWrite("HKCU", engine().regExtensions, "export", kRegString, Variant("export.zip"));
  engine().bridge = fakeBridge(shopTables());
  load();
  ASSERT_EQ(proj().Extensions().Count(), 2);
  AGPExtension* charts = proj().Extensions().Item(Variant("charts"));
  ASSERT_NE(charts, nullptr);
  EXPECT_EQ(charts->Template(), "charts.zip");
}

TEST_F(LoadersTest, UnLoadDBRemovesTheDatabaseExtensionsAndSecuritySettings) {
  engine().projErr = "kept";
  UnLoadDB(proj());
  EXPECT_EQ(AGP::ProjErr(), "kept");

  RegWrite("HKCU", engine().regExtensions, "charts", kRegString, Variant("charts.zip"));
  engine().bridge = fakeBridge(shopTables());
  load();
  proj().setSetting("SecTbl", Variant("users"));
  proj().setSetting("SecLoginIDFld", Variant("login"));
  proj().setSetting("SecPasswdFld", Variant("pw"));
  engine().statusCaption.clear();
  engine().projErr = "old";
  UnLoadDB(proj());
  EXPECT_EQ(proj().DBCnt(), 0);
  EXPECT_EQ(proj().Extensions().Count(), 0);
  EXPECT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(proj().str("SecTbl"), "");
  EXPECT_EQ(proj().str("SecLoginIDFld"), "");
  EXPECT_EQ(proj().str("SecPasswdFld"), "");
  EXPECT_EQ(engine().statusCaption, "");  // 3 tables are below the threshold of 20
  load();
  ASSERT_EQ(AGP::ProjErr(), "");
  for (int i = 0; i < 20; ++i) proj().db()->tables().Add("extra" + std::to_string(i));
  UnLoadDB(proj());
  EXPECT_EQ(engine().statusCaption, "Tarnwick - Unloading Database...");
}

TEST_F(LoadersTest, DatabaseNamesAndTheJavaRuntimeComeFromTheBridge) {
  auto bridge = fakeBridge({});
  engine().bridge = bridge;
  engine().projErr = "old";
  Variant v("x"), port("1");
  EXPECT_EQ(LoadDatabaseNames(Variant("mysql"), v, port, v, v, v, v, v, v), "one\r\ntwo");
  EXPECT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(bridge->callsOf("Connect")[0][1], "");  // no database name
  EXPECT_FALSE(JVMLoaded());
  engine().bridge.reset();
  EXPECT_FALSE(JVMLoaded());
}

// ---- custom views

class CustomViewsTest : public LoadersTest {
 protected:
  void SetUp() override {
    LoadersTest::SetUp();
    bridge_ = fakeBridge(shopTables());
    FakeObject* self = bridge_.get();
    view_ = std::make_shared<Ref<FakeObject>>();
    auto view = view_;
    bridge_->on("OpenCustomView", [view, self](Args a) -> Variant {
      (void)self;
      if (!*view) return Variant::nothing();
      (*view)->set("Name", Variant(a[0].toString()));
      return Variant(*view);
    });
    engine().bridge = bridge_;
  }
  void viewColumns(std::vector<Ref<FakeObject>> cols) {
    *view_ = fakeTable("", "CUSTOMVIEW", std::move(cols));
  }

  Ref<FakeObject> bridge_;
  std::shared_ptr<Ref<FakeObject>> view_;
};

TEST_F(CustomViewsTest, NeedsADatabaseAndANewName) {
  LoadCustomView(proj(), Variant("v"), Variant("SELECT 1"), Variant(false));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Database not loaded!");
  load();
  LoadCustomView(proj(), Variant("orders"), Variant("SELECT 1"), Variant(false));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Table/View orders already exists!");
}

TEST_F(CustomViewsTest, RepeatedColumnNamesAreRefusedAndNoTableStays) {
  load();
  viewColumns({fakeColumn("id", 3), fakeColumn("total", 131), fakeColumn("name", 200), fakeColumn("total", 3),
               fakeColumn("name", 200)});
  EXPECT_EQ(LoadzbCustomView(*proj().db(), Variant("v"), Variant("SELECT ...")), 2);
  EXPECT_EQ(AGP::ProjErr(), "Columns with same field name: total. Please create Alias for the fields.");
  EXPECT_FALSE(proj().db()->tables().Exist(Variant("v")));
  LoadCustomView(proj(), Variant("v"), Variant("SELECT ..."), Variant(true));
  EXPECT_EQ(AGP::ProjErr(), "Columns with same field name: total. Please create Alias for the fields.");
  EXPECT_EQ(proj().db()->tables().Count(), 3);
}

TEST_F(CustomViewsTest, AViewTheBridgeRefusesLeavesNoTable) {
  load();
  *view_ = nullptr;
  auto lastError = std::make_shared<std::string>();
  bridge_
      ->on("Initialize",
           [lastError](Args) {
             lastError->clear();
             return Variant();
           })
      .on("Connect", [](Args) { return Variant(); })
      .on("OpenCustomView",
          [lastError](Args) {
            *lastError = "Unknown column 'x'";
            return Variant::nothing();
          })
      .on("GetLastError", [lastError](Args) { return Variant(*lastError); });
  LoadCustomView(proj(), Variant("v"), Variant("SELECT x FROM orders"), Variant(false));
  EXPECT_EQ(AGP::ProjErr(), "Unknown column 'x'");
  EXPECT_FALSE(proj().db()->tables().Exist(Variant("v")));
}

TEST_F(CustomViewsTest, ColumnsAreTracedAndTakeOverTheirSourcesSettings) {
  proj().setSetting("DynamicLoadDB", Variant(true));
  load();
  LoadTable(proj(), Variant("customers"));
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPField* name = table("customers")->Fields().Item(Variant("name"));
  name->setSetting("FldCaption", Variant("Customer name"));
  name->setSetting("FldTagSize", Variant::integer(55));
  viewColumns({fakeColumn("who", 200), fakeColumn("order id", 3), fakeColumn("n", 20)});
  LoadCustomView(proj(), Variant("who ordered"),
                 Variant("SELECT c.name AS who, o.`order id`, COUNT(*) AS n FROM customers c "
                         "JOIN orders o ON o.customer = c.id GROUP BY 1, 2"),
                 Variant(true));
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPTable* v = table("who ordered");
  EXPECT_EQ(v->str("TblType"), "CUSTOMVIEW");
  EXPECT_TRUE(v->flag("TblLoaded"));
  EXPECT_FALSE(v->flag("TblGen"));
  EXPECT_THAT(v->str("TblCustomSQL"), ::testing::StartsWith("SELECT c.name AS who"));
  AGPField* who = v->Fields().Item(Variant("who"));
  EXPECT_TRUE(who->flag("FldAlias"));
  EXPECT_EQ(who->str("FldSourceTable"), "customers");
  EXPECT_EQ(who->str("FldSourceField"), "name");
  EXPECT_EQ(who->str("FldCaption"), "Customer name");  // taken over from the loaded source
  EXPECT_EQ(who->int16("FldTagSize"), 55);
  EXPECT_EQ(who->str("FldName"), "who");
  AGPField* orderId = v->Fields().Item(Variant("order id"));
  EXPECT_EQ(orderId->str("FldSourceTable"), "orders");
  EXPECT_EQ(orderId->str("FldCaption"), "order id");  // orders is listed, not loaded: own defaults
  AGPField* n = v->Fields().Item(Variant("n"));
  EXPECT_TRUE(n->flag("FldAlias"));
  EXPECT_EQ(n->str("FldSourceTable"), "");
  EXPECT_EQ(engine().statusCaption, "Tarnwick - Loading who ordered...");
}

TEST_F(CustomViewsTest, WithoutCopyingColumnsKeepTheirDefaults) {
  load();
  table("customers")->Fields().Item(Variant("name"))->setSetting("FldCaption", Variant("Customer name"));
  viewColumns({fakeColumn("name", 200)});
  LoadCustomView(proj(), Variant("names"), Variant("SELECT name FROM customers"), Variant(false));
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPField* name = table("names")->Fields().Item(Variant("name"));
  EXPECT_EQ(name->str("FldSourceTable"), "customers");
  EXPECT_EQ(name->str("FldCaption"), "name");
}

// ---- reports

TEST_F(LoadersTest, AReportCopiesALoadedTablesFieldsWithoutEditPages) {
  engine().bridge = fakeBridge(shopTables());
  load();
  proj().setSetting("RecPerPage", Variant::integer(25));
  proj().setSetting("PagerStyle", Variant::integer(1));
  proj().setSetting("ExportWord", Variant(true));
  AGPField* total = table("orders")->Fields().Item(Variant("total"));
  total->setSetting("FldCaption", Variant("Order total"));
  total->setSetting("FldSearch", Variant(true));
  total->setSetting("FldRegister", Variant(true));
  EXPECT_TRUE(LoadReport(proj(), Variant("sales"), Variant("orders")));
  EXPECT_EQ(AGP::ProjErr(), "");
  AGPTable* r = table("sales");
  EXPECT_EQ(r->str("TblType"), "REPORT");
  EXPECT_EQ(r->str("TblRptSrc"), "orders");
  EXPECT_TRUE(r->flag("TblGen"));
  EXPECT_TRUE(r->flag("TblLoaded"));
  EXPECT_EQ(r->str("TblSrchType"), "NONE");
  EXPECT_EQ(r->int16("TblRecPerPage"), 25);
  EXPECT_EQ(r->int16("TblPagerStyle"), 1);
  EXPECT_TRUE(r->flag("TblExportWord"));
  ASSERT_EQ(r->Fields().Count(), 3);
  AGPField* copy = r->Fields().Item(Variant("total"));
  EXPECT_EQ(copy->str("FldCaption"), "Order total");
  EXPECT_EQ(copy->int16("FldType"), 131);
  for (const char* page : {"FldAdd", "FldView", "FldEdit", "FldSearch", "FldBasicSearch", "FldRegister"})
    EXPECT_FALSE(copy->flag(page)) << page;
  EXPECT_TRUE(copy->flag("FldList"));
  // Later changes of the source are not copied.
  total->setSetting("FldCaption", Variant("changed"));
  EXPECT_EQ(copy->str("FldCaption"), "Order total");
}

TEST_F(LoadersTest, AReportNeedsALoadedSourceAndANewName) {
  EXPECT_FALSE(LoadReport(proj(), Variant("r"), Variant("orders")));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Database not loaded!");
  engine().bridge = fakeBridge(shopTables());
  proj().setSetting("DynamicLoadDB", Variant(true));
  load();
  EXPECT_FALSE(LoadReport(proj(), Variant("r"), Variant("orders")));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Table/View orders not exist or loaded!");
  EXPECT_FALSE(LoadReport(proj(), Variant("customers"), Variant("missing")));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Table/View customers already exists!");
  EXPECT_EQ(proj().db()->tables().Count(), 3);
}

// ---- charts

TEST_F(LoadersTest, ChartsAreAddedOnceAndCopiedWithTheirSynchronisedSettings) {
  EXPECT_FALSE(LoadChart(proj(), "c1", "orders"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Database not loaded!");
  engine().bridge = fakeBridge(shopTables());
  load();
  EXPECT_FALSE(LoadChart(proj(), "c1", "nope"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Chart source nope not exist!");
  EXPECT_TRUE(LoadChart(proj(), "c1", "orders"));
  EXPECT_FALSE(LoadChart(proj(), "c1", "orders"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Chart c1 already exists!");
  AGPCharts& charts = table("orders")->Charts();
  EXPECT_EQ(charts.Count(), 1);

  AGPChart* c1 = charts.Item(Variant("c1"));
  c1->setSetting("ChartCaption", Variant("Totals"));
  c1->setSetting("ChartWidth", Variant::integer(640));
  EXPECT_FALSE(CopyChart(proj(), "nope", "c2", "orders"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Chart nope does not exist!");
  EXPECT_FALSE(CopyChart(proj(), "c1", "c1", "orders"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Chart c1 already exists!");
  EXPECT_FALSE(CopyChart(proj(), "c1", "c2", "nope"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Chart source nope not exist!");
  EXPECT_TRUE(CopyChart(proj(), "c1", "c2", "orders"));
  AGPChart* c2 = charts.Item(Variant("c2"));
  EXPECT_EQ(c2->ChartName(), "c2");
  EXPECT_EQ(c2->ChartVar(), "c2");
  EXPECT_EQ(c2->int16("ChartSeq"), 2);
  EXPECT_EQ(c2->str("ChartCaption"), "Totals");
  EXPECT_EQ(c2->int16("ChartWidth"), 640);
  // A chart name differing only in letter case cannot be added.
  EXPECT_FALSE(CopyChart(proj(), "c1", "C1", "orders"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Add Chart C1 failed!");
}

// ---- by name, as the front end and scripts call them

TEST_F(LoadersTest, TheLoadersAreMembersOfTheObjects) {
  engine().bridge = fakeBridge(shopTables());
  Dispatch& p = proj();
  p.call("LoadDB", {Variant("shop"), Variant("mysql"), Variant("h"), Variant("3306"), Variant("u"),
                    Variant("p"), Variant(""), Variant(""), Variant(""), Variant("")});
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_TRUE(p.call("LoadChart", {Variant("c"), Variant("orders")}).toBool());
  EXPECT_TRUE(p.call("LoadReport", {Variant("r"), Variant("orders")}).toBool());
  EXPECT_FALSE(p.call("JVMLoaded").toBool());
  Dispatch& db = *proj().db();
  EXPECT_EQ(db.call("LoadzbDB",
                    {Variant("h"), Variant("shop"), Variant("mysql"), Variant("u"), Variant("p"),
                     Variant("1"), Variant(""), Variant(""), Variant(""), Variant(""), Variant("orders")})
                .toInteger(),
            0);
  AGPTable* orders = table("orders");
  Dispatch& t = *orders;
  t.put("TblCaption", Variant("x"));
  t.call("LoadTableDefault");
  EXPECT_EQ(orders->str("TblCaption"), "orders");
  AGPField* f = orders->Fields().Item(Variant("total"));
  f->setSetting("FldHtmlTag", Variant("SELECT"));
  static_cast<Dispatch&>(*f).call("LoadFldDefault");
  EXPECT_EQ(f->str("FldHtmlTag"), "TEXT");
  EXPECT_THROW(t.call("Load_zbDB", {Variant("not an object"), Variant(true)}), Error);
  p.call("UnLoadDB");
  EXPECT_EQ(proj().DBCnt(), 0);
}

}  // namespace
}  // namespace tw
