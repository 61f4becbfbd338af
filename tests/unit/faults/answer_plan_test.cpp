#include "app/faults/answer_plan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/faults/fault_catalogue.h"
#include "app/settings.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

constexpr std::uint64_t Max = UINT64_MAX;

// The faults of a command line written as one text.
FaultSettings faults_of(std::string_view line) {
    const velloran::Words words(line);
    const std::vector<std::string_view> arguments(words.begin(), words.end());
    return scan_arguments(arguments);
}

struct Row {
    std::string_view line;
    DialectMode dialect = DialectMode::Uci;
    AnswerRequest request;
    std::string_view plan;
    bool names_move = true;
};

constexpr AnswerRequest at_ply(std::uint32_t ply) {
    return {.ply = ply, .own_time_ms = {}, .thinks = false};
}
constexpr AnswerRequest with_clock(std::uint64_t own_time_ms, bool thinks = false) {
    return {.ply = 0, .own_time_ms = own_time_ms, .thinks = thinks};
}
constexpr AnswerRequest Thinking{.ply = 0, .own_time_ms = {}, .thinks = true};

constexpr DialectMode Uci = DialectMode::Uci;
constexpr DialectMode Cecp = DialectMode::Cecp;
constexpr DialectMode Standard = DialectMode::CecpStandard;

void expect_plans(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        const AnswerPlan plan =
            plan_answer(faults_of(row.line), dialect_faults(row.dialect), row.request);
        const std::string where = std::string(row.line) + " in dialect "
                                  + std::to_string(static_cast<int>(row.dialect)) + " at ply "
                                  + std::to_string(row.request.ply);
        EXPECT_EQ(describe(plan), row.plan) << where;
        EXPECT_EQ(plan.names_move(), row.names_move) << where;
    }
}

TEST(PlanAnswer, WithoutFaultsPausesThenAnswersTheMove) {
    expect_plans({
        {"", Uci, at_ply(0), "spend 5, answer move", true},
        {"", Cecp, Thinking, "spend 5, answer move", true},
        {"--delay-ms 0", Standard, with_clock(300), "spend 0, answer move", true},
    });
}

TEST(PlanAnswer, CrashFiresFromItsPlyAndBeatsEveryOtherFault) {
    const std::string_view all =
        "--crash-at-ply 3 --stall-at-ply 0 --illegal-at-ply 0 --flood-at-ply 0 "
        "--cecp-claim-at-ply 0 --garble-at-ply 0 --crash-after-ply 0 --flag-at-ply 0";
    expect_plans({
        {"--crash-at-ply 3", Uci, at_ply(2), "spend 5, answer move", true},
        {"--crash-at-ply 3", Uci, at_ply(3), "crash", true},
        {"--crash-at-ply 3", Cecp, at_ply(UINT32_MAX), "crash", true},
        {all, Standard, at_ply(3), "crash", false},
        {all, Uci, {.ply = 3, .own_time_ms = 9, .thinks = true}, "crash", false},
    });
}

TEST(PlanAnswer, InstantEngineStallsBeforeItsPauseAThinkingOneAfterThinking) {
    expect_plans({
        {"--stall-at-ply 2 --delay-ms 9", Uci, at_ply(1), "spend 9, answer move", true},
        {"--stall-at-ply 2 --delay-ms 9", Uci, at_ply(2), "stall", true},
        {"--stall-at-ply 2 --delay-ms 9",
         Uci,
         {.ply = 2, .own_time_ms = {}, .thinks = true},
         "spend 9, stall",
         true},
        {"--stall-at-ply 0 --flag-at-ply 0", Standard, with_clock(100, true),
         "spend 150 flag, stall", true},
        {"--stall-at-ply 0 --flood-at-ply 0", Standard, at_ply(0), "stall", true},
        // Plain CECP keeps no game of its own to stall in.
        {"--stall-at-ply 0", Cecp, at_ply(0), "spend 5, answer move", true},
    });
}

TEST(PlanAnswer, FlagOverrunsTheOwnTimeSaturating) {
    expect_plans({
        {"--flag-at-ply 0", Uci, with_clock(1000), "spend 1050 flag, answer move", true},
        {"--flag-at-ply 0 --flag-overrun-ms 0", Cecp, with_clock(7), "spend 7 flag, answer move",
         true},
        // Without an own time there is no flag to fall.
        {"--flag-at-ply 0", Uci, at_ply(0), "spend 5, answer move", true},
        {"--flag-at-ply 1", Uci, with_clock(1000), "spend 5, answer move", true},
        {"--flag-at-ply 0 --flag-overrun-ms 18446744073709551615", Uci, with_clock(10),
         "spend 18446744073709551615 flag, answer move", true},
        {"--flag-at-ply 0", Uci, with_clock(Max - 1),
         "spend 18446744073709551615 flag, answer move", true},
    });
}

