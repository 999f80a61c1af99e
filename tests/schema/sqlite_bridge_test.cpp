// The SQLite side of the bridge on database files the tests make: tables,
// views and system tables, declared types by SQLite's affinity rules, the
// rowid key, keys, unique indexes, defaults, custom views and failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "core/agp.h"
#include "model/database.h"
#include "schema/ado_types.h"
#include "schema/bridge.h"
#include "schema/loaders.h"
#include "schema/schema.h"
#include "support/engine_context.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

class SqliteBridgeTest : public testing::FreshEngine {
 protected:
  std::string makeDb(const std::string& name, const std::string& sql) {
    std::string path = (dir() / name).string();
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
    return path;
  }
  Ref<DBBridge> open(const std::string& path, const std::string& host = "") {
    auto b = makeRef<DBBridge>();
    b->Initialize();
    b->SetDBType("SQLite");
    b->Connect(host, path, "", "", 0, "", "", "", "\"");
    return b;
  }
  std::string shop() {
    return makeDb("shop.db",
                  "CREATE TABLE customers (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL DEFAULT 'n/a', "
                  "  email TEXT UNIQUE, born DATE, score REAL, active BOOLEAN DEFAULT 1, photo BLOB, misc);"
                  "CREATE TABLE \"order lines\" (\"order id\" INTEGER NOT NULL, \"line no\" INT NOT NULL, "
                  "  qty INTEGER DEFAULT 1, price DECIMAL(10,2), PRIMARY KEY (\"line no\", \"order id\"));"
                  "CREATE TABLE tags (id INTEGER PRIMARY KEY AUTOINCREMENT, label CHAR(8), code BIGINT, "
                  "  stamp DATETIME DEFAULT CURRENT_TIMESTAMP, UNIQUE (label, code));"
                  "CREATE TABLE keyed (k TEXT PRIMARY KEY, v INT) WITHOUT ROWID;"
                  "CREATE TABLE \"Größe\" (\"Straße\" NVARCHAR(20));"
                  "CREATE UNIQUE INDEX tags_code ON tags(code);"
                  "CREATE VIEW big_lines AS SELECT \"order id\", qty * price AS amount FROM \"order lines\";"
                  "INSERT INTO tags(label) VALUES ('x');");
  }
};

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
  ADD_FAILURE() << "no column " << name;
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

// The examples of SQLite's "Datatypes In SQLite", section "Affinity Name
// Examples" and the rules before it.
TEST(SqliteAffinity, FollowsSqlitesRulesInTheirOrder) {
  using ado::Affinity;
  for (const char* t : {"INT", "INTEGER", "TINYINT", "SMALLINT", "MEDIUMINT", "BIGINT", "UNSIGNED BIG INT",
                        "INT2", "INT8", "CHARINT", "FLOATING POINT"})
    EXPECT_EQ(ado::sqliteAffinity(t), Affinity::kInteger) << t;
  for (const char* t : {"CHARACTER(20)", "VARCHAR(255)", "VARYING CHARACTER(255)", "NCHAR(55)",
                        "NATIVE CHARACTER(70)", "NVARCHAR(100)", "TEXT", "CLOB"})
    EXPECT_EQ(ado::sqliteAffinity(t), Affinity::kText) << t;
  for (const char* t : {"BLOB", "", "  "}) EXPECT_EQ(ado::sqliteAffinity(t), Affinity::kBlob) << t;
  for (const char* t : {"REAL", "DOUBLE", "DOUBLE PRECISION", "FLOAT"})
    EXPECT_EQ(ado::sqliteAffinity(t), Affinity::kReal) << t;
  for (const char* t : {"NUMERIC", "DECIMAL(10,5)", "BOOLEAN", "DATE", "DATETIME", "STRING"})
    EXPECT_EQ(ado::sqliteAffinity(t), Affinity::kNumeric) << t;
}

