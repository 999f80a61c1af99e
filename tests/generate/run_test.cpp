// The generation run end to end: what it writes, what a second run skips,
// the template prompt, cancellation and the failures that end a run.
#include "generation_fixture.h"

namespace tw::testing {
namespace {

const Files& basicTemplate() {
  static const Files files = {
      {"control.xml",
       controlFile(
           "<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" ifiles=\"list.php\"/>\r\n"
           "<control id=\"fld\" type=\"field\" ofile=\"fld\" oext=\"php\" ifiles=\"field.php\"/>\r\n"
           "<control id=\"index\" type=\"other\" ofile=\"*\" oext=\"php\" ifiles=\"index.php\"/>\r\n")},
      {"lang.xml", languageFile("<phrase id=\"Title\" value=\"List of\"/>")},
      {"list.php", "<!--##@Title##--> <!--##=TABLE.TblName##--> (<!--##=TABLE.Fields.Count##-->)\r\n"},
      {"field.php", "<!--##=TABLE.TblName##-->.<!--##=FIELD.FldName##-->\r\n"},
      {"index.php", "Project <!--##=PROJ.ProjName##--> with <!--##=DB.Tables.Count##--> tables\r\n"},
  };
  return files;
}

class RunTest : public GenerationTest {
 protected:
  void SetUp() override {
    GenerationTest::SetUp();
    table("Orders")->Fields().Item(Variant("customer"))->setSetting("FldGenerate", Variant(true));
  }
};

TEST_F(RunTest, WritesTableFieldAndProjectPagesWithTheirContent) {
  makeTemplate(basicTemplate());
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "");
  EXPECT_EQ(read(out() / "Orderslist.php"), "List of Orders (3)\r\n");
  EXPECT_EQ(read(out() / "Customerslist.php"), "List of Customers (2)\r\n");
  // Only the fields marked for generation have pages.
  EXPECT_EQ(read(out() / "Orders_customerfld.php"), "Orders.customer\r\n");
  EXPECT_EQ(read(out() / "Orders_idfld.php"), "Orders.id\r\n");
  EXPECT_EQ(read(out() / "Customers_idfld.php"), "Customers.id\r\n");
  EXPECT_FALSE(fs::exists(out() / "Orders_totalfld.php"));
  EXPECT_FALSE(fs::exists(out() / "Customers_namefld.php"));
  // "*" names the default page.
  EXPECT_EQ(read(out() / "index.php"), "Project Shop with 2 tables\r\n");
  EXPECT_EQ(summary().pagesWritten, 6 + 1);  // the pages and the style sheet Shop.css
  EXPECT_EQ(summary().archivesExtracted, 1);
  EXPECT_EQ(summary().scriptFilesBuilt, 3);
  // Script files live in the temp folder, named after the controls.
  EXPECT_TRUE(fs::exists(tempFolder() / "list.tmp"));
  EXPECT_TRUE(fs::exists(tempFolder() / "fld.tmp"));
  EXPECT_TRUE(fs::exists(tempFolder() / "cache.xml"));
  // The run leaves no engine and no cache object behind, and no window open.
  EXPECT_FALSE(engine().scriptEngine);
  EXPECT_FALSE(engine().cache);
  EXPECT_EQ(progress.openWindows, 0);
}

TEST_F(RunTest, ShowsItsPhasesInOrder) {
  makeTemplate(basicTemplate());
  ASSERT_EQ(run(), "");
  std::vector<std::string> captions;
  for (const auto& e : progress.events)
    if (e.kind == "open") captions.push_back(std::to_string(e.style) + e.text);
  EXPECT_EQ(captions, (std::vector<std::string>{
                          "2Tarnwick - Initializing VBScript Engine...",
                          "2Tarnwick - Validating project settings...",
                          "2Tarnwick - Merging extensions...",
                          "2Tarnwick - Validating control.xml...",
                          "3Tarnwick - Creating Script Files...",
                          "3Tarnwick - Generating PHP Scripts...",
                      }));
  EXPECT_EQ(progress.infos("Loading "),
            (std::vector<std::string>{"Loading list script...", "Loading fld script...",
                                      "Loading index script..."}));
  EXPECT_EQ(
      progress.infos("Generating "),
      (std::vector<std::string>{"Generating Orderslist.php...", "Generating Orders_idfld.php...",
                                "Generating Orders_customerfld.php...", "Generating Customerslist.php...",
                                "Generating Customers_idfld.php...", "Generating index.php..."}));
  // Table pages drive the progress bar: two pages, 50% then 100%.
  std::vector<int> positions;
  bool generating = false;
  for (const auto& e : progress.events) {
    if (e.kind == "open") generating = e.text == "Tarnwick - Generating PHP Scripts...";
    if (generating && e.kind == "progress") positions.push_back(e.position);
  }
  EXPECT_EQ(positions, (std::vector<int>{50, 100}));
}

TEST_F(RunTest, TablesGoInSequenceOrder) {
  makeTemplate(basicTemplate());
  table("Orders")->setSetting("TblSeq", Variant::integer(2));
  table("Customers")->setSetting("TblSeq", Variant::integer(1));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(progress.infos("Generating ").front(), "Generating Customerslist.php...");
}

TEST_F(RunTest, ASecondRunWithoutChangesExtractsNothingAndBuildsNoScriptFile) {
  makeTemplate(basicTemplate());
  ASSERT_EQ(run(), "");
  // A change to the extracted copy survives: the archive is not extracted again.
  write(scriptFolder() / "list.php", "edited\r\n");
  const auto before = fs::last_write_time(tempFolder() / "list.tmp");
  const auto pageTime = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(out() / "Orderslist.php", pageTime);
  write(out() / "index.php", "stale\r\n");
  ASSERT_EQ(run(), "");
  EXPECT_FALSE(progress.showed("open", "Tarnwick - Creating Script Files..."));
  EXPECT_TRUE(progress.infos("Loading ").empty());
  EXPECT_EQ(read(scriptFolder() / "list.php"), "edited\r\n");
  EXPECT_EQ(fs::last_write_time(tempFolder() / "list.tmp"), before);
  EXPECT_EQ(summary().archivesExtracted, 0);
  EXPECT_EQ(summary().scriptFilesBuilt, 0);
  // The pages are generated all the same; one that already holds what the
  // run makes is left untouched, one that differs is replaced.
  EXPECT_TRUE(progress.showed("info", "Generating Orderslist.php..."));
  EXPECT_EQ(read(out() / "Orderslist.php"), "List of Orders (3)\r\n");
  EXPECT_EQ(fs::last_write_time(out() / "Orderslist.php"), pageTime);
  EXPECT_EQ(read(out() / "index.php"), "Project Shop with 2 tables\r\n");
  EXPECT_EQ(summary().pagesWritten, 1) << "only the page that changed is written";
}

TEST_F(RunTest, AChangedArchiveAsksWhetherToKeepTheExtractedTemplate) {
  makeTemplate(basicTemplate());
  ASSERT_EQ(run(), "");
  Files changed = basicTemplate();
  changed["list.php"] = "New list of <!--##=TABLE.TblName##-->\r\n";
  makeTemplate(changed);
  touch(templatePath, 5);

  prompts->answer("template", "Keep");
  ASSERT_EQ(run(), "");
  ASSERT_EQ(prompts->shown().size(), 1u);
  EXPECT_EQ(
      prompts->shown()[0].text,
      "Template version in zip file is different with that in the template folder. Do you want to keep the "
      "existing files in the template folder or extract and overwrite from the zip file?");
  EXPECT_EQ(read(out() / "Orderslist.php"), "List of Orders (3)\r\n");
  EXPECT_EQ(summary().archivesExtracted, 0);

  // Kept on request: the archive is not recorded, so the question comes again.
  prompts->answer("template", "Overwrite");
  ASSERT_EQ(run(), "");
  ASSERT_EQ(prompts->shown().size(), 2u);
  EXPECT_EQ(read(out() / "Orderslist.php"), "New list of Orders\r\n");
  EXPECT_EQ(summary().archivesExtracted, 1);

  ASSERT_EQ(run(), "");
  EXPECT_EQ(prompts->shown().size(), 2u);
}

TEST_F(RunTest, AnArchiveNewToTheCacheIsExtractedWithoutAsking) {
  makeTemplate(basicTemplate());
  // A work folder from elsewhere, but no cache entry for the archive.
  write(scriptFolder() / "list.php", "stale copy\r\n");
  ASSERT_EQ(run(), "");
  EXPECT_TRUE(prompts->shown().empty());
  EXPECT_EQ(read(scriptFolder() / "list.php"), basicTemplate().at("list.php"));
}

TEST_F(RunTest, TheCancelButtonStopsTheRunWithErrorMinusOne) {
  makeTemplate(basicTemplate());
  progress.cancelOnInfo = "Generating Customerslist.php...";
  EXPECT_EQ(run(), "raised: Generation cancelled by user!");
  EXPECT_EQ(raisedNumber, -1);
  EXPECT_EQ(projErr(), "Generation cancelled by user!");
  EXPECT_EQ(progress.openWindows, 0);
  EXPECT_TRUE(fs::exists(out() / "Orderslist.php"));
  EXPECT_FALSE(fs::exists(out() / "Customerslist.php"));
  EXPECT_FALSE(fs::exists(out() / "index.php"));
  // The engine and the cache stay for the next run, which uses them.
  EXPECT_TRUE(engine().scriptEngine);
  EXPECT_TRUE(engine().cache);
  progress.cancelOnInfo.clear();
  progress.cancelled = false;
  ASSERT_EQ(run(), "");
  EXPECT_FALSE(progress.showed("open", "Tarnwick - Creating Script Files..."));
  EXPECT_EQ(read(out() / "Customerslist.php"), "List of Customers (2)\r\n");
}

TEST_F(RunTest, CancellingWhileScriptFilesAreBuiltStopsBeforeTheNextControl) {
  makeTemplate(basicTemplate());
  progress.cancelOnInfo = "Loading list script...";
  EXPECT_EQ(run(), "raised: Generation cancelled by user!");
  EXPECT_TRUE(fs::exists(tempFolder() / "list.tmp"));
  EXPECT_FALSE(fs::exists(tempFolder() / "fld.tmp"));
  EXPECT_FALSE(fs::exists(out() / "Orderslist.php"));
}

TEST_F(RunTest, AZipWithEntriesOutsideItsFolderWritesNothingOutside) {
  // Written directly: our own archive writer never makes such entries.
  fs::path crafted = root / "crafted";
  write(crafted / "control.xml", controlFile(""));
  ASSERT_TRUE(createArchive(templatePath.string(), crafted.string()).ok);
  {
    // Rename the entry in place: "control.xml" -> "../x"-style names of the same length.
    std::string bytes = read(templatePath);
    for (size_t at = bytes.find("control.xml"); at != std::string::npos;
         at = bytes.find("control.xml", at + 1))
      bytes.replace(at, 11, "../escape.x");
    write(templatePath, bytes);
  }
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr().rfind("Tarnwick: Extracting archive \"" + templatePath.string() + "\" failed", 0), 0u)
      << projErr();
  EXPECT_FALSE(fs::exists(workFolder() / "escape.x"));
  EXPECT_FALSE(fs::exists(scriptFolder() / "control.xml"));

