#pragma once

#include <string_view>

namespace velloran {

// Messages of the internal faults that the program's own checks make unreachable.
inline constexpr std::string_view NoKingMessage = "No king was found.";
inline constexpr std::string_view MissingPieceMessage = "Missing piece on move's from square";
inline constexpr std::string_view EmptyRangeMessage = "cannot sample empty range";

// Writes the message and a line feed to standard error and aborts.
[[noreturn]] void fatal(std::string_view message);

}  // namespace velloran
