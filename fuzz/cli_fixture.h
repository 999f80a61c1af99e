#pragma once
// What the fuzz targets of the command line's own inputs share: a private
// folder with the user's store, the sample SQLite database, a project made
// from it by `tarnwick new`, and a way to run tarnwick commands in-process
// as the program runs them.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "automation/error.h"
#include "cli/cli.h"
#include "support/engine_context.h"

namespace fuzzcli {

inline void check(bool ok) {
  if (!ok) __builtin_trap();
}

inline std::string& folder() {
  static std::string f;
  return f;
}

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void spill(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs one tarnwick command line (without the program name) and returns its
// exit code as the program would. Anything the program itself would not
// turn into an exit code (a crash, an exception of another kind) is left to
// the fuzzer.
inline int runCli(const std::vector<std::string>& words) {
  using namespace tw::cli;
  Globals& g = globals();
  g = Globals{};
  g.quiet = true;
  CLI::App app{"tarnwick", "tarnwick"};
  app.require_subcommand(0, 1);
  Commands commands;
  addProjectCommands(app, commands);
  addEditCommands(app, commands);
  addConfigCommands(app, commands);
  std::vector<std::string> argv{"tarnwick"};
  argv.insert(argv.end(), words.begin(), words.end());
  std::vector<char*> args;
  for (std::string& w : argv) args.push_back(w.data());
  try {
    app.parse(static_cast<int>(args.size()), args.data());
  } catch (const CLI::ParseError&) {
    return kExitUsage;
  }
  for (const Command& c : commands) {
    if (!c.app->parsed()) continue;
    try {
      return c.run();
    } catch (const CliError& e) {
      return e.code();
    } catch (const tw::Error&) {
      return kExitFailed;
    }
  }
  return kExitUsage;
}

// The private folder with the sample database and `base.xml`, a project of
// all its tables made by `tarnwick new`; its bytes are returned.
inline std::string setUp() {
  char tmpl[] = "/tmp/tarnwick-fuzz-XXXXXX";
  const char* dir = mkdtemp(tmpl);
  if (!dir) std::abort();
  folder() = dir;
  for (const char* sub : {"/config", "/Documents"}) (void)system(("mkdir -p " + folder() + sub).c_str());
  setenv("TARNWICK_CONFIG_HOME", (folder() + "/config").c_str(), 1);
  setenv("TARNWICK_DOCUMENTS", (folder() + "/Documents").c_str(), 1);
  setenv("TARNWICK_MACHINE_REGISTRY", TARNWICK_SOURCE_DIR "/share/machine-registry.txt", 1);
  setenv("TARNWICK_LOCK_WAIT", "0", 1);
  tw::resetEngine();

  const std::string db = folder() + "/sample.sqlite";
  sqlite3* handle = nullptr;
  if (sqlite3_open(db.c_str(), &handle) != SQLITE_OK) std::abort();
  const std::string sql = slurp(TARNWICK_SOURCE_DIR "/samples/sample-sqlite.sql");
  if (sql.empty() || sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
  sqlite3_close(handle);

  const std::string base = folder() + "/base.xml";
  if (runCli({"new", base, "--db", "sqlite:" + db}) != tw::cli::kExitOk) std::abort();
  return slurp(base);
}

}  // namespace fuzzcli
