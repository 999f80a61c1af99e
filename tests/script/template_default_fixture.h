#pragma once
// The default template (templates/default) run against a small project in
// memory, one control at a time, as the page pass runs it: the control is
// made current, so is the table, the control's sessions are compiled from
// its template file into one function (run-time errors reported, not
// skipped) and run at the table level or the project level.
//
// The project "Shop Demo" has an SQLite database with the tables customers,
// orders and employees, the custom view order_totals and the report
// sales_report over it. What PHP makes of the output is asked of PHP itself
// (php -r) when it is installed.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/agp.h"
#include "model/chart.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "script/agscript.h"
#include "script/compile_template.h"
#include "script/control.h"
#include "script/filter.h"
#include "script/language.h"
#include "script/parser.h"
#include "script/session.h"
#include "support/engine_context.h"
#include "support/prompt.h"
#include "tarnwick/version.h"
#include "testing/build_speed.h"
#include "testing/fresh_engine.h"

namespace tw::testing {

namespace fs = std::filesystem;

// Time a page or template may run before it counts as never ending.
inline constexpr int32_t kScriptLimitMs = 60000 * kSlowBuildFactor;

inline fs::path sourceDir() {
  const char* own = std::getenv("TARNWICK_SOURCE_DIR");
  return fs::path(own && *own ? own : TARNWICK_SOURCE_DIR);
}

inline fs::path templateDir() { return sourceDir() / "templates" / "default"; }

inline std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a command; its standard output, and the exit status in `status`.
inline std::string runCommand(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
  int rc = pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

inline bool phpInstalled() {
  static const bool found = [] {
    int status = -1;
    runCommand("php -n -r 'echo 1;' 2>/dev/null", &status);
    return status == 0;
  }();
  return found;
}

// A shell word.
inline std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

class DefaultTemplate : public FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    engine().setPrompts(std::make_unique<NonInteractivePrompt>());
    engine().templateFolder = templateDir().string();
    proj = makeRef<AGP>();
    proj->AddProj("Shop Demo");
    for (auto [name, value] :
         std::initializer_list<std::pair<const char*, const char*>>{{"OutputNameType", ""},
                                                                    {"OutputNameExt", ""},
                                                                    {"P_Ext", "php"},
                                                                    {"P_DefaultPage", "index.php"},
                                                                    {"SecType", "None"},
                                                                    {"CharSet", "utf-8"},
                                                                    {"RecPerPageList", "10,20,ALL"},
                                                                    {"UploadPath", "~/files"}})
      proj->setSetting(name, Variant(value));
    proj->setSetting("RecPerPage", Variant::integer(20));
    proj->setSetting("SortType", Variant::integer(1));
    proj->setSetting("PagerStyle", Variant::integer(2));
    proj->setSetting("ExportCsv", Variant(true));
    proj->Databases().Add("shop");
    proj->setCurrentDbName("shop");
    AGPDatabase* db = proj->db();
    db->setSetting("DBType", Variant("sqlite"));
    db->setSetting("DBName", Variant("/srv/data/shop.sqlite"));
    db->setSetting("DBQuoteS", Variant("\""));
    db->setSetting("DBQuoteE", Variant("\""));
    db->setSetting("MaxUploadSize", Variant::long_(300000));
    buildTables();

    controls = makeRef<AGPControls>();
    ASSERT_TRUE(controls->LoadControls((templateDir() / "control.xml").string())) << engine().projErr;
    language = makeRef<AGPLanguage>();
    ASSERT_TRUE(language->Load((templateDir() / "lang.xml").string()));
    engine().language = language;
    filter = makeRef<AGPFilter>();
    script = makeRef<AGScript>();
    engine().scriptEngine = script;
    script->Initialize(Variant(proj.get()), Variant(proj->db()), Variant(controls.get()),
                       Variant(language.get()), Variant(filter.get()));
    ASSERT_EQ(engine().projErr, "");
  }

  void TearDown() override {
    if (script) script->Reset();
    engine().scriptEngine.reset();
    engine().language.reset();
    script.reset();
    filter.reset();
    language.reset();
    controls.reset();
    proj.reset();
    FreshEngine::TearDown();
  }

  AGPTable* addTable(const std::string& name, const std::string& type, const std::string& key) {
    AGPTable* t = proj->db()->tables().Add(name);
    t->setSetting("TblSeq", Variant::integer(static_cast<int16_t>(proj->db()->tables().Count())));
    t->setSetting("TblType", Variant(type));
    t->setSetting("TblVar", Variant(name));
    t->setSetting("TblCaption", Variant(""));
    t->setSetting("TblKey", Variant(key));
    t->setSetting("TblGen", Variant(true));
    t->setSetting("TblUseGlobal", Variant(true));
    t->setSetting("TblSysGenUnits", Variant(""));
    t->setSetting("TblSrchType", Variant(type == "REPORT" ? "NONE" : "BASIC"));
    const bool records = type == "TABLE" && !key.empty();
    t->setSetting("TblList", Variant(type != "REPORT"));
    for (const char* page : {"TblView", "TblAdd", "TblEdit", "TblDelete", "TblCopy"})
      t->setSetting(page, Variant(records));
    return t;
  }

