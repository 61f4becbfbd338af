#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

#include "app/io/line_reader.h"

namespace pawnlark {

// Where the command loop's lines come from.
class Input {
public:
    virtual ~Input() = default;
    // The next line to handle, valid until the next call; absent at the end of input or at a
    // line that is not UTF-8, where the loop ends.
    virtual std::optional<std::string_view> next() = 0;
    // Whether lines put back by a search wait to be handled: a CECP analysis starts again only
    // after the last of them.
    virtual bool has_deferred() const { return false; }
};

// Lines read straight from a stream, one at a time as the loop asks.
class PlainInput final : public Input {
public:
    explicit PlainInput(std::istream& in) : reader_(in) {}
    std::optional<std::string_view> next() override { return reader_.next(); }

private:
    LineReader reader_;
};

// Input that a thinking search watches while it runs: the lines that arrive meanwhile, on the
// milliseconds of a `Clock`.
class WatchedInput : public Input {
public:
    struct Arrival {
        enum class Kind : std::uint8_t { Line, Timeout, End } kind = Kind::Timeout;
        std::string line;
    };
    // A line of new input that arrives before `deadline_ms`. The end of input is reported
    // once; afterwards the call just waits for the deadline.
    virtual Arrival wait_until(std::uint64_t deadline_ms) = 0;
    // Whether the input has ended with no line left to hand over: nobody can stop a search.
    virtual bool exhausted() const = 0;
    // Hands the line out again through `next`, before newer input.
    virtual void defer(std::string line) = 0;
};

}  // namespace pawnlark
