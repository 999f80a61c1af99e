// A database server that lets the user log in and then answers nothing
// more: the run ends when the connection's time-out passes, or at once on
// Ctrl-C, and writes nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;

// Speaks the server's side of the MySQL protocol up to a successful log-in
// (any user and password pass), then reads what the client sends and never
// answers. Listens on 127.0.0.1 on a port of its own.
class SilentServer {
 public:
  SilentServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener_, 4);
    socklen_t length = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~SilentServer() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
    for (int fd : clients_) ::close(fd);
  }
  int port() const { return port_; }
  // Waits until a logged-in client has sent a command that stays unanswered.
  bool waitForCommand() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return commands_ > 0; });
  }

 private:
  static void packet(int fd, uint8_t sequence, const std::string& payload) {
    std::string bytes;
    bytes += static_cast<char>(payload.size() & 0xff);
    bytes += static_cast<char>((payload.size() >> 8) & 0xff);
    bytes += static_cast<char>((payload.size() >> 16) & 0xff);
    bytes += static_cast<char>(sequence);
    bytes += payload;
    [[maybe_unused]] ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }
  static bool readPacket(int fd, std::string& payload) {
    unsigned char header[4];
    size_t got = 0;
    while (got < 4) {
      ssize_t n = ::recv(fd, header + got, 4 - got, 0);
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
    }
    size_t length = header[0] | header[1] << 8 | header[2] << 16;
    payload.assign(length, '\0');
    got = 0;
    while (got < length) {
      ssize_t n = ::recv(fd, payload.data() + got, length - got, 0);
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
    }
    return true;
  }
  void serve() {
    while (!stop_) {
      int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      clients_.push_back(fd);
      // Handshake: protocol 10, native password authentication.
      const uint32_t capabilities = 0x00000001 | 0x00000008 | 0x00000200 | 0x00002000 | 0x00008000 | 0x00080000;
      std::string hello;
      hello += '\x0a';
      hello += std::string("5.5.5-10.11.0-MariaDB") + '\0';
      hello += std::string("\x01\x00\x00\x00", 4);
      hello += "abcdefgh";
      hello += '\0';
      hello += static_cast<char>(capabilities & 0xff);
      hello += static_cast<char>((capabilities >> 8) & 0xff);
      hello += '\x2d';  // utf8mb4
      hello += std::string("\x02\x00", 2);
      hello += static_cast<char>((capabilities >> 16) & 0xff);
      hello += static_cast<char>((capabilities >> 24) & 0xff);
      hello += '\x15';
      hello += std::string(10, '\0');
      hello += "ijklmnopqrst";
      hello += '\0';
      hello += std::string("mysql_native_password") + '\0';
      packet(fd, 0, hello);
      std::string reply;
      if (!readPacket(fd, reply)) continue;
      packet(fd, 2, std::string("\x00\x00\x00\x02\x00\x00\x00", 7));  // OK
      // From here on: read, never answer.
      while (readPacket(fd, reply)) {
        std::lock_guard lock(mutex_);
        ++commands_;
        changed_.notify_all();
      }
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::vector<int> clients_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int commands_ = 0;
};

class UnresponsiveServerTest : public CliTest {
 protected:
  std::string url() const { return "mysql://ann:pw@127.0.0.1:" + std::to_string(server.port()) + "/shop"; }
  SilentServer server;
};

TEST_F(UnresponsiveServerTest, TheRunEndsWhenTheTimeOutPasses) {
  setEnv("TARNWICK_DB_TIMEOUT", "1");
  RunResult r = run({"new", "shop.xml", "--db", url()});
  EXPECT_EQ(r.code, 1) << r;
  EXPECT_THAT(r.err, HasSubstr("mysql://ann@127.0.0.1:"));
  EXPECT_FALSE(fs::exists(work() / "shop.xml"));
}

TEST_F(UnresponsiveServerTest, TheFirstCtrlCEndsTheWait) {
  setEnv("TARNWICK_DB_TIMEOUT", "600");
  std::thread interrupter;
  onStart = [&](pid_t pid) {
    interrupter = std::thread([this, pid] {
      if (server.waitForCommand()) ::kill(pid, SIGINT);
    });
  };
  RunResult r = run({"new", "shop.xml", "--db", url()});
  interrupter.join();
  EXPECT_EQ(r.code, 130) << r;
  EXPECT_THAT(r.err, HasSubstr("cancelled"));
  EXPECT_FALSE(fs::exists(work() / "shop.xml"));
}

}  // namespace
}  // namespace tw::testing
