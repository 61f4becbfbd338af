#include "tools/audit/soak.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "tools/audit/faulty_side.h"

namespace pawnlark::audit {
namespace {

int number_at(std::string_view text, std::size_t at) {
    int value = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    std::from_chars(text.data() + at, text.data() + text.size(), value);
    return value;
}

// Calls `visit` with every line of the text.
template <typename Visit>
void for_each_line(std::string_view text, Visit visit) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        visit(text.substr(0, end));
        text = end == std::string_view::npos ? "" : text.substr(end + 1);
    }
}

// "game 12, faulty Black: 1-0 {Black disconnects}".
std::string recorded_text(const GameRecord& game) {
    return "game " + std::to_string(game.number) + ", " + describe(game);
}

std::string endings_text(const std::vector<Ending>& endings) {
    std::string text;
    for (const Ending ending : endings) {
        text += (text.empty() ? "" : " or ") + std::string(name_of(ending));
    }
    return text;
}

bool is_normal(Ending ending) { return ending == Ending::Rules || ending == Ending::Resign; }

// What one finished game is, for matching it to the faults.
struct Game {
    const GameRecord* record = nullptr;
    Ending ending = Ending::Unknown;
    std::optional<bool> faulty_white;
    bool matched = false;
};

// Whether the fault at `note` can be what ended the game: the faulty engine was to move at its
// ply, and the game's moves (when the PGN has them) stop there, give or take the move a crash
// after the answer lets through and the turn after it.
bool fits(const ChaosNote& note, const Game& game, const std::vector<Ending>& endings) {
    if (game.matched || std::find(endings.begin(), endings.end(), game.ending) == endings.end()) {
        return false;
    }
    if (note.ply == 0) return true;  // the handshake: any game of the engine
    if (game.faulty_white && *game.faulty_white != (note.ply % 2 == 1)) return false;
    if (game.record->moves.empty()) return true;  // not in the PGN: no moves to hold it to
    const auto plies = static_cast<int>(game.record->moves.size());
    return plies >= note.ply - 1 && plies <= note.ply + 1;
}

Game* find_game(std::vector<Game>& games, const ChaosNote& note,
                const std::vector<Ending>& endings) {
    for (Game& game : games) {
        if (fits(note, game, endings)) return &game;
    }
    return nullptr;
}

// A crash after the answer whose move ended the game by the rules: its game is the one whose
// last move was the faulty engine's at the fault's ply.
Game* ended_by_its_move(std::vector<Game>& games, const ChaosNote& note) {
    for (Game& game : games) {
        if (!game.matched && is_normal(game.ending) && game.faulty_white
            && *game.faulty_white == (note.ply % 2 == 1)
            && game.record->moves.size() == static_cast<std::size_t>(note.ply)) {
            return &game;
        }
    }
    return nullptr;
}

// A manager that did not end by itself (hung, or killed by a signal) leaves games unfinished:
// without results, their faults without a game to end, its score not final.
bool ended_by_itself(const CellRun& run) { return !run.hung && run.exit_code.has_value(); }

void check_run(const SoakRun& soak, const std::vector<GameRecord>& games,
               std::vector<Departure>& departures) {
    const CellRun& run = soak.run;
    const auto add = [&](std::string recorded, std::string problem) {
        departures.push_back({0, std::nullopt, std::move(recorded), std::move(problem)});
    };
    const int finished = static_cast<int>(std::count_if(
        games.begin(), games.end(), [](const GameRecord& g) { return g.result != "*"; }));
    const std::string progress =
        std::to_string(finished) + " of " + std::to_string(soak.games_asked) + " games";
    if (!run.failure.empty()) {
        add("not started", "the manager could not be started: " + run.failure);
    }
    if (run.silent) {
        add("silent after " + progress, "the manager hung: it wrote nothing for "
                                            + std::to_string(std::lround(run.silence_seconds))
                                            + " s while no game ended, and was stopped");
    } else if (run.hung) {
        add("running after " + progress, "the manager hung: still running at the wall limit");
    }
    if (run.signal) {
        const int signal = *run.signal;
        add("killed by signal " + std::to_string(signal) + " (" + ::strsignal(signal) + ") after "
                + progress,
            "the manager was killed by a signal before the match was over");
    } else if (!run.hung && run.failure.empty()) {
        const int status = run.exit_code.value_or(-1);
        if (finished < soak.games_asked && status == 0) {
            add("exit 0 after " + progress,
                "it exited 0 though only " + progress + " got a result: a script takes it for a "
                "complete match");
        } else if (finished < soak.games_asked) {
            add("exit " + std::to_string(status) + " after " + progress,
                "the match stopped early though the manager was asked to recover");
        } else if (status != 0) {
            add("exit " + std::to_string(status), "a complete match ended with a failure status");
        }
    }
    std::set<int> done;
    for (const GameRecord& game : games) done.insert(game.number);
    for (const int number : soak.started) {
        if (done.count(number) == 0 && ended_by_itself(run)) {
            departures.push_back(
                {number, std::nullopt, "started, no result",
                 "game " + std::to_string(number) + " was started but never got a result"});
        }
    }
    for (const std::string& leftover : run.leftovers) {
        add(leftover, "an engine was left running after the manager ended");
    }
    if (soak.final_tally && ended_by_itself(run)) {
        const Tally pgn = tally_of(soak.pgn);
        if (*soak.final_tally != pgn) {
            add("final score " + tally_text(*soak.final_tally) + ", PGN " + tally_text(pgn) + " ("
                    + std::to_string(soak.pgn.size()) + " games)",
                "the manager's final score is not the score of its PGN file");
        }
    }
}

