// Page script speed and memory: one 40 KB page template (400 literal
// pieces, 300 expressions on TABLE and FIELD members, 99 script blocks) is
// compiled once into a page script and run 1,000 times through
// AGScript.BuildNewCode, as generation runs a control's script file for each
// table. Every run adds another definition of zbScriptEngine to the System
// module; the replaced ones must be freed, so the resident memory after 1,000
// runs should be what it was after 100.
//
// Prints pages per second and the resident memory along the way, then runs
// the Google Benchmark cases (compiling the page, running it).
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/agp.h"
#include "model/make_var_name.h"
#include "script/agscript.h"
#include "script/compile_template.h"
#include "script/control.h"
#include "script/filter.h"
#include "script/language.h"
#include "support/engine_context.h"

namespace {

using namespace tw;

// Resident and peak resident memory of this process, in KiB.
long statusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::char_traits<char>::length(key);
  while (std::getline(in, line))
    if (line.compare(0, n, key) == 0) return std::strtol(line.c_str() + n + 1, nullptr, 10);
  return -1;
}

// A private registry and documents folder, so the benchmark reads no user
// settings and writes nowhere else.
void privateEnvironment() {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / ("tarnwick-script-bench-" + std::to_string(::getpid()));
  fs::create_directories(root / "config");
  fs::create_directories(root / "Documents");
  setenv("TARNWICK_CONFIG_HOME", (root / "config").c_str(), 1);
  setenv("TARNWICK_DOCUMENTS", (root / "Documents").c_str(), 1);
  setenv("TARNWICK_MACHINE_REGISTRY", (root / "none.txt").c_str(), 1);
}

// The project, the engine and the page script, as generation has them when
// it runs a table's pages.
struct Fixture {
  Ref<AGP> proj;
  Ref<AGPControls> controls;
  Ref<AGPLanguage> language;
  Ref<AGPFilter> filter;
  Ref<AGScript> script;
  std::string templateText;
  std::string pageScript;

  Fixture() {
    proj = makeRef<AGP>();
    proj->AddProj("Bench");
    proj->Databases().Add("shop");
    proj->setCurrentDbName("shop");
    AGPTable* t = proj->db()->tables().Add("Orders");
    t->setSetting("TblVar", Variant("Orders"));
    t->setSetting("TblCaption", Variant("Orders of the shop"));
    for (int i = 1; i <= 20; ++i) {
      std::string name = "field" + std::to_string(i);
      AGPField* f = t->Fields().Add(name);
      f->setSetting("FldVar", Variant(MakeVarName(name, "x_")));
      f->setSetting("FldCaption", Variant("Field number " + std::to_string(i)));
      f->setSetting("FldSize", Variant(i * 10));
    }
    proj->db()->tables().SetItem(Variant("Orders"));
    t->Fields().SetItem(Variant("field7"));
    controls = makeRef<AGPControls>();
    controls->LoadControlsFromBytes(
        "<TarnwickTemplate><control id='list' type='table' ofile='list'/></TarnwickTemplate>");
    controls->Item(1);
    language = makeRef<AGPLanguage>();
    filter = makeRef<AGPFilter>();
    script = makeRef<AGScript>();
    engine().scriptEngine = script;
    script->Initialize(Variant(proj.get()), Variant(proj->db()), Variant(controls.get()),
                       Variant(language.get()), Variant(filter.get()));

    // 400 literal pieces of about 100 bytes, separated by 300 expressions
    // and 99 script blocks.
    static const char* const kExpressions[] = {
        "TABLE.TblName", "TABLE.TblVar", "FIELD.FldName", "FIELD.FldCaption", "FIELD.FldVar", "FIELD.FldSize",
    };
    for (int i = 0; i < 400; ++i) {
      std::string piece = "\r\n    <td class=\"cell" + std::to_string(i) + "\"><?php echo $rs['";
      while (piece.size() < 74) piece += "x";
      templateText += piece + "'] ?>";
      if (i == 399) break;
      if (i % 4 == 3)
        templateText += "<!--## n = n + 1 ##-->";
      else
        templateText += "<!--##=" + std::string(kExpressions[i % 6]) + "##-->";
    }
    TemplateCompiler compiler(script.get());
    compiler.CompileTemplate(templateText);
    pageScript = compiler.FunctionText(true);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void runThousandPages() {
  Fixture& f = fixture();
  std::printf("page template: %zu bytes; page script: %zu bytes\n", f.templateText.size(),
              f.pageScript.size());
  std::string out = f.script->BuildNewCode(f.pageScript, 2, 60000);
  if (!engine().projErr.empty()) {
    std::printf("page failed: %s\n", engine().projErr.c_str());
    std::exit(1);
  }
  std::printf("page output: %zu bytes\n", out.size());
  long rssAt100 = 0;
  auto start = std::chrono::steady_clock::now();
  for (int run = 1; run <= 1000; ++run) {
    out = f.script->BuildNewCode(f.pageScript, 2, 60000);
    if (run == 100) rssAt100 = statusKiB("VmRSS:");
    if (run % 250 == 0) std::printf("  after %4d runs: resident %ld KiB\n", run, statusKiB("VmRSS:"));
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  long rssAt1000 = statusKiB("VmRSS:");
  std::printf("1000 pages in %.3f s: %.0f pages per second\n", seconds, 1000 / seconds);
  std::printf(
      "resident memory after 100 runs %ld KiB, after 1000 runs %ld KiB (growth %ld KiB); peak %ld KiB\n",
      rssAt100, rssAt1000, rssAt1000 - rssAt100, statusKiB("VmHWM:"));
  std::printf("System module procedures: %zu\n", f.script->host().module("System").procedures().size());
}

void BM_CompilePage(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    TemplateCompiler compiler(f.script.get());
    compiler.CompileTemplate(f.templateText);
    benchmark::DoNotOptimize(compiler.FunctionText(true));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(f.templateText.size()));
}
BENCHMARK(BM_CompilePage)->Unit(benchmark::kMicrosecond);

void BM_BuildNewCodePage(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(f.script->BuildNewCode(f.pageScript, 2, 60000));
  state.counters["pages/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildNewCodePage)->Unit(benchmark::kMicrosecond);

// Compiling and running at once, as style sheets and other small texts are
// evaluated.
void BM_CompileAndRun(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state)
    benchmark::DoNotOptimize(CompileAndRunTemplate(*f.proj, f.templateText, f.controls.get()));
}
BENCHMARK(BM_CompileAndRun)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  privateEnvironment();
  runThousandPages();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(
      std::filesystem::temp_directory_path() / ("tarnwick-script-bench-" + std::to_string(::getpid())), ec);
  return 0;
}
