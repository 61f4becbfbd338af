// Golden outputs: long fixed-seed sessions whose output must not change by a single byte,
// whatever the compiler, the build type or the sanitizers. Every build that runs the tests runs
// these against its own binary; PAWNLARK_BINARY in the environment points them at another one
// (the static release binary, say), and PAWNLARK_LAUNCHER starts it through a launcher (Wine's
// loader for pawnlark.exe): the bytes must be the same on every system.
//
// Each session in golden/ is a set of files sharing a name:
//   NAME.args  the arguments, one per line (an empty line is an empty argument)
//   NAME.in    standard input, sent whole, then closed
//   NAME.out   the expected standard output, byte for byte
//   NAME.exit  the expected exit status, when it is not 0
// Standard error must stay empty. A changed .out file is its own commit that says why the
// output changed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine.h"
#include "support/child_process.h"

namespace pawnlark {
namespace {

const std::filesystem::path GoldenDir = std::filesystem::path(E2E_TRANSCRIPT_DIR) / "golden";

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> golden_names() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(GoldenDir)) {
        if (entry.path().extension() == ".in") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, OutputIsUnchanged) {
    const std::filesystem::path base = GoldenDir / GetParam();
    std::vector<std::string> arguments;
    std::istringstream argument_lines(read_file(base.string() + ".args"));
    for (std::string argument; std::getline(argument_lines, argument);) {
        arguments.push_back(argument);
    }
    support::ProcessRun run = e2e::engine_run(arguments, read_file(base.string() + ".in"));
    run.timeout = std::chrono::milliseconds(60000);
    int expected_exit = 0;
    if (std::filesystem::exists(base.string() + ".exit")) {
        expected_exit = std::atoi(read_file(base.string() + ".exit").c_str());
    }

    const support::ProcessResult result = e2e::run_engine(run);
    ASSERT_FALSE(result.timed_out);
    EXPECT_EQ(result.exit_code, expected_exit);
    EXPECT_EQ(result.err, "");
    support::ProcessResult expected_result;
    expected_result.out = read_file(base.string() + ".out");
    const std::vector<std::string> expected = expected_result.out_lines();
    const std::vector<std::string> actual = result.out_lines();
    // The first differing line says more than two whole outputs.
    const auto [mismatch, unused] =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const auto line = mismatch - expected.begin();
    EXPECT_EQ(result.out, expected_result.out)
        << "first difference at line " << line + 1 << ": expected \""
        << (mismatch == expected.end() ? std::string("(end)") : *mismatch) << "\", got \""
        << (static_cast<std::size_t>(line) < actual.size() ? actual[line] : std::string("(end)"))
        << "\"";
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTest, ::testing::ValuesIn(golden_names()),
                         [](const ::testing::TestParamInfo<std::string>& name) {
                             return name.param;
                         });

}  // namespace
}  // namespace pawnlark
