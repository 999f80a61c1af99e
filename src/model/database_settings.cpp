#include <array>

#include "model/database.h"

namespace tw {

namespace {

// The database settings in registration order; the project file writes them in
// this order. The four DBMS and provider settings are read-only for callers.
// Columns: name, declared type, kept in the registry, registry value type
// (1 string, 4 number), written to the project file, carried over by
// synchronisation[, read-only accessor].
constexpr std::array kDatabaseSettings = std::to_array<SettingDef>({
    {"DBName", "String", false, 0, true, false},
    {"DBType", "String", false, 0, true, false},
    {"DBDatabaseNames", "String", false, 0, true, false},
    {"DBSID", "String", false, 0, true, false},
    {"DBConnectionMethod", "String", false, 0, true, false},
    {"DBURL", "String", false, 0, true, false},
    {"DBHost", "String", false, 0, true, false},
    {"DBPort", "String", false, 0, true, false},
    {"DBEncoding", "String", false, 0, true, false},
    {"DBUID", "String", false, 0, true, false},
    {"DBPwd", "String", false, 0, true, false},
    {"DBQuoteS", "String", false, 0, true, false},
    {"DBQuoteE", "String", false, 0, true, false},
    {"DBDBMSName", "String", false, 0, true, false, true},
    {"DBDBMSVer", "String", false, 0, true, false, true},
    {"DBProviderName", "String", false, 0, true, false, true},
    {"DBProviderVer", "String", false, 0, true, false, true},
    {"MaxUploadSize", "Long", true, 4, true, true},
    {"SecUserLevelFld", "String", false, 0, true, true},
    {"SecDefault", "String", false, 0, true, true},
    {"SecuUserIDFld", "String", false, 0, true, true},
    {"SecuParentUserIDFld", "String", false, 0, true, true},
});

}  // namespace

const SettingTable& AGPDatabase::settings() {
  static const SettingTable table(kDatabaseSettings);
  return table;
}

}  // namespace tw
