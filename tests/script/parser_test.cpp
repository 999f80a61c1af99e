// AGParser: block positions and kinds, syntax errors with their line and
// column, indentation of "~" blocks, declared function names, sessions and
// include expansion from the template folder.
#include "script/parser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/engine_context.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

struct Block {
  int32_t type;
  std::string name;
  int32_t start;
  int32_t length;
  std::string value;
  std::string indent;
  bool operator==(const Block&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Block& b) {
  return os << "{" << b.type << ", '" << b.name << "', " << b.start << ", " << b.length << ", '" << b.value
            << "', '" << b.indent << "'}";
}

// Reads the list the way callers do: BlockID 1..Count and the properties.
std::vector<Block> blocksOf(AGParser& p) {
  std::vector<Block> out;
  for (int32_t i = 1; i <= p.Count(); ++i) {
    p.setBlockID(i);
    const BlockRec& rec = p.blocks()[i - 1];
    out.push_back({p.BlockType(), p.BlockName(), rec.Start, rec.Length, p.BlockValue(), p.BlockIndent()});
  }
  return out;
}

class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { resetEngine(); }
  void TearDown() override { resetEngine(); }
  std::vector<Block> parse(std::string_view text) {
    parser_.Parse(text);
    return blocksOf(parser_);
  }
  AGParser parser_;
};

TEST_F(ParserTest, EmptyTextAndPlainText) {
  EXPECT_TRUE(parse("").empty());
  EXPECT_EQ(parser_.Count(), 0);
  EXPECT_EQ(parse("just <b>text</b>"),
            (std::vector<Block>{{agc_Block_Content, "", 1, 16, "just <b>text</b>", ""}}));
  EXPECT_EQ(engine().projErr, "");
}

TEST_F(ParserTest, ExpressionBetweenContent) {
  EXPECT_EQ(parse("abc<!--##=x##-->def"), (std::vector<Block>{
                                              {agc_Block_Content, "", 1, 3, "abc", ""},
                                              {agc_Block_Function, "x", 11, 1, "x", ""},
                                              {agc_Block_Content, "", 17, 3, "def", ""},
                                          }));
}

TEST_F(ParserTest, TheCharacterAfterTheMarkerGivesTheKind) {
  auto blocks = parse("<!--##= a ##--><!--##~ b##--><!--##@c ##--><!--##$ d##--><!--## code ##-->");
  ASSERT_EQ(blocks.size(), 5u);
  EXPECT_EQ(blocks[0], (Block{agc_Block_Function, "a", 8, 3, " a ", ""}));
  EXPECT_EQ(blocks[1], (Block{agc_Block_FunctionIndent, "b", 23, 2, " b", ""}));
  EXPECT_EQ(blocks[2], (Block{agc_Block_Language, "c", 37, 2, "c ", ""}));
  EXPECT_EQ(blocks[3], (Block{agc_Block_LanguageDynamic, "d", 51, 2, " d", ""}));
  EXPECT_EQ(blocks[4], (Block{agc_Block_Script, "", 64, 6, " code ", ""}));
  EXPECT_EQ(blocks[4].value, " code ");
}

TEST_F(ParserTest, BlankAfterTheMarkerMakesAScriptBlock) {
  EXPECT_EQ(parse("<!--## =x##-->"), (std::vector<Block>{{agc_Block_Script, "", 7, 3, " =x", ""}}));
}

TEST_F(ParserTest, EmptyBlocksAndTrailingContent) {
  // Back to back blocks produce no empty content between them.
  EXPECT_EQ(parse("<!--##=##--><!--####-->tail"), (std::vector<Block>{
                                                      {agc_Block_Function, "", 8, 0, "", ""},
                                                      {agc_Block_Script, "", 19, 0, "", ""},
                                                      {agc_Block_Content, "", 24, 4, "tail", ""},
                                                  }));
}

