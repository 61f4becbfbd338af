#include "app/settings.h"

#include <algorithm>
#include <array>

#include "app/faults/answer_plan.h"
#include "app/faults/fault_catalogue.h"
#include "app/faults/option_rule.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

// The options that are not faults; those come from the fault catalogue.
using ArgumentRule = OptionRule<Settings>;

std::uint64_t read_u64_or(OptionValue value, std::uint64_t fallback) {
    return value ? velloran::parse_unsigned<std::uint64_t>(*value).value_or(fallback) : fallback;
}

constexpr auto ProtocolWords = WordTable<Protocol, 2>{{
    {"uci", Protocol::Uci},
    {"cecp", Protocol::Cecp},
}};

constexpr auto LineEndWords = WordTable<LineEnd, 2>{{
    {"lf", LineEnd::Lf},
    {"crlf", LineEnd::CrLf},
}};

constexpr auto SeparatorWords = WordTable<TokenSeparator, 3>{{
    {"space", TokenSeparator::Space},
    {"tab", TokenSeparator::Tab},
    {"double", TokenSeparator::Double},
}};

constexpr auto OptionsWords = WordTable<OptionsMode, 2>{{
    {"full", OptionsMode::Full},
    {"echo", OptionsMode::Echo},
}};

// Every argument the command line knows besides the faults, each in one place.
constexpr auto ArgumentRules = std::to_array<ArgumentRule>({
    {"bench", false, [](Settings& s, OptionValue) { s.bench = true; }},
    {"--random", false, [](Settings& s, OptionValue) { s.random = true; }},
    {"--name", true, [](Settings& s, OptionValue v) { s.name = std::string(v.value_or("")); }},
    {"--seed", true, [](Settings& s, OptionValue v) { s.seed = read_u64_or(v, 42); }},
    {"--proto", true,
     [](Settings& s, OptionValue v) {
         s.protocol = read_word(v, ProtocolWords).value_or(Protocol::Uci);
     },
     WordList<ProtocolWords>},
    {"--cecp-standard", false, [](Settings& s, OptionValue) { s.cecp_standard = true; }},
    {"--line-end", true,
     [](Settings& s, OptionValue v) {
         s.line_end = read_word(v, LineEndWords).value_or(LineEnd::Lf);
     },
     WordList<LineEndWords>},
    {"--token-sep", true,
     [](Settings& s, OptionValue v) {
         s.token_separator = read_word(v, SeparatorWords).value_or(TokenSeparator::Space);
     },
     WordList<SeparatorWords>},
    {"--ponder", false, [](Settings& s, OptionValue) { s.ponder = true; }},
    {"--no-chess960-option", false, [](Settings& s, OptionValue) { s.no_chess960_option = true; }},
    {"--think", false, [](Settings& s, OptionValue) { s.think = true; }},
    {"--think-interval-ms", true,
     [](Settings& s, OptionValue v) {
         s.think_interval_ms = v ? velloran::parse_unsigned<std::uint64_t>(*v) : std::nullopt;
     }},
    {"--think-nps", true,
     [](Settings& s, OptionValue v) { s.think_nps = read_u64_or(v, DefaultThinkNps); }},
    {"--options", true,
     [](Settings& s, OptionValue v) {
         s.options = read_word(v, OptionsWords).value_or(OptionsMode::Basic);
     },
     WordList<OptionsWords>},
    {"--cecp-accept-draw", false, [](Settings& s, OptionValue) { s.cecp_accept_draw = true; }},
    // Chaos: a chance in a thousand, at most a thousand; its seed; the faults it may fire.
    {"--chaos", true,
     [](Settings& s, OptionValue v) {
         const auto per_mille = v ? velloran::parse_unsigned<std::uint32_t>(*v) : std::nullopt;
         s.chaos.per_mille = per_mille && *per_mille <= 1000 ? *per_mille : 0;
     }},
    {"--chaos-seed", true,
     [](Settings& s, OptionValue v) {
         s.chaos.seed = v ? velloran::parse_unsigned<std::uint64_t>(*v) : std::nullopt;
     }},
    {"--chaos-faults", true,
     [](Settings& s, OptionValue v) {
         s.chaos.faults = v ? read_chaos_faults(*v).value_or(0) : 0;
     }},
});

// The rule that knows an argument: one of ours, or a fault's option; neither for an unknown
// argument.
struct KnownArgument {
    const ArgumentRule* own = nullptr;
    const FaultOption* fault = nullptr;

    bool known() const { return own != nullptr || fault != nullptr; }
    bool takes_value() const {
        return own != nullptr ? own->takes_value : fault != nullptr && fault->takes_value;
    }
    bool knows_value(std::string_view value) const {
        return own != nullptr ? own->knows_value(value) : fault->knows_value(value);
    }
    void apply(Settings& settings, OptionValue value) const {
        if (own != nullptr) {
            own->apply(settings, value);
        } else if (fault != nullptr) {
            fault->apply(settings, value);
        }
    }
};

KnownArgument find_argument(std::string_view argument) {
    const auto own = std::ranges::find(ArgumentRules, argument, &ArgumentRule::word);
    if (own != ArgumentRules.end()) return {.own = &*own, .fault = nullptr};
    return {.own = nullptr, .fault = find_fault_option(argument)};
}

// Walks the arguments as the scanner reads them: visits each with the rule that knows it and
// that rule's value.
template <typename Visit>
void walk_arguments(std::span<const std::string_view> arguments, Visit visit) {
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string_view argument = arguments[index];
        const KnownArgument rule = find_argument(argument);
        OptionValue value;
        if (rule.takes_value()) {
            ++index;  // the value is the next argument, whatever it looks like
            if (index < arguments.size()) value = arguments[index];
        }
        visit(argument, rule, value);
    }
}

}  // namespace

Settings scan_arguments(std::span<const std::string_view> arguments) {
    Settings settings;
    walk_arguments(arguments, [&](std::string_view, const KnownArgument& rule, OptionValue value) {
        rule.apply(settings, value);
    });
    return settings;
}

std::vector<std::string_view> unknown_arguments(std::span<const std::string_view> arguments) {
    std::vector<std::string_view> unknown;
    walk_arguments(arguments,
                   [&](std::string_view argument, const KnownArgument& rule, OptionValue value) {
                       if (!rule.known() || (rule.takes_value() && !value)) {
                           unknown.push_back(argument);
                       } else if (value && !rule.knows_value(*value)) {
                           unknown.push_back(*value);
                       }
                   });
    return unknown;
}

}  // namespace pawnlark
