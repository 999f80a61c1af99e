#include "vbs/parser.h"

#include "automation/text.h"
#include "vbs/lexer.h"

namespace tw::vbs {

Expr::~Expr() {
  if (!target && !rhs && args.empty()) return;
  std::vector<ExprPtr> work;
  auto take = [&work](Expr& e) {
    if (e.target) work.push_back(std::move(e.target));
    if (e.rhs) work.push_back(std::move(e.rhs));
    for (ExprPtr& a : e.args)
      if (a) work.push_back(std::move(a));
    e.args.clear();
  };
  take(*this);
  while (!work.empty()) {
    ExprPtr e = std::move(work.back());
    work.pop_back();
    take(*e);
  }
}

namespace {

// Deepest nesting of statements and of expressions the parser accepts; keeps
// the recursive parser and compiler within a small part of the C stack.
constexpr int kMaxStatementDepth = 2000;
constexpr int kMaxExpressionDepth = 2000;

ExprPtr makeExpr(ExprKind k, SourcePos p) { return std::make_unique<Expr>(k, p); }

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
  std::string name() {
    if (!atName()) fail(kErrCExpectedIdentifier);
    std::string n = cur().text;
    next();
    return n;
  }
  // A member name after '.': any word, keywords included.
  std::string memberName() {
    const Token& t = cur();
    if (t.type == Tok::Ident || (t.type >= Tok::KwAnd && !t.text.empty())) {
      std::string n = t.text;
      next();
      return n;
    }
    fail(kErrCExpectedIdentifier);
  }
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
  void block(StmtList& out) {
    DepthGuard guard(*this, stmtDepth_, kMaxStatementDepth);
    for (;;) {
      skipSeparators();
      switch (cur().type) {
        case Tok::End:
        case Tok::KwEnd:
        case Tok::KwElse:
        case Tok::KwElseIf:
        case Tok::KwCase:
        case Tok::KwLoop:
        case Tok::KwNext:
        case Tok::KwWend:
          return;
        default:
          break;
      }
      out.push_back(statement());
      // "x = 1 End Sub": a closing End may follow a statement directly.
      if (!at(Tok::KwEnd)) endOfStatement();
    }
  }

  void expectEnd(Tok what, int32_t number) {
    if (!at(Tok::KwEnd)) fail(kErrCExpectedEnd);
    next();
    expect(what, number);
  }

  StmtPtr statement() {
    const Token& t = cur();
    SourcePos p = t.pos;
    switch (t.type) {
      case Tok::KwDim:
        next();
        return dim(p, true);
      case Tok::KwPublic:
      case Tok::KwPrivate: {
        bool isPublic = t.type == Tok::KwPublic;
        Tok n = peek().type;
        if (n == Tok::KwSub || n == Tok::KwFunction || n == Tok::KwDefault ||
            (n == Tok::KwProperty && isPropertyStart(2))) {
          if (inProcedure_) fail(kErrCSyntax);
          next();
          return procedureStatement(p, isPublic);
        }
        next();
        if (at(Tok::KwConst)) {
          next();
          return constStatement(p, isPublic);
        }
        return dim(p, isPublic);
      }
      case Tok::KwConst:
        next();
        return constStatement(p, true);
      case Tok::KwReDim:
        next();
        return redim(p);
      case Tok::KwErase:
        next();
        return erase(p);
      case Tok::KwIf:
        next();
        return ifStatement(p);
      case Tok::KwSelect:
        next();
        return selectStatement(p);
      case Tok::KwFor:
        next();
        return forStatement(p);
      case Tok::KwDo:
        next();
        return doStatement(p);
      case Tok::KwWhile:
        next();
        return whileStatement(p);
      case Tok::KwExit:
        next();
        return exitStatement(p);
      case Tok::KwWith:
        next();
        return withStatement(p);
      case Tok::KwOn:
        next();
        return onError(p);
      case Tok::KwOption:
        fail(kErrCMustBeFirst);
      case Tok::KwSub:
      case Tok::KwFunction:
        // Inside If or a loop at script level, a procedure is defined all the same.
        if (inProcedure_) fail(kErrCSyntax);
        return procedureStatement(p, true);
      case Tok::KwProperty:
        if (isPropertyStart(1)) fail(kErrCMustBeInClass);
        return simpleStatement(p);
      case Tok::KwClass:
        if (inProcedure_) fail(kErrCSyntax);
        next();
        return classStatement(p);
      case Tok::KwSet:
        next();
        return setStatement(p);
      case Tok::KwCall:
        next();
        return callStatement(p);
      case Tok::KwStop: {
        next();
        return std::make_unique<Stmt>(StmtKind::Stop, p);
      }
      case Tok::KwNext:
        fail(kErrCUnexpectedNext);
      case Tok::KwLoop:
        fail(kErrCLoopWithoutDo);
      case Tok::Ident:
      case Tok::KwDefault:
      case Tok::KwError:
      case Tok::KwExplicit:
      case Tok::KwStep:
      case Tok::KwMe:
      case Tok::Dot:
        return simpleStatement(p);
      default:
        fail(kErrCExpectedStatement);
    }
  }

