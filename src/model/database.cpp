#include "model/database.h"

#include <vector>

#include "automation/text.h"
#include "model/registry_defaults.h"
#include "support/engine_context.h"

namespace tw {

AGPDatabase::AGPDatabase() : SettingsOwner(settings()) {
  RegisterProperties();
  LoadDataObjectDefaults(*this, engine().regDatabase);
}

AGPDatabase::~AGPDatabase() {
  if (tables_) {
    try {
      std::vector<std::string> names;
      names.reserve(static_cast<size_t>(tables_->Count()));
      for (int32_t i = 0; i < tables_->Count(); ++i) names.push_back(tables_->at(i)->TblName());
      for (const std::string& name : names) tables_->Delete(name);
    } catch (const Error&) {
      // A name or sequence setting holding something that is not text or a
      // number; the tables go below all the same.
    }
    // Tables whose names no longer say which they are go too.
    tables_->Clear();
  }
  engine().secDefault = Variant();
}

AGPTables& AGPDatabase::tables() {
  if (!tables_) tables_ = makeRef<AGPTables>();
  return *tables_;
}

DispId AGPDatabase::memberId(std::string_view name) {
  if (equalsNoCase(name, "DBDatabaseNames")) return kDispIdUnknown;
  return SettingsOwner::memberId(name);
}

const ClassInfo* AGPDatabase::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPDatabase>("AGPDatabase")
          .get("Properties", [](AGPDatabase& d, Args a) { return collectionMember(d.Properties(), a); })
          .prop(
              "Key", [](AGPDatabase& d) { return d.Key(); },
              [](AGPDatabase& d, const Variant& v) { d.setKey(v); })
          .get("tables", [](AGPDatabase& d, Args a) { return collectionMember(d.tables(), a); })
          .build();
  return &info;
}

// ---- AGPDatabases

AGPDatabases::AGPDatabases() : items_(makeRef<CSuperCollection>()) {
  items_->setCompareMode(CSuperCollection::kTextCompare);
}

void AGPDatabases::Add(std::string_view name) {
  engine().projErr.clear();
  if (Count() > 0) {
    engine().projErr = "support 1 db only!";
    return;
  }
  if (name.empty()) return;
  Ref<AGPDatabase> db = makeRef<AGPDatabase>();
  db->setSetting(AGPDatabase::kNameSetting, Variant(name));
  items_->add(Variant(db), name);
  curName_ = std::string(name);
  curSeq_ = std::to_string(Count());
}

void AGPDatabases::Delete(std::string_view key) {
  if (key.empty() || !items_->keyExists(key)) return;
  items_->remove(Variant(key));
}

AGPDatabase* AGPDatabases::Item(const Variant& index) {
  auto* db = static_cast<AGPDatabase*>(items_->item(index).rawObject());
  curName_ = db->DBName();
  return db;
}

AGPDatabase* AGPDatabases::at(int32_t index) const {
  return static_cast<AGPDatabase*>(items_->item(Variant(index + 1)).rawObject());
}

const ClassInfo* AGPDatabases::classInfo() const {
  using C = AGPDatabases;
  static const ClassInfo info = ClassBuilder<C>("AGPDatabases")
                                    .get("curName", [](C& c) { return c.curName(); })
                                    .get("curSeq", [](C& c) { return c.curSeq(); })
                                    .method("Add", [](C& c, const Variant& n) { c.Add(n.toString()); })
                                    .get("Count", [](C& c) { return c.Count(); })
                                    .method("Delete", [](C& c, const Variant& n) { c.Delete(n.toString()); })
                                    .get("Item", [](C& c, const Variant& i) { return Variant(c.Item(i)); })
                                    .defaultMember("Item")
                                    .build();
  return &info;
}

}  // namespace tw
