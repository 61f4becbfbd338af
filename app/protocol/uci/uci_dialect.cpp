#include "app/protocol/uci/uci_dialect.h"

#include <algorithm>

#include "app/engine/move_choice.h"
#include "app/protocol/uci/uci_loop.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {}  // namespace

std::string uci_info_line(const ThinkReport& report) {
    const auto counts = [&] {
        return " nodes " + std::to_string(report.nodes) + " nps " + std::to_string(report.nps)
               + " hashfull " + std::to_string(report.hashfull);
    };
    switch (report.kind) {
        case ThinkReport::Kind::CurrentMove:
            return "info depth " + std::to_string(report.depth) + " currmove " + report.pv.front()
                   + " currmovenumber " + std::to_string(report.multipv);
        case ThinkReport::Kind::Progress:
            return "info" + counts() + " time " + std::to_string(report.time_ms);
        case ThinkReport::Kind::Line:
            break;
    }
    std::string line = "info depth " + std::to_string(report.depth) + " seldepth "
                       + std::to_string(report.seldepth) + " multipv "
                       + std::to_string(report.multipv) + " score ";
    line += report.mate_in ? "mate " + std::to_string(*report.mate_in)
                           : "cp " + std::to_string(report.score_cp);
    if (report.bound == ThinkReport::Bound::Lower) line += " lowerbound";
    if (report.wdl) {
        line += " wdl " + std::to_string((*report.wdl)[0]) + " " + std::to_string((*report.wdl)[1])
                + " " + std::to_string((*report.wdl)[2]);
    }
    line += counts() + " tbhits 0 time " + std::to_string(report.time_ms) + " pv";
    for (const std::string& move : report.pv) line += " " + move;
    return line;
}

std::optional<InfoQuirk> UciDialect::info_quirk() const { return session_.settings.info_quirk; }

bool UciDialect::names_ponder_move() const {
    return session_.settings.ponder || session_.state.options.ponder;
}

std::string UciDialect::move_answer(const velloran::Game& game, velloran::Move move,
                                    std::string_view text, bool ponder, bool junk) const {
    std::string line = "bestmove " + std::string(text);
    if (ponder) {
        if (const auto reply = first_reply_text(game, move)) line += " ponder " + *reply;
    }
    // A dangling "ponder" is the junk managers most often trip over.
    if (junk) line += " ponder";
    return line;
}

// UCI has no claims; an answer that would make one names its move.
std::string UciDialect::claim_line(ClaimKind, velloran::Color) const { return no_move(); }

std::string UciDialect::report(std::int32_t score, std::uint32_t nodes, std::uint64_t time_ms,
                               std::string_view pv) const {
    return "info depth 1 score cp " + std::to_string(score) + " nodes " + std::to_string(nodes)
           + " time " + std::to_string(time_ms) + " pv " + std::string(pv);
}

std::string UciDialect::flood_line(const FaultSettings& settings, std::uint32_t depth,
                                   std::optional<std::string_view> first_move) const {
    if (settings.flood_kind == FloodKind::String) return "info string score cp 100000 pv a1a1";
    const std::string d = std::to_string(depth);
    const bool second = settings.flood_kind == FloodKind::MultiPv && depth % 2 == 0;
    const bool bad_pv = settings.flood_kind == FloodKind::BadPv;
    std::string line;
    line.append("info depth ").append(d).append(" seldepth ").append(d);
    line.append(second ? " multipv 2" : " multipv 1");
    line.append(" score cp 0 nodes ").append(d).append(" nps 1000 time 0");
    if (first_move || bad_pv) line.append(" pv");
    if (first_move) line.append(" ").append(*first_move);
    if (bad_pv) line.append(" a1a1");
    return line;
}

// UCI asks for no status mid-search.
std::string UciDialect::status_line(const ThinkingSearch&, std::uint64_t) const { return {}; }

MidSearch UciDialect::mid_search(const Command& command) const {
    return uci_mid_search(command.word());
}

LoopControl UciDialect::handle(const Command& command) {
    return handle_uci_line(session_, command);
}

}  // namespace pawnlark
