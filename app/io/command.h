#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "velloran/text.h"

namespace pawnlark {

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

}  // namespace pawnlark
