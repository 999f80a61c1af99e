#include "model/property.h"

namespace tw {

const ClassInfo* AGProperty::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGProperty>("AGProperty")
          .prop("Key", [](AGProperty& p) { return p.Name(); },
                [](AGProperty& p, const Variant& v) { p.setName(v.toString()); })
          .prop("Name", [](AGProperty& p) { return p.Name(); },
                [](AGProperty& p, const Variant& v) { p.setName(v.toString()); })
          .prop("DataType", [](AGProperty& p) { return p.DataType(); },
                [](AGProperty& p, const Variant& v) { p.setDataType(v.toString()); })
          .prop("Value", [](AGProperty& p) { return p.Value(); },
                [](AGProperty& p, const Variant& v) { p.setValue(v); })
          .putRef("Value", [](AGProperty& p, const Variant& v) { p.setValue(v); })
          .prop("RegSave", [](AGProperty& p) { return p.RegSave(); },
                [](AGProperty& p, const Variant& v) { p.setRegSave(v.toBool()); })
          .prop("RegFormat", [](AGProperty& p) { return p.RegFormat(); },
                [](AGProperty& p, const Variant& v) { p.setRegFormat(v.toLong()); })
          .prop("FileSave", [](AGProperty& p) { return p.FileSave(); },
                [](AGProperty& p, const Variant& v) { p.setFileSave(v.toBool()); })
          .prop("Sync", [](AGProperty& p) { return p.Sync(); },
                [](AGProperty& p, const Variant& v) { p.setSync(v.toBool()); })
          .defaultMember("Value")
          .build();
  return &info;
}

AGProperties::AGProperties() : items_(makeRef<CSuperCollection>()) {
  items_->setCompareMode(CSuperCollection::kTextCompare);
}

bool AGProperties::Add(std::string_view name, std::string_view dataType, bool regSave, int32_t regFormat,
                       bool fileSave, bool sync) {
  if (name.empty() || PropertyExist(Variant(name))) return false;
  // The keyed store ignores letter case: a name that differs only in case
  // cannot get its own key.
  if (items_->keyExists(name)) return false;
  auto prop = makeRef<AGProperty>(std::string(name), std::string(dataType), regSave, regFormat, fileSave, sync);
  items_->add(Variant(prop), name);
  return true;
}

bool AGProperties::Delete(const Variant& index) {
  if (index.isString() && index.rawString().empty()) return false;
  if (!PropertyExist(index)) return false;
  items_->remove(Variant(index.toString()));
  return true;
}

bool AGProperties::PropertyExist(const Variant& index) const {
  std::string name = index.toString();
  for (int32_t i = 0, n = items_->count(); i < n; ++i) {
    if (at(i).Name() == name) return true;
  }
  return false;
}

AGProperty& AGProperties::Item(const Variant& index) const {
  return static_cast<AGProperty&>(*items_->item(index).rawObject());
}

AGProperty& AGProperties::Item(std::string_view name) const { return Item(Variant(name)); }

AGProperty& AGProperties::at(int32_t index) const {
  return static_cast<AGProperty&>(*items_->item(Variant(index + items_->baseIndex())).rawObject());
}

Ref<Enumerator> AGProperties::newEnum() { return items_->newEnum(); }

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
          .get("Item", [](AGProperties& s, const Variant& i) { return Variant(&s.Item(i)); })
          .defaultMember("Item")
          .build();
  return &info;
}

void CopySyncProperties(const AGProperties& from, AGProperties& to) {
  for (int32_t i = 0, n = from.Count(); i < n; ++i) {
    const AGProperty& p = from.at(i);
    if (p.Sync()) to.Item(p.Name()).setValue(p.Value());
  }
}

}  // namespace tw
