// The control file: loading controls and sessions with their attributes and
// defaults, the document element rule, and the merge helpers extensions use.
#include "script/control.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/engine_context.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const char* const kLoadFailed =
    "Tarnwick: Load control file failed! Please check if the correct template file is in use!";
const char* const kInvalid =
    "Tarnwick: Control file is invalid! Please check if the correct template file is in use!";

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { resetEngine(); }
  void TearDown() override { resetEngine(); }
  bool load(const std::string& xml) { return controls_.LoadControlsFromBytes(xml); }
  AGPControls controls_;
};

TEST_F(ControlsTest, EveryAttributeOfControlsAndSessions) {
  ASSERT_TRUE(load(R"(<?xml version="1.0"?>
<TarnwickTemplate date="2026-01-02" version="1.2" desc="Demo &amp; more" author="Ann">
  <!-- a comment is not a control -->
  <other id="ignored"/>
  <control id="list" type="table" ofile="x_list" ofilecompat="xlist" oext="php" ofolder="/a/b"
           ifiles="list.php,common.php" ifolder="x\" cond="TblGen" tagext="v" parm="p=1"
           space="false" extension="ext1" action="add" overwrite="0" unknown="u">
    <session type="key" value="header" parm="sp" ifile="common.php" cond="c1"
             extension="e" action="change" location="footer" loctype="after" other="o"/>
    <session value="footer"/>
  </control>
  <control id="view"/>
</TarnwickTemplate>)"));
  EXPECT_EQ(engine().projErr, "");
  EXPECT_EQ(controls_.ProdDate(), "2026-01-02");
  EXPECT_EQ(controls_.ProdVersion(), "1.2");
  EXPECT_EQ(controls_.ProdDesc(), "Demo & more");
  EXPECT_EQ(controls_.ProdAuthor(), "Ann");
  ASSERT_EQ(controls_.Count(), 2);

  const AGPControl& c = *controls_.Item(1);
  EXPECT_EQ(c.CtrlID, "list");
  EXPECT_EQ(c.CtrlType, "table");
  EXPECT_EQ(c.CtrlOFile, "x_list");
  EXPECT_EQ(c.CtrlOFileCompat, "xlist");
  EXPECT_EQ(c.CtrlOExt, "php");
  EXPECT_EQ(c.CtrlOFolder, "a\\b\\");
  EXPECT_EQ(c.CtrlIFiles, "list.php,common.php");
  EXPECT_EQ(c.CtrlIFolder, "x\\");
  EXPECT_EQ(c.CtrlCond, "TblGen");
  EXPECT_EQ(c.CtrlTagExt, "v");
  EXPECT_EQ(c.CtrlParm, "p=1");
  EXPECT_FALSE(c.CtrlSpace);
  EXPECT_EQ(c.CtrlExt, "ext1");
  EXPECT_EQ(c.CtrlAction, "add");
  EXPECT_FALSE(c.CtrlOverwrite);
  EXPECT_FALSE(c.CtrlGen);

  AGPSessions& sessions = controls_.Item(1)->Sessions();
  ASSERT_EQ(sessions.Count(), 2);
  const AGPSession& s = *sessions.Item(1);
  EXPECT_EQ(s.SessType, "key");
  EXPECT_EQ(s.SessValue, "header");
  EXPECT_EQ(s.SessParm, "sp");
  EXPECT_EQ(s.SessIFile, "common.php");
  EXPECT_EQ(s.SessCond, "c1");
  EXPECT_EQ(s.SessExt, "e");
  EXPECT_EQ(s.SessAction, "change");
  EXPECT_EQ(s.SessLocation, "footer");
  EXPECT_EQ(s.SessLocType, "after");
  EXPECT_EQ(sessions.Item(2)->SessValue, "footer");
  EXPECT_EQ(sessions.Item(2)->SessType, "");

  const AGPControl& plain = *controls_.Item(2);
  EXPECT_EQ(plain.CtrlID, "view");
  EXPECT_TRUE(plain.CtrlSpace);
  EXPECT_TRUE(plain.CtrlOverwrite);
  EXPECT_EQ(plain.CtrlOFolder, "");
  EXPECT_EQ(controls_.Item(2)->Sessions().Count(), 0);
}

TEST_F(ControlsTest, NamesOfElementsAndAttributesIgnoreCase) {
  ASSERT_TRUE(load(R"(<TARNWICKtemplate VERSION="9"><CONTROL ID="a" OFILE="out" Space="FALSE">
      <Session VALUE="s"/></CONTROL><Control id="b"/></TARNWICKtemplate>)"));
  ASSERT_EQ(controls_.Count(), 2);
  EXPECT_EQ(controls_.Item(1)->CtrlID, "a");
  EXPECT_EQ(controls_.Item(1)->CtrlOFile, "out");
  EXPECT_FALSE(controls_.Item(1)->CtrlSpace);
  EXPECT_EQ(controls_.Item(1)->Sessions().Item(1)->SessValue, "s");
  // The document element's attributes are read by their exact names.
  EXPECT_EQ(controls_.ProdVersion(), "");
}

TEST_F(ControlsTest, DocumentElementMustStartWithTheProductKey) {
  EXPECT_TRUE(load("<TarnwickTemplate/>"));
  EXPECT_TRUE(load("<tarnwick version='1.0'/>"));
  EXPECT_TRUE(load("<TARNWICK.controls/>"));
  EXPECT_EQ(engine().projErr, "");
  for (const char* bad : {"<Template/>", "<Tarnwic/>", "<XTarnwick/>"}) {
    resetEngine();
    EXPECT_FALSE(load(bad)) << bad;
    EXPECT_EQ(engine().projErr, kInvalid) << bad;
  }
}

TEST_F(ControlsTest, UnreadableFilesFail) {
  EXPECT_FALSE(load("<TarnwickTemplate><control id='a'></TarnwickTemplate>"));
  EXPECT_EQ(engine().projErr, kLoadFailed);
  resetEngine();
  EXPECT_FALSE(load(""));
  EXPECT_EQ(engine().projErr, kLoadFailed);
  resetEngine();
  EXPECT_FALSE(controls_.LoadControls("/nonexistent/control.xml"));
  EXPECT_EQ(engine().projErr, kLoadFailed);
}

TEST_F(ControlsTest, ReloadingReplacesControlsUnlessTheFileIsUnreadable) {
  ASSERT_TRUE(load("<TarnwickTemplate><control id='a'/><control id='b'/></TarnwickTemplate>"));
  EXPECT_FALSE(load("<TarnwickTemplate>"));
  EXPECT_EQ(controls_.Count(), 2);  // a parse failure leaves the collection alone
  ASSERT_TRUE(load("<TarnwickTemplate><control id='c'/></TarnwickTemplate>"));
  ASSERT_EQ(controls_.Count(), 1);
  EXPECT_EQ(controls_.Item(1)->CtrlID, "c");
  EXPECT_FALSE(load("<Other><control id='d'/></Other>"));
  EXPECT_EQ(controls_.Count(), 0);  // emptied before the document element is checked
}

TEST_F(ControlsTest, MissingVersionLoadsWithAnEmptyVersion) {
  ASSERT_TRUE(load("<TarnwickTemplate date='d' desc='x'><control id='a'/></TarnwickTemplate>"));
  EXPECT_EQ(controls_.ProdVersion(), "");
  EXPECT_EQ(controls_.ProdAuthor(), "");
  EXPECT_EQ(controls_.ProdDate(), "d");
  EXPECT_EQ(controls_.Count(), 1);
}

TEST_F(ControlsTest, BooleanAttributes) {
  struct Case {
    const char* text;
    bool expected;
  };
  // Boolean words in any case and numbers (0 is false); other text keeps the
  // default, which is True.
  for (Case c : {Case{"false", false}, Case{"FALSE", false}, Case{"False", false}, Case{"0", false},
                 Case{"true", true}, Case{"TRUE", true}, Case{"-1", true}, Case{"1", true}, Case{"2.5", true},
                 Case{"yes", true}, Case{"no", true}, Case{"", true}}) {
    std::string xml = std::string("<TarnwickTemplate><control id='a' space='") + c.text + "' overwrite='" +
                      c.text + "'/></TarnwickTemplate>";
    ASSERT_TRUE(load(xml));
    EXPECT_EQ(controls_.Item(1)->CtrlSpace, c.expected) << c.text;
    EXPECT_EQ(controls_.Item(1)->CtrlOverwrite, c.expected) << c.text;
  }
}

TEST(FolderForm, SeparatorsBecomeBackslashesWithOneAtTheEnd) {
  EXPECT_EQ(AGPControl::FolderForm("/images"), "images\\");
  EXPECT_EQ(AGPControl::FolderForm("css/sub/"), "css\\sub\\");
  EXPECT_EQ(AGPControl::FolderForm("/a/b"), "a\\b\\");
  EXPECT_EQ(AGPControl::FolderForm("x\\"), "x\\");
  EXPECT_EQ(AGPControl::FolderForm("\\x"), "x\\");
  EXPECT_EQ(AGPControl::FolderForm("a"), "a\\");
  // Only one leading separator goes.
  EXPECT_EQ(AGPControl::FolderForm("//a"), "\\a\\");
  // Empty and single separators give no folder.
  EXPECT_EQ(AGPControl::FolderForm(""), "");
  EXPECT_EQ(AGPControl::FolderForm("/"), "");
  EXPECT_EQ(AGPControl::FolderForm("\\"), "");
}

TEST_F(ControlsTest, ItemSetsTheCurrentIndex) {
  ASSERT_TRUE(load("<TarnwickTemplate><control id='a'/><control id='b'/></TarnwickTemplate>"));
  EXPECT_EQ(controls_.curIndex(), 0);
  ASSERT_NE(controls_.Item(2), nullptr);
  EXPECT_EQ(controls_.curIndex(), 2);
  EXPECT_EQ(controls_.Item(0), nullptr);
  EXPECT_EQ(controls_.Item(3), nullptr);
  EXPECT_EQ(controls_.curIndex(), 2);
  EXPECT_EQ(controls_.Item(1)->CtrlID, "a");
  EXPECT_EQ(controls_.curIndex(), 1);
}

TEST_F(ControlsTest, LoadsFromAFileInAnyEncoding) {
  const char* root = std::getenv("TARNWICK_TEST_ROOT");
  ASSERT_NE(root, nullptr);
  fs::path dir = fs::path(root) / "controls";
  fs::create_directories(dir);
  // An "ANSI" file: é is the single byte 0xE9.
  std::ofstream(dir / "ansi.xml", std::ios::binary)
      << "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><TarnwickTemplate><control "
         "id=\"caf\xE9\"/></TarnwickTemplate>";
  ASSERT_TRUE(controls_.LoadControls((dir / "ansi.xml").string()));
  EXPECT_EQ(controls_.Item(1)->CtrlID, "caf\xC3\xA9");
  // UTF-16 with its byte order mark.
  std::string text = "<TarnwickTemplate><control id=\"\xE2\x82\xAC\"/></TarnwickTemplate>";
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0xE2) {  // the euro sign, U+20AC
      utf16 += std::string("\xAC\x20", 2);
      i += 2;
    } else {
      utf16 += static_cast<char>(c);
      utf16 += '\0';
    }
  }
  std::ofstream(dir / "Control.XML", std::ios::binary) << utf16;
  // Found whatever the letter case of the name, as on Windows.
  ASSERT_TRUE(controls_.LoadControls((dir / "control.xml").string()));
  EXPECT_EQ(controls_.Item(1)->CtrlID, "\xE2\x82\xAC");
}

