#include "support/registry_store.h"

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "automation/error.h"
#include "tarnwick/version.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

std::string envValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string homeFolder() {
  std::string home = envValue("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir ? pw->pw_dir : "";
  return {};
}

[[noreturn]] void raiseStore(std::string message) {
  raise(kErrPathFileAccess, std::move(message), "tarnwick.Registry");
}

}  // namespace

std::string normalizeSectionPath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find('\\', i);
    if (j == std::string_view::npos) j = path.size();
    if (j > i) {
      if (!out.empty()) out += '\\';
      out.append(path.substr(i, j - i));
    }
    i = j + 1;
  }
  return out;
}

std::pair<std::string_view, std::string_view> splitSectionPath(std::string_view path) {
  size_t cut = path.rfind('\\');
  if (cut == std::string_view::npos) return {std::string_view(), path};
  return {path.substr(0, cut), path.substr(cut + 1)};
}

Variant binaryValue(const std::vector<uint8_t>& bytes) {
  std::vector<Variant> items;
  items.reserve(bytes.size());
  for (uint8_t b : bytes) items.push_back(Variant::byte(b));
  return Variant::array(std::move(items), vtByte);
}

std::string defaultUserRegistryPath() {
  std::string own = envValue("TARNWICK_CONFIG_HOME");
  if (!own.empty()) return (fs::path(own) / "registry.sqlite").string();
  std::string xdg = envValue("XDG_CONFIG_HOME");
  if (xdg.empty() || xdg[0] != '/') xdg = (fs::path(homeFolder()) / ".config").string();
  return (fs::path(xdg) / "tarnwick" / "registry.sqlite").string();
}

std::string defaultMachineRegistryPath() {
  std::string own = envValue("TARNWICK_MACHINE_REGISTRY");
  if (!own.empty()) return own;
  std::error_code ec;
  fs::path installed = fs::path(TARNWICK_INSTALL_PREFIX) / "share" / "tarnwick" / "machine-registry.txt";
  if (fs::exists(installed, ec)) return installed.string();
  std::string source = envValue("TARNWICK_SOURCE_DIR");
  if (source.empty()) source = TARNWICK_SOURCE_DIR;
  return (fs::path(source) / "share" / "machine-registry.txt").string();
}

// ---------------------------------------------------------------- user database

struct RegistryStore::Db {
  std::string path;  // the file, for messages
  sqlite3* db = nullptr;
  sqlite3_stmt* begin = nullptr;
  sqlite3_stmt* commit = nullptr;
  sqlite3_stmt* rollback = nullptr;
  sqlite3_stmt* readValue = nullptr;
  sqlite3_stmt* insertKey = nullptr;
  sqlite3_stmt* writeValue = nullptr;
  sqlite3_stmt* subKeys = nullptr;
  sqlite3_stmt* valueNames = nullptr;
  sqlite3_stmt* keyExists = nullptr;
  sqlite3_stmt* deleteKeys = nullptr;
  sqlite3_stmt* deleteKeyValues = nullptr;
  sqlite3_stmt* deleteValue = nullptr;

  ~Db() {
    for (sqlite3_stmt* s : {begin, commit, rollback, readValue, insertKey, writeValue, subKeys, valueNames,
                            keyExists, deleteKeys, deleteKeyValues, deleteValue})
      sqlite3_finalize(s);
    if (db) sqlite3_close_v2(db);
  }

  [[noreturn]] void fail(const char* what) const {
    raiseStore(std::string("Registry ") + what + " failed in " + path + ": " +
               (db ? sqlite3_errmsg(db) : "no database"));
  }
  // Setup statements race other processes opening (or creating) the same
  // file; SQLite answers some of those races with an immediate SQLITE_BUSY
  // that skips the busy handler, so setup retries until the busy timeout.
  void exec(const char* sql, int busyTimeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(busyTimeoutMs, 100));
    for (;;) {
      char* msg = nullptr;
      int rc = sqlite3_exec(db, sql, nullptr, nullptr, &msg);
      if (rc == SQLITE_OK) return;
      std::string text = msg ? msg : "";
      sqlite3_free(msg);
      if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      int primary = rc & 0xff;
      if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) || std::chrono::steady_clock::now() >= deadline)
        raiseStore("Registry database setup failed in " + path + ": " + text);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  sqlite3_stmt* prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) fail("prepare");
    return s;
  }
};

