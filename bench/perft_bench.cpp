// Perft benchmarks. With `--perft DEPTH [FEN [chess960]]` it instead runs one perft and prints
// "nodes N time_ms T" for scripts/perft_vs_stockfish.sh, so whole processes can be timed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "perft.h"
#include "velloran/rules/board.h"

namespace {

using velloran::Board;

constexpr std::string_view Kiwipete =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

Board kiwipete() { return Board::from_fen(Kiwipete, false).value(); }

void bench_perft_startpos_6(benchmark::State& state) {
    const Board board = Board::startpos();
    std::uint64_t nodes = 0;
    for (auto _ : state) {
        nodes = velloran::testing::perft(board, 6);
        benchmark::DoNotOptimize(nodes);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(nodes) * state.iterations());
}
BENCHMARK(bench_perft_startpos_6)->Unit(benchmark::kMillisecond);

void bench_perft_kiwipete_5(benchmark::State& state) {
    const Board board = kiwipete();
    std::uint64_t nodes = 0;
    for (auto _ : state) {
        nodes = velloran::testing::perft(board, 5);
        benchmark::DoNotOptimize(nodes);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(nodes) * state.iterations());
}
BENCHMARK(bench_perft_kiwipete_5)->Unit(benchmark::kMillisecond);

// Every last move played with Board::play instead of counted from the groups.
void bench_perft_playing_leaves_startpos_5(benchmark::State& state) {
    const Board board = Board::startpos();
    std::uint64_t nodes = 0;
    for (auto _ : state) {
        nodes = velloran::testing::perft_playing_leaves(board, 5);
        benchmark::DoNotOptimize(nodes);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(nodes) * state.iterations());
}
BENCHMARK(bench_perft_playing_leaves_startpos_5)->Unit(benchmark::kMillisecond);

void bench_legal_moves_kiwipete(benchmark::State& state) {
    const Board board = kiwipete();
    for (auto _ : state) {
        std::vector<velloran::Move> moves = board.legal_moves();
        benchmark::DoNotOptimize(moves.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(bench_legal_moves_kiwipete);

int run_perft(int argc, char** argv) {
    const int depth = argc > 2 ? std::atoi(argv[2]) : 6;
    const std::string_view fen =
        argc > 3 ? argv[3] : "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    const bool chess960 = argc > 4 && std::string_view(argv[4]) == "chess960";
    const auto board = Board::from_fen(fen, chess960);
    if (!board || depth < 0) {
        std::fprintf(stderr, "usage: %s --perft DEPTH [FEN [chess960]]\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t nodes = velloran::testing::perft(board.value(), depth);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("nodes %llu time_ms %.1f\n", static_cast<unsigned long long>(nodes),
                std::chrono::duration<double, std::milli>(elapsed).count());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--perft") return run_perft(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
