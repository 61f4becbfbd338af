#pragma once

#include "app/io/command.h"
#include "app/protocol/loop_control.h"

namespace pawnlark {

struct UciSession;

// "position [startpos | fen F] [moves M...]": unreadable FEN texts and moves are skipped
// without a word. A line that repeats the last one and adds moves plays only the new moves.
LoopControl uci_position(UciSession& session, const Command& command);

}  // namespace pawnlark
