#include <optional>
#include <string>
#include <variant>

#include "app/protocol/cecp/cecp_commands.h"
#include "app/protocol/cecp/cecp_loop.h"
#include "app/protocol/handshake.h"
#include "app/protocol/option_catalogue.h"
#include "app/protocol/option_text.h"

namespace pawnlark {
namespace {

constexpr std::string_view BasicOptionFeatures = "option=\"Noise -spin 25 0 100\"";

}  // namespace

std::string xboard_option_features(const ProtocolSettings& settings) {
    if (settings.options == OptionsMode::Basic) return std::string(BasicOptionFeatures);
    std::string features;
    for (const OptionSpec& option : option_catalogue(Protocol::Cecp, true)) {
        if (!features.empty()) features += ' ';
        features += xboard_option_feature(option);
    }
    return features;
}

LoopControl cecp_option(CecpSession& session, const Command& command) {
    const ProtocolSettings& settings = session.settings;
    if (settings.options == OptionsMode::Basic) return LoopControl::Continue;
    const OptionOutcome outcome =
        read_xboard_option(option_catalogue(Protocol::Cecp, true), command.rest());
    if (const auto* error = std::get_if<std::string>(&outcome)) {
        session.out.line("Error (bad option): " + *error);
        return LoopControl::Continue;
    }
    const auto& setting = std::get<OptionSetting>(outcome);
    apply_option(setting, session.state.options);
    if (settings.options == OptionsMode::Echo) session.out.line("# " + describe(setting));
    // The manager forgets every option before it sends a -reset one: they are announced anew.
    if (setting.option->effect == OptionEffect::ResetAll) {
        session.out.line("feature " + xboard_option_features(settings) + " done=1");
    }
    return LoopControl::Continue;
}

LoopControl cecp_protover(CecpSession& session, const Command&) {
    const ProtocolSettings& settings = session.settings;
    // The name goes in as it is, unescaped, like the rest of the line.
    const std::string features =
        "feature ping=1 setboard=1 usermove=1 san=0 sigint=0 sigterm=0 myname=\"" + settings.name
        + "\" variants=\"normal,fischerandom\" " + xboard_option_features(settings)
        + (settings.cecp_standard ? " playother=1 colors=0" : "")
        + (session.searcher.thinks() ? " analyze=1" : "")
        + (settings.options == OptionsMode::Echo ? " debug=1" : "");
    const HandshakeText text{
        .opening = {},
        .body = {},
        .closing = [&features](bool completes) -> std::optional<std::string> {
            return features + (completes ? " done=1" : " done=0");
        },
    };
    return answer_handshake(settings, cecp_fault_mode(settings), session.out, session.system, text);
}

LoopControl cecp_ping(CecpSession& session, const Command& command) {
    if (!command.word_at(1).empty()) {
        answer_readiness(session.settings, cecp_fault_mode(session.settings), session.out,
                         "pong " + std::string(command.word_at(1)));
    }
    return LoopControl::Continue;
}

}  // namespace pawnlark
