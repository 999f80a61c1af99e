#pragma once
// The pattern shared by the object-model collections (tables, fields, charts,
// extensions): elements in a keyed collection under the name they were added
// with, a sequence setting per element (the display and generation order),
// and a current element remembered by name and sequence number.
//
// Look-ups by name go by the elements' name settings and compare exactly;
// only the keys of the underlying keyed collection ignore letter case. A
// caller may rename an element through its settings without telling the
// collection, so the name setting, not the key, decides which element a name
// means. The collection keeps an index of the name settings, which each
// element's store keeps current by reporting writes to its name setting.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/dispatch.h"
#include "model/settings.h"
#include "support/super_collection.h"

namespace tw {

// True when a setting value reads as exactly `name`. Empty counts as the empty
// text; values that have no text (Null, arrays) never match.
inline bool settingTextEquals(const Variant& value, std::string_view name) {
  switch (value.type()) {
    case vtString:
      return value.rawString() == name;
    case vtEmpty:
      return name.empty();
    case vtNull:
    case vtArray:
    case vtError:
      return false;
    default:
      try {
        return value.toString() == name;
      } catch (const Error&) {
        return false;
      }
  }
}

// The text of a look-up argument; false when it has none (Null, arrays,
// objects without a default value).
inline bool argumentText(const Variant& index, std::string& out) {
  try {
    if (index.isNull() || index.isArray()) return false;
    out = index.toString();
    return true;
  } catch (const Error&) {
    return false;
  }
}

// The value of a collection-valued member (Properties, tables, Fields,
// Charts). Called with arguments it passes them on to the collection's
// default member, as `TABLE.Fields("id")` and `f.Properties("FldCaption")`
// expect.
inline Variant collectionMember(Dispatch& collection, Args args) {
  if (args.empty()) return Variant(&collection);
  return collection.invoke(kDispIdValue, kInvokeGet | kInvokeMethod, args);
}

// Element must be a SettingsOwner with static members kNameSetting and
// kSeqSetting naming its name and sequence settings.
template <class Element>
class NamedCollection : public Dispatch {
 public:
  NamedCollection()
      : items_(makeRef<CSuperCollection>()),
        watch_(std::make_shared<AGProperties::ValueWatch>(Element::kNameSetting)) {
    items_->setCompareMode(CSuperCollection::kTextCompare);
  }
  ~NamedCollection() override { untrackAll(); }
  NamedCollection(const NamedCollection&) = delete;
  NamedCollection& operator=(const NamedCollection&) = delete;

  int32_t Count() const noexcept { return items_->count(); }
  const std::string& curName() const noexcept { return curName_; }
  int16_t curSeq() const noexcept { return curSeq_; }

  // True when an element's name setting equals the text of `index` exactly.
  bool Exist(const Variant& index) const {
    std::string name;
    return argumentText(index, name) && find(name) != nullptr;
  }

  // Appends a new element under the key `name`, with the next sequence number,
  // and makes it current. Null for an empty name, a name that exists, and a
  // name that differs from a key only in letter case (keys ignore case).
  Element* Add(std::string_view name) {
    if (name.empty() || find(name) != nullptr) return nullptr;
    if (items_->keyExists(name)) return nullptr;
    Ref<Element> e = create();
    e->Properties().setValue(nameKey_, Variant(name));
    prepare(*e);
    items_->add(Variant(e), name);
    e->Properties().setValue(seqKey_, Variant::integer(static_cast<int16_t>(Count())));
    track(*e);
    makeCurrent(*e);
    return e.get();
  }

  // A number (16- or 32-bit integer, single, double, byte) is a 1-based
  // position, a text the exact name of an element; any other type, and a miss,
  // give null. A found element becomes current.
  Element* Item(const Variant& index) {
    Element* e = nullptr;
    switch (index.type()) {
      case vtInteger:
      case vtLong:
      case vtSingle:
      case vtDouble:
      case vtByte: {
        double pos = index.toDouble();
        if (pos >= 0.5 && pos < Count() + 0.5) {
          int32_t p = index.toLong();
          if (p >= 1 && p <= Count()) e = at(p - 1);
        }
        break;
      }
      case vtString:
        e = find(index.rawString());
        break;
      default:
        break;
    }
    if (e) makeCurrent(*e);
    return e;
  }

