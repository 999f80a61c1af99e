#pragma once
// PHP's built-in web server on the loopback address, serving a generated
// application (tarnwick serve, the studio's preview).
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace tw::cli {

// A port on the loopback address that nobody listens on: `wanted`, or any
// free one for 0.
int freePort(int wanted);
// Something listens on the loopback port.
bool portAnswers(int port);

// Where the application's public files are, and the router script PHP's
// server runs every request through: a public/ document root below the
// destination when the template makes one, else the destination itself.
struct DocumentRoot {
  std::string app;     // the destination: the server runs there
  std::string folder;  // what it serves
  std::string router;  // empty: none
};
DocumentRoot findDocumentRoot(const std::string& dest);

// php -S 127.0.0.1:PORT in a process group of its own; stopped when the
// object goes.
class PhpServer {
 public:
  PhpServer(std::string php, int port) : php_(std::move(php)), port_(port) {}
  ~PhpServer() { stop(); }
  PhpServer(const PhpServer&) = delete;
  PhpServer& operator=(const PhpServer&) = delete;

  // Starts it and waits until it answers; throws CliError when it does not.
  void start(const DocumentRoot& root);
  bool exited();
  void stop();
  int port() const { return port_; }
  // Where the server's own messages go (a file); ours when empty.
  void setLog(std::string file) { log_ = std::move(file); }
  // A variable of the server's environment (and so of the application's),
  // set before start().
  void setEnvironment(std::string name, std::string value) {
    environment_.emplace_back(std::move(name), std::move(value));
  }

 private:
  std::string php_;
  int port_;
  pid_t pid_ = -1;
  std::string log_;
  std::vector<std::pair<std::string, std::string>> environment_;
};

}  // namespace tw::cli
