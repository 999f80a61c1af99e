// MySQL/MariaDB catalogue reading through a JDBC connection: a handful of
// information_schema queries for the whole database, whatever the number of
// tables.
#include "schema/jdbc_mysql_catalogue.h"

#include <algorithm>
#include <cstdlib>

#include "automation/text.h"
#include "schema/ado_types.h"

namespace tw {

namespace {

int64_t numberOf(const std::string& cell, int64_t fallback) {
  if (cell.empty()) return fallback;
  return std::strtoll(cell.c_str(), nullptr, 10);
}

BridgeColumn* columnNamed(BridgeTableInfo& t, const std::string& name) {
  for (BridgeColumn& c : t.columns)
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace

std::string readMySqlCatalogue(const CatalogueQuery& query, const std::string& database,
                               std::string_view table, const std::unordered_map<std::string, size_t>& byName,
                               std::vector<BridgeTableInfo>& tables) {
  std::vector<std::string> params{database};
  std::string tableFilter;
  if (!table.empty()) {
    params.emplace_back(table);
    tableFilter = " AND TABLE_NAME = ?";
  }
  auto tableOf = [&](const std::string& name) -> BridgeTableInfo* {
    auto it = byName.find(name);
    if (it == byName.end() || tables[it->second].type != "TABLE") return nullptr;
    return &tables[it->second];
  };

  // Index columns: the primary key in key order and single-column unique
  // indexes.
  struct IndexColumn {
    BridgeTableInfo* table;
    std::string index;
    int64_t seq;
    std::string column;
    bool unique;
  };
  std::vector<IndexColumn> indexColumns;
  std::string e = query(
      "SELECT TABLE_NAME, INDEX_NAME, NON_UNIQUE, SEQ_IN_INDEX, COLUMN_NAME FROM "
      "information_schema.STATISTICS "
      "WHERE TABLE_SCHEMA = ?" +
          tableFilter,
      params, [&](const std::vector<std::string>& row) {
        if (BridgeTableInfo* t = tableOf(row[0]))
          indexColumns.push_back({t, row[1], numberOf(row[3], 0), row[4], numberOf(row[2], 1) == 0});
      });
  if (!e.empty()) return e;
  std::sort(indexColumns.begin(), indexColumns.end(), [](const IndexColumn& x, const IndexColumn& y) {
    if (x.table != y.table) return x.table < y.table;
    if (x.index != y.index) return x.index < y.index;
    return x.seq < y.seq;
  });
  for (size_t i = 0; i < indexColumns.size();) {
    size_t j = i;
    while (j < indexColumns.size() && indexColumns[j].table == indexColumns[i].table &&
           indexColumns[j].index == indexColumns[i].index)
      ++j;
    BridgeTableInfo& t = *indexColumns[i].table;
    if (indexColumns[i].index == "PRIMARY")
      for (size_t k = i; k < j; ++k) {
        if (k > i) t.pkField += ',';
        t.pkField += indexColumns[k].column;
        if (BridgeColumn* c = columnNamed(t, indexColumns[k].column)) c->adoAttributes |= ado::kFldKeyColumn;
      }
    if (j - i == 1 && indexColumns[i].unique)
      if (BridgeColumn* c = columnNamed(t, indexColumns[i].column)) c->unique = true;
    i = j;
  }

  // Foreign keys into the same database, their columns in key order.
  struct KeyPart {
    BridgeTableInfo* table;
    std::string name, refTable, column, refColumn;
    int64_t seq;
  };
  std::vector<KeyPart> parts;
  std::vector<std::string> keyParams = params;
  keyParams.insert(keyParams.begin() + 1, database);
  e = query(
      "SELECT TABLE_NAME, CONSTRAINT_NAME, REFERENCED_TABLE_NAME, COLUMN_NAME, REFERENCED_COLUMN_NAME, "
      "ORDINAL_POSITION FROM information_schema.KEY_COLUMN_USAGE WHERE TABLE_SCHEMA = ? AND "
      "REFERENCED_TABLE_SCHEMA = ? AND REFERENCED_TABLE_NAME IS NOT NULL" +
          tableFilter,
      keyParams, [&](const std::vector<std::string>& row) {
        if (BridgeTableInfo* t = tableOf(row[0]))
          parts.push_back({t, row[1], row[2], row[3], row[4], numberOf(row[5], 0)});
      });
  if (!e.empty()) return e;
  std::stable_sort(parts.begin(), parts.end(), [](const KeyPart& x, const KeyPart& y) {
    if (x.table != y.table) return x.table < y.table;
    return x.name != y.name ? x.name < y.name : x.seq < y.seq;
  });
  for (const KeyPart& p : parts) {
    auto& keys = p.table->foreignKeys;
    if (keys.empty() || keys.back().name != p.name || keys.back().refTable != p.refTable) {
      keys.emplace_back();
      keys.back().name = p.name;
      keys.back().refTable = p.refTable;
    }
    keys.back().columns.push_back(p.column);
    keys.back().refColumns.push_back(p.refColumn);
  }

  // Enumeration and set values (the JDBC metadata does not carry them).
  e = query(
      "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, COLUMN_TYPE FROM information_schema.COLUMNS "
      "WHERE TABLE_SCHEMA = ? AND DATA_TYPE IN ('enum', 'set')" +
          tableFilter,
      params, [&](const std::vector<std::string>& row) {
        auto it = byName.find(row[0]);
        if (it == byName.end()) return;
        for (BridgeColumn& c : tables[it->second].columns) {
          if (c.name != row[1]) continue;
          c.isEnum = row[2] == "enum";
          c.isSet = !c.isEnum;
          c.dataTypeName = c.isEnum ? "enum" : "set";
          c.nativeType = c.isEnum ? 247 : 248;
          c.tagValues = tagValueLines(mysqlEnumValues(row[3]));
        }
      });
  if (!e.empty()) return e;

  // CHECK (column IN (...)) lists. A server without check constraints (or
  // without their table names) has no lists to offer, which is no failure.
  std::vector<std::vector<std::string>> clauses(tables.size());
  e = query(
      "SELECT TABLE_NAME, CHECK_CLAUSE FROM information_schema.CHECK_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = "
      "?" +
          tableFilter,
      params, [&](const std::vector<std::string>& row) {
        auto it = byName.find(row[0]);
        if (it != byName.end()) clauses[it->second].push_back(row[1]);
      });
  for (size_t i = 0; i < tables.size(); ++i) applyCheckLists(clauses[i], tables[i].columns);
  return {};
}

}  // namespace tw
