#include "cli/terminal.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <map>

#include "automation/text.h"
#include "cli/cli.h"

namespace tw::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
volatile std::sig_atomic_t gCleanCancels = 0;

extern "C" void onCommandInterrupt(int sig) {
  if (gCleanCancels == 0) {
    // Nothing is half-written outside a clean-cancel phase (files are
    // replaced whole), and a wait inside a library (a database server that
    // stopped answering) would not notice a flag: end now.
    static const char text[] = "\ntarnwick: error: cancelled\n";
    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, text, sizeof text - 1);
    _exit(130);
  }
  if (gInterrupted) {
    // Second press: the user wants out now.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  gInterrupted = 1;
}

std::map<std::string, std::string, std::less<>>& decisionFlags() {
  static std::map<std::string, std::string, std::less<>> flags;
  return flags;
}

class CliPrompt : public PromptHandler {
 public:
  CliPrompt() {
    if (globals().interactive) terminal_ = std::make_unique<TerminalPrompt>(stdin, stderr);
  }

  void message(std::string_view, std::string_view text, MessageIcon icon) override {
    if (icon == MessageIcon::Information || icon == MessageIcon::None) {
      if (!globals().quiet) std::cerr << "tarnwick: " << text << '\n';
      return;
    }
    warn(text);
  }

  PromptAnswer ask(const PromptRequest& request) override {
    if (terminal_) return terminal_->ask(request);
    auto it = decisionFlags().find(request.id);
    if (it != decisionFlags().end())
      throw usageError(oneLine(request.text) + " No terminal to ask: decide with " + it->second + ".");
    detail("answered \"" + request.buttons.at(static_cast<size_t>(request.defaultButton)) +
           "\" to: " + oneLine(request.text));
    return PromptAnswer{request.defaultButton, false};
  }

  std::vector<std::string> pairNames(const MappingRequest& request) override {
    if (terminal_) return terminal_->pairNames(request);
    auto it = decisionFlags().find("pairing");
    if (it != decisionFlags().end()) {
      std::string text = request.title + ": ";
      for (size_t i = 0; i < request.newNames.size(); ++i) text += (i ? ", " : "") + request.newNames[i];
      text += "; gone: ";
      for (size_t i = 0; i < request.oldNames.size(); ++i) text += (i ? ", " : "") + request.oldNames[i];
      throw usageError(text + ". No terminal to ask which were renamed: decide with " + it->second + ".");
    }
    return std::vector<std::string>(request.newNames.size());
  }

 private:
  static std::string oneLine(std::string_view text) {
    std::string out;
    for (char c : text) out += (c == '\r' || c == '\n') ? ' ' : c;
    return out;
  }

  std::unique_ptr<TerminalPrompt> terminal_;
};

// Cuts a text to `width` code points for the one-line display.
std::string fit(std::string_view s, size_t width) {
  if (codePointCount(s) <= width) return std::string(s);
  size_t cut = codePointOffset(s, width > 3 ? width - 3 : width);
  return std::string(s.substr(0, cut)) + "...";
}

class CliProgressSink : public ProgressSink {
 public:
  CliProgressSink() : tty_(isatty(STDERR_FILENO) == 1) {}
  ~CliProgressSink() override {
    if (open_) close(open_);
  }

  int32_t open(int32_t, int, std::string_view caption) override {
    if (open_) close(open_);
    open_ = next_++;
    caption_ = std::string(caption);
    info_.clear();
    position_ = 0;
    if (!tty_) detail(caption_);
    draw();
    return open_;
  }
  void setInfo(int32_t handle, std::string_view text) override {
    if (handle != open_) return;
    info_ = std::string(text);
    if (!tty_) detail("  " + info_);
    draw();
  }
  void setProgress(int32_t handle, int16_t position) override {
    if (handle != open_) return;
    position_ = position < 0 ? 0 : position > 100 ? 100 : position;
    draw();
  }
  bool isCancelled(int32_t) override { return interrupted(); }
  void close(int32_t handle) override {
    if (handle != open_ || !open_) return;
    open_ = 0;
    if (drawn_) {
      std::fputs("\r\033[K", stderr);
      std::fflush(stderr);
      drawn_ = false;
    }
  }

 private:
  void draw() {
    if (!tty_ || !open_ || globals().quiet) return;
    constexpr int kBar = 20;
    int filled = position_ * kBar / 100;
    std::string line = fit(caption_, 40);
    if (!info_.empty()) line += " — " + fit(info_, 40);
    std::fprintf(stderr, "\r\033[K%s [%.*s%*s] %3d%%", line.c_str(), filled, "####################",
                 kBar - filled, "", position_);
    std::fflush(stderr);
    drawn_ = true;
  }

  bool tty_;
  bool drawn_ = false;
  int32_t next_ = 1;
  int32_t open_ = 0;
  std::string caption_;
  std::string info_;
  int position_ = 0;
};

}  // namespace

std::unique_ptr<PromptHandler> makeCliPrompt() { return std::make_unique<CliPrompt>(); }

void requireFlagFor(std::string_view promptId, std::string_view flagText) {
  decisionFlags()[std::string(promptId)] = std::string(flagText);
}

std::unique_ptr<ProgressSink> makeCliProgressSink() { return std::make_unique<CliProgressSink>(); }

void installInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = onCommandInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
}

bool interrupted() noexcept { return gInterrupted != 0; }

CleanCancel::CleanCancel() { gCleanCancels = gCleanCancels + 1; }
CleanCancel::~CleanCancel() { gCleanCancels = gCleanCancels - 1; }

void printTable(const std::vector<std::string>& heading, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> width(heading.size());
  for (size_t c = 0; c < heading.size(); ++c) width[c] = codePointCount(heading[c]);
  for (const auto& r : rows)
    for (size_t c = 0; c < r.size(); ++c) width[c] = std::max(width[c], codePointCount(r[c]));
  auto line = [&](const std::vector<std::string>& cells, bool head) {
    std::string text;
    for (size_t c = 0; c < cells.size(); ++c) {
      std::string cell = cells[c];
      if (c + 1 < cells.size()) cell += std::string(width[c] - codePointCount(cells[c]) + 2, ' ');
      text += cell;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::cout << (head ? bold(text) : text) << '\n';
  };
  line(heading, true);
  for (const auto& r : rows) line(r, false);
}

}  // namespace tw::cli
