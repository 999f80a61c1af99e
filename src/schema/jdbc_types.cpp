#include "schema/jdbc_types.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "automation/text.h"
#include "schema/ado_types.h"
#include "schema/bridge.h"

namespace tw::ado {

namespace {

// java.sql.Types codes.
enum SqlType : int32_t {
  kBit = -7,
  kTinyIntJ = -6,
  kSmallIntJ = 5,
  kIntegerJ = 4,
  kBigIntJ = -5,
  kFloatJ = 6,
  kRealJ = 7,
  kDoubleJ = 8,
  kNumericJ = 2,
  kDecimalJ = 3,
  kCharJ = 1,
  kVarCharJ = 12,
  kLongVarCharJ = -1,
  kDateJ = 91,
  kTimeJ = 92,
  kTimestampJ = 93,
  kBinaryJ = -2,
  kVarBinaryJ = -3,
  kLongVarBinaryJ = -4,
  kBlobJ = 2004,
  kClobJ = 2005,
  kBooleanJ = 16,
  kRowIdJ = -8,
  kNCharJ = -15,
  kNVarCharJ = -9,
  kLongNVarCharJ = -16,
  kNClobJ = 2011,
  kSqlXmlJ = 2009,
  kTimeTzJ = 2013,
  kTimestampTzJ = 2014,
};

int32_t nonNegative(int32_t v) { return v < 0 ? 0 : v; }

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace

JdbcType jdbcType(int32_t sqlType, int32_t columnSize, int32_t decimalDigits) noexcept {
  (void)decimalDigits;
  const int32_t size = nonNegative(columnSize);
  switch (sqlType) {
    case kBit:
      if (size <= 1) return {kBoolean, 2, false, true};
      return {kBinary, (size + 7) / 8, false, true};
    case kBooleanJ:
      return {kBoolean, 2, false, true};
    case kTinyIntJ:
      return {kTinyInt, 1, false, true};
    case kSmallIntJ:
      return {kSmallInt, 2, false, true};
    case kIntegerJ:
      return {kInteger, 4, false, true};
    case kBigIntJ:
      return {kBigInt, 8, false, true};
    case kRealJ:
      return {kSingle, 4, false, true};
    case kFloatJ:
    case kDoubleJ:
      return {kDouble, 8, false, true};
    case kNumericJ:
    case kDecimalJ:
      return {kNumeric, size, false, true};
    case kCharJ:
      return {kChar, size, false, true};
    case kNCharJ:
      return {kWChar, size, false, true};
    case kVarCharJ:
      return {kVarChar, size, false, false};
    case kNVarCharJ:
      return {kVarWChar, size, false, false};
    case kLongVarCharJ:
    case kClobJ:
    case kSqlXmlJ:
      return {kLongVarChar, size > 0 ? size : kUnlimitedSize, true, false};
    case kLongNVarCharJ:
    case kNClobJ:
      return {kLongVarWChar, size > 0 ? size : kUnlimitedSize, true, false};
    case kDateJ:
      return {kDBDate, 6, false, true};
    case kTimeJ:
    case kTimeTzJ:
      return {kDBTime, 6, false, true};
    case kTimestampJ:
    case kTimestampTzJ:
      return {kDBTimeStamp, 16, false, true};
    case kBinaryJ:
      return {kBinary, size, false, true};
    case kVarBinaryJ:
      return {kVarBinary, size, false, false};
    case kLongVarBinaryJ:
    case kBlobJ:
      return {kLongVarBinary, size > 0 ? size : kUnlimitedSize, true, false};
    case kRowIdJ:
      return {kVarChar, size > 0 ? size : 18, false, false};
    default:
      return {kVariant, size, false, false};
  }
}

JdbcType oracleType(std::string_view typeName, int32_t sqlType, int32_t columnSize,
                    int32_t decimalDigits) noexcept {
  const std::string name = toUpper(trimBlanks(typeName));
  const int32_t size = nonNegative(columnSize);
  if (name == "NUMBER" || name == "DECIMAL" || name == "INTEGER" || name == "FLOAT") {
    // FLOAT(b), and NUMBER as Oracle's driver reports a FLOAT column: a
    // binary precision with the scale -127.
    if (name == "FLOAT" || (decimalDigits == -127 && size > 0)) return {kDouble, 8, false, true};
    if (size == 0) return {kNumeric, 38, false, true};  // NUMBER without precision
    if (decimalDigits > 0) return {kNumeric, size, false, true};
    if (size <= 4) return {kSmallInt, 2, false, true};
    if (size <= 9) return {kInteger, 4, false, true};
    if (size <= 18) return {kBigInt, 8, false, true};
    return {kNumeric, size, false, true};
  }
  if (name == "BINARY_FLOAT") return {kSingle, 4, false, true};
  if (name == "BINARY_DOUBLE") return {kDouble, 8, false, true};
  if (name == "VARCHAR2" || name == "VARCHAR") return {kVarChar, size, false, false};
  if (name == "NVARCHAR2") return {kVarWChar, size, false, false};
  if (name == "CHAR") return {kChar, size, false, true};
  if (name == "NCHAR") return {kWChar, size, false, true};
  if (name == "CLOB" || name == "LONG") return {kLongVarChar, kUnlimitedSize, true, false};
  if (name == "NCLOB") return {kLongVarWChar, kUnlimitedSize, true, false};
  if (name == "XMLTYPE" || name == "SYS.XMLTYPE") return {kLongVarChar, kUnlimitedSize, true, false};
  if (name == "DATE" || startsWith(name, "TIMESTAMP")) return {kDBTimeStamp, 16, false, true};
  if (startsWith(name, "INTERVAL")) return {kVarChar, size > 0 ? size : 30, false, false};
  if (name == "ROWID" || name == "UROWID") return {kVarChar, size > 0 ? size : 18, false, false};
  if (name == "RAW") return {kVarBinary, size, false, false};
  if (name == "LONG RAW" || name == "BLOB") return {kLongVarBinary, kUnlimitedSize, true, false};
  if (name == "BFILE") return {kVariant, 0, false, false};
  return jdbcType(sqlType, columnSize, decimalDigits);
}

}  // namespace tw::ado

namespace tw {

namespace {

int32_t clampSize(int64_t v) {
  if (v < 0) return 0;
  return v > ado::kUnlimitedSize ? ado::kUnlimitedSize : static_cast<int32_t>(v);
}

}  // namespace

// MySQL's own type names as Connector/J reports them ("INT UNSIGNED",
// "VARCHAR", "TINYINT"), typed by the table the native route uses.
bool typeMySqlColumn(BridgeColumn& c, std::string_view typeName, int32_t sqlType, int32_t columnSize) {
  std::string name = toLower(trimBlanks(typeName));
  bool isUnsigned = false;
  for (std::string_view suffix : {" unsigned zerofill", " unsigned"}) {
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      name.erase(name.size() - suffix.size());
      isUnsigned = true;
      break;
    }
  }
  if (size_t paren = name.find('('); paren != std::string::npos) name.erase(paren);
  const ado::MariaDbType* t = ado::mariaDbTypeByName(name);
  if (!t) return false;
  c.dataTypeName = name;
  c.nativeType = t->protocolType;
  c.adoType = isUnsigned ? t->adoUnsigned : t->ado;
  switch (t->sizeRule) {
    case ado::SizeRule::kFixed:
      c.size = t->fixedSize;
      break;
    case ado::SizeRule::kLength:
    case ado::SizeRule::kPrecision:
      c.size = clampSize(columnSize);
      break;
    case ado::SizeRule::kBits:
      c.size = clampSize((static_cast<int64_t>(columnSize) + 7) / 8);
      if (columnSize == 1) c.adoType = ado::kBoolean;
      break;
  }
  // tinyint(1) is how MySQL declares BOOLEAN; the driver reports it as BIT.
  if (name == "tinyint" && (sqlType == -7 || sqlType == 16)) c.adoType = ado::kBoolean;
  if (t->isFixedLength) c.adoAttributes |= ado::kFldFixed;
  if (t->isLong) c.adoAttributes |= ado::kFldLong;
  return true;
}

// SQLite's storage class of an affinity, the code the native route reports.
int16_t sqliteStorageClass(ado::Affinity a) {
  switch (a) {
    case ado::Affinity::kInteger:
      return 1;
    case ado::Affinity::kReal:
      return 2;
    case ado::Affinity::kText:
      return 3;
    case ado::Affinity::kBlob:
      return 4;
    case ado::Affinity::kNumeric:
      break;
  }
  return 0;
}

// PostgreSQL's built-in types as PgJDBC names them (pg_type.typname; serial
// columns as "serial"), typed by the table the native route uses. Arrays
// are long text. Enumerations and domains, which the driver reports under
// their own names, go by their java.sql.Types code (false).
bool typePostgresColumn(BridgeColumn& c, std::string_view typeName, int32_t sqlType, int32_t size, int32_t scale) {
  std::string name = toLower(typeName);
  if (name == "serial") name = "int4";
  if (name == "bigserial") name = "int8";
  if (name == "smallserial") name = "int2";
  static constexpr std::string_view kKnown[] = {
      "int2", "int4", "int8", "oid", "float4", "float8", "money", "bool", "date", "time", "timetz",
      "timestamp", "timestamptz", "interval", "uuid", "inet", "cidr", "macaddr", "macaddr8", "bytea",
      "text", "json", "jsonb", "xml", "name", "char", "varchar", "bpchar", "numeric", "bit", "varbit"};
  const bool array = sqlType == 2003 || (!name.empty() && name[0] == '_');
  if (!array && std::find(std::begin(kKnown), std::end(kKnown), name) == std::end(kKnown)) return false;
  int32_t typmod = -1;
  if ((name == "varchar" || name == "bpchar") && size > 0 && size < ado::kUnlimitedSize) typmod = size + 4;
  // PgJDBC reports a numeric without precision as 1000 digits.
  if (name == "numeric" && size > 0 && size < 1000) typmod = ((size << 16) | (scale > 0 ? scale : 0)) + 4;
  if ((name == "bit" || name == "varbit") && size > 0) typmod = size;
  ado::PostgresType t = ado::postgresType(name, array ? 'A' : 'X', typmod);
  c.adoType = t.ado;
  c.size = t.size;
  if (t.isLong) c.adoAttributes |= ado::kFldLong;
  if (t.isFixedLength) c.adoAttributes |= ado::kFldFixed;
  return true;
}

}  // namespace tw
