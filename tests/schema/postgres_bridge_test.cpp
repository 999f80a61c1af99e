// The PostgreSQL side of the bridge against a real server: tables, views and
// their types, columns with ADO types and type codes, keys, unique indexes,
// defaults, enumeration values, schemas, custom view metadata, and failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "schema/postgres_fixture.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PostgresTest;

using PostgresBridgeTest = PostgresTest;

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

std::vector<std::pair<std::string, std::string>> namesAndTypes(const Ref<BridgeTables>& all) {
  std::vector<std::pair<std::string, std::string>> seen;
  for (int32_t i = 0; i < all->Count(); ++i) seen.emplace_back(all->Item(i)->info().name, all->Item(i)->info().type);
  return seen;
}

using NameType = std::pair<std::string, std::string>;

TEST_F(PostgresBridgeTest, TablesViewsAndMaterializedViewsOfTheSchemaComeWithTheirTypes) {
  // Partitions, sequences and other schemas' tables are left out.
  auto b = connect();
  ASSERT_EQ(b->GetLastError(), "");
  EXPECT_THAT(namesAndTypes(b->GetTables("")),
              ElementsAre(NameType{"Kunden", "TABLE"}, NameType{"all_types", "TABLE"},
                          NameType{"big orders", "VIEW"}, NameType{"big_serial", "TABLE"},
                          NameType{"calls", "TABLE"}, NameType{"measurements", "TABLE"},
                          NameType{"order lines", "TABLE"}, NameType{"orders", "TABLE"},
                          NameType{"shipments", "TABLE"}, NameType{"v_customers", "VIEW"},
                          NameType{"we\"ird name", "TABLE"}));
  EXPECT_EQ(b->GetQuoteChar(), "\"");
}

TEST_F(PostgresBridgeTest, TheUrlNamesTheSchemaToRead) {
  for (const char* url : {"postgresql://tw_reader@127.0.0.1/tw_shop?schema=archive", "schema=archive",
                          "postgres://h/tw_shop?sslmode=disable&schema=%61rchive"}) {
    auto b = connect(testing::kPgShopDb, testing::kPgReaderPassword, url);
    ASSERT_EQ(b->GetLastError(), "") << url;
    EXPECT_THAT(namesAndTypes(b->GetTables("")),
                ElementsAre(NameType{"Kunden", "TABLE"}, NameType{"old_orders", "TABLE"}))
        << url;
    EXPECT_EQ(b->GetTables("Kunden")->Item(0)->info().pkField, "nr") << url;
  }
  auto b = connect(testing::kPgShopDb, testing::kPgReaderPassword, "?schema=nowhere");
  EXPECT_EQ(b->GetLastError(), "Schema \"nowhere\" does not exist");
}

