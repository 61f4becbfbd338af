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

namespace pawnlark {

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

}  // namespace pawnlark
