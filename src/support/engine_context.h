#pragma once
// The engine's thread-wide state: one EngineContext per thread, shared by all
// engine objects of that thread. Tests reset it; an embedding may run one
// engine per thread.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "automation/variant.h"

namespace tw {

class AGPStatus;
class cRegistry;
class RegistryStore;
class PromptHandler;

// Told which objects' settings a generation run reads while it writes each
// output file (tarnwick studio regenerates, after a change, only the files
// that read the changed object). `owner` is the object whose settings were
// read (a SettingsOwner: project, database, table, field, chart).
class SettingsReadRecorder {
 public:
  virtual ~SettingsReadRecorder() = default;
  virtual void beginFile(std::string_view path) = 0;
  virtual void read(const void* owner) = 0;
  virtual void endFile() = 0;
  // Whether the page for this output file is to be made in this run; a page
  // not made keeps the file that is there.
  virtual bool wanted(std::string_view) { return true; }
};

struct EngineContext {
  EngineContext();
  ~EngineContext();

  // The last error text behind ProjErr.
  std::string projErr;

  // Product identity and registry paths.
  std::string targetLanguage = "PHP";
  std::string productCode = "QVX";
  std::string productKey = "Tarnwick";   // registry key
  std::string productName = "Tarnwick";  // display name that starts messages
  std::string productVersion = "1.0";    // registry version key and project format version
  std::string outputExtension = "php";
  std::string defaultPage = "index.php";
  std::string regBase;     // "Software\Tarnwick\1.0"
  std::string regGeneral;  // regBase + "\Settings\General"
  std::string regProject;
  std::string regDatabase;
  std::string regTable;
  std::string regChart;
  std::string regField;
  std::string regAdvancedFilters;
  std::string regExtensions;
  std::string regOdbc = "Software\\ODBC\\ODBC.INI";

  // Working copies taken from the loaded project.
  std::string sqlQuote;
  int32_t dateFormat = 0;
  std::string dbmsName;
  std::string dbQuoteS;  // identifier quotes of the database (DBQuoteS, DBQuoteE)
  std::string dbQuoteE;
  Variant secDefault;
  bool dynamicLoad = false;  // the project's DynamicLoadDB while a database loads

  // Switched on by whoever wants to know what each output file depends on;
  // not owned.
  SettingsReadRecorder* settingsReads = nullptr;

  // Script engine time-out in milliseconds ("ScriptEngineTimeout").
  int32_t scriptTimeout = 0;

  // The user's documents folder and the generation work folders.
  std::string documentsFolder;
  std::string workFolder;
  std::string templateFolder;
  std::string scriptFolder;

  // Registry access state.
  uint32_t lastRegType = 0;
  std::string systemCodePage;
  std::string systemCharset;

  // The progress caption last shown.
  std::string statusCaption;

  // Objects created on first use. Higher layers keep their engine-wide
  // objects in the Dispatch slots and cast them back.
  AGPStatus& status();
  cRegistry& registry();
  RegistryStore& registryStore();
  // Modal questions and message boxes; a terminal or non-interactive handler
  // unless one was installed.
  PromptHandler& prompts();
  void setPrompts(std::unique_ptr<PromptHandler> handler);
  Ref<Dispatch> bridge;
  Ref<Dispatch> scriptEngine;
  Ref<Dispatch> language;
  Ref<Dispatch> filters;
  Ref<Dispatch> keywords;
  Ref<Dispatch> cache;
  // The generation run's folders, control collection and answers.
  Ref<Dispatch> generation;
  // What went wrong in template scripts without stopping them (skipped
  // errors, unknown phrases, ...), for the report after a run.
  Ref<Dispatch> templateDiagnostics;

  // Composes the registry section paths from the product key and version.
  void composeRegistryPaths();

 private:
  Ref<AGPStatus> status_;
  Ref<cRegistry> registry_;
  std::unique_ptr<RegistryStore> store_;
  std::unique_ptr<PromptHandler> prompts_;
};

// The context of the calling thread, created on first use.
EngineContext& engine();
// Drops the calling thread's context; the next engine() call starts afresh.
void resetEngine();

// Sets ProjErr to the product name followed by `message` (": ... !").
void setProjErr(std::string_view message);

}  // namespace tw
