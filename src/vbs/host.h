#pragma once
// ScriptHost: the engine as a host application sees it. A host has a
// language ("VBScript"), a time-out, objects published to every module, and
// named modules, each with its own global namespace. Code is added to a
// module, procedures are listed and run by name, expressions evaluated.
//
// Every failure raises ScriptError and is also kept as error(): number,
// description, source, and for errors in script code the line, column and
// text of the source line (1-based, relative to the text given to addCode,
// eval or executeStatement). A syntax error in addCode adds nothing.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "automation/variant.h"
#include "vbs/diagnostics.h"

namespace tw::vbs {

class Runtime;
class ModuleState;
struct SourceText;

struct ScriptErrorInfo {
  int32_t number = 0;
  std::string description;
  std::string source;  // "Microsoft VBScript runtime error", "... compilation error", or the raiser's
  int32_t line = 0;    // 0 when the error has no position in script code
  int32_t column = 0;
  std::string text;        // the source line
  std::string sourceName;  // name given to the code that failed (addCode), else the module's
  bool compilation = false;

  void clear() { *this = ScriptErrorInfo{}; }
};

class ScriptError : public Error {
 public:
  explicit ScriptError(ScriptErrorInfo info)
      : Error(info.number, info.description, info.source), info_(std::move(info)) {}
  const ScriptErrorInfo& info() const noexcept { return info_; }

 private:
  ScriptErrorInfo info_;
};

// The number of the error a time-out stops a run with.
int32_t scriptTimeoutError() noexcept;

struct ProcedureInfo {
  std::string name;
  int32_t argCount = 0;
  bool hasReturnValue = false;
};

class ScriptHost {
 public:
  class Module {
   public:
    const std::string& name() const;
    // Compiles the text, adds its procedures and classes (a procedure added
    // again replaces the earlier one) and runs its script-level statements.
    // `sourceName` names the text in errors (a file name); by default the
    // module's name.
    void addCode(std::string_view code, std::string_view sourceName = {});
    // Procedures in the order they were first defined.
    std::vector<ProcedureInfo> procedures() const;
    bool hasProcedure(std::string_view name) const;
    // Calls a procedure; ByRef parameters write back into `args`.
    Variant run(std::string_view name, Args args);
    Variant run(std::string_view name, std::vector<Variant> args = {});
    Variant eval(std::string_view expression);
    void executeStatement(std::string_view statements);

   private:
    friend class ScriptHost;
    Module(ScriptHost& host, std::string name);
    ScriptHost& host_;
    Ref<ModuleState> state_;
  };

  ScriptHost();
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // Only VBScript is known; any other name raises error 5.
  void setLanguage(std::string_view language);
  const std::string& language() const { return language_; }
  // Milliseconds a host call may run; -1 for no limit.
  void setTimeout(int32_t ms);
  int32_t timeout() const;
  // Whether running out of memory ends the script whatever its error
  // handling (off by default: On Error Resume Next goes past it).
  void setOutOfMemoryEndsScript(bool on);

  // Publishes an object to every module under `name`; with addMembers its
  // members can also be named on their own.
  void addObject(std::string_view name, Ref<Dispatch> object, bool addMembers = false);
  // Drops all modules but an empty "Global", all objects and all state.
  void reset();

  static constexpr std::string_view kGlobalModule = "Global";
  Module& globalModule() { return module(kGlobalModule); }
  // The named module (any letter case); error 5 when there is none.
  Module& module(std::string_view name);
  Module* findModule(std::string_view name);
  // Adds a module; the existing one when the name is taken.
  Module& addModule(std::string_view name);
  std::vector<std::string> moduleNames() const;

  // Called for every run-time error that On Error Resume Next lets pass
  // (the script goes on as before); kept across reset().
  void setSkipObserver(std::function<void(const SkippedError&)> observer);

  const ScriptErrorInfo& error() const { return error_; }
  void clearError() { error_.clear(); }

 private:
  friend class Module;
  [[noreturn]] void fail(const Error& e, bool compilation, const SourceText* src = nullptr);

  Ref<Runtime> rt_;
  std::string language_ = "VBScript";
  std::vector<std::unique_ptr<Module>> modules_;
  ScriptErrorInfo error_;
};

}  // namespace tw::vbs
