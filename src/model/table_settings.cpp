#include <array>

#include "model/table.h"

namespace tw {

namespace {

// The table settings in registration order; the project file writes them in
// this order.
// Columns: name, declared type, kept in the registry, registry value type
// (1 string, 4 number), written to the project file, carried over by
// synchronisation[, read-only accessor].
constexpr std::array kTableSettings = std::to_array<SettingDef>({
    {"TblSync", "Boolean", false, 0, false, false},
    {"TblSeq", "Integer", false, 0, true, false},
    {"TblName", "String", false, 0, true, false},
    {"TblType", "String", false, 0, true, false},
    {"TblKey", "String", false, 0, true, false},
    {"TblGen", "Boolean", false, 0, true, true},
    {"TblList", "Boolean", false, 0, true, true},
    {"TblView", "Boolean", false, 0, true, true},
    {"TblInlineEdit", "Boolean", true, 1, true, true},
    {"TblEdit", "Boolean", false, 0, true, true},
    {"TblAdd", "Boolean", false, 0, true, true},
    {"TblDelete", "Boolean", false, 0, true, true},
    {"TblCaption", "String", false, 0, true, true},
    {"TblVar", "String", false, 0, false, false},
    {"TblSrchType", "String", false, 0, true, true},
    {"TblDefault", "Boolean", false, 0, true, true},
    {"TblCopy", "Boolean", false, 0, true, true},
    {"TblFilter", "String", false, 0, true, false},
    {"TblUserIDFld", "String", false, 0, true, true},
    {"TblSecurity", "String", false, 0, true, true},
    {"TblMasterTbl", "String", false, 0, true, true},
    {"TblMasterFld", "String", false, 0, true, true},
    {"TblDetailFld", "String", false, 0, true, true},
    {"TblBlob", "Boolean", false, 0, true, true},
    {"TblSysGenUnits", "String", false, 0, false, false},
    {"TblSysGenOption", "String", false, 0, false, false},
    {"TblUserGenOption", "String", false, 0, false, false},
    {"TblOverwrite", "Boolean", true, 1, true, true},
    {"TblLoaded", "Boolean", false, 0, true, true},
    {"TblRptShowDetails", "Boolean", true, 1, true, true},
    {"TblRptShowGrandTotal", "Boolean", true, 1, true, true},
    {"TblReportType", "String", false, 0, true, true},
    {"TblShowReport", "Boolean", true, 1, true, true},
    {"TblRptShowPageTotal", "Boolean", true, 1, true, true},
    {"TblRowSum", "Boolean", true, 1, true, true},
    {"TblCustomSQL", "String", false, 0, true, false},
    {"TblCustomError", "String", false, 0, true, false},
    {"TblRptSrc", "String", false, 0, true, true},
    {"TblUseGlobal", "Boolean", true, 1, true, true},
    {"TblRecPerPage", "Integer", true, 4, true, true},
    {"TblRecPerPageList", "String", true, 1, true, true},
    {"TblExportHtml", "Boolean", true, 1, true, true},
    {"TblExportWord", "Boolean", true, 1, true, true},
    {"TblExportExcel", "Boolean", true, 1, true, true},
    {"TblExportXml", "Boolean", true, 1, true, true},
    {"TblExportCsv", "Boolean", true, 1, true, true},
    {"TblRecPerRow", "Integer", true, 4, true, true},
    {"TblMultiDelete", "Boolean", true, 1, true, true},
    {"TblSortType", "Integer", true, 4, true, true},
    {"TblPagerStyle", "Integer", true, 4, true, true},
    {"TblTopPageLink", "Boolean", true, 1, true, true},
    {"TblLinkOnLeft", "Boolean", true, 1, true, true},
});

}  // namespace

const SettingTable& AGPTable::settings() {
  static const SettingTable table(kTableSettings);
  return table;
}

}  // namespace tw
