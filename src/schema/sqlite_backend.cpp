// The SQLite side of the bridge: the database name is the database file's
// path, opened read-only. The catalogue is read with three queries over
// sqlite_schema and the table-valued pragmas (tables, columns, index
// columns); columns are typed by SQLite's declared-type affinity rules.
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/text.h"
#include "schema/ado_types.h"
#include "schema/bridge.h"

namespace tw {

namespace {

// Native type codes: SQLite's storage class for the affinity (integer 1,
// real 2, text 3, blob 4) and 0 for numeric affinity.
int16_t nativeOf(ado::Affinity a) {
  switch (a) {
    case ado::Affinity::kInteger:
      return SQLITE_INTEGER;
    case ado::Affinity::kReal:
      return SQLITE_FLOAT;
    case ado::Affinity::kText:
      return SQLITE_TEXT;
    case ado::Affinity::kBlob:
      return SQLITE_BLOB;
    case ado::Affinity::kNumeric:
      break;
  }
  return 0;
}

std::string text(sqlite3_stmt* st, int i) {
  const unsigned char* p = sqlite3_column_text(st, i);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(st, i)))
           : std::string();
}

void typeColumn(BridgeColumn& c, std::string_view declared) {
  ado::SqliteType t = ado::sqliteType(declared);
  c.dataTypeName = std::string(declared);
  c.nativeType = nativeOf(t.affinity);
  c.adoType = t.ado;
  c.size = t.size;
  if (t.isLong) c.adoAttributes |= ado::kFldLong;
  if (t.isFixedLength) c.adoAttributes |= ado::kFldFixed;
}

bool isSqliteFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  char header[16] = {};
  in.read(header, sizeof header);
  return in.gcount() == 16 && std::memcmp(header, "SQLite format 3", 16) == 0;
}

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) {
    rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &st_, nullptr);
  }
  ~Statement() { sqlite3_finalize(st_); }
  bool ok() const { return rc_ == SQLITE_OK && st_; }
  sqlite3_stmt* get() const { return st_; }
  void bind(int i, std::string_view v) {
    sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step() { return sqlite3_step(st_); }

 private:
  sqlite3_stmt* st_ = nullptr;
  int rc_;
};

class SqliteBackend : public BridgeBackend {
 public:
  SqliteBackend(sqlite3* db, std::string folder, bool hasDatabase)
      : db_(db), folder_(std::move(folder)), hasDatabase_(hasDatabase) {}
  ~SqliteBackend() override { sqlite3_close(db_); }

  std::string readTables(std::string_view filter, std::vector<BridgeTableInfo>& out) override;
  std::string databaseNames(std::string& out) override;
  std::string quoteChar() const override { return "\""; }
  std::string describeQuery(std::string_view sql, BridgeTableInfo& out) override;

 private:
  std::string error() const { return sqlite3_errmsg(db_); }
  // Columns of every table through one joined query; when a view cannot be
  // described (its source is gone) the tables are read one by one and such
  // views keep no columns.
  std::string readColumns(std::string_view filter, std::vector<BridgeTableInfo>& tables,
                          const std::unordered_map<std::string, size_t>& byName);
  void addColumnRow(sqlite3_stmt* st, int first, BridgeTableInfo& t,
                    std::vector<std::pair<int64_t, std::string>>& pk);
  // Foreign keys of every table through one joined query.
  std::string readForeignKeys(std::string_view filter, std::vector<BridgeTableInfo>& tables,
                              const std::unordered_map<std::string, size_t>& byName);
  // The primary key columns of a table, in key order.
  std::vector<std::string> keyColumns(const std::string& table);

  sqlite3* db_;
  std::string folder_;
  bool hasDatabase_;
};

void SqliteBackend::addColumnRow(sqlite3_stmt* st, int first, BridgeTableInfo& t,
                                 std::vector<std::pair<int64_t, std::string>>& pk) {
  BridgeColumn c;
  // Row: table name, cid, name, type, notnull, dflt_value, pk.
  c.name = text(st, first + 2);
  std::string declared = text(st, first + 3);
  // A view's computed column has no declared type: its values are shown as text.
  if (t.type == "VIEW" && trimBlanks(declared).empty()) declared = "TEXT";
  typeColumn(c, declared);
  c.required = sqlite3_column_int(st, first + 4) != 0;
  c.defaultValue = defaultFromSql(text(st, first + 5), sqlite3_column_type(st, first + 5) == SQLITE_NULL);
  c.adoAttributes |= ado::kFldUpdatable;
  int64_t pkPos = sqlite3_column_int64(st, first + 6);
  if (pkPos > 0) {
    pk.emplace_back(pkPos, c.name);
    c.adoAttributes |= ado::kFldKeyColumn;
  }
  t.columns.push_back(std::move(c));
}

