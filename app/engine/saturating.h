#pragma once

#include <cstdint>
#include <limits>

namespace pawnlark {

// Arithmetic on times and counts that stops at the maximum instead of wrapping, so a huge
// clock or node count never turns into a short one.
constexpr std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
    constexpr std::uint64_t Max = std::numeric_limits<std::uint64_t>::max();
    return a > Max - b ? Max : a + b;
}

constexpr std::uint64_t saturating_mul(std::uint64_t a, std::uint64_t b) {
    constexpr std::uint64_t Max = std::numeric_limits<std::uint64_t>::max();
    return b != 0 && a > Max / b ? Max : a * b;
}

}  // namespace pawnlark