// ---- Merging

Ref<AGPSession> session(const std::string& value, const std::string& ifile = "",
                        const std::string& cond = "") {
  auto s = makeRef<AGPSession>();
  s->SessValue = value;
  s->SessIFile = ifile;
  s->SessCond = cond;
  return s;
}

std::string order(const AGPSessions& sessions) {
  std::string out;
  for (int32_t i = 1; i <= sessions.Count(); ++i) out += sessions.Item(i)->SessValue;
  return out;
}

class SessionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* v : {"A", "B", "C"}) ASSERT_TRUE(abc_->AddSession(*session(v), "", ""));
    ASSERT_EQ(order(*abc_), "ABC");
  }
  Ref<AGPSessions> abc_ = makeRef<AGPSessions>();
};

TEST_F(SessionsTest, PlacementByLocation) {
  struct Case {
    const char* loc;
    const char* loctype;
    const char* expected;
  };
  for (Case c : {Case{"A", "after", "AXBC"}, Case{"A", "", "XABC"}, Case{"B", "", "AXBC"},
                 Case{"C", "", "ABCX"}, Case{"B", "after", "ABCX"}, Case{"C", "after", "ABCX"},
                 Case{"Z", "", "ABCX"}, Case{"Z", "after", "ABCX"}, Case{"", "", "ABCX"},
                 Case{"a", "", "ABCX"}, Case{"A", "AFTER", "XABC"}}) {
    auto sessions = makeRef<AGPSessions>();
    for (const char* v : {"A", "B", "C"}) sessions->AddSession(*session(v), "", "");
    ASSERT_TRUE(sessions->AddSession(*session("X"), c.loc, c.loctype));
    EXPECT_EQ(order(*sessions), c.expected) << "loc=" << c.loc << " loctype=" << c.loctype;
  }
}

