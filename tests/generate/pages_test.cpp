// The page pass: output names, folders, conditions, which tables get pages,
// the rules for existing files and the clean-up of page text.
#include "generation_fixture.h"

namespace tw::testing {
namespace {

class PagesTest : public GenerationTest {
 protected:
  Ref<AGPControl> control(const std::string& type, const std::string& ofile, const std::string& oext) {
    Ref<AGPControl> c = makeRef<AGPControl>();
    c->CtrlType = type;
    c->CtrlOFile = ofile;
    c->CtrlOExt = oext;
    return c;
  }
  // A template whose controls all print who they are.
  void makePageTemplate(const std::string& controls, Files extra = {}) {
    Files files = {
        {"control.xml", controlFile(controls)},
        {"lang.xml", languageFile("")},
        {"t.php", "<!--##=CTRL.CtrlID##--> of <!--##=TABLE.TblName##-->\r\n"},
        {"f.php", "<!--##=CTRL.CtrlID##--> of <!--##=TABLE.TblName##-->.<!--##=FIELD.FldName##-->\r\n"},
        {"o.php", "<!--##=CTRL.CtrlID##-->\r\n"}};
    for (auto& [k, v] : extra) files[k] = v;
    makeTemplate(files);
  }
  std::vector<std::string> written() {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(out()))
      if (e.is_regular_file()) names.push_back(fs::relative(e.path(), out()).generic_string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

// ---------------------------------------------------------------- names

TEST_F(PagesTest, FileNamesFollowTheNamingSettings) {
  Generator g(*proj);
  EXPECT_EQ(g.MakeOutputFileName("Orders", "", "list", "php"), "Orderslist.php");
  proj->setSetting("OutputNameType", Variant("Infix"));
  proj->setSetting("OutputNameExt", Variant("_"));
  EXPECT_EQ(g.MakeOutputFileName("Orders", "", "list", "php"), "Orders_list.php");
  // Without a table part there is nothing to put the text between.
  EXPECT_EQ(g.MakeOutputFileName("", "", "list", "php"), "list.php");
  proj->setSetting("OutputNameType", Variant("prefix"));
  proj->setSetting("OutputNameExt", Variant("x"));
  EXPECT_EQ(g.MakeOutputFileName("Orders", "", "list", "php"), "xOrderslist.php");
  proj->setSetting("OutputNameType", Variant("SUFFIX"));
  EXPECT_EQ(g.MakeOutputFileName("Orders", "", "list", "php"), "Orderslistx.php");
  proj->setSetting("OutputNameType", Variant("infix"));
  proj->setSetting("OutputNameExt", Variant("_X"));
  proj->setSetting("OutputNameLCase", Variant(true));
  EXPECT_EQ(g.MakeOutputFileName("Orders", "", "list", "PHP"), "orders_xlist.php");
}

TEST_F(PagesTest, FieldPagesNameTheFieldWithoutItsVariablePrefix) {
  Generator g(*proj);
  EXPECT_EQ(g.MakeOutputFileName("Orders", "x_Price", "edit", "php"), "Orders_Priceedit.php");
  proj->setSetting("OutputNameType", Variant("infix"));
  proj->setSetting("OutputNameExt", Variant("-"));
  EXPECT_EQ(g.MakeOutputFileName("Orders", "x_Price", "edit", "php"), "Orders_Price-edit.php");
}

TEST_F(PagesTest, StemsAndExtensionsOfControls) {
  Generator g(*proj);
  Ref<AGPControl> c = control("table", "list", "*");
  c->CtrlOFileCompat = "lst";
  EXPECT_EQ(g.OutputStem(*c), "list");
  proj->setSetting("AppCompat", Variant(true));
  EXPECT_EQ(g.OutputStem(*c), "lst");
  c->CtrlOFileCompat = "";
  EXPECT_EQ(g.OutputStem(*c), "list");
  EXPECT_EQ(g.ResolveOutputExt("*"), "php");
  EXPECT_EQ(g.ResolveOutputExt("inc"), "inc");
}

TEST_F(PagesTest, ProjectPagesOfTypeSimpleKeepTheirNameAndStarNamesTheDefaultPage) {
  Generator g(*proj);
  proj->setSetting("OutputNameType", Variant("prefix"));
  proj->setSetting("OutputNameExt", Variant("x"));
  proj->setSetting("OutputNameLCase", Variant(true));
  EXPECT_EQ(g.OtherPageName(*control("other", "Menu", "php")), "xmenu.php");
  EXPECT_EQ(g.OtherPageName(*control("Simple", "ReadMe", "TXT")), "ReadMe.TXT");
  proj->setSetting("P_DefaultPage", Variant(""));
  EXPECT_EQ(g.OtherPageName(*control("other", "*", "php")), "xindex.php");
  EXPECT_EQ(g.OtherPageName(*control("simple", "*", "php")), "index.php");
  proj->setSetting("P_DefaultPage", Variant("Start.php"));
  EXPECT_EQ(g.OtherPageName(*control("other", "*", "php")), "Start.php");
}

TEST_F(PagesTest, APassWritesTheNamesOnDisk) {
  makePageTemplate(
      "<control id=\"list\" type=\"table\" ofile=\"List\" oext=\"*\" ifiles=\"t.php\"/>"
      "<control id=\"edit\" type=\"field\" ofile=\"Edit\" oext=\"inc\" ifiles=\"f.php\"/>"
      "<control id=\"home\" type=\"other\" ofile=\"*\" oext=\"*\" ifiles=\"o.php\"/>"
      "<control id=\"readme\" type=\"simple\" ofile=\"README\" oext=\"txt\" ifiles=\"o.php\"/>");
  proj->setSetting("OutputNameType", Variant("infix"));
  proj->setSetting("OutputNameExt", Variant("_"));
  proj->setSetting("OutputNameLCase", Variant(true));
  proj->setSetting("P_Ext", Variant("php5"));
  proj->setSetting("P_DefaultPage", Variant(""));
  proj->setSetting("OtherGen", Variant(true));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(written(),
            (std::vector<std::string>{"README.txt", "customers_id_edit.inc", "customers_list.php5",
                                      "index.php5", "orders_id_edit.inc", "orders_list.php5", "shop.css"}));
  EXPECT_EQ(read(out() / "orders_id_edit.inc"), "edit of Orders.id\r\n");
}

// ---------------------------------------------------------------- folders

TEST_F(PagesTest, OutputFoldersBelowTheDestinationOrTheApplicationRoot) {
  Generator g(*proj);
  const std::string dest = out().string() + "\\";
  const std::string app = (root / "root").string() + "\\";
  EXPECT_EQ(g.ResolveOutputPath("", "a.php", false), dest + "a.php");
  EXPECT_EQ(g.ResolveOutputPath("admin\\", "a.php", true), dest + "admin\\a.php");
  EXPECT_FALSE(fs::exists(out() / "admin"));  // check mode creates nothing
  EXPECT_EQ(g.ResolveOutputPath("~/admin", "a.php", false), app + "admin\\a.php");
  EXPECT_TRUE(fs::is_directory(root / "root" / "admin"));
  EXPECT_EQ(g.ResolveOutputPath("~\\lib\\sub\\", "b.php", false), app + "lib\\sub\\b.php");
  EXPECT_TRUE(fs::is_directory(root / "root" / "lib" / "sub"));
}

TEST_F(PagesTest, FolderHelpers) {
  EXPECT_EQ(Generator::EnsureTrailingSlash("  site "), "site\\");
  EXPECT_EQ(Generator::EnsureTrailingSlash("site/"), "site/");
  EXPECT_EQ(Generator::EnsureTrailingSlash("site\\"), "site\\");
  EXPECT_EQ(Generator::EnsureTrailingSlash(""), "");
  Generator::CreateFolderPath((root / "x").string() + "/y\\z");
  EXPECT_TRUE(fs::is_directory(root / "x" / "y" / "z"));
}

TEST_F(PagesTest, ControlsPlaceTheirPagesInTheirFolders) {
  makePageTemplate(
      "<control id=\"admin\" type=\"table\" ofile=\"admin\" oext=\"php\" ofolder=\"~/admin\" "
      "ifiles=\"t.php\"/>"
      "<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ofolder=\"pages\" "
      "ifiles=\"t.php\"/>");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(root / "root" / "admin" / "Ordersadmin.php"), "admin of Orders\r\n");
  EXPECT_EQ(read(out() / "pages" / "Customerslist.php"), "list of Customers\r\n");
}

// ---------------------------------------------------------------- conditions

class ConditionTest : public PagesTest {
 protected:
  bool holds(const std::string& cond, const std::string& tableName = "Orders") {
    Generator g(*proj);
    g.setCurrentTable(tableName.empty() ? nullptr : table(tableName));
    return g.EvaluateCondition(cond);
  }
};

TEST_F(ConditionTest, OneOfTheListedValuesSatisfiesTheOperator) {
  addTable("OrderView", {"id"}, "VIEW");
  addTable("Totals", {"id"}, "CUSTOMVIEW");
  EXPECT_TRUE(holds("table/TblType/eq/TABLE|VIEW", "Orders"));
  EXPECT_TRUE(holds("table/TblType/eq/TABLE|VIEW", "OrderView"));
  EXPECT_FALSE(holds("table/TblType/eq/TABLE|VIEW", "Totals"));
  EXPECT_TRUE(holds("table/TblType/ne/TABLE", "Totals"));
  // Text compares exactly.
  EXPECT_FALSE(holds("table/TblType/eq/table", "Orders"));
}

TEST_F(ConditionTest, ValuesTakeTheSettingsType) {
  proj->setSetting("AppCompat", Variant(true));
  EXPECT_TRUE(holds("proj/AppCompat/eq/true"));
  EXPECT_TRUE(holds("proj/AppCompat/eq/True"));
  EXPECT_FALSE(holds("proj/AppCompat/eq/false"));
  proj->setSetting("AppCompat", Variant(false));
  EXPECT_FALSE(holds("proj/AppCompat/eq/true"));
  // Integers compare as numbers: 20 > 5 and 20 < 100 (as text "20" > "100").
  table("Orders")->setSetting("TblRecPerPage", Variant::integer(20));
  EXPECT_TRUE(holds("table/TblRecPerPage/gt/5"));
  EXPECT_FALSE(holds("table/TblRecPerPage/gt/100"));
  EXPECT_TRUE(holds("table/TblRecPerPage/le/20"));
  EXPECT_TRUE(holds("table/TblRecPerPage/ge/20"));
  EXPECT_FALSE(holds("table/TblRecPerPage/lt/20"));
}

TEST_F(ConditionTest, InAndNiLookForTheValueIgnoringCase) {
  EXPECT_TRUE(holds("table/TblName/in/cust", "Customers"));
  EXPECT_FALSE(holds("table/TblName/in/cust", "Orders"));
  EXPECT_FALSE(holds("table/TblName/ni/CUST", "Customers"));
  EXPECT_TRUE(holds("table/TblName/ni/CUST", "Orders"));
}

TEST_F(ConditionTest, APercentValueNamesASettingOfTheSameObject) {
  EXPECT_TRUE(holds("table/TblVar/eq/%TblName"));
  table("Orders")->setSetting("TblVar", Variant("ord"));
  EXPECT_FALSE(holds("table/TblVar/eq/%TblName"));
  EXPECT_TRUE(holds("table/TblVar/eq/%TblName| ord "));
  table("Orders")->setSetting("TblCaption", Variant("ord"));
  EXPECT_TRUE(holds("table/TblVar/eq/%tblcaption"));
}

TEST_F(ConditionTest, EveryItemMustHoldAndItemsThatAreNotFourPartsAreIgnored) {
  EXPECT_TRUE(holds("table/TblType/eq/TABLE, table/TblName/eq/Orders"));
  EXPECT_FALSE(holds("table/TblType/eq/TABLE,table/TblName/eq/Customers"));
  EXPECT_TRUE(holds("table/TblType/eq"));
  EXPECT_TRUE(holds("table/TblType/eq/VIEW/extra"));
  EXPECT_TRUE(holds(""));
  // Unknown objects and operators, and settings the object lacks, hold.
  EXPECT_TRUE(holds("moon/Phase/eq/full"));
  EXPECT_TRUE(holds("table/TblType/like/VIEW"));
  EXPECT_TRUE(holds("table/NoSuchSetting/eq/1"));
}

TEST_F(ConditionTest, TableAndFieldItemsHoldWhenThereIsNoCurrentObject) {
  EXPECT_TRUE(holds("table/TblName/eq/nothing", ""));
  EXPECT_TRUE(holds("field/FldName/eq/nothing", ""));
  Generator g(*proj);
  g.setCurrentTable(table("Orders"));
  g.setCurrentField(table("Orders")->Fields().Item(Variant("total")));
  EXPECT_TRUE(g.EvaluateCondition("field/FldName/eq/total,field/FldVar/eq/x_total"));
  EXPECT_FALSE(g.EvaluateCondition("field/FldName/eq/id"));
  proj->db()->setSetting("DBName", Variant("shop"));
  EXPECT_TRUE(g.EvaluateCondition("db/DBName/eq/shop"));
  EXPECT_FALSE(g.EvaluateCondition("db/DBName/eq/other"));
}

TEST_F(ConditionTest, ControlItemsReadTheCurrentControl) {
  Generator g(*proj);
  ASSERT_TRUE(g.controls().LoadControlsFromBytes(
      controlFile("<control id=\"list\" type=\"table\" space=\"false\" parm=\"a b\"/>"
                  "<control id=\"view\" type=\"table\"/>")));
  g.controls().Item(1);
  EXPECT_TRUE(g.EvaluateCondition("ctrl/CtrlID/eq/'list'"));
  EXPECT_TRUE(g.EvaluateCondition("CTRL/ctrlparm/eq/\"a b\""));
  EXPECT_TRUE(g.EvaluateCondition("ctrl/CtrlSpace/eq/false"));
  EXPECT_TRUE(g.EvaluateCondition("ctrl/CtrlOverwrite/eq/true"));
  EXPECT_TRUE(g.EvaluateCondition("ctrl/CtrlColour/eq/red"));
  g.controls().Item(2);
  EXPECT_FALSE(g.EvaluateCondition("ctrl/CtrlID/eq/list"));
  EXPECT_FALSE(g.EvaluateCondition("ctrl/CtrlSpace/eq/false"));
}

TEST_F(ConditionTest, CustomItemsWithoutAnEngineCompareAnEmptyText) {
  EXPECT_TRUE(holds("custom:IsSecure/string/ni/yes"));
  EXPECT_FALSE(holds("CUSTOM: IsSecure/string/in/yes"));
  EXPECT_FALSE(holds("custom:IsSecure/string/eq/yes"));
  // An empty list of values satisfies nothing.
  EXPECT_FALSE(holds("custom:IsSecure/string/eq/"));
}

TEST_F(PagesTest, ConditionsChooseTheControlsOfEachTable) {
  addTable("OrderView", {"id"}, "VIEW");
  addTable("Totals", {"id"}, "CUSTOMVIEW");
  makePageTemplate(
      "<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"t.php\" "
      "cond=\"table/TblType/eq/TABLE|VIEW\"/>"
      "<control id=\"compat\" type=\"table\" ofile=\"compat\" oext=\"php\" ifiles=\"t.php\" "
      "cond=\"proj/AppCompat/eq/true\"/>"
      "<control id=\"cust\" type=\"table\" ofile=\"cust\" oext=\"php\" ifiles=\"t.php\" "
      "cond=\"table/TblName/in/cust\"/>"
      "<control id=\"any\" type=\"table\" ofile=\"any\" oext=\"php\" ifiles=\"t.php\" "
      "cond=\"table/TblName/in\"/>"
      "<control id=\"same\" type=\"table\" ofile=\"same\" oext=\"php\" ifiles=\"t.php\" "
      "cond=\"table/TblVar/eq/%TblName\"/>");
  table("Totals")->setSetting("TblVar", Variant("tot"));
  proj->setSetting("OtherGen", Variant(false));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(written(), (std::vector<std::string>{"Customersany.php", "Customerscust.php", "Customerslist.php",
                                                 "Customerssame.php", "OrderViewany.php", "OrderViewlist.php",
                                                 "OrderViewsame.php", "Ordersany.php", "Orderslist.php",
                                                 "Orderssame.php", "totany.php"}));
}

TEST_F(PagesTest, CustomItemsAskAProcedureOfTheTemplatesSystemCode) {
  // A developer build of the system code with one overridable function.
  write(root / "sys" / "prefix.txt", "<name> = \"\"\r\n");
  write(root / "sys" / "suffix.txt", "' end of <name>\r\n");
  write(root / "sys" / "isorders.txt", "<!--## IsOrders = (TABLE.TblName = \"Orders\") ##-->");
  write(
      root / "sys" / "list.xml",
      "<syscode><file value=\"isorders.txt\" function=\"true\" id=\"IsOrders\" parm=\"\" override=\"true\"/>"
      "</syscode>");
  RegWrite("HKCU", engine().regGeneral, "SYSCODE", kRegString, Variant((root / "sys" / "list.xml").string()));
  RegWrite("HKCU", engine().regGeneral, "SYSCODEPREFIX", kRegString,
           Variant((root / "sys" / "prefix.txt").string()));
  RegWrite("HKCU", engine().regGeneral, "SYSCODESUFFIX", kRegString,
           Variant((root / "sys" / "suffix.txt").string()));
  makePageTemplate(
      "<control id=\"only\" type=\"table\" ofile=\"only\" oext=\"php\" ifiles=\"t.php\" "
      "cond=\"custom:IsOrders/boolean/eq/true\"/>"
      "<control id=\"not\" type=\"table\" ofile=\"not\" oext=\"php\" ifiles=\"t.php\" "
      "cond=\"custom: IsOrders /Boolean/ne/true\"/>");
  proj->setSetting("OtherGen", Variant(false));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "");
  EXPECT_TRUE(fs::exists(out() / "Ordersonly.php"));
  EXPECT_FALSE(fs::exists(out() / "Customersonly.php"));
  EXPECT_TRUE(fs::exists(out() / "Customersnot.php"));
  EXPECT_FALSE(fs::exists(out() / "Ordersnot.php"));
}

// ---------------------------------------------------------------- tables

TEST_F(PagesTest, ControlsNamedInTblSysGenUnitsAreGeneratedForATableThatIsNot) {
  addTable("Sales", {"id"}, "REPORT");
  makePageTemplate(
      "<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"t.php\"/>"
      "<control id=\"view\" type=\"table\" ofile=\"view\" oext=\"php\" ifiles=\"t.php\"/>"
      "<control id=\"edit\" type=\"table\" ofile=\"edit\" oext=\"php\" ifiles=\"t.php\"/>"
      "<control id=\"rpt\" type=\"report\" ofile=\"rpt\" oext=\"php\" ifiles=\"t.php\"/>"
      "<control id=\"fld\" type=\"field\" ofile=\"fld\" oext=\"php\" ifiles=\"f.php\"/>");
  proj->setSetting("OtherGen", Variant(false));
  AGPTable* customers = table("Customers");
  customers->setSetting("TblGen", Variant(false));
  customers->setSetting("TblSysGenUnits", Variant("list,view,rpt"));
  table("Sales")->setSetting("TblGen", Variant(false));
  table("Sales")->setSetting("TblSysGenUnits", Variant("rpt,list"));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(written(),
            (std::vector<std::string>{"Customerslist.php", "Customersview.php", "Orders_idfld.php",
                                      "Ordersedit.php", "Orderslist.php", "Ordersview.php", "Salesrpt.php"}));
}

TEST_F(PagesTest, TablesWithoutFieldsOrWithACustomSqlErrorGetNoPages) {
  makePageTemplate("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"t.php\"/>");
  addTable("Bare", {});
  table("Customers")->setSetting("TblCustomError", Variant("Unknown column"));
  // The check pass switches them off (a generate run's validation refuses a
  // generated table without generated fields before the pass).
  EXPECT_EQ(Generator(*proj).GenCheck(), 0);
  EXPECT_FALSE(table("Bare")->flag("TblGen"));
  EXPECT_FALSE(table("Customers")->flag("TblGen"));
  EXPECT_TRUE(table("Orders")->flag("TblGen"));
  table("Bare")->setSetting("TblSysGenUnits", Variant("list"));
  ASSERT_EQ(run(), "");
  // A table without fields still gets the controls TblSysGenUnits names.
  EXPECT_EQ(written(), (std::vector<std::string>{"Barelist.php", "Orderslist.php", "Shop.css"}));
}

TEST_F(PagesTest, ATableWithoutAKeyGetsNoRecordPagesAndBlobFollowsFileFields) {
  makePageTemplate("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"t.php\"/>");
  table("Customers")->setSetting("TblKey", Variant(""));
  table("Orders")->Fields().Item(Variant("total"))->setSetting("FldHtmlTag", Variant("FILE"));
  table("Orders")->setSetting("TblBlob", Variant(false));
  table("Customers")->setSetting("TblBlob", Variant(true));
  ASSERT_EQ(run(), "");
  for (const char* s : {"TblAdd", "TblCopy", "TblView", "TblEdit", "TblInlineEdit", "TblDelete"}) {
    EXPECT_FALSE(table("Customers")->flag(s)) << s;
    EXPECT_TRUE(table("Orders")->flag(s)) << s;
  }
  EXPECT_TRUE(table("Orders")->flag("TblBlob"));
  // Without a key the Blob setting is left as it was.
  EXPECT_TRUE(table("Customers")->flag("TblBlob"));
}

// ---------------------------------------------------------------- overwrite

class OverwriteTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    makePageTemplate(
        "<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"t.php\"/>"
        "<control id=\"home\" type=\"other\" ofile=\"home\" oext=\"php\" ifiles=\"o.php\"/>"
        "<control id=\"keep\" type=\"other\" ofile=\"keep\" oext=\"php\" ifiles=\"o.php\" "
        "overwrite=\"false\"/>");
    proj->setSetting("OtherGen", Variant(true));
    EXPECT_EQ(run(), "");
    for (const char* f : {"Orderslist.php", "Customerslist.php", "home.php", "keep.php", "Shop.css"})
      write(out() / f, "old");
  }
  int asked() const {
    int n = 0;
    for (const auto& s : prompts->shown())
      if (s.kind == "ask") ++n;
    return n;
  }
};