std::string SqliteBackend::readColumns(std::string_view filter, std::vector<BridgeTableInfo>& tables,
                                       const std::unordered_map<std::string, size_t>& byName) {
  std::vector<std::vector<std::pair<int64_t, std::string>>> keys(tables.size());
  std::string sql =
      "SELECT m.name, p.cid, p.name, p.type, p.\"notnull\", p.dflt_value, p.pk "
      "FROM sqlite_schema AS m JOIN pragma_table_info(m.name) AS p "
      "WHERE m.type IN ('table','view')";
  if (!filter.empty()) sql += " AND m.name = ?1";
  sql += " ORDER BY m.name, p.cid";
  Statement st(db_, sql);
  if (!st.ok()) return error();
  if (!filter.empty()) st.bind(1, filter);
  int rc;
  while ((rc = st.step()) == SQLITE_ROW) {
    auto it = byName.find(text(st.get(), 0));
    if (it == byName.end()) continue;
    addColumnRow(st.get(), 0, tables[it->second], keys[it->second]);
  }
  if (rc != SQLITE_DONE) {
    // A view over a table that no longer exists makes the joined query fail.
    for (BridgeTableInfo& t : tables) t.columns.clear();
    for (auto& k : keys) k.clear();
    for (size_t i = 0; i < tables.size(); ++i) {
      Statement one(db_,
                    "SELECT ?1, cid, name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?1)");
      if (!one.ok()) return error();
      one.bind(1, tables[i].name);
      while (one.step() == SQLITE_ROW) addColumnRow(one.get(), 0, tables[i], keys[i]);
    }
  }
  for (size_t i = 0; i < tables.size(); ++i) {
    std::sort(keys[i].begin(), keys[i].end());
    for (size_t k = 0; k < keys[i].size(); ++k) {
      if (k) tables[i].pkField += ',';
      tables[i].pkField += keys[i][k].second;
    }
  }
  return {};
}

std::vector<std::string> SqliteBackend::keyColumns(const std::string& table) {
  std::vector<std::string> out;
  Statement st(db_, "SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk");
  if (!st.ok()) return out;
  st.bind(1, table);
  while (st.step() == SQLITE_ROW) out.push_back(text(st.get(), 0));
  return out;
}

std::string SqliteBackend::readForeignKeys(std::string_view filter, std::vector<BridgeTableInfo>& tables,
                                           const std::unordered_map<std::string, size_t>& byName) {
  std::string sql =
      "SELECT m.name, f.id, f.\"table\", f.\"from\", f.\"to\" "
      "FROM sqlite_schema AS m JOIN pragma_foreign_key_list(m.name) AS f WHERE m.type = 'table'";
  if (!filter.empty()) sql += " AND m.name = ?1";
  sql += " ORDER BY m.name, f.id, f.seq";
  Statement st(db_, sql);
  if (!st.ok()) return error();
  if (!filter.empty()) st.bind(1, filter);
  // Keys whose referenced columns are left out refer to the primary key.
  std::vector<std::pair<size_t, size_t>> toKey;
  int64_t lastId = -1;
  size_t lastTable = tables.size();
  int rc;
  while ((rc = st.step()) == SQLITE_ROW) {
    auto it = byName.find(text(st.get(), 0));
    if (it == byName.end()) continue;
    BridgeTableInfo& t = tables[it->second];
    int64_t id = sqlite3_column_int64(st.get(), 1);
    if (it->second != lastTable || id != lastId) {
      BridgeForeignKey fk;
      fk.refTable = text(st.get(), 2);
      // SQLite compares table names without regard to case.
      for (const BridgeTableInfo& other : tables)
        if (equalsNoCase(other.name, fk.refTable)) fk.refTable = other.name;
      t.foreignKeys.push_back(std::move(fk));
      lastTable = it->second;
      lastId = id;
    }
    BridgeForeignKey& fk = t.foreignKeys.back();
    fk.columns.push_back(text(st.get(), 3));
    if (sqlite3_column_type(st.get(), 4) == SQLITE_NULL)
      toKey.emplace_back(it->second, t.foreignKeys.size() - 1);
    else
      fk.refColumns.push_back(text(st.get(), 4));
  }
  if (rc != SQLITE_DONE) return error();
  for (auto [table, index] : toKey) {
    BridgeForeignKey& fk = tables[table].foreignKeys[index];
    fk.refColumns = keyColumns(fk.refTable);
    if (fk.refColumns.size() != fk.columns.size()) fk.refColumns.clear();
  }
  // SQLite names no foreign key: each is named after its columns.
  for (BridgeTableInfo& t : tables) {
    for (BridgeForeignKey& fk : t.foreignKeys) {
      for (const std::string& c : fk.columns) fk.name += (fk.name.empty() ? "" : ",") + c;
    }
    std::erase_if(t.foreignKeys, [](const BridgeForeignKey& fk) { return fk.refColumns.empty(); });
  }
  return {};
}

