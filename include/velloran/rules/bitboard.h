#pragma once

#include <bit>
#include <cstdint>
#include <iterator>

#include "velloran/rules/types.h"

namespace velloran {

// The population count of each byte of `x`, in that byte: the first steps of the portable
// population count, shared with the move counter that sums many sets at once.
constexpr std::uint64_t byte_popcounts(std::uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555ULL;
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    return (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
}

// The number of set bits. Without a population count instruction in the target (or with
// VELLORAN_PORTABLE_BITS defined) it is computed inline: the library's fallback is an
// out-of-line call, too slow for move counting.
constexpr int popcount(std::uint64_t x) {
#if defined(__POPCNT__) && !defined(VELLORAN_PORTABLE_BITS)
    return std::popcount(x);
#else
    return static_cast<int>((byte_popcounts(x) * 0x0101010101010101ULL) >> 56);
#endif
}

// A set of squares: bit i is set when square i is in the set. Iteration visits squares in
// ascending index order.
struct BitBoard {
    std::uint64_t bits = 0;

    static constexpr BitBoard from(Square s) { return BitBoard{std::uint64_t{1} << index(s)}; }
    static constexpr BitBoard of_file(File f) {
        return BitBoard{0x0101010101010101ULL << index(f)};
    }
    static constexpr BitBoard of_rank(Rank r) { return BitBoard{0xFFULL << (8 * index(r))}; }

    constexpr bool empty() const { return bits == 0; }
    constexpr bool any() const { return bits != 0; }
    constexpr bool contains(Square s) const { return (bits >> index(s)) & 1; }
    constexpr int count() const { return popcount(bits); }
    constexpr bool has_more_than_one() const { return (bits & (bits - 1)) != 0; }
    // The lowest square; the set must not be empty.
    constexpr Square first() const { return square_from_index(std::countr_zero(bits)); }
    // The highest square; the set must not be empty.
    constexpr Square last() const { return square_from_index(63 - std::countl_zero(bits)); }

    constexpr BitBoard operator|(BitBoard o) const { return BitBoard{bits | o.bits}; }
    constexpr BitBoard operator&(BitBoard o) const { return BitBoard{bits & o.bits}; }
    constexpr BitBoard operator^(BitBoard o) const { return BitBoard{bits ^ o.bits}; }
    constexpr BitBoard operator~() const { return BitBoard{~bits}; }
    constexpr BitBoard& operator|=(BitBoard o) {
        bits |= o.bits;
        return *this;
    }
    constexpr BitBoard& operator&=(BitBoard o) {
        bits &= o.bits;
        return *this;
    }
    constexpr BitBoard& operator^=(BitBoard o) {
        bits ^= o.bits;
        return *this;
    }
    friend constexpr bool operator==(BitBoard, BitBoard) = default;

    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Square;
        using difference_type = std::ptrdiff_t;
        using pointer = const Square*;
        using reference = Square;
        constexpr Iterator() = default;
        constexpr explicit Iterator(std::uint64_t rest) : rest_(rest) {}
        constexpr Square operator*() const { return square_from_index(std::countr_zero(rest_)); }
        constexpr Iterator& operator++() {
            rest_ &= rest_ - 1;
            return *this;
        }
        constexpr Iterator operator++(int) {
            Iterator old = *this;
            ++*this;
            return old;
        }
        friend constexpr bool operator==(Iterator, Iterator) = default;

    private:
        std::uint64_t rest_ = 0;
    };
    constexpr Iterator begin() const { return Iterator{bits}; }
    constexpr Iterator end() const { return Iterator{0}; }
};

}  // namespace velloran
