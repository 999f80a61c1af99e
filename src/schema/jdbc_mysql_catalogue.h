#pragma once
// What a MySQL/MariaDB catalogue holds beyond the JDBC metadata, or holds
// faster: read through a JDBC connection from information_schema, one query
// per kind for the whole database.
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "schema/bridge.h"

namespace tw {

// Runs one catalogue query whose "?" markers take `params` in order and
// hands each row's cells (as text; SQL NULL as "") to `onRow`; returns the
// failure's message, "" when it ran.
using CatalogueQuery =
    std::function<std::string(const std::string& sql, const std::vector<std::string>& params,
                              const std::function<void(const std::vector<std::string>& cells)>& onRow)>;

// Completes `tables` (indexed by name in `byName`, their columns already
// read) of the database `database`: primary keys in key order, single-column
// unique indexes, foreign keys into the same database, enumeration and set
// values and CHECK (column IN (...)) lists. `table` names the one table read
// when not empty. Returns the failure's message, "" when all was read.
std::string readMySqlCatalogue(const CatalogueQuery& query, const std::string& database,
                               std::string_view table, const std::unordered_map<std::string, size_t>& byName,
                               std::vector<BridgeTableInfo>& tables);

}  // namespace tw
