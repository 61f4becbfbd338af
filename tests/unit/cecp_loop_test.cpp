#include "cecp_loop.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "recording.h"

namespace pawnlark {
namespace {

class CecpLoopTest : public ::testing::Test {
protected:
    Settings settings;
    test::RecordingOutput out;
    test::RecordingSystem system;
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(42);
    CecpSession session{settings, out, system, generator, {}};
};

TEST_F(CecpLoopTest, QuitEndsTheLoopAndUciWordsAreIgnored) {
    std::istringstream in("uci\nisready\n  quit \nxboard\n");
    run_cecp(session, in);
    EXPECT_TRUE(out.lines.empty());
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "xboard");
}

}  // namespace
}  // namespace pawnlark
