// Writing one output file safely: unchanged bytes are left alone (and never
// backed up), files changed by hand since the last run are protected, and a
// dry run only reports. The manifest of the run records what was written.
#include <cerrno>
#include <string>

#include "automation/text.h"
#include "core/agp.h"
#include "generate/generator.h"
#include "generate/setting_keys.h"
#include "generate/text_util.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "support/engine_context.h"
#include "support/prompt.h"

namespace tw {

namespace {

std::string slashed(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

}  // namespace

std::string Generator::manifestKey(std::string_view path) const {
  const std::string root = slashed(EnsureTrailingSlash(proj_.str(keys::Destination)));
  std::string p = slashed(path);
  if (!root.empty() && p.size() > root.size() && p.compare(0, root.size(), root) == 0) return p.substr(root.size());
  return p;
}

void Generator::StartOutputRecord() {
  state_.report = {};
  state_.outputFolders.clear();
  state_.previousManifest = {};
  state_.guarded = false;
  if (!state_.options.manifestPath.empty())
    state_.guarded = state_.previousManifest.load(state_.options.manifestPath);
  state_.manifest = state_.previousManifest;
}

bool Generator::SaveOutputRecord() {
  // Temporary copies of outputs that runs killed while writing left behind
  // (a running writer holds its own locked).
  if (!state_.options.dryRun)
    for (const std::string& folder : state_.outputFolders) removeStaleTemporariesIn(folder);
  state_.outputFolders.clear();
  if (state_.options.manifestPath.empty() || state_.options.dryRun) return true;
  return state_.manifest.save(state_.options.manifestPath);
}

bool Generator::askAboutEditedFile(std::string_view path, std::string_view current, std::string_view text) {
  for (;;) {
    PromptRequest request;
    request.id = "edited";
    request.title = engine().productName;
    request.text = "File " + ShortenPathForPrompt(path) + " was changed since it was generated!";
    request.buttons = {"Overwrite", "Skip", "Diff", "Cancel"};
    // Nobody to ask: the file is kept.
    request.defaultButton = 1;
    const PromptAnswer a = engine().prompts().ask(request);
    switch (a.button) {
      case 0:
        return true;
      case 1:
        return false;
      case 2: {
        const std::string key = manifestKey(path);
        engine().prompts().message(engine().productName, unifiedDiff(current, text, "a/" + key, "b/" + key),
                                   MessageIcon::None);
        break;
      }
      default:
        state_.mode = "C";
        CancelGeneration();
    }
  }
}

bool Generator::placeOutput(std::string_view path, bool overwrite, const std::function<std::string()>& produce,
                            int32_t& written, bool makeFolder) {
  OutputOptions& o = state_.options;
  OutputReport& report = state_.report;
  const std::string key = manifestKey(path);
  if (const size_t cut = path.find_last_of("\\/"); cut != std::string_view::npos)
    state_.outputFolders.emplace(path.substr(0, cut));
  std::optional<std::string> current;
  if (fileExists(path)) {
    current = readFile(path);
    if (!current) {
      engine().prompts().message(
          engine().productName,
          "Error in open \"" + std::string(path) + "\", description:Permission denied or the file is in use",
          MessageIcon::Exclamation);
      ++state_.summary.pagesSkipped;
      return true;
    }
  }
  // A file is the run's own when the manifest says it wrote these bytes;
  // with a manifest, any other existing file was changed or made by hand.
  bool edited = false;
  if (current && state_.guarded) {
    const ManifestEntry* e = state_.previousManifest.find(key);
    edited = !e || !GenerationManifest::matches(*e, *current);
  }
  if (current && !(overwrite && state_.mode != "S")) {
    report.kept.push_back(key);
    ++state_.summary.pagesSkipped;
    return true;
  }

  state_.producedNothing = false;
  std::string text = produce();
  if (state_.producedNothing) {
    state_.producedNothing = false;
    return true;
  }
  // Nothing to overwrite, nothing to ask about, nothing to back up.
  if (current && *current == text) {
    report.unchanged.push_back(key);
    state_.manifest.record(key, text);
    return true;
  }
  if (current && !state_.guarded && !o.dryRun &&
      !ConfirmFileOverwrite(path, overwrite, proj_.flag(keys::PromptOnOverwrite), false, false)) {
    report.kept.push_back(key);
    ++state_.summary.pagesSkipped;
    return true;
  }
  if (edited && !o.force) {
    if (o.dryRun || !askAboutEditedFile(path, *current, text)) {
      report.skippedEdited.push_back(key);
      if (o.diff) report.diff += unifiedDiff(*current, text, "a/" + key, "b/" + key);
      ++state_.summary.pagesSkipped;
      return true;
    }
  }
  if (o.diff) report.diff += unifiedDiff(current.value_or(""), text, current ? "a/" + key : "/dev/null", "b/" + key);
  if (o.dryRun) {
    (current ? report.changed : report.created).push_back(key);
    return true;
  }
  StagedFiles* staging = state_.staging;
  if (current && state_.backupFile) {
    const std::string backup = std::string(path) + ".bak";
    if (staging ? staging->stage(backup, *current) != 0 : !writeFile(backup, *current)) {
      engine().prompts().message(
          engine().productName,
          "Error in open \"" + std::string(path) + "\", description:Permission denied or the file is in use",
          MessageIcon::Exclamation);
      ++state_.summary.pagesSkipped;
      return true;
    }
  }
  std::string folder(path);
  for (char& c : folder)
    if (c == '/') c = '\\';
  if (const size_t cut = folder.rfind('\\'); makeFolder && cut != std::string::npos)
    CreateFolderPath(folder.substr(0, cut));
  if (const int error = staging ? staging->stage(path, text) : writeFile(path, text) ? 0 : errno) {
    // A script's own message, if any, comes first.
    if (engine().projErr.empty())
      setProjErr(": Writing to file \"" + gen::shownPath(path) + "\" failed" + gen::reasonOf(error) + "!");
    errno = error;
    return false;
  }
  // What the file now is, once it is in place.
  auto placed = [this, key, entry = GenerationManifest::entryFor(text), edited, existed = current.has_value(),
                 backedUp = current && state_.backupFile, &written] {
    if (backedUp) ++state_.summary.backups;
    state_.manifest.record(key, entry);
    if (edited) state_.report.overwrittenEdited.push_back(key);
    (existed ? state_.report.changed : state_.report.created).push_back(key);
    ++written;
  };
  if (staging)
    state_.afterStaged.push_back(std::move(placed));
  else
    placed();
  return true;
}

bool Generator::placeFolder(const std::string& source, const std::string& target, bool overwrite) {
  auto failed = [&] {
    engine().projErr = "Copying to folder \"" + gen::shownPath(target) + "\" failed" + gen::reasonOf(errno) + "!";
    return false;
  };
  for (const std::string& name : listFiles(source)) {
    std::optional<std::string> bytes = readFile(source + "\\" + name);
    if (!bytes) return failed();
    if (!placeOutput(target + "\\" + name, overwrite, [&] { return *bytes; }, state_.summary.filesCopied))
      return failed();
  }
  for (const std::string& name : listFolders(source))
    if (!placeFolder(source + "\\" + name, target + "\\" + name, overwrite)) return false;
  return true;
}

}  // namespace tw
