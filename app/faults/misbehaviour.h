#pragma once

#include <cstdint>
#include <optional>

namespace pawnlark {

// The next value of a ply counter. It stops at its maximum instead of wrapping, so an option
// that has fired cannot switch itself off.
std::uint32_t count_ply(std::uint32_t ply);

// Whether a ply option fires: from the first check where the counter reaches its value, and at
// every later check until a reset brings the counter below it.
bool fires(std::optional<std::uint32_t> at_ply, std::uint32_t ply);

}  // namespace pawnlark
