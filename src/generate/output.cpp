// Output pages: their names, their folders, the rules for files that exist
// already (overwrite, ask, skip, back up), running a control's script file
// and cleaning up what it returns.
#include <string>

#include "automation/text.h"
#include "core/agp.h"
#include "generate/generator.h"
#include "generate/setting_keys.h"
#include "generate/text_util.h"
#include "model/field.h"
#include "model/table.h"
#include "platform/files.h"
#include "script/agscript.h"
#include "script/control.h"
#include "script/template_diagnostics.h"
#include "vbs/host.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/prompt.h"
#include "support/status.h"

namespace tw {

using gen::findNoCase;

namespace {

constexpr size_t kPromptPathWidth = 55;

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

bool blankLine(std::string_view line) {
  for (char c : line)
    if (!isBlankOrTab(c)) return false;
  return true;
}

bool commentLine(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && isBlankOrTab(line[i])) ++i;
  return line.substr(i, 2) == "//";
}

}  // namespace

// ---------------------------------------------------------------- names

std::string Generator::ResolveOutputExt(std::string_view ext) const {
  if (ext == "*") return state_.scriptExt;
  return std::string(ext);
}

std::string Generator::OutputStem(const AGPControl& control) const {
  if (proj_.flag(keys::AppCompat) && !control.CtrlOFileCompat.empty()) return control.CtrlOFileCompat;
  return control.CtrlOFile;
}

std::string Generator::MakeOutputFileName(std::string_view base, std::string_view fieldPart,
                                          std::string_view stem, std::string_view ext) const {
  std::string name(base);
  if (!fieldPart.empty()) {
    // A field's variable name without its two-character prefix ("x_Price").
    name += "_";
    name += std::string_view(fieldPart).substr(codePointOffset(fieldPart, 2));
  }
  const std::string type = proj_.str(keys::OutputNameType);
  const std::string sep = proj_.str(keys::OutputNameExt);
  std::string out;
  if (equalsNoCase(type, "prefix")) {
    out = sep + name + std::string(stem);
  } else if (equalsNoCase(type, "infix")) {
    out = name.empty() ? std::string(stem) : name + sep + std::string(stem);
  } else if (equalsNoCase(type, "suffix")) {
    out = name + std::string(stem) + sep;
  } else {
    out = name + std::string(stem);
  }
  out += ".";
  out += ext;
  if (proj_.flag(keys::OutputNameLCase)) out = toLower(out);
  return out;
}

std::string Generator::OtherPageName(const AGPControl& control) const {
  const std::string stem = OutputStem(control);
  const std::string ext = ResolveOutputExt(control.CtrlOExt);
  std::string name;
  // "simple" pages keep their name as the control file gives it.
  if (equalsNoCase(control.CtrlType, "simple"))
    name = stem + "." + ext;
  else
    name = MakeOutputFileName("", "", stem, ext);
  if (control.CtrlOFile == "*") {
    const std::string page = proj_.str(keys::P_DefaultPage);
    if (!page.empty()) return page;
    std::string replaced;
    for (char c : name) {
      if (c == '*')
        replaced += "index";
      else
        replaced += c;
    }
    name = std::move(replaced);
  }
  return name;
}

// ---------------------------------------------------------------- paths

std::string Generator::EnsureTrailingSlash(std::string_view text) {
  std::string out = gen::trimmed(text);
  if (!out.empty() && out.back() != '\\' && out.back() != '/') out += '\\';
  return out;
}

void Generator::CreateFolderPath(std::string_view path) {
  // A dry run makes nothing in the destination.
  if (path.empty() || generationState().options.dryRun || folderExists(path)) return;
  std::string p(path);
  for (char& c : p)
    if (c == '/') c = '\\';
  std::string accumulated;
  for (std::string_view piece : gen::splitText(p, '\\')) {
    accumulated += piece;
    accumulated += '\\';
    // A drive or the root exists already; a folder that cannot be made
    // shows up when the file in it is written.
    if (!folderExists(accumulated)) createFolder(accumulated);
  }
}

namespace {

// True when a folder or file name of the template climbs out of the folder
// it is put in (a ".." component).
bool climbsOut(std::string_view path) {
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      if (path.substr(start, i - start) == "..") return true;
      start = i + 1;
    }
  }
  return false;
}

}  // namespace

