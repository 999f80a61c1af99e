#include "support/super_collection.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "automation/text.h"
#include "support/expect_error.h"

namespace tw {
namespace {

constexpr uint32_t kNoPosition = 0x80000504u;
constexpr uint32_t kKeyNotFound = 0x80000501u;
constexpr uint32_t kInvalidDatatype = 0x80000503u;
constexpr uint32_t kMoveInLoop = 0x80000502u;
constexpr uint32_t kUndefined = 0x80000505u;
constexpr uint32_t kInitialized = 0x80000500u;

using Mode = CSuperCollection;

// The item texts in position order.
std::vector<std::string> itemsOf(CSuperCollection& c) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < c.count(); ++i) out.emplace_back(c.item(Variant(c.baseIndex() + i)).rawString());
  return out;
}

Ref<CSuperCollection> abc(int32_t compareMode = Mode::kTextCompare) {
  auto c = makeRef<CSuperCollection>();
  c->setCompareMode(compareMode);
  c->add(Variant("A"), "ka");
  c->add(Variant("B"), "kb");
  c->add(Variant("C"), "kc");
  return c;
}

// A small object with a Key property, like the object-model elements.
class Named : public Dispatch {
 public:
  std::string key;
  const ClassInfo* classInfo() const override {
    static const ClassInfo info =
        ClassBuilder<Named>("Named")
            .prop(
                "Key", [](Named& n) { return n.key; },
                [](Named& n, const Variant& v) { n.key = std::string(v.rawString()); })
            .build();
    return &info;
  }
};

TEST(SuperCollectionAdd, AppendsAndFindsByPositionAndKey) {
  auto c = abc();
  EXPECT_EQ(c->count(), 3);
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(c->item(Variant("kb")).rawString(), "B");
  EXPECT_EQ(c->item(Variant::integer(3)).rawString(), "C");
  EXPECT_EQ(c->key(Variant(1)), "ka");
}

TEST(SuperCollectionAdd, ItemsWithoutKeyAreReachableByPositionOnly) {
  CSuperCollection c;
  c.add(Variant("x"));
  c.add(Variant("y"), "");
  EXPECT_EQ(c.count(), 2);
  EXPECT_EQ(c.key(Variant(2)), "");
  EXPECT_FALSE(c.keyExists(""));
  EXPECT_EQ(c.keys()->count(), 0);
}

TEST(SuperCollectionAdd, BeforeAndAfterAPosition) {
  auto c = abc();
  c->add(Variant("x"), "kx", Mode::kBefore, Variant(2));
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"A", "x", "B", "C"}));
  c->add(Variant("y"), "ky", Mode::kAfter, Variant(2));
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"A", "x", "y", "B", "C"}));
  // Before the first is the front, after the last the end.
  c->add(Variant("f"), "", Mode::kBefore, Variant(1));
  c->add(Variant("l"), "", Mode::kAfter, Variant(c->count()));
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"f", "A", "x", "y", "B", "C", "l"}));
  EXPECT_EQ(c->item(Variant("ky")).rawString(), "y");
}

TEST(SuperCollectionAdd, PositionGivenAsKey) {
  auto c = abc();
  c->add(Variant("x"), "", Mode::kAfter, Variant("KA"));
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"A", "x", "B", "C"}));
}

TEST(SuperCollectionAdd, ModeNeedingAPositionWithoutOne) {
  auto c = abc();
  EXPECT_TW_ERROR_TEXT(c->add(Variant("x"), "kx", Mode::kBefore), kNoPosition, "No position supplied.");
  EXPECT_TW_ERROR_TEXT(c->add(Variant("x"), "kx", Mode::kAfter, Variant::error(kParamNotFound)), kNoPosition,
                       "No position supplied.");
  EXPECT_EQ(c->count(), 3);
  EXPECT_FALSE(c->keyExists("kx"));
}

