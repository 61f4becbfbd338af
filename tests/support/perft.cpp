#include "perft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "board_printing.h"

namespace velloran::testing {
namespace {

constexpr BitBoard PromotionRanks{0xFF000000000000FFULL};
constexpr std::array<Piece, 4> Promotions{Piece::Knight, Piece::Bishop, Piece::Rook, Piece::Queen};

// Calls `visit` with every move of the groups, in list order, without allocating.
template <typename Visit>
void for_each_move(const PieceMovesList& groups, Visit&& visit) {
    for (const PieceMoves& group : groups) {
        for (const Square to : group.to) {
            if (group.piece == Piece::Pawn && PromotionRanks.contains(to)) {
                for (const Piece p : Promotions) visit(Move{group.from, to, p});
            } else {
                visit(Move{group.from, to, std::nullopt});
            }
        }
    }
}

std::uint64_t checked(const Board& board, int depth, bool chess960, int ply, int exhaustive_plies) {
    const std::string fen = board.write_fen(chess960);
    const auto reread = Board::from_fen(fen, chess960);
    EXPECT_TRUE(reread.has_value()) << fen;
    if (reread) {
        EXPECT_EQ(reread.value(), board) << fen;
    }

    const PieceMovesList groups = board.legal_piece_moves();
    const std::vector<Move> moves = board.legal_moves();
    EXPECT_EQ(moves.size(), groups.move_count()) << fen;
    if (ply < exhaustive_plies) expect_is_legal_matches_list(board);
    if (depth == 0) return 1;

    std::uint64_t nodes = 0;
    for (const Move move : moves) {
        EXPECT_EQ(Move::from_text(move.text()), move) << fen;
        Board next = board;
        next.play(move);
        nodes += checked(next, depth - 1, chess960, ply + 1, exhaustive_plies);
    }
    // The board was only ever copied; a change here would mean shared state.
    EXPECT_EQ(board.write_fen(chess960), fen);
    return nodes;
}

}  // namespace

std::string chess960_start(unsigned number) {
    unsigned n = number % 960;
    std::string rank(8, ' ');
    rank[2 * (n % 4) + 1] = 'B';
    n /= 4;
    rank[std::size_t{2} * (n % 4)] = 'B';
    n /= 4;
    const auto place_nth_free = [&](unsigned nth, char piece) {
        for (char& square : rank) {
            if (square == ' ' && nth-- == 0) {
                square = piece;
                return;
            }
        }
    };
    place_nth_free(n % 6, 'Q');
    n /= 6;
    // The ten ways to place two knights on the five squares left, in order.
    static constexpr unsigned Knights[10][2] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2},
                                                {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
    place_nth_free(Knights[n][1], 'N');
    place_nth_free(Knights[n][0], 'N');
    for (const char piece : {'R', 'K', 'R'}) place_nth_free(0, piece);

    std::string black = rank;
    for (char& c : black) c = static_cast<char>(c - 'A' + 'a');
    std::string rights;
    for (const bool white : {true, false}) {
        for (int file = 7; file >= 0; --file) {
            if (rank[file] == 'R') rights += static_cast<char>((white ? 'A' : 'a') + file);
        }
    }
    return black + "/pppppppp/8/8/8/8/PPPPPPPP/" + rank + " w " + rights + " - 0 1";
}

void PrintTo(const PerftRow& row, std::ostream* out) {
    *out << row.fen << (row.chess960 ? " (Chess960)" : "") << ", depth " << row.depth;
}

std::uint64_t perft(const Board& board, int depth) {
    if (depth == 0) return 1;
    const PieceMovesList groups = board.legal_piece_moves();
    if (depth == 1) return groups.move_count();
    std::uint64_t nodes = 0;
    for_each_move(groups, [&](Move move) {
        Board next = board;
        next.play(move);
        nodes += perft(next, depth - 1);
    });
    return nodes;
}

std::uint64_t perft_playing_leaves(const Board& board, int depth) {
    if (depth == 0) return 1;
    std::uint64_t nodes = 0;
    for_each_move(board.legal_piece_moves(), [&](Move move) {
        Board next = board;
        next.play(move);
        nodes += depth == 1 ? 1 : perft_playing_leaves(next, depth - 1);
    });
    return nodes;
}

std::uint64_t checked_perft(const Board& board, int depth, bool chess960, int exhaustive_plies) {
    return checked(board, depth, chess960, 0, exhaustive_plies);
}

void expect_is_legal_matches_list(const Board& board) {
    constexpr std::array<std::optional<Piece>, 7> AnyPromotion{
        std::nullopt, Piece::Pawn,  Piece::Knight, Piece::Bishop,
        Piece::Rook,  Piece::Queen, Piece::King};
    auto slot = [](Square from, Square to, std::optional<Piece> promotion) {
        return (index(from) * 64 + index(to)) * 7 + (promotion ? index(*promotion) + 1 : 0);
    };
    std::vector<bool> listed(std::size_t{64} * 64 * 7);
    const std::vector<Move> moves = board.legal_moves();
    for (const Move& move : moves) {
        EXPECT_FALSE(listed[slot(move.from, move.to, move.promotion)]) << "twice: " << move.text();
        listed[slot(move.from, move.to, move.promotion)] = true;
    }
    for (int from = 0; from < 64; ++from) {
        for (int to = 0; to < 64; ++to) {
            for (const std::optional<Piece> promotion : AnyPromotion) {
                const Move move{square_from_index(from), square_from_index(to), promotion};
                const bool in_list = listed[slot(move.from, move.to, promotion)];
                if (board.is_legal(move) != in_list) {
                    ADD_FAILURE() << "is_legal(" << move.text() << ") is " << !in_list
                                  << " but the list says " << in_list << " in "
                                  << board.write_fen(true);
                    return;
                }
            }
        }
    }
}

}  // namespace velloran::testing
