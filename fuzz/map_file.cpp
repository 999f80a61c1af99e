// Fuzzes reading a `sync --map` file: every pair read has both names, a
// field pair names its table, and a refused file names its line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/cli.h"
#include "cli/map_file.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    int last = 0;
    for (const tw::cli::MapPair& p : tw::cli::parseMap(text, "map.txt")) {
      check(!p.oldName.empty() && !p.newName.empty() && p.line > last);
      for (const std::string* name : {&p.table, &p.oldName, &p.newName})
        check(name->empty() || (name->front() != ' ' && name->back() != ' '));
      last = p.line;
    }
  } catch (const tw::cli::CliError& e) {
    check(e.code() == tw::cli::kExitUsage && std::string(e.what()).rfind("map.txt:", 0) == 0);
  }
  return 0;
}
