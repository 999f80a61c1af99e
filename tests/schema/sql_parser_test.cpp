// SQLParser: which statements it understands and where it traces each result
// column to.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "schema/sql_parser.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using Info = SQLParser::FieldInfo;

struct Traced {
  bool found;
  std::string name, table, field;
  bool alias;
};

Traced trace(SQLParser& p, std::string_view column) {
  Info i;
  bool found = p.GetFieldInfo(column, i);
  return {found, i.sourceName, i.sourceTable, i.sourceField, i.alias};
}

void expectTrace(SQLParser& p, std::string_view column, const std::string& name, const std::string& table,
                 const std::string& field, bool alias) {
  Traced t = trace(p, column);
  EXPECT_TRUE(t.found) << column;
  EXPECT_EQ(t.name, name) << column;
  EXPECT_EQ(t.table, table) << column;
  EXPECT_EQ(t.field, field) << column;
  EXPECT_EQ(t.alias, alias) << column;
}

SQLParser::ColumnLookup shopColumns() {
  return [](std::string_view table, std::string_view column) {
    static const std::set<std::pair<std::string, std::string>> known = {
        {"orders", "id"},    {"orders", "customer_id"}, {"orders", "total"},
        {"customers", "id"}, {"customers", "name"},     {"customers", "city"}};
    return known.count({std::string(table), std::string(column)}) > 0;
  };
}

TEST(SQLParserTest, PlainColumnsNameTheirTableAndColumn) {
  SQLParser p;
  ASSERT_TRUE(p.Parse("SELECT id, name FROM customers", 3)) << p.error();
  expectTrace(p, "id", "id", "customers", "id", false);
  expectTrace(p, "NAME", "name", "customers", "name", false);  // names compare without case
  EXPECT_THAT(p.explicitColumns(), ElementsAre("id", "name"));
  EXPECT_FALSE(trace(p, "city").found);
}

TEST(SQLParserTest, TableAliasesAndColumnAliasesAreResolved) {
  SQLParser p;
  ASSERT_TRUE(p.Parse("select c.id as nr, c.name n, shop.customers.city from shop.customers AS c", 3))
      << p.error();
  expectTrace(p, "nr", "c.id", "customers", "id", true);
  expectTrace(p, "n", "c.name", "customers", "name", true);
  expectTrace(p, "city", "shop.customers.city", "customers", "city", false);
  EXPECT_FALSE(trace(p, "id").found);  // renamed to nr
}

TEST(SQLParserTest, ExpressionsAreAliasesWithoutSources) {
  SQLParser p;
  ASSERT_TRUE(p.Parse("SELECT SUM(qty * price) AS total, COUNT(*), 'FROM x' AS s, -id AS neg FROM lines", 3))
      << p.error();
  expectTrace(p, "total", "SUM(qty * price)", "", "", true);
  expectTrace(p, "COUNT(*)", "COUNT(*)", "", "", true);  // unnamed: the text is the name
  expectTrace(p, "s", "'FROM x'", "", "", true);
  expectTrace(p, "neg", "-id", "", "", true);
}

TEST(SQLParserTest, StarsExpandToTheirTables) {
  SQLParser p;
  ASSERT_TRUE(p.Parse("SELECT * FROM orders o", 3)) << p.error();
  expectTrace(p, "total", "o.total", "orders", "total", false);
  ASSERT_TRUE(
      p.Parse("SELECT o.*, c.name AS customer FROM orders o JOIN customers c ON o.customer_id = c.id", 3))
      << p.error();
  expectTrace(p, "total", "o.total", "orders", "total", false);
  expectTrace(p, "customer", "c.name", "customers", "name", true);
  EXPECT_THAT(p.explicitColumns(), ElementsAre("customer"));
}

TEST(SQLParserTest, ColumnsOfSeveralTablesArePlacedWithTheLookup) {
  SQLParser p;
  const char* sql =
      "SELECT total, name, city FROM orders LEFT OUTER JOIN customers ON orders.customer_id = customers.id";
  ASSERT_TRUE(p.Parse(sql, 3)) << p.error();
  // Without knowing the tables' columns the parser cannot tell.
  expectTrace(p, "name", "name", "", "name", false);
  p.setColumnLookup(shopColumns());
  ASSERT_TRUE(p.Parse(sql, 3)) << p.error();
  expectTrace(p, "total", "total", "orders", "total", false);
  expectTrace(p, "name", "name", "customers", "name", false);
  ASSERT_TRUE(p.Parse("SELECT * FROM orders, customers", 3)) << p.error();
  expectTrace(p, "city", "customers.city", "customers", "city", false);
  EXPECT_FALSE(trace(p, "nothing").found);
}

