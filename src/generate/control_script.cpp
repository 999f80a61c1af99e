// Script files: every control's templates are converted once into a script
// file in the temp folder (<CtrlID><CtrlTagExt>.tmp), which the page pass runs
// for each page. A script file is rebuilt when it is missing, unknown to the
// cache, or older than one of the control's template files, session files or
// the files they include.
#include <string>

#include "automation/variant.h"
#include "core/agp.h"
#include "generate/generator.h"
#include "generate/setting_keys.h"
#include "generate/text_util.h"
#include "platform/files.h"
#include "script/agscript.h"
#include "script/cache.h"
#include "script/compile_template.h"
#include "script/control.h"
#include "script/language.h"
#include "script/parser.h"
#include "script/session.h"
#include "script/source_map.h"
#include "model/extension.h"
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

std::string Generator::LineMapFile(std::string_view scriptFile) {
  std::string path(scriptFile);
  if (path.size() > 4 && equalsNoCase(std::string_view(path).substr(path.size() - 4), ".tmp")) path.resize(path.size() - 4);
  return path + ".map";
}

std::vector<std::pair<std::string, std::string>> Generator::shownFolders() const {
  std::vector<std::pair<std::string, std::string>> folders;
  std::string given = state_.options.templateAsGiven.empty() ? proj_.str(keys::Template) : state_.options.templateAsGiven;
  while (given.size() > 1 && (given.back() == '/' || given.back() == '\\')) given.pop_back();
  if (!state_.templateFolder.empty()) folders.emplace_back(state_.templateFolder, given);
  if (!state_.extensionsFolder.empty())
    for (AGPExtension* e : proj_.Extensions().inSequence())
      folders.emplace_back(extensionFolder(e->Name()), joinPath(extensionArchiveFolder(), e->Template()));
  return folders;
}

std::string Generator::ShownSourcePath(std::string_view path) const { return shownSourcePath(shownFolders(), path); }

std::string shownSourcePath(const std::vector<std::pair<std::string, std::string>>& folders, std::string_view path) {
  for (const auto& [work, given] : folders) {
    if (work.empty() || path.size() <= work.size() || path.substr(0, work.size()) != work ||
        (path[work.size()] != '\\' && path[work.size()] != '/'))
      continue;
    return gen::shownPath(given + std::string(path.substr(work.size())));
  }
  return gen::shownPath(path);
}