TEST(SqliteAffinity, DeclaredTypesMapToAdoCodesAndSizes) {
  struct Case {
    const char* decl;
    int16_t ado;
    int32_t size;
  };
  const Case cases[] = {{"INTEGER", 3, 4},
                        {"bigint", 20, 8},
                        {"SMALLINT", 2, 2},
                        {"TINYINT", 16, 1},
                        {"VARCHAR(40)", 200, 40},
                        {"NVARCHAR( 12 )", 200, 12},
                        {"CHAR(8)", 129, 8},
                        {"TEXT", 200, 2147483647},
                        {"text", 200, 2147483647},
                        {"CLOB", 201, 2147483647},
                        {"BLOB", 205, 2147483647},
                        {"", 205, 2147483647},
                        {"REAL", 5, 8},
                        {"BOOLEAN", 11, 2},
                        {"DATE", 133, 6},
                        {"DATETIME", 135, 16},
                        {"TIMESTAMP", 135, 16},
                        {"TIME", 134, 6},
                        {"DECIMAL(10,2)", 131, 10},
                        {"NUMERIC", 131, 18},
                        {"UUID", 72, 16},
                        {"FLOATING POINT", 3, 4}};
  for (const Case& c : cases) {
    ado::SqliteType t = ado::sqliteType(c.decl);
    EXPECT_EQ(t.ado, c.ado) << c.decl;
    EXPECT_EQ(t.size, c.size) << c.decl;
  }
}

TEST_F(SqliteBridgeTest, TablesViewsAndSystemTablesComeWithTheirTypes) {
  auto b = open(shop());
  ASSERT_EQ(b->GetLastError(), "");
  EXPECT_EQ(b->GetQuoteChar(), "\"");
  auto all = b->GetTables("");
  std::vector<std::string> seen;
  for (int32_t i = 0; i < all->Count(); ++i)
    seen.push_back(all->Item(i)->info().name + ":" + all->Item(i)->info().type);
  EXPECT_THAT(seen, ElementsAre("Größe:TABLE", "big_lines:VIEW", "customers:TABLE", "keyed:TABLE",
                                "order lines:TABLE", "sqlite_sequence:SYSTEM TABLE", "tags:TABLE"));
}

TEST_F(SqliteBridgeTest, ColumnsKeysAndDefaults) {
  auto all = open(shop())->GetTables("");
  const BridgeTableInfo& c = tableNamed(all, "customers");
  std::vector<std::string> names;
  for (const BridgeColumn& col : c.columns) names.push_back(col.name);
  EXPECT_THAT(names, ElementsAre("id", "name", "email", "born", "score", "active", "photo", "misc"));
  const BridgeColumn& id = columnNamed(c, "id");
  EXPECT_TRUE(id.autoIncrement);  // INTEGER PRIMARY KEY is the rowid
  EXPECT_TRUE(id.required);
  EXPECT_TRUE(id.unique);
  EXPECT_EQ(id.adoType, 3);
  EXPECT_EQ(id.nativeType, SQLITE_INTEGER);
  EXPECT_EQ(c.pkField, "id");
  const BridgeColumn& name = columnNamed(c, "name");
  EXPECT_TRUE(name.required);
  EXPECT_EQ(name.defaultValue.toString(), "n/a");
  EXPECT_EQ(name.dataTypeName, "VARCHAR(40)");
  EXPECT_EQ(name.size, 40);
  EXPECT_EQ(name.nativeType, SQLITE_TEXT);
  EXPECT_TRUE(columnNamed(c, "email").unique);
  EXPECT_FALSE(columnNamed(c, "email").required);
  EXPECT_TRUE(columnNamed(c, "email").defaultValue.isEmpty());
  EXPECT_EQ(columnNamed(c, "active").defaultValue.toString(), "1");
  EXPECT_EQ(columnNamed(c, "active").adoType, 11);
  EXPECT_EQ(columnNamed(c, "photo").adoType, 205);
  EXPECT_EQ(columnNamed(c, "misc").adoType, 205);
  EXPECT_EQ(columnNamed(c, "score").nativeType, SQLITE_FLOAT);

  const BridgeTableInfo& lines = tableNamed(all, "order lines");
  EXPECT_EQ(lines.pkField, "line no,order id");
  EXPECT_FALSE(columnNamed(lines, "order id").autoIncrement);  // part of a two-column key
  EXPECT_EQ(columnNamed(lines, "price").adoType, 131);

  const BridgeTableInfo& tags = tableNamed(all, "tags");
  EXPECT_TRUE(columnNamed(tags, "id").autoIncrement);
  EXPECT_TRUE(columnNamed(tags, "code").unique);    // its own unique index
  EXPECT_FALSE(columnNamed(tags, "label").unique);  // only in a two-column one
  EXPECT_EQ(columnNamed(tags, "stamp").defaultValue.toString(), "CURRENT_TIMESTAMP");

  const BridgeTableInfo& keyed = tableNamed(all, "keyed");
  EXPECT_FALSE(columnNamed(keyed, "k").autoIncrement);
  EXPECT_TRUE(columnNamed(keyed, "k").unique);

  EXPECT_EQ(tableNamed(all, "Größe").columns.at(0).name, "Straße");
  const BridgeTableInfo& big = tableNamed(all, "big_lines");
  ASSERT_EQ(big.columns.size(), 2u);
  EXPECT_EQ(columnNamed(big, "order id").adoType, 3);  // a view column keeps its source's type
  EXPECT_EQ(columnNamed(big, "amount").adoType, 200);  // a computed one without a type is text
  EXPECT_EQ(columnNamed(big, "amount").nativeType, SQLITE_TEXT);
  EXPECT_EQ(columnNamed(c, "email").adoType, 200);  // TEXT: an ordinary text column
}

