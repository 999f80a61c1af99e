#include <array>

#include "model/chart.h"

namespace tw {

namespace {

// The chart settings in registration order; the project file writes them in
// this order.
// Columns: name, declared type, kept in the registry, registry value type
// (1 string, 4 number), written to the project file, carried over by
// synchronisation[, read-only accessor].
constexpr std::array kChartSettings = std::to_array<SettingDef>({
    {"ChartSeq", "Integer", false, 0, true, false},
    {"ChartName", "String", false, 0, true, false},
    {"ChartVar", "String", false, 0, false, false},
    {"ShowChart", "Boolean", true, 1, true, true},
    {"ChartXFldName", "String", false, 0, true, true},
    {"ChartYFldName", "String", false, 0, true, true},
    {"ChartType", "Integer", true, 4, true, true},
    {"ChartWidth", "Integer", true, 4, true, true},
    {"ChartHeight", "Integer", true, 4, true, true},
    {"ChartBgColor", "String", true, 1, true, true},
    {"ChartCaption", "String", false, 0, true, true},
    {"ChartBorderLeftColor", "String", true, 1, true, true},
    {"ChartBorderTopColor", "String", true, 1, true, true},
    {"ChartBorderBottomColor", "String", true, 1, true, true},
    {"ChartBorderRightColor", "String", true, 1, true, true},
    {"ChartChartBgColor", "String", true, 1, true, true},
    {"ChartChartBorderColor", "String", true, 1, true, true},
    {"ChartNumGridLines", "Integer", true, 4, true, true},
    {"ChartGridColor", "String", true, 1, true, true},
    {"ChartXAxisName", "String", false, 0, true, true},
    {"ChartXAxisNameRotated", "Boolean", true, 1, true, true},
    {"ChartXAxisValueMaxChar", "Integer", true, 4, true, true},
    {"ChartXAxisValueRotation", "Integer", true, 4, true, true},
    {"ChartYAxisName", "String", false, 0, true, true},
    {"ChartYAxisNameRotated", "Boolean", true, 1, true, true},
    {"ChartYAxisMinValue", "Long", true, 4, true, true},
    {"ChartYAxisMaxValue", "Long", true, 4, true, true},
    {"ChartShowNames", "Boolean", true, 1, true, true},
    {"ChartShowValues", "Boolean", true, 1, true, true},
    {"ChartShowHover", "Boolean", true, 1, true, true},
    {"ChartAlpha", "Integer", true, 4, true, true},
    {"ChartColorPalette", "String", true, 1, true, true},
    {"ChartUseGlobalCss", "Boolean", true, 1, true, true},
    {"ChartSortType", "Integer", true, 4, true, true},
    {"ChartPosition", "Integer", true, 4, true, true},
});

}  // namespace

const SettingTable& AGPChart::settings() {
  static const SettingTable table(kChartSettings);
  return table;
}

}  // namespace tw
