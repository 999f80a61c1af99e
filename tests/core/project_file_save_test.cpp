// Saving projects: the layout of the file, how values are written, the
// declaration, and that a failed save never damages the file it replaces.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/agp.h"
#include "core/project_file.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/registry.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

std::string readBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The lines of a file written with CR LF line ends (the text after the last
// line end is dropped; it must be empty).
std::vector<std::string> crlfLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      EXPECT_EQ(bytes.substr(start), "") << "text after the last line end";
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The names of the attributes on an element line: each is preceded by a
// blank and followed by ="..." (values hold no double quotes, they are
// escaped).
std::vector<std::string> attributeNames(const std::string& line) {
  std::vector<std::string> names;
  size_t pos = 0;
  while ((pos = line.find("=\"", pos)) != std::string::npos) {
    size_t start = line.rfind(' ', pos) + 1;
    names.push_back(line.substr(start, pos - start));
    size_t close = line.find('"', pos + 2);
    if (close == std::string::npos) break;
    pos = close + 1;
  }
  return names;
}

std::string attributeValue(const std::string& line, const std::string& name) {
  std::string key = " " + name + "=\"";
  size_t at = line.find(key);
  if (at == std::string::npos) return "<absent>";
  size_t start = at + key.size();
  return line.substr(start, line.find('"', start) - start);
}

class SaveTest : public testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    RegWrite("HKCU", engine().regGeneral, "XMLEncodeCharSet", kRegString, Variant("utf-8"));
  }
  std::string path(const std::string& name) const { return (dir() / name).string(); }

  // A project with one extension and a database of two tables.
  static void fill(AGP& proj) {
    proj.AddProj("Shop");
    proj.AddExtension("menu", "menu.zip");
    proj.Databases().Add("shop");
    proj.setCurrentDbName("shop");
    AGPTables& tables = proj.db()->tables();
    AGPTable* orders = tables.Add("orders");
    orders->Fields().Add("id");
    orders->Fields().Add("total");
    orders->Charts().Add("by month");
    AGPTable* items = tables.Add("items");
    items->Fields().Add("sku");
  }
};

TEST_F(SaveTest, WritesOneElementPerCrLfLineInTheDocumentedOrder) {
  AGP proj;
  fill(proj);
  proj.Save(path("shop.xml"));
  std::string bytes = readBytes(dir() / "shop.xml");
  size_t lineFeeds = 0, crlf = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') ++lineFeeds;
    if (bytes.compare(i, 2, "\r\n") == 0) ++crlf;
  }
  EXPECT_EQ(lineFeeds, crlf) << "every line ends with CR LF";

  std::vector<std::string> lines = crlfLines(bytes);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0], R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?>)");
  EXPECT_EQ(
      lines[1].rfind("<Project Version=\"" + proj.EngineVersion() + "\" ProjName=\"Shop\" ProjMode=\"", 0),
      0u)
      << lines[1];
  EXPECT_EQ(lines[1].substr(lines[1].size() - 3), "\" >");
  EXPECT_EQ(lines[2], R"(<Extension Seq="1" Name="menu" Template="menu.zip" />)");
  EXPECT_EQ(lines[3].rfind("<Database DBName=\"shop\" DBType=\"", 0), 0u) << lines[3];
  EXPECT_EQ(lines[3].substr(lines[3].size() - 3), "\" >");
  EXPECT_EQ(lines[4].rfind("<Table TblSeq=\"1\" TblName=\"orders\" ", 0), 0u) << lines[4];
  EXPECT_EQ(lines[5].rfind("<Chart ChartSeq=\"1\" ChartName=\"by month\" ", 0), 0u) << lines[5];
  EXPECT_EQ(lines[5].substr(lines[5].size() - 4), "\" />");
  EXPECT_EQ(lines[6].rfind("<Field FldSeq=\"1\" FldName=\"id\" ", 0), 0u) << lines[6];
  EXPECT_EQ(lines[7].rfind("<Field FldSeq=\"2\" FldName=\"total\" ", 0), 0u) << lines[7];
  EXPECT_EQ(lines[8], "</Table>");
  EXPECT_EQ(lines[9].rfind("<Table TblSeq=\"2\" TblName=\"items\" ", 0), 0u) << lines[9];
  EXPECT_EQ(lines[10].rfind("<Field FldSeq=\"1\" FldName=\"sku\" ", 0), 0u) << lines[10];
  EXPECT_EQ(lines[11], "</Table>");
  EXPECT_EQ(lines[12], "</Database>");
  EXPECT_EQ(lines[13], "</Project>");  // and nothing after its line end
}

