#pragma once
// Schema tests against the binary's private PostgreSQL server, seeded once
// with tests/schema/sql/shop_postgres.sql into the database tw_shop.
// Connections use the reader role the seed creates (SELECT rights only).
#include <gtest/gtest.h>

#include <string>

#include "schema/bridge.h"
#include "schema/schema.h"
#include "support/engine_context.h"
#include "testing/fresh_engine.h"
#include "testing/mariadb_server.h"  // seedFolder
#include "testing/postgres_server.h"

namespace tw::testing {

inline constexpr const char* kPgShopDb = "tw_shop";
inline constexpr const char* kPgReader = "tw_reader";
inline constexpr const char* kPgReaderPassword = "Secret-42";

class PostgresTest : public FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    if (!PostgresServer::installed()) {
      if (runningInCi()) FAIL() << "postgresql is not installed";
      GTEST_SKIP() << "postgresql is not installed";
    }
    server_ = &PostgresServer::shared();
    ASSERT_TRUE(server_->available()) << server_->error();
    static std::string seedError = [this] {
      std::string message;
      if (!server_->recreateDatabase(kPgShopDb, &message) ||
          !server_->runScript(seedFolder("schema", __FILE__) / "shop_postgres.sql", &message, kPgShopDb))
        return message + " ";
      return std::string();
    }();
    ASSERT_EQ(seedError, "");
  }

  PostgresServer& server() { return *server_; }
  std::string port() const { return std::to_string(server_->port()); }

  // A bridge connected to the shop database (or another) as the reader;
  // `url` may name the schema.
  Ref<DBBridge> connect(const std::string& database = kPgShopDb, const std::string& password = kPgReaderPassword,
                        const std::string& url = "") {
    auto b = makeRef<DBBridge>();
    b->Initialize();
    b->SetDBType("postgresql");
    b->Connect(server_->host(), database, kPgReader, password, server_->port(), "native", url, "utf-8", "\"");
    return b;
  }

  ConnectionValues values(const std::string& database = kPgShopDb) const {
    return {Variant("postgresql"), Variant(server_->host()), Variant(database),
            Variant(kPgReader),    Variant(kPgReaderPassword), Variant(port()),
            Variant(""),           Variant("native"),        Variant(""),
            Variant("utf-8")};
  }

  // The superuser's answer to one statement in tw_shop, trimmed of its line break.
  std::string superQuery(const std::string& sql) {
    std::string out;
    EXPECT_TRUE(server_->runSql(sql, &out, kPgShopDb)) << out;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  }

 private:
  PostgresServer* server_ = nullptr;
};

}  // namespace tw::testing
