#include "model/field.h"

#include "model/make_var_name.h"
#include "model/registry_defaults.h"
#include "support/engine_context.h"

namespace tw {

AGPField::AGPField() : SettingsOwner(settings()) {
  RegisterProperties();
  LoadDataObjectDefaults(*this, engine().regField);
}

AGPField::~AGPField() = default;

const ClassInfo* AGPField::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPField>("AGPField")
          .get("Properties", [](AGPField& f, Args a) { return collectionMember(f.Properties(), a); })
          .prop(
              "Key", [](AGPField& f) { return f.Key(); }, [](AGPField& f, const Variant& v) { f.setKey(v); })
          .build();
  return &info;
}

void AGPFields::renamed(AGPField& f) {
  f.setSetting(AGPField::kVarSetting, Variant(MakeVarName(f.FldName(), AGPField::kVarPrefix)));
}

const ClassInfo* AGPFields::classInfo() const {
  using C = AGPFields;
  static const ClassInfo info =
      ClassBuilder<C>("AGPFields")
          .get("curName", [](C& c) { return c.curName(); })
          .get("curSeq", [](C& c) { return c.curSeq(); })
          .method("Add", [](C& c, const Variant& n) { return c.Add(n.toString()) != nullptr; })
          .method("Change", [](C& c, const Variant& o,
                               const Variant& n) { return c.Change(o.toString(), n.toString()) != nullptr; })
          .get("Count", [](C& c) { return c.Count(); })
          .method("Delete",
                  [](C& c, const Variant& i) {
                    std::string name;
                    return argumentText(i, name) && c.Delete(name);
                  })
          .method("FieldExist", [](C& c, const Variant& i) { return c.FieldExist(i); })
          .get("Item", [](C& c, const Variant& i) { return Variant(c.Item(i)); })
          .method("Seq", [](C& c, const Variant& i) { return Variant(c.Seq(i.toInteger())); })
          .method("SetItem", [](C& c, const Variant& i) { c.SetItem(i); })
          .method("SetSeq", [](C& c, const Variant& i) { c.SetSeq(i.toInteger()); })
          .defaultMember("Item")
          .build();
  return &info;
}

}  // namespace tw