namespace {

// Resets a cached statement on every way out.
class Use {
 public:
  explicit Use(sqlite3_stmt* s) : s_(s) {}
  ~Use() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  Use& text(int i, std::string_view t) {
    // An empty view may have no data pointer, which SQLite would bind as NULL.
    sqlite3_bind_text(s_, i, t.empty() ? "" : t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Use& integer(int i, int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
  }
  Use& blob(int i, const std::vector<uint8_t>& b) {
    sqlite3_bind_blob(s_, i, b.empty() ? "" : static_cast<const void*>(b.data()), static_cast<int>(b.size()),
                      SQLITE_TRANSIENT);
    return *this;
  }
  int step() { return sqlite3_step(s_); }
  sqlite3_stmt* get() const { return s_; }

 private:
  sqlite3_stmt* s_;
};

// One write transaction: BEGIN IMMEDIATE takes the write lock up front (so a
// concurrent writer waits for the busy timeout instead of failing on commit),
// and anything but an explicit commit rolls back.
class Transaction {
 public:
  explicit Transaction(RegistryStore::Db& db) : db_(db) {
    if (Use(db_.begin).step() != SQLITE_DONE) db_.fail("write (the database is busy or read-only)");
  }
  ~Transaction() {
    if (!done_) Use(db_.rollback).step();
  }
  void commit() {
    if (Use(db_.commit).step() != SQLITE_DONE) db_.fail("commit");
    done_ = true;
  }

 private:
  RegistryStore::Db& db_;
  bool done_ = false;
};

std::string stringData(const Variant& v) {
  if (v.isString()) return std::string(v.rawString());
  return v.toString();
}

std::vector<uint8_t> binaryData(const Variant& v) {
  std::vector<uint8_t> bytes;
  if (v.isArray()) {
    const SafeArray* a = v.rawArray();
    if (a->dims() != 1) raise(kErrTypeMismatch);
    bytes.reserve(a->data.size());
    for (const Variant& e : a->data) bytes.push_back(e.type() == vtByte ? e.rawByte() : e.toByte());
  } else if (v.isString()) {
    std::string_view s = v.rawString();
    bytes.assign(s.begin(), s.end());
  } else if (!v.isEmpty()) {
    raise(kErrTypeMismatch);
  }
  return bytes;
}

}  // namespace

RegistryStore::RegistryStore() = default;

RegistryStore::RegistryStore(std::string userDatabase, std::string machineFile)
    : userPath_(std::move(userDatabase)), machinePath_(std::move(machineFile)), pathsResolved_(true) {}

RegistryStore::~RegistryStore() = default;

void RegistryStore::resolvePaths() {
  if (pathsResolved_) return;
  userPath_ = defaultUserRegistryPath();
  machinePath_ = defaultMachineRegistryPath();
  pathsResolved_ = true;
}

const std::string& RegistryStore::userDatabasePath() {
  resolvePaths();
  return userPath_;
}

const std::string& RegistryStore::machineFilePath() {
  resolvePaths();
  return machinePath_;
}

void RegistryStore::close() { db_.reset(); }

std::string RegistryStore::problem() {
  try {
    Db& d = db();
    sqlite3_stmt* q = nullptr;
    if (sqlite3_prepare_v2(d.db, "PRAGMA quick_check", -1, &q, nullptr) != SQLITE_OK) d.fail("check");
    std::string result;
    int rc;
    while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
      if (text && std::string_view(text) != "ok") result += (result.empty() ? "" : "; ") + std::string(text);
    }
    const std::string failure = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(d.db);
    sqlite3_finalize(q);
    if (!failure.empty()) result = failure;
    return result.empty() ? std::string() : "Registry check failed in " + d.path + ": " + result;
  } catch (const Error& e) {
    return e.description();
  }
}

std::string RegistryStore::setAside() {
  close();
  resolvePaths();
  std::error_code ec;
  std::string copy = userPath_ + ".damaged";
  for (int n = 2; fs::exists(copy, ec); ++n) copy = userPath_ + ".damaged-" + std::to_string(n);
  if (fs::exists(userPath_, ec)) {
    fs::rename(userPath_, copy, ec);
    if (ec) raiseStore("Cannot move the registry database " + userPath_ + " aside: " + ec.message());
  }
  // The journal files belong to the damaged copy; a new database must not
  // pick them up.
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    std::error_code ignored;
    if (fs::exists(userPath_ + suffix, ignored)) fs::rename(userPath_ + suffix, copy + suffix, ignored);
  }
  return copy;
}

