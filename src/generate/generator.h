#pragma once
// The generation run: AGP.GenScript writes the pages of a project, AGP.GenCheck
// counts the outputs that already exist, AGP.FldSrchOprs lists the search
// operators of a column type.
//
// A run works in folders below the user's documents folder:
//
//   <documents>\Tarnwick                        work folder
//     \Templates\<template file name>           template work folder
//       \Script                                 the extracted template (GenScript)
//       \Tmp                                    the extracted template (GenCheck)
//       \extensions\<name>                      each extracted extension
//       \temp                                   script files (<CtrlID><CtrlTagExt>.tmp),
//                                               the merge scratch file and cache.xml
//
// Runs whose templates have the same file name share the template work
// folder: a run waits until no other one uses it.
//
// The template archive is extracted only when it changed since the last run
// (the cache remembers its time and size), and a control's templates are
// converted into its script file only when they, a session file or an
// included file changed. The page pass then runs each control's script file
// once per table, field or project and writes what it returns.
//
// Problems end a run in one of two ways. Checks and page errors set ProjErr
// and return normally. Cancellation (the progress window's cancel button or
// Cancel in the overwrite prompt) and the aborts of control processing raise
// error -1 whose description is the message; ProjErr then holds it as well.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "automation/dispatch.h"
#include "generate/manifest.h"
#include "platform/staged_files.h"
#include "script/source_map.h"
#include "support/prompt.h"

namespace tw {

class AGP;
class AGPCache;
class AGPControl;
class AGPControls;
class AGPField;
class AGPTable;
class AGProperties;

// What the last run did, for callers that report it.
struct GenerationSummary {
  int32_t pagesWritten = 0;       // pages and style sheets written (not those already holding their text)
  int32_t pagesSkipped = 0;       // existing outputs left alone (not allowed, or answered Skip)
  int32_t filesCopied = 0;        // files of copy controls, chart and extra style sheets
  int32_t foldersCopied = 0;      // folders of copy controls
  int32_t backups = 0;            // ".bak" copies made before overwriting
  int32_t scriptFilesBuilt = 0;   // controls whose script file was rebuilt
  int32_t archivesExtracted = 0;  // template and extension archives extracted
};

// How a caller wants the run's output written; the defaults are the plain
// run. With a manifest path, the run keeps a manifest of what it wrote
// (manifest.h): a file changed by hand since the last run, or a file the
// manifest does not know, is never overwritten without asking; without a
// terminal to ask, it is skipped and listed.
struct OutputOptions {
  std::string manifestPath;    // empty: no manifest, existing files follow the overwrite rules alone
  bool dryRun = false;         // decide and report, write nothing into the destination
  bool force = false;          // overwrite files changed by hand as well
  bool diff = false;           // collect a unified diff of every change
  std::optional<bool> backup;  // BackupFile for this run instead of the user's setting
  // The template as the user named it (a folder or an archive), for
  // messages about its files; empty: the Template setting.
  std::string templateAsGiven;
};

// What the run did (or, in a dry run, would do) with each output file, by
// its path relative to the destination.
struct OutputReport {
  std::vector<std::string> created;
  std::vector<std::string> changed;
  std::vector<std::string> unchanged;
  std::vector<std::string> skippedEdited;  // changed by hand, not overwritten
  std::vector<std::string> overwrittenEdited;
  std::vector<std::string> kept;  // existing, not to be overwritten (settings or "skip")
  std::string diff;
};

// The run state kept once per thread (engine().generation): the work folders,
// the control collection of the last run, the overwrite answers and the
// counters of the progress bar.
class GenerationState : public Dispatch {
 public:
  GenerationState();

  std::string templateFileName;    // the Template setting's last path component
  std::string workFolder;          // <documents>\Tarnwick
  std::string templateWorkFolder;  // workFolder\Templates\<template file name>
  std::string templateFolder;      // templateWorkFolder\Script or \Tmp
  std::string extensionsFolder;    // templateWorkFolder\extensions
  std::string tempFolder;          // templateWorkFolder\temp

