#include "support/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/engine_context.h"
#include "support/expect_error.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

Variant byteArray(std::vector<uint8_t> bytes) {
  std::vector<Variant> items;
  for (uint8_t b : bytes) items.push_back(Variant::byte(b));
  return Variant::array(std::move(items), vtByte);
}

class RegistryObjectTest : public tw::testing::FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    store_ =
        std::make_unique<RegistryStore>((dir() / "reg.sqlite").string(), (dir() / "machine.txt").string());
    reg_ = makeRef<cRegistry>(*store_);
    reg_->setSectionKey("Software\\Test");
    reg_->setValueKey("v");
  }
  void TearDown() override {
    reg_.reset();
    store_.reset();
    FreshEngine::TearDown();
  }
  // Writes with the given type; returns the error description or "".
  std::string writeError(int32_t type, const Variant& v) {
    reg_->setValueType(type);
    try {
      reg_->setValue(v);
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrRegistryWrite);
      EXPECT_EQ(e.source(), "tarnwick.cRegistry");
      return e.description();
    }
    return {};
  }

  std::unique_ptr<RegistryStore> store_;
  Ref<cRegistry> reg_;
};

TEST_F(RegistryObjectTest, MissingValueGivesDefault) {
  EXPECT_TRUE(reg_->value().isEmpty());
  reg_->setDefault(Variant("fallback"));
  EXPECT_EQ(reg_->value().rawString(), "fallback");
  reg_->setValueType(kRegString);
  reg_->setValue(Variant("stored"));
  EXPECT_EQ(reg_->value().rawString(), "stored");
}

TEST_F(RegistryObjectTest, ReadingSetsTheValueType) {
  reg_->setValueType(kRegDword);
  reg_->setValue(Variant::integer(12));
  reg_->setValueKey("s");
  reg_->setValueType(kRegString);
  reg_->setValue(Variant("x"));
  reg_->setValueKey("v");
  Variant v = reg_->value();
  EXPECT_EQ(reg_->valueType(), kRegDword);
  EXPECT_EQ(v.type(), vtLong);
  EXPECT_EQ(v.rawLong(), 12);
}

TEST_F(RegistryObjectTest, TextWritesConvertTheValueToText) {
  EXPECT_EQ(writeError(kRegString, Variant(true)), "");
  EXPECT_EQ(reg_->value().rawString(), "True");
  EXPECT_EQ(writeError(kRegString, Variant::long_(42)), "");
  EXPECT_EQ(reg_->value().rawString(), "42");
  EXPECT_EQ(writeError(kRegString, Variant()), "");
  EXPECT_EQ(reg_->value().rawString(), "");
}

TEST_F(RegistryObjectTest, NumberWritesTakeOnlySixteenAndThirtyTwoBitIntegers) {
  EXPECT_EQ(writeError(kRegDword, Variant::integer(-3)), "");
  EXPECT_EQ(reg_->value().rawLong(), -3);
  EXPECT_EQ(writeError(kRegDwordBigEndian, Variant::long_(0x01020304)), "");
  EXPECT_EQ(reg_->value().rawLong(), 0x01020304);
  EXPECT_EQ(reg_->valueType(), kRegDwordBigEndian);
  EXPECT_NE(writeError(kRegDword, Variant(1.5)), "");
  EXPECT_NE(writeError(kRegDword, Variant("7")), "");
  EXPECT_NE(writeError(kRegDword, Variant()), "");  // an unset number setting
  EXPECT_NE(writeError(kRegDword, Variant::byte(1)), "");
  EXPECT_EQ(reg_->value().rawLong(), 0x01020304);
}

TEST_F(RegistryObjectTest, BinaryWritesTakeOnlyByteArrays) {
  EXPECT_EQ(writeError(kRegBinary, byteArray({1, 2, 250})), "");
  Variant v = reg_->value();
  ASSERT_TRUE(v.isArray());
  EXPECT_EQ(v.rawArray()->elemType, vtByte);
  ASSERT_EQ(v.rawArray()->data.size(), 3u);
  EXPECT_EQ(v.rawArray()->data[2].rawByte(), 250);
  EXPECT_NE(writeError(kRegBinary, Variant("bytes")), "");
  EXPECT_NE(writeError(kRegBinary, Variant::array({Variant(1), Variant(2)})), "");
}

