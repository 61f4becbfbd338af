#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "velloran/text.h"

namespace pawnlark {

// The statuses the process can end with.
enum class ExitStatus : int { Ok = 0, Crash = 3, WriteFailed = 101 };

// Whether the bytes are strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

// Reads input lines into one buffer of its own, grown as long as a line needs (to at most
// twice its length) and given back after a long line. A line that cannot be held, because
// memory is refused or it is longer than `max_line_bytes`, is skipped to its end and read as
// a blank line, so the loop goes on.
class LineReader {
public:
    explicit LineReader(std::istream& in,
                        std::size_t max_line_bytes = std::numeric_limits<std::size_t>::max() / 2)
        : in_(in), max_line_bytes_(max_line_bytes) {}

    // The next line, without its line feed and then one carriage return; valid until the next
    // call. Absent at the end of input (nothing read), on a read failure, or when the line is
    // not valid UTF-8; in every case the command loop ends. A last line without line feed
    // counts.
    std::optional<std::string_view> next();

private:
    struct FreeBytes {
        void operator()(char* bytes) const { std::free(bytes); }
    };
    // Room for at least one more byte and the terminator; false when it cannot be had.
    bool grow();

    std::istream& in_;
    std::size_t max_line_bytes_;
    std::unique_ptr<char, FreeBytes> buffer_;
    std::size_t capacity_ = 0;
};

// The text without Unicode white space (White_Space property) at either end; the same white
// space as the core's FEN reading.
std::string_view trim(std::string_view text);

// One input line ready for dispatch: a view into the line it was made from, which must outlive
// it. Its words are found as they are asked for, so a line costs no more than its own text.
struct Command {
    std::string_view line;  // the trimmed line

    static Command from_line(std::string_view line);

    // The words of the line, split at runs of white space; none for a blank line.
    velloran::Words words() const { return velloran::Words(line); }
    // The first word, which selects the command; empty for a blank line.
    std::string_view word() const;
    // The word at `index` (0 is the command's own), empty when the line has fewer.
    std::string_view word_at(std::size_t index) const;
    // The word after the first argument equal to `key`, absent when there is none.
    std::optional<std::string_view> value_after(std::string_view key) const;
    // Whether an argument (a word after the first) equals `word`.
    bool has_argument(std::string_view word) const;
    // The trimmed rest of the line after the first word, inner spacing kept.
    std::string_view rest() const;
};

// How a handled line leaves the command loop.
enum class LoopControl : std::uint8_t {
    Continue,  // read the next line
    Quit,      // end the loop; the process ends with status 0
    Crash,     // end the process with status 3 at once
    Stall,     // stop answering for good
};

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
