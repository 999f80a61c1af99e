// Traces a result column of a parsed statement back through table aliases,
// derived tables and common table expressions to the base table and column
// it reads.
#include "automation/text.h"
#include "schema/sql_statement.h"

namespace tw {

namespace sql {

// A column of one source. With `check` the column must be known to be
// there; `unknown` then tells that the source cannot say (a base table
// without a look-up, or a table function).
Trace columnOfSource(const Source& src, std::string_view column, const Lookup& lookup, int depth, bool check,
                     bool& unknown) {
  unknown = false;
  if (src.derived) return resultColumn(*src.derived, column, lookup, depth + 1, nullptr);
  if (src.opaque) {
    if (check) {
      unknown = true;
      return {};
    }
    return {true, "", ""};
  }
  if (check) {
    if (!lookup) {
      unknown = true;
      return {};
    }
    if (!lookup(src.table, column)) return {};
  }
  return {true, src.table, std::string(column)};
}

// Finds the one source of several that has the column; when none says so and
// exactly one cannot tell, that one.
Trace columnOfSources(const std::vector<const Source*>& sources, std::string_view column,
                      const Lookup& lookup, int depth) {
  if (sources.size() == 1) {
    bool unknown = false;
    return columnOfSource(*sources[0], column, lookup, depth, false, unknown);
  }
  std::vector<const Source*> unsure;
  for (const Source* src : sources) {
    bool unknown = false;
    Trace t = columnOfSource(*src, column, lookup, depth, true, unknown);
    if (t.found) return t;
    if (unknown) unsure.push_back(src);
  }
  if (unsure.size() == 1) {
    bool unknown = false;
    return columnOfSource(*unsure[0], column, lookup, depth, false, unknown);
  }
  return {};
}

const Source* sourceNamed(const Select& s, std::string_view name) {
  for (const Source& src : s.sources)
    if (equalsNoCase(src.name(), name)) return &src;
  for (const Source& src : s.sources)
    if (!src.alias.empty() && equalsNoCase(src.table, name)) return &src;
  return nullptr;
}

Trace columnItem(const Select& s, const Item& item, const Lookup& lookup, int depth) {
  if (item.kind == Item::kExpression) return {true, "", ""};
  std::vector<const Source*> sources;
  if (!item.qualifier.empty()) {
    const Source* src = sourceNamed(s, item.qualifier);
    if (!src) return {true, "", item.column};
    sources.push_back(src);
  } else {
    for (const Source& src : s.sources) sources.push_back(&src);
  }
  if (sources.empty()) return {true, "", item.column};
  Trace t = columnOfSources(sources, item.column, lookup, depth);
  if (!t.found) return {true, "", item.column};
  return t;
}

Trace resultColumn(const Query& q, std::string_view name, const Lookup& lookup, int depth,
                   SQLParser::FieldInfo* info) {
  if (depth > 64 || !q.first) return {};
  const Select& s = *q.first;
  if (!q.columnNames.empty()) {
    // Renamed columns: the n-th name is the n-th column of the select list.
    for (size_t i = 0; i < q.columnNames.size(); ++i) {
      if (!equalsNoCase(q.columnNames[i], name)) continue;
      for (const Item& it : s.items)
        if (it.kind == Item::kStar) return {};
      if (i >= s.items.size()) return {};
      const Item& it = s.items[i];
      Trace t = columnItem(s, it, lookup, depth);
      if (info) *info = {it.text, t.table, t.field, true};
      return t;
    }
    return {};
  }
  // An explicit column of that name first; else the first star that yields it.
  for (const Item& it : s.items) {
    if (it.kind == Item::kStar || !equalsNoCase(it.resultName, name)) continue;
    Trace t = columnItem(s, it, lookup, depth);
    if (info) *info = {it.text, t.table, t.field, it.hasAlias || it.kind == Item::kExpression};
    return t;
  }
  for (const Item& it : s.items) {
    if (it.kind == Item::kStar) {
      std::vector<const Source*> sources;
      if (!it.qualifier.empty()) {
        if (const Source* src = sourceNamed(s, it.qualifier)) sources.push_back(src);
      } else {
        for (const Source& src : s.sources) sources.push_back(&src);
      }
      if (sources.empty()) continue;
      Trace t = columnOfSources(sources, name, lookup, depth);
      if (!t.found) continue;
      if (info) {
        const Source* from = nullptr;
        for (const Source* src : sources)
          if (!t.table.empty() && !src->derived && src->table == t.table) from = src;
        std::string qualifier =
            from ? from->name() : (sources.size() == 1 ? sources[0]->name() : std::string());
        *info = {qualifier.empty() ? std::string(name) : qualifier + "." + std::string(name), t.table,
                 t.field, false};
      }
      return t;
    }
  }
  return {};
}

}  // namespace sql

}  // namespace tw