TEST(SuperCollectionAdd, PositionOutOfRange) {
  auto c = abc();
  EXPECT_TW_ERROR(c->add(Variant("x"), "", Mode::kBefore, Variant(0)), kErrSubscript);
  EXPECT_TW_ERROR(c->add(Variant("x"), "", Mode::kAfter, Variant(4)), kErrSubscript);
  CSuperCollection empty;
  EXPECT_TW_ERROR(empty.add(Variant("x"), "", Mode::kBefore, Variant(1)), kErrSubscript);
  EXPECT_EQ(c->count(), 3);
}

TEST(SuperCollectionAdd, UnknownPositionModeIsRefused) {
  auto c = abc();
  EXPECT_TW_ERROR_TEXT(c->add(Variant("x"), "", 7, Variant(1)), kUndefined, "Undifined error");
  EXPECT_EQ(c->count(), 3);
}

TEST(SuperCollectionKeys, DuplicateUnderTextCompareDiffersOnlyInCase) {
  auto c = abc(Mode::kTextCompare);
  EXPECT_TW_ERROR(c->add(Variant("dup"), "KA"), kErrDuplicateKey);
  EXPECT_EQ(c->count(), 3);
  EXPECT_EQ(c->item(Variant("ka")).rawString(), "A");
  EXPECT_TRUE(c->keyExists("Kb"));
}

TEST(SuperCollectionKeys, BinaryCompareKeepsCaseApart) {
  auto c = abc(Mode::kBinaryCompare);
  c->add(Variant("other"), "KA");
  EXPECT_EQ(c->count(), 4);
  EXPECT_EQ(c->item(Variant("ka")).rawString(), "A");
  EXPECT_EQ(c->item(Variant("KA")).rawString(), "other");
  EXPECT_FALSE(c->keyExists("Kb"));
  EXPECT_TW_ERROR(c->add(Variant("dup"), "ka"), kErrDuplicateKey);
}

TEST(SuperCollectionKeys, TextCompareFoldsNonAsciiLetters) {
  CSuperCollection c;
  c.setCompareMode(Mode::kTextCompare);
  c.add(Variant("x"), "Straße Ärger");
  EXPECT_TRUE(c.keyExists("STRAßE ärger"));
  EXPECT_TW_ERROR(c.add(Variant("y"), "straße ÄRGER"), kErrDuplicateKey);
}

TEST(SuperCollectionLookup, ArgumentTypes) {
  auto c = abc();
  EXPECT_TW_ERROR_TEXT(c->item(Variant(true)), kInvalidDatatype, "Invalid datatype");
  EXPECT_TW_ERROR_TEXT(c->item(Variant()), kInvalidDatatype, "Invalid datatype");
  EXPECT_TW_ERROR_TEXT(c->item(Variant::null()), kInvalidDatatype, "Invalid datatype");
  EXPECT_TW_ERROR_TEXT(c->item(Variant("nope")), kKeyNotFound, "Key not found.");
  EXPECT_TW_ERROR(c->item(Variant(0)), kErrSubscript);
  EXPECT_TW_ERROR(c->item(Variant(4)), kErrSubscript);
  EXPECT_TW_ERROR(c->item(Variant(1e300)), kErrSubscript);
  // Other numeric subtypes are positions too; fractions round halves to even.
  EXPECT_EQ(c->item(Variant::byte(2)).rawString(), "B");
  EXPECT_EQ(c->item(Variant::single(3.0f)).rawString(), "C");
  EXPECT_EQ(c->item(Variant::currency(10000)).rawString(), "A");
  EXPECT_EQ(c->item(Variant(1.5)).rawString(), "B");
  EXPECT_EQ(c->item(Variant(2.5)).rawString(), "B");
  EXPECT_EQ(c->item(Variant(2.6)).rawString(), "C");
}

