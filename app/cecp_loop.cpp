#include "cecp_loop.h"

#include <array>
#include <string_view>
#include <utility>

#include "command_loop.h"

namespace pawnlark {
namespace {

LoopControl cecp_quit(CecpSession&, const Command&) { return LoopControl::Quit; }

constexpr std::array<std::pair<std::string_view, CecpHandler>, 1> CecpCommands{{
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
