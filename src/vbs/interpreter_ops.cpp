// Instruction handlers kept out of the interpreter loop: member access,
// element access, arrays, concatenation, For Each, Eval and GetRef.
#include "vbs/compiler.h"
#include "vbs/interpreter.h"
#include "vbs/parser.h"

namespace tw::vbs {

using namespace vm;

int vm::compareOther(Variant& l, const Variant& r, uint8_t k) {
  if (k & 1) {
    Variant right = r.isObject() ? r.valueOf() : r;
    literalCompare(right);
    if (k & 2) literalCompare(l.isObject() ? (l = l.valueOf()) : l);
    return static_cast<int>(compare(l, right, false));
  }
  if (k & 2) literalCompare(l.isObject() ? (l = l.valueOf()) : l);
  return static_cast<int>(compare(l, r, false));
}

Variant* Runtime::argElement(Frame* f, const Instr& in, Variant* sp) {
  int n = in.n;
  Variant* base = variable(*this, f, in.k, in.a, in.b, Access::Read);
  Variant* args = sp - n;
  Variant result;
  Variant* ref = nullptr;
  if (base && base->isArray() && base != &emptyVariant()) {
    Indexes ix(args, n);
    SafeArray& arr = base->mutableArray();
    Variant* el = &arr.data[arr.offset(ix.view)];
    ++arr.locks;
    locks_.push_back(&arr);
    result = *el;
    ref = el;
  } else {
    locks_.push_back(nullptr);
    if (!base) {
      // A procedure or host member after all: call it for the value.
      GlobalEntry& e = f->module->entry(in.a);
      if (e.kind == EntryKind::HostMember) {
        Ref<Dispatch> obj(e.value.rawObject());
        result = obj->invoke(e.member, kInvokeGet | kInvokeMethod, Args(args, static_cast<size_t>(n)));
      } else {
        result = call(*e.proc, nullptr, *f->module, Args(args, static_cast<size_t>(n)));
      }
    } else {
      result = indexValue(*base, args, n);
    }
  }
  clearSlots(args, n);
  sp = args;
  f->refStack[sp - f->stack] = ref;
  *sp = std::move(result);
  ++sp;
  return sp;
}

Variant* Runtime::indexed(Frame* f, const Instr& in, Variant* sp) {
  int n = in.n;
  Variant* args = sp - n;
  Variant* base = variable(*this, f, in.k, in.a, in.b, Access::Read);
  Variant result;
  if (base) {
    if (n == 0 && !base->isObject()) {
      result = *base;
    } else {
      result = indexValue(*base, args, n);
    }
  } else {
    GlobalEntry& e = f->module->entry(in.a);
    if (e.kind == EntryKind::HostMember) {
      Ref<Dispatch> obj(e.value.rawObject());
      result = obj->invoke(e.member, kInvokeGet | kInvokeMethod, Args(args, static_cast<size_t>(n)));
    } else {
      result = call(*e.proc, nullptr, *f->module, Args(args, static_cast<size_t>(n)));
    }
  }
  clearSlots(args, n);
  sp = args;
  *sp = std::move(result);
  ++sp;
  return sp;
}

Variant* Runtime::storeIndex(Frame* f, const Instr& in, Variant* sp) {
  int n = in.n;
  bool isSet = in.b & 1;
  int32_t fb = in.b >> 1;
  Variant* args = sp - n - 1;
  Variant value = std::move(sp[-1]);
  Variant* base = variable(*this, f, in.k, in.a, fb, Access::Write);
  if (base) {
    storeIndexed(*base, args, n, std::move(value), isSet);
  } else {
    GlobalEntry& e = f->module->entry(in.a);
    if (e.kind != EntryKind::HostMember) raiseNamed(kErrIllegalAssignment, e.name);
    Ref<Dispatch> obj(e.value.rawObject());
    args[n] = std::move(value);
    obj->invoke(e.member, isSet ? kInvokePutRef : kInvokePut, Args(args, static_cast<size_t>(n) + 1));
  }
  clearSlots(args, n + 1);
  sp = args;
  return sp;
}

void Runtime::erase(Frame* f, const Instr& in) {
  Variant* v = variable(*this, f, in.k, in.a, in.b, Access::Write);
  if (!v || !v->isArray()) raise(kErrTypeMismatch);
  if (v->rawArray()->locks > 0) raise(kErrArrayLocked);
  if (in.n) {
    SafeArray& arr = v->mutableArray();
    Variant init;
    if (arr.elemType == vtByte) init = Variant::byte(0);
    for (Variant& el : arr.data) el = init;
  } else {
    *v = Variant::array(std::span<const std::pair<int32_t, int32_t>>());
  }
}

Variant* Runtime::concatParts(const Instr& in, Variant* sp) {
  int n = in.n;
  Variant* parts = sp - n;
  bool allNull = true;
  size_t total = 0;
  for (int i = 0; i < n; ++i) {
    Variant& p = parts[i];
    if (p.isObject()) p = p.valueOf();
    if (!p.isNull()) allNull = false;
    char digits[16];
    std::string_view text;
    if (concatText(p, digits, text)) {
      total += text.size();  // Integer and Long digits are written again below
    } else if (!p.isNull() && !p.isEmpty()) {
      p = Variant(p.toString());
      total += p.rawString().size();
    }
  }
  Variant result;
  if (allNull) {
    result = Variant::null();
  } else {
    checkLength(total);
    std::string s;
    s.reserve(total);
    for (int i = 0; i < n; ++i) {
      char digits[16];
      std::string_view text;
      if (concatText(parts[i], digits, text)) s.append(text);
    }
    result = Variant(std::move(s));
  }
  clearSlots(parts, n);
  sp = parts;
  *sp = std::move(result);
  ++sp;
  return sp;
}

Variant* Runtime::append(Frame* f, const Instr& in, Variant* sp) {
  int n = in.n;
  Variant* parts = sp - n;
  for (int i = 0; i < n; ++i) {
    Variant& p = parts[i];
    if (p.isObject()) p = p.valueOf();
    if (p.isArray()) raise(kErrTypeMismatch);
  }
  Variant* v = variable(*this, f, in.k, in.a, in.b, Access::Write);
  if (v && v->isString()) {
    // Convert before appending: a failure leaves the variable as it was.
    size_t total = v->rawString().size();
    for (int i = 0; i < n; ++i) {
      Variant& p = parts[i];
      char digits[16];
      std::string_view text;
      if (concatText(p, digits, text)) {
        total += text.size();  // Integer and Long digits are written again below
      } else if (!p.isNull() && !p.isEmpty()) {
        p = Variant(p.toString());
        total += p.rawString().size();
      }
    }
    checkLength(total);
    std::string& s = v->mutableString();
    if (s.capacity() < total) s.reserve(std::max(total, s.size() * 2));
    for (int i = 0; i < n; ++i) {
      char digits[16];
      std::string_view text;
      if (concatText(parts[i], digits, text)) s.append(text);
    }
  } else {
    Variant cur;
    if (v) {
      cur = *v;
    } else {
      GlobalEntry& e = f->module->entry(in.a);
      if (e.kind != EntryKind::HostMember) raiseNamed(kErrIllegalAssignment, e.name);
      cur = e.value.rawObject()->invoke(e.member, kInvokeGet | kInvokeMethod, {});
    }
    if (cur.isObject()) cur = cur.valueOf();
    for (int i = 0; i < n; ++i) cur = concat(cur, parts[i]);
    if (cur.isString()) checkLength(cur.rawString().size());
    if (v) {
      assignTo(*v, std::move(cur));
    } else {
      GlobalEntry& e = f->module->entry(in.a);
      Ref<Dispatch> obj(e.value.rawObject());
      obj->invoke(e.member, kInvokePut, Args(&cur, 1));
    }
  }
  clearSlots(parts, n);
  sp = parts;
  return sp;
}

const Instr* Runtime::eachInit(Frame* f, const Instr* ip, Variant*& sp) {
  Variant coll = std::move(sp[-1]);
  --sp;
  int32_t h = ip->n;
  int32_t fb = ip->k == kVarGlobalP ? forFallback(*f->proc, static_cast<int32_t>(ip - f->code)) : -1;
  Variant first;
  bool any;
  if (coll.isArray()) {
    any = !coll.rawArray()->data.empty();
    if (any) first = coll.rawArray()->data[0];
    f->locals[h] = std::move(coll);
    f->locals[h + 1] = Variant::long_(1);
  } else if (coll.isObject()) {
    Dispatch* d = coll.rawObject();
    if (!d) raise(kErrObjectNotSet);
    Ref<Enumerator> en = d->newEnum();
    if (!en) raise(kErrNotCollection);
    any = en->next(first);
    f->locals[h] = Variant(makeRef<EnumHolder>(std::move(en)));
  } else {
    raise(kErrNotCollection);
  }
  if (any) {
    Variant* v = variable(*this, f, ip->k, ip->a, fb, Access::Write);
    if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(ip->a).name);
    assignTo(*v, std::move(first));
    ++ip;
  } else {
    ip = f->code + ip->b;
  }
  return ip;
}

