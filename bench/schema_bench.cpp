// Figures for schema loading against a private MariaDB server holding 500
// tables of 20 columns: LoadDB reading everything, LoadDB listing the tables
// only (dynamic loading), the bridge's catalogue read alone, and beside them
// `mariadb-dump --no-data` of the same database over the same kind of
// connection. All times are wall-clock times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/agp.h"
#include "model/database.h"
#include "schema/bridge.h"
#include "schema/loaders.h"
#include "support/engine_context.h"
#include "testing/mariadb_server.h"
#include "wide_schema.h"

namespace {

constexpr int kTables = 500;
constexpr int kColumns = 20;
constexpr const char* kDatabase = "tw_bench";

tw::testing::MariaDbServer* server = nullptr;

void loadDB(benchmark::State& state, bool dynamic) {
  tw::installSchemaMembers();
  std::string port = std::to_string(server->port());
  for (auto _ : state) {
    state.PauseTiming();
    auto proj = tw::makeRef<tw::AGP>();
    proj->AddProj("bench");
    proj->setSetting("DynamicLoadDB", tw::Variant(dynamic));
    state.ResumeTiming();
    tw::LoadDB(*proj, tw::Variant(kDatabase), tw::Variant("mysql"), tw::Variant(server->host()),
               tw::Variant(port), tw::Variant("root"), tw::Variant(""), tw::Variant(""),
               tw::Variant("native"), tw::Variant(""), tw::Variant("utf-8"));
    state.PauseTiming();
    if (!tw::AGP::ProjErr().empty() || proj->db()->tables().Count() != kTables) {
      state.SkipWithError(("LoadDB failed: " + tw::AGP::ProjErr()).c_str());
      break;
    }
    int fields = 0;
    for (int32_t i = 0; i < proj->db()->tables().Count(); ++i)
      fields += proj->db()->tables().at(i)->hasFields() ? proj->db()->tables().at(i)->Fields().Count() : 0;
    state.counters["fields"] = fields;
    proj.reset();
    state.ResumeTiming();
  }
}

void BM_LoadDB_Full(benchmark::State& state) { loadDB(state, false); }
void BM_LoadDB_Dynamic(benchmark::State& state) { loadDB(state, true); }

void BM_BridgeGetTables(benchmark::State& state) {
  for (auto _ : state) {
    auto bridge = tw::makeRef<tw::DBBridge>();
    bridge->Initialize();
    bridge->SetDBType("mysql");
    bridge->Connect(server->host(), kDatabase, "root", "", server->port(), "native", "", "", "`");
    auto tables = bridge->GetTables("");
    benchmark::DoNotOptimize(tables->Count());
  }
}

void BM_MariaDbDumpNoData(benchmark::State& state) {
  std::string command = "mariadb-dump --no-defaults --no-data -h " + server->host() + " -P " +
                        std::to_string(server->port()) + " -u root " + kDatabase + " > /dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("mariadb-dump failed");
      break;
    }
  }
}

BENCHMARK(BM_LoadDB_Full)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LoadDB_Dynamic)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_BridgeGetTables)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_MariaDbDumpNoData)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tw::bench::useTempEngineFolders("tarnwick-schema-bench");
  if (!tw::testing::MariaDbServer::installed()) {
    std::fprintf(stderr, "schema_bench: mariadb-server is not installed\n");
    return 1;
  }
  server = &tw::testing::MariaDbServer::shared();
  if (!server->available()) {
    std::fprintf(stderr, "schema_bench: %s\n", server->error().c_str());
    return 1;
  }
  std::string message;
  if (!server->runSql(tw::bench::wideSchemaScript(kDatabase, kTables, kColumns), &message)) {
    std::fprintf(stderr, "schema_bench: creating the database failed: %s\n", message.c_str());
    return 1;
  }
  std::fprintf(stderr, "schema_bench: %d tables x %d columns in %s on port %d\n", kTables, kColumns,
               kDatabase, server->port());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  server->stop();
  return 0;
}