TEST_F(PostgresBridgeTest, ColumnsComeInTheirOrderWithAdoTypesTypeCodesAndSizes) {
  auto all = connect()->GetTables("all_types");
  ASSERT_EQ(all->Count(), 1);
  const BridgeTableInfo& t = all->Item(0)->info();
  struct Expect {
    const char* name;
    int16_t ado;
    int16_t native;
    int32_t size;
    const char* typeName;
  };
  // Native codes are the built-in types' OIDs; enumerations take 247.
  constexpr int32_t kAny = 2147483647;
  const Expect expected[] = {
      {"id", 3, 23, 4, "integer"},
      {"c_smallint", 2, 21, 2, "smallint"},
      {"c_integer", 3, 23, 4, "integer"},
      {"c_bigint", 20, 20, 8, "bigint"},
      {"c_numeric", 131, 1700, 10, "numeric"},
      {"c_numeric_free", 131, 1700, kAny, "numeric"},
      {"c_real", 4, 700, 4, "real"},
      {"c_double", 5, 701, 8, "double precision"},
      {"c_money", 6, 790, 8, "money"},
      {"c_boolean", 11, 16, 1, "boolean"},
      {"c_text", 201, 25, kAny, "text"},
      {"c_varchar", 200, 1043, 50, "character varying"},
      {"c_varchar_free", 200, 1043, kAny, "character varying"},
      {"c_char", 129, 1042, 10, "character"},
      {"c_bytea", 205, 17, kAny, "bytea"},
      {"c_date", 133, 1082, 6, "date"},
      {"c_time", 134, 1083, 6, "time without time zone"},
      {"c_timetz", 134, 1266, 6, "time with time zone"},
      {"c_timestamp", 135, 1114, 16, "timestamp without time zone"},
      {"c_timestamptz", 135, 1184, 16, "timestamp with time zone"},
      {"c_interval", 200, 1186, 64, "interval"},
      {"c_uuid", 72, 2950, 16, "uuid"},
      {"c_json", 201, 114, kAny, "json"},
      {"c_jsonb", 201, 3802, kAny, "jsonb"},
      {"c_int_array", 201, 1007, kAny, "integer[]"},
      {"c_text_array", 201, 1009, kAny, "text[]"},
      {"c_domain", 3, 23, 4, "integer"},  // the domain's base type
      {"c_enum", 129, 247, 4, "size"},
      {"c_farbe", 129, 247, 4, "\"Farbe\""},  // characters, not bytes
      {"c_inet", 200, 869, 43, "inet"},
      {"c_bit", 200, 1560, 12, "bit"},
      {"c_generated", 3, 23, 4, "integer"},
  };
  ASSERT_EQ(t.columns.size(), std::size(expected));
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const BridgeColumn& c = t.columns[i];
    EXPECT_EQ(c.name, expected[i].name) << i;
    EXPECT_EQ(c.adoType, expected[i].ado) << c.name;
    EXPECT_EQ(c.nativeType, expected[i].native) << c.name;
    EXPECT_EQ(c.size, expected[i].size) << c.name;
    EXPECT_EQ(c.dataTypeName, expected[i].typeName) << c.name;
  }
}

TEST_F(PostgresBridgeTest, NullabilityDefaultsAutoIncrementAndAttributes) {
  auto all = connect()->GetTables("");
  const BridgeTableInfo& t = tableNamed(all, "all_types");
  struct Expect {
    const char* column;
    const char* defaultText;  // null: no default
    bool required;
    bool autoIncrement;
    int32_t attributes;
  };
  // adFldUpdatable 0x4, adFldFixed 0x10, adFldIsNullable 0x20,
  // adFldMayBeNull 0x40, adFldLong 0x80, adFldKeyColumn 0x8000
  const Expect expected[] = {
      {"id", nullptr, true, true, 0x10 | 0x8000},  // GENERATED ALWAYS: not updatable
      {"c_smallint", "7", true, false, 0x4 | 0x10},
      {"c_integer", nullptr, false, false, 0x4 | 0x10 | 0x20 | 0x40},
      {"c_bigint", "-5", false, false, 0x4 | 0x10 | 0x20 | 0x40},
      {"c_numeric", "1.50", false, false, 0x4 | 0x10 | 0x20 | 0x40},
      {"c_boolean", "true", true, false, 0x4 | 0x10},
      {"c_text", nullptr, false, false, 0x4 | 0x20 | 0x40 | 0x80},
      {"c_varchar", "it's", false, false, 0x4 | 0x20 | 0x40},
      {"c_date", "2020-01-31", false, false, 0x4 | 0x10 | 0x20 | 0x40},
      {"c_timestamp", "CURRENT_TIMESTAMP", false, false, 0x4 | 0x10 | 0x20 | 0x40},
      {"c_timestamptz", "now()", false, false, 0x4 | 0x10 | 0x20 | 0x40},
      {"c_domain", nullptr, true, false, 0x4 | 0x10},  // NOT NULL from the domain
      {"c_generated", nullptr, false, false, 0x10 | 0x20 | 0x40},
  };
  for (const Expect& e : expected) {
    const BridgeColumn& c = columnNamed(t, e.column);
    if (e.defaultText)
      EXPECT_EQ(c.defaultValue.toString(), e.defaultText) << e.column;
    else
      EXPECT_TRUE(c.defaultValue.isEmpty()) << e.column << ": " << c.defaultValue.toString();
    EXPECT_EQ(c.required, e.required) << e.column;
    EXPECT_EQ(c.autoIncrement, e.autoIncrement) << e.column;
    EXPECT_EQ(c.adoAttributes, e.attributes) << e.column;
  }
  // serial and bigserial columns count as auto-increment, without their
  // sequence default.
  for (auto [table, column] : {std::pair{"Kunden", "Kundennummer"}, std::pair{"big_serial", "id"}}) {
    const BridgeColumn& c = columnNamed(tableNamed(all, table), column);
    EXPECT_TRUE(c.autoIncrement) << table;
    EXPECT_TRUE(c.defaultValue.isEmpty()) << table;
    EXPECT_EQ(c.adoAttributes & 0x4, 0x4) << table;
  }
  EXPECT_EQ(columnNamed(tableNamed(all, "big_serial"), "note").defaultValue.toString(), "a 'quoted' note");
  EXPECT_EQ(columnNamed(tableNamed(all, "Kunden"), "Größe").defaultValue.toString(), "M");
  EXPECT_TRUE(columnNamed(tableNamed(all, "order lines"), "order id").defaultValue.isEmpty());
  // DEFAULT '' is a default: the empty text, not the absence of one;
  // DEFAULT NULL is none.
  const BridgeColumn& nickname = columnNamed(tableNamed(all, "big_serial"), "nickname");
  EXPECT_TRUE(nickname.required);
  EXPECT_TRUE(nickname.defaultValue.isString());
  EXPECT_EQ(nickname.defaultValue.toString(), "");
  const BridgeColumn& code = columnNamed(tableNamed(all, "big_serial"), "code");
  EXPECT_TRUE(code.required);
  EXPECT_TRUE(code.defaultValue.isNull() || code.defaultValue.isEmpty()) << code.defaultValue.toString();
}

