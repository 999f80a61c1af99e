// AGPSchema, OpenBridge and SQLQuoteChar against a stand-in bridge: what is
// asked of the bridge, in which order, and how its answers become records.
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "schema/fake_bridge.h"
#include "schema/jvm.h"
#include "schema/schema.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using testing::fakeBridge;
using testing::fakeColumn;
using testing::FakeObject;
using testing::fakeTable;

class SchemaReaderTest : public testing::FreshEngine {
 protected:
  void install(const Ref<FakeObject>& bridge) { engine().bridge = bridge; }
  static ConnectionValues values(const char* type = "mysql", const char* method = "native") {
    return {Variant(type),   Variant("db.example"), Variant("shop"), Variant("ann"), Variant("pw"),
            Variant("3307"), Variant("SID1"),       Variant(method), Variant("url"), Variant("utf-8")};
  }
  static void load(AGPSchema& s, const char* type = "mysql", const char* method = "native",
                   Variant port = Variant("3307"), const char* name = "shop") {
    s.LoadDB(Variant(name), Variant(type), Variant("db.example"), port, Variant("ann"), Variant("pw"),
             Variant("SID1"), Variant(method), Variant("url"), Variant("utf-8"));
  }
};

// ---- SQLQuoteChar and OpenBridge

TEST_F(SchemaReaderTest, QuoteFollowsTheProjectSettingUnlessTheMethodIsJdbc) {
  engine().sqlQuote = "Double Quote";
  EXPECT_EQ(SQLQuoteChar("mysql", "JDBC"), "NA");
  EXPECT_EQ(SQLQuoteChar("mysql", "native"), "\"");
  engine().sqlQuote = "Backquote";
  EXPECT_EQ(SQLQuoteChar("oracle", "native"), "`");
  engine().sqlQuote = "None";
  EXPECT_EQ(SQLQuoteChar("mysql", "native"), "");
  engine().sqlQuote = "Square Bracket";
  EXPECT_EQ(SQLQuoteChar("MySQL", "native"), "`");
  EXPECT_EQ(SQLQuoteChar("oracle", "native"), "");
  EXPECT_EQ(SQLQuoteChar("sqlite", "native"), "\"");
  engine().sqlQuote = "";
  EXPECT_EQ(SQLQuoteChar("my MYSQL server", ""), "`");
  EXPECT_EQ(SQLQuoteChar("jdbc", "jdbc"), "");  // only the exact method "JDBC" counts
}

TEST_F(SchemaReaderTest, OpenBridgeInitialisesSetsTypeKeyAndConnectsWithTheQuote) {
  auto bridge = fakeBridge({});
  install(bridge);
  engine().sqlQuote = "Square Bracket";
  EXPECT_TRUE(OpenBridge(values("MYSQL", "native")));
  EXPECT_THAT(bridge->calls(),
              ElementsAre("Initialize", "SetDBType", "SetSettingsKey", "Connect", "GetLastError"));
  EXPECT_THAT(bridge->callsOf("SetDBType")[0], ElementsAre("MYSQL"));
  EXPECT_THAT(bridge->callsOf("SetSettingsKey")[0], ElementsAre("Software\\Tarnwick\\1.0\\Settings"));
  EXPECT_THAT(bridge->callsOf("Connect")[0],
              ElementsAre("db.example", "shop", "ann", "pw", "3307", "native", "url", "utf-8", "`"));
}

TEST_F(SchemaReaderTest, JdbcConnectsWithAnEmptyQuoteAndOracleGetsItsSid) {
  auto bridge = fakeBridge({});
  install(bridge);
  engine().sqlQuote = "Double Quote";
  EXPECT_TRUE(OpenBridge(values("Oracle", "JDBC")));
  EXPECT_THAT(bridge->callsOf("SetOracleSID")[0], ElementsAre("SID1"));
  EXPECT_EQ(bridge->callsOf("Connect")[0][8], "");
}

