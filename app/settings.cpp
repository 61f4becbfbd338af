#include "app/settings.h"

#include <algorithm>
#include <array>
#include <utility>

#include "velloran/text.h"

namespace pawnlark {
namespace {

// The value after a value-taking option; absent when the option was the last argument.
using OptionValue = std::optional<std::string_view>;

struct ArgumentRule {
    std::string_view word;
    bool takes_value;
    void (*apply)(Settings&, OptionValue);
    bool (*knows_value)(std::string_view) = nullptr;  // set when the value is a word from a list
};

std::optional<std::uint32_t> read_ply(OptionValue value) {
    return value ? velloran::parse_unsigned<std::uint32_t>(*value) : std::nullopt;
}

std::uint64_t read_u64_or(OptionValue value, std::uint64_t fallback) {
    return value ? velloran::parse_unsigned<std::uint64_t>(*value).value_or(fallback) : fallback;
}

// A word from a fixed list, or absent when the value is missing or unknown.
template <typename T, std::size_t N>
std::optional<T> read_word(OptionValue value,
                           const std::array<std::pair<std::string_view, T>, N>& words) {
    if (!value) return std::nullopt;
    for (const auto& [word, meaning] : words) {
        if (word == *value) return meaning;
    }
    return std::nullopt;
}

// A rule's value check for an option that reads a word from the list.
template <const auto& Words>
bool is_word(std::string_view value) {
    return read_word(value, Words).has_value();
}

constexpr auto ProtocolWords = std::to_array<std::pair<std::string_view, Protocol>>({
    {"uci", Protocol::Uci},
    {"cecp", Protocol::Cecp},
});

constexpr auto ClaimWords = std::to_array<std::pair<std::string_view, ClaimKind>>({
    {"resign", ClaimKind::Resign},
    {"claim-win", ClaimKind::ClaimWin},
    {"offer-draw", ClaimKind::OfferDraw},
    {"claim-draw", ClaimKind::ClaimDraw},
    {"reject-usermove", ClaimKind::RejectUsermove},
});

constexpr auto HandshakeWords = std::to_array<std::pair<std::string_view, HandshakeFault>>({
    {"no-ok", HandshakeFault::NoOk},
    {"silent", HandshakeFault::Silent},
    {"exit", HandshakeFault::Exit},
    {"no-ready", HandshakeFault::NoReady},
});

constexpr auto GarbleWords = std::to_array<std::pair<std::string_view, GarbleKind>>({
    {"empty", GarbleKind::Empty},
    {"null", GarbleKind::Null},
    {"kxr", GarbleKind::Kxr},
    {"trailing", GarbleKind::Trailing},
    {"noeol", GarbleKind::NoEol},
    {"noeol-exit", GarbleKind::NoEolExit},
});

constexpr auto FloodWords = std::to_array<std::pair<std::string_view, FloodKind>>({
    {"valid", FloodKind::Valid},
    {"badpv", FloodKind::BadPv},
    {"multipv", FloodKind::MultiPv},
    {"string", FloodKind::String},
});

constexpr auto LineEndWords = std::to_array<std::pair<std::string_view, LineEnd>>({
    {"lf", LineEnd::Lf},
    {"crlf", LineEnd::CrLf},
});

constexpr auto SeparatorWords = std::to_array<std::pair<std::string_view, TokenSeparator>>({
    {"space", TokenSeparator::Space},
    {"tab", TokenSeparator::Tab},
    {"double", TokenSeparator::Double},
});

constexpr auto OptionsWords = std::to_array<std::pair<std::string_view, OptionsMode>>({
    {"full", OptionsMode::Full},
    {"echo", OptionsMode::Echo},
});

constexpr auto QuirkWords = std::to_array<std::pair<std::string_view, InfoQuirk>>({
    {"neg-infinite", InfoQuirk::NegInfinite},
    {"bounds", InfoQuirk::Bounds},
    {"trailing-space", InfoQuirk::TrailingSpace},
    {"wdl-first", InfoQuirk::WdlFirst},
    {"long-pv", InfoQuirk::LongPv},
    {"huge-counts", InfoQuirk::HugeCounts},
    {"mate-zero", InfoQuirk::MateZero},
    {"string-score", InfoQuirk::StringScore},
});

// Every argument the command line knows, each in one place.
constexpr auto ArgumentRules = std::to_array<ArgumentRule>({
    {"bench", false, [](Settings& s, OptionValue) { s.bench = true; }},
    {"--random", false, [](Settings& s, OptionValue) { s.random = true; }},
    {"--name", true, [](Settings& s, OptionValue v) { s.name = std::string(v.value_or("")); }},
    {"--seed", true, [](Settings& s, OptionValue v) { s.seed = read_u64_or(v, 42); }},
    {"--delay-ms", true, [](Settings& s, OptionValue v) { s.delay_ms = read_u64_or(v, 5); }},
    {"--proto", true,
     [](Settings& s, OptionValue v) {
         s.protocol = read_word(v, ProtocolWords).value_or(Protocol::Uci);
     },
     is_word<ProtocolWords>},
    {"--crash-at-ply", true, [](Settings& s, OptionValue v) { s.crash_at_ply = read_ply(v); }},
    {"--stall-at-ply", true, [](Settings& s, OptionValue v) { s.stall_at_ply = read_ply(v); }},
    {"--illegal-at-ply", true, [](Settings& s, OptionValue v) { s.illegal_at_ply = read_ply(v); }},
    {"--cecp-standard", false, [](Settings& s, OptionValue) { s.cecp_standard = true; }},
    {"--cecp-claim-at-ply", true,
     [](Settings& s, OptionValue v) { s.cecp_claim_at_ply = read_ply(v); }},
    {"--cecp-claim", true,
     [](Settings& s, OptionValue v) {
         s.cecp_claim = read_word(v, ClaimWords).value_or(ClaimKind::Resign);
     },
     is_word<ClaimWords>},
    {"--flag-at-ply", true, [](Settings& s, OptionValue v) { s.flag_at_ply = read_ply(v); }},
    {"--flag-overrun-ms", true,
     [](Settings& s, OptionValue v) { s.flag_overrun_ms = read_u64_or(v, 50); }},
    {"--line-end", true,
     [](Settings& s, OptionValue v) {
         s.line_end = read_word(v, LineEndWords).value_or(LineEnd::Lf);
     },
     is_word<LineEndWords>},
    {"--token-sep", true,
     [](Settings& s, OptionValue v) {
         s.token_separator = read_word(v, SeparatorWords).value_or(TokenSeparator::Space);
     },
     is_word<SeparatorWords>},
    {"--handshake-fault", true,
     [](Settings& s, OptionValue v) { s.handshake_fault = read_word(v, HandshakeWords); },
     is_word<HandshakeWords>},
    {"--handshake-delay-ms", true,
     [](Settings& s, OptionValue v) { s.handshake_delay_ms = read_u64_or(v, 0); }},
    {"--crash-after-ply", true,
     [](Settings& s, OptionValue v) { s.crash_after_ply = read_ply(v); }},
    {"--garble-at-ply", true, [](Settings& s, OptionValue v) { s.garble_at_ply = read_ply(v); }},
    {"--garble", true,
     [](Settings& s,
        OptionValue v) { s.garble = read_word(v, GarbleWords).value_or(GarbleKind::Empty); },
     is_word<GarbleWords>},
    {"--flood-at-ply", true, [](Settings& s, OptionValue v) { s.flood_at_ply = read_ply(v); }},
    {"--flood-lines", true,
     [](Settings& s, OptionValue v) { s.flood_lines = read_ply(v).value_or(1000); }},
    {"--flood-kind", true,
     [](Settings& s,
        OptionValue v) { s.flood_kind = read_word(v, FloodWords).value_or(FloodKind::Valid); },
     is_word<FloodWords>},
    {"--quit-delay-ms", true,
     [](Settings& s, OptionValue v) { s.quit_delay_ms = read_u64_or(v, 0); }},
    {"--ignore-quit", false, [](Settings& s, OptionValue) { s.ignore_quit = true; }},
    {"--ponder", false, [](Settings& s, OptionValue) { s.ponder = true; }},
    {"--ponder-premature-at-ply", true,
     [](Settings& s, OptionValue v) { s.ponder_premature_at_ply = read_ply(v); }},
    {"--no-chess960-option", false, [](Settings& s, OptionValue) { s.no_chess960_option = true; }},
    {"--think", false, [](Settings& s, OptionValue) { s.think = true; }},
    {"--think-interval-ms", true,
     [](Settings& s, OptionValue v) {
         s.think_interval_ms = v ? velloran::parse_unsigned<std::uint64_t>(*v) : std::nullopt;
     }},
    {"--think-nps", true,
     [](Settings& s, OptionValue v) { s.think_nps = read_u64_or(v, DefaultThinkNps); }},
    {"--options", true,
     [](Settings& s,
        OptionValue v) { s.options = read_word(v, OptionsWords).value_or(OptionsMode::Basic); },
     is_word<OptionsWords>},
    {"--info-quirk", true,
     [](Settings& s, OptionValue v) { s.info_quirk = read_word(v, QuirkWords); },
     is_word<QuirkWords>},
    {"--cecp-accept-draw", false, [](Settings& s, OptionValue) { s.cecp_accept_draw = true; }},
});

// Walks the arguments as the scanner reads them: visits each with the rule that knows it (null
// for an unknown argument) and that rule's value.
template <typename Visit>
void walk_arguments(std::span<const std::string_view> arguments, Visit visit) {
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string_view argument = arguments[index];
        const auto rule = std::ranges::find(ArgumentRules, argument, &ArgumentRule::word);
        if (rule == ArgumentRules.end()) {
            visit(argument, nullptr, OptionValue());
            continue;
        }
        OptionValue value;
        if (rule->takes_value) {
            ++index;  // the value is the next argument, whatever it looks like
            if (index < arguments.size()) value = arguments[index];
        }
        visit(argument, &*rule, value);
    }
}

}  // namespace

Settings scan_arguments(std::span<const std::string_view> arguments) {
    Settings settings;
    walk_arguments(arguments, [&](std::string_view, const ArgumentRule* rule, OptionValue value) {
        if (rule != nullptr) rule->apply(settings, value);
    });
    return settings;
}

std::vector<std::string_view> unknown_arguments(std::span<const std::string_view> arguments) {
    std::vector<std::string_view> unknown;
    walk_arguments(arguments,
                   [&](std::string_view argument, const ArgumentRule* rule, OptionValue value) {
                       if (rule == nullptr || (rule->takes_value && !value)) {
                           unknown.push_back(argument);
                       } else if (value && rule->knows_value && !rule->knows_value(*value)) {
                           unknown.push_back(*value);
                       }
                   });
    return unknown;
}

}  // namespace pawnlark
