// SQLite through the Xerial driver and PostgreSQL through PgJDBC, each
// against the native route on the same database: the projects agree but for
// the connection method and the differences listed with each case (what
// the Java metadata cannot tell).
#include <sqlite3.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/agp.h"
#include "model/database.h"
#include "schema/loaders.h"
#include "schema/postgres_fixture.h"
#include "testing/jdbc_drivers.h"
#include "testing/project_diff.h"

namespace tw {
namespace {

using ::testing::ElementsAreArray;

Ref<AGP> loadProject(const std::string& type, const std::string& database, const std::string& host,
                     const std::string& port, const std::string& user, const std::string& password,
                     const std::string& method) {
  auto proj = makeRef<AGP>();
  proj->AddProj("p");
  LoadDB(*proj, Variant(database), Variant(type), Variant(host), Variant(port), Variant(user), Variant(password),
         Variant(""), Variant(method), Variant(""), Variant("utf-8"));
  return proj;
}

class JdbcSqliteTest : public testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    TW_REQUIRE_JDBC();
    installSchemaMembers();
  }
};

TEST_F(JdbcSqliteTest, TheXerialDriverReadsTheNativeProject) {
  const std::string file = (dir() / "shop.db").string();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  const char* schema =
      "CREATE TABLE customers (id INTEGER PRIMARY KEY AUTOINCREMENT, name VARCHAR(60) NOT NULL, "
      "  email TEXT UNIQUE, born DATE, paid BOOLEAN DEFAULT 0, rate REAL, photo BLOB, "
      "  size TEXT CHECK (size IN ('S','M','L')), price DECIMAL(8,2) DEFAULT 1.5, note CLOB DEFAULT 'none');"
      "CREATE TABLE orders (id INTEGER NOT NULL, line INTEGER NOT NULL, customer_id INTEGER "
      "  REFERENCES customers(id), placed DATETIME DEFAULT CURRENT_TIMESTAMP, PRIMARY KEY (line, id));"
      "CREATE VIEW big_orders AS SELECT id, customer_id FROM orders WHERE line > 2;";
  ASSERT_EQ(sqlite3_exec(db, schema, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  Ref<AGP> native = loadProject("sqlite", file, "", "", "", "", "native");
  ASSERT_EQ(AGP::ProjErr(), "");
  Ref<AGP> jdbc = loadProject("sqlite", file, "", "", "", "", "JDBC");
  ASSERT_EQ(AGP::ProjErr(), "");
  for (AGP* p : {native.get(), jdbc.get()}) {
    LoadCustomView(*p, Variant("cv"), Variant("SELECT c.name, o.placed, o.line * 2 AS twice FROM orders o "
                                              "JOIN customers c ON c.id = o.customer_id"),
                   Variant(false));
    EXPECT_EQ(AGP::ProjErr(), "");
  }
  // The documented difference: Xerial types an expression NUMERIC, where
  // SQLite itself declares no type (read as text natively).
  std::vector<std::string> differences;
  for (const std::string& d : testing::projectDifferences(*native, *jdbc))
    if (d.rfind("table cv field twice: ", 0) != 0) differences.push_back(d);
  EXPECT_THAT(differences, ElementsAreArray({"database: DBConnectionMethod native -> JDBC"}));
  EXPECT_EQ(jdbc->db()->tables().Item(Variant("cv"))->Fields().Item(Variant("twice"))->int16("FldType"), 131);
}

class JdbcPostgresTest : public testing::PostgresTest {
 protected:
  void SetUp() override {
    PostgresTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    TW_REQUIRE_JDBC();
    installSchemaMembers();
  }
};

TEST_F(JdbcPostgresTest, PgJdbcReadsTheNativeProject) {
  Ref<AGP> native = loadProject("postgresql", testing::kPgShopDb, server().host(), port(), testing::kPgReader,
                                testing::kPgReaderPassword, "native");
  ASSERT_EQ(AGP::ProjErr(), "");
  Ref<AGP> jdbc = loadProject("postgresql", testing::kPgShopDb, server().host(), port(), testing::kPgReader,
                              testing::kPgReaderPassword, "JDBC");
  ASSERT_EQ(AGP::ProjErr(), "");
  // The documented differences, in what a project is built from: PgJDBC
  // lists partitions and an extension's views as tables (the native route
  // reads the catalogue and leaves them out), reports enumerations as plain
  // text without their values and a domain under its own name (the native
  // route types both by what they are), and gives its own type codes and
  // names (NativeDataType, FldTypeName; not compared).
  const std::vector<std::string> settings = {"FldType", "FldSize", "FldReq", "FldIsPrimaryKey", "FldUniqueIdx",
                                             "FldAutoIncrement", "FldDefault", "TblKey", "TblType"};
  std::vector<std::string> differences;
  for (const std::string& d : testing::projectDifferences(*native, *jdbc)) {
    bool kept = d.find(": only in the ") != std::string::npos;
    for (const std::string& s : settings) kept = kept || d.find(": " + s + " ") != std::string::npos;
    if (kept) differences.push_back(d);
  }
  EXPECT_THAT(differences, ElementsAreArray({
                               "table measurements_2024: only in the second",
                               "table pg_stat_statements: only in the second",
                               "table pg_stat_statements_info: only in the second",
                               "table Kunden field Größe: FldType 202 -> 200",
                               "table Kunden field Größe: FldSize 4 -> 2147483647",
                               "table all_types field c_domain: FldType 3 -> 12",
                               "table all_types field c_domain: FldSize 4 -> 10",
                               "table all_types field c_enum: FldType 202 -> 200",
                               "table all_types field c_enum: FldSize 4 -> 2147483647",
                               "table all_types field c_farbe: FldType 202 -> 200",
                               "table all_types field c_farbe: FldSize 4 -> 2147483647",
                               "table orders field Größe: FldType 202 -> 200",
                               "table orders field Größe: FldSize 4 -> 2147483647",
                           }));
}

}  // namespace
}  // namespace tw
