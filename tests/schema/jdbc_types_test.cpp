// Column types read through JDBC drivers, the driver JAR settings and the
// URLs made for a connection: no Java runtime is needed for these.
#include <gtest/gtest.h>

#include "schema/ado_types.h"
#include "schema/jdbc.h"
#include "schema/jdbc_types.h"

namespace tw {
namespace {

struct TypeCase {
  const char* what;
  int32_t sqlType;
  int32_t size, scale;
  int16_t ado;
  int32_t adoSize;
  bool isLong, isFixed;
};

TEST(JdbcTypesTest, JavaTypeCodesMapToAdoCodes) {
  const TypeCase cases[] = {
      {"BIT(1)", -7, 1, 0, ado::kBoolean, 2, false, true},
      {"BIT(12)", -7, 12, 0, ado::kBinary, 2, false, true},
      {"BOOLEAN", 16, 1, 0, ado::kBoolean, 2, false, true},
      {"TINYINT", -6, 3, 0, ado::kTinyInt, 1, false, true},
      {"SMALLINT", 5, 5, 0, ado::kSmallInt, 2, false, true},
      {"INTEGER", 4, 10, 0, ado::kInteger, 4, false, true},
      {"BIGINT", -5, 19, 0, ado::kBigInt, 8, false, true},
      {"REAL", 7, 7, 0, ado::kSingle, 4, false, true},
      {"FLOAT", 6, 15, 0, ado::kDouble, 8, false, true},
      {"DOUBLE", 8, 15, 0, ado::kDouble, 8, false, true},
      {"NUMERIC(12,2)", 2, 12, 2, ado::kNumeric, 12, false, true},
      {"DECIMAL(8,0)", 3, 8, 0, ado::kNumeric, 8, false, true},
      {"CHAR(3)", 1, 3, 0, ado::kChar, 3, false, true},
      {"NCHAR(3)", -15, 3, 0, ado::kWChar, 3, false, true},
      {"VARCHAR(40)", 12, 40, 0, ado::kVarChar, 40, false, false},
      {"NVARCHAR(40)", -9, 40, 0, ado::kVarWChar, 40, false, false},
      {"LONGVARCHAR", -1, 65535, 0, ado::kLongVarChar, 65535, true, false},
      {"CLOB without a size", 2005, 0, 0, ado::kLongVarChar, ado::kUnlimitedSize, true, false},
      {"SQLXML", 2009, 0, 0, ado::kLongVarChar, ado::kUnlimitedSize, true, false},
      {"LONGNVARCHAR", -16, 0, 0, ado::kLongVarWChar, ado::kUnlimitedSize, true, false},
      {"NCLOB", 2011, 0, 0, ado::kLongVarWChar, ado::kUnlimitedSize, true, false},
      {"DATE", 91, 10, 0, ado::kDBDate, 6, false, true},
      {"TIME", 92, 8, 0, ado::kDBTime, 6, false, true},
      {"TIME WITH TIME ZONE", 2013, 8, 0, ado::kDBTime, 6, false, true},
      {"TIMESTAMP", 93, 19, 0, ado::kDBTimeStamp, 16, false, true},
      {"TIMESTAMP WITH TIME ZONE", 2014, 19, 0, ado::kDBTimeStamp, 16, false, true},
      {"BINARY(16)", -2, 16, 0, ado::kBinary, 16, false, true},
      {"VARBINARY(64)", -3, 64, 0, ado::kVarBinary, 64, false, false},
      {"LONGVARBINARY", -4, 0, 0, ado::kLongVarBinary, ado::kUnlimitedSize, true, false},
      {"BLOB", 2004, 0, 0, ado::kLongVarBinary, ado::kUnlimitedSize, true, false},
      {"ROWID", -8, 0, 0, ado::kVarChar, 18, false, false},
      {"OTHER", 1111, 0, 0, ado::kVariant, 0, false, false},
      {"ARRAY", 2003, 0, 0, ado::kVariant, 0, false, false},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.what);
    ado::JdbcType t = ado::jdbcType(c.sqlType, c.size, c.scale);
    EXPECT_EQ(t.ado, c.ado);
    EXPECT_EQ(t.size, c.adoSize);
    EXPECT_EQ(t.isLong, c.isLong);
    EXPECT_EQ(t.isFixedLength, c.isFixed);
  }
}

struct OracleCase {
  const char* typeName;
  int32_t sqlType, size, scale;
  int16_t ado;
  int32_t adoSize;
};

TEST(JdbcTypesTest, OracleTypesMapByNamePrecisionAndScale) {
  const OracleCase cases[] = {
      {"NUMBER", 3, 1, 0, ado::kSmallInt, 2},       {"NUMBER", 3, 4, 0, ado::kSmallInt, 2},
      {"NUMBER", 3, 5, 0, ado::kInteger, 4},        {"NUMBER", 3, 9, 0, ado::kInteger, 4},
      {"NUMBER", 3, 10, 0, ado::kBigInt, 8},        {"NUMBER", 3, 18, 0, ado::kBigInt, 8},
      {"NUMBER", 3, 19, 0, ado::kNumeric, 19},      {"NUMBER", 3, 10, 2, ado::kNumeric, 10},
      {"NUMBER", 3, 0, -127, ado::kNumeric, 38},    {"NUMBER", 3, 126, -127, ado::kDouble, 8},
      {"FLOAT", 6, 63, -127, ado::kDouble, 8},      {"BINARY_FLOAT", 100, 0, 0, ado::kSingle, 4},
      {"BINARY_DOUBLE", 101, 0, 0, ado::kDouble, 8}, {"VARCHAR2", 12, 80, 0, ado::kVarChar, 80},
      {"NVARCHAR2", -9, 40, 0, ado::kVarWChar, 40}, {"CHAR", 1, 2, 0, ado::kChar, 2},
      {"NCHAR", -15, 2, 0, ado::kWChar, 2},         {"CLOB", 2005, 4000, 0, ado::kLongVarChar, ado::kUnlimitedSize},
      {"NCLOB", 2011, 0, 0, ado::kLongVarWChar, ado::kUnlimitedSize},
      {"LONG", -1, 0, 0, ado::kLongVarChar, ado::kUnlimitedSize},
      {"DATE", 93, 7, 0, ado::kDBTimeStamp, 16},    {"TIMESTAMP(6)", 93, 11, 6, ado::kDBTimeStamp, 16},
      {"TIMESTAMP(6) WITH TIME ZONE", -101, 13, 6, ado::kDBTimeStamp, 16},
      {"TIMESTAMP(3) WITH LOCAL TIME ZONE", -102, 11, 3, ado::kDBTimeStamp, 16},
      {"INTERVAL DAY(2) TO SECOND(6)", -104, 0, 0, ado::kVarChar, 30},
      {"RAW", -3, 16, 0, ado::kVarBinary, 16},      {"LONG RAW", -4, 0, 0, ado::kLongVarBinary, ado::kUnlimitedSize},
      {"BLOB", 2004, 4000, 0, ado::kLongVarBinary, ado::kUnlimitedSize},
      {"ROWID", -8, 0, 0, ado::kVarChar, 18},       {"BFILE", -13, 0, 0, ado::kVariant, 0},
      {"XMLTYPE", 2009, 0, 0, ado::kLongVarChar, ado::kUnlimitedSize},
      // A name the table does not know goes by its code.
      {"SDO_GEOMETRY", 2002, 0, 0, ado::kVariant, 0},
      {"varchar2", 12, 10, 0, ado::kVarChar, 10},
  };
  for (const OracleCase& c : cases) {
    SCOPED_TRACE(std::string(c.typeName) + " size " + std::to_string(c.size) + " scale " + std::to_string(c.scale));
    ado::JdbcType t = ado::oracleType(c.typeName, c.sqlType, c.size, c.scale);
    EXPECT_EQ(t.ado, c.ado);
    EXPECT_EQ(t.size, c.adoSize);
  }
}

TEST(JdbcTypesTest, ConnectionUrlsAndDriverSettings) {
  struct UrlCase {
    const char* type;
    const char* host;
    int32_t port;
    const char* database;
    const char* sid;
    const char* url;
    const char* expected;
  };
  const UrlCase cases[] = {
      {"mysql", "db.local", 0, "shop", "", "", "jdbc:mysql://db.local:3306/shop"},
      {"mysql", "", 3307, "shop", "", "", "jdbc:mysql://localhost:3307/shop"},
      {"mysql", "::1", 3306, "shop", "", "", "jdbc:mysql://[::1]:3306/shop"},
      {"postgresql", "pg", 0, "app", "", "", "jdbc:postgresql://pg:5432/app"},
      {"sqlite", "", 0, "/data/app.db", "", "", "jdbc:sqlite:/data/app.db"},
      {"oracle", "ora", 0, "ORCLPDB1", "", "", "jdbc:oracle:thin:@//ora:1521/ORCLPDB1"},
      {"oracle", "ora", 1522, "ORCLPDB1", "ORCL", "", "jdbc:oracle:thin:@ora:1522:ORCL"},
      // A JDBC URL of the database's own is used as it is.
      {"oracle", "ora", 0, "X", "ORCL", "jdbc:oracle:thin:@(DESCRIPTION=(ADDRESS=(HOST=h)))",
       "jdbc:oracle:thin:@(DESCRIPTION=(ADDRESS=(HOST=h)))"},
      {"mysql", "h", 0, "shop", "", "mysql://u@h/shop", "jdbc:mysql://h:3306/shop"},
  };
  for (const UrlCase& c : cases) {
    BridgeConnectParams p;
    p.dbType = c.type;
    p.host = c.host;
    p.port = c.port;
    p.database = c.database;
    p.oracleSid = c.sid;
    p.url = c.url;
    EXPECT_EQ(jdbcUrl(p), c.expected) << c.type << " " << c.host;
  }
  EXPECT_EQ(jdbcDriverSetting("mysql"), "MySQLJDBCDriver");
  EXPECT_EQ(jdbcDriverSetting("oracle"), "OracleJDBCDriver");
  EXPECT_EQ(jdbcDriverSetting("sqlite"), "SQLiteJDBCDriver");
  EXPECT_EQ(jdbcDriverSetting("postgresql"), "PostgreSQLJDBCDriver");
  EXPECT_EQ(jdbcDriverSetting("access"), "");
  EXPECT_EQ(jarList(" /a/ojdbc11.jar : /a/orai18n.jar;/b/x.jar::"),
            (std::vector<std::string>{"/a/ojdbc11.jar", "/a/orai18n.jar", "/b/x.jar"}));
  EXPECT_TRUE(jarList("  ").empty());
}

}  // namespace
}  // namespace tw
