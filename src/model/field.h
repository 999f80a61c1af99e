#pragma once
// AGPField: one column of a table, view, custom view or report, with its 106
// settings, and AGPFields, the ordered collection of a table's fields.
#include <cstdint>
#include <string>
#include <string_view>

#include "model/named_collection.h"
#include "model/settings.h"

namespace tw {

class AGPField : public SettingsOwner {
 public:
  static constexpr std::string_view kNameSetting = "FldName";
  static constexpr std::string_view kSeqSetting = "FldSeq";
  static constexpr std::string_view kVarSetting = "FldVar";
  static constexpr std::string_view kVarPrefix = "x_";

  // Registers the settings and reads the user's field defaults.
  AGPField();
  ~AGPField() override;

  std::string FldName() const { return str(kNameSetting); }
  int16_t FldSeq() const { return int16(kSeqSetting); }
  std::string FldVar() const { return str(kVarSetting); }
  // Key is a second name for FldName.
  std::string Key() const { return FldName(); }
  void setKey(const Variant& name) { setSetting(kNameSetting, name); }

  const ClassInfo* classInfo() const override;
  static const SettingTable& settings();
};

class AGPFields : public NamedCollection<AGPField> {
 public:
  bool FieldExist(const Variant& index) const { return Exist(index); }

  const ClassInfo* classInfo() const override;

 protected:
  Ref<AGPField> create() override { return makeRef<AGPField>(); }
  void renamed(AGPField& f) override;
};

}  // namespace tw
