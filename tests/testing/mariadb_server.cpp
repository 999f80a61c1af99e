#include "testing/mariadb_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace tw::testing {

namespace fs = std::filesystem;

namespace {

// The first of the names that is an executable in /usr/sbin, /usr/bin or PATH.
std::string findProgram(std::initializer_list<const char*> names) {
  std::vector<std::string> dirs = {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin"};
  if (const char* path = std::getenv("PATH")) {
    std::stringstream ss(path);
    std::string d;
    while (std::getline(ss, d, ':'))
      if (!d.empty()) dirs.push_back(d);
  }
  for (const char* name : names)
    for (const std::string& d : dirs) {
      std::string p = d + "/" + name;
      if (::access(p.c_str(), X_OK) == 0) return p;
    }
  return {};
}

std::string serverProgram() { return findProgram({"mariadbd", "mysqld"}); }
std::string installProgram() { return findProgram({"mariadb-install-db", "mysql_install_db"}); }
std::string clientProgram() { return findProgram({"mariadb", "mysql"}); }

// Runs a program with stdin from a file (or /dev/null) and stdout and stderr
// into a file; returns its exit status, or -1 when it could not run.
int runProgram(const std::vector<std::string>& argv, const fs::path& input, const fs::path& output) {
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int in = ::open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
    int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string tail(const std::string& text, size_t lines) {
  size_t pos = text.size();
  while (lines-- > 0 && pos > 0) {
    pos = text.rfind('\n', pos - 1);
    if (pos == std::string::npos) return text;
  }
  return text.substr(pos);
}

int freePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  ::close(fd);
  return port;
}

bool portAccepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

// Temp folders go to memory when it can take them: the server writes and
// syncs a lot while starting.
fs::path tempBase() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

// Options shared by mariadb-install-db and mariadbd: small logs and buffers,
// no syncing (the data is thrown away).
std::vector<std::string> commonOptions() {
  std::vector<std::string> o = {"--innodb-log-file-size=8M", "--innodb-buffer-pool-size=64M",
                                "--innodb-flush-log-at-trx-commit=0", "--innodb-doublewrite=0",
                                "--skip-name-resolve"};
  if (::geteuid() == 0) o.push_back("--user=root");
  return o;
}

// A pristine data directory made once per installed server binary and copied
// for each test server.
bool templateDataDir(fs::path& out, std::string& error) {
  std::string server = serverProgram();
  struct stat st {};
  if (::stat(server.c_str(), &st) != 0) {
    error = "no MariaDB server binary";
    return false;
  }
  fs::path base = tempBase();
  fs::path final = base / ("tarnwick-mariadb-template-" + std::to_string(::getuid()) + "-" +
                           std::to_string(st.st_size) + "-" + std::to_string(st.st_mtime));
  std::error_code ec;
  if (fs::exists(final / "data" / "mysql", ec)) {
    out = final / "data";
    return true;
  }
  fs::path work = base / (final.filename().string() + "-work-" + std::to_string(::getpid()));
  fs::remove_all(work, ec);
  fs::create_directories(work, ec);
  std::vector<std::string> argv = {installProgram(), "--no-defaults",
                                   "--auth-root-authentication-method=normal",
                                   "--datadir=" + (work / "data").string(), "--skip-test-db"};
  for (std::string& o : commonOptions()) argv.push_back(std::move(o));
  int rc = runProgram(argv, {}, work / "install.log");
  if (rc != 0) {
    error =
        "mariadb-install-db failed (" + std::to_string(rc) + "):" + tail(readFile(work / "install.log"), 15);
    fs::remove_all(work, ec);
    return false;
  }
  // Another test binary may have made it meanwhile; either copy will do.
  if (::rename(work.c_str(), final.c_str()) != 0) fs::remove_all(work, ec);
  out = final / "data";
  return fs::exists(out / "mysql", ec);
}

bool& sharedStarted() {
  static bool started = false;
  return started;
}

}  // namespace

bool MariaDbServer::installed() {
  return !serverProgram().empty() && !installProgram().empty() && !clientProgram().empty();
}

MariaDbServer& MariaDbServer::shared() {
  // Never destroyed: the environment's TearDown (or the atexit hook) stops it.
  static MariaDbServer* server = [] {
    auto* s = new MariaDbServer();
    std::atexit([] { MariaDbServer::shared().stop(); });
    return s;
  }();
  if (!server->tried_) {
    server->tried_ = true;
    sharedStarted() = true;
    server->start();
  }
  return *server;
}

MariaDbServer* MariaDbServer::sharedIfStarted() { return sharedStarted() ? &shared() : nullptr; }

MariaDbServer::~MariaDbServer() { stop(); }

bool MariaDbServer::start() {
  if (!installed()) {
    error_ = "mariadb-server is not installed";
    return false;
  }
  fs::path data;
  if (!templateDataDir(data, error_)) return false;
  std::string pattern = (tempBase() / "tarnwick-mariadb-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    error_ = std::string("cannot make a temp folder: ") + std::strerror(errno);
    return false;
  }
  dir_ = pattern;
  std::error_code ec;
  fs::copy(data, dir_ / "data", fs::copy_options::recursive, ec);
  if (ec) {
    error_ = "cannot copy the data directory: " + ec.message();
    return false;
  }
  socket_ = (dir_ / "mysqld.sock").string();
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = freePort();
    if (port_ == 0) {
      error_ = "no free loopback port";
      return false;
    }
    if (launch() && waitUntilReady()) {
      error_.clear();
      return true;
    }
  }
  return false;
}

