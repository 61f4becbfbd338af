#include "app/protocol/cecp/game_record.h"

namespace pawnlark {

std::optional<velloran::Game> GameRecord::take_back(std::size_t plies) {
    if (plies > moves_.size()) return std::nullopt;
    moves_.resize(moves_.size() - plies);
    velloran::Game game = start_;
    for (const velloran::Move move : moves_) game.play(move);
    return game;
}

}  // namespace pawnlark
