#include "velloran/rules/move.h"

namespace velloran {

std::optional<Move> Move::from_text(std::string_view text) {
    if (text.size() < 4) return std::nullopt;
    const std::optional<Square> from = parse_square(text.substr(0, 2));
    const std::optional<Square> to = parse_square(text.substr(2, 2));
    if (!from || !to) return std::nullopt;
    Move move{*from, *to, std::nullopt};
    if (text.size() == 4) return move;

    // Only the fifth character counts; a multi-byte character there means no promotion.
    const auto fifth = static_cast<unsigned char>(text[4]);
    if (fifth >= 0x80) return move;
    const std::optional<Piece> piece = parse_piece(text.substr(4, 1));
    if (!piece) return std::nullopt;
    if (*piece != Piece::Pawn && *piece != Piece::King) move.promotion = piece;
    return move;
}

std::string Move::text() const {
    std::string out = to_string(from) + to_string(to);
    if (promotion) out += to_char(*promotion);
    return out;
}

}  // namespace velloran
