// The collections of databases, tables, fields and charts: the shared pattern
// and where each collection differs, from C++ and through Dispatch by name.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/database.h"
#include "support/engine_context.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using Collections = testing::FreshEngine;

template <class C>
std::vector<std::string> enumeratedNames(C& collection, std::string_view nameSetting) {
  std::vector<std::string> names;
  Ref<Enumerator> e = collection.newEnum();
  Variant item;
  while (e->next(item)) names.push_back(static_cast<SettingsOwner*>(item.rawObject())->str(nameSetting));
  return names;
}

// Calls the default member, as `coll(x)` does in a script.
Variant callDefault(Dispatch& obj, Variant arg) {
  std::vector<Variant> args{std::move(arg)};
  return obj.invoke(kDispIdValue, kInvokeGet | kInvokeMethod, args);
}

TEST_F(Collections, AddAppendsWithTheNextSequenceNumberAndMakesCurrent) {
  AGPTables tables;
  AGPTable* a = tables.Add("Orders");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->TblName(), "Orders");
  EXPECT_EQ(a->TblSeq(), 1);
  AGPTable* b = tables.Add("Items");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->TblSeq(), 2);
  EXPECT_EQ(tables.curName(), "Items");
  EXPECT_EQ(tables.curSeq(), 2);
  EXPECT_EQ(tables.Count(), 2);

  EXPECT_EQ(tables.Add("Orders"), nullptr);
  EXPECT_EQ(tables.Add(""), nullptr);
  EXPECT_EQ(tables.Count(), 2);
  EXPECT_EQ(tables.curName(), "Items");
  // Keys ignore letter case, so a name differing only in case has no room.
  EXPECT_EQ(tables.Add("ORDERS"), nullptr);
  EXPECT_EQ(tables.Count(), 2);
}

TEST_F(Collections, DeleteClosesTheSequenceGapAndKeepsInsertionOrderAndTheCurrentName) {
  AGPTables tables;
  tables.Add("a");
  tables.Add("b");
  tables.Add("c");
  ASSERT_TRUE(tables.SetItem(Variant("b")));
  EXPECT_TRUE(tables.Delete("b"));
  // The current element is remembered by name, and that stays.
  EXPECT_EQ(tables.curName(), "b");
  EXPECT_EQ(tables.curSeq(), 2);
  EXPECT_EQ(tables.Count(), 2);
  EXPECT_EQ(tables.Item(Variant("c"))->TblSeq(), 2);
  EXPECT_EQ(tables.Seq(1)->TblName(), "a");
  EXPECT_EQ(enumeratedNames(tables, "TblName"), (std::vector<std::string>{"a", "c"}));
  EXPECT_TRUE(tables.Delete("a"));
  EXPECT_EQ(tables.Item(Variant("c"))->TblSeq(), 1);

  EXPECT_FALSE(tables.Delete("zzz"));
  EXPECT_FALSE(tables.Delete(""));
  EXPECT_FALSE(tables.Delete("C"));  // the existence test is exact
}

TEST_F(Collections, DeleteRenumbersByTheSequenceSettingNotByPosition) {
  AGPFields fields;
  fields.Add("a");
  fields.Add("b");
  fields.Add("c");
  // Reordered by the front end: c first, then a, then b.
  fields.Item(Variant("c"))->setSetting("FldSeq", Variant::integer(1));
  fields.Item(Variant("a"))->setSetting("FldSeq", Variant::integer(2));
  fields.Item(Variant("b"))->setSetting("FldSeq", Variant::integer(3));
  EXPECT_TRUE(fields.Delete("a"));
  EXPECT_EQ(fields.Item(Variant("c"))->FldSeq(), 1);
  EXPECT_EQ(fields.Item(Variant("b"))->FldSeq(), 2);
  EXPECT_EQ(fields.Seq(1)->FldName(), "c");
  EXPECT_EQ(fields.Seq(2)->FldName(), "b");
}

