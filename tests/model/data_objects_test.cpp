// Databases, tables, fields and charts as objects: their registered settings,
// typed accessors, child collections, registry defaults and destruction.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "model/database.h"
#include "model/registry_defaults.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using DataObjects = testing::FreshEngine;

struct FlagCounts {
  int regSave = 0, numberFormat = 0, notInFile = 0, sync = 0;
};

FlagCounts countFlags(const AGProperties& props) {
  FlagCounts c;
  for (int32_t i = 0; i < props.Count(); ++i) {
    const PropertyMeta& m = props.meta(i);
    c.regSave += m.regSave;
    c.numberFormat += m.regFormat == 4;
    c.notInFile += !m.fileSave;
    c.sync += m.sync;
    if (m.regSave)
      EXPECT_EQ(m.regFormat, (m.dataType == "Integer" || m.dataType == "Long") ? 4 : 1) << m.name;
    else
      EXPECT_EQ(m.regFormat, 0) << m.name;
  }
  return c;
}

TEST_F(DataObjects, EachClassRegistersItsSettingsInOrderWithTheirFlags) {
  AGPDatabase db;
  AGPTable table;
  AGPField field;
  AGPChart chart;
  ASSERT_EQ(db.Properties().Count(), 22);
  ASSERT_EQ(table.Properties().Count(), 52);
  ASSERT_EQ(field.Properties().Count(), 106);
  ASSERT_EQ(chart.Properties().Count(), 35);

  EXPECT_EQ(db.Properties().at(0).Name(), "DBName");
  EXPECT_EQ(db.Properties().at(17).Name(), "MaxUploadSize");
  EXPECT_EQ(db.Properties().at(21).Name(), "SecuParentUserIDFld");
  EXPECT_EQ(table.Properties().at(0).Name(), "TblSync");
  EXPECT_EQ(table.Properties().at(13).Name(), "TblVar");
  EXPECT_EQ(table.Properties().at(51).Name(), "TblLinkOnLeft");
  EXPECT_EQ(field.Properties().at(1).Name(), "FldSeq");
  EXPECT_EQ(field.Properties().at(44).Name(), "FldTagValues");
  EXPECT_EQ(field.Properties().at(69).Name(), "FileNameFld");
  EXPECT_EQ(field.Properties().at(105).Name(), "FldRptAggMax");
  EXPECT_EQ(chart.Properties().at(0).Name(), "ChartSeq");
  EXPECT_EQ(chart.Properties().at(34).Name(), "ChartPosition");

  // Flag totals counted from the registration tables by hand.
  FlagCounts d = countFlags(db.Properties());
  EXPECT_EQ(d.regSave, 1);
  EXPECT_EQ(d.numberFormat, 1);
  EXPECT_EQ(d.notInFile, 0);
  EXPECT_EQ(d.sync, 5);
  FlagCounts t = countFlags(table.Properties());
  EXPECT_EQ(t.regSave, 21);
  EXPECT_EQ(t.numberFormat, 4);
  EXPECT_EQ(t.notInFile, 5);
  FlagCounts f = countFlags(field.Properties());
  EXPECT_EQ(f.regSave, 11);
  EXPECT_EQ(f.numberFormat, 2);
  EXPECT_EQ(f.notInFile, 2);
  FlagCounts c = countFlags(chart.Properties());
  EXPECT_EQ(c.regSave, 27);
  EXPECT_EQ(c.numberFormat, 11);
  EXPECT_EQ(c.notInFile, 1);

  PropertyAt min = field.Properties().Item("FldMin");
  EXPECT_EQ(min.DataType(), "Variant");
  EXPECT_TRUE(min.Sync());
  PropertyAt quote = field.Properties().Item("FldQuoteS");
  EXPECT_TRUE(quote.FileSave());
  EXPECT_FALSE(quote.Sync());
  EXPECT_EQ(field.Properties().Item("FldGroupByInterval").DataType(), "Long");
  EXPECT_FALSE(table.Properties().Item("TblFilter").Sync());
  EXPECT_TRUE(table.Properties().Item("TblFilter").FileSave());
  EXPECT_FALSE(chart.Properties().Item("ChartVar").FileSave());
}

