#pragma once
// DBBridge: the engine's one way into a database. It connects to a server
// (MariaDB/MySQL through MariaDB Connector/C, PostgreSQL through libpq) or
// opens an SQLite file, reads
// the catalogue into plain descriptions, and hands them out as the objects
// the loaders read by member name: a table collection, table objects
// (Name, TableType, Fields, PKField) and field objects.
//
// The bridge keeps one connection; every caller opens it again through
// OpenBridge (schema.h), which initialises and connects. Success or failure
// of an operation is read back with GetLastError: an empty text is success.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/dispatch.h"
#include "automation/variant.h"

namespace tw {

// Error number the bridge raises when a read fails after connecting
// (E_FAIL); the description is the server's message.
inline constexpr int32_t kErrBridge = static_cast<int32_t>(0x80004005u);

// One column as a backend reads it.
struct BridgeColumn {
  std::string name;
  std::string dataTypeName;  // the database's own type name ("varchar", "INTEGER")
  int16_t nativeType = 0;    // MariaDB: protocol type code; SQLite: storage class of the affinity;
                             // PostgreSQL: the built-in type's OID (enumerations: MariaDB's 247)
  bool isEnum = false;
  bool isSet = false;
  int16_t adoType = 0;
  int32_t size = 0;
  bool required = false;  // NOT NULL
  bool unique = false;    // the column alone forms a unique index (or the primary key)
  bool autoIncrement = false;
  int32_t adoAttributes = 0;
  Variant defaultValue;   // Empty: no default; Null: DEFAULT NULL; else the literal or expression text
  std::string tagValues;  // enumeration/set values as `"v","v"` lines joined by CR LF
  // The values a CHECK (column IN (...)) constraint allows, as tagValues
  // lines; empty when the column has no such list.
  std::string checkValues;
};

// A foreign key: columns of one table that refer to columns of another
// table of the same database, both lists in key order. A backend that reads
// a reference to the primary key without naming its columns fills in the
// key's columns.
struct BridgeForeignKey {
  std::string name;
  std::vector<std::string> columns;
  std::string refTable;
  std::vector<std::string> refColumns;
};

// One table, view, system object or query result.
struct BridgeTableInfo {
  std::string name;
  std::string type;     // "TABLE", "VIEW", "CUSTOMVIEW", or another type that loaders skip
  std::string pkField;  // primary key columns in key order, joined by ","
  std::vector<BridgeColumn> columns;
  std::vector<BridgeForeignKey> foreignKeys;  // ordered by name
};

// The connection values as Connect receives them.
struct BridgeConnectParams {
  std::string dbType;  // lower case: "mysql", "sqlite", "postgresql", "oracle", ...
  std::string host;
  std::string database;
  std::string user;
  std::string password;
  int32_t port = 0;
  std::string method;
  std::string url;
  std::string encoding;
  std::string quote;
  std::string oracleSid;
  std::string settingsKey;
};

// A database behind the bridge. Every call returns an error text (empty on
// success).
class BridgeBackend {
 public:
  virtual ~BridgeBackend() = default;
  // Tables and views with their columns; `filter` limits the read to the
  // table of that name (empty: all).
  virtual std::string readTables(std::string_view filter, std::vector<BridgeTableInfo>& out) = 0;
  // The databases the connection can see, one per line (CR LF).
  virtual std::string databaseNames(std::string& out) = 0;
  virtual std::string quoteChar() const = 0;
  // The result columns of a query, found without fetching any row.
  virtual std::string describeQuery(std::string_view sql, BridgeTableInfo& out) = 0;
};

// Backends; each sets `error` and returns null when it cannot connect.
std::unique_ptr<BridgeBackend> connectMariaDb(const BridgeConnectParams& p, std::string& error);
std::unique_ptr<BridgeBackend> connectSqlite(const BridgeConnectParams& p, std::string& error);
std::unique_ptr<BridgeBackend> connectPostgres(const BridgeConnectParams& p, std::string& error);

// Field object: one column, read by member name.
class BridgeField : public Dispatch {
 public:
  BridgeField(std::shared_ptr<const BridgeTableInfo> table, size_t index)
      : table_(std::move(table)), index_(index) {}
  const BridgeColumn& column() const { return table_->columns[index_]; }
  std::string typeName() const override { return "DBField"; }
  const ClassInfo* classInfo() const override;

 private:
  std::shared_ptr<const BridgeTableInfo> table_;
  size_t index_;
};

// Field collection of a table: Count and a 0-based default member.
class BridgeFields : public Dispatch {
 public:
  explicit BridgeFields(std::shared_ptr<const BridgeTableInfo> table) : table_(std::move(table)) {}
  int32_t Count() const { return static_cast<int32_t>(table_->columns.size()); }
  Ref<BridgeField> Item(int32_t index) const;
  std::string typeName() const override { return "DBFields"; }
  const ClassInfo* classInfo() const override;
  Ref<Enumerator> newEnum() override;

