// Checking a project against the live MariaDB and PostgreSQL databases and
// applying the changes: for each kind of change, what CheckDB counts and what
// SynchronizeDB makes of the project. After synchronising, the project
// matches the database again, so CheckDB gives 0. Each change is written in
// the SQL of each server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/project_file.h"
#include "sync/sync_fixture.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using testing::SyncServerKind;

// One change as each server writes it.
struct Change {
  const char* mariadb;
  const char* postgres;
};

const Change kNewTable = {
    "CREATE TABLE extra (code CHAR(4) NOT NULL PRIMARY KEY, unit_price DECIMAL(8,2), "
    "  label VARCHAR(30) DEFAULT 'none', made DATE, kind ENUM('a','b'))",
    "CREATE TYPE kind AS ENUM ('a', 'b');"
    "CREATE TABLE extra (code CHAR(4) NOT NULL PRIMARY KEY, unit_price DECIMAL(8,2), "
    "  label VARCHAR(30) DEFAULT 'none', made DATE, kind kind)"};
const Change kWiderEmail = {"ALTER TABLE customers MODIFY email VARCHAR(200)",
                            "ALTER TABLE customers ALTER COLUMN email TYPE varchar(200)"};
const Change kWiderKey = {
    "ALTER TABLE order_lines DROP PRIMARY KEY, ADD PRIMARY KEY (qty, order_id, line_no)",
    "ALTER TABLE order_lines DROP CONSTRAINT order_lines_pkey, ADD PRIMARY KEY (qty, order_id, line_no)"};
const Change kOtherSizes = {
    "UPDATE customers SET size = 'S' WHERE size = 'L';"
    "ALTER TABLE customers MODIFY size ENUM('S','M','X') NOT NULL DEFAULT 'M'",
    "UPDATE customers SET size = 'S' WHERE size = 'L';"
    "ALTER TABLE customers ALTER COLUMN size DROP DEFAULT;"
    "ALTER TYPE size RENAME TO size_old;"
    "CREATE TYPE size AS ENUM ('S', 'M', 'X');"
    "ALTER TABLE customers ALTER COLUMN size TYPE size USING size::text::size, ALTER COLUMN size SET DEFAULT 'M';"
    "DROP TYPE size_old"};
const Change kBiggerQtyAndPrice = {
    "ALTER TABLE order_lines MODIFY qty BIGINT NOT NULL DEFAULT 1, ADD COLUMN price DECIMAL(8,2)",
    "ALTER TABLE order_lines ALTER COLUMN qty TYPE bigint, ADD COLUMN price numeric(8,2)"};
const Change kRenameOrders = {"RENAME TABLE orders TO purchases", "ALTER TABLE orders RENAME TO purchases"};
const Change kNoteBecomesNumber = {
    "ALTER TABLE customers MODIFY note INT DEFAULT 5",
    "ALTER TABLE customers ALTER COLUMN note TYPE integer USING NULL, ALTER COLUMN note SET DEFAULT 5"};
const Change kLongerName = {"ALTER TABLE customers MODIFY name VARCHAR(60) NOT NULL",
                            // The view that shows the column goes while its type changes.
                            "DROP VIEW customer_names;"
                            "ALTER TABLE customers ALTER COLUMN name TYPE varchar(60);"
                            "CREATE VIEW customer_names AS SELECT id, name FROM customers"};
const Change kRenameCustomers = {
    "RENAME TABLE customers TO clients;"
    "CREATE OR REPLACE VIEW customer_names AS SELECT id, name FROM clients",
    "ALTER TABLE customers RENAME TO clients;"
    "CREATE OR REPLACE VIEW customer_names AS SELECT id, name FROM clients"};

class SyncTest : public testing::SyncServerTest {
 protected:
  using SyncServerTest::sql;
  void sql(const Change& change) { sql(postgres() ? change.postgres : change.mariadb); }
  // The server's message for a column the query names that is gone.
  std::string missingSizeMessage() const {
    return postgres() ? "column \"size\" does not exist" : "Unknown column 'size'";
  }
  std::string refusedLoginMessage() const {
    return postgres() ? "password authentication failed for user \"tw_sync_reader\""
                      : "Access denied for user 'tw_sync_reader'";
  }
};

