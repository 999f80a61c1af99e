#pragma once
// AGPTable: one table, view, custom view or report of the project (the kind
// is its TblType setting), with its 52 settings, its fields and its charts;
// and AGPTables, the ordered collection of a database's tables.
#include <cstdint>
#include <string>
#include <string_view>

#include "model/chart.h"
#include "model/field.h"
#include "model/named_collection.h"
#include "model/settings.h"

namespace tw {

class AGPTable : public SettingsOwner {
 public:
  static constexpr std::string_view kNameSetting = "TblName";
  static constexpr std::string_view kSeqSetting = "TblSeq";
  static constexpr std::string_view kVarSetting = "TblVar";

  // Registers the settings and reads the user's table defaults.
  AGPTable();
  ~AGPTable() override;

  std::string TblName() const { return str(kNameSetting); }
  int16_t TblSeq() const { return int16(kSeqSetting); }
  std::string TblVar() const { return str(kVarSetting); }
  // Key is a second name for TblName.
  std::string Key() const { return TblName(); }
  void setKey(const Variant& name) { setSetting(kNameSetting, name); }

  // The fields and charts, created on first use.
  AGPFields& Fields();
  AGPCharts& Charts();
  // Whether the collections exist yet (they are not created by asking).
  bool hasFields() const noexcept { return fields_.get() != nullptr; }
  bool hasCharts() const noexcept { return charts_.get() != nullptr; }

  const ClassInfo* classInfo() const override;
  static const SettingTable& settings();

 private:
  Ref<AGPFields> fields_;
  Ref<AGPCharts> charts_;
};

class AGPTables : public NamedCollection<AGPTable> {
 public:
  bool TableExist(const Variant& index) const { return Exist(index); }

  const ClassInfo* classInfo() const override;

 protected:
  Ref<AGPTable> create() override { return makeRef<AGPTable>(); }
  void renamed(AGPTable& t) override;
};

}  // namespace tw
