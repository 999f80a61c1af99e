#include "vbs/host.h"

#include <new>

#include "automation/text.h"
#include "vbs/compiler.h"
#include "vbs/objects.h"
#include "vbs/parser.h"
#include "vbs/runtime.h"

namespace tw::vbs {

int32_t scriptTimeoutError() noexcept { return kErrScriptTimeout; }

namespace {

// Brackets one call from the host: starts the time-out clock.
struct HostCall {
  explicit HostCall(Runtime& rt) : rt(rt) { rt.beginHostCall(); }
  ~HostCall() { rt.endHostCall(); }
  Runtime& rt;
};

}  // namespace

// ---- Errors

void ScriptHost::fail(const Error& e, bool compilation, const SourceText* src) {
  ScriptErrorInfo info;
  info.number = e.number();
  info.description = e.message();
  info.compilation = compilation;
  if (compilation) {
    info.source = "Microsoft VBScript compilation error";
  } else {
    info.source = e.source().empty() ? std::string(kRuntimeErrorSource) : e.source();
    if (info.number >= 1000 && info.number < 1100 && e.source().empty())
      info.source = "Microsoft VBScript compilation error";
  }
  if (const auto* ce = dynamic_cast<const CompileError*>(&e); ce && compilation) {
    info.line = ce->pos().line;
    info.column = ce->pos().column;
    if (src) {
      info.text = src->line(info.line);
      info.sourceName = src->name;
    }
  } else if (const auto* se = dynamic_cast<const ScriptError*>(&e)) {
    // An error of a nested host call already carries its position.
    info = se->info();
  } else {
    const ErrorLocation& loc = rt_->lastLocation();
    if (loc.known) {
      info.line = loc.pos.line;
      info.column = loc.pos.column;
      if (loc.source) {
        info.text = loc.source->line(loc.pos.line);
        info.sourceName = loc.source->name;
      }
    }
  }
  rt_->lastLocation() = ErrorLocation{};
  error_ = info;
  throw ScriptError(std::move(info));
}

// ---- Module

ScriptHost::Module::Module(ScriptHost& host, std::string name)
    : host_(host), state_(makeRef<ModuleState>(host.rt_.get(), std::move(name))) {}

const std::string& ScriptHost::Module::name() const { return state_->name; }

void ScriptHost::Module::addCode(std::string_view code, std::string_view sourceName) {
  Runtime& rt = *host_.rt_;
  HostCall call(rt);
  Ref<SourceText> src = makeRef<SourceText>();
  src->text = std::string(code);
  src->name = sourceName.empty() ? state_->name : std::string(sourceName);
  CompiledUnit unit;
  try {
    Program prog = parseProgram(src->text);
    unit = compileUnit(prog, *state_, src);
  } catch (const CompileError& e) {
    host_.fail(e, true, src.get());
  } catch (const std::bad_alloc&) {
    host_.fail(Error(kErrOutOfMemory), true);
  }
  try {
    rt.install(*state_, unit);
    rt.runGlobalCode(*state_, *unit.code);
  } catch (const Error& e) {
    host_.fail(e, false);
  } catch (const std::bad_alloc&) {
    host_.fail(Error(kErrOutOfMemory), false);
  }
}

std::vector<ProcedureInfo> ScriptHost::Module::procedures() const {
  std::vector<ProcedureInfo> out;
  for (int32_t i : state_->procOrder) {
    const GlobalEntry& e = state_->entry(i);
    if (e.kind != EntryKind::Procedure || !e.proc) continue;
    out.push_back({e.proc->name, e.proc->nParams, e.proc->type == ProcType::Function});
  }
  return out;
}

bool ScriptHost::Module::hasProcedure(std::string_view name) const {
  int32_t i = state_->find(name);
  return i >= 0 && state_->entry(i).kind == EntryKind::Procedure;
}

Variant ScriptHost::Module::run(std::string_view name, Args args) {
  Runtime& rt = *host_.rt_;
  HostCall call(rt);
  try {
    GlobalEntry* e = lookupGlobal(*state_, name);
    if (!e || e->kind != EntryKind::Procedure) {
      std::string d(standardErrorText(kErrSubNotDefined));
      raise(kErrSubNotDefined, d + ": '" + std::string(name) + "'");
    }
    Ref<Proc> proc = e->proc;
    return rt.call(*proc, nullptr, *state_, args);
  } catch (const Error& e) {
    host_.fail(e, false);
  } catch (const std::bad_alloc&) {
    host_.fail(Error(kErrOutOfMemory), false);
  }
}

Variant ScriptHost::Module::run(std::string_view name, std::vector<Variant> args) {
  return run(name, Args(args.data(), args.size()));
}

Variant ScriptHost::Module::eval(std::string_view expression) {
  Runtime& rt = *host_.rt_;
  HostCall call(rt);
  Ref<SourceText> src = makeRef<SourceText>();
  src->text = std::string(expression);
  src->name = state_->name;
  Ref<Proc> code;
  try {
    ExprPtr e = parseExpression(src->text);
    code = compileExpression(*e, *state_, nullptr, src);
  } catch (const CompileError& e) {
    host_.fail(e, true, src.get());
  }
  try {
    return rt.call(*code, nullptr, *state_, {});
  } catch (const Error& e) {
    host_.fail(e, false);
  } catch (const std::bad_alloc&) {
    host_.fail(Error(kErrOutOfMemory), false);
  }
}

void ScriptHost::Module::executeStatement(std::string_view statements) { addCode(statements); }

// ---- ScriptHost

ScriptHost::ScriptHost() : rt_(makeRef<Runtime>()) { addModule(kGlobalModule); }

ScriptHost::~ScriptHost() {
  for (auto& m : modules_) m->state_->clear();
  for (auto& m : modules_) m->state_->rt = nullptr;
  rt_->releaseOrphans();
  rt_->clearObjects();
  rt_->close();
}

void ScriptHost::setLanguage(std::string_view language) {
  if (!equalsNoCase(language, "VBScript") && !equalsNoCase(language, "VBS"))
    raise(kErrInvalidCall, "Unknown script language: " + std::string(language));
  language_ = "VBScript";
}

void ScriptHost::setTimeout(int32_t ms) { rt_->setTimeout(ms < 0 ? -1 : ms); }

int32_t ScriptHost::timeout() const { return rt_->timeout(); }

void ScriptHost::setOutOfMemoryEndsScript(bool on) { rt_->setOutOfMemoryEndsScript(on); }

void ScriptHost::addObject(std::string_view name, Ref<Dispatch> object, bool addMembers) {
  if (!object) raise(kErrInvalidCall);
  rt_->addObject(name, std::move(object), addMembers);
  // Names already bound to an object of that name look again.
  for (auto& m : modules_) {
    for (GlobalEntry* e : m->state_->entries) {
      if (e->kind == EntryKind::HostObject || e->kind == EntryKind::HostMember) {
        e->kind = EntryKind::Undefined;
        e->value.clear();
        e->hostGeneration = 0;
      }
    }
  }
}

void ScriptHost::setSkipObserver(std::function<void(const SkippedError&)> observer) {
  rt_->setSkipObserver(std::move(observer));
}

void ScriptHost::reset() {
  for (auto& m : modules_) m->state_->clear();
  for (auto& m : modules_) m->state_->rt = nullptr;
  modules_.clear();
  rt_->releaseOrphans();
  rt_->clearObjects();
  rt_->err().clear();
  error_.clear();
  addModule(kGlobalModule);
}

ScriptHost::Module* ScriptHost::findModule(std::string_view name) {
  for (auto& m : modules_)
    if (equalsNoCase(m->name(), name)) return m.get();
  return nullptr;
}

ScriptHost::Module& ScriptHost::module(std::string_view name) {
  if (Module* m = findModule(name)) return *m;
  raise(kErrInvalidCall, "No module named '" + std::string(name) + "'");
}

ScriptHost::Module& ScriptHost::addModule(std::string_view name) {
  if (Module* m = findModule(name)) return *m;
  modules_.push_back(std::unique_ptr<Module>(new Module(*this, std::string(name))));
  return *modules_.back();
}

std::vector<std::string> ScriptHost::moduleNames() const {
  std::vector<std::string> out;
  for (const auto& m : modules_) out.push_back(m->name());
  return out;
}

}  // namespace tw::vbs
