// pawnlark-audit: judging against outputs recorded from fastchess and cutechess-cli (the
// fixtures follow their documented texts), the expectation table, the managers' command
// lines, and the program itself with bad input and with a scripted custom manager.

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"
#include "support/child_process.h"
#include "tools/audit/cli.h"
#include "tools/audit/expectations.h"
#include "tools/audit/games.h"
#include "tools/audit/judge.h"
#include "tools/audit/manager.h"
#include "tools/audit/manager_run.h"
#include "tools/audit/report.h"
#include "tools/audit/scenario.h"

namespace pawnlark::audit {
namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string& name) {
    std::ifstream file(std::string(AUDIT_FIXTURE_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

GameRecord record(std::string white, std::string black, std::string result, std::string termination,
                  std::string reason) {
    GameRecord game;
    game.white = std::move(white);
    game.black = std::move(black);
    game.result = std::move(result);
    game.termination = std::move(termination);
    game.reason = std::move(reason);
    return game;
}

const std::vector<Expectation>& builtin_table() {
    static const std::vector<Expectation> table =
        parse_expectations(builtin_expectations()).value();
    return table;
}

Cell cell_named(const std::string& id) {
    for (const Cell& cell : full_matrix({true, true})) {
        if (cell.id() == id) return cell;
    }
    ADD_FAILURE() << "no cell " << id;
    return {};
}

// One recorded run: the manager's output files, how it ended, and the verdict it deserves.
struct Recorded {
    std::string name;
    std::string cell;
    std::string out;  // fixture with its standard output
    std::string pgn;  // fixture with its PGN file, or empty
    std::optional<int> exit_code;
    bool hung;
    double wall;
    Verdict verdict;
    std::string problem;  // a text one of the problems must hold
};

void PrintTo(const Recorded& recorded, std::ostream* os) { *os << recorded.name; }

class AuditJudge : public testing::TestWithParam<Recorded> {};

TEST_P(AuditJudge, RecordedManagerOutputGetsItsVerdict) {
    const Recorded& recorded = GetParam();
    const Cell cell = cell_named(recorded.cell);
    CellRun run;
    run.games = merge_games(
        parse_finished_lines(fixture(recorded.out)),
        recorded.pgn.empty() ? std::vector<GameRecord>{} : parse_pgn(fixture(recorded.pgn)));
    run.exit_code = recorded.exit_code;
    run.hung = recorded.hung;
    run.wall_seconds = recorded.wall;
    const Expectation* expectation = find_expectation(builtin_table(), cell);
    ASSERT_NE(expectation, nullptr);
    const Judgement judgement =
        judge(*expectation, run, Yardsticks{2.5, std::nullopt, cell.scenario->exit_status});
    std::string problems;
    for (const std::string& problem : judgement.problems) problems += problem + "\n";
    EXPECT_EQ(judgement.verdict, recorded.verdict) << problems << judgement.summary;
    if (!recorded.problem.empty()) {
        EXPECT_NE(problems.find(recorded.problem), std::string::npos) << problems;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Managers, AuditJudge,
    testing::Values(
        // Right answers.
        Recorded{"fastchess_crash_stops_with_status_1", "crash/uci/clock", "fastchess_crash.out",
                 "fastchess_crash.pgn", 1, false, 3, Verdict::Ok, ""},
        Recorded{"cutechess_illegal_move", "illegal/uci/clock", "cutechess_illegal.out", "", 0,
                 false, 3, Verdict::Ok, ""},
        Recorded{"fastchess_flag", "flag/uci/clock", "fastchess_flag.out", "", 0, false, 6,
                 Verdict::Ok, ""},
        Recorded{"fastchess_control", "control/uci/clock", "fastchess_normal.out", "", 0, false, 3,
                 Verdict::Ok, ""},
        Recorded{"cutechess_false_claim_forfeits", "claim-win/cecp/clock", "empty.out",
                 "cutechess_claim.pgn", 0, false, 3, Verdict::Ok, ""},
        Recorded{"cutechess_kxr_accepted", "garble-kxr/uci/clock", "fastchess_normal.out", "", 0,
                 false, 3, Verdict::Open, ""},
        // The defects seen by hand.
        Recorded{"cutechess_exits_0_after_a_crash", "crash/uci/clock", "cutechess_crash.out",
                 "cutechess_crash.pgn", 0, false, 3, Verdict::Finding, "exited 0 though only 1"},
        Recorded{"fastchess_scores_crlf_as_illegal", "crlf/uci/clock", "fastchess_crlf.out",
                 "fastchess_crlf.pgn", 0, false, 3, Verdict::Finding, "(illegal)"},
        Recorded{"fastchess_scores_tab_as_illegal", "tab/uci/clock", "fastchess_tab.out", "", 0,
                 false, 3, Verdict::Finding, "(illegal)"},
        Recorded{"cutechess_stalls_on_tab", "tab/uci/clock", "cutechess_tab.out", "", 0, false, 40,
                 Verdict::Finding, "(stall)"},
        Recorded{"cutechess_flags_a_flood", "flood-valid/uci/clock", "cutechess_flood.out", "", 0,
                 false, 5, Verdict::Finding, "White loses on time"},
        Recorded{"fastchess_waits_60_s_on_quit", "quit-ignored/uci/clock", "fastchess_normal.out",
                 "", 0, false, 62.5, Verdict::Finding, "60.0 s more than the control"},
        Recorded{"stall_under_nodes_hangs", "stall/uci/nodes", "empty.out", "", std::nullopt, true,
                 150, Verdict::Finding, "hung"},
        Recorded{"cutechess_exits_0_when_never_started", "handshake-no-ok/uci/clock",
                 "cutechess_no_ok.out", "", 0, false, 36, Verdict::Finding, "exited 0"},
        Recorded{"fastchess_blames_the_side_to_move", "handshake-no-ready/uci/clock",
                 "fastchess_no_ready.out", "", 1, false, 6, Verdict::Finding,
                 "blame the plain engine's side"},
        // No single right answer, but a hang is always a finding.
        Recorded{"cecp_done_0_may_wait", "handshake-no-ok/cecp/clock", "empty.out", "",
                 std::nullopt, true, 120, Verdict::Open, ""},
        Recorded{"open_cell_that_hangs", "garble-noeol/uci/clock", "empty.out", "", std::nullopt,
                 true, 120, Verdict::Finding, "hung"}),
    [](const testing::TestParamInfo<Recorded>& param_info) { return param_info.param.name; });

// The rules every row shares, on runs made up to show each one alone.
Judgement judge_cell(const std::string& id, const CellRun& run, std::optional<double> game_limit) {
    const Cell cell = cell_named(id);
    const Expectation* expectation = find_expectation(builtin_table(), cell);
    EXPECT_NE(expectation, nullptr) << id;
    return judge(*expectation, run,
                 Yardsticks{std::nullopt, game_limit, cell.scenario->exit_status});
}

std::string all_problems(const Judgement& judgement) {
    std::string text;
    for (const std::string& problem : judgement.problems) text += problem + "\n";
    return text;
}

TEST(AuditAlways, ExitZeroAfterACutIsAFindingInEveryRow) {
    CellRun run;
    run.exit_code = 0;
    run.games = {record("faulty", "normal", "0-1", "", "White's connection stalls")};
    run.game_ends = {4};
    // cutechess-cli ends these after one game and exits 0.
    for (const std::string cell :
         {"stall/uci/clock", "garble-noeol/uci/clock", "crash/uci/clock", "illegal/uci/nodes"}) {
        const Judgement judgement = judge_cell(cell, run, 12);
        EXPECT_EQ(judgement.verdict, Verdict::Finding) << cell;
        EXPECT_NE(all_problems(judgement).find("exited 0 though only 1 of 2 games"),
                  std::string::npos)
            << cell << ": " << all_problems(judgement);
    }
    run.exit_code = 1;
    EXPECT_EQ(judge_cell("stall/uci/clock", run, 12).verdict, Verdict::Ok);
    EXPECT_EQ(judge_cell("garble-noeol/uci/clock", run, 12).verdict, Verdict::Open);
}

TEST(AuditAlways, ASpoiledGameMustEndWithinTheClockAndTheMargin) {
    CellRun run;
    run.exit_code = 1;
    run.games = {record("faulty", "normal", "0-1", "", "White's connection stalls")};
    // fastchess scores a stalled engine only after waiting 60 s for it to quit.
    run.game_ends = {68.2};
    const Judgement late = judge_cell("stall/uci/clock", run, 12);
    EXPECT_EQ(late.verdict, Verdict::Finding);
    EXPECT_NE(all_problems(late).find("game 1 (faulty White: 0-1 {White's connection stalls}) "
                                      "ended 68.2 s after"),
              std::string::npos)
        << all_problems(late);
    EXPECT_NE(all_problems(late).find("margin, 12.0 s"), std::string::npos);
    run.game_ends = {11.9};
    EXPECT_EQ(judge_cell("stall/uci/clock", run, 12).verdict, Verdict::Ok);
    // Each game is timed from the end of the one before it; normal games are not timed.
    run.exit_code = 0;
    run.games = {record("faulty", "normal", "0-1", "", "White loses on time"),
                 record("normal", "faulty", "1-0", "", "Black loses on time")};
    run.game_ends = {5, 16.5};
    EXPECT_EQ(judge_cell("flag/uci/clock", run, 12).verdict, Verdict::Ok);
    run.game_ends = {5, 17.5};
    EXPECT_NE(all_problems(judge_cell("flag/uci/clock", run, 12)).find("game 2 "),
              std::string::npos);
    EXPECT_EQ(judge_cell("flag/uci/clock", run, std::nullopt).verdict, Verdict::Ok);
}

TEST(AuditAlways, LoggedExitStatusMustMatchHowTheEngineEnded) {
    // fastchess logs the crashed engine, which exits with status 3, as exiting with 0.
    const std::vector<LoggedExit> crash = parse_logged_exits(fixture("fastchess_crash.log"));
    ASSERT_EQ(crash.size(), 2U);
    EXPECT_EQ(crash[0].engine, "faulty");
    EXPECT_EQ(crash[0].status, 0);
    const std::vector<LoggedExit> stall = parse_logged_exits(fixture("fastchess_stall.log"));
    ASSERT_EQ(stall.size(), 2U);
    EXPECT_EQ(stall[0].signal, 9);
    EXPECT_EQ(stall[0].status, std::nullopt);

    CellRun run;
    run.exit_code = 1;
    run.games = {record("faulty", "normal", "0-1", "", "White disconnects")};
    run.logged_exits = crash;
    const Judgement judgement = judge_cell("crash/uci/clock", run, 12);
    EXPECT_EQ(judgement.verdict, Verdict::Finding);
    EXPECT_NE(all_problems(judgement).find(
                  "log gives the faulty engine's exit status as 0, but it exits with 3"),
              std::string::npos)
        << all_problems(judgement);
    run.logged_exits = stall;
    run.games[0].reason = "White's connection stalls";
    EXPECT_EQ(judge_cell("stall/uci/clock", run, 12).verdict, Verdict::Ok)
        << all_problems(judge_cell("stall/uci/clock", run, 12));
    run.logged_exits = {LoggedExit{"normal", 1, std::nullopt}};
    EXPECT_NE(all_problems(judge_cell("stall/uci/clock", run, 12)).find("plain engine's exit"),
              std::string::npos);
}

TEST(AuditRepeat, RunsOfACellAreCountedInItsVerdict) {
    CellRun flagged;
    flagged.exit_code = 0;
    flagged.games = {record("faulty", "normal", "0-1", "", "White loses on time"),
                     record("normal", "faulty", "1-0", "", "Black loses on time")};
    CellRun normal = flagged;
    normal.games[0] = record("faulty", "normal", "1/2-1/2", "", "Draw by 3-fold repetition");
    normal.games[1] = record("normal", "faulty", "1/2-1/2", "", "Draw by 3-fold repetition");
    const Judgement ok = judge_cell("flood-valid/uci/clock", normal, 12);
    const Judgement finding = judge_cell("flood-valid/uci/clock", flagged, 12);
    ASSERT_EQ(finding.verdict, Verdict::Finding);
    const Judgement combined = combine_runs({ok, finding, ok, finding, ok});
    EXPECT_EQ(combined.verdict, Verdict::Finding);
    EXPECT_EQ(combined.runs, 5);
    EXPECT_EQ(combined.finding_runs, 2);
    EXPECT_EQ(combined.outcome, "2x lost on time");
    EXPECT_EQ(combined.problems, finding.problems);
    EXPECT_TRUE(combined.summary.starts_with("run 2 of 5: ")) << combined.summary;

    const Judgement all_ok = combine_runs({ok, ok, ok});
    EXPECT_EQ(all_ok.verdict, Verdict::Ok);
    EXPECT_EQ(all_ok.finding_runs, 0);
    EXPECT_EQ(all_ok.outcome, "2x drawn by rule (3 of 3)");
    EXPECT_EQ(combine_runs({ok}).outcome, "2x drawn by rule");

    AuditReport report;
    report.setup.kind = ManagerKind::Cutechess;
    CellResult result;
    result.cell = cell_named("flood-valid/uci/clock");
    result.expectation = find_expectation(builtin_table(), result.cell);
    result.judgement = combined;
    report.cells = {result};
    report.repeat = 5;
    const std::string md = markdown_report(report);
    EXPECT_NE(md.find("1 cells, each run 5 times, in "), std::string::npos) << md;
    EXPECT_NE(md.find("| **finding** in 2 of 5: 2x lost on time |"), std::string::npos) << md;
    EXPECT_NE(md.find("Found in 2 of 5 runs."), std::string::npos) << md;
    EXPECT_NE(json_report(report).find("\"runs\": 5, \"finding_runs\": 2"), std::string::npos);
}

TEST(AuditGames, PgnGamesWithCommentsAndAGameCutOff) {
    const std::vector<GameRecord> games = parse_pgn(fixture("cutechess_claim.pgn"));
    ASSERT_EQ(games.size(), 2U);
    EXPECT_EQ(games[0].white, "faulty");
    EXPECT_EQ(games[0].result, "0-1");
    EXPECT_EQ(games[0].termination, "adjudication");
    EXPECT_EQ(games[1].reason, "White wins by adjudication: Invalid result claim");
}

TEST(AuditGames, AnnouncedGamesMissingFromThePgnAreKept) {
    const std::vector<GameRecord> games =
        merge_games(parse_finished_lines(fixture("cutechess_crash.out")),
                    parse_pgn(fixture("cutechess_crash.pgn")));
    ASSERT_EQ(games.size(), 1U);
    EXPECT_EQ(games[0].reason, "White disconnects");
    EXPECT_EQ(games[0].termination, "abandoned");
    EXPECT_EQ(merge_games(parse_finished_lines(fixture("fastchess_crash.out")), {}).size(), 1U);
}

TEST(AuditGames, EndingsFromManagersWords) {
    const auto ending = [](std::string result, std::string reason, std::string termination = "") {
        return classify(record("faulty", "normal", std::move(result), std::move(termination),
                               std::move(reason)));
    };
    EXPECT_EQ(ending("1-0", "White wins by adjudication: black claims illegal move: g1f3"),
              Ending::FalseClaim);
    EXPECT_EQ(ending("0-1", "Error: first chess program (faulty) exited unexpectedly"),
              Ending::Disconnect);
    EXPECT_EQ(ending("0-1", "Black wins on time"), Ending::Time);
    EXPECT_EQ(ending("0-1", "Xboard: Forfeit due to invalid move: a1a1 (a1a1) res=1"),
              Ending::Illegal);
    EXPECT_EQ(ending("1/2-1/2", "Draw claim: 3-fold repetition"), Ending::Rules);
    EXPECT_EQ(ending("0-1", "+0.25/1 0.005s", "time forfeit"), Ending::Time);
    EXPECT_EQ(ending("*", "White mates"), Ending::Void);
    EXPECT_EQ(faulty_is_white(record("pawnlark", "normal", "0-1", "", "")), true);
    EXPECT_EQ(faulty_is_white(record("normal", "unknown", "0-1", "", "")), false);
    EXPECT_EQ(faulty_is_white(record("unknown", "pawnlark", "0-1", "", "")), std::nullopt);
    EXPECT_EQ(blamed_side("Black wins on time"), true);
    EXPECT_EQ(blamed_side("Black disconnects"), false);
    EXPECT_EQ(blamed_side("Xboard: White's connection stalls"), true);
    EXPECT_EQ(blamed_side("Draw by repetition"), std::nullopt);
}

TEST(AuditExpectations, EveryCellOfEveryManagerHasARow) {
    for (const Cell& cell : full_matrix({true, true})) {
        EXPECT_NE(find_expectation(builtin_table(), cell), nullptr) << cell.id();
    }
}

TEST(AuditExpectations, MalformedRowsNameTheirLine) {
    const auto error = [](const std::string& text) {
        const Checked<std::vector<Expectation>> table = parse_expectations(text);
        return table ? std::string("accepted") : table.error().text;
    };
    EXPECT_EQ(error("# comment\n\nbogus | any | any | expect | rules | 0 | - | r"),
              "expectations, line 3: unknown scenario 'bogus'");
    EXPECT_EQ(error("crash | any | any | expect | lost:late | 0 | - | r"),
              "expectations, line 1: unknown ending 'late'");
    EXPECT_EQ(error("crash | any | any | expect | rules | 0 | - |"),
              "expectations, line 1: the reason is missing");
    EXPECT_EQ(error("crash | any | any"), "expectations, line 1: 8 fields separated by | expected");
    EXPECT_EQ(error("crash | uci | clock | open | lost:time,stall | cut | 10 | a | b"), "accepted");
}

Setup test_setup(ManagerKind kind) {
    Setup setup;
    setup.kind = kind;
    setup.manager =
        kind == ManagerKind::Fastchess ? "/usr/bin/fastchess" : "/usr/bin/cutechess-cli";
    setup.engine = "/usr/bin/pawnlark";
    return setup;
}

std::string command_line(ManagerKind kind, const std::string& cell) {
    return shell_line(
        manager_command(test_setup(kind), cell_named(cell), cell_files("/w"), 0).arguments);
}

TEST(AuditCommands, FastchessAndCutechessAsDocumented) {
    EXPECT_EQ(command_line(ManagerKind::Fastchess, "crash/uci/clock"),
              "/usr/bin/fastchess -engine cmd=/usr/bin/pawnlark name=faulty "
              "'args=--name faulty --crash-at-ply 10' -engine cmd=/usr/bin/pawnlark name=normal "
              "'args=--name normal' -each tc=2+0.02 -rounds 1 -games 2 -pgnout file=/w/games.pgn "
              "-log file=/w/fastchess.log level=info engine=true -ping-ms 5000");
    EXPECT_NE(command_line(ManagerKind::Fastchess, "stall/uci/nodes").find(" -each nodes=1000 "),
              std::string::npos);
    EXPECT_EQ(command_line(ManagerKind::Cutechess, "stall/cecp/nodes"),
              "/usr/bin/cutechess-cli -engine cmd=/usr/bin/pawnlark name=faulty proto=xboard "
              "arg=--name arg=faulty arg=--proto arg=cecp arg=--cecp-standard "
              "arg=--stall-at-ply arg=10 -engine cmd=/usr/bin/pawnlark name=normal proto=xboard "
              "arg=--name arg=normal arg=--proto arg=cecp arg=--cecp-standard -each tc=inf "
              "nodes=1000 -rounds 1 -games 2 -pgnout /w/games.pgn -debug all");
    const ManagerCommand chess960 =
        manager_command(test_setup(ManagerKind::Cutechess),
                        cell_named("chess960-no-option/uci/clock"), cell_files("/w"), 0);
    EXPECT_NE(
        shell_line(chess960.arguments).find("-variant fischerandom -openings file=/w/openings.epd"),
        std::string::npos);
    EXPECT_FALSE(chess960.openings.empty());
}

TEST(AuditCommands, CustomTemplateGetsEachEngineLineAsOneWord) {
    audit::Setup setup = test_setup(ManagerKind::Custom);
    setup.engine = "/opt/my engines/pawnlark";
    setup.command_template = "run {faulty} {normal} --pgn {pgn} --tc {tc} {proto}";
    const ManagerCommand command =
        manager_command(setup, cell_named("illegal/cecp/clock"), cell_files("/w"), 0);
    ASSERT_EQ(command.arguments.size(), 3U);
    EXPECT_EQ(command.arguments[2],
              "run ''\\''/opt/my engines/pawnlark'\\'' --name faulty --proto cecp --cecp-standard "
              "--illegal-at-ply 10' ''\\''/opt/my engines/pawnlark'\\'' --name normal --proto cecp "
              "--cecp-standard' --pgn /w/games.pgn --tc 2+0.02 cecp");
    EXPECT_TRUE(capabilities_of(setup).cecp);
    EXPECT_EQ(missing_placeholders("run {normal}"),
              (std::vector<std::string_view>{FaultyPlaceholder, PgnPlaceholder}));
}

TEST(AuditCells, PatternsPickCellsAndBringTheirControl) {
    const Cell cell = cell_named("crash/cecp/nodes");
    EXPECT_TRUE(cell_matches(cell, "crash"));
    EXPECT_TRUE(cell_matches(cell, "*/cecp"));
    EXPECT_TRUE(cell_matches(cell, "crash/*/nodes"));
    EXPECT_FALSE(cell_matches(cell, "crash/uci"));
    EXPECT_FALSE(cell_matches(cell, "crash-after"));
    EXPECT_FALSE(cell_matches(cell, "crash/cecp/nodes/x"));

    Options options;
    options.setup.kind = ManagerKind::Cutechess;
    options.only = {"stall/cecp/nodes"};
    const Checked<std::vector<Cell>> selected = selected_cells(options);
    std::vector<std::string> ids;
    for (const Cell& cell_selected : selected.value()) ids.push_back(cell_selected.id());
    EXPECT_EQ(ids, (std::vector<std::string>{"control/cecp/nodes", "stall/cecp/nodes"}));
    options.only = {"stall/xboard"};
    EXPECT_FALSE(selected_cells(options));
}

// The engine skips words it does not know, so a misspelt scenario would quietly play as the
// control.
TEST(AuditScenarios, EveryEngineArgumentIsKnownToTheEngine) {
    for (const Scenario& scenario : all_scenarios()) {
        const std::vector<std::string_view> arguments(scenario.engine_arguments.begin(),
                                                      scenario.engine_arguments.end());
        std::string unknown;
        for (const std::string_view word : pawnlark::unknown_arguments(arguments)) {
            unknown += " '" + std::string(word) + "'";
        }
        EXPECT_TRUE(unknown.empty()) << scenario.id << ": unknown to the engine:" << unknown;
    }
}

TEST(AuditReport, MatrixFindingsAndJsonEscapes) {
    AuditReport report;
    report.setup = test_setup(ManagerKind::Cutechess);
    CellResult crash;
    crash.cell = cell_named("crash/uci/nodes");
    crash.expectation = find_expectation(builtin_table(), crash.cell);
    crash.run.games = {record("faulty", "normal", "1-0", "", "Black \"wins\" | \x01")};
    crash.run.hung = true;
    crash.judgement = judge(*crash.expectation, crash.run, Yardsticks{});
    crash.command = "cutechess-cli -engine cmd=pawnlark";
    CellResult control = crash;
    control.cell = cell_named("control/uci/clock");
    control.run = CellRun{};
    control.judgement = Judgement{Verdict::Ok, {}, "fine", "2x drawn by rule"};
    report.cells = {control, crash};

    const std::string md = markdown_report(report);
    EXPECT_NE(md.find("| Scenario | Fault | UCI, clock | UCI, nodes |\n"), std::string::npos) << md;
    EXPECT_NE(md.find("| control | no fault | ok: 2x drawn by rule | |\n"), std::string::npos)
        << md;
    EXPECT_NE(md.find("| crash | exits (status 3) instead of answering | | **finding**: won "),
              std::string::npos)
        << md;
    EXPECT_NE(md.find("### crash/uci/nodes\n"), std::string::npos) << md;
    EXPECT_NE(md.find("```sh\ncutechess-cli -engine cmd=pawnlark\n```"), std::string::npos) << md;
    EXPECT_EQ(md.find("### control"), std::string::npos) << md;

    const std::string js = json_report(report);
    EXPECT_NE(js.find("\"reason\": \"Black \\\"wins\\\" | \\u0001\""), std::string::npos) << js;
    EXPECT_NE(js.find("\"counts\": {\"ok\": 1, \"finding\": 1, \"open\": 0}"), std::string::npos)
        << js;
}

// The runner against scripted managers, with `sleep` standing in for an engine.
class AuditRun : public testing::Test {
protected:
    void SetUp() override {
        work_directory =
            fs::temp_directory_path() / ("pawnlark-audit-run-" + std::to_string(::getpid()));
        fs::create_directories(work_directory);
    }
    void TearDown() override { fs::remove_all(work_directory); }

    RunRequest request(const std::string& script) {
        RunRequest request;
        request.command.arguments = {"/bin/sh", "-c", script};
        request.files = cell_files(work_directory.string());
        request.mark = "test-" + std::to_string(::getpid()) + "-"
                       + testing::UnitTest::GetInstance()->current_test_info()->name();
        request.engine_programs = {sleep_program};
        request.wall_limit = std::chrono::seconds(3);
        return request;
    }

    std::vector<MarkedProcess> still_marked(const RunRequest& request) const {
        return marked_processes(std::string(MarkVariable) + "=" + request.mark);
    }

    fs::path work_directory;
    const std::string sleep_program = fs::canonical("/bin/sleep").string();
};

TEST_F(AuditRun, EngineLeftBehindIsReportedThenEnded) {
    const RunRequest left = request("sleep 300 >/dev/null 2>&1 & echo started; exit 4");
    const CellRun run = run_manager(left);
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_FALSE(run.hung);
    ASSERT_EQ(run.leftovers.size(), 1U);
    EXPECT_NE(run.leftovers[0].find("sleep 300"), std::string::npos) << run.leftovers[0];
    EXPECT_TRUE(still_marked(left).empty());
    std::ifstream out(work_directory / "manager.out");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(out), {}), "started\n");
}

TEST_F(AuditRun, HungManagerIsStoppedWithWhatItStarted) {
    const RunRequest hung = request("sleep 300");
    const CellRun run = run_manager(hung);
    EXPECT_TRUE(run.hung);
    EXPECT_TRUE(run.leftovers.empty());
    EXPECT_LT(run.wall_seconds, 5);
    EXPECT_TRUE(still_marked(hung).empty());
}

TEST_F(AuditRun, SilentManagerIsHungLongBeforeTheWallLimit) {
    RunRequest silent = request("echo starting; sleep 300");
    silent.wall_limit = std::chrono::seconds(60);
    silent.silence_limit = std::chrono::seconds(1);
    const CellRun run = run_manager(silent);
    EXPECT_TRUE(run.hung);
    EXPECT_TRUE(run.silent);
    EXPECT_LT(run.wall_seconds, 4);
    EXPECT_TRUE(still_marked(silent).empty());
}

TEST_F(AuditRun, WritingManagerIsNotSilentAndItsGameEndsAreTimed) {
    RunRequest busy = request(
        "for i in 1 2 3 4 5 6; do echo move $i; sleep 0.4; done;"
        " echo 'Finished game 1 (faulty vs normal): 0-1 {White loses on time}'; sleep 1;"
        " echo 'Finished game 2 (normal vs faulty): 1-0 {Black loses on time}'");
    busy.silence_limit = std::chrono::seconds(2);
    busy.wall_limit = std::chrono::seconds(20);
    const CellRun run = run_manager(busy);
    EXPECT_FALSE(run.hung);
    ASSERT_EQ(run.game_ends.size(), 2U);
    EXPECT_GT(run.game_ends[0], 2.0);
    EXPECT_GT(run.game_ends[1] - run.game_ends[0], 0.7);
}

// A manager that prints no "Finished game" lines (xboard) is timed by its PGN file.
TEST_F(AuditRun, GameEndsComeFromThePgnWithoutFinishedLines) {
    RunRequest saving = request(
        "sleep 0.5; printf '[White \"faulty\"]\\n\\n1. e4 0-1\\n\\n' >\"$0\"; sleep 1;"
        " printf '[White \"normal\"]\\n\\n1. e4 1-0\\n\\n' >>\"$0\"");
    saving.command.arguments.push_back(saving.files.pgn);
    const CellRun run = run_manager(saving);
    ASSERT_EQ(run.game_ends.size(), 2U);
    EXPECT_GT(run.game_ends[0], 0.4);
    EXPECT_GT(run.game_ends[1] - run.game_ends[0], 0.7);
}

TEST_F(AuditRun, ManagerThatCannotBeRunIsAFailureToStart) {
    const CellRun run = run_manager(request("exec /nonexistent/manager"));
    EXPECT_EQ(run.exit_code, 127);
    EXPECT_NE(run.failure.find("status 127"), std::string::npos) << run.failure;
    EXPECT_TRUE(run_manager(request("exit 3")).failure.empty());
}

TEST_F(AuditRun, ManagerThatRunsOnIsAskedToEndOnceThePgnIsComplete) {
    RunRequest until_stopped = request(
        "printf '[White \"faulty\"]\\n\\n1. e4 1-0\\n\\n[White \"normal\"]\\n\\n1. e4 1-0\\n' "
        ">\"$0\"; exec sleep 300");
    until_stopped.command.arguments.push_back(until_stopped.files.pgn);
    until_stopped.command.runs_until_stopped = true;
    until_stopped.manager_program = sleep_program;
    until_stopped.engine_programs.clear();
    const CellRun run = run_manager(until_stopped);
    EXPECT_TRUE(run.stopped_by_audit);
    EXPECT_FALSE(run.hung);
    EXPECT_EQ(run.signal, SIGTERM);
    EXPECT_TRUE(still_marked(until_stopped).empty());
}

// The program itself, as a user runs it.
support::ProcessResult audit(const std::vector<std::string>& arguments, int timeout_s = 20) {
    support::ProcessRun run;
    run.program = PAWNLARK_AUDIT;
    run.arguments = arguments;
    run.timeout = std::chrono::seconds(timeout_s);
    return support::run_process(run);
}

TEST(AuditCommandLine, BadInputIsOneLineAndStatus2WithNothingStarted) {
    const fs::path out = fs::temp_directory_path() / "pawnlark-audit-bad-input";
    fs::remove_all(out);
    const fs::path text_file = out.string() + ".txt";
    std::ofstream(text_file) << "not a program\n";
    fs::permissions(text_file, fs::perms::owner_all);
    const std::vector<std::vector<std::string>> cases{
        {"--manager", "arena"},
        {"--manager", "cutechess", "--path", "/nonexistent/cutechess-cli"},
        {"--manager", "fastchess", "--path", text_file.string()},
        {"--manager", "custom", "--template", "my-manager --games 2"},
        {"--manager", "xboard", "-j", "0"},
        {"--manager", "fastchess", "--silence", "0"},
        {"--manager", "fastchess", "--repeat", "-1"},
        {"--manager", "fastchess", "--verdict-margin", "x"},
        {"--manager", "xboard", "--only", "crash/uci/minutes"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        std::vector<std::string> with_out = arguments;
        with_out.insert(with_out.end(), {"--out", out.string()});
        const support::ProcessResult result = audit(with_out);
        EXPECT_EQ(result.exit_code, 2) << arguments[1];
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_TRUE(result.err.starts_with("pawnlark-audit: ")) << result.err;
        EXPECT_FALSE(fs::exists(out)) << arguments[1];
    }
    fs::remove(text_file);
}

TEST(AuditCommandLine, ManagerThatCannotStartAndReportThatCannotBeWrittenAreStatus3) {
    const fs::path out = fs::temp_directory_path() / "pawnlark-audit-not-started";
    fs::remove_all(out);
    const support::ProcessResult missing =
        audit({"--manager", "custom", "--template", "no-such-manager {faulty} {normal} {pgn}",
               "--engine", PAWNLARK_BINARY, "--only", "crash", "--out", out.string()});
    EXPECT_EQ(missing.exit_code, 3) << missing.err;
    EXPECT_NE(missing.err.find("could not be started in 2 cells"), std::string::npos)
        << missing.err;
    EXPECT_TRUE(fs::exists(out / "report.json"));
    fs::remove_all(out);

    // The output directory is a file: nothing can be written under it.
    std::ofstream(out) << "a file\n";
    const support::ProcessResult unwritable =
        audit({"--manager", "custom", "--template", "true {faulty} {normal} {pgn}", "--engine",
               PAWNLARK_BINARY, "--only", "crash", "--out", out.string()});
    EXPECT_EQ(unwritable.exit_code, 3) << unwritable.err;
    EXPECT_EQ(std::count(unwritable.err.begin(), unwritable.err.end(), '\n'), 1) << unwritable.err;
    fs::remove(out);
}

TEST(AuditCustom, ScriptedManagerIsAuditedAndItsDefectFound) {
    const fs::path out = fs::temp_directory_path() / "pawnlark-audit-custom";
    fs::remove_all(out);
    const std::string manager =
        std::string("/bin/sh ") + TINY_MANAGER + " {faulty} {normal} {pgn} {tc}";
    const support::ProcessResult result =
        audit({"--manager", "custom", "--template", manager, "--engine", PAWNLARK_BINARY, "--only",
               "crash,illegal,stall", "--out", out.string()},
              120);
    EXPECT_EQ(result.exit_code, 1) << result.err;
    std::ifstream json_file(out / "report.json");
    const std::string json{std::istreambuf_iterator<char>(json_file), {}};
    // The control and the illegal move are handled right, the stall lost on time; the crash
    // stops the run with status 0.
    for (const std::string cell : {"control", "illegal", "stall"}) {
        std::string record = "\"id\": \"" + cell;
        record += "/uci/clock\", \"scenario\": \"" + cell;
        record += "\", \"protocol\": \"uci\", \"limit\": \"clock\",\n     \"verdict\": \"ok\"";
        EXPECT_NE(json.find(record), std::string::npos) << cell << "\n" << json;
    }
    EXPECT_NE(json.find("exited 0 though only 1 of 2 games"), std::string::npos) << json;
    EXPECT_TRUE(fs::exists(out / "report.md"));
    EXPECT_EQ(json.find("\"leftover_engines\": [\""), std::string::npos) << json;
    fs::remove_all(out);
}

}  // namespace
}  // namespace pawnlark::audit
