// The MariaDB/MySQL side of the bridge, through MariaDB Connector/C. The
// whole catalogue of a database is read with five information_schema
// queries (tables, columns, index columns, foreign keys, check
// constraints), whatever the number of tables;
// a query's result columns come from preparing it, without running it.
#include <mariadb/mysql.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
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

constexpr unsigned kConnectTimeoutSeconds = 10;
// Long enough for a slow custom view over a large table.
constexpr unsigned kIoTimeoutSeconds = 120;

void initLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { mysql_library_init(0, nullptr, nullptr); });
}

std::string_view cell(MYSQL_ROW row, const unsigned long* lengths, unsigned i) {
  return row[i] ? std::string_view(row[i], lengths[i]) : std::string_view();
}

int64_t cellNumber(MYSQL_ROW row, unsigned i, int64_t fallback = 0) {
  return row[i] ? std::strtoll(row[i], nullptr, 10) : fallback;
}

int32_t clampSize(int64_t v) {
  if (v < 0) return 0;
  return v > ado::kUnlimitedSize ? ado::kUnlimitedSize : static_cast<int32_t>(v);
}

// Values inside a MariaDB quoted literal may also use backslash escapes.
Variant mariaDbDefault(const char* text, unsigned long length) {
  if (!text) return Variant();
  std::string_view sql(text, length);
  if (sql.size() >= 2 && sql.front() == '\'' && sql.back() == '\'') {
    std::string out;
    for (size_t i = 1; i + 1 < sql.size(); ++i) {
      char c = sql[i];
      if (c == '\\' && i + 2 < sql.size()) {
        char n = sql[++i];
        switch (n) {
          case 'n':
            out += '\n';
            break;
          case 'r':
            out += '\r';
            break;
          case 't':
            out += '\t';
            break;
          case '0':
            out += '\0';
            break;
          default:
            out += n;
            break;
        }
        continue;
      }
      out += c;
      if (c == '\'' && i + 2 < sql.size() && sql[i + 1] == '\'') ++i;
    }
    return Variant(std::move(out));
  }
  // A bit value b'101' is the number it writes.
  if (sql.size() >= 3 && (sql[0] == 'b' || sql[0] == 'B') && sql[1] == '\'' && sql.back() == '\'' &&
      sql.find_first_not_of("01", 2) == sql.size() - 1 && sql.size() - 3 <= 63) {
    int64_t value = 0;
    for (size_t i = 2; i + 1 < sql.size(); ++i) value = value * 2 + (sql[i] - '0');
    return Variant(std::to_string(value));
  }
  return defaultFromSql(sql, false);
}

}  // namespace

std::vector<std::string> mysqlEnumValues(std::string_view columnType) {
  std::vector<std::string> values;
  size_t pos = columnType.find('(');
  if (pos == std::string_view::npos) return values;
  ++pos;
  while (pos < columnType.size()) {
    while (pos < columnType.size() && (columnType[pos] == ' ' || columnType[pos] == ',')) ++pos;
    if (pos >= columnType.size() || columnType[pos] != '\'') break;
    ++pos;
    std::string value;
    while (pos < columnType.size()) {
      char c = columnType[pos];
      if (c == '\\' && pos + 1 < columnType.size()) {
        value += columnType[pos + 1];
        pos += 2;
        continue;
      }
      if (c == '\'') {
        if (pos + 1 < columnType.size() && columnType[pos + 1] == '\'') {
          value += '\'';
          pos += 2;
          continue;
        }
        ++pos;
        break;
      }
      value += c;
      ++pos;
    }
    values.push_back(std::move(value));
  }
  return values;
}

