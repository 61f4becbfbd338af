#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/faults/fault_catalogue.h"
#include "app/io/output.h"
#include "app/os/system.h"
#include "app/protocol/loop_control.h"
#include "app/protocol/protocol_settings.h"

namespace pawnlark {

// What a dialect says in its handshake ("uci", "protover"): the lines that come before the
// point where the exit fault ends the process, the rest, and the closing line, which says
// whether the handshake completes ("uciok", or the feature line's done=1 or done=0).
struct HandshakeText {
    std::vector<std::string> opening;
    std::vector<std::string> body;
    std::function<std::optional<std::string>(bool completes)> closing;
};

// Answers a handshake as the handshake faults say, the same for both dialects: the delay
// first, then nothing at all (silent), the end of the process after the opening (exit), or
// the whole text, closed as not completing (no-ok). A handshake fault that chaos fires is
// announced on standard error and holds for the whole run.
LoopControl answer_handshake(const ProtocolSettings& settings, DialectMode mode, Output& out,
                             System& system, const HandshakeText& text);

// Answers "isready" or "ping" with `reply`, unless readiness is never answered (no-ready).
void answer_readiness(const ProtocolSettings& settings, DialectMode mode, Output& out,
                      std::string_view reply);

}  // namespace pawnlark
