#include "schema/ado_types.h"

#include <cctype>
#include <charconv>
#include <string>

#include "automation/text.h"

namespace tw::ado {

namespace {

using enum SizeRule;

// Every MariaDB/MySQL column type the bridge reports. Rows without a name are
// only reached by protocol code (types a result column may have but a table
// column never shows in the catalogue). For the protocol look-up the first
// row of a code is the one used, so text rows come before binary ones; a
// binary result column then takes the row's adoBinary.
constexpr MariaDbType kMariaDbTypes[] = {
    // name            proto  ado              unsigned           binary           size  rule        long
    // fixed
    {"tinyint", 1, kTinyInt, kUnsignedTinyInt, kTinyInt, 1, kFixed, false, true},
    {"smallint", 2, kSmallInt, kUnsignedSmallInt, kSmallInt, 2, kFixed, false, true},
    {"mediumint", 9, kInteger, kUnsignedInt, kInteger, 4, kFixed, false, true},
    {"int", 3, kInteger, kUnsignedInt, kInteger, 4, kFixed, false, true},
    {"bigint", 8, kBigInt, kUnsignedBigInt, kBigInt, 8, kFixed, false, true},
    {"decimal", 246, kNumeric, kNumeric, kNumeric, 0, kPrecision, false, true},
    {"", 0, kNumeric, kNumeric, kNumeric, 0, kPrecision, false, true},
    {"float", 4, kSingle, kSingle, kSingle, 4, kFixed, false, true},
    {"double", 5, kDouble, kDouble, kDouble, 8, kFixed, false, true},
    // bit(1) is reported as Boolean (see the MariaDB reader).
    {"bit", 16, kBinary, kBinary, kBinary, 0, kBits, false, true},
    {"date", 10, kDBDate, kDBDate, kDBDate, 6, kFixed, false, true},
    {"", 14, kDBDate, kDBDate, kDBDate, 6, kFixed, false, true},
    {"datetime", 12, kDBTimeStamp, kDBTimeStamp, kDBTimeStamp, 16, kFixed, false, true},
    {"", 18, kDBTimeStamp, kDBTimeStamp, kDBTimeStamp, 16, kFixed, false, true},
    {"timestamp", 7, kDBTimeStamp, kDBTimeStamp, kDBTimeStamp, 16, kFixed, false, true},
    {"", 17, kDBTimeStamp, kDBTimeStamp, kDBTimeStamp, 16, kFixed, false, true},
    {"time", 11, kDBTime, kDBTime, kDBTime, 6, kFixed, false, true},
    {"", 19, kDBTime, kDBTime, kDBTime, 6, kFixed, false, true},
    {"year", 13, kSmallInt, kSmallInt, kSmallInt, 2, kFixed, false, true},
    {"varchar", 253, kVarChar, kVarChar, kVarBinary, 0, kLength, false, false},
    {"", 15, kVarChar, kVarChar, kVarBinary, 0, kLength, false, false},
    {"char", 254, kChar, kChar, kBinary, 0, kLength, false, true},
    {"varbinary", 253, kVarBinary, kVarBinary, kVarBinary, 0, kLength, false, false},
    {"binary", 254, kBinary, kBinary, kBinary, 0, kLength, false, true},
    {"tinytext", 249, kLongVarChar, kLongVarChar, kLongVarBinary, 0, kLength, true, false},
    {"text", 252, kLongVarChar, kLongVarChar, kLongVarBinary, 0, kLength, true, false},
    {"mediumtext", 250, kLongVarChar, kLongVarChar, kLongVarBinary, 0, kLength, true, false},
    {"longtext", 251, kLongVarChar, kLongVarChar, kLongVarBinary, 0, kLength, true, false},
    {"json", 245, kLongVarChar, kLongVarChar, kLongVarChar, 0, kLength, true, false},
    {"tinyblob", 249, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"blob", 252, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"mediumblob", 250, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"longblob", 251, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    // Enumeration and set columns travel as text; loaders give them 202.
    {"enum", 247, kChar, kChar, kChar, 0, kLength, false, false},
    {"set", 248, kChar, kChar, kChar, 0, kLength, false, false},
    {"uuid", 254, kGUID, kGUID, kGUID, 16, kFixed, false, true},
    {"inet4", 254, kVarChar, kVarChar, kVarChar, 15, kFixed, false, false},
    {"inet6", 254, kVarChar, kVarChar, kVarChar, 39, kFixed, false, false},
    {"geometry", 255, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"point", 255, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"linestring", 255, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"polygon", 255, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"multipoint", 255, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"multilinestring", 255, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"multipolygon", 255, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    {"geometrycollection", 255, kLongVarBinary, kLongVarBinary, kLongVarBinary, 0, kLength, true, false},
    // A NULL literal in a query's result list.
    {"", 6, kVarChar, kVarChar, kVarChar, 0, kLength, false, false},
};

bool contains(std::string_view upper, std::string_view part) {
  return upper.find(part) != std::string_view::npos;
}

// The first number in parentheses of a declared type; -1 when there is none.
int32_t declaredLength(std::string_view decl) {
  size_t open = decl.find('(');
  if (open == std::string_view::npos) return -1;
  size_t pos = open + 1;
  while (pos < decl.size() && decl[pos] == ' ') ++pos;
  int64_t value = 0;
  auto [end, ec] = std::from_chars(decl.data() + pos, decl.data() + decl.size(), value);
  if (ec != std::errc() || end == decl.data() + pos) return -1;
  return value > kUnlimitedSize ? kUnlimitedSize : static_cast<int32_t>(value);
}

}  // namespace

const MariaDbType* mariaDbTypeByName(std::string_view name) noexcept {
  if (name.empty()) return nullptr;
  for (const MariaDbType& t : kMariaDbTypes)
    if (!t.name.empty() && equalsNoCase(t.name, name)) return &t;
  return nullptr;
}

const MariaDbType* mariaDbTypeByProtocol(int32_t protocolType) noexcept {
  for (const MariaDbType& t : kMariaDbTypes)
    if (t.protocolType == protocolType) return &t;
  return nullptr;
}

Affinity sqliteAffinity(std::string_view declaredType) noexcept {
  std::string upper;
  upper.reserve(declaredType.size());
  for (char c : declaredType) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (contains(upper, "INT")) return Affinity::kInteger;
  if (contains(upper, "CHAR") || contains(upper, "CLOB") || contains(upper, "TEXT")) return Affinity::kText;
  if (contains(upper, "BLOB") || trimBlanks(upper).empty()) return Affinity::kBlob;
  if (contains(upper, "REAL") || contains(upper, "FLOA") || contains(upper, "DOUB")) return Affinity::kReal;
  return Affinity::kNumeric;
}

SqliteType sqliteType(std::string_view declaredType) noexcept {
  std::string upper;
  upper.reserve(declaredType.size());
  for (char c : declaredType) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  int32_t length = declaredLength(upper);
  auto sized = [&](int32_t fallback) { return length >= 0 ? length : fallback; };
  Affinity a = sqliteAffinity(upper);
  switch (a) {
    case Affinity::kInteger:
      if (contains(upper, "BIGINT") || contains(upper, "INT8")) return {a, kBigInt, 8, false, true};
      if (contains(upper, "SMALLINT") || contains(upper, "INT2")) return {a, kSmallInt, 2, false, true};
      if (contains(upper, "TINYINT")) return {a, kTinyInt, 1, false, true};
      return {a, kInteger, 4, false, true};
    case Affinity::kText:
      if (contains(upper, "VARCHAR") || contains(upper, "VARYING"))
        return {a, kVarChar, sized(kUnlimitedSize), false, false};
      if (contains(upper, "CHAR")) return {a, kChar, sized(kUnlimitedSize), false, true};
      // SQLite's TEXT is its ordinary text type (no length limit); CLOB is a long text
      if (contains(upper, "CLOB")) return {a, kLongVarChar, sized(kUnlimitedSize), true, false};
      return {a, kVarChar, sized(kUnlimitedSize), false, false};
    case Affinity::kBlob:
      return {a, kLongVarBinary, sized(kUnlimitedSize), true, false};
    case Affinity::kReal:
      return {a, kDouble, 8, false, true};
    case Affinity::kNumeric:
      break;
  }
  if (contains(upper, "BOOL")) return {a, kBoolean, 2, false, true};
  if (contains(upper, "DATETIME") || contains(upper, "TIMESTAMP")) return {a, kDBTimeStamp, 16, false, true};
  if (contains(upper, "DATE")) return {a, kDBDate, 6, false, true};
  if (contains(upper, "TIME")) return {a, kDBTime, 6, false, true};
  if (contains(upper, "GUID") || contains(upper, "UUID")) return {a, kGUID, 16, false, true};
  return {a, kNumeric, sized(18), false, true};
}

PostgresType postgresType(std::string_view typname, char category, int32_t typmod) noexcept {
  // varchar(n) and char(n) keep n + 4 in the modifier; numeric(p,s) keeps
  // ((p << 16) | s) + 4; bit(n) keeps n.
  const int32_t length = typmod >= 4 ? typmod - 4 : kUnlimitedSize;
  struct Row {
    std::string_view name;
    PostgresType type;
  };
  static constexpr Row kRows[] = {
      {"int2", {kSmallInt, 2, false, true}},
      {"int4", {kInteger, 4, false, true}},
      {"int8", {kBigInt, 8, false, true}},
      {"oid", {kUnsignedInt, 4, false, true}},
      {"float4", {kSingle, 4, false, true}},
      {"float8", {kDouble, 8, false, true}},
      {"money", {kCurrency, 8, false, true}},
      {"bool", {kBoolean, 1, false, true}},
      {"date", {kDBDate, 6, false, true}},
      {"time", {kDBTime, 6, false, true}},
      {"timetz", {kDBTime, 6, false, true}},
      {"timestamp", {kDBTimeStamp, 16, false, true}},
      {"timestamptz", {kDBTimeStamp, 16, false, true}},
      {"interval", {kVarChar, 64, false, false}},
      {"uuid", {kGUID, 16, false, true}},
      {"inet", {kVarChar, 43, false, false}},
      {"cidr", {kVarChar, 43, false, false}},
      {"macaddr", {kVarChar, 17, false, false}},
      {"macaddr8", {kVarChar, 23, false, false}},
      {"bytea", {kLongVarBinary, kUnlimitedSize, true, false}},
      {"text", {kLongVarChar, kUnlimitedSize, true, false}},
      {"json", {kLongVarChar, kUnlimitedSize, true, false}},
      {"jsonb", {kLongVarChar, kUnlimitedSize, true, false}},
      {"xml", {kLongVarChar, kUnlimitedSize, true, false}},
      {"name", {kVarChar, 63, false, false}},
      {"char", {kChar, 1, false, true}},
  };
  for (const Row& r : kRows)
    if (r.name == typname) return r.type;
  if (typname == "varchar") return {kVarChar, length, false, false};
  if (typname == "bpchar") return {kChar, typmod >= 4 ? length : 1, false, true};
  if (typname == "numeric")
    return {kNumeric, typmod >= 4 ? ((typmod - 4) >> 16) & 0xffff : kUnlimitedSize, false, true};
  if (typname == "bit" || typname == "varbit") return {kVarChar, typmod > 0 ? typmod : kUnlimitedSize, false, false};
  switch (category) {
    case 'E':
      return {kChar, kUnlimitedSize, false, false};
    case 'N':
      return {kNumeric, kUnlimitedSize, false, true};
    case 'D':
      return {kDBTimeStamp, 16, false, true};
    case 'B':
      return {kBoolean, 1, false, true};
    default:
      return {kLongVarChar, kUnlimitedSize, true, false};
  }
}

std::string_view typeName(int32_t type) noexcept {
  switch (type) {
    case kEmpty: return "adEmpty";
    case kSmallInt: return "adSmallInt";
    case kInteger: return "adInteger";
    case kSingle: return "adSingle";
    case kDouble: return "adDouble";
    case kCurrency: return "adCurrency";
    case kDate: return "adDate";
    case kBSTR: return "adBSTR";
    case kBoolean: return "adBoolean";
    case kVariant: return "adVariant";
    case kDecimal: return "adDecimal";
    case kTinyInt: return "adTinyInt";
    case kUnsignedTinyInt: return "adUnsignedTinyInt";
    case kUnsignedSmallInt: return "adUnsignedSmallInt";
    case kUnsignedInt: return "adUnsignedInt";
    case kBigInt: return "adBigInt";
    case kUnsignedBigInt: return "adUnsignedBigInt";
    case kGUID: return "adGUID";
    case kBinary: return "adBinary";
    case kChar: return "adChar";
    case kWChar: return "adWChar";
    case kNumeric: return "adNumeric";
    case kDBDate: return "adDBDate";
    case kDBTime: return "adDBTime";
    case kDBTimeStamp: return "adDBTimeStamp";
    case kVarNumeric: return "adVarNumeric";
    case kVarChar: return "adVarChar";
    case kLongVarChar: return "adLongVarChar";
    case kVarWChar: return "adVarWChar";
    case kLongVarWChar: return "adLongVarWChar";
    case kVarBinary: return "adVarBinary";
    case kLongVarBinary: return "adLongVarBinary";
    default: return {};
  }
}

std::string describeType(int32_t type) {
  std::string text = std::to_string(type);
  std::string_view name = typeName(type);
  if (!name.empty()) text += " (" + std::string(name) + ")";
  return text;
}

}  // namespace tw::ado
