#pragma once

#include <span>
#include <string>
#include <string_view>

namespace pawnlark {

// Where replies go: one call per reply line.
class Output {
public:
    virtual ~Output() = default;
    // Writes the text and a line feed, and hands both to the system before returning.
    virtual void line(std::string_view text) = 0;
    // Writes the text without a line end: a deliberately malformed reply. Outputs that cannot
    // leave a line open end it.
    virtual void unterminated(std::string_view text) { line(text); }
    // Writes the lines of one reply that are all ready at once, the last without its line end
    // when `open_end`; one call per line unless the output can hand them over together.
    virtual void lines(std::span<const std::string> texts, bool open_end);
};

// Standard output, unbuffered beyond the line. A failed write prints "failed printing to
// stdout: " and the system's error text to standard error and ends the process with status
// 101; it never returns to the caller then.
class StdoutOutput final : public Output {
public:
    void line(std::string_view text) override;
    void unterminated(std::string_view text) override;
    // In one write: a reader waiting for the last line is woken once.
    void lines(std::span<const std::string> texts, bool open_end) override;
};

}  // namespace pawnlark
