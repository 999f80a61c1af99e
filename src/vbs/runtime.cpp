#include "vbs/runtime.h"

#include <typeinfo>

#include "vbs/compiler.h"
#include "vbs/interpreter.h"
#include "vbs/parser.h"

namespace tw::vbs {

using namespace vm;

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

// ---- FrameArena

void FrameArena::enterChunk(size_t chunk) {
  chunk_ = chunk;
  base_ = chunk < chunks_.size() ? chunks_[chunk].get() : nullptr;
  limit_ = chunk < chunks_.size() ? sizes_[chunk] : 0;
  offset_ = 0;
}

void* FrameArena::allocateInNextChunk(size_t bytes) {
  // The current chunk is full: the next one with room, else a new one.
  while (chunk_ + 1 < chunks_.size()) {
    enterChunk(chunk_ + 1);
    if (bytes <= limit_) return allocate(bytes);
  }
  size_t size = std::max(kChunk, bytes);
  chunks_.push_back(std::unique_ptr<char[]>(new char[size]));
  sizes_.push_back(size);
  enterChunk(chunks_.size() - 1);
  return allocate(bytes);
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
    e.value.clear();  // an array comes to be when its Dim line runs
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

bool Runtime::recover(Frame*& f, const Instr*& ip, Variant*& sp, const Error& e) {
  if (!location_.known) {
    location_.known = true;
    location_.pos = f->proc->positionAt(static_cast<int32_t>(ip - f->code));
    location_.source = f->proc->source;
  }
  bool resumable = e.number() != kErrScriptTimeout &&
                   !(outOfMemoryEnds_ && e.number() == kErrOutOfMemory && !err_.raised);
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
      if (skipObserver_) {
        SkippedError skipped;
        skipped.number = e.number();
        skipped.description = e.message();
        skipped.procedure = f->proc->name;
        skipped.position = f->proc->positionAt(static_cast<int32_t>(ip - f->code));
        if (f->proc->source) skipped.sourceName = f->proc->source->name;
        try {
          skipObserver_(skipped);
        } catch (...) {
          // An observer's failure does not change what the script does.
        }
      }
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
