#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/faults/fault_settings.h"

namespace pawnlark {

// One step of the answer to a search request, in the order the steps can come.
enum class AnswerAction : std::uint8_t {
    Crash,       // end with status 3 instead of answering
    Stall,       // stop answering for good
    Spend,       // spend the request's time: the pause, or thinking
    Flood,       // the extra report lines
    Claim,       // a claim line before the move (offer draw, draw claim)
    Answer,      // the answer, of the plan's shape
    CrashAfter,  // end with status 3 once the answer is out
};

// What the answer says.
enum class AnswerShape : std::uint8_t {
    Move,        // the move (or the no-move answer when there is none), perhaps garbled
    NoMoveWord,  // garble empty: the move word alone
    NullMove,    // garble null: the null move
    Illegal,     // the illegal move a1a1
    Resign,      // the claim resign, instead of the move
    ClaimWin,    // the claim claim-win, instead of the move
};

// Which faults of the answer a dialect honours.
struct DialectFaults {
    bool honours_stall_and_illegal = false;
    bool makes_claims = false;

    friend bool operator==(const DialectFaults&, const DialectFaults&) = default;
};

// What of a search request the plan depends on: its ply after counting, the engine's own
// clock when the request gives one, and whether the engine thinks instead of pausing.
struct AnswerRequest {
    std::uint32_t ply = 0;
    std::optional<std::uint64_t> own_time_ms;
    bool thinks = false;
};

// The answer to one search request, decided before anything is done.
struct AnswerPlan {
    std::vector<AnswerAction> actions;  // in order
    AnswerShape shape = AnswerShape::Move;
    std::optional<GarbleKind> garble;  // the garble that reaches the answer (any kind)
    std::optional<ClaimKind> claim;    // the claim that fires
    // The delay, or the own time plus the overrun (saturating) when the flag falls.
    std::uint64_t pause_ms = 0;
    bool flag_falls = false;  // the flag fires and the request has an own time

    // Whether the move is chosen, and the generator drawn from: only for an answer that names it.
    bool names_move() const { return shape == AnswerShape::Move; }

    friend bool operator==(const AnswerPlan&, const AnswerPlan&) = default;
};

// The answer the faults ask for, in order: the crash; the stall (before the pause, or after
// thinking); the time spent; the flood; the claim; the answer, replaced by a resign or win
// claim, else made illegal, else garbled; the crash after the answer (also for noeol-exit).
AnswerPlan plan_answer(const FaultSettings& faults, const DialectFaults& dialect,
                       const AnswerRequest& request);

// The plan in words, for tests and debugging: "spend 5, answer move", "crash", "spend 5, stall".
std::string describe(const AnswerPlan& plan);

}  // namespace pawnlark
