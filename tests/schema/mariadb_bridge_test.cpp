// The MariaDB side of the bridge against a real server: tables, views and
// their types, columns with ADO types and protocol codes, keys, unique
// indexes, defaults, enumeration values, custom view metadata, and failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "schema/mariadb_fixture.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;
using testing::MariaDbTest;

using MariaDbBridgeTest = MariaDbTest;

const BridgeTableInfo& tableNamed(const Ref<BridgeTables>& all, const std::string& name) {
  for (int32_t i = 0; i < all->Count(); ++i)
    if (all->Item(i)->info().name == name) return all->Item(i)->info();
  static BridgeTableInfo none;
  ADD_FAILURE() << "no table " << name;
  return none;
}

const BridgeColumn& columnNamed(const BridgeTableInfo& t, const std::string& name) {
  for (const BridgeColumn& c : t.columns)
    if (c.name == name) return c;
  static BridgeColumn none;
  ADD_FAILURE() << "no column " << name << " in " << t.name;
  return none;
}

// "name: a,b -> table(x,y)" for each foreign key of a table.
std::vector<std::string> keysOf(const BridgeTableInfo& t) {
  std::vector<std::string> out;
  auto join = [](const std::vector<std::string>& v) {
    std::string s;
    for (const std::string& x : v) s += (s.empty() ? "" : ",") + x;
    return s;
  };
  for (const BridgeForeignKey& fk : t.foreignKeys)
    out.push_back(fk.name + ": " + join(fk.columns) + " -> " + fk.refTable + "(" + join(fk.refColumns) + ")");
  return out;
}

TEST_F(MariaDbBridgeTest, TablesViewsAndOtherObjectsComeWithTheirTypes) {
  auto b = connect();
  ASSERT_EQ(b->GetLastError(), "");
  auto all = b->GetTables("");
  std::vector<std::pair<std::string, std::string>> seen;
  for (int32_t i = 0; i < all->Count(); ++i)
    seen.emplace_back(all->Item(i)->info().name, all->Item(i)->info().type);
  EXPECT_THAT(seen, ElementsAre(std::pair<std::string, std::string>{"Kunden", "TABLE"},
                                std::pair<std::string, std::string>{"all_types", "TABLE"},
                                std::pair<std::string, std::string>{"big orders", "VIEW"},
                                std::pair<std::string, std::string>{"flags", "TABLE"},
                                std::pair<std::string, std::string>{"invoice_numbers", "SEQUENCE"},
                                std::pair<std::string, std::string>{"order lines", "TABLE"},
                                std::pair<std::string, std::string>{"v_customers", "VIEW"},
                                std::pair<std::string, std::string>{"we`ird name", "TABLE"}));
}

TEST_F(MariaDbBridgeTest, ColumnsComeInTheirOrderWithAdoTypesProtocolCodesAndSizes) {
  auto all = connect()->GetTables("all_types");
  ASSERT_EQ(all->Count(), 1);
  const BridgeTableInfo& t = all->Item(0)->info();
  struct Expect {
    const char* name;
    int16_t ado;
    int16_t native;
    int32_t size;
  };
  // ADO DataTypeEnum codes; native codes are the client protocol's
  // enum_field_types (MYSQL_TYPE_TINY = 1 ... MYSQL_TYPE_GEOMETRY = 255).
  const Expect expected[] = {
      {"id", 19, 3, 4},
      {"c_tinyint", 16, 1, 1},
      {"c_tinyint_u", 17, 1, 1},
      {"c_smallint", 2, 2, 2},
      {"c_smallint_u", 18, 2, 2},
      {"c_mediumint", 3, 9, 4},
      {"c_int", 3, 3, 4},
      {"c_int_u", 19, 3, 4},
      {"c_bigint", 20, 8, 8},
      {"c_bigint_u", 21, 8, 8},
      {"c_decimal", 131, 246, 12},
      {"c_float", 4, 4, 4},
      {"c_double", 5, 5, 8},
      {"c_bit1", 11, 16, 1},
      {"c_bit12", 128, 16, 2},
      {"c_date", 133, 10, 6},
      {"c_datetime", 135, 12, 16},
      {"c_timestamp", 135, 7, 16},
      {"c_time", 134, 11, 6},
      {"c_year", 2, 13, 2},
      {"c_char", 129, 254, 10},
      {"c_varchar", 200, 253, 50},
      {"c_binary", 128, 254, 4},
      {"c_varbinary", 204, 253, 16},
      {"c_tinytext", 201, 249, 255},
      {"c_text", 201, 252, 65535},
      {"c_mediumtext", 201, 250, 16777215},
      {"c_longtext", 201, 251, 2147483647},
      {"c_tinyblob", 205, 249, 255},
      {"c_blob", 205, 252, 65535},
      {"c_mediumblob", 205, 250, 16777215},
      {"c_longblob", 205, 251, 2147483647},
      {"c_enum", 129, 247, 6},
      {"c_set", 129, 248, 14},
      {"c_json", 201, 251, 2147483647},
      {"c_uuid", 72, 254, 16},
      {"c_inet6", 200, 254, 39},
      {"c_point", 205, 255, 0},
      {"c_geometry", 205, 255, 0},
  };
  ASSERT_EQ(t.columns.size(), std::size(expected));
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const BridgeColumn& c = t.columns[i];
    EXPECT_EQ(c.name, expected[i].name) << i;
    EXPECT_EQ(c.adoType, expected[i].ado) << c.name;
    EXPECT_EQ(c.nativeType, expected[i].native) << c.name;
    EXPECT_EQ(c.size, expected[i].size) << c.name;
  }
  EXPECT_EQ(columnNamed(t, "c_varchar").dataTypeName, "varchar");
  EXPECT_EQ(columnNamed(t, "c_uuid").dataTypeName, "uuid");
}

