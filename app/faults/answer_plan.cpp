#include "app/faults/answer_plan.h"

#include <algorithm>
#include <limits>

#include "app/faults/fault_catalogue.h"
#include "app/faults/misbehaviour.h"

namespace pawnlark {
namespace {

// Own time plus the overrun, stopping at the maximum instead of wrapping.
std::uint64_t overrun_ms(std::uint64_t own_time_ms, std::uint64_t overrun) {
    const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - own_time_ms;
    return own_time_ms + std::min(overrun, room);
}

// The shape of the answer and the garble that reaches it: a resign or win claim replaces the
// answer, then the illegal move, then the garble.
void shape_answer(AnswerPlan& plan, const FaultSettings& faults, const DialectFaults& dialect,
                  std::uint32_t ply) {
    if (plan.claim == ClaimKind::Resign) {
        plan.shape = AnswerShape::Resign;
    } else if (plan.claim == ClaimKind::ClaimWin) {
        plan.shape = AnswerShape::ClaimWin;
    } else if (dialect.honours_stall_and_illegal && fires(faults.illegal_at_ply, ply)) {
        plan.shape = AnswerShape::Illegal;
    } else if (fires(faults.garble_at_ply, ply)) {
        plan.garble = faults.garble;
        plan.shape = faults.garble == GarbleKind::Empty  ? AnswerShape::NoMoveWord
                     : faults.garble == GarbleKind::Null ? AnswerShape::NullMove
                                                         : AnswerShape::Move;
    }
}

std::string_view shape_word(AnswerShape shape) {
    switch (shape) {
        case AnswerShape::Move:
            return "move";
        case AnswerShape::NoMoveWord:
            return "bare-word";
        case AnswerShape::NullMove:
            return "null-move";
        case AnswerShape::Illegal:
            return "illegal";
        case AnswerShape::Resign:
            return "resign";
        case AnswerShape::ClaimWin:
            return "claim-win";
    }
    return "?";
}

std::string describe_action(const AnswerPlan& plan, AnswerAction action) {
    switch (action) {
        case AnswerAction::Crash:
            return "crash";
        case AnswerAction::Stall:
            return "stall";
        case AnswerAction::Spend:
            return "spend " + std::to_string(plan.pause_ms) + (plan.flag_falls ? " flag" : "");
        case AnswerAction::Flood:
            return "flood";
        case AnswerAction::Claim:
            return "claim " + std::string(plan.claim ? word_of(*plan.claim, ClaimWords) : "?");
        case AnswerAction::Answer:
            return "answer " + std::string(shape_word(plan.shape))
                   + (plan.garble ? " garbled " + std::string(word_of(*plan.garble, GarbleWords))
                                  : "");
        case AnswerAction::CrashAfter:
            return "crash after";
    }
    return "?";
}

}  // namespace

AnswerPlan plan_answer(const FaultSettings& faults, const DialectFaults& dialect,
                       const AnswerRequest& request) {
    const std::uint32_t ply = request.ply;
    AnswerPlan plan;
    plan.flag_falls = request.own_time_ms && fires(faults.flag_at_ply, ply);
    plan.pause_ms = plan.flag_falls ? overrun_ms(*request.own_time_ms, faults.flag_overrun_ms)
                                    : faults.delay_ms;
    if (dialect.makes_claims && fires(faults.cecp_claim_at_ply, ply))
        plan.claim = faults.cecp_claim;
    shape_answer(plan, faults, dialect, ply);

    if (fires(faults.crash_at_ply, ply)) {
        plan.actions = {AnswerAction::Crash};
        return plan;
    }
    if (dialect.honours_stall_and_illegal && fires(faults.stall_at_ply, ply)) {
        // An instant engine stalls before its pause; a thinking one thinks first.
        if (request.thinks) plan.actions.push_back(AnswerAction::Spend);
        plan.actions.push_back(AnswerAction::Stall);
        return plan;
    }
    plan.actions.push_back(AnswerAction::Spend);
    if (fires(faults.flood_at_ply, ply)) plan.actions.push_back(AnswerAction::Flood);
    if (plan.claim == ClaimKind::OfferDraw || plan.claim == ClaimKind::ClaimDraw) {
        plan.actions.push_back(AnswerAction::Claim);
    }
    plan.actions.push_back(AnswerAction::Answer);
    if (fires(faults.crash_after_ply, ply) || plan.garble == GarbleKind::NoEolExit) {
        plan.actions.push_back(AnswerAction::CrashAfter);
    }
    return plan;
}

std::string describe(const AnswerPlan& plan) {
    std::string text;
    for (const AnswerAction action : plan.actions) {
        if (!text.empty()) text += ", ";
        text += describe_action(plan, action);
    }
    return text;
}

}  // namespace pawnlark
