// The helper reference read from a system code text: which procedures it
// lists, what it takes as their description and examples, and the guide
// section it fills.
#include <gtest/gtest.h>

#include "script/agscript.h"
#include "script/helper_reference.h"

namespace tw::testing {
namespace {

struct ReadCase {
  const char* what;
  const char* code;
  std::vector<std::string> names;     // helpers found, in order
  std::vector<std::string> firstText;  // paragraphs of the first helper
  std::vector<std::string> firstExamples;
  std::string firstGroup;
};

TEST(HelperReferenceTest, ReadsProceduresWithTheCommentRightAboveThem) {
  const std::vector<ReadCase> cases = {
      {"one line comment", "' Adds one.\nFunction Inc(n)\n  Inc = n + 1\nEnd Function\n", {"Inc"}, {"Adds one."}, {}, ""},
      {"lines joined into a paragraph, blank comment line parts them",
       "' First line\n' goes on.\n'\n' Second.\nFunction F(a, b)\nEnd Function\n",
       {"F"},
       {"First line goes on.", "Second."},
       {},
       ""},
      {"indented lines are examples", "' Doubles.\n'   Twice(2) => 4\n'   Twice(0) =>\nFunction Twice(n)\nEnd Function\n",
       {"Twice"}, {"Doubles."}, {"Twice(2) => 4", "Twice(0) =>"}, ""},
      {"a blank line cuts the comment off", "' Not mine.\n\nFunction G()\nEnd Function\n", {"G"}, {}, {}, ""},
      {"Dim lines between comment and procedure cut it off", "' About x.\nDim x\nFunction H()\nEnd Function\n",
       {"H"}, {}, {}, ""},
      {"Sub and Public Function count, Private and indented ones do not",
       "Private Function P()\nEnd Function\n  Function Inner()\nEnd Function\n' S.\nSub S()\nEnd Sub\n"
       "Public Function Q(x)\nEnd Function\nDim Function_x\n",
       {"S", "Q"}, {"S."}, {}, ""},
      {"a divider opens a section titled by its first sentence",
       "' ---------\n' Output names. Pages link to each other.\n\n' Name.\nFunction N()\nEnd Function\n",
       {"N"}, {"Name."}, {}, "Output names"},
      {"CR LF line ends", "' Crlf.\r\nFunction C()\r\nEnd Function\r\n", {"C"}, {"Crlf."}, {}, ""},
  };
  for (const ReadCase& c : cases) {
    HelperReference ref = readHelperReference(c.code);
    std::vector<std::string> names;
    for (const HelperDoc& h : ref.helpers) names.push_back(h.name);
    EXPECT_EQ(names, c.names) << c.what;
    if (ref.helpers.empty()) continue;
    EXPECT_EQ(ref.helpers[0].text, c.firstText) << c.what;
    EXPECT_EQ(ref.helpers[0].examples, c.firstExamples) << c.what;
    EXPECT_EQ(ref.helpers[0].group, c.firstGroup) << c.what;
  }
}

TEST(HelperReferenceTest, ExamplesWithAResultGoIntoResultBlocks) {
  HelperReference ref = readHelperReference(
      "' Doubles.\n'   Twice(2) => 4\n'   Twice(x) for any number x\nFunction Twice(n)\nEnd Function\n"
      "' Quits.\nSub Stop()\nEnd Sub\n");
  std::string md = helperReferenceMarkdown(ref);
  EXPECT_NE(md.find("defines 2 helpers"), std::string::npos) << md;
  EXPECT_NE(md.find("#### `Twice(n)`\n\nDoubles.\n\n```vbscript results\nTwice(2) => 4\n```\n\n```vbscript\n"
                    "Twice(x) for any number x\n```\n"),
            std::string::npos)
      << md;
  EXPECT_NE(md.find("#### `Stop()` (Sub)\n\nQuits.\n"), std::string::npos) << md;
}

TEST(HelperReferenceTest, GuideSectionReplacedBetweenItsMarkers) {
  const std::string begin(kHelperSectionBegin), end(kHelperSectionEnd);
  std::string guide = "# Guide\n" + begin + "\nold text\n" + end + "\nafter\n";
  std::string error;
  ASSERT_TRUE(replaceHelperSection(guide, "new text\n", error)) << error;
  EXPECT_EQ(guide, "# Guide\n" + begin + "\nnew text\n\n" + end + "\nafter\n");
  EXPECT_EQ(helperSectionOf(guide), "\nnew text\n\n");

  for (std::string broken : {std::string("no markers"), end + "\n" + begin + "\n", begin + "\n"}) {
    std::string before = broken;
    EXPECT_FALSE(replaceHelperSection(broken, "x", error)) << before;
    EXPECT_EQ(broken, before);
    EXPECT_EQ(helperSectionOf(broken), "") << before;
  }
}

TEST(HelperReferenceTest, EveryHelperOfTheSystemCodeIsDescribed) {
  HelperReference ref = readHelperReference(builtinSystemCode());
  EXPECT_GE(ref.helpers.size(), 60u);
  for (const HelperDoc& h : ref.helpers) {
    size_t words = 0;
    for (const std::string& p : h.text)
      for (size_t i = 0; i < p.size(); ++i)
        if (p[i] != ' ' && (i == 0 || p[i - 1] == ' ')) ++words;
    EXPECT_GE(words, 4u) << h.name << " (system.vbs line " << h.line << ") needs a comment above it that says what it does";
    EXPECT_FALSE(h.group.empty()) << h.name << " stands before the first section of the system code";
  }
}

}  // namespace
}  // namespace tw::testing
