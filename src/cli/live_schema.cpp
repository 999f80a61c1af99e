// The project against its live database: the schema read once, tables left
// out on purpose taken away, the engine's steps over what remains, and the
// differences named one by one.
#include "cli/live_schema.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <unordered_map>

#include "automation/text.h"
#include "cli/cli.h"
#include "core/project_file.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "sync/sync.h"

namespace fs = std::filesystem;

namespace tw::cli {

// ---------------------------------------------------------------- left out

std::string LeftOut::fileFor(const std::string& projectPath) { return projectPath + ".left-out"; }

LeftOut::LeftOut(const std::string& projectPath) : file_(fileFor(projectPath)) {
  std::ifstream in(file_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string name(trimBlanks(line));
    if (!name.empty() && name[0] != '#') names_.insert(name);
  }
}

void LeftOut::save() const {
  std::error_code ec;
  if (names_.empty()) {
    fs::remove(file_, ec);
    return;
  }
  const std::string fresh = file_ + ".new";
  {
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    out << "# Tables and views of the database left out of the project on purpose:\n"
           "# tarnwick check and sync pass them by; tarnwick add TABLE takes one in.\n";
    for (const std::string& n : names_) out << n << '\n';
    if (!out.flush()) throw CliError(file_ + ": cannot write the list of tables left out");
  }
  fs::rename(fresh, file_, ec);
  if (ec) throw CliError(file_ + ": " + ec.message());
}

// ---------------------------------------------------------------- reading

Ref<AGPSchema> readLiveSchema(AGP& proj) {
  EngineContext& ctx = engine();
  ctx.projErr.clear();
  AGPDatabase& db = database(proj);
  auto schema = makeRef<AGPSchema>();
  schema->LoadDB(db.setting("DBName"), db.setting("DBType"), db.setting("DBHost"), db.setting("DBPort"),
                 db.setting("DBUID"), db.setting("DBPwd"), db.setting("DBSID"),
                 db.setting("DBConnectionMethod"), db.setting("DBURL"), db.setting("DBEncoding"));
  if (ctx.projErr == "JDBC ERROR") {
    const std::string type = toLower(db.str("DBType"));
    const std::string driver = type == "oracle" ? "OracleJDBCDriver" : "MySQLJDBCDriver";
    throw CliError("JDBC ERROR: the database is reached through Java, but the General setting JavaRuntimeLib" +
                   (type == "oracle" || type == "mysql" ? " or " + driver : std::string()) +
                   " is empty; name it with: tarnwick config set General " +
                   (type == "oracle" || type == "mysql" ? driver : std::string("JavaRuntimeLib")) + " PATH");
  }
  if (!ctx.projErr.empty()) throw CliError(engineMessage());
  return schema;
}

void dropLeftOut(AGP& proj, AGPSchema& schema, const LeftOut& leftOut) {
  if (leftOut.names().empty()) return;
  AGPTables& tables = database(proj).tables();
  schema.dropTables([&](const AGSchemaTable& t) {
    return leftOut.contains(t.TblName) && !tables.Item(Variant(t.TblName));
  });
}

void synchronise(AGP& proj, const AGPSchema& schema) {
  engine().projErr.clear();
  MapRenamedObjects(proj, schema);
  UpdateTablesAndViews(proj, schema);
  SyncCustomViews(proj);
  SyncReports(proj);
  RebuildTableKeys(proj);
}

// ---------------------------------------------------------------- differences

namespace {

bool isDatabaseKind(const std::string& type) { return type == "TABLE" || type == "VIEW"; }
std::string kindOf(const std::string& type) { return type == "VIEW" ? "view" : "table"; }

// A type as the database names it ("VARCHAR(80)").
std::string typeText(const std::string& typeName) { return typeName.empty() ? "?" : typeName; }

std::string fieldType(const AGPField& f) { return typeText(f.str("FldTypeName")); }
std::string columnType(const AGSchemaField& c) { return typeText(c.FldTypeName); }

// How a column and its field differ, in the order the comparison looks.
void compareColumn(const std::string& table, const AGSchemaField& column, const AGPField& field,
                   std::vector<Difference>& out) {
  if (CompareField(column, field, false, {})) return;
  Difference d{"field", table, column.FldName, "changed", "", ""};
  if (column.NativeDataType != field.int16("NativeDataType") || column.FldSize != field.int32("FldSize")) {
    d.change = "retyped";
    d.from = fieldType(field);
    d.to = columnType(column);
    if (d.from == d.to) {
      d.from += " size " + std::to_string(field.int32("FldSize"));
      d.to += " size " + std::to_string(column.FldSize);
    }
  } else {
    std::vector<std::string> was, now;
    auto flag = [&](bool before, bool after, const char* name) {
      if (before == after) return;
      was.push_back(before ? name : std::string("not ") + name);
      now.push_back(after ? name : std::string("not ") + name);
    };
    flag(field.flag("FldUniqueIdx"), column.FldUniqueIdx, "unique");
    flag(field.flag("FldAutoIncrement"), column.FldAutoIncrement, "auto-increment");
    // The attribute bits that differ, by name.
    static const std::pair<int32_t, const char*> kBits[] = {
        {0x8000, "key column"}, {0x100, "row id"},    {0x80, "long"},    {0x40, "may be null"},
        {0x20, "nullable"},     {0x10, "fixed length"}, {0x4, "updatable"}};
    const int32_t before = field.int32("FldAttribute"), after = column.FldAttribute;
    int32_t named = 0;
    for (const auto& [bit, name] : kBits) {
      named |= bit;
      flag((before & bit) != 0, (after & bit) != 0, name);
    }
    if ((before & ~named) != (after & ~named)) {
      was.push_back("attributes " + std::to_string(before));
      now.push_back("attributes " + std::to_string(after));
    }
    if (was.empty()) {
      was.push_back("values " + field.str("FldTagValues"));
      now.push_back("values " + column.FldTagValues);
    }
    for (size_t i = 0; i < was.size(); ++i) {
      d.from += (i ? ", " : "") + was[i];
      d.to += (i ? ", " : "") + now[i];
    }
  }
  out.push_back(std::move(d));
}

// Dropped and added entries of one kind that look alike become "renamed?".
// `alike` scores a pair (0: not alike); each entry is paired once, best
// score first.
template <class Score>
void pairRenames(std::vector<Difference>& list, const std::string& kind, Score alike) {
  std::vector<size_t> dropped, added;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].kind != kind) continue;
    if (list[i].change == "dropped") dropped.push_back(i);
    if (list[i].change == "added") added.push_back(i);
  }
  std::vector<bool> gone(list.size(), false);
  for (size_t a : added) {
    size_t best = 0;
    double bestScore = 0;
    for (size_t d : dropped) {
      if (gone[d]) continue;
      double s = alike(list[d], list[a]);
      if (s > bestScore) {
        bestScore = s;
        best = d;
      }
    }
    if (bestScore <= 0) continue;
    Difference& entry = list[a];
    entry.change = "renamed?";
    entry.from = kind == "field" ? list[best].field : list[best].table;
    gone[best] = true;
  }
  std::vector<Difference> kept;
  for (size_t i = 0; i < list.size(); ++i)
    if (!gone[i]) kept.push_back(std::move(list[i]));
  list = std::move(kept);
}

}  // namespace

