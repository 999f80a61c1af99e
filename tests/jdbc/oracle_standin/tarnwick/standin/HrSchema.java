package tarnwick.standin;

import java.sql.ResultSet;
import java.sql.SQLException;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Pattern;

/** The recorded catalogue of the schema HR, in the row forms DatabaseMetaData gives. */
final class HrSchema {
  private HrSchema() {}

  // Oracle's driver lists objects by type, then name (not by name alone).
  private static final Object[][] TABLES = {
      {"EMP_SYN", "SYNONYM"},
      {"DEPARTMENTS", "TABLE"},
      {"EMPLOYEES", "TABLE"},
      {"JOB_HISTORY", "TABLE"},
      {"EMP_DETAILS_VIEW", "VIEW"},
  };

  // table, column, java.sql.Types, type name, size, scale, nullable, default, identity
  private static final Object[][] COLUMNS = {
      {"DEPARTMENTS", "DEPARTMENT_ID", 3, "NUMBER", 4, 0, 0, "\"HR\".\"DEPT_SEQ\".\"NEXTVAL\"", "NO"},
      {"DEPARTMENTS", "DEPARTMENT_NAME", 12, "VARCHAR2", 30, null, 0, null, "NO"},
      {"DEPARTMENTS", "BUDGET", 3, "NUMBER", 12, 0, 1, null, "NO"},
      {"DEPARTMENTS", "CODE", 3, "NUMBER", 20, 0, 1, null, "NO"},
      {"DEPARTMENTS", "LOCATION", -15, "NCHAR", 2, null, 1, "'UK' ", "NO"},
      {"EMPLOYEES", "EMPLOYEE_ID", 3, "NUMBER", 6, 0, 0, "\"HR\".\"ISEQ$$_73021\".nextval", "YES"},
      {"EMPLOYEES", "FIRST_NAME", 12, "VARCHAR2", 20, null, 1, null, "NO"},
      {"EMPLOYEES", "LAST_NAME", -9, "NVARCHAR2", 25, null, 0, null, "NO"},
      {"EMPLOYEES", "EMAIL", 12, "VARCHAR2", 25, null, 0, null, "NO"},
      {"EMPLOYEES", "SALARY", 3, "NUMBER", 8, 2, 1, null, "NO"},
      {"EMPLOYEES", "COMMISSION", 3, "NUMBER", 0, -127, 1, null, "NO"},
      {"EMPLOYEES", "RATING", 6, "FLOAT", 126, -127, 1, null, "NO"},
      {"EMPLOYEES", "HIRE_DATE", 93, "DATE", 7, null, 0, "SYSDATE", "NO"},
      {"EMPLOYEES", "UPDATED", -101, "TIMESTAMP(6) WITH TIME ZONE", 13, 6, 1, null, "NO"},
      {"EMPLOYEES", "NOTES", 2005, "CLOB", 4000, null, 1, null, "NO"},
      {"EMPLOYEES", "BIO", 2011, "NCLOB", 4000, null, 1, null, "NO"},
      {"EMPLOYEES", "PHOTO", 2004, "BLOB", 4000, null, 1, null, "NO"},
      {"EMPLOYEES", "BADGE", -3, "RAW", 16, null, 1, null, "NO"},
      {"EMPLOYEES", "GRADE", 1, "CHAR", 1, null, 1, "'A'", "NO"},
      {"EMPLOYEES", "DEPARTMENT_ID", 3, "NUMBER", 4, 0, 1, null, "NO"},
      {"JOB_HISTORY", "EMPLOYEE_ID", 3, "NUMBER", 6, 0, 0, null, "NO"},
      {"JOB_HISTORY", "START_DATE", 93, "DATE", 7, null, 0, null, "NO"},
      {"JOB_HISTORY", "END_DATE", 93, "TIMESTAMP(6)", 11, 6, 0, null, "NO"},
      {"JOB_HISTORY", "JOB_ID", 12, "VARCHAR2", 10, null, 0, null, "NO"},
      {"EMP_DETAILS_VIEW", "EMPLOYEE_ID", 3, "NUMBER", 6, 0, 0, null, "NO"},
      {"EMP_DETAILS_VIEW", "DEPARTMENT_NAME", 12, "VARCHAR2", 30, null, 1, null, "NO"},
  };

  // table, column, key position, key name (JOB_HISTORY's key starts with its second column)
  private static final Object[][] KEYS = {
      {"DEPARTMENTS", "DEPARTMENT_ID", 1, "DEPT_ID_PK"},
      {"EMPLOYEES", "EMPLOYEE_ID", 1, "EMP_EMP_ID_PK"},
      {"JOB_HISTORY", "EMPLOYEE_ID", 2, "JHIST_PK"},
      {"JOB_HISTORY", "START_DATE", 1, "JHIST_PK"},
  };

  // table, non-unique, index, type (0: table statistics), position, column
  private static final Object[][] INDEXES = {
      {"DEPARTMENTS", 0, null, 0, 0, null},
      {"DEPARTMENTS", 0, "DEPT_ID_PK", 1, 1, "DEPARTMENT_ID"},
      {"EMPLOYEES", 0, null, 0, 0, null},
      {"EMPLOYEES", 0, "EMP_EMAIL_UK", 1, 1, "EMAIL"},
      {"EMPLOYEES", 0, "EMP_EMP_ID_PK", 1, 1, "EMPLOYEE_ID"},
      {"EMPLOYEES", 1, "EMP_NAME_IX", 1, 1, "LAST_NAME"},
      {"EMPLOYEES", 1, "EMP_NAME_IX", 1, 2, "FIRST_NAME"},
      {"JOB_HISTORY", 0, "JHIST_PK", 1, 1, "START_DATE"},
      {"JOB_HISTORY", 0, "JHIST_PK", 1, 2, "EMPLOYEE_ID"},
  };

