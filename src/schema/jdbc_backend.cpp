// The JDBC side of the bridge: a Java driver in the process's Java virtual
// machine (jvm.h), reached through java.sql.DriverManager. The catalogue is
// read through DatabaseMetaData: the tables and views and every column in
// two calls, then the primary key, unique indexes and foreign keys of each
// table. A query's result columns come from its prepared statement's
// metadata, without running it. On MySQL/MariaDB the keys, and the
// enumeration and set values and CHECK value lists the metadata does not
// carry, come from information_schema, one query per kind for the whole
// database (jdbc_mysql_catalogue.h).
#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/text.h"
#include "schema/ado_types.h"
#include "schema/bridge.h"
#include "schema/jdbc.h"
#include "schema/jdbc_mysql_catalogue.h"
#include "schema/jdbc_types.h"
#include "schema/jni_env.h"
#include "schema/jvm.h"
#include "support/engine_context.h"
#include "support/registry.h"

namespace tw {

#ifndef TARNWICK_HAVE_JNI

std::unique_ptr<BridgeBackend> connectJdbc(const BridgeConnectParams&, std::string& error) {
  error = std::string(kJavaNotAvailable);
  return nullptr;
}

#else

namespace {

using jvm::check;
using jvm::JavaError;
using jvm::LocalFrame;
using jvm::toJava;
using jvm::toUtf8;

// The java.sql members the backend calls, looked up once.
struct Api {
  jclass driverManager, properties, connection, metaData, resultSet, statement, rsMeta, string;
  jmethodID getConnection, setLoginTimeout, propsNew, setProperty;
  jmethodID connGetMetaData, connPrepare, connClose, connGetSchema, connGetCatalog;
  jmethodID mdGetTables, mdGetColumns, mdGetPrimaryKeys, mdGetIndexInfo, mdGetImportedKeys, mdGetQuote,
      mdGetCatalogs, mdGetSchemas, mdGetUserName, mdGetEscape;
  jmethodID rsNext, rsGetString, rsGetInt, rsWasNull, rsClose, rsFindColumn, rsGetMetaData;
  jmethodID stGetMetaData, stClose, stSetString, stExecuteQuery;
  jmethodID mCount, mLabel, mName, mType, mTypeName, mPrecision, mScale, mNullable, mAutoInc, mTable;
};

const Api& api(JNIEnv* env) {
  static Api* a = [env] {
    auto* x = new Api();
    x->driverManager = jvm::globalClass(env, "java/sql/DriverManager");
    x->properties = jvm::globalClass(env, "java/util/Properties");
    x->connection = jvm::globalClass(env, "java/sql/Connection");
    x->metaData = jvm::globalClass(env, "java/sql/DatabaseMetaData");
    x->resultSet = jvm::globalClass(env, "java/sql/ResultSet");
    x->statement = jvm::globalClass(env, "java/sql/PreparedStatement");
    x->rsMeta = jvm::globalClass(env, "java/sql/ResultSetMetaData");
    x->string = jvm::globalClass(env, "java/lang/String");
    x->getConnection = jvm::staticMethod(env, x->driverManager, "getConnection",
                                         "(Ljava/lang/String;Ljava/util/Properties;)Ljava/sql/Connection;");
    x->setLoginTimeout = jvm::staticMethod(env, x->driverManager, "setLoginTimeout", "(I)V");
    x->propsNew = jvm::method(env, x->properties, "<init>", "()V");
    x->setProperty = jvm::method(env, x->properties, "setProperty",
                                 "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/Object;");
    x->connGetMetaData = jvm::method(env, x->connection, "getMetaData", "()Ljava/sql/DatabaseMetaData;");
    x->connPrepare = jvm::method(env, x->connection, "prepareStatement",
                                 "(Ljava/lang/String;)Ljava/sql/PreparedStatement;");
    x->connClose = jvm::method(env, x->connection, "close", "()V");
    x->connGetSchema = jvm::method(env, x->connection, "getSchema", "()Ljava/lang/String;");
    x->connGetCatalog = jvm::method(env, x->connection, "getCatalog", "()Ljava/lang/String;");
    const char* s3 = "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)Ljava/sql/ResultSet;";
    x->mdGetTables = jvm::method(
        env, x->metaData, "getTables",
        "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;[Ljava/lang/String;)Ljava/sql/ResultSet;");
    x->mdGetColumns = jvm::method(
        env, x->metaData, "getColumns",
        "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)Ljava/sql/ResultSet;");
    x->mdGetPrimaryKeys = jvm::method(env, x->metaData, "getPrimaryKeys", s3);
    x->mdGetIndexInfo =
        jvm::method(env, x->metaData, "getIndexInfo",
                    "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;ZZ)Ljava/sql/ResultSet;");
    x->mdGetImportedKeys = jvm::method(env, x->metaData, "getImportedKeys", s3);
    x->mdGetQuote = jvm::method(env, x->metaData, "getIdentifierQuoteString", "()Ljava/lang/String;");
    x->mdGetCatalogs = jvm::method(env, x->metaData, "getCatalogs", "()Ljava/sql/ResultSet;");
    x->mdGetSchemas = jvm::method(env, x->metaData, "getSchemas", "()Ljava/sql/ResultSet;");
    x->mdGetUserName = jvm::method(env, x->metaData, "getUserName", "()Ljava/lang/String;");
    x->mdGetEscape = jvm::method(env, x->metaData, "getSearchStringEscape", "()Ljava/lang/String;");
    x->rsNext = jvm::method(env, x->resultSet, "next", "()Z");
    x->rsGetString = jvm::method(env, x->resultSet, "getString", "(I)Ljava/lang/String;");
    x->rsGetInt = jvm::method(env, x->resultSet, "getInt", "(I)I");
    x->rsWasNull = jvm::method(env, x->resultSet, "wasNull", "()Z");
    x->rsClose = jvm::method(env, x->resultSet, "close", "()V");
    x->rsFindColumn = jvm::method(env, x->resultSet, "findColumn", "(Ljava/lang/String;)I");
    x->rsGetMetaData = jvm::method(env, x->resultSet, "getMetaData", "()Ljava/sql/ResultSetMetaData;");
    x->stGetMetaData = jvm::method(env, x->statement, "getMetaData", "()Ljava/sql/ResultSetMetaData;");
    x->stClose = jvm::method(env, x->statement, "close", "()V");
    x->stSetString = jvm::method(env, x->statement, "setString", "(ILjava/lang/String;)V");
    x->stExecuteQuery = jvm::method(env, x->statement, "executeQuery", "()Ljava/sql/ResultSet;");
    x->mCount = jvm::method(env, x->rsMeta, "getColumnCount", "()I");
    x->mLabel = jvm::method(env, x->rsMeta, "getColumnLabel", "(I)Ljava/lang/String;");
    x->mName = jvm::method(env, x->rsMeta, "getColumnName", "(I)Ljava/lang/String;");
    x->mType = jvm::method(env, x->rsMeta, "getColumnType", "(I)I");
    x->mTypeName = jvm::method(env, x->rsMeta, "getColumnTypeName", "(I)Ljava/lang/String;");
    x->mPrecision = jvm::method(env, x->rsMeta, "getPrecision", "(I)I");
    x->mScale = jvm::method(env, x->rsMeta, "getScale", "(I)I");
    x->mNullable = jvm::method(env, x->rsMeta, "isNullable", "(I)I");
    x->mAutoInc = jvm::method(env, x->rsMeta, "isAutoIncrement", "(I)Z");
    x->mTable = jvm::method(env, x->rsMeta, "getTableName", "(I)Ljava/lang/String;");
    return x;
  }();
  return *a;
}

// Closes a prepared statement when its scope ends, whatever Java raised.
struct StatementCloser {
  JNIEnv* env;
  jobject st;
  ~StatementCloser() {
    env->CallVoidMethod(st, api(env).stClose);
    env->ExceptionClear();
  }
};

// A result set read row by row; closed when the reader ends.
class Rows {
 public:
  Rows(JNIEnv* env, jobject rs) : env_(env), rs_(rs) {}
  ~Rows() {
    if (rs_) {
      env_->CallVoidMethod(rs_, api(env_).rsClose);
      env_->ExceptionClear();
    }
  }
  bool next() {
    if (!rs_) return false;
    bool more = env_->CallBooleanMethod(rs_, api(env_).rsNext);
    check(env_);
    return more;
  }
  // Text of column i (from 1); `isNull` tells SQL NULL.
  std::string text(jint i, bool* isNull = nullptr) {
    auto s = static_cast<jstring>(env_->CallObjectMethod(rs_, api(env_).rsGetString, i));
    check(env_);
    if (isNull) *isNull = s == nullptr;
    std::string out = toUtf8(env_, s);
    if (s) env_->DeleteLocalRef(s);
    return out;
  }
  int32_t number(jint i, int32_t fallback = 0) {
    jint v = env_->CallIntMethod(rs_, api(env_).rsGetInt, i);
    check(env_);
    bool null = env_->CallBooleanMethod(rs_, api(env_).rsWasNull);
    check(env_);
    return null ? fallback : v;
  }
  // The position of a column a driver may not offer; 0 when it has none.
  jint find(const char* label) {
    jstring l = toJava(env_, label);
    jint i = env_->CallIntMethod(rs_, api(env_).rsFindColumn, l);
    env_->DeleteLocalRef(l);
    if (env_->ExceptionCheck()) {
      env_->ExceptionClear();
      return 0;
    }
    return i;
  }

