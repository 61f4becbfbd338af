#pragma once

#include <array>
#include <cstdint>

// The ChaCha block function in Bernstein's original layout: words 0-3 the constant, 4-11 the key,
// 12-13 a 64-bit block counter (low word first), 14-15 a 64-bit nonce. A refill computes four
// consecutive blocks; the vector forms give the same words as the scalar one.
namespace velloran::chacha {

using State = std::array<std::uint32_t, 16>;
using Block = std::array<std::uint32_t, 16>;
using RefillOutput = std::array<std::uint32_t, 64>;

inline constexpr int Rounds = 12;
inline constexpr std::uint64_t BlocksPerRefill = 4;

// Words 0-3: "expand 32-byte k" as little-endian words.
inline constexpr std::array<std::uint32_t, 4> Constant{0x61707865, 0x3320646e, 0x79622d32,
                                                       0x6b206574};

// One block with the given number of rounds (even), in state order. The reference form: the
// refill paths are checked against it.
Block block(const State& state, int rounds);

std::uint64_t counter(const State& state);
void set_counter(State& state, std::uint64_t blocks);

// Blocks c, c+1, c+2, c+3 of `state` (c its counter) into words 0-15, 16-31, 32-47, 48-63 of
// `out`. The state itself is left as it is. Picks the fastest path on first use.
void refill(const State& state, RefillOutput& out);

enum class Path : std::uint8_t { Scalar, Sse2, Avx2 };

// The path `refill` uses; detected once through CPUID and XGETBV.
Path active_path();

// The feature bits that the AVX2 path needs: CPUID leaf 1 ECX, leaf 7 (subleaf 0) EBX.
inline constexpr std::uint32_t Cpuid1EcxOsxsave = 1U << 27;
inline constexpr std::uint32_t Cpuid1EcxAvx = 1U << 28;
inline constexpr std::uint32_t Cpuid7EbxAvx2 = 1U << 5;
// Whether the AVX2 path may run, from what CPUID (its highest leaf, leaf 1's ECX, leaf 7's EBX)
// and XGETBV (XCR0) report: the instructions are there and the operating system saves the
// 256-bit registers.
bool avx2_usable(std::uint32_t highest_leaf, std::uint32_t leaf1_ecx, std::uint64_t xcr0,
                 std::uint32_t leaf7_ebx);
// Whether this build and this processor can run `path`.
bool path_supported(Path path);
// `refill` through one given path, which must be supported; for tests and benchmarks.
void refill_with(Path path, const State& state, RefillOutput& out);

}  // namespace velloran::chacha
