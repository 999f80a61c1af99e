#include "support/convert.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

TEST(UnquoteStringTest, StripsMatchingQuotesRepeatedly) {
  EXPECT_EQ(UnquoteString("  \"'abc'\"  "), "abc");
  EXPECT_EQ(UnquoteString("\"abc"), "\"abc");  // a quote at the start only
  EXPECT_EQ(UnquoteString("abc'"), "abc'");
  EXPECT_EQ(UnquoteString("\"abc'"), "\"abc'");  // different quote characters
  EXPECT_EQ(UnquoteString("\" ' x ' \""), "x");  // trimmed after each step
  EXPECT_EQ(UnquoteString("\""), "\"");          // too short
  EXPECT_EQ(UnquoteString("\"\""), "");
  EXPECT_EQ(UnquoteString("''''"), "");
  EXPECT_EQ(UnquoteString("a\"b\"c"), "a\"b\"c");
  EXPECT_EQ(UnquoteString("\"a\" \"b\""), "a\" \"b");
  EXPECT_EQ(UnquoteString("   "), "");
}

TEST(ConvertByTypeNameTest, BooleanIntegerLong) {
  Variant t = ConvertByTypeName(Variant("1"), "Boolean");
  EXPECT_EQ(t.type(), vtBoolean);
  EXPECT_TRUE(t.rawBool());
  Variant f = ConvertByTypeName(Variant("0"), "BOOLEAN");
  EXPECT_EQ(f.type(), vtBoolean);
  EXPECT_FALSE(f.rawBool());
  EXPECT_TRUE(ConvertByTypeName(Variant("True"), "boolean").rawBool());
  Variant i = ConvertByTypeName(Variant("42"), "Integer");
  EXPECT_EQ(i.type(), vtInteger);
  EXPECT_EQ(i.rawInteger(), 42);
  Variant l = ConvertByTypeName(Variant::long_(70000), "long");
  EXPECT_EQ(l.type(), vtLong);
  EXPECT_EQ(l.rawLong(), 70000);
}

TEST(ConvertByTypeNameTest, FailuresGiveEmpty) {
  EXPECT_TRUE(ConvertByTypeName(Variant("abc"), "Integer").isEmpty());
  EXPECT_TRUE(ConvertByTypeName(Variant("70000"), "Integer").isEmpty());  // overflow
  EXPECT_TRUE(ConvertByTypeName(Variant("maybe"), "Boolean").isEmpty());
  EXPECT_TRUE(ConvertByTypeName(Variant::null(), "Long").isEmpty());
  EXPECT_TRUE(ConvertByTypeName(Variant::null(), "String").isEmpty());
}

TEST(ConvertByTypeNameTest, MissingValuesBecomeFalseZeroOrEmptyText) {
  Variant b = ConvertByTypeName(Variant(), "Boolean");
  EXPECT_EQ(b.type(), vtBoolean);
  EXPECT_FALSE(b.rawBool());
  Variant i = ConvertByTypeName(Variant(), "Integer");
  EXPECT_EQ(i.type(), vtInteger);
  EXPECT_EQ(i.rawInteger(), 0);
  Variant s = ConvertByTypeName(Variant(), "String");
  EXPECT_EQ(s.type(), vtString);
  EXPECT_EQ(s.rawString(), "");
}

TEST(ConvertByTypeNameTest, StringsAreUnquotedOthersUnchanged) {
  EXPECT_EQ(ConvertByTypeName(Variant("  'x y'  "), "String").rawString(), "x y");
  Variant n = ConvertByTypeName(Variant::long_(5), "string");
  EXPECT_EQ(n.type(), vtString);
  EXPECT_EQ(n.rawString(), "5");
  Variant v = ConvertByTypeName(Variant(" 'q' "), "Variant");
  EXPECT_EQ(v.rawString(), " 'q' ");
  Variant d = ConvertByTypeName(Variant(2.5), "Variant");
  EXPECT_EQ(d.type(), vtDouble);
}

TEST(ConvertByDataTypeTest, ExactTypeNames) {
  EXPECT_TRUE(ConvertByDataType(Variant("1"), "Boolean").rawBool());
  EXPECT_EQ(ConvertByDataType(Variant("12"), "Integer").type(), vtInteger);
  EXPECT_EQ(ConvertByDataType(Variant("12"), "Long").type(), vtLong);
  // Other spellings leave the value alone.
  Variant lower = ConvertByDataType(Variant("1"), "boolean");
  EXPECT_EQ(lower.type(), vtString);
  EXPECT_EQ(lower.rawString(), "1");
  // Strings are not unquoted.
  EXPECT_EQ(ConvertByDataType(Variant("'x'"), "String").rawString(), "'x'");
  EXPECT_TRUE(ConvertByDataType(Variant("x"), "Long").isEmpty());
}

}  // namespace
}  // namespace tw
