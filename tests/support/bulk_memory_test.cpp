// Bulk memory: where allocations come from inside and outside a scope, and
// that every region goes away once what was taken from it is given back.
#include "support/bulk_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace tw {
namespace {

TEST(BulkMemoryTest, OutsideAScopeMemoryComesFromMalloc) {
  const size_t regions = bulkMemoryStats().regions;
  void* p = bulkAllocate(100);
  ASSERT_NE(p, nullptr);
  std::memset(p, 0xAB, 100);
  EXPECT_EQ(bulkMemoryStats().regions, regions);
  bulkRelease(p);
  bulkRelease(nullptr);
}

TEST(BulkMemoryTest, RegionsLastAsLongAsTheirAllocations) {
  std::vector<void*> blocks;
  {
    BulkMemoryScope scope;
    // 32 KiB pieces, as a parser takes them, filling several regions.
    for (int i = 0; i < 1000; ++i) {
      void* p = bulkAllocate(32768);
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
      std::memset(p, i & 0xFF, 32768);
      blocks.push_back(p);
    }
  }
  const BulkMemoryStats full = bulkMemoryStats();
  EXPECT_GE(full.regions, 4u);
  EXPECT_GE(full.mappedBytes, size_t(1000) * 32768);
  // Nothing handed out overlaps: each block still holds its own pattern.
  for (size_t i = 0; i < blocks.size(); ++i)
    EXPECT_EQ(static_cast<unsigned char*>(blocks[i])[32767], static_cast<unsigned char>(i & 0xFF)) << i;
  // Given back from another thread, in another order.
  std::thread([&] {
    for (size_t i = blocks.size(); i-- > 0;) bulkRelease(blocks[i]);
  }).join();
  EXPECT_EQ(bulkMemoryStats().regions, 0u);
  EXPECT_EQ(bulkMemoryStats().mappedBytes, 0u);
}

TEST(BulkMemoryTest, ABigRequestGetsARegionOfItsOwn) {
  BulkMemoryScope scope;
  void* small = bulkAllocate(64);
  const size_t before = bulkMemoryStats().regions;
  void* big = bulkAllocate(size_t(20) << 20);
  ASSERT_NE(big, nullptr);
  std::memset(big, 1, size_t(20) << 20);
  EXPECT_EQ(bulkMemoryStats().regions, before + 1);
  bulkRelease(big);
  EXPECT_EQ(bulkMemoryStats().regions, before);
  // The small one's region is still usable.
  void* next = bulkAllocate(64);
  EXPECT_EQ(bulkMemoryStats().regions, before);
  bulkRelease(small);
  bulkRelease(next);
  EXPECT_EQ(bulkMemoryStats().regions, 0u);
}

TEST(BulkMemoryTest, ScopesNestAndEndPerThread) {
  {
    BulkMemoryScope outer;
    { BulkMemoryScope inner; }
    void* p = bulkAllocate(10);  // still inside the outer scope
    EXPECT_EQ(bulkMemoryStats().regions, 1u);
    // Another thread has no scope of its own.
    std::thread([] {
      void* q = bulkAllocate(10);
      EXPECT_EQ(bulkMemoryStats().regions, 1u);
      bulkRelease(q);
    }).join();
    bulkRelease(p);
  }
  void* p = bulkAllocate(10);
  EXPECT_EQ(bulkMemoryStats().regions, 0u);
  bulkRelease(p);
}

}  // namespace
}  // namespace tw
