// Scripting.Dictionary through its automation members, as scripts reach it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "vbs/builtins.h"

using namespace tw;
using namespace tw::vbs;

namespace {

class Key : public Dispatch {};

struct DictionaryTest : ::testing::Test {
  Ref<Dispatch> d = createObject("Scripting.Dictionary");

  Variant item(Variant key) { return d->get("Item", {key}); }
  Variant value(Variant key) {
    // d(key): the default member.
    std::vector<Variant> args{key};
    return d->invoke(kDispIdValue, kInvokeGet | kInvokeMethod, args);
  }
  int32_t count() { return d->get("Count").rawLong(); }
  bool exists(Variant key) { return d->call("Exists", {key}).rawBool(); }
  std::vector<Variant> keys() { return d->call("Keys").rawArray()->data; }
  std::vector<Variant> items() { return d->call("Items").rawArray()->data; }
  int32_t errorOf(auto&& f) {
    try {
      f();
    } catch (const Error& e) {
      return e.number();
    }
    return 0;
  }
};

TEST_F(DictionaryTest, AddAndLookUp) {
  d->call("Add", {"a", "Athens"});
  d->call("Add", {"b", "Belgrade"});
  EXPECT_EQ(count(), 2);
  EXPECT_EQ(item("a").rawString(), "Athens");
  EXPECT_EQ(value("b").rawString(), "Belgrade");
  EXPECT_TRUE(exists("a"));
  EXPECT_FALSE(exists("A"));  // binary compare by default
  EXPECT_EQ(d->get("Count").type(), vtLong);
}

TEST_F(DictionaryTest, DuplicateKeysAreRefused) {
  d->call("Add", {"a", 1});
  try {
    d->call("Add", {"a", 2});
    ADD_FAILURE() << "a duplicate key was added";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 457);
    EXPECT_EQ(std::string(e.description()),
              "This key is already associated with an element of this collection");
  }
  EXPECT_EQ(item("a").rawLong(), 1);
}

TEST_F(DictionaryTest, ReadingAMissingKeyAddsIt) {
  Variant v = item("nope");
  EXPECT_TRUE(v.isEmpty());
  EXPECT_EQ(count(), 1);
  EXPECT_TRUE(exists("nope"));
}

TEST_F(DictionaryTest, ItemAssignmentAddsOrReplaces) {
  d->put("Item", Variant("one"), {"k"});
  EXPECT_EQ(item("k").rawString(), "one");
  d->put("Item", Variant("two"), {"k"});
  EXPECT_EQ(item("k").rawString(), "two");
  EXPECT_EQ(count(), 1);
  Ref<Dispatch> obj = makeRef<Key>();
  d->putRef("Item", Variant(obj), {"o"});
  EXPECT_EQ(item("o").rawObject(), obj.get());
}

TEST_F(DictionaryTest, NumbersAndTextsAreDifferentKeys) {
  d->call("Add", {Variant::integer(1), "number"});
  d->call("Add", {"1", "text"});
  EXPECT_EQ(count(), 2);
  EXPECT_EQ(item(Variant::long_(1)).rawString(), "number");
  EXPECT_EQ(item(1.0).rawString(), "number");
  EXPECT_EQ(item("1").rawString(), "text");
  EXPECT_EQ(errorOf([&] { d->call("Add", {1.0, "again"}); }), 457);
}

TEST_F(DictionaryTest, ObjectsAreKeysByIdentity) {
  Ref<Dispatch> k1 = makeRef<Key>(), k2 = makeRef<Key>();
  d->call("Add", {Variant(k1), "first"});
  d->call("Add", {Variant(k2), "second"});
  EXPECT_EQ(item(Variant(k1)).rawString(), "first");
  EXPECT_EQ(item(Variant(k2)).rawString(), "second");
}

TEST_F(DictionaryTest, TextCompareFoldsCaseAndMustBeSetWhileEmpty) {
  d->put("CompareMode", Variant(1));
  EXPECT_EQ(d->get("CompareMode").rawLong(), 1);
  d->call("Add", {"Key", 1});
  EXPECT_TRUE(exists("KEY"));
  EXPECT_EQ(item("kEy").rawLong(), 1);
  EXPECT_EQ(errorOf([&] { d->call("Add", {"KEY", 2}); }), 457);
  EXPECT_EQ(keys()[0].rawString(), "Key");  // the first spelling is kept
  EXPECT_EQ(errorOf([&] { d->put("CompareMode", Variant(0)); }), 5);
}

