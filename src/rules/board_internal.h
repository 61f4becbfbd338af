#pragma once

// Helpers shared by the board's source files.

#include "velloran/rules/board.h"

namespace velloran {

struct CheckSets {
    BitBoard checkers;
    BitBoard pinned;
};

// The pieces of `attacker` that attack `king`, and every piece (of either colour) that alone
// stands between `king` and a rook, bishop or queen of `attacker` on its line.
CheckSets check_sets(const Board& board, Color attacker, Square king);

}  // namespace velloran
