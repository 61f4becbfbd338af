#pragma once

#include <cstdint>

#include "app/engine/move_choice.h"

namespace pawnlark {

// The values a front end can set through the dialect's option command, as the rest of the
// engine reads them. Each starts at the default the engine announces.
struct EngineOptions {
    std::uint32_t multipv = 1;            // lines per depth while thinking
    bool show_wdl = false;                // "wdl W D L" on thinking lines
    std::uint64_t move_overhead_ms = 10;  // kept back from every time budget
    std::int32_t noise = NoiseAmplitude;  // each candidate's noise is drawn from [-noise, noise]
    bool ponder = false;                  // name a ponder move after the best move, as --ponder
};

}  // namespace pawnlark
