#include "generate/manifest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

TEST(GenerationManifestTest, WhatIsRecordedIsReadBack) {
  const fs::path file = fs::temp_directory_path() / ("tw-manifest-" + std::to_string(::getpid()) + ".txt");
  GenerationManifest m;
  m.record("public/orderslist.php", "<?php\n");
  m.record("folder with blanks/a b.php", "x");
  ASSERT_TRUE(m.save(file.string()));
  GenerationManifest back;
  ASSERT_TRUE(back.load(file.string()));
  EXPECT_EQ(back.entries().size(), 2u);
  ASSERT_NE(back.find("folder with blanks/a b.php"), nullptr);
  EXPECT_TRUE(GenerationManifest::matches(*back.find("public/orderslist.php"), "<?php\n"));
  EXPECT_FALSE(GenerationManifest::matches(*back.find("public/orderslist.php"), "<?php\r\n"));
  EXPECT_FALSE(GenerationManifest::matches(*back.find("folder with blanks/a b.php"), "y"));
  EXPECT_EQ(back.find("other.php"), nullptr);
  // Lines that cannot be read are left out; the rest still counts.
  std::ofstream(file, std::ios::app) << "12 nothex path.php\nbroken\n3 " << std::string(64, 'a') << " ok.php\n";
  ASSERT_TRUE(back.load(file.string()));
  EXPECT_EQ(back.entries().size(), 3u);
  EXPECT_EQ(back.find("path.php"), nullptr);
  fs::remove(file);
  EXPECT_FALSE(back.load(file.string()));
  EXPECT_TRUE(back.empty());
}

TEST(UnifiedDiffTest, HunksWithThreeLinesOfContext) {
  struct Case {
    std::string before, after, diff;
  } cases[] = {
      {"a\nb\n", "a\nb\n", ""},
      {"", "x\n", "--- a\n+++ b\n@@ -0,0 +1,1 @@\n+x\n"},
      {"x\n", "", "--- a\n+++ b\n@@ -1,1 +0,0 @@\n-x\n"},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n", "1\n2\n3\n4\nfive\n6\n7\n8\n9\n",
       "--- a\n+++ b\n@@ -2,7 +2,7 @@\n 2\n 3\n 4\n-5\n+five\n 6\n 7\n 8\n"},
      // Two changes far apart make two hunks.
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n", "one\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\ntwelve\n",
       "--- a\n+++ b\n@@ -1,4 +1,4 @@\n-1\n+one\n 2\n 3\n 4\n@@ -9,4 +9,4 @@\n 9\n 10\n 11\n-12\n+twelve\n"},
      {"a\nb", "a\nc", "--- a\n+++ b\n@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+c\n\\ No newline at end of file\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(unifiedDiff(c.before, c.after, "a", "b"), c.diff) << c.before;
}

}  // namespace
}  // namespace tw
