// Statement rules: declarations, blocks, control flow, procedures and classes.
#include "vbs/parser_rules.h"

namespace tw::vbs::parsing {

void Parser::block(StmtList& out) {
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

StmtPtr Parser::statement() {
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

StmtPtr Parser::dim(SourcePos p, bool isPublic) {
  auto s = std::make_unique<Stmt>(StmtKind::Dim, p);
  s->isPublic = isPublic;
  do {
    s->vars.push_back(varDecl(false));
  } while (accept(Tok::Comma));
  return s;
}

VarDecl Parser::varDecl(bool redim) {
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

StmtPtr Parser::redim(SourcePos p) {
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

StmtPtr Parser::erase(SourcePos p) {
  auto s = std::make_unique<Stmt>(StmtKind::Erase, p);
  do {
    auto e = makeExpr(ExprKind::Name, cur().pos);
    e->name = name();
    s->targets.push_back(std::move(e));
  } while (accept(Tok::Comma));
  return s;
}

StmtPtr Parser::constStatement(SourcePos p, bool isPublic) {
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

ExprPtr Parser::constValue() {
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

ExprPtr Parser::literalKeyword() {
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

StmtPtr Parser::ifStatement(SourcePos p) {
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

void Parser::inlineStatements(StmtList& out, bool stopAtElse) {
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

StmtPtr Parser::selectStatement(SourcePos p) {
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

StmtPtr Parser::forStatement(SourcePos p) {
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

StmtPtr Parser::doStatement(SourcePos p) {
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

StmtPtr Parser::whileStatement(SourcePos p) {
  auto s = std::make_unique<Stmt>(StmtKind::While, p);
  s->cond = expr();
  endOfStatement();
  block(s->body);
  if (!at(Tok::KwWend)) fail(kErrCExpectedWend);
  next();
  return s;
}

StmtPtr Parser::exitStatement(SourcePos p) {
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

StmtPtr Parser::withStatement(SourcePos p) {
  auto s = std::make_unique<Stmt>(StmtKind::With, p);
  s->value = expr();
  endOfStatement();
  block(s->body);
  expectEnd(Tok::KwWith, kErrCExpectedWith);
  return s;
}

StmtPtr Parser::onError(SourcePos p) {
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

StmtPtr Parser::setStatement(SourcePos p) {
  auto s = std::make_unique<Stmt>(StmtKind::Set, p);
  s->target = postfix();
  checkAssignable(*s->target);
  expect(Tok::Eq, kErrCExpectedEqual);
  s->value = expr();
  return s;
}

StmtPtr Parser::callStatement(SourcePos p) {
  auto s = std::make_unique<Stmt>(StmtKind::Call, p);
  s->target = postfix();
  ExprKind k = s->target->kind;
  if (k != ExprKind::Name && k != ExprKind::Member && k != ExprKind::Call) fail(kErrCExpectedIdentifier, p);
  return s;
}

StmtPtr Parser::simpleStatement(SourcePos p) {
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
    if (target->args.size() != 1 || target->args[0]->kind == ExprKind::Missing) fail(kErrCParensOnSubCall, p);
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

void Parser::argumentList(std::vector<ExprPtr>& args) {
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

std::unique_ptr<ProcDecl> Parser::procedure(SourcePos p, bool isPublic, bool inClass) {
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

StmtPtr Parser::classStatement(SourcePos p) {
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

void Parser::fields(ClassDecl& c, bool isPublic) {
  do {
    FieldDecl f;
    f.var = varDecl(false);
    f.isPublic = isPublic;
    c.fields.push_back(std::move(f));
  } while (accept(Tok::Comma));
}

}  // namespace tw::vbs::parsing