bool MariaDbServer::launch() {
  std::vector<std::string> argv = {serverProgram(),
                                   "--no-defaults",
                                   "--datadir=" + (dir_ / "data").string(),
                                   "--socket=" + socket_,
                                   "--port=" + std::to_string(port_),
                                   "--bind-address=127.0.0.1",
                                   "--pid-file=" + (dir_ / "mysqld.pid").string(),
                                   "--log-error=" + (dir_ / "error.log").string(),
                                   "--tmpdir=" + dir_.string(),
                                   "--skip-log-bin",
                                   "--performance-schema=OFF",
                                   "--character-set-server=utf8mb4",
                                   "--collation-server=utf8mb4_general_ci",
                                   "--max-connections=100"};
  for (std::string& o : commonOptions()) argv.push_back(std::move(o));
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    error_ = std::string("fork failed: ") + std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    // The server goes when the test binary goes, even when it crashes.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(1);
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  pid_ = pid;
  return true;
}

bool MariaDbServer::waitUntilReady() {
  using clock = std::chrono::steady_clock;
  auto deadline = clock::now() + std::chrono::seconds(90);
  while (clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = 0;
      error_ = "mariadbd ended while starting:" + tail(readFile(dir_ / "error.log"), 15);
      return false;
    }
    if (portAccepts(port_) && fs::exists(socket_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  error_ = "mariadbd did not start in time:" + tail(readFile(dir_ / "error.log"), 15);
  stop();
  return false;
}

bool MariaDbServer::runSql(std::string_view sql, std::string* message, std::string_view database) {
  if (!available()) {
    if (message) *message = error_.empty() ? "the server is not running" : error_;
    return false;
  }
  static int counter = 0;
  fs::path file = dir_ / ("statement-" + std::to_string(++counter) + ".sql");
  {
    std::ofstream out(file, std::ios::binary);
    out << sql;
  }
  std::vector<std::string> argv = {clientProgram(),
                                   "--no-defaults",
                                   "--user=root",
                                   "--socket=" + socket_,
                                   "--batch",
                                   "--skip-column-names",
                                   "--default-character-set=utf8mb4"};
  if (!database.empty()) argv.push_back("--database=" + std::string(database));
  fs::path output = dir_ / ("statement-" + std::to_string(counter) + ".out");
  int rc = runProgram(argv, file, output);
  if (message) *message = readFile(output);
  std::error_code ec;
  fs::remove(file, ec);
  fs::remove(output, ec);
  return rc == 0;
}

bool MariaDbServer::runScript(const fs::path& file, std::string* message) {
  std::string text = readFile(file);
  if (text.empty()) {
    if (message) *message = "empty or missing script " + file.string();
    return false;
  }
  return runSql(text, message);
}

void MariaDbServer::stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    using clock = std::chrono::steady_clock;
    auto deadline = clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = 0;
  }
  if (!dir_.empty()) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    dir_.clear();
  }
}

fs::path seedFolder(std::string_view testFolder, const char* callerFile) {
  if (const char* root = std::getenv("TARNWICK_SOURCE_DIR"); root && *root)
    return fs::path(root) / "tests" / std::string(testFolder) / "sql";
  return fs::path(callerFile).parent_path() / "sql";
}

}  // namespace tw::testing
