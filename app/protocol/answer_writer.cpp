#include "app/protocol/answer_writer.h"

#include <string>
#include <vector>

#include "app/faults/answer_plan.h"
#include "app/faults/info_quirks.h"
#include "app/protocol/searcher.h"

namespace pawnlark {
namespace {

void write_flood(const AnswerContext& context, const Dialect& dialect, const velloran::Game& game) {
    const auto moves = sorted_legal_moves(game);
    const std::optional<std::string> first_move =
        moves.empty() ? std::nullopt : std::optional(dialect.move_text(game, moves.front()));
    for (std::uint32_t depth = 1; depth <= context.settings.flood_lines && depth != 0; ++depth) {
        std::vector<std::string> lines{dialect.flood_line(context.settings, depth, first_move)};
        apply_info_quirk(dialect.info_quirk(), lines, game);
        for (const std::string& line : lines) context.out.line(line);
    }
}

// The lines of an answer that names a move, or the no-move answer.
std::vector<std::string> move_lines(Dialect& dialect, const velloran::Game& game,
                                    const FinalAnswer& answer) {
    if (!answer.choice) return {dialect.no_move()};
    const MoveChoice& choice = *answer.choice;
    // King onto rook is how Chess960 games write castling anyway.
    const std::string text = answer.garble == GarbleKind::Kxr && !game.chess960()
                                 ? choice.move.text()
                                 : dialect.move_text(game, choice.move);
    std::vector<std::string> lines;
    if (answer.report) {
        lines.push_back(
            dialect.report(choice.score, answer.report->nodes, answer.report->time_ms, text));
    }
    lines.push_back(dialect.move_answer(game, choice.move, text, answer.names_ponder,
                                        answer.garble == GarbleKind::Trailing));
    return lines;
}

// Spends the request's time and takes the move into the answer; how the loop goes on when the
// search ended without owing one.
std::optional<LoopControl> spend(const AnswerContext& context, Dialect& dialect,
                                 const velloran::Game& game, const SearchRequest& request,
                                 const AnswerPlan& plan, bool chaos_fired, FinalAnswer& answer) {
    // A fault that chaos fired in place of the move still takes the move's draws, so that every
    // later move is the one played without chaos.
    const SearchOutcome outcome = context.searcher.search(context, dialect, game, request, plan,
                                                          plan.names_move() || chaos_fired);
    if (outcome.without_answer) return outcome.without_answer;
    answer.choice = outcome.choice;
    if (outcome.report_time_ms) {
        const auto nodes =
            static_cast<std::uint32_t>(game.board().legal_piece_moves().move_count());
        answer.report = FinalAnswer::Stamp{nodes, *outcome.report_time_ms};
    }
    return std::nullopt;
}

}  // namespace

void write_final_answer(const AnswerContext& context, Dialect& dialect, const velloran::Game& game,
                        const FinalAnswer& answer) {
    std::vector<std::string> lines;
    switch (answer.shape) {
        case AnswerShape::Move:
            lines = move_lines(dialect, game, answer);
            break;
        case AnswerShape::NoMoveWord:
            lines = {dialect.answer_word()};
            break;
        case AnswerShape::NullMove:
            lines = {dialect.answer_word() + " 0000"};
            break;
        case AnswerShape::Illegal:
            lines = {dialect.answer_word() + " a1a1"};
            break;
        case AnswerShape::Resign:
            lines = {dialect.claim_line(ClaimKind::Resign, game.board().side_to_move())};
            break;
        case AnswerShape::ClaimWin:
            lines = {dialect.claim_line(ClaimKind::ClaimWin, game.board().side_to_move())};
            break;
    }
    const bool plays = answer.shape == AnswerShape::Move && answer.choice;
    if (answer.shape == AnswerShape::Move) apply_info_quirk(dialect.info_quirk(), lines, game);
    // The last use of `game`: a dialect that plays its own moves changes it here.
    if (plays) {
        if (auto line = dialect.after_move(answer.choice->move)) lines.push_back(std::move(*line));
    }
    const bool open_end =
        answer.shape == AnswerShape::Move
        && (answer.garble == GarbleKind::NoEol || answer.garble == GarbleKind::NoEolExit);
    context.out.lines(lines, open_end);
}

LoopControl answer_search(const AnswerContext& context, Dialect& dialect,
                          const velloran::Game& game, const SearchRequest& request) {
    const ChaosPlan planned =
        plan_answer_with_chaos(context.settings, dialect.fault_mode(),
                               {request.ply, request.own_time_ms, context.searcher.thinks()},
                               {request.game, request.ply}, context.settings.seed);
    // Chaos says what it fires before the fault acts.
    if (planned.chaos) context.system.note(chaos_note(*planned.chaos, request.ply));
    const bool chaos_fired = planned.chaos.has_value();
    const AnswerPlan& plan = planned.plan;
    FinalAnswer answer{.shape = plan.shape,
                       .choice = std::nullopt,
                       .report = std::nullopt,
                       .garble = plan.garble,
                       .names_ponder = dialect.names_ponder_move()};
    for (const AnswerAction action : plan.actions) {
        switch (action) {
            case AnswerAction::Crash:
            case AnswerAction::CrashAfter:
                return LoopControl::Crash;
            case AnswerAction::Stall:
                return LoopControl::Stall;
            case AnswerAction::Spend:
                if (const auto control =
                        spend(context, dialect, game, request, plan, chaos_fired, answer)) {
                    return *control;
                }
                break;
            case AnswerAction::Flood:
                write_flood(context, dialect, game);
                break;
            case AnswerAction::Claim:
                context.out.line(dialect.claim_line(*plan.claim, game.board().side_to_move()));
                break;
            case AnswerAction::Answer:
                write_final_answer(context, dialect, game, answer);
                break;
        }
    }
    return LoopControl::Continue;
}

void answer_pending_search(const AnswerContext& context, Dialect& dialect,
                           const velloran::Game& game, bool ponder,
                           std::optional<MoveChoice> choice, bool analysed) {
    FinalAnswer answer{.shape = AnswerShape::Move,
                       .choice = choice,
                       .report = std::nullopt,
                       .garble = std::nullopt,
                       .names_ponder = ponder || context.options.ponder};
    if (!analysed) answer.report = FinalAnswer::Stamp{1, 1};
    write_final_answer(context, dialect.pending_replies(), game, answer);
}

bool is_pending_request(const Command& command) {
    return command.has_argument("infinite") || command.has_argument("ponder");
}

}  // namespace pawnlark
