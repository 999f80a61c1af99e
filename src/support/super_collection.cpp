#include "support/super_collection.h"

#include <cmath>
#include <utility>

#include "automation/error.h"
#include "automation/text.h"

namespace tw {

namespace {

const char* const kSource = "tarnwick.CSuperCollection";

[[noreturn]] void raiseCollection(int32_t number, const char* text) { raise(number, text, kSource); }

[[noreturn]] void raiseInvalidDatatype() { raiseCollection(kErrInvalidDatatype, "Invalid datatype"); }
[[noreturn]] void raiseKeyNotFound() { raiseCollection(kErrKeyNotFound, "Key not found."); }
[[noreturn]] void raiseUndefined() { raiseCollection(kErrCollectionUndefined, "Undifined error"); }
[[noreturn]] void raiseInitialized() {
  raiseCollection(kErrCollectionInitialized, "Collection already initialized");
}

// An argument the caller left out: Empty or the missing-argument marker.
bool omitted(const Variant& v) { return v.isEmpty() || isMissing(v); }

// Numeric subtypes name a position; the result is rounded as VBScript's CLng
// rounds (halves to even). False when `v` is not a number.
bool numericPosition(const Variant& v, int64_t& out) {
  double d;
  switch (v.type()) {
    case vtInteger:
      out = v.rawInteger();
      return true;
    case vtLong:
      out = v.rawLong();
      return true;
    case vtByte:
      out = v.rawByte();
      return true;
    case vtSingle:
      d = v.rawSingle();
      break;
    case vtDouble:
      d = v.rawDouble();
      break;
    case vtCurrency:
      d = static_cast<double>(v.rawCurrency()) / 10000.0;
      break;
    case vtDecimal:
      d = v.toDouble();
      break;
    default:
      return false;
  }
  if (!std::isfinite(d) || std::fabs(d) > 9.0e18) {
    out = INT64_MAX;  // out of every range
    return true;
  }
  out = static_cast<int64_t>(std::nearbyint(d));
  return true;
}

std::string keyArgument(const Variant& v) {
  if (omitted(v)) return {};
  if (v.isString()) return std::string(v.rawString());
  return v.toString();
}

int32_t modeArgument(Args a, size_t i) {
  if (a.size() <= i || omitted(a[i])) return CSuperCollection::kAppend;
  return a[i].toLong();
}

}  // namespace

CSuperCollection::~CSuperCollection() = default;

void CSuperCollection::setCompareMode(int32_t mode) {
  if (!order_.empty()) raiseInitialized();
  if (mode != kBinaryCompare && mode != kTextCompare) raise(kErrSubscript);
  compareMode_ = mode;
}

void CSuperCollection::setBaseIndex(int32_t base) {
  if (!order_.empty()) raiseInitialized();
  base_ = base;
}

std::string CSuperCollection::foldKey(std::string_view key) const {
  return compareMode_ == kTextCompare ? toLower(key) : std::string(key);
}

size_t CSuperCollection::indexOfPosition(int64_t position) const {
  int64_t i = position - static_cast<int64_t>(base_);
  if (i < 0 || i >= static_cast<int64_t>(order_.size())) raise(kErrSubscript);
  return static_cast<size_t>(i);
}

size_t CSuperCollection::indexOf(const Variant& index) const {
  int64_t position;
  if (numericPosition(index, position)) return indexOfPosition(position);
  if (!index.isString()) raiseInvalidDatatype();
  auto it = keyIndex_.find(foldKey(index.rawString()));
  if (it == keyIndex_.end()) raiseKeyNotFound();
  // Removal and insertion are linear anyway; finding the position of a slot
  // is only needed by the members that change the order.
  for (size_t i = 0; i < order_.size(); ++i)
    if (order_[i] == it->second) return i;
  raiseKeyNotFound();
}

uint32_t CSuperCollection::newSlot() {
  if (!freeSlots_.empty()) {
    uint32_t s = freeSlots_.back();
    freeSlots_.pop_back();
    slots_[s].inUse = true;
    return s;
  }
  slots_.push_back(Slot{});
  slots_.back().inUse = true;
  return static_cast<uint32_t>(slots_.size() - 1);
}

void CSuperCollection::freeSlot(uint32_t s) {
  Slot& slot = slots_[s];
  if (!slot.key.empty()) keyIndex_.erase(foldKey(slot.key));
  slot.inUse = false;
  slot.key.clear();
  Variant old = std::move(slot.item);  // released after the slot is consistent
  slot.item = Variant();
  freeSlots_.push_back(s);
}

void CSuperCollection::add(const Variant& item, std::string_view key, int32_t mode, const Variant& position) {
  size_t insertAt = order_.size();
  if (mode == kBefore || mode == kAfter) {
    if (omitted(position)) raiseCollection(kErrNoPosition, "No position supplied.");
    int64_t p;
    if (!numericPosition(position, p)) {
      if (!position.isString()) raiseInvalidDatatype();
      size_t i = indexOf(position);
      p = static_cast<int64_t>(i) + base_;
    }
    size_t i = indexOfPosition(p);
    insertAt = mode == kBefore ? i : i + 1;
  } else if (mode != kAppend) {
    raiseUndefined();
  }
  std::string folded;
  if (!key.empty()) {
    folded = foldKey(key);
    if (keyIndex_.count(folded)) raise(kErrDuplicateKey);
  }
  uint32_t s = newSlot();
  slots_[s].item = item;
  slots_[s].key = std::string(key);
  if (!key.empty()) keyIndex_.emplace(std::move(folded), s);
  order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(insertAt), s);
}

