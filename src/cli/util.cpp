// Output, engine start-up, loading and saving projects and finding objects
// in them: what every sub-command of `tarnwick` shares.
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "automation/error.h"
#include "automation/text.h"
#include "cli/cli.h"
#include "cli/terminal.h"
#include "core/project_file.h"
#include "generate/generator.h"
#include "model/chart.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "platform/archive.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "schema/loaders.h"
#include "support/engine_context.h"
#include "support/sha256.h"
#include "support/status.h"
#include "sync/sync.h"
#include "tarnwick/version.h"

namespace fs = std::filesystem;

namespace tw::cli {

Globals& globals() {
  static Globals g;
  return g;
}

// ---------------------------------------------------------------- output

void info(std::string_view text) {
  if (globals().quiet) return;
  std::cout << text << '\n';
}

void detail(std::string_view text) {
  if (!globals().verbose) return;
  std::cerr << text << '\n';
}

namespace {

std::vector<std::string>& shownWarnings() {
  static std::vector<std::string> list;
  return list;
}

}  // namespace

const std::vector<std::string>& warningsShown() { return shownWarnings(); }

std::string jsonList(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (size_t i = 0; i < texts.size(); ++i) out += (i ? ", " : "") + jsonString(texts[i]);
  return out + "]";
}

void warn(std::string_view text) {
  shownWarnings().push_back(displayPaths(text));
  std::cerr << "tarnwick: " << yellow("warning:", false) << ' ' << displayPaths(text) << '\n';
}

namespace {

bool pathStart(char c) { return c == '/' || c == '~' || c == '.'; }
bool wordBreak(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '"' || c == '\'' || c == '(' || c == '`';
}

}  // namespace

std::string displayPaths(std::string_view text) {
  std::string out(text);
  size_t i = 0;
  while (i < out.size()) {
    if (wordBreak(out[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < out.size() && !wordBreak(out[end])) ++end;
    // A word that is a path of this system, with pieces joined by
    // backslashes the way the engine builds them.
    std::string_view word(out.data() + i, end - i);
    if (pathStart(word.front()) && word.find('/') != std::string_view::npos)
      for (size_t k = i; k < end; ++k)
        if (out[k] == '\\') out[k] = '/';
    i = end;
  }
  return out;
}

namespace {

std::string paint(std::string_view code, std::string_view text, bool on) {
  if (!on) return std::string(text);
  return "\033[" + std::string(code) + "m" + std::string(text) + "\033[0m";
}

bool colourFor(bool forStdout) { return forStdout ? globals().colorOut : globals().colorErr; }

}  // namespace

std::string bold(std::string_view text, bool forStdout) { return paint("1", text, colourFor(forStdout)); }
std::string red(std::string_view text, bool forStdout) { return paint("1;31", text, colourFor(forStdout)); }
std::string green(std::string_view text, bool forStdout) { return paint("32", text, colourFor(forStdout)); }
std::string yellow(std::string_view text, bool forStdout) { return paint("33", text, colourFor(forStdout)); }

std::string displayValue(const Variant& value) {
  std::string text;
  switch (value.type()) {
    case vtEmpty:
      return {};
    case vtNull:
      return "Null";
    default:
      try {
        text = value.toString();
      } catch (const Error&) {
        return "(no text)";
      }
  }
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

std::string jsonValue(const Variant& value) {
  switch (value.type()) {
    case vtEmpty:
    case vtNull:
      return "null";
    case vtBoolean:
      return value.toBool() ? "true" : "false";
    case vtInteger:
    case vtLong:
    case vtByte:
      return std::to_string(value.toLong());
    case vtSingle:
    case vtDouble: {
      // The shortest text that reads back as the same number.
      const double d = value.toDouble();
      if (!std::isfinite(d)) return "null";
      char buf[40];
      for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, d);
        if (std::strtod(buf, nullptr) == d) break;
      }
      return buf;
    }
    default:
      try {
        return jsonString(value.toString());
      } catch (const Error&) {
        return "null";
      }
  }
}

// ---------------------------------------------------------------- engine

void startEngine() {
  installSchemaMembers();
  installSyncMembers();
  installGenerateMembers();
  EngineContext& ctx = engine();
  ctx.setPrompts(makeCliPrompt());
  ctx.status().setSink(makeCliProgressSink());
  // Extension archives and the shipped templates beside the program (an
  // installation or a build tree), unless told otherwise. The machine
  // defaults name the default template through TARNWICK_TEMPLATES.
  if (!std::getenv("TARNWICK_EXTENSIONS")) {
    std::string ext = dataFolder("extensions", false);
    if (!ext.empty()) setenv("TARNWICK_EXTENSIONS", ext.c_str(), 1);
  }
  if (!std::getenv("TARNWICK_MACHINE_REGISTRY")) {
    // An installation moved to another prefix still finds its own defaults.
    std::string machine = dataFolder("machine-registry.txt", false);
    if (!machine.empty()) setenv("TARNWICK_MACHINE_REGISTRY", machine.c_str(), 1);
  }
  if (!std::getenv("TARNWICK_TEMPLATES")) {
    std::string templates = dataFolder("templates", false);
    if (!templates.empty()) setenv("TARNWICK_TEMPLATES", templates.c_str(), 1);
  }
}

std::string engineMessage() {
  std::string text = engine().projErr;
  const std::string prefix = engine().productName + ": ";
  if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
  return text;
}

void throwOnEngineError(std::string_view context) {
  if (engine().projErr.empty()) return;
  std::string message = engineMessage();
  if (!context.empty()) message = std::string(context) + ": " + message;
  throw CliError(message);
}

// ---------------------------------------------------------------- projects

namespace {

// The project whose empty DBPwd was filled from TARNWICK_DB_PASSWORD for
// this run; the password is not written into its file.
const AGP* gPasswordFromEnvironment = nullptr;

}  // namespace

namespace {

// Paths that a project file keeps in a portable form: relative to the
// project file's folder where they lie below it, and the shipped templates
// by the name of their folder, so that a project can be moved, committed
// and used on another machine. In memory they are absolute.
constexpr std::string_view kTemplatesVariable = "${TARNWICK_TEMPLATES}";

struct PathSetting {
  bool database;  // a setting of the database, else of the project
  const char* name;
};
constexpr PathSetting kPathSettings[] = {{false, "Destination"}, {false, "Template"}, {false, "AppRootFolder"},
                                         {true, "DBName"}};

bool appliesTo(AGP& proj, const PathSetting& p) {
  if (!p.database) return true;
  return proj.DBCnt() > 0 && toLower(proj.db()->str("DBType")) == "sqlite";
}

std::string portableForm(const std::string& value, const fs::path& folder) {
  if (value.empty()) return value;
  const fs::path path = fs::path(value).lexically_normal();
  if (!path.is_absolute()) return value;
  if (const char* templates = std::getenv("TARNWICK_TEMPLATES"); templates && *templates) {
    const fs::path rel = path.lexically_relative(fs::path(templates).lexically_normal());
    if (!rel.empty() && *rel.begin() != ".." && rel != ".") return std::string(kTemplatesVariable) + "/" + rel.string();
  }
  const fs::path rel = path.lexically_relative(folder.lexically_normal());
  if (!rel.empty() && *rel.begin() != ".." && rel != ".") return rel.string();
  return value;
}

std::string absoluteForm(const std::string& value, const fs::path& folder) {
  if (value.empty()) return value;
  if (value.rfind(kTemplatesVariable, 0) == 0) {
    const char* templates = std::getenv("TARNWICK_TEMPLATES");
    if (!templates || !*templates) return value;
    return (fs::path(templates) / value.substr(kTemplatesVariable.size() + 1)).lexically_normal().string();
  }
  const fs::path path(value);
  if (path.is_absolute()) return value;
  return (folder / path).lexically_normal().string();
}

Variant settingOf(AGP& proj, const PathSetting& p) {
  return p.database ? proj.db()->setting(p.name) : proj.setting(p.name);
}

void setSettingOf(AGP& proj, const PathSetting& p, const Variant& v) {
  if (p.database)
    proj.db()->setSetting(p.name, v);
  else
    proj.setSetting(p.name, v);
}

// What a file that is no project is, with what to do instead; empty for a
// file that may be one.
std::string notAProject(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    if (fs::exists(fs::path(path) / "control.xml", ec))
      return "is a template folder, not a project file; a project names it with --template " + path +
             " (tarnwick new PROJECT.xml --db URL --template " + path + ")";
    return "is a folder, not a project file";
  }
  std::ifstream in(path, std::ios::binary);
  char head[16] = {};
  in.read(head, sizeof head);
  const std::string_view start(head, static_cast<size_t>(in.gcount()));
  if (start == std::string_view("SQLite format 3\0", 16))
    return "this is an SQLite database; create a project with tarnwick new PROJECT.xml --db sqlite:" + path;
  if (start.substr(0, 4) == std::string_view("PK\3\4", 4))
    return "this is an archive (a template?), not a project file; a project names a template with "
           "--template " +
           path + " (tarnwick new PROJECT.xml --db URL --template " + path + ")";
  return {};
}

std::unique_ptr<FileLock> gProjectLock;
std::string gLockedProject;

double lockWaitSeconds() {
  const char* text = std::getenv("TARNWICK_LOCK_WAIT");
  if (!text || !*text) return 10;
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  return end && *end == 0 && seconds >= 0 ? seconds : 10;
}

std::string clockTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[16];
  std::strftime(buf, sizeof buf, "%H:%M:%S", &local);
  return buf;
}

}  // namespace

