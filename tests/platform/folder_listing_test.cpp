// FolderListingCache: kept folder listings for names that do not exist yet
// must never hide a file that is there.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/files.h"

namespace fs = std::filesystem;

namespace tw {
namespace {

class FolderListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int n = 0;
    dir_ = fs::path(std::getenv("TARNWICK_TEST_ROOT")) / ("listing-" + std::to_string(++n));
    fs::create_directories(dir_);
  }
  std::string at(const std::string& name) const { return (dir_ / name).string(); }
  // Another program's file, with the folder's change time moved on so that
  // the change is visible whatever the clock's resolution.
  void external(const std::string& name) {
    std::ofstream(dir_ / name) << "x";
    fs::last_write_time(dir_, fs::file_time_type::clock::now() + std::chrono::seconds(2));
  }
  fs::path dir_;
};

TEST_F(FolderListingTest, FilesWrittenMeanwhileAreFoundInAnyLetterCase) {
  FolderListingCache cache;
  EXPECT_FALSE(fileExists(at("Page.PHP")));
  ASSERT_TRUE(writeFile(at("page.php"), "one"));
  EXPECT_TRUE(fileExists(at("Page.PHP")));
  // Writing under another letter case replaces the file that is there.
  ASSERT_TRUE(writeFile(at("PAGE.php"), "two"));
  EXPECT_EQ(readFile(at("page.php")).value_or(""), "two");
  EXPECT_FALSE(fs::exists(dir_ / "PAGE.php"));
}

TEST_F(FolderListingTest, ChangesByOthersAreSeenOnceTheFolderChanged) {
  FolderListingCache cache;
  EXPECT_FALSE(fileExists(at("Other.txt")));
  external("other.txt");
  EXPECT_TRUE(fileExists(at("Other.txt")));
  ASSERT_TRUE(deleteFile(at("OTHER.TXT")));
  EXPECT_FALSE(fileExists(at("Other.txt")));
}

TEST_F(FolderListingTest, WithoutACacheEveryLookUpListsTheFolder) {
  const auto before = fs::last_write_time(dir_);
  {
    FolderListingCache cache;
    EXPECT_FALSE(fileExists(at("Late.txt")));
  }
  // A file made within the same tick of the clock leaves the folder's time
  // as it was: only a fresh listing finds it.
  std::ofstream(dir_ / "late.txt") << "x";
  fs::last_write_time(dir_, before);
  EXPECT_TRUE(fileExists(at("Late.txt")));
}

}  // namespace
}  // namespace tw
