#include "app/engine/move_choice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "games.h"

namespace pawnlark {
namespace {

using velloran::test::read_game;

using velloran::Game;
using velloran::RandomGenerator;

std::vector<std::string> sorted_texts(const Game& game) {
    std::vector<std::string> texts;
    for (const auto move : sorted_legal_moves(game)) texts.push_back(game.move_text(move));
    return texts;
}

TEST(SortedLegalMoves, StartPositionInTextOrder) {
    const auto texts = sorted_texts(Game::new_game());
    ASSERT_EQ(texts.size(), 20u);
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 5),
              (std::vector<std::string>{"a2a3", "a2a4", "b1a3", "b1c3", "b2b3"}));
    EXPECT_EQ(std::vector<std::string>(texts.end() - 3, texts.end()),
              (std::vector<std::string>{"g2g4", "h2h3", "h2h4"}));
}

TEST(SortedLegalMoves, PromotionsSortByLetter) {
    const auto texts = sorted_texts(read_game("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1"));
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 4),
              (std::vector<std::string>{"b7b8b", "b7b8n", "b7b8q", "b7b8r"}));
}

TEST(SortedLegalMoves, Chess960FlagChangesCastlingText) {
    const std::string_view fen = "4k3/8/8/8/8/8/8/4K2R w K - 0 1";
    const auto standard = sorted_texts(read_game(fen));
    const auto chess960 = sorted_texts(read_game(fen, true));
    EXPECT_NE(std::find(standard.begin(), standard.end(), "e1g1"), standard.end());
    EXPECT_NE(std::find(chess960.begin(), chess960.end(), "e1h1"), chess960.end());
    EXPECT_EQ(std::find(chess960.begin(), chess960.end(), "e1g1"), chess960.end());
}

TEST(ChooseMove, SeedFortyTwoFromTheStart) {
    auto generator = RandomGenerator::with_seed(42);
    const auto choice = choose_move(Game::new_game(), generator, false);
    ASSERT_TRUE(choice);
    EXPECT_EQ(Game::new_game().move_text(choice->move), "c2c3");
    EXPECT_EQ(choice->score, 25);

    auto random_generator = RandomGenerator::with_seed(42);
    const auto random_choice = choose_move(Game::new_game(), random_generator, true);
    ASSERT_TRUE(random_choice);
    EXPECT_EQ(Game::new_game().move_text(random_choice->move), "b1a3");
    EXPECT_EQ(random_choice->score, 0);
}

TEST(ChooseMove, DrawsOncePerCandidateInListOrder) {
    auto generator = RandomGenerator::with_seed(42);
    auto reference = RandomGenerator::with_seed(42);
    ASSERT_TRUE(choose_move(Game::new_game(), generator, false));
    for (int i = 0; i < 20; ++i) reference.sample_range_inclusive_i32(-25, 25);
    EXPECT_EQ(generator.next_word32(), reference.next_word32());
}

TEST(ChooseMove, NoMoveDrawsNothing) {
    for (const bool random : {false, true}) {
        for (const std::string_view fen :
             {"R3k3/8/4K3/8/8/8/8/8 b - - 0 1", "4k3/4P3/4K3/8/8/8/8/8 b - - 0 1"}) {
            auto generator = RandomGenerator::with_seed(7);
            auto reference = RandomGenerator::with_seed(7);
            EXPECT_FALSE(choose_move(read_game(fen), generator, random));
            EXPECT_EQ(generator.next_word32(), reference.next_word32());
        }
    }
}

TEST(ChooseMove, SingleLegalMoveStillDrawsOnce) {
    // The rook holds the b-file: the king's only move is a8a7.
    const Game game = read_game("k7/8/8/8/8/8/8/1R5K b - - 0 1");
    ASSERT_EQ(game.legal_moves().size(), 1u);
    for (const bool random : {false, true}) {
        auto generator = RandomGenerator::with_seed(3);
        auto reference = RandomGenerator::with_seed(3);
        const auto choice = choose_move(game, generator, random);
        ASSERT_TRUE(choice);
        reference.next_word32();
        EXPECT_EQ(generator.next_word32(), reference.next_word32());
        if (random) {
            EXPECT_EQ(choice->score, 0);
        }
    }
}

TEST(ChooseMove, CapturesAnUndefendedOrDefendedQueen) {
    // The queen on d5 is defended by the e6 pawn; replies are never looked at.
    const Game game = read_game("4k3/8/4p3/3q4/8/8/3R4/4K3 w - - 0 1");
    for (std::uint64_t seed = 0; seed < 20; ++seed) {
        auto generator = RandomGenerator::with_seed(seed);
        const auto choice = choose_move(game, generator, false);
        ASSERT_TRUE(choice);
        EXPECT_EQ(game.move_text(choice->move), "d2d5");
        EXPECT_GE(choice->score, 500 - 100 - NoiseAmplitude);
    }
}

TEST(ChooseMove, AlwaysFindsMateInOne) {
    // A back-rank mate; every other move keeps the material level.
    const Game game = read_game("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    for (std::uint64_t seed = 0; seed < 20; ++seed) {
        auto generator = RandomGenerator::with_seed(seed);
        const auto choice = choose_move(game, generator, false);
        ASSERT_TRUE(choice);
        EXPECT_EQ(game.move_text(choice->move), "a1a8");
        EXPECT_GE(choice->score, MateScore - NoiseAmplitude);
        EXPECT_LE(choice->score, MateScore + NoiseAmplitude);
    }
}

TEST(ChooseMove, DisplacedKingCastlingNeverStopsTheChoice) {
    // Standard mode, king on f1 with both rights: f1c1 does not read back.
    const Game game = read_game("4k3/8/8/8/8/8/8/R4K1R w KQ - 0 1");
    for (std::uint64_t seed = 0; seed < 50; ++seed) {
        auto generator = RandomGenerator::with_seed(seed);
        const auto choice = choose_move(game, generator, false);
        ASSERT_TRUE(choice);
        const auto moves = game.legal_moves();
        EXPECT_NE(std::find(moves.begin(), moves.end(), choice->move), moves.end());
    }
}

TEST(MaterialBalance, CountsFromTheGivenSide) {
    const Game game = read_game("rnbqkbnr/pppppppp/8/8/8/8/8/4K3 w kq - 0 1");
    EXPECT_EQ(material_balance(game.board(), velloran::Color::White),
              -(8 * 100 + 2 * 300 + 2 * 320 + 2 * 500 + 900));
    EXPECT_EQ(material_balance(Game::new_game().board(), velloran::Color::Black), 0);
}

}  // namespace
}  // namespace pawnlark
