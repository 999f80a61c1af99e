#pragma once
// AGPChart: one chart of a table or report, with its 35 settings, and
// AGPCharts, the ordered collection of a table's charts.
#include <cstdint>
#include <string>
#include <string_view>

#include "model/named_collection.h"
#include "model/settings.h"

namespace tw {

class AGPChart : public SettingsOwner {
 public:
  static constexpr std::string_view kNameSetting = "ChartName";
  static constexpr std::string_view kSeqSetting = "ChartSeq";
  static constexpr std::string_view kVarSetting = "ChartVar";

  // Registers the settings and reads the user's chart defaults.
  AGPChart();
  ~AGPChart() override;

  std::string ChartName() const { return str(kNameSetting); }
  int16_t ChartSeq() const { return int16(kSeqSetting); }
  std::string ChartVar() const { return str(kVarSetting); }
  // Key is a second name for ChartName.
  std::string Key() const { return ChartName(); }
  void setKey(const Variant& name) { setSetting(kNameSetting, name); }

  const ClassInfo* classInfo() const override;
  static const SettingTable& settings();
};

// Charts differ from the other collections in three ways: adding a name that
// exists makes that chart current and succeeds, a new chart gets its ChartVar
// before it is appended, and curSeq is a text.
class AGPCharts : public NamedCollection<AGPChart> {
 public:
  // The new chart, or the existing chart of that name (made current); null
  // for an empty name or a name that differs from a key only in letter case.
  AGPChart* Add(std::string_view name);
  bool ChartExist(const Variant& index) const { return Exist(index); }
  std::string curSeqText() const { return std::to_string(curSeq()); }

  const ClassInfo* classInfo() const override;

 protected:
  Ref<AGPChart> create() override { return makeRef<AGPChart>(); }
  void prepare(AGPChart& c) override;
  void renamed(AGPChart& c) override;
};

}  // namespace tw
