#include "script/agscript.h"

#include <pugixml.hpp>

#include "automation/text.h"
#include "model/database.h"
#include "platform/files.h"
#include "script/parser.h"
#include "script/script_literal.h"
#include "script/template_diagnostics.h"
#include "support/engine_context.h"
#include "support/prompt.h"
#include "support/registry.h"
#include "support/status.h"

namespace tw {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kSystemModule = "System";
constexpr std::string_view kValidateModule = "Validate";
constexpr std::string_view kUserModule = "$User";

std::string& projErr() { return engine().projErr; }
const std::string& productName() { return engine().productName; }

Ref<Dispatch> objectOf(const Variant& v) {
  if (v.type() == vtObject) return Ref<Dispatch>(v.rawObject());
  return nullptr;
}

// A developer setting of the user's General section, as text.
std::string developerSetting(std::string_view name) {
  try {
    return RegRead("HKCU", engine().regGeneral, name).toString();
  } catch (const Error&) {
    return {};
  }
}

std::string replaceAll(std::string text, std::string_view what, std::string_view with) {
  if (what.empty()) return text;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + with.size()))
    text.replace(pos, what.size(), with);
  return text;
}

// The folder of a list file: its path up to and including the last
// separator ("\" as written on Windows, or "/").
std::string folderOf(std::string_view path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

// An attribute of a list file's element, its name compared ignoring case.
std::string attributeText(const pugi::xml_node& node, std::string_view name) {
  for (const pugi::xml_attribute& a : node.attributes())
    if (equalsNoCase(a.name(), name)) return a.value();
  return {};
}

// A Boolean attribute by the script language's conversion; a missing or
// unconvertible value is False.
bool attributeFlag(const pugi::xml_node& node, std::string_view name) {
  std::string text = attributeText(node, name);
  if (text.empty()) return false;
  try {
    return Variant(text).toBool();
  } catch (const Error&) {
    return false;
  }
}

// The "file" elements of a list file, or false when it cannot be read.
bool loadListFile(std::string_view path, std::vector<pugi::xml_node>& files, pugi::xml_document& doc) {
  auto text = readTextFile(path);
  if (!text) return false;
  if (!doc.load_buffer(text->data(), text->size(), pugi::parse_default, pugi::encoding_utf8)) return false;
  pugi::xml_node root = doc.document_element();
  if (!root) return false;
  for (const pugi::xml_node& child : root.children())
    if (child.type() == pugi::node_element && equalsNoCase(child.name(), "file")) files.push_back(child);
  return true;
}

std::vector<std::string> procedureNames(const vbs::ScriptHost::Module& module) {
  std::vector<std::string> names;
  for (const vbs::ProcedureInfo& p : module.procedures()) names.push_back(p.name);
  return names;
}

bool listHas(const std::vector<std::string>& list, std::string_view name) {
  for (const std::string& n : list)
    if (equalsNoCase(n, name)) return true;
  return false;
}

// What a failed host call left: the host's error when the failure came from
// the script, else the C++ error's description.
struct Failure {
  std::string description;
  std::string text;
  int32_t line = 0;
};

Failure failureOf(const Error& e) {
  if (const auto* se = dynamic_cast<const vbs::ScriptError*>(&e))
    return {se->info().description, se->info().text, se->info().line};
  return {e.message(), {}, 0};
}

}  // namespace

// ---- Built-in texts

const std::string& AGScript::LocaleCode() {
  static const std::string text =
      "Sub zbSetLocale()\r\n"
      "On Error Resume Next\r\n"
      "SetLocale(1033)\r\n"
      "End Sub\r\n"
      "Call zbSetLocale()\r\n";
  return text;
}

const std::string& AGScript::DefaultCommonCode() {
  static const std::string text =
      "Dim TABLE, FIELD, CTRL\r\n"
      "Function LoadCurrent(bInitType)\r\n"
      " Dim tablename, fieldname, index\r\n"
      " If bInitType >= 1 Then\r\n"
      "  index = controls.curIndex\r\n"
      "  Set CTRL = controls(index)\r\n"
      " End If\r\n"
      " If bInitType >= 2 Then\r\n"
      "  tablename = db.Tables.curName\r\n"
      "  Set TABLE = db.Tables(tablename)\r\n"
      "  fieldname = TABLE.Fields.curName\r\n"
      "  Set FIELD = TABLE.Fields(fieldname)\r\n"
      "  LoadCurrent = tablename & \",\" & fieldname\r\n"
      " Else\r\n"
      "  LoadCurrent = \"\"\r\n"
      " End If\r\n"
      "End Function\r\n";
  return text;
}

