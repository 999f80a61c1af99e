// tarnwick studio: serves the project editor on 127.0.0.1. The page and its
// script come from inside the program; every API call must carry the
// session's random token and come from the studio's own origin. Requests
// that touch the project are carried out one at a time on the thread that
// started the engine; progress and cancel are answered at once.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <iostream>
#include <thread>

#include <httplib.h>

#include "automation/error.h"
#include "cli/cli.h"
#include "cli/embedded.h"
#include "cli/php_server.h"
#include "cli/studio.h"
#include "support/engine_context.h"

namespace fs = std::filesystem;

namespace tw::cli {

namespace {

using studio::Params;
using studio::Progress;
using studio::Reply;
using studio::Session;

struct StudioOptions {
  std::string project;
  int port = 0;
  bool noBrowser = false;
  bool noPreview = false;
  std::string php = "php";
};

std::string randomToken() {
  unsigned char bytes[24];
  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0 || read(fd, bytes, sizeof bytes) != static_cast<ssize_t>(sizeof bytes))
    throw CliError("cannot read random bytes for the access token");
  close(fd);
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += hex[b >> 4];
    out += hex[b & 15];
  }
  return out;
}

// Compares without stopping at the first difference.
bool sameToken(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

// The work that touches the engine, run in order on the engine's thread.
class EngineQueue {
 public:
  void post(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
  }
  // Runs tasks until stop() (or a signal) ends it; `idle` runs whenever the
  // queue is empty.
  void run(const std::function<bool()>& stopped, const std::function<void()>& idle) {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, std::chrono::milliseconds(200), [&] { return !tasks_.empty() || stop_; });
        if (stop_ || stopped()) return;
        if (tasks_.empty()) {
          lock.unlock();
          idle();
          continue;
        }
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    ready_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> tasks_;
  bool stop_ = false;
};

std::string errorJson(const std::string& message) { return "{\"error\": " + jsonString(message) + "}"; }

// Runs an API call and turns what it throws into an answer: a usage
// mistake is 400, any other failure 422 (the request was understood, the
// operation failed), an engine fault 500.
Reply guarded(const std::function<Reply()>& call) {
  try {
    return call();
  } catch (const CliError& e) {
    engine().projErr.clear();
    return {e.code() == kExitUsage ? 400 : 422, errorJson(displayPaths(e.what()))};
  } catch (const Error& e) {
    engine().projErr.clear();
    return {500, errorJson(e.description())};
  } catch (const std::exception& e) {
    engine().projErr.clear();
    return {500, errorJson(e.what())};
  }
}

volatile std::sig_atomic_t gStudioStop = 0;
extern "C" void onStudioStop(int) { gStudioStop = 1; }

const char* contentType(std::string_view name) {
  if (name.ends_with(".html")) return "text/html; charset=utf-8";
  if (name.ends_with(".css")) return "text/css; charset=utf-8";
  if (name.ends_with(".js")) return "text/javascript; charset=utf-8";
  if (name.ends_with(".svg")) return "image/svg+xml";
  return "application/octet-stream";
}

void openBrowser(const std::string& url) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    execlp("xdg-open", "xdg-open", url.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
}

int runStudio(const StudioOptions& o) {
  if (o.port < 0 || o.port > 65535) throw usageError("--port takes 0 to 65535");
  startEngine();
  const int port = freePort(o.port);
  const std::string token = randomToken();
  const std::string origin = "http://127.0.0.1:" + std::to_string(port);
  const std::string originLocal = "http://localhost:" + std::to_string(port);

  Progress progress;
  std::string previewFolder;
  char pattern[] = "/tmp/tarnwick-preview-XXXXXX";
  if (!o.noPreview) {
    if (!mkdtemp(pattern)) throw CliError("cannot make the preview folder");
    previewFolder = pattern;
  }
  Session session(absolutePath(o.project), previewFolder, progress);
  EngineQueue queue;
  std::unique_ptr<PhpServer> php;
  std::atomic<bool> previewQueued{false};
  std::mutex previewMutex;
  std::string previewUrl;

  // A preview run, then php -S over the preview folder once there is one.
  auto previewRun = [&] {
    previewQueued = false;
    session.generate(true);
    if (!php) {
      try {
        DocumentRoot root = findDocumentRoot(previewFolder);
        int phpPort = freePort(0);
        auto server = std::make_unique<PhpServer>(o.php, phpPort);
        server->setLog(session.scratchFolder() + "/php-server.log");
        // The preview's pages may be shown inside the studio's page (and no
        // other); a generated application run elsewhere refuses all frames.
        server->setEnvironment("TARNWICK_FRAME_ANCESTORS", origin + " " + originLocal);
        server->start(root);
        php = std::move(server);
        std::lock_guard lock(previewMutex);
        previewUrl = "http://127.0.0.1:" + std::to_string(phpPort) + "/";
      } catch (const CliError& e) {
        warn(std::string("no preview: ") + e.what());
      }
    }
    std::lock_guard lock(progress.mutex);
    if (progress.running && progress.target == "preview") {
      progress.running = false;
      ++progress.previewRuns;
    }
  };
  auto queuePreview = [&] {
    if (previewFolder.empty() || previewQueued.exchange(true)) return;
    {
      std::lock_guard lock(progress.mutex);
      progress.running = true;
      progress.target = "preview";
      progress.cancel = false;
    }
    queue.post(previewRun);
  };

  // Runs on the engine's thread and waits for the answer.
  auto onEngine = [&](std::function<Reply()> call, bool changes) {
    std::promise<Reply> done;
    std::future<Reply> answer = done.get_future();
    queue.post([&] {
      Reply r = guarded(call);
      done.set_value(std::move(r));
    });
    Reply r = answer.get();
    if (changes && r.status == 200) queuePreview();
    return r;
  };

  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(4); };
  auto send = [](httplib::Response& res, const Reply& r) {
    res.status = r.status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(r.body, "application/json; charset=utf-8");
  };
  // Host (against DNS rebinding), Origin (against other sites) and the token.
  auto allowed = [&](const httplib::Request& req, httplib::Response& res) {
    const std::string host = req.get_header_value("Host");
    const std::string hostOk1 = "127.0.0.1:" + std::to_string(port),
                      hostOk2 = "localhost:" + std::to_string(port);
    if (host != hostOk1 && host != hostOk2) {
      send(res, {403, errorJson("wrong host")});
      return false;
    }
    if (req.has_header("Origin")) {
      const std::string from = req.get_header_value("Origin");
      if (from != origin && from != originLocal) {
        send(res, {403, errorJson("requests from " + from + " are refused")});
        return false;
      }
    }
    std::string given = req.get_header_value("X-Tarnwick-Token");
    if (given.empty() && req.has_param("token")) given = req.get_param_value("token");
    if (given.empty() || !sameToken(given, token)) {
      send(res, {401, errorJson("missing or wrong access token: open the address tarnwick studio printed")});
      return false;
    }
    return true;
  };
  auto paramsOf = [](const httplib::Request& req) {
    Params p;
    for (const auto& [k, v] : req.params)
      if (k != "token") p.emplace(k, v);
    return p;
  };
  auto api = [&](const std::string& method, const std::string& path, std::function<Reply(const Params&)> call,
                 bool changes) {
    auto handler = [&, call, changes](const httplib::Request& req, httplib::Response& res) {
      if (!allowed(req, res)) return;
      Params p = paramsOf(req);
      send(res, onEngine([call, p] { return call(p); }, changes));
    };
    if (method == "GET")
      server.Get(path, handler);
    else
      server.Post(path, handler);
  };

  api(
      "GET", "/api/tree", [&](const Params&) { return session.tree(); }, false);
  api(
      "GET", "/api/settings", [&](const Params& p) { return session.settings(p); }, false);
  api(
      "POST", "/api/set", [&](const Params& p) { return session.set(p); }, true);
  api(
      "POST", "/api/reorder", [&](const Params& p) { return session.reorder(p); }, true);
  api(
      "POST", "/api/add-view", [&](const Params& p) { return session.addView(p); }, true);
  api(
      "POST", "/api/add-report", [&](const Params& p) { return session.addReport(p); }, true);
  api(
      "POST", "/api/add-chart", [&](const Params& p) { return session.addChart(p); }, true);
  api(
      "POST", "/api/remove", [&](const Params& p) { return session.remove(p); }, true);
  api(
      "POST", "/api/undo", [&](const Params&) { return session.undo(); }, true);
  api(
      "POST", "/api/save", [&](const Params&) { return session.save(); }, false);
  api(
      "POST", "/api/check", [&](const Params&) { return session.check(); }, false);
  api(
      "POST", "/api/sync", [&](const Params& p) { return session.sync(p); }, true);

  server.Post("/api/generate", [&](const httplib::Request& req, httplib::Response& res) {
    if (!allowed(req, res)) return;
    const std::string target = req.has_param("target") ? req.get_param_value("target") : "destination";
    if (target != "destination" && target != "preview") {
      send(res, {400, errorJson("target is destination or preview, not \"" + target + "\"")});
      return;
    }
    if (target == "preview") {
      if (previewFolder.empty()) {
        send(res, {400, errorJson("the studio runs without a preview (--no-preview)")});
        return;
      }
      queuePreview();
    } else {
      {
        std::lock_guard lock(progress.mutex);
        if (progress.running && progress.target == "destination") {
          send(res, {409, errorJson("a generation run is going on")});
          return;
        }
        progress.running = true;
        progress.target = "destination";
        progress.cancel = false;
      }
      queue.post([&] { session.generate(false); });
    }
    send(res, {202, "{\"started\": " + jsonString(target) + "}"});
  });
  server.Get("/api/progress", [&](const httplib::Request& req, httplib::Response& res) {
    if (!allowed(req, res)) return;
    std::string url;
    {
      std::lock_guard lock(previewMutex);
      url = previewUrl;
    }
    std::lock_guard lock(progress.mutex);
    send(res, {200, "{\"running\": " + std::string(progress.running ? "true" : "false") + ", \"target\": " +
                        jsonString(progress.target) + ", \"caption\": " + jsonString(progress.caption) +
                        ", \"info\": " + jsonString(progress.info) + ", \"position\": " +
                        std::to_string(progress.position) + ", \"runs\": " + std::to_string(progress.runs) +
                        ", \"preview_runs\": " + std::to_string(progress.previewRuns) +
                        ", \"preview_url\": " + (url.empty() ? std::string("null") : jsonString(url)) +
                        ", \"result\": " + (progress.result.empty() ? std::string("null") : progress.result) +
                        "}"});
  });
  server.Post("/api/cancel", [&](const httplib::Request& req, httplib::Response& res) {
    if (!allowed(req, res)) return;
    progress.cancel = true;
    send(res, {200, "{\"cancelling\": true}"});
  });
  server.Get("/api/.*", [&](const httplib::Request& req, httplib::Response& res) {
    if (!allowed(req, res)) return;
    send(res, {404, errorJson("no such call: " + req.path)});
  });
  server.Post("/api/.*", [&](const httplib::Request& req, httplib::Response& res) {
    if (!allowed(req, res)) return;
    send(res, {404, errorJson("no such call: " + req.path)});
  });
  // The page itself holds nothing of the project: it is served to anyone on
  // this machine, and asks for everything through the API with the token.
  server.Get("/(|studio\\.js|studio\\.css)", [&](const httplib::Request& req, httplib::Response& res) {
    std::string name = req.path == "/" ? "index.html" : req.path.substr(1);
    std::string_view bytes = embeddedFile("studio/" + name);
    res.set_header(
        "Content-Security-Policy",
        "default-src 'self'; frame-src http://127.0.0.1:*; img-src 'self' data:; style-src 'self'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_content(std::string(bytes), contentType(name));
  });

  if (!server.bind_to_port("127.0.0.1", port))
    throw CliError("cannot listen on 127.0.0.1:" + std::to_string(port) + " (give another --port)");
  std::thread listener([&] { server.listen_after_bind(); });

  const std::string url = origin + "/?token=" + token;
  std::cout << "Tarnwick Studio for " << o.project << " at " << url << std::endl;
  std::cout << "Stop it with Ctrl-C; unsaved changes are lost." << std::endl;
  if (!o.noBrowser && (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))) openBrowser(url);

  struct sigaction action {};
  action.sa_handler = onStudioStop;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGCHLD, SIG_DFL);
  queuePreview();
  queue.run([] { return gStudioStop != 0; }, [] {});
  server.stop();
  listener.join();
  if (php) php->stop();
  std::error_code ec;
  if (!previewFolder.empty()) fs::remove_all(previewFolder, ec);
  if (session.dirty()) warn("the studio ended with unsaved changes");
  return kExitOk;
}

}  // namespace

