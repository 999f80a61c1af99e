// Inspection and array functions, the engine's identity and locale, the
// function table and the vb... constants.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "automation/text.h"
#include "vbs/builtins.h"

using namespace tw;
using namespace tw::vbs;

namespace {

Variant callIn(RuntimeState& state, std::string_view name, std::vector<Variant> args = {}) {
  const BuiltinFunction* f = findBuiltin(name);
  if (!f) throw std::runtime_error("no built-in " + std::string(name));
  return f->fn(state, args);
}

Variant call(std::string_view name, std::vector<Variant> args = {}) {
  static RuntimeState state;
  return callIn(state, name, std::move(args));
}

int32_t errorOf(std::string_view name, std::vector<Variant> args) {
  try {
    call(name, std::move(args));
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

bool truth(const Variant& v) {
  EXPECT_EQ(v.type(), vtBoolean);
  return v.rawBool();
}

std::string str(const Variant& v) {
  EXPECT_EQ(v.type(), vtString);
  return std::string(v.rawString());
}

// A script object with a default property, like a class with "Public Default
// Property Get".
class Holder : public Dispatch {
 public:
  explicit Holder(Variant v) : value(std::move(v)) {}
  const ClassInfo* classInfo() const override {
    static const ClassInfo info = ClassBuilder<Holder>("Holder")
                                      .get("Value", [](Holder& h) { return h.value; })
                                      .defaultMember("Value")
                                      .build();
    return &info;
  }
  Variant value;
};

// An object without a default member.
class Plain : public Dispatch {
 public:
  const ClassInfo* classInfo() const override {
    static const ClassInfo info =
        ClassBuilder<Plain>("PlainClass").get("X", [](Plain&) { return 1; }).build();
    return &info;
  }
};

const Variant kNull = Variant::null();

TEST(LibInspection, IsFunctions) {
  Variant obj = Variant(makeRef<Plain>());
  Variant arr = Variant::array(std::vector<Variant>{1, 2});
  EXPECT_TRUE(truth(call("IsArray", {arr})));
  EXPECT_FALSE(truth(call("IsArray", {"44"})));
  EXPECT_TRUE(truth(call("IsEmpty", {Variant()})));
  EXPECT_FALSE(truth(call("IsEmpty", {kNull})));
  EXPECT_FALSE(truth(call("IsEmpty", {obj})));
  EXPECT_TRUE(truth(call("IsNull", {kNull})));
  EXPECT_FALSE(truth(call("IsNull", {Variant()})));
  EXPECT_TRUE(truth(call("IsObject", {obj})));
  EXPECT_TRUE(truth(call("IsObject", {Variant::nothing()})));
  EXPECT_FALSE(truth(call("IsObject", {4})));
}

TEST(LibInspection, IsNumeric) {
  EXPECT_TRUE(truth(call("IsNumeric", {Variant()})));
  EXPECT_FALSE(truth(call("IsNumeric", {kNull})));
  EXPECT_TRUE(truth(call("IsNumeric", {32768})));
  EXPECT_TRUE(truth(call("IsNumeric", {Variant::currency(1)})));
  EXPECT_TRUE(truth(call("IsNumeric", {"44"})));
  EXPECT_TRUE(truth(call("IsNumeric", {" -1.5e3 "})));
  EXPECT_FALSE(truth(call("IsNumeric", {"rwrf"})));
  EXPECT_TRUE(truth(call("IsNumeric", {true})));
  EXPECT_FALSE(truth(call("IsNumeric", {Variant::nothing()})));
  EXPECT_FALSE(truth(call("IsNumeric", {Variant(makeRef<Plain>())})));
  EXPECT_TRUE(truth(call("IsNumeric", {Variant(makeRef<Holder>(Variant(1)))})));
  EXPECT_FALSE(truth(call("IsNumeric", {Variant(makeRef<Holder>(Variant("test")))})));
  EXPECT_FALSE(truth(call("IsNumeric", {Variant::array(std::vector<Variant>{1})})));
  EXPECT_FALSE(truth(call("IsNumeric", {Variant::date(1)})));
}

TEST(LibInspection, IsDate) {
  EXPECT_TRUE(truth(call("IsDate", {Variant::date(1)})));
  EXPECT_TRUE(truth(call("IsDate", {"1/1/2000"})));
  EXPECT_TRUE(truth(call("IsDate", {"October 19, 1962"})));
  EXPECT_FALSE(truth(call("IsDate", {"4"})));
  EXPECT_FALSE(truth(call("IsDate", {"x"})));
  EXPECT_FALSE(truth(call("IsDate", {4})));
  EXPECT_FALSE(truth(call("IsDate", {Variant()})));
  EXPECT_FALSE(truth(call("IsDate", {kNull})));
}

TEST(LibInspection, TypeName) {
  EXPECT_EQ(str(call("TypeName", {Variant()})), "Empty");
  EXPECT_EQ(str(call("TypeName", {kNull})), "Null");
  EXPECT_EQ(str(call("TypeName", {Variant::integer(255)})), "Integer");
  EXPECT_EQ(str(call("TypeName", {32768})), "Long");
  EXPECT_EQ(str(call("TypeName", {Variant::single(0.5f)})), "Single");
  EXPECT_EQ(str(call("TypeName", {-0.5})), "Double");
  EXPECT_EQ(str(call("TypeName", {Variant::currency(5000)})), "Currency");
  EXPECT_EQ(str(call("TypeName", {Variant::date(1)})), "Date");
  EXPECT_EQ(str(call("TypeName", {"x"})), "String");
  EXPECT_EQ(str(call("TypeName", {true})), "Boolean");
  EXPECT_EQ(str(call("TypeName", {Variant::byte(255)})), "Byte");
  EXPECT_EQ(str(call("TypeName", {Variant::error(5)})), "Error");
  EXPECT_EQ(str(call("TypeName", {Variant::nothing()})), "Nothing");
  EXPECT_EQ(str(call("TypeName", {Variant::array(std::vector<Variant>{})})), "Variant()");
  EXPECT_EQ(str(call("TypeName", {Variant(makeRef<Plain>())})), "PlainClass");
  EXPECT_EQ(str(call("TypeName", {Variant(createObject("Scripting.Dictionary"))})), "Dictionary");
  EXPECT_EQ(str(call("TypeName", {Variant(createObject("VBScript.RegExp"))})), "IRegExp2");
  EXPECT_EQ(str(call("TypeName", {Variant(createObject("Scripting.FileSystemObject"))})), "FileSystemObject");
}

TEST(LibInspection, VarType) {
  auto vt = [](Variant v) {
    Variant r = call("VarType", {v});
    EXPECT_EQ(r.type(), vtInteger);
    return r.rawInteger();
  };
  EXPECT_EQ(vt(Variant()), 0);
  EXPECT_EQ(vt(kNull), 1);
  EXPECT_EQ(vt(Variant::integer(255)), 2);
  EXPECT_EQ(vt(32768), 3);
  EXPECT_EQ(vt(Variant::single(0.5f)), 4);
  EXPECT_EQ(vt(-0.5), 5);
  EXPECT_EQ(vt(Variant::currency(1)), 6);
  EXPECT_EQ(vt(Variant::date(1)), 7);
  EXPECT_EQ(vt("x"), 8);
  EXPECT_EQ(vt(Variant(makeRef<Plain>())), 9);
  EXPECT_EQ(vt(true), 11);
  EXPECT_EQ(vt(Variant::byte(1)), 17);
  EXPECT_EQ(vt(Variant::array(std::vector<Variant>{})), 8192 + 12);
  // An object with a default property reports its value's type.
  EXPECT_EQ(vt(Variant(makeRef<Holder>(Variant("s")))), 8);
}

TEST(LibInspection, ArrayAndBounds) {
  Variant a = call("Array", {"a1", Variant::integer(2), "a3"});
  ASSERT_TRUE(a.isArray());
  EXPECT_EQ(a.varType(), vtArray + vtVariant);
  EXPECT_EQ(a.rawArray()->data.size(), 3u);
  EXPECT_EQ(a.rawArray()->data[1].type(), vtInteger);
  Variant ub = call("UBound", {a});
  EXPECT_EQ(ub.type(), vtLong);
  EXPECT_EQ(ub.rawLong(), 2);
  EXPECT_EQ(call("LBound", {a}).rawLong(), 0);
  EXPECT_EQ(call("UBound", {call("Array")}).rawLong(), -1);
  std::pair<int32_t, int32_t> bounds[] = {{0, 2}, {1, 4}};
  Variant grid = Variant::array(bounds);
  EXPECT_EQ(call("UBound", {grid, 2}).rawLong(), 4);
  EXPECT_EQ(call("LBound", {grid, 2}).rawLong(), 1);
  EXPECT_EQ(call("UBound", {grid, 1}).rawLong(), 2);
  EXPECT_EQ(errorOf("UBound", {grid, 3}), 9);
  EXPECT_EQ(errorOf("UBound", {grid, 0}), 9);
  EXPECT_EQ(errorOf("LBound", {Variant()}), 13);
  EXPECT_EQ(errorOf("UBound", {kNull}), 13);
}

TEST(LibInspection, EngineIdentity) {
  EXPECT_EQ(str(call("ScriptEngine")), "VBScript");
  Variant major = call("ScriptEngineMajorVersion");
  EXPECT_EQ(major.type(), vtLong);
  EXPECT_EQ(major.rawLong(), 5);
  EXPECT_EQ(call("ScriptEngineMinorVersion").rawLong(), 8);
  EXPECT_EQ(call("ScriptEngineBuildVersion").type(), vtLong);
}

TEST(LibInspection, SetLocaleReturnsThePreviousLocale) {
  RuntimeState st;
  EXPECT_EQ(callIn(st, "GetLocale").rawLong(), 1033);
  EXPECT_EQ(callIn(st, "SetLocale", {2057}).rawLong(), 1033);
  EXPECT_EQ(callIn(st, "GetLocale").rawLong(), 2057);
  EXPECT_EQ(callIn(st, "SetLocale", {"de-de"}).rawLong(), 2057);
  EXPECT_EQ(callIn(st, "GetLocale").rawLong(), 1031);
  callIn(st, "SetLocale", {0});
  EXPECT_EQ(callIn(st, "GetLocale").rawLong(), 1033);
  try {
    callIn(st, "SetLocale", {"no-such-place"});
    ADD_FAILURE() << "an unknown locale name was accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 5);
  }
}

TEST(LibInspection, CreateObjectKnowsThreeProgIds) {
  EXPECT_NE(createObject("scripting.dictionary"), nullptr);
  Variant re = call("CreateObject", {"VBScript.RegExp"});
  EXPECT_TRUE(re.isObject());
  try {
    createObject("Excel.Application");
    ADD_FAILURE() << "an unknown ProgID created an object";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 429);
    EXPECT_EQ(std::string(e.description()), "ActiveX component can't create object");
  }
  EXPECT_EQ(errorOf("CreateObject", {"Word.Application"}), 429);
}

TEST(LibInspection, FunctionTableCoversTheLanguage) {
  // Every function of VBScript 5.8 but those the compiler handles itself.
  const char* names[] = {"Abs",
                         "Array",
                         "Asc",
                         "AscB",
                         "AscW",
                         "Atn",
                         "CBool",
                         "CByte",
                         "CCur",
                         "CDate",
                         "CDbl",
                         "Chr",
                         "ChrB",
                         "ChrW",
                         "CInt",
                         "CLng",
                         "Cos",
                         "CreateObject",
                         "CSng",
                         "CStr",
                         "Date",
                         "DateAdd",
                         "DateDiff",
                         "DatePart",
                         "DateSerial",
                         "DateValue",
                         "Day",
                         "Escape",
                         "Exp",
                         "Filter",
                         "Fix",
                         "FormatCurrency",
                         "FormatDateTime",
                         "FormatNumber",
                         "FormatPercent",
                         "GetLocale",
                         "GetObject",
                         "Hex",
                         "Hour",
                         "InputBox",
                         "InStr",
                         "InStrB",
                         "InStrRev",
                         "Int",
                         "IsArray",
                         "IsDate",
                         "IsEmpty",
                         "IsNull",
                         "IsNumeric",
                         "IsObject",
                         "Join",
                         "LBound",
                         "LCase",
                         "Left",
                         "LeftB",
                         "Len",
                         "LenB",
                         "LoadPicture",
                         "Log",
                         "LTrim",
                         "Mid",
                         "MidB",
                         "Minute",
                         "Month",
                         "MonthName",
                         "MsgBox",
                         "Now",
                         "Oct",
                         "Randomize",
                         "Replace",
                         "RGB",
                         "Right",
                         "RightB",
                         "Rnd",
                         "Round",
                         "RTrim",
                         "ScriptEngine",
                         "ScriptEngineBuildVersion",
                         "ScriptEngineMajorVersion",
                         "ScriptEngineMinorVersion",
                         "Second",
                         "SetLocale",
                         "Sgn",
                         "Sin",
                         "Space",
                         "Split",
                         "Sqr",
                         "StrComp",
                         "String",
                         "StrReverse",
                         "Tan",
                         "Time",
                         "Timer",
                         "TimeSerial",
                         "TimeValue",
                         "Trim",
                         "TypeName",
                         "UBound",
                         "UCase",
                         "Unescape",
                         "VarType",
                         "Weekday",
                         "WeekdayName",
                         "Year"};
  for (const char* n : names) EXPECT_NE(findBuiltin(n), nullptr) << n;
  for (const char* n : {"Eval", "Execute", "ExecuteGlobal", "GetRef", "NoSuchFunction"})
    EXPECT_EQ(findBuiltin(n), nullptr) << n;
}

TEST(LibInspection, FunctionLookUpIgnoresCaseAndKnowsArgumentCounts) {
  const BuiltinFunction* mid = findBuiltin("mID");
  ASSERT_NE(mid, nullptr);
  EXPECT_EQ(mid->name, "Mid");
  EXPECT_EQ(mid->minArgs, 2);
  EXPECT_EQ(mid->maxArgs, 3);
  EXPECT_EQ(findBuiltin("INSTR")->maxArgs, 4);
  EXPECT_EQ(findBuiltin("array")->maxArgs, -1);
  EXPECT_EQ(findBuiltin("Now")->maxArgs, 0);
  std::set<std::string> seen;
  for (const BuiltinFunction& f : builtinFunctions()) {
    EXPECT_TRUE(seen.insert(toLower(f.name)).second) << "twice: " << f.name;
    EXPECT_EQ(findBuiltin(f.name), &f);
    EXPECT_TRUE(f.maxArgs == -1 || f.maxArgs >= f.minArgs) << f.name;
  }
}

TEST(LibInspection, Constants) {
  auto constant = [](std::string_view name) {
    for (const BuiltinConstant& c : builtinConstants())
      if (equalsNoCase(c.name, name)) return c.value();
    throw std::runtime_error("no constant " + std::string(name));
  };
  struct Expect {
    const char* name;
    VarType type;
    int64_t value;
  };
  const Expect numbers[] = {
      {"vbSunday", vtInteger, 1},
      {"vbSaturday", vtInteger, 7},
      {"vbTextCompare", vtInteger, 1},
      {"vbBinaryCompare", vtInteger, 0},
      {"vbUseSystemDayOfWeek", vtInteger, 0},
      {"vbFirstFourDays", vtInteger, 2},
      {"vbLongDate", vtInteger, 1},
      {"vbShortTime", vtInteger, 4},
      {"vbUseDefault", vtInteger, -2},
      {"vbTrue", vtInteger, -1},
      {"vbArray", vtInteger, 8192},
      {"vbByte", vtInteger, 17},
      {"vbObjectError", vtLong, -2147221504},
      {"vbRed", vtLong, 0xFF},
      {"vbBlue", vtLong, 0xFF0000},
      {"vbWhite", vtLong, 0xFFFFFF},
      {"vbYesNo", vtInteger, 4},
      {"vbNo", vtInteger, 7},
      {"vbSystemModal", vtInteger, 4096},
      {"vbMsgBoxRight", vtLong, 524288},
  };
  for (const Expect& e : numbers) {
    Variant v = constant(e.name);
    EXPECT_EQ(v.type(), e.type) << e.name;
    EXPECT_EQ(v.type() == vtInteger ? v.rawInteger() : v.rawLong(), e.value) << e.name;
  }
  EXPECT_EQ(constant("vbCrLf").rawString(), "\r\n");
  EXPECT_EQ(constant("vbNewLine").rawString(), "\r\n");
  EXPECT_EQ(constant("vbCr").rawString(), "\r");
  EXPECT_EQ(constant("vbLf").rawString(), "\n");
  EXPECT_EQ(constant("vbTab").rawString(), "\t");
  EXPECT_EQ(constant("vbNullChar").rawString(), std::string_view("\0", 1));
  EXPECT_EQ(constant("vbNullString").rawString(), "");
  EXPECT_EQ(constant("vbFormFeed").rawString(), "\f");
  EXPECT_EQ(constant("vbVerticalTab").rawString(), "\v");
  EXPECT_EQ(constant("vbNullString").type(), vtString);
}

}  // namespace
