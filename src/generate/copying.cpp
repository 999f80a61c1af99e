// The project-wide support output: the upload folder, the project's style
// sheet, chart and extra style sheets, and the "copy" controls that copy
// template files or folders into the destination.
#include <string>
#include <unordered_set>

#include "automation/text.h"
#include "core/agp.h"
#include "generate/generator.h"
#include "generate/setting_keys.h"
#include "generate/text_util.h"
#include "model/chart.h"
#include "model/database.h"
#include "model/table.h"
#include "platform/files.h"
#include "platform/staged_files.h"
#include "script/compile_template.h"
#include "script/control.h"
#include "support/convert.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "support/status.h"

namespace tw {

namespace {

bool samePath(std::string_view a, std::string_view b) {
  return a == b || nativePath(a).lexically_normal() == nativePath(b).lexically_normal();
}

// Whether every file below `source` is in `target` with the same bytes.
bool folderHolds(const std::string& source, const std::string& target) {
  for (const std::string& name : listFiles(source)) {
    std::optional<std::string> bytes = readFile(source + "\\" + name);
    if (!bytes || !fileHoldsBytes(target + "\\" + name, *bytes)) return false;
  }
  for (const std::string& name : listFolders(source))
    if (!folderHolds(source + "\\" + name, target + "\\" + name)) return false;
  return true;
}

// Notes `target` and its subfolders that mirror those of `source`.
void noteMirroredFolders(const std::string& source, const std::string& target,
                         std::unordered_set<std::string>& folders) {
  if (!folderExists(target)) return;
  folders.insert(target);
  for (const std::string& name : listFolders(source))
    noteMirroredFolders(source + "\\" + name, target + "\\" + name, folders);
}

// The files of one copy control, staged while the control runs and put in
// place together at its end: a control that fails half way leaves every old
// file as it was. The folders it touched are cleaned of what killed runs
// left when the run ends.
class CopyBatch {
 public:
  CopyBatch(GenerationState& state, bool check) : state_(state) {
    state_.afterStaged.clear();
    if (!check) state_.staging = &files_;
  }
  ~CopyBatch() {
    noteFolders();
    state_.staging = nullptr;
    state_.afterStaged.clear();
  }
  CopyBatch(const CopyBatch&) = delete;
  CopyBatch& operator=(const CopyBatch&) = delete;

  StagedFiles& files() { return files_; }
  // 0, or the errno of the failure (every target then as it was).
  int commit() {
    noteFolders();
    if (const int error = files_.commit()) return error;
    for (const auto& placed : state_.afterStaged) placed();
    state_.afterStaged.clear();
    return 0;
  }