  AGPField* addField(AGPTable* t, const std::string& name, int16_t type,
                     std::map<std::string, Variant> settings = {}) {
    AGPField* f = t->Fields().Add(name);
    f->setSetting("FldSeq", Variant::integer(static_cast<int16_t>(t->Fields().Count())));
    f->setSetting("FldType", Variant::integer(type));
    f->setSetting("FldVar", Variant("x_" + name));
    f->setSetting("FldCaption", Variant(""));
    f->setSetting("FldHtmlTag", Variant("TEXT"));
    f->setSetting("FldFmtType", Variant("None"));
    f->setSetting("FldViewTag", Variant("FORMATTED TEXT"));
    f->setSetting("FldTagAPrefix", Variant("None"));
    for (const char* s : {"FldGenerate", "FldList", "FldView", "FldAdd", "FldEdit"})
      f->setSetting(s, Variant(true));
    for (auto& [k, v] : settings) f->setSetting(k, v);
    return f;
  }

  void buildTables() {
    AGPTable* customers = addTable("customers", "TABLE", "customer_id");
    customers->setSetting("TblCaption", Variant("Customers"));
    customers->setSetting("TblSrchType", Variant("BOTH"));
    addField(customers, "customer_id", 3,
             {{"FldAutoIncrement", Variant(true)},
              {"FldReq", Variant(true)},
              {"FldHtmlTag", Variant("NO")},
              {"FldAdd", Variant(false)},
              {"FldCaption", Variant("Customer ID")}});
    addField(customers, "company_name", 200,
             {{"FldSize", Variant::long_(80)},
              {"FldRequired", Variant(true)},
              {"FldReq", Variant(true)},
              {"FldTagMaxLength", Variant::long_(80)},
              {"FldBasicSearch", Variant(true)}});
    addField(customers, "email", 200, {{"FldTagAPrefix", Variant("mailto:")}});
    addField(customers, "credit_limit", 131,
             {{"FldFmtType", Variant("Currency")},
              {"FldNumDigits", Variant::integer(2)},
              {"FldMin", Variant("0")},
              {"FldMax", Variant("ten thousand")},
              {"FldDefault", Variant("1000")},
              {"FldValidate", Variant("float")}});
    addField(customers, "created_at", 135, {{"FldDefault", Variant("CURRENT_TIMESTAMP")}});
    addField(customers, "picture", 205, {{"FldHtmlTag", Variant("FILE")}});
    addField(customers, "internal_code", 200, {{"FldGenerate", Variant(false)}});

    AGPTable* orders = addTable("orders", "TABLE", "order_id");
    orders->setSetting("TblCaption", Variant("Orders"));
    orders->setSetting("TblMasterTbl", Variant("customers, employees,nowhere"));
    orders->setSetting("TblMasterFld", Variant("customer_id,employee_id"));
    orders->setSetting("TblDetailFld", Variant("customer_id,employee_id"));
    addField(orders, "order_id", 3, {{"FldAutoIncrement", Variant(true)}, {"FldHtmlTag", Variant("NO")}});
    addField(orders, "customer_id", 3,
             {{"FldHtmlTag", Variant("SELECT")},
              {"FldTagLnkTbl", Variant("customers")},
              {"FldTagLnkFld", Variant("customer_id")},
              {"FldTagLnkDisplay", Variant("company_name")},
              {"FldTagLnkOrderType", Variant("desc")},
              {"FldSelectFilter", Variant("active = 'Y'")}});
    addField(orders, "employee_id", 3);
    addField(orders, "status", 200,
             {{"FldHtmlTag", Variant("RADIO")},
              {"FldTagValues", Variant("\"new\",\"New \"\"fresh\"\"\"\r\n\"paid\",\"Paid\"\r\nlegacy")},
              {"FldOrderBy", Variant::integer(2)}});
    addField(orders, "ordered_on", 133, {{"FldOrderBy", Variant::integer(1)}, {"FldOrder", Variant("desc")}});
    addField(orders, "notes", 201,
             {{"FldHtmlTag", Variant("textarea")}, {"FldTagCols", Variant::integer(50)}});

    AGPTable* employees = addTable("employees", "TABLE", "employee_id");
    employees->setSetting("TblList", Variant(false));
    addField(employees, "employee_id", 3, {{"FldGenerate", Variant(false)}});
    addField(employees, "login", 200, {{"FldRegister", Variant(true)}});
    addField(employees, "pw", 200, {{"FldHtmlTag", Variant("PASSWORD")}, {"FldList", Variant(false)}});
    addField(employees, "photo", 200, {{"FldHtmlTag", Variant("FILE")}, {"FldViewTag", Variant("IMAGE")}});

    AGPTable* totals = addTable("order_totals", "CUSTOMVIEW", "");
    totals->setSetting("TblCustomSQL",
                       Variant("SELECT status,\r\n  SUM(amount) AS total FROM orders GROUP BY status"));
    addField(totals, "status", 200);
    addField(totals, "total", 131);

    AGPTable* report = addTable("sales_report", "REPORT", "");
    report->setSetting("TblRptSrc", Variant("order_totals"));
    report->setSetting("TblRptShowDetails", Variant(false));
    report->setSetting("TblRptShowGrandTotal", Variant(true));
    addField(report, "status", 200, {{"FldGroupBy", Variant::integer(1)}});
    addField(
        report, "total", 131,
        {{"FldRptAggSum", Variant(true)}, {"FldRptAggMax", Variant(true)}, {"FldAggregate", Variant("avg")}});
    addChart(report, "by_status",
             {{"ChartXFldName", Variant("status")},
              {"ChartYFldName", Variant("COUNT(total)")},
              {"ChartType", Variant::integer(4)},
              {"ChartCaption", Variant("Orders")},
              {"ChartWidth", Variant::integer(480)},
              {"ChartHeight", Variant::integer(600)}});
    addChart(report, "amounts", {{"ChartXFldName", Variant("status")}, {"ChartYFldName", Variant("total")}});
    addChart(report, "hidden", {{"ShowChart", Variant(false)}});
  }

