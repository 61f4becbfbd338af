#include "uci_loop.h"

#include <array>
#include <string_view>
#include <utility>

#include "command_loop.h"

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

constexpr std::array<std::pair<std::string_view, UciHandler>, 4> UciCommands{{
    {"uci", uci_uci},
    {"isready", uci_isready},
    {"setoption", uci_setoption},
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
