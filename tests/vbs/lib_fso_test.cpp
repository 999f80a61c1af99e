// Scripting.FileSystemObject, File, Folder and TextStream, in a scratch folder
// below TARNWICK_TEST_ROOT.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "vbs/builtins.h"

using namespace tw;
using namespace tw::vbs;
namespace fs = std::filesystem;

namespace {

struct FsoTest : ::testing::Test {
  Ref<Dispatch> fso = createObject("Scripting.FileSystemObject");
  fs::path dir;

  void SetUp() override {
    const char* root = std::getenv("TARNWICK_TEST_ROOT");
    ASSERT_NE(root, nullptr);
    dir = fs::path(root) /
          ("fso-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string at(std::string_view name) const { return (dir / name).string(); }
  // The same path written the Windows way.
  std::string windows(std::string_view name) const {
    std::string p = at(name);
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  static std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void writeBytes(const fs::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
  }
  Ref<Dispatch> obj(const Variant& v) { return Ref<Dispatch>(v.rawObject()); }
  int32_t errorOf(auto&& f) {
    try {
      f();
    } catch (const Error& e) {
      return e.number();
    }
    return 0;
  }
};

TEST_F(FsoTest, WriteAndReadATextFile) {
  Ref<Dispatch> ts = obj(fso->call("CreateTextFile", {at("a.txt")}));
  EXPECT_EQ(ts->typeName(), "TextStream");
  ts->call("Write", {"Hello"});
  ts->call("WriteLine", {" world"});
  ts->call("WriteBlankLines", {1});
  ts->call("WriteLine");
  ts->call("Write", {"\xE2\x82\xAC"});
  ts->call("Close");
  EXPECT_EQ(bytesOf(dir / "a.txt"), "Hello world\r\n\r\n\r\n\xE2\x82\xAC");

  Ref<Dispatch> in = obj(fso->call("OpenTextFile", {at("a.txt")}));
  EXPECT_FALSE(in->get("AtEndOfStream").rawBool());
  EXPECT_EQ(in->call("ReadLine").rawString(), "Hello world");
  EXPECT_EQ(in->get("Line").rawLong(), 2);
  EXPECT_EQ(in->call("ReadLine").rawString(), "");
  in->call("SkipLine");
  EXPECT_EQ(in->call("Read", {1}).rawString(), "\xE2\x82\xAC");
  EXPECT_TRUE(in->get("AtEndOfStream").rawBool());
  EXPECT_EQ(errorOf([&] { in->call("ReadLine"); }), 62);
  EXPECT_EQ(errorOf([&] { in->call("ReadAll"); }), 62);
  in->call("Close");
}

TEST_F(FsoTest, ReadAllReadAndColumns) {
  writeBytes(dir / "b.txt", "ab\ncd");
  Ref<Dispatch> in = obj(fso->call("OpenTextFile", {at("b.txt"), 1}));
  EXPECT_EQ(in->call("Read", {1}).rawString(), "a");
  EXPECT_EQ(in->get("Column").rawLong(), 2);
  EXPECT_FALSE(in->get("AtEndOfLine").rawBool());
  in->call("Skip", {1});
  EXPECT_TRUE(in->get("AtEndOfLine").rawBool());
  EXPECT_EQ(in->call("ReadAll").rawString(), "\ncd");
  EXPECT_EQ(in->get("Line").rawLong(), 2);
  EXPECT_EQ(in->get("Column").rawLong(), 3);
}

TEST_F(FsoTest, AppendAndOverwrite) {
  writeBytes(dir / "c.txt", "one\r\n");
  Ref<Dispatch> ap = obj(fso->call("OpenTextFile", {at("c.txt"), 8}));
  ap->call("WriteLine", {"two"});
  ap->call("Close");
  EXPECT_EQ(bytesOf(dir / "c.txt"), "one\r\ntwo\r\n");
  Ref<Dispatch> wr = obj(fso->call("OpenTextFile", {at("c.txt"), 2}));
  wr->call("Write", {"three"});
  wr->call("Close");
  EXPECT_EQ(bytesOf(dir / "c.txt"), "three");
  EXPECT_EQ(errorOf([&] { wr->call("Write", {"x"}); }), 54);
  Ref<Dispatch> rd = obj(fso->call("OpenTextFile", {at("c.txt")}));
  EXPECT_EQ(errorOf([&] { rd->call("Write", {"x"}); }), 54);
}

TEST_F(FsoTest, OpenTextFileErrorsAndCreate) {
  EXPECT_EQ(errorOf([&] { fso->call("OpenTextFile", {at("missing.txt")}); }), 53);
  EXPECT_EQ(errorOf([&] { fso->call("OpenTextFile", {at("missing.txt"), 2}); }), 53);
  EXPECT_EQ(errorOf([&] { fso->call("OpenTextFile", {at("no/such/dir.txt"), 2, true}); }), 76);
  EXPECT_EQ(errorOf([&] { fso->call("OpenTextFile", {at("x.txt"), 3, true}); }), 5);
  Ref<Dispatch> ts = obj(fso->call("OpenTextFile", {at("new.txt"), 8, true}));
  ts->call("Write", {"x"});
  ts->call("Close");
  EXPECT_EQ(bytesOf(dir / "new.txt"), "x");
}

TEST_F(FsoTest, CreateTextFileOverwriteFlag) {
  writeBytes(dir / "d.txt", "old");
  EXPECT_EQ(errorOf([&] { fso->call("CreateTextFile", {at("d.txt"), false}); }), 58);
  EXPECT_EQ(bytesOf(dir / "d.txt"), "old");
  obj(fso->call("CreateTextFile", {at("d.txt"), true}))->call("Close");
  EXPECT_EQ(bytesOf(dir / "d.txt"), "");
  EXPECT_EQ(errorOf([&] { fso->call("CreateTextFile", {at("nodir/e.txt")}); }), 76);
}

TEST_F(FsoTest, UnicodeFilesAreUtf16WithAMark) {
  Ref<Dispatch> ts = obj(fso->call("CreateTextFile", {at("u.txt"), true, true}));
  ts->call("Write", {"A\xE2\x82\xAC"});
  ts->call("Close");
  EXPECT_EQ(bytesOf(dir / "u.txt"), std::string("\xFF\xFE"
                                                "A\0\xAC\x20",
                                                6));
  EXPECT_EQ(obj(fso->call("OpenTextFile", {at("u.txt")}))->call("ReadAll").rawString(), "A\xE2\x82\xAC");
}

TEST_F(FsoTest, ReadingDecodesMarksAndWindows1252) {
  writeBytes(dir / "bom8.txt", "\xEF\xBB\xBFx");
  EXPECT_EQ(obj(fso->call("OpenTextFile", {at("bom8.txt")}))->call("ReadAll").rawString(), "x");
  writeBytes(dir / "be.txt", std::string("\xFE\xFF\0y", 4));
  EXPECT_EQ(obj(fso->call("OpenTextFile", {at("be.txt")}))->call("ReadAll").rawString(), "y");
  writeBytes(dir / "ansi.txt", "caf\xE9 \x80");
  EXPECT_EQ(obj(fso->call("OpenTextFile", {at("ansi.txt")}))->call("ReadAll").rawString(),
            "caf\xC3\xA9 \xE2\x82\xAC");
  writeBytes(dir / "le.txt", std::string("z\0", 2));
  EXPECT_EQ(obj(fso->call("OpenTextFile", {at("le.txt"), 1, false, -1}))->call("ReadAll").rawString(), "z");
}

TEST_F(FsoTest, ExistsAcceptsBackslashesAndOtherCase) {
  writeBytes(dir / "Mixed.TXT", "m");
  fs::create_directories(dir / "Sub" / "Deep");
  EXPECT_TRUE(fso->call("FileExists", {at("Mixed.TXT")}).rawBool());
  EXPECT_TRUE(fso->call("FileExists", {windows("mixed.txt")}).rawBool());
  EXPECT_TRUE(fso->call("FolderExists", {windows("sub\\DEEP")}).rawBool());
  EXPECT_FALSE(fso->call("FileExists", {at("Sub")}).rawBool());
  EXPECT_FALSE(fso->call("FolderExists", {at("Mixed.TXT")}).rawBool());
  EXPECT_FALSE(fso->call("FileExists", {at("nothing")}).rawBool());
  EXPECT_EQ(obj(fso->call("OpenTextFile", {windows("MIXED.txt")}))->call("ReadAll").rawString(), "m");
}

TEST_F(FsoTest, GetFileProperties) {
  writeBytes(dir / "f.php", "12345");
  Ref<Dispatch> f = obj(fso->call("GetFile", {at("f.php")}));
  EXPECT_EQ(f->typeName(), "File");
  EXPECT_EQ(f->get("Name").rawString(), "f.php");
  EXPECT_EQ(f->get("Path").rawString(), fs::absolute(dir / "f.php").string());
  EXPECT_EQ(f->get("Size").rawLong(), 5);
  Variant modified = f->get("DateLastModified");
  EXPECT_EQ(modified.type(), vtDate);
  EXPECT_GT(modified.rawDate(), 40000.0);  // after 2009
  EXPECT_EQ(obj(f->get("ParentFolder"))->get("Path").rawString(), fs::absolute(dir).string());
  std::vector<Variant> none;
  EXPECT_EQ(f->invoke(kDispIdValue, kInvokeGet, none).rawString(), f->get("Path").rawString());
  EXPECT_EQ(errorOf([&] { fso->call("GetFile", {at("nope.php")}); }), 53);
  EXPECT_EQ(errorOf([&] { fso->call("GetFolder", {at("nope")}); }), 76);
}

TEST_F(FsoTest, FolderCollections) {
  fs::create_directories(dir / "beta");
  fs::create_directories(dir / "Alpha");
  writeBytes(dir / "b.txt", "bb");
  writeBytes(dir / "A.txt", "a");
  Ref<Dispatch> folder = obj(fso->call("GetFolder", {at("")}));
  EXPECT_EQ(folder->typeName(), "Folder");
  Ref<Dispatch> files = obj(folder->get("Files"));
  EXPECT_EQ(files->typeName(), "Files");
  EXPECT_EQ(files->get("Count").rawLong(), 2);
  std::vector<std::string> names;
  Ref<Enumerator> e = files->newEnum();
  Variant item;
  while (e->next(item)) names.emplace_back(obj(item)->get("Name").rawString());
  EXPECT_EQ(names, (std::vector<std::string>{"A.txt", "b.txt"}));
  EXPECT_EQ(obj(files->get("Item", {"B.TXT"}))->get("Size").rawLong(), 2);
  EXPECT_EQ(obj(folder->get("Files", {"a.txt"}))->get("Name").rawString(), "A.txt");  // folder.Files("a.txt")
  Ref<Dispatch> subs = obj(folder->get("SubFolders"));
  EXPECT_EQ(subs->typeName(), "Folders");
  EXPECT_EQ(subs->get("Count").rawLong(), 2);
  names.clear();
  e = subs->newEnum();
  while (e->next(item)) names.emplace_back(obj(item)->get("Name").rawString());
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta"}));
  obj(subs->call("Add", {"gamma"}));
  EXPECT_TRUE(fs::is_directory(dir / "gamma"));
  EXPECT_EQ(folder->get("Size").rawLong(), 3);
}

TEST_F(FsoTest, CreateAndDeleteFolders) {
  Ref<Dispatch> f = obj(fso->call("CreateFolder", {at("made")}));
  EXPECT_TRUE(fs::is_directory(dir / "made"));
  EXPECT_EQ(f->get("Name").rawString(), "made");
  EXPECT_EQ(errorOf([&] { fso->call("CreateFolder", {at("made")}); }), 58);
  EXPECT_EQ(errorOf([&] { fso->call("CreateFolder", {at("no/parent")}); }), 76);
  writeBytes(dir / "made" / "inner.txt", "x");
  fso->call("DeleteFolder", {at("made")});
  EXPECT_FALSE(fs::exists(dir / "made"));
  EXPECT_EQ(errorOf([&] { fso->call("DeleteFolder", {at("made")}); }), 76);
}

TEST_F(FsoTest, CopyMoveAndDeleteFiles) {
  writeBytes(dir / "src.txt", "data");
  fs::create_directories(dir / "out");
  fso->call("CopyFile", {at("src.txt"), at("copy.txt")});
  EXPECT_EQ(bytesOf(dir / "copy.txt"), "data");
  fso->call("CopyFile", {at("src.txt"), windows("out") + "\\"});
  EXPECT_EQ(bytesOf(dir / "out" / "src.txt"), "data");
  EXPECT_EQ(errorOf([&] { fso->call("CopyFile", {at("src.txt"), at("copy.txt"), false}); }), 58);
  EXPECT_EQ(errorOf([&] { fso->call("CopyFile", {at("none.txt"), at("x.txt")}); }), 53);
  fso->call("MoveFile", {at("copy.txt"), at("moved.txt")});
  EXPECT_FALSE(fs::exists(dir / "copy.txt"));
  EXPECT_EQ(bytesOf(dir / "moved.txt"), "data");
  EXPECT_EQ(errorOf([&] { fso->call("MoveFile", {at("src.txt"), at("moved.txt")}); }), 58);
  fso->call("DeleteFile", {at("moved.txt")});
  EXPECT_FALSE(fs::exists(dir / "moved.txt"));
  EXPECT_EQ(errorOf([&] { fso->call("DeleteFile", {at("moved.txt")}); }), 53);
}

TEST_F(FsoTest, WildcardsAndFolderCopies) {
  writeBytes(dir / "a.log", "1");
  writeBytes(dir / "b.log", "2");
  writeBytes(dir / "c.txt", "3");
  fs::create_directories(dir / "logs");
  fso->call("CopyFile", {at("*.log"), at("logs")});
  EXPECT_TRUE(fs::exists(dir / "logs" / "a.log"));
  EXPECT_TRUE(fs::exists(dir / "logs" / "b.log"));
  EXPECT_FALSE(fs::exists(dir / "logs" / "c.txt"));
  fso->call("DeleteFile", {at("?.LOG")});
  EXPECT_FALSE(fs::exists(dir / "a.log"));
  EXPECT_TRUE(fs::exists(dir / "c.txt"));
  fso->call("CopyFolder", {at("logs"), at("backup")});
  EXPECT_EQ(bytesOf(dir / "backup" / "b.log"), "2");
  EXPECT_EQ(errorOf([&] { fso->call("CopyFolder", {at("nologs"), at("x")}); }), 76);
}

TEST_F(FsoTest, PathFunctions) {
  auto text = [&](const char* member, std::vector<Variant> args) {
    return std::string(fso->call(member, std::move(args)).rawString());
  };
  EXPECT_EQ(text("GetFileName", {"C:\\web\\site\\index.php"}), "index.php");
  EXPECT_EQ(text("GetFileName", {"/srv/site/"}), "site");
  EXPECT_EQ(text("GetBaseName", {"C:\\web\\page.inc.php"}), "page.inc");
  EXPECT_EQ(text("GetBaseName", {"README"}), "README");
  EXPECT_EQ(text("GetExtensionName", {"C:\\web\\page.inc.php"}), "php");
  EXPECT_EQ(text("GetExtensionName", {"README"}), "");
  EXPECT_EQ(text("GetParentFolderName", {"C:\\web\\site\\index.php"}), "C:\\web\\site");
  EXPECT_EQ(text("GetParentFolderName", {"/srv/site"}), "/srv");
  EXPECT_EQ(text("GetParentFolderName", {"index.php"}), "");
  EXPECT_EQ(text("BuildPath", {"out\\pages", "a.php"}), "out\\pages\\a.php");
  EXPECT_EQ(text("BuildPath", {"out\\", "a.php"}), "out\\a.php");
  EXPECT_EQ(text("BuildPath", {"/srv/out", "a.php"}), "/srv/out/a.php");
  EXPECT_EQ(text("GetAbsolutePathName", {at("x/../y.txt")}), fs::absolute(dir / "y.txt").string());
  std::string temp = text("GetTempName", {});
  EXPECT_EQ(temp.size(), 12u);
  EXPECT_EQ(temp.substr(0, 3), "rad");
  EXPECT_EQ(temp.substr(8), ".tmp");
}

TEST_F(FsoTest, ReadOnlyFilesNeedForce) {
  writeBytes(dir / "ro.txt", "r");
  Ref<Dispatch> f = obj(fso->call("GetFile", {at("ro.txt")}));
  f->put("Attributes", Variant(1));
  EXPECT_EQ(f->get("Attributes").rawLong() & 1, 1);
  EXPECT_EQ(errorOf([&] { fso->call("DeleteFile", {at("ro.txt")}); }), 70);
  EXPECT_EQ(errorOf([&] { fso->call("CreateTextFile", {at("ro.txt"), true}); }), 70);
  EXPECT_TRUE(fs::exists(dir / "ro.txt"));
  fso->call("DeleteFile", {at("ro.txt"), true});
  EXPECT_FALSE(fs::exists(dir / "ro.txt"));
}

TEST_F(FsoTest, SpecialFolderAndStreamModes) {
  Ref<Dispatch> temp = obj(fso->call("GetSpecialFolder", {2}));
  EXPECT_TRUE(fs::is_directory(std::string(temp->get("Path").rawString())));
  EXPECT_EQ(errorOf([&] { fso->call("GetSpecialFolder", {3}); }), 5);
  Ref<Dispatch> out = obj(fso->call("CreateTextFile", {at("w.txt")}));
  EXPECT_EQ(errorOf([&] { out->get("AtEndOfStream"); }), 54);
  EXPECT_EQ(errorOf([&] { out->call("ReadLine"); }), 54);
  out->call("Write", {"a"
                      "\n"
                      "b"});
  EXPECT_EQ(out->get("Line").rawLong(), 2);
  EXPECT_EQ(out->get("Column").rawLong(), 2);
}

TEST_F(FsoTest, FileObjectMembers) {
  writeBytes(dir / "old.txt", "1");
  Ref<Dispatch> f = obj(fso->call("GetFile", {at("old.txt")}));
  f->put("Name", Variant("new.txt"));
  EXPECT_TRUE(fs::exists(dir / "new.txt"));
  EXPECT_EQ(f->get("Name").rawString(), "new.txt");
  f->call("Copy", {at("copied.txt")});
  EXPECT_TRUE(fs::exists(dir / "copied.txt"));
  Ref<Dispatch> ts = obj(f->call("OpenAsTextStream", {2}));
  ts->call("Write", {"22"});
  ts->call("Close");
  EXPECT_EQ(bytesOf(dir / "new.txt"), "22");
  f->call("Delete");
  EXPECT_FALSE(fs::exists(dir / "new.txt"));
}

}  // namespace
