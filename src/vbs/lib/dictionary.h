#pragma once
// Scripting.Dictionary: items under unique keys, kept in insertion order, with
// constant-time look-up. Keys are texts (compared by the compare mode),
// numbers (1, 1.0 and CLng(1) are one key; "1" is another), objects (by
// identity), Booleans, Empty and Null.
#include <bit>
#include <memory>
#include <string>
#include <string_view>
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
  // Entries in insertion order, in blocks that never move (growing copies
  // nothing): 16 entries, 16 more, then blocks doubling in size. A removed
  // entry stays as a gap until the next rebuild. The index is open
  // addressing over entry numbers.
  struct Entry {
    Variant key;
    Variant item;
    uint32_t hash = 0;
    bool live = false;
  };
  static constexpr int kFirstBits = 4;
  static constexpr int32_t kFree = -1;
  static constexpr int32_t kGap = -2;

  // A key as it is looked up: its kind and value, text folded in text mode.
  struct Probe {
    enum Kind : uint8_t { Text, Number, Object, Empty, Null, Boolean } kind;
    std::string_view text;
    std::string folded;  // text mode only
    double number = 0;
    const void* object = nullptr;
    bool flag = false;
    uint32_t hash = 0;
  };
  Probe probe(const Variant& key) const;
  bool matches(const Entry& e, const Probe& p) const;

  // The block of entry i and the first entry number it holds.
  static size_t blockOf(size_t i) {
    return i < (size_t{1} << kFirstBits) ? 0 : static_cast<size_t>(std::bit_width(i)) - kFirstBits;
  }
  static size_t blockStart(size_t b) { return b == 0 ? 0 : size_t{1} << (b + kFirstBits - 1); }
  static size_t blockSize(size_t b) { return b == 0 ? size_t{1} << kFirstBits : size_t{1} << (b + kFirstBits - 1); }
  Entry& entry(size_t i) {
    size_t b = blockOf(i);
    return blocks_[b][i - blockStart(b)];
  }
  const Entry& entry(size_t i) const {
    size_t b = blockOf(i);
    return blocks_[b][i - blockStart(b)];
  }
  // The slot holding the key, or -1.
  int64_t findSlot(const Probe& p) const;
  int32_t findEntry(const Variant& key) const;
  void append(uint32_t hash, const Variant& key, const Variant& item);
  void placeEntry(int32_t entry);
  void rebuild();

  std::vector<std::unique_ptr<Entry[]>> blocks_;
  size_t size_ = 0;  // entries used, gaps included
  // An entry's number with its hash: most probes that miss are told apart
  // without reading the entry.
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
