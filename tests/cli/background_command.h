#pragma once
// A tarnwick command that keeps running while a test talks to it (serve,
// studio): started with its output on a pipe, read until a text or pattern
// shows, stopped with Ctrl-C or killed when the test ends; and one HTTP GET
// on 127.0.0.1.
#include <signal.h>
#include <sys/prctl.h>

#include <httplib.h>

#include <regex>

#include "cli_fixture.h"

namespace tw::testing {

class BackgroundCommandTest : public CliTest {
 protected:
  void TearDown() override {
    kill();
    CliTest::TearDown();
  }

  // Starts `tarnwick ARGS...`; what it prints is read by waitFor into `output`.
  void startCommand(const std::vector<std::string>& args) {
    kill();
    output.clear();
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    std::vector<std::string> envText = environment();
    std::vector<std::string> program = {TARNWICK_CLI};
    program.insert(program.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
      // A test that ends early takes the command down with it.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      dup2(pipeFds[1], 1);
      int null = open("/dev/null", O_RDONLY);
      dup2(null, 0);
      close(pipeFds[0]);
      close(pipeFds[1]);
      exec(program, envText);
    }
    close(pipeFds[1]);
    out_ = pipeFds[0];
  }

  // Reads the command's output until it holds `text` (at most a minute).
  bool waitFor(const std::string& text) {
    return readUntil([&] { return output.find(text) != std::string::npos; });
  }
  // Reads until `pattern` matches the output; `m` holds the match.
  bool waitFor(const std::regex& pattern, std::smatch& m) {
    return readUntil([&] { return std::regex_search(output, m, pattern); });
  }

  // Ctrl-C; the command's exit code.
  int interrupt() {
    ::kill(pid_, SIGINT);
    int code = wait(pid_);
    pid_ = -1;
    return code;
  }
  void kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    if (out_ >= 0) close(out_);
    out_ = -1;
  }

  // One GET on 127.0.0.1:port; the body, or empty when nobody answers.
  static std::string httpGet(int port, const std::string& path) {
    httplib::Client c("127.0.0.1", port);
    c.set_connection_timeout(10, 0);
    c.set_read_timeout(60, 0);
    auto r = c.Get(path);
    return r ? r->body : std::string();
  }

  std::string output;

 private:
  bool readUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline || out_ < 0) return false;
      pollfd fd{out_, POLLIN, 0};
      if (poll(&fd, 1, 200) <= 0) continue;
      char buf[4096];
      ssize_t n = ::read(out_, buf, sizeof buf);
      if (n <= 0) return false;
      output.append(buf, static_cast<size_t>(n));
    }
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
};

}  // namespace tw::testing