TEST_F(OverwriteTest, WithoutPromptingTheOverwriteFlagsDecide) {
  table("Customers")->setSetting("TblOverwrite", Variant(false));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "Orderslist.php"), "list of Orders\r\n");
  EXPECT_EQ(read(out() / "Customerslist.php"), "old");
  EXPECT_EQ(read(out() / "home.php"), "home\r\n");
  EXPECT_EQ(read(out() / "keep.php"), "old");
  EXPECT_EQ(asked(), 0);
  proj->setSetting("OtherOverwrite", Variant(false));
  write(out() / "home.php", "old");
  write(out() / "Shop.css", "old");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "home.php"), "old");
  EXPECT_EQ(read(out() / "Shop.css"), "old");
  EXPECT_EQ(summary().pagesSkipped, 4);
}

TEST_F(OverwriteTest, FilesThatDoNotExistAreWrittenWithoutAsking) {
  proj->setSetting("PromptOnOverwrite", Variant(true));
  fs::remove(out() / "Orderslist.php");
  prompts->answer("overwrite", "Skip+");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "Orderslist.php"), "list of Orders\r\n");
  ASSERT_GE(prompts->shown().size(), 1u);
  const std::string path = out().string() + "\\Customerslist.php";
  EXPECT_EQ(prompts->shown()[0].text, "File " + Generator::ShortenPathForPrompt(path) + " already exists!");
  EXPECT_EQ(prompts->shown()[0].title, "Tarnwick");
}