TEST_F(SqliteBridgeTest, AViewOverAMissingTableKeepsTheOtherTablesReadable) {
  std::string path = makeDb("broken.db",
                            "CREATE TABLE a (x INT); CREATE TABLE gone (y INT);"
                            "CREATE VIEW v AS SELECT y FROM gone; DROP TABLE gone;");
  auto b = open(path);
  auto all = b->GetTables("");
  ASSERT_EQ(b->GetLastError(), "");
  EXPECT_EQ(tableNamed(all, "a").columns.size(), 1u);
  EXPECT_TRUE(tableNamed(all, "v").columns.empty());
}

TEST_F(SqliteBridgeTest, CustomViewsAreDescribedFromTheStatement) {
  auto b = open(shop());
  auto v = b->OpenCustomView(
      "c", "SELECT c.id AS nr, c.name, upper(c.email) AS mail, count(*) AS n FROM customers c");
  ASSERT_TRUE(v) << b->GetLastError();
  const auto& cols = v->info().columns;
  ASSERT_EQ(cols.size(), 4u);
  EXPECT_EQ(cols[0].name, "nr");
  EXPECT_TRUE(cols[0].autoIncrement);  // described as its source column
  EXPECT_EQ(cols[1].name, "name");
  EXPECT_EQ(cols[1].size, 40);
  EXPECT_EQ(cols[2].adoType, 200);  // an expression is text
  EXPECT_EQ(cols[2].dataTypeName, "");
  EXPECT_EQ(v->info().pkField, "");  // expressions in the result
  auto keyed = b->OpenCustomView("k", "SELECT name, id FROM customers; ");
  ASSERT_TRUE(keyed) << b->GetLastError();
  EXPECT_EQ(keyed->info().pkField, "id");
  auto twice = b->OpenCustomView("t", "SELECT id, id FROM customers");
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->info().columns.size(), 2u);
}

TEST_F(SqliteBridgeTest, CustomViewsMustBeOneQuery) {
  std::string path = shop();
  auto b = open(path);
  EXPECT_FALSE(b->OpenCustomView("x", "SELECT * FROM nope"));
  EXPECT_THAT(b->GetLastError(), HasSubstr("no such table: nope"));
  EXPECT_FALSE(b->OpenCustomView("x", "DELETE FROM tags"));
  EXPECT_EQ(b->GetLastError(), "The statement returns no result columns");
  EXPECT_FALSE(b->OpenCustomView("x", "SELECT 1; DELETE FROM tags"));
  EXPECT_EQ(b->GetLastError(), "Only one statement can describe a custom view");
  EXPECT_FALSE(b->OpenCustomView("x", "  "));
  EXPECT_EQ(b->GetLastError(), "The statement is empty");
  EXPECT_EQ(b->GetTables("tags")->Count(), 1);
  // Nothing was deleted: the file is opened read-only and never run.
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM tags", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 1);
  sqlite3_finalize(st);
  sqlite3_close(db);
}

