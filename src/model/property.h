#pragma once
// The property model: every configurable object keeps its settings as named
// properties in its own AGProperties store. The project file, the registry
// defaults and the object copier work on the stores by their flags.
//
// A project can hold tens of thousands of fields with over a hundred settings
// each, so a store keeps only the values per object. Names, types, flags and
// the key index live in a layout shared by every store of the same class;
// a store copies the layout the first time a caller changes its metadata
// (adds, deletes or renames a property, or changes a flag).
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/dispatch.h"
#include "automation/text.h"

namespace tw {

struct SettingDef;
class AGProperties;

// What a property is, apart from its value.
struct PropertyMeta {
  std::string name;
  std::string dataType = "String";
  bool regSave = false;
  int32_t regFormat = 0;
  bool fileSave = true;
  bool sync = true;
};

// The metadata of a store's properties in order, with the keys they were
// added under and a case-insensitive index of those keys.
// Every layout, and every change of one, gets a stamp no other layout had:
// what was found by name in a layout of one stamp holds for every store
// showing that stamp (see SettingKey).
uint64_t newLayoutStamp() noexcept;

struct PropertyLayout {
  PropertyLayout() = default;
  // A copy is a layout of its own: it gets a stamp of its own.
  PropertyLayout(const PropertyLayout& o) : metas(o.metas), keys(o.keys), index(o.index) {}
  PropertyLayout& operator=(const PropertyLayout&) = delete;

  std::vector<PropertyMeta> metas;
  std::vector<std::string> keys;
  std::unordered_map<std::string, int32_t, NoCaseHash, NoCaseEqual> index;
  uint64_t stamp = newLayoutStamp();

  void append(PropertyMeta meta, std::string key);
  void erase(int32_t position);
  // A layout built from a registration table.
  static std::shared_ptr<const PropertyLayout> fromTable(const SettingDef* defs, size_t count);
};

// A setting name that C++ code looks up again and again (a table's name, a
// field's sequence number). Stores of one class share one layout, so the
// position found once holds for all of them: the key remembers the position
// with the stamp of the layout it was found in and looks the name up again
// (case-insensitively, as findKey does) only in a store of another layout,
// or one whose layout changed since. Safe to share between threads.
class SettingKey {
 public:
  explicit constexpr SettingKey(std::string_view name) noexcept : name_(name) {}
  SettingKey(const SettingKey&) = delete;
  SettingKey& operator=(const SettingKey&) = delete;
  std::string_view name() const noexcept { return name_; }
  // 0-based position in the store; -1 when absent.
  int32_t findIn(const AGProperties& store) const;

 private:
  std::string_view name_;
  // Layout stamp times 2^24 plus position + 1 (0 when nothing is known yet).
  mutable std::atomic<uint64_t> found_{0};
};

// A view of one property of a store (C++ callers).
class PropertyAt {
 public:
  PropertyAt(AGProperties& store, int32_t index) : store_(&store), index_(index) {}
  const std::string& Name() const;
  const std::string& DataType() const;
  const Variant& Value() const;
  bool RegSave() const;
  int32_t RegFormat() const;
  bool FileSave() const;
  bool Sync() const;
  void setValue(const Variant& v) const;
  int32_t index() const noexcept { return index_; }

 private:
  AGProperties* store_;
  int32_t index_;
};

// One setting as scripts see it: a store hands out one object per property
// for as long as a script holds it, so that Properties("X") Is
// Properties("X"). The object reads and writes its store by the key the
// property was added under. When the property leaves the store (Delete,
// Clear), the object keeps its name, flags and value as they were and goes
// on working on its own.
class AGProperty : public Dispatch {
 public:
  AGProperty(Ref<AGProperties> store, std::string key) : store_(std::move(store)), key_(std::move(key)) {}
  ~AGProperty() override;
  PropertyAt resolve() const;
  const ClassInfo* classInfo() const override;

 private:
  friend class AGProperties;
  // Takes the property's metadata and value into a store of its own.
  void detach();

  Ref<AGProperties> store_;
  std::string key_;
};

class AGProperties : public Dispatch {
 public:
  AGProperties();
  // A store that starts with the properties of a shared layout, values empty.
  explicit AGProperties(std::shared_ptr<const PropertyLayout> layout);

  // False for an empty name, for a name already present, and for a name that
  // differs from a present one only in letter case.
  bool Add(std::string_view name, std::string_view dataType = "String", bool regSave = false,
           int32_t regFormat = 0, bool fileSave = true, bool sync = true);
  // Adds every property of a shared layout; a store that is still empty
  // takes the layout itself.
  void AddLayout(const std::shared_ptr<const PropertyLayout>& layout);
  int32_t Count() const noexcept { return static_cast<int32_t>(values_.size()); }
  // False for an empty or absent name; otherwise removes the property.
  bool Delete(const Variant& index);
  // Exact (case-sensitive) match of a property's Name.
  bool PropertyExist(const Variant& index) const;
  void Clear();

