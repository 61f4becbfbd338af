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
#include "app/protocol/answer_writer.h"
#include "app/protocol/command_loop.h"
#include "app/protocol/handshake.h"
#include "app/protocol/option_text.h"
#include "app/protocol/uci/uci_dialect.h"
#include "app/protocol/uci/uci_position.h"
#include "app/protocol/uci/uci_search.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

// The option lines of the handshake: the defaults, whatever has been set since.
std::vector<std::string> option_lines(const UciSession& session) {
    const ProtocolSettings& settings = session.settings;
    std::vector<std::string> lines;
    if (settings.options != OptionsMode::Basic) {
        for (const OptionSpec& option :
             option_catalogue(Protocol::Uci, !settings.no_chess960_option)) {
            lines.push_back(uci_option_line(option));
        }
        return lines;
    }
    // Announced as off whatever the current mode: the default is what the option reports.
    if (!settings.no_chess960_option) {
        lines.emplace_back("option name UCI_Chess960 type check default false");
    }
    if (settings.ponder) lines.emplace_back("option name Ponder type check default false");
    if (session.searcher.thinks()) {
        for (const OptionSpec& option : search_options()) lines.push_back(uci_option_line(option));
    }
    return lines;
}

LoopControl uci_uci(UciSession& session, const Command&) {
    HandshakeText text{
        .opening = {"id name " + session.settings.name},
        .body = option_lines(session),
        .closing =
            [](bool completes) {
                return completes ? std::optional<std::string>("uciok") : std::nullopt;
            },
    };
    text.body.insert(text.body.begin(), "id author Velloran project");
    return answer_handshake(session.settings, DialectMode::Uci, session.out, session.system, text);
}

LoopControl uci_isready(UciSession& session, const Command&) {
    answer_readiness(session.settings, DialectMode::Uci, session.out, "readyok");
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
    session.state.games = count_ply(session.state.games);
    session.state.last_position.line.clear();
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

// Every command, what it does when it arrives while the engine thinks (readiness and the end
// of the search at once, everything else after the answer), and its handler.
struct UciCommand {
    std::string_view word;
    MidSearch mid_search;
    UciHandler handler;
};

constexpr auto UciCommands = std::to_array<UciCommand>({
    {"uci", MidSearch::Defer, uci_uci},
    {"isready", MidSearch::Now, uci_isready},
    {"setoption", MidSearch::Defer, uci_setoption},
    {"ucinewgame", MidSearch::Defer, uci_ucinewgame},
    {"position", MidSearch::Defer, uci_position},
    {"go", MidSearch::Defer, uci_go},
    {"stop", MidSearch::Stop, uci_stop},
    {"ponderhit", MidSearch::PonderHit, uci_stop},
    {"genfens", MidSearch::Defer, uci_genfens},
    {"quit", MidSearch::Now, uci_quit},
});

const UciCommand* find_command(std::string_view word) {
    for (const UciCommand& command : UciCommands) {
        if (command.word == word) return &command;
    }
    return nullptr;
}

}  // namespace

LoopControl handle_uci_line(UciSession& session, const Command& command) {
    const UciCommand* known = find_command(command.word());
    return known ? known->handler(session, command) : LoopControl::Continue;
}

MidSearch uci_mid_search(std::string_view word) {
    const UciCommand* known = find_command(word);
    return known ? known->mid_search : MidSearch::Defer;
}

void run_uci(UciSession& session, Input& input) {
    run_command_loop(input, session.system, [&session](const Command& command) {
        return handle_uci_line(session, command);
    });
}

}  // namespace pawnlark
