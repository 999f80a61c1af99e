// Memory for big, short-lived documents (a parsed project file). Inside a
// BulkMemoryScope, allocations come from 2 MiB-aligned regions that the
// kernel is asked to back with huge pages: a document of a few hundred
// megabytes then costs hundreds of page faults instead of tens of
// thousands, which is most of its loading time on a virtual machine.
// Outside a scope they come from malloc. Either kind is given back with
// bulkRelease, on any thread; a region is unmapped once everything taken
// from it has been given back.
#pragma once

#include <cstddef>

namespace tw {

void* bulkAllocate(size_t size);
void bulkRelease(void* p);

// Turns bulk allocation on for the current thread while it lives.
class BulkMemoryScope {
 public:
  BulkMemoryScope();
  ~BulkMemoryScope();
  BulkMemoryScope(const BulkMemoryScope&) = delete;
  BulkMemoryScope& operator=(const BulkMemoryScope&) = delete;

 private:
  bool previous_;
};

// Figures for tests: regions currently mapped and bytes in them.
struct BulkMemoryStats {
  size_t regions = 0;
  size_t mappedBytes = 0;
};
BulkMemoryStats bulkMemoryStats();

}  // namespace tw