TEST_F(PostgresBridgeTest, EnumerationColumnsCarryTheirLabelsInOrder) {
  auto all = connect()->GetTables("");
  const BridgeTableInfo& t = tableNamed(all, "all_types");
  const BridgeColumn& e = columnNamed(t, "c_enum");
  EXPECT_TRUE(e.isEnum);
  EXPECT_FALSE(e.isSet);
  EXPECT_EQ(e.tagValues, "\"S\",\"S\"\r\n\"M\",\"M\"\r\n\"L\",\"L\"\r\n\"it's\",\"it's\"");
  EXPECT_EQ(columnNamed(t, "c_farbe").tagValues, "\"rot\",\"rot\"\r\n\"grün\",\"grün\"");
  EXPECT_EQ(columnNamed(tableNamed(all, "Kunden"), "Größe").tagValues, e.tagValues);
  EXPECT_TRUE(columnNamed(t, "c_varchar").tagValues.empty());
  EXPECT_FALSE(columnNamed(t, "c_varchar").isEnum);
}

TEST_F(PostgresBridgeTest, PrimaryKeysInKeyOrderAndSingleColumnUniqueIndexes) {
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
  EXPECT_EQ(tableNamed(all, "we\"ird name").pkField, "a\"b");
  EXPECT_EQ(tableNamed(all, "measurements").pkField, "id,logdate");
  EXPECT_EQ(tableNamed(all, "v_customers").pkField, "");
  EXPECT_EQ(tableNamed(all, "v_customers").columns.size(), 3u);
  EXPECT_EQ(tableNamed(all, "big orders").columns.size(), 2u);
}

TEST_F(PostgresBridgeTest, NamesWithBlanksQuotesAndNonAsciiLettersArriveAsUtf8) {
  auto b = connect();
  auto all = b->GetTables("Kunden");
  ASSERT_EQ(all->Count(), 1);
  std::vector<std::string> names;
  for (const BridgeColumn& c : all->Item(0)->info().columns) names.push_back(c.name);
  EXPECT_THAT(names, ElementsAre("Kundennummer", "Straße", "Größe", "e-mail"));
  EXPECT_EQ(columnNamed(all->Item(0)->info(), "Straße").size, 80);
  ASSERT_EQ(b->GetTables("we\"ird name")->Count(), 1);
  EXPECT_EQ(b->GetTables("kunden")->Count(), 0);  // names are compared exactly
}

