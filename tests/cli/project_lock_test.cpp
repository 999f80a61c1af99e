// Runs that change one project at the same time: each waits for the one
// before it, none loses another's change, and a run that waits too long
// names who holds the project. Temporary copies that killed runs left
// beside a project go with the next save.
#include <gmock/gmock.h>

#include <thread>

#include "cli_fixture.h"
#include "platform/file_lock.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;

class ProjectLockTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    project = newShop();
  }
  fs::path project;
};

TEST_F(ProjectLockTest, ChangesMadeAtTheSameTimeAreAllKept) {
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"customers", "id"}, {"customers", "name"},        {"customers", "email"},
      {"orders", "id"},    {"orders", "customer_id"}, {"orders", "total"},
  };
  std::vector<RunResult> results(fields.size());
  std::vector<std::thread> runs;
  for (size_t i = 0; i < fields.size(); ++i)
    runs.emplace_back([&, i] {
      results[i] = run({"set", "shop.xml", fields[i].first, fields[i].second,
                        "FldCaption=Caption " + std::to_string(i)});
    });
  for (std::thread& t : runs) t.join();
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(results[i].code, 0) << results[i];
    EXPECT_EQ(attribute(project, fieldXPath(fields[i].first, fields[i].second), "FldCaption"),
              "Caption " + std::to_string(i));
  }
  // Nothing stays beside the project.
  EXPECT_FALSE(fs::exists(work() / "shop.xml.lock"));
}

TEST_F(ProjectLockTest, ALockFileGoesWithItsHolderAndWhoWaitedOnItLocksTheNextOne) {
  const std::string path = (work() / "shop.xml.lock").string();
  auto first = std::make_unique<FileLock>(path);
  ASSERT_TRUE(first->tryLock("first"));
  FileLock waiting(path);  // opened while the first holds it
  EXPECT_FALSE(waiting.tryLock("waiting"));
  EXPECT_EQ(waiting.holder(), "first");
  first.reset();
  EXPECT_FALSE(fs::exists(path));
  // A newcomer makes a new file and holds it; the one that waited on the
  // removed file must not get in beside it.
  FileLock newcomer(path);
  ASSERT_TRUE(newcomer.tryLock("newcomer"));
  EXPECT_FALSE(waiting.tryLock("waiting"));
  EXPECT_EQ(waiting.holder(), "newcomer");
  newcomer.unlock();
  EXPECT_TRUE(waiting.tryLock("waiting"));
  EXPECT_EQ(newcomer.holder(), "waiting");
  waiting.unlock();
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(ProjectLockTest, ARunThatWaitsTooLongNamesTheHolderAndChangesNothing) {
  setEnv("TARNWICK_LOCK_WAIT", "0.3");
  Snapshot before = snapshot(project);
  write(work() / "settings.txt", "project BodyTitle=Mine\n");
  {
    FileLock held((work() / "shop.xml.lock").string());
    ASSERT_TRUE(held.tryLock("tarnwick sync (process 4242, since 10:11:12)"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"set", "shop.xml", "BodyTitle=Mine"},
          std::vector<std::string>{"add-view", "shop.xml", "mails", "--sql", "SELECT email FROM customers"},
          std::vector<std::string>{"apply", "shop.xml", "settings.txt"},
          std::vector<std::string>{"sync", "shop.xml"}}) {
      RunResult r = run(args);
      EXPECT_EQ(r.code, 1) << args[0] << r;
      EXPECT_THAT(r.err, HasSubstr("shop.xml is being changed by tarnwick sync (process 4242, since 10:11:12)"))
          << args[0];
      EXPECT_TRUE(snapshot(project) == before) << args[0];
    }
    // Reading needs no lock.
    EXPECT_EQ(run({"show", "shop.xml"}).code, 0);
  }
  RunResult after = run({"set", "shop.xml", "BodyTitle=Mine"});
  EXPECT_EQ(after.code, 0) << after;
  EXPECT_EQ(attribute(project, "/Project", "BodyTitle"), "Mine");
}

TEST_F(ProjectLockTest, ASaveRemovesOnlyTheStaleTemporaryCopiesOfItsOwnFile) {
  const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
  const auto inAnHour = fs::file_time_type::clock::now() + std::chrono::hours(1);
  struct Case {
    std::string name;
    fs::file_time_type time;
    bool inUse;  // a living writer holds it
    bool removed;
  } cases[] = {
      {"shop.xml.0123456789abcdef.tmp", hourAgo, false, true},
      {"shop.xml.fedcba9876543210.tmp", hourAgo, true, false},
      {"shop.xml.00000000000000aa.tmp", inAnHour, false, false},  // younger than the run
      {"shop.xml.0123.tmp", hourAgo, false, false},
      {"shop.xml.0123456789ABCDEF.tmp", hourAgo, false, false},
      {"other.xml.0123456789abcdef.tmp", hourAgo, false, false},
      {"shop.xml.0123456789abcdef.tmp.keep", hourAgo, false, false},
  };
  std::vector<std::unique_ptr<FileLock>> writers;
  for (const Case& c : cases) {
    write(work() / c.name, "<Project");
    fs::last_write_time(work() / c.name, c.time);
    if (c.inUse) {
      writers.push_back(std::make_unique<FileLock>((work() / c.name).string()));
      ASSERT_TRUE(writers.back()->tryLock(""));
      fs::last_write_time(work() / c.name, c.time);
    }
  }
  RunResult r = run({"set", "shop.xml", "BodyTitle=Mine"});
  ASSERT_EQ(r.code, 0) << r;
  for (const Case& c : cases) EXPECT_EQ(fs::exists(work() / c.name), !c.removed) << c.name;
}

}  // namespace
}  // namespace tw::testing
