#include "vbs/runtime.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <typeinfo>

#include "automation/text.h"
#include "automation/variant_ops.h"
#include "vbs/compiler.h"
#include "vbs/objects.h"
#include "vbs/parser.h"

namespace tw::vbs {

using DynLocals = std::unordered_map<std::string, std::unique_ptr<Variant>, NoCaseHash, NoCaseEqual>;

struct Frame {
  Proc* proc;
  const Instr* code;
  const Instr* ip;  // the call instruction while a callee runs
  Variant* locals;
  Variant** refs;
  Variant* stack;
  Variant** refStack;
  Variant* sp;
  Frame* caller;
  Frame* scope;  // the procedure whose variables Execute'd code reaches
  ScriptObject* me;
  ModuleState* module;
  DynLocals* dyn;
  FrameArena::Mark mark;
  size_t lockBase;
  uint16_t unlockCount;
  bool resumeNext;
  bool entry;
  bool discard;
};

namespace {

// Deepest script call nesting; "Out of stack space" beyond it.
constexpr int32_t kMaxFrames = 4000;
// Interpreter loops inside each other (host calls back, default members of
// script objects, Class_Initialize...), each using the C stack.
constexpr int32_t kMaxNesting = 160;
constexpr size_t kMaxCStack = 3 * 1024 * 1024;
constexpr int32_t kTickInterval = 2048;
constexpr int32_t kMissingArg = static_cast<int32_t>(0x80020004u);
// Longest text the engine builds; longer ones are "Out of memory".
constexpr size_t kMaxStringBytes = size_t{1} << 27;

inline void checkLength(size_t n) {
  if (n > kMaxStringBytes) raise(kErrOutOfMemory);
}

const Variant& emptyVariant() {
  static const Variant empty;
  return empty;
}

[[noreturn]] void raiseNamed(int32_t number, std::string_view name) {
  Error e(number);
  e.setSubject(std::string(name));
  throw e;
}

// dst = v without the out-of-line paths of Variant's assignment.
[[gnu::always_inline]] inline void setValue(Variant& dst, Variant&& v) {
  dst.clear();
  new (&dst) Variant(std::move(v));
}

inline bool smallInt(const Variant& v, int64_t& out) {
  switch (v.type()) {
    case vtInteger:
      out = v.rawInteger();
      return true;
    case vtLong:
      out = v.rawLong();
      return true;
    default:
      return false;
  }
}

// Result of + - * on Integer/Long operands: Integer when both were and it
// fits, then Long, then Double.
inline Variant intResult(int64_t r, bool bothInteger) {
  if (bothInteger && r >= -32768 && r <= 32767) return Variant::integer(static_cast<int16_t>(r));
  if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())
    return Variant(static_cast<int>(r));  // the inline constructor makes a Long
  return Variant(static_cast<double>(r));
}

// Integer, Long or Double operands, at least one a Double: plain double
// arithmetic gives what the general operators give.
inline bool doubleOperands(const Variant& l, const Variant& r, double& x, double& y) {
  VarType a = l.type(), b = r.type();
  if (a != vtDouble && b != vtDouble) return false;
  if (a == vtDouble) {
    x = l.rawDouble();
  } else if (a == vtInteger) {
    x = l.rawInteger();
  } else if (a == vtLong) {
    x = l.rawLong();
  } else {
    return false;
  }
  if (b == vtDouble) {
    y = r.rawDouble();
  } else if (b == vtInteger) {
    y = r.rawInteger();
  } else if (b == vtLong) {
    y = r.rawLong();
  } else {
    return false;
  }
  return true;
}

inline bool numericValue(const Variant& v, double& out) {
  switch (v.type()) {
    case vtInteger:
      out = v.rawInteger();
      return true;
    case vtLong:
      out = v.rawLong();
      return true;
    case vtDouble:
      out = v.rawDouble();
      return true;
    case vtSingle:
      out = v.rawSingle();
      return true;
    case vtByte:
      out = v.rawByte();
      return true;
    default:
      return false;
  }
}

// A text compared with a numeric literal is read as a number.
void literalCompare(Variant& text) {
  if (!text.isString()) return;
  double d;
  if (!parseNumber(text.rawString(), d)) raise(kErrTypeMismatch);
  text = Variant(d);
}

// Integer indexes of an element access.
struct Indexes {
  int32_t small[8];
  std::vector<int32_t> big;
  std::span<const int32_t> view;
  Indexes(const Variant* args, int n) {
    int32_t* out = small;
    if (n > 8) {
      big.resize(static_cast<size_t>(n));
      out = big.data();
    }
    for (int i = 0; i < n; ++i) {
      const Variant& a = args[i];
      out[i] = a.type() == vtInteger ? a.rawInteger() : a.type() == vtLong ? a.rawLong() : a.toLong();
    }
    view = std::span<const int32_t>(out, static_cast<size_t>(n));
  }
};

}  // namespace

