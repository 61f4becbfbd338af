#include "velloran/chess/notation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "games.h"
#include "perft.h"
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

TEST(StandardNotation, DisplacedKingCastlingReadsBack) {
    // Written as d1g1 (the king's square, then the g-file), once read as an illegal king move.
    const Game game = read_game("4k3/8/8/8/8/8/8/3K3R w K - 0 1");
    const Move short_castle{Square::D1, Square::H1, std::nullopt};
    EXPECT_EQ(game.move_text(short_castle), "d1g1");
    EXPECT_EQ(parsed(game, "d1g1"), short_castle);
    EXPECT_EQ(game.move_read_back(short_castle), short_castle);
    // Black, long castling from f8 with the rook on a8.
    const Game black = read_game("r4k2/8/8/8/8/8/8/4K3 b q - 0 1");
    const Move long_castle{Square::F8, Square::A8, std::nullopt};
    EXPECT_EQ(black.move_text(long_castle), "f8c8");
    EXPECT_EQ(parsed(black, "f8c8"), long_castle);
}

TEST(StandardNotation, CastlingTextThatIsAlsoAKingStepMeansTheStep) {
    const Game game = read_game("4k3/8/8/8/8/8/8/R4K1R w KQ - 0 1");
    const Move short_castle{Square::F1, Square::H1, std::nullopt};
    const Move long_castle{Square::F1, Square::A1, std::nullopt};
    const Move step{Square::F1, Square::G1, std::nullopt};
    EXPECT_EQ(game.move_text(short_castle), "f1g1");
    EXPECT_EQ(game.move_text(long_castle), "f1c1");
    EXPECT_EQ(parsed(game, "f1g1"), step);
    EXPECT_EQ(parsed(game, "f1c1"), long_castle);
    EXPECT_EQ(game.move_read_back(short_castle), step);
    EXPECT_EQ(game.move_read_back(long_castle), long_castle);
    EXPECT_EQ(game.move_read_back(step), step);
    // A king on d1 castling long writes d1c1, which is the step.
    const Game d_file = read_game("4k3/8/8/8/8/8/8/R2K4 w Q - 0 1");
    EXPECT_EQ(d_file.move_text(Move{Square::D1, Square::A1, std::nullopt}), "d1c1");
    EXPECT_EQ(parsed(d_file, "d1c1"), (Move{Square::D1, Square::C1, std::nullopt}));
}

TEST(StandardNotation, CastlingTextNeedsTheRightAndALegalCastling) {
    // Without the long right e1c1 names no castling; with it but c1 attacked, d1c1 is neither
    // a legal step nor a legal castling.
    const Game no_right = read_game("4k3/8/8/8/8/8/8/R3K2R w K - 0 1");
    EXPECT_EQ(parse_error(no_right, "e1c1"), "illegal move 'e1c1'");
    const Game attacked = read_game("2r1k3/8/8/8/8/8/8/R2K3R w KQ - 0 1");
    EXPECT_EQ(parse_error(attacked, "d1c1"), "illegal move 'd1c1'");
    EXPECT_EQ(parsed(attacked, "d1g1"), (Move{Square::D1, Square::H1, std::nullopt}));
    // A promotion letter makes it no castling.
    EXPECT_EQ(parse_error(attacked, "d1g1q"), "illegal move 'd1g1q'");
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

// A Chess960 start position read in standard mode: only rooks on the a- and h-files can hold
// a right there, whatever the king's file.
std::string standard_rights(const std::string& chess960_fen) {
    const std::size_t at = chess960_fen.find(" w ") + 3;
    const std::size_t end = chess960_fen.find(' ', at);
    std::string rights;
    for (const char c : chess960_fen.substr(at, end - at)) {
        if (c == 'H' || c == 'A' || c == 'h' || c == 'a') {
            const bool white = c == 'H' || c == 'A';
            const bool short_side = c == 'H' || c == 'h';
            rights += white ? (short_side ? 'K' : 'Q') : (short_side ? 'k' : 'q');
        }
    }
    return chess960_fen.substr(0, at) + (rights.empty() ? "-" : rights) + chess960_fen.substr(end);
}

// What reading back the text of a legal move gives: the move, except a standard castling whose
// text is also a one-square king step, which is that step.
Move expected_read_back(const Game& game, Move move) {
    const Board& board = game.board();
    const Color us = board.side_to_move();
    const bool castling = board.pieces(us, Piece::King).contains(move.from)
                          && board.pieces(us, Piece::Rook).contains(move.to);
    if (game.chess960() || !castling) return move;
    const Square written = Move::from_text(game.move_text(move)).value().to;
    const int distance = std::abs(index(file_of(written)) - index(file_of(move.from)));
    return distance == 1 ? Move{move.from, written, std::nullopt} : move;
}

TEST(Notation, EveryMoveTextReadsBackAlongRandomGames) {
    // Chess960 start positions played in both modes (in standard mode with the rights of the
    // rooks on the a- and h-files, so kings off the e-file hold rights), and the standard start.
    std::uint64_t state = 7;
    const auto next = [&](std::uint64_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state >> 33) % bound;
    };
    int displaced = 0;  // standard castlings by a king off the e-file
    int steps = 0;      // of which written as a king step
    for (unsigned playout = 0; playout < 300; ++playout) {
        const unsigned number = playout % 3 == 2 ? 518 : static_cast<unsigned>(next(960));
        const bool chess960 = playout % 3 == 0;
        const std::string start = testing::chess960_start(number);
        Game game = read_game(chess960 ? start : standard_rights(start), chess960);
        for (int ply = 0; ply < 60; ++ply) {
            const std::vector<Move> moves = game.legal_moves();
            if (moves.empty()) break;
            for (const Move move : moves) {
                const Move expected = expected_read_back(game, move);
                const std::string text = game.move_text(move);
                ASSERT_EQ(parsed(game, text), expected) << text << " in " << game.to_fen();
                ASSERT_EQ(game.move_read_back(move), expected) << text << " in " << game.to_fen();
                if (expected != move) ++steps;
                const Board& board = game.board();
                const bool castling = board.pieces(board.side_to_move()).contains(move.to);
                if (castling && !game.chess960() && file_of(move.from) != File::E) ++displaced;
            }
            game.play(moves[next(moves.size())]);
        }
    }
    // Enough of both kinds to mean something.
    EXPECT_GT(displaced, 150);
    EXPECT_GT(steps, 50);
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