namespace {

// A system-versioned table is a table whose history the server keeps.
std::string tableTypeOf(std::string_view schemaType) {
  if (schemaType == "BASE TABLE" || schemaType == "SYSTEM VERSIONED") return "TABLE";
  return std::string(schemaType);
}

// Fills type, size and attribute members of a column from a type row.
void applyType(BridgeColumn& c, const ado::MariaDbType* t, bool isUnsigned, bool isBinary, int64_t length,
               int64_t precision) {
  if (!t) {
    c.adoType = ado::kVariant;
    c.size = clampSize(length);
    return;
  }
  c.nativeType = t->protocolType;
  c.adoType = isBinary ? t->adoBinary : (isUnsigned ? t->adoUnsigned : t->ado);
  switch (t->sizeRule) {
    case ado::SizeRule::kFixed:
      c.size = t->fixedSize;
      break;
    case ado::SizeRule::kLength:
      c.size = clampSize(length);
      break;
    case ado::SizeRule::kPrecision:
      c.size = clampSize(precision);
      break;
    case ado::SizeRule::kBits:
      c.size = clampSize((precision + 7) / 8);
      break;
  }
  // A single bit is a yes/no value.
  if (t->sizeRule == ado::SizeRule::kBits && precision == 1) c.adoType = ado::kBoolean;
  if (t->isFixedLength) c.adoAttributes |= ado::kFldFixed;
  if (t->isLong) c.adoAttributes |= ado::kFldLong;
}

class MariaDbBackend : public BridgeBackend {
 public:
  MariaDbBackend(MYSQL* conn, std::string database) : conn_(conn), database_(std::move(database)) {}
  ~MariaDbBackend() override { mysql_close(conn_); }

  std::string readTables(std::string_view filter, std::vector<BridgeTableInfo>& out) override {
    std::vector<std::string> names;
    if (!filter.empty()) names.emplace_back(filter);
    return readCatalogue(names, filter.empty(), out);
  }

  std::string databaseNames(std::string& out) override {
    MYSQL_RES* res = nullptr;
    if (std::string e = query("SHOW DATABASES", res); !e.empty()) return e;
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
      unsigned long* len = mysql_fetch_lengths(res);
      if (!out.empty()) out += "\r\n";
      out += cell(row, len, 0);
    }
    mysql_free_result(res);
    return {};
  }

  std::string quoteChar() const override { return "`"; }

  std::string describeQuery(std::string_view sql, BridgeTableInfo& out) override;

 private:
  std::string error() const { return mysql_error(conn_); }

  std::string query(const std::string& sql, MYSQL_RES*& res) {
    if (mysql_real_query(conn_, sql.data(), sql.size()) != 0) return error();
    res = mysql_use_result(conn_);
    if (!res) return mysql_errno(conn_) ? error() : std::string("The catalogue query returned no rows");
    return {};
  }

  std::string literal(std::string_view text) const {
    std::string out(text.size() * 2 + 3, '\0');
    out[0] = '\'';
    unsigned long n = mysql_real_escape_string(conn_, out.data() + 1, text.data(), text.size());
    out.resize(n + 1);
    out += '\'';
    return out;
  }

  // "TABLE_SCHEMA = 'db'" and, for a list of names, "AND TABLE_NAME IN (...)".
  std::string where(const std::vector<std::string>& names) const {
    std::string w = " WHERE TABLE_SCHEMA = " + literal(database_);
    if (!names.empty()) {
      w += " AND TABLE_NAME IN (";
      for (size_t i = 0; i < names.size(); ++i) {
        if (i) w += ',';
        w += literal(names[i]);
      }
      w += ')';
    }
    return w;
  }

  std::string readCatalogue(const std::vector<std::string>& names, bool all,
                            std::vector<BridgeTableInfo>& out);
  std::string readForeignKeys(const std::string& filter, const std::unordered_map<std::string, size_t>& byName,
                              std::vector<BridgeTableInfo>& tables);
  void readCheckLists(const std::vector<std::string>& names,
                      const std::unordered_map<std::string, size_t>& byName, std::vector<BridgeTableInfo>& tables);

  MYSQL* conn_;
  std::string database_;
};

