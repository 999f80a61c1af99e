#include <gtest/gtest.h>

#include "core/agp.h"
#include "support/registry.h"
#include "support/super_collection.h"
#include "tarnwick/version.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using AGPTest = testing::FreshEngine;

TEST_F(AGPTest, AFreshProjectHasItsFixedValues) {
  AGP proj;
  EXPECT_FALSE(proj.ProjInit());
  EXPECT_EQ(proj.DBCnt(), 0);
  EXPECT_TRUE(proj.flag("AutoSync"));
  EXPECT_EQ(proj.str("SecType"), "None");
  EXPECT_EQ(proj.int16("PagerStyle"), 2);
  EXPECT_TRUE(proj.flag("OtherGen"));
  EXPECT_TRUE(proj.flag("PromptOnOverwrite"));
  EXPECT_EQ(proj.str("ProjName"), "");
  EXPECT_EQ(proj.Properties().Count(), 105);
}

TEST_F(AGPTest, SettingsAreRegisteredInOrderWithTheirFlags) {
  AGP proj;
  AGProperties& props = proj.Properties();
  EXPECT_EQ(props.at(0).Name(), "ProjName");
  EXPECT_EQ(props.at(104).Name(), "RootRelativePath");
  PropertyAt dateFormat = props.Item("defaultDateFormat");
  EXPECT_EQ(dateFormat.DataType(), "Integer");
  EXPECT_EQ(dateFormat.RegFormat(), 1);  // an Integer kept as a registry string
  EXPECT_EQ(props.Item("BodyLeftMargin").RegFormat(), 4);
  EXPECT_FALSE(props.Item("AppCssFolder").FileSave());
  EXPECT_FALSE(props.Item("Destination").RegSave());
  for (int32_t i = 0; i < props.Count(); ++i) EXPECT_TRUE(props.at(i).Sync()) << props.at(i).Name();
}

TEST_F(AGPTest, AddProjThenDeleteProjLeavesEverySettingEmptyButKeepsExtensions) {
  AGP proj;
  proj.AddProj("Shop");
  EXPECT_TRUE(proj.ProjInit());
  EXPECT_EQ(proj.str("ProjName"), "Shop");
  ASSERT_TRUE(proj.AddExtension("charts", "charts.zip"));
  // Names changed through Key, to nothing or to another setting's name, do
  // not keep their settings from going.
  proj.Properties().propertyObject(0)->put("Key", Variant(""));
  proj.Properties().propertyObject(1)->put("Key", Variant("CSS"));
  proj.DeleteProj();
  EXPECT_FALSE(proj.ProjInit());
  EXPECT_EQ(proj.DBCnt(), 0);
  EXPECT_EQ(proj.Properties().Count(), 105);
  for (int32_t i = 0; i < proj.Properties().Count(); ++i)
    EXPECT_TRUE(proj.Properties().at(i).Value().isEmpty()) << proj.Properties().at(i).Name();
  EXPECT_EQ(proj.Extensions().Count(), 1);
}

TEST_F(AGPTest, HwndAndLhWndShareOneValue) {
  auto proj = makeRef<AGP>();
  proj->put("hwnd", Variant(1234));
  EXPECT_EQ(proj->get("lhWnd").toLong(), 1234);
  proj->put("LHWND", Variant(99));
  EXPECT_EQ(proj->get("hwnd").toLong(), 99);
}

TEST_F(AGPTest, DbWithoutADatabaseFails) {
  auto proj = makeRef<AGP>();
  EXPECT_THROW(proj->get("db"), Error);
}

TEST_F(AGPTest, AddExtensionReplacesTheTemplateOfAnExistingName) {
  AGP proj;
  EXPECT_TRUE(proj.AddExtension("menu", "menu-1.zip"));
  EXPECT_TRUE(proj.AddExtension("MENU2", "b.zip"));
  EXPECT_TRUE(proj.AddExtension("menu", "menu-2.zip"));
  EXPECT_EQ(proj.Extensions().Count(), 2);
  EXPECT_EQ(proj.Extensions().Item(Variant("menu"))->Template(), "menu-2.zip");
  EXPECT_FALSE(proj.AddExtension("", "x.zip"));
  EXPECT_TRUE(proj.DeleteExtension("menu"));
  EXPECT_EQ(proj.Extensions().Item(Variant("MENU2"))->Seq(), 1);
  EXPECT_FALSE(proj.DeleteExtension("menu"));
}

