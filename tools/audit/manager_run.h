#pragma once

// Runs one cell's manager in a process group of its own, bounded by a wall limit, and looks
// for engine processes it leaves behind.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "tools/audit/judge.h"
#include "tools/audit/manager.h"

namespace pawnlark::audit {

// The environment variable that marks every process a cell's manager starts, so the audit
// finds them in /proc whatever process group they end up in.
constexpr std::string_view MarkVariable = "PAWNLARK_AUDIT_CELL";

struct RunRequest {
    ManagerCommand command;
    CellFiles files;
    std::string mark;  // the value of MarkVariable, unique to the cell
    // Programs whose marked processes are engines: pawnlark and any adapter between them.
    std::vector<std::string> engine_programs;
    // The program of a manager that runs until stopped (xboard), told apart from its wrapper.
    std::string manager_program;
    std::chrono::seconds wall_limit{60};
    // A manager that writes nothing (output, log, PGN) this long while no game ends is hung.
    std::chrono::seconds silence_limit{20};
    // Sum the resident memory of the manager and its processes at every look.
    bool measure_memory = false;
};

// Runs the manager until it ends, the PGN file holds every game (for one that runs until
// stopped), it stays silent for the silence limit or the wall limit passes; writes its output
// to manager.out and manager.err in the cell's directory. Fills every field of the run but
// the games; the game ends follow the "Finished game" lines, else the PGN games. Nothing
// marked is left running afterwards.
CellRun run_manager(const RunRequest& request);

struct MarkedProcess {
    pid_t pid = 0;
    std::string program;  // the path of its executable
    std::string command;  // its arguments, joined by spaces
};

// The live (not zombie) processes whose environment holds `entry` ("NAME=value").
std::vector<MarkedProcess> marked_processes(std::string_view entry);

// The resident memory of those processes together, in KiB.
std::uint64_t marked_resident_kib(std::string_view entry);

}  // namespace pawnlark::audit
