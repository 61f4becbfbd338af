#include "app/engine/move_choice.h"

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

namespace {

// A number whose order is the byte order of a move text: the bytes from the most significant
// end, padded with zeros, so a prefix sorts first. Move texts are at most five bytes.
std::uint64_t text_order(std::string_view text) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < sizeof key; ++i) {
        key = key << 8 | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    }
    return key;
}

}  // namespace

std::vector<Move> sorted_legal_moves(const Board& board, bool chess960) {
    std::vector<Move> moves = board.legal_moves();
    std::vector<std::pair<std::uint64_t, Move>> keyed;
    keyed.reserve(moves.size());
    for (const Move move : moves) {
        keyed.emplace_back(text_order(velloran::move_text(board, move, chess960)), move);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i) moves[i] = keyed[i].second;
    return moves;
}

std::vector<Move> sorted_legal_moves(const Game& game) {
    return sorted_legal_moves(game.board(), game.chess960());
}

std::int32_t material_balance(const Board& board, Color side) {
    static constexpr std::array<std::pair<Piece, std::int32_t>, 5> Weights{{
        {Piece::Pawn, 100},
        {Piece::Knight, 300},
        {Piece::Bishop, 320},
        {Piece::Rook, 500},
        {Piece::Queen, 900},
    }};
    std::int32_t balance = 0;
    for (const auto& [piece, weight] : Weights) {
        balance +=
            weight * (board.pieces(side, piece).count() - board.pieces(~side, piece).count());
    }
    return balance;
}

namespace {

// Scores every candidate one ply deep, in the given order, adding one `noise()` each, and
// hands each (move, score) to `visit`.
template <typename Noise, typename Visit>
void score_candidates(const Game& game, const std::vector<Move>& candidates, Noise noise,
                      Visit visit) {
    // Only the board is needed to judge one ply (mate comes before every history-based rule),
    // so each try copies the board, not the game's history.
    const Board& board = game.board();
    const Color mover = board.side_to_move();
    for (const Move candidate : candidates) {
        // Played as a front end would send it: a castling text may read back as a king step.
        Board after = board;
        after.play(velloran::move_read_back(board, candidate, game.chess960()));
        const bool mates = after.checkers().any() && after.legal_piece_moves().move_count() == 0;
        const std::int32_t base = mates ? MateScore : material_balance(after, mover);
        visit(MoveChoice{candidate, base + noise()});
    }
}

// One draw from the generator in [-noise, noise] per call.
auto noise_from(velloran::RandomGenerator& generator, std::int32_t noise) {
    const std::int32_t amplitude = std::max(noise, 0);  // a negative range would be empty
    return [&generator, amplitude] {
        return generator.sample_range_inclusive_i32(-amplitude, amplitude);
    };
}

// Best first by falling score, ties in the order given.
void sort_by_score(std::vector<MoveChoice>& ranked) {
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const MoveChoice& a, const MoveChoice& b) { return a.score > b.score; });
}

}  // namespace

std::optional<MoveChoice> choose_move(const Game& game, velloran::RandomGenerator& generator,
                                      bool random, std::int32_t noise) {
    const std::vector<Move> candidates = sorted_legal_moves(game);
    if (candidates.empty()) return std::nullopt;
    if (random) {
        return MoveChoice{candidates[generator.sample_range(0, candidates.size())], 0};
    }
    std::optional<MoveChoice> best;
    score_candidates(game, candidates, noise_from(generator, noise), [&](const MoveChoice& scored) {
        if (!best || scored.score > best->score) best = scored;
    });
    return best;
}

std::vector<MoveChoice> rank_moves(const Game& game, velloran::RandomGenerator& generator,
                                   bool random, std::int32_t noise) {
    const std::vector<Move> candidates = sorted_legal_moves(game);
    std::vector<MoveChoice> ranked;
    if (candidates.empty()) return ranked;
    if (random) {
        const std::size_t pick = generator.sample_range(0, candidates.size());
        ranked.push_back({candidates[pick], 0});
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (i != pick) ranked.push_back({candidates[i], 0});
        }
        return ranked;
    }
    score_candidates(game, candidates, noise_from(generator, noise),
                     [&](const MoveChoice& scored) { ranked.push_back(scored); });
    sort_by_score(ranked);
    return ranked;
}

std::optional<std::string> first_reply_text(const Game& game, velloran::Move move) {
    // The board alone, not the game's record: nothing but the reply's text is needed.
    velloran::Board after = game.board();
    after.play(move);
    const auto replies = sorted_legal_moves(after, game.chess960());
    if (replies.empty()) return std::nullopt;
    return velloran::move_text(after, replies.front(), game.chess960());
}

}  // namespace pawnlark