// A game longer than both clocks and every increment allow, plus the margin; a spoiled game
// names its fault.
void check_durations(const SoakRun& soak, const std::vector<GameRecord>& games,
                     const std::vector<SpoiledGame>& spoiled, std::vector<Departure>& departures) {
    std::map<int, ChaosNote> faults;
    for (const SpoiledGame& game : spoiled) faults[game.game] = game.fault;
    std::map<int, double> starts;
    for (std::size_t i = 0; i < soak.started.size() && i < soak.run.game_starts.size(); ++i) {
        starts[soak.started[i]] = soak.run.game_starts[i];
    }
    for (std::size_t i = 0; i < games.size() && i < soak.run.game_ends.size(); ++i) {
        const auto start = starts.find(games[i].number);
        if (start == starts.end()) continue;
        const double took = soak.run.game_ends[i] - start->second;
        const double allowed =
            2 * soak.clock_seconds
            + static_cast<double>(games[i].moves.size() + 2) * soak.increment_seconds
            + soak.verdict_margin_seconds;
        if (took > allowed) {
            const auto fault = faults.find(games[i].number);
            departures.push_back(
                {games[i].number,
                 fault == faults.end() ? std::nullopt : std::optional(fault->second),
                 recorded_text(games[i]),
                 "it took " + std::to_string(std::lround(took))
                     + " s; the clocks and the margin allow " + std::to_string(std::lround(allowed))
                     + " s"});
        }
    }
}

}  // namespace

std::vector<ChaosNote> parse_chaos_notes(std::string_view text) {
    constexpr std::string_view Start = "pawnlark: chaos: ";
    constexpr std::string_view At = " at ply ";
    std::vector<ChaosNote> notes;
    for_each_line(text, [&](std::string_view line) {
        const std::size_t start = line.find(Start);
        if (start == std::string_view::npos) return;
        const std::string_view rest = line.substr(start + Start.size());
        const std::size_t at = rest.find(At);
        if (at == std::string_view::npos) return;
        notes.push_back({std::string(rest.substr(0, at)), number_at(rest, at + At.size())});
    });
    return notes;
}

std::vector<int> parse_started_games(std::string_view text) {
    constexpr std::string_view Start = "Started game ";
    std::vector<int> numbers;
    for_each_line(text, [&](std::string_view line) {
        const std::size_t start = line.find(Start);
        if (start != std::string_view::npos) {
            numbers.push_back(number_at(line, start + Start.size()));
        }
    });
    return numbers;
}

std::string tally_text(const Tally& tally) {
    return std::to_string(tally.wins) + "-" + std::to_string(tally.losses) + "-"
           + std::to_string(tally.draws);
}

std::optional<Tally> parse_final_tally(std::string_view output) {
    std::optional<Tally> tally;
    for_each_line(output, [&](std::string_view line) {
        const std::size_t wins = line.find("Wins: ");
        const std::size_t losses = line.find("Losses: ");
        const std::size_t draws = line.find("Draws: ");
        if (line.starts_with("Games: ") && wins != std::string_view::npos
            && losses != std::string_view::npos && draws != std::string_view::npos) {
            tally = Tally{number_at(line, wins + 6), number_at(line, losses + 8),
                          number_at(line, draws + 7)};
            return;
        }
        const std::size_t colon = line.find(": ");
        if (!line.starts_with("Score of ") || colon == std::string_view::npos) return;
        const std::size_t first_dash = line.find(" - ", colon);
        const std::size_t second_dash =
            first_dash == std::string_view::npos ? first_dash : line.find(" - ", first_dash + 3);
        if (second_dash == std::string_view::npos) return;
        tally = Tally{number_at(line, colon + 2), number_at(line, first_dash + 3),
                      number_at(line, second_dash + 3)};
    });
    return tally;
}

