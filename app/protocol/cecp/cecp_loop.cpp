#include "app/protocol/cecp/cecp_loop.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/engine/thinking.h"
#include "app/faults/misbehaviour.h"
#include "app/protocol/cecp/xboard_commands.h"
#include "app/protocol/command_loop.h"
#include "app/protocol/search_answer.h"
#include "velloran/text.h"

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

namespace {

// In standard play the end of the game is announced after the move that brings it.
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

std::string cecp_report(std::int32_t score, std::uint32_t nodes, std::uint64_t /*time_ms*/,
                        std::string_view pv) {
    return "1 " + std::to_string(score) + " 1 " + std::to_string(nodes) + " " + std::string(pv);
}

std::string cecp_flood_line(const FaultSettings& /*faults*/, std::uint32_t depth,
                            std::optional<std::string_view> first_move) {
    const std::string d = std::to_string(depth);
    std::string line = d + " 0 0 " + d;
    if (first_move) line.append(" ").append(*first_move);
    return line;
}

// The engine plays its own move as the manager will read it back, and announces the end of
// the game that move brings.
// Thinking output as "ply score time nodes pv", time in centiseconds, while "post" is on;
// mates as 100000 plus the moves to mate, as xboard reads them.
std::optional<std::string> cecp_thinking_line(const CecpSession& session,
                                              const ThinkReport& report) {
    if (!session.state.post || report.kind != ThinkReport::Kind::Line
        || report.bound != ThinkReport::Bound::Exact) {
        return std::nullopt;
    }
    const std::int64_t score = report.mate_in ? 100000 + *report.mate_in : report.score_cp;
    std::string line = std::to_string(report.depth) + " " + std::to_string(score) + " "
                       + std::to_string(report.time_ms / 10) + " " + std::to_string(report.nodes);
    for (const std::string& move : report.pv) line += " " + move;
    return line;
}

// The status line of "." in analysis.
std::string cecp_status(const ThinkingSearch& search, std::uint64_t time_ms) {
    return "stat01: " + std::to_string(time_ms / 10) + " "
           + std::to_string(search.nodes_at(time_ms)) + " " + std::to_string(search.depth()) + " 0 "
           + std::to_string(search.candidate_count()) + " " + search.best_move_text();
}

LoopControl cecp_ping(CecpSession& session, const Command& command);

// While thinking: "?" moves now, "ping" and "." are answered at once, "new", "force" and
// "result" end the search without a move, and in analysis every command that changes the game
// or the mode ends it too; they are then carried out (and analysis starts again unless it was
// "exit"). Anything else waits for the search to end.
MidSearch cecp_mid_search(CecpSession& session, std::string_view line) {
    const Command command = Command::from_line(line);
    const std::string_view word = command.word();
    if (word == "?") return session.state.analyzing ? MidSearch::Handled : MidSearch::Stop;
    if (word == ".") return MidSearch::Status;
    if (word == "ping") {
        static_cast<void>(cecp_ping(session, command));
        return MidSearch::Handled;
    }
    if (word == "quit") {
        return quit(session.settings, session.system) == LoopControl::Quit ? MidSearch::Quit
                                                                           : MidSearch::Handled;
    }
    constexpr std::array<std::string_view, 3> Stopping{"new", "force", "result"};
    constexpr std::array<std::string_view, 8> Changing{
        "setboard", "usermove", "undo", "remove", "edit", "exit", "analyze", "variant"};
    const auto among = [&](const auto& words) {
        return std::find(words.begin(), words.end(), word) != words.end();
    };
    if (among(Stopping) || (session.state.analyzing && among(Changing))) return MidSearch::Abort;
    return MidSearch::Defer;
}

AnswerDialect cecp_dialect(CecpSession& session) {
    return AnswerDialect{
        .move_word = "move",
        .no_move = "resign",
        .junk = " junk",
        .honours_stall_and_illegal = session.settings.cecp_standard,
        .makes_claims = true,
        .names_ponder_move = false,
        .report = cecp_report,
        .flood_line = cecp_flood_line,
        .move_text = [&session](Move move) { return cecp_move_text(session, move); },
        .after_move = [&session](Move move) -> std::optional<std::string> {
            const Move played = session.state.game.move_read_back(move);
            session.state.game.play(played);
            session.state.xboard.record.played(played);
            return game_end(session);
        },
        .mid_search = [&session](std::string_view line) { return cecp_mid_search(session, line); },
        .thinking_line =
            [&session](const ThinkReport& report) { return cecp_thinking_line(session, report); },
        .status_line = cecp_status,
    };
}

AnswerContext answer_context(CecpSession& session) {
    return {session.settings,  session.out,           session.system,
            session.generator, session.state.options, session.searcher};
}

// Centiseconds to milliseconds, saturating: a huge clock must not wrap into a short one.
std::uint64_t cs_to_ms(std::uint64_t centiseconds) {
    constexpr std::uint64_t MaxCs = std::numeric_limits<std::uint64_t>::max() / 10;
    return centiseconds > MaxCs ? std::numeric_limits<std::uint64_t>::max() : centiseconds * 10;
}

// The budget of a thinking engine from "st", "sd", "level" and "time"; a second a move when
// the front end has said nothing about time.
ThinkLimits cecp_limits(const CecpState& state) {
    ThinkLimits limits;
    limits.depth = state.search_depth;
    if (state.seconds_per_move) {
        limits.movetime_ms = *state.seconds_per_move > UINT64_MAX / 1000
                                 ? UINT64_MAX
                                 : *state.seconds_per_move * 1000;
    } else if (state.time_cs) {
        limits.remaining_ms = cs_to_ms(*state.time_cs);
        limits.increment_ms = state.increment_ms;
        if (state.moves_per_session > 0) {
            const std::uint64_t played = (state.game.fullmove() - 1) % state.moves_per_session;
            limits.moves_to_go = state.moves_per_session - played;
        }
    } else if (!limits.depth) {
        limits.movetime_ms = 1000;
    }
    return limits;
}

// The engine's move, asked for by "go" or, in standard play, due after the opponent's move.
LoopControl engine_move(CecpSession& session) {
    CecpState& state = session.state;
    state.ply = count_ply(state.ply);
    const std::optional<std::uint64_t> own_time_ms =
        state.time_cs ? std::optional(cs_to_ms(*state.time_cs)) : std::nullopt;
    return answer_search(answer_context(session), cecp_dialect(session), state.game,
                         {state.ply, own_time_ms, cecp_limits(state)});
}

LoopControl cecp_protover(CecpSession& session, const Command&) {
    const ProtocolSettings& settings = session.settings;
    if (settings.handshake_delay_ms > 0) session.system.sleep_ms(settings.handshake_delay_ms);
    if (settings.handshake_fault == HandshakeFault::Silent) return LoopControl::Continue;
    if (settings.handshake_fault == HandshakeFault::Exit) return LoopControl::Crash;
    // The name goes in as it is, unescaped, like the rest of the line.
    session.out.line("feature ping=1 setboard=1 usermove=1 san=0 sigint=0 sigterm=0 myname=\""
                     + settings.name + "\" variants=\"normal,fischerandom\" "
                     + xboard_option_features(settings)
                     + (settings.cecp_standard ? " playother=1 colors=0" : "")
                     + (session.searcher.thinks() ? " analyze=1" : "")
                     + (settings.options == OptionsMode::Echo ? " debug=1" : "")
                     + (settings.handshake_fault == HandshakeFault::NoOk ? " done=0" : " done=1"));
    return LoopControl::Continue;
}

LoopControl cecp_ping(CecpSession& session, const Command& command) {
    if (!command.word_at(1).empty()
        && session.settings.handshake_fault != HandshakeFault::NoReady) {
        session.out.line("pong " + std::string(command.word_at(1)));
    }
    return LoopControl::Continue;
}

LoopControl cecp_new(CecpSession& session, const Command&) {
    CecpState& state = session.state;
    state.game = Game::new_game();
    state.chess960 = false;
    state.ply = 0;
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
        answer_pending_search(answer_context(session), state.game, false,
                              choose_move(state.game, session.generator, session.settings.random,
                                          state.options.noise),
                              false);
        state.search_pending = false;
    }
    return LoopControl::Continue;
}

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

