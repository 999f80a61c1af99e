// tarnwick studio: the JSON API through HTTP on 127.0.0.1, as the page uses
// it, and who may use it.
#include <gmock/gmock.h>
#include <httplib.h>

#include <regex>

#include "background_command.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class StudioTest : public BackgroundCommandTest {
 protected:
  // Starts `tarnwick studio` on the project and reads its address.
  void start(const fs::path& project, std::vector<std::string> extra = {"--no-preview"}) {
    std::vector<std::string> args = {"studio", project.string(), "--no-browser"};
    args.insert(args.end(), extra.begin(), extra.end());
    startCommand(args);
    std::smatch m;
    ASSERT_TRUE(waitFor(std::regex("http://127\\.0\\.0\\.1:([0-9]+)/\\?token=([0-9a-f]+)"), m))
        << "the studio did not start: " << output;
    port_ = std::stoi(m[1]);
    token_ = m[2];
  }

  httplib::Client client() {
    httplib::Client c("127.0.0.1", port_);
    c.set_read_timeout(120, 0);
    return c;
  }
  httplib::Headers headers() const { return {{"X-Tarnwick-Token", token_}}; }

  struct Answer {
    int status = 0;
    std::string body;
  };
  Answer get(const std::string& path, const httplib::Params& params = {}) {
    auto r = client().Get(path, params, headers());
    return r ? Answer{r->status, r->body} : Answer{};
  }
  Answer post(const std::string& path, const httplib::Params& params = {}) {
    auto r = client().Post(path, headers(), params);
    return r ? Answer{r->status, r->body} : Answer{};
  }

  // Polls the progress until `runs` generation runs ended; their result.
  std::string waitForRuns(int runs, const std::string& counter = "runs") {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    const std::regex count("\"" + counter + "\": ([0-9]+)");
    while (std::chrono::steady_clock::now() < deadline) {
      Answer a = get("/api/progress");
      std::smatch m;
      if (std::regex_search(a.body, m, count) && std::stoi(m[1]) >= runs) return a.body;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "<timed out>";
  }

  static void expectDatabaseSetting(const fs::path& project, const std::string& name, const std::string& value) {
    EXPECT_EQ(attribute(project, "/Project/Database", name), value) << name;
  }

  int port_ = 0;
  std::string token_;
};

TEST_F(StudioTest, OnlyTheTokenFromTheStudiosOwnPagesDrivesTheApi) {
  fs::path project = newShop();
  start(project);
  const std::string own = "http://127.0.0.1:" + std::to_string(port_);
  struct Case {
    const char* what;
    std::string method, path;
    httplib::Headers headers;
    int status;
  };
  const std::vector<Case> cases = {
      {"no token", "GET", "/api/tree", {}, 401},
      {"wrong token", "GET", "/api/tree", {{"X-Tarnwick-Token", std::string(token_.size(), 'a')}}, 401},
      {"a shorter token", "GET", "/api/tree", {{"X-Tarnwick-Token", token_.substr(1)}}, 401},
      {"wrong token, changing", "POST", "/api/set?table=orders&name=TblCaption&value=x", {{"X-Tarnwick-Token", "0"}}, 401},
      {"token, own origin", "GET", "/api/tree", {{"X-Tarnwick-Token", token_}, {"Origin", own}}, 200},
      {"token, foreign origin", "GET", "/api/tree", {{"X-Tarnwick-Token", token_}, {"Origin", "http://evil.example"}}, 403},
      {"token, foreign origin, changing",
       "POST",
       "/api/save",
       {{"X-Tarnwick-Token", token_}, {"Origin", "http://127.0.0.1:1"}},
       403},
      {"token, rebound host name", "GET", "/api/tree", {{"X-Tarnwick-Token", token_}, {"Host", "evil.example"}}, 403},
      {"token in the address", "GET", "/api/tree?token=" + token_, {}, 200},
      {"unknown call", "GET", "/api/nothing", {{"X-Tarnwick-Token", token_}}, 404},
      {"unknown call without token", "GET", "/api/nothing", {}, 401},
  };
  for (const Case& c : cases) {
    httplib::Client cl = client();
    auto r = c.method == "GET" ? cl.Get(c.path, c.headers) : cl.Post(c.path, c.headers, "", "text/plain");
    ASSERT_TRUE(r) << c.what;
    EXPECT_EQ(r->status, c.status) << c.what << ": " << r->body;
    if (c.status != 200) {
      EXPECT_THAT(r->body, Not(HasSubstr("orders"))) << c.what;
    }
  }
  // A refused change changed nothing.
  EXPECT_THAT(get("/api/tree").body, HasSubstr("\"dirty\": false"));
  // The page itself is served without the token; it holds nothing of the project.
  auto page = client().Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_THAT(page->body, HasSubstr("Tarnwick Studio"));
  EXPECT_THAT(page->body, Not(HasSubstr("orders")));
  EXPECT_EQ(client().Get("/studio.js")->status, 200);
}

