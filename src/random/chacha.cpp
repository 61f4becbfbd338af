#include "random/chacha.h"

#include <bit>
#include <cstddef>

#if defined(__x86_64__) || defined(_M_X64)
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define VELLORAN_CHACHA_MSVC 1
#else
#include <cpuid.h>
#define VELLORAN_CHACHA_MSVC 0
#endif
#include <immintrin.h>
#define VELLORAN_CHACHA_X86 1
#else
#define VELLORAN_CHACHA_MSVC 0
#define VELLORAN_CHACHA_X86 0
#endif

// GCC and Clang compile AVX2 instructions only inside functions marked for them, which then
// must be inlined into their marked callers; MSVC compiles them anywhere.
#if VELLORAN_CHACHA_X86 && !VELLORAN_CHACHA_MSVC
#define VELLORAN_AVX2_FUNCTION [[gnu::target("avx2")]]
#define VELLORAN_AVX2_INLINE [[gnu::target("avx2"), gnu::always_inline]] inline
#else
#define VELLORAN_AVX2_FUNCTION
#define VELLORAN_AVX2_INLINE __forceinline
#endif

namespace velloran::chacha {

namespace {

void quarter_round(Block& x, int a, int b, int c, int d) {
    x[a] += x[b];
    x[d] = std::rotl(x[d] ^ x[a], 16);
    x[c] += x[d];
    x[b] = std::rotl(x[b] ^ x[c], 12);
    x[a] += x[b];
    x[d] = std::rotl(x[d] ^ x[a], 8);
    x[c] += x[d];
    x[b] = std::rotl(x[b] ^ x[c], 7);
}

void refill_scalar(const State& state, RefillOutput& out) {
    State input = state;
    const std::uint64_t first = counter(state);
    for (std::uint64_t b = 0; b < BlocksPerRefill; ++b) {
        set_counter(input, first + b);
        const Block words = block(input, Rounds);
        for (std::size_t i = 0; i < words.size(); ++i) out[b * 16 + i] = words[i];
    }
}

#if VELLORAN_CHACHA_X86

// SSE2 is part of x86-64 itself. Four blocks side by side: register i holds word i of blocks
// c..c+3 in its four lanes, so the rounds are the scalar ones on vectors.

template <int Bits>
__m128i rotl_sse2(__m128i v) {
    return _mm_or_si128(_mm_slli_epi32(v, Bits), _mm_srli_epi32(v, 32 - Bits));
}

// Swapping the 16-bit halves of each word takes two shuffles instead of two shifts and an or.
__m128i rotl16_sse2(__m128i v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xb1), 0xb1); }

void quarter_round_sse2(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
    a = _mm_add_epi32(a, b);
    d = rotl16_sse2(_mm_xor_si128(d, a));
    c = _mm_add_epi32(c, d);
    b = rotl_sse2<12>(_mm_xor_si128(b, c));
    a = _mm_add_epi32(a, b);
    d = rotl_sse2<8>(_mm_xor_si128(d, a));
    c = _mm_add_epi32(c, d);
    b = rotl_sse2<7>(_mm_xor_si128(b, c));
}

