#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <vector>

// What the process benchmarks need to know of the binary they drive and of its runs; the
// processes themselves come from support/child_process.h.
namespace pawnlark::bench {

// The binary named by the environment variable PAWNLARK_BINARY, else the one this build made.
inline std::string pawnlark_binary() {
    const char* path = std::getenv("PAWNLARK_BINARY");
    return path != nullptr ? path : PAWNLARK_BINARY_PATH;
}

// The median of the samples (the upper one of an even count); 0 for none.
inline double median(std::vector<double> samples) {
    if (samples.empty()) return 0.0;
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

// Counters for two series timed side by side: the median of each, times `scale` (1e6 for
// microseconds), and `ratio_name`, the first median over the second (0 when that is 0).
inline void report_medians(benchmark::State& state, const char* first_name,
                           const std::vector<double>& first, const char* second_name,
                           const std::vector<double>& second, const char* ratio_name,
                           double scale = 1.0) {
    const double first_median = median(first) * scale;
    const double second_median = median(second) * scale;
    state.counters[first_name] = first_median;
    state.counters[second_name] = second_median;
    state.counters[ratio_name] = second_median > 0 ? first_median / second_median : 0.0;
}

}  // namespace pawnlark::bench