std::string MariaDbBackend::readCatalogue(const std::vector<std::string>& names, bool all,
                                          std::vector<BridgeTableInfo>& out) {
  if (database_.empty()) return "No database selected";
  if (!all && names.empty()) return {};
  const std::string filter = where(names);
  std::unordered_map<std::string, size_t> byName;
  std::vector<BridgeTableInfo> tables;
  MYSQL_RES* res = nullptr;

  // 1. Tables and views.
  if (std::string e = query("SELECT TABLE_NAME, TABLE_TYPE FROM information_schema.TABLES" + filter, res);
      !e.empty())
    return e;
  while (MYSQL_ROW row = mysql_fetch_row(res)) {
    unsigned long* len = mysql_fetch_lengths(res);
    BridgeTableInfo t;
    t.name = std::string(cell(row, len, 0));
    t.type = tableTypeOf(cell(row, len, 1));
    tables.push_back(std::move(t));
  }
  bool failed = mysql_errno(conn_) != 0;
  mysql_free_result(res);
  if (failed) return error();
  std::sort(tables.begin(), tables.end(),
            [](const BridgeTableInfo& a, const BridgeTableInfo& b) { return a.name < b.name; });
  byName.reserve(tables.size());
  for (size_t i = 0; i < tables.size(); ++i) byName.emplace(tables[i].name, i);

  // 2. Columns, with their position so each table's list can be put in order.
  std::vector<std::vector<std::pair<int64_t, BridgeColumn>>> columns(tables.size());
  if (std::string e = query(
          "SELECT TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, COLUMN_DEFAULT, IS_NULLABLE, DATA_TYPE, "
          "CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, COLUMN_TYPE, EXTRA FROM information_schema.COLUMNS" +
              filter,
          res);
      !e.empty())
    return e;
  while (MYSQL_ROW row = mysql_fetch_row(res)) {
    unsigned long* len = mysql_fetch_lengths(res);
    auto it = byName.find(std::string(cell(row, len, 0)));
    if (it == byName.end()) continue;  // created after the table list was read
    BridgeColumn c;
    c.name = std::string(cell(row, len, 1));
    c.defaultValue = mariaDbDefault(row[3], len[3]);
    bool nullable = cell(row, len, 4) == "YES";
    c.dataTypeName = toLower(cell(row, len, 5));
    std::string_view columnType = cell(row, len, 8);
    std::string_view extra = cell(row, len, 9);
    bool isUnsigned = columnType.find(" unsigned") != std::string_view::npos;
    applyType(c, ado::mariaDbTypeByName(c.dataTypeName), isUnsigned, false, cellNumber(row, 6),
              cellNumber(row, 7));
    // tinyint(1) is how MariaDB declares BOOLEAN.
    if (c.dataTypeName == "tinyint" && equalsNoCase(columnType.substr(0, 10), "tinyint(1)"))
      c.adoType = ado::kBoolean;
    c.required = !nullable;
    if (nullable) c.adoAttributes |= ado::kFldIsNullable | ado::kFldMayBeNull;
    std::string lowerExtra = toLower(extra);
    c.autoIncrement = lowerExtra.find("auto_increment") != std::string::npos;
    if (lowerExtra.find("generated") == std::string::npos) c.adoAttributes |= ado::kFldUpdatable;
    if (c.dataTypeName == "enum" || c.dataTypeName == "set") {
      c.isEnum = c.dataTypeName == "enum";
      c.isSet = !c.isEnum;
      c.tagValues = tagValueLines(mysqlEnumValues(columnType));
    }
    columns[it->second].emplace_back(cellNumber(row, 2), std::move(c));
  }
  failed = mysql_errno(conn_) != 0;
  mysql_free_result(res);
  if (failed) return error();
  for (size_t i = 0; i < tables.size(); ++i) {
    auto& list = columns[i];
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    tables[i].columns.reserve(list.size());
    for (auto& [pos, c] : list) tables[i].columns.push_back(std::move(c));
  }

  // 3. Index columns: the primary key in key order and single-column unique
  // indexes.
  struct IndexColumn {
    size_t table;
    std::string index;
    int64_t seq;
    std::string column;
    bool unique;
  };
  std::vector<IndexColumn> indexColumns;
  if (std::string e = query("SELECT TABLE_NAME, INDEX_NAME, NON_UNIQUE, SEQ_IN_INDEX, COLUMN_NAME FROM "
                            "information_schema.STATISTICS" +
                                filter,
                            res);
      !e.empty())
    return e;
  while (MYSQL_ROW row = mysql_fetch_row(res)) {
    unsigned long* len = mysql_fetch_lengths(res);
    auto it = byName.find(std::string(cell(row, len, 0)));
    if (it == byName.end()) continue;
    indexColumns.push_back({it->second, std::string(cell(row, len, 1)), cellNumber(row, 3),
                            std::string(cell(row, len, 4)), cellNumber(row, 2, 1) == 0});
  }
  failed = mysql_errno(conn_) != 0;
  mysql_free_result(res);
  if (failed) return error();
  std::sort(indexColumns.begin(), indexColumns.end(), [](const IndexColumn& a, const IndexColumn& b) {
    if (a.table != b.table) return a.table < b.table;
    if (a.index != b.index) return a.index < b.index;
    return a.seq < b.seq;
  });
  for (size_t i = 0; i < indexColumns.size();) {
    size_t j = i;
    while (j < indexColumns.size() && indexColumns[j].table == indexColumns[i].table &&
           indexColumns[j].index == indexColumns[i].index)
      ++j;
    BridgeTableInfo& t = tables[indexColumns[i].table];
    auto columnNamed = [&](const std::string& name) -> BridgeColumn* {
      for (BridgeColumn& c : t.columns)
        if (c.name == name) return &c;
      return nullptr;
    };
    if (indexColumns[i].index == "PRIMARY") {
      for (size_t k = i; k < j; ++k) {
        if (k > i) t.pkField += ',';
        t.pkField += indexColumns[k].column;
        if (BridgeColumn* c = columnNamed(indexColumns[k].column)) c->adoAttributes |= ado::kFldKeyColumn;
      }
    }
    if (j - i == 1 && indexColumns[i].unique)
      if (BridgeColumn* c = columnNamed(indexColumns[i].column)) c->unique = true;
    i = j;
  }
  if (std::string e = readForeignKeys(filter, byName, tables); !e.empty()) return e;
  readCheckLists(names, byName, tables);
  out = std::move(tables);
  return {};
}