TEST_F(SaveTest, AttributesAreTheFileSettingsInRegistrationOrder) {
  AGP proj;
  fill(proj);
  proj.Save(path("shop.xml"));
  std::vector<std::string> lines = crlfLines(readBytes(dir() / "shop.xml"));
  ASSERT_GE(lines.size(), 8u);

  std::vector<std::string> project = attributeNames(lines[1]);
  ASSERT_EQ(project.size(), 1u + 103u);  // Version and the 105 settings but AppCssFolder, AppChartCssFile
  EXPECT_EQ(
      (std::vector<std::string>(project.begin(), project.begin() + 11)),
      (std::vector<std::string>{"Version", "ProjName", "ProjMode", "AppCompat", "AppHeader", "AppFooter",
                                "AppLogin", "AppLogout", "AppDefault", "SQLQuote", "Cache"}));
  EXPECT_EQ(project.back(), "RootRelativePath");

  std::vector<std::string> database = attributeNames(lines[3]);
  ASSERT_EQ(database.size(), 22u);
  EXPECT_EQ(database[2], "DBDatabaseNames");
  EXPECT_EQ(database[21], "SecuParentUserIDFld");

  // Tables leave out TblSync, TblVar and the three generation options.
  std::vector<std::string> table = attributeNames(lines[4]);
  ASSERT_EQ(table.size(), 47u);
  EXPECT_EQ((std::vector<std::string>(table.begin(), table.begin() + 13)),
            (std::vector<std::string>{"TblSeq", "TblName", "TblType", "TblKey", "TblGen", "TblList",
                                      "TblView", "TblInlineEdit", "TblEdit", "TblAdd", "TblDelete",
                                      "TblCaption", "TblSrchType"}));
  EXPECT_EQ(table[21], "TblBlob");
  EXPECT_EQ(table[22], "TblOverwrite");
  EXPECT_EQ(table.back(), "TblLinkOnLeft");

  std::vector<std::string> chart = attributeNames(lines[5]);
  ASSERT_EQ(chart.size(), 34u);
  EXPECT_EQ(chart[2], "ShowChart");

  std::vector<std::string> field = attributeNames(lines[6]);
  ASSERT_EQ(field.size(), 104u);
  EXPECT_EQ(field[0], "FldSeq");
  EXPECT_EQ(field[34], "FldCaption");
  EXPECT_EQ(field[35], "FldViewTag");  // FldVar is not written
  EXPECT_EQ(field.back(), "FldRptAggMax");
}

TEST_F(SaveTest, ValuesAreEscapedAndBooleansWrittenAsOneOrZero) {
  AGP proj;
  fill(proj);
  proj.setSetting("ProjName", Variant("a<b&\"c"));
  proj.setSetting("AppHeader", Variant("it's > all"));
  proj.setSetting("Cache", Variant(true));
  proj.setSetting("AppCompat", Variant(false));
  proj.setSetting("OutputNameLCase", Variant());   // empty
  proj.setSetting("UseCss", Variant("True"));      // text reading as true
  proj.setSetting("UseMySqli", Variant("maybe"));  // text reading as nothing
  proj.setSetting("ExportCsv", Variant(-1));
  proj.setSetting("BodyLeftMargin", Variant::integer(12));
  proj.setSetting("SmtpServerPort", Variant::long_(2525));
  AGPField* field = proj.db()->tables().Item(Variant("orders"))->Fields().Item(Variant("id"));
  field->setSetting("FldTagValues", Variant("Red\r\nGreen\r\nBlue"));
  field->setSetting("FldDefault", Variant(2.5));
  proj.Save(path("shop.xml"));

  std::vector<std::string> lines = crlfLines(readBytes(dir() / "shop.xml"));
  const std::string& p = lines[1];
  EXPECT_EQ(attributeValue(p, "ProjName"), "a&lt;b&amp;&quot;c");
  EXPECT_EQ(attributeValue(p, "AppHeader"), "it's &gt; all");
  EXPECT_EQ(attributeValue(p, "Cache"), "1");
  EXPECT_EQ(attributeValue(p, "AppCompat"), "0");
  EXPECT_EQ(attributeValue(p, "OutputNameLCase"), "0");
  EXPECT_EQ(attributeValue(p, "UseCss"), "1");
  EXPECT_EQ(attributeValue(p, "UseMySqli"), "0");
  EXPECT_EQ(attributeValue(p, "ExportCsv"), "1");
  EXPECT_EQ(attributeValue(p, "BodyLeftMargin"), "12");
  EXPECT_EQ(attributeValue(p, "SmtpServerPort"), "2525");
  EXPECT_EQ(attributeValue(p, "SecType"), "None");
  EXPECT_EQ(attributeValue(lines[6], "FldTagValues"), "Red|Green|Blue");
  EXPECT_EQ(attributeValue(lines[6], "FldDefault"), "2.5");
  // Every attribute is followed by exactly one blank.
  EXPECT_EQ(p.find("\"  "), std::string::npos);
  EXPECT_NE(p.find("\" AppCompat=\"0\" AppHeader=\""), std::string::npos);
}

