#pragma once
// AGUserScript: the names of the user procedures, which scripts reach as
// SCRPT to ask whether a user override (a function USER_<name>) exists.
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"

namespace tw {

class AGUserScript : public Dispatch {
 public:
  // Appends the name; duplicates are kept.
  void AddUserModule(std::string_view name) { names_.emplace_back(name); }
  // True when the name equals an entry ignoring case.
  bool UserModuleExist(std::string_view name) const;
  const std::vector<std::string>& names() const noexcept { return names_; }

  const ClassInfo* classInfo() const override;

 private:
  std::vector<std::string> names_;
};

}  // namespace tw
