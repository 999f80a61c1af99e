// Case-insensitive comparison and the hash that agrees with it: names of
// variables, members and settings are looked up through both. Strict UTF-8
// checking and Windows-1252 decoding, which every reader of outside text
// shares.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "automation/text.h"

namespace tw {
namespace {

struct NoCaseCase {
  std::string a;
  std::string b;
  bool equal;
};

TEST(NoCase, EqualityAndHashAgree) {
  const NoCaseCase cases[] = {
      {"Caption", "caption", true},
      {"CAPTION", "caption", true},
      {"FieldName", "FIELDNAME", true},
      {"Caption", "Captio", false},
      {"Caption", "Captiom", false},
      {"a[", "A{", false},  // '[' and '{' differ by the case bit but are no letters
      {"@", "`", false},
      {"", "", true},
      {"Größe", "GRÖSSE", false},
      {"Größe", "grösse", false},
      {"Ärger", "ärger", true},
      {"xÄrger", "XäRGER", true},
      {"Äa", "äB", false},
      {"abc", "abcd", false},
      {"Ä", "A", false},
  };
  NoCaseHash hash;
  for (const NoCaseCase& c : cases) {
    EXPECT_EQ(equalsNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(equalsNoCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
    if (c.equal) {
      EXPECT_EQ(hash(c.a), hash(c.b)) << c.a << " / " << c.b;
    }
  }
  EXPECT_NE(hash("Caption"), hash("Captiom"));
}

struct Utf8Case {
  std::string bytes;
  size_t length;  // of the sequence at the start; 0 when it is not UTF-8
  char32_t codePoint;
};

TEST(Utf8, SequencesAreCheckedStrictly) {
  const Utf8Case cases[] = {
      {"A", 1, U'A'},
      {std::string(1, '\0'), 1, 0},
      {"\xC3\xA9", 2, 0xE9},
      {"\xE2\x82\xAC", 3, 0x20AC},
      {"\xF0\x9F\x98\x80", 4, 0x1F600},
      {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
      {"\xEF\xBF\xBF", 3, 0xFFFF},  // a noncharacter is still UTF-8
      {"\x80", 0, 0},               // a lone continuation byte
      {"\xC0\xAF", 0, 0},           // overlong "/"
      {"\xC1\xBF", 0, 0},           // overlong
      {"\xE0\x80\xAF", 0, 0},       // overlong in three bytes
      {"\xF0\x80\x80\xAF", 0, 0},   // overlong in four bytes
      {"\xED\xA0\x80", 0, 0},       // a surrogate
      {"\xED\xBF\xBF", 0, 0},       // a surrogate
      {"\xF4\x90\x80\x80", 0, 0},   // past U+10FFFF
      {"\xF5\x80\x80\x80", 0, 0},   // no such lead byte
      {"\xFF", 0, 0},
      {"\xC3", 0, 0},      // cut short
      {"\xE2\x82", 0, 0},  // cut short
      {"\xC3\x28", 0, 0},  // a continuation byte missing
      {"\xE2\x28\xAC", 0, 0},
  };
  for (const Utf8Case& c : cases) {
    char32_t cp = 0xDEAD;
    EXPECT_EQ(utf8SequenceLength(c.bytes, 0, &cp), c.length) << testing::PrintToString(c.bytes);
    if (c.length) {
      EXPECT_EQ(cp, c.codePoint) << testing::PrintToString(c.bytes);
    }
    // The same sequence after other text, and as the whole of a text.
    std::string later = "ab" + c.bytes;
    EXPECT_EQ(utf8SequenceLength(later, 2), c.length) << testing::PrintToString(c.bytes);
    bool whole = c.length == c.bytes.size();
    EXPECT_EQ(isValidUtf8(c.bytes), whole) << testing::PrintToString(c.bytes);
    EXPECT_EQ(isValidUtf8("x" + c.bytes + "y"), whole) << testing::PrintToString(c.bytes);
  }
  EXPECT_TRUE(isValidUtf8(""));
}

TEST(Cp1252, BytesBecomeTheirCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"},
      {"Caf\xE9", "Caf\xC3\xA9"},
      {"\x80 \x9F", "\xE2\x82\xAC \xC5\xB8"},                                // euro sign, Y with diaeresis
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // unassigned: kept
      {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
      {"\xC3\xA9", "\xC3\x83\xC2\xA9"},  // UTF-8 bytes read as Windows-1252
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(decodeCp1252(bytes), text) << testing::PrintToString(bytes);
    EXPECT_TRUE(isValidUtf8(decodeCp1252(bytes)));
  }
}

}  // namespace
}  // namespace tw
