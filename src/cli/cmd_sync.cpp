// tarnwick check and tarnwick sync: the project against the live database.
#include <chrono>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "automation/error.h"
#include "automation/text.h"
#include "cli/cli.h"
#include "cli/live_schema.h"
#include "cli/map_file.h"
#include "cli/relations.h"
#include "cli/sync_flags.h"
#include "cli/terminal.h"
#include "model/database.h"
#include "model/table.h"
#include "schema/loaders.h"
#include "support/engine_context.h"
#include "sync/sync.h"
#include "sync/sync_answers.h"

namespace tw::cli {

// ---------------------------------------------------------------- shared flags

void addSyncFlags(CLI::App& sub, SyncFlags& flags) {
  sub.add_option("--map", flags.map, "File naming renamed tables, views and fields (OLD -> NEW lines)");
  sub.add_flag("--keep-keys", flags.keepKeys, "Keep the project's primary keys where the database's changed");
}

namespace {

// The map file of this run and its pairs (see checkMapBeforeSync).
std::string gMapPath;
std::vector<MapPair> gMapPairs;

std::vector<MapPair> readMap(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CliError(path + ": cannot read the map file");
  std::ostringstream text;
  text << in.rdbuf();
  return parseMap(text.str(), path);
}

AGPTable* projectTable(AGP& proj, const std::string& name) {
  return database(proj).tables().Item(Variant(name));
}

bool hasField(AGPTable& table, const std::string& name) {
  return table.Fields().Item(Variant(name)) != nullptr;
}

// Throws a usage error listing the map lines at fault, when there are any.
void throwMapProblems(const std::vector<std::string>& problems) {
  if (problems.empty()) return;
  std::string text = "the map file names what does not exist (nothing was changed):";
  for (const std::string& p : problems) text += "\n  " + gMapPath + ":" + p;
  throw usageError(text);
}

}  // namespace

void installSyncAnswers(const SyncFlags& flags, std::optional<bool> update) {
  requireFlagFor("pairing", "--map FILE (an empty file pairs nothing)");
  auto answers = std::make_unique<SyncAnswers>(makeCliPrompt());
  answers->setUpdateKeys(!flags.keepKeys);
  if (update) answers->setUpdate(*update);
  gMapPath = flags.map;
  gMapPairs.clear();
  if (!flags.map.empty()) {
    gMapPairs = readMap(flags.map);
    for (const MapPair& p : gMapPairs) {
      if (p.table.empty())
        answers->pairTable(p.newName, p.oldName);
      else
        answers->pairField(p.table, p.newName, p.oldName);
    }
    answers->setPairsComplete(true);
  }
  engine().setPrompts(std::move(answers));
}

void checkMapBeforeSync(AGP& proj) {
  // The old name of a pair is in the project, or the new one is there
  // already (a map used again after its renames were made).
  std::vector<std::string> problems;
  for (const MapPair& p : gMapPairs) {
    const std::string at = std::to_string(p.line) + ": ";
    if (p.table.empty()) {
      if (!projectTable(proj, p.oldName) && !projectTable(proj, p.newName))
        problems.push_back(at + "no table or view \"" + p.oldName + "\" in the project");
      continue;
    }
    AGPTable* table = projectTable(proj, p.table);
    for (const MapPair& renamed : gMapPairs)
      if (!table && renamed.table.empty() && equalsNoCase(renamed.newName, p.table))
        table = projectTable(proj, renamed.oldName);
    if (!table) {
      problems.push_back(at + "no table or view \"" + p.table + "\" in the project");
    } else if (table->flag("TblLoaded") && !hasField(*table, p.oldName) && !hasField(*table, p.newName)) {
      problems.push_back(at + "no field \"" + p.oldName + "\" in " + table->TblName());
    }
  }
  throwMapProblems(problems);
}

void checkMapAfterSync(AGP& proj) {
  // The project now holds what the database holds: every new name must be
  // among it, or the pair matched nothing and its old object was dropped.
  std::vector<std::string> problems;
  for (const MapPair& p : gMapPairs) {
    const std::string at = std::to_string(p.line) + ": ";
    if (p.table.empty()) {
      if (!projectTable(proj, p.newName))
        problems.push_back(at + "no table or view \"" + p.newName + "\" in the database");
      continue;
    }
    AGPTable* table = projectTable(proj, p.table);
    if (!table)
      problems.push_back(at + "no table or view \"" + p.table + "\" in the database");
    else if (table->flag("TblLoaded") && !hasField(*table, p.newName))
      problems.push_back(at + "no column \"" + p.newName + "\" in " + p.table + " in the database");
  }
  throwMapProblems(problems);
}

namespace {

// Custom views and reports that the check could not compare.
void reportFailures(AGP& proj) {
  for (AGPTable* t : database(proj).tables().inSequence()) {
    std::string type = t->str("TblType");
    if ((type == "CUSTOMVIEW" || type == "REPORT") && !t->str("TblCustomError").empty()) {
      std::string text = t->str("TblCustomError");
      const std::string prefix = engine().productName + ": ";
      if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
      warn(t->TblName() + ": " + text);
    }
  }
}

// The tables left out on purpose, one line after the rest.
void reportLeftOut(const LeftOut& leftOut) {
  if (leftOut.names().empty()) return;
  std::string text = "Not in the project by choice (tarnwick add PROJECT TABLE takes one in): ";
  bool first = true;
  for (const std::string& n : leftOut.names()) {
    text += (first ? "" : ", ") + n;
    first = false;
  }
  info(text);
}

std::string jsonNames(const std::set<std::string>& names) {
  std::string out = "[";
  for (const std::string& n : names) out += (out.size() > 1 ? ", " : "") + jsonString(n);
  return out + "]";
}

std::string jsonDifferences(const std::vector<Difference>& list) {
  if (list.empty()) return "[]";
  std::string out = "[";
  for (size_t i = 0; i < list.size(); ++i) out += (i ? ",\n    " : "\n    ") + toJson(list[i]);
  return out + "\n  ]";
}

std::string differencesText(int n) { return std::to_string(n) + (n == 1 ? " difference" : " differences"); }

struct CheckOptions {
  std::string project;
  bool json = false;
};

int runCheck(const CheckOptions& o) {
  // Every trouble is exit 2 here; 1 means the project differs.
  try {
    startEngine();
    Ref<AGP> proj = loadProject(o.project);
    LeftOut leftOut(o.project);
    Ref<AGPSchema> schema = readLiveSchema(*proj);
    dropLeftOut(*proj, *schema, leftOut);
    CheckResult result = checkProject(*proj, *schema, true);
    if (o.json) {
      std::cout << "{\n  \"project\": " << jsonString(o.project)
                << ",\n  \"in_sync\": " << (result.count == 0 ? "true" : "false")
                << ",\n  \"count\": " << result.count
                << ",\n  \"differences\": " << jsonDifferences(result.differences)
                << ",\n  \"left_out\": " << jsonNames(leftOut.names()) << "\n}\n";
      return result.count == 0 ? kExitOk : kExitFailed;
    }
    reportFailures(*proj);
    if (result.count == 0) {
      info(o.project + " is in sync with the database");
      reportLeftOut(leftOut);
      return kExitOk;
    }
    info(o.project + " differs from the database: " + differencesText(result.count) +
         " (tarnwick sync updates it)");
    for (const Difference& d : result.differences) info("  " + describe(d));
    reportLeftOut(leftOut);
    return kExitFailed;
  } catch (const CliError& e) {
    throw CliError(e.what(), e.code() == kExitCancelled ? kExitCancelled : kExitUsage);
  } catch (const Error& e) {
    throw CliError(e.description(), kExitUsage);
  }
}

struct SyncOptions {
  std::string project;
  SyncFlags flags;
  bool noRelations = false;
  bool addNew = false;
  bool json = false;
};

// The loaded tables and their fields, to tell afterwards what was added.
std::set<std::pair<std::string, std::string>> loadedNames(AGP& proj) {
  std::set<std::pair<std::string, std::string>> names;
  for (AGPTable* t : database(proj).tables().inSequence()) {
    if (!t->flag("TblLoaded")) continue;
    names.emplace(t->TblName(), "");
    for (AGPField* f : t->Fields().inSequence()) names.emplace(t->TblName(), f->str("FldName"));
  }
  return names;
}

RelationScope addedSince(AGP& proj, const std::set<std::pair<std::string, std::string>>& before) {
  RelationScope scope;
  scope.everything = false;
  for (const auto& name : loadedNames(proj)) {
    if (before.count(name)) continue;
    if (name.second.empty())
      scope.tables.insert(name.first);
    else if (!scope.tables.count(name.first))
      scope.fields.insert(name);
  }
  return scope;
}

int runSync(const SyncOptions& o) {
  const auto start = std::chrono::steady_clock::now();
  if (o.json) globals().quiet = true;  // stdout holds the JSON alone
  startEngine();
  Ref<AGP> proj = loadProject(o.project, true);
  installSyncAnswers(o.flags, std::nullopt);
  checkMapBeforeSync(*proj);
  LeftOut leftOut(o.project);
  Ref<AGPSchema> schema = readLiveSchema(*proj);
  // Tables left out that the project lists without columns are loaded when
  // new tables are asked for.
  std::vector<std::string> listed;
  if (o.addNew) {
    for (const std::string& name : leftOut.names())
      if (AGPTable* t = database(*proj).tables().Item(Variant(name)); t && !t->flag("TblLoaded"))
        listed.push_back(t->TblName());
  } else {
    dropLeftOut(*proj, *schema, leftOut);
  }
  CheckResult result = checkProject(*proj, *schema, true);
  const bool leftOutChanges = o.addNew && !leftOut.names().empty();
  auto report = [&](bool updated) {
    if (!o.json) return;
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << "{\n  \"project\": " << jsonString(o.project)
              << ",\n  \"updated\": " << (updated ? "true" : "false") << ",\n  \"count\": " << result.count
              << ",\n  \"differences\": " << jsonDifferences(result.differences)
              << ",\n  \"left_out\": " << jsonNames(leftOut.names())
              << ",\n  \"seconds\": " << jsonValue(Variant(took.count())) << "\n}\n";
  };
  if (result.count == 0 && !leftOutChanges) {
    checkMapAfterSync(*proj);
    reportFailures(*proj);
    if (o.json) {
      report(false);
      return kExitOk;
    }
    info(o.project + " is already in sync with the database");
    reportLeftOut(leftOut);
    return kExitOk;
  }
  const auto before = loadedNames(*proj);
  synchronise(*proj, *schema);
  throwOnEngineError();
  for (const std::string& name : listed) {
    detail("loading " + name);
    LoadTable(*proj, Variant(name));
    throwOnEngineError(name);
    if (AGPTable* t = database(*proj).tables().Item(Variant(name))) t->setSetting("TblGen", Variant(true));
    result.differences.push_back({"table", name, "", "added", "", ""});
  }
  checkMapAfterSync(*proj);
  if (!o.noRelations) reportRelations(applyRelations(*proj, addedSince(*proj, before)));
  reportFailures(*proj);
  saveProject(*proj, o.project);
  if (o.addNew) {
    leftOut.clear();
    leftOut.save();
  }
  if (o.json) {
    report(true);
    return kExitOk;
  }
  info("Updated " + o.project + ": " + differencesText(result.count) + " applied");
  for (const Difference& d : result.differences) detail("  " + describe(d));
  for (const std::string& name : listed) info("Loaded " + name + ", left out before");
  reportLeftOut(leftOut);
  return kExitOk;
}

}  // namespace

void addSyncCommands(CLI::App& app, Commands& out) {
  {
    auto o = std::make_shared<CheckOptions>();
    CLI::App* sub = app.add_subcommand("check", "Compare a project with its live database");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    sub->add_flag("--json", o->json, "Write the differences as JSON for scripts");
    sub->footer(
        "Counts new, changed and removed tables, views and columns, changed primary keys,\n"
        "custom views whose query now gives other columns and reports whose source changed,\n"
        "then names each: added, dropped, renamed? (a dropped and an added one that look\n"
        "alike), retyped, changed, key changed, fails. Tables left out of the project on\n"
        "purpose (new --tables, remove) are listed apart, not as differences.\n"
        "\n"
        "Exit codes: 0 in sync, 1 the project differs, 2 any error (unreadable project,\n"
        "unreachable database, wrong password).\n"
        "\n"
        "Example:\n"
        "  tarnwick check shop.xml || tarnwick sync shop.xml\n"
        "  tarnwick check shop.xml --json | jq -r '.differences[] | .name'");
    out.push_back({sub, [o] { return runCheck(*o); }});
  }
  {
    auto o = std::make_shared<SyncOptions>();
    CLI::App* sub = app.add_subcommand("sync", "Bring a project in line with its live database");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    addSyncFlags(*sub, o->flags);
    sub->add_flag("--no-relations", o->noRelations,
                  "Give added tables and fields only the engine's defaults (see tarnwick new --help)");
    sub->add_flag("--add-new", o->addNew,
                  "Also take in the tables and views left out of the project on purpose");
    sub->add_flag("--json", o->json, "Write what was done as JSON for scripts");
    sub->footer(
        "Settings are kept for every table, view and field that still exists. When tables\n"
        "(or fields of a table) are gone and others are new, they may have been renamed: on a\n"
        "terminal tarnwick asks; otherwise --map names them, one pair a line:\n"
        "\n"
        "  # a renamed table or view\n"
        "  customers -> clients\n"
        "  # a renamed field: the table as the database names it, then the field\n"
        "  clients: fname -> first_name\n"
        "\n"
        "Names a map file does not pair are taken as removed and new; a name in it that is\n"
        "neither in the project nor in the database is an error. Changed primary keys\n"
        "are taken from the database unless --keep-keys is given. Tables left out on purpose\n"
        "(new --tables, remove) stay out unless --add-new is given.\n"
        "\n"
        "Examples:\n"
        "  tarnwick sync shop.xml\n"
        "  tarnwick sync shop.xml --map renames.txt --keep-keys");
    out.push_back({sub, [o] { return runSync(*o); }});
  }
}

}  // namespace tw::cli
