#include "app/io/line_reader.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/io/command.h"

namespace pawnlark {
namespace {

using Tokens = std::vector<std::string_view>;

Tokens words_of(std::string_view text) {
    const velloran::Words words(text);
    return Tokens(words.begin(), words.end());
}

// Every line the reader yields from the input, up to the first absent one.
std::vector<std::string> read_all(const std::string& input, std::size_t max_line_bytes = 1 << 30) {
    std::istringstream in(input);
    LineReader reader(in, max_line_bytes);
    std::vector<std::string> lines;
    while (auto line = reader.next()) {
        lines.emplace_back(*line);
    }
    return lines;
}

TEST(LineReader, StripsLineFeedThenOneCarriageReturn) {
    EXPECT_EQ(read_all("uci\nisready\r\n\r\r\n\n"),
              (std::vector<std::string>{"uci", "isready", "\r", ""}));
}

TEST(LineReader, LastLineWithoutLineFeedStillCounts) {
    EXPECT_EQ(read_all("uci\nquit"), (std::vector<std::string>{"uci", "quit"}));
    EXPECT_EQ(read_all(""), std::vector<std::string>{});
}

TEST(LineReader, ReadsLinesOfAnyLength) {
    const std::string long_line(3 << 20, 'x');
    const std::vector<std::string> lines = read_all(long_line + "\nisready\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], long_line);
    EXPECT_EQ(lines[1], "isready");
}

TEST(LineReader, LineThatCannotBeHeldIsSkippedAsBlank) {
    // Longer than the reader may hold: skipped to its end, and reading goes on.
    const std::string limit(4000, 'x');
    const std::vector<std::string> lines =
        read_all("uci\n" + limit + "y\r\nisready\n" + limit + "\r\n" + limit + "yy", 4000);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "uci");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "isready");
    EXPECT_EQ(lines[3].size(), limit.size());
    EXPECT_EQ(lines[4], "");
}

TEST(LineReader, InvalidUtf8EndsReadingEvenWithLinesAfterIt) {
    EXPECT_EQ(read_all("uci\n\xff\nisready\n"), std::vector<std::string>{"uci"});
    EXPECT_EQ(read_all("caf\xc3\xa9\nuci\n"), (std::vector<std::string>{"caf\xc3\xa9", "uci"}));
}

TEST(LineReader, ReadFailureEndsReading) {
    std::istringstream in("uci\n");
    in.setstate(std::ios::badbit);
    EXPECT_EQ(LineReader(in).next(), std::nullopt);
}

TEST(IsValidUtf8, AcceptsEveryEncodedLengthAndItsBounds) {
    for (const std::string_view text :
         {"", "plain", "\x7f", "\xc2\x80", "\xdf\xbf", "\xe0\xa0\x80", "\xed\x9f\xbf",
          "\xee\x80\x80", "\xef\xbf\xbf", "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf",
          "\xe3\x80\x80 \xf0\x9f\x98\x80"}) {
        EXPECT_TRUE(is_valid_utf8(text)) << ::testing::PrintToString(text);
    }
}

TEST(IsValidUtf8, RejectsOverlongsSurrogatesTooLargeAndBrokenSequences) {
    for (const std::string_view text : {
             "\x80",              // lone continuation byte
             "\xc0\xaf",          // overlong '/'
             "\xc1\xbf",          // overlong
             "\xe0\x9f\xbf",      // overlong three-byte form
             "\xf0\x8f\xbf\xbf",  // overlong four-byte form
             "\xed\xa0\x80",      // surrogate U+D800
             "\xed\xbf\xbf",      // surrogate U+DFFF
             "\xf4\x90\x80\x80",  // U+110000
             "\xf5\x80\x80\x80",  // lead byte beyond U+10FFFF
             "\xff",
             "\xc3",              // truncated at the end
             "\xe2\x80",          // truncated at the end
             "\xc3(",             // continuation missing
             "\xe2\x28\xa1",      // second byte not a continuation
             "\xf0\x90\x28\xbc",  // third byte not a continuation
         }) {
        EXPECT_FALSE(is_valid_utf8(text)) << ::testing::PrintToString(text);
    }
}

TEST(Words, SplitsAtRunsOfAsciiWhiteSpace) {
    EXPECT_EQ(words_of("  go \t wtime\v1000\f\r\n btime  "),
              (Tokens{"go", "wtime", "1000", "btime"}));
    EXPECT_EQ(words_of(""), Tokens{});
    EXPECT_EQ(words_of(" \t "), Tokens{});
}

TEST(Words, SplitsAtEveryUnicodeWhiteSpaceCharacter) {
    for (const std::string_view space :
         {"\xc2\x85", "\xc2\xa0", "\xe1\x9a\x80", "\xe2\x80\x80", "\xe2\x80\x85", "\xe2\x80\x8a",
          "\xe2\x80\xa8", "\xe2\x80\xa9", "\xe2\x80\xaf", "\xe2\x81\x9f", "\xe3\x80\x80"}) {
        const std::string text = std::string(space) + "a" + std::string(space) + std::string(space)
                                 + "b" + std::string(space);
        EXPECT_EQ(words_of(text), (Tokens{"a", "b"})) << ::testing::PrintToString(space);
    }
}

TEST(Words, KeepsLookAlikesThatAreNotWhiteSpace) {
    // Zero-width space, Mongolian vowel separator, word joiner, BOM: all ordinary text.
    for (const std::string_view text : {"a\xe2\x80\x8b"
                                        "b",
                                        "a\xe1\xa0\x8e"
                                        "b",
                                        "a\xe2\x81\xa0"
                                        "b",
                                        "a\xef\xbb\xbf"
                                        "b"}) {
        EXPECT_EQ(words_of(text), Tokens{text}) << ::testing::PrintToString(text);
    }
    // Characters sharing a lead byte with a space: U+00E9, U+2010, U+3001.
    EXPECT_EQ(words_of("\xc3\xa9 \xe2\x80\x90 \xe3\x80\x81"),
              (Tokens{"\xc3\xa9", "\xe2\x80\x90", "\xe3\x80\x81"}));
}

TEST(Trim, RemovesWhiteSpaceAtBothEndsOnly) {
    EXPECT_EQ(trim("\xe3\x80\x80 a  b\xc2\xa0\t"), "a  b");
    EXPECT_EQ(trim("\xe2\x80\xa9"), "");
    EXPECT_EQ(trim("x\xc2"), "x\xc2");  // a cut-off sequence is not white space
}

TEST(Command, TrimsTheLineAndSplitsItIntoTokens) {
    const Command command = Command::from_line("\t setboard  8/8/8 w - -  0 1 \xc2\xa0");
    EXPECT_EQ(command.line, "setboard  8/8/8 w - -  0 1");
    EXPECT_EQ(command.word(), "setboard");
    EXPECT_EQ(command.rest(), "8/8/8 w - -  0 1");
    EXPECT_EQ(std::ranges::distance(command.words()), 7);
}

TEST(Command, BlankLineHasNoWordAndNoRest) {
    const Command blank = Command::from_line(" \xe3\x80\x80 ");
    EXPECT_EQ(blank.word(), "");
    EXPECT_EQ(blank.rest(), "");
    EXPECT_EQ(Command::from_line("setboard").rest(), "");
    EXPECT_EQ(Command::from_line("setboard \xe2\x80\x83 ").rest(), "");
}

}  // namespace
}  // namespace pawnlark
