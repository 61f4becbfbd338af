#include "app/protocol/search_answer.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/faults/info_quirks.h"
#include "app/faults/misbehaviour.h"
#include "velloran/chess/notation.h"

namespace pawnlark {
namespace {

std::uint64_t saturating_sum(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b
               ? std::numeric_limits<std::uint64_t>::max()
               : a + b;
}

// The pause before the answer: own time plus the overrun when the flag fires and the request
// has an own time, else the delay. Saturates instead of wrapping.
std::uint64_t pause_ms(const ProtocolSettings& settings, const SearchRequest& request) {
    if (!request.own_time_ms || !fires(settings.flag_at_ply, request.ply)) return settings.delay_ms;
    const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - *request.own_time_ms;
    return *request.own_time_ms + std::min(settings.flag_overrun_ms, room);
}

void write_flood(const AnswerContext& context, const AnswerDialect& dialect,
                 const velloran::Game& game) {
    const auto moves = sorted_legal_moves(game);
    const std::optional<std::string> first_move =
        moves.empty() ? std::nullopt : std::optional(dialect.move_text(moves.front()));
    for (std::uint32_t depth = 1; depth <= context.settings.flood_lines && depth != 0; ++depth) {
        std::vector<std::string> lines{dialect.flood_line(context.settings, depth, first_move)};
        apply_info_quirk(dialect.info_quirk, lines, game);
        for (const std::string& line : lines) context.out.line(line);
    }
}

// Writes the answer's lines, the last without its line end when the garble says so. Returns
// Crash when the process ends after the answer (noeol-exit, or --crash-after-ply).
LoopControl write_answer(const AnswerContext& context, std::uint32_t ply,
                         const std::vector<std::string>& lines, std::optional<GarbleKind> garble) {
    context.out.lines(lines, garble == GarbleKind::NoEol || garble == GarbleKind::NoEolExit);
    const bool ends =
        garble == GarbleKind::NoEolExit || fires(context.settings.crash_after_ply, ply);
    return ends ? LoopControl::Crash : LoopControl::Continue;
}

// " ponder Y" with Y the first sorted legal move after `move`, or nothing when there is none.
std::string ponder_suffix(const velloran::Game& game, velloran::Move move) {
    // The board alone, not the game's record: nothing but the reply's text is needed.
    velloran::Board after = game.board();
    after.play(move);
    const auto replies = sorted_legal_moves(after, game.chess960());
    return replies.empty()
               ? std::string()
               : " ponder " + velloran::move_text(after, replies.front(), game.chess960());
}

enum class ThinkEnd : std::uint8_t { Done, Stopped, Aborted, Quit };

// Prints the search's analysis as its depths come due and watches the input meanwhile, until
// the deadline (absent: until "stop", or "ponderhit" and then the budget), the depth limit,
// or a line that ends the search. The wait sleeps: thinking costs no processor time.
ThinkEnd think(const AnswerContext& context, const AnswerDialect& dialect,
               const velloran::Game& game, ThinkingSearch& search, ThinkLimits limits,
               std::optional<std::uint64_t> deadline_ms) {
    using Clock = InputQueue::Clock;
    constexpr std::uint64_t ProgressEveryMs = 1000;
    // On the growing schedule, depths due within this of each other leave together, and with
    // the closing line when that is as near: every wake-up costs a crowd of engines more than
    // the lines themselves. Their times stay the scheduled ones. A depth limit ends the search
    // when its depth is due, so there nothing is held back.
    constexpr std::uint64_t GatherMs = 500;
    const bool gather = !context.settings.think_interval_ms && !limits.depth;
    const Clock::time_point start = Clock::now();
    const auto elapsed_ms = [&] {
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    };
    const auto write = [&](std::vector<std::string>& lines) {
        apply_info_quirk(dialect.info_quirk, lines, game);
        context.out.lines(lines, false);
    };
    if (limits.nodes) {
        const std::uint64_t nps = std::max<std::uint64_t>(context.settings.think_nps, 1);
        const std::uint64_t nodes_ms =
            *limits.nodes / nps * 1000 + (*limits.nodes % nps * 1000 + nps - 1) / nps;
        deadline_ms = std::min(deadline_ms.value_or(nodes_ms), nodes_ms);
    }
    const auto depth_limit_reached = [&] {
        return limits.depth && search.depth() >= *limits.depth && !limits.ponder;
    };
    const auto collect = [&](const ThinkReport& report, std::vector<std::string>& lines) {
        if (auto line = dialect.thinking_line(report)) lines.push_back(std::move(*line));
    };
    // Collects every depth due by `time_ms`; true if there was one.
    const auto collect_due_depths = [&](std::uint64_t time_ms, std::vector<std::string>& lines) {
        bool depths = false;
        for (auto due = search.next_depth_ms(); due && *due <= time_ms && !depth_limit_reached();
             due = search.next_depth_ms()) {
            for (const ThinkReport& report : search.complete_next_depth()) collect(report, lines);
            depths = true;
        }
        return depths;
    };
    // The depths due by `time_ms`, even those a gathering wait held back, then the closing
    // line, in one write.
    const auto close_at = [&](std::uint64_t time_ms) {
        std::vector<std::string> lines;
        collect_due_depths(time_ms, lines);
        collect(search.closing_line(time_ms), lines);
        write(lines);
    };
    std::uint64_t last_line_ms = 0;
    std::optional<std::uint64_t> last_depth_wake_ms;
    for (;;) {
        if (depth_limit_reached()) return ThinkEnd::Done;
        std::optional<std::uint64_t> next_depth = search.next_depth_ms();
        if (next_depth && gather) {
            if (last_depth_wake_ms) {
                next_depth = std::max(*next_depth, *last_depth_wake_ms + GatherMs);
            }
            if (deadline_ms && *next_depth + GatherMs > *deadline_ms) next_depth = deadline_ms;
        }
        std::uint64_t wake_ms = last_line_ms + ProgressEveryMs;
        if (next_depth) wake_ms = std::min(wake_ms, *next_depth);
        if (deadline_ms) wake_ms = std::min(wake_ms, *deadline_ms);
        const auto wake =
            start
            + std::chrono::milliseconds(std::min<std::uint64_t>(wake_ms, std::uint64_t{1} << 50));
        InputQueue::Arrival arrival = context.input->wait_until(wake);
        if (arrival.kind == InputQueue::Arrival::Kind::Line) {
            switch (dialect.mid_search(arrival.line)) {
                case MidSearch::Defer:
                    context.input->defer(std::move(arrival.line));
                    break;
                case MidSearch::Handled:
                    break;
                case MidSearch::Status:
                    context.out.line(dialect.status_line(search, elapsed_ms()));
                    break;
                case MidSearch::Stop:
                    close_at(elapsed_ms());
                    return ThinkEnd::Stopped;
                case MidSearch::PonderHit:
                    if (limits.ponder) {
                        limits.ponder = false;
                        if (const auto budget =
                                think_budget_ms(limits, context.options.move_overhead_ms)) {
                            deadline_ms = saturating_sum(elapsed_ms(), *budget);
                        }
                    }
                    break;
                case MidSearch::Abort:
                    context.input->defer(std::move(arrival.line));
                    return ThinkEnd::Aborted;
                case MidSearch::Quit:
                    return ThinkEnd::Quit;
            }
            continue;
        }
        if (arrival.kind == InputQueue::Arrival::Kind::End) {
            // Nobody can send "stop" any more: an endless search ends here.
            if (!deadline_ms && !(limits.depth && !limits.ponder)) {
                close_at(elapsed_ms());
                return ThinkEnd::Stopped;
            }
            continue;
        }
        if (deadline_ms && wake_ms == *deadline_ms) {
            close_at(wake_ms);
            return ThinkEnd::Done;
        }
        std::vector<std::string> lines;
        const bool depths = collect_due_depths(wake_ms, lines);
        if (!depths) collect(search.progress(wake_ms), lines);
        write(lines);
        last_line_ms = wake_ms;
        if (depths) last_depth_wake_ms = wake_ms;
    }
}

// How the loop goes on when a search ended without owing an answer: at "quit", or when a
// command interrupted it.
std::optional<LoopControl> without_answer(ThinkEnd end) {
    if (end == ThinkEnd::Quit) return LoopControl::Quit;
    if (end == ThinkEnd::Aborted) return LoopControl::Continue;
    return std::nullopt;
}

}  // namespace

LoopControl answer_search(const AnswerContext& context, const AnswerDialect& dialect,
                          const velloran::Game& game, const SearchRequest& request) {
    const ProtocolSettings& settings = context.settings;
    const std::uint32_t ply = request.ply;
    if (fires(settings.crash_at_ply, ply)) return LoopControl::Crash;
    const bool stalls = dialect.honours_stall_and_illegal && fires(settings.stall_at_ply, ply);
    const bool flag_falls = request.own_time_ms && fires(settings.flag_at_ply, ply);
    const bool claim_ends =
        dialect.makes_claims && fires(settings.cecp_claim_at_ply, ply)
        && (settings.cecp_claim == ClaimKind::Resign || settings.cecp_claim == ClaimKind::ClaimWin);
    const bool illegal = dialect.honours_stall_and_illegal && fires(settings.illegal_at_ply, ply);
    const std::optional<GarbleKind> garble =
        fires(settings.garble_at_ply, ply) ? std::optional(settings.garble) : std::nullopt;
    // The move is chosen, and the generator drawn from, only when the answer names it.
    const bool names_move =
        !claim_ends && !illegal && garble != GarbleKind::Empty && garble != GarbleKind::Null;

    std::optional<MoveChoice> choice;
    std::uint64_t paused_ms = 0;
    if (request.think) {
        std::vector<MoveChoice> ranked;
        if (names_move) {
            ranked = rank_moves(game, context.generator, settings.random, context.options.noise);
        } else {
            for (const velloran::Move move : sorted_legal_moves(game)) ranked.push_back({move, 0});
        }
        if (!ranked.empty()) {
            if (names_move) choice = ranked.front();
            ThinkingSearch search(game.board(), game.chess960(), std::move(ranked), settings,
                                  settings.seed, context.options);
            const std::optional<std::uint64_t> deadline =
                flag_falls ? pause_ms(settings, request)
                           : think_budget_ms(*request.think, context.options.move_overhead_ms);
            const ThinkEnd end = think(context, dialect, game, search, *request.think, deadline);
            if (const auto control = without_answer(end)) return *control;
        }
        if (stalls) return LoopControl::Stall;
    } else {
        if (stalls) return LoopControl::Stall;
        paused_ms = pause_ms(settings, request);
        if (paused_ms > 0) context.system.sleep_ms(paused_ms);
        if (names_move) {
            choice = choose_move(game, context.generator, settings.random, context.options.noise);
        }
    }
    if (fires(settings.flood_at_ply, ply)) write_flood(context, dialect, game);

    const auto answer = [&](const std::vector<std::string>& lines,
                            std::optional<GarbleKind> malformed) {
        return write_answer(context, ply, lines, malformed);
    };
    if (dialect.makes_claims && fires(settings.cecp_claim_at_ply, ply)) {
        switch (settings.cecp_claim) {
            case ClaimKind::Resign:
                return answer({"resign"}, std::nullopt);
            case ClaimKind::ClaimWin:
                return answer(
                    {game.board().side_to_move() == velloran::Color::White ? "1-0 {White mates}"
                                                                           : "0-1 {Black mates}"},
                    std::nullopt);
            case ClaimKind::OfferDraw:
                context.out.line("offer draw");
                break;
            case ClaimKind::ClaimDraw:
                context.out.line("1/2-1/2 {Draw by repetition}");
                break;
            case ClaimKind::RejectUsermove:
                break;
        }
    }
    const std::string move_word(dialect.move_word);
    if (illegal) return answer({move_word + " a1a1"}, std::nullopt);
    if (garble == GarbleKind::Empty) return answer({move_word}, garble);
    if (garble == GarbleKind::Null) return answer({move_word + " 0000"}, garble);
    if (!choice) {
        std::vector<std::string> lines{std::string(dialect.no_move)};
        apply_info_quirk(dialect.info_quirk, lines, game);
        return answer(lines, garble);
    }

    // King onto rook is how Chess960 games write castling anyway.
    const std::string text = garble == GarbleKind::Kxr && !game.chess960()
                                 ? choice->move.text()
                                 : dialect.move_text(choice->move);
    std::vector<std::string> lines;
    if (!request.think) {
        const auto nodes =
            static_cast<std::uint32_t>(game.board().legal_piece_moves().move_count());
        // The time reported is the pause, not a measurement, so replies stay byte-for-byte
        // reproducible.
        lines.push_back(dialect.report(choice->score, nodes, paused_ms, text));
    }
    lines.push_back(move_word + " " + text
                    + (dialect.names_ponder_move ? ponder_suffix(game, choice->move) : "")
                    + (garble == GarbleKind::Trailing ? std::string(dialect.junk) : ""));
    apply_info_quirk(dialect.info_quirk, lines, game);
    // The last use of `game`: a dialect that plays its own moves changes it here.
    if (dialect.after_move) {
        if (auto line = dialect.after_move(choice->move)) lines.push_back(std::move(*line));
    }
    return answer(lines, garble);
}

LoopControl think_pending_search(const AnswerContext& context, const AnswerDialect& dialect,
                                 const velloran::Game& game, const ThinkLimits& limits,
                                 bool ponder) {
    std::vector<MoveChoice> ranked =
        rank_moves(game, context.generator, context.settings.random, context.options.noise);
    if (ranked.empty()) {
        context.out.line("bestmove 0000");
        return LoopControl::Continue;
    }
    const velloran::Move move = ranked.front().move;
    ThinkingSearch search(game.board(), game.chess960(), std::move(ranked), context.settings,
                          context.settings.seed, context.options);
    const ThinkEnd end = think(context, dialect, game, search, limits, std::nullopt);
    if (const auto control = without_answer(end)) return *control;
    context.out.line("bestmove " + game.move_text(move)
                     + (ponder ? ponder_suffix(game, move) : ""));
    return LoopControl::Continue;
}

void answer_pending_search(const AnswerContext& context, const velloran::Game& game, bool ponder) {
    const auto choice =
        choose_move(game, context.generator, context.settings.random, context.options.noise);
    std::vector<std::string> lines;
    if (choice) {
        const std::string text = game.move_text(choice->move);
        const bool names_ponder_move = ponder || context.options.ponder;
        lines = {
            "info depth 1 score cp " + std::to_string(choice->score) + " nodes 1 time 1 pv " + text,
            "bestmove " + text + (names_ponder_move ? ponder_suffix(game, choice->move) : "")};
    } else {
        lines = {"bestmove 0000"};
    }
    apply_info_quirk(context.settings.info_quirk, lines, game);
    context.out.lines(lines, false);
}

LoopControl think_through(const AnswerContext& context, const AnswerDialect& dialect,
                          const velloran::Game& game, ThinkingSearch& search,
                          const ThinkLimits& limits) {
    return think(context, dialect, game, search, limits, std::nullopt) == ThinkEnd::Quit
               ? LoopControl::Quit
               : LoopControl::Continue;
}

bool is_pending_request(const Command& command) {
    return command.has_argument("infinite") || command.has_argument("ponder");
}

}  // namespace pawnlark
