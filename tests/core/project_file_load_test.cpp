// Loading projects: round trips through Save, the reading rules, the fixed
// values, versions and failures, progress and the state a load leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/agp.h"
#include "core/project_file.h"
#include "support/bulk_memory.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "support/status.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

class RecordingSink : public ProgressSink {
 public:
  explicit RecordingSink(std::shared_ptr<std::vector<std::string>> log) : log_(std::move(log)) {}
  int32_t open(int32_t owner, int style, std::string_view caption) override {
    log_->push_back("open " + std::to_string(owner) + " " + std::to_string(style) + " " +
                    std::string(caption));
    return 7;
  }
  void setInfo(int32_t, std::string_view text) override { log_->push_back("info " + std::string(text)); }
  void setProgress(int32_t, int16_t pos) override { log_->push_back("progress " + std::to_string(pos)); }
  bool isCancelled(int32_t) override { return false; }
  void close(int32_t) override { log_->push_back("close"); }

 private:
  std::shared_ptr<std::vector<std::string>> log_;
};

const std::string kFailed = "Tarnwick: Load Project File failed! Please check!";

class LoadTest : public testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    RegWrite("HKCU", engine().regGeneral, "XMLEncodeCharSet", kRegString, Variant("utf-8"));
  }
  std::string path(const std::string& name) const { return (dir() / name).string(); }
  // Writes a file from lines, each ended by CR LF.
  std::string writeFile(const std::string& name, const std::vector<std::string>& lines) {
    std::ofstream out(dir() / name, std::ios::binary);
    for (const std::string& l : lines) out << l << "\r\n";
    return path(name);
  }
  static std::string header(const std::string& version = "1.0.0.0") {
    return "<Project Version=\"" + version + "\" ProjName=\"p\" AutoSync=\"0\" >";
  }
};

// A value for every setting of a store, distinct per setting and type.
void fillAll(SettingsOwner& owner, int salt) {
  AGProperties& props = owner.Properties();
  for (int32_t i = 0; i < props.Count(); ++i) {
    const PropertyMeta& m = props.meta(i);
    Variant v;
    if (m.dataType == "Boolean")
      v = Variant((i + salt) % 2 == 0);
    else if (m.dataType == "Integer")
      v = Variant::integer(static_cast<int16_t>(100 + i + salt));
    else if (m.dataType == "Long")
      v = Variant::long_(100000 + i + salt);
    else
      v = Variant(m.name + "-" + std::to_string(salt) + " \xC3\xA4<&>\"'");
    props.valueAt(i) = v;
  }
}

// Every file setting, read through its typed accessor, equals the other's.
void expectSameFileSettings(SettingsOwner& want, SettingsOwner& got, const std::vector<std::string>& except) {
  AGProperties& props = want.Properties();
  for (int32_t i = 0; i < props.Count(); ++i) {
    const PropertyMeta& m = props.meta(i);
    if (!m.fileSave || std::find(except.begin(), except.end(), m.name) != except.end()) continue;
    Variant a = typedSettingValue(want.setting(m.name), m.dataType);
    Variant b = typedSettingValue(got.setting(m.name), m.dataType);
    EXPECT_TRUE(a.identical(b)) << m.name << ": " << a.toString() << " vs " << b.toString();
  }
}

