#pragma once
// SQLParser: traces the result columns of a custom view's SELECT statement
// back to the tables and columns they come from.
//
// Parse reads one SELECT statement (optionally with WITH, UNION and friends,
// in the MySQL/MariaDB and SQLite dialects): the select list with `expr AS
// alias`, `expr alias`, `col`, `t.col`, `db.t.col`, `*` and `t.*`; FROM with
// table aliases, joins, nested joins, subqueries and common table
// expressions; and the clauses after it. GetFieldInfo then tells for a
// result column its source text, the base table and column it reads (found
// through table aliases, derived tables and CTEs), and whether it is an
// alias (renamed, or an expression). Anything else makes Parse return false.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"

namespace tw {

namespace sql {
struct Statement;
}

class SQLParser : public Dispatch {
 public:
  // What GetFieldInfo reports for one result column.
  struct FieldInfo {
    std::string sourceName;   // the select item as written ("o.total", "SUM(x)")
    std::string sourceTable;  // base table read, when the column is a plain column of one
    std::string sourceField;  // its column there
    bool alias = false;       // renamed, or not a plain column
  };
  // Whether a table has a column; lets unqualified columns and `*` be placed
  // when a statement reads several tables.
  using ColumnLookup = std::function<bool(std::string_view table, std::string_view column)>;

  SQLParser();
  ~SQLParser() override;

  void setColumnLookup(ColumnLookup lookup) { lookup_ = std::move(lookup); }

  // Mode 3 traces result columns; other modes are not understood.
  bool Parse(std::string_view sqlText, int16_t mode);
  // False (and empty results) when the statement has no such result column.
  // Names compare without regard to case, as the servers compare them.
  bool GetFieldInfo(std::string_view name, FieldInfo& out) const;

  // The result names of the explicit select items of the first SELECT, in
  // order (a `*` contributes nothing: its columns come from the tables).
  std::vector<std::string> explicitColumns() const;
  // Why the last Parse failed, with the byte offset of the token.
  const std::string& error() const noexcept { return error_; }

  const ClassInfo* classInfo() const override;

 private:
  std::unique_ptr<sql::Statement> stmt_;
  std::string text_;
  std::string error_;
  ColumnLookup lookup_;
};

}  // namespace tw
