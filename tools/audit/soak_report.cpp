#include "tools/audit/soak_report.h"

#include <map>

#include "tools/audit/manager.h"
#include "tools/audit/report.h"
#include "tools/audit/soak_run.h"

namespace pawnlark::audit {
namespace {

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

// How often each fault fired, by name.
std::map<std::string, int> faults_fired(const std::vector<ChaosNote>& notes) {
    std::map<std::string, int> fired;
    for (const ChaosNote& note : notes) ++fired[note.fault];
    return fired;
}

}  // namespace

std::string soak_markdown(const SoakReport& report) {
    const Options& options = *report.options;
    const SoakRun& soak = report.soak;
    const SoakJudgement& judgement = report.judgement;
    const std::map<std::string, int> fired = faults_fired(soak.notes);
    std::map<std::string, std::map<std::string, int>> endings;
    for (const SpoiledGame& game : judgement.spoiled) {
        ++endings[game.fault.fault][std::string(name_of(game.ending))];
    }
    std::string text = "# Soak run under " + std::string(name_of(options.setup.kind)) + "\n\n";
    text += "A pawnlark with `" + shell_line(chaos_arguments(options.soak))
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
    const std::map<std::string, int> fired = faults_fired(soak.notes);
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

}  // namespace pawnlark::audit