 private:
  void noteFolders() {
    for (std::string& folder : files_.folders()) state_.outputFolders.insert(std::move(folder));
  }
  GenerationState& state_;
  StagedFiles files_;
};

}  // namespace

void Generator::recordCopiedFolder(const std::string& source, const std::string& target) {
  for (const std::string& name : listFiles(source))
    if (std::optional<std::string> bytes = readFile(source + "\\" + name))
      state_.manifest.record(manifestKey(target + "\\" + name), *bytes);
  for (const std::string& name : listFolders(source))
    recordCopiedFolder(source + "\\" + name, target + "\\" + name);
}

int16_t Generator::PrepareDestination(bool) {
  // Below the application, never below the folder the run was started in.
  const std::string root = ApplicationRoot();
  std::string upload = gen::trimmed(proj_.str(keys::UploadPath));
  if (!upload.empty() && upload.front() == '~') upload.erase(0, 1);
  if (upload.empty() || root.empty()) return 0;
  CreateFolderPath(root + upload);
  return 0;
}

std::string Generator::EvaluateTemplateText(std::string_view text) {
  return CompileAndRunTemplate(proj_, text, &controls());
}

int16_t Generator::GenerateCssFile(bool check) {
  std::string name = proj_.str(keys::ProjName) + ".css";
  for (char& c : name)
    if (c == ' ') c = '_';
  const bool lower = proj_.flag(keys::OutputNameLCase);
  if (lower) name = toLower(name);
  const std::string cssFolder = proj_.str(keys::AppCssFolder);
  const std::string path = ResolveOutputPath(cssFolder, name, check);
  const bool otherOverwrite = proj_.flag(keys::OtherOverwrite);
  const bool prompt = proj_.flag(keys::PromptOnOverwrite);
  if (check) return ConfirmFileOverwrite(path, otherOverwrite, prompt, check) ? 1 : 0;

  placeOutput(path, otherOverwrite, [&] {
    std::string text;
    const std::string cssTemplate = RegRead("HKCU", engine().regGeneral, "CssFile").toString();
    if (!cssTemplate.empty() && fileExists(cssTemplate)) {
      if (std::optional<std::string> source = readTextFile(cssTemplate)) text = EvaluateTemplateText(*source);
    }
    text += proj_.str(keys::CssStyles);
    return encodeText(text, TextEncoding::Utf8);
  }, state_.summary.pagesWritten);
  // The style sheet's own problems do not stop the run.
  engine().projErr.clear();

  // Chart style sheets are copied once and never replaced.
  const std::string chartCss = proj_.str(keys::AppChartCssFile);
  if (!chartCss.empty() && fileExists(chartCss)) {
    AGPTables& tables = proj_.db()->tables();
    for (int32_t t = 0; t < tables.Count(); ++t) {
      AGPTable* table = tables.at(t);
      if (!table->flag(keys::TblGen) || !table->hasCharts()) continue;
      AGPCharts& charts = table->Charts();
      for (int32_t c = 0; c < charts.Count(); ++c) {
        AGPChart* chart = charts.at(c);
        if (!chart->flag(keys::ShowChart)) continue;
        std::string target = chart->flag(keys::ChartUseGlobalCss) ? lastPathComponent(chartCss)
                                                              : table->TblVar() + chart->ChartVar() + ".css";
        if (lower) target = toLower(target);
        const std::string targetPath = ResolveOutputPath(cssFolder, target, false);
        if (!fileExists(targetPath))
          if (std::optional<std::string> bytes = readFile(chartCss))
            placeOutput(targetPath, false, [&] { return *bytes; }, state_.summary.filesCopied);
      }
    }
  }

  // An extra style sheet goes to the destination folder itself.
  const std::string css = proj_.str(keys::CSS);
  if (!css.empty()) {
    const std::string target = ResolveOutputPath("", lastPathComponent(css), false);
    if (!samePath(target, css) && fileExists(css)) {
      engine().status().DispStatus("copying css...");
      if (std::optional<std::string> bytes = readFile(css))
        placeOutput(target, otherOverwrite, [&] { return *bytes; }, state_.summary.filesCopied);
    }
    engine().projErr.clear();
  }
  return 0;
}

std::string Generator::ResolveSourcePath(std::string_view base, std::string_view name) {
  const std::string path = std::string(base) + "\\" + std::string(name);
  if (!fileExists(path) && !folderExists(path)) {
    closeStatus();
    return {};
  }
  return path;
}

int16_t Generator::CopyControlFiles(bool check) {
  EngineContext& ctx = engine();
  int16_t count = 0;
  const bool otherOverwrite = proj_.flag(keys::OtherOverwrite);
  const bool prompt = proj_.flag(keys::PromptOnOverwrite);
  AGPControls& all = controls();
  for (int32_t i = 1; i <= all.Count(); ++i) {
    AGPControl* c = all.Item(i);
    if (c->CtrlType != "copy") continue;
    const std::string from = sourceFolder(*c);
    const bool overwrite = c->CtrlOverwrite && otherOverwrite;
    CopyBatch batch(state_, check);
    if (!c->CtrlIFiles.empty()) {
      for (std::string_view name : gen::splitText(c->CtrlIFiles, ',')) {
        const std::string source = ResolveSourcePath(from, name);
        if (source.empty()) {
          setProjErr(": Source file does not exist - \"" + std::string(name) +
                     "\"! Check if correct template.");
          return 1;
        }
        const std::string target = ResolveOutputPath(c->CtrlOFolder, name, check);
        if (check) {
          if (ConfirmFileOverwrite(target, overwrite, prompt, check)) ++count;
          continue;
        }
        std::optional<std::string> bytes = readFile(source);
        if (!bytes) {
          ctx.projErr = "Copying to file \"" + gen::shownPath(target) + "\" failed" + gen::reasonOf(errno) + "!";
          return 1;
        }
        ctx.status().DispStatus("Copying file " + std::string(name) + "...");
        // Only the control's output folder is made: a name with a folder of
        // its own needs that folder in the destination.
        if (!placeOutput(target, overwrite, [&] { return *bytes; }, state_.summary.filesCopied, false)) {
          ctx.projErr = "Copying to file \"" + gen::shownPath(target) + "\" failed" + gen::reasonOf(errno) + "!";
          return 1;
        }
      }
      if (const int error = batch.commit()) {
        ctx.projErr = "Copying to file \"" + gen::shownPath(batch.files().failedPath()) + "\" failed" +
                      gen::reasonOf(error) + "!";
        return 1;
      }
    } else if (!c->CtrlIFolder.empty()) {
      std::string source = ResolveSourcePath(from, c->CtrlIFolder);
      if (source.empty()) {
        setProjErr(": Source folder does not exist - \"" + c->CtrlIFolder + "\"! Check if correct template.");
        continue;
      }
      const std::string& folder = c->CtrlOFolder.empty() ? c->CtrlIFolder : c->CtrlOFolder;
      // Resolving the path makes the folder: whether there is anything to
      // overwrite (ask about, back up) is decided before that.
      std::string target = ResolveOutputPath(folder, "", true);
      // Both end in a separator, which goes.
      source.pop_back();
      if (!target.empty()) target.pop_back();
      const std::string shown = "Copying folder " + c->CtrlIFolder.substr(0, c->CtrlIFolder.size() - 1) + "...";
      const bool existed = folderExists(target);
      bool whole = false;
      if (!check && (state_.guarded || state_.options.dryRun || (existed && folderHolds(source, target)))) {
        // File by file: what is unchanged stays as it is, what was changed
        // by hand is protected, and nothing is written in a dry run.
        ctx.status().DispStatus(shown);
        if (!placeFolder(source, target, overwrite)) return 1;
      } else {
        if ((existed || check) && !ConfirmFolderOverwrite(target, overwrite, prompt, check)) {
          if (!check) {
            ++state_.summary.pagesSkipped;
            // Left as it is, but not what killed runs left in it.
            noteMirroredFolders(source, target, state_.outputFolders);
          }
          continue;
        }
        if (check) {
          ++count;
          continue;
        }
        ctx.status().DispStatus(shown);
        // The folder is made (and its missing parents) while staging.
        if (const int error = batch.files().stageFolder(source, target)) {
          ctx.projErr = "Copying to folder \"" + gen::shownPath(target) + "\" failed" + gen::reasonOf(error) + "!";
          return 1;
        }
        whole = true;
      }
      if (const int error = batch.commit()) {
        ctx.projErr = "Copying to folder \"" + gen::shownPath(target) + "\" failed" + gen::reasonOf(error) + "!";
        return 1;
      }
      if (whole) {
        ++state_.summary.foldersCopied;
        // The copies are the run's own output: the next run that keeps a
        // manifest must not take them for files changed by hand.
        if (!state_.options.manifestPath.empty()) recordCopiedFolder(source, target);
      }
    }
  }
  return count;
}

}  // namespace tw