TEST(SuperCollectionItem, AssignmentNeedsPermission) {
  auto c = abc();
  EXPECT_FALSE(c->allowItemAssignments());
  EXPECT_TW_ERROR(c->setItem(Variant(1), Variant("z")), kErrNoSuchMember);
  EXPECT_EQ(c->item(Variant(1)).rawString(), "A");
  c->setAllowItemAssignments(true);
  c->setItem(Variant(1), Variant("z"));
  c->setItem(Variant("KC"), Variant("w"));
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"z", "B", "w"}));
  EXPECT_EQ(c->key(Variant(1)), "ka");
}

TEST(SuperCollectionItem, ObjectsAreStoredAsReferences) {
  CSuperCollection c;
  auto obj = makeRef<Named>();
  c.add(Variant(obj), "o");
  EXPECT_EQ(obj->refCount(), 2);
  EXPECT_EQ(c.item(Variant("o")).rawObject(), obj.get());
  c.remove(Variant("o"));
  EXPECT_EQ(obj->refCount(), 1);
}

TEST(SuperCollectionRemove, LaterItemsMoveUp) {
  for (int32_t base : {1, 0, 5, -3}) {
    CSuperCollection c;
    c.setBaseIndex(base);
    c.add(Variant("A"), "ka");
    c.add(Variant("B"), "kb");
    c.add(Variant("C"), "kc");
    c.remove(Variant(base));
    ASSERT_EQ(c.count(), 2) << base;
    EXPECT_EQ(c.item(Variant(base)).rawString(), "B") << base;
    EXPECT_EQ(c.item(Variant(base + 1)).rawString(), "C") << base;
    EXPECT_TW_ERROR(c.item(Variant(base + 2)), kErrSubscript);
    EXPECT_FALSE(c.keyExists("ka"));
    EXPECT_EQ(c.positionOfKey("kc"), base + 1);
  }
}

TEST(SuperCollectionRemove, ByKeyFreesTheKey) {
  auto c = abc();
  c->remove(Variant("KB"));
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"A", "C"}));
  EXPECT_TW_ERROR(c->remove(Variant("kb")), kKeyNotFound);
  c->add(Variant("B2"), "kb");
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"A", "C", "B2"}));
  EXPECT_EQ(c->item(Variant("kb")).rawString(), "B2");
}

TEST(SuperCollectionChangeKey, RenamesAndKeepsPosition) {
  auto c = abc();
  c->changeKey("KB", "renamed");
  EXPECT_FALSE(c->keyExists("kb"));
  EXPECT_EQ(c->item(Variant("RENAMED")).rawString(), "B");
  EXPECT_EQ(c->key(Variant(2)), "renamed");
  EXPECT_TW_ERROR(c->changeKey("kb", "x"), kKeyNotFound);
  EXPECT_TW_ERROR(c->changeKey("ka", "KC"), kErrDuplicateKey);
  EXPECT_EQ(c->item(Variant("ka")).rawString(), "A");
  // A change of letter case only is not a clash with itself.
  c->changeKey("ka", "KA");
  EXPECT_EQ(c->key(Variant(1)), "KA");
}

TEST(SuperCollectionChangeKey, ObjectItemsGetTheNewKey) {
  CSuperCollection c;
  c.setCompareMode(Mode::kTextCompare);
  auto obj = makeRef<Named>();
  obj->key = "old";
  c.add(Variant(obj), "old");
  c.changeKey("old", "new");
  EXPECT_EQ(obj->key, "new");
}

TEST(SuperCollectionChangeKey, ByIndex) {
  auto c = abc();
  c->changeKeyForIndex(Variant(3), "third");
  EXPECT_EQ(c->item(Variant("third")).rawString(), "C");
  EXPECT_FALSE(c->keyExists("kc"));
  EXPECT_TW_ERROR(c->changeKeyForIndex(Variant(1), "THIRD"), kErrDuplicateKey);
  EXPECT_TW_ERROR(c->changeKeyForIndex(Variant(9), "z"), kErrSubscript);
}

