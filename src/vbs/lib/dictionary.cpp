#include "vbs/lib/dictionary.h"

#include <cmath>
#include <cstring>

#include "vbs/lib/common.h"

namespace tw::vbs::lib {

namespace {

void appendBytes(std::string& out, const void* p, size_t n) { out.append(static_cast<const char*>(p), n); }

// Number subtypes that share one key space (1, 1.0, CLng(1), a Date 1).
bool isNumericKey(VarType t) {
  switch (t) {
    case vtByte:
    case vtInteger:
    case vtLong:
    case vtSingle:
    case vtDouble:
    case vtCurrency:
    case vtDate:
    case vtDecimal:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string Dictionary::lookupKey(const Variant& key) const {
  std::string out;
  switch (key.type()) {
    case vtString:
      if (compareMode_ != 0) return "S" + foldCase(key.rawString());
      out.reserve(key.rawString().size() + 1);
      out += 'S';
      out += key.rawString();
      return out;
    case vtObject: {
      out += 'O';
      Dispatch* p = key.rawObject();
      appendBytes(out, &p, sizeof p);
      return out;
    }
    case vtEmpty:
      return "E";
    case vtNull:
      return "Z";
    case vtBoolean:
      return key.rawBool() ? "B1" : "B0";
    default:
      break;
  }
  if (!isNumericKey(key.type())) raise(kErrInvalidCall);
  double d = key.toDouble();
  if (std::isnan(d)) raise(kErrInvalidCall);
  if (d == 0) d = 0;  // -0 and 0 are one key
  out += 'N';
  appendBytes(out, &d, sizeof d);
  return out;
}

int64_t Dictionary::findSlot(const std::string& lookup, size_t hash) const {
  if (slots_.empty()) return -1;
  size_t mask = slots_.size() - 1;
  uint32_t low = static_cast<uint32_t>(hash);
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    int32_t e = slots_[i].entry;
    if (e == kFree) return -1;
    if (e >= 0 && slots_[i].hash == low) {
      const Entry& entry = entries_[static_cast<size_t>(e)];
      if (entry.hash == hash && entry.lookup == lookup) return static_cast<int64_t>(i);
    }
  }
}

int32_t Dictionary::findEntry(const Variant& key) const {
  std::string k = lookupKey(key);
  int64_t slot = findSlot(k, std::hash<std::string>{}(k));
  return slot < 0 ? -1 : slots_[static_cast<size_t>(slot)].entry;
}

// Puts an entry's number into the index; the index has room.
void Dictionary::placeEntry(int32_t entry) {
  size_t mask = slots_.size() - 1;
  size_t hash = entries_[static_cast<size_t>(entry)].hash;
  size_t i = hash & mask;
  while (slots_[i].entry >= 0) i = (i + 1) & mask;
  if (slots_[i].entry == kFree) ++usedSlots_;
  slots_[i] = {entry, static_cast<uint32_t>(hash)};
}

// Drops the gaps of removed entries and sizes the index for twice the live ones.
void Dictionary::rebuild() {
  if (live_ != entries_.size()) {
    std::vector<Entry> kept;
    kept.reserve(live_);
    for (Entry& e : entries_)
      if (e.live) kept.push_back(std::move(e));
    entries_.swap(kept);
  }
  size_t size = 16;
  while (size < (live_ + 1) * 2) size *= 2;
  slots_.assign(size, Slot{kFree, 0});
  usedSlots_ = 0;
  for (size_t i = 0; i < entries_.size(); ++i) placeEntry(static_cast<int32_t>(i));
}

void Dictionary::append(std::string lookup, size_t hash, const Variant& key, const Variant& item) {
  entries_.push_back({key, item, std::move(lookup), hash, true});
  ++live_;
  if ((usedSlots_ + 1) * 4 > slots_.size() * 3) {
    rebuild();
  } else {
    placeEntry(static_cast<int32_t>(entries_.size() - 1));
  }
}

void Dictionary::add(const Variant& key, const Variant& item) {
  std::string k = lookupKey(key);
  size_t h = std::hash<std::string>{}(k);
  if (findSlot(k, h) >= 0) raise(kErrDuplicateKey);
  append(std::move(k), h, key, item);
}

bool Dictionary::exists(const Variant& key) const { return findEntry(key) >= 0; }

Variant Dictionary::item(const Variant& key) {
  std::string k = lookupKey(key);
  size_t h = std::hash<std::string>{}(k);
  int64_t slot = findSlot(k, h);
  if (slot >= 0) return entries_[static_cast<size_t>(slots_[static_cast<size_t>(slot)].entry)].item;
  append(std::move(k), h, key, Variant());
  return Variant();
}

void Dictionary::setItem(const Variant& key, const Variant& item) {
  std::string k = lookupKey(key);
  size_t h = std::hash<std::string>{}(k);
  int64_t slot = findSlot(k, h);
  if (slot < 0) {
    append(std::move(k), h, key, item);
    return;
  }
  // The old item is released last: its release may run script code.
  Variant old = std::move(entries_[static_cast<size_t>(slots_[static_cast<size_t>(slot)].entry)].item);
  entries_[static_cast<size_t>(slots_[static_cast<size_t>(slot)].entry)].item = item;
}

void Dictionary::rename(const Variant& key, const Variant& newKey) {
  std::string k = lookupKey(key);
  int64_t slot = findSlot(k, std::hash<std::string>{}(k));
  if (slot < 0) raise(kErrElementNotFound);
  int32_t e = slots_[static_cast<size_t>(slot)].entry;
  std::string k2 = lookupKey(newKey);
  if (k2 == k) {
    entries_[static_cast<size_t>(e)].key = newKey;
    return;
  }
  size_t h2 = std::hash<std::string>{}(k2);
  if (findSlot(k2, h2) >= 0) raise(kErrDuplicateKey);
  slots_[static_cast<size_t>(slot)].entry = kGap;
  Entry& entry = entries_[static_cast<size_t>(e)];
  entry.key = newKey;
  entry.lookup = std::move(k2);
  entry.hash = h2;
  if ((usedSlots_ + 1) * 4 > slots_.size() * 3) {
    rebuild();
  } else {
    placeEntry(e);
  }
}

void Dictionary::remove(const Variant& key) {
  std::string k = lookupKey(key);
  int64_t slot = findSlot(k, std::hash<std::string>{}(k));
  if (slot < 0) raise(kErrElementNotFound);
  Entry& entry = entries_[static_cast<size_t>(slots_[static_cast<size_t>(slot)].entry)];
  slots_[static_cast<size_t>(slot)].entry = kGap;
  // The item may be an object whose release runs script code that looks at
  // this dictionary; unlink first, release after.
  Variant goneKey = std::move(entry.key);
  Variant goneItem = std::move(entry.item);
  entry.live = false;
  entry.lookup.clear();
  --live_;
  if (live_ == 0) {
    entries_.clear();
    slots_.clear();
    usedSlots_ = 0;
  } else if (entries_.size() > 32 && live_ * 2 < entries_.size()) {
    rebuild();
  }
}

void Dictionary::removeAll() {
  std::vector<Entry> gone;
  gone.swap(entries_);
  slots_.clear();
  live_ = 0;
  usedSlots_ = 0;
}

Variant Dictionary::keys() const {
  std::vector<Variant> out;
  out.reserve(live_);
  for (const Entry& e : entries_)
    if (e.live) out.push_back(e.key);
  return Variant::array(std::move(out));
}

Variant Dictionary::items() const {
  std::vector<Variant> out;
  out.reserve(live_);
  for (const Entry& e : entries_)
    if (e.live) out.push_back(e.item);
  return Variant::array(std::move(out));
}

void Dictionary::setCompareMode(int32_t mode) {
  if (live_ != 0) raise(kErrInvalidCall);
  if (mode < 0) raise(kErrInvalidCall);
  compareMode_ = mode;
}

// HashVal: the bucket number Scripting.Dictionary reports for a key, 0..1200.
int32_t Dictionary::hashValue(const Variant& key) const {
  constexpr uint32_t kBuckets = 1201;
  switch (key.type()) {
    case vtString: {
      uint32_t hash = 0;
      for (char16_t unit : toUtf16(key.rawString())) {
        char16_t ch = unit;
        if (compareMode_ != 0 && unit < 0xD800) ch = static_cast<char16_t>(lowerCodePoint(unit));
        hash += (hash << 4) + ch;
      }
      return static_cast<int32_t>(hash % kBuckets);
    }
    case vtEmpty:
    case vtNull:
      return 0;
    case vtObject: {
      uintptr_t p = reinterpret_cast<uintptr_t>(key.rawObject());
      uint32_t hash = static_cast<uint32_t>(p) ^ static_cast<uint32_t>(static_cast<uint64_t>(p) >> 32);
      return static_cast<int32_t>(hash % kBuckets);
    }
    case vtBoolean:
      return key.rawBool() ? 1 : 0;
    default:
      break;
  }
  if (!isNumericKey(key.type())) raise(kErrInvalidCall);
  float f = static_cast<float>(key.toDouble());
  if (std::isnan(f)) raise(kErrInvalidCall);
  if (std::isinf(f)) return 0;
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return static_cast<int32_t>(bits % kBuckets);
}

Ref<Enumerator> Dictionary::newEnum() {
  std::vector<Variant> snapshot;
  snapshot.reserve(live_);
  for (const Entry& e : entries_)
    if (e.live) snapshot.push_back(e.key);
  return makeRef<VectorEnumerator>(std::move(snapshot));
}

namespace {

ClassInfo buildDictionaryClass() {
  using D = Dictionary;
  return ClassBuilder<D>("Dictionary")
      .method("Add", [](D& d, const Variant& key, const Variant& item) { d.add(key, item); })
      .method("Exists", [](D& d, const Variant& key) { return d.exists(key); })
      .prop(
          "Item", [](D& d, const Variant& key) { return d.item(key); },
          [](D& d, Args index, const Variant& value) {
            if (index.size() != 1) raise(kErrWrongArgCount);
            d.setItem(index[0], value);
          })
      .putRef("Item",
              [](D& d, Args index, const Variant& value) {
                if (index.size() != 1) raise(kErrWrongArgCount);
                d.setItem(index[0], value);
              })
      .put("Key",
           [](D& d, Args index, const Variant& value) {
             if (index.size() != 1) raise(kErrWrongArgCount);
             d.rename(index[0], value);
           })
      .method("Keys", [](D& d) { return d.keys(); })
      .method("Items", [](D& d) { return d.items(); })
      .method("Remove", [](D& d, const Variant& key) { d.remove(key); })
      .method("RemoveAll", [](D& d) { d.removeAll(); })
      .get("Count", [](D& d) { return d.count(); })
      .prop(
          "CompareMode", [](D& d) { return d.compareMode(); },
          [](D& d, const Variant& v) { d.setCompareMode(longArg(v)); })
      .method("HashVal", [](D& d, const Variant& key) { return d.hashValue(key); })
      .defaultMember("Item")
      .build();
}

}  // namespace

const ClassInfo* Dictionary::classInfo() const {
  static const ClassInfo info = buildDictionaryClass();
  return &info;
}

}  // namespace tw::vbs::lib