TEST_F(LoadTest, EverySettingOfEveryObjectSurvivesARoundTrip) {
  AGP saved;
  saved.AddProj("Shop");
  fillAll(saved, 0);
  saved.setSetting("AutoSync", Variant(false));
  saved.Databases().Add("shop");
  saved.setCurrentDbName("shop");
  AGPDatabase& db = *saved.db();
  fillAll(db, 1);
  db.setSetting("DBName", Variant("shop"));
  db.setSetting("DBDBMSName", Variant("MySQL"));
  AGPTables& tables = db.tables();
  for (int t = 0; t < 3; ++t) {
    AGPTable* table = tables.Add("table" + std::to_string(t));
    fillAll(*table, 10 + t);
    table->setSetting("TblName", Variant("table" + std::to_string(t)));
    table->setSetting("TblSeq", Variant::integer(static_cast<int16_t>(t + 1)));
    for (int f = 0; f < 4; ++f) {
      AGPField* field = table->Fields().Add("f" + std::to_string(f));
      fillAll(*field, 20 + f);
      field->setSetting("FldName", Variant("f" + std::to_string(f)));
      field->setSetting("FldSeq", Variant::integer(static_cast<int16_t>(f + 1)));
      field->setSetting("FldType", Variant::integer(128));  // a type whose quotes are kept
      field->setSetting("FldAutoIncrement", Variant(false));
      field->setSetting("FldTagValues", Variant("one\r\ntwo"));
    }
    AGPChart* chart = table->Charts().Add("chart");
    fillAll(*chart, 30 + t);
    chart->setSetting("ChartName", Variant("chart"));
    chart->setSetting("ChartSeq", Variant::integer(1));
  }
  saved.Save(path("all.xml"));

  AGP loaded;
  loaded.Load(path("all.xml"));
  ASSERT_EQ(AGP::ProjErr(), "");
  // The parsed document's memory is all given back.
  EXPECT_EQ(bulkMemoryStats().regions, 0u);
  expectSameFileSettings(saved, loaded, {});
  ASSERT_EQ(loaded.DBCnt(), 1);
  expectSameFileSettings(*saved.db(), *loaded.db(), {});
  AGPTables& back = loaded.db()->tables();
  ASSERT_EQ(back.Count(), 3);
  for (int t = 0; t < 3; ++t) {
    AGPTable* want = tables.Item(Variant("table" + std::to_string(t)));
    AGPTable* got = back.Item(Variant("table" + std::to_string(t)));
    ASSERT_NE(got, nullptr);
    expectSameFileSettings(*want, *got, {"TblKey"});
    ASSERT_EQ(got->Fields().Count(), 4);
    for (int f = 0; f < 4; ++f) {
      std::string name = "f" + std::to_string(f);
      expectSameFileSettings(*want->Fields().Item(Variant(name)), *got->Fields().Item(Variant(name)), {});
    }
    ASSERT_EQ(got->Charts().Count(), 1);
    expectSameFileSettings(*want->Charts().Item(Variant("chart")), *got->Charts().Item(Variant("chart")), {});
  }
  // Settings not kept in the file are not taken from it.
  EXPECT_TRUE(back.Item(Variant("table0"))->setting("TblSync").isEmpty());
}

TEST_F(LoadTest, EscapedTextLineBreaksTabsAndTagValuesComeBackExactly) {
  AGP saved;
  saved.AddProj("a<b&\"c");
  saved.setSetting("AutoSync", Variant(false));
  saved.Databases().Add("db");
  saved.setCurrentDbName("db");
  AGPTable* table = saved.db()->tables().Add("custom");
  table->setSetting("TblCustomSQL", Variant("SELECT *\r\nFROM t -- all\r\n\tWHERE x > 1"));
  AGPField* field = table->Fields().Add("colour");
  field->setSetting("FldTagValues", Variant("Red\r\nGreen"));
  field->setSetting("FldCaption", Variant("it's"));
  saved.Save(path("p.xml"));

  AGP loaded;
  loaded.Load(path("p.xml"));
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(loaded.str("ProjName"), "a<b&\"c");
  AGPTable* back = loaded.db()->tables().Item(Variant("custom"));
  EXPECT_EQ(back->str("TblCustomSQL"), "SELECT *\r\nFROM t -- all\r\n\tWHERE x > 1");
  AGPField* f = back->Fields().Item(Variant("colour"));
  EXPECT_EQ(f->str("FldTagValues"), "Red\r\nGreen");
  EXPECT_EQ(f->str("FldCaption"), "it's");
}

// True when the bytes are UTF-8 holding only characters XML 1.0 allows.
bool onlyXmlCharacters(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size();) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
      ++i;
      continue;
    }
    size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (len == 0 || i + len > bytes.size()) return false;
    char32_t cp = c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(bytes[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
      return false;
    i += len;
  }
  return true;
}

