#pragma once
// AGPCache: what generation remembers per template about the files it has
// processed (modification time and size), so that the next run can tell
// whether a file changed.
//
// Entries are keyed by a group and a key (both ignoring letter case) and kept
// in cache.xml in the template's work folder:
//   <documents>\Tarnwick\Templates\<template name>\temp\cache.xml
//
//   <?xml version="1.0" encoding="utf-8" standalone="yes"?>
//   <Cache Product="Tarnwick" Version="1.0" >
//   <CacheEntry Group="template" Key="template" DateTime="2026/12/06 18:05:56" Size="1234" />
//   <CacheEntry Group="extension" Key="audit" DateTime="..." Size="..." Sha256="9f86d0..." />
//   </Cache>
//
// Sha256, the hash of the file's content, is kept for the files whose
// rewrite within a second at the same size must still be seen (extension
// archives); entries without it read and write as before.
//
// Attribute values are escaped, so keys holding &, <, > or " survive a write
// and a re-read. Nothing is written except by WriteCacheFile, which replaces
// the file atomically.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"

namespace tw {

class AGPCache : public Dispatch {
 public:
  struct Entry {
    std::string group;
    std::string key;
    std::string date;  // "yyyy/mm/dd hh:nn:ss"
    std::string size;  // decimal text
    std::string sha256;  // of the content, 64 hex digits; empty when not kept
  };

  // The cache of the template `templateName` (the template archive's path or
  // file name; the part after the last backslash counts): creates its work
  // folders and reads the cache file when there is one. A file that cannot be parsed, or is not a cache file,
  // gives an empty cache. Without a documents folder the cache lives in memory only.
  explicit AGPCache(std::string_view templateName);

  // The cache file's path for a documents folder and a template name.
  static std::string CacheFilePath(std::string_view documentsFolder, std::string_view templateName);
  const std::string& filePath() const noexcept { return path_; }

  // Records date and size for (group, key), replacing an earlier record.
  bool AddCache(const Variant& group, const Variant& key, const Variant& date, const Variant& size);
  // 0 when the entry holds the same date and size, 1 when it holds others,
  // 2 when there is no entry.
  int16_t CheckCache(const Variant& group, const Variant& key, const Variant& date,
                     const Variant& size) const;
  // The stored date text, or the date-time value 00:00:00 when there is no
  // entry.
  Variant GetCacheDate(const Variant& group, const Variant& key) const;
  bool DeleteCache(const Variant& group, const Variant& key);
  // The content hash kept for (group, key); empty when none is. AddCache of
  // a new date or size forgets it; set it after AddCache.
  std::string contentHash(std::string_view group, std::string_view key) const;
  bool setContentHash(std::string_view group, std::string_view key, std::string_view sha256);
  // Removes every entry of a group; true when there was at least one.
  bool DeleteCacheGroup(const Variant& group);
  // Empties the cache. Returns false.
  bool DeleteAllCache();
  // Writes all entries to the cache file; false when it cannot be written.
  bool WriteCacheFile() const;

  // "yyyy/mm/dd hh:nn:ss" of a date; any other value as its text.
  static std::string FormatCacheDate(const Variant& date);

  int32_t count() const noexcept { return static_cast<int32_t>(entries_.size()); }
  const std::vector<Entry>& entries() const noexcept { return entries_; }

  // Reads entries from the text of a cache file; false (and no entries) when
  // it is not one.
  bool readFromBytes(std::string_view bytes);
  // The text WriteCacheFile writes, in UTF-8.
  std::string fileText(std::string_view encodingName) const;

  const ClassInfo* classInfo() const override;

 private:
  int32_t find(std::string_view group, std::string_view key) const;  // -1 when absent

  std::string path_;  // empty: no file
  std::vector<Entry> entries_;
};

}  // namespace tw
