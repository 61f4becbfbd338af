#pragma once

#include <functional>

#include "app/io/command.h"
#include "app/io/input.h"
#include "app/os/system.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/protocol_settings.h"

namespace pawnlark {

// "quit" in both dialects: ignored with --ignore-quit, else the loop ends after
// --quit-delay-ms.
LoopControl quit(const ProtocolSettings& settings, System& system);

// The read loop both dialects share: hands each line to `handle` until the input ends, a line
// is not UTF-8 or a handler says Quit; Crash and Stall are carried out through the system.
// Whenever every line read so far has been handled, `idle` runs (a CECP analysis starts again
// there), so lines put back by a search are all carried out first.
void run_command_loop(Input& input, System& system,
                      const std::function<LoopControl(const Command&)>& handle,
                      const std::function<LoopControl()>& idle = {});

}  // namespace pawnlark
