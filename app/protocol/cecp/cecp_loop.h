#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/io/command.h"
#include "app/io/input.h"
#include "app/io/output.h"
#include "app/os/system.h"
#include "app/protocol/cecp/game_record.h"
#include "app/protocol/dialect.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/option_catalogue.h"
#include "app/protocol/protocol_settings.h"
#include "app/protocol/searcher.h"
#include "app/protocol/session.h"
#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {

// What the CECP dialect remembers between commands.
struct CecpState {
    velloran::Game game = velloran::Game::new_game();  // standard start, standard mode
    bool chess960 = false;        // mode of the games later "setboard" commands build
    std::uint32_t ply = 0;        // counts accepted moves and searches asked for, for the faults
    std::uint32_t games = 0;      // games the front end has started, for chaos
    bool search_pending = false;  // a "go infinite" or "go ponder" awaits "stop" or "ponderhit"
    std::optional<std::uint64_t> time_cs;  // the last "time" since "new", for a flag fall
    EngineOptions options;                 // as set by the front end
    // Time control and thinking output, read always but used only with --think.
    std::uint64_t moves_per_session = 0;            // "level": moves per time control, 0 for all
    std::uint64_t increment_ms = 0;                 // "level": added after each move
    std::optional<std::uint64_t> move_time_ms;      // "st"
    std::optional<std::uint32_t> search_depth;      // "sd"
    std::optional<std::uint64_t> opponent_time_cs;  // "otim"
    bool post = false;                              // print thinking lines
    bool analyzing = false;                         // "analyze" until "exit"
    // Standard xboard play only (--cecp-standard): the engine answers the opponent's moves by
    // itself while force mode is off and its side is to move.
    bool force = false;
    std::optional<velloran::Color> engine_side;
    XboardState xboard;  // takebacks, edit mode, the features the manager accepted
};

// The session of the dialect: the shared core and its own state.
struct CecpSession : Session<CecpState> {};

using CecpHandler = LoopControl (*)(CecpSession&, const Command&);

// A move of the current game as the engine writes it: in standard play Chess960 castling is
// O-O or O-O-O.
std::string cecp_move_text(const CecpSession& session, velloran::Move move);
// A move text of the manager's read in the current game; O-O and O-O-O in standard play.
std::optional<velloran::Move> read_cecp_move(const CecpSession& session, std::string_view text);
// In standard play, the result line of a game that has just ended.
std::optional<std::string> game_end(const CecpSession& session);

// CECP as the faults see it: stall and illegal answers only in standard play.
DialectMode cecp_fault_mode(const ProtocolSettings& settings);

// Handles one line: dispatches on its first token, exactly and case-sensitively; blank lines
// and unknown words are ignored without a reply.
LoopControl handle_cecp_line(CecpSession& session, const Command& command);

// What a command does when it arrives mid-search: its column of the command table.
MidSearch cecp_mid_search(std::string_view word);

// Runs the CECP dialect until "quit", the end of input or a line that is not UTF-8.
void run_cecp(CecpSession& session, Input& input);

}  // namespace pawnlark
