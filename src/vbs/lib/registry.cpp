// The library as the engine sees it: one table of functions sorted by name and
// a case-insensitive index over it.
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "automation/text.h"
#include "vbs/builtins.h"
#include "vbs/lib/tables.h"

namespace tw::vbs {

namespace {

struct FunctionTable {
  std::vector<BuiltinFunction> all;
  std::unordered_map<std::string_view, const BuiltinFunction*, NoCaseHash, NoCaseEqual> index;

  FunctionTable() {
    for (auto part : {lib::stringFunctions(), lib::mathFunctions(), lib::inspectionFunctions(),
                      lib::dateFunctions(), lib::formatFunctions()}) {
      all.insert(all.end(), part.begin(), part.end());
    }
    std::sort(all.begin(), all.end(), [](const BuiltinFunction& a, const BuiltinFunction& b) {
      return compareNoCase(a.name, b.name) < 0;
    });
    index.reserve(all.size());
    for (const BuiltinFunction& f : all) index.emplace(f.name, &f);
  }
};

const FunctionTable& table() {
  static const FunctionTable t;
  return t;
}

}  // namespace

std::span<const BuiltinFunction> builtinFunctions() { return table().all; }

const BuiltinFunction* findBuiltin(std::string_view name) {
  const auto& index = table().index;
  auto it = index.find(name);
  return it == index.end() ? nullptr : it->second;
}

}  // namespace tw::vbs
