#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "app/io/formatted_output.h"
#include "app/protocol/protocol_settings.h"

namespace pawnlark {

// The whole command line, complete before the first input line and read-only afterwards. Each
// layer is handed the slice it needs.
struct Settings : ProtocolSettings, OutputFormat {
    Protocol protocol = Protocol::Uci;  // the dialect spoken on standard input and output
    bool bench = false;                 // print the bench line and end
    // Think like a real engine: read input during a search, take time from the clock and
    // stream analysis lines; the move played stays the same. Main picks the searcher by it.
    bool think = false;

    friend bool operator==(const Settings&, const Settings&) = default;
};

// Scans the arguments after the program name. Never fails: unrecognised arguments are
// skipped, unreadable values take their fall-backs, the last occurrence of an option wins.
// A value-taking option always consumes the next argument, whatever it looks like.
Settings scan_arguments(std::span<const std::string_view> arguments);

// What the scanner would skip or read as a fall-back, walking the arguments the same way: each
// unrecognised argument, each value that is not one of its option's words, and each
// value-taking option left without a value. Numbers are not checked. Empty for a clean line;
// lets a program that composes command lines catch a misspelling.
std::vector<std::string_view> unknown_arguments(std::span<const std::string_view> arguments);

}  // namespace pawnlark