TEST_F(LoadTest, ValuesTheFileCannotHoldAsTheyAreAreEscapedAndComeBackExactly) {
  struct Case {
    const char* setting;
    std::string value;
  };
  const std::vector<Case> cases = {
      {"FldTagValues", "a|b\r\nc"},               // an enumeration value holding "|"
      {"FldTagValues", "\r\n|\r\n"},              // an empty value around one that is "|"
      {"FldTagValues", "x\\x7C\r\ny"},            // text that looks like an escape
      {"FldCaption", std::string("bell\x07 nul", 9) + '\0' + "end"},
      {"FldCaption", "escape \x1b[0m and \x1f"},
      {"FldCaption", "latin-1 caf\xe9, cut \xe2\x82 and stray \xbf"},
      {"FldCaption", "not a character: \xef\xbf\xbf, backslash \\ and \\x41"},
      {"FldDefault", "\x01"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    AGP saved;
    saved.AddProj("p");
    saved.setSetting("AutoSync", Variant(false));
    saved.Databases().Add("db");
    saved.setCurrentDbName("db");
    AGPTable* table = saved.db()->tables().Add("t");
    table->setSetting("TblCaption", Variant("a|b \\x41"));  // written as it is, not escaped
    AGPField* field = table->Fields().Add("f");
    field->setSetting(cases[i].setting, Variant(cases[i].value));
    std::string file = path("escaped" + std::to_string(i) + ".xml");
    saved.Save(file);

    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(onlyXmlCharacters(bytes)) << i;

    AGP loaded;
    loaded.Load(file);
    ASSERT_EQ(AGP::ProjErr(), "") << i;
    AGPTable* back = loaded.db()->tables().Item(Variant("t"));
    EXPECT_EQ(back->str("TblCaption"), "a|b \\x41") << i;
    EXPECT_EQ(back->Fields().Item(Variant("f"))->str(cases[i].setting), cases[i].value) << i;
  }
}

TEST_F(LoadTest, TagValuesWrittenWithoutEscapesKeepReadingBarsAsLineBreaks) {
  std::string file = writeFile(
      "p.xml", {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"d\" >", "<Table TblName=\"t\" >",
                "<Field FldName=\"f\" FldTagValues=\"a|b\\x7C|\" FldCaption=\"\\x41\" />", "</Table>",
                "</Database>", "</Project>"});
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPField* f = proj.db()->tables().Item(Variant("t"))->Fields().Item(Variant("f"));
  EXPECT_EQ(f->str("FldTagValues"), "a\r\nb\\x7C\r\n");
  EXPECT_EQ(f->str("FldCaption"), "\\x41");
}

TEST_F(LoadTest, BooleansLoadAsBooleansAndNumbersByTheirDeclaredType) {
  std::string file = writeFile(
      "p.xml",
      {"<?xml version=\"1.0\"?>",
       "<Project Version=\"1.0.0.0\" AutoSync=\"0\" Cache=\"1\" AppCompat=\"0\" UseCss=\"\" "
       "BodyLeftMargin=\"7\" SmtpServer=\"mail\" SmtpServerPort=\"70000\" RecPerPage=\"x\" ProjMode=\"1\" >",
       "<Database DBName=\"d\" >", "</Database>", "</Project>"});
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  Variant cache = proj.setting("Cache");
  ASSERT_EQ(cache.type(), vtBoolean);
  EXPECT_TRUE(cache.rawBool());
  Variant compat = proj.setting("AppCompat");
  ASSERT_EQ(compat.type(), vtBoolean);
  EXPECT_FALSE(compat.rawBool());
  EXPECT_TRUE(proj.setting("UseCss").isEmpty());  // an empty text is no Boolean
  Variant margin = proj.setting("BodyLeftMargin");
  ASSERT_EQ(margin.type(), vtInteger);
  EXPECT_EQ(margin.rawInteger(), 7);
  Variant port = proj.setting("SmtpServerPort");
  ASSERT_EQ(port.type(), vtLong);
  EXPECT_EQ(port.rawLong(), 70000);
  EXPECT_TRUE(proj.setting("RecPerPage").isEmpty());  // not a number
  Variant mode = proj.setting("ProjMode");
  ASSERT_EQ(mode.type(), vtString);  // texts stay texts
  EXPECT_EQ(mode.toString(), "1");
}

TEST_F(LoadTest, OnlyExactlyNamedFileSettingsAreRead) {
  std::string file = writeFile(
      "p.xml", {"<?xml version=\"1.0\"?>",
                "<Project Version=\"1.0.0.0\" projname=\"lower\" AppCssFolder=\"css\" Unknown=\"u\" "
                "AutoSync=\"0\" >",
                "<Database DBName=\"d\" >", "</Database>", "</Project>"});
  AGP proj;
  proj.AddProj("before");
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(proj.str("ProjName"), "before");
  EXPECT_EQ(proj.str("AppCssFolder"), "");  // not a file setting: keeps its default
}

TEST_F(LoadTest, FixedValuesFillAnEmptyMailServerExtensionAndDefaultPage) {
  std::string file =
      writeFile("p.xml", {"<?xml version=\"1.0\"?>",
                          "<Project Version=\"1.0.0.0\" AutoSync=\"0\" P_Ext=\"\" P_DefaultPage=\"\" >",
                          "<Database DBName=\"d\" >", "</Database>", "</Project>"});
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(proj.str("SmtpServer"), "localhost");
  Variant port = proj.setting("SmtpServerPort");
  ASSERT_EQ(port.type(), vtLong);
  EXPECT_EQ(port.rawLong(), 25);
  EXPECT_EQ(proj.str("P_Ext"), "php");
  EXPECT_EQ(proj.str("P_DefaultPage"), "index.php");

  std::string other = writeFile(
      "q.xml", {"<?xml version=\"1.0\"?>",
                "<Project Version=\"1.0.0.0\" AutoSync=\"0\" SmtpServer=\"mail\" SmtpServerPort=\"587\" "
                "P_Ext=\"php5\" P_DefaultPage=\"home.php\" >",
                "<Database DBName=\"d\" >", "</Database>", "</Project>"});
  AGP second;
  second.Load(other);
  EXPECT_EQ(second.str("SmtpServer"), "mail");
  EXPECT_EQ(second.int32("SmtpServerPort"), 587);
  EXPECT_EQ(second.str("P_Ext"), "php5");
  EXPECT_EQ(second.str("P_DefaultPage"), "home.php");
}

TEST_F(LoadTest, SettingsMissingFromTheFileKeepTheUsersDefaults) {
  RegWrite("HKCU", engine().regProject, "BodyFont", kRegString, Variant("Verdana"));
  std::string file = writeFile("p.xml", {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"d\" >",
                                         "</Database>", "</Project>"});
  AGP proj;
  proj.setSetting("BodyFont", Variant("changed in memory"));
  proj.Load(file);
  EXPECT_EQ(proj.str("BodyFont"), "Verdana");
  EXPECT_EQ(proj.str("SecType"), "None");
}

TEST_F(LoadTest, VersionsBelowTheFormatVersionFailAndLaterOnesLoad) {
  auto fileWith = [&](const std::string& name, const std::string& version) {
    return writeFile(name, {"<?xml version=\"1.0\"?>", header(version), "<Database DBName=\"d\" >",
                            "</Database>", "</Project>"});
  };
  for (const char* version : {"1.0.0.0", "2.0", "1.0", "1", "1.0.5"}) {
    AGP proj;
    proj.Load(fileWith("ok.xml", version));
    EXPECT_EQ(AGP::ProjErr(), "") << version;
    EXPECT_EQ(proj.DBCnt(), 1) << version;
  }
  for (const char* version : {"0.9", "0.99.1", "abc", ""}) {
    AGP proj;
    proj.Load(fileWith("old.xml", version));
    EXPECT_EQ(AGP::ProjErr(), kFailed) << version;
    EXPECT_EQ(proj.DBCnt(), 0) << version;
  }

  EXPECT_TRUE(VersionIsGreater("1.0", "0.9"));
  EXPECT_FALSE(VersionIsGreater("1.0", "1.0.0.0"));
  EXPECT_FALSE(VersionIsGreater("1.0", "2.0"));
  EXPECT_FALSE(VersionIsGreater("1.0", "1"));
  EXPECT_TRUE(VersionIsGreater("1.2.3", "1.2.2.9"));
  EXPECT_FALSE(VersionIsGreater("1.2.3.9", "1.2.3.1"));  // a fourth part is not compared
  EXPECT_TRUE(VersionIsGreater("1.10", "1.9.0"));        // numbers, not texts
  EXPECT_THROW(VersionIsGreater("1.0", "1.x"), Error);
  EXPECT_THROW(VersionIsGreater("1.0", "70000.0"), Error);
}

TEST_F(LoadTest, FailuresAreReportedThroughProjErr) {
  AGP proj;
  proj.Load(path("missing.xml"));
  EXPECT_EQ(AGP::ProjErr(), kFailed);

  proj.Load(writeFile("broken.xml",
                      {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"d\" >", "</Project>"}));
  EXPECT_EQ(AGP::ProjErr(), kFailed);

  proj.Load(
      writeFile("noversion.xml", {"<?xml version=\"1.0\"?>", "<Project ProjName=\"p\" >", "</Project>"}));
  EXPECT_EQ(AGP::ProjErr(), kFailed);

  proj.Load(writeFile("other.xml",
                      {"<?xml version=\"1.0\"?>", "<Workspace Version=\"1.0.0.0\" >", "</Workspace>"}));
  EXPECT_EQ(AGP::ProjErr(), "Tarnwick: Invalid Project File!");

  auto published = makeRef<AGP>();
  published->call(
      "Load",
      {Variant(writeFile("nodb.xml", {"<?xml version=\"1.0\"?>",
                                      "<Project Version=\"1.0.0.0\" ProjName=\"kept\" >", "</Project>"}))});
  EXPECT_EQ(published->get("ProjErr").toString(), "Tarnwick: No Database Information in Project File!");
  EXPECT_EQ(published->str("ProjName"), "kept");  // what was read stays

  // A load clears the previous message.
  proj.Load(writeFile("good.xml", {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"d\" >",
                                   "</Database>", "</Project>"}));
  EXPECT_EQ(AGP::ProjErr(), "");
}

TEST_F(LoadTest, ADatabaseWithoutANameIsCalledZbDb) {
  std::string file = writeFile("p.xml", {"<?xml version=\"1.0\"?>", header(), "<Database DBHost=\"h\" >",
                                         "<Table TblName=\"t\" >", "</Table>", "</Database>", "</Project>"});
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(proj.currentDbName(), "zb_db");
  ASSERT_EQ(proj.DBCnt(), 1);
  EXPECT_EQ(proj.db()->str("DBHost"), "h");
  EXPECT_EQ(proj.db()->tables().Count(), 1);
}

TEST_F(LoadTest, ARepeatedTableIsReadOnceWithoutTheRepetitionsChildren) {
  std::string file = writeFile(
      "p.xml", {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"d\" >",
                "<Table TblName=\"a\" TblCaption=\"first\" >", "<Field FldName=\"x\" />", "</Table>",
                "<Table TblName=\"a\" TblCaption=\"second\" >", "<Field FldName=\"y\" />",
                "<Chart ChartName=\"c\" />", "</Table>", "<Table TblName=\"\" >", "<Field FldName=\"z\" />",
                "</Table>", "</Database>", "</Project>"});
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPTables& tables = proj.db()->tables();
  ASSERT_EQ(tables.Count(), 1);
  AGPTable* a = tables.Item(Variant("a"));
  EXPECT_EQ(a->str("TblCaption"), "first");
  EXPECT_EQ(a->Fields().Count(), 1);
  EXPECT_TRUE(a->Fields().FieldExist(Variant("x")));
  EXPECT_FALSE(a->hasCharts() && a->Charts().Count() > 0);
}

TEST_F(LoadTest, ChartsAndFieldsAttachToTheMostRecentTableWhereverTheyStand) {
  std::string file =
      writeFile("p.xml", {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"d\" >",
                          "<Table TblName=\"a\" >", "<Field FldName=\"a1\" />", "</Table>",
                          "<Table TblName=\"b\" >", "</Table>", "<Field FldName=\"loose\" />",
                          "<Chart ChartName=\"pie\" />", "</Database>", "<Field FldName=\"outside\" />",
                          "<Extension Seq=\"1\" Name=\"menu\" Template=\"m.zip\" />", "</Project>"});
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPTables& tables = proj.db()->tables();
  EXPECT_EQ(tables.Item(Variant("a"))->Fields().Count(), 1);
  AGPTable* b = tables.Item(Variant("b"));
  ASSERT_EQ(b->Fields().Count(), 2);
  EXPECT_EQ(b->Fields().at(0)->FldName(), "loose");
  EXPECT_EQ(b->Fields().at(1)->FldName(), "outside");
  EXPECT_EQ(b->Charts().Count(), 1);
  // Extension lines do not change the extension list.
  EXPECT_EQ(proj.Extensions().Count(), 0);
}

TEST_F(LoadTest, DeeplyNestedElementsAreReadInDocumentOrderWithoutExhaustingTheStack) {
  // 50,000 Database elements inside each other, each entered as the reader
  // enters any Database, then tables nested in tables, each followed by a
  // field of the table most recently added.
  constexpr int kDepth = 50000;
  std::string text = "<?xml version=\"1.0\"?>\r\n" + header() + "\r\n";
  for (int i = 0; i < kDepth; ++i) text += "<Database DBName=\"d\" >";
  for (const char* name : {"outer", "middle", "inner"})
    text += std::string("<Table TblName=\"") + name + "\" ><Field FldName=\"" + name + "_id\" />";
  text += "</Table></Table><Field FldName=\"after_inner\" /></Table>";
  for (int i = 0; i < kDepth; ++i) text += "</Database>";
  text += "<Field FldName=\"last\" /></Project>";
  std::ofstream(dir() / "deep.xml", std::ios::binary) << text;

  AGP proj;
  proj.Load(path("deep.xml"));
  // The repeated Database elements are the one database (each repetition
  // says that a project has only one).
  ASSERT_EQ(proj.DBCnt(), 1);
  AGPTables& tables = proj.db()->tables();
  ASSERT_EQ(tables.Count(), 3);
  const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
      {"outer", {"outer_id"}}, {"middle", {"middle_id"}}, {"inner", {"inner_id", "after_inner", "last"}}};
  for (size_t i = 0; i < expected.size(); ++i) {
    AGPTable* t = tables.at(static_cast<int32_t>(i));
    EXPECT_EQ(t->TblName(), expected[i].first);
    std::vector<std::string> fields;
    for (int32_t f = 0; f < t->Fields().Count(); ++f) fields.push_back(t->Fields().at(f)->FldName());
    EXPECT_EQ(fields, expected[i].second) << expected[i].first;
  }
}

