#pragma once

#include <functional>
#include <istream>

#include "app/io/command.h"
#include "app/io/input_queue.h"
#include "app/os/system.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/protocol_settings.h"

namespace pawnlark {

// "quit" in both dialects: ignored with --ignore-quit, else the loop ends after
// --quit-delay-ms.
LoopControl quit(const ProtocolSettings& settings, System& system);

// The read loop both dialects share: reads lines until the input ends, a line is not UTF-8 or
// a handler says Quit, then returns; Crash and Stall are carried out through the system.
void run_command_loop(std::istream& in, System& system,
                      const std::function<LoopControl(const Command&)>& handle);

// A dialect's loop: the plain one, or with `reads_ahead` (--think) the one over input read
// ahead by a thread, which `input` points to while the loop runs so that a search can watch it.
void run_dialect_loop(std::istream& in, System& system, bool reads_ahead, InputQueue*& input,
                      const std::function<LoopControl(const Command&)>& handle);

}  // namespace pawnlark