TEST(SQLParserTest, SubqueriesInFromAreFollowed) {
  SQLParser p;
  ASSERT_TRUE(
      p.Parse("SELECT x.nr, x.amount, y.* FROM (SELECT id AS nr, qty * price AS amount FROM lines) AS x "
              "CROSS JOIN (SELECT city FROM customers) y",
              3))
      << p.error();
  expectTrace(p, "nr", "x.nr", "lines", "id", false);
  expectTrace(p, "amount", "x.amount", "", "", false);  // a column of the subquery, made by an expression
  expectTrace(p, "city", "y.city", "customers", "city", false);
}

TEST(SQLParserTest, UnqualifiedColumnsBesideASubqueryGoToTheOneTableThatMayHaveThem) {
  SQLParser p;
  ASSERT_TRUE(
      p.Parse("SELECT total, cname FROM orders JOIN (SELECT id AS cid, name AS cname FROM customers) c "
              "ON customer_id = cid",
              3))
      << p.error();
  expectTrace(p, "cname", "cname", "customers", "name", false);
  expectTrace(p, "total", "total", "orders", "total", false);
}

TEST(SQLParserTest, CommonTableExpressionsAreFollowed) {
  SQLParser p;
  ASSERT_TRUE(
      p.Parse("WITH big AS (SELECT id, total FROM orders WHERE total > 100), "
              "named(a, b) AS (SELECT id, name FROM customers) "
              "SELECT big.id, b AS who FROM big JOIN named ON big.id = named.a",
              3))
      << p.error();
  expectTrace(p, "id", "big.id", "orders", "id", false);
  expectTrace(p, "who", "b", "customers", "name", true);
  ASSERT_TRUE(
      p.Parse("WITH RECURSIVE n AS (SELECT 1 AS k UNION ALL SELECT k + 1 FROM n WHERE k < 5) "
              "SELECT k FROM n",
              3))
      << p.error();
  expectTrace(p, "k", "k", "", "", false);
}

TEST(SQLParserTest, TheFirstSelectOfAUnionNamesTheColumns) {
  SQLParser p;
  ASSERT_TRUE(
      p.Parse("(SELECT id, name FROM customers) UNION ALL (SELECT id, title FROM suppliers) ORDER BY 2", 3))
      << p.error();
  expectTrace(p, "name", "name", "customers", "name", false);
  EXPECT_FALSE(trace(p, "title").found);
}

TEST(SQLParserTest, QuotedNamesCommentsAndStringsAreTokensOfTheirOwn) {
  SQLParser p;
  ASSERT_TRUE(
      p.Parse("SELECT /* the key */ `order id` AS \"Order\", [line no], l.`we``ird` -- trailing\n"
              "FROM `order lines` l # MySQL comment\nWHERE note <> 'it''s -- no comment' ;",
              3))
      << p.error();
  expectTrace(p, "Order", "`order id`", "order lines", "order id", true);
  expectTrace(p, "line no", "[line no]", "order lines", "line no", false);
  expectTrace(p, "we`ird", "l.`we``ird`", "order lines", "we`ird", false);
  ASSERT_TRUE(p.Parse("SELECT Größe FROM Kunden", 3)) << p.error();
  expectTrace(p, "GRÖßE", "Größe", "Kunden", "Größe", false);  // letter case does not count
  EXPECT_FALSE(trace(p, "Grösse").found);
}

TEST(SQLParserTest, ManyKindsOfExpressionsParse) {
  SQLParser p;
  const char* statements[] = {
      "SELECT CASE WHEN a BETWEEN 1 AND 2 THEN 'x' ELSE 'y' END AS k, b FROM t WHERE c IN (1, 2) AND d NOT "
      "LIKE "
      "'x%' ESCAPE '!' AND e IS NOT NULL GROUP BY b WITH ROLLUP HAVING COUNT(*) > 1 ORDER BY b DESC LIMIT "
      "10, 5",
      "SELECT CAST(a AS CHAR(10)) AS x, d + INTERVAL 1 DAY AS due, b FROM t",
      "SELECT ROW_NUMBER() OVER (PARTITION BY a ORDER BY b) AS rn, b FROM t",
      "SELECT (SELECT MAX(id) FROM t2 WHERE t2.x = t.x) AS m, b FROM t WHERE EXISTS (SELECT 1 FROM t3)",
      "SELECT DISTINCT SQL_NO_CACHE b FROM t USE INDEX (ix) WHERE a = ? AND f = @v AND g = :name",
      "SELECT b, _utf8mb4'x' COLLATE utf8mb4_bin AS c FROM t PARTITION (p0) AS t1",
      "SELECT b FROM t1 NATURAL JOIN t2 JOIN t3 USING (id) STRAIGHT_JOIN t4 ON t4.id = t3.id",
      "SELECT b FROM (t1 JOIN t2 ON t1.a = t2.a) WHERE NOT b = 1 OR b IS DISTINCT FROM 2",
      "SELECT b, a->>'$.name' AS n, x'0A' AS bin, 1e3 AS big FROM t LIMIT 3 OFFSET 2",
      "SELECT b FROM t WHERE a REGEXP '^x' OR a SOUNDS LIKE 'y' ORDER BY a NULLS LAST",
      "SELECT b FROM t INDEXED BY ix WHERE a GLOB 'x*'",
      "SELECT t.b FROM json_table_like(1, 2) AS j, t",
      "SELECT b, \"\" AS blank, \"\" FROM t WHERE a <> \"\"",
  };
  for (const char* sql : statements) {
    EXPECT_TRUE(p.Parse(sql, 3)) << sql << "\n" << p.error();
    Info i;
    EXPECT_TRUE(p.GetFieldInfo("b", i)) << sql;
    EXPECT_FALSE(i.alias) << sql;
  }
}