void RegistryStore::setBusyTimeout(int milliseconds) {
  busyTimeout_ = milliseconds;
  if (db_) sqlite3_busy_timeout(db_->db, milliseconds);
}

RegistryStore::Db& RegistryStore::db() {
  if (db_) return *db_;
  resolvePaths();
  auto d = std::make_unique<Db>();
  d->path = userPath_;
  std::error_code ec;
  fs::path file(userPath_);
  if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
  int rc = sqlite3_open_v2(userPath_.c_str(), &d->db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = d->db ? sqlite3_errmsg(d->db) : "out of memory";
    raiseStore("Cannot open the registry database '" + userPath_ + "': " + msg);
  }
  sqlite3_busy_timeout(d->db, busyTimeout_);
  d->exec("PRAGMA journal_mode=WAL", busyTimeout_);
  d->exec("PRAGMA synchronous=NORMAL", busyTimeout_);
  d->exec(
      "BEGIN IMMEDIATE;"
      "CREATE TABLE IF NOT EXISTS reg_keys("
      "  root INTEGER NOT NULL, folded TEXT NOT NULL, parent TEXT NOT NULL, name TEXT NOT NULL,"
      "  PRIMARY KEY(root, folded)) WITHOUT ROWID;"
      "CREATE INDEX IF NOT EXISTS reg_keys_parent ON reg_keys(root, parent);"
      "CREATE TABLE IF NOT EXISTS reg_values("
      "  id INTEGER PRIMARY KEY, root INTEGER NOT NULL, key TEXT NOT NULL, folded TEXT NOT NULL,"
      "  name TEXT NOT NULL, type INTEGER NOT NULL, data, UNIQUE(root, key, folded));"
      "COMMIT;",
      busyTimeout_);
  d->begin = d->prepare("BEGIN IMMEDIATE");
  d->commit = d->prepare("COMMIT");
  d->rollback = d->prepare("ROLLBACK");
  d->readValue = d->prepare("SELECT type, data FROM reg_values WHERE root=?1 AND key=?2 AND folded=?3");
  d->insertKey =
      d->prepare("INSERT OR IGNORE INTO reg_keys(root, folded, parent, name) VALUES(?1, ?2, ?3, ?4)");
  d->writeValue = d->prepare(
      "INSERT INTO reg_values(root, key, folded, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5, ?6) "
      "ON CONFLICT(root, key, folded) DO UPDATE SET type=excluded.type, data=excluded.data");
  d->subKeys = d->prepare("SELECT name FROM reg_keys WHERE root=?1 AND parent=?2");
  d->valueNames = d->prepare("SELECT name FROM reg_values WHERE root=?1 AND key=?2 ORDER BY id");
  d->keyExists = d->prepare("SELECT 1 FROM reg_keys WHERE root=?1 AND folded=?2");
  // A key and everything below it: the folded path itself and every path
  // that starts with it followed by "\" (the range "path\" .. "path]").
  d->deleteKeys = d->prepare(
      "DELETE FROM reg_keys WHERE root=?1 AND (folded=?2 OR (folded>=?2||'\\' AND folded<?2||']'))");
  d->deleteKeyValues =
      d->prepare("DELETE FROM reg_values WHERE root=?1 AND (key=?2 OR (key>=?2||'\\' AND key<?2||']'))");
  d->deleteValue = d->prepare("DELETE FROM reg_values WHERE root=?1 AND key=?2 AND folded=?3");
  db_ = std::move(d);
  return *db_;
}

