// What `tarnwick new` and `tarnwick sync` make of the schema: lookups and
// master/detail links from foreign keys, choices from CHECK lists,
// checkboxes for yes/no columns, date inputs and readable captions; and
// that --no-relations and settings a user made are left alone.
#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

using ::testing::HasSubstr;

class RelationsTest : public CliTest {
 protected:
  // A self-reference, two keys into one table, a composite key, a key into a
  // table without text columns, a key into a table that does not exist,
  // CHECK lists, each Boolean form and date/time columns.
  fs::path relDb() {
    fs::path file = work() / "rel.sqlite";
    makeSqlite(file,
               "CREATE TABLE staff (staff_id INTEGER PRIMARY KEY, first_name TEXT NOT NULL, email VARCHAR(80) UNIQUE,"
               "  manager_id INT REFERENCES staff(staff_id), is_active BOOLEAN NOT NULL DEFAULT 1, away BOOL,"
               "  hiredOn DATE, startsAt TIME, updated_at DATETIME);"
               "CREATE TABLE sites (region TEXT, code INT, PRIMARY KEY (region, code));"
               "CREATE TABLE counters (n INTEGER PRIMARY KEY, hits INT);"
               "CREATE TABLE products (product_id INTEGER PRIMARY KEY, code CHAR(8) NOT NULL UNIQUE,"
               "  note VARCHAR(40), title VARCHAR(40) NOT NULL);"
               "CREATE TABLE visits (visit_id INTEGER PRIMARY KEY, site_region TEXT, site_code INT,"
               "  host_id INT REFERENCES staff, guest_id INT REFERENCES staff(staff_id),"
               "  counter_n INT REFERENCES counters(n), outside_id INT REFERENCES elsewhere(id),"
               "  product_id INT REFERENCES products, status TEXT CHECK (status IN ('planned', 'done')),"
               "  size TEXT CHECK (size in ('XS','S','M','L','XL','XXL')),"
               "  FOREIGN KEY (site_region, site_code) REFERENCES sites(region, code));"
               "CREATE VIEW busy_hosts AS SELECT host_id, count(*) AS visit_count FROM visits GROUP BY host_id;");
    return file;
  }
  fs::path newRel(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"new", "rel.xml", "--db", "sqlite:" + relDb().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    RunResult r = run(args);
    EXPECT_EQ(r.code, 0) << r;
    last_ = r;
    return work() / "rel.xml";
  }
  RunResult last_;
};

TEST_F(RelationsTest, NewTurnsTheSchemaIntoSettings) {
  fs::path p = newRel();
  EXPECT_THAT(last_.out,
              HasSubstr("From the schema: 5 lookups, 6 master/detail links, 2 choice lists, 2 checkboxes, "
                        "3 date inputs, "));
  expectSettings(
      p, {
             // The self-reference: a lookup showing the first required name-like column.
             {"staff", "manager_id", "FldHtmlTag", "SELECT"},
             {"staff", "manager_id", "FldTagLnkTbl", "staff"},
             {"staff", "manager_id", "FldTagLnkFld", "staff_id"},
             {"staff", "manager_id", "FldTagLnkDisplay", "first_name"},
             {"staff", "manager_id", "FldCaption", "Manager"},
             {"staff", "", "TblMasterTbl", "staff"},
             {"staff", "", "TblMasterFld", "staff_id"},
             {"staff", "", "TblDetailFld", "manager_id"},
             {"staff", "", "TblCaption", "Staff"},
             {"staff", "staff_id", "FldCaption", "Staff ID"},
             {"staff", "first_name", "FldCaption", "First Name"},
             // Booleans.
             {"staff", "is_active", "FldHtmlTag", "CHECKBOX"},
             {"staff", "is_active", "FldCaption", "Is Active"},
             {"staff", "away", "FldHtmlTag", "CHECKBOX"},
             // Dates and times, camelCase names.
             {"staff", "hiredOn", "FldPopCalendar", "1"},
             {"staff", "hiredOn", "FldCaption", "Hired On"},
             {"staff", "startsAt", "FldPopCalendar", "1"},
             {"staff", "updated_at", "FldPopCalendar", "1"},
             {"staff", "first_name", "FldPopCalendar", "0"},
             // Two keys into one table.
             {"visits", "host_id", "FldTagLnkTbl", "staff"},
             {"visits", "host_id", "FldCaption", "Host"},
             {"visits", "guest_id", "FldTagLnkTbl", "staff"},
             {"visits", "guest_id", "FldTagLnkFld", "staff_id"},
             {"visits", "guest_id", "FldCaption", "Guest"},
             // A referenced table without text columns shows its key.
             {"visits", "counter_n", "FldTagLnkDisplay", "n"},
             // "title" before "code"; "note" is neither required nor name-like.
             {"visits", "product_id", "FldTagLnkDisplay", "title"},
             // A table that does not exist: no lookup.
             {"visits", "outside_id", "FldHtmlTag", "TEXT"},
             {"visits", "outside_id", "FldTagLnkTbl", ""},
             {"visits", "outside_id", "FldCaption", "Outside ID"},
             // The composite key: a link, no lookup.
             {"visits", "site_code", "FldHtmlTag", "TEXT"},
             {"visits", "", "TblMasterTbl", "sites,staff,staff,counters,products"},
             {"visits", "", "TblMasterFld", "region+code,staff_id,staff_id,n,product_id"},
             {"visits", "", "TblDetailFld", "site_region+site_code,host_id,guest_id,counter_n,product_id"},
             // CHECK lists: few values as radio buttons, many as a list.
             {"visits", "status", "FldHtmlTag", "RADIO"},
             {"visits", "status", "FldTagValues", "\"planned\",\"planned\"|\"done\",\"done\""},
             {"visits", "status", "FldSrchOpr", "="},
             {"visits", "size", "FldHtmlTag", "SELECT"},
             // A view has no keys of its own.
             {"busy_hosts", "host_id", "FldHtmlTag", "TEXT"},
             {"busy_hosts", "", "TblCaption", "Busy Hosts"},
             {"busy_hosts", "visit_count", "FldCaption", "Visit Count"},
         });
}

