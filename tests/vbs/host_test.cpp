// The script host API: modules, procedures, errors, time-out, published
// objects and calls between the host and script objects.
#include "vbs/host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "automation/dispatch.h"

namespace tw::vbs {
namespace {

// A host object: keeps what the script hands it and calls back into it.
class Recorder final : public Dispatch {
 public:
  const ClassInfo* classInfo() const override {
    static const ClassInfo info =
        ClassBuilder<Recorder>("Recorder")
            .method("Note", [](Recorder& r, const Variant& v) { r.lines.push_back(v.toString()); })
            .method("Keep", [](Recorder& r, const Variant& v) { r.kept = v; })
            .method("Fail", [](Recorder&) { raise(kErrPathNotFound); })
            .method("Double", [](Recorder&, Args a) { a[0] = Variant(a[0].toLong() * 2); })
            .prop(
                "Title", [](Recorder& r) { return r.title; },
                [](Recorder& r, const Variant& v) { r.title = v.toString(); })
            .build();
    return &info;
  }
  std::vector<std::string> lines;
  Variant kept;
  std::string title = "untitled";
};

class HostTest : public ::testing::Test {
 protected:
  ScriptHost host;
  ScriptHost::Module& global() { return host.globalModule(); }
};

TEST_F(HostTest, ModulesHaveSeparateNamespaces) {
  ScriptHost::Module& a = host.addModule("A");
  ScriptHost::Module& b = host.addModule("B");
  a.addCode("Dim shared\nshared = \"in A\"\nFunction Which()\nWhich = \"A\"\nEnd Function");
  b.addCode("Function Which()\nWhich = \"B\"\nEnd Function");
  EXPECT_EQ(a.run("Which").toString(), "A");
  EXPECT_EQ(b.run("Which").toString(), "B");
  EXPECT_EQ(a.eval("shared").toString(), "in A");
  EXPECT_TRUE(b.eval("IsEmpty(shared)").toBool());
  EXPECT_FALSE(global().hasProcedure("Which"));
  EXPECT_EQ(&host.module("a"), &a) << "module names ignore case";
  EXPECT_EQ(&host.addModule("A"), &a) << "adding an existing name returns it";
  EXPECT_THROW(host.module("missing"), Error);
}

TEST_F(HostTest, ProceduresAreListedInDefinitionOrder) {
  global().addCode(
      "Sub First(a, b)\nEnd Sub\n"
      "Function Second()\nEnd Function\n"
      "Dim notAProcedure\n"
      "Class NotAProcedureEither\nSub Method()\nEnd Sub\nEnd Class\n"
      "Function Third(x)\nThird = x\nEnd Function\n");
  std::vector<ProcedureInfo> procs = global().procedures();
  ASSERT_EQ(procs.size(), 3u);
  EXPECT_EQ(procs[0].name, "First");
  EXPECT_EQ(procs[0].argCount, 2);
  EXPECT_FALSE(procs[0].hasReturnValue);
  EXPECT_EQ(procs[1].name, "Second");
  EXPECT_EQ(procs[1].argCount, 0);
  EXPECT_TRUE(procs[1].hasReturnValue);
  EXPECT_EQ(procs[2].name, "Third");
  EXPECT_EQ(procs[2].argCount, 1);
}

TEST_F(HostTest, RedefinitionReplacesAndKeepsPosition) {
  global().addCode("Function Page()\nPage = 1\nEnd Function\nSub Other()\nEnd Sub");
  global().addCode("Function Page()\nPage = 2\nEnd Function");
  EXPECT_EQ(global().run("Page").toLong(), 2);
  std::vector<ProcedureInfo> procs = global().procedures();
  ASSERT_EQ(procs.size(), 2u);
  EXPECT_EQ(procs[0].name, "Page");
  EXPECT_EQ(procs[1].name, "Other");
  // A Sub may replace a Function of the same name.
  global().addCode("Sub Page(a)\nEnd Sub");
  procs = global().procedures();
  EXPECT_EQ(procs[0].argCount, 1);
  EXPECT_FALSE(procs[0].hasReturnValue);
}

TEST_F(HostTest, SyntaxErrorReportsPositionAndAddsNothing) {
  const char* code =
      "Sub Fine()\n"
      "End Sub\n"
      "x = 1\n"
      "If x Then y = 2 Else z = 3 Foo\n";
  try {
    global().addCode(code);
    FAIL() << "no error";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), 1025);
  }
  const ScriptErrorInfo& err = host.error();
  EXPECT_EQ(err.number, 1025);
  EXPECT_EQ(err.description, "Expected end of statement");
  EXPECT_TRUE(err.compilation);
  EXPECT_EQ(err.line, 4);
  EXPECT_EQ(err.column, 28);
  EXPECT_EQ(err.text, "If x Then y = 2 Else z = 3 Foo");
  EXPECT_FALSE(global().hasProcedure("Fine")) << "nothing of the failed code is added";
  EXPECT_TRUE(global().eval("IsEmpty(x)").toBool()) << "its statements did not run";
}