INSTANTIATE_TEST_SUITE_P(Servers, SyncTest, ::testing::Values(SyncServerKind::kMariaDb, SyncServerKind::kPostgres),
                         testing::syncServerName);

TEST_P(SyncTest, AnUnchangedProjectMatchesItsDatabase) {
  Ref<AGP> proj = build();
  ASSERT_THAT(tableNames(*proj), ElementsAre("customer_names", "customers", "order_lines", "orders",
                                             "cv_sizes", "rpt_customers"));
  EXPECT_EQ(CheckDB(*proj), 0);
  EXPECT_EQ(AGP::ProjErr(), "");
  // The check changes nothing.
  EXPECT_EQ(field(*proj, "customers", "size")->str("FldTagValues"),
            "\"S\",\"S\"\r\n\"M\",\"M\"\r\n\"L\",\"L\"");
  EXPECT_EQ(table(*proj, "cv_sizes")->str("TblCustomError"), "");
}

TEST_P(SyncTest, ANewTableWithFiveColumnsIsAddedWithDefaults) {
  Ref<AGP> proj = build();
  sql(kNewTable);
  EXPECT_EQ(CheckDB(*proj), 1 + 5);
  SynchronizeDB(*proj);
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_THAT(tableNames(*proj), ElementsAre("customer_names", "customers", "order_lines", "orders",
                                             "cv_sizes", "rpt_customers", "extra"));
  AGPTable* extra = table(*proj, "extra");
  EXPECT_EQ(extra->str("TblType"), "TABLE");
  EXPECT_TRUE(extra->flag("TblLoaded"));
  EXPECT_EQ(extra->str("TblKey"), "code");
  EXPECT_EQ(extra->str("TblCaption"), "extra");
  EXPECT_TRUE(extra->flag("TblAdd"));
  EXPECT_THAT(fieldNames(*proj, "extra"), ElementsAre("code", "unit_price", "label", "made", "kind"));
  EXPECT_TRUE(field(*proj, "extra", "code")->flag("FldIsPrimaryKey"));
  EXPECT_EQ(field(*proj, "extra", "unit_price")->str("FldCaption"), "unit price");
  EXPECT_EQ(field(*proj, "extra", "unit_price")->str("FldValidate"), "FLOAT");
  EXPECT_EQ(field(*proj, "extra", "label")->setting("FldDefault").toString(), "none");
  EXPECT_EQ(field(*proj, "extra", "kind")->str("FldHtmlTag"), "RADIO");
  EXPECT_EQ(field(*proj, "extra", "kind")->str("FldTagValues"), "\"a\",\"a\"\r\n\"b\",\"b\"");
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, ADroppedTableWithFourFieldsIsRemoved) {
  Ref<AGP> proj = build();
  sql("DROP TABLE orders");
  EXPECT_EQ(CheckDB(*proj), 1 + 4);
  SynchronizeDB(*proj);
  EXPECT_EQ(table(*proj, "orders"), nullptr);
  // The tables after it move up one place.
  EXPECT_EQ(table(*proj, "cv_sizes")->TblSeq(), 4);
  EXPECT_THAT(tableNames(*proj),
              ElementsAre("customer_names", "customers", "order_lines", "cv_sizes", "rpt_customers"));
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, AColumnWhoseSizeChangedIsUpdatedInPlaceKeepingItsSettings) {
  Ref<AGP> proj = build();
  field(*proj, "customers", "email")->setSetting("FldCaption", Variant("E-mail address"));
  field(*proj, "customers", "email")->setSetting("FldHtmlTag", Variant("TEXTAREA"));
  sql(kWiderEmail);
  // One changed column in one changed table.
  EXPECT_EQ(CheckDB(*proj), 2);
  SynchronizeDB(*proj);
  AGPField* email = field(*proj, "customers", "email");
  EXPECT_EQ(email->int32("FldSize"), 200);
  EXPECT_EQ(email->str("FldCaption"), "E-mail address");
  EXPECT_EQ(email->str("FldHtmlTag"), "TEXTAREA");
  EXPECT_EQ(email->FldSeq(), 3);
  // The report follows its source table.
  EXPECT_EQ(field(*proj, "rpt_customers", "email")->int32("FldSize"), 200);
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, APrimaryKeyThatGainedAColumnKeepsTheOldKeyWhenAskedTo) {
  Ref<AGP> proj = build();
  ASSERT_EQ(table(*proj, "order_lines")->str("TblKey"), "line_no,order_id");
  sql(kWiderKey);
  // The key change, and qty, which is a key column now (its ADO attributes
  // carry adFldKeyColumn), changed in a changed table.
  EXPECT_EQ(CheckDB(*proj), 3);
  prompt().answer(kSyncKeyPromptId, "Keep");
  SynchronizeDB(*proj);
  ASSERT_EQ(prompt().shown().size(), 1u);
  EXPECT_EQ(prompt().shown()[0].kind, "ask");
  EXPECT_EQ(prompt().shown()[0].title, "Tarnwick");
  EXPECT_EQ(prompt().shown()[0].text,
            "Primary key for \"order_lines\" has been modified. Keep/Update primary Key?");
  EXPECT_EQ(prompt().shown()[0].answer, "Keep");
  EXPECT_EQ(table(*proj, "order_lines")->str("TblKey"), "line_no,order_id");
  EXPECT_FALSE(field(*proj, "order_lines", "qty")->flag("FldIsPrimaryKey"));
  EXPECT_TRUE(field(*proj, "order_lines", "order_id")->flag("FldIsPrimaryKey"));
  // Only the key still differs.
  EXPECT_EQ(CheckDB(*proj), 1);
}