  // The first element whose sequence setting equals `seq`; the current
  // element is not changed.
  Element* Seq(int16_t seq) const {
    for (int32_t i = 0, n = Count(); i < n; ++i) {
      Element* e = at(i);
      if (seqOf(*e) == seq) return e;
    }
    return nullptr;
  }

  // Removes the element named `name` (exactly). Every element whose sequence
  // number is at least the removed one's moves up one place. The current
  // element stays as it was remembered.
  bool Delete(std::string_view name) {
    if (name.empty()) return false;
    Element* e = find(name);
    if (!e) return false;
    // The element is taken by its key; an element renamed behind the
    // collection's back is taken by what the scan found.
    int32_t position = items_->positionOfKey(name);
    if (position < 1) position = positionOf(*e);
    Ref<Element> removed(static_cast<Element*>(items_->item(Variant(position)).rawObject()));
    int16_t s = seqOf(*removed);
    for (int32_t i = 0, n = Count(); i < n; ++i) {
      Element* other = at(i);
      int16_t os = seqOf(*other);
      if (os >= s) other->Properties().setValue(seqKey_, Variant::integer(static_cast<int16_t>(os - 1)));
    }
    untrack(*removed);
    items_->remove(Variant(position));
    return true;
  }

  // Renames an element: its key, its name setting (and whatever the derived
  // collection derives from the name), and makes it current. Null when a name
  // is empty, `oldName` names no element, or `newName` is the key of another
  // element.
  Element* Change(std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return nullptr;
    Element* e = find(oldName);
    if (!e) return nullptr;
    int32_t position = positionOf(*e);
    int32_t holder = items_->positionOfKey(newName);
    if (holder >= 1 && holder != position) return nullptr;
    items_->changeKeyForIndex(Variant(position), newName);
    e->Properties().setValue(nameKey_, Variant(newName));
    renamed(*e);
    makeCurrent(*e);
    return e;
  }

  // Makes the element named `index` (exactly) current.
  bool SetItem(const Variant& index) {
    std::string name;
    Element* e = argumentText(index, name) ? find(name) : nullptr;
    if (e) makeCurrent(*e);
    return e != nullptr;
  }

  // Makes the first element with sequence number `seq` current.
  bool SetSeq(int16_t seq) {
    Element* e = Seq(seq);
    if (e) makeCurrent(*e);
    return e != nullptr;
  }

  // The element at a 0-based index in insertion order.
  Element* at(int32_t index) const {
    return static_cast<Element*>(items_->item(Variant(index + 1)).rawObject());
  }

  // The elements as the project file and generation walk them: for sequence
  // numbers 1..Count the element Seq returns, then — so that nothing is lost
  // when the numbers have gaps or repeats — every element not reached that
  // way, in insertion order.
  std::vector<Element*> inSequence() const {
    const int32_t n = Count();
    std::vector<Element*> order;
    order.reserve(static_cast<size_t>(n));
    std::unordered_map<int32_t, int32_t> firstWithSeq;  // sequence number -> insertion index
    firstWithSeq.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) firstWithSeq.emplace(seqOf(*at(i)), i);
    std::vector<bool> reached(static_cast<size_t>(n), false);
    for (int32_t seq = 1; seq <= n && seq <= 32767; ++seq) {
      auto it = firstWithSeq.find(seq);
      if (it == firstWithSeq.end()) continue;
      reached[static_cast<size_t>(it->second)] = true;
      order.push_back(at(it->second));
    }
    for (int32_t i = 0; i < n; ++i)
      if (!reached[static_cast<size_t>(i)]) order.push_back(at(i));
    return order;
  }

  // Makes an element of this collection current.
  void setCurrent(Element& e) { makeCurrent(e); }
  void Clear() {
    untrackAll();
    items_->clear();
  }

  Ref<Enumerator> newEnum() override { return items_->newEnum(); }

 protected:
  virtual Ref<Element> create() = 0;
  // Runs on a new element after its name is set and before it is appended.
  virtual void prepare(Element&) {}
  // Runs after an element got a new name through Change.
  virtual void renamed(Element&) {}

