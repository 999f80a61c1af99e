// What the schema benchmarks share: the test harness's server started, and
// the timed loops of LoadDB and of the bridge's catalogue read over the wide
// database (see wide_schema.h), each checking that every table was read.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/agp.h"
#include "model/database.h"
#include "schema/bridge.h"
#include "schema/loaders.h"
#include "wide_schema.h"

namespace tw::bench {

// How the benchmarks reach the wide database.
struct WideDatabase {
  std::string type;  // LoadDB's and the bridge's database type: "mysql", "postgresql"
  std::string host;  // host name, or the folder of the server's socket
  int port = 0;
  std::string user;   // with no password
  std::string name;   // the database
  std::string quote;  // the identifier quote the bridge is given
  int tables = 0;     // how many tables it holds
};

// The harness's shared server, running; nullptr, with the reason on stderr,
// when it is not installed (`package` names what to install) or does not
// start. `bench` names the benchmark in the messages.
template <class Server>
Server* startServer(const char* bench, const char* package) {
  if (!Server::installed()) {
    std::fprintf(stderr, "%s: %s is not installed\n", bench, package);
    return nullptr;
  }
  Server* server = &Server::shared();
  if (!server->available()) {
    std::fprintf(stderr, "%s: %s\n", bench, server->error().c_str());
    return nullptr;
  }
  return server;
}

// The harness's MariaDB server started and the wide database of
// `database.tables` tables of `columns` columns (re)created in it as
// `database.name`; fills in the rest of `database`. nullptr, with the reason
// on stderr, when that fails.
template <class Server>
Server* startWideMariaDb(const char* bench, WideDatabase& database, int columns) {
  Server* server = startServer<Server>(bench, "mariadb-server");
  if (!server) return nullptr;
  database.type = "mysql";
  database.host = server->host();
  database.port = server->port();
  database.user = "root";
  database.quote = "`";
  std::string message;
  if (!server->runSql(wideSchemaScript(database.name, database.tables, columns), &message)) {
    std::fprintf(stderr, "%s: creating the database failed: %s\n", bench, message.c_str());
    return nullptr;
  }
  std::fprintf(stderr, "%s: %d tables x %d columns in %s on port %d\n", bench, database.tables, columns,
               database.name.c_str(), database.port);
  return server;
}

// A bridge connected to the database through `method` ("native", "JDBC").
inline Ref<DBBridge> connectBridge(const WideDatabase& db, const char* method) {
  auto bridge = makeRef<DBBridge>();
  bridge->Initialize();
  bridge->SetDBType(db.type);
  bridge->Connect(db.host, db.name, db.user, "", db.port, method, "", "utf-8", db.quote);
  return bridge;
}

// Times LoadDB of the database through `method` into a new project, reading
// everything or (with `dynamic`) the table list only; counts the fields read.
inline void timeLoadDB(benchmark::State& state, const WideDatabase& db, const char* method, bool dynamic) {
  installSchemaMembers();
  std::string port = std::to_string(db.port);
  for (auto _ : state) {
    state.PauseTiming();
    auto proj = makeRef<AGP>();
    proj->AddProj("bench");
    proj->setSetting("DynamicLoadDB", Variant(dynamic));
    state.ResumeTiming();
    LoadDB(*proj, Variant(db.name), Variant(db.type), Variant(db.host), Variant(port), Variant(db.user),
           Variant(""), Variant(""), Variant(method), Variant(""), Variant("utf-8"));
    state.PauseTiming();
    if (!AGP::ProjErr().empty() || proj->db()->tables().Count() != db.tables) {
      state.SkipWithError(("LoadDB failed: " + AGP::ProjErr()).c_str());
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

// Times a connection and the bridge's read of the table list through `method`.
inline void timeGetTables(benchmark::State& state, const WideDatabase& db, const char* method) {
  for (auto _ : state) {
    auto bridge = connectBridge(db, method);
    if (!bridge->GetLastError().empty()) {
      state.SkipWithError(bridge->GetLastError().c_str());
      break;
    }
    auto tables = bridge->GetTables("");
    if (tables->Count() != db.tables) {
      state.SkipWithError("GetTables read too few tables");
      break;
    }
    benchmark::DoNotOptimize(tables->Count());
  }
}

}  // namespace tw::bench
