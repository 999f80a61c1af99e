// Project files in other encodings than UTF-8: what is written, and that
// every text comes back as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/agp.h"
#include "core/project_file.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

const std::string kGerman =
    "Gr\xC3\xB6\xC3\x9F"
    "e \xE2\x82\xAC";                                     // "Größe €"
const std::string kChinese = "\xE5\x90\x8D\xE5\x89\x8D";  // 名前
const std::string kControl = "next\xC2\x85line";          // U+0085 in the middle

class EncodingTest : public testing::FreshEngine {
 protected:
  std::string path(const std::string& name) const { return (dir() / name).string(); }
  std::string readBytes(const std::string& name) const {
    std::ifstream in(dir() / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string writeBytes(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir() / name, std::ios::binary) << bytes;
    return path(name);
  }

  // Saves a project with non-ASCII captions under `charset`, loads it into
  // a fresh project and checks every text; returns the file's bytes.
  std::string roundTrip(const std::string& charset) {
    RegWrite("HKCU", engine().regGeneral, "XMLEncodeCharSet", kRegString, Variant(charset));
    std::string file = path("p-" + charset + ".xml");
    {
      AGP proj;
      proj.AddProj(kChinese);
      proj.setSetting("AutoSync", Variant(false));
      proj.Databases().Add("d");
      proj.setCurrentDbName("d");
      AGPTable* table = proj.db()->tables().Add(kChinese);
      table->setSetting("TblCaption", Variant(kGerman));
      AGPField* field = table->Fields().Add(
          "gr\xC3\xB6\xC3\x9F"
          "e");
      field->setSetting("FldCaption", Variant(kChinese + " / " + kGerman));
      field->setSetting("FldErrMsg", Variant(kControl));
      proj.Save(file);
    }
    AGP loaded;
    loaded.Load(file);
    EXPECT_EQ(AGP::ProjErr(), "") << charset;
    if (loaded.DBCnt() == 0) return {};
    EXPECT_EQ(loaded.str("ProjName"), kChinese) << charset;
    AGPTable* table = loaded.db()->tables().Item(Variant(kChinese));
    EXPECT_NE(table, nullptr) << charset;
    if (!table) return {};
    EXPECT_EQ(table->str("TblCaption"), kGerman) << charset;
    EXPECT_EQ(table->TblVar(), "x540D524D") << charset;
    AGPField* field =
        table->Fields().Item(Variant("gr\xC3\xB6\xC3\x9F"
                                     "e"));
    EXPECT_NE(field, nullptr) << charset;
    if (!field) return {};
    EXPECT_EQ(field->str("FldCaption"), kChinese + " / " + kGerman) << charset;
    EXPECT_EQ(field->str("FldErrMsg"), kControl) << charset;
    return readBytes("p-" + charset + ".xml");
  }
};

TEST_F(EncodingTest, Utf8FilesHoldTheTextAsItIs) {
  std::string bytes = roundTrip("utf-8");
  EXPECT_NE(bytes.find("TblCaption=\"" + kGerman + "\""), std::string::npos);
  EXPECT_NE(bytes.find("ProjName=\"" + kChinese + "\""), std::string::npos);
}

TEST_F(EncodingTest, Latin1FilesUseBytesForWhatTheyHoldAndReferencesForTheRest) {
  std::string bytes = roundTrip("iso-8859-1");
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\" standalone=\"yes\"?>\r\n", 0), 0u);
  EXPECT_NE(bytes.find("TblCaption=\"Gr\xF6\xDF"
                       "e &#8364;\""),
            std::string::npos);
  EXPECT_NE(bytes.find("ProjName=\"&#21517;&#21069;\""), std::string::npos);
  // C1 controls would read back as Windows-1252 characters: references too.
  EXPECT_NE(bytes.find("FldErrMsg=\"next&#133;line\""), std::string::npos);
  for (unsigned char c : bytes) EXPECT_FALSE(c >= 0x80 && c < 0xA0);
}

TEST_F(EncodingTest, OtherCharsetsGoThroughIconv) {
  std::string gb = roundTrip("gb2312");
  EXPECT_NE(gb.find("ProjName=\"\xC3\xFB\xC7\xB0\""), std::string::npos);  // 名前 in GB2312
  EXPECT_NE(gb.find("&#246;"), std::string::npos);                         // ö is not in GB2312

  std::string jis = roundTrip("shift_jis");
  EXPECT_EQ(jis.find(kChinese), std::string::npos);
}

