#include "core/agp.h"

#include <algorithm>
#include <vector>

#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/registry.h"
#include "support/status.h"
#include "support/super_collection.h"

namespace tw {

AGP::AGP()
    : SettingsOwner(settings()), extensions_(makeRef<AGPExtensions>()), databases_(makeRef<AGPDatabases>()) {
  EngineContext& ctx = engine();
  RegisterProperties();
  ctx.documentsFolder = SpecialFolderPath(0, 5);
  AGPStatus& status = ctx.status();
  status.GetVer("tarnwick.dll");
  engineVersion_ = std::to_string(status.mj1()) + "." + std::to_string(status.mj2()) + "." +
                   std::to_string(status.mn1()) + "." + std::to_string(status.mn2());
  ctx.scriptEngine.reset();
  ctx.cache.reset();
  projInit_ = false;
  ctx.targetLanguage = "PHP";
  ctx.productCode = "QVX";
  ctx.productKey = "Tarnwick";
  ctx.productName = "Tarnwick";
  ctx.productVersion = "1.0";
  ctx.outputExtension = "php";
  ctx.defaultPage = "index.php";
  ctx.composeRegistryPaths();
  if (RegRead("HKCU", ctx.regGeneral, "Language").toString().empty()) copyMachineDefaults();
  LoadDefault();
}

AGP::~AGP() = default;

AGPDatabase* AGP::db() { return databases_->Item(Variant(currentDb_)); }

int16_t AGP::DBCnt() const { return static_cast<int16_t>(databases_->Count()); }

const std::string& AGP::ProjErr() { return engine().projErr; }

void AGP::setProjErr(std::string_view text) { engine().projErr = std::string(text); }

void AGP::AddProj(std::string_view name) {
  setSetting("ProjName", Variant(name));
  LoadDefault();
  projInit_ = true;
}

void AGP::DeleteProj() {
  // Every setting goes, also one whose Name no longer finds it (a Name set
  // to empty or to another text through Key).
  Properties().Clear();
  // Every database goes, each by its DBName; one whose name no longer matches
  // its key goes all the same.
  std::vector<std::string> names;
  for (int32_t i = 0; i < databases_->Count(); ++i) names.push_back(databases_->at(i)->DBName());
  for (const std::string& name : names) databases_->Delete(name);
  databases_->Clear();
  currentDb_.clear();
  RegisterProperties();
  projInit_ = false;
}

bool AGP::AddExtension(std::string_view name, std::string_view templ) {
  bool added = extensions_->AddExtension(name);
  if (added) {
    if (AGPExtension* e = extensions_->Item(Variant(name))) e->setTemplate(templ);
  }
  return added;
}

bool AGP::DeleteExtension(std::string_view name) { return extensions_->DeleteExtension(Variant(name)); }

namespace {

std::vector<const ClassInfo*>& addedMembers() {
  static std::vector<const ClassInfo*> tables;
  return tables;
}

// Ids of added members: the table's number times this, plus the member's id.
constexpr DispId kAddedIdStride = 0x1000;

}  // namespace

void AGP::addMembers(const ClassInfo* members) {
  auto& tables = addedMembers();
  if (std::find(tables.begin(), tables.end(), members) == tables.end()) tables.push_back(members);
}

DispId AGP::memberId(std::string_view name) {
  DispId id = Dispatch::memberId(name);
  if (id != kDispIdUnknown) return id;
  const auto& tables = addedMembers();
  for (size_t i = 0; i < tables.size(); ++i) {
    DispId local = tables[i]->find(name);
    if (local != kDispIdUnknown) return static_cast<DispId>((i + 1) * kAddedIdStride) + local;
  }
  return SettingsOwner::memberId(name);
}

Variant AGP::invoke(DispId id, uint16_t kind, Args args) {
  if (id >= kAddedIdStride && id < kSettingIdBase) {
    const auto& tables = addedMembers();
    size_t table = static_cast<size_t>(id / kAddedIdStride) - 1;
    if (table >= tables.size()) raise(kErrNoSuchMember);
    return invokeTable(*tables[table], id % kAddedIdStride, kind, args);
  }
  return SettingsOwner::invoke(id, kind, args);
}

const ClassInfo* AGP::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGP>("AGP")
          .prop(
              "lhWnd", [](AGP& p) { return p.lhWnd(); },
              [](AGP& p, const Variant& v) { p.setLhWnd(v.toLong()); })
          .get("ProjInit", [](AGP& p) { return p.ProjInit(); })
          .get("db", [](AGP& p) { return Variant(p.db()); })
          .get("DBCnt", [](AGP& p) { return p.DBCnt(); })
          .get("Properties", [](AGP& p, Args a) { return collectionMember(p.Properties(), a); })
          .get("Extensions", [](AGP& p, Args a) { return collectionMember(p.Extensions(), a); })
          .prop(
              "hwnd", [](AGP& p) { return p.lhWnd(); },
              [](AGP& p, const Variant& v) { p.setLhWnd(v.toLong()); })
          .prop(
              "ProjErr", [](AGP&) { return AGP::ProjErr(); },
              [](AGP&, const Variant& v) { AGP::setProjErr(v.toString()); })
          .get("EngineVersion", [](AGP& p) { return p.EngineVersion(); })
          .method("AddProj", [](AGP& p, const Variant& n) { p.AddProj(n.toString()); })
          .method("DeleteProj", [](AGP& p) { p.DeleteProj(); })
          .method("AddExtension", [](AGP& p, const Variant& n,
                                     const Variant& t) { return p.AddExtension(n.toString(), t.toString()); })
          .method("DeleteExtension", [](AGP& p, const Variant& n) { return p.DeleteExtension(n.toString()); })
          .method("Save", [](AGP& p, const Variant& f) { p.Save(f.toString()); })
          .method("Load", [](AGP& p, const Variant& f) { p.Load(f.toString()); })
          .method("LoadDefault", [](AGP& p) { p.LoadDefault(); })
          .method("SaveDefault", [](AGP& p) { p.SaveDefault(); })
          .build();
  return &info;
}

}  // namespace tw
