#pragma once

#include "app/io/input.h"
#include "app/io/output.h"
#include "app/os/system.h"
#include "app/protocol/protocol_settings.h"
#include "app/protocol/searcher.h"
#include "velloran/random/random_generator.h"

namespace pawnlark {

// Runs a session of `protocol` over `input` until "quit", the end of input or a line that is
// not UTF-8. The session's state starts with its own game at the standard start position.
void run_dialect(Protocol protocol, const ProtocolSettings& settings, Output& out, System& system,
                 velloran::RandomGenerator& generator, Searcher& searcher, Input& input);

}  // namespace pawnlark