TEST_F(DictionaryTest, KeysAndItemsKeepInsertionOrder) {
  for (const char* k : {"delta", "alpha", "charlie", "bravo"})
    d->call("Add", {k, std::string(k).substr(0, 1)});
  d->call("Remove", {"alpha"});
  d->call("Add", {"alpha", "A"});
  std::vector<std::string> ks, is;
  for (const Variant& k : keys()) ks.emplace_back(k.rawString());
  for (const Variant& i : items()) is.emplace_back(i.rawString());
  EXPECT_EQ(ks, (std::vector<std::string>{"delta", "charlie", "bravo", "alpha"}));
  EXPECT_EQ(is, (std::vector<std::string>{"d", "c", "b", "A"}));
  Variant arr = d->call("Keys");
  EXPECT_EQ(arr.rawArray()->lbound(1), 0);
  EXPECT_EQ(arr.rawArray()->ubound(1), 3);
}

TEST_F(DictionaryTest, ForEachYieldsKeys) {
  d->call("Add", {"x", 1});
  d->call("Add", {"y", 2});
  Ref<Enumerator> e = d->newEnum();
  Variant k;
  std::vector<std::string> seen;
  while (e->next(k)) seen.emplace_back(k.rawString());
  EXPECT_EQ(seen, (std::vector<std::string>{"x", "y"}));
}

TEST_F(DictionaryTest, RenameAKey) {
  d->call("Add", {"old", "v"});
  d->call("Add", {"other", "w"});
  d->put("Key", Variant("new"), {"old"});
  EXPECT_FALSE(exists("old"));
  EXPECT_EQ(item("new").rawString(), "v");
  EXPECT_EQ(keys()[0].rawString(), "new");  // keeps its place
  EXPECT_EQ(errorOf([&] { d->put("Key", Variant("x"), {"missing"}); }), 32811);
  EXPECT_EQ(errorOf([&] { d->put("Key", Variant("other"), {"new"}); }), 457);
}

TEST_F(DictionaryTest, RemoveAndRemoveAll) {
  d->call("Add", {"a", 1});
  d->call("Add", {"b", 2});
  d->call("Remove", {"a"});
  EXPECT_EQ(count(), 1);
  try {
    d->call("Remove", {"a"});
    ADD_FAILURE() << "removing a missing key succeeded";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 32811);
    EXPECT_EQ(std::string(e.description()), "Element not found");
  }
  d->call("RemoveAll");
  EXPECT_EQ(count(), 0);
  EXPECT_EQ(d->call("Keys").rawArray()->ubound(1), -1);
  d->put("CompareMode", Variant(1));  // allowed again once empty
}

TEST_F(DictionaryTest, HashVal) {
  // Texts: hash += hash * 16 + character, modulo 1201.
  EXPECT_EQ(d->call("HashVal", {"a"}).rawLong(), 97);
  EXPECT_EQ(d->call("HashVal", {"ab"}).rawLong(), (97 * 17 + 98) % 1201);
  EXPECT_EQ(d->call("HashVal", {"A"}).rawLong(), 65);
  EXPECT_EQ(d->call("HashVal", {Variant()}).rawLong(), 0);
  d->put("CompareMode", Variant(1));
  EXPECT_EQ(d->call("HashVal", {"A"}).rawLong(), 97);
  // Numbers hash their single-precision bits: 1.0f is 0x3F800000.
  EXPECT_EQ(d->call("HashVal", {Variant::integer(1)}).rawLong(), static_cast<int32_t>(0x3F800000u % 1201));
}

TEST_F(DictionaryTest, MembersCheckTheirArgumentCount) {
  EXPECT_EQ(errorOf([&] { d->call("Add", {"only key"}); }), 450);
  EXPECT_EQ(errorOf([&] { d->call("NoSuchMember"); }), 438);
}

}  // namespace
