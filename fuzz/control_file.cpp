// Fuzzes loading a control file from its bytes, then walks the result and
// merges it into a second collection as extension control files are. The
// same bytes also go through the language file loader.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "script/control.h"
#include "script/language.h"
#include "support/engine_context.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool folderFormOk(const std::string& folder) {
  return folder.empty() || (folder.back() == '\\' && folder.find('/') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tw::EngineContext& ctx = tw::engine();
  ctx.projErr.clear();

  tw::Ref<tw::AGPControls> controls = tw::makeRef<tw::AGPControls>();
  const bool loaded = controls->LoadControlsFromBytes(bytes);
  check(loaded == ctx.projErr.empty());

  tw::Ref<tw::AGPControls> merged = tw::makeRef<tw::AGPControls>();
  for (int32_t i = 1; i <= controls->Count(); ++i) {
    tw::AGPControl* control = controls->Item(i);
    check(control != nullptr && controls->curIndex() == i);
    check(folderFormOk(control->CtrlOFolder) && folderFormOk(control->CtrlIFolder));
    tw::AGPSessions& sessions = control->Sessions();
    for (int32_t j = 1; j <= sessions.Count(); ++j) check(sessions.Item(j) != nullptr);
    const bool existed = merged->ControlExist(control->CtrlID);
    check(merged->AddControl(*control) == !existed);
    if (!existed) {
      // Sessions with a value seen before are dropped, the others kept.
      tw::AGPSessions& copy = merged->Item(merged->Count())->Sessions();
      check(copy.Count() <= sessions.Count());
      for (int32_t j = 1; j <= sessions.Count(); ++j) check(copy.SessionExist(sessions.Item(j)->SessValue));
      // Moving each session after its location exercises the placement rules.
      for (int32_t j = 1; j <= sessions.Count(); ++j) {
        tw::AGPSession& s = *sessions.Item(j);
        tw::AGPSession moved;
        moved.SessValue = s.SessValue + "'";
        copy.AddSession(moved, s.SessLocation, s.SessLocType);
      }
    }
  }
  for (int32_t i = controls->Count(); i >= 1; --i) merged->DeleteControl(controls->Item(i)->CtrlID);
  check(merged->Count() == 0);

  tw::Ref<tw::AGPLanguage> language = tw::makeRef<tw::AGPLanguage>();
  if (language->LoadFromBytes(bytes)) {
    for (const auto& [id, text] : language->phrases()) check(language->Phrase(id) == text);
  }
  ctx.projErr.clear();
  return 0;
}
