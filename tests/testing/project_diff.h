#pragma once
// Two projects compared setting by setting: every database, table and field
// setting whose value differs, as "table t field f: Setting a -> b" lines,
// and the tables (paired by name) and fields only one of them has.
#include <string>
#include <vector>

#include "core/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"

namespace tw::testing {

inline std::vector<std::string> projectDifferences(AGP& a, AGP& b) {
  std::vector<std::string> out;
  auto text = [](const Variant& v) {
    if (v.isNull()) return std::string("(Null)");
    if (v.isEmpty()) return std::string("(Empty)");
    return v.toString();
  };
  auto compare = [&](const std::string& where, const SettingTable& defs, auto& x, auto& y) {
    for (const SettingDef& d : defs.defs()) {
      std::string vx = text(x.setting(d.name)), vy = text(y.setting(d.name));
      if (vx != vy) out.push_back(where + ": " + std::string(d.name) + " " + vx + " -> " + vy);
    }
  };
  AGPDatabase* da = a.db();
  AGPDatabase* db = b.db();
  if (!da || !db) return {"a database is missing"};
  compare("database", AGPDatabase::settings(), *da, *db);
  // Tables are paired by name (their order is the TblSeq setting).
  for (AGPTable* t : db->tables().inSequence())
    if (!da->tables().Item(Variant(t->TblName()))) out.push_back("table " + t->TblName() + ": only in the second");
  for (AGPTable* x : da->tables().inSequence()) {
    AGPTable* y = db->tables().Item(Variant(x->TblName()));
    const std::string t = "table " + x->TblName();
    if (!y) {
      out.push_back(t + ": only in the first");
      continue;
    }
    compare(t, AGPTable::settings(), *x, *y);
    std::vector<AGPField*> fa = x->Fields().inSequence(), fb = y->Fields().inSequence();
    for (size_t j = 0; j < std::max(fa.size(), fb.size()); ++j) {
      if (j >= fa.size() || j >= fb.size() || fa[j]->FldName() != fb[j]->FldName()) {
        out.push_back(t + " field " + std::to_string(j + 1) + ": " + (j < fa.size() ? fa[j]->FldName() : "-") +
                      " -> " + (j < fb.size() ? fb[j]->FldName() : "-"));
        continue;
      }
      compare(t + " field " + fa[j]->FldName(), AGPField::settings(), *fa[j], *fb[j]);
    }
  }
  return out;
}

}  // namespace tw::testing