void raiseArrayLocked() { raise(kErrArrayLocked); }

Variant indexValue(const Variant& v, Variant* args, int n, uint16_t kind) {
  if (v.isArray()) {
    Indexes ix(args, n);
    return v.rawArray()->at(ix.view);
  }
  if (v.isObject()) {
    Dispatch* d = v.rawObject();
    if (!d) raise(kErrObjectNotSet);
    Ref<Dispatch> keep(d);
    return d->invoke(kDispIdValue, kind, Args(args, static_cast<size_t>(n)));
  }
  if (n == 0) return v;
  raise(kErrTypeMismatch);
}

// target(args) = value: an element of an array, the default member of an object.
void storeIndexed(Variant& target, Variant* args, int n, Variant&& value, bool isSet) {
  if (target.isArray()) {
    Indexes ix(args, n);
    SafeArray& arr = target.mutableArray();
    arr.at(ix.view) = std::move(value);
    return;
  }
  if (target.isObject()) {
    Dispatch* d = target.rawObject();
    if (!d) raise(kErrObjectNotSet);
    Ref<Dispatch> keep(d);
    args[n] = std::move(value);
    d->invoke(kDispIdValue, isSet ? kInvokePutRef : kInvokePut, Args(args, static_cast<size_t>(n) + 1));
    return;
  }
  raise(kErrTypeMismatch);
}