TEST_F(RegistryObjectTest, OtherTypesAreRefused) {
  EXPECT_NE(writeError(kRegMultiString, Variant("a")), "");
  EXPECT_NE(writeError(0, Variant("a")), "");
  EXPECT_NE(writeError(11, Variant("a")), "");
  EXPECT_TRUE(reg_->value().isEmpty());
}

TEST_F(RegistryObjectTest, WriteErrorDescribesRootSectionNameAndValue) {
  reg_->setSectionKey("Software\\Tarnwick\\1.0\\Settings\\Project");
  reg_->setValueKey("RecPerPage");
  EXPECT_EQ(
      writeError(kRegDword, Variant("twenty")),
      "Failed to set registry value Key: '-2147483647',Section: 'Software\\Tarnwick\\1.0\\Settings\\Project',"
      "Key: 'RecPerPage' to value: 'twenty'");
  reg_->setClassKey(kRootLocalMachine);
  EXPECT_EQ(
      writeError(kRegString, Variant("x")),
      "Failed to set registry value Key: '-2147483646',Section: 'Software\\Tarnwick\\1.0\\Settings\\Project',"
      "Key: 'RecPerPage' to value: 'x'");
}

TEST_F(RegistryObjectTest, ExpandableStringsReadWithEnvironmentVariables) {
  setenv("TW_REG_TEST_DIR", "/srv/app", 1);
  unsetenv("TW_REG_TEST_UNSET");
  EXPECT_EQ(
      writeError(kRegExpandString,
                 Variant("$TW_REG_TEST_DIR/a;%TW_REG_TEST_DIR%\\b;${TW_REG_TEST_DIR}c;$TW_REG_TEST_UNSET;"
                         "%TW_REG_TEST_UNSET%;100%;$;${}")),
      "");
  EXPECT_EQ(reg_->value().rawString(),
            "/srv/app/a;/srv/app\\b;/srv/appc;$TW_REG_TEST_UNSET;%TW_REG_TEST_UNSET%;100%;$;${}");
  EXPECT_EQ(reg_->valueType(), kRegExpandString);
  // The stored text itself is not expanded.
  EXPECT_EQ(store_->readValue(kRootCurrentUser, "Software\\Test", "v")->value.rawString(),
            "$TW_REG_TEST_DIR/"
            "a;%TW_REG_TEST_DIR%\\b;${TW_REG_TEST_DIR}c;$TW_REG_TEST_UNSET;%TW_REG_TEST_UNSET%;100%;$;${}");
}

TEST_F(RegistryObjectTest, KeyOperations) {
  EXPECT_FALSE(reg_->keyExists());
  EXPECT_TRUE(reg_->createKey());
  EXPECT_TRUE(reg_->keyExists());
  reg_->setValueType(kRegString);
  for (const char* n : {"one", "two"}) {
    reg_->setValueKey(n);
    reg_->setValue(Variant(n));
  }
  reg_->setSectionKey("Software\\Test\\Child");
  EXPECT_TRUE(reg_->createKey());
  reg_->setSectionKey("Software\\Test");
  std::vector<std::string> names;
  EXPECT_EQ(reg_->enumerateValues(names), 2);
  EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(reg_->enumerateSections(names), 1);
  EXPECT_EQ(names, std::vector<std::string>{"Child"});
  reg_->setValueKey("one");
  EXPECT_TRUE(reg_->deleteValue());
  EXPECT_FALSE(reg_->deleteValue());
  EXPECT_TRUE(reg_->deleteKey());
  EXPECT_FALSE(reg_->keyExists());
  EXPECT_EQ(reg_->enumerateValues(names), 0);
  EXPECT_TRUE(names.empty());
}

TEST_F(RegistryObjectTest, MachineBranchRefusesChanges) {
  std::ofstream(dir() / "machine.txt") << "[Software\\Test]\nv = dword:9\n";
  reg_->setClassKey(kRootLocalMachine);
  EXPECT_EQ(reg_->value().rawLong(), 9);
  EXPECT_NE(writeError(kRegDword, Variant::long_(1)), "");
  EXPECT_FALSE(reg_->createKey());
  EXPECT_FALSE(reg_->deleteKey());
  EXPECT_FALSE(reg_->deleteValue());
  EXPECT_EQ(reg_->value().rawLong(), 9);
}

