// Stops the test binary's PostgreSQL server (when one was started) once every
// test has run.
#include <gtest/gtest.h>

#include "testing/postgres_server.h"

namespace {

class StopPostgresServer : public ::testing::Environment {
 public:
  void TearDown() override {
    if (auto* server = tw::testing::PostgresServer::sharedIfStarted()) server->stop();
  }
};

const auto* const kStopPostgresServer = ::testing::AddGlobalTestEnvironment(new StopPostgresServer);

}  // namespace
