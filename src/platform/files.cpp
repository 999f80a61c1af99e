#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <system_error>
#include <unordered_map>

#include "automation/text.h"
#include "platform/files_detail.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

bool existsNoThrow(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec)) || fs::exists(p, ec);
}

// The last time of change of a folder; false when it cannot be read.
bool folderChangeTime(const fs::path& dir, struct timespec& out) {
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0) return false;
  out = st.st_mtim;
  return true;
}

// A folder's names by their lower-case form, as listed when the folder had
// the change time `changed` (see FolderListingCache).
struct FolderListing {
  struct timespec changed {};
  std::unordered_map<std::string, std::string> names;
};
thread_local std::unordered_map<std::string, FolderListing> tlsListings;
thread_local int tlsListingCaches = 0;
constexpr size_t kKeptListings = 16;

// Looks for an entry of `folder` whose name equals `name` ignoring case.
std::optional<fs::path> findNoCase(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  const fs::path dir = folder.empty() ? fs::path(".") : folder;
  if (tlsListingCaches == 0) {
    fs::directory_iterator it(dir, ec), end;
    if (ec) return std::nullopt;
    for (; it != end; it.increment(ec)) {
      if (ec) return std::nullopt;
      std::string entry = it->path().filename().string();
      if (equalsNoCase(entry, name)) return folder / entry;
    }
    return std::nullopt;
  }
  struct timespec changed {};
  if (!folderChangeTime(dir, changed)) return std::nullopt;
  auto kept = tlsListings.find(dir.string());
  if (kept == tlsListings.end() || kept->second.changed.tv_sec != changed.tv_sec ||
      kept->second.changed.tv_nsec != changed.tv_nsec) {
    FolderListing listing;
    listing.changed = changed;
    fs::directory_iterator it(dir, ec), end;
    if (ec) return std::nullopt;
    for (; it != end; it.increment(ec)) {
      if (ec) return std::nullopt;
      std::string entry = it->path().filename().string();
      listing.names.emplace(toLower(entry), std::move(entry));
    }
    if (tlsListings.size() >= kKeptListings) tlsListings.clear();
    kept = tlsListings.insert_or_assign(dir.string(), std::move(listing)).first;
  }
  auto found = kept->second.names.find(toLower(name));
  if (found == kept->second.names.end()) return std::nullopt;
  return folder / found->second;
}

// A file this layer created in `dir`: a kept listing that was current before
// stays current with the new name in it.
void noteCreated(const fs::path& dir, const std::string& name, const struct timespec& before) {
  if (tlsListingCaches == 0) return;
  auto kept = tlsListings.find(dir.string());
  if (kept == tlsListings.end()) return;
  struct timespec after {};
  if (kept->second.changed.tv_sec != before.tv_sec || kept->second.changed.tv_nsec != before.tv_nsec ||
      !folderChangeTime(dir, after)) {
    tlsListings.erase(kept);
    return;
  }
  kept->second.changed = after;
  kept->second.names.emplace(toLower(name), name);
}

// Days from 1 January 1970 to a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  const size_t units = bytes.size() / 2;
  auto unitAt = [&](size_t i) -> char32_t {
    unsigned char a = static_cast<unsigned char>(bytes[2 * i]);
    unsigned char b = static_cast<unsigned char>(bytes[2 * i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  for (size_t i = 0; i < units; ++i) {
    char32_t u = unitAt(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      char32_t lo = unitAt(i + 1);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;  // an unpaired surrogate
    appendUtf8(out, u);
  }
  if (bytes.size() % 2) appendUtf8(out, 0xFFFD);  // a dangling odd byte
  return out;
}

// Writes a new file beside `target` through `fill(fd)` and renames it over
// the target, so that the target is always either the old file or the whole
// new one. The new file gets the mode of the file it replaces, else
// `newMode`. The temporary file is locked while it exists (a clean-up of
// files that killed writers left knows it by that). On failure the target
// is untouched, the temporary file gone and errno tells why.
template <class Fill>
bool replaceAtomically(const fs::path& target, unsigned newMode, Fill fill) {
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && S_ISDIR(old.st_mode)) {
    errno = EISDIR;
    return false;
  }
  const fs::path temp = target.parent_path() / detail::temporaryName(target);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::flock(fd, LOCK_EX | LOCK_NB);
  int error = fill(fd) ? 0 : errno;
  if (!error) {
    mode_t mode = existed ? (old.st_mode & 07777) : static_cast<mode_t>(newMode & 07777);
    if (!existed) {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode &= ~mask;
    }
    if (::fchmod(fd, mode) != 0) error = errno;
  }
  if (::close(fd) != 0 && !error) error = errno;
  if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error) {
    ::unlink(temp.c_str());
    errno = error;
    return false;
  }
  return true;
}

}  // namespace

