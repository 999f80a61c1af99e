#pragma once
// A small project built in memory for the script engine tests: a database
// "shop" with the tables Orders (id, customer, total) and Customers (id,
// name), a control file with two controls, a language file, and an AGScript
// kept engine-wide as generation keeps it. Message boxes are recorded.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/agp.h"
#include "model/make_var_name.h"
#include "script/agscript.h"
#include "script/compile_template.h"
#include "script/control.h"
#include "script/filter.h"
#include "script/language.h"
#include "support/engine_context.h"
#include "support/prompt.h"
#include "support/registry.h"
#include "testing/fresh_engine.h"

namespace tw::testing {

// Records every message box with its icon.
class RecordingPrompt : public NonInteractivePrompt {
 public:
  struct Box {
    std::string title;
    std::string text;
    MessageIcon icon;
  };
  explicit RecordingPrompt(std::vector<Box>* boxes) : boxes_(boxes) {}
  void message(std::string_view title, std::string_view text, MessageIcon icon) override {
    boxes_->push_back({std::string(title), std::string(text), icon});
  }

 private:
  std::vector<Box>* boxes_;
};

class ScriptProject : public FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    engine().setPrompts(std::make_unique<RecordingPrompt>(&boxes));
    proj = makeRef<AGP>();
    proj->AddProj("Shop");
    proj->setSetting("Destination", Variant((dir() / "out").string()));
    std::filesystem::create_directories(dir() / "out");
    proj->Databases().Add("shop");
    proj->setCurrentDbName("shop");
    AGPDatabase* db = proj->db();
    db->setSetting("DBQuoteS", Variant("`"));
    db->setSetting("DBQuoteE", Variant("`"));
    addTable("Orders", {"id", "customer", "total"});
    addTable("Customers", {"id", "name"});

    controls = makeRef<AGPControls>();
    ASSERT_TRUE(controls->LoadControlsFromBytes(
        "<TarnwickTemplate date='2024-01-01' version='1.0' desc='test' author='tests'>"
        "<control id='list' type='table' ofile='list' oext='php' ifiles='list.php'>"
        "<session type='key' value='header'/></control>"
        "<control id='edit' type='table' ofile='edit'/>"
        "</TarnwickTemplate>"));
    language = makeRef<AGPLanguage>();
    ASSERT_TRUE(
        language->LoadFromBytes("<tarnwick.language>"
                                "<phrase id='Title' value='Order list'/>"
                                "<phrase id='Quote' value='Say \"cheese\"'/>"
                                "</tarnwick.language>"));
    engine().language = language;
    filter = makeRef<AGPFilter>();
  }

  void TearDown() override {
    // Everything goes while the engine context is still there.
    if (script) script->Reset();
    engine().scriptEngine.reset();
    engine().language.reset();
    script.reset();
    filter.reset();
    language.reset();
    controls.reset();
    proj.reset();
    FreshEngine::TearDown();
  }

  AGPTable* addTable(const std::string& name, const std::vector<std::string>& fields) {
    AGPTable* t = proj->db()->tables().Add(name);
    t->setSetting("TblVar", Variant(MakeVarName(name, "")));
    t->setSetting("TblGen", Variant(true));
    t->setSetting("TblCaption", Variant(name + " & more"));
    for (const std::string& f : fields) {
      AGPField* fld = t->Fields().Add(f);
      fld->setSetting("FldVar", Variant(MakeVarName(f, "x_")));
      fld->setSetting("FldGenerate", Variant(true));
      fld->setSetting("FldCaption", Variant("<" + f + ">"));
      fld->setSetting("FldIsPrimaryKey", Variant(f == "id"));
    }
    return t;
  }

  // Creates the engine (reading the developer settings now in the registry)
  // and initialises it with the project.
  AGScript& start() {
    script = makeRef<AGScript>();
    engine().scriptEngine = script;
    initialize();
    return *script;
  }
  void initialize() {
    script->Initialize(Variant(proj.get()), Variant(proj->db()), Variant(controls.get()),
                       Variant(language.get()), Variant(filter.get()));
  }

  // Makes table / field current as generation does before a page runs.
  void setCurrent(const std::string& table, const std::string& field = {}) {
    AGPTables& tables = proj->db()->tables();
    tables.SetItem(Variant(table));
    if (!field.empty()) tables.Item(Variant(table))->Fields().SetItem(Variant(field));
  }

  // Compiles a template and runs it at `level`.
  std::string run(const std::string& templ, int16_t level = 0, bool scriptFile = false,
                  int32_t timeoutMs = 10000) {
    TemplateCompiler compiler(script.get());
    if (!compiler.CompileTemplate(templ)) return "<parse error>";
    lastFunction = compiler.FunctionText(scriptFile);
    return script->BuildNewCode(lastFunction, level, timeoutMs);
  }

  std::string write(const std::string& name, const std::string& text) {
    std::filesystem::path p = dir() / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  std::string readOut(const std::string& name) {
    std::ifstream in(dir() / "out" / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void setDeveloperSetting(const std::string& name, const std::string& value) {
    RegWrite("HKCU", engine().regGeneral, name, kRegString, Variant(value));
  }
  std::string& projErr() { return engine().projErr; }

  std::vector<RecordingPrompt::Box> boxes;
  Ref<AGP> proj;
  Ref<AGPControls> controls;
  Ref<AGPLanguage> language;
  Ref<AGPFilter> filter;
  Ref<AGScript> script;
  std::string lastFunction;
};

}  // namespace tw::testing
