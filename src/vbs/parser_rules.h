#pragma once
// The recursive-descent parser of VBScript source: its token cursor and
// the statement and expression rules, in separate files.
#include <memory>
#include <string>
#include <vector>

#include "automation/text.h"
#include "vbs/lexer.h"
#include "vbs/parser.h"

namespace tw::vbs::parsing {

// Deepest nesting of statements and of expressions the parser accepts; keeps
// the recursive parser and compiler within a small part of the C stack.
constexpr int kMaxStatementDepth = 2000;
constexpr int kMaxExpressionDepth = 2000;

inline ExprPtr makeExpr(ExprKind k, SourcePos p) { return std::make_unique<Expr>(k, p); }

class Parser {
 public:
  explicit Parser(std::string_view src) : toks_(tokenize(src)) {}

  Program program() {
    Program prog;
    bool anyStatement = false;
    for (;;) {
      skipSeparators();
      if (at(Tok::End)) break;
      if (at(Tok::KwOption)) {
        SourcePos p = cur().pos;
        next();
        expect(Tok::KwExplicit, kErrCSyntax);
        if (anyStatement) fail(kErrCMustBeFirst, p);
        prog.optionExplicit = true;
        endOfStatement();
        continue;
      }
      anyStatement = true;
      prog.body.push_back(statement());
      endOfStatement();
    }
    return prog;
  }

  ExprPtr onlyExpression() {
    skipNewlines();
    ExprPtr e = expr();
    skipNewlines();
    if (!at(Tok::End)) fail(kErrCExpectedEndOfStatement);
    return e;
  }

 private:
  // ---- Token access

  const Token& cur() const { return toks_[pos_]; }
  const Token& peek(size_t n = 1) const {
    size_t i = pos_ + n;
    return i < toks_.size() ? toks_[i] : toks_.back();
  }
  bool at(Tok t) const { return cur().type == t; }
  void next() {
    if (pos_ + 1 < toks_.size()) ++pos_;
  }
  bool accept(Tok t) {
    if (!at(t)) return false;
    next();
    return true;
  }
  [[noreturn]] void fail(int32_t number) { throw CompileError(number, cur().pos); }
  [[noreturn]] void fail(int32_t number, SourcePos p) { throw CompileError(number, p); }
  void expect(Tok t, int32_t number) {
    if (!accept(t)) fail(number);
  }

  // Names: identifiers and the keywords that may also serve as names.
  static bool isName(Tok t) {
    return t == Tok::Ident || t == Tok::KwDefault || t == Tok::KwError || t == Tok::KwExplicit ||
           t == Tok::KwProperty || t == Tok::KwStep;
  }
  bool atName() const { return isName(cur().type); }
  std::string name();
  // A member name after '.': any word, keywords included.
  std::string memberName();
  bool atWord(std::string_view w) const { return cur().type == Tok::Ident && equalsNoCase(cur().text, w); }

  bool atStatementEnd() const { return at(Tok::Newline) || at(Tok::Colon) || at(Tok::End); }
  void skipSeparators() {
    while (at(Tok::Newline) || at(Tok::Colon)) next();
  }
  void skipNewlines() {
    while (at(Tok::Newline)) next();
  }
  void endOfStatement() {
    if (!atStatementEnd()) fail(kErrCExpectedEndOfStatement);
  }

  struct DepthGuard {
    DepthGuard(Parser& p, int& depth, int limit) : depth_(depth) {
      if (++depth_ > limit) {
        --depth_;
        p.fail(kErrOutOfStack);
      }
    }
    ~DepthGuard() { --depth_; }
    int& depth_;
  };

  // ---- Statements

  // Statements up to one of the block-closing keywords, which is left unread.
  void block(StmtList& out);

  void expectEnd(Tok what, int32_t number) {
    if (!at(Tok::KwEnd)) fail(kErrCExpectedEnd);
    next();
    expect(what, number);
  }

  StmtPtr statement();

  bool isPropertyStart(size_t ahead) const {
    const Token& t = peek(ahead);
    return t.type == Tok::KwSet ||
           (t.type == Tok::Ident && (equalsNoCase(t.text, "get") || equalsNoCase(t.text, "let")));
  }

  // Dim / Public / Private variable lists.
  StmtPtr dim(SourcePos p, bool isPublic);

  VarDecl varDecl(bool redim);

  StmtPtr redim(SourcePos p);

  StmtPtr erase(SourcePos p);

  StmtPtr constStatement(SourcePos p, bool isPublic);

  // A literal, optionally signed or in parentheses.
  ExprPtr constValue();

  // True, False, Empty, Null, Nothing as literals; null for anything else.
  ExprPtr literalKeyword();

  StmtPtr ifStatement(SourcePos p);

  // Empty statements between colons are allowed: "If x Then : y".
  void inlineStatements(StmtList& out, bool stopAtElse);

  StmtPtr selectStatement(SourcePos p);

  StmtPtr forStatement(SourcePos p);

  void closeFor() {
    if (!at(Tok::KwNext)) fail(kErrCExpectedNext);
    next();
    if (atName()) next();
  }

  StmtPtr doStatement(SourcePos p);

  StmtPtr whileStatement(SourcePos p);

  StmtPtr exitStatement(SourcePos p);

  StmtPtr withStatement(SourcePos p);

  StmtPtr onError(SourcePos p);

  StmtPtr setStatement(SourcePos p);

  StmtPtr callStatement(SourcePos p);

  void checkAssignable(const Expr& e) {
    if (e.kind != ExprKind::Name && e.kind != ExprKind::Member && e.kind != ExprKind::Call)
      fail(kErrCExpectedStatement, e.pos);
  }

  // Assignments and calls: x = 1, a(1) = 2, o.p = 3, Foo 1, 2, o.M (1), 2.
  StmtPtr simpleStatement(SourcePos p);

  // Arguments of a call without parentheses; empty ones are omitted arguments.
  void argumentList(std::vector<ExprPtr>& args);

  // ---- Procedures and classes

  StmtPtr procedureStatement(SourcePos p, bool isPublic) {
    auto s = std::make_unique<Stmt>(StmtKind::Procedure, p);
    s->proc = procedure(p, isPublic, false);
    return s;
  }

  // After Public/Private (already read) or at Sub/Function/Property.
  std::unique_ptr<ProcDecl> procedure(SourcePos p, bool isPublic, bool inClass);

  StmtPtr classStatement(SourcePos p);

  void fields(ClassDecl& c, bool isPublic);

  // ---- Expressions

  ExprPtr binary(Op op, ExprPtr l, ExprPtr r, SourcePos p);

  ExprPtr expr() {
    DepthGuard guard(*this, exprDepth_, kMaxExpressionDepth);
    return operatorExpr();
  }

  // Binding strength of the binary operators, weakest first; all of them
  // group from the left. Not sits between And and the comparisons.
  static constexpr int kNotPrecedence = 6;
  static int precedenceOf(Tok t, Op& op);

  // Operators and operands on explicit stacks: a chain of any length costs
  // no native recursion (templates generate expressions of thousands of terms).
  ExprPtr operatorExpr();

  // An operand with its signs. A sign binds tighter than ^: -3 ^ 2 is 9.
  ExprPtr signedOperand();

  ExprPtr primary();

  // A primary followed by member accesses and argument lists.
  ExprPtr postfix();

  std::vector<Token> toks_;
  size_t pos_ = 0;
  int stmtDepth_ = 0;
  int exprDepth_ = 0;
  bool inProcedure_ = false;
  ExprPtr pending_;  // a first argument already read by simpleStatement
};

}  // namespace tw::vbs::parsing
