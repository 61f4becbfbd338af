// Runs of the binary that a transcript cannot express: failing output, huge lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine.h"
#include "support/child_process.h"

namespace pawnlark {
namespace {

using e2e::engine_run;
using e2e::run_engine;

class OutputFailureTest : public ::testing::TestWithParam<support::StreamTarget> {};

TEST_P(OutputFailureTest, FirstFailedReplyEndsWithStatus101AndADiagnostic) {
    for (const auto& [arguments, input] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{}, "uci\nisready\nquit\n"},
             {{"bench"}, ""},
         }) {
        support::ProcessRun run = engine_run(arguments, input);
        run.stdout_target = GetParam();
        const support::ProcessResult result = run_engine(run);
        EXPECT_EQ(result.exit_code, 101) << "signal " << result.signal.value_or(0);
        EXPECT_TRUE(result.err.starts_with("failed printing to stdout: ")) << result.err;
        EXPECT_TRUE(result.err.ends_with("\n")) << result.err;
    }
}

TEST_P(OutputFailureTest, RunWithoutRepliesEndsNormally) {
    support::ProcessRun run = engine_run({}, "setoption name UCI_Chess960 value true\nquit\n");
    run.stdout_target = GetParam();
    const support::ProcessResult result = run_engine(run);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.err, "");
}

INSTANTIATE_TEST_SUITE_P(Targets, OutputFailureTest,
                         ::testing::Values(support::StreamTarget::DevFull,
                                           support::StreamTarget::ClosedPipe),
                         [](const auto& param_info) {
                             return param_info.param == support::StreamTarget::DevFull
                                        ? "DevFull"
                                        : "ClosedPipe";
                         });

TEST(OutputFailure, DiagnosticNamesTheSystemError) {
    support::ProcessRun run = engine_run({"bench"}, "");
    run.stdout_target = support::StreamTarget::DevFull;
    EXPECT_EQ(run_engine(run).err, "failed printing to stdout: No space left on device\n");
    run.stdout_target = support::StreamTarget::ClosedPipe;
    EXPECT_EQ(run_engine(run).err, "failed printing to stdout: Broken pipe\n");
}

TEST(LongLines, ManyMegabyteLinesAreReadWhole) {
    // A 4 MiB token followed by a command on the same line must not split into two commands.
    const std::string huge(4 << 20, 'u');
    const support::ProcessResult result =
        run_engine(engine_run({}, huge + " isready\n" + huge + "\nisready\n"));
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "readyok\n");
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace pawnlark
