#pragma once
// cRegistry: one registry value at a time through a root, a section and a
// value name; and the RegRead/RegWrite shortcuts the engine uses everywhere.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"
#include "automation/variant.h"
#include "support/registry_store.h"

namespace tw {

// Error raised when a value cannot be written.
inline constexpr int32_t kErrRegistryWrite = static_cast<int32_t>(0x800469A9u);

class cRegistry : public Dispatch {
 public:
  cRegistry();
  // Uses the given store instead of the engine's (tests).
  explicit cRegistry(RegistryStore& store);

  uint32_t classKey() const noexcept { return classKey_; }
  void setClassKey(uint32_t root) noexcept { classKey_ = root; }
  const std::string& sectionKey() const noexcept { return section_; }
  void setSectionKey(std::string_view s) { section_ = std::string(s); }
  const std::string& valueKey() const noexcept { return valueName_; }
  void setValueKey(std::string_view s) { valueName_ = std::string(s); }
  int32_t valueType() const noexcept { return valueType_; }
  void setValueType(int32_t t) noexcept { valueType_ = t; }
  const Variant& defaultValue() const noexcept { return default_; }
  void setDefault(const Variant& v) { default_ = v; }

  // Reads the value; Default when it does not exist or cannot be read. The
  // value's stored type becomes ValueType (unchanged when there is no value).
  Variant value();
  // Writes the value with ValueType; raises kErrRegistryWrite on failure.
  void setValue(const Variant& v);

  // Sub-key names of SectionKey; returns their count.
  int32_t enumerateSections(std::vector<std::string>& out);
  // Value names below SectionKey; returns their count.
  int32_t enumerateValues(std::vector<std::string>& out);
  bool keyExists();
  bool createKey();
  bool deleteKey();
  bool deleteValue();

  std::string typeName() const override { return "cRegistry"; }
  const ClassInfo* classInfo() const override;

 private:
  RegistryStore& store();
  [[noreturn]] void raiseWriteError(const Variant& v) const;

  RegistryStore* store_ = nullptr;  // null: the engine's store
  uint32_t classKey_ = kRootCurrentUser;
  std::string section_;
  std::string valueName_;
  int32_t valueType_ = kRegString;
  Variant default_;
  Variant current_;
};

// Reads one value; the root "HKLM" is the local machine, anything else the
// current user. Remembers the value's type in engine().lastRegType.
Variant RegRead(std::string_view root, std::string_view section, std::string_view valueName);
// Writes one value, creating the key when needed.
void RegWrite(std::string_view root, std::string_view section, std::string_view valueName, int32_t type,
              const Variant& value);

// Expands $VAR, ${VAR} and %VAR% from the environment; unknown names stay.
std::string expandEnvironment(std::string_view text);

}  // namespace tw
