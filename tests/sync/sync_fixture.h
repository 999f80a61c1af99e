#pragma once
// Synchronisation tests against the binary's private MariaDB or PostgreSQL
// server. Every test seeds tw_sync again (tests/sync/sql/sync.sql or
// sync_postgres.sql), builds a project from
// it — every table and view, the custom view "cv_sizes" and the report
// "rpt_customers" — saves it and loads it back, so that what is compared is
// what a project file holds. Then the test changes the database with SQL.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "schema/loaders.h"
#include "support/engine_context.h"
#include "support/prompt.h"
#include "sync/sync.h"
#include "testing/fresh_engine.h"
#include "testing/mariadb_server.h"
#include "testing/postgres_server.h"

namespace tw::testing {

inline constexpr const char* kSyncDb = "tw_sync";
inline constexpr const char* kSyncReader = "tw_sync_reader";
inline constexpr const char* kSyncPassword = "Sync-Reader-7";

enum class SyncServerKind { kMariaDb, kPostgres };

inline std::string syncServerName(const ::testing::TestParamInfo<SyncServerKind>& info) {
  return info.param == SyncServerKind::kMariaDb ? "MariaDB" : "PostgreSQL";
}

class SyncServerBase : public FreshEngine {
 protected:
  virtual SyncServerKind kind() const = 0;
  bool postgres() const { return kind() == SyncServerKind::kPostgres; }

  void SetUp() override {
    FreshEngine::SetUp();
    std::string message;
    if (postgres()) {
      if (!PostgresServer::installed()) {
        if (runningInCi()) FAIL() << "postgresql is not installed";
        GTEST_SKIP() << "postgresql is not installed";
      }
      pg_ = &PostgresServer::shared();
      ASSERT_TRUE(pg_->available()) << pg_->error();
      ASSERT_TRUE(pg_->recreateDatabase(kSyncDb, &message)) << message;
      ASSERT_TRUE(pg_->runScript(seedFolder("sync", __FILE__) / "sync_postgres.sql", &message, kSyncDb))
          << message;
    } else {
      if (!MariaDbServer::installed()) GTEST_SKIP() << "mariadb-server is not installed";
      server_ = &MariaDbServer::shared();
      ASSERT_TRUE(server_->available()) << server_->error();
      ASSERT_TRUE(server_->runScript(seedFolder("sync", __FILE__) / "sync.sql", &message)) << message;
    }
    installSchemaMembers();
    installSyncMembers();
    auto prompt = std::make_unique<ScriptedPrompt>();
    prompt_ = prompt.get();
    engine().setPrompts(std::move(prompt));
  }

  // The project built from the database, saved and loaded back (with
  // AutoSync false, so that loading does not check yet).
  Ref<AGP> build(bool dynamic = false) {
    auto proj = makeRef<AGP>();
    proj->AddProj("sync");
    proj->setSetting("DynamicLoadDB", Variant(dynamic));
    LoadDB(*proj, Variant(kSyncDb), Variant(postgres() ? "postgresql" : "mysql"), Variant("127.0.0.1"), Variant(port()),
           Variant(kSyncReader), Variant(kSyncPassword), Variant(""), Variant("native"), Variant(""),
           Variant("utf-8"));
    EXPECT_EQ(AGP::ProjErr(), "");
    if (!dynamic) {
      LoadCustomView(*proj, Variant("cv_sizes"), Variant("SELECT id, name, size FROM customers"),
                     Variant(false));
      EXPECT_EQ(AGP::ProjErr(), "");
      EXPECT_TRUE(LoadReport(*proj, Variant("rpt_customers"), Variant("customers"))) << AGP::ProjErr();
    }
    return reopen(*proj, false);
  }

  // Saves the project and loads the file into a new project.
  Ref<AGP> reopen(AGP& proj, bool autoSync) {
    proj.setSetting("AutoSync", Variant(autoSync));
    std::string file = (dir() / ("project-" + std::to_string(++saved_) + ".xml")).string();
    proj.Save(file);
    auto loaded = makeRef<AGP>();
    loaded->Load(file);
    return loaded;
  }

  // Runs statements in tw_sync as the server's superuser.
  void sql(const std::string& statements) {
    std::string message;
    bool ok = postgres() ? pg_->runSql(statements, &message, kSyncDb) : server_->runSql(statements, &message, kSyncDb);
    ASSERT_TRUE(ok) << message;
  }

  std::string port() const { return std::to_string(postgres() ? pg_->port() : server_->port()); }
  ScriptedPrompt& prompt() { return *prompt_; }

  static AGPTable* table(AGP& proj, const char* name) {
    AGPTables& tables = proj.db()->tables();
    for (int32_t i = 0; i < tables.Count(); ++i)
      if (tables.at(i)->TblName() == name) return tables.at(i);
    return nullptr;
  }
  static AGPField* field(AGP& proj, const char* tableName, const char* name) {
    AGPTable* t = table(proj, tableName);
    if (!t) return nullptr;
    AGPFields& fields = t->Fields();
    for (int32_t i = 0; i < fields.Count(); ++i)
      if (fields.at(i)->FldName() == name) return fields.at(i);
    return nullptr;
  }
  // The field names of a table in sequence order.
  static std::vector<std::string> fieldNames(AGP& proj, const char* tableName) {
    std::vector<std::string> names;
    if (AGPTable* t = table(proj, tableName))
      for (AGPField* f : t->Fields().inSequence()) names.push_back(f->FldName());
    return names;
  }
  static std::vector<std::string> tableNames(AGP& proj) {
    std::vector<std::string> names;
    for (AGPTable* t : proj.db()->tables().inSequence()) names.push_back(t->TblName());
    return names;
  }

 private:
  MariaDbServer* server_ = nullptr;
  PostgresServer* pg_ = nullptr;
  ScriptedPrompt* prompt_ = nullptr;
  int saved_ = 0;
};

// On the MariaDB server only.
class SyncMariaDbTest : public SyncServerBase {
 protected:
  SyncServerKind kind() const override { return SyncServerKind::kMariaDb; }
};

// On each server.
class SyncServerTest : public SyncServerBase, public ::testing::WithParamInterface<SyncServerKind> {
 protected:
  SyncServerKind kind() const override { return GetParam(); }
};

}  // namespace tw::testing
