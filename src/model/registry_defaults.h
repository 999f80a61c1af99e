#pragma once
// Registry defaults of new databases, tables, fields and charts.
//
// Every new data object reads its user defaults from its class's registry
// section. Reading the registry costs a query per value, which adds up when a
// project file or a database brings tens of thousands of objects at once; a
// RegistryDefaultsBatch lets the objects built while it lives share what the
// first object of each class read.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/refcounted.h"
#include "automation/variant.h"
#include "model/settings.h"

namespace tw {

// While a batch lives, data objects built on this thread take their registry
// defaults from the values the first object of their class read. Open one
// only around work that does not change those registry values. Batches nest;
// the outermost one decides.
class RegistryDefaultsBatch {
 public:
  RegistryDefaultsBatch();
  ~RegistryDefaultsBatch();
  RegistryDefaultsBatch(const RegistryDefaultsBatch&) = delete;
  RegistryDefaultsBatch& operator=(const RegistryDefaultsBatch&) = delete;

  // The batch of this thread; null when none is open.
  static RegistryDefaultsBatch* active();

 private:
  friend void LoadDataObjectDefaults(SettingsOwner& owner, std::string_view section);
  struct Entry {
    Ref<AGProperties> probe;                          // a store with the class's registrations
    std::vector<std::pair<int32_t, Variant>> values;  // store index, converted value
  };
  std::map<std::pair<const SettingTable*, std::string>, Entry> cache_;
  RegistryDefaultsBatch* outer_;
};

// LoadRegistryDefaults for a data object of a class: every RegSave setting
// from the section, converted by its declared type. Shares values within a
// batch.
void LoadDataObjectDefaults(SettingsOwner& owner, std::string_view section);

}  // namespace tw
