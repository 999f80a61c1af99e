// User defaults: project settings with RegSave, and the user-level values of
// the General section, read from and written to the user's registry branch.
#include <string>
#include <vector>

#include "core/agp.h"
#include "support/convert.h"
#include "support/engine_context.h"
#include "support/registry.h"

namespace tw {

namespace {

constexpr std::string_view kUser = "HKCU";
constexpr std::string_view kMachine = "HKLM";

// Copies every value of a machine key to the user's key of the same path,
// with the type each was read with, then every sub-key the same way.
void copyKey(const std::string& section) {
  cRegistry reg;
  reg.setClassKey(kRootLocalMachine);
  reg.setSectionKey(section);
  std::vector<std::string> names;
  reg.enumerateValues(names);
  for (const std::string& name : names) {
    Variant value = RegRead(kMachine, section, name);
    RegWrite(kUser, section, name, static_cast<int32_t>(engine().lastRegType), value);
  }
  std::vector<std::string> subKeys;
  reg.setSectionKey(section);
  reg.enumerateSections(subKeys);
  for (const std::string& sub : subKeys) copyKey(section + "\\" + sub);
}

}  // namespace

void AGP::copyMachineDefaults() {
  const EngineContext& ctx = engine();
  for (const std::string* section :
       {&ctx.regAdvancedFilters, &ctx.regGeneral, &ctx.regProject, &ctx.regDatabase, &ctx.regTable,
        &ctx.regChart, &ctx.regField, &ctx.regExtensions}) {
    copyKey(*section);
  }
}

void AGP::LoadDefault() {
  EngineContext& ctx = engine();
  AGProperties& props = Properties();
  for (int32_t i = 0, n = props.Count(); i < n; ++i) {
    PropertyAt p = props.at(i);
    if (!p.RegSave()) continue;
    p.setValue(ConvertByTypeName(RegRead(kUser, ctx.regProject, p.Name()), p.DataType()));
  }

  language_ = RegRead(kUser, ctx.regGeneral, "Language").toString();
  backupFile_ = ConvertByTypeName(RegRead(kUser, ctx.regGeneral, "BackupFile"), "Boolean").toBool();
  userCode_ = RegRead(kUser, ctx.regGeneral, "USERCODE").toString();
  ctx.scriptTimeout =
      ConvertByTypeName(RegRead(kUser, ctx.regGeneral, "ScriptEngineTimeout"), "Long").toLong();

  Variant dateFormat = setting("defaultDateFormat");
  double number;
  ctx.dateFormat =
      (dateFormat.isNumeric() || (dateFormat.isString() && parseNumber(dateFormat.rawString(), number)))
          ? dateFormat.toInteger()
          : 0;

  setSetting("IncFiles", Variant(""));
  setSetting("IncVirtuals", Variant(""));
  setSetting("SecType", Variant("None"));
  for (const char* name : {"SecLoginID", "SecPasswd", "SecTbl", "SecLoginIDFld", "SecPasswdFld"})
    setSetting(name, Variant(""));
  setSetting("AutoSync", Variant(true));
  setSetting("AutoBrowse", Variant(false));
  setSetting("CreateVDir", Variant(false));
  setSetting("OtherGen", Variant(true));
  setSetting("OtherOverwrite", Variant(true));
  setSetting("PromptOnOverwrite", Variant(true));
  setSetting("LinkOnLeft", Variant(false));
  setSetting("TopPageLink", Variant(false));
  setSetting("PagerStyle", Variant::integer(2));
  setSetting("MultiDelete", Variant(false));

  int16_t threshold =
      ConvertByTypeName(RegRead(kUser, ctx.regGeneral, "UnloadThresholdCount"), "Integer").toInteger();
  unloadThreshold_ = threshold < 1 ? 20 : threshold;
}

void AGP::SaveDefault() {
  const EngineContext& ctx = engine();
  AGProperties& props = Properties();
  for (int32_t i = 0, n = props.Count(); i < n; ++i) {
    const PropertyAt p = props.at(i);
    if (p.RegSave()) RegWrite(kUser, ctx.regProject, p.Name(), p.RegFormat(), p.Value());
  }
  if (DBCnt() > 0) {
    AGProperties& dbProps = db()->Properties();
    for (int32_t i = 0, n = dbProps.Count(); i < n; ++i) {
      PropertyAt p = dbProps.at(i);
      if (p.RegSave()) RegWrite(kUser, ctx.regDatabase, p.Name(), p.RegFormat(), p.Value());
    }
  }
  RegWrite(kUser, ctx.regGeneral, "Language", kRegString, Variant(language_));
  RegWrite(kUser, ctx.regGeneral, "BackupFile", kRegString, Variant(backupFile_));
  RegWrite(kUser, ctx.regGeneral, "USERCODE", kRegString, Variant(userCode_));
  RegWrite(kUser, ctx.regGeneral, "ScriptEngineTimeout", kRegDword, Variant::long_(ctx.scriptTimeout));
  for (int16_t seq = 1; seq <= extensions_->Count(); ++seq) {
    if (AGPExtension* e = extensions_->Seq(seq))
      RegWrite(kUser, ctx.regExtensions, e->Name(), kRegString, Variant(e->Template()));
  }
}

void AGP::LoadExtensionList() {
  cRegistry reg;
  reg.setClassKey(kRootCurrentUser);
  reg.setSectionKey(engine().regExtensions);
  std::vector<std::string> names;
  reg.enumerateValues(names);
  for (const std::string& name : names)
    AddExtension(name, RegRead(kUser, engine().regExtensions, name).toString());
}

}  // namespace tw
