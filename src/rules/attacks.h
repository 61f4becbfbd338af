#pragma once

// Attack sets: constexpr leaper, ray, between and line tables, and multiply-and-shift lookup
// tables for rooks and bishops, built on first use.

#include <array>
#include <cstdint>

#include "velloran/rules/bitboard.h"
#include "velloran/rules/types.h"

namespace velloran {

// The eight directions as (file step, rank step): the first four are the rook's, opposite
// directions pair up as 2k and 2k + 1, and the even ones go up the square order.
struct Direction {
    int file_step;
    int rank_step;
};
inline constexpr std::array<Direction, 8> Directions{{
    {1, 0},
    {-1, 0},
    {0, 1},
    {0, -1},
    {1, 1},
    {-1, -1},
    {-1, 1},
    {1, -1},
}};

namespace tables {

constexpr bool on_board(int file, int rank) {
    return file >= 0 && file < 8 && rank >= 0 && rank < 8;
}

// Squares reached from `from` by the given steps, each taken once.
template <std::size_t N>
constexpr BitBoard leaps(int from, const std::array<Direction, N>& steps) {
    BitBoard out;
    for (const Direction& d : steps) {
        const int f = from % 8 + d.file_step;
        const int r = from / 8 + d.rank_step;
        if (on_board(f, r)) out |= BitBoard{std::uint64_t{1} << (r * 8 + f)};
    }
    return out;
}

// Walks each direction square by square, stopping at and including the first occupied square.
// Slow and plainly right: the reference for the lookup tables.
constexpr BitBoard ray_walk(int from, BitBoard occupied, int first_direction, int last_direction) {
    BitBoard out;
    for (int i = first_direction; i < last_direction; ++i) {
        int f = from % 8;
        int r = from / 8;
        for (;;) {
            f += Directions[i].file_step;
            r += Directions[i].rank_step;
            if (!on_board(f, r)) break;
            const BitBoard square{std::uint64_t{1} << (r * 8 + f)};
            out |= square;
            if ((occupied & square).any()) break;
        }
    }
    return out;
}

}  // namespace tables

inline constexpr std::array<BitBoard, 64> KnightAttacks = [] {
    constexpr std::array<Direction, 8> Steps{
        {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}}};
    std::array<BitBoard, 64> out{};
    for (int s = 0; s < 64; ++s) out[s] = tables::leaps(s, Steps);
    return out;
}();

inline constexpr std::array<BitBoard, 64> KingAttacks = [] {
    std::array<BitBoard, 64> out{};
    for (int s = 0; s < 64; ++s) out[s] = tables::leaps(s, Directions);
    return out;
}();

// Squares a pawn of the colour attacks (diagonally forward), per colour and square.
inline constexpr std::array<std::array<BitBoard, 64>, 2> PawnAttacks = [] {
    constexpr std::array<Direction, 2> WhiteSteps{{{-1, 1}, {1, 1}}};
    constexpr std::array<Direction, 2> BlackSteps{{{-1, -1}, {1, -1}}};
    std::array<std::array<BitBoard, 64>, 2> out{};
    for (int s = 0; s < 64; ++s) {
        out[0][s] = tables::leaps(s, WhiteSteps);
        out[1][s] = tables::leaps(s, BlackSteps);
    }
    return out;
}();

// Rays on an empty board, per direction (as in `Directions`) and square.
inline constexpr std::array<std::array<BitBoard, 64>, 8> Rays = [] {
    std::array<std::array<BitBoard, 64>, 8> out{};
    for (int d = 0; d < 8; ++d) {
        for (int s = 0; s < 64; ++s) out[d][s] = tables::ray_walk(s, BitBoard{}, d, d + 1);
    }
    return out;
}();

// Rook and bishop attacks on an empty board.
inline constexpr std::array<BitBoard, 64> RookRays = [] {
    std::array<BitBoard, 64> out{};
    for (int s = 0; s < 64; ++s) out[s] = Rays[0][s] | Rays[1][s] | Rays[2][s] | Rays[3][s];
    return out;
}();
inline constexpr std::array<BitBoard, 64> BishopRays = [] {
    std::array<BitBoard, 64> out{};
    for (int s = 0; s < 64; ++s) out[s] = Rays[4][s] | Rays[5][s] | Rays[6][s] | Rays[7][s];
    return out;
}();

// Squares strictly between two squares on a common line, and the whole line through them;
// both empty when the squares are equal or share no line.
struct LineTables {
    std::array<std::array<BitBoard, 64>, 64> between{};
    std::array<std::array<BitBoard, 64>, 64> line{};
};
inline constexpr LineTables Lines = [] {
    LineTables out{};
    for (int a = 0; a < 64; ++a) {
        for (int d = 0; d < 8; ++d) {
            const int back = d ^ 1;  // directions come in opposite pairs
            const BitBoard whole = Rays[d][a] | Rays[back][a] | BitBoard{std::uint64_t{1} << a};
            for (const Square b : Rays[d][a]) {
                out.line[a][index(b)] = whole;
                out.between[a][index(b)] = Rays[d][a] & Rays[back][index(b)];
            }
        }
    }
    return out;
}();

constexpr BitBoard between(Square a, Square b) { return Lines.between[index(a)][index(b)]; }
constexpr BitBoard line(Square a, Square b) { return Lines.line[index(a)][index(b)]; }
constexpr BitBoard knight_attacks(Square s) { return KnightAttacks[index(s)]; }
constexpr BitBoard king_attacks(Square s) { return KingAttacks[index(s)]; }
constexpr BitBoard pawn_attacks(Color c, Square s) { return PawnAttacks[index(c)][index(s)]; }

// One square's multiply-and-shift entry: the relevant blockers (the rays without their last
// square), the multiplier, the shift leaving the index bits, and where its slice starts.
struct Magic {
    std::uint64_t mask;
    std::uint64_t multiplier;
    std::uint32_t offset;
    std::uint32_t shift;

    constexpr std::uint32_t index(BitBoard occupied) const {
        return offset + static_cast<std::uint32_t>(((occupied.bits & mask) * multiplier) >> shift);
    }
};

struct MagicTables {
    std::array<Magic, 64> rook;
    std::array<Magic, 64> bishop;
    std::uint32_t size;
};
extern const MagicTables Magics;

// The shared rook and bishop attack table, built on first use.
const std::uint64_t* slider_table();

// Attacks with an explicit table, for loops that fetched it once.
inline BitBoard rook_attacks(Square s, BitBoard occupied, const std::uint64_t* table) {
    return BitBoard{table[Magics.rook[index(s)].index(occupied)]};
}
inline BitBoard bishop_attacks(Square s, BitBoard occupied, const std::uint64_t* table) {
    return BitBoard{table[Magics.bishop[index(s)].index(occupied)]};
}
inline BitBoard rook_attacks(Square s, BitBoard occupied) {
    return rook_attacks(s, occupied, slider_table());
}
inline BitBoard bishop_attacks(Square s, BitBoard occupied) {
    return bishop_attacks(s, occupied, slider_table());
}

// The slow references.
constexpr BitBoard ray_walk_rook_attacks(Square s, BitBoard occupied) {
    return tables::ray_walk(index(s), occupied, 0, 4);
}
constexpr BitBoard ray_walk_bishop_attacks(Square s, BitBoard occupied) {
    return tables::ray_walk(index(s), occupied, 4, 8);
}

}  // namespace velloran
