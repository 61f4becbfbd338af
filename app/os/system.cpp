#include "app/os/system.h"

#include <cstdlib>
#include <string>

#include "app/os/platform.h"

namespace pawnlark {
namespace {

constexpr std::uint64_t StallPeriodMs = std::uint64_t{3600} * 1000;

}  // namespace

void RealSystem::sleep_ms(std::uint64_t milliseconds) { platform::sleep_ms(milliseconds); }

void RealSystem::stall() {
    for (;;) {
        sleep_ms(StallPeriodMs);
    }
}

void RealSystem::note(std::string_view line) {
    std::string bytes(line);
    bytes += '\n';
    platform::write_stderr(bytes);
}

void RealSystem::exit(ExitStatus status) { std::exit(static_cast<int>(status)); }

}  // namespace pawnlark
