// The cache file: its place under the documents folder, the answers of
// CheckCache, the delete operations, and a write and re-read that keeps every
// key, including keys with characters XML gives a meaning to.
#include "script/cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "support/registry.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

// 2 January 2026 03:04:05 is day 46024 after 30 December 1899.
Variant date(int day, int hour, int minute, int second) {
  return Variant::date(day + (hour * 3600 + minute * 60 + second) / 86400.0);
}

class CacheTest : public tw::testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    engine().documentsFolder = (dir() / "Documents").string();
  }
  fs::path cacheFile(const std::string& templateName = "php.zip") const {
    return dir() / "Documents" / "Tarnwick" / "Templates" / templateName / "temp" / "cache.xml";
  }
  std::string bytesOf(const fs::path& p) const {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void setCharset(const std::string& charset) {
    RegWrite("HKCU", engine().regGeneral, "XMLEncodeCharSet", kRegString, Variant(charset));
  }
};

TEST_F(CacheTest, LivesInTheTemplatesWorkFolder) {
  AGPCache cache("C:\\Users\\me\\My Templates\\php.zip");
  EXPECT_TRUE(fs::is_directory(cacheFile().parent_path()));
  EXPECT_EQ(resolvePath(cache.filePath()), cacheFile());
  // Blanks and "/" are removed from the names of the folders.
  AGPCache spaced("My Template.zip");
  EXPECT_TRUE(fs::is_directory(cacheFile("MyTemplate.zip").parent_path()));
  EXPECT_EQ(AGPCache::CacheFilePath(" D:\\docs ", "a b/c"),
            "D:\\docs\\Tarnwick\\Templates\\abc\\temp\\cache.xml");
}

TEST_F(CacheTest, CheckAnswersUnchangedChangedOrUnknown) {
  AGPCache cache("php.zip");
  const Variant d = date(46024, 3, 4, 5);
  EXPECT_TRUE(cache.AddCache("template", "a.php", d, Variant(10)));
  EXPECT_EQ(cache.CheckCache("TEMPLATE", "A.PHP", d, Variant(10)), 0);
  EXPECT_EQ(cache.CheckCache("template", "a.php", d, Variant(11)), 1);
  EXPECT_EQ(cache.CheckCache("template", "a.php", date(46024, 3, 4, 6), Variant(10)), 1);
  EXPECT_EQ(cache.CheckCache("template", "b.php", d, Variant(10)), 2);
  EXPECT_EQ(cache.CheckCache("other", "a.php", d, Variant(10)), 2);
  // Sizes compare as numbers: text, Integer and Double of the same value.
  EXPECT_EQ(cache.CheckCache("template", "a.php", d, Variant("10")), 0);
  EXPECT_EQ(cache.CheckCache("template", "a.php", d, Variant::integer(10)), 0);
  EXPECT_EQ(cache.CheckCache("template", "a.php", d, Variant(10.0)), 0);
  EXPECT_EQ(cache.CheckCache("template", "a.php", d, Variant("ten")), 1);
}

TEST_F(CacheTest, AddingAgainReplacesDateAndSize) {
  AGPCache cache("php.zip");
  cache.AddCache("g", "k", date(46024, 3, 4, 5), Variant(1));
  cache.AddCache("G", "K", date(46025, 0, 0, 0), Variant(2));
  ASSERT_EQ(cache.count(), 1);
  EXPECT_EQ(cache.entries()[0].group, "g");  // the first spelling stays
  EXPECT_EQ(cache.entries()[0].date, "2026/01/03 00:00:00");
  EXPECT_EQ(cache.entries()[0].size, "2");
}

TEST_F(CacheTest, DatesAreStoredAsText) {
  EXPECT_EQ(AGPCache::FormatCacheDate(date(46024, 3, 4, 5)), "2026/01/02 03:04:05");
  // 6 December 2026 18:05:56.
  EXPECT_EQ(AGPCache::FormatCacheDate(date(46362, 18, 5, 56)), "2026/12/06 18:05:56");
  EXPECT_EQ(AGPCache::FormatCacheDate(Variant("not a date")), "not a date");

  AGPCache cache("php.zip");
  cache.AddCache("g", "k", date(46024, 3, 4, 5), Variant(1));
  Variant stored = cache.GetCacheDate("G", "K");
  EXPECT_EQ(stored.type(), vtString);
  EXPECT_EQ(stored.toString(), "2026/01/02 03:04:05");
  Variant none = cache.GetCacheDate("g", "other");
  EXPECT_EQ(none.type(), vtDate);
  EXPECT_EQ(none.rawDate(), 0.0);
}