TEST_F(RelationsTest, NoRelationsKeepsTheEnginesDefaults) {
  fs::path p = newRel({"--no-relations"});
  EXPECT_THAT(last_.out, ::testing::Not(HasSubstr("From the schema")));
  expectSettings(p, {
                        {"staff", "manager_id", "FldHtmlTag", "TEXT"},
                        {"staff", "manager_id", "FldTagLnkTbl", ""},
                        {"staff", "manager_id", "FldCaption", "manager id"},
                        {"staff", "", "TblMasterTbl", ""},
                        {"staff", "", "TblCaption", "staff"},
                        {"staff", "is_active", "FldHtmlTag", "RADIO"},
                        {"staff", "hiredOn", "FldPopCalendar", "0"},
                        {"staff", "hiredOn", "FldCaption", "hired On"},
                        {"visits", "status", "FldHtmlTag", "TEXT"},
                        {"visits", "status", "FldTagValues", ""},
                    });
}

TEST_F(RelationsTest, KeysIntoTablesThatAreNotLoadedMakeNoLookup) {
  fs::path p = newRel({"--tables", "visits,staff"});
  expectSettings(p, {
                        {"visits", "host_id", "FldTagLnkTbl", "staff"},
                        {"visits", "counter_n", "FldHtmlTag", "TEXT"},
                        {"visits", "counter_n", "FldTagLnkTbl", ""},
                        {"visits", "", "TblMasterTbl", "staff,staff"},
                        {"visits", "", "TblDetailFld", "host_id,guest_id"},
                        {"counters", "", "TblMasterTbl", ""},
                    });
}

TEST_F(RelationsTest, SyncSetsUpOnlyWhatItAdds) {
  fs::path p = newRel();
  // Settings the user made stay, also where the schema says otherwise.
  RunResult set = run({"set", "rel.xml", "visits", "TblMasterTbl=", "TblMasterFld=", "TblDetailFld="});
  ASSERT_EQ(set.code, 0) << set;
  set = run({"set", "rel.xml", "visits", "host_id", "FldHtmlTag=TEXT", "FldCaption=Visited by"});
  ASSERT_EQ(set.code, 0) << set;
  execSqlite(work() / "rel.sqlite",
             "ALTER TABLE visits ADD COLUMN checked_by INT REFERENCES staff(staff_id);"
             "ALTER TABLE visits ADD COLUMN done_on DATE;"
             "CREATE TABLE badges (badge_id INTEGER PRIMARY KEY, staff_id INT REFERENCES staff, "
             "  badge_label VARCHAR(20) NOT NULL, valid BOOLEAN);");
  RunResult r = run({"sync", "rel.xml"});
  ASSERT_EQ(r.code, 0) << r;
  EXPECT_THAT(r.out, HasSubstr("From the schema: 2 lookups, 1 master/detail link, 1 checkbox, 1 date input"));
  expectSettings(p, {
                        {"visits", "checked_by", "FldTagLnkTbl", "staff"},
                        {"visits", "checked_by", "FldCaption", "Checked By"},
                        {"visits", "done_on", "FldPopCalendar", "1"},
                        {"visits", "", "TblMasterTbl", ""},
                        {"visits", "host_id", "FldHtmlTag", "TEXT"},
                        {"visits", "host_id", "FldCaption", "Visited by"},
                        {"badges", "staff_id", "FldTagLnkDisplay", "first_name"},
                        {"badges", "staff_id", "FldCaption", "Staff"},
                        {"badges", "", "TblMasterTbl", "staff"},
                        {"badges", "valid", "FldHtmlTag", "CHECKBOX"},
                        {"badges", "", "TblCaption", "Badges"},
                    });
  // Without the step an added column keeps the engine's defaults.
  execSqlite(work() / "rel.sqlite", "ALTER TABLE visits ADD COLUMN approved_by INT REFERENCES staff(staff_id);");
  ASSERT_EQ(run({"sync", "rel.xml", "--no-relations"}).code, 0);
  expectSettings(p, {{"visits", "approved_by", "FldHtmlTag", "TEXT"}, {"visits", "approved_by", "FldCaption",
                                                                         "approved by"}});
}

}  // namespace
}  // namespace tw::testing
