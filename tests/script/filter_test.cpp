// Advanced filters read from the user's registry: groups, options numbered by
// their Order values through the exchange sort, and the look-ups scripts use.
#include "script/filter.h"

#include <gtest/gtest.h>

#include "support/registry.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

class FilterTest : public tw::testing::FreshEngine {
 protected:
  void option(const std::string& group, const std::string& name, const std::string& expression,
              const Variant& order = Variant()) {
    const std::string key = engine().regAdvancedFilters + "\\" + group + "\\" + name;
    RegWrite("HKCU", key, "EvalString", kRegString, Variant(expression));
    if (!order.isEmpty()) RegWrite("HKCU", key, "Order", order.isString() ? kRegString : kRegDword, order);
  }
  std::vector<std::string> names(const std::string& group) {
    std::vector<std::string> out;
    for (int32_t i = 1; i <= filter_.OptionCount(group); ++i) out.push_back(filter_.OptionName(group, i));
    return out;
  }
  AGPFilter filter_;
};

TEST_F(FilterTest, NoFiltersGiveEmptyAnswers) {
  filter_.Load();
  EXPECT_EQ(filter_.GroupCount(), 0);
  EXPECT_EQ(filter_.GroupName(1), "");
  EXPECT_EQ(filter_.OptionCount("any"), 0);
  EXPECT_EQ(filter_.OptionName("any", 1), "");
  EXPECT_EQ(filter_.Expression("any", 1), "");
}

TEST_F(FilterTest, OptionsAreNumberedByTheirOrder) {
  option("Dates", "Older", "< 30", Variant(30));
  option("Dates", "Today", "= Date()", Variant(10));
  option("Dates", "Week", "> Date()-7", Variant(20));
  filter_.Load();
  ASSERT_EQ(filter_.GroupCount(), 1);
  EXPECT_EQ(filter_.GroupName(1), "Dates");
  EXPECT_EQ(filter_.OptionCount("dates"), 3);
  EXPECT_EQ(names("DATES"), (std::vector<std::string>{"Today", "Week", "Older"}));
  EXPECT_EQ(filter_.Expression("Dates", 1), "= Date()");
  EXPECT_EQ(filter_.Expression("dates", 3), "< 30");
  // After loading the orders are the positions, not the registry numbers.
  EXPECT_EQ(filter_.OptionName("Dates", 10), "");
  EXPECT_EQ(filter_.OptionName("Dates", 4), "");
  EXPECT_EQ(filter_.OptionName("Dates", 0), "");
}

TEST_F(FilterTest, EqualOrdersFollowTheExchangeSort) {
  // Enumerated p, q, r with orders 2, 2, 1: the exchange of p and r leaves q
  // in front of p, which a stable sort would not.
  option("G", "p", "P", Variant(2));
  option("G", "q", "Q", Variant(2));
  option("G", "r", "R", Variant(1));
  filter_.Load();
  EXPECT_EQ(names("G"), (std::vector<std::string>{"r", "q", "p"}));
  EXPECT_EQ(filter_.Expression("G", 2), "Q");
}

TEST_F(FilterTest, MissingOrNonNumericOrderCountsAsZero) {
  option("G", "a", "A", Variant("abc"));
  option("G", "b", "B");
  option("G", "c", "C", Variant(5));
  option("G", "d", "D", Variant("-1"));
  filter_.Load();
  // Orders 0, 0, 5, -1 in enumeration order a, b, c, d.
  EXPECT_EQ(names("G"), (std::vector<std::string>{"d", "b", "a", "c"}));
}

TEST_F(FilterTest, GroupsAndTheirOptionsStaySeparate) {
  option("Numbers", "Positive", "> 0", Variant(2));
  option("Numbers", "Negative", "< 0", Variant(1));
  option("Texts", "Empty", "= ''", Variant(1));
  // A group without options still counts as a group.
  RegWrite("HKCU", engine().regAdvancedFilters + "\\Spare\\", "Note", kRegString, Variant("x"));
  filter_.Load();
  ASSERT_EQ(filter_.GroupCount(), 3);
  EXPECT_EQ(filter_.GroupName(1), "Numbers");
  EXPECT_EQ(filter_.GroupName(2), "Spare");
  EXPECT_EQ(filter_.GroupName(3), "Texts");
  EXPECT_EQ(filter_.GroupName(0), "");
  EXPECT_EQ(filter_.GroupName(4), "");
  EXPECT_EQ(filter_.OptionCount("Spare"), 0);
  EXPECT_EQ(filter_.OptionCount("texts"), 1);
  EXPECT_EQ(filter_.optionTotal(), 3);
  EXPECT_EQ(names("Numbers"), (std::vector<std::string>{"Negative", "Positive"}));
  EXPECT_EQ(filter_.OptionName("Texts", 1), "Empty");
  EXPECT_EQ(filter_.OptionName("Texts", 2), "");
}

TEST_F(FilterTest, LoadRebuildsFromScratch) {
  option("G", "a", "A", Variant(1));
  filter_.Load();
  filter_.Load();
  EXPECT_EQ(filter_.OptionCount("G"), 1);
  option("H", "b", "B", Variant(1));
  filter_.Load();
  EXPECT_EQ(filter_.GroupCount(), 2);
  EXPECT_EQ(filter_.optionTotal(), 2);
}

TEST_F(FilterTest, ScriptsReachFiltersByName) {
  option("G", "a", "A", Variant(2));
  option("G", "b", "B", Variant(1));
  Ref<AGPFilter> filters = makeRef<AGPFilter>();
  filters->call("load");
  EXPECT_EQ(filters->get("GROUPCOUNT").toLong(), 1);
  EXPECT_EQ(filters->call("GroupName", {Variant(1)}).toString(), "G");
  EXPECT_EQ(filters->call("OptionCount", {Variant("g")}).toLong(), 2);
  EXPECT_EQ(filters->call("OptionName", {Variant("G"), Variant(1)}).toString(), "b");
  EXPECT_EQ(filters->call("expression", {Variant("G"), Variant("2")}).toString(), "A");
}

}  // namespace
}  // namespace tw
