// Project-wide support output: copy controls, the style sheets and the
// upload folder.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>

#include <csignal>

#include <gmock/gmock.h>

#include "generation_fixture.h"

namespace tw::testing {
namespace {

class CopyTest : public GenerationTest {
 protected:
  void SetUp() override {
    GenerationTest::SetUp();
    proj->setSetting("OtherGen", Variant(true));
  }
  void makeCopyTemplate(const std::string& controls) {
    makeTemplate({{"control.xml", controlFile(controls)},
                  {"lang.xml", languageFile("")},
                  {"images/logo.gif", "GIF89a"},
                  {"images/icons/add.gif", "GIF89b"},
                  {"readme.txt", "read me"},
                  {"license.txt", "license"}});
  }
};

TEST_F(CopyTest, CopyControlsCopyFilesAndFolders) {
  makeCopyTemplate(
      "<control id=\"img\" type=\"copy\" ifolder=\"images\"/>"
      "<control id=\"docs\" type=\"copy\" ifiles=\"readme.txt,license.txt\" ofolder=\"docs\"/>"
      "<control id=\"moved\" type=\"copy\" ifolder=\"/images/icons/\" ofolder=\"~/icons\"/>");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "");
  EXPECT_EQ(read(out() / "images" / "logo.gif"), "GIF89a");
  EXPECT_EQ(read(out() / "images" / "icons" / "add.gif"), "GIF89b");
  EXPECT_EQ(read(out() / "docs" / "readme.txt"), "read me");
  EXPECT_EQ(read(out() / "docs" / "license.txt"), "license");
  EXPECT_EQ(read(root / "root" / "icons" / "add.gif"), "GIF89b");
  EXPECT_TRUE(progress.showed("info", "Copying folder images..."));
  EXPECT_TRUE(progress.showed("info", "Copying file readme.txt..."));
  EXPECT_EQ(summary().filesCopied, 2);
  EXPECT_EQ(summary().foldersCopied, 2);
  // A check counts the targets that exist.
  EXPECT_EQ(Generator(*proj).GenCheck(), 4 + 1);  // and the style sheet
}

TEST_F(CopyTest, ExistingTargetsFollowTheOverwriteRules) {
  makeCopyTemplate(
      "<control id=\"docs\" type=\"copy\" ifiles=\"readme.txt\"/>"
      "<control id=\"lic\" type=\"copy\" ifiles=\"license.txt\" overwrite=\"false\"/>");
  write(out() / "readme.txt", "mine");
  write(out() / "license.txt", "mine");
  RegWrite("HKCU", engine().regGeneral, "BackupFile", kRegString, Variant("True"));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "readme.txt"), "read me");
  EXPECT_EQ(read(out() / "readme.txt.bak"), "mine");
  EXPECT_EQ(read(out() / "license.txt"), "mine");
  proj->setSetting("OtherOverwrite", Variant(false));
  write(out() / "readme.txt", "mine again");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "readme.txt"), "mine again");
}

TEST_F(CopyTest, AMissingSourceFileStopsCopying) {
  makeCopyTemplate(
      "<control id=\"docs\" type=\"copy\" ifiles=\"readme.txt,gone.txt,license.txt\"/>"
      "<control id=\"img\" type=\"copy\" ifolder=\"images\"/>");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: Source file does not exist - \"gone.txt\"! Check if correct template.");
  // Nothing of the control is copied.
  EXPECT_FALSE(fs::exists(out() / "readme.txt"));
  EXPECT_FALSE(fs::exists(out() / "license.txt"));
  EXPECT_FALSE(fs::exists(out() / "images"));
}

TEST_F(CopyTest, AMissingSourceFolderLetsTheOtherCopiesRun) {
  makeCopyTemplate(
      "<control id=\"gone\" type=\"copy\" ifolder=\"scripts\"/>"
      "<control id=\"docs\" type=\"copy\" ifiles=\"readme.txt\"/>");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Tarnwick: Source folder does not exist - \"scripts\\\"! Check if correct template.");
  EXPECT_EQ(read(out() / "readme.txt"), "read me");
}

