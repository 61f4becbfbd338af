#include "app/search.h"

#include <algorithm>
#include <string>

#include "app/move_choice.h"

namespace pawnlark {

bool is_pending_request(const Command& command) {
    return command.has_argument("infinite") || command.has_argument("ponder");
}

std::string ponder_suffix(const velloran::Game& game, velloran::Move move) {
    velloran::Game after = game;
    after.play(move);
    const auto replies = sorted_legal_moves(after);
    return replies.empty() ? std::string() : " ponder " + after.move_text(replies.front());
}

void answer_pending_search(Output& out, const velloran::Game& game,
                           velloran::RandomGenerator& generator, bool random, bool ponder) {
    const auto choice = choose_move(game, generator, random);
    if (!choice) {
        out.line("bestmove 0000");
        return;
    }
    const std::string text = game.move_text(choice->move);
    out.line("info depth 1 score cp " + std::to_string(choice->score) + " nodes 1 time 1 pv "
             + text);
    out.line("bestmove " + text + (ponder ? ponder_suffix(game, choice->move) : ""));
}

}  // namespace pawnlark
