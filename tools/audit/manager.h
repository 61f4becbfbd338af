#pragma once

// The managers the audit can drive, and the command line that plays one cell's pair of games
// under each.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/audit/scenario.h"

namespace pawnlark::audit {

enum class ManagerKind : std::uint8_t { Fastchess, Cutechess, Xboard, Custom };

std::optional<ManagerKind> manager_kind_named(std::string_view name);
std::string_view name_of(ManagerKind kind);

// The placeholders of a custom manager's command template. The first three are required.
constexpr std::string_view FaultyPlaceholder = "{faulty}";  // the faulty engine's command line
constexpr std::string_view NormalPlaceholder = "{normal}";  // the plain engine's command line
constexpr std::string_view PgnPlaceholder = "{pgn}";        // where the games are to be saved
constexpr std::string_view ClockPlaceholder = "{tc}";       // "2+0.02": seconds + increment
constexpr std::string_view ProtoPlaceholder = "{proto}";    // "uci" or "cecp"

// What the audit gives fastchess's -ping-ms, its wait for readyok (default 60 s): a stalled
// engine then holds its game for seconds, not minutes, and the audit still sees the wait.
constexpr std::string_view FastchessPingMs = "5000";

// Everything the command lines are made of.
struct Setup {
    ManagerKind kind = ManagerKind::Custom;
    std::string manager;           // the manager's program (custom: unused)
    std::string command_template;  // custom: run by /bin/sh with the placeholders replaced
    std::string engine;            // pawnlark
    std::string polyglot;          // xboard's adapter for UCI engines
    std::string xvfb_run;          // xboard's virtual display
    double clock_seconds = 2;
    double increment_seconds = 0.02;
    int nodes = 1000;
};

// What the kind can run besides UCI under a clock: CECP (a custom template only with
// {proto}), a node limit (fastchess and cutechess).
Capabilities capabilities_of(const Setup& setup);

// "2+0.02".
std::string clock_text(const Setup& setup);

// Where one cell's files go: all in one directory of its own.
struct CellFiles {
    std::string directory;
    std::string pgn;       // the games, as the manager saves them
    std::string openings;  // a Chess960 start position, for the managers that need one
};
CellFiles cell_files(const std::string& directory);

// The argument list of one engine, program first; `faulty` adds the scenario's fault.
std::vector<std::string> engine_command(const Setup& setup, const Cell& cell, bool faulty);

struct ManagerCommand {
    std::vector<std::string> arguments;  // program (a path) first
    // The manager does not end after its games (xboard): the audit stops it once the PGN file
    // holds every game.
    bool runs_until_stopped = false;
    // Text the cell's files need before the run: the openings file's contents, if any.
    std::string openings;
};

// `display` is a free X display number for xboard's virtual display.
ManagerCommand manager_command(const Setup& setup, const Cell& cell, const CellFiles& files,
                               int display);

// The arguments as one line a POSIX shell reads back as the same arguments.
std::string shell_line(const std::vector<std::string>& arguments);
std::string shell_quote(std::string_view word);

// The placeholders a template lacks, of the required ones.
std::vector<std::string_view> missing_placeholders(std::string_view command_template);

}  // namespace pawnlark::audit
