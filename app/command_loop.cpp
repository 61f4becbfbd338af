#include "app/command_loop.h"

namespace pawnlark {

void run_command_loop(std::istream& in, System& system,
                      const std::function<LoopControl(const Command&)>& handle) {
    LineReader reader(in);
    while (const std::optional<std::string_view> line = reader.next()) {
        switch (handle(Command::from_line(*line))) {
            case LoopControl::Continue:
                break;
            case LoopControl::Quit:
                return;
            case LoopControl::Crash:
                system.exit(ExitStatus::Crash);
                return;  // not reached: exit does not return (g++ can't see that here)
            case LoopControl::Stall:
                system.stall();
                return;
        }
    }
}

}  // namespace pawnlark