namespace {

// Most elements an array made by Dim or ReDim may have.
constexpr uint64_t kMaxArrayElements = uint64_t{1} << 25;

std::vector<std::pair<int32_t, int32_t>> boundsOf(const Variant* args, int n) {
  std::vector<std::pair<int32_t, int32_t>> b;
  b.reserve(static_cast<size_t>(n));
  uint64_t total = 1;
  for (int i = 0; i < n; ++i) {
    const Variant& a = args[i];
    if (a.isNull()) raise(kErrInvalidNull);
    int32_t upper = a.toLong();
    if (upper < -1) raise(kErrSubscript);
    total *= static_cast<uint64_t>(upper + 1);
    if (total > kMaxArrayElements) raise(kErrOutOfMemory);
    b.emplace_back(0, upper);
  }
  return b;
}

// For loop bounds are numbers; texts are read as numbers.
Variant loopNumber(Variant v) {
  switch (v.type()) {
    case vtEmpty:
      return Variant::integer(0);
    case vtNull:
      raise(kErrInvalidNull);
    case vtString: {
      double d;
      if (!parseNumber(v.rawString(), d)) raise(kErrTypeMismatch);
      return Variant(d);
    }
    case vtInteger:
    case vtLong:
    case vtDouble:
    case vtSingle:
    case vtCurrency:
    case vtByte:
    case vtDate:
    case vtBoolean:
    case vtDecimal:
      return v;
    default:
      raise(kErrTypeMismatch);
  }
}

bool stepNegative(const Variant& step) {
  int64_t i;
  if (smallInt(step, i)) return i < 0;
  return isTrue(lessThan(step, Variant::integer(0)));
}

bool withinLimit(const Variant& v, const Variant& limit, bool negative) {
  int64_t a, b;
  if (smallInt(v, a) && smallInt(limit, b)) return negative ? a >= b : a <= b;
  double x, y;
  if (numericValue(v, x) && numericValue(limit, y)) return negative ? x >= y : x <= y;
  CompareResult c = compare(v, limit);
  if (c == kCompareNull) raise(kErrInvalidNull);
  return negative ? c >= 0 : c <= 0;
}

bool conditionTrue(const Variant& v) {
  if (v.type() == vtBoolean) return v.rawBool();
  return isTrue(v);
}

bool resolveHost(Runtime& rt, GlobalEntry& e) {
  if (e.hostGeneration == rt.hostGeneration()) return false;
  for (const Runtime::HostObject& h : rt.hostObjects()) {
    if (equalsNoCase(h.name, e.name)) {
      e.kind = EntryKind::HostObject;
      e.value = Variant(h.object);
      return true;
    }
  }
  for (const Runtime::HostObject& h : rt.hostObjects()) {
    if (!h.addMembers) continue;
    DispId id = h.object->memberId(e.name);
    if (id != kDispIdUnknown) {
      e.kind = EntryKind::HostMember;
      e.value = Variant(h.object);
      e.member = id;
      return true;
    }
  }
  e.hostGeneration = rt.hostGeneration();
  return false;
}

enum class Access { Read, Write, Ref };

// The variable behind a global name, or null when the name is a procedure
// or a host member (the caller calls it).
Variant* globalVariable(Runtime& rt, Frame* f, int32_t a, uint8_t kind, int32_t fallback, Access access) {
  GlobalEntry& e = f->module->entry(a);
  for (;;) {
    switch (e.kind) {
      case EntryKind::Variable:
        return &e.value;
      case EntryKind::Constant:
      case EntryKind::HostObject:
        if (access == Access::Write) raiseNamed(kErrIllegalAssignment, e.name);
        return &e.value;
      case EntryKind::Procedure:
      case EntryKind::HostMember:
        return nullptr;
      case EntryKind::Undefined:
        if (resolveHost(rt, e)) continue;
        if (kind == kVarGlobalP) {
          if (fallback >= 0) return &f->locals[fallback];
          Frame* s = f->scope;
          if (s->dyn) {
            auto it = s->dyn->find(e.name);
            if (it != s->dyn->end()) return it->second.get();
          }
          if (f->proc->optionExplicit) raiseNamed(kErrUndefinedVariable, e.name);
          if (access == Access::Read) return const_cast<Variant*>(&emptyVariant());
          if (!s->dyn) s->dyn = new DynLocals;
          auto& slot = (*s->dyn)[e.name];
          slot = std::make_unique<Variant>();
          return slot.get();
        }
        if (f->proc->optionExplicit) raiseNamed(kErrUndefinedVariable, e.name);
        if (access == Access::Read) return const_cast<Variant*>(&emptyVariant());
        e.kind = EntryKind::Variable;
        return &e.value;
    }
  }
}

// Any variable operand. Null only for global procedures and host members.
[[gnu::always_inline]] inline Variant* variable(Runtime& rt, Frame* f, uint8_t kind, int32_t a,
                                                int32_t fallback, Access access) {
  switch (kind) {
    case kVarLocal:
      return &f->locals[a];
    case kVarRef:
      return f->refs[a];
    case kVarUp:
      return &f->scope->locals[a];
    case kVarUpRef:
      return f->scope->refs[a];
    case kVarField:
      return &f->me->field(a);
    default: {
      GlobalEntry& e = f->module->entry(a);
      if (e.kind == EntryKind::Variable) return &e.value;
      return globalVariable(rt, f, a, kind, fallback, access);
    }
  }
}

int32_t forFallback(const Proc& p, int32_t pc) {
  auto it =
      std::lower_bound(p.forFallbacks.begin(), p.forFallbacks.end(), std::pair<int32_t, int32_t>(pc, -1));
  if (it != p.forFallbacks.end() && it->first == pc) return it->second;
  return -1;
}

// Writes ByRef arguments back after a host object's member changed them.
void writeBack(Variant* args, Variant** refs, const CallSite* site, int n) {
  if (!site || !site->refMask) return;
  for (int i = 0; i < n && i < 64; ++i) {
    if (!((site->refMask >> i) & 1) || !refs[i]) continue;
    if (!args[i].identical(*refs[i])) *refs[i] = args[i];
  }
}

void clearSlots(Variant* from, int n) {
  for (int i = 0; i < n; ++i) from[i].clear();
}

}  // namespace

// ---- FrameArena

void* FrameArena::allocate(size_t bytes) {
  bytes = (bytes + 15) & ~size_t{15};
  for (;;) {
    if (chunk_ < chunks_.size()) {
      if (offset_ + bytes <= sizes_[chunk_]) {
        void* p = chunks_[chunk_].get() + offset_;
        offset_ += bytes;
        return p;
      }
      ++chunk_;
      offset_ = 0;
      continue;
    }
    size_t size = std::max(kChunk, bytes);
    chunks_.push_back(std::unique_ptr<char[]>(new char[size]));
    sizes_.push_back(size);
    chunk_ = chunks_.size() - 1;
    offset_ = 0;
  }
}

