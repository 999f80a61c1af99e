// Fuzzes the machine registry text parser: the file is outside input, so no
// text may crash it, and every key it reports must be reachable by its path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/registry_store.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> problems;
  tw::MachineBranch branch = tw::parseMachineRegistry(text, &problems);
  check(!branch.keys.empty() && branch.keys[0].path.empty());
  check(branch.index.size() == branch.keys.size());
  size_t children = 0;
  for (size_t i = 0; i < branch.keys.size(); ++i) {
    const tw::MachineKey& key = branch.keys[i];
    check(branch.find(key.path) == &key);
    check(tw::normalizeSectionPath(key.path) == key.path);
    for (size_t c : key.children) {
      check(c > i && c < branch.keys.size());
      check(branch.keys[c].path == (key.path.empty() ? "" : key.path + "\\") + branch.keys[c].name);
    }
    children += key.children.size();
    for (const auto& [name, value] : key.values) {
      (void)name;
      check(value.type == tw::kRegString || value.type == tw::kRegExpandString ||
            value.type == tw::kRegMultiString || value.type == tw::kRegDword ||
            value.type == tw::kRegDwordBigEndian || value.type == tw::kRegBinary);
    }
  }
  check(children + 1 == branch.keys.size());  // every key but the root has one parent
  return 0;
}
