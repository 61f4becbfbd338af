#include "app/protocol/cecp/xboard_commands.h"

#include <variant>

#include "app/engine/move_choice.h"
#include "app/protocol/option_catalogue.h"

namespace pawnlark {

using velloran::Color;
using velloran::Game;

std::optional<Game> GameRecord::take_back(std::size_t plies) {
    if (plies > moves_.size()) return std::nullopt;
    moves_.resize(moves_.size() - plies);
    Game game = start_;
    for (const velloran::Move move : moves_) game.play(move);
    return game;
}

namespace {

constexpr std::string_view BasicOptionFeatures = "option=\"Noise -spin 25 0 100\"";

LoopControl take_back(CecpSession& session, std::size_t plies, std::string_view command) {
    CecpState& state = session.state;
    auto game = state.xboard.record.take_back(plies);
    if (!game) {
        session.out.line("Error (command not legal now): " + std::string(command));
        return LoopControl::Continue;
    }
    state.game = std::move(*game);
    // The ply counter goes back with the moves, so a fault fires at the same ply again.
    state.ply = state.ply > plies ? state.ply - static_cast<std::uint32_t>(plies) : 0;
    return LoopControl::Continue;
}

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

bool is_coordinate_move(std::string_view word) {
    const auto square_at = [&](std::size_t at) {
        return velloran::parse_square(word.substr(at, 2)).has_value();
    };
    if (word.size() != 4 && word.size() != 5) return false;
    if (word.size() == 5 && std::string_view("nbrqk").find(word[4]) == std::string_view::npos) {
        return false;
    }
    return square_at(0) && square_at(2);
}

}  // namespace

std::string xboard_option_features(const ProtocolSettings& settings) {
    if (settings.options == OptionsMode::Basic) return std::string(BasicOptionFeatures);
    std::string features;
    for (const OptionSpec& option : option_catalogue(Protocol::Cecp, true)) {
        if (!features.empty()) features += ' ';
        features += xboard_option_feature(option);
    }
    return features;
}

LoopControl cecp_option(CecpSession& session, const Command& command) {
    const ProtocolSettings& settings = session.settings;
    if (settings.options == OptionsMode::Basic) return LoopControl::Continue;
    const OptionOutcome outcome =
        read_xboard_option(option_catalogue(Protocol::Cecp, true), command.rest());
    if (const auto* error = std::get_if<std::string>(&outcome)) {
        session.out.line("Error (bad option): " + *error);
        return LoopControl::Continue;
    }
    const auto& setting = std::get<OptionSetting>(outcome);
    apply_option(setting, session.state.options);
    if (settings.options == OptionsMode::Echo) session.out.line("# " + describe(setting));
    // The manager forgets every option before it sends a -reset one: they are announced anew.
    if (setting.option->effect == OptionEffect::ResetAll) {
        session.out.line("feature " + xboard_option_features(settings) + " done=1");
    }
    return LoopControl::Continue;
}

LoopControl cecp_undo(CecpSession& session, const Command&) {
    return take_back(session, 1, "undo");
}

LoopControl cecp_remove(CecpSession& session, const Command&) {
    return take_back(session, 2, "remove");
}

LoopControl cecp_hint(CecpSession& session, const Command&) {
    // A copy of the generator: asking for a hint must not change the moves played later.
    velloran::RandomGenerator generator = session.generator;
    const auto choice = choose_move(session.state.game, generator, session.settings.random,
                                    session.state.options.noise);
    if (choice) session.out.line("Hint: " + cecp_move_text(session, choice->move));
    return LoopControl::Continue;
}

LoopControl cecp_bk(CecpSession& session, const Command&) {
    session.out.line("");
    return LoopControl::Continue;
}

LoopControl cecp_draw(CecpSession& session, const Command&) {
    if (session.settings.cecp_accept_draw) session.out.line("offer draw");
    return LoopControl::Continue;
}

LoopControl cecp_accepted(CecpSession& session, const Command& command) {
    if (command.word_at(1) == "usermove") session.state.xboard.usermove_accepted = true;
    return LoopControl::Continue;
}

LoopControl cecp_rejected(CecpSession& session, const Command& command) {
    if (command.word_at(1) == "usermove") session.state.xboard.usermove_accepted = false;
    return LoopControl::Continue;
}

LoopControl cecp_edit(CecpSession& session, const Command&) {
    session.state.xboard.edit = edit_board_of(session.state.game.board());
    return LoopControl::Continue;
}

LoopControl cecp_ignore(CecpSession&, const Command&) { return LoopControl::Continue; }

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

bool is_bare_move(const CecpSession& session, std::string_view word) {
    if (session.state.xboard.usermove_accepted) return false;
    return is_coordinate_move(word) || word == "O-O" || word == "O-O-O";
}

}  // namespace pawnlark
