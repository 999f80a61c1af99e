// Loading a project file with AutoSync set: the check against the live
// database with the file's connection settings, the keep/update question and
// its answers, and a database that cannot be read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sync/sync_answers.h"
#include "sync/sync_fixture.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kModified =
    "Database has been modified since last change. Do you want to keep old definition or update to new "
    "definition?";

class LoadAutoSyncTest : public testing::SyncMariaDbTest {
 protected:
  // The project with a user's caption, saved with AutoSync set.
  std::string saveProject(const std::function<void(AGP&)>& edit = {}) {
    Ref<AGP> proj = build();
    field(*proj, "customers", "email")->setSetting("FldCaption", Variant("E-mail address"));
    if (edit) edit(*proj);
    proj->setSetting("AutoSync", Variant(true));
    std::string file = (dir() / "autosync.xml").string();
    proj->Save(file);
    return file;
  }
  Ref<AGP> load(const std::string& file) {
    auto proj = makeRef<AGP>();
    proj->Load(file);
    return proj;
  }
};

TEST_F(LoadAutoSyncTest, AnUnchangedDatabaseAsksNothing) {
  std::string file = saveProject();
  Ref<AGP> proj = load(file);
  EXPECT_EQ(AGP::ProjErr(), "");
  EXPECT_TRUE(prompt().shown().empty());
  EXPECT_EQ(proj->db()->tables().Count(), 6);
}

TEST_F(LoadAutoSyncTest, UpdateBringsTheProjectInLineWithTheDatabase) {
  std::string file = saveProject();
  sql("ALTER TABLE customers MODIFY email VARCHAR(200);"
      "DROP TABLE orders;"
      "CREATE TABLE extra (a INT PRIMARY KEY, b INT)");
  prompt().answer(kSyncPromptId, "Update");
  Ref<AGP> proj = load(file);
  // The question, then the pairing of the new table with the vanished one
  // (left unpaired).
  ASSERT_EQ(prompt().shown().size(), 2u);
  EXPECT_EQ(prompt().shown()[0].kind, "ask");
  EXPECT_EQ(prompt().shown()[0].title, "Tarnwick");
  EXPECT_EQ(prompt().shown()[0].text, kModified);
  EXPECT_EQ(prompt().shown()[1].kind, "pair");
  EXPECT_EQ(prompt().shown()[1].title, "New table found in schema");
  EXPECT_EQ(field(*proj, "customers", "email")->int32("FldSize"), 200);
  EXPECT_EQ(field(*proj, "customers", "email")->str("FldCaption"), "E-mail address");
  EXPECT_EQ(table(*proj, "orders"), nullptr);
  ASSERT_NE(table(*proj, "extra"), nullptr);
  // The keys are rebuilt from the fields at the end.
  EXPECT_EQ(table(*proj, "extra")->str("TblKey"), "a");
  EXPECT_EQ(CheckDB(*proj), 0);
}

TEST_F(LoadAutoSyncTest, KeepLeavesTheProjectAsTheFileHasIt) {
  std::string file = saveProject();
  sql("ALTER TABLE customers MODIFY email VARCHAR(200);"
      "DROP TABLE orders");
  prompt().answer(kSyncPromptId, "Keep");
  Ref<AGP> proj = load(file);
  ASSERT_EQ(prompt().shown().size(), 1u);
  EXPECT_EQ(prompt().shown()[0].answer, "Keep");
  EXPECT_EQ(field(*proj, "customers", "email")->int32("FldSize"), 120);
  EXPECT_NE(table(*proj, "orders"), nullptr);
  EXPECT_EQ(CheckDB(*proj), 2 + 5);
}

TEST_F(LoadAutoSyncTest, WithoutAnAnswerTheProjectIsKept) {
  std::string file = saveProject();
  sql("DROP TABLE orders");
  engine().setPrompts(std::make_unique<NonInteractivePrompt>());
  Ref<AGP> proj = load(file);
  EXPECT_NE(table(*proj, "orders"), nullptr);
}

TEST_F(LoadAutoSyncTest, PresetAnswersUpdateAndPairWithoutAsking) {
  std::string file =
      saveProject([this](AGP& p) { table(p, "orders")->setSetting("TblCaption", Variant("My Orders")); });
  sql("RENAME TABLE orders TO purchases;"
      "ALTER TABLE order_lines DROP PRIMARY KEY, ADD PRIMARY KEY (qty, order_id, line_no)");
  auto answers = std::make_unique<SyncAnswers>(std::make_unique<NonInteractivePrompt>());
  answers->setUpdate(true);
  answers->setUpdateKeys(false);
  answers->pairTable("purchases", "orders");
  answers->setPairsComplete(true);
  engine().setPrompts(std::move(answers));
  Ref<AGP> proj = load(file);
  EXPECT_EQ(table(*proj, "orders"), nullptr);
  EXPECT_EQ(table(*proj, "purchases")->str("TblCaption"), "My Orders");
  EXPECT_EQ(table(*proj, "order_lines")->str("TblKey"), "line_no,order_id");
}

TEST_F(LoadAutoSyncTest, AnUnreachableServerShowsAWarningAndKeepsTheModel) {
  std::string file = saveProject([](AGP& p) { p.db()->setSetting("DBPort", Variant("1")); });
  Ref<AGP> proj = load(file);
  ASSERT_EQ(prompt().shown().size(), 1u);
  const auto& shown = prompt().shown()[0];
  EXPECT_EQ(shown.kind, "message");
  EXPECT_EQ(shown.title, "Tarnwick");
  EXPECT_THAT(shown.text, StartsWith("Unable to load database information! Reason: "));
  EXPECT_THAT(shown.text, HasSubstr("Can't connect"));
  EXPECT_THAT(shown.text, EndsWith(". Please check if correct database is in use."));
  EXPECT_THAT(AGP::ProjErr(), HasSubstr("Can't connect"));
  EXPECT_EQ(proj->db()->tables().Count(), 6);
  EXPECT_EQ(field(*proj, "customers", "email")->str("FldCaption"), "E-mail address");
  EXPECT_EQ(table(*proj, "order_lines")->str("TblKey"), "line_no,order_id");
}

TEST_F(LoadAutoSyncTest, AMissingJavaSetupIsNotShown) {
  std::string file = saveProject([](AGP& p) { p.db()->setSetting("DBConnectionMethod", Variant("JDBC")); });
  Ref<AGP> proj = load(file);
  EXPECT_TRUE(prompt().shown().empty());
  EXPECT_EQ(AGP::ProjErr(), "JDBC ERROR");
  EXPECT_EQ(proj->db()->tables().Count(), 6);
}

TEST_F(LoadAutoSyncTest, WithAutoSyncOffNothingIsChecked) {
  Ref<AGP> built = build();
  sql("DROP TABLE orders");
  Ref<AGP> proj = reopen(*built, false);
  EXPECT_TRUE(prompt().shown().empty());
  EXPECT_NE(table(*proj, "orders"), nullptr);
  EXPECT_EQ(AGP::ProjErr(), "");
}

}  // namespace
}  // namespace tw
