// Start-up cost as a front end sees it: from spawning pawnlark to reading "uciok" (input "uci"
// then "quit"), beside spawning /bin/true and reading its end of output, interleaved so both
// see the same machine noise. Counters: the median of each, their ratio, and the largest peak
// resident set of the handshake runs. The binary is PAWNLARK_BINARY, else ../pawnlark beside
// this benchmark's own directory.
//
// The peak resident set is the child's VmHWM, read while it waits for "quit". wait4's
// ru_maxrss would not do: at exec Linux folds the spawner's own high-water mark into it, so it
// reports this benchmark's size rather than pawnlark's.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "child_facts.h"

namespace {

using pawnlark::bench::pawnlark_binary;
using pawnlark::bench::peak_rss_kib;

using Clock = std::chrono::steady_clock;

struct Spawned {
    pid_t pid = -1;
    int in = -1;   // write end of the child's standard input
    int out = -1;  // read end of its standard output
};

Spawned spawn(const std::string& program, std::vector<std::string> arguments) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        std::abort();
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &pipe_signal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    Spawned child;
    if (posix_spawn(&child.pid, program.c_str(), &actions, &attributes, argv.data(), environ)
        != 0) {
        std::abort();
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(in[0]);
    ::close(out[1]);
    child.in = in[1];
    child.out = out[0];
    return child;
}

// Reads until the text has arrived (or, with an empty text, until end of output).
void read_until(int fd, std::string_view text) {
    std::string seen;
    char buffer[4096];
    while (text.empty() || seen.find(text) == std::string::npos) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return;
        }
        seen.append(buffer, static_cast<std::size_t>(count));
    }
}

void finish(Spawned& child) {
    ::close(child.in);
    read_until(child.out, "");
    ::close(child.out);
    int status = 0;
    ::waitpid(child.pid, &status, 0);
}

bool send(int fd, std::string_view text) {
    return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

double median_us(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0.0 : samples[samples.size() / 2] * 1e6;
}

void bench_startup_handshake(benchmark::State& state) {
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
    const std::string binary = pawnlark_binary();
    std::vector<double> true_seconds;
    std::vector<double> pawnlark_seconds;
    long peak_rss = 0;
    for (auto _ : state) {
        const Clock::time_point true_start = Clock::now();
        Spawned baseline = spawn("/bin/true", {});
        read_until(baseline.out, "");
        true_seconds.push_back(std::chrono::duration<double>(Clock::now() - true_start).count());
        finish(baseline);

        const Clock::time_point start = Clock::now();
        Spawned engine = spawn(binary, {});
        if (!send(engine.in, "uci\n")) {
            state.SkipWithError("cannot write the handshake");
            break;
        }
        read_until(engine.out, "uciok\n");
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        pawnlark_seconds.push_back(seconds);
        state.SetIterationTime(seconds);
        peak_rss = std::max(peak_rss, peak_rss_kib(engine.pid));
        static_cast<void>(send(engine.in, "quit\n"));
        finish(engine);
    }
    const double true_median = median_us(true_seconds);
    const double pawnlark_median = median_us(pawnlark_seconds);
    state.counters["true_median_us"] = true_median;
    state.counters["pawnlark_median_us"] = pawnlark_median;
    state.counters["ratio"] = true_median > 0 ? pawnlark_median / true_median : 0.0;
    state.counters["peak_rss_kib"] = static_cast<double>(peak_rss);
}
BENCHMARK(bench_startup_handshake)->UseManualTime()->Iterations(300)->Unit(benchmark::kMicrosecond);

}  // namespace
