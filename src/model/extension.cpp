#include "model/extension.h"

#include <array>

namespace tw {

namespace {

constexpr std::array kExtensionSettings = std::to_array<SettingDef>({
    {"Seq", "Integer", false, 0, true, false},
    {"Name", "String", false, 0, true, false},
    {"Template", "String", false, 0, true, false},
});

const SettingTable& extensionTable() {
  static const SettingTable table(kExtensionSettings);
  return table;
}

}  // namespace

AGPExtension::AGPExtension() : SettingsOwner(extensionTable()) { RegisterProperties(); }

AGPExtension::~AGPExtension() { Properties().Clear(); }

const ClassInfo* AGPExtension::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPExtension>("AGPExtension")
          .get("Properties", [](AGPExtension& e, Args a) { return collectionMember(e.Properties(), a); })
          .prop(
              "Key", [](AGPExtension& e) { return e.Name(); },
              [](AGPExtension& e, const Variant& v) { e.setSetting("Name", v); })
          .build();
  return &info;
}

bool AGPExtensions::AddExtension(std::string_view name) {
  if (name.empty()) return false;
  if (AGPExtension* e = find(name)) {
    makeCurrent(*e);
    return true;
  }
  return Add(name) != nullptr;
}

bool AGPExtensions::DeleteExtension(const Variant& index) {
  std::string name;
  if (index.isNumeric()) {
    double pos = index.toDouble();
    if (pos < 1 || pos > Count()) return false;
    name = at(static_cast<int32_t>(pos) - 1)->Name();
  } else {
    name = index.toString();
  }
  return Delete(name);
}

const ClassInfo* AGPExtensions::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPExtensions>("AGPExtensions")
          .get("curName", [](AGPExtensions& c) { return c.curName(); })
          .get("curSeq", [](AGPExtensions& c) { return c.curSeq(); })
          .method("Add", [](AGPExtensions& c, const Variant& n) { return c.AddExtension(n.toString()); })
          .get("Count", [](AGPExtensions& c) { return c.Count(); })
          .method("Delete", [](AGPExtensions& c, const Variant& i) { return c.DeleteExtension(i); })
          .method("ExtensionExist", [](AGPExtensions& c, const Variant& i) { return c.ExtensionExist(i); })
          .get("Item", [](AGPExtensions& c, const Variant& i) { return Variant(c.Item(i)); })
          .method("Seq", [](AGPExtensions& c, const Variant& i) { return Variant(c.Seq(i.toInteger())); })
          .defaultMember("Item")
          .build();
  return &info;
}

}  // namespace tw
