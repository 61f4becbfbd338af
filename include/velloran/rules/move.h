#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "velloran/rules/types.h"

namespace velloran {

// A move: castling is the king moving onto its own castling rook (e1h1), in every mode; a
// promotion is present exactly for a pawn reaching the last rank.
struct Move {
    Square from{};
    Square to{};
    std::optional<Piece> promotion;

    // The plain coordinate form, read without a position: two squares, then only the fifth
    // byte is examined ("n", "b", "r", "q" promote; "p", "k" and a non-ASCII character mean no
    // promotion; anything else is malformed). Absent when malformed.
    static std::optional<Move> from_text(std::string_view text);
    // from, to and the promotion letter, unchanged: e2e4, e7e8q, e1h1.
    std::string text() const;

    friend bool operator==(const Move&, const Move&) = default;
};

}  // namespace velloran
