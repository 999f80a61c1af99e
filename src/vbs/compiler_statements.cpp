// Statements of a procedure to bytecode: assignments, calls, blocks and loops.
#include <algorithm>
#include <cassert>

#include "automation/variant_ops.h"
#include "vbs/builtins.h"
#include "vbs/proc_compiler.h"

namespace tw::vbs::compiling {

void ProcCompiler::statement(const Stmt& s) {
  assert(depth_ == 0);
  int32_t start = here();
  proc_.lines.push_back({start, s.pos});
  switch (s.kind) {
    case StmtKind::Assign:
    case StmtKind::Set:
      assign(*s.target, *s.value, s.kind == StmtKind::Set);
      simpleRange(start);
      break;
    case StmtKind::Call:
      callStatement(*s.target);
      simpleRange(start);
      break;
    case StmtKind::Dim:
      // Declared before the code runs; arrays come to be when the line runs.
      if (scope_ != Scope::LocalSnippet && dimArrays(s)) simpleRange(start);
      break;
    case StmtKind::Const:
      if (scope_ == Scope::LocalSnippet) {
        for (const ConstDecl& c : s.consts) {
          emit(OpCode::Const, 1, 0, 0, constIndex(constantValue(*c.value)));
          emit(OpCode::StVar, -1, kVarGlobalP, 0, u_.mod.intern(c.name), -1);
        }
        simpleRange(start);
      }
      break;
    case StmtKind::ReDim:
      redim(s);
      simpleRange(start);
      break;
    case StmtKind::Erase:
      for (const ExprPtr& t : s.targets) {
        Binding b = resolve(t->name);
        if (b.kind != Binding::Variable) {
          emit(OpCode::Fail, 0, 0, 0, kErrTypeMismatch, nameIndex(t->name));
          continue;
        }
        emit(OpCode::Erase, 0, b.vk, b.fixedArray ? 1 : 0, b.a, b.b);
      }
      simpleRange(start);
      break;
    case StmtKind::If:
      ifStatement(s);
      break;
    case StmtKind::Select:
      selectStatement(s);
      break;
    case StmtKind::For:
      forStatement(s);
      break;
    case StmtKind::ForEach:
      forEachStatement(s);
      break;
    case StmtKind::Do:
      doStatement(s);
      break;
    case StmtKind::While:
      whileStatement(s);
      break;
    case StmtKind::Exit:
      exitStatement(s);
      simpleRange(start);
      break;
    case StmtKind::With:
      withStatement(s);
      break;
    case StmtKind::OnErrorResumeNext:
      emit(OpCode::OnErrResume, 0);
      simpleRange(start);
      break;
    case StmtKind::OnErrorGoto0:
      emit(OpCode::OnErrGoto0, 0);
      simpleRange(start);
      break;
    case StmtKind::OptionExplicit:
    case StmtKind::Stop:
      break;
    case StmtKind::Procedure:
    case StmtKind::Class:
      if (scope_ == Scope::Procedure) fail(kErrCSyntax, s.pos);
      break;  // compiled separately
  }
}

void ProcCompiler::assign(const Expr& target, const Expr& value, bool isSet) {
  uint8_t setFlag = isSet ? kPutSet : 0;
  switch (target.kind) {
    case ExprKind::Name: {
      Binding b = resolve(target.name);
      if (b.kind == Binding::Variable) {
        if (!isSet && tryAppend(b, target.name, value)) return;
        rhs(value, isSet);
        storeVariable(b);
        return;
      }
      if (b.kind == Binding::Member) {
        const ClassMember& m = cls_->members[static_cast<size_t>(b.member)];
        if (m.kind == MemberKind::Property) {
          rhs(value, isSet);
          emit(OpCode::PutMe, -1, setFlag, 0, b.member);
          return;
        }
      }
      rhs(value, isSet);
      emit(OpCode::Pop, -1);
      emit(OpCode::Fail, 0, 0, 0, kErrIllegalAssignment, nameIndex(target.name));
      return;
    }
    case ExprKind::Member: {
      objectOf(target);
      rhs(value, isSet);
      emit(OpCode::PutMbr, -2, setFlag, 0, 0, newSite(target.name));
      return;
    }
    case ExprKind::Call: {
      const Expr& callee = *target.target;
      int n = static_cast<int>(target.args.size());
      checkArgCount(n, target.pos);
      if (callee.kind == ExprKind::Name) {
        Binding b = resolve(callee.name);
        if (b.kind == Binding::Variable) {
          valueArgs(target.args);
          rhs(value, isSet);
          emit(OpCode::StIndex, -(n + 1), b.vk, static_cast<uint16_t>(n), b.a, (b.b << 1) | setFlag);
          return;
        }
        if (b.kind == Binding::Member) {
          valueArgs(target.args);
          rhs(value, isSet);
          emit(OpCode::PutMe, -(n + 1), setFlag, static_cast<uint16_t>(n), b.member);
          return;
        }
        valueArgs(target.args);
        rhs(value, isSet);
        emit(OpCode::Fail, 0, 0, 0, kErrIllegalAssignment, nameIndex(callee.name));
        for (int i = 0; i <= n; ++i) emit(OpCode::Pop, -1);
        return;
      }
      if (callee.kind == ExprKind::Member) {
        objectOf(callee);
        valueArgs(target.args);
        rhs(value, isSet);
        emit(OpCode::PutMbr, -(n + 2), setFlag, static_cast<uint16_t>(n), 0, newSite(callee.name));
        return;
      }
      expr(callee);
      valueArgs(target.args);
      rhs(value, isSet);
      emit(OpCode::PutDef, -(n + 2), setFlag, static_cast<uint16_t>(n));
      return;
    }
    default:
      fail(kErrCExpectedStatement, target.pos);
  }
}

void ProcCompiler::rhs(const Expr& value, bool isSet) {
  expr(value);
  if (isSet) {
    if (!(value.kind == ExprKind::Literal && value.value.isObject()) && value.kind != ExprKind::New)
      emit(OpCode::SetChk, 0);
  } else if (mayBeObject(value)) {
    emit(OpCode::LetVal, 0);
  }
}

bool ProcCompiler::tryAppend(const Binding& b, const std::string& name, const Expr& value) {
  if (value.kind != ExprKind::Binary || value.op != Op::Concat) return false;
  std::vector<const Expr*> parts;
  const Expr* e = &value;
  while (e->kind == ExprKind::Binary && e->op == Op::Concat) {
    parts.push_back(e->rhs.get());
    e = e->target.get();
  }
  if (e->kind != ExprKind::Name || !equalsNoCase(e->name, name)) return false;
  std::reverse(parts.begin(), parts.end());
  for (const Expr* p : parts) expr(*p);
  int n = static_cast<int>(parts.size());
  checkArgCount(n, value.pos);
  emit(OpCode::Append, -n, b.vk, static_cast<uint16_t>(n), b.a, b.b);
  return true;
}

void ProcCompiler::storeVariable(const Binding& b) {
  switch (b.vk) {
    case kVarLocal:
      emit(OpCode::StLoc, -1, 0, 0, b.a);
      break;
    case kVarRef:
      emit(OpCode::StRef, -1, 0, 0, b.a);
      break;
    case kVarField:
      emit(OpCode::StFld, -1, 0, 0, b.a);
      break;
    case kVarGlobal:
    case kVarGlobalP:
      emit(OpCode::StGlb, -1, b.vk, 0, b.a, b.b);
      break;
    default:
      emit(OpCode::StVar, -1, b.vk, 0, b.a, b.b);
      break;
  }
}

void ProcCompiler::loadVariable(const Binding& b) {
  switch (b.vk) {
    case kVarLocal:
      emit(OpCode::LdLoc, 1, 0, 0, b.a);
      break;
    case kVarRef:
      emit(OpCode::LdRef, 1, 0, 0, b.a);
      break;
    case kVarField:
      emit(OpCode::LdFld, 1, 0, 0, b.a);
      break;
    default:
      emit(b.vk == kVarGlobal || b.vk == kVarGlobalP ? OpCode::LdGlb : OpCode::LdVar, 1, b.vk, 0, b.a, b.b);
      reserve(2);
      break;
  }
}

void ProcCompiler::objectOf(const Expr& member) {
  if (member.target) {
    expr(*member.target);
  } else {
    if (withSlots_.empty()) {
      // ".x" outside any With fails when it runs, not when compiled.
      emit(OpCode::Fail, 0, 0, 0, kErrInvalidReference, nameIndex(member.name));
      emit(OpCode::Const, 1, 0, 0, constIndex(Variant()));
      return;
    }
    emit(OpCode::LdLoc, 1, 0, 0, withSlots_.back());
  }
}

void ProcCompiler::callStatement(const Expr& target) {
  switch (target.kind) {
    case ExprKind::Name:
      nameCall(target.name, {}, true, target.pos);
      return;
    case ExprKind::Member:
      objectOf(target);
      emit(OpCode::GetMbr, -1, kCallStatement, 0, 0, newSite(target.name));
      return;
    case ExprKind::Call: {
      const Expr* inner = target.target.get();
      while (inner->kind == ExprKind::Paren) inner = inner->target.get();
      const Expr& callee = *inner;
      if (callee.kind == ExprKind::Name) {
        nameCall(callee.name, target.args, true, target.pos);
        return;
      }
      if (callee.kind == ExprKind::Member) {
        memberCall(callee, target.args, true);
        return;
      }
      expr(target);
      emit(OpCode::Pop, -1);
      return;
    }
    default:
      expr(target);
      emit(OpCode::Pop, -1);
      return;
  }
}

void ProcCompiler::memberCall(const Expr& callee, const std::vector<ExprPtr>& args, bool statement) {
  objectOf(callee);
  int32_t site = newSite(callee.name);
  int n = refArgs(args, site);
  emit(OpCode::GetMbr, statement ? -(n + 1) : -n, statement ? kCallStatement : 0, static_cast<uint16_t>(n), 0,
       site);
  reserve(2);
}

void ProcCompiler::nameCall(const std::string& name, const std::vector<ExprPtr>& args, bool statement,
                            SourcePos pos) {
  Binding b = resolve(name, true);
  int n = static_cast<int>(args.size());
  checkArgCount(n, pos);
  switch (b.kind) {
    case Binding::Variable:
      if (b.knownVariable || b.vk == kVarField || b.vk == kVarLocal || b.vk == kVarRef || b.vk == kVarUp ||
          b.vk == kVarUpRef) {
        valueArgs(args);
        emit(OpCode::Index, -n + 1, b.vk, static_cast<uint16_t>(n), b.a, b.b);
        reserve(2);
        if (statement) emit(OpCode::Pop, -1);
        return;
      }
      {
        int32_t site = newSite(name);
        refArgs(args, site);
        emit(OpCode::CallGlb, statement ? -n : -n + 1, statement ? kCallStatement : 0,
             static_cast<uint16_t>(n), b.a, site);
        proc_.sites[static_cast<size_t>(site)].fallback = b.b;
        reserve(2);
      }
      return;
    case Binding::Constant:
      emit(OpCode::Const, 1, 0, 0, constIndex(b.value));
      if (n > 0) {
        valueArgs(args);
        emit(OpCode::CallDef, -n, 0, static_cast<uint16_t>(n));
      }
      if (statement) emit(OpCode::Pop, -1);
      return;
    case Binding::Member: {
      int32_t site = newSite(name);
      refArgs(args, site);
      emit(OpCode::CallMe, statement ? -n : -n + 1, statement ? kCallStatement : 0, static_cast<uint16_t>(n),
           b.member, site);
      reserve(2);
      return;
    }
    case Binding::Builtin:
      valueArgs(args);
      emit(OpCode::CallBi, -n + 1, 0, static_cast<uint16_t>(n), b.fn);
      reserve(1);
      if (statement) {
        // A conversion function called as a statement: its value has
        // nowhere to go, error 458 as on Windows.
        if (isConversion(name)) emit(OpCode::Fail, 0, 0, 0, kErrUnsupportedType, nameIndex(name));
        emit(OpCode::Pop, -1);
      }
      return;
    case Binding::Err:
      emit(OpCode::LdErr, 1);
      if (n > 0) {
        valueArgs(args);
        emit(OpCode::CallDef, -n, 0, static_cast<uint16_t>(n));
      }
      if (statement) emit(OpCode::Pop, -1);
      return;
    case Binding::Special: {
      if (n != 1 || args[0]->kind == ExprKind::Missing) {
        valueArgs(args);
        emit(OpCode::Fail, 0, 0, 0, kErrWrongArgCount, nameIndex(name));
        for (int i = 0; i < n; ++i) emit(OpCode::Pop, -1);
        if (!statement) emit(OpCode::Const, 1, 0, 0, constIndex(Variant()));
        return;
      }
      expr(*args[0]);
      if (b.special == 3) {
        emit(OpCode::GetRef, 0);
      } else {
        emit(OpCode::Eval, 0, static_cast<uint8_t>(b.special));
        reserve(2);
      }
      if (statement) emit(OpCode::Pop, -1);
      return;
    }
  }
}

void ProcCompiler::valueArgs(const std::vector<ExprPtr>& args) {
  for (const ExprPtr& a : args) {
    if (a->kind == ExprKind::Missing) {
      emit(OpCode::Missing, 1);
    } else {
      expr(*a);
    }
  }
}

int ProcCompiler::refArgs(const std::vector<ExprPtr>& args, int32_t site) {
  int i = 0;
  for (const ExprPtr& a : args) {
    bool ref = false;
    if (i < 64) {
      if (a->kind == ExprKind::Name) {
        Binding b = resolve(a->name);
        if (b.kind == Binding::Variable) {
          emit(OpCode::ArgVar, 1, b.vk, 0, b.a, b.b);
          reserve(2);
          ref = true;
        }
      } else if (a->kind == ExprKind::Call && a->target->kind == ExprKind::Name && !a->args.empty()) {
        Binding b = resolve(a->target->name);
        bool anyMissing = false;
        for (const ExprPtr& x : a->args) anyMissing |= x->kind == ExprKind::Missing;
        if (b.kind == Binding::Variable && b.knownVariable && !anyMissing) {
          int n = static_cast<int>(a->args.size());
          valueArgs(a->args);
          emit(OpCode::ArgElem, -n + 1, b.vk, static_cast<uint16_t>(n), b.a, b.b);
          reserve(2);
          proc_.sites[static_cast<size_t>(site)].elemRefs++;
          ref = true;
        }
      }
    }
    if (ref) {
      proc_.sites[static_cast<size_t>(site)].refMask |= uint64_t{1} << i;
    } else if (a->kind == ExprKind::Missing) {
      emit(OpCode::Missing, 1);
    } else {
      expr(*a);
    }
    ++i;
  }
  return i;
}

bool ProcCompiler::isConversion(std::string_view name) {
  static constexpr std::string_view kNames[] = {"cbool", "cbyte", "ccur", "cdate", "cdbl",
                                                "cint",  "clng",  "csng", "cstr"};
  for (std::string_view n : kNames)
    if (equalsNoCase(n, name)) return true;
  return false;
}

bool ProcCompiler::dimArrays(const Stmt& s) {
  bool any = false;
  for (const VarDecl& v : s.vars) {
    if (v.bounds.empty() && !v.isArray) continue;
    Binding b = resolve(v.name);
    if (b.kind != Binding::Variable) continue;
    for (const ExprPtr& e : v.bounds) emit(OpCode::Const, 1, 0, 0, constIndex(Variant::long_(constantValue(*e).toLong())));
    int n = static_cast<int>(v.bounds.size());
    emit(OpCode::InitArr, -n, b.vk, static_cast<uint16_t>(n), b.a, b.b);
    any = true;
  }
  return any;
}

void ProcCompiler::redim(const Stmt& s) {
  for (const VarDecl& v : s.vars) {
    Binding b = resolve(v.name);
    int n = static_cast<int>(v.bounds.size());
    for (const ExprPtr& e : v.bounds) expr(*e);
    if (b.kind != Binding::Variable) {
      for (int i = 0; i < n; ++i) emit(OpCode::Pop, -1);
      emit(OpCode::Fail, 0, 0, 0, kErrIllegalAssignment, nameIndex(v.name));
      continue;
    }
    int32_t flags = (s.preserve ? 1 : 0) | (b.fixedArray ? 2 : 0);
    // The local used when the name is not global goes in the upper bits.
    emit(OpCode::ReDim, -n, b.vk, static_cast<uint16_t>(n), b.a, flags | ((b.b + 1) << 2));
  }
}

void ProcCompiler::ifStatement(const Stmt& s) {
  std::vector<int32_t> ends;
  bool first = true;
  for (const IfBranch& br : s.branches) {
    int32_t start = here();
    if (!first) proc_.lines.push_back({start, br.cond->pos});
    first = false;
    condition(*br.cond);
    int32_t jf = emit(OpCode::JmpF, -1);
    conditionRange(start);
    block(br.body);
    ends.push_back(emit(OpCode::Jmp, 0));
    jumpTo(jf, here());
  }
  if (s.hasElse) block(s.elseBody);
  for (int32_t j : ends) jumpTo(j, here());
}

void ProcCompiler::selectStatement(const Stmt& s) {
  int32_t start = here();
  int32_t h = hidden(1);
  expr(*s.value);
  if (mayBeObject(*s.value)) emit(OpCode::LetVal, 0);
  emit(OpCode::StLoc, -1, 0, 0, h);
  std::vector<int32_t> endJumps;
  std::vector<int32_t> headerFix;  // resume ranges to point at the end
  proc_.resumes.push_back({start, here(), -1});
  headerFix.push_back(static_cast<int32_t>(proc_.resumes.size() - 1));
  // Tests, each jumping to its body.
  std::vector<std::vector<int32_t>> bodyJumps(s.cases.size());
  for (size_t i = 0; i < s.cases.size(); ++i) {
    const CaseClause& c = s.cases[i];
    for (const ExprPtr& v : c.values) {
      int32_t ts = here();
      proc_.lines.push_back({ts, c.pos});
      emit(OpCode::LdLoc, 1, 0, 0, h);
      expr(*v);
      uint8_t lit =
          isNumericLiteral(*v) || (v->kind == ExprKind::Unary && isNumericLiteral(*v->target)) ? 2 : 0;
      emit(OpCode::Eq, -1, lit);
      bodyJumps[i].push_back(emit(OpCode::JmpT, -1));
      proc_.resumes.push_back({ts, here(), -1});
      headerFix.push_back(static_cast<int32_t>(proc_.resumes.size() - 1));
    }
  }
  int32_t toElse = emit(OpCode::Jmp, 0);
  int32_t firstBody = -1;
  for (size_t i = 0; i < s.cases.size(); ++i) {
    for (int32_t j : bodyJumps[i]) jumpTo(j, here());
    if (i == 0) firstBody = here();
    block(s.cases[i].body);
    endJumps.push_back(emit(OpCode::Jmp, 0));
  }
  jumpTo(toElse, here());
  if (firstBody < 0) firstBody = here();
  if (s.hasElse) block(s.elseBody);
  int32_t end = here();
  for (int32_t j : endJumps) jumpTo(j, end);
  for (int32_t r : headerFix) proc_.resumes[static_cast<size_t>(r)].next = end;
  // A selector that fails under On Error Resume Next goes on into the
  // first body, as the next statement after the failing one.
  proc_.resumes[static_cast<size_t>(headerFix[0])].next = firstBody;
  emit(OpCode::ClearLoc, 0, 0, 1, h);
}

void ProcCompiler::forStatement(const Stmt& s) {
  int32_t start = here();
  Binding var = loopVariable(*s.target);
  int32_t h = hidden(2);
  expr(*s.value);
  if (mayBeObject(*s.value)) emit(OpCode::LetVal, 0);
  expr(*s.limit);
  if (mayBeObject(*s.limit)) emit(OpCode::LetVal, 0);
  if (s.step) {
    expr(*s.step);
    if (mayBeObject(*s.step)) emit(OpCode::LetVal, 0);
  } else {
    emit(OpCode::Const, 1, 0, 0, constIndex(Variant::integer(1)));
  }
  int32_t init = emit(OpCode::ForInit, -3, var.vk, static_cast<uint16_t>(h), var.a, 0);
  proc_.resumes.push_back({start, here(), -1});
  size_t headerRange = proc_.resumes.size() - 1;
  int32_t body = here();
  loops_.push_back({true, {}});
  block(s.body);
  int32_t nextPc = here();
  proc_.lines.push_back({nextPc, s.pos});
  emit(OpCode::ForNext, 0, var.vk, static_cast<uint16_t>(h), var.a, body);
  proc_.resumes.push_back({nextPc, here(), -1});
  size_t nextRange = proc_.resumes.size() - 1;
  int32_t exit = here();
  emit(OpCode::ClearLoc, 0, 0, 2, h);
  proc_.code[static_cast<size_t>(init)].b = exit;
  // A header that fails under On Error Resume Next runs the body once: its
  // next statement; the loop's end then finds no loop state and stops.
  proc_.resumes[headerRange].next = body;
  proc_.resumes[nextRange].next = exit;
  for (int32_t j : loops_.back().exits) jumpTo(j, exit);
  loops_.pop_back();
  varFallback(var, init);
  varFallback(var, nextPc);
}

void ProcCompiler::forEachStatement(const Stmt& s) {
  int32_t start = here();
  Binding var = loopVariable(*s.target);
  int32_t h = hidden(2);
  expr(*s.value);
  int32_t init = emit(OpCode::EachInit, -1, var.vk, static_cast<uint16_t>(h), var.a, 0);
  proc_.resumes.push_back({start, here(), -1});
  size_t headerRange = proc_.resumes.size() - 1;
  int32_t body = here();
  loops_.push_back({true, {}});
  block(s.body);
  int32_t nextPc = here();
  proc_.lines.push_back({nextPc, s.pos});
  emit(OpCode::EachNext, 0, var.vk, static_cast<uint16_t>(h), var.a, body);
  proc_.resumes.push_back({nextPc, here(), -1});
  size_t nextRange = proc_.resumes.size() - 1;
  int32_t exit = here();
  emit(OpCode::ClearLoc, 0, 0, 2, h);
  proc_.code[static_cast<size_t>(init)].b = exit;
  // A header that fails under On Error Resume Next runs the body once: its
  // next statement; the loop's end then finds no loop state and stops.
  proc_.resumes[headerRange].next = body;
  proc_.resumes[nextRange].next = exit;
  for (int32_t j : loops_.back().exits) jumpTo(j, exit);
  loops_.pop_back();
  varFallback(var, init);
  varFallback(var, nextPc);
}

void ProcCompiler::doStatement(const Stmt& s) {
  int32_t top = here();
  int32_t exitJump = -1;
  if (s.cond && s.testFirst) {
    condition(*s.cond);
    exitJump = emit(s.until ? OpCode::JmpT : OpCode::JmpF, -1);
    conditionRange(top);
  }
  loops_.push_back({false, {}});
  block(s.body);
  if (s.cond && !s.testFirst) {
    int32_t cs = here();
    proc_.lines.push_back({cs, s.cond->pos});
    condition(*s.cond);
    // Loop While c: back while true; Loop Until c: back while false.
    emit(OpCode::Loop, -1, s.until ? 2 : 1, 0, top);
    proc_.resumes.push_back({cs, here(), here()});
  } else {
    emit(OpCode::Loop, 0, 0, 0, top);
  }
  int32_t exit = here();
  if (exitJump >= 0) jumpTo(exitJump, exit);
  for (int32_t j : loops_.back().exits) jumpTo(j, exit);
  loops_.pop_back();
}

void ProcCompiler::whileStatement(const Stmt& s) {
  int32_t top = here();
  condition(*s.cond);
  int32_t exitJump = emit(OpCode::JmpF, -1);
  conditionRange(top);
  loops_.push_back({false, {}, true});
  block(s.body);
  emit(OpCode::Loop, 0, 0, 0, top);
  jumpTo(exitJump, here());
  loops_.pop_back();
}

void ProcCompiler::exitStatement(const Stmt& s) {
  switch (s.exitKind) {
    case ExitKind::Do:
    case ExitKind::For: {
      bool wantFor = s.exitKind == ExitKind::For;
      for (auto it = loops_.rbegin(); it != loops_.rend(); ++it) {
        if (it->isWhileWend) continue;
        if (it->isFor == wantFor) {
          it->exits.push_back(emit(OpCode::Jmp, 0));
          return;
        }
      }
      fail(kErrCInvalidExit, s.pos);
    }
    case ExitKind::Sub:
      if (proc_.type != ProcType::Sub) fail(kErrCInvalidExit, s.pos);
      emit(OpCode::Ret, 0);
      return;
    case ExitKind::Function:
      if (proc_.type != ProcType::Function) fail(kErrCInvalidExit, s.pos);
      emit(OpCode::Ret, 0);
      return;
    case ExitKind::Property:
      if (proc_.type != ProcType::PropertyGet && proc_.type != ProcType::PropertyLet &&
          proc_.type != ProcType::PropertySet)
        fail(kErrCInvalidExit, s.pos);
      emit(OpCode::Ret, 0);
      return;
  }
}

void ProcCompiler::withStatement(const Stmt& s) {
  int32_t start = here();
  int32_t h = hidden(1);
  expr(*s.value);
  emit(OpCode::StLoc, -1, 0, 0, h);
  simpleRange(start);
  withSlots_.push_back(h);
  block(s.body);
  withSlots_.pop_back();
  emit(OpCode::ClearLoc, 0, 0, 1, h);
}

}  // namespace tw::vbs::compiling