TEST_F(SqliteBridgeTest, MissingFilesAndFilesThatAreNoDatabaseFail) {
  auto b = open((dir() / "missing.db").string());
  EXPECT_THAT(b->GetLastError(), HasSubstr("unable to open database file"));
  EXPECT_THROW(b->GetTables(""), Error);
  std::ofstream(dir() / "notes.txt") << "these are no tables, just some text that is long enough";
  b = open((dir() / "notes.txt").string());
  EXPECT_THAT(b->GetLastError(), HasSubstr("file is not a database"));
}

TEST_F(SqliteBridgeTest, DatabaseNamesAreTheDatabaseFilesOfTheHostFolder) {
  shop();
  makeDb("second.sqlite", "CREATE TABLE a(x);");
  std::ofstream(dir() / "readme.txt") << "not a database file at all, only text";
  auto b = open("", dir().string());
  ASSERT_EQ(b->GetLastError(), "");
  EXPECT_EQ(b->GetDatabaseNames(),
            (dir() / "second.sqlite").string() + "\r\n" + (dir() / "shop.db").string());
  EXPECT_THROW(b->GetTables(""), Error);
  EXPECT_EQ(b->GetLastError(), "No database selected");
}

TEST_F(SqliteBridgeTest, AGPSchemaReadsAnSqliteFile) {
  std::string path = shop();
  engine().sqlQuote = "Square Bracket";
  AGPSchema s;
  s.LoadDB(Variant(path), Variant("sqlite"), Variant(""), Variant(""), Variant(""), Variant(""), Variant(""),
           Variant(""), Variant(""), Variant(""));
  ASSERT_EQ(engine().projErr, "");
  EXPECT_EQ(s.tblcnt(), 6);  // sqlite_sequence is left out
  AGSchemaTable customers = s.Tbl(3);
  EXPECT_EQ(customers.TblName, "customers");
  EXPECT_EQ(customers.TblKey, "id");
  EXPECT_TRUE(customers.TblFields.fld[1].FldIsPrimaryKey);
  EXPECT_TRUE(customers.TblFields.fld[1].FldAutoIncrement);
  EXPECT_EQ(customers.TblFields.fld[2].FldQuoteS, "'");
  AGPSchema empty;
  empty.LoadDB(Variant(""), Variant("SQLite"), Variant(""), Variant(""), Variant(""), Variant(""),
               Variant(""), Variant(""), Variant(""), Variant(""));
  EXPECT_EQ(engine().projErr, "invalid DBName specified!");
}

TEST_F(SqliteBridgeTest, AProjectLoadsAnSqliteFileLikeAServerDatabase) {
  installSchemaMembers();
  std::string path = shop();
  auto proj = makeRef<AGP>();
  proj->AddProj("shop");
  LoadDB(*proj, Variant(path), Variant("sqlite"), Variant(""), Variant(""), Variant(""), Variant(""),
         Variant(""), Variant(""), Variant(""), Variant(""));
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPDatabase* db = proj->db();
  EXPECT_EQ(db->str("DBName"), path);
  EXPECT_EQ(db->str("DBQuoteS"), "\"");
  EXPECT_EQ(db->tables().Count(), 6);
  AGPTable* customers = db->tables().Item(Variant("customers"));
  EXPECT_EQ(customers->Fields().Item(Variant("id"))->str("FldHtmlTag"), "NO");
  EXPECT_EQ(customers->Fields().Item(Variant("active"))->str("FldHtmlTag"), "RADIO");
  EXPECT_EQ(customers->Fields().Item(Variant("photo"))->str("FldHtmlTag"), "FILE");
  LoadCustomView(*proj, Variant("names"), Variant("SELECT c.name AS who, c.email FROM customers c"),
                 Variant(true));
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPField* who = db->tables().Item(Variant("names"))->Fields().Item(Variant("who"));
  EXPECT_EQ(who->str("FldSourceTable"), "customers");
  EXPECT_EQ(who->int32("FldTagMaxLength"), 40);
  LoadCustomView(*proj, Variant("twice"), Variant("SELECT id, id FROM customers"), Variant(false));
  EXPECT_EQ(AGP::ProjErr(), "Columns with same field name: id. Please create Alias for the fields.");
  LoadDB(*proj, Variant(path), Variant("sqlite"), Variant(""), Variant(""), Variant(""), Variant(""),
         Variant(""), Variant(""), Variant(""), Variant(""));
  EXPECT_EQ(AGP::ProjErr(), "database already loaded!");
  UnLoadDB(*proj);
  LoadDB(*proj, Variant((dir() / "none.db").string()), Variant("sqlite"), Variant(""), Variant(""),
         Variant(""), Variant(""), Variant(""), Variant(""), Variant(""), Variant(""));
  EXPECT_THAT(AGP::ProjErr(), HasSubstr("unable to open database file"));
  EXPECT_EQ(proj->DBCnt(), 0);
}

