#include "velloran/rules/board.h"

#include "rules/attacks.h"
#include "rules/board_internal.h"
#include "rules/zobrist.h"
#include "velloran/fatal.h"

namespace velloran {

CheckSets check_sets(const Board& board, Color attacker, Square king) {
    const BitBoard occupied = board.occupied();
    const BitBoard queens = board.pieces(attacker, Piece::Queen);
    const BitBoard snipers =
        (RookRays[index(king)] & (board.pieces(attacker, Piece::Rook) | queens))
        | (BishopRays[index(king)] & (board.pieces(attacker, Piece::Bishop) | queens));
    CheckSets out;
    for (const Square s : snipers) {
        const BitBoard blockers = between(king, s) & occupied;
        if (blockers.empty()) {
            out.checkers |= BitBoard::from(s);
        } else if (!blockers.has_more_than_one()) {
            out.pinned |= blockers;
        }
    }
    out.checkers |= knight_attacks(king) & board.pieces(attacker, Piece::Knight);
    out.checkers |= pawn_attacks(~attacker, king) & board.pieces(attacker, Piece::Pawn);
    return out;
}

Board Board::startpos() {
    static const Board start =
        from_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false).value();
    return start;
}

bool Board::is_valid() const {
    BitBoard all_pieces;
    for (const BitBoard p : pieces_) {
        if ((all_pieces & p).any()) return false;
        all_pieces |= p;
    }
    if ((colors_[0] & colors_[1]).any() || all_pieces != occupied()) return false;
    for (const Color c : {Color::White, Color::Black}) {
        if (popcount(pieces(c)) > 16) return false;
    }
    for (const Color c : {Color::White, Color::Black}) {
        if (popcount(pieces(c, Piece::King)) != 1) return false;
    }
    const BitBoard edge_ranks = BitBoard::of_rank(Rank::One) | BitBoard::of_rank(Rank::Eight);
    for (const Color c : {Color::White, Color::Black}) {
        if (popcount(pieces(c, Piece::Pawn)) > 8) return false;
    }
    if ((pieces(Piece::Pawn) & edge_ranks).any()) return false;
    const Color waiting = ~side_to_move_;
    return check_sets(*this, side_to_move_, king_square(waiting)).checkers.empty();
}

std::optional<Piece> Board::piece_at(Square s) const {
    for (int p = 0; p < 6; ++p) {
        if (pieces_[p].contains(s)) return static_cast<Piece>(p);
    }
    return std::nullopt;
}

std::optional<Color> Board::color_at(Square s) const {
    if (colors_[0].contains(s)) return Color::White;
    if (colors_[1].contains(s)) return Color::Black;
    return std::nullopt;
}

Square Board::king_square(Color c) const {
    const BitBoard king = pieces(c, Piece::King);
    if (king.empty()) fatal(NoKingMessage);
    return king.first();
}

std::optional<Square> Board::en_passant_square() const {
    if (!en_passant_) return std::nullopt;
    return make_square(*en_passant_, side_to_move_ == Color::White ? Rank::Six : Rank::Three);
}

std::uint64_t Board::hash_without_en_passant() const {
    return en_passant_ ? hash_ ^ Zobrist.en_passant[index(*en_passant_)] : hash_;
}

}  // namespace velloran
