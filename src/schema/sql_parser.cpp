#include "schema/sql_parser.h"

#include <utility>

#include "automation/text.h"
#include "schema/sql_statement.h"

namespace tw {

SQLParser::SQLParser() = default;
SQLParser::~SQLParser() = default;

bool SQLParser::Parse(std::string_view sqlText, int16_t mode) {
  stmt_.reset();
  error_.clear();
  text_ = std::string(sqlText);
  if (mode != 3) {
    error_ = "only mode 3 (tracing result columns) is understood";
    return false;
  }
  auto stmt = std::make_unique<sql::Statement>();
  try {
    stmt->root = sql::parseStatement(text_, *stmt);
  } catch (const sql::ParseError& e) {
    error_ = e.message + " at offset " + std::to_string(e.offset);
    return false;
  }
  stmt_ = std::move(stmt);
  return true;
}

bool SQLParser::GetFieldInfo(std::string_view name, FieldInfo& out) const {
  out = FieldInfo();
  if (!stmt_ || !stmt_->root) return false;
  FieldInfo info;
  sql::Trace t = sql::resultColumn(*stmt_->root, name, lookup_, 0, &info);
  if (!t.found) return false;
  out = std::move(info);
  return true;
}

std::vector<std::string> SQLParser::explicitColumns() const {
  std::vector<std::string> names;
  if (!stmt_ || !stmt_->root || !stmt_->root->first) return names;
  for (const sql::Item& it : stmt_->root->first->items)
    if (it.kind != sql::Item::kStar) names.push_back(it.resultName);
  return names;
}

const ClassInfo* SQLParser::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<SQLParser>("SQLParser")
          .method("Parse", [](SQLParser& p, const Variant& sql,
                              const Variant& mode) { return p.Parse(sql.toString(), mode.toInteger()); })
          // GetFieldInfo(name, sourceName, sourceTable, sourceField, alias):
          // the last four are written back.
          .method("GetFieldInfo",
                  [](SQLParser& p, Args a) {
                    if (a.size() != 5) raise(kErrWrongArgCount);
                    FieldInfo f;
                    p.GetFieldInfo(a[0].toString(), f);
                    a[1] = Variant(f.sourceName);
                    a[2] = Variant(f.sourceTable);
                    a[3] = Variant(f.sourceField);
                    a[4] = Variant(f.alias);
                  })
          .build();
  return &info;
}

}  // namespace tw
