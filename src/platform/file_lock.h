#pragma once
// Advisory locks between processes, and the clean-up of temporary files that
// a process killed while writing left behind.
#include <string>
#include <string_view>

namespace tw {

// An exclusive lock on a lock file, created when missing and removed again
// by the holder when it lets go, so nothing stays beside the file it guards.
// A process that opened the file before its holder removed it finds, once it
// gets the lock, that the path names another file or none, and takes the
// lock again on the file there: two holders are never in at once. The holder
// writes a line into the file saying who it is, which a process that has to
// wait can show. The lock ends with the object or the process, however it
// ends (a killed holder leaves the file, which the next holder removes).
class FileLock {
 public:
  explicit FileLock(std::string_view path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // 0, or the errno of opening or creating the lock file.
  int error() const noexcept { return error_; }
  // Takes the lock without waiting; on success `holder` replaces the text
  // of the file. False when another holds it (or the file could not be
  // opened).
  bool tryLock(std::string_view holder);
  bool held() const noexcept { return held_; }
  // The text the current holder wrote (trimmed); empty when unknown.
  std::string holder() const;
  void unlock();

 private:
  std::string path_;
  int fd_ = -1;
  int error_ = 0;
  bool held_ = false;
};

// Removes the temporary files that writes of `target` through this layer
// (DurableFileWriter) left behind when their process was killed: files in
// its folder named "<name>.<16 hex digits>.tmp" that no living writer holds
// and that are older than the calling process. Returns how many went.
int removeStaleTemporaries(std::string_view target);
// The same for the temporary files of every file of `folder` (not below it).
int removeStaleTemporariesIn(std::string_view folder);

}  // namespace tw
