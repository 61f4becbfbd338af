#include "app/engine/openings.h"

#include <gtest/gtest.h>

#include "velloran/chess/game.h"

namespace pawnlark {
namespace {

TEST(OpeningGenerator, SeedFortyTwoGivesTheKnownPositions) {
    OpeningGenerator openings(42);
    EXPECT_EQ(openings.next_fen(),
              "rnbqk1nr/pppp2pp/8/4pp2/6P1/bP6/P1PPPP1P/R1BQKBNR w KQkq - 0 4");
    EXPECT_EQ(openings.next_fen(),
              "rn1qkbnr/1pp1pppp/4b3/p2p3P/5P2/8/PPPPP1P1/RNBQKBNR w KQkq - 1 4");
    EXPECT_EQ(openings.next_fen(),
              "rnbqkb1r/p1pppp1p/1p3n2/6p1/8/1PP2P2/P2PP1PP/RNBQKBNR w KQkq - 0 4");
    EXPECT_EQ(openings.next_fen(),
              "rnbqkbnr/1ppp1pp1/8/p2Pp2p/8/7N/PPP1PPPP/RNBQKB1R w KQkq e6 0 4");
}

TEST(OpeningGenerator, SeedOne) {
    EXPECT_EQ(OpeningGenerator(1).next_fen(),
              "rnbqkbnr/pp1pp1p1/2p2p1p/8/8/1P3NP1/P1PPPP1P/RNBQKB1R w KQkq - 0 4");
}

TEST(OpeningGenerator, EveryPositionIsLegalAndSixPliesDeepUnlessMated) {
    OpeningGenerator openings(2024);
    for (int i = 0; i < 3000; ++i) {
        const std::string fen = openings.next_fen();
        const auto game = velloran::Game::from_fen(fen, false);
        ASSERT_TRUE(game.has_value()) << fen;
        if (game.value().status() == velloran::GameStatus::Checkmate) continue;
        EXPECT_EQ(game.value().board().side_to_move(), velloran::Color::White) << fen;
        EXPECT_EQ(game.value().fullmove(), 4u) << fen;
    }
}

}  // namespace
}  // namespace pawnlark