TEST_F(OverwriteTest, SkipForAllKeepsEveryFileOfThePassAndTheNextPassAsksAgain) {
  proj->setSetting("PromptOnOverwrite", Variant(true));
  prompts->answer("overwrite", "Skip+");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(asked(), 1);
  for (const char* f : {"Orderslist.php", "Customerslist.php", "home.php", "keep.php", "Shop.css"})
    EXPECT_EQ(read(out() / f), "old") << f;
  prompts->answer("overwrite", "Overwrite+");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(asked(), 2);
  EXPECT_EQ(read(out() / "Orderslist.php"), "list of Orders\r\n");
  EXPECT_EQ(read(out() / "Customerslist.php"), "list of Customers\r\n");
  EXPECT_EQ(read(out() / "home.php"), "home\r\n");
  // Overwrite for all still respects a control that may not overwrite.
  EXPECT_EQ(read(out() / "keep.php"), "old");
}

TEST_F(OverwriteTest, EachAnswerDecidesOneFileAndOnlyFilesThatMayBeOverwrittenAreAsked) {
  proj->setSetting("PromptOnOverwrite", Variant(true));
  prompts->answer("overwrite", "Overwrite");
  prompts->answer("overwrite", "Skip");
  prompts->answer("overwrite", "Overwrite");
  prompts->answer("overwrite", "Skip");
  ASSERT_EQ(run(), "");
  // keep.php may not be overwritten and is not asked about.
  ASSERT_EQ(asked(), 4);
  EXPECT_EQ(read(out() / "Orderslist.php"), "list of Orders\r\n");
  EXPECT_EQ(read(out() / "Customerslist.php"), "old");
  EXPECT_EQ(read(out() / "Shop.css"), "");
  EXPECT_EQ(read(out() / "home.php"), "old");
  EXPECT_EQ(read(out() / "keep.php"), "old");
}