TEST_F(MariaDbBridgeTest, NullabilityDefaultsAutoIncrementAndAttributes) {
  auto all = connect()->GetTables("");
  const BridgeTableInfo& t = tableNamed(all, "all_types");
  const BridgeColumn& id = columnNamed(t, "id");
  EXPECT_TRUE(id.autoIncrement);
  EXPECT_TRUE(id.required);
  EXPECT_TRUE(id.defaultValue.isEmpty());
  // adFldUpdatable | adFldFixed | adFldKeyColumn
  EXPECT_EQ(id.adoAttributes, 0x4 | 0x10 | 0x8000);
  const BridgeColumn& small = columnNamed(t, "c_smallint");
  EXPECT_TRUE(small.required);
  EXPECT_EQ(small.defaultValue.toString(), "7");
  EXPECT_EQ(columnNamed(t, "c_varchar").defaultValue.toString(), "it's");
  EXPECT_EQ(columnNamed(t, "c_decimal").defaultValue.toString(), "1.500");
  EXPECT_THAT(columnNamed(t, "c_timestamp").defaultValue.toString(), HasSubstr("current_timestamp"));
  EXPECT_TRUE(columnNamed(t, "c_int").defaultValue.isNull());
  EXPECT_FALSE(columnNamed(t, "c_int").required);
  // adFldUpdatable | adFldIsNullable | adFldMayBeNull | adFldLong
  EXPECT_EQ(columnNamed(t, "c_text").adoAttributes, 0x4 | 0x20 | 0x40 | 0x80);
  EXPECT_FALSE(columnNamed(t, "c_int").autoIncrement);
  const BridgeTableInfo& lines = tableNamed(all, "order lines");
  EXPECT_TRUE(columnNamed(lines, "order id").defaultValue.isEmpty());  // NOT NULL without a default
  EXPECT_EQ(columnNamed(lines, "qty").defaultValue.toString(), "1");
  // DEFAULT '' is a default: the empty text, not the absence of one.
  const BridgeColumn& label = columnNamed(lines, "label");
  EXPECT_TRUE(label.required);
  EXPECT_TRUE(label.defaultValue.isString());
  EXPECT_EQ(label.defaultValue.toString(), "");
}