void lockProject(const std::string& path) {
  const std::string key = absolutePath(path);
  if (gProjectLock && gLockedProject == key) return;
  unlockProject();
  auto lock = std::make_unique<FileLock>(key + ".lock");
  if (lock->error()) {
    detail(path + ": not locked (" + std::strerror(lock->error()) + ")");
    return;
  }
  const std::string me = "tarnwick " + (globals().command.empty() ? "" : globals().command + " ") +
                         "(process " + std::to_string(::getpid()) + ", since " + clockTime() + ")";
  const double wait = lockWaitSeconds();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(wait);
  bool told = false;
  while (!lock->tryLock(me)) {
    if (interrupted()) throw CliError("cancelled while waiting for " + path, kExitCancelled);
    if (std::chrono::steady_clock::now() >= deadline) {
      std::string holder = lock->holder();
      throw CliError(path + " is being changed by " + (holder.empty() ? "another program" : holder) +
                     "; gave up after waiting " + std::to_string(static_cast<int>(wait + 0.5)) +
                     " s (TARNWICK_LOCK_WAIT sets how long), nothing was changed");
    }
    if (!told) {
      detail(path + " is being changed by " + lock->holder() + "; waiting");
      told = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  gProjectLock = std::move(lock);
  gLockedProject = key;
}

void unlockProject() {
  gProjectLock.reset();
  gLockedProject.clear();
}

Ref<AGP> loadProject(const std::string& path, bool forChange) {
  std::error_code ec;
  if (!fs::exists(path, ec)) throw CliError(path + ": no such project file");
  if (std::string kind = notAProject(path); !kind.empty()) throw CliError(path + ": " + kind);
  if (forChange) lockProject(path);
  // Load compares a project that has AutoSync set with its database; the
  // commands that want that do it themselves.
  LoadSyncCheck installed = loadSyncCheck();
  setLoadSyncCheck(nullptr);
  Ref<AGP> proj = makeRef<AGP>();
  try {
    proj->Load(path);
  } catch (...) {
    setLoadSyncCheck(installed);
    throw;
  }
  setLoadSyncCheck(installed);
  throwOnEngineError(path);
  const fs::path folder = fs::path(absolutePath(path)).parent_path();
  for (const PathSetting& p : kPathSettings)
    if (appliesTo(*proj, p)) setSettingOf(*proj, p, Variant(absoluteForm(settingOf(*proj, p).toString(), folder)));
  detail("loaded " + path);
  const char* password = std::getenv("TARNWICK_DB_PASSWORD");
  if (password && proj->DBCnt() > 0 && proj->db()->str("DBPwd").empty()) {
    proj->db()->setSetting("DBPwd", Variant(password));
    gPasswordFromEnvironment = proj.get();
  }
  return proj;
}

std::string loginPasswordHash(const std::string& password) {
  // Rounds: a few tens of milliseconds for each login's password_verify().
  constexpr uint32_t kRounds = 100000;
  for (std::string_view prefix : {"$2y$", "$2a$", "$2b$", "$argon2", "$5$", "$6$"})
    if (password.rfind(prefix, 0) == 0) return password;
  return sha256Crypt(password, randomCryptSalt(16), kRounds);
}

bool loginPasswordMatches(const std::string& password, const std::string& hash) {
  // "$5$rounds=N$SALT$..." as loginPasswordHash writes it.
  const std::string prefix = "$5$rounds=";
  if (hash.rfind(prefix, 0) != 0) return false;
  const size_t roundsEnd = hash.find('$', prefix.size());
  const size_t saltEnd = roundsEnd == std::string::npos ? roundsEnd : hash.find('$', roundsEnd + 1);
  if (saltEnd == std::string::npos) return false;
  const std::string rounds = hash.substr(prefix.size(), roundsEnd - prefix.size());
  if (rounds.empty() || rounds.size() > 9 || rounds.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const std::string salt = hash.substr(roundsEnd + 1, saltEnd - roundsEnd - 1);
  return sha256Crypt(password, salt, static_cast<uint32_t>(std::stoul(rounds))) == hash;
}

void saveProject(AGP& proj, const std::string& path) {
  if (interrupted()) throw CliError("cancelled; " + path + " was not changed", kExitCancelled);
  if (const std::string plain = proj.str("SecPasswd"); !plain.empty())
    proj.setSetting("SecPasswd", Variant(loginPasswordHash(plain)));
  Variant password;
  // A password set during the run (tarnwick set --database DBPwd=...) is kept.
  const char* fromEnvironment = std::getenv("TARNWICK_DB_PASSWORD");
  const bool hide = gPasswordFromEnvironment == &proj && fromEnvironment && proj.DBCnt() > 0 &&
                    proj.db()->str("DBPwd") == fromEnvironment;
  if (hide) {
    password = proj.db()->setting("DBPwd");
    proj.db()->setSetting("DBPwd", Variant(""));
  }
  lockProject(path);
  // Written in their portable form, kept absolute in memory.
  const fs::path folder = fs::path(absolutePath(path)).parent_path();
  std::vector<std::pair<const PathSetting*, Variant>> absolute;
  for (const PathSetting& p : kPathSettings) {
    if (!appliesTo(proj, p)) continue;
    absolute.emplace_back(&p, settingOf(proj, p));
    setSettingOf(proj, p, Variant(portableForm(absolute.back().second.toString(), folder)));
  }
  auto restore = [&] {
    if (hide) proj.db()->setSetting("DBPwd", password);
    for (auto& [p, v] : absolute) setSettingOf(proj, *p, v);
  };
  try {
    proj.Save(path);
  } catch (const Error& e) {
    restore();
    throw CliError(path + ": cannot write the project file: " + e.description());
  }
  restore();
  detail("saved " + path);
  if (int stale = removeStaleTemporaries(path))
    detail("removed " + std::to_string(stale) + " temporary copies of " + path + " that interrupted runs left");
}

void markLoadedForGeneration(AGP& proj) {
  // What was loaded is what the user wants pages for.
  for (AGPTable* t : database(proj).tables().inSequence())
    if (t->flag("TblLoaded")) t->setSetting("TblGen", Variant(true));
}

AGPDatabase& database(AGP& proj) {
  if (proj.DBCnt() == 0) throw CliError("the project has no database");
  return *proj.db();
}

namespace {

template <class Collection>
std::vector<std::string> namesOf(Collection& items) {
  std::vector<std::string> names;
  for (auto* e : items.inSequence()) names.push_back(e->Key());
  return names;
}

}  // namespace

AGPTable& findTable(AGP& proj, const std::string& name) {
  AGPTables& tables = database(proj).tables();
  if (AGPTable* t = tables.Item(Variant(name))) return *t;
  throw usageError("no table or view \"" + name + "\" in the project" + suggestion(name, namesOf(tables)));
}

AGPField& findField(AGPTable& table, const std::string& name) {
  if (AGPField* f = table.Fields().Item(Variant(name))) return *f;
  throw usageError("no field \"" + name + "\" in " + table.TblName() +
                   suggestion(name, namesOf(table.Fields())));
}

AGPChart& findChart(AGPTable& table, const std::string& name) {
  if (AGPChart* c = table.Charts().Item(Variant(name))) return *c;
  throw usageError("no chart \"" + name + "\" in " + table.TblName() +
                   suggestion(name, namesOf(table.Charts())));
}

// ---------------------------------------------------------------- close matches

namespace {

// Edit distance over code points, letter case ignored.
size_t distance(std::string_view a, std::string_view b) {
  std::u32string x, y;
  std::string la = toLower(a), lb = toLower(b);
  for (size_t i = 0; i < la.size();) x.push_back(decodeUtf8(la, i));
  for (size_t i = 0; i < lb.size();) y.push_back(decodeUtf8(lb, i));
  std::vector<size_t> row(y.size() + 1);
  for (size_t j = 0; j <= y.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= y.size(); ++j) {
      size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[y.size()];
}

}  // namespace

std::vector<std::string> closeMatches(std::string_view name, const std::vector<std::string>& candidates,
                                      size_t limit) {
  const size_t length = codePointCount(name);
  const size_t allowed = std::max<size_t>(2, length / 3);
  const std::string lowered = toLower(name);
  std::vector<std::pair<size_t, std::string>> scored;
  for (const std::string& c : candidates) {
    size_t d = distance(name, c);
    // A name that holds what was typed counts as close, after the typos.
    if (d > allowed && length >= 3 && toLower(c).find(lowered) != std::string::npos)
      d = allowed + 1;
    else if (d > allowed)
      continue;
    scored.emplace_back(d, c);
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (const auto& [d, c] : scored) {
    if (out.size() == limit) break;
    out.push_back(c);
  }
  return out;
}

std::string suggestion(std::string_view name, const std::vector<std::string>& candidates) {
  std::vector<std::string> close = closeMatches(name, candidates);
  if (close.empty()) return {};
  std::string text = "; did you mean ";
  for (size_t i = 0; i < close.size(); ++i) {
    if (i > 0) text += i + 1 == close.size() ? " or " : ", ";
    text += close[i];
  }
  return text + "?";
}

// ---------------------------------------------------------------- files

std::string absolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) return path;
  return p.lexically_normal().string();
}

std::string readHidden(const std::string& promptText) {
  // Echo goes off before the prompt shows, and typed input is never flushed:
  // whoever answers as soon as the prompt appears is neither echoed nor lost.
  termios old{};
  bool restore = tcgetattr(STDIN_FILENO, &old) == 0;
  if (restore) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::fputs(promptText.c_str(), stderr);
  std::fflush(stderr);
  std::string line;
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') line += static_cast<char>(c);
  if (restore) tcsetattr(STDIN_FILENO, TCSANOW, &old);
  std::fputc('\n', stderr);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

namespace {

std::string programFolder() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

}  // namespace

std::string dataFolder(std::string_view what, bool sourceTree) {
  std::vector<fs::path> places;
  if (const char* own = std::getenv("TARNWICK_DATA_DIR"); own && *own) {
    // An explicit data folder is the only place looked at.
    places.push_back(fs::path(own) / what);
  } else {
    std::string self = programFolder();
    if (!self.empty()) places.push_back(fs::path(self) / ".." / "share" / "tarnwick" / what);
    places.push_back(fs::path(TARNWICK_INSTALL_PREFIX) / "share" / "tarnwick" / what);
    if (sourceTree) {
      const char* source = std::getenv("TARNWICK_SOURCE_DIR");
      places.push_back((source && *source ? fs::path(source) : fs::path(TARNWICK_SOURCE_DIR)) / what);
    }
  }
  std::error_code ec;
  for (const fs::path& p : places)
    if (fs::exists(p, ec)) return fs::weakly_canonical(p, ec).string();
  return {};
}

// The folder is zipped below the work folder, under a name of its own per
// folder. The archive is replaced only when its content changed, so that an
// unchanged folder is not extracted again.
std::string packTemplateFolder(const std::string& folder) {
  const fs::path dir = fs::path(engine().documentsFolder) / "Tarnwick" / "Archives";
  std::error_code ec;
  fs::create_directories(dir, ec);
  char hash[17];
  std::snprintf(hash, sizeof hash, "%08zx", std::hash<std::string>{}(folder)&0xffffffffu);
  const fs::path zip = dir / (fs::path(folder).filename().string() + "-" + hash + ".zip");
  const fs::path fresh = zip.string() + ".new";
  ArchiveResult made = createArchive(fresh.string(), folder);
  if (!made.ok) throw CliError(folder + ": cannot pack the folder: " + made.error);
  auto bytes = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  if (fs::exists(zip, ec) && bytes(zip) == bytes(fresh)) {
    fs::remove(fresh, ec);
  } else {
    fs::rename(fresh, zip, ec);
    if (ec) throw CliError(zip.string() + ": " + ec.message());
  }
  detail("folder " + folder + " packed as " + zip.string());
  return zip.string();
}

}  // namespace tw::cli
