#pragma once
// AGPFilter: the user's advanced filter definitions, which scripts reach as
// FILTERS to generate filter options.
//
// They live in the user's registry below the product key, section
// "AdvancedFilters": each sub-key is a filter group, each sub-key of a group
// an option with the values "EvalString" (the filter expression) and "Order"
// (its place in the group). Options are numbered 1..n within their group in
// the order of their Order values.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"

namespace tw {

class AGPFilter : public Dispatch {
 public:
  struct Option {
    std::string group;
    std::string name;
    std::string expression;
    int32_t order = 0;  // 1..n within the group after loading
  };

  // Rebuilds the groups and options from the registry. A missing or
  // non-numeric Order counts as 0.
  void Load();

  int32_t GroupCount() const noexcept { return static_cast<int32_t>(groups_.size()); }
  // The name of group `order` (1-based); empty outside 1..GroupCount.
  std::string GroupName(int32_t order) const;
  // The number of options of a group (name compared ignoring case).
  int32_t OptionCount(std::string_view group) const;
  // The option of a group at `order`; empty when there is none.
  std::string OptionName(std::string_view group, int32_t order) const;
  std::string Expression(std::string_view group, int32_t order) const;

  int32_t optionTotal() const noexcept { return static_cast<int32_t>(options_.size()); }
  const std::vector<Option>& options() const noexcept { return options_; }

  const ClassInfo* classInfo() const override;

 private:
  const Option* find(std::string_view group, int32_t order) const;

  std::vector<std::string> groups_;
  std::vector<Option> options_;  // grouped by group, in group order
};

}  // namespace tw