 private:
  JNIEnv* env_;
  jobject rs_;
};

class JdbcBackend : public BridgeBackend {
 public:
  JdbcBackend(JNIEnv* env, jobject conn, std::string type, std::string user)
      : conn_(env, conn), type_(std::move(type)), user_(std::move(user)) {}
  ~JdbcBackend() override {
    if (JNIEnv* env = jvm::currentEnv()) {
      if (conn_.get()) env->CallVoidMethod(conn_.get(), api(env).connClose);
      env->ExceptionClear();
    }
  }

  // Reads what the connection needs once: its metadata object, the quote,
  // the catalogue and schema whose tables are read.
  void open(JNIEnv* env, const std::string& database) {
    LocalFrame frame(env);
    const Api& a = api(env);
    jobject md = env->CallObjectMethod(conn_.get(), a.connGetMetaData);
    check(env);
    md_ = jvm::GlobalRef(env, md);
    auto call = [&](jobject target, jmethodID m) {
      auto s = static_cast<jstring>(env->CallObjectMethod(target, m));
      if (env->ExceptionCheck()) {
        env->ExceptionClear();
        return std::string();
      }
      return toUtf8(env, s);
    };
    quote_ = std::string(trimBlanks(call(md, a.mdGetQuote)));
    escape_ = call(md, a.mdGetEscape);
    if (type_ == "mysql") {
      catalog_ = database;  // a MySQL database is a JDBC catalogue
      hasCatalog_ = true;
    } else if (type_ != "sqlite") {
      // PostgreSQL and Oracle: the connection's current schema (Oracle: the
      // user's own).
      schema_ = call(conn_.get(), a.connGetSchema);
      if (schema_.empty() && type_ == "oracle") schema_ = toUpper(user_);
      hasSchema_ = !schema_.empty();
    }
  }

