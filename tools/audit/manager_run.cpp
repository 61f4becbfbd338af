#include "tools/audit/manager_run.h"

#include <signal.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <thread>
#include <utility>

#include "support/child_process.h"
#include "tools/audit/files.h"
#include "tools/audit/games.h"

namespace pawnlark::audit {
namespace {

using std::chrono::milliseconds;
using support::ChildProcess;
using support::Clock;

// How often the PGN file and the clock are looked at.
constexpr milliseconds Tick{200};
// How long engines may take to end after their manager did.
constexpr milliseconds EngineGrace{3000};
// How long a manager asked to stop may take to end its engines and itself.
constexpr milliseconds StopGrace{10000};
// A program that could not be run (a failed exec, a library missing, a shell's unknown
// command) ends with this status.
constexpr int ExecFailedStatus = 127;

bool is_one_of(const std::string& program, const std::vector<std::string>& programs) {
    return std::find(programs.begin(), programs.end(), program) != programs.end();
}

std::vector<MarkedProcess> marked_engines(std::string_view entry,
                                          const std::vector<std::string>& programs) {
    std::vector<MarkedProcess> engines = marked_processes(entry);
    std::erase_if(engines, [&](const MarkedProcess& p) { return !is_one_of(p.program, programs); });
    return engines;
}

// Ends every marked process by its pid, gently first (an X server removes its lock file),
// and waits (bounded) until none is left.
void end_marked(std::string_view entry) {
    for (int round = 0; round < 50; ++round) {
        const std::vector<MarkedProcess> left = marked_processes(entry);
        if (left.empty()) return;
        for (const MarkedProcess& process : left)
            ::kill(process.pid, round < 20 ? SIGTERM : SIGKILL);
        std::this_thread::sleep_for(milliseconds(100));
    }
}

void signal_marked(std::string_view entry, const std::string& program, int signal) {
    for (const MarkedProcess& process : marked_processes(entry)) {
        if (process.program == program) ::kill(process.pid, signal);
    }
}

// The "Started game N of M" lines both managers print.
std::size_t count_started_lines(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = text.find("Started game "); at != std::string_view::npos;
         at = text.find("Started game ", at + 1)) {
        ++count;
    }
    return count;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// What the manager has written so far: when it last wrote anything, and when each game end
// it announced or saved was first seen.
class OutputWatch {
public:
    OutputWatch(CellFiles files, Clock::time_point start)
        : files_(std::move(files)), start_(start), last_activity_(start) {}

    void look(const std::string& out, const std::string& err) {
        const Clock::time_point now = Clock::now();
        const double at = std::chrono::duration<double>(now - start_).count();
        const std::size_t line_end = out.rfind('\n');
        if (line_end != std::string::npos && line_end + 1 > scanned_) {
            const std::string_view lines =
                std::string_view(out).substr(scanned_, line_end + 1 - scanned_);
            line_ends_.insert(line_ends_.end(), parse_finished_lines(lines).size(), at);
            starts_.insert(starts_.end(), count_started_lines(lines), at);
            scanned_ = line_end + 1;
        }
        std::uintmax_t files_size = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(files_.directory, error)) {
            if (entry.is_regular_file(error)) files_size += entry.file_size(error);
        }
        const std::uintmax_t pgn_size = std::filesystem::file_size(files_.pgn, error);
        // Read only while no "Finished game" line times the games: a long run's file is large.
        if (!error && pgn_size != pgn_size_ && line_ends_.empty()) {
            pgn_size_ = pgn_size;
            const std::size_t games = parse_pgn(read_file(files_.pgn)).size();
            if (games > pgn_ends_.size()) pgn_ends_.resize(games, at);
        }
        const std::uintmax_t written = files_size + out.size() + err.size();
        if (written != written_) last_activity_ = now;
        written_ = written;
    }

    Clock::time_point last_activity() const { return last_activity_; }
    std::size_t pgn_games() const { return pgn_ends_.size(); }
    const std::vector<double>& game_ends() const {
        return line_ends_.empty() ? pgn_ends_ : line_ends_;
    }
    const std::vector<double>& game_starts() const { return starts_; }

private:
    CellFiles files_;
    Clock::time_point start_;
    Clock::time_point last_activity_;
    std::size_t scanned_ = 0;  // of the output, up to the end of its last complete line
    std::uintmax_t pgn_size_ = 0;
    std::uintmax_t written_ = 0;
    std::vector<double> line_ends_;
    std::vector<double> pgn_ends_;
    std::vector<double> starts_;
};

std::vector<LoggedExit> logged_exits(const std::string& directory) {
    std::vector<LoggedExit> exits;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.path().extension() != ".log") continue;
        const std::vector<LoggedExit> found = parse_logged_exits(read_file(entry.path().string()));
        exits.insert(exits.end(), found.begin(), found.end());
    }
    return exits;
}

// The manager in a group of its own, marked, its input empty and both outputs read.
support::SpawnOptions spawn_options(const std::string& entry) {
    support::SpawnOptions options;
    options.in = support::StreamTarget::DevNull;
    options.err = support::StreamTarget::Pipe;
    options.new_process_group = true;
    options.environment = {entry};
    return options;
}

// The engines still running once their manager ended and a grace time passed, as
// "pid command".
std::vector<std::string> engines_left(std::string_view entry,
                                      const std::vector<std::string>& programs) {
    const Clock::time_point grace_end = Clock::now() + EngineGrace;
    std::vector<MarkedProcess> engines = marked_engines(entry, programs);
    while (!engines.empty() && Clock::now() < grace_end) {
        std::this_thread::sleep_for(Tick);
        engines = marked_engines(entry, programs);
    }
    std::vector<std::string> left;
    left.reserve(engines.size());
    for (const MarkedProcess& engine : engines) {
        left.push_back(std::to_string(engine.pid) + " " + engine.command);
    }
    return left;
}