TEST_F(StudioTest, EditsTheProjectAsTheCommandLineDoesAndSavesIt) {
  fs::path project = newShop();
  start(project);
  Answer tree = get("/api/tree");
  ASSERT_EQ(tree.status, 200) << tree.body;
  EXPECT_THAT(tree.body, HasSubstr("\"name\": \"customers\""));
  EXPECT_THAT(tree.body, HasSubstr("\"name\": \"big_orders\", \"type\": \"VIEW\""));

  // A field's settings come with what the catalogue says of them.
  Answer settings = get("/api/settings", {{"table", "orders"}, {"field", "total"}});
  ASSERT_EQ(settings.status, 200) << settings.body;
  EXPECT_THAT(settings.body, HasSubstr("\"name\": \"FldCaption\""));
  EXPECT_THAT(settings.body, HasSubstr("\"description\": \"Caption of the field on pages.\""));
  EXPECT_THAT(settings.body, HasSubstr("\"value\": \"Total\""));

  struct Case {
    const char* what;
    std::string path;
    httplib::Params params;
    int status;
    std::string answer;  // expected in the body
  };
  const std::vector<Case> cases = {
      {"a field setting", "/api/set", {{"table", "orders"}, {"field", "total"}, {"name", "FldCaption"}, {"value", "Amount"}}, 200, "\"FldCaption\": \"Amount\""},
      {"a number", "/api/set", {{"table", "orders"}, {"name", "TblRecPerPage"}, {"value", "50"}}, 200, "\"TblRecPerPage\": 50"},
      {"a Boolean", "/api/set", {{"table", "orders"}, {"field", "total"}, {"name", "FldBold"}, {"value", "True"}}, 200, "\"FldBold\": true"},
      {"a bad number", "/api/set", {{"table", "orders"}, {"name", "TblRecPerPage"}, {"value", "many"}}, 400, "TblRecPerPage takes a whole number"},
      {"an unknown setting", "/api/set", {{"table", "orders"}, {"name", "TblCaptoin"}, {"value", "x"}}, 400, "did you mean TblCaption"},
      {"a setting not kept", "/api/set", {{"table", "orders"}, {"name", "TblVar"}, {"value", "x"}}, 400, "not kept in the project file"},
      {"an unknown table", "/api/set", {{"table", "ordres"}, {"name", "TblCaption"}, {"value", "x"}}, 400, "orders"},
      {"no value", "/api/set", {{"table", "orders"}, {"name", "TblCaption"}}, 400, "one value for each name"},
      {"reorder a table", "/api/reorder", {{"table", "orders"}, {"position", "1"}}, 200, "\"tables\": [\n{\"name\": \"orders\""},
      {"reorder outside", "/api/reorder", {{"table", "orders"}, {"position", "9"}}, 400, "outside 1..3"},
      {"reorder no number", "/api/reorder", {{"table", "orders"}, {"position", "first"}}, 400, "must be a number"},
      {"add a custom view",
       "/api/add-view",
       {{"name", "dear_orders"}, {"sql", "SELECT id, total FROM orders WHERE total > 500"}},
       200,
       "{\"name\": \"total\", \"source_table\": \"orders\", \"source_field\": \"total\"}"},
      {"a view that fails", "/api/add-view", {{"name", "broken"}, {"sql", "SELECT nothing FROM nowhere"}}, 400, "broken"},
      {"a view named like a table", "/api/add-view", {{"name", "orders"}, {"sql", "SELECT 1"}}, 400, "holds orders already"},
      {"add a report", "/api/add-report", {{"name", "sales"}, {"from", "orders"}}, 200, "sales"},
      {"a report of nothing", "/api/add-report", {{"name", "r2"}, {"from", "nothing"}}, 400, "nothing"},
      {"add a chart", "/api/add-chart", {{"table", "orders"}, {"name", "by_day"}}, 200, "by_day"},
      {"remove a field", "/api/remove", {{"table", "customers"}, {"field", "email"}}, 200, "\"name\": \"customers\""},
      {"remove what is not there", "/api/remove", {{"table", "customers"}, {"field", "phone"}}, 400, "phone"},
  };
  for (const Case& c : cases) {
    Answer a = post(c.path, c.params);
    EXPECT_EQ(a.status, c.status) << c.what << ": " << a.body;
    EXPECT_THAT(a.body, HasSubstr(c.answer)) << c.what;
  }
  // Nothing is written before save.
  expectSettings(project, {{"orders", "total", "FldCaption", "Total"}});
  // Undo takes back the last change (the removed field comes back) and only it.
  Answer undone = post("/api/undo");
  EXPECT_EQ(undone.status, 200) << undone.body;
  EXPECT_THAT(undone.body, HasSubstr("remove email"));
  Answer saved = post("/api/save");
  ASSERT_EQ(saved.status, 200) << saved.body;
  expectSettings(project, {{"orders", "total", "FldCaption", "Amount"},
                           {"orders", "total", "FldBold", "1"},
                           {"orders", "", "TblRecPerPage", "50"},
                           {"orders", "", "TblSeq", "1"}});
  EXPECT_EQ(childNames(project, tableXPath("customers"), "Field", "FldName"),
            (std::vector<std::string>{"id", "name", "email"}));
  EXPECT_EQ(childNames(project, tableXPath("orders"), "Chart", "ChartName"), (std::vector<std::string>{"by_day"}));
  EXPECT_EQ(attribute(project, tableXPath("dear_orders"), "TblType"), "CUSTOMVIEW");
  EXPECT_EQ(attribute(project, tableXPath("sales"), "TblType"), "REPORT");
  EXPECT_EQ(post("/api/undo").status, 400) << "a save leaves nothing to undo";
  // What the command line sees is what the studio saved.
  RunResult shown = run({"show", project.string(), "orders", "total"});
  EXPECT_THAT(shown.out, HasSubstr("FldCaption = Amount"));

  // Another command changes the file: the studio does not overwrite it.
  ASSERT_EQ(run({"set", project.string(), "orders", "TblCaption=From elsewhere"}).code, 0);
  ASSERT_EQ(post("/api/set", {{"table", "orders"}, {"name", "TblCaption"}, {"value", "From the studio"}}).status, 200);
  Answer refused = post("/api/save");
  EXPECT_EQ(refused.status, 409) << refused.body;
  EXPECT_THAT(refused.body, HasSubstr("changed by another command"));
  expectSettings(project, {{"orders", "", "TblCaption", "From elsewhere"}});
}