// A NOT NULL column the database fills in may be left empty on a form;
// DEFAULT '' is such a default, DEFAULT NULL is none.
TEST_F(SqliteBridgeTest, NotNullColumnsWithADefaultAreNotRequired) {
  installSchemaMembers();
  std::string path = makeDb("defaults.db",
                            "CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT NOT NULL DEFAULT '', "
                            "  b TEXT NOT NULL DEFAULT 'x', c TEXT NOT NULL, d TEXT NOT NULL DEFAULT NULL, "
                            "  e INT NOT NULL DEFAULT 0, f TEXT DEFAULT '');");
  auto proj = makeRef<AGP>();
  proj->AddProj("defaults");
  LoadDB(*proj, Variant(path), Variant("sqlite"), Variant(""), Variant(""), Variant(""), Variant(""),
         Variant(""), Variant(""), Variant(""), Variant(""));
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPFields& fields = proj->db()->tables().Item(Variant("t"))->Fields();
  struct Case {
    const char* column;
    bool notNull;
    bool required;
    bool hasDefault;
    const char* defaultText;
  };
  const Case cases[] = {
      {"id", true, true, false, ""},  {"a", true, false, true, ""},  {"b", true, false, true, "x"},
      {"c", true, true, false, ""},   {"d", true, true, false, ""},  {"e", true, false, true, "0"},
      {"f", false, false, true, ""},
  };
  for (const Case& c : cases) {
    AGPField* f = fields.Item(Variant(c.column));
    ASSERT_NE(f, nullptr) << c.column;
    EXPECT_EQ(f->flag("FldReq"), c.notNull) << c.column;
    EXPECT_EQ(f->flag("FldRequired"), c.required) << c.column;
    Variant dbDefault = f->setting("FldDefault");
    EXPECT_EQ(!dbDefault.isEmpty() && !dbDefault.isNull(), c.hasDefault) << c.column;
    if (c.hasDefault) {
      EXPECT_EQ(dbDefault.toString(), c.defaultText) << c.column;
    }
  }
  EXPECT_EQ(fields.Item(Variant("id"))->str("FldHtmlTag"), "NO");  // the key stays filled by the database
}

