// A thinking engine as a front end meets it mid-search: readiness answered at once, "stop",
// "ponderhit" and "quit" acting during the search, CECP analysis with its status line.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "engine.h"
#include "support/child_process.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

using std::chrono::milliseconds;

// The next line that starts with `prefix`, skipping others; absent when none comes in time.
std::optional<std::string> line_starting(support::ChildProcess& engine, std::string_view prefix,
                                         milliseconds timeout = milliseconds(5000)) {
    while (auto line = engine.read_line(timeout)) {
        if (line->starts_with(prefix)) return line;
    }
    return std::nullopt;
}

TEST(ThinkProcess, ReadyAndStopAnsweredDuringAnEndlessSearch) {
    support::ChildProcess engine = e2e::start_engine({"--think"});
    ASSERT_TRUE(engine.send("position startpos moves e2e4"));
    ASSERT_TRUE(engine.send("go infinite"));
    ASSERT_TRUE(line_starting(engine, "info depth 3"));
    ASSERT_TRUE(engine.send("isready"));
    EXPECT_EQ(line_starting(engine, "readyok", milliseconds(2000)), "readyok");
    // A command that is not about the search waits for its end.
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("stop"));
    EXPECT_EQ(line_starting(engine, "bestmove"), "bestmove c7c5");
    // The deferred position was read: White moves, with the next draws of the generator.
    ASSERT_TRUE(engine.send("go depth 1"));
    EXPECT_EQ(line_starting(engine, "bestmove"), "bestmove a2a4");
}

// Depths that leave together are not lost to an early "stop": every depth due by then is
// printed, and the closing line is the deepest.
TEST(ThinkProcess, StopPrintsTheDepthsDueByThen) {
    support::ChildProcess engine = e2e::start_engine({"--think"});
    ASSERT_TRUE(engine.send("go infinite"));
    ASSERT_TRUE(line_starting(engine, "info depth 1"));
    std::this_thread::sleep_for(milliseconds(150));
    ASSERT_TRUE(engine.send("stop"));
    std::string last_info;
    while (auto line = engine.read_line(milliseconds(5000))) {
        if (line->starts_with("bestmove")) break;
        if (line->starts_with("info depth")) last_info = *line;
    }
    ASSERT_FALSE(last_info.empty());
    // With the default seed, depth 8 of this search is due at 107 ms.
    const auto depth = std::stoi(last_info.substr(std::string_view("info depth ").size()));
    EXPECT_GE(depth, 8) << last_info;
}

TEST(ThinkProcess, PonderhitThinksOnTheClockAndQuitEndsAtOnce) {
    support::ChildProcess engine = e2e::start_engine({"--think", "--ponder"});
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go ponder wtime 2000 btime 2000"));
    // Pondering has no end of its own.
    EXPECT_EQ(line_starting(engine, "bestmove", milliseconds(400)), std::nullopt);
    ASSERT_TRUE(engine.send("ponderhit"));
    const auto answer = line_starting(engine, "bestmove", milliseconds(2000));
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->starts_with("bestmove c2c3 ponder ")) << *answer;
    ASSERT_TRUE(engine.send("go infinite"));
    ASSERT_TRUE(line_starting(engine, "info depth 1"));
    ASSERT_TRUE(engine.send("quit"));
    const auto exit = engine.wait_exit(milliseconds(2000));
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->exit_code, 0);
    EXPECT_EQ(line_starting(engine, "bestmove", milliseconds(100)), std::nullopt);
}

TEST(ThinkProcess, CecpAnalysisRestartsOnMovesAndEndsAtExit) {
    support::ChildProcess engine = e2e::start_engine({"--proto", "cecp", "--think"});
    for (const char* line : {"protover 2", "new", "post", "analyze"})
        ASSERT_TRUE(engine.send(line));
    ASSERT_TRUE(line_starting(engine, "3 "));
    ASSERT_TRUE(engine.send("."));
    EXPECT_TRUE(line_starting(engine, "stat01: "));
    ASSERT_TRUE(engine.send("usermove e2e4"));
    // Analysis of the new position starts again from depth 1, with Black's moves.
    const auto restarted = line_starting(engine, "1 ");
    ASSERT_TRUE(restarted);
    ASSERT_TRUE(engine.send("exit"));
    ASSERT_TRUE(engine.send("ping 7"));
    EXPECT_EQ(line_starting(engine, "pong"), "pong 7");
    // Out of analysis nothing more is printed until asked.
    EXPECT_EQ(engine.read_line(milliseconds(300)), std::nullopt);
}

