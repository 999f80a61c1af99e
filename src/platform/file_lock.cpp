#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "platform/files.h"

namespace fs = std::filesystem;

namespace tw {

namespace {

// When this process started (as far as files can tell): temporary files
// changed before it belong to writers that are no longer running, or to
// ones that hold their lock.
const struct timespec kStarted = [] {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}();

bool before(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool isTemporaryOf(std::string_view name, std::string_view base) {
  // "<base>." + 16 hex digits + ".tmp"
  if (name.size() != base.size() + 1 + 16 + 4 || name.substr(0, base.size()) != base) return false;
  if (name[base.size()] != '.' || name.substr(name.size() - 4) != ".tmp") return false;
  for (char c : name.substr(base.size() + 1, 16))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace

FileLock::FileLock(std::string_view path) : path_(resolvePath(path).string()) {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) error_ = errno;
}

FileLock::~FileLock() {
  unlock();
  if (fd_ >= 0) ::close(fd_);
}

bool FileLock::tryLock(std::string_view holder) {
  if (held_) return true;
  for (;;) {
    if (fd_ < 0) {
      fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (fd_ < 0) {
        error_ = errno;
        return false;
      }
    }
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EINTR) return false;
    }
    struct stat mine {}, now {};
    if (::fstat(fd_, &mine) == 0 && ::stat(path_.c_str(), &now) == 0 && mine.st_dev == now.st_dev &&
        mine.st_ino == now.st_ino)
      break;
    // The holder before removed this file after it was opened here.
    ::close(fd_);
    fd_ = -1;
  }
  held_ = true;
  std::string line(holder);
  line += '\n';
  if (::ftruncate(fd_, 0) == 0) {
    [[maybe_unused]] ssize_t n = ::pwrite(fd_, line.data(), line.size(), 0);
  }
  return true;
}

std::string FileLock::holder() const {
  // The file at the path: the one this object opened may be gone already.
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char buffer[512];
  ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
  ::close(fd);
  if (n <= 0) return {};
  std::string text(buffer, static_cast<size_t>(n));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

void FileLock::unlock() {
  if (!held_) return;
  // Removed while still held: whoever opens the path afterwards makes a new
  // file, and whoever waits on this one looks again.
  ::unlink(path_.c_str());
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  held_ = false;
}

namespace {

// Removes the stale temporary files in `folder` whose names `matches`.
template <class Matches>
int removeStale(const fs::path& folder, Matches matches) {
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!matches(name)) continue;
    const int fd = ::open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    struct stat st {};
    // A writer holds its temporary file locked until it is renamed; one that
    // was killed holds nothing.
    const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && before(st.st_mtim, kStarted) &&
                       ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (stale && ::unlink(it->path().c_str()) == 0) ++removed;
    ::close(fd);
  }
  return removed;
}

}  // namespace

int removeStaleTemporaries(std::string_view target) {
  const fs::path file = resolvePath(target);
  const std::string base = file.filename().string();
  return removeStale(file.has_parent_path() ? file.parent_path() : fs::path("."),
                     [&](const std::string& name) { return isTemporaryOf(name, base); });
}

int removeStaleTemporariesIn(std::string_view folder) {
  return removeStale(resolvePath(folder), [](const std::string& name) {
    // "<name>." + 16 hex digits + ".tmp", for any name.
    constexpr size_t kSuffix = 1 + 16 + 4;
    return name.size() > kSuffix && isTemporaryOf(name, std::string_view(name).substr(0, name.size() - kSuffix));
  });
}

}  // namespace tw
