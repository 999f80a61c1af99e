// The template author's guide (doc/template-guide.md) says what the program
// does: its helper function section is the one the program writes from the
// system code, its worked example is built from the guide's own blocks and
// generates what the guide shows, and every result it states for a script
// expression is what a page gets.
#include <gmock/gmock.h>

#include <algorithm>
#include <sstream>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

const char* const kSectionBegin =
    "<!-- helper functions: generated from the system code by `tarnwick template helpers --guide FILE`; "
    "do not edit by hand -->\n";
const char* const kSectionEnd = "<!-- end of the generated helper functions -->";

// A fenced block of the guide: its info string ("xml file=cards/control.xml")
// and its text.
struct Fence {
  std::string info;
  std::string text;
  int line = 0;
};

std::vector<Fence> fences(const std::string& markdown) {
  std::vector<Fence> out;
  std::istringstream in(markdown);
  std::string line;
  int number = 0;
  Fence* open = nullptr;
  while (std::getline(in, line)) {
    ++number;
    if (line.rfind("```", 0) == 0) {
      if (open) {
        open = nullptr;
      } else {
        out.push_back({line.substr(3), "", number});
        open = &out.back();
      }
    } else if (open) {
      open->text += line + "\n";
    }
  }
  return out;
}

// The value of word NAME=VALUE in an info string; "" when it has none.
std::string infoValue(const std::string& info, const std::string& name) {
  std::istringstream words(info);
  for (std::string w; words >> w;)
    if (w.rfind(name + "=", 0) == 0) return w.substr(name.size() + 1);
  return "";
}

bool hasWord(const std::string& info, const std::string& word) {
  std::istringstream words(info);
  for (std::string w; words >> w;)
    if (w == word) return true;
  return false;
}

std::string withoutCr(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

class TemplateGuideTest : public CliTest {
 protected:
  static fs::path guide() { return sourceDir() / "doc" / "template-guide.md"; }

  // Writes the worked example's files and runs its commands, as a reader
  // would, in work().
  void buildWorkedExample(const std::vector<Fence>& blocks) {
    size_t files = 0, commands = 0;
    for (const Fence& f : blocks) {
      if (std::string file = infoValue(f.info, "file"); !file.empty()) {
        write(work() / file, f.text);
        ++files;
      }
    }
    for (const Fence& f : blocks) {
      if (!hasWord(f.info, "worked-example")) continue;
      std::istringstream lines(f.text);
      for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        RunResult r = runProgram({"bash", "-c", line});
        ASSERT_EQ(r.code, 0) << "guide line " << f.line << ": " << line << "\n" << r;
        // The one warning a reader sees is the one the open application earns.
        if (line.find("--no-login") == std::string::npos) {
          EXPECT_EQ(r.err.find("warning: "), std::string::npos) << line << "\n" << r;
        }
        ++commands;
      }
    }
    ASSERT_GE(files, 8u) << "the worked example lost its file blocks (```LANG file=NAME)";
    ASSERT_GE(commands, 4u) << "the worked example lost its commands (```sh worked-example)";
  }
};

TEST_F(TemplateGuideTest, WorkedExampleGeneratesWhatTheGuideShows) {
  std::vector<Fence> blocks = fences(read(guide()));
  buildWorkedExample(blocks);
  size_t outputs = 0;
  for (const Fence& f : blocks) {
    std::string file = infoValue(f.info, "output");
    if (file.empty()) continue;
    ++outputs;
    ASSERT_TRUE(fs::exists(work() / file)) << "guide line " << f.line << ": " << file << " was not generated";
    std::string page = withoutCr(read(work() / file));
    EXPECT_NE(page.find(f.text), std::string::npos)
        << "guide line " << f.line << ": " << file << " is not what the guide shows; it is\n" << page;
  }
  EXPECT_GE(outputs, 3u) << "the worked example lost its output blocks (```html output=PATH)";
  EXPECT_EQ(read(work() / "site" / "cards.css"), read(work() / "cards" / "cards.css"));
}