std::string MariaDbBackend::readForeignKeys(const std::string& filter,
                                            const std::unordered_map<std::string, size_t>& byName,
                                            std::vector<BridgeTableInfo>& tables) {
  // 4. Foreign key columns, in key order; references into other databases
  // are left out.
  MYSQL_RES* res = nullptr;
  if (std::string e = query("SELECT TABLE_NAME, CONSTRAINT_NAME, REFERENCED_TABLE_NAME, COLUMN_NAME, "
                            "REFERENCED_COLUMN_NAME FROM information_schema.KEY_COLUMN_USAGE" +
                                filter + " AND REFERENCED_TABLE_NAME IS NOT NULL AND REFERENCED_TABLE_SCHEMA = " +
                                literal(database_) + " ORDER BY TABLE_NAME, CONSTRAINT_NAME, ORDINAL_POSITION",
                            res);
      !e.empty())
    return e;
  while (MYSQL_ROW row = mysql_fetch_row(res)) {
    unsigned long* len = mysql_fetch_lengths(res);
    auto it = byName.find(std::string(cell(row, len, 0)));
    if (it == byName.end()) continue;
    auto& keys = tables[it->second].foreignKeys;
    std::string_view name = cell(row, len, 1);
    if (keys.empty() || keys.back().name != name) {
      keys.emplace_back();
      keys.back().name = std::string(name);
      keys.back().refTable = std::string(cell(row, len, 2));
    }
    keys.back().columns.emplace_back(cell(row, len, 3));
    keys.back().refColumns.emplace_back(cell(row, len, 4));
  }
  bool failed = mysql_errno(conn_) != 0;
  mysql_free_result(res);
  return failed ? error() : std::string();
}

