#include "app/protocol/uci/uci_loop.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/engine/openings.h"
#include "app/engine/thinking.h"
#include "app/faults/misbehaviour.h"
#include "app/io/line_reader.h"
#include "app/protocol/command_loop.h"
#include "app/protocol/search_answer.h"
#include "app/protocol/uci/uci_dialect.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

using velloran::Move;

LoopControl uci_uci(UciSession& session, const Command&) {
    const ProtocolSettings& settings = session.settings;
    if (settings.handshake_delay_ms > 0) session.system.sleep_ms(settings.handshake_delay_ms);
    if (settings.handshake_fault == HandshakeFault::Silent) return LoopControl::Continue;
    session.out.line("id name " + settings.name);
    if (settings.handshake_fault == HandshakeFault::Exit) return LoopControl::Crash;
    session.out.line("id author Velloran project");
    if (settings.options != OptionsMode::Basic) {
        // Defaults, whatever has been set since: what the options report is their default.
        for (const OptionSpec& option :
             option_catalogue(Protocol::Uci, !settings.no_chess960_option)) {
            session.out.line(uci_option_line(option));
        }
    } else {
        // Announced as off whatever the current mode: the default is what the option reports.
        if (!settings.no_chess960_option) {
            session.out.line("option name UCI_Chess960 type check default false");
        }
        if (settings.ponder) session.out.line("option name Ponder type check default false");
        if (session.searcher.thinks()) {
            for (const OptionSpec& option : search_options()) {
                session.out.line(uci_option_line(option));
            }
        }
    }
    if (settings.handshake_fault != HandshakeFault::NoOk) session.out.line("uciok");
    return LoopControl::Continue;
}

LoopControl uci_isready(UciSession& session, const Command&) {
    if (session.settings.handshake_fault != HandshakeFault::NoReady) session.out.line("readyok");
    return LoopControl::Continue;
}

// The full catalogue: the line read by the UCI grammar, every value checked, and a refused
// option answered by one "info string" that says why, changing nothing.
void set_catalogue_option(UciSession& session, const Command& command) {
    const ProtocolSettings& settings = session.settings;
    const auto catalogue = option_catalogue(Protocol::Uci, !settings.no_chess960_option);
    const OptionOutcome outcome = read_setoption(catalogue, command.line);
    if (const auto* error = std::get_if<std::string>(&outcome)) {
        session.out.line("info string " + *error);
        return;
    }
    const auto& setting = std::get<OptionSetting>(outcome);
    UciState& state = session.state;
    apply_option(setting, state.options);
    if (setting.option->effect == OptionEffect::Chess960) state.chess960 = setting.number != 0;
    if (setting.option->effect == OptionEffect::ResetAll) state.chess960 = false;
    if (settings.options == OptionsMode::Echo) session.out.line("info string " + describe(setting));
}

// Without the catalogue, the option's name and value are found anywhere in the line rather
// than parsed, so any spelling of the command that mentions both works.
LoopControl uci_setoption(UciSession& session, const Command& command) {
    if (session.settings.options != OptionsMode::Basic) {
        set_catalogue_option(session, command);
        return LoopControl::Continue;
    }
    if (!session.settings.no_chess960_option
        && command.line.find("UCI_Chess960") != std::string_view::npos) {
        session.state.chess960 = command.line.find("true") != std::string_view::npos;
    }
    // A thinking engine also offers the options that shape its analysis.
    if (session.searcher.thinks()) {
        const OptionOutcome outcome = read_setoption(search_options(), command.line);
        if (const auto* setting = std::get_if<OptionSetting>(&outcome)) {
            apply_option(*setting, session.state.options);
        }
    }
    return LoopControl::Continue;
}

LoopControl uci_quit(UciSession& session, const Command&) {
    return quit(session.settings, session.system);
}

LoopControl uci_ucinewgame(UciSession& session, const Command&) {
    session.state.game = velloran::Game::new_game();
    session.state.ply = 0;
    session.state.last_position.line.clear();
    return LoopControl::Continue;
}

constexpr std::string_view StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Plays the readable moves among the words, counting each; unreadable ones are skipped.
void play_moves(UciState& state, velloran::Words::Iterator word, velloran::Words::Iterator end) {
    for (; word != end; ++word) {
        if (const auto move = state.game.parse_move(*word)) {
            state.game.play(move.value());
            state.ply = count_ply(state.ply);
        }
    }
}

