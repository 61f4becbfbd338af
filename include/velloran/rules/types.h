#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velloran {

enum class File : std::uint8_t { A, B, C, D, E, F, G, H };
enum class Rank : std::uint8_t { One, Two, Three, Four, Five, Six, Seven, Eight };
// a1 = 0, b1 = 1, ... h8 = 63: index = rank * 8 + file.
enum class Square : std::uint8_t {
    // clang-format off
    A1, B1, C1, D1, E1, F1, G1, H1,
    A2, B2, C2, D2, E2, F2, G2, H2,
    A3, B3, C3, D3, E3, F3, G3, H3,
    A4, B4, C4, D4, E4, F4, G4, H4,
    A5, B5, C5, D5, E5, F5, G5, H5,
    A6, B6, C6, D6, E6, F6, G6, H6,
    A7, B7, C7, D7, E7, F7, G7, H7,
    A8, B8, C8, D8, E8, F8, G8, H8,
    // clang-format on
};
enum class Color : std::uint8_t { White, Black };
// The kind of a piece, whatever its colour.
enum class Piece : std::uint8_t { Pawn, Knight, Bishop, Rook, Queen, King };

constexpr int index(File f) { return static_cast<int>(f); }
constexpr int index(Rank r) { return static_cast<int>(r); }
constexpr int index(Square s) { return static_cast<int>(s); }
constexpr int index(Color c) { return static_cast<int>(c); }
constexpr int index(Piece p) { return static_cast<int>(p); }

constexpr File file_from_index(int i) { return static_cast<File>(i); }
constexpr Rank rank_from_index(int i) { return static_cast<Rank>(i); }
constexpr Square square_from_index(int i) { return static_cast<Square>(i); }

constexpr Square make_square(File f, Rank r) { return square_from_index(index(r) * 8 + index(f)); }
constexpr File file_of(Square s) { return file_from_index(index(s) & 7); }
constexpr Rank rank_of(Square s) { return rank_from_index(index(s) >> 3); }
constexpr Color operator~(Color c) { return c == Color::White ? Color::Black : Color::White; }

// Rank 1 for White, rank 8 for Black.
constexpr Rank back_rank(Color c) { return c == Color::White ? Rank::One : Rank::Eight; }

constexpr char to_char(File f) { return static_cast<char>('a' + index(f)); }
constexpr char to_char(Rank r) { return static_cast<char>('1' + index(r)); }
// Lowercase letter: p, n, b, r, q, k.
constexpr char to_char(Piece p) { return "pnbrqk"[index(p)]; }
std::string to_string(Square s);

// Exactly a lowercase file letter then a rank digit ("e4"); anything else is absent.
std::optional<Square> parse_square(std::string_view text);
// Exactly one of the six lowercase letters p, n, b, r, q, k; anything else is absent.
std::optional<Piece> parse_piece(std::string_view text);

}  // namespace velloran
