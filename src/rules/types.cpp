#include "velloran/rules/types.h"

namespace velloran {

std::string to_string(Square s) { return {to_char(file_of(s)), to_char(rank_of(s))}; }

std::optional<Square> parse_square(std::string_view text) {
    if (text.size() != 2) return std::nullopt;
    const char file = text[0];
    const char rank = text[1];
    if (file < 'a' || file > 'h' || rank < '1' || rank > '8') return std::nullopt;
    return make_square(file_from_index(file - 'a'), rank_from_index(rank - '1'));
}

std::optional<Piece> parse_piece(std::string_view text) {
    if (text.size() != 1) return std::nullopt;
    switch (text[0]) {
        case 'p':
            return Piece::Pawn;
        case 'n':
            return Piece::Knight;
        case 'b':
            return Piece::Bishop;
        case 'r':
            return Piece::Rook;
        case 'q':
            return Piece::Queen;
        case 'k':
            return Piece::King;
        default:
            return std::nullopt;
    }
}

}  // namespace velloran