const Instr* Runtime::eachNext(Frame* f, const Instr* ip) {
  int32_t h = ip->n;
  Variant item;
  bool any;
  Variant& state = f->locals[h];
  if (state.isArray()) {
    const SafeArray& arr = *state.rawArray();
    int32_t i = f->locals[h + 1].rawLong();
    any = static_cast<size_t>(i) < arr.data.size();
    if (any) {
      item = arr.data[static_cast<size_t>(i)];
      f->locals[h + 1] = Variant::long_(i + 1);
    }
  } else if (state.isObject()) {
    EnumHolder* holder = asEnumHolder(state.rawObject());
    any = holder && holder->enumerator->next(item);
  } else {
    any = false;  // the loop's header failed: no state, no second pass
  }
  if (any) {
    int32_t fb = ip->k == kVarGlobalP ? forFallback(*f->proc, static_cast<int32_t>(ip - f->code)) : -1;
    Variant* v = variable(*this, f, ip->k, ip->a, fb, Access::Write);
    if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(ip->a).name);
    assignTo(*v, std::move(item));
    tick();
    ip = f->code + ip->b;
  } else {
    ++ip;
  }
  return ip;
}

Variant* Runtime::procedureRef(Frame* f, Variant* sp) {
  std::string name = sp[-1].toString();
  GlobalEntry* e = lookupGlobal(*f->module, name);
  if (!e || e->kind != EntryKind::Procedure) raise(kErrInvalidCall);
  sp[-1] = Variant(makeRef<ProcRef>(e->proc, Ref<ModuleState>(f->module)));
  return sp;
}