std::string Generator::ApplicationRoot() const {
  const std::string destination = EnsureTrailingSlash(proj_.str(keys::Destination));
  const std::string root = gen::trimmed(proj_.str(keys::AppRootFolder));
  if (root.empty()) return destination;
  const bool absolute = root.front() == '/' || root.front() == '\\' || (root.size() > 1 && root[1] == ':');
  return EnsureTrailingSlash(absolute ? root : destination + root);
}

std::string Generator::ResolveOutputPath(std::string_view folder, std::string_view name, bool check) {
  // Output goes below the destination (or the application root), never
  // beside or above it, whatever the control file says.
  if (climbsOut(folder) || climbsOut(name)) {
    engine().projErr = engine().productName + ": Output \"" + gen::shownPath(std::string(folder) + std::string(name)) +
                       "\" would be written outside the destination folder! Generation aborted!";
    AbortGeneration();
  }
  std::string root;
  std::string sub;
  if (folder.substr(0, 2) == "~\\" || folder.substr(0, 2) == "~/") {
    root = ApplicationRoot();
    sub = std::string(folder.substr(2));
  } else {
    root = EnsureTrailingSlash(proj_.str(keys::Destination));
    sub = std::string(folder);
  }
  std::string target = root;
  if (!sub.empty()) {
    target += EnsureTrailingSlash(sub);
    if (!check) CreateFolderPath(target);
  }
  return target + std::string(name);
}

// ---------------------------------------------------------------- overwrite

std::string Generator::ShortenPathForPrompt(std::string_view path) {
  if (codePointCount(path) <= kPromptPathWidth) return std::string(path);
  // Components with the separator in front of each (the first has none).
  struct Part {
    char sep;
    std::string_view text;
  };
  std::vector<Part> parts;
  size_t start = 0;
  char sep = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      parts.push_back({sep, path.substr(start, i - start)});
      if (i < path.size()) sep = path[i];
      start = i + 1;
    }
  }
  if (parts.size() < 3) return std::string(path);
  // Shown: first component, separator, "...", then the kept components each
  // with its separator. Drop from the front until it fits; the last
  // component always stays.
  size_t first = 1;
  auto shownLength = [&](size_t from) {
    size_t n = codePointCount(parts[0].text) + 4;
    for (size_t i = from; i < parts.size(); ++i) n += 1 + codePointCount(parts[i].text);
    return n;
  };
  do {
    ++first;
  } while (first + 1 < parts.size() && shownLength(first) > kPromptPathWidth);
  std::string out(parts[0].text);
  out += parts[1].sep;
  out += "...";
  for (size_t i = first; i < parts.size(); ++i) {
    out += parts[i].sep;
    out += parts[i].text;
  }
  return out;
}

void Generator::askOverwrite(std::string_view file, std::string_view folder) {
  state_.promptFile = std::string(file);
  state_.promptFolder = std::string(folder);
  PromptRequest request;
  request.id = "overwrite";
  request.title = engine().productName;
  request.text = file.empty() ? "Folder " + ShortenPathForPrompt(folder) + " already exists!"
                              : "File " + ShortenPathForPrompt(file) + " already exists!";
  request.buttons = {"Overwrite", "Skip", "Cancel"};
  request.checkLabel = "All";
  // Nobody to ask: existing files are kept.
  request.defaultButton = 1;
  PromptAnswer a = engine().prompts().ask(request);
  switch (a.button) {
    case 0:
      state_.answer = true;
      if (a.checked) state_.mode = "O";
      break;
    case 1:
      state_.answer = false;
      if (a.checked) state_.mode = "S";
      break;
    default:
      state_.answer = false;
      state_.mode = "C";
      break;
  }
}