TEST_F(HostTest, RuntimeErrorFillsTheErrorObject) {
  global().addCode("Function Divide(a, b)\n  Divide = a / b\nEnd Function");
  EXPECT_THROW(global().run("Divide", {Variant(1), Variant(0)}), ScriptError);
  const ScriptErrorInfo& err = host.error();
  EXPECT_EQ(err.number, kErrDivByZero);
  EXPECT_EQ(err.description, "Division by zero");
  EXPECT_EQ(err.source, "Microsoft VBScript runtime error");
  EXPECT_FALSE(err.compilation);
  EXPECT_EQ(err.line, 2);
  EXPECT_EQ(err.column, 3);
  EXPECT_EQ(err.text, "  Divide = a / b");

  // A raised error keeps its source and description.
  EXPECT_THROW(global().addCode("\n\nErr.Raise 1234, \"Mine\", \"It broke\""), ScriptError);
  EXPECT_EQ(host.error().number, 1234);
  EXPECT_EQ(host.error().source, "Mine");
  EXPECT_EQ(host.error().description, "It broke");
  EXPECT_EQ(host.error().line, 3);

  // The host's report names what the error is about; the script's
  // Err.Description does not.
  EXPECT_THROW(global().addCode("Sub TakesOne(a)\nEnd Sub\nTakesOne 1, 2"), ScriptError);
  EXPECT_EQ(host.error().number, kErrWrongArgCount);
  EXPECT_EQ(host.error().description, "Wrong number of arguments or invalid property assignment: 'TakesOne'");
  global().addCode("On Error Resume Next\nTakesOne 1, 2\ndescribed = Err.Description");
  EXPECT_EQ(global().eval("described").toString(), "Wrong number of arguments or invalid property assignment");

  // Unknown procedures.
  EXPECT_THROW(global().run("NoSuchThing"), ScriptError);
  EXPECT_EQ(host.error().number, kErrSubNotDefined);
  // Wrong argument count.
  EXPECT_THROW(global().run("Divide", {Variant(1)}), ScriptError);
  EXPECT_EQ(host.error().number, kErrWrongArgCount);
}

TEST_F(HostTest, TimeOutStopsAnEndlessLoop) {
  host.setTimeout(200);
  auto start = std::chrono::steady_clock::now();
  try {
    global().addCode("On Error Resume Next\nDo\n  x = x + 1\nLoop");
    FAIL() << "the loop ended by itself";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), scriptTimeoutError());
    EXPECT_NE(e.description().find("timed out"), std::string::npos);
  }
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(30)) << "stopped by the time-out, not by anything else";
  // Endless recursion through calls is stopped too, and the host stays usable.
  global().addCode("Sub Spin()\nDo\nLoop\nEnd Sub");
  EXPECT_THROW(global().run("Spin"), ScriptError);
  EXPECT_EQ(host.error().number, scriptTimeoutError());
  host.setTimeout(-1);
  EXPECT_EQ(global().eval("1 + 1").toLong(), 2);
}

TEST_F(HostTest, PublishedObjectsAreReachableFromEveryModule) {
  auto rec = makeRef<Recorder>();
  host.addObject("Rec", rec);
  ScriptHost::Module& other = host.addModule("Other");
  global().addCode("Rec.Note \"from global\"");
  other.addCode("Rec.Note \"from other\"\nRec.Title = \"set\"");
  ASSERT_EQ(rec->lines.size(), 2u);
  EXPECT_EQ(rec->lines[0], "from global");
  EXPECT_EQ(rec->lines[1], "from other");
  EXPECT_EQ(rec->title, "set");
  // A module added after the object sees it as well.
  host.addModule("Late").addCode("Rec.Note TypeName(Rec)");
  EXPECT_EQ(rec->lines.back(), "Recorder");
}

