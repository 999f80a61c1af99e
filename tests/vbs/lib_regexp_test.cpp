// VBScript.RegExp: the pattern dialect, Execute, Test and Replace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "vbs/builtins.h"

using namespace tw;
using namespace tw::vbs;

namespace {

struct RegExpTest : ::testing::Test {
  Ref<Dispatch> re = createObject("VBScript.RegExp");

  void set(std::string_view pattern, bool global = false, bool ignoreCase = false, bool multiline = false) {
    re->put("Pattern", Variant(pattern));
    re->put("Global", Variant(global));
    re->put("IgnoreCase", Variant(ignoreCase));
    re->put("Multiline", Variant(multiline));
  }
  bool test(std::string_view text) { return re->call("Test", {text}).rawBool(); }
  std::string replace(std::string_view text, Variant with) {
    Variant r = re->call("Replace", {text, with});
    EXPECT_EQ(r.type(), vtString);
    return std::string(r.rawString());
  }
  // Values of all matches.
  std::vector<std::string> values(std::string_view text) {
    Ref<Dispatch> matches(re->call("Execute", {text}).rawObject());
    std::vector<std::string> out;
    int32_t n = matches->get("Count").rawLong();
    for (int32_t i = 0; i < n; ++i) {
      Ref<Dispatch> m(matches->get("Item", {i}).rawObject());
      out.emplace_back(m->get("Value").rawString());
    }
    return out;
  }
  Ref<Dispatch> first(std::string_view text) {
    Ref<Dispatch> matches(re->call("Execute", {text}).rawObject());
    return Ref<Dispatch>(matches->get("Item", {0}).rawObject());
  }
  int32_t errorOf(std::string_view pattern) {
    set(pattern);
    try {
      test("x");
    } catch (const Error& e) {
      return e.number();
    }
    return 0;
  }
};

using V = std::vector<std::string>;

TEST_F(RegExpTest, DefaultsAndTypeName) {
  EXPECT_EQ(re->get("Pattern").rawString(), "");
  EXPECT_FALSE(re->get("Global").rawBool());
  EXPECT_FALSE(re->get("IgnoreCase").rawBool());
  EXPECT_FALSE(re->get("Multiline").rawBool());
  EXPECT_EQ(re->typeName(), "IRegExp2");
}

TEST_F(RegExpTest, ExecuteFindsOneMatchUnlessGlobal) {
  set("a+");
  EXPECT_TRUE(test(" aabaaa"));
  Ref<Dispatch> m = first(" aabaaa");
  EXPECT_EQ(m->get("Value").rawString(), "aa");
  EXPECT_EQ(m->get("FirstIndex").rawLong(), 1);
  EXPECT_EQ(m->get("Length").rawLong(), 2);
  EXPECT_EQ(m->typeName(), "IMatch2");
  EXPECT_EQ(values(" aabaaa"), (V{"aa"}));
  set("a+", true);
  EXPECT_EQ(values(" aabaaa"), (V{"aa", "aaa"}));
  Ref<Dispatch> matches(re->call("Execute", {" aabaaa"}).rawObject());
  EXPECT_EQ(matches->typeName(), "IMatchCollection2");
  Ref<Dispatch> second(matches->get("Item", {1}).rawObject());
  EXPECT_EQ(second->get("FirstIndex").rawLong(), 4);
}

TEST_F(RegExpTest, FirstIndexCountsCharacters) {
  set("b");
  Ref<Dispatch> m = first(
      "\xC3\xA4\xE2\x82\xAC"
      "b");  // "ä€b"
  EXPECT_EQ(m->get("FirstIndex").rawLong(), 2);
  set("\xE2\x82\xAC+", true);
  EXPECT_EQ(values("x\xE2\x82\xAC\xE2\x82\xAC y \xE2\x82\xAC"),
            (V{"\xE2\x82\xAC\xE2\x82\xAC", "\xE2\x82\xAC"}));
  set("^.$");
  EXPECT_TRUE(test("\xC3\xA4"));  // one character, two bytes
}

TEST_F(RegExpTest, SubMatches) {
  set("(a|b)+|(c)");
  Ref<Dispatch> m = first("aa");
  Ref<Dispatch> sub(m->get("SubMatches").rawObject());
  EXPECT_EQ(sub->get("Count").rawLong(), 2);
  EXPECT_EQ(sub->get("Item", {0}).rawString(), "a");
  EXPECT_TRUE(sub->get("Item", {1}).isEmpty());  // the group took no part
  set("\\[([^\\[]+)\\]", true);
  Ref<Dispatch> t = first(" [test]  ");
  EXPECT_EQ(t->get("Value").rawString(), "[test]");
  EXPECT_EQ(Ref<Dispatch>(t->get("SubMatches").rawObject())->get("Item", {0}).rawString(), "test");
  set("(\\d+)-(\\d+)");
  Ref<Dispatch> r = first("from 10-20");
  Ref<Dispatch> rs(r->get("SubMatches").rawObject());
  EXPECT_EQ(rs->get("Item", {0}).rawString(), "10");
  EXPECT_EQ(rs->get("Item", {1}).rawString(), "20");
  EXPECT_EQ(r->get("SubMatches", {1}).rawString(), "20");  // m.SubMatches(1)
  try {
    rs->get("Item", {2});
    ADD_FAILURE() << "an index past the end was accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 5);
  }
}

TEST_F(RegExpTest, IgnoreCaseAndMultiline) {
  set("Ab", true, true);
  EXPECT_EQ(values("abcaBc"), (V{"ab", "aB"}));
  set("^\\w+$", true);
  EXPECT_EQ(values("one\ntwo"), (V{}));
  set("^\\w+$", true, false, true);
  EXPECT_EQ(values("one\ntwo"), (V{"one", "two"}));
  set("[a-c]+", true, true);
  EXPECT_EQ(values("xABCx"), (V{"ABC"}));
  set("\xC3\xA4", false, true);
  EXPECT_TRUE(test("\xC3\x84"));
}

TEST_F(RegExpTest, Syntax) {
  set("\\d{2,3}", true);
  EXPECT_EQ(values("1 12 1234 12345"), (V{"12", "123", "123", "45"}));
  set("a.*?b");
  EXPECT_EQ(values("aXbXb"), (V{"aXb"}));
  set("a.*b");
  EXPECT_EQ(values("aXbXb"), (V{"aXbXb"}));
  set("(?:ab)+");
  EXPECT_EQ(values("ababa"), (V{"abab"}));
  set("\\bis\\b", true);
  EXPECT_EQ(values("this is it"), (V{"is"}));
  set("foo(?=bar)");
  EXPECT_EQ(values("foobaz foobar"), (V{"foo"}));
  EXPECT_EQ(first("foobaz foobar")->get("FirstIndex").rawLong(), 7);
  set("foo(?!bar)");
  EXPECT_EQ(first("foobar foobaz")->get("FirstIndex").rawLong(), 7);
  set("(\\w)\\1", true);
  EXPECT_EQ(values("aabbcd"), (V{"aa", "bb"}));
  set("[^\\s,]+", true);
  EXPECT_EQ(values("a, b ,c"), (V{"a", "b", "c"}));
  set("\\x41\\u0042\\t", true);
  EXPECT_EQ(values("AB\t"), (V{"AB\t"}));
  set("a{,2}");
  EXPECT_TRUE(test("a{,2}"));  // not a quantifier: taken literally
  set("[\\]]");
  EXPECT_TRUE(test("]"));
  set(".");
  EXPECT_FALSE(test("\n"));
  set("x*", true);
  EXPECT_EQ(values("axx"), (V{"", "xx", ""}));
}

TEST_F(RegExpTest, EmptyPatternMatchesEverywhere) {
  set("");
  EXPECT_EQ(values("test"), (V{""}));
  set("", true);
  EXPECT_EQ(values("test").size(), 5u);
  EXPECT_TRUE(test("test"));
}

TEST_F(RegExpTest, Replace) {
  set("xxx", true);
  EXPECT_EQ(replace("xxxx", "y"), "yx");
  set("\\[([^\\[]+)\\]", true);
  EXPECT_EQ(replace("- [test] -", "success"), "- success -");
  EXPECT_EQ(replace("[test] [test]", "aa"), "aa aa");
  set("(\\&(\\d))", true);
  EXPECT_EQ(replace("abc &1 123", "$'"), "abc  123 123");
  EXPECT_EQ(replace("abc &1 123", "$`"), "abc abc  123");
  EXPECT_EQ(replace("abc &1 123", "$3"), "abc $3 123");
  set("\\[([^\\[]+)\\]", true);
  EXPECT_EQ(replace("- [test] -", true), "- -1 -");
  EXPECT_EQ(replace("- [test] -", 6), "- 6 -");
  set("(\\$(\\d))", true);
  EXPECT_EQ(replace("$1,$2", "$$1-$1$2"), "$1-$11,$1-$22");
  set("b", true);
  EXPECT_EQ(replace("abc", "x$&z"), "axbzc");
  set("\\[([^\\[]+)\\]");
  EXPECT_EQ(replace("[test] [test]", "aa"), "aa [test]");
  set("");
  EXPECT_EQ(replace("xxx", "y"), "yxxx");
  set("", true);
  EXPECT_EQ(replace("xxx", "y"), "yxyxyxy");
  set("(\\w+)@(\\w+)\\.com", true);
  EXPECT_EQ(replace("mail bob@site.com now", "$2 at $1"), "mail site at bob now");
}

TEST_F(RegExpTest, SyntaxErrors) {
  EXPECT_EQ(errorOf("(abc"), 5020);
  EXPECT_EQ(errorOf("[abc"), 5019);
  EXPECT_EQ(errorOf("*a"), 5018);
  EXPECT_EQ(errorOf("a**"), 5018);
  EXPECT_EQ(errorOf("[z-a]"), 5021);
  EXPECT_EQ(errorOf("abc)"), 5017);
  EXPECT_EQ(errorOf("a\\"), 5017);
  EXPECT_EQ(errorOf("ok"), 0);
}

TEST_F(RegExpTest, PathologicalPatternsStopInsteadOfHanging) {
  set("(a*)*b");
  EXPECT_FALSE(test("aaaaaaaa"));  // empty loop turns end the loop instead of spinning
  set("(a|aa)+c");
  try {
    test(std::string(60, 'a'));
    ADD_FAILURE() << "an exponential search finished";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 28);
  }
  set("(((((((((a)))))))))*", true);
  EXPECT_EQ(values(std::string(100000, 'a')).size(), 2u);  // no deep recursion
}

TEST_F(RegExpTest, ForEachOverMatches) {
  set("\\d", true);
  Ref<Dispatch> matches(re->call("Execute", {"a1b2c3"}).rawObject());
  Ref<Enumerator> e = matches->newEnum();
  Variant m;
  std::string digits;
  while (e->next(m)) digits += m.valueOf().rawString();
  EXPECT_EQ(digits, "123");
}

}  // namespace