TEST_P(SyncTest, APrimaryKeyThatGainedAColumnFollowsTheDatabaseOnUpdate) {
  Ref<AGP> proj = build();
  sql(kWiderKey);
  prompt().answer(kSyncKeyPromptId, "Update");
  SynchronizeDB(*proj);
  EXPECT_EQ(table(*proj, "order_lines")->str("TblKey"), "line_no,order_id,qty");
  EXPECT_TRUE(field(*proj, "order_lines", "qty")->flag("FldIsPrimaryKey"));
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, EnumerationLabelsDoNotCountButValuesDo) {
  Ref<AGP> proj = build();
  AGPField* size = field(*proj, "customers", "size");
  size->setSetting("FldTagValues", Variant("\"S\",Small\r\n\"M\",Medium\r\n\"L\",Large"));
  EXPECT_EQ(CheckDB(*proj), 0);
  sql(kOtherSizes);
  EXPECT_EQ(CheckDB(*proj), 2);
  SynchronizeDB(*proj);
  size = field(*proj, "customers", "size");
  EXPECT_EQ(size->str("FldTagValues"), "\"S\",Small\r\n\"M\",Medium\r\n\"X\",\"X\"\r\n");
  // The custom view's column was traced to customers.size: it takes the
  // values from there and keeps its own labels.
  AGPField* viewSize = field(*proj, "cv_sizes", "size");
  ASSERT_EQ(viewSize->str("FldSourceTable"), "customers");
  EXPECT_EQ(viewSize->str("FldTagValues"), "\"S\",\"S\"\r\n\"M\",\"M\"\r\n\"X\",\"X\"\r\n");
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, ATableWhoseColumnsWereNeverLoadedContributesNothing) {
  Ref<AGP> proj = build();
  table(*proj, "order_lines")->setSetting("TblLoaded", Variant(false));
  sql(kBiggerQtyAndPrice);
  EXPECT_EQ(CheckDB(*proj), 0);
  // The same table loaded counts a changed column in a changed table, and a
  // new column counted as new and again by the column count.
  table(*proj, "order_lines")->setSetting("TblLoaded", Variant(true));
  EXPECT_EQ(CheckDB(*proj), 1 + 1 + 1 + 1);
}