TEST_F(ParserTest, PositionsCountCharactersNotBytes) {
  // "é" and "€" are one character each although they take two and three bytes.
  auto blocks = parse("\xC3\xA9\xE2\x82\xAC<!--##=\xC3\xA9x##-->\xE2\x82\xAC!");
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[0], (Block{agc_Block_Content, "", 1, 2, "\xC3\xA9\xE2\x82\xAC", ""}));
  EXPECT_EQ(blocks[1], (Block{agc_Block_Function, "\xC3\xA9x", 10, 2, "\xC3\xA9x", ""}));
  EXPECT_EQ(blocks[2], (Block{agc_Block_Content, "", 17, 2, "\xE2\x82\xAC!", ""}));
}

TEST_F(ParserTest, IndentOfTildeBlocks) {
  auto blocks = parse("<?php\r\n    <!--##~x##-->\r\n\t \t<!--##~y##--><!--##~z##-->\r\nab  <!--##~w##-->");
  ASSERT_EQ(blocks.size(), 7u);
  EXPECT_EQ(blocks[1].type, agc_Block_FunctionIndent);
  EXPECT_EQ(blocks[1].indent, "    ");
  EXPECT_EQ(blocks[3].indent, "\t \t");
  // Right after another block: no content in front, no indentation.
  EXPECT_EQ(blocks[4].name, "z");
  EXPECT_EQ(blocks[4].indent, "");
  // Blanks after text on the same line are the indentation all the same.
  EXPECT_EQ(blocks[6].indent, "  ");
  // Other kinds never carry one.
  EXPECT_EQ(parse("    <!--##=x##-->")[1].indent, "");
}

TEST_F(ParserTest, GetIndentTakesTheTrailingBlanksAndTabs) {
  EXPECT_EQ(AGParser::GetIndent("line\r\n  \t "), "  \t ");
  EXPECT_EQ(AGParser::GetIndent("  \t"), "  \t");
  EXPECT_EQ(AGParser::GetIndent("abc"), "");
  EXPECT_EQ(AGParser::GetIndent("abc\r\n"), "");
  EXPECT_EQ(AGParser::GetIndent(""), "");
}

TEST_F(ParserTest, NestedBlocksStopWithLineAndColumn) {
  auto blocks = parse("<!--##=a <!--##=b##-->");
  EXPECT_TRUE(blocks.empty());
  EXPECT_EQ(engine().projErr, "***Nested Blocks found at line 1 column 10! Generation failed!");
}

TEST_F(ParserTest, IncompleteBlockStopsWithLineAndColumn) {
  EXPECT_EQ(parse("x<!--##=a"), (std::vector<Block>{{agc_Block_Content, "", 1, 1, "x", ""}}));
  EXPECT_EQ(engine().projErr, "***Incomplete Block at line 1 column 2! Generation failed!");
}

TEST_F(ParserTest, BlocksBeforeAnErrorStay) {
  auto blocks = parse("a\r\n<!--##=b##-->c\r\n  xy<!--##=d <!--##=e##-->");
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[2].value, "c\r\n  xy");
  EXPECT_EQ(engine().projErr, "***Nested Blocks found at line 3 column 14! Generation failed!");
  EXPECT_EQ(parser_.BlockID(), 3);
}

TEST_F(ParserTest, LinesEndAtCrLfOrABareLineFeed) {
  parse("ab\ncd<!--##");
  EXPECT_EQ(engine().projErr, "***Incomplete Block at line 2 column 3! Generation failed!");
  resetEngine();
  // A bare carriage return does not end a line; the column counts it.
  parse("ab\r\ncd\r<!--##");
  EXPECT_EQ(engine().projErr, "***Incomplete Block at line 2 column 4! Generation failed!");
  resetEngine();
  parse("\r\n\r\n\xC3\xA9\xC3\xA9<!--##=x");
  EXPECT_EQ(engine().projErr, "***Incomplete Block at line 3 column 3! Generation failed!");
}

