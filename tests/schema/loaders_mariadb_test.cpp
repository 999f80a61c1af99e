// The project loaders against the real MariaDB server: a full and a dynamic
// load, custom views, reports, and the failures a user meets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/agp.h"
#include "model/database.h"
#include "schema/loaders.h"
#include "schema/mariadb_fixture.h"

namespace tw {
namespace {

using ::testing::HasSubstr;

class MariaDbLoadersTest : public testing::MariaDbTest {
 protected:
  void SetUp() override {
    MariaDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    installSchemaMembers();
    proj_ = makeRef<AGP>();
    proj_->AddProj("shop");
  }
  AGP& proj() { return *proj_; }
  void load(const std::string& db = testing::kShopDb, const std::string& password = testing::kReaderPassword,
            const std::string& port = "") {
    LoadDB(proj(), Variant(db), Variant("mysql"), Variant(server().host()),
           Variant(port.empty() ? this->port() : port), Variant(testing::kReader), Variant(password),
           Variant(""), Variant("native"), Variant(""), Variant("utf-8"));
  }
  AGPTable* table(const char* name) { return proj().db()->tables().Item(Variant(name)); }

 private:
  Ref<AGP> proj_;
};

TEST_F(MariaDbLoadersTest, AFullLoadReadsEveryTableAndView) {
  load();
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPTables& tables = proj().db()->tables();
  EXPECT_EQ(tables.Count(), 7);  // the sequence is left out
  EXPECT_FALSE(tables.Exist(Variant("invoice_numbers")));
  EXPECT_EQ(proj().db()->str("DBQuoteS"), "`");
  AGPTable* flags = table("flags");
  EXPECT_EQ(flags->Fields().Item(Variant("active"))->str("FldHtmlTag"), "CHECKBOX");
  EXPECT_EQ(flags->Fields().Item(Variant("answer"))->str("FldHtmlTag"), "CHECKBOX");
  EXPECT_EQ(flags->Fields().Item(Variant("tags"))->str("FldHtmlTag"), "CHECKBOX");
  EXPECT_EQ(flags->Fields().Item(Variant("id"))->str("FldHtmlTag"), "NO");
  AGPTable* kunden = table("Kunden");
  AGPField* size = kunden->Fields().Item(Variant("Größe"));
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(size->str("FldHtmlTag"), "RADIO");
  // ß has no one-letter upper-case form, so it counts as upper and starts a word.
  EXPECT_EQ(size->str("FldCaption"), "Grö ße");
  EXPECT_TRUE(kunden->Fields().Item(Variant("e-mail"))->flag("FldUniqueIdx"));
  EXPECT_EQ(kunden->Fields().Item(Variant("e-mail"))->str("FldVar"), "x_e2Dmail");
  AGPTable* lines = table("order lines");
  EXPECT_EQ(lines->str("TblKey"), "line no,order id");
  EXPECT_EQ(lines->str("TblVar"), "order_lines");
  EXPECT_EQ(lines->Fields().Item(Variant("qty"))->setting("FldDefault").toString(), "1");
  // NOT NULL with a default the database fills in: not required on forms.
  EXPECT_FALSE(lines->Fields().Item(Variant("qty"))->flag("FldRequired"));
  EXPECT_TRUE(lines->Fields().Item(Variant("qty"))->flag("FldReq"));
  EXPECT_TRUE(lines->Fields().Item(Variant("order id"))->flag("FldRequired"));
  EXPECT_FALSE(lines->Fields().Item(Variant("label"))->flag("FldRequired"));  // DEFAULT ''
  AGPTable* types = table("all_types");
  EXPECT_EQ(types->Fields().Count(), 39);
  EXPECT_EQ(types->Fields().Item(Variant("c_longblob"))->str("FldHtmlTag"), "FILE");
  EXPECT_EQ(types->Fields().Item(Variant("c_uuid"))->str("FldValidate"), "GUID");
  EXPECT_EQ(types->Fields().Item(Variant("c_bit1"))->str("FldHtmlTag"), "RADIO");
  EXPECT_FALSE(table("big orders")->flag("TblAdd"));
}

TEST_F(MariaDbLoadersTest, AWrongPasswordLeavesNoDatabaseAndTheServersMessage) {
  load(testing::kShopDb, "not-the-password");
  EXPECT_THAT(AGP::ProjErr(), HasSubstr("Access denied for user 'tw_reader'"));
  EXPECT_EQ(proj().DBCnt(), 0);
}

TEST_F(MariaDbLoadersTest, AnUnreachablePortLeavesNoDatabase) {
  load(testing::kShopDb, testing::kReaderPassword, "1");
  EXPECT_THAT(AGP::ProjErr(), HasSubstr("Can't connect"));
  EXPECT_EQ(proj().DBCnt(), 0);
}

TEST_F(MariaDbLoadersTest, AnEmptyDatabaseNameIsRefusedBeforeConnecting) {
  load("");
  EXPECT_EQ(AGP::ProjErr(), "Invalid DBName specified!");
  EXPECT_EQ(proj().DBCnt(), 0);
}

TEST_F(MariaDbLoadersTest, DynamicLoadingThenLoadTable) {
  proj().setSetting("DynamicLoadDB", Variant(true));
  load();
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPTable* kunden = table("Kunden");
  EXPECT_FALSE(kunden->flag("TblLoaded"));
  EXPECT_EQ(kunden->Fields().Count(), 0);
  LoadTable(proj(), Variant("Kunden"));
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_TRUE(kunden->flag("TblLoaded"));
  EXPECT_EQ(kunden->Fields().Count(), 4);
  EXPECT_EQ(kunden->str("TblKey"), "Kundennummer");
  EXPECT_FALSE(table("flags")->flag("TblLoaded"));
  LoadTable(proj(), Variant("Kunden"));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Table Kunden already loaded!");
}

TEST_F(MariaDbLoadersTest, ACustomViewWithRepeatedColumnNamesLeavesNoTable) {
  load();
  ASSERT_EQ(AGP::ProjErr(), "");
  LoadCustomView(proj(), Variant("twice"),
                 Variant("SELECT k.`Kundennummer`, f.id AS `Kundennummer` FROM Kunden k, flags f"),
                 Variant(true));
  EXPECT_EQ(AGP::ProjErr(),
            "Columns with same field name: Kundennummer. Please create Alias for the fields.");
  EXPECT_FALSE(proj().db()->tables().Exist(Variant("twice")));
  EXPECT_EQ(LoadzbCustomView(*proj().db(), Variant("twice"), Variant("SELECT id, id FROM flags")), 2);
  EXPECT_EQ(proj().db()->tables().Count(), 7);
}

TEST_F(MariaDbLoadersTest, ACustomViewTakesOverSettingsOfLoadedColumns) {
  load();
  ASSERT_EQ(AGP::ProjErr(), "");
  table("Kunden")->Fields().Item(Variant("e-mail"))->setSetting("FldCaption", Variant("Mail address"));
  LoadCustomView(proj(), Variant("mail list"),
                 Variant("SELECT k.`e-mail` AS mail, UPPER(k.`Straße`) AS street FROM `Kunden` AS k"),
                 Variant(true));
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPTable* v = table("mail list");
  AGPField* mail = v->Fields().Item(Variant("mail"));
  EXPECT_EQ(mail->str("FldSourceTable"), "Kunden");
  EXPECT_EQ(mail->str("FldSourceField"), "e-mail");
  EXPECT_EQ(mail->str("FldCaption"), "Mail address");
  EXPECT_TRUE(mail->flag("FldUniqueIdx"));
  AGPField* street = v->Fields().Item(Variant("street"));
  EXPECT_TRUE(street->flag("FldAlias"));
  EXPECT_EQ(street->str("FldCaption"), "street");
  EXPECT_EQ(v->str("TblCustomError"), "");
}

TEST_F(MariaDbLoadersTest, ABrokenCustomViewReportsTheServersMessage) {
  load();
  LoadCustomView(proj(), Variant("broken"), Variant("SELECT nothing FROM Kunden"), Variant(false));
  EXPECT_THAT(AGP::ProjErr(), HasSubstr("nothing"));
  EXPECT_FALSE(proj().db()->tables().Exist(Variant("broken")));
}

TEST_F(MariaDbLoadersTest, AReportFromAListedButNotLoadedTableFails) {
  proj().setSetting("DynamicLoadDB", Variant(true));
  load();
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_FALSE(LoadReport(proj(), Variant("customer report"), Variant("Kunden")));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Table/View Kunden not exist or loaded!");
  LoadTable(proj(), Variant("Kunden"));
  EXPECT_TRUE(LoadReport(proj(), Variant("customer report"), Variant("Kunden")));
  EXPECT_EQ(table("customer report")->Fields().Count(), 4);
}

}  // namespace
}  // namespace tw