Variant& CSuperCollection::item(const Variant& index) {
  int64_t position;
  if (numericPosition(index, position)) return slots_[order_[indexOfPosition(position)]].item;
  if (!index.isString()) raiseInvalidDatatype();
  auto it = keyIndex_.find(foldKey(index.rawString()));
  if (it == keyIndex_.end()) raiseKeyNotFound();
  return slots_[it->second].item;
}

const Variant& CSuperCollection::item(const Variant& index) const {
  return const_cast<CSuperCollection*>(this)->item(index);
}

void CSuperCollection::setItem(const Variant& index, const Variant& value) {
  if (!allowAssign_) raise(kErrNoSuchMember);
  Variant& target = item(index);
  Variant old = std::move(target);
  target = value;
}

const std::string& CSuperCollection::key(const Variant& index) const {
  int64_t position;
  if (numericPosition(index, position)) return slots_[order_[indexOfPosition(position)]].key;
  if (!index.isString()) raiseInvalidDatatype();
  auto it = keyIndex_.find(foldKey(index.rawString()));
  if (it == keyIndex_.end()) raiseKeyNotFound();
  return slots_[it->second].key;
}

bool CSuperCollection::keyExists(std::string_view key) const {
  if (key.empty()) return false;
  return keyIndex_.count(foldKey(key)) != 0;
}

int32_t CSuperCollection::positionOfKey(std::string_view key) const {
  auto it = keyIndex_.find(foldKey(key));
  if (key.empty() || it == keyIndex_.end()) return -1;
  for (size_t i = 0; i < order_.size(); ++i)
    if (order_[i] == it->second) return static_cast<int32_t>(i) + base_;
  return -1;
}

namespace {

// Re-keys one slot: the old key leaves the index, the new one enters it.
void rekey(std::unordered_map<std::string, uint32_t>& index, std::string& slotKey, uint32_t slot,
           std::string oldFolded, std::string newFolded, std::string_view newKey) {
  auto clash = index.find(newFolded);
  if (clash != index.end() && clash->second != slot) raise(kErrDuplicateKey);
  if (!slotKey.empty()) index.erase(oldFolded);
  slotKey = std::string(newKey);
  if (!newKey.empty()) index[std::move(newFolded)] = slot;
}

}  // namespace

