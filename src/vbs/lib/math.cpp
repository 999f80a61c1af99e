// Conversion and arithmetic functions: the C... conversions, Int/Fix/Round
// and Abs keeping the subtype of their argument, the math functions, RGB and
// the random number generator.
#include <bit>
#include <chrono>
#include <cmath>
#include <ctime>

#include "vbs/lib/common.h"
#include "vbs/lib/tables.h"

namespace tw::vbs::lib {

namespace {

template <VarType T>
Variant convert(RuntimeState&, Args a) {
  ArgValue v(a[0]);
  if (v->isNull()) raise(kErrInvalidNull);
  return v->convertTo(T);
}

// Int (floor) and Fix (toward zero) keep the subtype: Integer, Long, Single,
// Double, Currency and Date stay what they are; Booleans and Empty become
// Integers, texts Doubles.
template <bool Floor>
Variant wholePart(Args a) {
  if (a[0].isNull()) return Variant::null();
  ArgValue v(a[0]);
  auto cut = [](double x) { return Floor ? std::floor(x) : std::trunc(x); };
  switch (v->type()) {
    case vtNull:
      return Variant::null();
    case vtEmpty:
      return Variant::integer(0);
    case vtBoolean:
      return Variant::integer(v->rawBool() ? -1 : 0);
    case vtByte:
    case vtInteger:
    case vtLong:
      return *v;
    case vtSingle:
      return Variant::single(static_cast<float>(cut(v->rawSingle())));
    case vtDouble:
      return Variant(cut(v->rawDouble()));
    case vtDate:
      return Variant::date(cut(v->rawDate()));
    case vtCurrency: {
      int64_t scaled = v->rawCurrency();
      int64_t whole = scaled / 10000;
      if (Floor && scaled < 0 && scaled % 10000 != 0) --whole;
      return Variant::currency(whole * 10000);
    }
    case vtString:
    case vtDecimal:
      return Variant(cut(v->toDouble()));
    default:
      raise(kErrTypeMismatch);
  }
}

Variant fnInt(RuntimeState&, Args a) { return wholePart<true>(a); }
Variant fnFix(RuntimeState&, Args a) { return wholePart<false>(a); }

double roundDigits(double x, int32_t digits) {
  if (digits == 0) return roundHalfEven(x);
  if (digits > 22) return x;
  double scale = std::pow(10.0, digits);
  double scaled = x * scale;
  if (!std::isfinite(scaled)) return x;
  return roundHalfEven(scaled) / scale;
}

Variant fnRound(RuntimeState&, Args a) {
  int32_t digits = longArg(a, 1, 0);
  if (digits < 0) raise(kErrInvalidCall);
  if (a[0].isNull()) return Variant::null();
  ArgValue v(a[0]);
  switch (v->type()) {
    case vtNull:
      return Variant::null();
    case vtEmpty:
      return Variant::integer(0);
    case vtBoolean:
    case vtByte:
    case vtInteger:
    case vtLong:
      return *v;
    case vtSingle:
      return Variant::single(static_cast<float>(roundDigits(v->rawSingle(), digits)));
    case vtDouble:
      return Variant(roundDigits(v->rawDouble(), digits));
    case vtDate:
      return Variant::date(roundDigits(v->rawDate(), digits));
    case vtCurrency: {
      if (digits >= 4) return *v;
      int64_t factor = 1;
      for (int32_t i = digits; i < 4; ++i) factor *= 10;
      int64_t scaled = v->rawCurrency();
      int64_t q = scaled / factor, r = scaled % factor;
      int64_t twice = 2 * (r < 0 ? -r : r);
      if (twice > factor || (twice == factor && (q % 2 != 0))) q += scaled < 0 ? -1 : 1;
      return Variant::currency(q * factor);
    }
    case vtString:
    case vtDecimal:
      return Variant(roundDigits(v->toDouble(), digits));
    default:
      raise(kErrTypeMismatch);
  }
}

Variant fnAbs(RuntimeState&, Args a) {
  if (a[0].isNull()) return Variant::null();
  ArgValue v(a[0]);
  switch (v->type()) {
    case vtNull:
      return Variant::null();
    case vtEmpty:
      return Variant::integer(0);
    case vtBoolean:
      return Variant::integer(v->rawBool() ? 1 : 0);
    case vtByte:
      return *v;
    case vtInteger: {
      int32_t x = v->rawInteger();
      if (x == -32768) return Variant::long_(32768);
      return Variant::integer(static_cast<int16_t>(x < 0 ? -x : x));
    }
    case vtLong: {
      int64_t x = v->rawLong();
      if (x == INT32_MIN) return Variant(2147483648.0);
      return Variant::long_(static_cast<int32_t>(x < 0 ? -x : x));
    }
    case vtSingle:
      return Variant::single(std::fabs(v->rawSingle()));
    case vtDouble:
      return Variant(std::fabs(v->rawDouble()));
    case vtDate:
      return Variant::date(std::fabs(v->rawDate()));
    case vtCurrency: {
      int64_t x = v->rawCurrency();
      if (x == INT64_MIN) raise(kErrOverflow);
      return Variant::currency(x < 0 ? -x : x);
    }
    case vtString:
    case vtDecimal:
      return Variant(std::fabs(v->toDouble()));
    default:
      raise(kErrTypeMismatch);
  }
}

double doubleArg(const Variant& v) {
  if (v.isNull()) raise(kErrInvalidNull);
  return v.toDouble();
}

Variant fnSgn(RuntimeState&, Args a) {
  double x = doubleArg(a[0]);
  return Variant::integer(static_cast<int16_t>(x > 0 ? 1 : x < 0 ? -1 : 0));
}

Variant fnSqr(RuntimeState&, Args a) {
  double x = doubleArg(a[0]);
  if (x < 0) raise(kErrInvalidCall);
  return Variant(std::sqrt(x));
}

Variant fnExp(RuntimeState&, Args a) {
  double r = std::exp(doubleArg(a[0]));
  if (!std::isfinite(r)) raise(kErrOverflow);
  return Variant(r);
}

Variant fnLog(RuntimeState&, Args a) {
  double x = doubleArg(a[0]);
  if (x <= 0) raise(kErrInvalidCall);
  return Variant(std::log(x));
}

Variant fnAtn(RuntimeState&, Args a) { return Variant(std::atan(doubleArg(a[0]))); }
Variant fnSin(RuntimeState&, Args a) { return Variant(std::sin(doubleArg(a[0]))); }
Variant fnCos(RuntimeState&, Args a) { return Variant(std::cos(doubleArg(a[0]))); }
Variant fnTan(RuntimeState&, Args a) { return Variant(std::tan(doubleArg(a[0]))); }

// RGB: each part below 0 is an error, above 255 counts as 255.
Variant fnRGB(RuntimeState&, Args a) {
  int32_t color = 0;
  for (int i = 2; i >= 0; --i) {
    int32_t part = longArg(a[static_cast<size_t>(i)]);
    if (part < 0) raise(kErrInvalidCall);
    color = (color << 8) | (part > 255 ? 255 : part);
  }
  return Variant::long_(color);
}

// ---- Rnd and Randomize: VBScript's 24-bit linear congruential generator

constexpr uint32_t kRndMask = 0xFFFFFF;

float currentRnd(const RuntimeState& st) { return static_cast<float>(st.rndSeed) / 16777216.0f; }

void stepRnd(RuntimeState& st) { st.rndSeed = (st.rndSeed * 1140671485u + 12820163u) & kRndMask; }

Variant fnRnd(RuntimeState& st, Args a) {
  if (given(a, 0)) {
    if (a[0].isNull()) raise(kErrInvalidNull);
    float x = a[0].toSingle();
    if (x == 0.0f) return Variant::single(st.lastRnd = currentRnd(st));
    if (x < 0.0f) {
      // A negative number picks the sequence: the same number always gives the
      // same value.
      uint32_t bits = std::bit_cast<uint32_t>(x);
      st.rndSeed = (bits + (bits >> 24)) & kRndMask;
    }
  }
  stepRnd(st);
  return Variant::single(st.lastRnd = currentRnd(st));
}

// Seconds since midnight, local time, with their fraction.
double secondsSinceMidnight() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  auto sinceEpoch = now.time_since_epoch();
  double fraction =
      std::chrono::duration<double>(sinceEpoch - std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch))
          .count();
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
}

