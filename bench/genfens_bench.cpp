// "genfens N" through the real executable, output to /dev/null: positions per second over the
// whole process, from the spawn to its exit (items_per_second; the median run as a counter),
// for N = 1,000,000 and N = 1000.
//
// Peak resident set, two ways. wait4's ru_maxrss of the timed runs is reported, but Linux folds
// the spawner's own high-water mark into it at exec, so it cannot fall below this benchmark's
// size (bench_rss_kib) and hides pawnlark's own. The figure that shows whether memory grows
// with N is vm_hwm_kib: the child's own VmHWM, read once after an extra run whose output goes
// through a pipe (read and dropped) with "isready" after the request, so the process is still
// alive, waiting for input, when it is read.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "child_facts.h"
#include "support/child_process.h"

namespace {

using pawnlark::bench::median;
using pawnlark::bench::pawnlark_binary;
using pawnlark::support::ChildProcess;
using pawnlark::support::Clock;

long live_peak_rss_kib(std::int64_t count) {
    ChildProcess engine(pawnlark_binary(), {});
    engine.send("genfens " + std::to_string(count));
    engine.send("isready");
    while (const std::optional<std::string> line = engine.read_line(std::chrono::minutes(10))) {
        if (*line == "readyok") {
            return engine.peak_rss_kib().value_or(0);
        }
    }
    return 0;
}

void bench_genfens(benchmark::State& state) {
    const std::int64_t count = state.range(0);
    const std::string request = "genfens " + std::to_string(count);
    pawnlark::support::SpawnOptions discard_output;
    discard_output.out = pawnlark::support::StreamTarget::DevNull;
    std::vector<double> rates;
    long max_rss = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        ChildProcess engine(pawnlark_binary(), {}, discard_output);
        engine.send(request);
        engine.close_input();
        const std::optional<pawnlark::support::ChildExit> exit =
            engine.wait_exit(std::chrono::minutes(10));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!exit || exit->exit_code != 0) {
            state.SkipWithError("genfens did not end normally");
            break;
        }
        state.SetIterationTime(seconds);
        rates.push_back(static_cast<double>(count) / seconds);
        max_rss = std::max(max_rss, exit->ru_maxrss_kib);
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["median_positions_per_s"] = median(rates);
    state.counters["ru_maxrss_kib"] = static_cast<double>(max_rss);
    state.counters["bench_rss_kib"] = static_cast<double>(pawnlark::support::own_peak_rss_kib());
    state.counters["vm_hwm_kib"] = static_cast<double>(live_peak_rss_kib(count));
}
BENCHMARK(bench_genfens)->Arg(1000000)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(bench_genfens)->Arg(1000)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace
