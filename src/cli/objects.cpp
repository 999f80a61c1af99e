#include "cli/objects.h"

#include "model/chart.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"

namespace tw::cli {

void addObjectFlags(CLI::App& sub, ObjectPath& path) {
  sub.add_option("--chart", path.chart, "A chart of TABLE instead of a field");
  sub.add_flag("--database", path.database, "The project's database (connection settings)");
}

void addObjectPath(CLI::App& sub, ObjectPath& path) {
  sub.add_option("TABLE", path.table, "A table, view, custom view or report");
  sub.add_option("FIELD", path.field, "A field of TABLE");
  addObjectFlags(sub, path);
}

Target resolveTarget(AGP& proj, const ObjectPath& path) {
  if (path.database) {
    if (!path.table.empty() || !path.chart.empty())
      throw usageError("--database takes no table, field or chart");
    AGPDatabase& db = database(proj);
    return {&db, "database", "", db.DBName()};
  }
  if (path.table.empty()) {
    if (!path.chart.empty()) throw usageError("--chart needs the TABLE it belongs to");
    return {&proj, "project", "", proj.str("ProjName")};
  }
  AGPTable& table = findTable(proj, path.table);
  if (!path.chart.empty()) {
    if (!path.field.empty()) throw usageError("give a FIELD or a --chart, not both");
    AGPChart& chart = findChart(table, path.chart);
    return {&chart, "chart", table.TblName(), chart.ChartName()};
  }
  if (!path.field.empty()) {
    AGPField& field = findField(table, path.field);
    return {&field, "field", table.TblName(), field.FldName()};
  }
  return {&table, "table", "", table.TblName()};
}

}  // namespace tw::cli
