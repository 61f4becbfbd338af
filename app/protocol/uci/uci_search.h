#pragma once

#include "app/engine/thinking.h"
#include "app/io/command.h"
#include "app/protocol/loop_control.h"
#include "velloran/chess/game.h"

namespace pawnlark {

struct UciSession;

// The limits of a UCI "go" in the game, for the side to move; "mate M" reads as depth 2M-1,
// and "searchmoves" keeps the legal moves it lists.
ThinkLimits read_uci_limits(const Command& go, const velloran::Game& game);

// "go": a search request that counts a ply and is answered, or one that waits for "stop" or
// "ponderhit" ("infinite", "ponder").
LoopControl uci_go(UciSession& session, const Command& command);
// "stop" and "ponderhit" alike: answer a pending search, without pause or faults.
LoopControl uci_stop(UciSession& session, const Command& command);

}  // namespace pawnlark