// The engine's remaining time in centiseconds, for a flag fall on demand.
LoopControl cecp_time(CecpSession& session, const Command& command) {
    if (const auto time = velloran::parse_unsigned<std::uint64_t>(command.word_at(1))) {
        session.state.time_cs = time;
    }
    return LoopControl::Continue;
}

LoopControl cecp_otim(CecpSession& session, const Command& command) {
    if (const auto time = velloran::parse_unsigned<std::uint64_t>(command.word_at(1))) {
        session.state.opponent_time_cs = time;
    }
    return LoopControl::Continue;
}

// "level MPS BASE INC": BASE as minutes or minutes:seconds, INC in whole seconds. Only the
// moves per session and the increment matter here: "time" gives the clock itself.
LoopControl cecp_level(CecpSession& session, const Command& command) {
    const auto moves = velloran::parse_unsigned<std::uint64_t>(command.word_at(1));
    const auto increment = velloran::parse_unsigned<std::uint64_t>(command.word_at(3));
    if (moves && increment) {
        session.state.moves_per_session = *moves;
        session.state.increment_ms =
            *increment > UINT64_MAX / 1000 ? UINT64_MAX : *increment * 1000;
    }
    return LoopControl::Continue;
}

LoopControl cecp_st(CecpSession& session, const Command& command) {
    session.state.seconds_per_move = velloran::parse_unsigned<std::uint64_t>(command.word_at(1));
    return LoopControl::Continue;
}