bool Generator::ConfirmFileOverwrite(std::string_view path, bool overwrite, bool prompt, bool check,
                                     bool backup) {
  if (check) return fileExists(path);
  state_.answer = false;
  if (!fileExists(path)) return true;
  if (state_.mode == "O") {
    state_.answer = overwrite;
  } else if (state_.mode == "S") {
    return false;
  } else if (!prompt) {
    state_.answer = overwrite;
  } else if (overwrite) {
    askOverwrite(path, "");
  }
  if (state_.mode == "C") CancelGeneration();
  if (!state_.answer) return false;
  if (state_.backupFile && backup) {
    const std::string backup = std::string(path) + ".bak";
    if (!copyFile(path, backup, true)) {
      const int error = errno;
      engine().prompts().message(engine().productName,
                                 "Error in open \"" + gen::shownPath(path) + "\", description:" +
                                     (error ? std::strerror(error) : "Permission denied or the file is in use"),
                                 MessageIcon::Exclamation);
      return false;
    }
    ++state_.summary.backups;
  }
  return true;
}

bool Generator::ConfirmFolderOverwrite(std::string_view path, bool overwrite, bool prompt, bool check) {
  if (check) return folderExists(path);
  state_.answer = false;
  if (!folderExists(path)) return true;
  if (state_.mode == "O") {
    state_.answer = overwrite;
  } else if (state_.mode == "S") {
    return false;
  } else if (!prompt) {
    state_.answer = overwrite;
  } else if (overwrite) {
    askOverwrite("", path);
  }
  if (state_.mode == "C") CancelGeneration();
  if (!state_.answer) return false;
  if (state_.backupFile) {
    const std::string backup = std::string(path) + ".bak";
    if (folderExists(backup)) deleteFolder(backup);
    if (!copyFolder(path, backup, true)) {
      const int error = errno;
      engine().prompts().message(engine().productName,
                                 "Error in open \"" + gen::shownPath(path) + "\", description:" +
                                     (error ? std::strerror(error) : "Permission denied or the folder is in use"),
                                 MessageIcon::Exclamation);
      return false;
    }
    ++state_.summary.backups;
  }
  return true;
}

// ---------------------------------------------------------------- writing

namespace {

// The table (and field) a page is made for, as reports name it.
std::string pageSubject(const GenerationState& state, bool fieldPage) {
  if (!state.currentTable) return {};
  std::string subject = state.currentTable->TblName();
  if (fieldPage && state.currentField) subject += "." + state.currentField->FldName();
  return subject;
}

}  // namespace

std::string Generator::placedScriptError(const LineMap& map, std::string_view control, bool fieldPage) {
  AGScript* eng = currentScriptEngine();
  if (!eng) return {};
  const vbs::ScriptErrorInfo& e = eng->host().error();
  if (e.line <= 0 || (!e.compilation && e.sourceName != kPageScriptName)) return {};
  SourceOrigin at = map.at(e.line);
  bool atEnd = false;
  if (!at.known() && !e.compilation) return {};
  if (!at.known()) {
    // Lines the compiler adds around the template's code: a block left
    // open (If without End If, ...) is found at the function's end.
    at = map.end;
    atEnd = true;
  }
  if (!at.known()) return {};
  std::string where = "control " + std::string(control);
  const std::string subject = pageSubject(state_, fieldPage);
  if (!subject.empty()) where += (fieldPage ? ", field " : ", table ") + subject;
  return ShownSourcePath(at.file) + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
         (e.compilation ? "VBScript syntax error: " : "VBScript run-time error: ") + e.description +
         (atEnd ? " (at the end of the template: is a block such as If, For, Do, Select or While left open?)" : "") +
         " (" + where + ")";
}

