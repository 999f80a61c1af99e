#include "support/progress.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "automation/text.h"

namespace tw {

namespace {

volatile std::sig_atomic_t gCancel = 0;
struct sigaction gPreviousAction;
int gHandlerDepth = 0;

extern "C" void onInterrupt(int) { gCancel = 1; }

void installInterruptHandler() {
  if (gHandlerDepth++ > 0) return;
  struct sigaction sa {};
  sa.sa_handler = onInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &gPreviousAction);
}

void removeInterruptHandler() {
  if (gHandlerDepth == 0 || --gHandlerDepth > 0) return;
  sigaction(SIGINT, &gPreviousAction, nullptr);
}

// Cuts a text to `width` code points for a one-line display.
std::string fit(std::string_view s, size_t width) {
  if (codePointCount(s) <= width) return std::string(s);
  size_t cut = codePointOffset(s, width > 3 ? width - 3 : width);
  return std::string(s.substr(0, cut)) + "...";
}

}  // namespace

bool cancelRequested() noexcept { return gCancel != 0; }
void requestCancel() noexcept { gCancel = 1; }
void clearCancel() noexcept { gCancel = 0; }

TerminalProgressSink::TerminalProgressSink() : tty_(isatty(STDERR_FILENO) == 1) {}

TerminalProgressSink::~TerminalProgressSink() {
  if (openHandle_) close(openHandle_);
}

int32_t TerminalProgressSink::open(int32_t, int, std::string_view caption) {
  if (openHandle_) close(openHandle_);
  openHandle_ = nextHandle_++;
  caption_ = std::string(caption);
  info_.clear();
  position_ = 0;
  clearCancel();
  installInterruptHandler();
  draw();
  return openHandle_;
}

void TerminalProgressSink::setInfo(int32_t handle, std::string_view text) {
  if (handle != openHandle_) return;
  info_ = std::string(text);
  draw();
}

void TerminalProgressSink::setProgress(int32_t handle, int16_t position) {
  if (handle != openHandle_) return;
  position_ = position < 0 ? 0 : position > 100 ? 100 : position;
  draw();
}

bool TerminalProgressSink::isCancelled(int32_t) { return cancelRequested(); }

void TerminalProgressSink::close(int32_t handle) {
  if (handle != openHandle_ || !openHandle_) return;
  openHandle_ = 0;
  removeInterruptHandler();
  if (tty_) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
}

void TerminalProgressSink::draw() {
  if (!tty_ || !openHandle_) return;
  constexpr int kBar = 20;
  int filled = position_ * kBar / 100;
  std::string line = fit(caption_, 40);
  if (!info_.empty()) line += " — " + fit(info_, 40);
  std::fprintf(stderr, "\r\033[K%s [%.*s%*s] %3d%%", line.c_str(), filled, "####################",
               kBar - filled, "", position_);
  std::fflush(stderr);
}

}  // namespace tw
