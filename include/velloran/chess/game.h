#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "velloran/result.h"
#include "velloran/rules/board.h"
#include "velloran/rules/move.h"

namespace velloran {

// The outcome of the current position, in the order of precedence ties are reported.
enum class GameStatus : std::uint8_t {
    Ongoing,
    Checkmate,
    Stalemate,
    InsufficientMaterial,
    ThreefoldRepetition,
    FiftyMoveRule,
    FivefoldRepetition,
    SeventyFiveMoveRule,
};

// The game record the front end holds: the board (with the move counters), the Chess960 mode
// (which decides castling letters and castling move text) and how often each position since the
// last capture or pawn move has stood on the board. A copyable value; a copy costs the distinct
// positions since that move, and playing a move or asking the status costs the same at every
// ply, however long the game.
class Game {
public:
    // The standard start position in standard mode.
    static Game new_game();
    // The game a FEN text names, read by `Board::from_fen` (fields cut at runs of Unicode white
    // space; four fields get "0 1"; fullmove 0 reads as 1; in Chess960 mode KQkq name the
    // outermost rooks). Fails with "bad FEN '<text>'", the text as received, carrying the
    // board reader's reason.
    static Result<Game> from_fen(std::string_view text, bool chess960);
    // The same on fields already split; the error quotes the fields joined by single spaces.
    static Result<Game> from_fen(std::span<const std::string_view> fields, bool chess960);
    // The board's FEN; en passant only when a legal capture exists.
    std::string to_fen() const;

    std::vector<Move> legal_moves() const;
    // Plays a legal move (from `legal_moves` or `parse_move`); anything else is a caller fault,
    // asserted in debug builds.
    void play(Move move);
    // The outcome of the current position: checkmate or stalemate, insufficient material,
    // fivefold repetition, the 75-move rule, threefold repetition, the 50-move rule, in that
    // order of precedence.
    GameStatus status() const;
    // How often the current position has stood on the board since the last capture or pawn
    // move, this time included: positions are the same when their placement, side to move,
    // castling rights and usable en passant file are (`Board::position_key`).
    std::uint32_t repetition_count() const;

    // The move as text: castling as the king onto its rook in Chess960 games, and in standard
    // games as the king's square then the g- or c-file square of its rank (e1g1, d1c1).
    std::string move_text(Move move) const;
    // The legal move the text names, or "bad move '<text>'" / "illegal move '<text>'". In
    // standard games the king's square then the g- or c-file square of its rank also names
    // castling, unless it is a legal king step as written.
    Result<Move> parse_move(std::string_view text) const;
    // The legal move that `move_text(move)` names when sent back: `move` itself, except a
    // standard castling whose text is also a legal king step (a king on d1 castling long writes
    // d1c1), which names that step. Never fails; a move that is not legal comes back unchanged.
    Move move_read_back(Move move) const;

    const Board& board() const { return board_; }
    // Plies since the last capture or pawn move, and the move number; both stop at 4294967295.
    std::uint32_t halfmove() const { return board_.halfmove_clock(); }
    std::uint32_t fullmove() const { return board_.fullmove_number(); }
    bool chess960() const { return chess960_; }

    // Same board, mode and positions seen since the last capture or pawn move.
    friend bool operator==(const Game&, const Game&) = default;

private:
    Game(Board board, bool chess960);

    Board board_;
    // Occurrences of each position since the last capture or pawn move, by position key; the
    // current position is always in it.
    std::unordered_map<std::uint64_t, std::uint32_t> repetitions_;
    bool chess960_ = false;
};

// Two boards are the same position: equal placement, side to move, castling rights and
// effective en passant file (one that a pawn of the side to move can legally use).
bool same_position(const Board& a, const Board& b);

}  // namespace velloran
