#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/archive.h"

namespace fs = std::filesystem;

namespace tw {
namespace {

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int n = 0;
    dir_ = fs::path(std::getenv("TARNWICK_TEST_ROOT")) / ("archive-" + std::to_string(++n));
    fs::create_directories(dir_);
  }
  void write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // An archive written directly with libzip, for entry names our writer
  // would never produce.
  void rawArchive(const fs::path& zipPath, const std::vector<std::pair<std::string, std::string>>& entries) {
    int err = 0;
    zip_t* z = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    for (const auto& [name, data] : entries) {
      // libzip takes (and frees) only a buffer that holds something.
      char* copy = nullptr;
      if (!data.empty()) {
        copy = static_cast<char*>(std::malloc(data.size()));
        std::memcpy(copy, data.data(), data.size());
      }
      zip_source_t* src = zip_source_buffer(z, copy, data.size(), copy != nullptr);
      ASSERT_GE(zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(z), 0);
  }
  fs::path dir_;
};

TEST_F(ArchiveTest, RoundTripKeepsFolderStructureAndBytes) {
  write(dir_ / "src/control.xml", "<control/>");
  write(dir_ / "src/pages/list.php", std::string("a\0b\r\n", 5));
  write(dir_ / "src/images/\xc3\xa4pfel.gif", "GIF89a");
  ArchiveResult made = createArchive((dir_ / "t.zip").string(), (dir_ / "src").string());
  ASSERT_TRUE(made.ok) << made.error;
  EXPECT_EQ(made.files, 3);
  EXPECT_EQ(listArchive((dir_ / "t.zip").string()),
            (std::vector<std::string>{"control.xml", "images/\xc3\xa4pfel.gif", "pages/list.php"}));

  ArchiveResult out = extractArchive((dir_ / "t.zip").string(), (dir_ / "out").string());
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_EQ(out.files, 3);
  EXPECT_EQ(read(dir_ / "out/pages/list.php"), std::string("a\0b\r\n", 5));
  EXPECT_EQ(read(dir_ / "out/images/\xc3\xa4pfel.gif"), "GIF89a");
}

TEST_F(ArchiveTest, ExtractionReplacesExistingFilesAndKeepsOthers) {
  rawArchive(dir_ / "t.zip", {{"a.txt", "new"},
                              {"sub\\b.txt", "from windows"},
                              {"was-a-file/c.txt", "now a folder"},
                              {"was-a-folder", "now a file"},
                              {"empty-now/", ""}});
  write(dir_ / "out/a.txt", "old");
  write(dir_ / "out/keep.txt", "mine");
  // An older version of the archive had files where this one has folders,
  // and a folder where it has a file.
  write(dir_ / "out/was-a-file", "old file");
  write(dir_ / "out/empty-now", "old file");
  write(dir_ / "out/was-a-folder/inside.txt", "old");
  ArchiveResult out = extractArchive((dir_ / "t.zip").string(), (dir_ / "out").string());
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_EQ(read(dir_ / "out/a.txt"), "new");
  EXPECT_EQ(read(dir_ / "out/keep.txt"), "mine");
  // Backslash separators from Windows tools become folders.
  EXPECT_EQ(read(dir_ / "out/sub/b.txt"), "from windows");
  EXPECT_EQ(read(dir_ / "out/was-a-file/c.txt"), "now a folder");
  EXPECT_EQ(read(dir_ / "out/was-a-folder"), "now a file");
  EXPECT_TRUE(fs::is_directory(dir_ / "out/empty-now"));
}

TEST_F(ArchiveTest, EntriesThatWouldLeaveTheFolderAreRefusedBeforeWriting) {
  rawArchive(dir_ / "evil.zip", {{"fine.txt", "x"}, {"../escaped.txt", "y"}});
  ArchiveResult out = extractArchive((dir_ / "evil.zip").string(), (dir_ / "out").string());
  EXPECT_FALSE(out.ok);
  EXPECT_NE(out.error.find("../escaped.txt"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "escaped.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "out/fine.txt"));
  rawArchive(dir_ / "abs.zip", {{"/tmp/abs.txt", "z"}});
  EXPECT_FALSE(extractArchive((dir_ / "abs.zip").string(), (dir_ / "out").string()).ok);
}

TEST_F(ArchiveTest, AMissingOrCorruptArchiveReportsWhy) {
  ArchiveResult missing = extractArchive((dir_ / "none.zip").string(), (dir_ / "out").string());
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.error.empty());
  write(dir_ / "bad.zip", "this is not a zip file at all");
  ArchiveResult bad = extractArchive((dir_ / "bad.zip").string(), (dir_ / "out").string());
  EXPECT_FALSE(bad.ok);
  EXPECT_FALSE(bad.error.empty());
  EXPECT_TRUE(listArchive((dir_ / "bad.zip").string()).empty());
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST_F(ArchiveTest, SymbolicLinksAreNeitherCreatedNorFollowed) {
  // An archive entry marked as a Unix symbolic link.
  int err = 0;
  fs::path zipPath = dir_ / "link.zip";
  zip_t* z = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(z, nullptr);
  static const char target[] = "/etc/passwd";
  zip_int64_t i = zip_file_add(z, "pwd", zip_source_buffer(z, target, sizeof target - 1, 0), 0);
  ASSERT_GE(i, 0);
  ASSERT_EQ(zip_file_set_external_attributes(z, i, 0, ZIP_OPSYS_UNIX, (0120777u << 16)), 0);
  zip_int64_t j = zip_file_add(z, "ok.txt", zip_source_buffer(z, "ok", 2, 0), 0);
  ASSERT_GE(j, 0);
  ASSERT_EQ(zip_close(z), 0);
  ArchiveResult out = extractArchive(zipPath.string(), (dir_ / "out").string());
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_EQ(out.skipped, 1);
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "out/pwd")));
  EXPECT_EQ(read(dir_ / "out/ok.txt"), "ok");

