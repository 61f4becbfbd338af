#include "tools/audit/soak_run.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <thread>

#include "tools/audit/files.h"
#include "tools/audit/manager_run.h"
#include "tools/audit/report.h"

namespace pawnlark::audit {
namespace {

namespace fs = std::filesystem;

constexpr int DeparturesStatus = 1;
constexpr int RunFailureStatus = 3;

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// The chaos notes of a file, read a line at a time: fastchess's log of a long run is large.
std::vector<ChaosNote> notes_in(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<ChaosNote> notes;
    for (std::string line; std::getline(file, line);) {
        const std::vector<ChaosNote> found = parse_chaos_notes(line);
        notes.insert(notes.end(), found.begin(), found.end());
    }
    return notes;
}

// Where the chaos engine's standard error goes under cutechess-cli; fastchess logs it.
std::string notes_file(const std::string& directory) { return directory + "/faulty.err"; }
std::string fastchess_log(const std::string& directory) { return directory + "/fastchess.log"; }

// The fault's fixed option at the ply, as the matrix's scenario of the same name gives it.
std::vector<std::string> fault_arguments(const ChaosNote& note) {
    const std::string matrix_ply = std::to_string(FaultPly);
    for (const Scenario& scenario : all_scenarios()) {
        if (scenario.id != note.fault && scenario.id != note.fault + "-valid") continue;
        std::vector<std::string> words = scenario.engine_arguments;
        for (std::string& word : words) {
            if (word == matrix_ply) word = std::to_string(note.ply);
        }
        return words;
    }
    return {};
}

// One engine's part of a command line; `arguments` without the program.
void add_engine(std::vector<std::string>& line, const Setup& setup, const std::string& name,
                const std::vector<std::string>& arguments) {
    line.insert(line.end(), {"-engine", "cmd=" + setup.engine, "name=" + name});
    if (setup.kind == ManagerKind::Fastchess) {
        line.push_back("args=" + joined(arguments));
        return;
    }
    line.emplace_back("proto=uci");
    for (const std::string& word : arguments) line.push_back("arg=" + word);
}

// "1. e4 e5 2. Nf3 *": the first `plies` moves as PGN movetext.
std::string opening_pgn(const std::vector<std::string>& moves, std::size_t plies, int game) {
    std::string text =
        "[Event \"replay of game " + std::to_string(game) + "\"]\n[Result \"*\"]\n\n";
    for (std::size_t i = 0; i < plies && i < moves.size(); ++i) {
        if (i % 2 == 0) text += std::to_string(i / 2 + 1) + ". ";
        text += moves[i] + " ";
    }
    return text + "*\n";
}

}  // namespace

std::vector<std::string> chaos_arguments(const Soak& soak) {
    std::vector<std::string> words{"--name", "faulty", "--chaos", std::to_string(soak.chaos)};
    if (!soak.chaos_seed.empty()) words.insert(words.end(), {"--chaos-seed", soak.chaos_seed});
    if (!soak.chaos_faults.empty())
        words.insert(words.end(), {"--chaos-faults", soak.chaos_faults});
    return words;
}

std::vector<std::string> soak_command(const Options& options, const std::string& directory) {
    const Setup& setup = options.setup;
    const Soak& soak = options.soak;
    std::vector<std::string> line{setup.manager};
    std::vector<std::string> faulty = chaos_arguments(soak);
    if (setup.kind == ManagerKind::Cutechess) {
        add_engine(line, setup, "faulty", faulty);
        line.push_back("stderr=" + notes_file(directory));
    } else {
        add_engine(line, setup, "faulty", faulty);
    }
    add_engine(line, setup, "normal", {"--name", "normal"});
    line.insert(line.end(),
                {"-each", "tc=" + clock_text(setup), "-rounds", std::to_string(soak.games / 2),
                 "-games", "2", "-concurrency", std::to_string(soak.concurrency), "-recover"});
    if (setup.kind == ManagerKind::Fastchess) {
        // fastchess refuses more games at once than processors unless told.
        if (soak.concurrency > static_cast<int>(std::thread::hardware_concurrency())) {
            line.emplace_back("-force-concurrency");
        }
        line.insert(line.end(), {"-pgnout", "file=" + directory + "/games.pgn", "-log",
                                 "file=" + fastchess_log(directory), "level=info", "engine=true",
                                 "-ping-ms", std::string(FastchessPingMs)});
    } else {
        line.insert(line.end(), {"-pgnout", directory + "/games.pgn"});
    }
    return line;
}

std::string replay_command(const Options& options, const Departure& departure,
                           const std::vector<GameRecord>& games, const std::string& opening) {
    const GameRecord* game = nullptr;
    for (const GameRecord& candidate : games) {
        if (candidate.number == departure.game && departure.game > 0) game = &candidate;
    }
    const std::optional<bool> faulty_white = game ? faulty_is_white(*game) : std::nullopt;
    if (!faulty_white) return "";
    std::size_t plies = game->moves.empty() ? 0 : game->moves.size() - 1;
    if (departure.fault) plies = static_cast<std::size_t>(std::max(departure.fault->ply - 1, 0));
    if (plies > game->moves.size()) return "";  // the PGN lacks the game's moves

    const Setup& setup = options.setup;
    std::vector<std::string> faulty{"--name", "faulty"};
    if (departure.fault) {
        const std::vector<std::string> fault = fault_arguments(*departure.fault);
        faulty.insert(faulty.end(), fault.begin(), fault.end());
    }
    std::vector<std::string> line{setup.manager};
    for (const bool white : {true, false}) {
        if (white == *faulty_white) {
            add_engine(line, setup, "faulty", faulty);
        } else {
            add_engine(line, setup, "normal", {"--name", "normal"});
        }
    }
    line.insert(line.end(), {"-each", "tc=" + clock_text(setup)});
    if (plies > 0) {
        write_file(opening, opening_pgn(game->moves, plies, game->number));
        line.insert(line.end(), {"-openings", "file=" + opening, "format=pgn", "order=sequential"});
    }
    line.insert(line.end(), {"-rounds", "1", "-games", "1", "-recover"});
    if (setup.kind == ManagerKind::Fastchess) {
        line.insert(line.end(), {"-ping-ms", std::string(FastchessPingMs)});
    }
    line.emplace_back("-pgnout");
    const std::string pgn = fs::path(opening).replace_extension(".replay.pgn").string();
    line.push_back(setup.kind == ManagerKind::Fastchess ? "file=" + pgn : pgn);
    return shell_line(line);
}

int run_soak(const Options& options) {
    std::error_code error;
    fs::remove_all(options.out_directory, error);
    fs::create_directories(options.out_directory + "/replays", error);
    if (error) {
        std::cerr << "pawnlark-audit: cannot create " << options.out_directory << ": "
                  << error.message() << "\n";
        return RunFailureStatus;
    }
    const std::string directory = fs::absolute(options.out_directory, error).string();
    std::cerr << "soak: " << options.soak.games << " games under " << name_of(options.setup.kind)
              << ", " << options.soak.concurrency << " at once; report in " << options.out_directory
              << "\n";

    RunRequest request;
    request.command.arguments = soak_command(options, directory);
    request.files = cell_files(directory);
    request.mark = std::to_string(::getpid()) + "-soak";
    request.engine_programs = {options.setup.engine};
    request.manager_program = options.setup.manager;
    request.wall_limit = std::chrono::seconds(options.wall_limit_seconds);
    request.silence_limit = std::chrono::seconds(options.silence_seconds);
    request.measure_memory = true;

    SoakReport report;
    report.options = &options;
    report.command = shell_line(request.command.arguments);
    SoakRun& soak = report.soak;
    soak.games_asked = options.soak.games;
    soak.clock_seconds = options.setup.clock_seconds;
    soak.increment_seconds = options.setup.increment_seconds;
    soak.verdict_margin_seconds = options.verdict_margin_seconds;
    soak.run = run_manager(request);
    const std::string out = read_file(directory + "/manager.out");
    soak.run.games = parse_finished_lines(out);
    soak.started = parse_started_games(out);
    soak.pgn = parse_pgn(read_file(request.files.pgn));
    soak.notes = notes_in(options.setup.kind == ManagerKind::Fastchess ? fastchess_log(directory)
                                                                       : notes_file(directory));
    soak.final_tally = parse_final_tally(out);
    report.judgement = judge_soak(soak);
    for (const Departure& departure : report.judgement.departures) {
        const std::string opening =
            directory + "/replays/game-" + std::to_string(departure.game) + ".pgn";
        report.replays.push_back(
            replay_command(options, departure, report.judgement.games, opening));
    }

    const std::string markdown = options.out_directory + "/soak.md";
    const std::string json = options.out_directory + "/soak.json";
    if (!write_file(markdown, soak_markdown(report)) || !write_file(json, soak_json(report))) {
        std::cerr << "pawnlark-audit: cannot write the report in " << options.out_directory << "\n";
        return RunFailureStatus;
    }
    std::cerr << report.judgement.games.size() << " games in "
              << duration_text(soak.run.wall_seconds) << ", " << soak.notes.size()
              << " faults fired, " << report.judgement.departures.size()
              << " departures. Report: " << markdown << ", " << json << "\n";
    if (!soak.run.failure.empty()) return RunFailureStatus;
    return report.judgement.departures.empty() ? 0 : DeparturesStatus;
}

}  // namespace pawnlark::audit
