#pragma once
// AGPLanguage: the phrases of a template's language file (lang.xml), which
// templates reach through "@" and "$" blocks and scripts through LANG.
//
//   <tarnwick.language>
//     <phrase id="Title" value="List of records" />
//   </tarnwick.language>
//
// Loading several files accumulates their phrases; a later phrase replaces an
// earlier one with the same identifier (identifiers ignore letter case).
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/dispatch.h"
#include "automation/text.h"

namespace tw {

class AGPLanguage : public Dispatch {
 public:
  // Adds the phrases of a language file. False, keeping what was loaded, when
  // the file cannot be read or parsed or its document element is not
  // "<product key>.language" (compared in lower case).
  bool Load(std::string_view file);
  // The same from the file's bytes.
  bool LoadFromBytes(std::string_view bytes);

  // The text of the phrase `id` (any letter case); empty when there is none.
  std::string Phrase(std::string_view id) const;
  // Whether the phrase `id` is defined (an empty one is).
  bool HasPhrase(std::string_view id) const { return index_.find(id) != index_.end(); }
  int32_t Count() const noexcept { return static_cast<int32_t>(phrases_.size()); }
  int16_t curIndex() const noexcept { return 0; }

  // The phrases in the order they were first defined.
  const std::vector<std::pair<std::string, std::string>>& phrases() const noexcept { return phrases_; }

  const ClassInfo* classInfo() const override;

 private:
  std::vector<std::pair<std::string, std::string>> phrases_;  // (identifier, text)
  std::unordered_map<std::string, size_t, NoCaseHash, NoCaseEqual> index_;
};

}  // namespace tw
