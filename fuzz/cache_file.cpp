// Fuzzes the cache file reader: the file is outside input, so no bytes may
// crash it. Whatever it reads must be written back so that reading the
// written text gives the same entries, in UTF-8 and in a charset that needs
// character references.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/cache.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

bool sameEntries(const tw::AGPCache& a, const tw::AGPCache& b) {
  if (a.count() != b.count()) return false;
  for (size_t i = 0; i < a.entries().size(); ++i) {
    const tw::AGPCache::Entry& x = a.entries()[i];
    const tw::AGPCache::Entry& y = b.entries()[i];
    if (x.group != y.group || x.key != y.key || x.date != y.date || x.size != y.size) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // An empty template name keeps the cache in memory: nothing is written.
  tw::Ref<tw::AGPCache> cache = tw::makeRef<tw::AGPCache>("");
  if (!cache->readFromBytes(bytes)) {
    check(cache->count() == 0);
    return 0;
  }
  for (std::string_view charset : {"utf-8", "us-ascii"}) {
    tw::Ref<tw::AGPCache> again = tw::makeRef<tw::AGPCache>("");
    check(again->readFromBytes(cache->fileText(charset)));
    check(sameEntries(*cache, *again));
  }
  return 0;
}
