#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/prompt.h"

namespace tw {
namespace {

const std::vector<std::string> kButtons = {"Overwrite", "Skip", "Cancel"};

PromptRequest overwriteRequest() {
  return {"overwrite", "Tarnwick", "File a.php already exists!", kButtons, "All", 0};
}

TEST(MatchButton, NumbersLabelsAndUnambiguousFirstLetters) {
  EXPECT_EQ(matchButton(kButtons, "2"), 1);
  EXPECT_EQ(matchButton(kButtons, " cancel "), 2);
  EXPECT_EQ(matchButton(kButtons, "o"), 0);
  EXPECT_EQ(matchButton(kButtons, "4"), -1);
  EXPECT_EQ(matchButton(kButtons, "0"), -1);
  EXPECT_EQ(matchButton(kButtons, "x"), -1);
  EXPECT_EQ(matchButton({"Keep", "Kill"}, "k"), -1);  // ambiguous
}

// Runs a terminal prompt on scripted keyboard input and returns its result and
// what it showed.
template <class F>
auto onTerminal(const std::string& typed, std::string& shown, F f) {
  std::FILE* in = fmemopen(const_cast<char*>(typed.data()), typed.size(), "r");
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* out = open_memstream(&buf, &len);
  TerminalPrompt prompt(in, out);
  auto result = f(prompt);
  std::fclose(in);
  std::fclose(out);
  shown.assign(buf, len);
  std::free(buf);
  return result;
}

TEST(TerminalPrompt, AsksAgainUntilAnAnswerNamesAButton) {
  std::string shown;
  PromptAnswer a =
      onTerminal("maybe\ns\ny\n", shown, [](TerminalPrompt& p) { return p.ask(overwriteRequest()); });
  EXPECT_EQ(a.button, 1);
  EXPECT_TRUE(a.checked);
  EXPECT_NE(shown.find("File a.php already exists!"), std::string::npos);
  EXPECT_NE(shown.find("Please type a number"), std::string::npos);
}

TEST(TerminalPrompt, EmptyLineOrEndOfInputTakesTheDefault) {
  std::string shown;
  PromptAnswer a = onTerminal("\n\n", shown, [](TerminalPrompt& p) { return p.ask(overwriteRequest()); });
  EXPECT_EQ(a.button, 0);
  EXPECT_FALSE(a.checked);
  a = onTerminal("", shown, [](TerminalPrompt& p) {
    PromptRequest r = overwriteRequest();
    r.defaultButton = 2;
    return p.ask(r);
  });
  EXPECT_EQ(a.button, 2);
}

TEST(TerminalPrompt, PairsEachNewNameWithAnOldNameAtMostOnce) {
  MappingRequest r{"Mapping", "Tables were renamed",         "New",
                   "Old",     {"clients", "bills", "extra"}, {"customers", "invoices"}};
  std::string shown;
  auto pairs = onTerminal("1\n1\n2\n\n", shown, [&](TerminalPrompt& p) { return p.pairNames(r); });
  EXPECT_EQ(pairs, (std::vector<std::string>{"customers", "invoices", ""}));
  EXPECT_NE(shown.find("not paired yet"), std::string::npos);
}

TEST(ScriptedPrompt, AnswersInOrderThenDefaultsAndRecordsEverything) {
  ScriptedPrompt p;
  p.answer("overwrite", "Skip+");
  p.answer("overwrite", "cancel");
  EXPECT_EQ(p.ask(overwriteRequest()).button, 1);
  EXPECT_EQ(p.ask(overwriteRequest()).button, 2);
  PromptAnswer third = p.ask(overwriteRequest());
  EXPECT_EQ(third.button, 0);
  EXPECT_FALSE(third.checked);
  p.message("Tarnwick", "Done", MessageIcon::Information);
  ASSERT_EQ(p.shown().size(), 4u);
  EXPECT_EQ(p.shown()[0].answer, "Skip+");
  EXPECT_EQ(p.shown()[3].kind, "message");
  p.pair("clients", "customers");
  MappingRequest r{"Mapping", "", "New", "Old", {"clients", "other"}, {"customers"}};
  EXPECT_EQ(p.pairNames(r), (std::vector<std::string>{"customers", ""}));
}

TEST(NonInteractivePrompt, TakesDefaultsAndPairsNothing) {
  NonInteractivePrompt p;
  PromptRequest r = overwriteRequest();
  r.defaultButton = 1;
  EXPECT_EQ(p.ask(r).button, 1);
  MappingRequest m{"Mapping", "", "New", "Old", {"a", "b"}, {"c"}};
  EXPECT_EQ(p.pairNames(m), (std::vector<std::string>{"", ""}));
}

}  // namespace
}  // namespace tw
