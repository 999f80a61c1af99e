#include "cli/php_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "cli/cli.h"

namespace fs = std::filesystem;

namespace tw::cli {

namespace {

bool holdsPhp(const fs::path& folder) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".php" && entry.is_regular_file(ec)) return true;
  return false;
}

}  // namespace

int freePort(int wanted) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw CliError(std::string("cannot open a socket: ") + std::strerror(errno));
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(wanted));
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int error = errno;
    close(fd);
    throw CliError("127.0.0.1:" + std::to_string(wanted) + " is taken (" + std::strerror(error) +
                   "); give another --port, or --port 0 for any free one");
  }
  socklen_t length = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  close(fd);
  return ntohs(addr.sin_port);
}

bool portAnswers(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

DocumentRoot findDocumentRoot(const std::string& dest) {
  std::error_code ec;
  DocumentRoot root;
  root.app = dest;
  root.folder = dest;
  const fs::path router = fs::path(dest) / "router.php";
  const fs::path publicFolder = fs::path(dest) / "public";
  // public/ is the document root when the pages are there (a folder that
  // holds only a style sheet is not), or a router beside it says so.
  const bool routed = fs::is_regular_file(router, ec);
  if (fs::is_directory(publicFolder, ec) && (routed || holdsPhp(publicFolder)))
    root.folder = publicFolder.string();
  if (routed) root.router = router.string();
  return root;
}

void PhpServer::start(const DocumentRoot& root) {
  // No opcode cache: it would keep serving a page generated again within
  // its revalidation time (the preview and serve write pages while it runs).
  std::vector<std::string> args = {php_, "-d", "opcache.enable=0", "-S", "127.0.0.1:" + std::to_string(port_),
                                   "-t", root.folder};
  if (!root.router.empty()) args.push_back(root.router);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) throw CliError(std::string("cannot start php: ") + std::strerror(errno));
  if (pid_ == 0) {
    // A group of its own: Ctrl-C reaches tarnwick, which stops it. A
    // tarnwick killed outright takes it along too (the engine's thread,
    // which starts it, lasts as long as the program).
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(0);
    if (chdir(root.app.c_str()) != 0) _exit(126);
    if (!log_.empty()) {
      int fd = open(log_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
      if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
      }
    }
    for (const auto& [name, value] : environment_) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "tarnwick: error: cannot run %s: %s\n", php_.c_str(), std::strerror(errno));
    _exit(127);
  }
  setpgid(pid_, pid_);
  // Ready once it answers on its port, or gone.
  for (int i = 0; i < 200; ++i) {
    if (portAnswers(port_)) return;
    if (exited()) throw CliError(php_ + " -S did not start (see its message above)");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  throw CliError(php_ + " -S does not answer on 127.0.0.1:" + std::to_string(port_));
}

bool PhpServer::exited() {
  if (pid_ <= 0) return true;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return true;
  }
  return false;
}

void PhpServer::stop() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(-pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace tw::cli
