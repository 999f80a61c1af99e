// tarnwick set, add-view, add-report, add-chart, reorder and remove: changes
// to a project file. Every command checks all it was given before it changes
// anything, and writes the file only when everything worked.
#include <fstream>
#include <iostream>
#include <sstream>

#include "automation/text.h"
#include "cli/cli.h"
#include "cli/live_schema.h"
#include "cli/objects.h"
#include "model/chart.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "core/project_file.h"
#include "schema/ado_types.h"
#include "schema/loaders.h"
#include "support/convert.h"
#include "support/engine_context.h"

namespace tw::cli {

namespace {

// ---------------------------------------------------------------- set

struct SetOptions {
  std::string project;
  std::vector<std::string> args;
  ObjectPath path;
  bool escapes = false;
};

std::string unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    switch (text[++i]) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += text[i];
    }
  }
  return out;
}

std::string sectionOf(const std::string& kind) {
  if (kind == "project") return "Project";
  if (kind == "database") return "Database";
  if (kind == "table") return "Table";
  if (kind == "field") return "Field";
  return "Chart";
}

// The value a setting of the given declared type receives from a text, as
// the project file reader converts attribute values.
Variant convertSetting(const std::string& name, const std::string& type, const std::string& text) {
  std::string lowered = toLower(name);
  if (lowered == "fldtagvalues") {
    std::string lines;
    for (char c : text) lines += c == '|' ? std::string("\r\n") : std::string(1, c);
    return Variant(lines);
  }
  if (lowered == "p_ext" && text.empty()) return Variant("php");
  if (lowered == "p_defaultpage" && text.empty()) return Variant("index.php");
  if (text.empty()) return type == "Boolean" || type == "Integer" || type == "Long" ? Variant() : Variant("");
  Variant v = ConvertByDataType(Variant(text), type);
  if (v.isEmpty()) {
    std::string expected = type == "Boolean"   ? "True or False"
                           : type == "Integer" ? "a whole number from -32768 to 32767"
                                               : "a whole number from -2147483648 to 2147483647";
    throw usageError(name + " takes " + expected + ", not \"" + text + "\"");
  }
  return v;
}

// A field whose type was changed takes the value quotes of its new type, as
// loading the project file gives them, so the file reads back as written and
// the pages quote its values for what they are.
void followTypeWithQuotes(AGP& proj, AGProperties& store,
                          const std::vector<std::pair<std::string, std::string>>& assignments) {
  bool typeSet = false;
  for (const auto& [name, text] : assignments)
    if (equalsNoCase(name, "FldType")) typeSet = true;
  if (!typeSet) return;
  const auto type = static_cast<int16_t>(store.value("FldType").toLong());
  std::string quote;
  if (ado::isQuotedType(type)) {
    const bool access = DBKindOf(database(proj).Properties().value("DBDBMSName").toString()) == 1;
    quote = access && (type == 7 || type == 133 || type == 134 || type == 135) ? "#" : "'";
  } else if (!ado::isNumericType(type)) {
    return;  // other types keep their quotes
  }
  store.setValue("FldQuoteS", Variant(quote));
  store.setValue("FldQuoteE", Variant(quote));
}

}  // namespace

Target applySettings(AGP& proj, const ObjectPath& path,
                     const std::vector<std::pair<std::string, std::string>>& assignments) {
  Target target = resolveTarget(proj, path);
  AGProperties& store = target.owner->Properties();

  std::vector<std::string> known;
  for (int32_t i = 0; i < store.Count(); ++i)
    if (store.meta(i).fileSave) known.push_back(store.meta(i).name);

  struct Change {
    int32_t index;
    Variant value;
  };
  std::vector<Change> changes;
  std::string rename;
  for (const auto& [name, text] : assignments) {
    int32_t i = store.findKey(name);
    if (i < 0)
      throw usageError("unknown " + target.kind + " setting \"" + name + "\"" + suggestion(name, known));
    const PropertyMeta& meta = store.meta(i);
    if (!meta.fileSave) {
      std::string hint = meta.regSave ? "; make it a user default with: tarnwick config set " +
                                            sectionOf(target.kind) + " " + meta.name + " VALUE"
                                      : "";
      throw usageError(meta.name + " is not kept in the project file" + hint);
    }
    if (meta.name == "TblSeq" || meta.name == "FldSeq" || meta.name == "ChartSeq" || meta.name == "Seq")
      throw usageError(meta.name + " is the position: use tarnwick reorder");
    if (meta.name == "TblName" || meta.name == "FldName" || meta.name == "ChartName") {
      if (text.empty()) throw usageError(meta.name + " cannot be empty");
      rename = text;
      continue;
    }
    changes.push_back({i, convertSetting(meta.name, meta.dataType, text)});
  }

  if (!rename.empty() && rename != target.name) {
    bool done = false;
    if (target.kind == "table")
      done = database(proj).tables().Change(target.name, rename) != nullptr;
    else if (target.kind == "field")
      done = findTable(proj, target.table).Fields().Change(target.name, rename) != nullptr;
    else
      done = findTable(proj, target.table).Charts().Change(target.name, rename) != nullptr;
    if (!done) throw usageError("cannot rename " + target.name + " to " + rename + ": the name is taken");
    detail("renamed " + target.name + " to " + rename);
    target.name = rename;
  }
  for (const Change& c : changes) store.valueAt(c.index) = c.value;
  if (target.kind == "field") followTypeWithQuotes(proj, store, assignments);
  return target;
}

