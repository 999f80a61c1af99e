// Feeds arbitrary text to ScriptHost::Module::addCode, then runs every
// procedure it defined that takes no arguments. Neither may crash or hang:
// a time-out bounds each call.
#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/error.h"
#include "vbs/host.h"

namespace {

// Replaces CreateObject so fuzzed scripts cannot reach the file system.
constexpr const char* kPrelude =
    "Function CreateObject(progId, server)\nEnd Function\n"
    "Function GetObject(path, progId)\nEnd Function\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  tw::vbs::ScriptHost host;
  host.setTimeout(50);
  auto& module = host.globalModule();
  module.addCode(kPrelude);
  try {
    module.addCode(text);
  } catch (const tw::Error&) {
  }
  int runs = 0;
  for (const tw::vbs::ProcedureInfo& p : module.procedures()) {
    if (p.argCount != 0 || ++runs > 8) continue;
    try {
      module.run(p.name);
    } catch (const tw::Error&) {
    }
  }
  try {
    module.eval(text);
  } catch (const tw::Error&) {
  }
  return 0;
}
