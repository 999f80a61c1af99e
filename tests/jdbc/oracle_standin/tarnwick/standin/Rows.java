package tarnwick.standin;

import java.lang.reflect.Proxy;
import java.sql.ResultSet;
import java.sql.ResultSetMetaData;
import java.sql.SQLException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/** Recorded rows served as a java.sql.ResultSet (only what a metadata reader calls). */
final class Rows {
  private Rows() {}

  static ResultSet of(String[] labels, List<Object[]> rows) {
    final int[] at = {-1};
    final boolean[] lastNull = {false};
    return (ResultSet) Proxy.newProxyInstance(Rows.class.getClassLoader(), new Class<?>[] {ResultSet.class},
        (proxy, method, args) -> {
          switch (method.getName()) {
            case "next":
              return ++at[0] < rows.size();
            case "close":
              return null;
            case "isClosed":
              return false;
            case "wasNull":
              return lastNull[0];
            case "findColumn": {
              int i = Arrays.asList(labels).indexOf(((String) args[0]).toUpperCase());
              if (i < 0) throw new SQLException("Invalid column name: " + args[0]);
              return i + 1;
            }
            case "getString":
            case "getInt":
            case "getShort":
            case "getBoolean":
            case "getObject": {
              int i = args[0] instanceof String ? Arrays.asList(labels).indexOf(((String) args[0]).toUpperCase())
                                                : (Integer) args[0] - 1;
              if (at[0] < 0 || at[0] >= rows.size()) throw new SQLException("No current row");
              if (i < 0 || i >= labels.length) throw new SQLException("Invalid column index: " + args[0]);
              Object v = rows.get(at[0])[i];
              lastNull[0] = v == null;
              if (method.getName().equals("getString")) return v == null ? null : String.valueOf(v);
              if (method.getName().equals("getInt")) return v == null ? 0 : ((Number) v).intValue();
              if (method.getName().equals("getShort")) return v == null ? (short) 0 : ((Number) v).shortValue();
              if (method.getName().equals("getBoolean")) return v != null && Boolean.parseBoolean(String.valueOf(v));
              return v;
            }
            case "getMetaData":
              return columns(labels);
            case "hashCode":
              return System.identityHashCode(proxy);
            case "equals":
              return proxy == args[0];
            case "toString":
              return "recorded result set";
            default:
              throw new SQLException("The stand-in result set has no " + method.getName());
          }
        });
  }

  static ResultSetMetaData columns(String[] labels) {
    return (ResultSetMetaData) Proxy.newProxyInstance(Rows.class.getClassLoader(),
        new Class<?>[] {ResultSetMetaData.class}, (proxy, method, args) -> {
          switch (method.getName()) {
            case "getColumnCount":
              return labels.length;
            case "getColumnLabel":
            case "getColumnName":
              return labels[(Integer) args[0] - 1];
            default:
              throw new SQLException("The stand-in result set metadata has no " + method.getName());
          }
        });
  }

  static List<Object[]> list(Object[]... rows) {
    return new ArrayList<>(Arrays.asList(rows));
  }
}
