#pragma once
// Column types read through a JDBC driver, mapped to ADO codes.
//
// Any database: by the java.sql.Types code DatabaseMetaData reports
// (COLUMN_SIZE is the length or precision):
//
//   BIT -7            11 Boolean (size 2) when 1 bit wide, else 128 binary
//                     (size: bytes for the bits)
//   BOOLEAN 16        11 Boolean (size 2)
//   TINYINT -6        16 (size 1)         SMALLINT 5    2 (size 2)
//   INTEGER 4         3 (size 4)          BIGINT -5     20 (size 8)
//   REAL 7            4 (size 4)          FLOAT 6, DOUBLE 8   5 (size 8)
//   NUMERIC 2, DECIMAL 3                  131 (size: precision)
//   CHAR 1            129 fixed           NCHAR -15     130 fixed
//   VARCHAR 12        200                 NVARCHAR -9   202
//   LONGVARCHAR -1, CLOB 2005, SQLXML 2009            201 long
//   LONGNVARCHAR -16, NCLOB 2011                      203 long
//   DATE 91           133 (size 6)
//   TIME 92, TIME_WITH_TIMEZONE 2013                  134 (size 6)
//   TIMESTAMP 93, TIMESTAMP_WITH_TIMEZONE 2014        135 (size 16)
//   BINARY -2         128 fixed           VARBINARY -3  204
//   LONGVARBINARY -4, BLOB 2004                       205 long
//   ROWID -8          200
//   anything else (OTHER, ARRAY, STRUCT, JAVA_OBJECT, ...)  12, which the
//                     generator does not support
//
// Oracle: by the type name, since Oracle's driver reports NUMBER columns of
// every kind as one code:
//
//   NUMBER(p,0)       p 1-4: 2; p 5-9: 3; p 10-18: 20; above: 131 (size p)
//   NUMBER(p,s>0)     131 (size p)
//   NUMBER, FLOAT     NUMBER without precision: 131 (size 38);
//                     FLOAT(b) (scale -127): 5
//   BINARY_FLOAT 4, BINARY_DOUBLE 5
//   VARCHAR2/VARCHAR 200, NVARCHAR2 202, CHAR 129 fixed, NCHAR 130 fixed
//   CLOB, LONG 201 long; NCLOB 203 long
//   DATE 135 (an Oracle date holds the time of day too)
//   TIMESTAMP[(n)] [WITH [LOCAL] TIME ZONE] 135
//   INTERVAL ... 200; ROWID, UROWID 200
//   RAW(n) 204; LONG RAW, BLOB 205 long; BFILE 12
//   XMLTYPE 201 long
//   any other name: by the java.sql.Types code
//
// MySQL/MariaDB and SQLite columns are typed by their type names with the
// rules the native routes use (see ado_types.h), so a project reads the same
// through either route.
#include <cstdint>
#include <string_view>

#include "schema/ado_types.h"

namespace tw::ado {

struct JdbcType {
  int16_t ado;
  int32_t size;
  bool isLong;
  bool isFixedLength;
};

// By the java.sql.Types code, COLUMN_SIZE and DECIMAL_DIGITS.
JdbcType jdbcType(int32_t sqlType, int32_t columnSize, int32_t decimalDigits) noexcept;

// An Oracle column by its type name (as Oracle's driver reports it, for
// example "NUMBER", "VARCHAR2", "TIMESTAMP(6) WITH TIME ZONE").
JdbcType oracleType(std::string_view typeName, int32_t sqlType, int32_t columnSize,
                    int32_t decimalDigits) noexcept;

}  // namespace tw::ado

namespace tw {

struct BridgeColumn;

// MySQL's own type names as Connector/J reports them ("INT UNSIGNED",
// "VARCHAR"), typed by the table the native route uses; false for a name
// the table does not know.
bool typeMySqlColumn(BridgeColumn& c, std::string_view typeName, int32_t sqlType, int32_t columnSize);
// PostgreSQL's built-in types as PgJDBC names them; false for enumerations,
// domains and other types of the database's own.
bool typePostgresColumn(BridgeColumn& c, std::string_view typeName, int32_t sqlType, int32_t size, int32_t scale);
// SQLite's storage class of an affinity (integer 1, real 2, text 3, blob 4,
// numeric 0), the code the native route reports.
int16_t sqliteStorageClass(ado::Affinity a);

}  // namespace tw