std::string SqliteBackend::readTables(std::string_view filter, std::vector<BridgeTableInfo>& out) {
  if (!hasDatabase_) return "No database selected";
  std::vector<BridgeTableInfo> tables;
  std::vector<std::string> createSql;
  std::unordered_map<std::string, size_t> byName;
  {
    std::string sql = "SELECT name, type, sql FROM sqlite_schema WHERE type IN ('table','view')";
    if (!filter.empty()) sql += " AND name = ?1";
    Statement st(db_, sql);
    if (!st.ok()) return error();
    if (!filter.empty()) st.bind(1, filter);
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
      BridgeTableInfo t;
      t.name = text(st.get(), 0);
      std::string type = text(st.get(), 1);
      if (type == "view")
        t.type = "VIEW";
      else
        t.type = t.name.compare(0, 7, "sqlite_") == 0 ? "SYSTEM TABLE" : "TABLE";
      createSql.push_back(text(st.get(), 2));
      tables.push_back(std::move(t));
    }
    if (rc != SQLITE_DONE) return error();
  }
  {
    std::vector<size_t> order(tables.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return tables[a].name < tables[b].name; });
    std::vector<BridgeTableInfo> sortedTables;
    std::vector<std::string> sortedSql;
    for (size_t i : order) {
      sortedTables.push_back(std::move(tables[i]));
      sortedSql.push_back(std::move(createSql[i]));
    }
    tables = std::move(sortedTables);
    createSql = std::move(sortedSql);
  }
  for (size_t i = 0; i < tables.size(); ++i) byName.emplace(tables[i].name, i);
  if (std::string e = readColumns(filter, tables, byName); !e.empty()) return e;
  for (size_t i = 0; i < tables.size(); ++i)
    if (tables[i].type == "TABLE") applyCheckLists(checkClauses(createSql[i]), tables[i].columns);
  if (std::string e = readForeignKeys(filter, tables, byName); !e.empty()) return e;

  // Index columns: single-column unique indexes, and whether the primary key
  // has an index of its own (it has none when it is the rowid).
  std::vector<bool> keyIndexed(tables.size(), false);
  {
    std::string sql =
        "SELECT m.name, il.name, il.\"unique\", il.origin, ii.name, "
        "(SELECT count(*) FROM pragma_index_info(il.name)) "
        "FROM sqlite_schema AS m JOIN pragma_index_list(m.name) AS il "
        "LEFT JOIN pragma_index_info(il.name) AS ii WHERE m.type = 'table'";
    if (!filter.empty()) sql += " AND m.name = ?1";
    Statement st(db_, sql);
    if (!st.ok()) return error();
    if (!filter.empty()) st.bind(1, filter);
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
      auto it = byName.find(text(st.get(), 0));
      if (it == byName.end()) continue;
      if (text(st.get(), 3) == "pk") keyIndexed[it->second] = true;
      if (sqlite3_column_int(st.get(), 2) == 1 && sqlite3_column_int(st.get(), 5) == 1) {
        std::string column = text(st.get(), 4);
        for (BridgeColumn& c : tables[it->second].columns)
          if (c.name == column) c.unique = true;
      }
    }
    if (rc != SQLITE_DONE) return error();
  }
  // A one-column INTEGER PRIMARY KEY of a rowid table is the rowid: it
  // numbers itself.
  for (size_t i = 0; i < tables.size(); ++i) {
    BridgeTableInfo& t = tables[i];
    if (t.type != "TABLE" || t.pkField.empty() || t.pkField.find(',') != std::string::npos) continue;
    for (BridgeColumn& c : t.columns) {
      if (c.name != t.pkField) continue;
      c.unique = true;
      if (!keyIndexed[i] && equalsNoCase(trimBlanks(c.dataTypeName), "INTEGER")) {
        c.autoIncrement = true;
        c.required = true;
        c.adoAttributes |= ado::kFldRowID;
      }
    }
  }
  for (BridgeTableInfo& t : tables)
    for (BridgeColumn& c : t.columns)
      if (!c.required) c.adoAttributes |= ado::kFldIsNullable | ado::kFldMayBeNull;
  out = std::move(tables);
  return {};
}

