#include "tools/audit/soak_run.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <thread>

#include "tools/audit/manager_run.h"
#include "tools/audit/report.h"

namespace pawnlark::audit {
namespace {

namespace fs = std::filesystem;

constexpr int DeparturesStatus = 1;
constexpr int RunFailureStatus = 3;

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool write_file(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    return static_cast<bool>(file);
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// Where the chaos engine's standard error goes under cutechess-cli; fastchess logs it.
std::string notes_file(const std::string& directory) { return directory + "/faulty.err"; }
std::string fastchess_log(const std::string& directory) { return directory + "/fastchess.log"; }

std::vector<std::string> chaos_arguments(const Soak& soak) {
    std::vector<std::string> words{"--name", "faulty", "--chaos", std::to_string(soak.chaos)};
    if (!soak.chaos_seed.empty()) words.insert(words.end(), {"--chaos-seed", soak.chaos_seed});
    if (!soak.chaos_faults.empty())
        words.insert(words.end(), {"--chaos-faults", soak.chaos_faults});
    return words;
}

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

std::string count_text(const std::map<std::string, int>& counts) {
    std::string text;
    for (const auto& [name, count] : counts) {
        text += (text.empty() ? "" : ", ") + std::to_string(count) + "x " + name;
    }
    return text;
}

std::string fault_text(const Departure& departure) {
    if (!departure.fault) return "";
    return departure.fault->fault + " at ply " + std::to_string(departure.fault->ply);
}

double plies_per_second(const SoakReport& report) {
    const double wall = report.soak.run.wall_seconds;
    return wall > 0 ? report.judgement.plies / wall : 0;
}

std::string run_text(const CellRun& run) {
    if (!run.failure.empty()) return "not started: " + run.failure;
    if (run.silent) return "hung (silent for " + duration_text(run.silence_seconds) + "), stopped";
    if (run.hung) return "hung at the wall limit, stopped";
    if (run.signal) return "killed by signal " + std::to_string(*run.signal);
    return "exit " + std::to_string(run.exit_code.value_or(-1));
}

}  // namespace

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
                                 "file=" + fastchess_log(directory), "level=info", "engine=true"});
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
    line.insert(line.end(), {"-rounds", "1", "-games", "1", "-pgnout"});
    const std::string pgn = fs::path(opening).replace_extension(".replay.pgn").string();
    line.push_back(setup.kind == ManagerKind::Fastchess ? "file=" + pgn : pgn);
    return shell_line(line);
}

std::string soak_markdown(const SoakReport& report) {
    const Options& options = *report.options;
    const SoakRun& soak = report.soak;
    const SoakJudgement& judgement = report.judgement;
    std::map<std::string, int> fired;
    for (const ChaosNote& note : soak.notes) ++fired[note.fault];
    std::map<std::string, std::map<std::string, int>> endings;
    for (const SpoiledGame& game : judgement.spoiled) {
        ++endings[game.fault.fault][std::string(name_of(game.ending))];
    }
    std::string text = "# Soak run under " + std::string(name_of(options.setup.kind)) + "\n\n";
    text += "A pawnlark with `" + joined(chaos_arguments(options.soak))
            + "` against a plain one: " + std::to_string(options.soak.games) + " games at "
            + clock_text(options.setup) + ", " + std::to_string(options.soak.concurrency)
            + " at once, with the manager's recover option.\n\n";
    text += "| | |\n|---|---|\n";
    text +=
        "| Run | " + run_text(soak.run) + " after " + duration_text(soak.run.wall_seconds) + " |\n";
    text += "| Games | " + std::to_string(soak.games_asked) + " asked, "
            + std::to_string(soak.started.size()) + " started, "
            + std::to_string(judgement.games.size()) + " with a result, "
            + std::to_string(soak.pgn.size()) + " in the PGN file |\n";
    text += "| Plies | " + std::to_string(judgement.plies) + " in the PGN file, "
            + json_number(plies_per_second(report)) + " per second |\n";
    text += "| Peak memory | " + std::to_string(soak.run.peak_resident_kib / 1024)
            + " MiB, the manager and every engine together |\n";
    text += "| Faults fired | " + std::to_string(soak.notes.size()) + ", spoiling "
            + std::to_string(judgement.spoiled.size()) + " games |\n";
    text += "| Departures | " + std::to_string(judgement.departures.size()) + " |\n\n";
    text += "| Fault | Fired | Games it ended |\n|---|---|---|\n";
    for (const auto& [fault, count] : fired) {
        text += "| " + fault + " | " + std::to_string(count) + " | "
                + table_text(count_text(endings[fault])) + " |\n";
    }
    text += "\n## Departures\n\n";
    if (judgement.departures.empty()) text += "None.\n";
    for (std::size_t i = 0; i < judgement.departures.size(); ++i) {
        const Departure& departure = judgement.departures[i];
        text += std::to_string(i + 1) + ". ";
        text +=
            departure.game > 0 ? "**Game " + std::to_string(departure.game) + "**" : "**The run**";
        if (departure.fault) text += ", " + fault_text(departure);
        text += ": " + departure.problem + ". Recorded: " + departure.recorded + ".";
        if (!report.replays[i].empty())
            text += " Replay:\n\n   ```sh\n   " + report.replays[i] + "\n   ```";
        text += "\n";
    }
    text += "\nThe whole match: `" + report.command + "`\n";
    return text;
}

