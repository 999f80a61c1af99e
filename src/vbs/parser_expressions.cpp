// Expression rules: operators by precedence, operands, calls and members.
#include "vbs/parser_rules.h"

namespace tw::vbs::parsing {

ExprPtr Parser::binary(Op op, ExprPtr l, ExprPtr r, SourcePos p) {
  auto e = makeExpr(ExprKind::Binary, p);
  e->op = op;
  e->target = std::move(l);
  e->rhs = std::move(r);
  return e;
}

int Parser::precedenceOf(Tok t, Op& op) {
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

ExprPtr Parser::operatorExpr() {
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

ExprPtr Parser::signedOperand() {
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

ExprPtr Parser::primary() {
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

ExprPtr Parser::postfix() {
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

}  // namespace tw::vbs::parsing
