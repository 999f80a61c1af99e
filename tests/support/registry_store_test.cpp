#include "support/registry_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/expect_error.h"
#include "tarnwick/version.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t HKCU = kRootCurrentUser;
constexpr uint32_t HKLM = kRootLocalMachine;

// A fresh folder below the test binary's temporary root.
fs::path freshDir(const std::string& name) {
  static int counter = 0;
  const char* root = std::getenv("TARNWICK_TEST_ROOT");
  fs::path dir = fs::path(root ? root : "/tmp") /
                 ("store-" + name + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
  fs::create_directories(dir);
  return dir;
}

void writeFile(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::vector<uint8_t> bytesOf(const Variant& v) {
  std::vector<uint8_t> out;
  if (!v.isArray()) return out;
  for (const Variant& e : v.rawArray()->data) out.push_back(e.rawByte());
  return out;
}

Variant byteArray(std::vector<uint8_t> bytes) {
  std::vector<Variant> items;
  for (uint8_t b : bytes) items.push_back(Variant::byte(b));
  return Variant::array(std::move(items), vtByte);
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = freshDir("user");
    store_ = std::make_unique<RegistryStore>((dir_ / "reg.sqlite").string(), (dir_ / "machine.txt").string());
  }
  std::string text(const std::string& section, const std::string& name) {
    auto v = store_->readValue(HKCU, section, name);
    EXPECT_TRUE(v.has_value()) << section << " / " << name;
    return v ? std::string(v->value.rawString()) : std::string();
  }
  fs::path dir_;
  std::unique_ptr<RegistryStore> store_;
};

TEST_F(RegistryStoreTest, EveryTypeRoundTrips) {
  store_->writeValue(HKCU, "Software\\T", "s", kRegString, Variant("text é"));
  store_->writeValue(HKCU, "Software\\T", "e", kRegExpandString, Variant("$HOME/x"));
  store_->writeValue(HKCU, "Software\\T", "m", kRegMultiString, Variant(std::string("a\0b", 3)));
  store_->writeValue(HKCU, "Software\\T", "d", kRegDword, Variant::long_(-5));
  store_->writeValue(HKCU, "Software\\T", "be", kRegDwordBigEndian, Variant::integer(0x1234));
  store_->writeValue(HKCU, "Software\\T", "b", kRegBinary, byteArray({0, 1, 0xff, 0x80}));
  store_->writeValue(HKCU, "Software\\T", "empty", kRegBinary, byteArray({}));
  store_->close();  // everything comes back from the file

  auto s = store_->readValue(HKCU, "Software\\T", "s");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->type, kRegString);
  EXPECT_EQ(s->value.rawString(), "text é");
  auto e = store_->readValue(HKCU, "Software\\T", "e");
  EXPECT_EQ(e->type, kRegExpandString);
  EXPECT_EQ(e->value.rawString(), "$HOME/x");  // the store keeps it unexpanded
  auto m = store_->readValue(HKCU, "Software\\T", "m");
  EXPECT_EQ(m->type, kRegMultiString);
  EXPECT_EQ(m->value.rawString(), std::string_view("a\0b", 3));
  auto d = store_->readValue(HKCU, "Software\\T", "d");
  EXPECT_EQ(d->type, kRegDword);
  EXPECT_EQ(d->value.type(), vtLong);
  EXPECT_EQ(d->value.rawLong(), -5);
  auto be = store_->readValue(HKCU, "Software\\T", "be");
  EXPECT_EQ(be->type, kRegDwordBigEndian);
  EXPECT_EQ(be->value.rawLong(), 0x1234);
  auto b = store_->readValue(HKCU, "Software\\T", "b");
  EXPECT_EQ(b->type, kRegBinary);
  ASSERT_TRUE(b->value.isArray());
  EXPECT_EQ(b->value.rawArray()->elemType, vtByte);
  EXPECT_EQ(bytesOf(b->value), (std::vector<uint8_t>{0, 1, 0xff, 0x80}));
  auto empty = store_->readValue(HKCU, "Software\\T", "empty");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(bytesOf(empty->value).empty());
}

TEST_F(RegistryStoreTest, MissingValuesAndKeys) {
  EXPECT_FALSE(store_->readValue(HKCU, "Software\\Nothing", "x"));
  store_->writeValue(HKCU, "Software\\T", "a", kRegString, Variant("1"));
  EXPECT_FALSE(store_->readValue(HKCU, "Software\\T", "b"));
  EXPECT_FALSE(store_->readValue(HKCU, "Software", "a"));  // values are not inherited
  EXPECT_FALSE(store_->keyExists(HKCU, "Software\\Nothing"));
}