TEST_F(HostTest, PublishedMembersCanBeNamedAlone) {
  auto rec = makeRef<Recorder>();
  host.addObject("App", rec, true);
  global().addCode("Note \"direct\"\nTitle = \"direct title\"\nApp.Note Title");
  ASSERT_EQ(rec->lines.size(), 2u);
  EXPECT_EQ(rec->lines[0], "direct");
  EXPECT_EQ(rec->lines[1], "direct title");
}

TEST_F(HostTest, HostErrorsReachTheScript) {
  host.addObject("Rec", makeRef<Recorder>());
  global().addCode(
      "Dim n\nOn Error Resume Next\nRec.Fail\nn = Err.Number\nOn Error GoTo 0\n"
      "Dim v\nv = 21\nRec.Double v");
  EXPECT_EQ(global().eval("n").toLong(), kErrPathNotFound);
  EXPECT_EQ(global().eval("v").toLong(), 42) << "a host member may change a ByRef argument";
  EXPECT_THROW(global().addCode("Rec.Fail"), ScriptError);
  EXPECT_EQ(host.error().number, kErrPathNotFound);
  EXPECT_EQ(host.error().line, 1);
  EXPECT_THROW(global().addCode("Rec.NoSuchMember"), ScriptError);
  EXPECT_EQ(host.error().number, kErrNoSuchMember);
}

TEST_F(HostTest, ScriptObjectsCanBeCalledBackFromTheHost) {
  auto rec = makeRef<Recorder>();
  host.addObject("Rec", rec);
  global().addCode(
      "Class Greeter\n"
      "  Public Greeting\n"
      "  Public Function Greet(name)\n"
      "    Greet = Greeting & \", \" & name\n"
      "  End Function\n"
      "  Public Sub Rename(ByRef name)\n"
      "    name = UCase(name)\n"
      "  End Sub\n"
      "End Class\n"
      "Dim g\n"
      "Set g = New Greeter\n"
      "g.Greeting = \"Hello\"\n"
      "Rec.Keep g\n");
  ASSERT_TRUE(rec->kept.isObject());
  Dispatch* g = rec->kept.rawObject();
  EXPECT_EQ(g->typeName(), "Greeter");
  EXPECT_EQ(g->call("Greet", {Variant("world")}).toString(), "Hello, world");
  g->put("Greeting", Variant("Hi"));
  EXPECT_EQ(g->get("Greeting").toString(), "Hi");
  // ByRef parameters write back into the host's arguments.
  std::vector<Variant> args{Variant("quiet")};
  g->invoke(g->memberId("Rename"), kInvokeMethod, args);
  EXPECT_EQ(args[0].toString(), "QUIET");
  EXPECT_EQ(g->memberId("NoSuch"), kDispIdUnknown);

  // A procedure handed out with GetRef is called through its default member.
  global().addCode("Function Add(a, b)\nAdd = a + b\nEnd Function\nRec.Keep GetRef(\"Add\")");
  std::vector<Variant> addArgs{Variant(2), Variant(3)};
  Variant result = rec->kept.rawObject()->invoke(kDispIdValue, kInvokeMethod, addArgs);
  EXPECT_EQ(result.toLong(), 5);
}

TEST_F(HostTest, RunWritesByRefArgumentsBack) {
  global().addCode("Sub Fill(ByRef a, ByVal b)\na = \"filled\"\nb = \"ignored\"\nEnd Sub");
  std::vector<Variant> args{Variant("x"), Variant("y")};
  global().run("Fill", Args(args.data(), args.size()));
  EXPECT_EQ(args[0].toString(), "filled");
  EXPECT_EQ(args[1].toString(), "y");
}

TEST_F(HostTest, EvalAndExecuteStatement) {
  global().addCode("Dim total\ntotal = 5");
  global().executeStatement("total = total * 3");
  EXPECT_EQ(global().eval("total").toLong(), 15);
  EXPECT_EQ(global().eval("total > 10").toBool(), true);
  EXPECT_THROW(global().eval("total +"), ScriptError);
  EXPECT_TRUE(host.error().compilation);
  EXPECT_EQ(host.error().line, 1);
}

