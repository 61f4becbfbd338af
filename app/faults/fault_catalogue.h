#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "app/faults/answer_plan.h"
#include "app/faults/fault_settings.h"
#include "app/faults/option_rule.h"

namespace pawnlark {

// Every fault the command line can ask for, in catalogue order.
enum class Fault : std::uint8_t {
    Crash,
    Stall,
    Illegal,
    Delay,
    Flag,
    Claim,
    CrashAfter,
    Garble,
    Flood,
    Handshake,
    QuitDelay,
    IgnoreQuit,
    PonderPremature,
    ReportQuirk,
};

// The dialects that honour a fault.
enum class HonouredIn : std::uint8_t {
    Both,
    UciAndStandardCecp,  // UCI, and CECP only with --cecp-standard
    Cecp,
    Uci,
};

using FaultOption = OptionRule<FaultSettings>;

// For a fault that acts outside the answer to a search request: the handshake, quitting,
// the shape of reports, answering "go ponder".
inline constexpr std::optional<AnswerAction> OutsideTheAnswer = std::nullopt;

// One fault: the options that ask for it (the first switches it on, the others shape it),
// the dialects that honour it, and the step of the answer where it acts.
struct FaultDeclaration {
    Fault fault;
    std::span<const FaultOption> options;
    HonouredIn honoured_in;
    std::optional<AnswerAction> place;
};

inline constexpr auto ClaimWords = WordTable<ClaimKind, 5>{{
    {"resign", ClaimKind::Resign},
    {"claim-win", ClaimKind::ClaimWin},
    {"offer-draw", ClaimKind::OfferDraw},
    {"claim-draw", ClaimKind::ClaimDraw},
    {"reject-usermove", ClaimKind::RejectUsermove},
}};

inline constexpr auto HandshakeWords = WordTable<HandshakeFault, 4>{{
    {"no-ok", HandshakeFault::NoOk},
    {"silent", HandshakeFault::Silent},
    {"exit", HandshakeFault::Exit},
    {"no-ready", HandshakeFault::NoReady},
}};

inline constexpr auto GarbleWords = WordTable<GarbleKind, 6>{{
    {"empty", GarbleKind::Empty},
    {"null", GarbleKind::Null},
    {"kxr", GarbleKind::Kxr},
    {"trailing", GarbleKind::Trailing},
    {"noeol", GarbleKind::NoEol},
    {"noeol-exit", GarbleKind::NoEolExit},
}};

inline constexpr auto FloodWords = WordTable<FloodKind, 4>{{
    {"valid", FloodKind::Valid},
    {"badpv", FloodKind::BadPv},
    {"multipv", FloodKind::MultiPv},
    {"string", FloodKind::String},
}};

inline constexpr auto QuirkWords = WordTable<InfoQuirk, 8>{{
    {"neg-infinite", InfoQuirk::NegInfinite},
    {"bounds", InfoQuirk::Bounds},
    {"trailing-space", InfoQuirk::TrailingSpace},
    {"wdl-first", InfoQuirk::WdlFirst},
    {"long-pv", InfoQuirk::LongPv},
    {"huge-counts", InfoQuirk::HugeCounts},
    {"mate-zero", InfoQuirk::MateZero},
    {"string-score", InfoQuirk::StringScore},
}};

// Every fault once, in the order of `Fault`.
std::span<const FaultDeclaration> fault_catalogue();
const FaultDeclaration& declaration(Fault fault);

// The option of some fault that is written `word`; null when no fault has one.
const FaultOption* find_fault_option(std::string_view word);

// Whether a fault honoured in `where` acts in `mode`.
bool honours(DialectMode mode, HonouredIn where);

// What of the answer's faults a dialect honours, as the catalogue declares it.
DialectFaults dialect_faults(DialectMode mode);

}  // namespace pawnlark
