#pragma once
// Scripting.Dictionary: items under unique keys, kept in insertion order, with
// constant-time look-up. Keys are texts (compared by the compare mode),
// numbers (1, 1.0 and CLng(1) are one key; "1" is another), objects (by
// identity), Booleans, Empty and Null.
#include <string>
#include <vector>

#include "automation/dispatch.h"

namespace tw::vbs::lib {

class Dictionary : public Dispatch {
 public:
  const ClassInfo* classInfo() const override;
  Ref<Enumerator> newEnum() override;

  void add(const Variant& key, const Variant& item);
  bool exists(const Variant& key) const;
  // Reading a missing key adds it with an Empty item.
  Variant item(const Variant& key);
  void setItem(const Variant& key, const Variant& item);
  void rename(const Variant& key, const Variant& newKey);
  void remove(const Variant& key);
  void removeAll();
  Variant keys() const;
  Variant items() const;
  int32_t count() const noexcept { return static_cast<int32_t>(live_); }
  int32_t compareMode() const noexcept { return compareMode_; }
  void setCompareMode(int32_t mode);
  int32_t hashValue(const Variant& key) const;

 private:
  // Entries in insertion order; a removed one stays as a gap until the
  // next rebuild. The index is open addressing over entry numbers.
  struct Entry {
    Variant key;
    Variant item;
    std::string lookup;
    size_t hash = 0;
    bool live = true;
  };
  static constexpr int32_t kFree = -1;
  static constexpr int32_t kGap = -2;

  // The look-up form of a key: its kind and value, text folded in text mode.
  std::string lookupKey(const Variant& key) const;
  // The slot holding the key, or -1.
  int64_t findSlot(const std::string& lookup, size_t hash) const;
  int32_t findEntry(const Variant& key) const;
  void append(std::string lookup, size_t hash, const Variant& key, const Variant& item);
  void placeEntry(int32_t entry);
  void rebuild();

  std::vector<Entry> entries_;
  // An entry's number with the low half of its hash: most probes that miss
  // are told apart without reading the entry.
  struct Slot {
    int32_t entry;
    uint32_t hash;
  };
  std::vector<Slot> slots_;
  size_t live_ = 0;
  size_t usedSlots_ = 0;
  int32_t compareMode_ = 0;
};

}  // namespace tw::vbs::lib
