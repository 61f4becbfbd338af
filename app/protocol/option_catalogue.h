#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/engine/engine_options.h"
#include "app/protocol/protocol_settings.h"

namespace pawnlark {

// The UCI type of an option; the xboard form is given per option.
enum class OptionType : std::uint8_t { Spin, Check, Combo, Button, String };

// What taking an option does besides being accepted.
enum class OptionEffect : std::uint8_t {
    None,
    Noise,
    MultiPv,
    ShowWdl,
    MoveOverhead,
    Ponder,
    Chess960,  // the mode of later games; the UCI loop's own state
    ResetAll,  // every option back to its default
};

// One option the engine offers.
struct OptionSpec {
    std::string_view name{};
    OptionType type = OptionType::Button;
    std::string_view xboard_type{};    // "-spin", "-slider", "-check", "-combo", "-button", ...
    std::string_view default_value{};  // as UCI announces it; empty is announced as <empty>
    std::int64_t min = 0;              // spins only
    std::int64_t max = 0;
    std::span<const std::string_view> choices{};  // combos only, in announced order
    OptionEffect effect = OptionEffect::None;
    bool uci_only = false;  // CECP has commands of its own for it, or no use for it
};

// The full catalogue as offered in a dialect: CECP leaves out the UCI-only options, and
// UCI_Chess960 is left out when it is not offered at all. Lives as long as the program, and so
// does every OptionSetting read from it.
std::span<const OptionSpec> option_catalogue(Protocol protocol, bool chess960_option);

// MultiPV, Move Overhead and UCI_ShowWDL: what a thinking engine offers without the catalogue.
std::span<const OptionSpec> search_options();

// An option value that passed its checks.
struct OptionSetting {
    const OptionSpec* option = nullptr;  // into the catalogue the setting was read from
    std::string value;        // as the option knows it: "64", "true", "Very Solid", "" (buttons)
    std::int64_t number = 0;  // a spin's value; 1 or 0 for a check
};

// A setting, or why the command was refused: one line of text, without the dialect's prefix.
using OptionOutcome = std::variant<OptionSetting, std::string>;

// What a setting changes among the engine options; Reset Settings puts them all back. Options
// without an effect there change nothing.
void apply_option(const OptionSetting& setting, EngineOptions& options);

}  // namespace pawnlark
