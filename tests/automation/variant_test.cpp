// Variant storage: subtypes, shared texts copied on write, object references
// released deterministically, and arrays with their bounds.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "automation/dispatch.h"
#include "automation/variant.h"
#include "support/expect_error.h"

using namespace tw;

namespace {

// Counts live instances so tests can see exactly when the last reference goes.
class Tracked : public Dispatch {
 public:
  explicit Tracked(int* live) : live_(live) { ++*live_; }
  ~Tracked() override { --*live_; }

 private:
  int* live_;
};

}  // namespace

TEST(VariantSubtypes, VarTypeOfEachFactory) {
  EXPECT_EQ(Variant().varType(), vtEmpty);
  EXPECT_EQ(Variant::null().varType(), vtNull);
  EXPECT_EQ(Variant(true).varType(), vtBoolean);
  EXPECT_EQ(Variant(5).varType(), vtLong);
  EXPECT_EQ(Variant::integer(5).varType(), vtInteger);
  EXPECT_EQ(Variant::byte(5).varType(), vtByte);
  EXPECT_EQ(Variant::single(5).varType(), vtSingle);
  EXPECT_EQ(Variant(5.0).varType(), vtDouble);
  EXPECT_EQ(Variant::currency(5).varType(), vtCurrency);
  EXPECT_EQ(Variant::date(5).varType(), vtDate);
  EXPECT_EQ(Variant("x").varType(), vtString);
  EXPECT_EQ(Variant::nothing().varType(), vtObject);
  EXPECT_TRUE(Variant::nothing().isNothing());
  EXPECT_EQ(Variant::error(448).varType(), vtError);
  EXPECT_EQ(Variant::array(std::vector<Variant>{}).varType(), vtArray + vtVariant);
  std::pair<int32_t, int32_t> b[] = {{0, 3}};
  EXPECT_EQ(Variant::array(b, vtByte).varType(), vtArray + vtByte);
}

TEST(VariantText, CopiesShareUntilWritten) {
  Variant a("hello");
  Variant b = a;
  EXPECT_EQ(a.rawString().data(), b.rawString().data());  // one shared text
  a.mutableString() += " world";
  EXPECT_EQ(a.rawString(), "hello world");
  EXPECT_EQ(b.rawString(), "hello");
  b.mutableString() += "!";
  EXPECT_EQ(b.rawString(), "hello!");
  EXPECT_EQ(a.rawString(), "hello world");
}

TEST(VariantText, MovingLeavesEmpty) {
  Variant a("text");
  Variant b = std::move(a);
  EXPECT_TRUE(a.isEmpty());
  EXPECT_EQ(b.rawString(), "text");
  Variant c;
  c = std::move(b);
  EXPECT_TRUE(b.isEmpty());
  EXPECT_EQ(c.rawString(), "text");
}

TEST(VariantText, MutableStringOnlyForStrings) {
  Variant n(5);
  EXPECT_TW_ERROR(n.mutableString(), kErrTypeMismatch);
  Variant e;
  EXPECT_TW_ERROR(e.mutableArray(), kErrTypeMismatch);
}

TEST(VariantObjects, LastReferenceReleasesAtOnce) {
  int live = 0;
  {
    Variant a(makeRef<Tracked>(&live));
    EXPECT_EQ(live, 1);
    EXPECT_EQ(a.rawObject()->refCount(), 1);
    Variant b = a;
    EXPECT_EQ(a.rawObject()->refCount(), 2);
    a.clear();
    EXPECT_EQ(live, 1);
    EXPECT_TRUE(a.isEmpty());
    b = Variant(3);  // overwriting drops the last reference
    EXPECT_EQ(live, 0);
  }
  {
    Variant holder;
    {
      Variant inner(makeRef<Tracked>(&live));
      holder = inner;
    }
    EXPECT_EQ(live, 1);
  }
  EXPECT_EQ(live, 0);
}

TEST(VariantObjects, ArraysReleaseTheirElements) {
  int live = 0;
  {
    Variant arr = Variant::array(
        std::vector<Variant>{Variant(makeRef<Tracked>(&live)), Variant(makeRef<Tracked>(&live))});
    EXPECT_EQ(live, 2);
    Variant copy = arr;
    copy.mutableArray().data[0] = Variant();  // the copy unshares first
    EXPECT_EQ(live, 2);
    copy.clear();
    EXPECT_EQ(live, 2);
  }
  EXPECT_EQ(live, 0);
}

