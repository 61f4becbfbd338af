#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/io/command.h"
#include "app/protocol/cecp/cecp_loop.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/protocol_settings.h"

namespace pawnlark {

// The option items of the feature line: Noise alone, or with --options full the catalogue.
std::string xboard_option_features(const ProtocolSettings& settings);

// "option NAME[=VALUE]": with --options full read against the catalogue, a refused option
// answered "Error (bad option): ..." and nothing changed; without it, ignored.
LoopControl cecp_option(CecpSession& session, const Command& command);

// Standard play. "undo" takes back one ply and "remove" two, rebuilding the game by replaying
// the moves before them; with too few moves: "Error (command not legal now): ...".
LoopControl cecp_undo(CecpSession& session, const Command& command);
LoopControl cecp_remove(CecpSession& session, const Command& command);
// "Hint: X", the move the engine would play now; the run's generator does not advance.
LoopControl cecp_hint(CecpSession& session, const Command& command);
// An empty book: the empty line that ends a book reply.
LoopControl cecp_bk(CecpSession& session, const Command& command);
// Declined by saying nothing, or accepted with "offer draw" under --cecp-accept-draw.
LoopControl cecp_draw(CecpSession& session, const Command& command);
// "accepted usermove" stops bare moves being read; "rejected usermove" starts it again.
LoopControl cecp_accepted(CecpSession& session, const Command& command);
LoopControl cecp_rejected(CecpSession& session, const Command& command);
// Enters edit mode on the current board.
LoopControl cecp_edit(CecpSession& session, const Command& command);
LoopControl cecp_ignore(CecpSession& session, const Command& command);

// Edit mode's subcommands ("#", "c", "Pa4", "xa4", "."): handled while edit mode lasts;
// absent for any other line, which is then handled as usual. "." sets up the position, with
// castling for kings and rooks on their home squares (in Chess960 any on the back rank), no en
// passant and fresh counters; a position that cannot be played is answered "tellusererror
// Illegal position" and the game stays as it was.
std::optional<LoopControl> handle_edit_line(CecpSession& session, const Command& command);

// Whether a standard-play line that is no command is a move sent bare: coordinate text, O-O or
// O-O-O, while the manager has not accepted the usermove feature.
bool is_bare_move(const CecpSession& session, std::string_view word);

}  // namespace pawnlark
