#include "app/engine/move_choice.h"
#include "app/protocol/cecp/cecp_commands.h"
#include "app/protocol/cecp/cecp_dialect.h"
#include "app/protocol/cecp/cecp_loop.h"
#include "velloran/chess/notation.h"

namespace pawnlark {
namespace {

using velloran::Color;

LoopControl take_back(CecpSession& session, std::size_t plies, std::string_view command) {
    CecpState& state = session.state;
    auto game = state.xboard.record.take_back(plies);
    if (!game) {
        session.out.line("Error (command not legal now): " + std::string(command));
        return LoopControl::Continue;
    }
    state.game = std::move(*game);
    // The ply counter goes back with the moves, so a fault fires at the same ply again.
    state.ply = state.ply > plies ? state.ply - static_cast<std::uint32_t>(plies) : 0;
    return LoopControl::Continue;
}

bool is_coordinate_move(std::string_view word) {
    const auto square_at = [&](std::size_t at) {
        return velloran::parse_square(word.substr(at, 2)).has_value();
    };
    if (word.size() != 4 && word.size() != 5) return false;
    if (word.size() == 5 && std::string_view("nbrqk").find(word[4]) == std::string_view::npos) {
        return false;
    }
    return square_at(0) && square_at(2);
}

}  // namespace

LoopControl cecp_force(CecpSession& session, const Command&) {
    session.state.force = true;
    return LoopControl::Continue;
}

LoopControl cecp_playother(CecpSession& session, const Command&) {
    session.state.force = false;
    session.state.engine_side = ~session.state.game.board().side_to_move();
    return LoopControl::Continue;
}

LoopControl cecp_white(CecpSession& session, const Command&) {
    session.state.engine_side = Color::Black;
    return LoopControl::Continue;
}

LoopControl cecp_black(CecpSession& session, const Command&) {
    session.state.engine_side = Color::White;
    return LoopControl::Continue;
}

LoopControl cecp_undo(CecpSession& session, const Command&) {
    return take_back(session, 1, "undo");
}

LoopControl cecp_remove(CecpSession& session, const Command&) {
    return take_back(session, 2, "remove");
}

LoopControl cecp_hint(CecpSession& session, const Command&) {
    // A copy of the generator: asking for a hint must not change the moves played later.
    velloran::RandomGenerator generator = session.generator;
    const auto choice = choose_move(session.state.game, generator, session.settings.random,
                                    session.state.options.noise);
    if (choice) session.out.line("Hint: " + cecp_move_text(session, choice->move));
    return LoopControl::Continue;
}

LoopControl cecp_bk(CecpSession& session, const Command&) {
    session.out.line("");
    return LoopControl::Continue;
}

LoopControl cecp_draw(CecpSession& session, const Command&) {
    if (session.settings.cecp_accept_draw) session.out.line("offer draw");
    return LoopControl::Continue;
}

LoopControl cecp_accepted(CecpSession& session, const Command& command) {
    if (command.word_at(1) == "usermove") session.state.xboard.usermove_accepted = true;
    return LoopControl::Continue;
}

LoopControl cecp_rejected(CecpSession& session, const Command& command) {
    if (command.word_at(1) == "usermove") session.state.xboard.usermove_accepted = false;
    return LoopControl::Continue;
}

LoopControl cecp_ignore(CecpSession&, const Command&) { return LoopControl::Continue; }

bool is_bare_move(const CecpSession& session, std::string_view word) {
    if (session.state.xboard.usermove_accepted) return false;
    return is_coordinate_move(word) || word == "O-O" || word == "O-O-O";
}

}  // namespace pawnlark