const std::string& AGScript::DefaultUserCode() {
  static const std::string text = "'Please enter your script here\r\n";
  return text;
}

// ---- Creation

AGScript::AGScript() : host_(std::make_unique<vbs::ScriptHost>()) {
  registerBuiltinScripts();
  // Errors that pages skip are counted for the report after the run.
  host_->setSkipObserver([](const vbs::SkippedError& e) { templateDiagnostics().skipped(e); });
  dev_.sysCode = developerSetting("SYSCODE");
  dev_.sysCodePrefix = developerSetting("SYSCODEPREFIX");
  dev_.sysCodeSuffix = developerSetting("SYSCODESUFFIX");
  dev_.userCode = developerSetting("USERCODE");
  dev_.commonCode = developerSetting("COMMONCODE");
  dev_.validateCode = developerSetting("VALIDATECODE");
  // A template script that runs out of memory fails its page: going on past
  // it would write a page that lacks what could not be built.
  host_->setOutOfMemoryEndsScript(true);
}

AGScript::~AGScript() = default;

AGUserScript& AGScript::userScript() {
  if (!userScript_) userScript_ = makeRef<AGUserScript>();
  return *userScript_;
}

// ---- Initialize and Reset

void AGScript::Initialize(const Variant& proj, const Variant& db, const Variant& controls,
                          const Variant& lang, const Variant& filter) {
  initialized_ = true;
  templateDiagnostics().clearIncludes();
  host_->setLanguage("VBScript");
  host_->reset();
  proj_ = objectOf(proj);
  db_ = objectOf(db);
  auto publish = [this](std::string_view name, Ref<Dispatch> object) {
    if (object) host_->addObject(name, std::move(object), false);
  };
  publish("PROJ", proj_);
  publish("DB", db_);
  publish("Controls", objectOf(controls));
  publish("LANG", objectOf(lang));
  publish("SCRPT", Ref<Dispatch>(&userScript()));
  publish("FILTERS", objectOf(filter));
  LoadSystemModule();
  if (projErr().empty()) LoadValidateModule();
  if (projErr().empty()) LoadUserModule();
}

void AGScript::Reset() {
  initialized_ = false;
  templateDiagnostics().clearIncludes();
  host_->reset();
  proj_.reset();
  db_.reset();
}

bool AGScript::addCode(vbs::ScriptHost::Module& module, std::string_view code, std::string_view sourceName) {
  try {
    module.addCode(code, sourceName);
    return true;
  } catch (const Error&) {
    return false;
  }
}

// ---- System module

void AGScript::LoadSystemModule() {
  vbs::ScriptHost::Module& sys = host_->addModule(kSystemModule);
  commonCode_ = dev_.commonCode.empty() ? DefaultCommonCode() : ReadScriptFile(dev_.commonCode);
  if (!addCode(sys, LocaleCode()) || !addCode(sys, commonCode_)) {
    ReportSyntaxError("");
    return;
  }
  if (!dev_.sysCode.empty()) {
    loadDeveloperSystemCode();
    return;
  }
  work_ = engine().status().GetSysCode("VB");
  if (!addCode(sys, work_)) {
    ReportSyntaxError("");
    return;
  }
  sysProcs_ = procedureNames(sys);
}