TEST_F(StudioTest, ARemovedTableIsLeftOutOnlyOnceSaved) {
  struct Case {
    const char* what;
    std::vector<std::string> steps;  // API calls after the removal, in order
    bool inProject;                   // customers listed after the save
    bool leftOut;                     // customers in the left-out list after the save
  };
  const std::vector<Case> cases = {
      {"removed, undone, saved", {"undo", "save"}, true, false},
      {"removed, saved", {"save"}, false, true},
      {"removed, another change undone, saved", {"reorder", "undo", "save"}, false, true},
  };
  for (const Case& c : cases) {
    fs::path project = newShop(std::string("shop-") + std::to_string(&c - cases.data()) + ".xml");
    const fs::path leftOutFile = project.string() + ".left-out";
    start(project);
    ASSERT_EQ(post("/api/remove", {{"table", "customers"}}).status, 200) << c.what;
    EXPECT_FALSE(fs::exists(leftOutFile)) << c.what << ": written before the save";
    for (const std::string& step : c.steps) {
      Answer a = step == "reorder" ? post("/api/reorder", {{"table", "orders"}, {"position", "1"}})
                                   : post("/api/" + step);
      ASSERT_EQ(a.status, 200) << c.what << ", " << step << ": " << a.body;
    }
    const std::vector<std::string> tables = childNames(project, "/Project/Database", "Table", "TblName");
    EXPECT_EQ(std::find(tables.begin(), tables.end(), "customers") != tables.end(), c.inProject) << c.what;
    const std::string listed = fs::exists(leftOutFile) ? read(leftOutFile) : "";
    EXPECT_EQ(listed.find("\ncustomers\n") != std::string::npos, c.leftOut) << c.what << ": " << listed;
    // What the studio saved is what the command line checks against.
    RunResult checked = run({"check", project.string()});
    EXPECT_EQ(checked.code, 0) << c.what << ": " << checked.out << checked.err;
    kill();
  }
}

