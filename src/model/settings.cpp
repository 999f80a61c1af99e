#include "model/settings.h"

#include "support/engine_context.h"

#include <string>
#include <vector>

namespace tw {

SettingTable::SettingTable(std::span<const SettingDef> defs)
    : defs_(defs), layout_(PropertyLayout::fromTable(defs.data(), defs.size())) {
  for (size_t i = 0; i < defs.size(); ++i) index_.emplace(std::string(defs[i].name), static_cast<int32_t>(i));
}

int32_t SettingTable::find(std::string_view name) const {
  auto it = index_.find(name);
  return it == index_.end() ? -1 : it->second;
}

Variant typedSettingValue(const Variant& value, std::string_view dataType) {
  if (dataType == "String") return Variant(value.toString());
  if (dataType == "Boolean") return Variant(value.toBool());
  if (dataType == "Integer") return Variant::integer(value.toInteger());
  if (dataType == "Long") return Variant::long_(value.toLong());
  return value;
}

namespace {

// Where a setting sits in a store. A store that still shares its table's
// layout holds the settings in table order, so the setting's number is its
// position and the name need not be looked up again.
int32_t settingPosition(const AGProperties& props, const SettingTable& table, int32_t index) {
  const PropertyLayout& layout = *table.layout();
  if (index < props.Count() && static_cast<size_t>(index) < layout.metas.size() &&
      &props.meta(index) == &layout.metas[static_cast<size_t>(index)])
    return index;
  return props.indexOfKey(table.at(index).name);
}

}  // namespace

SettingsOwner::SettingsOwner(const SettingTable& table)
    : table_(table), properties_(makeRef<AGProperties>()) {
  properties_->setOwner(this);
}

SettingsOwner::~SettingsOwner() { properties_->setOwner(nullptr); }

void SettingsOwner::RegisterProperties() { properties_->AddLayout(table_.layout()); }

Variant SettingsOwner::setting(std::string_view name) const {
  if (SettingsReadRecorder* r = engine().settingsReads) r->read(this);
  return properties_->value(name);
}

const Variant& SettingsOwner::setting(const SettingKey& key) const {
  if (SettingsReadRecorder* r = engine().settingsReads) r->read(this);
  return properties_->value(key);
}

void SettingsOwner::setSetting(std::string_view name, const Variant& value) {
  properties_->setValue(name, value);
}

namespace {

struct AddedMembers {
  std::string typeName;
  const ClassInfo* members;
};

std::vector<AddedMembers>& addedMembers() {
  static std::vector<AddedMembers> tables;
  return tables;
}

constexpr DispId kAddedStride = 0x1000;

}  // namespace

void SettingsOwner::addMembers(std::string_view typeName, const ClassInfo* members) {
  auto& tables = addedMembers();
  for (const AddedMembers& t : tables)
    if (t.members == members) return;
  tables.push_back({std::string(typeName), members});
}

DispId SettingsOwner::memberId(std::string_view name) {
  DispId id = Dispatch::memberId(name);
  if (id != kDispIdUnknown) return id;
  const auto& tables = addedMembers();
  if (!tables.empty()) {
    std::string type = typeName();
    for (size_t i = 0; i < tables.size(); ++i) {
      if (tables[i].typeName != type) continue;
      DispId local = tables[i].members->find(name);
      if (local != kDispIdUnknown) return kAddedMemberBase + static_cast<DispId>(i) * kAddedStride + local;
    }
  }
  int32_t index = table_.find(name);
  return index < 0 ? kDispIdUnknown : kSettingIdBase + index;
}

Variant SettingsOwner::invoke(DispId id, uint16_t kind, Args args) {
  if (id >= kAddedMemberBase) {
    const auto& tables = addedMembers();
    size_t table = static_cast<size_t>((id - kAddedMemberBase) / kAddedStride);
    if (table >= tables.size()) raise(kErrNoSuchMember);
    return invokeTable(*tables[table].members, (id - kAddedMemberBase) % kAddedStride, kind, args);
  }
  if (id < kSettingIdBase) return Dispatch::invoke(id, kind, args);
  int32_t index = id - kSettingIdBase;
  const SettingDef& def = table_.at(index);
  if (kind & (kInvokePut | kInvokePutRef)) {
    if (args.size() != 1 || def.readOnly) raise(kErrWrongArgCount);
    properties_->valueAt(settingPosition(*properties_, table_, index)) = args[0];
    return Variant();
  }
  if (!args.empty()) raise(kErrWrongArgCount);
  if (SettingsReadRecorder* r = engine().settingsReads) r->read(this);
  const AGProperties& props = *properties_;
  return typedSettingValue(props.valueAt(settingPosition(props, table_, index)), def.dataType);
}

}  // namespace tw

#include "support/convert.h"
#include "support/registry.h"

namespace tw {

void LoadRegistryDefaults(AGProperties& props, std::string_view section) {
  for (int32_t i = 0, n = props.Count(); i < n; ++i) {
    PropertyAt p = props.at(i);
    if (p.RegSave()) p.setValue(ConvertByTypeName(RegRead("HKCU", section, p.Name()), p.DataType()));
  }
}

}  // namespace tw
