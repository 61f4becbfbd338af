#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "velloran/result.h"
#include "velloran/rules/bitboard.h"
#include "velloran/rules/castling.h"
#include "velloran/rules/move.h"
#include "velloran/rules/movegen.h"
#include "velloran/rules/types.h"

namespace velloran {

// Which en passant file a FEN text shows.
enum class EnPassantText : std::uint8_t {
    AsSet,   // the file that is set, so that the text reads back to an equal board
    Usable,  // only a file that a pawn of the side to move can legally use
};

// One chess position. Every board handed out satisfies the invariants that `is_valid` and the
// FEN reader check; `checkers`, `pinned` and `hash` are kept up to date by every change.
// A small copyable value: to try a move, copy and play.
class Board {
public:
    // The standard start position.
    static Board startpos();
    // The one FEN grammar, on fields already split: placement, side to move, castling, en
    // passant, then optionally the halfmove clock and the fullmove number (0 and 1 when both
    // are absent). The clocks are unsigned 32-bit decimals, each with an optional "+"; a
    // fullmove number of 0 reads as 1. Castling letters are KQkq in standard mode and rook file
    // letters in Chess960 mode, where K, Q, k and q also name the outermost rook of that back
    // rank. Fails with the kind of the first field found wrong (a wrong number of fields first).
    static Result<Board, FenError> from_fen(std::span<const std::string_view> fields,
                                            bool chess960);
    // The same on a text, cut into fields at runs of Unicode white space (`Words`); at most
    // seven fields are looked at, so a long text costs no more than its first words.
    static Result<Board, FenError> from_fen(std::string_view text, bool chess960);
    // Six fields separated by single spaces; `chess960` selects the castling letters (file
    // letters instead of KQkq).
    std::string write_fen(bool chess960, EnPassantText en_passant = EnPassantText::AsSet) const;
    // Invariants 1 to 5: disjoint sets, at most 16 pieces and 8 pawns a side, one king each,
    // no pawn on rank 1 or 8, the side not to move not in check (kings not side by side).
    bool is_valid() const;

    // All legal moves of the side to move, in generation order (groups expanded in order).
    std::vector<Move> legal_moves() const;
    // The same moves as groups, for counting without expanding.
    PieceMovesList legal_piece_moves() const;
    // Exactly membership in `legal_moves`.
    bool is_legal(Move move) const;
    // Plays a legal move in place. A move that is not legal is a caller fault: asserted in
    // debug builds; a from-square without a piece of the side to move is fatal in every build.
    void play(Move move);

    std::optional<Piece> piece_at(Square s) const;
    std::optional<Color> color_at(Square s) const;
    // The king of `c`; a missing king is a fatal internal error.
    Square king_square(Color c) const;

    BitBoard pieces(Piece p) const { return pieces_[index(p)]; }
    BitBoard pieces(Color c) const { return colors_[index(c)]; }
    BitBoard pieces(Color c, Piece p) const { return pieces_[index(p)] & colors_[index(c)]; }
    BitBoard occupied() const { return colors_[0] | colors_[1]; }
    Color side_to_move() const { return side_to_move_; }
    const CastlingRights& castling(Color c) const { return castling_[index(c)]; }
    std::optional<File> en_passant() const { return en_passant_; }
    // The en passant target square (rank 6 with White to move, rank 3 with Black), if any.
    std::optional<Square> en_passant_square() const;
    // Plies since the last capture or pawn move, and the move number (at least 1); both stop
    // at 4294967295.
    std::uint32_t halfmove_clock() const { return halfmove_clock_; }
    std::uint32_t fullmove_number() const { return fullmove_number_; }
    // Enemy pieces attacking the king of the side to move.
    BitBoard checkers() const { return checkers_; }
    // Pieces that alone shield the king of the side to move from an enemy slider.
    BitBoard pinned() const { return pinned_; }
    std::uint64_t hash() const { return hash_; }
    // The hash without the en passant key.
    std::uint64_t hash_without_en_passant() const;
    // The en passant file when a pawn of the side to move can legally capture there.
    std::optional<File> usable_en_passant() const;
    // The hash with the en passant key only for a usable en passant file: boards that are the
    // same position for repetitions (placement, side to move, castling rights, usable en
    // passant file) have the same key.
    std::uint64_t position_key() const;

    friend bool operator==(const Board&, const Board&) = default;

private:
    Board() = default;

    // The only writers of the placement: each keeps the piece sets, the colour sets and the
    // hash in step.
    void put_piece(Color c, Piece p, Square s);
    void remove_piece(Color c, Piece p, Square s);
    void move_piece(Color c, Piece p, Square from, Square to);
    // The kind of the piece on an occupied square.
    Piece piece_on(Square s) const;
    // Sets or clears the en passant file, hash included.
    void set_en_passant(std::optional<File> file);
    // The rights a move from `from` to `to` of the side to move ends: a king leaving its square
    // ends both of its side's rights, and a move from or onto a castling rook's square ends
    // that right (moving the rook, capturing it, or castling with it).
    void drop_castling_rights(Square from, Square to);
    // Clears one right (if set), hash included.
    void clear_castling_right(Color c, std::optional<File>& right);
    // `checkers` and `pinned` for the side to move, from the placement.
    void update_check_sets();

    std::array<BitBoard, 6> pieces_{};
    std::array<BitBoard, 2> colors_{};
    Color side_to_move_ = Color::White;
    std::array<CastlingRights, 2> castling_{};
    std::optional<File> en_passant_;
    std::uint32_t halfmove_clock_ = 0;
    std::uint32_t fullmove_number_ = 1;
    BitBoard checkers_;
    BitBoard pinned_;
    std::uint64_t hash_ = 0;
};

}  // namespace velloran
