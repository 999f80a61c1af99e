#pragma once
// A project in memory and template archives built on the fly for the
// generation tests. The project "Shop" has a database "shop" with the tables
// Orders (id, customer, total) and Customers (id, name); pages go to
// <case>/out, the application root is <case>/root. Prompts are scripted, and
// everything the progress window shows is recorded.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/error.h"
#include "core/agp.h"
#include "generate/generator.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "platform/archive.h"
#include "platform/files.h"
#include "script/cache.h"
#include "script/control.h"
#include "support/engine_context.h"
#include "support/progress.h"
#include "support/prompt.h"
#include "support/registry.h"
#include "support/registry_store.h"
#include "support/status.h"
#include "testing/fresh_engine.h"

namespace tw::testing {

namespace fs = std::filesystem;

// What the progress window showed, in order.
struct ProgressRecord {
  struct Event {
    std::string kind;  // "open", "info", "progress", "close"
    int style = 0;
    std::string text;
    int position = 0;
  };
  std::vector<Event> events;
  std::string cancelOnInfo;  // the cancel button is pressed when this status line shows
  bool cancelled = false;
  int openWindows = 0;

  bool showed(const std::string& kind, const std::string& text) const {
    for (const Event& e : events)
      if (e.kind == kind && e.text == text) return true;
    return false;
  }
  std::vector<std::string> infos(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const Event& e : events)
      if (e.kind == "info" && e.text.rfind(prefix, 0) == 0) out.push_back(e.text);
    return out;
  }
};

class RecordingSink : public ProgressSink {
 public:
  explicit RecordingSink(ProgressRecord* record) : r_(record) {}
  int32_t open(int32_t, int style, std::string_view caption) override {
    r_->events.push_back({"open", style, std::string(caption), 0});
    ++r_->openWindows;
    return ++handle_;
  }
  void setInfo(int32_t, std::string_view text) override {
    r_->events.push_back({"info", 0, std::string(text), 0});
    if (!r_->cancelOnInfo.empty() && text == r_->cancelOnInfo) r_->cancelled = true;
  }
  void setProgress(int32_t, int16_t position) override {
    r_->events.push_back({"progress", 0, {}, position});
  }
  bool isCancelled(int32_t) override { return r_->cancelled; }
  void close(int32_t) override {
    r_->events.push_back({"close", 0, {}, 0});
    --r_->openWindows;
  }

 private:
  ProgressRecord* r_;
  int32_t handle_ = 0;
};

using Files = std::map<std::string, std::string>;

// control.xml with the given controls.
inline std::string controlFile(const std::string& controls, const std::string& version = "1.0") {
  return "<TarnwickTemplate date=\"2026-01-01\" version=\"" + version +
         "\" desc=\"test template\" author=\"tests\">\r\n" + controls + "</TarnwickTemplate>\r\n";
}

inline std::string languageFile(const std::string& phrases) {
  return "<tarnwick.language>" + phrases + "</tarnwick.language>";
}

