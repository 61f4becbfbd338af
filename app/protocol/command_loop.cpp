#include "app/protocol/command_loop.h"

#include "app/io/line_reader.h"

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

void run_command_loop(std::istream& in, System& system,
                      const std::function<LoopControl(const Command&)>& handle) {
    LineReader reader(in);
    while (const std::optional<std::string_view> line = reader.next()) {
        if (!go_on(handle(Command::from_line(*line)), system)) return;
    }
}

void run_dialect_loop(std::istream& in, System& system, bool reads_ahead, InputQueue*& input,
                      const std::function<LoopControl(const Command&)>& handle) {
    if (!reads_ahead) {
        run_command_loop(in, system, handle);
        return;
    }
    InputQueue queue(in);
    input = &queue;
    while (const std::optional<std::string> line = queue.next()) {
        if (!go_on(handle(Command::from_line(*line)), system)) break;
    }
    input = nullptr;
}

}  // namespace pawnlark