TEST_F(HostTest, CallsFromTheHostIntoScriptInsideAHostCall) {
  // The host object runs a script procedure while the script is calling it.
  class Reentrant final : public Dispatch {
   public:
    explicit Reentrant(ScriptHost& h) : host(h) {}
    const ClassInfo* classInfo() const override {
      static const ClassInfo info = ClassBuilder<Reentrant>("Reentrant")
                                        .method("CallBack",
                                                [](Reentrant& r, const Variant& name) {
                                                  return r.host.globalModule().run(name.toString());
                                                })
                                        .build();
      return &info;
    }
    ScriptHost& host;
  };
  host.addObject("Host", makeRef<Reentrant>(host));
  global().addCode(
      "Function Inner()\nInner = \"inner result\"\nEnd Function\nDim got\ngot = Host.CallBack(\"Inner\")");
  EXPECT_EQ(global().eval("got").toString(), "inner result");
}

TEST_F(HostTest, ResetDropsCodeObjectsAndRunsTerminate) {
  auto rec = makeRef<Recorder>();
  host.addObject("Rec", rec);
  host.addModule("Extra");
  global().addCode(
      "Class T\nSub Class_Terminate()\nRec.Note \"terminated\"\nEnd Sub\nPublic Function Hello()\nHello = "
      "1\nEnd Function\n"
      "End Class\n"
      "Dim keep\nSet keep = New T\nRec.Keep keep\n"
      "Function Gone()\nEnd Function");
  Variant held = rec->kept;
  rec->kept.clear();
  host.reset();
  EXPECT_EQ(host.moduleNames(), std::vector<std::string>{"Global"});
  EXPECT_FALSE(global().hasProcedure("Gone"));
  EXPECT_THROW(global().addCode("Rec.Note 1"), ScriptError) << "published objects are dropped";
  // An object the host still holds no longer runs code, and does not crash.
  EXPECT_THROW(held.rawObject()->call("Hello"), Error);
  held.clear();
  EXPECT_TRUE(rec->lines.empty()) << "Class_Terminate ran while the object was still referenced";
}

TEST_F(HostTest, ResetFreesObjectsThatOnlyReferenceEachOther) {
  auto rec = makeRef<Recorder>();
  host.addObject("Rec", rec);
  global().addCode(
      "Class Node\nPublic Other, Payload\nEnd Class\n"
      "Dim a, b\nSet a = New Node\nSet b = New Node\n"
      "Set a.Other = b\nSet b.Other = a\nSet a.Payload = Rec\n"
      "Set a = Nothing\nSet b = Nothing\n");
  EXPECT_EQ(rec->refCount(), 4) << "the test, the host's object table, the module's name for it, the cycle";
  host.reset();
  EXPECT_EQ(rec->refCount(), 1) << "the cycle was freed with its module";
}

TEST_F(HostTest, TerminateRunsWhenTheLastReferenceGoes) {
  auto rec = makeRef<Recorder>();
  host.addObject("Rec", rec);
  global().addCode(
      "Class T\nPublic Name\nSub Class_Terminate()\nRec.Note \"end \" & Name\nEnd Sub\nEnd Class\n"
      "Dim a\nSet a = New T\na.Name = \"a\"\nRec.Keep a\nSet a = Nothing\nRec.Note \"released by script\"");
  ASSERT_EQ(rec->lines.size(), 1u);
  EXPECT_EQ(rec->lines[0], "released by script");
  rec->kept.clear();
  ASSERT_EQ(rec->lines.size(), 2u);
  EXPECT_EQ(rec->lines[1], "end a") << "the host's release was the last one";
}

TEST_F(HostTest, LanguageAndTimeoutSettings) {
  EXPECT_EQ(host.language(), "VBScript");
  host.setLanguage("vbscript");
  EXPECT_THROW(host.setLanguage("JScript"), Error);
  EXPECT_EQ(host.timeout(), -1);
  host.setTimeout(5000);
  EXPECT_EQ(host.timeout(), 5000);
}

TEST_F(HostTest, ErrorsInAddCodeKeepWhatRanBefore) {
  // A runtime error stops the statements of the unit; its procedures stay.
  EXPECT_THROW(global().addCode("Dim before\nbefore = 1\nx = 1 / 0\nbefore = 2\nSub Kept()\nEnd Sub"),
               ScriptError);
  EXPECT_EQ(host.error().line, 3);
  EXPECT_EQ(global().eval("before").toLong(), 1);
  EXPECT_TRUE(global().hasProcedure("Kept"));
}

}  // namespace
}  // namespace tw::vbs
