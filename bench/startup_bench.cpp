// Start-up cost as a front end sees it: from spawning pawnlark to reading "uciok" (input "uci"
// then "quit"), beside spawning /bin/true and reading its end of output, interleaved so both
// see the same machine noise. Counters: the median of each, their ratio, and the largest peak
// resident set of the handshake runs. The binary is PAWNLARK_BINARY, else the one this build
// made.
//
// The peak resident set is the child's VmHWM, read while it waits for "quit" (see
// ChildProcess::peak_rss_kib for why wait4's ru_maxrss would not do).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "child_facts.h"
#include "support/child_process.h"

namespace {

using pawnlark::bench::pawnlark_binary;
using pawnlark::bench::report_medians;
using pawnlark::support::ChildProcess;
using pawnlark::support::Clock;

constexpr std::chrono::milliseconds ReplyTimeout{10000};

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void bench_startup_handshake(benchmark::State& state) {
    const std::string binary = pawnlark_binary();
    std::vector<double> true_seconds;
    std::vector<double> pawnlark_seconds;
    long peak_rss = 0;
    for (auto _ : state) {
        {
            ChildProcess baseline("/bin/true", {});
            while (baseline.read_line(ReplyTimeout)) {
            }
            true_seconds.push_back(seconds_since(baseline.started()));
        }

        ChildProcess engine(binary, {});
        if (!engine.send("uci")) {
            state.SkipWithError("cannot write the handshake");
            break;
        }
        std::optional<std::string> line;
        while ((line = engine.read_line(ReplyTimeout)) && *line != "uciok") {
        }
        const double seconds = seconds_since(engine.started());
        pawnlark_seconds.push_back(seconds);
        state.SetIterationTime(seconds);
        peak_rss = std::max(peak_rss, engine.peak_rss_kib().value_or(0));
        static_cast<void>(engine.send("quit"));
        engine.wait_exit(ReplyTimeout);
    }
    report_medians(state, "pawnlark_median_us", pawnlark_seconds, "true_median_us", true_seconds,
                   "ratio", 1e6);
    state.counters["peak_rss_kib"] = static_cast<double>(peak_rss);
}
BENCHMARK(bench_startup_handshake)->UseManualTime()->Iterations(300)->Unit(benchmark::kMicrosecond);

}  // namespace
