// The template author's guide (doc/template-guide.md) says what the program
// does: its helper function section is the one the program writes from the
// system code.
#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

const char* const kSectionBegin =
    "<!-- helper functions: generated from the system code by `tarnwick template helpers --guide FILE`; "
    "do not edit by hand -->\n";
const char* const kSectionEnd = "<!-- end of the generated helper functions -->";

class TemplateGuideTest : public CliTest {
 protected:
  static fs::path guide() { return sourceDir() / "doc" / "template-guide.md"; }
};

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
