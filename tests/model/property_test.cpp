#include <gtest/gtest.h>

#include <functional>

#include "automation/error.h"
#include "model/property.h"
#include "model/settings.h"
#include "support/super_collection.h"

namespace tw {
namespace {

Ref<AGProperties> newStore() { return makeRef<AGProperties>(); }

std::string nameOf(const Variant& item) {
  return static_cast<AGProperty*>(item.rawObject())->resolve().Name();
}

TEST(AGProperties, AddWithOnlyANameUsesTheDefaults) {
  auto props = newStore();
  ASSERT_TRUE(props->Add("ProjName"));
  PropertyAt p = props->Item("ProjName");
  EXPECT_EQ(p.DataType(), "String");
  EXPECT_FALSE(p.RegSave());
  EXPECT_EQ(p.RegFormat(), 0);
  EXPECT_TRUE(p.FileSave());
  EXPECT_TRUE(p.Sync());
  EXPECT_TRUE(p.Value().isEmpty());
}

TEST(AGProperties, AddRefusesEmptyDuplicateAndCaseVariantNames) {
  auto props = newStore();
  ASSERT_TRUE(props->Add("ProjName", "Boolean", true, 1, false, false));
  EXPECT_FALSE(props->Add("ProjName"));
  EXPECT_FALSE(props->Add("projname"));
  EXPECT_FALSE(props->Add(""));
  EXPECT_EQ(props->Count(), 1);
  // The refused second Add left the first registration as it was.
  EXPECT_EQ(props->Item("ProjName").DataType(), "Boolean");
  EXPECT_TRUE(props->Item("ProjName").RegSave());
}

TEST(AGProperties, ItemIgnoresCaseButPropertyExistDoesNot) {
  auto props = newStore();
  props->Add("ProjName");
  EXPECT_EQ(props->Item("projname").Name(), "ProjName");
  EXPECT_FALSE(props->PropertyExist(Variant("projname")));
  EXPECT_TRUE(props->PropertyExist(Variant("ProjName")));
}

TEST(AGProperties, ItemOfAMissingNameOrPositionRaisesTheCollectionError) {
  auto props = newStore();
  props->Add("A");
  try {
    props->Item("B");
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrKeyNotFound);
    EXPECT_EQ(e.description(), "Key not found.");
  }
  try {
    props->Item(Variant(2));
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrSubscript);
  }
  try {
    props->Item(Variant(true));
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrInvalidDatatype);
  }
  EXPECT_EQ(props->Item(Variant(1)).Name(), "A");
}

TEST(AGProperties, WritingKeyRenamesButKeepsTheCollectionKey) {
  auto props = newStore();
  props->Add("Old");
  Variant prop = props->get("Item", {Variant("Old")});
  prop.rawObject()->put("Key", Variant("Renamed"));
  EXPECT_EQ(props->Item("Old").Name(), "Renamed");
  EXPECT_EQ(prop.rawObject()->get("Name").toString(), "Renamed");
  EXPECT_THROW(props->Item("Renamed"), Error);
  // PropertyExist looks at names, so the renamed property answers to its new name.
  EXPECT_TRUE(props->PropertyExist(Variant("Renamed")));
  EXPECT_FALSE(props->PropertyExist(Variant("Old")));
}

TEST(AGProperties, DeleteRemovesOnlyPresentNames) {
  auto props = newStore();
  props->Add("A");
  props->Add("B");
  props->setValue("B", Variant("kept"));
  EXPECT_FALSE(props->Delete(Variant("")));
  EXPECT_FALSE(props->Delete(Variant("C")));
  EXPECT_FALSE(props->Delete(Variant("a")));  // exact names only
  EXPECT_TRUE(props->Delete(Variant("A")));
  EXPECT_EQ(props->Count(), 1);
  EXPECT_EQ(props->Item(Variant(1)).Name(), "B");
  EXPECT_EQ(props->value("b").toString(), "kept");
}

TEST(AGProperties, EnumeratesInRegistrationOrder) {
  auto props = newStore();
  for (const char* n : {"Zeta", "Alpha", "Mid"}) props->Add(n);
  Ref<Enumerator> e = props->newEnum();
  std::vector<std::string> names;
  Variant v;
  while (e->next(v)) names.push_back(nameOf(v));
  EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "Alpha", "Mid"}));
}

TEST(AGProperties, ScriptsReachMembersByNameAndDefaultMembers) {
  auto props = newStore();
  EXPECT_TRUE(
      props->call("Add", {Variant("Count1"), Variant("Integer"), Variant(true), Variant(4)}).toBool());
  std::vector<Variant> args{Variant("COUNT1")};
  Variant item = props->invoke(kDispIdValue, kInvokeGet, args);
  ASSERT_TRUE(item.isObject());
  item.rawObject()->put("value", Variant(7));
  // The property's default member is its Value.
  EXPECT_EQ(item.valueOf().toLong(), 7);
  EXPECT_EQ(item.rawObject()->get("RegFormat").toLong(), 4);
  EXPECT_EQ(props->get("count").toLong(), 1);
  EXPECT_THROW(props->get("NoSuchMember"), Error);
}

