// Keyed collection look-ups and registry reads and writes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/registry_store.h"
#include "support/super_collection.h"

namespace {

namespace fs = std::filesystem;
using namespace tw;

Ref<CSuperCollection> filled(int n) {
  auto c = makeRef<CSuperCollection>();
  c->setCompareMode(CSuperCollection::kTextCompare);
  for (int i = 0; i < n; ++i) c->add(Variant(i), "FieldName" + std::to_string(i));
  return c;
}

void BM_CollectionItemByKey(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  auto c = filled(n);
  std::vector<Variant> keys;
  for (int i = 0; i < n; ++i) keys.emplace_back("fieldname" + std::to_string(i));
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c->item(keys[i]));
    if (++i == keys.size()) i = 0;
  }
}
BENCHMARK(BM_CollectionItemByKey)->Arg(100)->Arg(10000);

void BM_CollectionItemByPosition(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  auto c = filled(n);
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c->item(Variant(i + 1)));
    if (++i == n) i = 0;
  }
}
BENCHMARK(BM_CollectionItemByPosition)->Arg(100)->Arg(10000);

void BM_CollectionFill(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(filled(n));
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_CollectionFill)->Arg(105)->Arg(10000);

struct TempStore {
  fs::path dir;
  std::unique_ptr<RegistryStore> store;
  TempStore() {
    dir = fs::temp_directory_path() / ("tarnwick-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    store = std::make_unique<RegistryStore>((dir / "reg.sqlite").string(), (dir / "none.txt").string());
  }
  ~TempStore() {
    store.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

// What a new project does at start: about a hundred values of one section.
void BM_RegistryRead100(benchmark::State& state) {
  TempStore t;
  const std::string section = "Software\\Tarnwick\\1.0\\Settings\\Project";
  for (int i = 0; i < 100; ++i)
    t.store->writeValue(kRootCurrentUser, section, "Setting" + std::to_string(i), kRegString,
                        Variant("value"));
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i)
      benchmark::DoNotOptimize(t.store->readValue(kRootCurrentUser, section, "setting" + std::to_string(i)));
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_RegistryRead100)->Unit(benchmark::kMicrosecond);

// One write is one transaction.
void BM_RegistryWrite(benchmark::State& state) {
  TempStore t;
  int i = 0;
  for (auto _ : state) {
    t.store->writeValue(kRootCurrentUser, "Software\\Tarnwick\\1.0\\Settings\\Project",
                        "Setting" + std::to_string(i % 100), kRegDword, Variant::long_(i));
    ++i;
  }
}
BENCHMARK(BM_RegistryWrite)->Unit(benchmark::kMicrosecond);

void BM_MachineRegistryParse(benchmark::State& state) {
  std::string text;
  for (int k = 0; k < 8; ++k) {
    text += "[Software\\Tarnwick\\1.0\\Settings\\Section" + std::to_string(k) + "]\n";
    for (int i = 0; i < 60; ++i) text += "Value" + std::to_string(i) + " = string:\"#FFFFFF\"\n";
  }
  for (auto _ : state) benchmark::DoNotOptimize(parseMachineRegistry(text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_MachineRegistryParse);

}  // namespace

BENCHMARK_MAIN();
