#include <gtest/gtest.h>

#include "automation/error.h"
#include "model/property.h"
#include "support/super_collection.h"

namespace tw {
namespace {

TEST(AGProperties, AddWithOnlyANameUsesTheDefaults) {
  AGProperties props;
  ASSERT_TRUE(props.Add("ProjName"));
  const AGProperty& p = props.Item("ProjName");
  EXPECT_EQ(p.DataType(), "String");
  EXPECT_FALSE(p.RegSave());
  EXPECT_EQ(p.RegFormat(), 0);
  EXPECT_TRUE(p.FileSave());
  EXPECT_TRUE(p.Sync());
  EXPECT_TRUE(p.Value().isEmpty());
}

TEST(AGProperties, AddRefusesEmptyDuplicateAndCaseVariantNames) {
  AGProperties props;
  ASSERT_TRUE(props.Add("ProjName", "Boolean", true, 1, false, false));
  EXPECT_FALSE(props.Add("ProjName"));
  EXPECT_FALSE(props.Add("projname"));
  EXPECT_FALSE(props.Add(""));
  EXPECT_EQ(props.Count(), 1);
  // The refused second Add left the first registration as it was.
  EXPECT_EQ(props.Item("ProjName").DataType(), "Boolean");
  EXPECT_TRUE(props.Item("ProjName").RegSave());
}

TEST(AGProperties, ItemIgnoresCaseButPropertyExistDoesNot) {
  AGProperties props;
  props.Add("ProjName");
  EXPECT_EQ(props.Item("projname").Name(), "ProjName");
  EXPECT_FALSE(props.PropertyExist(Variant("projname")));
  EXPECT_TRUE(props.PropertyExist(Variant("ProjName")));
}

TEST(AGProperties, ItemOfAMissingNameOrPositionRaisesTheCollectionError) {
  AGProperties props;
  props.Add("A");
  try {
    props.Item("B");
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrKeyNotFound);
    EXPECT_EQ(e.description(), "Key not found.");
  }
  try {
    props.Item(Variant(2));
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrSubscript);
  }
  EXPECT_EQ(props.Item(Variant(1)).Name(), "A");
}

TEST(AGProperties, WritingKeyRenamesButKeepsTheCollectionKey) {
  AGProperties props;
  props.Add("Old");
  props.Item("Old").put("Key", Variant("Renamed"));
  EXPECT_EQ(props.Item("Old").Name(), "Renamed");
  EXPECT_EQ(props.Item("Old").get("Key").toString(), "Renamed");
  EXPECT_THROW(props.Item("Renamed"), Error);
  // PropertyExist looks at names, so the renamed property answers to its new name.
  EXPECT_TRUE(props.PropertyExist(Variant("Renamed")));
  EXPECT_FALSE(props.PropertyExist(Variant("Old")));
}

TEST(AGProperties, DeleteRemovesOnlyPresentNames) {
  AGProperties props;
  props.Add("A");
  props.Add("B");
  EXPECT_FALSE(props.Delete(Variant("")));
  EXPECT_FALSE(props.Delete(Variant("C")));
  EXPECT_FALSE(props.Delete(Variant("a")));  // exact names only
  EXPECT_TRUE(props.Delete(Variant("A")));
  EXPECT_EQ(props.Count(), 1);
  EXPECT_EQ(props.Item(Variant(1)).Name(), "B");
}

TEST(AGProperties, EnumeratesInRegistrationOrder) {
  AGProperties props;
  for (const char* n : {"Zeta", "Alpha", "Mid"}) props.Add(n);
  Ref<Enumerator> e = props.newEnum();
  std::vector<std::string> names;
  Variant v;
  while (e->next(v)) names.push_back(static_cast<AGProperty*>(v.rawObject())->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "Alpha", "Mid"}));
}

TEST(AGProperties, ScriptsReachMembersByNameAndDefaultMembers) {
  auto props = makeRef<AGProperties>();
  EXPECT_TRUE(props->call("Add", {Variant("Count1"), Variant("Integer"), Variant(true), Variant(4)}).toBool());
  Variant item = props->invoke(kDispIdValue, kInvokeGet, std::vector<Variant>{Variant("COUNT1")});
  ASSERT_TRUE(item.isObject());
  item.rawObject()->put("value", Variant(7));
  // The property's default member is its Value.
  EXPECT_EQ(item.valueOf().toLong(), 7);
  EXPECT_EQ(item.rawObject()->get("RegFormat").toLong(), 4);
  EXPECT_EQ(props->get("count").toLong(), 1);
  EXPECT_THROW(props->get("NoSuchMember"), Error);
}

TEST(AGProperties, CopySyncCarriesOnlySyncSettings) {
  AGProperties from, to;
  for (AGProperties* s : {&from, &to}) {
    s->Add("Caption", "String", false, 0, true, true);
    s->Add("Name", "String", false, 0, true, false);
  }
  from.Item("Caption").setValue(Variant("Old caption"));
  from.Item("Name").setValue(Variant("old"));
  to.Item("Name").setValue(Variant("new"));
  CopySyncProperties(from, to);
  EXPECT_EQ(to.Item("Caption").Value().toString(), "Old caption");
  EXPECT_EQ(to.Item("Name").Value().toString(), "new");
}

}  // namespace
}  // namespace tw
