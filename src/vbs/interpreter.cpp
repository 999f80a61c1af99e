// The interpreter loop: one switch over the instructions of the running
// frame; calls into script procedures push frames instead of recursing.
#include "vbs/interpreter.h"
#include "vbs/compiler.h"
#include "vbs/parser.h"

namespace tw::vbs {

using namespace vm;

Variant Runtime::execute(Frame* entry) {
  char here;
  if (nesting_ == 0) stackBase_ = &here;
  if (nesting_ >= kMaxNesting ||
      (stackBase_ && static_cast<size_t>(std::abs(stackBase_ - &here)) > kMaxCStack)) {
    freeFrame(entry);
    raise(kErrOutOfStack);
  }
  ++nesting_;
  struct NestingGuard {
    int32_t& n;
    ~NestingGuard() { --n; }
  } guard{nesting_};

  Frame* f = entry;
  const Instr* ip = f->ip;
  Variant* sp = f->sp;

  for (;;) {
    try {
      for (;;) {
        const Instr& in = *ip;
        switch (in.op) {
          case OpCode::Const:
            *sp = f->proc->consts[static_cast<size_t>(in.a)];
            ++sp;
            ++ip;
            continue;
          case OpCode::Pop:
            (--sp)->clear();
            ++ip;
            continue;
          case OpCode::Missing:
            *sp = Variant::error(kMissingArg);
            ++sp;
            ++ip;
            continue;
          case OpCode::LdLoc:
            *sp = f->locals[in.a];
            ++sp;
            ++ip;
            continue;
          case OpCode::StLoc:
            --sp;
            assignTo(f->locals[in.a], std::move(*sp));
            ++ip;
            continue;
          case OpCode::LdRef:
            *sp = *f->refs[in.a];
            ++sp;
            ++ip;
            continue;
          case OpCode::StRef:
            --sp;
            assignTo(*f->refs[in.a], std::move(*sp));
            ++ip;
            continue;
          case OpCode::LdFld:
            *sp = f->me->field(in.a);
            ++sp;
            ++ip;
            continue;
          case OpCode::StFld:
            --sp;
            assignTo(f->me->field(in.a), std::move(*sp));
            ++ip;
            continue;
          case OpCode::LdMe:
            *sp = Variant(static_cast<Dispatch*>(f->me));
            ++sp;
            ++ip;
            continue;
          case OpCode::LdErr:
            *sp = Variant(errObject_.get());
            ++sp;
            ++ip;
            continue;

          case OpCode::LdGlb: {
            GlobalEntry& e = f->module->entry(in.a);
            if (e.kind == EntryKind::Variable) {
              *sp = e.value;
              ++sp;
              ++ip;
              continue;
            }
          }
            [[fallthrough]];
          case OpCode::LdVar: {
            Variant* v = variable(*this, f, in.k, in.a, in.b, Access::Read);
            if (v) {
              *sp = *v;
              ++sp;
              ++ip;
              continue;
            }
            GlobalEntry& e = f->module->entry(in.a);
            if (e.kind == EntryKind::HostMember) {
              Ref<Dispatch> obj(e.value.rawObject());
              *sp = obj->invoke(e.member, kInvokeGet | kInvokeMethod, {});
              ++sp;
              ++ip;
              continue;
            }
            // A procedure named without arguments: call it.
            Proc& p = *e.proc;
            f->ip = ip;
            f->sp = sp;
            Frame* nf = newFrame(p, *f->module, nullptr, f);
            if (p.nParams != 0) {
              freeFrame(nf);
              raiseNamed(kErrWrongArgCount, p.name);
            }
            tick();
            f = nf;
            ip = f->code;
            sp = f->sp;
            continue;
          }
          case OpCode::StGlb: {
            GlobalEntry& e = f->module->entry(in.a);
            if (e.kind == EntryKind::Variable) {
              --sp;
              assignTo(e.value, std::move(*sp));
              ++ip;
              continue;
            }
          }
            [[fallthrough]];
          case OpCode::StVar: {
            Variant* v = variable(*this, f, in.k, in.a, in.b, Access::Write);
            --sp;
            if (v) {
              assignTo(*v, std::move(*sp));
              ++ip;
              continue;
            }
            GlobalEntry& e = f->module->entry(in.a);
            if (e.kind == EntryKind::HostMember) {
              Ref<Dispatch> obj(e.value.rawObject());
              e.value.rawObject()->invoke(e.member, kInvokePut, Args(sp, 1));
              sp->clear();
              ++ip;
              continue;
            }
            raiseNamed(kErrIllegalAssignment, e.name);
          }
          case OpCode::ArgVar: {
            Variant* v = nullptr;
            bool byValue = false;
            if (in.k == kVarGlobal || in.k == kVarGlobalP) {
              GlobalEntry& e = f->module->entry(in.a);
              if (e.kind == EntryKind::Undefined) resolveHost(*this, e);
              if (e.kind == EntryKind::Constant || e.kind == EntryKind::HostObject) {
                v = &e.value;
                byValue = true;
              } else if (e.kind == EntryKind::HostMember) {
                Ref<Dispatch> obj(e.value.rawObject());
                f->refStack[sp - f->stack] = nullptr;
                *sp = obj->invoke(e.member, kInvokeGet | kInvokeMethod, {});
                ++sp;
                ++ip;
                continue;
              } else if (e.kind == EntryKind::Procedure) {
                Proc& p = *e.proc;
                f->refStack[sp - f->stack] = nullptr;
                f->ip = ip;
                f->sp = sp;
                Frame* nf = newFrame(p, *f->module, nullptr, f);
                if (p.nParams != 0) {
                  freeFrame(nf);
                  raiseNamed(kErrWrongArgCount, p.name);
                }
                f = nf;
                ip = f->code;
                sp = f->sp;
                continue;
              } else {
                v = variable(*this, f, in.k, in.a, in.b, Access::Ref);
              }
            } else {
              v = variable(*this, f, in.k, in.a, in.b, Access::Ref);
            }
            f->refStack[sp - f->stack] = byValue ? nullptr : v;
            *sp = *v;
            ++sp;
            ++ip;
            continue;
          }
          case OpCode::ArgElem: {
            sp = argElement(f, in, sp);
            ++ip;
            continue;
          }
          case OpCode::Index: {
            sp = indexed(f, in, sp);
            ++ip;
            continue;
          }
          case OpCode::StIndex: {
            sp = storeIndex(f, in, sp);
            ++ip;
            continue;
          }
          case OpCode::Erase: {
            erase(f, in);
            ++ip;
            continue;
          }
          case OpCode::ReDim:
          case OpCode::InitArr: {
            sp = dimension(f, in, sp);
            ++ip;
            continue;
          }

          case OpCode::CallGlb: {
            int n = in.n;
            CallSite& site = f->proc->sites[static_cast<size_t>(in.b)];
            GlobalEntry& e = f->module->entry(in.a);
            Variant* args = sp - n;
            bool statement = in.k & kCallStatement;
            if (e.kind == EntryKind::Procedure) {
              Proc& p = *e.proc;
              f->ip = ip;
              f->sp = args;
              Frame* nf = newFrame(p, *f->module, nullptr, f);
              try {
                bindArgs(nf, args, f->refStack + (args - f->stack), site.refMask, n);
              } catch (...) {
                freeFrame(nf);
                throw;
              }
              nf->discard = statement;
              nf->unlockCount = site.elemRefs;
              tick();
              f = nf;
              ip = f->code;
              sp = f->sp;
              continue;
            }
            Variant result;
            if (e.kind == EntryKind::Undefined && !resolveHost(*this, e)) {
              Variant* v = nullptr;
              if (site.fallback >= 0) {
                v = &f->locals[site.fallback];
              } else if (f->scope->dyn) {
                auto it = f->scope->dyn->find(e.name);
                if (it != f->scope->dyn->end()) v = it->second.get();
              }
              if (!v) {
                if (f->proc->optionExplicit) raiseNamed(kErrUndefinedVariable, e.name);
                if (n == 0 && !statement) {
                  v = const_cast<Variant*>(&emptyVariant());
                } else {
                  raiseNamed(kErrTypeMismatch, e.name);
                }
              }
              result = indexValue(*v, args, n);
            } else if (e.kind == EntryKind::HostMember) {
              Ref<Dispatch> obj(e.value.rawObject());
              result = obj->invoke(e.member, statement ? kInvokeMethod : kInvokeGet | kInvokeMethod,
                                   Args(args, static_cast<size_t>(n)));
              writeBack(args, f->refStack + (args - f->stack), &site, n);
            } else if (e.kind == EntryKind::Procedure) {
              continue;  // resolved meanwhile: run the instruction again
            } else {
              result = indexValue(e.value, args, n, statement ? kInvokeMethod : kInvokeGet | kInvokeMethod);
            }
            clearSlots(args, n);
            unlockTo(locks_.size() - site.elemRefs);
            sp = args;
            if (!statement) {
              *sp = std::move(result);
              ++sp;
            }
            ++ip;
            continue;
          }

          case OpCode::CallMe: {
            int n = in.n;
            CallSite& site = f->proc->sites[static_cast<size_t>(in.b)];
            const ClassMember& m = f->me->cls().members[static_cast<size_t>(in.a)];
            Proc* p = m.kind == MemberKind::Method ? m.method.get() : m.get.get();
            if (!p) raiseNamed(kErrNoSuchMember, m.name);
            Variant* args = sp - n;
            bool statement = in.k & kCallStatement;
            if (n > 0 && p->nParams == 0) {
              // Items(0) of a member without parameters indexes its value.
              f->ip = ip;
              f->sp = sp;
              Variant inner = call(*p, f->me, f->me->module(), {});
              Variant result = indexValue(inner, args, n);
              clearSlots(args, n);
              unlockTo(locks_.size() - site.elemRefs);
              sp = args;
              if (!statement) {
                *sp = std::move(result);
                ++sp;
              }
              ++ip;
              continue;
            }
            f->ip = ip;
            f->sp = args;
            Frame* nf = newFrame(*p, f->me->module(), f->me, f);
            try {
              bindArgs(nf, args, f->refStack + (args - f->stack), site.refMask, n);
            } catch (...) {
              freeFrame(nf);
              throw;
            }
            nf->discard = statement;
            nf->unlockCount = site.elemRefs;
            tick();
            f = nf;
            ip = f->code;
            sp = f->sp;
            continue;
          }
          case OpCode::PutMe: {
            int n = in.n;
            const ClassMember& m = f->me->cls().members[static_cast<size_t>(in.a)];
            bool isSet = in.k & kPutSet;
            Proc* p = isSet ? (m.set ? m.set.get() : m.let.get()) : (m.let ? m.let.get() : nullptr);
            if (!p && !isSet && m.set && sp[-1].isObject()) p = m.set.get();
            if (!p) raiseNamed(kErrNoSuchMember, m.name);
            Variant* args = sp - n - 1;
            f->ip = ip;
            f->sp = args;
            Frame* nf = newFrame(*p, f->me->module(), f->me, f);
            try {
              bindArgs(nf, args, f->refStack + (args - f->stack), 0, n + 1);
            } catch (...) {
              freeFrame(nf);
              throw;
            }
            nf->discard = true;
            tick();
            f = nf;
            ip = f->code;
            sp = f->sp;
            continue;
          }

          case OpCode::GetMbr: {
            if (Frame* nf = getMember(f, ip, sp)) {
              tick();
              f = nf;
              ip = f->code;
              sp = f->sp;
              continue;
            }
            ++ip;
            continue;
          }
          case OpCode::PutMbr: {
            if (Frame* nf = putMember(f, ip, sp)) {
              tick();
              f = nf;
              ip = f->code;
              sp = f->sp;
              continue;
            }
            ++ip;
            continue;
          }
          case OpCode::CallDef: {
            int n = in.n;
            Variant* target = sp - n - 1;
            Variant result =
                n == 0 && !target->isObject() ? std::move(*target) : indexValue(*target, target + 1, n);
            clearSlots(target, n + 1);
            sp = target;
            *sp = std::move(result);
            ++sp;
            ++ip;
            continue;
          }
          case OpCode::PutDef: {
            int n = in.n;
            Variant* target = sp - n - 2;
            Variant tmp = std::move(*target);
            storeIndexed(tmp, target + 1, n, std::move(target[n + 1]), in.k & kPutSet);
            clearSlots(target, n + 2);
            sp = target;
            ++ip;
            continue;
          }
          case OpCode::New: {
            CallSite& site = f->proc->sites[static_cast<size_t>(in.b)];
            const std::string& name = f->proc->names[static_cast<size_t>(site.name)];
            auto it = f->module->classes.find(name);
            Variant obj;
            if (it != f->module->classes.end()) {
              Ref<ClassDef> cls = it->second;
              f->ip = ip;
              f->sp = sp;
              obj = Variant(instantiate(*cls, *f->module));
            } else if (equalsNoCase(name, "RegExp")) {
              obj = Variant(createObject("VBScript.RegExp"));
            } else {
              raiseNamed(kErrClassNotDefined, name);
            }
            *sp = std::move(obj);
            ++sp;
            ++ip;
            continue;
          }
          case OpCode::CallBi: {
            int n = in.n;
            const BuiltinFunction& fn = builtinFunctions()[static_cast<size_t>(in.a)];
            if (n < fn.minArgs || (fn.maxArgs >= 0 && n > fn.maxArgs)) raiseNamed(kErrWrongArgCount, fn.name);
            Variant* args = sp - n;
            f->ip = ip;
            f->sp = sp;
            Variant result = fn.fn(lib_, Args(args, static_cast<size_t>(n)));
            clearSlots(args, n);
            sp = args;
            *sp = std::move(result);
            ++sp;
            ++ip;
            continue;
          }
          case OpCode::LetVal:
            if (sp[-1].isObject()) sp[-1] = sp[-1].valueOf();
            ++ip;
            continue;
          case OpCode::SetChk:
            if (!sp[-1].isObject()) raise(kErrObjectRequired);
            ++ip;
            continue;

          case OpCode::Neg:
            sp[-1] = negate(sp[-1]);
            ++ip;
            continue;
          case OpCode::Not:
            if (sp[-1].type() == vtBoolean) {
              sp[-1] = Variant(!sp[-1].rawBool());
            } else {
              sp[-1] = logicalNot(sp[-1]);
            }
            ++ip;
            continue;
          case OpCode::Add: {
            int64_t a, b;
            Variant& l = sp[-2];
            const Variant& r = sp[-1];
            double x, y;
            if (smallInt(l, a) && smallInt(r, b)) {
              setValue(l, intResult(a + b, l.type() == vtInteger && r.type() == vtInteger));
            } else if (doubleOperands(l, r, x, y) && std::isfinite(x + y)) {
              setValue(l, Variant(x + y));
            } else {
              l = add(l, r);
            }
            (--sp)->clear();
            ++ip;
            continue;
          }
          case OpCode::Sub: {
            int64_t a, b;
            Variant& l = sp[-2];
            const Variant& r = sp[-1];
            double x, y;
            if (smallInt(l, a) && smallInt(r, b)) {
              setValue(l, intResult(a - b, l.type() == vtInteger && r.type() == vtInteger));
            } else if (doubleOperands(l, r, x, y) && std::isfinite(x - y)) {
              setValue(l, Variant(x - y));
            } else {
              l = subtract(l, r);
            }
            (--sp)->clear();
            ++ip;
            continue;
          }
          case OpCode::Mul: {
            int64_t a, b;
            Variant& l = sp[-2];
            const Variant& r = sp[-1];
            double x, y;
            if (smallInt(l, a) && smallInt(r, b)) {
              setValue(l, intResult(a * b, l.type() == vtInteger && r.type() == vtInteger));
            } else if (doubleOperands(l, r, x, y) && std::isfinite(x * y)) {
              setValue(l, Variant(x * y));
            } else {
              l = multiply(l, r);
            }
            (--sp)->clear();
            ++ip;
            continue;
          }
          case OpCode::Div: {
            double x, y;
            int64_t a, b;
            if (smallInt(sp[-2], a) && smallInt(sp[-1], b) && b != 0) {
              setValue(sp[-2], Variant(static_cast<double>(a) / static_cast<double>(b)));
            } else if (doubleOperands(sp[-2], sp[-1], x, y) && y != 0 && std::isfinite(x / y)) {
              setValue(sp[-2], Variant(x / y));
            } else {
              sp[-2] = divide(sp[-2], sp[-1]);
            }
            (--sp)->clear();
            ++ip;
            continue;
          }
          case OpCode::IntDiv:
          case OpCode::Mod: {
            // Integer and Long operands: Integer when both are Integer.
            int64_t a, b;
            Variant& l = sp[-2];
            const Variant& r = sp[-1];
            if (smallInt(l, a) && smallInt(r, b) && b != 0 && b != -1) {
              int64_t q = in.op == OpCode::Mod ? a % b : a / b;
              setValue(l, intResult(q, l.type() == vtInteger && r.type() == vtInteger));
            } else if (in.op == OpCode::Mod) {
              l = modulo(l, r);
            } else {
              l = intDivide(l, r);
            }
            (--sp)->clear();
            ++ip;
            continue;
          }
          case OpCode::Pow:
            sp[-2] = power(sp[-2], sp[-1]);
            (--sp)->clear();
            ++ip;
            continue;
          case OpCode::Cat:
            if (sp[-2].isString() && sp[-1].isString()) {
              std::string s;
              checkLength(sp[-2].rawString().size() + sp[-1].rawString().size());
              s.reserve(sp[-2].rawString().size() + sp[-1].rawString().size());
              s.append(sp[-2].rawString());
              s.append(sp[-1].rawString());
              sp[-2] = Variant(std::move(s));
            } else {
              sp[-2] = concat(sp[-2], sp[-1]);
              if (sp[-2].isString()) checkLength(sp[-2].rawString().size());
            }
            (--sp)->clear();
            ++ip;
            continue;
          case OpCode::CatN: {
            sp = concatParts(in, sp);
            ++ip;
            continue;
          }
          case OpCode::Append: {
            sp = append(f, in, sp);
            ++ip;
            continue;
          }
          case OpCode::Eq:
          case OpCode::Ne:
          case OpCode::Lt:
          case OpCode::Gt:
          case OpCode::Le:
          case OpCode::Ge: {
            Variant& l = sp[-2];
            Variant& r = sp[-1];
            int cmp;
            int64_t a, b;
            double x, y;
            if (smallInt(l, a) && smallInt(r, b)) {
              cmp = a < b ? -1 : a > b ? 1 : 0;
            } else if (numericValue(l, x) && numericValue(r, y)) {
              if ((l.type() == vtSingle && r.type() == vtDouble) ||
                  (l.type() == vtDouble && r.type() == vtSingle)) {
                x = static_cast<float>(x);
                y = static_cast<float>(y);
              }
              cmp = x < y ? -1 : x > y ? 1 : 0;
            } else {
              if (in.k & 1) literalCompare(r.isObject() ? (r = r.valueOf()) : r);
              if (in.k & 2) literalCompare(l.isObject() ? (l = l.valueOf()) : l);
              CompareResult c = compare(l, r, false);
              if (c == kCompareNull) {
                l = Variant::null();
                (--sp)->clear();
                ++ip;
                continue;
              }
              cmp = static_cast<int>(c);
            }
            bool res;
            switch (in.op) {
              case OpCode::Eq:
                res = cmp == 0;
                break;
              case OpCode::Ne:
                res = cmp != 0;
                break;
              case OpCode::Lt:
                res = cmp < 0;
                break;
              case OpCode::Gt:
                res = cmp > 0;
                break;
              case OpCode::Le:
                res = cmp <= 0;
                break;
              default:
                res = cmp >= 0;
                break;
            }
            setValue(l, Variant(res));
            (--sp)->clear();
            ++ip;
            continue;
          }
          case OpCode::Is: {
            Variant& l = sp[-2];
            Variant& r = sp[-1];
            if (!l.isObject() || !r.isObject()) raise(kErrObjectRequired);
            bool same = l.rawObject() == r.rawObject();
            l = Variant(same);
            (--sp)->clear();
            ++ip;
            continue;
          }
          case OpCode::And:
            sp[-2] = logicalAnd(sp[-2], sp[-1]);
            (--sp)->clear();
            ++ip;
            continue;
          case OpCode::Or:
            sp[-2] = logicalOr(sp[-2], sp[-1]);
            (--sp)->clear();
            ++ip;
            continue;
          case OpCode::Xor:
            sp[-2] = logicalXor(sp[-2], sp[-1]);
            (--sp)->clear();
            ++ip;
            continue;
          case OpCode::Eqv:
            sp[-2] = eqv(sp[-2], sp[-1]);
            (--sp)->clear();
            ++ip;
            continue;
          case OpCode::Imp:
            sp[-2] = imp(sp[-2], sp[-1]);
            (--sp)->clear();
            ++ip;
            continue;

          case OpCode::Jmp:
            ip = f->code + in.a;
            continue;
          case OpCode::JmpF: {
            bool c = conditionTrue(sp[-1]);
            (--sp)->clear();
            ip = c ? ip + 1 : f->code + in.a;
            continue;
          }
          case OpCode::JmpT: {
            bool c = conditionTrue(sp[-1]);
            (--sp)->clear();
            ip = c ? f->code + in.a : ip + 1;
            continue;
          }
          case OpCode::Loop: {
            if (in.k) {
              bool c = conditionTrue(sp[-1]);
              (--sp)->clear();
              if (c != (in.k == 1)) {
                ++ip;
                continue;
              }
            }
            tick();
            ip = f->code + in.a;
            continue;
          }
          case OpCode::ForInit: {
            Variant step = loopNumber(std::move(sp[-1]));
            Variant limit = loopNumber(std::move(sp[-2]));
            Variant start = loopNumber(std::move(sp[-3]));
            sp -= 3;
            int32_t h = in.n;
            int32_t fb = in.k == kVarGlobalP ? forFallback(*f->proc, static_cast<int32_t>(ip - f->code)) : -1;
            Variant* v = variable(*this, f, in.k, in.a, fb, Access::Write);
            if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(in.a).name);
            bool negative = stepNegative(step);
            bool run = withinLimit(start, limit, negative);
            assignTo(*v, std::move(start));
            f->locals[h] = std::move(limit);
            f->locals[h + 1] = std::move(step);
            ip = run ? ip + 1 : f->code + in.b;
            continue;
          }
          case OpCode::ForNext: {
            int32_t h = in.n;
            int32_t fb = in.k == kVarGlobalP ? forFallback(*f->proc, static_cast<int32_t>(ip - f->code)) : -1;
            Variant* v =
                in.k == kVarLocal ? &f->locals[in.a] : variable(*this, f, in.k, in.a, fb, Access::Write);
            if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(in.a).name);
            const Variant& limit = f->locals[h];
            const Variant& step = f->locals[h + 1];
            int64_t a, s, l;
            bool run;
            if (smallInt(*v, a) && smallInt(step, s)) {
              int64_t next = a + s;
              setValue(*v, intResult(next, v->type() == vtInteger && step.type() == vtInteger));
              if (smallInt(limit, l)) {
                run = s < 0 ? next >= l : next <= l;
              } else {
                run = withinLimit(*v, limit, s < 0);
              }
            } else if (step.isEmpty()) {
              run = false;  // the loop's header failed: no state, no second pass
            } else {
              Variant next = add(*v, step);
              assignTo(*v, std::move(next));
              run = withinLimit(*v, limit, stepNegative(step));
            }
            if (run) {
              tick();
              ip = f->code + in.b;
            } else {
              ++ip;
            }
            continue;
          }
          case OpCode::EachInit: {
            ip = eachInit(f, ip, sp);
            continue;
          }
          case OpCode::EachNext: {
            ip = eachNext(f, ip);
            continue;
          }
          case OpCode::ClearLoc:
            for (int i = 0; i < in.n; ++i) f->locals[in.a + i].clear();
            ++ip;
            continue;

          case OpCode::Ret: {
            Variant result;
            if (f->proc->retSlot >= 0) result = std::move(f->locals[f->proc->retSlot]);
            Frame* done = f;
            Frame* caller = f->caller;
            bool discard = f->discard;
            bool isEntry = f->entry;
            uint16_t unlock = f->unlockCount;
            freeFrame(done);
            if (unlock) unlockTo(locks_.size() - unlock);
            if (isEntry) return result;
            f = caller;
            ip = f->ip + 1;
            sp = f->sp;
            if (!discard) {
              *sp = std::move(result);
              ++sp;
            }
            continue;
          }
          case OpCode::OnErrResume:
            f->resumeNext = true;
            err_.clear();
            ++ip;
            continue;
          case OpCode::OnErrGoto0:
            f->resumeNext = false;
            err_.clear();
            ++ip;
            continue;

          case OpCode::Eval: {
            if (Frame* nf = evaluate(f, ip, sp)) {
              tick();
              f = nf;
              ip = f->code;
              sp = f->sp;
              continue;
            }
            ++ip;
            continue;
          }
          case OpCode::GetRef: {
            sp = procedureRef(f, sp);
            ++ip;
            continue;
          }
          case OpCode::DeclDyn: {
            declareDynamic(f, in);
            ++ip;
            continue;
          }
          case OpCode::Fail:
            raiseNamed(in.a, f->proc->names[static_cast<size_t>(in.b)]);
        }
      }
    } catch (const Error& e) {
      if (!recover(f, ip, sp, e)) throw;
    } catch (const std::bad_alloc&) {
      Error e(kErrOutOfMemory);
      if (!recover(f, ip, sp, e)) throw e;
    } catch (const std::length_error&) {
      Error e(kErrOutOfMemory);
      if (!recover(f, ip, sp, e)) throw e;
    } catch (const std::exception& ex) {
      // A host object failed with something other than a script error.
      Error e(440, std::string(standardErrorText(440)) + ": " + ex.what());
      if (!recover(f, ip, sp, e)) throw e;
    } catch (...) {
      // Not a script error (a host stopping the script): no handler applies.
      for (;;) {
        Frame* caller = f->caller;
        bool wasEntry = f->entry;
        freeFrame(f);
        if (wasEntry) break;
        f = caller;
      }
      throw;
    }
  }
}

}  // namespace tw::vbs
