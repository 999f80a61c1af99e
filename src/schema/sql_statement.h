#pragma once
// The tokens and the parsed form of a custom view's SELECT statement, shared
// by the tokenizer, the parser and the tracing of result columns behind
// SQLParser. Not for use outside src/schema.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "schema/sql_parser.h"

namespace tw {

namespace sql {

// ---- tokens

enum class Tok : uint8_t {
  End,
  Ident,
  QIdent,
  String,
  Number,
  Op,
  LParen,
  RParen,
  Comma,
  Dot,
  Semicolon,
  Param
};

struct Token {
  Tok kind;
  std::string text;  // identifiers and strings unquoted; operators as written
  size_t begin;
  size_t end;
};

struct ParseError {
  std::string message;
  size_t offset;
};

// Splits the statement into tokens; comments and blanks go. Throws
// ParseError on an unterminated quote, comment or bracket and on stray
// characters.
std::vector<Token> tokenize(std::string_view s);

// ---- the parsed statement

struct Query;

struct Source {
  std::string table;               // base table (the last part of its name)
  std::string alias;               // as written; empty without one
  const Query* derived = nullptr;  // subquery or common table expression
  bool opaque = false;             // a table function: its columns are unknown
  const std::string& name() const { return alias.empty() ? table : alias; }
};

struct Item {
  enum Kind : uint8_t { kStar, kColumn, kExpression } kind = kExpression;
  std::string qualifier;  // t of t.col, t.* or db.t.col
  std::string column;
  std::string text;  // as written
  bool hasAlias = false;
  std::string resultName;
};

struct Select {
  std::vector<Item> items;
  std::vector<Source> sources;
};

struct Query {
  const Select* first = nullptr;         // the SELECT that names the result columns
  std::vector<std::string> columnNames;  // names given by `cte(a, b)` or `alias(a, b)`
};

struct Statement {
  std::vector<std::unique_ptr<Select>> selects;
  std::vector<std::unique_ptr<Query>> queries;
  const Query* root = nullptr;
};

// Parses one statement into `out`; returns the query whose result columns the
// statement yields. Throws ParseError.
const Query* parseStatement(std::string_view text, Statement& out);

// ---- tracing result columns

struct Trace {
  bool found = false;
  std::string table;
  std::string field;
};

using Lookup = SQLParser::ColumnLookup;

// Where the result column `name` of `q` comes from; fills `info` (when given)
// with what GetFieldInfo reports.
Trace resultColumn(const Query& q, std::string_view name, const Lookup& lookup, int depth,
                   SQLParser::FieldInfo* info);

}  // namespace sql

}  // namespace tw