namespace detail {

std::string temporaryName(const fs::path& target) {
  static thread_local std::mt19937_64 rng{std::random_device{}() ^ static_cast<uint64_t>(::getpid())};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(rng()));
  return target.filename().string() + suffix;
}

bool writeAll(int fd, const char* data, size_t size) {
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool copyAll(int in, int out) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!writeAll(out, buffer, static_cast<size_t>(n))) return false;
  }
}

void forgetFolderListing(const fs::path& dir) {
  if (tlsListingCaches > 0) tlsListings.erase((dir.empty() ? fs::path(".") : dir).string());
}

}  // namespace detail

FolderListingCache::FolderListingCache() { ++tlsListingCaches; }

FolderListingCache::~FolderListingCache() {
  if (--tlsListingCaches == 0) tlsListings.clear();
}

// ---- Paths

fs::path nativePath(std::string_view path) {
  std::string p(path);
  std::replace(p.begin(), p.end(), '\\', '/');
  return fs::path(p);
}

fs::path resolvePath(std::string_view path) {
  fs::path native = nativePath(path);
  if (native.empty() || existsNoThrow(native)) return native;
  fs::path current = native.root_path();
  bool resolving = true;
  for (const fs::path& part : native.relative_path()) {
    const std::string name = part.string();
    if (!resolving || name.empty() || name == "." || name == "..") {
      current /= part;
      continue;
    }
    fs::path exact = current / part;
    if (existsNoThrow(exact)) {
      current = std::move(exact);
    } else if (auto found = findNoCase(current, name)) {
      current = std::move(*found);
    } else {
      resolving = false;
      current = std::move(exact);
    }
  }
  return current;
}

std::string joinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && out.back() != '\\' && out.back() != '/') out += '\\';
  out += name;
  return out;
}

std::string lastPathComponent(std::string_view path) {
  size_t cut = path.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// ---- Queries

bool fileExists(std::string_view path) {
  std::error_code ec;
  return fs::is_regular_file(resolvePath(path), ec);
}

bool folderExists(std::string_view path) {
  std::error_code ec;
  return fs::is_directory(resolvePath(path), ec);
}

std::optional<double> fileModifiedDate(std::string_view path) {
  std::error_code ec;
  fs::path p = resolvePath(path);
  if (!fs::is_regular_file(p, ec)) return std::nullopt;
  auto stamp = fs::last_write_time(p, ec);
  if (ec) return std::nullopt;
  auto sys = std::chrono::file_clock::to_sys(stamp);
  std::time_t t =
      std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::seconds>(sys));
  // to_time_t may round up; the seconds wanted are the ones the file shows.
  if (std::chrono::system_clock::from_time_t(t) > sys) --t;
  std::tm local{};
  if (!localtime_r(&t, &local)) return std::nullopt;
  const int64_t days = daysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                     static_cast<unsigned>(local.tm_mday)) -
                       daysFromCivil(1899, 12, 30);
  const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
  return static_cast<double>(days) + seconds / 86400.0;
}