TEST_F(OverwriteTest, CancelInThePromptCancelsTheRun) {
  proj->setSetting("PromptOnOverwrite", Variant(true));
  prompts->answer("overwrite", "Overwrite");
  prompts->answer("overwrite", "Cancel");
  EXPECT_EQ(run(), "raised: Generation cancelled by user!");
  EXPECT_EQ(raisedNumber, -1);
  EXPECT_EQ(projErr(), "Generation cancelled by user!");
  EXPECT_EQ(read(out() / "Orderslist.php"), "list of Orders\r\n");
  EXPECT_EQ(read(out() / "Customerslist.php"), "old");
  EXPECT_EQ(progress.openWindows, 0);
}

TEST_F(OverwriteTest, BackupsKeepThePreviousContent) {
  RegWrite("HKCU", engine().regGeneral, "BackupFile", kRegString, Variant("True"));
  write(out() / "Orderslist.php.bak", "older");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "Orderslist.php"), "list of Orders\r\n");
  EXPECT_EQ(read(out() / "Orderslist.php.bak"), "old");
  EXPECT_EQ(read(out() / "home.php.bak"), "old");
  // Nothing overwritten, nothing backed up.
  EXPECT_FALSE(fs::exists(out() / "keep.php.bak"));
}

TEST_F(OverwriteTest, PresetAnswersAnswerTheRunsQuestionsForACaller) {
  proj->setSetting("PromptOnOverwrite", Variant(true));
  engine().setPrompts(std::make_unique<GenerationPrompt>(std::make_unique<ScriptedPrompt>(),
                                                         GenerationPrompt::TemplateAnswer::Keep,
                                                         GenerationPrompt::OverwriteAnswer::OverwriteAll));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "Customerslist.php"), "list of Customers\r\n");
  EXPECT_EQ(summary().pagesWritten, 4);
  EXPECT_EQ(summary().pagesSkipped, 1);
  engine().setPrompts(std::make_unique<GenerationPrompt>(std::make_unique<ScriptedPrompt>(),
                                                         GenerationPrompt::TemplateAnswer::Ask,
                                                         GenerationPrompt::OverwriteAnswer::Cancel));
  // A page that would change is asked about (one that would not never is).
  write(out() / "Customerslist.php", "changed");
  EXPECT_EQ(run(), "raised: Generation cancelled by user!");
}