void AGScript::loadDeveloperSystemCode() {
  vbs::ScriptHost::Module& sys = host_->module(kSystemModule);
  pugi::xml_document doc;
  std::vector<pugi::xml_node> files;
  if (!loadListFile(dev_.sysCode, files, doc)) {
    projErr() = "Load syscode file " + dev_.sysCode + " failed!";
    return;
  }
  prefixTemplate_ = dev_.sysCodePrefix.empty() ? std::string() : ReadScriptFile(dev_.sysCodePrefix);
  suffixTemplate_ = dev_.sysCodeSuffix.empty() ? std::string() : ReadScriptFile(dev_.sysCodeSuffix);
  const std::string folder = folderOf(dev_.sysCode);
  const std::string dest = destination();

  // Only the functions that a user function may override are system
  // procedure names in a developer build.
  sysProcs_.clear();
  for (const pugi::xml_node& f : files) {
    if (!attributeText(f, "value").empty() && attributeFlag(f, "function") && attributeFlag(f, "override"))
      sysProcs_.emplace_back(trimBlanks(attributeText(f, "id")));
  }

  std::string collected;
  for (const pugi::xml_node& f : files) {
    const std::string value = attributeText(f, "value");
    if (value.empty()) continue;
    const bool isFunction = attributeFlag(f, "function");
    const bool override = attributeFlag(f, "override");
    const std::string name(trimBlanks(attributeText(f, "id")));
    const std::string parm(trimBlanks(attributeText(f, "parm")));
    std::string body = CompileFunctionFile(ReadScriptFile(folder + value), attributeFlag(f, "multiline"),
                                           attributeFlag(f, "indent"), isFunction ? name : std::string());
    work_ = body;
    if (isFunction) {
      auto fill = [&](const std::string& templ) {
        return replaceAll(replaceAll(templ, "<name>", name), "<parm>", parm);
      };
      work_ = "Function " + name + "(" + parm + ")" + std::string(kCrLf) + fill(prefixTemplate_) + body +
              fill(suffixTemplate_);
      if (override) {
        work_ += std::string(kCrLf) + "If SCRPT.UserModuleExist(\"USER_" + name + "\") Then " + name +
                 "=USER_" + name + "(" + name + ")" + std::string(kCrLf);
      }
      work_ += "End Function" + std::string(kCrLf);
    }
    if (!projErr().empty()) {
      // The template did not parse: the message goes with the text written out.
      projErr() += ": " + value;
      work_ += std::string(kCrLf) + projErr();
      if (!dest.empty()) WriteScriptFile(joinPath(dest, value), work_);
      return;
    }
    collected += work_;
    if (!addCode(sys, work_, value)) {
      if (!dest.empty()) {
        WriteScriptFile(joinPath(dest, value), work_);
        WriteScriptFile(joinPath(dest, "syscode.txt"), collected);
      }
      ReportSyntaxError(value);
      return;
    }
  }
  if (dest.empty()) return;
  if (prefixTemplate_.empty() || suffixTemplate_.empty())
    WriteScriptFile(joinPath(dest, "syscode.txt"),
                    "'missing syscodeprefix or syscodesuffix" + std::string(kCrLf));
  else
    WriteScriptFile(joinPath(dest, "syscode.txt"), collected);
}

std::string AGScript::CompileFunctionFile(std::string_view text, bool multiline, bool indent,
                                          std::string_view name) {
  AGParser parser;
  parser.Parse(text);
  if (!projErr().empty()) return std::string(text);
  const std::string F(name);
  const std::string append = F + "=" + F + "&";
  std::string out;
  const std::vector<BlockRec>& blocks = parser.blocks();
  for (size_t i = 0; i < blocks.size(); ++i) {
    const BlockRec& b = blocks[i];
    switch (b.Type) {
      case agc_Block_Script:
        out += parser.blockValue(static_cast<int32_t>(i + 1));
        break;
      case agc_Block_Function:
        out += append + b.Name;
        break;
      case agc_Block_FunctionIndent:
        continue;  // system-code files have no indented expressions
      case agc_Block_Language:
        out += append + "LANG.Phrase(" + QuotePhraseId(b.Name) + ")";
        break;
      case agc_Block_LanguageDynamic:
        out += append + "LANG.Phrase(" + b.Name + ")";
        break;
      case agc_Block_Content: {
        std::string content(parser.blockValue(static_cast<int32_t>(i + 1)));
        if (!multiline) content = replaceAll(std::move(content), kCrLf, "");
        std::string literal = scriptLiteral(content, indent ? "zbIndentWrk" : "");
        if (literal.empty()) continue;
        out += F.empty() ? literal : append + literal;
        break;
      }
      default:
        continue;
    }
    out += kCrLf;
  }
  return out;
}

std::string AGScript::QuotePhraseId(std::string_view id) {
  std::string s(trimBlanks(id));
  while (s.size() > 1 && s.front() == s.back() && (s.front() == '"' || s.front() == '\''))
    s = std::string(trimBlanks(std::string_view(s).substr(1, s.size() - 2)));
  return "\"" + replaceAll(std::move(s), "\"", "\"\"") + "\"";
}

// ---- Validate module

void AGScript::LoadValidateModule() {
  vbs::ScriptHost::Module& val = host_->addModule(kValidateModule);
  if (!dev_.validateCode.empty()) {
    loadDeveloperValidateCode();
    return;
  }
  validateCode_ = engine().status().GetSysCode("VL");
  if (!addCode(val, validateCode_)) {
    ReportSyntaxError("");
    return;
  }
  validateProcs_ = procedureNames(val);
}

