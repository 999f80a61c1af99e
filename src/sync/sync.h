#pragma once
// Synchronisation: finding out how the live database changed since the
// project was built, and bringing the project in line with it while keeping
// the user's settings wherever an object still exists.
//
// The check (CheckDB and the comparisons it runs) reads the schema through
// AGPSchema and counts differences; it changes nothing but the
// TblCustomError of custom views and reports that fail. Applying
// (SynchronizeDB, SyncCustom, SyncReport) pairs renamed tables, views and
// fields with the user's help, updates columns in place, adds what is new,
// removes what vanished, re-runs custom views and lets reports follow their
// source tables.
//
// Questions go through the engine's prompt handler: the keep/update question
// (id kSyncPromptId), the primary key question (id kSyncKeyPromptId), both
// with the buttons "Update" and "Keep", and the pairing of renamed objects
// (PromptHandler::pairNames). A SyncAnswers handler (sync_answers.h) answers
// them from what the caller decided in advance.
//
// Counts are 16-bit: a count or sum beyond 32767 raises overflow (6).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/variant.h"

namespace tw {

class AGP;
class AGPField;
class AGPSchema;
class AGPTable;
struct AGSchemaField;
struct AGSchemaTable;

inline constexpr std::string_view kSyncPromptId = "sync";
inline constexpr std::string_view kSyncKeyPromptId = "sync-key";

// Publishes CheckDB, SynchronizeDB, SyncCustom and SyncReport as members of
// AGP, and installs the check that Load runs for a project with AutoSync
// set. Called at start-up by the command-line tool and the tests; calling it
// again has no effect.
void installSyncMembers();

// ---- Entry points

// -1 when the schema could not be read (ProjErr holds the reason), else the
// number of differences found by CheckTables, CheckCustomViews and
// CheckReports; 0 when the project matches the database.
int16_t CheckDB(AGP& proj);
// Reads the schema and, when that worked, runs MapRenamedObjects,
// UpdateTablesAndViews, SyncCustomViews, SyncReports and RebuildTableKeys.
// A schema that cannot be read changes nothing; ProjErr holds the reason.
void SynchronizeDB(AGP& proj);
// Re-runs one custom view's query and updates its fields; a query that fails
// leaves the fields as they are and its message in TblCustomError.
void SyncCustom(AGP& proj, std::string_view sTable);
// Lets one report follow its source table.
void SyncReport(AGP& proj, std::string_view sTable);

// What Load runs for a project with AutoSync set, before the table keys are
// rebuilt: the schema read with the file's connection settings, the three
// comparisons, and on differences the keep/update question; Update runs the
// four synchronisation steps. A schema that cannot be read is reported in a
// warning message box (unless the reason is "JDBC ERROR") and the project
// stays as read from the file.
void SyncCheckOnLoad(AGP& proj);

// ---- The check; the counting steps expect a schema that has read the
// current database.

int16_t CheckTables(AGP& proj, const AGPSchema& schema);
int16_t CheckCustomViews(AGP& proj);
int16_t CompareCustomView(AGP& proj, std::string_view name);
int16_t CheckReports(AGP& proj);
int16_t CompareReport(AGP& proj, std::string_view name);

// True when a schema column and a project field agree in native type, size,
// unique index, auto-increment and attributes, and (for enumeration and set
// columns, unless skipValues) in their value lists: `valueList` when not
// empty, else the column's own, against the field's.
bool CompareField(const AGSchemaField& column, const AGPField& field, bool skipValues,
                  std::string_view valueList);
// The same between two project fields (a report's and its source's).
bool CompareFields(const AGPField& a, const AGPField& b);
// Value lists (one "value,label" line per value, CR LF between) are the same
// when equal, or when they have as many lines and each line's value (the
// text before its first comma) matches.
bool SameValueList(std::string_view a, std::string_view b);
// FldTagValues of a field of a loaded project table; empty when the table is
// missing or not loaded, or has no such field.
std::string SourceValueList(AGP& proj, std::string_view sourceTable, std::string_view sourceField);

// ---- Applying

// Pairs tables, views and fields that got other names in the database with
// their old project objects, and renames those so that they keep their
// settings.
void MapRenamedObjects(AGP& proj, const AGPSchema& schema);
// For each new name, the old name the user paired with it, or the new name
// itself when none. `table` names the table whose fields are paired, empty
// when tables or views are.
std::vector<std::string> AskMapping(std::string_view title, std::string_view message,
                                    std::string_view newLabel, std::string_view oldLabel,
                                    const std::vector<std::string>& newNames,
                                    const std::vector<std::string>& oldNames, std::string_view table = {});
void UpdateTablesAndViews(AGP& proj, const AGPSchema& schema);
void SyncCustomViews(AGP& proj);
void SyncReports(AGP& proj);

enum class SyncAs { Existing, New };

void ApplySchemaTable(AGPTable& table, const AGSchemaTable& source, SyncAs as);
void ApplyColumn(AGP& proj, const AGSchemaField& column, AGPField& field, SyncAs as);
void ApplySourceTable(AGPTable& report, const AGPTable& source, SyncAs as);
void ApplySourceField(AGP& proj, AGPField& reportField, const AGPField& source, SyncAs as);

// The fresh value list with the labels of the old list kept for the values
// that still exist; every line ends with CR LF.
std::string MergeValueList(std::string_view fresh, std::string_view old);
// Sets FldIsPrimaryKey on exactly the fields named in TblKey (items unquoted
// with UnquoteIdentifier, blanks kept).
void MarkKeyFields(AGPTable& table);
// "a""b" in double quotes gives a"b; then [name] gives name.
std::string UnquoteIdentifier(std::string_view text);

}  // namespace tw