  // referenced schema, table, column; referring table, column; position; key name
  private static final Object[][] FOREIGN_KEYS = {
      {"HR", "DEPARTMENTS", "DEPARTMENT_ID", "EMPLOYEES", "DEPARTMENT_ID", 1, "EMP_DEPT_FK"},
      {"HR", "EMPLOYEES", "EMPLOYEE_ID", "JOB_HISTORY", "EMPLOYEE_ID", 1, "JHIST_EMP_FK"},
      {"SCOTT", "JOBS", "JOB_ID", "JOB_HISTORY", "JOB_ID", 1, "JHIST_JOB_FK"},
  };

  // A LIKE pattern with "/" as its escape.
  private static boolean like(String pattern, String name) {
    if (pattern == null) return true;
    StringBuilder regex = new StringBuilder();
    for (int i = 0; i < pattern.length(); ++i) {
      char c = pattern.charAt(i);
      if (c == '/' && i + 1 < pattern.length()) regex.append(Pattern.quote(String.valueOf(pattern.charAt(++i))));
      else if (c == '%') regex.append(".*");
      else if (c == '_') regex.append('.');
      else regex.append(Pattern.quote(String.valueOf(c)));
    }
    return Pattern.matches(regex.toString(), name);
  }

  private static void requireSchema(String schema) throws SQLException {
    if (schema != null && !schema.equals("HR") && !schema.equals("SCOTT") && !schema.equals("%"))
      throw new SQLException("ORA-01435: user does not exist: " + schema);
  }

  private static boolean inHr(String schema) {
    return schema == null || like(schema, "HR");
  }

  static ResultSet tables(String schema, String pattern) throws SQLException {
    requireSchema(schema);
    List<Object[]> rows = new ArrayList<>();
    if (inHr(schema))
      for (Object[] t : TABLES)
        if (like(pattern, (String) t[0])) rows.add(new Object[] {null, "HR", t[0], t[1], null});
    return Rows.of(new String[] {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "TABLE_TYPE", "REMARKS"}, rows);
  }

  static ResultSet columns(String schema, String pattern) throws SQLException {
    requireSchema(schema);
    List<Object[]> rows = new ArrayList<>();
    int position = 0;
    String last = "";
    if (inHr(schema))
      for (Object[] c : COLUMNS) {
        position = c[0].equals(last) ? position + 1 : 1;
        last = (String) c[0];
        if (!like(pattern, (String) c[0])) continue;
        rows.add(new Object[] {null, "HR", c[0], c[1], c[2], c[3], c[4], 0, c[5], 10, c[6], null, c[7], null,
            null, c[4], position, (Integer) c[6] == 0 ? "NO" : "YES", null, null, null, null, c[8], "NO"});
      }
    return Rows.of(new String[] {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE",
        "TYPE_NAME", "COLUMN_SIZE", "BUFFER_LENGTH", "DECIMAL_DIGITS", "NUM_PREC_RADIX", "NULLABLE", "REMARKS",
        "COLUMN_DEF", "SQL_DATA_TYPE", "SQL_DATETIME_SUB", "CHAR_OCTET_LENGTH", "ORDINAL_POSITION",
        "IS_NULLABLE", "SCOPE_CATALOG", "SCOPE_SCHEMA", "SCOPE_TABLE", "SOURCE_DATA_TYPE", "IS_AUTOINCREMENT",
        "IS_GENERATEDCOLUMN"}, rows);
  }

  static ResultSet primaryKeys(String schema, String table) throws SQLException {
    requireSchema(schema);
    List<Object[]> rows = new ArrayList<>();
    if (inHr(schema))
      for (Object[] k : KEYS)
        if (k[0].equals(table)) rows.add(new Object[] {null, "HR", k[0], k[1], k[2], k[3]});
    return Rows.of(new String[] {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME", "KEY_SEQ", "PK_NAME"},
        rows);
  }

  static ResultSet indexes(String schema, String table) throws SQLException {
    requireSchema(schema);
    List<Object[]> rows = new ArrayList<>();
    if (inHr(schema))
      for (Object[] i : INDEXES)
        if (i[0].equals(table))
          rows.add(new Object[] {null, "HR", i[0], i[1], null, i[2], i[3], i[4], i[5], null, 0, 0, null});
    return Rows.of(new String[] {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "NON_UNIQUE", "INDEX_QUALIFIER",
        "INDEX_NAME", "TYPE", "ORDINAL_POSITION", "COLUMN_NAME", "ASC_OR_DESC", "CARDINALITY", "PAGES",
        "FILTER_CONDITION"}, rows);
  }

  static ResultSet importedKeys(String schema, String table) throws SQLException {
    requireSchema(schema);
    List<Object[]> rows = new ArrayList<>();
    if (inHr(schema))
      for (Object[] f : FOREIGN_KEYS)
        if (f[3].equals(table))
          rows.add(new Object[] {null, f[0], f[1], f[2], null, "HR", f[3], f[4], f[5], 1, 1, f[6], null, 7});
    return Rows.of(new String[] {"PKTABLE_CAT", "PKTABLE_SCHEM", "PKTABLE_NAME", "PKCOLUMN_NAME", "FKTABLE_CAT",
        "FKTABLE_SCHEM", "FKTABLE_NAME", "FKCOLUMN_NAME", "KEY_SEQ", "UPDATE_RULE", "DELETE_RULE", "FK_NAME",
        "PK_NAME", "DEFERRABILITY"}, rows);
  }
}
