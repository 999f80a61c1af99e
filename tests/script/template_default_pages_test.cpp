// The default template's files run control by control against the "Shop
// Demo" project: the settings files of tables, views, custom views and
// reports, the three-line pages, config.php, the header and footer and the
// style sheet. PHP reads what was written (php -r); every file must pass
// php -l.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "template_default_fixture.h"

namespace tw::testing {
namespace {

class TemplatePages : public DefaultTemplate {
 protected:
  void SetUp() override {
    DefaultTemplate::SetUp();
    if (!phpInstalled()) GTEST_SKIP() << "php is not installed (Debian package php-cli)";
  }
  // json_encode of an expression over the array the settings file returns.
  std::string info(const std::string& table, const std::string& expression) {
    return php(save(table + "info.php", generate(table == "sales_report" ? "rptinfo" : "info", table)),
               expression);
  }
  std::string config(const std::string& expression) {
    return php(save("config.php", generate("config")), expression);
  }
};

// ---------------------------------------------------------------- table settings

TEST_F(TemplatePages, TableSettings) {
  const fs::path file = save("customersinfo.php", generate("info", "customers"));
  EXPECT_EQ(php(file, "[$a['name'], $a['var'], $a['caption'], $a['type'], $a['key'], $a['security']]"),
            R"(["customers","customers","Customers","TABLE",["customer_id"],true])");
  EXPECT_EQ(php(file, "$a['pages']"),
            R"({"list":"customerslist.php","view":"customersview.php","add":"customersadd.php",)"
            R"("edit":"customersedit.php","delete":"customersdelete.php","search":"customerssrch.php"})");
  EXPECT_EQ(php(file, "[$a['copy'], $a['search'], isset($a['list']), isset($a['sql'])]"),
            R"([true,{"basic":true,"advanced":true},false,false])")
      << "TblUseGlobal: the project's list settings";
  EXPECT_EQ(php(file, "array_keys($a['fields'])"),
            R"(["customer_id","company_name","email","credit_limit","created_at","picture"])")
      << "a field that is not generated is left out";
  EXPECT_EQ(php(file, "$a['details']"),
            R"([{"table":"orders","caption":"Orders","page":"orderslist.php",)"
            R"("master_fields":["customer_id"],"detail_fields":["customer_id"]}])")
      << "orders names customers as its master";
}

TEST_F(TemplatePages, FieldSettings) {
  const fs::path file = save("customersinfo.php", generate("info", "customers"));
  EXPECT_EQ(
      php(file,
          "$a['fields']['customer_id']['auto_increment'] && $a['fields']['customer_id']['control'] === 'NO' "
          "&& !$a['fields']['customer_id']['add'] && $a['fields']['customer_id']['caption'] === 'Customer "
          "ID'"),
      "true");
  EXPECT_EQ(
      php(file,
          "array_intersect_key($a['fields']['company_name'], array_flip(['var', 'caption', 'type', 'size', "
          "'required', 'nullable', 'basic_search', 'search_op', 'tag_maxlength', 'tag_size']))"),
      R"({"var":"x_company_name","caption":"company_name","type":200,"size":80,"required":true,)"
      R"("nullable":false,"basic_search":true,"search_op":"LIKE","tag_maxlength":80})")
      << "without a caption the name; sizes not set keep the runtime's";
  EXPECT_EQ(
      php(file,
          "array_intersect_key($a['fields']['credit_limit'], array_flip(['min', 'max', 'default', "
          "'validate', 'format', 'digits']))"),
      R"({"validate":"FLOAT","min":0,"max":"ten thousand","default":"1000","format":"Currency","digits":2})");
  EXPECT_EQ(php(file, "array_key_exists('default', $a['fields']['created_at'])"), "false")
      << "CURRENT_TIMESTAMP is the database's to fill in";
  EXPECT_EQ(php(file,
                "[$a['fields']['email']['link_prefix'], array_key_exists('link_prefix', "
                "$a['fields']['company_name'])]"),
            R"(["mailto:",false])");
  EXPECT_EQ(php(file, "[$a['fields']['picture']['view_tag'], $a['fields']['picture']['upload']]"),
            R"(["IMAGE",{"store":"blob","extensions":["png","jpg","jpeg","gif","webp"]}])")
      << "a binary column shows a picture and holds the file itself";
}

TEST_F(TemplatePages, ChoicesLookupsOrderAndMasters) {
  const fs::path file = save("ordersinfo.php", generate("info", "orders"));
  EXPECT_EQ(php(file, "$a['fields']['status']['values']"),
            R"([["new","New \"fresh\""],["paid","Paid"],["legacy","legacy"]])");
  EXPECT_EQ(php(file, "$a['fields']['customer_id']['lookup']"),
            R"({"table":"customers","value":"customer_id","display":"company_name","display2":"","order":"",)"
            R"("order_dir":"DESC","distinct":false,"filter":"active = 'Y'"})");
  EXPECT_EQ(php(file, "$a['default_order']"), R"([["ordered_on","DESC"],["status","ASC"]])");
  EXPECT_EQ(php(file, "[$a['fields']['notes']['control'], $a['fields']['notes']['tag_cols']]"),
            R"(["TEXTAREA",50])");
  EXPECT_EQ(php(file, "$a['masters']"),
            R"([{"table":"customers","info":"customersinfo.php","list_page":"customerslist.php",)"
            R"("master_fields":["customer_id"],"detail_fields":["customer_id"]}])")
      << "employees has no list page and nowhere does not exist";
}

