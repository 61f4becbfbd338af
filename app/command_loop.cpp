#include "app/command_loop.h"

namespace pawnlark {
namespace {

// Carries out how a handled line leaves the loop; false when the loop ends.
bool go_on(LoopControl control, System& system) {
    if (control == LoopControl::Crash) system.exit(ExitStatus::Crash);
    if (control == LoopControl::Stall) system.stall();
    return control == LoopControl::Continue;
}

}  // namespace

void run_command_loop(std::istream& in, System& system,
                      const std::function<LoopControl(const Command&)>& handle) {
    LineReader reader(in);
    while (const std::optional<std::string_view> line = reader.next()) {
        if (!go_on(handle(Command::from_line(*line)), system)) return;
    }
}

void run_command_loop(InputQueue& input, System& system,
                      const std::function<LoopControl(const Command&)>& handle) {
    while (const std::optional<std::string> line = input.next()) {
        if (!go_on(handle(Command::from_line(*line)), system)) return;
    }
}

}  // namespace pawnlark
