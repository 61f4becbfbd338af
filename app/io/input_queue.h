#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace pawnlark {

// Input read ahead by a thread of its own and handed over a line at a time, so that a search
// can go on thinking while it watches for "stop". Blocking reads work on every platform,
// including pipes that cannot be polled. Lines put back with `defer` are handed out again
// before any newer input, in the order they were deferred.
class InputQueue {
public:
    using Clock = std::chrono::steady_clock;

    // Starts reading `in`, which must outlive the queue and be read by nobody else.
    explicit InputQueue(std::istream& in);
    InputQueue(const InputQueue&) = delete;
    InputQueue& operator=(const InputQueue&) = delete;
    // Waits for the reader only if it has ended: one blocked in a read is left to the end of
    // the process.
    ~InputQueue();

    // The next line, deferred ones first; absent at the end of input (or at a line that is not
    // UTF-8), as for the plain loop.
    std::optional<std::string> next();

    struct Arrival {
        enum class Kind : std::uint8_t { Line, Timeout, End } kind = Kind::Timeout;
        std::string line;
    };
    // A line of new input that arrives before `deadline`. The end of input is reported once;
    // afterwards the call just waits for the deadline.
    Arrival wait_until(Clock::time_point deadline);
    // Hands the line out again before newer input.
    void defer(std::string line);

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
    bool end_reported_ = false;
    std::thread reader_;
};

}  // namespace pawnlark
