#include "vbs/lib/filesystem_ops.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "vbs/lib/common.h"

namespace tw::vbs::lib::fsops {



// ---- Paths

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::string withSlashes(std::string_view p) {
  std::string s(p);
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

bool pathExists(const fsys::path& p) {
  std::error_code ec;
  return fsys::exists(p, ec);
}

bool isDirectory(const fsys::path& p) {
  std::error_code ec;
  return fsys::is_directory(p, ec);
}

bool isFile(const fsys::path& p) {
  std::error_code ec;
  return fsys::exists(p, ec) && !fsys::is_directory(p, ec);
}

// The path as it is on disk: parts that do not exist as written are matched
// without regard to case; parts past the first missing one stay as written.
fsys::path resolve(std::string_view text) {
  fsys::path written(withSlashes(text));
  if (written.empty()) written = ".";
  if (pathExists(written)) return written;
  fsys::path result;
  bool missing = false;
  for (const fsys::path& part : written) {
    if (missing || part == "/" || part == "." || part == ".." || part.empty()) {
      result /= part;
      continue;
    }
    fsys::path candidate = result / part;
    if (pathExists(candidate)) {
      result = candidate;
      continue;
    }
    std::error_code ec;
    fsys::path dir = result.empty() ? fsys::path(".") : result;
    std::string name = part.string();
    bool found = false;
    for (fsys::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      std::string entry = it->path().filename().string();
      if (equalsNoCase(entry, name)) {
        result /= entry;
        found = true;
        break;
      }
    }
    if (!found) {
      missing = true;
      result /= part;
    }
  }
  return result;
}

// Absolute, without "." and ".." and without a trailing separator.
fsys::path absolutePath(const fsys::path& p) {
  std::error_code ec;
  fsys::path a = fsys::absolute(p, ec);
  if (ec) a = p;
  a = a.lexically_normal();
  std::string s = a.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return fsys::path(s);
}

std::string pathText(const fsys::path& p) { return absolutePath(p).string(); }

// The name part of a path written with either separator, ignoring separators
// at the end.
std::string_view trimTrailingSeparators(std::string_view p) {
  while (p.size() > 1 && isSeparator(p.back())) p.remove_suffix(1);
  return p;
}

std::string_view lastPart(std::string_view p) {
  p = trimTrailingSeparators(p);
  size_t cut = p.find_last_of("/\\");
  if (cut == std::string_view::npos) return p;
  if (cut == p.size() - 1) return {};
  return p.substr(cut + 1);
}

std::string_view parentPart(std::string_view p) {
  p = trimTrailingSeparators(p);
  size_t cut = p.find_last_of("/\\");
  if (cut == std::string_view::npos) return {};
  if (cut == 0) return p.substr(0, 1);
  return p.substr(0, cut);
}

bool hasWildcards(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

// "*" and "?" matching without regard to case.
bool wildcardMatch(std::string_view pattern, std::string_view name) {
  std::string p = foldCase(pattern), n = foldCase(name);
  size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = ni;
    } else if (star != std::string::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

// The files (or folders) a source argument names: one path, or those matching
// the wildcards of its last part.
std::vector<fsys::path> sources(std::string_view pathPattern, bool folders) {
  std::string_view name = lastPart(pathPattern);
  std::vector<fsys::path> out;
  if (!hasWildcards(name)) {
    fsys::path p = resolve(pathPattern);
    if (folders ? isDirectory(p) : isFile(p)) out.push_back(p);
    return out;
  }
  fsys::path dir = resolve(parentPart(pathPattern).empty() ? std::string_view(".") : parentPart(pathPattern));
  std::error_code ec;
  for (fsys::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    bool dirEntry = it->is_directory(ec);
    if (dirEntry != folders) continue;
    if (wildcardMatch(name, it->path().filename().string())) out.push_back(it->path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// ---- File times and sizes

double serialFromTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  int64_t days = daysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return secondsToSerial(days * 86400 + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
}

Variant fileDate(const fsys::path& p, int which) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) raise(kFileNotFound);
  std::time_t t = which == 0 ? st.st_mtime : which == 1 ? st.st_atime : st.st_ctime;
  return Variant::date(serialFromTime(t));
}

Variant sizeValue(uintmax_t bytes) {
  if (bytes <= static_cast<uintmax_t>(INT32_MAX)) return Variant::long_(static_cast<int32_t>(bytes));
  return Variant(static_cast<double>(bytes));
}

uintmax_t folderSize(const fsys::path& p) {
  uintmax_t total = 0;
  std::error_code ec;
  for (fsys::recursive_directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) total += it->file_size(ec);
  }
  return total;
}

bool isReadOnly(const fsys::path& p) {
  std::error_code ec;
  auto perms = fsys::status(p, ec).permissions();
  return !ec && (perms & fsys::perms::owner_write) == fsys::perms::none;
}

// Windows attribute bits: ReadOnly 1, Hidden 2, Directory 16, Archive 32.
int32_t attributesOf(const fsys::path& p) {
  int32_t a = 0;
  if (isReadOnly(p)) a |= 1;
  std::string name = p.filename().string();
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") a |= 2;
  if (isDirectory(p))
    a |= 16;
  else
    a |= 32;
  return a;
}

void setReadOnly(const fsys::path& p, bool readOnly) {
  std::error_code ec;
  if (readOnly) {
    fsys::permissions(p, fsys::perms::owner_write | fsys::perms::group_write | fsys::perms::others_write,
                      fsys::perm_options::remove, ec);
  } else {
    fsys::permissions(p, fsys::perms::owner_write, fsys::perm_options::add, ec);
  }
  if (ec) raise(kDenied);
}

// ---- Text decoding and encoding

bool validUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int len = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (len == 0 || (len == 3 && c >= 0xF0) || i + static_cast<size_t>(len) > s.size()) return false;
    for (int k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0xC0) != 0x80) return false;
    i += static_cast<size_t>(len);
  }
  return true;
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  return fromUtf16(units);
}

std::string decodeText(std::string_view bytes, bool unicode) {
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (starts("\xFF\xFE")) return decodeUtf16(bytes.substr(2), false);
  if (starts("\xFE\xFF")) return decodeUtf16(bytes.substr(2), true);
  if (starts("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (unicode) return decodeUtf16(bytes, false);
  if (validUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (unsigned char c : bytes) appendUtf8(out, ansiChar(c));
  return out;
}

std::string encodeUtf16(std::string_view text) {
  std::string out;
  for (char16_t u : toUtf16(text)) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

bool readBytes(const fsys::path& p, std::string& out) {
  std::FILE* f = std::fopen(p.c_str(), "rb");
  if (!f) return false;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return true;
}

// ---- Opening text streams

// The folder a new file goes into must exist (76).
void requireParent(const fsys::path& p) {
  fsys::path parent = p.parent_path();
  if (!parent.empty() && !isDirectory(parent)) raise(kPathNotFound);
}

Ref<TextStream> createText(const fsys::path& p, bool overwrite, bool unicode) {
  requireParent(p);
  if (isDirectory(p)) raise(kDenied);
  if (pathExists(p) && !overwrite) raise(kFileExists);
  if (pathExists(p) && isReadOnly(p)) raise(kDenied);
  std::FILE* f = std::fopen(p.c_str(), "wb");
  if (!f) raise(kDenied);
  if (unicode) std::fwrite("\xFF\xFE", 1, 2, f);
  return makeRef<TextStream>(f, TextStream::Mode::Write, unicode);
}

// format: 0 ASCII, -1 Unicode, -2 the system default (ASCII).
Ref<TextStream> openText(const fsys::path& p, int32_t mode, bool create, int32_t format) {
  if (mode != 1 && mode != 2 && mode != 8) raise(kErrInvalidCall);
  if (format != 0 && format != -1 && format != -2) raise(kErrInvalidCall);
  bool unicode = format == -1;
  if (isDirectory(p)) raise(kDenied);
  bool present = pathExists(p);
  if (!present) {
    requireParent(p);
    if (!create) raise(kFileNotFound);
  }
  if (mode == 1) {
    std::string bytes;
    if (present && !readBytes(p, bytes)) raise(kDenied);
    if (!present) {
      std::FILE* f = std::fopen(p.c_str(), "wb");
      if (!f) raise(kDenied);
      std::fclose(f);
    }
    return makeRef<TextStream>(decodeText(bytes, unicode));
  }
  if (present && isReadOnly(p)) raise(kDenied);
  bool appendToText = mode == 8 && present;
  if (appendToText && !unicode) {
    // Appending keeps the file's encoding when it has a UTF-16 mark.
    std::string head;
    if (std::FILE* f = std::fopen(p.c_str(), "rb")) {
      char b[2];
      if (std::fread(b, 1, 2, f) == 2 && static_cast<unsigned char>(b[0]) == 0xFF &&
          static_cast<unsigned char>(b[1]) == 0xFE)
        unicode = true;
      std::fclose(f);
    }
  }
  std::FILE* f = std::fopen(p.c_str(), mode == 8 ? "ab" : "wb");
  if (!f) raise(kDenied);
  bool empty = !present || mode == 2 || fsys::file_size(p) == 0;
  if (unicode && empty) std::fwrite("\xFF\xFE", 1, 2, f);
  return makeRef<TextStream>(f, mode == 8 ? TextStream::Mode::Append : TextStream::Mode::Write, unicode);
}

// ---- Copying, moving, deleting

void copyOneFile(const fsys::path& from, const fsys::path& to, bool overwrite) {
  if (isDirectory(to)) raise(kDenied);
  if (pathExists(to)) {
    if (!overwrite) raise(kFileExists);
    if (isReadOnly(to)) raise(kDenied);
  }
  std::error_code ec;
  fsys::copy_file(from, to, fsys::copy_options::overwrite_existing, ec);
  if (ec) raise(kDenied);
}

void copyFolderTree(const fsys::path& from, const fsys::path& to, bool overwrite) {
  std::error_code ec;
  if (!isDirectory(to)) {
    if (pathExists(to)) raise(kFileExists);
    fsys::create_directory(to, ec);
    if (ec) raise(kPathNotFound);
  }
  for (fsys::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    fsys::path target = to / it->path().filename();
    if (it->is_directory(ec)) {
      copyFolderTree(it->path(), target, overwrite);
    } else {
      copyOneFile(it->path(), target, overwrite);
    }
  }
}

// Where each source goes: into the destination folder when the destination
// ends with a separator or several sources are named; the destination itself
// otherwise.
fsys::path targetFor(std::string_view dest, const fsys::path& source, bool intoFolder) {
  if (intoFolder) {
    fsys::path folder = resolve(dest);
    if (!isDirectory(folder)) raise(kPathNotFound);
    return folder / source.filename();
  }
  return resolve(dest);
}

// Copies and moves go into the folder dest when it ends in a separator or
// the source names several entries by wildcards.
bool targetsFolder(std::string_view src, std::string_view dest) {
  return (!dest.empty() && isSeparator(dest.back())) || hasWildcards(lastPart(src));
}

void copyFiles(std::string_view src, std::string_view dest, bool overwrite) {
  std::vector<fsys::path> from = sources(src, false);
  if (from.empty()) raise(kFileNotFound);
  bool intoFolder = targetsFolder(src, dest);
  for (const fsys::path& f : from) {
    fsys::path to = targetFor(dest, f, intoFolder);
    if (!intoFolder) requireParent(to);
    copyOneFile(f, to, overwrite);
  }
}

void copyFolders(std::string_view src, std::string_view dest, bool overwrite) {
  std::vector<fsys::path> from = sources(src, true);
  if (from.empty()) raise(kPathNotFound);
  bool intoFolder = targetsFolder(src, dest);
  for (const fsys::path& f : from) {
    fsys::path to = targetFor(dest, f, intoFolder);
    if (!intoFolder) requireParent(to);
    copyFolderTree(f, to, overwrite);
  }
}

void moveEntries(std::string_view src, std::string_view dest, bool folders) {
  std::vector<fsys::path> from = sources(src, folders);
  if (from.empty()) raise(folders ? kPathNotFound : kFileNotFound);
  bool intoFolder = targetsFolder(src, dest);
  for (const fsys::path& f : from) {
    fsys::path to = targetFor(dest, f, intoFolder);
    if (!intoFolder) requireParent(to);
    if (pathExists(to)) raise(kFileExists);
    std::error_code ec;
    fsys::rename(f, to, ec);
    if (ec) {
      // Another device: copy, then delete.
      if (folders) {
        copyFolderTree(f, to, false);
        fsys::remove_all(f, ec);
      } else {
        copyOneFile(f, to, false);
        fsys::remove(f, ec);
      }
      if (ec) raise(kDenied);
    }
  }
}

void deleteEntries(std::string_view pathPattern, bool force, bool folders) {
  std::vector<fsys::path> targets = sources(pathPattern, folders);
  if (targets.empty()) raise(folders ? kPathNotFound : kFileNotFound);
  for (const fsys::path& p : targets) {
    if (!force && isReadOnly(p)) raise(kDenied);
    std::error_code ec;
    if (folders) {
      fsys::remove_all(p, ec);
    } else {
      fsys::remove(p, ec);
    }
    if (ec) raise(kDenied);
  }
}

// ---- Names and objects

std::string tempName() {
  static std::mt19937 gen{std::random_device{}()};
  char buf[16];
  std::snprintf(buf, sizeof buf, "rad%05X.tmp", static_cast<unsigned>(gen() & 0xFFFFF));
  return buf;
}

std::string buildPath(std::string_view path, std::string_view name) {
  std::string out(path);
  if (out.empty()) return std::string(name);
  bool slash = out.find('/') != std::string::npos && out.find('\\') == std::string::npos;
  if (!isSeparator(out.back()) && !(name.size() > 0 && isSeparator(name.front()))) out += slash ? '/' : '\\';
  out.append(name);
  return out;
}

std::string textArg(const Variant& v) {
  ArgText t(v);
  return std::string(t.require());
}

Ref<FileObject> getFile(std::string_view p) {
  fsys::path path = resolve(p);
  if (!isFile(path)) raise(kFileNotFound);
  return makeRef<FileObject>(absolutePath(path));
}

Ref<FolderObject> getFolder(std::string_view p) {
  fsys::path path = resolve(p);
  if (!isDirectory(path)) raise(kPathNotFound);
  return makeRef<FolderObject>(absolutePath(path));
}

Ref<FolderObject> createFolder(std::string_view p) {
  fsys::path path = resolve(p);
  if (pathExists(path)) raise(kFileExists);
  requireParent(path);
  std::error_code ec;
  fsys::create_directory(path, ec);
  if (ec) raise(kDenied);
  return makeRef<FolderObject>(absolutePath(path));
}

void renameEntry(fsys::path& path, std::string_view newName) {
  if (newName.empty() || newName.find_first_of("/\\") != std::string_view::npos) raise(kErrInvalidCall);
  fsys::path target = path.parent_path() / std::string(newName);
  if (pathExists(target) && !equalsNoCase(target.filename().string(), path.filename().string()))
    raise(kFileExists);
  std::error_code ec;
  fsys::rename(path, target, ec);
  if (ec) raise(kDenied);
  path = target;
}

std::string typeOf(const fsys::path& p) {
  if (isDirectory(p)) return "File folder";
  std::string ext = p.extension().string();
  if (ext.size() > 1) return toUpper(ext.substr(1)) + " File";
  return "File";
}

}  // namespace tw::vbs::lib::fsops