TEST_F(CopyTest, AFileCannotBeCopiedIntoAFolderTheDestinationLacks) {
  makeCopyTemplate("<control id=\"icon\" type=\"copy\" ifiles=\"images/logo.gif\"/>");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(),
            "Copying to file \"" + out().string() + "/images/logo.gif\" failed (No such file or directory)!");
}

TEST_F(CopyTest, CopiesReplaceFilesWholeAndAFailedCopyLeavesTheOldOnes) {
  makeCopyTemplate(
      "<control id=\"docs\" type=\"copy\" ifiles=\"readme.txt\"/>"
      "<control id=\"img\" type=\"copy\" ifolder=\"images\"/>");
  write(out() / "readme.txt", "old readme");
  write(out() / "images" / "logo.gif", "old logo");
  fs::permissions(out() / "readme.txt", fs::perms(0640));
  // A reader that opened the old files keeps reading them whole: they are
  // replaced by new files, never written over.
  std::ifstream openReadme(out() / "readme.txt", std::ios::binary);
  std::ifstream openLogo(out() / "images" / "logo.gif", std::ios::binary);
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "");
  EXPECT_EQ(read(out() / "readme.txt"), "read me");
  EXPECT_EQ(read(out() / "images" / "logo.gif"), "GIF89a");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(openReadme), {}), "old readme");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(openLogo), {}), "old logo");
  EXPECT_EQ(fs::status(out() / "readme.txt").permissions() & fs::perms::all, fs::perms(0640));

  // A copy that cannot be written whole (the file size limit stands for a
  // full disk) leaves the old file and no temporary file behind.
  write(out() / "readme.txt", "old readme");
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 3;
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  Generator g(*proj);
  g.PrepareWorkFolders("Script");
  ASSERT_TRUE(g.controls().LoadControls((scriptFolder() / "control.xml").string()));
  const int16_t copied = g.CopyControlFiles(false);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(copied, 1);
  EXPECT_EQ(projErr(), "Copying to file \"" + out().string() + "/readme.txt\" failed (File too large)!");
  EXPECT_EQ(read(out() / "readme.txt"), "old readme");
  for (const auto& e : fs::directory_iterator(out()))
    EXPECT_NE(e.path().extension(), ".tmp") << e.path();
}