TEST_F(ParserTest, ClosingMarkerOverlappingTheOpeningOneIsIncomplete) {
  for (const char* text : {"<!--##-->", "<!--###-->", "ok<!--##-->"}) {
    resetEngine();
    parser_.Parse(text);
    std::string expected = std::string("***Incomplete Block at line 1 column ") +
                           (text[0] == 'o' ? "3" : "1") + "! Generation failed!";
    EXPECT_EQ(engine().projErr, expected) << text;
    for (const auto& block : blocksOf(parser_)) EXPECT_GE(block.length, 0) << text;
  }
}

TEST_F(ParserTest, CurrentBlockIndex) {
  parse("a<!--##=b##-->c");
  EXPECT_EQ(parser_.Count(), 3);
  EXPECT_EQ(parser_.BlockID(), 3);  // the last block after Parse
  EXPECT_EQ(parser_.BlockValue(), "c");
  parser_.setBlockID(2);
  EXPECT_EQ(parser_.BlockValue(), "b");
  parser_.setBlockID(0);
  EXPECT_EQ(parser_.BlockID(), 2);
  parser_.setBlockID(4);
  EXPECT_EQ(parser_.BlockID(), 2);
  EXPECT_EQ(parser_.BlockType(), agc_Block_Function);

  // A new Parse replaces the list; with no blocks the properties are empty.
  parse("");
  EXPECT_EQ(parser_.Count(), 0);
  EXPECT_EQ(parser_.BlockType(), 0);
  EXPECT_EQ(parser_.BlockName(), "");
  EXPECT_EQ(parser_.BlockValue(), "");
  EXPECT_EQ(parser_.BlockIndent(), "");
  parser_.setBlockID(1);
  EXPECT_EQ(parser_.BlockType(), 0);
}

TEST(GetFunctionName, DeclarationAtTheStartOfALine) {
  EXPECT_EQ(AGParser::GetFunctionName("\r\nFunction MyFunc (a)\r\n  x = a\r\nEnd Function\r\n"), "MyFunc");
  EXPECT_EQ(AGParser::GetFunctionName("function lower(a)"), "lower");
  EXPECT_EQ(AGParser::GetFunctionName("x = 1\r\n    FUNCTION Indented(a, b)"), "Indented");
}

TEST(GetFunctionName, QualifiedDeclarationsGiveNoName) {
  EXPECT_EQ(AGParser::GetFunctionName("Public Function MyFunc(a)"), "");
  EXPECT_EQ(AGParser::GetFunctionName("Private Function MyFunc(a)"), "");
}

TEST(GetFunctionName, CommentsAndLongerWordsAreSkipped) {
  EXPECT_EQ(AGParser::GetFunctionName("Function Real(a)\r\nEnd Function\r\n' Function x("), "Real");
  EXPECT_EQ(AGParser::GetFunctionName("Function Real(a)\r\n   '  Function x(y)"), "Real");
  EXPECT_EQ(AGParser::GetFunctionName("Function Real(a)\r\n  y = CallFunction (2)"), "Real");
  EXPECT_EQ(AGParser::GetFunctionName("' Function x(a)"), "");
  EXPECT_EQ(AGParser::GetFunctionName("y = MyFunction (1)"), "");
}

TEST(GetFunctionName, WithoutParenthesisOrDeclaration) {
  EXPECT_EQ(AGParser::GetFunctionName("Function NoParens\r\n"), "");
  EXPECT_EQ(AGParser::GetFunctionName("Functions(a)"), "");
  EXPECT_EQ(AGParser::GetFunctionName("x = 1"), "");
  EXPECT_EQ(AGParser::GetFunctionName(""), "");
  // A tab in front counts as text, not as indentation.
  EXPECT_EQ(AGParser::GetFunctionName("\tFunction Tabbed(a)"), "");
  // The word must be followed by a blank.
  EXPECT_EQ(AGParser::GetFunctionName("Function\tName(a)"), "");
}

