// The rendering of the core's error, used when an internal fault has to show one: the variant
// name and its payload, with quotes and backslashes in the texts escaped.
#include <gtest/gtest.h>

#include <system_error>

#include "velloran/result.h"

namespace velloran {
namespace {

TEST(CoreErrorRender, NamesEveryVariantWithItsPayload) {
    EXPECT_EQ((CoreError{ErrorKind::Config, "no seed", {}, {}, {}}).render(), "Config(\"no seed\")");
    EXPECT_EQ((CoreError{ErrorKind::Opening, "empty book", {}, {}, {}}).render(),
              "Opening(\"empty book\")");
    EXPECT_EQ((CoreError{ErrorKind::Log, "closed", {}, {}, {}}).render(), "Log(\"closed\")");
    const std::error_code broken_pipe = std::make_error_code(std::errc::broken_pipe);
    EXPECT_EQ((CoreError{ErrorKind::Io, {}, {}, broken_pipe, {}}).render(),
              "Io(\"" + broken_pipe.message() + "\")");
}

TEST(CoreErrorRender, EscapesQuotesAndBackslashes) {
    EXPECT_EQ(bad_move("a\"b\\c").render(), R"(Chess("bad move 'a\"b\\c'"))");
    EXPECT_EQ((CoreError{ErrorKind::Engine, "say \"hi\"", "C:\\x", {}, {}}).render(),
              R"(Engine { engine: "say \"hi\"", detail: "C:\\x" })");
}

}  // namespace
}  // namespace velloran
