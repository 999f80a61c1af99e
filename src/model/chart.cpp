#include "model/chart.h"

#include "model/make_var_name.h"
#include "model/registry_defaults.h"
#include "support/engine_context.h"

namespace tw {

AGPChart::AGPChart() : SettingsOwner(settings()) {
  RegisterProperties();
  LoadDataObjectDefaults(*this, engine().regChart);
}

AGPChart::~AGPChart() = default;

const ClassInfo* AGPChart::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPChart>("AGPChart")
          .get("Properties", [](AGPChart& c, Args a) { return collectionMember(c.Properties(), a); })
          .prop(
              "Key", [](AGPChart& c) { return c.Key(); }, [](AGPChart& c, const Variant& v) { c.setKey(v); })
          .build();
  return &info;
}

AGPChart* AGPCharts::Add(std::string_view name) {
  if (name.empty()) return nullptr;
  if (AGPChart* existing = find(name)) {
    makeCurrent(*existing);
    return existing;
  }
  return NamedCollection<AGPChart>::Add(name);
}

void AGPCharts::prepare(AGPChart& c) {
  c.setSetting(AGPChart::kVarSetting, Variant(MakeVarName(c.ChartName(), "")));
}

void AGPCharts::renamed(AGPChart& c) {
  c.setSetting(AGPChart::kVarSetting, Variant(MakeVarName(c.ChartName(), "")));
}

const ClassInfo* AGPCharts::classInfo() const {
  using C = AGPCharts;
  static const ClassInfo info =
      ClassBuilder<C>("AGPCharts")
          .get("curName", [](C& c) { return c.curName(); })
          .get("curSeq", [](C& c) { return c.curSeqText(); })
          .method("Add", [](C& c, const Variant& n) { return c.Add(n.toString()) != nullptr; })
          .method("Change", [](C& c, const Variant& o,
                               const Variant& n) { return c.Change(o.toString(), n.toString()) != nullptr; })
          .get("Count", [](C& c) { return c.Count(); })
          .method("Delete",
                  [](C& c, const Variant& i) {
                    std::string name;
                    return argumentText(i, name) && c.Delete(name);
                  })
          .method("ChartExist", [](C& c, const Variant& i) { return c.ChartExist(i); })
          .get("Item", [](C& c, const Variant& i) { return Variant(c.Item(i)); })
          .method("Seq", [](C& c, const Variant& i) { return Variant(c.Seq(i.toInteger())); })
          .defaultMember("Item")
          .build();
  return &info;
}

}  // namespace tw