TEST_F(SchemaReaderTest, TheBridgesErrorBecomesProjErr) {
  install(fakeBridge({}, nullptr, "Access denied"));
  engine().projErr = "old";
  EXPECT_FALSE(OpenBridge(values()));
  EXPECT_EQ(engine().projErr, "Access denied");
}

TEST_F(SchemaReaderTest, APortThatIsNoNumberRaisesAndAnEmptyPortMeansTheDefault) {
  auto bridge = fakeBridge({});
  install(bridge);
  ConnectionValues v = values();
  v.port = Variant("");
  EXPECT_TRUE(OpenBridge(v));
  EXPECT_EQ(bridge->callsOf("Connect")[0][4], "0");
  v.port = Variant("port");
  EXPECT_THROW(OpenBridge(v), Error);
}

TEST_F(SchemaReaderTest, TheRealBridgeReachesOracleOnlyThroughJava) {
  engine().bridge.reset();
  EXPECT_FALSE(OpenBridge(values("oracle")));
  EXPECT_EQ(engine().projErr,
            "Oracle connections are made through Oracle's JDBC driver only: use the connection method JDBC");
  EXPECT_FALSE(bridgeObject().call("IsJVMLoaded").toBool());
}

// ---- AGPSchema.LoadDB

TEST_F(SchemaReaderTest, OnlyTablesAndViewsBecomeRecordsNumberedWithoutGaps) {
  install(fakeBridge({fakeTable("sys1", "SYSTEM TABLE", {fakeColumn("x", 3)}),
                      fakeTable("orders", "TABLE", {fakeColumn("id", 3)}), fakeTable("seq", "SEQUENCE", {}),
                      fakeTable("open orders", "VIEW", {fakeColumn("id", 3)}),
                      fakeTable("lower", "table", {fakeColumn("id", 3)})}));
  AGPSchema s;
  load(s);
  EXPECT_EQ(engine().projErr, "");
  ASSERT_EQ(s.tblcnt(), 2);
  EXPECT_EQ(s.Tbl(1).TblName, "orders");
  EXPECT_EQ(s.Tbl(1).TblSeq, 1);
  EXPECT_EQ(s.Tbl(1).TblType, "TABLE");
  EXPECT_EQ(s.Tbl(2).TblName, "open orders");
  EXPECT_EQ(s.Tbl(2).TblSeq, 2);
  EXPECT_EQ(s.Tbl(2).TblType, "VIEW");
  EXPECT_FALSE(s.Tbl(2).TblGen);
  EXPECT_EQ(s.Tbl(0).TblName, "");  // element 0 stays empty
  EXPECT_THROW(s.Tbl(3), Error);
  EXPECT_EQ(s.record().DBDBMSName, "Kestrova DB Driver");
  EXPECT_EQ(s.record().DBProviderName, "Kestrova Technology Ltd");
  EXPECT_EQ(s.record().DBPort, "3307");
  EXPECT_EQ(s.loadedMarker(), 1);
}

TEST_F(SchemaReaderTest, ARepeatedColumnNameKeepsTheFirstColumn) {
  auto second = fakeColumn("b", 200);
  install(fakeBridge(
      {fakeTable("t", "TABLE", {fakeColumn("a", 3), fakeColumn("b", 3), second, fakeColumn("c", 5)})}));
  AGPSchema s;
  load(s);
  AGSchemaTable t = s.Tbl(1);
  EXPECT_EQ(t.TblFldCnt, 3);
  EXPECT_EQ(t.TblFields.fld.size(), 5u);  // sized by the bridge's count, plus element 0
  EXPECT_EQ(t.TblFields.fld[2].FldName, "b");
  EXPECT_EQ(t.TblFields.fld[2].FldType, 3);
  EXPECT_EQ(t.TblFields.fld[3].FldName, "c");
  EXPECT_EQ(t.TblFields.fld[3].FldSeq, 3);
  EXPECT_FALSE(t.TblGen);
}

