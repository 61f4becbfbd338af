#include "app/faults/chaos.h"

#include <array>
#include <limits>

#include "velloran/random/random_generator.h"

namespace pawnlark {
namespace {

constexpr auto ChaosNames = std::to_array<std::string_view>({
    "crash",
    "crash-after",
    "stall",
    "illegal",
    "flag",
    "garble-empty",
    "garble-null",
    "garble-kxr",
    "garble-trailing",
    "garble-noeol",
    "garble-noeol-exit",
    "flood",
    "ponder-premature",
    "handshake-no-ok",
    "handshake-silent",
    "handshake-exit",
    "handshake-no-ready",
});
static_assert(ChaosNames.size() == static_cast<std::size_t>(ChaosFault::HandshakeNoReady) + 1);

// Keeps chaos's draws apart from the run's generator and from the analysis's.
constexpr std::uint64_t ChaosSeedMix = 0xC3A5C85C97CB3127ULL;

ChaosMoment moment_of(ChaosFault fault) {
    if (fault == ChaosFault::PonderPremature) return ChaosMoment::Ponder;
    if (fault >= ChaosFault::HandshakeNoOk) return ChaosMoment::Handshake;
    return ChaosMoment::Search;
}

bool honoured(ChaosFault fault, DialectMode mode) {
    switch (fault) {
        case ChaosFault::Stall:
            return honours(mode, declaration(Fault::Stall).honoured_in);
        case ChaosFault::Illegal:
            return honours(mode, declaration(Fault::Illegal).honoured_in);
        case ChaosFault::PonderPremature:
            return honours(mode, declaration(Fault::PonderPremature).honoured_in);
        default:
            return true;
    }
}

}  // namespace

std::string_view chaos_name(ChaosFault fault) {
    return ChaosNames[static_cast<std::size_t>(fault)];
}

std::optional<std::uint32_t> read_chaos_faults(std::string_view list) {
    std::uint32_t faults = 0;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        const auto known = std::find(ChaosNames.begin(), ChaosNames.end(), name);
        if (known == ChaosNames.end()) return std::nullopt;
        faults |= std::uint32_t{1} << (known - ChaosNames.begin());
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
        if (list.empty()) return std::nullopt;
    }
    if (faults == 0) return std::nullopt;
    return faults;
}

std::optional<ChaosFault> chaos_at(const ChaosSettings& chaos, std::uint64_t run_seed,
                                   DialectMode mode, ChaosMoment moment, ChaosPlace place) {
    if (chaos.per_mille == 0) return std::nullopt;
    // A generator of the moment's own: which fault fires where depends on nothing else.
    const std::uint64_t seed = chaos.seed.value_or(run_seed ^ ChaosSeedMix);
    velloran::RandomGenerator draws = velloran::RandomGenerator::with_seed(
        seed ^ (std::uint64_t{place.game} << 40) ^ (std::uint64_t{place.ply} << 8)
        ^ static_cast<std::uint64_t>(moment));
    if (draws.sample_range(0, 1000) >= chaos.per_mille) return std::nullopt;
    std::array<ChaosFault, ChaosNames.size()> candidates{};
    std::size_t count = 0;
    for (std::size_t index = 0; index < ChaosNames.size(); ++index) {
        const auto fault = static_cast<ChaosFault>(index);
        const bool listed = chaos.faults == 0 || (chaos.faults >> index & 1U) != 0;
        if (listed && moment_of(fault) == moment && honoured(fault, mode)) {
            candidates[count++] = fault;
        }
    }
    if (count == 0) return std::nullopt;
    return candidates[draws.sample_range(0, count)];
}

FaultSettings with_chaos(FaultSettings faults, ChaosFault fault, std::uint32_t ply) {
    const auto garble = [&](GarbleKind kind) {
        faults.garble_at_ply = ply;
        faults.garble = kind;
    };
    switch (fault) {
        case ChaosFault::Crash:
            faults.crash_at_ply = ply;
            break;
        case ChaosFault::CrashAfter:
            faults.crash_after_ply = ply;
            break;
        case ChaosFault::Stall:
            faults.stall_at_ply = ply;
            break;
        case ChaosFault::Illegal:
            faults.illegal_at_ply = ply;
            break;
        case ChaosFault::Flag:
            faults.flag_at_ply = ply;
            break;
        case ChaosFault::GarbleEmpty:
            garble(GarbleKind::Empty);
            break;
        case ChaosFault::GarbleNull:
            garble(GarbleKind::Null);
            break;
        case ChaosFault::GarbleKxr:
            garble(GarbleKind::Kxr);
            break;
        case ChaosFault::GarbleTrailing:
            garble(GarbleKind::Trailing);
            break;
        case ChaosFault::GarbleNoEol:
            garble(GarbleKind::NoEol);
            break;
        case ChaosFault::GarbleNoEolExit:
            garble(GarbleKind::NoEolExit);
            break;
        case ChaosFault::Flood:
            faults.flood_at_ply = ply;
            break;
        case ChaosFault::PonderPremature:
            faults.ponder_premature_at_ply = ply;
            break;
        case ChaosFault::HandshakeNoOk:
            faults.handshake_fault = HandshakeFault::NoOk;
            break;
        case ChaosFault::HandshakeSilent:
            faults.handshake_fault = HandshakeFault::Silent;
            break;
        case ChaosFault::HandshakeExit:
            faults.handshake_fault = HandshakeFault::Exit;
            break;
        case ChaosFault::HandshakeNoReady:
            faults.handshake_fault = HandshakeFault::NoReady;
            break;
    }
    return faults;
}

std::string chaos_note(ChaosFault fault, std::uint32_t ply) {
    return "pawnlark: chaos: " + std::string(chaos_name(fault)) + " at ply " + std::to_string(ply);
}

}  // namespace pawnlark
