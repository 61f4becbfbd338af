#pragma once

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

}  // namespace pawnlark::bench