TEST_F(PostgresBridgeTest, ForeignKeysInKeyOrderWithinTheSchema) {
  auto all = connect()->GetTables("");
  const auto& keys = tableNamed(all, "shipments").foreignKeys;
  // The key into the other schema is left out; keys are ordered by name.
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].name, "a_order");
  EXPECT_THAT(keys[0].columns, ElementsAre("order"));
  EXPECT_EQ(keys[0].refTable, "orders");
  EXPECT_THAT(keys[0].refColumns, ElementsAre("id"));  // the primary key, not named in the declaration
  EXPECT_EQ(keys[1].name, "b_line");
  EXPECT_THAT(keys[1].columns, ElementsAre("order id", "line no"));
  EXPECT_EQ(keys[1].refTable, "order lines");
  EXPECT_THAT(keys[1].refColumns, ElementsAre("order id", "line no"));
  const auto& orderKeys = tableNamed(all, "orders").foreignKeys;
  ASSERT_EQ(orderKeys.size(), 1u);
  EXPECT_EQ(orderKeys[0].refTable, "Kunden");
  EXPECT_THAT(orderKeys[0].refColumns, ElementsAre("Kundennummer"));
  EXPECT_TRUE(tableNamed(all, "Kunden").foreignKeys.empty());
  // A filtered read brings the keys of the table read.
  EXPECT_EQ(connect()->GetTables("shipments")->Item(0)->info().foreignKeys.size(), 2u);
}

TEST_F(PostgresBridgeTest, ChecksOfOneListOfValuesBecomeTheColumnsValueList) {
  const BridgeTableInfo orders = connect()->GetTables("orders")->Item(0)->info();
  struct Expect {
    const char* column;
    const char* values;
  };
  const Expect expected[] = {
      {"status", "\"new\",\"new\"\r\n\"paid\",\"paid\"\r\n\"it's\",\"it's\""},
      {"prio", "\"1\",\"1\"\r\n\"2\",\"2\"\r\n\"3\",\"3\""},
      {"Größe", "\"S\",\"S\"\r\n\"M\",\"M\""},
      {"qty", ""},  // a range is no list
      {"a", ""},    // nor is a combination of lists
      {"b", ""},
      {"customer", ""},
  };
  for (const Expect& e : expected) EXPECT_EQ(columnNamed(orders, e.column).checkValues, e.values) << e.column;
}

TEST_F(PostgresBridgeTest, TheWholeSchemaIsReadWithSixCatalogueQueries) {
  for (const char* url : {"", "?schema=archive"}) {
    auto b = connect(testing::kPgShopDb, testing::kPgReaderPassword, url);
    ASSERT_EQ(b->GetLastError(), "");
    superQuery("SELECT pg_stat_statements_reset()");
    auto all = b->GetTables("");
    std::string calls = superQuery(
        "SELECT coalesce(sum(s.calls), 0) FROM pg_stat_statements s JOIN pg_roles r ON r.oid = s.userid "
        "WHERE r.rolname = 'tw_reader'");
    EXPECT_GE(all->Count(), 2) << url;
    EXPECT_EQ(calls, "6") << url << " with " << all->Count() << " tables";
  }
}

TEST_F(PostgresBridgeTest, DatabaseNamesAreThoseThatTakeConnections) {
  auto b = connect("postgres");
  ASSERT_EQ(b->GetLastError(), "");
  std::string names = b->GetDatabaseNames();
  EXPECT_THAT(names, HasSubstr("tw_shop"));
  EXPECT_THAT(names, HasSubstr("postgres\r\n"));
  EXPECT_THAT(names, ::testing::Not(HasSubstr("template")));
}

