#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/engine/engine_options.h"
#include "app/engine/move_choice.h"
#include "app/engine/thinking.h"
#include "app/io/command.h"
#include "app/io/output.h"
#include "app/os/system.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/protocol_settings.h"
#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {

class Searcher;

// What a line that arrives while the engine thinks does to the search.
enum class MidSearch : std::uint8_t {
    Defer,      // handled once the search has ended, in order
    Handled,    // answered at once (readiness), the search goes on
    Stop,       // answer now
    PonderHit,  // the pondered move was played: think on the normal budget
    Abort,      // end the search without an answer, then handle the line
    Quit,       // end the process at once
    Status,     // print the search's status line, then go on
};

// What sets one dialect's answer to a search request apart from the other's. The order of the
// faults and of the lines is written once, in `answer_search`; a dialect only supplies these
// texts and says which faults it honours.
struct AnswerDialect {
    std::string_view move_word;  // the answer's first word, before the move
    std::string_view no_move;    // the whole answer when the side to move has no legal move
    std::string_view junk;       // what the trailing-junk garble appends to the move line
    bool honours_stall_and_illegal = false;
    bool makes_claims = false;       // the claims of --cecp-claim
    bool names_ponder_move = false;  // "ponder Y" after the move
    // The search report before the move line.
    std::string (*report)(std::int32_t score, std::uint32_t nodes, std::uint64_t time_ms,
                          std::string_view pv) = nullptr;
    // Line `depth` of a flood; `first_move` is the text of the first sorted legal move.
    std::string (*flood_line)(const FaultSettings& faults, std::uint32_t depth,
                              std::optional<std::string_view> first_move) = nullptr;
    // How the dialect writes a move of the current game.
    std::function<std::string(velloran::Move)> move_text;
    // Called with the move once it is chosen, before anything is written: a dialect that plays
    // its own moves plays it here, and may return a line that follows the move (a result).
    std::function<std::optional<std::string>(velloran::Move)> after_move;
    // While thinking: what a line that arrives mid-search does, how the dialect prints a line
    // of analysis (absent: not at all), and its status line.
    std::function<MidSearch(std::string_view line)> mid_search;
    std::function<std::optional<std::string>(const ThinkReport&)> thinking_line;
    std::string (*status_line)(const ThinkingSearch& search, std::uint64_t time_ms) = nullptr;
    // How the dialect's search reports are malformed on purpose; none for a dialect without
    // "info" reports.
    std::optional<InfoQuirk> info_quirk = std::nullopt;
};

// One search request: its ply after counting, the engine's own clock (the move time, else the
// mover's remaining time) when the request gives one, and what it asks of a thinking engine.
struct SearchRequest {
    std::uint32_t ply = 0;
    std::optional<std::uint64_t> own_time_ms;
    ThinkLimits limits;
};

// Everything an answer uses besides the request and the dialect.
struct AnswerContext {
    const ProtocolSettings& settings;
    Output& out;
    System& system;
    velloran::RandomGenerator& generator;
    const EngineOptions& options;  // as the front end set them: noise, Ponder, thinking
    Searcher& searcher;
};

// Answers a search request, in order: the crash, the stall, the pause (the delay, or the own
// time plus the overrun when the flag fires), the flood, the claim, the illegal answer, the
// garble or the move with its report, and the crash after the answer. A thinking searcher
// thinks in place of the pause, before the stall, and its analysis takes the place of the
// report; a flag fall makes it overrun the own time instead. Returns how the loop goes on.
LoopControl answer_search(const AnswerContext& context, const AnswerDialect& dialect,
                          const velloran::Game& game, const SearchRequest& request);

// A search that waits for "stop" or "ponderhit" ("go infinite", "go ponder"): the instant
// searcher leaves it pending (true) for `answer_pending_search`; a thinking one thinks until
// then and answers (false).
struct PendingSearch {
    bool pending = false;
    LoopControl control = LoopControl::Continue;
};
PendingSearch start_pending_search(const AnswerContext& context, const AnswerDialect& dialect,
                                   const velloran::Game& game, const ThinkLimits& limits,
                                   bool ponder);

// The answer owed to a pending search when "stop" or "ponderhit" arrives, the same in both
// dialects and the only final answer besides `answer_search`'s: without an analysis before it,
// a report with the fixed nodes 1 and time 1; then the best move, or "bestmove 0000". No pause
// and no faults. The move is not played. With `ponder` or the Ponder option, the bestmove line
// names a ponder move. The lines are in UCI form in both dialects, so --info-quirk applies.
void answer_pending_search(const AnswerContext& context, const velloran::Game& game, bool ponder,
                           std::optional<MoveChoice> choice, bool analysed);

// An endless analysis of the current position, answering nothing; Quit when a "quit" arrived
// meanwhile. The instant searcher has none.
LoopControl analyze(const AnswerContext& context, const AnswerDialect& dialect,
                    const velloran::Game& game);

// Whether a "go" asks for a search that waits for "stop" or "ponderhit": any argument is
// "infinite" or "ponder".
bool is_pending_request(const Command& command);

}  // namespace pawnlark
