#pragma once

#include <cstdint>

// The full 128-bit product of two 64-bit words, which range sampling needs. Compilers with a
// 128-bit integer (GCC, Clang) multiply in one instruction; others (MSVC) take the portable
// form, which gives the same halves.
namespace velloran::wide {

struct Product128 {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    friend bool operator==(const Product128&, const Product128&) = default;
};

// Schoolbook multiplication in 32-bit halves: a = ah:al, b = bh:bl.
constexpr Product128 multiply_portable(std::uint64_t a, std::uint64_t b) {
    constexpr std::uint64_t Half = 0xFFFFFFFFULL;
    const std::uint64_t al = a & Half;
    const std::uint64_t ah = a >> 32;
    const std::uint64_t bl = b & Half;
    const std::uint64_t bh = b >> 32;
    const std::uint64_t low_low = al * bl;
    const std::uint64_t high_low = ah * bl;
    const std::uint64_t low_high = al * bh;
    const std::uint64_t high_high = ah * bh;
    // The column of bits 32-95 cannot overflow: at most (2^32 - 1)^2 + 2 (2^32 - 1) = 2^64 - 1.
    const std::uint64_t middle = (low_low >> 32) + (high_low & Half) + low_high;
    return {high_high + (high_low >> 32) + (middle >> 32), (middle << 32) | (low_low & Half)};
}

#if defined(__SIZEOF_INT128__)
inline constexpr bool HasInt128 = true;
__extension__ using Uint128 = unsigned __int128;

constexpr Product128 multiply_int128(std::uint64_t a, std::uint64_t b) {
    const Uint128 product = static_cast<Uint128>(a) * b;
    return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
}
#else
inline constexpr bool HasInt128 = false;
#endif

constexpr Product128 multiply(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
    return multiply_int128(a, b);
#else
    return multiply_portable(a, b);
#endif
}

}  // namespace velloran::wide
