#include "app/faults/fault_catalogue.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "velloran/text.h"

namespace pawnlark {
namespace {

// Each field's default is also its fall-back: a missing or unreadable value leaves the option
// as if it had not been given.
constexpr FaultSettings Defaults{};

template <typename T>
struct Unwrapped {
    using Type = T;
};
template <typename T>
struct Unwrapped<std::optional<T>> {
    using Type = T;
};

template <auto Field>
using FieldType = std::remove_cvref_t<decltype(std::declval<FaultSettings&>().*Field)>;

template <auto Field>
void set_number(FaultSettings& faults, OptionValue value) {
    using Number = typename Unwrapped<FieldType<Field>>::Type;
    const std::optional<Number> number =
        value ? velloran::parse_unsigned<Number>(*value) : std::nullopt;
    if (number) {
        faults.*Field = *number;
    } else {
        faults.*Field = Defaults.*Field;
    }
}

template <auto Field, const auto& Words>
void set_word(FaultSettings& faults, OptionValue value) {
    if (const auto meaning = read_word(value, Words)) {
        faults.*Field = *meaning;
    } else {
        faults.*Field = Defaults.*Field;
    }
}

template <auto Field, const auto& Words>
std::optional<std::size_t> held_word(const FaultSettings& faults) {
    using Kind = typename Unwrapped<FieldType<Field>>::Type;
    const std::optional<Kind> held = faults.*Field;
    const auto entry =
        std::ranges::find_if(Words, [&](const auto& word) { return held && word.second == *held; });
    if (entry == Words.end()) return std::nullopt;
    return static_cast<std::size_t>(entry - Words.begin());
}

template <auto Field>
void set_flag(FaultSettings& faults, OptionValue) {
    faults.*Field = true;
}

template <auto Field>
constexpr FaultOption number_option(std::string_view word) {
    return {word, true, set_number<Field>, {}, nullptr};
}

template <auto Field, const auto& Words>
constexpr FaultOption word_option(std::string_view word) {
    return {word, true, set_word<Field, Words>, WordList<Words>, held_word<Field, Words>};
}

template <auto Field>
constexpr FaultOption flag_option(std::string_view word) {
    return {word, false, set_flag<Field>, {}, nullptr};
}

constexpr auto CrashOptions =
    std::to_array({number_option<&FaultSettings::crash_at_ply>("--crash-at-ply")});
constexpr auto StallOptions =
    std::to_array({number_option<&FaultSettings::stall_at_ply>("--stall-at-ply")});
constexpr auto IllegalOptions =
    std::to_array({number_option<&FaultSettings::illegal_at_ply>("--illegal-at-ply")});
constexpr auto DelayOptions =
    std::to_array({number_option<&FaultSettings::delay_ms>("--delay-ms")});
constexpr auto FlagOptions = std::to_array({
    number_option<&FaultSettings::flag_at_ply>("--flag-at-ply"),
    number_option<&FaultSettings::flag_overrun_ms>("--flag-overrun-ms"),
});
constexpr auto ClaimOptions = std::to_array({
    number_option<&FaultSettings::cecp_claim_at_ply>("--cecp-claim-at-ply"),
    word_option<&FaultSettings::cecp_claim, ClaimWords>("--cecp-claim"),
});
constexpr auto CrashAfterOptions =
    std::to_array({number_option<&FaultSettings::crash_after_ply>("--crash-after-ply")});
constexpr auto GarbleOptions = std::to_array({
    number_option<&FaultSettings::garble_at_ply>("--garble-at-ply"),
    word_option<&FaultSettings::garble, GarbleWords>("--garble"),
});
constexpr auto FloodOptions = std::to_array({
    number_option<&FaultSettings::flood_at_ply>("--flood-at-ply"),
    number_option<&FaultSettings::flood_lines>("--flood-lines"),
    word_option<&FaultSettings::flood_kind, FloodWords>("--flood-kind"),
});
constexpr auto HandshakeOptions = std::to_array({
    word_option<&FaultSettings::handshake_fault, HandshakeWords>("--handshake-fault"),
    number_option<&FaultSettings::handshake_delay_ms>("--handshake-delay-ms"),
});
constexpr auto QuitDelayOptions =
    std::to_array({number_option<&FaultSettings::quit_delay_ms>("--quit-delay-ms")});
constexpr auto IgnoreQuitOptions =
    std::to_array({flag_option<&FaultSettings::ignore_quit>("--ignore-quit")});
constexpr auto PonderPrematureOptions = std::to_array(
    {number_option<&FaultSettings::ponder_premature_at_ply>("--ponder-premature-at-ply")});
constexpr auto ReportQuirkOptions =
    std::to_array({word_option<&FaultSettings::info_quirk, QuirkWords>("--info-quirk")});

// Stall and illegal need a game the engine keeps itself, which CECP has only in standard play.
// Quirks rewrite "info" reports, which CECP writes only for a UCI-style pending search.
constexpr auto Catalogue = std::to_array<FaultDeclaration>({
    {Fault::Crash, CrashOptions, HonouredIn::Both, AnswerAction::Crash},
    {Fault::Stall, StallOptions, HonouredIn::UciAndStandardCecp, AnswerAction::Stall},
    {Fault::Illegal, IllegalOptions, HonouredIn::UciAndStandardCecp, AnswerAction::Answer},
    {Fault::Delay, DelayOptions, HonouredIn::Both, AnswerAction::Spend},
    {Fault::Flag, FlagOptions, HonouredIn::Both, AnswerAction::Spend},
    {Fault::Claim, ClaimOptions, HonouredIn::Cecp, AnswerAction::Claim},
    {Fault::CrashAfter, CrashAfterOptions, HonouredIn::Both, AnswerAction::CrashAfter},
    {Fault::Garble, GarbleOptions, HonouredIn::Both, AnswerAction::Answer},
    {Fault::Flood, FloodOptions, HonouredIn::Both, AnswerAction::Flood},
    {Fault::Handshake, HandshakeOptions, HonouredIn::Both, OutsideTheAnswer},
    {Fault::QuitDelay, QuitDelayOptions, HonouredIn::Both, OutsideTheAnswer},
    {Fault::IgnoreQuit, IgnoreQuitOptions, HonouredIn::Both, OutsideTheAnswer},
    {Fault::PonderPremature, PonderPrematureOptions, HonouredIn::Uci, OutsideTheAnswer},
    {Fault::ReportQuirk, ReportQuirkOptions, HonouredIn::Both, OutsideTheAnswer},
});

// `declaration` indexes the table by the fault.
static_assert([] {
    for (std::size_t index = 0; index < Catalogue.size(); ++index) {
        if (static_cast<std::size_t>(Catalogue[index].fault) != index) return false;
    }
    return Catalogue.back().fault == Fault::ReportQuirk;
}());

}  // namespace

std::span<const FaultDeclaration> fault_catalogue() { return Catalogue; }

const FaultDeclaration& declaration(Fault fault) {
    return Catalogue[static_cast<std::size_t>(fault)];
}

const FaultOption* find_fault_option(std::string_view word) {
    for (const FaultDeclaration& entry : Catalogue) {
        const auto option = std::ranges::find(entry.options, word, &FaultOption::word);
        if (option != entry.options.end()) return &*option;
    }
    return nullptr;
}

bool honours(DialectMode mode, HonouredIn where) {
    switch (where) {
        case HonouredIn::Both:
            return true;
        case HonouredIn::UciAndStandardCecp:
            return mode != DialectMode::Cecp;
        case HonouredIn::Cecp:
            return mode != DialectMode::Uci;
        case HonouredIn::Uci:
            return mode == DialectMode::Uci;
    }
    return false;
}

DialectFaults dialect_faults(DialectMode mode) {
    const auto honoured = [&](Fault fault) {
        return honours(mode, declaration(fault).honoured_in);
    };
    return {
        .honours_stall_and_illegal = honoured(Fault::Stall) && honoured(Fault::Illegal),
        .makes_claims = honoured(Fault::Claim),
    };
}

}  // namespace pawnlark
