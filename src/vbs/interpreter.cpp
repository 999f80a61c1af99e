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

  // The running frame, kept up to date by run() whenever it changes frames:
  // an error finds there where it happened (the frame's ip).
  Frame* current = entry;
  for (;;) {
    try {
      return run(current);
    } catch (const Error& e) {
      if (!recoverAt(current, e)) throw;
    } catch (const std::bad_alloc&) {
      Error e(kErrOutOfMemory);
      if (!recoverAt(current, e)) throw e;
    } catch (const std::length_error&) {
      Error e(kErrOutOfMemory);
      if (!recoverAt(current, e)) throw e;
    } catch (const std::exception& ex) {
      // A host object failed with something other than a script error.
      Error e(440, std::string(standardErrorText(440)) + ": " + ex.what());
      if (!recoverAt(current, e)) throw e;
    } catch (...) {
      // Not a script error (a host stopping the script): no handler applies.
      for (Frame* f = current;;) {
        Frame* caller = f->caller;
        bool wasEntry = f->entry;
        clearSlots(f->stack, f->proc->maxStack);
        freeFrame(f);
        if (wasEntry) break;
        f = caller;
      }
      throw;
    }
  }
}

bool Runtime::recoverAt(Frame*& current, const Error& e) {
  Frame* f = current;
  const Instr* ip = f->ip;
  Variant* sp = f->sp;
  if (!recover(f, ip, sp, e)) return false;
  f->ip = ip;
  f->sp = sp;
  current = f;
  return true;
}