void Runtime::declareDynamic(Frame* f, const Instr& in) {
  Frame* s = f->scope;
  if (!s->dyn) s->dyn = new DynLocals;
  const std::string& name = f->proc->names[static_cast<size_t>(in.a)];
  auto& slot = (*s->dyn)[name];
  if (!slot) slot = std::make_unique<Variant>();
}

Variant* Runtime::dimension(Frame* f, const Instr& in, Variant* sp) {
  int n = in.n;
  Variant* args = sp - n;
  bool preserve = in.op == OpCode::ReDim && (in.b & 1);
  bool fixed = in.op == OpCode::ReDim && (in.b & 2);
  int32_t fb = in.op == OpCode::ReDim ? (in.b >> 2) - 1 : in.b;
  Variant* v = variable(*this, f, in.k, in.a, fb, Access::Write);
  if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(in.a).name);
  if (fixed) raise(kErrArrayLocked);
  if (in.op == OpCode::InitArr && v->isArray()) {
    // A Dim line that runs again keeps its array.
    clearSlots(args, n);
    return args;
  }
  if (v->isArray() && v->rawArray()->locks > 0) raise(kErrArrayLocked);
  auto bounds = boundsOf(args, n);
  // Dim a() then ReDim Preserve a(n): the empty array just grows.
  if (preserve && v->isArray() && !v->rawArray()->bounds.empty()) {
    v->mutableArray().redimPreserve(bounds);
  } else {
    if (preserve && !v->isEmpty() && !v->isArray()) raise(kErrTypeMismatch);
    *v = Variant::array(bounds);
  }
  clearSlots(args, n);
  sp = args;
  return sp;
}

