#include "script/filter.h"

#include <utility>

#include "automation/text.h"
#include "support/engine_context.h"
#include "support/registry.h"

namespace tw {

namespace {

// The Order value as a 32-bit number; 0 when it is missing, not a number or
// too large.
int32_t orderOf(const Variant& value) {
  if (value.isEmpty()) return 0;
  try {
    if (value.isString()) {
      double number = 0;
      if (!parseNumber(value.rawString(), number)) return 0;
    }
    return value.toLong();
  } catch (const Error&) {
    return 0;
  }
}

}  // namespace

void AGPFilter::Load() {
  groups_.clear();
  options_.clear();
  // A registry object of our own, so a Default another caller set on the
  // shared one does not stand in for missing values.
  Ref<cRegistry> reg = makeRef<cRegistry>();
  reg->setClassKey(kRootCurrentUser);
  const std::string base = engine().regAdvancedFilters;
  reg->setSectionKey(base);
  if (reg->enumerateSections(groups_) == 0) return;

  for (const std::string& group : groups_) {
    const std::string groupKey = base + "\\" + group;
    reg->setSectionKey(groupKey);
    std::vector<std::string> names;
    if (reg->enumerateSections(names) == 0) continue;
    const size_t first = options_.size();
    for (const std::string& name : names) {
      Option option;
      option.group = group;
      option.name = name;
      reg->setSectionKey(groupKey + "\\" + name);
      reg->setValueKey("EvalString");
      Variant expression = reg->value();
      option.expression = expression.isEmpty() ? std::string() : expression.toString();
      reg->setValueKey("Order");
      option.order = orderOf(reg->value());
      options_.push_back(std::move(option));
    }
    // Exchange sort by Order: each position takes the smallest of those
    // after it, swapping whenever a later one is smaller.
    const size_t n = options_.size() - first;
    for (size_t a = 0; a + 1 < n; ++a) {
      for (size_t b = a + 1; b < n; ++b) {
        Option& x = options_[first + a];
        Option& y = options_[first + b];
        if (x.order > y.order) {
          std::swap(x.name, y.name);
          std::swap(x.expression, y.expression);
          std::swap(x.order, y.order);
        }
      }
    }
    for (size_t i = 0; i < n; ++i) options_[first + i].order = static_cast<int32_t>(i + 1);
  }
}

std::string AGPFilter::GroupName(int32_t order) const {
  if (order < 1 || order > GroupCount()) return {};
  return groups_[order - 1];
}

int32_t AGPFilter::OptionCount(std::string_view group) const {
  int32_t count = 0;
  for (const Option& option : options_)
    if (equalsNoCase(option.group, group)) ++count;
  return count;
}

const AGPFilter::Option* AGPFilter::find(std::string_view group, int32_t order) const {
  for (const Option& option : options_)
    if (option.order == order && equalsNoCase(option.group, group)) return &option;
  return nullptr;
}

std::string AGPFilter::OptionName(std::string_view group, int32_t order) const {
  const Option* option = find(group, order);
  return option ? option->name : std::string();
}

std::string AGPFilter::Expression(std::string_view group, int32_t order) const {
  const Option* option = find(group, order);
  return option ? option->expression : std::string();
}

const ClassInfo* AGPFilter::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPFilter>("AGPFilter")
          .method("Load", [](AGPFilter& f) { f.Load(); })
          .get("GroupCount", [](AGPFilter& f) { return f.GroupCount(); })
          .method("GroupName", [](AGPFilter& f, const Variant& order) { return f.GroupName(order.toLong()); })
          .method("OptionCount",
                  [](AGPFilter& f, const Variant& group) { return f.OptionCount(group.toString()); })
          .method("OptionName",
                  [](AGPFilter& f, const Variant& group, const Variant& order) {
                    return f.OptionName(group.toString(), order.toLong());
                  })
          .method("Expression",
                  [](AGPFilter& f, const Variant& group, const Variant& order) {
                    return f.Expression(group.toString(), order.toLong());
                  })
          .build();
  return &info;
}

}  // namespace tw