  fs::path abs = root / "abs";
  write(abs / "control.xml", controlFile(""));
  ASSERT_TRUE(createArchive(templatePath.string(), abs.string()).ok);
  {
    std::string bytes = read(templatePath);
    for (size_t at = bytes.find("control.xml"); at != std::string::npos;
         at = bytes.find("control.xml", at + 1))
      bytes.replace(at, 11, "/tmp/abs.tw");
    write(templatePath, bytes);
  }
  touch(templatePath, 3);
  EXPECT_EQ(run(), "");
  EXPECT_NE(projErr().find("failed"), std::string::npos);
  EXPECT_FALSE(fs::exists("/tmp/abs.tw"));
}

TEST_F(RunTest, ADamagedArchiveFailsTheRunNamingIt) {
  makeTemplate(basicTemplate());
  std::string bytes = read(templatePath);
  write(templatePath, bytes.substr(0, bytes.size() - 30));
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr().rfind("Tarnwick: Extracting archive \"" + templatePath.string() + "\" failed (", 0), 0u)
      << projErr();
  EXPECT_FALSE(fs::exists(scriptFolder() / "control.xml"));
}

// ---------------------------------------------------------------- failures

class RunFailureTest : public GenerationTest {};

TEST_F(RunFailureTest, WithoutADatabaseNothingIsTouched) {
  proj->Databases().Delete("shop");
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: Database not loaded! Generation aborted!");
  EXPECT_FALSE(fs::exists(root / "Documents" / "Tarnwick"));
}