TEST(VariantIdentical, SameSubtypeAndValue) {
  EXPECT_TRUE(Variant(1).identical(Variant(1)));
  EXPECT_FALSE(Variant(1).identical(Variant::integer(1)));
  EXPECT_TRUE(Variant("a").identical(Variant("a")));
  EXPECT_FALSE(Variant("a").identical(Variant("A")));
  EXPECT_TRUE(Variant::null().identical(Variant::null()));
  int live = 0;
  auto obj = makeRef<Tracked>(&live);
  EXPECT_TRUE(Variant(obj).identical(Variant(obj)));
  EXPECT_FALSE(Variant(obj).identical(Variant(makeRef<Tracked>(&live))));
}

TEST(SafeArrays, BoundsAndOffsets) {
  std::pair<int32_t, int32_t> bounds[] = {{1, 3}, {0, 1}};
  Variant v = Variant::array(bounds);
  const SafeArray* a = v.rawArray();
  EXPECT_EQ(a->dims(), 2);
  EXPECT_EQ(a->lbound(1), 1);
  EXPECT_EQ(a->ubound(1), 3);
  EXPECT_EQ(a->lbound(2), 0);
  EXPECT_EQ(a->ubound(2), 1);
  EXPECT_EQ(a->data.size(), 6u);
  // The first index varies fastest.
  int32_t i11[] = {1, 0}, i21[] = {2, 0}, i12[] = {1, 1}, i32[] = {3, 1};
  EXPECT_EQ(a->offset(i11), 0u);
  EXPECT_EQ(a->offset(i21), 1u);
  EXPECT_EQ(a->offset(i12), 3u);
  EXPECT_EQ(a->offset(i32), 5u);
  EXPECT_TW_ERROR(a->lbound(0), kErrSubscript);
  EXPECT_TW_ERROR(a->ubound(3), kErrSubscript);
  int32_t low[] = {0, 0}, high[] = {4, 0}, col[] = {1, 2}, oneIndex[] = {1};
  EXPECT_TW_ERROR(a->offset(low), kErrSubscript);
  EXPECT_TW_ERROR(a->offset(high), kErrSubscript);
  EXPECT_TW_ERROR(a->offset(col), kErrSubscript);
  EXPECT_TW_ERROR(a->offset(oneIndex), kErrSubscript);
}

TEST(SafeArrays, ElementsStartEmptyOrZeroBytes) {
  std::pair<int32_t, int32_t> bounds[] = {{0, 2}};
  Variant v = Variant::array(bounds);
  for (const Variant& e : v.rawArray()->data) EXPECT_TRUE(e.isEmpty());
  Variant bytes = Variant::array(bounds, vtByte);
  for (const Variant& e : bytes.rawArray()->data) EXPECT_EQ(e.varType(), vtByte);
  std::pair<int32_t, int32_t> emptyArray[] = {{0, -1}};
  EXPECT_EQ(Variant::array(emptyArray).rawArray()->data.size(), 0u);
  std::pair<int32_t, int32_t> bad[] = {{0, -2}};
  EXPECT_TW_ERROR(Variant::array(bad), kErrSubscript);
}

TEST(SafeArrays, CopiesAreIndependentAfterWrite) {
  Variant a = Variant::array(std::vector<Variant>{Variant(1), Variant(2)});
  Variant b = a;
  int32_t idx[] = {0};
  b.mutableArray().at(idx) = Variant(99);
  EXPECT_EQ(a.rawArray()->at(idx).rawLong(), 1);
  EXPECT_EQ(b.rawArray()->at(idx).rawLong(), 99);
}

TEST(SafeArrays, RedimPreserveKeepsElementsAndChecksDimensions) {
  std::pair<int32_t, int32_t> bounds[] = {{0, 1}, {0, 1}};
  Variant v = Variant::array(bounds);
  SafeArray& a = v.mutableArray();
  int32_t i01[] = {0, 1}, i12[] = {1, 2};
  a.at(i01) = Variant("kept");
  std::pair<int32_t, int32_t> grown[] = {{0, 1}, {0, 3}};
  a.redimPreserve(grown);
  EXPECT_EQ(a.ubound(2), 3);
  EXPECT_EQ(a.at(i01).rawString(), "kept");
  EXPECT_TRUE(a.at(i12).isEmpty());
  std::pair<int32_t, int32_t> shrunk[] = {{0, 1}, {0, 0}};
  a.redimPreserve(shrunk);
  EXPECT_EQ(a.data.size(), 2u);
  // Only the last dimension may change, and the dimension count stays.
  std::pair<int32_t, int32_t> firstChanged[] = {{0, 2}, {0, 0}};
  EXPECT_TW_ERROR(a.redimPreserve(firstChanged), kErrSubscript);
  std::pair<int32_t, int32_t> oneDim[] = {{0, 5}};
  EXPECT_TW_ERROR(a.redimPreserve(oneDim), kErrSubscript);
  a.locks = 1;  // held by For Each
  EXPECT_TW_ERROR(a.redimPreserve(grown), kErrArrayLocked);
}