// The moves a line adds to the remembered one, when it repeats that line word for word and
// only adds moves: then the game and the counter it left can be carried on.
std::optional<std::string_view> added_moves(const UciState& state, std::string_view line) {
    const PositionMemo& memo = state.last_position;
    if (memo.line.empty() || memo.chess960 != state.chess960 || !line.starts_with(memo.line)) {
        return std::nullopt;
    }
    const std::string_view added = line.substr(memo.line.size());
    if (added.empty()) return added;
    // The remembered last word must end where it ended, not go on into a longer word.
    if (trim(added).data() == added.data()) return std::nullopt;
    if (memo.in_moves) return added;
    const velloran::Words words(added);
    if (*words.begin() != "moves") return std::nullopt;
    return words.from(std::next(words.begin()));
}

// Unreadable FEN texts and moves are skipped without a word: the front end's next command
// describes the game afresh anyway. Front ends resend the whole game with every move, so a
// line that extends the last one plays only its new moves, with the same result as reading
// it afresh.
LoopControl uci_position(UciSession& session, const Command& command) {
    UciState& state = session.state;
    PositionMemo& memo = state.last_position;
    if (const auto added = added_moves(state, command.line)) {
        const velloran::Words words(*added);
        state.ply = memo.ply;
        play_moves(state, words.begin(), words.end());
        memo.in_moves = memo.in_moves || memo.line.size() < command.line.size();
        memo.line.append(command.line.substr(memo.line.size()));
        memo.ply = state.ply;
        return LoopControl::Continue;
    }
    const velloran::Words words = command.words();
    auto word = std::next(words.begin());
    bool fresh = false;
    if (word != words.end() && *word == "startpos") {
        state.game = velloran::Game::from_fen(StartFen, state.chess960).value();
        fresh = true;
        ++word;
    } else if (word != words.end() && *word == "fen") {
        // More than six fields is refused anyway: at most seven are kept, whatever the length.
        std::vector<std::string_view> fields;
        for (++word; word != words.end() && *word != "moves"; ++word) {
            if (fields.size() < 7) fields.push_back(*word);
        }
        std::string fen;
        for (const std::string_view field : fields) {
            if (!fen.empty()) fen += ' ';
            fen.append(field);
        }
        if (auto game = velloran::Game::from_fen(fen, state.chess960)) {
            state.game = std::move(game).value();
            fresh = true;
        }
    }
    state.ply = 0;
    const bool in_moves = word != words.end() && *word == "moves";
    if (in_moves) play_moves(state, std::next(word), words.end());
    // Only a line that built its game afresh and read nothing but moves can be carried on.
    if (fresh && (in_moves || word == words.end())) {
        memo.line.assign(command.line);
        memo.chess960 = state.chess960;
        memo.in_moves = in_moves;
        memo.ply = state.ply;
    } else {
        memo.line.clear();
    }
    return LoopControl::Continue;
}

// The engine's own clock for a flag fall: the move time, else the mover's remaining time.
std::optional<std::uint64_t> own_time_ms(const Command& command, const velloran::Game& game) {
    const auto value_after = [&](std::string_view word) -> std::optional<std::uint64_t> {
        const auto value = command.value_after(word);
        return value ? velloran::parse_unsigned<std::uint64_t>(*value) : std::nullopt;
    };
    if (const auto movetime = value_after("movetime")) return movetime;
    return value_after(game.board().side_to_move() == velloran::Color::White ? "wtime" : "btime");
}

std::string uci_report(std::int32_t score, std::uint32_t nodes, std::uint64_t time_ms,
                       std::string_view pv) {
    return "info depth 1 score cp " + std::to_string(score) + " nodes " + std::to_string(nodes)
           + " time " + std::to_string(time_ms) + " pv " + std::string(pv);
}

std::string uci_flood_line(const FaultSettings& settings, std::uint32_t depth,
                           std::optional<std::string_view> first_move) {
    if (settings.flood_kind == FloodKind::String) return "info string score cp 100000 pv a1a1";
    const std::string d = std::to_string(depth);
    const bool second = settings.flood_kind == FloodKind::MultiPv && depth % 2 == 0;
    const bool bad_pv = settings.flood_kind == FloodKind::BadPv;
    std::string line;
    line.append("info depth ").append(d).append(" seldepth ").append(d);
    line.append(second ? " multipv 2" : " multipv 1");
    line.append(" score cp 0 nodes ").append(d).append(" nps 1000 time 0");
    if (first_move || bad_pv) line.append(" pv");
    if (first_move) line.append(" ").append(*first_move);
    if (bad_pv) line.append(" a1a1");
    return line;
}

