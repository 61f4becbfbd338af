#pragma once

// The audit's matrix: every way the faulty engine misbehaves, crossed with the protocols and
// move limits a manager can run it under.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pawnlark::audit {

enum class Protocol : std::uint8_t { Uci, Cecp };
enum class Limit : std::uint8_t { Clock, Nodes };

std::string_view name_of(Protocol protocol);  // "uci", "cecp"
std::string_view name_of(Limit limit);        // "clock", "nodes"

// Every per-ply fault fires from this ply on, in both games.
constexpr int FaultPly = 10;
// Each cell is one pair of games, colours swapped.
constexpr int GamesPerCell = 2;

// One way for the faulty engine to behave; the control behaves.
struct Scenario {
    std::string id;                             // "crash", "garble-null", ...
    std::string summary;                        // what the engine does, for the report
    std::vector<std::string> engine_arguments;  // added to the faulty engine's command line
    bool uci = true;
    bool cecp = true;
    bool under_nodes = false;  // also played under a node limit instead of a clock
    bool ponder = false;       // the manager is told to let the engines ponder
    bool chess960 = false;     // Chess960 games
    int exit_status = 0;       // the status the faulty engine ends with, on quit or by itself
};

// Every scenario, in report order; the control comes first.
const std::vector<Scenario>& all_scenarios();

// One scenario under one protocol and one limit.
struct Cell {
    const Scenario* scenario = nullptr;
    Protocol protocol = Protocol::Uci;
    Limit limit = Limit::Clock;

    std::string id() const;  // "crash/uci/nodes"
};

// What a manager kind can run besides UCI under a clock.
struct Capabilities {
    bool cecp = false;
    bool nodes = false;
};

// Every cell the manager can run, in report order (scenario, protocol, limit).
std::vector<Cell> full_matrix(const Capabilities& capabilities);

// True when the pattern "scenario[/protocol[/limit]]" names the cell; "*" matches any part.
bool cell_matches(const Cell& cell, std::string_view pattern);

}  // namespace pawnlark::audit