TEST_F(CopyTest, WhenOneOfTenCopiesOfAControlFailsAllTenStayOld) {
  // A copy control puts all of its files in place or none: the template's
  // parts/part1.txt ... part10.txt replace the destination's only when every
  // one of them could be written. The third is the one that fails: a folder
  // stands where it goes, the template has a folder of its name, or the
  // disk fills (a file size limit stands for it; the third is the big one).
  enum Breakage { TargetIsAFolder, SourceIsAFolder, DiskFull };
  const struct {
    const char* what;
    bool folderControl;
    bool manifest;
    Breakage breakage;
  } cases[] = {
      {"files, a folder where the third goes", false, false, TargetIsAFolder},
      {"files, the third is a folder in the template", false, false, SourceIsAFolder},
      {"files, the disk fills at the third", false, false, DiskFull},
      {"files with a manifest, a folder where the third goes", false, true, TargetIsAFolder},
      {"folder, a folder where the third goes", true, false, TargetIsAFolder},
      {"folder, the third is a folder in the template", true, false, SourceIsAFolder},
      {"folder, the disk fills at the third", true, false, DiskFull},
      {"folder with a manifest, a folder where the third goes", true, true, TargetIsAFolder},
      {"folder with a manifest, the disk fills at the third", true, true, DiskFull},
  };
  const std::string bigThird(100000, '3');
  auto partName = [](int i) { return "part" + std::to_string(i) + ".txt"; };
  auto content = [&](bool fresh, int i) {
    return fresh ? (i == 3 ? bigThird : "new " + std::to_string(i)) : "old " + std::to_string(i);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(out());
    fs::remove_all(workFolder());
    fs::create_directories(out() / "parts");
    generationState().options.manifestPath = c.manifest ? (root / "manifest.txt").string() : "";
    std::string manifest;
    fs::remove(root / "manifest.txt");
    std::string names;
    for (int i = 1; i <= 10; ++i) names += (i > 1 ? ",parts/" : "parts/") + partName(i);
    const std::string control = c.folderControl
                                    ? "<control id=\"parts\" type=\"copy\" ifolder=\"parts/\"/>"
                                    : "<control id=\"parts\" type=\"copy\" ifiles=\"" + names + "\"/>";
    auto templateOf = [&](bool fresh, bool broken) {
      Files files{{"lang.xml", languageFile("")}, {"control.xml", controlFile(control)}};
      for (int i = 1; i <= 10; ++i) {
        if (broken && i == 3)
          files["parts/" + partName(i) + "/inner.txt"] = "a folder";
        else
          files["parts/" + partName(i)] = content(fresh, i);
      }
      return files;
    };
    // Which of the ten hold their old or new bytes, as "o" and "n" ("?" else).
    auto holding = [&] {
      std::string held;
      for (int i = 1; i <= 10; ++i) {
        const fs::path part = out() / "parts" / partName(i);
        const std::string bytes = fs::is_regular_file(part) ? read(part) : "";
        held += bytes == content(false, i) ? 'o' : bytes == content(true, i) ? 'n' : '?';
      }
      return held;
    };
    auto expectParts = [&](bool fresh) { EXPECT_EQ(holding(), std::string(10, fresh ? 'n' : 'o')); };
    // The old files, as an earlier run left them.
    makeTemplate(templateOf(false, false));
    ASSERT_EQ(run(), "");
    ASSERT_EQ(projErr(), "");
    expectParts(false);

    // The new template, unpacked by a run without project-wide output (and
    // without the manifest, which would forget the files it did not write).
    auto unpack = [&](bool broken) {
      fs::remove_all(scriptFolder());
      makeTemplate(templateOf(true, broken));
      proj->setSetting("OtherGen", Variant(false));
      std::swap(generationState().options.manifestPath, manifest);
      ASSERT_EQ(run(), "");
      std::swap(generationState().options.manifestPath, manifest);
      proj->setSetting("OtherGen", Variant(true));
    };
    unpack(c.breakage == SourceIsAFolder);
    const fs::path third = out() / "parts" / partName(3);
    if (c.breakage == TargetIsAFolder) {
      fs::remove(third);
      fs::create_directories(third / "inside");
    }
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    if (c.breakage == DiskFull) {
      struct rlimit small = old;
      small.rlim_cur = bigThird.size() / 2;
      setrlimit(RLIMIT_FSIZE, &small);
    }
    const std::string raised = run();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(raised, "");
    const std::string failed = c.folderControl ? "Copying to folder \"" + (out() / "parts").string() + "\" failed"
                                               : "Copying to file \"" + third.string() + "\" failed";
    EXPECT_THAT(projErr(), ::testing::StartsWith(failed));
    EXPECT_EQ(holding(), c.breakage == TargetIsAFolder ? "oo?ooooooo" : "oooooooooo");
    for (const auto& e : fs::recursive_directory_iterator(root))
      EXPECT_NE(e.path().extension(), ".tmp") << e.path();
    EXPECT_EQ(summary().filesCopied, 0);

    // Mended, the next run replaces all ten.
    if (c.breakage == TargetIsAFolder) {
      fs::remove_all(third);
      write(third, content(false, 3));
    }
    if (c.breakage == SourceIsAFolder) unpack(false);
    ASSERT_EQ(run(), "");
    EXPECT_EQ(projErr(), "");
    expectParts(true);
    EXPECT_EQ(summary().filesCopied, c.folderControl && !c.manifest ? 0 : 10);
  }
  generationState().options.manifestPath.clear();
}