CheckResult checkProject(AGP& proj, const AGPSchema& schema, bool listThem) {
  EngineContext& ctx = engine();
  ctx.projErr.clear();
  CheckResult result;
  result.count = CheckTables(proj, schema);
  AGPTables& tables = database(proj).tables();

  // Field names of the tables on either side, for the renamed guesses.
  std::unordered_map<std::string, std::vector<std::string>> oldFields, newFields;
  std::vector<Difference>& out = result.differences;
  if (listThem) {
    std::map<std::pair<std::string, std::string>, AGPTable*> projectTables;
    // Custom views and reports keep their names against tables (in any
    // letter case): such a table is no difference.
    std::set<std::string> userNames;
    for (AGPTable* t : tables.inSequence()) {
      std::string type = t->str("TblType");
      if (isDatabaseKind(type))
        projectTables.emplace(std::make_pair(type, t->TblName()), t);
      else
        userNames.insert(toLower(t->TblName()));
    }
    std::set<std::pair<std::string, std::string>> seen;
    const auto& records = schema.record().tables.Tbl;
    for (int16_t i = 1; i <= schema.tblcnt(); ++i) {
      const AGSchemaTable& source = records[static_cast<size_t>(i)];
      const std::string kind = kindOf(source.TblType);
      seen.insert({source.TblType, source.TblName});
      auto found = projectTables.find({source.TblType, source.TblName});
      if (found == projectTables.end()) {
        if (userNames.count(toLower(source.TblName))) continue;
        out.push_back({kind, source.TblName, "", "added", "", ""});
        for (int16_t j = 1; j <= source.TblFldCnt; ++j)
          newFields[source.TblName].push_back(source.TblFields.fld[static_cast<size_t>(j)].FldName);
        continue;
      }
      AGPTable& table = *found->second;
      if (!table.flag("TblLoaded")) continue;
      if (source.TblType == "TABLE" && SortCommaList(table.str("TblKey")) != SortCommaList(source.TblKey))
        out.push_back({"key", source.TblName, "", "key changed", table.str("TblKey"), source.TblKey});
      std::vector<Difference> fields;
      std::set<std::string> columns;
      for (int16_t j = 1; j <= source.TblFldCnt; ++j) {
        const AGSchemaField& column = source.TblFields.fld[static_cast<size_t>(j)];
        columns.insert(column.FldName);
        AGPField* field = table.hasFields() ? table.Fields().Item(Variant(column.FldName)) : nullptr;
        if (!field || field->FldName() != column.FldName)
          fields.push_back({"field", source.TblName, column.FldName, "added", "", columnType(column)});
        else
          compareColumn(source.TblName, column, *field, fields);
      }
      if (table.hasFields())
        for (AGPField* f : table.Fields().inSequence())
          if (!columns.count(f->FldName()))
            fields.push_back({"field", source.TblName, f->FldName(), "dropped", fieldType(*f), ""});
      pairRenames(fields, "field", [](const Difference& was, const Difference& now) {
        return was.from == now.to ? 1.0 : 0.0;
      });
      for (Difference& d : fields) out.push_back(std::move(d));
    }
    for (AGPTable* t : tables.inSequence()) {
      std::string type = t->str("TblType");
      if (!isDatabaseKind(type) || seen.count({type, t->TblName()})) continue;
      out.push_back({kindOf(type), t->TblName(), "", "dropped", "", ""});
      if (t->hasFields())
        for (AGPField* f : t->Fields().inSequence()) oldFields[t->TblName()].push_back(f->FldName());
    }
    // A new table that holds at least half of an old one's field names (and
    // the old one at least half of its) was probably that table renamed.
    auto alike = [&](const Difference& was, const Difference& now) {
      const auto& a = oldFields[was.table];
      const auto& b = newFields[now.table];
      if (a.empty() || b.empty()) return 0.0;
      size_t common = 0;
      for (const std::string& n : a)
        for (const std::string& m : b)
          if (equalsNoCase(n, m)) ++common;
      double share = static_cast<double>(common) / static_cast<double>(std::max(a.size(), b.size()));
      return share >= 0.5 ? share : 0.0;
    };
    pairRenames(out, "table", alike);
    pairRenames(out, "view", alike);
  }

  // Custom views and reports one by one, as the engine's check goes through
  // them.
  for (AGPTable* t : tables.inSequence()) {
    const std::string type = t->str("TblType");
    if (type != "CUSTOMVIEW" && type != "REPORT") continue;
    const std::string name = t->TblName();
    int16_t n = type == "CUSTOMVIEW" ? CompareCustomView(proj, name) : CompareReport(proj, name);
    result.count += n;
    if (!listThem) continue;
    const std::string kind = type == "CUSTOMVIEW" ? "custom view" : "report";
    AGPTable* again = tables.Item(Variant(name));
    std::string error = again ? again->str("TblCustomError") : std::string();
    const std::string prefix = ctx.productName + ": ";
    if (error.rfind(prefix, 0) == 0) error.erase(0, prefix.size());
    if (!error.empty())
      out.push_back({kind, name, "", "fails", "", error});
    else if (n > 0)
      out.push_back(
          {kind, name, "", "changed", "", std::to_string(n) + (n == 1 ? " difference" : " differences")});
  }
  ctx.projErr.clear();
  return result;
}