void CSuperCollection::changeKey(std::string_view oldKey, std::string_view newKey) {
  auto it = keyIndex_.find(foldKey(oldKey));
  if (oldKey.empty() || it == keyIndex_.end()) raiseKeyNotFound();
  uint32_t s = it->second;
  rekey(keyIndex_, slots_[s].key, s, foldKey(slots_[s].key), foldKey(newKey), newKey);
  // Object items mirror their key in a Key property.
  Variant itemCopy = slots_[s].item;
  if (itemCopy.isObject() && itemCopy.rawObject()) {
    Dispatch* obj = itemCopy.rawObject();
    if (obj->memberId("Key") != kDispIdUnknown) obj->put("Key", Variant(newKey));
  }
}

void CSuperCollection::changeKeyForIndex(const Variant& index, std::string_view newKey) {
  uint32_t s = order_[indexOf(index)];
  rekey(keyIndex_, slots_[s].key, s, foldKey(slots_[s].key), foldKey(newKey), newKey);
}

void CSuperCollection::remove(const Variant& index) {
  size_t i = indexOf(index);
  uint32_t s = order_[i];
  order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(i));
  freeSlot(s);
}

void CSuperCollection::moveItem(const Variant& item, const Variant& target, int32_t relation) {
  if (running_ > 0) raiseCollection(kErrMoveInForEach, "Move not allowed while in For...Each loop.");
  if (relation != kBefore && relation != kAfter) raiseUndefined();
  size_t from = indexOf(item);
  size_t to = indexOf(target);
  if (from == to) return;
  uint32_t s = order_[from];
  order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(from));
  if (from < to) --to;
  size_t at = relation == kBefore ? to : to + 1;
  order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(at), s);
}

void CSuperCollection::clear() {
  // Items are released only after the collection is consistent again: their
  // destructors may call back into it.
  std::vector<Slot> old = std::move(slots_);
  slots_.clear();
  freeSlots_.clear();
  order_.clear();
  keyIndex_.clear();
}

const Variant* CSuperCollection::itemAtIndex(size_t i) const {
  if (i >= order_.size()) return nullptr;
  return &slots_[order_[i]].item;
}

Ref<CKeys> CSuperCollection::keys() const {
  std::vector<Ref<cKey>> list;
  list.reserve(keyIndex_.size());
  for (size_t i = 0; i < order_.size(); ++i) {
    const Slot& slot = slots_[order_[i]];
    if (!slot.key.empty()) list.push_back(makeRef<cKey>(slot.key, static_cast<int32_t>(i) + base_));
  }
  return makeRef<CKeys>(std::move(list), base_, compareMode_ == kTextCompare);
}

Ref<Enumerator> CSuperCollection::newEnum() {
  return makeRef<SuperCollectionEnumerator>(Ref<CSuperCollection>(this));
}

// ---- enumerator

SuperCollectionEnumerator::SuperCollectionEnumerator(Ref<CSuperCollection> owner, size_t pos)
    : owner_(std::move(owner)), pos_(pos) {
  ++owner_->running_;
}

SuperCollectionEnumerator::~SuperCollectionEnumerator() { --owner_->running_; }

bool SuperCollectionEnumerator::next(Variant& out) {
  const Variant* v = owner_->itemAtIndex(pos_);
  if (!v) return false;
  ++pos_;
  out = *v;
  return true;
}

bool SuperCollectionEnumerator::skip(uint32_t count) {
  size_t n = static_cast<size_t>(owner_->count());
  if (pos_ + count > n) {
    pos_ = n;
    return false;
  }
  pos_ += count;
  return true;
}

Ref<Enumerator> SuperCollectionEnumerator::clone() {
  return makeRef<SuperCollectionEnumerator>(owner_, pos_);
}

// ---- keys

