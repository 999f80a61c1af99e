#include "vbs/objects.h"

namespace tw::vbs {

namespace {

// E_OUTOFMEMORY raised by a script is the Out of memory error.
constexpr int32_t kOutOfMemoryResult = static_cast<int32_t>(0x8007000Eu);

Runtime& liveRuntime(ModuleState& mod) {
  if (!mod.rt || mod.rt->closed()) raise(kErrEngineReset, "The script engine has been reset");
  return *mod.rt;
}

}  // namespace

std::string defaultErrorDescription(int32_t number) {
  std::string_view text = standardErrorText(number);
  if (!text.empty()) return std::string(text);
  return "Unknown runtime error";
}

// ---- ScriptObject

ScriptObject::ScriptObject(Ref<ClassDef> cls, Ref<ModuleState> mod)
    : cls_(std::move(cls)), module_(std::move(mod)), fields_(static_cast<size_t>(cls_->nFields)) {
  if (module_->rt) module_->rt->track(this);
}

ScriptObject::~ScriptObject() {
  if (runtime_) runtime_->untrack(this);
}

Runtime& ScriptObject::runtime() const { return liveRuntime(*module_); }

DispId ScriptObject::memberId(std::string_view name) {
  int32_t i = cls_->find(name);
  if (i < 0 || !cls_->members[static_cast<size_t>(i)].isPublic) return kDispIdUnknown;
  return i + 1;
}

Variant ScriptObject::invoke(DispId id, uint16_t kind, Args args) {
  Runtime& rt = runtime();
  int32_t mi = id == kDispIdValue ? cls_->defaultMember : id - 1;
  if (mi < 0 || static_cast<size_t>(mi) >= cls_->members.size()) raise(kErrNoSuchMember);
  Ref<ScriptObject> keep(this);
  const ClassMember& m = cls_->members[static_cast<size_t>(mi)];
  if (kind & (kInvokePut | kInvokePutRef)) {
    if (args.empty()) raise(kErrWrongArgCount);
    bool isSet = kind & kInvokePutRef;
    switch (m.kind) {
      case MemberKind::Field:
        if (args.size() == 1) {
          assignTo(field(m.field), Variant(args[0]));
        } else {
          std::vector<Variant> copy(args.begin(), args.end());
          storeIndexed(field(m.field), copy.data(), static_cast<int>(copy.size()) - 1, Variant(args.back()),
                       isSet);
        }
        return Variant();
      case MemberKind::Property: {
        Proc* p = isSet ? (m.set ? m.set.get() : m.let.get()) : m.let.get();
        if (!p && !isSet && m.set && args.back().isObject()) p = m.set.get();
        if (!p) raise(kErrNoSuchMember);
        rt.call(*p, this, *module_, args);
        return Variant();
      }
      case MemberKind::Method:
        raise(kErrNoSuchMember);
    }
  }
  switch (m.kind) {
    case MemberKind::Field:
      if (args.empty()) return field(m.field);
      return indexValue(field(m.field), args.data(), static_cast<int>(args.size()));
    case MemberKind::Method:
      return rt.call(*m.method, this, *module_, args);
    case MemberKind::Property:
      if (!m.get) raise(kErrNoSuchMember);
      return rt.call(*m.get, this, *module_, args);
  }
  return Variant();
}

void ScriptObject::finalRelease() noexcept {
  if (!terminated_ && cls_->terminate && module_->rt && !module_->rt->closed()) {
    terminated_ = true;
    addRef();
    module_->rt->terminate(*this);
    release();  // deletes, unless Class_Terminate stored Me somewhere
    return;
  }
  delete this;
}

// ---- ProcRef

Variant ProcRef::invoke(DispId id, uint16_t kind, Args args) {
  if (id != kDispIdValue || (kind & (kInvokePut | kInvokePutRef))) raise(kErrNoSuchMember);
  Runtime& rt = liveRuntime(*module_);
  Ref<ProcRef> keep(this);
  return rt.call(*proc_, nullptr, *module_, args);
}

// ---- ErrObject

const ClassInfo* ErrObject::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<ErrObject>("ErrObject")
          .prop(
              "Number", [](ErrObject& o) { return o.state().number; },
              [](ErrObject& o, const Variant& v) { o.state().number = v.toLong(); })
          .prop(
              "Description", [](ErrObject& o) { return o.state().description; },
              [](ErrObject& o, const Variant& v) { o.state().description = v.toString(); })
          .prop(
              "Source", [](ErrObject& o) { return o.state().source; },
              [](ErrObject& o, const Variant& v) { o.state().source = v.toString(); })
          .prop(
              "HelpFile", [](ErrObject& o) { return o.state().helpFile; },
              [](ErrObject& o, const Variant& v) { o.state().helpFile = v.toString(); })
          .prop(
              "HelpContext", [](ErrObject& o) { return o.state().helpContext; },
              [](ErrObject& o, const Variant& v) { o.state().helpContext = v.toLong(); })
          .method("Raise",
                  [](ErrObject& o, Args a) -> Variant {
                    if (a.empty() || a.size() > 5) raise(kErrWrongArgCount);
                    if (!hasArg(a, 0)) raise(kErrArgNotOptional);
                    int32_t number = a[0].toLong();
                    if (number == 0) raise(kErrInvalidCall);
                    if (number == kOutOfMemoryResult) number = kErrOutOfMemory;
                    // Arguments left out keep what Err holds and was not cleared.
                    ErrState& st = o.state();
                    std::string source = hasArg(a, 1)         ? a[1].toString()
                                         : !st.source.empty() ? st.source
                                                              : std::string(kRuntimeErrorSource);
                    std::string description = hasArg(a, 2)              ? a[2].toString()
                                              : !st.description.empty() ? st.description
                                                                        : defaultErrorDescription(number);
                    st.raisedHelpFile = hasArg(a, 3) ? a[3].toString() : st.helpFile;
                    st.raisedHelpContext = hasArg(a, 4) ? a[4].toLong() : st.helpContext;
                    st.raised = true;
                    throw Error(number, std::move(description), std::move(source));
                  })
          .method("Clear", [](ErrObject& o) { o.state().clear(); })
          .defaultMember("Number")
          .build();
  return &info;
}

}  // namespace tw::vbs
