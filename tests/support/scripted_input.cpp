#include "scripted_input.h"

#include <limits>

namespace pawnlark::test {

std::optional<std::string_view> ScriptedInput::next() {
    if (!deferred_.empty()) {
        current_ = std::move(deferred_.front());
        deferred_.pop_front();
        return current_;
    }
    if (script_.empty()) return std::nullopt;
    clock_.advance_to(script_.front().at_ms);
    current_ = std::move(script_.front().line);
    script_.pop_front();
    return current_;
}

WatchedInput::Arrival ScriptedInput::wait_until(std::uint64_t deadline_ms) {
    if (!script_.empty() && script_.front().at_ms <= deadline_ms) {
        clock_.advance_to(script_.front().at_ms);
        Arrival arrival = std::move(script_.front());
        script_.pop_front();
        return {WatchedInput::Arrival::Kind::Line, std::move(arrival.line)};
    }
    if (script_.empty() && !end_reported_) {
        end_reported_ = true;
        return {WatchedInput::Arrival::Kind::End, {}};
    }
    // A wait for ever with nothing to come would never end: the caller must not ask for one.
    if (deadline_ms != std::numeric_limits<std::uint64_t>::max()) clock_.advance_to(deadline_ms);
    return {};
}

}  // namespace pawnlark::test