  // A link already in the target folder that leads outside is not written through.
  fs::create_directories(dir_ / "elsewhere");
  fs::create_directories(dir_ / "out2");
  fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "out2/sub");
  rawArchive(dir_ / "through.zip", {{"sub/x.txt", "x"}});
  ArchiveResult through = extractArchive((dir_ / "through.zip").string(), (dir_ / "out2").string());
  EXPECT_FALSE(through.ok);
  EXPECT_FALSE(fs::exists(dir_ / "elsewhere/x.txt"));
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// An archive whose entries are stored uncompressed, so their bytes can be
// found and damaged in the file.
void storedArchive(const fs::path& zipPath, const std::vector<std::pair<std::string, std::string>>& entries) {
  int err = 0;
  zip_t* z = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(z, nullptr);
  for (const auto& [name, data] : entries) {
    zip_int64_t i = zip_file_add(z, name.c_str(), zip_source_buffer(z, data.data(), data.size(), 0), 0);
    ASSERT_GE(i, 0);
    ASSERT_EQ(zip_set_file_compression(z, i, ZIP_CM_STORE, 0), 0);
  }
  ASSERT_EQ(zip_close(z), 0);
}

TEST_F(ArchiveTest, AnArchiveCutShortFailsWithoutWritingAnything) {
  storedArchive(dir_ / "t.zip", {{"control.xml", "<control/>"}, {"list.php", std::string(4000, 'x')}});
  std::string bytes = readAll(dir_ / "t.zip");
  writeAll(dir_ / "cut.zip", bytes.substr(0, bytes.size() / 2));
  ArchiveResult out = extractArchive((dir_ / "cut.zip").string(), (dir_ / "out").string());
  EXPECT_FALSE(out.ok);
  EXPECT_FALSE(out.error.empty());
  EXPECT_FALSE(fs::exists(dir_ / "out/control.xml"));
  EXPECT_FALSE(fs::exists(dir_ / "out/list.php"));
}

TEST_F(ArchiveTest, AnEntryWhoseDataIsDamagedFailsBeforeTheFirstFileIsWritten) {
  const std::string marker = "DAMAGE-ME-" + std::string(200, 'q');
  storedArchive(dir_ / "t.zip", {{"a.txt", "first entry"}, {"b.txt", marker}});
  std::string bytes = readAll(dir_ / "t.zip");
  size_t at = bytes.find(marker);
  ASSERT_NE(at, std::string::npos);
  bytes[at + 20] = 'Z';  // same size, other content: only the checksum tells
  writeAll(dir_ / "bad.zip", bytes);
  ArchiveResult out = extractArchive((dir_ / "bad.zip").string(), (dir_ / "out").string());
  EXPECT_FALSE(out.ok);
  EXPECT_NE(out.error.find("b.txt"), std::string::npos) << out.error;
  // The intact entry before it was not written either.
  EXPECT_FALSE(fs::exists(dir_ / "out/a.txt"));
}

TEST_F(ArchiveTest, AnEntryThroughALinkOnDiskStopsTheExtractionBeforeOtherFiles) {
  fs::create_directories(dir_ / "elsewhere");
  fs::create_directories(dir_ / "out");
  fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "out/sub");
  rawArchive(dir_ / "t.zip", {{"first.txt", "1"}, {"sub/x.txt", "x"}});
  ArchiveResult out = extractArchive((dir_ / "t.zip").string(), (dir_ / "out").string());
  EXPECT_FALSE(out.ok);
  EXPECT_FALSE(fs::exists(dir_ / "elsewhere/x.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "out/first.txt"));
}

TEST_F(ArchiveTest, ArchivesPastTheLimitsAreRefusedAndLeaveTheFolderAsItWas) {
  const std::string zeros(3 * 1024 * 1024, '\0');  // packs to a few kilobytes
  ArchiveLimits small;
  small.maxEntries = 3;
  small.maxTotalBytes = 1000;
  struct Case {
    std::string what;
    std::vector<std::pair<std::string, std::string>> entries;
    ArchiveLimits limits;
    std::string error;
  } cases[] = {
      {"entries", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}, small, "more than 3 entries"},
      {"total", {{"a", std::string(600, 'a')}, {"b", std::string(600, 'b')}}, small,
       "would unpack to more than 1000 bytes"},
      {"ratio", {{"a", "1"}, {"zeros.bin", zeros}}, ArchiveLimits{}, "entry zeros.bin would unpack to more than 200 times"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_ / "out");
    write(dir_ / "out/a", "old");
    rawArchive(dir_ / "t.zip", c.entries);
    ArchiveResult out = extractArchive((dir_ / "t.zip").string(), (dir_ / "out").string(), c.limits);
    EXPECT_FALSE(out.ok);
    EXPECT_NE(out.error.find(c.error), std::string::npos) << out.error;
    EXPECT_EQ(read(dir_ / "out/a"), "old");
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"out", "t.zip"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "out"), fs::directory_iterator()), 1);
  }
  // Within the limits the same archives unpack.
  rawArchive(dir_ / "t.zip", cases[0].entries);
  ArchiveResult fits = extractArchive((dir_ / "t.zip").string(), (dir_ / "out").string());
  ASSERT_TRUE(fits.ok) << fits.error;
  EXPECT_EQ(read(dir_ / "out/d"), "4");
}

}  // namespace
}  // namespace tw
