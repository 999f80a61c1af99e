#pragma once
// What went wrong in template scripts without stopping them. Page scripts
// run with On Error Resume Next, a phrase the language file lacks reads as
// "", a session that is not there compiles to nothing, a page may come out
// empty: the run goes on, and this collector keeps each such problem with
// the template position it came from, the control and the tables it
// happened for, and how often, for the report after the run (and for
// `generate --strict`, which fails a run that has any).
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "automation/dispatch.h"
#include "script/source_map.h"

namespace tw {

namespace vbs {
struct SkippedError;
}

enum class TemplateIssueKind {
  SkippedError,    // a run-time error On Error Resume Next let pass
  UnknownPhrase,   // a phrase identifier the language files do not define
  MissingSession,  // a control's session, or an included one, that is not there
  EmptyPage,       // a page whose script produced no text at all
  Problem,         // anything else found while compiling (an include left out, ...)
};

struct TemplateIssue {
  TemplateIssueKind kind = TemplateIssueKind::Problem;
  SourceOrigin origin;  // the file as read (a work copy path); see TemplateDiagnostics::shownPath
  std::string message;
  std::string control;              // the control whose page it happened in, if any
  std::vector<std::string> tables;  // the tables (table.field for field pages), in order, each once
  int32_t count = 0;                // how often it happened
};

class TemplateDiagnostics : public Dispatch {
 public:
  // The page the scripts now run for; `map` (kept by the caller until
  // endPage) places the errors of the page's script function.
  // Problems with no place of their own are placed at `controlOrigin`.
  void beginPage(std::string control, std::string table, const LineMap* map, SourceOrigin controlOrigin = {});
  void endPage();
  // The line map of an included template's script function `function`.
  void addInclude(std::string function, LineMap map);
  // Forgets the include maps (the functions are gone with the engine).
  void clearIncludes() { includes_.clear(); }

  void add(TemplateIssueKind kind, const SourceOrigin& origin, std::string message);
  // The problems found when a control's script was compiled (`control`
  // empty: the page's control).
  void addProblems(const LineMap& map, std::string_view control);
  void skipped(const vbs::SkippedError& error);
  void unknownPhrase(std::string_view id);

  const std::vector<TemplateIssue>& issues() const noexcept { return issues_; }
  void clear();

  // Turns the path a text was read from into the one the author knows (the
  // template folder or archive as given, with "/"); unset: "/" only.
  std::function<std::string(std::string_view)> shownPath;
  // One line for an issue: "FILE:LINE:COLUMN: message (control ..., table
  // ..., N times)".
  std::string describe(const TemplateIssue& issue) const;

 private:
  std::vector<TemplateIssue> issues_;
  std::map<std::tuple<int, std::string, int32_t, int32_t, std::string, std::string>, size_t> index_;
  std::map<std::string, LineMap, std::less<>> includes_;
  std::string control_;
  std::string table_;
  const LineMap* map_ = nullptr;
  SourceOrigin controlOrigin_;
};

// The calling thread's collector (engine().templateDiagnostics).
TemplateDiagnostics& templateDiagnostics();

}  // namespace tw