TEST_F(ParserTest, ScriptBlocksCarryTheirFunctionName) {
  auto blocks = parse("<!--##\r\nFunction MyFunc (a)\r\nEnd Function\r\n##--><!--##=Function x(##-->");
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].name, "MyFunc");
  // Expression blocks are named by their text, never by a declaration.
  EXPECT_EQ(blocks[1].name, "Function x(");
}

// ---- Sessions and includes

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetEngine();
    const char* root = std::getenv("TARNWICK_TEST_ROOT");
    ASSERT_NE(root, nullptr);
    folder_ = fs::path(root) / "parser" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    std::string win = folder_.string();
    for (char& c : win)
      if (c == '/') c = '\\';
    engine().templateFolder = win;
  }
  void TearDown() override { resetEngine(); }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name, std::ios::binary) << text;
  }
  fs::path folder_;
};

TEST_F(SessionTest, SessionsMatchIgnoringCaseAndBlanks) {
  const std::string src =
      "x<!--##session other##-->O<!--##/session##-->"
      "<!--##session  Header ##-->H1<!--##/session##-->"
      "<!--##SESSION header##-->H2<!--##/SESSION##-->";
  EXPECT_EQ(AGParser::GetSession(src, "header"), "H1");
  EXPECT_EQ(AGParser::GetSession(src, "HEADER"), "H1");
  EXPECT_EQ(AGParser::GetSession(src, "Other"), "O");
  EXPECT_EQ(AGParser::GetSession(src, "missing"), "");
  EXPECT_EQ(engine().projErr, "");
}

TEST_F(SessionTest, UnfinishedSessionsGiveNothing) {
  EXPECT_EQ(AGParser::GetSession("<!--##session a##-->text", "a"), "");
  EXPECT_EQ(AGParser::GetSession("<!--##session a", "a"), "");
  // A tag's identifier runs up to the next "##-->", swallowing a second tag.
  EXPECT_EQ(AGParser::GetSession("<!--##session a<!--##session b##-->B<!--##/session##-->", "b"), "");
  EXPECT_EQ(AGParser::GetSession("", "a"), "");
}

TEST_F(SessionTest, SessionContentKeepsBlocks) {
  const std::string src = "<!--##session s##-->\r\n<?php <!--##=x##--> ?>\r\n<!--##/session##-->";
  EXPECT_EQ(AGParser::GetSession(src, "s"), "\r\n<?php <!--##=x##--> ?>\r\n");
}

TEST_F(SessionTest, GetSessionLeavesTheBlockListAlone) {
  AGParser parser;
  parser.Parse("a<!--##=b##-->");
  EXPECT_EQ(parser.GetSession("<!--##session s##-->z<!--##/session##-->", "s"), "z");
  EXPECT_EQ(parser.Count(), 2);
  EXPECT_EQ(parser.BlockValue(), "b");
}

TEST_F(SessionTest, IncludesAreExpandedRecursively) {
  write("common.php",
        "<!--##session header##-->[head <!--##include inner.php / deep ##-->]<!--##/session##-->");
  write("inner.php", "<!--##session deep##-->deep<!--##/session##-->");
  const std::string src = "<!--##session page##-->A<!--##include common.php/header##-->B<!--##/session##-->";
  EXPECT_EQ(AGParser::GetSession(src, "page"), "A[head deep]B");
  EXPECT_EQ(engine().projErr, "");
}

TEST_F(SessionTest, IncludeFileNamesIgnoreLetterCase) {
  write("Common.php", "<!--##session Header##-->H<!--##/session##-->");
  EXPECT_EQ(AGParser::ExpandIncludes("<!--##INCLUDE COMMON.PHP/header##-->!"), "H!");
}

