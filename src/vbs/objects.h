#pragma once
// Objects the engine makes: instances of script classes, procedures handed
// out by GetRef, the Err object and the holder of a For Each enumerator.
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "vbs/runtime.h"

namespace tw::vbs {

// An instance of a script class. Members are reached through Dispatch like
// those of host objects; the interpreter calls methods of its own classes
// directly. Class_Terminate runs when the last reference goes.
class ScriptObject final : public Dispatch {
 public:
  ScriptObject(Ref<ClassDef> cls, Ref<ModuleState> mod);
  ~ScriptObject() override;

  std::string typeName() const override { return cls_->name; }
  DispId memberId(std::string_view name) override;
  Variant invoke(DispId id, uint16_t kind, Args args) override;

  ClassDef& cls() const noexcept { return *cls_; }
  ModuleState& module() const noexcept { return *module_; }
  Variant& field(int32_t i) { return fields_[static_cast<size_t>(i)]; }
  Runtime& runtime() const;

 protected:
  void finalRelease() noexcept override;

 private:
  friend class Runtime;
  Ref<ClassDef> cls_;
  Ref<ModuleState> module_;
  std::vector<Variant> fields_;
  bool terminated_ = false;
  // Every live instance of a runtime, so that instances kept alive only by
  // each other can be freed when their modules go.
  Runtime* runtime_ = nullptr;
  ScriptObject* prev_ = nullptr;
  ScriptObject* next_ = nullptr;
};

inline ScriptObject* asScriptObject(Dispatch* d) noexcept {
  return d && typeid(*d) == typeid(ScriptObject) ? static_cast<ScriptObject*>(d) : nullptr;
}

// GetRef: a script procedure as an object; its default member calls it.
class ProcRef final : public Dispatch {
 public:
  ProcRef(Ref<Proc> proc, Ref<ModuleState> mod) : proc_(std::move(proc)), module_(std::move(mod)) {}
  DispId memberId(std::string_view) override { return kDispIdUnknown; }
  Variant invoke(DispId id, uint16_t kind, Args args) override;
  Proc& proc() const noexcept { return *proc_; }
  ModuleState& module() const noexcept { return *module_; }

 private:
  Ref<Proc> proc_;
  Ref<ModuleState> module_;
};

inline ProcRef* asProcRef(Dispatch* d) noexcept {
  return d && typeid(*d) == typeid(ProcRef) ? static_cast<ProcRef*>(d) : nullptr;
}

// The Err object: Number (default), Description, Source, HelpFile,
// HelpContext, Raise, Clear.
class ErrObject final : public Dispatch {
 public:
  explicit ErrObject(ErrState& state) : state_(state) {}
  const ClassInfo* classInfo() const override;
  ErrState& state() { return state_; }

 private:
  ErrState& state_;
};

// Keeps a For Each enumerator in a frame slot.
class EnumHolder final : public Dispatch {
 public:
  explicit EnumHolder(Ref<Enumerator> e) : enumerator(std::move(e)) {}
  Ref<Enumerator> enumerator;
};

inline EnumHolder* asEnumHolder(Dispatch* d) noexcept {
  return d && typeid(*d) == typeid(EnumHolder) ? static_cast<EnumHolder*>(d) : nullptr;
}

// The description Err.Raise gives a number without one.
std::string defaultErrorDescription(int32_t number);
inline constexpr const char* kRuntimeErrorSource = "Microsoft VBScript runtime error";

}  // namespace tw::vbs
