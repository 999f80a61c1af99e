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
      out += 'S';
      out += compareMode_ == 0 ? std::string(key.rawString()) : foldCase(key.rawString());
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

Dictionary::List::iterator Dictionary::find(const Variant& key) {
  auto it = index_.find(lookupKey(key));
  return it == index_.end() ? entries_.end() : it->second;
}

void Dictionary::add(const Variant& key, const Variant& item) {
  std::string k = lookupKey(key);
  if (index_.count(k)) raise(kErrDuplicateKey);
  entries_.push_back({key, item});
  index_.emplace(std::move(k), std::prev(entries_.end()));
}

bool Dictionary::exists(const Variant& key) const { return index_.count(lookupKey(key)) != 0; }

Variant Dictionary::item(const Variant& key) {
  std::string k = lookupKey(key);
  auto it = index_.find(k);
  if (it != index_.end()) return it->second->item;
  entries_.push_back({key, Variant()});
  index_.emplace(std::move(k), std::prev(entries_.end()));
  return Variant();
}

void Dictionary::setItem(const Variant& key, const Variant& item) {
  std::string k = lookupKey(key);
  auto it = index_.find(k);
  if (it != index_.end()) {
    it->second->item = item;
    return;
  }
  entries_.push_back({key, item});
  index_.emplace(std::move(k), std::prev(entries_.end()));
}

void Dictionary::rename(const Variant& key, const Variant& newKey) {
  auto it = index_.find(lookupKey(key));
  if (it == index_.end()) raise(kErrElementNotFound);
  std::string k = lookupKey(newKey);
  if (k == it->first) {
    it->second->key = newKey;
    return;
  }
  if (index_.count(k)) raise(kErrDuplicateKey);
  List::iterator entry = it->second;
  entry->key = newKey;
  index_.erase(it);
  index_.emplace(std::move(k), entry);
}

void Dictionary::remove(const Variant& key) {
  auto it = index_.find(lookupKey(key));
  if (it == index_.end()) raise(kErrElementNotFound);
  List::iterator entry = it->second;
  index_.erase(it);
  // The item may be an object whose release runs script code that looks at
  // this dictionary; unlink first, release after.
  Entry gone = std::move(*entry);
  entries_.erase(entry);
}

void Dictionary::removeAll() {
  List gone;
  gone.swap(entries_);
  index_.clear();
}

Variant Dictionary::keys() const {
  std::vector<Variant> out;
  out.reserve(entries_.size());
  for (const Entry& e : entries_) out.push_back(e.key);
  return Variant::array(std::move(out));
}

Variant Dictionary::items() const {
  std::vector<Variant> out;
  out.reserve(entries_.size());
  for (const Entry& e : entries_) out.push_back(e.item);
  return Variant::array(std::move(out));
}

void Dictionary::setCompareMode(int32_t mode) {
  if (!entries_.empty()) raise(kErrInvalidCall);
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
  snapshot.reserve(entries_.size());
  for (const Entry& e : entries_) snapshot.push_back(e.key);
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
