#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/engine/engine_options.h"
#include "app/engine/move_choice.h"
#include "app/engine/thinking_settings.h"
#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {

// Real engines stop deepening here; past it only progress lines are printed.
inline constexpr std::uint32_t DeepestDepth = 245;

// What a search request asks of a thinking engine. Unreadable numbers count as absent.
struct ThinkLimits {
    std::optional<std::uint64_t> movetime_ms;
    std::optional<std::uint64_t> remaining_ms;  // the mover's clock
    std::uint64_t increment_ms = 0;
    std::optional<std::uint64_t> moves_to_go;
    std::optional<std::uint32_t> depth;
    std::optional<std::uint64_t> nodes;
    bool infinite = false;
    bool ponder = false;
    std::vector<velloran::Move> search_moves;  // "searchmoves": the only moves searched, if any
};

// The ranked moves kept to `search_moves`, in their order; all of them when none is listed.
std::vector<MoveChoice> restrict_to(std::vector<MoveChoice> ranked,
                                    const std::vector<velloran::Move>& search_moves);

// The time to think: the move time less the overhead, else remaining / (moves to go or 20)
// plus three quarters of the increment, never more than the remaining time less the
// overhead. Absent when the limits give no time. Saturates instead of wrapping.
std::optional<std::uint64_t> think_budget_ms(const ThinkLimits& limits, std::uint64_t overhead_ms);

// One line of analysis, in no dialect yet.
struct ThinkReport {
    enum class Kind : std::uint8_t { Line, CurrentMove, Progress };
    enum class Bound : std::uint8_t { Exact, Lower };
    Kind kind = Kind::Line;
    std::uint32_t depth = 0;
    std::uint32_t seldepth = 0;
    std::uint32_t multipv = 1;
    std::int32_t score_cp = 0;
    std::optional<std::int32_t> mate_in;  // moves; set when the line mates
    Bound bound = Bound::Exact;
    std::optional<std::array<std::uint32_t, 3>> wdl;  // win, draw, loss per mille
    std::uint64_t nodes = 0;
    std::uint64_t nps = 0;
    std::uint32_t hashfull = 0;
    std::uint64_t time_ms = 0;
    std::vector<std::string> pv;  // move texts; the current move alone for CurrentMove
};

// The analysis a thinking engine prints while it waits, made up but consistent: depths at
// growing (or fixed) intervals, each with one line per MultiPV candidate, nodes from a
// simulated speed, legal principal variations that grow with depth, and now and then a bound
// line or a current-move line. Deterministic: the times are the scheduled ones and every
// choice comes from a generator of its own, so the run's generator is never touched. The
// first candidate is the move that will be played, so it heads every depth.
class ThinkingSearch {
public:
    // `ranked` must not be empty.
    ThinkingSearch(const velloran::Game& game, std::vector<MoveChoice> ranked,
                   const ThinkSettings& settings, std::uint64_t seed, const EngineOptions& options);

    // Depths completed so far.
    std::uint32_t depth() const { return depth_; }
    // When the next depth completes, in milliseconds from the start; absent past the last one.
    std::optional<std::uint64_t> next_depth_ms() const;
    // The next depth's lines, at its time.
    std::vector<ThinkReport> complete_next_depth();
    // A plain "nodes and time" line for a long wait.
    ThinkReport progress(std::uint64_t time_ms) const;
    // The line that closes a search ended between depths: the best line of the last depth
    // (or depth 1) at the end time.
    ThinkReport closing_line(std::uint64_t time_ms);
    // The nodes searched by `time_ms` at the simulated speed.
    std::uint64_t nodes_at(std::uint64_t time_ms) const;
    // How many moves the search ranks, and the text of the first.
    std::size_t candidate_count() const { return ranked_.size(); }
    const std::string& best_move_text() const { return variations_.front().moves.front(); }

private:
    ThinkReport line(std::uint32_t multipv_index, std::uint64_t time_ms);

    struct Variation {
        velloran::Game end;  // the game after the moves so far, to see where it ends
        std::vector<std::string> moves;
    };

    std::vector<MoveChoice> ranked_;
    std::vector<Variation> variations_;
    ThinkSettings settings_;
    EngineOptions options_;
    velloran::RandomGenerator generator_;
    std::uint32_t depth_ = 0;
    std::uint64_t next_depth_us_ = 0;
    std::uint64_t last_depth_ms_ = 0;  // when the last depth completed
    std::uint64_t gap_us_ = 0;
};

}  // namespace pawnlark