TEST_F(TemplatePages, KeyFieldsPasswordsAndFiles) {
  table("employees")->setSetting("TblList", Variant(true));
  const fs::path file = save("employeesinfo.php", generate("info", "employees"));
  EXPECT_EQ(php(file,
                "array_intersect_key($a['fields']['employee_id'], array_flip(['list', 'view', 'add', 'edit', "
                "'search', 'basic_search']))"),
            R"({"list":false,"view":false,"add":false,"edit":false,"search":false,"basic_search":false})")
      << "a key field that is not generated is there, but shown nowhere";
  EXPECT_EQ(php(file,
                "[$a['fields']['pw']['password'], $a['fields']['pw']['control'], "
                "$a['fields']['login']['register']]"),
            R"([true,"PASSWORD",true])");
  EXPECT_EQ(php(file, "$a['fields']['photo']['upload']"),
            R"({"store":"file","extensions":["png","jpg","jpeg","gif","webp"]})");
}

TEST_F(TemplatePages, PagesFollowTheTableSettings) {
  table("customers")->setSetting("TblView", Variant(false));
  table("customers")->setSetting("TblAdd", Variant(false));
  table("customers")->setSetting("TblSrchType", Variant("basic"));
  EXPECT_EQ(
      info("customers", "[$a['pages'], $a['copy']]"),
      R"([{"list":"customerslist.php","edit":"customersedit.php","delete":"customersdelete.php"},false])")
      << "no copies without an add page";
  table("customers")->setSetting("TblGen", Variant(false));
  table("customers")->setSetting("TblSysGenUnits", Variant("list"));
  EXPECT_EQ(info("customers", "$a['pages']"), R"({"list":"customerslist.php"})");
  EXPECT_EQ(info("orders", "isset($a['masters'])"), "false") << "a master without a list page is no link";
}

TEST_F(TemplatePages, NamingSettingsReachEveryLink) {
  proj->setSetting("OutputNameType", Variant("infix"));
  proj->setSetting("OutputNameExt", Variant("_"));
  proj->setSetting("OutputNameLCase", Variant(true));
  proj->setSetting("P_Ext", Variant("php5"));
  EXPECT_EQ(info("orders",
                 "[$a['pages']['list'], $a['pages']['edit'], $a['masters'][0]['info'], "
                 "$a['masters'][0]['list_page']]"),
            R"(["orders_list.php5","orders_edit.php5","customers_info.php5","customers_list.php5"])");
  EXPECT_NE(generate("list", "orders").find("require dirname(__DIR__) . '/info/orders_info.php5');"),
            std::string::npos);
  EXPECT_EQ(
      config("array_column($a['menu'], 'page')"),
      R"(["customers_list.php5","orders_list.php5","order_totals_list.php5","sales_report_report.php5"])");
}

