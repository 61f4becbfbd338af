#include "app/protocol/cecp/cecp_loop.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/io/input.h"
#include "sessions.h"

namespace pawnlark {
namespace {

using CecpLoopTest = test::CecpSessionTest;

TEST_F(CecpLoopTest, QuitEndsTheLoopAndUciWordsAreIgnored) {
    std::istringstream in("uci\nisready\n  quit \nxboard\n");
    PlainInput input(in);
    run_cecp(session, input);
    EXPECT_TRUE(out.lines.empty());
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "xboard");
}

}  // namespace
}  // namespace pawnlark
