#pragma once
// Template compilation: a template text (output text with <!--## ... ##-->
// blocks) becomes the script function zbScriptEngine, which returns the
// output text when AGScript.BuildNewCode runs it.
//
//   Hello <!--##=PROJ.ProjName##-->!
//
// compiles to
//
//   Function zbScriptEngine()
//   'On Error Resume Next
//   Dim zbAr(2)
//   Dim zbOut
//   zbAr(1) = "Hello "
//   zbAr(2) = "!"
//   zbOut = zbOut & zbAr(1) & PROJ.ProjName & zbAr(2)
//   zbScriptEngine = zbOut
//   End Function
//
// Literal text goes into the array zbAr; expressions and literals pile up in
// a pending expression that is written out as one "zbOut = zbOut & ..." line
// before each script block and at the end. "@" phrases are looked up in the
// language file now, "$" phrases when the page runs. An expression such as
// TABLE.TblName is replaced by USER_TABLE_TblName(TABLE.TblName) when the
// user code defines that function and the system code has no TABLE_TblName.
//
// The state is kept across CompileTemplate calls until Reset, so the sessions
// of one control end up in one function.
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "script/source_map.h"

namespace tw {

class AGP;
class AGScript;
class AGPLanguage;

class TemplateCompiler {
 public:
  // The engine that knows the system and user procedures and the language
  // file for "@" phrases; when null, the engine-wide ones are used at the
  // time of compiling (none: no overrides, empty phrases).
  explicit TemplateCompiler(AGScript* engine = nullptr, AGPLanguage* language = nullptr)
      : engine_(engine), language_(language) {}

  // Back to an empty function: counter 0, no array lines, no code.
  void Reset();
  // Parses the text and appends its blocks. False when the template has a
  // syntax error (ProjErr holds the parser's message; nothing is appended
  // from the failed text).
  bool CompileTemplate(std::string_view text);
  // The same for text whose origins are known: the line map of the function
  // places its code lines in the template files, and phrases the language
  // file lacks are noted among its problems. (A syntax error's message
  // then names the file, line and column.)
  bool CompileTemplate(const MappedText& text);
  // Every expression block in a statement of its own, so that a failing
  // expression skipped by On Error Resume Next loses only its own output,
  // not the text and expressions around it. Script files use it.
  void setStatementPerExpression(bool on) noexcept { statementPerExpression_ = on; }
  // Writes the pending expression out as a line of code.
  void Flush();
  // Flushes and assembles the function. `forScriptFile`: the page script is
  // kept in a file and run later, and its second line is an active
  // "On Error Resume Next" so that run-time errors do not stop a page;
  // compiled for immediate use the line is a comment and errors are
  // reported.
  // `name` names the function (an included template gets its own).
  std::string FunctionText(bool forScriptFile, std::string_view name = "zbScriptEngine");
  // The origins of the lines of the function FunctionText made last, with
  // the problems found since Reset.
  const LineMap& lineMap() const noexcept { return map_; }
  // Where the template syntax error of the last CompileTemplate of mapped
  // text stands (unknown after success).
  const SourceOrigin& parseErrorOrigin() const noexcept { return parseError_; }
  // Adds a problem to the line map (a session that is not there, ...).
  void addProblem(SourceProblem problem) { map_.problems.push_back(std::move(problem)); }

  int32_t arrayCount() const noexcept { return count_; }
  const std::string& arrayInit() const noexcept { return arrayInit_; }
  const std::string& code() const noexcept { return code_; }
  const std::string& pending() const noexcept { return pending_; }

 private:
  AGScript* engine_;
  AGPLanguage* language_;
  bool compile(std::string_view text, const MappedText* mapped);
  // Appends a line (or lines) of code that came from `origin`; a block's
  // later lines are counted on from there.
  void addCode(std::string_view code, const SourceOrigin& origin, bool continueColumns = false);
  void addPending(std::string_view item, const SourceOrigin& origin, bool expression);

  int32_t count_ = 0;
  std::string arrayInit_;
  std::string pending_;
  std::string code_;
  bool statementPerExpression_ = false;
  // Origins of code_'s lines, and of the pending expression's first item
  // and first expression.
  std::vector<SourceOrigin> codeOrigins_;
  SourceOrigin pendingOrigin_;
  SourceOrigin pendingExpressionOrigin_;
  LineMap map_;
  SourceOrigin parseError_;
};

// The script function `name` that returns the output of the template file
// `file` of the template folder (the session `session` of it, with its
// includes expanded, when `session` is not empty). Run-time errors inside it
// do not stop it, as in a page. Raises an error when the file or the session
// is missing or the text does not compile (an empty or missing session
// gives an empty function).
std::string CompileIncludedTemplate(std::string_view file, std::string_view session, std::string_view name);

// Compiles a template text and runs it at once (initialisation level 0) in
// the engine-wide script engine. When there is none, a temporary engine is
// made for the call: the time-out is read from the user's settings, the
// advanced filters are loaded (and kept engine-wide), and the engine is
// initialised with the project, its current database, `controls` (an empty
// control collection when null), the engine-wide language (an empty one
// when there is none) and the filters; afterwards it is reset and released.
// When ProjErr is set after compiling, the text comes back unchanged.
std::string CompileAndRunTemplate(AGP& proj, std::string_view text, Dispatch* controls = nullptr);

}  // namespace tw
