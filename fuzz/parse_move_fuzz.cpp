// Arbitrary text as a move of a few fixed games, standard and Chess960, in which castling on
// both sides, en passant and promotions (with and without capture) are all legal. An accepted
// text names one of the game's legal moves, and that move's text reads back to the same move
// (or, for a standard castling written as a one-square king step, to the step: move_read_back);
// a refused one quotes the text in its error.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "loop_checks.h"
#include "velloran/chess/game.h"

namespace {

using pawnlark::fuzz::check;

struct FixedGame {
    std::string_view fen;
    bool chess960;
};

constexpr std::array<FixedGame, 5> FixedGames{{
    // Both sides may castle both ways; en passant on d6; a pawn on g7 promotes with or without
    // capturing on h8.
    {"r3k2r/ppp3Pp/8/3pP3/8/8/PPPP1P1P/R3K2R w KQkq d6 0 1", false},
    {"r3k2r/ppp3Pp/8/3pP3/8/8/PPPP1P1P/R3K2R w HAha d6 0 1", true},
    // Black to move: castling, en passant on e3 and a promotion on b1.
    {"r3k2r/8/8/8/3pP3/8/1p6/R3K2R b KQkq e3 0 1", false},
    // Chess960: king on b1 between rooks on a1 and g1, so castling long is a one-square move
    // onto the rook and short castling passes over the king's own destination.
    {"1r2k1r1/8/8/8/8/8/8/RK4R1 w AGbg - 0 1", true},
    // Chess960 with the king next to its rook: e1f1 castles, e1g1 is an ordinary king step.
    {"rk5r/8/8/8/8/8/8/4KR2 w Fha - 0 1", true},
}};

const std::vector<velloran::Game>& fixed_games() {
    static const std::vector<velloran::Game> games = [] {
        std::vector<velloran::Game> result;
        for (const FixedGame& fixed : FixedGames) {
            auto game = velloran::Game::from_fen(fixed.fen, fixed.chess960);
            check(game.has_value(), "fixed game does not read", fixed.fen);
            result.push_back(std::move(game).value());
        }
        return result;
    }();
    return games;
}

bool is_legal(const velloran::Game& game, velloran::Move move) {
    for (const velloran::Move legal : game.legal_moves()) {
        if (legal == move) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const velloran::Game& game : fixed_games()) {
        const auto move = game.parse_move(text);
        if (!move) {
            const std::string quoted = "'" + std::string(text) + "'";
            check(move.error().text == "bad move " + quoted
                      || move.error().text == "illegal move " + quoted,
                  "error text does not quote the input");
            continue;
        }
        check(is_legal(game, move.value()), "accepted move is not legal", text);
        const std::string written = game.move_text(move.value());
        const auto again = game.parse_move(written);
        check(again.has_value() && again.value() == game.move_read_back(move.value()),
              "move text does not read back", written);
    }
    return 0;
}
