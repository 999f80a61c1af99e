// The generation run: checks, work folders, change detection against the
// cache, extraction of the template and extension archives, loading of the
// control and language files, the script engine, merging of extensions,
// script files, and the page pass.
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "automation/error.h"
#include "automation/text.h"
#include "core/agp.h"
#include "core/project_file.h"
#include "generate/generator.h"
#include "generate/setting_keys.h"
#include "generate/text_util.h"
#include "model/database.h"
#include "model/extension.h"
#include "platform/archive.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "script/agscript.h"
#include "script/cache.h"
#include "script/control.h"
#include "script/filter.h"
#include "script/template_diagnostics.h"
#include "script/language.h"
#include "support/convert.h"
#include "support/engine_context.h"
#include "support/sha256.h"
#include "support/helpers.h"
#include "support/registry.h"
#include "support/status.h"

namespace tw {

namespace {

constexpr int16_t kSourceMissing = -1;
constexpr int16_t kSourceUnchanged = 0;
constexpr int16_t kSourceChanged = 1;

std::string userSetting(std::string_view name) {
  return RegRead("HKCU", engine().regGeneral, name).toString();
}

Variant sizeValue(int64_t size) {
  if (size >= 0 && size <= 0x7fffffff) return Variant::long_(static_cast<int32_t>(size));
  return Variant::double_(static_cast<double>(size));
}

// The SHA-256 of a file's content; empty when it cannot be read.
std::string contentSha256(std::string_view path) {
  std::optional<std::string> bytes = readFile(path);
  return bytes ? Sha256::hex(*bytes) : std::string();
}

// Records a file's time and size in the cache.
void remember(AGPCache& cache, std::string_view group, std::string_view key, std::string_view path) {
  std::optional<double> date = fileModifiedDate(path);
  if (!date) return;
  cache.AddCache(Variant(group), Variant(key), Variant::date(*date), sizeValue(fileSize(path)));
}

// The lock of the template work folder this thread's run uses: runs of
// templates of the same file name share the folder and take turns.
struct WorkFolderLock {
  std::string folder;
  std::unique_ptr<FileLock> lock;
};
thread_local WorkFolderLock tlsWorkFolderLock;

// Ends the lock when the run ends, however it ends.
struct WorkFolderRelease {
  ~WorkFolderRelease() {
    tlsWorkFolderLock.lock.reset();
    tlsWorkFolderLock.folder.clear();
  }
};

// The template file name of a Template setting: its last path component.
std::string templateNameOf(std::string_view templ) { return lastPathComponent(templ); }

}  // namespace

// ---------------------------------------------------------------- state

GenerationState::GenerationState()
    : scriptExt(engine().outputExtension),
      defaultPage(engine().defaultPage),
      controls(makeRef<AGPControls>()) {}

GenerationState& generationState() {
  EngineContext& ctx = engine();
  if (!ctx.generation) ctx.generation = makeRef<GenerationState>();
  return static_cast<GenerationState&>(*ctx.generation);
}

const GenerationSummary& lastGenerationSummary() { return generationState().summary; }

Generator::Generator(AGP& proj) : proj_(proj), state_(generationState()) {}

AGPControls& Generator::controls() {
  if (!state_.controls) state_.controls = makeRef<AGPControls>();
  return *state_.controls;
}

AGPCache* Generator::cache() const { return dynamic_cast<AGPCache*>(engine().cache.get()); }

void Generator::openStatus(int style, std::string_view phase) {
  AGPStatus& status = engine().status();
  const std::string caption = engine().productName + std::string(phase);
  if (style == 3)
    status.ShowStatus3(proj_.lhWnd(), caption);
  else
    status.ShowStatus2(proj_.lhWnd(), caption);
  status.DispStatus("Please wait...");
}

void Generator::closeStatus() { engine().status().CloseStatus(); }

void Generator::CancelGeneration() {
  closeStatus();
  engine().projErr = "Generation cancelled by user!";
  raise(-1, engine().projErr);
}

void Generator::AbortGeneration() {
  closeStatus();
  raise(-1, engine().projErr);
}

void Generator::releaseRun() {
  EngineContext& ctx = engine();
  ctx.cache.reset();
  if (AGScript* eng = currentScriptEngine()) eng->Reset();
  ctx.scriptEngine.reset();
}

// ---------------------------------------------------------------- folders

void Generator::PrepareWorkFolders(std::string_view subfolder) {
  EngineContext& ctx = engine();
  std::string documents(trimBlanks(ctx.documentsFolder));
  if (documents.empty()) documents = SpecialFolderPath(0, kFolderDocuments);
  state_.workFolder = documents + "\\" + KeyName(ctx.productKey);
  createFolders(state_.workFolder);
  const std::string templates = state_.workFolder + "\\Templates";
  createFolders(templates);
  state_.templateWorkFolder = templates + "\\" + KeyName(state_.templateFileName);
  createFolders(state_.templateWorkFolder);
  lockWorkFolder();
  state_.extensionsFolder = state_.templateWorkFolder + "\\extensions";
  createFolders(state_.extensionsFolder);
  for (AGPExtension* e : proj_.Extensions().inSequence()) createFolders(extensionFolder(e->Name()));
  state_.tempFolder = state_.templateWorkFolder + "\\temp";
  createFolders(state_.tempFolder);
  state_.templateFolder = state_.templateWorkFolder + "\\" + std::string(subfolder);
  createFolders(state_.templateFolder);
  // Included template files are found below the template folder.
  ctx.workFolder = state_.workFolder;
  ctx.templateFolder = state_.templateFolder;
  ctx.scriptFolder = state_.tempFolder;
}

void Generator::lockWorkFolder() {
  WorkFolderLock& held = tlsWorkFolderLock;
  if (held.lock && held.folder == state_.templateWorkFolder) return;
  held.lock.reset();
  held.folder.clear();
  auto lock = std::make_unique<FileLock>(joinPath(state_.templateWorkFolder, ".lock"));
  // A folder where no lock file can be made fails on its first file anyway.
  if (lock->error()) return;
  const std::string me = "process " + std::to_string(::getpid());
  bool told = false;
  while (!lock->tryLock(me)) {
    AGPStatus& status = engine().status();
    if (!told) {
      status.DispStatus("Waiting for another generation that uses " + gen::shownPath(state_.templateWorkFolder) +
                        " (" + lock->holder() + ")...");
      told = true;
    }
    if (status.StatusIsCancelled()) CancelGeneration();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  held.folder = state_.templateWorkFolder;
  held.lock = std::move(lock);
}

int16_t Generator::CheckSourceChanged(std::string_view group, std::string_view key, std::string_view path) {
  if (path.empty() || !fileExists(path)) return kSourceMissing;
  std::optional<double> date = fileModifiedDate(path);
  AGPCache* c = cache();
  if (!c || !date) return 2;
  return c->CheckCache(Variant(group), Variant(key), Variant::date(*date), sizeValue(fileSize(path)));
}

bool Generator::ExtractArchive(std::string_view archive, std::string_view folder) {
  ArchiveResult result = extractArchive(archive, folder);
  if (!result.ok) {
    setProjErr(": Extracting archive \"" + gen::shownPath(archive) + "\" failed (" + result.error +
               ")! Generation aborted!");
    return false;
  }
  ++state_.summary.archivesExtracted;
  return true;
}

void Generator::DeleteFilesByExtension(std::string_view folder, std::string_view ext) {
  for (const std::string& name : listFiles(folder)) {
    const size_t dot = name.rfind('.');
    const std::string_view e =
        dot == std::string::npos ? std::string_view() : std::string_view(name).substr(dot + 1);
    if (equalsNoCase(e, ext)) deleteFile(std::string(folder) + "\\" + name);
  }
}

void Generator::DeleteFolderIfExists(std::string_view folder) {
  if (folderExists(folder)) deleteFolder(folder);
}

// ---------------------------------------------------------------- the run

void Generator::GenScript() {
  EngineContext& ctx = engine();
  ctx.projErr.clear();
  state_.summary = {};
  state_.report = {};
  bool recording = false;
  // What scripts let pass is reported after the run, with the author's paths.
  TemplateDiagnostics& diagnostics = templateDiagnostics();
  diagnostics.clear();
  diagnostics.shownPath = nullptr;

  if (proj_.DBCnt() == 0) {
    setProjErr(": Database not loaded! Generation aborted!");
    return;
  }
  AGPDatabase* db = proj_.db();
  if (db->tables().Count() == 0) {
    setProjErr(": No tables found in the Database! Generation aborted!");
    return;
  }

  WorkFolderRelease releaseWorkFolder;
  try {
    const std::string templ = proj_.str(keys::Template);
    if (const std::string name = templateNameOf(templ); !name.empty()) state_.templateFileName = name;
    // The work folder first: the cache in it is read once no other run
    // uses it.
    PrepareWorkFolders("Script");
    diagnostics.shownPath = [folders = shownFolders()](std::string_view path) {
      return shownSourcePath(folders, path);
    };
    ctx.cache = makeRef<AGPCache>(state_.templateFileName);
    AGPCache& cacheFile = *cache();

    // The template archive: extracted when it is new or changed, unless the
    // user keeps the copy extracted before.
    int16_t r = CheckSourceChanged("template", "template", templ);
    if (r == kSourceMissing) {
      setProjErr(": Template file not found! Generation aborted!");
      return;
    }
    state_.keepTemplate = r == kSourceUnchanged;
    state_.keptOnRequest = false;
    if (r == kSourceChanged) {
      PromptRequest request;
      request.id = "template";
      request.title = ctx.productName;
      request.text =
          "Template version in zip file is different with that in the template folder. Do you want to keep "
          "the "
          "existing files in the template folder or extract and overwrite from the zip file?";
      request.buttons = {"Keep", "Overwrite"};
      // Nobody to ask: the archive the project names is the one used.
      request.defaultButton = 1;
      state_.keepTemplate = ctx.prompts().ask(request).button == 0;
      state_.keptOnRequest = state_.keepTemplate;
    }
    if (!state_.keepTemplate && !ExtractArchive(templ, state_.templateFolder)) return;

    // Extensions are extracted when they changed, without asking. Time
    // and size miss an archive rewritten within a second at the same size;
    // the hash of its content does not.
    bool extensionExtracted = false;
    const std::vector<AGPExtension*> extensions = proj_.Extensions().inSequence();
    std::vector<std::string> extensionHashes;
    for (AGPExtension* e : extensions) {
      const std::string archive = extensionArchivePath(e->Template());
      r = CheckSourceChanged("extension", e->Name(), archive);
      if (r == kSourceMissing) {
        setProjErr(": Extension " + e->Name() + " template file not found! Generation aborted!");
        return;
      }
      extensionHashes.push_back(contentSha256(archive));
      if (r == kSourceUnchanged && cacheFile.contentHash("extension", e->Name()) != extensionHashes.back())
        r = kSourceChanged;
      if (r != kSourceUnchanged) {
        extensionExtracted = true;
        if (!ExtractArchive(archive, extensionFolder(e->Name()))) return;
      }
    }

    // An extension the project no longer lists changed the merged controls
    // as much as a new one does.
    for (const AGPCache::Entry& entry : std::vector<AGPCache::Entry>(cacheFile.entries())) {
      if (!equalsNoCase(entry.group, "extension")) continue;
      bool listed = false;
      for (AGPExtension* e : extensions) listed = listed || equalsNoCase(e->Name(), entry.key);
      if (!listed) {
        extensionExtracted = true;
        cacheFile.DeleteCache(Variant(entry.group), Variant(entry.key));
      }
    }

    // Without a user code file the built-in user code is used; there is
    // nothing to look for then.
    const std::string userCode = userSetting("USERCODE");
    bool userCodeChanged = false;
    if (!userCode.empty()) {
      r = CheckSourceChanged("usercode", "usercode", userCode);
      if (r == kSourceMissing) {
        setProjErr(": User code file not found! Generation aborted!");
        return;
      }
      userCodeChanged = r != kSourceUnchanged;
    }

    const std::string controlFile = state_.templateFolder + "\\control.xml";
    r = CheckSourceChanged("control", "control", controlFile);
    if (r == kSourceMissing) {
      setProjErr(": control file not found! Generation aborted!");
      return;
    }
    const bool controlChanged = r != kSourceUnchanged;
    if (!controls().LoadControls(controlFile)) {
      if (ctx.projErr.empty())
        setProjErr(": Load Template Control File \"" + gen::shownPath(controlFile) + "\" failed! Generation aborted!");
      return;
    }
    const std::string version = controls().ProdVersion();
    bool tooOld;
    try {
      tooOld = VersionIsGreater("1.0", version);
    } catch (const Error&) {
      tooOld = true;  // a version that is no number
    }
    if (tooOld) {
      setProjErr(": Template version (" + version +
                 ") older than minimum required (1.0)! Generation aborted!");
      return;
    }

    std::string languageFile = state_.templateFolder + "\\lang.xml";
    if (!fileExists(languageFile)) languageFile = userSetting("Language");
    r = CheckSourceChanged("language", "language", languageFile);
    if (r == kSourceMissing) {
      setProjErr(": language file not found! Generation aborted!");
      return;
    }
    const bool languageChanged = r != kSourceUnchanged;
    // An engine left by an interrupted run keeps the language it was given.
    if (!currentScriptEngine() || !ctx.language) ctx.language = makeRef<AGPLanguage>();
    AGPLanguage& language = static_cast<AGPLanguage&>(*ctx.language);
    if (!language.Load(languageFile)) {
      setProjErr(": Load Language File \"" + gen::shownPath(languageFile) + "\" failed! Generation aborted!");
      return;
    }

    // Any change of what every script file depends on rebuilds them all.
    if (!(state_.keepTemplate && !extensionExtracted && !userCodeChanged && !controlChanged &&
          !languageChanged)) {
      DeleteFilesByExtension(state_.tempFolder, "tmp");
      DeleteFilesByExtension(state_.tempFolder, "map");
      cacheFile.DeleteCacheGroup(Variant("temp"));
    }

    // A caller's choice for this run wins over the user's setting, which
    // it leaves as it is.
    state_.backupFile = state_.options.backup ? *state_.options.backup
                                              : ConvertByTypeName(RegRead("HKCU", ctx.regGeneral, "BackupFile"),
                                                                  "Boolean")
                                                    .toBool();
    ctx.scriptTimeout =
        ConvertByTypeName(RegRead("HKCU", ctx.regGeneral, "ScriptEngineTimeout"), "Long").toLong();
    // A missing setting reads as 0, which would stop every page at once: no limit then.
    if (ctx.scriptTimeout <= 0) ctx.scriptTimeout = -1;

    openStatus(2, " - Initializing VBScript Engine...");
    if (!currentScriptEngine()) {
      Ref<AGScript> eng = makeRef<AGScript>();
      ctx.scriptEngine = eng;
      Ref<AGPFilter> filter = makeRef<AGPFilter>();
      filter->Load();
      ctx.filters = filter;
      eng->Initialize(Variant(&proj_), Variant(db), Variant(&controls()), Variant(ctx.language),
                      Variant(filter));
    }
    AGScript& eng = *currentScriptEngine();
    if (ctx.projErr.empty()) {
      for (AGPExtension* e : extensions) {
        const std::string folder = extensionFolder(e->Name());
        if (fileExists(folder + "\\usercode.vbs")) eng.AddUserCode(folder + "\\usercode.vbs");
        if (fileExists(folder + "\\lang.xml")) language.Load(folder + "\\lang.xml");
      }
    }
    closeStatus();
    if (ctx.projErr.empty()) {
      openStatus(2, " - Validating project settings...");
      eng.Validate();
      closeStatus();
    }
    if (!ctx.projErr.empty()) {
      releaseRun();
      return;
    }

    openStatus(2, " - Merging extensions...");
    for (AGPExtension* e : extensions) MergeExtensionControls(e->Name());
    closeStatus();

    // Which script files must be rebuilt; a control without sessions counts
    // as one piece of work for the progress bar.
    openStatus(2, " - Validating control.xml...");
    state_.sessionsDone = 0;
    state_.sessionsTotal = 0;
    AGPControls& all = controls();
    for (int32_t i = 1; i <= all.Count(); ++i) {
      AGPControl* c = all.Item(i);
      if (c->CtrlType == "copy") continue;
      if (CheckControlStale(*c))
        state_.sessionsTotal += c->Sessions().Count() > 0 ? c->Sessions().Count() : 1;
    }
    closeStatus();

    if (state_.sessionsTotal > 0) {
      openStatus(3, " - Creating Script Files...");
      AGPStatus& status = ctx.status();
      for (int32_t i = 1; i <= all.Count(); ++i) {
        AGPControl* c = all.Item(i);
        if (c->CtrlType == "copy") continue;
        if (status.StatusIsCancelled()) CancelGeneration();
        if (!c->CtrlGen) continue;
        status.DispStatus("Loading " + c->CtrlID + (c->CtrlTagExt.empty() ? "" : "(" + c->CtrlTagExt + ")") +
                          " script...");
        BuildControlScript(*c, GetControlScriptFile(*c));
        if (c->Sessions().Count() == 0) {
          ++state_.sessionsDone;
          status.SetStatus(Variant::integer(PercentOf(state_.sessionsDone, state_.sessionsTotal)));
        }
      }
      closeStatus();
    }

    if (!state_.keptOnRequest) remember(cacheFile, "template", "template", templ);
    for (size_t i = 0; i < extensions.size(); ++i) {
      remember(cacheFile, "extension", extensions[i]->Name(), extensionArchivePath(extensions[i]->Template()));
      cacheFile.setContentHash("extension", extensions[i]->Name(), extensionHashes[i]);
    }
    if (!userCode.empty()) remember(cacheFile, "usercode", "usercode", userCode);
    remember(cacheFile, "control", "control", controlFile);
    remember(cacheFile, "language", "language", languageFile);
    for (const std::string& name : listFiles(state_.tempFolder)) {
      const size_t dot = name.rfind('.');
      if (dot != std::string::npos && equalsNoCase(std::string_view(name).substr(dot + 1), "xml")) continue;
      remember(cacheFile, "temp", name, state_.tempFolder + "\\" + name);
    }
    cacheFile.WriteCacheFile();

    openStatus(3, " - Generating " + ctx.targetLanguage + " Scripts...");
    {
      FolderListingCache listings;
      state_.scriptTexts.clear();
      state_.lineMaps.clear();
      StartOutputRecord();
      recording = true;
      GeneratePages(false);
      state_.scriptTexts.clear();
    }
    closeStatus();
    releaseRun();
    recording = false;
    if (!SaveOutputRecord() && ctx.projErr.empty())
      setProjErr(": Writing the manifest \"" + state_.options.manifestPath + "\" failed!");
  } catch (...) {
    // The window never stays open behind an error; the engine and the cache
    // stay for the next run. What was written before it is recorded.
    state_.scriptTexts.clear();
    closeStatus();
    if (recording) SaveOutputRecord();
    throw;
  }
}

int16_t Generator::GenCheck() {
  EngineContext& ctx = engine();
  ctx.projErr.clear();
  state_.summary = {};
  if (const std::string name = templateNameOf(proj_.str(keys::Template)); !name.empty())
    state_.templateFileName = name;
  WorkFolderRelease releaseWorkFolder;
  PrepareWorkFolders("Tmp");
  if (!ExtractArchive(proj_.str(keys::Template), state_.templateFolder)) return 0;
  const std::string controlFile = state_.templateFolder + "\\control.xml";
  if (!controls().LoadControls(controlFile)) {
    setProjErr(": Load Template Control File \"" + gen::shownPath(controlFile) + "\" failed! Generation aborted!");
    return 0;
  }
  if (proj_.DBCnt() == 0) {
    setProjErr(": Database not loaded! Generation aborted!");
    return 0;
  }
  int16_t count;
  {
    FolderListingCache listings;
    count = GeneratePages(true);
  }
  DeleteFolderIfExists(state_.templateFolder);
  return count;
}

std::string Generator::FldSrchOprs(int16_t ftype) {
  std::string out = "USER SELECT\r\n=\r\n<>";
  switch (FieldTypeCategory(ftype)) {
    case 4:
      return out;
    case 3:
      return out + "\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN\r\nLIKE\r\nNOT LIKE\r\nSTART WITH";
    default:
      return out + "\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN";
  }
}

}  // namespace tw
