#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "app/io.h"
#include "app/settings.h"
#include "app/system.h"

namespace pawnlark {

// The next value of a ply counter. It stops at its maximum instead of wrapping, so an option
// that has fired cannot switch itself off.
std::uint32_t count_ply(std::uint32_t ply);

// Whether a ply option fires: from the first check where the counter reaches its value, and at
// every later check until a reset brings the counter below it.
bool fires(std::optional<std::uint32_t> at_ply, std::uint32_t ply);

// How a search request left its first checks, and the time its report states.
struct Pause {
    LoopControl control = LoopControl::Continue;  // Continue: go on to answer
    std::uint64_t reported_ms = 0;
};

// The first checks of a plain search request, in order: the crash, the stall (in dialects that
// honour it), then the pause: own time plus the overrun when the flag fires and the request
// has an own time, else the delay.
Pause before_answer(const Settings& settings, System& system, std::uint32_t ply, bool honour_stall,
                    std::optional<std::uint64_t> own_time_ms);

// The extra lines a flood writes before the answer, when it fires at this ply. `first_move`
// is the text of the first sorted legal move, absent when there is none.
bool flood_due(const Settings& settings, std::uint32_t ply);
void write_flood(Output& out, const Settings& settings, bool cecp,
                 const std::optional<std::string>& first_move);

// The malformation due at this ply, if any.
std::optional<GarbleKind> garble_due(const Settings& settings, std::uint32_t ply);

// Writes an answer's lines, the last without its line end when the garble says so. Returns
// Crash when the process ends after the answer (noeol-exit, or --crash-after-ply).
LoopControl write_answer(Output& out, const Settings& settings, std::uint32_t ply,
                         std::span<const std::string> lines, std::optional<GarbleKind> garble);

// "quit" in both dialects: ignored with --ignore-quit, else the loop ends after
// --quit-delay-ms.
LoopControl quit(const Settings& settings, System& system);

}  // namespace pawnlark
