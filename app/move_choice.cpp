#include "move_choice.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "velloran/chess/notation.h"

namespace pawnlark {

using velloran::Board;
using velloran::Color;
using velloran::Game;
using velloran::Move;
using velloran::Piece;

std::vector<Move> sorted_legal_moves(const Game& game) {
    std::vector<std::pair<std::string, Move>> texts;
    for (const Move move : game.legal_moves()) texts.emplace_back(game.move_text(move), move);
    std::stable_sort(texts.begin(), texts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Move> sorted;
    sorted.reserve(texts.size());
    for (const auto& entry : texts) sorted.push_back(entry.second);
    return sorted;
}

std::int32_t material_balance(const Board& board, Color side) {
    static constexpr std::array<std::pair<Piece, std::int32_t>, 5> Weights{{
        {Piece::Pawn, 100}, {Piece::Knight, 300}, {Piece::Bishop, 320}, {Piece::Rook, 500},
        {Piece::Queen, 900},
    }};
    std::int32_t balance = 0;
    for (const auto& [piece, weight] : Weights) {
        balance += weight * (board.pieces(side, piece).count() - board.pieces(~side, piece).count());
    }
    return balance;
}

std::optional<MoveChoice> choose_move(const Game& game, velloran::RandomGenerator& generator,
                                      bool random) {
    const std::vector<Move> candidates = sorted_legal_moves(game);
    if (candidates.empty()) return std::nullopt;
    if (random) {
        return MoveChoice{candidates[generator.sample_range(0, candidates.size())], 0};
    }
    // Only the board is needed to judge one ply (mate comes before every history-based rule),
    // so each try copies the board, not the game's history.
    const Board& board = game.board();
    const Color mover = board.side_to_move();
    std::optional<MoveChoice> best;
    for (const Move candidate : candidates) {
        // Played as a front end would send it; a castling text of a king off the e-file may read
        // back as a plain king step, or not at all, in which case the candidate itself is tried.
        const auto read_back =
            velloran::parse_move(board, velloran::move_text(board, candidate, game.chess960()),
                                 game.chess960());
        Board after = board;
        after.play(read_back.has_value() ? read_back.value() : candidate);
        const bool mates = after.checkers().any() && after.legal_piece_moves().move_count() == 0;
        const std::int32_t base = mates ? MateScore : material_balance(after, mover);
        const std::int32_t score =
            base + generator.sample_range_inclusive_i32(-NoiseAmplitude, NoiseAmplitude);
        if (!best || score > best->score) best = MoveChoice{candidate, score};
    }
    return best;
}

}  // namespace pawnlark
