#pragma once
// Column data types in ADO numbering, field attribute bits, and the mapping
// from the database servers' own type names to them. The MariaDB/MySQL
// mapping is one table (ado_types.cpp); SQLite columns are typed by the
// declared-type affinity rules and then mapped to the same codes.
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::ado {

// DataTypeEnum values the engine meets.
enum Type : int16_t {
  kEmpty = 0,
  kSmallInt = 2,
  kInteger = 3,
  kSingle = 4,
  kDouble = 5,
  kCurrency = 6,
  kDate = 7,
  kBSTR = 8,
  kBoolean = 11,
  kVariant = 12,
  kDecimal = 14,
  kTinyInt = 16,
  kUnsignedTinyInt = 17,
  kUnsignedSmallInt = 18,
  kUnsignedInt = 19,
  kBigInt = 20,
  kUnsignedBigInt = 21,
  kGUID = 72,
  kBinary = 128,
  kChar = 129,
  kWChar = 130,
  kNumeric = 131,
  kDBDate = 133,
  kDBTime = 134,
  kDBTimeStamp = 135,
  kVarNumeric = 139,
  kVarChar = 200,
  kLongVarChar = 201,
  kVarWChar = 202,
  kLongVarWChar = 203,
  kVarBinary = 204,
  kLongVarBinary = 205,
};

// The DataTypeEnum name of a type code ("adVarChar" for 200); empty for a
// code that is not one of the above.
std::string_view typeName(int32_t type) noexcept;
// The code followed by its name in parentheses ("200 (adVarChar)"), or the
// code alone when it has no name: how field types are shown to users.
std::string describeType(int32_t type);

// Types whose values go into SQL unquoted.
inline bool isNumericType(int16_t t) {
  switch (t) {
    case 20:
    case 11:
    case 6:
    case 14:
    case 5:
    case 3:
    case 131:
    case 4:
    case 2:
    case 16:
    case 21:
    case 19:
    case 18:
    case 17:
    case 139:
      return true;
    default:
      return false;
  }
}

// Types whose values go into SQL between quotes.
inline bool isQuotedType(int16_t t) {
  switch (t) {
    case 8:
    case 129:
    case 7:
    case 133:
    case 134:
    case 135:
    case 201:
    case 203:
    case 200:
    case 202:
    case 130:
    case 72:
    case 205:
      return true;
    default:
      return false;
  }
}

// FieldAttributeEnum bits.
enum Attribute : int32_t {
  kFldUpdatable = 0x4,
  kFldFixed = 0x10,
  kFldIsNullable = 0x20,
  kFldMayBeNull = 0x40,
  kFldLong = 0x80,
  kFldRowID = 0x100,
  kFldKeyColumn = 0x8000,
};

// The size ADO reports for "no fixed limit" (long text and binary columns).
inline constexpr int32_t kUnlimitedSize = 2147483647;

// How a MariaDB type's column size is found.
enum class SizeRule : uint8_t {
  kFixed,      // the row's fixed size
  kLength,     // the character (or byte) length of the column
  kPrecision,  // the numeric precision (decimal)
  kBits,       // bytes needed for the bit count
};

// One row of the MariaDB/MySQL type table.
struct MariaDbType {
  std::string_view name;  // information_schema DATA_TYPE (lower case)
  int16_t protocolType;   // the client protocol's type code (MYSQL_TYPE_...)
  int16_t ado;            // ADO type of a signed or text column
  int16_t adoUnsigned;    // ADO type of an UNSIGNED column
  int16_t adoBinary;      // ADO type when the column holds bytes (binary charset)
  int32_t fixedSize;      // for SizeRule::kFixed
  SizeRule sizeRule;
  bool isLong;         // text or binary large object: adFldLong
  bool isFixedLength;  // fixed-length values: adFldFixed
};

// The row of a DATA_TYPE name (any letter case); null for unknown types.
const MariaDbType* mariaDbTypeByName(std::string_view name) noexcept;
// The first row with a protocol type code; null for unknown codes.
const MariaDbType* mariaDbTypeByProtocol(int32_t protocolType) noexcept;

// SQLite type affinity of a declared type, by SQLite's own rules in order:
// INT -> integer; CHAR, CLOB or TEXT -> text; BLOB or no type -> blob;
// REAL, FLOA or DOUB -> real; anything else numeric.
enum class Affinity : uint8_t { kInteger, kText, kBlob, kReal, kNumeric };
Affinity sqliteAffinity(std::string_view declaredType) noexcept;

// What a SQLite declared type maps to: the ADO code (refined within the
// affinity by well-known type names: BIGINT, SMALLINT, TINYINT, CHAR,
// VARCHAR, BOOLEAN, DATE, TIME, DATETIME/TIMESTAMP, DECIMAL, GUID/UUID),
// the size (the first number in parentheses, else a size for the type),
// whether the values are long and whether they have a fixed length.
struct SqliteType {
  Affinity affinity;
  int16_t ado;
  int32_t size;
  bool isLong;
  bool isFixedLength;
};
SqliteType sqliteType(std::string_view declaredType) noexcept;

// What a PostgreSQL column type maps to. Types are found by their catalogue
// name (pg_type.typname, after a domain is replaced by its base type); a type
// the table does not name is mapped by its category: arrays, strings and
// every other kind as long text, enumerations as text with a value list,
// numbers as numeric, date-times as time stamps, Booleans as Boolean.
//
//   smallint 2, integer 3, bigint 20, numeric(p,s) 131 (size p), real 4,
//   double precision 5, money 6, boolean 11, char(n) 129, varchar(n) 200
//   (size n), text/json/jsonb/xml/arrays 201 (long), bytea 205 (long),
//   date 133, time/timetz 134, timestamp/timestamptz 135, interval 200,
//   uuid 72, inet/cidr/macaddr 200, bit(n)/varbit(n) 200 (size n).
struct PostgresType {
  int16_t ado;
  int32_t size;
  bool isLong;
  bool isFixedLength;
};
// `typmod` is the column's type modifier (-1 when it has none); `category`
// is pg_type.typcategory.
PostgresType postgresType(std::string_view typname, char category, int32_t typmod) noexcept;

}  // namespace tw::ado
