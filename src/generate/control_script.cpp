// Script files: every control's templates are converted once into a script
// file in the temp folder (<CtrlID><CtrlTagExt>.tmp), which the page pass runs
// for each page. A script file is rebuilt when it is missing, unknown to the
// cache, or older than one of the control's template files, session files or
// the files they include.
#include <string>

#include "automation/variant.h"
#include "core/agp.h"
#include "generate/generator.h"
#include "generate/text_util.h"
#include "platform/files.h"
#include "script/agscript.h"
#include "script/cache.h"
#include "script/compile_template.h"
#include "script/control.h"
#include "script/language.h"
#include "script/parser.h"
#include "script/session.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/status.h"

namespace tw {

namespace {

constexpr std::string_view kIncludeTag = "<!--##include";
constexpr std::string_view kClose = "##-->";

}  // namespace

std::string Generator::extensionFolder(std::string_view name) const {
  return state_.extensionsFolder + "\\" + std::string(name);
}

std::string Generator::sourceFolder(const AGPControl& control) const {
  return control.CtrlExt.empty() ? state_.templateFolder : extensionFolder(control.CtrlExt);
}

std::string Generator::GetControlScriptFile(const AGPControl& control) const {
  return state_.tempFolder + "\\" + control.CtrlID + control.CtrlTagExt + ".tmp";
}

std::string Generator::GetIncludeFiles(std::string_view text) {
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t tag = gen::findNoCase(text, kIncludeTag, pos);
    if (tag == std::string_view::npos) break;
    size_t close = text.find(kClose, tag);
    if (close == std::string_view::npos) break;
    std::string_view inner = text.substr(
        tag + kIncludeTag.size(), close > tag + kIncludeTag.size() ? close - tag - kIncludeTag.size() : 0);
    size_t slash = inner.rfind('/');
    std::string file = gen::trimmed(slash == std::string_view::npos ? inner : inner.substr(0, slash));
    if (!out.empty()) out += ",";
    out += file;
    pos = close + kClose.size();
  }
  return out;
}

void Generator::missing(std::string_view name) {
  engine().projErr = "Missing \"" + std::string(name) + "\" in template folder \"" + gen::shownPath(state_.templateFolder) +
                     "\". Generation aborted.";
  AbortGeneration();
}

bool Generator::sourceIsNewer(std::string_view base, std::string_view name, const std::string& stamp) {
  const std::string folder = EnsureTrailingSlash(base);
  const std::string path = folder + std::string(name);
  if (!fileExists(path)) missing(name);
  auto stampOf = [](const std::string& p) {
    std::optional<double> date = fileModifiedDate(p);
    return DateStamp(date ? Variant::date(*date) : Variant());
  };
  if (stampOf(path) > stamp) return true;
  std::optional<std::string> text = readTextFile(path);
  if (!text) return false;
  const std::string includes = GetIncludeFiles(*text);
  for (std::string_view inc : gen::splitText(includes, ',')) {
    const std::string incPath = folder + std::string(inc);
    if (!fileExists(incPath)) missing(inc);
    if (stampOf(incPath) > stamp) return true;
  }
  return false;
}

bool Generator::CheckControlStale(AGPControl& control) {
  control.CtrlGen = false;
  const std::string base = sourceFolder(control);
  if (!control.CtrlIFolder.empty() &&
      !folderExists(EnsureTrailingSlash(base) + gen::trimmed(control.CtrlIFolder)))
    missing(control.CtrlIFolder);

  const std::string scriptFile = GetControlScriptFile(control);
  Variant cached;
  if (AGPCache* c = cache())
    cached = c->GetCacheDate(Variant("temp"), Variant(lastPathComponent(scriptFile)));
  // No entry: the cache answers the time 00:00:00 as a date.
  const bool unknown = cached.type() != vtString;
  if (unknown || !fileExists(scriptFile)) {
    control.CtrlGen = true;
    return true;
  }
  if (control.CtrlIFiles.empty()) return false;
  const std::string stamp = DateStamp(cached);
  for (std::string_view name : gen::splitText(control.CtrlIFiles, ',')) {
    if (sourceIsNewer(base, trimBlanks(name), stamp)) {
      control.CtrlGen = true;
      return true;
    }
  }
  AGPSessions& sessions = control.Sessions();
  for (int32_t i = 1; i <= sessions.Count(); ++i) {
    AGPSession* s = sessions.Item(i);
    if (s->SessType != "key" || s->SessIFile.empty()) continue;
    const std::string sessionBase = s->SessExt.empty() ? state_.templateFolder : extensionFolder(s->SessExt);
    if (sourceIsNewer(sessionBase, trimBlanks(s->SessIFile), stamp)) {
      control.CtrlGen = true;
      return true;
    }
  }
  return false;
}

