#include "random/wide_multiply.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>

namespace velloran::wide {

// Found by GoogleTest next to the type, so a failure shows both halves in hexadecimal.
void PrintTo(const Product128& product, std::ostream* os);
void PrintTo(const Product128& product, std::ostream* os) {
    *os << std::hex << "0x" << product.high << ":" << product.low << std::dec;
}

namespace {

constexpr std::uint64_t Max = std::numeric_limits<std::uint64_t>::max();

// Products whose halves are known by hand, where a lost carry between the 32-bit columns shows.
struct KnownProduct {
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    Product128 product;
};

constexpr KnownProduct KnownProducts[] = {
    {0, Max, {0, 0}},
    {1, Max, {0, Max}},
    {Max, Max, {Max - 1, 1}},
    {std::uint64_t{1} << 32, std::uint64_t{1} << 32, {1, 0}},
    {Max, 2, {1, Max - 1}},
    {0xFFFFFFFFULL, 0xFFFFFFFFULL, {0, 0xFFFFFFFE00000001ULL}},
    {0xFFFFFFFFFFFFFFFFULL, 0x00000000FFFFFFFFULL, {0xFFFFFFFEULL, 0xFFFFFFFF00000001ULL}},
    {0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL, {0x0121FA00AD77D742ULL, 0x2236D88FE5618CF0ULL}},
};

static_assert(multiply_portable(Max, Max) == Product128{Max - 1, 1});

TEST(WideMultiply, PortableFormGivesKnownProducts) {
    for (const KnownProduct& known : KnownProducts) {
        EXPECT_EQ(multiply_portable(known.a, known.b), known.product)
            << known.a << " * " << known.b;
        EXPECT_EQ(multiply_portable(known.b, known.a), known.product)
            << known.b << " * " << known.a;
        EXPECT_EQ(multiply(known.a, known.b), known.product) << known.a << " * " << known.b;
    }
}

TEST(WideMultiply, PortableFormMatchesTheCompilersIntegerOnManyOperands) {
#if defined(__SIZEOF_INT128__)
    // SplitMix64 operands, with one or both halves of each cleared now and then so that zero
    // columns and carries are all met.
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    const auto next = [&state] {
        state += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    };
    constexpr std::uint64_t Masks[] = {Max, 0xFFFFFFFFULL, 0xFFFFFFFF00000000ULL, Max};
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t a = next() & Masks[i % 4];
        const std::uint64_t b = next() & Masks[(i / 4) % 4];
        ASSERT_EQ(multiply_portable(a, b), multiply_int128(a, b)) << a << " * " << b;
    }
#else
    GTEST_SKIP() << "this compiler has no 128-bit integer to compare with";
#endif
}

}  // namespace
}  // namespace velloran::wide
