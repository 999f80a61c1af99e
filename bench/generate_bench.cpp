// Generation speed: a project of N tables x 20 fields generated with a test
// template of six table controls and one field control, whose pages of a few
// KB are built from many literal pieces and expressions (200 tables give
// 1,200 table pages and 4,000 field pages).
//
// For N = 50, 100 and 200 it prints the time of the first run (extraction,
// script files, pages), of its phases, of a second run without changes
// (no extraction, no script files), pages per second and the peak resident
// memory. Usage: bench_generate_bench [tables...]
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/agp.h"
#include "generate/generator.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "platform/archive.h"
#include "support/engine_context.h"
#include "support/progress.h"
#include "support/registry.h"
#include "support/registry_store.h"
#include "support/status.h"

namespace {

namespace fs = std::filesystem;
using namespace tw;
using Clock = std::chrono::steady_clock;

long statusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::char_traits<char>::length(key);
  while (std::getline(in, line))
    if (line.compare(0, n, key) == 0) return std::strtol(line.c_str() + n + 1, nullptr, 10);
  return -1;
}

// Remembers when each progress window opened and closed.
class TimingSink : public ProgressSink {
 public:
  struct Phase {
    std::string caption;
    Clock::time_point opened, closed;
  };
  std::vector<Phase> phases;
  int32_t open(int32_t, int, std::string_view caption) override {
    phases.push_back({std::string(caption), Clock::now(), {}});
    return static_cast<int32_t>(phases.size());
  }
  void setInfo(int32_t, std::string_view) override {}
  void setProgress(int32_t, int16_t) override {}
  bool isCancelled(int32_t) override { return false; }
  void close(int32_t) override { phases.back().closed = Clock::now(); }

  double seconds(std::string_view captionEnd) const {
    for (const Phase& p : phases)
      if (p.caption.size() >= captionEnd.size() &&
          p.caption.compare(p.caption.size() - captionEnd.size(), captionEnd.size(), captionEnd) == 0)
        return std::chrono::duration<double>(p.closed - p.opened).count();
    return 0;
  }
};

void write(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// A table page: a header, then for every field several lines mixing literal
// PHP with expressions, then a footer.
std::string tablePage(const std::string& kind) {
  std::string t;
  t += "<?php\r\n// <!--##=TABLE.TblName##--> " + kind + " page, generated for <!--##=PROJ.ProjName##-->\r\n";
  t += "$table = \"<!--##=TABLE.TblName##-->\";\r\n$caption = \"<!--##=TABLE.TblCaption##-->\";\r\n?>\r\n";
  t += "<html><head><title><!--##=TABLE.TblCaption##--> - " + kind + "</title></head>\r\n<body>\r\n";
  t += "<table class=\"" + kind + "\">\r\n";
  t += "<!--## For Each f In TABLE.Fields ##-->\r\n";
  t += "  <tr><td class=\"caption\"><!--##=f.FldCaption##--></td>\r\n";
  t += "    <td><?php echo htmlspecialchars($row[\"<!--##=f.FldName##-->\"]); ?></td>\r\n";
  t += "    <td><input type=\"text\" name=\"<!--##=f.FldVar##-->\" size=\"<!--##=f.FldSize##-->\" "
       "value=\"<?php echo $<!--##=f.FldVar##--> ?>\"></td>\r\n";
  t += "<!--## If f.FldIsPrimaryKey Then ##-->\r\n    <td>key</td>\r\n<!--## Else ##-->\r\n    <td></td>\r\n"
       "<!--## End If ##-->\r\n";
  t += "  </tr>\r\n<!--## Next ##-->\r\n";
  t += "</table>\r\n</body></html>\r\n";
  return t;
}

std::string fieldPage() {
  return "<?php\r\n// field <!--##=FIELD.FldName##--> of <!--##=TABLE.TblName##-->\r\n"
         "$name = \"<!--##=FIELD.FldVar##-->\";\r\n$caption = \"<!--##=FIELD.FldCaption##-->\";\r\n"
         "$size = <!--##=FIELD.FldSize##-->;\r\n?>\r\n"
         "<label for=\"<!--##=FIELD.FldVar##-->\"><!--##=FIELD.FldCaption##--></label>\r\n";
}

// Processor time of this process in user mode and in the system, in
// seconds: on a busy machine they tell more than the wall clock.
struct Cpu {
  double user = 0, system = 0;
};
Cpu cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto sec = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return {sec(u.ru_utime), sec(u.ru_stime)};
}

struct Result {
  int tables = 0;
  int pages = 0;
  double first = 0, firstScripts = 0, firstPages = 0;
  double second = 0, secondPages = 0;
  Cpu firstCpu, secondCpu;
  long peakKiB = 0;
};