 private:
  std::shared_ptr<const BridgeTableInfo> table_;
};

// Table object: Name, TableType, Fields, PKField.
class BridgeTable : public Dispatch {
 public:
  explicit BridgeTable(std::shared_ptr<const BridgeTableInfo> table) : table_(std::move(table)) {}
  const BridgeTableInfo& info() const { return *table_; }
  Ref<BridgeFields> Fields() const { return makeRef<BridgeFields>(table_); }
  std::string typeName() const override { return "DBTable"; }
  const ClassInfo* classInfo() const override;

 private:
  std::shared_ptr<const BridgeTableInfo> table_;
};

// Table collection: Count and a 0-based default member.
class BridgeTables : public Dispatch {
 public:
  explicit BridgeTables(std::vector<BridgeTableInfo> tables);
  explicit BridgeTables(std::vector<std::shared_ptr<const BridgeTableInfo>> tables)
      : tables_(std::move(tables)) {}
  int32_t Count() const { return static_cast<int32_t>(tables_.size()); }
  Ref<BridgeTable> Item(int32_t index) const;
  std::string typeName() const override { return "DBTables"; }
  const ClassInfo* classInfo() const override;
  Ref<Enumerator> newEnum() override;

 private:
  std::vector<std::shared_ptr<const BridgeTableInfo>> tables_;
};

class DBBridge : public Dispatch {
 public:
  DBBridge();
  ~DBBridge() override;

  // The operations, in the order of the bridge's interface.
  void Connect(std::string_view host, std::string_view database, std::string_view user,
               std::string_view password, int32_t port, std::string_view method, std::string_view url,
               std::string_view encoding, std::string_view quote);
  // Raises kErrBridge (and sets the last error) when the read fails.
  Ref<BridgeTables> GetTables(std::string_view filter);
  // Closes any open connection and forgets the last error and type.
  void Initialize();
  const std::string& GetLastError() const noexcept { return lastError_; }
  std::string GetDatabaseNames();
  void SetDBType(std::string_view type);
  void SetSettingsKey(std::string_view key) { params_.settingsKey = std::string(key); }
  void SetOracleSID(std::string_view sid) { params_.oracleSid = std::string(sid); }
  // True once the process's Java runtime runs (it starts with the first
  // connection of the method "JDBC" and stays).
  bool IsJVMLoaded() const noexcept;
  std::string GetQuoteChar() const;
  // Null (with the last error set) when the query cannot be described.
  Ref<BridgeTable> OpenCustomView(std::string_view name, std::string_view sql);

  bool connected() const noexcept { return backend_ != nullptr; }
  // The table or view of that name as the last GetTables of this database
  // read it (null when none did). Reconnecting to the same database keeps
  // what was read; connecting to another one forgets it.
  std::shared_ptr<const BridgeTableInfo> readTable(const std::string& name) const;
  const BridgeConnectParams& params() const noexcept { return params_; }

  std::string typeName() const override { return "DBBridge"; }
  const ClassInfo* classInfo() const override;

 private:
  bool requireConnection();

  BridgeConnectParams params_;
  std::unique_ptr<BridgeBackend> backend_;
  std::string lastError_;
  std::string catalogueOf_;  // the database the remembered tables belong to
  std::unordered_map<std::string, std::shared_ptr<const BridgeTableInfo>> catalogue_;
};

// Messages of connections this build cannot make (Oracle is reached only
// through its JDBC driver).
inline constexpr std::string_view kOracleNotAvailable =
    "Oracle connections are made through Oracle's JDBC driver only: use the connection method JDBC";
inline constexpr std::string_view kJavaNotAvailable = "Java connections are not available in this build";

// Helpers shared by the backends.
// A default value as SQL writes it ('text', 12, NULL, CURRENT_TIMESTAMP) to
// the value the bridge reports: the literal's text, Null for NULL, the
// expression text otherwise.
Variant defaultFromSql(std::string_view sql, bool isNull);
// The values of a MySQL enum(...) or set(...) column type, with the doubled
// quotes and backslash escapes undone.
std::vector<std::string> mysqlEnumValues(std::string_view columnType);
// `"a","a"` CR LF `"b","b"` ... from the values.
std::string tagValueLines(const std::vector<std::string>& values);
// The constraint `column IN ('a', 'b', 3)` (names quoted with "", `` or [],
// the whole clause optionally in parentheses): sets `column` and returns the
// values in their order; any other expression gives no values.
std::vector<std::string> checkInList(std::string_view clause, std::string& column);
// The CHECK (...) expressions of a CREATE TABLE statement, in their order.
std::vector<std::string> checkClauses(std::string_view createSql);
// Puts each CHECK (column IN (...)) list of `clauses` on its column.
void applyCheckLists(const std::vector<std::string>& clauses, std::vector<BridgeColumn>& columns);
// The primary key of a query's result: when every result column is a column
// of one and the same table (origins[i] = that table and column, empty for
// an expression) and the result shows the table's whole primary key, the
// result names of the key columns in key order joined by ","; else "".
std::string queryKey(const std::vector<std::pair<std::string, std::string>>& origins,
                     const std::vector<BridgeTableInfo>& sources, const std::vector<BridgeColumn>& columns);

}  // namespace tw