TEST_F(Collections, ChangeRenamesTheKeyAndTheNameAndDerivesTheVariableName) {
  AGPTables tables;
  tables.Add("Orders");
  tables.Add("Customers");
  AGPTable* t = tables.Change("Orders", "Order List");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->TblName(), "Order List");
  EXPECT_EQ(t->TblVar(), "Order_List");
  EXPECT_TRUE(tables.TableExist(Variant("Order List")));
  EXPECT_FALSE(tables.TableExist(Variant("Orders")));
  EXPECT_EQ(tables.curName(), "Order List");
  EXPECT_EQ(tables.curSeq(), 1);
  // The key moved with the name: the old key is free, the new one taken.
  EXPECT_NE(tables.Add("Orders"), nullptr);
  EXPECT_EQ(tables.Add("order list"), nullptr);
  EXPECT_TRUE(tables.Delete("Order List"));
  EXPECT_FALSE(tables.TableExist(Variant("Order List")));

  EXPECT_EQ(tables.Change("", "x"), nullptr);
  EXPECT_EQ(tables.Change("Customers", ""), nullptr);
  EXPECT_EQ(tables.Change("Nobody", "x"), nullptr);
  // Another element's key cannot be taken.
  EXPECT_EQ(tables.Change("Customers", "ORDERS"), nullptr);
  EXPECT_EQ(tables.Item(Variant("Customers"))->TblName(), "Customers");
  // A change of letter case only is a rename of the same key.
  ASSERT_NE(tables.Change("Customers", "CUSTOMERS"), nullptr);
  EXPECT_TRUE(tables.TableExist(Variant("CUSTOMERS")));
}

TEST_F(Collections, FieldsAndChartsDeriveTheirVariableNamesTheirOwnWay) {
  AGPFields fields;
  fields.Add("Unit Price");
  AGPField* f = fields.Change("Unit Price", "Unit-Price");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->FldVar(), "x_Unit2DPrice");

  AGPCharts charts;
  AGPChart* c = charts.Add("2005 Sales");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->ChartVar(), "x2005_Sales");  // given on Add already
  charts.Change("2005 Sales", "Sales by Month");
  EXPECT_EQ(c->ChartVar(), "Sales_by_Month");

  // Fields get no FldVar on Add: the loaders set it.
  EXPECT_TRUE(fields.Add("id")->setting("FldVar").isEmpty());
}

TEST_F(Collections, ItemTakesPositionsForNumbersAndExactNamesForTexts) {
  AGPTables tables;
  tables.Add("Orders");
  tables.Add("Items");
  tables.Add("Users");
  EXPECT_EQ(tables.Item(Variant::integer(2))->TblName(), "Items");
  EXPECT_EQ(tables.curName(), "Items");
  EXPECT_EQ(tables.Item(Variant::long_(3))->TblName(), "Users");
  EXPECT_EQ(tables.Item(Variant(1.0))->TblName(), "Orders");
  EXPECT_EQ(tables.Item(Variant::single(2.0f))->TblName(), "Items");
  EXPECT_EQ(tables.Item(Variant::byte(3))->TblName(), "Users");
  EXPECT_EQ(tables.Item(Variant("Orders"))->TblName(), "Orders");
  EXPECT_EQ(tables.curName(), "Orders");

  // Misses give null and leave the current element.
  EXPECT_EQ(tables.Item(Variant::integer(0)), nullptr);
  EXPECT_EQ(tables.Item(Variant::integer(4)), nullptr);
  EXPECT_EQ(tables.Item(Variant("orders")), nullptr);  // exact, unlike the keys
  EXPECT_EQ(tables.Item(Variant(true)), nullptr);
  EXPECT_EQ(tables.Item(Variant()), nullptr);
  EXPECT_EQ(tables.Item(Variant::null()), nullptr);
  EXPECT_EQ(tables.curName(), "Orders");

  EXPECT_FALSE(tables.TableExist(Variant("orders")));
  EXPECT_TRUE(tables.TableExist(Variant("Orders")));
  EXPECT_FALSE(tables.TableExist(Variant::null()));
}

TEST_F(Collections, ItemScansNameSettingsSoARenameBehindTheCollectionsBackIsSeen) {
  AGPTables tables;
  AGPTable* t = tables.Add("Orders");
  t->setSetting("TblName", Variant("Sales"));
  EXPECT_EQ(tables.Item(Variant("Sales")), t);
  EXPECT_EQ(tables.Item(Variant("Orders")), nullptr);
  EXPECT_TRUE(tables.TableExist(Variant("Sales")));
  // Its key is still the name it was added under.
  EXPECT_EQ(tables.Add("ORDERS"), nullptr);
  EXPECT_TRUE(tables.Delete("Sales"));
  EXPECT_EQ(tables.Count(), 0);

  // Every way of writing a name setting is seen, and where several elements
  // carry one name the first in insertion order answers.
  AGPTable* a = tables.Add("a");
  AGPTable* b = tables.Add("b");
  AGPTable* c = tables.Add("c");
  struct Step {
    std::function<void()> rename;
    std::vector<std::pair<const char*, AGPTable*>> expected;  // name -> what Item finds
  };
  const std::vector<Step> steps = {
      {[&] { c->Properties().valueAt(c->Properties().indexOfKey("TblName")) = Variant("x"); },
       {{"x", c}, {"c", nullptr}}},
      {[&] { b->Properties().propertyObject(b->Properties().indexOfKey("TblName"))->put("Value", Variant("x")); },
       {{"x", b}, {"b", nullptr}}},
      {[&] { a->Properties().setValue("tblname", Variant("x")); }, {{"x", a}, {"a", nullptr}}},
      {[&] { a->put("TblName", Variant::integer(5)); }, {{"x", b}, {"5", a}}},
      {[&] { tables.Delete("x"); }, {{"x", c}, {"5", a}}},
      {[&] { a->Properties().Delete(Variant("TblName")); }, {{"5", nullptr}, {"x", c}}},
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    steps[i].rename();
    for (const auto& [name, table] : steps[i].expected) EXPECT_EQ(tables.Item(Variant(name)), table) << i << " " << name;
  }
}

