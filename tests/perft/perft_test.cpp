#include "perft.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "board_printing.h"

namespace velloran {
namespace {

using testing::PerftRow;

class PerftTest : public ::testing::TestWithParam<PerftRow> {};

TEST_P(PerftTest, CountsThePublishedLeaves) {
    const PerftRow& row = GetParam();
    const auto board = Board::from_fen(row.fen, row.chess960);
    ASSERT_TRUE(board.has_value());
    EXPECT_EQ(testing::perft(board.value(), row.depth), row.nodes);
}

// The walk that checks every node: FEN and move text round trips, copies left alone, and
// is_legal against the list for every from, to and promotion in the first plies.
class CheckedPerftTest : public ::testing::TestWithParam<PerftRow> {};

TEST_P(CheckedPerftTest, CountsAndChecksEveryNode) {
    const PerftRow& row = GetParam();
    const auto board = Board::from_fen(row.fen, row.chess960);
    ASSERT_TRUE(board.has_value());
    EXPECT_EQ(testing::checked_perft(board.value(), row.depth, row.chess960, 2), row.nodes);
}

constexpr std::string_view Start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr std::string_view Kiwipete =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
constexpr std::string_view Position3 = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1";
constexpr std::string_view Position4 =
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1";
constexpr std::string_view Position4Mirrored =
    "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1";
constexpr std::string_view Position5 = "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8";
constexpr std::string_view Position6 =
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10";

// Chess960 start positions and positions after a few moves, from the published Chess960 list.
constexpr std::string_view Chess960A =
    "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9";
constexpr std::string_view Chess960B =
    "2nnrbkr/p1qppppp/8/1ppb4/6PP/3PP3/PPP2P2/BQNNRBKR w HEhe - 1 9";
constexpr std::string_view Chess960C =
    "b1q1rrkb/pppppppp/3nn3/8/P7/1PPP4/4PPPP/BQNNRKRB w GE - 1 9";
constexpr std::string_view Chess960D =
    "qbbnnrkr/2pp2pp/p7/1p2pp2/8/P3PP2/1PPP1KPP/QBBNNR1R w hf - 0 9";
constexpr std::string_view Chess960E =
    "1nbbnrkr/p1p1ppp1/3p4/1p3P1p/3Pq2P/8/PPP1P1P1/QNBBNRKR w HFhf - 0 9";
constexpr std::string_view Chess960F =
    "qnbnr1kr/ppp1b1pp/4p3/3p1p2/8/2NPP3/PPP1BPPP/QNB1R1KR w HEhe - 1 9";

INSTANTIATE_TEST_SUITE_P(
    Standard, PerftTest,
    ::testing::Values(PerftRow{Start, false, 1, 20}, PerftRow{Start, false, 2, 400},
                      PerftRow{Start, false, 3, 8902}, PerftRow{Start, false, 4, 197281},
                      PerftRow{Kiwipete, false, 1, 48}, PerftRow{Kiwipete, false, 2, 2039},
                      PerftRow{Kiwipete, false, 3, 97862}, PerftRow{Position3, false, 4, 43238},
                      PerftRow{Position3, false, 5, 674624}, PerftRow{Position4, false, 3, 9467},
                      PerftRow{Position4Mirrored, false, 3, 9467},
                      PerftRow{Position5, false, 3, 62379}, PerftRow{Position6, false, 3, 89890}));

INSTANTIATE_TEST_SUITE_P(
    Chess960, PerftTest,
    ::testing::Values(PerftRow{Start, false, 3, 8902},
                      PerftRow{"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1", true, 4,
                               197281},
                      PerftRow{Chess960A, true, 3, 12189}, PerftRow{Chess960B, true, 3, 18002},
                      PerftRow{Chess960C, true, 3, 10471}, PerftRow{Chess960D, true, 3, 13440},
                      PerftRow{Chess960E, true, 3, 31058}, PerftRow{Chess960F, true, 3, 26578}));

INSTANTIATE_TEST_SUITE_P(
    Checked, CheckedPerftTest,
    ::testing::Values(PerftRow{Start, false, 3, 8902}, PerftRow{Kiwipete, false, 2, 2039},
                      PerftRow{Position3, false, 3, 2812}, PerftRow{Position4, false, 2, 264},
                      PerftRow{Position5, false, 2, 1486}, PerftRow{Position6, false, 2, 2079},
                      PerftRow{Chess960A, true, 2, 528}, PerftRow{Chess960B, true, 2, 807},
                      PerftRow{Chess960E, true, 2, 1120}));

}  // namespace
}  // namespace velloran