TEST_F(RunFailureTest, ADatabaseWithoutTables) {
  proj->Databases().Delete("shop");
  proj->Databases().Add("empty");
  proj->setCurrentDbName("empty");
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: No tables found in the Database! Generation aborted!");
}

TEST_F(RunFailureTest, MissingTemplateArchive) {
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: Template file not found! Generation aborted!");
}

TEST_F(RunFailureTest, MissingExtensionArchive) {
  makeTemplate(basicTemplate());
  proj->AddExtension("audit", "audit.zip");
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: Extension audit template file not found! Generation aborted!");
}

TEST_F(RunFailureTest, MissingUserCodeFile) {
  makeTemplate(basicTemplate());
  RegWrite("HKCU", engine().regGeneral, "USERCODE", kRegString, Variant((root / "nowhere.vbs").string()));
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: User code file not found! Generation aborted!");
}

TEST_F(RunFailureTest, MissingControlFile) {
  makeTemplate({{"lang.xml", languageFile("")}});
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: control file not found! Generation aborted!");
}

TEST_F(RunFailureTest, AControlFileThatDoesNotLoadKeepsTheLoadersMessage) {
  makeTemplate({{"control.xml", "<Template/>"}, {"lang.xml", languageFile("")}});
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(),
            "Tarnwick: Control file is invalid! Please check if the correct template file is in use!");
}

