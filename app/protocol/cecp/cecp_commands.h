#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/engine/thinking.h"
#include "app/io/command.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/protocol_settings.h"

namespace pawnlark {

struct CecpSession;
struct CecpState;

// The handlers of CECP's command table that live beside the loop, grouped by what they serve.

// Time control (time_control.cpp): the clocks and budgets the manager announces.
LoopControl cecp_time(CecpSession& session, const Command& command);
LoopControl cecp_otim(CecpSession& session, const Command& command);
LoopControl cecp_level(CecpSession& session, const Command& command);
LoopControl cecp_st(CecpSession& session, const Command& command);
LoopControl cecp_sd(CecpSession& session, const Command& command);
// The budget of a thinking engine from "st", "sd", "level" and "time"; a second a move when
// the front end has said nothing about time.
ThinkLimits cecp_limits(const CecpState& state);
// The engine's own clock for a flag fall: the last "time", in milliseconds.
std::optional<std::uint64_t> cecp_own_time_ms(const CecpState& state);

// Features (features.cpp): "protover" answered with the feature line, "ping" with "pong N", and
// the options. The option items of the feature line: Noise alone, or with --options full the
// catalogue.
LoopControl cecp_protover(CecpSession& session, const Command& command);
LoopControl cecp_ping(CecpSession& session, const Command& command);
std::string xboard_option_features(const ProtocolSettings& settings);
// "option NAME[=VALUE]": with --options full read against the catalogue, a refused option
// answered "Error (bad option): ..." and nothing changed; without it, ignored.
LoopControl cecp_option(CecpSession& session, const Command& command);

// Standard play (standard_play.cpp). "force" (and "result"), the sides, takebacks: "undo" takes
// back one ply and "remove" two, rebuilding the game by replaying the moves before them; with
// too few moves: "Error (command not legal now): ...". "hint" names the move the engine would
// play now without advancing the run's generator; "bk" answers an empty book; "draw" is
// declined by saying nothing, or accepted with "offer draw" under --cecp-accept-draw;
// "accepted usermove" stops bare moves being read and "rejected usermove" starts it again.
LoopControl cecp_force(CecpSession& session, const Command& command);
LoopControl cecp_playother(CecpSession& session, const Command& command);
LoopControl cecp_white(CecpSession& session, const Command& command);
LoopControl cecp_black(CecpSession& session, const Command& command);
LoopControl cecp_undo(CecpSession& session, const Command& command);
LoopControl cecp_remove(CecpSession& session, const Command& command);
LoopControl cecp_hint(CecpSession& session, const Command& command);
LoopControl cecp_bk(CecpSession& session, const Command& command);
LoopControl cecp_draw(CecpSession& session, const Command& command);
LoopControl cecp_accepted(CecpSession& session, const Command& command);
LoopControl cecp_rejected(CecpSession& session, const Command& command);
LoopControl cecp_ignore(CecpSession& session, const Command& command);
// Whether a standard-play line that is no command is a move sent bare: coordinate text, O-O or
// O-O-O, while the manager has not accepted the usermove feature.
bool is_bare_move(const CecpSession& session, std::string_view word);

// Edit mode (edit_mode.cpp). "edit" enters it on the current board; its subcommands ("#", "c",
// "Pa4", "xa4", ".") are handled while it lasts, and absent for any other line, which is then
// handled as usual. "." sets up the position, with castling for kings and rooks on their home
// squares (in Chess960 any on the back rank), no en passant and fresh counters; a position
// that cannot be played is answered "tellusererror Illegal position" and the game stays.
LoopControl cecp_edit(CecpSession& session, const Command& command);
std::optional<LoopControl> handle_edit_line(CecpSession& session, const Command& command);

}  // namespace pawnlark
