#pragma once
// AGPKeyword: reserved words per programming language, from a keyword file,
// so the front end can warn about names that clash with them.
//
//   <tarnwick.keyword>
//     <keyword lang="php" value="echo" />
//   </tarnwick.keyword>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/dispatch.h"

namespace tw {

class AGPKeyword : public Dispatch {
 public:
  // Adds the keywords of a keyword file; a pair equal (ignoring case) to one
  // held replaces it. False, keeping what was loaded, when the file cannot be
  // read or parsed or its document element is not "<product key>.keyword".
  bool Load(std::string_view file);
  bool LoadFromBytes(std::string_view bytes);

  // True when `word` is reserved in `language`; both ignore letter case.
  bool IsKeyword(std::string_view language, std::string_view word) const;
  int32_t Count() const noexcept { return static_cast<int32_t>(pairs_.size()); }
  int16_t curIndex() const noexcept { return 0; }

  const std::vector<std::pair<std::string, std::string>>& keywords() const noexcept { return pairs_; }

  const ClassInfo* classInfo() const override;

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;  // (language, word)
  std::unordered_map<std::string, size_t> index_;           // folded "language\0word"
};

}  // namespace tw
