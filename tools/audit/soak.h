#pragma once

// Judging a soak run: one long match between a chaos pawnlark ("faulty") and a plain one
// ("normal"), many games at once, checked game by game against the faults chaos announced.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/audit/games.h"
#include "tools/audit/judge.h"

namespace pawnlark::audit {

// One fault chaos fired, as the engine announces it on standard error.
struct ChaosNote {
    std::string fault;  // "stall", "garble-noeol", ...
    int ply = 0;        // 0 at the handshake

    friend bool operator==(const ChaosNote&, const ChaosNote&) = default;
};

// The notes in a text ("pawnlark: chaos: stall at ply 23" anywhere in a line), in order.
std::vector<ChaosNote> parse_chaos_notes(std::string_view text);

// The numbers of the games a manager started ("Started game 12 of 200 (faulty vs normal)").
std::vector<int> parse_started_games(std::string_view text);

// Wins, losses and draws of the faulty engine.
struct Tally {
    int wins = 0;
    int losses = 0;
    int draws = 0;

    friend bool operator==(const Tally&, const Tally&) = default;
};
std::string tally_text(const Tally& tally);  // "12-30-8" (wins-losses-draws)

// The manager's final score, from the faulty engine's side: fastchess's "Games: 8, Wins: 1,
// Losses: 7, Draws: 0", else cutechess-cli's last "Score of faulty vs normal: 1 - 5 - 2".
std::optional<Tally> parse_final_tally(std::string_view output);

// The faulty engine's score over the games that have a result.
Tally tally_of(const std::vector<GameRecord>& games);

// How a game a fault fired in may end. A fault that spoils its game always ends it, in one of
// the endings; one that need not (a flood, a trailing word) may end it in one of them.
struct FaultEffect {
    std::vector<Ending> endings;
    bool spoils = true;
};
std::optional<FaultEffect> effect_of(std::string_view fault);

// Everything a soak run gave.
struct SoakRun {
    int games_asked = 0;
    // The manager's run; its games are the finished ones, with the PGN's moves where the file
    // has them.
    CellRun run;
    std::vector<int> started;      // the numbers of the games started, in order
    std::vector<GameRecord> pgn;   // the PGN file's games
    std::vector<ChaosNote> notes;  // in the order the engines wrote them
    std::optional<Tally> final_tally;
    double clock_seconds = 1;
    double increment_seconds = 0.01;
    double verdict_margin_seconds = 10;
};

// The finished games, numbered, each with the moves of its PGN game: the PGN game of round R
// with the faulty engine as White is game 2R-1, the other game 2R.
std::vector<GameRecord> number_games(const std::vector<GameRecord>& finished,
                                     const std::vector<GameRecord>& pgn);

// One thing the manager did wrong.
struct Departure {
    int game = 0;                    // 0: the run as a whole
    std::optional<ChaosNote> fault;  // the chaos fault it concerns
    std::string recorded;            // what the manager recorded
    std::string problem;             // what is wrong, one sentence
};

// A game chaos spoiled, with the fault that did.
struct SpoiledGame {
    int game = 0;
    ChaosNote fault;
    Ending ending = Ending::Unknown;
};

struct SoakJudgement {
    std::vector<Departure> departures;
    std::vector<SpoiledGame> spoiled;
    std::vector<GameRecord> games;  // the finished games, numbered
    int plies = 0;                  // in the PGN's games
};

SoakJudgement judge_soak(const SoakRun& soak);

}  // namespace pawnlark::audit
