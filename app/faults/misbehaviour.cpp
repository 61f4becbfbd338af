#include "app/faults/misbehaviour.h"

#include <limits>

namespace pawnlark {

std::uint32_t count_ply(std::uint32_t ply) {
    return ply == std::numeric_limits<std::uint32_t>::max() ? ply : ply + 1;
}

bool fires(std::optional<std::uint32_t> at_ply, std::uint32_t ply) {
    return at_ply.has_value() && ply >= *at_ply;
}

}  // namespace pawnlark