TEST_F(AGPTest, SettingsThroughDispatchConvertByDeclaredType) {
  auto proj = makeRef<AGP>();
  proj->put("PagerStyle", Variant("3"));
  Variant pager = proj->get("pagerstyle");
  EXPECT_EQ(pager.varType(), vtInteger);
  EXPECT_EQ(pager.rawInteger(), 3);
  // The put stores the argument unchanged; only the get converts.
  EXPECT_EQ(proj->Properties().Item("PagerStyle").Value().varType(), vtString);
  proj->put("AutoSync", Variant(0));
  EXPECT_EQ(proj->get("AutoSync").varType(), vtBoolean);
  EXPECT_FALSE(proj->get("AutoSync").rawBool());
  proj->put("sqlquote", Variant("`"));
  EXPECT_EQ(proj->str("SQLQuote"), "`");
  proj->put("SmtpServerPort", Variant("25"));
  EXPECT_EQ(proj->get("SmtpServerPort").varType(), vtLong);
  EXPECT_THROW(proj->get("NoSuchSetting"), Error);
}

TEST_F(AGPTest, AMissingRegistrationSurfacesAsAnErrorFromTheAccessor) {
  auto proj = makeRef<AGP>();
  proj->Properties().Delete(Variant("ProjName"));
  EXPECT_THROW(proj->get("ProjName"), Error);
}

TEST_F(AGPTest, ProjErrIsSharedByEveryProjectOfTheThread) {
  auto a = makeRef<AGP>();
  auto b = makeRef<AGP>();
  a->put("ProjErr", Variant("Tarnwick: boom!"));
  EXPECT_EQ(b->get("ProjErr").toString(), "Tarnwick: boom!");
}

TEST_F(AGPTest, UnloadThresholdBelowOneBecomesTwenty) {
  const std::string general = "Software\\Tarnwick\\1.0\\Settings\\General";
  RegWrite("HKCU", general, "Language", kRegString, Variant("English"));
  for (auto [stored, expected] : std::vector<std::pair<Variant, int>>{
           {Variant::long_(0), 20}, {Variant::long_(-4), 20}, {Variant::long_(5), 5}, {Variant("7"), 7}}) {
    RegWrite("HKCU", general, "UnloadThresholdCount", stored.isString() ? kRegString : kRegDword, stored);
    AGP proj;
    EXPECT_EQ(proj.UnloadThreshold(), expected);
  }
  cRegistry reg;
  reg.setSectionKey(general);
  reg.setValueKey("UnloadThresholdCount");
  reg.deleteValue();
  AGP proj;
  EXPECT_EQ(proj.UnloadThreshold(), 20);
}

TEST_F(AGPTest, WithNoRegistryTheRegistrySettingsStartEmptyFalseOrZero) {
  AGP proj;
  EXPECT_EQ(proj.setting("BodyBgColor").varType(), vtString);
  EXPECT_EQ(proj.str("BodyBgColor"), "");
  EXPECT_EQ(proj.setting("ExportCsv").varType(), vtBoolean);
  EXPECT_FALSE(proj.flag("ExportCsv"));
  EXPECT_EQ(proj.setting("RecPerPage").varType(), vtInteger);
  EXPECT_EQ(proj.int16("RecPerPage"), 0);
  EXPECT_FALSE(proj.BackupFile());
}

TEST_F(AGPTest, SaveDefaultThenANewProjectReproducesTheValues) {
  {
    AGP proj;
    proj.AddProj("first");
    proj.setSetting("BodyBgColor", Variant("#FFEEDD"));
    proj.setSetting("RecPerPage", Variant::integer(35));
    proj.setSetting("ExportCsv", Variant(true));
    proj.setSetting("SmtpServerPort", Variant::long_(2525));
    proj.setSetting("PagerStyle", Variant::integer(3));
    proj.setSetting("defaultDateFormat", Variant::integer(5));
    proj.AddExtension("charts", "charts-1.2.zip");
    proj.SaveDefault();
  }
  AGP next;
  EXPECT_EQ(next.str("BodyBgColor"), "#FFEEDD");
  EXPECT_EQ(next.int16("RecPerPage"), 35);
  EXPECT_TRUE(next.flag("ExportCsv"));
  EXPECT_EQ(next.int32("SmtpServerPort"), 2525);
  EXPECT_EQ(next.int16("defaultDateFormat"), 5);
  EXPECT_EQ(engine().dateFormat, 5);
  // PagerStyle is a fixed value that wins over the user default.
  EXPECT_EQ(next.int16("PagerStyle"), 2);
  EXPECT_EQ(next.Extensions().Count(), 0);
  next.LoadExtensionList();
  ASSERT_EQ(next.Extensions().Count(), 1);
  EXPECT_EQ(next.Extensions().Item(Variant("charts"))->Template(), "charts-1.2.zip");
}

TEST_F(AGPTest, BackupFileWordTrueLoadsAsTrue) {
  RegWrite("HKCU", "Software\\Tarnwick\\1.0\\Settings\\General", "BackupFile", kRegString, Variant("True"));
  AGP proj;
  EXPECT_TRUE(proj.BackupFile());
}