TEST_F(DataObjects, AccessorsConvertByDeclaredTypeAndStoreUnchanged) {
  auto field = makeRef<AGPField>();
  field->put("FldSize", Variant("120"));
  EXPECT_EQ(field->Properties().value("FldSize").type(), vtString);  // stored as given
  Variant size = field->get("FldSize");
  EXPECT_EQ(size.type(), vtLong);
  EXPECT_EQ(size.rawLong(), 120);

  field->put("FldType", Variant(200));
  EXPECT_EQ(field->get("fldtype").type(), vtInteger);

  field->put("FldReq", Variant("True"));
  Variant req = field->get("FldReq");
  ASSERT_EQ(req.type(), vtBoolean);
  EXPECT_TRUE(req.rawBool());

  field->put("FldCaption", Variant(12));
  EXPECT_EQ(field->get("FldCaption").type(), vtString);

  // "Variant" settings come back as they were stored.
  field->put("FldDefault", Variant(2.5));
  EXPECT_EQ(field->get("FldDefault").type(), vtDouble);
  field->put("FldMax", Variant(7));
  EXPECT_EQ(field->get("FldMax").type(), vtLong);

  // An empty String setting reads as an empty text, an empty Boolean as false.
  EXPECT_EQ(field->get("FldErrMsg").type(), vtString);
  EXPECT_FALSE(field->get("FldBasicSearch").toBool());
}

TEST_F(DataObjects, AccessorsFindTheirSettingAfterTheStoreChangedItsProperties) {
  auto field = makeRef<AGPField>();
  auto other = makeRef<AGPField>();
  field->put("FldCaption", Variant("Customer"));
  field->put("FldSize", Variant(40));
  // Deleting the first setting moves every other one a place up; adding one
  // gives the store properties of its own. Accessors still go by name.
  ASSERT_TRUE(field->Properties().Delete(Variant("FldName")));
  ASSERT_TRUE(field->Properties().Add("MyNote"));
  EXPECT_EQ(field->get("FldCaption").toString(), "Customer");
  EXPECT_EQ(field->get("FldSize").toLong(), 40);
  field->put("FldSize", Variant(50));
  EXPECT_EQ(field->Properties().value("FldSize").toLong(), 50);
  EXPECT_EQ(field->Properties().value("FldCaption").toString(), "Customer");
  EXPECT_THROW(field->get("FldName"), Error);
  // A store that kept the class's properties is not disturbed.
  other->put("FldSize", Variant(7));
  EXPECT_EQ(other->get("FldSize").toLong(), 7);
  EXPECT_EQ(other->Properties().value("FldCaption").toString(), "");
}

