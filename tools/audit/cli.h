#pragma once

// The command line of pawnlark-audit, checked whole before anything is started.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/audit/error.h"
#include "tools/audit/manager.h"
#include "tools/audit/programs.h"
#include "tools/audit/scenario.h"

namespace pawnlark::audit {

constexpr std::string_view Usage =
    "usage: pawnlark-audit --manager fastchess|cutechess|xboard|custom [--path PATH]\n"
    "                      [--template 'COMMAND {faulty} {normal} {pgn} [{tc}] [{proto}]']\n"
    "                      [--engine PATH] [--polyglot PATH] [--only PATTERN,...] [--list]\n"
    "                      [-j N] [--out DIR] [--wall-limit SECONDS] [--silence SECONDS]\n"
    "                      [--verdict-margin SECONDS] [--repeat N] [--expectations FILE]\n"
    "       pawnlark-audit --manager fastchess|cutechess --soak GAMES [--concurrency C]\n"
    "                      [--chaos P] [--chaos-seed N] [--chaos-faults LIST] [--tc S+I] [--path "
    "PATH]\n"
    "                      [--engine PATH] [--out DIR] [--wall-limit SECONDS] [--silence SECONDS]\n"
    "                      [--verdict-margin SECONDS]\n";

// A soak run: one long match of a chaos pawnlark against a plain one.
struct Soak {
    int games = 0;  // 0: no soak run, the matrix
    int concurrency = 2;
    int chaos = 20;            // per mille
    std::string chaos_seed;    // empty: the engine's default
    std::string chaos_faults;  // empty: every fault
};

struct Options {
    Setup setup;
    std::vector<std::string> only;  // cell patterns; empty: every cell
    bool list = false;              // print the cells and their expectations, run nothing
    bool help = false;
    int jobs = 2;
    int repeat = 1;                   // runs of each cell
    std::string out_directory;        // default: audit-KIND in the working directory
    int wall_limit_seconds = 0;       // default: by kind
    int silence_seconds = 20;         // a manager silent this long while no game ends is hung
    int verdict_margin_seconds = 10;  // a spoiled game may take the faulty side's clock + this
    std::string expectations_file;    // default: the table built in
    Soak soak;
};

// Where programs named without a slash are looked for, and where the audit itself lives.
struct Environment {
    std::string path;           // $PATH
    std::string own_directory;  // the directory of the audit's executable
};

// Reads the arguments (after the program name) and checks every program they name: each
// must exist and be runnable. The engine defaults to pawnlark beside the audit.
Checked<Options> parse_command_line(const std::vector<std::string>& arguments,
                                    const Environment& environment);

// The cells the options select, in report order; an error names a pattern that matches no
// cell. The control cell of each protocol and limit selected comes along as the yardstick
// of wall times.
Checked<std::vector<Cell>> selected_cells(const Options& options);

}  // namespace pawnlark::audit
