#pragma once

// A game read from the faulty engine's side: its colour, the side the manager blames, its
// score, and the game in words.

#include <cstdint>
#include <optional>
#include <string>

#include "tools/audit/games.h"

namespace pawnlark::audit {

// Whether the faulty engine had White, from the players' names ("faulty", else the one that
// is not "normal"); absent when the names do not tell.
std::optional<bool> faulty_is_white(const GameRecord& game);

// The side the manager's words hold responsible for the end of a game: the colour they start
// with ("White disconnects", "Black's connection stalls"), or the other one when they name the
// winner ("Black wins on time"); absent when they start with neither. True for White.
std::optional<bool> blamed_side(const std::string& reason);

enum class Score : std::uint8_t { Won, Lost, Drawn, None };

// The game's result for the faulty engine; None without a result or a known colour.
Score faulty_score(const GameRecord& game);

// "faulty White: 0-1 {White disconnects} [abandoned]".
std::string describe(const GameRecord& game);

// "lost on time", "drawn by rule", "void".
std::string short_game(const GameRecord& game);

}  // namespace pawnlark::audit