TEST_F(PostgresBridgeTest, ACustomViewIsDescribedWithoutRunningTheQuery) {
  superQuery("DELETE FROM calls; SELECT bump();");
  ASSERT_EQ(superQuery("SELECT count(*) FROM calls"), "1");  // the function does write when it runs
  superQuery("DELETE FROM calls");
  auto b = connect();
  auto v = b->OpenCustomView("bumped", "SELECT k.\"Kundennummer\", bump() AS b FROM \"Kunden\" k");
  ASSERT_TRUE(v) << b->GetLastError();
  EXPECT_EQ(v->info().columns.size(), 2u);
  EXPECT_EQ(superQuery("SELECT count(*) FROM calls"), "0");
}

TEST_F(PostgresBridgeTest, CustomViewColumnsTakeTheirSourceDescriptionsAndResultNames) {
  auto b = connect();
  auto v = b->OpenCustomView("customer sizes",
                             "SELECT k.\"Kundennummer\" AS nr, k.\"Größe\", k.\"e-mail\", k.\"Straße\" || '!' "
                             "AS street, count(*) AS n, k.\"Kundennummer\" FROM \"Kunden\" k "
                             "GROUP BY k.\"Kundennummer\";\n");
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
  EXPECT_EQ(t.columns[2].size, 120);
  EXPECT_EQ(t.columns[3].adoType, 201);  // || gives text
  EXPECT_EQ(t.columns[4].adoType, 20);   // count gives a bigint
  EXPECT_EQ(t.columns[4].nativeType, 20);
  EXPECT_EQ(t.pkField, "");  // street and n are expressions
  auto keyed = b->OpenCustomView("k", "SELECT \"e-mail\", \"Kundennummer\" AS nr FROM \"Kunden\"");
  ASSERT_TRUE(keyed) << b->GetLastError();
  EXPECT_EQ(keyed->info().pkField, "nr");
  auto typed = b->OpenCustomView("t", "SELECT 1.5::numeric(8,3) AS price, 'x'::varchar(7) AS code, now() AS at");
  ASSERT_TRUE(typed) << b->GetLastError();
  EXPECT_EQ(typed->info().columns[0].adoType, 131);
  EXPECT_EQ(typed->info().columns[0].size, 8);
  EXPECT_EQ(typed->info().columns[1].size, 7);
  EXPECT_EQ(typed->info().columns[2].adoType, 135);
}

