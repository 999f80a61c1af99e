#include <string>
#include <string_view>
#include <vector>

#include "automation/text.h"
#include "schema/jdbc.h"

namespace tw {

std::string_view jdbcDriverSetting(std::string_view lowerType) {
  if (lowerType == "mysql") return "MySQLJDBCDriver";
  if (lowerType == "oracle") return "OracleJDBCDriver";
  if (lowerType == "sqlite") return "SQLiteJDBCDriver";
  if (lowerType == "postgresql") return "PostgreSQLJDBCDriver";
  return {};
}

std::vector<std::string> jarList(std::string_view value) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find_first_of(":;", start);
    if (end == std::string_view::npos) end = value.size();
    std::string_view item = trimBlanks(value.substr(start, end - start));
    if (!item.empty()) out.emplace_back(item);
    start = end + 1;
  }
  return out;
}

std::string jdbcUrl(const BridgeConnectParams& p) {
  if (p.url.rfind("jdbc:", 0) == 0) return p.url;
  const std::string host = p.host.empty() ? "localhost" : p.host;
  const std::string hostPart = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  auto withPort = [&](int32_t fallback) {
    return hostPart + ":" + std::to_string(p.port > 0 ? p.port : fallback);
  };
  if (p.dbType == "mysql") return "jdbc:mysql://" + withPort(3306) + "/" + p.database;
  if (p.dbType == "postgresql") return "jdbc:postgresql://" + withPort(5432) + "/" + p.database;
  if (p.dbType == "sqlite") return "jdbc:sqlite:" + p.database;
  if (p.dbType == "oracle") {
    // A SID names the instance the old way; otherwise the database name is
    // the service name.
    if (!p.oracleSid.empty()) return "jdbc:oracle:thin:@" + withPort(1521) + ":" + p.oracleSid;
    return "jdbc:oracle:thin:@//" + withPort(1521) + "/" + p.database;
  }
  return {};
}

}  // namespace tw
