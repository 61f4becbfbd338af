#include "app/protocol/uci/uci_search.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/faults/answer_plan.h"
#include "app/faults/misbehaviour.h"
#include "app/protocol/answer_writer.h"
#include "app/protocol/searcher.h"
#include "app/protocol/uci/uci_dialect.h"
#include "app/protocol/uci/uci_loop.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

// The words of "go" that take a value, and the two that stand alone.
constexpr std::array<std::string_view, 9> ValueWords{"movetime",  "wtime", "btime", "winc", "binc",
                                                     "movestogo", "depth", "mate",  "nodes"};
enum class ValueWord : std::uint8_t {
    MoveTime,
    WTime,
    BTime,
    WInc,
    BInc,
    MovesToGo,
    Depth,
    Mate,
    Nodes
};

bool is_go_word(std::string_view word) {
    return word == "ponder" || word == "infinite"
           || std::find(ValueWords.begin(), ValueWords.end(), word) != ValueWords.end();
}

// The words of a "go" in one pass: each value word takes the word after its first appearance
// among the arguments; the words after the first "searchmoves", up to the next word of "go",
// are the moves to search.
struct GoWords {
    std::array<std::optional<std::string_view>, ValueWords.size()> values;
    bool infinite = false;
    bool ponder = false;
    std::vector<std::string_view> search_moves;

    explicit GoWords(const Command& go) {
        std::array<bool, ValueWords.size()> seen{};
        enum class List : std::uint8_t { Before, In, After } list = List::Before;
        const velloran::Words words = go.words();
        auto word = words.begin();
        if (word == words.end()) return;
        for (++word; word != words.end(); ++word) {
            if (list == List::In && !is_go_word(*word)) {
                search_moves.push_back(*word);
                continue;
            }
            if (list == List::In) list = List::After;
            if (list == List::Before && *word == "searchmoves") {
                list = List::In;
                continue;
            }
            infinite = infinite || *word == "infinite";
            ponder = ponder || *word == "ponder";
            const auto key = std::find(ValueWords.begin(), ValueWords.end(), *word);
            const auto index = static_cast<std::size_t>(key - ValueWords.begin());
            if (key == ValueWords.end() || seen[index]) continue;
            seen[index] = true;
            const auto next = std::next(word);
            if (next != words.end()) values[index] = *next;
        }
    }

    std::optional<std::uint64_t> number(ValueWord word) const {
        const auto value = values[static_cast<std::size_t>(word)];
        return value ? velloran::parse_unsigned<std::uint64_t>(*value) : std::nullopt;
    }
};

// The engine's own clock for a flag fall: the move time, else the mover's remaining time.
std::optional<std::uint64_t> own_time_ms(const ThinkLimits& limits) {
    return limits.movetime_ms ? limits.movetime_ms : limits.remaining_ms;
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
    const ThinkLimits limits = read_uci_limits(command, state.game);
    if (limits.infinite || limits.ponder) {
        const bool premature = limits.ponder && answers_ponder_at_once(session);
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
                         {state.games, state.ply, own_time_ms(limits), limits});
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

ThinkLimits read_uci_limits(const Command& go, const velloran::Game& game) {
    const bool white = game.board().side_to_move() == velloran::Color::White;
    const GoWords words(go);
    ThinkLimits limits;
    limits.movetime_ms = words.number(ValueWord::MoveTime);
    limits.remaining_ms = words.number(white ? ValueWord::WTime : ValueWord::BTime);
    limits.increment_ms = words.number(white ? ValueWord::WInc : ValueWord::BInc).value_or(0);
    limits.moves_to_go = words.number(ValueWord::MovesToGo);
    if (limits.moves_to_go == 0u) limits.moves_to_go.reset();
    if (const auto depth = words.number(ValueWord::Depth)) {
        limits.depth = static_cast<std::uint32_t>(std::min<std::uint64_t>(*depth, DeepestDepth));
    }
    if (const auto mate = words.number(ValueWord::Mate); mate && *mate > 0) {
        limits.depth = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            2 * std::min<std::uint64_t>(*mate, DeepestDepth) - 1, DeepestDepth));
    }
    limits.nodes = words.number(ValueWord::Nodes);
    limits.infinite = words.infinite;
    limits.ponder = words.ponder;
    // Unreadable and illegal moves are skipped.
    for (const std::string_view text : words.search_moves) {
        if (const auto move = game.parse_move(text)) limits.search_moves.push_back(move.value());
    }
    return limits;
}

}  // namespace pawnlark
