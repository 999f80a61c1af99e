#include "testing/postgres_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// The account the server runs as when the tests run as root.
struct Account {
  uid_t uid = 0;
  gid_t gid = 0;
  bool change = false;  // false: run as the current user
};

Account serverAccount() {
  Account a;
  if (::geteuid() != 0) return a;
  for (const char* name : {"postgres", "nobody"}) {
    if (const passwd* pw = ::getpwnam(name)) {
      a.uid = pw->pw_uid;
      a.gid = pw->pw_gid;
      a.change = true;
      return a;
    }
  }
  return a;
}

// The newest installed server's bin folder: /usr/lib/postgresql/<version>/bin.
std::string findBinaryFolder() {
  std::error_code ec;
  std::vector<std::pair<int, fs::path>> found;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
    fs::path bin = entry.path() / "bin";
    if (::access((bin / "postgres").c_str(), X_OK) == 0 && ::access((bin / "initdb").c_str(), X_OK) == 0)
      found.emplace_back(std::atoi(entry.path().filename().c_str()), bin);
  }
  if (found.empty()) return {};
  std::sort(found.begin(), found.end());
  return found.back().second.string();
}

// The server's own psql (Debian's /usr/bin/psql is a wrapper script that
// picks a version first).
std::string psqlProgram() {
  std::string folder = PostgresServer::binaryFolder();
  if (!folder.empty() && ::access((folder + "/psql").c_str(), X_OK) == 0) return folder + "/psql";
  for (const char* p : {"/usr/bin/psql", "/usr/local/bin/psql"})
    if (::access(p, X_OK) == 0) return p;
  return {};
}

// Runs a program (as `account` when it says so) with stdin from a file (or
// /dev/null) and stdout and stderr into a file; returns its exit status, or
// -1 when it could not run.
int runProgram(const std::vector<std::string>& argv, const fs::path& input, const fs::path& output,
               const Account& account = {}) {
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int in = ::open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
    int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (account.change &&
        (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 || ::setuid(account.uid) != 0))
      ::_exit(125);
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
  socklen_t len = sizeof addr;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  ::close(fd);
  return port;
}

fs::path tempBase() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

// Gives a folder tree to the server's account.
void handOver(const fs::path& dir, const Account& account) {
  if (!account.change) return;
  if (::chown(dir.c_str(), account.uid, account.gid) != 0) return;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    (void)::lchown(it->path().c_str(), account.uid, account.gid);
}

// A pristine cluster made once per installed server binary and copied for
// each test server.
bool templateCluster(fs::path& out, std::string& error) {
  std::string bin = PostgresServer::binaryFolder();
  struct stat st {};
  if (bin.empty() || ::stat((bin + "/postgres").c_str(), &st) != 0) {
    error = "no PostgreSQL server binary";
    return false;
  }
  Account account = serverAccount();
  fs::path base = tempBase();
  fs::path final = base / ("tarnwick-postgres-template-" + std::to_string(::getuid()) + "-" +
                           std::to_string(st.st_size) + "-" + std::to_string(st.st_mtime));
  std::error_code ec;
  if (fs::exists(final / "data" / "PG_VERSION", ec)) {
    out = final / "data";
    return true;
  }
  fs::path work = base / (final.filename().string() + "-work-" + std::to_string(::getpid()));
  fs::remove_all(work, ec);
  fs::create_directories(work, ec);
  handOver(work, account);
  std::vector<std::string> argv = {bin + "/initdb",   "--pgdata=" + (work / "data").string(),
                                   "--username=postgres", "--auth-local=trust",
                                   "--auth-host=scram-sha-256",
                                   "--encoding=UTF8",  "--locale=C.UTF-8",
                                   "--no-sync",        "--no-instructions"};
  int rc = runProgram(argv, {}, work / "initdb.log", account);
  if (rc != 0) {
    error = "initdb failed (" + std::to_string(rc) + "):" + tail(readFile(work / "initdb.log"), 15);
    fs::remove_all(work, ec);
    return false;
  }
  // Another test binary may have made it meanwhile; either copy will do.
  if (::rename(work.c_str(), final.c_str()) != 0) fs::remove_all(work, ec);
  out = final / "data";
  return fs::exists(out / "PG_VERSION", ec);
}

bool& sharedStarted() {
  static bool started = false;
  return started;
}

}  // namespace

std::string PostgresServer::binaryFolder() {
  static const std::string folder = findBinaryFolder();
  return folder;
}

bool PostgresServer::installed() { return !binaryFolder().empty() && !psqlProgram().empty(); }

bool runningInCi() {
  const char* ci = std::getenv("CI");
  return ci && std::string_view(ci) == "true";
}

PostgresServer& PostgresServer::shared() {
  // Never destroyed: the environment's TearDown (or the atexit hook) stops it.
  static PostgresServer* server = [] {
    auto* s = new PostgresServer();
    std::atexit([] { PostgresServer::shared().stop(); });
    return s;
  }();
  if (!server->tried_) {
    server->tried_ = true;
    sharedStarted() = true;
    server->start();
  }
  return *server;
}