TEST_F(LoadTest, VariableNamesQuotesAndAutoIncrementAreDerivedAfterReading) {
  std::vector<std::string> lines = {
      "<?xml version=\"1.0\"?>",
      header(),
      "<Database DBName=\"d\" DBDBMSName=\"ACCESS\" >",
      "<Table TblName=\"Order Details\" TblVar=\"ignored\" >",
      "<Chart ChartName=\"2005 Sales\" />",
      "<Field FldName=\"Unit-Price\" FldType=\"6\" FldQuoteS=\"?\" FldQuoteE=\"?\" />",
      "<Field FldName=\"when\" FldType=\"135\" />",
      "<Field FldName=\"name\" FldType=\"202\" />",
      "<Field FldName=\"blob\" FldType=\"128\" FldQuoteS=\"[\" FldQuoteE=\"]\" />",
      "<Field FldName=\"id\" FldType=\"3\" FldAutoIncrement=\"1\" FldAdd=\"1\" />",
      "<Field FldName=\"other\" FldAutoIncrement=\"0\" FldAdd=\"1\" />",
      "</Table>",
      "</Database>",
      "</Project>"};
  AGP access;
  access.Load(writeFile("access.xml", lines));
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPTable* t = access.db()->tables().Item(Variant("Order Details"));
  EXPECT_EQ(t->TblVar(), "Order_Details");
  EXPECT_EQ(t->Charts().Item(Variant("2005 Sales"))->ChartVar(), "x2005_Sales");
  AGPFields& f = t->Fields();
  EXPECT_EQ(f.Item(Variant("Unit-Price"))->FldVar(), "x_Unit2DPrice");
  EXPECT_EQ(f.Item(Variant("Unit-Price"))->str("FldQuoteS"), "");
  EXPECT_EQ(f.Item(Variant("Unit-Price"))->str("FldQuoteE"), "");
  EXPECT_EQ(f.Item(Variant("when"))->str("FldQuoteS"), "#");
  EXPECT_EQ(f.Item(Variant("when"))->str("FldQuoteE"), "#");
  EXPECT_EQ(f.Item(Variant("name"))->str("FldQuoteS"), "'");
  EXPECT_EQ(f.Item(Variant("blob"))->str("FldQuoteS"), "[");  // other types keep the file's quotes
  EXPECT_EQ(f.Item(Variant("blob"))->str("FldQuoteE"), "]");
  EXPECT_FALSE(f.Item(Variant("id"))->flag("FldAdd"));
  EXPECT_TRUE(f.Item(Variant("other"))->flag("FldAdd"));

  lines[2] = "<Database DBName=\"d\" DBDBMSName=\"MySQL\" >";
  AGP mysql;
  mysql.Load(writeFile("mysql.xml", lines));
  AGPFields& g = mysql.db()->tables().Item(Variant("Order Details"))->Fields();
  EXPECT_EQ(g.Item(Variant("when"))->str("FldQuoteS"), "'");
  EXPECT_EQ(g.Item(Variant("name"))->str("FldQuoteE"), "'");
  EXPECT_EQ(g.Item(Variant("Unit-Price"))->str("FldQuoteS"), "");
}

