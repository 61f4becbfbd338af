#include "app/protocol/handshake.h"

#include "app/faults/answer_plan.h"

namespace pawnlark {
namespace {

// The handshake fault of the run: the command line's, or the one chaos fires at the handshake.
std::optional<ChaosFault> handshake_chaos(const ProtocolSettings& settings, DialectMode mode) {
    return chaos_at(settings.chaos, settings.seed, mode, ChaosMoment::Handshake, {});
}

std::optional<HandshakeFault> handshake_fault(const ProtocolSettings& settings, DialectMode mode) {
    if (const auto chaos = handshake_chaos(settings, mode)) {
        return with_chaos(settings, *chaos, 0).handshake_fault;
    }
    return settings.handshake_fault;
}

}  // namespace

LoopControl answer_handshake(const ProtocolSettings& settings, DialectMode mode, Output& out,
                             System& system, const HandshakeText& text) {
    if (const auto chaos = handshake_chaos(settings, mode)) system.note(chaos_note(*chaos, 0));
    const std::optional<HandshakeFault> fault = handshake_fault(settings, mode);
    if (settings.handshake_delay_ms > 0) system.sleep_ms(settings.handshake_delay_ms);
    if (fault == HandshakeFault::Silent) return LoopControl::Continue;
    for (const std::string& line : text.opening) out.line(line);
    if (fault == HandshakeFault::Exit) return LoopControl::Crash;
    for (const std::string& line : text.body) out.line(line);
    if (auto line = text.closing(fault != HandshakeFault::NoOk)) out.line(*line);
    return LoopControl::Continue;
}

void answer_readiness(const ProtocolSettings& settings, DialectMode mode, Output& out,
                      std::string_view reply) {
    if (handshake_fault(settings, mode) != HandshakeFault::NoReady) out.line(reply);
}

}  // namespace pawnlark
