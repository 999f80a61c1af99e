#include "support/status.h"

#include <map>

#include "automation/text.h"
#include "support/engine_context.h"
#include "tarnwick/version.h"

namespace tw {

namespace {

// System script texts by two-character language code.
std::map<std::string, std::string>& systemCodes() {
  static std::map<std::string, std::string> codes;
  return codes;
}

// The two-character code a language name is looked up by: shorter names are
// padded with blanks, longer ones cut.
std::string languageCode(std::string_view lang) {
  std::string code(lang.substr(0, codePointOffset(lang, 2)));
  while (codePointCount(code) < 2) code += ' ';
  return code;
}

// Captions arrive length-prefixed (one character holding the length, then the
// text); the prefix is not shown.
std::string_view stripLengthPrefix(std::string_view msg) {
  if (!msg.empty() && static_cast<unsigned char>(msg[0]) == msg.size() - 1) return msg.substr(1);
  return msg;
}

bool isEngineFile(std::string_view file) {
  std::string name = toLower(file);
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  return name == "tarnwick.dll" || name == "tarnwick" || name == "libtarnwick.so";
}

}  // namespace

void setSystemCode(std::string_view lang, std::string text) {
  systemCodes()[languageCode(lang)] = std::move(text);
}

std::string engineVersion() { return TARNWICK_VERSION; }

AGPStatus::AGPStatus() : sink_(std::make_unique<TerminalProgressSink>()) {}

AGPStatus::~AGPStatus() { CloseStatus(); }

void AGPStatus::setSink(std::unique_ptr<ProgressSink> sink) {
  CloseStatus();
  sink_ = std::move(sink);
}

void AGPStatus::DispStatus(std::string_view text) {
  if (handle_ > 0) sink_->setInfo(handle_, text);
  sink_->pump();
}

void AGPStatus::show(int style, int32_t lhWnd, std::string_view msg) {
  // The message may be the kept caption itself: copy before replacing it.
  std::string caption(stripLengthPrefix(msg));
  engine().statusCaption = caption;
  handle_ = sink_->open(lhWnd, style, caption);
}

void AGPStatus::ShowStatus(int32_t lhWnd, std::string_view msg) { show(1, lhWnd, msg); }
void AGPStatus::ShowStatus2(int32_t lhWnd, std::string_view msg) { show(2, lhWnd, msg); }
void AGPStatus::ShowStatus3(int32_t lhWnd, std::string_view msg) { show(3, lhWnd, msg); }

bool AGPStatus::StatusIsCancelled() { return sink_->isCancelled(handle_); }

void AGPStatus::CloseStatus() {
  if (handle_ == 0) return;
  sink_->close(handle_);
  handle_ = 0;
}

void AGPStatus::SetStatus(const Variant& val) {
  if (handle_ > 0) sink_->setProgress(handle_, val.toInteger());
  sink_->pump();
}

void AGPStatus::GetVer(std::string_view file) {
  if (isEngineFile(file)) {
    mj1_ = TARNWICK_VERSION_MAJOR;
    mj2_ = TARNWICK_VERSION_MINOR;
    mn1_ = TARNWICK_VERSION_PATCH;
    mn2_ = TARNWICK_VERSION_TWEAK;
  } else {
    mj1_ = mj2_ = mn1_ = mn2_ = 0;
  }
}

std::string AGPStatus::GetSysCode(std::string_view lang) {
  auto& codes = systemCodes();
  auto it = codes.find(languageCode(lang));
  if (it == codes.end()) return {};
  // The text ends at its first NUL, as the library's buffer does.
  return it->second.substr(0, it->second.find('\0'));
}

const ClassInfo* AGPStatus::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPStatus>("AGPStatus")
          .get("mj1", [](AGPStatus& s) { return static_cast<int16_t>(s.mj1()); })
          .get("mj2", [](AGPStatus& s) { return static_cast<int16_t>(s.mj2()); })
          .get("mn1", [](AGPStatus& s) { return static_cast<int16_t>(s.mn1()); })
          .get("mn2", [](AGPStatus& s) { return static_cast<int16_t>(s.mn2()); })
          .method("DispStatus", [](AGPStatus& s, const Variant& a0) { s.DispStatus(a0.toString()); })
          .method("ShowStatus", [](AGPStatus& s, const Variant& a0,
                                   const Variant& a1) { s.ShowStatus(a0.toLong(), a1.toString()); })
          .method("ShowStatus2", [](AGPStatus& s, const Variant& a0,
                                    const Variant& a1) { s.ShowStatus2(a0.toLong(), a1.toString()); })
          .method("ShowStatus3", [](AGPStatus& s, const Variant& a0,
                                    const Variant& a1) { s.ShowStatus3(a0.toLong(), a1.toString()); })
          .method("StatusIsCancelled", [](AGPStatus& s) { return s.StatusIsCancelled(); })
          .method("CloseStatus", [](AGPStatus& s) { s.CloseStatus(); })
          .method("SetStatus", [](AGPStatus& s, const Variant& a0) { s.SetStatus(a0); })
          .method("GetVer", [](AGPStatus& s, const Variant& a0) { s.GetVer(a0.toString()); })
          .method("GetSysCode",
                  [](AGPStatus& s, const Variant& a0) { return Variant(s.GetSysCode(a0.toString())); })
          .build();
  return &info;
}

}  // namespace tw
