#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "velloran/rules/board.h"

namespace velloran::testing {

// One row of a published perft table.
struct PerftRow {
    std::string_view fen;
    bool chess960;
    int depth;
    std::uint64_t nodes;
};

void PrintTo(const PerftRow& row, std::ostream* out);

// The Chess960 start position numbered `number` (0 to 959 in Scharnagl's numbering, 518 being
// the standard start) as a FEN text whose castling field names the rook files (HAha for 518),
// to be read in Chess960 mode.
std::string chess960_start(unsigned number);

// Leaves of the legal move tree `depth` plies deep; the last ply is counted from the move
// groups without playing it.
std::uint64_t perft(const Board& board, int depth);

// The same count, playing every move down to the leaves.
std::uint64_t perft_playing_leaves(const Board& board, int depth);

// The same count as `perft`, checking every node on the way (GoogleTest failures): the FEN
// text reads back to an equal board, move texts read back, playing on a copy leaves the board
// alone, and, within the first `exhaustive_plies` plies, `is_legal` agrees with the move list
// for every from, to and promotion.
std::uint64_t checked_perft(const Board& board, int depth, bool chess960, int exhaustive_plies);

// Fails the current test where `is_legal` and membership in `legal_moves` disagree for any
// from, to and promotion (none, or any of the six pieces).
void expect_is_legal_matches_list(const Board& board);

}  // namespace velloran::testing
