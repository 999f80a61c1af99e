// The program against the test binary's private MariaDB server: projects
// from a server, passwords from the URL, the environment or the terminal,
// refused logins, and check and sync after the schema changed.
#include <gmock/gmock.h>

#include "cli_fixture.h"
#include "testing/mariadb_server.h"

namespace tw::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

constexpr const char* kUser = "tw_cli_reader";
constexpr const char* kPassword = "Cli:Reader@9";
constexpr const char* kPasswordInUrl = "Cli%3AReader%409";

class MariaDbCliTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    if (!MariaDbServer::installed()) GTEST_SKIP() << "mariadb-server is not installed";
    server_ = &MariaDbServer::shared();
    ASSERT_TRUE(server_->available()) << server_->error();
    std::string message;
    ASSERT_TRUE(server_->runScript(seedFolder("cli", __FILE__) / "cli.sql", &message)) << message;
  }
  std::string hostPort() const { return server_->host() + ":" + std::to_string(server_->port()); }
  std::string url(const std::string& password = kPasswordInUrl) const {
    return std::string("mysql://") + kUser + (password.empty() ? "" : ":" + password) + "@" + hostPort() +
           "/tw_cli";
  }
  void root(const std::string& sql) {
    std::string message;
    ASSERT_TRUE(server_->runSql(sql, &message, "tw_cli")) << message;
  }
  fs::path makeProject() {
    RunResult r = run({"new", "shop.xml", "--db", url()});
    EXPECT_EQ(r.code, 0) << r;
    return work() / "shop.xml";
  }

 private:
  MariaDbServer* server_ = nullptr;
};

TEST_F(MariaDbCliTest, NewReadsTheServersTablesViewsAndConnection) {
  RunResult r = run({"new", "shop.xml", "--db", url()});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("3 tables and views with 9 fields from mysql://tw_cli_reader@" + hostPort() +
                               "/tw_cli"));
  EXPECT_THAT(r.out, Not(HasSubstr(kPasswordInUrl)));
  fs::path p = work() / "shop.xml";
  EXPECT_THAT(childNames(p, "/Project/Database", "Table", "TblName"),
              UnorderedElementsAre("customers", "orders", "big_orders"));
  EXPECT_THAT(childNames(p, tableXPath("orders"), "Field", "FldName"),
              ElementsAre("id", "customer_id", "total", "status"));
  EXPECT_EQ(attribute(p, tableXPath("big_orders"), "TblType"), "VIEW");
  EXPECT_EQ(attribute(p, fieldXPath("orders", "status"), "FldTagValues"),
            "\"new\",\"new\"|\"paid\",\"paid\"|\"sent\",\"sent\"");
  EXPECT_EQ(attribute(p, "/Project/Database", "DBName"), "tw_cli");
  EXPECT_EQ(attribute(p, "/Project/Database", "DBType"), "mysql");
  EXPECT_EQ(attribute(p, "/Project/Database", "DBHost"), "127.0.0.1");
  EXPECT_EQ(attribute(p, "/Project/Database", "DBUID"), kUser);
  // The %-escapes of the URL are undone.
  EXPECT_EQ(attribute(p, "/Project/Database", "DBPwd"), kPassword);
}