TEST(SessionsPlacement, SmallCollections) {
  auto sessions = makeRef<AGPSessions>();
  ASSERT_TRUE(sessions->AddSession(*session("A"), "A", ""));  // no session yet: appended
  // With one session its own position is the last one: appended.
  ASSERT_TRUE(sessions->AddSession(*session("B"), "A", ""));
  EXPECT_EQ(order(*sessions), "AB");
  ASSERT_TRUE(sessions->AddSession(*session("C"), "A", ""));
  EXPECT_EQ(order(*sessions), "CAB");
}

TEST_F(SessionsTest, DuplicateValuesAreRefused) {
  EXPECT_FALSE(abc_->AddSession(*session("B"), "A", ""));
  EXPECT_EQ(order(*abc_), "ABC");
  // Values compare exactly: another letter case is another session.
  EXPECT_TRUE(abc_->SessionExist("B"));
  EXPECT_FALSE(abc_->SessionExist("b"));
  EXPECT_TRUE(abc_->AddSession(*session("b"), "", ""));
}

// What a session is made of is copied, where the merge put it is not.
TEST_F(SessionsTest, AddCopiesSomeFieldsOnly) {
  AGPSession s;
  s.SessType = "t";
  s.SessValue = "X";
  s.SessParm = "p";
  s.SessIFile = "f.php";
  s.SessCond = "c";
  s.SessExt = "e";
  s.SessAction = "a";
  s.SessLocation = "A";
  s.SessLocType = "after";
  ASSERT_TRUE(abc_->AddSession(s, "", ""));
  const AGPSession& added = *abc_->Item(4);
  EXPECT_NE(&added, &s);
  EXPECT_EQ(added.SessType, "t");
  EXPECT_EQ(added.SessValue, "X");
  EXPECT_EQ(added.SessIFile, "f.php");
  EXPECT_EQ(added.SessCond, "c");
  EXPECT_EQ(added.SessExt, "e");
  EXPECT_EQ(added.SessAction, "a");
  EXPECT_EQ(added.SessParm, "p");  // the session an include session names
  EXPECT_EQ(added.SessLocation, "");
  EXPECT_EQ(added.SessLocType, "");
}

