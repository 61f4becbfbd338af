#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "board_printing.h"
#include "perft.h"
#include "rules/attacks.h"
#include "velloran/fatal.h"
#include "velloran/rules/board.h"
#include "velloran/rules/move.h"

namespace velloran {
namespace {

Board read(std::string_view text, bool chess960 = false) {
    auto board = Board::from_fen(text, chess960);
    EXPECT_TRUE(board.has_value()) << text;
    return board ? board.value() : Board::startpos();
}

std::vector<std::string> texts(const std::vector<Move>& moves) {
    std::vector<std::string> out;
    out.reserve(moves.size());
    for (const Move& m : moves) out.push_back(m.text());
    return out;
}

bool listed(const Board& board, std::string_view text) {
    const std::vector<std::string> all = texts(board.legal_moves());
    return std::find(all.begin(), all.end(), text) != all.end();
}

Move move(std::string_view text) { return Move::from_text(text).value(); }

Board after(Board board, std::initializer_list<std::string_view> moves) {
    for (const std::string_view text : moves) {
        EXPECT_TRUE(board.is_legal(move(text))) << text << " in " << board.write_fen(true);
        board.play(move(text));
    }
    return board;
}

TEST(AttackTables, SliderLookupsMatchTheRayWalk) {
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int s = 0; s < 64; ++s) {
        const Square square = square_from_index(s);
        for (int i = 0; i < 300; ++i) {
            // Sparse and dense occupancies both matter: sparse ones reach the board's edge.
            const BitBoard occupied{i % 2 == 0 ? next() & next() & next() : next() | next()};
            ASSERT_EQ(rook_attacks(square, occupied), ray_walk_rook_attacks(square, occupied))
                << to_string(square) << ' ' << occupied.bits;
            ASSERT_EQ(bishop_attacks(square, occupied), ray_walk_bishop_attacks(square, occupied))
                << to_string(square) << ' ' << occupied.bits;
        }
    }
}

TEST(BitBoard, CountsLikeTheLibrary) {
    // The portable count (forced by VELLORAN_PORTABLE_BITS) and the instruction agree.
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    for (int i = 0; i < 10000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const std::uint64_t x = i % 3 == 0 ? state & (state >> 3) : state;
        ASSERT_EQ(BitBoard{x}.count(), std::popcount(x)) << x;
    }
    EXPECT_EQ(BitBoard{~std::uint64_t{0}}.count(), 64);
    EXPECT_EQ(BitBoard{}.count(), 0);
}

TEST(AttackTables, BetweenAndLineFollowTheGeometry) {
    EXPECT_EQ(between(Square::A1, Square::D4),
              BitBoard::from(Square::B2) | BitBoard::from(Square::C3));
    EXPECT_EQ(between(Square::D4, Square::A1), between(Square::A1, Square::D4));
    EXPECT_EQ(between(Square::E1, Square::E2), BitBoard{});
    EXPECT_EQ(between(Square::A1, Square::B3), BitBoard{});
    EXPECT_EQ(line(Square::B1, Square::C2).bits, 0x0080402010080402ULL);
    EXPECT_EQ(line(Square::C4, Square::F4), BitBoard::of_rank(Rank::Four));
    EXPECT_EQ(line(Square::A1, Square::B3), BitBoard{});
    EXPECT_EQ(knight_attacks(Square::A1), BitBoard::from(Square::B3) | BitBoard::from(Square::C2));
    EXPECT_EQ(pawn_attacks(Color::Black, Square::A5), BitBoard::from(Square::B4));
}

TEST(MoveFromText, ReadsThePlainForm) {
    EXPECT_EQ(Move::from_text("e2e4"), (Move{Square::E2, Square::E4, std::nullopt}));
    EXPECT_EQ(Move::from_text("e7e8q"), (Move{Square::E7, Square::E8, Piece::Queen}));
    EXPECT_EQ(Move::from_text("e7e8n"), (Move{Square::E7, Square::E8, Piece::Knight}));
    // Only the fifth character counts; p, k and a multi-byte character mean no promotion.
    EXPECT_EQ(Move::from_text("e7e8qq"), Move::from_text("e7e8q"));
    EXPECT_EQ(Move::from_text("e7e8p"), Move::from_text("e7e8"));
    EXPECT_EQ(Move::from_text("e2e4k"), Move::from_text("e2e4"));
    EXPECT_EQ(Move::from_text("e2e4\xC3\xA9"), Move::from_text("e2e4"));
    EXPECT_EQ(Move::from_text("e2e4 "), std::nullopt);
    for (const std::string_view bad : {"e7e8Q", "E2E4", "e2e", "e9e4", "0000", "", "e2e4x"}) {
        EXPECT_EQ(Move::from_text(bad), std::nullopt) << bad;
    }
}

TEST(MoveText, WritesSquaresAndPromotionLetter) {
    EXPECT_EQ(move("e7e8q").text(), "e7e8q");
    EXPECT_EQ((Move{Square::E1, Square::H1, std::nullopt}).text(), "e1h1");
    EXPECT_EQ(parse_square("h8"), Square::H8);
    EXPECT_EQ(parse_square("h9"), std::nullopt);
    EXPECT_EQ(parse_piece("K"), std::nullopt);
}

TEST(LegalMoves, StartPositionListsPawnsBySquareThenKnights) {
    const std::vector<std::string> expected{"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3",
                                            "d2d4", "e2e3", "e2e4", "f2f3", "f2f4", "g2g3", "g2g4",
                                            "h2h3", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};
    EXPECT_EQ(texts(Board::startpos().legal_moves()), expected);
}

TEST(LegalMoves, PromotionsComeByDestinationThenKnightBishopRookQueen) {
    const std::vector<std::string> moves =
        texts(read("3r1r2/4P3/8/8/8/8/8/k3K3 w - - 0 1").legal_moves());
    const std::vector<std::string> expected{"e7d8n", "e7d8b", "e7d8r", "e7d8q", "e7e8n", "e7e8b",
                                            "e7e8r", "e7e8q", "e7f8n", "e7f8b", "e7f8r", "e7f8q"};
    ASSERT_GE(moves.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(moves.begin(), moves.begin() + 12), expected);
}

TEST(LegalMoves, PinnedPawnsFollowUnpinnedOnesAndEnPassantFollowsAll) {
    // e2 is pinned by the rook on e8; the en passant capture b5a6 comes after every push,
    // including that of the pawn on g6.
    const Board board = read("4r2k/8/6P1/pP6/8/8/4P2P/4K3 w - a6 0 1");
    const std::vector<std::string> expected{"h2h3", "h2h4", "b5b6", "g6g7", "e2e3", "e2e4",
                                            "b5a6", "e1d1", "e1f1", "e1d2", "e1f2"};
    EXPECT_EQ(texts(board.legal_moves()), expected);
}

TEST(LegalMoves, PieceOrderIsKnightsBishopsRooksQueensThenKing) {
    const Board board = read("7k/8/8/8/8/8/8/1QRB1NK1 w - - 0 1");
    std::vector<Piece> order;
    for (const PieceMoves& group : board.legal_piece_moves()) order.push_back(group.piece);
    EXPECT_EQ(order, (std::vector<Piece>{Piece::Knight, Piece::Bishop, Piece::Rook, Piece::Queen,
                                         Piece::King}));
}

TEST(LegalMoves, EnPassantThatUncoversARankAttackIsNotListed) {
    const Board board = read("8/8/8/KPp4r/8/8/8/4k3 w - c6 0 1");
    EXPECT_FALSE(listed(board, "b5c6"));
    EXPECT_FALSE(board.is_legal(move("b5c6")));
    EXPECT_TRUE(listed(board, "b5b6"));
}

TEST(LegalMoves, EnPassantMayCaptureTheCheckingPawn) {
    const Board board = read("8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1");
    EXPECT_TRUE(listed(board, "e4d3"));
    EXPECT_TRUE(board.is_legal(move("e4d3")));
    EXPECT_FALSE(listed(board, "e4e3"));  // a push does not answer the check
}

TEST(LegalMoves, DoubleCheckLeavesOnlyKingMoves) {
    const Board board = read("4r2k/8/8/8/1b6/8/3N4/4K3 w - - 0 1");
    for (const Move& m : board.legal_moves()) EXPECT_EQ(m.from, Square::E1) << m.text();
    EXPECT_FALSE(board.legal_moves().empty());
    // Back-rank mate: in check and nothing to play.
    const Board mate = read("k7/8/8/8/8/8/5PPP/r5K1 w - - 0 1");
    EXPECT_TRUE(mate.legal_moves().empty());
    EXPECT_TRUE(mate.checkers().any());
}

TEST(LegalMoves, KingCannotRetreatAlongTheCheckingLine) {
    const Board board = read("4k3/8/8/8/4r3/8/4K3/8 w - - 0 1");
    EXPECT_FALSE(listed(board, "e2e1"));
    EXPECT_FALSE(board.is_legal(move("e2e1")));
    EXPECT_TRUE(listed(board, "e2d1"));
}

TEST(Castling, Chess960KingOnB1CastlesLongOntoTheRookOnA1) {
    const Board board = read("4k3/8/8/8/8/8/8/RK6 w A - 0 1", true);
    ASSERT_TRUE(listed(board, "b1a1"));
    const Board castled = after(board, {"b1a1"});
    EXPECT_EQ(castled.write_fen(true), "4k3/8/8/8/8/8/8/2KR4 b - - 1 1");
}

TEST(Castling, Chess960KingOnG1CastlesShortInPlace) {
    const Board board = read("4k3/8/8/8/8/8/8/6KR w H - 0 1", true);
    ASSERT_TRUE(listed(board, "g1h1"));
    EXPECT_EQ(after(board, {"g1h1"}).write_fen(true), "4k3/8/8/8/8/8/8/5RK1 b - - 1 1");
}

TEST(Castling, KingMovesAndCastlingsInterleaveByDestination) {
    const Board board = read("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const std::vector<std::string> moves = texts(board.legal_moves());
    const std::vector<std::string> king(moves.end() - 7, moves.end());
    EXPECT_EQ(king,
              (std::vector<std::string>{"e1a1", "e1d1", "e1f1", "e1h1", "e1d2", "e1e2", "e1f2"}));
}

TEST(Castling, IsRefusedWithAPinnedRook) {
    // The black rook on a1 would see c1 once the rook on b1 has gone.
    const Board board = read("4k3/8/8/8/8/8/8/rR2K3 w B - 0 1", true);
    EXPECT_FALSE(listed(board, "e1b1"));
    EXPECT_FALSE(board.is_legal(move("e1b1")));
}

TEST(Castling, IsRefusedWithAPieceBetweenKingAndRook) {
    const Board board = read("r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1");
    EXPECT_FALSE(listed(board, "e1a1"));
    EXPECT_TRUE(listed(board, "e1h1"));
}

TEST(Castling, IsRefusedOnlyWhenTheKingsWayIsAttacked) {
    const Board f1_attacked = read("4kr2/8/8/8/8/8/8/R3K2R w KQ - 0 1");
    EXPECT_FALSE(listed(f1_attacked, "e1h1"));
    EXPECT_FALSE(f1_attacked.is_legal(move("e1h1")));
    EXPECT_TRUE(listed(f1_attacked, "e1a1"));
    // b1 is the rook's way, not the king's.
    const Board b1_attacked = read("1r2k3/8/8/8/8/8/8/R3K2R w KQ - 0 1");
    EXPECT_TRUE(listed(b1_attacked, "e1a1"));
    // Not out of check.
    EXPECT_FALSE(listed(read("4r1k1/8/8/8/8/8/8/R3K2R w KQ - 0 1"), "e1h1"));
}

TEST(IsLegal, AgreesWithTheListEverywhere) {
    for (const auto& [fen, chess960] : std::initializer_list<std::pair<std::string_view, bool>>{
             {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", false},
             {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", false},
             {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", false},
             {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", false},
             {"8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", false},
             {"8/8/8/KPp4r/8/8/8/4k3 w - c6 0 1", false},
             {"8/8/8/7k/4P3/8/8/3BK3 b - e3 0 1", false},
             {"4k3/8/8/8/8/8/8/rR2K3 w B - 0 1", true},
             {"1r2k1r1/8/8/8/8/8/8/1R2K1R1 w GBgb - 0 1", true},
             {"3r1r2/4P3/8/8/8/8/8/k3K3 w - - 0 1", false},
         }) {
        testing::expect_is_legal_matches_list(read(fen, chess960));
    }
}

TEST(PieceMoves, CountsFourMovesPerPawnPromotionAndOneOtherwise) {
    const BitBoard last_rank = BitBoard::from(Square::D8) | BitBoard::from(Square::E8);
    EXPECT_EQ((PieceMoves{Piece::Pawn, Square::E7, last_rank}.move_count()), 8U);
    EXPECT_EQ((PieceMoves{Piece::Rook, Square::E7, last_rank}.move_count()), 2U);
    std::vector<Move> moves;
    PieceMoves{Piece::Rook, Square::E7, last_rank}.expand_into(moves);
    EXPECT_EQ(texts(moves), (std::vector<std::string>{"e7d8", "e7e8"}));
}

TEST(Play, DoublePushSetsTheEnPassantFileWithoutAnEnemyPawnNearby) {
    const Board board = after(Board::startpos(), {"e2e4"});
    EXPECT_EQ(board.en_passant(), File::E);
    EXPECT_EQ(board.write_fen(false),
              "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    EXPECT_EQ(after(board, {"g8f6"}).en_passant(), std::nullopt);
}

TEST(Play, EnPassantRemovesThePawnBehindTheTarget) {
    const Board board = after(read("4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1"), {"d7d5", "e5d6"});
    EXPECT_EQ(board.write_fen(false), "4k3/8/3P4/8/8/8/8/4K3 b - - 0 2");
}

TEST(Play, CastlingRightsFollowRookCapturesRookMovesAndKingMoves) {
    const Board start = read("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    // Capturing on a8 takes Black's long right; leaving a1 takes White's.
    EXPECT_EQ(after(start, {"a1a8"}).write_fen(false), "R3k2r/8/8/8/8/8/8/4K2R b Kk - 0 1");
    EXPECT_EQ(after(start, {"h1h2"}).write_fen(false), "r3k2r/8/8/8/8/8/7R/R3K3 b Qkq - 1 1");
    EXPECT_EQ(after(start, {"e1f1"}).write_fen(false), "r3k2r/8/8/8/8/8/8/R4K1R b kq - 1 1");
    EXPECT_EQ(after(start, {"e1h1"}).write_fen(false), "r3k2r/8/8/8/8/8/8/R4RK1 b kq - 1 1");
    EXPECT_EQ(after(start, {"e1a1", "e8h8"}).write_fen(false), "r4rk1/8/8/8/8/8/8/2KR3R w - - 2 2");
}

TEST(Play, ClocksResetOnPawnMovesAndCapturesAndStopAtTheirCaps) {
    const Board large = read("4k3/8/8/8/8/8/8/R3K3 b Q - 100 65535");
    EXPECT_EQ(after(large, {"e8d8"}).write_fen(false), "3k4/8/8/8/8/8/8/R3K3 w Q - 101 65536");
    const Board capped = read("4k3/8/8/8/8/8/8/R3K3 b Q - 4294967295 4294967295");
    EXPECT_EQ(after(capped, {"e8d8"}).write_fen(false),
              "3k4/8/8/8/8/8/8/R3K3 w Q - 4294967295 4294967295");
    const Board board = read("4k3/n3p3/8/8/8/8/7r/R3K3 w Q - 40 9");
    EXPECT_EQ(after(board, {"a1b1"}).halfmove_clock(), 41u);
    EXPECT_EQ(after(board, {"a1b1", "e7e6"}).halfmove_clock(), 0u);
    EXPECT_EQ(after(board, {"e1f1"}).halfmove_clock(), 41u);
    const Board captured = after(board, {"a1a7"});
    EXPECT_EQ(captured.halfmove_clock(), 0u);
    EXPECT_EQ(captured.fullmove_number(), 9u);
    EXPECT_EQ(after(captured, {"e8f8"}).write_fen(false), "5k2/R3p3/8/8/8/8/7r/4K3 w - - 1 10");
}

TEST(Play, PromotionToKnightGivesCheck) {
    const Board board = after(read("8/4P3/8/5k2/8/8/8/4K3 w - - 0 1"), {"e7e8n"});
    EXPECT_EQ(board.write_fen(false), "4N3/8/8/5k2/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(board.checkers(), BitBoard{});  // e8 knight does not reach f5
    const Board check = after(read("8/4P3/5k2/8/8/8/8/4K3 w - - 0 1"), {"e7e8n"});
    EXPECT_EQ(check.checkers(), BitBoard::from(Square::E8));
}

TEST(Play, KeepsEveryDerivedFieldEqualToAFreshRead) {
    // Transposed move orders reach the same board, hash and derived sets included.
    const Board a = after(Board::startpos(), {"g1f3", "b8c6", "e2e4", "e7e5", "f1b5", "a7a6"});
    const Board b = after(Board::startpos(), {"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6"});
    EXPECT_EQ(a, b);
    EXPECT_EQ(read(a.write_fen(false)), a);
    // Discovered check and a pin in one move: the bishop leaves the rook's file.
    const Board d = after(read("4k3/8/8/8/8/4B3/8/4R1K1 w - - 0 1"), {"e3c5"});
    EXPECT_EQ(d.checkers(), BitBoard::from(Square::E1));
    EXPECT_EQ(read(d.write_fen(false)), d);
}

// A random position the reader accepts (tried until one is): both kings, up to twelve other
// pieces, either side to move. Every other position has its kings and two rooks of each side on
// their back ranks with all four castling letters offered, and every third a pawn that may just
// have advanced two squares beside an enemy pawn, with its en passant file offered. What the
// reader refuses is dropped: the rights first, then the en passant file, then the position.
std::string random_fen(std::uint64_t& state, bool chess960) {
    auto next = [&state](std::uint64_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state >> 33) % bound;
    };
    for (;;) {
        std::array<char, 64> squares{};
        auto place_on = [&](char piece, int first, int last) {
            for (int tries = 0; tries < 100; ++tries) {
                const int s =
                    first + static_cast<int>(next(static_cast<std::uint64_t>(last - first)));
                const bool edge = s < 8 || s >= 56;
                if (squares[s] == 0 && !((piece == 'P' || piece == 'p') && edge)) {
                    squares[s] = piece;
                    return s;
                }
            }
            return -1;
        };
        const bool castling = next(2) == 0;
        if (castling) {
            for (const char piece : {'K', 'R', 'R'}) place_on(piece, 0, 8);
            for (const char piece : {'k', 'r', 'r'}) place_on(piece, 56, 64);
        } else {
            place_on('K', 0, 64);
            place_on('k', 0, 64);
        }
        const bool white = next(2) == 0;
        std::string en_passant = "-";
        if (next(3) == 0) {
            // The pawn that advanced, on rank 5 (White to move) or 4, and an enemy beside it.
            const int file = static_cast<int>(next(8));
            const int pawn = (white ? 32 : 24) + file;
            const int passed = white ? pawn + 8 : pawn - 8;
            const int origin = white ? pawn + 16 : pawn - 16;
            if (squares[pawn] == 0 && squares[passed] == 0 && squares[origin] == 0) {
                squares[pawn] = white ? 'p' : 'P';
                const int beside = file == 0      ? pawn + 1
                                   : file == 7    ? pawn - 1
                                   : next(2) == 0 ? pawn - 1
                                                  : pawn + 1;
                if (squares[beside] == 0) squares[beside] = white ? 'P' : 'p';
                en_passant = to_string(square_from_index(passed));
            }
        }
        const auto others = next(13);
        for (std::uint64_t i = 0; i < others; ++i) place_on("PNBRQpnbrq"[next(10)], 0, 64);
        std::string placement;
        for (int rank = 7; rank >= 0; --rank) {
            int empty = 0;
            for (int file = 0; file < 8; ++file) {
                const char c = squares[rank * 8 + file];
                if (c == 0) {
                    ++empty;
                    continue;
                }
                if (empty > 0) placement += static_cast<char>('0' + empty);
                empty = 0;
                placement += c;
            }
            if (empty > 0) placement += static_cast<char>('0' + empty);
            if (rank > 0) placement += '/';
        }
        placement += white ? " w " : " b ";
        for (const std::string_view rights : {"KQkq", "Kk", "Qq", "-"}) {
            if (!castling && rights != "-") continue;
            for (const std::string& ep : {en_passant, std::string("-")}) {
                std::string text = placement;
                text.append(rights).append(" ").append(ep).append(" 0 1");
                if (Board::from_fen(text, chess960).has_value()) return text;
            }
        }
    }
}

TEST(RandomPositions, PlayoutsKeepEveryInvariant) {
    // From any position the reader accepts, every legal move leads to a position it accepts
    // again: valid, written and read back unchanged, and never one where a king can be taken.
    std::uint64_t state = 20240601;
    int plies = 0;
    for (int boards = 0; boards < 2000; ++boards) {
        const bool chess960 = boards % 2 == 1;
        const std::string fen = random_fen(state, chess960);
        Board board = Board::from_fen(fen, chess960).value();
        if (boards % 100 == 0) testing::expect_is_legal_matches_list(board);
        for (int ply = 0; ply < 30; ++ply) {
            ASSERT_TRUE(board.is_valid()) << fen;
            const std::string written = board.write_fen(chess960);
            const auto again = Board::from_fen(written, chess960);
            ASSERT_TRUE(again.has_value()) << written << " from " << fen;
            ASSERT_EQ(again.value(), board) << written;
            const std::vector<Move> moves = board.legal_moves();
            const BitBoard kings = board.pieces(Piece::King);
            for (const Move& m : moves)
                ASSERT_FALSE(kings.contains(m.to)) << m.text() << " in " << written;
            if (moves.empty()) break;
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            board.play(moves[(state >> 33) % moves.size()]);
            ++plies;
        }
    }
    EXPECT_GT(plies, 20000);
}

TEST(BoardDeathTest, PlayingFromAnEmptySquareIsFatal) {
    Board board = Board::startpos();
    EXPECT_DEATH(board.play(Move{Square::E4, Square::E5, std::nullopt}),
                 MissingPieceMessage.data());
}

}  // namespace
}  // namespace velloran