Result runOnce(const fs::path& root, int tableCount) {
  Result r;
  r.tables = tableCount;
  const fs::path base = root / ("n" + std::to_string(tableCount));
  fs::create_directories(base / "Documents");
  setenv("TARNWICK_DOCUMENTS", (base / "Documents").c_str(), 1);
  resetEngine();
  RegWrite("HKCU", engine().regGeneral, "ScriptEngineTimeout", kRegDword, Variant(600000));

  // The template.
  static const char* kinds[] = {"list", "view", "edit", "add", "delete", "search"};
  std::string controls;
  for (const char* k : kinds)
    controls += std::string("<control id=\"") + k + "\" type=\"table\" ofile=\"" + k +
                "\" oext=\"php\" ifiles=\"" + k + ".php\"/>\r\n";
  controls += "<control id=\"field\" type=\"field\" ofile=\"fld\" oext=\"php\" ifiles=\"field.php\"/>\r\n";
  const fs::path src = base / "template-src";
  write(src / "control.xml",
        "<TarnwickTemplate date=\"2026-01-01\" version=\"1.0\" desc=\"bench\" author=\"bench\">\r\n" +
            controls + "</TarnwickTemplate>\r\n");
  write(src / "lang.xml", "<tarnwick.language><phrase id=\"Title\" value=\"Title\"/></tarnwick.language>");
  for (const char* k : kinds) write(src / (std::string(k) + ".php"), tablePage(k));
  write(src / "field.php", fieldPage());
  createArchive((base / "template.zip").string(), src.string());

  // The project.
  auto sink = std::make_unique<TimingSink>();
  TimingSink* timing = sink.get();
  engine().status().setSink(std::move(sink));
  Ref<AGP> proj = makeRef<AGP>();
  proj->AddProj("Bench");
  proj->setSetting("Destination", Variant((base / "out").string()));
  proj->setSetting("Template", Variant((base / "template.zip").string()));
  proj->setSetting("SecType", Variant("None"));
  proj->setSetting("OtherGen", Variant(false));
  proj->setSetting("PromptOnOverwrite", Variant(false));
  proj->Databases().Add("shop");
  proj->setCurrentDbName("shop");
  for (int t = 1; t <= tableCount; ++t) {
    const std::string name = "table" + std::to_string(t);
    AGPTable* table = proj->db()->tables().Add(name);
    table->setSetting("TblVar", Variant(name));
    table->setSetting("TblType", Variant("TABLE"));
    table->setSetting("TblCaption", Variant("Table number " + std::to_string(t)));
    table->setSetting("TblGen", Variant(true));
    table->setSetting("TblOverwrite", Variant(true));
    table->setSetting("TblKey", Variant("field1"));
    for (int f = 1; f <= 20; ++f) {
      const std::string fname = "field" + std::to_string(f);
      AGPField* field = table->Fields().Add(fname);
      field->setSetting("FldVar", Variant("x_" + fname));
      field->setSetting("FldCaption", Variant("Field number " + std::to_string(f)));
      field->setSetting("FldSize", Variant(f * 5));
      field->setSetting("FldIsPrimaryKey", Variant(f == 1));
      field->setSetting("FldGenerate", Variant(true));
      field->setSetting("FldHtmlTag", Variant("TEXT"));
    }
  }

  auto start = Clock::now();
  Cpu cpu = cpuSeconds();
  Generator(*proj).GenScript();
  r.first = std::chrono::duration<double>(Clock::now() - start).count();
  Cpu now = cpuSeconds();
  r.firstCpu = {now.user - cpu.user, now.system - cpu.system};
  if (!engine().projErr.empty()) std::fprintf(stderr, "first run: %s\n", engine().projErr.c_str());
  r.firstScripts = timing->seconds(" - Creating Script Files...");
  r.firstPages = timing->seconds(" - Generating PHP Scripts...");
  r.pages = lastGenerationSummary().pagesWritten;

  timing->phases.clear();
  start = Clock::now();
  cpu = cpuSeconds();
  Generator(*proj).GenScript();
  r.second = std::chrono::duration<double>(Clock::now() - start).count();
  now = cpuSeconds();
  r.secondCpu = {now.user - cpu.user, now.system - cpu.system};
  if (!engine().projErr.empty()) std::fprintf(stderr, "second run: %s\n", engine().projErr.c_str());
  if (lastGenerationSummary().scriptFilesBuilt != 0 || lastGenerationSummary().archivesExtracted != 0)
    std::fprintf(stderr, "second run rebuilt something\n");
  r.secondPages = timing->seconds(" - Generating PHP Scripts...");
  r.peakKiB = statusKiB("VmHWM:");
  proj.reset();
  resetEngine();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path root = fs::temp_directory_path() / ("tarnwick-generate-bench-" + std::to_string(::getpid()));
  fs::create_directories(root / "config");
  setenv("TARNWICK_CONFIG_HOME", (root / "config").c_str(), 1);
  setenv("TARNWICK_MACHINE_REGISTRY", (root / "none.txt").c_str(), 1);
  setenv("TARNWICK_EXTENSIONS", (root / "extensions").c_str(), 1);

  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {50, 100, 200};

  std::printf(
      "times in seconds: wall, processor time in user mode and in the system, and the wall time of\n"
      "the phases that build script files and write pages; pages/s is for the second run's pages\n");
  std::printf("%6s %6s | %7s %7s %7s %7s %7s | %7s %7s %7s %7s | %7s %8s\n", "tables", "pages", "1st", "user",
              "sys", "scripts", "pages", "2nd", "user", "sys", "pages", "pages/s", "peak MiB");
  for (int n : sizes) {
    Result r = runOnce(root, n);
    std::printf("%6d %6d | %7.3f %7.3f %7.3f %7.3f %7.3f | %7.3f %7.3f %7.3f %7.3f | %7.0f %8.1f\n", r.tables,
                r.pages, r.first, r.firstCpu.user, r.firstCpu.system, r.firstScripts, r.firstPages, r.second,
                r.secondCpu.user, r.secondCpu.system, r.secondPages,
                r.secondPages > 0 ? r.pages / r.secondPages : 0.0, r.peakKiB / 1024.0);
    std::fflush(stdout);
  }
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}