TEST(AGProperties, ScriptsGetOnePropertyObjectThatOutlivesItsDeletion) {
  auto props = newStore();
  for (const char* n : {"A", "B", "C"}) props->Add(n, "Integer", true, 4, false, true);
  auto item = [&](const Variant& index) {
    std::vector<Variant> args{index};
    return props->invoke(kDispIdValue, kInvokeGet, args);
  };
  // Every way to the same property gives the same object.
  Variant b = item(Variant("B"));
  for (const Variant& index : {Variant("B"), Variant("b"), Variant(2), Variant(2.2)})
    EXPECT_EQ(item(index).rawObject(), b.rawObject());
  Ref<Enumerator> e = props->newEnum();
  Variant v;
  std::vector<Dispatch*> enumerated;
  while (e->next(v)) enumerated.push_back(v.rawObject());
  ASSERT_EQ(enumerated.size(), 3u);
  EXPECT_EQ(enumerated[1], b.rawObject());
  EXPECT_NE(enumerated[0], enumerated[1]);

  // Held objects keep their name, flags and value once their property has
  // left the store, by Delete or by Clear, and can still be written.
  b.rawObject()->put("Value", Variant(7));
  Variant c = item(Variant("C"));
  c.rawObject()->put("Value", Variant(9));
  ASSERT_TRUE(props->Delete(Variant("B")));
  props->Clear();
  struct Held {
    Variant object;
    const char* name;
    int32_t value;
  };
  for (const Held& h : {Held{b, "B", 7}, Held{c, "C", 9}}) {
    Dispatch& p = *h.object.rawObject();
    EXPECT_EQ(p.get("Name").toString(), h.name);
    EXPECT_EQ(p.get("Value").toLong(), h.value) << h.name;
    EXPECT_EQ(p.get("DataType").toString(), "Integer");
    EXPECT_EQ(p.get("RegFormat").toLong(), 4);
    EXPECT_FALSE(p.get("FileSave").toBool());
    p.put("Value", Variant(h.value + 1));
    EXPECT_EQ(p.get("Value").toLong(), h.value + 1);
  }
  EXPECT_EQ(props->Count(), 0);
  // A property added again under the name is a new object.
  props->Add("B");
  EXPECT_NE(item(Variant("B")).rawObject(), b.rawObject());
  EXPECT_TRUE(props->value("B").isEmpty());
}

TEST(AGProperties, FractionalPositionsRoundAsTheKeyedCollectionRounds) {
  auto props = newStore();
  auto keyed = makeRef<CSuperCollection>();
  for (const char* n : {"A", "B", "C"}) {
    props->Add(n);
    keyed->add(Variant(n), n);
  }
  for (double position : {1.0, 1.4, 1.5, 2.5, 2.7, 3.49, 0.5, 0.4, 3.5, 3.7, -1.0}) {
    std::string fromKeyed, fromStore;
    try {
      fromKeyed = keyed->item(Variant(position)).toString();
    } catch (const Error&) {
      fromKeyed = "error";
    }
    try {
      fromStore = props->Item(Variant(position)).Name();
    } catch (const Error&) {
      fromStore = "error";
    }
    EXPECT_EQ(fromStore, fromKeyed) << position;
  }
  EXPECT_EQ(props->Item(Variant(2.7)).Name(), "C");
}

TEST(AGProperties, CopySyncCarriesOnlySyncSettings) {
  auto from = newStore(), to = newStore();
  for (auto& s : {from, to}) {
    s->Add("Caption", "String", false, 0, true, true);
    s->Add("Name", "String", false, 0, true, false);
  }
  from->setValue("Caption", Variant("Old caption"));
  from->setValue("Name", Variant("old"));
  to->setValue("Name", Variant("new"));
  CopySyncProperties(*from, *to);
  EXPECT_EQ(to->value("Caption").toString(), "Old caption");
  EXPECT_EQ(to->value("Name").toString(), "new");
}

constexpr SettingDef kDefs[] = {
    {"TblName", "String", false, 0, true, false},
    {"TblCaption", "String", true, 1, true, true},
};

TEST(AGProperties, StoresOfOneClassShareMetadataUntilOneChangesIt) {
  static const SettingTable table(kDefs);
  auto a = makeRef<AGProperties>(table.layout());
  auto b = makeRef<AGProperties>(table.layout());
  EXPECT_TRUE(a->sharesLayout(*b));
  a->setValue("TblCaption", Variant("Orders"));
  EXPECT_TRUE(b->value("TblCaption").isEmpty());
  // Changing a flag through one store leaves the other store's metadata alone.
  Variant prop = a->get("Item", {Variant("TblCaption")});
  prop.rawObject()->put("RegSave", Variant(false));
  EXPECT_FALSE(a->Item("TblCaption").RegSave());
  EXPECT_TRUE(b->Item("TblCaption").RegSave());
  EXPECT_FALSE(a->sharesLayout(*b));
  EXPECT_EQ(a->value("TblCaption").toString(), "Orders");
  // Adding to a shared store copies too.
  EXPECT_TRUE(b->Add("Extra"));
  EXPECT_EQ(b->Count(), 3);
  EXPECT_EQ(makeRef<AGProperties>(table.layout())->Count(), 2);
}