TEST(PlanAnswer, FloodComesAfterThePauseAndBeforeTheClaim) {
    expect_plans({
        {"--flood-at-ply 4", Uci, at_ply(4), "spend 5, flood, answer move", true},
        {"--flood-at-ply 0 --cecp-claim-at-ply 0 --cecp-claim offer-draw --illegal-at-ply 0",
         Standard, at_ply(0), "spend 5, flood, claim offer-draw, answer illegal", false},
    });
}

TEST(PlanAnswer, ClaimsAreCecpOnlyAndResignOrWinReplaceTheAnswer) {
    expect_plans({
        {"--cecp-claim-at-ply 2", Cecp, at_ply(2), "spend 5, answer resign", false},
        {"--cecp-claim-at-ply 2", Cecp, at_ply(1), "spend 5, answer move", true},
        {"--cecp-claim-at-ply 0", Uci, at_ply(0), "spend 5, answer move", true},
        {"--cecp-claim-at-ply 0 --cecp-claim claim-win", Standard, at_ply(0),
         "spend 5, answer claim-win", false},
        {"--cecp-claim-at-ply 0 --cecp-claim offer-draw", Cecp, at_ply(0),
         "spend 5, claim offer-draw, answer move", true},
        {"--cecp-claim-at-ply 0 --cecp-claim claim-draw", Cecp, at_ply(0),
         "spend 5, claim claim-draw, answer move", true},
        {"--cecp-claim-at-ply 0 --cecp-claim reject-usermove", Cecp, at_ply(0),
         "spend 5, answer move", true},
        // The claim replaces the illegal move and the garble, so noeol-exit never ends it.
        {"--cecp-claim-at-ply 0 --cecp-claim claim-win --illegal-at-ply 0 --garble-at-ply 0 "
         "--garble noeol-exit",
         Standard, at_ply(0), "spend 5, answer claim-win", false},
    });
}

TEST(PlanAnswer, IllegalIsHonouredInUciAndStandardCecpAndBeatsTheGarble) {
    expect_plans({
        {"--illegal-at-ply 1", Uci, at_ply(1), "spend 5, answer illegal", false},
        {"--illegal-at-ply 1", Standard, at_ply(1), "spend 5, answer illegal", false},
        {"--illegal-at-ply 1", Cecp, at_ply(1), "spend 5, answer move", true},
        {"--illegal-at-ply 0 --garble-at-ply 0 --garble noeol-exit", Uci, at_ply(0),
         "spend 5, answer illegal", false},
        {"--illegal-at-ply 0 --garble-at-ply 0 --garble null", Cecp, at_ply(0),
         "spend 5, answer null-move garbled null", false},
    });
}

TEST(PlanAnswer, EachGarbleShapesTheAnswer) {
    expect_plans({
        {"--garble-at-ply 3", Uci, at_ply(2), "spend 5, answer move", true},
        {"--garble-at-ply 3", Uci, at_ply(3), "spend 5, answer bare-word garbled empty", false},
        {"--garble-at-ply 0 --garble null", Cecp, at_ply(0),
         "spend 5, answer null-move garbled null", false},
        {"--garble-at-ply 0 --garble kxr", Uci, at_ply(0), "spend 5, answer move garbled kxr",
         true},
        {"--garble-at-ply 0 --garble trailing", Cecp, at_ply(0),
         "spend 5, answer move garbled trailing", true},
        {"--garble-at-ply 0 --garble noeol", Uci, at_ply(0), "spend 5, answer move garbled noeol",
         true},
        {"--garble-at-ply 0 --garble noeol-exit", Uci, at_ply(0),
         "spend 5, answer move garbled noeol-exit, crash after", true},
    });
}

TEST(PlanAnswer, CrashAfterFollowsAnyAnswer) {
    expect_plans({
        {"--crash-after-ply 5", Uci, at_ply(4), "spend 5, answer move", true},
        {"--crash-after-ply 5", Uci, at_ply(5), "spend 5, answer move, crash after", true},
        {"--crash-after-ply 0 --cecp-claim-at-ply 0", Cecp, at_ply(0),
         "spend 5, answer resign, crash after", false},
        {"--crash-after-ply 0 --illegal-at-ply 0", Standard, at_ply(0),
         "spend 5, answer illegal, crash after", false},
    });
}

TEST(PlanAnswer, KeepsTheFiringClaimAndGarbleForTheWriter) {
    const AnswerPlan resign = plan_answer(faults_of("--cecp-claim-at-ply 0"),
                                          dialect_faults(DialectMode::Cecp), at_ply(0));
    EXPECT_EQ(resign.claim, ClaimKind::Resign);
    EXPECT_EQ(resign.garble, std::nullopt);
    const AnswerPlan garbled = plan_answer(faults_of("--garble-at-ply 0 --garble trailing"),
                                           dialect_faults(DialectMode::Uci), with_clock(10));
    EXPECT_EQ(garbled.claim, std::nullopt);
    EXPECT_EQ(garbled.garble, GarbleKind::Trailing);
    EXPECT_FALSE(garbled.flag_falls);
    EXPECT_EQ(garbled.pause_ms, 5u);
}

}  // namespace
}  // namespace pawnlark
