// The PostgreSQL side of the bridge, through libpq. The database holds
// schemas; the bridge reads one of them ("public" unless the connection URL
// names another with schema=NAME). The whole catalogue of that schema is read
// with six queries over pg_catalog (relations, enumeration labels, columns,
// unique indexes, foreign key columns, check constraints), whatever the
// number of tables; a query's result columns come from preparing and
// describing it, without running it.
#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
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

constexpr const char* kConnectTimeoutSeconds = "10";
// Enumeration columns carry the engine's enumeration code as their native
// type, so that value lists are compared and kept as for MySQL.
constexpr int16_t kEnumNative = 247;

// A query result, cleared when it goes.
class Result {
 public:
  explicit Result(PGresult* r = nullptr) : r_(r) {}
  ~Result() { PQclear(r_); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  Result& operator=(PGresult* r) {
    PQclear(r_);
    r_ = r;
    return *this;
  }
  PGresult* get() const { return r_; }
  int rows() const { return PQntuples(r_); }
  bool isNull(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
  std::string_view text(int row, int col) const {
    return std::string_view(PQgetvalue(r_, row, col), static_cast<size_t>(PQgetlength(r_, row, col)));
  }
  int64_t number(int row, int col) const { return std::strtoll(PQgetvalue(r_, row, col), nullptr, 10); }
  bool flag(int row, int col) const { return text(row, col) == "t"; }

 private:
  PGresult* r_;
};

std::string trimmedMessage(const char* message) {
  std::string m = message ? message : "";
  while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
  return m;
}

size_t characterCount(std::string_view utf8) {
  size_t n = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

int32_t clampSize(int64_t v) {
  if (v < 0) return 0;
  return v > ado::kUnlimitedSize ? ado::kUnlimitedSize : static_cast<int32_t>(v);
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    auto hex = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The schema a connection URL names with schema=NAME (after "?" or "&", or
// the URL being that parameter alone); "public" when it names none.
std::string schemaOf(std::string_view url) {
  size_t start = url.find('?');
  std::string_view query = start == std::string_view::npos ? url : url.substr(start + 1);
  while (!query.empty()) {
    size_t amp = query.find('&');
    std::string_view item = query.substr(0, amp);
    if (item.size() > 7 && equalsNoCase(item.substr(0, 7), "schema=")) return percentDecoded(item.substr(7));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return "public";
}

// A text[] literal of the names, for "= ANY($n::text[])".
std::string arrayLiteral(const std::vector<std::string>& names) {
  std::string out = "{";
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) out += ',';
    out += '"';
    for (char c : names[i]) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  out += '}';
  return out;
}

// A default as pg_get_expr shows it: 'text'::type is the literal's text,
// NULL::type is Null, anything else (numbers, true, now(), ...) its text.
Variant postgresDefault(std::string_view sql) {
  std::string_view text = trimBlanks(sql);
  if (text.size() >= 2 && text.front() == '\'') {
    std::string value;
    size_t i = 1;
    for (; i < text.size(); ++i) {
      if (text[i] == '\'') {
        if (i + 1 < text.size() && text[i + 1] == '\'') {
          value += '\'';
          ++i;
          continue;
        }
        break;
      }
      value += text[i];
    }
    if (i < text.size()) {
      std::string_view rest = text.substr(i + 1);
      if (rest.empty() || rest.substr(0, 2) == "::") return Variant(std::move(value));
    }
    return Variant(text);
  }
  if (text.size() > 4 && equalsNoCase(text.substr(0, 4), "NULL") && text.substr(4, 2) == "::") return Variant::null();
  // A negative number in parentheses.
  if (text.size() > 2 && text.front() == '(' && text.back() == ')' && text[1] == '-' &&
      text.find_first_not_of("0123456789.-", 1) == text.size() - 1)
    return Variant(text.substr(1, text.size() - 2));
  return defaultFromSql(text, false);
}

// A check constraint as pg_get_constraintdef shows `column IN (...)`:
//   CHECK ((status = ANY (ARRAY['new'::text, 'done'::text])))
//   CHECK (((code)::text = ANY ((ARRAY['a'::character varying])::text[])))
// back in the IN form ("status IN ('new', 'done')"); "" for any other check.
std::string checkAsInList(std::string_view def) {
  static const std::regex form(
      R"re(^CHECK \(+("(?:[^"]|"")+"|[^\s()":]+)\)*(?:::[a-z ]+\)*)? = ANY \(+ARRAY\[(.*?)\]\)*(?:::[a-z ]+\[\])?\)*$)re");
  std::cmatch m;
  std::string text(trimBlanks(def));
  if (!std::regex_match(text.c_str(), m, form)) return {};
  std::string out = m[1].str() + " IN (";
  const std::string items = m[2].str();
  // One list only: brackets or parentheses outside quotes belong to a
  // combination of conditions.
  bool quoted = false;
  for (char c : items) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && std::strchr("()[]", c)) return {};
  }
  size_t i = 0;
  bool first = true;
  while (i < items.size()) {
    while (i < items.size() && (items[i] == ' ' || items[i] == ',')) ++i;
    if (i >= items.size()) break;
    size_t start = i;
    if (items[i] == '\'') {
      for (++i; i < items.size(); ++i) {
        if (items[i] != '\'') continue;
        if (i + 1 < items.size() && items[i + 1] == '\'') {
          ++i;
          continue;
        }
        break;
      }
      ++i;
    } else {
      while (i < items.size() && items[i] != ',' && items[i] != ':') ++i;
    }
    if (!first) out += ", ";
    first = false;
    out += items.substr(start, i - start);
    // The element's cast, up to the next comma.
    if (i < items.size() && items[i] == ':')
      while (i < items.size() && items[i] != ',') ++i;
  }
  return out + ")";
}

// Type facts of a column or result column, after domains are resolved.
struct TypeFacts {
  uint32_t oid = 0;
  std::string_view typname;
  char category = 'U';
  std::string_view displayName;  // format_type without modifier
  int32_t typmod = -1;
};

void applyType(BridgeColumn& c, const TypeFacts& t, const std::map<uint32_t, std::vector<std::string>>& labels) {
  ado::PostgresType m = ado::postgresType(t.typname, t.category, t.typmod);
  c.dataTypeName = std::string(t.displayName);
  c.adoType = m.ado;
  c.size = m.size;
  c.nativeType = t.oid < 32768 ? static_cast<int16_t>(t.oid) : 0;
  if (m.isLong) c.adoAttributes |= ado::kFldLong;
  if (m.isFixedLength) c.adoAttributes |= ado::kFldFixed;
  if (t.category == 'E') {
    c.isEnum = true;
    c.nativeType = kEnumNative;
    auto it = labels.find(t.oid);
    if (it != labels.end()) {
      c.tagValues = tagValueLines(it->second);
      size_t longest = 0;
      for (const std::string& v : it->second) longest = std::max(longest, characterCount(v));
      c.size = clampSize(static_cast<int64_t>(longest));
    }
  }
}

// A relation of the catalogue with the attribute numbers of its columns.
struct Relation {
  uint32_t oid = 0;
  BridgeTableInfo info;
  std::vector<int> attnums;
};

class PostgresBackend : public BridgeBackend {
 public:
  PostgresBackend(PGconn* conn, std::string schema) : conn_(conn), schema_(std::move(schema)) {}
  ~PostgresBackend() override { PQfinish(conn_); }

  std::string readTables(std::string_view filter, std::vector<BridgeTableInfo>& out) override {
    std::vector<std::string> names;
    if (!filter.empty()) names.emplace_back(filter);
    std::vector<Relation> relations;
    if (std::string e = readCatalogue(names, filter.empty(), relations); !e.empty()) return e;
    out.clear();
    out.reserve(relations.size());
    for (Relation& r : relations) out.push_back(std::move(r.info));
    return {};
  }

  std::string databaseNames(std::string& out) override {
    Result r(PQexec(conn_,
                    "SELECT datname FROM pg_catalog.pg_database WHERE datallowconn AND NOT datistemplate "
                    "ORDER BY datname"));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) return trimmedMessage(PQresultErrorMessage(r.get()));
    for (int i = 0; i < r.rows(); ++i) {
      if (!out.empty()) out += "\r\n";
      out += r.text(i, 0);
    }
    return {};
  }

  std::string quoteChar() const override { return "\""; }

  std::string describeQuery(std::string_view sql, BridgeTableInfo& out) override;

 private:
  // Runs a catalogue query with the schema as $1 and the name list (or
  // NULL for every relation) as $2.
  std::string query(const char* sql, const std::string* names, Result& r) {
    const char* values[2] = {schema_.c_str(), names ? names->c_str() : nullptr};
    r = PQexecParams(conn_, sql, 2, nullptr, values, nullptr, nullptr, 0);
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) return trimmedMessage(PQresultErrorMessage(r.get()));
    return {};
  }

  std::string enumLabels(std::map<uint32_t, std::vector<std::string>>& labels) {
    Result r(PQexec(conn_,
                    "SELECT enumtypid, enumlabel FROM pg_catalog.pg_enum ORDER BY enumtypid, enumsortorder"));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) return trimmedMessage(PQresultErrorMessage(r.get()));
    for (int i = 0; i < r.rows(); ++i)
      labels[static_cast<uint32_t>(r.number(i, 0))].emplace_back(r.text(i, 1));
    return {};
  }

  std::string readCatalogue(const std::vector<std::string>& names, bool all, std::vector<Relation>& out);
  std::string readConstraints(const std::string* filter, const std::unordered_map<uint32_t, size_t>& byOid,
                              std::vector<Relation>& relations);

  PGconn* conn_;
  std::string schema_;
};

// The relations of the schema ($1), limited to the names in $2 unless NULL.
// Partitions are read through their partitioned table; the tables and views
// of an installed extension are the extension's, not the application's.
constexpr const char* kRelationsSql =
    "SELECT c.oid, c.relname, c.relkind FROM pg_catalog.pg_class c "
    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "WHERE n.nspname = $1 AND c.relkind IN ('r', 'p', 'v', 'm', 'f') AND NOT c.relispartition "
    "AND ($2::text[] IS NULL OR c.relname = ANY($2::text[])) "
    "AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_depend e WHERE e.classid = 'pg_catalog.pg_class'::regclass "
    "AND e.objid = c.oid AND e.deptype = 'e')";

// Their columns; a domain is replaced by its base type (and its NOT NULL).
// A default names no column, so it is shown without opening its table
// (which would load every table's description into the server's cache);
// generated columns have no default.
constexpr const char* kColumnsSql =
    "SELECT a.attrelid, a.attname, a.attnum, a.attnotnull OR t.typnotnull, "
    "CASE WHEN a.attgenerated = '' THEN pg_catalog.pg_get_expr(d.adbin, 0) END, a.attidentity, a.attgenerated, "
    "b.oid, b.typname, b.typcategory, pg_catalog.format_type(b.oid, NULL), "
    "CASE WHEN t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END "
    "FROM pg_catalog.pg_attribute a "
    "JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "JOIN pg_catalog.pg_type t ON t.oid = a.atttypid "
    "JOIN pg_catalog.pg_type b ON b.oid = CASE WHEN t.typtype = 'd' THEN t.typbasetype ELSE t.oid END "
    "LEFT JOIN pg_catalog.pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
    "WHERE n.nspname = $1 AND c.relkind IN ('r', 'p', 'v', 'm', 'f') AND NOT c.relispartition "
    "AND ($2::text[] IS NULL OR c.relname = ANY($2::text[])) AND a.attnum > 0 AND NOT a.attisdropped";

// Primary keys and unique indexes over plain columns (no expression, no
// predicate), with their columns in key order.
constexpr const char* kIndexesSql =
    "SELECT i.indrelid, i.indisprimary, i.indkey::text FROM pg_catalog.pg_index i "
    "JOIN pg_catalog.pg_class c ON c.oid = i.indrelid "
    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "WHERE n.nspname = $1 AND (i.indisprimary OR i.indisunique) AND i.indpred IS NULL "
    "AND i.indexprs IS NULL AND ($2::text[] IS NULL OR c.relname = ANY($2::text[]))";

// Foreign key columns in key order, one row per column; references into
// other schemas are left out. The keys are found first, so that only their
// columns are looked up.
constexpr const char* kForeignKeysSql =
    "WITH k AS MATERIALIZED (SELECT k.conrelid, k.confrelid, k.conname, k.conkey, k.confkey, n.oid AS nsp "
    "FROM pg_catalog.pg_constraint k JOIN pg_catalog.pg_class c ON c.oid = k.conrelid "
    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "WHERE k.contype = 'f' AND n.nspname = $1 AND ($2::text[] IS NULL OR c.relname = ANY($2::text[]))) "
    "SELECT k.conrelid, k.conname, r.relname, a.attname, ra.attname FROM k "
    "JOIN pg_catalog.pg_class r ON r.oid = k.confrelid AND r.relnamespace = k.nsp "
    "CROSS JOIN LATERAL unnest(k.conkey, k.confkey) WITH ORDINALITY AS u(col, refcol, pos) "
    "JOIN pg_catalog.pg_attribute a ON a.attrelid = k.conrelid AND a.attnum = u.col "
    "JOIN pg_catalog.pg_attribute ra ON ra.attrelid = k.confrelid AND ra.attnum = u.refcol "
    "ORDER BY k.conrelid, k.conname, u.pos";

// Check constraints of tables (those of domains have no table).
constexpr const char* kChecksSql =
    "SELECT k.conrelid, pg_catalog.pg_get_constraintdef(k.oid) FROM pg_catalog.pg_constraint k "
    "JOIN pg_catalog.pg_class c ON c.oid = k.conrelid "
    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "WHERE k.contype = 'c' AND n.nspname = $1 AND ($2::text[] IS NULL OR c.relname = ANY($2::text[])) "
    "ORDER BY k.conrelid, k.conname";

std::string PostgresBackend::readConstraints(const std::string* filter,
                                             const std::unordered_map<uint32_t, size_t>& byOid,
                                             std::vector<Relation>& relations) {
  Result r;
  if (std::string e = query(kForeignKeysSql, filter, r); !e.empty()) return e;
  for (int i = 0; i < r.rows(); ++i) {
    auto it = byOid.find(static_cast<uint32_t>(r.number(i, 0)));
    if (it == byOid.end()) continue;
    auto& keys = relations[it->second].info.foreignKeys;
    std::string_view name = r.text(i, 1);
    if (keys.empty() || keys.back().name != name) {
      keys.emplace_back();
      keys.back().name = std::string(name);
      keys.back().refTable = std::string(r.text(i, 2));
    }
    keys.back().columns.emplace_back(r.text(i, 3));
    keys.back().refColumns.emplace_back(r.text(i, 4));
  }
  for (Relation& rel : relations)
    std::sort(rel.info.foreignKeys.begin(), rel.info.foreignKeys.end(),
              [](const BridgeForeignKey& a, const BridgeForeignKey& b) { return a.name < b.name; });

  if (std::string e = query(kChecksSql, filter, r); !e.empty()) return e;
  std::vector<std::vector<std::string>> clauses(relations.size());
  for (int i = 0; i < r.rows(); ++i) {
    auto it = byOid.find(static_cast<uint32_t>(r.number(i, 0)));
    if (it == byOid.end()) continue;
    std::string clause = checkAsInList(r.text(i, 1));
    if (!clause.empty()) clauses[it->second].push_back(std::move(clause));
  }
  for (size_t i = 0; i < relations.size(); ++i) applyCheckLists(clauses[i], relations[i].info.columns);
  return {};
}

std::string PostgresBackend::readCatalogue(const std::vector<std::string>& names, bool all,
                                           std::vector<Relation>& out) {
  if (!all && names.empty()) return {};
  const std::string list = arrayLiteral(names);
  const std::string* filter = all ? nullptr : &list;
  Result r;

  // 1. Tables, views and materialized views.
  if (std::string e = query(kRelationsSql, filter, r); !e.empty()) return e;
  std::vector<Relation> relations(static_cast<size_t>(r.rows()));
  for (int i = 0; i < r.rows(); ++i) {
    Relation& rel = relations[static_cast<size_t>(i)];
    rel.oid = static_cast<uint32_t>(r.number(i, 0));
    rel.info.name = std::string(r.text(i, 1));
    std::string_view kind = r.text(i, 2);
    rel.info.type = kind == "v" || kind == "m" ? "VIEW" : "TABLE";
  }
  std::sort(relations.begin(), relations.end(),
            [](const Relation& a, const Relation& b) { return a.info.name < b.info.name; });
  std::unordered_map<uint32_t, size_t> byOid;
  byOid.reserve(relations.size());
  for (size_t i = 0; i < relations.size(); ++i) byOid.emplace(relations[i].oid, i);

  // 2. Enumeration labels, then the columns.
  std::map<uint32_t, std::vector<std::string>> labels;
  if (std::string e = enumLabels(labels); !e.empty()) return e;
  if (std::string e = query(kColumnsSql, filter, r); !e.empty()) return e;
  std::vector<std::vector<std::pair<int, BridgeColumn>>> columns(relations.size());
  for (int i = 0; i < r.rows(); ++i) {
    auto it = byOid.find(static_cast<uint32_t>(r.number(i, 0)));
    if (it == byOid.end()) continue;  // created after the relation list was read
    BridgeColumn c;
    c.name = std::string(r.text(i, 1));
    TypeFacts t;
    t.oid = static_cast<uint32_t>(r.number(i, 7));
    t.typname = r.text(i, 8);
    t.category = r.text(i, 9).empty() ? 'U' : r.text(i, 9)[0];
    t.displayName = r.text(i, 10);
    t.typmod = static_cast<int32_t>(r.number(i, 11));
    applyType(c, t, labels);
    c.required = r.flag(i, 3);
    if (!c.required) c.adoAttributes |= ado::kFldIsNullable | ado::kFldMayBeNull;
    std::string_view identity = r.text(i, 5);
    std::string_view generated = r.text(i, 6);
    std::string_view defaultSql = r.isNull(i, 4) ? std::string_view() : r.text(i, 4);
    c.autoIncrement = !identity.empty() || defaultSql.rfind("nextval(", 0) == 0;
    if (!c.autoIncrement && !r.isNull(i, 4) && generated.empty()) c.defaultValue = postgresDefault(defaultSql);
    if (generated.empty() && identity != "a") c.adoAttributes |= ado::kFldUpdatable;
    columns[it->second].emplace_back(static_cast<int>(r.number(i, 2)), std::move(c));
  }
  for (size_t i = 0; i < relations.size(); ++i) {
    auto& list = columns[i];
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    relations[i].info.columns.reserve(list.size());
    relations[i].attnums.reserve(list.size());
    for (auto& [num, c] : list) {
      relations[i].attnums.push_back(num);
      relations[i].info.columns.push_back(std::move(c));
    }
  }

  // 3. Keys: the primary key in key order and single-column unique indexes.
  if (std::string e = query(kIndexesSql, filter, r); !e.empty()) return e;
  for (int i = 0; i < r.rows(); ++i) {
    auto it = byOid.find(static_cast<uint32_t>(r.number(i, 0)));
    if (it == byOid.end()) continue;
    Relation& rel = relations[it->second];
    std::vector<BridgeColumn*> keyColumns;
    std::string_view keys = r.text(i, 2);
    bool complete = true;
    while (!keys.empty()) {
      size_t blank = keys.find(' ');
      int num = std::atoi(std::string(keys.substr(0, blank)).c_str());
      auto pos = std::find(rel.attnums.begin(), rel.attnums.end(), num);
      if (pos == rel.attnums.end())
        complete = false;
      else
        keyColumns.push_back(&rel.info.columns[static_cast<size_t>(pos - rel.attnums.begin())]);
      if (blank == std::string_view::npos) break;
      keys.remove_prefix(blank + 1);
    }
    if (!complete || keyColumns.empty()) continue;
    if (r.flag(i, 1)) {
      rel.info.pkField.clear();
      for (BridgeColumn* c : keyColumns) {
        if (!rel.info.pkField.empty()) rel.info.pkField += ',';
        rel.info.pkField += c->name;
        c->adoAttributes |= ado::kFldKeyColumn;
      }
    }
    if (keyColumns.size() == 1) keyColumns[0]->unique = true;
  }

  // 4. Foreign keys and check constraints.
  if (std::string e = readConstraints(filter, byOid, relations); !e.empty()) return e;
  out = std::move(relations);
  return {};
}

// Statements that may describe a custom view: one statement that reads. A
// plan is made (not run) to find statements that would change data, such as
// INSERT ... RETURNING or a WITH holding a DELETE.
std::string PostgresBackend::describeQuery(std::string_view sql, BridgeTableInfo& out) {
  std::string text(sql);
  while (!text.empty() && std::strchr(" \t\r\n;", text.back())) text.pop_back();
  if (trimBlanks(text).empty()) return "The statement is empty";
  Result r(PQprepare(conn_, "", text.c_str(), 0, nullptr));
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
    std::string message = trimmedMessage(PQresultErrorMessage(r.get()));
    if (message.find("multiple commands") != std::string::npos)
      return "Only one statement can describe a custom view";
    return message;
  }
  r = PQdescribePrepared(conn_, "");
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) return trimmedMessage(PQresultErrorMessage(r.get()));
  const int count = PQnfields(r.get());
  if (count == 0) return "The statement returns no result columns";
  {
    Result plan(PQexec(conn_, ("EXPLAIN (COSTS OFF) " + text).c_str()));
    if (PQresultStatus(plan.get()) != PGRES_TUPLES_OK) return trimmedMessage(PQresultErrorMessage(plan.get()));
    for (int i = 0; i < plan.rows(); ++i) {
      std::string_view line = plan.text(i, 0);
      for (const char* node : {"Insert on ", "Update on ", "Delete on ", "Merge on "})
        if (line.find(node) != std::string_view::npos) return "The statement returns no result columns";
    }
  }

  // Columns taken straight from a table or view of the schema are described
  // as the catalogue describes them, so a custom view's column matches its
  // source column; expressions are described from their result type.
  std::set<uint32_t> sourceOids;
  std::set<uint32_t> typeOids;
  for (int i = 0; i < count; ++i) {
    if (PQftable(r.get(), i) != InvalidOid && PQftablecol(r.get(), i) > 0) sourceOids.insert(PQftable(r.get(), i));
    typeOids.insert(PQftype(r.get(), i));
  }
  std::vector<Relation> catalogue;
  if (!sourceOids.empty()) {
    std::string oids = "{";
    for (uint32_t o : sourceOids) oids += (oids.size() > 1 ? "," : "") + std::to_string(o);
    oids += '}';
    const char* values[2] = {schema_.c_str(), oids.c_str()};
    Result names(PQexecParams(conn_,
                              "SELECT c.relname FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n "
                              "ON n.oid = c.relnamespace WHERE n.nspname = $1 AND c.oid = ANY($2::oid[])",
                              2, nullptr, values, nullptr, nullptr, 0));
    if (PQresultStatus(names.get()) != PGRES_TUPLES_OK) return trimmedMessage(PQresultErrorMessage(names.get()));
    std::vector<std::string> list;
    for (int i = 0; i < names.rows(); ++i) list.emplace_back(names.text(i, 0));
    if (std::string e = readCatalogue(list, false, catalogue); !e.empty()) return e;
  }
  std::string typeList = "{";
  for (uint32_t o : typeOids) typeList += (typeList.size() > 1 ? "," : "") + std::to_string(o);
  typeList += '}';
  const char* typeValues[1] = {typeList.c_str()};
  Result types(PQexecParams(conn_,
                            "SELECT t.oid, b.oid, b.typname, b.typcategory, pg_catalog.format_type(b.oid, NULL) "
                            "FROM pg_catalog.pg_type t JOIN pg_catalog.pg_type b ON b.oid = CASE WHEN "
                            "t.typtype = 'd' THEN t.typbasetype ELSE t.oid END WHERE t.oid = ANY($1::oid[])",
                            1, nullptr, typeValues, nullptr, nullptr, 0));
  if (PQresultStatus(types.get()) != PGRES_TUPLES_OK) return trimmedMessage(PQresultErrorMessage(types.get()));
  std::map<uint32_t, int> typeRow;
  for (int i = 0; i < types.rows(); ++i) typeRow[static_cast<uint32_t>(types.number(i, 0))] = i;
  std::map<uint32_t, std::vector<std::string>> labels;
  if (std::string e = enumLabels(labels); !e.empty()) return e;

  std::vector<BridgeTableInfo> sources;
  std::vector<std::pair<std::string, std::string>> origins(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    BridgeColumn c;
    const BridgeColumn* source = nullptr;
    const uint32_t table = PQftable(r.get(), i);
    const int attnum = PQftablecol(r.get(), i);
    for (const Relation& rel : catalogue) {
      if (rel.oid != table) continue;
      auto pos = std::find(rel.attnums.begin(), rel.attnums.end(), attnum);
      if (pos != rel.attnums.end()) {
        source = &rel.info.columns[static_cast<size_t>(pos - rel.attnums.begin())];
        origins[static_cast<size_t>(i)] = {rel.info.name, source->name};
      }
    }
    if (source) {
      c = *source;
    } else {
      auto it = typeRow.find(PQftype(r.get(), i));
      TypeFacts t;
      if (it != typeRow.end()) {
        t.oid = static_cast<uint32_t>(types.number(it->second, 1));
        t.typname = types.text(it->second, 2);
        t.category = types.text(it->second, 3).empty() ? 'U' : types.text(it->second, 3)[0];
        t.displayName = types.text(it->second, 4);
      }
      t.typmod = PQfmod(r.get(), i);
      applyType(c, t, labels);
      c.adoAttributes |= ado::kFldIsNullable | ado::kFldMayBeNull;
    }
    c.name = PQfname(r.get(), i);
    out.columns.push_back(std::move(c));
  }
  for (Relation& rel : catalogue) sources.push_back(std::move(rel.info));
  out.pkField = queryKey(origins, sources, out.columns);
  return {};
}

}  // namespace