// What the studio learns of a page: every way a setting of a table is read
// while the page is made names the table, and only the table.
TEST_F(DataObjects, EveryWayOfReadingASettingTellsTheReadRecorder) {
  struct Recorder : SettingsReadRecorder {
    void beginFile(std::string_view) override { open = true; }
    void read(const void* owner) override {
      if (open) owners.push_back(owner);
    }
    void endFile() override { open = false; }
    bool open = false;
    std::vector<const void*> owners;
  };
  static const SettingKey caption("TblCaption");
  auto table = makeRef<AGPTable>();
  auto field = makeRef<AGPField>();
  table->setSetting("TblCaption", Variant("Orders"));
  const struct {
    const char* way;
    std::function<Variant()> read;
  } ways[] = {
      {"by name", [&] { return table->setting("TblCaption"); }},
      {"by a key found once", [&] { return table->setting(caption); }},
      {"as a member of the object", [&] { return table->get("TblCaption"); }},
      {"through Properties(name).Value",
       [&] { return table->get("Properties", {Variant("TblCaption")}).rawObject()->get("Value"); }},
      {"through the default member of Properties(name)",
       [&] { return table->get("Properties", {Variant("tblcaption")}).valueOf(); }},
  };
  for (const auto& w : ways) {
    SCOPED_TRACE(w.way);
    Recorder recorder;
    engine().settingsReads = &recorder;
    recorder.beginFile("page.php");
    EXPECT_EQ(w.read().toString(), "Orders");
    field->get("FldCaption");  // another object's read names that object
    recorder.endFile();
    w.read();  // outside a page: not recorded
    engine().settingsReads = nullptr;
    EXPECT_EQ(recorder.owners,
              (std::vector<const void*>{static_cast<const SettingsOwner*>(table.get()),
                                        static_cast<const SettingsOwner*>(field.get())}));
  }
  // A store a script keeps after its object went names nothing.
  Ref<AGProperties> kept = table->propertiesRef();
  table = nullptr;
  Recorder recorder;
  engine().settingsReads = &recorder;
  recorder.beginFile("page.php");
  EXPECT_EQ(kept->get("Item", {Variant("TblCaption")}).valueOf().toString(), "Orders");
  engine().settingsReads = nullptr;
  EXPECT_TRUE(recorder.owners.empty());
}

TEST_F(DataObjects, KeyIsASecondNameForTheNameSetting) {
  auto table = makeRef<AGPTable>();
  table->put("Key", Variant("orders"));
  EXPECT_EQ(table->TblName(), "orders");
  table->put("TblName", Variant("items"));
  EXPECT_EQ(table->get("Key").toString(), "items");

  auto chart = makeRef<AGPChart>();
  chart->put("Key", Variant("sales"));
  EXPECT_EQ(chart->ChartName(), "sales");
  auto field = makeRef<AGPField>();
  field->put("key", Variant("id"));
  EXPECT_EQ(field->FldName(), "id");
  auto db = makeRef<AGPDatabase>();
  db->put("Key", Variant("shop"));
  EXPECT_EQ(db->get("DBName").toString(), "shop");
}

TEST_F(DataObjects, DatabaseOffersTheDbmsAndProviderSettingsReadOnlyAndNoDatabaseNames) {
  auto db = makeRef<AGPDatabase>();
  db->setSetting("DBDBMSName", Variant("MySQL"));
  EXPECT_EQ(db->get("DBDBMSName").toString(), "MySQL");
  for (const char* name : {"DBDBMSName", "DBDBMSVer", "DBProviderName", "DBProviderVer"}) {
    EXPECT_THROW(db->put(name, Variant("x")), Error) << name;
  }
  EXPECT_EQ(db->get("DBDBMSName").toString(), "MySQL");
  db->put("DBHost", Variant("localhost"));
  EXPECT_EQ(db->get("DBHost").toString(), "localhost");

  EXPECT_EQ(db->memberId("DBDatabaseNames"), kDispIdUnknown);
  EXPECT_THROW(db->get("DBDatabaseNames"), Error);
  db->Properties().setValue("DBDatabaseNames", Variant("a,b"));
  EXPECT_EQ(db->Properties().value("dbdatabasenames").toString(), "a,b");
}

TEST_F(DataObjects, ChildCollectionsAreCreatedOnceOnFirstUse) {
  auto table = makeRef<AGPTable>();
  EXPECT_FALSE(table->hasFields());
  EXPECT_FALSE(table->hasCharts());
  Variant fields = table->get("Fields");
  EXPECT_TRUE(table->hasFields());
  EXPECT_EQ(fields.rawObject(), table->get("fields").rawObject());
  EXPECT_EQ(fields.rawObject(), &table->Fields());
  EXPECT_EQ(table->get("Charts").rawObject(), &table->Charts());

  auto db = makeRef<AGPDatabase>();
  EXPECT_FALSE(db->hasTables());
  EXPECT_EQ(db->get("Tables").rawObject(), &db->tables());
}

