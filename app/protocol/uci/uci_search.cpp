#include "app/protocol/uci/uci_search.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/faults/chaos.h"
#include "app/faults/misbehaviour.h"
#include "app/protocol/answer_writer.h"
#include "app/protocol/searcher.h"
#include "app/protocol/uci/uci_dialect.h"
#include "app/protocol/uci/uci_loop.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

std::optional<std::uint64_t> number_after(const Command& command, std::string_view word) {
    const auto value = command.value_after(word);
    return value ? velloran::parse_unsigned<std::uint64_t>(*value) : std::nullopt;
}

// The engine's own clock for a flag fall: the move time, else the mover's remaining time.
std::optional<std::uint64_t> own_time_ms(const Command& command, const velloran::Game& game) {
    const auto value_after = [&](std::string_view word) -> std::optional<std::uint64_t> {
        const auto value = command.value_after(word);
        return value ? velloran::parse_unsigned<std::uint64_t>(*value) : std::nullopt;
    };
    if (const auto movetime = value_after("movetime")) return movetime;
    return value_after(game.board().side_to_move() == velloran::Color::White ? "wtime" : "btime");
}

// The legal moves listed after "searchmoves", up to the next word of "go"; unreadable and
// illegal ones are skipped.
std::vector<velloran::Move> read_search_moves(const Command& go, const velloran::Game& game) {
    constexpr std::array<std::string_view, 11> GoWords{"ponder", "wtime",     "btime",   "winc",
                                                       "binc",   "movestogo", "depth",   "nodes",
                                                       "mate",   "movetime",  "infinite"};
    std::vector<velloran::Move> moves;
    const velloran::Words words = go.words();
    auto word = std::find(words.begin(), words.end(), "searchmoves");
    if (word == words.end()) return moves;
    for (++word; word != words.end(); ++word) {
        if (std::find(GoWords.begin(), GoWords.end(), *word) != GoWords.end()) break;
        if (const auto move = game.parse_move(*word)) moves.push_back(move.value());
    }
    return moves;
}

// Whether "go ponder" is answered at once: --ponder-premature-at-ply, or chaos.
bool answers_ponder_at_once(UciSession& session) {
    const UciState& state = session.state;
    const auto chaos = chaos_at(session.settings.chaos, session.settings.seed, DialectMode::Uci,
                                ChaosMoment::Ponder, {state.games, state.ply});
    if (chaos) session.system.note(chaos_note(*chaos, state.ply));
    return chaos || fires(session.settings.ponder_premature_at_ply, state.ply);
}

}  // namespace

LoopControl uci_go(UciSession& session, const Command& command) {
    UciState& state = session.state;
    const ProtocolSettings& settings = session.settings;
    UciDialect dialect(session);
    ThinkLimits limits = read_uci_limits(command, state.game.board().side_to_move());
    limits.search_moves = read_search_moves(command, state.game);
    if (is_pending_request(command)) {
        const bool premature = command.has_argument("ponder") && answers_ponder_at_once(session);
        if (premature) {
            answer_pending_search(
                session.answer_context(), dialect, state.game, settings.ponder,
                choose_move(state.game, session.generator, settings.random, state.options.noise),
                false);
            return LoopControl::Continue;
        }
        const Searcher::Pending search = session.searcher.pending(
            session.answer_context(), dialect, state.game, limits, settings.ponder);
        state.search_pending = search.pending;
        return search.control;
    }
    state.ply = count_ply(state.ply);
    return answer_search(session.answer_context(), dialect, state.game,
                         {state.games, state.ply, own_time_ms(command, state.game), limits});
}

LoopControl uci_stop(UciSession& session, const Command&) {
    UciState& state = session.state;
    if (state.search_pending) {
        UciDialect dialect(session);
        answer_pending_search(session.answer_context(), dialect, state.game,
                              session.settings.ponder,
                              choose_move(state.game, session.generator, session.settings.random,
                                          state.options.noise),
                              false);
        state.search_pending = false;
    }
    return LoopControl::Continue;
}

ThinkLimits read_uci_limits(const Command& go, velloran::Color side_to_move) {
    const bool white = side_to_move == velloran::Color::White;
    ThinkLimits limits;
    limits.movetime_ms = number_after(go, "movetime");
    limits.remaining_ms = number_after(go, white ? "wtime" : "btime");
    limits.increment_ms = number_after(go, white ? "winc" : "binc").value_or(0);
    limits.moves_to_go = number_after(go, "movestogo");
    if (limits.moves_to_go == 0u) limits.moves_to_go.reset();
    if (const auto depth = number_after(go, "depth")) {
        limits.depth = static_cast<std::uint32_t>(std::min<std::uint64_t>(*depth, DeepestDepth));
    }
    if (const auto mate = number_after(go, "mate"); mate && *mate > 0) {
        limits.depth = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            2 * std::min<std::uint64_t>(*mate, DeepestDepth) - 1, DeepestDepth));
    }
    limits.nodes = number_after(go, "nodes");
    limits.infinite = go.has_argument("infinite");
    limits.ponder = go.has_argument("ponder");
    return limits;
}

}  // namespace pawnlark
