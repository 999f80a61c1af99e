#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <unordered_map>

#include "automation/error.h"
#include "cli/cli.h"
#include "cli/live_schema.h"
#include "cli/objects.h"
#include "cli/settings_catalogue.h"
#include "cli/studio.h"
#include "cli/terminal.h"
#include "generate/generator.h"
#include "model/chart.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "platform/archive.h"
#include "schema/loaders.h"
#include "support/engine_context.h"
#include "support/sha256.h"
#include "support/status.h"
#include "sync/sync_answers.h"

namespace fs = std::filesystem;

namespace tw::cli::studio {

namespace {

std::string param(const Params& p, const std::string& name) {
  auto it = p.find(name);
  return it == p.end() ? std::string() : it->second;
}

std::vector<std::string> params(const Params& p, const std::string& name) {
  std::vector<std::string> out;
  auto [from, to] = p.equal_range(name);
  for (auto it = from; it != to; ++it) out.push_back(it->second);
  return out;
}

ObjectPath pathOf(const Params& p) {
  ObjectPath path;
  path.table = param(p, "table");
  path.field = param(p, "field");
  path.chart = param(p, "chart");
  path.database = param(p, "database") == "1";
  return path;
}

Reply ok(const std::string& json) { return {200, json}; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A progress sink that keeps what the engine reports for the page to read.
class StudioProgressSink : public ProgressSink {
 public:
  explicit StudioProgressSink(Progress& p) : p_(p) {}
  int32_t open(int32_t, int, std::string_view caption) override {
    std::lock_guard lock(p_.mutex);
    p_.caption = std::string(caption);
    p_.info.clear();
    p_.position = 0;
    return 1;
  }
  void setInfo(int32_t, std::string_view text) override {
    std::lock_guard lock(p_.mutex);
    p_.info = std::string(text);
  }
  void setProgress(int32_t, int16_t position) override {
    std::lock_guard lock(p_.mutex);
    p_.position = position;
  }
  bool isCancelled(int32_t) override { return p_.cancel.load(); }
  void close(int32_t) override {}

 private:
  Progress& p_;
};

// Records, while the preview is generated, which objects each output file's
// page read settings of; with a set of changed objects, only the pages that
// read one of them (or have no record yet) are made.
class PreviewReads : public SettingsReadRecorder {
 public:
  PreviewReads(AGP& proj, std::map<std::string, std::set<std::string>>& reads, const std::set<std::string>* changed)
      : reads_(reads), changed_(changed) {
    key(proj, "project");
    if (proj.DBCnt() == 0) return;
    key(*proj.db(), "database");
    for (AGPTable* t : proj.db()->tables().inSequence()) {
      key(*t, objectKey("table", t->TblName(), t->TblName()));
      for (AGPField* f : t->Fields().inSequence()) key(*f, objectKey("field", t->TblName(), f->FldName()));
      for (AGPChart* c : t->Charts().inSequence()) key(*c, objectKey("chart", t->TblName(), c->ChartName()));
    }
  }
  bool wanted(std::string_view path) override {
    if (!changed_) return true;
    auto it = reads_.find(std::string(path));
    if (it == reads_.end()) return true;
    for (const std::string& object : *changed_)
      if (it->second.count(object)) return true;
    skipped.emplace_back(path);
    return false;
  }
  void beginFile(std::string_view path) override {
    file_ = std::string(path);
    read_.clear();
  }
  void read(const void* owner) override {
    if (file_.empty()) return;
    auto it = keys_.find(owner);
    if (it != keys_.end()) read_.insert(it->second);
  }
  void endFile() override {
    if (!file_.empty()) reads_[file_] = std::move(read_);
    file_.clear();
    read_.clear();
  }
  std::vector<std::string> skipped;  // output files whose pages were not made

 private:
  void key(const SettingsOwner& owner, std::string k) {
    keys_.emplace(static_cast<const void*>(&owner), std::move(k));
  }
  std::map<std::string, std::set<std::string>>& reads_;
  const std::set<std::string>* changed_;
  std::unordered_map<const void*, std::string> keys_;
  std::string file_;
  std::set<std::string> read_;
};

std::string sectionOfKind(const std::string& kind) {
  if (kind == "project") return "Project";
  if (kind == "database") return "Database";
  if (kind == "table") return "Table";
  if (kind == "field") return "Field";
  return "Chart";
}

}  // namespace

std::string objectKey(const std::string& kind, const std::string& table, const std::string& name) {
  if (kind == "project" || kind == "database") return kind;
  if (kind == "table") return "table:" + toLower(table.empty() ? name : table);
  return kind + ":" + toLower(table) + "/" + toLower(name);
}

Session::Session(std::string projectFile, std::string previewFolder, Progress& progress)
    : file_(std::move(projectFile)), previewFolder_(std::move(previewFolder)), progress_(progress) {
  proj_ = loadProject(file_);
  savedHash_ = fileHash();
  leftOut_ = LeftOut(file_).names();
  char pattern[] = "/tmp/tarnwick-studio-XXXXXX";
  if (!mkdtemp(pattern)) throw CliError("cannot make a scratch folder for the studio");
  scratch_ = pattern;
  engine().status().setSink(std::make_unique<StudioProgressSink>(progress_));
}

Session::~Session() {
  std::error_code ec;
  fs::remove_all(scratch_, ec);
}

std::string Session::fileHash() const {
  Sha256 h;
  h.update(readFile(file_));
  const auto digest = h.finish();
  return Sha256::hex(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

void Session::takeSnapshot(UndoStep& step) {
  step.snapshot = scratch_ + "/undo-" + std::to_string(++snapshots_) + ".xml";
  step.leftOut = leftOut_;
  // Passwords stay in memory: the snapshot file is written with them empty.
  step.secrets.clear();
  for (const SettingInfo& s : settingsCatalogue()) {
    if (s.input != "password") continue;
    SettingsOwner* owner = s.section == "Project" ? static_cast<SettingsOwner*>(proj_.get())
                           : s.section == "Database" && proj_->DBCnt() > 0 ? static_cast<SettingsOwner*>(proj_->db())
                                                                           : nullptr;
    if (!owner) continue;
    Variant value = owner->setting(s.name);
    if (value.toString().empty()) continue;
    step.secrets.emplace_back(s.section + "\n" + s.name, value);
    owner->setSetting(s.name, Variant(""));
  }
  auto putBack = [&](AGP& proj) {
    for (const auto& [key, value] : step.secrets) {
      const std::string section = key.substr(0, key.find('\n')), name = key.substr(key.find('\n') + 1);
      if (section == "Project")
        proj.setSetting(name, value);
      else if (proj.DBCnt() > 0)
        proj.db()->setSetting(name, value);
    }
  };
  try {
    proj_->Save(step.snapshot);
  } catch (...) {
    putBack(*proj_);
    throw;
  }
  putBack(*proj_);
}

void Session::restoreSnapshot(const UndoStep& step) {
  Ref<AGP> back = loadProject(step.snapshot);
  for (const auto& [key, value] : step.secrets) {
    const std::string section = key.substr(0, key.find('\n')), name = key.substr(key.find('\n') + 1);
    if (section == "Project")
      back->setSetting(name, value);
    else if (back->DBCnt() > 0)
      back->db()->setSetting(name, value);
  }
  proj_ = back;
  leftOut_ = step.leftOut;
  std::error_code ec;
  fs::remove(step.snapshot, ec);
}

void Session::snapshot(const std::string& what) {
  UndoStep step;
  step.what = what;
  takeSnapshot(step);
  undo_.push_back(std::move(step));
}

LeftOut Session::unsavedLeftOut() const {
  LeftOut leftOut(file_);
  leftOut.clear();
  for (const std::string& name : leftOut_) leftOut.add(name);
  return leftOut;
}

void Session::changed(const std::string& object) {
  changedSinceSave_ = true;
  previewStale_ = true;
  // The project's and the database's settings reach every page.
  if (object.empty() || object == "project" || object == "database")
    previewAll_ = true;
  else
    changedObjects_.insert(object);
}

// ---------------------------------------------------------------- reading

Reply Session::tree() {
  AGP& proj = *proj_;
  std::string out = "{\"project\": " + jsonString(proj.str("ProjName")) + ", \"file\": " + jsonString(file_) +
                    ", \"dirty\": " + (dirty() ? "true" : "false") +
                    ", \"undo\": " + (undo_.empty() ? std::string("null") : jsonString(undo_.back().what)) +
                    ", \"preview\": " + (hasPreview() ? "true" : "false");
  if (proj.DBCnt() == 0) return ok(out + ", \"database\": null, \"tables\": []}");
  AGPDatabase& db = database(proj);
  out += ", \"database\": {\"name\": " + jsonString(db.DBName()) +
         ", \"type\": " + jsonString(db.str("DBType")) + "}, \"tables\": [";
  bool firstTable = true;
  for (AGPTable* t : db.tables().inSequence()) {
    out += firstTable ? "\n" : ",\n";
    firstTable = false;
    out += "{\"name\": " + jsonString(t->TblName()) + ", \"type\": " + jsonString(t->str("TblType")) +
           ", \"caption\": " + jsonString(t->str("TblCaption")) +
           ", \"gen\": " + (t->flag("TblGen") ? "true" : "false") + ", \"fields\": [";
    bool first = true;
    for (AGPField* f : t->Fields().inSequence()) {
      out += (first ? "" : ", ") + std::string("{\"name\": ") + jsonString(f->FldName()) +
             ", \"caption\": " + jsonString(f->str("FldCaption")) +
             ", \"key\": " + (f->flag("FldIsPrimaryKey") ? "true" : "false") + "}";
      first = false;
    }
    out += "], \"charts\": [";
    first = true;
    for (AGPChart* c : t->Charts().inSequence()) {
      out += (first ? "" : ", ") + std::string("{\"name\": ") + jsonString(c->ChartName()) + "}";
      first = false;
    }
    out += "]}";
  }
  return ok(out + "\n]}");
}

Reply Session::settings(const Params& p) {
  Target target = resolveTarget(*proj_, pathOf(p));
  const std::string section = sectionOfKind(target.kind);
  WordSet words;
  const WordSet* w = nullptr;
  try {
    words = templateWords(resolveTemplatePath(proj_->str("Template")));
    w = &words;
  } catch (const CliError&) {
  }
  AGProperties& store = target.owner->Properties();
  std::string out = "{\"kind\": " + jsonString(target.kind) + ", \"table\": " + jsonString(target.table) +
                    ", \"name\": " + jsonString(target.name) + ", \"groups\": " + jsonList(settingGroups()) +
                    ", \"settings\": [";
  bool first = true;
  for (const SettingInfo& s : settingsCatalogue()) {
    if (s.section != section) continue;
    int32_t i = store.findKey(s.name);
    if (i < 0) continue;
    std::string object = settingJson(s, w);
    object.pop_back();  // the closing brace
    out += (first ? "\n" : ",\n") + object + ", \"value\": " + jsonValue(store.valueAt(i)) + "}";
    first = false;
  }
  return ok(out + "\n]}");
}

// ---------------------------------------------------------------- changes

Reply Session::set(const Params& p) {
  std::vector<std::string> names = params(p, "name"), values = params(p, "value");
  if (names.empty()) throw usageError("nothing to set: give name and value");
  if (names.size() != values.size()) throw usageError("give one value for each name");
  std::vector<std::pair<std::string, std::string>> assignments;
  bool renames = false;
  for (size_t i = 0; i < names.size(); ++i) {
    assignments.emplace_back(names[i], values[i]);
    renames = renames || equalsNoCase(names[i], "TblName") || equalsNoCase(names[i], "FldName") ||
              equalsNoCase(names[i], "ChartName");
  }
  ObjectPath path = pathOf(p);
  Target before = resolveTarget(*proj_, path);
  UndoStep step;
  step.what = "set " + names.front() + (names.size() > 1 ? " and more" : "");
  if (renames) {
    takeSnapshot(step);
  } else {
    step.table = path.table;
    step.field = path.field;
    step.chart = path.chart;
    step.database = path.database;
    AGProperties& store = before.owner->Properties();
    for (const auto& [name, value] : assignments)
      if (int32_t i = store.findKey(name); i >= 0)
        step.old.emplace_back(store.meta(i).name, store.valueAt(i));
  }
  Target target = applySettings(*proj_, path, assignments);
  undo_.push_back(std::move(step));
  changed(renames ? std::string() : objectKey(target.kind, target.table, target.name));
  std::string out =
      "{\"kind\": " + jsonString(target.kind) + ", \"name\": " + jsonString(target.name) + ", \"values\": {";
  AGProperties& store = target.owner->Properties();
  for (size_t i = 0; i < assignments.size(); ++i) {
    int32_t k = store.findKey(assignments[i].first);
    out += (i ? ", " : "") + jsonString(store.meta(k).name) + ": " + jsonValue(store.valueAt(k));
  }
  return ok(out + "}}");
}

Reply Session::reorder(const Params& p) {
  const std::string table = param(p, "table"), field = param(p, "field"), chart = param(p, "chart");
  const std::string positionText = param(p, "position");
  if (positionText.empty() || positionText.size() > 5 ||
      positionText.find_first_not_of("0123456789") != std::string::npos)
    throw usageError("position must be a number, not \"" + positionText + "\"");
  long position = std::stol(positionText);
  if (table.empty()) throw usageError("give the table to move (or whose field or chart moves)");
  snapshot("move " + (field.empty() ? chart.empty() ? table : chart : field));
  try {
    if (!chart.empty()) {
      AGPTable& t = findTable(*proj_, table);
      moveTo(t.Charts(), chart, position, "chart", t.TblName());
    } else if (!field.empty()) {
      AGPTable& t = findTable(*proj_, table);
      moveTo(t.Fields(), field, position, "field", t.TblName());
    } else {
      moveTo(database(*proj_).tables(), table, position, "table or view");
    }
  } catch (...) {
    undo_.pop_back();
    throw;
  }
  changed();
  return tree();
}

Reply Session::addView(const Params& p) {
  const std::string name = param(p, "name"), sql = param(p, "sql");
  if (name.empty()) throw usageError("give the view's name");
  if (sql.empty()) throw usageError("give the view's SELECT statement");
  if (database(*proj_).tables().Item(Variant(name)))
    throw usageError("the project holds " + name + " already");
  snapshot("add view " + name);
  engine().projErr.clear();
  LoadCustomView(*proj_, Variant(name), Variant(sql), Variant(param(p, "copy_fields") == "1"));
  if (!engine().projErr.empty()) {
    std::string message = engineMessage();
    engine().projErr.clear();
    Reply r = undo();
    (void)r;
    throw usageError(name + ": " + message);
  }
  AGPTable& view = findTable(*proj_, name);
  view.setSetting("TblGen", Variant(true));
  changed();
  // The columns and where the statement took each from.
  std::string out = "{\"name\": " + jsonString(name) + ", \"fields\": [";
  bool first = true;
  for (AGPField* f : view.Fields().inSequence()) {
    out += (first ? "" : ", ") + std::string("{\"name\": ") + jsonString(f->FldName()) +
           ", \"source_table\": " + jsonString(f->str("FldSourceTable")) +
           ", \"source_field\": " + jsonString(f->str("FldSourceField")) + "}";
    first = false;
  }
  return ok(out + "]}");
}

Reply Session::addReport(const Params& p) {
  const std::string name = param(p, "name"), from = param(p, "from");
  if (name.empty() || from.empty()) throw usageError("give the report's name and the table it reports on");
  findTable(*proj_, from);
  if (database(*proj_).tables().Item(Variant(name)))
    throw usageError("the project holds " + name + " already");
  snapshot("add report " + name);
  engine().projErr.clear();
  if (!LoadReport(*proj_, Variant(name), Variant(from))) {
    std::string message = engine().projErr.empty() ? "cannot add the report " + name : engineMessage();
    engine().projErr.clear();
    undo();
    throw usageError(message);
  }
  changed();
  return ok("{\"name\": " + jsonString(name) + "}");
}

Reply Session::addChart(const Params& p) {
  const std::string table = param(p, "table"), name = param(p, "name");
  if (table.empty() || name.empty()) throw usageError("give the table and the chart's name");
  AGPTable& t = findTable(*proj_, table);
  if (t.Charts().Item(Variant(name))) throw usageError(table + " has a chart " + name + " already");
  snapshot("add chart " + name);
  engine().projErr.clear();
  if (!LoadChart(*proj_, name, t.TblName())) {
    std::string message = engine().projErr.empty() ? "cannot add the chart " + name : engineMessage();
    engine().projErr.clear();
    undo();
    throw usageError(message);
  }
  AGPChart& chart = findChart(findTable(*proj_, table), name);
  if (chart.setting("ChartPosition").toLong() == 0) chart.setSetting("ChartPosition", Variant::integer(1));
  changed();
  return ok("{\"name\": " + jsonString(name) + "}");
}

Reply Session::remove(const Params& p) {
  const std::string table = param(p, "table"), field = param(p, "field"), chart = param(p, "chart");
  if (table.empty()) throw usageError("give the table to remove (or whose field or chart goes)");
  AGPTable& t = findTable(*proj_, table);
  if (!field.empty() && !chart.empty()) throw usageError("give a field or a chart, not both");
  if (!chart.empty()) findChart(t, chart);
  if (!field.empty()) findField(t, field);
  snapshot("remove " + (field.empty() ? chart.empty() ? table : chart : field));
  if (!chart.empty()) {
    t.Charts().Delete(chart);
  } else if (!field.empty()) {
    t.Fields().Delete(field);
  } else {
    const std::string name = t.TblName(), type = t.str("TblType");
    database(*proj_).tables().Delete(name);
    // A table or view of the database stays out until taken in again
    // (written with the project on save).
    if (type == "TABLE" || type == "VIEW") leftOut_.insert(name);
  }
  changed();
  return tree();
}

Reply Session::undo() {
  if (undo_.empty()) throw usageError("nothing to undo");
  UndoStep step = std::move(undo_.back());
  undo_.pop_back();
  if (!step.snapshot.empty()) {
    restoreSnapshot(step);
  } else {
    ObjectPath path;
    path.table = step.table;
    path.field = step.field;
    path.chart = step.chart;
    path.database = step.database;
    Target target = resolveTarget(*proj_, path);
    for (const auto& [name, value] : step.old) target.owner->setSetting(name, value);
    changed(objectKey(target.kind, target.table, target.name));
    return ok("{\"undone\": " + jsonString(step.what) + ", \"dirty\": " + (dirty() ? "true" : "false") + "}");
  }
  changed();
  return ok("{\"undone\": " + jsonString(step.what) + ", \"dirty\": " + (dirty() ? "true" : "false") + "}");
}

Reply Session::save() {
  // Another command may have changed the file since it was opened here:
  // that work is not overwritten.
  lockProject(file_);
  if (fileHash() != savedHash_) {
    unlockProject();
    return {409, "{\"error\": " +
                     jsonString(file_ + " was changed by another command since the studio opened it; "
                                        "nothing was saved (save it under another name from a fresh studio, "
                                        "or restart the studio to take the other changes)") +
                     "}"};
  }
  // The list of tables left out goes first: should the project fail to be
  // written, the list is put back as it was.
  LeftOut leftOut(file_);
  const std::set<std::string> onDisk = leftOut.names();
  try {
    if (leftOut_ != onDisk) {
      leftOut.clear();
      for (const std::string& name : leftOut_) leftOut.add(name);
      leftOut.save();
    }
    try {
      saveProject(*proj_, file_);
    } catch (...) {
      if (leftOut_ != onDisk) {
        leftOut.clear();
        for (const std::string& name : onDisk) leftOut.add(name);
        leftOut.save();
      }
      throw;
    }
  } catch (...) {
    unlockProject();
    throw;
  }
  savedHash_ = fileHash();
  unlockProject();
  undo_.clear();
  changedSinceSave_ = false;
  return ok("{\"saved\": " + jsonString(file_) + "}");
}

// ---------------------------------------------------------------- database

Reply Session::check() {
  LeftOut leftOut = unsavedLeftOut();
  Ref<AGPSchema> schema = readLiveSchema(*proj_);
  dropLeftOut(*proj_, *schema, leftOut);
  CheckResult result = checkProject(*proj_, *schema, true);
  std::string out = "{\"count\": " + std::to_string(result.count) + ", \"differences\": [";
  for (size_t i = 0; i < result.differences.size(); ++i)
    out += (i ? ",\n" : "\n") + toJson(result.differences[i]);
  return ok(out + "]}");
}

Reply Session::sync(const Params& p) {
  // Renamed tables and fields paired by the user: from (old name), to (new
  // name), in (the table of a field pair; empty for a table pair).
  std::vector<std::string> from = params(p, "from"), to = params(p, "to"), in = params(p, "in");
  if (from.size() != to.size() || (!in.empty() && in.size() != from.size()))
    throw usageError("give each pair as from, to and in");
  auto answers = std::make_unique<SyncAnswers>(makeCliPrompt());
  answers->setUpdateKeys(true);
  answers->setUpdate(true);
  for (size_t i = 0; i < from.size(); ++i) {
    if (in.empty() || in[i].empty())
      answers->pairTable(to[i], from[i]);
    else
      answers->pairField(in[i], to[i], from[i]);
  }
  answers->setPairsComplete(true);
  engine().setPrompts(std::move(answers));
  LeftOut leftOut = unsavedLeftOut();
  Ref<AGPSchema> schema = readLiveSchema(*proj_);
  dropLeftOut(*proj_, *schema, leftOut);
  CheckResult result = checkProject(*proj_, *schema, false);
  if (result.count == 0) return ok("{\"updated\": false}");
  snapshot("synchronise");
  engine().projErr.clear();
  synchronise(*proj_, *schema);
  if (!engine().projErr.empty()) {
    std::string message = engineMessage();
    engine().projErr.clear();
    undo();
    throw CliError(message);
  }
  changed();
  return ok("{\"updated\": true, \"count\": " + std::to_string(result.count) + "}");
}

// ---------------------------------------------------------------- generation

void Session::generate(bool preview) {
  using GP = GenerationPrompt;
  const auto start = std::chrono::steady_clock::now();
  // (the cancel flag was cleared when the run was asked for: a cancel that
  // comes before the run begins stops it)
  {
    std::lock_guard lock(progress_.mutex);
    progress_.running = true;
    progress_.target = preview ? "preview" : "destination";
    progress_.caption = preview ? "Preview" : "Generating";
    progress_.info.clear();
    progress_.position = 0;
  }
  AGP& proj = *proj_;
  const Variant destination = proj.setting("Destination"), templ = proj.setting("Template"),
                prompt = proj.setting("PromptOnOverwrite");
  std::string result;
  std::vector<std::string> pagesKept;  // pages of the preview that read nothing that changed
  const size_t warningsBefore = warningsShown().size();
  try {
    std::string t = templ.toString();
    std::error_code ec;
    if (t.empty()) throw CliError("the project names no template");
    bool folder = fs::is_directory(t, ec);
    if (folder) {
      // A folder is packed as `generate` packs it.
      const fs::path zip = fs::path(scratch_) / "template.zip";
      ArchiveResult made = createArchive(zip.string(), t);
      if (!made.ok) throw CliError(t + ": cannot pack the template folder: " + made.error);
      proj.setSetting("Template", Variant(zip.string()));
      // A template folder changed since the last preview: every page again.
      Sha256 h;
      h.update(readFile(zip.string()));
      const auto digest = h.finish();
      const std::string hash =
          Sha256::hex(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
      if (preview && hash != templateHash_) previewAll_ = true;
      if (preview) templateHash_ = hash;
    } else if (!fs::exists(t, ec)) {
      throw CliError(t + ": template not found");
    }
    if (preview) proj.setSetting("Destination", Variant(previewFolder_));
    if (proj.str("Destination").empty()) throw CliError("the project names no destination folder");
    proj.setSetting("PromptOnOverwrite", Variant(true));
    const bool fresh = folder || !templateExtracted_;
    engine().setPrompts(std::make_unique<GP>(makeCliPrompt(),
                                             fresh ? GP::TemplateAnswer::Overwrite : GP::TemplateAnswer::Keep,
                                             GP::OverwriteAnswer::OverwriteAll));
    OutputOptions& options = generationState().options;
    options = OutputOptions{};
    options.force = preview;
    if (preview) options.backup = false;
    if (!preview)
      options.manifestPath =
          (fs::path(absolutePath(file_)).parent_path() / (fs::path(file_).stem().string() + ".manifest"))
              .string();
    engine().projErr.clear();
    // The preview records what each page reads, and after a change to some
    // objects makes only the pages that read them.
    std::optional<PreviewReads> reads;
    if (preview) {
      if (previewAll_) previewReads_.clear();
      reads.emplace(proj, previewReads_, previewAll_ ? nullptr : &changedObjects_);
      engine().settingsReads = &*reads;
    }
    struct Off {
      ~Off() { engine().settingsReads = nullptr; }
    } off;
    try {
      Generator(proj).GenScript();
    } catch (...) {
      if (preview) previewAll_ = true;
      throw;
    }
    if (!engine().projErr.empty()) {
      if (preview) previewAll_ = true;
      throw CliError(engineMessage());
    }
    if (preview) {
      previewAll_ = false;
      changedObjects_.clear();
      // (the engine's paths have Windows separators)
      const std::string folder = previewFolder_ + "/";
      for (std::string path : reads->skipped) {
        std::replace(path.begin(), path.end(), '\\', '/');
        pagesKept.push_back(path.starts_with(folder) ? path.substr(folder.size()) : path);
      }
    }
    templateExtracted_ = true;
    const OutputReport& report = generationState().report;
    const GenerationSummary& s = lastGenerationSummary();
    std::vector<std::string> written = report.created;
    written.insert(written.end(), report.changed.begin(), report.changed.end());
    std::vector<std::string> skipped = report.skippedEdited;
    skipped.insert(skipped.end(), report.kept.begin(), report.kept.end());
    std::vector<std::string> warnings(warningsShown().begin() + static_cast<long>(warningsBefore),
                                      warningsShown().end());
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    result = "{\"ok\": true, \"target\": " + jsonString(preview ? "preview" : "destination") +
             ", \"destination\": " + jsonString(proj.str("Destination")) +
             ", \"pages_written\": " + std::to_string(s.pagesWritten) +
             ", \"written\": " + jsonList(written) +
             ", \"unchanged\": " + std::to_string(report.unchanged.size()) +
             ", \"not_remade\": " + jsonList(pagesKept) +
             ", \"skipped\": " + jsonList(skipped) + ", \"warnings\": " + jsonList(warnings) +
             ", \"seconds\": " + jsonValue(Variant(took.count())) + "}";
    if (preview) previewStale_ = false;
  } catch (const CliError& e) {
    result = "{\"ok\": false, \"error\": " + jsonString(e.what()) + "}";
  } catch (const Error& e) {
    const bool cancelled = progress_.cancel.load() || e.description() == "Generation cancelled by user!";
    result = "{\"ok\": false, \"cancelled\": " + std::string(cancelled ? "true" : "false") +
             ", \"error\": " + jsonString(cancelled ? "cancelled" : e.description()) + "}";
  } catch (const std::exception& e) {
    result = "{\"ok\": false, \"error\": " + jsonString(e.what()) + "}";
  }
  engine().projErr.clear();
  proj.setSetting("Destination", destination);
  proj.setSetting("Template", templ);
  proj.setSetting("PromptOnOverwrite", prompt);
  std::lock_guard lock(progress_.mutex);
  // A preview run stays "running" until the server over its folder answers.
  progress_.running = preview && result.find("\"ok\": true") != std::string::npos;
  progress_.result = result;
  ++progress_.runs;
}

}  // namespace tw::cli::studio
