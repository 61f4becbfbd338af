#include "app/protocol/uci/uci_position.h"

#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/faults/misbehaviour.h"
#include "app/io/line_reader.h"
#include "app/protocol/uci/uci_loop.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

constexpr std::string_view StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Plays the readable moves among the words, counting each; unreadable ones are skipped.
void play_moves(UciState& state, velloran::Words::Iterator word, velloran::Words::Iterator end) {
    for (; word != end; ++word) {
        if (const auto move = state.game.parse_move(*word)) {
            state.game.play(move.value());
            state.ply = count_ply(state.ply);
        }
    }
}

// The moves a line adds to the remembered one, when it repeats that line word for word and
// only adds moves: then the game and the counter it left can be carried on.
std::optional<std::string_view> added_moves(const UciState& state, std::string_view line) {
    const PositionMemo& memo = state.last_position;
    if (memo.line.empty() || memo.chess960 != state.chess960 || !line.starts_with(memo.line)) {
        return std::nullopt;
    }
    const std::string_view added = line.substr(memo.line.size());
    if (added.empty()) return added;
    // The remembered last word must end where it ended, not go on into a longer word.
    if (trim(added).data() == added.data()) return std::nullopt;
    if (memo.in_moves) return added;
    const velloran::Words words(added);
    if (*words.begin() != "moves") return std::nullopt;
    return words.from(std::next(words.begin()));
}

}  // namespace

// Unreadable FEN texts and moves are skipped without a word: the front end's next command
// describes the game afresh anyway. Front ends resend the whole game with every move, so a
// line that extends the last one plays only its new moves, with the same result as reading
// it afresh.
LoopControl uci_position(UciSession& session, const Command& command) {
    UciState& state = session.state;
    PositionMemo& memo = state.last_position;
    if (const auto added = added_moves(state, command.line)) {
        const velloran::Words words(*added);
        state.ply = memo.ply;
        play_moves(state, words.begin(), words.end());
        memo.in_moves = memo.in_moves || memo.line.size() < command.line.size();
        memo.line.append(command.line.substr(memo.line.size()));
        memo.ply = state.ply;
        return LoopControl::Continue;
    }
    const velloran::Words words = command.words();
    auto word = std::next(words.begin());
    bool fresh = false;
    if (word != words.end() && *word == "startpos") {
        state.game = velloran::Game::from_fen(StartFen, state.chess960).value();
        fresh = true;
        ++word;
    } else if (word != words.end() && *word == "fen") {
        // More than six fields is refused anyway: at most seven are kept, whatever the length.
        std::vector<std::string_view> fields;
        for (++word; word != words.end() && *word != "moves"; ++word) {
            if (fields.size() < 7) fields.push_back(*word);
        }
        std::string fen;
        for (const std::string_view field : fields) {
            if (!fen.empty()) fen += ' ';
            fen.append(field);
        }
        if (auto game = velloran::Game::from_fen(fen, state.chess960)) {
            state.game = std::move(game).value();
            fresh = true;
        }
    }
    state.ply = 0;
    const bool in_moves = word != words.end() && *word == "moves";
    if (in_moves) play_moves(state, std::next(word), words.end());
    // Only a line that built its game afresh and read nothing but moves can be carried on.
    if (fresh && (in_moves || word == words.end())) {
        memo.line.assign(command.line);
        memo.chess960 = state.chess960;
        memo.in_moves = in_moves;
        memo.ply = state.ply;
    } else {
        memo.line.clear();
    }
    return LoopControl::Continue;
}

}  // namespace pawnlark
