// tarnwick check and tarnwick sync against an SQLite file that changes
// behind the project's back.
#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class SyncTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    project = newShop();
    db = work() / "shop.sqlite";
  }
  void alter(const std::string& sql) { execSqlite(db, sql); }
  std::vector<std::string> tables() { return childNames(project, "/Project/Database", "Table", "TblName"); }
  std::vector<std::string> fields(const std::string& table) {
    return childNames(project, tableXPath(table), "Field", "FldName");
  }

  fs::path project;
  fs::path db;
};

TEST_F(SyncTest, CheckExitsZeroWhenTheProjectMatches) {
  RunResult r = run({"check", "shop.xml"});
  EXPECT_EQ(r.code, 0) << r;
  EXPECT_EQ(r.out, "shop.xml is in sync with the database\n");
}

TEST_F(SyncTest, CheckCountsTheDifferencesAndExitsOne) {
  // A new column: a new column, a changed table, and the database's column
  // that matched no field counted once more against the table's columns.
  alter("ALTER TABLE orders ADD COLUMN note TEXT;");
  RunResult column = run({"check", "shop.xml"});
  EXPECT_EQ(column.code, 1) << column;
  EXPECT_EQ(column.out, "shop.xml differs from the database: 3 differences (tarnwick sync updates it)\n");
  // A new table of two columns adds one table and two columns.
  alter("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT);");
  RunResult table = run({"check", "shop.xml"});
  EXPECT_EQ(table.code, 1) << table;
  EXPECT_THAT(table.out, HasSubstr(": 6 differences"));
  EXPECT_EQ(run({"check", "shop.xml", "--quiet"}).out, "");
}

TEST_F(SyncTest, CheckTroubleExitsTwo) {
  fs::rename(db, work() / "moved.sqlite");
  RunResult unreachable = run({"check", "shop.xml"});
  EXPECT_EQ(unreachable.code, 2) << unreachable;
  EXPECT_THAT(unreachable.err, HasSubstr(db.string()));
  RunResult missing = run({"check", "nothere.xml"});
  EXPECT_EQ(missing.code, 2) << missing;
  EXPECT_THAT(missing.err, HasSubstr("nothere.xml: no such project file"));
}

TEST_F(SyncTest, CheckWarnsAboutCustomViewsThatNoLongerRun) {
  ASSERT_EQ(run({"add-view", "shop.xml", "mails", "--sql", "SELECT email FROM customers"}).code, 0);
  alter("ALTER TABLE customers DROP COLUMN email;");
  RunResult r = run({"check", "shop.xml"});
  EXPECT_EQ(r.code, 1) << r;
  EXPECT_THAT(r.err, HasSubstr("warning: mails: no such column: email"));
}