void refill_sse2(const State& state, RefillOutput& out) {
    __m128i input[16];
    for (int i = 0; i < 16; ++i) input[i] = _mm_set1_epi32(static_cast<int>(state[i]));
    // Per-lane counters, the carry into word 13 included.
    const std::uint64_t first = counter(state);
    alignas(16) std::uint32_t low[4];
    alignas(16) std::uint32_t high[4];
    for (int k = 0; k < 4; ++k) {
        const std::uint64_t c = first + static_cast<std::uint64_t>(k);
        low[k] = static_cast<std::uint32_t>(c);
        high[k] = static_cast<std::uint32_t>(c >> 32);
    }
    input[12] = _mm_load_si128(reinterpret_cast<const __m128i*>(low));
    input[13] = _mm_load_si128(reinterpret_cast<const __m128i*>(high));

    __m128i x[16];
    for (int i = 0; i < 16; ++i) x[i] = input[i];
    for (int round = 0; round < Rounds; round += 2) {
        quarter_round_sse2(x[0], x[4], x[8], x[12]);
        quarter_round_sse2(x[1], x[5], x[9], x[13]);
        quarter_round_sse2(x[2], x[6], x[10], x[14]);
        quarter_round_sse2(x[3], x[7], x[11], x[15]);
        quarter_round_sse2(x[0], x[5], x[10], x[15]);
        quarter_round_sse2(x[1], x[6], x[11], x[12]);
        quarter_round_sse2(x[2], x[7], x[8], x[13]);
        quarter_round_sse2(x[3], x[4], x[9], x[14]);
    }
    for (int i = 0; i < 16; ++i) x[i] = _mm_add_epi32(x[i], input[i]);

    // Transpose each group of four words so that every block comes out contiguous.
    for (std::size_t g = 0; g < 4; ++g) {
        const __m128i t0 = _mm_unpacklo_epi32(x[4 * g], x[4 * g + 1]);
        const __m128i t1 = _mm_unpacklo_epi32(x[4 * g + 2], x[4 * g + 3]);
        const __m128i t2 = _mm_unpackhi_epi32(x[4 * g], x[4 * g + 1]);
        const __m128i t3 = _mm_unpackhi_epi32(x[4 * g + 2], x[4 * g + 3]);
        auto* base = reinterpret_cast<__m128i*>(out.data() + 4 * g);
        _mm_storeu_si128(base, _mm_unpacklo_epi64(t0, t1));
        _mm_storeu_si128(base + 4, _mm_unpackhi_epi64(t0, t1));
        _mm_storeu_si128(base + 8, _mm_unpacklo_epi64(t2, t3));
        _mm_storeu_si128(base + 12, _mm_unpackhi_epi64(t2, t3));
    }
}

// AVX2: each register holds one row (four words) of two blocks, one per 128-bit lane; the
// diagonal round rotates rows within lanes. Blocks c, c+1 and c+2, c+3 are run interleaved.

// Rotations by 16 and 8 move whole bytes, so a byte shuffle within each word does them.
VELLORAN_AVX2_INLINE __m256i rotl16_avx2(__m256i v) {
    // clang-format off
    const __m256i bytes = _mm256_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13,
                                           2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13);
    // clang-format on
    return _mm256_shuffle_epi8(v, bytes);
}

VELLORAN_AVX2_INLINE __m256i rotl8_avx2(__m256i v) {
    // clang-format off
    const __m256i bytes = _mm256_setr_epi8(3, 0, 1, 2, 7, 4, 5, 6, 11, 8, 9, 10, 15, 12, 13, 14,
                                           3, 0, 1, 2, 7, 4, 5, 6, 11, 8, 9, 10, 15, 12, 13, 14);
    // clang-format on
    return _mm256_shuffle_epi8(v, bytes);
}

VELLORAN_AVX2_INLINE __m256i rotl12_avx2(__m256i v) {
    return _mm256_or_si256(_mm256_slli_epi32(v, 12), _mm256_srli_epi32(v, 20));
}

VELLORAN_AVX2_INLINE __m256i rotl7_avx2(__m256i v) {
    return _mm256_or_si256(_mm256_slli_epi32(v, 7), _mm256_srli_epi32(v, 25));
}

VELLORAN_AVX2_INLINE void quarter_rows_avx2(__m256i& a, __m256i& b, __m256i& c, __m256i& d) {
    a = _mm256_add_epi32(a, b);
    d = rotl16_avx2(_mm256_xor_si256(d, a));
    c = _mm256_add_epi32(c, d);
    b = rotl12_avx2(_mm256_xor_si256(b, c));
    a = _mm256_add_epi32(a, b);
    d = rotl8_avx2(_mm256_xor_si256(d, a));
    c = _mm256_add_epi32(c, d);
    b = rotl7_avx2(_mm256_xor_si256(b, c));
}

// Lines up the diagonals as columns: row 1 moves by one word, row 2 by two, row 3 by three.
VELLORAN_AVX2_INLINE void diagonalize_avx2(__m256i& b, __m256i& c, __m256i& d) {
    b = _mm256_shuffle_epi32(b, 0x39);
    c = _mm256_shuffle_epi32(c, 0x4e);
    d = _mm256_shuffle_epi32(d, 0x93);
}

