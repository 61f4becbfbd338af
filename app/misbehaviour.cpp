#include "app/misbehaviour.h"

#include <algorithm>
#include <limits>

namespace pawnlark {

std::uint32_t count_ply(std::uint32_t ply) {
    return ply == std::numeric_limits<std::uint32_t>::max() ? ply : ply + 1;
}

bool fires(std::optional<std::uint32_t> at_ply, std::uint32_t ply) {
    return at_ply.has_value() && ply >= *at_ply;
}

Pause before_answer(const Settings& settings, System& system, std::uint32_t ply, bool honour_stall,
                    std::optional<std::uint64_t> own_time_ms) {
    if (fires(settings.crash_at_ply, ply)) return {LoopControl::Crash, 0};
    if (honour_stall && fires(settings.stall_at_ply, ply)) return {LoopControl::Stall, 0};
    std::uint64_t pause_ms = settings.delay_ms;
    if (own_time_ms && fires(settings.flag_at_ply, ply)) {
        const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - *own_time_ms;
        pause_ms = *own_time_ms + std::min(settings.flag_overrun_ms, room);
    }
    if (pause_ms > 0) system.sleep_ms(pause_ms);
    return {LoopControl::Continue, pause_ms};
}

bool flood_due(const Settings& settings, std::uint32_t ply) {
    return fires(settings.flood_at_ply, ply);
}

void write_flood(Output& out, const Settings& settings, bool cecp,
                 const std::optional<std::string>& first_move) {
    for (std::uint32_t depth = 1; depth <= settings.flood_lines && depth != 0; ++depth) {
        const std::string d = std::to_string(depth);
        std::string line;
        if (cecp) {
            line.append(d).append(" 0 0 ").append(d);
            if (first_move) line.append(" ").append(*first_move);
        } else if (settings.flood_kind == FloodKind::String) {
            line = "info string score cp 100000 pv a1a1";
        } else {
            const bool second = settings.flood_kind == FloodKind::MultiPv && depth % 2 == 0;
            line.append("info depth ").append(d).append(" seldepth ").append(d);
            line.append(second ? " multipv 2" : " multipv 1");
            line.append(" score cp 0 nodes ").append(d).append(" nps 1000 time 0");
            const bool bad_pv = settings.flood_kind == FloodKind::BadPv;
            if (first_move || bad_pv) line.append(" pv");
            if (first_move) line.append(" ").append(*first_move);
            if (bad_pv) line.append(" a1a1");
        }
        out.line(line);
    }
}

std::optional<GarbleKind> garble_due(const Settings& settings, std::uint32_t ply) {
    return fires(settings.garble_at_ply, ply) ? std::optional(settings.garble) : std::nullopt;
}

LoopControl write_answer(Output& out, const Settings& settings, std::uint32_t ply,
                         std::span<const std::string> lines, std::optional<GarbleKind> garble) {
    const bool open_end = garble == GarbleKind::NoEol || garble == GarbleKind::NoEolExit;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (open_end && i + 1 == lines.size()) {
            out.unterminated(lines[i]);
        } else {
            out.line(lines[i]);
        }
    }
    const bool ends = garble == GarbleKind::NoEolExit || fires(settings.crash_after_ply, ply);
    return ends ? LoopControl::Crash : LoopControl::Continue;
}

LoopControl quit(const Settings& settings, System& system) {
    if (settings.ignore_quit) return LoopControl::Continue;
    if (settings.quit_delay_ms > 0) system.sleep_ms(settings.quit_delay_ms);
    return LoopControl::Quit;
}

}  // namespace pawnlark
