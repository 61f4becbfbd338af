// pawnlark.exe under Wine beside the Linux binary, as a front end on Linux sees them, the two
// interleaved so both meet the same machine noise: the start-up from the spawn to "uciok"
// (input "uci"), and the "isready" round trip to a running process. Counters: the median of
// each in microseconds and wine_per_linux, the ratio of the medians.
//
// The Windows binary is PAWNLARK_WINDOWS_BINARY, started through PAWNLARK_LAUNCHER; without
// them both benchmarks report an error. scripts/with_wine.sh sets up Wine (a prefix and one
// persistent server, whose start-up the figures leave out) and the launcher:
//   scripts/with_wine.sh build/windows env PAWNLARK_WINDOWS_BINARY=$PWD/build/windows/pawnlark.exe
//       build/test/bench/wine_bench
// The Linux binary is PAWNLARK_BINARY, else the one this build made.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "child_facts.h"
#include "support/child_process.h"

namespace {

using pawnlark::bench::pawnlark_binary;
using pawnlark::bench::report_medians;
using pawnlark::support::ChildProcess;
using pawnlark::support::Clock;

constexpr std::chrono::milliseconds ReplyTimeout{10000};

// The command that starts the engine: a program and the words after it.
struct Command {
    std::string program;
    std::vector<std::string> arguments;
};

std::optional<Command> windows_command() {
    const char* launcher = std::getenv("PAWNLARK_LAUNCHER");
    const char* binary = std::getenv("PAWNLARK_WINDOWS_BINARY");
    if (launcher == nullptr || binary == nullptr || *launcher == '\0' || *binary == '\0') {
        return std::nullopt;
    }
    return Command{launcher, {binary}};
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Reads until the line `last`; false if it did not come.
bool read_until(ChildProcess& engine, std::string_view last) {
    while (const std::optional<std::string> line = engine.read_line(ReplyTimeout)) {
        if (*line == last) return true;
    }
    return false;
}

// Seconds from the spawn to "uciok"; absent without an answer.
std::optional<double> startup_seconds(const Command& command) {
    ChildProcess engine(command.program, command.arguments);
    if (!engine.send("uci") || !read_until(engine, "uciok")) return std::nullopt;
    const double seconds = seconds_since(engine.started());
    static_cast<void>(engine.send("quit"));
    engine.wait_exit(ReplyTimeout);
    return seconds;
}

void bench_wine_startup(benchmark::State& state) {
    const std::optional<Command> windows = windows_command();
    if (!windows) {
        state.SkipWithError("set PAWNLARK_LAUNCHER and PAWNLARK_WINDOWS_BINARY");
        return;
    }
    const Command native_command{pawnlark_binary(), {}};
    std::vector<double> linux_seconds;
    std::vector<double> wine_seconds;
    for (auto _ : state) {
        const std::optional<double> native = startup_seconds(native_command);
        const std::optional<double> emulated = startup_seconds(*windows);
        if (!native || !emulated) {
            state.SkipWithError("no uciok");
            break;
        }
        linux_seconds.push_back(*native);
        wine_seconds.push_back(*emulated);
        state.SetIterationTime(*emulated);
    }
    report_medians(state, "wine_median_us", wine_seconds, "linux_median_us", linux_seconds,
                   "wine_per_linux", 1e6);
}
BENCHMARK(bench_wine_startup)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

// Seconds for one "isready" answered; absent without an answer.
std::optional<double> ready_seconds(ChildProcess& engine) {
    const Clock::time_point start = Clock::now();
    if (!engine.send("isready") || !read_until(engine, "readyok")) return std::nullopt;
    return seconds_since(start);
}

void bench_wine_isready(benchmark::State& state) {
    const std::optional<Command> windows = windows_command();
    if (!windows) {
        state.SkipWithError("set PAWNLARK_LAUNCHER and PAWNLARK_WINDOWS_BINARY");
        return;
    }
    ChildProcess native(pawnlark_binary(), {});
    ChildProcess emulated(windows->program, windows->arguments);
    // One of each before timing: both processes have started.
    if (!ready_seconds(native) || !ready_seconds(emulated)) {
        state.SkipWithError("no readyok");
        return;
    }
    std::vector<double> linux_seconds;
    std::vector<double> wine_seconds;
    for (auto _ : state) {
        const std::optional<double> linux_round = ready_seconds(native);
        const std::optional<double> wine_round = ready_seconds(emulated);
        if (!linux_round || !wine_round) {
            state.SkipWithError("no readyok");
            break;
        }
        linux_seconds.push_back(*linux_round);
        wine_seconds.push_back(*wine_round);
        state.SetIterationTime(*wine_round);
    }
    report_medians(state, "wine_median_us", wine_seconds, "linux_median_us", linux_seconds,
                   "wine_per_linux", 1e6);
}
BENCHMARK(bench_wine_isready)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace
