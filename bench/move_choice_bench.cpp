// choose_move per call, in-process: the start position, a middle game with a fresh record, and
// the same middle game after 200 reversible plies, whose record then holds 201 boards that
// every candidate's copy carries and every checkmate test may look through.

#include <benchmark/benchmark.h>

#include <string_view>

#include "app/engine/move_choice.h"
#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"

namespace {

using velloran::Game;

constexpr std::string_view MiddleGame =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8";

Game middle_game() { return Game::from_fen(MiddleGame, false).value(); }

// Knights out and back on both sides (c3-b1, c6-b8): no capture, no pawn move, so the record
// keeps every position.
Game middle_game_with_history(int plies) {
    Game game = middle_game();
    constexpr std::string_view Cycle[] = {"c3b1", "c6b8", "b1c3", "b8c6"};
    for (int ply = 0; ply < plies; ++ply) {
        game.play(game.parse_move(Cycle[ply % 4]).value());
    }
    return game;
}

void run_choices(benchmark::State& state, const Game& game, bool random) {
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(42);
    for (auto _ : state) {
        auto choice = pawnlark::choose_move(game, generator, random);
        benchmark::DoNotOptimize(choice);
    }
    state.counters["halfmove"] = static_cast<double>(game.halfmove());
    state.counters["candidates"] = static_cast<double>(game.legal_moves().size());
}

void bench_choose_move_startpos(benchmark::State& state) {
    run_choices(state, Game::new_game(), false);
}
BENCHMARK(bench_choose_move_startpos)->Unit(benchmark::kMicrosecond);

void bench_choose_move_middle_game(benchmark::State& state) {
    run_choices(state, middle_game(), false);
}
BENCHMARK(bench_choose_move_middle_game)->Unit(benchmark::kMicrosecond);

void bench_choose_move_middle_game_history_200(benchmark::State& state) {
    run_choices(state, middle_game_with_history(200), false);
}
BENCHMARK(bench_choose_move_middle_game_history_200)->Unit(benchmark::kMicrosecond);

void bench_choose_move_random_history_200(benchmark::State& state) {
    run_choices(state, middle_game_with_history(200), true);
}
BENCHMARK(bench_choose_move_random_history_200)->Unit(benchmark::kMicrosecond);

}  // namespace
