// The program against the test binary's private PostgreSQL server: projects
// from a server and one of its schemas, passwords from the URL, the
// environment or the terminal, refused logins, and check and sync after the
// schema changed.
#include <gmock/gmock.h>

#include "cli_fixture.h"
#include "testing/mariadb_server.h"
#include "testing/postgres_server.h"

namespace tw::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

constexpr const char* kUser = "tw_cli_reader";
constexpr const char* kPassword = "Cli:Reader@9";
constexpr const char* kPasswordInUrl = "Cli%3AReader%409";

class PostgresCliTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    if (!PostgresServer::installed()) {
      if (runningInCi()) FAIL() << "postgresql is not installed";
      GTEST_SKIP() << "postgresql is not installed";
    }
    server_ = &PostgresServer::shared();
    ASSERT_TRUE(server_->available()) << server_->error();
    std::string message;
    ASSERT_TRUE(server_->recreateDatabase("tw_cli", &message)) << message;
    ASSERT_TRUE(server_->runScript(seedFolder("cli", __FILE__) / "cli_postgres.sql", &message, "tw_cli"))
        << message;
  }
  std::string hostPort() const { return server_->host() + ":" + std::to_string(server_->port()); }
  std::string url(const std::string& password = kPasswordInUrl, const std::string& scheme = "postgresql",
                  const std::string& query = "") const {
    return scheme + "://" + kUser + (password.empty() ? "" : ":" + password) + "@" + hostPort() + "/tw_cli" +
           query;
  }
  void super(const std::string& sql) {
    std::string message;
    ASSERT_TRUE(server_->runSql(sql, &message, "tw_cli")) << message;
  }
  fs::path makeProject() {
    RunResult r = run({"new", "shop.xml", "--db", url()});
    EXPECT_EQ(r.code, 0) << r;
    return work() / "shop.xml";
  }

 private:
  PostgresServer* server_ = nullptr;
};

