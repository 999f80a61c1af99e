// Every test binary runs with its own empty user and machine registry, documents
// folder and config home, so no test reads or writes the developer's real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class IsolatedEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/tarnwick-test-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
    std::filesystem::create_directories(root_ / "config");
    std::filesystem::create_directories(root_ / "Documents");
    setenv("TARNWICK_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("TARNWICK_DOCUMENTS", (root_ / "Documents").c_str(), 1);
    setenv("TARNWICK_MACHINE_REGISTRY", (root_ / "machine-registry.txt").c_str(), 1);
    setenv("TARNWICK_TEST_ROOT", root_.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

 private:
  std::filesystem::path root_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new IsolatedEnvironment);

}  // namespace
