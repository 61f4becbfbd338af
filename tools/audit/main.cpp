// pawnlark-audit: audits a tournament manager against every fault pawnlark can play. Each cell
// of the matrix is one pair of games between a faulty and a plain pawnlark under the manager;
// what the manager reports is judged against the expectation table, and the verdicts go to a
// Markdown report and a JSON record. Exit status: 0 without findings, 1 with findings, 2 on a
// usage error (then nothing has been started).

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <thread>

#include "tools/audit/cli.h"
#include "tools/audit/expectations.h"
#include "tools/audit/files.h"
#include "tools/audit/games.h"
#include "tools/audit/judge.h"
#include "tools/audit/manager.h"
#include "tools/audit/manager_run.h"
#include "tools/audit/report.h"
#include "tools/audit/soak_run.h"

namespace {

namespace fs = std::filesystem;
using namespace pawnlark::audit;
using Clock = std::chrono::steady_clock;

constexpr int UsageStatus = 2;
// The audit could not do its work: its report cannot be written, or a manager could not start.
constexpr int RunFailureStatus = 3;

int usage_failure(const std::string& text) {
    std::cerr << "pawnlark-audit: " << text << "\n";
    return UsageStatus;
}

int run_failure(const std::string& text) {
    std::cerr << "pawnlark-audit: " << text << "\n";
    return RunFailureStatus;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The live progress line on standard error: rewritten in place on a terminal, one line per
// finished cell otherwise.
class Progress {
public:
    Progress(std::size_t total) : total_(total), start_(Clock::now()), tty_(::isatty(2) != 0) {}

    void finished(const CellResult& result) {
        const std::lock_guard lock(mutex_);
        ++done_;
        const std::string verdict(name_of(result.judgement.verdict));
        if (tty_) std::cerr << "\r\033[K";
        std::cerr << "[" << done_ << "/" << total_ << "] " << result.cell.id() << ": " << verdict
                  << " (" << result.judgement.outcome << ")\n";
        print_status();
    }

    void tick() {
        const std::lock_guard lock(mutex_);
        if (tty_) print_status();
    }

private:
    void print_status() {
        const double elapsed = seconds_since(start_);
        std::string line = "elapsed " + duration_text(elapsed) + ", ";
        line += done_ == 0 ? "remaining unknown"
                           : "about "
                                 + duration_text(elapsed / static_cast<double>(done_)
                                                 * static_cast<double>(total_ - done_))
                                 + " left";
        if (tty_) {
            std::cerr << "\r\033[K" << done_ << "/" << total_ << " cells, " << line << std::flush;
        } else if (done_ < total_) {
            std::cerr << "    " << line << "\n";
        }
    }

    std::mutex mutex_;
    std::size_t total_;
    std::size_t done_ = 0;
    Clock::time_point start_;
    bool tty_;
};

std::string directory_name(const Cell& cell) {
    std::string name = cell.id();
    for (char& c : name) {
        if (c == '/') c = '.';
    }
    return name;
}

CellResult run_cell(const Options& options, const Cell& cell, int slot, int index, int repeat) {
    const Setup& setup = options.setup;
    CellResult result;
    result.cell = cell;
    result.directory = options.out_directory + "/cells/" + directory_name(cell);
    if (options.repeat > 1) result.directory += "/run-" + std::to_string(repeat + 1);
    std::error_code error;
    fs::remove_all(result.directory, error);
    fs::create_directories(result.directory, error);
    const CellFiles files = cell_files(fs::absolute(result.directory, error).string());

    // Display numbers from this process's own range (xvfb-run -a moves on from a taken one).
    const int display = 200 + static_cast<int>(::getpid() % 1000) * 8 + slot % 8;
    RunRequest request;
    request.command = manager_command(setup, cell, files, display);
    request.files = files;
    request.mark = std::to_string(::getpid()) + "-" + std::to_string(index);
    request.engine_programs = {setup.engine};
    if (!setup.polyglot.empty()) request.engine_programs.push_back(setup.polyglot);
    request.manager_program = setup.manager;
    request.wall_limit = std::chrono::seconds(options.wall_limit_seconds);
    request.silence_limit = std::chrono::seconds(options.silence_seconds);
    result.command = shell_line(request.command.arguments);
    if (setup.kind == ManagerKind::Custom) result.command = request.command.arguments.back();
    if (!request.command.openings.empty()) write_file(files.openings, request.command.openings);

    result.run = run_manager(request);
    result.run.games =
        merge_games(parse_finished_lines(read_file(files.directory + "/manager.out")),
                    parse_pgn(read_file(files.pgn)));
    return result;
}

Yardsticks yardsticks(const Options& options, const std::vector<CellResult>& results,
                      const Cell& cell) {
    Yardsticks yardsticks;
    for (const CellResult& other : results) {
        if (other.cell.scenario->id == "control" && other.cell.protocol == cell.protocol
            && other.cell.limit == cell.limit && !other.run.hung) {
            yardsticks.control_wall = other.run.wall_seconds;
        }
    }
    if (cell.limit == Limit::Clock) {
        yardsticks.game_limit = options.setup.clock_seconds + options.verdict_margin_seconds;
    }
    yardsticks.faulty_exit_status = cell.scenario->exit_status;
    return yardsticks;
}

// Every run of every cell (each cell `repeat` times, one after the other in the list), each
// judged by itself; `jobs` at a time.
std::vector<CellResult> run_all(const Options& options, const std::vector<Cell>& cells,
                                const std::vector<Expectation>& table, int jobs) {
    const std::size_t total = cells.size() * static_cast<std::size_t>(options.repeat);
    std::vector<CellResult> results(total);
    std::atomic<std::size_t> next{0};
    Progress progress(total);
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(jobs));
    std::atomic<int> running{jobs};
    for (int slot = 0; slot < jobs; ++slot) {
        workers.emplace_back([&, slot] {
            for (std::size_t i = next++; i < total; i = next++) {
                const Cell& cell = cells[i / static_cast<std::size_t>(options.repeat)];
                const int repeat = static_cast<int>(i % static_cast<std::size_t>(options.repeat));
                results[i] = run_cell(options, cell, slot, static_cast<int>(i), repeat);
                results[i].expectation = find_expectation(table, cell);
                results[i].judgement =
                    judge(*results[i].expectation, results[i].run, yardsticks(options, {}, cell));
                progress.finished(results[i]);
            }
            --running;
        });
    }
    while (running > 0) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        progress.tick();
    }
    for (std::thread& worker : workers) worker.join();
    return results;
}