TEST_F(SchemaReaderTest, KeyColumnsAreSortedTrimmedAndMarked) {
  install(fakeBridge(
      {fakeTable("t", "TABLE", {fakeColumn("a", 3), fakeColumn("b", 3), fakeColumn("c", 3)}, " b , a ")}));
  AGPSchema s;
  load(s);
  AGSchemaTable t = s.Tbl(1);
  EXPECT_EQ(t.TblKey, "a,b");
  EXPECT_TRUE(t.TblFields.fld[1].FldIsPrimaryKey);
  EXPECT_TRUE(t.TblFields.fld[2].FldIsPrimaryKey);
  EXPECT_FALSE(t.TblFields.fld[3].FldIsPrimaryKey);
}

TEST_F(SchemaReaderTest, ColumnMembersAreCopiedAndTypesDecideSupportAndQuotes) {
  auto e = fakeColumn("size", 129);
  e->set("IsEnum", Variant(true))
      .set("NativeDataType", Variant::integer(247))
      .set("FieldTagValues", Variant("\"S\",\"S\""));
  auto bin = fakeColumn("raw", 128);
  auto text = fakeColumn("name", 200);
  text->set("size", Variant::long_(50))
      .set("Required", Variant(true))
      .set("Unique", Variant(true))
      .set("ADOAttributes", Variant::long_(0x64))
      .set("DefaultValue", Variant("x"))
      .set("FieldTagValues", Variant("ignored"));
  auto id = fakeColumn("id", 3);
  id->set("AutoIncrement", Variant(true));
  install(fakeBridge({fakeTable("t", "TABLE", {e, bin, text, id})}));
  AGPSchema s;
  load(s);
  AGSchemaTable t = s.Tbl(1);
  const AGSchemaField& en = t.TblFields.fld[1];
  EXPECT_EQ(en.FldType, 202);
  EXPECT_TRUE(en.FldSupport);
  EXPECT_EQ(en.FldQuoteS, "'");
  EXPECT_EQ(en.FldQuoteE, "'");
  EXPECT_EQ(en.FldTagValues, "\"S\",\"S\"");
  EXPECT_EQ(en.NativeDataType, 247);
  const AGSchemaField& b = t.TblFields.fld[2];
  EXPECT_EQ(b.FldType, 128);
  EXPECT_FALSE(b.FldSupport);
  EXPECT_EQ(b.FldQuoteS, "");
  const AGSchemaField& n = t.TblFields.fld[3];
  EXPECT_EQ(n.FldSize, 50);
  EXPECT_TRUE(n.FldReq);
  EXPECT_TRUE(n.FldUniqueIdx);
  EXPECT_TRUE(n.FldZeroLen);
  EXPECT_EQ(n.FldAttribute, 0x64);
  EXPECT_EQ(n.FldDefault.toString(), "x");
  EXPECT_EQ(n.FldTagValues, "");  // only enumeration and set columns keep values
  EXPECT_EQ(n.FldTypeName, "t200");
  EXPECT_TRUE(t.TblFields.fld[4].FldAutoIncrement);
  EXPECT_EQ(t.TblFields.fld[4].FldQuoteS, "");
}

TEST_F(SchemaReaderTest, SchemaTypesFollowTheirGroups) {
  AGSchemaField f;
  for (int16_t code : {20, 11, 6, 14, 5, 3, 131, 4, 2, 16, 21, 19, 18, 17, 139}) {
    f.FldQuoteS = f.FldQuoteE = "?";
    SetSchemaFieldType(f, code);
    EXPECT_TRUE(f.FldSupport) << code;
    EXPECT_EQ(f.FldQuoteS + f.FldQuoteE, "") << code;
  }
  for (int16_t code : {8, 129, 7, 133, 134, 135, 201, 203, 200, 202, 130, 72, 205}) {
    SetSchemaFieldType(f, code);
    EXPECT_TRUE(f.FldSupport) << code;
    EXPECT_EQ(f.FldQuoteS + f.FldQuoteE, "''") << code;
  }
  for (int16_t code : {0, 12, 128, 204, 136}) {
    f.FldQuoteS = f.FldQuoteE = "#";
    SetSchemaFieldType(f, code);
    EXPECT_FALSE(f.FldSupport) << code;
    EXPECT_EQ(f.FldType, code);
    EXPECT_EQ(f.FldQuoteS + f.FldQuoteE, "##") << code;  // left as they were
  }
}

