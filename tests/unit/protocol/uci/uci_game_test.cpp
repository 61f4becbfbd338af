#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/engine/openings.h"
#include "app/faults/misbehaviour.h"
#include "app/protocol/uci/uci_loop.h"
#include "sessions.h"

namespace pawnlark {
namespace {

using Lines = std::vector<std::string>;

using UciGameTest = test::UciSessionTest;

TEST_F(UciGameTest, PositionCountsOnlyThePlayedMoves) {
    EXPECT_EQ(send("position startpos moves e2e4 e2e4 e7e5 xx g1f3"), LoopControl::Continue);
    EXPECT_EQ(session.state.ply, 3u);
    EXPECT_EQ(session.state.game.to_fen(),
              "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2");
    static_cast<void>(send("position"));
    EXPECT_EQ(session.state.ply, 0u);
    EXPECT_EQ(session.state.game.to_fen(),
              "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2");
}

TEST_F(UciGameTest, PositionFenJoinsTokensUpToMoves) {
    static_cast<void>(send("position fen 4k3/8/8/8/8/8/8/R3K3   w  - - 3 40 moves a1a8"));
    EXPECT_EQ(session.state.game.to_fen(), "R3k3/8/8/8/8/8/8/4K3 b - - 4 40");
    // Four fields and no moves word: the clocks default.
    static_cast<void>(send("position fen 4k3/8/8/8/8/8/8/R3K3 b - -"));
    EXPECT_EQ(session.state.game.to_fen(), "4k3/8/8/8/8/8/8/R3K3 b - - 0 1");
}

TEST_F(UciGameTest, PositionWithMovesOnlyPlaysOnTheCurrentGame) {
    static_cast<void>(send("position startpos moves e2e4"));
    static_cast<void>(send("position moves e7e5"));
    EXPECT_EQ(session.state.ply, 1u);
    EXPECT_EQ(session.state.game.board().side_to_move(), velloran::Color::White);
}

TEST_F(UciGameTest, GoPausesForTheDelayAndLeavesTheGameAlone) {
    settings.delay_ms = 250;
    static_cast<void>(send("position startpos"));
    EXPECT_EQ(send("go movetime 10"), LoopControl::Continue);
    EXPECT_EQ(system.sleeps, (std::vector<std::uint64_t>{250}));
    EXPECT_EQ(out.lines,
              (Lines{"info depth 1 score cp 25 nodes 20 time 250 pv c2c3", "bestmove c2c3"}));
    EXPECT_EQ(session.state.game.to_fen(), velloran::Game::new_game().to_fen());
}

TEST_F(UciGameTest, StallComesBeforeThePauseAndCrashBeforeBoth) {
    settings.stall_at_ply = 1;
    static_cast<void>(send("position startpos"));
    EXPECT_EQ(send("go"), LoopControl::Stall);
    EXPECT_TRUE(system.sleeps.empty());
    settings.crash_at_ply = 1;
    EXPECT_EQ(send("go"), LoopControl::Crash);
    EXPECT_TRUE(out.lines.empty());
}

TEST_F(UciGameTest, IllegalAnswerComesAfterThePauseAndDrawsNothing) {
    settings.illegal_at_ply = 1;
    static_cast<void>(send("position startpos"));
    static_cast<void>(send("go"));
    EXPECT_EQ(out.lines, (Lines{"bestmove a1a1"}));
    EXPECT_EQ(system.sleeps.size(), 1u);
    // The generator has not moved: the first real choice is still seed 42's first.
    settings.illegal_at_ply.reset();
    static_cast<void>(send("go"));
    EXPECT_EQ(out.lines.back(), "bestmove c2c3");
}

TEST_F(UciGameTest, PendingSearchSkipsCountingPausingAndFaults) {
    settings.crash_at_ply = 0;
    EXPECT_EQ(send("go infinite"), LoopControl::Continue);
    EXPECT_EQ(send("go ponder wtime 5"), LoopControl::Continue);
    EXPECT_EQ(session.state.ply, 0u);
    EXPECT_EQ(send("ponderhit"), LoopControl::Continue);
    EXPECT_EQ(out.lines,
              (Lines{"info depth 1 score cp 25 nodes 1 time 1 pv c2c3", "bestmove c2c3"}));
    EXPECT_TRUE(system.sleeps.empty());
    EXPECT_FALSE(session.state.search_pending);
}

TEST_F(UciGameTest, PendingSearchWithoutMovesAnswersNullMove) {
    static_cast<void>(send("position fen 4k3/4P3/4K3/8/8/8/8/8 b - - 0 1"));
    static_cast<void>(send("go infinite"));
    static_cast<void>(send("stop"));
    EXPECT_EQ(out.lines, (Lines{"bestmove 0000"}));
}

TEST_F(UciGameTest, UcinewgameKeepsModeAndPendingSearch) {
    static_cast<void>(send("setoption name UCI_Chess960 value true"));
    static_cast<void>(send("go infinite"));
    static_cast<void>(send("position startpos moves e2e4"));
    static_cast<void>(send("ucinewgame"));
    EXPECT_EQ(session.state.ply, 0u);
    EXPECT_TRUE(session.state.chess960);
    EXPECT_TRUE(session.state.search_pending);
    EXPECT_FALSE(session.state.game.chess960());
}

TEST_F(UciGameTest, GenfensCountFallsBackToSixteen) {
    for (const auto& [line, count] :
         std::vector<std::pair<std::string, std::size_t>>{{"genfens", 16},
                                                          {"genfens 0", 0},
                                                          {"genfens 1", 1},
                                                          {"genfens abc", 16},
                                                          {"genfens -5", 16},
                                                          {"genfens +", 16},
                                                          {"genfens 4294967296", 16},
                                                          {"genfens 007", 7},
                                                          {"genfens +3", 3},
                                                          {"genfens seed 12", 16}}) {
        out.lines.clear();
        static_cast<void>(send(line));
        EXPECT_EQ(out.lines.size(), count) << line;
    }
}

TEST_F(UciGameTest, GenfensSeedWordRules) {
    const auto lines_of = [&](std::string_view line) {
        out.lines.clear();
        static_cast<void>(send(line));
        return out.lines;
    };
    EXPECT_EQ(lines_of("genfens 5 seed 7"), lines_of("genfens 5 seed +7"));
    EXPECT_EQ(lines_of("genfens 5"), lines_of("genfens 5"));
    EXPECT_EQ(lines_of("genfens 5 seed x"), lines_of("genfens 5"));
    EXPECT_EQ(lines_of("genfens 5 seed"), lines_of("genfens 5"));
    EXPECT_EQ(lines_of("genfens 5 seed x seed 7"), lines_of("genfens 5"));
    EXPECT_NE(lines_of("genfens 5 seed 7"), lines_of("genfens 5"));
    settings.seed = 7;
    EXPECT_EQ(lines_of("genfens 5"), lines_of("genfens 5 seed 7"));
}

TEST(PlyCounter, SaturatesSoAFiredOptionStaysOn) {
    constexpr auto Max = std::numeric_limits<std::uint32_t>::max();
    EXPECT_EQ(count_ply(Max), Max);
    EXPECT_TRUE(fires(Max, count_ply(Max)));
    EXPECT_TRUE(fires(0, 0));
    EXPECT_FALSE(fires(std::nullopt, Max));
}

}  // namespace
}  // namespace pawnlark

