// The stall and the delay as a front end meets them: a live process whose silence, processor
// use and timing are watched from outside.

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <thread>

#include "app/os/system.h"
#include "engine.h"
#include "support/child_process.h"

namespace pawnlark {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(StallProcess, SilentAndIdleUntilKilled) {
    support::ChildProcess engine = e2e::start_engine({"--stall-at-ply", "1"});
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go"));
    ASSERT_TRUE(engine.send("isready"));

    // Input stays open, so only the stall can keep "isready" unanswered. The processor time
    // is compared across the last second, after start-up (longer under sanitizers) is over.
    EXPECT_EQ(engine.read_line(milliseconds(200)), std::nullopt);
    const std::chrono::microseconds stalled_from = engine.cpu_time();
    EXPECT_EQ(engine.read_line(milliseconds(1000)), std::nullopt);
    EXPECT_FALSE(engine.output_ended());
    EXPECT_FALSE(engine.wait_exit(milliseconds(0)).has_value()) << "the stall ended the process";
    EXPECT_LT(engine.cpu_time() - stalled_from, milliseconds(50)) << "while stalled";

    const support::ChildExit exit = engine.kill();
    EXPECT_EQ(exit.signal, SIGKILL);
    EXPECT_LT(exit.cpu_time - stalled_from, milliseconds(50)) << "to the kill, exact";
}

TEST(DelayProcess, SignalsDuringThePauseDoNotShortenIt) {
    support::ChildProcess engine = e2e::start_engine({"--delay-ms", "300"});
    ASSERT_TRUE(engine.send("position startpos"));
    const Clock::time_point sent = Clock::now();
    ASSERT_TRUE(engine.send("go"));
    ASSERT_TRUE(engine.send("isready"));

    // Ignored by default, these wake nothing; a stop and continue makes Linux restart the
    // sleep. Either way the pause must run its whole length on the monotonic clock.
    for (const int signal : {SIGWINCH, SIGCHLD, SIGWINCH, SIGCHLD}) {
        std::this_thread::sleep_for(milliseconds(30));
        ASSERT_EQ(::kill(engine.pid(), signal), 0);
    }
    ASSERT_EQ(::kill(engine.pid(), SIGSTOP), 0);
    std::this_thread::sleep_for(milliseconds(40));
    ASSERT_EQ(::kill(engine.pid(), SIGCONT), 0);

    EXPECT_EQ(engine.read_line(milliseconds(5000)),
              "info depth 1 score cp 25 nodes 20 time 300 pv c2c3");
    EXPECT_EQ(engine.read_line(milliseconds(5000)), "bestmove c2c3");
    EXPECT_GE(Clock::now() - sent, milliseconds(300));
    // Input waits in the pipe during the pause and is answered after it, in order.
    EXPECT_EQ(engine.read_line(milliseconds(5000)), "readyok");
    engine.close_input();
    const std::optional<support::ChildExit> exit = engine.wait_exit(milliseconds(5000));
    ASSERT_TRUE(exit.has_value());
    EXPECT_EQ(exit->exit_code, 0);
}

std::atomic<int> interruptions{0};

extern "C" void count_interruption(int) { interruptions.fetch_add(1); }

// No signal from outside reaches the resume path in the process: pawnlark installs no
// handlers, and Linux restarts a sleep itself after an ignored signal or a stop. So the pause
// is run here, under a handler installed without SA_RESTART, where each signal makes
// clock_nanosleep return EINTR with the time still owed.
TEST(DelayInterrupted, ResumesWithTheTimeLeft) {
    if (e2e::behind_launcher()) {
        GTEST_SKIP() << "the pause of this Linux process, not of the engine behind the launcher";
    }
    struct sigaction action {};
    action.sa_handler = count_interruption;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    interruptions = 0;

    const pthread_t sleeper = ::pthread_self();
    std::thread interrupter([sleeper] {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(milliseconds(100));
            ::pthread_kill(sleeper, SIGUSR1);
        }
    });
    const Clock::time_point start = Clock::now();
    RealSystem().sleep_ms(600);
    const Clock::duration slept = Clock::now() - start;
    interrupter.join();
    ::sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_GE(interruptions.load(), 4);
    EXPECT_GE(slept, milliseconds(600));
    // Starting over with the full time after the last signal (at 500 ms) would take 1100 ms.
    EXPECT_LT(slept, milliseconds(1000));
}

}  // namespace
}  // namespace pawnlark
