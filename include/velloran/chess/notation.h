#pragma once

#include <string>
#include <string_view>

#include "velloran/result.h"
#include "velloran/rules/board.h"
#include "velloran/rules/move.h"

namespace velloran {

// Move text on a bare board, for callers that need no game history. `Game::move_text` and
// `Game::parse_move` are these applied to the game's board and mode.
std::string move_text(const Board& board, Move move, bool chess960);
Result<Move> parse_move(const Board& board, std::string_view text, bool chess960);

}  // namespace velloran
