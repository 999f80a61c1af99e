// Stops the test binary's MariaDB server (when one was started) once every
// test has run.
#include <gtest/gtest.h>

#include "testing/mariadb_server.h"

namespace {

class StopMariaDbServer : public ::testing::Environment {
 public:
  void TearDown() override {
    if (auto* server = tw::testing::MariaDbServer::sharedIfStarted()) server->stop();
  }
};

const auto* const kStopMariaDbServer = ::testing::AddGlobalTestEnvironment(new StopMariaDbServer);

}  // namespace