void MariaDbBackend::readCheckLists(const std::vector<std::string>& names,
                                    const std::unordered_map<std::string, size_t>& byName,
                                    std::vector<BridgeTableInfo>& tables) {
  // 5. Check constraints. A server without them (or without their table
  // names) has no value lists to offer, which is no failure.
  std::string sql =
      "SELECT TABLE_NAME, CHECK_CLAUSE FROM information_schema.CHECK_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = " +
      literal(database_);
  if (!names.empty()) {
    sql += " AND TABLE_NAME IN (";
    for (size_t i = 0; i < names.size(); ++i) sql += (i ? "," : "") + literal(names[i]);
    sql += ')';
  }
  MYSQL_RES* res = nullptr;
  if (!query(sql, res).empty()) return;
  std::vector<std::vector<std::string>> clauses(tables.size());
  while (MYSQL_ROW row = mysql_fetch_row(res)) {
    unsigned long* len = mysql_fetch_lengths(res);
    auto it = byName.find(std::string(cell(row, len, 0)));
    if (it != byName.end()) clauses[it->second].emplace_back(cell(row, len, 1));
  }
  mysql_free_result(res);
  for (size_t i = 0; i < tables.size(); ++i) applyCheckLists(clauses[i], tables[i].columns);
}

std::string MariaDbBackend::describeQuery(std::string_view sql, BridgeTableInfo& out) {
  MYSQL_STMT* stmt = mysql_stmt_init(conn_);
  if (!stmt) return error();
  struct Closer {
    MYSQL_STMT* s;
    ~Closer() { mysql_stmt_close(s); }
  } closer{stmt};
  if (mysql_stmt_prepare(stmt, sql.data(), sql.size()) != 0) return mysql_stmt_error(stmt);
  MYSQL_RES* meta = mysql_stmt_result_metadata(stmt);
  if (!meta) {
    if (mysql_stmt_errno(stmt)) return mysql_stmt_error(stmt);
    return "The statement returns no result columns";
  }
  unsigned count = mysql_num_fields(meta);
  MYSQL_FIELD* fields = mysql_fetch_fields(meta);

  // Columns taken straight from a table or view of this database are
  // described as the catalogue describes them, so a custom view's column
  // matches its source column; expressions are described from the result's
  // own metadata.
  std::set<std::string> sources;
  for (unsigned i = 0; i < count; ++i) {
    const MYSQL_FIELD& f = fields[i];
    if (f.org_table_length && f.org_name_length && std::string_view(f.db, f.db_length) == database_)
      sources.emplace(f.org_table, f.org_table_length);
  }
  std::vector<BridgeTableInfo> catalogue;
  if (!sources.empty()) {
    std::string e = readCatalogue(std::vector<std::string>(sources.begin(), sources.end()), false, catalogue);
    if (!e.empty()) {
      mysql_free_result(meta);
      return e;
    }
  }
  auto sourceColumn = [&](const MYSQL_FIELD& f) -> const BridgeColumn* {
    if (!f.org_table_length || !f.org_name_length || std::string_view(f.db, f.db_length) != database_)
      return nullptr;
    std::string_view table(f.org_table, f.org_table_length), column(f.org_name, f.org_name_length);
    for (const BridgeTableInfo& t : catalogue)
      if (t.name == table)
        for (const BridgeColumn& c : t.columns)
          if (equalsNoCase(c.name, column)) return &c;
    return nullptr;
  };

  std::vector<std::pair<std::string, std::string>> origins(count);
  for (unsigned i = 0; i < count; ++i) {
    const MYSQL_FIELD& f = fields[i];
    BridgeColumn c;
    if (const BridgeColumn* src = sourceColumn(f)) {
      c = *src;
      origins[i] = {std::string(f.org_table, f.org_table_length), src->name};
    } else {
      bool isBinary = f.charsetnr == 63;
      const ado::MariaDbType* t = ado::mariaDbTypeByProtocol(f.type);
      int64_t length = static_cast<int64_t>(f.length);
      int64_t precision = length;
      if (t && t->sizeRule == ado::SizeRule::kLength && !isBinary) {
        const MARIADB_CHARSET_INFO* cs = mariadb_get_charset_by_nr(f.charsetnr);
        if (cs && cs->char_maxlen > 1) length /= cs->char_maxlen;
      }
      if (t && t->sizeRule == ado::SizeRule::kPrecision)
        precision = length - (f.decimals > 0 ? 1 : 0) - ((f.flags & UNSIGNED_FLAG) ? 0 : 1);
      applyType(c, t, (f.flags & UNSIGNED_FLAG) != 0, isBinary && t && t->sizeRule == ado::SizeRule::kLength,
                length, precision);
      c.dataTypeName = t && !t->name.empty() ? std::string(t->name) : std::to_string(f.type);
      if (f.flags & ENUM_FLAG) {
        c.isEnum = true;
        c.nativeType = MYSQL_TYPE_ENUM;
        c.dataTypeName = "enum";
      } else if (f.flags & SET_FLAG) {
        c.isSet = true;
        c.nativeType = MYSQL_TYPE_SET;
        c.dataTypeName = "set";
      }
      c.autoIncrement = (f.flags & AUTO_INCREMENT_FLAG) != 0;
      c.adoAttributes &= ~(ado::kFldIsNullable | ado::kFldMayBeNull);
    }
    c.name = std::string(f.name, f.name_length);
    c.required = (f.flags & NOT_NULL_FLAG) != 0;
    c.adoAttributes &= ~(ado::kFldIsNullable | ado::kFldMayBeNull);
    if (!c.required) c.adoAttributes |= ado::kFldIsNullable | ado::kFldMayBeNull;
    out.columns.push_back(std::move(c));
  }
  mysql_free_result(meta);

  out.pkField = queryKey(origins, catalogue, out.columns);
  return {};
}

}  // namespace

