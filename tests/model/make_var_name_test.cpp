#include "model/make_var_name.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(MakeVarName, BlanksBecomeUnderscoresAndANonLetterStartGetsAnX) {
  EXPECT_EQ(MakeVarName("2005 Sales", ""), "x2005_Sales");
  EXPECT_EQ(MakeVarName("Order List", ""), "Order_List");
  EXPECT_EQ(MakeVarName("_id", ""), "x_id");
  EXPECT_EQ(MakeVarName(" lead", ""), "x_lead");
}

TEST(MakeVarName, OtherCharactersBecomeTheirHexCodeWithoutLeadingZeros) {
  EXPECT_EQ(MakeVarName("Unit-Price", "x_"), "x_Unit2DPrice");
  EXPECT_EQ(MakeVarName("a.b", ""), "a2Eb");
  EXPECT_EQ(MakeVarName("tab\there", ""), "tab9here");  // code 9: one digit, no padding
  // Character codes, not UTF-8 bytes: ö is 00F6, ß 00DF, 名 540D.
  EXPECT_EQ(MakeVarName("Größe", ""), "GrF6DFe");
  EXPECT_EQ(MakeVarName("名前", ""), "x540D524D");
  // Outside the basic plane a character is two UTF-16 code units.
  EXPECT_EQ(MakeVarName("a\xF0\x9F\x98\x80", ""), "aD83DDE00");
}

TEST(MakeVarName, AHexCodeStartingWithALetterNeedsNoX) {
  // é is E9: the result starts with the letter E.
  EXPECT_EQ(MakeVarName("\xC3\xA9t\xC3\xA9", ""), "E9tE9");
  EXPECT_EQ(MakeVarName("#1", ""), "x231");
}

TEST(MakeVarName, ThePrefixIsNotPartOfTheLetterTest) {
  EXPECT_EQ(MakeVarName("Name", "x_"), "x_Name");
  EXPECT_EQ(MakeVarName("1st", "x_"), "x_x1st");
  EXPECT_EQ(MakeVarName("", ""), "x");
}

}  // namespace
}  // namespace tw