  // The first element (in insertion order) whose name setting is `name`.
  Element* find(std::string_view name) const {
    refreshNames();
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second.front();
  }
  int32_t positionOf(const Element& e) const {
    for (int32_t i = 0, n = Count(); i < n; ++i)
      if (at(i) == &e) return i + 1;
    return -1;
  }
  // The name and sequence settings, found once per layout rather than by
  // name at every look-up, Item and sequence walk.
  static inline const SettingKey nameKey_{Element::kNameSetting};
  static inline const SettingKey seqKey_{Element::kSeqSetting};
  static int16_t seqOf(const Element& e) { return e.Properties().value(seqKey_).toInteger(); }
  void makeCurrent(Element& e) {
    curName_ = e.Properties().value(nameKey_).toString();
    curSeq_ = seqOf(e);
  }

  Ref<CSuperCollection> items_;
  std::string curName_;
  int16_t curSeq_ = 0;

 private:
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>()(s); }
  };
  // What the index holds for one element: the name it is indexed under (none
  // when its name setting has no text).
  struct Indexed {
    Element* element;
    std::string name;
    bool named;
  };

  // The text of an element's name setting, as settingTextEquals reads it;
  // false when it has none (or the setting is gone).
  static bool nameOf(const Element& e, std::string& out) {
    const AGProperties& props = e.Properties();
    int32_t i = props.findKey(nameKey_);
    if (i < 0) return false;
    const Variant& v = props.valueAt(i);
    switch (v.type()) {
      case vtString:
        out = v.rawString();
        return true;
      case vtEmpty:
        out.clear();
        return true;
      case vtNull:
      case vtArray:
      case vtError:
        return false;
      default:
        try {
          out = v.toString();
          return true;
        } catch (const Error&) {
          return false;
        }
    }
  }

  // Puts an element under its name, after the elements of that name that
  // come before it in insertion order.
  void indexUnder(const std::string& name, Element* e) const {
    std::vector<Element*>& holders = byName_[name];
    if (holders.empty()) {
      holders.push_back(e);
      return;
    }
    int32_t position = positionOf(*e);
    auto at = holders.begin();
    while (at != holders.end() && positionOf(**at) < position) ++at;
    holders.insert(at, e);
  }
  void unindex(const Indexed& entry) const {
    if (!entry.named) return;
    auto it = byName_.find(entry.name);
    if (it == byName_.end()) return;
    std::vector<Element*>& holders = it->second;
    for (auto h = holders.begin(); h != holders.end(); ++h)
      if (*h == entry.element) {
        holders.erase(h);
        break;
      }
    if (holders.empty()) byName_.erase(it);
  }
  void track(Element& e) {
    AGProperties& props = e.Properties();
    props.watchValue(watch_);
    Indexed entry{&e, {}, false};
    entry.named = nameOf(e, entry.name);
    if (entry.named) indexUnder(entry.name, &e);
    indexed_[&props] = std::move(entry);
  }
  void untrack(Element& e) {
    AGProperties& props = e.Properties();
    props.unwatchValue();
    auto it = indexed_.find(&props);
    if (it == indexed_.end()) return;
    unindex(it->second);
    indexed_.erase(it);
  }
  void untrackAll() {
    for (auto& [props, entry] : indexed_) entry.element->Properties().unwatchValue();
    indexed_.clear();
    byName_.clear();
    watch_->touched.clear();
  }
  // Re-indexes the elements whose name setting may have changed. A store on
  // the list that is no longer one of ours (its element left) is passed by
  // without being touched.
  void refreshNames() const {
    if (watch_->touched.empty()) return;
    std::vector<AGProperties*> touched;
    touched.swap(watch_->touched);
    for (AGProperties* props : touched) {
      auto it = indexed_.find(props);
      if (it == indexed_.end()) continue;
      props->clearWatchPending();
      Indexed& entry = it->second;
      std::string name;
      bool named = nameOf(*entry.element, name);
      if (named == entry.named && name == entry.name) continue;
      unindex(entry);
      entry.name = std::move(name);
      entry.named = named;
      if (named) indexUnder(entry.name, entry.element);
    }
  }

  std::shared_ptr<AGProperties::ValueWatch> watch_;
  mutable std::unordered_map<std::string, std::vector<Element*>, NameHash, std::equal_to<>> byName_;
  mutable std::unordered_map<const AGProperties*, Indexed> indexed_;
};

}  // namespace tw
