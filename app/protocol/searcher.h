#pragma once

#include <cstdint>
#include <optional>

#include "app/engine/move_choice.h"
#include "app/engine/thinking.h"
#include "app/io/input.h"
#include "app/os/clock.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/search_answer.h"
#include "velloran/chess/game.h"

namespace pawnlark {

// How a search request's time is spent before its answer, as the answer's plan says.
struct SearchTask {
    std::uint64_t pause_ms = 0;                     // the instant searcher's pause
    std::optional<std::uint64_t> flag_deadline_ms;  // a flag fall: think past the own time
    bool names_move = true;  // the answer names a move: draw from the run's generator
    bool stalls = false;     // stop answering for good once the time is spent
};

// What the time brought: the move to name, and the report's time unless an analysis took the
// report's place; or how the loop goes on without an answer.
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
    virtual SearchOutcome search(const AnswerContext& context, const AnswerDialect& dialect,
                                 const velloran::Game& game, const SearchRequest& request,
                                 const SearchTask& task) = 0;
    virtual PendingSearch pending(const AnswerContext& context, const AnswerDialect& dialect,
                                  const velloran::Game& game, const ThinkLimits& limits,
                                  bool ponder) = 0;
    virtual LoopControl analyze(const AnswerContext& context, const AnswerDialect& dialect,
                                const velloran::Game& game) = 0;
};

// Pauses, then answers from a one-ply look: the engine as specified.
class InstantSearcher final : public Searcher {
public:
    bool thinks() const override { return false; }
    SearchOutcome search(const AnswerContext& context, const AnswerDialect& dialect,
                         const velloran::Game& game, const SearchRequest& request,
                         const SearchTask& task) override;
    PendingSearch pending(const AnswerContext& context, const AnswerDialect& dialect,
                          const velloran::Game& game, const ThinkLimits& limits,
                          bool ponder) override;
    LoopControl analyze(const AnswerContext& context, const AnswerDialect& dialect,
                        const velloran::Game& game) override;
};

// Thinks like a real engine (--think): prints analysis as its depths come due on `clock`, and
// watches `input` for "stop" and the rest meanwhile; the move played stays the instant one.
class ThinkingSearcher final : public Searcher {
public:
    ThinkingSearcher(WatchedInput& input, const Clock& clock) : input_(input), clock_(clock) {}
    bool thinks() const override { return true; }
    SearchOutcome search(const AnswerContext& context, const AnswerDialect& dialect,
                         const velloran::Game& game, const SearchRequest& request,
                         const SearchTask& task) override;
    PendingSearch pending(const AnswerContext& context, const AnswerDialect& dialect,
                          const velloran::Game& game, const ThinkLimits& limits,
                          bool ponder) override;
    LoopControl analyze(const AnswerContext& context, const AnswerDialect& dialect,
                        const velloran::Game& game) override;

private:
    WatchedInput& input_;
    const Clock& clock_;
};

}  // namespace pawnlark