TEST(XmlEscape, ReplacesTheFourCharactersInOrderAndLeavesApostrophes) {
  EXPECT_EQ(XmlEscape("a<b&\"c"), "a&lt;b&amp;&quot;c");
  EXPECT_EQ(XmlEscape("&lt;"), "&amp;lt;");  // "&" first, so nothing is escaped twice
  EXPECT_EQ(XmlEscape("x > y"), "x &gt; y");
  EXPECT_EQ(XmlEscape("it's"), "it's");
  EXPECT_EQ(XmlEscape("line\r\nbreak"), "line\r\nbreak");
}

TEST_F(SaveTest, TablesFieldsAndChartsAreWrittenBySequenceNumber) {
  AGP proj;
  fill(proj);
  AGPTables& tables = proj.db()->tables();
  tables.Add("users");
  // New order: users, orders, items; orders' fields: total, id.
  tables.Item(Variant("users"))->setSetting("TblSeq", Variant::integer(1));
  tables.Item(Variant("orders"))->setSetting("TblSeq", Variant::integer(2));
  tables.Item(Variant("items"))->setSetting("TblSeq", Variant::integer(3));
  AGPTable* orders = tables.Item(Variant("orders"));
  orders->Fields().Item(Variant("total"))->setSetting("FldSeq", Variant::integer(1));
  orders->Fields().Item(Variant("id"))->setSetting("FldSeq", Variant::integer(2));
  orders->Charts().Add("by day");
  orders->Charts().Item(Variant("by day"))->setSetting("ChartSeq", Variant::integer(1));
  orders->Charts().Item(Variant("by month"))->setSetting("ChartSeq", Variant::integer(2));
  proj.Save(path("shop.xml"));

  std::vector<std::string> lines = crlfLines(readBytes(dir() / "shop.xml"));
  std::vector<std::string> order;
  for (const std::string& line : lines) {
    if (line.rfind("<Table ", 0) == 0) order.push_back("T:" + attributeValue(line, "TblName"));
    if (line.rfind("<Chart ", 0) == 0) order.push_back("C:" + attributeValue(line, "ChartName"));
    if (line.rfind("<Field ", 0) == 0) order.push_back("F:" + attributeValue(line, "FldName"));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"T:users", "T:orders", "C:by day", "C:by month", "F:total",
                                             "F:id", "T:items", "F:sku"}));
}

TEST_F(SaveTest, RepeatedSequenceNumbersLoseNothing) {
  AGP proj;
  fill(proj);
  proj.db()->tables().Item(Variant("items"))->setSetting("TblSeq", Variant::integer(1));
  proj.Save(path("shop.xml"));
  std::string bytes = readBytes(dir() / "shop.xml");
  EXPECT_NE(bytes.find("TblName=\"orders\""), std::string::npos);
  EXPECT_NE(bytes.find("TblName=\"items\""), std::string::npos);
  EXPECT_LT(bytes.find("TblName=\"orders\""), bytes.find("TblName=\"items\""));
}

