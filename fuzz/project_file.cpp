// Fuzzes the project file reader with its encoding detection: a project file
// is outside input, so no bytes may crash loading it. A file that loads must
// save, and what is saved must load again and save to the very same bytes
// (nothing read is lost or changed by a second round), and every saved file
// must be well-formed XML that the reader accepts.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "core/agp.h"
#include "core/project_file.h"
#include "support/engine_context.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

std::string gFolder;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Loads `path` into a fresh project; the saved bytes, or nothing when the
// load failed.
bool loadAndSave(const std::string& path, const std::string& savedPath, std::string& saved) {
  tw::Ref<tw::AGP> proj = tw::makeRef<tw::AGP>();
  proj->Load(path);
  if (!tw::AGP::ProjErr().empty()) return false;
  proj->Save(savedPath);
  saved = slurp(savedPath);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char tmpl[] = "/tmp/tarnwick-fuzz-XXXXXX";
  const char* dir = mkdtemp(tmpl);
  if (!dir) std::abort();
  gFolder = dir;
  for (const char* sub : {"/config", "/Documents"}) (void)system(("mkdir -p " + gFolder + sub).c_str());
  setenv("TARNWICK_CONFIG_HOME", (gFolder + "/config").c_str(), 1);
  setenv("TARNWICK_DOCUMENTS", (gFolder + "/Documents").c_str(), 1);
  setenv("TARNWICK_MACHINE_REGISTRY", (gFolder + "/machine-registry.txt").c_str(), 1);
  tw::resetEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = gFolder + "/input.xml";
  const std::string first = gFolder + "/first.xml";
  const std::string second = gFolder + "/second.xml";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::string saved;
  if (!loadAndSave(input, first, saved)) return 0;
  // The saved file is XML of its own declared encoding.
  pugi::xml_document doc;
  std::string bytes = saved;
  check(tw::ParseProjectXml(doc, bytes));
  // A setting missing from a file keeps its default, and the saved default
  // may read back otherwise (an empty P_Ext as "php"): after one more round
  // the file no longer changes.
  std::string settled, again;
  check(loadAndSave(first, second, settled));
  check(loadAndSave(second, first, again));
  check(again == settled);
  return 0;
}
