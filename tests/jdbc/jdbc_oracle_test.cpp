// Oracle through its JDBC driver, answered by the stand-in driver built with
// the tests (oracle_standin/: the recorded catalogue of a schema HR as
// Oracle's driver reports it). What is checked: the service and SID URLs,
// the type mapping, keys in key order, identity and sequence-filled keys as
// auto-increment, views as TblView, the double-quote identifier quote,
// custom views, the schema reader of check and sync, and the failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "schema/loaders.h"
#include "schema/schema.h"
#include "testing/fresh_engine.h"
#include "testing/jdbc_drivers.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class JdbcOracleTest : public testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
#ifndef TARNWICK_ORACLE_STANDIN_JAR
    if (testing::runningInCi()) FAIL() << "javac is missing: the stand-in Oracle driver was not built";
    GTEST_SKIP() << "javac is missing (package default-jdk-headless): the stand-in Oracle driver was not built";
#endif
    TW_REQUIRE_JDBC();
    installSchemaMembers();
  }
  // Loads HR through the service XEPDB1 or, with a SID, through the SID.
  Ref<AGP> load(const std::string& service = "XEPDB1", const std::string& sid = "",
                const std::string& password = "hr-secret") {
    auto proj = makeRef<AGP>();
    proj->AddProj("hr");
    LoadDB(*proj, Variant(service), Variant("Oracle"), Variant("127.0.0.1"), Variant("1521"), Variant("hr"),
           Variant(password), Variant(sid), Variant("JDBC"), Variant(""), Variant("utf-8"));
    return proj;
  }
  static AGPField* field(AGP& p, const char* table, const char* name) {
    AGPTable* t = p.db()->tables().Item(Variant(table));
    return t ? t->Fields().Item(Variant(name)) : nullptr;
  }
};

