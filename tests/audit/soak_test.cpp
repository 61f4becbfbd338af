// The soak run's judge against soak runs recorded from the real fastchess and cutechess-cli
// (chaos 100, twelve games two at once), and the program against a scripted manager that
// drops a result or never ends.

#include "tools/audit/soak.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "tools/audit/games.h"
#include "tools/audit/soak_run.h"

namespace pawnlark::audit {
namespace {

namespace fs = std::filesystem;

std::string fixture_at(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string fixture(const std::string& name) {
    return fixture_at(fs::path(AUDIT_FIXTURE_DIR) / name);
}

// A recorded run: the manager's output, its PGN file and the engine's notes.
SoakRun recorded(const std::string& manager, const std::string& notes_file) {
    const std::string out = fixture("soak_" + manager + ".out");
    SoakRun soak;
    soak.games_asked = 12;
    soak.run.exit_code = 0;
    soak.run.games = parse_finished_lines(out);
    soak.started = parse_started_games(out);
    soak.pgn = parse_pgn(fixture("soak_" + manager + ".pgn"));
    soak.notes = parse_chaos_notes(fixture(notes_file));
    soak.final_tally = parse_final_tally(out);
    return soak;
}

std::string problems(const SoakJudgement& judgement) {
    std::string text;
    for (const Departure& departure : judgement.departures) {
        text += std::to_string(departure.game) + ": " + departure.problem + "\n";
    }
    return text;
}

bool has_problem(const SoakJudgement& judgement, int game, const std::string& words) {
    for (const Departure& departure : judgement.departures) {
        if (departure.game == game && departure.problem.find(words) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(SoakJudge, RecordedRunsOfBothManagersHaveEveryFaultInItsGame) {
    const SoakRun cutechess = recorded("cutechess", "soak_cutechess.err");
    const SoakRun fastchess = recorded("fastchess", "soak_fastchess.log");
    ASSERT_EQ(cutechess.notes.size(), 13U);
    ASSERT_EQ(fastchess.notes.size(), 11U);  // from fastchess's log lines
    EXPECT_EQ(cutechess.notes.back(), (ChaosNote{"crash", 110}));
    EXPECT_EQ(cutechess.final_tally, (Tally{1, 11, 0}));
    EXPECT_EQ(cutechess.final_tally, tally_of(cutechess.pgn));
    EXPECT_EQ(fastchess.final_tally, tally_of(fastchess.pgn));

    const SoakJudgement cute = judge_soak(cutechess);
    EXPECT_TRUE(cute.departures.empty()) << problems(cute);
    // Each fault that spoils its game found its game, by ply, colour and ending: the crash at
    // ply 110 (Black to move) is game 12, "Black disconnects" after 109 moves.
    EXPECT_EQ(cute.spoiled.size(), 10U);
    bool crash_found = false;
    for (const SpoiledGame& game : cute.spoiled) {
        const std::optional<FaultEffect> effect = effect_of(game.fault.fault);
        ASSERT_TRUE(effect);
        EXPECT_NE(std::find(effect->endings.begin(), effect->endings.end(), game.ending),
                  effect->endings.end());
        if (game.fault.fault == "crash") crash_found = game.game == 12;
    }
    EXPECT_TRUE(crash_found);
    EXPECT_EQ(cute.games[11].moves.size(), 109U);

    const SoakJudgement fast = judge_soak(fastchess);
    EXPECT_TRUE(fast.departures.empty()) << problems(fast);
    EXPECT_EQ(fast.spoiled.size(), 9U);
    EXPECT_GT(fast.plies, 200);
}

TEST(SoakJudge, DeparturesOfARunAreFound) {
    SoakRun soak = recorded("cutechess", "soak_cutechess.err");
    // Game 5's result is lost, and its PGN game; game 2 is charged to the plain engine; game 1
    // is lost on time with no fault to explain it.
    std::erase_if(soak.run.games, [](const GameRecord& game) { return game.number == 5; });
    std::erase_if(soak.pgn,
                  [](const GameRecord& game) { return game.round == 3 && game.white == "faulty"; });
    for (GameRecord& game : soak.run.games) {
        if (game.number == 1) game.reason = "White loses on time";
        if (game.number == 2) game.reason = "White disconnects";
    }
    // Game 6 (noeol, then 15 s of cutechess's idle timer) took 16 s.
    soak.run.game_starts.assign(soak.started.size(), 0);
    soak.run.game_ends.assign(soak.run.games.size(), 1);
    for (std::size_t i = 0; i < soak.run.games.size(); ++i) {
        if (soak.run.games[i].number == 6) soak.run.game_ends[i] = 16;
    }
    const SoakJudgement judgement = judge_soak(soak);
    EXPECT_TRUE(has_problem(judgement, 0, "exited 0 though only 11 of 12 games"))
        << problems(judgement);
    EXPECT_TRUE(has_problem(judgement, 5, "never got a result"));
    EXPECT_TRUE(has_problem(judgement, 0, "final score is not the score of its PGN"));
    EXPECT_TRUE(has_problem(judgement, 2, "plain engine was charged"));
    EXPECT_TRUE(has_problem(judgement, 1, "the engine announced no fault that ends a game so"));
    EXPECT_TRUE(has_problem(judgement, 6, "it took 16 s"));
    // Game 5 was the garble that made White's move illegal: that fault now has no game.
    EXPECT_TRUE(has_problem(judgement, 0, "chaos fired garble-empty at ply 21, but no game"));
    for (const Departure& departure : judgement.departures) {
        if (departure.game == 6) {
            EXPECT_EQ(departure.fault, (ChaosNote{"garble-noeol", 20}));
        }
    }
}

TEST(SoakJudge, ManagerKilledMidMatchIsOneDeparture) {
    // As fastchess once was, by SIGPIPE: it wrote to an engine that had just crashed after its
    // answer. Its unfinished games and their faults are not held against it.
    SoakRun killed = recorded("cutechess", "soak_cutechess.err");
    killed.run.exit_code.reset();
    killed.run.signal = SIGPIPE;
    killed.run.games.resize(6);
    const SoakJudgement judgement = judge_soak(killed);
    ASSERT_EQ(judgement.departures.size(), 1U) << problems(judgement);
    EXPECT_TRUE(has_problem(judgement, 0, "killed by a signal"));
    EXPECT_NE(judgement.departures[0].recorded.find("signal 13 (Broken pipe) after 6 of 12"),
              std::string::npos)
        << judgement.departures[0].recorded;
}

TEST(SoakJudge, ReplayPlaysTheGameFromTheMovesBeforeItsFault) {
    Options options;
    options.setup.kind = ManagerKind::Fastchess;
    options.setup.manager = "/opt/fastchess";
    options.setup.engine = "/opt/pawnlark";
    GameRecord game;
    game.number = 2;
    game.white = "normal";
    game.black = "faulty";
    game.moves = {"e4", "e5", "Nf3"};
    const fs::path opening = fs::temp_directory_path() / "pawnlark-replay-game-2.pgn";
    const Departure departure{2, ChaosNote{"crash", 4}, "", ""};
    const std::string command = replay_command(options, departure, {game}, opening.string());
    // The plain engine is White, the faulty one crashes at its first move, ply 4.
    EXPECT_NE(command.find("name=normal 'args=--name normal' -engine cmd=/opt/pawnlark "
                           "name=faulty 'args=--name faulty --crash-at-ply 4'"),
              std::string::npos)
        << command;
    EXPECT_NE(command.find("-openings file=" + opening.string()), std::string::npos) << command;
    EXPECT_NE(command.find("-games 1 -recover"), std::string::npos) << command;
    EXPECT_NE(fixture_at(opening).find("\n1. e4 e5 2. Nf3 *"), std::string::npos);
    fs::remove(opening);
    // A game the PGN lacks cannot be replayed.
    EXPECT_EQ(replay_command(options, {3, std::nullopt, "", ""}, {game}, opening.string()), "");
}

TEST(SoakJudge, ManagerOutputsAreRead) {
    EXPECT_EQ(parse_final_tally("Score of faulty vs normal: 0 - 1 - 0  [0.000] 1\n"
                                "Score of faulty vs normal: 3 - 5 - 2  [0.400] 10\n"),
              (Tally{3, 5, 2}));
    EXPECT_EQ(parse_final_tally("Games: 994, Wins: 71, Losses: 728, Draws: 195, Points: 168.5\n"),
              (Tally{71, 728, 195}));
    EXPECT_FALSE(parse_final_tally("Finished match\n"));
    EXPECT_EQ(parse_started_games("Started game 2 of 12 (normal vs faulty)\nnoise\n"
                                  "Started game 1 of 12 (faulty vs normal)\n"),
              (std::vector<int>{2, 1}));
    EXPECT_EQ(parse_pgn("[Round \"3\"]\n[White \"a\"]\n[Black \"b\"]\n[Result \"*\"]\n\n"
                        "1. e4 {+0.25/1} e5 2.Nf3 $1 Nc6 3... a6 *\n")
                  .front()
                  .moves,
              (std::vector<std::string>{"e4", "e5", "Nf3", "Nc6", "a6"}));
}

// The program under the scripted manager, which plays as the mode says.
std::string soak_with(const std::string& mode, std::optional<int>& exit_code) {
    const fs::path out = fs::temp_directory_path() / ("pawnlark-soak-" + mode);
    fs::remove_all(out);
    support::ProcessRun run;
    run.program = "/usr/bin/env";
    run.arguments = {"SOAK_MANAGER_MODE=" + mode,
                     PAWNLARK_AUDIT,
                     "--manager",
                     "fastchess",
                     "--path",
                     SOAK_MANAGER,
                     "--engine",
                     PAWNLARK_BINARY,
                     "--soak",
                     "4",
                     "--silence",
                     "2",
                     "--out",
                     out.string()};
    run.timeout = std::chrono::seconds(60);
    exit_code = support::run_process(run).exit_code;
    std::ifstream json_file(out / "soak.json");
    std::string json{std::istreambuf_iterator<char>(json_file), {}};
    fs::remove_all(out);
    return json;
}

TEST(AuditSoak, ScriptedManagerThatDropsAResultOrNeverEndsIsCaught) {
    std::optional<int> status;
    const std::string sound = soak_with("sound", status);
    EXPECT_EQ(status, 0) << sound;
    EXPECT_NE(sound.find("\"faults_fired\": {\"crash\": 1}"), std::string::npos) << sound;
    EXPECT_NE(sound.find("\"departures\": []"), std::string::npos) << sound;

    const std::string dropped = soak_with("drop", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(dropped.find("game 3 was started but never got a result"), std::string::npos)
        << dropped;
    EXPECT_NE(dropped.find("exited 0 though only 3 of 4 games"), std::string::npos);

    const std::string hung = soak_with("hang", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(hung.find("the manager hung: it wrote nothing for 2 s"), std::string::npos) << hung;
}

}  // namespace
}  // namespace pawnlark::audit
