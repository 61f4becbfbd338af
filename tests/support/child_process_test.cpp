// The child-process library against small system programs: what a child inherits, what the
// spawner sees of it, and that nothing it starts outlives a kill.

#include "support/child_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pawnlark::support {
namespace {

using std::chrono::milliseconds;

ProcessRun shell(const std::string& script) {
    ProcessRun run;
    run.program = "/bin/sh";
    run.arguments = {"-c", script};
    return run;
}

TEST(RunProcess, FeedsInputWhileCollectingOutput) {
    // Far more than a pipe holds either way: a runner that writes all before reading deadlocks.
    ProcessRun run;
    run.program = "/bin/cat";
    for (int line = 0; run.input.size() < (4 << 20); ++line) {
        run.input += std::to_string(line) + "\n";
    }
    const ProcessResult result = run_process(run);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.out == run.input) << result.out.size() << " bytes out";
}

TEST(RunProcess, ChildDiesOfSigpipeThoughTheSpawnerIgnoresIt) {
    ProcessRun run = shell("echo lost; exit 7");
    run.stdout_target = StreamTarget::ClosedPipe;
    const ProcessResult result = run_process(run);
    EXPECT_EQ(result.signal, SIGPIPE) << "status " << result.exit_code.value_or(-1);
}

TEST(RunProcess, KillsAtTheTimeoutAndKeepsWhatWasWritten) {
    ProcessRun run = shell("echo early; exec sleep 30");
    run.timeout = milliseconds(300);
    const ProcessResult result = run_process(run);
    EXPECT_TRUE(result.timed_out);
    EXPECT_EQ(result.signal, SIGKILL);
    EXPECT_EQ(result.out, "early\n");
    EXPECT_LT(result.elapsed, std::chrono::seconds(10));
}

TEST(ChildProcess, EnvironmentEntriesAddToAndReplaceInherited) {
    SpawnOptions options;
    options.environment = {"PATH=/replaced", "CHILD_PROCESS_MARK=7"};
    ChildProcess child("/bin/sh", {"-c", "echo \"$PATH $CHILD_PROCESS_MARK ${HOME:+home}\""},
                       options);
    // HOME stands for any inherited variable; a test runner without one proves nothing here.
    const std::string inherited = std::getenv("HOME") != nullptr ? " home" : "";
    EXPECT_EQ(child.read_line(milliseconds(5000)), "/replaced 7" + inherited);
}

TEST(ChildProcess, ReadsLinesThenTheUnterminatedLastOne) {
    ChildProcess child("/bin/sh", {"-c", "printf 'one\\ntwo'"});
    EXPECT_EQ(child.read_line(milliseconds(5000)), "one");
    EXPECT_EQ(child.read_line(milliseconds(5000)), "two");
    EXPECT_EQ(child.read_line(milliseconds(5000)), std::nullopt);
    EXPECT_TRUE(child.output_ended());
    const std::optional<ChildExit> exit = child.wait_exit(milliseconds(5000));
    ASSERT_TRUE(exit.has_value());
    EXPECT_EQ(exit->exit_code, 0);
}

TEST(ChildProcess, PeakResidentSetIsTheChildsOwn) {
    // wait4's ru_maxrss would start from this process's size at the fork, ballast included.
    const std::vector<char> ballast(128 << 20, 1);
    ChildProcess child("/bin/cat", {});
    // An answer proves the exec is done: before it the child still maps the ballast.
    ASSERT_TRUE(child.send("ping"));
    ASSERT_EQ(child.read_line(milliseconds(5000)), "ping");
    const std::optional<long> peak = child.peak_rss_kib();
    ASSERT_TRUE(peak.has_value());
    EXPECT_GT(*peak, 0);
    EXPECT_LT(*peak, static_cast<long>(ballast.size() / 1024 / 4));
    child.close_input();
    ASSERT_TRUE(child.wait_exit(milliseconds(5000)).has_value());
    // Reaped, its pid may be anyone's.
    EXPECT_EQ(child.peak_rss_kib(), std::nullopt);
}

// A process that has ended: gone, or a zombie waiting for its new parent.
bool ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t name_end = text.rfind(')');
    return name_end == std::string::npos || text.compare(name_end, 3, ") Z") == 0;
}

TEST(ChildProcess, KillGroupEndsWhatTheChildStarted) {
    const ChildProcess plain("/bin/cat", {});
    EXPECT_EQ(::getpgid(plain.pid()), ::getpgrp());

    SpawnOptions options;
    options.new_process_group = true;
    ChildProcess child("/bin/sh", {"-c", "sleep 30 & echo $!; wait"}, options);
    const std::optional<std::string> line = child.read_line(milliseconds(5000));
    ASSERT_TRUE(line.has_value());
    const pid_t grandchild = std::stoi(*line);
    EXPECT_EQ(::getpgid(child.pid()), child.pid());
    EXPECT_EQ(::getpgid(grandchild), child.pid());

    EXPECT_EQ(child.kill_group().signal, SIGKILL);
    for (int wait = 0; wait < 500 && !ended(grandchild); ++wait) {
        std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_TRUE(ended(grandchild));
}

}  // namespace
}  // namespace pawnlark::support
