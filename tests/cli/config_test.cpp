// tarnwick config: user defaults seeded from the machine defaults, read,
// changed, removed and reset, and picked up by new projects.
#include <gmock/gmock.h>

#include <functional>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;

// A machine defaults file of the test's own, so that the expected values are
// the ones written here.
constexpr const char* kMachine =
    "[Software\\Tarnwick\\1.0\\Settings\\General]\n"
    "Language = string:\"English\"\n"
    "BackupFile = string:\"True\"\n"
    "ScriptEngineTimeout = dword:45000\n"
    "[Software\\Tarnwick\\1.0\\Settings\\Project]\n"
    "RecPerPage = dword:25\n"
    "BodyFont = string:\"Georgia\"\n"
    "ExportCsv = string:\"True\"\n"
    "[Software\\Tarnwick\\1.0\\Settings\\Table]\n"
    "TblRecPerPage = dword:15\n"
    "[Software\\Tarnwick\\1.0\\Settings\\Field]\n"
    "FldBold = string:\"False\"\n"
    "[Software\\Tarnwick\\1.0\\Settings\\Chart]\n"
    "ChartWidth = dword:500\n";

class ConfigTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    write(dir() / "machine.txt", kMachine);
    setEnv("TARNWICK_MACHINE_REGISTRY", (dir() / "machine.txt").string());
  }
  std::string get(const std::string& section, const std::string& name) {
    RunResult r = run({"config", "get", section, name});
    EXPECT_EQ(r.code, 0) << r;
    return r.out;
  }
};

TEST_F(ConfigTest, TheFirstRunStartsFromTheMachineDefaults) {
  EXPECT_EQ(get("Project", "RecPerPage"), "25\n");
  EXPECT_EQ(get("project", "bodyfont"), "Georgia\n");  // any letter case
  EXPECT_EQ(get("General", "ScriptEngineTimeout"), "45000\n");
  EXPECT_EQ(get("Chart", "ChartWidth"), "500\n");
  // A known setting without a value reads as empty.
  EXPECT_EQ(get("Project", "BodyTitle"), "\n");
}

TEST_F(ConfigTest, SetWritesByTheSettingsTypeAndListShowsIt) {
  ASSERT_EQ(run({"config", "set", "Project", "RecPerPage", "40"}).code, 0);
  ASSERT_EQ(run({"config", "set", "Project", "ExportCsv", "0"}).code, 0);
  // NAME=VALUE in one word, as set takes it; the value may hold "=".
  ASSERT_EQ(run({"config", "set", "General", "BackupFile=false"}).code, 0);
  RunResult code = run({"config", "set", "General", "USERCODE=a=b"});
  ASSERT_EQ(code.code, 0) << code;
  EXPECT_EQ(code.out, "General.USERCODE = a=b\n");
  EXPECT_EQ(get("General", "USERCODE"), "a=b\n");
  RunResult title = run({"config", "set", "Project", "BodyTitle", "My shop"});
  ASSERT_EQ(title.code, 0) << title;
  EXPECT_EQ(title.out, "Project.BodyTitle = My shop\n");
  EXPECT_EQ(get("Project", "RecPerPage"), "40\n");
  // Booleans are kept as the words True and False.
  EXPECT_EQ(get("Project", "ExportCsv"), "False\n");
  EXPECT_EQ(get("General", "BackupFile"), "False\n");

  RunResult list = run({"config", "list", "Project"});
  ASSERT_EQ(list.code, 0) << list;
  EXPECT_THAT(list.out, HasSubstr("\nRecPerPage = 40\n"));
  EXPECT_THAT(list.out, HasSubstr("\nBodyTitle = My shop\n"));
  EXPECT_THAT(list.out, ::testing::Not(HasSubstr("[")));  // one section: no headings
  RunResult all = run({"config", "list"});
  for (const char* s : {"[General]", "[Project]", "[Database]", "[Table]", "[Field]", "[Chart]"})
    EXPECT_THAT(all.out, HasSubstr(s)) << s;
  RunResult json = run({"config", "list", "--json"});
  EXPECT_THAT(json.out, HasSubstr("\"RecPerPage\": 40"));
  EXPECT_THAT(json.out, HasSubstr("\"ExportCsv\": \"False\""));
  EXPECT_THAT(json.out, HasSubstr("\"Chart\": {"));
}

TEST_F(ConfigTest, NewProjectsTablesAndFieldsStartWithTheUserDefaults) {
  ASSERT_EQ(run({"config", "set", "Project", "RecPerPage", "40"}).code, 0);
  ASSERT_EQ(run({"config", "set", "Project", "BodyFont", "Verdana"}).code, 0);
  ASSERT_EQ(run({"config", "set", "Table", "TblRecPerPage", "33"}).code, 0);
  ASSERT_EQ(run({"config", "set", "Field", "FldBold", "True"}).code, 0);
  fs::path p = newShop();
  EXPECT_EQ(attribute(p, "/Project", "RecPerPage"), "40");
  EXPECT_EQ(attribute(p, "/Project", "BodyFont"), "Verdana");
  EXPECT_EQ(attribute(p, tableXPath("orders"), "TblRecPerPage"), "33");
  EXPECT_EQ(attribute(p, fieldXPath("orders", "total"), "FldBold"), "1");
  // A project made before the change keeps its own values.
  ASSERT_EQ(run({"config", "set", "Project", "RecPerPage", "60"}).code, 0);
  EXPECT_EQ(attribute(p, "/Project", "RecPerPage"), "40");
  EXPECT_THAT(run({"show", "shop.xml"}).out, HasSubstr("\nRecPerPage = 40\n"));
}

