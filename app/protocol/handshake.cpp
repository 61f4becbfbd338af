#include "app/protocol/handshake.h"

namespace pawnlark {

LoopControl answer_handshake(const FaultSettings& faults, Output& out, System& system,
                             const HandshakeText& text) {
    if (faults.handshake_delay_ms > 0) system.sleep_ms(faults.handshake_delay_ms);
    if (faults.handshake_fault == HandshakeFault::Silent) return LoopControl::Continue;
    for (const std::string& line : text.opening) out.line(line);
    if (faults.handshake_fault == HandshakeFault::Exit) return LoopControl::Crash;
    for (const std::string& line : text.body) out.line(line);
    if (auto line = text.closing(faults.handshake_fault != HandshakeFault::NoOk)) {
        out.line(*line);
    }
    return LoopControl::Continue;
}

void answer_readiness(const FaultSettings& faults, Output& out, std::string_view reply) {
    if (faults.handshake_fault != HandshakeFault::NoReady) out.line(reply);
}

}  // namespace pawnlark
