#pragma once
// A private PostgreSQL server for tests: a fresh cluster in a temp folder,
// postgres listening on a free loopback port with its socket in that folder,
// stopped and deleted when the test binary ends. Tests never touch a server
// of the system.
//
// The server starts on the first call of PostgresServer::shared() and serves
// every test of the binary (benchmarks use it as well). The cluster is a copy
// of a pristine one made once with initdb (kept beside the temp folders and
// keyed by the installed server's identity). The server refuses to run as
// root, so under root the cluster belongs to, and the server runs as, the
// "postgres" account (or "nobody" when there is none).
//
//   auto& server = tw::testing::PostgresServer::shared();
//   ASSERT_TRUE(server.available()) << server.error();
//   ASSERT_TRUE(server.runSql("CREATE DATABASE shop"));
#include <filesystem>
#include <string>
#include <string_view>

namespace tw::testing {

class PostgresServer {
 public:
  // The binary's server, started on first use.
  static PostgresServer& shared();
  // The binary's server when it was started, else null.
  static PostgresServer* sharedIfStarted();
  // True when the server binaries are installed (tests skip without them).
  static bool installed();
  // The folder of initdb, postgres and pg_dump ("" when not installed).
  static std::string binaryFolder();

  bool available() const noexcept { return pid_ > 0; }
  // Why the server is not available.
  const std::string& error() const noexcept { return error_; }
  int port() const noexcept { return port_; }
  std::string host() const { return "127.0.0.1"; }
  // The superuser every cluster is made with: trusted on the socket (which
  // psql uses); connections over TCP need a role with a password.
  static std::string superuser() { return "postgres"; }
  const std::filesystem::path& directory() const noexcept { return dir_; }

  // Runs SQL as the superuser through psql (stops at the first error;
  // unaligned, tab separated, no column names). On failure returns false and
  // puts psql's message into `message` (when given); on success `message`
  // receives the output. `database` defaults to "postgres".
  bool runSql(std::string_view sql, std::string* message = nullptr, std::string_view database = {});
  bool runScript(const std::filesystem::path& file, std::string* message = nullptr,
                 std::string_view database = {});
  // Drops (when present) and creates a database owned by the superuser.
  bool recreateDatabase(std::string_view name, std::string* message = nullptr);

  // Stops the server and deletes its folder (also done at exit).
  void stop();

  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

 private:
  PostgresServer() = default;
  ~PostgresServer();
  bool start();
  bool launch();
  bool waitUntilReady();

  std::filesystem::path dir_;
  std::string error_;
  int port_ = 0;
  int pid_ = 0;
  bool tried_ = false;
};

// True when tests run in continuous integration (CI=true): a missing server
// fails there instead of skipping.
bool runningInCi();

}  // namespace tw::testing
