#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/engine/thinking.h"
#include "app/faults/fault_catalogue.h"
#include "app/faults/fault_settings.h"
#include "app/io/command.h"
#include "app/protocol/loop_control.h"
#include "velloran/chess/game.h"

namespace pawnlark {

// What a command that arrives while the engine thinks does to the search: a column of each
// dialect's command table.
enum class MidSearch : std::uint8_t {
    Defer,          // handled once the search has ended, in the order it came
    Now,            // handled at once (readiness, quit); the search goes on unless it quits
    Stop,           // the search ends and answers now
    MoveNow,        // the same, except during an analysis, which owes no answer
    PonderHit,      // the pondered move was played: think on the normal budget
    Abort,          // the search ends without an answer; the command is handled next
    AbortAnalysis,  // the same during an analysis, else deferred
    Status,         // the search prints its status line and goes on
};

// Everything one dialect says, and how it treats commands that arrive mid-search. Shared code
// writes no word of either dialect: every line comes from here.
class Dialect {
public:
    virtual ~Dialect() = default;

    // The dialect as the faults see it: which of them it honours.
    virtual DialectMode fault_mode() const = 0;
    // How its search reports are malformed on purpose; none without "info" reports.
    virtual std::optional<InfoQuirk> info_quirk() const = 0;

    // The answer word alone ("bestmove", "move"), what follows it for the null move and the
    // illegal answer, and the whole answer when the side to move has no legal move.
    virtual std::string answer_word() const = 0;
    virtual std::string no_move() const = 0;
    // Whether its answers name a ponder move, as the front end has asked.
    virtual bool names_ponder_move() const = 0;
    // The move answer: the word, the move, a ponder move when `ponder`, the trailing junk of
    // the garble when `junk`.
    virtual std::string move_answer(const velloran::Game& game, velloran::Move move,
                                    std::string_view text, bool ponder, bool junk) const = 0;
    // How the dialect writes a move of the current game.
    virtual std::string move_text(const velloran::Game& game, velloran::Move move) const = 0;
    // The claim's line for the side to move.
    virtual std::string claim_line(ClaimKind claim, velloran::Color side) const = 0;
    // The instant engine's report before its move, and line `depth` of a flood.
    virtual std::string report(std::int32_t score, std::uint32_t nodes, std::uint64_t time_ms,
                               std::string_view pv) const = 0;
    virtual std::string flood_line(const FaultSettings& faults, std::uint32_t depth,
                                   std::optional<std::string_view> first_move) const = 0;
    // A line of analysis (absent: not printed), and the status line asked for mid-search.
    virtual std::optional<std::string> thinking_line(const ThinkReport& report) const = 0;
    virtual std::string status_line(const ThinkingSearch& search, std::uint64_t time_ms) const = 0;

    // The dialect whose replies answer a pending search ("go infinite" then "stop"): UCI's
    // in both dialects.
    virtual Dialect& pending_replies() { return *this; }

    // Called once the move is chosen, before anything is written: a dialect that plays its own
    // moves plays it here, and may return a line that follows the answer (a result).
    virtual std::optional<std::string> after_move(velloran::Move move) = 0;

    // The command's entry in the dialect's table: what it does mid-search; and the command
    // handled at once.
    virtual MidSearch mid_search(const Command& command) const = 0;
    virtual LoopControl handle(const Command& command) = 0;
};

}  // namespace pawnlark
