// A thinking engine on a fake clock: input arrives at scripted times, so every line it prints,
// and when, is the same on every run.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/protocol/run_dialect.h"
#include "app/protocol/searcher.h"
#include "app/settings.h"
#include "recording.h"
#include "scripted_input.h"

namespace pawnlark {
namespace {

using Script = std::vector<test::ScriptedInput::Arrival>;

// Every line with the time on the fake clock it was written at.
class TimedOutput final : public Output {
public:
    explicit TimedOutput(const Clock& clock) : clock_(clock) {}
    void line(std::string_view text) override {
        lines.push_back({clock_.now_ms(), std::string(text)});
    }

    struct Line {
        std::uint64_t at_ms = 0;
        std::string text;
    };
    std::vector<Line> lines;

private:
    const Clock& clock_;
};

struct Transcript {
    std::vector<TimedOutput::Line> lines;

    // The first line that starts with `prefix`, or an empty one.
    TimedOutput::Line first(std::string_view prefix) const {
        for (const auto& line : lines) {
            if (line.text.starts_with(prefix)) return line;
        }
        return {};
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> all;
        for (const auto& line : lines) all.push_back(line.text);
        return all;
    }
};

Transcript run_thinking(const Settings& settings, const Script& script) {
    test::FakeClock clock;
    test::ScriptedInput input(clock, script);
    TimedOutput out(clock);
    test::RecordingSystem system;
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(settings.seed);
    ThinkingSearcher searcher(input, clock);
    run_dialect(settings.protocol, settings, out, system, generator, searcher, input);
    // Returning at all shows the loop ended by itself, at the end of the script.
    return {out.lines};
}

TEST(ThinkLoop, ReadinessAtOnceOtherCommandsAfterTheAnswerInOrder) {
    const Transcript run = run_thinking({}, {{0, "go infinite"},
                                             {150, "isready"},
                                             {200, "position startpos moves e2e4"},
                                             {300, "stop"},
                                             {300, "go depth 1"}});
    EXPECT_EQ(run.first("readyok").at_ms, 150u);
    const auto best = run.first("bestmove");
    EXPECT_EQ(best.at_ms, 300u);
    EXPECT_EQ(best.text, "bestmove c2c3");
    // The deferred position was read before the next search: Black moves.
    EXPECT_EQ(run.lines.back().text, "bestmove a7a6");
}

TEST(ThinkLoop, PonderhitThinksOnTheBudgetFromThen) {
    Settings settings;
    settings.ponder = true;
    const Transcript run =
        run_thinking(settings, {{0, "go ponder wtime 2000 btime 2000"}, {400, "ponderhit"}});
    // 2000 / 20 less the 10 ms overhead, counted from the ponderhit.
    const auto best = run.first("bestmove");
    EXPECT_EQ(best.at_ms, 400u + 100u);
    EXPECT_TRUE(best.text.starts_with("bestmove c2c3 ponder ")) << best.text;
}

TEST(ThinkLoop, EndOfInputEndsAnEndlessSearchWithItsAnswer) {
    const Transcript run = run_thinking({}, {{0, "go infinite"}});
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back().text, "bestmove c2c3");
}

// Regression: with --think the answer to a pending search lost the ponder move the Ponder
// option asks for.
TEST(ThinkLoop, StopNamesThePonderMoveThePonderOptionAsksFor) {
    Settings settings;
    settings.options = OptionsMode::Full;
    const Transcript run = run_thinking(
        settings, {{0, "setoption name Ponder value true"}, {0, "go infinite"}, {100, "stop"}});
    EXPECT_TRUE(run.first("bestmove").text.starts_with("bestmove c2c3 ponder "))
        << run.first("bestmove").text;
}

// Regression: a mated side with --think answered "go infinite" at once, and without the line
// of the mate-zero quirk.
TEST(ThinkLoop, AMatedSideAnswersAnInfiniteSearchOnlyAtStop) {
    Settings settings;
    settings.info_quirk = InfoQuirk::MateZero;
    const std::string mated = "position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1";
    const Transcript run = run_thinking(settings, {{0, mated}, {0, "go infinite"}, {250, "stop"}});
    EXPECT_EQ(run.texts(),
              (std::vector<std::string>{"info depth 0 score mate 0", "bestmove 0000"}));
    EXPECT_EQ(run.lines.front().at_ms, 250u);
}

std::vector<std::string> pv_moves_after(const Transcript& run, std::uint64_t from_ms) {
    std::vector<std::string> first_moves;
    for (const auto& line : run.lines) {
        if (line.at_ms < from_ms || line.text.empty() || line.text[0] < '1' || line.text[0] > '9')
            continue;
        const auto words = velloran::Words(line.text);
        auto word = words.begin();
        for (int skip = 0; skip < 4 && word != words.end(); ++skip) ++word;
        if (word != words.end()) first_moves.emplace_back(*word);
    }
    return first_moves;
}

// Regression: a command deferred during an analysis restarted it on the old position before
// the command that ended it was carried out, and then nothing ended it.
TEST(ThinkLoop, CecpAnalysisFollowsEveryCommandInOrder) {
    Settings settings;
    settings.protocol = Protocol::Cecp;
    const Transcript run = run_thinking(settings, {{0, "protover 2"},
                                                   {0, "post"},
                                                   {0, "analyze"},
                                                   {200, "hard"},
                                                   {500, "usermove e2e4"},
                                                   {1200, "exit"}});
    // Before the move White's lines, headed by the move the engine would play; after it
    // Black's.
    const auto before = pv_moves_after(run, 0);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before.front(), "c2c3");
    const auto after = pv_moves_after(run, 500);
    ASSERT_FALSE(after.empty());
    for (const std::string& move : after)
        EXPECT_EQ(move.back() == '5' || move.back() == '6', true) << move;
}