TEST_F(RegistryObjectTest, AutomationMembers) {
  reg_->put("SectionKey", Variant("Software\\Auto"));
  reg_->put("ValueKey", Variant("n"));
  reg_->put("ValueType", Variant(4));
  reg_->put("Value", Variant(33));
  EXPECT_EQ(reg_->get("Value").rawLong(), 33);
  reg_->put("ClassKey", Variant(static_cast<int>(0x80000001u)));
  EXPECT_EQ(reg_->get("ClassKey").rawLong(), static_cast<int32_t>(0x80000001u));
  reg_->put("ClassKey", Variant(2147483650.0));  // &H80000002 written as a Double
  EXPECT_EQ(reg_->classKey(), kRootLocalMachine);
  reg_->put("ClassKey", Variant(static_cast<int>(0x80000001u)));
  reg_->put("ValueKey", Variant("absent"));
  reg_->put("Default", Variant("d"));
  EXPECT_EQ(reg_->get("Value").rawString(), "d");
  std::vector<Variant> args{Variant()};
  Variant count = reg_->invoke(reg_->memberId("EnumerateValues"), kInvokeMethod, args);
  EXPECT_EQ(count.rawLong(), 1);
  ASSERT_TRUE(args[0].isArray());
  EXPECT_EQ(args[0].rawArray()->data[0].rawString(), "n");
  EXPECT_TRUE(reg_->call("KeyExists").rawBool());
  EXPECT_TRUE(reg_->call("DeleteKey").rawBool());
  EXPECT_FALSE(reg_->call("KeyExists").rawBool());
}

// ---- RegRead and RegWrite through the engine's registry

class RegReadWriteTest : public tw::testing::FreshEngine {};

TEST_F(RegReadWriteTest, WriteThenReadTheUserBranch) {
  RegWrite("HKCU", "Software\\Tarnwick\\1.0\\Settings\\General", "Language", kRegString, Variant("English"));
  RegWrite("", "Software\\Tarnwick\\1.0\\Settings\\General", "ScriptEngineTimeout", kRegDword,
           Variant(60000));
  EXPECT_EQ(RegRead("HKCU", "software\\tarnwick\\1.0\\settings\\general", "language").rawString(), "English");
  EXPECT_EQ(engine().lastRegType, static_cast<uint32_t>(kRegString));
  EXPECT_EQ(
      RegRead("whatever", "Software\\Tarnwick\\1.0\\Settings\\General", "ScriptEngineTimeout").rawLong(),
      60000);
  EXPECT_EQ(engine().lastRegType, static_cast<uint32_t>(kRegDword));
  // The values are in the database below the configuration folder.
  EXPECT_TRUE(fs::exists(fs::path(std::getenv("TARNWICK_CONFIG_HOME")) / "registry.sqlite"));
}

TEST_F(RegReadWriteTest, OnlyHKLMNamesTheMachineBranch) {
  writeMachineRegistry("[Software\\Seed]\nLanguage = string:\"Machine\"\n");
  RegWrite("HKCU", "Software\\Seed", "Language", kRegString, Variant("User"));
  EXPECT_EQ(RegRead("HKLM", "Software\\Seed", "Language").rawString(), "Machine");
  EXPECT_EQ(RegRead("hklm", "Software\\Seed", "Language").rawString(), "User");
  EXPECT_EQ(RegRead("HKCU", "Software\\Seed", "Language").rawString(), "User");
  EXPECT_TW_ERROR(RegWrite("HKLM", "Software\\Seed", "Language", kRegString, Variant("x")),
                  kErrRegistryWrite);
}

TEST_F(RegReadWriteTest, MissingValueReadsAsTheRegistryDefault) {
  EXPECT_TRUE(RegRead("HKCU", "Software\\None", "x").isEmpty());
  engine().registry().setDefault(Variant("preset"));
  EXPECT_EQ(RegRead("HKCU", "Software\\None", "x").rawString(), "preset");
}

TEST_F(RegReadWriteTest, RefusedWriteKeepsTheOldValue) {
  RegWrite("HKCU", "Software\\T", "n", kRegDword, Variant(5));
  EXPECT_TW_ERROR(RegWrite("HKCU", "Software\\T", "n", kRegDword, Variant()), kErrRegistryWrite);
  EXPECT_EQ(RegRead("HKCU", "Software\\T", "n").rawLong(), 5);
}

}  // namespace
}  // namespace tw
