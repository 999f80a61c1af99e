#pragma once
// AGScript: the script engine that runs templates. It owns one script host
// with the VBScript language, publishes the project object model to scripts,
// loads three modules and runs compiled templates:
//
//   System    locale code, common code (LoadCurrent and the globals TABLE,
//             FIELD, CTRL), the built-in system code, a copy of all user code,
//             and every template function handed to BuildNewCode
//   Validate  the validation code: parameterless Boolean functions run in
//             order by Validate
//   $User     the user code (the built-in default, the USERCODE file and the
//             files given to AddUserCode)
//
// Published objects (scripts qualify their members): PROJ, DB, Controls,
// LANG, SCRPT (this engine's AGUserScript) and FILTERS.
//
// Script problems never raise to the caller: they are written into ProjErr
// (and, for BuildCode and ReadScriptFile, shown through the prompt handler),
// and callers test ProjErr after each call.
//
// Developer settings, read from the user's General settings when the engine
// is created, replace the built-in texts: SYSCODE (a list file of system-code
// templates), SYSCODEPREFIX and SYSCODESUFFIX (the text put around each
// function of that list), USERCODE, COMMONCODE and VALIDATECODE (a list file
// of validation code files).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"
#include "script/user_script.h"
#include "vbs/host.h"

namespace tw {

class AGScript : public Dispatch {
 public:
  // Creates the script host and reads the developer settings.
  AGScript();
  // Releasing the engine resets the host.
  ~AGScript() override;

  // Sets up the host: publishes the six objects and loads the System,
  // Validate and $User modules, stopping at the first failure (ProjErr).
  // Objects that are Nothing or Empty are not published.
  void Initialize(const Variant& proj, const Variant& db, const Variant& controls, const Variant& lang,
                  const Variant& filter);
  bool IsInitialized() const noexcept { return initialized_; }
  // Drops every module and published object; not initialised afterwards.
  void Reset();

  // Adds a user code file to $User (and a copy to System).
  void AddUserCode(std::string_view file);
  // Whether a name is one of the system procedures / user procedures
  // (ignoring case).
  bool ModuleExist(std::string_view name) const;
  bool UserModuleExist(std::string_view name) const;

  // Runs the validation procedures in order; True when all return True.
  bool Validate();
  // Runs the system procedure `module` (a custom condition, say) after
  // loading the current control, table and field; returns its result, or
  // `str` when nothing could run.
  Variant BuildCode(const Variant& module, const Variant& str);
  // Adds a compiled template (the function zbScriptEngine) to System and runs
  // it after LoadCurrent(initType); returns its output text, or "" on a
  // syntax or run-time error (ProjErr holds the message).
  // `sourceName` names the code in the host's errors.
  std::string BuildNewCode(std::string_view code, int16_t initType, int32_t timeoutMs,
                           std::string_view sourceName = {});

  // The steps of Initialize, usable on their own.
  void LoadSystemModule();
  void LoadValidateModule();
  void LoadUserModule();

  // ProjErr := the host's last error as a syntax error message; `name` (a
  // file or setting) replaces the product name in front when given.
  void ReportSyntaxError(std::string_view name);
  // The whole text of a script file; a missing file is reported in a message
  // box and reads as "".
  std::string ReadScriptFile(std::string_view path);
  // Creates (or replaces) the file with the text.
  void WriteScriptFile(std::string_view path, std::string_view text);

  // Turns a system-code template file into script lines: literal text is
  // appended to the function's result `name` (or stands alone when `name` is
  // empty), expressions and phrases likewise, script blocks are copied. On a
  // template syntax error (ProjErr) the text comes back unchanged.
  static std::string CompileFunctionFile(std::string_view text, bool multiline, bool indent,
                                         std::string_view name);
  // A phrase identifier as a script string literal: trimmed, surrounding
  // matching quotes (" or ') removed, embedded double quotes doubled.
  static std::string QuotePhraseId(std::string_view id);

  // The built-in texts.
  static const std::string& LocaleCode();
  static const std::string& DefaultCommonCode();
  static const std::string& DefaultUserCode();

  // The lists behind ModuleExist, UserModuleExist and Validate.
  const std::vector<std::string>& systemProcedures() const noexcept { return sysProcs_; }
  const std::vector<std::string>& userProcedures() const noexcept { return userProcs_; }
  const std::vector<std::string>& validateProcedures() const noexcept { return validateProcs_; }
  AGUserScript& userScript();
  // The value BuildCode handed back last.
  const Variant& lastResult() const noexcept { return lastResult_; }

  // The developer settings as read at creation.
  struct DeveloperSettings {
    std::string sysCode, sysCodePrefix, sysCodeSuffix, userCode, commonCode, validateCode;
  };
  const DeveloperSettings& developerSettings() const noexcept { return dev_; }

  vbs::ScriptHost& host() noexcept { return *host_; }

  const ClassInfo* classInfo() const override;

 private:
  // Adds code to a module; false (with the host's error kept) when the host
  // reports an error.
  bool addCode(vbs::ScriptHost::Module& module, std::string_view code, std::string_view sourceName = {});
  void loadDeveloperSystemCode();
  void loadDeveloperValidateCode();
  void collectUserProcedures();
  // The destination folder of the project (for the developer build's files).
  std::string destination() const;
  // Runs LoadCurrent at `level` (or without an argument when the common code
  // declares it without a parameter).
  Variant runLoadCurrent(int16_t level);
  // The level BuildCode loads: 2 when the database has a current table,
  // else 1.
  int16_t buildCodeLevel() const;

  std::unique_ptr<vbs::ScriptHost> host_;
  Ref<AGUserScript> userScript_;
  Ref<Dispatch> proj_;
  Ref<Dispatch> db_;
  std::string work_;
  std::string prefixTemplate_, suffixTemplate_;
  std::string userCode_;
  std::string commonCode_;
  Variant lastResult_;
  DeveloperSettings dev_;
  std::string validateCode_;
  bool initialized_ = false;
  std::vector<std::string> userProcs_;
  std::vector<std::string> sysProcs_;
  std::vector<std::string> validateProcs_;
};

// The built-in system code and validation code, compiled into the program.
const std::string& builtinSystemCode();
const std::string& builtinValidateCode();
// Registers both with the status object's GetSysCode ("VB" and "VL"); run by
// every AGScript constructor, harmless to repeat.
void registerBuiltinScripts();

// The engine-wide script engine (engine().scriptEngine), or null.
AGScript* currentScriptEngine();

}  // namespace tw