  // A name (any letter case) or a 1-based position; raises "Key not found."
  // or 9 when absent.
  PropertyAt Item(const Variant& index);
  PropertyAt Item(std::string_view key);
  PropertyAt Item(const char* key) { return Item(std::string_view(key)); }
  PropertyAt Item(const std::string& key) { return Item(std::string_view(key)); }
  // The property at a 0-based index in registration order.
  PropertyAt at(int32_t index) { return PropertyAt(*this, index); }
  const PropertyAt at(int32_t index) const { return PropertyAt(const_cast<AGProperties&>(*this), index); }

  // Fast value access by key (any letter case); raises "Key not found.".
  const Variant& value(std::string_view key) const { return values_[indexOfKey(key)]; }
  void setValue(std::string_view key, const Variant& v) {
    int32_t i = indexOfKey(key);
    noteAccess(i);
    values_[i] = v;
  }
  // The same by a key resolved once per layout.
  const Variant& value(const SettingKey& key) const { return values_[indexOfKey(key)]; }
  void setValue(const SettingKey& key, const Variant& v) {
    int32_t i = indexOfKey(key);
    noteAccess(i);
    values_[i] = v;
  }
  // 0-based index of a key; -1 when absent.
  int32_t findKey(std::string_view key) const;
  int32_t findKey(const SettingKey& key) const { return key.findIn(*this); }
  int32_t indexOfKey(std::string_view key) const;
  int32_t indexOfKey(const SettingKey& key) const;
  // Changes whenever the positions of the keys may have changed.
  uint64_t layoutStamp() const noexcept { return layout_->stamp; }

  const PropertyMeta& meta(int32_t index) const { return layout_->metas[index]; }
  // Metadata for writing: the store's own copy of the layout.
  PropertyMeta& mutableMeta(int32_t index);
  const Variant& valueAt(int32_t index) const { return values_[index]; }
  Variant& valueAt(int32_t index) {
    noteAccess(index);
    return values_[index];
  }

  // A collection that finds its elements by the value of one setting (their
  // name) indexes them, and learns from this of every store whose value of
  // that setting may have changed: every writable access to it, and every
  // change of the store's properties, puts the store once on `touched`
  // until the collection calls clearWatchPending.
  struct ValueWatch {
    explicit ValueWatch(std::string_view k) : key(k) {}
    std::string key;
    std::vector<AGProperties*> touched;
  };
  void watchValue(std::shared_ptr<ValueWatch> watch);
  void unwatchValue() noexcept;
  void clearWatchPending() noexcept { watchPending_ = false; }
  const std::vector<Variant>& values() const noexcept { return values_; }
  bool sharesLayout(const AGProperties& other) const noexcept { return layout_ == other.layout_; }

  // The script object of the property at a 0-based index: the one already
  // handed out while a script holds it, else a new one.
  Ref<AGProperty> propertyObject(int32_t index);

  Ref<Enumerator> newEnum() override;
  const ClassInfo* classInfo() const override;

  // The object whose settings the store holds: a script that reads a value
  // through Properties tells the engine's read recorder that it read them.
  void setOwner(const void* owner) noexcept { owner_ = owner; }

 private:
  friend class AGProperty;
  void noteRead() const;
  // Objects handed out leave when their last holder lets go; the properties
  // that leave the store first hand their objects their own copies.
  void forget(AGProperty* property) noexcept;
  void detachObjects(std::string_view key);  // every object when the key is empty
  PropertyLayout& ownLayout();
  int32_t positionIndex(const Variant& index) const;
  void noteAccess(int32_t index) {
    if (index == watchIndex_ && !watchPending_) noteTouched();
  }
  void noteTouched();
  // After the properties changed: the watched setting may have moved or gone.
  void propertiesChanged();

  std::shared_ptr<const PropertyLayout> layout_;
  std::shared_ptr<PropertyLayout> own_;  // set once this store has its own copy
  std::vector<Variant> values_;
  std::shared_ptr<ValueWatch> watch_;
  int32_t watchIndex_ = -1;
  bool watchPending_ = false;
  std::unique_ptr<std::vector<AGProperty*>> objects_;  // the script objects handed out
  const void* owner_ = nullptr;
};

// Carries every Sync property of `from` over to the property of the same name
// in `to` (both stores of the same class).
void CopySyncProperties(const AGProperties& from, AGProperties& to);

}  // namespace tw
