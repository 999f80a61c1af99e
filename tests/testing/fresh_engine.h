#pragma once
// A test fixture that gives each test its own empty user registry, machine
// registry file and documents folder, and a fresh engine context.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/engine_context.h"

namespace tw::testing {

class FreshEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    const char* root = std::getenv("TARNWICK_TEST_ROOT");
    dir_ = std::filesystem::path(root ? root : "/tmp") /
           ("case-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(dir_ / "config");
    std::filesystem::create_directories(dir_ / "Documents");
    setenv("TARNWICK_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    setenv("TARNWICK_DOCUMENTS", (dir_ / "Documents").c_str(), 1);
    setenv("TARNWICK_MACHINE_REGISTRY", (dir_ / "machine-registry.txt").c_str(), 1);
    resetEngine();
  }
  void TearDown() override { resetEngine(); }

  // Writes the machine branch seed file; the next engine context reads it.
  void writeMachineRegistry(const std::string& text) {
    std::ofstream(dir_ / "machine-registry.txt") << text;
    resetEngine();
  }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace tw::testing