// The member of a script object's class that a call site names, found once
// per class; 438 when the class has none the calling code may reach.
[[gnu::always_inline]] inline const ClassMember& scriptMember(const Proc& caller, CallSite& site, ClassDef& cls,
                                                              const std::string& name) {
  int32_t mi;
  if (site.key == &cls) {
    mi = site.id;
  } else {
    mi = cls.find(name);
    site.key = &cls;
    site.id = mi;
  }
  if (mi < 0) raiseNamed(kErrNoSuchMember, name);
  const ClassMember& m = cls.members[static_cast<size_t>(mi)];
  if (!m.isPublic && caller.cls != &cls) raiseNamed(kErrNoSuchMember, name);
  return m;
}

Frame* Runtime::getMember(Frame* f, const Instr* ip, Variant*& sp) {
  int n = ip->n;
  CallSite& site = f->proc->sites[static_cast<size_t>(ip->b)];
  Variant* objSlot = sp - n - 1;
  Variant* args = objSlot + 1;
  bool statement = ip->k & kCallStatement;
  const std::string& name = f->proc->names[static_cast<size_t>(site.name)];
  if (!objSlot->isObject()) raiseNamed(kErrObjectRequired, name);
  Dispatch* d = objSlot->rawObject();
  if (!d) raise(kErrObjectNotSet);
  if (ScriptObject* so = asScriptObject(d)) {
    const ClassMember& m = scriptMember(*f->proc, site, so->cls(), name);
    if (m.kind == MemberKind::Field) {
      Variant result = n == 0 ? so->field(m.field) : indexValue(so->field(m.field), args, n);
      clearSlots(objSlot, n + 1);
      sp = objSlot;
      if (!statement) {
        *sp = std::move(result);
        ++sp;
      }
      unlockTo(locks_.size() - site.elemRefs);
      return nullptr;
    }
    Proc* p = m.kind == MemberKind::Method ? m.method.get() : m.get.get();
    if (!p) raiseNamed(kErrNoSuchMember, name);
    if (n > 0 && p->nParams == 0) {
      f->ip = ip;
      f->sp = sp;
      Variant inner = call(*p, so, so->module(), {});
      Variant result = indexValue(inner, args, n);
      clearSlots(objSlot, n + 1);
      unlockTo(locks_.size() - site.elemRefs);
      sp = objSlot;
      if (!statement) {
        *sp = std::move(result);
        ++sp;
      }
      return nullptr;
    }
    f->ip = ip;
    f->sp = objSlot;
    Frame* nf = newFrame(*p, so->module(), so, f);
    try {
      bindArgs(nf, args, f->refStack + (args - f->stack), site.refMask, n);
    } catch (...) {
      freeFrame(nf);
      throw;
    }
    objSlot->clear();
    nf->discard = statement;
    nf->unlockCount = site.elemRefs;
    return nf;
  }
  Ref<Dispatch> keep(d);
  DispId id = memberIdCached(*d, site, name);
  if (id == kDispIdUnknown) raiseNamed(kErrNoSuchMember, name);
  f->ip = ip;
  f->sp = sp;
  Variant result;
  try {
    result = d->invoke(id, statement ? kInvokeMethod : kInvokeGet | kInvokeMethod,
                       Args(args, static_cast<size_t>(n)));
  } catch (const Error& e) {
    // obj.Items(0) of a property without parameters: its value's
    // element or default member.
    if (e.number() != kErrWrongArgCount || n == 0) throw;
    // Only a property is read again; a method is never run twice.
    Variant inner = d->invoke(id, kInvokeGet, {});
    if (!inner.isObject() && !inner.isArray()) throw;
    result = indexValue(inner, args, n);
  }
  writeBack(args, f->refStack + (args - f->stack), &site, n);
  clearSlots(objSlot, n + 1);
  unlockTo(locks_.size() - site.elemRefs);
  sp = objSlot;
  if (!statement) {
    *sp = std::move(result);
    ++sp;
  }
  return nullptr;
}