TEST_F(SqliteBridgeTest, ForeignKeysCheckListsAndBooleans) {
  std::string path = makeDb(
      "rel.db",
      "CREATE TABLE staff (id INTEGER PRIMARY KEY, full_name TEXT NOT NULL, "
      "  manager_id INT REFERENCES staff(id), active BOOLEAN DEFAULT 1, away BOOL, "
      "  status TEXT CHECK (status IN ('new', 'it''s done')), "
      "  size TEXT CHECK (size IN ('S', 'M') OR size IS NULL), level INT, "
      "  CONSTRAINT level_list CHECK ((\"level\" in (1, 2, 3))));"
      "CREATE TABLE sites (region TEXT, code INT, label TEXT, PRIMARY KEY (region, code));"
      "CREATE TABLE visits (id INTEGER PRIMARY KEY, site_code INT, site_region TEXT, host INT REFERENCES staff, "
      "  guest INT, note TEXT DEFAULT 'check (x in (1))', "
      "  FOREIGN KEY (site_code, site_region) REFERENCES sites(code, region), "
      "  FOREIGN KEY (guest) REFERENCES STAFF(id));");
  auto all = open(path)->GetTables("");
  const BridgeTableInfo& staff = tableNamed(all, "staff");
  EXPECT_THAT(keysOf(staff), ElementsAre("manager_id: manager_id -> staff(id)"));
  EXPECT_THAT(keysOf(tableNamed(all, "visits")),
              UnorderedElementsAre("site_code,site_region: site_code,site_region -> sites(code,region)",
                                   "host: host -> staff(id)", "guest: guest -> staff(id)"));
  EXPECT_THAT(keysOf(tableNamed(all, "sites")), ElementsAre());
  struct Case {
    const char* table;
    const char* column;
    int16_t ado;
    const char* checkValues;
  };
  const Case cases[] = {
      {"staff", "active", 11, ""},
      {"staff", "away", 11, ""},
      {"staff", "status", 200, "\"new\",\"new\"\r\n\"it's done\",\"it's done\""},
      {"staff", "size", 200, ""},  // a list joined with another condition is no list
      {"staff", "level", 3, "\"1\",\"1\"\r\n\"2\",\"2\"\r\n\"3\",\"3\""},
      {"visits", "note", 200, ""},  // CHECK inside a text is no constraint
  };
  for (const Case& c : cases) {
    const BridgeColumn& col = columnNamed(tableNamed(all, c.table), c.column);
    EXPECT_EQ(col.adoType, c.ado) << c.column;
    EXPECT_EQ(col.checkValues, c.checkValues) << c.column;
  }
  // The schema records carry the same keys and lists.
  AGPSchema s;
  s.LoadDB(Variant(path), Variant("sqlite"), Variant(""), Variant(""), Variant(""), Variant(""), Variant(""),
           Variant(""), Variant(""), Variant(""));
  ASSERT_EQ(engine().projErr, "");
  AGSchemaTable visits = s.Tbl(3);
  ASSERT_EQ(visits.TblName, "visits");
  ASSERT_EQ(visits.TblForeignKeys.size(), 3u);
  AGSchemaTable rec = s.Tbl(2);
  ASSERT_EQ(rec.TblName, "staff");
  ASSERT_EQ(rec.TblForeignKeys.size(), 1u);
  EXPECT_EQ(rec.TblForeignKeys[0].FkRefTable, "staff");
  EXPECT_THAT(rec.TblForeignKeys[0].FkColumns, ElementsAre("manager_id"));
  EXPECT_EQ(rec.TblFields.fld[6].FldName, "status");
  EXPECT_EQ(rec.TblFields.fld[6].FldCheckValues, cases[2].checkValues);
}

TEST(CheckLists, OnlyAPlainInListDeclaresValues) {
  struct Case {
    const char* clause;
    const char* column;
    std::vector<std::string> values;
  };
  const Case cases[] = {
      {"status IN ('a','b')", "status", {"a", "b"}},
      {"((`size` in ('S','M')))", "size", {"S", "M"}},
      {"\"two words\" IN ( 'x' , 'it''s' )", "two words", {"x", "it's"}},
      {"[n] in (1, -2, 3.5)", "n", {"1", "-2", "3.5"}},
      {"s in ('a\\'b')", "s", {"a'b"}},
      {"s NOT IN ('a')", "", {}},
      {"s IN ('a') OR s IS NULL", "", {}},
      {"(s IN ('a')) AND (t IN ('b'))", "", {}},
      {"s IN (SELECT x FROM y)", "", {}},
      {"s > 0", "", {}},
      {"s IN ()", "", {}},
      {"s IN ('a'", "", {}},
  };
  for (const Case& c : cases) {
    std::string column;
    EXPECT_EQ(checkInList(c.clause, column), c.values) << c.clause;
    EXPECT_EQ(column, c.column) << c.clause;
  }
  EXPECT_THAT(checkClauses("CREATE TABLE t (a INT CHECK (a IN (1,2)), b TEXT DEFAULT 'check (b)', "
                           "\"check\" INT, CONSTRAINT c CHECK((b) <> ')'), rechecked INT)"),
              ElementsAre("a IN (1,2)", "(b) <> ')'"));
}

}  // namespace
}  // namespace tw