TEST(SuperCollectionMove, BeforeAndAfter) {
  auto c = abc();
  c->moveItem(Variant(1), Variant(3), Mode::kAfter);
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"B", "C", "A"}));
  c->moveItem(Variant("ka"), Variant("kb"), Mode::kBefore);
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"A", "B", "C"}));
  c->moveItem(Variant(3), Variant(2), Mode::kBefore);
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"A", "C", "B"}));
  c->moveItem(Variant(1), Variant(2), Mode::kAfter);
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"C", "A", "B"}));
  c->moveItem(Variant(2), Variant(2), Mode::kAfter);
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"C", "A", "B"}));
  EXPECT_EQ(c->positionOfKey("kc"), 1);
}

TEST(SuperCollectionMove, RefusedWhileAnEnumerationRuns) {
  auto c = abc();
  {
    Ref<Enumerator> e = c->newEnum();
    EXPECT_TW_ERROR_TEXT(c->moveItem(Variant(1), Variant(2), Mode::kAfter), kMoveInLoop,
                         "Move not allowed while in For...Each loop.");
    Ref<Enumerator> copy = e->clone();
    e.reset();
    // The clone is an enumeration of its own.
    EXPECT_TW_ERROR(c->moveItem(Variant(1), Variant(2), Mode::kAfter), kMoveInLoop);
  }
  EXPECT_EQ(c->runningEnumerations(), 0);
  c->moveItem(Variant(1), Variant(2), Mode::kAfter);
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"B", "A", "C"}));
}

TEST(SuperCollectionMove, UnknownRelation) {
  auto c = abc();
  EXPECT_TW_ERROR_TEXT(c->moveItem(Variant(1), Variant(2), 0), kUndefined, "Undifined error");
  EXPECT_TW_ERROR_TEXT(c->moveItem(Variant(1), Variant(2), 3), kUndefined, "Undifined error");
  EXPECT_TW_ERROR(c->moveItem(Variant("none"), Variant(2), Mode::kBefore), kKeyNotFound);
  EXPECT_TW_ERROR(c->moveItem(Variant(1), Variant(9), Mode::kBefore), kErrSubscript);
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"A", "B", "C"}));
}

TEST(SuperCollectionSettings, FixedOnceItemsExist) {
  auto c = abc();
  EXPECT_TW_ERROR_TEXT(c->setBaseIndex(0), kInitialized, "Collection already initialized");
  EXPECT_TW_ERROR_TEXT(c->setCompareMode(Mode::kBinaryCompare), kInitialized,
                       "Collection already initialized");
  EXPECT_EQ(c->baseIndex(), 1);
  EXPECT_EQ(c->compareMode(), Mode::kTextCompare);
  c->clear();
  EXPECT_EQ(c->count(), 0);
  EXPECT_FALSE(c->keyExists("ka"));
  c->setBaseIndex(0);
  c->setCompareMode(Mode::kBinaryCompare);
  c->add(Variant("x"), "ka");
  EXPECT_EQ(c->item(Variant(0)).rawString(), "x");
}

TEST(SuperCollectionSettings, CompareModeOutsideZeroAndOne) {
  CSuperCollection c;
  EXPECT_TW_ERROR(c.setCompareMode(2), kErrSubscript);
  EXPECT_TW_ERROR(c.setCompareMode(-1), kErrSubscript);
  EXPECT_EQ(c.compareMode(), Mode::kBinaryCompare);
}

