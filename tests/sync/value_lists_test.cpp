// The small pieces of synchronisation on their own: value lists, key lists,
// field comparison and the answers a caller gives in advance.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "schema/schema_records.h"
#include "support/engine_context.h"
#include "support/prompt.h"
#include "sync/sync.h"
#include "sync/sync_answers.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using ::testing::ElementsAre;

// ---- Value lists

TEST(SameValueList, OnlyTheValuesBeforeTheFirstCommaCount) {
  EXPECT_TRUE(SameValueList("\"S\",\"S\"\r\n\"M\",\"M\"", "\"S\",Small\r\n\"M\",Medium"));
  EXPECT_TRUE(SameValueList("a,1,2\r\nb", "a,9\r\nb,8"));
  EXPECT_FALSE(SameValueList("\"S\",\"S\"\r\n\"M\",\"M\"", "\"S\",\"S\"\r\n\"XL\",\"M\""));
  // The first difference decides, wherever it is.
  EXPECT_FALSE(SameValueList("x,1\r\nb,2", "a,1\r\nb,2"));
}

TEST(SameValueList, OneTrailingLineBreakIsIgnoredButLineCountsMustMatch) {
  EXPECT_TRUE(SameValueList("a,A\r\nb,B\r\n", "a,A\r\nb,B"));
  EXPECT_FALSE(SameValueList("a,A\r\nb,B", "a,A"));
  EXPECT_FALSE(SameValueList("a,A\r\n\r\n", "a,A"));  // only one line break is removed
  EXPECT_TRUE(SameValueList("", ""));
  EXPECT_TRUE(SameValueList("", "\r\n"));
  EXPECT_FALSE(SameValueList("", "a"));
}

TEST(MergeValueList, KeepsTheUsersLabelsOfValuesThatStillExist) {
  EXPECT_EQ(MergeValueList("a,A\r\nb,B", "b,Bee"), "a,A\r\nb,Bee\r\n");
  EXPECT_EQ(MergeValueList("\"S\",\"S\"\r\n\"M\",\"M\"\r\n\"XL\",\"XL\"\r\n",
                           "\"S\",Small\r\n\"M\",Medium\r\n\"L\",Large"),
            "\"S\",Small\r\n\"M\",Medium\r\n\"XL\",\"XL\"\r\n");
}

TEST(MergeValueList, TakesOnlyTheSecondItemOfTheFirstMatchingOldLine) {
  EXPECT_EQ(MergeValueList("a,A,x", "a,One,two\r\na,Other"), "a,One\r\n");
  // An old line without a comma leaves the fresh line as it is.
  EXPECT_EQ(MergeValueList("a,A", "a"), "a,A\r\n");
  // An old line with an empty label gives the value with an empty label.
  EXPECT_EQ(MergeValueList("a,A", "a,"), "a,\r\n");
  EXPECT_EQ(MergeValueList("a,A\r\nb", "c,C"), "a,A\r\nb\r\n");
}

// ---- Key lists

TEST(UnquoteIdentifier, DoubleQuotesThenSquareBrackets) {
  EXPECT_EQ(UnquoteIdentifier("\"a\"\"b\""), "a\"b");
  EXPECT_EQ(UnquoteIdentifier("[order id]"), "order id");
  EXPECT_EQ(UnquoteIdentifier("\"[x]\""), "x");
  EXPECT_EQ(UnquoteIdentifier(" [x]"), " [x]");  // blanks are not trimmed
  EXPECT_EQ(UnquoteIdentifier("\""), "\"");
  EXPECT_EQ(UnquoteIdentifier("plain"), "plain");
}

class SyncModelTest : public testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    proj_ = makeRef<AGP>();
    proj_->AddProj("unit");
    proj_->Databases().Add("unit");
    proj_->setCurrentDbName("unit");
  }
  AGP& proj() { return *proj_; }
  AGPTable& table(const char* name, std::vector<const char*> fields) {
    AGPTable* t = proj().db()->tables().Add(name);
    for (const char* f : fields) t->Fields().Add(f);
    return *t;
  }

 private:
  Ref<AGP> proj_;
};

TEST_F(SyncModelTest, MarkKeyFieldsMarksExactlyTheUnquotedNames) {
  AGPTable& t = table("t", {"a\"b", "c d", "e", "f"});
  t.Fields().Item(Variant("f"))->setSetting("FldIsPrimaryKey", Variant(true));
  t.setSetting("TblKey", Variant("\"a\"\"b\",[c d], e"));
  MarkKeyFields(t);
  EXPECT_TRUE(t.Fields().Item(Variant("a\"b"))->flag("FldIsPrimaryKey"));
  EXPECT_TRUE(t.Fields().Item(Variant("c d"))->flag("FldIsPrimaryKey"));
  EXPECT_FALSE(t.Fields().Item(Variant("e"))->flag("FldIsPrimaryKey"));  // " e" names no field
  EXPECT_FALSE(t.Fields().Item(Variant("f"))->flag("FldIsPrimaryKey"));
}

