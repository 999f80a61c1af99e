// Synchronisation with an SQLite database file that the test changes
// between building the project and checking it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "core/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "schema/loaders.h"
#include "support/engine_context.h"
#include "support/prompt.h"
#include "sync/sync.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class SyncSqliteTest : public testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    auto prompt = std::make_unique<ScriptedPrompt>();
    prompt_ = prompt.get();
    engine().setPrompts(std::move(prompt));
    path_ = (dir() / "shop.db").string();
    exec(
        "CREATE TABLE customers (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL, email TEXT, born DATE);"
        "CREATE TABLE orders (id INTEGER PRIMARY KEY, customer_id INTEGER NOT NULL, total DECIMAL(10,2));"
        "CREATE VIEW named AS SELECT id, name FROM customers;");
    proj_ = makeRef<AGP>();
    proj_->AddProj("lite");
    LoadDB(*proj_, Variant(path_), Variant("sqlite"), Variant(""), Variant(""), Variant(""), Variant(""),
           Variant(""), Variant(""), Variant(""), Variant("utf-8"));
    ASSERT_EQ(AGP::ProjErr(), "");
    LoadCustomView(*proj_, Variant("cv_mail"), Variant("SELECT id, email FROM customers"), Variant(false));
    ASSERT_EQ(AGP::ProjErr(), "");
  }
  void exec(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    std::string message = err ? err : "";
    sqlite3_free(err);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
  }
  AGP& proj() { return *proj_; }
  AGPTable* table(const char* name) {
    AGPTables& tables = proj().db()->tables();
    for (int32_t i = 0; i < tables.Count(); ++i)
      if (tables.at(i)->TblName() == name) return tables.at(i);
    return nullptr;
  }
  std::vector<std::string> fieldNames(const char* name) {
    std::vector<std::string> names;
    for (AGPField* f : table(name)->Fields().inSequence()) names.push_back(f->FldName());
    return names;
  }
  ScriptedPrompt& prompt() { return *prompt_; }

 private:
  std::string path_;
  Ref<AGP> proj_;
  ScriptedPrompt* prompt_ = nullptr;
};

TEST_F(SyncSqliteTest, AnUnchangedFileMatches) { EXPECT_EQ(CheckDB(proj()), 0); }

TEST_F(SyncSqliteTest, AnAddedColumnIsAppendedWithItsDefaults) {
  table("customers")->Fields().Item(Variant("name"))->setSetting("FldCaption", Variant("Full name"));
  exec("ALTER TABLE customers ADD COLUMN phone VARCHAR(20) DEFAULT 'none'");
  // The column is new, its table changed, and the database table has one
  // column beyond those matched or changed.
  EXPECT_EQ(CheckDB(proj()), 1 + 1 + 1);
  SynchronizeDB(proj());
  EXPECT_THAT(fieldNames("customers"), ElementsAre("id", "name", "email", "born", "phone"));
  AGPField* phone = table("customers")->Fields().Item(Variant("phone"));
  EXPECT_EQ(phone->str("FldCaption"), "phone");
  EXPECT_EQ(phone->setting("FldDefault").toString(), "none");
  EXPECT_EQ(table("customers")->Fields().Item(Variant("name"))->str("FldCaption"), "Full name");
  EXPECT_EQ(CheckDB(proj()), 0);
}

TEST_F(SyncSqliteTest, ADroppedColumnDisappears) {
  LoadCustomView(proj(), Variant("cv_all"), Variant("SELECT * FROM customers"), Variant(false));
  ASSERT_EQ(AGP::ProjErr(), "");
  exec("ALTER TABLE customers DROP COLUMN born");
  // Every database column matches; only the field counts of the table
  // differ, and the custom view lost a column.
  EXPECT_EQ(CheckDB(proj()), 1 + 1);
  SynchronizeDB(proj());
  EXPECT_THAT(fieldNames("customers"), ElementsAre("id", "name", "email"));
  EXPECT_THAT(fieldNames("cv_all"), ElementsAre("id", "name", "email"));
  EXPECT_EQ(CheckDB(proj()), 0);
}

TEST_F(SyncSqliteTest, NamesThatChangedOnlyInLetterCaseKeepTheirObjectsAndSettings) {
  table("customers")->setSetting("TblCaption", Variant("Clients"));
  table("customers")->Fields().Item(Variant("email"))->setSetting("FldCaption", Variant("Mail"));
  table("orders")->Fields().Item(Variant("total"))->setSetting("FldCaption", Variant("Amount"));
  exec(
      "ALTER TABLE customers RENAME TO tmp; ALTER TABLE tmp RENAME TO Customers;"
      "ALTER TABLE Customers RENAME COLUMN email TO EMail;"
      "ALTER TABLE orders RENAME COLUMN total TO Total");
  EXPECT_GT(CheckDB(proj()), 0);
  SynchronizeDB(proj());
  EXPECT_EQ(table("customers"), nullptr);
  ASSERT_NE(table("Customers"), nullptr);
  EXPECT_EQ(table("Customers")->str("TblCaption"), "Clients");
  EXPECT_THAT(fieldNames("Customers"), ElementsAre("id", "name", "EMail", "born"));
  EXPECT_EQ(table("Customers")->Fields().Item(Variant("EMail"))->str("FldCaption"), "Mail");
  EXPECT_THAT(fieldNames("orders"), ElementsAre("id", "customer_id", "Total"));
  EXPECT_EQ(table("orders")->Fields().Item(Variant("Total"))->str("FldCaption"), "Amount");
  // The custom view's column takes the letter case of the table's, and its
  // field follows.
  EXPECT_THAT(fieldNames("cv_mail"), ElementsAre("id", "EMail"));
  EXPECT_EQ(CheckDB(proj()), 0);
}

