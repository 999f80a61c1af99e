#pragma once
// AGPStatus: the engine's one progress window, shared by every object of the
// thread (reached through engine().status()). It also answers two lookups:
// the version of a file and the built-in system script of a language.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "support/progress.h"

namespace tw {

class AGPStatus : public Dispatch {
 public:
  AGPStatus();
  ~AGPStatus() override;

  uint16_t mj1() const { return mj1_; }
  uint16_t mj2() const { return mj2_; }
  uint16_t mn1() const { return mn1_; }
  uint16_t mn2() const { return mn2_; }

  void DispStatus(std::string_view text);
  void ShowStatus(int32_t lhWnd, std::string_view msg);
  void ShowStatus2(int32_t lhWnd, std::string_view msg);
  void ShowStatus3(int32_t lhWnd, std::string_view msg);
  bool StatusIsCancelled();
  void CloseStatus();
  void SetStatus(const Variant& val);
  // Version of a file: the engine's own file ("tarnwick.dll" or the running
  // program) reports the engine version; other files report 0.0.0.0.
  void GetVer(std::string_view file);
  // The system script text of a two-character language code ("VB", "VL").
  std::string GetSysCode(std::string_view lang);

  int32_t handle() const { return handle_; }
  // Replaces where progress goes (tests install a recording sink).
  void setSink(std::unique_ptr<ProgressSink> sink);
  ProgressSink& sink() { return *sink_; }

  const ClassInfo* classInfo() const override;

 private:
  void show(int style, int32_t lhWnd, std::string_view msg);

  std::unique_ptr<ProgressSink> sink_;
  int32_t handle_ = 0;
  uint16_t mj1_ = 0, mj2_ = 0, mn1_ = 0, mn2_ = 0;
};

// Registers the system script text returned by GetSysCode for a language
// code; the script layer supplies the texts.
void setSystemCode(std::string_view lang, std::string text);

// The engine version as four dotted numbers.
std::string engineVersion();

}  // namespace tw