const MachineBranch& RegistryStore::machine() {
  if (machine_) return *machine_;
  resolvePaths();
  std::string text;
  std::ifstream in(machinePath_, std::ios::binary);
  if (in) {
    std::ostringstream ss;
    ss << in.rdbuf();
    text = ss.str();
  }
  machine_ = std::make_unique<MachineBranch>(parseMachineRegistry(text));
  return *machine_;
}

std::optional<RegValue> RegistryStore::readValue(uint32_t root, std::string_view section,
                                                 std::string_view name) {
  if (isMachine(root)) {
    const MachineKey* key = machine().find(section);
    if (!key) return std::nullopt;
    for (const auto& [n, v] : key->values)
      if (equalsNoCase(n, name)) return v;
    return std::nullopt;
  }
  Db& d = db();
  Use q(d.readValue);
  q.integer(1, root).text(2, toLower(normalizeSectionPath(section))).text(3, toLower(name));
  int rc = q.step();
  if (rc == SQLITE_DONE) return std::nullopt;
  if (rc != SQLITE_ROW) d.fail("read");
  RegValue out;
  out.type = sqlite3_column_int(q.get(), 0);
  switch (out.type) {
    case kRegDword:
    case kRegDwordBigEndian:
      out.value = Variant::long_(static_cast<int32_t>(sqlite3_column_int64(q.get(), 1)));
      break;
    case kRegBinary: {
      const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(q.get(), 1));
      int n = sqlite3_column_bytes(q.get(), 1);
      out.value = binaryValue(std::vector<uint8_t>(p, p + n));
      break;
    }
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 1));
      int n = sqlite3_column_bytes(q.get(), 1);
      out.value = Variant(std::string_view(p ? p : "", static_cast<size_t>(n)));
      break;
    }
  }
  return out;
}

void RegistryStore::writeValue(uint32_t root, std::string_view section, std::string_view name, int32_t type,
                               const Variant& value) {
  if (isMachine(root))
    raise(kErrPermissionDenied, "The local machine registry is read-only", "tarnwick.Registry");
  // Convert before touching the database: a refused value changes nothing.
  std::string text;
  std::vector<uint8_t> bytes;
  int64_t number = 0;
  switch (type) {
    case kRegString:
    case kRegExpandString:
    case kRegMultiString:
      text = stringData(value);
      break;
    case kRegBinary:
      bytes = binaryData(value);
      break;
    case kRegDword:
    case kRegDwordBigEndian:
      number = value.toLong();
      break;
    default:
      raise(kErrTypeMismatch);
  }
  std::string path = normalizeSectionPath(section);
  std::string folded = toLower(path);
  Db& d = db();
  Transaction t(d);
  // The key and its ancestors, each in the case it is first written with.
  for (std::string_view p = path, f = folded; !p.empty();) {
    auto [parent, last] = splitSectionPath(p);
    auto [fparent, flast] = splitSectionPath(f);
    Use k(d.insertKey);
    k.integer(1, root).text(2, f).text(3, fparent).text(4, last);
    if (k.step() != SQLITE_DONE) d.fail("write");
    p = parent;
    f = fparent;
  }
  Use w(d.writeValue);
  w.integer(1, root).text(2, folded).text(3, toLower(name)).text(4, name).integer(5, type);
  if (type == kRegBinary)
    w.blob(6, bytes);
  else if (type == kRegDword || type == kRegDwordBigEndian)
    w.integer(6, number);
  else
    w.text(6, text);
  if (w.step() != SQLITE_DONE) d.fail("write");
  if (commitHook_) commitHook_();
  t.commit();
}

