#pragma once

#include <cstdint>

namespace pawnlark {

// Monotonic time in milliseconds from an unspecified start, kept apart so that a search can be
// run on a clock that a test moves by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t now_ms() const = 0;
};

// The system's steady clock, the one the read-ahead input waits on.
class SteadyClock final : public Clock {
public:
    std::uint64_t now_ms() const override;
};

}  // namespace pawnlark
