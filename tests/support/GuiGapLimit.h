#pragma once

// How long the GUI thread may go without turning its event loop while a test
// watches it. The aim, measured in an optimised build, is 50 ms; the sanitizer
// build runs several times slower and shares the machine with the rest of the
// suite, so there the bound is looser. A stall (a blocking read, a loop that
// never yields) still fails either way.
namespace testing_support {

inline constexpr long long kGuiGapLimitMs =
#if defined(__SANITIZE_ADDRESS__)
    200;
#else
    50;
#endif

} // namespace testing_support