Frame* Runtime::putMember(Frame* f, const Instr* ip, Variant*& sp) {
  int n = ip->n;
  CallSite& site = f->proc->sites[static_cast<size_t>(ip->b)];
  Variant* objSlot = sp - n - 2;
  Variant* args = objSlot + 1;
  bool isSet = ip->k & kPutSet;
  const std::string& name = f->proc->names[static_cast<size_t>(site.name)];
  if (!objSlot->isObject()) raiseNamed(kErrObjectRequired, name);
  Dispatch* d = objSlot->rawObject();
  if (!d) raise(kErrObjectNotSet);
  if (ScriptObject* so = asScriptObject(d)) {
    const ClassMember& m = scriptMember(*f->proc, site, so->cls(), name);
    if (m.kind == MemberKind::Field) {
      if (n == 0) {
        assignTo(so->field(m.field), std::move(args[0]));
      } else {
        storeIndexed(so->field(m.field), args, n, std::move(args[n]), isSet);
      }
      clearSlots(objSlot, n + 2);
      sp = objSlot;
      return nullptr;
    }
    Proc* p = nullptr;
    if (m.kind == MemberKind::Property) {
      p = isSet ? (m.set ? m.set.get() : m.let.get()) : m.let.get();
      if (!p && !isSet && m.set && args[n].isObject()) p = m.set.get();
    }
    if (!p) raiseNamed(kErrNoSuchMember, name);
    f->ip = ip;
    f->sp = objSlot;
    Frame* nf = newFrame(*p, so->module(), so, f);
    try {
      bindArgs(nf, args, f->refStack + (args - f->stack), 0, n + 1);
    } catch (...) {
      freeFrame(nf);
      throw;
    }
    objSlot->clear();
    nf->discard = true;
    return nf;
  }
  Ref<Dispatch> keep(d);
  DispId id = memberIdCached(*d, site, name);
  if (id == kDispIdUnknown) raiseNamed(kErrNoSuchMember, name);
  try {
    d->invoke(id, isSet ? kInvokePutRef : kInvokePut, Args(args, static_cast<size_t>(n) + 1));
  } catch (const Error& e) {
    if (e.number() != kErrWrongArgCount || n == 0) throw;
    // Only a property is read again; a method is never run twice.
    Variant inner = d->invoke(id, kInvokeGet, {});
    if (!inner.isObject()) throw;
    storeIndexed(inner, args, n, std::move(args[n]), isSet);
  }
  clearSlots(objSlot, n + 2);
  sp = objSlot;
  return nullptr;
}

Frame* Runtime::evaluate(Frame* f, const Instr* ip, Variant*& sp) {
  Variant textValue = std::move(sp[-1]);
  --sp;
  std::string text = textValue.toString();
  // The procedure whose variables the text reaches.
  Frame* scope = f->scope;
  Proc* context = scope->proc;
  bool local = context->type != ProcType::GlobalCode && context->type != ProcType::Snippet &&
               context->type != ProcType::Expression;
  if (ip->k == 2) local = false;
  if (!local) scope = nullptr;
  Ref<SourceText> src = makeRef<SourceText>();
  src->text = text;
  src->name = f->proc->source ? f->proc->source->name : std::string();
  Ref<Proc> code;
  if (ip->k == 0) {
    ExprPtr e = parseExpression(text);
    code = compileExpression(*e, *f->module, local ? context : nullptr, src);
  } else {
    Program prog = parseProgram(text);
    CompiledUnit unit =
        local ? compileLocalSnippet(prog, *f->module, *context, src) : compileUnit(prog, *f->module, src);
    install(*f->module, unit);
    code = unit.code;
  }
  f->ip = ip;
  f->sp = sp;
  Frame* nf = newFrame(*code, *f->module, local ? f->me : nullptr, f);
  if (local) nf->scope = scope;
  return nf;
}

}  // namespace tw::vbs