namespace {

int runSet(SetOptions o) {
  // Leading words without "=" name the table and field.
  std::vector<std::pair<std::string, std::string>> assignments;
  std::vector<std::string> objectWords;
  for (const std::string& a : o.args) {
    size_t eq = a.find('=');
    if (eq == std::string::npos) {
      if (!assignments.empty()) throw usageError("expected NAME=VALUE, got \"" + a + "\"");
      objectWords.push_back(a);
      continue;
    }
    if (eq == 0) throw usageError("no setting name in \"" + a + "\"");
    std::string value = a.substr(eq + 1);
    assignments.emplace_back(a.substr(0, eq), o.escapes ? unescape(value) : value);
  }
  if (objectWords.size() > 2)
    throw usageError("too many names before NAME=VALUE: give at most TABLE and FIELD");
  if (assignments.empty()) throw usageError("nothing to set: give NAME=VALUE");
  if (!objectWords.empty()) o.path.table = objectWords[0];
  if (objectWords.size() > 1) o.path.field = objectWords[1];

  startEngine();
  Ref<AGP> proj = loadProject(o.project, true);
  Target target = applySettings(*proj, o.path, assignments);
  saveProject(*proj, o.project);
  std::string what = target.kind == "project"    ? "the project"
                     : target.kind == "database" ? "the database"
                     : target.table.empty()      ? target.kind + " " + target.name
                                                 : target.kind + " " + target.table + "." + target.name;
  info("Set " + std::to_string(assignments.size()) +
       (assignments.size() == 1 ? " setting of " : " settings of ") + what);
  return kExitOk;
}

// ---------------------------------------------------------------- add-view, add-report, add-chart

struct ViewOptions {
  std::string project, name, sql, sqlFile;
  bool copyFields = false;
  bool noGenerate = false;
};

int runAddView(const ViewOptions& o) {
  std::string sql = o.sql;
  if (!o.sqlFile.empty()) {
    std::ifstream in(o.sqlFile, std::ios::binary);
    if (!in) throw CliError(o.sqlFile + ": cannot read the file");
    std::ostringstream text;
    text << in.rdbuf();
    sql = text.str();
  }
  if (sql.empty()) throw usageError("give the view's SELECT with --sql or --sql-file");
  startEngine();
  Ref<AGP> proj = loadProject(o.project, true);
  LoadCustomView(*proj, Variant(o.name), Variant(sql), Variant(o.copyFields));
  throwOnEngineError(o.name);
  AGPTable& view = findTable(*proj, o.name);
  if (!o.noGenerate) view.setSetting("TblGen", Variant(true));
  saveProject(*proj, o.project);
  info("Added custom view " + o.name + " with " + std::to_string(view.Fields().Count()) + " fields");
  return kExitOk;
}

struct ReportOptions {
  std::string project, name, from;
};

int runAddReport(const ReportOptions& o) {
  startEngine();
  Ref<AGP> proj = loadProject(o.project, true);
  if (!LoadReport(*proj, Variant(o.name), Variant(o.from))) {
    if (engine().projErr.empty()) throw CliError("cannot add the report " + o.name);
    throwOnEngineError();
  }
  saveProject(*proj, o.project);
  info("Added report " + o.name + " of " + o.from + " with " +
       std::to_string(findTable(*proj, o.name).Fields().Count()) + " fields");
  return kExitOk;
}

struct ChartOptions {
  std::string project, table, name, copyFrom;
};

int runAddChart(const ChartOptions& o) {
  startEngine();
  Ref<AGP> proj = loadProject(o.project, true);
  bool ok =
      o.copyFrom.empty() ? LoadChart(*proj, o.name, o.table) : CopyChart(*proj, o.copyFrom, o.name, o.table);
  if (!ok) {
    if (engine().projErr.empty()) throw CliError("cannot add the chart " + o.name);
    throwOnEngineError();
  }
  if (o.copyFrom.empty()) {
    // A chart without a position is drawn nowhere: a new one goes above the
    // list unless the user's defaults place it.
    AGPChart& chart = findChart(findTable(*proj, o.table), o.name);
    if (chart.setting("ChartPosition").toLong() == 0) chart.setSetting("ChartPosition", Variant::integer(1));
  }
  saveProject(*proj, o.project);
  info("Added chart " + o.name + " to " + o.table +
       (o.copyFrom.empty() ? "" : " (copied from " + o.copyFrom + ")"));
  return kExitOk;
}

// ---------------------------------------------------------------- reorder, remove

struct ReorderOptions {
  std::string project;
  std::vector<std::string> args;
  std::string chart;
};

int runReorder(const ReorderOptions& o) {
  // [TABLE] NAME POSITION, or TABLE POSITION with --chart NAME.
  std::vector<std::string> a = o.args;
  const std::string& last = a.back();
  if (last.empty() || last.find_first_not_of("0123456789") != std::string::npos || last.size() > 5)
    throw usageError("POSITION must be a number, not \"" + last + "\"");
  long position = std::stol(last);
  a.pop_back();
  startEngine();
  Ref<AGP> proj = loadProject(o.project, true);
  std::string moved;
  if (!o.chart.empty()) {
    if (a.size() != 1) throw usageError("with --chart give TABLE and POSITION");
    AGPTable& t = findTable(*proj, a[0]);
    moveTo(t.Charts(), o.chart, position, "chart", t.TblName());
    moved = "chart " + o.chart;
  } else if (a.size() == 1) {
    moveTo(database(*proj).tables(), a[0], position, "table or view");
    moved = a[0];
  } else if (a.size() == 2) {
    AGPTable& t = findTable(*proj, a[0]);
    moveTo(t.Fields(), a[1], position, "field", t.TblName());
    moved = t.TblName() + "." + a[1];
  } else {
    throw usageError("give [TABLE] NAME POSITION");
  }
  saveProject(*proj, o.project);
  info("Moved " + moved + " to position " + std::to_string(position));
  return kExitOk;
}

struct RemoveOptions {
  std::string project, table, field, chart;
};

int runRemove(const RemoveOptions& o) {
  startEngine();
  Ref<AGP> proj = loadProject(o.project, true);
  AGPTable& t = findTable(*proj, o.table);
  LeftOut leftOut(o.project);
  std::string removed;
  if (!o.chart.empty()) {
    if (!o.field.empty()) throw usageError("give a FIELD or a --chart, not both");
    findChart(t, o.chart);
    t.Charts().Delete(o.chart);
    removed = "chart " + o.chart + " of " + o.table;
  } else if (!o.field.empty()) {
    findField(t, o.field);
    t.Fields().Delete(o.field);
    removed = "field " + o.table + "." + o.field;
  } else {
    std::string name = t.TblName();
    // Reports made from the table keep their own fields but lose their source.
    for (AGPTable* other : database(*proj).tables().inSequence())
      if (other->str("TblType") == "REPORT" && other->str("TblRptSrc") == name)
        warn("report " + other->TblName() + " was made from " + name);
    // A table or view of the database stays out until taken in again.
    const std::string type = t.str("TblType");
    if (type == "TABLE" || type == "VIEW") leftOut.add(name);
    database(*proj).tables().Delete(name);
    removed = name;
  }
  saveProject(*proj, o.project);
  leftOut.save();
  info("Removed " + removed);
  return kExitOk;
}

}  // namespace