TEST_F(MariaDbBridgeTest, EnumerationAndSetColumnsCarryTheirValueLines) {
  auto all = connect()->GetTables("");
  const BridgeTableInfo& t = tableNamed(all, "all_types");
  const BridgeColumn& e = columnNamed(t, "c_enum");
  EXPECT_TRUE(e.isEnum);
  EXPECT_FALSE(e.isSet);
  EXPECT_EQ(e.tagValues, "\"small\",\"small\"\r\n\"medium\",\"medium\"\r\n\"large\",\"large\"");
  EXPECT_EQ(e.defaultValue.toString(), "medium");
  const BridgeColumn& s = columnNamed(t, "c_set");
  EXPECT_TRUE(s.isSet);
  EXPECT_FALSE(s.isEnum);
  EXPECT_EQ(s.tagValues, "\"red\",\"red\"\r\n\"green\",\"green\"\r\n\"blue\",\"blue\"");
  const BridgeColumn& size = columnNamed(tableNamed(all, "Kunden"), "Größe");
  EXPECT_EQ(size.tagValues, "\"S\",\"S\"\r\n\"M\",\"M\"\r\n\"L\",\"L\"\r\n\"it's\",\"it's\"");
  EXPECT_TRUE(columnNamed(t, "c_varchar").tagValues.empty());
}

TEST_F(MariaDbBridgeTest, PrimaryKeysInKeyOrderAndSingleColumnUniqueIndexes) {
  auto all = connect()->GetTables("");
  const BridgeTableInfo& lines = tableNamed(all, "order lines");
  EXPECT_EQ(lines.pkField, "line no,order id");
  EXPECT_EQ(columnNamed(lines, "order id").adoAttributes & 0x8000, 0x8000);
  EXPECT_FALSE(columnNamed(lines, "order id").unique);  // part of a two-column key only
  const BridgeTableInfo& kunden = tableNamed(all, "Kunden");
  EXPECT_EQ(kunden.pkField, "Kundennummer");
  EXPECT_TRUE(columnNamed(kunden, "Kundennummer").unique);
  EXPECT_TRUE(columnNamed(kunden, "e-mail").unique);
  EXPECT_FALSE(columnNamed(kunden, "Straße").unique);  // in a plain and a two-column unique index
  EXPECT_EQ(tableNamed(all, "we`ird name").pkField, "a`b");
  EXPECT_EQ(tableNamed(all, "v_customers").pkField, "");
  EXPECT_THAT(tableNamed(all, "v_customers").columns.size(), 3u);
}

TEST_F(MariaDbBridgeTest, NamesWithBlanksAndNonAsciiLettersArriveAsUtf8) {
  auto all = connect()->GetTables("Kunden");
  ASSERT_EQ(all->Count(), 1);
  std::vector<std::string> names;
  for (const BridgeColumn& c : all->Item(0)->info().columns) names.push_back(c.name);
  EXPECT_THAT(names, ElementsAre("Kundennummer",
                                 "Stra\xC3\x9F"
                                 "e",
                                 "Gr\xC3\xB6\xC3\x9F"
                                 "e",
                                 "e-mail"));
  EXPECT_EQ(columnNamed(all->Item(0)->info(), "Straße").size, 80);  // characters, not bytes
}

TEST_F(MariaDbBridgeTest, TheWholeDatabaseIsReadWithFiveCatalogueQueries) {
  auto countSelects = [this] {
    return std::stol(
        rootQuery("SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS "
                  "WHERE VARIABLE_NAME = 'COM_SELECT'"));
  };
  // Tables, columns, index columns, foreign keys and check constraints,
  // whatever the number of tables.
  for (const char* db : {"tw_shop", "tw_rel", "information_schema"}) {
    auto b = connect(db);
    ASSERT_EQ(b->GetLastError(), "") << db;
    long before = countSelects();
    auto all = b->GetTables("");
    long after = countSelects();
    EXPECT_GE(all->Count(), 4) << db;
    // The root client's own count query adds one.
    EXPECT_EQ(after - before, 5 + 1) << db << " with " << all->Count() << " tables";
  }
}

TEST_F(MariaDbBridgeTest, DatabaseNamesAreThoseTheAccountCanSee) {
  auto b = connect("");
  ASSERT_EQ(b->GetLastError(), "");
  std::string names = b->GetDatabaseNames();
  EXPECT_THAT(names, HasSubstr("tw_shop"));
  EXPECT_THAT(names, ::testing::Not(HasSubstr("tw_archive")));  // no rights there
  EXPECT_THAT(names, HasSubstr("\r\n"));
  EXPECT_EQ(b->GetQuoteChar(), "`");
  EXPECT_THROW(b->GetTables(""), Error);  // no database chosen
  EXPECT_EQ(b->GetLastError(), "No database selected");
}

