// Applying synchronisation: renamed objects paired with their old settings,
// tables and views updated from the schema, custom views re-run, reports
// following their source tables.
#include <array>
#include <unordered_map>
#include <unordered_set>

#include "core/agp.h"
#include "core/project_file.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "schema/defaults.h"
#include "schema/schema.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/prompt.h"
#include "sync/sync.h"
#include "sync/sync_answers.h"
#include "sync/sync_internal.h"

namespace tw {

namespace {

bool isValueListType(int16_t native) { return native == 247 || native == 248; }

// What a field takes over from the column it describes, in every case.
constexpr std::array<std::string_view, 13> kColumnSettings = {
    "FldType",      "FldTypeName", "NativeDataType", "FldIsPrimaryKey", "FldAutoIncrement",
    "FldAttribute", "FldReq",      "FldSize",        "FldSupport",      "FldUniqueIdx",
    "FldZeroLen",   "FldQuoteS",   "FldQuoteE"};

// A column's values, from a schema record or from a project field.
struct ColumnValues {
  std::array<Variant, kColumnSettings.size()> copied;
  Variant tagValues, support, required, defaultValue, caption;
};

ColumnValues valuesOf(const AGSchemaField& c) {
  ColumnValues v;
  v.copied = {Variant::integer(c.FldType), Variant(c.FldTypeName),      Variant::integer(c.NativeDataType),
              Variant(c.FldIsPrimaryKey),  Variant(c.FldAutoIncrement), Variant::long_(c.FldAttribute),
              Variant(c.FldReq),           Variant::long_(c.FldSize),   Variant(c.FldSupport),
              Variant(c.FldUniqueIdx),     Variant(c.FldZeroLen),       Variant(c.FldQuoteS),
              Variant(c.FldQuoteE)};
  v.tagValues = Variant(c.FldTagValues);
  v.support = Variant(c.FldSupport);
  v.required = Variant(c.FldReq);
  v.defaultValue = c.FldDefault;
  v.caption = Variant(c.FldCaption);
  return v;
}

ColumnValues valuesOf(const AGPField& f) {
  ColumnValues v;
  for (size_t i = 0; i < kColumnSettings.size(); ++i) v.copied[i] = f.setting(kColumnSettings[i]);
  v.tagValues = f.setting("FldTagValues");
  v.support = f.setting("FldSupport");
  v.required = f.setting("FldReq");
  v.defaultValue = f.setting("FldDefault");
  v.caption = f.setting("FldCaption");
  return v;
}

// The value list an existing enumeration or set field is refreshed from:
// the field it was traced to when it names one, else `own`.
std::string freshValueList(AGP& proj, const AGPField& field, const Variant& own) {
  std::string sourceTable = field.str("FldSourceTable");
  std::string sourceField = field.str("FldSourceField");
  if (!sourceTable.empty() && !sourceField.empty()) return SourceValueList(proj, sourceTable, sourceField);
  return own.toString();
}

// The index of FldSize among the column settings.
constexpr size_t kSizeSetting = 7;
static_assert(kColumnSettings[kSizeSetting] == "FldSize");

void applyValues(AGP& proj, AGPField& field, const ColumnValues& v, SyncAs as) {
  // An input limit that followed the column's size follows a new size; a
  // limit of the user's own (any other value) stays.
  bool limitFollowsSize = false;
  if (as == SyncAs::Existing) {
    const Variant& limit = field.Properties().value("FldTagMaxLength");
    const Variant& size = field.Properties().value("FldSize");
    limitFollowsSize = !sync::isBlank(limit) && !sync::isBlank(size) && limit.isNumeric() &&
                       size.isNumeric() && limit.toDouble() == size.toDouble();
  }
  for (size_t i = 0; i < kColumnSettings.size(); ++i) field.setSetting(kColumnSettings[i], v.copied[i]);
  if (limitFollowsSize) field.setSetting("FldTagMaxLength", Variant::long_(field.int32("FldSize")));
  if (as == SyncAs::New) {
    field.setSetting("FldTagValues", v.tagValues);
    field.setSetting("FldGenerate", v.support);
    field.setSetting("FldRequired", v.required);
    field.setSetting("FldDefault", v.defaultValue);
    field.setSetting("FldCaption", v.caption);
    LoadFldDefault(field);
    return;
  }
  // An existing field keeps the user's settings; its value list gets the
  // database's values with the user's labels, and an empty default the
  // column's.
  if (isValueListType(field.int16("NativeDataType"))) {
    std::string fresh = freshValueList(proj, field, v.tagValues);
    if (!fresh.empty())
      field.setSetting("FldTagValues", Variant(MergeValueList(fresh, field.str("FldTagValues"))));
  }
  if (sync::isBlank(field.setting("FldDefault"))) field.setSetting("FldDefault", v.defaultValue);
}

void setSync(SettingsOwner& owner, std::string_view name, bool value) {
  owner.setSetting(name, Variant(value));
}

void clearFieldSync(AGPTable& table) {
  if (!table.hasFields()) return;
  AGPFields& fields = table.Fields();
  for (int32_t i = 0, n = fields.Count(); i < n; ++i) setSync(*fields.at(i), "FldSync", false);
}

// The one field not yet synchronised whose name differs from `name` only in
// letter case, renamed to `name`; null when there is none or several.
AGPField* caseRenamedField(AGPFields& fields, const std::string& name) {
  AGPField* found = nullptr;
  for (int32_t i = 0, n = fields.Count(); i < n; ++i) {
    AGPField* f = fields.at(i);
    if (f->flag("FldSync") || !equalsNoCase(f->FldName(), name)) continue;
    if (found) return nullptr;
    found = f;
  }
  return found ? fields.Change(found->FldName(), name) : nullptr;
}

// The two field passes: fields of the same name and native type are updated
// in place; a field whose native type changed is set up again where it is,
// and a column without a field gets a new one.
void applyColumns(AGP& proj, AGPTable& table, const AGSchemaTable& source) {
  AGPFields& fields = table.Fields();
  sync::FieldIndex index(table);
  const auto& columns = source.TblFields.fld;
  for (int16_t j = 1; j <= source.TblFldCnt; ++j) {
    const AGSchemaField& column = columns[static_cast<size_t>(j)];
    const auto* named = index.all(column.FldName);
    if (!named) continue;
    for (AGPField* field : *named) {
      if (field->flag("FldSync") || field->int16("NativeDataType") != column.NativeDataType) continue;
      setSync(*field, "FldSync", true);
      ApplyColumn(proj, column, *field, SyncAs::Existing);
      break;
    }
  }
  for (int16_t j = 1; j <= source.TblFldCnt; ++j) {
    const AGSchemaField& column = columns[static_cast<size_t>(j)];
    AGPField* field = index.find(column.FldName);
    SyncAs as = SyncAs::New;
    if (field) {
      if (field->int16("NativeDataType") == column.NativeDataType) continue;
    } else if ((field = fields.Add(column.FldName))) {
      index.add(field);
    } else if ((field = caseRenamedField(fields, column.FldName))) {
      // The keys ignore letter case: a field whose name differs only in case
      // is this column's, renamed, and keeps its settings.
      index.add(field);
      if (field->int16("NativeDataType") == column.NativeDataType) as = SyncAs::Existing;
    } else {
      continue;
    }
    setSync(*field, "FldSync", true);
    ApplyColumn(proj, column, *field, as);
  }
}

// Deletes the fields that synchronisation did not reach.
void deleteUnsyncedFields(AGPTable& table) {
  if (!table.hasFields()) return;
  AGPFields& fields = table.Fields();
  std::vector<std::string> gone;
  for (int32_t i = 0, n = fields.Count(); i < n; ++i)
    if (!fields.at(i)->flag("FldSync")) gone.push_back(fields.at(i)->FldName());
  for (const std::string& name : gone) fields.Delete(name);
}

bool askKeepOrUpdate(std::string_view id, std::string text, int defaultButton) {
  EngineContext& ctx = engine();
  PromptRequest request;
  request.id = std::string(id);
  request.title = ctx.productName;
  request.text = std::move(text);
  request.buttons = {"Update", "Keep"};
  request.defaultButton = defaultButton;
  PromptAnswer answer = ctx.prompts().ask(request);
  return answer.button == 0;
}

void refreshWorkingCopies(AGP& proj) {
  EngineContext& ctx = engine();
  Variant format = proj.setting("defaultDateFormat");
  double number = 0;
  ctx.dateFormat = (format.isNumeric() || (format.isString() && parseNumber(format.rawString(), number)))
                       ? format.toInteger()
                       : 0;
  ctx.secDefault = proj.db()->setting("SecDefault");
}

// The four steps of synchronisation over a schema that has read the
// database.
void applySchema(AGP& proj, const AGPSchema& schema) {
  MapRenamedObjects(proj, schema);
  UpdateTablesAndViews(proj, schema);
  SyncCustomViews(proj);
  SyncReports(proj);
}

Ref<AGPSchema> readSchema(AGP& proj) {
  ConnectionValues c = sync::connectionOf(*proj.db());
  auto schema = makeRef<AGPSchema>();
  schema->LoadDB(c.database, c.type, c.host, c.port, c.user, c.password, c.sid, c.method, c.url, c.encoding);
  return schema;
}

}  // namespace

// ---- Small pieces

std::string UnquoteIdentifier(std::string_view text) {
  std::string out(text);
  if (out.size() >= 2 && out.front() == '"' && out.back() == '"') {
    std::string inner = out.substr(1, out.size() - 2);
    out.clear();
    for (size_t i = 0; i < inner.size(); ++i) {
      out += inner[i];
      if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') ++i;
    }
  }
  if (out.size() >= 2 && out.front() == '[' && out.back() == ']') out = out.substr(1, out.size() - 2);
  return out;
}

void MarkKeyFields(AGPTable& table) {
  std::string key = table.str("TblKey");
  std::unordered_set<std::string> names;
  size_t start = 0;
  while (true) {
    size_t comma = key.find(',', start);
    names.insert(UnquoteIdentifier(
        std::string_view(key).substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (!table.hasFields()) return;
  AGPFields& fields = table.Fields();
  for (int32_t i = 0, n = fields.Count(); i < n; ++i) {
    AGPField* field = fields.at(i);
    field->setSetting("FldIsPrimaryKey", Variant(names.count(field->FldName()) > 0));
  }
}

std::string MergeValueList(std::string_view fresh, std::string_view old) {
  std::vector<std::string_view> oldLines = sync::valueLines(old);
  // The first old line of each value.
  std::unordered_map<std::string_view, std::string_view> labels;
  for (std::string_view line : oldLines) labels.emplace(sync::lineItem(line, 0), line);
  std::string out;
  for (std::string_view line : sync::valueLines(fresh)) {
    std::string_view value = sync::lineItem(line, 0);
    auto found = labels.find(value);
    if (found != labels.end() && found->second.find(',') != std::string_view::npos) {
      out += value;
      out += ',';
      out += sync::lineItem(found->second, 1);
    } else {
      out += line;
    }
    out += "\r\n";
  }
  return out;
}

void ApplySchemaTable(AGPTable& table, const AGSchemaTable& source, SyncAs as) {
  if (as == SyncAs::New) {
    table.setSetting("TblType", Variant(source.TblType));
    table.setSetting("TblGen", Variant(source.TblGen));
    table.setSetting("TblLoaded", Variant(true));
    table.setSetting("TblKey", Variant(source.TblKey));
    LoadTableDefault(table);
    return;
  }
  if (table.str("TblKey").empty()) table.setSetting("TblKey", Variant(source.TblKey));
}

void ApplyColumn(AGP& proj, const AGSchemaField& column, AGPField& field, SyncAs as) {
  applyValues(proj, field, valuesOf(column), as);
}

void ApplySourceTable(AGPTable& report, const AGPTable& source, SyncAs as) {
  if (as == SyncAs::New) {
    report.setSetting("TblType", source.setting("TblType"));
    report.setSetting("TblGen", source.setting("TblGen"));
    report.setSetting("TblLoaded", Variant(true));
    report.setSetting("TblKey", source.setting("TblKey"));
    LoadTableDefault(report);
    return;
  }
  if (report.str("TblKey").empty()) report.setSetting("TblKey", source.setting("TblKey"));
}

void ApplySourceField(AGP& proj, AGPField& reportField, const AGPField& source, SyncAs as) {
  applyValues(proj, reportField, valuesOf(source), as);
}

// ---- Renamed objects

std::vector<std::string> AskMapping(std::string_view title, std::string_view message,
                                    std::string_view newLabel, std::string_view oldLabel,
                                    const std::vector<std::string>& newNames,
                                    const std::vector<std::string>& oldNames, std::string_view table) {
  MappingRequest request{std::string(title),
                         std::string(message),
                         std::string(newLabel),
                         std::string(oldLabel),
                         newNames,
                         oldNames};
  PromptHandler& prompts = engine().prompts();
  std::vector<std::string> paired;
  if (auto* answers = dynamic_cast<SyncAnswers*>(&prompts))
    paired = answers->pairFor(request, table);
  else
    paired = prompts.pairNames(request);
  // Only names the request offered count, each old name once.
  std::unordered_set<std::string> offered(oldNames.begin(), oldNames.end());
  std::vector<std::string> result;
  result.reserve(newNames.size());
  for (size_t i = 0; i < newNames.size(); ++i) {
    const std::string* old = i < paired.size() ? &paired[i] : nullptr;
    if (old && !old->empty() && offered.erase(*old))
      result.push_back(*old);
    else
      result.push_back(newNames[i]);
  }
  return result;
}

namespace {

// Pairs each new name with the one old name that differs from it only in
// letter case (when neither has another such partner): the project's keys
// ignore case, so the object could not be added beside the old one, and it
// is the same object renamed. `rename` renames it; the pair leaves both
// lists.
template <class Rename>
void pairCaseRenames(std::vector<std::string>& newNames, std::vector<std::string>& oldNames, Rename rename) {
  auto partners = [](const std::string& name, const std::vector<std::string>& among) {
    size_t count = 0, at = 0;
    for (size_t i = 0; i < among.size(); ++i)
      if (equalsNoCase(name, among[i])) {
        ++count;
        at = i;
      }
    return std::pair<size_t, size_t>(count, at);
  };
  for (size_t i = 0; i < newNames.size();) {
    auto [count, old] = partners(newNames[i], oldNames);
    if (count == 1 && partners(oldNames[old], newNames).first == 1) {
      rename(oldNames[old], newNames[i]);
      oldNames.erase(oldNames.begin() + static_cast<std::ptrdiff_t>(old));
      newNames.erase(newNames.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

}  // namespace

void MapRenamedObjects(AGP& proj, const AGPSchema& schema) {
  AGPTables& tables = proj.db()->tables();
  const auto& records = schema.record().tables.Tbl;
  struct Kind {
    std::string_view type, text;
  };
  for (Kind kind : {Kind{"TABLE", "table"}, Kind{"VIEW", "view"}}) {
    std::string text(kind.text);
    // The schema's tables of this kind by name, and the project's.
    std::unordered_map<std::string, const AGSchemaTable*> schemaTables;
    for (int16_t i = 1; i <= schema.tblcnt(); ++i) {
      const AGSchemaTable& source = records[static_cast<size_t>(i)];
      if (source.TblType == kind.type) schemaTables.emplace(source.TblName, &source);
    }
    std::unordered_set<std::string> projectNames;
    std::vector<std::string> oldNames;
    for (int32_t i = 0, n = tables.Count(); i < n; ++i) {
      AGPTable* t = tables.at(i);
      if (t->str("TblType") != kind.type) continue;
      std::string name = t->TblName();
      if (!schemaTables.count(name)) oldNames.push_back(name);
      projectNames.insert(std::move(name));
    }
    std::vector<std::string> newNames;
    for (int16_t i = 1; i <= schema.tblcnt(); ++i) {
      const AGSchemaTable& source = records[static_cast<size_t>(i)];
      if (source.TblType == kind.type && !projectNames.count(source.TblName))
        newNames.push_back(source.TblName);
    }
    pairCaseRenames(newNames, oldNames,
                    [&](const std::string& from, const std::string& to) { tables.Change(from, to); });
    if (!newNames.empty() && !oldNames.empty()) {
      std::vector<std::string> paired =
          AskMapping("New " + text + " found in schema",
                     "To use old settings, please select the old " + text +
                         "(s) which you would like to map to the new " + text + "(s)",
                     "New " + text, "Old " + text, newNames, oldNames);
      for (size_t i = 0; i < paired.size(); ++i)
        if (paired[i] != newNames[i]) tables.Change(paired[i], newNames[i]);
    }

    // Fields of the tables that are in both, under their (new) names.
    for (int32_t i = 0, n = tables.Count(); i < n; ++i) {
      AGPTable* t = tables.at(i);
      if (t->str("TblType") != kind.type || !t->flag("TblLoaded")) continue;
      auto found = schemaTables.find(t->TblName());
      if (found == schemaTables.end()) continue;
      const AGSchemaTable& source = *found->second;
      sync::FieldIndex fields(*t);
      std::unordered_set<std::string_view> columnNames;
      std::vector<std::string> newColumns;
      for (int16_t j = 1; j <= source.TblFldCnt; ++j) {
        const std::string& name = source.TblFields.fld[static_cast<size_t>(j)].FldName;
        columnNames.insert(name);
        if (!fields.find(name)) newColumns.push_back(name);
      }
      if (newColumns.empty()) continue;
      std::vector<std::string> oldFields;
      AGPFields& tableFields = t->Fields();
      for (int32_t k = 0, m = tableFields.Count(); k < m; ++k) {
        std::string name = tableFields.at(k)->FldName();
        if (!columnNames.count(name)) oldFields.push_back(std::move(name));
      }
      pairCaseRenames(newColumns, oldFields,
                      [&](const std::string& from, const std::string& to) { tableFields.Change(from, to); });
      if (oldFields.empty() || newColumns.empty()) continue;
      std::string tableName = t->TblName();
      std::vector<std::string> paired = AskMapping(
          "Table: " + tableName + " - New fields found in schema",
          "To use old settings, please select the old fields which you would like to map to the new fields",
          "New field", "Old field", newColumns, oldFields, tableName);
      for (size_t k = 0; k < paired.size(); ++k)
        if (paired[k] != newColumns[k]) tableFields.Change(paired[k], newColumns[k]);
    }
  }
}

// ---- Tables and views

void UpdateTablesAndViews(AGP& proj, const AGPSchema& schema) {
  refreshWorkingCopies(proj);
  sync::StepWindow window(proj, " - Synchronizing Tables and Views...");
  AGPTables& tables = proj.db()->tables();
  const auto& records = schema.record().tables.Tbl;

  for (int32_t i = 0, n = tables.Count(); i < n; ++i) {
    AGPTable* t = tables.at(i);
    if (!sync::isDatabaseKind(t->str("TblType"))) continue;
    setSync(*t, "TblSync", false);
    clearFieldSync(*t);
  }

  // Tables and views that are still there, under the same name and kind.
  sync::TableIndex byName(tables, true);
  for (int16_t i = 1; i <= schema.tblcnt(); ++i) {
    const AGSchemaTable& source = records[static_cast<size_t>(i)];
    AGPTable* table = nullptr;
    if (const auto* named = byName.all(source.TblName)) {
      for (AGPTable* t : *named) {
        if (!t->flag("TblSync") && t->str("TblType") == source.TblType) {
          table = t;
          break;
        }
      }
    }
    if (!table) continue;
    setSync(*table, "TblSync", true);
    if (!table->flag("TblLoaded")) continue;
    ApplySchemaTable(*table, source, SyncAs::Existing);
    applyColumns(proj, *table, source);
    table->Fields().SetSeq(1);
    if (table->str("TblType") == "TABLE" &&
        SortCommaList(table->str("TblKey")) != SortCommaList(source.TblKey)) {
      std::string question =
          "Primary key for \"" + table->TblName() + "\" has been modified. Keep/Update primary Key?";
      if (askKeepOrUpdate(kSyncKeyPromptId, std::move(question), 0))
        table->setSetting("TblKey", Variant(source.TblKey));
    }
    MarkKeyFields(*table);
  }

  // New tables and views, and those that changed kind.
  bool dynamic = proj.flag("DynamicLoadDB");
  auto setUpAsNew = [&](AGPTable& table, const AGSchemaTable& source) {
    setSync(table, "TblSync", true);
    table.setSetting("TblType", Variant(source.TblType));
    if (dynamic) {
      table.setSetting("TblLoaded", Variant(false));
      table.setSetting("TblGen", Variant(false));
      return;
    }
    ApplySchemaTable(table, source, SyncAs::New);
    AGPFields& fields = table.Fields();
    for (int16_t j = 1; j <= source.TblFldCnt; ++j) {
      const AGSchemaField& column = source.TblFields.fld[static_cast<size_t>(j)];
      if (AGPField* field = fields.Add(column.FldName)) {
        ApplyColumn(proj, column, *field, SyncAs::New);
        setSync(*field, "FldSync", true);
      }
    }
  };
  sync::TableIndex anyKind(tables, false);
  for (int16_t i = 1; i <= schema.tblcnt(); ++i) {
    const AGSchemaTable& source = records[static_cast<size_t>(i)];
    if (AGPTable* existing = anyKind.find(source.TblName)) {
      if (existing->str("TblType") == source.TblType) continue;
      // A custom view or report of that name is the user's own object: the
      // table cannot join the project beside it, and does not replace it.
      if (!sync::isDatabaseKind(existing->str("TblType"))) continue;
      if (existing->hasFields()) existing->Fields().Clear();
      setUpAsNew(*existing, source);
    } else if (AGPTable* added = tables.Add(source.TblName)) {
      anyKind.add(added);
      setUpAsNew(*added, source);
    }
  }

  // What vanished from the database.
  std::vector<std::string> goneTables;
  for (int32_t i = 0, n = tables.Count(); i < n; ++i) {
    AGPTable* t = tables.at(i);
    if (!sync::isDatabaseKind(t->str("TblType"))) continue;
    if (t->flag("TblSync"))
      deleteUnsyncedFields(*t);
    else
      goneTables.push_back(t->TblName());
  }
  for (const std::string& name : goneTables) tables.Delete(name);
  tables.SetSeq(1);
}

// ---- Custom views and reports

void SyncCustom(AGP& proj, std::string_view sTable) {
  EngineContext& ctx = engine();
  if (proj.DBCnt() == 0) {
    setProjErr(": Database not loaded!");
    return;
  }
  AGPDatabase* db = proj.db();
  Ref<AGPDatabase> keepDb(db);
  AGPTable* view = sync::tableNamed(proj, sTable);
  if (!view) {
    setProjErr(": Table " + std::string(sTable) + " not found!");
    return;
  }
  Ref<AGPTable> keep(view);
  ConnectionValues c = sync::connectionOf(*db);
  auto schema = makeRef<AGPSchema>();
  int16_t status =
      schema->LoadzbCustomView(c.host, c.database, c.type, c.user, c.password, c.port, c.sid, c.method, c.url,
                               c.encoding, Variant(sTable), view->setting("TblCustomSQL"));
  if (status != 0) {
    view->setSetting("TblCustomError", Variant(ctx.projErr));
    ctx.projErr.clear();
    return;
  }
  const AGSchemaTable& result = schema->record().tables.Tbl[1];
  view->setSetting("TblCustomError", Variant(""));
  clearFieldSync(*view);
  ApplySchemaTable(*view, result, SyncAs::Existing);
  applyColumns(proj, *view, result);
  deleteUnsyncedFields(*view);
  if (!view->str("TblKey").empty()) MarkKeyFields(*view);
  ParseCustomSql(*view, db);
  view->Fields().SetSeq(1);
}

void SyncReport(AGP& proj, std::string_view sTable) {
  if (proj.DBCnt() == 0) {
    setProjErr(": Database not loaded!");
    return;
  }
  AGPTable* report = sync::tableNamed(proj, sTable);
  if (!report) {
    setProjErr(": Table " + std::string(sTable) + " not found!");
    return;
  }
  Ref<AGPTable> keep(report);
  EngineContext& ctx = engine();
  AGPTable* source = sync::tableNamed(proj, report->str("TblRptSrc"));
  if (!source) {
    report->setSetting("TblCustomError", Variant(ctx.productName + ": Source Table not found"));
    return;
  }
  if (!source->str("TblCustomError").empty()) {
    report->setSetting("TblCustomError", Variant(ctx.productName + ": Source Table Error"));
    return;
  }
  ApplySourceTable(*report, *source, SyncAs::Existing);
  clearFieldSync(*report);
  clearFieldSync(*source);
  AGPFields& fields = report->Fields();
  sync::FieldIndex reportFields(*report);
  std::vector<AGPField*> sourceFields;
  if (source->hasFields()) {
    AGPFields& from = source->Fields();
    for (int32_t i = 0, n = from.Count(); i < n; ++i) sourceFields.push_back(from.at(i));
  }
  for (AGPField* from : sourceFields) {
    const auto* named = reportFields.all(from->FldName());
    if (!named) continue;
    int16_t native = from->int16("NativeDataType");
    for (AGPField* field : *named) {
      if (field->flag("FldSync") || field->int16("NativeDataType") != native) continue;
      ApplySourceField(proj, *field, *from, SyncAs::Existing);
      setSync(*field, "FldSync", true);
      setSync(*from, "FldSync", true);
      break;
    }
  }
  for (AGPField* from : sourceFields) {
    if (from->flag("FldSync")) continue;
    // A report field of that name with another native type stays unsynced
    // and goes below.
    if (AGPField* field = fields.Add(from->FldName())) {
      reportFields.add(field);
      setSync(*field, "FldSync", true);
      ApplySourceField(proj, *field, *from, SyncAs::New);
    }
  }
  deleteUnsyncedFields(*report);
  fields.SetSeq(1);
  report->setSetting("TblCustomError", Variant(""));
}

void SyncCustomViews(AGP& proj) {
  sync::StepWindow window(proj, " - Synchronizing Custom Views...");
  for (const std::string& name : sync::namesOfKind(proj, "CUSTOMVIEW")) SyncCustom(proj, name);
}

void SyncReports(AGP& proj) {
  sync::StepWindow window(proj, " - Synchronizing Reports...");
  for (const std::string& name : sync::namesOfKind(proj, "REPORT")) SyncReport(proj, name);
}

// ---- Entry points

void SynchronizeDB(AGP& proj) {
  EngineContext& ctx = engine();
  if (proj.DBCnt() == 0) {
    setProjErr(": Database not loaded!");
    return;
  }
  Ref<AGPDatabase> keep(proj.db());
  ctx.statusCaption = ctx.productName + " - Database Synchronization...";
  Ref<AGPSchema> schema = readSchema(proj);
  if (!ctx.projErr.empty()) return;
  applySchema(proj, *schema);
  RebuildTableKeys(proj);
}

void SyncCheckOnLoad(AGP& proj) {
  EngineContext& ctx = engine();
  Ref<AGPDatabase> keep(proj.db());
  ctx.statusCaption = ctx.productName + " - Database Synchronization Check...";
  Ref<AGPSchema> schema = readSchema(proj);
  if (!ctx.projErr.empty()) {
    if (ctx.projErr != "JDBC ERROR")
      ctx.prompts().message(ctx.productName,
                            "Unable to load database information! Reason: " + ctx.projErr +
                                ". Please check if correct database is in use.",
                            MessageIcon::Exclamation);
    return;
  }
  sync::Count16 differences;
  differences.add(CheckTables(proj, *schema));
  differences.add(CheckCustomViews(proj));
  differences.add(CheckReports(proj));
  if (differences.value() == 0) return;
  // Closing the question without a choice keeps the project as it was read.
  if (askKeepOrUpdate(
          kSyncPromptId,
          "Database has been modified since last change. Do you want to keep old definition or update to "
          "new definition?",
          1))
    applySchema(proj, *schema);
}

}  // namespace tw