TEST(OverwritePromptTest, LongPathsAreShortenedFromTheFront) {
  EXPECT_EQ(Generator::ShortenPathForPrompt("C:\\site\\orderslist.php"), "C:\\site\\orderslist.php");
  // 79 characters: dropping "Documents and Settings" leaves 59, dropping
  // "someone" as well 51.
  EXPECT_EQ(Generator::ShortenPathForPrompt(
                "C:\\Documents and Settings\\someone\\My Documents\\Sites\\shop\\admin\\orderslist.php"),
            "C:\\...\\My Documents\\Sites\\shop\\admin\\orderslist.php");
  // Exactly 55 characters stay whole.
  const std::string p55 = "C:\\" + std::string(40, 'a') + "\\" + std::string(7, 'b') + ".php";
  ASSERT_EQ(p55.size(), 55u);
  EXPECT_EQ(Generator::ShortenPathForPrompt(p55), p55);
  // Characters, not bytes, are counted.
  const std::string umlauts = "C:\\" + std::string(23, 'a') + "\\" + std::string() + "\xc3\xa4\xc3\xa4" +
                              std::string(20, 'x') + "\\f.php";
  EXPECT_EQ(Generator::ShortenPathForPrompt(umlauts), umlauts);
}

// ---------------------------------------------------------------- clean-up