  bool keepTemplate = false;   // the extracted copy is used unchanged
  bool keptOnRequest = false;  // ... because the user answered Keep
  bool backupFile = false;     // the user's BackupFile setting, read per run

  // The overwrite prompt: the answer for the current file or folder and the
  // "for all" mode: "" ask, "O" overwrite all, "S" skip all, "C" cancel.
  bool answer = false;
  std::string mode;
  std::string promptFile;
  std::string promptFolder;

  int32_t pagesTotal = 0;
  int32_t pagesDone = 0;
  int32_t sessionsDone = 0;
  int32_t sessionsTotal = 0;

  std::string scriptExt;    // P_Ext, "php" by default
  std::string defaultPage;  // P_DefaultPage, "index.php" by default

  // The table and field the pass is on (conditions see them), and the
  // table's TblVar for field page names.
  Ref<AGPTable> currentTable;
  Ref<AGPField> currentField;
  std::string currentTableVar;

  // The run's control collection (reloaded from control.xml by every run;
  // the script engine publishes it as Controls) and the collection an
  // extension's control file is loaded into for merging.
  Ref<AGPControls> controls;
  Ref<AGPControls> extensionControls;

  // Script files read during the current page pass, by path: a control's
  // script runs for every table or field, its file is read once.
  std::unordered_map<std::string, std::string> scriptTexts;
  // Their line maps (template positions of the script lines), read with them.
  std::unordered_map<std::string, LineMap> lineMaps;

  GenerationSummary summary;

  OutputOptions options;
  OutputReport report;
  // The manifest of the last run (read when the run starts; `guarded` when
  // there was one) and the one this run leaves.
  GenerationManifest previousManifest;
  GenerationManifest manifest;
  bool guarded = false;
  bool producedNothing = false;  // the last page's script failed: nothing to place
  // The folders outputs were placed in: the temporary files that killed
  // runs left there are removed when the run ends.
  std::unordered_set<std::string> outputFolders;
  // While a copy control runs: where its files are staged, to be put in
  // place together, and what to record of each once they are.
  StagedFiles* staging = nullptr;
  std::vector<std::function<void()>> afterStaged;
};

// A path shown with the first of `folders` (work folder, shown name) it
// lies below replaced, "/" between folders.
std::string shownSourcePath(const std::vector<std::pair<std::string, std::string>>& folders, std::string_view path);

// The name page scripts are added to the script engine under: errors in
// them are placed in the template with the script's line map.
inline constexpr std::string_view kPageScriptName = "page script";

// The thread's generation state, created on first use.
GenerationState& generationState();

// The folder of extension archives: TARNWICK_EXTENSIONS when set, otherwise
// <prefix>/share/tarnwick/extensions of the installation.
std::string extensionArchiveFolder();
// The archive of an extension whose Template is `templ`: a file name in the
// extension archive folder, or an absolute path (as `tarnwick extension add`
// registers an archive kept elsewhere), taken as it is.
std::string extensionArchivePath(std::string_view templ);

// The summary of the calling thread's last GenScript or GenCheck.
const GenerationSummary& lastGenerationSummary();

// The operations of a run on one project. Every member is public so that
// callers and tests can use the steps on their own; GenScript and GenCheck
// are the run.
class Generator {
 public:
  explicit Generator(AGP& proj);

  // ---- The run
  void GenScript();
  int16_t GenCheck();
  static std::string FldSrchOprs(int16_t ftype);

  // ---- Work folders and change detection
  // Sets and creates the work folders; `subfolder` ("Script" or "Tmp") holds
  // the extracted template.
  void PrepareWorkFolders(std::string_view subfolder);
  // -1 the file is missing, 0 unchanged, 1 changed, 2 not in the cache.
  int16_t CheckSourceChanged(std::string_view group, std::string_view key, std::string_view path);
  // Extracts an archive; false with ProjErr set when it cannot be read whole
  // or holds an entry that would land outside the folder.
  bool ExtractArchive(std::string_view archive, std::string_view folder);
  static void DeleteFilesByExtension(std::string_view folder, std::string_view ext);
  static void DeleteFolderIfExists(std::string_view folder);
  // Both close the progress window and raise error -1.
  [[noreturn]] void CancelGeneration();
  [[noreturn]] void AbortGeneration();

