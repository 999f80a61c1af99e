#include "model/table.h"

#include "model/make_var_name.h"
#include "model/registry_defaults.h"
#include "support/engine_context.h"

namespace tw {

AGPTable::AGPTable() : SettingsOwner(settings()) {
  RegisterProperties();
  LoadDataObjectDefaults(*this, engine().regTable);
}

AGPTable::~AGPTable() = default;

AGPFields& AGPTable::Fields() {
  if (!fields_) fields_ = makeRef<AGPFields>();
  return *fields_;
}

AGPCharts& AGPTable::Charts() {
  if (!charts_) charts_ = makeRef<AGPCharts>();
  return *charts_;
}

const ClassInfo* AGPTable::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPTable>("AGPTable")
          .get("Properties", [](AGPTable& t, Args a) { return collectionMember(t.Properties(), a); })
          .prop(
              "Key", [](AGPTable& t) { return t.Key(); }, [](AGPTable& t, const Variant& v) { t.setKey(v); })
          .get("Fields", [](AGPTable& t, Args a) { return collectionMember(t.Fields(), a); })
          .get("Charts", [](AGPTable& t, Args a) { return collectionMember(t.Charts(), a); })
          .build();
  return &info;
}

void AGPTables::renamed(AGPTable& t) {
  t.setSetting(AGPTable::kVarSetting, Variant(MakeVarName(t.TblName(), "")));
}

const ClassInfo* AGPTables::classInfo() const {
  using C = AGPTables;
  static const ClassInfo info =
      ClassBuilder<C>("AGPTables")
          .get("curName", [](C& c) { return c.curName(); })
          .get("curSeq", [](C& c) { return c.curSeq(); })
          .method("Add", [](C& c, const Variant& n) { return c.Add(n.toString()) != nullptr; })
          .method("Change", [](C& c, const Variant& o,
                               const Variant& n) { return c.Change(o.toString(), n.toString()) != nullptr; })
          .get("Count", [](C& c) { return c.Count(); })
          .method("Delete", [](C& c, const Variant& n) { return c.Delete(n.toString()); })
          .method("TableExist", [](C& c, const Variant& i) { return c.TableExist(i); })
          .get("Item", [](C& c, const Variant& i) { return Variant(c.Item(i)); })
          .method("Seq", [](C& c, const Variant& i) { return Variant(c.Seq(i.toInteger())); })
          .method("SetItem", [](C& c, const Variant& i) { c.SetItem(i); })
          .method("SetSeq", [](C& c, const Variant& i) { c.SetSeq(i.toInteger()); })
          .defaultMember("Item")
          .build();
  return &info;
}

}  // namespace tw
