// Arbitrary bytes as board-level FEN in both castling modes. Every board read must be valid,
// write back to a text that reads to an equal board, list only moves that is_legal accepts
// (and accept nothing else), and stay valid and round-trip after each legal move.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "velloran/rules/board.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void check_round_trip(const velloran::Board& board, bool chess960) {
    check(board.is_valid());
    const auto again = velloran::Board::from_fen(board.write_fen(chess960), chess960);
    check(again.has_value());
    check(again.value() == board);
}

void check_moves(const velloran::Board& board, bool chess960) {
    using velloran::Move;
    using velloran::Piece;
    const std::vector<Move> moves = board.legal_moves();
    check(moves.size() == board.legal_piece_moves().move_count());
    std::vector<bool> listed(std::size_t{64} * 64 * 3);
    constexpr std::array<std::optional<Piece>, 3> Promotions{std::nullopt, Piece::Knight,
                                                             Piece::Queen};
    auto slot = [](const Move& m) {
        const int kind = !m.promotion ? 0 : *m.promotion == Piece::Knight ? 1 : 2;
        return (velloran::index(m.from) * 64 + velloran::index(m.to)) * 3 + kind;
    };
    for (const Move& move : moves) {
        if (move.promotion && *move.promotion != Piece::Knight && *move.promotion != Piece::Queen) {
            check(board.is_legal(move));
        } else {
            listed[slot(move)] = true;
        }
        velloran::Board next = board;
        next.play(move);
        check_round_trip(next, chess960);
    }
    for (const velloran::Square from : board.pieces(board.side_to_move())) {
        for (int to = 0; to < 64; ++to) {
            for (const std::optional<Piece> promotion : Promotions) {
                const Move move{from, velloran::square_from_index(to), promotion};
                check(board.is_legal(move) == listed[slot(move)]);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool chess960 : {false, true}) {
        const auto board = velloran::Board::from_fen(text, chess960);
        if (!board) continue;
        check_round_trip(board.value(), chess960);
        check_moves(board.value(), chess960);
    }
    return 0;
}