// A key resolved once per layout, and a name looked up again and again (a
// script's literal is one shared text, a buffer may be reused for other
// names), find what a first look-up by name finds: in stores of the class's
// layout, in stores with a layout of their own, and after every change that
// moves, removes, renames or brings back a property.
TEST(AGProperties, ResolvedKeysFindWhatALookUpByNameFinds) {
  static const SettingTable table(kDefs);
  static const SettingKey caption("tblcaption");  // any letter case, as by name
  static const SettingKey extra("Extra");
  auto a = makeRef<AGProperties>(table.layout());
  auto b = makeRef<AGProperties>(table.layout());
  auto plain = newStore();
  // A script's literal: the same text object at every look-up.
  const Variant literal("TBLCAPTION");
  // One buffer at one address, filled with other names in turn.
  std::string buffer;
  buffer.reserve(64);
  const char* const bufferAt = buffer.data();
  auto positionOf = [](AGProperties& store, const Variant& index) {
    try {
      return store.Item(index).index();
    } catch (const Error&) {
      return -1;
    }
  };
  struct Step {
    const char* what;
    std::function<void()> change;
    AGProperties* store;
    int32_t caption, extra;   // positions expected
    const char* captionName;  // the caption's Name as PropertyExist sees it; null when absent
  };
  const Step steps[] = {
      {"a store of the class's layout", [] {}, a.get(), 1, -1, "TblCaption"},
      {"a property added to another store", [&] { b->Add("Extra"); }, b.get(), 1, 2, "TblCaption"},
      {"the first store again", [] {}, a.get(), 1, -1, "TblCaption"},
      {"the property before it deleted", [&] { b->Delete(Variant("TblName")); }, b.get(), 0, 1, "TblCaption"},
      {"deleted itself", [&] { b->Delete(Variant("TblCaption")); }, b.get(), -1, 0, nullptr},
      {"added back after the others", [&] { b->Add("TBLCAPTION"); }, b.get(), 1, 0, "TBLCAPTION"},
      {"renamed: the key stays", [&] { b->get("Item", {Variant("tblcaption")}).rawObject()->put("Name",
                                                                                              Variant("Title")); },
       b.get(), 1, 0, "Title"},
      {"every property cleared", [&] { b->Clear(); }, b.get(), -1, -1, nullptr},
      {"the class's layout added to the cleared store", [&] { b->AddLayout(table.layout()); }, b.get(), 1, -1,
       "TblCaption"},
      {"a store built up by hand", [&] { plain->Add("Extra"); plain->Add("TblCaption"); }, plain.get(), 1, 0,
       "TblCaption"},
      {"a flag changed: a copy of the layout",
       [&] { a->get("Item", {Variant("TblCaption")}).rawObject()->put("RegSave", Variant(false)); }, a.get(), 1,
       -1, "TblCaption"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    AGProperties& store = *step.store;
    // Twice each: the second look-up may be answered from what the first found.
    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(store.findKey(caption), step.caption);
      EXPECT_EQ(store.findKey("TblCaption"), step.caption);
      EXPECT_EQ(store.findKey(extra), step.extra);
      EXPECT_EQ(positionOf(store, literal), step.caption);
      const struct {
        const char* name;
        int32_t expected;
      } reused[] = {{"tblcaption", step.caption}, {"Extra", step.extra}, {"EXTRA", step.extra},
                    {"Extrb", -1}, {"Extr", -1}, {"TblCaptionX", -1}, {"TblCaption", step.caption}};
      for (const auto& r : reused) {
        buffer.assign(r.name);
        ASSERT_EQ(buffer.data(), bufferAt);
        EXPECT_EQ(store.findKey(buffer), r.expected) << r.name;
        EXPECT_EQ(positionOf(store, Variant(buffer)), r.expected) << r.name;
      }
      for (const char* name : {"TblCaption", "TBLCAPTION", "Title"}) {
        const bool named = step.captionName && std::string_view(step.captionName) == name;
        EXPECT_EQ(store.PropertyExist(Variant(name)), named) << name;
      }
    }
    if (step.caption >= 0) {
      store.setValue(caption, Variant(step.what));
      EXPECT_EQ(store.value("TblCaption").toString(), step.what);
      EXPECT_EQ(store.get("Item", {literal}).valueOf().toString(), step.what);
    } else {
      EXPECT_THROW(store.value(caption), Error);
      EXPECT_THROW(store.get("Item", {literal}), Error);
    }
  }
}

}  // namespace
}  // namespace tw
