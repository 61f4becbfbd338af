#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/io/input.h"
#include "app/os/clock.h"

namespace pawnlark::test {

// A clock that moves only when told.
class FakeClock final : public Clock {
public:
    std::uint64_t now_ms() const override { return now_ms_; }
    void advance_to(std::uint64_t ms) {
        if (ms > now_ms_) now_ms_ = ms;
    }

private:
    std::uint64_t now_ms_ = 0;
};

// Input lines that arrive at given times on a fake clock, then the end of input. Waiting moves
// the clock: to the next line's time when it comes before the deadline, else to the deadline.
// A thinking search over it runs in no real time and prints the same lines on every run.
class ScriptedInput final : public WatchedInput {
public:
    struct Arrival {
        std::uint64_t at_ms = 0;
        std::string line;
    };
    ScriptedInput(FakeClock& clock, std::vector<Arrival> script)
        : clock_(clock), script_(script.begin(), script.end()) {}

    std::optional<std::string_view> next() override;
    bool has_deferred() const override { return !deferred_.empty(); }
    WatchedInput::Arrival wait_until(std::uint64_t deadline_ms) override;
    bool exhausted() const override { return script_.empty(); }
    void defer(std::string line) override { deferred_.push_back(std::move(line)); }

private:
    FakeClock& clock_;
    std::deque<Arrival> script_;
    std::deque<std::string> deferred_;
    std::string current_;
    bool end_reported_ = false;
};

}  // namespace pawnlark::test
