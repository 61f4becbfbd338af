#include "app/os/clock.h"

#include <chrono>

namespace pawnlark {

std::uint64_t SteadyClock::now_ms() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

}  // namespace pawnlark
