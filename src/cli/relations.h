#pragma once
// The schema step of `tarnwick new` and `tarnwick sync`: what the database
// declares becomes the settings a user would otherwise write by hand.
//
// After the engine has given every table and field its defaults, this step
// changes a setting only while it still holds the value those defaults gave
// (or is empty), so nothing a user has set is ever replaced:
//
// - a column with a one-column foreign key to a loaded table of the project
//   becomes a lookup: FldHtmlTag SELECT, FldTagLnkTbl, FldTagLnkFld and
//   FldTagLnkDisplay, the referenced table's most descriptive column (see
//   displayColumn); its caption drops a trailing "ID" ("customer_id" reads
//   "Customer");
// - a table with foreign keys to loaded tables becomes their detail:
//   TblMasterTbl lists the referenced tables (a table referenced twice is
//   listed twice), TblMasterFld and TblDetailFld the key columns of each
//   link, joined by "+" for a key of several columns;
// - a CHECK (column IN (...)) list becomes the column's choices (FldTagValues
//   with RADIO, SELECT for more than five values, or a CHECKBOX for Y and N
//   alone), as does a long enumeration (SELECT); choices leave the quick
//   search; a set column becomes a group of checkboxes (FldSelectMultiple);
// - a Boolean column becomes a CHECKBOX;
// - date, time and date-time columns get the browser's date and time inputs
//   (FldPopCalendar);
// - captions of snake_case and camelCase names read as words in title case
//   ("unit_price" becomes "Unit Price", "id" becomes "ID").
#include <set>
#include <string>
#include <utility>

#include "core/agp.h"
#include "model/table.h"

namespace tw::cli {

// What the step may change: every loaded table and field, or only the
// tables and fields a synchronisation added.
struct RelationScope {
  bool everything = true;
  std::set<std::string> tables;                             // added tables (all their fields)
  std::set<std::pair<std::string, std::string>> fields;     // added fields of other tables
};

struct RelationCounts {
  int lookups = 0;
  int links = 0;
  int choices = 0;
  int checkboxes = 0;
  int dateInputs = 0;
  int captions = 0;
};

RelationCounts applyRelations(AGP& proj, const RelationScope& scope);
// One line on stdout naming what the step set, when it set anything.
void reportRelations(const RelationCounts& counts);

// The column a lookup into `table` shows: the first of its text columns
// (other than the key) that is unique or required and is named like name,
// title, label, description or code, the words tried in this order; else its
// first short text column, else its first long text column; else the key.
std::string displayColumn(AGPTable& table, const std::string& key);

// "unit_price" -> "Unit Price", "customerID" -> "Customer ID".
std::string titleCaption(std::string_view name);

}  // namespace tw::cli
