#pragma once
// CSuperCollection: the ordered, keyed container behind every collection of
// the object model. Items are variants (often objects) kept in an order that
// callers may change; each may carry a text key. Look-up by key is a hash
// probe, look-up by position an array index.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/dispatch.h"
#include "automation/variant.h"

namespace tw {

// Errors of the keyed collection (besides the standard 9, 438 and 457).
inline constexpr int32_t kErrCollectionInitialized = static_cast<int32_t>(0x80000500u);
inline constexpr int32_t kErrKeyNotFound = static_cast<int32_t>(0x80000501u);
inline constexpr int32_t kErrMoveInForEach = static_cast<int32_t>(0x80000502u);
inline constexpr int32_t kErrInvalidDatatype = static_cast<int32_t>(0x80000503u);
inline constexpr int32_t kErrNoPosition = static_cast<int32_t>(0x80000504u);
inline constexpr int32_t kErrCollectionUndefined = static_cast<int32_t>(0x80000505u);

class CKeys;

class CSuperCollection : public Dispatch {
 public:
  // Where Add puts the new item, and where MoveItem puts the moved one.
  enum PositionMode : int32_t {
    kAppend = 0,  // no position: at the end
    kBefore = 1,  // before the given position
    kAfter = 2,   // after the given position
  };
  // Key comparison.
  enum CompareMode : int32_t { kBinaryCompare = 0, kTextCompare = 1 };

  CSuperCollection() = default;
  ~CSuperCollection() override;

  int32_t compareMode() const noexcept { return compareMode_; }
  void setCompareMode(int32_t mode);
  bool allowItemAssignments() const noexcept { return allowAssign_; }
  void setAllowItemAssignments(bool allow) noexcept { allowAssign_ = allow; }
  int32_t baseIndex() const noexcept { return base_; }
  void setBaseIndex(int32_t base);

  // Adds an item. An empty key means no key. `position` is needed for
  // kBefore and kAfter; pass Empty (or nothing) for kAppend.
  void add(const Variant& item, std::string_view key = {}, int32_t mode = kAppend,
           const Variant& position = Variant());
  int32_t count() const noexcept { return static_cast<int32_t>(order_.size()); }

  // The item at a position (a number) or with a key (a text). The reference
  // stays valid until the next Add.
  Variant& item(const Variant& index);
  const Variant& item(const Variant& index) const;
  // Replaces the item; error 438 unless item assignments are allowed.
  void setItem(const Variant& index, const Variant& value);

  // The key of the item at a position or with a key; empty when it has none.
  const std::string& key(const Variant& index) const;
  bool keyExists(std::string_view key) const;
  // Gives the item with `oldKey` the key `newKey`. An object item also gets
  // `newKey` as its Key property when it has one.
  void changeKey(std::string_view oldKey, std::string_view newKey);
  void changeKeyForIndex(const Variant& index, std::string_view newKey);
  // Removes an item; later items move up one position.
  void remove(const Variant& index);
  // Takes the item out and puts it before or after the target.
  void moveItem(const Variant& item, const Variant& target, int32_t relation);
  void clear();

  // The keys in position order (items without a key are left out).
  Ref<CKeys> keys() const;
  Ref<Enumerator> newEnum() override;

  // Position (BaseIndex based) of the item with the key; -1 when absent.
  int32_t positionOfKey(std::string_view key) const;
  // Number of live enumerators.
  int32_t runningEnumerations() const noexcept { return running_; }

  std::string typeName() const override { return "CSuperCollection"; }
  const ClassInfo* classInfo() const override;

 private:
  friend class SuperCollectionEnumerator;
  struct Slot {
    Variant item;
    std::string key;
    bool inUse = false;
  };

  std::string foldKey(std::string_view key) const;
  // Resolves a position or key argument to an index into order_.
  size_t indexOf(const Variant& index) const;
  size_t indexOfPosition(int64_t position) const;
  uint32_t newSlot();
  void freeSlot(uint32_t slot);
  // The item at order_[i] (for enumerators); null past the end.
  const Variant* itemAtIndex(size_t i) const;

  int32_t compareMode_ = kBinaryCompare;
  bool allowAssign_ = false;
  int32_t base_ = 1;
  std::vector<Slot> slots_;
  std::vector<uint32_t> freeSlots_;
  std::vector<uint32_t> order_;                         // position - base -> slot
  std::unordered_map<std::string, uint32_t> keyIndex_;  // folded key -> slot
  int32_t running_ = 0;
};

// One key of a collection.
class cKey : public Dispatch {
 public:
  cKey(std::string name, int32_t index) : name_(std::move(name)), index_(index) {}
  const std::string& name() const noexcept { return name_; }
  int32_t associatedIndex() const noexcept { return index_; }
  std::string typeName() const override { return "cKey"; }
  const ClassInfo* classInfo() const override;

 private:
  std::string name_;
  int32_t index_;
};

// A read-only list of a collection's keys, taken when Keys was called.
// Item takes a position counted from the collection's BaseIndex, or a key.
class CKeys : public Dispatch {
 public:
  CKeys(std::vector<Ref<cKey>> keys, int32_t base, bool textCompare)
      : keys_(std::move(keys)), base_(base), textCompare_(textCompare) {}
  int32_t count() const noexcept { return static_cast<int32_t>(keys_.size()); }
  Ref<cKey> item(const Variant& index) const;
  Ref<Enumerator> newEnum() override;
  std::string typeName() const override { return "CKeys"; }
  const ClassInfo* classInfo() const override;

 private:
  std::vector<Ref<cKey>> keys_;
  int32_t base_;
  bool textCompare_;
};

// Walks a collection's positions from first to last. While it lives the
// collection counts an enumeration as running.
class SuperCollectionEnumerator : public Enumerator {
 public:
  explicit SuperCollectionEnumerator(Ref<CSuperCollection> owner, size_t pos = 0);
  ~SuperCollectionEnumerator() override;
  bool next(Variant& out) override;
  bool skip(uint32_t count) override;
  void reset() override { pos_ = 0; }
  Ref<Enumerator> clone() override;

 private:
  Ref<CSuperCollection> owner_;
  size_t pos_;
};

}  // namespace tw