TEST_F(EncodingTest, AnUnknownCharsetGivesAsciiWithReferences) {
  std::string bytes = roundTrip("x-no-such-charset");
  EXPECT_NE(bytes.find("encoding=\"x-no-such-charset\""), std::string::npos);
  for (unsigned char c : bytes) EXPECT_LT(c, 0x80);
  EXPECT_NE(bytes.find("ProjName=\"&#21517;&#21069;\""), std::string::npos);
}

TEST_F(EncodingTest, Latin1FilesFromWindowsReadAsWindows1252) {
  std::string file =
      writeBytes("win.xml",
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>\r\n"
                 "<Project Version=\"1.0.0.0\" AutoSync=\"0\" ProjName=\"Caf\xE9 \x80 5\" >\r\n"
                 "<Database DBName=\"d\" >\r\n</Database>\r\n</Project>\r\n");
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(proj.str("ProjName"), "Caf\xC3\xA9 \xE2\x82\xAC 5");
}

// A file whose declared encoding this platform does not know is read as
// UTF-8 when the whole of it is well-formed UTF-8, else as Windows-1252, so
// that no malformed sequence (overlong, surrogate) reaches the project.
TEST_F(EncodingTest, AnUnknownDeclaredEncodingReadsUtf8OrElseWindows1252) {
  struct Case {
    std::string name;
    std::string bytes;     // the project name as stored in the file
    std::string expected;  // as read, in UTF-8
  };
  const Case cases[] = {
      {"utf8", kGerman, kGerman},
      {"latin", "Caf\xE9 \x80", "Caf\xC3\xA9 \xE2\x82\xAC"},
      {"overlong", "a\xC0\xAF", "a\xC3\x80\xC2\xAF"},                              // "/" written in two bytes
      {"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},               // U+D800
      {"beyond", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},  // past U+10FFFF
  };
  for (const Case& c : cases) {
    std::string file =
        writeBytes(c.name + ".xml",
                   "<?xml version=\"1.0\" encoding=\"x-no-such-charset\"?>\r\n"
                   "<Project Version=\"1.0.0.0\" AutoSync=\"0\" ProjName=\"" +
                       c.bytes + "\" >\r\n<Database DBName=\"d\" >\r\n</Database>\r\n</Project>\r\n");
    AGP proj;
    proj.Load(file);
    ASSERT_EQ(AGP::ProjErr(), "") << c.name;
    EXPECT_EQ(proj.str("ProjName"), c.expected) << c.name;
  }
}

TEST_F(EncodingTest, AnyDeclaredEncodingIconvKnowsIsRead) {
  std::string file =
      writeBytes("sjis.xml",
                 "<?xml version='1.0' encoding='Shift_JIS'?>\r\n"
                 "<Project Version=\"1.0.0.0\" AutoSync=\"0\" ProjName=\"\x93\xFA\x96\x7B\" >\r\n"
                 "<Database DBName=\"d\" >\r\n</Database>\r\n</Project>\r\n");
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(proj.str("ProjName"), "\xE6\x97\xA5\xE6\x9C\xAC");  // 日本

  // Bytes the declared encoding cannot read fail the load.
  std::string bad = writeBytes("bad.xml",
                               "<?xml version='1.0' encoding='Shift_JIS'?>\r\n"
                               "<Project Version=\"1.0.0.0\" ProjName=\"\x81\" >\r\n</Project>\r\n");
  proj.Load(bad);
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Load Project File failed! Please check!");
}

TEST_F(EncodingTest, ByteOrderMarksDecide) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<Project Version=\"1.0.0.0\" AutoSync=\"0\" "
      "ProjName=\"" +
      kChinese + "\" >\r\n<Database DBName=\"d\" >\r\n</Database>\r\n</Project>\r\n";
  // UTF-16 little endian with its mark (all characters here are in the BMP).
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    char32_t c;
    if (b < 0x80) {
      c = b;
      i += 1;
    } else {
      c = ((b & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
      i += 3;
    }
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  AGP proj;
  proj.Load(writeBytes("u16.xml", utf16));
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(proj.str("ProjName"), kChinese);

  AGP bom;
  std::string utf8 = text;
  utf8.replace(utf8.find("utf-16"), 6, "utf-8");
  bom.Load(writeBytes("bom.xml", "\xEF\xBB\xBF" + utf8));
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(bom.str("ProjName"), kChinese);
}

TEST(DeclaredEncoding, ReadsTheEncodingOfTheDeclaration) {
  EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?><a/>"),
            "ISO-8859-1");
  EXPECT_EQ(DeclaredEncoding("<?xml version='1.0' encoding = 'gb2312'?>"), "gb2312");
  EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\" standalone=\"yes\"?><a encoding=\"x\"/>"), "");
  EXPECT_EQ(DeclaredEncoding("<a/>"), "");
}

}  // namespace
}  // namespace tw
