#pragma once
// What a generation run wrote into its destination, kept between runs so
// that the next run can tell its own untouched output from files changed by
// hand, and a dry run can say what a run would do.
//
// The manifest is a text file (kept beside the project file, outside the
// destination): a comment line, then one line per file written,
//   <size> <sha-256 of the bytes, hexadecimal> <path relative to the destination>
// with "/" between the path's folders.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct ManifestEntry {
  uint64_t size = 0;
  std::string hash;
};

class GenerationManifest {
 public:
  // Reads a manifest; a missing file gives an empty one (and false), a line
  // that cannot be read is left out.
  bool load(const std::string& path);
  // Writes it whole into a new file that then replaces the old one.
  bool save(const std::string& path) const;

  const ManifestEntry* find(std::string_view relativePath) const;
  void record(std::string_view relativePath, std::string_view content);
  void record(std::string_view relativePath, ManifestEntry entry);
  // The entry that records `content`.
  static ManifestEntry entryFor(std::string_view content);
  void forget(std::string_view relativePath);
  bool empty() const { return entries_.empty(); }
  const std::map<std::string, ManifestEntry, std::less<>>& entries() const { return entries_; }

  // Whether `content` is what the entry says was written.
  static bool matches(const ManifestEntry& entry, std::string_view content);

 private:
  std::map<std::string, ManifestEntry, std::less<>> entries_;
};

// A unified diff ("--- a", "+++ b", "@@ -l,n +l,n @@" hunks with three lines
// of context) of two texts split at line feeds; empty when they are equal.
std::string unifiedDiff(std::string_view before, std::string_view after, std::string_view beforeName,
                        std::string_view afterName);

}  // namespace tw
