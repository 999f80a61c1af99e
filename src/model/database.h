#pragma once
// AGPDatabase: the project's database, with its 22 settings (connection
// settings among them) and its tables; and AGPDatabases, the collection that
// holds it. A project has at most one database.
#include <cstdint>
#include <string>
#include <string_view>

#include "model/settings.h"
#include "model/table.h"
#include "support/super_collection.h"

namespace tw {

class AGPDatabase : public SettingsOwner {
 public:
  static constexpr std::string_view kNameSetting = "DBName";

  // Registers the settings and reads the user's database defaults.
  AGPDatabase();
  // Deletes every table one by one by its name and clears the engine-wide
  // working copy of SecDefault.
  ~AGPDatabase() override;

  std::string DBName() const { return str(kNameSetting); }
  // Key is a second name for DBName.
  std::string Key() const { return DBName(); }
  void setKey(const Variant& name) { setSetting(kNameSetting, name); }

  // The tables, created on first use.
  AGPTables& tables();
  bool hasTables() const noexcept { return tables_.get() != nullptr; }

  // DBDatabaseNames has no accessor of its own (only through Properties).
  DispId memberId(std::string_view name) override;
  const ClassInfo* classInfo() const override;
  static const SettingTable& settings();

 private:
  Ref<AGPTables> tables_;
};

class AGPDatabases : public Dispatch {
 public:
  AGPDatabases();

  int32_t Count() const noexcept { return items_->count(); }
  const std::string& curName() const noexcept { return curName_; }
  // The count when the current database was added, as text.
  const std::string& curSeq() const noexcept { return curSeq_; }

  // Clears ProjErr and adds a database named `name` under that key, made
  // current. Only one database is supported: with one present, ProjErr
  // becomes "support 1 db only!" and nothing changes. An empty name adds
  // nothing.
  void Add(std::string_view name);
  // Removes the database with that key (any letter case); nothing when absent.
  void Delete(std::string_view key);
  // A key (any letter case) or a 1-based position; raises the keyed
  // collection's error when absent. The database found becomes current.
  AGPDatabase* Item(const Variant& index);
  // The database at a 0-based index.
  AGPDatabase* at(int32_t index) const;
  // Makes a database of this collection current, as Item does.
  void setCurrent(AGPDatabase& db) { curName_ = db.DBName(); }
  void Clear() { items_->clear(); }

  Ref<Enumerator> newEnum() override { return items_->newEnum(); }
  const ClassInfo* classInfo() const override;

 private:
  Ref<CSuperCollection> items_;
  std::string curName_;
  std::string curSeq_;
};

}  // namespace tw
