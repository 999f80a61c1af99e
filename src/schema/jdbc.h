#pragma once
// Java database connections: the bridge's "JDBC" connection method. A
// driver JAR per database type is named in the user's General settings
// (MySQLJDBCDriver, OracleJDBCDriver, SQLiteJDBCDriver,
// PostgreSQLJDBCDriver; several JARs separated by ":"), the Java runtime in
// JavaRuntimeLib. The connection's URL is the database's DBURL when that is a
// "jdbc:" URL, else one made from the other connection values (jdbcUrl).
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "schema/bridge.h"

namespace tw {

// The General setting naming the driver JAR of a database type (lower
// case); empty for a type without one.
std::string_view jdbcDriverSetting(std::string_view lowerType);
// The JARs of a setting value: paths separated by ":" or ";".
std::vector<std::string> jarList(std::string_view value);

// The JDBC URL of a connection: the URL itself when it starts with "jdbc:";
// else by type (the default port when none is given):
//   mysql        jdbc:mysql://HOST:3306/DB
//   postgresql   jdbc:postgresql://HOST:5432/DB
//   sqlite       jdbc:sqlite:PATH
//   oracle       jdbc:oracle:thin:@HOST:1521:SID with a SID, else
//                jdbc:oracle:thin:@//HOST:1521/DB (DB: the service name)
std::string jdbcUrl(const BridgeConnectParams& p);

// Starts the Java runtime when needed and connects through the type's
// driver; sets `error` and returns null when it cannot.
std::unique_ptr<BridgeBackend> connectJdbc(const BridgeConnectParams& p, std::string& error);

// True once the process's Java runtime runs.
bool jvmLoaded() noexcept;

}  // namespace tw