TEST(PageTextTest, LeadingBlankLinesGoAndTheFirstLineKeepsItsIndentation) {
  EXPECT_EQ(Generator::TrimLeadingBlankLines(" \t\r\n\r\n   indented\r\n\r\nx"), "   indented\r\n\r\nx");
  EXPECT_EQ(Generator::TrimLeadingBlankLines("\n\nx"), "x");
  EXPECT_EQ(Generator::TrimLeadingBlankLines("text"), "text");
  EXPECT_EQ(Generator::TrimLeadingBlankLines("  "), "  ");
}

TEST_F(PagesTest, CompactOutputDropsBlankLinesAndSetsCommentsApart) {
  Generator g(*proj);
  EXPECT_EQ(g.CompactOutput("\r\n  \r\nline1\r\n\t\r\n// c1\r\n  // c2\r\nline2\r\n// c3\r\nline3"),
            "line1\r\n\r\n// c1\r\n  // c2\r\n\r\nline2\r\n\r\n// c3\r\nline3\r\n");
  // A single slash and a comment after code are ordinary text.
  EXPECT_EQ(g.CompactOutput("a\n/ b\nc // d\n// e\n"), "a\r\n/ b\r\nc // d\r\n\r\n// e\r\n");
}

TEST_F(PagesTest, CompactOutputPutsTheGeneratorTagBeforeEveryClosingHead) {
  Generator g(*proj);
  const std::string tag =
      "<meta name=\"generator\" content=\"Tarnwick v" + proj->EngineVersion() + "\" />\r\n";
  EXPECT_EQ(g.CompactOutput("<head>\r\n\r\n<title>t</title></HEAD>\r\n<body/>"),
            "<head>\r\n<title>t</title>" + tag + "</head>\r\n<body/>\r\n");
  EXPECT_EQ(g.CompactOutput("</head></Head>"), tag + "</head>" + tag + "</head>\r\n");
}

TEST_F(PagesTest, TheSpaceSettingChoosesTheCleanUp) {
  makePageTemplate(
      "<control id=\"compact\" type=\"other\" ofile=\"compact\" oext=\"php\" ifiles=\"p.php\"/>"
      "<control id=\"plain\" type=\"other\" ofile=\"plain\" oext=\"php\" ifiles=\"p.php\" "
      "space=\"false\"/>",
      {{"p.php", "\r\n\r\n<html><head>\r\n\r\n</head>\r\n// note\r\n</html>"}});
  ASSERT_EQ(run(), "");
  const std::string tag =
      "<meta name=\"generator\" content=\"Tarnwick v" + proj->EngineVersion() + "\" />\r\n";
  EXPECT_EQ(read(out() / "compact.php"), "<html><head>\r\n" + tag + "</head>\r\n\r\n// note\r\n</html>\r\n");
  EXPECT_EQ(read(out() / "plain.php"), "<html><head>\r\n\r\n</head>\r\n// note\r\n</html>");
}

}  // namespace
}  // namespace tw::testing
