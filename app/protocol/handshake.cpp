#include "app/protocol/handshake.h"

#include "app/faults/answer_plan.h"

namespace pawnlark {
namespace {

// The handshake fault of the run, and whether chaos chose it: the one chaos fires at the
// handshake, else the command line's.
struct RunHandshakeFault {
    std::optional<HandshakeFault> fault;
    std::optional<ChaosFault> chaos;
};

RunHandshakeFault handshake_fault(const ProtocolSettings& settings, DialectMode mode) {
    const auto chaos = chaos_at(settings.chaos, settings.seed, mode, ChaosMoment::Handshake, {});
    if (!chaos) return {settings.handshake_fault, std::nullopt};
    return {with_chaos(settings, *chaos, 0).handshake_fault, chaos};
}

}  // namespace

LoopControl answer_handshake(const ProtocolSettings& settings, DialectMode mode, Output& out,
                             System& system, const HandshakeText& text) {
    const auto [fault, chaos] = handshake_fault(settings, mode);
    if (chaos) system.note(chaos_note(*chaos, 0));
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
    if (handshake_fault(settings, mode).fault != HandshakeFault::NoReady) out.line(reply);
}

}  // namespace pawnlark
