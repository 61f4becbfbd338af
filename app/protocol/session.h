#pragma once

#include "app/io/output.h"
#include "app/os/system.h"
#include "app/protocol/answer_writer.h"
#include "app/protocol/protocol_settings.h"
#include "app/protocol/searcher.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {

// Everything a dialect's handlers may use: the read-only settings, where replies go, the clock
// and process, the run's one generator (seeded once in main), the searcher chosen once in
// main, and the dialect's own state, which holds the options the front end has set.
template <typename State>
struct Session {
    const ProtocolSettings& settings;
    Output& out;
    System& system;
    velloran::RandomGenerator& generator;
    Searcher& searcher;
    State state{};

    // What an answer to a search request uses of the session.
    AnswerContext answer_context() {
        return {settings, out, system, generator, state.options, searcher};
    }
};

}  // namespace pawnlark