TEST(SuperCollectionKeysList, NamesAndPositionsInOrder) {
  CSuperCollection c;
  c.setBaseIndex(0);
  c.add(Variant("A"), "ka");
  c.add(Variant("no key"));
  c.add(Variant("C"), "KC");
  c.add(Variant("D"), "kd", Mode::kBefore, Variant(0));
  Ref<CKeys> keys = c.keys();
  ASSERT_EQ(keys->count(), 3);
  std::vector<std::pair<std::string, int32_t>> seen;
  Ref<Enumerator> e = keys->newEnum();
  Variant v;
  while (e->next(v)) {
    auto* k = static_cast<cKey*>(v.rawObject());
    seen.emplace_back(k->name(), k->associatedIndex());
  }
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, int32_t>>{{"kd", 0}, {"ka", 1}, {"KC", 3}}));
  EXPECT_EQ(keys->item(Variant(1))->name(), "ka");
  EXPECT_EQ(keys->item(Variant("KC"))->associatedIndex(), 3);
  EXPECT_TW_ERROR(keys->item(Variant("kc")), kKeyNotFound);  // the collection compares binary
  EXPECT_TW_ERROR(keys->item(Variant(3)), kErrSubscript);
  EXPECT_TW_ERROR(keys->item(Variant("zz")), kKeyNotFound);
  // Scripts reach the same through the automation members.
  EXPECT_EQ(keys->get("Count").rawLong(), 3);
  Variant first = keys->get("Item", {Variant(0)});
  EXPECT_EQ(first.toObject()->get("Name").rawString(), "kd");
  EXPECT_EQ(first.toObject()->get("AssociatedIndex").rawLong(), 0);
}

TEST(SuperCollectionEnumerator, NextSkipResetClone) {
  auto c = abc();
  c->add(Variant("D"));
  Ref<Enumerator> e = c->newEnum();
  Variant v;
  ASSERT_TRUE(e->next(v));
  EXPECT_EQ(v.rawString(), "A");
  EXPECT_TRUE(e->skip(1));
  Ref<Enumerator> copy = e->clone();
  ASSERT_TRUE(e->next(v));
  EXPECT_EQ(v.rawString(), "C");
  ASSERT_TRUE(copy->next(v));
  EXPECT_EQ(v.rawString(), "C");
  EXPECT_FALSE(e->skip(5));
  EXPECT_FALSE(e->next(v));
  e->reset();
  ASSERT_TRUE(e->next(v));
  EXPECT_EQ(v.rawString(), "A");
  EXPECT_EQ(c->runningEnumerations(), 2);
}

TEST(SuperCollectionEnumerator, EmptyCollection) {
  auto c = makeRef<CSuperCollection>();
  Ref<Enumerator> e = c->newEnum();
  Variant v;
  EXPECT_FALSE(e->next(v));
  EXPECT_TRUE(v.isEmpty());
}

TEST(SuperCollectionAutomation, MembersByName) {
  auto c = makeRef<CSuperCollection>();
  c->put("CompareMode", Variant(1));
  c->put("BaseIndex", Variant(1));
  c->call("Add", {Variant("A"), Variant("ka")});
  c->call("Add", {Variant("B")});
  c->call("Add", {Variant("C"), Variant("kc"), Variant(1), Variant(1)});
  EXPECT_TW_ERROR(c->call("Add", {Variant("x"), Variant("kx"), Variant(2)}), kNoPosition);
  EXPECT_EQ(c->get("Count").rawLong(), 3);
  EXPECT_EQ(c->get("Item", {Variant("KA")}).rawString(), "A");
  std::vector<Variant> args{Variant(3)};
  EXPECT_EQ(c->invoke(kDispIdValue, kInvokeGet, args).rawString(), "B");  // Item is the default member
  EXPECT_EQ(c->get("Key", {Variant(1)}).rawString(), "kc");
  EXPECT_TRUE(c->call("KeyExists", {Variant("KC")}).rawBool());
  EXPECT_TW_ERROR(c->put("Item", Variant("z"), {Variant(1)}), kErrNoSuchMember);
  c->put("AllowItemAsignments", Variant(true));
  EXPECT_TRUE(c->get("AllowItemAsignments").rawBool());
  c->put("Item", Variant("z"), {Variant(1)});
  EXPECT_EQ(c->item(Variant(1)).rawString(), "z");
  c->call("MoveItem", {Variant(1), Variant(3), Variant(2)});
  c->call("ChangeKey", {Variant("ka"), Variant("first")});
  c->call("Remove", {Variant("first")});
  EXPECT_EQ(itemsOf(*c), (std::vector<std::string>{"B", "z"}));
  Variant keys = c->get("Keys");
  EXPECT_EQ(keys.toObject()->get("Count").rawLong(), 1);
  c->call("Clear");
  EXPECT_EQ(c->count(), 0);
}