TEST_F(CacheTest, Deleting) {
  AGPCache cache("php.zip");
  const Variant d = date(46024, 0, 0, 0);
  for (const char* group : {"temp", "control", "TEMP", "language", "temp"})
    cache.AddCache(group, std::string(group) + std::to_string(cache.count()), d, Variant(1));
  ASSERT_EQ(cache.count(), 5);
  EXPECT_TRUE(cache.DeleteCacheGroup("Temp"));  // three entries, not adjacent
  ASSERT_EQ(cache.count(), 2);
  EXPECT_EQ(cache.entries()[0].group, "control");
  EXPECT_EQ(cache.entries()[1].group, "language");
  EXPECT_FALSE(cache.DeleteCacheGroup("temp"));

  EXPECT_FALSE(cache.DeleteCache("control", "nothing"));
  EXPECT_TRUE(cache.DeleteCache("CONTROL", "control1"));
  ASSERT_EQ(cache.count(), 1);
  EXPECT_EQ(cache.CheckCache("control", "control1", d, Variant(1)), 2);

  EXPECT_FALSE(cache.DeleteAllCache());  // always false, even when it emptied something
  EXPECT_EQ(cache.count(), 0);
}

TEST_F(CacheTest, NothingIsWrittenBeforeWriteCacheFile) {
  AGPCache cache("php.zip");
  cache.AddCache("g", "k", date(46024, 0, 0, 0), Variant(1));
  EXPECT_FALSE(fs::exists(cacheFile()));
  ASSERT_TRUE(cache.WriteCacheFile());
  EXPECT_TRUE(fs::exists(cacheFile()));
  // Replaced in place: no temporary file stays beside it.
  ASSERT_TRUE(cache.WriteCacheFile());
  EXPECT_EQ(listFiles(cacheFile().parent_path().string()), std::vector<std::string>{"cache.xml"});
}

TEST_F(CacheTest, FileLayout) {
  setCharset("utf-8");
  AGPCache cache("php.zip");
  cache.AddCache("template", "template", date(46024, 3, 4, 5), Variant(1234));
  cache.AddCache("temp", "a.tmp", date(46362, 18, 5, 56), Variant(7));
  ASSERT_TRUE(cache.WriteCacheFile());
  EXPECT_EQ(
      bytesOf(cacheFile()),
      "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\r\n"
      "<Cache Product=\"Tarnwick\" Version=\"1.0\" >\r\n"
      "<CacheEntry Group=\"template\" Key=\"template\" DateTime=\"2026/01/02 03:04:05\" Size=\"1234\" />\r\n"
      "<CacheEntry Group=\"temp\" Key=\"a.tmp\" DateTime=\"2026/12/06 18:05:56\" Size=\"7\" />\r\n"
      "</Cache>\r\n");
}

TEST_F(CacheTest, AwkwardKeysSurviveAWriteAndARead) {
  const std::vector<std::string> keys = {
      "C:\\a & b\\<x>.php", "say \"hi\"",   "it's",
      "tab\there",          "two\r\nlines", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
      "&amp; already",      "]]>",          "  padded  "};
  for (const char* charset : {"utf-8", "iso-8859-1", "shift_jis", "utf-16"}) {
    SCOPED_TRACE(charset);
    setCharset(charset);
    {
      AGPCache cache("php.zip");
      cache.DeleteAllCache();
      int size = 0;
      for (const auto& key : keys) cache.AddCache("group <&>", key, date(46024, 3, 4, 5), Variant(++size));
      ASSERT_TRUE(cache.WriteCacheFile());
    }
    std::string bytes = bytesOf(cacheFile());
    if (std::string(charset) != "utf-16") {
      EXPECT_NE(bytes.find(std::string("encoding=\"") + charset + "\""), std::string::npos);
    }
    if (std::string(charset) == "iso-8859-1" || std::string(charset) == "shift_jis") {
      // Characters outside ASCII are written as references.
      for (unsigned char c : bytes) EXPECT_LT(c, 0x80);
    }
    AGPCache reread("php.zip");
    ASSERT_EQ(reread.count(), static_cast<int32_t>(keys.size()));
    for (size_t i = 0; i < keys.size(); ++i) {
      EXPECT_EQ(reread.entries()[i].group, "group <&>");
      EXPECT_EQ(reread.entries()[i].key, keys[i]);
      EXPECT_EQ(reread.entries()[i].date, "2026/01/02 03:04:05");
      EXPECT_EQ(reread.entries()[i].size, std::to_string(i + 1));
    }
    EXPECT_EQ(reread.CheckCache("GROUP <&>", "C:\\A & B\\<X>.PHP", date(46024, 3, 4, 5), Variant(1)), 0);
  }
}

