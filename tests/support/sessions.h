#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "app/protocol/cecp/cecp_loop.h"
#include "app/protocol/uci/uci_loop.h"
#include "app/settings.h"
#include "recording.h"

namespace pawnlark::test {

// A dialect session over recording fakes, seed 42 and default settings that a test may change
// before it sends its first line.
template <typename Session, LoopControl (*Handle)(Session&, const Command&)>
class SessionTest : public ::testing::Test {
protected:
    LoopControl send(std::string_view line) { return Handle(session, Command::from_line(line)); }

    Settings settings;
    RecordingOutput out;
    RecordingSystem system;
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(42);
    InstantSearcher searcher;
    Session session{settings, out, system, generator, searcher};
};

using UciSessionTest = SessionTest<UciSession, handle_uci_line>;
using CecpSessionTest = SessionTest<CecpSession, handle_cecp_line>;

}  // namespace pawnlark::test
