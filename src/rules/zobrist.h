#pragma once

// Fixed keys of the position hash, drawn at compile time from a splitmix64 stream.

#include <array>
#include <cstdint>

#include "velloran/rules/types.h"

namespace velloran {

struct ZobristKeys {
    std::array<std::array<std::array<std::uint64_t, 64>, 6>, 2> piece{};  // colour, piece, square
    std::array<std::uint64_t, 8> en_passant{};                            // file
    std::array<std::array<std::uint64_t, 8>, 2> castling{};               // colour, rook file
    std::uint64_t black_to_move = 0;
};

inline constexpr ZobristKeys Zobrist = [] {
    std::uint64_t state = 0x7061776E6C61726BULL;
    auto next = [&state] {
        state += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    };
    ZobristKeys keys;
    for (auto& by_piece : keys.piece) {
        for (auto& by_square : by_piece) {
            for (auto& key : by_square) key = next();
        }
    }
    for (auto& key : keys.en_passant) key = next();
    for (auto& by_file : keys.castling) {
        for (auto& key : by_file) key = next();
    }
    keys.black_to_move = next();
    return keys;
}();

constexpr std::uint64_t piece_key(Color c, Piece p, Square s) {
    return Zobrist.piece[index(c)][index(p)][index(s)];
}

}  // namespace velloran
