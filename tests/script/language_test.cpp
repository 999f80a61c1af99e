// Language and keyword files: accumulation, override order, case rules and the
// document element check.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "script/keyword.h"
#include "script/language.h"
#include "support/engine_context.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override { resetEngine(); }
  void TearDown() override { resetEngine(); }
  AGPLanguage lang_;
};

TEST_F(LanguageTest, PhrasesIgnoreCaseAndLaterFilesOverride) {
  ASSERT_TRUE(lang_.LoadFromBytes(R"(<tarnwick.language>
      <phrase id="Title" value="Records"/><phrase id="Add" value="Add new"/></tarnwick.language>)"));
  EXPECT_EQ(lang_.Phrase("title"), "Records");
  EXPECT_EQ(lang_.Phrase("TITLE"), "Records");
  EXPECT_EQ(lang_.Phrase("missing"), "");
  ASSERT_TRUE(lang_.LoadFromBytes(R"(<Tarnwick.Language>
      <phrase id="TITLE" value="Datensätze"/><phrase id="Edit" value="Bearbeiten"/></Tarnwick.Language>)"));
  EXPECT_EQ(lang_.Count(), 3);
  EXPECT_EQ(lang_.Phrase("Title"), "Datensätze");
  EXPECT_EQ(lang_.Phrase("add"), "Add new");
  EXPECT_EQ(lang_.Phrase("edit"), "Bearbeiten");
  // The first definition keeps its place and identifier.
  EXPECT_EQ(lang_.phrases()[0].first, "Title");
  EXPECT_EQ(lang_.curIndex(), 0);
}

TEST_F(LanguageTest, PhrasesWithinOneFileOverrideToo) {
  ASSERT_TRUE(
      lang_.LoadFromBytes("<tarnwick.language><phrase id='a' value='1'/><PHRASE ID='A' VALUE='2' "
                          "extra='x'/><other id='a' value='3'/>"
                          "</tarnwick.language>"));
  EXPECT_EQ(lang_.Count(), 1);
  EXPECT_EQ(lang_.Phrase("a"), "2");
}

TEST_F(LanguageTest, WrongOrBrokenFilesAreRefusedAndKeepWhatWasLoaded) {
  ASSERT_TRUE(lang_.LoadFromBytes("<tarnwick.language><phrase id='x' value='kept'/></tarnwick.language>"));
  for (const char* bad : {"<tarnwick.languages><phrase id='x' value='no'/></tarnwick.languages>",
                          "<language><phrase id='x' value='no'/></language>",
                          "<tarnwick.keyword><phrase id='x' value='no'/></tarnwick.keyword>",
                          "<tarnwick.language><phrase id='x' value='no'/>", ""}) {
    EXPECT_FALSE(lang_.LoadFromBytes(bad)) << bad;
  }
  EXPECT_FALSE(lang_.Load("/nonexistent/lang.xml"));
  EXPECT_EQ(lang_.Count(), 1);
  EXPECT_EQ(lang_.Phrase("x"), "kept");
}

TEST_F(LanguageTest, TheRootNameFollowsTheProductKey) {
  engine().productKey = "Other";
  EXPECT_FALSE(lang_.LoadFromBytes("<tarnwick.language/>"));
  EXPECT_TRUE(lang_.LoadFromBytes("<other.language/>"));
  // A namespace prefix is not part of the name compared.
  EXPECT_TRUE(
      lang_.LoadFromBytes("<x:other.language xmlns:x='urn:x'><phrase id='p' value='v'/></x:other.language>"));
  EXPECT_EQ(lang_.Phrase("p"), "v");
}

TEST_F(LanguageTest, LoadsFromFile) {
  const char* root = std::getenv("TARNWICK_TEST_ROOT");
  ASSERT_NE(root, nullptr);
  fs::path dir = fs::path(root) / "language";
  fs::create_directories(dir);
  std::ofstream(dir / "lang.xml", std::ios::binary)
      << "\xEF\xBB\xBF<tarnwick.language><phrase id='Euro' value='\xE2\x82\xAC'/></tarnwick.language>";
  ASSERT_TRUE(lang_.Load((dir / "lang.xml").string()));
  EXPECT_EQ(lang_.Phrase("euro"), "\xE2\x82\xAC");
}

TEST_F(LanguageTest, ScriptsCallPhraseByName) {
  Ref<AGPLanguage> lang = makeRef<AGPLanguage>();
  ASSERT_TRUE(lang->LoadFromBytes("<tarnwick.language><phrase id='Hello' value='Hi'/></tarnwick.language>"));
  EXPECT_EQ(lang->call("phrase", {Variant("HELLO")}).toString(), "Hi");
  EXPECT_EQ(lang->get("COUNT").toLong(), 1);
  EXPECT_EQ(lang->get("curIndex").toLong(), 0);
  EXPECT_FALSE(lang->call("Load", {Variant("/nonexistent.xml")}).toBool());
}

TEST(Keywords, PairsMatchIgnoringCase) {
  resetEngine();
  AGPKeyword k;
  ASSERT_TRUE(k.LoadFromBytes(R"(<tarnwick.keyword>
      <keyword lang="php" value="echo"/><keyword lang="sql" value="select"/><KEYWORD LANG="PHP" VALUE="Echo"/>
    </tarnwick.keyword>)"));
  EXPECT_EQ(k.Count(), 2);  // the third pair equals the first
  EXPECT_EQ(k.keywords()[0].second, "Echo");
  EXPECT_TRUE(k.IsKeyword("PHP", "ECHO"));
  EXPECT_TRUE(k.IsKeyword("Sql", "Select"));
  EXPECT_FALSE(k.IsKeyword("sql", "echo"));  // reserved in another language only
  EXPECT_FALSE(k.IsKeyword("php", "ech"));
  EXPECT_EQ(k.curIndex(), 0);

  // Files accumulate; a wrong root is refused.
  ASSERT_TRUE(k.LoadFromBytes("<Tarnwick.Keyword><keyword lang='js' value='var'/></Tarnwick.Keyword>"));
  EXPECT_FALSE(k.LoadFromBytes("<tarnwick.language><keyword lang='js' value='let'/></tarnwick.language>"));
  EXPECT_EQ(k.Count(), 3);
  EXPECT_TRUE(k.IsKeyword("JS", "VAR"));
  EXPECT_FALSE(k.IsKeyword("js", "let"));

  // Letters beyond ASCII whose capitals lie elsewhere in Unicode (found by
  // fuzzing: a language named in Windows-1252 with a y with diaeresis).
  ASSERT_TRUE(k.LoadFromBytes("<tarnwick.keyword><keyword lang='p\xffhp' value='\xe9" "cho'/></tarnwick.keyword>"));
  ASSERT_TRUE(k.LoadFromBytes("<tarnwick.keyword><keyword lang='x' value='\xc5\xb8\xc5\x81'/></tarnwick.keyword>"));
  EXPECT_TRUE(k.IsKeyword("P\xc5\xb8HP", "\xc3\x89" "CHO"));  // PŸHP, ÉCHO
  EXPECT_TRUE(k.IsKeyword("X", "\xc3\xbf\xc5\x82"));        // ÿł
  EXPECT_FALSE(k.IsKeyword("X", "\xc5\xba\xc5\x82"));       // źł

  Ref<AGPKeyword> obj = makeRef<AGPKeyword>();
  ASSERT_TRUE(obj->LoadFromBytes("<tarnwick.keyword><keyword lang='php' value='echo'/></tarnwick.keyword>"));
  EXPECT_TRUE(obj->call("iskeyword", {Variant("Php"), Variant("eCho")}).toBool());
  resetEngine();
}

}  // namespace
}  // namespace tw
