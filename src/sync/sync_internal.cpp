#include "sync/sync_internal.h"

#include "core/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "support/engine_context.h"
#include "support/status.h"

namespace tw::sync {

StepWindow::StepWindow(AGP& proj, std::string_view captionSuffix) {
  EngineContext& ctx = engine();
  // The window records its caption as the engine's current one itself; it is
  // handed a text of its own, not a view of that.
  std::string caption = ctx.productName + std::string(captionSuffix);
  AGPStatus& status = ctx.status();
  status.ShowStatus2(proj.lhWnd(), caption);
  status.DispStatus("Please wait...");
}

StepWindow::~StepWindow() { engine().status().CloseStatus(); }

std::vector<std::string_view> valueLines(std::string_view text) {
  if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") text.remove_suffix(2);
  std::vector<std::string_view> lines;
  if (text.empty()) return lines;
  size_t start = 0;
  while (true) {
    size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string_view lineItem(std::string_view line, size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < index; ++i) {
    size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) return {};
    start = comma + 1;
  }
  size_t comma = line.find(',', start);
  return line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
}

ConnectionValues connectionOf(const AGPDatabase& db) {
  return {
      db.setting("DBType"), db.setting("DBHost"),    db.setting("DBName"), db.setting("DBUID"),
      db.setting("DBPwd"),  db.setting("DBPort"),    db.setting("DBSID"),  db.setting("DBConnectionMethod"),
      db.setting("DBURL"),  db.setting("DBEncoding")};
}

bool isBlank(const Variant& value) {
  return value.isEmpty() || (value.isString() && value.rawString().empty());
}

// ---- look-ups

TableIndex::TableIndex(AGPTables& tables, bool databaseKindsOnly) {
  for (int32_t i = 0, n = tables.Count(); i < n; ++i) {
    AGPTable* t = tables.at(i);
    if (databaseKindsOnly && !isDatabaseKind(t->str("TblType"))) continue;
    add(t);
  }
}

void TableIndex::add(AGPTable* table) { byName_[table->TblName()].push_back(table); }

const std::vector<AGPTable*>* TableIndex::all(std::string_view name) const {
  auto it = byName_.find(std::string(name));
  return it == byName_.end() ? nullptr : &it->second;
}

AGPTable* TableIndex::find(std::string_view name, std::string_view type) const {
  if (const auto* list = all(name))
    for (AGPTable* t : *list)
      if (type.empty() || t->str("TblType") == type) return t;
  return nullptr;
}

FieldIndex::FieldIndex(AGPTable& table) {
  if (!table.hasFields()) return;
  AGPFields& fields = table.Fields();
  byName_.reserve(static_cast<size_t>(fields.Count()));
  for (int32_t i = 0, n = fields.Count(); i < n; ++i) add(fields.at(i));
}

void FieldIndex::add(AGPField* field) { byName_[field->FldName()].push_back(field); }

const std::vector<AGPField*>* FieldIndex::all(std::string_view name) const {
  auto it = byName_.find(std::string(name));
  return it == byName_.end() ? nullptr : &it->second;
}

AGPField* FieldIndex::find(std::string_view name) const {
  const auto* list = all(name);
  return list ? list->front() : nullptr;
}

AGPTable* tableNamed(AGP& proj, std::string_view name) {
  AGPTables& tables = proj.db()->tables();
  for (int32_t i = 0, n = tables.Count(); i < n; ++i)
    if (tables.at(i)->TblName() == name) return tables.at(i);
  return nullptr;
}

std::vector<std::string> namesOfKind(AGP& proj, std::string_view type) {
  std::vector<std::string> names;
  AGPTables& tables = proj.db()->tables();
  for (int32_t i = 0, n = tables.Count(); i < n; ++i)
    if (tables.at(i)->str("TblType") == type) names.push_back(tables.at(i)->TblName());
  return names;
}

int32_t fieldCount(const AGPTable& table) {
  return table.hasFields() ? const_cast<AGPTable&>(table).Fields().Count() : 0;
}

}  // namespace tw::sync
