#pragma once

#include <optional>

#include "velloran/rules/types.h"

namespace velloran {

// One colour's castling rights, as the files of the rooks the king may still castle with:
// `short_file` right of the king's file, `long_file` left of it (h and a in standard chess).
struct CastlingRights {
    std::optional<File> short_file;
    std::optional<File> long_file;

    constexpr bool any() const { return short_file.has_value() || long_file.has_value(); }
    friend constexpr bool operator==(const CastlingRights&, const CastlingRights&) = default;
};

}  // namespace velloran