std::unique_ptr<BridgeBackend> connectPostgres(const BridgeConnectParams& p, std::string& error) {
  // Empty values are left to libpq, which then takes its own environment
  // (PGHOST, PGPORT, PGUSER, PGPASSWORD, ...) and password file.
  std::vector<const char*> keys;
  std::vector<const char*> values;
  const std::string port = p.port > 0 ? std::to_string(p.port) : std::string();
  auto add = [&](const char* key, const std::string& value) {
    if (value.empty()) return;
    keys.push_back(key);
    values.push_back(value.c_str());
  };
  add("host", p.host);
  add("port", port);
  add("dbname", p.database);
  add("user", p.user);
  add("password", p.password);
  keys.push_back("connect_timeout");
  values.push_back(kConnectTimeoutSeconds);
  // Text is UTF-8 inside the engine; the encoding setting names the
  // generated pages' character set.
  keys.push_back("client_encoding");
  values.push_back("UTF8");
  keys.push_back("fallback_application_name");
  values.push_back("tarnwick");
  keys.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
  if (!conn) {
    error = "Out of memory while connecting";
    return nullptr;
  }
  if (PQstatus(conn) != CONNECTION_OK) {
    error = trimmedMessage(PQerrorMessage(conn));
    if (error.empty()) error = "Cannot connect to the database server";
    PQfinish(conn);
    return nullptr;
  }
  std::string schema = schemaOf(p.url);
  // Unqualified names in custom views are looked up in the schema first.
  const char* values1[1] = {schema.c_str()};
  Result r(PQexecParams(conn,
                        "SELECT pg_catalog.set_config('search_path', pg_catalog.quote_ident($1) || ', public', false), "
                        "EXISTS (SELECT 1 FROM pg_catalog.pg_namespace WHERE nspname = $1)",
                        1, nullptr, values1, nullptr, nullptr, 0));
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK || !r.flag(0, 1)) {
    error = PQresultStatus(r.get()) != PGRES_TUPLES_OK ? trimmedMessage(PQresultErrorMessage(r.get()))
                                                       : "Schema \"" + schema + "\" does not exist";
    PQfinish(conn);
    return nullptr;
  }
  return std::make_unique<PostgresBackend>(conn, std::move(schema));
}

}  // namespace tw