PostgresServer* PostgresServer::sharedIfStarted() { return sharedStarted() ? &shared() : nullptr; }

PostgresServer::~PostgresServer() { stop(); }

bool PostgresServer::start() {
  if (!installed()) {
    error_ = "postgresql is not installed";
    return false;
  }
  fs::path data;
  if (!templateCluster(data, error_)) return false;
  std::string pattern = (tempBase() / "tarnwick-postgres-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    error_ = std::string("cannot make a temp folder: ") + std::strerror(errno);
    return false;
  }
  dir_ = pattern;
  std::error_code ec;
  fs::copy(data, dir_ / "data", fs::copy_options::recursive, ec);
  if (ec) {
    error_ = "cannot copy the cluster: " + ec.message();
    return false;
  }
  fs::permissions(dir_ / "data", fs::perms::owner_all, fs::perm_options::replace, ec);
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::replace, ec);
  handOver(dir_, serverAccount());
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

bool PostgresServer::launch() {
  // No syncing and small buffers: the data is thrown away.
  std::vector<std::string> argv = {binaryFolder() + "/postgres",
                                   "-D",
                                   (dir_ / "data").string(),
                                   "-c",
                                   "listen_addresses=127.0.0.1",
                                   "-c",
                                   "port=" + std::to_string(port_),
                                   "-c",
                                   "unix_socket_directories=" + dir_.string(),
                                   "-c",
                                   "fsync=off",
                                   "-c",
                                   "synchronous_commit=off",
                                   "-c",
                                   "full_page_writes=off",
                                   "-c",
                                   "shared_buffers=32MB",
                                   "-c",
                                   "max_connections=60",
                                   "-c",
                                   "logging_collector=off"};
  // Statement counts for tests that check how many queries a read takes.
  std::error_code ec;
  if (fs::exists(fs::path(binaryFolder()).parent_path().parent_path().parent_path().parent_path() / "share" /
                     "postgresql" / fs::path(binaryFolder()).parent_path().filename() / "extension" /
                     "pg_stat_statements.control",
                 ec)) {
    argv.push_back("-c");
    argv.push_back("shared_preload_libraries=pg_stat_statements");
  }
  Account account = serverAccount();
  fs::path log = dir_ / "server.log";
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    error_ = std::string("fork failed: ") + std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(null, 0);
    ::dup2(out < 0 ? null : out, 1);
    ::dup2(out < 0 ? null : out, 2);
    if (account.change &&
        (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 || ::setuid(account.uid) != 0))
      ::_exit(125);
    // The server goes when the test binary goes, even when it crashes (set
    // after the change of account, which clears it).
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  pid_ = pid;
  return true;
}

bool PostgresServer::waitUntilReady() {
  using clock = std::chrono::steady_clock;
  auto deadline = clock::now() + std::chrono::seconds(90);
  std::string conninfo =
      "host=127.0.0.1 port=" + std::to_string(port_) + " user=postgres dbname=postgres connect_timeout=2";
  while (clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = 0;
      error_ = "postgres ended while starting:" + tail(readFile(dir_ / "server.log"), 15);
      return false;
    }
    if (PQping(conninfo.c_str()) == PQPING_OK) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  error_ = "postgres did not start in time:" + tail(readFile(dir_ / "server.log"), 15);
  stop();
  return false;
}

bool PostgresServer::runSql(std::string_view sql, std::string* message, std::string_view database) {
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
  std::vector<std::string> argv = {psqlProgram(),
                                   "--no-psqlrc",
                                   "--quiet",
                                   "--set=ON_ERROR_STOP=1",
                                   "--no-align",
                                   "--tuples-only",
                                   "--field-separator=\t",
                                   "--host=" + dir_.string(),
                                   "--port=" + std::to_string(port_),
                                   "--username=postgres",
                                   "--dbname=" + std::string(database.empty() ? "postgres" : database),
                                   "--file=" + file.string()};
  fs::path output = dir_ / ("statement-" + std::to_string(counter) + ".out");
  int rc = runProgram(argv, {}, output);
  if (message) *message = readFile(output);
  std::error_code ec;
  fs::remove(file, ec);
  fs::remove(output, ec);
  return rc == 0;
}

bool PostgresServer::runScript(const fs::path& file, std::string* message, std::string_view database) {
  std::string text = readFile(file);
  if (text.empty()) {
    if (message) *message = "empty or missing script " + file.string();
    return false;
  }
  return runSql(text, message, database);
}

bool PostgresServer::recreateDatabase(std::string_view name, std::string* message) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  quoted += '"';
  return runSql("DROP DATABASE IF EXISTS " + quoted + " WITH (FORCE);\nCREATE DATABASE " + quoted +
                    " TEMPLATE template0 ENCODING 'UTF8';\n",
                message);
}

void PostgresServer::stop() {
  if (pid_ > 0) {
    // SIGINT: fast shutdown (no waiting for clients).
    ::kill(pid_, SIGINT);
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

}  // namespace tw::testing
