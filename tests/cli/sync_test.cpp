// tarnwick check and tarnwick sync against an SQLite file that changes
// behind the project's back.
#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

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
  EXPECT_EQ(column.out,
            "shop.xml differs from the database: 3 differences (tarnwick sync updates it)\n"
            "  field orders.note added (TEXT)\n");
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

TEST_F(SyncTest, ATableNamedLikeACustomViewIsNoDifference) {
  // The view keeps its name; the table can never join the project, so check
  // and sync settle at once, whatever the letter case of the table's name.
  ASSERT_EQ(run({"add-view", "shop.xml", "mails", "--sql", "SELECT email FROM customers"}).code, 0);
  for (const char* name : {"mails", "MAILS"}) {
    alter(std::string("CREATE TABLE ") + name + " (id INTEGER PRIMARY KEY, body TEXT);");
    for (int round = 0; round < 2; ++round) {
      RunResult r = run({"check", "shop.xml"});
      EXPECT_EQ(r.code, 0) << name << "\n" << r;
      EXPECT_EQ(r.out, "shop.xml is in sync with the database\n") << name;
      ASSERT_EQ(run({"sync", "shop.xml"}).code, 0) << name;
    }
    EXPECT_EQ(attribute(project, tableXPath("mails"), "TblType"), "CUSTOMVIEW");
    alter(std::string("DROP TABLE ") + name + ";");
  }
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

TEST_F(SyncTest, MapNamesThatMatchNothingAreRefusedByName) {
  ASSERT_EQ(run({"set", "shop.xml", "customers", "TblCaption=Our customers"}).code, 0);
  alter("ALTER TABLE customers RENAME TO clients; ALTER TABLE orders RENAME COLUMN total TO amount;");
  Snapshot before = snapshot(project);
  struct Case {
    std::string map, message;
  } cases[] = {
      {"custmers -> clients\n", "map.txt:1: no table or view \"custmers\" in the project"},
      {"customers -> clints\n", "map.txt:1: no table or view \"clints\" in the database"},
      {"customers -> clients\nordrs: total -> amount\n", "map.txt:2: no table or view \"ordrs\" in the project"},
      {"customers -> clients\norders: totl -> amount\n", "map.txt:2: no field \"totl\" in orders"},
      {"customers -> clients\norders: total -> amont\n",
       "map.txt:2: no column \"amont\" in orders in the database"},
      {"customers -> clients\nclients: nme -> nam\n", "map.txt:2: no field \"nme\" in customers"},
  };
  for (const Case& c : cases) {
    write(work() / "map.txt", c.map);
    for (const char* command : {"sync", "generate"}) {
      std::vector<std::string> args = {command, "shop.xml", "--map", "map.txt"};
      if (std::string(command) == "generate") {
        ASSERT_EQ(run({"set", "shop.xml", "AutoSync=True"}).code, 0);
        before = snapshot(project);
        args.insert(args.end(), {"--sync", "update", "--dest", "site"});
      }
      RunResult r = run(args);
      EXPECT_EQ(r.code, 2) << c.map << r;
      EXPECT_THAT(r.err, HasSubstr(c.message)) << c.map;
      EXPECT_TRUE(snapshot(project) == before) << c.map;
    }
    ASSERT_EQ(run({"set", "shop.xml", "AutoSync=False"}).code, 0);
    before = snapshot(project);
  }
  // The right map keeps the settings; used again once the renames are
  // made, it still passes.
  write(work() / "map.txt", "customers -> clients\norders: total -> amount\n");
  for (int i = 0; i < 2; ++i) {
    RunResult r = run({"sync", "shop.xml", "--map", "map.txt"});
    ASSERT_EQ(r.code, 0) << r;
  }
  EXPECT_EQ(attribute(project, tableXPath("clients"), "TblCaption"), "Our customers");
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

// Each change of the schema is named in check's listing and JSON: which
// table, view or field, and how it changed.
TEST_F(SyncTest, CheckNamesEachDifferenceAndHowItChanged) {
  const std::string rebuildOrders =
      "DROP VIEW big_orders; DROP TABLE orders;"
      "CREATE TABLE orders (id INTEGER NOT NULL, customer_id INTEGER NOT NULL, total DECIMAL(12,2), "
      "placed DATE, PRIMARY KEY (id, customer_id));"
      "CREATE VIEW big_orders AS SELECT id, total FROM orders WHERE total > 100;";
  struct Case {
    std::string sql;
    std::vector<std::string> json;  // lines of check --json's differences
    std::string text;               // a line of the listing
  };
  const std::vector<Case> cases = {
      {"ALTER TABLE orders ADD COLUMN note TEXT;",
       {R"J({"kind": "field", "name": "orders", "field": "note", "change": "added", "to": "TEXT"})J"},
       "  field orders.note added (TEXT)\n"},
      {"ALTER TABLE customers DROP COLUMN email;",
       {R"J({"kind": "field", "name": "customers", "field": "email", "change": "dropped", "from": "VARCHAR(120)"})J"},
       "  field customers.email dropped (was VARCHAR(120))\n"},
      {"ALTER TABLE customers RENAME COLUMN email TO mail;",
       {R"J({"kind": "field", "name": "customers", "field": "mail", "change": "renamed?", "from": "email")J"},
       "  field customers.mail is new; renamed from email?\n"},
      {"CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT);",
       {R"J({"kind": "table", "name": "notes", "change": "added"})J"},
       "  table notes added\n"},
      {"DROP VIEW big_orders;", {R"J({"kind": "view", "name": "big_orders", "change": "dropped"})J"},
       "  view big_orders dropped\n"},
      {"ALTER TABLE customers RENAME TO clients;",
       {R"J({"kind": "table", "name": "clients", "change": "renamed?", "from": "customers"})J"},
       "  table clients is new; renamed from customers?\n"},
      {rebuildOrders,
       {R"J({"kind": "key", "name": "orders", "change": "key changed", "from": "id", "to": "customer_id,id"})J",
        R"J({"kind": "field", "name": "orders", "field": "total", "change": "retyped", "from": "DECIMAL(10,2)", "to": "DECIMAL(12,2)"})J",
        R"J({"kind": "field", "name": "orders", "field": "id", "change": "changed", "from": "unique, auto-increment, row id", "to": "not unique, not auto-increment, not row id"})J",
        R"J({"kind": "field", "name": "orders", "field": "customer_id", "change": "changed", "from": "not key column", "to": "key column"})J"},
       "  table orders primary key changed: id -> customer_id,id\n"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "case" + std::to_string(++n);
    fs::copy_file(db, work() / (name + ".sqlite"));
    ASSERT_EQ(run({"new", name + ".xml", "--db", "sqlite:" + name + ".sqlite"}).code, 0);
    execSqlite(work() / (name + ".sqlite"), c.sql);
    RunResult json = run({"check", name + ".xml", "--json"});
    EXPECT_EQ(json.code, 1) << c.sql << "\n" << json;
    EXPECT_THAT(json.out, HasSubstr("\"in_sync\": false")) << c.sql;
    for (const std::string& line : c.json)
      EXPECT_THAT(json.out, HasSubstr(line)) << c.sql << "\n" << json.out;
    RunResult text = run({"check", name + ".xml"});
    EXPECT_THAT(text.out, HasSubstr(c.text)) << c.sql << "\n" << text.out;
  }
  // A project in line says so in JSON too.
  RunResult same = run({"check", "shop.xml", "--json"});
  EXPECT_EQ(same.code, 0) << same;
  EXPECT_THAT(same.out, HasSubstr("\"in_sync\": true,\n  \"count\": 0,\n  \"differences\": []"));
}

TEST_F(SyncTest, SyncWritesWhatItDidAsJson) {
  alter("ALTER TABLE orders ADD COLUMN note TEXT;");
  RunResult r = run({"sync", "shop.xml", "--json"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("\"updated\": true,\n  \"count\": 3,"));
  EXPECT_THAT(r.out, HasSubstr(R"J({"kind": "field", "name": "orders", "field": "note", "change": "added")J"));
  EXPECT_THAT(r.out, HasSubstr("\"seconds\": "));
  EXPECT_THAT(fields("orders"), ElementsAre("id", "customer_id", "total", "placed", "note"));
  RunResult again = run({"sync", "shop.xml", "--json"});
  EXPECT_THAT(again.out, HasSubstr("\"updated\": false,\n  \"count\": 0,"));
}

// Tables left out on purpose (new --tables, remove) are remembered beside the
// project and passed by until taken in again.
TEST_F(SyncTest, TablesLeftOutOnPurposeStayOut) {
  const fs::path leftOut = work() / "shop.xml.left-out";
  struct Case {
    std::string how;
    std::vector<std::string> make;  // commands that leave customers out
  };
  const std::vector<Case> cases = {
      {"remove", {"remove", "shop.xml", "customers"}},
      {"new --tables",
       {"new", "shop.xml", "--db", "sqlite:shop.sqlite", "--tables", "orders,big_orders", "--force"}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(run({"new", "shop.xml", "--db", "sqlite:shop.sqlite", "--force"}).code, 0) << c.how;
    EXPECT_FALSE(fs::exists(leftOut)) << c.how;
    ASSERT_EQ(run(c.make).code, 0) << c.how;
    EXPECT_THAT(read(leftOut), HasSubstr("\ncustomers\n")) << c.how;
    // Nothing about it in the project file's own layout.
    EXPECT_THAT(read(project), Not(HasSubstr("left-out"))) << c.how;

    RunResult check = run({"check", "shop.xml"});
    EXPECT_EQ(check.code, 0) << c.how << "\n" << check;
    EXPECT_THAT(
        check.out,
        HasSubstr("Not in the project by choice (tarnwick add PROJECT TABLE takes one in): customers"))
        << c.how;
    RunResult json = run({"check", "shop.xml", "--json"});
    EXPECT_THAT(json.out, HasSubstr("\"left_out\": [\"customers\"]")) << c.how;
    RunResult tablesOut = run({"tables", "shop.xml"});
    EXPECT_THAT(tablesOut.out, HasSubstr("Not in the project by choice: customers")) << c.how;
    // A change elsewhere is synchronised; the table stays out.
    alter("ALTER TABLE orders ADD COLUMN note" + std::to_string(&c - &cases[0]) + " TEXT;");
    ASSERT_EQ(run({"sync", "shop.xml"}).code, 0) << c.how;
    EXPECT_EQ(attribute(project, tableXPath("customers"), "TblLoaded") == "1", false) << c.how;
    EXPECT_EQ(run({"check", "shop.xml"}).code, 0) << c.how;
  }
  // add takes it in again (loaded and marked for generation) and forgets it
  // was left out.
  RunResult add = run({"add", "shop.xml", "customers"});
  ASSERT_EQ(add.code, 0) << add;
  EXPECT_EQ(attribute(project, tableXPath("customers"), "TblLoaded"), "1");
  EXPECT_EQ(attribute(project, tableXPath("customers"), "TblGen"), "1");
  EXPECT_THAT(fields("customers"), ElementsAre("id", "name", "email"));
  EXPECT_FALSE(fs::exists(leftOut));
  EXPECT_EQ(run({"check", "shop.xml"}).code, 0);
  // add also takes in a table never listed; unknown names are refused.
  ASSERT_EQ(run({"remove", "shop.xml", "customers"}).code, 0);
  RunResult unknown = run({"add", "shop.xml", "custmers"});
  EXPECT_EQ(unknown.code, 2) << unknown;
  EXPECT_THAT(unknown.err, HasSubstr("did you mean customers?"));
  ASSERT_EQ(run({"add", "shop.xml", "customers"}).code, 0);
  EXPECT_THAT(fields("customers"), ElementsAre("id", "name", "email"));
  // sync --add-new takes in every table left out.
  ASSERT_EQ(run({"remove", "shop.xml", "customers"}).code, 0);
  ASSERT_EQ(run({"remove", "shop.xml", "big_orders"}).code, 0);
  RunResult all = run({"sync", "shop.xml", "--add-new"});
  ASSERT_EQ(all.code, 0) << all;
  EXPECT_THAT(tables(), ::testing::UnorderedElementsAre("customers", "orders", "big_orders"));
  EXPECT_EQ(attribute(project, tableXPath("big_orders"), "TblLoaded"), "1");
  EXPECT_FALSE(fs::exists(leftOut));
}

}  // namespace
}  // namespace tw::testing
