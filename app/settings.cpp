#include "settings.h"

#include <array>

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

// Every argument the command line knows, each in one place.
constexpr std::array<ArgumentRule, 9> ArgumentRules{{
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