std::string soak_json(const SoakReport& report) {
    const Options& options = *report.options;
    const SoakRun& soak = report.soak;
    const SoakJudgement& judgement = report.judgement;
    std::map<std::string, int> fired;
    for (const ChaosNote& note : soak.notes) ++fired[note.fault];
    std::map<std::string, int> endings;
    for (const GameRecord& game : judgement.games) ++endings[std::string(name_of(classify(game)))];
    const auto object = [](const std::map<std::string, int>& counts) {
        std::string text = "{";
        for (const auto& [name, count] : counts) {
            text +=
                (text.size() > 1 ? ", " : "") + json_string(name) + ": " + std::to_string(count);
        }
        return text + "}";
    };
    const double games = std::max<double>(1, static_cast<double>(judgement.games.size()));
    std::string text = "{\n";
    text += "  \"manager\": " + json_string(std::string(name_of(options.setup.kind))) + ",\n";
    text += "  \"command\": " + json_string(report.command) + ",\n";
    text += "  \"clock\": " + json_string(clock_text(options.setup)) + ",\n";
    text += "  \"concurrency\": " + std::to_string(options.soak.concurrency) + ",\n";
    text += "  \"chaos_per_mille\": " + std::to_string(options.soak.chaos) + ",\n";
    text += "  \"run\": " + json_string(run_text(soak.run)) + ",\n";
    text += "  \"wall_seconds\": " + json_number(soak.run.wall_seconds) + ",\n";
    text += "  \"games_asked\": " + std::to_string(soak.games_asked) + ",\n";
    text += "  \"games_started\": " + std::to_string(soak.started.size()) + ",\n";
    text += "  \"games_finished\": " + std::to_string(judgement.games.size()) + ",\n";
    text += "  \"games_in_pgn\": " + std::to_string(soak.pgn.size()) + ",\n";
    text += "  \"plies\": " + std::to_string(judgement.plies) + ",\n";
    text += "  \"plies_per_second\": " + json_number(plies_per_second(report)) + ",\n";
    text += "  \"peak_resident_kib\": " + std::to_string(soak.run.peak_resident_kib) + ",\n";
    text += "  \"faults_fired\": " + object(fired) + ",\n";
    text += "  \"endings\": " + object(endings) + ",\n";
    text += "  \"spoiled_rate\": "
            + json_number(static_cast<double>(judgement.spoiled.size()) / games) + ",\n";
    text += "  \"departure_rate\": "
            + json_number(static_cast<double>(judgement.departures.size()) / games) + ",\n";
    text += "  \"departures\": [";
    for (std::size_t i = 0; i < judgement.departures.size(); ++i) {
        const Departure& departure = judgement.departures[i];
        text +=
            std::string(i == 0 ? "\n" : ",\n") + "    {\"game\": " + std::to_string(departure.game)
            + ", \"fault\": " + json_string(fault_text(departure)) + ", \"recorded\": "
            + json_string(departure.recorded) + ", \"problem\": " + json_string(departure.problem)
            + ", \"replay\": " + json_string(report.replays[i]) + "}";
    }
    text += judgement.departures.empty() ? "]\n" : "\n  ]\n";
    return text + "}\n";
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
    soak.notes = parse_chaos_notes(read_file(options.setup.kind == ManagerKind::Fastchess
                                                 ? fastchess_log(directory)
                                                 : notes_file(directory)));
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
