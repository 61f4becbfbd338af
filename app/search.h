#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/io.h"
#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {

// Whether a "go" asks for a search that waits for "stop" or "ponderhit": any word after the
// command is "infinite" or "ponder".
bool is_pending_request(const Command& command);

// " ponder Y" with Y the first sorted legal move after `move`, or nothing when there is none.
std::string ponder_suffix(const velloran::Game& game, velloran::Move move);

// The answer owed to a pending search when "stop" or "ponderhit" arrives, in both dialects:
// a report with the fixed nodes 1 and time 1 and the best move, or "bestmove 0000". The move
// is not played. With `ponder`, the bestmove line names a ponder move.
void answer_pending_search(Output& out, const velloran::Game& game,
                           velloran::RandomGenerator& generator, bool random, bool ponder);

}  // namespace pawnlark