  std::string readTables(std::string_view filter, std::vector<BridgeTableInfo>& out) override;
  std::string databaseNames(std::string& out) override;
  std::string quoteChar() const override { return quote_; }
  std::string describeQuery(std::string_view sql, BridgeTableInfo& out) override;

 private:
  jstring catalogArg(JNIEnv* env) { return hasCatalog_ ? toJava(env, catalog_) : nullptr; }
  jstring schemaArg(JNIEnv* env) { return hasSchema_ ? toJava(env, schema_) : nullptr; }
  // A LIKE pattern matching exactly `name`.
  std::string pattern(std::string_view name) const {
    if (escape_.empty()) return std::string(name);
    std::string out;
    for (char c : name) {
      if (c == '_' || c == '%' || std::string_view(escape_) == std::string_view(&c, 1)) out += escape_;
      out += c;
    }
    return out;
  }
  void readColumns(JNIEnv* env, const std::string& tablePattern, std::vector<BridgeTableInfo>& tables,
                   const std::unordered_map<std::string, size_t>& byName);
  void readKeys(JNIEnv* env, BridgeTableInfo& t);
  std::string catalogueQuery(JNIEnv* env, const std::string& sql, const std::vector<std::string>& params,
                             const std::function<void(const std::vector<std::string>&)>& onRow);
  void typeColumn(BridgeColumn& c, int32_t sqlType, std::string_view typeName, int32_t size, int32_t scale);
  Variant defaultOf(const std::string& text) const;

