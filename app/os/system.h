#pragma once

#include <cstdint>
#include <string_view>

namespace pawnlark {

// The statuses the process can end with.
enum class ExitStatus : int { Ok = 0, Crash = 3, WriteFailed = 101 };

// The clock and the process, kept apart from the command loops so tests can stand in for them.
class System {
public:
    virtual ~System() = default;
    // Sleeps the whole time on the monotonic clock, resuming after interruptions.
    virtual void sleep_ms(std::uint64_t milliseconds) = 0;
    // Stops for good, without using the processor; only a kill from outside ends it.
    [[noreturn]] virtual void stall() = 0;
    // Writes one line of diagnosis to standard error, never to the replies.
    virtual void note(std::string_view line) = 0;
    // Ends the process with the status. Replies are already out: each left with its line.
    [[noreturn]] virtual void exit(ExitStatus status) = 0;
};

class RealSystem final : public System {
public:
    void sleep_ms(std::uint64_t milliseconds) override;
    [[noreturn]] void stall() override;
    void note(std::string_view line) override;
    [[noreturn]] void exit(ExitStatus status) override;
};

}  // namespace pawnlark
