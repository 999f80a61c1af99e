#pragma once
// Where progress goes: a small interface behind AGPStatus. The terminal sink
// draws on stderr when it is a terminal; tests install a recording sink.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tw {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Opens a window of style 1, 2 or 3 with a caption; returns a handle > 0,
  // or 0 when nothing could be opened.
  virtual int32_t open(int32_t owner, int style, std::string_view caption) = 0;
  virtual void setInfo(int32_t handle, std::string_view text) = 0;
  virtual void setProgress(int32_t handle, int16_t position) = 0;
  virtual bool isCancelled(int32_t handle) = 0;
  virtual void close(int32_t handle) = 0;
  // Lets pending work run (the desktop's message loop); nothing by default.
  virtual void pump() {}
};

// Draws "caption — status [#####     ] 45%" on one line of stderr when stderr
// is a terminal, and nothing otherwise. Ctrl-C while a window is open
// cancels instead of ending the process.
class TerminalProgressSink : public ProgressSink {
 public:
  TerminalProgressSink();
  ~TerminalProgressSink() override;
  int32_t open(int32_t owner, int style, std::string_view caption) override;
  void setInfo(int32_t handle, std::string_view text) override;
  void setProgress(int32_t handle, int16_t position) override;
  bool isCancelled(int32_t handle) override;
  void close(int32_t handle) override;

 private:
  void draw();
  bool tty_;
  int32_t nextHandle_ = 1;
  int32_t openHandle_ = 0;
  std::string caption_;
  std::string info_;
  int position_ = 0;
};

// True once SIGINT arrived while a progress window was open; cleared when the
// next window opens.
bool cancelRequested() noexcept;
// Simulates the cancel button (tests, embedding front ends).
void requestCancel() noexcept;
void clearCancel() noexcept;

}  // namespace tw
