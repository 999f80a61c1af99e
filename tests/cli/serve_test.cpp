// tarnwick serve: generates, serves the pages with php -S on 127.0.0.1,
// generates again when the project changes, and stops on Ctrl-C (SIGINT).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>

#include <gmock/gmock.h>

#include <regex>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;

// One HTTP GET on 127.0.0.1; the whole answer, or empty when nobody answers.
std::string httpGet(int port, const std::string& path) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return {};
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  timeval timeout{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return {};
  }
  std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  if (::write(fd, request.data(), request.size()) < 0) {
    close(fd);
    return {};
  }
  std::string answer;
  char buf[4096];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) answer.append(buf, static_cast<size_t>(n));
  close(fd);
  return answer;
}

class ServeTest : public CliTest {
 protected:
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    CliTest::TearDown();
  }

  // Starts `tarnwick serve` in the background; its stdout is read by
  // waitFor.
  void start(const std::vector<std::string>& args) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    std::vector<std::string> envText = environment();
    std::vector<std::string> program = {TARNWICK_CLI};
    program.insert(program.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
      // A test that ends early takes the server down with it.
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

  // Reads the server's output until it holds `text` (at most a minute).
  bool waitFor(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (output.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd fd{out_, POLLIN, 0};
      if (poll(&fd, 1, 200) <= 0) continue;
      char buf[4096];
      ssize_t n = ::read(out_, buf, sizeof buf);
      if (n <= 0) return false;
      output.append(buf, static_cast<size_t>(n));
    }
    return true;
  }

  // Asks again (at most a minute) until the page holds `text`.
  bool pageShows(int port, const std::string& path, const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      if (httpGet(port, path).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
  }

  int stop() {
    kill(pid_, SIGINT);
    int code = wait(pid_);
    pid_ = -1;
    return code;
  }

  std::string output;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

TEST_F(ServeTest, ServesTheGeneratedPagesAndGeneratesAgainAfterAChange) {
  // The pages straight in the destination, and a public/ document root with
  // a router script beside it.
  struct Case {
    std::string layout;
    std::map<std::string, std::string> files;
    std::string rootPage;  // what / answers
  };
  const std::string control =
      "<TarnwickTemplate date=\"2026-01-01\" version=\"1.0\" desc=\"test\" author=\"tests\">\r\n";
  const std::vector<Case> cases = {
      {"destination",
       {{"control.xml",
         control +
             "<control id=\"index\" type=\"other\" ofile=\"index\" oext=\"php\" ifiles=\"index.php\"/>\r\n"
             "</TarnwickTemplate>\r\n"},
        {"lang.xml", "<tarnwick.language></tarnwick.language>"},
        {"index.php", "Project <!--##=PROJ.ProjName##-->\r\n"}},
       "Project shop"},
      {"public",
       {{"control.xml",
         control +
             "<control id=\"index\" type=\"other\" ofile=\"index\" oext=\"php\" ofolder=\"public\" "
             "ifiles=\"index.php\"/>\r\n"
             "<control id=\"router\" type=\"other\" ofile=\"router\" oext=\"php\" ifiles=\"router.php\"/>\r\n"
             "</TarnwickTemplate>\r\n"},
        {"lang.xml", "<tarnwick.language></tarnwick.language>"},
        {"index.php", "Project <!--##=PROJ.ProjName##-->\r\n"},
        {"router.php",
         "<?php if (($_SERVER['REQUEST_URI'] ?? '') === '/') { echo 'routed'; return true; } return "
         "false;\r\n"}},
       "routed"},
  };
  for (const Case& c : cases) {
    fs::path folder = makeTemplateFolder("tpl-" + c.layout, c.files);
    std::string projectName = c.layout + ".xml";
    newShop(projectName, {"--template", folder.string(), "--dest", "site-" + c.layout});
    ASSERT_EQ(run({"set", projectName, "ProjName=shop", "OutputNameType=", "OutputNameExt="}).code, 0);
    output.clear();
    start({"serve", projectName, "--port", "0", "--interval", "0.2"});
    ASSERT_TRUE(waitFor("Ctrl-C stops")) << c.layout << "\n" << output;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(output, m, std::regex(R"(at http://127\.0\.0\.1:([0-9]+)/)"))) << output;
    const int port = std::stoi(m[1]);
    EXPECT_TRUE(pageShows(port, "/index.php", "Project shop")) << c.layout;
    EXPECT_TRUE(pageShows(port, "/", c.rootPage)) << c.layout;
    // A change of the project file is served without a restart.
    ASSERT_EQ(run({"set", projectName, "ProjName=Changed"}).code, 0);
    EXPECT_TRUE(pageShows(port, "/index.php", "Project Changed")) << c.layout << "\n" << output;
    EXPECT_TRUE(waitFor("the project file changed")) << output;
    // Ctrl-C stops the server and the program cleanly.
    EXPECT_EQ(stop(), 0) << c.layout;
    EXPECT_EQ(httpGet(port, "/index.php"), "") << c.layout;
  }
}

TEST_F(ServeTest, ATakenPortIsRefusedWithAHint) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(fd, 1), 0);
  socklen_t length = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  const std::string port = std::to_string(ntohs(addr.sin_port));
  newShop("shop.xml", {"--dest", "site"});
  RunResult r = run({"serve", "shop.xml", "--port", port});
  close(fd);
  EXPECT_EQ(r.code, 1) << r;
  EXPECT_THAT(r.err, HasSubstr("127.0.0.1:" + port + " is taken"));
  EXPECT_THAT(r.err, HasSubstr("--port 0"));
}

}  // namespace
}  // namespace tw::testing
