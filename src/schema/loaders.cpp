#include "schema/loaders.h"

#include <vector>

#include "automation/text.h"
#include "core/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/registry_defaults.h"
#include "model/table.h"
#include "schema/defaults.h"
#include "schema/schema.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/registry.h"
#include "support/status.h"

namespace tw {

namespace {

// The project's settings that loading works with, copied into the thread's
// working copies.
void copyQuoteAndDateFormat(AGP& proj) {
  EngineContext& ctx = engine();
  ctx.sqlQuote = proj.str("SQLQuote");
  Variant format = proj.setting("defaultDateFormat");
  double number = 0;
  ctx.dateFormat = (format.isNumeric() || (format.isString() && parseNumber(format.rawString(), number)))
                       ? format.toInteger()
                       : 0;
}

ConnectionValues databaseValues(const AGPDatabase& db) {
  return {
      db.setting("DBType"), db.setting("DBHost"),    db.setting("DBName"), db.setting("DBUID"),
      db.setting("DBPwd"),  db.setting("DBPort"),    db.setting("DBSID"),  db.setting("DBConnectionMethod"),
      db.setting("DBURL"),  db.setting("DBEncoding")};
}

std::string lowerType(const Variant& type) { return toLower(type.toString()); }

// Marks the fields named in a key list (blanks around names trimmed).
void markKeyFields(AGPFields& fields, std::string_view pk) {
  if (pk.empty()) return;
  size_t start = 0;
  while (true) {
    size_t comma = pk.find(',', start);
    std::string_view item = trimBlanks(
        pk.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    for (int32_t i = 0; i < fields.Count(); ++i) {
      AGPField* f = fields.at(i);
      if (f->FldName() == item) f->setSetting("FldIsPrimaryKey", Variant(true));
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
}

// The table whose TblName is the name, walking by position.
AGPTable* tableNamed(AGPDatabase& db, std::string_view name) {
  AGPTables& tables = db.tables();
  for (int32_t i = 0; i < tables.Count(); ++i)
    if (tables.at(i)->TblName() == name) return tables.at(i);
  return nullptr;
}

// The table whose TblName equals the name ignoring letter case: the
// project's keys ignore case, so no second table of that name can join it.
AGPTable* tableNamedNoCase(AGPDatabase& db, std::string_view name) {
  if (AGPTable* exact = tableNamed(db, name)) return exact;
  AGPTables& tables = db.tables();
  for (int32_t i = 0; i < tables.Count(); ++i)
    if (equalsNoCase(tables.at(i)->TblName(), name)) return tables.at(i);
  return nullptr;
}

// ": Table/View NAME already exists!", naming the holder when its name differs
// in letter case.
void reportExisting(std::string_view name, const AGPTable& holder) {
  std::string held = holder.TblName();
  if (held == name)
    setProjErr(": Table/View " + std::string(name) + " already exists!");
  else
    setProjErr(": Table/View " + std::string(name) + " already exists as " + held + "!");
}

AGPField* fieldNamed(AGPTable& t, std::string_view name) {
  AGPFields& fields = t.Fields();
  for (int32_t i = 0; i < fields.Count(); ++i)
    if (fields.at(i)->FldName() == name) return fields.at(i);
  return nullptr;
}

void failedUnlessReported() {
  if (engine().projErr.empty()) engine().projErr = "Load Database failed!";
}

}  // namespace

// ---- AGPField and AGPTable

void LoadFld_zbDB(AGPField& f, const Variant& bridgeField) {
  BridgeColumn c = readBridgeColumn(bridgeField);
  f.setSetting(AGPField::kNameSetting, Variant(c.name));
  if (c.isEnum || c.isSet) {
    f.setSetting("FldType", Variant::integer(202));
    f.setSetting("FldSupport", Variant(true));
    SetFieldType(f, 202);
  } else {
    SetFieldType(f, c.adoType);
  }
  f.setSetting("FldSize", Variant::long_(c.size));
  f.setSetting("FldZeroLen", Variant(true));
  f.setSetting("FldReq", Variant(c.required));
  f.setSetting("FldUniqueIdx", Variant(c.unique));
  f.setSetting("FldAutoIncrement", Variant(c.autoIncrement));
  f.setSetting("FldAttribute", Variant::long_(c.adoAttributes));
  f.setSetting("FldDefault", c.defaultValue);
  f.setSetting("FldTypeName", Variant(c.dataTypeName));
  f.setSetting("NativeDataType", Variant::integer(c.nativeType));
  if (c.isEnum || c.isSet) f.setSetting("FldTagValues", Variant(c.tagValues));
  LoadFldDefault(f);
}

void Load_zbDB(AGPTable& t, const Variant& bridgeTable, bool loadAll, const AGPDatabase* database) {
  Dispatch& table = *bridgeTable.toObject();
  t.setSetting(AGPTable::kNameSetting, Variant(bridgeName(bridgeTable)));
  std::string tableType = table.get("TableType").toString();
  t.setSetting("TblType", Variant(tableType));
  if (loadAll && engine().dynamicLoad) {
    t.setSetting("TblGen", Variant(false));
    t.setSetting("TblLoaded", Variant(false));
    return;
  }
  Variant columns = table.get("Fields");
  int32_t count = bridgeCount(columns);
  AGPFields& fields = t.Fields();
  for (int32_t j = 0; j < count; ++j) {
    Variant column = bridgeItem(columns, j);
    if (AGPField* f = fields.Add(bridgeName(column))) LoadFld_zbDB(*f, column);
  }
  t.setSetting("TblGen", Variant(true));
  t.setSetting("TblLoaded", Variant(true));
  std::string pk = table.get("PKField").toString();
  t.setSetting("TblKey", Variant(SortCommaList(pk)));
  markKeyFields(fields, pk);
  if (tableType == "CUSTOMVIEW") {
    ParseCustomSql(t, database);
    t.setSetting("TblCustomError", Variant(""));
  }
  LoadTableDefault(t);
}

// ---- AGPDatabase

int16_t LoadzbDB(AGPDatabase& db, const Variant& sHost, const Variant& sDBName, const Variant& sDBType,
                 const Variant& sUID, const Variant& sPwd, const Variant& sPort, const Variant& sSID,
                 const Variant& sMethod, const Variant& sUrl, const Variant& sEncoding,
                 const Variant& sTableName) {
  EngineContext& ctx = engine();
  // The tables and fields made here share the registry defaults read once.
  RegistryDefaultsBatch batch;
  std::string only = sTableName.toString();
  bool all = only.empty();
  if (!OpenBridge({sDBType, sHost, sDBName, sUID, sPwd, sPort, sSID, sMethod, sUrl, sEncoding})) return 3;
  if (all) {
    db.setSetting("DBHost", Variant(sHost.toString()));
    db.setSetting("DBPort", Variant(sPort.toString()));
    db.setSetting("DBUID", Variant(sUID.toString()));
    db.setSetting("DBPwd", Variant(sPwd.toString()));
    db.setSetting("DBSID", Variant(sSID.toString()));
    db.setSetting("DBConnectionMethod", Variant(sMethod.toString()));
    db.setSetting("DBURL", Variant(sUrl.toString()));
    db.setSetting("DBEncoding", Variant(sEncoding.toString()));
    db.setSetting("DBDBMSName", Variant(kDBMSName));
    db.setSetting("DBDBMSVer", Variant("1.0"));
    db.setSetting("DBProviderName", Variant(kProviderName));
    db.setSetting("DBProviderVer", Variant("1.0"));
  }
  ctx.dbmsName = db.str("DBDBMSName");
  Dispatch& bridge = bridgeObject();
  Variant tables = bridge.call("GetTables", {Variant(only)});
  if (all) {
    std::string quote = SQLQuoteChar(sDBType.toString(), sMethod.toString());
    if (quote == "NA") quote = bridge.call("GetQuoteChar").toString();
    db.setSetting("DBQuoteS", Variant(quote));
    db.setSetting("DBQuoteE", Variant(quote));
    ctx.dbQuoteS = ctx.dbQuoteE = quote;
  }
  bool oracle = lowerType(sDBType) == "oracle";
  AGPTables& projectTables = db.tables();
  int32_t count = bridgeCount(tables);
  for (int32_t i = 0; i < count; ++i) {
    Variant t = bridgeItem(tables, i);
    Dispatch& table = *t.toObject();
    std::string name = bridgeName(t);
    if (!all && name != only) continue;
    std::string type = table.get("TableType").toString();
    if (type != "TABLE" && type != "VIEW") continue;
    if (all) {
      if (AGPTable* added = projectTables.Add(name)) {
        added->setSetting("TblLoaded", Variant(true));
        Load_zbDB(*added, t, true, &db);
      }
    } else if (AGPTable* listed = tableNamed(db, name)) {
      Load_zbDB(*listed, t, false, &db);
    }
    if (oracle && type == "VIEW")
      if (AGPTable* view = tableNamed(db, name)) view->setSetting("TblView", Variant(true));
  }
  return ctx.projErr.empty() ? 0 : 3;
}

std::string FindDuplicateColumn(const Variant& view) {
  Variant columns = view.toObject()->get("Fields");
  int32_t count = bridgeCount(columns);
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) names.push_back(bridgeName(bridgeItem(columns, i)));
  for (size_t i = 0; i < names.size(); ++i)
    for (size_t j = i + 1; j < names.size(); ++j)
      if (names[i] == names[j])
        return "Columns with same field name: " + names[i] + ". Please create Alias for the fields.";
  return {};
}

int16_t LoadzbCustomView(AGPDatabase& db, const Variant& sTableName, const Variant& sSQL) {
  EngineContext& ctx = engine();
  RegistryDefaultsBatch batch;
  ctx.projErr.clear();
  if (!OpenBridge(databaseValues(db))) return 1;
  std::string name = sTableName.toString();
  AGPTable* t = db.tables().Add(name);
  if (!t) return 1;
  Ref<AGPTable> keep(t);
  t->setSetting("TblLoaded", Variant(true));
  Dispatch& bridge = bridgeObject();
  Variant view = bridge.call("OpenCustomView", {Variant(name), Variant(sSQL.toString())});
  ctx.projErr = bridge.call("GetLastError").toString();
  if (!ctx.projErr.empty()) {
    db.tables().Delete(name);
    return 1;
  }
  std::string repeated = FindDuplicateColumn(view);
  if (!repeated.empty()) {
    ctx.projErr = repeated;
    db.tables().Delete(name);
    return 2;
  }
  t->setSetting("TblCustomSQL", Variant(sSQL.toString()));
  Load_zbDB(*t, view, false, &db);
  return 0;
}

// ---- AGP

bool JVMLoaded() { return bridgeObject().call("IsJVMLoaded").toBool(); }

std::string LoadDatabaseNames(const Variant& sDBType, const Variant& sHost, const Variant& sPort,
                              const Variant& sUID, const Variant& sPwd, const Variant& sSID,
                              const Variant& sMethod, const Variant& sUrl, const Variant& sEncoding) {
  engine().projErr.clear();
  ConnectBridge({sDBType, sHost, Variant(""), sUID, sPwd, sPort, sSID, sMethod, sUrl, sEncoding});
  return bridgeObject().call("GetDatabaseNames").toString();
}

void LoadDB(AGP& proj, const Variant& sDBName, const Variant& sDBType, const Variant& sHost,
            const Variant& sPort, const Variant& sUID, const Variant& sPwd, const Variant& sSID,
            const Variant& sMethod, const Variant& sUrl, const Variant& sEncoding) {
  EngineContext& ctx = engine();
  ctx.statusCaption = ctx.productName + " - Loading Database...";
  if (proj.DBCnt() > 0) {
    ctx.projErr = "database already loaded!";
    return;
  }
  std::string type = lowerType(sDBType);
  bool loadable = isLoadableType(type);
  if (loadable) {
    std::string name = sDBName.toString();
    if (name.empty()) {
      ctx.projErr = "Invalid DBName specified!";
      return;
    }
    proj.setCurrentDbName(name);
  }
  pumpEvents();
  proj.Databases().Add(proj.currentDbName());
  if (proj.DBCnt() == 0) {
    // Only a database type the loaders do not read comes here without a name.
    ctx.projErr.clear();
    return;
  }
  AGPDatabase* db = proj.db();
  Ref<AGPDatabase> keep(db);
  db->setSetting("DBType", Variant(sDBType.toString()));
  ctx.secDefault = db->setting("SecDefault");
  copyQuoteAndDateFormat(proj);
  ctx.dynamicLoad = proj.setting("DynamicLoadDB").toBool();
  int16_t status = 0;
  if (loadable) {
    proj.setSetting("XMLEncoding", Variant(sEncoding.toString()));
    status = LoadzbDB(*db, sHost, sDBName, sDBType, sUID, sPwd, sPort, sSID, sMethod, sUrl, sEncoding,
                      Variant(""));
  }
  if (status != 0) {
    proj.Databases().Delete(proj.currentDbName());
    failedUnlessReported();
    return;
  }
  LoadUserExtensions(proj);
  ctx.projErr.clear();
}

void LoadUserExtensions(AGP& proj) { proj.LoadExtensionList(); }

void LoadTable(AGP& proj, const Variant& sTableName) {
  EngineContext& ctx = engine();
  if (proj.DBCnt() == 0) {
    setProjErr(": Database not loaded!");
    return;
  }
  AGPDatabase* db = proj.db();
  Ref<AGPDatabase> keep(db);
  std::string name = sTableName.toString();
  AGPTable* t = tableNamed(*db, name);
  if (!t) {
    setProjErr(": Table " + name + " not found!");
    return;
  }
  if (t->flag("TblLoaded")) {
    setProjErr(": Table " + name + " already loaded!");
    return;
  }
  pumpEvents();
  copyQuoteAndDateFormat(proj);
  ctx.secDefault = db->setting("SecDefault");
  ConnectionValues v = databaseValues(*db);
  int16_t status = 0;
  if (isLoadableType(lowerType(v.type)))
    status = LoadzbDB(*db, v.host, v.database, v.type, v.user, v.password, v.port, v.sid, v.method, v.url,
                      v.encoding, Variant(name));
  if (status != 0)
    failedUnlessReported();
  else
    ctx.projErr.clear();
}

void UnLoadDB(AGP& proj) {
  if (proj.DBCnt() == 0) return;
  EngineContext& ctx = engine();
  AGPDatabase* db = proj.db();
  int32_t tables = db->hasTables() ? db->tables().Count() : 0;
  if (tables > proj.UnloadThreshold()) ctx.statusCaption = ctx.productName + " - Unloading Database...";
  proj.Databases().Delete(proj.currentDbName());
  AGPExtensions& extensions = proj.Extensions();
  for (int32_t i = extensions.Count(); i >= 1; --i) {
    AGPExtension* e = extensions.at(i - 1);
    proj.DeleteExtension(e->Name());
  }
  ctx.projErr.clear();
  // ClearSecuritySettings
  proj.setSetting("SecTbl", Variant(""));
  proj.setSetting("SecLoginIDFld", Variant(""));
  proj.setSetting("SecPasswdFld", Variant(""));
}

void LoadCustomView(AGP& proj, const Variant& sTableName, const Variant& sSQL, const Variant& bCopyFields) {
  EngineContext& ctx = engine();
  ctx.projErr.clear();
  if (proj.DBCnt() == 0) {
    setProjErr(": Database not loaded!");
    return;
  }
  AGPDatabase* db = proj.db();
  Ref<AGPDatabase> keep(db);
  std::string name = sTableName.toString();
  if (AGPTable* holder = tableNamedNoCase(*db, name)) {
    reportExisting(name, *holder);
    return;
  }
  ctx.statusCaption = ctx.productName + " - Loading " + name + "...";
  AGPStatus& status = ctx.status();
  status.ShowStatus2(proj.lhWnd(), ctx.statusCaption);
  status.DispStatus("Please wait...");
  pumpEvents();
  copyQuoteAndDateFormat(proj);
  ctx.secDefault = db->setting("SecDefault");
  int16_t result = LoadzbCustomView(*db, sTableName, sSQL);
  if (result == 0 && bCopyFields.toBool()) {
    if (AGPTable* view = tableNamed(*db, name)) {
      AGPFields& fields = view->Fields();
      for (int32_t i = 0; i < fields.Count(); ++i) {
        AGPField& f = *fields.at(i);
        std::string sourceTable = f.str("FldSourceTable");
        std::string sourceField = f.str("FldSourceField");
        if (sourceTable.empty() || sourceField.empty()) continue;
        AGPTable* source = tableNamed(*db, sourceTable);
        if (!source || !source->flag("TblLoaded")) continue;
        if (AGPField* from = fieldNamed(*source, sourceField))
          CopySyncProperties(from->Properties(), f.Properties());
      }
    }
  }
  status.CloseStatus();
  if (result != 0)
    failedUnlessReported();
  else
    ctx.projErr.clear();
}

bool LoadReport(AGP& proj, const Variant& sTableName, const Variant& sFromTableName) {
  EngineContext& ctx = engine();
  if (proj.DBCnt() == 0) {
    setProjErr(": Database not loaded!");
    return false;
  }
  AGPDatabase* db = proj.db();
  Ref<AGPDatabase> keep(db);
  std::string name = sTableName.toString();
  std::string fromName = sFromTableName.toString();
  AGPTable* from = nullptr;
  AGPTables& tables = db->tables();
  for (int32_t i = 0; i < tables.Count(); ++i) {
    AGPTable* t = tables.at(i);
    if (t->TblName() == name) {
      setProjErr(": Table/View " + name + " already exists!");
      return false;
    }
    if (!from && t->TblName() == fromName && t->flag("TblLoaded")) from = t;
  }
  if (!from) {
    setProjErr(": Table/View " + fromName + " not exist or loaded!");
    return false;
  }
  if (AGPTable* holder = tableNamedNoCase(*db, name)) {
    reportExisting(name, *holder);
    return false;
  }
  Ref<AGPTable> keepSource(from);
  RegistryDefaultsBatch batch;
  ctx.statusCaption = ctx.productName + " - Loading " + name + "...";
  AGPStatus& status = ctx.status();
  status.ShowStatus2(proj.lhWnd(), ctx.statusCaption);
  status.DispStatus("Please wait...");
  AGPTable* report = tables.Add(name);
  if (!report) {
    status.CloseStatus();
    return false;
  }
  report->setSetting("TblType", Variant("REPORT"));
  report->setSetting("TblRptSrc", Variant(fromName));
  report->setSetting("TblLoaded", Variant(true));
  report->setSetting("TblGen", Variant(true));
  ctx.secDefault = db->setting("SecDefault");
  LoadTableDefault(*report);
  report->setSetting("TblRecPerPage", proj.setting("RecPerPage"));
  report->setSetting("TblRecPerPageList", proj.setting("RecPerPageList"));
  report->setSetting("TblPagerStyle", proj.setting("PagerStyle"));
  report->setSetting("TblTopPageLink", proj.setting("TopPageLink"));
  report->setSetting("TblExportHtml", proj.setting("ExportHtml"));
  report->setSetting("TblExportWord", proj.setting("ExportWord"));
  report->setSetting("TblExportExcel", proj.setting("ExportExcel"));
  AGPFields& sourceFields = from->Fields();
  AGPFields& reportFields = report->Fields();
  for (int32_t i = 0; i < sourceFields.Count(); ++i) {
    AGPField& source = *sourceFields.at(i);
    AGPField* f = reportFields.Add(source.FldName());
    if (!f) continue;
    const AGProperties& props = source.Properties();
    for (int32_t p = 0; p < props.Count(); ++p) {
      const std::string& prop = props.meta(p).name;
      if (prop == AGPField::kNameSetting) continue;
      if (f->Properties().findKey(prop) >= 0) f->Properties().setValue(prop, props.valueAt(p));
    }
    for (const char* page : {"FldAdd", "FldView", "FldEdit", "FldSearch", "FldBasicSearch", "FldRegister"})
      f->setSetting(page, Variant(false));
  }
  status.CloseStatus();
  ctx.projErr.clear();
  return true;
}

bool LoadChart(AGP& proj, std::string_view sChartName, std::string_view sTableName) {
  if (proj.DBCnt() == 0) {
    setProjErr(": Database not loaded!");
    return false;
  }
  AGPTable* t = tableNamed(*proj.db(), sTableName);
  if (!t) {
    setProjErr(": Chart source " + std::string(sTableName) + " not exist!");
    return false;
  }
  AGPCharts& charts = t->Charts();
  if (charts.ChartExist(Variant(sChartName))) {
    setProjErr(": Chart " + std::string(sChartName) + " already exists!");
    return false;
  }
  if (!charts.Add(sChartName)) {
    setProjErr(": Add Chart " + std::string(sChartName) + " failed!");
    return false;
  }
  return true;
}

bool CopyChart(AGP& proj, std::string_view sOldChartName, std::string_view sNewChartName,
               std::string_view sTableName) {
  if (proj.DBCnt() == 0) {
    setProjErr(": Database not loaded!");
    return false;
  }
  AGPTable* t = tableNamed(*proj.db(), sTableName);
  if (!t) {
    setProjErr(": Chart source " + std::string(sTableName) + " not exist!");
    return false;
  }
  AGPCharts& charts = t->Charts();
  if (!charts.ChartExist(Variant(sOldChartName))) {
    setProjErr(": Chart " + std::string(sOldChartName) + " does not exist!");
    return false;
  }
  if (charts.ChartExist(Variant(sNewChartName))) {
    setProjErr(": Chart " + std::string(sNewChartName) + " already exists!");
    return false;
  }
  AGPChart* added = charts.Add(sNewChartName);
  if (!added) {
    setProjErr(": Add Chart " + std::string(sNewChartName) + " failed!");
    return false;
  }
  Ref<AGPChart> keep(added);
  AGPChart* old = nullptr;
  for (int32_t i = 0; i < charts.Count(); ++i)
    if (charts.at(i)->ChartName() == sOldChartName) old = charts.at(i);
  if (old) CopySyncProperties(old->Properties(), added->Properties());
  return true;
}

}  // namespace tw