// The instructions themselves. No handler here catches anything, so the
// running frame, instruction and stack top stay in registers; each
// instruction's address is stored in its frame as it starts (a store, off
// the path the dispatch waits on) for the error handling above.
Variant Runtime::run(Frame*& current) {
  Frame* f = current;
  const Instr* ip = f->ip;
  Variant* sp = f->sp;
  {
    {
      // Each handler jumps straight to the next one (threaded dispatch).
      static const void* const kHandlers[] = {
          &&op_Const,
          &&op_Pop,
          &&op_Missing,
          &&op_LdLoc,
          &&op_StLoc,
          &&op_LdRef,
          &&op_StRef,
          &&op_LdFld,
          &&op_StFld,
          &&op_LdGlb,
          &&op_StGlb,
          &&op_LdVar,
          &&op_StVar,
          &&op_ArgVar,
          &&op_ArgElem,
          &&op_Index,
          &&op_StIndex,
          &&op_Erase,
          &&op_ReDim,
          &&op_InitArr,
          &&op_CallGlb,
          &&op_CallMe,
          &&op_PutMe,
          &&op_LdMe,
          &&op_GetMbr,
          &&op_PutMbr,
          &&op_CallDef,
          &&op_PutDef,
          &&op_New,
          &&op_CallBi,
          &&op_LdErr,
          &&op_LetVal,
          &&op_SetChk,
          &&op_Neg,
          &&op_Not,
          &&op_Add,
          &&op_Sub,
          &&op_Mul,
          &&op_Div,
          &&op_IntDiv,
          &&op_Mod,
          &&op_Pow,
          &&op_Cat,
          &&op_CatN,
          &&op_Append,
          &&op_Eq,
          &&op_Ne,
          &&op_Lt,
          &&op_Gt,
          &&op_Le,
          &&op_Ge,
          &&op_AddK,
          &&op_SubK,
          &&op_MulK,
          &&op_DivK,
          &&op_IntDivK,
          &&op_ModK,
          &&op_EqK,
          &&op_NeK,
          &&op_LtK,
          &&op_GtK,
          &&op_LeK,
          &&op_GeK,
          &&op_LdLocAddK,
          &&op_LdLocSubK,
          &&op_LdLocMulK,
          &&op_LdGlbAddK,
          &&op_LdGlbSubK,
          &&op_LdGlbMulK,
          &&op_Is,
          &&op_And,
          &&op_Or,
          &&op_Xor,
          &&op_Eqv,
          &&op_Imp,
          &&op_Jmp,
          &&op_JmpF,
          &&op_JmpT,
          &&op_Loop,
          &&op_ForInit,
          &&op_ForNext,
          &&op_EachInit,
          &&op_EachNext,
          &&op_ClearLoc,
          &&op_Ret,
          &&op_OnErrResume,
          &&op_OnErrGoto0,
          &&op_Eval,
          &&op_GetRef,
          &&op_DeclDyn,
          &&op_Fail,
      };
      static_assert(std::size(kHandlers) == static_cast<size_t>(OpCode::Fail) + 1, "a handler per instruction");
// A computed goto runs no destructors (a result nobody took would never
// end): a handler ends the life of every object with one, in a block of its
// own, before it goes on.
#define NEXT_INSTRUCTION goto*(f->ip = ip, kHandlers[static_cast<uint8_t>(ip->op)])
// On to the instruction after this one.
#define NEXT_AFTER \
  ++ip;            \
  NEXT_INSTRUCTION
// Runs a procedure's new frame from its first instruction.
#define RUN_FRAME(frame) \
  do {                   \
    f = (frame);         \
    current = f;         \
    tick();              \
    ip = f->code;        \
    sp = f->sp;          \
    NEXT_INSTRUCTION;    \
  } while (0)
      NEXT_INSTRUCTION;
      {
        {
          op_Const:
            pushCopy(sp, f->proc->consts[static_cast<size_t>(ip->a)]);
            ++sp;
            NEXT_AFTER;
          op_Pop:
            (--sp)->clear();
            NEXT_AFTER;
          op_Missing:
            *sp = Variant::error(kMissingArg);
            ++sp;
            NEXT_AFTER;
          op_LdLoc:
            pushCopy(sp, f->locals[ip->a]);
            ++sp;
            NEXT_AFTER;
          op_StLoc:
            --sp;
            assignTo(f->locals[ip->a], std::move(*sp));
            NEXT_AFTER;
          op_LdRef:
            pushCopy(sp, *f->refs[ip->a]);
            ++sp;
            NEXT_AFTER;
          op_StRef:
            --sp;
            assignTo(*f->refs[ip->a], std::move(*sp));
            NEXT_AFTER;
          op_LdFld:
            pushCopy(sp, f->me->field(ip->a));
            ++sp;
            NEXT_AFTER;
          op_StFld:
            --sp;
            assignTo(f->me->field(ip->a), std::move(*sp));
            NEXT_AFTER;
          op_LdMe:
            *sp = Variant(static_cast<Dispatch*>(f->me));
            ++sp;
            NEXT_AFTER;
          op_LdErr:
            *sp = Variant(errObject_.get());
            ++sp;
            NEXT_AFTER;

          op_LdGlb: {
            GlobalEntry& e = f->module->entry(ip->a);
            if (e.kind == EntryKind::Variable) {
              pushCopy(sp, e.value);
              ++sp;
              NEXT_AFTER;
            }
          }
            // on into the general case
          op_LdVar: {
            Variant* v = variable(*this, f, ip->k, ip->a, ip->b, Access::Read);
            if (v) {
              pushCopy(sp, *v);
              ++sp;
              NEXT_AFTER;
            }
            // A host member's value, or a procedure named without arguments.
            if (Frame* nf = callByName(f, ip, sp)) RUN_FRAME(nf);
            ++sp;  // the host member's value
            NEXT_AFTER;
          }
          op_StGlb: {
            GlobalEntry& e = f->module->entry(ip->a);
            if (e.kind == EntryKind::Variable) {
              --sp;
              assignTo(e.value, std::move(*sp));
              NEXT_AFTER;
            }
          }
            // on into the general case
          op_StVar: {
            Variant* v = variable(*this, f, ip->k, ip->a, ip->b, Access::Write);
            --sp;
            if (v) {
              assignTo(*v, std::move(*sp));
              NEXT_AFTER;
            }
            GlobalEntry& e = f->module->entry(ip->a);
            if (e.kind == EntryKind::HostMember) {
              {
                Ref<Dispatch> obj(e.value.rawObject());
                e.value.rawObject()->invoke(e.member, kInvokePut, Args(sp, 1));
              }
              sp->clear();
              NEXT_AFTER;
            }
            raiseNamed(kErrIllegalAssignment, e.name);
          }
          op_ArgVar: {
            Variant* v = nullptr;
            bool byValue = false;
            if (ip->k == kVarGlobal || ip->k == kVarGlobalP) {
              GlobalEntry& e = f->module->entry(ip->a);
              if (e.kind == EntryKind::Undefined) resolveHost(*this, e);
              if (e.kind == EntryKind::Variable) {
                v = &e.value;
              } else if (e.kind == EntryKind::Constant || e.kind == EntryKind::HostObject) {
                v = &e.value;
                byValue = true;
              } else if (e.kind == EntryKind::HostMember || e.kind == EntryKind::Procedure) {
                // Passed by value: the member's value or the procedure's result.
                f->refStack[sp - f->stack] = nullptr;
                if (Frame* nf = callByName(f, ip, sp)) RUN_FRAME(nf);
                ++sp;  // the host member's value
                NEXT_AFTER;
              } else {
                v = variable(*this, f, ip->k, ip->a, ip->b, Access::Ref);
              }
            } else {
              v = variable(*this, f, ip->k, ip->a, ip->b, Access::Ref);
            }
            f->refStack[sp - f->stack] = byValue ? nullptr : v;
            pushCopy(sp, *v);
            ++sp;
            NEXT_AFTER;
          }
          op_ArgElem: {
            sp = argElement(f, *ip, sp);
            NEXT_AFTER;
          }
          op_Index: {
            sp = indexed(f, *ip, sp);
            NEXT_AFTER;
          }
          op_StIndex: {
            sp = storeIndex(f, *ip, sp);
            NEXT_AFTER;
          }
          op_Erase: {
            erase(f, *ip);
            NEXT_AFTER;
          }
          op_ReDim:
          op_InitArr: {
            sp = dimension(f, *ip, sp);
            NEXT_AFTER;
          }

          op_CallGlb: {
            int n = ip->n;
            CallSite& site = f->proc->sites[static_cast<size_t>(ip->b)];
            GlobalEntry& e = f->module->entry(ip->a);
            Variant* args = sp - n;
            bool statement = ip->k & kCallStatement;
            if (e.kind == EntryKind::Procedure) {
              f->ip = ip;
              f->sp = args;
              RUN_FRAME(enter(f, *e.proc, *f->module, nullptr, args, n, site.refMask, site.elemRefs, statement));
            }
            // Not a script procedure: a host member, an array, an object's default.
            Variant* done = callOther(f, *ip, sp);
            if (!done) NEXT_INSTRUCTION;  // became a procedure meanwhile: run the instruction again
            sp = done;
            NEXT_AFTER;
          }

          op_CallMe: {
            int n = ip->n;
            CallSite& site = f->proc->sites[static_cast<size_t>(ip->b)];
            const ClassMember& m = f->me->cls().members[static_cast<size_t>(ip->a)];
            Proc* p = m.kind == MemberKind::Method ? m.method.get() : m.get.get();
            if (!p) raiseNamed(kErrNoSuchMember, m.name);
            Variant* args = sp - n;
            bool statement = ip->k & kCallStatement;
            if (n > 0 && p->nParams == 0) {
              // Items(0) of a member without parameters indexes its value.
              sp = indexMemberValue(f, *ip, sp, *p);
              NEXT_AFTER;
            }
            f->ip = ip;
            f->sp = args;
            RUN_FRAME(enter(f, *p, f->me->module(), f->me, args, n, site.refMask, site.elemRefs, statement));
          }
          op_PutMe: {
            int n = ip->n;
            const ClassMember& m = f->me->cls().members[static_cast<size_t>(ip->a)];
            bool isSet = ip->k & kPutSet;
            Proc* p = isSet ? (m.set ? m.set.get() : m.let.get()) : (m.let ? m.let.get() : nullptr);
            if (!p && !isSet && m.set && sp[-1].isObject()) p = m.set.get();
            if (!p) raiseNamed(kErrNoSuchMember, m.name);
            Variant* args = sp - n - 1;
            f->ip = ip;
            f->sp = args;
            RUN_FRAME(enter(f, *p, f->me->module(), f->me, args, n + 1, 0, 0, true));
          }

          op_GetMbr: {
            Variant* top = sp;  // a copy: sp itself never has its address taken
            Frame* nf = getMember(f, ip, top);
            sp = top;
            if (nf) RUN_FRAME(nf);
            NEXT_AFTER;
          }
          op_PutMbr: {
            Variant* top = sp;  // a copy: sp itself never has its address taken
            Frame* nf = putMember(f, ip, top);
            sp = top;
            if (nf) RUN_FRAME(nf);
            NEXT_AFTER;
          }
          op_CallDef: {
            int n = ip->n;
            Variant* target = sp - n - 1;
            {
              Variant result =
                  n == 0 && !target->isObject() ? std::move(*target) : indexValue(*target, target + 1, n);
              clearSlots(target, n + 1);
              sp = target;
              *sp = std::move(result);
            }
            ++sp;
            NEXT_AFTER;
          }
          op_PutDef: {
            int n = ip->n;
            Variant* target = sp - n - 2;
            {
              Variant tmp = std::move(*target);
              storeIndexed(tmp, target + 1, n, std::move(target[n + 1]), ip->k & kPutSet);
            }
            clearSlots(target, n + 2);
            sp = target;
            NEXT_AFTER;
          }
          op_New: {
            CallSite& site = f->proc->sites[static_cast<size_t>(ip->b)];
            const std::string& name = f->proc->names[static_cast<size_t>(site.name)];
            auto it = f->module->classes.find(name);
            {
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
            }
            ++sp;
            NEXT_AFTER;
          }
          op_CallBi: {
            int n = ip->n;
            const BuiltinFunction& fn = builtinFunctions()[static_cast<size_t>(ip->a)];
            if (n < fn.minArgs || (fn.maxArgs >= 0 && n > fn.maxArgs)) raiseNamed(kErrWrongArgCount, fn.name);
            Variant* args = sp - n;
            f->ip = ip;
            f->sp = sp;
            {
              Variant result = fn.fn(lib_, Args(args, static_cast<size_t>(n)));
              clearSlots(args, n);
              sp = args;
              *sp = std::move(result);
            }
            ++sp;
            NEXT_AFTER;
          }
          op_LetVal:
            if (sp[-1].isObject()) sp[-1] = sp[-1].valueOf();
            NEXT_AFTER;
          op_SetChk:
            if (!sp[-1].isObject()) raise(kErrObjectRequired);
            NEXT_AFTER;

          op_Neg:
            sp[-1] = negate(sp[-1]);
            NEXT_AFTER;
          op_Not:
            if (sp[-1].type() == vtBoolean) {
              sp[-1] = Variant(!sp[-1].rawBool());
            } else {
              sp[-1] = logicalNot(sp[-1]);
            }
            NEXT_AFTER;
          op_Add:
            arith<Arith::Add>(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_Sub:
            arith<Arith::Sub>(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_Mul:
            arith<Arith::Mul>(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_Div:
            arithDivide(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_IntDiv:
            arithIntDivide<false>(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_Mod:
            arithIntDivide<true>(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_AddK:
            arith<Arith::Add>(sp[-1], f->proc->consts[static_cast<size_t>(ip->b)]);
            NEXT_AFTER;
          op_SubK:
            arith<Arith::Sub>(sp[-1], f->proc->consts[static_cast<size_t>(ip->b)]);
            NEXT_AFTER;
          op_MulK:
            arith<Arith::Mul>(sp[-1], f->proc->consts[static_cast<size_t>(ip->b)]);
            NEXT_AFTER;
          op_DivK:
            arithDivide(sp[-1], f->proc->consts[static_cast<size_t>(ip->b)]);
            NEXT_AFTER;
          op_IntDivK:
            arithIntDivide<false>(sp[-1], f->proc->consts[static_cast<size_t>(ip->b)]);
            NEXT_AFTER;
          op_ModK:
            arithIntDivide<true>(sp[-1], f->proc->consts[static_cast<size_t>(ip->b)]);
            NEXT_AFTER;
          op_Pow:
            sp[-2] = power(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_Cat: {
            char leftDigits[16], rightDigits[16];
            std::string_view left, right;
            if (concatText(sp[-2], leftDigits, left) && concatText(sp[-1], rightDigits, right)) {
              std::string s;
              checkLength(left.size() + right.size());
              s.reserve(left.size() + right.size());
              s.append(left);
              s.append(right);
              sp[-2] = Variant(std::move(s));
            } else {
              sp[-2] = concat(sp[-2], sp[-1]);
              if (sp[-2].isString()) checkLength(sp[-2].rawString().size());
            }
            (--sp)->clear();
            NEXT_AFTER;
          }
          op_CatN: {
            sp = concatParts(*ip, sp);
            NEXT_AFTER;
          }
          op_Append: {
            sp = append(f, *ip, sp);
            NEXT_AFTER;
          }
          op_Eq:
          op_Ne:
          op_Lt:
          op_Gt:
          op_Le:
          op_Ge:
            compareInPlace(sp[-2], sp[-1], *ip);
            (--sp)->clear();
            NEXT_AFTER;
          op_EqK:
          op_NeK:
          op_LtK:
          op_GtK:
          op_LeK:
          op_GeK:
            compareInPlace(sp[-1], f->proc->consts[static_cast<size_t>(ip->b)], *ip);
            NEXT_AFTER;
// The operation of the instruction after a fused load, on the loaded value.
#define THEN_ARITH_K(A)                                           \
  arith<A>(sp[-1], f->proc->consts[static_cast<size_t>(ip[1].b)]); \
  ip += 2;                                                        \
  NEXT_INSTRUCTION
          op_LdLocAddK:
            pushCopy(sp, f->locals[ip->a]);
            ++sp;
            THEN_ARITH_K(Arith::Add);
          op_LdLocSubK:
            pushCopy(sp, f->locals[ip->a]);
            ++sp;
            THEN_ARITH_K(Arith::Sub);
          op_LdLocMulK:
            pushCopy(sp, f->locals[ip->a]);
            ++sp;
            THEN_ARITH_K(Arith::Mul);
          op_LdGlbAddK:
          op_LdGlbSubK:
          op_LdGlbMulK: {
            GlobalEntry& e = f->module->entry(ip->a);
            if (e.kind != EntryKind::Variable) goto op_LdVar;
            pushCopy(sp, e.value);
            ++sp;
            if (ip->op == OpCode::LdGlbAddK) {
              THEN_ARITH_K(Arith::Add);
            }
            if (ip->op == OpCode::LdGlbSubK) {
              THEN_ARITH_K(Arith::Sub);
            }
            THEN_ARITH_K(Arith::Mul);
          }
#undef THEN_ARITH_K
          op_Is: {
            Variant& l = sp[-2];
            Variant& r = sp[-1];
            if (!l.isObject() || !r.isObject()) raise(kErrObjectRequired);
            bool same = l.rawObject() == r.rawObject();
            l = Variant(same);
            (--sp)->clear();
            NEXT_AFTER;
          }
          op_And:
            sp[-2] = logicalAnd(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_Or:
            sp[-2] = logicalOr(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_Xor:
            sp[-2] = logicalXor(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_Eqv:
            sp[-2] = eqv(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;
          op_Imp:
            sp[-2] = imp(sp[-2], sp[-1]);
            (--sp)->clear();
            NEXT_AFTER;

          op_Jmp:
            ip = f->code + ip->a;
            NEXT_INSTRUCTION;
          op_JmpF: {
            bool c = conditionTrue(sp[-1]);
            (--sp)->clear();
            ip = c ? ip + 1 : f->code + ip->a;
            NEXT_INSTRUCTION;
          }
          op_JmpT: {
            bool c = conditionTrue(sp[-1]);
            (--sp)->clear();
            ip = c ? f->code + ip->a : ip + 1;
            NEXT_INSTRUCTION;
          }
          op_Loop: {
            if (ip->k) {
              bool c = conditionTrue(sp[-1]);
              (--sp)->clear();
              if (c != (ip->k == 1)) {
                NEXT_AFTER;
              }
            }
            tick();
            ip = f->code + ip->a;
            NEXT_INSTRUCTION;
          }
          op_ForInit: {
            {
              Variant step = loopNumber(std::move(sp[-1]));
              Variant limit = loopNumber(std::move(sp[-2]));
              Variant start = loopNumber(std::move(sp[-3]));
              sp -= 3;
              int32_t h = ip->n;
              int32_t fb = ip->k == kVarGlobalP ? forFallback(*f->proc, static_cast<int32_t>(ip - f->code)) : -1;
              Variant* v = variable(*this, f, ip->k, ip->a, fb, Access::Write);
              if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(ip->a).name);
              bool negative = stepNegative(step);
              bool run = withinLimit(start, limit, negative);
              assignTo(*v, std::move(start));
              f->locals[h] = std::move(limit);
              f->locals[h + 1] = std::move(step);
              ip = run ? ip + 1 : f->code + ip->b;
            }
            NEXT_INSTRUCTION;
          }
          op_ForNext: {
            int32_t h = ip->n;
            int32_t fb = ip->k == kVarGlobalP ? forFallback(*f->proc, static_cast<int32_t>(ip - f->code)) : -1;
            Variant* v =
                ip->k == kVarLocal ? &f->locals[ip->a] : variable(*this, f, ip->k, ip->a, fb, Access::Write);
            if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(ip->a).name);
            const Variant& limit = f->locals[h];
            const Variant& step = f->locals[h + 1];
            int64_t a, s, l;
            bool run;
            if (smallInt(*v, a) && smallInt(step, s)) {
              int64_t next = a + s;
              putIntResult(*v, next, v->type() == vtInteger && step.type() == vtInteger);
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
              ip = f->code + ip->b;
            } else {
              ++ip;
            }
            NEXT_INSTRUCTION;
          }
          op_EachInit: {
            Variant* top = sp;
            ip = eachInit(f, ip, top);
            sp = top;
            NEXT_INSTRUCTION;
          }
          op_EachNext: {
            ip = eachNext(f, ip);
            NEXT_INSTRUCTION;
          }
          op_ClearLoc:
            for (int i = 0; i < ip->n; ++i) f->locals[ip->a + i].clear();
            NEXT_AFTER;

          op_Ret: {
            {
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
              current = f;
              ip = f->ip + 1;
              sp = f->sp;
              if (!discard) {
                *sp = std::move(result);
                ++sp;
              }
            }
            NEXT_INSTRUCTION;
          }
          op_OnErrResume:
            f->resumeNext = true;
            err_.clear();
            NEXT_AFTER;
          op_OnErrGoto0:
            f->resumeNext = false;
            err_.clear();
            NEXT_AFTER;

          op_Eval: {
            Variant* top = sp;  // a copy: sp itself never has its address taken
            Frame* nf = evaluate(f, ip, top);
            sp = top;
            if (nf) RUN_FRAME(nf);
            NEXT_AFTER;
          }
          op_GetRef: {
            sp = procedureRef(f, sp);
            NEXT_AFTER;
          }
          op_DeclDyn: {
            declareDynamic(f, *ip);
            NEXT_AFTER;
          }
          op_Fail:
            raiseNamed(ip->a, f->proc->names[static_cast<size_t>(ip->b)]);
        }
      }
#undef RUN_FRAME
#undef NEXT_AFTER
#undef NEXT_INSTRUCTION
    }
  }
}

}  // namespace tw::vbs