TEST_F(RunFailureTest, ATemplateOlderThanTheMinimumVersion) {
  makeTemplate({{"control.xml", controlFile("", "0.9")}, {"lang.xml", languageFile("")}});
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(),
            "Tarnwick: Template version (0.9) older than minimum required (1.0)! Generation aborted!");
}

TEST_F(RunFailureTest, NoLanguageFileInTheTemplateNorForTheUser) {
  makeTemplate({{"control.xml", controlFile("")}});
  RegWrite("HKCU", engine().regGeneral, "Language", kRegString, Variant((root / "none.xml").string()));
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: language file not found! Generation aborted!");
}

TEST_F(RunFailureTest, ALanguageFileThatDoesNotLoad) {
  makeTemplate({{"control.xml", controlFile("")}, {"lang.xml", "<other.language/>"}});
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: Load Language File \"" + scriptFolderText() + "/lang.xml" +
                           "\" failed! Generation aborted!");
}

TEST_F(RunFailureTest, WithoutLangXmlTheUsersDefaultLanguageFileIsUsed) {
  makeTemplate(
      {{"control.xml", controlFile("<control id=\"index\" type=\"other\" ofile=\"home\" oext=\"php\" "
                                   "ifiles=\"index.php\"/>")},
       {"index.php", "<!--##@Hello##-->"}});
  write(root / "english.xml", languageFile("<phrase id=\"Hello\" value=\"Hello from the user\"/>"));
  RegWrite("HKCU", engine().regGeneral, "Language", kRegString, Variant((root / "english.xml").string()));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "");
  EXPECT_EQ(read(out() / "home.php"), "Hello from the user\r\n");
}

TEST_F(RunFailureTest, AControlWhoseTemplateIsNotThereCannotBeMerged) {
  makeTemplate({{"control.xml", controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" "
                                            "ifiles=\"list.php\"/>")},
                {"lang.xml", languageFile("")}});
  EXPECT_EQ(run(), "raised: Error in merging list.php. Generation aborted.");
  EXPECT_EQ(raisedNumber, -1);
  EXPECT_EQ(projErr(), "Error in merging list.php. Generation aborted.");
  EXPECT_EQ(progress.openWindows, 0);
}

// Messages name the template as the project names it, not the copy the run
// extracted it to.
TEST_F(RunFailureTest, ATemplateFileThatWentMissingAbortsNamingTheTemplateFolder) {
  makeTemplate(
      {{"control.xml", controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" "
                                   "ifiles=\"list.php\"><session type=\"key\" value=\"main\"/></control>")},
       {"list.php", "<!--##session main##--><!--##include common.php/header##-->list<!--##/session##-->"},
       {"common.php", "<!--##session header##-->head<!--##/session##-->"},
       {"lang.xml", languageFile("")}});
  ASSERT_EQ(run(), "");
  ASSERT_EQ(read(out() / "Orderslist.php"), "headlist\r\n");
  fs::remove(scriptFolder() / "common.php");
  const std::string message =
      "Missing \"common.php\" in template folder \"" + templatePath.string() + "\". Generation aborted.";
  EXPECT_EQ(run(), "raised: " + message);
  EXPECT_EQ(raisedNumber, -1);
  EXPECT_EQ(projErr(), message);
  EXPECT_EQ(progress.openWindows, 0);
  fs::remove(scriptFolder() / "list.php");
  EXPECT_EQ(run(), "raised: Missing \"list.php\" in template folder \"" + templatePath.string() +
                       "\". Generation aborted.");
}