TEST_F(SessionsTest, ChangeKeepsEmptyInputFileAndCondition) {
  AGPSession& b = *abc_->Item(2);
  b.SessIFile = "old.php";
  b.SessCond = "old";
  b.SessExt = "e0";
  b.SessAction = "a0";
  AGPSession change;
  change.SessValue = "ignored";
  ASSERT_TRUE(abc_->ChangeSession("B", change));
  EXPECT_EQ(b.SessIFile, "old.php");
  EXPECT_EQ(b.SessCond, "old");
  EXPECT_EQ(b.SessExt, "");  // always replaced
  EXPECT_EQ(b.SessAction, "");
  EXPECT_EQ(b.SessValue, "B");
  change.SessIFile = "new.php";
  change.SessCond = "new";
  change.SessExt = "e1";
  change.SessAction = "a1";
  ASSERT_TRUE(abc_->ChangeSession("B", change));
  EXPECT_EQ(b.SessIFile, "new.php");
  EXPECT_EQ(b.SessCond, "new");
  EXPECT_EQ(b.SessExt, "e1");
  EXPECT_EQ(b.SessAction, "a1");
  EXPECT_FALSE(abc_->ChangeSession("Z", change));
}

TEST_F(SessionsTest, Delete) {
  EXPECT_TRUE(abc_->DeleteSession("B"));
  EXPECT_EQ(order(*abc_), "AC");
  EXPECT_FALSE(abc_->DeleteSession("B"));
  EXPECT_FALSE(abc_->DeleteSession("a"));
  EXPECT_EQ(abc_->Item(3), nullptr);
  EXPECT_EQ(abc_->Item(0), nullptr);
}

