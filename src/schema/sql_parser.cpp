#include "schema/sql_parser.h"

#include <array>
#include <cctype>
#include <utility>

#include "automation/text.h"

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

bool identStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '$' || c >= 0x80; }
bool identChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

// Splits the statement into tokens; comments and blanks go.
std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  size_t i = 0;
  const size_t n = s.size();
  auto fail = [](const char* what, size_t at) { throw ParseError{what, at}; };
  // A quoted run closed by `q`; doubled quotes stand for one, and for
  // strings a backslash escapes the next character.
  auto quoted = [&](char q, bool backslash, size_t start) {
    std::string text;
    size_t p = start + 1;
    while (true) {
      if (p >= n) fail("unterminated quote", start);
      char c = s[p];
      if (backslash && c == '\\' && p + 1 < n) {
        text += s[p + 1];
        p += 2;
        continue;
      }
      if (c == q) {
        if (p + 1 < n && s[p + 1] == q) {
          text += q;
          p += 2;
          continue;
        }
        return std::pair<std::string, size_t>(std::move(text), p + 1);
      }
      text += c;
      ++p;
    }
  };
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '#' || (c == '-' && i + 1 < n && s[i + 1] == '-' &&
                     (i + 2 >= n || std::isspace(static_cast<unsigned char>(s[i + 2])) || s[i + 2] == '-'))) {
      while (i < n && s[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      size_t close = s.find("*/", i + 2);
      if (close == std::string_view::npos) fail("unterminated comment", i);
      i = close + 2;
      continue;
    }
    size_t start = i;
    if (c == '\'') {
      auto [text, next] = quoted('\'', true, i);
      out.push_back({Tok::String, std::move(text), start, next});
      i = next;
      continue;
    }
    if (c == '"' || c == '`') {
      auto [text, next] = quoted(static_cast<char>(c), false, i);
      // No name is empty: "" is the empty text (as MySQL reads double
      // quotes), `` is refused.
      if (text.empty() && c == '`') fail("empty quoted name", i);
      out.push_back({text.empty() ? Tok::String : Tok::QIdent, std::move(text), start, next});
      i = next;
      continue;
    }
    if (c == '[') {
      size_t close = s.find(']', i + 1);
      if (close == std::string_view::npos) fail("unterminated bracket", i);
      if (close == i + 1) fail("empty name in brackets", i);
      out.push_back({Tok::QIdent, std::string(s.substr(i + 1, close - i - 1)), start, close + 1});
      i = close + 1;
      continue;
    }
    // X'0A', B'01', N'text': literals with a prefix letter.
    if ((c == 'x' || c == 'X' || c == 'b' || c == 'B' || c == 'n' || c == 'N') && i + 1 < n &&
        s[i + 1] == '\'') {
      auto [text, next] = quoted('\'', true, i + 1);
      out.push_back({Tok::String, std::move(text), start, next});
      i = next;
      continue;
    }
    if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      size_t p = i;
      if (c == '0' && p + 1 < n && (s[p + 1] == 'x' || s[p + 1] == 'X')) {
        p += 2;
        while (p < n && std::isxdigit(static_cast<unsigned char>(s[p]))) ++p;
      } else {
        while (p < n && std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
        if (p < n && s[p] == '.') {
          ++p;
          while (p < n && std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
        }
        if (p < n && (s[p] == 'e' || s[p] == 'E')) {
          size_t q = p + 1;
          if (q < n && (s[q] == '+' || s[q] == '-')) ++q;
          if (q < n && std::isdigit(static_cast<unsigned char>(s[q]))) {
            p = q;
            while (p < n && std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
          }
        }
      }
      // MySQL names may start with digits: 1st_col.
      if (p < n && identChar(static_cast<unsigned char>(s[p])) && s[i] != '.') {
        while (p < n && identChar(static_cast<unsigned char>(s[p]))) ++p;
        out.push_back({Tok::Ident, std::string(s.substr(i, p - i)), start, p});
      } else {
        out.push_back({Tok::Number, std::string(s.substr(i, p - i)), start, p});
      }
      i = p;
      continue;
    }
    if (identStart(c)) {
      size_t p = i;
      while (p < n && identChar(static_cast<unsigned char>(s[p]))) ++p;
      out.push_back({Tok::Ident, std::string(s.substr(i, p - i)), start, p});
      i = p;
      continue;
    }
    if (c == '?' || c == '@' || c == ':') {
      size_t p = i + 1;
      if (c == ':' && p < n && s[p] == '=') {
        out.push_back({Tok::Op, ":=", start, p + 1});
        i = p + 1;
        continue;
      }
      if (c == '@' && p < n && s[p] == '@') ++p;
      if (c != '?' && p < n && (s[p] == '\'' || s[p] == '"' || s[p] == '`')) {
        p = quoted(s[p], false, p).second;
      } else {
        while (p < n && (identChar(static_cast<unsigned char>(s[p])) || (c == '@' && s[p] == '.'))) ++p;
      }
      if (c == ':' && p == i + 1) fail("unexpected character", i);
      out.push_back({Tok::Param, std::string(s.substr(i, p - i)), start, p});
      i = p;
      continue;
    }
    switch (c) {
      case '(':
        out.push_back({Tok::LParen, "(", start, i + 1});
        ++i;
        continue;
      case ')':
        out.push_back({Tok::RParen, ")", start, i + 1});
        ++i;
        continue;
      case ',':
        out.push_back({Tok::Comma, ",", start, i + 1});
        ++i;
        continue;
      case '.':
        out.push_back({Tok::Dot, ".", start, i + 1});
        ++i;
        continue;
      case ';':
        out.push_back({Tok::Semicolon, ";", start, i + 1});
        ++i;
        continue;
      default:
        break;
    }
    static constexpr std::array<std::string_view, 14> kLong = {
        "<=>", "->>", "<=", ">=", "<>", "!=", "==", "||", "&&", "<<", ">>", "->", "::", ":="};
    bool matched = false;
    for (std::string_view op : kLong) {
      if (s.substr(i, op.size()) == op) {
        out.push_back({Tok::Op, std::string(op), start, i + op.size()});
        i += op.size();
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (std::string_view("+-*/%=<>!~^&|").find(static_cast<char>(c)) != std::string_view::npos) {
      out.push_back({Tok::Op, std::string(1, static_cast<char>(c)), start, i + 1});
      ++i;
      continue;
    }
    fail("unexpected character", i);
  }
  out.push_back({Tok::End, "", n, n});
  return out;
}

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

// ---- keywords

bool oneOf(std::string_view word, std::initializer_list<std::string_view> list) {
  for (std::string_view w : list)
    if (equalsNoCase(word, w)) return true;
  return false;
}

// Words that end an expression or a table reference and so cannot be bare
// aliases.
bool reserved(std::string_view w) {
  return oneOf(
      w, {"SELECT", "FROM",      "WHERE",   "GROUP",         "HAVING", "ORDER",    "LIMIT",  "OFFSET",
          "FETCH",  "UNION",     "EXCEPT",  "INTERSECT",     "MINUS",  "INTO",     "FOR",    "LOCK",
          "WINDOW", "ON",        "USING",   "JOIN",          "INNER",  "LEFT",     "RIGHT",  "FULL",
          "CROSS",  "NATURAL",   "OUTER",   "STRAIGHT_JOIN", "AND",    "OR",       "XOR",    "NOT",
          "IS",     "IN",        "LIKE",    "BETWEEN",       "AS",     "WHEN",     "THEN",   "ELSE",
          "END",    "CASE",      "WITH",    "DIV",           "MOD",    "REGEXP",   "RLIKE",  "GLOB",
          "MATCH",  "COLLATE",   "ESCAPE",  "PARTITION",     "USE",    "IGNORE",   "FORCE",  "LATERAL",
          "VALUES", "RETURNING", "INDEXED", "DISTINCT",      "ALL",    "BY",       "ASC",    "DESC",
          "SOUNDS", "NULL",      "TRUE",    "FALSE",         "EXISTS", "INTERVAL", "BINARY", "PROCEDURE"});
}

bool niladic(std::string_view w) {
  return oneOf(w, {"CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURRENT_ROLE",
                   "LOCALTIME", "LOCALTIMESTAMP", "UTC_DATE", "UTC_TIME", "UTC_TIMESTAMP", "NULL", "TRUE",
                   "FALSE", "UNKNOWN", "DEFAULT"});
}

// ---- the parser

struct Expr {
  enum Kind : uint8_t { kOther, kColumn, kStar } kind = kOther;
  std::vector<std::string> parts;  // qualifier parts and the column (for a star: the qualifier parts)
  size_t begin = 0;
  size_t end = 0;
};

class Parser {
 public:
  Parser(std::string_view text, Statement& out) : text_(text), t_(tokenize(text)), out_(out) {}

  const Query* statement() {
    const Query* q = query();
    while (is(Tok::Semicolon)) advance();
    if (!is(Tok::End)) fail("unexpected text after the statement");
    return q;
  }

 private:
  static constexpr int kMaxDepth = 100;

  [[noreturn]] void fail(const char* what) { throw ParseError{what, peek().begin}; }
  const Token& peek(size_t k = 0) const { return t_[std::min(pos_ + k, t_.size() - 1)]; }
  void advance() {
    if (pos_ + 1 < t_.size()) ++pos_;
  }
  bool is(Tok k, size_t ahead = 0) const { return peek(ahead).kind == k; }
  bool isOp(std::string_view op, size_t ahead = 0) const {
    return is(Tok::Op, ahead) && peek(ahead).text == op;
  }
  bool isWord(std::string_view w, size_t ahead = 0) const {
    return is(Tok::Ident, ahead) && equalsNoCase(peek(ahead).text, w);
  }
  bool acceptWord(std::string_view w) {
    if (!isWord(w)) return false;
    advance();
    return true;
  }
  void expectWord(std::string_view w) {
    if (!acceptWord(w)) fail("keyword expected");
  }
  void expect(Tok k, const char* what) {
    if (!is(k)) fail(what);
    advance();
  }
  size_t lastEnd() const { return pos_ == 0 ? 0 : t_[pos_ - 1].end; }

  struct Depth {
    explicit Depth(Parser& p) : p_(p) {
      if (++p_.depth_ > kMaxDepth) p_.fail("statement nested too deeply");
    }
    ~Depth() { --p_.depth_; }
    Parser& p_;
  };

  // True when a query starts here, after any number of "(".
  bool queryAhead() const {
    size_t k = 0;
    while (is(Tok::LParen, k)) ++k;
    return isWord("SELECT", k) || isWord("WITH", k);
  }

  // Skips a balanced group starting at "(".
  void skipGroup() {
    Depth d(*this);
    expect(Tok::LParen, "( expected");
    int open = 1;
    while (open > 0) {
      if (is(Tok::End)) fail(") expected");
      if (is(Tok::LParen))
        ++open;
      else if (is(Tok::RParen))
        --open;
      advance();
    }
  }

  const std::string& identifier(const char* what) {
    if (!(is(Tok::Ident) || is(Tok::QIdent))) fail(what);
    const std::string& text = peek().text;
    advance();
    return text;
  }

  // ---- queries

  Query* newQuery() {
    out_.queries.push_back(std::make_unique<Query>());
    return out_.queries.back().get();
  }

  const Query* query() {
    Depth d(*this);
    size_t scopeSize = ctes_.size();
    if (acceptWord("WITH")) {
      bool recursive = acceptWord("RECURSIVE");
      do {
        std::string name = identifier("name of a common table expression expected");
        Query* q = newQuery();
        if (is(Tok::LParen)) {
          advance();
          do q->columnNames.push_back(identifier("column name expected"));
          while (is(Tok::Comma) && (advance(), true));
          expect(Tok::RParen, ") expected");
        }
        expectWord("AS");
        acceptWord("NOT");
        acceptWord("MATERIALIZED");
        if (recursive) ctes_.emplace_back(name, q);
        expect(Tok::LParen, "( expected");
        const Query* body = query();
        expect(Tok::RParen, ") expected");
        q->first = body->first;
        if (q->columnNames.empty()) q->columnNames = body->columnNames;
        if (!recursive) ctes_.emplace_back(name, q);
      } while (is(Tok::Comma) && (advance(), true));
    }
    Query* q = newQuery();
    q->first = queryExpression();
    orderAndLimit();
    ctes_.resize(scopeSize);
    return q;
  }

  const Select* queryExpression() {
    const Select* first = queryTerm();
    while (isWord("UNION") || isWord("EXCEPT") || isWord("INTERSECT") || isWord("MINUS")) {
      advance();
      if (!acceptWord("ALL")) acceptWord("DISTINCT");
      queryTerm();
    }
    return first;
  }

  const Select* queryTerm() {
    Depth d(*this);
    if (is(Tok::LParen)) {
      advance();
      const Query* inner = query();
      expect(Tok::RParen, ") expected");
      return inner->first;
    }
    return selectCore();
  }

  void orderAndLimit() {
    if (acceptWord("ORDER")) {
      expectWord("BY");
      orderList();
    }
    if (acceptWord("LIMIT")) {
      expression(0);
      if (is(Tok::Comma) || isWord("OFFSET")) {
        advance();
        expression(0);
      }
    }
    if (acceptWord("OFFSET")) {
      expression(0);
      if (!acceptWord("ROWS")) acceptWord("ROW");
    }
    if (acceptWord("FETCH")) {
      if (!acceptWord("FIRST")) expectWord("NEXT");
      if (!isWord("ROW") && !isWord("ROWS")) expression(0);
      if (!acceptWord("ROWS")) expectWord("ROW");
      if (!acceptWord("ONLY")) {
        expectWord("WITH");
        expectWord("TIES");
      }
    }
    if (isWord("FOR") || isWord("LOCK") || isWord("INTO") || isWord("PROCEDURE"))
      fail("a custom view cannot lock, store or hand on its rows");
  }

  void orderList() {
    do {
      expression(0);
      if (!acceptWord("ASC")) acceptWord("DESC");
      if (acceptWord("NULLS")) {
        if (!acceptWord("FIRST")) expectWord("LAST");
      }
    } while (is(Tok::Comma) && (advance(), true));
  }

  const Select* selectCore() {
    expectWord("SELECT");
    out_.selects.push_back(std::make_unique<Select>());
    Select& s = *out_.selects.back();
    while (isWord("ALL") || isWord("DISTINCT") || isWord("DISTINCTROW") || isWord("HIGH_PRIORITY") ||
           isWord("STRAIGHT_JOIN") || isWord("SQL_SMALL_RESULT") || isWord("SQL_BIG_RESULT") ||
           isWord("SQL_BUFFER_RESULT") || isWord("SQL_CACHE") || isWord("SQL_NO_CACHE") ||
           isWord("SQL_CALC_FOUND_ROWS"))
      advance();
    do selectItem(s);
    while (is(Tok::Comma) && (advance(), true));
    if (isWord("INTO")) fail("SELECT ... INTO stores rows and is no custom view");
    if (acceptWord("FROM")) {
      if (!acceptWord("DUAL")) tableReferences(s);
    }
    if (acceptWord("WHERE")) expression(0);
    if (acceptWord("GROUP")) {
      expectWord("BY");
      orderList();
      if (acceptWord("WITH")) expectWord("ROLLUP");
    }
    if (acceptWord("HAVING")) expression(0);
    if (acceptWord("WINDOW")) {
      do {
        identifier("window name expected");
        expectWord("AS");
        skipGroup();
      } while (is(Tok::Comma) && (advance(), true));
    }
    return &s;
  }

  void selectItem(Select& s) {
    Expr e = expression(0);
    Item item;
    item.text = std::string(text_.substr(e.begin, e.end - e.begin));
    if (e.kind == Expr::kStar) {
      item.kind = Item::kStar;
      if (e.parts.size() > 2) fail("too many name parts");
      if (!e.parts.empty()) item.qualifier = e.parts.back();
      s.items.push_back(std::move(item));
      return;
    }
    if (e.kind == Expr::kColumn) {
      if (e.parts.size() > 3) fail("too many name parts");
      item.kind = Item::kColumn;
      item.column = e.parts.back();
      if (e.parts.size() >= 2) item.qualifier = e.parts[e.parts.size() - 2];
      item.resultName = item.column;
    } else {
      item.kind = Item::kExpression;
      item.resultName = item.text;
    }
    if (acceptWord("AS")) {
      if (!(is(Tok::Ident) || is(Tok::QIdent) || is(Tok::String))) fail("alias expected");
      item.resultName = peek().text;
      item.hasAlias = true;
      advance();
    } else if ((is(Tok::Ident) && !reserved(peek().text)) || is(Tok::QIdent) || is(Tok::String)) {
      item.resultName = peek().text;
      item.hasAlias = true;
      advance();
    }
    s.items.push_back(std::move(item));
  }

  // ---- FROM

  void tableReferences(Select& s) {
    do tableReference(s);
    while (is(Tok::Comma) && (advance(), true));
  }

  void tableReference(Select& s) {
    Depth d(*this);
    tableFactor(s);
    while (true) {
      size_t mark = pos_;
      acceptWord("NATURAL");
      bool join = false;
      if (acceptWord("STRAIGHT_JOIN")) {
        join = true;
      } else {
        if (acceptWord("LEFT") || acceptWord("RIGHT") || acceptWord("FULL"))
          acceptWord("OUTER");
        else if (!acceptWord("INNER"))
          acceptWord("CROSS");
        join = acceptWord("JOIN");
      }
      if (!join) {
        if (pos_ != mark) fail("JOIN expected");
        return;
      }
      tableFactor(s);
      if (acceptWord("ON")) {
        expression(0);
      } else if (acceptWord("USING")) {
        skipGroup();
      }
    }
  }

  void tableAlias(Source& src) {
    if (acceptWord("AS")) {
      if (!(is(Tok::Ident) || is(Tok::QIdent) || is(Tok::String))) fail("alias expected");
      src.alias = peek().text;
      advance();
    } else if ((is(Tok::Ident) && !reserved(peek().text)) || is(Tok::QIdent)) {
      src.alias = peek().text;
      advance();
    }
  }

  void tableFactor(Select& s) {
    Depth d(*this);
    if (acceptWord("LATERAL") && !is(Tok::LParen)) fail("( expected");
    if (is(Tok::LParen)) {
      if (queryAhead()) {
        advance();
        const Query* q = query();
        expect(Tok::RParen, ") expected");
        Source src;
        src.derived = q;
        tableAlias(src);
        if (!src.alias.empty() && is(Tok::LParen)) {
          // alias(a, b) renames the derived table's columns.
          Query* renamed = newQuery();
          renamed->first = q->first;
          advance();
          do renamed->columnNames.push_back(identifier("column name expected"));
          while (is(Tok::Comma) && (advance(), true));
          expect(Tok::RParen, ") expected");
          src.derived = renamed;
        }
        s.sources.push_back(std::move(src));
        return;
      }
      advance();
      tableReferences(s);
      expect(Tok::RParen, ") expected");
      return;
    }
    if (!(is(Tok::Ident) || is(Tok::QIdent))) fail("table name expected");
    if (is(Tok::Ident) && reserved(peek().text)) fail("table name expected");
    std::vector<std::string> parts;
    parts.push_back(identifier("table name expected"));
    while (is(Tok::Dot)) {
      advance();
      parts.push_back(identifier("table name expected"));
    }
    if (parts.size() > 3) fail("too many name parts");
    Source src;
    src.table = parts.back();
    if (is(Tok::LParen)) {
      skipGroup();  // a table function
      src.opaque = true;
    } else if (parts.size() == 1) {
      for (auto it = ctes_.rbegin(); it != ctes_.rend(); ++it)
        if (equalsNoCase(it->first, src.table)) {
          src.derived = it->second;
          break;
        }
    }
    if (acceptWord("PARTITION")) skipGroup();
    tableAlias(src);
    // Index hints: USE/IGNORE/FORCE INDEX|KEY [FOR ...] (...); INDEXED BY x; NOT INDEXED.
    while (isWord("USE") || isWord("IGNORE") || isWord("FORCE")) {
      advance();
      if (!acceptWord("INDEX")) expectWord("KEY");
      if (acceptWord("FOR")) {
        if (acceptWord("ORDER") || acceptWord("GROUP"))
          expectWord("BY");
        else
          expectWord("JOIN");
      }
      skipGroup();
    }
    if (acceptWord("INDEXED")) {
      expectWord("BY");
      identifier("index name expected");
    } else if (isWord("NOT") && isWord("INDEXED", 1)) {
      advance();
      advance();
    }
    s.sources.push_back(std::move(src));
  }

  // ---- expressions

  static int binaryPrecedence(const Token& t, const Token& next) {
    if (t.kind == Tok::Op) {
      const std::string& o = t.text;
      if (o == "||") return 1;
      if (o == "&&") return 2;
      if (o == "=" || o == "==" || o == "<=>" || o == ">=" || o == ">" || o == "<=" || o == "<" ||
          o == "<>" || o == "!=" || o == ":=")
        return 4;
      if (o == "|") return 5;
      if (o == "&") return 6;
      if (o == "<<" || o == ">>") return 7;
      if (o == "+" || o == "-") return 8;
      if (o == "*" || o == "/" || o == "%") return 9;
      if (o == "^") return 10;
      if (o == "->" || o == "->>") return 11;
      return -1;
    }
    if (t.kind != Tok::Ident) return -1;
    const std::string& w = t.text;
    if (equalsNoCase(w, "OR") || equalsNoCase(w, "XOR")) return 1;
    if (equalsNoCase(w, "AND")) return 2;
    if (oneOf(w, {"IS", "LIKE", "IN", "BETWEEN", "REGEXP", "RLIKE", "GLOB", "MATCH", "SOUNDS", "MEMBER"}))
      return 4;
    if (equalsNoCase(w, "NOT") && next.kind == Tok::Ident &&
        oneOf(next.text, {"LIKE", "IN", "BETWEEN", "REGEXP", "RLIKE", "GLOB", "MATCH"}))
      return 4;
    if (equalsNoCase(w, "DIV") || equalsNoCase(w, "MOD")) return 9;
    if (equalsNoCase(w, "COLLATE")) return 12;
    return -1;
  }

  Expr expression(int minPrecedence) {
    Depth d(*this);
    Expr lhs = unary();
    while (true) {
      int prec = binaryPrecedence(peek(), peek(1));
      if (prec < 0 || prec < minPrecedence) break;
      lhs.kind = Expr::kOther;
      lhs.parts.clear();
      if (isWord("COLLATE")) {
        advance();
        if (!(is(Tok::Ident) || is(Tok::QIdent) || is(Tok::String))) fail("collation expected");
        advance();
      } else if (isWord("IS")) {
        advance();
        acceptWord("NOT");
        if (acceptWord("DISTINCT")) {
          expectWord("FROM");
          expression(5);
        } else if (!(acceptWord("NULL") || acceptWord("TRUE") || acceptWord("FALSE") ||
                     acceptWord("UNKNOWN"))) {
          fail("NULL, TRUE, FALSE or UNKNOWN expected");
        }
      } else if (isWord("MEMBER")) {
        advance();
        expectWord("OF");
        skipGroup();
      } else if (isWord("SOUNDS")) {
        advance();
        expectWord("LIKE");
        expression(5);
      } else {
        bool negated = acceptWord("NOT");
        if (acceptWord("IN")) {
          if (!is(Tok::LParen)) fail("( expected");
          inList();
        } else if (acceptWord("BETWEEN")) {
          expression(5);
          expectWord("AND");
          expression(5);
        } else if (acceptWord("LIKE") || acceptWord("GLOB") || acceptWord("MATCH") || acceptWord("REGEXP") ||
                   acceptWord("RLIKE")) {
          expression(5);
          if (acceptWord("ESCAPE")) expression(5);
        } else if (negated) {
          fail("LIKE, IN or BETWEEN expected");
        } else {
          advance();  // the operator
          expression(prec + 1);
        }
      }
      lhs.end = lastEnd();
    }
    return lhs;
  }

  void inList() {
    advance();  // (
    if (queryAhead()) {
      query();
    } else if (!is(Tok::RParen)) {
      do expression(0);
      while (is(Tok::Comma) && (advance(), true));
    }
    expect(Tok::RParen, ") expected");
  }

  Expr unary() {
    Depth d(*this);
    size_t begin = peek().begin;
    Expr e;
    if (isWord("NOT")) {
      advance();
      expression(3);
    } else if (isOp("-") || isOp("+") || isOp("~") || isOp("!")) {
      advance();
      unary();
    } else if (isWord("BINARY") && !is(Tok::LParen, 1)) {
      advance();
      unary();
    } else if (isWord("INTERVAL")) {
      advance();
      expression(9);
      identifier("interval unit expected");
    } else {
      return primary();
    }
    e.begin = begin;
    e.end = lastEnd();
    return e;
  }

  Expr primary() {
    Depth d(*this);
    Expr e;
    e.begin = peek().begin;
    const Token& t = peek();
    switch (t.kind) {
      case Tok::Number:
      case Tok::Param:
        advance();
        break;
      case Tok::String:
        advance();
        while (is(Tok::String)) advance();  // 'a' 'b' is one text
        break;
      case Tok::LParen:
        if (queryAhead()) {
          advance();
          query();
          expect(Tok::RParen, ") expected");
        } else {
          advance();
          do expression(0);
          while (is(Tok::Comma) && (advance(), true));
          expect(Tok::RParen, ") expected");
        }
        break;
      case Tok::Op:
        if (t.text != "*") fail("expression expected");
        advance();
        e.kind = Expr::kStar;
        break;
      case Tok::Ident:
        if (equalsNoCase(t.text, "CASE")) {
          advance();
          if (!isWord("WHEN")) expression(0);
          if (!isWord("WHEN")) fail("WHEN expected");
          while (acceptWord("WHEN")) {
            expression(0);
            expectWord("THEN");
            expression(0);
          }
          if (acceptWord("ELSE")) expression(0);
          expectWord("END");
          break;
        }
        if (equalsNoCase(t.text, "EXISTS")) {
          advance();
          if (!is(Tok::LParen) || !queryAhead()) fail("subquery expected");
          advance();
          query();
          expect(Tok::RParen, ") expected");
          break;
        }
        // _utf8mb4'text': a character set introducer.
        if (t.text.size() > 1 && t.text[0] == '_' && is(Tok::String, 1)) {
          advance();
          advance();
          break;
        }
        if (is(Tok::LParen, 1)) {
          function();
          break;
        }
        if (niladic(t.text)) {
          advance();
          break;
        }
        if (reserved(t.text)) fail("expression expected");
        columnReference(e);
        break;
      case Tok::QIdent:
        if (is(Tok::LParen, 1)) {
          function();
          break;
        }
        columnReference(e);
        break;
      default:
        fail("expression expected");
    }
    e.end = lastEnd();
    return e;
  }

  void function() {
    advance();  // name
    skipGroup();
    if (acceptWord("FILTER")) skipGroup();
    if (isWord("WITHIN") && isWord("GROUP", 1)) {
      advance();
      advance();
      skipGroup();
    }
    if (acceptWord("OVER")) {
      if (is(Tok::LParen))
        skipGroup();
      else
        identifier("window expected");
    }
  }

  void columnReference(Expr& e) {
    e.kind = Expr::kColumn;
    e.parts.push_back(peek().text);
    advance();
    while (is(Tok::Dot)) {
      advance();
      if (isOp("*")) {
        advance();
        e.kind = Expr::kStar;
        return;
      }
      if (!(is(Tok::Ident) || is(Tok::QIdent))) fail("name expected after \".\"");
      e.parts.push_back(peek().text);
      advance();
    }
  }

  std::string_view text_;
  std::vector<Token> t_;
  size_t pos_ = 0;
  int depth_ = 0;
  Statement& out_;
  std::vector<std::pair<std::string, const Query*>> ctes_;
};

// ---- tracing result columns

struct Trace {
  bool found = false;
  std::string table;
  std::string field;
};

using Lookup = SQLParser::ColumnLookup;

Trace resultColumn(const Query& q, std::string_view name, const Lookup& lookup, int depth,
                   SQLParser::FieldInfo* info);

// A column of one source. With `check` the column must be known to be
// there; `unknown` then tells that the source cannot say (a base table
// without a look-up, or a table function).
Trace columnOfSource(const Source& src, std::string_view column, const Lookup& lookup, int depth, bool check,
                     bool& unknown) {
  unknown = false;
  if (src.derived) return resultColumn(*src.derived, column, lookup, depth + 1, nullptr);
  if (src.opaque) {
    if (check) {
      unknown = true;
      return {};
    }
    return {true, "", ""};
  }
  if (check) {
    if (!lookup) {
      unknown = true;
      return {};
    }
    if (!lookup(src.table, column)) return {};
  }
  return {true, src.table, std::string(column)};
}

// Finds the one source of several that has the column; when none says so and
// exactly one cannot tell, that one.
Trace columnOfSources(const std::vector<const Source*>& sources, std::string_view column,
                      const Lookup& lookup, int depth) {
  if (sources.size() == 1) {
    bool unknown = false;
    return columnOfSource(*sources[0], column, lookup, depth, false, unknown);
  }
  std::vector<const Source*> unsure;
  for (const Source* src : sources) {
    bool unknown = false;
    Trace t = columnOfSource(*src, column, lookup, depth, true, unknown);
    if (t.found) return t;
    if (unknown) unsure.push_back(src);
  }
  if (unsure.size() == 1) {
    bool unknown = false;
    return columnOfSource(*unsure[0], column, lookup, depth, false, unknown);
  }
  return {};
}

const Source* sourceNamed(const Select& s, std::string_view name) {
  for (const Source& src : s.sources)
    if (equalsNoCase(src.name(), name)) return &src;
  for (const Source& src : s.sources)
    if (!src.alias.empty() && equalsNoCase(src.table, name)) return &src;
  return nullptr;
}

Trace columnItem(const Select& s, const Item& item, const Lookup& lookup, int depth) {
  if (item.kind == Item::kExpression) return {true, "", ""};
  std::vector<const Source*> sources;
  if (!item.qualifier.empty()) {
    const Source* src = sourceNamed(s, item.qualifier);
    if (!src) return {true, "", item.column};
    sources.push_back(src);
  } else {
    for (const Source& src : s.sources) sources.push_back(&src);
  }
  if (sources.empty()) return {true, "", item.column};
  Trace t = columnOfSources(sources, item.column, lookup, depth);
  if (!t.found) return {true, "", item.column};
  return t;
}

Trace resultColumn(const Query& q, std::string_view name, const Lookup& lookup, int depth,
                   SQLParser::FieldInfo* info) {
  if (depth > 64 || !q.first) return {};
  const Select& s = *q.first;
  if (!q.columnNames.empty()) {
    // Renamed columns: the n-th name is the n-th column of the select list.
    for (size_t i = 0; i < q.columnNames.size(); ++i) {
      if (!equalsNoCase(q.columnNames[i], name)) continue;
      for (const Item& it : s.items)
        if (it.kind == Item::kStar) return {};
      if (i >= s.items.size()) return {};
      const Item& it = s.items[i];
      Trace t = columnItem(s, it, lookup, depth);
      if (info) *info = {it.text, t.table, t.field, true};
      return t;
    }
    return {};
  }
  // An explicit column of that name first; else the first star that yields it.
  for (const Item& it : s.items) {
    if (it.kind == Item::kStar || !equalsNoCase(it.resultName, name)) continue;
    Trace t = columnItem(s, it, lookup, depth);
    if (info) *info = {it.text, t.table, t.field, it.hasAlias || it.kind == Item::kExpression};
    return t;
  }
  for (const Item& it : s.items) {
    if (it.kind == Item::kStar) {
      std::vector<const Source*> sources;
      if (!it.qualifier.empty()) {
        if (const Source* src = sourceNamed(s, it.qualifier)) sources.push_back(src);
      } else {
        for (const Source& src : s.sources) sources.push_back(&src);
      }
      if (sources.empty()) continue;
      Trace t = columnOfSources(sources, name, lookup, depth);
      if (!t.found) continue;
      if (info) {
        const Source* from = nullptr;
        for (const Source* src : sources)
          if (!t.table.empty() && !src->derived && src->table == t.table) from = src;
        std::string qualifier =
            from ? from->name() : (sources.size() == 1 ? sources[0]->name() : std::string());
        *info = {qualifier.empty() ? std::string(name) : qualifier + "." + std::string(name), t.table,
                 t.field, false};
      }
      return t;
    }
  }
  return {};
}

}  // namespace sql

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
    sql::Parser parser(text_, *stmt);
    stmt->root = parser.statement();
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
