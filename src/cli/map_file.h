#pragma once
// Map files of `sync --map`: one renamed table or view ("OLD -> NEW") or
// field ("TABLE: OLD -> NEW") a line; blank lines and lines starting with
// "#" are left out.
#include <string>
#include <string_view>
#include <vector>

namespace tw::cli {

struct MapPair {
  int line = 0;
  std::string table;  // a field's table as the database names it; empty for a table or view
  std::string oldName, newName;
};

// The pairs of a map file's text; `file` names it in messages. Throws a
// usage error (CliError) naming the line that cannot be read.
std::vector<MapPair> parseMap(std::string_view text, const std::string& file);

}  // namespace tw::cli
