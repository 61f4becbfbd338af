#include "app/engine/thinking.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/io/input_queue.h"
#include "app/os/clock.h"
#include "app/protocol/run_dialect.h"
#include "app/protocol/searcher.h"
#include "app/protocol/uci/uci_search.h"
#include "app/settings.h"
#include "recording.h"

namespace pawnlark {
namespace {

using Lines = std::vector<std::string>;

// A whole session over recording fakes, from a script read to its end.
Lines run_session(const Settings& settings, const std::string& script) {
    test::RecordingOutput out;
    test::RecordingSystem system;
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(settings.seed);
    std::istringstream in(script);
    InputQueue input(in);
    const SteadyClock clock;
    InstantSearcher instant;
    ThinkingSearcher thinking(input, clock);
    Searcher& searcher = settings.think ? static_cast<Searcher&>(thinking) : instant;
    run_dialect(settings.protocol, settings, out, system, generator, searcher, input);
    return out.lines;
}

Lines lines_starting(const Lines& lines, std::string_view prefix) {
    Lines kept;
    for (const std::string& line : lines) {
        if (line.starts_with(prefix)) kept.push_back(line);
    }
    return kept;
}

// The moves of a thinking engine are exactly those of the plain one, from the same draws,
// whatever the thinking prints and however the search ends.
TEST(Thinking, PlaysTheMovesOfThePlainEngine) {
    velloran::RandomGenerator random = velloran::RandomGenerator::with_seed(3);
    for (const bool random_mode : {false, true}) {
        for (const Protocol protocol : {Protocol::Uci, Protocol::Cecp}) {
            std::string plain = protocol == Protocol::Uci ? "" : "new\n";
            std::string thinking = plain + "setoption name MultiPV value 3\n";
            velloran::Game game = velloran::Game::new_game();
            std::string moves;
            for (int ply = 0; ply < 60; ++ply) {
                const auto legal = sorted_legal_moves(game);
                if (legal.empty()) break;
                const velloran::Move move = legal[random.sample_range(0, legal.size())];
                const std::string text = game.move_text(move);
                game.play(move);
                if (protocol == Protocol::Uci) {
                    moves += " " + text;
                    const std::string position = "position startpos moves" + moves + "\n";
                    plain += position + "go\n";
                    thinking += position + (ply % 2 == 0 ? "go depth 2\n" : "go nodes 1500\n");
                } else {
                    const std::string position = "setboard " + game.to_fen() + "\n";
                    plain += position + "go\n";
                    thinking += position + (ply % 2 == 0 ? "sd 2\n" : "st 0\n") + "go\n";
                }
            }
            Settings settings;
            settings.protocol = protocol;
            settings.random = random_mode;
            settings.delay_ms = 0;
            const std::string_view answer = protocol == Protocol::Uci ? "bestmove" : "move";
            const Lines expected = lines_starting(run_session(settings, plain), answer);
            settings.think = true;
            settings.think_interval_ms = 1;
            const Lines got = lines_starting(run_session(settings, thinking), answer);
            EXPECT_EQ(got, expected);
            EXPECT_FALSE(expected.empty());
        }
    }
}

TEST(ThinkBudget, SharesTheClockAndKeepsTheOverheadBack) {
    ThinkLimits limits;
    EXPECT_EQ(think_budget_ms(limits, 10), std::nullopt);
    limits.movetime_ms = 500;
    EXPECT_EQ(think_budget_ms(limits, 10), 490u);
    limits.movetime_ms = 5;
    EXPECT_EQ(think_budget_ms(limits, 10), 0u);
    limits.movetime_ms.reset();
    limits.remaining_ms = 60000;
    limits.increment_ms = 1000;
    EXPECT_EQ(think_budget_ms(limits, 10), 3000u + 750u);
    limits.moves_to_go = 2;
    EXPECT_EQ(think_budget_ms(limits, 10), 30750u);
    limits.remaining_ms = 100;
    limits.increment_ms = UINT64_MAX;  // saturates, then the remaining time caps it
    EXPECT_EQ(think_budget_ms(limits, 10), 90u);
}

// Unless an interval is fixed, depth 1 is done as the search starts and each later interval
// is 1.5 to 2 times the one before; times are counted from 1 and the PV grows a move a depth.
TEST(ThinkingSearch, DepthsComeAtGrowingIntervals) {
    const velloran::Game game = velloran::Game::new_game();
    const Settings settings;
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(1);
    ThinkingSearch search(game, rank_moves(game, generator, false, 0), settings, settings.seed,
                          EngineOptions{});
    EXPECT_EQ(search.next_depth_ms(), 0u);
    std::vector<std::uint64_t> due;
    for (std::uint32_t depth = 1; depth <= 16; ++depth) {
        due.push_back(*search.next_depth_ms());
        const ThinkReport best = search.complete_next_depth().back();
        EXPECT_EQ(best.time_ms, std::max<std::uint64_t>(due.back(), 1));
        EXPECT_GT(best.nodes, 0u);
        EXPECT_EQ(best.pv.size(), depth);
    }
    for (std::size_t k = 4; k < due.size(); ++k) {
        const double growth =
            static_cast<double>(due[k] - due[k - 1]) / static_cast<double>(due[k - 1] - due[k - 2]);
        EXPECT_GE(growth, 1.45) << "depth " << k + 1;
        EXPECT_LE(growth, 2.05) << "depth " << k + 1;
    }
}

// Every line's nodes are the simulated speed times its time, so they never go backwards; a
// bound line comes before the exact line of its depth; lines stop where the game would end.
TEST(ThinkingSearch, LinesAddUpAndStopAtTheGamesEnd) {
    const Settings settings;
    // Fifty moves without a capture or a pawn move after White's next move, whatever it is.
    const velloran::Game game =
        velloran::Game::from_fen("8/8/8/4k3/8/8/8/R3K3 w - - 99 80", false).value();
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(1);
    ThinkingSearch search(game, rank_moves(game, generator, false, 0), settings, settings.seed,
                          EngineOptions{});
    std::uint64_t last_nodes = 0;
    bool bound_seen = false;
    for (std::uint32_t depth = 1; depth <= 20; ++depth) {
        const std::vector<ThinkReport> reports = search.complete_next_depth();
        const ThinkReport& exact = reports.back();
        for (const ThinkReport& report : reports) {
            if (report.kind != ThinkReport::Kind::Line) continue;
            EXPECT_EQ(report.nodes, settings.think_nps * report.time_ms / 1000) << depth;
            EXPECT_GE(report.nodes, last_nodes) << depth;
            last_nodes = report.nodes;
            EXPECT_EQ(report.pv.size(), 1u) << "depth " << depth;
            if (report.bound == ThinkReport::Bound::Lower && exact.time_ms >= 2) {
                bound_seen = true;
                EXPECT_LT(report.time_ms, exact.time_ms) << depth;
            }
        }
    }
    EXPECT_TRUE(bound_seen);
}

TEST(ThinkLimits, ReadsTheMoversClockAndMateAsDepth) {
    const auto limits = [](std::string_view line, velloran::Color side) {
        const velloran::Game game =
            side == velloran::Color::White
                ? velloran::Game::new_game()
                : velloran::Game::from_fen(
                      "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", false)
                      .value();
        return read_uci_limits(Command::from_line(line), game);
    };
    const ThinkLimits black =
        limits("go wtime 1 btime 2 winc 3 binc 4 movestogo 0 mate 3", velloran::Color::Black);
    EXPECT_EQ(black.remaining_ms, 2u);
    EXPECT_EQ(black.increment_ms, 4u);
    EXPECT_EQ(black.moves_to_go, std::nullopt);
    EXPECT_EQ(black.depth, 5u);
    const ThinkLimits bad =
        limits("go movetime -5 depth x nodes 18446744073709551616", velloran::Color::White);
    EXPECT_EQ(bad.movetime_ms, std::nullopt);
    EXPECT_EQ(bad.depth, std::nullopt);
    EXPECT_EQ(bad.nodes, std::nullopt);
}

}  // namespace
}  // namespace pawnlark