TEST_F(PostgresCliTest, NewReadsTheServersTablesViewsAndConnection) {
  for (const char* scheme : {"postgresql", "postgres"}) {
    RunResult r = run({"new", "shop.xml", "--db", url(kPasswordInUrl, scheme), "--force"});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_THAT(r.out, HasSubstr("3 tables and views with 9 fields from postgresql://tw_cli_reader@" + hostPort() +
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
    EXPECT_EQ(attribute(p, "/Project/Database", "DBType"), "postgresql");
    EXPECT_EQ(attribute(p, "/Project/Database", "DBHost"), "127.0.0.1");
    EXPECT_EQ(attribute(p, "/Project/Database", "DBUID"), kUser);
    EXPECT_EQ(attribute(p, "/Project/Database", "DBQuoteS"), "\"");
    EXPECT_EQ(attribute(p, "/Project/Database", "DBPwd"), kPassword);  // %-escapes undone
    EXPECT_THAT(attribute(p, "/Project/Database", "DBURL"), Not(HasSubstr("Reader")));
  }
}

TEST_F(PostgresCliTest, TheUrlNamesTheSchemaTheProjectKeeps) {
  RunResult r = run({"new", "stock.xml", "--db", url(kPasswordInUrl, "postgresql", "?schema=Lager")});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("1 table or view with 2 fields from postgresql://tw_cli_reader@" + hostPort() +
                               "/tw_cli?schema=Lager"));
  fs::path p = work() / "stock.xml";
  EXPECT_THAT(childNames(p, "/Project/Database", "Table", "TblName"), ElementsAre("Artikel"));
  EXPECT_EQ(attribute(p, tableXPath("Artikel"), "TblKey"), "Nummer");
  // check and sync read the same schema again.
  EXPECT_EQ(run({"check", "stock.xml"}).code, 0);
  super("ALTER TABLE \"Lager\".\"Artikel\" ADD COLUMN \"Preis\" numeric(8, 2)");
  EXPECT_EQ(run({"check", "stock.xml"}).code, 1);
  ASSERT_EQ(run({"sync", "stock.xml"}).code, 0);
  EXPECT_THAT(childNames(p, tableXPath("Artikel"), "Field", "FldName"),
              ElementsAre("Nummer", "Bezeichnung", "Preis"));

  // A schema whose name holds what URLs escape: the project reads the same
  // schema again, and the application works in it.
  super("CREATE SCHEMA \"Stufe %41 & Co\"; CREATE TABLE \"Stufe %41 & Co\".\"Rabatt\" (\"Satz\" integer PRIMARY KEY);"
        "GRANT USAGE ON SCHEMA \"Stufe %41 & Co\" TO tw_cli_reader; "
        "GRANT SELECT ON ALL TABLES IN SCHEMA \"Stufe %41 & Co\" TO tw_cli_reader");
  r = run({"new", "odd.xml", "--db", url(kPasswordInUrl, "postgresql", "?schema=Stufe%20%2541%20%26%20Co"),
           "--template", std::string(TARNWICK_TEST_SOURCE_DIR) + "/templates/default", "--dest", "odd"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(childNames(work() / "odd.xml", "/Project/Database", "Table", "TblName"), ElementsAre("Rabatt"));
  RunResult checked = run({"check", "odd.xml"});
  EXPECT_EQ(checked.code, 0) << checked;
  ASSERT_EQ(run({"generate", "odd.xml", "--overwrite", "all"}).code, 0);
  EXPECT_THAT(read(work() / "odd" / "config.php"), HasSubstr("'schema' => 'Stufe %41 & Co',"));

  struct Bad {
    std::string url, message;
  };
  const Bad bad[] = {
      {url(kPasswordInUrl, "postgresql", "?schema=nowhere"), "Schema \"nowhere\" does not exist"},
      {url(kPasswordInUrl, "postgresql", "?sslmode=require"), "unknown parameter \"sslmode=require\""},
      {url(kPasswordInUrl, "postgresql", "?schema="), "unknown parameter \"schema=\""},
  };
  for (const Bad& b : bad) {
    RunResult failed = run({"new", "other.xml", "--db", b.url});
    EXPECT_NE(failed.code, 0) << failed;
    EXPECT_THAT(failed.err, HasSubstr(b.message)) << b.url;
    EXPECT_FALSE(fs::exists(work() / "other.xml"));
  }
}

TEST_F(PostgresCliTest, APasswordMissingFromTheUrlComesFromTheEnvironmentOrTheTerminal) {
  setEnv("TARNWICK_DB_PASSWORD", kPassword);
  RunResult r = run({"new", "shop.xml", "--db", url(""), "--tables", "orders"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(attribute(work() / "shop.xml", tableXPath("orders"), "TblLoaded"), "1");
  EXPECT_EQ(attribute(work() / "shop.xml", tableXPath("customers"), "TblLoaded"), "0");
  unsetEnv("TARNWICK_DB_PASSWORD");
  // libpq's own variable.
  setEnv("PGPASSWORD", kPassword);
  r = run({"new", "shop.xml", "--db", url(""), "--force"});
  ASSERT_EQ(r.code, 0) << r;
  unsetEnv("PGPASSWORD");
  r = runOnTerminal({"new", "shop.xml", "--db", url(""), "--force"},
                    {{"Password for tw_cli_reader@127.0.0.1: ", kPassword}});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, Not(HasSubstr(kPassword)));
  EXPECT_EQ(attribute(work() / "shop.xml", "/Project/Database", "DBPwd"), kPassword);
}

TEST_F(PostgresCliTest, RefusedConnectionsWriteNothing) {
  RunResult wrong = run({"new", "shop.xml", "--db", url("wrong")});
  EXPECT_EQ(wrong.code, 1) << wrong;
  EXPECT_THAT(wrong.err, HasSubstr("password authentication failed for user \"tw_cli_reader\""));
  EXPECT_FALSE(fs::exists(work() / "shop.xml"));
  RunResult database = run({"new", "shop.xml", "--db",
                            std::string("postgresql://") + kUser + ":" + kPasswordInUrl + "@" + hostPort() +
                                "/tw_nothere"});
  EXPECT_EQ(database.code, 1) << database;
  EXPECT_THAT(database.err, HasSubstr("tw_nothere"));
  EXPECT_FALSE(fs::exists(work() / "shop.xml"));
}

TEST_F(PostgresCliTest, CheckAndSyncAfterTheSchemaChanged) {
  fs::path p = makeProject();
  ASSERT_EQ(run({"set", "shop.xml", "customers", "name", "FldCaption=Full name"}).code, 0);
  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
  super("ALTER TABLE customers ADD COLUMN phone varchar(20)");
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

TEST_F(PostgresCliTest, ANewEnumerationValueIsFoundAndTakenOver) {
  fs::path p = makeProject();
  super("ALTER TYPE order_status ADD VALUE 'returned'");
  RunResult check = run({"check", "shop.xml"});
  EXPECT_EQ(check.code, 1) << check;
  ASSERT_EQ(run({"sync", "shop.xml"}).code, 0);
  EXPECT_THAT(attribute(p, fieldXPath("orders", "status"), "FldTagValues"),
              HasSubstr("\"returned\",\"returned\""));
  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
}

TEST_F(PostgresCliTest, CustomViewsRunOnTheServer) {
  fs::path p = makeProject();
  RunResult r = run({"add-view", "shop.xml", "paid", "--sql",
                     "SELECT o.id, c.name, o.total FROM orders o JOIN customers c ON c.id = o.customer_id "
                     "WHERE o.status = 'paid'"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(childNames(p, tableXPath("paid"), "Field", "FldName"), ElementsAre("id", "name", "total"));
  RunResult denied = run({"add-view", "shop.xml", "secret", "--sql", "SELECT * FROM pg_authid"});
  EXPECT_EQ(denied.code, 1) << denied;
  EXPECT_THAT(denied.err, HasSubstr("permission denied"));
}

}  // namespace
}  // namespace tw::testing
