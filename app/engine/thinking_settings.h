#pragma once

#include <cstdint>
#include <optional>

namespace pawnlark {

inline constexpr std::uint64_t DefaultThinkNps = 1000000;

// How a thinking engine paces its analysis.
struct ThinkSettings {
    std::optional<std::uint64_t> think_interval_ms;  // fixed time between depths
    std::uint64_t think_nps = DefaultThinkNps;       // simulated search speed

    friend bool operator==(const ThinkSettings&, const ThinkSettings&) = default;
};

}  // namespace pawnlark