TEST_F(RunFailureTest, AMissingInputFolderAborts) {
  makeTemplate({{"control.xml", controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" "
                                            "ifiles=\"list.php\" ifolder=\"parts\"/>")},
                {"list.php", "x"},
                {"lang.xml", languageFile("")}});
  EXPECT_EQ(run(), "raised: Missing \"parts\\\" in template folder \"" + templatePath.string() +
                       "\". Generation aborted.");
}

TEST_F(RunFailureTest, ATemplateSyntaxErrorAbortsAndLeavesTheMessageInTheScriptFile) {
  makeTemplate({{"control.xml", controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" "
                                            "ifiles=\"list.php\"/>")},
                {"list.php", "before <!--##=TABLE.TblName after"},
                {"lang.xml", languageFile("")}});
  std::string raised = run();
  // The template's file, line and column of the block left open.
  const std::string message =
      templatePath.string() + "/list.php:1:8: ***Incomplete Block at line 1 column 8! Generation failed!";
  EXPECT_EQ(raised, "raised: " + message);
  EXPECT_EQ(projErr(), message);
  std::string script = read(tempFolder() / "list.tmp");
  EXPECT_EQ(script.rfind("before <!--##=TABLE.TblName after", 0), 0u) << script;
  EXPECT_NE(script.find("***Incomplete Block at line 1 column 8!"), std::string::npos);
}

TEST_F(RunFailureTest, AScriptErrorInAPageStopsThePassNamingTableAndControl) {
  makeTemplate({{"control.xml", controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" "
                                            "ifiles=\"list.php\"/>")},
                {"list.php", "<!--## If ##-->"},
                {"lang.xml", languageFile("")}});
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: Generate Table Orders list page error\r\n" + templatePath.string() +
                          "/list.php:1:7: VBScript syntax error: Expected expression (control list, table Orders)");
  // The pass stopped at the first table.
  EXPECT_FALSE(fs::exists(out() / "Customerslist.php"));
  EXPECT_EQ(progress.openWindows, 0);
}

TEST_F(RunFailureTest, AScriptThatRunsOutOfMemoryFailsThePageEvenWhenErrorsAreResumed) {
  // Page scripts resume after errors; running out of memory is not resumed,
  // however deep the script is when it happens.
  struct Case {
    const char* what;
    const char* script;
    bool fails;
    const char* where;  // the template line named, when the page's own statement failed
  };
  const Case cases[] = {
      {"an array past the largest", "Dim a()\r\nReDim a(300000000)", true, "/list.php:2:1: "},
      {"a text past the longest", "Dim s\r\ns = String(134217728, \"x\")\r\ns = s & \"y\"", true, "/list.php:3:1: "},
      {"in a procedure with its own handler",
       "ExecuteGlobal \"Function Grow() : On Error Resume Next : Dim a() : ReDim a(300000000) : Grow = 1 : \" & "
       "\"End Function\"\r\nDim n\r\nn = Grow()",
       true, nullptr},
      // The script's own Err.Raise of the number is an error like any other.
      {"raised by the script", "Err.Raise 7", false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    makeTemplate({{"control.xml", controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" "
                                              "ifiles=\"list.php\"/>")},
                  {"list.php", std::string("<!--## ") + c.script + " ##-->new page"},
                  {"lang.xml", languageFile("")}});
    write(out() / "Orderslist.php", "old page");
    EXPECT_EQ(run(), "");
    if (!c.fails) {
      EXPECT_EQ(projErr(), "");
      EXPECT_EQ(read(out() / "Orderslist.php"), "new page\r\n");
      continue;
    }
    EXPECT_EQ(projErr().rfind("Tarnwick: Generate Table Orders list page error\r\n", 0), 0u) << projErr();
    // Placed in the template when the failing statement is the page's own.
    const std::string cause = c.where ? templatePath.string() + c.where + "VBScript run-time error: Out of memory"
                                      : std::string("VBScript Runtime error \r\nOut of memory");
    EXPECT_NE(projErr().find(cause), std::string::npos) << projErr();
    // The page that was there stays as it was, and the pass stopped.
    EXPECT_EQ(read(out() / "Orderslist.php"), "old page");
    EXPECT_FALSE(fs::exists(out() / "Customerslist.php"));
  }
}

