// Expressions and names to bytecode: what a name means where it is used.
#include <algorithm>
#include <cassert>

#include "automation/variant_ops.h"
#include "vbs/builtins.h"
#include "vbs/proc_compiler.h"

namespace tw::vbs::compiling {

Binding ProcCompiler::resolve(const std::string& n, bool callee) {
  Binding b;
  if (auto it = locals_.find(n); it != locals_.end() && !(callee && it->second.isReturn)) {
    const LocalInfo& li = it->second;
    if (li.isConst) {
      b.kind = Binding::Constant;
      b.value = li.value;
      return b;
    }
    b.vk = li.byRef ? kVarRef : kVarLocal;
    b.a = li.slot;
    b.fixedArray = li.fixedArray;
    b.knownVariable = true;
    return b;
  }
  if (auto it = outer_.find(n); it != outer_.end()) {
    b.vk = it->second.byRef ? kVarUpRef : kVarUp;
    b.a = it->second.slot;
    b.knownVariable = true;
    return b;
  }
  if (cls_) {
    int32_t m = cls_->find(n);
    if (m >= 0) {
      const ClassMember& cm = cls_->members[static_cast<size_t>(m)];
      if (cm.kind == MemberKind::Field) {
        b.vk = kVarField;
        b.a = cm.field;
        b.fixedArray = cm.fixedArray;
        b.knownVariable = true;
      } else {
        b.kind = Binding::Member;
        b.member = m;
      }
      return b;
    }
  }
  // Script-level names declared by this unit or known to the module.
  VarKind gk = scope_ == Scope::Global ? kVarGlobal : kVarGlobalP;
  if (auto it = u_.declared.find(n); it != u_.declared.end()) {
    if (it->second.kind == UnitState::Decl::Constant) {
      b.kind = Binding::Constant;
      b.value = it->second.value;
      return b;
    }
    b.vk = gk;
    b.a = u_.mod.intern(n);
    b.knownVariable = it->second.kind == UnitState::Decl::Variable;
    b.fixedArray = it->second.fixedArray;
    return b;
  }
  int32_t existing = u_.mod.find(n);
  if (existing >= 0 && u_.mod.entry(existing).kind != EntryKind::Undefined) {
    const GlobalEntry& e = u_.mod.entry(existing);
    b.vk = gk;
    b.a = existing;
    b.knownVariable = e.kind == EntryKind::Variable;
    b.fixedArray = e.fixedArray;
    return b;
  }
  if (equalsNoCase(n, "err")) {
    b.kind = Binding::Err;
    return b;
  }
  static constexpr std::string_view kSpecial[] = {"eval", "execute", "executeglobal", "getref"};
  for (int i = 0; i < 4; ++i) {
    if (equalsNoCase(n, kSpecial[i])) {
      b.kind = Binding::Special;
      b.special = i;
      return b;
    }
  }
  if (const BuiltinConstant* c = findConstant(n)) {
    b.kind = Binding::Constant;
    b.value = c->value();
    return b;
  }
  if (const BuiltinFunction* f = findBuiltin(n)) {
    b.kind = Binding::Builtin;
    b.fn = static_cast<int32_t>(f - builtinFunctions().data());
    return b;
  }
  b.vk = gk;
  b.a = u_.mod.intern(n);
  if (auto it = implicit_.find(n); it != implicit_.end()) b.b = it->second.slot;
  return b;
}

void ProcCompiler::expr(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Literal:
      emit(OpCode::Const, 1, 0, 0, constIndex(e.value));
      return;
    case ExprKind::Missing:
      emit(OpCode::Missing, 1);
      return;
    case ExprKind::Paren:
      expr(*e.target);
      return;
    case ExprKind::Me:
      if (!cls_) fail(kErrCInvalidMe, e.pos);
      emit(OpCode::LdMe, 1);
      return;
    case ExprKind::New:
      emit(OpCode::New, 1, 0, 0, 0, newSite(e.name));
      return;
    case ExprKind::Unary: {
      // Signs and Nots in a row are compiled without recursion.
      std::vector<Op> ops;
      const Expr* operand = &e;
      while (operand->kind == ExprKind::Unary &&
             !(operand->op == Op::Neg && isNumericLiteral(*operand->target))) {
        ops.push_back(operand->op);
        operand = operand->target.get();
      }
      if (operand->kind == ExprKind::Unary) {
        emit(OpCode::Const, 1, 0, 0, constIndex(negate(operand->target->value)));
      } else {
        expr(*operand);
      }
      for (auto it = ops.rbegin(); it != ops.rend(); ++it) {
        if (*it == Op::Neg) emit(OpCode::Neg, 0);
        if (*it == Op::Not) emit(OpCode::Not, 0);
      }
      return;
    }
    case ExprKind::Binary:
      binary(e);
      return;
    case ExprKind::Name:
      name(e);
      return;
    case ExprKind::Member:
      objectOf(e);
      emit(OpCode::GetMbr, 0, 0, 0, 0, newSite(e.name));
      reserve(2);
      return;
    case ExprKind::Call: {
      const Expr& callee = *e.target;
      int n = static_cast<int>(e.args.size());
      checkArgCount(n, e.pos);
      if (callee.kind == ExprKind::Name) {
        nameCall(callee.name, e.args, false, e.pos);
        return;
      }
      if (callee.kind == ExprKind::Member) {
        memberCall(callee, e.args, false);
        return;
      }
      expr(callee);
      valueArgs(e.args);
      emit(OpCode::CallDef, -n, 0, static_cast<uint16_t>(n));
      reserve(2);
      return;
    }
  }
}

