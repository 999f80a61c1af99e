#pragma once
// A private MariaDB server for tests: a fresh data directory in a temp
// folder, mariadbd listening on a free loopback port and on its own socket,
// stopped and deleted when the test binary ends. Tests never touch a server
// of the system.
//
// The server starts on the first call of MariaDbServer::shared() and serves
// every test of the binary (benchmarks use it as well). The data directory is a copy of a pristine one
// made once with mariadb-install-db (kept beside the temp folders and keyed
// by the installed server's identity), so a start costs about a second.
//
//   auto& server = tw::testing::MariaDbServer::shared();
//   ASSERT_TRUE(server.available()) << server.error();
//   ASSERT_TRUE(server.runScript(seedDir() / "types.sql"));
#include <filesystem>
#include <string>
#include <string_view>

namespace tw::testing {

class MariaDbServer {
 public:
  // The binary's server, started on first use.
  static MariaDbServer& shared();
  // The binary's server when it was started, else null.
  static MariaDbServer* sharedIfStarted();
  // True when the server binaries are installed (tests skip without them).
  static bool installed();

  bool available() const noexcept { return pid_ > 0; }
  // Why the server is not available.
  const std::string& error() const noexcept { return error_; }
  int port() const noexcept { return port_; }
  std::string host() const { return "127.0.0.1"; }
  const std::string& socketPath() const noexcept { return socket_; }
  const std::filesystem::path& directory() const noexcept { return dir_; }

  // Runs SQL as root through the command-line client (batch mode, tab
  // separated, no column names). On failure returns false and puts the
  // client's message into `message` (when given); on success `message`
  // receives the output.
  bool runSql(std::string_view sql, std::string* message = nullptr, std::string_view database = {});
  bool runScript(const std::filesystem::path& file, std::string* message = nullptr);

  // Stops the server and deletes its folder (also done at exit).
  void stop();

  MariaDbServer(const MariaDbServer&) = delete;
  MariaDbServer& operator=(const MariaDbServer&) = delete;

 private:
  MariaDbServer() = default;
  ~MariaDbServer();
  bool start();
  bool launch();
  bool waitUntilReady();

  std::filesystem::path dir_;
  std::string socket_;
  std::string error_;
  int port_ = 0;
  int pid_ = 0;
  bool tried_ = false;
};

// Folder of the seed scripts of a test folder: $TARNWICK_SOURCE_DIR/tests/<folder>/sql
// when set, else the folder beside the calling source file.
std::filesystem::path seedFolder(std::string_view testFolder, const char* callerFile);

}  // namespace tw::testing
