// A thinking engine as many front ends run it: how much processor time a crowd of engines
// thinking at once costs, and how fast "stop" gets its answer.
//
// bench_think_crowd/N: N engines with --think, each on "go movetime 1000" at the same time;
// counters: the processor time of all of them during the search as a share of one core
// (percent_of_core), that time itself, and the times each engine was put on a processor
// (wakes_per_engine), which is what the time grows with.
// bench_plain_crowd/N: the same for engines without --think (--delay-ms 1000), side by side:
// the floor any engine that sleeps through the second pays on this machine.
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

struct RunFacts {
    std::uint64_t ns = 0;     // time on a processor
    std::uint64_t wakes = 0;  // times put on a processor

    RunFacts& operator+=(const RunFacts& other) {
        ns += other.ns;
        wakes += other.wakes;
        return *this;
    }
};

// What the process's threads have run, exactly (schedstat); the tick-rounded times of
// /proc/<pid>/stat cannot see a millisecond.
RunFacts run_facts(pid_t pid) {
    RunFacts total;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        RunFacts task_facts;
        std::uint64_t waited_ns = 0;
        if (schedstat >> task_facts.ns >> waited_ns >> task_facts.wakes) total += task_facts;
    }
    return total;
}

RunFacts crowd_facts(const std::vector<std::unique_ptr<ChildProcess>>& engines) {
    RunFacts total;
    for (const auto& engine : engines) total += run_facts(engine->pid());
    return total;
}

// N engines, each answering a short first search (so the code has run once), then
// "go movetime 1000" sent to all at once: the processor time of that search in all of them,
// as a share of one core over the time to the last bestmove.
void run_crowd(benchmark::State& state, const std::vector<std::string>& arguments) {
    const auto count = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        std::vector<std::unique_ptr<ChildProcess>> engines;
        for (std::size_t i = 0; i < count; ++i) {
            engines.push_back(std::make_unique<ChildProcess>(pawnlark_binary(), arguments));
            engines.back()->send("go depth 1");
        }
        for (auto& engine : engines) {
            if (!read_until(*engine, "bestmove", milliseconds(10000))) {
                state.SkipWithError("an engine did not answer");
                return;
            }
        }
        const RunFacts before = crowd_facts(engines);
        const Clock::time_point start = Clock::now();
        for (auto& engine : engines) engine->send("go movetime 1000");
        for (auto& engine : engines) {
            if (!read_until(*engine, "bestmove", milliseconds(10000))) {
                state.SkipWithError("no bestmove");
                return;
            }
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const RunFacts after = crowd_facts(engines);
        const double cpu = static_cast<double>(after.ns - before.ns) * 1e-9;
        state.SetIterationTime(wall);
        state.counters["percent_of_core"] = 100.0 * cpu / wall;
        state.counters["search_cpu_ms"] = cpu * 1e3;
        state.counters["wakes_per_engine"] =
            static_cast<double>(after.wakes - before.wakes) / static_cast<double>(count);
    }
}

void bench_think_crowd(benchmark::State& state) { run_crowd(state, think_arguments()); }
void bench_plain_crowd(benchmark::State& state) { run_crowd(state, {"--delay-ms", "1000"}); }

BENCHMARK(bench_think_crowd)
    ->Arg(1)
    ->Arg(20)
    ->Arg(200)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(bench_plain_crowd)
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
        if (!read_until(engine, "info depth 1", milliseconds(10000))) {
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
