#include <algorithm>
#include <array>
#include <limits>

#include "rules/attacks.h"
#include "rules/board_internal.h"
#include "rules/zobrist.h"
#include "velloran/rules/board.h"
#include "velloran/text.h"

namespace velloran {
namespace {

constexpr char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr bool ascii_upper(char c) { return c >= 'A' && c <= 'Z'; }

// Castling rights need the king on its back rank and each rook on its side of the king.
bool castling_consistent(const Board& board) {
    for (const Color c : {Color::White, Color::Black}) {
        const CastlingRights& rights = board.castling(c);
        if (!rights.any()) continue;
        const Square king = board.king_square(c);
        if (rank_of(king) != back_rank(c)) return false;
        const BitBoard rooks = board.pieces(c, Piece::Rook);
        if (rights.short_file) {
            if (!rooks.contains(make_square(*rights.short_file, back_rank(c)))) return false;
            if (index(*rights.short_file) <= index(file_of(king))) return false;
        }
        if (rights.long_file) {
            if (!rooks.contains(make_square(*rights.long_file, back_rank(c)))) return false;
            if (index(*rights.long_file) >= index(file_of(king))) return false;
        }
    }
    return true;
}

// The en passant file must belong to a pawn that has just advanced two squares, and every
// check must come from that advance.
bool en_passant_consistent(const Board& board) {
    const std::optional<File> file = board.en_passant();
    if (!file) return true;
    const Color us = board.side_to_move();
    const bool white = us == Color::White;
    const Square target = make_square(*file, white ? Rank::Six : Rank::Three);
    const Square origin = make_square(*file, white ? Rank::Seven : Rank::Two);
    const Square pawn = make_square(*file, white ? Rank::Five : Rank::Four);
    if (board.occupied().contains(target) || board.occupied().contains(origin)) return false;
    if (!board.pieces(~us, Piece::Pawn).contains(pawn)) return false;
    const Square king = board.king_square(us);
    for (const Square checker : board.checkers()) {
        if (checker == pawn) continue;
        if (!between(checker, king).contains(origin)) return false;
    }
    return true;
}

}  // namespace

Result<Board, FenError> Board::from_fen(std::span<const std::string_view> fields, bool chess960) {
    if (fields.size() > 6) return FenError::ExtraField;
    if (fields.size() != 4 && fields.size() != 6) return FenError::MissingField;
    Board board;

    {
        std::string_view rest = fields[0];
        int rank = 7;
        for (;;) {
            const std::size_t slash = rest.find('/');
            const std::string_view rank_text = rest.substr(0, slash);
            if (rank < 0 || rank_text.empty()) return FenError::InvalidBoard;
            int file = 0;
            for (const char c : rank_text) {
                if (c >= '0' && c <= '9') {
                    // Capped so that no run of digits can wrap back into range.
                    file = std::min(file + (c - '0'), 9);
                    continue;
                }
                const char lowered = ascii_lower(c);
                const std::optional<Piece> piece = parse_piece(std::string_view(&lowered, 1));
                if (!piece || file >= 8) return FenError::InvalidBoard;
                const Color color = ascii_upper(c) ? Color::White : Color::Black;
                const Square s = make_square(file_from_index(file), rank_from_index(rank));
                // A square is never named twice: the file only grows along a rank text.
                board.put_piece(color, *piece, s);
                ++file;
            }
            if (file != 8) return FenError::InvalidBoard;
            --rank;
            if (slash == std::string_view::npos) break;
            rest.remove_prefix(slash + 1);
        }
        if (rank != -1) return FenError::InvalidBoard;
    }

    if (fields[1] == "b") {
        board.side_to_move_ = Color::Black;
        board.hash_ ^= Zobrist.black_to_move;
    } else if (fields[1] != "w") {
        return FenError::InvalidSideToMove;
    }

    if (!board.is_valid()) return FenError::InvalidBoard;
    board.update_check_sets();
    if (board.checkers_.count() > 2) return FenError::InvalidBoard;

    if (fields[2] != "-") {
        if (fields[2].empty()) return FenError::InvalidCastlingRights;
        for (const char c : fields[2]) {
            const Color color = ascii_upper(c) ? Color::White : Color::Black;
            const char lower = ascii_lower(c);
            CastlingRights& rights = board.castling_[index(color)];
            File rook_file{};
            if (!chess960) {
                if (lower != 'k' && lower != 'q') return FenError::InvalidCastlingRights;
                rook_file = lower == 'k' ? File::H : File::A;
            } else if (lower == 'k' || lower == 'q') {
                // The outermost rook of that side's back rank, wherever the king stands.
                const BitBoard rooks =
                    board.pieces(color, Piece::Rook) & BitBoard::of_rank(back_rank(color));
                if (rooks.empty()) return FenError::InvalidCastlingRights;
                rook_file = file_of(lower == 'k' ? rooks.last() : rooks.first());
            } else {
                if (lower < 'a' || lower > 'h') return FenError::InvalidCastlingRights;
                rook_file = file_from_index(lower - 'a');
            }
            const File king_file = file_of(board.king_square(color));
            std::optional<File>& right =
                index(rook_file) > index(king_file) ? rights.short_file : rights.long_file;
            if (right.has_value()) return FenError::InvalidCastlingRights;
            right = rook_file;
            board.hash_ ^= Zobrist.castling[index(color)][index(rook_file)];
        }
        if (!castling_consistent(board)) return FenError::InvalidCastlingRights;
    }

    if (fields[3] != "-") {
        const std::optional<Square> target = parse_square(fields[3]);
        const Rank expected = board.side_to_move_ == Color::White ? Rank::Six : Rank::Three;
        if (!target || rank_of(*target) != expected) return FenError::InvalidEnPassant;
        board.set_en_passant(file_of(*target));
        if (!en_passant_consistent(board)) return FenError::InvalidEnPassant;
    }

    if (fields.size() == 6) {
        const std::optional<std::uint32_t> halfmove = parse_unsigned<std::uint32_t>(fields[4]);
        if (!halfmove) return FenError::InvalidHalfMoveClock;
        const std::optional<std::uint32_t> fullmove = parse_unsigned<std::uint32_t>(fields[5]);
        if (!fullmove) return FenError::InvalidFullmoveNumber;
        board.halfmove_clock_ = *halfmove;
        board.fullmove_number_ = std::max(*fullmove, std::uint32_t{1});
    }
    return board;
}

Result<Board, FenError> Board::from_fen(std::string_view text, bool chess960) {
    // A seventh field is refused anyway: stop there, whatever the text's length.
    std::array<std::string_view, 7> fields{};
    std::size_t count = 0;
    for (const std::string_view field : Words(text)) {
        fields[count++] = field;
        if (count == fields.size()) break;
    }
    return from_fen(std::span(fields.data(), count), chess960);
}

std::string Board::write_fen(bool chess960, EnPassantText en_passant) const {
    std::string out;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const Square s = make_square(file_from_index(file), rank_from_index(rank));
            const std::optional<Piece> piece = piece_at(s);
            if (!piece) {
                ++empty;
                continue;
            }
            if (empty > 0) out += static_cast<char>('0' + empty);
            empty = 0;
            const char letter = to_char(*piece);
            out += colors_[0].contains(s) ? static_cast<char>(letter - 'a' + 'A') : letter;
        }
        if (empty > 0) out += static_cast<char>('0' + empty);
        if (rank > 0) out += '/';
    }
    out += side_to_move_ == Color::White ? " w " : " b ";

    std::string rights;
    for (const Color c : {Color::White, Color::Black}) {
        const CastlingRights& r = castling_[index(c)];
        const bool white = c == Color::White;
        auto letter = [white](char lower) {
            return white ? static_cast<char>(lower - 'a' + 'A') : lower;
        };
        if (chess960) {
            if (r.short_file) rights += letter(to_char(*r.short_file));
            if (r.long_file) rights += letter(to_char(*r.long_file));
        } else {
            if (r.short_file) rights += letter('k');
            if (r.long_file) rights += letter('q');
        }
    }
    out += rights.empty() ? "-" : rights;
    out += ' ';
    const std::optional<File> shown =
        en_passant == EnPassantText::AsSet ? en_passant_ : usable_en_passant();
    const Rank target_rank = side_to_move_ == Color::White ? Rank::Six : Rank::Three;
    out += shown ? to_string(make_square(*shown, target_rank)) : "-";
    out += ' ' + std::to_string(halfmove_clock_) + ' ' + std::to_string(fullmove_number_);
    return out;
}

}  // namespace velloran
