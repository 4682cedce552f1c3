// For the benchmarks that move data through the simulated phone over an
// emulated serial line: the rates to run and the counters that compare the
// payload rate with the line's byte rate (10 bits a byte).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace benchsupport {

// Takes "--rate=BITS_PER_S" out of argv before Google Benchmark reads its own
// options; the rate given, else `defaults`.
inline std::vector<int64_t> takeLineRates(int& argc, char** argv, std::vector<int64_t> defaults)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rate=", 7) != 0)
            continue;
        defaults = {std::atoll(argv[i] + 7)};
        std::memmove(argv + i, argv + i + 1, sizeof(char*) * size_t(argc - i));
        --argc;
        --i;
    }
    return defaults;
}

inline void reportLineShare(benchmark::State& state, double payloadBytesPerSecond, int64_t bitsPerSecond)
{
    state.counters["payload_B/s"] = payloadBytesPerSecond;
    state.counters["line_share"] = payloadBytesPerSecond / (double(bitsPerSecond) / 10.0);
}

} // namespace benchsupport