TEST_F(Collections, SeqSetItemAndSetSeqFindByTheirSettings) {
  AGPFields fields;
  fields.Add("a");
  fields.Add("b");
  fields.Add("c");
  ASSERT_TRUE(fields.SetItem(Variant("a")));
  EXPECT_EQ(fields.Seq(3)->FldName(), "c");
  EXPECT_EQ(fields.curName(), "a");  // Seq does not change the current element
  EXPECT_EQ(fields.Seq(4), nullptr);

  EXPECT_TRUE(fields.SetSeq(2));
  EXPECT_EQ(fields.curName(), "b");
  EXPECT_EQ(fields.curSeq(), 2);
  EXPECT_FALSE(fields.SetSeq(9));
  EXPECT_FALSE(fields.SetItem(Variant("B")));
  EXPECT_EQ(fields.curName(), "b");

  // curSeq is the number at the time the element became current.
  fields.Item(Variant("b"))->setSetting("FldSeq", Variant::integer(7));
  EXPECT_EQ(fields.curSeq(), 2);
}

TEST_F(Collections, InSequenceWalksSequenceNumbersThenWhatTheyMiss) {
  AGPFields fields;
  fields.Add("a");
  fields.Add("b");
  fields.Add("c");
  fields.Item(Variant("a"))->setSetting("FldSeq", Variant::integer(3));
  fields.Item(Variant("c"))->setSetting("FldSeq", Variant::integer(1));
  std::vector<std::string> order;
  for (AGPField* f : fields.inSequence()) order.push_back(f->FldName());
  EXPECT_EQ(order, (std::vector<std::string>{"c", "b", "a"}));

  // Two fields with sequence number 1 and none with 3: the first of them in
  // insertion order takes place 1, and the other is still walked, last.
  fields.Item(Variant("a"))->setSetting("FldSeq", Variant::integer(1));
  order.clear();
  for (AGPField* f : fields.inSequence()) order.push_back(f->FldName());
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(Collections, ChartsAddOfAnExistingNameMakesItCurrentWithoutAdding) {
  AGPCharts charts;
  charts.Add("Sales");
  charts.Add("Costs");
  EXPECT_EQ(charts.curName(), "Costs");
  AGPChart* again = charts.Add("Sales");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(charts.Count(), 2);
  EXPECT_EQ(charts.curName(), "Sales");
  EXPECT_EQ(charts.curSeqText(), "1");
  EXPECT_EQ(charts.Add(""), nullptr);

  auto published = makeRef<AGPCharts>();
  published->Add("Sales");
  EXPECT_TRUE(published->call("Add", {Variant("Sales")}).toBool());
  Variant seq = published->get("curSeq");
  ASSERT_EQ(seq.type(), vtString);
  EXPECT_EQ(seq.toString(), "1");
  EXPECT_EQ(published->memberId("SetItem"), kDispIdUnknown);
  EXPECT_EQ(published->memberId("SetSeq"), kDispIdUnknown);
}

TEST_F(Collections, DatabasesHoldOneDatabaseAndLookUpByKeyIgnoringCase) {
  auto dbs = makeRef<AGPDatabases>();
  engine().projErr = "old";
  dbs->Add("Shop");
  EXPECT_EQ(engine().projErr, "");
  EXPECT_EQ(dbs->Count(), 1);
  EXPECT_EQ(dbs->curName(), "Shop");
  EXPECT_EQ(dbs->curSeq(), "1");

  dbs->Add("Other");
  EXPECT_EQ(engine().projErr, "support 1 db only!");
  EXPECT_EQ(dbs->Count(), 1);
  EXPECT_EQ(dbs->at(0)->DBName(), "Shop");

  AGPDatabase* db = dbs->Item(Variant("SHOP"));
  EXPECT_EQ(db->DBName(), "Shop");
  EXPECT_EQ(dbs->Item(Variant::integer(1)), db);
  EXPECT_THROW(dbs->Item(Variant("Other")), Error);
  EXPECT_THROW(dbs->get("Item", {Variant("Other")}), Error);
  Variant seq = dbs->get("curSeq");
  EXPECT_EQ(seq.type(), vtString);

  dbs->Delete("nothing");  // no error, no change
  EXPECT_EQ(dbs->Count(), 1);
  dbs->call("Delete", {Variant("shop")});
  EXPECT_EQ(dbs->Count(), 0);
  dbs->Add("Next");
  EXPECT_EQ(dbs->Count(), 1);
  EXPECT_EQ(engine().projErr, "");
}

TEST_F(Collections, ScriptsReachEveryMemberByName) {
  auto db = makeRef<AGPDatabase>();
  db->setSetting("DBName", Variant("shop"));
  Variant tablesV = db->get("Tables");
  ASSERT_TRUE(tablesV.isObject());
  Dispatch& tables = *tablesV.rawObject();
  EXPECT_TRUE(tables.call("Add", {Variant("orders")}).toBool());
  EXPECT_TRUE(tables.call("Add", {Variant("items")}).toBool());
  EXPECT_FALSE(tables.call("Add", {Variant("orders")}).toBool());
  EXPECT_EQ(tables.get("curName").toString(), "items");
  Variant curSeq = tables.get("curSeq");
  EXPECT_EQ(curSeq.type(), vtInteger);
  EXPECT_EQ(curSeq.rawInteger(), 2);
  EXPECT_EQ(tables.get("Count").toLong(), 2);
  EXPECT_TRUE(tables.call("TableExist", {Variant("orders")}).toBool());

  // TABLE.Fields(name), TABLE.Fields(1) and f.Properties("FldCaption").Value
  Variant orders = callDefault(tables, Variant("orders"));
  ASSERT_TRUE(orders.isObject());
  EXPECT_EQ(tables.get("curName").toString(), "orders");
  Variant fieldsV = orders.rawObject()->get("Fields");
  Dispatch& fields = *fieldsV.rawObject();
  fields.call("Add", {Variant("id")});
  fields.call("Add", {Variant("name")});
  Variant f = callDefault(fields, Variant("name"));
  ASSERT_TRUE(f.isObject());
  f.rawObject()->put("FldCaption", Variant("Name"));
  Variant prop = f.rawObject()->get("Properties", {Variant("FldCaption")});
  ASSERT_TRUE(prop.isObject());
  EXPECT_EQ(prop.rawObject()->get("Value").toString(), "Name");
  EXPECT_EQ(callDefault(fields, Variant::integer(1)).rawObject()->get("FldName").toString(), "id");
  Variant byName = orders.rawObject()->get("Fields", {Variant("id")});
  ASSERT_TRUE(byName.isObject());
  EXPECT_EQ(byName.rawObject()->get("FldName").toString(), "id");
  EXPECT_EQ(db->get("tables", {Variant::integer(1)}).rawObject(), orders.rawObject());
  EXPECT_TRUE(callDefault(fields, Variant("nobody")).isNothing());
  EXPECT_TRUE(fields.call("Seq", {Variant::integer(9)}).isNothing());

  EXPECT_TRUE(fields.call("Change", {Variant("name"), Variant("full name")}).toBool());
  EXPECT_EQ(f.rawObject()->get("FldVar").toString(), "x_full_name");
  fields.call("SetSeq", {Variant::integer(1)});
  EXPECT_EQ(fields.get("curName").toString(), "id");
  fields.call("SetItem", {Variant("full name")});
  EXPECT_EQ(fields.get("curSeq").toLong(), 2);
  EXPECT_TRUE(fields.call("FieldExist", {Variant("id")}).toBool());
  EXPECT_TRUE(fields.call("Delete", {Variant("id")}).toBool());
  EXPECT_EQ(f.rawObject()->get("FldSeq").toLong(), 1);
  EXPECT_TRUE(tables.call("Delete", {Variant("items")}).toBool());
  EXPECT_EQ(tables.get("Count").toLong(), 1);

  // For Each f In TABLE.Fields: insertion order.
  fields.call("Add", {Variant("b")});
  fields.call("Add", {Variant("a")});
  std::vector<std::string> names;
  Ref<Enumerator> e = fields.newEnum();
  Variant item;
  while (e->next(item)) names.push_back(item.rawObject()->get("FldName").toString());
  EXPECT_EQ(names, (std::vector<std::string>{"full name", "b", "a"}));
}

}  // namespace
}  // namespace tw
