// tarnwick add: takes tables and views of the database into a project, those
// left out on purpose (new --tables, remove) and those never listed.
#include "cli/cli.h"
#include "cli/live_schema.h"
#include "model/database.h"
#include "model/table.h"
#include "schema/loaders.h"
#include "support/engine_context.h"

namespace tw::cli {

namespace {

struct AddOptions {
  std::string project;
  std::vector<std::string> tables;
};

int runAdd(const AddOptions& o) {
  startEngine();
  Ref<AGP> proj = loadProject(o.project);
  LeftOut leftOut(o.project);
  AGPTables& tables = database(*proj).tables();
  Ref<AGPSchema> schema;
  for (const std::string& name : o.tables) {
    AGPTable* t = tables.Item(Variant(name));
    if (t && t->TblName() == name && t->flag("TblLoaded")) {
      if (leftOut.erase(name)) continue;
      throw usageError(name + " is in the project already");
    }
    if (!t || t->TblName() != name) {
      // Not listed: the database must have it.
      if (!schema) schema = readLiveSchema(*proj);
      const AGSchemaTable* found = nullptr;
      std::vector<std::string> names;
      for (int16_t i = 1; i <= schema->tblcnt(); ++i) {
        const AGSchemaTable& r = schema->record().tables.Tbl[static_cast<size_t>(i)];
        names.push_back(r.TblName);
        if (r.TblName == name) found = &r;
      }
      if (!found)
        throw usageError("the database has no table or view \"" + name + "\"" + suggestion(name, names));
      t = tables.Add(name);
      if (!t) throw CliError(name + ": cannot add it to the project");
      t->setSetting("TblType", Variant(found->TblType));
    }
    detail("loading " + name);
    LoadTable(*proj, Variant(name));
    throwOnEngineError(name);
    t = tables.Item(Variant(name));
    if (t) t->setSetting("TblGen", Variant(true));
    leftOut.erase(name);
  }
  saveProject(*proj, o.project);
  leftOut.save();
  std::string names;
  for (const std::string& n : o.tables) names += (names.empty() ? "" : ", ") + n;
  info("Added " + names + " to " + o.project);
  return kExitOk;
}

}  // namespace

void addAddCommands(CLI::App& app, Commands& out) {
  auto o = std::make_shared<AddOptions>();
  CLI::App* sub = app.add_subcommand("add", "Take tables or views of the database into a project");
  sub->add_option("PROJECT", o->project, "Project file")->required();
  sub->add_option("TABLE", o->tables, "Tables and views to load and mark for generation")->required();
  sub->footer(
      "Loads tables and views the project lists without columns, left out on purpose (by\n"
      "new --tables or remove) or not listed at all, and marks them for generation. Tables\n"
      "left out on purpose are otherwise passed by by check and sync.\n"
      "\n"
      "Examples:\n"
      "  tarnwick add shop.xml customers\n"
      "  tarnwick add shop.xml audit_log big_orders");
  out.push_back({sub, [o] { return runAdd(*o); }});
}

}  // namespace tw::cli
