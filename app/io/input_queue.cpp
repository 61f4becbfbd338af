#include "app/io/input_queue.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "app/io/line_reader.h"

namespace pawnlark {

InputQueue::InputQueue(std::istream& in) : shared_(std::make_shared<Shared>()) {
    reader_ = std::thread([shared = shared_, &in] {
        LineReader reader(in);
        // Notified after the lock is let go: a loop woken while it is held would only wake to
        // wait for it, which costs a crowd of engines a second wake-up per line.
        while (const auto line = reader.next()) {
            {
                const std::lock_guard lock(shared->mutex);
                shared->lines.emplace_back(*line);
            }
            shared->arrived.notify_one();
        }
        {
            const std::lock_guard lock(shared->mutex);
            shared->ended = true;
        }
        shared->arrived.notify_one();
    });
}

InputQueue::~InputQueue() {
    bool ended = false;
    {
        const std::lock_guard lock(shared_->mutex);
        ended = shared_->ended;
    }
    if (ended) {
        reader_.join();
    } else {
        reader_.detach();
    }
}

std::optional<std::string_view> InputQueue::next() {
    if (!deferred_.empty()) {
        current_ = std::move(deferred_.front());
        deferred_.pop_front();
        return current_;
    }
    std::unique_lock lock(shared_->mutex);
    shared_->arrived.wait(lock, [&] { return !shared_->lines.empty() || shared_->ended; });
    if (shared_->lines.empty()) return std::nullopt;
    current_ = std::move(shared_->lines.front());
    shared_->lines.pop_front();
    return current_;
}

WatchedInput::Arrival InputQueue::wait_until(std::uint64_t deadline_ms) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline{
        std::chrono::milliseconds(std::min<std::uint64_t>(deadline_ms, std::uint64_t{1} << 50))};
    std::unique_lock lock(shared_->mutex);
    const auto has_news = [&] {
        return !shared_->lines.empty() || (shared_->ended && !end_reported_);
    };
    // A deadline already past needs a look, not a wait: that would cost system calls.
    const bool woken = deadline <= Clock::now()
                           ? has_news()
                           : shared_->arrived.wait_until(lock, deadline, has_news);
    if (!woken) return {};
    if (shared_->lines.empty()) {
        end_reported_ = true;
        return {Arrival::Kind::End, {}};
    }
    Arrival arrival{Arrival::Kind::Line, std::move(shared_->lines.front())};
    shared_->lines.pop_front();
    return arrival;
}

bool InputQueue::exhausted() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->ended && shared_->lines.empty();
}

void InputQueue::defer(std::string line) { deferred_.push_back(std::move(line)); }

}  // namespace pawnlark