TEST_F(MariaDbBridgeTest, ACustomViewIsDescribedWithoutRunningTheQuery) {
  rootQuery(
      "CREATE DATABASE IF NOT EXISTS tw_effects;"
      "CREATE TABLE IF NOT EXISTS tw_effects.calls (n INT);"
      "DELETE FROM tw_effects.calls;\n"
      "DELIMITER //\n"
      "CREATE OR REPLACE FUNCTION tw_shop.bump() RETURNS INT MODIFIES SQL DATA SQL SECURITY DEFINER "
      "BEGIN INSERT INTO tw_effects.calls VALUES (1); RETURN 1; END//\n"
      "DELIMITER ;\n"
      "GRANT EXECUTE ON FUNCTION tw_shop.bump TO 'tw_reader'@'127.0.0.1';");
  // The function does write when it runs.
  rootQuery("SELECT tw_shop.bump()");
  ASSERT_EQ(rootQuery("SELECT COUNT(*) FROM tw_effects.calls"), "1");
  rootQuery("DELETE FROM tw_effects.calls");
  auto b = connect();
  auto v = b->OpenCustomView("bumped", "SELECT k.Kundennummer, tw_shop.bump() AS b FROM Kunden k");
  ASSERT_TRUE(v) << b->GetLastError();
  EXPECT_EQ(v->info().columns.size(), 2u);
  EXPECT_EQ(rootQuery("SELECT COUNT(*) FROM tw_effects.calls"), "0");
}

TEST_F(MariaDbBridgeTest, CustomViewColumnsTakeTheirSourceDescriptionsAndResultNames) {
  auto b = connect();
  auto v = b->OpenCustomView("customer sizes",
                             "SELECT k.`Kundennummer` AS nr, k.`Größe`, k.`e-mail`, CONCAT(k.`Straße`, '!') "
                             "AS street, COUNT(*) AS n, "
                             "k.`Kundennummer` FROM `Kunden` k GROUP BY k.`Kundennummer`");
  ASSERT_TRUE(v) << b->GetLastError();
  const BridgeTableInfo& t = v->info();
  EXPECT_EQ(t.name, "customer sizes");
  EXPECT_EQ(t.type, "CUSTOMVIEW");
  std::vector<std::string> names;
  for (const BridgeColumn& c : t.columns) names.push_back(c.name);
  EXPECT_THAT(names, ElementsAre("nr", "Größe", "e-mail", "street", "n", "Kundennummer"));
  const BridgeColumn& size = t.columns[1];
  EXPECT_TRUE(size.isEnum);
  EXPECT_EQ(size.nativeType, 247);
  EXPECT_EQ(size.tagValues, "\"S\",\"S\"\r\n\"M\",\"M\"\r\n\"L\",\"L\"\r\n\"it's\",\"it's\"");
  EXPECT_TRUE(t.columns[2].unique);
  EXPECT_EQ(t.columns[2].adoType, 200);
  EXPECT_EQ(t.columns[3].adoType, 200);  // CONCAT gives variable text
  EXPECT_EQ(t.columns[4].adoType, 20);   // COUNT gives a BIGINT
  EXPECT_EQ(t.columns[4].nativeType, 8);
  EXPECT_TRUE(t.columns[4].required);
  // Only columns of Kunden, showing its whole key: the key is named as the
  // result names it.
  EXPECT_EQ(t.pkField, "");  // street and n are expressions
  auto keyed = b->OpenCustomView("k", "SELECT `e-mail`, `Kundennummer` AS nr FROM Kunden");
  ASSERT_TRUE(keyed) << b->GetLastError();
  EXPECT_EQ(keyed->info().pkField, "nr");
}

TEST_F(MariaDbBridgeTest, ACustomViewMayRepeatAColumnName) {
  auto b = connect();
  auto v = b->OpenCustomView("twice", "SELECT `Kundennummer`, `Kundennummer` FROM Kunden");
  ASSERT_TRUE(v) << b->GetLastError();
  ASSERT_EQ(v->info().columns.size(), 2u);
  EXPECT_EQ(v->info().columns[0].name, v->info().columns[1].name);
}