TEST_F(RunFailureTest, AFieldPageErrorNamesTableAndField) {
  makeTemplate({{"control.xml", controlFile("<control id=\"fld\" type=\"field\" ofile=\"f\" oext=\"php\" "
                                            "ifiles=\"f.php\"/>")},
                {"f.php", "<!--## If ##-->"},
                {"lang.xml", languageFile("")}});
  table("Orders")->setSetting("TblSeq", Variant::integer(2));
  table("Customers")->setSetting("TblSeq", Variant::integer(1));
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: Generate Table Customers Field id page error\r\n" + templatePath.string() +
                          "/f.php:1:7: VBScript syntax error: Expected expression (control fld, field Customers.id)");
}

TEST_F(RunFailureTest, AProjectPageErrorNamesTheControl) {
  makeTemplate({{"control.xml", controlFile("<control id=\"home\" type=\"other\" ofile=\"home\" oext=\"php\" "
                                            "ifiles=\"h.php\"/>")},
                {"h.php", "<!--## If ##-->"},
                {"lang.xml", languageFile("")}});
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: Generate home page error\r\n" + templatePath.string() +
                          "/h.php:1:7: VBScript syntax error: Expected expression (control home)");
}

TEST_F(RunFailureTest, AMissingScriptFileAbortsThePage) {
  makeTemplate({{"control.xml", controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" "
                                            "ifiles=\"list.php\"/>")},
                {"list.php", "x"},
                {"lang.xml", languageFile("")}});
  Generator g(*proj);
  ASSERT_EQ(run(), "");
  AGPControl* list = g.controls().Item(1);
  const std::string script = g.GetControlScriptFile(*list);
  fs::remove(tempFolder() / "list.tmp");
  g.setCurrentTable(table("Orders"));
  try {
    g.WriteTablePage(*table("Orders"), script, (out() / "x.php").string(), *list);
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), -1);
    EXPECT_EQ(e.description(), "File " + nativePath(script).string() + " not found. Generation aborted.");
  }
  try {
    g.WriteFieldPage(*table("Orders")->Fields().Item(Variant("id")), script, (out() / "y.php").string(),
                     *list);
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), "File " + nativePath(script).string() + " not found. Generation aborted");
  }
}

TEST_F(RunFailureTest, AValidationFailureReleasesTheEngine) {
  makeTemplate(basicTemplate());
  // The built-in validation wants a destination.
  proj->setSetting("Destination", Variant(""));
  EXPECT_EQ(run(), "");
  EXPECT_EQ(projErr(),
            "Tarnwick: No destination folder set! Please choose the folder the generated files go to.");
  EXPECT_FALSE(engine().scriptEngine);
  EXPECT_FALSE(engine().cache);
  EXPECT_FALSE(fs::exists(out() / "Orderslist.php"));
}

TEST(FldSrchOprsTest, OperatorsFollowTheColumnTypesCategory) {
  EXPECT_EQ(Generator::FldSrchOprs(11), "USER SELECT\r\n=\r\n<>");
  EXPECT_EQ(Generator::FldSrchOprs(200),
            "USER SELECT\r\n=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN\r\nLIKE\r\nNOT LIKE\r\nSTART WITH");
  EXPECT_EQ(Generator::FldSrchOprs(3), "USER SELECT\r\n=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN");
  EXPECT_EQ(Generator::FldSrchOprs(135), "USER SELECT\r\n=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN");
}

TEST_F(RunTest, TheMembersAreReachableByNameOnTheProject) {
  installGenerateMembers();
  makeTemplate(basicTemplate());
  EXPECT_EQ(proj->call("FldSrchOprs", {Variant::integer(11)}).toString(), "USER SELECT\r\n=\r\n<>");
  proj->call("GenScript");
  EXPECT_EQ(projErr(), "");
  EXPECT_TRUE(fs::exists(out() / "Orderslist.php"));
  // The check stops at the first table with pages that exist.
  EXPECT_EQ(proj->call("GenCheck").toInteger(), 1);
}

}  // namespace
}  // namespace tw::testing

