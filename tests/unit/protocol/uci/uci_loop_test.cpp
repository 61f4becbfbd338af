#include "app/protocol/uci/uci_loop.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/io/input.h"
#include "sessions.h"

namespace pawnlark {
namespace {

using Lines = std::vector<std::string>;

using UciLoopTest = test::UciSessionTest;

TEST_F(UciLoopTest, UciAnswersTheHandshakeWithTheName) {
    settings.name = "Bob the engine";
    EXPECT_EQ(send("uci"), LoopControl::Continue);
    EXPECT_EQ(out.lines, (Lines{"id name Bob the engine", "id author Velloran project",
                                "option name UCI_Chess960 type check default false", "uciok"}));
}

TEST_F(UciLoopTest, EmptyNameLeavesTheSpaceAfterName) {
    settings.name = "";
    static_cast<void>(send("uci"));
    ASSERT_FALSE(out.lines.empty());
    EXPECT_EQ(out.lines[0], "id name ");
}

TEST_F(UciLoopTest, IsreadyIsAnsweredWhateverTheSurroundingWhiteSpace) {
    static_cast<void>(send("  isready \t"));
    static_cast<void>(send("isready\r"));
    static_cast<void>(
        send("\xe3\x80\x80isready\xc2\xa0"
             "extra"));
    EXPECT_EQ(out.lines, (Lines{"readyok", "readyok", "readyok"}));
}

TEST_F(UciLoopTest, WrongCaseUnknownAndBlankLinesAreIgnored) {
    for (const std::string_view line :
         {"Uci", "ISREADY", "Quit", "debug on", "register later", "xboard", "", "   ", "uciok"}) {
        EXPECT_EQ(send(line), LoopControl::Continue) << line;
    }
    EXPECT_TRUE(out.lines.empty());
}

TEST_F(UciLoopTest, QuitEndsTheLoopSilently) {
    EXPECT_EQ(send("quit"), LoopControl::Quit);
    EXPECT_EQ(send("quit now"), LoopControl::Quit);
    EXPECT_TRUE(out.lines.empty());
}

TEST_F(UciLoopTest, SetoptionSwitchesChess960ByTextsAnywhereInTheLine) {
    static_cast<void>(send("setoption name UCI_Chess960 value true"));
    EXPECT_TRUE(session.state.chess960);
    // Any other option leaves the mode alone, even when it says true.
    static_cast<void>(send("setoption name Ponder value true"));
    EXPECT_TRUE(session.state.chess960);
    static_cast<void>(send("setoption name UCI_Chess960 value True"));
    EXPECT_FALSE(session.state.chess960);
    static_cast<void>(send("setoption value untrue UCI_Chess960"));
    EXPECT_TRUE(session.state.chess960);
    static_cast<void>(send("setoption name uci_chess960 value false"));
    EXPECT_TRUE(session.state.chess960);
    EXPECT_TRUE(out.lines.empty());
}

TEST_F(UciLoopTest, UciReportsDefaultFalseWhileChess960IsOn) {
    static_cast<void>(send("setoption name UCI_Chess960 value true"));
    static_cast<void>(send("uci"));
    ASSERT_EQ(out.lines.size(), 4u);
    EXPECT_EQ(out.lines[2], "option name UCI_Chess960 type check default false");
}

TEST_F(UciLoopTest, RunStopsAtQuitAndLeavesTheRestUnread) {
    std::istringstream in("uci\nquit\nisready\n");
    PlainInput input(in);
    run_uci(session, input);
    EXPECT_EQ(out.lines.back(), "uciok");
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "isready");
}

}  // namespace
}  // namespace pawnlark
