#pragma once

// Helpers shared by the board's source files: the placement writers, which every change of the
// board goes through, and the legality tests that both the generator and `Board::is_legal` use.

#include <cassert>
#include <cstdint>

#include "rules/attacks.h"
#include "rules/zobrist.h"
#include "velloran/rules/board.h"

namespace velloran {

inline constexpr BitBoard PromotionRanks{0xFF000000000000FFULL};

struct CheckSets {
    BitBoard checkers;
    BitBoard pinned;
};

// Helpers on the path of `Board::play`, inlined even where the compiler would not: a call each
// costs more than a few percent of a perft.
#define VELLORAN_ALWAYS_INLINE [[gnu::always_inline]] inline

// The pieces of `attacker` that attack `king`, and every piece (of either colour) that alone
// stands between `king` and a rook, bishop or queen of `attacker` on its line. Kings are not
// counted as checkers: on a valid board the side to move is never attacked by a king.
VELLORAN_ALWAYS_INLINE CheckSets check_sets(const Board& board, Color attacker, Square king) {
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

// The squares the king of `us` on `king` may move to: adjacent squares the enemy does not
// attack, and the rook squares of its legal castlings.
BitBoard king_destinations(const Board& board, Color us, Square king, const std::uint64_t* table);

// Whether the pawn of `us` on `from` may capture en passant on `target`: the capture leaves no
// slider aimed at the king. With the board's invariants this also settles pins and answers a
// check by the advanced pawn.
bool en_passant_allowed(const Board& board, Color us, Square king, Square from, Square target,
                        const std::uint64_t* table);

// Pushes of a pawn of `us` on `from`: one square when it is empty, two from the pawn's start
// rank when both are.
inline BitBoard pawn_pushes(Color us, Square from, BitBoard empty) {
    const BitBoard pawn = BitBoard::from(from);
    if (us == Color::White) {
        const BitBoard one = BitBoard{pawn.bits << 8} & empty;
        return one | (BitBoard{(one & BitBoard::of_rank(Rank::Three)).bits << 8} & empty);
    }
    const BitBoard one = BitBoard{pawn.bits >> 8} & empty;
    return one | (BitBoard{(one & BitBoard::of_rank(Rank::Six)).bits >> 8} & empty);
}

VELLORAN_ALWAYS_INLINE void Board::put_piece(Color c, Piece p, Square s) {
    assert(!occupied().contains(s));
    const BitBoard square = BitBoard::from(s);
    pieces_[index(p)] |= square;
    colors_[index(c)] |= square;
    hash_ ^= piece_key(c, p, s);
}

VELLORAN_ALWAYS_INLINE void Board::remove_piece(Color c, Piece p, Square s) {
    assert(pieces(c, p).contains(s));
    const BitBoard square = BitBoard::from(s);
    pieces_[index(p)] ^= square;
    colors_[index(c)] ^= square;
    hash_ ^= piece_key(c, p, s);
}

VELLORAN_ALWAYS_INLINE void Board::move_piece(Color c, Piece p, Square from, Square to) {
    assert(pieces(c, p).contains(from) && (from == to || !occupied().contains(to)));
    const BitBoard squares = BitBoard::from(from) ^ BitBoard::from(to);
    pieces_[index(p)] ^= squares;
    colors_[index(c)] ^= squares;
    hash_ ^= piece_key(c, p, from) ^ piece_key(c, p, to);
}

VELLORAN_ALWAYS_INLINE void Board::set_en_passant(std::optional<File> file) {
    if (en_passant_) hash_ ^= Zobrist.en_passant[index(*en_passant_)];
    en_passant_ = file;
    if (en_passant_) hash_ ^= Zobrist.en_passant[index(*en_passant_)];
}

VELLORAN_ALWAYS_INLINE void Board::clear_castling_right(Color c, std::optional<File>& right) {
    if (!right) return;
    hash_ ^= Zobrist.castling[index(c)][index(*right)];
    right.reset();
}

VELLORAN_ALWAYS_INLINE void Board::drop_castling_rights(Square from, Square to) {
    const BitBoard touched = BitBoard::from(from) | BitBoard::from(to);
    // Only a move from or onto a king or a rook can end a right.
    if ((touched & (pieces(Piece::King) | pieces(Piece::Rook))).empty()) return;
    for (const Color c : {Color::White, Color::Black}) {
        CastlingRights& rights = castling_[index(c)];
        if (!rights.any()) continue;
        const bool king_leaves = c == side_to_move_ && pieces(c, Piece::King).contains(from);
        const Rank rank = back_rank(c);
        if (king_leaves
            || (rights.short_file && touched.contains(make_square(*rights.short_file, rank)))) {
            clear_castling_right(c, rights.short_file);
        }
        if (king_leaves
            || (rights.long_file && touched.contains(make_square(*rights.long_file, rank)))) {
            clear_castling_right(c, rights.long_file);
        }
    }
}

VELLORAN_ALWAYS_INLINE void Board::update_check_sets() {
    const CheckSets sets = check_sets(*this, ~side_to_move_, king_square(side_to_move_));
    checkers_ = sets.checkers;
    pinned_ = sets.pinned;
}

}  // namespace velloran
