#pragma once
// What the file system objects share: path look-up (letter case ignored where
// a path does not exist as written), wildcards, file times and attributes,
// text decoding, opening text streams, and copying, moving and deleting.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "vbs/lib/filesystem.h"

namespace tw::vbs::lib::fsops {

inline constexpr int32_t kFileNotFound = kErrFileNotFound;     // 53
inline constexpr int32_t kFileExists = kErrFileAlreadyExists;  // 58
inline constexpr int32_t kPathNotFound = kErrPathNotFound;     // 76
inline constexpr int32_t kDenied = kErrPermissionDenied;       // 70
inline constexpr int32_t kBadMode = kErrBadFileMode;           // 54
inline constexpr int32_t kPastEnd = kErrInputPastEnd;          // 62

// ---- Paths
bool isSeparator(char c);
std::string withSlashes(std::string_view p);
bool pathExists(const fsys::path& p);
bool isDirectory(const fsys::path& p);
bool isFile(const fsys::path& p);
fsys::path resolve(std::string_view text);
fsys::path absolutePath(const fsys::path& p);
std::string pathText(const fsys::path& p);
std::string_view trimTrailingSeparators(std::string_view p);
std::string_view lastPart(std::string_view p);
std::string_view parentPart(std::string_view p);
bool hasWildcards(std::string_view name);
bool wildcardMatch(std::string_view pattern, std::string_view name);
std::vector<fsys::path> sources(std::string_view pathPattern, bool folders);

// ---- File times and sizes
double serialFromTime(std::time_t t);
Variant fileDate(const fsys::path& p, int which);
Variant sizeValue(uintmax_t bytes);
uintmax_t folderSize(const fsys::path& p);
bool isReadOnly(const fsys::path& p);
int32_t attributesOf(const fsys::path& p);
void setReadOnly(const fsys::path& p, bool readOnly);

// ---- Text decoding and encoding
bool validUtf8(std::string_view s);
std::string decodeUtf16(std::string_view bytes, bool bigEndian);
std::string decodeText(std::string_view bytes, bool unicode);
std::string encodeUtf16(std::string_view text);
bool readBytes(const fsys::path& p, std::string& out);

// ---- Opening text streams
void requireParent(const fsys::path& p);
Ref<TextStream> createText(const fsys::path& p, bool overwrite, bool unicode);
Ref<TextStream> openText(const fsys::path& p, int32_t mode, bool create, int32_t format);

// ---- Copying, moving, deleting
void copyOneFile(const fsys::path& from, const fsys::path& to, bool overwrite);
void copyFolderTree(const fsys::path& from, const fsys::path& to, bool overwrite);
fsys::path targetFor(std::string_view dest, const fsys::path& source, bool intoFolder);
void copyFiles(std::string_view src, std::string_view dest, bool overwrite);
void copyFolders(std::string_view src, std::string_view dest, bool overwrite);
void moveEntries(std::string_view src, std::string_view dest, bool folders);
void deleteEntries(std::string_view pathPattern, bool force, bool folders);

// ---- Names and objects
std::string tempName();
std::string buildPath(std::string_view path, std::string_view name);
std::string textArg(const Variant& v);
Ref<FileObject> getFile(std::string_view p);
Ref<FolderObject> getFolder(std::string_view p);
Ref<FolderObject> createFolder(std::string_view p);
void renameEntry(fsys::path& path, std::string_view newName);
std::string typeOf(const fsys::path& p);

}  // namespace tw::vbs::lib::fsops
