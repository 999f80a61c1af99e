#pragma once
// Replacing several files together, all or nothing: each new file is first
// written whole into a temporary file beside its target (named as every
// write of this layer names them, "<name>.<16 hex digits>.tmp", and locked
// while it exists, so a clean-up of what killed runs left knows it), and
// only when every one of them is there are they renamed over their targets.
// Until then every target keeps its old file; a batch given up (or
// destroyed without committing) removes its temporary files and the folders
// it made that stayed empty.
//
// A rename that fails while committing (the target became a folder in the
// meantime, say) puts the old files of the targets already renamed back:
// before renaming, each old file gets a second name (a hard link) to return
// under. Only a crash in the middle of the renames can leave some targets
// new and the others old.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class StagedFiles {
 public:
  StagedFiles() = default;
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Stages `bytes` for the file `path` (its folder must exist). A target
  // staged again gets the later bytes. 0, or the errno of the failure (the
  // target is then not staged). An existing file's permission bits carry
  // over; a new file gets 0666 less the umask.
  int stage(std::string_view path, std::string_view bytes);
  // Stages a copy of the file `from` for `path`; a new file gets the
  // source's permission bits.
  int stageCopy(std::string_view from, std::string_view path);
  // Stages a copy of every file below the folder `from` for the same place
  // below `to`, making the folders that are missing. 0 or the errno of the
  // first failure (with failedPath() naming the file or folder).
  int stageFolder(std::string_view from, std::string_view to);

  // Renames every staged file over its target. 0, or the errno of the
  // rename that failed, every target then holding its old file again.
  int commit();
  // Removes the staged files; the targets stay as they were.
  void abandon();

  size_t size() const noexcept { return entries_.size(); }
  // The target of the last failure of stage, stageCopy, stageFolder or
  // commit.
  const std::string& failedPath() const noexcept { return failed_; }
  // The folders of the staged targets and those stageFolder made or went
  // through, each once.
  std::vector<std::string> folders() const;

 private:
  struct Entry {
    std::filesystem::path target;
    std::filesystem::path temp;
    std::filesystem::path kept;  // the old file's second name while committing
    int fd = -1;                 // holds the lock on the temporary file
    int keptFd = -1;             // holds the lock on the second name
    bool existed = false;
  };
  template <class Fill>
  int stageWith(std::string_view path, unsigned newMode, Fill fill);
  int makeFolders(const std::filesystem::path& folder);
  static void release(Entry& e);
  int fail(int error, std::string path);

  std::vector<Entry> entries_;
  std::vector<std::filesystem::path> madeFolders_;
  std::vector<std::filesystem::path> walkedFolders_;
  std::string failed_;
};

}  // namespace tw
