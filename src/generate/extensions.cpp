// Extensions: add-on templates whose control files are merged into the
// template's controls. An extension control with action "add" is appended,
// "change" merges its sessions into the template control of the same id,
// "delete" removes that control. Controls and sessions that come from an
// extension read their files from the extension's folder.
#include <cstdlib>
#include <string>

#include "core/agp.h"
#include "generate/generator.h"
#include "platform/files.h"
#include "script/control.h"
#include "script/session.h"
#include "support/engine_context.h"
#include "support/prompt.h"
#include "tarnwick/version.h"

namespace tw {

std::string extensionArchiveFolder() {
  if (const char* own = std::getenv("TARNWICK_EXTENSIONS"); own && *own) return own;
  return std::string(TARNWICK_INSTALL_PREFIX) + "/share/tarnwick/extensions";
}

std::string extensionArchivePath(std::string_view templ) {
  if (!templ.empty() && templ.front() == '/') return std::string(templ);
  std::string folder = extensionArchiveFolder();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + std::string(templ);
}

void Generator::MergeExtensionControls(std::string_view name) {
  const std::string path = extensionFolder(name) + "\\control.xml";
  if (!fileExists(path)) return;
  if (!state_.extensionControls) state_.extensionControls = makeRef<AGPControls>();
  AGPControls& ext = *state_.extensionControls;
  if (!ext.LoadControls(path)) {
    // The loader's message stays in ProjErr; the run ends at its next check.
    engine().prompts().message(
        engine().productName,
        engine().productName + ": Load extension control file " + path + " failed. Processing skipped!",
        MessageIcon::Exclamation);
    return;
  }
  AGPControls& main = controls();
  for (int32_t i = 1; i <= ext.Count(); ++i) {
    AGPControl* e = ext.Item(i);
    e->CtrlExt = std::string(name);
    if (e->CtrlAction == "add") {
      main.AddControl(*e);
    } else if (e->CtrlAction == "change") {
      for (int32_t j = 1; j <= main.Count(); ++j) {
        AGPControl* m = main.Item(j);
        if (m->CtrlID == e->CtrlID) {
          MergeControlChange(*m, *e);
          break;
        }
      }
    } else if (e->CtrlAction == "delete") {
      main.DeleteControl(e->CtrlID);
    }
  }
}

void Generator::MergeControlChange(AGPControl& main, AGPControl& ext) {
  AGPSessions& from = ext.Sessions();
  AGPSessions& into = main.Sessions();
  for (int32_t i = 1; i <= from.Count(); ++i) {
    AGPSession* s = from.Item(i);
    s->SessExt = ext.CtrlExt;
    // A change that names no file of its own (a new condition only) keeps
    // the session's file, which is read from where it came from.
    if (s->SessAction == "change" && s->SessIFile.empty()) {
      for (int32_t j = 1; j <= into.Count(); ++j) {
        if (into.Item(j)->SessValue != s->SessValue) continue;
        s->SessExt = into.Item(j)->SessExt;
        break;
      }
    }
    if (s->SessAction == "add") {
      into.AddSession(*s, s->SessLocation, s->SessLocType);
    } else if (s->SessAction == "change") {
      if (into.SessionExist(s->SessValue)) into.ChangeSession(s->SessValue, *s);
    } else if (s->SessAction == "delete") {
      into.DeleteSession(s->SessValue);
    }
  }
}

}  // namespace tw
