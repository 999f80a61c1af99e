// tarnwick serve: generates a project, serves the application with PHP's
// built-in web server on 127.0.0.1 and generates again whenever the project
// file, the template or the database schema changes. Ctrl-C stops it.
//
// Each generation runs as `tarnwick generate` in a child process, so that it
// is exactly what the generate command does and every run starts from a
// fresh engine.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <thread>

#include "automation/text.h"
#include "cli/cli.h"
#include "cli/php_server.h"
#include "cli/live_schema.h"
#include "cli/terminal.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "support/engine_context.h"

namespace fs = std::filesystem;

namespace tw::cli {

namespace {

struct ServeOptions {
  std::string project;
  int port = 8000;
  std::string dest;
  std::string php = "php";
  bool noWatch = false;
  double interval = 2.0;
};

std::string selfPath() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("tarnwick") : self.string();
}

// Runs a program and waits for it; its output goes where ours goes.
int runAndWait(const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid < 0) throw CliError(std::string("cannot start ") + args[0] + ": " + std::strerror(errno));
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// ---- What is watched

// A cheap fingerprint of a file or of a folder's files: names, sizes and
// times.
std::string fingerprint(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !fs::exists(path, ec)) return "-";
  auto stamp = [](const fs::path& p) {
    std::error_code e;
    auto size = fs::is_regular_file(p, e) ? fs::file_size(p, e) : 0;
    return p.string() + ":" + std::to_string(size) + ":" +
           std::to_string(fs::last_write_time(p, e).time_since_epoch().count()) + "\n";
  };
  if (!fs::is_directory(path, ec)) return stamp(path);
  std::string out;
  for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    out += stamp(it->path());
  }
  return out;
}

// The database's tables, columns and keys as text; empty when it cannot be
// read just now.
std::string schemaFingerprint(AGP& proj) {
  try {
    Ref<AGPSchema> schema = readLiveSchema(proj);
    std::string out;
    const auto& records = schema->record().tables.Tbl;
    for (int16_t i = 1; i <= schema->tblcnt(); ++i) {
      const AGSchemaTable& t = records[static_cast<size_t>(i)];
      out += t.TblType + " " + t.TblName + " (" + t.TblKey + "):";
      for (int16_t j = 1; j <= t.TblFldCnt; ++j) {
        const AGSchemaField& f = t.TblFields.fld[static_cast<size_t>(j)];
        out += " " + f.FldName + " " + std::to_string(f.NativeDataType) + "/" + std::to_string(f.FldSize) +
               "/" + std::to_string(f.FldAttribute) + "/" + f.FldTagValues;
      }
      out += "\n";
    }
    engine().projErr.clear();
    return out;
  } catch (...) {
    engine().projErr.clear();
    return {};
  }
}

struct Watched {
  std::string project, templ, schema;
  bool operator==(const Watched&) const = default;
};

// The project file, the template it names and its database as they are
// now. A project or database that cannot be read just now (being written,
// a server restarting) counts as unchanged.
Watched look(const std::string& projectPath, const Watched& last) {
  Watched w;
  w.project = fingerprint(projectPath);
  try {
    Ref<AGP> proj = loadProject(projectPath);
    w.templ = fingerprint(proj->str("Template"));
    w.schema = schemaFingerprint(*proj);
  } catch (...) {
    engine().projErr.clear();
    w.templ = last.templ;
  }
  if (w.schema.empty()) w.schema = last.schema;
  return w;
}

// Generates as `tarnwick generate` does; false when that failed.
bool generateOnce(const ServeOptions& o, const std::string& dest) {
  std::vector<std::string> args = {selfPath(), "generate",           o.project,    "--overwrite",
                                   "all",      "--extract-template", "--no-backup"};
  if (!dest.empty()) {
    args.push_back("--dest");
    args.push_back(dest);
  }
  // Without a terminal nobody can answer the question about a changed
  // database: the project is kept as it is.
  if (!globals().interactive) {
    args.push_back("--sync");
    args.push_back("keep");
  }
  if (globals().quiet) args.push_back("--quiet");
  return runAndWait(args) == 0;
}

volatile std::sig_atomic_t gStop = 0;

extern "C" void onServeStop(int) { gStop = 1; }