TEST_F(TemplatePages, CustomViewsAndReports) {
  EXPECT_EQ(info("order_totals", "[$a['type'], $a['sql'], $a['key'], $a['pages']]"),
            R"(["CUSTOMVIEW","SELECT status,\r\n  SUM(amount) AS total FROM orders GROUP BY status",[],)"
            R"({"list":"order_totalslist.php"}])");
  const fs::path file = save("sales_reportinfo.php", generate("rptinfo", "sales_report"));
  EXPECT_EQ(
      php(file, "[$a['type'], $a['pages'], $a['report'], $a['search']]"),
      R"(["REPORT",{"report":"sales_reportreport.php"},)"
      R"({"source":"order_totals","show_details":false,"grand_total":true},{"basic":false,"advanced":false}])");
  EXPECT_EQ(php(file, "$a['sql']"),
            R"("SELECT status,\r\n  SUM(amount) AS total FROM orders GROUP BY status")")
      << "a report over a custom view reads the view's statement";
  EXPECT_EQ(php(file, "[$a['fields']['status']['group_by'], $a['fields']['total']['agg']]"),
            R"([1,["SUM","MAX"]])");
  EXPECT_EQ(
      php(file,
          "array_map(fn($c) => [$c['name'], $c['caption'], $c['type'], $c['x'], $c['y'], $c['agg'], "
          "$c['width'], $c['height']], $a['charts'])"),
      R"([["by_status","Orders",4,"status","total","COUNT",480,600],["amounts","",0,"status","total","AVG",600,320]])")
      << "a chart not shown is left out; a size that is not set is the runtime's";
}

// ---------------------------------------------------------------- pages

TEST_F(TemplatePages, PageFiles) {
  const std::string list = generate("list", "orders");
  EXPECT_EQ(list.substr(0, 7), "<?php\r\n");
  EXPECT_NE(list.find("// Orders: list page."), std::string::npos) << list;
  EXPECT_NE(list.find("require dirname(__DIR__) . '/lib/tarnwick.php';\r\n"
                      "Tarnwick\\run(dirname(__DIR__), 'list', require dirname(__DIR__) . '/info/ordersinfo.php');"),
            std::string::npos)
      << list;
  EXPECT_NE(generate("report", "sales_report")
                .find("Tarnwick\\run(dirname(__DIR__), 'report', require dirname(__DIR__) . "
                      "'/info/sales_reportinfo.php');"),
            std::string::npos);
  const std::string index = generate("index");
  EXPECT_NE(index.find("// Shop Demo: menu page."), std::string::npos) << index;
  EXPECT_NE(index.find("Tarnwick\\run(dirname(__DIR__), 'index');"), std::string::npos);
  proj->setSetting("SecType", Variant("Table"));
  proj->setSetting("SecTbl", Variant("employees"));
  proj->db()->tables().SetItem(Variant("orders"));
  EXPECT_NE(generate("register")
                .find("Tarnwick\\run(dirname(__DIR__), 'register', require dirname(__DIR__) . "
                      "'/info/employeesinfo.php');"),
            std::string::npos)
      << "registration writes into the login table";
  EXPECT_EQ(proj->db()->tables().curName(), "orders") << "the login table is not made current";
}

// ---------------------------------------------------------------- config.php