TEST(DBKindOf, ClassifiesDbmsNames) {
  EXPECT_EQ(DBKindOf("MS Jet"), 1);
  EXPECT_EQ(DBKindOf("ACCESS"), 1);
  EXPECT_EQ(DBKindOf("Access"), 5);  // the first kind is matched exactly
  EXPECT_EQ(DBKindOf("Microsoft SQL Server"), 2);
  EXPECT_EQ(DBKindOf("microsoft sql server"), 2);
  EXPECT_EQ(DBKindOf("Microsoft Access"), 5);
  EXPECT_EQ(DBKindOf("MySQL"), 3);
  EXPECT_EQ(DBKindOf("mysql"), 3);
  EXPECT_EQ(DBKindOf("Oracle"), 4);
  EXPECT_EQ(DBKindOf("ORACLE"), 4);
  EXPECT_EQ(DBKindOf("PostgreSQL"), 5);
  EXPECT_EQ(DBKindOf(""), 5);
}

TEST_F(LoadTest, TableKeysAreRebuiltFromThePrimaryKeyFields) {
  std::string file =
      writeFile("p.xml", {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"d\" >",
                          "<Table TblName=\"lines\" TblKey=\"stale\" >",
                          "<Field FldName=\"order_id\" FldIsPrimaryKey=\"1\" />",
                          "<Field FldName=\"amount\" FldIsPrimaryKey=\"0\" />",
                          "<Field FldName=\"line_no\" FldIsPrimaryKey=\"1\" />", "</Table>",
                          "<Table TblName=\"log\" TblKey=\"x\" >", "</Table>", "</Database>", "</Project>"});
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(proj.db()->tables().Item(Variant("lines"))->str("TblKey"), "line_no,order_id");
  EXPECT_EQ(proj.db()->tables().Item(Variant("log"))->str("TblKey"), "");
}

