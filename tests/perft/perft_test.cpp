#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "board_printing.h"
#include "perft.h"

namespace velloran {
namespace {

struct PerftRow {
    std::string_view fen;
    bool chess960;
    int depth;
    std::uint64_t nodes;
};

void PrintTo(const PerftRow& row, std::ostream* out) {
    *out << row.fen << (row.chess960 ? " (Chess960)" : "") << " depth " << row.depth;
}

class PerftTest : public ::testing::TestWithParam<PerftRow> {};

TEST_P(PerftTest, CountsLeaves) {
    const PerftRow& row = GetParam();
    const auto board = Board::from_fen(row.fen, row.chess960);
    ASSERT_TRUE(board.has_value());
    EXPECT_EQ(testing::perft(board.value(), row.depth), row.nodes);
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

INSTANTIATE_TEST_SUITE_P(Standard, PerftTest,
                         ::testing::Values(PerftRow{Start, false, 1, 20},
                                           PerftRow{Start, false, 2, 400},
                                           PerftRow{Start, false, 3, 8902},
                                           PerftRow{Start, false, 4, 197281},
                                           PerftRow{Start, false, 5, 4865609},
                                           PerftRow{Kiwipete, false, 1, 48},
                                           PerftRow{Kiwipete, false, 2, 2039},
                                           PerftRow{Kiwipete, false, 3, 97862},
                                           PerftRow{Kiwipete, false, 4, 4085603},
                                           PerftRow{Position3, false, 5, 674624},
                                           PerftRow{Position3, false, 6, 11030083},
                                           PerftRow{Position4, false, 4, 422333},
                                           PerftRow{Position4Mirrored, false, 4, 422333},
                                           PerftRow{Position5, false, 4, 2103487},
                                           PerftRow{Position6, false, 4, 3894594}));

}  // namespace
}  // namespace velloran