void Generator::writePage(std::string_view scriptFile, std::string_view outputPath, AGPControl& control,
                          bool overwrite, int16_t initType, bool fieldPage) {
  SettingsReadRecorder* recorder = engine().settingsReads;
  if (recorder) {
    if (!recorder->wanted(outputPath)) return;
    recorder->beginFile(outputPath);
  }
  struct EndFile {
    SettingsReadRecorder* r;
    ~EndFile() {
      if (r) r->endFile();
    }
  } endFile{recorder};
  placeOutput(outputPath, overwrite, [&] {
    auto known = state_.scriptTexts.find(std::string(scriptFile));
    TemplateDiagnostics& diagnostics = templateDiagnostics();
    if (known == state_.scriptTexts.end()) {
      std::optional<std::string> script = fileExists(scriptFile) ? readTextFile(scriptFile) : std::nullopt;
      if (!script) {
        engine().projErr =
            "File " + gen::shownPath(scriptFile) + " not found. Generation aborted" + (fieldPage ? "" : ".");
        AbortGeneration();
      }
      known = state_.scriptTexts.emplace(std::string(scriptFile), std::move(*script)).first;
      // The map of a script made by an earlier run, and what its compilation found.
      const std::string mapFile = LineMapFile(scriptFile);
      std::optional<std::string> mapText = fileExists(mapFile) ? readTextFile(mapFile) : std::nullopt;
      LineMap& map = state_.lineMaps[std::string(scriptFile)] = LineMap::parse(mapText ? *mapText : "");
      diagnostics.addProblems(map, control.CtrlID);
    }
    const LineMap& map = state_.lineMaps[std::string(scriptFile)];
    std::string text;
    const bool failedBefore = !engine().projErr.empty();
    if (AGScript* eng = currentScriptEngine()) {
      diagnostics.beginPage(control.CtrlID, pageSubject(state_, fieldPage), &map, control.origin);
      text = eng->BuildNewCode(known->second, initType, engine().scriptTimeout, kPageScriptName);
      diagnostics.endPage();
      if (!failedBefore && !engine().projErr.empty()) {
        std::string placed = placedScriptError(map, control.CtrlID, fieldPage);
        if (!placed.empty()) engine().projErr = placed;
      } else if (text.empty()) {
        diagnostics.beginPage(control.CtrlID, pageSubject(state_, fieldPage), &map, control.origin);
        diagnostics.add(TemplateIssueKind::EmptyPage, control.origin, "the page came out empty");
        diagnostics.endPage();
      }
    }
    // A script that failed made no page: the one there stays.
    if (!failedBefore && !engine().projErr.empty()) state_.producedNothing = true;
    return encodeText(control.CtrlSpace ? CompactOutput(text) : TrimLeadingBlankLines(text), TextEncoding::Utf8);
  }, state_.summary.pagesWritten);
}

void Generator::WriteTablePage(AGPTable& table, std::string_view scriptFile, std::string_view outputPath,
                               AGPControl& control) {
  writePage(scriptFile, outputPath, control, control.CtrlOverwrite && table.flag(keys::TblOverwrite), 2, false);
  // Written or not, the page counts as done.
  ++state_.pagesDone;
  engine().status().SetStatus(Variant::integer(PercentOf(state_.pagesDone, state_.pagesTotal)));
}

void Generator::WriteFieldPage(AGPField&, std::string_view scriptFile, std::string_view outputPath,
                               AGPControl& control) {
  const bool tableOverwrite = state_.currentTable && state_.currentTable->flag(keys::TblOverwrite);
  writePage(scriptFile, outputPath, control, control.CtrlOverwrite && tableOverwrite, 2, true);
}

void Generator::WriteOtherPage(std::string_view scriptFile, std::string_view outputPath, AGPControl& control,
                               bool overwrite) {
  writePage(scriptFile, outputPath, control, control.CtrlOverwrite && overwrite, 1, false);
}

// ---------------------------------------------------------------- clean-up

std::string Generator::TrimLeadingBlankLines(std::string_view text) {
  size_t keep = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n')
      keep = i + 1;
    else if (!isBlankOrTab(c))
      break;
  }
  return std::string(text.substr(keep));
}

std::string Generator::CompactOutput(std::string_view text) const {
  std::string out;
  out.reserve(text.size() + 64);
  int comments = 0;
  auto emit = [&](std::string_view line) {
    if (blankLine(line)) return;
    if (commentLine(line)) {
      ++comments;
      if (comments == 1) out += "\r\n";
    } else {
      if (comments > 1) out += "\r\n";
      comments = 0;
    }
    out += line;
    out += "\r\n";
  };
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      emit(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  emit(line);

  // The generator tag goes in front of every closing head tag.
  const std::string tag = "<meta name=\"generator\" content=\"" + engine().productName + " v" +
                          proj_.EngineVersion() + "\" />\r\n";
  std::string result;
  result.reserve(out.size() + tag.size());
  size_t pos = 0;
  for (size_t at = findNoCase(out, "</head>"); at != std::string::npos;
       at = findNoCase(out, "</head>", pos)) {
    result.append(out, pos, at - pos);
    result += tag;
    result += "</head>";
    pos = at + 7;
  }
  result.append(out, pos, std::string::npos);
  return result;
}

}  // namespace tw
