#pragma once

// The soak run: one long match of a chaos pawnlark against a plain one under fastchess or
// cutechess-cli, many games at once with the manager's recover option, then every game
// checked and each departure reported with a command that replays its game.

#include <string>
#include <vector>

#include "tools/audit/cli.h"
#include "tools/audit/soak.h"
#include "tools/audit/soak_report.h"

namespace pawnlark::audit {

// The chaos engine's arguments, after the program.
std::vector<std::string> chaos_arguments(const Soak& soak);

// The manager's command line for the whole match; the chaos engine's notes go to `notes`
// (cutechess-cli) or to the log in `directory` (fastchess).
std::vector<std::string> soak_command(const Options& options, const std::string& directory);

// A manager command that plays the departure's game once more, with the recover option as in
// the match: from the moves before the fault (before the last move when no fault is named),
// the faulty engine with that fault at that ply in place of chaos, each side its colour. Writes the
// opening to `opening`, a PGN file. Empty when the game and its moves are not known.
std::string replay_command(const Options& options, const Departure& departure,
                           const std::vector<GameRecord>& games, const std::string& opening);

// Runs the soak, writes DIR/soak.md and DIR/soak.json; the audit's exit status: 0 without
// departures, 1 with, 3 when the manager could not be run or the report not written.
int run_soak(const Options& options);

}  // namespace pawnlark::audit