  bool isPropertyStart(size_t ahead) const {
    const Token& t = peek(ahead);
    return t.type == Tok::KwSet ||
           (t.type == Tok::Ident && (equalsNoCase(t.text, "get") || equalsNoCase(t.text, "let")));
  }

  // Dim / Public / Private variable lists.
  StmtPtr dim(SourcePos p, bool isPublic) {
    auto s = std::make_unique<Stmt>(StmtKind::Dim, p);
    s->isPublic = isPublic;
    do {
      s->vars.push_back(varDecl(false));
    } while (accept(Tok::Comma));
    return s;
  }

  VarDecl varDecl(bool redim) {
    VarDecl v;
    v.pos = cur().pos;
    v.name = name();
    if (accept(Tok::LParen)) {
      v.isArray = true;
      if (!at(Tok::RParen) || redim) {
        do {
          if (redim) {
            v.bounds.push_back(expr());
          } else {
            // Dim bounds are whole-number literals.
            if (!at(Tok::Literal)) fail(kErrCExpectedInteger);
            uint16_t vt = cur().value.type();
            if (vt != vtInteger && vt != vtLong) fail(kErrCExpectedInteger);
            auto e = makeExpr(ExprKind::Literal, cur().pos);
            e->value = cur().value;
            next();
            v.bounds.push_back(std::move(e));
          }
        } while (accept(Tok::Comma));
      }
      expect(Tok::RParen, kErrCExpectedRParen);
    }
    return v;
  }

  StmtPtr redim(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::ReDim, p);
    s->preserve = accept(Tok::KwPreserve);
    do {
      SourcePos vp = cur().pos;
      VarDecl v = varDecl(true);
      if (!v.isArray) fail(kErrCExpectedLParen, vp);
      s->vars.push_back(std::move(v));
    } while (accept(Tok::Comma));
    return s;
  }