// ---- Comparing a column with a field

AGSchemaField column(int16_t native, int32_t size) {
  AGSchemaField c;
  c.FldName = "c";
  c.NativeDataType = native;
  c.FldSize = size;
  c.FldAttribute = 0x20;
  return c;
}

TEST_F(SyncModelTest, CompareFieldLooksAtTypeSizeIndexAutoIncrementAndAttributes) {
  AGPTable& t = table("t", {"c"});
  AGPField& f = *t.Fields().Item(Variant("c"));
  f.setSetting("NativeDataType", Variant::integer(3));
  f.setSetting("FldSize", Variant::long_(11));
  f.setSetting("FldAttribute", Variant::long_(0x20));
  f.setSetting("FldUniqueIdx", Variant(false));
  f.setSetting("FldAutoIncrement", Variant(false));
  AGSchemaField c = column(3, 11);
  EXPECT_TRUE(CompareField(c, f, false, ""));
  EXPECT_FALSE(CompareField(column(8, 11), f, false, ""));
  EXPECT_FALSE(CompareField(column(3, 12), f, false, ""));
  c.FldUniqueIdx = true;
  EXPECT_FALSE(CompareField(c, f, false, ""));
  c = column(3, 11);
  c.FldAutoIncrement = true;
  EXPECT_FALSE(CompareField(c, f, false, ""));
  c = column(3, 11);
  c.FldAttribute = 0x60;
  EXPECT_FALSE(CompareField(c, f, false, ""));
  // Settings that are not compared: the caption and the value list of a
  // column that is no enumeration.
  c = column(3, 11);
  c.FldTagValues = "x,y";
  f.setSetting("FldCaption", Variant("Anything"));
  EXPECT_TRUE(CompareField(c, f, false, ""));
}

TEST_F(SyncModelTest, EnumerationsAlsoCompareTheirValuesUnlessSkipped) {
  AGPTable& t = table("t", {"c"});
  AGPField& f = *t.Fields().Item(Variant("c"));
  f.setSetting("NativeDataType", Variant::integer(247));
  f.setSetting("FldSize", Variant::long_(1));
  f.setSetting("FldAttribute", Variant::long_(0x20));
  f.setSetting("FldTagValues", Variant("\"S\",Small\r\n\"M\",Medium"));
  AGSchemaField c = column(247, 1);
  c.FldTagValues = "\"S\",\"S\"\r\n\"M\",\"M\"";
  EXPECT_TRUE(CompareField(c, f, false, ""));
  c.FldTagValues = "\"S\",\"S\"\r\n\"L\",\"L\"";
  EXPECT_FALSE(CompareField(c, f, false, ""));
  EXPECT_TRUE(CompareField(c, f, true, ""));
  // A value list handed in replaces the column's.
  EXPECT_TRUE(CompareField(c, f, false, "\"S\",x\r\n\"M\",y"));
  c.NativeDataType = 248;
  f.setSetting("NativeDataType", Variant::integer(248));
  EXPECT_FALSE(CompareField(c, f, false, ""));
}

TEST_F(SyncModelTest, CompareFieldsComparesTwoProjectFields) {
  AGPTable& t = table("t", {"a", "b"});
  AGPField& a = *t.Fields().Item(Variant("a"));
  AGPField& b = *t.Fields().Item(Variant("b"));
  for (AGPField* f : {&a, &b}) {
    f->setSetting("NativeDataType", Variant::integer(248));
    f->setSetting("FldSize", Variant::long_(5));
    f->setSetting("FldTagValues", Variant("r,Red\r\ng,Green"));
  }
  b.setSetting("FldTagValues", Variant("r,Rot\r\ng,Grün"));
  EXPECT_TRUE(CompareFields(a, b));
  b.setSetting("FldTagValues", Variant("r,Rot"));
  EXPECT_FALSE(CompareFields(a, b));
  b.setSetting("FldTagValues", a.setting("FldTagValues"));
  b.setSetting("FldSize", Variant::long_(6));
  EXPECT_FALSE(CompareFields(a, b));
}

TEST_F(SyncModelTest, SourceValueListNeedsALoadedTableAndItsField) {
  AGPTable& t = table("colours", {"c"});
  t.Fields().Item(Variant("c"))->setSetting("FldTagValues", Variant("r,Red"));
  t.setSetting("TblLoaded", Variant(true));
  EXPECT_EQ(SourceValueList(proj(), "colours", "c"), "r,Red");
  EXPECT_EQ(SourceValueList(proj(), "colours", "C"), "");
  EXPECT_EQ(SourceValueList(proj(), "Colours", "c"), "");
  t.setSetting("TblLoaded", Variant(false));
  EXPECT_EQ(SourceValueList(proj(), "colours", "c"), "");
}

