#include "app/protocol/search_answer.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/faults/info_quirks.h"
#include "app/faults/misbehaviour.h"
#include "app/protocol/searcher.h"
#include "velloran/chess/notation.h"

namespace pawnlark {
namespace {

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

    const SearchTask task{
        .pause_ms = pause_ms(settings, request),
        .flag_deadline_ms = flag_falls ? std::optional(pause_ms(settings, request)) : std::nullopt,
        .names_move = names_move,
        .stalls = stalls,
    };
    const SearchOutcome outcome = context.searcher.search(context, dialect, game, request, task);
    if (outcome.without_answer) return *outcome.without_answer;
    const std::optional<MoveChoice>& choice = outcome.choice;
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
    if (outcome.report_time_ms) {
        const auto nodes =
            static_cast<std::uint32_t>(game.board().legal_piece_moves().move_count());
        // The time reported is the pause, not a measurement, so replies stay byte-for-byte
        // reproducible.
        lines.push_back(dialect.report(choice->score, nodes, *outcome.report_time_ms, text));
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

PendingSearch start_pending_search(const AnswerContext& context, const AnswerDialect& dialect,
                                   const velloran::Game& game, const ThinkLimits& limits,
                                   bool ponder) {
    return context.searcher.pending(context, dialect, game, limits, ponder);
}

void answer_pending_search(const AnswerContext& context, const velloran::Game& game, bool ponder,
                           std::optional<MoveChoice> choice, bool analysed) {
    std::vector<std::string> lines;
    if (choice) {
        const std::string text = game.move_text(choice->move);
        const bool names_ponder_move = ponder || context.options.ponder;
        // An analysis has reported already; otherwise a report stands for it.
        if (!analysed) {
            lines.push_back("info depth 1 score cp " + std::to_string(choice->score)
                            + " nodes 1 time 1 pv " + text);
        }
        lines.push_back("bestmove " + text
                        + (names_ponder_move ? ponder_suffix(game, choice->move) : ""));
    } else {
        lines = {"bestmove 0000"};
    }
    apply_info_quirk(context.settings.info_quirk, lines, game);
    context.out.lines(lines, false);
}

LoopControl analyze(const AnswerContext& context, const AnswerDialect& dialect,
                    const velloran::Game& game) {
    return context.searcher.analyze(context, dialect, game);
}

bool is_pending_request(const Command& command) {
    return command.has_argument("infinite") || command.has_argument("ponder");
}

}  // namespace pawnlark