TEST_F(LoadTest, ProgressShowsEveryTableAndClosesAtTheEnd) {
  auto log = std::make_shared<std::vector<std::string>>();
  engine().status().setSink(std::make_unique<RecordingSink>(log));
  std::string file = writeFile(
      "p.xml", {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"d\" >", "<Table TblName=\"a\" >",
                "</Table>", "<Table TblName=\"b\" >", "</Table>", "<Table TblName=\"c\" >", "</Table>",
                "<Table TblName=\"d\" >", "</Table>", "</Database>", "</Project>"});
  AGP proj;
  proj.setLhWnd(42);
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(*log, (std::vector<std::string>{
                      "open 42 1 Loading Project File...", "info Loading TABLE/VIEW \"a\"...", "progress 25",
                      "info Loading TABLE/VIEW \"b\"...", "progress 50", "info Loading TABLE/VIEW \"c\"...",
                      "progress 75", "info Loading TABLE/VIEW \"d\"...", "progress 100", "close"}));

  log->clear();
  proj.DeleteProj();
  proj.Load(writeFile("empty.xml",
                      {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"d\" />", "</Project>"}));
  EXPECT_EQ(AGP::ProjErr(), "");
  EXPECT_TRUE(log->empty());
}

TEST_F(LoadTest, ALoadRefreshesTheEngineWideWorkingCopies) {
  std::string file = writeFile(
      "p.xml", {"<?xml version=\"1.0\"?>",
                "<Project Version=\"1.0.0.0\" AutoSync=\"0\" SQLQuote=\"`\" defaultDateFormat=\"5\" >",
                "<Database DBName=\"d\" DBDBMSName=\"MySQL\" DBQuoteS=\"[\" DBQuoteE=\"]\" "
                "SecDefault=\"Guest\" >",
                "</Database>", "</Project>"});
  AGP proj;
  proj.Load(file);
  ASSERT_EQ(AGP::ProjErr(), "");
  const EngineContext& ctx = engine();
  EXPECT_EQ(ctx.sqlQuote, "`");
  EXPECT_EQ(ctx.dateFormat, 5);
  EXPECT_EQ(ctx.dbmsName, "MySQL");
  EXPECT_EQ(ctx.dbQuoteS, "[");
  EXPECT_EQ(ctx.dbQuoteE, "]");
  EXPECT_EQ(ctx.secDefault.toString(), "Guest");

  AGP other;
  other.Load(writeFile("q.xml", {"<?xml version=\"1.0\"?>",
                                 "<Project Version=\"1.0.0.0\" AutoSync=\"0\" defaultDateFormat=\"long\" >",
                                 "<Database DBName=\"d\" >", "</Database>", "</Project>"}));
  EXPECT_EQ(engine().dateFormat, 0);
}