TEST_F(JdbcOracleTest, TheSchemaReadsWithOraclesTypesKeysAndViews) {
  Ref<AGP> p = load();
  ASSERT_EQ(AGP::ProjErr(), "");
  AGPDatabase& db = *p->db();
  std::vector<std::string> names;
  for (AGPTable* t : db.tables().inSequence()) names.push_back(t->TblName() + " " + t->str("TblType"));
  // Name order; the synonym is left out.
  EXPECT_THAT(names, ElementsAre("DEPARTMENTS TABLE", "EMPLOYEES TABLE", "EMP_DETAILS_VIEW VIEW", "JOB_HISTORY TABLE"));
  EXPECT_EQ(db.str("DBQuoteS"), "\"");
  EXPECT_EQ(db.str("DBQuoteE"), "\"");
  EXPECT_TRUE(db.tables().Item(Variant("EMP_DETAILS_VIEW"))->flag("TblView"));
  EXPECT_EQ(db.tables().Item(Variant("EMPLOYEES"))->str("TblKey"), "EMPLOYEE_ID");
  EXPECT_EQ(db.tables().Item(Variant("JOB_HISTORY"))->str("TblKey"), "EMPLOYEE_ID,START_DATE");
  EXPECT_EQ(db.tables().Item(Variant("EMP_DETAILS_VIEW"))->str("TblKey"), "");

  struct Column {
    const char* table;
    const char* name;
    const char* typeName;
    int16_t type;
    int32_t size;
    bool required, autoIncrement, unique, key;
    const char* defaultValue;  // "-": none
  };
  const Column columns[] = {
      // identity column; sequence-filled key
      {"EMPLOYEES", "EMPLOYEE_ID", "NUMBER", 3, 4, true, true, true, true, "\"HR\".\"ISEQ$$_73021\".nextval"},
      {"DEPARTMENTS", "DEPARTMENT_ID", "NUMBER", 2, 2, true, true, true, true, "\"HR\".\"DEPT_SEQ\".\"NEXTVAL\""},
      {"DEPARTMENTS", "DEPARTMENT_NAME", "VARCHAR2", 200, 30, true, false, false, false, "-"},
      {"DEPARTMENTS", "BUDGET", "NUMBER", 20, 8, false, false, false, false, "-"},
      {"DEPARTMENTS", "CODE", "NUMBER", 131, 20, false, false, false, false, "-"},
      {"DEPARTMENTS", "LOCATION", "NCHAR", 130, 2, false, false, false, false, "UK"},
      {"EMPLOYEES", "FIRST_NAME", "VARCHAR2", 200, 20, false, false, false, false, "-"},
      {"EMPLOYEES", "LAST_NAME", "NVARCHAR2", 202, 25, true, false, false, false, "-"},
      {"EMPLOYEES", "EMAIL", "VARCHAR2", 200, 25, true, false, true, false, "-"},
      {"EMPLOYEES", "SALARY", "NUMBER", 131, 8, false, false, false, false, "-"},
      {"EMPLOYEES", "COMMISSION", "NUMBER", 131, 38, false, false, false, false, "-"},
      {"EMPLOYEES", "RATING", "FLOAT", 5, 8, false, false, false, false, "-"},
      {"EMPLOYEES", "HIRE_DATE", "DATE", 135, 16, true, false, false, false, "SYSDATE"},
      {"EMPLOYEES", "UPDATED", "TIMESTAMP(6) WITH TIME ZONE", 135, 16, false, false, false, false, "-"},
      {"EMPLOYEES", "NOTES", "CLOB", 201, 2147483647, false, false, false, false, "-"},
      {"EMPLOYEES", "BIO", "NCLOB", 203, 2147483647, false, false, false, false, "-"},
      {"EMPLOYEES", "PHOTO", "BLOB", 205, 2147483647, false, false, false, false, "-"},
      {"EMPLOYEES", "BADGE", "RAW", 204, 16, false, false, false, false, "-"},
      {"EMPLOYEES", "GRADE", "CHAR", 129, 1, false, false, false, false, "A"},
      {"JOB_HISTORY", "START_DATE", "DATE", 135, 16, true, false, false, true, "-"},
      {"JOB_HISTORY", "END_DATE", "TIMESTAMP(6)", 135, 16, true, false, false, false, "-"},
      {"EMP_DETAILS_VIEW", "EMPLOYEE_ID", "NUMBER", 3, 4, true, false, false, false, "-"},
  };
  for (const Column& c : columns) {
    SCOPED_TRACE(std::string(c.table) + "." + c.name);
    AGPField* f = field(*p, c.table, c.name);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->str("FldTypeName"), c.typeName);
    EXPECT_EQ(f->int16("FldType"), c.type);
    EXPECT_EQ(f->int32("FldSize"), c.size);
    EXPECT_EQ(f->flag("FldReq"), c.required);
    EXPECT_EQ(f->flag("FldAutoIncrement"), c.autoIncrement);
    EXPECT_EQ(f->flag("FldUniqueIdx"), c.unique);
    EXPECT_EQ(f->flag("FldIsPrimaryKey"), c.key);
    const Variant d = f->setting("FldDefault");
    if (std::string(c.defaultValue) == "-")
      EXPECT_TRUE(d.isEmpty() || d.toString().empty()) << d.toString();
    else
      EXPECT_EQ(d.toString(), c.defaultValue);
  }

  // The key in its own order, and only the foreign keys within the schema.
  auto history = bridgeReadTable("JOB_HISTORY");
  ASSERT_NE(history, nullptr);
  EXPECT_EQ(history->pkField, "START_DATE,EMPLOYEE_ID");
  ASSERT_EQ(history->foreignKeys.size(), 1u);
  EXPECT_EQ(history->foreignKeys[0].name, "JHIST_EMP_FK");
  EXPECT_EQ(history->foreignKeys[0].refTable, "EMPLOYEES");
  auto employees = bridgeReadTable("EMPLOYEES");
  ASSERT_NE(employees, nullptr);
  ASSERT_EQ(employees->foreignKeys.size(), 1u);
  EXPECT_THAT(employees->foreignKeys[0].columns, ElementsAre("DEPARTMENT_ID"));
  EXPECT_THAT(employees->foreignKeys[0].refColumns, ElementsAre("DEPARTMENT_ID"));
}

