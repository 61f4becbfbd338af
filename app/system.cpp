#include "app/system.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace pawnlark {
namespace {

constexpr std::uint64_t StallPeriodMs = std::uint64_t{3600} * 1000;

}  // namespace

void RealSystem::sleep_ms(std::uint64_t milliseconds) {
    timespec request{};
    request.tv_sec = static_cast<std::time_t>(milliseconds / 1000);
    request.tv_nsec = static_cast<long>(milliseconds % 1000 * 1000000);
    timespec remaining{};
    // clock_nanosleep returns its error instead of setting errno; after a signal `remaining`
    // holds the time still owed, so the full pause always passes.
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &request, &remaining) == EINTR) {
        request = remaining;
    }
}

void RealSystem::stall() {
    for (;;) {
        sleep_ms(StallPeriodMs);
    }
}

void RealSystem::exit(ExitStatus status) { std::exit(static_cast<int>(status)); }

}  // namespace pawnlark