TEST_F(MariaDbCliTest, APasswordMissingFromTheUrlComesFromTheEnvironment) {
  setEnv("TARNWICK_DB_PASSWORD", kPassword);
  RunResult r = run({"new", "shop.xml", "--db", url(""), "--tables", "orders"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(attribute(work() / "shop.xml", "/Project/Database", "DBPwd"), kPassword);
  EXPECT_EQ(attribute(work() / "shop.xml", tableXPath("orders"), "TblLoaded"), "1");
  EXPECT_EQ(attribute(work() / "shop.xml", tableXPath("customers"), "TblLoaded"), "0");
}

TEST_F(MariaDbCliTest, APasswordMissingFromTheUrlIsAskedOnATerminalWithoutEcho) {
  RunResult r = runOnTerminal({"new", "shop.xml", "--db", url("")},
                              {{"Password for tw_cli_reader@127.0.0.1: ", kPassword}});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("Password for tw_cli_reader@127.0.0.1: "));
  EXPECT_THAT(r.out, Not(HasSubstr(kPassword)));
  EXPECT_EQ(attribute(work() / "shop.xml", "/Project/Database", "DBPwd"), kPassword);
}

TEST_F(MariaDbCliTest, RefusedConnectionsWriteNothing) {
  RunResult wrong = run({"new", "shop.xml", "--db", url("wrong")});
  EXPECT_EQ(wrong.code, 1) << wrong;
  EXPECT_THAT(wrong.err, HasSubstr("Access denied for user 'tw_cli_reader'"));
  EXPECT_FALSE(fs::exists(work() / "shop.xml"));
  // Without a password and nobody to ask, the login is tried without one.
  RunResult none = run({"new", "shop.xml", "--db", url("")});
  EXPECT_EQ(none.code, 1) << none;
  EXPECT_THAT(none.err, HasSubstr("Access denied"));
  RunResult database =
      run({"new", "shop.xml", "--db",
           std::string("mysql://") + kUser + ":" + kPasswordInUrl + "@" + hostPort() + "/tw_nothere"});
  EXPECT_EQ(database.code, 1) << database;
  EXPECT_FALSE(fs::exists(work() / "shop.xml"));
}

TEST_F(MariaDbCliTest, CheckAndSyncAfterTheSchemaChanged) {
  fs::path p = makeProject();
  ASSERT_EQ(run({"set", "shop.xml", "customers", "name", "FldCaption=Full name"}).code, 0);
  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
  root("ALTER TABLE customers ADD COLUMN phone VARCHAR(20)");
  RunResult check = run({"check", "shop.xml"});
  EXPECT_EQ(check.code, 1) << check;
  EXPECT_THAT(check.out, HasSubstr("3 differences"));
  RunResult sync = run({"sync", "shop.xml"});
  ASSERT_EQ(sync.code, 0) << sync;
  EXPECT_THAT(childNames(p, tableXPath("customers"), "Field", "FldName"),
              ElementsAre("id", "name", "email", "phone"));
  EXPECT_EQ(attribute(p, fieldXPath("customers", "name"), "FldCaption"), "Full name");
  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
}

// The same database through MariaDB Connector/J (the shipped defaults name
// Debian's driver): the same project file but for the connection method,
// and check and sync work through it.
TEST_F(MariaDbCliTest, TheJavaDriverGivesTheSameProjectAndChecksAndSyncsThroughIt) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "Java connections are not available in a build with AddressSanitizer";
#endif
  for (const char* file : {"/usr/lib/jvm/default-java/lib/server/libjvm.so", "/usr/share/java/mariadb-java-client.jar"})
    if (!fs::exists(file)) {
      if (std::getenv("CI") && std::string(std::getenv("CI")) == "true")
        FAIL() << file << " is missing (packages default-jdk-headless, libmariadb-java)";
      GTEST_SKIP() << file << " is missing (packages default-jdk-headless, libmariadb-java)";
    }
  const std::string jdbcUrl = "mysql+jdbc" + url().substr(5);
  RunResult native = run({"new", "native.xml", "--name", "shop", "--no-login", "--db", url()});
  ASSERT_EQ(native.code, 0) << native;
  RunResult jdbc = run({"new", "shop.xml", "--name", "shop", "--no-login", "--db", jdbcUrl});
  ASSERT_EQ(jdbc.code, 0) << jdbc;
  EXPECT_THAT(jdbc.out, HasSubstr("from mysql+jdbc://tw_cli_reader@" + hostPort() + "/tw_cli"));
  fs::path p = work() / "shop.xml";
  EXPECT_EQ(attribute(p, "/Project/Database", "DBConnectionMethod"), "JDBC");
  std::string viaJava = read(p);
  const std::string method = "DBConnectionMethod=\"JDBC\"";
  ASSERT_NE(viaJava.find(method), std::string::npos);
  viaJava.replace(viaJava.find(method), method.size(), "DBConnectionMethod=\"native\"");
  EXPECT_EQ(viaJava, read(work() / "native.xml"));

  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
  root("ALTER TABLE customers ADD COLUMN phone VARCHAR(20)");
  RunResult check = run({"check", "shop.xml"});
  EXPECT_EQ(check.code, 1) << check;
  EXPECT_THAT(check.out, HasSubstr("3 differences"));
  RunResult sync = run({"sync", "shop.xml"});
  ASSERT_EQ(sync.code, 0) << sync;
  EXPECT_THAT(childNames(p, tableXPath("customers"), "Field", "FldName"),
              ElementsAre("id", "name", "email", "phone"));
  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
  root("ALTER TABLE customers DROP COLUMN phone");
}