class GenerationTest : public FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    root = dir();
    fs::create_directories(root / "extensions");
    setenv("TARNWICK_EXTENSIONS", (root / "extensions").c_str(), 1);
    auto p = std::make_unique<ScriptedPrompt>();
    prompts = p.get();
    engine().setPrompts(std::move(p));
    engine().status().setSink(std::make_unique<RecordingSink>(&progress));
    RegWrite("HKCU", engine().regGeneral, "ScriptEngineTimeout", kRegDword, Variant(20000));
    RegWrite("HKCU", engine().regGeneral, "BackupFile", kRegString, Variant("False"));

    proj = makeRef<AGP>();
    proj->AddProj("Shop");
    proj->setSetting("Destination", Variant(out().string()));
    proj->setSetting("AppRootFolder", Variant((root / "root").string()));
    proj->setSetting("OtherGen", Variant(true));
    proj->setSetting("OtherOverwrite", Variant(true));
    proj->setSetting("PromptOnOverwrite", Variant(false));
    proj->setSetting("OutputNameType", Variant(""));
    proj->setSetting("OutputNameExt", Variant(""));
    proj->setSetting("OutputNameLCase", Variant(false));
    proj->setSetting("AppCompat", Variant(false));
    proj->setSetting("SecType", Variant("None"));
    proj->Databases().Add("shop");
    proj->setCurrentDbName("shop");
    addTable("Orders", {"id", "customer", "total"});
    addTable("Customers", {"id", "name"});
    templatePath = root / "template.zip";
    proj->setSetting("Template", Variant(templatePath.string()));
  }

  void TearDown() override {
    unsetenv("TARNWICK_EXTENSIONS");
    engine().scriptEngine.reset();
    engine().generation.reset();
    engine().cache.reset();
    engine().language.reset();
    proj.reset();
    FreshEngine::TearDown();
  }

  AGPTable* addTable(const std::string& name, const std::vector<std::string>& fields,
                     const std::string& type = "TABLE") {
    AGPTable* t = proj->db()->tables().Add(name);
    t->setSetting("TblVar", Variant(name));
    t->setSetting("TblType", Variant(type));
    t->setSetting("TblGen", Variant(true));
    t->setSetting("TblOverwrite", Variant(true));
    t->setSetting("TblSysGenUnits", Variant(""));
    t->setSetting("TblCustomError", Variant(""));
    t->setSetting("TblKey", Variant(fields.empty() ? "" : fields.front()));
    for (const char* s : {"TblAdd", "TblCopy", "TblView", "TblEdit", "TblInlineEdit", "TblDelete"})
      t->setSetting(s, Variant(true));
    for (const std::string& f : fields) {
      AGPField* fld = t->Fields().Add(f);
      fld->setSetting("FldVar", Variant("x_" + f));
      // The built-in validation wants a generated field in every generated table.
      fld->setSetting("FldGenerate", Variant(f == fields.front()));
      fld->setSetting("FldHtmlTag", Variant("TEXT"));
    }
    return t;
  }
  AGPTable* table(const std::string& name) { return proj->db()->tables().Item(Variant(name)); }

  // Writes the files below a fresh folder and zips them into `zip`.
  void makeArchive(const fs::path& zip, const Files& files) {
    static int n = 0;
    fs::path src = root / ("archive-src-" + std::to_string(++n));
    for (const auto& [name, text] : files) write(src / name, text);
    fs::create_directories(src);
    ArchiveResult made = createArchive(zip.string(), src.string());
    ASSERT_TRUE(made.ok) << made.error;
  }
  void makeTemplate(const Files& files) { makeArchive(templatePath, files); }

  static void write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Moves a file's modification time `seconds` away from now.
  static void touch(const fs::path& p, int seconds) {
    fs::last_write_time(p, fs::file_time_type::clock::now() + std::chrono::seconds(seconds));
  }

  fs::path out() const { return root / "out"; }
  // The template's work folders below the documents folder.
  fs::path workFolder() const { return root / "Documents" / "Tarnwick" / "Templates" / "template.zip"; }
  fs::path scriptFolder() const { return workFolder() / "Script"; }
  fs::path tempFolder() const { return workFolder() / "temp"; }
  // The template folder as messages show it.
  std::string scriptFolderText() const { return scriptFolder().string(); }

  // Runs GenScript; a raised error is returned as its description.
  std::string run() {
    progress.events.clear();
    try {
      Generator(*proj).GenScript();
    } catch (const Error& e) {
      raisedNumber = e.number();
      return "raised: " + e.description();
    }
    raisedNumber = 0;
    return {};
  }
  std::string& projErr() { return engine().projErr; }
  const GenerationSummary& summary() { return lastGenerationSummary(); }

  fs::path root;
  fs::path templatePath;
  Ref<AGP> proj;
  ScriptedPrompt* prompts = nullptr;
  ProgressRecord progress;
  int32_t raisedNumber = 0;
};

}  // namespace tw::testing