TEST_F(RegistryStoreTest, OverwriteReplacesTypeAndValue) {
  store_->writeValue(HKCU, "K", "v", kRegString, Variant("old"));
  store_->writeValue(HKCU, "K", "v", kRegDword, Variant::long_(7));
  auto v = store_->readValue(HKCU, "K", "v");
  EXPECT_EQ(v->type, kRegDword);
  EXPECT_EQ(v->value.rawLong(), 7);
  EXPECT_EQ(store_->enumerateValues(HKCU, "K").size(), 1u);
}

TEST_F(RegistryStoreTest, SectionsAndNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  store_->writeValue(HKCU, "Software\\Tarnwick\\Settings", "RecPerPage", kRegDword, Variant::long_(20));
  auto v = store_->readValue(HKCU, "SOFTWARE\\tarnwick\\SETTINGS", "recperpage");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->value.rawLong(), 20);
  store_->writeValue(HKCU, "software\\TARNWICK\\settings", "RECPERPAGE", kRegDword, Variant::long_(50));
  EXPECT_EQ(store_->readValue(HKCU, "Software\\Tarnwick\\Settings", "RecPerPage")->value.rawLong(), 50);
  EXPECT_EQ(store_->enumerateValues(HKCU, "Software\\Tarnwick\\Settings"),
            std::vector<std::string>{"RecPerPage"});
  EXPECT_EQ(store_->enumerateSubKeys(HKCU, "software"), std::vector<std::string>{"Tarnwick"});
  EXPECT_EQ(store_->enumerateSubKeys(HKCU, ""), std::vector<std::string>{"Software"});
}

TEST_F(RegistryStoreTest, NonAsciiNamesFoldTheirCase) {
  store_->writeValue(HKCU, "Ünïcode\\Ключ", "Größe", kRegString, Variant("v"));
  EXPECT_TRUE(store_->readValue(HKCU, "üNÏCODE\\ключ", "GRÖßE"));
}

TEST_F(RegistryStoreTest, SeparatorsAreNormalised) {
  store_->writeValue(HKCU, "\\A\\\\B\\", "v", kRegString, Variant("x"));
  EXPECT_EQ(text("A\\B", "v"), "x");
  EXPECT_TRUE(store_->keyExists(HKCU, "A"));
  EXPECT_TRUE(store_->keyExists(HKCU, "a\\b\\"));
  EXPECT_EQ(normalizeSectionPath("\\\\x\\y\\\\z\\"), "x\\y\\z");
  EXPECT_EQ(normalizeSectionPath("a/b"), "a/b");  // "/" is part of a name
  EXPECT_EQ(normalizeSectionPath(""), "");
}

