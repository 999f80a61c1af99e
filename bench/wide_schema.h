// The database the schema and synchronisation benchmarks read: `tables`
// tables named t000, t001, ... of `columns` columns each (a key, then column
// types cycled so that every table differs a bit), plus the temporary engine
// folders they run in.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

#include "support/engine_context.h"

namespace tw::bench {

inline std::string wideTableName(int t) {
  char name[16];
  std::snprintf(name, sizeof name, "t%03d", t);
  return name;
}

// The SQL that (re)creates the database. With `references`, every table has
// two more INT columns, ref1 and ref2, and with `foreignKeys` these refer to
// the keys of two other tables (t+1 and t+7, wrapping round).
inline std::string wideSchemaScript(const std::string& database, int tables, int columns,
                                    bool references = false, bool foreignKeys = false) {
  static const char* const kTypes[] = {"VARCHAR(50) NOT NULL DEFAULT ''",
                                       "INT",
                                       "DECIMAL(10,2) DEFAULT 0.00",
                                       "DATETIME",
                                       "TEXT",
                                       "ENUM('new','paid','sent') NOT NULL DEFAULT 'new'",
                                       "TINYINT UNSIGNED",
                                       "BIGINT",
                                       "DATE",
                                       "CHAR(10)",
                                       "DOUBLE",
                                       "VARCHAR(200)",
                                       "SET('a','b','c')",
                                       "TIME",
                                       "SMALLINT NOT NULL DEFAULT 1",
                                       "BLOB",
                                       "TIMESTAMP NULL DEFAULT CURRENT_TIMESTAMP",
                                       "VARCHAR(120) NOT NULL",
                                       "BIT(1)"};
  std::string sql = "DROP DATABASE IF EXISTS " + database + ";\nCREATE DATABASE " + database +
                    " CHARACTER SET utf8mb4;\nUSE " + database + ";\nSET FOREIGN_KEY_CHECKS = 0;\n";
  for (int t = 0; t < tables; ++t) {
    sql += "CREATE TABLE `" + wideTableName(t) + "` (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY";
    for (int c = 1; c < columns; ++c)
      sql += ", c" + std::to_string(c) + " " + kTypes[static_cast<size_t>(c + t) % std::size(kTypes)];
    if (references) sql += ", ref1 INT, ref2 INT";
    if (references && foreignKeys)
      sql += ", FOREIGN KEY (ref1) REFERENCES `" + wideTableName((t + 1) % tables) + "` (id)" +
             ", FOREIGN KEY (ref2) REFERENCES `" + wideTableName((t + 7) % tables) + "` (id)";
    sql += ", UNIQUE KEY u1 (c1), KEY k2 (c2)) ENGINE=InnoDB;\n";
  }
  return sql;
}

// The same tables for PostgreSQL, run inside the (empty) database.
inline std::string widePostgresSchemaScript(int tables, int columns) {
  static const char* const kTypes[] = {"varchar(50) NOT NULL DEFAULT ''",
                                       "integer",
                                       "numeric(10,2) DEFAULT 0.00",
                                       "timestamp",
                                       "text",
                                       "status NOT NULL DEFAULT 'new'",
                                       "smallint",
                                       "bigint",
                                       "date",
                                       "char(10)",
                                       "double precision",
                                       "varchar(200)",
                                       "text[]",
                                       "time",
                                       "smallint NOT NULL DEFAULT 1",
                                       "bytea",
                                       "timestamptz DEFAULT CURRENT_TIMESTAMP",
                                       "varchar(120) NOT NULL",
                                       "boolean"};
  std::string sql = "CREATE TYPE status AS ENUM ('new', 'paid', 'sent');\n";
  for (int t = 0; t < tables; ++t) {
    std::string name = wideTableName(t);
    sql += "CREATE TABLE " + name + " (id serial PRIMARY KEY";
    for (int c = 1; c < columns; ++c)
      sql += ", c" + std::to_string(c) + " " + kTypes[static_cast<size_t>(c + t) % std::size(kTypes)];
    sql += ", CONSTRAINT " + name + "_u1 UNIQUE (c1));\nCREATE INDEX " + name + "_k2 ON " + name + " (c2);\n";
  }
  return sql;
}

// A fresh engine whose user registry and documents live in a temporary
// folder named after `name` and this process; returns the folder.
inline std::filesystem::path useTempEngineFolders(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  setenv("TARNWICK_CONFIG_HOME", dir.c_str(), 1);
  setenv("TARNWICK_DOCUMENTS", dir.c_str(), 1);
  setenv("TARNWICK_MACHINE_REGISTRY", (dir / "none.txt").c_str(), 1);
  tw::resetEngine();
  return dir;
}

}  // namespace tw::bench
