#include "model/registry_defaults.h"

namespace tw {

namespace {
thread_local RegistryDefaultsBatch* tActiveBatch = nullptr;
}  // namespace

RegistryDefaultsBatch::RegistryDefaultsBatch() : outer_(tActiveBatch) {
  if (!outer_) tActiveBatch = this;
}

RegistryDefaultsBatch::~RegistryDefaultsBatch() {
  if (tActiveBatch == this) tActiveBatch = outer_;
}

RegistryDefaultsBatch* RegistryDefaultsBatch::active() { return tActiveBatch; }

void LoadDataObjectDefaults(SettingsOwner& owner, std::string_view section) {
  AGProperties& props = owner.Properties();
  RegistryDefaultsBatch* batch = tActiveBatch;
  if (!batch) {
    LoadRegistryDefaults(props, section);
    return;
  }
  auto key = std::make_pair(&owner.settingTable(), std::string(section));
  auto it = batch->cache_.find(key);
  if (it == batch->cache_.end()) {
    RegistryDefaultsBatch::Entry entry;
    entry.probe = makeRef<AGProperties>(owner.settingTable().layout());
    it = batch->cache_.emplace(std::move(key), std::move(entry)).first;
  }
  RegistryDefaultsBatch::Entry& entry = it->second;
  // Values are shared only between stores that still have their class's
  // registrations, so that a store index means the same setting in each.
  if (!props.sharesLayout(*entry.probe)) {
    LoadRegistryDefaults(props, section);
    return;
  }
  if (entry.values.empty()) {
    LoadRegistryDefaults(props, section);
    for (int32_t i = 0, n = props.Count(); i < n; ++i)
      if (props.meta(i).regSave) entry.values.emplace_back(i, props.valueAt(i));
    if (entry.values.empty()) entry.values.emplace_back(-1, Variant());  // read once, nothing to share
    return;
  }
  for (const auto& [index, value] : entry.values)
    if (index >= 0) props.valueAt(index) = value;
}

}  // namespace tw
