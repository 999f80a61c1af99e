// Figures for reading a schema through JDBC (MariaDB Connector/J in the
// embedded Java runtime) beside the native route (MariaDB Connector/C), on
// the same private MariaDB server holding 500 tables of 20 columns: LoadDB
// reading everything and the bridge's catalogue read alone, each way. The
// Java runtime's start-up (with the driver's loading and the first
// connection) is timed apart, once, before the benchmarks: a process starts
// it only once. All times are wall-clock times.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "schema/jvm.h"
#include "schema_load_bench.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "testing/mariadb_server.h"
#include "wide_schema.h"

namespace {

constexpr int kTables = 500;
constexpr int kColumns = 20;
constexpr const char* kDatabase = "tw_bench";
constexpr const char* kDriverJar = "/usr/share/java/mariadb-java-client.jar";

tw::testing::MariaDbServer* server = nullptr;
tw::bench::WideDatabase database;

void configureJava() {
  const std::string& key = tw::engine().regGeneral;
  tw::RegWrite("HKCU", key, "JavaRuntimeLib", tw::kRegString, tw::Variant(tw::jvm::findRuntime("")));
  tw::RegWrite("HKCU", key, "MySQLJDBCDriver", tw::kRegString, tw::Variant(kDriverJar));
}

void BM_LoadDB_Native(benchmark::State& state) { tw::bench::timeLoadDB(state, database, "native", false); }
void BM_LoadDB_Jdbc(benchmark::State& state) {
  configureJava();
  tw::bench::timeLoadDB(state, database, "JDBC", false);
}
void BM_BridgeGetTables_Native(benchmark::State& state) {
  tw::bench::timeGetTables(state, database, "native");
}
void BM_BridgeGetTables_Jdbc(benchmark::State& state) {
  configureJava();
  tw::bench::timeGetTables(state, database, "JDBC");
}
void BM_Connect_Jdbc(benchmark::State& state) {
  configureJava();
  for (auto _ : state) benchmark::DoNotOptimize(tw::bench::connectBridge(database, "JDBC")->connected());
}

BENCHMARK(BM_LoadDB_Native)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LoadDB_Jdbc)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_BridgeGetTables_Native)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_BridgeGetTables_Jdbc)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Connect_Jdbc)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tw::bench::useTempEngineFolders("tarnwick-jdbc-schema-bench");
  std::string why;
  if (!tw::jvm::supported(&why)) {
    std::fprintf(stderr, "jdbc_schema_bench: %s\n", why.c_str());
    return 1;
  }
  if (tw::jvm::findRuntime("").empty()) {
    std::fprintf(stderr, "jdbc_schema_bench: no Java runtime (package default-jdk-headless)\n");
    return 1;
  }
  database.name = kDatabase;
  database.tables = kTables;
  server = tw::bench::startWideMariaDb<tw::testing::MariaDbServer>("jdbc_schema_bench", database, kColumns);
  if (!server) return 1;
  // The Java runtime's start, apart: the first JDBC connection starts it
  // (and loads the driver); the second is a connection alone.
  configureJava();
  auto start = std::chrono::steady_clock::now();
  auto first = tw::bench::connectBridge(database, "JDBC");
  auto started = std::chrono::steady_clock::now();
  auto second = tw::bench::connectBridge(database, "JDBC");
  auto again = std::chrono::steady_clock::now();
  if (!first->GetLastError().empty()) {
    std::fprintf(stderr, "jdbc_schema_bench: %s\n", first->GetLastError().c_str());
    return 1;
  }
  auto ms = [](auto a, auto b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
  std::printf(
      "Java runtime start-up with the driver and the first connection: %.0f ms (a later connection: %.1f "
      "ms)\n",
      ms(start, started), ms(started, again));
  first.reset();
  second.reset();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  server->stop();
  return 0;
}
