#include "app/protocol/command_loop.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/io/input.h"
#include "recording.h"

namespace pawnlark {
namespace {

// Answers each line with the control named by its first word and records the words seen.
struct ScriptedHandler {
    std::vector<std::string> seen;

    LoopControl operator()(const Command& command) {
        seen.emplace_back(command.word());
        if (command.word() == "crash") {
            return LoopControl::Crash;
        }
        if (command.word() == "stall") {
            return LoopControl::Stall;
        }
        return command.word() == "quit" ? LoopControl::Quit : LoopControl::Continue;
    }
};

test::SystemHalt halt_of(const std::string& input, ScriptedHandler& handler) {
    std::istringstream in(input);
    PlainInput lines(in);
    test::RecordingSystem system;
    try {
        run_command_loop(lines, system, std::ref(handler));
    } catch (const test::SystemHalt& halt) {
        return halt;
    }
    ADD_FAILURE() << "the loop returned";
    return {};
}

TEST(RunCommandLoop, CrashEndsTheProcessWithStatus3AtOnce) {
    ScriptedHandler handler;
    const test::SystemHalt halt = halt_of("a\ncrash\nb\n", handler);
    EXPECT_EQ(halt.kind, test::SystemHalt::Kind::Exit);
    EXPECT_EQ(halt.status, ExitStatus::Crash);
    EXPECT_EQ(handler.seen, (std::vector<std::string>{"a", "crash"}));
}

TEST(RunCommandLoop, StallStopsReading) {
    ScriptedHandler handler;
    EXPECT_EQ(halt_of("stall\nquit\n", handler).kind, test::SystemHalt::Kind::Stall);
    EXPECT_EQ(handler.seen, std::vector<std::string>{"stall"});
}

TEST(RunCommandLoop, BlankLinesStillReachTheHandlerAsEmptyCommands) {
    ScriptedHandler handler;
    std::istringstream in(" \n\t\nquit\nnever\n");
    PlainInput input(in);
    test::RecordingSystem system;
    run_command_loop(input, system, std::ref(handler));
    EXPECT_EQ(handler.seen, (std::vector<std::string>{"", "", "quit"}));
}

}  // namespace
}  // namespace pawnlark
