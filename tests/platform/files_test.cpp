// The file layer: Windows-style paths, case-insensitive lookup, text decoding,
// atomic writes and the folder helpers.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace tw {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* root = std::getenv("TARNWICK_TEST_ROOT");
    ASSERT_NE(root, nullptr);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(root) / "files" / info->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  // The test folder in the engine's Windows form.
  std::string win(const std::string& relative = "") const {
    std::string p = dir_.string();
    for (char& c : p)
      if (c == '/') c = '\\';
    return relative.empty() ? p : p + "\\" + relative;
  }
  void put(const fs::path& relative, const std::string& bytes) const {
    fs::create_directories((dir_ / relative).parent_path());
    std::ofstream(dir_ / relative, std::ios::binary) << bytes;
  }
  std::string bytesOf(const fs::path& relative) const {
    std::ifstream in(dir_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
};

TEST_F(FilesTest, BackslashPathsReachFiles) {
  EXPECT_EQ(nativePath("a\\b\\c.php"), fs::path("a/b/c.php"));
  put("sub/page.php", "x");
  EXPECT_TRUE(fileExists(win("sub\\page.php")));
  EXPECT_TRUE(folderExists(win("sub")));
  EXPECT_FALSE(fileExists(win("sub")));
  EXPECT_FALSE(folderExists(win("sub\\page.php")));
}

TEST_F(FilesTest, ComponentsAreFoundWhateverTheirLetterCase) {
  put("Images/Logo.GIF", "gif");
  EXPECT_EQ(resolvePath(win("images\\LOGO.gif")), dir_ / "Images" / "Logo.GIF");
  EXPECT_TRUE(fileExists(win("IMAGES\\logo.gif")));
  EXPECT_EQ(readTextFile(win("iMaGeS\\lOgO.GiF")).value_or("?"), "gif");
  // Past the first component that is missing the rest stays as written.
  EXPECT_EQ(resolvePath(win("IMAGES\\New\\x.txt")), dir_ / "Images" / "New" / "x.txt");
  EXPECT_FALSE(fileExists(win("images\\logo.png")));
}

TEST_F(FilesTest, ExactNameWinsOverAnotherCase) {
  put("a/File.txt", "upper");
  put("a/file.txt", "lower");
  EXPECT_EQ(readTextFile(win("a\\file.txt")).value_or(""), "lower");
  EXPECT_EQ(readTextFile(win("a\\File.txt")).value_or(""), "upper");
}

TEST_F(FilesTest, JoinAndLastComponent) {
  EXPECT_EQ(joinPath("a\\b", "c.php"), "a\\b\\c.php");
  EXPECT_EQ(joinPath("a\\b\\", "c.php"), "a\\b\\c.php");
  EXPECT_EQ(joinPath("a/b/", "c.php"), "a/b/c.php");
  EXPECT_EQ(joinPath("", "c.php"), "c.php");
  EXPECT_EQ(lastPathComponent("C:\\x\\templates\\php.zip"), "php.zip");
  EXPECT_EQ(lastPathComponent("a/b"), "b");
  EXPECT_EQ(lastPathComponent("plain"), "plain");
}

TEST(TextDecoding, ByteOrderMarksAndCodePages) {
  // UTF-8 with and without a mark.
  EXPECT_EQ(decodeText("\xEF\xBB\xBFh\xC3\xA9"), "h\xC3\xA9");
  EXPECT_EQ(decodeText("h\xC3\xA9"), "h\xC3\xA9");
  // UTF-16 LE "A€" and a character outside the basic plane (U+1F600).
  EXPECT_EQ(decodeText(std::string("\xFF\xFE"
                                   "A\0\xAC\x20\x3D\xD8\x00\xDE",
                                   10)),
            "A\xE2\x82\xAC\xF0\x9F\x98\x80");
  // UTF-16 BE "Hé".
  EXPECT_EQ(decodeText(std::string("\xFE\xFF\0H\0\xE9", 6)), "H\xC3\xA9");
  // An unpaired surrogate becomes U+FFFD instead of invalid UTF-8.
  EXPECT_EQ(decodeText(std::string("\xFF\xFE\x00\xD8"
                                   "A\0",
                                   6)),
            "\xEF\xBF\xBD"
            "A");
  // Bytes that are not UTF-8 are Windows-1252: 0x80 is the euro sign, 0xE9 é.
  EXPECT_EQ(decodeText("\x80 caf\xE9"), "\xE2\x82\xAC caf\xC3\xA9");
  // An overlong form is not UTF-8 either.
  EXPECT_EQ(decodeText("\xC0\xAF"), "\xC3\x80\xC2\xAF");
}

TEST(TextEncoding, EncodingsRoundTripThroughDecoding) {
  const std::string text = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
  EXPECT_EQ(encodeText(text, TextEncoding::Utf8), text);
  EXPECT_EQ(encodeText(text, TextEncoding::Utf8Bom), "\xEF\xBB\xBF" + text);
  EXPECT_EQ(decodeText(encodeText(text, TextEncoding::Utf8Bom)), text);
  std::string utf16 = encodeText(text, TextEncoding::Utf16LE);
  EXPECT_EQ(utf16.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(utf16.size(), 2u + 2 * 9);  // seven basic characters and one surrogate pair
  EXPECT_EQ(decodeText(utf16), text);
  EXPECT_EQ(encodeText(text, TextEncoding::Latin1), "caf\xE9 ? ?");
}

TEST_F(FilesTest, WriteReplacesTheFileAndLeavesNoTemporaryFiles) {
  ASSERT_TRUE(writeTextFile(win("out.txt"), "first"));
  ASSERT_TRUE(writeTextFile(win("out.txt"), "second, longer text"));
  EXPECT_EQ(bytesOf("out.txt"), "second, longer text");
  ASSERT_TRUE(writeTextFile(win("out.txt"), "x"));
  EXPECT_EQ(bytesOf("out.txt"), "x");
  EXPECT_EQ(listFiles(win()), std::vector<std::string>{"out.txt"});
  ASSERT_TRUE(writeTextFile(win("u16.txt"), "\xC3\xA9", TextEncoding::Utf16LE));
  EXPECT_EQ(bytesOf("u16.txt"), std::string("\xFF\xFE\xE9\0", 4));
}

TEST_F(FilesTest, WriteIfChangedLeavesAFileWithTheSameBytesAlone) {
  put("page.php", "<?php echo 1;");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(dir_ / "page.php", old);
  ASSERT_TRUE(writeTextFileIfChanged(win("page.php"), "<?php echo 1;"));
  EXPECT_EQ(fs::last_write_time(dir_ / "page.php"), old);
  // Same length, other bytes; a longer and a shorter text: each replaces it.
  for (const std::string text : {"<?php echo 2;", "<?php echo 2; // more", "<?php"}) {
    ASSERT_TRUE(writeTextFileIfChanged(win("page.php"), text));
    EXPECT_EQ(bytesOf("page.php"), text);
  }
  EXPECT_NE(fs::last_write_time(dir_ / "page.php"), old);
  // An empty text against an empty file, and a file that does not exist yet.
  put("empty.txt", "");
  EXPECT_TRUE(fileHoldsBytes(win("empty.txt"), ""));
  EXPECT_FALSE(fileHoldsBytes(win("new.txt"), ""));
  ASSERT_TRUE(writeTextFileIfChanged(win("new.txt"), ""));
  EXPECT_TRUE(fs::exists(dir_ / "new.txt"));
  // A folder of that name is never "the same".
  fs::create_directories(dir_ / "folder");
  EXPECT_FALSE(fileHoldsBytes(win("folder"), ""));
}

TEST_F(FilesTest, WriteIntoMissingFolderFails) {
  EXPECT_FALSE(writeTextFile(win("missing\\out.txt"), "x"));
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(FilesTest, WriteFindsAFolderUnderAnotherCase) {
  fs::create_directories(dir_ / "Temp");
  ASSERT_TRUE(writeTextFile(win("TEMP\\cache.xml"), "<Cache/>"));
  EXPECT_EQ(bytesOf("Temp/cache.xml"), "<Cache/>");
}

TEST_F(FilesTest, ModifiedDateIsTheLocalTimeAsADateSerial) {
  put("f.txt", "12345");
  // 6 December 2026 18:05:56 local time is day 46362 after 30 December 1899.
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 6;
  local.tm_hour = 18;
  local.tm_min = 5;
  local.tm_sec = 56;
  local.tm_isdst = -1;
  auto when = std::chrono::system_clock::from_time_t(std::mktime(&local)) + std::chrono::milliseconds(700);
  fs::last_write_time(dir_ / "f.txt", std::chrono::file_clock::from_sys(when));
  auto serial = fileModifiedDate(win("f.txt"));
  ASSERT_TRUE(serial.has_value());
  const double expected = 46362 + (18 * 3600 + 5 * 60 + 56) / 86400.0;
  EXPECT_NEAR(*serial, expected, 0.1 / 86400.0);
  EXPECT_EQ(fileSize(win("f.txt")), 5);
  EXPECT_FALSE(fileModifiedDate(win("nope.txt")).has_value());
  EXPECT_EQ(fileSize(win("nope.txt")), -1);
}

TEST_F(FilesTest, FoldersAreCreatedListedAndDeleted) {
  EXPECT_FALSE(createFolder(win("a\\b")));  // the parent is missing
  EXPECT_TRUE(createFolders(win("a\\b\\c")));
  EXPECT_TRUE(fs::is_directory(dir_ / "a" / "b" / "c"));
  EXPECT_TRUE(createFolder(win("a\\d")));
  EXPECT_TRUE(createFolders(win("A\\B")));  // already there under another case
  EXPECT_FALSE(fs::exists(dir_ / "A"));
  put("a/z.txt", "z");
  put("a/y.txt", "y");
  EXPECT_EQ(listFiles(win("a")), (std::vector<std::string>{"y.txt", "z.txt"}));
  EXPECT_EQ(listFolders(win("a")), (std::vector<std::string>{"b", "d"}));
  EXPECT_TRUE(deleteFile(win("a\\z.txt")));
  EXPECT_FALSE(deleteFile(win("a\\z.txt")));
  EXPECT_FALSE(deleteFile(win("a\\b")));  // a folder is not a file
  EXPECT_TRUE(deleteFolder(win("a")));
  EXPECT_FALSE(fs::exists(dir_ / "a"));
  EXPECT_FALSE(deleteFolder(win("a")));
}

TEST_F(FilesTest, CopiesRespectTheOverwriteFlag) {
  put("src/one.txt", "1");
  put("src/deep/two.txt", "2");
  put("dst/one.txt", "old");
  EXPECT_FALSE(copyFile(win("src\\one.txt"), win("dst\\one.txt"), false));
  EXPECT_EQ(bytesOf("dst/one.txt"), "old");
  EXPECT_TRUE(copyFile(win("src\\one.txt"), win("dst\\one.txt"), true));
  EXPECT_EQ(bytesOf("dst/one.txt"), "1");
  EXPECT_FALSE(copyFile(win("src\\none.txt"), win("dst\\none.txt")));

  put("dst2/one.txt", "keep");
  EXPECT_TRUE(copyFolder(win("src"), win("dst2"), false));
  EXPECT_EQ(bytesOf("dst2/one.txt"), "keep");
  EXPECT_EQ(bytesOf("dst2/deep/two.txt"), "2");
  EXPECT_TRUE(copyFolder(win("src"), win("dst2"), true));
  EXPECT_EQ(bytesOf("dst2/one.txt"), "1");
}

TEST_F(FilesTest, ReadingAMissingFileGivesNothing) {
  EXPECT_FALSE(readFile(win("none")).has_value());
  EXPECT_FALSE(readTextFile(win("none")).has_value());
  fs::create_directories(dir_ / "folder");
  EXPECT_FALSE(readFile(win("folder")).has_value());
  put("empty.txt", "");
  EXPECT_EQ(readTextFile(win("empty.txt")).value_or("?"), "");
}

}  // namespace
}  // namespace tw
