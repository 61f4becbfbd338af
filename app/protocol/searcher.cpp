#include "app/protocol/searcher.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "app/faults/info_quirks.h"

namespace pawnlark {
namespace {

std::uint64_t saturating_sum(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b
               ? std::numeric_limits<std::uint64_t>::max()
               : a + b;
}

enum class ThinkEnd : std::uint8_t { Done, Stopped, Aborted, Quit };

// Prints the search's analysis as its depths come due and watches the input meanwhile, until
// the deadline (absent: until "stop", or "ponderhit" and then the budget), the depth limit,
// or a line that ends the search. The wait sleeps: thinking costs no processor time.
ThinkEnd think(const AnswerContext& context, const AnswerDialect& dialect,
               const velloran::Game& game, ThinkingSearch& search, ThinkLimits limits,
               std::optional<std::uint64_t> deadline_ms, WatchedInput& input, const Clock& clock) {
    constexpr std::uint64_t ProgressEveryMs = 1000;
    // On the growing schedule, depths due within this of each other leave together, and with
    // the closing line when that is as near: every wake-up costs a crowd of engines more than
    // the lines themselves. Their times stay the scheduled ones. A depth limit ends the search
    // when its depth is due, so there nothing is held back.
    constexpr std::uint64_t GatherMs = 500;
    const bool gather = !context.settings.think_interval_ms && !limits.depth;
    const std::uint64_t start_ms = clock.now_ms();
    const auto elapsed_ms = [&] { return clock.now_ms() - start_ms; };
    const auto write = [&](std::vector<std::string>& lines) {
        apply_info_quirk(dialect.info_quirk, lines, game);
        context.out.lines(lines, false);
    };
    if (limits.nodes) {
        const std::uint64_t nps = std::max<std::uint64_t>(context.settings.think_nps, 1);
        const std::uint64_t nodes_ms =
            *limits.nodes / nps * 1000 + (*limits.nodes % nps * 1000 + nps - 1) / nps;
        deadline_ms = std::min(deadline_ms.value_or(nodes_ms), nodes_ms);
    }
    const auto depth_limit_reached = [&] {
        return limits.depth && search.depth() >= *limits.depth && !limits.ponder;
    };
    const auto collect = [&](const ThinkReport& report, std::vector<std::string>& lines) {
        if (auto line = dialect.thinking_line(report)) lines.push_back(std::move(*line));
    };
    // Collects every depth due by `time_ms`; true if there was one.
    const auto collect_due_depths = [&](std::uint64_t time_ms, std::vector<std::string>& lines) {
        bool depths = false;
        for (auto due = search.next_depth_ms(); due && *due <= time_ms && !depth_limit_reached();
             due = search.next_depth_ms()) {
            for (const ThinkReport& report : search.complete_next_depth()) collect(report, lines);
            depths = true;
        }
        return depths;
    };
    // The depths due by `time_ms`, even those a gathering wait held back, then the closing
    // line, in one write.
    const auto close_at = [&](std::uint64_t time_ms) {
        std::vector<std::string> lines;
        collect_due_depths(time_ms, lines);
        collect(search.closing_line(time_ms), lines);
        write(lines);
    };
    std::uint64_t last_line_ms = 0;
    std::optional<std::uint64_t> last_depth_wake_ms;
    const auto endless = [&] { return !deadline_ms && !(limits.depth && !limits.ponder); };
    for (;;) {
        if (depth_limit_reached()) return ThinkEnd::Done;
        // Nobody can send "stop" any more: an endless search ends here.
        if (endless() && input.exhausted()) {
            close_at(elapsed_ms());
            return ThinkEnd::Stopped;
        }
        std::optional<std::uint64_t> next_depth = search.next_depth_ms();
        if (next_depth && gather) {
            if (last_depth_wake_ms) {
                next_depth = std::max(*next_depth, *last_depth_wake_ms + GatherMs);
            }
            if (deadline_ms && *next_depth + GatherMs > *deadline_ms) next_depth = deadline_ms;
        }
        std::uint64_t wake_ms = last_line_ms + ProgressEveryMs;
        if (next_depth) wake_ms = std::min(wake_ms, *next_depth);
        if (deadline_ms) wake_ms = std::min(wake_ms, *deadline_ms);
        WatchedInput::Arrival arrival = input.wait_until(saturating_sum(start_ms, wake_ms));
        if (arrival.kind == WatchedInput::Arrival::Kind::Line) {
            switch (dialect.mid_search(arrival.line)) {
                case MidSearch::Defer:
                    input.defer(std::move(arrival.line));
                    break;
                case MidSearch::Handled:
                    break;
                case MidSearch::Status:
                    context.out.line(dialect.status_line(search, elapsed_ms()));
                    break;
                case MidSearch::Stop:
                    close_at(elapsed_ms());
                    return ThinkEnd::Stopped;
                case MidSearch::PonderHit:
                    if (limits.ponder) {
                        limits.ponder = false;
                        if (const auto budget =
                                think_budget_ms(limits, context.options.move_overhead_ms)) {
                            deadline_ms = saturating_sum(elapsed_ms(), *budget);
                        }
                    }
                    break;
                case MidSearch::Abort:
                    input.defer(std::move(arrival.line));
                    return ThinkEnd::Aborted;
                case MidSearch::Quit:
                    return ThinkEnd::Quit;
            }
            continue;
        }
        if (arrival.kind == WatchedInput::Arrival::Kind::End) continue;
        if (deadline_ms && wake_ms == *deadline_ms) {
            close_at(wake_ms);
            return ThinkEnd::Done;
        }
        std::vector<std::string> lines;
        const bool depths = collect_due_depths(wake_ms, lines);
        if (!depths) collect(search.progress(wake_ms), lines);
        write(lines);
        last_line_ms = wake_ms;
        if (depths) last_depth_wake_ms = wake_ms;
    }
}

// Waits for the end of a search that has nothing to analyse (no legal move): "stop" or
// "ponderhit" end it, other lines act as they do mid-search.
ThinkEnd wait_for_stop(const AnswerDialect& dialect, WatchedInput& input) {
    for (;;) {
        if (input.exhausted()) return ThinkEnd::Stopped;
        WatchedInput::Arrival arrival = input.wait_until(std::numeric_limits<std::uint64_t>::max());
        if (arrival.kind != WatchedInput::Arrival::Kind::Line) continue;
        switch (dialect.mid_search(arrival.line)) {
            case MidSearch::Stop:
            case MidSearch::PonderHit:
                return ThinkEnd::Stopped;
            case MidSearch::Defer:
                input.defer(std::move(arrival.line));
                break;
            case MidSearch::Abort:
                input.defer(std::move(arrival.line));
                return ThinkEnd::Aborted;
            case MidSearch::Quit:
                return ThinkEnd::Quit;
            case MidSearch::Handled:
            case MidSearch::Status:
                break;
        }
    }
}

// How the loop goes on when a search ended without owing an answer: at "quit", or when a
// command interrupted it.
std::optional<LoopControl> without_answer(ThinkEnd end) {
    if (end == ThinkEnd::Quit) return LoopControl::Quit;
    if (end == ThinkEnd::Aborted) return LoopControl::Continue;
    return std::nullopt;
}

SearchOutcome ended(LoopControl control) {
    SearchOutcome outcome;
    outcome.without_answer = control;
    return outcome;
}

ThinkingSearch make_search(const AnswerContext& context, const velloran::Game& game,
                           std::vector<MoveChoice> ranked) {
    return ThinkingSearch(game, std::move(ranked), context.settings, context.settings.seed,
                          context.options);
}

}  // namespace

SearchOutcome InstantSearcher::search(const AnswerContext& context, const AnswerDialect&,
                                      const velloran::Game& game, const SearchRequest&,
                                      const SearchTask& task) {
    if (task.stalls) return ended(LoopControl::Stall);
    if (task.pause_ms > 0) context.system.sleep_ms(task.pause_ms);
    SearchOutcome outcome;
    outcome.report_time_ms = task.pause_ms;
    if (task.names_move) {
        outcome.choice =
            choose_move(game, context.generator, context.settings.random, context.options.noise);
    }
    return outcome;
}

PendingSearch InstantSearcher::pending(const AnswerContext&, const AnswerDialect&,
                                       const velloran::Game&, const ThinkLimits&, bool) {
    PendingSearch search;
    search.pending = true;
    return search;
}

LoopControl InstantSearcher::analyze(const AnswerContext&, const AnswerDialect&,
                                     const velloran::Game&) {
    return LoopControl::Continue;
}

SearchOutcome ThinkingSearcher::search(const AnswerContext& context, const AnswerDialect& dialect,
                                       const velloran::Game& game, const SearchRequest& request,
                                       const SearchTask& task) {
    std::vector<MoveChoice> ranked;
    if (task.names_move) {
        ranked =
            rank_moves(game, context.generator, context.settings.random, context.options.noise);
    } else {
        for (const velloran::Move move : sorted_legal_moves(game)) ranked.push_back({move, 0});
    }
    SearchOutcome outcome;
    if (!ranked.empty()) {
        if (task.names_move) outcome.choice = ranked.front();
        ThinkingSearch search = make_search(context, game, std::move(ranked));
        const std::optional<std::uint64_t> deadline =
            task.flag_deadline_ms
                ? task.flag_deadline_ms
                : think_budget_ms(request.limits, context.options.move_overhead_ms);
        const ThinkEnd end =
            think(context, dialect, game, search, request.limits, deadline, input_, clock_);
        if (const auto control = without_answer(end)) return ended(*control);
    }
    if (task.stalls) return ended(LoopControl::Stall);
    return outcome;
}

PendingSearch ThinkingSearcher::pending(const AnswerContext& context, const AnswerDialect& dialect,
                                        const velloran::Game& game, const ThinkLimits& limits,
                                        bool ponder) {
    std::vector<MoveChoice> ranked =
        rank_moves(game, context.generator, context.settings.random, context.options.noise);
    std::optional<MoveChoice> choice;
    ThinkEnd end = ThinkEnd::Stopped;
    if (ranked.empty()) {
        end = wait_for_stop(dialect, input_);
    } else {
        choice = ranked.front();
        ThinkingSearch search = make_search(context, game, std::move(ranked));
        end = think(context, dialect, game, search, limits, std::nullopt, input_, clock_);
    }
    PendingSearch search;
    if (const auto control = without_answer(end)) {
        search.control = *control;
        return search;
    }
    answer_pending_search(context, game, ponder, choice, true);
    return search;
}

LoopControl ThinkingSearcher::analyze(const AnswerContext& context, const AnswerDialect& dialect,
                                      const velloran::Game& game) {
    // The engine's own ranking, from a copy of the run's generator: analysis plays no move.
    velloran::RandomGenerator generator = context.generator;
    std::vector<MoveChoice> ranked =
        rank_moves(game, generator, context.settings.random, context.options.noise);
    if (ranked.empty()) return LoopControl::Continue;
    ThinkLimits endless;
    endless.infinite = true;
    ThinkingSearch search = make_search(context, game, std::move(ranked));
    return think(context, dialect, game, search, endless, std::nullopt, input_, clock_)
                   == ThinkEnd::Quit
               ? LoopControl::Quit
               : LoopControl::Continue;
}

}  // namespace pawnlark
