#include "cecp_loop.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "command_loop.h"
#include "misbehaviour.h"
#include "move_choice.h"
#include "search.h"

namespace pawnlark {
namespace {

LoopControl cecp_protover(CecpSession& session, const Command&) {
    // The name goes in as it is, unescaped, like the rest of the line.
    session.out.line("feature ping=1 setboard=1 usermove=1 san=0 sigint=0 sigterm=0 myname=\"" +
                     session.settings.name +
                     "\" variants=\"normal,fischerandom\" option=\"Noise -spin 25 0 100\" done=1");
    return LoopControl::Continue;
}

LoopControl cecp_ping(CecpSession& session, const Command& command) {
    if (command.tokens.size() > 1) session.out.line("pong " + std::string(command.tokens[1]));
    return LoopControl::Continue;
}

LoopControl cecp_new(CecpSession& session, const Command&) {
    CecpState& state = session.state;
    state.game = velloran::Game::new_game();
    state.chess960 = false;
    state.ply = 0;
    return LoopControl::Continue;
}

LoopControl cecp_variant(CecpSession& session, const Command& command) {
    session.state.chess960 = command.tokens.size() > 1 && command.tokens[1] == "fischerandom";
    return LoopControl::Continue;
}

// An unreadable position is dropped: the game and the ply counter stay as they were.
LoopControl cecp_setboard(CecpSession& session, const Command& command) {
    if (auto game = velloran::Game::from_fen(command.rest(), session.state.chess960)) {
        session.state.game = std::move(game).value();
    }
    return LoopControl::Continue;
}

// Bad or illegal moves are dropped without a word; an accepted move never starts a search.
LoopControl cecp_usermove(CecpSession& session, const Command& command) {
    if (command.tokens.size() < 2) return LoopControl::Continue;
    if (const auto move = session.state.game.parse_move(command.tokens[1])) {
        session.state.game.play(move.value());
        session.state.ply = count_ply(session.state.ply);
    }
    return LoopControl::Continue;
}

LoopControl cecp_go(CecpSession& session, const Command& command) {
    CecpState& state = session.state;
    if (is_pending_request(command.tokens)) {
        state.search_pending = true;
        return LoopControl::Continue;
    }
    state.ply = count_ply(state.ply);
    if (const auto control = before_answer(session.settings, session.system, state.ply, false);
        control != LoopControl::Continue) {
        return control;
    }
    const auto choice = choose_move(state.game, session.generator, session.settings.random);
    if (!choice) {
        session.out.line("resign");
        return LoopControl::Continue;
    }
    const std::string text = state.game.move_text(choice->move);
    session.out.line("1 " + std::to_string(choice->score) + " 1 " +
                     std::to_string(state.game.board().legal_piece_moves().move_count()) + " " +
                     text);
    // Played as the manager will read it back; a castling text of a king off the e-file that
    // does not read back is played as chosen.
    const auto read_back = state.game.parse_move(text);
    state.game.play(read_back.has_value() ? read_back.value() : choice->move);
    session.out.line("move " + text);
    return LoopControl::Continue;
}

// "stop" and "ponderhit" alike: the UCI answer to a pending search, without pause or faults.
LoopControl cecp_stop(CecpSession& session, const Command&) {
    if (session.state.search_pending) {
        answer_pending_search(session.out, session.state.game, session.generator,
                              session.settings.random);
        session.state.search_pending = false;
    }
    return LoopControl::Continue;
}

LoopControl cecp_quit(CecpSession&, const Command&) { return LoopControl::Quit; }

constexpr std::array<std::pair<std::string_view, CecpHandler>, 10> CecpCommands{{
    {"protover", cecp_protover},
    {"ping", cecp_ping},
    {"new", cecp_new},
    {"variant", cecp_variant},
    {"setboard", cecp_setboard},
    {"usermove", cecp_usermove},
    {"go", cecp_go},
    {"stop", cecp_stop},
    {"ponderhit", cecp_stop},
    {"quit", cecp_quit},
}};

}  // namespace

LoopControl handle_cecp_line(CecpSession& session, const Command& command) {
    for (const auto& [word, handler] : CecpCommands) {
        if (word == command.word()) {
            return handler(session, command);
        }
    }
    return LoopControl::Continue;
}

void run_cecp(CecpSession& session, std::istream& in) {
    run_command_loop(in, session.system, [&session](const Command& command) {
        return handle_cecp_line(session, command);
    });
}

}  // namespace pawnlark
