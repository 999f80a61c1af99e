// Fuzzes the custom view SQL parser: a view's statement is outside input, so
// no text may crash it or make it recurse without end. When a statement is
// understood, every explicit result column must be found again by its name
// (in any letter case) and report consistent sources, and parsing the same
// text again must give the same answers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/text.h"
#include "schema/sql_parser.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tw::SQLParser parser;
  // Half of the runs place columns with a look-up that knows every column
  // whose name is shorter than its table's.
  if (size > 0 && (data[0] & 1))
    parser.setColumnLookup(
        [](std::string_view table, std::string_view column) { return column.size() < table.size(); });
  bool ok = parser.Parse(text, 3);
  check(ok == parser.error().empty());
  if (!ok) {
    tw::SQLParser::FieldInfo info;
    check(!parser.GetFieldInfo("a", info) && info.sourceName.empty());
    return 0;
  }
  std::vector<std::string> names = parser.explicitColumns();
  std::vector<tw::SQLParser::FieldInfo> first;
  for (const std::string& name : names) {
    tw::SQLParser::FieldInfo info;
    check(parser.GetFieldInfo(name, info));
    check(parser.GetFieldInfo(tw::toUpper(name), info) || !tw::isAscii(name));
    check(parser.GetFieldInfo(name, info));
    // A traced table always comes with its column.
    check(info.sourceTable.empty() || !info.sourceField.empty());
    first.push_back(info);
  }
  check(parser.Parse(text, 3));
  check(parser.explicitColumns() == names);
  for (size_t i = 0; i < names.size(); ++i) {
    tw::SQLParser::FieldInfo again;
    check(parser.GetFieldInfo(names[i], again));
    check(again.sourceName == first[i].sourceName && again.sourceTable == first[i].sourceTable &&
          again.sourceField == first[i].sourceField && again.alias == first[i].alias);
  }
  return 0;
}