TEST_F(SyncTest, SyncAddsAndRemovesColumnsAndKeepsSettings) {
  ASSERT_EQ(run({"set", "shop.xml", "orders", "total", "FldCaption=Amount"}).code, 0);
  alter("ALTER TABLE orders ADD COLUMN note TEXT;");
  RunResult r = run({"sync", "shop.xml"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_EQ(r.out, "From the schema: 1 caption\nUpdated shop.xml: 3 differences applied\n");
  EXPECT_THAT(fields("orders"), ElementsAre("id", "customer_id", "total", "placed", "note"));
  EXPECT_EQ(attribute(project, fieldXPath("orders", "total"), "FldCaption"), "Amount");
  EXPECT_EQ(attribute(project, fieldXPath("orders", "note"), "FldCaption"), "Note");
  // Only gone, nothing new: no question whether it was renamed.
  alter("DROP VIEW big_orders; ALTER TABLE orders DROP COLUMN placed;");
  ASSERT_EQ(run({"sync", "shop.xml"}).code, 0);
  EXPECT_THAT(fields("orders"), ElementsAre("id", "customer_id", "total", "note"));
  EXPECT_THAT(tables(), ::testing::UnorderedElementsAre("customers", "orders"));
  EXPECT_EQ(attribute(project, fieldXPath("orders", "total"), "FldCaption"), "Amount");
  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
  // In line now: nothing to do and the file stays as it is.
  Snapshot before = snapshot(project);
  RunResult again = run({"sync", "shop.xml"});
  EXPECT_EQ(again.code, 0) << again;
  EXPECT_EQ(again.out, "shop.xml is already in sync with the database\n");
  EXPECT_TRUE(snapshot(project) == before);
}

TEST_F(SyncTest, ARenamedTableNeedsAMapWithoutATerminal) {
  ASSERT_EQ(run({"set", "shop.xml", "customers", "TblCaption=Our customers"}).code, 0);
  alter("ALTER TABLE customers RENAME TO clients;");
  Snapshot before = snapshot(project);
  RunResult r = run({"sync", "shop.xml"});
  EXPECT_EQ(r.code, 2) << r;
  EXPECT_THAT(r.err, HasSubstr("clients; gone: customers"));
  EXPECT_THAT(r.err, HasSubstr("decide with --map FILE"));
  EXPECT_TRUE(snapshot(project) == before);
}

TEST_F(SyncTest, AMapFileKeepsARenamedTablesSettings) {
  ASSERT_EQ(run({"set", "shop.xml", "customers", "TblCaption=Our customers"}).code, 0);
  alter("ALTER TABLE customers RENAME TO clients;");
  write(work() / "map.txt", "# renamed\r\n  customers -> clients  \r\n\r\n");
  RunResult r = run({"sync", "shop.xml", "--map", "map.txt"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(tables(), ::testing::UnorderedElementsAre("clients", "orders", "big_orders"));
  EXPECT_EQ(attribute(project, tableXPath("clients"), "TblCaption"), "Our customers");
}

TEST_F(SyncTest, AnEmptyMapTakesRenamesAsRemovedAndNew) {
  ASSERT_EQ(run({"set", "shop.xml", "customers", "TblCaption=Our customers"}).code, 0);
  alter("ALTER TABLE customers RENAME TO clients;");
  write(work() / "map.txt", "");
  ASSERT_EQ(run({"sync", "shop.xml", "--map", "map.txt"}).code, 0);
  EXPECT_THAT(tables(), ::testing::UnorderedElementsAre("clients", "orders", "big_orders"));
  EXPECT_NE(attribute(project, tableXPath("clients"), "TblCaption"), "Our customers");
}

TEST_F(SyncTest, AMapFileNamesRenamedFieldsByTheirTable) {
  ASSERT_EQ(run({"set", "shop.xml", "orders", "total", "FldCaption=Amount"}).code, 0);
  alter("ALTER TABLE orders RENAME COLUMN total TO amount;");
  write(work() / "map.txt", "orders: total -> amount\n");
  RunResult r = run({"sync", "shop.xml", "--map", "map.txt"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(fields("orders"), ElementsAre("id", "customer_id", "amount", "placed"));
  EXPECT_EQ(attribute(project, fieldXPath("orders", "amount"), "FldCaption"), "Amount");
}

TEST_F(SyncTest, OnATerminalRenamesAreAsked) {
  ASSERT_EQ(run({"set", "shop.xml", "customers", "TblCaption=Our customers"}).code, 0);
  alter("ALTER TABLE customers RENAME TO clients;");
  RunResult r = runOnTerminal({"sync", "shop.xml"}, {{"was (number, empty for none):", "1"}});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("customers"));
  EXPECT_EQ(attribute(project, tableXPath("clients"), "TblCaption"), "Our customers");
}

TEST_F(SyncTest, BadMapFilesAreRefused) {
  alter("ALTER TABLE customers RENAME TO clients;");
  Snapshot before = snapshot(project);
  write(work() / "map.txt", "customers clients\n");
  RunResult arrow = run({"sync", "shop.xml", "--map", "map.txt"});
  EXPECT_EQ(arrow.code, 2) << arrow;
  EXPECT_THAT(arrow.err, HasSubstr("map.txt:1: expected OLD -> NEW"));
  write(work() / "map.txt", "# fine\ncustomers ->\n");
  RunResult missing = run({"sync", "shop.xml", "--map", "map.txt"});
  EXPECT_EQ(missing.code, 2) << missing;
  EXPECT_THAT(missing.err, HasSubstr("map.txt:2: a name is missing"));
  RunResult none = run({"sync", "shop.xml", "--map", "nothere.txt"});
  EXPECT_EQ(none.code, 1) << none;
  EXPECT_TRUE(snapshot(project) == before);
}

TEST_F(SyncTest, ChangedPrimaryKeysFollowTheDatabaseUnlessKept) {
  const std::string rebuild =
      "CREATE TABLE orders2 (id INTEGER NOT NULL, customer_id INTEGER NOT NULL, total DECIMAL(10,2), placed "
      "DATE, "
      "PRIMARY KEY (id, customer_id));"
      "DROP VIEW big_orders; DROP TABLE orders; ALTER TABLE orders2 RENAME TO orders;"
      "CREATE VIEW big_orders AS SELECT id, total FROM orders WHERE total > 100;";
  fs::copy_file(project, work() / "kept.xml");
  alter(rebuild);
  ASSERT_EQ(run({"sync", "shop.xml"}).code, 0);
  EXPECT_EQ(attribute(project, tableXPath("orders"), "TblKey"), "customer_id,id");
  EXPECT_EQ(attribute(project, fieldXPath("orders", "customer_id"), "FldIsPrimaryKey"), "1");
  ASSERT_EQ(run({"sync", "kept.xml", "--keep-keys"}).code, 0);
  EXPECT_EQ(attribute(work() / "kept.xml", tableXPath("orders"), "TblKey"), "id");
}

}  // namespace
}  // namespace tw::testing
