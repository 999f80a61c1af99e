// Conversion and math functions of the VBScript library, and the random
// number generator.
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

Variant callIn(RuntimeState& state, std::string_view name, std::vector<Variant> args = {}) {
  const BuiltinFunction* f = findBuiltin(name);
  if (!f) throw std::runtime_error("no built-in " + std::string(name));
  return f->fn(state, args);
}

Variant call(std::string_view name, std::vector<Variant> args = {}) {
  static RuntimeState state;
  return callIn(state, name, std::move(args));
}

int32_t errorOf(std::string_view name, std::vector<Variant> args) {
  try {
    call(name, std::move(args));
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

const Variant kNull = Variant::null();

TEST(LibMath, ConversionsGiveTheirSubtype) {
  Variant b = call("CBool", {5});
  EXPECT_EQ(b.type(), vtBoolean);
  EXPECT_TRUE(b.rawBool());
  Variant by = call("CByte", {125.5678});
  EXPECT_EQ(by.type(), vtByte);
  EXPECT_EQ(by.rawByte(), 126);
  Variant i = call("CInt", {2345.5678});
  EXPECT_EQ(i.type(), vtInteger);
  EXPECT_EQ(i.rawInteger(), 2346);
  EXPECT_EQ(call("CInt", {-36.5}).rawInteger(), -36);
  EXPECT_EQ(call("CInt", {36.5}).rawInteger(), 36);
  EXPECT_EQ(call("CInt", {1.5}).rawInteger(), 2);
  Variant l = call("CLng", {25427.45});
  EXPECT_EQ(l.type(), vtLong);
  EXPECT_EQ(l.rawLong(), 25427);
  EXPECT_EQ(call("CLng", {25427.55}).rawLong(), 25428);
  Variant s = call("CSng", {75.3421115});
  EXPECT_EQ(s.type(), vtSingle);
  EXPECT_FLOAT_EQ(s.rawSingle(), 75.34211f);
  Variant d = call("CDbl", {"-0.5"});
  EXPECT_EQ(d.type(), vtDouble);
  EXPECT_EQ(d.rawDouble(), -0.5);
  Variant c = call("CCur", {0.000149});
  EXPECT_EQ(c.type(), vtCurrency);
  EXPECT_EQ(c.rawCurrency(), 1);
  Variant str = call("CStr", {437.324});
  EXPECT_EQ(str.type(), vtString);
  EXPECT_EQ(str.rawString(), "437.324");
  Variant date = call("CDate", {1});
  EXPECT_EQ(date.type(), vtDate);
  EXPECT_EQ(date.rawDate(), 1.0);
}

TEST(LibMath, ConversionErrors) {
  EXPECT_EQ(errorOf("CStr", {kNull}), 94);
  EXPECT_EQ(errorOf("CInt", {kNull}), 94);
  EXPECT_EQ(errorOf("CDate", {kNull}), 94);
  EXPECT_EQ(errorOf("CBool", {""}), 13);
  EXPECT_EQ(errorOf("CByte", {"-1"}), 6);
  EXPECT_EQ(errorOf("CByte", {"258"}), 6);
  EXPECT_EQ(errorOf("CInt", {32767.5}), 6);
  EXPECT_EQ(errorOf("CLng", {"TRUE"}), 13);
  EXPECT_EQ(errorOf("CDbl", {"abc"}), 13);
}

TEST(LibMath, IntAndFix) {
  EXPECT_EQ(call("Int", {99.8}).rawDouble(), 99);
  EXPECT_EQ(call("Fix", {99.2}).rawDouble(), 99);
  EXPECT_EQ(call("Int", {-99.8}).rawDouble(), -100);
  EXPECT_EQ(call("Fix", {-99.8}).rawDouble(), -99);
  EXPECT_EQ(call("Int", {-99.2}).rawDouble(), -100);
  EXPECT_EQ(call("Fix", {-99.2}).rawDouble(), -99);
  EXPECT_EQ(call("Int", {1.99}).type(), vtDouble);
  Variant e = call("Int", {Variant()});
  EXPECT_EQ(e.type(), vtInteger);
  EXPECT_EQ(e.rawInteger(), 0);
  Variant t = call("Fix", {true});
  EXPECT_EQ(t.type(), vtInteger);
  EXPECT_EQ(t.rawInteger(), -1);
  Variant cy = call("Int", {Variant::currency(-9900)});  // CCur(-0.99)
  EXPECT_EQ(cy.type(), vtCurrency);
  EXPECT_EQ(cy.rawCurrency(), -10000);
  EXPECT_EQ(call("Fix", {Variant::currency(-9900)}).rawCurrency(), 0);
  Variant s = call("Int", {"-1.99"});
  EXPECT_EQ(s.type(), vtDouble);
  EXPECT_EQ(s.rawDouble(), -2);
  Variant i = call("Int", {Variant::integer(7)});
  EXPECT_EQ(i.type(), vtInteger);
  EXPECT_TRUE(call("Int", {kNull}).isNull());
  EXPECT_EQ(errorOf("Fix", {"x"}), 13);
}

TEST(LibMath, RoundIsBankersRounding) {
  EXPECT_EQ(call("Round", {2.5}).rawDouble(), 2);
  EXPECT_EQ(call("Round", {3.5}).rawDouble(), 4);
  EXPECT_EQ(call("Round", {-3.5}).rawDouble(), -4);
  EXPECT_EQ(call("Round", {-3.3}).rawDouble(), -3);
  EXPECT_EQ(call("Round", {3.14159, 2}).rawDouble(), 3.14);
  EXPECT_EQ(call("Round", {0.125, 2}).rawDouble(), 0.12);  // 12.5 hundredths, exactly representable
  EXPECT_EQ(call("Round", {0.375, 2}).rawDouble(), 0.38);
  Variant i = call("Round", {Variant::integer(3)});
  EXPECT_EQ(i.type(), vtInteger);
  EXPECT_EQ(i.rawInteger(), 3);
  Variant s = call("Round", {"2"});
  EXPECT_EQ(s.type(), vtDouble);
  Variant b = call("Round", {true});
  EXPECT_EQ(b.type(), vtBoolean);
  Variant cy = call("Round", {Variant::currency(12345), 2});  // 1.2345 -> 1.23
  EXPECT_EQ(cy.type(), vtCurrency);
  EXPECT_EQ(cy.rawCurrency(), 12300);
  EXPECT_EQ(call("Round", {Variant::currency(1250), 2}).rawCurrency(), 1200);  // 0.125 -> 0.12 (to even)
  EXPECT_EQ(call("Round", {Variant::currency(1350), 2}).rawCurrency(), 1400);  // 0.135 -> 0.14
  EXPECT_EQ(call("Round", {Variant::currency(115), 2}).rawCurrency(), 100);    // 0.0115 -> 0.01
  EXPECT_TRUE(call("Round", {kNull}).isNull());
  EXPECT_EQ(errorOf("Round", {1.5, -1}), 5);
}

TEST(LibMath, AbsKeepsTheSubtype) {
  EXPECT_EQ(call("Abs", {-1}).rawLong(), 1);
  Variant e = call("Abs", {Variant()});
  EXPECT_EQ(e.type(), vtInteger);
  EXPECT_EQ(e.rawInteger(), 0);
  EXPECT_TRUE(call("Abs", {kNull}).isNull());
  Variant big = call("Abs", {Variant::long_(-32769)});
  EXPECT_EQ(big.type(), vtLong);
  EXPECT_EQ(big.rawLong(), 32769);
  Variant minInt = call("Abs", {Variant::integer(-32768)});
  EXPECT_EQ(minInt.type(), vtLong);
  EXPECT_EQ(minInt.rawLong(), 32768);
  Variant sng = call("Abs", {Variant::single(-0.5f)});
  EXPECT_EQ(sng.type(), vtSingle);
  EXPECT_EQ(sng.rawSingle(), 0.5f);
  Variant cy = call("Abs", {Variant::currency(-10000)});
  EXPECT_EQ(cy.type(), vtCurrency);
  EXPECT_EQ(cy.rawCurrency(), 10000);
  Variant str = call("Abs", {"-1"});
  EXPECT_EQ(str.type(), vtDouble);
  EXPECT_EQ(str.rawDouble(), 1);
  Variant t = call("Abs", {true});
  EXPECT_EQ(t.type(), vtInteger);
  EXPECT_EQ(t.rawInteger(), 1);
  EXPECT_EQ(call("Abs", {Variant::byte(1)}).type(), vtByte);
  EXPECT_EQ(errorOf("Abs", {"strings"}), 13);
}

TEST(LibMath, SgnAndFunctions) {
  auto sgn = [](Variant v) {
    Variant r = call("Sgn", {v});
    EXPECT_EQ(r.type(), vtInteger);
    return r.rawInteger();
  };
  EXPECT_EQ(sgn(Variant()), 0);
  EXPECT_EQ(sgn(Variant::long_(-32769)), -1);
  EXPECT_EQ(sgn(0.5), 1);
  EXPECT_EQ(sgn("-1"), -1);
  EXPECT_EQ(sgn(true), -1);
  EXPECT_EQ(errorOf("Sgn", {kNull}), 94);

  EXPECT_EQ(call("Sqr", {4}).rawDouble(), 2);
  EXPECT_EQ(call("Sqr", {"100000000"}).rawDouble(), 10000);
  EXPECT_EQ(call("Sqr", {Variant()}).rawDouble(), 0);
  EXPECT_EQ(errorOf("Sqr", {-2}), 5);
  EXPECT_EQ(errorOf("Sqr", {true}), 5);
  EXPECT_NEAR(call("Exp", {1}).rawDouble(), 2.718281828459045, 1e-15);
  EXPECT_EQ(errorOf("Exp", {1000}), 6);
  EXPECT_NEAR(call("Log", {10}).rawDouble(), 2.302585092994046, 1e-15);
  EXPECT_EQ(errorOf("Log", {0}), 5);
  EXPECT_EQ(errorOf("Log", {false}), 5);
  EXPECT_NEAR(call("Atn", {1}).rawDouble() * 4, 3.141592653589793, 1e-15);
  EXPECT_NEAR(call("Sin", {true}).rawDouble(), -0.8414709848078965, 1e-15);
  EXPECT_NEAR(call("Cos", {Variant()}).rawDouble(), 1, 0);
  EXPECT_NEAR(call("Tan", {Variant::byte(255)}).rawDouble(), 0.5872, 1e-4);
  EXPECT_EQ(call("Cos", {0}).type(), vtDouble);
  EXPECT_EQ(errorOf("Cos", {kNull}), 94);
}

TEST(LibMath, RGB) {
  Variant c = call("RGB", {0, 0x1F, 0xF1});
  EXPECT_EQ(c.type(), vtLong);
  EXPECT_EQ(c.rawLong(), 0xF11F00);
  EXPECT_EQ(call("RGB", {0xEF, 0xAB, 0xCD}).rawLong(), 0xCDABEF);
  EXPECT_EQ(call("RGB", {1, 0x100, 0x111}).rawLong(), 0xFFFF01);
  EXPECT_EQ(errorOf("RGB", {-1, 0, 0}), 5);
}

TEST(LibMath, RndFollowsVBScriptsGenerator) {
  RuntimeState st;
  // The sequence every script sees without Randomize.
  Variant first = callIn(st, "Rnd");
  EXPECT_EQ(first.type(), vtSingle);
  EXPECT_FLOAT_EQ(first.rawSingle(), 0.7055475f);
  EXPECT_FLOAT_EQ(callIn(st, "Rnd").rawSingle(), 0.533424f);
  EXPECT_FLOAT_EQ(callIn(st, "Rnd").rawSingle(), 0.5795186f);
  // Rnd(0) repeats the last number; a positive argument draws the next.
  EXPECT_FLOAT_EQ(callIn(st, "Rnd", {0}).rawSingle(), 0.5795186f);
  EXPECT_NE(callIn(st, "Rnd", {1}).rawSingle(), 0.5795186f);
}

TEST(LibMath, RndBeforeAnyDrawAndWithNegativeSeeds) {
  RuntimeState st;
  EXPECT_EQ(callIn(st, "Rnd", {0}).rawSingle(), 327680.0f / 16777216.0f);
  EXPECT_FLOAT_EQ(callIn(st, "Rnd", {-1}).rawSingle(), 0.224007f);
  EXPECT_FLOAT_EQ(callIn(st, "Rnd", {-1}).rawSingle(), 0.224007f);
  EXPECT_NE(callIn(st, "Rnd", {-1}).rawSingle(), callIn(st, "Rnd", {-2}).rawSingle());
}

TEST(LibMath, RandomizeWithASeedRepeatsFromTheSameState) {
  RuntimeState st;
  callIn(st, "Rnd", {-1});
  callIn(st, "Randomize", {123});
  float x = callIn(st, "Rnd").rawSingle();
  callIn(st, "Randomize", {123});
  float y = callIn(st, "Rnd").rawSingle();
  EXPECT_NE(x, y);  // Randomize keeps part of the current state
  callIn(st, "Rnd", {-1});
  callIn(st, "Randomize", {123});
  EXPECT_EQ(callIn(st, "Rnd").rawSingle(), x);
}

TEST(LibMath, RndStaysInTheUnitInterval) {
  RuntimeState st;
  callIn(st, "Randomize");
  for (int i = 0; i < 1000; ++i) {
    float r = callIn(st, "Rnd").rawSingle();
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
  }
}

}  // namespace
