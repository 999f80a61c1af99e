#pragma once
// VBScript.RegExp and the objects its Execute returns: the Matches collection,
// Match and SubMatches. Indexes and lengths count characters.
#include <memory>
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "vbs/lib/regex_engine.h"

namespace tw::vbs::lib {

class SubMatches : public Dispatch {
 public:
  explicit SubMatches(std::vector<Variant> items) : items_(std::move(items)) {}
  const ClassInfo* classInfo() const override;
  Ref<Enumerator> newEnum() override;
  int32_t count() const noexcept { return static_cast<int32_t>(items_.size()); }
  Variant item(const Variant& index) const;

 private:
  std::vector<Variant> items_;  // Empty for a group that took no part
};

class MatchObject : public Dispatch {
 public:
  MatchObject(std::string value, int32_t firstIndex, int32_t length, Ref<SubMatches> subMatches)
      : value_(std::move(value)),
        firstIndex_(firstIndex),
        length_(length),
        subMatches_(std::move(subMatches)) {}
  const ClassInfo* classInfo() const override;
  const std::string& value() const noexcept { return value_; }
  int32_t firstIndex() const noexcept { return firstIndex_; }
  int32_t length() const noexcept { return length_; }
  const Ref<SubMatches>& subMatches() const noexcept { return subMatches_; }

 private:
  std::string value_;
  int32_t firstIndex_;
  int32_t length_;
  Ref<SubMatches> subMatches_;
};

class MatchCollection : public Dispatch {
 public:
  explicit MatchCollection(std::vector<Ref<MatchObject>> items) : items_(std::move(items)) {}
  const ClassInfo* classInfo() const override;
  Ref<Enumerator> newEnum() override;
  int32_t count() const noexcept { return static_cast<int32_t>(items_.size()); }
  Ref<MatchObject> item(const Variant& index) const;

 private:
  std::vector<Ref<MatchObject>> items_;
};

class RegExpObject : public Dispatch {
 public:
  const ClassInfo* classInfo() const override;

  const std::string& pattern() const noexcept { return pattern_; }
  void setPattern(std::string pattern);
  bool global() const noexcept { return global_; }
  void setGlobal(bool v) { global_ = v; }
  bool ignoreCase() const noexcept { return ignoreCase_; }
  void setIgnoreCase(bool v);
  bool multiline() const noexcept { return multiline_; }
  void setMultiline(bool v);

  bool test(std::string_view text);
  Ref<MatchCollection> execute(std::string_view text);
  std::string replace(std::string_view text, std::string_view replacement);

 private:
  const Regex& regex();

  std::string pattern_;
  bool global_ = false;
  bool ignoreCase_ = false;
  bool multiline_ = false;
  std::unique_ptr<Regex> compiled_;  // dropped when the pattern or a flag changes
};

}  // namespace tw::vbs::lib
