#pragma once
// Zip archives: templates and extensions arrive as zip files that are
// extracted into work folders.
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

// Extracts every entry into `folder` (created when missing), keeping the
// archive's folder structure and replacing files that are already there.
// Entries whose names would leave the folder ("..", absolute paths, or a
// path through a link on disk that leads outside) are refused and make the
// extraction fail before anything is written. So does an archive that was
// cut short or has an entry whose data does not match its checksum: every
// entry is read whole before the first file is written. Symbolic-link
// entries are left out.
ArchiveResult extractArchive(std::string_view archivePath, std::string_view folder);

// Names of the entries (folders end in "/"); empty when unreadable.
std::vector<std::string> listArchive(std::string_view archivePath);

// Writes a zip of everything below `folder`, entry names relative to it with
// "/" separators, in name order. Replaces an existing archive.
ArchiveResult createArchive(std::string_view archivePath, std::string_view folder);

}  // namespace tw
