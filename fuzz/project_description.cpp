// Fuzzes project description files (lines of shell-quoted words, as the
// sample application is described): applied to a project of the sample
// database, a description either works or stops with a message naming the
// file and line; a project it changed saves to a file that loads again and,
// once settled, saves to the same bytes.
#include <cstdint>
#include <string>

#include "cli/objects.h"
#include "fuzz/cli_fixture.h"

namespace {

using fuzzcli::check;

std::string gBase;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gBase = fuzzcli::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string base = fuzzcli::folder() + "/work.xml";
  const std::string description = fuzzcli::folder() + "/description.txt";
  const std::string first = fuzzcli::folder() + "/first.xml";
  const std::string second = fuzzcli::folder() + "/second.xml";
  fuzzcli::spill(base, gBase);
  fuzzcli::spill(description, std::string(reinterpret_cast<const char*>(data), size));
  tw::cli::globals().quiet = true;
  tw::Ref<tw::AGP> proj = tw::cli::loadProject(base);
  try {
    tw::cli::applyDescription(*proj, description);
  } catch (const tw::cli::CliError& e) {
    // The message names the file (and the line, for what is in it).
    check(std::string(e.what()).rfind(description + ":", 0) == 0);
    return 0;
  }
  tw::cli::saveProject(*proj, first);
  // Settings the reader derives again (the quotes of a custom view's
  // numeric fields) may change once; after that the file no longer changes.
  tw::Ref<tw::AGP> again = tw::cli::loadProject(first);
  tw::cli::saveProject(*again, second);
  const std::string settled = fuzzcli::slurp(second);
  again = tw::cli::loadProject(second);
  tw::cli::saveProject(*again, first);
  tw::cli::unlockProject();
  check(fuzzcli::slurp(first) == settled);
  return 0;
}
