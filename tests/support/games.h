#pragma once

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

#include "velloran/chess/game.h"

namespace velloran::test {

// The game a FEN text names; a test failure (and the start position) when it does not read.
inline Game read_game(std::string_view fen, bool chess960 = false) {
    auto game = Game::from_fen(fen, chess960);
    EXPECT_TRUE(game.has_value()) << fen;
    return game.has_value() ? std::move(game).value() : Game::new_game();
}

}  // namespace velloran::test
