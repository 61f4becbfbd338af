#include "velloran/chess/notation.h"

#include <gtest/gtest.h>

#include "games.h"
#include "velloran/chess/game.h"

namespace velloran {
namespace {

using velloran::test::read_game;

std::string parse_error(const Game& game, std::string_view text) {
    const auto move = game.parse_move(text);
    return move.has_value() ? "accepted" : move.error().text;
}

Move parsed(const Game& game, std::string_view text) {
    const auto move = game.parse_move(text);
    EXPECT_TRUE(move.has_value()) << text;
    return move.has_value() ? move.value() : Move{};
}

constexpr std::string_view Castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";

TEST(MoveFromText, PlainForm) {
    EXPECT_EQ(Move::from_text("e2e4"), (Move{Square::E2, Square::E4, std::nullopt}));
    EXPECT_EQ(Move::from_text("e7e8q"), (Move{Square::E7, Square::E8, Piece::Queen}));
    EXPECT_EQ(Move::from_text("e7e8qq"), (Move{Square::E7, Square::E8, Piece::Queen}));
    EXPECT_EQ(Move::from_text("e2e4k"), (Move{Square::E2, Square::E4, std::nullopt}));
    EXPECT_EQ(Move::from_text("e2e4p"), (Move{Square::E2, Square::E4, std::nullopt}));
    // A multi-byte fifth character means no promotion.
    EXPECT_EQ(Move::from_text("e2e4\xC3\xA9"), (Move{Square::E2, Square::E4, std::nullopt}));
    for (const std::string_view bad : {"e7e8Q", "E2E4", "e2e", "e9e4", "0000", "", "e2e4x"}) {
        EXPECT_FALSE(Move::from_text(bad).has_value()) << bad;
    }
}

TEST(ParseMove, ErrorsQuoteTheTextAsReceived) {
    const Game game = Game::new_game();
    EXPECT_EQ(parse_error(game, "e2e5"), "illegal move 'e2e5'");
    EXPECT_EQ(parse_error(game, "E2E4"), "bad move 'E2E4'");
    EXPECT_EQ(parse_error(game, "e2e4kx"), "accepted");
    EXPECT_EQ(parse_error(game, "e2e4n"), "illegal move 'e2e4n'");
}

TEST(ParseMove, PromotionNeedsALetter) {
    const Game game = read_game("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(parsed(game, "b7b8q").promotion, Piece::Queen);
    EXPECT_EQ(parsed(game, "b7b8n").promotion, Piece::Knight);
    EXPECT_EQ(parse_error(game, "b7b8"), "illegal move 'b7b8'");
    EXPECT_EQ(parse_error(game, "b7b8p"), "illegal move 'b7b8p'");
    EXPECT_EQ(parse_error(game, "b7b8k"), "illegal move 'b7b8k'");
}

TEST(StandardNotation, CastlingBothWaysReadsAndWritesTheKingsTwoSquareMove) {
    const Game game = read_game(Castles);
    const Move short_castle{Square::E1, Square::H1, std::nullopt};
    const Move long_castle{Square::E1, Square::A1, std::nullopt};
    EXPECT_EQ(parsed(game, "e1g1"), short_castle);
    EXPECT_EQ(parsed(game, "e1h1"), short_castle);
    EXPECT_EQ(parsed(game, "e1c1"), long_castle);
    EXPECT_EQ(parsed(game, "e1a1"), long_castle);
    EXPECT_EQ(game.move_text(short_castle), "e1g1");
    EXPECT_EQ(game.move_text(long_castle), "e1c1");
    EXPECT_EQ(game.move_text(Move{Square::E1, Square::F1, std::nullopt}), "e1f1");
}

TEST(StandardNotation, WithoutTheRightE1g1IsAnOrdinaryMove) {
    const Game game = read_game("r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1");
    EXPECT_EQ(parse_error(game, "e1g1"), "illegal move 'e1g1'");
    const Game rook = read_game("3k4/8/8/8/8/8/8/R3R2K w - - 0 1");
    EXPECT_EQ(parsed(rook, "e1g1"), (Move{Square::E1, Square::G1, std::nullopt}));
}

TEST(StandardNotation, DisplacedKingWritesKingFilesButReadsOnlyFromE1) {
    const Game game = read_game("4k3/8/8/8/8/8/8/R4K1R w KQ - 0 1");
    const Move short_castle{Square::F1, Square::H1, std::nullopt};
    const Move long_castle{Square::F1, Square::A1, std::nullopt};
    EXPECT_EQ(game.move_text(short_castle), "f1g1");
    EXPECT_EQ(game.move_text(long_castle), "f1c1");
    EXPECT_EQ(parsed(game, "f1g1"), (Move{Square::F1, Square::G1, std::nullopt}));
    EXPECT_EQ(parse_error(game, "f1c1"), "illegal move 'f1c1'");
}

TEST(Chess960Notation, CastlingIsKingOntoRook) {
    const Game game = read_game(Castles, true);
    const Move short_castle{Square::E1, Square::H1, std::nullopt};
    EXPECT_EQ(parsed(game, "e1h1"), short_castle);
    EXPECT_EQ(game.move_text(short_castle), "e1h1");
    EXPECT_EQ(parse_error(game, "e1g1"), "illegal move 'e1g1'");
    const Game black = read_game("rk6/8/8/8/8/8/8/RK6 b Qq - 0 1", true);
    EXPECT_EQ(black.move_text(parsed(black, "b8a8")), "b8a8");
}

TEST(Notation, EveryLegalMoveRoundTripsInBothModes) {
    for (const bool chess960 : {false, true}) {
        for (const std::string_view fen :
             {Castles,
              std::string_view(
                  "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"),
              std::string_view("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1")}) {
            const Game game = read_game(fen, chess960);
            for (const Move move : game.legal_moves()) {
                EXPECT_EQ(parsed(game, game.move_text(move)), move) << game.move_text(move);
            }
        }
    }
}

}  // namespace
}  // namespace velloran
