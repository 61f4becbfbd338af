#pragma once

#include <cstdint>
#include <optional>

#include "app/engine/engine_options.h"
#include "app/engine/move_choice.h"
#include "app/engine/thinking.h"
#include "app/faults/answer_plan.h"
#include "app/io/command.h"
#include "app/io/output.h"
#include "app/os/system.h"
#include "app/protocol/dialect.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/protocol_settings.h"
#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {

class Searcher;

// One search request: the games started before it and its ply after counting, the engine's own
// clock (the move time, else the mover's remaining time) when the request gives one, and what
// it asks of a thinking engine.
struct SearchRequest {
    std::uint32_t game = 0;
    std::uint32_t ply = 0;
    std::optional<std::uint64_t> own_time_ms;
    ThinkLimits limits;
};

// Everything an answer uses besides the request and the dialect.
struct AnswerContext {
    const ProtocolSettings& settings;
    Output& out;
    System& system;
    velloran::RandomGenerator& generator;
    const EngineOptions& options;  // as the front end set them: noise, Ponder, thinking
    Searcher& searcher;
};

// Answers a search request in the order its plan gives (`plan_answer`): the crash, the stall,
// the time spent (the pause, or thinking), the flood, the claim, the answer and the crash
// after it. Returns how the loop goes on.
LoopControl answer_search(const AnswerContext& context, Dialect& dialect,
                          const velloran::Game& game, const SearchRequest& request);

// A final answer, whatever asked for it.
struct FinalAnswer {
    AnswerShape shape = AnswerShape::Move;
    std::optional<MoveChoice> choice;  // the move; absent for a side without a legal move
    // The report before the move: its nodes and time; absent when an analysis reported.
    struct Stamp {
        std::uint32_t nodes = 0;
        std::uint64_t time_ms = 0;
    };
    std::optional<Stamp> report;
    std::optional<GarbleKind> garble;
    bool names_ponder = false;
};

// Writes a final answer in the dialect, the only place that does: the report, the answer line
// (or the no-move answer) with its garble and info quirks, and the line the dialect adds after
// its move.
void write_final_answer(const AnswerContext& context, Dialect& dialect, const velloran::Game& game,
                        const FinalAnswer& answer);

// The answer owed to a pending search ("go infinite", "go ponder") once "stop" or "ponderhit"
// arrives, in the replies of UCI in both dialects: after no analysis, a report with the fixed
// nodes 1 and time 1. No pause and no faults; the move is not played. With `ponder` or the
// Ponder option, it names a ponder move.
void answer_pending_search(const AnswerContext& context, Dialect& dialect,
                           const velloran::Game& game, bool ponder,
                           std::optional<MoveChoice> choice, bool analysed);

// Whether a "go" asks for a search that waits for "stop" or "ponderhit": any argument is
// "infinite" or "ponder".
bool is_pending_request(const Command& command);

}  // namespace pawnlark