// ---- ModuleState

ModuleState::~ModuleState() = default;

int32_t ModuleState::intern(std::string_view n) {
  auto it = index_.find(n);
  if (it != index_.end()) return it->second;
  storage_.emplace_back();
  storage_.back().name = std::string(n);
  entries.push_back(&storage_.back());
  int32_t idx = static_cast<int32_t>(entries.size() - 1);
  index_.emplace(std::string(n), idx);
  return idx;
}

int32_t ModuleState::find(std::string_view n) const {
  auto it = index_.find(n);
  return it == index_.end() ? -1 : it->second;
}

void ModuleState::clear() {
  // Values go last, after the module no longer names them: their
  // Class_Terminate code may still look at the module.
  std::vector<Variant> values;
  std::vector<Ref<Proc>> procs;
  for (GlobalEntry* e : entries) {
    if (!e->value.isEmpty()) values.push_back(std::move(e->value));
    if (e->proc) procs.push_back(std::move(e->proc));
    e->value.clear();
    e->kind = EntryKind::Undefined;
    e->fixedArray = false;
    e->hostGeneration = 0;
  }
  auto classesCopy = std::move(classes);
  classes.clear();
  procOrder.clear();
  values.clear();
}

GlobalEntry* lookupGlobal(ModuleState& mod, std::string_view name) {
  int32_t i = mod.find(name);
  if (i < 0) return nullptr;
  GlobalEntry& e = mod.entry(i);
  if (e.kind == EntryKind::Undefined && mod.rt) resolveHost(*mod.rt, e);
  return e.kind == EntryKind::Undefined ? nullptr : &e;
}

// ---- Runtime

Runtime::Runtime() : errObject_(makeRef<ErrObject>(err_)) {}

Runtime::~Runtime() {
  // Objects the host still holds outlive the runtime; they only raise errors.
  for (ScriptObject* o = live_; o;) {
    ScriptObject* next = o->next_;
    o->runtime_ = nullptr;
    o->prev_ = o->next_ = nullptr;
    o = next;
  }
}

void Runtime::track(ScriptObject* obj) noexcept {
  obj->runtime_ = this;
  obj->next_ = live_;
  obj->prev_ = nullptr;
  if (live_) live_->prev_ = obj;
  live_ = obj;
}

void Runtime::untrack(ScriptObject* obj) noexcept {
  if (obj->prev_) {
    obj->prev_->next_ = obj->next_;
  } else if (live_ == obj) {
    live_ = obj->next_;
  }
  if (obj->next_) obj->next_->prev_ = obj->prev_;
  obj->prev_ = obj->next_ = nullptr;
  obj->runtime_ = nullptr;
}

void Runtime::releaseOrphans() noexcept {
  std::vector<Ref<ScriptObject>> orphans;
  for (ScriptObject* o = live_; o; o = o->next_)
    if (!o->module_->rt) orphans.emplace_back(o);
  std::vector<Variant> values;
  for (Ref<ScriptObject>& o : orphans) {
    for (Variant& v : o->fields_) values.push_back(std::move(v));
  }
  values.clear();
  orphans.clear();
}

void Runtime::close() { closed_ = true; }

void Runtime::addObject(std::string_view name, Ref<Dispatch> obj, bool addMembers) {
  for (HostObject& h : hostObjects_) {
    if (equalsNoCase(h.name, name)) {
      h.object = std::move(obj);
      h.addMembers = addMembers;
      ++hostGeneration_;
      return;
    }
  }
  hostObjects_.push_back({std::string(name), std::move(obj), addMembers});
  ++hostGeneration_;
}

void Runtime::clearObjects() {
  auto old = std::move(hostObjects_);
  hostObjects_.clear();
  ++hostGeneration_;
}

void Runtime::beginHostCall() {
  if (hostDepth_++ > 0) return;
  location_ = ErrorLocation{};
  ticks_ = kTickInterval;
  if (timeoutMs_ >= 0) {
    hasDeadline_ = true;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
  } else {
    hasDeadline_ = false;
  }
}

void Runtime::endHostCall() {
  if (--hostDepth_ == 0) hasDeadline_ = false;
}

void Runtime::checkTimeout() {
  ticks_ = kTickInterval;
  if (hasDeadline_ && std::chrono::steady_clock::now() > deadline_)
    raise(kErrScriptTimeout, "The script timed out");
}

