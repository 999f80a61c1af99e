#include "support/bulk_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

namespace tw {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kRegionSize = size_t(8) << 20;
// Bigger requests get a region of their own.
constexpr size_t kDedicatedFrom = kRegionSize / 4;
constexpr size_t kAlign = 16;

struct Region {
  size_t size;  // mapped bytes, this header included
  size_t used;  // bytes handed out so far, this header included
  size_t live;  // allocations not yet given back
};

// In front of every allocation; `region` is null for malloc'd memory.
struct alignas(kAlign) Header {
  Region* region;
};

constexpr size_t roundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }
constexpr size_t kRegionHeader = roundUp(sizeof(Region), kAlign);

std::mutex& lock() {
  static std::mutex m;
  return m;
}
Region* current = nullptr;
BulkMemoryStats stats;
thread_local bool bulkOn = false;

Region* mapRegion(size_t bytes) {
  const size_t size = roundUp(bytes, kHugePage);
  // Over-map by one huge page so that the region can start on a boundary.
  void* raw = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = roundUp(start, kHugePage);
  if (aligned > start) ::munmap(raw, aligned - start);
  const uintptr_t end = start + size + kHugePage;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  auto* base = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(base, size, MADV_HUGEPAGE);
#endif
  ++stats.regions;
  stats.mappedBytes += size;
  return new (base) Region{size, kRegionHeader, 0};
}

void unmapRegion(Region* r) {
  --stats.regions;
  stats.mappedBytes -= r->size;
  ::munmap(r, r->size);
}

void* carve(Region* r, size_t need) {
  auto* h = reinterpret_cast<Header*>(reinterpret_cast<char*>(r) + r->used);
  h->region = r;
  r->used += need;
  ++r->live;
  return h + 1;
}

}  // namespace

void* bulkAllocate(size_t size) {
  if (size > SIZE_MAX / 2) return nullptr;
  const size_t need = sizeof(Header) + roundUp(size == 0 ? 1 : size, kAlign);
  if (!bulkOn) {
    auto* h = static_cast<Header*>(std::malloc(need));
    if (!h) return nullptr;
    h->region = nullptr;
    return h + 1;
  }
  std::lock_guard<std::mutex> guard(lock());
  if (need >= kDedicatedFrom) {
    Region* r = mapRegion(kRegionHeader + need);
    return r ? carve(r, need) : nullptr;
  }
  if (!current || current->used + need > current->size) {
    Region* fresh = mapRegion(kRegionSize);
    if (!fresh) return nullptr;
    // The full region goes once its last allocation is given back.
    current = fresh;
  }
  return carve(current, need);
}

void bulkRelease(void* p) {
  if (!p) return;
  Header* h = static_cast<Header*>(p) - 1;
  Region* r = h->region;
  if (!r) {
    std::free(h);
    return;
  }
  std::lock_guard<std::mutex> guard(lock());
  if (--r->live > 0) return;
  if (r == current) current = nullptr;
  unmapRegion(r);
}

BulkMemoryScope::BulkMemoryScope() : previous_(bulkOn) { bulkOn = true; }
BulkMemoryScope::~BulkMemoryScope() { bulkOn = previous_; }

BulkMemoryStats bulkMemoryStats() {
  std::lock_guard<std::mutex> guard(lock());
  return stats;
}

}  // namespace tw
