#include "app/protocol/think_loop.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "app/engine/saturating.h"
#include "app/faults/info_quirks.h"

namespace pawnlark {
namespace {

constexpr std::uint64_t Never = std::numeric_limits<std::uint64_t>::max();
// A long wait still shows that the engine is alive.
constexpr std::uint64_t ProgressEveryMs = 1000;
// On the growing schedule, depths due within this of each other leave together, and with the
// closing line when that is as near: every wake-up costs a crowd of engines more than the
// lines themselves. Their times stay the scheduled ones. A depth limit ends the search when
// its depth is due, so there nothing is held back.
constexpr std::uint64_t GatherMs = 500;

// The time the node limit takes at the simulated speed, rounded up.
std::uint64_t nodes_ms(std::uint64_t nodes, std::uint64_t nps) {
    nps = std::max<std::uint64_t>(nps, 1);
    return nodes / nps * 1000 + (nodes % nps * 1000 + nps - 1) / nps;
}

}  // namespace

ThinkEnd ThinkLoop::run(ThinkingSearch& search, ThinkLimits limits,
                        std::optional<std::uint64_t> deadline_ms) {
    limits_ = std::move(limits);
    deadline_ms_ = deadline_ms;
    if (limits_.nodes) {
        const std::uint64_t limit_ms = nodes_ms(*limits_.nodes, pace_.think_nps);
        deadline_ms_ = std::min(deadline_ms_.value_or(limit_ms), limit_ms);
    }
    start_ms_ = clock_.now_ms();
    last_line_ms_ = 0;
    last_depth_wake_ms_.reset();
    for (;;) {
        if (depth_limit_reached(search)) return ThinkEnd::Done;
        // Nobody can send "stop" any more: an endless search ends here.
        if (endless() && input_.exhausted()) {
            close_at(search, clock_.now_ms() - start_ms_);
            return ThinkEnd::Stopped;
        }
        const std::uint64_t wake_ms = next_wake_ms(search);
        WatchedInput::Arrival arrival = input_.wait_until(saturating_add(start_ms_, wake_ms));
        if (arrival.kind == WatchedInput::Arrival::Kind::Line) {
            const std::uint64_t elapsed = clock_.now_ms() - start_ms_;
            if (const auto end = on_command(std::move(arrival.line), &search, elapsed)) {
                return *end;
            }
            continue;
        }
        if (arrival.kind == WatchedInput::Arrival::Kind::End) continue;
        if (deadline_ms_ && wake_ms == *deadline_ms_) {
            close_at(search, wake_ms);
            return ThinkEnd::Done;
        }
        std::vector<std::string> lines;
        const bool depths = collect_due_depths(search, wake_ms, lines);
        if (!depths) collect(search.progress(wake_ms), lines);
        write(lines);
        last_line_ms_ = wake_ms;
        if (depths) last_depth_wake_ms_ = wake_ms;
    }
}

ThinkEnd ThinkLoop::wait_for_stop() {
    limits_ = ThinkLimits{};
    deadline_ms_.reset();
    for (;;) {
        if (input_.exhausted()) return ThinkEnd::Stopped;
        WatchedInput::Arrival arrival = input_.wait_until(Never);
        if (arrival.kind != WatchedInput::Arrival::Kind::Line) continue;
        if (const auto end = on_command(std::move(arrival.line), nullptr, 0)) return *end;
    }
}

std::optional<ThinkEnd> ThinkLoop::on_command(std::string line, ThinkingSearch* search,
                                              std::uint64_t elapsed_ms) {
    const Command command = Command::from_line(line);
    switch (dialect_.mid_search(command)) {
        case MidSearch::Defer:
            input_.defer(std::move(line));
            return std::nullopt;
        case MidSearch::Now:
            if (dialect_.handle(command) == LoopControl::Quit) return ThinkEnd::Quit;
            return std::nullopt;
        case MidSearch::Status:
            if (search) out_.line(dialect_.status_line(*search, elapsed_ms));
            return std::nullopt;
        case MidSearch::Stop:
        case MidSearch::MoveNow:
            if (search) close_at(*search, elapsed_ms);
            return ThinkEnd::Stopped;
        case MidSearch::PonderHit:
            if (!search) return ThinkEnd::Stopped;
            if (limits_.ponder) {
                limits_.ponder = false;
                if (const auto budget = think_budget_ms(limits_, options_.move_overhead_ms)) {
                    deadline_ms_ = saturating_add(elapsed_ms, *budget);
                }
            }
            return std::nullopt;
        case MidSearch::Abort:
        case MidSearch::AbortAnalysis:
            input_.defer(std::move(line));
            return ThinkEnd::Aborted;
    }
    return std::nullopt;
}

std::uint64_t ThinkLoop::next_wake_ms(const ThinkingSearch& search) const {
    const bool gather = !pace_.think_interval_ms && !limits_.depth;
    std::optional<std::uint64_t> next_depth = search.next_depth_ms();
    if (next_depth && gather) {
        if (last_depth_wake_ms_)
            next_depth = std::max(*next_depth, *last_depth_wake_ms_ + GatherMs);
        if (deadline_ms_ && *next_depth + GatherMs > *deadline_ms_) next_depth = deadline_ms_;
    }
    std::uint64_t wake_ms = last_line_ms_ + ProgressEveryMs;
    if (next_depth) wake_ms = std::min(wake_ms, *next_depth);
    if (deadline_ms_) wake_ms = std::min(wake_ms, *deadline_ms_);
    return wake_ms;
}

bool ThinkLoop::depth_limit_reached(const ThinkingSearch& search) const {
    return limits_.depth && search.depth() >= *limits_.depth && !limits_.ponder;
}

bool ThinkLoop::endless() const { return !deadline_ms_ && !(limits_.depth && !limits_.ponder); }

bool ThinkLoop::collect_due_depths(ThinkingSearch& search, std::uint64_t time_ms,
                                   std::vector<std::string>& lines) const {
    bool depths = false;
    for (auto due = search.next_depth_ms(); due && *due <= time_ms && !depth_limit_reached(search);
         due = search.next_depth_ms()) {
        for (const ThinkReport& report : search.complete_next_depth()) collect(report, lines);
        depths = true;
    }
    return depths;
}

void ThinkLoop::collect(const ThinkReport& report, std::vector<std::string>& lines) const {
    if (auto line = dialect_.thinking_line(report)) lines.push_back(std::move(*line));
}

void ThinkLoop::close_at(ThinkingSearch& search, std::uint64_t time_ms) {
    std::vector<std::string> lines;
    collect_due_depths(search, time_ms, lines);
    collect(search.closing_line(time_ms), lines);
    write(lines);
}

void ThinkLoop::write(std::vector<std::string>& lines) {
    apply_info_quirk(dialect_.info_quirk(), lines, game_);
    out_.lines(lines, false);
}

}  // namespace pawnlark
