#include "model/property.h"

#include <cmath>
#include <cstring>

#include "model/settings.h"
#include "support/engine_context.h"
#include "support/super_collection.h"

namespace tw {

namespace {

const std::shared_ptr<const PropertyLayout>& emptyLayout() {
  static const std::shared_ptr<const PropertyLayout> empty = std::make_shared<PropertyLayout>();
  return empty;
}

[[noreturn]] void raiseKeyNotFound() { raise(kErrKeyNotFound, "Key not found."); }

}  // namespace

// ---- PropertyLayout

uint64_t newLayoutStamp() noexcept {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

void PropertyLayout::append(PropertyMeta meta, std::string key) {
  index.emplace(key, static_cast<int32_t>(keys.size()));
  metas.push_back(std::move(meta));
  keys.push_back(std::move(key));
  stamp = newLayoutStamp();
}

void PropertyLayout::erase(int32_t position) {
  stamp = newLayoutStamp();
  metas.erase(metas.begin() + position);
  keys.erase(keys.begin() + position);
  index.clear();
  for (size_t i = 0; i < keys.size(); ++i) index.emplace(keys[i], static_cast<int32_t>(i));
}

std::shared_ptr<const PropertyLayout> PropertyLayout::fromTable(const SettingDef* defs, size_t count) {
  auto layout = std::make_shared<PropertyLayout>();
  for (size_t i = 0; i < count; ++i) {
    const SettingDef& d = defs[i];
    layout->append({std::string(d.name), std::string(d.dataType), d.regSave, d.regFormat, d.fileSave, d.sync},
                   std::string(d.name));
  }
  return layout;
}

// ---- PropertyAt

const std::string& PropertyAt::Name() const { return store_->meta(index_).name; }
const std::string& PropertyAt::DataType() const { return store_->meta(index_).dataType; }
const Variant& PropertyAt::Value() const { return store_->valueAt(index_); }
bool PropertyAt::RegSave() const { return store_->meta(index_).regSave; }
int32_t PropertyAt::RegFormat() const { return store_->meta(index_).regFormat; }
bool PropertyAt::FileSave() const { return store_->meta(index_).fileSave; }
bool PropertyAt::Sync() const { return store_->meta(index_).sync; }
void PropertyAt::setValue(const Variant& v) const { store_->valueAt(index_) = v; }

// ---- AGProperty

PropertyAt AGProperty::resolve() const { return PropertyAt(*store_, store_->indexOfKey(key_)); }

AGProperty::~AGProperty() {
  if (store_) store_->forget(this);
}

void AGProperty::detach() {
  int32_t index = store_->findKey(key_);
  if (index < 0) return;
  Ref<AGProperties> own = makeRef<AGProperties>();
  const PropertyMeta& m = store_->meta(index);
  own->Add(key_, m.dataType, m.regSave, m.regFormat, m.fileSave, m.sync);
  own->mutableMeta(0).name = m.name;  // Key may have given it another name
  own->valueAt(0) = store_->valueAt(index);
  store_ = std::move(own);
}

const ClassInfo* AGProperty::classInfo() const {
  using P = AGProperty;
  auto meta = [](P& p) -> PropertyMeta& {
    PropertyAt at = p.resolve();
    return p.store_->mutableMeta(at.index());
  };
  static const ClassInfo info = ClassBuilder<P>("AGProperty")
                                    .prop(
                                        "Key", [](P& p) { return p.resolve().Name(); },
                                        [meta](P& p, const Variant& v) { meta(p).name = v.toString(); })
                                    .prop(
                                        "Name", [](P& p) { return p.resolve().Name(); },
                                        [meta](P& p, const Variant& v) { meta(p).name = v.toString(); })
                                    .prop(
                                        "DataType", [](P& p) { return p.resolve().DataType(); },
                                        [meta](P& p, const Variant& v) { meta(p).dataType = v.toString(); })
                                    .prop(
                                        "Value",
                                        [](P& p) {
                                          p.store_->noteRead();
                                          return p.resolve().Value();
                                        },
                                        [](P& p, const Variant& v) { p.resolve().setValue(v); })
                                    .putRef("Value", [](P& p, const Variant& v) { p.resolve().setValue(v); })
                                    .prop(
                                        "RegSave", [](P& p) { return p.resolve().RegSave(); },
                                        [meta](P& p, const Variant& v) { meta(p).regSave = v.toBool(); })
                                    .prop(
                                        "RegFormat", [](P& p) { return p.resolve().RegFormat(); },
                                        [meta](P& p, const Variant& v) { meta(p).regFormat = v.toLong(); })
                                    .prop(
                                        "FileSave", [](P& p) { return p.resolve().FileSave(); },
                                        [meta](P& p, const Variant& v) { meta(p).fileSave = v.toBool(); })
                                    .prop(
                                        "Sync", [](P& p) { return p.resolve().Sync(); },
                                        [meta](P& p, const Variant& v) { meta(p).sync = v.toBool(); })
                                    .defaultMember("Value")
                                    .build();
  return &info;
}

// ---- AGProperties

AGProperties::AGProperties() : layout_(emptyLayout()) {}

void AGProperties::noteRead() const {
  if (!owner_) return;
  if (SettingsReadRecorder* r = engine().settingsReads) r->read(owner_);
}

AGProperties::AGProperties(std::shared_ptr<const PropertyLayout> layout)
    : layout_(std::move(layout)), values_(layout_->metas.size()) {}

PropertyLayout& AGProperties::ownLayout() {
  if (!own_) {
    own_ = std::make_shared<PropertyLayout>(*layout_);
    layout_ = own_;
  }
  return *own_;
}

PropertyMeta& AGProperties::mutableMeta(int32_t index) { return ownLayout().metas.at(index); }

void AGProperties::watchValue(std::shared_ptr<ValueWatch> watch) {
  watch_ = std::move(watch);
  watchPending_ = false;
  watchIndex_ = watch_ ? findKey(watch_->key) : -1;
}

void AGProperties::unwatchValue() noexcept {
  watch_.reset();
  watchIndex_ = -1;
  watchPending_ = false;
}

void AGProperties::noteTouched() {
  if (!watch_) return;
  watchPending_ = true;
  watch_->touched.push_back(this);
}

void AGProperties::propertiesChanged() {
  if (!watch_) return;
  watchIndex_ = findKey(watch_->key);
  if (!watchPending_) noteTouched();
}

bool AGProperties::Add(std::string_view name, std::string_view dataType, bool regSave, int32_t regFormat,
                       bool fileSave, bool sync) {
  if (name.empty() || PropertyExist(Variant(name))) return false;
  // Keys ignore letter case: a name that differs only in case cannot get its
  // own key.
  if (findKey(name) >= 0) return false;
  ownLayout().append({std::string(name), std::string(dataType), regSave, regFormat, fileSave, sync},
                     std::string(name));
  values_.emplace_back();
  propertiesChanged();
  return true;
}

void AGProperties::AddLayout(const std::shared_ptr<const PropertyLayout>& layout) {
  if (values_.empty()) {
    layout_ = layout;
    own_.reset();
    values_.assign(layout->metas.size(), Variant());
    propertiesChanged();
    return;
  }
  for (const PropertyMeta& m : layout->metas)
    Add(m.name, m.dataType, m.regSave, m.regFormat, m.fileSave, m.sync);
}

Ref<AGProperty> AGProperties::propertyObject(int32_t index) {
  const std::string& key = layout_->keys.at(static_cast<size_t>(index));
  if (!objects_) objects_ = std::make_unique<std::vector<AGProperty*>>();
  for (AGProperty* p : *objects_)
    if (equalsNoCase(p->key_, key)) return Ref<AGProperty>(p);
  Ref<AGProperty> made = makeRef<AGProperty>(Ref<AGProperties>(this), key);
  objects_->push_back(made.get());
  return made;
}

void AGProperties::forget(AGProperty* property) noexcept {
  if (!objects_) return;
  for (auto it = objects_->begin(); it != objects_->end(); ++it)
    if (*it == property) {
      objects_->erase(it);
      return;
    }
}

void AGProperties::detachObjects(std::string_view key) {
  if (!objects_ || objects_->empty()) return;
  std::vector<AGProperty*> leaving;
  for (auto it = objects_->begin(); it != objects_->end();) {
    if (key.empty() || equalsNoCase((*it)->key_, key)) {
      leaving.push_back(*it);
      it = objects_->erase(it);
    } else {
      ++it;
    }
  }
  // Each takes its copy while the property is still here; the store stays
  // alive through the caller for as long as this runs.
  for (AGProperty* p : leaving) p->detach();
}

bool AGProperties::Delete(const Variant& index) {
  if (index.isString() && index.rawString().empty()) return false;
  if (!PropertyExist(index)) return false;
  int32_t i = indexOfKey(index.toString());
  detachObjects(layout_->keys[static_cast<size_t>(i)]);
  ownLayout().erase(i);
  values_.erase(values_.begin() + i);
  propertiesChanged();
  return true;
}

void AGProperties::Clear() {
  detachObjects({});
  layout_ = emptyLayout();
  own_.reset();
  values_.clear();
  propertiesChanged();
}

bool AGProperties::PropertyExist(const Variant& index) const {
  std::string converted;
  if (!index.isString()) converted = index.toString();
  const std::string_view name = index.isString() ? index.rawString() : std::string_view(converted);
  // Mostly the name is the key it was added under, as it was written.
  if (int32_t i = findKey(name); i >= 0 && layout_->metas[static_cast<size_t>(i)].name == name) return true;
  for (const PropertyMeta& m : layout_->metas)
    if (m.name == name) return true;
  return false;
}

namespace {

// What a look-up by name found, remembered for the next look-up of the same
// text in the same layout. Scripts and the generator look the same names up
// again and again, mostly from the same place in memory: a script's literal
// is one shared text however often it runs, a C++ literal or a control's
// condition text stays where it is. So the slot is chosen by where the text
// lies and the layout's stamp (no hashing of the text), and the entry counts
// only when the stamp and the bytes match exactly: a different text at a
// reused address, a layout that changed since (every change gets a new
// stamp, and stamps are never reused) or a name in other letter case is
// looked up in the index as before. Each thread has its own slots.
struct FoundName {
  static constexpr size_t kLongest = 44;
  uint64_t stamp;  // 0: nothing remembered (stamps start at 1)
  int32_t position;
  uint32_t size;
  char text[kLongest];
};
constexpr size_t kFoundSlots = 256;
thread_local FoundName tFound[kFoundSlots];

FoundName& foundSlot(const char* text, uint64_t stamp) noexcept {
  uint64_t h = (reinterpret_cast<uintptr_t>(text) ^ stamp * 0x9E3779B97F4A7C15ull) * 0xFF51AFD7ED558CCDull;
  return tFound[(h >> 32) % kFoundSlots];
}

}  // namespace

int32_t AGProperties::findKey(std::string_view key) const {
  const PropertyLayout& layout = *layout_;
  if (key.empty() || key.size() > FoundName::kLongest) {
    auto it = layout.index.find(key);
    return it == layout.index.end() ? -1 : it->second;
  }
  FoundName& slot = foundSlot(key.data(), layout.stamp);
  if (slot.stamp == layout.stamp && slot.size == key.size() && std::memcmp(slot.text, key.data(), key.size()) == 0)
    return slot.position;
  auto it = layout.index.find(key);
  const int32_t position = it == layout.index.end() ? -1 : it->second;
  slot.stamp = layout.stamp;
  slot.position = position;
  slot.size = static_cast<uint32_t>(key.size());
  std::memcpy(slot.text, key.data(), key.size());
  return position;
}

int32_t SettingKey::findIn(const AGProperties& store) const {
  constexpr int kPositionBits = 24;
  constexpr uint64_t kPositionMask = (uint64_t{1} << kPositionBits) - 1;
  const uint64_t stamp = store.layoutStamp();
  const uint64_t found = found_.load(std::memory_order_relaxed);
  if (found >> kPositionBits == stamp) return static_cast<int32_t>(found & kPositionMask) - 1;
  int32_t i = store.findKey(name_);
  // Stamps beyond 2^40 or positions beyond 2^24 are looked up every time.
  if (stamp < (uint64_t{1} << (64 - kPositionBits)) && static_cast<uint64_t>(i + 1) < kPositionMask)
    found_.store(stamp << kPositionBits | static_cast<uint64_t>(i + 1), std::memory_order_relaxed);
  return i;
}

int32_t AGProperties::indexOfKey(const SettingKey& key) const {
  int32_t i = key.findIn(*this);
  if (i < 0) raiseKeyNotFound();
  return i;
}

int32_t AGProperties::indexOfKey(std::string_view key) const {
  int32_t i = findKey(key);
  if (i < 0) raiseKeyNotFound();
  return i;
}

int32_t AGProperties::positionIndex(const Variant& index) const {
  switch (index.type()) {
    case vtString:
      return indexOfKey(index.rawString());
    case vtInteger:
    case vtLong:
    case vtSingle:
    case vtDouble:
    case vtCurrency:
    case vtByte:
    case vtDecimal: {
      // Rounded as the keyed collection rounds positions (halves to even).
      double pos = std::nearbyint(index.toDouble());
      if (!(pos >= 1 && pos <= Count())) raise(kErrSubscript);
      return static_cast<int32_t>(pos) - 1;
    }
    case vtObject:
      return positionIndex(index.valueOf());
    default:
      raise(kErrInvalidDatatype, "Invalid datatype");
  }
}

PropertyAt AGProperties::Item(const Variant& index) { return PropertyAt(*this, positionIndex(index)); }

PropertyAt AGProperties::Item(std::string_view key) { return PropertyAt(*this, indexOfKey(key)); }

Ref<Enumerator> AGProperties::newEnum() {
  std::vector<Variant> items;
  items.reserve(values_.size());
  for (int32_t i = 0, n = Count(); i < n; ++i) items.emplace_back(propertyObject(i));
  return makeRef<VectorEnumerator>(std::move(items));
}

const ClassInfo* AGProperties::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGProperties>("AGProperties")
          .method("Add",
                  [](AGProperties& s, Args a) {
                    if (a.empty() || a.size() > 6) raise(kErrWrongArgCount);
                    auto given = [&](size_t i) { return hasArg(a, i) && !a[i].isEmpty(); };
                    return s.Add(a[0].toString(), given(1) ? a[1].toString() : std::string("String"),
                                 given(2) ? a[2].toBool() : false, given(3) ? a[3].toLong() : 0,
                                 given(4) ? a[4].toBool() : true, given(5) ? a[5].toBool() : true);
                  })
          .get("Count", [](AGProperties& s) { return s.Count(); })
          .method("Delete", [](AGProperties& s, const Variant& i) { return s.Delete(i); })
          .method("PropertyExist", [](AGProperties& s, const Variant& i) { return s.PropertyExist(i); })
          .get("Item",
               [](AGProperties& s, const Variant& i) {
                 return Variant(s.propertyObject(s.Item(i).index()));
               })
          .defaultMember("Item")
          .build();
  return &info;
}

void CopySyncProperties(const AGProperties& from, AGProperties& to) {
  for (int32_t i = 0, n = from.Count(); i < n; ++i) {
    const PropertyMeta& m = from.meta(i);
    if (m.sync) to.setValue(m.name, from.valueAt(i));
  }
}

}  // namespace tw
