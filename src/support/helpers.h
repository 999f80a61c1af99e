#pragma once
// Small routines shared across the engine: names, folders, progress
// percentages, date stamps, key lists, quoting, script literals, column type
// groups and the machine's charset.
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/variant.h"

namespace tw {

// The text with every "/" and every blank removed.
std::string KeyName(std::string_view text);

// Shell folder identifiers understood by SpecialFolderPath.
enum SpecialFolder : int32_t {
  kFolderDesktop = 0,
  kFolderDocuments = 5,
  kFolderAppData = 26,
  kFolderLocalAppData = 28,
  kFolderProfile = 40,
};
// The path of a special folder, or "" for an identifier it does not know.
// Documents: TARNWICK_DOCUMENTS, else the XDG documents folder (the
// XDG_DOCUMENTS_DIR variable or user-dirs.dirs), else ~/Documents.
std::string SpecialFolderPath(int32_t ownerWindow, int32_t folderId);

// min(part, total) as a percentage of total (0 counts as 1), halves rounded
// to even. Error 6 when it does not fit 16 bits.
int16_t PercentOf(int32_t part, int32_t total);

// The number's text left-padded with "0" to `width` characters.
std::string PadZero(int64_t number, int32_t width);
std::string PadZero(std::string_view numberText, int32_t width);

// "yyyy/mm/dd hh:nn:ss" of a date (or of text that reads as a date); any
// other value gives its text unchanged.
std::string DateStamp(const Variant& value);

// The comma-separated items, trimmed, sorted ascending and joined with ",".
std::string SortCommaList(std::string_view text);

// The unquoted text wrapped in `count` double quotes, inner quotes doubled;
// with a count of 0 or less the unquoted text alone.
std::string QuoteText(std::string_view text, int32_t count);

// A script expression yielding the text: each CR LF separated line as a
// string literal, joined with &vbCrLf (and &joiner when given).
std::string ToScriptLiteral(std::string_view text, std::string_view joiner = {});

// Column data type (ADO numbering) group: 1 numeric, 2 date and time,
// 3 text, 4 Boolean, 5 GUID, 6 anything else.
int16_t FieldTypeCategory(int32_t adoType);

// Reads the system code page and fills engine().systemCodePage and
// engine().systemCharset.
void SystemCharset();

// The charset name of a code page given as text ("1252" -> "iso-8859-1");
// "" for code pages without one.
std::string codePageCharset(std::string_view codePage);
// The code page of a locale code set name ("UTF-8" -> 65001,
// "ISO-8859-1" -> 28591, "CP1252" -> 1252); 0 when unknown.
int32_t codeSetCodePage(std::string_view codeSet);
// The code set of the system's default locale (nl_langinfo(CODESET)).
std::string systemCodeSet();

}  // namespace tw