TEST_F(SessionTest, BadIncludesAreDropped) {
  write("a.php", "<!--##session s##-->S<!--##/session##-->");
  EXPECT_EQ(AGParser::ExpandIncludes("1<!--##include missing.php/s##-->2"), "12");
  EXPECT_EQ(AGParser::ExpandIncludes("1<!--##include a.php##-->2"), "12");
  EXPECT_EQ(AGParser::ExpandIncludes("1<!--##include a.php/s/t##-->2"), "12");
  EXPECT_EQ(AGParser::ExpandIncludes("1<!--##include a.php/none##-->2"), "12");
  EXPECT_EQ(AGParser::ExpandIncludes("1<!--##include a.php/s##-->2<!--##include a.php/s##-->"), "1S2S");
  EXPECT_EQ(engine().projErr, "");
}

TEST_F(SessionTest, UnterminatedIncludeIsKeptAsWritten) {
  write("a.php", "<!--##session s##-->S<!--##/session##-->");
  EXPECT_EQ(AGParser::ExpandIncludes("x<!--##include a.php/s##-->y<!--##include a.php/s"),
            "xSy<!--##include a.php/s");
}

TEST_F(SessionTest, IncludeCycleStopsWithAMessage) {
  write("a.php", "<!--##session s##-->a<!--##include b.php/t##--><!--##/session##-->");
  write("b.php", "<!--##session t##-->b<!--##include a.php/s##--><!--##/session##-->");
  std::string out = AGParser::ExpandIncludes("<!--##include a.php/s##-->");
  // Sixteen levels are followed, then the seventeenth include stops.
  EXPECT_EQ(out, "abababababababab");
  const std::string& err = engine().projErr;
  EXPECT_EQ(err.rfind(engine().productName + ": ", 0), 0u) << err;
  // The include that was not followed: a.php includes b.php, b.php a.php.
  EXPECT_NE(err.find("\"a.php\""), std::string::npos) << err;
  EXPECT_NE(err.find("\"s\""), std::string::npos) << err;
  EXPECT_NE(err.find("16"), std::string::npos) << err;
}

TEST_F(SessionTest, SixteenNestedIncludesAreFollowed) {
  // f1 includes f2 ... f15 includes f16: sixteen levels below the top text.
  for (int i = 1; i <= 17; ++i) {
    std::string next = i < 17 ? "<!--##include f" + std::to_string(i + 1) + ".php/s##-->" : "";
    write("f" + std::to_string(i) + ".php",
          "<!--##session s##-->" + std::to_string(i) + "." + next + "<!--##/session##-->");
  }
  // Starting at f2 the chain f2..f17 is sixteen levels deep.
  EXPECT_EQ(AGParser::ExpandIncludes("<!--##include f2.php/s##-->"),
            "2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17.");
  EXPECT_EQ(engine().projErr, "");
  // Starting at f1 it is seventeen: the last one is not followed.
  EXPECT_EQ(AGParser::ExpandIncludes("<!--##include f1.php/s##-->"),
            "1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.");
  EXPECT_NE(engine().projErr.find("\"f17.php\""), std::string::npos) << engine().projErr;
}

// ---- Reached by name from scripts

TEST_F(ParserTest, MembersAreReachedByNameInAnyCase) {
  Ref<AGParser> p = makeRef<AGParser>();
  p->call("parse", {Variant("a<!--##@Title##-->")});
  EXPECT_EQ(p->get("COUNT").toLong(), 2);
  EXPECT_EQ(p->get("BlockType").toLong(), agc_Block_Language);
  p->put("blockid", Variant(1));
  EXPECT_EQ(p->get("BlockID").toLong(), 1);
  EXPECT_EQ(p->get("blockvalue").toString(), "a");
  p->put("BlockID", Variant(9));
  EXPECT_EQ(p->get("BlockID").toLong(), 1);
  p->put("BlockID", Variant(2));
  EXPECT_EQ(p->get("BlockName").toString(), "Title");
  EXPECT_EQ(p->get("BlockIndent").toString(), "");
  EXPECT_EQ(
      p->call("GetSession", {Variant("<!--##session X##-->y<!--##/session##-->"), Variant("x")}).toString(),
      "y");
  EXPECT_THROW(p->call("GetSession", {Variant("only one")}), Error);
}

}  // namespace
}  // namespace tw