TEST_F(StudioTest, NoUndoSnapshotHoldsAPassword) {
  fs::path project = newShop();
  const std::string dbPassword = "db-secret-" + std::to_string(getpid()) + "-x7q";
  const std::string loginPassword = "login-secret-" + std::to_string(getpid()) + "-k2w";
  ASSERT_EQ(run({"set", project.string(), "--database", "DBPwd=" + dbPassword}).code, 0);
  std::set<fs::path> before;
  for (const auto& e : fs::directory_iterator("/tmp"))
    if (e.path().filename().string().starts_with("tarnwick-studio-")) before.insert(e.path());
  start(project);
  // Steps that keep a copy of the whole project for their undo.
  ASSERT_EQ(post("/api/set", {{"name", "SecPasswd"}, {"value", loginPassword}}).status, 200);
  ASSERT_EQ(post("/api/reorder", {{"table", "orders"}, {"position", "1"}}).status, 200);
  ASSERT_EQ(post("/api/set", {{"table", "orders"}, {"name", "TblName"}, {"value", "sales"}}).status, 200);
  ASSERT_EQ(post("/api/remove", {{"table", "customers"}, {"field", "email"}}).status, 200);
  int scanned = 0;
  for (const auto& e : fs::directory_iterator("/tmp")) {
    if (!e.path().filename().string().starts_with("tarnwick-studio-") || before.count(e.path())) continue;
    for (const auto& f : fs::recursive_directory_iterator(e.path())) {
      if (!f.is_regular_file()) continue;
      ++scanned;
      const std::string text = read(f.path());
      EXPECT_THAT(text, Not(HasSubstr(dbPassword))) << f.path();
      EXPECT_THAT(text, Not(HasSubstr(loginPassword))) << f.path();
    }
  }
  EXPECT_GE(scanned, 3) << "the undo snapshots were not found";
  // Undone, the project has its passwords back.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(post("/api/undo").status, 200);
  EXPECT_THAT(get("/api/settings", {{"database", "1"}}).body, HasSubstr("\"value\": \"" + dbPassword + "\""));
  EXPECT_THAT(get("/api/settings").body, HasSubstr("\"value\": \"" + loginPassword + "\""));
  ASSERT_EQ(post("/api/save").status, 200);
  expectDatabaseSetting(project, "DBPwd", dbPassword);
}

