// Parses one SELECT statement of a custom view (WITH, UNION and friends in
// the MySQL/MariaDB and SQLite dialects) into the select lists and sources
// that tracing the result columns needs.
#include <cctype>
#include <utility>

#include "automation/text.h"
#include "schema/sql_statement.h"

namespace tw {

namespace sql {

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

const Query* parseStatement(std::string_view text, Statement& out) {
  Parser parser(text, out);
  return parser.statement();
}

}  // namespace sql

}  // namespace tw
