#include "app/engine/openings.h"

#include <vector>

#include "app/engine/move_choice.h"
#include "velloran/chess/game.h"

namespace pawnlark {

OpeningGenerator::OpeningGenerator(std::uint64_t seed)
    : generator_(velloran::RandomGenerator::with_seed(seed)) {}

std::string OpeningGenerator::next_fen() {
    velloran::Game game = velloran::Game::new_game();
    for (int ply = 0; ply < OpeningPlies; ++ply) {
        const std::vector<velloran::Move> candidates = sorted_legal_moves(game);
        if (candidates.empty()) break;
        const velloran::Move pick = candidates[generator_.sample_range(0, candidates.size())];
        // As a front end would send it back.
        game.play(game.move_read_back(pick));
    }
    return game.to_fen();
}

}  // namespace pawnlark