TEST_F(CacheTest, WithoutACharsetTheDeclarationNamesNone) {
  setCharset("");
  engine().systemCharset = "";
  AGPCache cache("php.zip");
  cache.AddCache("g", "\xC3\xA9", date(46024, 0, 0, 0), Variant(1));
  ASSERT_TRUE(cache.WriteCacheFile());
  std::string bytes = bytesOf(cacheFile());
  // The machine's charset, when the system reports one, is named instead.
  if (engine().systemCharset.empty()) {
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" standalone=\"yes\"?>\r\n", 0), 0u);
  } else {
    EXPECT_EQ(
        bytes.rfind(
            "<?xml version=\"1.0\" encoding=\"" + engine().systemCharset + "\" standalone=\"yes\"?>\r\n", 0),
        0u);
  }
  AGPCache reread("php.zip");
  ASSERT_EQ(reread.count(), 1);
  EXPECT_EQ(reread.entries()[0].key, "\xC3\xA9");
}

TEST_F(CacheTest, UnreadableOrForeignFilesGiveAnEmptyCache) {
  fs::create_directories(cacheFile().parent_path());
  for (const char* text :
       {"<Cache><CacheEntry Group='g' Key='k'", "<cache><CacheEntry Group='g' Key='k'/></cache>",
        "<Other><CacheEntry Group='g' Key='k'/></Other>", ""}) {
    std::ofstream(cacheFile(), std::ios::binary) << text;
    AGPCache cache("php.zip");
    EXPECT_EQ(cache.count(), 0) << text;
  }
  // Entries are matched by exact names; missing attributes read as empty.
  std::ofstream(cacheFile(), std::ios::binary)
      << "<Cache Product='x'><cacheentry Group='no'/><CacheEntry Key='k' Extra='e'/><Note/>"
         "<CacheEntry Group='g' Key='k2' DateTime='d' Size='5'/></Cache>";
  AGPCache cache("php.zip");
  ASSERT_EQ(cache.count(), 2);
  EXPECT_EQ(cache.entries()[0].group, "");
  EXPECT_EQ(cache.entries()[0].key, "k");
  EXPECT_EQ(cache.entries()[0].size, "");
  EXPECT_EQ(cache.GetCacheDate("g", "k2").toString(), "d");
  // The next write replaces the file.
  cache.DeleteAllCache();
  ASSERT_TRUE(cache.WriteCacheFile());
  EXPECT_EQ(AGPCache("php.zip").count(), 0);
}

TEST_F(CacheTest, ScriptsReachTheCacheByName) {
  Ref<AGPCache> cache = makeRef<AGPCache>("php.zip");
  const Variant d = date(46024, 3, 4, 5);
  EXPECT_TRUE(cache->call("addcache", {Variant("g"), Variant("k"), d, Variant(3)}).toBool());
  Variant answer = cache->call("CheckCache", {Variant("G"), Variant("K"), d, Variant(3)});
  EXPECT_EQ(answer.type(), vtInteger);
  EXPECT_EQ(answer.toLong(), 0);
  EXPECT_EQ(cache->call("GetCacheDate", {Variant("g"), Variant("k")}).toString(), "2026/01/02 03:04:05");
  EXPECT_TRUE(cache->call("DeleteCache", {Variant("g"), Variant("k")}).toBool());
  EXPECT_FALSE(cache->call("DeleteCacheGroup", {Variant("g")}).toBool());
  EXPECT_FALSE(cache->call("DeleteAllCache").toBool());
  cache->call("WriteCacheFile");
  EXPECT_TRUE(fs::exists(cacheFile()));
}

}  // namespace
}  // namespace tw