VELLORAN_AVX2_INLINE void undiagonalize_avx2(__m256i& b, __m256i& c, __m256i& d) {
    b = _mm256_shuffle_epi32(b, 0x93);
    c = _mm256_shuffle_epi32(c, 0x4e);
    d = _mm256_shuffle_epi32(d, 0x39);
}

// Row `r` of the state, the same for both blocks of a pair.
VELLORAN_AVX2_INLINE __m256i row_avx2(const State& state, std::size_t r) {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(state.data() + 4 * r)));
}

// Row 3 of blocks `first` and `first` + 1: the 64-bit counters, then the nonce.
VELLORAN_AVX2_INLINE __m256i counter_row_avx2(const State& state, std::uint64_t first) {
    const std::uint64_t second = first + 1;
    return _mm256_setr_epi32(static_cast<int>(static_cast<std::uint32_t>(first)),
                             static_cast<int>(static_cast<std::uint32_t>(first >> 32)),
                             static_cast<int>(state[14]), static_cast<int>(state[15]),
                             static_cast<int>(static_cast<std::uint32_t>(second)),
                             static_cast<int>(static_cast<std::uint32_t>(second >> 32)),
                             static_cast<int>(state[14]), static_cast<int>(state[15]));
}

VELLORAN_AVX2_FUNCTION void refill_avx2(const State& state, RefillOutput& out) {
    const __m256i in0 = row_avx2(state, 0);
    const __m256i in1 = row_avx2(state, 1);
    const __m256i in2 = row_avx2(state, 2);
    const std::uint64_t first = counter(state);
    const __m256i in3_lo = counter_row_avx2(state, first);
    const __m256i in3_hi = counter_row_avx2(state, first + 2);

    __m256i a0 = in0, b0 = in1, c0 = in2, d0 = in3_lo;
    __m256i a1 = in0, b1 = in1, c1 = in2, d1 = in3_hi;
    for (int round = 0; round < Rounds; round += 2) {
        quarter_rows_avx2(a0, b0, c0, d0);
        quarter_rows_avx2(a1, b1, c1, d1);
        diagonalize_avx2(b0, c0, d0);
        diagonalize_avx2(b1, c1, d1);
        quarter_rows_avx2(a0, b0, c0, d0);
        quarter_rows_avx2(a1, b1, c1, d1);
        undiagonalize_avx2(b0, c0, d0);
        undiagonalize_avx2(b1, c1, d1);
    }
    a0 = _mm256_add_epi32(a0, in0);
    b0 = _mm256_add_epi32(b0, in1);
    c0 = _mm256_add_epi32(c0, in2);
    d0 = _mm256_add_epi32(d0, in3_lo);
    a1 = _mm256_add_epi32(a1, in0);
    b1 = _mm256_add_epi32(b1, in1);
    c1 = _mm256_add_epi32(c1, in2);
    d1 = _mm256_add_epi32(d1, in3_hi);

    // Low lanes belong to the even block of a pair, high lanes to the odd one.
    auto* words = reinterpret_cast<__m256i*>(out.data());
    _mm256_storeu_si256(words + 0, _mm256_permute2x128_si256(a0, b0, 0x20));
    _mm256_storeu_si256(words + 1, _mm256_permute2x128_si256(c0, d0, 0x20));
    _mm256_storeu_si256(words + 2, _mm256_permute2x128_si256(a0, b0, 0x31));
    _mm256_storeu_si256(words + 3, _mm256_permute2x128_si256(c0, d0, 0x31));
    _mm256_storeu_si256(words + 4, _mm256_permute2x128_si256(a1, b1, 0x20));
    _mm256_storeu_si256(words + 5, _mm256_permute2x128_si256(c1, d1, 0x20));
    _mm256_storeu_si256(words + 6, _mm256_permute2x128_si256(a1, b1, 0x31));
    _mm256_storeu_si256(words + 7, _mm256_permute2x128_si256(c1, d1, 0x31));
}

struct CpuidRegisters {
    std::uint32_t eax = 0;
    std::uint32_t ebx = 0;
    std::uint32_t ecx = 0;
    std::uint32_t edx = 0;
};

CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    CpuidRegisters r;
#if VELLORAN_CHACHA_MSVC
    int words[4] = {};
    __cpuidex(words, static_cast<int>(leaf), static_cast<int>(subleaf));
    r = {static_cast<std::uint32_t>(words[0]), static_cast<std::uint32_t>(words[1]),
         static_cast<std::uint32_t>(words[2]), static_cast<std::uint32_t>(words[3])};
#else
    __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
#endif
    return r;
}

// The register states the operating system saves on a switch (XCR0); only to be read when
// CPUID says OSXSAVE.
std::uint64_t xcr0() {
#if VELLORAN_CHACHA_MSVC
    return _xgetbv(0);
#else
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (std::uint64_t{high} << 32) | low;
#endif
}

bool processor_has_avx2() {
    const std::uint32_t highest_leaf = cpuid(0, 0).eax;
    if (highest_leaf < 1) return false;
    const std::uint32_t features = cpuid(1, 0).ecx;
    // XCR0 may only be read once OSXSAVE says the instruction is there.
    if ((features & Cpuid1EcxOsxsave) == 0) return false;
    return avx2_usable(highest_leaf, features, xcr0(),
                       highest_leaf >= 7 ? cpuid(7, 0).ebx : std::uint32_t{0});
}

#endif  // VELLORAN_CHACHA_X86

using RefillFunction = void (*)(const State&, RefillOutput&);

RefillFunction function_for(Path path) {
    switch (path) {
#if VELLORAN_CHACHA_X86
        case Path::Avx2:
            return refill_avx2;
        case Path::Sse2:
            return refill_sse2;
#else
        case Path::Avx2:
        case Path::Sse2:
#endif
        case Path::Scalar:
            break;
    }
    return refill_scalar;
}

Path detect_path() {
#if VELLORAN_CHACHA_X86
    return processor_has_avx2() ? Path::Avx2 : Path::Sse2;
#else
    return Path::Scalar;
#endif
}

}  // namespace

bool avx2_usable(std::uint32_t highest_leaf, std::uint32_t leaf1_ecx, std::uint64_t xcr0,
                 std::uint32_t leaf7_ebx) {
    constexpr std::uint64_t SseAndAvxState = 0x6;  // XCR0 bits 1 and 2
    return highest_leaf >= 7 && (leaf1_ecx & Cpuid1EcxOsxsave) != 0
           && (leaf1_ecx & Cpuid1EcxAvx) != 0 && (xcr0 & SseAndAvxState) == SseAndAvxState
           && (leaf7_ebx & Cpuid7EbxAvx2) != 0;
}

Block block(const State& state, int rounds) {
    Block x = state;
    for (int round = 0; round < rounds; round += 2) {
        quarter_round(x, 0, 4, 8, 12);
        quarter_round(x, 1, 5, 9, 13);
        quarter_round(x, 2, 6, 10, 14);
        quarter_round(x, 3, 7, 11, 15);
        quarter_round(x, 0, 5, 10, 15);
        quarter_round(x, 1, 6, 11, 12);
        quarter_round(x, 2, 7, 8, 13);
        quarter_round(x, 3, 4, 9, 14);
    }
    for (std::size_t i = 0; i < x.size(); ++i) x[i] += state[i];
    return x;
}

std::uint64_t counter(const State& state) { return (std::uint64_t{state[13]} << 32) | state[12]; }

void set_counter(State& state, std::uint64_t blocks) {
    state[12] = static_cast<std::uint32_t>(blocks);
    state[13] = static_cast<std::uint32_t>(blocks >> 32);
}

Path active_path() {
    static const Path path = detect_path();
    return path;
}

bool path_supported(Path path) {
    switch (path) {
        case Path::Scalar:
            return true;
        case Path::Sse2:
            return VELLORAN_CHACHA_X86 == 1;
        case Path::Avx2:
            return active_path() == Path::Avx2;
    }
    return false;
}

void refill(const State& state, RefillOutput& out) {
    static const RefillFunction function = function_for(active_path());
    function(state, out);
}

void refill_with(Path path, const State& state, RefillOutput& out) {
    function_for(path)(state, out);
}

}  // namespace velloran::chacha