TEST_F(StudioTest, ChecksTheDatabaseAndSynchronisesWithRenamedFieldsPaired) {
  fs::path project = newShop();
  ASSERT_EQ(run({"set", project.string(), "customers", "name", "FldCaption=Full name"}).code, 0);
  start(project);
  Answer same = post("/api/check");
  ASSERT_EQ(same.status, 200) << same.body;
  EXPECT_THAT(same.body, HasSubstr("\"count\": 0"));
  execSqlite(shopDb(), "ALTER TABLE customers RENAME COLUMN name TO full_name; ALTER TABLE orders ADD COLUMN note TEXT;");
  Answer differs = post("/api/check");
  ASSERT_EQ(differs.status, 200) << differs.body;
  EXPECT_THAT(differs.body, Not(HasSubstr("\"count\": 0")));
  EXPECT_THAT(differs.body, HasSubstr("\"field\": \"note\""));
  EXPECT_THAT(differs.body, HasSubstr("renamed?"));
  Answer bad = post("/api/sync", {{"from", "name"}});
  EXPECT_EQ(bad.status, 400) << bad.body;
  Answer synced = post("/api/sync", {{"from", "name"}, {"to", "full_name"}, {"in", "customers"}});
  ASSERT_EQ(synced.status, 200) << synced.body;
  EXPECT_THAT(synced.body, HasSubstr("\"updated\": true"));
  // The renamed field kept its settings.
  Answer field = get("/api/settings", {{"table", "customers"}, {"field", "full_name"}});
  ASSERT_EQ(field.status, 200) << field.body;
  EXPECT_THAT(field.body, HasSubstr("\"value\": \"Full name\""));
  EXPECT_THAT(get("/api/tree").body, HasSubstr("\"name\": \"note\""));
  EXPECT_THAT(post("/api/check").body, HasSubstr("\"count\": 0"));
}

// A template whose one page shows the project's title and its tables' captions.
std::map<std::string, std::string> titleTemplate() {
  return {{"control.xml",
           "<TarnwickTemplate date=\"2026-01-01\" version=\"1.0\" desc=\"test\" author=\"tests\">\r\n"
           "<control id=\"index\" type=\"other\" ofile=\"index\" oext=\"php\" ifiles=\"index.php\"/>\r\n"
           "</TarnwickTemplate>\r\n"},
          {"lang.xml", "<tarnwick.language></tarnwick.language>"},
          {"index.php", "Title <!--##=PROJ.BodyTitle##-->\r\n"}};
}

TEST_F(StudioTest, GeneratesWithProgressAndPreviewsEachChange) {
  fs::path templ = makeTemplateFolder("tmpl", titleTemplate());
  fs::path project = newShop("shop.xml", {"--template", templ.string(), "--dest", (work() / "site").string()});
  ASSERT_EQ(run({"set", project.string(), "BodyTitle=First"}).code, 0);
  start(project, {});
  // The first preview, served by php -S on another loopback port.
  std::string first = waitForRuns(1, "preview_runs");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(first, m, std::regex("\"preview_url\": \"http://127\\.0\\.0\\.1:([0-9]+)/\""))) << first;
  const int previewPort = std::stoi(m[1]);
  EXPECT_NE(previewPort, port_);
  httplib::Client preview("127.0.0.1", previewPort);
  auto page = preview.Get("/index.php");
  ASSERT_TRUE(page);
  EXPECT_THAT(page->body, HasSubstr("Title First"));
  // A change is previewed without being saved or generated into the destination.
  ASSERT_EQ(post("/api/set", {{"name", "BodyTitle"}, {"value", "Second"}}).status, 200);
  waitForRuns(2, "preview_runs");
  EXPECT_THAT(preview.Get("/index.php")->body, HasSubstr("Title Second"));
  EXPECT_FALSE(fs::exists(work() / "site" / "index.php"));

  // Generation into the destination reports what it wrote.
  std::string before = get("/api/progress").body;
  ASSERT_TRUE(std::regex_search(before, m, std::regex("\"runs\": ([0-9]+)")));
  const int runs = std::stoi(m[1]);
  Answer started = post("/api/generate", {{"target", "destination"}});
  EXPECT_EQ(started.status, 202) << started.body;
  std::string done = waitForRuns(runs + 1);
  EXPECT_THAT(done, HasSubstr("\"ok\": true"));
  EXPECT_THAT(done, HasSubstr("\"target\": \"destination\""));
  EXPECT_THAT(done, HasSubstr("\"written\": [\"public/shop.css\", \"index.php\"]"));
  EXPECT_THAT(read(work() / "site" / "index.php"), HasSubstr("Title Second"));
  EXPECT_EQ(post("/api/generate", {{"target", "elsewhere"}}).status, 400);
}