TEST_F(SchemaReaderTest, ASecondLoadAndAnEmptyNameAreRefused) {
  install(fakeBridge({fakeTable("t", "TABLE", {})}));
  AGPSchema s;
  load(s, "mysql", "native", Variant("1"), "");
  EXPECT_EQ(engine().projErr, "invalid DBName specified!");
  EXPECT_EQ(s.loadedMarker(), 0);
  load(s);
  EXPECT_EQ(engine().projErr, "");
  load(s);
  EXPECT_EQ(engine().projErr, "database already loaded!");
}

TEST_F(SchemaReaderTest, OtherDatabaseTypesLoadNothingAndSucceed) {
  auto bridge = fakeBridge({fakeTable("t", "TABLE", {})});
  install(bridge);
  AGPSchema s;
  engine().projErr = "old";
  load(s, "access", "native", Variant("1"), "");
  EXPECT_EQ(engine().projErr, "");
  EXPECT_EQ(s.tblcnt(), 0);
  EXPECT_EQ(s.loadedMarker(), 1);
  EXPECT_TRUE(bridge->calls().empty());
}

TEST_F(SchemaReaderTest, JdbcNeedsTheJavaSettingsAndNeverTouchesTheBridgeWithoutThem) {
  auto bridge = fakeBridge({fakeTable("t", "TABLE", {})});
  install(bridge);
  AGPSchema s;
  load(s, "mysql", "JDBC");
  EXPECT_EQ(engine().projErr, "JDBC ERROR");
  EXPECT_TRUE(bridge->calls().empty());
  RegWrite("HKCU", engine().regGeneral, "JavaRuntimeLib", kRegString, Variant("/usr/lib/jvm"));
  RegWrite("HKCU", engine().regGeneral, "OracleJDBCDriver", kRegString, Variant("ojdbc.jar"));
  load(s, "mysql", "JDBC");
  EXPECT_EQ(engine().projErr, "JDBC ERROR");  // the MySQL driver is still missing
  RegWrite("HKCU", engine().regGeneral, "MySQLJDBCDriver", kRegString, Variant("mysql.jar"));
  load(s, "mysql", "JDBC");
  EXPECT_EQ(engine().projErr, "");
  EXPECT_EQ(s.tblcnt(), 1);
}

