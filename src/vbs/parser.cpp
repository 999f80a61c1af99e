#include "vbs/parser.h"

#include "automation/text.h"
#include "vbs/lexer.h"
#include "vbs/parser_rules.h"

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

namespace parsing {

std::string Parser::name() {
  if (!atName()) fail(kErrCExpectedIdentifier);
  std::string n = cur().text;
  next();
  return n;
}

std::string Parser::memberName() {
  const Token& t = cur();
  if (t.type == Tok::Ident || (t.type >= Tok::KwAnd && !t.text.empty())) {
    std::string n = t.text;
    next();
    return n;
  }
  fail(kErrCExpectedIdentifier);
}

}  // namespace parsing

using parsing::Parser;

Program parseProgram(std::string_view source) { return Parser(source).program(); }

ExprPtr parseExpression(std::string_view source) { return Parser(source).onlyExpression(); }

}  // namespace tw::vbs
