#pragma once

// Judging one cell: what the manager did, held against the expectation for the cell.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/audit/expectations.h"
#include "tools/audit/faulty_side.h"
#include "tools/audit/games.h"
#include "tools/audit/scenario.h"

namespace pawnlark::audit {

// What the manager did in one cell.
struct CellRun {
    std::vector<GameRecord> games;
    std::optional<int> exit_code;   // absent when it ended by a signal or was stopped
    std::optional<int> signal;      // the signal that ended it by itself
    bool stopped_by_audit = false;  // it runs until stopped, and was stopped after the games
    bool hung = false;              // still running at the wall limit or silent, so stopped
    bool silent = false;            // hung: it wrote nothing for the silence limit
    double silence_seconds = 0;     // that limit
    double wall_seconds = 0;
    // When the audit saw each game end, in seconds from the start, in the order of `games`.
    std::vector<double> game_ends;
    // When it saw each "Started game" line, in their order.
    std::vector<double> game_starts;
    // The most memory the manager and everything it started held at once (when measured).
    std::uint64_t peak_resident_kib = 0;
    std::vector<LoggedExit> logged_exits;  // the engines' ends, as the manager's log gives them
    std::vector<std::string> leftovers;    // "pid command" of engines running after it ended
    std::string failure;                   // it could not be started at all
};

enum class Verdict : std::uint8_t { Ok, Finding, Open };

std::string_view name_of(Verdict verdict);  // "ok", "finding", "open"

struct Judgement {
    Verdict verdict = Verdict::Ok;
    std::vector<std::string> problems;  // one sentence each; none unless a finding
    std::string summary;                // what happened, in one line
    std::string outcome;                // the same, in a few words for the matrix
    int runs = 1;                       // how often the cell ran (--repeat)
    int finding_runs = 0;               // how many of those runs found something
};

// What a cell is held against besides its row.
struct Yardsticks {
    // The wall time of the control cell of the same protocol and limit.
    std::optional<double> control_wall;
    // Under a clock: the seconds a game the fault spoils may take, the faulty side's clock
    // plus the margin.
    std::optional<double> game_limit;
    // The status the faulty engine ends with (the plain one ends with 0).
    int faulty_exit_status = 0;
};

Judgement judge(const Expectation& expectation, const CellRun& run, const Yardsticks& yardsticks);

// One judgement for a cell run several times: a finding when any run found one, with the
// problems of those runs and the outcome of the first; else the verdict they share, with each
// outcome counted ("2x lost on time (4 of 5); ...").
Judgement combine_runs(const std::vector<Judgement>& runs);

}  // namespace pawnlark::audit