void ProcCompiler::binary(const Expr& e) {
  if (e.op == Op::Concat) {
    std::vector<const Expr*> parts;
    const Expr* p = &e;
    while (p->kind == ExprKind::Binary && p->op == Op::Concat) {
      parts.push_back(p->rhs.get());
      p = p->target.get();
    }
    parts.push_back(p);
    std::reverse(parts.begin(), parts.end());
    for (const Expr* x : parts) expr(*x);
    int n = static_cast<int>(parts.size());
    checkArgCount(n, e.pos);
    if (n == 2) {
      emit(OpCode::Cat, -1);
    } else {
      emit(OpCode::CatN, -(n - 1), 0, static_cast<uint16_t>(n));
    }
    return;
  }
  // Down the left operands first: a chain a + b + c ... of any length is
  // compiled without recursion.
  std::vector<const Expr*> chain;
  const Expr* left = &e;
  while (left->kind == ExprKind::Binary && left->op != Op::Concat) {
    chain.push_back(left);
    left = left->target.get();
  }
  int32_t leftStart = here();
  expr(*left);
  bool leftIsLoad = here() == leftStart + 1;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const Expr& op = **it;
    // A literal right operand is read by the operator from the constants.
    Variant literal;
    bool leftLiteral = isLiteralOperand(*op.target) || op.target->kind == ExprKind::Literal;
    if (op.op != Op::Pow && op.op != Op::Is && op.op < Op::And && !leftLiteral &&
        literalOperand(*op.rhs, literal)) {
      operation(op, constIndex(literal));
      if (it == chain.rbegin() && leftIsLoad) fuseLoad(leftStart);
    } else {
      expr(*op.rhs);
      operation(op, -1);
    }
  }
}

// A variable load followed by AddK, SubK or MulK becomes one instruction
// (the second stays for the slow path).
void ProcCompiler::fuseLoad(int32_t load) {
  Instr& first = proc_.code[static_cast<size_t>(load)];
  OpCode next = proc_.code[static_cast<size_t>(load) + 1].op;
  if (next != OpCode::AddK && next != OpCode::SubK && next != OpCode::MulK) return;
  int offset = static_cast<int>(next) - static_cast<int>(OpCode::AddK);
  if (first.op == OpCode::LdLoc) {
    first.op = static_cast<OpCode>(static_cast<int>(OpCode::LdLocAddK) + offset);
  } else if (first.op == OpCode::LdGlb) {
    first.op = static_cast<OpCode>(static_cast<int>(OpCode::LdGlbAddK) + offset);
  }
}

bool ProcCompiler::literalOperand(const Expr& e, Variant& out) {
  if (e.kind == ExprKind::Literal) {
    out = e.value;
    return true;
  }
  if (e.kind == ExprKind::Unary && e.op == Op::Neg && isNumericLiteral(*e.target)) {
    out = negate(e.target->value);
    return true;
  }
  return false;
}

void ProcCompiler::operation(const Expr& e, int32_t constant) {
  OpCode op;
  uint8_t k = 0;
  switch (e.op) {
    case Op::Add:
      op = OpCode::Add;
      break;
    case Op::Sub:
      op = OpCode::Sub;
      break;
    case Op::Mul:
      op = OpCode::Mul;
      break;
    case Op::Div:
      op = OpCode::Div;
      break;
    case Op::IntDiv:
      op = OpCode::IntDiv;
      break;
    case Op::Mod:
      op = OpCode::Mod;
      break;
    case Op::Pow:
      op = OpCode::Pow;
      break;
    case Op::Eq:
      op = OpCode::Eq;
      break;
    case Op::Ne:
      op = OpCode::Ne;
      break;
    case Op::Lt:
      op = OpCode::Lt;
      break;
    case Op::Gt:
      op = OpCode::Gt;
      break;
    case Op::Le:
      op = OpCode::Le;
      break;
    case Op::Ge:
      op = OpCode::Ge;
      break;
    case Op::Is:
      op = OpCode::Is;
      break;
    case Op::And:
      op = OpCode::And;
      break;
    case Op::Or:
      op = OpCode::Or;
      break;
    case Op::Xor:
      op = OpCode::Xor;
      break;
    case Op::Eqv:
      op = OpCode::Eqv;
      break;
    case Op::Imp:
      op = OpCode::Imp;
      break;
    default:
      fail(kErrCSyntax, e.pos);
  }
  if (op >= OpCode::Eq && op <= OpCode::Ge) {
    if (isLiteralOperand(*e.target)) k |= 1;
    if (isLiteralOperand(*e.rhs)) k |= 2;
  }
  if (constant < 0) {
    emit(op, -1, k);
    return;
  }
  int offset = op >= OpCode::Eq ? static_cast<int>(op) - static_cast<int>(OpCode::Eq) + 6
                                : static_cast<int>(op) - static_cast<int>(OpCode::Add);
  emit(static_cast<OpCode>(static_cast<int>(OpCode::AddK) + offset), 0, k, 0, 0, constant);
}

void ProcCompiler::name(const Expr& e) {
  Binding b = resolve(e.name);
  switch (b.kind) {
    case Binding::Variable:
      loadVariable(b);
      return;
    case Binding::Constant:
      emit(OpCode::Const, 1, 0, 0, constIndex(b.value));
      return;
    case Binding::Member: {
      emit(OpCode::CallMe, 1, 0, 0, b.member, newSite(e.name));
      reserve(2);
      return;
    }
    case Binding::Builtin:
      emit(OpCode::CallBi, 1, 0, 0, b.fn);
      return;
    case Binding::Err:
      emit(OpCode::LdErr, 1);
      return;
    case Binding::Special:
      // Eval and friends without arguments.
      emit(OpCode::Fail, 0, 0, 0, kErrWrongArgCount, nameIndex(e.name));
      emit(OpCode::Const, 1, 0, 0, constIndex(Variant()));
      return;
  }
}

}  // namespace tw::vbs::compiling
