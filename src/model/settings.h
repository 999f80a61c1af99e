#pragma once
// Registration tables and the objects built on them. A class lists its
// settings once, as data; the store, the typed accessors seen by scripts and
// the C++ accessors are all derived from that list.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "automation/dispatch.h"
#include "automation/text.h"
#include "model/property.h"

namespace tw {

// One registered setting: name, declared type ("String", "Boolean",
// "Integer", "Long", "Variant"), registry flag and value type (1 string,
// 4 number, 0 none), project file flag and synchronisation flag.
struct SettingDef {
  std::string_view name;
  std::string_view dataType;
  bool regSave;
  int32_t regFormat;
  bool fileSave;
  bool sync;
  bool readOnly = false;  // the typed accessor has no put
};

// A registration table with a case-insensitive index by name.
class SettingTable {
 public:
  explicit SettingTable(std::span<const SettingDef> defs);
  std::span<const SettingDef> defs() const noexcept { return defs_; }
  // Index of a setting (any letter case); -1 when absent.
  int32_t find(std::string_view name) const;
  const SettingDef& at(int32_t index) const { return defs_[index]; }
  // The property layout every store of the class starts with.
  const std::shared_ptr<const PropertyLayout>& layout() const noexcept { return layout_; }

 private:
  std::span<const SettingDef> defs_;
  std::shared_ptr<const PropertyLayout> layout_;
  std::unordered_map<std::string, int32_t, NoCaseHash, NoCaseEqual> index_;
};

// Reads a value out of a store converted to the accessor type of its
// declared type: String → text, Boolean → Boolean, Integer → 16-bit,
// Long → 32-bit, anything else unchanged.
Variant typedSettingValue(const Variant& value, std::string_view dataType);

// Base of every object whose settings live in a property store: AGP,
// databases, tables, fields, charts and extensions. Scripts reach each setting
// by name as a property of the object; its get converts by declared type and
// its put stores the value unchanged, both through the store.
class SettingsOwner : public Dispatch {
 public:
  explicit SettingsOwner(const SettingTable& table);
  // A store a script still holds no longer answers for this object.
  ~SettingsOwner() override;

  AGProperties& Properties() const noexcept { return *properties_; }
  Ref<AGProperties> propertiesRef() const { return properties_; }
  const SettingTable& settingTable() const noexcept { return table_; }

  // Adds every setting of the table to the store (values empty).
  void RegisterProperties();

  // Setting access through the store by name (error "Key not found." when
  // the setting is not registered).
  Variant setting(std::string_view name) const;
  void setSetting(std::string_view name, const Variant& value);
  std::string str(std::string_view name) const { return setting(name).toString(); }
  bool flag(std::string_view name) const { return setting(name).toBool(); }
  int16_t int16(std::string_view name) const { return setting(name).toInteger(); }
  int32_t int32(std::string_view name) const { return setting(name).toLong(); }
  // The same by a key resolved once per layout (for settings read often).
  const Variant& setting(const SettingKey& key) const;
  void setSetting(const SettingKey& key, const Variant& value) { properties_->setValue(key, value); }
  std::string str(const SettingKey& key) const { return setting(key).toString(); }
  bool flag(const SettingKey& key) const { return setting(key).toBool(); }
  int16_t int16(const SettingKey& key) const { return setting(key).toInteger(); }
  int32_t int32(const SettingKey& key) const { return setting(key).toLong(); }

  DispId memberId(std::string_view name) override;
  Variant invoke(DispId id, uint16_t kind, Args args) override;

  // Libraries above the data model publish further members of a class (for
  // example the loaders of AGPDatabase, AGPTable and AGPField) with a table
  // built by ClassBuilder<T>, found by the class's type name. The class's
  // own members come first. Adding the same table twice has no effect.
  static void addMembers(std::string_view typeName, const ClassInfo* members);

 protected:
  // Ids of setting accessors start here; lower ids are the class's members.
  static constexpr DispId kSettingIdBase = 0x10000;
  // Ids of added members: this, plus the table's number times 0x1000, plus
  // the member's id in its table.
  static constexpr DispId kAddedMemberBase = 0x40000000;

 private:
  const SettingTable& table_;
  Ref<AGProperties> properties_;
};

}  // namespace tw

namespace tw {
// Reads every RegSave setting of a store from a section of the user's
// registry branch, converted by its declared type (missing values give
// false, 0 or an empty text).
void LoadRegistryDefaults(AGProperties& props, std::string_view section);
}  // namespace tw
