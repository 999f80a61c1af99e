#pragma once
// The pattern shared by the object-model collections (tables, fields, charts,
// extensions): elements in a keyed collection under the name they were added
// with, a sequence setting per element (the display and generation order),
// and a current element remembered by name and sequence number.
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "model/settings.h"
#include "support/super_collection.h"

namespace tw {

// Element must be a SettingsOwner with static members kNameSetting and
// kSeqSetting naming its name and sequence settings.
template <class Element>
class NamedCollection : public Dispatch {
 public:
  NamedCollection() : items_(makeRef<CSuperCollection>()) {
    items_->setCompareMode(CSuperCollection::kTextCompare);
  }

  int32_t Count() const noexcept { return items_->count(); }
  const std::string& curName() const noexcept { return curName_; }
  int16_t curSeq() const noexcept { return curSeq_; }

  // True when an element's name setting equals the name exactly.
  bool Exist(const Variant& index) const { return find(index.toString()) != nullptr; }

  // Appends a new element; false for an empty or existing name.
  Element* Add(std::string_view name) {
    if (name.empty() || Exist(Variant(name))) return nullptr;
    if (items_->keyExists(name)) return nullptr;  // differs only in letter case from a key
    Ref<Element> e = create();
    e->setSetting(Element::kNameSetting, Variant(name));
    items_->add(Variant(e), name);
    e->setSetting(Element::kSeqSetting, Variant::integer(static_cast<int16_t>(Count())));
    makeCurrent(*e);
    return e.get();
  }

  // A number is a 1-based position, a text an exact name; anything else or a
  // miss gives null. A found element becomes current.
  Element* Item(const Variant& index) {
    Element* e = nullptr;
    if (index.isNumeric()) {
      double pos = index.toDouble();
      if (pos >= 1 && pos <= Count()) e = at(static_cast<int32_t>(pos) - 1);
    } else if (index.isString()) {
      e = find(index.rawString());
    }
    if (e) makeCurrent(*e);
    return e;
  }

  // The first element whose sequence setting equals `seq`; the current
  // element is not changed.
  Element* Seq(int16_t seq) const {
    for (int32_t i = 0; i < Count(); ++i) {
      Element* e = at(i);
      if (e->setting(Element::kSeqSetting).toInteger() == seq) return e;
    }
    return nullptr;
  }

  bool Delete(std::string_view name) {
    if (name.empty()) return false;
    Element* e = find(name);
    if (!e) return false;
    Ref<Element> keep(e);
    int16_t s = e->setting(Element::kSeqSetting).toInteger();
    for (int32_t i = 0; i < Count(); ++i) {
      Element* other = at(i);
      int16_t os = other->setting(Element::kSeqSetting).toInteger();
      if (os >= s) other->setSetting(Element::kSeqSetting, Variant::integer(static_cast<int16_t>(os - 1)));
    }
    items_->remove(Variant(positionOf(*e)));
    return true;
  }

  // Renames an element: its key and its name setting.
  Element* Change(std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return nullptr;
    Element* e = find(oldName);
    if (!e) return nullptr;
    items_->changeKeyForIndex(Variant(positionOf(*e)), newName);
    e->setSetting(Element::kNameSetting, Variant(newName));
    makeCurrent(*e);
    return e;
  }

  bool SetItem(const Variant& index) {
    Element* e = find(index.toString());
    if (e) makeCurrent(*e);
    return e != nullptr;
  }

  bool SetSeq(int16_t seq) {
    Element* e = Seq(seq);
    if (e) makeCurrent(*e);
    return e != nullptr;
  }

  // The element at a 0-based index in insertion order.
  Element* at(int32_t index) const {
    return static_cast<Element*>(items_->item(Variant(index + 1)).rawObject());
  }
  void Clear() { items_->clear(); }

  Ref<Enumerator> newEnum() override { return items_->newEnum(); }

 protected:
  virtual Ref<Element> create() = 0;

  Element* find(std::string_view name) const {
    for (int32_t i = 0; i < Count(); ++i) {
      Element* e = at(i);
      if (e->setting(Element::kNameSetting).toString() == name) return e;
    }
    return nullptr;
  }
  int32_t positionOf(const Element& e) const {
    for (int32_t i = 0; i < Count(); ++i)
      if (at(i) == &e) return i + 1;
    return -1;
  }
  void makeCurrent(Element& e) {
    curName_ = e.setting(Element::kNameSetting).toString();
    curSeq_ = e.setting(Element::kSeqSetting).toInteger();
  }

  Ref<CSuperCollection> items_;
  std::string curName_;
  int16_t curSeq_ = 0;
};

}  // namespace tw
