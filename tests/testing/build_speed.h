#pragma once
// How much slower than an optimised build this test build runs scripts.
// A build with AddressSanitizer, or without optimisation, runs the template
// engine many times slower, so the time limits that only guard against a
// script that never ends are scaled by this; limits a test checks stay as
// they are.
namespace tw::testing {

#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
inline constexpr int kSlowBuildFactor = 10;
#else
inline constexpr int kSlowBuildFactor = 1;
#endif

}  // namespace tw::testing