TEST_F(CopyTest, TemporaryFilesThatKilledRunsLeftAreRemovedByTheNextRun) {
  makeTemplate({{"control.xml", controlFile("<control id=\"list\" type=\"table\" ofile=\"list\" oext=\"php\" "
                                            "ifiles=\"list.php\"/>"
                                            "<control id=\"docs\" type=\"copy\" ifiles=\"readme.txt\" "
                                            "ofolder=\"docs\"/>"
                                            "<control id=\"img\" type=\"copy\" ifolder=\"images/\"/>")},
                {"list.php", "page"},
                {"readme.txt", "read me"},
                {"images/logo.gif", "GIF89a"},
                {"images/icons/add.gif", "GIF89b"},
                {"lang.xml", languageFile("")}});
  // What a run killed while writing leaves: temporary copies from before
  // this process started.
  const auto earlier = fs::file_time_type::clock::now() - std::chrono::hours(1);
  auto left = [&](const fs::path& p) {
    write(p, "half");
    fs::last_write_time(p, earlier);
  };
  // A run killed while copying a folder the first time (no manifest names
  // anything in it) leaves the folder with temporary files, in its
  // subfolders too; files merely named like them are the user's.
  const fs::path staleFirstCopy[] = {out() / "images" / "logo.gif.00112233445566ff.tmp",
                                     out() / "images" / "icons" / "add.gif.a0b1c2d3e4f50617.tmp"};
  const fs::path lookAlikes[] = {out() / "images" / "icons" / "add.gif.a0b1c2d3e4f5061g.tmp",
                                 out() / "images" / "logo.gif.tmp",
                                 out() / "images" / "logo.gif.00112233445566FF.tmp"};
  for (const fs::path& p : staleFirstCopy) left(p);
  for (const fs::path& p : lookAlikes) left(p);
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "");
  EXPECT_EQ(read(out() / "images" / "icons" / "add.gif"), "GIF89b");
  for (const fs::path& p : staleFirstCopy) EXPECT_FALSE(fs::exists(p)) << p;
  for (const fs::path& p : lookAlikes) EXPECT_TRUE(fs::exists(p)) << p;

  // The temporary copies of a page and of a copied file.
  const fs::path stalePage = out() / "Orderslist.php.0123456789abcdef.tmp";
  const fs::path staleCopy = out() / "docs" / "readme.txt.fedcba9876543210.tmp";
  left(stalePage);
  left(staleCopy);
  // A writer that is still running holds its temporary file locked; files
  // merely named like temporaries are the user's.
  const fs::path running = out() / "Customerslist.php.00000000000000aa.tmp";
  left(running);
  const int fd = ::open(running.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const fs::path mine[] = {out() / "notes.tmp", out() / "Orderslist.php.0123456789ABCDEF.tmp",
                           out() / "Orderslist.php.0123.tmp"};
  for (const fs::path& p : mine) left(p);

  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "");
  EXPECT_FALSE(fs::exists(stalePage));
  EXPECT_FALSE(fs::exists(staleCopy));
  EXPECT_TRUE(fs::exists(running));
  for (const fs::path& p : mine) EXPECT_TRUE(fs::exists(p)) << p;
  ::close(fd);

  // A folder left alone (it may not be overwritten) is cleaned all the same.
  proj->setSetting("OtherOverwrite", Variant(false));
  write(out() / "images" / "logo.gif", "mine");
  left(staleFirstCopy[1]);
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "images" / "logo.gif"), "mine");
  EXPECT_FALSE(fs::exists(staleFirstCopy[1]));
}

TEST_F(CopyTest, OutputNamesThatClimbOutOfTheDestinationAreRefused) {
  const struct {
    std::string controls;
    std::string shown;
  } cases[] = {
      {"<control id=\"x\" type=\"other\" ifiles=\"readme.txt\" ofile=\"../x\" oext=\"php\"/>", "../x.php"},
      {"<control id=\"x\" type=\"other\" ifiles=\"readme.txt\" ofolder=\"../../y\" ofile=\"y\" oext=\"php\"/>",
       "../../y/y.php"},
      {"<control id=\"x\" type=\"other\" ifiles=\"readme.txt\" ofile=\"z\" oext=\"php/../../z\"/>",
       "z.php/../../z"},
      {"<control id=\"x\" type=\"copy\" ifiles=\"readme.txt\" ofolder=\"../c/\"/>", "../c/readme.txt"},
      {"<control id=\"x\" type=\"copy\" ifolder=\"images\" ofolder=\"..\\c\"/>", "../c/"},
      {"<control id=\"x\" type=\"copy\" ifiles=\"../readme.txt\"/>", "../readme.txt"},
  };
  write(workFolder() / "readme.txt", "beside the template");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.controls);
    fs::remove_all(out());
    fs::remove_all(root / "c");
    makeCopyTemplate(c.controls);
    EXPECT_THAT(run(), ::testing::HasSubstr("would be written outside the destination folder"));
    EXPECT_EQ(raisedNumber, -1);
    EXPECT_THAT(projErr(), ::testing::HasSubstr("Output \""));
    EXPECT_THAT(projErr(), ::testing::HasSubstr(c.shown + "\" would be written outside"));
    for (const char* outside : {"x.php", "y", "z", "c", "readme.txt"})
      EXPECT_FALSE(fs::exists(root / outside)) << outside;
  }
}