// One result per cell: each run judged again now that the control's wall time is known, then
// the runs' judgements combined. The run shown is the first that found something, else the
// first.
std::vector<CellResult> combine(const Options& options, std::vector<CellResult> runs) {
    std::vector<CellResult> cells;
    const auto repeat = static_cast<std::size_t>(options.repeat);
    for (std::size_t first = 0; first < runs.size(); first += repeat) {
        std::vector<Judgement> judgements;
        std::size_t shown = first;
        for (std::size_t i = first; i < first + repeat; ++i) {
            CellResult& run = runs[i];
            run.judgement = judge(*run.expectation, run.run, yardsticks(options, runs, run.cell));
            judgements.push_back(run.judgement);
            if (run.judgement.verdict == Verdict::Finding
                && runs[shown].judgement.verdict != Verdict::Finding) {
                shown = i;
            }
        }
        CellResult result = std::move(runs[shown]);
        result.judgement = combine_runs(judgements);
        cells.push_back(std::move(result));
    }
    return cells;
}

int list_cells(const std::vector<Cell>& cells, const std::vector<Expectation>& table) {
    for (const Cell& cell : cells) {
        const Expectation* row = find_expectation(table, cell);
        std::cout << cell.id() << "  "
                  << (row == nullptr                ? "?"
                      : row->stance == Stance::Open ? "open"
                                                    : "expect")
                  << "  " << cell.scenario->summary << "\n";
    }
    return 0;
}

int audit(int argc, char** argv) {
    const char* path = std::getenv("PATH");
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const Environment environment{path == nullptr ? "/usr/bin:/bin" : path,
                                  self.parent_path().string()};
    const Checked<Options> parsed =
        parse_command_line(std::vector<std::string>(argv + 1, argv + argc), environment);
    if (!parsed) return usage_failure(parsed.error().text);
    const Options& options = parsed.value();
    if (options.help) {
        std::cout << Usage;
        return 0;
    }
    if (options.soak.games > 0) return run_soak(options);

    std::string table_text(builtin_expectations());
    if (!options.expectations_file.empty()) {
        std::ifstream file(options.expectations_file, std::ios::binary);
        if (!file) return usage_failure("cannot read " + options.expectations_file);
        table_text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    const Checked<std::vector<Expectation>> table = parse_expectations(table_text);
    if (!table) return usage_failure(table.error().text);
    const Checked<std::vector<Cell>> selected = selected_cells(options);
    if (!selected) return usage_failure(selected.error().text);
    const std::vector<Cell>& cells = selected.value();
    for (const Cell& cell : cells) {
        if (find_expectation(table.value(), cell) == nullptr) {
            return usage_failure("the expectations have no row for " + cell.id());
        }
    }
    if (options.list) return list_cells(cells, table.value());
    if (options.setup.kind == ManagerKind::Xboard && options.setup.polyglot.empty()) {
        for (const Cell& cell : cells) {
            if (cell.protocol == Protocol::Uci) {
                return usage_failure(
                    "polyglot is not installed: xboard needs it for UCI engines (give "
                    "--polyglot PATH, or --only '*/cecp')");
            }
        }
    }
    fs::create_directories(options.out_directory, error);
    if (error)
        return run_failure("cannot create " + options.out_directory + ": " + error.message());

    const Clock::time_point start = Clock::now();
    const int jobs = std::min<int>(options.jobs, static_cast<int>(cells.size()) * options.repeat);
    std::vector<CellResult> runs = run_all(options, cells, table.value(), jobs);
    std::cerr << "\n";

    AuditReport report;
    report.setup = options.setup;
    report.jobs = jobs;
    report.repeat = options.repeat;
    report.wall_seconds = seconds_since(start);
    report.cells = combine(options, std::move(runs));

    const std::string markdown_path = options.out_directory + "/report.md";
    const std::string json_path = options.out_directory + "/report.json";
    if (!write_file(markdown_path, markdown_report(report))
        || !write_file(json_path, json_report(report))) {
        return run_failure("cannot write the report in " + options.out_directory);
    }
    int findings = 0;
    int not_started = 0;
    for (const CellResult& result : report.cells) {
        findings += result.judgement.verdict == Verdict::Finding;
        not_started += !result.run.failure.empty();
    }
    std::cerr << report.cells.size() << " cells in " << duration_text(report.wall_seconds) << ": "
              << findings << " findings. Report: " << markdown_path << ", " << json_path << "\n";
    if (not_started > 0) {
        return run_failure("the manager could not be started in " + std::to_string(not_started)
                           + " cells (see the report)");
    }
    return findings == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return audit(argc, argv); }
