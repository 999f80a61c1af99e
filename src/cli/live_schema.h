#pragma once
// The project against its live database as the front end compares it: the
// schema read once, the tables the user left out of the project on purpose
// taken away from it, the engine's counting and synchronisation steps run
// over what remains, and each difference named for people and scripts.
#include <set>
#include <string>
#include <vector>

#include "core/agp.h"
#include "schema/schema.h"

namespace tw::cli {

// ---- Tables left out on purpose

// The tables and views of the database the user left out of a project (by
// `new --tables` or `remove`), kept in a text file beside the project file:
// PROJECT.xml.left-out, one name a line. The project file itself is not
// touched by it.
class LeftOut {
 public:
  explicit LeftOut(const std::string& projectPath);
  static std::string fileFor(const std::string& projectPath);

  const std::set<std::string>& names() const { return names_; }
  bool contains(const std::string& name) const { return names_.count(name) > 0; }
  void add(const std::string& name) { names_.insert(name); }
  bool erase(const std::string& name) { return names_.erase(name) > 0; }
  void clear() { names_.clear(); }
  // Writes the file (removes it when no name is left). Throws CliError when
  // it cannot be written.
  void save() const;

 private:
  std::string file_;
  std::set<std::string> names_;
};

// ---- Reading and comparing

// The project database's live schema. Throws CliError with the engine's
// message when it cannot be read.
Ref<AGPSchema> readLiveSchema(AGP& proj);
// Drops from the schema the left-out tables that the project does not list.
// (A left-out table the project lists without columns stays: the check
// passes such tables by, and synchronisation keeps them unloaded.)
void dropLeftOut(AGP& proj, AGPSchema& schema, const LeftOut& leftOut);

// The engine's synchronisation steps over this schema.
void synchronise(AGP& proj, const AGPSchema& schema);

// One difference, as `check` lists it.
struct Difference {
  std::string kind;    // "table", "view", "custom view", "report", "field", "key"
  std::string table;   // the table, view, custom view or report
  std::string field;   // the field, for kind "field"
  std::string change;  // "added", "dropped", "renamed?", "retyped", "changed", "key changed", "fails"
  std::string from;    // what it was: old type, old key, old name
  std::string to;      // what it is now
};

struct CheckResult {
  int count = 0;  // the engine's count: tables and views, custom views, reports
  // What differs, table by table in the database's order, then what the
  // database lost, then custom views and reports. A dropped and an added
  // object that look alike (a table with mostly the same field names, a
  // field of the same type in the same table) are listed once, as
  // "renamed?". Filled only when asked for.
  std::vector<Difference> differences;
};
CheckResult checkProject(AGP& proj, const AGPSchema& schema, bool listThem);

// "table orders: field note added" and the like.
std::string describe(const Difference& d);
std::string toJson(const Difference& d);

}  // namespace tw::cli
