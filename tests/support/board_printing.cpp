#include "board_printing.h"

namespace velloran {

void PrintTo(Square square, std::ostream* out) { *out << to_string(square); }
void PrintTo(const Move& move, std::ostream* out) { *out << move.text(); }
void PrintTo(const Board& board, std::ostream* out) { *out << board.write_fen(true); }

}  // namespace velloran
