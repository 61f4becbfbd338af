#pragma once

#include <condition_variable>
#include <deque>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/io/input.h"

namespace pawnlark {

// Input read ahead by a thread of its own and handed over a line at a time, so that a search
// can go on thinking while it watches for "stop". Blocking reads work on every platform,
// including pipes that cannot be polled. Lines put back with `defer` are handed out again
// before any newer input, in the order they were deferred. Its milliseconds are those of
// `SteadyClock`.
class InputQueue final : public WatchedInput {
public:
    // Starts reading `in`, which must outlive the queue and be read by nobody else.
    explicit InputQueue(std::istream& in);
    InputQueue(const InputQueue&) = delete;
    InputQueue& operator=(const InputQueue&) = delete;
    // Waits for the reader only if it has ended: one blocked in a read is left to the end of
    // the process.
    ~InputQueue() override;

    std::optional<std::string_view> next() override;
    bool has_deferred() const override { return !deferred_.empty(); }
    Arrival wait_until(std::uint64_t deadline_ms) override;
    bool exhausted() const override;
    void defer(std::string line) override;

private:
    // Shared with the reader thread, which may outlive the queue.
    struct Shared {
        std::mutex mutex;
        std::condition_variable arrived;
        std::deque<std::string> lines;
        bool ended = false;
    };

    std::shared_ptr<Shared> shared_;
    std::deque<std::string> deferred_;
    std::string current_;  // the line `next` handed out last
    bool end_reported_ = false;
    std::thread reader_;
};

}  // namespace pawnlark