TEST_F(SaveTest, AProjectWithoutADatabaseHasNoDatabaseElement) {
  AGP proj;
  proj.AddProj("Empty");
  proj.Save(path("empty.xml"));
  std::vector<std::string> lines = crlfLines(readBytes(dir() / "empty.xml"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "</Project>");
}

TEST_F(SaveTest, TheDeclarationNamesTheRegistryCharsetElseTheMachinesAndRecordsIt) {
  AGP proj;
  proj.AddProj("x");
  RegWrite("HKCU", engine().regGeneral, "XMLEncodeCharSet", kRegString, Variant("iso-8859-1"));
  proj.Save(path("a.xml"));
  EXPECT_EQ(crlfLines(readBytes(dir() / "a.xml"))[0],
            R"(<?xml version="1.0" encoding="iso-8859-1" standalone="yes"?>)");

  RegWrite("HKCU", engine().regGeneral, "XMLEncodeCharSet", kRegString, Variant(""));
  proj.Save(path("b.xml"));
  SystemCharset();
  std::string machine = engine().systemCharset;
  EXPECT_EQ(crlfLines(readBytes(dir() / "b.xml"))[0], XmlDeclaration(machine));
  EXPECT_EQ(RegRead("HKCU", engine().regGeneral, "XMLEncodeCharSet").toString(), machine);

  EXPECT_EQ(XmlDeclaration("utf-8"), R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?>)");
  EXPECT_EQ(XmlDeclaration(""), R"(<?xml version="1.0" standalone="yes"?>)");
}

TEST_F(SaveTest, NewFilesArePrivateAndReplacedFilesKeepTheirPermissions) {
  AGP proj;
  proj.AddProj("x");
  proj.Save(path("new.xml"));
  struct stat st {};
  ASSERT_EQ(::stat(path("new.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  std::ofstream(dir() / "shared.xml") << "old";
  ::chmod(path("shared.xml").c_str(), 0640);
  proj.Save(path("shared.xml"));
  ASSERT_EQ(::stat(path("shared.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_NE(readBytes(dir() / "shared.xml"), "old");
}

TEST_F(SaveTest, ASymbolicLinkKeepsPointingAtTheReplacedFile) {
  AGP proj;
  proj.AddProj("linked");
  std::filesystem::create_directories(dir() / "real");
  std::ofstream(dir() / "real" / "p.xml") << "old";
  std::filesystem::create_symlink(dir() / "real" / "p.xml", dir() / "link.xml");
  proj.Save(path("link.xml"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir() / "link.xml"));
  EXPECT_NE(readBytes(dir() / "real" / "p.xml").find("ProjName=\"linked\""), std::string::npos);
}

TEST_F(SaveTest, AFolderThatDoesNotExistRaisesPathNotFound) {
  auto proj = makeRef<AGP>();
  proj->AddProj("x");
  try {
    proj->call("Save", {Variant(path("missing/sub/p.xml"))});
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrPathNotFound);
  }
  std::filesystem::create_directories(dir() / "folder.xml");
  EXPECT_THROW(proj->Save(path("folder.xml")), Error);  // a folder is not replaced
  EXPECT_TRUE(std::filesystem::is_directory(dir() / "folder.xml"));
}

TEST_F(SaveTest, AWriteFailingHalfWayLeavesTheOldFileIntact) {
  AGP proj;
  fill(proj);
  AGPFields& fields = proj.db()->tables().Item(Variant("orders"))->Fields();
  for (int i = 0; i < 300; ++i) fields.Add("column" + std::to_string(i));
  const std::string target = path("shop.xml");
  std::ofstream(target, std::ios::binary) << "<?xml version=\"1.0\"?>\r\n<Project Version=\"1.0\" />\r\n";
  const std::string before = readBytes(target);

  // The file system refuses to let the file grow past 64 KiB, as a full disk
  // would, half-way through the project's text.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 64 * 1024;
  auto previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int number = 0;
  try {
    proj.Save(target);
  } catch (const Error& e) {
    number = e.number();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);

  EXPECT_EQ(number, 61);  // "Disk full"
  EXPECT_EQ(readBytes(target), before);
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir()))
    files.push_back(entry.path().filename());
  EXPECT_EQ(
      std::count_if(files.begin(), files.end(), [](const std::string& f) { return f.find("shop.xml") == 0; }),
      1)
      << "no temporary file is left behind";

  // With room again the same save goes through.
  proj.Save(target);
  EXPECT_GT(readBytes(target).size(), 64u * 1024u);
}

}  // namespace
}  // namespace tw
