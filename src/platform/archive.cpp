#include "platform/archive.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
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

ArchiveResult extractArchive(std::string_view archivePath, std::string_view folder) {
  ArchiveResult result;
  // A consistency check on opening refuses archives that were cut short.
  ZipPtr z = openZip(archivePath, ZIP_RDONLY | ZIP_CHECKCONS, result.error);
  if (!z) return result;
  zip_int64_t n = zip_get_num_entries(z.get(), 0);
  struct Entry {
    zip_uint64_t index;
    std::string name;
    bool link = false;
    std::string data;
  };
  std::vector<Entry> entries;
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(z.get(), i, ZIP_FL_ENC_GUESS);
    if (!name) continue;
    std::string safe = safeEntryPath(name);
    if (safe.empty()) {
      result.error = std::string("unsafe entry name in archive: ") + name;
      return result;
    }
    Entry e{static_cast<zip_uint64_t>(i), std::move(safe), false, {}};
    // Symbolic links in an archive are neither created nor followed.
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(z.get(), e.index, 0, &opsys, &attributes) == 0 &&
        opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & 0170000) == 0120000)
      e.link = true;
    entries.push_back(std::move(e));
  }
  // Every entry is read (and its checksum verified) before anything is
  // written, so a damaged archive leaves no half-extracted tree behind.
  for (Entry& e : entries) {
    if (e.link || e.name.back() == '/') continue;
    zip_file_t* f = zip_fopen_index(z.get(), e.index, 0);
    if (!f) {
      result.error = "cannot read " + e.name + ": " + zip_strerror(z.get());
      return result;
    }
    char buf[65536];
    zip_int64_t got;
    while ((got = zip_fread(f, buf, sizeof buf)) > 0) e.data.append(buf, static_cast<size_t>(got));
    const bool readOk = got == 0;
    std::string why = readOk ? std::string() : zip_file_strerror(f);
    zip_fclose(f);
    if (!readOk) {
      result.error = "entry " + e.name + " is damaged: " + why;
      return result;
    }
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
  for (const Entry& e : entries) {
    if (e.link) {
      ++result.skipped;
      continue;
    }
    fs::path target = root / e.name;
    if (e.name.back() == '/') {
      fs::create_directories(target, ec);
      continue;
    }
    fs::create_directories(target.parent_path(), ec);
    if (!writeFile(target.string(), e.data)) {
      result.error = "cannot write " + target.string();
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