Ref<cKey> CKeys::item(const Variant& index) const {
  int64_t position;
  if (numericPosition(index, position)) {
    int64_t i = position - base_;
    if (i < 0 || i >= static_cast<int64_t>(keys_.size())) raise(kErrSubscript);
    return keys_[static_cast<size_t>(i)];
  }
  if (!index.isString()) raiseInvalidDatatype();
  for (const Ref<cKey>& k : keys_) {
    bool same = textCompare_ ? equalsNoCase(k->name(), index.rawString()) : k->name() == index.rawString();
    if (same) return k;
  }
  raiseKeyNotFound();
}

Ref<Enumerator> CKeys::newEnum() {
  std::vector<Variant> items;
  items.reserve(keys_.size());
  for (const Ref<cKey>& k : keys_) items.emplace_back(k);
  return makeRef<VectorEnumerator>(std::move(items));
}

const ClassInfo* CKeys::classInfo() const {
  static const ClassInfo info = ClassBuilder<CKeys>("CKeys")
                                    .get("Count", [](CKeys& k) { return k.count(); })
                                    .get("Item", [](CKeys& k, const Variant& i) { return k.item(i); })
                                    .defaultMember("Item")
                                    .build();
  return &info;
}

const ClassInfo* cKey::classInfo() const {
  static const ClassInfo info = ClassBuilder<cKey>("cKey")
                                    .get("Name", [](cKey& k) { return k.name(); })
                                    .get("AssociatedIndex", [](cKey& k) { return k.associatedIndex(); })
                                    .defaultMember("Name")
                                    .build();
  return &info;
}

// ---- automation members

const ClassInfo* CSuperCollection::classInfo() const {
  using C = CSuperCollection;
  static const ClassInfo info =
      ClassBuilder<C>("CSuperCollection")
          .prop(
              "CompareMode", [](C& c) { return c.compareMode(); },
              [](C& c, const Variant& v) { c.setCompareMode(v.toLong()); })
          .prop(
              "AllowItemAsignments", [](C& c) { return c.allowItemAssignments(); },
              [](C& c, const Variant& v) { c.setAllowItemAssignments(v.toBool()); })
          .prop(
              "BaseIndex", [](C& c) { return c.baseIndex(); },
              [](C& c, const Variant& v) { c.setBaseIndex(v.toLong()); })
          .method("Add",
                  [](C& c, Args a) {
                    if (a.empty()) raise(kErrArgNotOptional);
                    std::string key = a.size() > 1 ? keyArgument(a[1]) : std::string();
                    int32_t mode = modeArgument(a, 2);
                    Variant position = a.size() > 3 ? a[3] : Variant();
                    c.add(a[0], key, mode, position);
                  })
          .get("Count", [](C& c) { return c.count(); })
          .get("Item", [](C& c, const Variant& i) { return c.item(i); })
          .put("Item",
               [](C& c, Args a, const Variant& v) {
                 if (a.size() != 1) raise(kErrWrongArgCount);
                 c.setItem(a[0], v);
               })
          .putRef("Item",
                  [](C& c, Args a, const Variant& v) {
                    if (a.size() != 1) raise(kErrWrongArgCount);
                    c.setItem(a[0], v);
                  })
          .get("Key", [](C& c, const Variant& i) { return c.key(i); })
          .method("KeyExists", [](C& c, const Variant& k) { return c.keyExists(keyArgument(k)); })
          .method("ChangeKey", [](C& c, const Variant& o,
                                  const Variant& n) { c.changeKey(keyArgument(o), keyArgument(n)); })
          .method("ChangeKeyForIndex",
                  [](C& c, const Variant& i, const Variant& n) { c.changeKeyForIndex(i, keyArgument(n)); })
          .method("Remove", [](C& c, const Variant& i) { c.remove(i); })
          .method("MoveItem", [](C& c, const Variant& i, const Variant& t,
                                 const Variant& r) { c.moveItem(i, t, r.toLong()); })
          .method("Clear", [](C& c) { c.clear(); })
          .get("Keys", [](C& c) { return c.keys(); })
          .defaultMember("Item")
          .build();
  return &info;
}

}  // namespace tw
