#pragma once
// Filling a project from a database: listing the server's databases,
// loading one database (every table and view, or only their names when
// loading is dynamic), loading listed tables later, custom views, reports and
// charts, and unloading. Scripts and the front end reach these as members of
// AGP, AGPDatabase, AGPTable and AGPField once installSchemaMembers has run.
//
// Every operation reports through ProjErr; errors raised by the bridge or
// its objects (and port texts that are no number) reach the caller.
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/variant.h"

namespace tw {

class AGP;
class AGPDatabase;
class AGPField;
class AGPTable;

// Publishes the members below on AGP, AGPDatabase, AGPTable and AGPField.
// Called at start-up by the command-line tool and the tests; calling it
// again has no effect.
void installSchemaMembers();

// ---- AGP members

bool JVMLoaded();
std::string LoadDatabaseNames(const Variant& sDBType, const Variant& sHost, const Variant& sPort,
                              const Variant& sUID, const Variant& sPwd, const Variant& sSID,
                              const Variant& sMethod, const Variant& sUrl, const Variant& sEncoding);
void LoadDB(AGP& proj, const Variant& sDBName, const Variant& sDBType, const Variant& sHost,
            const Variant& sPort, const Variant& sUID, const Variant& sPwd, const Variant& sSID,
            const Variant& sMethod, const Variant& sUrl, const Variant& sEncoding);
// Adds the extensions listed in the user's Extensions key, in registry order.
void LoadUserExtensions(AGP& proj);
void LoadTable(AGP& proj, const Variant& sTableName);
void UnLoadDB(AGP& proj);
void LoadCustomView(AGP& proj, const Variant& sTableName, const Variant& sSQL, const Variant& bCopyFields);
bool LoadReport(AGP& proj, const Variant& sTableName, const Variant& sFromTableName);
bool LoadChart(AGP& proj, std::string_view sChartName, std::string_view sTableName);
bool CopyChart(AGP& proj, std::string_view sOldChartName, std::string_view sNewChartName,
               std::string_view sTableName);

// ---- AGPDatabase members

// Status 0 success, 3 failure. An empty table name loads every table and
// view; a name loads that listed table.
int16_t LoadzbDB(AGPDatabase& db, const Variant& sHost, const Variant& sDBName, const Variant& sDBType,
                 const Variant& sUID, const Variant& sPwd, const Variant& sPort, const Variant& sSID,
                 const Variant& sMethod, const Variant& sUrl, const Variant& sEncoding,
                 const Variant& sTableName);
// Status 0 success, 1 failure, 2 repeated column names.
int16_t LoadzbCustomView(AGPDatabase& db, const Variant& sTableName, const Variant& sSQL);
// "Columns with same field name: ..." for the first repeated result column
// name of a bridge table object; empty when the names are distinct.
std::string FindDuplicateColumn(const Variant& view);

// ---- AGPTable and AGPField members

// Fills a table from a bridge table object. The database (when given) lets
// custom view columns be traced through its other tables.
void Load_zbDB(AGPTable& table, const Variant& bridgeTable, bool loadAll,
               const AGPDatabase* database = nullptr);
void LoadFld_zbDB(AGPField& field, const Variant& bridgeField);

}  // namespace tw
