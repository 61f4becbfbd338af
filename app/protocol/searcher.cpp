#include "app/protocol/searcher.h"

#include <utility>
#include <vector>

namespace pawnlark {
namespace {

// How the loop goes on when thinking ended without owing an answer: at "quit", or when a
// command interrupted it.
std::optional<LoopControl> without_answer(ThinkEnd end) {
    if (end == ThinkEnd::Quit) return LoopControl::Quit;
    if (end == ThinkEnd::Aborted) return LoopControl::Continue;
    return std::nullopt;
}

ThinkingSearch make_search(const AnswerContext& context, const velloran::Game& game,
                           std::vector<MoveChoice> ranked) {
    return ThinkingSearch(game, std::move(ranked), context.settings, context.settings.seed,
                          context.options);
}

}  // namespace

ThinkLoop ThinkingSearcher::think_loop(const AnswerContext& context, Dialect& dialect,
                                       const velloran::Game& game) {
    return {context.out, input_, clock_, dialect, game, context.options, context.settings};
}

SearchOutcome InstantSearcher::search(const AnswerContext& context, Dialect&,
                                      const velloran::Game& game, const SearchRequest&,
                                      const AnswerPlan& plan, bool draws_move) {
    if (plan.pause_ms > 0) context.system.sleep_ms(plan.pause_ms);
    SearchOutcome outcome;
    // The time reported is the pause, not a measurement, so replies stay byte-for-byte
    // reproducible.
    outcome.report_time_ms = plan.pause_ms;
    if (draws_move) {
        outcome.choice =
            choose_move(game, context.generator, context.settings.random, context.options.noise);
    }
    return outcome;
}

Searcher::Pending InstantSearcher::pending(const AnswerContext&, Dialect&, const velloran::Game&,
                                           const ThinkLimits&, bool) {
    return {.pending = true, .control = LoopControl::Continue};
}

LoopControl InstantSearcher::analyze(const AnswerContext&, Dialect&, const velloran::Game&) {
    return LoopControl::Continue;
}

SearchOutcome ThinkingSearcher::search(const AnswerContext& context, Dialect& dialect,
                                       const velloran::Game& game, const SearchRequest& request,
                                       const AnswerPlan& plan, bool draws_move) {
    std::vector<MoveChoice> ranked;
    if (draws_move) {
        ranked =
            rank_moves(game, context.generator, context.settings.random, context.options.noise);
    } else {
        for (const velloran::Move move : sorted_legal_moves(game)) ranked.push_back({move, 0});
    }
    ranked = restrict_to(std::move(ranked), request.limits.search_moves);
    SearchOutcome outcome;
    if (ranked.empty()) return outcome;
    if (draws_move) outcome.choice = ranked.front();
    ThinkingSearch search = make_search(context, game, std::move(ranked));
    // A flag fall thinks past the own time instead of within the budget.
    const std::optional<std::uint64_t> deadline =
        plan.flag_falls ? std::optional(plan.pause_ms)
                        : think_budget_ms(request.limits, context.options.move_overhead_ms);
    ThinkLoop loop = think_loop(context, dialect, game);
    outcome.without_answer = without_answer(loop.run(search, request.limits, deadline));
    return outcome;
}

Searcher::Pending ThinkingSearcher::pending(const AnswerContext& context, Dialect& dialect,
                                            const velloran::Game& game, const ThinkLimits& limits,
                                            bool ponder) {
    std::vector<MoveChoice> ranked = restrict_to(
        rank_moves(game, context.generator, context.settings.random, context.options.noise),
        limits.search_moves);
    ThinkLoop loop = think_loop(context, dialect, game);
    std::optional<MoveChoice> choice;
    ThinkEnd end = ThinkEnd::Stopped;
    if (ranked.empty()) {
        end = loop.wait_for_stop();
    } else {
        choice = ranked.front();
        ThinkingSearch search = make_search(context, game, std::move(ranked));
        end = loop.run(search, limits, std::nullopt);
    }
    if (const auto control = without_answer(end)) return {.pending = false, .control = *control};
    answer_pending_search(context, dialect, game, ponder, choice, true);
    return {.pending = false, .control = LoopControl::Continue};
}

LoopControl ThinkingSearcher::analyze(const AnswerContext& context, Dialect& dialect,
                                      const velloran::Game& game) {
    // The engine's own ranking, from a copy of the run's generator: an analysis plays nothing.
    velloran::RandomGenerator generator = context.generator;
    std::vector<MoveChoice> ranked =
        rank_moves(game, generator, context.settings.random, context.options.noise);
    if (ranked.empty()) return LoopControl::Continue;
    ThinkLimits endless;
    endless.infinite = true;
    ThinkingSearch search = make_search(context, game, std::move(ranked));
    ThinkLoop loop = think_loop(context, dialect, game);
    return loop.run(search, endless, std::nullopt) == ThinkEnd::Quit ? LoopControl::Quit
                                                                     : LoopControl::Continue;
}

}  // namespace pawnlark
