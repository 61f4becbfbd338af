#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/faults/fault_catalogue.h"
#include "app/faults/fault_settings.h"

namespace pawnlark {

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

// The line chaos writes to standard error before the fault acts: "pawnlark: chaos: stall at
// ply 23".
std::string chaos_note(ChaosFault fault, std::uint32_t ply);

}  // namespace pawnlark