// Ctrl-C and SIGTERM ask the loop to stop the server and end; however often
// they come, the server is stopped first.
void stopOnSignal() {
  struct sigaction sa {};
  sa.sa_handler = onServeStop;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

bool stopping() { return gStop != 0 || interrupted(); }

int runServe(const ServeOptions& o) {
  if (o.port < 0 || o.port > 65535) throw usageError("--port takes 0 to 65535");
  if (o.interval <= 0) throw usageError("--interval takes a positive number of seconds");
  startEngine();
  const std::string dest = o.dest.empty() ? loadProject(o.project)->str("Destination") : absolutePath(o.dest);
  if (dest.empty()) throw CliError("the project names no destination folder: give --dest DIR");
  const int port = freePort(o.port);
  stopOnSignal();

  if (!generateOnce(o, o.dest.empty() ? std::string() : dest) && !stopping())
    throw CliError("the first generation failed; nothing is served");
  if (stopping()) throw CliError("cancelled", kExitCancelled);

  PhpServer server(o.php, port);
  DocumentRoot root = findDocumentRoot(dest);
  server.start(root);
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
  // The address is what scripts wait for: printed even with --quiet.
  std::cout << "Serving " << dest << " at " << url
            << (root.router.empty() ? "" : " (router " + root.router + ")") << '\n';
  if (!globals().quiet)
    std::cout << (o.noWatch ? "Press Ctrl-C to stop."
                            : "Watching the project file, the template and the database; Ctrl-C stops.")
              << '\n';
  std::cout.flush();

  Watched last;
  if (!o.noWatch) last = look(o.project, last);
  auto nextLook = std::chrono::steady_clock::now();
  while (!stopping()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (server.exited()) throw CliError(o.php + " -S stopped on its own");
    if (o.noWatch || std::chrono::steady_clock::now() < nextLook) continue;
    nextLook =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(o.interval * 1000));
    Watched now = look(o.project, last);
    if (now == last) continue;
    std::string what = now.project != last.project ? "the project file"
                       : now.templ != last.templ   ? "the template"
                                                   : "the database";
    info("Generating again: " + what + " changed");
    std::cout.flush();
    bool ok = generateOnce(o, o.dest.empty() ? std::string() : dest);
    if (stopping()) break;
    // What generation itself changed (an updated project) is no new change.
    last = look(o.project, now);
    if (!ok) {
      warn("generation failed; still serving the pages from before");
      continue;
    }
    DocumentRoot fresh = findDocumentRoot(dest);
    if (fresh.folder != root.folder || fresh.router != root.router) {
      server.stop();
      root = fresh;
      server.start(root);
    }
    info("Ready at " + url);
    std::cout.flush();
  }
  server.stop();
  info("Stopped the server");
  return kExitOk;
}

}  // namespace

void addServeCommands(CLI::App& app, Commands& out) {
  auto o = std::make_shared<ServeOptions>();
  CLI::App* sub =
      app.add_subcommand("serve", "Generate a project and serve it with php -S, generating again on changes");
  sub->add_option("PROJECT", o->project, "Project file")->required();
  sub->add_option("-p,--port", o->port, "Port on 127.0.0.1 (0: any free one)")->capture_default_str();
  sub->add_option("--dest", o->dest, "Generate into this folder instead of the project's Destination");
  sub->add_flag("--no-watch", o->noWatch, "Generate once and serve; do not watch for changes");
  sub->add_option("--interval", o->interval, "Seconds between looks for changes")->capture_default_str();
  sub->add_option("--php", o->php, "The PHP command line program")->capture_default_str();
  sub->footer(
      "Generates as tarnwick generate does (existing pages replaced, no .bak copies), starts\n"
      "PHP's built-in web server on 127.0.0.1 with the application's document root (its\n"
      "public/ folder when it has one, with its router script), prints the address, and\n"
      "generates again when the project file, the template (archive or folder) or the\n"
      "database's tables and columns change. A project with AutoSync is compared with its\n"
      "database first; without a terminal it is kept as it is. Ctrl-C stops the server\n"
      "(exit 0). For development only: never expose php -S to a network.\n"
      "\n"
      "Examples:\n"
      "  tarnwick serve shop.xml\n"
      "  tarnwick serve shop.xml --port 8080 --no-watch");
  out.push_back({sub, [o] { return runServe(*o); }});
}

}  // namespace tw::cli
