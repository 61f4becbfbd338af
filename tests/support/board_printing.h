#pragma once

#include <ostream>

#include "velloran/rules/board.h"
#include "velloran/rules/move.h"
#include "velloran/rules/types.h"

// GoogleTest shows these values as e4, e2e4 and a Chess960 FEN in failure messages.
namespace velloran {

void PrintTo(Square square, std::ostream* out);
void PrintTo(const Move& move, std::ostream* out);
void PrintTo(const Board& board, std::ostream* out);

}  // namespace velloran