namespace {

// Seconds a read or write on the connection may wait: TARNWICK_DB_TIMEOUT
// when set to a positive number, else kIoTimeoutSeconds.
unsigned ioTimeoutSeconds() {
  if (const char* text = std::getenv("TARNWICK_DB_TIMEOUT"); text && *text) {
    char* end = nullptr;
    const long seconds = std::strtol(text, &end, 10);
    if (end && *end == 0 && seconds > 0 && seconds <= 86400) return static_cast<unsigned>(seconds);
  }
  return kIoTimeoutSeconds;
}

}  // namespace

std::unique_ptr<BridgeBackend> connectMariaDb(const BridgeConnectParams& p, std::string& error) {
  initLibrary();
  MYSQL* conn = mysql_init(nullptr);
  if (!conn) {
    error = "Out of memory while connecting";
    return nullptr;
  }
  unsigned timeout = kConnectTimeoutSeconds;
  mysql_options(conn, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
  // A server that stops answering after the log-in must not hold the run
  // for ever: every read and write waits at most this long.
  unsigned io = ioTimeoutSeconds();
  mysql_options(conn, MYSQL_OPT_READ_TIMEOUT, &io);
  mysql_options(conn, MYSQL_OPT_WRITE_TIMEOUT, &io);
  // Text is UTF-8 inside the engine, so the connection always talks utf8mb4;
  // the encoding setting names the generated pages' character set.
  mysql_options(conn, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  std::string host = p.host.empty() ? "localhost" : p.host;
  const char* socket = nullptr;
  if (!host.empty() && host[0] == '/') {
    socket = p.host.c_str();
    host = "localhost";
  }
  const char* db = p.database.empty() ? nullptr : p.database.c_str();
  if (!mysql_real_connect(conn, host.c_str(), p.user.c_str(), p.password.c_str(), db,
                          static_cast<unsigned>(p.port < 0 ? 0 : p.port), socket, 0)) {
    error = mysql_error(conn);
    if (error.empty()) error = "Cannot connect to the database server";
    mysql_close(conn);
    return nullptr;
  }
  return std::make_unique<MariaDbBackend>(conn, p.database);
}

}  // namespace tw
