#pragma once
// What the file layer's own parts share (not for use outside src/platform).
#include <cstddef>
#include <filesystem>
#include <string>

namespace tw::detail {

// A new name for a temporary file beside `target`:
// "<file name>.<16 hex digits>.tmp", the pattern the clean-up of what killed
// writers left behind knows.
std::string temporaryName(const std::filesystem::path& target);
// Writes all of `data` to `fd`, going on after interruptions.
bool writeAll(int fd, const char* data, size_t size);
// Copies what is left to read from `in` to `out`, going on after
// interruptions.
bool copyAll(int in, int out);
// Drops the kept listing of a folder (see FolderListingCache) after names in
// it changed other than through writeFile.
void forgetFolderListing(const std::filesystem::path& dir);

}  // namespace tw::detail
