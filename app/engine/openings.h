#pragma once

#include <cstdint>
#include <string>

#include "velloran/random/random_generator.h"

namespace pawnlark {

inline constexpr int OpeningPlies = 6;
inline constexpr std::uint32_t DefaultOpeningCount = 16;

// Opening positions from one seed: each is six uniformly drawn legal plies from the standard
// start (fewer when a position without moves is reached), one draw per ply, from a generator
// of its own so the games of the run are never disturbed.
class OpeningGenerator {
public:
    explicit OpeningGenerator(std::uint64_t seed);
    // The next position's FEN text.
    std::string next_fen();

private:
    velloran::RandomGenerator generator_;
};

}  // namespace pawnlark