void addEditCommands(CLI::App& app, Commands& out) {
  {
    auto o = std::make_shared<SetOptions>();
    CLI::App* sub =
        app.add_subcommand("set", "Change settings of the project, its database, a table, field or chart");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    sub->add_option("ARGS", o->args, "[TABLE [FIELD]] NAME=VALUE...")->required();
    addObjectFlags(*sub, o->path);
    sub->add_flag("-e,--escapes", o->escapes,
                  "Read \\n, \\r, \\t and \\\\ in values as line breaks, tabs, backslash");
    sub->footer(
        "Values are converted by the setting's type as the project file reader does:\n"
        "Boolean takes True/False (or a number), Integer and Long whole numbers; NAME= with\n"
        "nothing after it clears a setting. FldTagValues takes its lines separated by |.\n"
        "Setting TblName, FldName or ChartName renames the object. Unknown names are refused\n"
        "with the closest known ones.\n"
        "\n"
        "Examples:\n"
        "  tarnwick set shop.xml ProjName=Shop BodyTitle=\"Shop back office\"\n"
        "  tarnwick set shop.xml orders TblCaption=Orders TblRecPerPage=50\n"
        "  tarnwick set shop.xml orders status FldTagValues='\"new\",\"New\"|\"paid\",\"Paid\"'\n"
        "  tarnwick set shop.xml --database DBPwd=new-secret\n"
        "  tarnwick set shop.xml orders --chart by_month ChartType=3");
    out.push_back({sub, [o] { return runSet(*o); }});
  }
  {
    auto o = std::make_shared<ViewOptions>();
    CLI::App* sub = app.add_subcommand("add-view", "Add a custom view: a table defined by a SELECT");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    sub->add_option("NAME", o->name, "Name of the new view")->required();
    auto* sql = sub->add_option("--sql", o->sql, "The SELECT statement");
    sub->add_option("--sql-file", o->sqlFile, "Read the SELECT statement from a file")->excludes(sql);
    sub->add_flag("--copy-fields", o->copyFields,
                  "Columns taken from loaded tables copy those fields' settings");
    sub->add_flag("--no-generate", o->noGenerate, "Do not mark the view for generation (TblGen)");
    sub->footer(
        "The statement runs against the project's database to find its columns.\n"
        "\n"
        "Examples:\n"
        "  tarnwick add-view shop.xml big_orders --sql \"SELECT id, total FROM orders WHERE total > 100\"\n"
        "  tarnwick add-view shop.xml order_lines_v --sql-file lines.sql --copy-fields");
    out.push_back({sub, [o] { return runAddView(*o); }});
  }
  {
    auto o = std::make_shared<ReportOptions>();
    CLI::App* sub = app.add_subcommand("add-report", "Add a report made from a loaded table or view");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    sub->add_option("NAME", o->name, "Name of the new report")->required();
    sub->add_option("--from", o->from, "The table or view it reports on")->required();
    sub->footer("Example:\n  tarnwick add-report shop.xml sales_report --from orders");
    out.push_back({sub, [o] { return runAddReport(*o); }});
  }
  {
    auto o = std::make_shared<ChartOptions>();
    CLI::App* sub = app.add_subcommand("add-chart", "Add a chart to a table, view or report");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    sub->add_option("TABLE", o->table, "The table the chart draws")->required();
    sub->add_option("NAME", o->name, "Name of the new chart")->required();
    sub->add_option("--copy-from", o->copyFrom, "Copy the settings of this chart of TABLE");
    sub->footer(
        "Examples:\n"
        "  tarnwick add-chart shop.xml orders by_month\n"
        "  tarnwick add-chart shop.xml orders by_week --copy-from by_month\n"
        "  tarnwick set shop.xml orders --chart by_month ChartXFldName=order_date ChartYFldName=total");
    out.push_back({sub, [o] { return runAddChart(*o); }});
  }
  {
    auto o = std::make_shared<ReorderOptions>();
    CLI::App* sub = app.add_subcommand("reorder", "Move a table, field or chart to another position");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    sub->add_option("ARGS", o->args, "[TABLE] NAME POSITION")->required()->expected(2, 3);
    sub->add_option("--chart", o->chart, "Move this chart of TABLE (then give TABLE POSITION)");
    sub->footer(
        "Positions count from 1; they decide the order of menus, lists and generated pages.\n"
        "\n"
        "Examples:\n"
        "  tarnwick reorder shop.xml customers 1          a table to the front\n"
        "  tarnwick reorder shop.xml orders total 2       a field of orders\n"
        "  tarnwick reorder shop.xml orders 1 --chart by_week");
    out.push_back({sub, [o] { return runReorder(*o); }});
  }
  {
    auto o = std::make_shared<RemoveOptions>();
    CLI::App* sub =
        app.add_subcommand("remove", "Remove a table, view, report, field or chart from the project");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    sub->add_option("TABLE", o->table, "The table, view, custom view or report")->required();
    sub->add_option("FIELD", o->field, "Remove only this field of TABLE");
    sub->add_option("--chart", o->chart, "Remove only this chart of TABLE");
    sub->footer(
        "The database is not touched: only the project forgets the object.\n"
        "\n"
        "Examples:\n"
        "  tarnwick remove shop.xml audit_log\n"
        "  tarnwick remove shop.xml customers notes\n"
        "  tarnwick remove shop.xml orders --chart by_week");
    out.push_back({sub, [o] { return runRemove(*o); }});
  }
}

}  // namespace tw::cli
