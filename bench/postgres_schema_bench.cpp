// Figures for schema loading against a private PostgreSQL server holding 500
// tables of 20 columns: LoadDB reading everything, the bridge's catalogue
// read alone, and beside them `pg_dump --schema-only` of the same database
// over the same kind of connection (the server's socket). All times are
// wall-clock times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/agp.h"
#include "model/database.h"
#include "schema/bridge.h"
#include "schema/loaders.h"
#include "support/engine_context.h"
#include "testing/postgres_server.h"
#include "wide_schema.h"

namespace {

constexpr int kTables = 500;
constexpr int kColumns = 20;
constexpr const char* kDatabase = "tw_bench";

tw::testing::PostgresServer* server = nullptr;

std::string socketFolder() { return server->directory().string(); }

void BM_LoadDB_Full(benchmark::State& state) {
  tw::installSchemaMembers();
  std::string port = std::to_string(server->port());
  for (auto _ : state) {
    state.PauseTiming();
    auto proj = tw::makeRef<tw::AGP>();
    proj->AddProj("bench");
    proj->setSetting("DynamicLoadDB", tw::Variant(false));
    state.ResumeTiming();
    tw::LoadDB(*proj, tw::Variant(kDatabase), tw::Variant("postgresql"), tw::Variant(socketFolder()),
               tw::Variant(port), tw::Variant(tw::testing::PostgresServer::superuser()), tw::Variant(""),
               tw::Variant(""), tw::Variant("native"), tw::Variant(""), tw::Variant("utf-8"));
    state.PauseTiming();
    if (!tw::AGP::ProjErr().empty() || proj->db()->tables().Count() != kTables) {
      state.SkipWithError(("LoadDB failed: " + tw::AGP::ProjErr()).c_str());
      break;
    }
    proj.reset();
    state.ResumeTiming();
  }
}

void BM_BridgeGetTables(benchmark::State& state) {
  for (auto _ : state) {
    auto bridge = tw::makeRef<tw::DBBridge>();
    bridge->Initialize();
    bridge->SetDBType("postgresql");
    bridge->Connect(socketFolder(), kDatabase, tw::testing::PostgresServer::superuser(), "", server->port(),
                    "native", "", "", "\"");
    auto tables = bridge->GetTables("");
    if (tables->Count() != kTables) {
      state.SkipWithError("GetTables read too few tables");
      break;
    }
    benchmark::DoNotOptimize(tables->Count());
  }
}

void BM_PgDumpSchemaOnly(benchmark::State& state) {
  std::string command = tw::testing::PostgresServer::binaryFolder() + "/pg_dump --schema-only -h " +
                        socketFolder() + " -p " + std::to_string(server->port()) + " -U " +
                        tw::testing::PostgresServer::superuser() + " " + kDatabase + " > /dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("pg_dump failed");
      break;
    }
  }
}

BENCHMARK(BM_LoadDB_Full)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_BridgeGetTables)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PgDumpSchemaOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tw::bench::useTempEngineFolders("tarnwick-postgres-schema-bench");
  if (!tw::testing::PostgresServer::installed()) {
    std::fprintf(stderr, "postgres_schema_bench: postgresql is not installed\n");
    return 1;
  }
  server = &tw::testing::PostgresServer::shared();
  if (!server->available()) {
    std::fprintf(stderr, "postgres_schema_bench: %s\n", server->error().c_str());
    return 1;
  }
  std::string message;
  if (!server->recreateDatabase(kDatabase, &message) ||
      !server->runSql(tw::bench::widePostgresSchemaScript(kTables, kColumns), &message, kDatabase)) {
    std::fprintf(stderr, "postgres_schema_bench: creating the database failed: %s\n", message.c_str());
    return 1;
  }
  std::fprintf(stderr, "postgres_schema_bench: %d tables x %d columns in %s on port %d\n", kTables, kColumns,
               kDatabase, server->port());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  server->stop();
  return 0;
}
