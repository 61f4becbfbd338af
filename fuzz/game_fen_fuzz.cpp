// Arbitrary bytes as game-level FEN in both castling modes. A game read must write a FEN that
// reads back, in the same mode, to the same position with the same counters and the same text;
// its outcome and move list must be computable, and every legal move's text must read back: to
// the move itself, or, for a standard castling written as a one-square king step, to the step.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
    const velloran::Board& board = game.board();
    for (const velloran::Move move : game.legal_moves()) {
        const std::string text = game.move_text(move);
        const auto parsed = game.parse_move(text);
        const std::string where = std::string(text).append(" in ").append(fen);
        check(parsed.has_value(), "legal move text does not read", where);
        check(parsed.value() == game.move_read_back(move), "read back differs from move_read_back",
              where);
        if (parsed.value() != move) {
            // Only a standard castling whose text is a one-square king step reads as the step.
            const bool castling = board.pieces(board.side_to_move()).contains(move.to);
            const int distance = std::abs(velloran::index(velloran::file_of(parsed.value().to))
                                          - velloran::index(velloran::file_of(move.from)));
            check(!chess960 && castling && parsed.value().from == move.from && distance == 1,
                  "move text reads back as another move", where);
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
