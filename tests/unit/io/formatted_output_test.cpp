#include "app/io/formatted_output.h"

#include <gtest/gtest.h>

#include "recording.h"

namespace pawnlark {
namespace {

TEST(SeparateWords, KeepsNamesQuotesAndCommentsWhole) {
    EXPECT_EQ(separate_words("id name my  engine x", TokenSeparator::Tab),
              "id\tname\tmy  engine x");
    EXPECT_EQ(separate_words("feature myname=\"a b\" done=1", TokenSeparator::Double),
              "feature  myname=\"a b\"  done=1");
    EXPECT_EQ(separate_words("1-0 {White mates}", TokenSeparator::Tab), "1-0\t{White mates}");
    EXPECT_EQ(separate_words("bestmove e2e4", TokenSeparator::Space), "bestmove e2e4");
}

TEST(FormattedOutput, EndsLinesInCarriageReturnLineFeed) {
    test::RecordingOutput inner;
    FormattedOutput out(inner, LineEnd::CrLf, TokenSeparator::Space);
    out.line("readyok");
    out.unterminated("bestmove e2e4");
    EXPECT_EQ(inner.lines, (std::vector<std::string>{"readyok\r", "bestmove e2e4"}));
    EXPECT_TRUE(inner.last_unterminated);
}

}  // namespace
}  // namespace pawnlark
