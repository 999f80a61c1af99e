#pragma once
// Reaching the database: the one bridge object of the thread, how every
// caller opens it, the quote character it is given, and AGPSchema, which
// reads a whole database or one custom view into schema records.
//
// The bridge and the objects it returns are used through their member
// names, so any object with the same members (a test's stand-in, a future
// bridge) serves as well as DBBridge.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "schema/bridge.h"
#include "schema/schema_records.h"

namespace tw {

// The thread's bridge object (engine().bridge), created on first use.
Dispatch& bridgeObject();

// The quote text handed to the bridge: "NA" for the method "JDBC", else by
// the project's SQL quote setting; for any other setting the backquote for a
// MySQL type, the double quote for SQLite, and nothing otherwise.
std::string SQLQuoteChar(std::string_view dbType, std::string_view method);

// Connection values in the order OpenBridge takes them.
struct ConnectionValues {
  Variant type, host, database, user, password, port, sid, method, url, encoding;
};

// Initialises the bridge, sets its type, settings key and (for Oracle) SID,
// connects, and copies the bridge's last error into ProjErr. True when that
// text is empty. The port converts to a 32-bit number (an empty text is 0,
// the server's default); text that is no number raises type mismatch.
bool OpenBridge(const ConnectionValues& v);
// OpenBridge steps 1-6: everything but reading the error back.
void ConnectBridge(const ConnectionValues& v);

// Lets the front end's pending work run (the status sink's pump).
void pumpEvents();

// A bridge column read through its members. Only the members a caller needs
// are read, in the order they are listed here; enumeration and set values
// only for such columns.
BridgeColumn readBridgeColumn(const Variant& field);
std::string bridgeName(const Variant& object);
// Count and the 0-based default member of a bridge collection.
int32_t bridgeCount(const Variant& collection);
Variant bridgeItem(const Variant& collection, int32_t index);

// The ADO code, support flag and literal quotes of a schema column.
void SetSchemaFieldType(AGSchemaField& field, int16_t type);
// Fills column `field` (with position `seq`) from a bridge column, as
// LoadDB and LoadzbCustomView do.
void fillSchemaField(AGSchemaField& field, int16_t seq, const BridgeColumn& column);
// The foreign keys of a bridge table object (none for objects of another
// bridge, which offer no such member).
std::vector<AGSchemaForeignKey> schemaForeignKeys(const Variant& table);
// The table or view of that name as the thread's bridge last read it from
// the database it is connected to (null when it read none such).
std::shared_ptr<const BridgeTableInfo> bridgeReadTable(const std::string& name);

// Product names written into every schema and database record.
inline constexpr std::string_view kDBMSName = "Kestrova DB Driver";
inline constexpr std::string_view kProviderName = "Kestrova Technology Ltd";

class AGPSchema : public Dispatch {
 public:
  AGPSchema();
  ~AGPSchema() override;

  int16_t tblcnt() const noexcept { return db_.DBTblCnt; }
  // A copy of table record i; error 9 outside the array.
  AGSchemaTable Tbl(int16_t i) const;
  const AGSchemaDB& record() const noexcept { return db_; }
  // Forgets the table records `drop` picks (the records stay numbered from
  // 1, in their order). For callers that compare only part of a database.
  void dropTables(const std::function<bool(const AGSchemaTable&)>& drop);
  int16_t loadedMarker() const noexcept { return loaded_; }

  void LoadDB(const Variant& sDBName, const Variant& sDBType, const Variant& sHost, const Variant& sPort,
              const Variant& sUID, const Variant& sPwd, const Variant& sSID, const Variant& sMethod,
              const Variant& sUrl, const Variant& sEncoding);
  int16_t LoadzbCustomView(const Variant& sHost, const Variant& sDBName, const Variant& sDBType,
                           const Variant& sUID, const Variant& sPwd, const Variant& sPort,
                           const Variant& sSID, const Variant& sMethod, const Variant& sUrl,
                           const Variant& sEncoding, const Variant& sTableName, const Variant& sSQL);

  const ClassInfo* classInfo() const override;

 private:
  int16_t ReadSchema(const ConnectionValues& v);

  AGSchemaDB db_;
  int16_t loaded_ = 0;
};

// True for the database types the loaders read: "mysql", "oracle", "sqlite"
// and "postgresql" (lower case).
bool isLoadableType(std::string_view lowerType);

// The JDBC settings check: true when the Java runtime and the type's driver
// are configured in the user's general settings.
bool jdbcConfigured(std::string_view lowerType);

}  // namespace tw
