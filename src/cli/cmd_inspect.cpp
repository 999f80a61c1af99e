// tarnwick tables and tarnwick show: what a project holds.
#include <algorithm>
#include <iostream>

#include "automation/text.h"
#include "cli/cli.h"
#include "cli/live_schema.h"
#include "cli/objects.h"
#include "model/chart.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "schema/ado_types.h"

namespace tw::cli {

namespace {

std::string yesNo(bool b) { return b ? "yes" : "no"; }

struct TablesOptions {
  std::string project;
  std::string table;
  bool json = false;
};

int listTables(AGP& proj, const LeftOut& leftOut, bool json) {
  AGPTables& tables = database(proj).tables();
  std::vector<AGPTable*> order = tables.inSequence();
  // Left out on purpose and not listed in the project at all.
  std::vector<std::string> absent;
  for (const std::string& n : leftOut.names())
    if (!tables.Item(Variant(n))) absent.push_back(n);
  if (json) {
    std::cout << "[";
    bool first = true;
    for (AGPTable* t : order) {
      std::cout << (first ? "\n" : ",\n") << "  {\"seq\": " << t->TblSeq()
                << ", \"name\": " << jsonString(t->TblName())
                << ", \"type\": " << jsonString(t->str("TblType"))
                << ", \"loaded\": " << jsonValue(Variant(t->flag("TblLoaded")))
                << ", \"generate\": " << jsonValue(Variant(t->flag("TblGen")))
                << ", \"fields\": " << t->Fields().Count() << ", \"charts\": " << t->Charts().Count()
                << ", \"left_out\": " << jsonValue(Variant(leftOut.contains(t->TblName()))) << "}";
      first = false;
    }
    for (const std::string& n : absent) {
      std::cout << (first ? "\n" : ",\n") << "  {\"seq\": null, \"name\": " << jsonString(n)
                << ", \"type\": null, \"loaded\": false, \"generate\": false, \"fields\": 0, \"charts\": 0"
                << ", \"left_out\": true}";
      first = false;
    }
    std::cout << (first ? "]\n" : "\n]\n");
    return kExitOk;
  }
  std::vector<std::vector<std::string>> rows;
  for (AGPTable* t : order)
    rows.push_back({std::to_string(t->TblSeq()), t->TblName(), t->str("TblType"), yesNo(t->flag("TblLoaded")),
                    yesNo(t->flag("TblGen")), std::to_string(t->Fields().Count()),
                    std::to_string(t->Charts().Count())});
  printTable({"SEQ", "NAME", "TYPE", "LOADED", "GENERATE", "FIELDS", "CHARTS"}, rows);
  if (!leftOut.names().empty()) {
    std::string names;
    for (const std::string& n : leftOut.names()) names += (names.empty() ? "" : ", ") + n;
    std::cout << "\nNot in the project by choice: " << names
              << "\n(tarnwick add PROJECT TABLE takes one in)\n";
  }
  return kExitOk;
}

int listTable(AGPTable& t, bool json) {
  std::vector<AGPField*> fields = t.Fields().inSequence();
  std::vector<AGPChart*> charts = t.Charts().inSequence();
  if (json) {
    std::cout << "{\"name\": " << jsonString(t.TblName()) << ", \"type\": " << jsonString(t.str("TblType"))
              << ", \"loaded\": " << jsonValue(Variant(t.flag("TblLoaded")))
              << ", \"key\": " << jsonString(t.str("TblKey")) << ",\n \"fields\": [";
    for (size_t i = 0; i < fields.size(); ++i) {
      AGPField* f = fields[i];
      std::cout << (i ? ",\n  " : "\n  ") << "{\"seq\": " << f->FldSeq()
                << ", \"name\": " << jsonString(f->FldName())
                << ", \"type\": " << jsonString(f->str("FldTypeName"))
                << ", \"adoType\": " << jsonValue(f->setting("FldType"))
                << ", \"adoTypeName\": " << jsonString(ado::typeName(f->setting("FldType").toLong()))
                << ", \"primaryKey\": " << jsonValue(Variant(f->flag("FldIsPrimaryKey")))
                << ", \"caption\": " << jsonString(f->str("FldCaption")) << "}";
    }
    std::cout << (fields.empty() ? "],\n" : "\n ],\n") << " \"charts\": [";
    for (size_t i = 0; i < charts.size(); ++i) {
      AGPChart* c = charts[i];
      std::cout << (i ? ",\n  " : "\n  ") << "{\"seq\": " << c->ChartSeq()
                << ", \"name\": " << jsonString(c->ChartName())
                << ", \"type\": " << jsonValue(c->setting("ChartType")) << "}";
    }
    std::cout << (charts.empty() ? "]}\n" : "\n ]}\n");
    return kExitOk;
  }
  std::cout << bold(t.TblName()) << " (" << t.str("TblType") << (t.flag("TblLoaded") ? "" : ", not loaded")
            << "), key: " << (t.str("TblKey").empty() ? "none" : t.str("TblKey")) << "\n\n";
  std::vector<std::vector<std::string>> rows;
  for (AGPField* f : fields)
    rows.push_back({std::to_string(f->FldSeq()), f->FldName(), f->str("FldTypeName"),
                    ado::describeType(f->setting("FldType").toLong()), f->flag("FldIsPrimaryKey") ? "key" : "",
                    f->str("FldCaption")});
  printTable({"SEQ", "FIELD", "TYPE", "ADO TYPE", "KEY", "CAPTION"}, rows);
  if (!charts.empty()) {
    std::cout << '\n';
    rows.clear();
    for (AGPChart* c : charts)
      rows.push_back({std::to_string(c->ChartSeq()), c->ChartName(), displayValue(c->setting("ChartType"))});
    printTable({"SEQ", "CHART", "TYPE"}, rows);
  }
  return kExitOk;
}

int runTables(const TablesOptions& o) {
  startEngine();
  Ref<AGP> proj = loadProject(o.project);
  if (!o.table.empty()) return listTable(findTable(*proj, o.table), o.json);
  return listTables(*proj, LeftOut(o.project), o.json);
}

struct ShowOptions {
  ObjectPath path;
  std::string project;
  bool json = false;
  bool showPassword = false;
};

int runShow(const ShowOptions& o) {
  startEngine();
  Ref<AGP> proj = loadProject(o.project);
  Target target = resolveTarget(*proj, o.path);
  AGProperties& store = target.owner->Properties();
  auto hidden = [&](int32_t i) { return !o.showPassword && equalsNoCase(store.meta(i).name, "DBPwd"); };
  if (o.json) {
    std::cout << "{\"object\": " << jsonString(target.kind);
    if (!target.table.empty()) std::cout << ", \"table\": " << jsonString(target.table);
    std::cout << ", \"name\": " << jsonString(target.name) << ", \"settings\": {";
    bool first = true;
    for (int32_t i = 0; i < store.Count(); ++i) {
      if (!store.meta(i).fileSave) continue;
      std::cout << (first ? "\n  " : ",\n  ") << jsonString(store.meta(i).name) << ": "
                << (hidden(i) ? jsonString(store.valueAt(i).isEmpty() ? "" : "********")
                              : jsonValue(store.valueAt(i)));
      first = false;
    }
    std::cout << (first ? "}}\n" : "\n}}\n");
    return kExitOk;
  }
  for (int32_t i = 0; i < store.Count(); ++i) {
    if (!store.meta(i).fileSave) continue;
    std::string value = displayValue(store.valueAt(i));
    if (hidden(i) && !value.empty()) value = "********";
    // A column type shows its ADO name beside the code.
    if (target.kind == "field" && store.meta(i).name == "FldType" && !store.valueAt(i).isEmpty())
      value = ado::describeType(store.valueAt(i).toLong());
    std::cout << store.meta(i).name << " = " << value << '\n';
  }
  return kExitOk;
}

}  // namespace

void addInspectCommands(CLI::App& app, Commands& out) {
  {
    auto o = std::make_shared<TablesOptions>();
    CLI::App* sub =
        app.add_subcommand("tables", "List the tables and views of a project, or the fields of one");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    sub->add_option("TABLE", o->table, "List this table's fields and charts");
    sub->add_flag("--json", o->json, "Write JSON for scripts");
    sub->footer(
        "Examples:\n"
        "  tarnwick tables shop.xml\n"
        "  tarnwick tables shop.xml orders\n"
        "  tarnwick tables shop.xml --json | jq -r '.[] | select(.loaded) | .name'");
    out.push_back({sub, [o] { return runTables(*o); }});
  }
  {
    auto o = std::make_shared<ShowOptions>();
    CLI::App* sub =
        app.add_subcommand("show", "Show the settings of the project, its database, a table, field or chart");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    addObjectPath(*sub, o->path);
    sub->add_flag("--json", o->json, "Write JSON for scripts (values keep their types)");
    sub->add_flag("--show-password", o->showPassword, "Show DBPwd instead of asterisks");
    sub->footer(
        "Settings are printed as NAME = VALUE, one a line, in the order the project file keeps\n"
        "them; line breaks in values show as \\r and \\n.\n"
        "\n"
        "Examples:\n"
        "  tarnwick show shop.xml                    the project settings\n"
        "  tarnwick show shop.xml --database         the connection settings\n"
        "  tarnwick show shop.xml orders             a table\n"
        "  tarnwick show shop.xml orders total       a field\n"
        "  tarnwick show shop.xml orders --chart by_month\n"
        "  tarnwick show shop.xml orders total --json");
    out.push_back({sub, [o] { return runShow(*o); }});
  }
}

}  // namespace tw::cli
