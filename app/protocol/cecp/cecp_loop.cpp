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
using velloran::Move;

bool is_castling(const Game& game, Move move) {
    const auto& board = game.board();
    return board.piece_at(move.from) == velloran::Piece::King
           && board.color_at(move.to) == board.side_to_move();
}

}  // namespace

// Standard xboard managers send Chess960 castling as O-O / O-O-O whatever san says, and read
// it back the same way.
std::string cecp_move_text(const CecpSession& session, Move move) {
    const Game& game = session.state.game;
    if (session.settings.cecp_standard && game.chess960() && is_castling(game, move)) {
        return move.to > move.from ? "O-O" : "O-O-O";
    }
    return game.move_text(move);
}

std::optional<Move> read_cecp_move(const CecpSession& session, std::string_view text) {
    const Game& game = session.state.game;
    if (session.settings.cecp_standard && (text == "O-O" || text == "O-O-O")) {
        for (const Move move : game.legal_moves()) {
            if (is_castling(game, move) && (move.to > move.from) == (text == "O-O")) return move;
        }
        return std::nullopt;
    }
    const auto move = game.parse_move(text);
    return move.has_value() ? std::optional(move.value()) : std::nullopt;
}

std::optional<std::string> game_end(const CecpSession& session) {
    if (!session.settings.cecp_standard) return std::nullopt;
    switch (session.state.game.status()) {
        case velloran::GameStatus::Checkmate:
            return session.state.game.board().side_to_move() == Color::Black ? "1-0 {White mates}"
                                                                             : "0-1 {Black mates}";
        case velloran::GameStatus::Stalemate:
            return "1/2-1/2 {Stalemate}";
        default:
            return std::nullopt;
    }
}

namespace {

// The engine's move, asked for by "go" or, in standard play, due after the opponent's move.
LoopControl engine_move(CecpSession& session) {
    CecpState& state = session.state;
    state.ply = count_ply(state.ply);
    CecpDialect dialect(session);
    return answer_search(session.answer_context(), dialect, state.game,
                         {state.games, state.ply, cecp_own_time_ms(state), cecp_limits(state)});
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

DialectMode cecp_fault_mode(const ProtocolSettings& settings) {
    return settings.cecp_standard ? DialectMode::CecpStandard : DialectMode::Cecp;
}

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
