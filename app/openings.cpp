#include "app/openings.h"

#include <vector>

#include "app/move_choice.h"
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
        // Through text and back, as a move from a front end; from the start position a side
        // with a castling right has its king at home, so the text always reads back.
        const auto read_back = game.parse_move(game.move_text(pick));
        game.play(read_back.has_value() ? read_back.value() : pick);
    }
    return game.to_fen();
}

}  // namespace pawnlark
