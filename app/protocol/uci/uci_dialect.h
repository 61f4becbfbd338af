#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/engine/thinking.h"
#include "app/io/command.h"
#include "velloran/rules/types.h"

namespace pawnlark {

// The limits of a UCI "go" for the side to move; "mate M" reads as depth 2M-1.
ThinkLimits read_uci_limits(const Command& go, velloran::Color side_to_move);

// "info ..." as UCI front ends read it.
std::string uci_info_line(const ThinkReport& report);

}  // namespace pawnlark
