#pragma once
// Runs the built `tarnwick` program as a user would: with arguments, an
// optional stdin text and an environment whose user registry, documents
// folder and extension folder are this test's own temp folders, and the
// shipped machine defaults. stdout, stderr and the exit code come back.
// runOnTerminal runs it on a pseudo-terminal instead, for what only happens
// on one (questions, the hidden password prompt).
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <pugixml.hpp>

#include "platform/archive.h"

extern char** environ;

namespace tw::testing {

namespace fs = std::filesystem;

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};

inline std::ostream& operator<<(std::ostream& os, const RunResult& r) {
  return os << "exit " << r.code << "\n--- stdout\n" << r.out << "--- stderr\n" << r.err;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    const char* root = std::getenv("TARNWICK_TEST_ROOT");
    dir_ = fs::path(root ? root : "/tmp") /
           ("cli-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "Documents");
    fs::create_directories(dir_ / "extensions");
    fs::create_directories(dir_ / "work");
    env_ = {
        {"TARNWICK_CONFIG_HOME", (dir_ / "config").string()},
        {"TARNWICK_DOCUMENTS", (dir_ / "Documents").string()},
        {"TARNWICK_MACHINE_REGISTRY", machineRegistry().string()},
        {"TARNWICK_EXTENSIONS", (dir_ / "extensions").string()},
        {"HOME", dir_.string()},
    };
  }

  static fs::path sourceDir() {
    const char* s = std::getenv("TARNWICK_SOURCE_DIR");
    return s && *s ? fs::path(s) : fs::path(TARNWICK_TEST_SOURCE_DIR);
  }
  static fs::path machineRegistry() { return sourceDir() / "share" / "machine-registry.txt"; }

  const fs::path& dir() const { return dir_; }
  // The folder commands run in; relative paths in arguments start here.
  fs::path work() const { return dir_ / "work"; }
  void setEnv(const std::string& name, const std::string& value) { env_[name] = value; }
  void unsetEnv(const std::string& name) { env_.erase(name); }
  // Called with the process id of each program `run` starts (to signal it).
  std::function<void(pid_t)> onStart;

  // ---- running the program

  RunResult run(const std::vector<std::string>& args, const std::string& input = {}) {
    std::vector<std::string> program = {TARNWICK_CLI};
    program.insert(program.end(), args.begin(), args.end());
    return runProgram(program, input);
  }

  // Runs another program (found on PATH, which starts with the folder of the
  // built tarnwick) the same way: in work(), with the test's environment.
  RunResult runProgram(const std::vector<std::string>& program, const std::string& input = {}) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
    std::vector<std::string> envText = environment();
    pid_t pid = fork();
    if (pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(err[1], 2);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
      exec(program, envText);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (onStart) onStart(pid);
    if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0) {
    }
    close(in[1]);
    RunResult r;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open = 2;
    while (open > 0) {
      if (poll(fds, 2, 120000) <= 0) break;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buf[4096];
        ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          sinks[i]->append(buf, static_cast<size_t>(n));
        } else {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open;
        }
      }
    }
    for (auto& f : fds)
      if (f.fd >= 0) close(f.fd);
    r.code = wait(pid);
    expectNoSanitizerReport(r.err);
    return r;
  }

  // Runs on a pseudo-terminal (stdin, stdout and stderr are the terminal).
  // `answers` are typed one after the other, each once the program's output
  // so far contains the text it waits for. Returns everything the terminal
  // showed as `out`.
  RunResult runOnTerminal(const std::vector<std::string>& args,
                          const std::vector<std::pair<std::string, std::string>>& answers) {
    std::vector<std::string> envText = environment();
    envText.push_back("TERM=xterm");
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    std::vector<std::string> program = {TARNWICK_CLI};
    program.insert(program.end(), args.begin(), args.end());
    if (pid == 0) exec(program, envText);
    RunResult r;
    size_t next = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      if (next < answers.size() && r.out.find(answers[next].first) != std::string::npos) {
        // Forget what was matched so that a repeated prompt waits again.
        std::string typed = answers[next].second + "\n";
        if (::write(master, typed.data(), typed.size()) < 0) break;
        r.out.replace(r.out.find(answers[next].first), answers[next].first.size(),
                      "[" + answers[next].first + "]");
        ++next;
      }
      pollfd fd{master, POLLIN, 0};
      if (std::chrono::steady_clock::now() > deadline) break;
      if (poll(&fd, 1, 200) <= 0) continue;
      char buf[4096];
      ssize_t n = ::read(master, buf, sizeof buf);
      if (n <= 0) break;
      r.out.append(buf, static_cast<size_t>(n));
    }
    close(master);
    r.code = wait(pid);
    expectNoSanitizerReport(r.out);
    return r;
  }

  // In a sanitizer build the program is instrumented too. A report of its
  // own (a leak on a failure path, say) fails the test even when the exit
  // code and the message were the ones the test expected.
  static void expectNoSanitizerReport(const std::string& output) {
    static const std::regex report("ERROR: [A-Za-z]+Sanitizer|: runtime error: ");
    EXPECT_FALSE(std::regex_search(output, report)) << "the program reported a fault:\n" << output;
  }

  // ---- files

  static void write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // A file's bytes and time, to show that a failed command left it alone.
  struct Snapshot {
    std::string bytes;
    fs::file_time_type time;
    bool operator==(const Snapshot&) const = default;
  };
  static Snapshot snapshot(const fs::path& p) { return {read(p), fs::last_write_time(p)}; }

  // An SQLite database file made from a script.
  static void makeSqlite(const fs::path& file, const std::string& sql) {
    fs::remove(file);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
  }
  static void execSqlite(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
  }

  // The shop every SQLite test starts from: two tables and a view.
  fs::path shopDb() {
    fs::path file = work() / "shop.sqlite";
    if (!fs::exists(file))
      makeSqlite(file,
                 "CREATE TABLE customers (id INTEGER PRIMARY KEY AUTOINCREMENT, name VARCHAR(40) NOT NULL, "
                 "email VARCHAR(120));"
                 "CREATE TABLE orders (id INTEGER PRIMARY KEY AUTOINCREMENT, customer_id INTEGER NOT NULL, "
                 "total DECIMAL(10,2), placed DATE);"
                 "CREATE VIEW big_orders AS SELECT id, total FROM orders WHERE total > 100;");
    return file;
  }
  // `tarnwick new` of the shop into work/NAME; asserts success.
  fs::path newShop(const std::string& name = "shop.xml", std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"new", name, "--db", "sqlite:" + shopDb().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    RunResult r = run(args);
    EXPECT_EQ(r.code, 0) << r;
    return work() / name;
  }

  // The attribute of a project file element: the element is found by its
  // name attribute (TblName, FldName, ChartName) below its parent's.
  static std::string attribute(const fs::path& project, const std::string& xpath, const std::string& name) {
    pugi::xml_document doc;
    if (!doc.load_file(project.c_str())) return "<unreadable>";
    pugi::xpath_node node = doc.select_node(xpath.c_str());
    if (!node) return "<no element>";
    pugi::xml_attribute a = node.node().attribute(name.c_str());
    return a ? a.value() : "<no attribute>";
  }
  static std::string tableXPath(const std::string& table) {
    return "/Project/Database/Table[@TblName='" + table + "']";
  }
  static std::string fieldXPath(const std::string& table, const std::string& field) {
    return tableXPath(table) + "/Field[@FldName='" + field + "']";
  }
  // One setting of a table (field empty) or field and its expected value in
  // a project file; a missing attribute counts as empty.
  struct Expect {
    const char* table;
    const char* field;
    const char* name;
    const char* value;
  };
  static void expectSettings(const fs::path& project, const std::vector<Expect>& cases) {
    for (const Expect& e : cases) {
      std::string xpath = *e.field ? fieldXPath(e.table, e.field) : tableXPath(e.table);
      std::string value = attribute(project, xpath, e.name);
      if (value == "<no attribute>") value.clear();
      EXPECT_EQ(value, e.value) << e.table << "." << e.field << " " << e.name;
    }
  }
  // Names of the children of an element in file order.
  static std::vector<std::string> childNames(const fs::path& project, const std::string& xpath,
                                             const std::string& element, const std::string& nameAttribute) {
    pugi::xml_document doc;
    std::vector<std::string> names;
    if (!doc.load_file(project.c_str())) return names;
    for (pugi::xpath_node n : doc.select_nodes((xpath + "/" + element).c_str()))
      names.push_back(n.node().attribute(nameAttribute.c_str()).value());
    return names;
  }

  // A template folder with the given files.
  fs::path makeTemplateFolder(const std::string& name, const std::map<std::string, std::string>& files) {
    fs::path folder = dir() / name;
    for (const auto& [file, text] : files) write(folder / file, text);
    return folder;
  }
  fs::path makeTemplateZip(const std::string& name, const std::map<std::string, std::string>& files) {
    fs::path folder = makeTemplateFolder(name + "-src", files);
    fs::path zip = dir() / (name + ".zip");
    ArchiveResult made = createArchive(zip.string(), folder.string());
    EXPECT_TRUE(made.ok) << made.error;
    return zip;
  }

 protected:
  // The test's environment; PATH starts with the built program's folder.
  std::vector<std::string> environment() const {
    std::vector<std::string> out;
    std::string path = "PATH=" + fs::path(TARNWICK_CLI).parent_path().string();
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      std::string name = entry.substr(0, entry.find('='));
      if (name.rfind("TARNWICK_", 0) == 0 && name != "TARNWICK_SOURCE_DIR") continue;
      if (name == "NO_COLOR" || name == "HOME" || name == "TERM") continue;
      if (name.rfind("PG", 0) == 0) continue;  // libpq's connection variables
      if (name == "PATH") {
        path += ":" + entry.substr(5);
        continue;
      }
      out.push_back(entry);
    }
    out.push_back(path);
    for (const auto& [k, v] : env_) out.push_back(k + "=" + v);
    return out;
  }

  // Runs `program` (argv[0] looked up on the test's PATH) in work().
  [[noreturn]] void exec(const std::vector<std::string>& program, const std::vector<std::string>& envText) {
    if (chdir(work().c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (const std::string& a : program) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    for (const std::string& e : envText)
      if (e.rfind("PATH=", 0) == 0) setenv("PATH", e.c_str() + 5, 1);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }

  static int wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
  }

 private:
  fs::path dir_;
  std::map<std::string, std::string> env_;
};

}  // namespace tw::testing