TEST_F(PostgresBridgeTest, OnlyOneReadingStatementDescribesACustomView) {
  auto b = connect();
  struct Case {
    const char* sql;
    const char* message;  // a part of the last error
  };
  const Case cases[] = {
      {"SELECT * FROM nope", "\"nope\" does not exist"},
      {"SELEKT 1", "syntax error"},
      // The reader may change calls: only the kind of statement stops these.
      {"DELETE FROM calls", "no result columns"},
      {"DELETE FROM calls RETURNING *", "no result columns"},
      {"INSERT INTO calls VALUES (5) RETURNING n", "no result columns"},
      {"WITH gone AS (DELETE FROM calls RETURNING *) SELECT * FROM gone", "no result columns"},
      {"UPDATE calls SET n = 2 RETURNING n", "no result columns"},
      {"SELECT 1; SELECT 2", "Only one statement"},
      {"SELECT 1; DELETE FROM calls", "Only one statement"},
      {" ; ", "empty"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(b->OpenCustomView("x", c.sql)) << c.sql;
    EXPECT_THAT(b->GetLastError(), HasSubstr(c.message)) << c.sql;
  }
  EXPECT_EQ(superQuery("SELECT count(*) FROM \"Kunden\""), "2");
  EXPECT_EQ(superQuery("SELECT count(*) FROM calls WHERE n <> 1"), "0");
}

TEST_F(PostgresBridgeTest, ConnectionFailuresBringTheServersMessageIntoProjErr) {
  struct Case {
    std::string database, password, port, message;
  };
  const Case cases[] = {
      {testing::kPgShopDb, "wrong", port(), "password authentication failed for user \"tw_reader\""},
      {testing::kPgShopDb, testing::kPgReaderPassword, "1", "Connection refused"},  // nothing listens on port 1
      {"tw_no_such_db", testing::kPgReaderPassword, port(), "\"tw_no_such_db\" does not exist"},
  };
  for (const Case& c : cases) {
    ConnectionValues v = values(c.database);
    v.password = Variant(c.password);
    v.port = Variant(c.port);
    EXPECT_FALSE(OpenBridge(v)) << c.message;
    EXPECT_THAT(engine().projErr, HasSubstr(c.message));
  }
}

TEST_F(PostgresBridgeTest, TheSocketFolderMayStandForTheHost) {
  auto b = makeRef<DBBridge>();
  b->Initialize();
  b->SetDBType("postgresql");
  b->Connect(server().directory().string(), testing::kPgShopDb, testing::kPgReader, "", server().port(), "", "", "",
             "\"");
  ASSERT_EQ(b->GetLastError(), "");
  EXPECT_EQ(b->GetTables("calls")->Count(), 1);
}

// ---- AGPSchema over the real server

TEST_F(PostgresBridgeTest, AGPSchemaReadsTablesAndViews) {
  AGPSchema s;
  ConnectionValues v = values();
  s.LoadDB(v.database, v.type, v.host, v.port, v.user, v.password, v.sid, v.method, v.url, v.encoding);
  ASSERT_EQ(engine().projErr, "");
  ASSERT_EQ(s.tblcnt(), 11);
  std::map<std::string, AGSchemaTable> byName;
  for (int16_t i = 1; i <= s.tblcnt(); ++i) byName[s.Tbl(i).TblName] = s.Tbl(i);
  const AGSchemaTable& lines = byName["order lines"];
  EXPECT_EQ(lines.TblKey, "line no,order id");
  EXPECT_TRUE(lines.TblFields.fld[1].FldIsPrimaryKey);
  EXPECT_TRUE(lines.TblFields.fld[2].FldIsPrimaryKey);
  EXPECT_FALSE(lines.TblFields.fld[3].FldIsPrimaryKey);
  const AGSchemaTable& types = byName["all_types"];
  EXPECT_EQ(types.TblFldCnt, 32);
  const AGSchemaField& e = types.TblFields.fld[28];
  EXPECT_EQ(e.FldName, "c_enum");
  EXPECT_EQ(e.FldType, 202);
  EXPECT_EQ(e.NativeDataType, 247);
  EXPECT_EQ(e.FldQuoteS, "'");
  EXPECT_EQ(types.TblFields.fld[15].FldName, "c_bytea");
  EXPECT_TRUE(types.TblFields.fld[15].FldSupport);
  EXPECT_EQ(types.TblFields.fld[10].FldName, "c_boolean");
  EXPECT_EQ(types.TblFields.fld[10].FldQuoteS, "");
  EXPECT_EQ(byName["big orders"].TblType, "VIEW");
  EXPECT_EQ(s.record().DBName, "tw_shop");
}

TEST_F(PostgresBridgeTest, AGPSchemaReadsACustomView) {
  AGPSchema s;
  ConnectionValues v = values();
  Variant name("sizes"), sql("SELECT \"Größe\", count(*) AS n FROM \"Kunden\" GROUP BY \"Größe\"");
  ASSERT_EQ(s.LoadzbCustomView(v.host, v.database, v.type, v.user, v.password, v.port, v.sid, v.method, v.url,
                               v.encoding, name, sql),
            0)
      << engine().projErr;
  AGSchemaTable t = s.Tbl(1);
  EXPECT_EQ(t.TblFldCnt, 2);
  EXPECT_EQ(t.TblFields.fld[1].FldType, 202);
  EXPECT_EQ(t.TblFields.fld[2].FldName, "n");
  EXPECT_EQ(t.TblFields.fld[2].FldType, 20);
}

}  // namespace
}  // namespace tw