TEST_F(CopyTest, AFolderCopiedTheFirstTimeIsNeitherAskedAboutNorBackedUp) {
  makeCopyTemplate("<control id=\"img\" type=\"copy\" ifolder=\"images\" ofolder=\"pictures\"/>");
  RegWrite("HKCU", engine().regGeneral, "BackupFile", kRegString, Variant("True"));
  proj->setSetting("PromptOnOverwrite", Variant(true));
  prompts->answer("overwrite", "Overwrite");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "pictures" / "logo.gif"), "GIF89a");
  EXPECT_FALSE(fs::exists(out() / "pictures.bak"));
  EXPECT_TRUE(prompts->shown().empty());
  EXPECT_EQ(summary().backups, 0);
  // The second time it exists: asked about and backed up.
  write(out() / "pictures" / "logo.gif", "mine");
  prompts->answer("overwrite", "Overwrite");
  ASSERT_EQ(run(), "");
  // The project's style sheet, unchanged, is not asked about.
  ASSERT_EQ(prompts->shown().size(), 1u);
  EXPECT_EQ(prompts->shown()[0].text, "Folder " + out().string() + "\\pictures already exists!");
  EXPECT_EQ(read(out() / "pictures.bak" / "logo.gif"), "mine");
  EXPECT_EQ(read(out() / "pictures" / "logo.gif"), "GIF89a");
}

TEST_F(CopyTest, AFolderCannotBeCopiedWhereAFileOfItsNameIs) {
  makeCopyTemplate(
      "<control id=\"img\" type=\"copy\" ifolder=\"images\" ofolder=\"pictures\"/>"
      "<control id=\"docs\" type=\"copy\" ifiles=\"readme.txt\"/>");
  write(out() / "pictures", "a file, not a folder");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(projErr(), "Copying to folder \"" + out().string() + "/pictures\" failed (Not a directory)!");
  // Copying stopped there.
  EXPECT_FALSE(fs::exists(out() / "readme.txt"));
}

// ---------------------------------------------------------------- style sheets

class StyleSheetTest : public CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    makeCopyTemplate("");
    proj->setSetting("ProjName", Variant("My Project"));
  }
};

TEST_F(StyleSheetTest, TheProjectsStyleSheetRunsTheUsersTemplateAndAddsTheProjectsStyles) {
  write(root / "style.css", "body { font: <!--##=PROJ.ProjName##--> }\r\n");
  RegWrite("HKCU", engine().regGeneral, "CssFile", kRegString, Variant((root / "style.css").string()));
  proj->setSetting("CssStyles", Variant("p { margin: 0 }"));
  proj->setSetting("AppCssFolder", Variant("css"));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "css" / "My_Project.css"), "body { font: My Project }\r\np { margin: 0 }");
}

TEST_F(StyleSheetTest, WithoutAStyleSheetTemplateOnlyTheProjectsStylesAreWritten) {
  RegWrite("HKCU", engine().regGeneral, "CssFile", kRegString, Variant((root / "none.css").string()));
  proj->setSetting("CssStyles", Variant("p {}"));
  proj->setSetting("OutputNameLCase", Variant(true));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "my_project.css"), "p {}");
}