void addStudioCommands(CLI::App& app, Commands& out) {
  auto o = std::make_shared<StudioOptions>();
  CLI::App* sub = app.add_subcommand("studio", "Edit a project in the browser, with a live preview");
  sub->add_option("PROJECT", o->project, "Project file")->required();
  sub->add_option("-p,--port", o->port, "Port on 127.0.0.1 (0: any free one)")->capture_default_str();
  sub->add_flag("--no-browser", o->noBrowser, "Only print the address; open no browser");
  sub->add_flag("--no-preview", o->noPreview, "No preview of the application (no php -S)");
  sub->add_option("--php", o->php, "The PHP command line program for the preview")->capture_default_str();
  sub->footer(
      "The studio listens on 127.0.0.1 only. The address it prints carries a random access token;\n"
      "requests without it, or from pages of other sites, are refused. Changes stay in memory until\n"
      "saved; a file that another command changed meanwhile is not overwritten. The preview is the\n"
      "application generated into a scratch folder and served by php -S on another loopback port;\n"
      "it is generated again after each change.\n"
      "\n"
      "Examples:\n"
      "  tarnwick studio shop.xml\n"
      "  tarnwick studio shop.xml --port 8700 --no-browser");
  out.push_back({sub, [o] { return runStudio(*o); }});
}

}  // namespace tw::cli