  // ---- Control processing
  int16_t GeneratePages(bool check);
  void PrepareTable(AGPTable& table);
  bool ControlAppliesToTable(AGPTable& table, std::string_view id, std::string_view type,
                             std::string_view cond);
  bool EvaluateCondition(std::string_view cond);
  Variant ResolveConditionValue(AGProperties& store, std::string_view text, std::string_view type);
  std::string EvaluateCustomCondition(std::string_view module);
  bool CheckControlStale(AGPControl& control);
  static std::string GetIncludeFiles(std::string_view text);
  std::string GetControlScriptFile(const AGPControl& control) const;
  // The file beside a script file that holds its line map.
  static std::string LineMapFile(std::string_view scriptFile);
  // A path the run read a template file from, as the author knows it: the
  // template folder or archive as given (or an extension's archive) in
  // front, "/" between folders.
  std::string ShownSourcePath(std::string_view path) const;
  // The work folders of this run and the names their files are shown under.
  std::vector<std::pair<std::string, std::string>> shownFolders() const;
  std::string ResolveInputFile(std::string_view files, std::string_view ext);
  void BuildControlScript(AGPControl& control, std::string_view scriptFile);
  int16_t GenerateTablePages(AGPTable& table, bool check);
  int16_t GenerateFieldPages(AGPField& field, bool check);
  int16_t GenerateOtherPages(std::string_view types, bool overwrite, bool check);

  // ---- Output names, paths and files
  std::string MakeOutputFileName(std::string_view base, std::string_view fieldPart, std::string_view stem,
                                 std::string_view ext) const;
  std::string ResolveOutputExt(std::string_view ext) const;
  // The output file stem of a control (CtrlOFileCompat in compatibility mode).
  std::string OutputStem(const AGPControl& control) const;
  // The name of a project-wide control's page.
  std::string OtherPageName(const AGPControl& control) const;
  std::string ResolveOutputPath(std::string_view folder, std::string_view name, bool check);
  // The application's root folder (AppRootFolder, "~" in output folders)
  // with a trailing separator: the destination when the setting is empty,
  // and a relative setting taken below the destination.
  std::string ApplicationRoot() const;
  static std::string EnsureTrailingSlash(std::string_view text);
  static void CreateFolderPath(std::string_view path);
  // `backup` false leaves the backup to the caller (made only when the
  // bytes change).
  bool ConfirmFileOverwrite(std::string_view path, bool overwrite, bool prompt, bool check, bool backup = true);
  bool ConfirmFolderOverwrite(std::string_view path, bool overwrite, bool prompt, bool check);
  // A path shortened for the overwrite prompt: whole up to 55 characters,
  // otherwise the first component, "\..." and as many of the last components
  // as fit.
  static std::string ShortenPathForPrompt(std::string_view path);
  void WriteTablePage(AGPTable& table, std::string_view scriptFile, std::string_view outputPath,
                      AGPControl& control);
  void WriteFieldPage(AGPField& field, std::string_view scriptFile, std::string_view outputPath,
                      AGPControl& control);
  void WriteOtherPage(std::string_view scriptFile, std::string_view outputPath, AGPControl& control,
                      bool overwrite);
  static std::string TrimLeadingBlankLines(std::string_view text);
  std::string CompactOutput(std::string_view text) const;

  // ---- Extensions
  void MergeExtensionControls(std::string_view name);
  void MergeControlChange(AGPControl& main, AGPControl& ext);

  // ---- Copies and style sheets
  int16_t PrepareDestination(bool check);
  int16_t GenerateCssFile(bool check);
  std::string ResolveSourcePath(std::string_view base, std::string_view name);
  int16_t CopyControlFiles(bool check);
  std::string EvaluateTemplateText(std::string_view text);

