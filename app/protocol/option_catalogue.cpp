#include "app/protocol/option_catalogue.h"

#include <array>

namespace pawnlark {
namespace {

constexpr auto StyleChoices =
    std::to_array<std::string_view>({"Very Solid", "Normal", "Risky Play"});

// What front ends meet in the wild: every UCI type and every xboard type, names with spaces,
// a name holding the word value, a negative range, a combo value with a space, an empty string
// default, a path, and a string with spaces. The three search options stand together so that
// `search_options` can offer them alone.
constexpr auto Catalogue = std::to_array<OptionSpec>({
    {.name = "Noise",
     .type = OptionType::Spin,
     .xboard_type = "-spin",
     .default_value = "25",
     .min = 0,
     .max = 100,
     .effect = OptionEffect::Noise},
    {.name = "Hash",
     .type = OptionType::Spin,
     .xboard_type = "-spin",
     .default_value = "16",
     .min = 1,
     .max = 33554432},
    {.name = "Threads",
     .type = OptionType::Spin,
     .xboard_type = "-spin",
     .default_value = "1",
     .min = 1,
     .max = 1024},
    {.name = "MultiPV",
     .type = OptionType::Spin,
     .xboard_type = "-spin",
     .default_value = "1",
     .min = 1,
     .max = 256,
     .effect = OptionEffect::MultiPv},
    {.name = "Move Overhead",
     .type = OptionType::Spin,
     .xboard_type = "-spin",
     .default_value = "10",
     .min = 0,
     .max = 5000,
     .effect = OptionEffect::MoveOverhead},
    {.name = "UCI_ShowWDL",
     .type = OptionType::Check,
     .xboard_type = "-check",
     .default_value = "false",
     .effect = OptionEffect::ShowWdl,
     .uci_only = true},
    {.name = "Contempt",
     .type = OptionType::Spin,
     .xboard_type = "-slider",
     .default_value = "0",
     .min = -100,
     .max = 100},
    {.name = "Piece value Scale",
     .type = OptionType::Spin,
     .xboard_type = "-spin",
     .default_value = "100",
     .min = 50,
     .max = 200},
    {.name = "UCI_Elo",
     .type = OptionType::Spin,
     .xboard_type = "-spin",
     .default_value = "1320",
     .min = 1320,
     .max = 3190,
     .uci_only = true},
    {.name = "Ponder",
     .type = OptionType::Check,
     .xboard_type = "-check",
     .default_value = "false",
     .effect = OptionEffect::Ponder,
     .uci_only = true},
    {.name = "OwnBook",
     .type = OptionType::Check,
     .xboard_type = "-check",
     .default_value = "false"},
    {.name = "UCI_LimitStrength",
     .type = OptionType::Check,
     .xboard_type = "-check",
     .default_value = "false",
     .uci_only = true},
    {.name = "UCI_AnalyseMode",
     .type = OptionType::Check,
     .xboard_type = "-check",
     .default_value = "false",
     .uci_only = true},
    {.name = "UCI_Chess960",
     .type = OptionType::Check,
     .xboard_type = "-check",
     .default_value = "false",
     .effect = OptionEffect::Chess960,
     .uci_only = true},
    {.name = "Playing Style",
     .type = OptionType::Combo,
     .xboard_type = "-combo",
     .default_value = "Normal",
     .choices = StyleChoices},
    {.name = "Clear Hash", .type = OptionType::Button, .xboard_type = "-button"},
    {.name = "Save Settings", .type = OptionType::Button, .xboard_type = "-save"},
    {.name = "Reset Settings",
     .type = OptionType::Button,
     .xboard_type = "-reset",
     .effect = OptionEffect::ResetAll},
    {.name = "SyzygyPath", .type = OptionType::String, .xboard_type = "-path"},
    {.name = "Book File",
     .type = OptionType::String,
     .xboard_type = "-file",
     .default_value = "/usr/share/games/pawnlark/book.bin"},
    {.name = "Greeting",
     .type = OptionType::String,
     .xboard_type = "-string",
     .default_value = "good luck, have fun"},
});

constexpr std::size_t FirstSearchOption = 3;  // MultiPV, Move Overhead, UCI_ShowWDL

}  // namespace

std::span<const OptionSpec> option_catalogue(Protocol protocol, bool chess960_option) {
    const auto offered = [](Protocol dialect, bool with_chess960) {
        std::vector<OptionSpec> options;
        for (const OptionSpec& option : Catalogue) {
            if (dialect == Protocol::Cecp && option.uci_only) continue;
            if (!with_chess960 && option.effect == OptionEffect::Chess960) continue;
            options.push_back(option);
        }
        return options;
    };
    // Built once each, so the settings read from them can point into them for good.
    static const std::vector<OptionSpec> uci = offered(Protocol::Uci, true);
    static const std::vector<OptionSpec> uci_without_chess960 = offered(Protocol::Uci, false);
    static const std::vector<OptionSpec> cecp = offered(Protocol::Cecp, true);
    if (protocol == Protocol::Cecp) return cecp;
    return chess960_option ? uci : uci_without_chess960;
}

std::span<const OptionSpec> search_options() {
    return std::span(Catalogue).subspan(FirstSearchOption, 3);
}

void apply_option(const OptionSetting& setting, EngineOptions& options) {
    const std::int64_t number = setting.number;
    switch (setting.option->effect) {
        case OptionEffect::Noise:
            options.noise = static_cast<std::int32_t>(number);
            break;
        case OptionEffect::MultiPv:
            options.multipv = static_cast<std::uint32_t>(number);
            break;
        case OptionEffect::ShowWdl:
            options.show_wdl = number != 0;
            break;
        case OptionEffect::MoveOverhead:
            options.move_overhead_ms = static_cast<std::uint64_t>(number);
            break;
        case OptionEffect::Ponder:
            options.ponder = number != 0;
            break;
        case OptionEffect::ResetAll:
            options = EngineOptions{};
            break;
        case OptionEffect::None:
        case OptionEffect::Chess960:
            break;
    }
}

}  // namespace pawnlark