TEST_F(MariaDbBridgeTest, ABrokenQueryReportsTheServersMessage) {
  auto b = connect();
  EXPECT_FALSE(b->OpenCustomView("x", "SELECT * FROM nope"));
  EXPECT_THAT(b->GetLastError(), HasSubstr("nope"));
  EXPECT_THAT(b->GetLastError(), HasSubstr("doesn't exist"));
  EXPECT_FALSE(b->OpenCustomView("x", "SELEKT 1"));
  EXPECT_THAT(b->GetLastError(), HasSubstr("SQL syntax"));
  EXPECT_FALSE(b->OpenCustomView("x", "DELETE FROM Kunden"));
  EXPECT_FALSE(b->GetLastError().empty());
  EXPECT_EQ(rootQuery("SELECT COUNT(*) FROM tw_shop.Kunden"), "2");
}

TEST_F(MariaDbBridgeTest, AWrongPasswordBringsTheServersMessageIntoProjErr) {
  ConnectionValues v = values();
  v.password = Variant("wrong");
  EXPECT_FALSE(OpenBridge(v));
  EXPECT_THAT(engine().projErr, HasSubstr("Access denied for user 'tw_reader'"));
  EXPECT_THAT(engine().projErr, HasSubstr("using password: YES"));
}

TEST_F(MariaDbBridgeTest, AnUnreachablePortAndAnUnknownDatabaseFail) {
  ConnectionValues v = values();
  v.port = Variant("1");  // nothing listens on port 1 of the loopback
  EXPECT_FALSE(OpenBridge(v));
  EXPECT_THAT(engine().projErr, HasSubstr("Can't connect"));
  v = values("tw_no_such_db");
  EXPECT_FALSE(OpenBridge(v));
  EXPECT_THAT(engine().projErr, HasSubstr("tw_no_such_db"));
}

TEST_F(MariaDbBridgeTest, TheSocketPathMayStandForTheHost) {
  auto b = makeRef<DBBridge>();
  b->Initialize();
  b->SetDBType("mysql");
  b->Connect(server().socketPath(), testing::kShopDb, testing::kReader, testing::kReaderPassword, 0, "", "",
             "", "`");
  ASSERT_EQ(b->GetLastError(), "");
  EXPECT_EQ(b->GetTables("flags")->Count(), 1);
}

// ---- AGPSchema over the real server

TEST_F(MariaDbBridgeTest, AGPSchemaReadsTablesAndViewsButNotTheSequence) {
  AGPSchema s;
  ConnectionValues v = values();
  s.LoadDB(v.database, v.type, v.host, v.port, v.user, v.password, v.sid, v.method, v.url, v.encoding);
  ASSERT_EQ(engine().projErr, "");
  ASSERT_EQ(s.tblcnt(), 7);
  std::map<std::string, AGSchemaTable> byName;
  for (int16_t i = 1; i <= s.tblcnt(); ++i) byName[s.Tbl(i).TblName] = s.Tbl(i);
  EXPECT_EQ(byName.count("invoice_numbers"), 0u);
  const AGSchemaTable& lines = byName["order lines"];
  EXPECT_EQ(lines.TblKey, "line no,order id");
  EXPECT_TRUE(lines.TblFields.fld[1].FldIsPrimaryKey);
  EXPECT_TRUE(lines.TblFields.fld[2].FldIsPrimaryKey);
  EXPECT_FALSE(lines.TblFields.fld[3].FldIsPrimaryKey);
  const AGSchemaTable& flags = byName["flags"];
  EXPECT_EQ(flags.TblFields.fld[2].FldName, "active");
  EXPECT_EQ(flags.TblFields.fld[2].FldType, 202);
  EXPECT_EQ(flags.TblFields.fld[2].NativeDataType, 247);
  EXPECT_EQ(flags.TblFields.fld[4].NativeDataType, 248);
  EXPECT_EQ(flags.TblFields.fld[2].FldQuoteS, "'");
  const AGSchemaTable& types = byName["all_types"];
  EXPECT_EQ(types.TblFldCnt, 39);
  EXPECT_FALSE(types.TblFields.fld[24].FldSupport);  // c_varbinary, 204
  EXPECT_EQ(types.TblFields.fld[24].FldName, "c_varbinary");
  EXPECT_TRUE(types.TblFields.fld[32].FldSupport);  // c_longblob, 205
  EXPECT_EQ(byName["big orders"].TblType, "VIEW");
  EXPECT_EQ(s.record().DBName, "tw_shop");
  EXPECT_EQ(s.record().DBHost, "127.0.0.1");
}