TEST_F(StyleSheetTest, ChartStyleSheetsAreCopiedOnceAndNeverReplaced) {
  write(root / "charts.css", ".chart {}");
  proj->setSetting("AppChartCssFile", Variant((root / "charts.css").string()));
  proj->setSetting("AppCssFolder", Variant("css"));
  AGPChart* sales = table("Orders")->Charts().Add("Sales");
  sales->setSetting("ChartVar", Variant("sales"));
  sales->setSetting("ShowChart", Variant(true));
  sales->setSetting("ChartUseGlobalCss", Variant(false));
  AGPChart* hidden = table("Orders")->Charts().Add("Hidden");
  hidden->setSetting("ChartVar", Variant("hidden"));
  hidden->setSetting("ShowChart", Variant(false));
  AGPChart* global = table("Customers")->Charts().Add("Count");
  global->setSetting("ShowChart", Variant(true));
  global->setSetting("ChartUseGlobalCss", Variant(true));
  write(out() / "css" / "charts.css", "mine");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "css" / "Orderssales.css"), ".chart {}");
  EXPECT_FALSE(fs::exists(out() / "css" / "Ordershidden.css"));
  // The shared chart style sheet was there already and stays as it is.
  EXPECT_EQ(read(out() / "css" / "charts.css"), "mine");
  write(out() / "css" / "Orderssales.css", "edited");
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "css" / "Orderssales.css"), "edited");
}

TEST_F(StyleSheetTest, AnExtraStyleSheetIsCopiedToTheDestinationButNotOntoItself) {
  write(root / "extra.css", "extra");
  proj->setSetting("CSS", Variant((root / "extra.css").string()));
  ASSERT_EQ(run(), "");
  EXPECT_EQ(read(out() / "extra.css"), "extra");
  EXPECT_TRUE(progress.showed("info", "copying css..."));

  proj->setSetting("CSS", Variant(out().string() + "\\extra.css"));
  proj->setSetting("PromptOnOverwrite", Variant(true));
  write(out() / "My_Project.css", "changed");
  prompts->answer("overwrite", "Skip");  // the project's style sheet
  ASSERT_EQ(run(), "");
  // Only the project's own style sheet was asked about.
  EXPECT_EQ(prompts->shown().size(), 1u);
  EXPECT_EQ(read(out() / "extra.css"), "extra");
  EXPECT_EQ(read(out() / "My_Project.css"), "changed");
}

TEST_F(StyleSheetTest, ACheckCountsTheProjectsStyleSheetOnly) {
  Generator g(*proj);
  g.PrepareWorkFolders("Tmp");
  EXPECT_EQ(g.GenerateCssFile(true), 0);
  write(out() / "My_Project.css", "x");
  EXPECT_EQ(g.GenerateCssFile(true), 1);
  EXPECT_EQ(read(out() / "My_Project.css"), "x");
}

TEST_F(StyleSheetTest, TheUploadFolderIsMadeBelowTheApplicationRoot) {
  proj->setSetting("UploadPath", Variant(" ~upload "));
  Generator g(*proj);
  EXPECT_EQ(g.PrepareDestination(true), 0);
  EXPECT_TRUE(fs::is_directory(root / "root" / "upload"));
  proj->setSetting("UploadPath", Variant("files\\incoming"));
  ASSERT_EQ(run(), "");
  EXPECT_TRUE(fs::is_directory(root / "root" / "files" / "incoming"));
}

TEST_F(StyleSheetTest, WithoutAnApplicationRootTheUploadFolderIsMadeInTheDestination) {
  // Never below the folder the run was started in.
  const fs::path started = fs::current_path();
  fs::create_directories(root / "elsewhere");
  fs::current_path(root / "elsewhere");
  const struct {
    std::string appRoot, upload;
    fs::path made;
  } cases[] = {
      {"", "upload", root / "out" / "upload"},
      {"", "~files\\incoming", root / "out" / "files" / "incoming"},
      {"site", "upload", root / "out" / "site" / "upload"},
  };
  for (const auto& c : cases) {
    proj->setSetting("AppRootFolder", Variant(c.appRoot));
    proj->setSetting("UploadPath", Variant(c.upload));
    ASSERT_EQ(run(), "") << c.upload;
    EXPECT_TRUE(fs::is_directory(c.made)) << c.made;
  }
  EXPECT_TRUE(fs::is_empty(root / "elsewhere"));
  fs::current_path(started);
}

TEST_F(StyleSheetTest, WithoutOtherGenThereIsNoProjectWideOutput) {
  proj->setSetting("OtherGen", Variant(false));
  proj->setSetting("UploadPath", Variant("upload"));
  ASSERT_EQ(run(), "");
  EXPECT_FALSE(fs::exists(out() / "My_Project.css"));
  EXPECT_FALSE(fs::exists(root / "root" / "upload"));
}

}  // namespace
}  // namespace tw::testing
