#pragma once

#include <array>
#include <cstdint>

namespace velloran {

// The seeded source of every random choice: ChaCha with 12 rounds (64-bit block counter,
// 64-bit zero nonce), keyed from the seed by PCG32, refilled four blocks at a time. Equal seeds
// give equal streams on every machine. Drawing allocates nothing.
class RandomGenerator {
public:
    static RandomGenerator with_seed(std::uint64_t seed);

    // The next word of the key stream.
    std::uint32_t next_word32();
    // Two words, the first as the low half; no word is skipped at a refill.
    std::uint64_t next_word64();
    // Uniform in [low, high) by widening multiplication with at most one extra draw; 32-bit
    // path when high < 2^32. An empty range is a fatal internal error.
    std::uint64_t sample_range(std::uint64_t low, std::uint64_t high);
    // Uniform in [low, high]. An empty range is a fatal internal error.
    std::int32_t sample_range_inclusive_i32(std::int32_t low, std::int32_t high);

private:
    RandomGenerator() = default;
    void refill();

    std::array<std::uint32_t, 64> buffer_{};
    std::uint32_t position_ = 64;  // next unread word of buffer_; 64 when used up
    std::array<std::uint32_t, 16> state_{};
};

}  // namespace velloran
