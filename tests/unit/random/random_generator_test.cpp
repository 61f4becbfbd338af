#include "velloran/random/random_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

// The block function is private to the core; its test hook lives beside it.
#include "../../src/random/chacha.h"

namespace {

using velloran::RandomGenerator;
namespace chacha = velloran::chacha;

// Key-stream bytes as printed in published vectors, read back as little-endian words.
chacha::Block words_from_hex(std::string_view hex) {
    const auto nibble = [](char c) {
        return static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    };
    chacha::Block words{};
    for (std::size_t byte = 0; byte < 64; ++byte) {
        const std::uint32_t value = nibble(hex[2 * byte]) << 4 | nibble(hex[2 * byte + 1]);
        words[byte / 4] |= value << (8 * (byte % 4));
    }
    return words;
}

chacha::State zero_key_state() {
    chacha::State state{};
    for (std::size_t i = 0; i < 4; ++i) state[i] = chacha::Constant[i];
    return state;
}

// The first `count` words of a fresh generator.
std::vector<std::uint32_t> stream(std::uint64_t seed, std::size_t count) {
    auto generator = RandomGenerator::with_seed(seed);
    std::vector<std::uint32_t> words(count);
    for (auto& word : words) word = generator.next_word32();
    return words;
}

RandomGenerator after_words(std::uint64_t seed, std::size_t skipped) {
    auto generator = RandomGenerator::with_seed(seed);
    for (std::size_t i = 0; i < skipped; ++i) generator.next_word32();
    return generator;
}

TEST(ChaChaBlock, MatchesPublishedTwentyRoundVectorWithCounterAndNonce) {
    // The block-function vector of RFC 8439, section 2.3.2: key 00..1f, then its 32-bit counter
    // (1) and 96-bit nonce, which occupy the same four state words as the 64-bit pair here.
    chacha::State state = zero_key_state();
    for (std::uint32_t i = 0; i < 8; ++i) {
        state[4 + i] = (4 * i) | (4 * i + 1) << 8 | (4 * i + 2) << 16 | (4 * i + 3) << 24;
    }
    state[12] = 1;
    state[13] = 0x09000000;
    state[14] = 0x4a000000;
    state[15] = 0;
    const chacha::Block expected{0xe4e7f110, 0x15593bd1, 0x1fdd0f50, 0xc47120a3,
                                 0xc7f4d1c7, 0x0368c033, 0x9aaa2204, 0x4e6cd4c3,
                                 0x466482d2, 0x09aa9f07, 0x05d7c214, 0xa2028bd9,
                                 0xd19c12b5, 0xb94e16de, 0xe883d0cb, 0x4e3c50a2};
    EXPECT_EQ(chacha::block(state, 20), expected);
}

TEST(ChaChaBlock, MatchesPublishedZeroKeyVectorsForTwentyAndTwelveRounds) {
    // All-zero 256-bit key and nonce, first block.
    const chacha::State state = zero_key_state();
    EXPECT_EQ(chacha::block(state, 20),
              words_from_hex("76b8e0ada0f13d90405d6ae55386bd28bdd219b8a08ded1aa836efcc8b770dc7"
                             "da41597c5157488d7724e03fb8d84a376a43b8f41518a11cc387b669b2ee6586"));
    EXPECT_EQ(chacha::block(state, chacha::Rounds),
              words_from_hex("9bf49a6a0755f953811fce125f2683d50429c3bb49e074147e0089a52eae155f"
                             "0564f879d27ae3c02ce82834acfa8c793a629f2ca0de6919610be82f411326be"));
}

TEST(ChaChaRefill, ScalarPathIsFourConsecutiveBlocksWithCounterCarry) {
    chacha::State state = zero_key_state();
    state[5] = 0x12345678;
    chacha::set_counter(state, 0xFFFFFFFEULL);
    chacha::RefillOutput out{};
    chacha::refill_with(chacha::Path::Scalar, state, out);

    const std::uint32_t counters[4][2] = {{0xFFFFFFFE, 0}, {0xFFFFFFFF, 0}, {0, 1}, {1, 1}};
    for (std::size_t b = 0; b < 4; ++b) {
        chacha::State input = state;
        input[12] = counters[b][0];
        input[13] = counters[b][1];
        const chacha::Block expected = chacha::block(input, chacha::Rounds);
        for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(out[16 * b + i], expected[i]) << b;
    }
    EXPECT_EQ(state[12], 0xFFFFFFFEU) << "refill must not move the counter";
}

class ChaChaVectorPath : public testing::TestWithParam<chacha::Path> {};

TEST_P(ChaChaVectorPath, YieldsTheScalarWordsOverManyRefills) {
    if (!chacha::path_supported(GetParam())) GTEST_SKIP() << "not available on this processor";
    // Every state word varied, nonce included; counters that carry into word 13 after each of
    // the four blocks of a refill, and one that wraps the whole 64 bits.
    std::uint64_t mix = 0x9E3779B97F4A7C15ULL;
    const std::uint64_t starts[] = {
        0, 0x0FFFFFFFFULL, 0x1FFFFFFFEULL, 0x2FFFFFFFDULL, 0x3FFFFFFFCULL, 0xFFFFFFFFFFFFFFFEULL};
    for (const std::uint64_t start : starts) {
        chacha::State state{};
        for (auto& word : state) {
            mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
            word = static_cast<std::uint32_t>(mix >> 32);
        }
        chacha::set_counter(state, start);
        for (int refill = 0; refill < 300; ++refill) {
            chacha::RefillOutput scalar{};
            chacha::RefillOutput vector{};
            chacha::refill_with(chacha::Path::Scalar, state, scalar);
            chacha::refill_with(GetParam(), state, vector);
            ASSERT_EQ(vector, scalar) << "counter " << chacha::counter(state);
            chacha::set_counter(state, chacha::counter(state) + chacha::BlocksPerRefill);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ChaChaVectorPath,
                         testing::Values(chacha::Path::Sse2, chacha::Path::Avx2),
                         [](const testing::TestParamInfo<chacha::Path>& param) {
                             return param.param == chacha::Path::Sse2 ? "Sse2" : "Avx2";
                         });

TEST(ChaChaAvx2Detection, NeedsTheInstructionsAndTheOperatingSystemsSupport) {
    constexpr std::uint32_t Leaf1 = chacha::Cpuid1EcxOsxsave | chacha::Cpuid1EcxAvx;
    constexpr std::uint64_t Xcr0 = 0x7;  // x87, SSE and AVX state
    constexpr std::uint32_t Leaf7 = chacha::Cpuid7EbxAvx2;
    EXPECT_TRUE(chacha::avx2_usable(7, Leaf1, Xcr0, Leaf7));
    EXPECT_TRUE(chacha::avx2_usable(0x1F, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF));
    EXPECT_FALSE(chacha::avx2_usable(6, Leaf1, Xcr0, Leaf7)) << "no leaf 7 to ask";
    EXPECT_FALSE(chacha::avx2_usable(7, chacha::Cpuid1EcxAvx, Xcr0, Leaf7)) << "no OSXSAVE";
    EXPECT_FALSE(chacha::avx2_usable(7, chacha::Cpuid1EcxOsxsave, Xcr0, Leaf7)) << "no AVX";
    EXPECT_FALSE(chacha::avx2_usable(7, Leaf1, 0x3, Leaf7)) << "AVX state not saved";
    EXPECT_FALSE(chacha::avx2_usable(7, Leaf1, 0x5, Leaf7)) << "SSE state not saved";
    EXPECT_FALSE(chacha::avx2_usable(7, Leaf1, Xcr0, ~chacha::Cpuid7EbxAvx2)) << "no AVX2";
}

#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
// The compiler's own detection reads the same CPUID and XCR0 bits.
TEST(ChaChaAvx2Detection, AgreesWithTheCompilersDetection) {
    __builtin_cpu_init();
    EXPECT_EQ(chacha::active_path() == chacha::Path::Avx2, __builtin_cpu_supports("avx2") != 0);
    EXPECT_TRUE(chacha::path_supported(chacha::Path::Sse2));
}
#endif

TEST(RandomGeneratorStream, MatchesKnownWordsForDefaultSeed) {
    EXPECT_EQ(stream(42, 3), (std::vector<std::uint32_t>{572990626, 2261546851, 1068323197}));
}

TEST(RandomGeneratorStream, IsTheKeyStreamOfThePcgExpandedKeyInOrder) {
    // PCG-XSH-RR written out independently, then the first two refills block by block: the 65th
    // word must be word 0 of block 4.
    for (const std::uint64_t seed : {0ULL, 42ULL, 0xFFFFFFFFFFFFFFFFULL}) {
        chacha::State state = zero_key_state();
        std::uint64_t pcg = seed;
        for (std::size_t i = 0; i < 8; ++i) {
            pcg = pcg * 0x5851F42D4C957F2DULL + 0xA17654E46FBE17F3ULL;
            state[4 + i] = std::rotr(static_cast<std::uint32_t>(((pcg >> 18) ^ pcg) >> 27),
                                     static_cast<int>(pcg >> 59));
        }
        const auto words = stream(seed, 128);
        for (std::uint64_t b = 0; b < 8; ++b) {
            chacha::set_counter(state, b);
            const chacha::Block expected = chacha::block(state, chacha::Rounds);
            for (std::size_t i = 0; i < 16; ++i) {
                ASSERT_EQ(words[16 * b + i], expected[i]) << "seed " << seed << " block " << b;
            }
        }
    }
    EXPECT_EQ(stream(7, 200), stream(7, 200));
    EXPECT_NE(stream(7, 4), stream(8, 4));
}

TEST(RandomGeneratorStream, Word64TakesTwoWordsLowFirstAcrossRefills) {
    const auto words = stream(42, 200);
    const auto joined = [&words](std::size_t i) {
        return std::uint64_t{words[i + 1]} << 32 | words[i];
    };
    for (const std::size_t position : {0, 61, 62, 63, 64, 127}) {
        auto generator = after_words(42, position);
        EXPECT_EQ(generator.next_word64(), joined(position)) << position;
        EXPECT_EQ(generator.next_word32(), words[position + 2]) << position;
    }
}

TEST(RandomGeneratorSampleRange, MatchesKnownAnswerAndShiftsByLow) {
    auto generator = RandomGenerator::with_seed(42);
    EXPECT_EQ(generator.sample_range(0, 20), 2U);
    generator = RandomGenerator::with_seed(42);
    EXPECT_EQ(generator.sample_range(1000, 1020), 1002U);
}

TEST(RandomGeneratorSampleRange, SingleValueRangeStillConsumesOneWord) {
    const auto words = stream(42, 2);
    auto generator = RandomGenerator::with_seed(42);
    EXPECT_EQ(generator.sample_range(0, 1), 0U);
    EXPECT_EQ(generator.next_word32(), words[1]);
}

TEST(RandomGeneratorSampleRange, PathWidthFollowsHighNotRange) {
    const auto words = stream(42, 3);
    constexpr std::uint64_t Max32 = 0xFFFFFFFFULL;

    // high = 2^32 - 1: one 32-bit word.
    auto generator = RandomGenerator::with_seed(42);
    EXPECT_EQ(generator.sample_range(Max32 - 1, Max32), Max32 - 1);
    EXPECT_EQ(generator.next_word32(), words[1]);

    // high = 2^32: a 64-bit draw even though the range is 1.
    generator = RandomGenerator::with_seed(42);
    EXPECT_EQ(generator.sample_range(Max32, Max32 + 1), Max32);
    EXPECT_EQ(generator.next_word32(), words[2]);

    // (x * 2^32) >> 64 is the high word, and the low half can never pass the threshold.
    generator = RandomGenerator::with_seed(42);
    EXPECT_EQ(generator.sample_range(0, Max32 + 1), words[1]);
    EXPECT_EQ(generator.next_word32(), words[2]);
}

TEST(RandomGeneratorSampleRange, SecondDrawCarriesWhenItOutgrowsTheFirst) {
    // With range 2^32 - 1, x * range = (x - 1) * 2^32 + (2^32 - x): the low half passes the
    // threshold 1 for any x > 1, and the second draw y carries exactly when y > x.
    constexpr std::uint64_t Max32 = 0xFFFFFFFFULL;
    const auto words = stream(42, 2001);
    auto generator = RandomGenerator::with_seed(42);
    int carries = 0;
    for (std::size_t i = 0; i + 1 < 2000; i += 2) {
        const std::uint32_t x = words[i];
        const std::uint32_t y = words[i + 1];
        ASSERT_GT(x, 1U);
        const std::uint64_t expected = x - 1 + (y > x ? 1 : 0);
        ASSERT_EQ(generator.sample_range(0, Max32), expected) << i;
        carries += y > x ? 1 : 0;
    }
    EXPECT_GT(carries, 0);
    EXPECT_LT(carries, 1000);
    EXPECT_EQ(generator.next_word32(), words[2000]);
}

TEST(RandomGeneratorSampleRange, WideSecondDrawUsesTwoMoreWords) {
    // The same identity in 64 bits, range 2^64 - 1: four words per sample.
    constexpr std::uint64_t Max64 = std::numeric_limits<std::uint64_t>::max();
    const auto words = stream(42, 801);
    const auto joined = [&words](std::size_t i) {
        return std::uint64_t{words[i + 1]} << 32 | words[i];
    };
    auto generator = RandomGenerator::with_seed(42);
    for (std::size_t i = 0; i < 800; i += 4) {
        const std::uint64_t x = joined(i);
        const std::uint64_t y = joined(i + 2);
        ASSERT_EQ(generator.sample_range(0, Max64), x - 1 + (y > x ? 1 : 0)) << i;
    }
    EXPECT_EQ(generator.next_word32(), words[800]);
}

TEST(RandomGeneratorSampleInclusive, MatchesKnownNoiseDraws) {
    const std::vector<std::int32_t> expected{-19, 1,  -13, 2,  19,  7,  25, -5,  24, -24,
                                             6,   -4, -8,  12, -16, 18, 7,  -19, -1, -25};
    auto generator = RandomGenerator::with_seed(42);
    std::vector<std::int32_t> drawn;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        drawn.push_back(generator.sample_range_inclusive_i32(-25, 25));
    }
    EXPECT_EQ(drawn, expected);
}

TEST(RandomGeneratorSampleInclusive, NoiseReachesBothEndsAndNeverPassesThem) {
    auto generator = RandomGenerator::with_seed(1);
    std::int32_t lowest = 0;
    std::int32_t highest = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t value = generator.sample_range_inclusive_i32(-25, 25);
        ASSERT_GE(value, -25);
        ASSERT_LE(value, 25);
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
    }
    EXPECT_EQ(lowest, -25);
    EXPECT_EQ(highest, 25);
}

TEST(RandomGeneratorSampleInclusive, FullAndSingleValueRanges) {
    constexpr std::int32_t IntMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t IntMax = std::numeric_limits<std::int32_t>::max();
    const auto words = stream(42, 5);
    auto generator = RandomGenerator::with_seed(42);
    // All 2^32 values: the word itself, reinterpreted.
    EXPECT_EQ(generator.sample_range_inclusive_i32(IntMin, IntMax),
              static_cast<std::int32_t>(words[0]));
    EXPECT_EQ(generator.sample_range_inclusive_i32(5, 5), 5);
    // 2^32 - 1 values from the bottom: low + (x - 1 + carry), wrapping.
    const std::uint32_t offset = words[2] - 1 + (words[3] > words[2] ? 1 : 0);
    EXPECT_EQ(generator.sample_range_inclusive_i32(IntMin, IntMax - 1),
              static_cast<std::int32_t>(0x80000000U + offset));
    EXPECT_EQ(generator.next_word32(), words[4]);
}

TEST(RandomGeneratorDeathTest, EmptyHalfOpenRangeIsFatal) {
    auto generator = RandomGenerator::with_seed(42);
    EXPECT_DEATH(generator.sample_range(5, 5), "cannot sample empty range");
    EXPECT_DEATH(generator.sample_range(6, 5), "cannot sample empty range");
}

TEST(RandomGeneratorDeathTest, EmptyClosedRangeIsFatal) {
    auto generator = RandomGenerator::with_seed(42);
    EXPECT_DEATH(generator.sample_range_inclusive_i32(3, 2), "cannot sample empty range");
}

}  // namespace
