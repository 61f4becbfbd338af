#pragma once

// The expectation table: for each scenario, what a manager should make of it and why. The
// table is data (expectations.txt, built into the program); its format is described at the top
// of that file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/audit/error.h"
#include "tools/audit/games.h"
#include "tools/audit/scenario.h"

namespace pawnlark::audit {

// `Expect`: an outcome that differs is a finding. `Open`: the protocols leave more than one
// right answer, so the report only says what happened (hangs and stray processes aside).
enum class Stance : std::uint8_t { Expect, Open };

enum class GamesRule : std::uint8_t {
    Rules,        // both games are played and end by the rules
    FaultyLoses,  // the faulty engine loses every game reported, by one of `endings`
    Unplayed,     // the faulty engine plays no game: none reported, or each lost or void
    Any,
};

enum class ExitRule : std::uint8_t {
    Zero,        // the manager exits 0
    FailsIfCut,  // it exits non-zero exactly when fewer games than planned got a result
    Any,
};

struct Expectation {
    std::string scenario;
    std::optional<Protocol> protocol;  // absent: any
    std::optional<Limit> limit;        // absent: any
    Stance stance = Stance::Expect;
    GamesRule games = GamesRule::Any;
    std::vector<Ending> endings;  // FaultyLoses: the endings allowed; empty allows any
    ExitRule exit = ExitRule::Any;
    std::optional<double> slack;  // at most this many seconds more than the control cell
    bool may_wait = false;        // the manager may still be waiting at the wall limit
    std::string reason;           // why, from the protocol documents
    int line = 0;                 // in the table's text
};

// Reads the table; an error names the line and what is wrong with it.
Checked<std::vector<Expectation>> parse_expectations(std::string_view text);

// The first row for the cell's scenario, protocol and limit; null when there is none.
const Expectation* find_expectation(const std::vector<Expectation>& table, const Cell& cell);

// The table built into the program.
std::string_view builtin_expectations();

}  // namespace pawnlark::audit
