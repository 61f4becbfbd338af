#include "velloran/chess/notation.h"

#include <optional>

namespace velloran {
namespace {

std::optional<Square> rook_square(Color side, std::optional<File> file) {
    if (!file) return std::nullopt;
    return make_square(*file, back_rank(side));
}

// The castling a standard-mode move names by its king's destination: from the king's square
// to the g-file (short) or c-file (long) square of its rank, with that right.
std::optional<Move> castling_by_destination(const Board& board, Move move) {
    const Color us = board.side_to_move();
    const CastlingRights& rights = board.castling(us);
    if (!rights.any() || move.from != board.king_square(us)) return std::nullopt;
    if (rank_of(move.to) != rank_of(move.from)) return std::nullopt;
    const File file = file_of(move.to);
    const std::optional<Square> rook = file == File::G   ? rook_square(us, rights.short_file)
                                       : file == File::C ? rook_square(us, rights.long_file)
                                                         : std::nullopt;
    if (!rook) return std::nullopt;
    return Move{move.from, *rook, move.promotion};
}

}  // namespace

std::string move_text(const Board& board, Move move, bool chess960) {
    if (!chess960) {
        const Color us = board.side_to_move();
        const CastlingRights& rights = board.castling(us);
        if (rights.any() && move.from == board.king_square(us)) {
            const Rank rank = rank_of(move.from);
            if (move.to == rook_square(us, rights.short_file)) {
                move.to = make_square(File::G, rank);
            } else if (move.to == rook_square(us, rights.long_file)) {
                move.to = make_square(File::C, rank);
            }
        }
    }
    return move.text();
}

Result<Move> parse_move(const Board& board, std::string_view text, bool chess960) {
    const std::optional<Move> read = Move::from_text(text);
    if (!read) return bad_move(text);
    // As written first. A king's move to the g- or c-file is legal as written only as a
    // one-square step (standard rights name rooks on the a- and h-files, never there), and a
    // text that is both a step and a castling means the step.
    if (board.is_legal(*read)) return *read;
    if (!chess960) {
        const std::optional<Move> castling = castling_by_destination(board, *read);
        if (castling && board.is_legal(*castling)) return *castling;
    }
    return illegal_move(text);
}

Move move_read_back(const Board& board, Move move, bool chess960) {
    const Result<Move> read = parse_move(board, move_text(board, move, chess960), chess960);
    return read ? read.value() : move;
}

}  // namespace velloran
