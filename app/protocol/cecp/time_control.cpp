#include <algorithm>
#include <string_view>

#include "app/engine/saturating.h"
#include "app/protocol/cecp/cecp_commands.h"
#include "app/protocol/cecp/cecp_loop.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

// Seconds with an optional decimal fraction ("30", "0.5", "0.05") as milliseconds, digits past
// the millisecond dropped, saturating; absent when the whole word is not such a number.
std::optional<std::uint64_t> seconds_as_ms(std::string_view text) {
    const std::size_t point = text.find('.');
    const auto whole = velloran::parse_unsigned<std::uint64_t>(text.substr(0, point));
    if (!whole) return std::nullopt;
    const std::uint64_t ms = saturating_mul(*whole, 1000);
    if (point == std::string_view::npos) return ms;
    const std::string_view fraction = text.substr(point + 1);
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (fraction.empty() || !std::all_of(fraction.begin(), fraction.end(), digit)) {
        return std::nullopt;
    }
    std::uint64_t part = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        part =
            part * 10 + (i < fraction.size() ? static_cast<std::uint64_t>(fraction[i] - '0') : 0);
    }
    return saturating_add(ms, part);
}

}  // namespace

ThinkLimits cecp_limits(const CecpState& state) {
    ThinkLimits limits;
    limits.depth = state.search_depth;
    if (state.move_time_ms) {
        limits.movetime_ms = state.move_time_ms;
    } else if (state.time_cs) {
        limits.remaining_ms = saturating_mul(*state.time_cs, 10);
        limits.increment_ms = state.increment_ms;
        if (state.moves_per_session > 0) {
            const std::uint64_t played = (state.game.fullmove() - 1) % state.moves_per_session;
            limits.moves_to_go = state.moves_per_session - played;
        }
    } else if (!limits.depth) {
        limits.movetime_ms = 1000;
    }
    return limits;
}

std::optional<std::uint64_t> cecp_own_time_ms(const CecpState& state) {
    return state.time_cs ? std::optional(saturating_mul(*state.time_cs, 10)) : std::nullopt;
}

// The engine's remaining time in centiseconds, for a flag fall on demand.
LoopControl cecp_time(CecpSession& session, const Command& command) {
    if (const auto time = velloran::parse_unsigned<std::uint64_t>(command.word_at(1))) {
        session.state.time_cs = time;
    }
    return LoopControl::Continue;
}

LoopControl cecp_otim(CecpSession& session, const Command& command) {
    if (const auto time = velloran::parse_unsigned<std::uint64_t>(command.word_at(1))) {
        session.state.opponent_time_cs = time;
    }
    return LoopControl::Continue;
}

// "level MPS BASE INC": BASE as minutes or minutes:seconds, INC in seconds, fractions allowed.
// Only the moves per session and the increment matter here: "time" gives the clock itself.
LoopControl cecp_level(CecpSession& session, const Command& command) {
    const auto moves = velloran::parse_unsigned<std::uint64_t>(command.word_at(1));
    const auto increment_ms = seconds_as_ms(command.word_at(3));
    if (moves && increment_ms) {
        session.state.moves_per_session = *moves;
        session.state.increment_ms = *increment_ms;
    }
    return LoopControl::Continue;
}

// "st SECONDS", fractions allowed; an unreadable time clears it.
LoopControl cecp_st(CecpSession& session, const Command& command) {
    session.state.move_time_ms = seconds_as_ms(command.word_at(1));
    return LoopControl::Continue;
}

LoopControl cecp_sd(CecpSession& session, const Command& command) {
    session.state.search_depth = velloran::parse_unsigned<std::uint32_t>(command.word_at(1));
    return LoopControl::Continue;
}

}  // namespace pawnlark