// Random operations checked against a plain list: positions, keys and the
// free-slot reuse must always agree.
TEST(SuperCollectionModel, RandomOperationsMatchAPlainList) {
  std::mt19937 rng(12345);
  CSuperCollection c;
  c.setCompareMode(Mode::kTextCompare);
  struct Entry {
    std::string key;
    int value;
  };
  std::vector<Entry> model;
  int next = 0;
  auto findKey = [&](const std::string& k) {
    for (size_t i = 0; i < model.size(); ++i)
      if (!k.empty() && equalsNoCase(model[i].key, k)) return static_cast<int>(i);
    return -1;
  };
  for (int step = 0; step < 4000; ++step) {
    int op = static_cast<int>(rng() % 5);
    std::string key = rng() % 4 == 0 ? std::string() : "K" + std::to_string(rng() % 60);
    if (rng() % 2) key = toLower(key);
    int n = static_cast<int>(model.size());
    if (op <= 1) {
      bool dup = findKey(key) >= 0;
      int mode = n == 0 ? 0 : static_cast<int>(rng() % 3);
      int pos = n == 0 ? 1 : static_cast<int>(rng() % n) + 1;
      try {
        c.add(Variant(next), key, mode, Variant(pos));
        ASSERT_FALSE(dup);
        size_t at = mode == 0 ? model.size() : mode == 1 ? pos - 1 : pos;
        model.insert(model.begin() + static_cast<long>(at), {key, next});
      } catch (const Error& e) {
        ASSERT_TRUE(dup);
        ASSERT_EQ(e.number(), kErrDuplicateKey);
      }
      ++next;
    } else if (op == 2 && n > 0) {
      int pos = static_cast<int>(rng() % n);
      if (!model[pos].key.empty() && rng() % 2)
        c.remove(Variant(model[pos].key));
      else
        c.remove(Variant(pos + 1));
      model.erase(model.begin() + pos);
    } else if (op == 3 && n > 1) {
      int from = static_cast<int>(rng() % n), to = static_cast<int>(rng() % n);
      int rel = 1 + static_cast<int>(rng() % 2);
      c.moveItem(Variant(from + 1), Variant(to + 1), rel);
      if (from != to) {
        Entry e = model[from];
        model.erase(model.begin() + from);
        int t = from < to ? to - 1 : to;
        model.insert(model.begin() + (rel == 1 ? t : t + 1), e);
      }
    } else if (op == 4 && n > 0) {
      int pos = static_cast<int>(rng() % n);
      std::string newKey = "N" + std::to_string(rng() % 60);
      int clash = findKey(newKey);
      try {
        c.changeKeyForIndex(Variant(pos + 1), newKey);
        ASSERT_TRUE(clash < 0 || clash == pos);
        model[pos].key = newKey;
      } catch (const Error& e) {
        ASSERT_TRUE(clash >= 0 && clash != pos);
        ASSERT_EQ(e.number(), kErrDuplicateKey);
      }
    }
    ASSERT_EQ(c.count(), static_cast<int32_t>(model.size()));
    if (step % 50 == 0) {
      for (size_t i = 0; i < model.size(); ++i) {
        ASSERT_EQ(c.item(Variant(static_cast<int>(i) + 1)).rawLong(), model[i].value);
        ASSERT_EQ(c.key(Variant(static_cast<int>(i) + 1)), model[i].key);
        if (!model[i].key.empty()) {
          ASSERT_EQ(c.item(Variant(toUpper(model[i].key))).rawLong(), model[i].value);
          ASSERT_EQ(c.positionOfKey(model[i].key), static_cast<int32_t>(i) + 1);
        }
      }
    }
  }
}

}  // namespace
}  // namespace tw
