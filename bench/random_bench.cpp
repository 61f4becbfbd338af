#include <benchmark/benchmark.h>

#include <cstdint>

#include "../src/random/chacha.h"
#include "velloran/random/random_generator.h"

namespace {

using velloran::RandomGenerator;
namespace chacha = velloran::chacha;

// Key-stream throughput of one refill form: four blocks, 256 bytes per call.
void bench_refill(benchmark::State& state, chacha::Path path) {
    if (!chacha::path_supported(path)) {
        state.SkipWithError("not available on this processor");
        return;
    }
    chacha::State input{};
    for (std::size_t i = 0; i < 4; ++i) input[i] = chacha::Constant[i];
    for (std::size_t i = 4; i < 12; ++i) input[i] = static_cast<std::uint32_t>(i * 0x9E3779B9U);
    chacha::RefillOutput out{};
    for (auto _ : state) {
        chacha::refill_with(path, input, out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        chacha::set_counter(input, chacha::counter(input) + chacha::BlocksPerRefill);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(sizeof(out)));
}
BENCHMARK_CAPTURE(bench_refill, scalar, chacha::Path::Scalar);
BENCHMARK_CAPTURE(bench_refill, sse2, chacha::Path::Sse2);
BENCHMARK_CAPTURE(bench_refill, avx2, chacha::Path::Avx2);

void bench_next_word32(benchmark::State& state) {
    auto generator = RandomGenerator::with_seed(42);
    for (auto _ : state) benchmark::DoNotOptimize(generator.next_word32());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(bench_next_word32);

// The score noise of the move choice.
void bench_sample_noise(benchmark::State& state) {
    auto generator = RandomGenerator::with_seed(42);
    for (auto _ : state) benchmark::DoNotOptimize(generator.sample_range_inclusive_i32(-25, 25));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(bench_sample_noise);

// Picking one of 20 candidate moves.
void bench_sample_move_index(benchmark::State& state) {
    auto generator = RandomGenerator::with_seed(42);
    for (auto _ : state) benchmark::DoNotOptimize(generator.sample_range(0, 20));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(bench_sample_move_index);

}  // namespace
