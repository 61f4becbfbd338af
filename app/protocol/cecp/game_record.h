#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "velloran/chess/game.h"

namespace pawnlark {

// The game since it was last set ("new", "setboard", edit mode): its first position and the
// moves played since. A takeback rebuilds the game by replaying the moves that remain, so
// counters and the repetition record come out exactly as they were, at a few bytes a ply.
class GameRecord {
public:
    void restart(const velloran::Game& game) {
        start_ = game;
        moves_.clear();
    }
    void played(velloran::Move move) { moves_.push_back(move); }
    std::size_t plies() const { return moves_.size(); }
    // The game without its last `plies` moves, which the record forgets; absent, and nothing
    // forgotten, when fewer were played.
    std::optional<velloran::Game> take_back(std::size_t plies);

private:
    velloran::Game start_ = velloran::Game::new_game();
    std::vector<velloran::Move> moves_;
};

// The board of xboard's edit mode, as its subcommands leave it.
struct EditBoard {
    std::array<char, 64> squares{};                  // FEN piece letters, '\0' when empty
    velloran::Color color = velloran::Color::White;  // of the pieces placed next
};

// What standard xboard play keeps beyond the basic CECP state.
struct XboardState {
    GameRecord record;
    std::optional<EditBoard> edit;   // present inside edit mode
    bool usermove_accepted = false;  // "accepted usermove": moves no longer come bare
};

}  // namespace pawnlark
