// Fuzzes unpacking a template or extension archive from its bytes: whatever
// the archive holds, nothing lands outside the target folder, no staging
// folder is left behind, and a refused archive leaves the target as it was.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/archive.h"

namespace fs = std::filesystem;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

const fs::path& scratch() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("fuzz-archive-" + std::to_string(::getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path& dir = scratch();
  const fs::path zip = dir / "in.zip";
  const fs::path box = dir / "box";
  const fs::path target = box / "out";
  fs::remove_all(box);
  fs::create_directories(target);
  { std::ofstream(target / "kept.txt") << "kept"; }
  { std::ofstream(zip, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size)); }

  // Small limits, so that the limits themselves are reached.
  tw::ArchiveLimits limits;
  limits.maxTotalBytes = 1 << 20;
  limits.maxEntries = 64;
  limits.ratioFloorBytes = 4096;
  tw::ArchiveResult r = tw::extractArchive(zip.string(), target.string(), limits);
  check(r.ok || !r.error.empty());
  // Only the target is below the box: no staging folder stays, nothing
  // escaped beside it.
  for (const auto& e : fs::directory_iterator(box)) check(e.path().filename() == "out");
  std::ifstream kept(target / "kept.txt");
  std::string text((std::istreambuf_iterator<char>(kept)), {});
  if (!r.ok) {
    check(text == "kept");
    size_t files = 0;
    for (auto it = fs::recursive_directory_iterator(target); it != fs::recursive_directory_iterator(); ++it)
      files += it->is_regular_file() ? 1 : 0;
    check(files == 1);
  }
  (void)tw::listArchive(zip.string());
  return 0;
}
