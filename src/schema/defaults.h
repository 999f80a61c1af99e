#pragma once
// Defaults of new fields and tables: the data type of a field with its
// literal quotes, the presentation and behaviour defaults that follow from
// it, captions made from names, the page defaults of a table, and tracing a
// custom view's columns back to their sources.
#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

class AGPDatabase;
class AGPField;
class AGPTable;

// Words from a column or table name: "FirstName" and "first_name" give
// "First Name" and "first name", "userID" gives "user ID", "Field1" gives
// "Field 1"; blanks, "-" and "_" separate words.
std::string NameToCaption(std::string_view name);

// FldType, FldSupport and the literal quotes FldQuoteS/FldQuoteE of a code in
// ADO numbering. Binary large objects (205) are quoted but not supported;
// Access databases quote dates with "#".
void SetFieldType(AGPField& field, int16_t type);

// Every default that follows from the field's type, size, name, caption,
// auto-increment and required flags and value list (set those first).
void LoadFldDefault(AGPField& field);

// The page defaults of a table, view, custom view or report.
void LoadTableDefault(AGPTable& table);

// Traces the columns of a custom view's TblCustomSQL into each field's
// FldAlias, FldSourceName, FldSourceTable and FldSourceField. With the
// database, columns of statements that read several tables are placed by the
// fields of its loaded tables. A statement the parser does not understand
// changes nothing.
void ParseCustomSql(AGPTable& table, const AGPDatabase* database = nullptr);

}  // namespace tw
