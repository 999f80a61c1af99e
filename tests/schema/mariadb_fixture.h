#pragma once
// Schema tests against the binary's private MariaDB server, seeded once with
// tests/schema/sql/shop.sql. Connections use the reader account the seed
// creates (SELECT rights on tw_shop only).
#include <gtest/gtest.h>

#include <string>

#include "schema/bridge.h"
#include "schema/schema.h"
#include "support/engine_context.h"
#include "testing/fresh_engine.h"
#include "testing/mariadb_server.h"

namespace tw::testing {

inline constexpr const char* kShopDb = "tw_shop";
inline constexpr const char* kReader = "tw_reader";
inline constexpr const char* kReaderPassword = "Secret-42";

class MariaDbTest : public FreshEngine {
 protected:
  void SetUp() override {
    FreshEngine::SetUp();
    if (!MariaDbServer::installed()) GTEST_SKIP() << "mariadb-server is not installed";
    server_ = &MariaDbServer::shared();
    ASSERT_TRUE(server_->available()) << server_->error();
    static std::string seedError = [this] {
      std::string message;
      if (!server_->runScript(seedFolder("schema", __FILE__) / "shop.sql", &message)) return message + " ";
      return std::string();
    }();
    ASSERT_EQ(seedError, "");
  }

  MariaDbServer& server() { return *server_; }
  std::string port() const { return std::to_string(server_->port()); }

  // A bridge connected to the shop database (or another) as the reader.
  Ref<DBBridge> connect(const std::string& database = kShopDb,
                        const std::string& password = kReaderPassword) {
    auto b = makeRef<DBBridge>();
    b->Initialize();
    b->SetDBType("mysql");
    b->Connect(server_->host(), database, kReader, password, server_->port(), "native", "", "utf-8", "`");
    return b;
  }

  ConnectionValues values(const std::string& database = kShopDb) const {
    return {Variant("mysql"), Variant(server_->host()), Variant(database),
            Variant(kReader), Variant(kReaderPassword), Variant(port()),
            Variant(""),      Variant("native"),        Variant(""),
            Variant("utf-8")};
  }

  // The root client's answer to one statement, trimmed of its line break.
  std::string rootQuery(const std::string& sql) {
    std::string out;
    EXPECT_TRUE(server_->runSql(sql, &out)) << out;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  }

 private:
  MariaDbServer* server_ = nullptr;
};

}  // namespace tw::testing
