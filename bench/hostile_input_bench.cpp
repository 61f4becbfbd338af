// Hostile input through the real executable, as a broken or malicious front end could send it.
// Each iteration starts a new process; counters give medians over the iterations.
//
// bench_long_line/N: one UCI line of N MiB of "x " words, then "isready". Counters: the peak
// resident set (VmHWM, read once "readyok" arrives), the line size, and peak / line.
// bench_long_game/N: "position startpos moves" with N plies of knights going out and back
// (g1f3 g8f6 f3g1 f6g8 ...), then "go" (--delay-ms 0). Counters: the peak resident set once
// "bestmove" arrives, and the seconds from the spawn to it.
// bench_cecp_usermoves/N: "protover 2", "new", N "usermove" lines of the same knight moves and
// "quit", from spawn to exit, with --cecp-standard (after "force", so the engine never moves)
// beside plain CECP (which ignores "force"), interleaved so both see the same machine noise.
// Counters: both medians in seconds and standard / plain.
//
// The binary is PAWNLARK_BINARY from the environment, else the one this build made.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "child_facts.h"
#include "support/child_process.h"

namespace {

using pawnlark::bench::median;
using pawnlark::bench::pawnlark_binary;
using pawnlark::bench::report_medians;
using pawnlark::support::ChildProcess;
using pawnlark::support::Clock;
using pawnlark::support::ProcessResult;
using pawnlark::support::ProcessRun;

constexpr std::chrono::minutes ReplyTimeout{10};
constexpr double KibPerMib = 1024.0;
constexpr std::string_view KnightPlies[] = {"g1f3", "g8f6", "f3g1", "f6g8"};

struct Peak {
    double rss_mib = 0;
    double seconds = 0;  // from the spawn to the answer
};

// Writes the request to a new engine and reads up to the line that starts with `answer`; the
// peak resident set is read then, while the engine waits for more input. Absent without it.
std::optional<Peak> peak_after(const std::vector<std::string>& arguments, std::string_view request,
                               std::string_view answer) {
    ChildProcess engine(pawnlark_binary(), arguments);
    if (!engine.write(request)) return std::nullopt;
    std::optional<std::string> line;
    while ((line = engine.read_line(ReplyTimeout)) && !line->starts_with(answer)) {
    }
    if (!line) return std::nullopt;
    Peak peak;
    peak.seconds = std::chrono::duration<double>(Clock::now() - engine.started()).count();
    const std::optional<long> rss_kib = engine.peak_rss_kib();
    if (!rss_kib) return std::nullopt;
    peak.rss_mib = static_cast<double>(*rss_kib) / KibPerMib;
    engine.send("quit");
    engine.wait_exit(ReplyTimeout);
    return peak;
}

// Runs peak_after once an iteration; counters: the median peak and time. Absent on a failure,
// after marking the benchmark skipped.
std::optional<double> measure_peak(benchmark::State& state,
                                   const std::vector<std::string>& arguments,
                                   std::string_view request, std::string_view answer) {
    std::vector<double> peaks;
    std::vector<double> seconds;
    for (auto _ : state) {
        const std::optional<Peak> peak = peak_after(arguments, request, answer);
        if (!peak) {
            state.SkipWithError("no answer from the engine");
            break;
        }
        state.SetIterationTime(peak->seconds);
        peaks.push_back(peak->rss_mib);
        seconds.push_back(peak->seconds);
    }
    if (peaks.empty()) return std::nullopt;
    state.counters["peak_rss_mib"] = median(peaks);
    state.counters["median_s"] = median(seconds);
    return median(peaks);
}

double mebibytes(std::size_t bytes) { return static_cast<double>(bytes) / (KibPerMib * KibPerMib); }

void bench_long_line(benchmark::State& state) {
    const auto line_bytes = static_cast<std::size_t>(state.range(0)) << 20;
    std::string request;
    request.reserve(line_bytes + 16);
    while (request.size() < line_bytes) request += "x ";
    request += "\nisready\n";
    if (const std::optional<double> peak = measure_peak(state, {}, request, "readyok")) {
        state.counters["line_mib"] = mebibytes(line_bytes);
        state.counters["peak_per_line"] = *peak / mebibytes(line_bytes);
    }
}
BENCHMARK(bench_long_line)
    ->Arg(40)
    ->Arg(100)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The plies of the knights' round trips, each with a space before it.
std::string knight_plies(std::int64_t count) {
    std::string plies;
    for (std::int64_t ply = 0; ply < count; ++ply) {
        plies += ' ';
        plies += KnightPlies[static_cast<std::size_t>(ply % 4)];
    }
    return plies;
}

void bench_long_game(benchmark::State& state) {
    const std::string request = "position startpos moves" + knight_plies(state.range(0)) + "\ngo\n";
    if (measure_peak(state, {"--delay-ms", "0"}, request, "bestmove ")) {
        state.counters["line_mib"] = mebibytes(request.size());
    }
}
BENCHMARK(bench_long_game)
    ->Arg(1000000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

double run_seconds(const ProcessRun& run) {
    const ProcessResult result = pawnlark::support::run_process(run);
    if (result.timed_out || result.exit_code != 0) return -1;
    return std::chrono::duration<double>(result.elapsed).count();
}

void bench_cecp_usermoves(benchmark::State& state) {
    std::string usermoves;
    for (std::int64_t ply = 0; ply < state.range(0); ++ply) {
        usermoves += "usermove ";
        usermoves += KnightPlies[static_cast<std::size_t>(ply % 4)];
        usermoves += '\n';
    }
    ProcessRun standard;
    standard.program = pawnlark_binary();
    standard.arguments = {"--proto", "cecp", "--cecp-standard"};
    standard.input = "protover 2\nnew\nforce\n" + usermoves + "quit\n";
    standard.timeout = ReplyTimeout;
    ProcessRun plain = standard;
    plain.arguments = {"--proto", "cecp"};
    plain.input = "protover 2\nnew\n" + usermoves + "quit\n";

    std::vector<double> standard_seconds;
    std::vector<double> plain_seconds;
    for (auto _ : state) {
        const double plain_run = run_seconds(plain);
        const double standard_run = run_seconds(standard);
        if (plain_run < 0 || standard_run < 0) {
            state.SkipWithError("a run did not end normally");
            break;
        }
        state.SetIterationTime(standard_run);
        plain_seconds.push_back(plain_run);
        standard_seconds.push_back(standard_run);
    }
    report_medians(state, "standard_median_s", standard_seconds, "plain_median_s", plain_seconds,
                   "standard_per_plain");
}
BENCHMARK(bench_cecp_usermoves)
    ->Arg(20000)
    ->Arg(80000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
