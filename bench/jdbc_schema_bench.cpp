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

#include "core/agp.h"
#include "model/database.h"
#include "schema/bridge.h"
#include "schema/jvm.h"
#include "schema/loaders.h"
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

void configureJava() {
  const std::string& key = tw::engine().regGeneral;
  tw::RegWrite("HKCU", key, "JavaRuntimeLib", tw::kRegString, tw::Variant(tw::jvm::findRuntime("")));
  tw::RegWrite("HKCU", key, "MySQLJDBCDriver", tw::kRegString, tw::Variant(kDriverJar));
}

tw::Ref<tw::DBBridge> connect(const char* method) {
  auto bridge = tw::makeRef<tw::DBBridge>();
  bridge->Initialize();
  bridge->SetDBType("mysql");
  bridge->SetSettingsKey("");
  bridge->Connect(server->host(), kDatabase, "root", "", server->port(), method, "", "utf-8", "`");
  return bridge;
}

void loadDB(benchmark::State& state, const char* method) {
  tw::installSchemaMembers();
  configureJava();
  std::string port = std::to_string(server->port());
  for (auto _ : state) {
    state.PauseTiming();
    auto proj = tw::makeRef<tw::AGP>();
    proj->AddProj("bench");
    proj->setSetting("DynamicLoadDB", tw::Variant(false));
    state.ResumeTiming();
    tw::LoadDB(*proj, tw::Variant(kDatabase), tw::Variant("mysql"), tw::Variant(server->host()),
               tw::Variant(port), tw::Variant("root"), tw::Variant(""), tw::Variant(""), tw::Variant(method),
               tw::Variant(""), tw::Variant("utf-8"));
    state.PauseTiming();
    if (!tw::AGP::ProjErr().empty() || proj->db()->tables().Count() != kTables) {
      state.SkipWithError(("LoadDB failed: " + tw::AGP::ProjErr()).c_str());
      break;
    }
    proj.reset();
    state.ResumeTiming();
  }
}

void getTables(benchmark::State& state, const char* method) {
  configureJava();
  for (auto _ : state) {
    auto bridge = connect(method);
    if (!bridge->GetLastError().empty()) {
      state.SkipWithError(bridge->GetLastError().c_str());
      break;
    }
    auto tables = bridge->GetTables("");
    if (tables->Count() != kTables) {
      state.SkipWithError("GetTables read too few tables");
      break;
    }
    benchmark::DoNotOptimize(tables->Count());
  }
}

void BM_LoadDB_Native(benchmark::State& state) { loadDB(state, "native"); }
void BM_LoadDB_Jdbc(benchmark::State& state) { loadDB(state, "JDBC"); }
void BM_BridgeGetTables_Native(benchmark::State& state) { getTables(state, "native"); }
void BM_BridgeGetTables_Jdbc(benchmark::State& state) { getTables(state, "JDBC"); }
void BM_Connect_Jdbc(benchmark::State& state) {
  configureJava();
  for (auto _ : state) benchmark::DoNotOptimize(connect("JDBC")->connected());
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
  if (!tw::testing::MariaDbServer::installed()) {
    std::fprintf(stderr, "jdbc_schema_bench: mariadb-server is not installed\n");
    return 1;
  }
  server = &tw::testing::MariaDbServer::shared();
  if (!server->available()) {
    std::fprintf(stderr, "jdbc_schema_bench: %s\n", server->error().c_str());
    return 1;
  }
  std::string message;
  if (!server->runSql(tw::bench::wideSchemaScript(kDatabase, kTables, kColumns), &message)) {
    std::fprintf(stderr, "jdbc_schema_bench: creating the database failed: %s\n", message.c_str());
    return 1;
  }
  std::fprintf(stderr, "jdbc_schema_bench: %d tables x %d columns in %s on port %d\n", kTables, kColumns, kDatabase,
               server->port());
  // The Java runtime's start, apart: the first JDBC connection starts it
  // (and loads the driver); the second is a connection alone.
  configureJava();
  auto start = std::chrono::steady_clock::now();
  auto first = connect("JDBC");
  auto started = std::chrono::steady_clock::now();
  auto second = connect("JDBC");
  auto again = std::chrono::steady_clock::now();
  if (!first->GetLastError().empty()) {
    std::fprintf(stderr, "jdbc_schema_bench: %s\n", first->GetLastError().c_str());
    return 1;
  }
  auto ms = [](auto a, auto b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
  std::printf("Java runtime start-up with the driver and the first connection: %.0f ms (a later connection: %.1f ms)\n",
              ms(start, started), ms(started, again));
  first.reset();
  second.reset();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  server->stop();
  return 0;
}