TEST_F(StudioTest, ThePreviewMayBeFramedByTheStudioAlone) {
  fs::path project = newShop("shop.xml", {"--dest", (work() / "site").string(), "--no-login"});
  start(project, {});
  std::string first = waitForRuns(1, "preview_runs");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(first, m, std::regex("\"preview_url\": \"http://127\\.0\\.0\\.1:([0-9]+)/\""))) << first;
  httplib::Client preview("127.0.0.1", std::stoi(m[1]));
  const std::string studio = "http://127.0.0.1:" + std::to_string(port_);
  const std::string studioByName = "http://localhost:" + std::to_string(port_);
  for (const char* page : {"index.php", "customerslist.php", "customersadd.php"}) {
    auto r = preview.Get(std::string("/") + page);
    ASSERT_TRUE(r) << page;
    EXPECT_EQ(r->status, 200) << page << ": " << r->body.substr(0, 400);
    EXPECT_THAT(r->get_header_value("Content-Security-Policy"),
                ::testing::EndsWith("frame-ancestors " + studio + " " + studioByName))
        << page;
    EXPECT_FALSE(r->has_header("X-Frame-Options")) << page;
  }
  // The same application generated into its destination and served
  // elsewhere refuses every frame.
  ASSERT_EQ(post("/api/generate", {{"target", "destination"}}).status, 202);
  std::string done = waitForRuns(2);
  ASSERT_THAT(done, HasSubstr("\"target\": \"destination\""));
  EXPECT_THAT(read(work() / "site" / "lib" / "app.php"), HasSubstr("X-Frame-Options: DENY"));
  EXPECT_THAT(read(work() / "site" / "config.php"), Not(HasSubstr("127.0.0.1:" + std::to_string(port_))));
}


TEST_F(StudioTest, AChangeRemakesOnlyThePreviewPagesThatReadTheChangedObject) {
  fs::path project = newShop("shop.xml", {"--no-login"});
  start(project, {});
  waitForRuns(1, "preview_runs");
  std::smatch m;
  std::string first = get("/api/progress").body;
  ASSERT_TRUE(std::regex_search(first, m, std::regex("\"preview_url\": \"http://127\\.0\\.0\\.1:([0-9]+)/\""))) << first;
  httplib::Client preview("127.0.0.1", std::stoi(m[1]));
  struct Case {
    const char* what;
    httplib::Params change;
    std::vector<std::string> written;    // output files made again with new content
    std::vector<std::string> notRemade;  // output files whose pages were left as they were
    std::string page, shows;             // a preview page and what it shows now
    bool everything = false;             // every page made again
  };
  const std::vector<Case> cases = {
      {"a field of customers",
       {{"table", "customers"}, {"field", "name"}, {"name", "FldCaption"}, {"value", "Customer name"}},
       {"info/customersinfo.php"},
       {"public/orderslist.php", "info/ordersinfo.php", "public/ordersedit.php", "public/big_orderslist.php"},
       "/customersadd.php",
       "Customer name"},
      {"a table", {{"table", "orders"}, {"name", "TblCaption"}, {"value", "Sales orders"}}, {}, {}, "/orderslist.php", "Sales orders"},
      {"the project: every page again",
       {{"name", "BodyTitle"}, {"value", "Shop floor"}},
       {},
       {},
       "/customerslist.php",
       "Shop floor",
       true},
  };
  int runs = 1;
  for (const Case& c : cases) {
    ASSERT_EQ(post("/api/set", c.change).status, 200) << c.what;
    std::string done = waitForRuns(++runs, "preview_runs");
    ASSERT_THAT(done, HasSubstr("\"ok\": true")) << c.what;
    ASSERT_TRUE(std::regex_search(done, m, std::regex("\"not_remade\": \\[([^\\]]*)\\]"))) << done;
    const std::string notRemade = m[1];
    for (const std::string& f : c.notRemade) EXPECT_THAT(notRemade, HasSubstr("\"" + f + "\"")) << c.what;
    if (c.everything) {
      EXPECT_EQ(notRemade, "") << c.what;
    } else {
      EXPECT_NE(notRemade, "") << c.what << ": every page was made again";
    }
    ASSERT_TRUE(std::regex_search(done, m, std::regex("\"written\": \\[([^\\]]*)\\]"))) << done;
    const std::string written = m[1];
    for (const std::string& f : c.written) EXPECT_THAT(written, HasSubstr("\"" + f + "\"")) << c.what;
    auto r = preview.Get(c.page);
    ASSERT_TRUE(r) << c.what;
    EXPECT_THAT(r->body, HasSubstr(c.shows)) << c.what;
  }
}