namespace tw::testing {
namespace {

class CheckTest : public GenerationTest {};

TEST_F(CheckTest, ACheckCountsNothingForAnEmptyDestinationAndRemovesItsCopy) {
  makeTemplate(basicTemplate());
  EXPECT_EQ(Generator(*proj).GenCheck(), 0);
  EXPECT_EQ(projErr(), "");
  EXPECT_FALSE(fs::exists(workFolder() / "Tmp"));
  // Nothing was written, and no engine was started.
  EXPECT_FALSE(fs::exists(out() / "Orderslist.php"));
  EXPECT_FALSE(engine().scriptEngine);
}

TEST_F(CheckTest, ACheckStopsAtTheFirstTableWithPagesThatExist) {
  makeTemplate(basicTemplate());
  write(out() / "Customerslist.php", "x");
  write(out() / "Customers_idfld.php", "x");
  write(out() / "index.php", "x");
  // Orders has none; Customers has one table page (its field page is not
  // counted before the check stops).
  EXPECT_EQ(Generator(*proj).GenCheck(), 1);
  fs::remove(out() / "Customerslist.php");
  // Then the field pages and the project's pages count.
  EXPECT_EQ(Generator(*proj).GenCheck(), 2);
}

TEST_F(CheckTest, ACheckWhoseControlFileDoesNotLoadSaysSo) {
  makeTemplate({{"control.xml", "not xml at all"}});
  EXPECT_EQ(Generator(*proj).GenCheck(), 0);
  EXPECT_EQ(projErr(),
            "Tarnwick: Load Template Control File \"" + (workFolder() / "Tmp" / "control.xml").string() +
                "\" failed! Generation aborted!");
}

TEST_F(CheckTest, SourcesAreComparedWithTheCache) {
  Generator g(*proj);
  g.state().templateFileName = "template.zip";
  engine().cache = makeRef<AGPCache>("template.zip");
  write(root / "a.txt", "abc");
  EXPECT_EQ(g.CheckSourceChanged("control", "control", (root / "none.txt").string()), -1);
  EXPECT_EQ(g.CheckSourceChanged("control", "control", (root / "a.txt").string()), 2);
  auto date = fileModifiedDate((root / "a.txt").string());
  ASSERT_TRUE(date);
  g.cache()->AddCache(Variant("control"), Variant("control"), Variant::date(*date), Variant(3));
  EXPECT_EQ(g.CheckSourceChanged("CONTROL", "Control", (root / "a.txt").string()), 0);
  write(root / "a.txt", "abcd");
  EXPECT_EQ(g.CheckSourceChanged("control", "control", (root / "a.txt").string()), 1);
}

TEST_F(CheckTest, FilesAreDeletedByTheirExtensionIgnoringCase) {
  for (const char* f : {"a.tmp", "b.TMP", "c.tmpx", "tmp", "d.x.tmp"}) write(root / "t" / f, "x");
  Generator::DeleteFilesByExtension((root / "t").string(), "tmp");
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(root / "t")) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"c.tmpx", "tmp"}));
  Generator::DeleteFolderIfExists((root / "t").string());
  EXPECT_FALSE(fs::exists(root / "t"));
  Generator::DeleteFolderIfExists((root / "t").string());
}

TEST_F(CheckTest, WorkFoldersLieBelowTheDocumentsFolder) {
  proj->AddExtension("audit", "audit.zip");
  Generator g(*proj);
  g.state().templateFileName = "My Template.zip";
  g.PrepareWorkFolders("Script");
  const std::string base = (root / "Documents").string() + "\\Tarnwick\\Templates\\MyTemplate.zip";
  EXPECT_EQ(g.state().templateWorkFolder, base);
  EXPECT_EQ(g.state().templateFolder, base + "\\Script");
  EXPECT_EQ(g.state().extensionsFolder, base + "\\extensions");
  EXPECT_EQ(g.state().tempFolder, base + "\\temp");
  for (const char* sub : {"Script", "extensions/audit", "temp"})
    EXPECT_TRUE(fs::is_directory(root / "Documents" / "Tarnwick" / "Templates" / "MyTemplate.zip" / sub))
        << sub;
}

}  // namespace
}  // namespace tw::testing