  void addChart(AGPTable* t, const std::string& name, std::map<std::string, Variant> settings) {
    AGPChart* c = t->Charts().Add(name);
    c->setSetting("ChartSeq", Variant::integer(static_cast<int16_t>(t->Charts().Count())));
    c->setSetting("ChartVar", Variant(name));
    c->setSetting("ShowChart", Variant(true));
    for (auto& [k, v] : settings) c->setSetting(k, v);
  }

  AGPTable* table(const std::string& name) { return proj->db()->tables().Item(Variant(name)); }
  AGPField* field(const std::string& t, const std::string& f) { return table(t)->Fields().Item(Variant(f)); }

  // The output of control `id` for `tableName` (a project-wide control when
  // empty), compiled with run-time errors reported.
  std::string generate(const std::string& id, const std::string& tableName = {}) {
    int32_t index = 0;
    for (int32_t i = 1; i <= controls->Count(); ++i)
      if (controls->Item(i)->CtrlID == id) index = i;
    EXPECT_GT(index, 0) << "no control " << id;
    if (index == 0) return {};
    AGPControl* ctrl = controls->Item(index);
    if (!tableName.empty()) proj->db()->tables().SetItem(Variant(tableName));
    const std::string text = readFile(templateDir() / ctrl->CtrlIFiles);
    TemplateCompiler compiler(script.get(), language.get());
    for (int32_t s = 1; s <= ctrl->Sessions().Count(); ++s) {
      const std::string session = AGParser::GetSession(text, ctrl->Sessions().Item(s)->SessValue);
      EXPECT_FALSE(session.empty()) << id << ": no session " << ctrl->Sessions().Item(s)->SessValue;
      EXPECT_TRUE(compiler.CompileTemplate(session)) << engine().projErr;
    }
    std::string out =
        script->BuildNewCode(compiler.FunctionText(false), tableName.empty() ? 1 : 2, kScriptLimitMs);
    EXPECT_EQ(engine().projErr, "") << id << " " << tableName;
    return ctrl->CtrlSpace ? withoutBlankLines(out) : out;
  }

  // A page without its blank lines, each line ended by CR LF, as the run
  // writes a page of a control with space="true" (the default).
  static std::string withoutBlankLines(const std::string& text) {
    std::string out, line;
    auto flush = [&] {
      if (line.find_first_not_of(" \t") != std::string::npos) out += line + "\r\n";
      line.clear();
    };
    for (char c : text) {
      if (c == '\n')
        flush();
      else if (c != '\r')
        line += c;
    }
    flush();
    return out;
  }

  // A template run at once at `level` (0: no current control or table).
  std::string eval(const std::string& templ, int16_t level = 0) {
    TemplateCompiler compiler(script.get(), language.get());
    EXPECT_TRUE(compiler.CompileTemplate(templ)) << engine().projErr;
    std::string out = script->BuildNewCode(compiler.FunctionText(false), level, kScriptLimitMs);
    EXPECT_EQ(engine().projErr, "") << templ;
    engine().projErr.clear();
    return out;
  }

  // Writes a generated text into the case folder.
  fs::path save(const std::string& name, const std::string& text) {
    fs::path p = dir() / "app" / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }

  // json_encode of a PHP expression over $a, the value the saved file
  // returns ("" when PHP fails).
  std::string php(const fs::path& file, const std::string& expression) {
    const std::string code = "$a = require $argv[1]; echo json_encode(" + expression +
                             ", JSON_UNESCAPED_SLASHES | JSON_UNESCAPED_UNICODE);";
    return runCommand("php -n -r " + shellQuote(code) + " " + shellQuote(file.string()) + " 2>&1");
  }

  Ref<AGP> proj;
  Ref<AGPControls> controls;
  Ref<AGPLanguage> language;
  Ref<AGPFilter> filter;
  Ref<AGScript> script;
};

}  // namespace tw::testing
