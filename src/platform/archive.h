#pragma once
// Zip archives: templates and extensions arrive as zip files that are
// extracted into work folders.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct ArchiveResult {
  bool ok = false;
  std::string error;  // why it failed, for messages
  int files = 0;      // files written
  int skipped = 0;    // symbolic-link entries left out
};

// What an archive may unpack to. An archive past any of them is refused
// before its files reach the folder.
struct ArchiveLimits {
  uint64_t maxTotalBytes = 512ull * 1024 * 1024;  // all entries together, unpacked
  uint64_t maxEntries = 20000;
  // An entry larger than ratioFloorBytes may unpack to at most maxRatio
  // times its packed size.
  uint64_t maxRatio = 200;
  uint64_t ratioFloorBytes = 1024 * 1024;
};

// Extracts every entry into `folder` (created when missing), keeping the
// archive's folder structure and replacing files that are already there.
// Entries whose names would leave the folder ("..", absolute paths, or a
// path through a link on disk that leads outside) are refused and make the
// extraction fail before anything is written. So does an archive that was
// cut short, has an entry whose data does not match its checksum, or goes
// past the limits: the entries are unpacked one piece at a time into a
// folder beside the target (never whole into memory), and only once every
// one of them was read whole do they move into the target. Symbolic-link
// entries are left out.
ArchiveResult extractArchive(std::string_view archivePath, std::string_view folder,
                             const ArchiveLimits& limits = {});

// Names of the entries (folders end in "/"); empty when unreadable.
std::vector<std::string> listArchive(std::string_view archivePath);

// Writes a zip of everything below `folder`, entry names relative to it with
// "/" separators, in name order. Replaces an existing archive.
ArchiveResult createArchive(std::string_view archivePath, std::string_view folder);

}  // namespace tw