// ---- Answers

TEST_F(SyncModelTest, AskMappingGivesTheNewNameUnlessAnOfferedOldNameIsPaired) {
  auto scripted = std::make_unique<ScriptedPrompt>();
  ScriptedPrompt* prompt = scripted.get();
  prompt->pair("purchases", "orders");
  prompt->pair("clients", "not offered");
  prompt->pair("buyers", "orders");  // an old name pairs once
  engine().setPrompts(std::move(scripted));
  std::vector<std::string> result =
      AskMapping("New table found in schema", "message", "New table", "Old table",
                 {"purchases", "clients", "buyers", "extra"}, {"orders", "customers"});
  EXPECT_THAT(result, ElementsAre("orders", "clients", "buyers", "extra"));
  ASSERT_EQ(prompt->shown().size(), 1u);
  EXPECT_EQ(prompt->shown()[0].title, "New table found in schema");
}

TEST_F(SyncModelTest, PresetAnswersAnswerTheSyncQuestionsAndPassOnTheRest) {
  auto scripted = std::make_unique<ScriptedPrompt>();
  ScriptedPrompt* inner = scripted.get();
  inner->answer("overwrite", "Skip");
  inner->answer(kSyncKeyPromptId, "Keep");
  SyncAnswers answers(std::move(scripted));
  answers.setUpdate(true);
  PromptRequest sync{std::string(kSyncPromptId), "Tarnwick", "Database has been modified",
                     {"Update", "Keep"},         "",         1};
  EXPECT_EQ(answers.ask(sync).button, 0);
  answers.setUpdate(false);
  EXPECT_EQ(answers.ask(sync).button, 1);
  // The key question was not decided in advance: the wrapped handler answers.
  PromptRequest key{std::string(kSyncKeyPromptId), "Tarnwick", "Primary key", {"Update", "Keep"}, "", 0};
  EXPECT_EQ(answers.ask(key).button, 1);
  answers.setUpdateKeys(true);
  EXPECT_EQ(answers.ask(key).button, 0);
  PromptRequest other{"overwrite", "Tarnwick", "File exists", {"Overwrite", "Skip", "Cancel"}, "All", 0};
  EXPECT_EQ(answers.ask(other).button, 1);
  answers.message("Tarnwick", "note", MessageIcon::Exclamation);
  ASSERT_EQ(inner->shown().size(), 3u);  // the key question, the other question, the message
  EXPECT_EQ(inner->shown()[2].text, "note");
}

TEST_F(SyncModelTest, PresetPairsComeFirstAndTheRestIsAskedWithWhatIsLeft) {
  auto scripted = std::make_unique<ScriptedPrompt>();
  ScriptedPrompt* inner = scripted.get();
  inner->pair("clients", "customers");
  inner->pair("mail", "email");
  SyncAnswers answers(std::move(scripted));
  answers.pairTable("purchases", "orders");
  answers.pairField("clients", "phone", "tel");
  MappingRequest tables{
      "New table found in schema", "m", "New table", "Old table", {"purchases", "clients", "extra"},
      {"orders", "customers"}};
  EXPECT_THAT(answers.pairFor(tables, ""), ElementsAre("orders", "customers", ""));
  ASSERT_EQ(inner->shown().size(), 1u);
  // Fields are paired per table; a table without preset pairs is asked.
  MappingRequest fields{"Table: clients - New fields found in schema",
                        "m",
                        "New field",
                        "Old field",
                        {"phone", "mail"},
                        {"tel", "email"}};
  EXPECT_THAT(answers.pairFor(fields, "clients"), ElementsAre("tel", "email"));
  EXPECT_THAT(answers.pairFor(fields, "other"), ElementsAre("", "email"));
  // With the pairs complete nothing is asked.
  answers.setPairsComplete(true);
  size_t asked = inner->shown().size();
  EXPECT_THAT(answers.pairFor(tables, ""), ElementsAre("orders", "", ""));
  EXPECT_EQ(inner->shown().size(), asked);
}

TEST_F(SyncModelTest, APresetPairNamingAnOldNameNotOfferedPairsNothing) {
  SyncAnswers answers(std::make_unique<NonInteractivePrompt>());
  answers.pairTable("purchases", "orders");
  answers.setPairsComplete(true);
  MappingRequest tables{"t", "m", "New table", "Old table", {"purchases"}, {"customers"}};
  EXPECT_THAT(answers.pairFor(tables, ""), ElementsAre(""));
}

}  // namespace
}  // namespace tw