TEST_F(SessionsTest, LoadAppendsToTheSessionsHeld) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string("<control><session value='D'/><x value='no'/><SESSION value='E'/></control>"));
  abc_->Load(doc.document_element());
  EXPECT_EQ(order(*abc_), "ABCDE");
}

TEST_F(ControlsTest, AddControlCopiesTheControlAndItsSessions) {
  ASSERT_TRUE(load("<TarnwickTemplate><control id='main'/></TarnwickTemplate>"));
  AGPControls ext;
  ASSERT_TRUE(ext.LoadControlsFromBytes(R"(<TarnwickTemplate>
      <control id="extra" type="t" ofile="o" ofilecompat="oc" oext="e" ofolder="of" ifiles="i" ifolder="if"
               cond="c" tagext="te" parm="p" space="0" extension="myext" action="add" overwrite="0">
        <session value="s1" parm="sp" extension="other"/><session value="s2"/>
      </control></TarnwickTemplate>)"));
  AGPControl& source = *ext.Item(1);
  source.CtrlGen = true;
  ASSERT_TRUE(controls_.AddControl(source));
  ASSERT_EQ(controls_.Count(), 2);
  AGPControl& added = *controls_.Item(2);
  EXPECT_NE(&added, &source);
  EXPECT_EQ(added.CtrlID, "extra");
  EXPECT_EQ(added.CtrlType, "t");
  EXPECT_EQ(added.CtrlOFile, "o");
  EXPECT_EQ(added.CtrlOFileCompat, "oc");
  EXPECT_EQ(added.CtrlOExt, "e");
  EXPECT_EQ(added.CtrlOFolder, "of\\");
  EXPECT_EQ(added.CtrlIFiles, "i");
  EXPECT_EQ(added.CtrlIFolder, "if\\");
  EXPECT_EQ(added.CtrlCond, "c");
  EXPECT_EQ(added.CtrlTagExt, "te");
  EXPECT_EQ(added.CtrlParm, "p");
  EXPECT_FALSE(added.CtrlSpace);
  EXPECT_EQ(added.CtrlExt, "myext");
  EXPECT_EQ(added.CtrlAction, "add");
  EXPECT_FALSE(added.CtrlOverwrite);
  EXPECT_FALSE(added.CtrlGen);  // not copied
  ASSERT_EQ(added.Sessions().Count(), 2);
  EXPECT_EQ(added.Sessions().Item(1)->SessValue, "s1");
  EXPECT_EQ(added.Sessions().Item(1)->SessExt, "myext");  // the control's extension
  EXPECT_EQ(added.Sessions().Item(1)->SessParm, "sp");
  EXPECT_EQ(added.Sessions().Item(2)->SessExt, "myext");
  EXPECT_NE(added.Sessions().Item(1), source.Sessions().Item(1));

  // A control with an id already there is refused.
  EXPECT_FALSE(controls_.AddControl(source));
  EXPECT_EQ(controls_.Count(), 2);
}

TEST_F(ControlsTest, ControlExistAndDelete) {
  ASSERT_TRUE(
      load("<TarnwickTemplate><control id='a'/><control id='b'/><control id='c'/></TarnwickTemplate>"));
  EXPECT_TRUE(controls_.ControlExist("b"));
  EXPECT_FALSE(controls_.ControlExist("B"));
  EXPECT_FALSE(controls_.DeleteControl("B"));
  EXPECT_TRUE(controls_.DeleteControl("b"));
  ASSERT_EQ(controls_.Count(), 2);
  EXPECT_EQ(controls_.Item(1)->CtrlID, "a");
  EXPECT_EQ(controls_.Item(2)->CtrlID, "c");
  EXPECT_FALSE(controls_.DeleteControl("b"));
}

// ---- Reached by name from scripts

TEST_F(ControlsTest, ScriptsReachControlsAndSessionsByName) {
  Ref<AGPControls> controls = makeRef<AGPControls>();
  ASSERT_TRUE(controls->LoadControlsFromBytes(
      "<TarnwickTemplate version='1.0'><control id='a' space='false'><session value='s'/><session value='t'/>"
      "</control><control id='b'/></TarnwickTemplate>"));
  // Controls(2).CtrlID: Item is the default member.
  std::vector<Variant> args{Variant(2)};
  Variant second = controls->invoke(kDispIdValue, kInvokeGet | kInvokeMethod, args);
  ASSERT_TRUE(second.isObject());
  EXPECT_EQ(second.rawObject()->get("ctrlid").toString(), "b");
  EXPECT_EQ(controls->get("CURINDEX").toLong(), 2);
  EXPECT_EQ(controls->get("prodversion").toString(), "1.0");
  EXPECT_EQ(controls->call("Count").toLong(), 2);
  EXPECT_TRUE(controls->call("Item", {Variant(9)}).isNothing());

  Dispatch* first = controls->call("item", {Variant(1)}).rawObject();
  EXPECT_FALSE(first->get("CtrlSpace").toBool());
  first->put("CtrlSpace", Variant(true));
  EXPECT_EQ(first->get("CtrlSpace").type(), vtBoolean);
  EXPECT_TRUE(first->get("CtrlSpace").toBool());
  // CTRL.Sessions.Count and CTRL.Sessions(2).SessValue.
  Dispatch* sessions = first->get("Sessions").rawObject();
  EXPECT_EQ(sessions->call("count").toLong(), 2);
  std::vector<Variant> two{Variant(2)};
  EXPECT_EQ(sessions->invoke(kDispIdValue, kInvokeGet | kInvokeMethod, two)
                .rawObject()
                ->get("SessValue")
                .toString(),
            "t");
  Variant s = sessions->call("Item", {Variant(1)});
  EXPECT_TRUE(sessions->call("AddSession", {s, Variant("s"), Variant("")}).toBool() == false);

  EXPECT_TRUE(controls->call("ControlExist", {Variant("a")}).toBool());
  EXPECT_THROW(controls->call("AddControl", {Variant(sessions)}), Error);
  EXPECT_TRUE(controls->call("DeleteControl", {Variant("a")}).toBool());
  EXPECT_EQ(controls->call("Count").toLong(), 1);
}

}  // namespace
}  // namespace tw