std::string Generator::ResolveInputFile(std::string_view files, std::string_view ext) {
  const std::string base = ext.empty() ? state_.templateFolder : extensionFolder(ext);
  if (files.find(',') == std::string_view::npos) return base + "\\" + std::string(files);
  // Several files are compiled as one: their texts one after the other.
  const std::string merged = state_.tempFolder + "\\~tmp.temp";
  std::string text;
  for (std::string_view name : gen::splitText(files, ',')) {
    const std::string source = ResolveSourcePath(base, trimBlanks(name));
    if (source.empty() || !fileExists(source)) continue;
    if (std::optional<std::string> part = readTextFile(source)) text += *part;
  }
  writeTextFile(merged, text);
  return merged;
}

void Generator::BuildControlScript(AGPControl& control, std::string_view scriptFile) {
  // The old script file goes first, so a failed build never leaves it behind
  // looking current.
  writeTextFile(scriptFile, "");
  const std::string input = ResolveInputFile(control.CtrlIFiles, control.CtrlExt);
  std::optional<std::string> inputText = fileExists(input) ? readTextFile(input) : std::nullopt;
  if (!inputText) {
    engine().projErr = "Error in merging " + control.CtrlIFiles + ". Generation aborted.";
    AbortGeneration();
  }

  TemplateCompiler compiler(currentScriptEngine(), dynamic_cast<AGPLanguage*>(engine().language.get()));
  compiler.Reset();
  auto compileOrAbort = [&](const std::string& text) {
    if (compiler.CompileTemplate(text) && engine().projErr.empty()) return;
    writeTextFile(scriptFile, text + engine().projErr + "\r\n");
    engine().projErr = input + ": " + engine().projErr;
    AbortGeneration();
  };

  AGPSessions& sessions = control.Sessions();
  if (sessions.Count() == 0) {
    compileOrAbort(*inputText);
  } else {
    for (int32_t i = 1; i <= sessions.Count(); ++i) {
      AGPSession* s = sessions.Item(i);
      if (!EvaluateCondition(s->SessCond)) continue;
      std::string text;
      if (s->SessType == "include") {
        text = "<!--##=Include_File(\"" + s->SessValue + "\",\"" + s->SessParm + "\")##-->\r\n";
      } else if (s->SessType == "key") {
        if (s->SessIFile.empty()) {
          text = AGParser::GetSession(*inputText, s->SessValue);
        } else {
          const std::string file = ResolveInputFile(s->SessIFile, s->SessExt);
          std::optional<std::string> source = fileExists(file) ? readTextFile(file) : std::nullopt;
          if (!source) {
            engine().projErr = "Error in merging " + s->SessIFile + ". Generation aborted.";
            AbortGeneration();
          }
          text = AGParser::GetSession(*source, s->SessValue);
        }
      }
      // A session of any other type has no text of its own and adds nothing.
      compileOrAbort(text);
      ++state_.sessionsDone;
      engine().status().SetStatus(Variant::integer(PercentOf(state_.sessionsDone, state_.sessionsTotal)));
    }
  }
  writeTextFile(scriptFile, compiler.FunctionText(true));
  ++state_.summary.scriptFilesBuilt;
}

}  // namespace tw
