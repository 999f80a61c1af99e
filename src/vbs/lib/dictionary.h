#pragma once
// Scripting.Dictionary: items under unique keys, kept in insertion order, with
// constant-time look-up. Keys are texts (compared by the compare mode),
// numbers (1, 1.0 and CLng(1) are one key; "1" is another), objects (by
// identity), Booleans, Empty and Null.
#include <list>
#include <string>
#include <unordered_map>

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
  int32_t count() const noexcept { return static_cast<int32_t>(entries_.size()); }
  int32_t compareMode() const noexcept { return compareMode_; }
  void setCompareMode(int32_t mode);
  int32_t hashValue(const Variant& key) const;

 private:
  struct Entry {
    Variant key;
    Variant item;
  };
  using List = std::list<Entry>;

  // The look-up form of a key: its kind and value, text folded in text mode.
  std::string lookupKey(const Variant& key) const;
  List::iterator find(const Variant& key);

  List entries_;
  std::unordered_map<std::string, List::iterator> index_;
  int32_t compareMode_ = 0;
};

}  // namespace tw::vbs::lib
