// Arbitrary input as a CECP session, handled in-process line by line. With no misbehaviour
// options the engine must never stall or end the process; every "move" and thinking-line move
// is legal in the game it was chosen in and is the move then played on the engine's game;
// "resign" and "bestmove 0000" come only without legal moves; nothing but "go" plays a move
// for the engine.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/protocol/cecp/cecp_loop.h"
#include "app/settings.h"
#include "loop_checks.h"
#include "velloran/random/random_generator.h"

namespace {

using pawnlark::fuzz::after_prefix;
using pawnlark::fuzz::check;

// The game after the engine's move: the move the text reads as, or for the displaced-king
// castling whose text reads as nothing, the castling move with that text.
velloran::Game played(const velloran::Game& before, std::string_view text) {
    velloran::Game game = before;
    if (const auto move = pawnlark::fuzz::engine_move(before, text)) {
        game.play(*move);
        return game;
    }
    for (const velloran::Move move : before.legal_moves()) {
        if (before.move_text(move) == text) {
            game.play(move);
            break;
        }
    }
    return game;
}

void check_replies(const pawnlark::Command& command, const velloran::Game& before,
                   const velloran::Game& after, const std::vector<std::string>& lines) {
    std::optional<std::string> thought;
    bool moved = false;
    for (const std::string& line : lines) {
        if (const auto move = after_prefix(line, "move ")) {
            check(command.word() == "go" && !moved, "move outside go", line);
            check(thought == *move, "move differs from the thinking line", line);
            const velloran::Game expected = played(before, *move);
            check(after.board() == expected.board(), "the engine's game is not the move played",
                  line);
            moved = true;
        } else if (line == "resign") {
            check(command.word() == "go", "resign outside go", line);
            check(before.legal_moves().empty(), "resign with legal moves", before.to_fen());
        } else if (after_prefix(line, "1 ")) {
            check(command.word() == "go", "thinking line outside go", line);
            const std::string nodes = " 1 " + std::to_string(before.legal_moves().size()) + " ";
            check(line.find(nodes) != std::string::npos, "thinking line move count", line);
            thought = std::string(pawnlark::fuzz::last_word(line));
        } else if (after_prefix(line, "info depth 1 ")) {
            pawnlark::fuzz::check_report(before, line);
            thought = std::string(pawnlark::fuzz::last_word(line));
        } else if (const auto best = after_prefix(line, "bestmove ")) {
            check(command.word() == "stop" || command.word() == "ponderhit",
                  "bestmove outside stop or ponderhit", line);
            if (*best == "0000") {
                check(before.legal_moves().empty(), "bestmove 0000 with legal moves",
                      before.to_fen());
            } else {
                check(thought == *best, "bestmove differs from the report's pv", line);
            }
        }
    }
    const bool may_change = command.word() == "new" || command.word() == "setboard"
                            || command.word() == "usermove" || moved;
    if (!may_change) {
        check(after == before, "the game changed without a move", command.line);
    }
    if (command.word() == "usermove" && after.board() != before.board()) {
        // An accepted move is exactly the one the front end sent.
        const auto move = before.parse_move(command.word_at(1));
        check(move.has_value(), "usermove played an unreadable move", command.line);
        velloran::Game expected = before;
        expected.play(move.value());
        check(after.board() == expected.board(), "usermove played another move", command.line);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pawnlark::Settings settings;
    settings.protocol = pawnlark::Protocol::Cecp;
    settings.delay_ms = 0;
    // Both move choices; an odd or even input length is a property mutations flip often.
    settings.random = size % 2 == 1;
    pawnlark::fuzz::RecordingOutput out;
    pawnlark::fuzz::NoFaultSystem system;
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(settings.seed);
    pawnlark::InstantSearcher searcher;
    pawnlark::CecpSession session{settings, out, system, generator, searcher};

    for (const std::string& line : pawnlark::fuzz::input_lines(data, size)) {
        const pawnlark::Command command = pawnlark::Command::from_line(line);
        const velloran::Game before = session.state.game;
        out.lines.clear();
        const pawnlark::LoopControl control = pawnlark::handle_cecp_line(session, command);
        check(control == pawnlark::LoopControl::Continue || control == pawnlark::LoopControl::Quit,
              "a fault without misbehaviour options", line);
        check_replies(command, before, session.state.game, out.lines);
        if (control == pawnlark::LoopControl::Quit) break;
    }
    return 0;
}
