package tarnwick.standin;

import java.lang.reflect.Proxy;
import java.sql.Connection;
import java.sql.DatabaseMetaData;
import java.sql.Driver;
import java.sql.DriverManager;
import java.sql.DriverPropertyInfo;
import java.sql.PreparedStatement;
import java.sql.ResultSetMetaData;
import java.sql.SQLException;
import java.sql.SQLFeatureNotSupportedException;
import java.util.Properties;
import java.util.logging.Logger;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * A JDBC driver that answers like Oracle's for one recorded schema, HR, without any server: the
 * catalogue as Oracle's driver reports it (NUMBER columns of every kind under one type code, DATE
 * as a time stamp, identity and sequence-filled keys, a synonym, a key into another schema), and
 * the result of one query. It accepts the thin URLs of the service XEPDB1 and the SID ORCL, and the
 * user HR with the password hr-secret; anything else fails with Oracle's own error numbers.
 */
public final class OracleStandInDriver implements Driver {
  static {
    try {
      DriverManager.registerDriver(new OracleStandInDriver());
    } catch (SQLException e) {
      throw new ExceptionInInitializerError(e);
    }
  }

  static final String CUSTOM_SQL = "SELECT EMPLOYEE_ID, SALARY * 12 AS ANNUAL FROM EMPLOYEES";

  private static final Pattern SERVICE = Pattern.compile("jdbc:oracle:thin:@//([^:/]+):(\\d+)/(.+)");
  private static final Pattern SID = Pattern.compile("jdbc:oracle:thin:@([^:/]+):(\\d+):(.+)");

  @Override
  public boolean acceptsURL(String url) {
    return url != null && url.startsWith("jdbc:oracle:thin:");
  }

  @Override
  public Connection connect(String url, Properties info) throws SQLException {
    if (!acceptsURL(url)) return null;
    Matcher service = SERVICE.matcher(url);
    Matcher sid = SID.matcher(url);
    if (service.matches()) {
      if (!service.group(3).equals("XEPDB1"))
        throw new SQLException("ORA-12514: Cannot connect to database. Service " + service.group(3)
            + " is not registered with the listener at " + url, "66000", 12514);
    } else if (sid.matches()) {
      if (!sid.group(3).equals("ORCL"))
        throw new SQLException("ORA-12505: Cannot connect to database. SID " + sid.group(3)
            + " is not registered with the listener at " + url, "66000", 12505);
    } else {
      throw new SQLException("ORA-17067: Invalid Oracle URL specified: " + url, "99999", 17067);
    }
    String user = info.getProperty("user", "");
    if (!user.equalsIgnoreCase("HR") || !"hr-secret".equals(info.getProperty("password")))
      throw new SQLException("ORA-01017: invalid username/password; logon denied", "72000", 1017);
    return connection(user.toUpperCase());
  }

  private static Connection connection(String user) {
    DatabaseMetaData meta = metaData(user);
    boolean[] closed = {false};
    return (Connection) Proxy.newProxyInstance(OracleStandInDriver.class.getClassLoader(),
        new Class<?>[] {Connection.class}, (proxy, method, args) -> {
          switch (method.getName()) {
            case "getMetaData":
              return meta;
            case "getSchema":
              return user;
            case "getCatalog":
              return null;
            case "close":
              closed[0] = true;
              return null;
            case "isClosed":
              return closed[0];
            case "prepareStatement":
              return statement((String) args[0]);
            case "hashCode":
              return System.identityHashCode(proxy);
            case "equals":
              return proxy == args[0];
            case "toString":
              return "stand-in Oracle connection";
            default:
              throw new SQLFeatureNotSupportedException("The stand-in connection has no " + method.getName());
          }
        });
  }