TEST_F(TemplatePages, ProjectSettings) {
  const fs::path file = save("config.php", generate("config"));
  EXPECT_EQ(
      php(file,
          "[$a['app']['title'], $a['app']['upload_path'], $a['app']['max_upload_size'], $a['app']['css'], "
          "$a['app']['default_page']]"),
      R"(["Shop Demo","files",300000,["Shop_Demo.css"],"index.php"])");
  EXPECT_EQ(php(file, "$a['db']"), R"({"driver":"sqlite","path":"/srv/data/shop.sqlite"})");
  EXPECT_EQ(php(file, "$a['security']"), R"({"type":"none","register":false,"change_password":false})");
  EXPECT_EQ(php(file, "$a['list']"),
            R"({"rec_per_page":20,"rec_per_page_list":[10,20,"ALL"],"pager_style":2,"sort_type":1,)"
            R"("multi_delete":false,"export":["csv"],"link_on_left":false})");
  EXPECT_EQ(php(file, "$a['menu']"),
            R"([{"caption":"Customers","page":"customerslist.php","group":"tables"},)"
            R"({"caption":"Orders","page":"orderslist.php","group":"tables"},)"
            R"({"caption":"order_totals","page":"order_totalslist.php","group":"views"},)"
            R"({"caption":"sales_report","page":"sales_reportreport.php","group":"reports"}])")
      << "employees has no list page";
  const std::string ids = language->Phrase("runtime_phrases");
  const size_t listed = std::count(ids.begin(), ids.end(), ',') + 1;
  EXPECT_EQ(php(file, "[count($a['phrases']), $a['phrases']['add'], $a['phrases']['records']]"),
            "[" + std::to_string(listed) + R"(,"Add","Records %1$d to %2$d of %3$d"])")
      << "every text the language file lists for the application";
}

TEST_F(TemplatePages, LanguageFileTextsReachTheApplication) {
  ASSERT_TRUE(
      language->LoadFromBytes("<tarnwick.language><phrase id='app.add' value='Hinzufügen'/>"
                              "<phrase id='page_list' value='Listenseite'/></tarnwick.language>"));
  EXPECT_EQ(config("$a['phrases']['add']"), R"("Hinzufügen")");
  EXPECT_NE(generate("list", "orders").find("// Orders: Listenseite."), std::string::npos);
}

