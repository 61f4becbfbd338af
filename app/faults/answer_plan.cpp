#include "app/faults/answer_plan.h"

#include <algorithm>
#include <array>
#include <string>

#include "app/engine/saturating.h"
#include "app/faults/fault_catalogue.h"
#include "app/faults/misbehaviour.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {
namespace {

// The shape of the answer and the garble that reaches it: a resign or win claim replaces the
// answer, then the illegal move, then the garble.
void shape_answer(AnswerPlan& plan, const FaultSettings& faults, const DialectFaults& dialect,
                  std::uint32_t ply) {
    if (plan.claim == ClaimKind::Resign) {
        plan.shape = AnswerShape::Resign;
    } else if (plan.claim == ClaimKind::ClaimWin) {
        plan.shape = AnswerShape::ClaimWin;
    } else if (dialect.honours_stall_and_illegal && fires(faults.illegal_at_ply, ply)) {
        plan.shape = AnswerShape::Illegal;
    } else if (fires(faults.garble_at_ply, ply)) {
        plan.garble = faults.garble;
        plan.shape = faults.garble == GarbleKind::Empty  ? AnswerShape::NoMoveWord
                     : faults.garble == GarbleKind::Null ? AnswerShape::NullMove
                                                         : AnswerShape::Move;
    }
}

std::string_view shape_word(AnswerShape shape) {
    switch (shape) {
        case AnswerShape::Move:
            return "move";
        case AnswerShape::NoMoveWord:
            return "bare-word";
        case AnswerShape::NullMove:
            return "null-move";
        case AnswerShape::Illegal:
            return "illegal";
        case AnswerShape::Resign:
            return "resign";
        case AnswerShape::ClaimWin:
            return "claim-win";
    }
    return "?";
}

std::string describe_action(const AnswerPlan& plan, AnswerAction action) {
    switch (action) {
        case AnswerAction::Crash:
            return "crash";
        case AnswerAction::Stall:
            return "stall";
        case AnswerAction::Spend:
            return "spend " + std::to_string(plan.pause_ms) + (plan.flag_falls ? " flag" : "");
        case AnswerAction::Flood:
            return "flood";
        case AnswerAction::Claim:
            return "claim " + std::string(plan.claim ? word_of(*plan.claim, ClaimWords) : "?");
        case AnswerAction::Answer:
            return "answer " + std::string(shape_word(plan.shape))
                   + (plan.garble ? " garbled " + std::string(word_of(*plan.garble, GarbleWords))
                                  : "");
        case AnswerAction::CrashAfter:
            return "crash after";
    }
    return "?";
}

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

AnswerPlan plan_answer(const FaultSettings& faults, const DialectFaults& dialect,
                       const AnswerRequest& request) {
    const std::uint32_t ply = request.ply;
    AnswerPlan plan;
    plan.flag_falls = request.own_time_ms && fires(faults.flag_at_ply, ply);
    plan.pause_ms = plan.flag_falls ? saturating_add(*request.own_time_ms, faults.flag_overrun_ms)
                                    : faults.delay_ms;
    if (dialect.makes_claims && fires(faults.cecp_claim_at_ply, ply))
        plan.claim = faults.cecp_claim;
    shape_answer(plan, faults, dialect, ply);

    if (fires(faults.crash_at_ply, ply)) {
        plan.actions = {AnswerAction::Crash};
        return plan;
    }
    if (dialect.honours_stall_and_illegal && fires(faults.stall_at_ply, ply)) {
        // An instant engine stalls before its pause; a thinking one thinks first.
        if (request.thinks) plan.actions.push_back(AnswerAction::Spend);
        plan.actions.push_back(AnswerAction::Stall);
        return plan;
    }
    plan.actions.push_back(AnswerAction::Spend);
    if (fires(faults.flood_at_ply, ply)) plan.actions.push_back(AnswerAction::Flood);
    if (plan.claim == ClaimKind::OfferDraw || plan.claim == ClaimKind::ClaimDraw) {
        plan.actions.push_back(AnswerAction::Claim);
    }
    plan.actions.push_back(AnswerAction::Answer);
    if (fires(faults.crash_after_ply, ply) || plan.garble == GarbleKind::NoEolExit) {
        plan.actions.push_back(AnswerAction::CrashAfter);
    }
    return plan;
}

std::string describe(const AnswerPlan& plan) {
    std::string text;
    for (const AnswerAction action : plan.actions) {
        if (!text.empty()) text += ", ";
        text += describe_action(plan, action);
    }
    return text;
}

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

ChaosPlan plan_answer_with_chaos(const FaultSettings& faults, DialectMode mode,
                                 const AnswerRequest& request, ChaosPlace place,
                                 std::uint64_t run_seed) {
    const auto chaos = chaos_at(faults.chaos, run_seed, mode, ChaosMoment::Search, place);
    if (!chaos) return {plan_answer(faults, dialect_faults(mode), request), std::nullopt};
    return {plan_answer(with_chaos(faults, *chaos, place.ply), dialect_faults(mode), request),
            chaos};
}

}  // namespace pawnlark