TEST_F(DataObjects, NewObjectsTakeTheUsersRegistryDefaultsOfTheirClass) {
  const EngineContext& ctx = engine();
  RegWrite("HKCU", ctx.regField, "FldBold", kRegString, Variant("True"));
  RegWrite("HKCU", ctx.regField, "FldNumDigits", kRegDword, Variant(3));
  RegWrite("HKCU", ctx.regField, "FldAlign", kRegString, Variant("\"right\""));
  // Not a registry setting of fields: ignored.
  RegWrite("HKCU", ctx.regField, "FldCaption", kRegString, Variant("from registry"));
  RegWrite("HKCU", ctx.regTable, "TblRecPerPage", kRegDword, Variant(25));
  RegWrite("HKCU", ctx.regChart, "ChartWidth", kRegDword, Variant(640));
  RegWrite("HKCU", ctx.regDatabase, "MaxUploadSize", kRegDword, Variant(2000000));

  AGPField field;
  Variant bold = field.setting("FldBold");
  ASSERT_EQ(bold.type(), vtBoolean);
  EXPECT_TRUE(bold.rawBool());
  Variant digits = field.setting("FldNumDigits");
  ASSERT_EQ(digits.type(), vtInteger);
  EXPECT_EQ(digits.rawInteger(), 3);
  EXPECT_EQ(field.str("FldAlign"), "right");  // text defaults are unquoted
  EXPECT_TRUE(field.setting("FldCaption").isEmpty());

  AGPTable table;
  EXPECT_EQ(table.int16("TblRecPerPage"), 25);
  AGPChart chart;
  EXPECT_EQ(chart.int16("ChartWidth"), 640);
  AGPDatabase db;
  Variant upload = db.setting("MaxUploadSize");
  ASSERT_EQ(upload.type(), vtLong);
  EXPECT_EQ(upload.rawLong(), 2000000);
}

TEST_F(DataObjects, ABatchSharesTheDefaultsReadOnceAndEndsWithIt) {
  const EngineContext& ctx = engine();
  RegWrite("HKCU", ctx.regField, "FldAlign", kRegString, Variant("left"));
  {
    RegistryDefaultsBatch batch;
    AGPField first;
    EXPECT_EQ(first.str("FldAlign"), "left");
    RegWrite("HKCU", ctx.regField, "FldAlign", kRegString, Variant("center"));
    AGPField second;
    EXPECT_EQ(second.str("FldAlign"), "left");  // read once for the batch
    // A chart is a class of its own and reads its own section.
    RegWrite("HKCU", ctx.regChart, "ChartBgColor", kRegString, Variant("#FFFFFF"));
    AGPChart chart;
    EXPECT_EQ(chart.str("ChartBgColor"), "#FFFFFF");
    // Values are shared, not tied: changing one object leaves the other.
    second.setSetting("FldAlign", Variant("right"));
    EXPECT_EQ(first.str("FldAlign"), "left");
  }
  AGPField after;
  EXPECT_EQ(after.str("FldAlign"), "center");
}

TEST_F(DataObjects, DestroyingADatabaseDeletesItsTablesAndClearsTheSecDefaultCopy) {
  Ref<AGPTables> tables;
  Ref<AGPTable> kept;
  {
    auto db = makeRef<AGPDatabase>();
    tables = &db->tables();
    tables->Add("a");
    tables->Add("b");
    tables->Add("c");
    kept = tables->Item(Variant("c"));
    engine().secDefault = Variant("Admin");
  }
  EXPECT_EQ(tables->Count(), 0);
  EXPECT_TRUE(engine().secDefault.isEmpty());
  // Deleted one by one, each deletion moved the later tables up a place.
  EXPECT_EQ(kept->TblSeq(), 0);
}

}  // namespace
}  // namespace tw