inline void Runtime::tick() {
  if (--ticks_ <= 0) checkTimeout();
}

Frame* Runtime::newFrame(Proc& proc, ModuleState& mod, ScriptObject* me, Frame* caller) {
  if (frameDepth_ >= kMaxFrames) raise(kErrOutOfStack);
  size_t nVars = static_cast<size_t>(proc.nLocals + proc.maxStack);
  size_t nPtrs = static_cast<size_t>(proc.nParams + proc.maxStack);
  FrameArena::Mark m = arena_.mark();
  char* mem = static_cast<char*>(
      arena_.allocate(sizeof(Frame) + nVars * sizeof(Variant) + nPtrs * sizeof(Variant*) + 16));
  Frame* f = new (mem) Frame;
  char* p = mem + ((sizeof(Frame) + 15) & ~size_t{15});
  Variant* vars = reinterpret_cast<Variant*>(p);
  for (size_t i = 0; i < nVars; ++i) new (vars + i) Variant();
  Variant** ptrs = reinterpret_cast<Variant**>(p + nVars * sizeof(Variant));
  f->proc = &proc;
  f->code = proc.code.data();
  f->ip = f->code;
  f->locals = vars;
  f->stack = vars + proc.nLocals;
  f->sp = f->stack;
  f->refs = ptrs;
  f->refStack = ptrs + proc.nParams;
  for (int32_t i = 0; i < proc.nParams; ++i) f->refs[i] = nullptr;
  f->caller = caller;
  f->scope = f;
  f->me = me;
  f->module = &mod;
  f->dyn = nullptr;
  f->mark = m;
  f->lockBase = locks_.size();
  f->unlockCount = 0;
  f->resumeNext = false;
  f->entry = false;
  f->discard = false;
  proc.addRef();
  if (me) me->addRef();
  ++frameDepth_;
  return f;
}

void Runtime::freeFrame(Frame* f) noexcept {
  unlockTo(f->lockBase);
  size_t nVars = static_cast<size_t>(f->proc->nLocals + f->proc->maxStack);
  // Destroying values may run Class_Terminate: the frame's memory stays
  // reserved meanwhile, so that code gets frames above it.
  for (size_t i = 0; i < nVars; ++i) f->locals[i].~Variant();
  delete f->dyn;
  if (f->me) f->me->release();
  FrameArena::Mark m = f->mark;
  Proc* proc = f->proc;
  f->~Frame();
  --frameDepth_;
  arena_.release(m);
  proc->release();
}

void Runtime::unlockTo(size_t n) noexcept {
  while (locks_.size() > n) {
    if (SafeArray* a = locks_.back()) --a->locks;
    locks_.pop_back();
  }
}

DispId Runtime::memberIdCached(Dispatch& obj, CallSite& site, const std::string& name) {
  const ClassInfo* info = obj.classInfo();
  if (info) {
    if (site.key == info) return site.id;
    DispId id = obj.memberId(name);
    site.key = info;
    site.id = id;
    return id;
  }
  return obj.memberId(name);
}

// Binds call arguments to a new frame's parameters.
static void bindArgs(Frame* nf, Variant* args, Variant** refs, uint64_t mask, int n) {
  Proc& p = *nf->proc;
  if (n != p.nParams) raiseNamed(kErrWrongArgCount, p.name);
  for (int i = 0; i < n; ++i) {
    if (p.byRef[static_cast<size_t>(i)]) {
      if (i < 64 && ((mask >> i) & 1) && refs[i]) {
        nf->refs[i] = refs[i];
        args[i].clear();
      } else {
        nf->locals[i] = std::move(args[i]);
        nf->refs[i] = &nf->locals[i];
      }
    } else {
      nf->locals[i] = std::move(args[i]);
    }
  }
}

Variant Runtime::call(Proc& proc, ScriptObject* me, ModuleState& mod, Args args) {
  if (closed_) raise(kErrEngineReset, "The script engine has been reset");
  int n = static_cast<int>(args.size());
  if (n != proc.nParams) raiseNamed(kErrWrongArgCount, proc.name);
  Frame* f = newFrame(proc, mod, me, nullptr);
  f->entry = true;
  for (int i = 0; i < n; ++i) {
    if (proc.byRef[static_cast<size_t>(i)]) {
      f->refs[i] = &args[static_cast<size_t>(i)];
    } else {
      f->locals[i] = args[static_cast<size_t>(i)];
    }
  }
  return execute(f);
}

