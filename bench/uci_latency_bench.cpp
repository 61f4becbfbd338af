// Round trips through the real executable over pipes, as a front end sees them, with
// --delay-ms 0: "position startpos moves <k plies>" and "go" (sent in one write) until the
// "bestmove" line, for k = 0, 40, 120 and 300, beside "isready" until "readyok" to the same
// process in the same iterations, so both see the same machine noise. Counters: the median of
// each in microseconds and go_per_isready, the ratio of the medians: what a request that
// repeats a game of k plies costs beyond a bare round trip. The binary is PAWNLARK_BINARY from
// the environment, else the one this build made.
//
// The plies come from one fixed legal game, random moves drawn from a seeded generator among
// those after which the game is still going on, so every request has moves to choose from.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/engine/move_choice.h"
#include "child_facts.h"
#include "support/child_process.h"
#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"

namespace {

using pawnlark::bench::pawnlark_binary;
using pawnlark::bench::report_medians;
using pawnlark::support::ChildProcess;
using pawnlark::support::Clock;
using velloran::Game;
using velloran::GameStatus;
using velloran::Move;

constexpr std::chrono::milliseconds ReplyTimeout{10000};
constexpr std::size_t LongestGame = 300;

std::vector<std::string> long_game(std::size_t plies) {
    for (std::uint64_t seed = 1;; ++seed) {
        velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(seed);
        Game game = Game::new_game();
        std::vector<std::string> moves;
        while (moves.size() < plies) {
            std::vector<Move> candidates;
            for (const Move move : pawnlark::sorted_legal_moves(game)) {
                Game next = game;
                next.play(move);
                if (next.status() == GameStatus::Ongoing) {
                    candidates.push_back(move);
                }
            }
            if (candidates.empty()) {
                break;
            }
            const Move move = candidates[generator.sample_range(0, candidates.size())];
            moves.push_back(game.move_text(move));
            game.play(move);
        }
        if (moves.size() == plies) {
            return moves;
        }
    }
}

// Reads until a line that starts with `last`; false if none came.
bool read_until(ChildProcess& engine, std::string_view last) {
    while (const std::optional<std::string> line = engine.read_line(ReplyTimeout)) {
        if (line->starts_with(last)) {
            return *line != "bestmove 0000";
        }
    }
    return false;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void bench_uci_round_trip(benchmark::State& state) {
    static const std::vector<std::string> game = long_game(LongestGame);
    const auto plies = static_cast<std::size_t>(state.range(0));
    std::string request = "position startpos";
    for (std::size_t i = 0; i < plies; ++i) {
        request += (i == 0 ? " moves " : " ") + game[i];
    }
    request += "\ngo";

    ChildProcess engine(pawnlark_binary(), {"--delay-ms", "0"});
    // One of each before timing: the process has started and its pages are in.
    if (!engine.send("isready") || !read_until(engine, "readyok") || !engine.send(request)
        || !read_until(engine, "bestmove ")) {
        state.SkipWithError("no answer from the engine");
        return;
    }
    std::vector<double> ready_seconds;
    std::vector<double> go_seconds;
    for (auto _ : state) {
        const Clock::time_point ready_start = Clock::now();
        engine.send("isready");
        read_until(engine, "readyok");
        ready_seconds.push_back(seconds_since(ready_start));

        const Clock::time_point go_start = Clock::now();
        engine.send(request);
        read_until(engine, "bestmove ");
        const double seconds = seconds_since(go_start);
        go_seconds.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    report_medians(state, "go_median_us", go_seconds, "isready_median_us", ready_seconds,
                   "go_per_isready", 1e6);
}
BENCHMARK(bench_uci_round_trip)
    ->Arg(0)
    ->Arg(40)
    ->Arg(120)
    ->Arg(300)
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
