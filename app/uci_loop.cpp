#include "uci_loop.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "command_loop.h"
#include "misbehaviour.h"
#include "move_choice.h"
#include "openings.h"
#include "search.h"

namespace pawnlark {
namespace {

LoopControl uci_uci(UciSession& session, const Command&) {
    session.out.line("id name " + session.settings.name);
    session.out.line("id author Velloran project");
    // Announced as off whatever the current mode: the default is what the option reports.
    session.out.line("option name UCI_Chess960 type check default false");
    session.out.line("uciok");
    return LoopControl::Continue;
}

LoopControl uci_isready(UciSession& session, const Command&) {
    session.out.line("readyok");
    return LoopControl::Continue;
}

// The option's name and value are found anywhere in the line rather than parsed, so any
// spelling of the command that mentions both works.
LoopControl uci_setoption(UciSession& session, const Command& command) {
    if (command.line.find("UCI_Chess960") != std::string_view::npos) {
        session.state.chess960 = command.line.find("true") != std::string_view::npos;
    }
    return LoopControl::Continue;
}

LoopControl uci_quit(UciSession&, const Command&) { return LoopControl::Quit; }

LoopControl uci_ucinewgame(UciSession& session, const Command&) {
    session.state.game = velloran::Game::new_game();
    session.state.ply = 0;
    return LoopControl::Continue;
}

constexpr std::string_view StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Unreadable FEN texts and moves are skipped without a word: the front end's next command
// describes the game afresh anyway.
LoopControl uci_position(UciSession& session, const Command& command) {
    UciState& state = session.state;
    const auto tokens = std::span(command.tokens).subspan(1);
    auto rest = tokens.begin();
    if (rest != tokens.end() && *rest == "startpos") {
        if (auto game = velloran::Game::from_fen(StartFen, state.chess960)) {
            state.game = std::move(game).value();
        }
        ++rest;
    } else if (rest != tokens.end() && *rest == "fen") {
        const auto moves = std::find(rest + 1, tokens.end(), std::string_view("moves"));
        std::string fen;
        for (auto token = rest + 1; token != moves; ++token) {
            if (!fen.empty()) fen += ' ';
            fen.append(*token);
        }
        if (auto game = velloran::Game::from_fen(fen, state.chess960)) {
            state.game = std::move(game).value();
        }
        rest = moves;
    }
    state.ply = 0;
    if (rest == tokens.end() || *rest != "moves") return LoopControl::Continue;
    for (++rest; rest != tokens.end(); ++rest) {
        if (const auto move = state.game.parse_move(*rest)) {
            state.game.play(move.value());
            state.ply = count_ply(state.ply);
        }
    }
    return LoopControl::Continue;
}

LoopControl uci_go(UciSession& session, const Command& command) {
    UciState& state = session.state;
    if (is_pending_request(command.tokens)) {
        state.search_pending = true;
        return LoopControl::Continue;
    }
    state.ply = count_ply(state.ply);
    const Settings& settings = session.settings;
    if (const auto control = before_answer(settings, session.system, state.ply, true);
        control != LoopControl::Continue) {
        return control;
    }
    if (fires(settings.illegal_at_ply, state.ply)) {
        session.out.line("bestmove a1a1");
        return LoopControl::Continue;
    }
    const auto choice = choose_move(state.game, session.generator, settings.random);
    if (!choice) {
        session.out.line("bestmove 0000");
        return LoopControl::Continue;
    }
    const std::string text = state.game.move_text(choice->move);
    // The time reported is the configured pause, not a measurement, so replies stay
    // byte-for-byte reproducible.
    session.out.line("info depth 1 score cp " + std::to_string(choice->score) + " nodes " +
                     std::to_string(state.game.board().legal_piece_moves().move_count()) +
                     " time " + std::to_string(settings.delay_ms) + " pv " + text);
    session.out.line("bestmove " + text);
    return LoopControl::Continue;
}

// "stop" and "ponderhit" alike: answer a pending search, without pause or faults.
LoopControl uci_stop(UciSession& session, const Command&) {
    if (session.state.search_pending) {
        answer_pending_search(session.out, session.state.game, session.generator,
                              session.settings.random);
        session.state.search_pending = false;
    }
    return LoopControl::Continue;
}

LoopControl uci_genfens(UciSession& session, const Command& command) {
    const auto& tokens = command.tokens;
    const std::uint32_t count =
        (tokens.size() > 1 ? parse_unsigned<std::uint32_t>(tokens[1]) : std::nullopt)
            .value_or(DefaultOpeningCount);
    std::uint64_t seed = session.settings.seed;
    if (const auto word = std::find(tokens.begin(), tokens.end(), std::string_view("seed"));
        word != tokens.end() && word + 1 != tokens.end()) {
        seed = parse_unsigned<std::uint64_t>(*(word + 1)).value_or(seed);
    }
    // Printed as each position is finished: a huge count runs in constant memory.
    OpeningGenerator openings(seed);
    for (std::uint32_t i = 0; i < count; ++i) {
        session.out.line("info string genfens " + openings.next_fen());
    }
    return LoopControl::Continue;
}

constexpr std::array<std::pair<std::string_view, UciHandler>, 10> UciCommands{{
    {"uci", uci_uci},
    {"isready", uci_isready},
    {"setoption", uci_setoption},
    {"ucinewgame", uci_ucinewgame},
    {"position", uci_position},
    {"go", uci_go},
    {"stop", uci_stop},
    {"ponderhit", uci_stop},
    {"genfens", uci_genfens},
    {"quit", uci_quit},
}};

}  // namespace

LoopControl handle_uci_line(UciSession& session, const Command& command) {
    for (const auto& [word, handler] : UciCommands) {
        if (word == command.word()) {
            return handler(session, command);
        }
    }
    return LoopControl::Continue;
}

void run_uci(UciSession& session, std::istream& in) {
    run_command_loop(in, session.system,
                     [&session](const Command& command) { return handle_uci_line(session, command); });
}

}  // namespace pawnlark
