#include "app/cecp_loop.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/command_loop.h"
#include "app/misbehaviour.h"
#include "app/move_choice.h"
#include "app/search.h"
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

// The engine's move, asked for by "go" or, in standard play, due after the opponent's move:
// count the ply, run the faults and the pause, then answer.
LoopControl engine_move(CecpSession& session) {
    CecpState& state = session.state;
    const Settings& settings = session.settings;
    state.ply = count_ply(state.ply);
    const std::uint32_t ply = state.ply;
    const std::optional<std::uint64_t> own_time_ms =
        state.time_cs ? std::optional(*state.time_cs * 10) : std::nullopt;
    if (const Pause pause =
            before_answer(settings, session.system, ply, settings.cecp_standard, own_time_ms);
        pause.control != LoopControl::Continue) {
        return pause.control;
    }
    if (flood_due(settings, ply)) {
        const auto moves = sorted_legal_moves(state.game);
        write_flood(
            session.out, settings, true,
            moves.empty() ? std::nullopt : std::optional(cecp_move_text(session, moves.front())));
    }
    const auto answer = [&](std::vector<std::string> lines, std::optional<GarbleKind> garble) {
        return write_answer(session.out, settings, ply, lines, garble);
    };
    if (fires(settings.cecp_claim_at_ply, ply)) {
        switch (settings.cecp_claim) {
            case ClaimKind::Resign:
                return answer({"resign"}, std::nullopt);
            case ClaimKind::ClaimWin:
                return answer(
                    {state.game.board().side_to_move() == Color::White ? "1-0 {White mates}"
                                                                       : "0-1 {Black mates}"},
                    std::nullopt);
            case ClaimKind::OfferDraw:
                session.out.line("offer draw");
                break;
            case ClaimKind::ClaimDraw:
                session.out.line("1/2-1/2 {Draw by repetition}");
                break;
            case ClaimKind::RejectUsermove:
                break;
        }
    }
    if (settings.cecp_standard && fires(settings.illegal_at_ply, ply)) {
        return answer({"move a1a1"}, std::nullopt);
    }
    const auto garble = garble_due(settings, ply);
    if (garble == GarbleKind::Empty) return answer({"move"}, garble);
    if (garble == GarbleKind::Null) return answer({"move 0000"}, garble);
    const auto choice = choose_move(state.game, session.generator, settings.random);
    if (!choice) return answer({"resign"}, garble);
    const std::string text = garble == GarbleKind::Kxr && !state.game.chess960()
                                 ? choice->move.text()
                                 : cecp_move_text(session, choice->move);
    std::vector<std::string> lines{
        "1 " + std::to_string(choice->score) + " 1 "
            + std::to_string(state.game.board().legal_piece_moves().move_count()) + " " + text,
        "move " + text + (garble == GarbleKind::Trailing ? " junk" : "")};
    // Played as the manager will read it back; a castling text of a king off the e-file that
    // does not read back is played as chosen.
    const auto read_back = read_cecp_move(session, text);
    state.game.play(read_back.value_or(choice->move));
    if (const auto end = game_end(session)) lines.push_back(*end);
    return answer(std::move(lines), garble);
}

LoopControl cecp_protover(CecpSession& session, const Command&) {
    const Settings& settings = session.settings;
    if (settings.handshake_delay_ms > 0) session.system.sleep_ms(settings.handshake_delay_ms);
    if (settings.handshake_fault == HandshakeFault::Silent) return LoopControl::Continue;
    if (settings.handshake_fault == HandshakeFault::Exit) return LoopControl::Crash;
    // The name goes in as it is, unescaped, like the rest of the line.
    session.out.line("feature ping=1 setboard=1 usermove=1 san=0 sigint=0 sigterm=0 myname=\""
                     + settings.name
                     + "\" variants=\"normal,fischerandom\" option=\"Noise -spin 25 0 100\""
                     + (settings.cecp_standard ? " playother=1 colors=0" : "")
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
    }
    return LoopControl::Continue;
}

// Without standard play, bad or illegal moves are dropped without a word and an accepted move
// never starts a search.
LoopControl cecp_usermove(CecpSession& session, const Command& command) {
    CecpState& state = session.state;
    const Settings& settings = session.settings;
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
    if (session.state.search_pending) {
        answer_pending_search(session.out, session.state.game, session.generator,
                              session.settings.random, false);
        session.state.search_pending = false;
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
    {"quit", cecp_quit},
});

// The commands of standard xboard play; without it they are ignored like any unknown word.
constexpr auto StandardPlayCommands = std::to_array<std::pair<std::string_view, CecpHandler>>({
    {"force", cecp_force},
    {"result", cecp_force},
    {"playother", cecp_playother},
    {"white", cecp_white},
    {"black", cecp_black},
});

}  // namespace

LoopControl handle_cecp_line(CecpSession& session, const Command& command) {
    for (const auto& [word, handler] : CecpCommands) {
        if (word == command.word()) {
            return handler(session, command);
        }
    }
    if (session.settings.cecp_standard) {
        for (const auto& [word, handler] : StandardPlayCommands) {
            if (word == command.word()) {
                return handler(session, command);
            }
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
