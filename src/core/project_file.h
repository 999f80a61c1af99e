#pragma once
// The project file: one XML file holding the project settings, the
// extensions, the database and every table with its charts and fields. Each
// element carries the settings of one object as attributes named after them;
// which settings appear is decided by their FileSave flag, in registration
// order. AGP::Save writes it and AGP::Load reads it; the pieces both use are
// here.
//
// Layout, one element per line, each line ended by CR LF:
//   <?xml version="1.0" encoding="utf-8" standalone="yes"?>
//   <Project Version="1.0.0.1" ProjName="Shop" ... >
//   <Extension Seq="1" Name="menu" Template="menu.zip" />
//   <Database DBName="shop" ... >
//   <Table TblSeq="1" TblName="orders" ... >
//   <Chart ... />            (the table's charts by ChartSeq)
//   <Field ... />            (the table's fields by FldSeq)
//   </Table>
//   </Database>
//   </Project>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace tw {

class AGP;
class AGProperties;

// "&", "<", ">" and the double quote as entities, in that order. Apostrophes
// stay as they are.
std::string XmlEscape(std::string_view text);

// The first line of a project file (without its line end): the declaration
// naming `charset`, or without an encoding when no charset is known.
std::string XmlDeclaration(std::string_view charset);

// Appends name="value" and one blank for every property of the store whose
// FileSave is true, in registration order. Values are escaped; a Boolean
// setting is written as "1" when it holds something that reads as true and
// as "0" otherwise; FldTagValues has its line breaks written as "|". Other
// line breaks and tabs in values are written as character references, so
// that they survive the reader's attribute normalisation.
void WriteXmlAttributes(std::string& out, const AGProperties& store);

// Text the file cannot carry as it is: bytes that are not UTF-8, characters
// XML does not allow (controls other than tab and line breaks, U+FFFE,
// U+FFFF) and, in FldTagValues, a "|" that is part of a value. Such a
// setting is written escaped: a backslash as two, each such byte as "\xHH";
// the element then ends with the attribute EscapedSettings listing the
// escaped settings by name, separated by blanks. Readers that do not know
// the attribute ignore it, as any attribute that names no setting.
inline constexpr std::string_view kEscapedSettingsAttribute = "EscapedSettings";
std::string EscapeSettingValue(std::string_view text, bool tagValues);
// The value back; in FldTagValues every "|" becomes CR LF.
std::string UnescapeSettingValue(std::string_view text, bool tagValues);

// Compares two dotted versions part by part as 16-bit numbers, at most three
// parts and no more than the shorter has; true when `a` is greater at the
// first part that differs. Raises type mismatch (13) or overflow (6) for a
// part that is not a 16-bit number.
bool VersionIsGreater(std::string_view a, std::string_view b);

// The kind of a DBMS name: 1 for exactly "MS Jet" or "ACCESS"; otherwise,
// ignoring letter case, 2 when it contains "Microsoft" and "SQL", 3 when it
// contains "MySQL", 4 when it contains "ORA", else 5.
int16_t DBKindOf(std::string_view dbmsName);

// Reads the attributes of an element into a store. Each attribute goes to the
// first FileSave property whose Name equals it exactly (others, such as
// Version, are ignored), converted by the property's declared type; "js"
// is read only when it names an existing file, "FldTagValues" gets its "|"
// back as line breaks, an empty "P_Ext" becomes "php" and an empty
// "P_DefaultPage" "index.php".
void ReadXmlAttributes(const pugi::xml_node& element, AGProperties& store);

// Sets each table's TblKey to the sorted, comma-separated names of its
// primary key fields.
void RebuildTableKeys(AGP& proj);

// ---- Text and bytes

// Turns file text into the bytes of the charset its declaration names, piece
// by piece. UTF-8 and an empty charset leave the text as it is. Characters
// the charset cannot hold are written as character references (&#NNNN;); a
// charset this platform does not know gives plain ASCII with references for
// everything else.
class XmlTextEncoder {
 public:
  explicit XmlTextEncoder(std::string_view charset);
  ~XmlTextEncoder();
  XmlTextEncoder(const XmlTextEncoder&) = delete;
  XmlTextEncoder& operator=(const XmlTextEncoder&) = delete;

  // The bytes of the next piece of text, which ends on a character boundary.
  // The result is valid until the next call.
  std::string_view encode(const std::string& text);
  // What ends the output (a stateful charset's return to its initial state).
  std::string_view finish();

 private:
  int kind_;
  char32_t limit_ = 0x7F;
  void* iconv_ = nullptr;
  std::string out_;
};

// The whole text through an XmlTextEncoder.
std::string EncodeXmlText(std::string text, std::string_view charset);

// The encoding a document's declaration names; empty when it names none.
std::string DeclaredEncoding(std::string_view bytes);

// Parses project file bytes: a byte order mark or the declared encoding says
// how to read them (any encoding iconv knows; "iso-8859-1" and its aliases
// are read as Windows-1252, which is what such files hold). The bytes may be
// parsed in place and must outlive the document. False when the bytes cannot
// be decoded or are not well-formed XML.
bool ParseProjectXml(pugi::xml_document& doc, std::string& bytes);

// ---- Synchronisation check

// When a loaded project has AutoSync set, Load hands it to this check before
// the table keys are rebuilt. The synchronisation library installs it; until
// it does, Load checks nothing against the live database.
using LoadSyncCheck = void (*)(AGP& proj);
void setLoadSyncCheck(LoadSyncCheck check);
LoadSyncCheck loadSyncCheck();

}  // namespace tw
