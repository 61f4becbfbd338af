#include "tools/audit/judge.h"

#include <algorithm>
#include <cmath>

namespace pawnlark::audit {
namespace {

std::string seconds_text(double seconds) {
    const long tenths = std::lround(seconds * 10);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

std::string exit_text(const CellRun& run) {
    if (!run.failure.empty()) return "not started";
    if (run.silent) return "hung, silent for " + seconds_text(run.silence_seconds) + ", stopped";
    if (run.hung) return "hung, stopped at the wall limit";
    if (run.stopped_by_audit) return "stopped after the games";
    if (run.signal) return "killed by signal " + std::to_string(*run.signal);
    return "exit " + std::to_string(run.exit_code.value_or(-1));
}

int completed_games(const CellRun& run) {
    return static_cast<int>(std::count_if(run.games.begin(), run.games.end(),
                                          [](const GameRecord& g) { return g.result != "*"; }));
}

void check_games(const Expectation& expectation, const CellRun& run,
                 std::vector<std::string>& problems) {
    switch (expectation.games) {
        case GamesRule::Rules: {
            if (!run.hung && completed_games(run) < GamesPerCell) {
                problems.push_back(std::to_string(completed_games(run)) + " of "
                                   + std::to_string(GamesPerCell)
                                   + " games got a result; both were to be played normally");
            }
            for (const GameRecord& game : run.games) {
                const Ending ending = classify(game);
                if (ending != Ending::Rules && ending != Ending::Resign) {
                    problems.push_back("a normal game was expected, but it ended " + describe(game)
                                       + " (" + std::string(name_of(ending)) + ")");
                }
            }
            return;
        }
        case GamesRule::FaultyLoses: {
            if (run.games.empty() && !run.hung) {
                problems.push_back("no game result was reported; the faulty engine was to lose");
            }
            for (const GameRecord& game : run.games) {
                const Ending ending = classify(game);
                if (faulty_score(game) != Score::Lost) {
                    problems.push_back("the faulty engine was to lose, but the game ended "
                                       + describe(game));
                } else if (!expectation.endings.empty()
                           && std::find(expectation.endings.begin(), expectation.endings.end(),
                                        ending)
                                  == expectation.endings.end()) {
                    std::string allowed;
                    for (const Ending e : expectation.endings) {
                        allowed += (allowed.empty() ? "" : " or ") + std::string(name_of(e));
                    }
                    problems.push_back("the faulty engine lost by " + std::string(name_of(ending))
                                       + ", not by " + allowed + ": " + describe(game));
                }
            }
            return;
        }
        case GamesRule::Unplayed:
            for (const GameRecord& game : run.games) {
                const Score score = faulty_score(game);
                if (score == Score::Won || score == Score::Drawn) {
                    problems.push_back("the faulty engine was not to play, but the game ended "
                                       + describe(game));
                }
            }
            return;
        case GamesRule::Any:
            return;
    }
}

void check_exit(const Expectation& expectation, const CellRun& run,
                std::vector<std::string>& problems) {
    if (run.hung || run.stopped_by_audit || !run.failure.empty()) return;
    const bool failed = run.exit_code != 0;
    const int completed = completed_games(run);
    switch (expectation.exit) {
        case ExitRule::Zero:
            if (failed) problems.push_back("the manager ended with " + exit_text(run));
            return;
        case ExitRule::FailsIfCut:
            // Success after a cut is a finding in every row (check_always).
            if (completed == GamesPerCell && failed) {
                problems.push_back("the manager ended with " + exit_text(run)
                                   + " though every game got a result");
            }
            return;
        case ExitRule::Any:
            return;
    }
}

bool spoiled(const GameRecord& game) {
    const Ending ending = classify(game);
    return ending != Ending::Rules && ending != Ending::Resign;
}

// The findings of every row: success after a cut, a spoiled game scored late, an engine's end
// logged wrong.
void check_always(const CellRun& run, const Yardsticks& yardsticks,
                  std::vector<std::string>& problems) {
    const int completed = completed_games(run);
    if (!run.hung && !run.stopped_by_audit && run.failure.empty() && run.exit_code == 0
        && completed < GamesPerCell) {
        problems.push_back("the manager exited 0 though only " + std::to_string(completed) + " of "
                           + std::to_string(GamesPerCell) + " games got a result");
    }
    for (std::size_t i = 0; yardsticks.game_limit && i < run.games.size(); ++i) {
        if (i >= run.game_ends.size() || !spoiled(run.games[i])) continue;
        const double took = run.game_ends[i] - (i == 0 ? 0.0 : run.game_ends[i - 1]);
        if (took > *yardsticks.game_limit) {
            problems.push_back("game " + std::to_string(i + 1) + " (" + describe(run.games[i])
                               + ") ended " + seconds_text(took)
                               + " after the one before it (or the start): a game the fault "
                                 "spoils is to end within the faulty side's clock plus a margin, "
                               + seconds_text(*yardsticks.game_limit));
        }
    }
    for (const LoggedExit& logged : run.logged_exits) {
        const bool faulty = logged.engine == "faulty";
        if (!logged.status || (!faulty && logged.engine != "normal")) continue;
        const int status = faulty ? yardsticks.faulty_exit_status : 0;
        if (*logged.status != status) {
            problems.push_back("the manager's log gives the "
                               + std::string(faulty ? "faulty" : "plain")
                               + " engine's exit status as " + std::to_string(*logged.status)
                               + ", but it exits with " + std::to_string(status));
        }
    }
}

// A manager that could not start, hung, or left engines running.
void check_process(const Expectation& expectation, const CellRun& run,
                   std::vector<std::string>& problems) {
    if (!run.failure.empty()) {
        problems.push_back("the manager could not be started: " + run.failure);
    }
    if (run.hung && !expectation.may_wait) {
        problems.push_back(run.silent ? "the manager hung: it wrote nothing for "
                                            + seconds_text(run.silence_seconds)
                                            + " while no game ended (stopped after "
                                            + seconds_text(run.wall_seconds) + ")"
                                      : "the manager hung: still running at the wall limit after "
                                            + seconds_text(run.wall_seconds));
    }
    if (!run.leftovers.empty()) {
        std::string list;
        for (const std::string& process : run.leftovers) {
            list += (list.empty() ? "" : "; ") + process;
        }
        problems.push_back("engine processes were left running after the manager ended: " + list);
    }
}

// A game charged to the plain engine, by its result or by the manager's words.
void check_blame(const CellRun& run, std::vector<std::string>& problems) {
    for (const GameRecord& game : run.games) {
        const Ending ending = classify(game);
        const std::optional<bool> white = faulty_is_white(game);
        const bool plain_lost = white.has_value() && faulty_score(game) == Score::Won;
        if (plain_lost && ending != Ending::Rules && ending != Ending::Resign) {
            problems.push_back("the plain engine, which follows the protocol, was scored a loss: "
                               + describe(game));
        } else if (white.has_value() && ending != Ending::Rules && ending != Ending::Void
                   && ending != Ending::Unknown && blamed_side(game.reason) == !*white) {
            problems.push_back("the manager's words blame the plain engine's side: "
                               + describe(game));
        }
    }
}

// What happened, in one line (the summary) and in a few words (the outcome).
void describe_run(const CellRun& run, Judgement& judgement) {
    std::string games;
    for (const GameRecord& game : run.games) games += (games.empty() ? "" : "; ") + describe(game);
    std::string outcome;
    for (std::size_t i = 0; i < run.games.size();) {
        // Runs of equal games are counted: "2x lost on time".
        const std::string text = short_game(run.games[i]);
        std::size_t same = 1;
        while (i + same < run.games.size() && short_game(run.games[i + same]) == text) ++same;
        outcome += (outcome.empty() ? "" : ", ")
                   + (same > 1 ? std::to_string(same) + "x " : std::string()) + text;
        i += same;
    }
    if (run.games.empty()) {
        games = "no game reported";
        outcome = "no game";
    }
    judgement.summary = games + "; " + exit_text(run) + "; " + seconds_text(run.wall_seconds);
    if (run.hung) {
        outcome += ", hung";
    } else if (!run.leftovers.empty()) {
        outcome += ", engine left running";
    } else if (!run.stopped_by_audit && run.failure.empty() && run.exit_code != 0) {
        outcome += ", " + exit_text(run);
    }
    judgement.outcome = outcome;
}

}  // namespace

std::string_view name_of(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return "ok";
        case Verdict::Finding:
            return "finding";
        case Verdict::Open:
            return "open";
    }
    return "open";
}

Judgement judge(const Expectation& expectation, const CellRun& run, const Yardsticks& yardsticks) {
    Judgement judgement;
    std::vector<std::string>& problems = judgement.problems;
    const std::optional<double>& control_wall = yardsticks.control_wall;

    check_process(expectation, run, problems);
    check_always(run, yardsticks, problems);
    check_blame(run, problems);
    if (expectation.stance == Stance::Expect) {
        check_games(expectation, run, problems);
        check_exit(expectation, run, problems);
        if (expectation.slack && control_wall && !run.hung
            && run.wall_seconds > *control_wall + *expectation.slack) {
            problems.push_back("the run took " + seconds_text(run.wall_seconds) + ", "
                               + seconds_text(run.wall_seconds - *control_wall)
                               + " more than the control (at most "
                               + seconds_text(*expectation.slack) + " more expected)");
        }
    }

    describe_run(run, judgement);
    if (!problems.empty()) {
        judgement.verdict = Verdict::Finding;
        judgement.finding_runs = 1;
    } else {
        judgement.verdict = expectation.stance == Stance::Open ? Verdict::Open : Verdict::Ok;
    }
    return judgement;
}

Judgement combine_runs(const std::vector<Judgement>& runs) {
    if (runs.size() <= 1) return runs.empty() ? Judgement{} : runs.front();
    const std::string of = " of " + std::to_string(runs.size());
    std::vector<const Judgement*> findings;
    for (const Judgement& run : runs) {
        if (run.verdict == Verdict::Finding) findings.push_back(&run);
    }
    Judgement combined = findings.empty() ? runs.front() : *findings.front();
    combined.runs = static_cast<int>(runs.size());
    combined.finding_runs = static_cast<int>(findings.size());
    if (!findings.empty()) {
        combined.problems.clear();
        for (const Judgement* finding : findings) {
            for (const std::string& problem : finding->problems) {
                if (std::find(combined.problems.begin(), combined.problems.end(), problem)
                    == combined.problems.end()) {
                    combined.problems.push_back(problem);
                }
            }
        }
        combined.summary = "run " + std::to_string(findings.front() - runs.data() + 1) + of + ": "
                           + findings.front()->summary;
        return combined;
    }
    std::vector<std::pair<std::string, int>> outcomes;
    for (const Judgement& run : runs) {
        auto same = std::find_if(outcomes.begin(), outcomes.end(),
                                 [&](const auto& seen) { return seen.first == run.outcome; });
        if (same == outcomes.end()) {
            outcomes.emplace_back(run.outcome, 1);
        } else {
            ++same->second;
        }
    }
    combined.outcome.clear();
    for (const auto& [outcome, times] : outcomes) {
        if (!combined.outcome.empty()) combined.outcome += "; ";
        combined.outcome += outcome;
        combined.outcome += " (" + std::to_string(times) + of + ")";
    }
    return combined;
}

}  // namespace pawnlark::audit
