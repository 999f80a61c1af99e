// tarnwick serve: generates, serves the pages with php -S on 127.0.0.1,
// generates again when the project changes, and stops on Ctrl-C (SIGINT).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gmock/gmock.h>

#include <chrono>
#include <regex>
#include <thread>

#include "background_command.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;

class ServeTest : public BackgroundCommandTest {
 protected:
  // Asks again (at most a minute) until the page holds `text`.
  bool pageShows(int port, const std::string& path, const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      if (httpGet(port, path).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
  }
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
    startCommand({"serve", projectName, "--port", "0", "--interval", "0.2"});
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
    EXPECT_EQ(interrupt(), 0) << c.layout;
    EXPECT_EQ(httpGet(port, "/index.php"), "") << c.layout;
    // Killed outright, it leaves no PHP server behind.
    startCommand({"serve", projectName, "--port", "0", "--interval", "0.2"});
    ASSERT_TRUE(waitFor("Ctrl-C stops")) << c.layout << "\n" << output;
    ASSERT_TRUE(std::regex_search(output, m, std::regex(R"(at http://127\.0\.0\.1:([0-9]+)/)"))) << output;
    const int killedPort = std::stoi(m[1]);
    ASSERT_TRUE(pageShows(killedPort, "/index.php", "Project Changed")) << c.layout;
    kill();
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
      gone = httpGet(killedPort, "/index.php").empty();
      if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(gone) << c.layout << ": the PHP server outlived tarnwick";
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
