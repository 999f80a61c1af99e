// Figures for synchronisation against a private MariaDB server holding 500
// tables of 20 columns, of which 10 changed after the project was built (5
// got a column more, 5 lost one): CheckDB and SynchronizeDB beside LoadDB of
// the same database and the schema read (AGPSchema.LoadDB) alone, so that
// what the comparison adds to reading the schema shows. All times are
// wall-clock times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/agp.h"
#include "model/database.h"
#include "schema/loaders.h"
#include "schema/schema.h"
#include "support/engine_context.h"
#include "support/prompt.h"
#include "sync/sync.h"
#include "testing/mariadb_server.h"
#include "wide_schema.h"

namespace {

constexpr int kTables = 500;
constexpr int kColumns = 20;
constexpr int kChanged = 10;
constexpr const char* kDatabase = "tw_sync_bench";

tw::testing::MariaDbServer* server = nullptr;
std::filesystem::path workDir;
std::string projectFile;  // the project as built before the changes

// Ten tables spread over the database change.
std::string changeScript() {
  std::string sql = std::string("USE ") + kDatabase + ";\n";
  for (int i = 0; i < kChanged; ++i) {
    int t = i * (kTables / kChanged);
    if (i % 2 == 0)
      sql += "ALTER TABLE `" + tw::bench::wideTableName(t) + "` ADD COLUMN extra INT;\n";
    else
      sql += "ALTER TABLE `" + tw::bench::wideTableName(t) + "` DROP COLUMN c4;\n";
  }
  return sql;
}

void useTempRegistry() {
  workDir = tw::bench::useTempEngineFolders("tarnwick-sync-bench");
  tw::engine().setPrompts(std::make_unique<tw::NonInteractivePrompt>());
}

tw::Ref<tw::AGP> loadFromDatabase() {
  auto proj = tw::makeRef<tw::AGP>();
  proj->AddProj("bench");
  tw::LoadDB(*proj, tw::Variant(kDatabase), tw::Variant("mysql"), tw::Variant(server->host()),
             tw::Variant(std::to_string(server->port())), tw::Variant("root"), tw::Variant(""),
             tw::Variant(""), tw::Variant("native"), tw::Variant(""), tw::Variant("utf-8"));
  return proj;
}

tw::Ref<tw::AGP> loadProjectFile() {
  auto proj = tw::makeRef<tw::AGP>();
  proj->Load(projectFile);
  return proj;
}

void BM_LoadDB(benchmark::State& state) {
  for (auto _ : state) {
    tw::Ref<tw::AGP> proj = loadFromDatabase();
    state.PauseTiming();
    if (!tw::AGP::ProjErr().empty()) state.SkipWithError(tw::AGP::ProjErr().c_str());
    proj.reset();
    state.ResumeTiming();
  }
}

void BM_SchemaRead(benchmark::State& state) {
  for (auto _ : state) {
    auto schema = tw::makeRef<tw::AGPSchema>();
    schema->LoadDB(tw::Variant(kDatabase), tw::Variant("mysql"), tw::Variant(server->host()),
                   tw::Variant(std::to_string(server->port())), tw::Variant("root"), tw::Variant(""),
                   tw::Variant(""), tw::Variant("native"), tw::Variant(""), tw::Variant("utf-8"));
    benchmark::DoNotOptimize(schema->tblcnt());
  }
}

void BM_CheckDB(benchmark::State& state) {
  tw::Ref<tw::AGP> proj = loadProjectFile();
  int16_t count = 0;
  for (auto _ : state) count = tw::CheckDB(*proj);
  if (count <= 0) state.SkipWithError(("CheckDB found no change: " + tw::AGP::ProjErr()).c_str());
  state.counters["differences"] = count;
}

void BM_SynchronizeDB(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    tw::Ref<tw::AGP> proj = loadProjectFile();
    state.ResumeTiming();
    tw::SynchronizeDB(*proj);
    state.PauseTiming();
    if (!tw::AGP::ProjErr().empty()) state.SkipWithError(tw::AGP::ProjErr().c_str());
    proj.reset();
    state.ResumeTiming();
  }
}

BENCHMARK(BM_LoadDB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SchemaRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CheckDB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SynchronizeDB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  useTempRegistry();
  if (!tw::testing::MariaDbServer::installed()) {
    std::fprintf(stderr, "sync_bench: mariadb-server is not installed\n");
    return 1;
  }
  server = &tw::testing::MariaDbServer::shared();
  if (!server->available()) {
    std::fprintf(stderr, "sync_bench: %s\n", server->error().c_str());
    return 1;
  }
  std::string message;
  if (!server->runSql(tw::bench::wideSchemaScript(kDatabase, kTables, kColumns), &message)) {
    std::fprintf(stderr, "sync_bench: creating the database failed: %s\n", message.c_str());
    return 1;
  }
  tw::installSchemaMembers();
  tw::installSyncMembers();
  {
    tw::Ref<tw::AGP> proj = loadFromDatabase();
    if (!tw::AGP::ProjErr().empty()) {
      std::fprintf(stderr, "sync_bench: LoadDB failed: %s\n", tw::AGP::ProjErr().c_str());
      return 1;
    }
    proj->setSetting("AutoSync", tw::Variant(false));
    projectFile = (workDir / "bench.xml").string();
    proj->Save(projectFile);
  }
  if (!server->runSql(changeScript(), &message)) {
    std::fprintf(stderr, "sync_bench: changing the database failed: %s\n", message.c_str());
    return 1;
  }
  std::fprintf(stderr, "sync_bench: %d tables x %d columns in %s, %d changed, on port %d\n", kTables,
               kColumns, kDatabase, kChanged, server->port());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  server->stop();
  std::error_code ec;
  std::filesystem::remove_all(workDir, ec);
  return 0;
}
