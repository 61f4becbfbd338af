// Plies per second of whole self-play games: two pawnlark processes (--delay-ms 0) over pipes
// in UCI, each asked "position startpos moves ..." and "go" as a front end asks, until a
// referee Game sees a result or 600 plies are played. Timed from the first request to the last
// answer (start-up is startup_bench's); each iteration plays a game with new seeds.
// items_per_second is plies per second over all games; counters give the median game.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "child_facts.h"
#include "support/child_process.h"
#include "velloran/chess/game.h"

namespace {

using pawnlark::bench::pawnlark_binary;
using pawnlark::support::ChildProcess;
using pawnlark::support::Clock;
using velloran::Game;
using velloran::GameStatus;

constexpr int MaxPlies = 600;
constexpr std::chrono::milliseconds ReplyTimeout{10000};

std::vector<std::string> engine_arguments(std::uint64_t seed, bool random) {
    std::vector<std::string> words{"--seed", std::to_string(seed), "--delay-ms", "0"};
    if (random) {
        words.emplace_back("--random");
    }
    return words;
}

// Plays one game; the number of plies, or absent if an engine failed to answer legally.
std::optional<int> play_game(ChildProcess& white, ChildProcess& black) {
    Game referee = Game::new_game();
    std::string request = "position startpos";
    int plies = 0;
    while (plies < MaxPlies && referee.status() == GameStatus::Ongoing) {
        ChildProcess& engine = plies % 2 == 0 ? white : black;
        engine.send(request + "\ngo");
        std::optional<std::string> line;
        while ((line = engine.read_line(ReplyTimeout)) && !line->starts_with("bestmove ")) {
        }
        const std::string move = line ? line->substr(9) : "";
        const velloran::Result<velloran::Move> parsed = referee.parse_move(move);
        if (!parsed) {
            return std::nullopt;
        }
        referee.play(parsed.value());
        request += (plies == 0 ? " moves " : " ") + move;
        ++plies;
    }
    return plies;
}

void bench_self_play_uci(benchmark::State& state) {
    const bool random = state.range(0) != 0;
    std::uint64_t seed = 1;
    std::int64_t total_plies = 0;
    std::vector<double> rates;
    std::vector<int> lengths;
    for (auto _ : state) {
        ChildProcess white(pawnlark_binary(), engine_arguments(seed, random));
        ChildProcess black(pawnlark_binary(), engine_arguments(seed + 1, random));
        seed += 2;
        const Clock::time_point start = Clock::now();
        const std::optional<int> plies = play_game(white, black);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!plies) {
            state.SkipWithError("an engine gave no legal answer");
            break;
        }
        state.SetIterationTime(seconds);
        total_plies += *plies;
        rates.push_back(*plies / seconds);
        lengths.push_back(*plies);
    }
    std::sort(rates.begin(), rates.end());
    std::sort(lengths.begin(), lengths.end());
    state.SetItemsProcessed(total_plies);
    state.counters["median_plies_per_s"] = rates.empty() ? 0.0 : rates[rates.size() / 2];
    state.counters["median_game_plies"] = lengths.empty() ? 0 : lengths[lengths.size() / 2];
}
// 0: the default move choice on both sides; 1: --random on both sides (longer games).
BENCHMARK(bench_self_play_uci)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);

}  // namespace
