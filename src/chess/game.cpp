#include "velloran/chess/game.h"

#include <cassert>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>

#include "velloran/chess/notation.h"

namespace velloran {
namespace {

bool insufficient_material(const Board& board) {
    if ((board.pieces(Piece::Pawn) | board.pieces(Piece::Rook) | board.pieces(Piece::Queen))
            .any()) {
        return false;
    }
    constexpr BitBoard LightSquares{0x55AA55AA55AA55AAULL};
    const BitBoard bishops = board.pieces(Piece::Bishop);
    const BitBoard knights = board.pieces(Piece::Knight);
    if (knights.empty())
        return (bishops & LightSquares).empty() || (bishops & ~LightSquares).empty();
    const auto lone_knight = [&](Color c) {
        return bishops.empty() && knights.count() == 1 && (knights & board.pieces(c)).any();
    };
    return lone_knight(Color::White) || lone_knight(Color::Black);
}

}  // namespace

Game::Game(Board board, bool chess960)
    : board_(board), repetitions_{{board.position_key(), 1}}, chess960_(chess960) {}

Game Game::new_game() { return Game(Board::startpos(), false); }

Result<Game> Game::from_fen(std::string_view text, bool chess960) {
    auto board = Board::from_fen(text, chess960);
    if (!board) return bad_fen(text, board.error());
    return Game(board.value(), chess960);
}

Result<Game> Game::from_fen(std::span<const std::string_view> fields, bool chess960) {
    auto board = Board::from_fen(fields, chess960);
    if (!board) {
        std::string text;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) text += ' ';
            text += fields[i];
        }
        return bad_fen(text, board.error());
    }
    return Game(board.value(), chess960);
}

std::string Game::to_fen() const { return board_.write_fen(chess960_, EnPassantText::Usable); }

std::vector<Move> Game::legal_moves() const { return board_.legal_moves(); }

void Game::play(Move move) {
    assert(board_.is_legal(move));
    board_.play(move);
    if (board_.halfmove_clock() == 0) {
        // A capture or pawn move: no earlier position can come back. Clearing costs the table's
        // bucket count, so a table that a long reversible stretch has grown is dropped instead.
        constexpr std::size_t SmallTable = 64;
        if (repetitions_.bucket_count() > SmallTable) {
            repetitions_ = {};
        } else {
            repetitions_.clear();
        }
    }
    std::uint32_t& seen = repetitions_[board_.position_key()];
    if (seen != std::numeric_limits<std::uint32_t>::max()) ++seen;
}

GameStatus Game::status() const {
    if (board_.legal_piece_moves().move_count() == 0) {
        return board_.checkers().any() ? GameStatus::Checkmate : GameStatus::Stalemate;
    }
    if (insufficient_material(board_)) return GameStatus::InsufficientMaterial;
    const std::uint32_t repetitions = repetition_count();
    if (repetitions >= 5) return GameStatus::FivefoldRepetition;
    const std::uint32_t halfmove = board_.halfmove_clock();
    if (halfmove >= 150) return GameStatus::SeventyFiveMoveRule;
    if (repetitions >= 3) return GameStatus::ThreefoldRepetition;
    if (halfmove >= 100) return GameStatus::FiftyMoveRule;
    return GameStatus::Ongoing;
}

std::uint32_t Game::repetition_count() const {
    const auto found = repetitions_.find(board_.position_key());
    assert(found != repetitions_.end());
    return found->second;
}

std::string Game::move_text(Move move) const {
    return velloran::move_text(board_, move, chess960_);
}

Result<Move> Game::parse_move(std::string_view text) const {
    return velloran::parse_move(board_, text, chess960_);
}

Move Game::move_read_back(Move move) const {
    return velloran::move_read_back(board_, move, chess960_);
}

bool same_position(const Board& a, const Board& b) {
    if (a.hash_without_en_passant() != b.hash_without_en_passant()) return false;
    for (const Piece p :
         {Piece::Pawn, Piece::Knight, Piece::Bishop, Piece::Rook, Piece::Queen, Piece::King}) {
        if (a.pieces(p) != b.pieces(p)) return false;
    }
    return a.pieces(Color::White) == b.pieces(Color::White)
           && a.pieces(Color::Black) == b.pieces(Color::Black)
           && a.side_to_move() == b.side_to_move()
           && a.castling(Color::White) == b.castling(Color::White)
           && a.castling(Color::Black) == b.castling(Color::Black)
           && a.usable_en_passant() == b.usable_en_passant();
}

}  // namespace velloran
