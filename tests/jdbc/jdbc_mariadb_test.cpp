// MariaDB through MariaDB Connector/J: a project read through the Java
// driver is the project the native route reads, setting for setting, but
// for the connection method itself and what only the native catalogue
// shows (below); custom views too; and the failures a user meets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/agp.h"
#include "model/database.h"
#include "schema/ado_types.h"
#include "schema/bridge.h"
#include "schema/jdbc.h"
#include "schema/loaders.h"
#include "schema/mariadb_fixture.h"
#include "testing/jdbc_drivers.h"
#include "testing/project_diff.h"

namespace tw {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class JdbcMariaDbTest : public testing::MariaDbTest {
 protected:
  void SetUp() override {
    MariaDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    TW_REQUIRE_JDBC();
    installSchemaMembers();
  }
  Ref<AGP> load(const std::string& method, const std::string& password = testing::kReaderPassword) {
    auto proj = makeRef<AGP>();
    proj->AddProj("shop");
    LoadDB(*proj, Variant(testing::kShopDb), Variant("mysql"), Variant(server().host()), Variant(port()),
           Variant(testing::kReader), Variant(password), Variant(""), Variant(method), Variant(""),
           Variant("utf-8"));
    return proj;
  }
  // Each table's keys as the bridge reads them by one connection method:
  // "table: primary key a,b; unique c; foreign key name: a,b -> t(x,y)".
  std::vector<std::string> keys(const std::string& method, const std::string& database,
                                const std::string& filter) {
    auto b = makeRef<DBBridge>();
    b->Initialize();
    b->SetDBType("mysql");
    b->Connect(server().host(), database, testing::kReader, testing::kReaderPassword, server().port(), method,
               "", "utf-8", "`");
    EXPECT_EQ(b->GetLastError(), "") << method;
    auto tables = b->GetTables(filter);
    std::vector<std::string> out;
    auto join = [](const std::vector<std::string>& v) {
      std::string s;
      for (const std::string& x : v) s += (s.empty() ? "" : ",") + x;
      return s;
    };
    for (int32_t i = 0; i < tables->Count(); ++i) {
      const BridgeTableInfo& t = tables->Item(i)->info();
      std::string line = t.name + ": primary key " + t.pkField + "; unique";
      for (const BridgeColumn& c : t.columns) {
        if (c.unique) line += " " + c.name;
        if (c.adoAttributes & ado::kFldKeyColumn) line += " (key column " + c.name + ")";
      }
      for (const BridgeForeignKey& fk : t.foreignKeys)
        line += "; foreign key " + fk.name + ": " + join(fk.columns) + " -> " + fk.refTable + "(" +
                join(fk.refColumns) + ")";
      out.push_back(std::move(line));
    }
    return out;
  }
};

// Keys come from another place on each route (MySQL's catalogue read in bulk
// through the Java driver): the primary key in key order, single-column
// unique indexes and foreign keys are the same, for the whole database and
// for one table.
TEST_F(JdbcMariaDbTest, KeysReadThroughTheJavaDriverAreTheNativeOnes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {testing::kShopDb, ""}, {testing::kShopDb, "order lines"}, {testing::kShopDb, "Kunden"}, {"tw_rel", ""},
      {"tw_rel", "visits"},
  };
  for (const auto& [database, filter] : cases) {
    SCOPED_TRACE(database + " " + filter);
    std::vector<std::string> native = keys("native", database, filter);
    EXPECT_EQ(native.size(), filter.empty() ? std::max<size_t>(native.size(), 4) : 1u);
    EXPECT_THAT(keys("JDBC", database, filter), ElementsAreArray(native));
  }
}

TEST_F(JdbcMariaDbTest, AProjectReadThroughTheJavaDriverIsTheNativeOne) {
  Ref<AGP> native = load("native");
  ASSERT_EQ(AGP::ProjErr(), "");
  Ref<AGP> jdbc = load("JDBC");
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_TRUE(JVMLoaded());
  for (const auto& [name, sql] : std::vector<std::pair<std::string, std::string>>{
           {"cv_lines",
            "SELECT l.`order id`, l.`line no`, l.qty * 2 AS twice, b.total, l.note FROM `order lines` l "
            "JOIN `big orders` b ON b.`order id` = l.`order id`"},
           {"cv_kunden", "SELECT * FROM Kunden"}}) {
    for (AGP* p : {native.get(), jdbc.get()}) {
      LoadCustomView(*p, Variant(name), Variant(sql), Variant(false));
      EXPECT_EQ(AGP::ProjErr(), "") << name;
    }
  }
  std::vector<std::string> differences = testing::projectDifferences(*native, *jdbc);
  // The documented differences: the connection method.
  EXPECT_THAT(differences, ElementsAreArray({"database: DBConnectionMethod native -> JDBC"}));
}

struct Failure {
  const char* what;
  std::string database, password, driverJar;
  const char* message;
};

TEST_F(JdbcMariaDbTest, FailuresAreTheDriversOwnClearMessages) {
  const std::vector<Failure> cases = {
      {"wrong password", testing::kShopDb, "wrong", "", "Access denied for user 'tw_reader'"},
      {"unknown database", "no_such_db", testing::kReaderPassword, "", "no_such_db"},
      {"driver JAR gone", testing::kShopDb, testing::kReaderPassword, "/nonexistent/mariadb.jar",
       "The JDBC driver JAR \"/nonexistent/mariadb.jar\" (setting MySQLJDBCDriver) does not exist"},
      {"driver JAR not set", testing::kShopDb, testing::kReaderPassword, "-",
       "no JDBC driver is set for mysql; name its JAR file in the setting MySQLJDBCDriver"},
  };
  for (const Failure& f : cases) {
    SCOPED_TRACE(f.what);
    testing::configureJdbcDrivers();
    if (!f.driverJar.empty())
      RegWrite("HKCU", engine().regGeneral, "MySQLJDBCDriver", kRegString,
               Variant(f.driverJar == "-" ? std::string() : f.driverJar));
    auto proj = makeRef<AGP>();
    proj->AddProj("shop");
    LoadDB(*proj, Variant(f.database), Variant("mysql"), Variant(server().host()), Variant(port()),
           Variant(testing::kReader), Variant(f.password), Variant(""), Variant("JDBC"), Variant(""),
           Variant("utf-8"));
    EXPECT_THAT(AGP::ProjErr(), HasSubstr(f.message));
    EXPECT_EQ(proj->DBCnt(), 0);
  }
}

}  // namespace
}  // namespace tw
