#include "velloran/rules/board.h"

#include <cassert>
#include <limits>

#include "rules/attacks.h"
#include "rules/board_internal.h"
#include "rules/zobrist.h"
#include "velloran/fatal.h"

namespace velloran {

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
        if (pieces(c).count() > 16) return false;
    }
    for (const Color c : {Color::White, Color::Black}) {
        if (pieces(c, Piece::King).count() != 1) return false;
    }
    const BitBoard edge_ranks = BitBoard::of_rank(Rank::One) | BitBoard::of_rank(Rank::Eight);
    for (const Color c : {Color::White, Color::Black}) {
        if (pieces(c, Piece::Pawn).count() > 8) return false;
    }
    if ((pieces(Piece::Pawn) & edge_ranks).any()) return false;
    // The side not to move is not in check, by a king either: kings never stand side by side.
    const Square waiting_king = king_square(~side_to_move_);
    return check_sets(*this, side_to_move_, waiting_king).checkers.empty()
           && (king_attacks(waiting_king) & pieces(side_to_move_, Piece::King)).empty();
}

std::optional<Piece> Board::piece_at(Square s) const {
    for (int p = 0; p < 6; ++p) {
        if (pieces_[p].contains(s)) return static_cast<Piece>(p);
    }
    return std::nullopt;
}

Piece Board::piece_on(Square s) const {
    assert(occupied().contains(s));
    int p = 0;
    while (!pieces_[p].contains(s)) ++p;
    return static_cast<Piece>(p);
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

std::optional<File> Board::usable_en_passant() const {
    const std::optional<Square> target = en_passant_square();
    if (!target) return std::nullopt;
    for (const Square from :
         pawn_attacks(~side_to_move_, *target) & pieces(side_to_move_, Piece::Pawn)) {
        if (is_legal(Move{from, *target, std::nullopt})) return en_passant_;
    }
    return std::nullopt;
}

std::uint64_t Board::position_key() const {
    const std::optional<File> usable = usable_en_passant();
    return usable ? hash_without_en_passant() ^ Zobrist.en_passant[index(*usable)]
                  : hash_without_en_passant();
}

bool Board::is_legal(Move move) const {
    const Color us = side_to_move_;
    const BitBoard own = colors_[index(us)];
    if (!own.contains(move.from)) return false;
    const std::uint64_t* table = slider_table();
    const Piece piece = piece_on(move.from);
    const Square king = king_square(us);

    if (piece == Piece::King) {
        // Castling is the king onto its own rook, so the generator's set decides both kinds.
        return !move.promotion && king_destinations(*this, us, king, table).contains(move.to);
    }

    const std::optional<Square> ep = en_passant_square();
    if (piece == Piece::Pawn && ep && move.to == *ep && pawn_attacks(us, move.from).contains(*ep)) {
        return !move.promotion && !checkers_.has_more_than_one()
               && en_passant_allowed(*this, us, king, move.from, *ep, table);
    }
    if (pinned_.contains(move.from) && !line(king, move.from).contains(move.to)) return false;
    if (checkers_.has_more_than_one()) return false;
    if (checkers_.any() && !(between(king, checkers_.first()) | checkers_).contains(move.to)) {
        return false;
    }

    const BitBoard occupied = this->occupied();
    const BitBoard enemy = colors_[index(~us)];
    BitBoard reach;
    switch (piece) {
        case Piece::Pawn: {
            const bool last_rank = PromotionRanks.contains(move.to);
            const bool promotes =
                move.promotion && *move.promotion != Piece::Pawn && *move.promotion != Piece::King;
            if (last_rank != promotes || (move.promotion && !promotes)) return false;
            return (pawn_pushes(us, move.from, ~occupied) | (pawn_attacks(us, move.from) & enemy))
                .contains(move.to);
        }
        case Piece::Knight:
            reach = knight_attacks(move.from);
            break;
        case Piece::Bishop:
            reach = bishop_attacks(move.from, occupied, table);
            break;
        case Piece::Rook:
            reach = rook_attacks(move.from, occupied, table);
            break;
        case Piece::Queen:
            reach = bishop_attacks(move.from, occupied, table)
                    | rook_attacks(move.from, occupied, table);
            break;
        case Piece::King:
            return false;
    }
    return !move.promotion && (reach & ~own).contains(move.to);
}

void Board::play(Move move) {
    const Color us = side_to_move_;
    const Color them = ~us;
    if (!colors_[index(us)].contains(move.from)) fatal(MissingPieceMessage);
    assert(is_legal(move));

    const Piece piece = piece_on(move.from);
    // Castling is the only move onto a piece of the mover's own colour.
    const bool castling = colors_[index(us)].contains(move.to);
    const bool capture = colors_[index(them)].contains(move.to);
    constexpr std::uint32_t CounterMax = std::numeric_limits<std::uint32_t>::max();
    if (piece == Piece::Pawn || capture) {
        halfmove_clock_ = 0;
    } else if (halfmove_clock_ != CounterMax) {
        ++halfmove_clock_;
    }
    if (us == Color::Black && fullmove_number_ != CounterMax) ++fullmove_number_;

    const std::optional<Square> en_passant_target = en_passant_square();
    set_en_passant(std::nullopt);
    drop_castling_rights(move.from, move.to);

    if (castling) {
        const bool is_short = index(file_of(move.to)) > index(file_of(move.from));
        const Rank rank = back_rank(us);
        // Lifting the rook first lets king and rook land on each other's squares.
        remove_piece(us, Piece::Rook, move.to);
        move_piece(us, Piece::King, move.from, make_square(is_short ? File::G : File::C, rank));
        put_piece(us, Piece::Rook, make_square(is_short ? File::F : File::D, rank));
    } else {
        if (capture) {
            remove_piece(them, piece_on(move.to), move.to);
        } else if (piece == Piece::Pawn && move.to == en_passant_target) {
            remove_piece(them, Piece::Pawn,
                         square_from_index(index(move.to) + (us == Color::White ? -8 : 8)));
        }
        move_piece(us, piece, move.from, move.to);
        if (move.promotion) {
            remove_piece(us, Piece::Pawn, move.to);
            put_piece(us, *move.promotion, move.to);
        } else if (piece == Piece::Pawn && (index(move.to) ^ index(move.from)) == 16) {
            set_en_passant(file_of(move.from));
        }
    }

    side_to_move_ = them;
    hash_ ^= Zobrist.black_to_move;
    update_check_sets();
}

}  // namespace velloran
