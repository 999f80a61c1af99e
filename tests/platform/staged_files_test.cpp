// Files replaced together, all or nothing.
#include "platform/staged_files.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

namespace tw {
namespace {

namespace fs = std::filesystem;

class StagedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* root = std::getenv("TARNWICK_TEST_ROOT");
    ASSERT_NE(root, nullptr);
    dir_ = fs::path(root) / "staged" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void put(const fs::path& relative, const std::string& bytes) const {
    fs::create_directories((dir_ / relative).parent_path());
    std::ofstream(dir_ / relative, std::ios::binary) << bytes;
  }
  std::string bytesOf(const fs::path& relative) const {
    std::ifstream in(dir_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string at(const fs::path& relative) const { return (dir_ / relative).string(); }
  // Every file below the test folder, relative to it.
  std::set<std::string> files() const {
    std::set<std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      if (!e.is_directory()) all.insert(fs::relative(e.path(), dir_).string());
    return all;
  }
  size_t temporaries() const {
    size_t n = 0;
    for (const std::string& f : files()) n += f.size() > 4 && f.substr(f.size() - 4) == ".tmp";
    return n;
  }
  fs::path dir_;
};

TEST_F(StagedFilesTest, TargetsKeepTheirOldFilesUntilTheCommitPutsAllInPlace) {
  put("a.txt", "old a");
  put("sub/c.txt", "old c");
  fs::permissions(dir_ / "a.txt", fs::perms(0640));
  const mode_t mask = ::umask(0022);
  StagedFiles batch;
  EXPECT_EQ(batch.stage(at("a.txt"), "new a"), 0);
  EXPECT_EQ(batch.stage(at("b.txt"), "new b"), 0);
  EXPECT_EQ(batch.stage(at("sub\\c.txt"), "new c"), 0);
  // Staged twice: the later bytes go in.
  EXPECT_EQ(batch.stage(at("b.txt"), "newer b"), 0);
  EXPECT_EQ(batch.size(), 3u);
  EXPECT_EQ(bytesOf("a.txt"), "old a");
  EXPECT_FALSE(fs::exists(dir_ / "b.txt"));
  EXPECT_EQ(bytesOf("sub/c.txt"), "old c");
  EXPECT_EQ(temporaries(), 3u);
  const std::vector<std::string> folders = batch.folders();
  EXPECT_EQ(std::set<std::string>(folders.begin(), folders.end()),
            (std::set<std::string>{dir_.string(), (dir_ / "sub").string()}));

  EXPECT_EQ(batch.commit(), 0);
  ::umask(mask);
  EXPECT_EQ(files(), (std::set<std::string>{"a.txt", "b.txt", "sub/c.txt"}));
  EXPECT_EQ(bytesOf("a.txt"), "new a");
  EXPECT_EQ(bytesOf("b.txt"), "newer b");
  EXPECT_EQ(bytesOf("sub/c.txt"), "new c");
  EXPECT_EQ(fs::status(dir_ / "a.txt").permissions() & fs::perms::all, fs::perms(0640));
  EXPECT_EQ(fs::status(dir_ / "b.txt").permissions() & fs::perms::all, fs::perms(0644));
}

TEST_F(StagedFilesTest, ABatchGivenUpLeavesEveryTargetAsItWas) {
  put("lib/app.php", "old app");
  put("template/lib/app.php", "new app");
  put("template/lib/css/site.css", "new css");
  put("template/lib/js/deep/x.js", "new js");
  fs::permissions(dir_ / "template/lib/js/deep/x.js", fs::perms(0755));
  const std::set<std::string> before = files();
  {
    StagedFiles batch;
    ASSERT_EQ(batch.stageFolder(at("template/lib"), at("lib")), 0);
    EXPECT_EQ(batch.size(), 3u);
    // The folders missing in the target are made while staging.
    EXPECT_TRUE(fs::is_directory(dir_ / "lib/js/deep"));
  }
  // Destroyed without a commit: the staged files and the folders made for
  // them are gone, the old file is untouched.
  EXPECT_EQ(files(), before);
  EXPECT_FALSE(fs::exists(dir_ / "lib/js"));
  EXPECT_FALSE(fs::exists(dir_ / "lib/css"));
  EXPECT_EQ(bytesOf("lib/app.php"), "old app");

  StagedFiles batch;
  ASSERT_EQ(batch.stageFolder(at("template/lib"), at("lib")), 0);
  ASSERT_EQ(batch.commit(), 0);
  EXPECT_EQ(bytesOf("lib/app.php"), "new app");
  EXPECT_EQ(bytesOf("lib/js/deep/x.js"), "new js");
  // A new copy gets the permissions of its source.
  EXPECT_EQ(fs::status(dir_ / "lib/js/deep/x.js").permissions() & fs::perms::all, fs::perms(0755));
  EXPECT_EQ(temporaries(), 0u);
}

TEST_F(StagedFilesTest, WhatCannotBeStagedIsNamedAndNothingOfItStays) {
  put("a.txt", "old a");
  put("folder/inside.txt", "x");
  put("file", "a file");
  put("source/one.txt", "one");
  const struct {
    const char* what;
    std::function<int(StagedFiles&)> stage;
    int error;
    std::string failed;
  } cases[] = {
      {"a folder where the file goes", [&](StagedFiles& b) { return b.stage(at("folder"), "x"); }, EISDIR,
       at("folder")},
      {"a missing folder", [&](StagedFiles& b) { return b.stage(at("missing/x.txt"), "x"); }, ENOENT,
       at("missing/x.txt")},
      {"a folder as the source", [&](StagedFiles& b) { return b.stageCopy(at("folder"), at("copy.txt")); }, EISDIR,
       at("copy.txt")},
      {"a missing source", [&](StagedFiles& b) { return b.stageCopy(at("none.txt"), at("copy.txt")); }, ENOENT,
       at("copy.txt")},
      {"a file where a folder goes", [&](StagedFiles& b) { return b.stageFolder(at("source"), at("file/sub")); },
       ENOTDIR, at("file")},
  };
  const std::set<std::string> before = files();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StagedFiles batch;
    ASSERT_EQ(batch.stage(at("a.txt"), "new a"), 0);
    EXPECT_EQ(c.stage(batch), c.error);
    EXPECT_EQ(batch.failedPath(), c.failed);
    EXPECT_EQ(batch.size(), 1u);
    batch.abandon();
    EXPECT_EQ(files(), before);
    EXPECT_EQ(bytesOf("a.txt"), "old a");
  }
}

TEST_F(StagedFilesTest, ARenameThatFailsWhileCommittingPutsBackWhatWasAlreadyRenamed) {
  put("a.txt", "old a");
  put("c.txt", "old c");
  StagedFiles batch;
  ASSERT_EQ(batch.stage(at("a.txt"), "new a"), 0);
  ASSERT_EQ(batch.stage(at("b.txt"), "new b"), 0);
  ASSERT_EQ(batch.stage(at("c.txt"), "new c"), 0);
  // Between staging and committing, a folder takes the third file's place.
  fs::remove(dir_ / "c.txt");
  fs::create_directories(dir_ / "c.txt" / "inside");
  EXPECT_EQ(batch.commit(), EISDIR);
  EXPECT_EQ(batch.failedPath(), at("c.txt"));
  EXPECT_EQ(bytesOf("a.txt"), "old a");
  EXPECT_FALSE(fs::exists(dir_ / "b.txt"));
  EXPECT_EQ(files(), (std::set<std::string>{"a.txt"}));
  EXPECT_EQ(batch.size(), 0u);
}

TEST_F(StagedFilesTest, ASymbolicLinkKeepsItsPlace) {
  put("real/config.php", "old");
  fs::create_symlink(dir_ / "real" / "config.php", dir_ / "config.php");
  StagedFiles batch;
  ASSERT_EQ(batch.stage(at("config.php"), "new"), 0);
  ASSERT_EQ(batch.commit(), 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "config.php"));
  EXPECT_EQ(bytesOf("real/config.php"), "new");
}

}  // namespace
}  // namespace tw
