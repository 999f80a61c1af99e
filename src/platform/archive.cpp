#include "platform/archive.h"

#include <zip.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>

#include "platform/files.h"

namespace fs = std::filesystem;

namespace tw {

namespace {

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

ZipPtr openZip(std::string_view path, int flags, std::string& error) {
  int code = 0;
  zip_t* z = zip_open(resolvePath(path).c_str(), flags, &code);
  if (!z) {
    zip_error_t err;
    zip_error_init_with_code(&err, code);
    error = zip_error_strerror(&err);
    zip_error_fini(&err);
  }
  return ZipPtr(z);
}

// An entry name made safe to join below the target folder, or empty when it
// would leave it. Windows-made archives may use "\" separators.
std::string safeEntryPath(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.empty() || name.front() == '/' || (name.size() > 1 && name[1] == ':')) return {};
  fs::path p(name);
  for (const auto& part : p)
    if (part == "..") return {};
  return name;
}

}  // namespace

namespace {

std::string megabytes(uint64_t bytes) {
  if (bytes < 1024 * 1024) return std::to_string(bytes) + " bytes";
  return std::to_string(bytes / (1024 * 1024)) + " MB";
}

// A folder beside `root` that the entries are unpacked into first.
fs::path stagingFolder(const fs::path& root) {
  static unsigned counter = 0;
  const fs::path parent = root.has_parent_path() ? root.parent_path() : fs::path(".");
  return parent / ("." + root.filename().string() + ".unpacking-" + std::to_string(::getpid()) + "-" +
                   std::to_string(++counter));
}

// Removes the staging folder on every way out.
struct Staging {
  fs::path path;
  ~Staging() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
};

}  // namespace

