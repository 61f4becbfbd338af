#include "velloran/chess/notation.h"

#include <optional>

namespace velloran {
namespace {

std::optional<Square> rook_square(Color side, std::optional<File> file) {
    if (!file) return std::nullopt;
    return make_square(*file, back_rank(side));
}

}  // namespace

std::string move_text(const Board& board, Move move, bool chess960) {
    if (!chess960) {
        const Color us = board.side_to_move();
        const CastlingRights& rights = board.castling(us);
        if (rights.any() && move.from == board.king_square(us)) {
            const Rank rank = rank_of(move.from);
            if (move.to == rook_square(us, rights.short_file)) {
                move.to = make_square(File::G, rank);
            } else if (move.to == rook_square(us, rights.long_file)) {
                move.to = make_square(File::C, rank);
            }
        }
    }
    return move.text();
}

Result<Move> parse_move(const Board& board, std::string_view text, bool chess960) {
    auto read = Move::from_text(text);
    if (!read) return bad_move(text);
    Move move = *read;
    const Color us = board.side_to_move();
    const Square home = us == Color::White ? Square::E1 : Square::E8;
    if (!chess960 && move.from == home && board.pieces(us, Piece::King).contains(home)) {
        const CastlingRights& rights = board.castling(us);
        const Rank rank = back_rank(us);
        if (move.to == make_square(File::G, rank) && rights.short_file) {
            move.to = make_square(*rights.short_file, rank);
        }
        if (move.to == make_square(File::C, rank) && rights.long_file) {
            move.to = make_square(*rights.long_file, rank);
        }
    }
    if (!board.is_legal(move)) return illegal_move(text);
    return move;
}

}  // namespace velloran
