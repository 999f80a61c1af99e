#include "vbs/lib/dictionary.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "vbs/lib/common.h"

namespace tw::vbs::lib {

namespace {

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

Dictionary::Probe Dictionary::probe(const Variant& key) const {
  Probe p{};
  uint64_t h;
  switch (key.type()) {
    case vtString:
      p.kind = Probe::Text;
      if (compareMode_ != 0) {
        p.folded = foldCase(key.rawString());
        p.text = p.folded;
      } else {
        p.text = key.rawString();
      }
      h = std::hash<std::string_view>{}(p.text);
      break;
    case vtObject:
      p.kind = Probe::Object;
      p.object = key.rawObject();
      h = std::hash<const void*>{}(p.object);
      break;
    case vtEmpty:
      p.kind = Probe::Empty;
      h = 0;
      break;
    case vtNull:
      p.kind = Probe::Null;
      h = 0;
      break;
    case vtBoolean:
      p.kind = Probe::Boolean;
      p.flag = key.rawBool();
      h = p.flag;
      break;
    default: {
      if (!isNumericKey(key.type())) raise(kErrInvalidCall);
      double d = key.toDouble();
      if (std::isnan(d)) raise(kErrInvalidCall);
      if (d == 0) d = 0;  // -0 and 0 are one key
      p.kind = Probe::Number;
      p.number = d;
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      h = bits;
      break;
    }
  }
  // Mixed with the kind (1 and "1" differ), then folded to 32 bits.
  h = (h ^ (static_cast<uint64_t>(p.kind) << 56)) * 0x9E3779B97F4A7C15ull;
  p.hash = static_cast<uint32_t>(h >> 32);
  return p;
}

bool Dictionary::matches(const Entry& e, const Probe& p) const {
  const Variant& k = e.key;
  switch (p.kind) {
    case Probe::Text:
      if (!k.isString()) return false;
      return compareMode_ != 0 ? foldCase(k.rawString()) == p.text : k.rawString() == p.text;
    case Probe::Object:
      return k.isObject() && k.rawObject() == p.object;
    case Probe::Empty:
      return k.isEmpty();
    case Probe::Null:
      return k.isNull();
    case Probe::Boolean:
      return k.type() == vtBoolean && k.rawBool() == p.flag;
    case Probe::Number: {
      if (!isNumericKey(k.type())) return false;
      double d = k.toDouble();
      return d == p.number;
    }
  }
  return false;
}

int64_t Dictionary::findSlot(const Probe& p) const {
  if (slots_.empty()) return -1;
  size_t mask = slots_.size() - 1;
  for (size_t i = p.hash & mask;; i = (i + 1) & mask) {
    int32_t e = slots_[i].entry;
    if (e == kFree) return -1;
    if (e >= 0 && slots_[i].hash == p.hash && matches(entry(static_cast<size_t>(e)), p))
      return static_cast<int64_t>(i);
  }
}

int32_t Dictionary::findEntry(const Variant& key) const {
  int64_t slot = findSlot(probe(key));
  return slot < 0 ? -1 : slots_[static_cast<size_t>(slot)].entry;
}

// Puts an entry's number into the index; the index has room.
void Dictionary::placeEntry(int32_t e) {
  size_t mask = slots_.size() - 1;
  uint32_t hash = entry(static_cast<size_t>(e)).hash;
  size_t i = hash & mask;
  while (slots_[i].entry >= 0) i = (i + 1) & mask;
  if (slots_[i].entry == kFree) ++usedSlots_;
  slots_[i] = {e, hash};
}

// Drops the gaps of removed entries and sizes the index for twice the live
// ones; an index more than half full of live entries grows fourfold, so
// that a dictionary filled one key at a time places each entry about once
// and a third.
void Dictionary::rebuild() {
  size_t size = 16;
  if ((live_ + 1) * 2 > slots_.size()) size = std::max(size, slots_.size() * 4);
  if (live_ != size_) {
    size_t kept = 0;
    for (size_t i = 0; i < size_; ++i) {
      Entry& e = entry(i);
      if (!e.live) continue;
      if (kept != i) entry(kept) = std::move(e);
      ++kept;
    }
    // The moved-from entries hold nothing (gaps were emptied when removed).
    for (size_t i = kept; i < size_; ++i) entry(i) = Entry{};
    size_ = kept;
    blocks_.resize(size_ == 0 ? 0 : blockOf(size_ - 1) + 1);
  }
  while (size < (live_ + 1) * 2) size *= 2;
  slots_.assign(size, Slot{kFree, 0});
  usedSlots_ = 0;
  for (size_t i = 0; i < size_; ++i) placeEntry(static_cast<int32_t>(i));
}

void Dictionary::append(uint32_t hash, const Variant& key, const Variant& item) {
  if (blockOf(size_) == blocks_.size()) blocks_.push_back(std::make_unique<Entry[]>(blockSize(blocks_.size())));
  Entry& e = entry(size_);
  e.key = key;
  e.item = item;
  e.hash = hash;
  e.live = true;
  ++size_;
  ++live_;
  if ((usedSlots_ + 1) * 4 > slots_.size() * 3) {
    rebuild();
  } else {
    placeEntry(static_cast<int32_t>(size_ - 1));
  }
}

void Dictionary::add(const Variant& key, const Variant& item) {
  Probe p = probe(key);
  if (findSlot(p) >= 0) raise(kErrDuplicateKey);
  append(p.hash, key, item);
}

bool Dictionary::exists(const Variant& key) const { return findEntry(key) >= 0; }

Variant Dictionary::item(const Variant& key) {
  Probe p = probe(key);
  int64_t slot = findSlot(p);
  if (slot >= 0) return entry(static_cast<size_t>(slots_[static_cast<size_t>(slot)].entry)).item;
  append(p.hash, key, Variant());
  return Variant();
}

void Dictionary::setItem(const Variant& key, const Variant& item) {
  Probe p = probe(key);
  int64_t slot = findSlot(p);
  if (slot < 0) {
    append(p.hash, key, item);
    return;
  }
  // The old item is released last: its release may run script code.
  Entry& e = entry(static_cast<size_t>(slots_[static_cast<size_t>(slot)].entry));
  Variant old = std::move(e.item);
  e.item = item;
}

void Dictionary::rename(const Variant& key, const Variant& newKey) {
  Probe p = probe(key);
  int64_t slot = findSlot(p);
  if (slot < 0) raise(kErrElementNotFound);
  int32_t n = slots_[static_cast<size_t>(slot)].entry;
  Probe p2 = probe(newKey);
  if (matches(entry(static_cast<size_t>(n)), p2)) {
    entry(static_cast<size_t>(n)).key = newKey;
    return;
  }
  if (findSlot(p2) >= 0) raise(kErrDuplicateKey);
  slots_[static_cast<size_t>(slot)].entry = kGap;
  Entry& e = entry(static_cast<size_t>(n));
  e.key = newKey;
  e.hash = p2.hash;
  if ((usedSlots_ + 1) * 4 > slots_.size() * 3) {
    rebuild();
  } else {
    placeEntry(n);
  }
}

void Dictionary::remove(const Variant& key) {
  int64_t slot = findSlot(probe(key));
  if (slot < 0) raise(kErrElementNotFound);
  Entry& e = entry(static_cast<size_t>(slots_[static_cast<size_t>(slot)].entry));
  slots_[static_cast<size_t>(slot)].entry = kGap;
  // The item may be an object whose release runs script code that looks at
  // this dictionary; unlink first, release after.
  Variant goneKey = std::move(e.key);
  Variant goneItem = std::move(e.item);
  e.live = false;
  --live_;
  if (live_ == 0) {
    blocks_.clear();
    size_ = 0;
    slots_.clear();
    usedSlots_ = 0;
  } else if (size_ > 32 && live_ * 2 < size_) {
    rebuild();
  }
}

void Dictionary::removeAll() {
  // Released after the dictionary is empty: a release may run script code.
  std::vector<std::unique_ptr<Entry[]>> gone;
  gone.swap(blocks_);
  size_ = 0;
  slots_.clear();
  live_ = 0;
  usedSlots_ = 0;
}

Variant Dictionary::keys() const {
  std::vector<Variant> out;
  out.reserve(live_);
  for (size_t i = 0; i < size_; ++i)
    if (entry(i).live) out.push_back(entry(i).key);
  return Variant::array(std::move(out));
}

Variant Dictionary::items() const {
  std::vector<Variant> out;
  out.reserve(live_);
  for (size_t i = 0; i < size_; ++i)
    if (entry(i).live) out.push_back(entry(i).item);
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
  for (size_t i = 0; i < size_; ++i)
    if (entry(i).live) snapshot.push_back(entry(i).key);
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