// What the real bridge says when the Java settings name what is not there;
// none of these starts a Java runtime.
TEST_F(SchemaReaderTest, WithTheRealBridgeMissingJavaPartsAreNamed) {
  const std::string jar = (dir() / "driver.jar").string();
  std::ofstream(jar) << "not really a JAR";
  struct Case {
    const char* what;
    std::string runtime, driver, message;
  };
  const std::vector<Case> cases = {
      {"no driver setting (the bridge's own check)", "/usr/lib/jvm", "",
       "JDBC ERROR: no JDBC driver is set for mysql; name its JAR file in the setting MySQLJDBCDriver "
       "(tarnwick config set General MySQLJDBCDriver PATH)"},
      {"driver JAR not there", "/usr/lib/jvm", "mysql.jar",
       "The JDBC driver JAR \"mysql.jar\" (setting MySQLJDBCDriver) does not exist"},
      {"runtime not there", (dir() / "no-java").string(), jar,
       "The Java runtime \"" + (dir() / "no-java").string() +
           "\" (setting JavaRuntimeLib) is neither libjvm.so nor a Java home folder holding it"},
  };
  std::string unsupported;
  const bool javaBuild = jvm::supported(&unsupported);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    engine().bridge.reset();
    RegWrite("HKCU", engine().regGeneral, "JavaRuntimeLib", kRegString, Variant(c.runtime));
    RegWrite("HKCU", engine().regGeneral, "MySQLJDBCDriver", kRegString, Variant(c.driver));
    // The bridge's check runs when the engine's own "JDBC ERROR" check is
    // passed by: through OpenBridge directly.
    EXPECT_FALSE(OpenBridge(values("mysql", "JDBC")));
    EXPECT_EQ(engine().projErr, javaBuild ? c.message : unsupported);
    EXPECT_FALSE(bridgeObject().call("IsJVMLoaded").toBool());
  }
  AGPSchema s;
  load(s, "mysql", "JDBC");
  EXPECT_EQ(engine().projErr, javaBuild ? cases.back().message : unsupported);
  EXPECT_EQ(s.loadedMarker(), 0);
}

TEST_F(SchemaReaderTest, AnErrorWhileReadingEndsTheLoadKeepingWhatWasRead) {
  auto broken = fakeColumn("b", 3);
  broken->set("NativeDataType", Variant("not a number"));
  auto bridge = fakeBridge({fakeTable("first", "TABLE", {fakeColumn("a", 3)}),
                            fakeTable("second", "TABLE", {fakeColumn("a", 3), broken}),
                            fakeTable("third", "TABLE", {fakeColumn("a", 3)})});
  // The bridge has a text for the failure once the tables were asked for.
  FakeObject* self = bridge.get();
  bridge->on("GetLastError", [self](Args) {
    return Variant(self->callsOf("GetTables").empty() ? "" : "column b is unreadable");
  });
  install(bridge);
  AGPSchema s;
  load(s);
  EXPECT_EQ(engine().projErr, "column b is unreadable");
  EXPECT_EQ(s.tblcnt(), 2);

  auto quiet = fakeBridge({fakeTable("first", "TABLE", {fakeColumn("a", 3)}),
                           fakeTable("second", "TABLE", {fakeColumn("a", 3), broken}),
                           fakeTable("third", "TABLE", {fakeColumn("a", 3)})});
  install(quiet);
  AGPSchema s2;
  load(s2);
  EXPECT_EQ(engine().projErr, "Load Database failed!");  // the bridge had no text for it
  EXPECT_EQ(s2.tblcnt(), 2);
  EXPECT_EQ(s2.Tbl(1).TblName, "first");
  EXPECT_EQ(s2.Tbl(2).TblFldCnt, 0);
  EXPECT_EQ(s2.Tbl(2).TblFields.fld[1].FldName, "a");
  EXPECT_EQ(s2.loadedMarker(), 1);  // counted as loaded once the bridge was open
  load(s2);
  EXPECT_EQ(engine().projErr, "database already loaded!");
}

TEST_F(SchemaReaderTest, APortThatIsNoNumberFailsTheLoad) {
  install(fakeBridge({fakeTable("t", "TABLE", {})}));
  AGPSchema s;
  load(s, "mysql", "native", Variant("x3306"));
  EXPECT_EQ(engine().projErr, "Load Database failed!");
  EXPECT_EQ(s.tblcnt(), 0);
}

// ---- AGPSchema.LoadzbCustomView

