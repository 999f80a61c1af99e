// FormatNumber, FormatCurrency and FormatPercent with the en-US settings.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation/error.h"
#include "vbs/builtins.h"

using namespace tw;
using namespace tw::vbs;

namespace {

Variant call(std::string_view name, std::vector<Variant> args = {}) {
  static RuntimeState state;
  const BuiltinFunction* f = findBuiltin(name);
  if (!f) throw std::runtime_error("no built-in " + std::string(name));
  return f->fn(state, args);
}

int32_t errorOf(std::string_view name, std::vector<Variant> args) {
  try {
    call(name, std::move(args));
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

std::string fmt(std::string_view name, std::vector<Variant> args) {
  Variant v = call(name, std::move(args));
  EXPECT_EQ(v.type(), vtString);
  return std::string(v.rawString());
}

Variant missing() { return Variant::error(static_cast<int32_t>(0x80020004u)); }

const Variant kNull = Variant::null();

TEST(LibFormat, FormatNumberDefaults) {
  EXPECT_EQ(fmt("FormatNumber", {1234.5678, 2}), "1,234.57");
  EXPECT_EQ(fmt("FormatNumber", {1234.5678}), "1,234.57");
  EXPECT_EQ(fmt("FormatNumber", {1 / std::cos(1.3), 4}), "3.7383");
  EXPECT_EQ(fmt("FormatNumber", {0}), "0.00");
  EXPECT_EQ(fmt("FormatNumber", {Variant()}), "0.00");
  EXPECT_EQ(fmt("FormatNumber", {-1234567.891}), "-1,234,567.89");
  EXPECT_EQ(fmt("FormatNumber", {"1234.5"}), "1,234.50");
  EXPECT_EQ(fmt("FormatNumber", {123, 0}), "123");
  EXPECT_EQ(fmt("FormatNumber", {999.999, 2}), "1,000.00");
  EXPECT_EQ(fmt("FormatNumber", {1e15, 0}), "1,000,000,000,000,000");
}

TEST(LibFormat, FormatNumberRoundsHalfAwayFromZeroOnTheDecimalDigits) {
  EXPECT_EQ(fmt("FormatNumber", {0.125, 2}), "0.13");
  EXPECT_EQ(fmt("FormatNumber", {2.675, 2}), "2.68");
  EXPECT_EQ(fmt("FormatNumber", {2.5, 0}), "3");
  EXPECT_EQ(fmt("FormatNumber", {-2.5, 0}), "-3");
  EXPECT_EQ(fmt("FormatNumber", {0.004, 2}), "0.00");
}

TEST(LibFormat, FormatNumberOptions) {
  EXPECT_EQ(fmt("FormatNumber", {0.5, 2, 0}), ".50");
  EXPECT_EQ(fmt("FormatNumber", {0.5, 2, -1}), "0.50");
  EXPECT_EQ(fmt("FormatNumber", {-5, 2, missing(), -1}), "(5.00)");
  EXPECT_EQ(fmt("FormatNumber", {-5, 2, missing(), 0}), "-5.00");
  EXPECT_EQ(fmt("FormatNumber", {1234567, 0, missing(), missing(), 0}), "1234567");
  EXPECT_EQ(fmt("FormatNumber", {1234567, -1, -2, -2, -2}), "1,234,567.00");
  EXPECT_EQ(fmt("FormatNumber", {1.5, 5}), "1.50000");
}

TEST(LibFormat, FormatCurrency) {
  EXPECT_EQ(fmt("FormatCurrency", {1000}), "$1,000.00");
  EXPECT_EQ(fmt("FormatCurrency", {-5}), "($5.00)");
  EXPECT_EQ(fmt("FormatCurrency", {-5, missing(), missing(), 0}), "-$5.00");
  EXPECT_EQ(fmt("FormatCurrency", {Variant::currency(12345678)}), "$1,234.57");
  EXPECT_EQ(fmt("FormatCurrency", {0.5, 0}), "$1");
  EXPECT_EQ(fmt("FormatCurrency", {-1000, missing(), missing(), -1}), "($1,000.00)");
}

TEST(LibFormat, FormatPercent) {
  EXPECT_EQ(fmt("FormatPercent", {0.5}), "50.00%");
  EXPECT_EQ(fmt("FormatPercent", {2.0 / 32}), "6.25%");
  EXPECT_EQ(fmt("FormatPercent", {0.0575, 1}), "5.8%");
  EXPECT_EQ(fmt("FormatPercent", {-0.5}), "-50.00%");
  EXPECT_EQ(fmt("FormatPercent", {-0.5, 0, missing(), -1}), "(50%)");
  EXPECT_EQ(fmt("FormatPercent", {12.345, 0}), "1,235%");
}

TEST(LibFormat, Errors) {
  for (const char* f : {"FormatNumber", "FormatCurrency", "FormatPercent"}) {
    EXPECT_EQ(errorOf(f, {kNull}), 13) << f;
    EXPECT_EQ(errorOf(f, {"abc"}), 13) << f;
    EXPECT_EQ(errorOf(f, {0.1, kNull}), 94) << f;
    EXPECT_EQ(errorOf(f, {0.1, 0, kNull}), 94) << f;
    EXPECT_EQ(errorOf(f, {0.1, 0, 0, kNull}), 94) << f;
    EXPECT_EQ(errorOf(f, {0.1, 0, 0, 0, kNull}), 94) << f;
    EXPECT_EQ(errorOf(f, {0.1, -3}), 5) << f;
  }
}

}  // namespace