TEST_F(TemplatePages, MysqlConnectionAndLogin) {
  AGPDatabase* db = proj->db();
  db->setSetting("DBType", Variant("MySQL"));
  db->setSetting("DBHost", Variant("db.example"));
  db->setSetting("DBPort", Variant("3307"));
  db->setSetting("DBName", Variant("shop"));
  db->setSetting("DBUID", Variant("app"));
  db->setSetting("DBPwd", Variant("it's secret"));
  proj->setSetting("SecType", Variant("Both"));
  proj->setSetting("SecLoginID", Variant("admin"));
  proj->setSetting("SecPasswd", Variant("admin-pass-1"));
  proj->setSetting("SecTbl", Variant("employees"));
  proj->setSetting("SecLoginIDFld", Variant("login"));
  proj->setSetting("SecPasswdFld", Variant("pw"));
  proj->setSetting("SecChangePwdPage", Variant(true));
  const fs::path file = save("config.php", generate("config"));
  EXPECT_EQ(php(file, "$a['db']"),
            R"({"driver":"mysql","host":"db.example","port":3307,"name":"shop","user":"app",)"
            R"("charset":"utf8mb4"})")
      << "config.php holds no password";
  EXPECT_EQ(readFile(file).find("it's secret"), std::string::npos);
  // The password reaches the application from config.local.php beside
  // config.php, and from the environment, which wins over both files.
  const std::string reread =
      "(function () { putenv('TARNWICK_DB_PASSWORD=%s'); putenv('TARNWICK_DB_PORT=%s'); "
      "return require $GLOBALS['argv'][1]; })()['db']";
  auto withEnv = [&](const std::string& password, const std::string& port) {
    std::string e = reread;
    e.replace(e.find("%s"), 2, password);
    e.replace(e.find("%s"), 2, port);
    return php(file, "[" + e + "['password'] ?? null, " + e + "['port']]");
  };
  const fs::path local = save("config.local.php", generate("localconfig"));
  struct Case {
    bool localFile;
    const char* password;
    const char* port;
    const char* expected;
  } cases[] = {
      {true, "", "", R"(["it's secret",3307])"},
      {true, "from-env", "3310", R"(["from-env",3310])"},
      {false, "", "", "[null,3307]"},
      {false, "from-env", "", R"(["from-env",3307])"},
  };
  for (const Case& c : cases) {
    if (!c.localFile) fs::remove(local);
    EXPECT_EQ(withEnv(c.password, c.port), c.expected) << c.localFile << " " << c.password;
  }
  EXPECT_EQ(
      php(file,
          "[$a['security']['type'], $a['security']['static_login'], $a['security']['table'], "
          "$a['security']['key'], $a['security']['login_field'], $a['security']['password_field'], "
          "$a['security']['register'], $a['security']['change_password'], $a['security']['login_page']]"),
      R"(["both","admin","employees","employee_id","login","pw",false,true,"login.php"])");
  EXPECT_EQ(php(file,
                "[password_verify('admin-pass-1', $a['security']['static_password']), "
                "str_contains(file_get_contents($argv[1]), 'admin-pass-1')]"),
            "[true,false]")
      << "the password is written as a hash only";
}

// ---------------------------------------------------------------- page top, bottom and style sheet

TEST_F(TemplatePages, HeaderFooterAndStyleSheet) {
  const std::string header = generate("header");
  EXPECT_NE(header.find("<html lang=\"en\">"), std::string::npos);
  EXPECT_NE(header.find("<?= $app->menuHtml() ?>"), std::string::npos);
  EXPECT_NE(generate("footer").find("</html>"), std::string::npos);
  proj->setSetting("BodyFont", Variant("Verdana, sans-serif"));
  proj->setSetting("BodySize", Variant("15"));
  proj->setSetting("TblHdrColor", Variant("#336699"));
  proj->setSetting("BodyLnkColor", Variant("blue;}</style><script>"));
  proj->setSetting("TblAltColor", Variant(false));
  proj->setSetting("TblAltColor2", Variant("#eeeeee"));
  proj->setSetting("RptGrpColor2", Variant("#c6d9ec"));
  const std::string css =
      CompileAndRunTemplate(*proj, readFile(templateDir() / "project.css"), controls.get());
  EXPECT_EQ(engine().projErr, "");
  EXPECT_EQ(css,
            "/* Shop Demo: project colours and fonts */\n"
            ":root {\n"
            "  --tw-font: Verdana, sans-serif;\n"
            "  --tw-font-size: 15px;\n"
            "  --tw-head-bg: #336699;\n"
            "}\n"
            ".tw-report .tw-group-2 td { background: #c6d9ec; }\n")
      << "a value that is no plain colour is left out; alternate rows only with TblAltColor";
}

// ---------------------------------------------------------------- all of it

TEST_F(TemplatePages, EveryGeneratedFileIsValidPhp) {
  proj->setSetting("SecType", Variant("Both"));
  proj->setSetting("SecTbl", Variant("employees"));
  proj->setSetting("SecRegisterPage", Variant(true));
  proj->setSetting("SecChangePwdPage", Variant(true));
  proj->setSetting("SecPasswd", Variant("$2y$10$fq9rsPZBMRVoi3OX4hQM.eXiUc4l4s3ejMDXfMOJOZ2hIHqpzZhQS"));
  int files = 0;
  for (const char* t : {"customers", "orders", "employees", "order_totals"})
    for (const char* id : {"info", "list", "view", "add", "edit", "delete", "search"}) {
      const std::string out = generate(id, t);
      if (out.empty()) continue;
      fs::path f = save(std::string(t) + id + ".php", out);
      int status = -1;
      std::string said = runCommand("php -n -l " + shellQuote(f.string()) + " 2>&1", &status);
      EXPECT_EQ(status, 0) << said;
      ++files;
    }
  for (const char* id :
       {"config", "localconfig", "router", "header", "footer", "index", "login", "logout", "register", "changepwd"}) {
    fs::path f = save(std::string(id) + ".php", generate(id));
    int status = -1;
    std::string said = runCommand("php -n -l " + shellQuote(f.string()) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << said;
    ++files;
  }
  EXPECT_GE(files, 30);
}

}  // namespace
}  // namespace tw::testing