Variant Runtime::runGlobalCode(ModuleState& mod, Proc& code) { return call(code, nullptr, mod, {}); }

void Runtime::install(ModuleState& mod, CompiledUnit& unit) {
  for (Ref<Proc>& p : unit.procs) {
    int32_t i = mod.intern(p->name);
    GlobalEntry& e = mod.entry(i);
    bool listed = std::find(mod.procOrder.begin(), mod.procOrder.end(), i) != mod.procOrder.end();
    Variant old = std::move(e.value);
    e.kind = EntryKind::Procedure;
    e.proc = p;
    e.value.clear();
    if (!listed) mod.procOrder.push_back(i);
  }
  for (Ref<ClassDef>& c : unit.classes) mod.classes[c->name] = c;
  for (CompiledUnit::Const& c : unit.consts) {
    GlobalEntry& e = mod.entry(c.entry);
    e.kind = EntryKind::Constant;
    e.proc.reset();
    e.value = c.value;
  }
  for (CompiledUnit::Dim& d : unit.dims) {
    GlobalEntry& e = mod.entry(d.entry);
    if (e.kind == EntryKind::Variable) continue;
    e.kind = EntryKind::Variable;
    e.proc.reset();
    e.fixedArray = d.fixedArray;
    if (d.bounds.size() == 1 && d.bounds[0] == -2) {
      e.value = Variant::array(std::span<const std::pair<int32_t, int32_t>>());
    } else if (!d.bounds.empty()) {
      std::vector<std::pair<int32_t, int32_t>> b;
      for (int32_t u : d.bounds) b.emplace_back(0, u);
      e.value = Variant::array(b);
    } else {
      e.value.clear();
    }
  }
}

Ref<ScriptObject> Runtime::instantiate(ClassDef& cls, ModuleState& mod) {
  Ref<ScriptObject> obj = makeRef<ScriptObject>(Ref<ClassDef>(&cls), Ref<ModuleState>(&mod));
  for (const ClassMember& m : cls.members) {
    if (m.kind != MemberKind::Field || m.bounds.empty()) continue;
    if (m.bounds.size() == 1 && m.bounds[0] == -2) {
      obj->fields_[static_cast<size_t>(m.field)] =
          Variant::array(std::span<const std::pair<int32_t, int32_t>>());
    } else {
      std::vector<std::pair<int32_t, int32_t>> b;
      for (int32_t u : m.bounds) b.emplace_back(0, u);
      obj->fields_[static_cast<size_t>(m.field)] = Variant::array(b);
    }
  }
  if (cls.initialize) {
    try {
      call(*cls.initialize, obj.get(), mod, {});
    } catch (...) {
      obj->terminated_ = true;  // a failed Class_Initialize gets no Class_Terminate
      throw;
    }
  }
  return obj;
}

void Runtime::terminate(ScriptObject& obj) noexcept {
  if (closed_ || !obj.cls().terminate) return;
  ErrorLocation saved = location_;
  try {
    call(*obj.cls().terminate, &obj, obj.module(), {});
  } catch (...) {
    // Errors in Class_Terminate have no statement to go to.
  }
  location_ = saved;
}