  private static PreparedStatement statement(String sql) throws SQLException {
    if (!sql.trim().equalsIgnoreCase(CUSTOM_SQL))
      throw new SQLException("ORA-00942: table or view does not exist", "42000", 942);
    return (PreparedStatement) Proxy.newProxyInstance(OracleStandInDriver.class.getClassLoader(),
        new Class<?>[] {PreparedStatement.class}, (proxy, method, args) -> {
          switch (method.getName()) {
            case "getMetaData":
              return resultColumns();
            case "close":
              return null;
            case "hashCode":
              return System.identityHashCode(proxy);
            case "equals":
              return proxy == args[0];
            default:
              throw new SQLFeatureNotSupportedException("The stand-in statement has no " + method.getName());
          }
        });
  }

  // As Oracle's driver describes the query: no table names, NUMBER with
  // precision and scale, an expression without precision.
  private static ResultSetMetaData resultColumns() {
    Object[][] columns = {
        // label, type, type name, precision, scale, nullable
        {"EMPLOYEE_ID", 2, "NUMBER", 6, 0, ResultSetMetaData.columnNoNulls},
        {"ANNUAL", 2, "NUMBER", 0, -127, ResultSetMetaData.columnNullable},
    };
    return (ResultSetMetaData) Proxy.newProxyInstance(OracleStandInDriver.class.getClassLoader(),
        new Class<?>[] {ResultSetMetaData.class}, (proxy, method, args) -> {
          if (method.getName().equals("getColumnCount")) return columns.length;
          Object[] c = columns[(Integer) args[0] - 1];
          switch (method.getName()) {
            case "getColumnLabel":
            case "getColumnName":
              return c[0];
            case "getColumnType":
              return c[1];
            case "getColumnTypeName":
              return c[2];
            case "getPrecision":
              return c[3];
            case "getScale":
              return c[4];
            case "isNullable":
              return c[5];
            case "isAutoIncrement":
              return false;
            case "getTableName":
            case "getSchemaName":
            case "getCatalogName":
              return "";
            default:
              throw new SQLFeatureNotSupportedException("The stand-in metadata has no " + method.getName());
          }
        });
  }

  private static DatabaseMetaData metaData(String user) {
    return (DatabaseMetaData) Proxy.newProxyInstance(OracleStandInDriver.class.getClassLoader(),
        new Class<?>[] {DatabaseMetaData.class}, (proxy, method, args) -> {
          switch (method.getName()) {
            case "getIdentifierQuoteString":
              return "\"";
            case "getSearchStringEscape":
              return "/";
            case "getUserName":
              return user;
            case "getCatalogs":
              return Rows.of(new String[] {"TABLE_CAT"}, Rows.list());
            case "getSchemas":
              return Rows.of(new String[] {"TABLE_SCHEM", "TABLE_CATALOG"},
                  Rows.list(new Object[] {"HR", null}, new Object[] {"SCOTT", null}));
            case "getTables":
              return HrSchema.tables((String) args[1], (String) args[2]);
            case "getColumns":
              return HrSchema.columns((String) args[1], (String) args[2]);
            case "getPrimaryKeys":
              return HrSchema.primaryKeys((String) args[1], (String) args[2]);
            case "getIndexInfo":
              return HrSchema.indexes((String) args[1], (String) args[2]);
            case "getImportedKeys":
              return HrSchema.importedKeys((String) args[1], (String) args[2]);
            case "hashCode":
              return System.identityHashCode(proxy);
            case "equals":
              return proxy == args[0];
            default:
              throw new SQLFeatureNotSupportedException("The stand-in metadata has no " + method.getName());
          }
        });
  }

  @Override
  public DriverPropertyInfo[] getPropertyInfo(String url, Properties info) {
    return new DriverPropertyInfo[0];
  }

  @Override
  public int getMajorVersion() {
    return 23;
  }

  @Override
  public int getMinorVersion() {
    return 0;
  }

  @Override
  public boolean jdbcCompliant() {
    return false;
  }

  @Override
  public Logger getParentLogger() throws SQLFeatureNotSupportedException {
    throw new SQLFeatureNotSupportedException("no logger");
  }

}
