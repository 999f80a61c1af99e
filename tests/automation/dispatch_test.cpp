// Dispatch objects built with ClassBuilder: member lookup, default members,
// argument checks, property puts and enumerators.
#include "automation/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/variant.h"
#include "support/expect_error.h"

using namespace tw;

namespace {

class Widget : public Dispatch {
 public:
  const ClassInfo* classInfo() const override {
    static const ClassInfo info =
        ClassBuilder<Widget>("Widget")
            .get("Name", [](Widget&) { return std::string("widget"); })
            .prop(
                "Value", [](Widget& w) { return w.value; }, [](Widget& w, const Variant& v) { w.value = v; })
            .put("Secret", [](Widget& w, const Variant& v) { w.secret = v; })
            .putRef("Child", [](Widget& w, const Variant& v) { w.child = v; })
            .get("Child", [](Widget& w) { return w.child; })
            .method("Sum",
                    [](Widget&, const Variant& a, const Variant& b) { return a.toLong() + b.toLong(); })
            .method("Count", [](Widget&, Args a) { return static_cast<int32_t>(a.size()); })
            .method("Bump",
                    [](Widget&, Args a) {
                      for (Variant& v : a) v = Variant(v.toLong() + 1);
                    })
            .method("Reset", [](Widget& w) { w.value = Variant(); })
            .defaultMember("value")
            .build();
    return &info;
  }

  Variant value{Variant(7)};
  Variant secret;
  Variant child;
};

// A default member that returns another object with a default member.
class Outer : public Dispatch {
 public:
  explicit Outer(Ref<Widget> inner) : inner_(std::move(inner)) {}
  const ClassInfo* classInfo() const override {
    static const ClassInfo info = ClassBuilder<Outer>("Outer")
                                      .get("Item", [](Outer& o) { return Variant(o.inner_); })
                                      .defaultMember("Item")
                                      .build();
    return &info;
  }

 private:
  Ref<Widget> inner_;
};

}  // namespace

TEST(Dispatch, MemberNamesIgnoreCase) {
  auto w = makeRef<Widget>();
  DispId id = w->memberId("Name");
  EXPECT_NE(id, kDispIdUnknown);
  EXPECT_EQ(w->memberId("NAME"), id);
  EXPECT_EQ(w->memberId("name"), id);
  EXPECT_EQ(w->memberId("nAmE"), id);
  EXPECT_NE(w->memberId("value"), id);
  EXPECT_EQ(w->memberId("Nom"), kDispIdUnknown);
  EXPECT_EQ(w->get("NAME").rawString(), "widget");
  EXPECT_EQ(w->typeName(), "Widget");
}

TEST(Dispatch, UnknownMemberRaises438WithTheName) {
  auto w = makeRef<Widget>();
  // The name is the error's subject: hosts show it, Err.Description does not.
  EXPECT_TW_ERROR_TEXT(w->get("Colour"), kErrNoSuchMember, "Object doesn't support this property or method");
  try {
    w->get("Colour");
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.subject(), "Colour");
    EXPECT_EQ(e.message(), "Object doesn't support this property or method: 'Colour'");
  }
  EXPECT_TW_ERROR(w->call("Frobnicate"), kErrNoSuchMember);
  EXPECT_TW_ERROR(w->put("Colour", Variant(1)), kErrNoSuchMember);
  EXPECT_TW_ERROR(w->invoke(999, kInvokeGet, {}), kErrNoSuchMember);
}

TEST(Dispatch, FixedArgumentCountsAreChecked) {
  auto w = makeRef<Widget>();
  EXPECT_EQ(w->call("Sum", {Variant(2), Variant("3")}).rawLong(), 5);
  EXPECT_TW_ERROR(w->call("Sum", {Variant(2)}), kErrWrongArgCount);
  EXPECT_TW_ERROR(w->call("Sum", {Variant(1), Variant(2), Variant(3)}), kErrWrongArgCount);
  EXPECT_TW_ERROR(w->get("Name", {Variant(1)}), kErrWrongArgCount);
  EXPECT_TW_ERROR(w->put("Value", Variant(1), {Variant(0)}), kErrWrongArgCount);
  // Members taking Args accept any count.
  EXPECT_EQ(w->call("Count").rawLong(), 0);
  EXPECT_EQ(w->call("Count", {Variant(1), Variant(2), Variant(3)}).rawLong(), 3);
  // A member returning nothing gives Empty.
  EXPECT_TRUE(w->call("Reset").isEmpty());
  EXPECT_TRUE(w->value.isEmpty());
}

