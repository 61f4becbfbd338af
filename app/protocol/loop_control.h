#pragma once

#include <cstdint>

namespace pawnlark {

// How a handled line leaves the command loop.
enum class LoopControl : std::uint8_t {
    Continue,  // read the next line
    Quit,      // end the loop; the process ends with status 0
    Crash,     // end the process with status 3 at once
    Stall,     // stop answering for good
};

}  // namespace pawnlark