TEST_F(MariaDbCliTest, ANewEnumerationValueIsFoundAndTakenOver) {
  fs::path p = makeProject();
  root("ALTER TABLE orders MODIFY status ENUM('new','paid','sent','returned') NOT NULL DEFAULT 'new'");
  RunResult check = run({"check", "shop.xml"});
  EXPECT_EQ(check.code, 1) << check;
  ASSERT_EQ(run({"sync", "shop.xml"}).code, 0);
  EXPECT_THAT(attribute(p, fieldXPath("orders", "status"), "FldTagValues"),
              HasSubstr("\"returned\",\"returned\""));
  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
}

TEST_F(MariaDbCliTest, CheckWithAPasswordThatNoLongerWorksExitsTwo) {
  fs::path p = makeProject();
  ASSERT_EQ(run({"set", "shop.xml", "--database", "DBPwd=changed"}).code, 0);
  Snapshot before = snapshot(p);
  RunResult check = run({"check", "shop.xml"});
  EXPECT_EQ(check.code, 2) << check;
  EXPECT_THAT(check.err, HasSubstr("Access denied"));
  RunResult sync = run({"sync", "shop.xml"});
  EXPECT_EQ(sync.code, 1) << sync;
  EXPECT_THAT(sync.err, HasSubstr("Access denied"));
  EXPECT_TRUE(snapshot(p) == before);
}

TEST_F(MariaDbCliTest, AProjectWithoutAPasswordTakesItFromTheEnvironmentAndDoesNotKeepIt) {
  fs::path p = makeProject();
  ASSERT_EQ(run({"set", "shop.xml", "--database", "DBPwd="}).code, 0);
  RunResult without = run({"check", "shop.xml"});
  EXPECT_EQ(without.code, 2) << without;
  EXPECT_THAT(without.err, HasSubstr("Access denied"));
  setEnv("TARNWICK_DB_PASSWORD", kPassword);
  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
  root("ALTER TABLE customers ADD COLUMN phone VARCHAR(20)");
  ASSERT_EQ(run({"sync", "shop.xml"}).code, 0);
  EXPECT_EQ(childNames(p, tableXPath("customers"), "Field", "FldName").size(), 4u);
  EXPECT_EQ(attribute(p, "/Project/Database", "DBPwd"), "");
  // A password kept in the project wins over the environment.
  ASSERT_EQ(run({"set", "shop.xml", "--database", "DBPwd=wrong"}).code, 0);
  EXPECT_EQ(run({"check", "shop.xml"}).code, 2);
}