TEST_F(ConfigTest, UnsetRemovesAUserDefault) {
  ASSERT_EQ(run({"config", "unset", "Project", "BodyFont"}).code, 0);
  EXPECT_EQ(get("Project", "BodyFont"), "\n");
  fs::path p = newShop();
  EXPECT_EQ(attribute(p, "/Project", "BodyFont"), "");
}

TEST_F(ConfigTest, AnUnsetSettingCanBeSetAgain) {
  // Every kind of setting: one the machine defaults give, one only the
  // General section knows by name, a Boolean and a number.
  const struct {
    const char* section;
    const char* name;
    const char* value;
    const char* shown;
  } cases[] = {
      {"Project", "BodyFont", "Verdana", "Verdana"},
      {"General", "CssFile", "/srv/site.css", "/srv/site.css"},
      {"General", "BackupFile", "false", "False"},
      {"General", "ScriptEngineTimeout", "1000", "1000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "." + c.name);
    RunResult unset = run({"config", "unset", c.section, c.name});
    ASSERT_EQ(unset.code, 0) << unset;
    EXPECT_EQ(get(c.section, c.name), "\n");
    RunResult set = run({"config", "set", c.section, c.name, c.value});
    ASSERT_EQ(set.code, 0) << set;
    EXPECT_EQ(get(c.section, c.name), std::string(c.shown) + "\n");
  }
}

TEST_F(ConfigTest, UnknownSectionsNamesAndBadValuesAreRefused) {
  RunResult section = run({"config", "get", "Projet", "RecPerPage"});
  EXPECT_EQ(section.code, 2) << section;
  EXPECT_THAT(section.err, HasSubstr("unknown section \"Projet\"; did you mean Project?"));
  RunResult name = run({"config", "set", "Project", "RecPerPag", "5"});
  EXPECT_EQ(name.code, 2) << name;
  EXPECT_THAT(name.err, HasSubstr("unknown Project setting \"RecPerPag\"; did you mean RecPerPage"));
  RunResult number = run({"config", "set", "Project", "RecPerPage", "lots"});
  EXPECT_EQ(number.code, 2) << number;
  EXPECT_THAT(number.err, HasSubstr("RecPerPage takes a whole number, not \"lots\""));
  RunResult flag = run({"config", "set", "Project", "ExportCsv", "perhaps"});
  EXPECT_EQ(flag.code, 2) << flag;
  EXPECT_THAT(flag.err, HasSubstr("ExportCsv takes True or False"));
  // Settings only kept in project files are no user defaults.
  RunResult fileOnly = run({"config", "set", "Project", "ProjName", "x"});
  EXPECT_EQ(fileOnly.code, 2) << fileOnly;
  // Nothing was changed by the refused commands.
  EXPECT_EQ(get("Project", "RecPerPage"), "25\n");
  EXPECT_EQ(get("Project", "ExportCsv"), "True\n");
  RunResult noValue = run({"config", "set", "Project", "RecPerPage"});
  EXPECT_EQ(noValue.code, 2) << noValue;
  EXPECT_THAT(noValue.err, HasSubstr("give the value as NAME VALUE or NAME=VALUE"));
  RunResult noAction = run({"config"});
  EXPECT_EQ(noAction.code, 2) << noAction;
}

TEST_F(ConfigTest, ResetBringsBackTheMachineDefaultsOnceConfirmed) {
  ASSERT_EQ(run({"config", "set", "Project", "RecPerPage", "99"}).code, 0);
  ASSERT_EQ(run({"config", "set", "Project", "BodyTitle", "Mine"}).code, 0);
  RunResult unconfirmed = run({"config", "reset"});
  EXPECT_EQ(unconfirmed.code, 2) << unconfirmed;
  EXPECT_THAT(unconfirmed.err, HasSubstr("--yes"));
  EXPECT_EQ(get("Project", "RecPerPage"), "99\n");

  RunResult declined = runOnTerminal({"config", "reset"}, {{"[y/N]", "n"}});
  EXPECT_EQ(declined.code, 0) << declined;
  EXPECT_EQ(get("Project", "RecPerPage"), "99\n");

  RunResult r = run({"config", "reset", "--yes"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr((dir() / "machine.txt").string()));
  EXPECT_EQ(get("Project", "RecPerPage"), "25\n");
  // Values the machine defaults do not have are gone.
  EXPECT_EQ(get("Project", "BodyTitle"), "\n");
}

TEST_F(ConfigTest, ADamagedUserStoreIsNamedAndResetRebuildsIt) {
  const fs::path store = dir() / "config" / "registry.sqlite";
  struct Case {
    std::string what;
    std::function<void()> damage;
  } cases[] = {
      {"not a database", [&] { write(store, std::string(8192, 'x')); }},
      {"cut short",
       [&] {
         ASSERT_EQ(run({"config", "set", "Project", "BodyTitle", std::string(20000, 't')}).code, 0);
         fs::resize_file(store, fs::file_size(store) / 2);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir() / "config");
    fs::create_directories(dir() / "config");
    c.damage();
    const std::string damaged = read(store);
    RunResult used = run({"config", "get", "Project", "RecPerPage"});
    EXPECT_EQ(used.code, 1) << used;
    EXPECT_THAT(used.err, HasSubstr(store.string()));
    EXPECT_THAT(used.err, HasSubstr("config reset --yes"));

    RunResult reset = run({"config", "reset", "--yes"});
    ASSERT_EQ(reset.code, 0) << reset;
    EXPECT_THAT(reset.out, HasSubstr(store.string() + ".damaged"));
    EXPECT_EQ(read(fs::path(store.string() + ".damaged")), damaged);
    EXPECT_EQ(get("Project", "RecPerPage"), "25\n");
    fs::path p = newShop();
    EXPECT_EQ(attribute(p, "/Project", "RecPerPage"), "25");
    fs::remove(p);
  }
}

}  // namespace
}  // namespace tw::testing
