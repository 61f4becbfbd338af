// The core's error: the fixed messages, the FEN reader's reason, and the rendering used when an
// internal fault has to show one (the kind and its text, quotes and backslashes escaped).
#include <gtest/gtest.h>

#include "velloran/result.h"

namespace velloran {
namespace {

TEST(CoreError, MessagesQuoteTheTextAsReceived) {
    EXPECT_EQ(bad_move("e2e").text, "bad move 'e2e'");
    EXPECT_EQ(illegal_move("e2e5").text, "illegal move 'e2e5'");
    const CoreError fen = bad_fen("8/8 w", FenError::MissingField);
    EXPECT_EQ(fen.text, "bad FEN '8/8 w'");
    EXPECT_EQ(fen.fen_error, FenError::MissingField);
    EXPECT_EQ(bad_move("x").fen_error, std::nullopt);
}

TEST(CoreErrorRender, NamesTheKindAndEscapesQuotesAndBackslashes) {
    EXPECT_EQ(illegal_move("e2e5").render(), "Chess(\"illegal move 'e2e5'\")");
    EXPECT_EQ(bad_move("a\"b\\c").render(), R"(Chess("bad move 'a\"b\\c'"))");
}

}  // namespace
}  // namespace velloran