TEST_F(SchemaReaderTest, ACustomViewKeepsRepeatedColumnsAsRecordOne) {
  auto view =
      fakeTable("v", "CUSTOMVIEW", {fakeColumn("id", 3), fakeColumn("id", 3), fakeColumn("total", 131)});
  auto bridge = fakeBridge({}, view);
  install(bridge);
  AGPSchema s;
  Variant host("h"), db("shop"), type("mysql"), uid("u"), pwd("p"), port("3306"), sid(""), method(""),
      url(""), enc(""), name("my view"), sql("SELECT id, id, total FROM t");
  EXPECT_EQ(s.LoadzbCustomView(host, db, type, uid, pwd, port, sid, method, url, enc, name, sql), 0);
  EXPECT_THAT(bridge->callsOf("OpenCustomView")[0], ElementsAre("my view", "SELECT id, id, total FROM t"));
  AGSchemaTable t = s.Tbl(1);
  EXPECT_TRUE(t.TblGen);
  EXPECT_EQ(t.TblName, "my view");
  EXPECT_EQ(t.TblType, "CUSTOMVIEW");
  EXPECT_EQ(t.TblFldCnt, 3);
  EXPECT_EQ(t.TblFields.fld[1].FldName, "id");
  EXPECT_EQ(t.TblFields.fld[2].FldName, "id");
  EXPECT_EQ(t.TblFields.fld[3].FldType, 131);
  EXPECT_EQ(s.tblcnt(), 0);  // not changed by a custom view
  EXPECT_EQ(s.loadedMarker(), 0);
}

TEST_F(SchemaReaderTest, ACustomViewTheBridgeRefusesGivesStatusOne) {
  auto bridge = fakeBridge({}, nullptr);
  auto lastError = std::make_shared<std::string>();
  bridge
      ->on("Initialize",
           [lastError](Args) {
             lastError->clear();
             return Variant();
           })
      .on("Connect", [](Args) { return Variant(); })
      .on("OpenCustomView",
          [lastError](Args) {
            *lastError = "syntax error near FORM";
            return Variant::nothing();
          })
      .on("GetLastError", [lastError](Args) { return Variant(*lastError); });
  install(bridge);
  AGPSchema s;
  Variant v("x"), port("1");
  EXPECT_EQ(s.LoadzbCustomView(v, v, Variant("mysql"), v, v, port, v, v, v, v, v, Variant("SELECT a FORM t")),
            1);
  EXPECT_EQ(engine().projErr, "syntax error near FORM");
  install(fakeBridge({}, nullptr, "Access denied"));
  EXPECT_EQ(s.LoadzbCustomView(v, v, Variant("mysql"), v, v, port, v, v, v, v, v, v), 1);
  EXPECT_EQ(engine().projErr, "Access denied");
}

TEST_F(SchemaReaderTest, ScriptsReadRecordsThroughTheirMembers) {
  install(fakeBridge({fakeTable("orders", "TABLE", {fakeColumn("id", 3), fakeColumn("note", 201)}, "id")}));
  auto s = makeRef<AGPSchema>();
  Dispatch& d = *s;
  d.call("LoadDB", {Variant("shop"), Variant("mysql"), Variant("h"), Variant("3306"), Variant("u"),
                    Variant("p"), Variant(""), Variant(""), Variant(""), Variant("")});
  EXPECT_EQ(d.get("tblcnt").toInteger(), 1);
  Variant rec = d.get("Tbl", {Variant(1)});
  Dispatch& table = *rec.toObject();
  EXPECT_EQ(table.get("TblName").toString(), "orders");
  EXPECT_EQ(table.get("TblKey").toString(), "id");
  Variant fields = table.get("TblFields");
  Variant second = fields.toObject()->get("fld", {Variant(2)});
  EXPECT_EQ(second.toObject()->get("FldName").toString(), "note");
  EXPECT_EQ(second.toObject()->get("FldType").toInteger(), 201);
  // The record is a copy: changing it leaves the schema as it was.
  table.put("TblName", Variant("changed"));
  EXPECT_EQ(table.get("TblName").toString(), "changed");
  EXPECT_EQ(s->Tbl(1).TblName, "orders");
  EXPECT_THROW(d.get("Tbl", {Variant(2)}), Error);
}

}  // namespace
}  // namespace tw