std::string describe(const Difference& d) {
  std::string text = d.kind == "field" ? "field " + d.table + "." + d.field
                     : d.kind == "key" ? "table " + d.table
                                       : d.kind + " " + d.table;
  if (d.change == "renamed?") return text + " is new; renamed from " + d.from + "?";
  if (d.change == "retyped") return text + " retyped: " + d.from + " -> " + d.to;
  if (d.change == "key changed")
    return text + " primary key changed: " + (d.from.empty() ? "(none)" : d.from) + " -> " +
           (d.to.empty() ? "(none)" : d.to);
  if (d.change == "fails") return text + " fails: " + d.to;
  if (d.change == "changed")
    return text + " changed" + (d.from.empty() ? ": " + d.to : ": " + d.from + " -> " + d.to);
  if (d.change == "added" && !d.to.empty()) return text + " added (" + d.to + ")";
  if (d.change == "dropped" && !d.from.empty()) return text + " dropped (was " + d.from + ")";
  return text + " " + d.change;
}

std::string toJson(const Difference& d) {
  std::string out = "{\"kind\": " + jsonString(d.kind) + ", \"name\": " + jsonString(d.table);
  if (!d.field.empty()) out += ", \"field\": " + jsonString(d.field);
  out += ", \"change\": " + jsonString(d.change);
  if (!d.from.empty()) out += ", \"from\": " + jsonString(d.from);
  if (!d.to.empty()) out += ", \"to\": " + jsonString(d.to);
  return out + "}";
}

}  // namespace tw::cli
