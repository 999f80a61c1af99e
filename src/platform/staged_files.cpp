#include "platform/staged_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <system_error>

#include "platform/files.h"
#include "platform/files_detail.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

// Temporary files of a batch stay open (and so locked) up to this many; the
// ones past it are closed once written, so that a batch of thousands of
// files does not run out of file descriptors.
constexpr size_t kKeptOpen = 256;

fs::path folderOf(const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("."); }

}  // namespace

StagedFiles::~StagedFiles() { abandon(); }

void StagedFiles::release(Entry& e) {
  if (e.fd >= 0) ::close(e.fd);
  if (e.keptFd >= 0) ::close(e.keptFd);
  e.fd = e.keptFd = -1;
}

int StagedFiles::fail(int error, std::string path) {
  failed_ = std::move(path);
  return error;
}

template <class Fill>
int StagedFiles::stageWith(std::string_view path, unsigned newMode, Fill fill) {
  fs::path target = resolvePath(path);
  if (!target.has_filename()) return fail(EISDIR, target.string());
  std::error_code ec;
  // A symbolic link keeps its place; the file it points to is replaced.
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    fs::path real = fs::weakly_canonical(target, ec);
    if (!ec) target = real;
  }
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (!existed && errno != ENOENT) return fail(errno, target.string());
  if (existed && S_ISDIR(old.st_mode)) return fail(EISDIR, target.string());
  mode_t mode = existed ? (old.st_mode & 07777) : static_cast<mode_t>(newMode & 07777);
  if (!existed) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }

  Entry e;
  e.target = target;
  e.existed = existed;
  e.temp = folderOf(target) / detail::temporaryName(target);
  e.fd = ::open(e.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (e.fd < 0) return fail(errno, target.string());
  ::flock(e.fd, LOCK_EX | LOCK_NB);
  int error = fill(e.fd) ? 0 : errno;
  if (!error && ::fchmod(e.fd, mode) != 0) error = errno;
  if (!error && existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    // Only a privileged process can hand the file back to its owner.
    [[maybe_unused]] int ignored = ::fchown(e.fd, old.st_uid, old.st_gid);
  }
  if (!error && entries_.size() >= kKeptOpen) {
    if (::close(e.fd) != 0) error = errno;
    e.fd = -1;
  }
  if (error) {
    release(e);
    ::unlink(e.temp.c_str());
    return fail(error, target.string());
  }
  // The later bytes for a target staged twice win.
  auto same = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& x) { return x.target == target; });
  if (same != entries_.end()) {
    release(*same);
    ::unlink(same->temp.c_str());
    entries_.erase(same);
  }
  entries_.push_back(std::move(e));
  return 0;
}

int StagedFiles::stage(std::string_view path, std::string_view bytes) {
  return stageWith(path, 0666, [&](int fd) { return detail::writeAll(fd, bytes.data(), bytes.size()); });
}

int StagedFiles::stageCopy(std::string_view from, std::string_view path) {
  const fs::path source = resolvePath(from);
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return fail(errno, resolvePath(path).string());
  struct stat st {};
  int error = ::fstat(in, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (!error)
    error = stageWith(path, st.st_mode & 07777, [&](int out) { return detail::copyAll(in, out); });
  else
    fail(error, resolvePath(path).string());
  ::close(in);
  return error;
}

int StagedFiles::makeFolders(const fs::path& folder) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return 0;
  // The missing folders, outermost first.
  std::vector<fs::path> missing;
  for (fs::path p = folder; !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  std::reverse(missing.begin(), missing.end());
  const fs::path existing = missing.empty() ? folder : missing.front().parent_path();
  if (!existing.empty() && !fs::is_directory(existing, ec)) return fail(ENOTDIR, existing.string());
  for (const fs::path& p : missing) {
    if (::mkdir(p.c_str(), 0777) != 0 && errno != EEXIST) return fail(errno, p.string());
    madeFolders_.push_back(p);
  }
  return 0;
}

int StagedFiles::stageFolder(std::string_view from, std::string_view to) {
  const fs::path source = resolvePath(from);
  std::error_code ec;
  if (!fs::is_directory(source, ec)) return fail(ENOENT, source.string());
  const fs::path target = resolvePath(to);
  if (int error = makeFolders(target)) return error;
  walkedFolders_.push_back(target);
  // Sorted, so that a batch stages (and a failure stops) the same way each time.
  std::vector<fs::path> files, folders;
  for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (it->is_directory(e2))
      folders.push_back(it->path().filename());
    else if (it->is_regular_file(e2))
      files.push_back(it->path().filename());
  }
  if (ec) return fail(ec.value(), source.string());
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  for (const fs::path& name : files)
    if (int error = stageCopy((source / name).string(), (target / name).string())) return error;
  for (const fs::path& name : folders)
    if (int error = stageFolder((source / name).string(), (target / name).string())) return error;
  return 0;
}

int StagedFiles::commit() {
  // The old files get second names to return under should a rename fail.
  for (Entry& e : entries_) {
    if (!e.existed) continue;
    fs::path kept = folderOf(e.target) / detail::temporaryName(e.target);
    if (::link(e.target.c_str(), kept.c_str()) != 0) continue;
    e.kept = std::move(kept);
    e.keptFd = ::open(e.kept.c_str(), O_RDONLY | O_CLOEXEC);
    if (e.keptFd >= 0) ::flock(e.keptFd, LOCK_EX | LOCK_NB);
  }
  size_t done = 0;
  int error = 0;
  for (; done < entries_.size(); ++done) {
    Entry& e = entries_[done];
    if (::rename(e.temp.c_str(), e.target.c_str()) != 0) {
      error = errno;
      failed_ = e.target.string();
      break;
    }
    e.temp.clear();
  }
  if (error) {
    for (size_t i = done; i-- > 0;) {
      Entry& e = entries_[i];
      if (!e.kept.empty()) {
        if (::rename(e.kept.c_str(), e.target.c_str()) == 0) e.kept.clear();
      } else if (!e.existed) {
        ::unlink(e.target.c_str());
      }
    }
    abandon();
    return error;
  }
  std::set<fs::path> changed;
  for (Entry& e : entries_) {
    if (!e.kept.empty()) ::unlink(e.kept.c_str());
    release(e);
    changed.insert(folderOf(e.target));
  }
  for (const fs::path& folder : changed) detail::forgetFolderListing(folder);
  entries_.clear();
  madeFolders_.clear();
  walkedFolders_.clear();
  return 0;
}

void StagedFiles::abandon() {
  for (Entry& e : entries_) {
    if (!e.temp.empty()) ::unlink(e.temp.c_str());
    if (!e.kept.empty()) ::unlink(e.kept.c_str());
    release(e);
  }
  entries_.clear();
  // Innermost first; a folder something else was put in stays.
  for (auto it = madeFolders_.rbegin(); it != madeFolders_.rend(); ++it) ::rmdir(it->c_str());
  madeFolders_.clear();
  walkedFolders_.clear();
}

std::vector<std::string> StagedFiles::folders() const {
  std::set<std::string> all;
  for (const Entry& e : entries_) all.insert(folderOf(e.target).string());
  for (const fs::path& p : madeFolders_) all.insert(p.string());
  for (const fs::path& p : walkedFolders_) all.insert(p.string());
  return {all.begin(), all.end()};
}

}  // namespace tw
