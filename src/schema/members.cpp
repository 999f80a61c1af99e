// The schema loaders as members of AGP, AGPDatabase, AGPTable and AGPField.
#include "core/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "schema/defaults.h"
#include "schema/loaders.h"

namespace tw {

namespace {

void requireCount(Args a, size_t n) {
  if (a.size() != n) raise(kErrWrongArgCount);
}

const ClassInfo& projectMembers() {
  static const ClassInfo info =
      ClassBuilder<AGP>("AGP")
          .method("JVMLoaded", [](AGP&) { return JVMLoaded(); })
          .method("LoadDatabaseNames",
                  [](AGP&, Args a) {
                    requireCount(a, 9);
                    return LoadDatabaseNames(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
                  })
          .method("LoadDB",
                  [](AGP& p, Args a) {
                    requireCount(a, 10);
                    LoadDB(p, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]);
                  })
          .method("LoadTable", [](AGP& p, const Variant& name) { LoadTable(p, name); })
          .method("UnLoadDB", [](AGP& p) { UnLoadDB(p); })
          .method("LoadCustomView", [](AGP& p, const Variant& name, const Variant& sql,
                                       const Variant& copy) { LoadCustomView(p, name, sql, copy); })
          .method("LoadReport",
                  [](AGP& p, const Variant& name, const Variant& from) { return LoadReport(p, name, from); })
          .method("LoadChart",
                  [](AGP& p, const Variant& chart, const Variant& table) {
                    return LoadChart(p, chart.toString(), table.toString());
                  })
          .method("CopyChart",
                  [](AGP& p, const Variant& oldName, const Variant& newName, const Variant& table) {
                    return CopyChart(p, oldName.toString(), newName.toString(), table.toString());
                  })
          .build();
  return info;
}

const ClassInfo& databaseMembers() {
  static const ClassInfo info =
      ClassBuilder<AGPDatabase>("AGPDatabase")
          .method("LoadzbDB",
                  [](AGPDatabase& d, Args a) {
                    requireCount(a, 11);
                    return LoadzbDB(d, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10]);
                  })
          .method("LoadzbCustomView", [](AGPDatabase& d, const Variant& name,
                                         const Variant& sql) { return LoadzbCustomView(d, name, sql); })
          .build();
  return info;
}

const ClassInfo& tableMembers() {
  static const ClassInfo info =
      ClassBuilder<AGPTable>("AGPTable")
          .method("Load_zbDB", [](AGPTable& t, const Variant& table,
                                  const Variant& loadAll) { Load_zbDB(t, table, loadAll.toBool()); })
          .method("LoadTableDefault", [](AGPTable& t) { LoadTableDefault(t); })
          .method("ParseCustomSql", [](AGPTable& t) { ParseCustomSql(t); })
          .build();
  return info;
}

const ClassInfo& fieldMembers() {
  static const ClassInfo info =
      ClassBuilder<AGPField>("AGPField")
          .method("LoadFld_zbDB", [](AGPField& f, const Variant& c) { LoadFld_zbDB(f, c); })
          .method("LoadFldDefault", [](AGPField& f) { LoadFldDefault(f); })
          .build();
  return info;
}

}  // namespace

void installSchemaMembers() {
  AGP::addMembers(&projectMembers());
  SettingsOwner::addMembers("AGPDatabase", &databaseMembers());
  SettingsOwner::addMembers("AGPTable", &tableMembers());
  SettingsOwner::addMembers("AGPField", &fieldMembers());
}

}  // namespace tw