// ---- The interpreter

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
                  result =
                      obj->invoke(e.member, kInvokeGet | kInvokeMethod, Args(args, static_cast<size_t>(n)));
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
            ++ip;
            continue;
          }
          case OpCode::Index: {
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
                result =
                    obj->invoke(e.member, kInvokeGet | kInvokeMethod, Args(args, static_cast<size_t>(n)));
              } else {
                result = call(*e.proc, nullptr, *f->module, Args(args, static_cast<size_t>(n)));
              }
            }
            clearSlots(args, n);
            sp = args;
            *sp = std::move(result);
            ++sp;
            ++ip;
            continue;
          }
          case OpCode::StIndex: {
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
              obj->invoke(e.member, isSet ? kInvokePutRef : kInvokePut,
                          Args(args, static_cast<size_t>(n) + 1));
            }
            clearSlots(args, n + 1);
            sp = args;
            ++ip;
            continue;
          }
          case OpCode::Erase: {
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
            ++ip;
            continue;
          }
          case OpCode::ReDim:
          case OpCode::InitArr: {
            int n = in.n;
            Variant* args = sp - n;
            bool preserve = in.op == OpCode::ReDim && (in.b & 1);
            bool fixed = in.op == OpCode::ReDim && (in.b & 2);
            int32_t fb = in.op == OpCode::ReDim ? (in.b >> 2) - 1 : in.b;
            Variant* v = variable(*this, f, in.k, in.a, fb, Access::Write);
            if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(in.a).name);
            if (fixed) raise(kErrArrayLocked);
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
            int n = in.n;
            CallSite& site = f->proc->sites[static_cast<size_t>(in.b)];
            Variant* objSlot = sp - n - 1;
            Variant* args = objSlot + 1;
            bool statement = in.k & kCallStatement;
            const std::string& name = f->proc->names[static_cast<size_t>(site.name)];
            if (!objSlot->isObject()) raiseNamed(kErrObjectRequired, name);
            Dispatch* d = objSlot->rawObject();
            if (!d) raise(kErrObjectNotSet);
            if (ScriptObject* so = asScriptObject(d)) {
              ClassDef& cls = so->cls();
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
              if (!m.isPublic && f->proc->cls != &cls) raiseNamed(kErrNoSuchMember, name);
              if (m.kind == MemberKind::Field) {
                Variant result = n == 0 ? so->field(m.field) : indexValue(so->field(m.field), args, n);
                clearSlots(objSlot, n + 1);
                sp = objSlot;
                if (!statement) {
                  *sp = std::move(result);
                  ++sp;
                }
                unlockTo(locks_.size() - site.elemRefs);
                ++ip;
                continue;
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
                ++ip;
                continue;
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
              tick();
              f = nf;
              ip = f->code;
              sp = f->sp;
              continue;
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
            ++ip;
            continue;
          }
          case OpCode::PutMbr: {
            int n = in.n;
            CallSite& site = f->proc->sites[static_cast<size_t>(in.b)];
            Variant* objSlot = sp - n - 2;
            Variant* args = objSlot + 1;
            bool isSet = in.k & kPutSet;
            const std::string& name = f->proc->names[static_cast<size_t>(site.name)];
            if (!objSlot->isObject()) raiseNamed(kErrObjectRequired, name);
            Dispatch* d = objSlot->rawObject();
            if (!d) raise(kErrObjectNotSet);
            if (ScriptObject* so = asScriptObject(d)) {
              ClassDef& cls = so->cls();
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
              if (!m.isPublic && f->proc->cls != &cls) raiseNamed(kErrNoSuchMember, name);
              if (m.kind == MemberKind::Field) {
                if (n == 0) {
                  assignTo(so->field(m.field), std::move(args[0]));
                } else {
                  storeIndexed(so->field(m.field), args, n, std::move(args[n]), isSet);
                }
                clearSlots(objSlot, n + 2);
                sp = objSlot;
                ++ip;
                continue;
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
              tick();
              f = nf;
              ip = f->code;
              sp = f->sp;
              continue;
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
            int n = in.n;
            Variant* parts = sp - n;
            bool allNull = true;
            size_t total = 0;
            for (int i = 0; i < n; ++i) {
              Variant& p = parts[i];
              if (p.isObject()) p = p.valueOf();
              if (!p.isNull()) allNull = false;
              if (p.isString()) {
                total += p.rawString().size();
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
              for (int i = 0; i < n; ++i)
                if (parts[i].isString()) s.append(parts[i].rawString());
              result = Variant(std::move(s));
            }
            clearSlots(parts, n);
            sp = parts;
            *sp = std::move(result);
            ++sp;
            ++ip;
            continue;
          }
          case OpCode::Append: {
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
              for (int i = 0; i < n; ++i) {
                Variant& p = parts[i];
                if (!p.isString() && !p.isNull() && !p.isEmpty()) p = Variant(p.toString());
              }
              size_t total = v->rawString().size();
              for (int i = 0; i < n; ++i)
                if (parts[i].isString()) total += parts[i].rawString().size();
              checkLength(total);
              std::string& s = v->mutableString();
              if (s.capacity() < total) s.reserve(std::max(total, s.size() * 2));
              for (int i = 0; i < n; ++i)
                if (parts[i].isString()) s.append(parts[i].rawString());
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
              if ((l.type() == vtSingle && r.type() == vtDouble) || (l.type() == vtDouble && r.type() == vtSingle)) {
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
            Variant coll = std::move(sp[-1]);
            --sp;
            int32_t h = in.n;
            int32_t fb = in.k == kVarGlobalP ? forFallback(*f->proc, static_cast<int32_t>(ip - f->code)) : -1;
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
              Variant* v = variable(*this, f, in.k, in.a, fb, Access::Write);
              if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(in.a).name);
              assignTo(*v, std::move(first));
              ++ip;
            } else {
              ip = f->code + in.b;
            }
            continue;
          }
          case OpCode::EachNext: {
            int32_t h = in.n;
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
            } else {
              EnumHolder* holder = asEnumHolder(state.rawObject());
              any = holder && holder->enumerator->next(item);
            }
            if (any) {
              int32_t fb =
                  in.k == kVarGlobalP ? forFallback(*f->proc, static_cast<int32_t>(ip - f->code)) : -1;
              Variant* v = variable(*this, f, in.k, in.a, fb, Access::Write);
              if (!v) raiseNamed(kErrIllegalAssignment, f->module->entry(in.a).name);
              assignTo(*v, std::move(item));
              tick();
              ip = f->code + in.b;
            } else {
              ++ip;
            }
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
            Variant textValue = std::move(sp[-1]);
            --sp;
            std::string text = textValue.toString();
            // The procedure whose variables the text reaches.
            Frame* scope = f->scope;
            Proc* context = scope->proc;
            bool local = context->type != ProcType::GlobalCode && context->type != ProcType::Snippet &&
                         context->type != ProcType::Expression;
            if (in.k == 2) local = false;
            if (!local) scope = nullptr;
            Ref<SourceText> src = makeRef<SourceText>();
            src->text = text;
            src->name = f->proc->source ? f->proc->source->name : std::string();
            Ref<Proc> code;
            if (in.k == 0) {
              ExprPtr e = parseExpression(text);
              code = compileExpression(*e, *f->module, local ? context : nullptr, src);
            } else {
              Program prog = parseProgram(text);
              CompiledUnit unit = local ? compileLocalSnippet(prog, *f->module, *context, src)
                                        : compileUnit(prog, *f->module, src);
              install(*f->module, unit);
              code = unit.code;
            }
            f->ip = ip;
            f->sp = sp;
            Frame* nf = newFrame(*code, *f->module, local ? f->me : nullptr, f);
            if (local) nf->scope = scope;
            tick();
            f = nf;
            ip = f->code;
            sp = f->sp;
            continue;
          }
          case OpCode::GetRef: {
            std::string name = sp[-1].toString();
            GlobalEntry* e = lookupGlobal(*f->module, name);
            if (!e || e->kind != EntryKind::Procedure) raise(kErrInvalidCall);
            sp[-1] = Variant(makeRef<ProcRef>(e->proc, Ref<ModuleState>(f->module)));
            ++ip;
            continue;
          }
          case OpCode::DeclDyn: {
            Frame* s = f->scope;
            if (!s->dyn) s->dyn = new DynLocals;
            const std::string& name = f->proc->names[static_cast<size_t>(in.a)];
            auto& slot = (*s->dyn)[name];
            if (!slot) slot = std::make_unique<Variant>();
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

bool Runtime::recover(Frame*& f, const Instr*& ip, Variant*& sp, const Error& e) {
  if (!location_.known) {
    location_.known = true;
    location_.pos = f->proc->positionAt(static_cast<int32_t>(ip - f->code));
    location_.source = f->proc->source;
  }
  bool resumable = e.number() != kErrScriptTimeout;
  for (;;) {
    clearSlots(f->stack, f->proc->maxStack);
    if (resumable && f->resumeNext) {
      unlockTo(f->lockBase);
      err_.number = e.number();
      err_.description = e.description();
      err_.helpFile = err_.raised ? std::move(err_.raisedHelpFile) : std::string();
      err_.helpContext = err_.raised ? err_.raisedHelpContext : 0;
      err_.raised = false;
      err_.source = e.source().empty()
                        ? (e.number() >= 1000 && e.number() < 1100 ? "Microsoft VBScript compilation error"
                                                                   : kRuntimeErrorSource)
                        : e.source();
      location_ = ErrorLocation{};
      ip = f->code + f->proc->resumeAt(static_cast<int32_t>(ip - f->code));
      sp = f->stack;
      return true;
    }
    Frame* caller = f->caller;
    bool wasEntry = f->entry;
    freeFrame(f);
    if (wasEntry) return false;
    f = caller;
    ip = f->ip;
  }
}

}  // namespace tw::vbs