  // ---- Manifest of the output
  // Reads the previous run's manifest (OutputOptions.manifestPath) and
  // starts this run's from it; clears the report.
  void StartOutputRecord();
  // Writes this run's manifest (not after a dry run); false when it could not
  // be written.
  bool SaveOutputRecord();

  // ---- State
  GenerationState& state() noexcept { return state_; }
  AGPControls& controls();
  AGPCache* cache() const;
  // Makes a table (and a field of it) the one the pass is on.
  void setCurrentTable(AGPTable* table);
  void setCurrentField(AGPField* field);

 private:
  // The folder a control's files are read from.
  std::string sourceFolder(const AGPControl& control) const;
  std::string extensionFolder(std::string_view name) const;
  // Waits until no other run uses the template work folder (the wait can be
  // cancelled), then keeps it until the run ends.
  void lockWorkFolder();
  // CheckControlStale for one file and its includes: true when newer than
  // the script file's stamp.
  bool sourceIsNewer(std::string_view base, std::string_view name, const std::string& stamp);
  [[noreturn]] void missing(std::string_view name);
  // The overwrite prompt for a file (`file` set) or a folder.
  void askOverwrite(std::string_view file, std::string_view folder);
  // Decides about one output file and writes it: `produce` gives its bytes
  // and runs only when they are needed. Unchanged bytes are never written
  // nor backed up; a file changed by hand is protected (OutputOptions).
  // `written` counts a file written. `makeFolder` false leaves a missing
  // folder missing (the write then fails). False when writing failed.
  bool placeOutput(std::string_view path, bool overwrite, const std::function<std::string()>& produce,
                   int32_t& written, bool makeFolder = true);
  // Copies a folder file by file through placeOutput; false when a file
  // could not be read.
  bool placeFolder(const std::string& source, const std::string& target, bool overwrite);
  // Records the files of a folder copied whole in the manifest.
  void recordCopiedFolder(const std::string& source, const std::string& target);
  // The question about a file changed by hand: true to overwrite it.
  bool askAboutEditedFile(std::string_view path, std::string_view current, std::string_view text);
  // The output path relative to the destination, with "/" between folders.
  std::string manifestKey(std::string_view path) const;
  // The shared part of the three page writers.
  // ProjErr for a page script that failed to compile or run, placed in the
  // template; empty when the error has no place there.
  std::string placedScriptError(const LineMap& map, std::string_view control, bool fieldPage);
  void writePage(std::string_view scriptFile, std::string_view outputPath, AGPControl& control,
                 bool overwrite, int16_t initType, bool fieldPage);
  void openStatus(int style, std::string_view phase);
  void closeStatus();
  void releaseRun();

  AGP& proj_;
  GenerationState& state_;
};

// Prompt answers given in advance for the generation run's two questions,
// for callers without a desktop (the command line): whether to keep the
// extracted template when the archive changed, and what to do with existing
// output files. Questions left on Ask, and every other question, go to the
// wrapped handler.
class GenerationPrompt : public PromptHandler {
 public:
  enum class TemplateAnswer { Ask, Keep, Overwrite };
  enum class OverwriteAnswer { Ask, OverwriteAll, SkipAll, Cancel };

  GenerationPrompt(std::unique_ptr<PromptHandler> inner, TemplateAnswer templ, OverwriteAnswer overwrite)
      : inner_(std::move(inner)), template_(templ), overwrite_(overwrite) {}

  void message(std::string_view title, std::string_view text, MessageIcon icon) override;
  PromptAnswer ask(const PromptRequest& request) override;
  std::vector<std::string> pairNames(const MappingRequest& request) override;

 private:
  std::unique_ptr<PromptHandler> inner_;
  TemplateAnswer template_;
  OverwriteAnswer overwrite_;
};

// Publishes GenScript, GenCheck and FldSrchOprs as members of AGP.
void installGenerateMembers();

}  // namespace tw