TEST_F(LoadTest, CurrentElementsAreTheLastOnesRead) {
  std::string file = writeFile(
      "p.xml", {"<?xml version=\"1.0\"?>", header(), "<Database DBName=\"shop\" >", "<Table TblName=\"a\" >",
                "<Field FldName=\"a1\" />", "</Table>", "<Table TblName=\"b\" >", "<Field FldName=\"b1\" />",
                "<Field FldName=\"b2\" />", "</Table>", "</Database>", "</Project>"});
  AGP proj;
  proj.Load(file);
  EXPECT_EQ(proj.currentDbName(), "shop");
  EXPECT_EQ(proj.Databases().curName(), "shop");
  AGPTables& tables = proj.db()->tables();
  EXPECT_EQ(tables.curName(), "b");
  EXPECT_EQ(tables.Item(Variant("b"))->Fields().curName(), "b2");
}

int gChecks = 0;
int gTablesSeen = 0;

TEST_F(LoadTest, TheSynchronisationCheckRunsOnlyWithAutoSyncAndBeforeKeysAreRebuilt) {
  std::vector<std::string> lines = {"<?xml version=\"1.0\"?>",
                                    "<Project Version=\"1.0.0.0\" AutoSync=\"1\" >",
                                    "<Database DBName=\"d\" >",
                                    "<Table TblName=\"t\" TblKey=\"stale\" >",
                                    "<Field FldName=\"id\" FldIsPrimaryKey=\"1\" />",
                                    "</Table>",
                                    "</Database>",
                                    "</Project>"};
  std::string withSync = writeFile("sync.xml", lines);
  lines[1] = "<Project Version=\"1.0.0.0\" AutoSync=\"0\" >";
  std::string withoutSync = writeFile("nosync.xml", lines);

  {
    // Nothing installed: the load completes and checks nothing.
    AGP proj;
    proj.Load(withSync);
    EXPECT_EQ(AGP::ProjErr(), "");
    EXPECT_EQ(proj.db()->tables().Item(Variant("t"))->str("TblKey"), "id");
  }
  gChecks = 0;
  setLoadSyncCheck([](AGP& p) {
    ++gChecks;
    AGPTable* t = p.db()->tables().Item(Variant("t"));
    gTablesSeen = p.db()->tables().Count();
    EXPECT_EQ(t->str("TblKey"), "stale");
    t->Fields().Add("added_by_sync")->setSetting("FldIsPrimaryKey", Variant(true));
  });
  {
    AGP proj;
    proj.Load(withoutSync);
    EXPECT_EQ(gChecks, 0);
    AGP synced;
    synced.Load(withSync);
    EXPECT_EQ(gChecks, 1);
    EXPECT_EQ(gTablesSeen, 1);
    EXPECT_EQ(synced.db()->tables().Item(Variant("t"))->str("TblKey"), "added_by_sync,id");
  }
  setLoadSyncCheck(nullptr);
}

TEST(ProjectDocumentMemory, ADocumentParsedInBulkMemoryGivesItAllBack) {
  std::string bytes = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Project Version=\"1.0.0.1\">";
  for (int i = 0; i < 5000; ++i) bytes += "<Table TblName=\"t" + std::to_string(i) + "\" TblCaption=\"x\"/>";
  bytes += "</Project>";
  {
    pugi::xml_document doc;
    {
      BulkMemoryScope bulk;
      ASSERT_TRUE(ParseProjectXml(doc, bytes));
    }
    EXPECT_GT(bulkMemoryStats().regions, 0u);
    EXPECT_EQ(std::distance(doc.document_element().begin(), doc.document_element().end()), 5000);
  }
  EXPECT_EQ(bulkMemoryStats().regions, 0u);
}

}  // namespace
}  // namespace tw
