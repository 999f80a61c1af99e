// The check's counting against a stand-in bridge whose tables the test
// changes between building the project and checking it: key lists in any
// order, a table that became a view, the 16-bit limit, and the progress
// windows of the steps.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "automation/error.h"
#include "core/agp.h"
#include "model/database.h"
#include "schema/fake_bridge.h"
#include "schema/loaders.h"
#include "support/engine_context.h"
#include "support/progress.h"
#include "support/status.h"
#include "sync/sync.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using testing::fakeBridge;
using testing::fakeColumn;
using testing::FakeObject;
using testing::fakeTable;

class RecordingSink : public ProgressSink {
 public:
  explicit RecordingSink(std::vector<std::string>& log) : log_(log) {}
  int32_t open(int32_t, int style, std::string_view caption) override {
    log_.push_back("open " + std::to_string(style) + " " + std::string(caption));
    return 7;
  }
  void setInfo(int32_t, std::string_view text) override { log_.push_back("info " + std::string(text)); }
  void setProgress(int32_t, int16_t) override {}
  bool isCancelled(int32_t) override { return false; }
  void close(int32_t) override { log_.push_back("close"); }

 private:
  std::vector<std::string>& log_;
};

class CheckCountsTest : public testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    proj_ = makeRef<AGP>();
    proj_->AddProj("fake");
  }
  AGP& proj() { return *proj_; }
  // Builds the project from these tables.
  void build(std::vector<Ref<FakeObject>> tables) {
    engine().bridge = fakeBridge(std::move(tables));
    LoadDB(proj(), Variant("shop"), Variant("mysql"), Variant("db.example"), Variant("3306"), Variant("ann"),
           Variant("pw"), Variant(""), Variant("native"), Variant(""), Variant("utf-8"));
    ASSERT_EQ(AGP::ProjErr(), "");
  }
  // The database as it is now.
  void change(std::vector<Ref<FakeObject>> tables) { engine().bridge = fakeBridge(std::move(tables)); }
  static std::vector<Ref<FakeObject>> columns(std::initializer_list<const char*> names) {
    std::vector<Ref<FakeObject>> out;
    for (const char* n : names) out.push_back(fakeColumn(n, 3));
    return out;
  }

 private:
  Ref<AGP> proj_;
};

TEST_F(CheckCountsTest, TheOrderOfKeyColumnsDoesNotMatterButAnAddedKeyColumnCountsOnce) {
  build({fakeTable("lines", "TABLE", columns({"a", "b", "c"}), "a,b")});
  change({fakeTable("lines", "TABLE", columns({"a", "b", "c"}), " b , a")});
  EXPECT_EQ(CheckDB(proj()), 0);
  change({fakeTable("lines", "TABLE", columns({"a", "b", "c"}), "c,b,a")});
  EXPECT_EQ(CheckDB(proj()), 1);
}

TEST_F(CheckCountsTest, AKeyChangeOfAViewIsNotCounted) {
  build({fakeTable("v", "VIEW", columns({"a", "b"}), "a")});
  change({fakeTable("v", "VIEW", columns({"a", "b"}), "a,b")});
  EXPECT_EQ(CheckDB(proj()), 0);
}

TEST_F(CheckCountsTest, ATableThatBecameAViewCountsAsRemovedAndNew) {
  build({fakeTable("x", "TABLE", columns({"a", "b"})), fakeTable("y", "TABLE", columns({"a"}))});
  change({fakeTable("x", "VIEW", columns({"a", "b", "c"})), fakeTable("y", "TABLE", columns({"a"}))});
  // Removed: 1 table + 2 fields; new: 1 view + 3 columns.
  EXPECT_EQ(CheckDB(proj()), 7);
}

TEST_F(CheckCountsTest, CountsUpTo32767AndOverflowBeyond) {
  build({});
  std::vector<Ref<FakeObject>> wide;
  for (int i = 0; i < 2000; ++i) wide.push_back(fakeColumn("c" + std::to_string(i), 3));
  std::vector<Ref<FakeObject>> tables;
  for (int t = 0; t < 16; ++t) tables.push_back(fakeTable("t" + std::to_string(t), "TABLE", wide));
  change(tables);
  // 16 new tables with 2000 columns each.
  EXPECT_EQ(CheckDB(proj()), 16 + 32000);
  tables.push_back(fakeTable("t16", "TABLE", wide));
  change(tables);
  std::vector<std::string> log;
  engine().status().setSink(std::make_unique<RecordingSink>(log));
  try {
    CheckDB(proj());
    ADD_FAILURE() << "no overflow";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 6);
  }
  // The progress window of the step is closed again.
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "open 2 Tarnwick - Checking Database...");
  EXPECT_EQ(log.back(), "close");
}

TEST_F(CheckCountsTest, WithoutADatabaseTheCheckFails) {
  EXPECT_EQ(CheckDB(proj()), -1);
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Database not loaded!");
}

TEST_F(CheckCountsTest, EachComparisonShowsItsOwnProgressWindow) {
  build({fakeTable("x", "TABLE", columns({"a"}))});
  std::vector<std::string> log;
  engine().status().setSink(std::make_unique<RecordingSink>(log));
  EXPECT_EQ(CheckDB(proj()), 0);
  EXPECT_THAT(log, ElementsAre("open 2 Tarnwick - Checking Database...", "info Please wait...", "close",
                               "open 2 Tarnwick - Checking Custom View...", "info Please wait...", "close",
                               "open 2 Tarnwick - Checking Report...", "info Please wait...", "close"));
}

}  // namespace
}  // namespace tw
