#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

#include "board_printing.h"
#include "velloran/fatal.h"
#include "velloran/rules/board.h"

namespace velloran {
namespace {

constexpr std::string_view StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

Board read(std::string_view text, bool chess960 = false) {
    auto board = Board::from_fen(text, chess960);
    EXPECT_TRUE(board.has_value()) << text;
    return board ? board.value() : Board::startpos();
}

TEST(BoardStartpos, MatchesStartFenInBothWritingModes) {
    EXPECT_EQ(read(StartFen), Board::startpos());
    EXPECT_EQ(Board::startpos().write_fen(false), StartFen);
    EXPECT_EQ(Board::startpos().write_fen(true),
              "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1");
    const CastlingRights rights{File::H, File::A};
    EXPECT_EQ(Board::startpos().castling(Color::White), rights);
    EXPECT_EQ(Board::startpos().castling(Color::Black), rights);
}

struct Refusal {
    std::string_view fen;
    bool chess960;
    FenError error;
};

void PrintTo(const Refusal& r, std::ostream* out) { *out << '"' << r.fen << '"'; }

class BoardFromFenRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(BoardFromFenRefuses, WithTheFirstFailingFieldsKind) {
    const auto board = Board::from_fen(GetParam().fen, GetParam().chess960);
    ASSERT_FALSE(board.has_value()) << board.value().write_fen(true);
    EXPECT_EQ(board.error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Placement, BoardFromFenRefuses,
    ::testing::Values(
        Refusal{"8/8/8/8/8/8/8/K7 w - - 0 1", false, FenError::InvalidBoard},  // no black king
        Refusal{"4k3/8/8/8/8/8/8/K3K3 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"4k3/8/8/8/8/8/PPPPPPPP/P3K3 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"P3k3/8/8/8/8/8/8/4K3 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"4k3/8/8/8/8/NNNNNNNN/NNNNNNNN/4K3 w - - 0 1", false, FenError::InvalidBoard},
        // The side not to move is in check.
        Refusal{"k7/8/8/8/8/8/8/R3K3 w - - 0 1", false, FenError::InvalidBoard},
        // Kings side by side: each is in check by the other.
        Refusal{"8/8/8/8/8/8/8/Kk6 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"8/8/8/8/8/8/1k6/K7 b - - 0 1", false, FenError::InvalidBoard},
        // Three checkers.
        Refusal{"4r2k/8/8/8/1b6/3n4/8/4K3 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"4k3/8/8/8/8/8/8/4K2 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"4k3/8/8/8/8/8/8/9 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"4k3/8/8/8/8/8/8/71p w - - 0 1", false, FenError::InvalidBoard},
        // Digit runs never wrap back to a valid file count.
        Refusal{"4k3/8/8/8/8/8/8/4K99999999999999999999999999999999 w - - 0 1", false,
                FenError::InvalidBoard},
        Refusal{"4k3/8/8/8/8/8/4K3 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"4k3/8/8/8/8/8/8/8/4K3 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"4k3/8/8/8/8/8/8/4K3/ w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"4k3/8/8/8//8/8/4K3 w - - 0 1", false, FenError::InvalidBoard},
        Refusal{"4k3/8/8/8/8/8/8/4K2x w - - 0 1", false, FenError::InvalidBoard},
        // A malformed placement wins over a bad side to move, but a missing king is found
        // only after the side to move has been read.
        Refusal{"8/8/8/8/8/8/8/9 x - - 0 1", false, FenError::InvalidBoard},
        Refusal{"8/8/8/8/8/8/8/8 x - - 0 1", false, FenError::InvalidSideToMove}));

INSTANTIATE_TEST_SUITE_P(
    Fields, BoardFromFenRefuses,
    ::testing::Values(
        Refusal{"4k3/8/8/8/8/8/8/4K3 W - - 0 1", false, FenError::InvalidSideToMove},
        Refusal{"4k3/8/8/8/8/8/8/4K3 wb - - 0 1", false, FenError::InvalidSideToMove},
        Refusal{"4k3/8/8/8/8/8/8/4K3 - - - 0 1", false, FenError::InvalidSideToMove},
        Refusal{"", false, FenError::MissingField}, Refusal{" \t ", false, FenError::MissingField},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w", false, FenError::MissingField},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w -", false, FenError::MissingField},
        // Clocks come both or neither.
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - 0", false, FenError::MissingField},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - 0 1 x", false, FenError::ExtraField},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - 0 1 x y z w v u t", false, FenError::ExtraField},
        Refusal{"4k3/8/8/8/4P3/8/8/4K3 b - 0 1 2", false, FenError::InvalidEnPassant},
        Refusal{"4k3/8/8/8/4P3/8/8/4K3 b - e6 0 1", false, FenError::InvalidEnPassant},
        Refusal{"4k3/8/8/8/4P3/8/8/4K3 b - E3 0 1", false, FenError::InvalidEnPassant},
        Refusal{"4k3/8/8/8/8/8/8/4K3 b - e3 0 1", false, FenError::InvalidEnPassant},
        Refusal{"4k3/8/8/8/4P3/8/4P3/4K3 b - e3 0 1", false, FenError::InvalidEnPassant},
        // A check that the advance did not uncover rules the en passant file out.
        Refusal{"8/8/8/7k/4P3/6N1/8/4K3 b - e3 0 1", false, FenError::InvalidEnPassant},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - -1 1", false, FenError::InvalidHalfMoveClock},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - + 1", false, FenError::InvalidHalfMoveClock},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - ++1 1", false, FenError::InvalidHalfMoveClock},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - 4294967296 1", false, FenError::InvalidHalfMoveClock},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - 0 4294967296", false, FenError::InvalidFullmoveNumber},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - 0 -1", false, FenError::InvalidFullmoveNumber},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w - - 0 1x", false, FenError::InvalidFullmoveNumber}));

INSTANTIATE_TEST_SUITE_P(
    Castling, BoardFromFenRefuses,
    ::testing::Values(
        Refusal{"r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", false, FenError::InvalidCastlingRights},
        Refusal{"r3k2r/8/8/8/8/8/8/R3K2R w KQkqx - 0 1", true, FenError::InvalidCastlingRights},
        // In Chess960 mode K and Q both name the only rook.
        Refusal{"4k3/8/8/8/8/8/8/4K2R w KQ - 0 1", true, FenError::InvalidCastlingRights},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w K - 0 1", true, FenError::InvalidCastlingRights},
        Refusal{"r3k2r/8/8/8/8/8/8/R3K2R w KK - 0 1", false, FenError::InvalidCastlingRights},
        Refusal{"r3k2r/8/8/8/8/8/8/R3K2R w HH - 0 1", true, FenError::InvalidCastlingRights},
        Refusal{"r3k2r/8/8/8/8/8/8/R3K2R w K- - 0 1", false, FenError::InvalidCastlingRights},
        Refusal{"4k3/8/8/8/8/8/8/4K3 w K - 0 1", false, FenError::InvalidCastlingRights},
        Refusal{"4k3/8/8/8/8/8/4K3/R6R w KQ - 0 1", false, FenError::InvalidCastlingRights},
        // The rook named by a file letter must stand there.
        Refusal{"4k3/8/8/8/8/8/8/R3K3 w B - 0 1", true, FenError::InvalidCastlingRights},
        Refusal{"4k3/8/8/8/8/8/8/R3K2R w E - 0 1", true, FenError::InvalidCastlingRights}));

TEST(BoardFromFen, AddsUpDigitRunsOfEmptySquares) {
    EXPECT_EQ(read("4k3/8/8/8/8/8/44/4K3 w - - 0 1"), read("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
    EXPECT_EQ(read("4k3/8/8/8/8/8/3014/4K3 w - - 0 1"), read("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
    EXPECT_EQ(read("4k3/8/8/8/8/8/8/0004K003 w - - 0 1"), read("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
}

TEST(BoardFromFen, AcceptsTwoCheckers) {
    const Board board = read("4r2k/8/8/8/1b6/8/8/4K3 w - - 0 1");
    EXPECT_EQ(board.checkers(), BitBoard::from(Square::E8) | BitBoard::from(Square::B4));
}

TEST(BoardFromFen, ReadsCastlingLettersByMode) {
    const Board standard = read("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const Board chess960 = read("r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", true);
    EXPECT_EQ(standard, chess960);
    EXPECT_EQ(standard.castling(Color::Black), (CastlingRights{File::H, File::A}));

    const Board inner = read("1r2k1r1/8/8/8/8/8/8/1R2K1R1 w GBgb - 0 1", true);
    EXPECT_EQ(inner.castling(Color::White), (CastlingRights{File::G, File::B}));
    EXPECT_EQ(inner.write_fen(false), "1r2k1r1/8/8/8/8/8/8/1R2K1R1 w KQkq - 0 1");
    EXPECT_EQ(inner.write_fen(true), "1r2k1r1/8/8/8/8/8/8/1R2K1R1 w GBgb - 0 1");
}

TEST(BoardFromFen, ReadsKqInChess960ModeAsTheOutermostRooks) {
    const Board board = read("1r1k2r1/8/8/8/8/8/8/1R1K2R1 w KQkq - 0 1", true);
    EXPECT_EQ(board, read("1r1k2r1/8/8/8/8/8/8/1R1K2R1 w GBgb - 0 1", true));
    // Wherever the king stands: both rooks on one side make K the outer one.
    const Board one_side = read("4k3/8/8/8/8/8/8/KR4R1 w K - 0 1", true);
    EXPECT_EQ(one_side.castling(Color::White), (CastlingRights{File::G, std::nullopt}));
}

TEST(BoardFromFen, CutsFieldsAtAnyRunOfWhiteSpace) {
    const Board plain = read("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    EXPECT_EQ(read("\t r3k2r/8/8/8/8/8/8/R3K2R\t\tw  KQkq\xC2\xA0-\xE3\x80\x80"
                   "0 1 \n"),
              plain);
}

TEST(BoardFromFen, ReadsTheFieldsItIsGiven) {
    const std::array<std::string_view, 4> fields{"4k3/8/8/8/8/8/8/R3K3", "b", "Q", "-"};
    const auto board = Board::from_fen(fields, false);
    ASSERT_TRUE(board.has_value());
    EXPECT_EQ(board.value().write_fen(false), "4k3/8/8/8/8/8/8/R3K3 b Q - 0 1");
    // Splitting is the caller's business: a field holding a space is not two fields.
    const std::array<std::string_view, 4> joined{"4k3/8/8/8/8/8/8/R3K3 b", "Q", "-", "-"};
    EXPECT_EQ(Board::from_fen(joined, false).error(), FenError::InvalidBoard);
    const std::array<std::string_view, 4> empty_castling{"4k3/8/8/8/8/8/8/R3K3", "b", "", "-"};
    EXPECT_EQ(Board::from_fen(empty_castling, false).error(), FenError::InvalidCastlingRights);
}

TEST(BoardFromFen, AcceptsAnEnPassantFileNoPawnCanUse) {
    const Board board = read("4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1");
    EXPECT_EQ(board.en_passant(), File::E);
    EXPECT_EQ(board.en_passant_square(), Square::E3);
    EXPECT_NE(board.hash(), read("4k3/8/8/8/4P3/8/8/4K3 b - - 0 1").hash());
    EXPECT_EQ(board.hash_without_en_passant(), read("4k3/8/8/8/4P3/8/8/4K3 b - - 0 1").hash());
}

TEST(BoardFromFen, AcceptsChecksTheAdvanceGaveOrUncovered) {
    // The advanced pawn itself checks.
    EXPECT_TRUE(Board::from_fen("8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", false).has_value());
    // The bishop on d1 checks through e2, the square the pawn left.
    EXPECT_TRUE(Board::from_fen("8/8/8/7k/4P3/8/8/3BK3 b - e3 0 1", false).has_value());
}

TEST(BoardFromFen, ReadsClocks) {
    const Board board = read("4k3/8/8/8/8/8/8/4K3 w - - +7 +65535");
    EXPECT_EQ(board.halfmove_clock(), 7u);
    EXPECT_EQ(board.fullmove_number(), 65535u);
    EXPECT_EQ(board.write_fen(false), "4k3/8/8/8/8/8/8/4K3 w - - 7 65535");
    const Board large = read("4k3/8/8/8/8/8/8/4K3 w - - 4294967295 4294967295");
    EXPECT_EQ(large.halfmove_clock(), 4294967295u);
    EXPECT_EQ(large.fullmove_number(), 4294967295u);
    // Fullmove 0 reads as 1; without clocks the board gets 0 and 1.
    EXPECT_EQ(read("4k3/8/8/8/8/8/8/4K3 w - - 150 0").write_fen(false),
              "4k3/8/8/8/8/8/8/4K3 w - - 150 1");
    EXPECT_EQ(read("4k3/8/8/8/8/8/8/4K3 w - -").write_fen(false), "4k3/8/8/8/8/8/8/4K3 w - - 0 1");
}

TEST(BoardWriteFen, WritesOnlyTheRightsThatExist) {
    const Board board = read("4k3/8/8/8/8/8/8/R3K2R w Q - 0 1");
    EXPECT_EQ(board.write_fen(false), "4k3/8/8/8/8/8/8/R3K2R w Q - 0 1");
    EXPECT_EQ(board.write_fen(true), "4k3/8/8/8/8/8/8/R3K2R w A - 0 1");
}

TEST(BoardWriteFen, RoundTripsRunsSideAndEnPassant) {
    for (const std::string_view fen : {
             "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
             "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
             "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
             "4k3/8/8/8/8/8/8/4K3 b - - 99 300",
         }) {
        EXPECT_EQ(read(fen).write_fen(false), fen);
    }
}

TEST(BoardIsValid, HoldsForEveryBoardRead) {
    EXPECT_TRUE(Board::startpos().is_valid());
    EXPECT_TRUE(read("4r2k/8/8/8/1b6/8/8/4K3 w - - 0 1").is_valid());
    // One empty square between the kings is enough.
    EXPECT_TRUE(read("8/8/8/8/8/8/8/K1k5 w - - 0 1").is_valid());
}

TEST(BoardQueries, ReportPiecesColoursAndKings) {
    const Board board = Board::startpos();
    EXPECT_EQ(board.piece_at(Square::D1), Piece::Queen);
    EXPECT_EQ(board.color_at(Square::D8), Color::Black);
    EXPECT_EQ(board.piece_at(Square::E4), std::nullopt);
    EXPECT_EQ(board.color_at(Square::E4), std::nullopt);
    EXPECT_EQ(board.king_square(Color::Black), Square::E8);
}

TEST(BoardDeathTest, CapturingAKingIsFatal) {
    // Only an illegal move can take a king. Debug builds stop at the legality assertion; the
    // others when the new check sets look for the king that is gone.
    Board board = read("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
#ifdef NDEBUG
    EXPECT_DEATH(board.play(Move{Square::A1, Square::E8, std::nullopt}), NoKingMessage.data());
#else
    EXPECT_DEATH(board.play(Move{Square::A1, Square::E8, std::nullopt}), "is_legal");
#endif
}

}  // namespace
}  // namespace velloran