TEST_F(SyncSqliteTest, AWidenedColumnCarriesAnInputLimitThatFollowedItsSize) {
  exec("ALTER TABLE customers ADD COLUMN city VARCHAR(30)");
  SynchronizeDB(proj());
  AGPFields& fields = table("customers")->Fields();
  ASSERT_EQ(fields.Item(Variant("name"))->int32("FldTagMaxLength"), 40);
  fields.Item(Variant("city"))->setSetting("FldTagMaxLength", Variant::long_(12));  // the user's own
  exec(
      "DROP VIEW named;"
      "CREATE TABLE wider (id INTEGER PRIMARY KEY, name VARCHAR(80) NOT NULL, email TEXT, born DATE,"
      " city VARCHAR(60));"
      "DROP TABLE customers; ALTER TABLE wider RENAME TO customers;"
      "CREATE VIEW named AS SELECT id, name FROM customers;");
  EXPECT_GT(CheckDB(proj()), 0);
  SynchronizeDB(proj());
  AGPFields& after = table("customers")->Fields();
  struct Expected {
    const char* field;
    int32_t size, limit;
  };
  for (Expected e : {Expected{"name", 80, 80}, Expected{"city", 60, 12}}) {
    EXPECT_EQ(after.Item(Variant(e.field))->int32("FldSize"), e.size) << e.field;
    EXPECT_EQ(after.Item(Variant(e.field))->int32("FldTagMaxLength"), e.limit) << e.field;
  }
}

TEST_F(SyncSqliteTest, CustomViewsKeepTheirNamesAgainstTablesOfTheSameName) {
  // A new database table named like a custom view (in any letter case)
  // leaves the view as it is, and the check does not count the table, which
  // can never join the project.
  for (const char* name : {"cv_mail", "CV_Mail"}) {
    exec(std::string("CREATE TABLE ") + name + " (code TEXT PRIMARY KEY, label TEXT)");
    EXPECT_EQ(CheckDB(proj()), 0) << name;
    SynchronizeDB(proj());
    ASSERT_NE(table("cv_mail"), nullptr);
    EXPECT_EQ(table("cv_mail")->str("TblType"), "CUSTOMVIEW");
    EXPECT_THAT(fieldNames("cv_mail"), ElementsAre("id", "email"));
    EXPECT_EQ(CheckDB(proj()), 0) << name;
    exec(std::string("DROP TABLE ") + name);
  }
  // A custom view or report named like a table in another letter case is
  // refused with the name of the table that holds it.
  for (const char* name : {"Customers", "CUSTOMERS", "customers"}) {
    LoadCustomView(proj(), Variant(name), Variant("SELECT id FROM customers"), Variant(false));
    EXPECT_THAT(AGP::ProjErr(), HasSubstr("already exists")) << name;
    EXPECT_FALSE(LoadReport(proj(), Variant(name), Variant("orders"))) << name;
    EXPECT_THAT(AGP::ProjErr(), HasSubstr("already exists")) << name;
  }
  EXPECT_EQ(table("customers")->str("TblType"), "TABLE");
  EXPECT_EQ(table("Customers"), nullptr);
}

TEST_F(SyncSqliteTest, NewAndDroppedTablesAndARenamedColumn) {
  table("orders")->Fields().Item(Variant("total"))->setSetting("FldCaption", Variant("Amount"));
  exec(
      "DROP VIEW named;"
      "ALTER TABLE orders RENAME COLUMN total TO amount;"
      "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)");
  // The view: 1 + 2; the new table: 1 + 2; orders: a new column in a changed
  // table, counted again by the column count.
  EXPECT_EQ(CheckDB(proj()), 3 + 3 + 3);
  prompt().pair("amount", "total");
  SynchronizeDB(proj());
  EXPECT_EQ(table("named"), nullptr);
  ASSERT_NE(table("notes"), nullptr);
  EXPECT_EQ(table("notes")->str("TblKey"), "id");
  EXPECT_THAT(fieldNames("orders"), ElementsAre("id", "customer_id", "amount"));
  EXPECT_EQ(table("orders")->Fields().Item(Variant("amount"))->str("FldCaption"), "Amount");
  EXPECT_EQ(CheckDB(proj()), 0);
}

TEST_F(SyncSqliteTest, ACustomViewThatNoLongerRunsKeepsItsFields) {
  exec("ALTER TABLE customers RENAME COLUMN email TO mail");
  SyncCustom(proj(), "cv_mail");
  EXPECT_THAT(table("cv_mail")->str("TblCustomError"), HasSubstr("no such column"));
  EXPECT_EQ(AGP::ProjErr(), "");
  EXPECT_THAT(fieldNames("cv_mail"), ElementsAre("id", "email"));
  table("cv_mail")->setSetting("TblCustomSQL", Variant("SELECT id, mail FROM customers"));
  SyncCustom(proj(), "cv_mail");
  EXPECT_EQ(table("cv_mail")->str("TblCustomError"), "");
  EXPECT_THAT(fieldNames("cv_mail"), ElementsAre("id", "mail"));
}

}  // namespace
}  // namespace tw
