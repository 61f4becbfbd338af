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

// A dialect as the faults see it.
enum class DialectMode : std::uint8_t {
    Uci,
    Cecp,
    CecpStandard,  // CECP with --cecp-standard
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

// Chaos: faults at random but reproducible moments (--chaos).

// A fault that chaos can fire.
enum class ChaosFault : std::uint8_t {
    Crash,
    CrashAfter,
    Stall,
    Illegal,
    Flag,  // lose on time
    GarbleEmpty,
    GarbleNull,
    GarbleKxr,
    GarbleTrailing,
    GarbleNoEol,
    GarbleNoEolExit,
    Flood,
    PonderPremature,  // answer "go ponder" at once
    HandshakeNoOk,
    HandshakeSilent,
    HandshakeExit,
    HandshakeNoReady,
};

// The name of a chaos fault, as --chaos-faults takes it: "crash", "garble-noeol", ...
std::string_view chaos_name(ChaosFault fault);
// The chaos faults named in a comma-separated list, a bit per fault; absent when a name is
// unknown or the list is empty.
std::optional<std::uint32_t> read_chaos_faults(std::string_view list);

// Where chaos may strike.
enum class ChaosMoment : std::uint8_t {
    Search,     // a search request that counts a ply
    Ponder,     // a "go ponder"
    Handshake,  // "uci" or "protover"
};

// The place of one moment in a run: how many games the front end has started ("ucinewgame",
// "new") and the ply.
struct ChaosPlace {
    std::uint32_t game = 0;
    std::uint32_t ply = 0;
};

// The fault chaos fires at one moment, if any: with probability per-mille/1000, one of the
// faults of the catalogue (or of --chaos-faults) that the dialect honours at that moment. A
// pure function of the seed and the place: the run's generator is never drawn from.
std::optional<ChaosFault> chaos_at(const ChaosSettings& chaos, std::uint64_t run_seed,
                                   DialectMode mode, ChaosMoment moment, ChaosPlace place);

// The faults of one moment with the chaos fault firing at its ply, and nothing else changed.
FaultSettings with_chaos(FaultSettings faults, ChaosFault fault, std::uint32_t ply);

// A search request's plan under chaos: the fault chaos fires at the request's place, if any,
// joins the command line's for that request alone.
struct ChaosPlan {
    AnswerPlan plan;
    std::optional<ChaosFault> chaos;
};
ChaosPlan plan_answer_with_chaos(const FaultSettings& faults, DialectMode mode,
                                 const AnswerRequest& request, ChaosPlace place,
                                 std::uint64_t run_seed);

// The line chaos writes to standard error before the fault acts: "pawnlark: chaos: stall at
// ply 23".
std::string chaos_note(ChaosFault fault, std::uint32_t ply);

}  // namespace pawnlark
