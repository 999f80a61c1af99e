// Figures for the project object: construction with its registry reads,
// setting look-ups by name, and keyed collection look-ups.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/agp.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "support/super_collection.h"

namespace {

// Runs against a private registry in a temp folder, seeded with a value for
// every project setting so that construction reads real values.
void useTempRegistry() {
  static bool done = false;
  if (done) return;
  done = true;
  auto dir = std::filesystem::temp_directory_path() / ("tarnwick-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  setenv("TARNWICK_CONFIG_HOME", dir.c_str(), 1);
  setenv("TARNWICK_DOCUMENTS", dir.c_str(), 1);
  setenv("TARNWICK_MACHINE_REGISTRY", (dir / "none.txt").c_str(), 1);
  tw::resetEngine();
  tw::AGP seed;
  seed.AddProj("bench");
  seed.SaveDefault();
}

void BM_ConstructAGP(benchmark::State& state) {
  useTempRegistry();
  for (auto _ : state) {
    tw::AGP proj;
    benchmark::DoNotOptimize(proj.Properties().Count());
  }
}
BENCHMARK(BM_ConstructAGP)->Unit(benchmark::kMicrosecond);

void BM_SettingLookupByName(benchmark::State& state) {
  useTempRegistry();
  tw::AGP proj;
  const std::vector<std::string> names = {"ProjName", "BodyBgColor", "RecPerPage", "AutoSync",
                                          "rootrelativepath"};
  for (auto _ : state) {
    for (int i = 0; i < 1000000; ++i) {
      benchmark::DoNotOptimize(proj.Properties().Item(names[i % names.size()]).Value());
    }
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_SettingLookupByName)->Unit(benchmark::kMillisecond);

void BM_SettingThroughDispatch(benchmark::State& state) {
  useTempRegistry();
  tw::Ref<tw::AGP> proj = tw::makeRef<tw::AGP>();
  tw::DispId id = proj->memberId("RecPerPage");
  for (auto _ : state) {
    for (int i = 0; i < 1000000; ++i) benchmark::DoNotOptimize(proj->invoke(id, tw::kInvokeGet, {}));
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_SettingThroughDispatch)->Unit(benchmark::kMillisecond);

void BM_CollectionLookupByKey(benchmark::State& state) {
  tw::Ref<tw::CSuperCollection> c = tw::makeRef<tw::CSuperCollection>();
  c->setCompareMode(tw::CSuperCollection::kTextCompare);
  const int n = static_cast<int>(state.range(0));
  std::vector<tw::Variant> keys;
  for (int i = 0; i < n; ++i) {
    std::string key = "Table_" + std::to_string(i);
    c->add(tw::Variant(i), key);
    keys.emplace_back("TABLE_" + std::to_string(i));
  }
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c->item(keys[i++ % keys.size()]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CollectionLookupByKey)->Arg(100)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