void Generator::missing(std::string_view name) {
  std::string given = state_.options.templateAsGiven.empty() ? proj_.str(keys::Template) : state_.options.templateAsGiven;
  engine().projErr = "Missing \"" + std::string(name) + "\" in template folder \"" + gen::shownPath(given) +
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
  // Included sessions are read from the template folder, also for a file of
  // an extension.
  const std::string includeFolder = EnsureTrailingSlash(state_.templateFolder);
  const std::string includes = GetIncludeFiles(*text);
  for (std::string_view inc : gen::splitText(includes, ',')) {
    const std::string incPath = includeFolder + std::string(inc);
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

namespace {

// A parser message ("... at line 3 column 7! ...") with the line and column
// of the template file instead of those of the text the parser was given.
std::string placedParserMessage(std::string message, const SourceOrigin& at) {
  size_t line = message.find(" at line ");
  size_t column = message.find(" column ", line == std::string::npos ? 0 : line);
  size_t end = message.find('!', column == std::string::npos ? 0 : column);
  if (line == std::string::npos || column == std::string::npos || end == std::string::npos) return message;
  return message.substr(0, line) + " at line " + std::to_string(at.line) + " column " + std::to_string(at.column) +
         message.substr(end);
}

}  // namespace

void Generator::BuildControlScript(AGPControl& control, std::string_view scriptFile) {
  // The old script file goes first, so a failed build never leaves it behind
  // looking current.
  writeTextFile(scriptFile, "");
  const std::string mapFile = LineMapFile(scriptFile);
  if (fileExists(mapFile)) deleteFile(mapFile);
  const std::string input = ResolveInputFile(control.CtrlIFiles, control.CtrlExt);
  std::optional<std::string> inputText = fileExists(input) ? readTextFile(input) : std::nullopt;
  if (!inputText) {
    engine().projErr = "Error in merging " + control.CtrlIFiles + ". Generation aborted.";
    AbortGeneration();
  }
  // The input with the files it came from: several input files are
  // compiled one after the other.
  MappedText mappedInput;
  if (control.CtrlIFiles.find(',') == std::string::npos) {
    mappedInput = MappedText(*inputText, input);
  } else {
    const std::string base = control.CtrlExt.empty() ? state_.templateFolder : extensionFolder(control.CtrlExt);
    for (std::string_view name : gen::splitText(control.CtrlIFiles, ',')) {
      const std::string source = ResolveSourcePath(base, trimBlanks(name));
      if (source.empty() || !fileExists(source)) continue;
      if (std::optional<std::string> part = readTextFile(source)) {
        MappedText piece(std::move(*part), source);
        mappedInput.appendFrom(piece, 0, piece.size());
      }
    }
  }

  TemplateCompiler compiler(currentScriptEngine(), dynamic_cast<AGPLanguage*>(engine().language.get()));
  compiler.Reset();
  compiler.setStatementPerExpression(true);
  std::vector<SourceProblem> problems;
  auto compileOrAbort = [&](const MappedText& text) {
    if (compiler.CompileTemplate(text) && engine().projErr.empty()) return;
    writeTextFile(scriptFile, text.text() + engine().projErr + "\r\n");
    const SourceOrigin& at = compiler.parseErrorOrigin();
    if (at.known())
      engine().projErr = ShownSourcePath(at.file) + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) +
                         ": " + placedParserMessage(engine().projErr, at);
    else
      engine().projErr = input + ": " + engine().projErr;
    AbortGeneration();
  };

  AGPSessions& sessions = control.Sessions();
  if (sessions.Count() == 0) {
    compileOrAbort(mappedInput);
  } else {
    for (int32_t i = 1; i <= sessions.Count(); ++i) {
      AGPSession* s = sessions.Item(i);
      if (!EvaluateCondition(s->SessCond)) continue;
      MappedText text;
      if (s->SessType == "include") {
        text.append("<!--##=Include_File(\"" + s->SessValue + "\",\"" + s->SessParm + "\")##-->\r\n", s->origin);
      } else if (s->SessType == "key") {
        bool found = false;
        std::string from = control.CtrlIFiles;
        if (s->SessIFile.empty()) {
          text = AGParser::GetSession(mappedInput, s->SessValue, &problems, &found);
        } else {
          const std::string file = ResolveInputFile(s->SessIFile, s->SessExt);
          std::optional<std::string> source = fileExists(file) ? readTextFile(file) : std::nullopt;
          if (!source) {
            engine().projErr = "Error in merging " + s->SessIFile + ". Generation aborted.";
            AbortGeneration();
          }
          from = s->SessIFile;
          text = AGParser::GetSession(MappedText(std::move(*source), file), s->SessValue, &problems, &found);
        }
        if (!found)
          problems.push_back({s->origin,
                              "session \"" + s->SessValue + "\" of control \"" + control.CtrlID + "\" not found in " + from,
                              ProblemKind::MissingSession});
      }
      // A session of any other type has no text of its own and adds nothing.
      compileOrAbort(text);
      ++state_.sessionsDone;
      engine().status().SetStatus(Variant::integer(PercentOf(state_.sessionsDone, state_.sessionsTotal)));
    }
  }
  writeTextFile(scriptFile, compiler.FunctionText(true));
  for (SourceProblem& p : problems) compiler.addProblem(std::move(p));
  writeTextFile(mapFile, compiler.lineMap().serialize());
  ++state_.summary.scriptFilesBuilt;
}

}  // namespace tw
