// A thinking engine as many front ends run it: how much processor time a crowd of engines
// thinking at once costs, and how fast "stop" gets its answer.
//
// bench_think_crowd/N: N engines with --think, each on "go movetime 1000" at the same time;
// counters: the processor time of all of them during the search as a share of one core
// (percent_of_core), and that time itself.
// bench_stop_to_bestmove: "go infinite", then "stop" once the analysis has begun; the time
// until "bestmove", median in microseconds.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "child_facts.h"
#include "support/child_process.h"

namespace {

using pawnlark::bench::pawnlark_binary;
using pawnlark::support::ChildProcess;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool read_until(ChildProcess& engine, std::string_view prefix, milliseconds timeout) {
    while (const std::optional<std::string> line = engine.read_line(timeout)) {
        if (line->starts_with(prefix)) return true;
    }
    return false;
}

// --think, and --think-interval-ms from the environment variable THINK_INTERVAL_MS when set,
// to see what each depth's wake-up costs.
std::vector<std::string> think_arguments() {
    std::vector<std::string> arguments{"--think"};
    if (const char* interval = std::getenv("THINK_INTERVAL_MS")) {
        arguments.insert(arguments.end(), {"--think-interval-ms", interval});
    }
    return arguments;
}

// Nanoseconds the process has run on a processor, all its threads, exactly (schedstat);
// the tick-rounded times of /proc/<pid>/stat cannot see a millisecond.
std::uint64_t run_ns(pid_t pid) {
    std::uint64_t total = 0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        std::uint64_t ns = 0;
        if (schedstat >> ns) total += ns;
    }
    return total;
}

// N engines with --think, each answering "isready" and a short first search (so the code has
// run once), then "go movetime 1000" sent to all at once: the processor time of that search
// in all of them, as a share of one core over the time to the last bestmove.
void bench_think_crowd(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        std::vector<std::unique_ptr<ChildProcess>> engines;
        for (std::size_t i = 0; i < count; ++i) {
            engines.push_back(std::make_unique<ChildProcess>(pawnlark_binary(), think_arguments()));
            engines.back()->send("go depth 1");
        }
        for (auto& engine : engines) {
            if (!read_until(*engine, "bestmove", milliseconds(10000))) {
                state.SkipWithError("an engine did not answer");
                return;
            }
        }
        std::uint64_t before_ns = 0;
        for (auto& engine : engines) before_ns += run_ns(engine->pid());
        const Clock::time_point start = Clock::now();
        for (auto& engine : engines) engine->send("go movetime 1000");
        for (auto& engine : engines) {
            if (!read_until(*engine, "bestmove", milliseconds(10000))) {
                state.SkipWithError("no bestmove");
                return;
            }
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        std::uint64_t after_ns = 0;
        for (auto& engine : engines) after_ns += run_ns(engine->pid());
        const double cpu = static_cast<double>(after_ns - before_ns) * 1e-9;
        state.SetIterationTime(wall);
        state.counters["percent_of_core"] = 100.0 * cpu / wall;
        state.counters["search_cpu_ms"] = cpu * 1e3;
    }
}
BENCHMARK(bench_think_crowd)
    ->Arg(1)
    ->Arg(20)
    ->Arg(200)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void bench_stop_to_bestmove(benchmark::State& state) {
    ChildProcess engine(pawnlark_binary(), {"--think"});
    std::vector<double> seconds;
    for (auto _ : state) {
        engine.send("position startpos");
        engine.send("go infinite");
        if (!read_until(engine, "info depth 2", milliseconds(10000))) {
            state.SkipWithError("no analysis");
            return;
        }
        const Clock::time_point start = Clock::now();
        engine.send("stop");
        if (!read_until(engine, "bestmove", milliseconds(10000))) {
            state.SkipWithError("no bestmove");
            return;
        }
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        state.SetIterationTime(seconds.back());
    }
    state.counters["median_us"] = pawnlark::bench::median(seconds) * 1e6;
}
BENCHMARK(bench_stop_to_bestmove)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