TEST_F(JdbcOracleTest, CustomViewsSchemaReaderAndConnectionRules) {
  Ref<AGP> p = load("ORCL-unused", "ORCL");  // a SID wins over the service
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(p->db()->str("DBSID"), "ORCL");
  LoadCustomView(*p, Variant("cv_pay"), Variant("SELECT EMPLOYEE_ID, SALARY * 12 AS ANNUAL FROM EMPLOYEES"),
                 Variant(false));
  ASSERT_EQ(AGP::ProjErr(), "");
  EXPECT_EQ(field(*p, "cv_pay", "EMPLOYEE_ID")->int16("FldType"), 3);
  EXPECT_TRUE(field(*p, "cv_pay", "EMPLOYEE_ID")->flag("FldReq"));
  EXPECT_EQ(field(*p, "cv_pay", "ANNUAL")->int16("FldType"), 131);
  EXPECT_FALSE(field(*p, "cv_pay", "ANNUAL")->flag("FldReq"));
  LoadCustomView(*p, Variant("cv_bad"), Variant("SELECT * FROM NOWHERE"), Variant(false));
  EXPECT_EQ(AGP::ProjErr(), "ORA-00942: table or view does not exist");
  EXPECT_EQ(p->db()->tables().Item(Variant("cv_bad")), nullptr);

  // The schema reader of check and sync, with the stored settings.
  AGPSchema schema;
  AGPDatabase& db = *p->db();
  schema.LoadDB(Variant("XEPDB1"), Variant("oracle"), db.setting("DBHost"), db.setting("DBPort"),
                db.setting("DBUID"), Variant("hr-secret"), Variant(""), Variant("JDBC"), Variant(""),
                Variant("utf-8"));
  ASSERT_EQ(AGP::ProjErr(), "");
  ASSERT_EQ(schema.tblcnt(), 4);
  EXPECT_EQ(schema.Tbl(3).TblName, "EMP_DETAILS_VIEW");
  EXPECT_EQ(schema.Tbl(4).TblKey, "EMPLOYEE_ID,START_DATE");

  struct Failure {
    const char* what;
    std::string service, sid, password, message;
  };
  const std::vector<Failure> failures = {
      {"unknown service", "FREEPDB1", "", "hr-secret",
       "ORA-12514: Cannot connect to database. Service FREEPDB1 is not registered with the listener at "
       "jdbc:oracle:thin:@//127.0.0.1:1521/FREEPDB1"},
      {"unknown SID", "XEPDB1", "XE", "hr-secret",
       "ORA-12505: Cannot connect to database. SID XE is not registered with the listener at "
       "jdbc:oracle:thin:@127.0.0.1:1521:XE"},
      {"wrong password", "XEPDB1", "", "wrong", "ORA-01017: invalid username/password; logon denied"},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.what);
    Ref<AGP> failed = load(f.service, f.sid, f.password);
    EXPECT_EQ(AGP::ProjErr(), f.message);
    EXPECT_EQ(failed->DBCnt(), 0);
  }
  // Without the Oracle driver setting the schema reader refuses at once.
  RegWrite("HKCU", engine().regGeneral, "OracleJDBCDriver", kRegString, Variant(""));
  AGPSchema refused;
  refused.LoadDB(Variant("XEPDB1"), Variant("oracle"), Variant("127.0.0.1"), Variant("1521"), Variant("hr"),
                 Variant("hr-secret"), Variant(""), Variant("JDBC"), Variant(""), Variant("utf-8"));
  EXPECT_EQ(AGP::ProjErr(), "JDBC ERROR");
}

}  // namespace
}  // namespace tw
