#pragma once

#include <cstdint>
#include <optional>

#include "app/engine/move_choice.h"
#include "app/engine/thinking.h"
#include "app/faults/answer_plan.h"
#include "app/io/input.h"
#include "app/os/clock.h"
#include "app/protocol/answer_writer.h"
#include "app/protocol/dialect.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/think_loop.h"
#include "velloran/chess/game.h"

namespace pawnlark {

// What a search's time brought: the move to name, and the report's time unless an analysis
// took the report's place; or how the loop goes on without an answer.
struct SearchOutcome {
    std::optional<MoveChoice> choice;
    std::optional<std::uint64_t> report_time_ms;
    std::optional<LoopControl> without_answer;
};

// How the engine spends a search's time: at once after a pause, or thinking while it watches
// the input. Chosen once, in main, with the input that goes with it.
class Searcher {
public:
    virtual ~Searcher() = default;
    // Whether it thinks: then the engine offers the search options and CECP's analysis.
    virtual bool thinks() const = 0;
    // Spends a search request's time as its plan says, and chooses the move, drawing from the
    // run's generator, when `draws_move`.
    virtual SearchOutcome search(const AnswerContext& context, Dialect& dialect,
                                 const velloran::Game& game, const SearchRequest& request,
                                 const AnswerPlan& plan, bool draws_move) = 0;
    // A search that waits for "stop" or "ponderhit" ("go infinite", "go ponder"): true when it
    // is left pending for the command to answer; else it has been answered, and the control
    // says how the loop goes on.
    struct Pending {
        bool pending = false;
        LoopControl control = LoopControl::Continue;
    };
    virtual Pending pending(const AnswerContext& context, Dialect& dialect,
                            const velloran::Game& game, const ThinkLimits& limits, bool ponder) = 0;
    // An endless analysis of the position until a command ends it (CECP "analyze"), answering
    // nothing; Quit when a "quit" arrived meanwhile.
    virtual LoopControl analyze(const AnswerContext& context, Dialect& dialect,
                                const velloran::Game& game) = 0;
};

// Pauses, then answers from a one-ply look: the engine without --think.
class InstantSearcher final : public Searcher {
public:
    bool thinks() const override { return false; }
    SearchOutcome search(const AnswerContext& context, Dialect& dialect, const velloran::Game& game,
                         const SearchRequest& request, const AnswerPlan& plan,
                         bool draws_move) override;
    Pending pending(const AnswerContext& context, Dialect& dialect, const velloran::Game& game,
                    const ThinkLimits& limits, bool ponder) override;
    LoopControl analyze(const AnswerContext& context, Dialect& dialect,
                        const velloran::Game& game) override;
};

// Thinks like a real engine (--think): prints analysis as its depths come due on `clock`, and
// watches `input` for "stop" and the rest meanwhile; the move played is the instant one.
class ThinkingSearcher final : public Searcher {
public:
    ThinkingSearcher(WatchedInput& input, const Clock& clock) : input_(input), clock_(clock) {}
    bool thinks() const override { return true; }
    SearchOutcome search(const AnswerContext& context, Dialect& dialect, const velloran::Game& game,
                         const SearchRequest& request, const AnswerPlan& plan,
                         bool draws_move) override;
    Pending pending(const AnswerContext& context, Dialect& dialect, const velloran::Game& game,
                    const ThinkLimits& limits, bool ponder) override;
    LoopControl analyze(const AnswerContext& context, Dialect& dialect,
                        const velloran::Game& game) override;

private:
    // The thinking of one search, on this searcher's input and clock.
    ThinkLoop think_loop(const AnswerContext& context, Dialect& dialect,
                         const velloran::Game& game);

    WatchedInput& input_;
    const Clock& clock_;
};

}  // namespace pawnlark