TEST(Dispatch, ArgumentsCanBeWrittenBack) {
  auto w = makeRef<Widget>();
  std::vector<Variant> args{Variant(1), Variant(10)};
  w->invoke(w->memberId("Bump"), kInvokeMethod, args);
  EXPECT_EQ(args[0].rawLong(), 2);
  EXPECT_EQ(args[1].rawLong(), 11);
}

TEST(Dispatch, PutAndPutRef) {
  auto w = makeRef<Widget>();
  w->put("value", Variant("x"));
  EXPECT_EQ(w->get("Value").rawString(), "x");
  w->put("Secret", Variant(3));
  EXPECT_EQ(w->secret.rawLong(), 3);
  EXPECT_TW_ERROR(w->get("Secret"), kErrNoSuchMember);               // write-only
  EXPECT_TW_ERROR(w->put("Name", Variant("y")), kErrWrongArgCount);  // read-only
  auto other = makeRef<Widget>();
  w->putRef("Child", Variant(other));
  EXPECT_EQ(w->child.rawObject(), other.get());
  // Let of an object to a Set-only property goes to the Set.
  auto third = makeRef<Widget>();
  w->put("Child", Variant(third));
  EXPECT_EQ(w->child.rawObject(), third.get());
  EXPECT_TW_ERROR(w->invoke(w->memberId("Value"), kInvokePut, {}), kErrWrongArgCount);
}

TEST(Dispatch, DefaultMemberGivesTheValue) {
  auto w = makeRef<Widget>();
  Variant obj(w);
  Variant v = obj.valueOf();
  EXPECT_EQ(v.varType(), vtLong);
  EXPECT_EQ(v.rawLong(), 7);
  EXPECT_EQ(obj.toString(), "7");
  // The default member also answers to id 0 for puts.
  std::vector<Variant> args{Variant(9)};
  w->invoke(kDispIdValue, kInvokePut, args);
  EXPECT_EQ(w->value.rawLong(), 9);
  // A default member returning an object is followed to a plain value.
  Variant outer(makeRef<Outer>(w));
  EXPECT_EQ(outer.valueOf().rawLong(), 9);
  EXPECT_EQ(outer.toLong(), 9);
}

TEST(Dispatch, ValueOfWithoutDefaultMemberOrObject) {
  class Bare : public Dispatch {
   public:
    const ClassInfo* classInfo() const override {
      static const ClassInfo info = ClassBuilder<Bare>("Bare").get("X", [](Bare&) { return 1; }).build();
      return &info;
    }
  };
  EXPECT_TW_ERROR(Variant(makeRef<Bare>()).valueOf(), kErrNoSuchMember);
  EXPECT_TW_ERROR(Variant::nothing().valueOf(), kErrObjectNotSet);
  EXPECT_EQ(Variant(5).valueOf().rawLong(), 5);  // non-objects are themselves
  EXPECT_TW_ERROR(Variant(5).toObject(), kErrObjectRequired);
}

TEST(Dispatch, ReferencesAreCounted) {
  auto w = makeRef<Widget>();
  EXPECT_EQ(w->refCount(), 1);
  {
    Variant a(w), b(w);
    EXPECT_EQ(w->refCount(), 3);
  }
  EXPECT_EQ(w->refCount(), 1);
}

TEST(Enumerators, VectorEnumeratorYieldsInOrder) {
  auto e = makeRef<VectorEnumerator>(std::vector<Variant>{Variant(1), Variant(2), Variant(3)});
  Variant v;
  ASSERT_TRUE(e->next(v));
  EXPECT_EQ(v.rawLong(), 1);
  Ref<Enumerator> copy = e->clone();
  ASSERT_TRUE(e->next(v));
  EXPECT_EQ(v.rawLong(), 2);
  ASSERT_TRUE(e->next(v));
  EXPECT_EQ(v.rawLong(), 3);
  EXPECT_FALSE(e->next(v));
  // The clone continues from where the original was when cloned.
  ASSERT_TRUE(copy->next(v));
  EXPECT_EQ(v.rawLong(), 2);
  e->reset();
  EXPECT_TRUE(e->skip(2));
  ASSERT_TRUE(e->next(v));
  EXPECT_EQ(v.rawLong(), 3);
  e->reset();
  EXPECT_FALSE(e->skip(4));
}

TEST(Enumerators, PlainObjectsAreNotCollections) {
  auto w = makeRef<Widget>();
  EXPECT_TW_ERROR(w->newEnum(), kErrNotCollection);
}
