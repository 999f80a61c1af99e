// Case-insensitive comparison and the hash that agrees with it: names of
// variables, members and settings are looked up through both.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace tw