TEST_F(MariaDbCliTest, CustomViewsRunOnTheServer) {
  fs::path p = makeProject();
  RunResult r = run({"add-view", "shop.xml", "paid", "--sql",
                     "SELECT o.id, c.name, o.total FROM orders o JOIN customers c ON c.id = o.customer_id "
                     "WHERE o.status = 'paid'"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(childNames(p, tableXPath("paid"), "Field", "FldName"), ElementsAre("id", "name", "total"));
  RunResult denied = run({"add-view", "shop.xml", "secret", "--sql", "SELECT * FROM mysql.user"});
  EXPECT_EQ(denied.code, 1) << denied;
  EXPECT_THAT(denied.err, HasSubstr("denied"));
}

TEST_F(MariaDbCliTest, NewTurnsTheServersKeysListsAndYesNoColumnsIntoSettings) {
  root(
      "CREATE TABLE staff (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, full_name VARCHAR(60) NOT NULL,"
      "  manager_id INT NULL, active TINYINT(1) NOT NULL DEFAULT 1, on_leave BIT(1) NOT NULL DEFAULT b'0',"
      "  level TINYINT, status VARCHAR(12) CHECK (status IN ('new', 'done')), hired_on DATE,"
      "  skills SET('sql','php','css'), shirt ENUM('XS','S','M','L','XL','XXL'), team ENUM('red','blue'),"
      "  CONSTRAINT fk_staff_manager FOREIGN KEY (manager_id) REFERENCES staff (id)) ENGINE=InnoDB;"
      "CREATE TABLE sites (region CHAR(2) NOT NULL, code INT NOT NULL, PRIMARY KEY (region, code)) ENGINE=InnoDB;"
      "CREATE TABLE counters (n INT NOT NULL PRIMARY KEY, hits INT) ENGINE=InnoDB;"
      "CREATE TABLE visits (id INT NOT NULL PRIMARY KEY, site_region CHAR(2), site_code INT, host_id INT,"
      "  guest_id INT, counter_n INT, customer_id INT,"
      "  CONSTRAINT fk_v_site FOREIGN KEY (site_region, site_code) REFERENCES sites (region, code),"
      "  CONSTRAINT fk_v_host FOREIGN KEY (host_id) REFERENCES staff (id),"
      "  CONSTRAINT fk_v_guest FOREIGN KEY (guest_id) REFERENCES staff (id),"
      "  CONSTRAINT fk_v_counter FOREIGN KEY (counter_n) REFERENCES counters (n),"
      "  CONSTRAINT fk_v_customer FOREIGN KEY (customer_id) REFERENCES customers (id)) ENGINE=InnoDB;"
      "CREATE TABLE prices (id INT NOT NULL PRIMARY KEY, price DECIMAL(8,2)) WITH SYSTEM VERSIONING;");
  RunResult r = run({"new", "rel.xml", "--db", url(), "--tables", "staff,sites,counters,visits,prices,orders"});
  ASSERT_EQ(r.code, 0) << r;
  fs::path p = work() / "rel.xml";
  expectSettings(p, {
                        {"staff", "manager_id", "FldTagLnkTbl", "staff"},
                        {"staff", "manager_id", "FldTagLnkDisplay", "full_name"},
                        {"staff", "manager_id", "FldCaption", "Manager"},
                        {"staff", "", "TblMasterTbl", "staff"},
                        {"staff", "active", "FldHtmlTag", "CHECKBOX"},
                        {"staff", "on_leave", "FldHtmlTag", "CHECKBOX"},
                        {"staff", "level", "FldHtmlTag", "TEXT"},
                        {"staff", "status", "FldHtmlTag", "RADIO"},
                        {"staff", "status", "FldTagValues", "\"new\",\"new\"|\"done\",\"done\""},
                        {"staff", "hired_on", "FldPopCalendar", "1"},
                        // A set: a checkbox per member; a long enumeration: a list.
                        {"staff", "skills", "FldHtmlTag", "CHECKBOX"},
                        {"staff", "skills", "FldSelectMultiple", "1"},
                        {"staff", "shirt", "FldHtmlTag", "SELECT"},
                        {"staff", "team", "FldHtmlTag", "RADIO"},
                        {"staff", "team", "FldBasicSearch", "0"},
                        {"visits", "host_id", "FldTagLnkTbl", "staff"},
                        {"visits", "guest_id", "FldTagLnkTbl", "staff"},
                        {"visits", "counter_n", "FldTagLnkDisplay", "n"},
                        // customers is listed, not loaded: no lookup, no link.
                        {"visits", "customer_id", "FldHtmlTag", "TEXT"},
                        {"visits", "", "TblMasterTbl", "sites,staff,staff,counters"},
                        {"visits", "", "TblMasterFld", "region+code,id,id,n"},
                        {"visits", "", "TblDetailFld", "site_region+site_code,host_id,guest_id,counter_n"},
                        {"prices", "", "TblType", "TABLE"},
                        {"prices", "", "TblLoaded", "1"},
                        {"orders", "status", "FldHtmlTag", "RADIO"},
                    });
}

}  // namespace
}  // namespace tw::testing