void AGScript::loadDeveloperValidateCode() {
  vbs::ScriptHost::Module& val = host_->module(kValidateModule);
  pugi::xml_document doc;
  std::vector<pugi::xml_node> files;
  if (!loadListFile(dev_.validateCode, files, doc)) {
    projErr() = "Load validate file " + dev_.validateCode + " failed!";
    return;
  }
  const std::string folder = folderOf(dev_.validateCode);
  std::string collected;
  for (const pugi::xml_node& f : files) {
    const std::string value = attributeText(f, "value");
    if (value.empty()) continue;
    validateCode_ = ReadScriptFile(folder + value);
    if (!projErr().empty()) {
      projErr() += ": " + value;
      return;
    }
    collected += std::string(kCrLf) + validateCode_;
    if (!addCode(val, validateCode_, value)) {
      ReportSyntaxError(value);
      return;
    }
  }
  const std::string dest = destination();
  if (!dest.empty()) WriteScriptFile(joinPath(dest, "validatecode.txt"), collected);
  validateProcs_ = procedureNames(val);
}

bool AGScript::Validate() {
  if (!projErr().empty()) return false;
  vbs::ScriptHost::Module* val = host_->findModule(kValidateModule);
  for (const std::string& name : validateProcs_) {
    Failure failure;
    bool passed = false;
    try {
      if (!val) raise(kErrSubNotDefined);
      passed = val->run(name).toBool();
    } catch (const Error& e) {
      failure = failureOf(e);
    }
    if (passed) continue;
    // A check that failed may have said why in PROJ.ProjErr.
    if (projErr().empty()) {
      projErr() = productName() + ": Validation VBScript Runtime error in module \"" + name + "\"" +
                  std::string(kCrLf) + failure.description + std::string(kCrLf) + failure.text +
                  std::string(kCrLf);
    }
    return false;
  }
  return true;
}

// ---- User module

void AGScript::LoadUserModule() {
  userCode_ = dev_.userCode.empty() ? DefaultUserCode() : ReadScriptFile(dev_.userCode);
  vbs::ScriptHost::Module& user = host_->addModule(kUserModule);
  if (!addCode(user, userCode_, dev_.userCode)) {
    ReportSyntaxError(dev_.userCode);
    return;
  }
  // User functions are callable from system code and templates too.
  if (!addCode(host_->addModule(kSystemModule), userCode_, dev_.userCode)) {
    ReportSyntaxError(dev_.userCode);
    return;
  }
  collectUserProcedures();
}

void AGScript::AddUserCode(std::string_view file) {
  const std::string text = ReadScriptFile(file);
  if (!addCode(host_->addModule(kUserModule), text, file)) {
    ReportSyntaxError(file);
    return;
  }
  if (!addCode(host_->addModule(kSystemModule), text, file)) {
    ReportSyntaxError(file);
    return;
  }
  collectUserProcedures();
}

void AGScript::collectUserProcedures() {
  vbs::ScriptHost::Module* user = host_->findModule(kUserModule);
  if (!user) return;
  for (const vbs::ProcedureInfo& p : user->procedures()) {
    userProcs_.push_back(p.name);
    userScript().AddUserModule(p.name);
  }
}

bool AGScript::ModuleExist(std::string_view name) const { return listHas(sysProcs_, name); }

bool AGScript::UserModuleExist(std::string_view name) const { return listHas(userProcs_, name); }

// ---- Running code

Variant AGScript::runLoadCurrent(int16_t level) {
  vbs::ScriptHost::Module& sys = host_->module(kSystemModule);
  // A common code of the developer's may declare LoadCurrent without the
  // level; it is then called without one.
  for (const vbs::ProcedureInfo& p : sys.procedures()) {
    if (equalsNoCase(p.name, "LoadCurrent")) {
      if (p.argCount == 0) return sys.run("LoadCurrent");
      break;
    }
  }
  return sys.run("LoadCurrent", {Variant::integer(level)});
}

int16_t AGScript::buildCodeLevel() const {
  auto* db = dynamic_cast<AGPDatabase*>(db_.get());
  if (db && db->hasTables()) {
    AGPTables& tables = db->tables();
    if (!tables.curName().empty() && tables.TableExist(Variant(tables.curName()))) return 2;
  }
  return 1;
}