Tally tally_of(const std::vector<GameRecord>& games) {
    Tally tally;
    for (const GameRecord& game : games) {
        switch (faulty_score(game)) {
            case Score::Won:
                ++tally.wins;
                break;
            case Score::Lost:
                ++tally.losses;
                break;
            case Score::Drawn:
                ++tally.draws;
                break;
            case Score::None:
                break;
        }
    }
    return tally;
}

std::optional<FaultEffect> effect_of(std::string_view fault) {
    using enum Ending;
    if (fault == "crash" || fault == "crash-after" || fault == "garble-noeol-exit") {
        return FaultEffect{{Disconnect}, true};
    }
    if (fault == "stall" || fault == "flag" || fault == "garble-noeol") {
        return FaultEffect{{Time, Stall}, true};
    }
    if (fault == "illegal" || fault == "garble-empty" || fault == "garble-null") {
        return FaultEffect{{Illegal}, true};
    }
    // King onto rook and a trailing word are legal UCI; a manager may still refuse them.
    if (fault == "garble-kxr" || fault == "garble-trailing") return FaultEffect{{Illegal}, false};
    // The lines of a flood cost the manager time it may charge to the engine's clock.
    if (fault == "flood") return FaultEffect{{Time}, false};
    if (fault == "ponder-premature") return FaultEffect{{}, false};
    if (fault.starts_with("handshake-")) return FaultEffect{{Disconnect, Stall, Time, Void}, false};
    return std::nullopt;
}

std::vector<GameRecord> number_games(const std::vector<GameRecord>& finished,
                                     const std::vector<GameRecord>& pgn) {
    std::map<int, const GameRecord*> by_number;
    for (const GameRecord& game : pgn) {
        const std::optional<bool> white = faulty_is_white(game);
        if (game.round > 0 && white) by_number[2 * game.round - (*white ? 1 : 0)] = &game;
    }
    std::vector<GameRecord> games = finished;
    for (GameRecord& game : games) {
        const auto found = by_number.find(game.number);
        if (found == by_number.end() || found->second->result != game.result) continue;
        game.round = found->second->round;
        game.termination = found->second->termination;
        game.moves = found->second->moves;
    }
    return games;
}

SoakJudgement judge_soak(const SoakRun& soak) {
    SoakJudgement judgement;
    judgement.games = number_games(soak.run.games, soak.pgn);
    for (const GameRecord& game : soak.pgn) judgement.plies += static_cast<int>(game.moves.size());
    check_run(soak, judgement.games, judgement.departures);

    std::vector<Game> games;
    for (const GameRecord& record : judgement.games) {
        Game game{&record, classify(record), faulty_is_white(record), false};
        if (!is_normal(game.ending) && game.faulty_white) {
            const std::optional<bool> blamed = blamed_side(record.reason);
            if (blamed && *blamed != *game.faulty_white) {
                judgement.departures.push_back(
                    {record.number, std::nullopt, recorded_text(record),
                     "the plain engine was charged with the end of the game"});
            }
        }
        games.push_back(game);
    }
    std::sort(games.begin(), games.end(),
              [](const Game& a, const Game& b) { return a.record->number < b.record->number; });

    // Faults that always spoil their game first, then the ones that may have.
    for (const bool spoiling : {true, false}) {
        for (const ChaosNote& note : soak.notes) {
            const std::optional<FaultEffect> effect = effect_of(note.fault);
            if (!effect || effect->spoils != spoiling) continue;
            Game* game = find_game(games, note, effect->endings);
            if (game == nullptr && note.fault == "crash-after")
                game = ended_by_its_move(games, note);
            if (game != nullptr) {
                game->matched = true;
                judgement.spoiled.push_back({game->record->number, note, game->ending});
            } else if (spoiling && ended_by_itself(soak.run)) {
                judgement.departures.push_back({0, note, "no such game",
                                                "chaos fired " + note.fault + " at ply "
                                                    + std::to_string(note.ply)
                                                    + ", but no game of the faulty engine ended by "
                                                    + endings_text(effect->endings) + " there"});
            }
        }
    }
    check_durations(soak, judgement.games, judgement.spoiled, judgement.departures);
    for (const Game& game : games) {
        if (game.matched || is_normal(game.ending)) continue;
        judgement.departures.push_back(
            {game.record->number, std::nullopt, recorded_text(*game.record),
             "it ended by " + std::string(name_of(game.ending))
                 + ", but the engine announced no fault that ends a game so"});
    }
    std::stable_sort(judgement.departures.begin(), judgement.departures.end(),
                     [](const Departure& a, const Departure& b) { return a.game < b.game; });
    return judgement;
}

}  // namespace pawnlark::audit