TEST_F(AGPTest, SaveDefaultFailsOnAValueItCannotWriteAndKeepsEarlierWrites) {
  AGP proj;
  proj.setSetting("ProjMode", Variant("written"));
  proj.setSetting("BodyLeftMargin", Variant());  // empty: not a 32-bit number
  try {
    proj.SaveDefault();
    FAIL() << "expected the registry error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrRegistryWrite);
  }
  EXPECT_EQ(RegRead("HKCU", engine().regProject, "ProjMode").toString(), "written");
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

const char* const kMachineSeed = R"([Software\Tarnwick\1.0\Settings\General]
Language = string:"English"
UnloadThresholdCount = dword:12

[Software\Tarnwick\1.0\Settings\Project]
BodyBgColor = string:"#FFFFFF"
RecPerPage = dword:25
PagerStyle = dword:3
ExportCsv = string:"True"

[Software\Tarnwick\1.0\AdvancedFilters\Dates]
Order = string:"1"

[Software\Tarnwick\1.0\Extensions]
menu = string:"menu.zip"
)";

using FirstStart = testing::FreshEngine;

TEST_F(FirstStart, ANewUserGetsTheMachineDefaultsCopiedOnce) {
  writeMachineRegistry(kMachineSeed);
  {
    AGP proj;
    EXPECT_EQ(proj.str("BodyBgColor"), "#FFFFFF");
    EXPECT_EQ(proj.int16("RecPerPage"), 25);
    EXPECT_TRUE(proj.flag("ExportCsv"));
    EXPECT_EQ(proj.int16("PagerStyle"), 2);  // the fixed value wins
    EXPECT_EQ(proj.Language(), "English");
    EXPECT_EQ(proj.UnloadThreshold(), 12);
  }
  // Sub-keys come along, with the type each value was read with.
  EXPECT_EQ(RegRead("HKCU", "Software\\Tarnwick\\1.0\\AdvancedFilters\\Dates", "Order").toString(), "1");
  EXPECT_EQ(RegRead("HKCU", engine().regProject, "RecPerPage").varType(), vtLong);
  EXPECT_EQ(engine().lastRegType, static_cast<uint32_t>(kRegDword));
  EXPECT_EQ(RegRead("HKCU", engine().regExtensions, "menu").toString(), "menu.zip");

  // Once the user has a language, later starts keep the user's own values.
  RegWrite("HKCU", engine().regProject, "BodyBgColor", kRegString, Variant("#000000"));
  AGP again;
  EXPECT_EQ(again.str("BodyBgColor"), "#000000");
}

TEST_F(FirstStart, NoCopyWhenTheUserAlreadyHasALanguage) {
  RegWrite("HKCU", "Software\\Tarnwick\\1.0\\Settings\\General", "Language", kRegString, Variant("Deutsch"));
  writeMachineRegistry(kMachineSeed);
  AGP proj;
  EXPECT_EQ(proj.Language(), "Deutsch");
  EXPECT_EQ(proj.str("BodyBgColor"), "");
  EXPECT_EQ(proj.int16("RecPerPage"), 0);
}

TEST_F(FirstStart, TheShippedMachineDefaultsGiveAUsableProject) {
  setenv("TARNWICK_MACHINE_REGISTRY", TARNWICK_SOURCE_DIR "/share/machine-registry.txt", 1);
  resetEngine();
  AGP proj;
  EXPECT_FALSE(proj.Language().empty());
  EXPECT_GT(proj.int16("RecPerPage"), 0);
  EXPECT_FALSE(proj.str("RecPerPageList").empty());
  EXPECT_FALSE(proj.str("CharSet").empty());
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST_F(AGPTest, MembersAddedByHigherLibrariesAreReachableByName) {
  static const ClassInfo extra = ClassBuilder<AGP>("AGP")
                                     .method("CountSettings", [](AGP& p) { return p.Properties().Count(); })
                                     .method("Echo", [](AGP&, const Variant& v) { return v; })
                                     .build();
  AGP::addMembers(&extra);
  AGP::addMembers(&extra);
  auto proj = makeRef<AGP>();
  EXPECT_EQ(proj->call("countsettings").toLong(), 105);
  EXPECT_EQ(proj->call("Echo", {Variant("x")}).toString(), "x");
  // Own members and settings still resolve.
  EXPECT_FALSE(proj->get("ProjInit").toBool());
  EXPECT_EQ(proj->get("SecType").toString(), "None");
  EXPECT_THROW(proj->call("Echo"), Error);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST_F(AGPTest, PropertiesAndExtensionsTakeAnIndexDirectly) {
  auto proj = makeRef<AGP>();
  proj->AddExtension("menu", "menu.zip");
  Variant setting = proj->get("Properties", {Variant("secType")});
  ASSERT_TRUE(setting.isObject());
  EXPECT_EQ(setting.valueOf().toString(), "None");
  Variant ext = proj->get("Extensions", {Variant("menu")});
  ASSERT_TRUE(ext.isObject());
  EXPECT_EQ(ext.rawObject()->get("Template").toString(), "menu.zip");
  EXPECT_EQ(proj->get("Properties").rawObject()->get("Count").toLong(), 105);
}

}  // namespace
}  // namespace tw
