#include "app/protocol/command_loop.h"

namespace pawnlark {
namespace {

// Carries out how a handled line leaves the loop; false when the loop ends.
bool go_on(LoopControl control, System& system) {
    if (control == LoopControl::Crash) system.exit(ExitStatus::Crash);
    if (control == LoopControl::Stall) system.stall();
    return control == LoopControl::Continue;
}

}  // namespace

LoopControl quit(const ProtocolSettings& settings, System& system) {
    if (settings.ignore_quit) return LoopControl::Continue;
    if (settings.quit_delay_ms > 0) system.sleep_ms(settings.quit_delay_ms);
    return LoopControl::Quit;
}

void run_command_loop(Input& input, System& system,
                      const std::function<LoopControl(const Command&)>& handle,
                      const std::function<LoopControl()>& idle) {
    while (const std::optional<std::string_view> line = input.next()) {
        if (!go_on(handle(Command::from_line(*line)), system)) return;
        if (idle && !input.has_deferred() && !go_on(idle(), system)) return;
    }
}

}  // namespace pawnlark
