#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/protocol/option_catalogue.h"

namespace pawnlark {

// Reading option commands in each dialect's grammar, and writing options as each dialect
// announces them.

// How a dialect writes values: check values are true/false in UCI, 1/0 in xboard, and UCI
// writes an empty string as <empty>.
enum class OptionSyntax : std::uint8_t { Uci, Xboard };

// Reads a whole "setoption name <id> [value <x>]" line. Names match whatever their spacing and
// case (values of checks and combos ignore case too); a name that holds the word value is
// found by trying every "value" as the separator, the longest known name winning. The value
// is the rest of the line as written.
OptionOutcome read_setoption(std::span<const OptionSpec> catalogue, std::string_view line);

// Reads xboard's "option NAME[=VALUE]" from the text after the command word.
OptionOutcome read_xboard_option(std::span<const OptionSpec> catalogue, std::string_view text);

// Checks a value, absent when none was given, against the option.
OptionOutcome check_option_value(const OptionSpec& option, std::optional<std::string_view> value,
                                 OptionSyntax syntax);

// For a front end that offers only the search options: sets MultiPV, UCI_ShowWDL or Move
// Overhead from its name and UCI value text. False, and nothing changed, for another name or a
// value that does not pass.
bool apply_search_option(EngineOptions& options, std::string_view name,
                         std::optional<std::string_view> value);

// The confirmation of --options echo: "Hash set to 64", "Clear Hash pressed".
std::string describe(const OptionSetting& setting);

// "option name Hash type spin default 16 min 1 max 33554432".
std::string uci_option_line(const OptionSpec& option);
// option="Hash -spin 16 1 33554432", as one item of the feature line.
std::string xboard_option_feature(const OptionSpec& option);

// The text with every control character (Unicode's Cc: C0, DEL and C1, a tab and U+0085
// among them) as '?', so an echoed value can neither end nor split a reply line.
std::string printable(std::string_view text);

}  // namespace pawnlark