  StmtPtr erase(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::Erase, p);
    do {
      auto e = makeExpr(ExprKind::Name, cur().pos);
      e->name = name();
      s->targets.push_back(std::move(e));
    } while (accept(Tok::Comma));
    return s;
  }

  StmtPtr constStatement(SourcePos p, bool isPublic) {
    auto s = std::make_unique<Stmt>(StmtKind::Const, p);
    s->isPublic = isPublic;
    do {
      ConstDecl c;
      c.pos = cur().pos;
      c.name = name();
      expect(Tok::Eq, kErrCExpectedEqual);
      c.value = constValue();
      s->consts.push_back(std::move(c));
    } while (accept(Tok::Comma));
    return s;
  }

  // A literal, optionally signed or in parentheses.
  ExprPtr constValue() {
    DepthGuard guard(*this, exprDepth_, kMaxExpressionDepth);
    SourcePos p = cur().pos;
    if (at(Tok::Minus) || at(Tok::Plus)) {
      auto e = makeExpr(ExprKind::Unary, p);
      e->op = at(Tok::Minus) ? Op::Neg : Op::Plus;
      next();
      e->target = constValue();
      return e;
    }
    if (accept(Tok::LParen)) {
      ExprPtr inner = constValue();
      expect(Tok::RParen, kErrCExpectedRParen);
      return inner;
    }
    ExprPtr e = literalKeyword();
    if (!e) {
      if (!at(Tok::Literal)) fail(kErrCExpectedLiteral);
      e = makeExpr(ExprKind::Literal, p);
      e->value = cur().value;
      next();
    }
    return e;
  }

  // True, False, Empty, Null, Nothing as literals; null for anything else.
  ExprPtr literalKeyword() {
    SourcePos p = cur().pos;
    Variant v;
    switch (cur().type) {
      case Tok::KwTrue:
        v = Variant(true);
        break;
      case Tok::KwFalse:
        v = Variant(false);
        break;
      case Tok::KwEmpty:
        break;
      case Tok::KwNull:
        v = Variant::null();
        break;
      case Tok::KwNothing:
        v = Variant::nothing();
        break;
      default:
        return nullptr;
    }
    next();
    auto e = makeExpr(ExprKind::Literal, p);
    e->value = std::move(v);
    return e;
  }

  StmtPtr ifStatement(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::If, p);
    IfBranch first;
    first.cond = expr();
    expect(Tok::KwThen, kErrCExpectedThen);
    if (at(Tok::Newline) || at(Tok::End)) {
      block(first.body);
      s->branches.push_back(std::move(first));
      for (;;) {
        if (at(Tok::KwElseIf)) {
          next();
          IfBranch b;
          b.cond = expr();
          expect(Tok::KwThen, kErrCExpectedThen);
          block(b.body);
          s->branches.push_back(std::move(b));
        } else if (at(Tok::KwElse)) {
          next();
          s->hasElse = true;
          block(s->elseBody);
          if (at(Tok::KwElse) || at(Tok::KwElseIf)) fail(kErrCExpectedEnd);
        } else {
          break;
        }
      }
      expectEnd(Tok::KwIf, kErrCExpectedIf);
      return s;
    }
    // Single-line form: statements separated by ':' up to the end of the line.
    inlineStatements(first.body, true);
    s->branches.push_back(std::move(first));
    if (accept(Tok::KwElse)) {
      s->hasElse = true;
      inlineStatements(s->elseBody, false);
    }
    if (at(Tok::KwEnd) && peek().type == Tok::KwIf) {
      next();
      next();
    }
    return s;
  }

  // Empty statements between colons are allowed: "If x Then : y".
  void inlineStatements(StmtList& out, bool stopAtElse) {
    DepthGuard guard(*this, stmtDepth_, kMaxStatementDepth);
    for (;;) {
      while (at(Tok::Colon)) next();
      if (at(Tok::Newline) || at(Tok::End)) return;
      if (stopAtElse && at(Tok::KwElse)) return;
      if (at(Tok::KwEnd) && peek().type == Tok::KwIf) return;
      out.push_back(statement());
      if (at(Tok::Colon)) continue;
      if (stopAtElse && at(Tok::KwElse)) return;
      if (at(Tok::KwEnd) && peek().type == Tok::KwIf) return;
      endOfStatement();
      return;
    }
  }

  StmtPtr selectStatement(SourcePos p) {
    expect(Tok::KwCase, kErrCExpectedCase);
    auto s = std::make_unique<Stmt>(StmtKind::Select, p);
    s->value = expr();
    endOfStatement();
    skipSeparators();
    while (at(Tok::KwCase)) {
      SourcePos cp = cur().pos;
      next();
      if (accept(Tok::KwElse)) {
        s->hasElse = true;
        block(s->elseBody);
        break;
      }
      CaseClause c;
      c.pos = cp;
      do {
        c.values.push_back(expr());
      } while (accept(Tok::Comma));
      // "Case 1  x = 2": the first statement may follow on the same line.
      block(c.body);
      s->cases.push_back(std::move(c));
    }
    expectEnd(Tok::KwSelect, kErrCExpectedSelect);
    return s;
  }

  StmtPtr forStatement(SourcePos p) {
    if (accept(Tok::KwEach)) {
      auto s = std::make_unique<Stmt>(StmtKind::ForEach, p);
      auto v = makeExpr(ExprKind::Name, cur().pos);
      v->name = name();
      s->target = std::move(v);
      expect(Tok::KwIn, kErrCExpectedIn);
      s->value = expr();
      endOfStatement();
      block(s->body);
      closeFor();
      return s;
    }
    auto s = std::make_unique<Stmt>(StmtKind::For, p);
    auto v = makeExpr(ExprKind::Name, cur().pos);
    if (!atName()) fail(kErrCInvalidForVariable);
    v->name = name();
    s->target = std::move(v);
    expect(Tok::Eq, kErrCExpectedEqual);
    s->value = expr();
    expect(Tok::KwTo, kErrCExpectedTo);
    s->limit = expr();
    if (accept(Tok::KwStep)) s->step = expr();
    endOfStatement();
    block(s->body);
    closeFor();
    return s;
  }

  void closeFor() {
    if (!at(Tok::KwNext)) fail(kErrCExpectedNext);
    next();
    if (atName()) next();
  }

  StmtPtr doStatement(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::Do, p);
    if (at(Tok::KwWhile) || at(Tok::KwUntil)) {
      s->until = at(Tok::KwUntil);
      next();
      s->cond = expr();
    }
    if (!atStatementEnd()) fail(kErrCExpectedWhileUntilEnd);
    block(s->body);
    if (!at(Tok::KwLoop)) fail(kErrCExpectedLoop);
    next();
    if (at(Tok::KwWhile) || at(Tok::KwUntil)) {
      if (s->cond) fail(kErrCExpectedEndOfStatement);
      s->until = at(Tok::KwUntil);
      s->testFirst = false;
      next();
      s->cond = expr();
    }
    return s;
  }

  StmtPtr whileStatement(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::While, p);
    s->cond = expr();
    endOfStatement();
    block(s->body);
    if (!at(Tok::KwWend)) fail(kErrCExpectedWend);
    next();
    return s;
  }

  StmtPtr exitStatement(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::Exit, p);
    switch (cur().type) {
      case Tok::KwDo:
        s->exitKind = ExitKind::Do;
        break;
      case Tok::KwFor:
        s->exitKind = ExitKind::For;
        break;
      case Tok::KwSub:
        s->exitKind = ExitKind::Sub;
        break;
      case Tok::KwFunction:
        s->exitKind = ExitKind::Function;
        break;
      case Tok::KwProperty:
        s->exitKind = ExitKind::Property;
        break;
      default:
        fail(kErrCInvalidExit);
    }
    next();
    return s;
  }

  StmtPtr withStatement(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::With, p);
    s->value = expr();
    endOfStatement();
    block(s->body);
    expectEnd(Tok::KwWith, kErrCExpectedWith);
    return s;
  }

  StmtPtr onError(SourcePos p) {
    expect(Tok::KwError, kErrCSyntax);
    if (accept(Tok::KwResume)) {
      if (!at(Tok::KwNext)) fail(kErrCSyntax);
      next();
      return std::make_unique<Stmt>(StmtKind::OnErrorResumeNext, p);
    }
    expect(Tok::KwGoTo, kErrCSyntax);
    if (!at(Tok::Literal) || cur().value.type() != vtInteger || cur().value.rawInteger() != 0)
      fail(kErrCSyntax);
    next();
    return std::make_unique<Stmt>(StmtKind::OnErrorGoto0, p);
  }

  StmtPtr setStatement(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::Set, p);
    s->target = postfix();
    checkAssignable(*s->target);
    expect(Tok::Eq, kErrCExpectedEqual);
    s->value = expr();
    return s;
  }

  StmtPtr callStatement(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::Call, p);
    s->target = postfix();
    ExprKind k = s->target->kind;
    if (k != ExprKind::Name && k != ExprKind::Member && k != ExprKind::Call) fail(kErrCExpectedIdentifier, p);
    return s;
  }

  void checkAssignable(const Expr& e) {
    if (e.kind != ExprKind::Name && e.kind != ExprKind::Member && e.kind != ExprKind::Call)
      fail(kErrCExpectedStatement, e.pos);
  }

  // Assignments and calls: x = 1, a(1) = 2, o.p = 3, Foo 1, 2, o.M (1), 2.
  StmtPtr simpleStatement(SourcePos p) {
    ExprPtr target = postfix();
    if (target->kind != ExprKind::Name && target->kind != ExprKind::Member && target->kind != ExprKind::Call)
      fail(kErrCExpectedStatement, p);
    if (accept(Tok::Eq)) {
      auto s = std::make_unique<Stmt>(StmtKind::Assign, p);
      s->target = std::move(target);
      s->value = expr();
      return s;
    }
    auto s = std::make_unique<Stmt>(StmtKind::Call, p);
    bool ends = atStatementEnd() || at(Tok::KwElse) || at(Tok::KwEnd);
    if (ends) {
      if (target->kind == ExprKind::Call && target->parens) {
        // Foo(x) as a statement passes (x) by value; Foo(x, y) is an error.
        if (target->args.size() > 1) fail(kErrCParensOnSubCall, p);
        if (target->args.size() == 1 && target->args[0]->kind != ExprKind::Missing) {
          auto paren = makeExpr(ExprKind::Paren, target->args[0]->pos);
          paren->target = std::move(target->args[0]);
          target->args[0] = std::move(paren);
        }
        target->parens = false;
      }
      s->target = std::move(target);
      return s;
    }
    // Arguments without parentheses follow.
    auto call = makeExpr(ExprKind::Call, target->pos);
    if (target->kind == ExprKind::Call && target->parens) {
      // "Foo (1) + 2, 3": the parentheses belong to the first argument.
      if (target->args.size() != 1 || target->args[0]->kind == ExprKind::Missing)
        fail(kErrCParensOnSubCall, p);
      auto paren = makeExpr(ExprKind::Paren, target->args[0]->pos);
      paren->target = std::move(target->args[0]);
      call->target = std::move(target->target);
      pending_ = std::move(paren);
      call->args.push_back(expr());
      if (pending_) fail(kErrCSyntax);
      if (accept(Tok::Comma)) argumentList(call->args);
    } else {
      call->target = std::move(target);
      argumentList(call->args);
    }
    s->target = std::move(call);
    return s;
  }

  // Arguments of a call without parentheses; empty ones are omitted arguments.
  void argumentList(std::vector<ExprPtr>& args) {
    for (;;) {
      if (at(Tok::Comma)) {
        args.push_back(makeExpr(ExprKind::Missing, cur().pos));
      } else {
        args.push_back(expr());
      }
      if (!accept(Tok::Comma)) break;
      if (atStatementEnd()) {
        args.push_back(makeExpr(ExprKind::Missing, cur().pos));
        break;
      }
    }
  }

  // ---- Procedures and classes

  StmtPtr procedureStatement(SourcePos p, bool isPublic) {
    auto s = std::make_unique<Stmt>(StmtKind::Procedure, p);
    s->proc = procedure(p, isPublic, false);
    return s;
  }

  // After Public/Private (already read) or at Sub/Function/Property.
  std::unique_ptr<ProcDecl> procedure(SourcePos p, bool isPublic, bool inClass) {
    auto d = std::make_unique<ProcDecl>();
    d->pos = p;
    d->isPublic = isPublic;
    if (accept(Tok::KwDefault)) {
      if (!isPublic) fail(kErrCDefaultNotPublic);
      if (!inClass) fail(kErrCDefaultPlacement);
      d->isDefault = true;
    }
    Tok endTok;
    int32_t endErr;
    if (accept(Tok::KwSub)) {
      d->kind = ProcKind::Sub;
      endTok = Tok::KwSub;
      endErr = kErrCExpectedSub;
    } else if (accept(Tok::KwFunction)) {
      d->kind = ProcKind::Function;
      endTok = Tok::KwFunction;
      endErr = kErrCExpectedFunction;
    } else if (accept(Tok::KwProperty)) {
      if (!inClass) fail(kErrCMustBeInClass);
      if (accept(Tok::KwSet)) {
        d->kind = ProcKind::PropertySet;
      } else if (atWord("get")) {
        next();
        d->kind = ProcKind::PropertyGet;
      } else if (atWord("let")) {
        next();
        d->kind = ProcKind::PropertyLet;
      } else {
        fail(kErrCExpectedLetSetGet);
      }
      endTok = Tok::KwProperty;
      endErr = kErrCExpectedProperty;
    } else {
      fail(kErrCSyntax);
    }
    if (d->isDefault && (d->kind == ProcKind::PropertyLet || d->kind == ProcKind::PropertySet))
      fail(kErrCDefaultOnlyGet);
    d->name = name();
    if (accept(Tok::LParen)) {
      if (!at(Tok::RParen)) {
        do {
          Param prm;
          if (accept(Tok::KwByVal)) {
            prm.byVal = true;
          } else {
            accept(Tok::KwByRef);
          }
          prm.pos = cur().pos;
          prm.name = name();
          if (accept(Tok::LParen)) {
            expect(Tok::RParen, kErrCExpectedRParen);
            prm.isArray = true;
          }
          d->params.push_back(std::move(prm));
        } while (accept(Tok::Comma));
      }
      expect(Tok::RParen, kErrCExpectedRParen);
    }
    if ((d->kind == ProcKind::PropertyLet || d->kind == ProcKind::PropertySet) && d->params.empty())
      fail(kErrCPropertyNeedsArg);
    // "Sub s() x = 1 End Sub": the body may start on the header's line.
    bool wasInProcedure = inProcedure_;
    inProcedure_ = true;
    block(d->body);
    inProcedure_ = wasInProcedure;
    d->endLine = cur().pos.line;
    expectEnd(endTok, endErr);
    return d;
  }

  StmtPtr classStatement(SourcePos p) {
    auto s = std::make_unique<Stmt>(StmtKind::Class, p);
    auto c = std::make_unique<ClassDecl>();
    c->pos = p;
    c->name = name();
    endOfStatement();
    for (;;) {
      skipSeparators();
      SourcePos mp = cur().pos;
      Tok t = cur().type;
      if (t == Tok::KwEnd) break;
      if (t == Tok::KwPublic || t == Tok::KwPrivate) {
        bool isPublic = t == Tok::KwPublic;
        Tok n = peek().type;
        next();
        if (n == Tok::KwSub || n == Tok::KwFunction || n == Tok::KwProperty || n == Tok::KwDefault) {
          c->procs.push_back(procedure(mp, isPublic, true));
        } else {
          fields(*c, isPublic);
        }
      } else if (t == Tok::KwDim) {
        next();
        fields(*c, true);
      } else if (t == Tok::KwSub || t == Tok::KwFunction || t == Tok::KwProperty) {
        c->procs.push_back(procedure(mp, true, true));
      } else {
        fail(kErrCExpectedEnd);
      }
      endOfStatement();
    }
    expectEnd(Tok::KwClass, kErrCExpectedClass);
    s->cls = std::move(c);
    return s;
  }

  void fields(ClassDecl& c, bool isPublic) {
    do {
      FieldDecl f;
      f.var = varDecl(false);
      f.isPublic = isPublic;
      c.fields.push_back(std::move(f));
    } while (accept(Tok::Comma));
  }

  // ---- Expressions

  ExprPtr binary(Op op, ExprPtr l, ExprPtr r, SourcePos p) {
    auto e = makeExpr(ExprKind::Binary, p);
    e->op = op;
    e->target = std::move(l);
    e->rhs = std::move(r);
    return e;
  }

  ExprPtr expr() {
    DepthGuard guard(*this, exprDepth_, kMaxExpressionDepth);
    return operatorExpr();
  }

  // Binding strength of the binary operators, weakest first; all of them
  // group from the left. Not sits between And and the comparisons.
  static constexpr int kNotPrecedence = 6;
  static int precedenceOf(Tok t, Op& op) {
    switch (t) {
      case Tok::KwImp:
        op = Op::Imp;
        return 1;
      case Tok::KwEqv:
        op = Op::Eqv;
        return 2;
      case Tok::KwXor:
        op = Op::Xor;
        return 3;
      case Tok::KwOr:
        op = Op::Or;
        return 4;
      case Tok::KwAnd:
        op = Op::And;
        return 5;
      case Tok::Eq:
        op = Op::Eq;
        return 7;
      case Tok::Ne:
        op = Op::Ne;
        return 7;
      case Tok::Lt:
        op = Op::Lt;
        return 7;
      case Tok::Gt:
        op = Op::Gt;
        return 7;
      case Tok::Le:
        op = Op::Le;
        return 7;
      case Tok::Ge:
        op = Op::Ge;
        return 7;
      case Tok::KwIs:
        op = Op::Is;
        return 7;
      case Tok::Amp:
        op = Op::Concat;
        return 8;
      case Tok::Plus:
        op = Op::Add;
        return 9;
      case Tok::Minus:
        op = Op::Sub;
        return 9;
      case Tok::KwMod:
        op = Op::Mod;
        return 10;
      case Tok::Backslash:
        op = Op::IntDiv;
        return 11;
      case Tok::Star:
        op = Op::Mul;
        return 12;
      case Tok::Slash:
        op = Op::Div;
        return 12;
      case Tok::Caret:
        op = Op::Pow;
        return 13;
      default:
        return 0;
    }
  }

  // Operators and operands on explicit stacks: a chain of any length costs
  // no native recursion (templates generate expressions of thousands of terms).
  ExprPtr operatorExpr() {
    struct Pending {
      Op op;
      int precedence;
      SourcePos pos;
    };
    std::vector<ExprPtr> operands;
    std::vector<Pending> ops;
    auto reduce = [&] {
      Pending o = ops.back();
      ops.pop_back();
      if (o.op == Op::Not) {
        auto e = makeExpr(ExprKind::Unary, o.pos);
        e->op = Op::Not;
        e->target = std::move(operands.back());
        operands.back() = std::move(e);
        return;
      }
      ExprPtr r = std::move(operands.back());
      operands.pop_back();
      operands.back() = binary(o.op, std::move(operands.back()), std::move(r), o.pos);
    };
    for (;;) {
      while (at(Tok::KwNot) && !pending_) {
        ops.push_back({Op::Not, kNotPrecedence, cur().pos});
        next();
      }
      operands.push_back(signedOperand());
      Op op;
      int precedence = precedenceOf(cur().type, op);
      if (precedence == 0) break;
      while (!ops.empty() && ops.back().precedence >= precedence) reduce();
      ops.push_back({op, precedence, cur().pos});
      next();
    }
    while (!ops.empty()) reduce();
    return std::move(operands.back());
  }

  // An operand with its signs. A sign binds tighter than ^: -3 ^ 2 is 9.
  ExprPtr signedOperand() {
    std::vector<std::pair<Op, SourcePos>> signs;
    while ((at(Tok::Minus) || at(Tok::Plus)) && !pending_) {
      signs.emplace_back(at(Tok::Minus) ? Op::Neg : Op::Plus, cur().pos);
      next();
    }
    ExprPtr e = postfix();
    for (auto it = signs.rbegin(); it != signs.rend(); ++it) {
      auto u = makeExpr(ExprKind::Unary, it->second);
      u->op = it->first;
      u->target = std::move(e);
      e = std::move(u);
    }
    return e;
  }

  ExprPtr primary() {
    if (pending_) return std::move(pending_);
    SourcePos p = cur().pos;
    switch (cur().type) {
      case Tok::Literal: {
        auto e = makeExpr(ExprKind::Literal, p);
        e->value = cur().value;
        next();
        return e;
      }
      case Tok::KwTrue:
      case Tok::KwFalse:
      case Tok::KwEmpty:
      case Tok::KwNull:
      case Tok::KwNothing:
        return literalKeyword();
      case Tok::Ident:
      case Tok::KwDefault:
      case Tok::KwError:
      case Tok::KwExplicit:
      case Tok::KwProperty:
      case Tok::KwStep: {
        auto e = makeExpr(ExprKind::Name, p);
        e->name = name();
        return e;
      }
      case Tok::KwMe:
        next();
        return makeExpr(ExprKind::Me, p);
      case Tok::LParen: {
        next();
        auto e = makeExpr(ExprKind::Paren, p);
        e->target = expr();
        expect(Tok::RParen, kErrCExpectedRParen);
        return e;
      }
      case Tok::Dot: {
        next();
        auto e = makeExpr(ExprKind::Member, p);
        e->name = memberName();
        return e;
      }
      case Tok::KwNew: {
        next();
        auto e = makeExpr(ExprKind::New, p);
        e->name = name();
        return e;
      }
      default:
        fail(kErrCExpectedExpression);
    }
  }

  // A primary followed by member accesses and argument lists.
  ExprPtr postfix() {
    ExprPtr e = primary();
    for (;;) {
      if (at(Tok::LParen) && e->kind != ExprKind::Literal && e->kind != ExprKind::New) {
        SourcePos p = cur().pos;
        next();
        auto call = makeExpr(ExprKind::Call, p);
        call->target = std::move(e);
        call->parens = true;
        if (!at(Tok::RParen)) {
          for (;;) {
            if (at(Tok::Comma) || at(Tok::RParen)) {
              call->args.push_back(makeExpr(ExprKind::Missing, cur().pos));
            } else {
              call->args.push_back(expr());
            }
            if (!accept(Tok::Comma)) break;
          }
        }
        expect(Tok::RParen, kErrCExpectedRParen);
        e = std::move(call);
        continue;
      }
      if (at(Tok::Dot) && cur().memberDot) {
        SourcePos p = cur().pos;
        next();
        auto m = makeExpr(ExprKind::Member, p);
        m->target = std::move(e);
        m->name = memberName();
        e = std::move(m);
        continue;
      }
      return e;
    }
  }

  std::vector<Token> toks_;
  size_t pos_ = 0;
  int stmtDepth_ = 0;
  int exprDepth_ = 0;
  bool inProcedure_ = false;
  ExprPtr pending_;  // a first argument already read by simpleStatement
};

}  // namespace

Program parseProgram(std::string_view source) { return Parser(source).program(); }

ExprPtr parseExpression(std::string_view source) { return Parser(source).onlyExpression(); }

}  // namespace tw::vbs
