#include "app/engine/thinking.h"

#include <algorithm>

#include "app/engine/saturating.h"

namespace pawnlark {
namespace {

constexpr std::int32_t MateThreshold = 20000;
// Mixes the position into the seed of the analysis generator, apart from the run's own.
constexpr std::uint64_t AnalysisSeedMix = 0x9E3779B97F4A7C15ULL;

// Win, draw and loss per mille that follow the score: more decisive as it grows, integer
// arithmetic so every platform prints the same.
std::array<std::uint32_t, 3> wdl_for(std::int32_t score_cp, bool mates) {
    if (mates) return {1000, 0, 0};
    const std::int64_t magnitude = std::min<std::int64_t>(400, std::abs(std::int64_t{score_cp}));
    const auto draw = static_cast<std::uint32_t>((400 - magnitude) / 2);
    const std::int64_t share =
        std::clamp<std::int64_t>(500 + std::int64_t{score_cp} * 5 / 8, 0, 1000);
    const std::uint32_t rest = 1000 - draw;
    const auto win = static_cast<std::uint32_t>(rest * share / 1000);
    return {win, draw, rest - win};
}

}  // namespace

std::vector<MoveChoice> restrict_to(std::vector<MoveChoice> ranked,
                                    const std::vector<velloran::Move>& search_moves) {
    if (search_moves.empty()) return ranked;
    std::erase_if(ranked, [&](const MoveChoice& choice) {
        return std::find(search_moves.begin(), search_moves.end(), choice.move)
               == search_moves.end();
    });
    return ranked;
}

std::optional<std::uint64_t> think_budget_ms(const ThinkLimits& limits, std::uint64_t overhead_ms) {
    const auto less_overhead = [&](std::uint64_t ms) {
        return ms > overhead_ms ? ms - overhead_ms : 0;
    };
    if (limits.movetime_ms) return less_overhead(*limits.movetime_ms);
    if (!limits.remaining_ms) return std::nullopt;
    const std::uint64_t share = *limits.remaining_ms / limits.moves_to_go.value_or(20);
    const std::uint64_t budget =
        saturating_add(share, limits.increment_ms / 4 * 3 + limits.increment_ms % 4 * 3 / 4);
    return std::min(budget, less_overhead(*limits.remaining_ms));
}

ThinkingSearch::ThinkingSearch(const velloran::Game& game, std::vector<MoveChoice> ranked,
                               const ThinkSettings& settings, std::uint64_t seed,
                               const EngineOptions& options)
    : ranked_(std::move(ranked)),
      settings_(settings),
      options_(options),
      generator_(
          velloran::RandomGenerator::with_seed(seed ^ game.board().hash() ^ AnalysisSeedMix)) {
    const std::size_t lines =
        std::min<std::size_t>(ranked_.size(), std::max<std::uint32_t>(options_.multipv, 1));
    for (std::size_t k = 0; k < lines; ++k) {
        Variation variation{game, {game.move_text(ranked_[k].move)}};
        variation.end.play(ranked_[k].move);
        variations_.push_back(std::move(variation));
    }
    // A fixed interval of 0 would print depths without ever waiting. On the growing schedule
    // depth 1 is done as the search starts, as a real engine's is, and the intervals grow from
    // a millisecond.
    if (settings_.think_interval_ms) {
        gap_us_ = std::max<std::uint64_t>(1, *settings_.think_interval_ms) * 1000;
        next_depth_us_ = gap_us_;
    } else {
        gap_us_ = 1000;
        next_depth_us_ = 0;
    }
}

std::optional<std::uint64_t> ThinkingSearch::next_depth_ms() const {
    if (depth_ >= DeepestDepth) return std::nullopt;
    return next_depth_us_ / 1000;
}

std::uint64_t ThinkingSearch::nodes_at(std::uint64_t time_ms) const {
    return saturating_mul(settings_.think_nps, time_ms) / 1000;
}

ThinkReport ThinkingSearch::line(std::uint32_t multipv_index, std::uint64_t time_ms) {
    const MoveChoice& choice = ranked_[multipv_index];
    const bool mates = choice.score > MateThreshold;
    ThinkReport report;
    report.depth = std::max<std::uint32_t>(depth_, 1);
    report.seldepth = report.depth + report.depth / 2;
    report.multipv = multipv_index + 1;
    report.score_cp = choice.score;
    if (mates) report.mate_in = 1;
    if (options_.show_wdl) report.wdl = wdl_for(choice.score, mates);
    report.nps = settings_.think_nps;
    // Counted from 1, as real engines count, so that no rate divides by zero.
    report.time_ms = std::max<std::uint64_t>(time_ms, 1);
    report.nodes = nodes_at(report.time_ms);
    report.hashfull =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(1000, report.nodes / 16384));
    report.pv = variations_[multipv_index].moves;
    return report;
}

std::vector<ThinkReport> ThinkingSearch::complete_next_depth() {
    ++depth_;
    const std::uint64_t time_ms = next_depth_us_ / 1000;
    // Each variation grows by a legal move per depth until its game ends, by the rules or by
    // a draw that either side could claim: no line goes on past the fifty-move rule.
    for (Variation& variation : variations_) {
        if (variation.moves.size() >= depth_) continue;
        if (variation.end.status() != velloran::GameStatus::Ongoing) continue;
        const auto replies = sorted_legal_moves(variation.end);
        const velloran::Move reply = replies[generator_.sample_range(0, replies.size())];
        variation.moves.push_back(variation.end.move_text(reply));
        variation.end.play(reply);
    }
    std::vector<ThinkReport> reports;
    if (depth_ >= 5) {
        ThinkReport current;
        current.kind = ThinkReport::Kind::CurrentMove;
        current.depth = depth_;
        current.pv = {variations_.front().moves.front()};
        reports.push_back(current);
    }
    // Now and then the best line fails high first, as aspiration windows make real engines do.
    if (depth_ >= 2 && generator_.sample_range(0, 4) == 0) {
        // Found on the way to the depth's end, so earlier than the exact line after it.
        const std::uint64_t early_ms =
            time_ms > last_depth_ms_ ? std::max<std::uint64_t>(1, (time_ms - last_depth_ms_) / 8)
                                     : 0;
        ThinkReport bound = line(0, time_ms - early_ms);
        bound.bound = ThinkReport::Bound::Lower;
        bound.pv.resize(1);
        reports.push_back(bound);
    }
    for (std::uint32_t k = 0; k < variations_.size(); ++k) reports.push_back(line(k, time_ms));
    if (!settings_.think_interval_ms) {
        gap_us_ = saturating_mul(gap_us_, 1500 + generator_.sample_range(0, 501)) / 1000;
    }
    next_depth_us_ = saturating_add(next_depth_us_, gap_us_);
    last_depth_ms_ = time_ms;
    return reports;
}

ThinkReport ThinkingSearch::progress(std::uint64_t time_ms) const {
    ThinkReport report;
    report.kind = ThinkReport::Kind::Progress;
    report.nodes = nodes_at(time_ms);
    report.nps = settings_.think_nps;
    report.hashfull =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(1000, report.nodes / 16384));
    report.time_ms = time_ms;
    return report;
}

ThinkReport ThinkingSearch::closing_line(std::uint64_t time_ms) { return line(0, time_ms); }

}  // namespace pawnlark
