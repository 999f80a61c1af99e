// tarnwick generate and tarnwick demo: the generation run.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>

#include "automation/error.h"
#include "automation/text.h"
#include "cli/cli.h"
#include "cli/relations.h"
#include "cli/objects.h"
#include "cli/sync_flags.h"
#include "cli/terminal.h"
#include "generate/generator.h"
#include "script/template_diagnostics.h"
#include "model/database.h"
#include "model/table.h"
#include "platform/archive.h"
#include "schema/loaders.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "support/registry_store.h"
#include "sync/sync.h"

namespace fs = std::filesystem;

namespace tw::cli {

namespace {

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct RunChoices {
  std::string overwrite = "ask";  // ask, all, skip
  bool keepTemplate = false;
  bool extractTemplate = false;
  std::optional<bool> backup;  // for this run only; the user's setting stays as it is
  bool force = false;          // overwrite files changed by hand too
  bool dryRun = false;
  bool diff = false;
  std::string manifest;  // where the run's manifest is kept; empty: none
  std::string project = "PROJECT";  // the project file, as named in messages
  bool json = false;  // the summary as JSON on stdout
  bool strict = false;  // template problems (skipped errors, unknown phrases, ...) fail the run
};

// The template problems of the run just ended, one warning each; their
// number.
size_t reportTemplateProblems() {
  const TemplateDiagnostics& diagnostics = templateDiagnostics();
  for (const TemplateIssue& issue : diagnostics.issues()) warn(diagnostics.describe(issue));
  return diagnostics.issues().size();
}

// The manifest of a project's output: beside the project file, named after
// it (shop.xml: shop.manifest), outside the destination.
std::string manifestPathOf(const std::string& projectFile) {
  fs::path p(absolutePath(projectFile));
  return (p.parent_path() / (p.stem().string() + ".manifest")).string();
}

void printList(const char* title, const std::vector<std::string>& files) {
  if (files.empty()) return;
  std::cout << title << " (" << files.size() << "):\n";
  for (const std::string& f : files) std::cout << "  " << f << '\n';
}

std::string seconds(std::chrono::steady_clock::duration d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f s", std::chrono::duration<double>(d).count());
  return buf;
}

std::string plural(int32_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Runs GenScript (or GenCheck) with the run's answers; the project's own
// settings are changed only in memory.
int generate(AGP& proj, const RunChoices& c, bool check) {
  EngineContext& ctx = engine();
  const std::string templ = proj.str("Template");
  bool folderTemplate = false;
  std::error_code ec;
  if (templ.empty())
    throw CliError("the project names no template: tarnwick set " + c.project + " Template=FILE.zip");
  if (fs::is_directory(templ, ec)) {
    proj.setSetting("Template", Variant(packTemplateFolder(templ)));
    folderTemplate = true;
  } else if (!fs::exists(templ, ec)) {
    throw CliError(templ + ": template not found. Name the template again with: tarnwick set " + c.project +
                   " Template=FILE.zip (or a folder); the shipped default template is "
                   "Template='${TARNWICK_TEMPLATES}/default.zip'");
  }
  if (proj.str("Destination").empty())
    throw CliError("the project names no destination folder: give --dest DIR");
  // The default template writes PHP for PDO's MySQL, PostgreSQL and SQLite
  // drivers; PHP's Oracle drivers are not in Debian, so Oracle pages could
  // never have been run.
  if (proj.db() && toLower(proj.db()->str("DBType")) == "oracle")
    if (const char* shipped = std::getenv("TARNWICK_TEMPLATES"); shipped && *shipped)
      if (fs::equivalent(fs::path(shipped) / "default.zip", templ, ec))
        throw CliError(
            "Oracle applications are not supported yet by the default template (PHP's Oracle drivers are not "
            "available in Debian). The project can still be checked and synchronised; generate it with a "
            "template that supports Oracle");
  useUserExtensions(proj);

  using GP = GenerationPrompt;
  GP::TemplateAnswer templateAnswer = c.keepTemplate                          ? GP::TemplateAnswer::Keep
                                      : (c.extractTemplate || folderTemplate) ? GP::TemplateAnswer::Overwrite
                                                                              : GP::TemplateAnswer::Ask;
  GP::OverwriteAnswer overwriteAnswer = GP::OverwriteAnswer::Ask;
  if (c.overwrite == "all") overwriteAnswer = GP::OverwriteAnswer::OverwriteAll;
  if (c.overwrite == "skip") overwriteAnswer = GP::OverwriteAnswer::SkipAll;
  // An answer given on the command line is used, even for a project that
  // does not ask about existing files.
  if (overwriteAnswer != GP::OverwriteAnswer::Ask) proj.setSetting("PromptOnOverwrite", Variant(true));
  ctx.setPrompts(std::make_unique<GP>(makeCliPrompt(), templateAnswer, overwriteAnswer));
  OutputOptions& options = generationState().options;
  options = OutputOptions{};
  options.backup = c.backup;
  options.force = c.force;
  options.dryRun = c.dryRun;
  options.diff = c.diff;
  options.manifestPath = c.manifest;
  // Messages name the template's files as the user would: below the
  // current folder relative to it.
  {
    std::error_code cwdError;
    const std::string cwd = fs::current_path(cwdError).string();
    options.templateAsGiven = templ;
    if (!cwdError && templ.size() > cwd.size() + 1 && templ.compare(0, cwd.size(), cwd) == 0 && templ[cwd.size()] == '/')
      options.templateAsGiven = templ.substr(cwd.size() + 1);
  }

  const std::string dest = proj.str("Destination");
  const auto start = std::chrono::steady_clock::now();
  CleanCancel cancelBetweenPages;
  if (check) {
    int16_t existing = Generator(proj).GenCheck();
    throwOnEngineError();
    std::cout << existing << '\n';
    if (!globals().quiet) {
      if (existing == 0)
        std::cerr << "No output exists yet in " << dest << '\n';
      else
        std::cerr << "Outputs already exist in " << dest << " (" << existing
                  << " found; counting stops after the first table that has any)\n";
    }
    return kExitOk;
  }
  detail("generating into " + dest);
  Generator(proj).GenScript();
  const size_t problems = reportTemplateProblems();
  throwOnEngineError();
  if (interrupted()) throw CliError("cancelled", kExitCancelled);
  auto failIfStrict = [&] {
    if (c.strict && problems > 0)
      throw CliError(plural(static_cast<int32_t>(problems), "template problem", "template problems") +
                     " (see the warnings above); --strict fails the run on any");
  };
  const OutputReport& report = generationState().report;
  if (c.dryRun) {
    // What a run would do, on stdout; nothing was written.
    printList("Would create", report.created);
    printList("Would change", report.changed);
    printList("Unchanged", report.unchanged.size() > 20 && !globals().verbose ? std::vector<std::string>{}
                                                                                : report.unchanged);
    if (report.unchanged.size() > 20 && !globals().verbose)
      std::cout << "Unchanged (" << report.unchanged.size() << "; -v lists them)\n";
    printList("Would skip, changed by hand (--force overwrites)", report.skippedEdited);
    printList("Would keep (not to be overwritten)", report.kept);
    std::cout << report.diff;
    info("Dry run: nothing was written into " + dest);
    failIfStrict();
    return kExitOk;
  }
  if (c.diff) std::cout << report.diff;
  if (!report.skippedEdited.empty()) {
    const bool one = report.skippedEdited.size() == 1;
    warn(plural(static_cast<int32_t>(report.skippedEdited.size()), "file", "files") +
         (one ? " changed by hand since it was generated was kept as it is"
              : " changed by hand since they were generated were kept as they are") +
         " (see the changes with --diff, overwrite with --force):");
    for (const std::string& f : report.skippedEdited) std::cerr << "  " << f << '\n';
  }
  const GenerationSummary& s = lastGenerationSummary();
  if (c.json) {
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << "{\n  \"destination\": " << jsonString(dest) << ",\n  \"pages_written\": " << s.pagesWritten
              << ",\n  \"pages_skipped\": " << s.pagesSkipped << ",\n  \"files_copied\": " << s.filesCopied
              << ",\n  \"folders_copied\": " << s.foldersCopied << ",\n  \"backups\": " << s.backups
              << ",\n  \"warnings\": " << jsonList(warningsShown())
              << ",\n  \"template_problems\": " << problems
              << ",\n  \"seconds\": " << jsonValue(Variant(took.count())) << "\n}\n";
    failIfStrict();
    return kExitOk;
  }
  std::string text = "Generated " + plural(s.pagesWritten, "page", "pages") + " into " + dest;
  std::vector<std::string> more;
  if (!report.unchanged.empty())
    more.push_back(std::to_string(report.unchanged.size()) + " unchanged");
  if (s.pagesSkipped)
    more.push_back(plural(s.pagesSkipped, "existing page skipped", "existing pages skipped"));
  if (s.filesCopied) more.push_back(plural(s.filesCopied, "file copied", "files copied"));
  if (s.foldersCopied) more.push_back(plural(s.foldersCopied, "folder copied", "folders copied"));
  if (s.backups) more.push_back(plural(s.backups, "backup", "backups"));
  if (!more.empty()) {
    text += " (";
    for (size_t i = 0; i < more.size(); ++i) text += (i ? ", " : "") + more[i];
    text += ")";
  }
  info(text + " in " + seconds(std::chrono::steady_clock::now() - start));
  if (problems > 0 && !c.strict)
    info(plural(static_cast<int32_t>(problems), "template problem", "template problems") +
         " reported above (generate --strict fails the run on them)");
  failIfStrict();
  return kExitOk;
}

// ---------------------------------------------------------------- generate

struct GenerateOptions {
  std::string project;
  std::string dest;
  RunChoices choices;
  bool backup = false;
  bool noBackup = false;
  bool check = false;
  std::string sync = "ask";
  SyncFlags syncFlags;
};

// What Load does for a project with AutoSync set, with the answer to the
// keep/update question given by --sync. True when the project was updated.
bool syncBeforeRun(AGP& proj, const GenerateOptions& o) {
  if (o.sync == "off" || !proj.flag("AutoSync")) return false;
  std::optional<bool> update;
  if (o.sync == "update") update = true;
  if (o.sync == "keep") update = false;
  installSyncAnswers(o.syncFlags, update);
  checkMapBeforeSync(proj);
  int16_t differences = CheckDB(proj);
  if (differences < 0) {
    warn("cannot compare the project with its database: " + engineMessage());
    engine().projErr.clear();
    return false;
  }
  if (differences == 0) return false;
  PromptRequest request;
  request.id = std::string(kSyncPromptId);
  request.title = engine().productName;
  request.text = "The database has changed since the project was saved (" +
                 plural(differences, "difference", "differences") + "). Update the project or keep it?";
  request.buttons = {"Update", "Keep"};
  request.defaultButton = 1;
  if (engine().prompts().ask(request).button != 0) {
    info("Keeping the project as it is although the database changed");
    return false;
  }
  SynchronizeDB(proj);
  throwOnEngineError();
  checkMapAfterSync(proj);
  return true;
}

int runGenerate(GenerateOptions o) {
  // Counting runs no page, so it could never find what --strict fails on.
  if (o.check && o.choices.strict)
    throw usageError(
        "--strict does not go with --check: --check only counts the outputs that exist and runs no page, so "
        "it finds no template problems; find them with: tarnwick template check TEMPLATE " + o.project);
  if (o.backup) o.choices.backup = true;
  if (o.noBackup) o.choices.backup = false;
  if (o.choices.json) globals().quiet = true;  // stdout holds the JSON alone
  startEngine();
  requireFlagFor("overwrite", "--overwrite all or --overwrite skip");
  requireFlagFor("template", "--keep-template or --extract-template");
  requireFlagFor(kSyncPromptId, "--sync update, --sync keep or --sync off");
  // The project may be updated from its database: locked until then.
  Ref<AGP> proj = loadProject(o.project, o.sync != "off" && o.sync != "keep");
  if (syncBeforeRun(*proj, o)) {
    saveProject(*proj, o.project);
    info("Updated " + o.project + " from the database");
  }
  unlockProject();
  if (!o.dest.empty()) proj->setSetting("Destination", Variant(absolutePath(o.dest)));
  o.choices.manifest = manifestPathOf(o.project);
  o.choices.project = o.project;
  if (o.choices.diff) o.choices.dryRun = true;
  return generate(*proj, o.choices, o.check);
}

// ---------------------------------------------------------------- demo

struct DemoOptions {
  std::string dir = "demo-app";
};

// Builds the sample SQLite database from its script (into a new file that
// replaces the old one only when the script ran whole).
void buildSampleDatabase(const fs::path& script, const fs::path& target) {
  std::string sql = readAll(script);
  if (sql.empty()) throw CliError(script.string() + ": cannot read the sample database script");
  fs::path fresh = target.string() + ".new";
  std::error_code ec;
  fs::remove(fresh, ec);
  sqlite3* db = nullptr;
  if (sqlite3_open(fresh.c_str(), &db) != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw CliError(fresh.string() + ": " + message);
  }
  char* error = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) {
    fs::remove(fresh, ec);
    throw CliError(script.string() + ": " + message);
  }
  fs::rename(fresh, target, ec);
  if (ec) throw CliError(target.string() + ": " + ec.message());
}

int runDemo(const DemoOptions& o) {
  // The default template as shipped (an archive), else its source folder.
  std::string templ = dataFolder("templates/default.zip", false);
  if (templ.empty()) {
    std::string folder = dataFolder("templates/default");
    if (folder.empty() || !fs::exists(fs::path(folder) / "control.xml"))
      throw CliError("the default template is not there yet" +
                     (folder.empty() ? std::string(" (no templates/default found)")
                                     : " (" + folder + " has no control.xml)") +
                     "; the demo needs it");
    templ = folder;
  }
  const std::string script = dataFolder("samples/sample-sqlite.sql");
  if (script.empty()) throw CliError("the sample database script samples/sample-sqlite.sql was not found");

  startEngine();
  Ref<AGP> proj = makeRef<AGP>();
  const fs::path work = fs::path(engine().documentsFolder) / "Tarnwick" / "Demo";
  std::error_code ec;
  fs::create_directories(work, ec);
  if (ec) throw CliError(work.string() + ": " + ec.message());
  const fs::path database = work / "sample.sqlite";
  if (!fs::exists(database, ec) || fs::last_write_time(database, ec) < fs::last_write_time(script, ec)) {
    detail("building " + database.string() + " from " + script);
    buildSampleDatabase(script, database);
  }
  const std::string dest = absolutePath(o.dir);
  fs::create_directories(dest, ec);
  if (ec) throw CliError(dest + ": " + ec.message());

  proj->AddProj("Tarnwick Demo");
  proj->setSetting("Template", Variant(templ));
  proj->setSetting("Destination", Variant(dest));
  LoadDB(*proj, Variant(database.string()), Variant("sqlite"), Variant(""), Variant(""), Variant(""),
         Variant(""), Variant(""), Variant("native"), Variant(""), Variant("utf-8"));
  throwOnEngineError(database.string());
  // What the schema declares, as `new` makes it, then the sample's own settings.
  applyRelations(*proj, RelationScope{});
  markLoadedForGeneration(*proj);
  // The sample application's settings, views, reports and charts.
  std::string description = dataFolder("samples/sample-project.txt");
  if (description.empty() && !std::getenv("TARNWICK_DATA_DIR"))
    description = dataFolder("tests/e2e/sample-project.txt");
  if (!description.empty()) {
    detail("applying " + description);
    applyDescription(*proj, description);
  }
  const std::string projectFile = (work / "demo.xml").string();
  saveProject(*proj, projectFile);
  detail("project " + projectFile);

  RunChoices c;
  c.overwrite = "all";
  c.extractTemplate = true;
  c.backup = false;
  // The demo's folder is its own: every page is replaced, hand edits too.
  c.force = true;
  c.manifest = manifestPathOf(projectFile);
  generate(*proj, c, false);
  info("The project is " + projectFile + ", the database " + database.string() + ".");
  const bool login = proj->str("SecType") != "None" && !proj->str("SecType").empty();
  info("Serve the application (its public/ folder only) with:\n  cd " + dest +
       " && php -S 127.0.0.1:8000 -t public router.php\nand open http://127.0.0.1:8000/" +
       (login ? " (log in as ceo / tarnwick-demo)." : "."));
  return kExitOk;
}

}  // namespace

void addGenerateCommands(CLI::App& app, Commands& out) {
  {
    auto o = std::make_shared<GenerateOptions>();
    CLI::App* sub = app.add_subcommand("generate", "Generate the PHP application of a project");
    sub->add_option("PROJECT", o->project, "Project file")->required();
    sub->add_option("--dest", o->dest, "Generate into this folder instead of the project's Destination");
    sub->add_option("--overwrite", o->choices.overwrite, "Existing files: ask, all (overwrite) or skip")
        ->check(CLI::IsMember({"ask", "all", "skip"}))
        ->capture_default_str();
    auto* backup = sub->add_flag("--backup", o->backup, "Keep a .bak copy of every file overwritten (this run)");
    sub->add_flag("--no-backup", o->noBackup, "Overwrite without .bak copies (this run)")->excludes(backup);
    sub->add_flag("--force", o->choices.force, "Overwrite files changed by hand since they were generated");
    auto* dry = sub->add_flag("--dry-run", o->choices.dryRun,
                              "Write nothing; list what would be created, changed, unchanged or skipped");
    sub->add_flag("--diff", o->choices.diff, "Like --dry-run, and print a unified diff of every change");
    auto* keep = sub->add_flag("--keep-template", o->choices.keepTemplate,
                               "When the template archive changed, use the files extracted before");
    sub->add_flag("--extract-template", o->choices.extractTemplate,
                  "When the template archive changed, extract it again")
        ->excludes(keep);
    sub->add_flag("--check", o->check, "Only count the outputs that already exist (printed on stdout)")
        ->excludes(dry);
    sub->add_flag("--json", o->choices.json,
                  "Write the summary as JSON for scripts: pages written and skipped, files and\n"
                  "folders copied, backups, warnings, seconds");
    sub->add_flag("--strict", o->choices.strict,
                  "Fail (exit 1) when the template had problems: errors its scripts skipped, unknown\n"
                  "phrases, missing sessions, empty pages (they are reported either way); not with --check,\n"
                  "which runs no page");
    sub->add_option("--sync", o->sync,
                    "A project with AutoSync is compared with its database first; when it differs:\n"
                    "ask, update (the project file too), keep, or off (do not compare)")
        ->check(CLI::IsMember({"ask", "update", "keep", "off"}))
        ->capture_default_str();
    addSyncFlags(*sub, o->syncFlags);
    sub->footer(
        "On a terminal a progress bar shows the run, and questions (existing files, a changed\n"
        "template archive, a changed database) are asked there; Ctrl-C cancels cleanly.\n"
        "Without a terminal the flags decide, and a question no flag answers ends the run with\n"
        "a message naming the flag. The template may be a .zip archive or a folder.\n"
        "\n"
        "Each run records what it wrote (sizes and SHA-256 hashes) in PROJECT's manifest\n"
        "(shop.xml: shop.manifest). A file changed by hand since then, or one the manifest does\n"
        "not know, is never overwritten without asking, not even with --overwrite all: on a\n"
        "terminal you choose Overwrite, Skip, Diff or Cancel; without one it is kept and listed.\n"
        "--force overwrites it. Files of yours that the template does not write are never touched.\n"
        "\n"
        "Examples:\n"
        "  tarnwick generate shop.xml\n"
        "  tarnwick generate shop.xml --dest /var/www/shop --overwrite all --no-backup\n"
        "  tarnwick generate shop.xml --check\n"
        "  tarnwick generate shop.xml --diff\n"
        "  tarnwick generate shop.xml --overwrite all --json | jq .pages_written\n"
        "  tarnwick generate shop.xml --sync update --map renames.txt");
    out.push_back({sub, [o] { return runGenerate(*o); }});
  }
  {
    auto o = std::make_shared<DemoOptions>();
    CLI::App* sub =
        app.add_subcommand("demo", "Generate the sample application from the bundled sample database");
    sub->add_option("DIR", o->dir, "Folder the application is generated into")->capture_default_str();
    sub->footer(
        "Builds the sample SQLite database (a small trading company) into the work folder,\n"
        "makes a project of every table and view with the default template, generates it\n"
        "into DIR (existing pages there are replaced) and prints how to serve it.\n"
        "\n"
        "Example:\n"
        "  tarnwick demo && cd demo-app && php -S 127.0.0.1:8000 -t public router.php");
    out.push_back({sub, [o] { return runDemo(*o); }});
  }
}

}  // namespace tw::cli
