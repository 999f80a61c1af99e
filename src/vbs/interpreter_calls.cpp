// Calls out of the interpreter loop: entering script procedures, host
// members named like variables, and names that turn out to be no procedure.
#include "vbs/interpreter.h"

namespace tw::vbs {

using namespace vm;

// A host member named alone leaves its value at *sp and gives no frame: the
// caller moves past it. A procedure gives the frame that runs it.
Frame* Runtime::callByName(Frame* f, const Instr* ip, Variant* sp) {
  GlobalEntry& e = f->module->entry(ip->a);
  if (e.kind == EntryKind::HostMember) {
    Ref<Dispatch> obj(e.value.rawObject());
    *sp = obj->invoke(e.member, kInvokeGet | kInvokeMethod, {});
    return nullptr;
  }
  // A procedure named without arguments: call it.
  Proc& p = *e.proc;
  if (p.nParams != 0) raiseNamed(kErrWrongArgCount, p.name);
  f->ip = ip;
  f->sp = sp;
  return enter(f, p, *f->module, nullptr, sp, 0, 0, 0, false);
}

Variant* Runtime::callOther(Frame* f, const Instr& in, Variant* sp) {
  int n = in.n;
  CallSite& site = f->proc->sites[static_cast<size_t>(in.b)];
  GlobalEntry& e = f->module->entry(in.a);
  Variant* args = sp - n;
  bool statement = in.k & kCallStatement;
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
    return nullptr;
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
  return sp;
}

Variant* Runtime::indexMemberValue(Frame* f, const Instr& in, Variant* sp, Proc& member) {
  int n = in.n;
  CallSite& site = f->proc->sites[static_cast<size_t>(in.b)];
  Variant* args = sp - n;
  f->ip = &in;
  f->sp = sp;
  Variant inner = call(member, f->me, f->me->module(), {});
  Variant result = indexValue(inner, args, n);
  clearSlots(args, n);
  unlockTo(locks_.size() - site.elemRefs);
  sp = args;
  if (!(in.k & kCallStatement)) {
    *sp = std::move(result);
    ++sp;
  }
  return sp;
}

}  // namespace tw::vbs