ArchiveResult extractArchive(std::string_view archivePath, std::string_view folder, const ArchiveLimits& limits) {
  ArchiveResult result;
  // A consistency check on opening refuses archives that were cut short.
  ZipPtr z = openZip(archivePath, ZIP_RDONLY | ZIP_CHECKCONS, result.error);
  if (!z) return result;
  zip_int64_t n = zip_get_num_entries(z.get(), 0);
  if (n < 0 || static_cast<uint64_t>(n) > limits.maxEntries) {
    result.error = "it has more than " + std::to_string(limits.maxEntries) + " entries";
    return result;
  }
  struct Entry {
    zip_uint64_t index;
    std::string name;
    bool link = false;
  };
  std::vector<Entry> entries;
  uint64_t declared = 0;
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(z.get(), i, ZIP_FL_ENC_GUESS);
    if (!name) continue;
    std::string safe = safeEntryPath(name);
    if (safe.empty()) {
      result.error = std::string("unsafe entry name in archive: ") + name;
      return result;
    }
    Entry e{static_cast<zip_uint64_t>(i), std::move(safe), false};
    // Symbolic links in an archive are neither created nor followed.
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(z.get(), e.index, 0, &opsys, &attributes) == 0 &&
        opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & 0170000) == 0120000)
      e.link = true;
    // What the archive says of the sizes, checked before anything is
    // unpacked; the unpacking below holds the archive to it.
    zip_stat_t st;
    zip_stat_init(&st);
    if (!e.link && zip_stat_index(z.get(), e.index, 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE)) {
      declared += st.size;
      if (declared > limits.maxTotalBytes) {
        result.error = "it would unpack to more than " + megabytes(limits.maxTotalBytes);
        return result;
      }
      if ((st.valid & ZIP_STAT_COMP_SIZE) && st.size > limits.ratioFloorBytes &&
          st.size / std::max<zip_uint64_t>(st.comp_size, 1) > limits.maxRatio) {
        result.error = "entry " + e.name + " would unpack to more than " + std::to_string(limits.maxRatio) +
                       " times its packed size";
        return result;
      }
    }
    entries.push_back(std::move(e));
  }
  fs::path root = resolvePath(folder);
  std::error_code ec;
  fs::create_directories(root, ec);
  const fs::path canonicalRoot = fs::weakly_canonical(root, ec);
  // A folder on disk that is a link must not carry a file elsewhere.
  for (const Entry& e : entries) {
    if (e.link) continue;
    fs::path canonicalTarget = fs::weakly_canonical(root / e.name, ec);
    auto rel = canonicalTarget.lexically_relative(canonicalRoot);
    if (rel.empty() || *rel.begin() == "..") {
      result.error = "entry " + e.name + " would be written outside " + root.string();
      return result;
    }
  }
  // Every entry is unpacked (and its checksum verified) into a folder of
  // its own first, one piece at a time: a damaged archive, or one that
  // breaks the limits, leaves the target as it was.
  Staging staging{stagingFolder(canonicalRoot)};
  fs::create_directories(staging.path, ec);
  if (ec) {
    result.error = "cannot unpack beside " + root.string() + ": " + ec.message();
    staging.path.clear();
    return result;
  }
  uint64_t total = 0;
  std::vector<const Entry*> files;
  for (const Entry& e : entries) {
    if (e.link || e.name.back() == '/') continue;
    const fs::path target = staging.path / e.name;
    fs::create_directories(target.parent_path(), ec);
    zip_file_t* f = zip_fopen_index(z.get(), e.index, 0);
    if (!f) {
      result.error = "cannot read " + e.name + ": " + zip_strerror(z.get());
      return result;
    }
    // The staging folder is thrown away on any failure: no need to flush.
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int writeError = out < 0 ? errno : 0;
    char buf[65536];
    zip_int64_t got;
    bool tooBig = false;
    while ((got = zip_fread(f, buf, sizeof buf)) > 0) {
      total += static_cast<uint64_t>(got);
      if (total > limits.maxTotalBytes) {
        tooBig = true;
        break;
      }
      for (zip_int64_t done = 0; !writeError && done < got;) {
        const ssize_t w = ::write(out, buf + done, static_cast<size_t>(got - done));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) writeError = errno;
        else done += w;
      }
    }
    if (out >= 0 && ::close(out) != 0 && !writeError) writeError = errno;
    const bool readOk = got == 0;
    std::string why = readOk || tooBig ? std::string() : zip_file_strerror(f);
    zip_fclose(f);
    if (tooBig) {
      result.error = "it would unpack to more than " + megabytes(limits.maxTotalBytes);
      return result;
    }
    if (!readOk) {
      result.error = "entry " + e.name + " is damaged: " + why;
      return result;
    }
    if (writeError) {
      result.error = "cannot unpack " + e.name + ": " + std::strerror(writeError);
      return result;
    }
    files.push_back(&e);
  }
  // Verified whole: the files take their places in the target. What an
  // unpacking of an older archive left where this one has a folder (a file)
  // or a file (a folder) makes way.
  auto makeWay = [&](const std::string& name, bool folder) {
    fs::path at = root;
    const fs::path relative(name);
    for (auto it = relative.begin(); it != relative.end(); ++it) {
      if (it->empty()) continue;
      at /= *it;
      const bool last = std::next(it) == relative.end() || std::next(it)->empty();
      const fs::file_status st = fs::symlink_status(at, ec);
      if (!fs::exists(st)) break;
      if (last && !folder) {
        if (fs::is_directory(st)) fs::remove_all(at, ec);
      } else if (!fs::is_directory(st)) {
        fs::remove(at, ec);
        break;
      }
    }
  };
  for (const Entry& e : entries) {
    if (e.link) {
      ++result.skipped;
      continue;
    }
    if (e.name.back() == '/') {
      makeWay(e.name, true);
      fs::create_directories(root / e.name, ec);
    }
  }
  for (const Entry* e : files) {
    const fs::path target = root / e->name;
    makeWay(e->name, false);
    fs::create_directories(target.parent_path(), ec);
    fs::rename(staging.path / e->name, target, ec);
    if (ec) {
      result.error = "cannot write " + target.string() + ": " + ec.message();
      return result;
    }
    ++result.files;
  }
  result.ok = true;
  return result;
}

std::vector<std::string> listArchive(std::string_view archivePath) {
  std::string error;
  std::vector<std::string> names;
  ZipPtr z = openZip(archivePath, ZIP_RDONLY, error);
  if (!z) return names;
  zip_int64_t n = zip_get_num_entries(z.get(), 0);
  for (zip_int64_t i = 0; i < n; ++i)
    if (const char* name = zip_get_name(z.get(), i, ZIP_FL_ENC_GUESS)) names.emplace_back(name);
  return names;
}

ArchiveResult createArchive(std::string_view archivePath, std::string_view folder) {
  ArchiveResult result;
  fs::path root = resolvePath(folder);
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file()) files.push_back(it->path());
  }
  if (ec) {
    result.error = ec.message();
    return result;
  }
  std::sort(files.begin(), files.end());
  fs::path target = nativePath(archivePath);
  fs::remove(target, ec);
  ZipPtr z = openZip(target.string(), ZIP_CREATE | ZIP_TRUNCATE, result.error);
  if (!z) return result;
  for (const fs::path& file : files) {
    std::string name = fs::relative(file, root).generic_string();
    zip_source_t* src = zip_source_file(z.get(), file.c_str(), 0, 0);
    if (!src || zip_file_add(z.get(), name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
      if (src) zip_source_free(src);
      result.error = "cannot add " + name + ": " + zip_strerror(z.get());
      return result;
    }
    ++result.files;
  }
  if (zip_close(z.get()) != 0) {
    result.error = zip_strerror(z.get());
    return result;
  }
  z.release();
  result.ok = true;
  return result;
}

}  // namespace tw
