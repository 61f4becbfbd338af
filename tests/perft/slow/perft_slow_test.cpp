#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "board_printing.h"
#include "perft.h"

// The deep rows of the published perft tables: seconds in Release, minutes in Debug.
namespace velloran {
namespace {

using testing::PerftRow;

class SlowPerftTest : public ::testing::TestWithParam<PerftRow> {};

TEST_P(SlowPerftTest, CountsThePublishedLeaves) {
    const PerftRow& row = GetParam();
    const auto board = Board::from_fen(row.fen, row.chess960);
    ASSERT_TRUE(board.has_value());
    EXPECT_EQ(testing::perft(board.value(), row.depth), row.nodes);
}

TEST_P(SlowPerftTest, PlayingEveryLeafGivesTheSameCount) {
    const PerftRow& row = GetParam();
    if (row.nodes > 20'000'000) GTEST_SKIP() << "too deep to play every leaf";
    const auto board = Board::from_fen(row.fen, row.chess960);
    ASSERT_TRUE(board.has_value());
    EXPECT_EQ(testing::perft_playing_leaves(board.value(), row.depth), row.nodes);
}

INSTANTIATE_TEST_SUITE_P(
    Standard, SlowPerftTest,
    ::testing::Values(
        PerftRow{"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false, 5, 4865609},
        PerftRow{"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false, 6, 119060324},
        PerftRow{"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", false, 4,
                 4085603},
        PerftRow{"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", false, 5,
                 193690690},
        PerftRow{"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", false, 6, 11030083},
        PerftRow{"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", false, 7, 178633661},
        PerftRow{"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", false, 5,
                 15833292},
        PerftRow{"r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", false, 5,
                 15833292},
        PerftRow{"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", false, 5, 89941194},
        PerftRow{"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", false,
                 5, 164075551}));

INSTANTIATE_TEST_SUITE_P(
    Chess960, SlowPerftTest,
    ::testing::Values(
        PerftRow{"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9", true, 5,
                 8146062},
        PerftRow{"2nnrbkr/p1qppppp/8/1ppb4/6PP/3PP3/PPP2P2/BQNNRBKR w HEhe - 1 9", true, 5,
                 16253601},
        PerftRow{"b1q1rrkb/pppppppp/3nn3/8/P7/1PPP4/4PPPP/BQNNRKRB w GE - 1 9", true, 5, 6417013},
        PerftRow{"qbbnnrkr/2pp2pp/p7/1p2pp2/8/P3PP2/1PPP1KPP/QBBNNR1R w hf - 0 9", true, 5,
                 9183776},
        PerftRow{"1nbbnrkr/p1p1ppp1/3p4/1p3P1p/3Pq2P/8/PPP1P1P1/QNBBNRKR w HFhf - 0 9", true, 5,
                 34030312},
        PerftRow{"qnbnr1kr/ppp1b1pp/4p3/3p1p2/8/2NPP3/PPP1BPPP/QNB1R1KR w HEhe - 1 9", true, 5,
                 24851983}));

}  // namespace
}  // namespace velloran
