#include "app/faults/info_quirks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "games.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

using velloran::Game;
using velloran::test::read_game;

using Lines = std::vector<std::string>;

constexpr auto AllQuirks = {InfoQuirk::NegInfinite, InfoQuirk::Bounds,     InfoQuirk::TrailingSpace,
                            InfoQuirk::WdlFirst,    InfoQuirk::LongPv,     InfoQuirk::HugeCounts,
                            InfoQuirk::MateZero,    InfoQuirk::StringScore};

// The pv must replay legally from the position and run to 200 plies or to the game's end.
TEST(InfoQuirk, LongPvIsLegalToTwoHundredPliesOrTheEnd) {
    for (const auto& [fen, first] :
         {std::pair{"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "e2e4"},
          std::pair{"7k/8/6K1/8/8/8/8/6R1 w - - 0 1", "g1a1"},
          std::pair{"7k/5Q2/6K1/8/8/8/8/8 w - - 90 80", "f7f8"}}) {  // mate at once
        const Game game = read_game(fen);
        const std::string line = "info depth 3 score cp 7 nodes 9 pv " + std::string(first);
        const Lines lines = quirk_report(InfoQuirk::LongPv, line, game);
        ASSERT_EQ(lines.size(), 1u);
        const velloran::Words words(lines[0]);
        auto word = words.begin();
        while (*word != "pv") ++word;
        Game replay = game;
        std::size_t plies = 0;
        for (++word; word != words.end(); ++word, ++plies) {
            const auto move = replay.parse_move(*word);
            ASSERT_TRUE(move.has_value()) << *word << " in " << lines[0];
            replay.play(move.value());
        }
        EXPECT_TRUE(plies == 200 || replay.status() != velloran::GameStatus::Ongoing) << fen;
    }
}

TEST(InfoQuirk, OnlySearchReportsChange) {
    const Game game = Game::new_game();
    for (const InfoQuirk quirk : AllQuirks) {
        for (const std::string_view line :
             {"info string score cp 5 pv e2e4", "bestmove e2e4", "1 25 1 20 c2c3", "move c2c3"}) {
            EXPECT_EQ(quirk_report(quirk, line, game), Lines{std::string(line)});
        }
    }
    Lines lines{"info depth 1 score cp 3 pv e2e4", "bestmove e2e4"};
    apply_info_quirk(std::nullopt, lines, game);
    EXPECT_EQ(lines, (Lines{"info depth 1 score cp 3 pv e2e4", "bestmove e2e4"}));
}

// Reports as a thinking engine writes them, with bounds, wdl and nps already there.
TEST(InfoQuirk, ThinkingLinesKeepTheirWordsInTheQuirkOrder) {
    const Game game = Game::new_game();
    const std::string line =
        "info depth 9 seldepth 12 multipv 1 score mate -3 upperbound wdl 0 10 990 nodes "
        "18446744073709551615 nps 800 time 9 pv e2e4 e7e5";
    const auto quirked = [&](InfoQuirk quirk) { return quirk_report(quirk, line, game); };
    EXPECT_EQ(quirked(InfoQuirk::Bounds)[0],
              "info depth 9 seldepth 12 multipv 1 score mate -3 lowerbound wdl 0 10 990 nodes "
              "18446744073709551615 nps 800 time 9 pv e2e4 e7e5");
    EXPECT_EQ(quirked(InfoQuirk::WdlFirst)[0],
              "info depth 9 seldepth 12 multipv 1 wdl 0 10 990 score mate -3 upperbound nodes "
              "18446744073709551615 nps 800 time 9 pv e2e4 e7e5");
    EXPECT_EQ(quirked(InfoQuirk::NegInfinite)[0],
              "info depth 9 seldepth 12 multipv 1 score -INFINITE upperbound wdl 0 10 990 nodes "
              "18446744073709551615 nps 800 time 9 pv e2e4 e7e5");
    // Saturates instead of wrapping round to a small count.
    EXPECT_EQ(quirked(InfoQuirk::HugeCounts)[0],
              "info depth 9 seldepth 12 multipv 1 score mate -3 upperbound wdl 0 10 990 nodes "
              "18446744073709551615 nps 9223372036854775809 time 9 pv e2e4 e7e5");
    EXPECT_EQ(quirked(InfoQuirk::StringScore),
              (Lines{line, "info string score mate 2 pv e2e4 e7e5"}));
}

}  // namespace
}  // namespace pawnlark
