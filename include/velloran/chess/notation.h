#pragma once

#include <string>
#include <string_view>

#include "velloran/result.h"
#include "velloran/rules/board.h"
#include "velloran/rules/move.h"

namespace velloran {

// Move text on a bare board, for callers that need no game history. `Game::move_text`,
// `Game::parse_move` and `Game::move_read_back` are these applied to the game's board and mode.

// The coordinate text of a move. Castling (the king onto its own rook) is written so in
// Chess960 mode; in standard mode as the king's square, then the square on file g (short) or
// c (long) of its rank.
std::string move_text(const Board& board, Move move, bool chess960);

// The legal move a text names, or "bad move '<text>'" / "illegal move '<text>'" quoting the
// text as received. In standard mode the king's square followed by the g- or c-file square of
// its rank also names castling with the matching right, unless the text is a legal king move
// as written: a one-square step (d1c1, f1g1) means the step.
Result<Move> parse_move(const Board& board, std::string_view text, bool chess960);

// The legal move that `move_text(move)` names when read back: `move` itself, except a standard
// castling whose text is also a legal king step, which names that step. Never fails: a move
// that is not legal comes back unchanged.
Move move_read_back(const Board& board, Move move, bool chess960);

}  // namespace velloran