TEST_F(RegistryStoreTest, SubKeysAreDirectChildrenSorted) {
  store_->createKey(HKCU, "R\\beta\\deep");
  store_->createKey(HKCU, "R\\Alpha");
  store_->writeValue(HKCU, "R\\gamma", "v", kRegString, Variant("x"));
  store_->createKey(HKCU, "Rx\\other");
  EXPECT_EQ(store_->enumerateSubKeys(HKCU, "r"), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  EXPECT_EQ(store_->enumerateSubKeys(HKCU, "R\\beta"), std::vector<std::string>{"deep"});
  EXPECT_TRUE(store_->enumerateSubKeys(HKCU, "R\\Alpha").empty());
  EXPECT_TRUE(store_->enumerateSubKeys(HKCU, "missing").empty());
}

TEST_F(RegistryStoreTest, ValuesEnumerateInCreationOrder) {
  for (const char* n : {"zeta", "Alpha", "mid"}) store_->writeValue(HKCU, "V", n, kRegString, Variant(n));
  store_->writeValue(HKCU, "V", "ALPHA", kRegString, Variant("again"));
  EXPECT_EQ(store_->enumerateValues(HKCU, "V"), (std::vector<std::string>{"zeta", "Alpha", "mid"}));
  EXPECT_TRUE(store_->enumerateValues(HKCU, "nothing").empty());
}

TEST_F(RegistryStoreTest, DeleteKeyTakesTheWholeTreeAndNothingElse) {
  store_->writeValue(HKCU, "S\\A", "v", kRegString, Variant("1"));
  store_->writeValue(HKCU, "S\\A\\B\\C", "v", kRegString, Variant("2"));
  store_->writeValue(HKCU, "S\\AB", "v", kRegString, Variant("3"));  // shares the prefix
  store_->writeValue(HKCU, "S\\A]", "v", kRegString, Variant("4"));  // sorts right after "s\a\"
  store_->writeValue(HKCU, "S", "v", kRegString, Variant("5"));
  EXPECT_TRUE(store_->deleteKey(HKCU, "s\\a"));
  EXPECT_FALSE(store_->keyExists(HKCU, "S\\A"));
  EXPECT_FALSE(store_->keyExists(HKCU, "S\\A\\B"));
  EXPECT_FALSE(store_->readValue(HKCU, "S\\A\\B\\C", "v"));
  EXPECT_FALSE(store_->readValue(HKCU, "S\\A", "v"));
  EXPECT_EQ(text("S\\AB", "v"), "3");
  EXPECT_EQ(text("S\\A]", "v"), "4");
  EXPECT_EQ(text("S", "v"), "5");
  EXPECT_FALSE(store_->deleteKey(HKCU, "S\\A"));
  EXPECT_EQ(store_->enumerateSubKeys(HKCU, "S"), (std::vector<std::string>{"A]", "AB"}));
}

TEST_F(RegistryStoreTest, DeleteValue) {
  store_->writeValue(HKCU, "D", "a", kRegString, Variant("1"));
  store_->writeValue(HKCU, "D", "b", kRegString, Variant("2"));
  EXPECT_TRUE(store_->deleteValue(HKCU, "d", "A"));
  EXPECT_FALSE(store_->deleteValue(HKCU, "D", "a"));
  EXPECT_FALSE(store_->readValue(HKCU, "D", "a"));
  EXPECT_EQ(text("D", "b"), "2");
  EXPECT_TRUE(store_->keyExists(HKCU, "D"));  // the key stays
}

TEST_F(RegistryStoreTest, CreateKeyMakesAncestors) {
  store_->createKey(HKCU, "One\\Two\\Three");
  EXPECT_TRUE(store_->keyExists(HKCU, "One"));
  EXPECT_TRUE(store_->keyExists(HKCU, "one\\two"));
  EXPECT_TRUE(store_->keyExists(HKCU, "ONE\\TWO\\THREE"));
  EXPECT_TRUE(store_->enumerateValues(HKCU, "One\\Two\\Three").empty());
}

TEST_F(RegistryStoreTest, UnsupportedTypesAndValuesChangeNothing) {
  store_->writeValue(HKCU, "K", "v", kRegString, Variant("keep"));
  EXPECT_TW_ERROR(store_->writeValue(HKCU, "K", "v", 99, Variant("x")), kErrTypeMismatch);
  EXPECT_TW_ERROR(store_->writeValue(HKCU, "K", "v", kRegBinary, Variant(true)), kErrTypeMismatch);
  EXPECT_EQ(text("K", "v"), "keep");
}

TEST_F(RegistryStoreTest, MachineBranchIsReadOnly) {
  writeFile(dir_ / "machine.txt", "[Software\\Seed]\nName = string:\"value\"\n");
  EXPECT_EQ(store_->readValue(HKLM, "software\\seed", "NAME")->value.rawString(), "value");
  EXPECT_TW_ERROR(store_->writeValue(HKLM, "Software\\Seed", "Name", kRegString, Variant("x")),
                  kErrPermissionDenied);
  EXPECT_TW_ERROR(store_->createKey(HKLM, "Software\\New"), kErrPermissionDenied);
  EXPECT_TW_ERROR(store_->deleteKey(HKLM, "Software\\Seed"), kErrPermissionDenied);
  EXPECT_TW_ERROR(store_->deleteValue(HKLM, "Software\\Seed", "Name"), kErrPermissionDenied);
  EXPECT_EQ(store_->readValue(HKLM, "Software\\Seed", "Name")->value.rawString(), "value");
  // The branches are separate.
  EXPECT_FALSE(store_->readValue(HKCU, "Software\\Seed", "Name"));
  EXPECT_EQ(store_->enumerateSubKeys(HKLM, "Software"), std::vector<std::string>{"Seed"});
  EXPECT_EQ(store_->enumerateValues(HKLM, "Software\\Seed"), std::vector<std::string>{"Name"});
  EXPECT_TRUE(store_->keyExists(HKLM, "SOFTWARE"));
}

TEST_F(RegistryStoreTest, MissingMachineFileIsAnEmptyBranch) {
  EXPECT_FALSE(store_->readValue(HKLM, "Software", "x"));
  EXPECT_TRUE(store_->enumerateSubKeys(HKLM, "").empty());
  EXPECT_FALSE(store_->keyExists(HKLM, "Software"));
}

// ---- failures in the middle of a write

TEST_F(RegistryStoreTest, AFailedWriteKeepsThePreviousValue) {
  store_->writeValue(HKCU, "K", "v", kRegString, Variant("before"));
  store_->setCommitHook([] { throw Error(kErrPathFileAccess, "disk full"); });
  EXPECT_TW_ERROR(store_->writeValue(HKCU, "K\\New", "v", kRegString, Variant("after")), kErrPathFileAccess);
  EXPECT_TW_ERROR(store_->deleteKey(HKCU, "K"), kErrPathFileAccess);
  store_->setCommitHook(nullptr);
  EXPECT_EQ(text("K", "v"), "before");
  EXPECT_FALSE(store_->keyExists(HKCU, "K\\New"));  // the key went with the value
  // The store is still usable: no transaction was left open.
  store_->writeValue(HKCU, "K", "v", kRegString, Variant("later"));
  EXPECT_EQ(text("K", "v"), "later");
}

TEST_F(RegistryStoreTest, AProcessDyingHalfWayThroughAWriteLeavesThePreviousValue) {
  store_->writeValue(HKCU, "K", "v", kRegString, Variant("before"));
  store_->close();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RegistryStore s((dir_ / "reg.sqlite").string(), "");
    s.setCommitHook([] { _exit(7); });
    try {
      s.writeValue(HKCU, "K", "v", kRegString, Variant(std::string(100000, 'x')));
      s.writeValue(HKCU, "K", "w", kRegString, Variant("new"));
    } catch (...) {
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(text("K", "v"), "before");
  EXPECT_FALSE(store_->readValue(HKCU, "K", "w"));
}

TEST_F(RegistryStoreTest, AWriteBlockedByAnotherWriterFailsCleanly) {
  store_->writeValue(HKCU, "K", "v", kRegString, Variant("before"));
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((dir_ / "reg.sqlite").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  store_->setBusyTimeout(50);
  EXPECT_ANY_THROW(store_->writeValue(HKCU, "K", "v", kRegString, Variant("blocked")));
  // Readers are not blocked by a writer.
  EXPECT_EQ(text("K", "v"), "before");
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  store_->writeValue(HKCU, "K", "v", kRegString, Variant("after"));
  EXPECT_EQ(text("K", "v"), "after");
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  // Neither finds a database: creating it is part of the race.
  std::string db = (dir_ / "reg.sqlite").string();
  std::vector<pid_t> children;
  for (int who = 0; who < 2; ++who) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      RegistryStore s(db, "");
      for (int i = 0; i < 200; ++i) {
        try {
          s.writeValue(HKCU, "Shared\\Sub" + std::to_string(i % 3),
                       "p" + std::to_string(who) + "_" + std::to_string(i), kRegDword,
                       Variant::long_(who * 1000 + i));
        } catch (...) {
          ++failures;
        }
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  int found = 0;
  for (int who = 0; who < 2; ++who) {
    for (int i = 0; i < 200; ++i) {
      auto v = store_->readValue(HKCU, "Shared\\Sub" + std::to_string(i % 3),
                                 "p" + std::to_string(who) + "_" + std::to_string(i));
      if (v && v->value.rawLong() == who * 1000 + i) ++found;
    }
  }
  EXPECT_EQ(found, 400);
  EXPECT_EQ(store_->enumerateSubKeys(HKCU, "Shared"), (std::vector<std::string>{"Sub0", "Sub1", "Sub2"}));
}

// ---- where the files are

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(RegistryStorePaths, UserDatabaseFollowsTheEnvironment) {
  fs::path dir = freshDir("paths");
  {
    ScopedEnv own("TARNWICK_CONFIG_HOME", (dir / "own").c_str());
    EXPECT_EQ(defaultUserRegistryPath(), (dir / "own" / "registry.sqlite").string());
  }
  {
    ScopedEnv own("TARNWICK_CONFIG_HOME", nullptr);
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").c_str());
    EXPECT_EQ(defaultUserRegistryPath(), (dir / "xdg" / "tarnwick" / "registry.sqlite").string());
  }
  {
    ScopedEnv own("TARNWICK_CONFIG_HOME", nullptr);
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", (dir / "home").c_str());
    EXPECT_EQ(defaultUserRegistryPath(),
              (dir / "home" / ".config" / "tarnwick" / "registry.sqlite").string());
  }
}

TEST(RegistryStorePaths, DefaultStoreCreatesItsFolderAndReadsTheNamedMachineFile) {
  fs::path dir = freshDir("default");
  writeFile(dir / "m.txt", "[A]\nx = dword:5\n");
  ScopedEnv own("TARNWICK_CONFIG_HOME", (dir / "deep" / "config").c_str());
  ScopedEnv machine("TARNWICK_MACHINE_REGISTRY", (dir / "m.txt").c_str());
  RegistryStore store;
  store.writeValue(HKCU, "A", "y", kRegString, Variant("z"));
  EXPECT_TRUE(fs::exists(dir / "deep" / "config" / "registry.sqlite"));
  EXPECT_EQ(store.readValue(HKLM, "A", "x")->value.rawLong(), 5);
  EXPECT_EQ(store.machineFilePath(), (dir / "m.txt").string());
}

TEST(RegistryStorePaths, WithoutAnOverrideTheShippedFileIsUsed) {
  ScopedEnv machine("TARNWICK_MACHINE_REGISTRY", nullptr);
  std::string path = defaultMachineRegistryPath();
  EXPECT_TRUE(path.ends_with("machine-registry.txt")) << path;
  EXPECT_TRUE(fs::exists(path)) << path;
}

// ---- the machine registry text

TEST(MachineRegistryText, ValueTypes) {
  std::vector<std::string> problems;
  MachineBranch b = parseMachineRegistry(
      "[Root\\Key]\n"
      "s = string:\"say \"\"hi\"\"\"\n"
      "short = \"plain\"\n"
      "e = expand:\"%HOME%\\x\"\n"
      "m = multi:\"a\", \"b\",\"\"\n"
      "d = dword:4294967295\n"
      "n = dword:-12\n"
      "h = dword:0x7fffFFFF\n"
      "be = dword-be:0x01020304\n"
      "bin = hex:00,7f, FF\n"
      "nobytes = hex:\n"
      "@ = string:\"default\"\n"
      "\"name with = and blanks\" = string:\"q\"\n",
      &problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  const MachineKey* k = b.find("root\\KEY");
  ASSERT_NE(k, nullptr);
  auto value = [&](const std::string& name) -> const RegValue& {
    for (const auto& [n, v] : k->values)
      if (n == name) return v;
    ADD_FAILURE() << "no value " << name;
    static RegValue none;
    return none;
  };
  EXPECT_EQ(value("s").type, kRegString);
  EXPECT_EQ(value("s").value.rawString(), "say \"hi\"");
  EXPECT_EQ(value("short").value.rawString(), "plain");
  EXPECT_EQ(value("e").type, kRegExpandString);
  EXPECT_EQ(value("e").value.rawString(), "%HOME%\\x");
  EXPECT_EQ(value("m").type, kRegMultiString);
  EXPECT_EQ(value("m").value.rawString(), std::string_view("a\0b\0", 4));
  EXPECT_EQ(value("d").value.rawLong(), -1);
  EXPECT_EQ(value("n").value.rawLong(), -12);
  EXPECT_EQ(value("h").value.rawLong(), 0x7fffffff);
  EXPECT_EQ(value("be").type, kRegDwordBigEndian);
  EXPECT_EQ(value("be").value.rawLong(), 0x01020304);
  EXPECT_EQ(value("bin").type, kRegBinary);
  EXPECT_EQ(bytesOf(value("bin").value), (std::vector<uint8_t>{0, 0x7f, 0xff}));
  EXPECT_TRUE(bytesOf(value("nobytes").value).empty());
  EXPECT_EQ(value("").value.rawString(), "default");
  EXPECT_EQ(value("name with = and blanks").value.rawString(), "q");
}

TEST(MachineRegistryText, CommentsBlankLinesLineEndingsAndEmptyKeys) {
  std::vector<std::string> problems;
  MachineBranch b = parseMachineRegistry(
      "\xEF\xBB\xBF; comment\r\n"
      "# another\r\n"
      "\r\n"
      "  [ Software\\A ]  ; trailing comment\r\n"
      "  Name = dword:3   ; why\r\n"
      "[Software\\Empty]\r\n"
      "[Software\\A\\Child]",
      &problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  ASSERT_NE(b.find("Software\\A"), nullptr);
  EXPECT_EQ(b.find("Software\\A")->values.size(), 1u);
  EXPECT_EQ(b.find("Software\\A")->values[0].first, "Name");
  ASSERT_NE(b.find("software\\empty"), nullptr);
  EXPECT_TRUE(b.find("software\\empty")->values.empty());
  // Parents exist and list their children.
  const MachineKey* software = b.find("Software");
  ASSERT_NE(software, nullptr);
  std::vector<std::string> names;
  for (size_t c : software->children) names.push_back(b.keys[c].name);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "Empty"}));
  EXPECT_NE(b.find("Software\\A\\Child"), nullptr);
}

TEST(MachineRegistryText, KeysKeepTheSpellingOfTheirFirstAncestors) {
  MachineBranch b = parseMachineRegistry("[Software\\Tarnwick]\n[SOFTWARE\\TARNWICK\\Settings]\nx = \"1\"\n");
  const MachineKey* k = b.find("software\\tarnwick\\settings");
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->path, "Software\\Tarnwick\\Settings");
  EXPECT_EQ(k->name, "Settings");
  EXPECT_EQ(b.keys.size(), 4u);  // the root, Software, Tarnwick, Settings
}

TEST(MachineRegistryText, BadLinesAreReportedAndSkipped) {
  std::vector<std::string> problems;
  MachineBranch b = parseMachineRegistry(
      "orphan = string:\"x\"\n"      // 1: before any section
      "[Good]\n"                     // 2
      "a = string:\"ok\"\n"          // 3
      "b = string:\"unterminated\n"  // 4
      "c = dword:4294967296\n"       // 5: does not fit 32 bits
      "d = dword:12abc\n"            // 6
      "e = hex:1,2\n"                // 7: one digit
      "f = qword:5\n"                // 8: unknown type
      "no equals sign\n"             // 9
      "[unclosed\n"                  // 10
      "g = string:\"after\"\n"       // 11: the section was not opened
      "[Good]\n"                     // 12
      "A = string:\"replaced\"\n"    // 13: same name, other case
      "h = string:\"x\" junk\n",     // 14
      &problems);
  ASSERT_EQ(problems.size(), 10u);
  for (const char* line : {"line 1:", "line 4:", "line 5:", "line 6:", "line 7:", "line 8:", "line 9:",
                           "line 10:", "line 11:", "line 14:"}) {
    bool seen = false;
    for (const std::string& p : problems) seen = seen || p.rfind(line, 0) == 0;
    EXPECT_TRUE(seen) << line;
  }
  const MachineKey* good = b.find("good");
  ASSERT_NE(good, nullptr);
  ASSERT_EQ(good->values.size(), 1u);
  EXPECT_EQ(good->values[0].first, "a");
  EXPECT_EQ(good->values[0].second.value.rawString(), "replaced");
  EXPECT_EQ(b.find("unclosed"), nullptr);
}

TEST(MachineRegistryText, TheShippedDefaultsReadWithoutProblems) {
  std::ifstream in(fs::path(TARNWICK_SOURCE_DIR) / "share" / "machine-registry.txt", std::ios::binary);
  ASSERT_TRUE(in);
  std::stringstream ss;
  ss << in.rdbuf();
  std::vector<std::string> problems;
  MachineBranch b = parseMachineRegistry(ss.str(), &problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  const std::string base = "Software\\Tarnwick\\1.0";
  for (const char* section :
       {"\\Settings\\General", "\\Settings\\Project", "\\Settings\\Database", "\\Settings\\Table",
        "\\Settings\\Field", "\\Settings\\Chart", "\\AdvancedFilters", "\\Extensions"})
    EXPECT_NE(b.find(base + section), nullptr) << section;
  const MachineKey* general = b.find(base + "\\Settings\\General");
  ASSERT_NE(general, nullptr);
  // The first-start language names the shipped language file, not a word.
  bool language = false;
  for (const auto& [n, v] : general->values)
    if (n == "Language")
      language = v.type == kRegExpandString && v.value.rawString() == "${TARNWICK_TEMPLATES}/english.xml";
  EXPECT_TRUE(language);
}

}  // namespace
}  // namespace tw
