// Figures for schema loading against a private MariaDB server holding 500
// tables of 20 columns: LoadDB reading everything, LoadDB listing the tables
// only (dynamic loading), the bridge's catalogue read alone, and beside them
// `mariadb-dump --no-data` of the same database over the same kind of
// connection. All times are wall-clock times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "schema_load_bench.h"
#include "testing/mariadb_server.h"
#include "wide_schema.h"

namespace {

constexpr int kTables = 500;
constexpr int kColumns = 20;
constexpr const char* kDatabase = "tw_bench";

tw::testing::MariaDbServer* server = nullptr;
tw::bench::WideDatabase database;

void BM_LoadDB_Full(benchmark::State& state) { tw::bench::timeLoadDB(state, database, "native", false); }
void BM_LoadDB_Dynamic(benchmark::State& state) { tw::bench::timeLoadDB(state, database, "native", true); }
void BM_BridgeGetTables(benchmark::State& state) { tw::bench::timeGetTables(state, database, "native"); }

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
  database.name = kDatabase;
  database.tables = kTables;
  server = tw::bench::startWideMariaDb<tw::testing::MariaDbServer>("schema_bench", database, kColumns);
  if (!server) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  server->stop();
  return 0;
}