  jvm::GlobalRef conn_;
  jvm::GlobalRef md_;
  std::string type_;
  std::string user_;
  std::string quote_;
  std::string escape_;
  std::string catalog_, schema_;
  bool hasCatalog_ = false, hasSchema_ = false;
};

void JdbcBackend::typeColumn(BridgeColumn& c, int32_t sqlType, std::string_view typeName, int32_t size,
                             int32_t scale) {
  c.dataTypeName = std::string(typeName);
  c.nativeType = static_cast<int16_t>(sqlType);
  if (type_ == "mysql" && typeMySqlColumn(c, typeName, sqlType, size)) return;
  if (type_ == "postgresql" && typePostgresColumn(c, typeName, sqlType, size, scale)) return;
  if (type_ == "sqlite") {
    c.nativeType = sqliteStorageClass(ado::sqliteAffinity(typeName));
    ado::SqliteType t = ado::sqliteType(typeName);
    c.adoType = t.ado;
    c.size = t.size;
    if (t.isLong) c.adoAttributes |= ado::kFldLong;
    if (t.isFixedLength) c.adoAttributes |= ado::kFldFixed;
    return;
  }
  ado::JdbcType t = type_ == "oracle" ? ado::oracleType(typeName, sqlType, size, scale)
                                      : ado::jdbcType(sqlType, size, scale);
  c.adoType = t.ado;
  c.size = t.size;
  if (t.isLong) c.adoAttributes |= ado::kFldLong;
  if (t.isFixedLength) c.adoAttributes |= ado::kFldFixed;
}

// A default as the driver reports it: MySQL's catalogue may quote a literal
// either way; elsewhere only single quotes make a literal, and double
// quotes belong to names ("HR"."DEPT_SEQ".NEXTVAL stays as it is).
Variant JdbcBackend::defaultOf(const std::string& text) const {
  std::string_view t = trimBlanks(text);
  if (type_ == "postgresql") {
    // A serial column's sequence is no default a user enters; a literal
    // comes with its cast ('it''s'::character varying, '-5'::integer).
    if (t.rfind("nextval(", 0) == 0) return Variant();
    if (!t.empty() && t.front() == '\'') {
      size_t end = 1;
      while (end < t.size()) {
        if (t[end] == '\'') {
          if (end + 1 < t.size() && t[end + 1] == '\'') {
            end += 2;
            continue;
          }
          break;
        }
        ++end;
      }
      if (end < t.size() && t.substr(end + 1, 2) == "::") t = t.substr(0, end + 1);
    }
  }
  if (type_ == "mysql" || t.empty() || t.front() != '"') return defaultFromSql(t, false);
  return Variant(std::string(t));
}

// Identity columns and, on Oracle, columns filled from a sequence by default
// count as auto-increment columns.
bool filledBySequence(const std::string& defaultText) {
  std::string lower;
  for (char c : toLower(defaultText))
    if (c != '"') lower += c;
  return lower.find(".nextval") != std::string::npos || lower.find("nextval(") != std::string::npos;
}

void JdbcBackend::readColumns(JNIEnv* env, const std::string& tablePattern,
                              std::vector<BridgeTableInfo>& tables,
                              const std::unordered_map<std::string, size_t>& byName) {
  LocalFrame frame(env);
  const Api& a = api(env);
  jobject rs = env->CallObjectMethod(md_.get(), a.mdGetColumns, catalogArg(env), schemaArg(env),
                                     toJava(env, tablePattern), toJava(env, "%"));
  check(env);
  Rows rows(env, rs);
  const jint autoIncrementCol = rows.find("IS_AUTOINCREMENT");
  const jint generatedCol = rows.find("IS_GENERATEDCOLUMN");
  std::vector<std::vector<std::pair<int32_t, BridgeColumn> > > columns(tables.size());
  while (rows.next()) {
    auto it = byName.find(rows.text(3));
    if (it == byName.end()) continue;
    BridgeColumn c;
    c.name = rows.text(4);
    const int32_t sqlType = rows.number(5);
    const std::string typeName = rows.text(6);
    const int32_t size = rows.number(7);
    const int32_t scale = rows.number(9, -127);
    const bool nullable = rows.number(11, 1) != 0;
    bool noDefault = false;
    std::string def = rows.text(13, &noDefault);
    const int32_t position = rows.number(17);
    typeColumn(c, sqlType, typeName, size, scale);
    c.required = !nullable;
    if (nullable) c.adoAttributes |= ado::kFldIsNullable | ado::kFldMayBeNull;
    const bool generated = generatedCol && equalsNoCase(rows.text(generatedCol), "YES");
    // A generated column's expression is no default.
    if (!noDefault && !generated) c.defaultValue = defaultOf(def);
    c.autoIncrement = (autoIncrementCol && equalsNoCase(rows.text(autoIncrementCol), "YES")) ||
                      (!noDefault && type_ != "mysql" && filledBySequence(def));
    if (!generated) c.adoAttributes |= ado::kFldUpdatable;
    columns[it->second].emplace_back(position, std::move(c));
  }
  for (size_t i = 0; i < tables.size(); ++i) {
    auto& list = columns[i];
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    for (auto& [pos, c] : list) tables[i].columns.push_back(std::move(c));
  }
}

void JdbcBackend::readKeys(JNIEnv* env, BridgeTableInfo& t) {
  const Api& a = api(env);
  auto columnNamed = [&](const std::string& name) -> BridgeColumn* {
    for (BridgeColumn& c : t.columns)
      if (c.name == name) return &c;
    return nullptr;
  };
  {  // the primary key, in key order
    LocalFrame frame(env);
    jobject rs = env->CallObjectMethod(md_.get(), a.mdGetPrimaryKeys, catalogArg(env), schemaArg(env),
                                       toJava(env, t.name));
    check(env);
    Rows rows(env, rs);
    std::vector<std::pair<int32_t, std::string> > key;
    while (rows.next()) key.emplace_back(rows.number(5), rows.text(4));
    std::sort(key.begin(), key.end());
    for (size_t i = 0; i < key.size(); ++i) {
      if (i) t.pkField += ',';
      t.pkField += key[i].second;
      if (BridgeColumn* c = columnNamed(key[i].second)) c->adoAttributes |= ado::kFldKeyColumn;
    }
    // A key of one column is unique by itself; SQLite's INTEGER PRIMARY
    // KEY (the row id), which its driver calls nullable, never holds NULL.
    if (key.size() == 1)
      if (BridgeColumn* c = columnNamed(key[0].second)) {
        c->unique = true;
        if (type_ == "sqlite" && equalsNoCase(c->dataTypeName, "INTEGER")) {
          c->required = true;
          c->adoAttributes &= ~(ado::kFldIsNullable | ado::kFldMayBeNull);
          c->adoAttributes |= ado::kFldRowID;
        }
      }
  }
  {  // unique indexes of one column
    LocalFrame frame(env);
    jobject rs = env->CallObjectMethod(md_.get(), a.mdGetIndexInfo, catalogArg(env), schemaArg(env),
                                       toJava(env, t.name), JNI_TRUE, JNI_TRUE);
    check(env);
    Rows rows(env, rs);
    std::map<std::string, std::vector<std::string> > indexes;
    while (rows.next()) {
      if (rows.number(7) == 0) continue;  // table statistics, no index
      bool nonUnique = rows.text(4) == "true" || rows.text(4) == "1";
      std::string index = rows.text(6);
      std::string column = rows.text(9);
      if (nonUnique || column.empty()) continue;
      indexes[index].push_back(column);
    }
    for (const auto& [name, cols] : indexes)
      if (cols.size() == 1)
        if (BridgeColumn* c = columnNamed(cols[0])) c->unique = true;
  }
  {  // foreign keys into the same catalogue and schema
    LocalFrame frame(env);
    jobject rs = env->CallObjectMethod(md_.get(), a.mdGetImportedKeys, catalogArg(env), schemaArg(env),
                                       toJava(env, t.name));
    check(env);
    Rows rows(env, rs);
    struct Part {
      std::string name, refTable, column, refColumn;
      int32_t seq;
    };
    std::vector<Part> parts;
    while (rows.next()) {
      if (hasCatalog_ && !equalsNoCase(rows.text(1), catalog_)) continue;
      if (hasSchema_ && rows.text(2) != schema_) continue;
      parts.push_back({rows.text(12), rows.text(3), rows.text(8), rows.text(4), rows.number(9)});
    }
    std::stable_sort(parts.begin(), parts.end(), [](const Part& x, const Part& y) {
      return x.name != y.name ? x.name < y.name : x.seq < y.seq;
    });
    for (const Part& p : parts) {
      if (t.foreignKeys.empty() || t.foreignKeys.back().name != p.name ||
          t.foreignKeys.back().refTable != p.refTable) {
        t.foreignKeys.emplace_back();
        t.foreignKeys.back().name = p.name;
        t.foreignKeys.back().refTable = p.refTable;
      }
      t.foreignKeys.back().columns.push_back(p.column);
      t.foreignKeys.back().refColumns.push_back(p.refColumn);
    }
  }
}

// One catalogue query through a prepared statement of the connection.
std::string JdbcBackend::catalogueQuery(JNIEnv* env, const std::string& sql,
                                        const std::vector<std::string>& params,
                                        const std::function<void(const std::vector<std::string>&)>& onRow) {
  const Api& a = api(env);
  try {
    LocalFrame frame(env);
    jobject st = env->CallObjectMethod(conn_.get(), a.connPrepare, toJava(env, sql));
    check(env);
    StatementCloser closer{env, st};
    for (size_t i = 0; i < params.size(); ++i) {
      env->CallVoidMethod(st, a.stSetString, static_cast<jint>(i + 1), toJava(env, params[i]));
      check(env);
    }
    jobject rs = env->CallObjectMethod(st, a.stExecuteQuery);
    check(env);
    jobject meta = env->CallObjectMethod(rs, a.rsGetMetaData);
    check(env);
    const jint count = env->CallIntMethod(meta, a.mCount);
    check(env);
    Rows rows(env, rs);
    std::vector<std::string> cells(static_cast<size_t>(count));
    while (rows.next()) {
      for (jint i = 0; i < count; ++i) cells[static_cast<size_t>(i)] = rows.text(i + 1);
      onRow(cells);
    }
    return {};
  } catch (const JavaError& e) {
    return e.message.empty() ? std::string("The catalogue query failed") : e.message;
  }
}

std::string JdbcBackend::readTables(std::string_view filter, std::vector<BridgeTableInfo>& out) {
  JNIEnv* env = jvm::currentEnv();
  if (!env) return "The Java runtime is not running";
  try {
    const Api& a = api(env);
    std::vector<BridgeTableInfo> tables;
    const std::string tablePattern = filter.empty() ? std::string("%") : pattern(filter);
    {
      LocalFrame frame(env);
      jobject rs = env->CallObjectMethod(md_.get(), a.mdGetTables, catalogArg(env), schemaArg(env),
                                         toJava(env, tablePattern), nullptr);
      check(env);
      Rows rows(env, rs);
      while (rows.next()) {
        BridgeTableInfo t;
        t.name = rows.text(3);
        if (!filter.empty() && t.name != filter) continue;
        std::string type = rows.text(4);
        if (type == "BASE TABLE" || type == "SYSTEM VERSIONED" || type == "PARTITIONED TABLE") type = "TABLE";
        if (type == "MATERIALIZED VIEW") type = "VIEW";
        t.type = std::move(type);
        tables.push_back(std::move(t));
      }
    }
    std::sort(tables.begin(), tables.end(),
              [](const BridgeTableInfo& x, const BridgeTableInfo& y) { return x.name < y.name; });
    std::unordered_map<std::string, size_t> byName;
    for (size_t i = 0; i < tables.size(); ++i) byName.emplace(tables[i].name, i);
    if (!tables.empty()) readColumns(env, tablePattern, tables, byName);
    if (type_ == "mysql") {
      // Keys come in bulk: per-table key metadata costs MySQL drivers a catalogue query per table.
      auto query = [&](const std::string& sql, const std::vector<std::string>& params,
                       const std::function<void(const std::vector<std::string>&)>& onRow) {
        return catalogueQuery(env, sql, params, onRow);
      };
      if (!tables.empty())
        if (std::string e = readMySqlCatalogue(query, catalog_, filter, byName, tables); !e.empty()) return e;
    } else {
      for (BridgeTableInfo& t : tables)
        if (t.type == "TABLE") readKeys(env, t);
    }
    out = std::move(tables);
    return {};
  } catch (const JavaError& e) {
    return e.message;
  }
}

std::string JdbcBackend::databaseNames(std::string& out) {
  JNIEnv* env = jvm::currentEnv();
  if (!env) return "The Java runtime is not running";
  try {
    LocalFrame frame(env);
    const Api& a = api(env);
    jobject rs = env->CallObjectMethod(md_.get(), type_ == "mysql" ? a.mdGetCatalogs : a.mdGetSchemas);
    check(env);
    Rows rows(env, rs);
    while (rows.next()) {
      if (!out.empty()) out += "\r\n";
      out += rows.text(1);
    }
    return {};
  } catch (const JavaError& e) {
    return e.message;
  }
}

std::string JdbcBackend::describeQuery(std::string_view sql, BridgeTableInfo& out) {
  JNIEnv* env = jvm::currentEnv();
  if (!env) return "The Java runtime is not running";
  try {
    LocalFrame frame(env, 64);
    const Api& a = api(env);
    jobject st = env->CallObjectMethod(conn_.get(), a.connPrepare, toJava(env, sql));
    check(env);
    StatementCloser closer{env, st};
    jobject meta = env->CallObjectMethod(st, a.stGetMetaData);
    check(env);
    if (!meta) return "The statement returns no result columns";
    const jint count = env->CallIntMethod(meta, a.mCount);
    check(env);
    auto text = [&](jmethodID m, jint i) {
      auto s = static_cast<jstring>(env->CallObjectMethod(meta, m, i));
      check(env);
      std::string r = toUtf8(env, s);
      if (s) env->DeleteLocalRef(s);
      return r;
    };
    auto number = [&](jmethodID m, jint i) {
      jint v = env->CallIntMethod(meta, m, i);
      check(env);
      return v;
    };
    struct Result {
      std::string label, table, column, typeName;
      int32_t type, precision, scale, nullable;
      bool autoInc;
    };
    std::vector<Result> results;
    std::vector<std::string> sources;
    for (jint i = 1; i <= count; ++i) {
      Result r;
      r.label = text(a.mLabel, i);
      r.column = text(a.mName, i);
      r.table = text(a.mTable, i);
      r.type = number(a.mType, i);
      r.typeName = text(a.mTypeName, i);
      r.precision = number(a.mPrecision, i);
      r.scale = number(a.mScale, i);
      r.nullable = number(a.mNullable, i);
      r.autoInc = env->CallBooleanMethod(meta, a.mAutoInc, i);
      check(env);
      if (!r.table.empty() && std::find(sources.begin(), sources.end(), r.table) == sources.end())
        sources.push_back(r.table);
      results.push_back(std::move(r));
    }
    // Columns taken straight from a table or view are described as the
    // catalogue describes them, so a custom view's column matches its source.
    std::vector<BridgeTableInfo> catalogue;
    for (const std::string& source : sources) {
      std::vector<BridgeTableInfo> one;
      if (readTables(source, one).empty())
        for (BridgeTableInfo& t : one) catalogue.push_back(std::move(t));
    }
    std::vector<std::pair<std::string, std::string> > origins(results.size());
    for (size_t i = 0; i < results.size(); ++i) {
      const Result& r = results[i];
      BridgeColumn c;
      const BridgeColumn* src = nullptr;
      for (const BridgeTableInfo& t : catalogue)
        if (t.name == r.table)
          for (const BridgeColumn& col : t.columns)
            if (!src && equalsNoCase(col.name, r.column)) src = &col;
      if (src) {
        c = *src;
        origins[i] = {r.table, src->name};
      } else {
        typeColumn(c, r.type, r.typeName, r.precision, r.scale);
        c.autoIncrement = r.autoInc;
      }
      c.name = r.label;
      c.required = r.nullable == 0;
      c.adoAttributes &= ~(ado::kFldIsNullable | ado::kFldMayBeNull);
      if (!c.required) c.adoAttributes |= ado::kFldIsNullable | ado::kFldMayBeNull;
      out.columns.push_back(std::move(c));
    }
    out.pkField = queryKey(origins, catalogue, out.columns);
    return {};
  } catch (const JavaError& e) {
    return e.message;
  }
}

std::string settingOf(const BridgeConnectParams& p, std::string_view name) {
  std::string key = p.settingsKey.empty() ? engine().regGeneral : p.settingsKey + "\\General";
  return RegRead("HKCU", key, std::string(name)).toString();
}

}  // namespace

std::unique_ptr<BridgeBackend> connectJdbc(const BridgeConnectParams& p, std::string& error) {
  if (std::string why; !jvm::supported(&why)) {
    error = why;
    return nullptr;
  }
  const std::string_view driverSetting = jdbcDriverSetting(p.dbType);
  if (driverSetting.empty()) {
    error = "No JDBC driver is known for the database type \"" + p.dbType + "\"";
    return nullptr;
  }
  const std::vector<std::string> jars = jarList(settingOf(p, driverSetting));
  if (jars.empty()) {
    error = "JDBC ERROR: no JDBC driver is set for " + p.dbType + "; name its JAR file in the setting " +
            std::string(driverSetting) + " (tarnwick config set General " + std::string(driverSetting) +
            " PATH)";
    return nullptr;
  }
  // Every driver JAR known now goes on the class path: the runtime starts
  // once per process.
  std::vector<std::string> classPath;
  for (std::string_view type : {"mysql", "oracle", "sqlite", "postgresql"})
    for (const std::string& jar : jarList(settingOf(p, jdbcDriverSetting(type)))) {
      std::error_code ec;
      if (type == p.dbType && !std::filesystem::is_regular_file(jar, ec)) {
        error =
            "The JDBC driver JAR \"" + jar + "\" (setting " + std::string(driverSetting) + ") does not exist";
        return nullptr;
      }
      if (std::find(classPath.begin(), classPath.end(), jar) == classPath.end()) classPath.push_back(jar);
    }
  error = jvm::start(settingOf(p, "JavaRuntimeLib"), classPath);
  if (!error.empty()) return nullptr;
  const std::vector<std::string>& started = jvm::classPath();
  for (const std::string& jar : jars)
    if (std::find(started.begin(), started.end(), jar) == started.end()) {
      error = "The Java runtime of this process was started before the JDBC driver JAR \"" + jar +
              "\" was set; start the program again to use it";
      return nullptr;
    }
  JNIEnv* env = jvm::currentEnv();
  if (!env) {
    error = "The Java runtime is not running";
    return nullptr;
  }
  const std::string url = jdbcUrl(p);
  try {
    LocalFrame frame(env);
    const Api& a = api(env);
    env->CallStaticVoidMethod(a.driverManager, a.setLoginTimeout, static_cast<jint>(10));
    check(env);
    jobject props = env->NewObject(a.properties, a.propsNew);
    check(env);
    auto set = [&](const char* k, const std::string& v) {
      jobject old = env->CallObjectMethod(props, a.setProperty, toJava(env, k), toJava(env, v));
      check(env);
      if (old) env->DeleteLocalRef(old);
    };
    if (!p.user.empty()) set("user", p.user);
    if (!p.password.empty()) set("password", p.password);
    // MySQL drivers prepare on the client unless told otherwise, and a
    // statement prepared there cannot describe its result without running.
    if (p.dbType == "mysql") set("useServerPrepStmts", "true");
    jobject conn = env->CallStaticObjectMethod(a.driverManager, a.getConnection, toJava(env, url), props);
    check(env);
    if (!conn) {
      error = "The JDBC driver returned no connection for " + url;
      return nullptr;
    }
    auto backend = std::make_unique<JdbcBackend>(env, conn, p.dbType, p.user);
    backend->open(env, p.database);
    return backend;
  } catch (const JavaError& e) {
    error = e.message;
    if (error.find("No suitable driver") != std::string::npos)
      error += " (the JAR in the setting " + std::string(driverSetting) + " has no driver for this URL)";
    return nullptr;
  }
}

#endif

bool jvmLoaded() noexcept { return jvm::loaded(); }

}  // namespace tw