Variant AGScript::BuildCode(const Variant& module, const Variant& str) {
  lastResult_ = str;
  std::string name;
  try {
    name = module.toString();
  } catch (const Error&) {
    return str;
  }
  if (!projErr().empty() || !ModuleExist(name)) return str;
  Variant current;
  try {
    vbs::ScriptHost::Module& sys = host_->module(kSystemModule);
    current = runLoadCurrent(buildCodeLevel());
    lastResult_ = sys.run(name);
    return lastResult_;
  } catch (const Error& e) {
    Failure f = failureOf(e);
    PromptHandler& prompts = engine().prompts();
    prompts.message("RUNTIME ERROR",
                    f.description + "In line " + std::to_string(f.line) + ": " + "\r" + f.text,
                    MessageIcon::Critical);
    prompts.message("RUNTIME ERROR", f.description + "\r" + f.text, MessageIcon::None);
    std::string message = productName() + ": VBScript Runtime error in module \"" + name + "\"" +
                          std::string(kCrLf) + f.description + std::string(kCrLf) + f.text +
                          std::string(kCrLf);
    std::string where;
    try {
      where = current.toString();
    } catch (const Error&) {
    }
    size_t comma = where.find(',');
    if (comma != std::string::npos) {
      size_t next = where.find(',', comma + 1);
      message += "Please check setting for Table \"" + where.substr(0, comma) + "\" Field \"" +
                 where.substr(comma + 1, next == std::string::npos ? std::string::npos : next - comma - 1) +
                 "\"";
    }
    projErr() = message;
    return str;
  }
}

std::string AGScript::BuildNewCode(std::string_view code, int16_t initType, int32_t timeoutMs,
                                   std::string_view sourceName) {
  host_->setTimeout(timeoutMs);
  vbs::ScriptHost::Module& sys = host_->addModule(kSystemModule);
  if (!addCode(sys, code, sourceName)) {
    const vbs::ScriptErrorInfo& e = host_->error();
    projErr() = productName() + ": VBScript Syntax Error" + std::string(kCrLf) + e.description +
                std::string(kCrLf) + "In line " + std::to_string(e.line) + ": " + std::string(kCrLf) + e.text;
    return {};
  }
  try {
    runLoadCurrent(initType);
    return sys.run("zbScriptEngine").toString();
  } catch (const Error& e) {
    Failure f = failureOf(e);
    projErr() = "VBScript Runtime error " + std::string(kCrLf) + f.description + std::string(kCrLf) + f.text +
                std::string(kCrLf);
    return {};
  }
}

// ---- Messages and files

void AGScript::ReportSyntaxError(std::string_view name) {
  const vbs::ScriptErrorInfo& e = host_->error();
  projErr() = (name.empty() ? productName() : "(" + std::string(name) + ")") + " : VBScript Syntax Error" +
              std::string(kCrLf) + e.description + std::string(kCrLf) + "In line " + std::to_string(e.line) +
              ": " + std::string(kCrLf) + e.text;
}

std::string AGScript::ReadScriptFile(std::string_view path) {
  if (fileExists(path)) {
    if (auto text = readTextFile(path)) return *text;
  }
  engine().prompts().message(
      productName(), productName() + ": Script file " + std::string(path) + " not found! Content not loaded!",
      MessageIcon::None);
  return {};
}

void AGScript::WriteScriptFile(std::string_view path, std::string_view text) { writeTextFile(path, text); }

std::string AGScript::destination() const {
  if (!proj_) return {};
  try {
    return proj_->get("Destination").toString();
  } catch (const Error&) {
    return {};
  }
}

// ---- Published members

const ClassInfo* AGScript::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGScript>("AGScript")
          .method("Initialize", [](AGScript& s, const Variant& proj, const Variant& db,
                                   const Variant& controls, const Variant& lang,
                                   const Variant& filter) { s.Initialize(proj, db, controls, lang, filter); })
          .method("IsInitialized", [](AGScript& s) { return s.IsInitialized(); })
          .method("Reset", [](AGScript& s) { s.Reset(); })
          .method("AddUserCode", [](AGScript& s, const Variant& file) { s.AddUserCode(file.toString()); })
          .method("ModuleExist",
                  [](AGScript& s, const Variant& name) { return s.ModuleExist(name.toString()); })
          .method("UserModuleExist",
                  [](AGScript& s, const Variant& name) { return s.UserModuleExist(name.toString()); })
          .method("Validate", [](AGScript& s) { return s.Validate(); })
          .method("BuildCode", [](AGScript& s, const Variant& module,
                                  const Variant& str) { return s.BuildCode(module, str); })
          .method("BuildNewCode",
                  [](AGScript& s, const Variant& code, const Variant& initType, const Variant& timeout) {
                    return s.BuildNewCode(code.toString(), initType.toInteger(), timeout.toLong());
                  })
          .build();
  return &info;
}

// ---- Engine-wide objects

AGScript* currentScriptEngine() { return dynamic_cast<AGScript*>(engine().scriptEngine.get()); }

}  // namespace tw
