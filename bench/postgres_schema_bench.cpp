// Figures for schema loading against a private PostgreSQL server holding 500
// tables of 20 columns: LoadDB reading everything, the bridge's catalogue
// read alone, and beside them `pg_dump --schema-only` of the same database
// over the same kind of connection (the server's socket). All times are
// wall-clock times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "schema_load_bench.h"
#include "testing/postgres_server.h"
#include "wide_schema.h"

namespace {

constexpr int kTables = 500;
constexpr int kColumns = 20;
constexpr const char* kDatabase = "tw_bench";

tw::testing::PostgresServer* server = nullptr;
tw::bench::WideDatabase database;

std::string socketFolder() { return server->directory().string(); }

void BM_LoadDB_Full(benchmark::State& state) { tw::bench::timeLoadDB(state, database, "native", false); }
void BM_BridgeGetTables(benchmark::State& state) { tw::bench::timeGetTables(state, database, "native"); }

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
  server = tw::bench::startServer<tw::testing::PostgresServer>("postgres_schema_bench", "postgresql");
  if (!server) return 1;
  database = {.type = "postgresql",
              .host = socketFolder(),
              .port = server->port(),
              .user = tw::testing::PostgresServer::superuser(),
              .name = kDatabase,
              .quote = "\"",
              .tables = kTables};
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
