#include "script/template_diagnostics.h"

#include "support/engine_context.h"
#include "vbs/diagnostics.h"

namespace tw {

namespace {

constexpr size_t kTablesShown = 5;

bool isIncludeFunction(std::string_view name) {
  return name.size() > 9 && (name.substr(0, 9) == "zbInclude" || name.substr(0, 9) == "zbinclude");
}

}  // namespace

TemplateDiagnostics& templateDiagnostics() {
  EngineContext& ctx = engine();
  if (!ctx.templateDiagnostics) ctx.templateDiagnostics = makeRef<TemplateDiagnostics>();
  return static_cast<TemplateDiagnostics&>(*ctx.templateDiagnostics);
}

void TemplateDiagnostics::beginPage(std::string control, std::string table, const LineMap* map,
                                    SourceOrigin controlOrigin) {
  controlOrigin_ = std::move(controlOrigin);
  control_ = std::move(control);
  table_ = std::move(table);
  map_ = map;
}

void TemplateDiagnostics::endPage() {
  controlOrigin_ = {};
  control_.clear();
  table_.clear();
  map_ = nullptr;
}

void TemplateDiagnostics::addInclude(std::string function, LineMap map) {
  includes_[std::move(function)] = std::move(map);
}

void TemplateDiagnostics::clear() {
  issues_.clear();
  index_.clear();
  includes_.clear();
  endPage();
}

void TemplateDiagnostics::add(TemplateIssueKind kind, const SourceOrigin& place, std::string message) {
  const SourceOrigin& origin = place.known() ? place : controlOrigin_;
  auto key = std::make_tuple(static_cast<int>(kind), origin.file, origin.line, origin.column, control_, message);
  auto found = index_.find(key);
  if (found == index_.end()) {
    found = index_.emplace(std::move(key), issues_.size()).first;
    TemplateIssue issue;
    issue.kind = kind;
    issue.origin = origin;
    issue.message = std::move(message);
    issue.control = control_;
    issues_.push_back(std::move(issue));
  }
  TemplateIssue& issue = issues_[found->second];
  ++issue.count;
  if (!table_.empty()) {
    bool known = false;
    for (const std::string& t : issue.tables) known = known || t == table_;
    if (!known) issue.tables.push_back(table_);
  }
}

void TemplateDiagnostics::addProblems(const LineMap& map, std::string_view control) {
  const std::string savedControl = control_, savedTable = table_;
  if (!control.empty()) control_ = std::string(control);
  table_.clear();
  for (const SourceProblem& p : map.problems) {
    add(p.kind == ProblemKind::UnknownPhrase    ? TemplateIssueKind::UnknownPhrase
        : p.kind == ProblemKind::MissingSession ? TemplateIssueKind::MissingSession
                                                : TemplateIssueKind::Problem,
        p.origin, p.message);
  }
  control_ = savedControl;
  table_ = savedTable;
}

void TemplateDiagnostics::skipped(const vbs::SkippedError& error) {
  SourceOrigin origin;
  if (error.procedure == "zbScriptEngine" && map_) {
    origin = map_->at(error.position.line);
  } else if (isIncludeFunction(error.procedure)) {
    auto found = includes_.find(error.procedure);
    if (found != includes_.end()) origin = found->second.at(error.position.line);
  }
  if (!origin.known() && !error.sourceName.empty() && error.procedure != "zbScriptEngine")
    origin = {error.sourceName, error.position.line, error.position.column};
  add(TemplateIssueKind::SkippedError, origin, "run-time error skipped: " + error.description);
}

void TemplateDiagnostics::unknownPhrase(std::string_view id) {
  if (control_.empty()) return;  // only pages are reported
  // A literal identifier of the control's template was reported where it
  // is written when the control was compiled.
  const std::string placed = "unknown phrase \"" + std::string(id) + "\" (not in the language file)";
  for (const TemplateIssue& issue : issues_)
    if (issue.kind == TemplateIssueKind::UnknownPhrase && issue.control == control_ && issue.message == placed)
      return;
  add(TemplateIssueKind::UnknownPhrase, {}, "unknown phrase \"" + std::string(id) + "\" (LANG.Phrase)");
}

std::string TemplateDiagnostics::describe(const TemplateIssue& issue) const {
  std::string out;
  if (issue.origin.known()) {
    SourceOrigin shown = issue.origin;
    if (shownPath) {
      shown.file = shownPath(shown.file);
    } else {
      for (char& c : shown.file)
        if (c == '\\') c = '/';
    }
    out = formatOrigin(shown) + ": ";
  }
  out += issue.message;
  std::vector<std::string> where;
  if (!issue.control.empty()) where.push_back("control " + issue.control);
  if (!issue.tables.empty()) {
    std::string t = issue.tables.size() == 1 ? "table " : "tables ";
    for (size_t i = 0; i < issue.tables.size() && i < kTablesShown; ++i) t += (i ? ", " : "") + issue.tables[i];
    if (issue.tables.size() > kTablesShown)
      t += " and " + std::to_string(issue.tables.size() - kTablesShown) + " more";
    where.push_back(t);
  }
  if (issue.count > 1) where.push_back(std::to_string(issue.count) + " times");
  if (!where.empty()) {
    out += " (";
    for (size_t i = 0; i < where.size(); ++i) out += (i ? "; " : "") + where[i];
    out += ")";
  }
  return out;
}

}  // namespace tw