Variant fnRandomize(RuntimeState& st, Args a) {
  double seed;
  if (given(a, 0)) {
    if (a[0].isNull()) raise(kErrInvalidNull);
    seed = a[0].toDouble();
  } else {
    seed = static_cast<float>(secondsSinceMidnight());
  }
  // The high half of the number's bits, folded to 16 bits, replaces the middle
  // of the generator's state; the low byte stays.
  uint32_t high = static_cast<uint32_t>(std::bit_cast<uint64_t>(seed) >> 32);
  uint32_t mixed = ((high & 0xFFFF) ^ (high >> 16)) & 0xFFFF;
  st.rndSeed = (st.rndSeed & 0xFF) | (mixed << 8);
  return Variant();
}

constexpr BuiltinFunction kFunctions[] = {
    {"Abs", 1, 1, fnAbs},
    {"Atn", 1, 1, fnAtn},
    {"CBool", 1, 1, convert<vtBoolean>},
    {"CByte", 1, 1, convert<vtByte>},
    {"CCur", 1, 1, convert<vtCurrency>},
    {"CDate", 1, 1, convert<vtDate>},
    {"CDbl", 1, 1, convert<vtDouble>},
    {"CInt", 1, 1, convert<vtInteger>},
    {"CLng", 1, 1, convert<vtLong>},
    {"Cos", 1, 1, fnCos},
    {"CSng", 1, 1, convert<vtSingle>},
    {"CStr", 1, 1, convert<vtString>},
    {"Exp", 1, 1, fnExp},
    {"Fix", 1, 1, fnFix},
    {"Int", 1, 1, fnInt},
    {"Log", 1, 1, fnLog},
    {"Randomize", 0, 1, fnRandomize},
    {"RGB", 3, 3, fnRGB},
    {"Rnd", 0, 1, fnRnd},
    {"Round", 1, 2, fnRound},
    {"Sgn", 1, 1, fnSgn},
    {"Sin", 1, 1, fnSin},
    {"Sqr", 1, 1, fnSqr},
    {"Tan", 1, 1, fnTan},
};

}  // namespace

// Used by Timer.
double timerSeconds() { return secondsSinceMidnight(); }

std::span<const BuiltinFunction> mathFunctions() { return kFunctions; }

}  // namespace tw::vbs::lib
