// tarnwick settings: the catalogue of every setting, its description and
// whether the template uses it.
#include <gmock/gmock.h>

#include <regex>
#include <set>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class SettingsTest : public CliTest {};

struct Listed {
  std::string section, name, group, input, description, used;
};

// The objects of `settings --json`, one a line.
std::vector<Listed> parseListing(const std::string& json) {
  std::vector<Listed> out;
  auto field = [](const std::string& line, const std::string& key) {
    std::smatch m;
    std::regex re("\"" + key + "\": (null|\"((?:[^\"\\\\]|\\\\.)*)\")");
    return std::regex_search(line, m, re) ? m[2].str() : std::string();
  };
  std::istringstream in(json);
  for (std::string line; std::getline(in, line);) {
    if (line.find("\"section\"") == std::string::npos) continue;
    out.push_back({field(line, "section"), field(line, "name"), field(line, "group"), field(line, "input"),
                   field(line, "description"), field(line, "used")});
  }
  return out;
}

TEST_F(SettingsTest, EverySettingTheEngineRegistersIsDescribedAndEveryCatalogueLineNamesOne) {
  RunResult r = run({"settings", "--json"});
  ASSERT_EQ(r.code, 0) << r;
  std::vector<Listed> listed = parseListing(r.out);
  // The five sections are all there (the engine registers some 300 settings).
  std::set<std::string> sections;
  for (const Listed& s : listed) sections.insert(s.section);
  EXPECT_EQ(sections, (std::set<std::string>{"Project", "Database", "Table", "Field", "Chart"}));
  EXPECT_GT(listed.size(), 250u);
  const std::set<std::string> groups = {"general", "list",   "view",   "edit",   "search", "lookup",   "validation",
                                        "format",  "appearance", "security", "export", "report", "chart",
                                        "upload",  "output", "php",    "email",  "database", "schema", "internal"};
  const std::set<std::string> inputs = {"bool", "int", "text", "lines", "colour", "password", "path", "choice", "fixed"};
  std::set<std::string> keys;
  for (const Listed& s : listed) {
    keys.insert(s.section + " " + s.name);
    EXPECT_FALSE(s.description.empty()) << s.section << " " << s.name << " has no line in the catalogue";
    EXPECT_TRUE(groups.count(s.group)) << s.section << " " << s.name << ": group " << s.group;
    EXPECT_TRUE(inputs.count(s.input)) << s.section << " " << s.name << ": input " << s.input;
  }
  // A catalogue line whose setting was renamed or removed is noticed too.
  std::istringstream catalogue(read(sourceDir() / "src" / "cli" / "data" / "settings_catalogue.tsv"));
  for (std::string line; std::getline(catalogue, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::string section = line.substr(0, line.find('\t'));
    std::string rest = line.substr(section.size() + 1);
    std::string name = rest.substr(0, rest.find('\t'));
    EXPECT_TRUE(keys.count(section + " " + name)) << "the catalogue describes an unknown setting: " << line;
  }
}

TEST_F(SettingsTest, DescribeAndSectionListings) {
  struct Case {
    std::vector<std::string> args;
    int code;
    std::vector<std::string> out;  // expected in stdout
    std::string err;               // expected in stderr
  };
  const std::vector<Case> cases = {
      {{"settings", "--describe", "FldHtmlTag"},
       0,
       {"FldHtmlTag (Field setting)", "Control that edits the field", "one of TEXT, TEXTAREA", "Group:    edit",
        "tarnwick set PROJECT TABLE FIELD FldHtmlTag=VALUE"},
       ""},
      // Letter case does not matter; a user default shows where it is changed.
      {{"settings", "--describe", "recperpage"},
       0,
       {"RecPerPage (Project setting)", "Default:  \"20\"", "tarnwick config set Project RecPerPage VALUE"},
       ""},
      {{"settings", "Table", "--describe", "TblSrchType"}, 0, {"one of NONE, BASIC, ADVANCED or BOTH", "search"}, ""},
      // Settings that are not kept in the project file say so.
      {{"settings", "--describe", "FldVar"}, 0, {"Kept in:  nowhere"}, ""},
      {{"settings", "Chart"}, 0, {"Chart settings", "ChartType", "Kind of chart"}, ""},
      {{"settings", "--describe", "FldHtmlTagg"}, 2, {}, "unknown setting \"FldHtmlTagg\"; did you mean FldHtmlTag"},
      {{"settings", "Table", "--describe", "FldHtmlTag"}, 2, {}, "unknown setting \"FldHtmlTag\" in Table"},
      {{"settings", "Feld"}, 2, {}, "unknown section \"Feld\"; did you mean Field"},
  };
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.code, c.code) << ::testing::PrintToString(c.args) << "\n" << r;
    for (const std::string& text : c.out) EXPECT_THAT(r.out, HasSubstr(text)) << ::testing::PrintToString(c.args);
    if (!c.err.empty()) {
      EXPECT_THAT(r.err, HasSubstr(c.err)) << ::testing::PrintToString(c.args);
    }
  }
}

TEST_F(SettingsTest, SettingsTheTemplateDoesNotReadAreMarked) {
  // A template whose pages read FldBold but not FldItalic; the engine reads
  // Template itself whatever the template does.
  fs::path templ = makeTemplateFolder("tmpl", {{"control.xml", "<control id=\"x\"/>"},
                                               {"page.php", "<!--##=FIELD.FldBold##--> <!--##=TABLE.TblCaption##-->"}});
  struct Case {
    std::string name;
    std::string used;
  };
  const std::vector<Case> cases = {
      {"FldBold", "template"}, {"TblCaption", "template"}, {"FldItalic", "unused"}, {"TblRowSum", "unused"},
      {"TblOverwrite", "engine"}, {"AutoSync", "engine"},
  };
  RunResult r = run({"settings", "--template", templ.string(), "--json"});
  ASSERT_EQ(r.code, 0) << r;
  std::map<std::string, std::string> used;
  for (const Listed& s : parseListing(r.out)) used[s.name] = s.used;
  for (const Case& c : cases) EXPECT_EQ(used[c.name], c.used) << c.name;

  // The listing marks the unused ones, --unused lists only them, and a
  // project's template is the one looked in.
  RunResult all = run({"settings", "Field", "--template", templ.string()});
  ASSERT_EQ(all.code, 0) << all;
  EXPECT_THAT(all.out, HasSubstr("- FldItalic"));
  EXPECT_THAT(all.out, Not(HasSubstr("- FldBold")));
  fs::path project = newShop();
  ASSERT_EQ(run({"set", project.string(), "Template=" + templ.string()}).code, 0);
  RunResult unused = run({"settings", "Field", "--project", project.string(), "--unused"});
  ASSERT_EQ(unused.code, 0) << unused;
  EXPECT_THAT(unused.out, HasSubstr("FldItalic"));
  EXPECT_THAT(unused.out, Not(HasSubstr("FldBold")));
  EXPECT_THAT(unused.out, Not(HasSubstr("FldName")));

  RunResult missing = run({"settings", "--template", (dir() / "nothing").string()});
  EXPECT_EQ(missing.code, 1) << missing;
  EXPECT_THAT(missing.err, HasSubstr("no such template archive or folder"));
}

}  // namespace
}  // namespace tw::testing
