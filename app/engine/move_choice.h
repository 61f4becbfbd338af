#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {

// The engine's answer: a legal move and its score in centipawns for the side that plays it
// (0 in random mode).
struct MoveChoice {
    velloran::Move move;
    std::int32_t score = 0;
};

inline constexpr std::int32_t MateScore = 30000;
inline constexpr std::int32_t NoiseAmplitude = 25;

// The legal moves in ascending byte order of their text in this game (a prefix sorts first),
// stable for equal texts. Draws nothing.
std::vector<velloran::Move> sorted_legal_moves(const velloran::Game& game);
// The same for a bare board read in the given mode.
std::vector<velloran::Move> sorted_legal_moves(const velloran::Board& board, bool chess960);

// Material of `side` minus that of its opponent: pawn 100, knight 300, bishop 320, rook 500,
// queen 900.
std::int32_t material_balance(const velloran::Board& board, velloran::Color side);

// Random mode: one uniform draw among the sorted moves. Default mode: every candidate, in
// order, is played one ply deep and scored by mate (30000) or material, plus one noise draw in
// [-noise, noise] (one draw also when noise is 0); the first highest score wins. No move (and no
// draw) when there is no legal move.
std::optional<MoveChoice> choose_move(const velloran::Game& game,
                                      velloran::RandomGenerator& generator, bool random,
                                      std::int32_t noise = NoiseAmplitude);

// Every legal move, best first, from exactly the draws of `choose_move`: its choice comes
// first, then the rest by falling score (in random mode: in sorted order, scored 0), ties in
// sorted order. Empty when there is no legal move.
std::vector<MoveChoice> rank_moves(const velloran::Game& game, velloran::RandomGenerator& generator,
                                   bool random, std::int32_t noise = NoiseAmplitude);

// The first sorted legal reply to `move`, as it is written after it: the ponder move an engine
// names. Absent when the move ends the game's legal moves.
std::optional<std::string> first_reply_text(const velloran::Game& game, velloran::Move move);

}  // namespace pawnlark
