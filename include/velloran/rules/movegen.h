#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "velloran/rules/bitboard.h"
#include "velloran/rules/move.h"

namespace velloran {

// The legal destinations of one piece. Expanded in ascending destination order; a pawn
// reaching rank 1 or 8 gives four moves, promoting to knight, bishop, rook, queen in that order.
struct PieceMoves {
    Piece piece = Piece::Pawn;
    Square from{};
    BitBoard to;

    // Number of moves the expansion gives.
    std::size_t move_count() const;
    // Appends the expansion to `moves`.
    void expand_into(std::vector<Move>& moves) const;
};

// The groups of one position, in generation order. At most one group per piece plus one per
// en passant capture, so a fixed capacity suffices.
class PieceMovesList {
public:
    void push(const PieceMoves& group) { slots_.groups[size_++] = group; }
    std::size_t size() const { return size_; }
    const PieceMoves* begin() const { return slots_.groups; }
    const PieceMoves* end() const { return slots_.groups + size_; }
    // Total number of moves over all groups.
    std::size_t move_count() const;

private:
    // Slots from `size_` on are never written or read: clearing all of them for every
    // position cost more than a leaf count of the move tree.
    union Slots {
        Slots() {}  // NOLINT(cppcoreguidelines-pro-type-member-init): left unwritten on purpose
        PieceMoves groups[20];
    };
    Slots slots_;
    std::size_t size_ = 0;
};

}  // namespace velloran
