#include "app/protocol/uci/uci_dialect.h"

#include <algorithm>

#include "velloran/text.h"

namespace pawnlark {
namespace {

std::optional<std::uint64_t> number_after(const Command& command, std::string_view word) {
    const auto value = command.value_after(word);
    return value ? velloran::parse_unsigned<std::uint64_t>(*value) : std::nullopt;
}

}  // namespace

ThinkLimits read_uci_limits(const Command& go, velloran::Color side_to_move) {
    const bool white = side_to_move == velloran::Color::White;
    ThinkLimits limits;
    limits.movetime_ms = number_after(go, "movetime");
    limits.remaining_ms = number_after(go, white ? "wtime" : "btime");
    limits.increment_ms = number_after(go, white ? "winc" : "binc").value_or(0);
    limits.moves_to_go = number_after(go, "movestogo");
    if (limits.moves_to_go == 0u) limits.moves_to_go.reset();
    if (const auto depth = number_after(go, "depth")) {
        limits.depth = static_cast<std::uint32_t>(std::min<std::uint64_t>(*depth, DeepestDepth));
    }
    if (const auto mate = number_after(go, "mate"); mate && *mate > 0) {
        limits.depth = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            2 * std::min<std::uint64_t>(*mate, DeepestDepth) - 1, DeepestDepth));
    }
    limits.nodes = number_after(go, "nodes");
    limits.infinite = go.has_argument("infinite");
    limits.ponder = go.has_argument("ponder");
    return limits;
}

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

}  // namespace pawnlark
