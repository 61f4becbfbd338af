#include "misbehaviour.h"

#include <limits>

namespace pawnlark {

std::uint32_t count_ply(std::uint32_t ply) {
    return ply == std::numeric_limits<std::uint32_t>::max() ? ply : ply + 1;
}

bool fires(std::optional<std::uint32_t> at_ply, std::uint32_t ply) {
    return at_ply.has_value() && ply >= *at_ply;
}

LoopControl before_answer(const Settings& settings, System& system, std::uint32_t ply,
                          bool honour_stall) {
    if (fires(settings.crash_at_ply, ply)) return LoopControl::Crash;
    if (honour_stall && fires(settings.stall_at_ply, ply)) return LoopControl::Stall;
    if (settings.delay_ms > 0) system.sleep_ms(settings.delay_ms);
    return LoopControl::Continue;
}

}  // namespace pawnlark
