// The synchronisation check: how the live database differs from the project.
#include <unordered_set>

#include "automation/text.h"
#include "core/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "schema/schema.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "sync/sync.h"
#include "sync/sync_internal.h"

namespace tw {

using sync::Count16;

namespace {

bool isValueListType(int16_t native) { return native == 247 || native == 248; }

// What comparing a list of schema columns with a table's fields found.
struct ColumnCounts {
  Count16 added;    // columns without a field of their name
  Count16 changed;  // columns whose field differs
  Count16 matched;  // columns whose field is equal
};

// Compares the columns of a schema table with the fields of a project table,
// each column with the first field of its name. `viewSources` takes the value
// lists of enumeration fields from the columns they were traced to, as custom
// views do.
ColumnCounts compareColumns(AGP& proj, const AGSchemaTable& source, AGPTable& table, bool viewSources) {
  ColumnCounts counts;
  sync::FieldIndex fields(table);
  for (int16_t j = 1; j <= source.TblFldCnt; ++j) {
    const AGSchemaField& column = source.TblFields.fld[static_cast<size_t>(j)];
    AGPField* field = fields.find(column.FldName);
    if (!field) {
      counts.added.add(1);
      continue;
    }
    std::string valueList;
    if (viewSources && isValueListType(field->int16("NativeDataType"))) {
      std::string sourceTable = field->str("FldSourceTable");
      std::string sourceField = field->str("FldSourceField");
      if (!sourceTable.empty() && !sourceField.empty())
        valueList = SourceValueList(proj, sourceTable, sourceField);
    }
    if (CompareField(column, *field, false, valueList))
      counts.matched.add(1);
    else
      counts.changed.add(1);
  }
  return counts;
}

std::string tableKey(std::string_view type, std::string_view name) {
  std::string key(type);
  key += '\0';
  key += name;
  return key;
}

}  // namespace

bool SameValueList(std::string_view a, std::string_view b) {
  if (a == b) return true;
  std::vector<std::string_view> la = sync::valueLines(a), lb = sync::valueLines(b);
  if (la.size() != lb.size()) return false;
  for (size_t i = 0; i < la.size(); ++i)
    if (sync::lineItem(la[i], 0) != sync::lineItem(lb[i], 0)) return false;
  return true;
}

bool CompareField(const AGSchemaField& column, const AGPField& field, bool skipValues,
                  std::string_view valueList) {
  if (column.NativeDataType != field.int16("NativeDataType")) return false;
  if (column.FldSize != field.int32("FldSize")) return false;
  if (column.FldUniqueIdx != field.flag("FldUniqueIdx")) return false;
  if (column.FldAutoIncrement != field.flag("FldAutoIncrement")) return false;
  if (column.FldAttribute != field.int32("FldAttribute")) return false;
  if (skipValues || !isValueListType(column.NativeDataType)) return true;
  return SameValueList(valueList.empty() ? std::string_view(column.FldTagValues) : valueList,
                       field.str("FldTagValues"));
}

bool CompareFields(const AGPField& a, const AGPField& b) {
  int16_t native = a.int16("NativeDataType");
  if (native != b.int16("NativeDataType")) return false;
  if (a.int32("FldSize") != b.int32("FldSize")) return false;
  if (a.flag("FldUniqueIdx") != b.flag("FldUniqueIdx")) return false;
  if (a.flag("FldAutoIncrement") != b.flag("FldAutoIncrement")) return false;
  if (a.int32("FldAttribute") != b.int32("FldAttribute")) return false;
  if (!isValueListType(native)) return true;
  return SameValueList(a.str("FldTagValues"), b.str("FldTagValues"));
}

std::string SourceValueList(AGP& proj, std::string_view sourceTable, std::string_view sourceField) {
  AGPTable* table = sync::tableNamed(proj, sourceTable);
  if (!table || !table->flag("TblLoaded") || !table->hasFields()) return {};
  AGPFields& fields = table->Fields();
  for (int32_t i = 0, n = fields.Count(); i < n; ++i)
    if (fields.at(i)->FldName() == sourceField) return fields.at(i)->str("FldTagValues");
  return {};
}

int16_t CheckTables(AGP& proj, const AGPSchema& schema) {
  sync::StepWindow window(proj, " - Checking Database...");
  Count16 newTables, changedTables, newColumns, changedColumns, removedTables, keyChanges, removedColumns;
  AGPTables& tables = proj.db()->tables();
  // The first project table of each name and kind.
  std::unordered_map<std::string, AGPTable*> projectTables;
  // The names of custom views and reports, ignoring letter case.
  std::unordered_set<std::string> userNames;
  for (int32_t i = 0, n = tables.Count(); i < n; ++i) {
    AGPTable* t = tables.at(i);
    std::string type = t->str("TblType");
    if (sync::isDatabaseKind(type))
      projectTables.emplace(tableKey(type, t->TblName()), t);
    else
      userNames.insert(toLower(t->TblName()));
  }
  const auto& records = schema.record().tables.Tbl;
  std::unordered_set<std::string> schemaTables;
  for (int16_t i = 1; i <= schema.tblcnt(); ++i) {
    const AGSchemaTable& source = records[static_cast<size_t>(i)];
    std::string key = tableKey(source.TblType, source.TblName);
    schemaTables.insert(key);
    auto found = projectTables.find(key);
    if (found == projectTables.end()) {
      // A custom view or report holds the name (in any letter case): the
      // table cannot join the project beside it, so it is no difference.
      if (userNames.count(toLower(source.TblName))) continue;
      newTables.add(1);
      newColumns.add(source.TblFldCnt);
      continue;
    }
    AGPTable& table = *found->second;
    // A table whose columns were never loaded has nothing to compare.
    if (!table.flag("TblLoaded")) continue;
    if (table.str("TblType") == "TABLE" && SortCommaList(table.str("TblKey")) != SortCommaList(source.TblKey))
      keyChanges.add(1);
    ColumnCounts counts = compareColumns(proj, source, table, false);
    newColumns.add(counts.added.value());
    changedColumns.add(counts.changed.value());
    if (counts.added.value() > 0 || counts.changed.value() > 0 || source.TblFldCnt != sync::fieldCount(table))
      changedTables.add(1);
    removedColumns.add(source.TblFldCnt - counts.matched.value() - counts.changed.value());
  }
  for (int32_t i = 0, n = tables.Count(); i < n; ++i) {
    AGPTable* t = tables.at(i);
    std::string type = t->str("TblType");
    if (!sync::isDatabaseKind(type) || schemaTables.count(tableKey(type, t->TblName()))) continue;
    removedTables.add(1);
    removedColumns.add(sync::fieldCount(*t));
  }
  Count16 total;
  total.add(newTables.value()).add(changedTables.value()).add(newColumns.value()).add(changedColumns.value());
  total.add(removedTables.value()).add(keyChanges.value()).add(removedColumns.value());
  return total.value();
}

int16_t CompareCustomView(AGP& proj, std::string_view name) {
  EngineContext& ctx = engine();
  AGPTable* view = sync::tableNamed(proj, name);
  if (!view) return 0;
  Ref<AGPTable> keep(view);
  ConnectionValues c = sync::connectionOf(*proj.db());
  auto schema = makeRef<AGPSchema>();
  int16_t status =
      schema->LoadzbCustomView(c.host, c.database, c.type, c.user, c.password, c.port, c.sid, c.method, c.url,
                               c.encoding, Variant(name), view->setting("TblCustomSQL"));
  if (status >= 1) {
    view->setSetting("TblCustomError", Variant(ctx.projErr));
    return 0;
  }
  view->setSetting("TblCustomError", Variant(""));
  const AGSchemaTable& result = schema->record().tables.Tbl[1];
  ColumnCounts counts = compareColumns(proj, result, *view, true);
  // New columns, changed ones, and the view's fields that no column matched
  // (columns the view lost).
  int32_t removed = sync::fieldCount(*view) - counts.matched.value() - counts.changed.value();
  Count16 count;
  count.add(counts.added.value()).add(counts.changed.value());
  count.add(removed > 0 ? removed : 0);
  return count.value();
}

int16_t CheckCustomViews(AGP& proj) {
  sync::StepWindow window(proj, " - Checking Custom View...");
  Count16 count;
  for (const std::string& name : sync::namesOfKind(proj, "CUSTOMVIEW"))
    count.add(CompareCustomView(proj, name));
  return count.value();
}

int16_t CompareReport(AGP& proj, std::string_view name) {
  AGPTable* report = sync::tableNamed(proj, name);
  if (!report) return 0;
  AGPTable* source = sync::tableNamed(proj, report->str("TblRptSrc"));
  if (!source) {
    setProjErr(": Source Table not found");
    report->setSetting("TblCustomError", Variant(engine().projErr));
    return 0;
  }
  Count16 changed, missing, matched;
  sync::FieldIndex sourceFields(*source);
  if (report->hasFields()) {
    AGPFields& fields = report->Fields();
    for (int32_t i = 0, n = fields.Count(); i < n; ++i) {
      AGPField* field = fields.at(i);
      AGPField* from = sourceFields.find(field->FldName());
      if (!from)
        missing.add(1);
      else if (CompareFields(*field, *from))
        matched.add(1);
      else
        changed.add(1);
    }
  }
  Count16 count;
  count.add(changed.value()).add(missing.value());
  count.add(sync::fieldCount(*source) - matched.value() - changed.value());
  return count.value();
}

int16_t CheckReports(AGP& proj) {
  sync::StepWindow window(proj, " - Checking Report...");
  Count16 count;
  for (const std::string& name : sync::namesOfKind(proj, "REPORT")) count.add(CompareReport(proj, name));
  return count.value();
}

int16_t CheckDB(AGP& proj) {
  EngineContext& ctx = engine();
  ctx.projErr.clear();
  if (proj.DBCnt() == 0) {
    setProjErr(": Database not loaded!");
    return -1;
  }
  AGPDatabase* db = proj.db();
  Ref<AGPDatabase> keep(db);
  ConnectionValues c = sync::connectionOf(*db);
  ctx.statusCaption = ctx.productName + " - Database Synchronization check...";
  auto schema = makeRef<AGPSchema>();
  schema->LoadDB(c.database, c.type, c.host, c.port, c.user, c.password, c.sid, c.method, c.url, c.encoding);
  if (!ctx.projErr.empty()) return -1;
  Count16 total;
  total.add(CheckTables(proj, *schema));
  total.add(CheckCustomViews(proj));
  total.add(CheckReports(proj));
  return total.value();
}

}  // namespace tw
