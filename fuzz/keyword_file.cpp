// Fuzzes the keyword file reader: the file is outside input, so no bytes may
// crash it. Every pair it keeps is found again in any letter case, and no two
// pairs are the same word of the same language.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "automation/text.h"
#include "script/keyword.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tw::Ref<tw::AGPKeyword> keywords = tw::makeRef<tw::AGPKeyword>();
  bool loaded = keywords->LoadFromBytes(bytes);
  check(loaded || keywords->Count() == 0);
  std::set<std::pair<std::string, std::string>> folded;
  for (const auto& [language, word] : keywords->keywords()) {
    check(keywords->IsKeyword(language, word));
    check(keywords->IsKeyword(tw::toUpper(language), tw::toLower(word)));
    check(folded.emplace(tw::toLower(language), tw::toLower(word)).second);
  }
  check(static_cast<size_t>(keywords->Count()) == folded.size());
  // Loading the same file again adds nothing.
  if (loaded) {
    check(keywords->LoadFromBytes(bytes));
    check(static_cast<size_t>(keywords->Count()) == folded.size());
  }
  return 0;
}
