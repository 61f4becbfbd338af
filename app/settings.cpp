#include "settings.h"

#include <array>
#include <utility>

namespace pawnlark {
namespace {

// The value after a value-taking option; absent when the option was the last argument.
using OptionValue = std::optional<std::string_view>;

struct ArgumentRule {
    std::string_view word;
    bool takes_value;
    void (*apply)(Settings&, OptionValue);
};

std::optional<std::uint32_t> read_ply(OptionValue value) {
    return value ? parse_unsigned<std::uint32_t>(*value) : std::nullopt;
}

std::uint64_t read_u64_or(OptionValue value, std::uint64_t fallback) {
    return value ? parse_unsigned<std::uint64_t>(*value).value_or(fallback) : fallback;
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

constexpr std::array<std::pair<std::string_view, ClaimKind>, 5> ClaimWords{{
    {"resign", ClaimKind::Resign},
    {"claim-win", ClaimKind::ClaimWin},
    {"offer-draw", ClaimKind::OfferDraw},
    {"claim-draw", ClaimKind::ClaimDraw},
    {"reject-usermove", ClaimKind::RejectUsermove},
}};

// Every argument the command line knows, each in one place.
constexpr std::array<ArgumentRule, 12> ArgumentRules{{
    {"bench", false, [](Settings& s, OptionValue) { s.bench = true; }},
    {"--random", false, [](Settings& s, OptionValue) { s.random = true; }},
    {"--name", true, [](Settings& s, OptionValue v) { s.name = std::string(v.value_or("")); }},
    {"--seed", true, [](Settings& s, OptionValue v) { s.seed = read_u64_or(v, 42); }},
    {"--delay-ms", true, [](Settings& s, OptionValue v) { s.delay_ms = read_u64_or(v, 5); }},
    {"--proto", true,
     [](Settings& s, OptionValue v) {
         s.protocol = v == std::string_view("cecp") ? Protocol::Cecp : Protocol::Uci;
     }},
    {"--crash-at-ply", true, [](Settings& s, OptionValue v) { s.crash_at_ply = read_ply(v); }},
    {"--stall-at-ply", true, [](Settings& s, OptionValue v) { s.stall_at_ply = read_ply(v); }},
    {"--illegal-at-ply", true,
     [](Settings& s, OptionValue v) { s.illegal_at_ply = read_ply(v); }},
    {"--cecp-standard", false, [](Settings& s, OptionValue) { s.cecp_standard = true; }},
    {"--cecp-claim-at-ply", true,
     [](Settings& s, OptionValue v) { s.cecp_claim_at_ply = read_ply(v); }},
    {"--cecp-claim", true,
     [](Settings& s, OptionValue v) {
         s.cecp_claim = read_word(v, ClaimWords).value_or(ClaimKind::Resign);
     }},
}};

}  // namespace

Settings scan_arguments(std::span<const std::string_view> arguments) {
    Settings settings;
    std::size_t index = 0;
    while (index < arguments.size()) {
        const std::string_view argument = arguments[index];
        std::size_t step = 1;
        for (const ArgumentRule& rule : ArgumentRules) {
            if (rule.word != argument) {
                continue;
            }
            OptionValue value;
            if (rule.takes_value) {
                step = 2;
                if (index + 1 < arguments.size()) {
                    value = arguments[index + 1];
                }
            }
            rule.apply(settings, value);
            break;
        }
        index += step;
    }
    return settings;
}

}  // namespace pawnlark