std::vector<std::string> RegistryStore::enumerateSubKeys(uint32_t root, std::string_view section) {
  std::vector<std::string> names;
  if (isMachine(root)) {
    const MachineBranch& m = machine();
    if (const MachineKey* key = m.find(section))
      for (size_t c : key->children) names.push_back(m.keys[c].name);
  } else {
    Db& d = db();
    Use q(d.subKeys);
    q.integer(1, root).text(2, toLower(normalizeSectionPath(section)));
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 0));
      names.emplace_back(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(q.get(), 0)));
    }
    if (rc != SQLITE_DONE) d.fail("enumeration");
  }
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return compareNoCase(a, b) < 0; });
  return names;
}

std::vector<std::string> RegistryStore::enumerateValues(uint32_t root, std::string_view section) {
  std::vector<std::string> names;
  if (isMachine(root)) {
    if (const MachineKey* key = machine().find(section))
      for (const auto& [n, v] : key->values) names.push_back(n);
    return names;
  }
  Db& d = db();
  Use q(d.valueNames);
  q.integer(1, root).text(2, toLower(normalizeSectionPath(section)));
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 0));
    names.emplace_back(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(q.get(), 0)));
  }
  if (rc != SQLITE_DONE) d.fail("enumeration");
  return names;
}

bool RegistryStore::keyExists(uint32_t root, std::string_view section) {
  std::string folded = toLower(normalizeSectionPath(section));
  if (isMachine(root)) return machine().find(folded) != nullptr;
  if (folded.empty()) return true;
  Db& d = db();
  Use q(d.keyExists);
  q.integer(1, root).text(2, folded);
  int rc = q.step();
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) d.fail("read");
  return rc == SQLITE_ROW;
}

void RegistryStore::createKey(uint32_t root, std::string_view section) {
  if (isMachine(root))
    raise(kErrPermissionDenied, "The local machine registry is read-only", "tarnwick.Registry");
  std::string path = normalizeSectionPath(section);
  std::string folded = toLower(path);
  Db& d = db();
  Transaction t(d);
  for (std::string_view p = path, f = folded; !p.empty();) {
    auto [parent, last] = splitSectionPath(p);
    auto [fparent, flast] = splitSectionPath(f);
    Use k(d.insertKey);
    k.integer(1, root).text(2, f).text(3, fparent).text(4, last);
    if (k.step() != SQLITE_DONE) d.fail("write");
    p = parent;
    f = fparent;
  }
  if (commitHook_) commitHook_();
  t.commit();
}

bool RegistryStore::deleteKey(uint32_t root, std::string_view section) {
  if (isMachine(root))
    raise(kErrPermissionDenied, "The local machine registry is read-only", "tarnwick.Registry");
  std::string folded = toLower(normalizeSectionPath(section));
  if (folded.empty()) return false;  // the root itself stays
  Db& d = db();
  Transaction t(d);
  Use k(d.deleteKeys);
  k.integer(1, root).text(2, folded);
  if (k.step() != SQLITE_DONE) d.fail("delete");
  bool existed = sqlite3_changes(d.db) > 0;
  Use v(d.deleteKeyValues);
  v.integer(1, root).text(2, folded);
  if (v.step() != SQLITE_DONE) d.fail("delete");
  if (commitHook_) commitHook_();
  t.commit();
  return existed;
}

bool RegistryStore::deleteValue(uint32_t root, std::string_view section, std::string_view name) {
  if (isMachine(root))
    raise(kErrPermissionDenied, "The local machine registry is read-only", "tarnwick.Registry");
  Db& d = db();
  Transaction t(d);
  Use q(d.deleteValue);
  q.integer(1, root).text(2, toLower(normalizeSectionPath(section))).text(3, toLower(name));
  if (q.step() != SQLITE_DONE) d.fail("delete");
  bool existed = sqlite3_changes(d.db) > 0;
  if (commitHook_) commitHook_();
  t.commit();
  return existed;
}

}  // namespace tw
