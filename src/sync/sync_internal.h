#pragma once
// Pieces shared by the check and the apply steps: 16-bit counting, the
// progress window of one step, value list lines, connection values and
// look-ups by name that replace the collections' linear scans.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/error.h"
#include "schema/schema.h"

namespace tw {

class AGP;
class AGPDatabase;
class AGPField;
class AGPTable;
class AGPTables;

namespace sync {

// A 16-bit counter: going beyond -32768..32767 raises overflow.
class Count16 {
 public:
  Count16& add(int32_t n) {
    int32_t sum = value_ + n;
    if (sum > 32767 || sum < -32768) raise(kErrOverflow);
    value_ = static_cast<int16_t>(sum);
    return *this;
  }
  int16_t value() const noexcept { return value_; }

 private:
  int16_t value_ = 0;
};

// The progress window of one step: the caption (display name + suffix),
// the second window style and "Please wait..."; closed when the step ends,
// also by an error.
class StepWindow {
 public:
  StepWindow(AGP& proj, std::string_view captionSuffix);
  ~StepWindow();
  StepWindow(const StepWindow&) = delete;
  StepWindow& operator=(const StepWindow&) = delete;
};

// A value list's lines: one trailing CR LF removed, split at CR LF. An empty
// text has no lines.
std::vector<std::string_view> valueLines(std::string_view text);
// The comma-separated item at `index` of a line (empty when there is none).
std::string_view lineItem(std::string_view line, size_t index);

// The current database's connection settings.
ConnectionValues connectionOf(const AGPDatabase& db);

// True for "TABLE" and "VIEW", the kinds the database itself holds.
inline bool isDatabaseKind(std::string_view type) { return type == "TABLE" || type == "VIEW"; }

// A setting that holds nothing: Empty or the empty text.
bool isBlank(const Variant& value);

// The project's tables of kind TABLE or VIEW by name, each name with its
// tables in enumeration order.
class TableIndex {
 public:
  explicit TableIndex(AGPTables& tables, bool databaseKindsOnly);
  // The first table of that name (and kind, when given).
  AGPTable* find(std::string_view name, std::string_view type = {}) const;
  const std::vector<AGPTable*>* all(std::string_view name) const;
  void add(AGPTable* table);

 private:
  std::unordered_map<std::string, std::vector<AGPTable*>> byName_;
};

// A table's fields by name, each name with its fields in enumeration order.
class FieldIndex {
 public:
  explicit FieldIndex(AGPTable& table);
  AGPField* find(std::string_view name) const;
  const std::vector<AGPField*>* all(std::string_view name) const;
  void add(AGPField* field);

 private:
  std::unordered_map<std::string, std::vector<AGPField*>> byName_;
};

// The first table of the project's database named exactly `name`.
AGPTable* tableNamed(AGP& proj, std::string_view name);

// The names of the project's tables of one kind, in enumeration order.
std::vector<std::string> namesOfKind(AGP& proj, std::string_view type);

// The fields of a table, or none when it has no field collection yet.
int32_t fieldCount(const AGPTable& table);

}  // namespace sync
}  // namespace tw