TEST_F(MariaDbBridgeTest, AGPSchemaReadsACustomView) {
  AGPSchema s;
  ConnectionValues v = values();
  Variant name("sizes"), sql("SELECT `Größe`, COUNT(*) AS n FROM Kunden GROUP BY `Größe`");
  ASSERT_EQ(s.LoadzbCustomView(v.host, v.database, v.type, v.user, v.password, v.port, v.sid, v.method, v.url,
                               v.encoding, name, sql),
            0)
      << engine().projErr;
  AGSchemaTable t = s.Tbl(1);
  EXPECT_EQ(t.TblFldCnt, 2);
  EXPECT_EQ(t.TblFields.fld[1].FldType, 202);
  EXPECT_EQ(t.TblFields.fld[2].FldName, "n");
  EXPECT_EQ(t.TblFields.fld[2].FldType, 20);
  Variant bad("SELECT * FROM nope");
  EXPECT_EQ(s.LoadzbCustomView(v.host, v.database, v.type, v.user, v.password, v.port, v.sid, v.method, v.url,
                               v.encoding, name, bad),
            1);
  EXPECT_THAT(engine().projErr, HasSubstr("nope"));
}

TEST_F(MariaDbBridgeTest, ForeignKeysCheckListsBooleansAndVersionedTables) {
  auto b = connect("tw_rel");
  ASSERT_EQ(b->GetLastError(), "");
  auto all = b->GetTables("");
  ASSERT_EQ(b->GetLastError(), "");
  EXPECT_EQ(tableNamed(all, "prices").type, "TABLE");  // system-versioned
  EXPECT_THAT(keysOf(tableNamed(all, "staff")), ElementsAre("fk_staff_manager: manager_id -> staff(id)"));
  // The reference into another database is left out.
  EXPECT_THAT(keysOf(tableNamed(all, "visits")),
              ElementsAre("fk_visit_guest: guest_id -> staff(id)", "fk_visit_host: host_id -> staff(id)",
                          "fk_visit_site: site_region,site_code -> sites(region,code)"));
  struct Case {
    const char* table;
    const char* column;
    int16_t ado;
    const char* defaultValue;
    const char* checkValues;
  };
  const Case cases[] = {
      {"staff", "active", 11, "1", ""},
      {"staff", "on_leave", 11, "0", ""},
      {"staff", "level", 16, "", ""},
      {"staff", "status", 200, "", "\"new\",\"new\"\r\n\"it's done\",\"it's done\""},
      {"visits", "size", 129, "", "\"S\",\"S\"\r\n\"M\",\"M\"\r\n\"L\",\"L\""},
      {"visits", "host_id", 3, "", ""},
  };
  for (const Case& c : cases) {
    const BridgeColumn& col = columnNamed(tableNamed(all, c.table), c.column);
    EXPECT_EQ(col.adoType, c.ado) << c.column;
    if (*c.defaultValue) {
      EXPECT_EQ(col.defaultValue.toString(), c.defaultValue) << c.column;
    }
    EXPECT_EQ(col.checkValues, c.checkValues) << c.column;
  }
  // One table read alone has its keys and lists too.
  auto one = b->GetTables("visits");
  ASSERT_EQ(one->Count(), 1);
  EXPECT_EQ(one->Item(0)->info().foreignKeys.size(), 3u);
  EXPECT_NE(columnNamed(one->Item(0)->info(), "size").checkValues, "");
  // So do the schema records.
  AGPSchema s;
  ConnectionValues v = values("tw_rel");
  s.LoadDB(v.database, v.type, v.host, v.port, v.user, v.password, v.sid, v.method, v.url, v.encoding);
  ASSERT_EQ(engine().projErr, "");
  std::vector<std::string> tables;
  for (int16_t i = 1; i <= s.tblcnt(); ++i)
    tables.push_back(s.Tbl(i).TblName + ":" + std::to_string(s.Tbl(i).TblForeignKeys.size()));
  EXPECT_THAT(tables, ElementsAre("prices:0", "sites:0", "staff:1", "visits:3"));
}

}  // namespace
}  // namespace tw
