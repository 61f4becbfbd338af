#include "app/protocol/cecp/cecp_loop.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "app/engine/move_choice.h"
#include "app/faults/misbehaviour.h"
#include "app/protocol/answer_writer.h"
#include "app/protocol/cecp/cecp_commands.h"
#include "app/protocol/cecp/cecp_dialect.h"
#include "app/protocol/command_loop.h"
#include "app/protocol/handshake.h"

namespace pawnlark {
namespace {

using velloran::Color;
using velloran::Game;

// The engine's move, asked for by "go" or, in standard play, due after the opponent's move.
LoopControl engine_move(CecpSession& session) {
    CecpState& state = session.state;
    state.ply = count_ply(state.ply);
    CecpDialect dialect(session);
    return answer_search(session.answer_context(), dialect, state.game,
                         {state.games, state.ply, cecp_own_time_ms(state), cecp_limits(state)});
}

LoopControl cecp_protover(CecpSession& session, const Command&) {
    const ProtocolSettings& settings = session.settings;
    // The name goes in as it is, unescaped, like the rest of the line.
    const std::string features =
        "feature ping=1 setboard=1 usermove=1 san=0 sigint=0 sigterm=0 myname=\"" + settings.name
        + "\" variants=\"normal,fischerandom\" " + xboard_option_features(settings)
        + (settings.cecp_standard ? " playother=1 colors=0" : "")
        + (session.searcher.thinks() ? " analyze=1" : "")
        + (settings.options == OptionsMode::Echo ? " debug=1" : "");
    const HandshakeText text{
        .opening = {},
        .body = {},
        .closing = [&features](bool completes) -> std::optional<std::string> {
            return features + (completes ? " done=1" : " done=0");
        },
    };
    return answer_handshake(settings, CecpDialect(session).fault_mode(), session.out,
                            session.system, text);
}

LoopControl cecp_ping(CecpSession& session, const Command& command) {
    if (!command.word_at(1).empty()) {
        answer_readiness(session.settings, CecpDialect(session).fault_mode(), session.out,
                         "pong " + std::string(command.word_at(1)));
    }
    return LoopControl::Continue;
}

LoopControl cecp_new(CecpSession& session, const Command&) {
    CecpState& state = session.state;
    state.game = Game::new_game();
    state.chess960 = false;
    state.ply = 0;
    state.games = count_ply(state.games);
    state.time_cs.reset();
    state.force = false;
    state.engine_side = Color::Black;
    state.xboard.record.restart(state.game);
    return LoopControl::Continue;
}

LoopControl cecp_variant(CecpSession& session, const Command& command) {
    session.state.chess960 = command.word_at(1) == "fischerandom";
    return LoopControl::Continue;
}

// An unreadable position is dropped: the game and the ply counter stay as they were.
LoopControl cecp_setboard(CecpSession& session, const Command& command) {
    if (auto game = Game::from_fen(command.rest(), session.state.chess960)) {
        session.state.game = std::move(game).value();
        session.state.xboard.record.restart(session.state.game);
    }
    return LoopControl::Continue;
}

// Without standard play, bad or illegal moves are dropped without a word and an accepted move
// never starts a search.
LoopControl cecp_usermove(CecpSession& session, const Command& command) {
    CecpState& state = session.state;
    const ProtocolSettings& settings = session.settings;
    const std::string_view text = command.word_at(1);
    if (text.empty()) return LoopControl::Continue;
    const auto move = read_cecp_move(session, text);
    const bool rejected = move && settings.cecp_claim == ClaimKind::RejectUsermove
                          && fires(settings.cecp_claim_at_ply, count_ply(state.ply));
    if (!move || rejected) {
        if (settings.cecp_standard || rejected) {
            session.out.line("Illegal move: " + std::string(text));
        }
        return LoopControl::Continue;
    }
    state.game.play(*move);
    state.xboard.record.played(*move);
    state.ply = count_ply(state.ply);
    if (!settings.cecp_standard) return LoopControl::Continue;
    if (const auto end = game_end(session)) {
        session.out.line(*end);
        return LoopControl::Continue;
    }
    if (!state.force && state.engine_side == state.game.board().side_to_move()) {
        return engine_move(session);
    }
    return LoopControl::Continue;
}

LoopControl cecp_go(CecpSession& session, const Command& command) {
    CecpState& state = session.state;
    if (is_pending_request(command)) {
        state.search_pending = true;
        return LoopControl::Continue;
    }
    state.force = false;
    state.engine_side = state.game.board().side_to_move();
    return engine_move(session);
}

// "stop" and "ponderhit" alike: the UCI answer to a pending search, without pause or faults.
LoopControl cecp_stop(CecpSession& session, const Command&) {
    CecpState& state = session.state;
    if (state.search_pending) {
        CecpDialect dialect(session);
        answer_pending_search(session.answer_context(), dialect, state.game, false,
                              choose_move(state.game, session.generator, session.settings.random,
                                          state.options.noise),
                              false);
        state.search_pending = false;
    }
    return LoopControl::Continue;
}

LoopControl cecp_post(CecpSession& session, const Command&) {
    session.state.post = true;
    return LoopControl::Continue;
}

LoopControl cecp_nopost(CecpSession& session, const Command&) {
    session.state.post = false;
    return LoopControl::Continue;
}

LoopControl cecp_analyze(CecpSession& session, const Command&) {
    session.state.analyzing = true;
    return LoopControl::Continue;
}

LoopControl cecp_exit(CecpSession& session, const Command&) {
    session.state.analyzing = false;
    return LoopControl::Continue;
}

LoopControl cecp_quit(CecpSession& session, const Command&) {
    return quit(session.settings, session.system);
}

// Who offers a command: everyone, a thinking engine (--think), or standard play
// (--cecp-standard); where it is not offered it is ignored like an unknown word.
enum class Offered : std::uint8_t { Always, Thinking, StandardPlay };

// Every command: what it does when it arrives while the engine thinks, who offers it, and its
// handler. Mid-search, "?" moves now, "ping" and "quit" act at once, "." prints the status,
// "new", "force" and "result" end the search without a move, and in an analysis every command
// that changes the game or the mode ends it too; everything else waits for the search to end.
struct CecpCommand {
    std::string_view word;
    MidSearch mid_search;
    Offered offered;
    CecpHandler handler;
};

constexpr auto CecpCommands = std::to_array<CecpCommand>({
    {"protover", MidSearch::Defer, Offered::Always, cecp_protover},
    {"time", MidSearch::Defer, Offered::Always, cecp_time},
    {"ping", MidSearch::Now, Offered::Always, cecp_ping},
    {"new", MidSearch::Abort, Offered::Always, cecp_new},
    {"variant", MidSearch::AbortAnalysis, Offered::Always, cecp_variant},
    {"setboard", MidSearch::AbortAnalysis, Offered::Always, cecp_setboard},
    {"usermove", MidSearch::AbortAnalysis, Offered::Always, cecp_usermove},
    {"go", MidSearch::Defer, Offered::Always, cecp_go},
    {"stop", MidSearch::Defer, Offered::Always, cecp_stop},
    {"ponderhit", MidSearch::Defer, Offered::Always, cecp_stop},
    {"option", MidSearch::Defer, Offered::Always, cecp_option},
    {"quit", MidSearch::Now, Offered::Always, cecp_quit},
    {"otim", MidSearch::Defer, Offered::Always, cecp_otim},
    {"level", MidSearch::Defer, Offered::Always, cecp_level},
    {"st", MidSearch::Defer, Offered::Always, cecp_st},
    {"sd", MidSearch::Defer, Offered::Always, cecp_sd},
    {"post", MidSearch::Defer, Offered::Always, cecp_post},
    {"nopost", MidSearch::Defer, Offered::Always, cecp_nopost},
    {"?", MidSearch::MoveNow, Offered::Always, cecp_ignore},
    {".", MidSearch::Status, Offered::Always, cecp_ignore},
    {"analyze", MidSearch::AbortAnalysis, Offered::Thinking, cecp_analyze},
    {"exit", MidSearch::AbortAnalysis, Offered::Thinking, cecp_exit},
    {"force", MidSearch::Abort, Offered::StandardPlay, cecp_force},
    {"result", MidSearch::Abort, Offered::StandardPlay, cecp_force},
    {"playother", MidSearch::Defer, Offered::StandardPlay, cecp_playother},
    {"white", MidSearch::Defer, Offered::StandardPlay, cecp_white},
    {"black", MidSearch::Defer, Offered::StandardPlay, cecp_black},
    {"undo", MidSearch::AbortAnalysis, Offered::StandardPlay, cecp_undo},
    {"remove", MidSearch::AbortAnalysis, Offered::StandardPlay, cecp_remove},
    {"hint", MidSearch::Defer, Offered::StandardPlay, cecp_hint},
    {"bk", MidSearch::Defer, Offered::StandardPlay, cecp_bk},
    {"draw", MidSearch::Defer, Offered::StandardPlay, cecp_draw},
    {"edit", MidSearch::AbortAnalysis, Offered::StandardPlay, cecp_edit},
    {"accepted", MidSearch::Defer, Offered::StandardPlay, cecp_accepted},
    {"rejected", MidSearch::Defer, Offered::StandardPlay, cecp_rejected},
    // Taken and ignored: the engine has no opponent model, clock policy or pondering to set.
    {"computer", MidSearch::Defer, Offered::StandardPlay, cecp_ignore},
    {"name", MidSearch::Defer, Offered::StandardPlay, cecp_ignore},
    {"rating", MidSearch::Defer, Offered::StandardPlay, cecp_ignore},
    {"ics", MidSearch::Defer, Offered::StandardPlay, cecp_ignore},
    {"easy", MidSearch::Defer, Offered::StandardPlay, cecp_ignore},
    {"hard", MidSearch::Defer, Offered::StandardPlay, cecp_ignore},
    {"random", MidSearch::Defer, Offered::StandardPlay, cecp_ignore},
});

const CecpCommand* find_command(std::string_view word) {
    for (const CecpCommand& command : CecpCommands) {
        if (command.word == word) return &command;
    }
    return nullptr;
}

bool is_offered(const CecpSession& session, Offered offered) {
    switch (offered) {
        case Offered::Always:
            return true;
        case Offered::Thinking:
            return session.searcher.thinks();
        case Offered::StandardPlay:
            return session.settings.cecp_standard;
    }
    return false;
}

}  // namespace

LoopControl handle_cecp_line(CecpSession& session, const Command& command) {
    if (const auto edited = handle_edit_line(session, command)) return *edited;
    const CecpCommand* known = find_command(command.word());
    if (known && is_offered(session, known->offered)) return known->handler(session, command);
    // Managers that do not take the usermove feature send moves bare.
    if (session.settings.cecp_standard && !known && is_bare_move(session, command.word())) {
        const std::string line = "usermove " + std::string(command.line);
        return cecp_usermove(session, Command::from_line(line));
    }
    return LoopControl::Continue;
}

MidSearch cecp_mid_search(std::string_view word) {
    const CecpCommand* known = find_command(word);
    return known ? known->mid_search : MidSearch::Defer;
}

void run_cecp(CecpSession& session, Input& input) {
    // An analysis goes on until "exit": it starts again once the commands that interrupted it
    // have all been carried out, on the position they leave.
    run_command_loop(
        input, session.system,
        [&session](const Command& command) { return handle_cecp_line(session, command); },
        [&session] {
            if (!session.state.analyzing) return LoopControl::Continue;
            CecpDialect dialect(session);
            return session.searcher.analyze(session.answer_context(), dialect, session.state.game);
        });
}

}  // namespace pawnlark