TEST_F(TemplateGuideTest, StatedResultsAreWhatAPageGets) {
  // Every line EXPRESSION => TEXT of a ```vbscript results block, helper
  // section included, is written by a page of the worked example's project.
  std::vector<Fence> blocks = fences(read(guide()));
  buildWorkedExample(blocks);
  struct Stated {
    std::string expression, result;
    int line;
  };
  std::vector<Stated> stated;
  for (const Fence& f : blocks) {
    if (!hasWord(f.info, "results")) continue;
    std::istringstream lines(f.text);
    for (std::string line; std::getline(lines, line);) {
      size_t arrow = line.find(" =>");
      ASSERT_NE(arrow, std::string::npos) << "guide line " << f.line << ": no EXPRESSION => TEXT: " << line;
      std::string result = line.substr(arrow + 3);
      if (!result.empty() && result[0] == ' ') result.erase(0, 1);
      stated.push_back({line.substr(0, arrow), result, f.line});
    }
  }
  ASSERT_GE(stated.size(), 30u);

  std::string probe;
  for (size_t i = 0; i < stated.size(); ++i)
    probe += "[[" + std::to_string(i) + "]]<!--##=" + stated[i].expression + "##-->\n";
  probe += "[[end]]\n";
  fs::copy(work() / "cards", work() / "probe", fs::copy_options::recursive);
  write(work() / "probe" / "probe.txt", probe);
  std::string control = read(work() / "probe" / "control.xml");
  size_t end = control.find("</TarnwickTemplate>");
  ASSERT_NE(end, std::string::npos);
  control.insert(end, "  <control id=\"probe\" type=\"other\" ofile=\"probe\" oext=\"txt\" ifiles=\"probe.txt\" "
                      "space=\"false\"/>\n");
  write(work() / "probe" / "control.xml", control);
  RunResult r = run({"set", "shop.xml", "Template=probe"});
  ASSERT_EQ(r.code, 0) << r;
  r = run({"generate", "shop.xml", "--overwrite", "all"});
  ASSERT_EQ(r.code, 0) << r;

  std::string out = withoutCr(read(work() / "site" / "probe.txt"));
  for (size_t i = 0; i < stated.size(); ++i) {
    std::string mark = "[[" + std::to_string(i) + "]]";
    std::string next = i + 1 < stated.size() ? "[[" + std::to_string(i + 1) + "]]" : "[[end]]";
    size_t from = out.find(mark), to = out.find(next);
    ASSERT_TRUE(from != std::string::npos && to != std::string::npos) << out;
    std::string got = out.substr(from + mark.size(), to - from - mark.size());
    if (!got.empty() && got.back() == '\n') got.pop_back();
    EXPECT_EQ(got, stated[i].result) << "guide line " << stated[i].line << ": " << stated[i].expression;
  }
}

TEST_F(TemplateGuideTest, HelperSectionIsWhatTheSystemCodeSays) {
  std::string text = read(guide());
  size_t begin = text.find(kSectionBegin);
  size_t end = text.find(kSectionEnd);
  ASSERT_NE(begin, std::string::npos) << "the guide lost its helper section's first marker line";
  ASSERT_NE(end, std::string::npos) << "the guide lost its helper section's last marker line";
  begin += std::string(kSectionBegin).size();
  RunResult r = run({"template", "helpers", "--markdown"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_TRUE(text.substr(begin, end - begin) == r.out + "\n")
      << "doc/template-guide.md differs from the comments of src/script/syscode/system.vbs; refresh it with\n"
         "  build/bin/tarnwick template helpers --guide doc/template-guide.md";
}

TEST_F(TemplateGuideTest, HelpersCommandWritesTheGuideSectionAndDescribesOne) {
  fs::path copy = work() / "guide.md";
  write(copy, std::string("# Mine\n\n") + kSectionBegin + "stale\n" + kSectionEnd + "\n\nAfter.\n");
  RunResult r = run({"template", "helpers", "--guide", copy.string()});
  ASSERT_EQ(r.code, 0) << r;
  RunResult md = run({"template", "helpers", "--markdown"});
  EXPECT_EQ(read(copy), std::string("# Mine\n\n") + kSectionBegin + md.out + "\n" + kSectionEnd + "\n\nAfter.\n");
  r = run({"template", "helpers", "--guide", copy.string()});
  EXPECT_THAT(r.out, ::testing::HasSubstr("up to date")) << r;

  write(copy, "# No markers\n");
  r = run({"template", "helpers", "--guide", copy.string()});
  EXPECT_NE(r.code, 0) << r;
  EXPECT_EQ(read(copy), "# No markers\n");

  r = run({"template", "helpers", "phpstring"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, ::testing::StartsWith("Function PhpString(text)\n"));
  EXPECT_THAT(r.out, ::testing::HasSubstr("PhpString(\"it's C:\\\") => 'it\\'s C:\\\\'"));
  r = run({"template", "helpers", "PhpStrin"});
  EXPECT_NE(r.code, 0);
  EXPECT_THAT(r.err, ::testing::HasSubstr("PhpString")) << r;  // the suggestion
}

}  // namespace
}  // namespace tw::testing
