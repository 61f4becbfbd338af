#include "search.h"

#include <algorithm>
#include <string>

#include "move_choice.h"

namespace pawnlark {

bool is_pending_request(std::span<const std::string_view> tokens) {
    return std::any_of(tokens.begin() + (tokens.empty() ? 0 : 1), tokens.end(),
                       [](std::string_view word) { return word == "infinite" || word == "ponder"; });
}

void answer_pending_search(Output& out, const velloran::Game& game,
                           velloran::RandomGenerator& generator, bool random) {
    const auto choice = choose_move(game, generator, random);
    if (!choice) {
        out.line("bestmove 0000");
        return;
    }
    const std::string text = game.move_text(choice->move);
    out.line("info depth 1 score cp " + std::to_string(choice->score) + " nodes 1 time 1 pv " +
             text);
    out.line("bestmove " + text);
}

}  // namespace pawnlark
