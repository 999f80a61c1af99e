// Applying project descriptions (description.h) to a loaded project.
#include <fstream>
#include <sstream>

#include "cli/description.h"
#include "cli/objects.h"
#include "model/chart.h"
#include "model/table.h"
#include "schema/loaders.h"
#include "support/engine_context.h"

namespace tw::cli {

namespace {

// An existing custom view or report of the same definition is kept, so that
// a description can be applied again.
bool sameTable(AGP& proj, const std::string& name, const char* type, const char* setting,
               const std::string& value, const char* what) {
  AGPTable* t = proj.DBCnt() > 0 ? proj.db()->tables().Item(Variant(name)) : nullptr;
  if (!t) return false;
  if (t->str("TblType") == type && t->str(setting) == value) return true;
  throw usageError(what + std::string(" ") + name + " is in the project already as another " +
                   (t->str("TblType") == type ? "definition" : "kind of table") +
                   " (tarnwick remove PROJECT " + name + " first to define it anew)");
}

void applyLine(AGP& proj, const DescriptionLine& line) {
  const std::vector<std::string>& n = line.names;
  ObjectPath path;
  if (line.kind == "name") {
    proj.setSetting("ProjName", Variant(n[0]));
  } else if (line.kind == "project") {
    applySettings(proj, path, line.assignments);
  } else if (line.kind == "database") {
    path.database = true;
    applySettings(proj, path, line.assignments);
  } else if (line.kind == "table") {
    path.table = n[0];
    applySettings(proj, path, line.assignments);
  } else if (line.kind == "field") {
    path.table = n[0];
    path.field = n[1];
    applySettings(proj, path, line.assignments);
  } else if (line.kind == "view") {
    if (sameTable(proj, n[0], "CUSTOMVIEW", "TblCustomSQL", n[1], "custom view")) return;
    LoadCustomView(proj, Variant(n[0]), Variant(n[1]), Variant(true));
    throwOnEngineError(n[0]);
    findTable(proj, n[0]).setSetting("TblGen", Variant(true));
  } else if (line.kind == "report") {
    if (sameTable(proj, n[0], "REPORT", "TblRptSrc", n[1], "report")) return;
    if (!LoadReport(proj, Variant(n[0]), Variant(n[1]))) {
      if (engine().projErr.empty()) throw CliError("cannot add the report " + n[0]);
      throwOnEngineError(n[0]);
    }
  } else if (line.kind == "chart") {
    AGPTable& table = findTable(proj, n[0]);
    if (!table.Charts().ChartExist(Variant(n[1])) && !LoadChart(proj, n[1], n[0])) {
      if (engine().projErr.empty()) throw CliError("cannot add the chart " + n[1]);
      throwOnEngineError(n[1]);
    }
    path.table = n[0];
    path.chart = n[1];
    if (!line.assignments.empty()) applySettings(proj, path, line.assignments);
  }
}

}  // namespace

int applyDescription(AGP& proj, const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw CliError(file + ": cannot read the project description");
  std::ostringstream text;
  text << in.rdbuf();
  Description d = parseDescription(text.str());
  // Every wrong line is named, the ones the text alone shows first; the
  // project keeps the lines that did apply, the caller does not save it.
  std::vector<std::string> problems;
  int code = d.problems.empty() ? kExitOk : kExitUsage;
  for (const DescriptionProblem& p : d.problems)
    problems.push_back(file + ":" + std::to_string(p.number) + ": " + p.message);
  if (problems.empty()) {
    for (const DescriptionLine& line : d.lines) {
      try {
        applyLine(proj, line);
      } catch (const CliError& e) {
        if (code == kExitOk) code = e.code();
        problems.push_back(file + ":" + std::to_string(line.number) + ": " + e.what());
        engine().projErr.clear();
      }
    }
  }
  if (problems.empty()) return static_cast<int>(d.lines.size());
  std::string message;
  for (const std::string& p : problems) message += (message.empty() ? "" : "\n") + p;
  throw CliError(message, code);
}

}  // namespace tw::cli