int64_t fileSize(std::string_view path) {
  std::error_code ec;
  fs::path p = resolvePath(path);
  if (!fs::is_regular_file(p, ec)) return -1;
  auto size = fs::file_size(p, ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

namespace {
std::vector<std::string> listEntries(std::string_view folder, bool wantFolders) {
  std::vector<std::string> out;
  std::error_code ec;
  fs::directory_iterator it(resolvePath(folder), ec), end;
  if (ec) return out;
  for (; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code ec2;
    bool isDir = it->is_directory(ec2);
    bool isFile = it->is_regular_file(ec2);
    if (wantFolders ? isDir : isFile) out.push_back(it->path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}
}  // namespace

std::vector<std::string> listFiles(std::string_view folder) { return listEntries(folder, false); }
std::vector<std::string> listFolders(std::string_view folder) { return listEntries(folder, true); }

// ---- Reading

std::optional<std::string> readFile(std::string_view path) {
  fs::path p = resolvePath(path);
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) return std::nullopt;
  std::ifstream in(p, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  auto size = fs::file_size(p, ec);
  if (!ec) bytes.reserve(static_cast<size_t>(size));
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
    bytes.append(buffer, static_cast<size_t>(in.gcount()));
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::string decodeText(std::string_view bytes) {
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (starts("\xEF\xBB\xBF")) {
    std::string_view body = bytes.substr(3);
    return isValidUtf8(body) ? std::string(body) : decodeCp1252(body);
  }
  if (starts("\xFF\xFE")) return decodeUtf16(bytes.substr(2), false);
  if (starts("\xFE\xFF")) return decodeUtf16(bytes.substr(2), true);
  if (isValidUtf8(bytes)) return std::string(bytes);
  return decodeCp1252(bytes);
}

std::optional<std::string> readTextFile(std::string_view path) {
  auto bytes = readFile(path);
  if (!bytes) return std::nullopt;
  return decodeText(*bytes);
}

// ---- Writing

std::string encodeText(std::string_view utf8, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8:
      return std::string(utf8);
    case TextEncoding::Utf8Bom:
      return "\xEF\xBB\xBF" + std::string(utf8);
    case TextEncoding::Utf16LE: {
      std::string out = "\xFF\xFE";
      out.reserve(2 + utf8.size() * 2);
      auto put = [&](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
      };
      for (size_t pos = 0; pos < utf8.size();) {
        char32_t c = decodeUtf8(utf8, pos);
        if (c >= 0x10000) {
          c -= 0x10000;
          put(0xD800 + (c >> 10));
          put(0xDC00 + (c & 0x3FF));
        } else {
          put(c);
        }
      }
      return out;
    }
    case TextEncoding::Latin1: {
      std::string out;
      out.reserve(utf8.size());
      for (size_t pos = 0; pos < utf8.size();) {
        char32_t c = decodeUtf8(utf8, pos);
        out += c <= 0xFF ? static_cast<char>(c) : '?';
      }
      return out;
    }
  }
  return std::string(utf8);
}

bool writeFile(std::string_view path, std::string_view bytes) {
  const fs::path target = resolvePath(path);
  if (!target.has_filename()) {
    errno = EISDIR;
    return false;
  }
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  struct timespec before {};
  const bool known = tlsListingCaches > 0 && folderChangeTime(folder, before);
  if (!replaceAtomically(target, 0666, [&](int fd) { return detail::writeAll(fd, bytes.data(), bytes.size()); }))
    return false;
  if (known) noteCreated(folder, target.filename().string(), before);
  return true;
}

bool writeTextFile(std::string_view path, std::string_view text, TextEncoding encoding) {
  return writeFile(path, encodeText(text, encoding));
}

bool fileHoldsBytes(std::string_view path, std::string_view bytes) {
  const fs::path p = resolvePath(path);
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) == bytes.size();
  char buffer[65536];
  size_t at = 0;
  while (same && at < bytes.size()) {
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, bytes.size() - at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || std::memcmp(buffer, bytes.data() + at, static_cast<size_t>(n)) != 0)
      same = false;
    else
      at += static_cast<size_t>(n);
  }
  // The file must end where the bytes do (it may have grown since fstat).
  if (same && ::read(fd, buffer, 1) != 0) same = false;
  ::close(fd);
  return same;
}

bool writeFileIfChanged(std::string_view path, std::string_view bytes) {
  return fileHoldsBytes(path, bytes) || writeFile(path, bytes);
}

bool writeTextFileIfChanged(std::string_view path, std::string_view text, TextEncoding encoding) {
  return writeFileIfChanged(path, encodeText(text, encoding));
}

DurableFileWriter::DurableFileWriter(std::string_view path, unsigned newFileMode) {
  target_ = resolvePath(path);
  if (!target_.has_filename()) {
    error_ = EISDIR;
    return;
  }
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(target_, ec))) {
    fs::path real = fs::weakly_canonical(target_, ec);
    if (!ec) target_ = real;
  }
  mode_ = newFileMode & 07777;
  struct stat st {};
  existed_ = ::stat(target_.c_str(), &st) == 0;
  if (existed_) {
    if (S_ISDIR(st.st_mode)) {
      error_ = EISDIR;
      return;
    }
    mode_ = st.st_mode & 07777;
    owner_ = st.st_uid;
    group_ = st.st_gid;
  } else if (errno != ENOENT) {
    error_ = errno;
    return;
  }
  const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
  temp_ = folder / detail::temporaryName(target_);
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    error_ = errno;
    temp_.clear();
    return;
  }
  // Held until the file is renamed or removed: a clean-up of what killed
  // writers left behind passes over it.
  ::flock(fd_, LOCK_EX | LOCK_NB);
}