// While thinking, readiness and the end of the search are answered at once; everything else
// waits for the answer.
MidSearch uci_mid_search(UciSession& session, std::string_view line) {
    const std::string_view word = Command::from_line(line).word();
    if (word == "stop") return MidSearch::Stop;
    if (word == "ponderhit") return MidSearch::PonderHit;
    if (word == "isready") {
        static_cast<void>(uci_isready(session, Command::from_line(line)));
        return MidSearch::Handled;
    }
    if (word == "quit") {
        return quit(session.settings, session.system) == LoopControl::Quit ? MidSearch::Quit
                                                                           : MidSearch::Handled;
    }
    return MidSearch::Defer;
}

AnswerDialect uci_dialect(UciSession& session) {
    return AnswerDialect{
        .move_word = "bestmove",
        .no_move = "bestmove 0000",
        .junk = " ponder",
        .honours_stall_and_illegal = true,
        .makes_claims = false,
        .names_ponder_move = session.settings.ponder || session.state.options.ponder,
        .report = uci_report,
        .flood_line = uci_flood_line,
        .move_text = [&game = session.state.game](Move move) { return game.move_text(move); },
        .after_move = {},
        .mid_search = [&session](std::string_view line) { return uci_mid_search(session, line); },
        .thinking_line = [](const ThinkReport& report) -> std::optional<std::string> {
            return uci_info_line(report);
        },
        .info_quirk = session.settings.info_quirk,
    };
}

AnswerContext answer_context(UciSession& session) {
    return {session.settings,  session.out,           session.system,
            session.generator, session.state.options, session.searcher};
}

LoopControl uci_go(UciSession& session, const Command& command) {
    UciState& state = session.state;
    const ProtocolSettings& settings = session.settings;
    const ThinkLimits limits = read_uci_limits(command, state.game.board().side_to_move());
    if (is_pending_request(command)) {
        const bool premature =
            command.has_argument("ponder") && fires(settings.ponder_premature_at_ply, state.ply);
        if (premature) {
            answer_pending_search(
                answer_context(session), state.game, settings.ponder,
                choose_move(state.game, session.generator, settings.random, state.options.noise),
                false);
            return LoopControl::Continue;
        }
        const PendingSearch search = start_pending_search(
            answer_context(session), uci_dialect(session), state.game, limits, settings.ponder);
        state.search_pending = search.pending;
        return search.control;
    }
    state.ply = count_ply(state.ply);
    return answer_search(answer_context(session), uci_dialect(session), state.game,
                         {state.ply, own_time_ms(command, state.game), limits});
}

// "stop" and "ponderhit" alike: answer a pending search, without pause or faults.
LoopControl uci_stop(UciSession& session, const Command&) {
    UciState& state = session.state;
    if (state.search_pending) {
        answer_pending_search(answer_context(session), state.game, session.settings.ponder,
                              choose_move(state.game, session.generator, session.settings.random,
                                          state.options.noise),
                              false);
        state.search_pending = false;
    }
    return LoopControl::Continue;
}

LoopControl uci_genfens(UciSession& session, const Command& command) {
    const std::uint32_t count =
        velloran::parse_unsigned<std::uint32_t>(command.word_at(1)).value_or(DefaultOpeningCount);
    std::uint64_t seed = session.settings.seed;
    if (const auto word = command.value_after("seed")) {
        seed = velloran::parse_unsigned<std::uint64_t>(*word).value_or(seed);
    }
    // Printed as each position is finished: a huge count runs in constant memory.
    OpeningGenerator openings(seed);
    for (std::uint32_t i = 0; i < count; ++i) {
        session.out.line("info string genfens " + openings.next_fen());
    }
    return LoopControl::Continue;
}

constexpr auto UciCommands = std::to_array<std::pair<std::string_view, UciHandler>>({
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
});

}  // namespace

LoopControl handle_uci_line(UciSession& session, const Command& command) {
    const std::string_view first = command.word();
    for (const auto& [word, handler] : UciCommands) {
        if (word == first) {
            return handler(session, command);
        }
    }
    return LoopControl::Continue;
}

void run_uci(UciSession& session, Input& input) {
    run_command_loop(input, session.system, [&session](const Command& command) {
        return handle_uci_line(session, command);
    });
}

}  // namespace pawnlark
