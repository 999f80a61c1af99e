#pragma once
// Java database connections in tests: the user settings that name the Java
// runtime and Debian's JDBC drivers (and the stand-in Oracle driver built
// with the tests), and whether a Java runtime can run in this process at
// all. A process starts one Java runtime: every test of a binary gets the
// same driver settings, so whichever test starts it finds every driver.
#include <filesystem>
#include <string>
#include <vector>

#include "schema/jvm.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "testing/postgres_server.h"

namespace tw::testing {

struct JdbcDriverJar {
  const char* setting;
  std::string jar;
  const char* package;  // the Debian package that brings it
};

inline std::vector<JdbcDriverJar> jdbcDriverJars() {
  return {
      {"MySQLJDBCDriver", "/usr/share/java/mariadb-java-client.jar", "libmariadb-java"},
      {"SQLiteJDBCDriver", "/usr/share/java/sqlite-jdbc.jar", "libxerial-sqlite-jdbc-java"},
      {"PostgreSQLJDBCDriver", "/usr/share/java/postgresql.jar", "libpostgresql-jdbc-java"},
#ifdef TARNWICK_ORACLE_STANDIN_JAR
      {"OracleJDBCDriver", TARNWICK_ORACLE_STANDIN_JAR, "default-jdk-headless (javac builds it)"},
#endif
  };
}

// Why Java connections cannot be tested here ("" when they can).
// `buildReason` tells a build that cannot start Java at all (AddressSanitizer)
// from a machine that lacks a package.
inline std::string jdbcMissing(bool* buildReason = nullptr) {
  if (buildReason) *buildReason = false;
  std::string why;
  if (!jvm::supported(&why)) {
    if (buildReason) *buildReason = true;
    return why;
  }
  if (jvm::findRuntime("").empty()) return "no Java runtime is installed (package default-jdk-headless)";
  for (const JdbcDriverJar& d : jdbcDriverJars()) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(d.jar, ec)) return d.jar + " is missing (package " + d.package + ")";
  }
  return {};
}

// Writes the runtime and driver settings into the user's registry.
inline void configureJdbcDrivers() {
  const std::string& key = engine().regGeneral;
  RegWrite("HKCU", key, "JavaRuntimeLib", kRegString, Variant(jvm::findRuntime("")));
  for (const JdbcDriverJar& d : jdbcDriverJars()) RegWrite("HKCU", key, d.setting, kRegString, Variant(d.jar));
}

}  // namespace tw::testing

// In a fixture's SetUp: skips (fails under CI=true, where install-deps
// brings Java) when Java connections cannot be tested, else configures the
// drivers. A build with AddressSanitizer skips everywhere: the Java
// runtime's signal handling conflicts with it.
#define TW_REQUIRE_JDBC()                                                     \
  do {                                                                        \
    bool tw_build_reason = false;                                             \
    std::string tw_why = ::tw::testing::jdbcMissing(&tw_build_reason);        \
    if (!tw_why.empty()) {                                                    \
      if (::tw::testing::runningInCi() && !tw_build_reason) FAIL() << tw_why; \
      GTEST_SKIP() << tw_why;                                                 \
    }                                                                         \
    ::tw::testing::configureJdbcDrivers();                                    \
  } while (false)