// A hung manager, or one that did not end when asked: asked (again), then killed by its pid,
// so that a wrapper such as xvfb-run still takes its display down; only then the whole group.
void stop_manager(ChildProcess& manager, std::string_view entry, const std::string& program) {
    std::optional<support::ChildExit> exit;
    for (const int signal : {SIGTERM, SIGKILL}) {
        if (program.empty()) break;
        signal_marked(entry, program, signal);
        exit = manager.wait_exit(milliseconds(3000));
        if (exit) return;
    }
    ::kill(-manager.pid(), SIGTERM);
    if (!manager.wait_exit(milliseconds(3000))) manager.kill_group();
}

}  // namespace

std::vector<MarkedProcess> marked_processes(std::string_view entry) {
    std::vector<MarkedProcess> found;
    std::error_code error;
    for (const auto& directory : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = directory.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string base = directory.path().string();
        const std::string environment = read_file(base + "/environ");
        bool marked = false;
        for (std::size_t at = 0; at < environment.size() && !marked;) {
            std::size_t end = environment.find('\0', at);
            if (end == std::string::npos) end = environment.size();
            marked = std::string_view(environment).substr(at, end - at) == entry;
            at = end + 1;
        }
        if (!marked) continue;
        // The state follows the command name, which is in parentheses and may hold spaces.
        const std::string stat = read_file(base + "/stat");
        const std::size_t name_end = stat.rfind(')');
        if (name_end == std::string::npos || name_end + 2 >= stat.size()
            || stat[name_end + 2] == 'Z') {
            continue;
        }
        MarkedProcess process;
        process.pid = static_cast<pid_t>(std::stol(name));
        process.program = std::filesystem::read_symlink(base + "/exe", error).string();
        process.command = read_file(base + "/cmdline");
        std::replace(process.command.begin(), process.command.end(), '\0', ' ');
        while (!process.command.empty() && process.command.back() == ' ') {
            process.command.pop_back();
        }
        found.push_back(std::move(process));
    }
    return found;
}

std::uint64_t marked_resident_kib(std::string_view entry) {
    std::uint64_t total = 0;
    for (const MarkedProcess& process : marked_processes(entry)) {
        const std::string status = read_file("/proc/" + std::to_string(process.pid) + "/status");
        const std::size_t at = status.find("VmRSS:");
        if (at == std::string::npos) continue;
        std::size_t digits = status.find_first_of("0123456789", at);
        std::uint64_t kib = 0;
        while (digits < status.size() && std::isdigit(static_cast<unsigned char>(status[digits]))) {
            kib = kib * 10 + static_cast<std::uint64_t>(status[digits++] - '0');
        }
        total += kib;
    }
    return total;
}

CellRun run_manager(const RunRequest& request) {
    const std::string entry = std::string(MarkVariable) + "=" + request.mark;
    CellRun run;
    std::string out;
    std::string err;
    const std::vector<std::string>& line = request.command.arguments;
    ChildProcess manager(line.front(), {line.begin() + 1, line.end()}, spawn_options(entry));
    const Clock::time_point start = manager.started();
    const Clock::time_point deadline = start + request.wall_limit;

    std::optional<support::ChildExit> exit;
    bool asked_to_stop = false;
    Clock::time_point stop_deadline;
    OutputWatch watch(request.files, start);
    Clock::time_point next_measure = start;
    for (;;) {
        // Once both streams have ended, the wait paces the loop instead.
        const bool streams_ended = manager.communicate({}, true, Clock::now() + Tick, out, err);
        exit = manager.wait_exit(streams_ended ? Tick : milliseconds(0));
        watch.look(out, err);
        if (request.measure_memory && Clock::now() >= next_measure) {
            run.peak_resident_kib = std::max(run.peak_resident_kib, marked_resident_kib(entry));
            next_measure = Clock::now() + Tick;
        }
        if (exit) break;
        if (asked_to_stop) {
            if (Clock::now() >= stop_deadline) break;
            continue;
        }
        if (Clock::now() >= deadline) {
            run.hung = true;
            break;
        }
        if (Clock::now() - watch.last_activity() >= request.silence_limit) {
            run.hung = true;
            run.silent = true;
            run.silence_seconds = std::chrono::duration<double>(request.silence_limit).count();
            break;
        }
        if (request.command.runs_until_stopped
            && static_cast<int>(watch.pgn_games()) >= GamesPerCell) {
            // Asked as a user closing its window would ask, so that it ends its engines itself.
            signal_marked(entry, request.manager_program, SIGTERM);
            run.stopped_by_audit = true;
            asked_to_stop = true;
            stop_deadline = Clock::now() + StopGrace;
        }
    }
    run.wall_seconds = seconds_since(start);

    if (exit && !run.hung) {
        run.exit_code = exit->exit_code;
        run.signal = exit->signal;
        if (run.exit_code == ExecFailedStatus && watch.game_ends().empty()) {
            run.failure =
                "it exited with status 127, which a failed exec or a shell's missing "
                "command gives";
        }
        run.leftovers = engines_left(entry, request.engine_programs);
    }
    if (!exit) stop_manager(manager, entry, request.manager_program);
    end_marked(entry);
    manager.communicate({}, true, Clock::now(), out, err);
    watch.look(out, err);
    run.game_ends = watch.game_ends();
    run.game_starts = watch.game_starts();
    run.logged_exits = logged_exits(request.files.directory);
    write_file(request.files.directory + "/manager.out", out);
    write_file(request.files.directory + "/manager.err", err);
    return run;
}

}  // namespace pawnlark::audit
