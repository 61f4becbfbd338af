#include "app/protocol/cecp/cecp_commands.h"
#include "app/protocol/cecp/cecp_loop.h"
#include "velloran/chess/notation.h"

namespace pawnlark {
namespace {

using velloran::Color;
using velloran::Game;

std::size_t square_index(int rank, int file) {
    return static_cast<std::size_t>(velloran::index(
        velloran::make_square(velloran::file_from_index(file), velloran::rank_from_index(rank))));
}

// The FEN of the edited board. The counters start afresh and en passant is off; castling is
// assumed wherever a king and a rook stand where it could be.
std::string edit_fen(const EditBoard& edit, Color to_move, bool chess960) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const char piece = edit.squares[square_index(rank, file)];
            if (piece == '\0') {
                ++empty;
                continue;
            }
            if (empty > 0) fen += static_cast<char>('0' + empty);
            empty = 0;
            fen += piece;
        }
        if (empty > 0) fen += static_cast<char>('0' + empty);
        if (rank > 0) fen += '/';
    }
    fen += to_move == Color::White ? " w " : " b ";
    std::string castling;
    for (const Color side : {Color::White, Color::Black}) {
        const int rank = side == Color::White ? 0 : 7;
        const char king = side == Color::White ? 'K' : 'k';
        const char rook = side == Color::White ? 'R' : 'r';
        const auto at = [&](int file) { return edit.squares[square_index(rank, file)]; };
        for (int king_file = 0; king_file < 8; ++king_file) {
            if (at(king_file) != king || (!chess960 && king_file != 4)) continue;
            bool short_side = false;
            bool long_side = false;
            for (int file = 0; file < 8; ++file) {
                if (at(file) != rook || (!chess960 && file != 0 && file != 7)) continue;
                (file > king_file ? short_side : long_side) = true;
            }
            if (short_side) castling += side == Color::White ? 'K' : 'k';
            if (long_side) castling += side == Color::White ? 'Q' : 'q';
        }
    }
    return fen + (castling.empty() ? "-" : castling) + " - 0 1";
}

EditBoard edit_board_of(const velloran::Board& board) {
    EditBoard edit;
    for (int i = 0; i < 64; ++i) {
        const auto square = velloran::square_from_index(i);
        if (const auto piece = board.piece_at(square)) {
            const char letter = velloran::to_char(*piece);
            const bool white = board.color_at(square) == Color::White;
            edit.squares[static_cast<std::size_t>(i)] =
                white ? static_cast<char>(letter - 'a' + 'A') : letter;
        }
    }
    return edit;
}

// "Pa4" places a piece of the current colour, "xa4" empties the square.
bool place_piece(EditBoard& edit, std::string_view word) {
    if (word.size() != 3) return false;
    const auto square = velloran::parse_square(word.substr(1));
    constexpr std::string_view Pieces = "PNBRQK";
    if (!square || (word[0] != 'x' && Pieces.find(word[0]) == std::string_view::npos)) {
        return false;
    }
    char& at = edit.squares[static_cast<std::size_t>(velloran::index(*square))];
    if (word[0] == 'x') {
        at = '\0';
    } else {
        at = edit.color == Color::White ? word[0] : static_cast<char>(word[0] - 'A' + 'a');
    }
    return true;
}

}  // namespace

LoopControl cecp_edit(CecpSession& session, const Command&) {
    session.state.xboard.edit = edit_board_of(session.state.game.board());
    return LoopControl::Continue;
}

std::optional<LoopControl> handle_edit_line(CecpSession& session, const Command& command) {
    CecpState& state = session.state;
    if (!state.xboard.edit) return std::nullopt;
    EditBoard& edit = *state.xboard.edit;
    const std::string_view word = command.word();
    if (word == "#") {
        edit.squares.fill('\0');
    } else if (word == "c") {
        edit.color = ~edit.color;
    } else if (word == ".") {
        // The side to move is the game's: edit mode never changes it.
        const std::string fen = edit_fen(edit, state.game.board().side_to_move(), state.chess960);
        state.xboard.edit.reset();
        if (auto game = Game::from_fen(fen, state.chess960)) {
            state.game = std::move(game).value();
            state.xboard.record.restart(state.game);
        } else {
            session.out.line("tellusererror Illegal position");
        }
    } else if (!place_piece(edit, word)) {
        return std::nullopt;
    }
    return LoopControl::Continue;
}

}  // namespace pawnlark