TEST(SQLParserTest, StatementsItDoesNotUnderstandAreRefused) {
  SQLParser p;
  const char* refused[] = {
      "",
      "   ;",
      "UPDATE t SET a = 1",
      "DELETE FROM t",
      "SELECT FROM t",
      "SELECT a FROM",
      "SELECT a FROM t WHERE",
      "SELECT (a FROM t",
      "SELECT a FROM t)",
      "SELECT a FROM t; DROP TABLE t",
      "SELECT 'abc FROM t",
      "SELECT `abc FROM t",
      "SELECT a /* open",
      "SELECT a INTO @x FROM t",
      "SELECT a FROM t FOR UPDATE",
      "SELECT a FROM t LEFT t2",
      "SELECT a AS FROM t",
      "SELECT a.b.c.d FROM t",
      "SELECT CASE END FROM t",
      "SELECT a FROM t WHERE a NOT 1",
      "SELECT a FROM t WHERE a IS 5",
      "SELECT a FROM WHERE",
      "SELECT a, FROM t",
      "SELECT a FROM t ORDER a",
      "SELECT a § b FROM t",
      // Empty quoted names (found by fuzzing: a column traced to a table
      // without a column name).
      "SELECT [] FROM t",
      "SELECT t.[] FROM t",
      "SELECT []() FROM t",
      "SELECT a FROM []",
      "SELECT a FROM t AS []",
      "SELECT `` FROM t",
      "SELECT a AS `` FROM t",
  };
  for (const char* sql : refused) {
    EXPECT_FALSE(p.Parse(sql, 3)) << sql;
    EXPECT_FALSE(p.error().empty()) << sql;
    Info i;
    EXPECT_FALSE(p.GetFieldInfo("a", i)) << sql;
  }
  EXPECT_FALSE(p.Parse("SELECT a FROM t", 1));  // only mode 3
  EXPECT_TRUE(p.Parse("SELECT a FROM t", 3));
}

TEST(SQLParserTest, DeepNestingIsRefusedNotOverflowed) {
  SQLParser p;
  std::string deep = "SELECT " + std::string(5000, '(') + "1" + std::string(5000, ')') + " AS x";
  EXPECT_FALSE(p.Parse(deep, 3));
  std::string fine = "SELECT " + std::string(20, '(') + "1" + std::string(20, ')') + " AS x";
  EXPECT_TRUE(p.Parse(fine, 3)) << p.error();
}

TEST(SQLParserTest, ScriptsCallParseAndGetFieldInfoByName) {
  auto p = makeRef<SQLParser>();
  Dispatch& d = *p;
  EXPECT_TRUE(
      d.call("Parse", {Variant("SELECT o.total AS amount FROM orders o"), Variant::integer(3)}).toBool());
  std::vector<Variant> args = {Variant("amount"), Variant(), Variant(), Variant(), Variant()};
  d.invoke(d.memberId("GetFieldInfo"), kInvokeMethod, args);
  EXPECT_EQ(args[1].toString(), "o.total");
  EXPECT_EQ(args[2].toString(), "orders");
  EXPECT_EQ(args[3].toString(), "total");
  EXPECT_TRUE(args[4].toBool());
  std::vector<Variant> missing = {Variant("nope"), Variant("x"), Variant("x"), Variant("x"), Variant(true)};
  d.invoke(d.memberId("GetFieldInfo"), kInvokeMethod, missing);
  EXPECT_EQ(missing[2].toString(), "");
  EXPECT_FALSE(missing[4].toBool());
}

}  // namespace
}  // namespace tw