LoopControl cecp_sd(CecpSession& session, const Command& command) {
    session.state.search_depth = velloran::parse_unsigned<std::uint32_t>(command.word_at(1));
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

constexpr auto CecpCommands = std::to_array<std::pair<std::string_view, CecpHandler>>({
    {"protover", cecp_protover},
    {"time", cecp_time},
    {"ping", cecp_ping},
    {"new", cecp_new},
    {"variant", cecp_variant},
    {"setboard", cecp_setboard},
    {"usermove", cecp_usermove},
    {"go", cecp_go},
    {"stop", cecp_stop},
    {"ponderhit", cecp_stop},
    {"option", cecp_option},
    {"quit", cecp_quit},
    {"otim", cecp_otim},
    {"level", cecp_level},
    {"st", cecp_st},
    {"sd", cecp_sd},
    {"post", cecp_post},
    {"nopost", cecp_nopost},
});

// The commands of a thinking engine (--think); without it they are ignored like unknown words.
constexpr auto ThinkingCommands = std::to_array<std::pair<std::string_view, CecpHandler>>({
    {"analyze", cecp_analyze},
    {"exit", cecp_exit},
});

// The commands of standard xboard play; without it they are ignored like any unknown word.
constexpr auto StandardPlayCommands = std::to_array<std::pair<std::string_view, CecpHandler>>({
    {"force", cecp_force},
    {"result", cecp_force},
    {"playother", cecp_playother},
    {"white", cecp_white},
    {"black", cecp_black},
    {"undo", cecp_undo},
    {"remove", cecp_remove},
    {"hint", cecp_hint},
    {"bk", cecp_bk},
    {"draw", cecp_draw},
    {"edit", cecp_edit},
    {"accepted", cecp_accepted},
    {"rejected", cecp_rejected},
    // Taken and ignored: the engine has no opponent model, clock policy or pondering to set.
    {"computer", cecp_ignore},
    {"name", cecp_ignore},
    {"rating", cecp_ignore},
    {"ics", cecp_ignore},
    {"easy", cecp_ignore},
    {"hard", cecp_ignore},
    {"random", cecp_ignore},
});

}  // namespace

namespace {

LoopControl dispatch(CecpSession& session, const Command& command) {
    if (const auto edited = handle_edit_line(session, command)) return *edited;
    const std::string_view first = command.word();
    for (const auto& [word, handler] : CecpCommands) {
        if (word == first) return handler(session, command);
    }
    if (session.searcher.thinks()) {
        for (const auto& [word, handler] : ThinkingCommands) {
            if (word == first) return handler(session, command);
        }
    }
    if (session.settings.cecp_standard) {
        for (const auto& [word, handler] : StandardPlayCommands) {
            if (word == first) return handler(session, command);
        }
        // Managers that do not take the usermove feature send moves bare.
        if (is_bare_move(session, first)) {
            const std::string line = "usermove " + std::string(command.line);
            return cecp_usermove(session, Command::from_line(line));
        }
    }
    return LoopControl::Continue;
}

}  // namespace

LoopControl handle_cecp_line(CecpSession& session, const Command& command) {
    return dispatch(session, command);
}

void run_cecp(CecpSession& session, Input& input) {
    // An analysis goes on until "exit": it starts again once the commands that interrupted it
    // have all been carried out, on the position they leave.
    run_command_loop(
        input, session.system,
        [&session](const Command& command) { return handle_cecp_line(session, command); },
        [&session] {
            if (!session.state.analyzing) return LoopControl::Continue;
            return analyze(answer_context(session), cecp_dialect(session), session.state.game);
        });
}

}  // namespace pawnlark