TEST(ThinkLoop, CecpAnalysisShowsEveryMultiPvLine) {
    Settings settings;
    settings.protocol = Protocol::Cecp;
    settings.options = OptionsMode::Full;
    const Transcript run = run_thinking(
        settings,
        {{0, "protover 2"}, {0, "option MultiPV=3"}, {0, "post"}, {0, "analyze"}, {1, "exit"}});
    std::vector<std::string> depth_one;
    for (const auto& line : run.lines) {
        if (line.text.starts_with("1 ")) depth_one.push_back(line.text);
    }
    EXPECT_EQ(depth_one.size(), 3u);
}

// Regression: searchmoves was ignored; the analysis and the move keep to the listed legal
// moves, MultiPV to their number.
TEST(ThinkLoop, SearchmovesRestrictsTheAnalysisAndTheMove) {
    const Transcript run = run_thinking(
        {}, {{0, "setoption name MultiPV value 3"}, {0, "go depth 2 searchmoves a2a3 h2h4 e2e5"}});
    EXPECT_EQ(run.lines.back().text, "bestmove a2a3");
    for (const auto& line : run.lines) {
        if (!line.text.starts_with("info depth")) continue;
        EXPECT_EQ(line.text.find("multipv 3"), std::string::npos) << line.text;
        const std::string first = line.text.substr(line.text.find(" pv ") + 4, 4);
        EXPECT_TRUE(first == "a2a3" || first == "h2h4") << line.text;
    }
}

// Regression: fractional CECP times were unreadable, so a 0.05 s request took the one-second
// default and a 0.2 s increment was dropped.
TEST(ThinkLoop, CecpReadsFractionalSecondsAndIncrements) {
    Settings settings;
    settings.protocol = Protocol::Cecp;
    const Transcript per_move = run_thinking(settings, {{0, "new"}, {0, "st 0.05"}, {0, "go"}});
    EXPECT_EQ(per_move.first("move ").at_ms, 40u);  // 50 ms less the 10 ms overhead
    const Transcript clock =
        run_thinking(settings, {{0, "new"}, {0, "level 0 0:10 0.2"}, {0, "time 1000"}, {0, "go"}});
    EXPECT_EQ(clock.first("move ").at_ms, 500u + 150u);  // a twentieth, and 3/4 of 200 ms
}

}  // namespace
}  // namespace pawnlark
