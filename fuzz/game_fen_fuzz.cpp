// Arbitrary bytes as game-level FEN in both castling modes. A game read must write a FEN that
// reads back, in the same mode, to the same position with the same counters and the same text;
// its outcome and move list must be computable, and every legal move's text must read back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "loop_checks.h"
#include "velloran/chess/game.h"

namespace {

using pawnlark::fuzz::check;

void check_game(const velloran::Game& game, bool chess960) {
    check(game.chess960() == chess960, "mode lost");
    const std::string fen = game.to_fen();
    const auto again = velloran::Game::from_fen(fen, chess960);
    check(again.has_value(), "written FEN does not read", fen);
    const velloran::Game& read = again.value();
    check(velloran::same_position(read.board(), game.board()), "not the same position", fen);
    check(read.halfmove() == game.halfmove() && read.fullmove() == game.fullmove(),
          "counters differ", fen);
    check(read.to_fen() == fen, "FEN text differs", fen);
    static_cast<void>(game.status());
    for (const velloran::Move move : game.legal_moves()) {
        const std::string text = game.move_text(move);
        const auto parsed = game.parse_move(text);
        // A standard game with its king off the e-file writes castling in a form it can't read.
        if (!parsed) {
            check(pawnlark::fuzz::is_displaced_king_castling(game, text),
                  "legal move text does not read", std::string(text).append(" in ").append(fen));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool chess960 : {false, true}) {
        const auto game = velloran::Game::from_fen(text, chess960);
        if (!game) {
            check(game.error().text == "bad FEN '" + std::string(text) + "'",
                  "error text does not quote the input");
            continue;
        }
        check_game(game.value(), chess960);
    }
    return 0;
}