DurableFileWriter::~DurableFileWriter() {
  if (!committed_) abandon();
}

void DurableFileWriter::abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool DurableFileWriter::write(std::string_view bytes) {
  if (error_ || fd_ < 0) return false;
  for (size_t done = 0; done < bytes.size();) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      abandon();
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

int DurableFileWriter::commit() {
  if (error_ || fd_ < 0) return error_ ? error_ : EBADF;
  auto fail = [this](int err) {
    error_ = err;
    abandon();
    return err;
  };
  if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) return fail(errno);
  if (existed_ && (owner_ != ::geteuid() || group_ != ::getegid())) {
    // Only a privileged process can hand the file back to its owner; others
    // make it their own, as any editor saving a copy does.
    [[maybe_unused]] int ignored = ::fchown(fd_, owner_, group_);
  }
  if (::fsync(fd_) != 0) return fail(errno);
  int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) return fail(errno);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail(errno);
  temp_.clear();
  committed_ = true;
  // The new name reaches the disk with the folder.
  const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 0;
}

int replaceFileDurably(std::string_view path, std::string_view bytes, unsigned newFileMode) {
  DurableFileWriter out(path, newFileMode);
  out.write(bytes);
  return out.error() ? out.error() : out.commit();
}

// ---- Folders and copies

bool createFolder(std::string_view path) {
  fs::path p = resolvePath(path);
  std::error_code ec;
  if (fs::is_directory(p, ec)) return true;
  fs::create_directory(p, ec);
  return fs::is_directory(p, ec);
}

bool createFolders(std::string_view path) {
  fs::path p = resolvePath(path);
  std::error_code ec;
  if (fs::is_directory(p, ec)) return true;
  fs::create_directories(p, ec);
  return fs::is_directory(p, ec);
}

bool deleteFile(std::string_view path) {
  fs::path p = resolvePath(path);
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) return false;
  return fs::remove(p, ec) && !ec;
}

bool deleteFolder(std::string_view path) {
  fs::path p = resolvePath(path);
  std::error_code ec;
  if (!fs::is_directory(p, ec)) return false;
  fs::remove_all(p, ec);
  return !ec;
}

namespace {

// Copies a regular file over `target` atomically (see replaceAtomically);
// a new file gets the source's permissions.
bool copyOver(const fs::path& source, const fs::path& target) {
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  if (::fstat(in, &st) != 0) {
    const int error = errno;
    ::close(in);
    errno = error;
    return false;
  }
  const bool ok = replaceAtomically(target, st.st_mode & 07777, [&](int out) { return detail::copyAll(in, out); });
  const int error = errno;
  ::close(in);
  errno = error;
  return ok;
}

}  // namespace

bool copyFile(std::string_view from, std::string_view to, bool overwrite) {
  fs::path source = resolvePath(from);
  fs::path target = resolvePath(to);
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) {
    errno = ENOENT;
    return false;
  }
  if (fs::exists(target, ec) && !overwrite) {
    errno = EEXIST;
    return false;
  }
  return copyOver(source, target);
}

bool copyFolder(std::string_view from, std::string_view to, bool overwrite) {
  fs::path source = resolvePath(from);
  fs::path target = resolvePath(to);
  std::error_code ec;
  if (!fs::is_directory(source, ec)) return false;
  fs::create_directories(target, ec);
  if (!fs::is_directory(target, ec)) return false;
  bool ok = true;
  for (fs::recursive_directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
    fs::path relative = fs::relative(it->path(), source, ec);
    if (ec) return false;
    fs::path dest = target / relative;
    std::error_code e2;
    if (it->is_directory(e2)) {
      fs::create_directories(dest, e2);
    } else if (it->is_regular_file(e2)) {
      if (fs::exists(dest, e2) && !overwrite) continue;
      if (!copyOver(it->path(), dest)) {
        ok = false;
        continue;
      }
    }
    if (e2) ok = false;
  }
  if (ec) errno = ec.value();
  return ok && !ec;
}

}  // namespace tw
