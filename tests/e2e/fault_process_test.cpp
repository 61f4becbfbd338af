// Faults whose bytes or timing a transcript cannot express: answers without a final line feed,
// and pauses measured on the clock.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine.h"
#include "support/child_process.h"

namespace pawnlark {
namespace {

using std::chrono::milliseconds;

support::ProcessResult run(std::vector<std::string> arguments, std::string input) {
    return e2e::run_engine(e2e::engine_run(std::move(arguments), std::move(input)));
}

TEST(GarbleNoEol, LastLineLacksItsLineFeedAndTheEngineReadsOn) {
    const auto result = run({"--garble-at-ply", "1", "--garble", "noeol", "--delay-ms", "0"},
                            "position startpos\ngo\nisready\n");
    EXPECT_EQ(result.out,
              "info depth 1 score cp 25 nodes 20 time 0 pv c2c3\nbestmove c2c3readyok\n");
    EXPECT_EQ(result.exit_code, 0);
}

TEST(GarbleNoEol, ExitVariantEndsWithStatusThree) {
    const auto result = run(
        {"--proto", "cecp", "--garble-at-ply", "1", "--garble", "noeol-exit", "--delay-ms", "0"},
        "go\nping 1\n");
    EXPECT_EQ(result.out, "1 25 1 20 c2c3\nmove c2c3");
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.err, "");
}

TEST(QuitDelay, WaitsBeforeEndingNormally) {
    const auto result = run({"--quit-delay-ms", "300"}, "quit\n");
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_GE(result.elapsed, milliseconds(300));
}

TEST(CecpFlag, SleepsTenTimesTheLastTimePlusTheOverrun) {
    // time 20 is 200 ms of own clock; the overrun makes it 250 ms.
    const auto result = run({"--proto", "cecp", "--flag-at-ply", "1", "--delay-ms", "0"},
                            "new\ntime 20\notim 20\ngo\n");
    EXPECT_EQ(result.out, "1 25 1 20 c2c3\nmove c2c3\n");
    EXPECT_GE(result.elapsed, milliseconds(250));
    // After new the last time is forgotten: no own time, no flag.
    const auto after_new =
        run({"--proto", "cecp", "--flag-at-ply", "1", "--delay-ms", "0"}, "time 100000\nnew\ngo\n");
    EXPECT_LT(after_new.elapsed, milliseconds(5000));
}

// Chaos says on standard error what it fires, before the fault acts, and adds nothing to the
// replies: here a crash after the answer at the first request, and no-ready at the handshake.
TEST(Chaos, AnnouncesEachFaultOnStandardErrorOnly) {
    const auto result = run(
        {"--chaos", "1000", "--chaos-faults", "crash-after,handshake-no-ready", "--delay-ms", "0"},
        "uci\nisready\nposition startpos\ngo\nisready\n");
    EXPECT_EQ(result.err,
              "pawnlark: chaos: handshake-no-ready at ply 0\n"
              "pawnlark: chaos: crash-after at ply 1\n");
    EXPECT_EQ(result.out,
              "id name pawnlark\nid author Velloran project\n"
              "option name UCI_Chess960 type check default false\nuciok\n"
              "info depth 1 score cp 25 nodes 20 time 0 pv c2c3\nbestmove c2c3\n");
    EXPECT_EQ(result.exit_code, 3);
}

}  // namespace
}  // namespace pawnlark
