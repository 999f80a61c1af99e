// Host objects called with more arguments than a member takes.
#include <gtest/gtest.h>

#include "automation/dispatch.h"
#include "vbs/host.h"

namespace tw {
namespace {

class Counter : public Dispatch {
 public:
  int runs = 0;
  Ref<Dispatch> list;
  const ClassInfo* classInfo() const override {
    static const ClassInfo info = ClassBuilder<Counter>("Counter")
                                      .method("Bump", [](Counter& c) { return ++c.runs; })
                                      .get("List", [](Counter& c) { return Variant(c.list); })
                                      .build();
    return &info;
  }
};

class Items : public Dispatch {
 public:
  const ClassInfo* classInfo() const override {
    static const ClassInfo info =
        ClassBuilder<Items>("Items")
            .get("Item", [](Items&, const Variant& i) { return Variant("item " + i.toString()); })
            .defaultMember("Item")
            .build();
    return &info;
  }
};

TEST(HostMembers, AMethodCalledWithExtraArgumentsFailsWithoutRunning) {
  auto counter = makeRef<Counter>();
  counter->list = makeRef<Items>();
  vbs::ScriptHost host;
  host.addObject("C", counter);
  auto& m = host.globalModule();
  EXPECT_THROW(m.executeStatement("x = C.Bump(1, 2)"), vbs::ScriptError);
  EXPECT_EQ(host.error().number, kErrWrongArgCount);
  EXPECT_EQ(counter->runs, 0);
  // A property without parameters passes the arguments on to its value.
  EXPECT_EQ(m.eval("C.List(3)").toString(), "item 3");
  EXPECT_EQ(m.eval("C.Bump").toLong(), 1);
}

}  // namespace
}  // namespace tw
