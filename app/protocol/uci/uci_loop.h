#pragma once

#include <cstdint>
#include <string>

#include "app/io/command.h"
#include "app/io/input.h"
#include "app/io/output.h"
#include "app/os/system.h"
#include "app/protocol/dialect.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/option_catalogue.h"
#include "app/protocol/protocol_settings.h"
#include "app/protocol/searcher.h"
#include "app/protocol/session.h"
#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {

// The last "position" line that built its game afresh, and the counter it left: a later line
// that repeats it and adds moves carries its game on instead of building it again.
struct PositionMemo {
    std::string line;       // the trimmed line; empty when there is nothing to carry on
    bool chess960 = false;  // the mode the line was read in
    bool in_moves = false;  // the line ended inside its move list
    std::uint32_t ply = 0;  // the ply counter right after the line
};

// What the UCI dialect remembers between commands.
struct UciState {
    velloran::Game game = velloran::Game::new_game();  // standard start, standard mode
    bool chess960 = false;        // mode of the games later "position" commands build
    std::uint32_t ply = 0;        // counts moves set up and searches asked for, for the faults
    std::uint32_t games = 0;      // games the front end has started, for chaos
    bool search_pending = false;  // a "go infinite" or "go ponder" awaits "stop" or "ponderhit"
    PositionMemo last_position;   // valid while `game` is what that line left
    EngineOptions options;        // as set by the front end
};

// The session of the dialect: the shared core and its own state.
struct UciSession : Session<UciState> {};

using UciHandler = LoopControl (*)(UciSession&, const Command&);

// Handles one line: dispatches on its first token, exactly and case-sensitively; blank lines
// and unknown words are ignored.
LoopControl handle_uci_line(UciSession& session, const Command& command);

// What a command does when it arrives mid-search: its column of the command table.
MidSearch uci_mid_search(std::string_view word);

// Runs the UCI dialect until "quit", the end of input or a line that is not UTF-8.
void run_uci(UciSession& session, Input& input);

}  // namespace pawnlark