// Regression: after a command deferred mid-analysis (here "hard"), a move restarted the
// analysis on the old position, and the end of input no longer ended the process.
TEST(ThinkProcess, CecpAnalysisCarriesOutDeferredCommandsThenFollowsTheMove) {
    support::ChildProcess engine = e2e::start_engine({"--proto", "cecp", "--think"});
    for (const char* line : {"xboard", "protover 2", "post", "force", "analyze"})
        ASSERT_TRUE(engine.send(line));
    ASSERT_TRUE(line_starting(engine, "1 "));
    std::this_thread::sleep_for(milliseconds(200));
    ASSERT_TRUE(engine.send("hard"));
    std::this_thread::sleep_for(milliseconds(300));
    ASSERT_TRUE(engine.send("usermove e2e4"));
    // The analysis starts again at depth 1, on the position after the move: "ply score time
    // nodes" and then Black's first move.
    const auto restarted = line_starting(engine, "1 ");
    ASSERT_TRUE(restarted);
    const auto words = velloran::Words(*restarted);
    auto move = words.begin();
    for (int skip = 0; skip < 4 && move != words.end(); ++skip) ++move;
    ASSERT_NE(move, words.end()) << *restarted;
    EXPECT_TRUE((*move).ends_with('5') || (*move).ends_with('6')) << *restarted;
    ASSERT_TRUE(engine.send("exit"));
    ASSERT_TRUE(engine.send("quit"));
    const auto exit = engine.wait_exit(milliseconds(3000));
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->exit_code, 0);
}

TEST(ThinkProcess, CecpAnalysisEndsAtEndOfInputAfterADeferredCommand) {
    support::ChildProcess engine = e2e::start_engine({"--proto", "cecp", "--think"});
    for (const char* line : {"xboard", "protover 2", "post", "force", "analyze"})
        ASSERT_TRUE(engine.send(line));
    std::this_thread::sleep_for(milliseconds(200));
    ASSERT_TRUE(engine.send("hard"));
    std::this_thread::sleep_for(milliseconds(300));
    engine.close_input();
    while (engine.read_line(milliseconds(3000))) {
    }
    const auto exit = engine.wait_exit(milliseconds(3000));
    ASSERT_TRUE(exit) << "still analysing after the end of input";
    EXPECT_EQ(exit->exit_code, 0);
}

// What xboard sends as a user changes the engine's settings during Analysis Mode, makes a
// move, starts a new game and plays it in Machine Black mode, moving the engine at once.
TEST(ThinkProcess, XboardAnalysisSettingsNewGameAndMoveNow) {
    support::ChildProcess engine =
        e2e::start_engine({"--proto", "cecp", "--think", "--cecp-standard", "--options", "full"});
    for (const char* line :
         {"xboard", "protover 2", "accepted usermove", "new", "post", "force", "analyze"})
        ASSERT_TRUE(engine.send(line));
    ASSERT_TRUE(line_starting(engine, "1 "));
    for (const char* line : {"option MultiPV=2", "option Noise=10", "usermove e2e4"})
        ASSERT_TRUE(engine.send(line));
    ASSERT_TRUE(engine.send("exit"));
    for (const char* line :
         {"new", "level 40 5 0", "post", "hard", "time 30000", "otim 30000", "usermove d2d4"})
        ASSERT_TRUE(engine.send(line));
    std::this_thread::sleep_for(milliseconds(300));
    ASSERT_TRUE(engine.send("?"));
    const auto answer = line_starting(engine, "move ", milliseconds(1000));
    ASSERT_TRUE(answer) << "no move at ?";
    const std::string_view reply = std::string_view(*answer).substr(5);
    EXPECT_TRUE(reply.ends_with('5') || reply.ends_with('6')) << *answer;
    ASSERT_TRUE(engine.send("quit"));
    const auto exit = engine.wait_exit(milliseconds(2000));
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->exit_code, 0);
}

}  // namespace
}  // namespace pawnlark