namespace pawnlark {
namespace {

// A session that reads one line afresh: what a carried-on game must equal.
struct FreshRead {
    explicit FreshRead(bool chess960, std::string_view line) {
        session.state.chess960 = chess960;
        static_cast<void>(handle_uci_line(session, Command::from_line(line)));
    }
    Settings settings;
    test::RecordingOutput out;
    test::RecordingSystem system;
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(1);
    InstantSearcher searcher;
    UciSession session{settings, out, system, generator, searcher};
};

TEST_F(UciGameTest, CarriedOnPositionsEqualFreshlyReadOnes) {
    velloran::RandomGenerator random = velloran::RandomGenerator::with_seed(5);
    OpeningGenerator openings(9);
    const auto chance = [&](std::uint64_t one_in) { return random.sample_range(0, one_in) == 0; };
    for (int round = 0; round < 60; ++round) {
        if (chance(4)) static_cast<void>(send("ucinewgame"));
        if (chance(4)) {
            session.state.chess960 = !session.state.chess960;
        }
        std::string line = chance(2) ? "position startpos" : "position fen " + openings.next_fen();
        FreshRead base(session.state.chess960, line);
        velloran::Game reference = base.session.state.game;
        for (int step = 0; step < 80; ++step) {
            line += step == 0 ? " moves " : " ";
            const auto moves = sorted_legal_moves(reference);
            if (moves.empty() || chance(12)) {
                line += chance(2) ? "zz" : "e2e5";  // unreadable or illegal: skipped by both
            } else {
                const velloran::Move move = moves[random.sample_range(0, moves.size())];
                line += reference.move_text(move);
                reference.play(move);
            }
            static_cast<void>(send(line));
            const FreshRead fresh(session.state.chess960, line);
            ASSERT_EQ(session.state.game.to_fen(), fresh.session.state.game.to_fen()) << line;
            ASSERT_EQ(session.state.game.status(), fresh.session.state.game.status()) << line;
            ASSERT_EQ(session.state.ply, fresh.session.state.ply) << line;
            if (chance(10)) static_cast<void>(send("go"));  // counts a ply past the line's
        }
        // A different start after a carried-on game is read afresh.
        static_cast<void>(send("position fen 4k3/8/8/8/8/8/8/R3K3 w - - 0 1 moves a1a2"));
        EXPECT_EQ(session.state.game.to_fen(), "4k3/8/8/8/8/8/R7/4K3 b - - 1 1");
    }
}

TEST_F(UciGameTest, OnlyWholeWordsAndMovesExtendThePreviousLine) {
    for (const auto& [first, second] : std::vector<std::pair<std::string, std::string>>{
             {"position startpos moves e2e4", "position startpos moves e2e4q"},
             {"position fen 4k3/8/8/8/8/8/8/R3K3 w - -",
              "position fen 4k3/8/8/8/8/8/8/R3K3 w - - 5 9 moves a1a2"},
             {"position startpos", "position startpos x moves e2e4"},
         }) {
        static_cast<void>(send(first));
        static_cast<void>(send(second));
        const FreshRead fresh(false, second);
        EXPECT_EQ(session.state.game.to_fen(), fresh.session.state.game.to_fen()) << second;
        EXPECT_EQ(session.state.ply, fresh.session.state.ply) << second;
    }
}

}  // namespace
}  // namespace pawnlark