TEST_F(StudioTest, ACancelledGenerationStopsAndLeavesNothingHalfWritten) {
  // Every table's page takes a while to make.
  fs::path templ = makeTemplateFolder(
      "slow", {{"control.xml",
                "<TarnwickTemplate date=\"2026-01-01\" version=\"1.0\" desc=\"test\" author=\"tests\">\r\n"
                "<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"list.php\"/>\r\n"
                "</TarnwickTemplate>\r\n"},
               {"lang.xml", "<tarnwick.language></tarnwick.language>"},
               {"list.php", "<!--##\r\nFor zz = 1 To 20000000\r\nNext\r\n##-->List of <!--##=TABLE.TblName##-->\r\n"}});
  fs::path project = newShop("shop.xml", {"--template", templ.string(), "--dest", (work() / "site").string()});
  ASSERT_EQ(run({"set", project.string(), "OutputNameType=", "OutputNameExt="}).code, 0);
  start(project);
  for (int i = 0; i < 6; ++i)
    ASSERT_EQ(post("/api/add-view", {{"name", "v" + std::to_string(i)}, {"sql", "SELECT id, total FROM orders"}}).status,
              200);
  ASSERT_EQ(post("/api/generate", {{"target", "destination"}}).status, 202);
  // Running: cancel it.
  std::string running;
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
       std::chrono::steady_clock::now() < deadline;) {
    running = get("/api/progress").body;
    if (running.find("\"running\": true") != std::string::npos &&
        running.find("\"target\": \"destination\"") != std::string::npos)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_THAT(running, HasSubstr("\"running\": true"));
  Answer cancelled = post("/api/cancel");
  EXPECT_EQ(cancelled.status, 200) << cancelled.body;
  std::string done = waitForRuns(1);
  EXPECT_THAT(done, HasSubstr("\"cancelled\": true")) << done;
  EXPECT_THAT(done, HasSubstr("\"running\": false")) << done;
  // Some pages were not made; no file is left half-written or as a temporary.
  int pages = 0;
  if (fs::exists(work() / "site"))
    for (const auto& e : fs::recursive_directory_iterator(work() / "site")) {
      if (!e.is_regular_file()) continue;
      const std::string name = e.path().filename().string();
      EXPECT_FALSE(name.ends_with(".tmp")) << e.path();
      if (name.ends_with("list.php")) {
        ++pages;
        EXPECT_THAT(read(e.path()), ::testing::MatchesRegex("List of [a-z0-9_]+\r?\n")) << e.path();
      }
    }
  EXPECT_LT(pages, 9) << "the run was not cut short";
  // The studio goes on: the project still answers.
  EXPECT_EQ(get("/api/tree").status, 200);
}

}  // namespace
}  // namespace tw::testing
