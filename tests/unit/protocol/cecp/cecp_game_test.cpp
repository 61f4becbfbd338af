#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/protocol/cecp/cecp_loop.h"
#include "sessions.h"

namespace pawnlark {
namespace {

using Lines = std::vector<std::string>;

using CecpGameTest = test::CecpSessionTest;

TEST_F(CecpGameTest, UsermoveCountsAndSetboardKeepsTheCount) {
    static_cast<void>(send("usermove e2e4 e7e5"));
    static_cast<void>(send("usermove e7e5"));
    EXPECT_EQ(session.state.ply, 2u);
    static_cast<void>(send("setboard   4k3/8/8/8/8/8/8/R3K3 w - -  0  9 "));
    EXPECT_EQ(session.state.game.to_fen(), "4k3/8/8/8/8/8/8/R3K3 w - - 0 9");
    EXPECT_EQ(session.state.ply, 2u);
    static_cast<void>(send("new"));
    EXPECT_EQ(session.state.ply, 0u);
    EXPECT_TRUE(out.lines.empty());
}

TEST_F(CecpGameTest, GoPausesThenPlaysTheMove) {
    settings.delay_ms = 40;
    static_cast<void>(send("go"));
    EXPECT_EQ(system.sleeps, (std::vector<std::uint64_t>{40}));
    EXPECT_EQ(out.lines, (Lines{"1 25 1 20 c2c3", "move c2c3"}));
    EXPECT_EQ(session.state.game.board().side_to_move(), velloran::Color::Black);
    EXPECT_EQ(session.state.ply, 1u);
}

TEST_F(CecpGameTest, FlagPauseSaturatesInsteadOfWrapping) {
    // Ten times this clock in milliseconds wrapped round to 4 ms.
    settings.flag_at_ply = 0;
    settings.flag_overrun_ms = 0;
    static_cast<void>(send("time 1844674407370955162"));
    static_cast<void>(send("go"));
    EXPECT_EQ(system.sleeps, (std::vector<std::uint64_t>{UINT64_MAX}));
}

TEST_F(CecpGameTest, PendingGoCountsNothingAndStopDoesNotPlay) {
    settings.crash_at_ply = 0;
    EXPECT_EQ(send("go ponder"), LoopControl::Continue);
    EXPECT_EQ(send("ponderhit"), LoopControl::Continue);
    EXPECT_EQ(session.state.ply, 0u);
    EXPECT_EQ(session.state.game.to_fen(), velloran::Game::new_game().to_fen());
    EXPECT_EQ(send("go"), LoopControl::Crash);
}

TEST_F(CecpGameTest, NewDoesNotClearAPendingSearch) {
    static_cast<void>(send("go infinite"));
    static_cast<void>(send("new"));
    static_cast<void>(send("stop"));
    EXPECT_EQ(out.lines.size(), 2u);
}

TEST_F(CecpGameTest, DisplacedKingCastlingNeverStopsTheLoop) {
    // Standard mode, king on f1 with both rights: a chosen f1c1 does not read back.
    for (int i = 0; i < 40; ++i) {
        static_cast<void>(send("setboard 4k3/8/8/8/8/8/8/R4K1R w KQ - 0 1"));
        EXPECT_EQ(send("go"), LoopControl::Continue);
        EXPECT_EQ(session.state.game.board().side_to_move(), velloran::Color::Black);
    }
}

}  // namespace
}  // namespace pawnlark