TEST_P(SyncTest, WithDynamicLoadingANewTableArrivesWithoutFields) {
  Ref<AGP> proj = build(true);
  ASSERT_FALSE(table(*proj, "customers")->flag("TblLoaded"));
  sql("ALTER TABLE customers ADD COLUMN phone VARCHAR(20);"
      "CREATE TABLE extra (a INT, b INT, c INT, d INT, e INT)");
  // Only the new table counts, with its five columns.
  EXPECT_EQ(CheckDB(*proj), 6);
  SynchronizeDB(*proj);
  AGPTable* extra = table(*proj, "extra");
  ASSERT_NE(extra, nullptr);
  EXPECT_FALSE(extra->flag("TblLoaded"));
  EXPECT_FALSE(extra->flag("TblGen"));
  EXPECT_EQ(extra->hasFields() ? extra->Fields().Count() : 0, 0);
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, ATableThatBecameAViewIsSetUpAgainAsAView) {
  Ref<AGP> proj = build();
  table(*proj, "orders")->setSetting("TblCaption", Variant("My Orders"));
  int16_t place = table(*proj, "orders")->TblSeq();
  sql("DROP TABLE orders;"
      "CREATE VIEW orders AS SELECT order_id AS id, line_no, qty AS amount FROM order_lines");
  // The table is gone (1 + 4 fields), the view is new (1 + 3 columns).
  EXPECT_EQ(CheckDB(*proj), 9);
  SynchronizeDB(*proj);
  AGPTable* orders = table(*proj, "orders");
  ASSERT_NE(orders, nullptr);
  EXPECT_EQ(orders->str("TblType"), "VIEW");
  EXPECT_EQ(orders->str("TblCaption"), "orders");
  EXPECT_FALSE(orders->flag("TblAdd"));
  EXPECT_EQ(orders->TblSeq(), place);
  EXPECT_THAT(fieldNames(*proj, "orders"), ElementsAre("id", "line_no", "amount"));
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, ARenamedTablePairedByTheUserKeepsItsSettings) {
  Ref<AGP> proj = build();
  table(*proj, "orders")->setSetting("TblCaption", Variant("My Orders"));
  int16_t place = table(*proj, "orders")->TblSeq();
  field(*proj, "orders", "placed")->setSetting("FldCaption", Variant("Placed on"));
  sql(kRenameOrders);
  EXPECT_EQ(CheckDB(*proj), 1 + 4 + 1 + 4);
  prompt().pair("purchases", "orders");
  SynchronizeDB(*proj);
  ASSERT_EQ(prompt().shown().size(), 1u);
  EXPECT_EQ(prompt().shown()[0].kind, "pair");
  EXPECT_EQ(prompt().shown()[0].title, "New table found in schema");
  EXPECT_EQ(
      prompt().shown()[0].text,
      "To use old settings, please select the old table(s) which you would like to map to the new table(s)");
  EXPECT_EQ(table(*proj, "orders"), nullptr);
  AGPTable* purchases = table(*proj, "purchases");
  ASSERT_NE(purchases, nullptr);
  EXPECT_EQ(purchases->TblSeq(), place);
  EXPECT_EQ(purchases->str("TblCaption"), "My Orders");
  EXPECT_EQ(purchases->TblVar(), "purchases");
  EXPECT_EQ(field(*proj, "purchases", "placed")->str("FldCaption"), "Placed on");
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, ARenamedTableLeftUnpairedIsRemovedAndAddedAgainWithDefaults) {
  Ref<AGP> proj = build();
  table(*proj, "orders")->setSetting("TblCaption", Variant("My Orders"));
  sql(kRenameOrders);
  SynchronizeDB(*proj);
  ASSERT_EQ(prompt().shown().size(), 1u);  // asked, but nothing paired
  EXPECT_EQ(table(*proj, "orders"), nullptr);
  EXPECT_THAT(tableNames(*proj), ElementsAre("customer_names", "customers", "order_lines", "cv_sizes",
                                             "rpt_customers", "purchases"));
  EXPECT_EQ(table(*proj, "purchases")->str("TblCaption"), "purchases");
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, ARenamedViewIsPairedAmongViews) {
  Ref<AGP> proj = build();
  table(*proj, "customer_names")->setSetting("TblCaption", Variant("Names"));
  sql("DROP VIEW customer_names;"
      "CREATE VIEW client_names AS SELECT id, name FROM customers;"
      "CREATE TABLE extra (a INT)");
  prompt().pair("client_names", "customer_names");
  SynchronizeDB(*proj);
  // Tables are paired first (only a new one here, so nothing is asked), then
  // views.
  ASSERT_EQ(prompt().shown().size(), 1u);
  EXPECT_EQ(prompt().shown()[0].title, "New view found in schema");
  EXPECT_EQ(
      prompt().shown()[0].text,
      "To use old settings, please select the old view(s) which you would like to map to the new view(s)");
  EXPECT_EQ(table(*proj, "customer_names"), nullptr);
  EXPECT_EQ(table(*proj, "client_names")->str("TblCaption"), "Names");
  EXPECT_EQ(table(*proj, "client_names")->str("TblType"), "VIEW");
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, ARenamedColumnPairedByTheUserKeepsItsSettingsAndPlace) {
  Ref<AGP> proj = build();
  field(*proj, "customers", "email")->setSetting("FldCaption", Variant("E-mail address"));
  sql("ALTER TABLE customers RENAME COLUMN email TO mail");
  prompt().pair("mail", "email");
  SynchronizeDB(*proj);
  ASSERT_EQ(prompt().shown().size(), 1u);
  EXPECT_EQ(prompt().shown()[0].title, "Table: customers - New fields found in schema");
  EXPECT_EQ(
      prompt().shown()[0].text,
      "To use old settings, please select the old fields which you would like to map to the new fields");
  EXPECT_THAT(fieldNames(*proj, "customers"), ElementsAre("id", "name", "mail", "size", "note"));
  AGPField* mail = field(*proj, "customers", "mail");
  EXPECT_EQ(mail->str("FldCaption"), "E-mail address");
  EXPECT_EQ(mail->FldVar(), "x_mail");
  // The report loses the old name and gets the new one with the source's
  // settings.
  EXPECT_THAT(fieldNames(*proj, "rpt_customers"), ElementsAre("id", "name", "size", "note", "mail"));
  EXPECT_EQ(field(*proj, "rpt_customers", "mail")->str("FldCaption"), "E-mail address");
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, AColumnWhoseNativeTypeChangedIsSetUpAgainInItsPlace) {
  Ref<AGP> proj = build();
  AGPField* note = field(*proj, "customers", "note");
  note->setSetting("FldCaption", Variant("Remarks"));
  note->setSetting("FldDefault", Variant("-"));
  sql(kNoteBecomesNumber);
  EXPECT_EQ(CheckDB(*proj), 2);
  SynchronizeDB(*proj);
  EXPECT_THAT(fieldNames(*proj, "customers"), ElementsAre("id", "name", "email", "size", "note"));
  note = field(*proj, "customers", "note");
  EXPECT_EQ(note->str("FldCaption"), "note");
  EXPECT_EQ(note->setting("FldDefault").toString(), "5");
  EXPECT_EQ(note->str("FldValidate"), "INTEGER");
  // The report's field of that name had another native type: it is gone,
  // and the check counts the source field the report lacks now.
  EXPECT_THAT(fieldNames(*proj, "rpt_customers"), ElementsAre("id", "name", "email", "size"));
  EXPECT_EQ(CheckDB(*proj), 1);
  // Following the source once more brings it back, set up like its source.
  SyncReport(*proj, "rpt_customers");
  EXPECT_THAT(fieldNames(*proj, "rpt_customers"), ElementsAre("id", "name", "email", "size", "note"));
  EXPECT_EQ(field(*proj, "rpt_customers", "note")->str("FldValidate"), "INTEGER");
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_P(SyncTest, AnExistingFieldTakesTheColumnsDefaultOnlyWhenItHasNone) {
  Ref<AGP> proj = build();
  field(*proj, "customers", "name")->setSetting("FldDefault", Variant(""));
  field(*proj, "customers", "email")->setSetting("FldDefault", Variant("mine"));
  sql("ALTER TABLE customers ALTER COLUMN name SET DEFAULT 'anon', ALTER COLUMN email SET DEFAULT 'x@y'");
  SynchronizeDB(*proj);
  EXPECT_EQ(field(*proj, "customers", "name")->setting("FldDefault").toString(), "anon");
  EXPECT_EQ(field(*proj, "customers", "email")->setting("FldDefault").toString(), "mine");
}

TEST_P(SyncTest, ACustomViewWhoseQueryFailsKeepsItsFieldsAndShowsTheServersError) {
  Ref<AGP> proj = build();
  sql("ALTER TABLE customers DROP COLUMN size");
  // customers has one column fewer; the failing view counts nothing.
  EXPECT_EQ(CheckDB(*proj), 1);
  EXPECT_THAT(table(*proj, "cv_sizes")->str("TblCustomError"), HasSubstr(missingSizeMessage()));
  EXPECT_THAT(AGP::ProjErr(), HasSubstr(missingSizeMessage()));
  table(*proj, "cv_sizes")->setSetting("TblCustomError", Variant(""));
  SynchronizeDB(*proj);
  EXPECT_EQ(AGP::ProjErr(), "");
  EXPECT_THAT(table(*proj, "cv_sizes")->str("TblCustomError"), HasSubstr(missingSizeMessage()));
  EXPECT_THAT(fieldNames(*proj, "cv_sizes"), ElementsAre("id", "name", "size"));
  // The report follows customers, which lost the column.
  EXPECT_THAT(fieldNames(*proj, "rpt_customers"), ElementsAre("id", "name", "email", "note"));
}

TEST_P(SyncTest, ACustomViewWhoseQueryYieldsOtherColumnsIsUpdated) {
  Ref<AGP> proj = build();
  field(*proj, "cv_sizes", "name")->setSetting("FldCaption", Variant("Customer"));
  sql(kLongerName);
  // customers and the database view customer_names: one changed column in a
  // changed table each; the custom view: one changed column.
  EXPECT_EQ(CheckDB(*proj), 2 + 2 + 1);
  SyncCustom(*proj, "cv_sizes");
  EXPECT_EQ(field(*proj, "cv_sizes", "name")->int32("FldSize"), 60);
  EXPECT_EQ(field(*proj, "cv_sizes", "name")->str("FldCaption"), "Customer");
  EXPECT_EQ(field(*proj, "cv_sizes", "name")->str("FldSourceTable"), "customers");
  table(*proj, "cv_sizes")->setSetting("TblCustomSQL", Variant("SELECT id, email FROM customers"));
  SyncCustom(*proj, "cv_sizes");
  EXPECT_THAT(fieldNames(*proj, "cv_sizes"), ElementsAre("id", "email"));
}

TEST_P(SyncTest, AReportWhoseSourceTableIsGoneIsMarked) {
  Ref<AGP> proj = build();
  sql(kRenameCustomers);
  SynchronizeDB(*proj);
  EXPECT_EQ(table(*proj, "customers"), nullptr);
  AGPTable* report = table(*proj, "rpt_customers");
  EXPECT_EQ(report->str("TblCustomError"), "Tarnwick: Source Table not found");
  EXPECT_THAT(fieldNames(*proj, "rpt_customers"), ElementsAre("id", "name", "email", "size", "note"));
  // The check reports the same.
  EXPECT_EQ(CompareReport(*proj, "rpt_customers"), 0);
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Source Table not found");
}

TEST_P(SyncTest, AReportOverAFailingCustomViewIsMarkedAndLeftAlone) {
  Ref<AGP> proj = build();
  ASSERT_TRUE(LoadReport(*proj, Variant("rpt_sizes"), Variant("cv_sizes"))) << AGP::ProjErr();
  sql("ALTER TABLE customers DROP COLUMN size");
  SynchronizeDB(*proj);
  EXPECT_EQ(table(*proj, "rpt_sizes")->str("TblCustomError"), "Tarnwick: Source Table Error");
  EXPECT_THAT(fieldNames(*proj, "rpt_sizes"), ElementsAre("id", "name", "size"));
}

TEST_P(SyncTest, WrongCredentialsFailTheCheckWithTheServersMessage) {
  Ref<AGP> proj = build();
  proj->db()->setSetting("DBPwd", Variant("wrong"));
  EXPECT_EQ(CheckDB(*proj), -1);
  EXPECT_THAT(AGP::ProjErr(), HasSubstr(refusedLoginMessage()));
  sql("DROP TABLE orders");
  SynchronizeDB(*proj);
  EXPECT_THAT(AGP::ProjErr(), HasSubstr(refusedLoginMessage()));
  EXPECT_NE(table(*proj, "orders"), nullptr);
}

TEST_P(SyncTest, ScriptsReachTheMembersOfAGP) {
  Ref<AGP> proj = build();
  sql("DROP TABLE orders");
  Variant count = proj->call("CheckDB");
  EXPECT_EQ(count.type(), vtInteger);
  EXPECT_EQ(count.toInteger(), 5);
  proj->call("SynchronizeDB");
  EXPECT_EQ(table(*proj, "orders"), nullptr);
  proj->call("SyncCustom", {Variant("cv_sizes")});
  proj->call("SyncReport", {Variant("rpt_customers")});
  EXPECT_EQ(proj->call("CheckDB").toInteger(), 0);
}

}  // namespace
}  // namespace tw