std::string SqliteBackend::databaseNames(std::string& out) {
  if (folder_.empty()) return {};
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
    if (entry.is_regular_file(ec) && isSqliteFile(entry.path())) names.push_back(entry.path().string());
  }
  if (ec) return "Cannot list the folder " + folder_ + ": " + ec.message();
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    if (!out.empty()) out += "\r\n";
    out += n;
  }
  return {};
}

std::string SqliteBackend::describeQuery(std::string_view sql, BridgeTableInfo& out) {
  if (!hasDatabase_) return "No database selected";
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &raw, &tail) != SQLITE_OK) {
    sqlite3_finalize(raw);
    return error();
  }
  struct Finalizer {
    sqlite3_stmt* s;
    ~Finalizer() { sqlite3_finalize(s); }
  } finalizer{raw};
  if (!raw) return "The statement is empty";
  for (const char* p = tail; p && p < sql.data() + sql.size(); ++p)
    if (!std::strchr(" \t\r\n;", *p)) return "Only one statement can describe a custom view";
  if (!sqlite3_stmt_readonly(raw) || sqlite3_column_count(raw) == 0)
    return "The statement returns no result columns";

  int count = sqlite3_column_count(raw);
  std::vector<std::pair<std::string, std::string>> origins(static_cast<size_t>(count));
  std::set<std::string> sources;
  for (int i = 0; i < count; ++i) {
    const char* table = sqlite3_column_table_name(raw, i);
    const char* column = sqlite3_column_origin_name(raw, i);
    const char* schema = sqlite3_column_database_name(raw, i);
    if (table && column && schema && std::strcmp(schema, "main") == 0) {
      origins[static_cast<size_t>(i)] = {table, column};
      sources.insert(table);
    }
  }
  std::vector<BridgeTableInfo> catalogue;
  for (const std::string& s : sources) {
    std::vector<BridgeTableInfo> one;
    if (std::string e = readTables(s, one); !e.empty()) return e;
    for (BridgeTableInfo& t : one) catalogue.push_back(std::move(t));
  }
  for (int i = 0; i < count; ++i) {
    const auto& [table, column] = origins[static_cast<size_t>(i)];
    BridgeColumn c;
    bool found = false;
    for (const BridgeTableInfo& t : catalogue) {
      if (t.name != table) continue;
      for (const BridgeColumn& src : t.columns) {
        if (equalsNoCase(src.name, column)) {
          c = src;
          origins[static_cast<size_t>(i)].second = src.name;
          found = true;
          break;
        }
      }
    }
    if (!found) {
      origins[static_cast<size_t>(i)] = {};
      // An expression has no declared type: its values may be of any kind
      // and are treated as text.
      const char* decl = sqlite3_column_decltype(raw, i);
      typeColumn(c, decl ? decl : "VARCHAR");
      if (!decl) c.dataTypeName.clear();
      c.adoAttributes |= ado::kFldIsNullable | ado::kFldMayBeNull;
    }
    c.name = sqlite3_column_name(raw, i);
    out.columns.push_back(std::move(c));
  }
  out.pkField = queryKey(origins, catalogue, out.columns);
  return {};
}

}  // namespace

std::unique_ptr<BridgeBackend> connectSqlite(const BridgeConnectParams& p, std::string& error) {
  sqlite3* db = nullptr;
  // Without a database file the connection only lists database files in the
  // host folder.
  std::string path = p.database.empty() ? std::string(":memory:") : p.database;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  if (rc != SQLITE_OK) {
    error = db ? sqlite3_errmsg(db) : "Cannot open the database file";
    error += ": " + p.database;
    sqlite3_close(db);
    return nullptr;
  }
  // Opening is lazy: reading the schema finds files that are no database.
  if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) != SQLITE_OK) {
    error = std::string(sqlite3_errmsg(db)) + ": " + p.database;
    sqlite3_close(db);
    return nullptr;
  }
  std::string folder = p.host;
  if (folder.empty() && !p.database.empty())
    folder = std::filesystem::path(p.database).parent_path().string();
  return std::make_unique<SqliteBackend>(db, std::move(folder), !p.database.empty());
}

}  // namespace tw
